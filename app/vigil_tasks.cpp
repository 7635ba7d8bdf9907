#include "app/vigil_tasks.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>


#include "app/main_window.h"
#include "app/sort_orders.h"
#include "app/main_window_event.h"
#include "app/main_window_handler.h"
#include "app/status_texts.h"
#include "core/cache_files.h"
#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/program_settings.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/web_vigil.h"
#include "net/tcp_client.h"
#include "platform/message_box.h"
#include "platform/qt/window_event.h"

namespace {

// The fields every kind's record carries, as the base of a new Vigil; none, once
// the user has been told, when every identifier is taken.
template <class Record>
std::optional<VigilParams> paramsFrom(const Record& record) {
    VigilParams p;
    p.identifier = reserveVigilIdentifier();
    if (!p.identifier) {
        showMessageBox("Tervane", NoFreeVigilIdentifierText);
        postWindowEvent(MainWindowEvent::StatusLineText, StatusTextIndex::Blank);
        return std::nullopt;
    }
    p.host = record.host.value_or("");
    p.description = record.description.value_or("");
    p.port = static_cast<uint16_t>(record.port);
    p.flags = static_cast<uint16_t>(record.flags);
    p.active = record.active;
    p.interval = record.interval;
    p.intervalMode = record.interval > 0 ? IntervalMode::On : IntervalMode::Off;
    p.soundFile = record.soundFile;
    p.programLine = record.program;
    p.options = record.options;
    p.email = std::string(record.emailList.text());
    p.status = VigilStatus::NoChange;
    return p;
}

// The steps after the kind's Vigil is built: its row, its status, the status line.
void announceNewVigil(const std::shared_ptr<Vigil>& vigil) {
    const int position = VigilTasks::appendVigil(vigil);
    announceVigilAdded(position);
    vigil->setStatus(VigilStatus::NoChange, true);
    postWindowEvent(MainWindowEvent::StatusLineText, StatusTextIndex::Blank);
}

// The base fields of an edit, in the order the Vigil takes them.
template <class Record>
void applyCommonFields(Vigil& vigil, const Record& record) {
    if (record.host && *record.host != vigil.host()) vigil.setHost(record.host);
    if (record.description && *record.description != vigil.description()) vigil.setDescription(record.description);
}

template <class Record>
void applyScheduleFields(Vigil& vigil, const Record& record, const std::optional<std::string>& oldProgram) {
    if (record.program != oldProgram) vigil.setCommand(record.program);
    vigil.setPort(static_cast<uint16_t>(record.port));
    vigil.setFlags(static_cast<uint16_t>(record.flags));
    vigil.setActive(record.active);
    vigil.setInterval(record.interval);
}

template <class Record>
void applyClosingFields(Vigil& vigil, const Record& record) {
    vigil.setOptions(record.options);
    vigil.setEmailList(record.emailList.text());
}

void applyWebRecord(WebVigil& vigil, const WebSettingsRecord& record) {
    const std::optional<std::string> oldProgram = vigil.commandLine();
    applyCommonFields(vigil, record);
    const bool userChanged = record.user != vigil.user();
    const bool passwordChanged = record.password != vigil.password();
    if (userChanged) vigil.setUser(record.user);
    if (passwordChanged) vigil.setPassword(record.password);
    if (userChanged || passwordChanged) {
        // Neither given is no login (see setCredentials).
        SimpleString credentials = record.user;
        credentials += ":";
        credentials += record.password;
        vigil.setCredentials(credentials);
    }
    applyScheduleFields(vigil, record, oldProgram);
    vigil.setPath(std::string(record.path.empty() ? "/" : record.path.text()));
    vigil.setSoundFile(record.soundFile);
    if (record.tokensChanged) vigil.setIgnoreTokens(record.ignoreTokens);
    applyClosingFields(vigil, record);
}

void applyFtpRecord(FtpVigil& vigil, const FtpSettingsRecord& record) {
    const std::optional<std::string> oldProgram = vigil.commandLine();
    applyCommonFields(vigil, record);
    applyScheduleFields(vigil, record, oldProgram);
    if (record.user) vigil.setUser(*record.user);
    if (record.password) vigil.setPassword(*record.password);
    vigil.setDirectory(record.directory);
    vigil.setLookForFile(record.lookForFile);
    vigil.setSoundFile(record.soundFile);
    if (record.filesChanged) vigil.setIgnoreFiles(record.ignoreFiles);
    applyClosingFields(vigil, record);
}

void applyGopherRecord(GopherVigil& vigil, const GopherSettingsRecord& record) {
    const std::optional<std::string> oldProgram = vigil.commandLine();
    applyCommonFields(vigil, record);
    applyScheduleFields(vigil, record, oldProgram);
    // An emptied entry means no selector (kept as one blank), not the old one.
    vigil.setSelector(record.selector.value_or(" "));
    vigil.setSoundFile(record.soundFile);
    applyClosingFields(vigil, record);
}

// The record of a kind with the fields the dialog does not read from the Vigil.
template <class Record>
Record prefilledRecord(const Vigil& vigil) {
    Record record;
    record.program = vigil.commandLine();
    record.soundFile = vigil.soundFile();
    record.emailList = vigil.emailList().c_str();
    return record;
}

// Shows the kind's dialog and applies what it gives after OK.
template <class Record, class Kind, class Apply>
bool editWith(const std::function<int(const Kind&, Record&)>& dialog, Kind& vigil, Record record, Apply apply) {
    if (!dialog || dialog(vigil, record) != EditDialogs::Ok) return false;
    apply(vigil, record);
    return true;
}

std::mutex heldLocksMutex;
std::multimap<int, std::shared_ptr<Vigil>>& heldLocks() {
    static std::multimap<int, std::shared_ptr<Vigil>> held;
    return held;
}

}  // namespace

