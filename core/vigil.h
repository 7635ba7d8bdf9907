#pragma once
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/owned_mutex.h"

// Status codes share one numbering with the main window's events: a status that
// is shown is posted as the event of the same number. vigil.dat stores code - 1024.
namespace VigilStatus {
constexpr int Changed = 1032;
constexpr int NoChange = 1033;
constexpr int Checking = 1034;
constexpr int Unavailable = 1035;
constexpr int UnknownError = 1039;
constexpr int HostNotResolved = 1041;
constexpr int Inactive = 1042;
constexpr int StartWatching = 1043;  // a request only; stored as NoChange
constexpr int StructureChanged = 1044;
constexpr int MovedPermanently = 1074;
constexpr int NotFound = 1075;
constexpr int MovedTemporarily = 1076;
constexpr int FileFound = 1077;
constexpr int BadRequest = 1078;
constexpr int ProxyAuthRequired = 1079;
constexpr int NotAuthorized = 1080;
constexpr int ProxyError = 1082;
constexpr int ServerError = 1083;
constexpr int FtpReplyBase = 1124;  // plus the FTP reply code
// Never stored or shown: a check whose copy could not be written here (a full
// disk, no cache folder) says nothing of the site, which keeps its status.
constexpr int CopyNotStored = -7;
// Never stored or shown either: the copy the check would compare with is there
// but cannot be read, so nothing can be said of a change.
constexpr int CopyUnreadable = -8;
}  // namespace VigilStatus

namespace VigilKind {
constexpr uint16_t Gopher = 0;
constexpr uint16_t Ftp = 1;
constexpr uint16_t Web = 2;
}  // namespace VigilKind

namespace NotifyFlags {
constexpr uint16_t MessageBox = 0x01;
constexpr uint16_t Tone = 0x04;
constexpr uint16_t SoundFile = 0x08;
constexpr uint16_t Program = 0x10;
constexpr uint16_t Email = 0x20;
}  // namespace NotifyFlags

namespace IntervalMode {
constexpr int Off = 0;
constexpr int On = 1;  // the check interval is in force
}  // namespace IntervalMode

// Called with the status and the identifier (widened with its sign). It may run
// on any thread and must only post.
using VigilStatusCallback = void (*)(int status, int identifier);

// Installed once at start-up; Vigils built afterwards call it. Null (the
// default) means nothing is called.
void setVigilStatusCallback(VigilStatusCallback callback);

// Takes the next free identifier for a Vigil about to be built (given to it in
// VigilParams::identifier); none when live Vigils hold all 65,536. Creators of
// Vigils take one first and refuse the Vigil without; a Vigil built without one
// when none is free throws std::length_error.
std::optional<int16_t> reserveVigilIdentifier();
bool vigilIdentifierFree();
extern const char* const NoFreeVigilIdentifierText;

// What a kind's constructor hands to the base.
struct VigilParams {
    std::string host;
    std::string description;
    uint16_t port = 0;
    uint16_t flags = 0;  // NotifyFlags
    int active = 1;
    int intervalMode = IntervalMode::Off;
    int32_t interval = 0;  // seconds
    time_t lastChanged = 0;
    time_t lastChecked = 0;
    std::optional<int16_t> identifier;  // none: the next free identifier
    int status = VigilStatus::NoChange;
    std::optional<std::string> cacheFileName;  // the stored name; none: no copy yet
    std::optional<std::string> soundFile;
    std::optional<std::string> programLine;
    int32_t options = 0;
    std::optional<std::string> email;  // addresses separated by blanks
};

// One watched item. Strings are guarded by a short field lock and handed out
// as copies, so other threads may read them while a check or an edit runs.
class Vigil {
public:
    virtual ~Vigil();
    Vigil(const Vigil&) = delete;
    Vigil& operator=(const Vigil&) = delete;

    // The notification program's line as stored; none without one.
    std::optional<std::string> commandLine() const;
    // The value of one word of a command-line template when it is one of the
    // kind's placeholders (whole word, any case), else none. Every kind fills
    // "%URL" and "%desc"; Gopher and FTP add their own.
    virtual std::optional<std::string> placeholderValue(std::string_view word) const;
    virtual std::string url() const = 0;
    // One record line of vigil.dat.
    virtual void write(FILE* file) const = 0;
    // The record line a save writes: while a check runs, the Vigil as it stood
    // before that check (its status, times and reference copy), so a save made
    // mid-check never keeps a half-done result.
    void writeRecord(FILE* file) const;
    // Fetch, compare, set status and times. The base has nothing to check.
    virtual void check();

    // Stores a status unless a running check or an unresolved host holds the
    // Vigil, or it is stopped and the request is not StartWatching.
    void setStatus(int status, bool report);
    // The addresses of text, separated by blanks, ';' or ','.
    void setEmailList(std::string_view text);
    // Each address followed by one blank.
    std::string emailList() const;
    std::vector<std::string> emailAddresses() const;
    int setHost(const std::optional<std::string>& host);  // returns 1
    void setDescription(const std::optional<std::string>& description);
    void setPort(uint16_t port) { port_ = port; }
    void setFlags(uint16_t flags) { flags_ = flags; }
    void setInterval(int32_t seconds);  // values below 1 are ignored
    void setActive(int active) { active_ = active; }
    void setOptions(int32_t options) { options_ = options; }
    void setSoundFile(const std::optional<std::string>& soundFile);
    void setCommand(const std::optional<std::string>& programLine);

