#include "core/vigil_store.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string_view>
#include <vector>

#include "core/cache_files.h"
#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/locks.h"
#include "core/run_state.h"
#include "core/text_utils.h"
#include "core/vigil.h"
#include "core/web_vigil.h"
#include "platform/files.h"
#include "platform/trace.h"

namespace {

// A field read like "%ld": leading blanks, a sign, digits. None when the field
// holds no number, so the caller keeps the field's default.
std::optional<long> numberIn(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && (field[i] == ' ' || field[i] == '\t')) ++i;
    bool negative = false;
    if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
    if (i >= field.size() || field[i] < '0' || field[i] > '9') return std::nullopt;
    long value = 0;
    for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
        const int digit = field[i] - '0';
        // Checked before it can overflow: a damaged field must not wrap into a value.
        if (value > (LONG_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

long numberOr(const std::string& field, long fallback) {
    return numberIn(field).value_or(fallback);
}

std::optional<std::string> textOrNone(const std::string& field) {
    if (field.empty()) return std::nullopt;
    return field;
}

bool knownStatus(long code) {
    switch (code) {
    case VigilStatus::Changed: case VigilStatus::NoChange: case VigilStatus::Checking:
    case VigilStatus::Unavailable: case VigilStatus::UnknownError:
    case VigilStatus::HostNotResolved: case VigilStatus::Inactive:
    case VigilStatus::StructureChanged: case VigilStatus::MovedPermanently:
    case VigilStatus::NotFound: case VigilStatus::MovedTemporarily: case VigilStatus::FileFound:
    case VigilStatus::BadRequest: case VigilStatus::ProxyAuthRequired:
    case VigilStatus::NotAuthorized: case VigilStatus::ProxyError: case VigilStatus::ServerError:
        return true;
    default:
        // FTP failures: 1124 + a reply code from 400 to 599.
        return code >= VigilStatus::FtpReplyBase + 400 && code <= VigilStatus::FtpReplyBase + 599;
    }
}

struct OptionsField {
    long options = 0;
    std::optional<std::string> email;
    std::optional<std::string> credentials;  // Web only: user ":" password
};

OptionsField readOptionsField(const std::string& field, bool web) {
    OptionsField out;
    const size_t semi = field.find(';');
    out.options = numberOr(field.substr(0, semi), 0);
    if (semi != std::string::npos) {
        std::string_view rest(field);
        rest.remove_prefix(semi + 1);
        static constexpr std::string_view emailTag = "EMAIL:", userTag = "USER:", passTag = "PASS:";
        if (!web) {
            if (rest.substr(0, emailTag.size()) == emailTag)
                out.email = std::string(rest.substr(emailTag.size()));
        } else {
            if (rest.substr(0, emailTag.size()) == emailTag) {
                const size_t end = rest.find(';');
                out.email = std::string(rest.substr(emailTag.size(), end == std::string_view::npos
                                                                         ? std::string_view::npos
                                                                         : end - emailTag.size()));
                rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
            }
            if (rest.substr(0, userTag.size()) == userTag) {
                rest.remove_prefix(userTag.size());
                const size_t end = rest.find(';');
                if (end == std::string_view::npos) {
                    out.credentials = std::string(rest);
                } else {
                    std::string user(rest.substr(0, end));
                    std::string_view after = rest.substr(end + 1);
                    std::string password;
                    if (after.substr(0, passTag.size()) == passTag)
                        password = std::string(after.substr(passTag.size()));
                    out.credentials = user + ":" + password;
                }
            }
        }
    }
    if (web) out.options |= WebOptions::AlwaysCompare;
    return out;
}

// The old file stays; the user learns why the list was not written.
int reportSaveFailure(const std::string& target) {
    const std::string text =
        target + " could not be written (" + std::strerror(errno) + "); the previous file is kept.";
    reportRunFailure(text);
    return -1;
}

}  // namespace

namespace VigilStore {

std::shared_ptr<Vigil> parseRecord(const std::string& line, void* callbackTarget) {
    if (line.empty()) return nullptr;
    const time_t now = time(nullptr);
    const char separator = line[0];
    std::vector<std::string> fields = splitString(std::string_view(line).substr(1), separator, false);
    auto field = [&fields](size_t i) -> const std::string& {
        static const std::string none;
        return i < fields.size() ? fields[i] : none;
    };
    if (field(0).empty() || field(3).empty()) return nullptr;

    uint16_t kind;
    const std::string& word = field(0);
    if (word.compare(0, 6, "gopher") == 0)
        kind = VigilKind::Gopher;
    else if (word.compare(0, 4, "http") == 0)
        kind = VigilKind::Web;
    else if (word.compare(0, 3, "ftp") == 0)
        kind = VigilKind::Ftp;
    else
        return nullptr;

    const OptionsField options = readOptionsField(field(2), kind == VigilKind::Web);

    VigilParams p;
    p.description = field(1).empty() ? std::string(" ") : field(1);
    p.host = field(3);
    p.options = static_cast<int32_t>(options.options);
    p.email = options.email;
    p.callbackTarget = callbackTarget;
    p.active = 1;

    const uint16_t defaultPort = kind == VigilKind::Gopher ? 70 : kind == VigilKind::Ftp ? 21 : 80;
    // A number out of the port range would otherwise wrap into some other port.
    const long port = numberOr(field(4), defaultPort);
    p.port = static_cast<uint16_t>(port >= 0 && port <= 65535 ? port : defaultPort);

    // Fields from the interval on sit one place further for FTP (directory and look-for file).
    const size_t base = kind == VigilKind::Ftp ? 7 : 6;
    p.interval = static_cast<int32_t>(numberOr(field(base), 0));
    p.intervalMode = p.interval >= 1 ? IntervalMode::On : IntervalMode::Off;
    p.lastChanged = static_cast<time_t>(numberOr(field(base + 1), 0));
    p.lastChecked = static_cast<time_t>(numberOr(field(base + 2), kind == VigilKind::Ftp ? now : 0));
    p.flags = static_cast<uint16_t>(static_cast<int16_t>(numberOr(field(base + 3), 1)));
    size_t next = base + 4;
    if (p.flags & NotifyFlags::Program) p.programLine = textOrNone(field(next++));

    std::string ftpUser, ftpPassword;
    long method = ChangeMethod::Detect;
    time_t lastModified = 0, expires = 0;
    if (kind == VigilKind::Ftp) {
        ftpUser = field(next).empty() ? std::string("anonymous") : field(next);
        ftpPassword = field(next + 1).empty() ? std::string(AnonymousFtpPassword) : field(next + 1);
        next += 2;
    } else if (kind == VigilKind::Web) {
        method = numberOr(field(next), ChangeMethod::Detect);
        lastModified = static_cast<time_t>(numberOr(field(next + 1), 0));
        expires = static_cast<time_t>(numberOr(field(next + 2), 0));
        next += 3;
    }

    const long stored = numberOr(field(next), VigilStatus::NoChange - 1024) + 1024;
    p.status = knownStatus(stored) ? static_cast<int>(stored) : VigilStatus::NoChange;

    // A stored cache name is taken only in the program's own form and only when no
    // other Vigil holds it: the name is deleted later, so an imported or damaged
    // file must not point at arbitrary paths or share another Vigil's copy.
    const std::string& cacheName = field(next + 1);
    if (const auto number = CacheFiles::numberFromName(cacheName)) {
        if (CacheFiles::addNumber(*number) == 1) p.cacheFileName = cacheName;
    }
    p.soundFile = textOrNone(field(next + 2));

    std::vector<std::string> extras;
    for (size_t i = next + 3; i < fields.size(); ++i)
        if (!fields[i].empty()) extras.push_back(fields[i]);

    std::shared_ptr<Vigil> vigil;
    switch (kind) {
    case VigilKind::Gopher:
        vigil = std::make_shared<GopherVigil>(p, textOrNone(field(5)));
        break;
    case VigilKind::Ftp:
        vigil = std::make_shared<FtpVigil>(p, ftpUser, ftpPassword, textOrNone(field(5)),
                                           textOrNone(field(6)), extras);
        break;
    default: {
        const std::string path = field(5).empty() ? std::string("/") : field(5);
        vigil = std::make_shared<WebVigil>(p, SimpleString(path.c_str()), static_cast<int>(method),
                                           lastModified, expires, extras, options.credentials);
        break;
    }
    }

    lockMutex(vigilListLock, -1);
    vigilList.push_back(vigil);
    unlockMutex(vigilListLock);
    return vigil;
}

void load(const std::string& fileName, void* callbackTarget) {
    FILE* file = openFile(fileName, "rb");
    if (!file) return;
    std::string line;
    if (readLine(file, line)) {
        const long count = numberOr(line, 0);
        for (long i = 0; i < count && readLine(file, line); ++i) parseRecord(line, callbackTarget);
    }
    std::fclose(file);
}

int save(const std::string& fileName) {
    const std::string target = localPath(fileName);
    const std::string temporary = target + ".tmp";
    FILE* file = openFile(temporary, "wb");
    if (!file) return reportSaveFailure(target);

    lockMutex(vigilListLock, -1);
    std::fprintf(file, "%d\n", static_cast<int>(vigilList.size()));
    for (const auto& vigil : vigilList) vigil->write(file);
    unlockMutex(vigilListLock);

    bool ok = std::fflush(file) == 0 && std::ferror(file) == 0;
    ok = ok && ::fsync(fileno(file)) == 0;
    ok = (std::fclose(file) == 0) && ok;
    if (ok) ok = std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) {
        const int error = errno;
        removeFile(temporary);
        errno = error;
        return reportSaveFailure(target);
    }
    return 0;
}

}  // namespace VigilStore