EditDialogs& editDialogs() {
    static EditDialogs dialogs;
    return dialogs;
}

namespace VigilTasks {

std::shared_ptr<WebVigil> addWebVigil(WebSettingsRecord record) {
    postWindowEvent(MainWindowEvent::StatusLineText, StatusTextIndex::AddingWeb);
    std::optional<std::string> credentials;
    if (!record.user.empty() || !record.password.empty())
        credentials = std::string(record.user.text()) + ":" + record.password.text();
    const SimpleString path = record.path.empty() ? SimpleString("/") : record.path;
    const std::optional<VigilParams> params = paramsFrom(record);
    if (!params) return nullptr;
    auto vigil = std::make_shared<WebVigil>(*params, path, ChangeMethod::Detect, 0, 0,
                                            record.ignoreTokens, credentials);
    announceNewVigil(vigil);
    return vigil;
}

std::shared_ptr<FtpVigil> addFtpVigil(FtpSettingsRecord record) {
    postWindowEvent(MainWindowEvent::StatusLineText, StatusTextIndex::AddingFtp);
    const std::optional<VigilParams> params = paramsFrom(record);
    if (!params) return nullptr;
    auto vigil = std::make_shared<FtpVigil>(*params, record.user.value_or("anonymous"),
                                            record.password.value_or(AnonymousFtpPassword), record.directory,
                                            record.lookForFile, record.ignoreFiles);
    announceNewVigil(vigil);
    return vigil;
}

std::shared_ptr<GopherVigil> addGopherVigil(GopherSettingsRecord record) {
    postWindowEvent(MainWindowEvent::StatusLineText, StatusTextIndex::AddingGopher);
    const std::optional<VigilParams> params = paramsFrom(record);
    if (!params) return nullptr;
    auto vigil = std::make_shared<GopherVigil>(*params, record.selector);
    announceNewVigil(vigil);
    return vigil;
}

int appendVigil(const std::shared_ptr<Vigil>& vigil) {
    return vigilList().append(vigil);
}

void editSettings(const std::shared_ptr<Vigil>& vigil) {
    if (!vigil || vigilList().position(vigil) < 0) return;
    const EditDialogs& dialogs = editDialogs();
    bool applied = false;
    if (auto* web = dynamic_cast<WebVigil*>(vigil.get())) {
        WebSettingsRecord record = prefilledRecord<WebSettingsRecord>(*web);
        record.ignoreTokens = web->ignoreTokens();
        record.options = web->options();
        record.user = web->user();
        record.password = web->password();
        applied = editWith(dialogs.web, *web, std::move(record), applyWebRecord);
    } else if (auto* ftp = dynamic_cast<FtpVigil*>(vigil.get())) {
        FtpSettingsRecord record = prefilledRecord<FtpSettingsRecord>(*ftp);
        record.ignoreFiles = ftp->ignoreFiles();
        record.lookForFile = ftp->lookForFile();
        applied = editWith(dialogs.ftp, *ftp, std::move(record), applyFtpRecord);
    } else if (auto* gopher = dynamic_cast<GopherVigil*>(vigil.get())) {
        applied = editWith(dialogs.gopher, *gopher, prefilledRecord<GopherSettingsRecord>(*gopher),
                           applyGopherRecord);
    }
    if (applied) {
        refreshVigilRecord(vigil->id());
        requestVigilSave();
    }
    postLockRelease(vigil);
}

void resetConnection(const std::shared_ptr<Vigil>& vigil) {
    if (!vigil || vigilList().position(vigil) < 0) return;
    const std::string host = vigil->host();
    vigil->setHost(host);
    // The window thread holds the Vigil's lock, so no check can be running: the
    // unresolved status, which no user command may change, can go.
    if (resolvePooledHostAgain(host, vigil->port()) && vigil->status() == VigilStatus::HostNotResolved)
        vigil->storeStatus(VigilStatus::NoChange);
    refreshVigilRecord(vigil->id());
    postLockRelease(vigil);
}

void setStatusAll(int status) {
    for (const std::shared_ptr<Vigil>& vigil : vigilList().snapshot()) {
        if (!vigil || vigil->checkLock().lock(0) != 0) continue;
        if (status == 0) {
            vigil->setStatus(vigil->status(), true);
        } else if (vigil->status() != status) {
            vigil->setStatus(status, true);
        }
        vigil->checkLock().unlock();
    }
}

std::shared_ptr<Vigil> removeVigil(int identifier) {
    std::shared_ptr<Vigil> removed = vigilList().remove(identifier);
    if (removed) {
        removed->requestStop();
        // Deleted once a vigil.dat without the Vigil is saved.
        CacheFiles::retire(removed->cacheFileName());
    }
    return removed;
}

void sortVigils(int commandId) {
    sortVigilList(commandId);
}

void postLockRelease(const std::shared_ptr<Vigil>& vigil) {
    std::multimap<int, std::shared_ptr<Vigil>>::iterator entry;
    {
        std::lock_guard<std::mutex> g(heldLocksMutex);
        entry = heldLocks().emplace(vigil->id(), vigil);
    }
    if (!postWindowEvent(MainWindowEvent::ReleaseVigilLock, vigil->id())) {
        std::lock_guard<std::mutex> g(heldLocksMutex);
        heldLocks().erase(entry);
    }
}

std::shared_ptr<Vigil> takeLockToRelease(int identifier) {
    {
        std::lock_guard<std::mutex> g(heldLocksMutex);
        const auto entry = heldLocks().find(identifier);
        if (entry != heldLocks().end()) {
            std::shared_ptr<Vigil> vigil = std::move(entry->second);
            heldLocks().erase(entry);
            return vigil;
        }
    }
    return vigilList().find(identifier);
}

}  // namespace VigilTasks
