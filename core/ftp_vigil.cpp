#include "core/ftp_vigil.h"

#include <strings.h>

#include <algorithm>
#include <ctime>

#include "core/program_settings.h"
#include "core/record_writer.h"
#include "net/ftp_client.h"
#include "net/protocol_text.h"
#include "platform/files.h"
#include "platform/trace.h"

namespace {

std::optional<std::string> noneWhenEmpty(const std::optional<std::string>& text) {
    if (!text || text->empty()) return std::nullopt;
    return text;
}

// The Vigil status of a listing result: -1 (no session) counts as reply 425; a
// listing cut short leaves the host unavailable. No status names a listing too
// large to keep: it is an error, said so in the trace.
int statusOfResult(int32_t result) {
    if (result == -1) return VigilStatus::FtpReplyBase + 425;
    if (result == TcpReplyAborted) return VigilStatus::Unavailable;
    if (result == TcpFileFailed) return VigilStatus::CopyNotStored;
    if (result == TcpReplyTooLarge) return VigilStatus::UnknownError;
    if (result >= 400) return VigilStatus::FtpReplyBase + result;
    return VigilStatus::NoChange;
}

bool fetchFailed(int status) { return status != VigilStatus::NoChange; }

std::optional<std::string> nameOrNone(const char* name) {
    if (!name) return std::nullopt;
    return std::string(name);
}

}  // namespace

FtpVigil::FtpVigil(const VigilParams& params, const std::string& user, const std::string& password,
                   const std::optional<std::string>& directory,
                   const std::optional<std::string>& lookForFile,
                   const std::vector<std::string>& ignoreFiles)
    : Vigil(VigilKind::Ftp, params),
      directory_(noneWhenEmpty(directory)),
      lookForFile_(noneWhenEmpty(lookForFile)),
      user_(user),
      password_(password),
      ignoreFiles_(ignoreFiles),
      lists_(std::make_shared<const FtpListingComparison>()) {}

FtpVigil::~FtpVigil() = default;

std::string FtpVigil::url() const {
    const std::string host = this->host();
    std::lock_guard<std::mutex> g(fieldLock());
    std::string url = "ftp://";
    if (strcasecmp(user_.c_str(), "ftp") != 0 && strcasecmp(user_.c_str(), "anonymous") != 0)
        url += user_ + ":" + password_ + "@";
    url += host;
    if (port() != 21) url += ":" + std::to_string(port());
    if (directory_) {
        // A directory stored without its leading slash still makes a URL path.
        if (directory_->front() != '/') url += '/';
        url += *directory_;
    }
    return url;
}

void FtpVigil::write(FILE* file) const {
    std::string options = std::to_string(this->options());
    const std::string email = emailList();
    if (!email.empty()) options += ";EMAIL:" + email;
    const uint16_t flags = this->flags();

    RecordLine line;
    line.add("ftp");
    line.add(description());
    line.add(options);
    line.add(host());
    line.add(static_cast<long>(port()));
    std::string user, password;
    std::vector<std::string> ignored;
    {
        std::lock_guard<std::mutex> g(fieldLock());
        line.add(directory_.value_or(""));
        line.add(lookForFile_.value_or(""));
        user = user_;
        password = password_;
        ignored = ignoreFiles_;
    }
    line.add(static_cast<long>(interval()));
    line.add(static_cast<long>(lastChanged()));
    line.add(static_cast<long>(lastChecked()));
    line.add(static_cast<long>(static_cast<int16_t>(flags)));
    if (flags & NotifyFlags::Program) line.add(commandLine().value_or(""));
    line.add(user);
    line.add(password);
    line.add(static_cast<long>(status() - 1024));
    line.add(cacheFileName());
    line.add(soundFile().value_or(""));
    bool anyIgnored = false;
    for (const std::string& name : ignored) {
        if (name.empty()) continue;
        line.add(name);
        anyIgnored = true;
    }
    // Without ignore names the line ends in an empty field.
    if (!anyIgnored) line.add("");
    const std::string text = line.join(chooseRecordSeparator(kRecordSeparators, line.fields()));
    std::fwrite(text.data(), 1, text.size(), file);
}

std::optional<std::string> FtpVigil::placeholderValue(std::string_view word) const {
    if (isPlaceholder(word, "%host")) return host();
    if (isPlaceholder(word, "%user")) return user();
    if (isPlaceholder(word, "%password")) return password();
    if (isPlaceholder(word, "%port")) return std::to_string(port());
    if (isPlaceholder(word, "%dir")) return directory().value_or("");
    return Vigil::placeholderValue(word);
}