    std::string description() const;
    std::string host() const;
    uint16_t port() const { return port_; }
    uint16_t kind() const { return kind_; }
    int id() const { return identifier_; }
    int status() const { return status_; }
    uint16_t flags() const { return flags_; }
    int active() const { return active_; }
    int32_t options() const { return options_; }
    std::optional<std::string> soundFile() const;
    time_t lastChecked() const { return lastChecked_; }
    time_t lastChanged() const { return lastChanged_; }
    std::string cacheFileName() const;
    int32_t interval() const { return interval_; }
    int intervalMode() const { return intervalMode_; }
    time_t nextCheckTime() const { return lastChecked_ + interval_; }

    // Set when the Vigil is deleted or the window closes; a running check
    // looks at it and ends early. No thread is ever killed.
    void requestStop() { stop_ = 1; }
    bool stopRequested() const { return stop_ != 0; }

    // For the check frame. The Vigil's own lock is held for a whole check and
    // tried by the user interface before it changes the Vigil.
    OwnedMutex& checkLock() { return checkLock_; }
    int busyCount() const { return busy_; }
    void enterBusy() { ++busy_; }
    void leaveBusy() { --busy_; }
    // The checks store their results without setStatus' refusals.
    void storeStatus(int status) { status_ = status; }
    // What a check ended with, kept apart from the status it then stores.
    void storeCheckResult(int result) { checkResult_ = result; }
    // Calls the status callback, when there is one, with this Vigil's identifier.
    void reportStatus(int status) const;
    std::string previousCacheFileName() const;
    void setCacheFileName(const std::string& name);
    void setPreviousCacheFileName(const std::string& name);
    void setLastChecked(time_t when) { lastChecked_ = when; }
    void setLastChanged(time_t when) { lastChanged_ = when; }
    // The status the running (or the last) check found when it began.
    int statusBeforeCheck() const { return statusBeforeCheck_; }
    // What the last check of this run ended with, before the frame settled the
    // status (CopyNotStored and CopyUnreadable among them); 0 when none ran.
    int checkResult() const { return checkResult_; }

protected:
    Vigil(uint16_t kind, const VigilParams& params);

    // The frame every kind's check runs in: busy count, the Vigil's own lock,
    // the "checking" status, the kind's fetchAndCompare, the slot given back,
    // the last-checked stamp, the final status with its report (or, in batch
    // mode, the change e-mail), and the lock released.
    void runCheckFrame();
    // The kind's fetch and comparison; returns the resulting status.
    virtual int fetchAndCompare() { return VigilStatus::NoChange; }
    // What the previous copy allows the fetch to be. None (a first fetch): no copy
    // is named, or the one named is missing or empty, which is said in the trace
    // (and in batch mode on standard error). Unreadable: it is there but cannot be
    // read (told as a local failure); the check ends with CopyUnreadable.
    enum class Reference { Usable, None, Unreadable };
    // A copy found missing or empty is said once: the Vigil then names none.
    Reference examineReference();
    // A fresh cache file name (CacheFiles::newName). Every fetch writes into
    // one, so a copy cut short never stands under a name vigil.dat may keep.
    static std::string takeNewCacheName();
    // Makes a complete fetched copy the current copy and the reference of the next
    // check; the copies it replaces are retired (deleted after the next save of
    // vigil.dat) unless "/debug" keeps them.
    void adoptCopy(const std::string& fresh);
    // Retires the copies of names, but kept (and under "/debug", any).
    void retireReplaced(const std::vector<std::string>& names, const std::string& kept = std::string());
    // Tells, once per reason, that a fetched copy could not be stored here.
    static void reportCopyNotStored();

    // Whether word is placeholder, ignoring case.
    static bool isPlaceholder(std::string_view word, std::string_view placeholder);

    // Guards the strings; kinds may use it for their own.
    std::mutex& fieldLock() const { return fieldMutex_; }
    // A copy of one of the kind's own fields, taken under the field lock.
    template <class T>
    T guardedCopy(const T& field) const {
        std::lock_guard<std::mutex> g(fieldMutex_);
        return field;
    }

private:
    // Taken around a save's write of the record and around the start and end of
    // a check, so a save sees the Vigil wholly before or wholly after its check.
    void holdRecordForCheck();
    void releaseRecordAfterCheck();

    mutable std::mutex fieldMutex_;
    mutable std::mutex recordMutex_;
    std::optional<std::string> recordBeforeCheck_;
    // Copies a running check replaced: retired only once saves stop writing the
    // record that still names them.
    std::vector<std::string> replacedInCheck_;
    OwnedMutex checkLock_;
    std::atomic<int> busy_{0};
    std::atomic<int> stop_{0};
    std::vector<std::string> emailList_;
    std::string cacheFileName_;
    std::string previousCacheFileName_;
    std::atomic<uint16_t> port_;
    std::string host_;
    VigilStatusCallback callback_;
    const uint16_t kind_;
    std::atomic<time_t> lastChecked_;
    std::atomic<time_t> lastChanged_;
    const int16_t identifier_;
    std::atomic<int> status_;
    std::atomic<int> statusBeforeCheck_{0};
    std::atomic<int> checkResult_{0};
    std::string description_;
    std::optional<std::string> soundFile_;
    std::optional<std::string> programLine_;
    std::atomic<uint16_t> flags_;
    std::atomic<int> active_;
    std::atomic<int> intervalMode_;
    std::atomic<int32_t> interval_;
    std::atomic<int32_t> options_;
};