int FtpVigil::fetchAndCompare() {
    const std::string host = this->host();
    std::string user, password, directory;
    std::optional<std::string> lookFor;
    {
        std::lock_guard<std::mutex> g(fieldLock());
        user = user_;
        password = password_;
        directory = directory_.value_or("/");
        lookFor = lookForFile_;
    }
    // Each goes into a command line (or names the server): a control byte would
    // end it early and send commands of its own.
    if (hasControlCharacter(host) || hasControlCharacter(user) || hasControlCharacter(password) ||
        hasControlCharacter(directory))
        return VigilStatus::BadRequest;

    const Reference reference = examineReference();
    if (reference == Reference::Unreadable) return VigilStatus::CopyUnreadable;
    const bool first = reference == Reference::None;
    const std::string fresh = takeNewCacheName();
    const int32_t result = pooledFtpRequest(host, port(), user, password, directory, fresh,
                                            ProgramSettings::timeOutMs());
    if (result == TcpReplyTooLarge)
        traceLine("ftp listing too large: " + description() + " (over " + std::to_string(TcpClient::kMaxReplyBytes) +
                  " bytes)");
    const int status = statusOfResult(result);
    if (fetchFailed(status)) return status;  // the previous listing stays the reference

    if (first) {
        adoptCopy(fresh);
        // A first listing is never a change, but the looked-for file may be in it.
        if (lookFor && listingHasFile(localPath(fresh).c_str(), lookFor->c_str()))
            return VigilStatus::FileFound;
        return VigilStatus::NoChange;
    }
    int found = 0;
    const int changed = compareListings(fresh, previousCacheFileName(), lookFor ? &found : nullptr);
    adoptCopy(fresh);
    if (found) return VigilStatus::FileFound;
    return changed ? VigilStatus::Changed : VigilStatus::NoChange;
}

int FtpVigil::compareListings(const std::string& newFile, const std::string& previousFile, int* found) {
    std::vector<std::string> ignored;
    std::optional<std::string> lookFor;
    {
        std::lock_guard<std::mutex> g(fieldLock());
        ignored = ignoreFiles_;
        lookFor = lookForFile_;
    }
    bool seen = false;
    // Compared outside the lock: the window thread may read the old lists meanwhile.
    auto result = std::make_shared<FtpListingComparison>();
    const int changed = result->compareListings(localPath(newFile).c_str(), localPath(previousFile).c_str(),
                                                ignored, lookFor ? lookFor->c_str() : nullptr, &seen);
    if (result->compared()) {
        std::lock_guard<std::mutex> g(fieldLock());
        lists_ = std::move(result);
    }
    if (seen && found) *found = 1;
    if (changed) setLastChanged(time(nullptr));
    return changed;
}

void FtpVigil::setUser(const std::string& user) {
    std::lock_guard<std::mutex> g(fieldLock());
    user_ = user;
}

void FtpVigil::setPassword(const std::string& password) {
    std::lock_guard<std::mutex> g(fieldLock());
    password_ = password;
}

void FtpVigil::setDirectory(const std::optional<std::string>& directory) {
    std::lock_guard<std::mutex> g(fieldLock());
    directory_ = noneWhenEmpty(directory);
}

void FtpVigil::setLookForFile(const std::optional<std::string>& name) {
    std::lock_guard<std::mutex> g(fieldLock());
    lookForFile_ = noneWhenEmpty(name);
}

void FtpVigil::setIgnoreFiles(const std::vector<std::string>& names) {
    std::lock_guard<std::mutex> g(fieldLock());
    ignoreFiles_ = names;
}

void FtpVigil::addIgnoreFile(const std::string& name) {
    std::lock_guard<std::mutex> g(fieldLock());
    ignoreFiles_.push_back(name);
}

std::optional<std::string> FtpVigil::directory() const {
    return guardedCopy(directory_);
}

std::optional<std::string> FtpVigil::lookForFile() const {
    return guardedCopy(lookForFile_);
}

std::string FtpVigil::user() const {
    return guardedCopy(user_);
}

std::string FtpVigil::password() const {
    return guardedCopy(password_);
}

std::vector<std::string> FtpVigil::ignoreFiles() const {
    return guardedCopy(ignoreFiles_);
}

std::shared_ptr<const FtpListingComparison> FtpVigil::lists() const {
    std::lock_guard<std::mutex> g(fieldLock());
    return lists_;
}

int FtpVigil::addedCount() const {
    return lists()->addedCount();
}

int FtpVigil::removedCount() const {
    return lists()->removedCount();
}

int FtpVigil::changedCount() const {
    return lists()->changedCount();
}

std::optional<std::string> FtpVigil::addedFileName(int i) const {
    return nameOrNone(lists()->addedFileName(i));
}

std::optional<std::string> FtpVigil::removedFileName(int i) const {
    return nameOrNone(lists()->removedFileName(i));
}

std::optional<std::string> FtpVigil::changedFileName(int i) const {
    return nameOrNone(lists()->changedFileName(i));
}

time_t FtpVigil::addedFileTime(int i) const {
    return lists()->addedFileTime(i);
}

time_t FtpVigil::removedFileTime(int i) const {
    return lists()->removedFileTime(i);
}

time_t FtpVigil::changedFileTime(int i) const {
    return lists()->changedFileTime(i);
}
