#include "core/vigil_store.h"

#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/cache_files.h"
#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/run_state.h"
#include "core/text_file.h"
#include "core/text_utils.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/web_vigil.h"
#include "net/protocol_text.h"
#include "platform/ascii_text.h"
#include "platform/files.h"
#include "platform/trace.h"

namespace {

// A field read like "%ld": leading blanks, a sign, digits. None when the field
// holds no number, so the caller keeps the field's default.
std::optional<long> numberIn(std::string_view field) {
    size_t i = 0;
    while (i < field.size() && isSpaceOrTab(field[i])) ++i;
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

// A number within what its field's type holds; anything else keeps the default,
// so a value too large for the field never wraps into another value.
long numberOr(const std::string& field, long fallback, long low, long high) {
    const std::optional<long> n = numberIn(field);
    return n && *n >= low && *n <= high ? *n : fallback;
}

// 9999-12-31 23:59:59 UTC: later times would overflow the date arithmetic.
constexpr time_t kLastSaneTime = 253402300799;

// A stored time: none given keeps the fallback; a time before 1970 or after the
// year 9999 is no time (0).
time_t timeOr(const std::string& field, time_t fallback) {
    const std::optional<long> n = numberIn(field);
    if (!n) return fallback;
    return *n >= 0 && *n <= kLastSaneTime ? static_cast<time_t>(*n) : 0;
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
    out.options = numberOr(field.substr(0, semi), 0, INT32_MIN, INT32_MAX);
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
VigilStore::SaveResult reportSaveFailure(const std::string& target) {
    const int error = errno;
    const std::string text =
        target + " could not be written (" + std::strerror(error) + "); the previous file is kept.";
    reportLocalFailure(target + " " + std::to_string(error), text);
    return {-1, text};
}

const char* const kKeptText = "; it is left as it is and will not be saved over while Tervane runs.";

// The kind a record's first field names, compared in this order.
std::optional<uint16_t> kindOfWord(const std::string& word) {
    if (word.compare(0, 6, "gopher") == 0) return VigilKind::Gopher;
    if (word.compare(0, 4, "http") == 0) return VigilKind::Web;
    if (word.compare(0, 3, "ftp") == 0) return VigilKind::Ftp;
    return std::nullopt;
}

// Where the interval stands; the times and the flags follow it. FTP records hold
// two more fields before it (directory and look-for file).
size_t intervalField(uint16_t kind) { return kind == VigilKind::Ftp ? 7 : 6; }

// Written as a signed 16-bit number: both readings of the same bits are taken.
uint16_t flagsIn(const std::string& field) {
    return static_cast<uint16_t>(numberOr(field, 1, INT16_MIN, UINT16_MAX));
}

enum class Parsed { Vigil, NoVigil, NoIdentifier };

// Why a record line makes no Vigil, for the user.
std::string noVigilReason(const std::string& kindWord, bool known) {
    if (kindWord.empty()) return "names no kind of record";
    if (known) return "is a record without a host";
    // A damaged word is shown only when it is short enough to recognise.
    if (kindWord.size() > 16) return "is a record of no known kind";
    return "is a record of no known kind (\"" + kindWord + "\")";
}

// strayCopy, when given, receives a stored cache name that means no copy of this
// data folder.
std::shared_ptr<Vigil> buildVigil(const std::string& line, VigilList& list, VigilStore::CacheName cacheName,
                                  Parsed& outcome, std::string* why = nullptr, std::string* strayCopy = nullptr) {
    outcome = Parsed::NoVigil;
    if (line.empty()) {
        if (why) *why = noVigilReason(std::string(), false);
        return nullptr;
    }
    const time_t now = time(nullptr);
    const char separator = line[0];
    std::vector<std::string> fields = splitString(std::string_view(line).substr(1), separator, false);
    auto field = [&fields](size_t i) -> const std::string& {
        static const std::string none;
        return i < fields.size() ? fields[i] : none;
    };
    const std::optional<uint16_t> known = kindOfWord(field(0));
    if (!known || field(3).empty()) {
        if (why) *why = noVigilReason(field(0), known.has_value());
        return nullptr;
    }
    const uint16_t kind = *known;

    const OptionsField options = readOptionsField(field(2), kind == VigilKind::Web);

    VigilParams p;
    p.description = field(1).empty() ? std::string(" ") : field(1);
    p.host = field(3);
    p.options = static_cast<int32_t>(options.options);
    p.email = options.email;
    p.active = 1;

    const uint16_t defaultPort = kind == VigilKind::Gopher ? 70 : kind == VigilKind::Ftp ? 21 : 80;
    p.port = static_cast<uint16_t>(numberOr(field(4), defaultPort, 0, UINT16_MAX));

    const size_t base = intervalField(kind);
    p.interval = static_cast<int32_t>(numberOr(field(base), 0, INT32_MIN, INT32_MAX));
    p.intervalMode = p.interval >= 1 ? IntervalMode::On : IntervalMode::Off;
    p.lastChanged = timeOr(field(base + 1), 0);
    p.lastChecked = timeOr(field(base + 2), kind == VigilKind::Ftp ? now : 0);
    p.flags = flagsIn(field(base + 3));
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
        method = numberOr(field(next), ChangeMethod::Detect, INT_MIN, INT_MAX);
        lastModified = timeOr(field(next + 1), 0);
        expires = timeOr(field(next + 2), 0);
        next += 3;
    }

    const long stored = numberOr(field(next), VigilStatus::NoChange - 1024, INT_MIN, INT_MAX - 1024) + 1024;
    p.status = knownStatus(stored) ? static_cast<int>(stored) : VigilStatus::NoChange;

    p.identifier = reserveVigilIdentifier();
    if (!p.identifier) {
        outcome = Parsed::NoIdentifier;
        return nullptr;
    }

    // A stored cache name is taken only when it means a copy in this folder's cache
    // (and is then kept in the program's own form), and only when no other Vigil
    // holds it: the name is deleted later, so a damaged file must not point at
    // arbitrary paths or share another Vigil's copy. An imported record's name
    // belongs to another list: a copy of that number here is not its copy.
    const std::string& storedName = field(next + 1);
    if (cacheName == VigilStore::CacheName::Keep) {
        const auto number = CacheFiles::numberFromName(storedName);
        if (number && CacheFiles::addNumber(*number) == 1) p.cacheFileName = CacheFiles::nameOfNumber(*number);
        else if (!number && strayCopy && storedName.find_first_not_of(" \t") != std::string::npos)
            *strayCopy = storedName;
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

    list.append(vigil);
    outcome = Parsed::Vigil;
    return vigil;
}

}  // namespace

namespace VigilStore {

std::shared_ptr<Vigil> parseRecord(const std::string& line, VigilList& list, CacheName cacheName) {
    Parsed outcome;
    return buildVigil(line, list, cacheName, outcome);
}

namespace {

std::string joinFields(char separator, const std::vector<std::string>& fields) {
    std::string out(1, separator);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += separator;
        out += fields[i];
    }
    return out;
}

// Whether the line, read as parseRecord reads it, asks for a program or has a
// control character in its description.
bool runsProgramOrHasControl(const std::string& line) {
    if (line.empty()) return false;
    const std::vector<std::string> fields = splitString(std::string_view(line).substr(1), line[0], false);
    if (fields.size() > 1 && hasControlCharacter(fields[1])) return true;
    const std::optional<uint16_t> kind = kindOfWord(fields[0]);
    const size_t flagsAt = kind ? intervalField(*kind) + 3 : fields.size();
    return flagsAt < fields.size() && (flagsIn(fields[flagsAt]) & NotifyFlags::Program);
}

}  // namespace

std::string importedRecord(const std::string& record) {
    // The entry is kept as text, where a NUL would cut it: the blanks go in
    // first, so the fields below are the ones the reader will see.
    std::string line = record;
    std::replace(line.begin(), line.end(), '\0', ' ');
    if (line.empty()) return line;
    const char separator = line[0];
    std::vector<std::string> fields = splitString(std::string_view(line).substr(1), separator, false);
    if (fields.size() > 1) {
        std::string& description = fields[1];
        if (separator == ' ') {
            // A blank would be a separator here and shift every later field.
            description.erase(std::remove_if(description.begin(), description.end(), isControlChar),
                              description.end());
        } else {
            std::replace_if(description.begin(), description.end(), isControlChar, ' ');
        }
    }
    const std::optional<uint16_t> kind = kindOfWord(fields[0]);
    const size_t flagsAt = kind ? intervalField(*kind) + 3 : fields.size();
    if (flagsAt < fields.size()) {
        const uint16_t flags = flagsIn(fields[flagsAt]);
        // A program named by somebody else's list is not started here: the
        // user chooses one with Edit.
        if (flags & NotifyFlags::Program) {
            fields[flagsAt] = std::to_string(static_cast<int16_t>(flags & ~NotifyFlags::Program));
            if (flagsAt + 1 < fields.size()) fields.erase(fields.begin() + static_cast<long>(flagsAt) + 1);
        }
    }
    line = joinFields(separator, fields);
    // Checked on the line as it is kept; one that still reads otherwise is not taken.
    return runsProgramOrHasControl(line) ? std::string() : line;
}

namespace {

// The count line holds a number and nothing else but blanks around it: a record
// glued to it, or a count followed by words, is no count line.
bool isCountLine(std::string_view line) {
    while (!line.empty() && isSpaceOrTab(line.back())) line.remove_suffix(1);
    size_t i = 0;
    while (i < line.size() && isSpaceOrTab(line[i])) ++i;
    if (i < line.size() && (line[i] == '-' || line[i] == '+')) ++i;
    if (i == line.size()) return false;
    for (; i < line.size(); ++i)
        if (line[i] < '0' || line[i] > '9') return false;
    return numberIn(line).has_value();
}

// Empty, blanks only, or the Ctrl-Z that old DOS editors end a file with: what an
// editor leaves, no record.
bool isBlankLine(const std::string& line) {
    return std::all_of(line.begin(), line.end(), [](char c) { return isSpaceOrTab(c) || c == '\x1a'; });
}

}  // namespace

DataFile readRecords(const std::string& fileName, const std::function<bool(const std::string&)>& each,
                     std::string& problem, FirstLine firstLine) {
    const std::string name = localPath(fileName);
    FileBytes file;
    if (!file.open(name.c_str())) {
        if (errno == ENOENT) return DataFile::Missing;
        problem = fileName + " could not be read (" + std::strerror(errno) + ")";
        return DataFile::Failed;
    }
    const std::string_view text = file.view();
    // A file whose first line ends in a lone CR (old Macintosh editors) has CR
    // line ends throughout; in any other a CR is a line end only before LF.
    const size_t firstEnd = text.find_first_of("\r\n");
    const char lineEnd = firstEnd != std::string_view::npos && text[firstEnd] == '\r' &&
                                 (firstEnd + 1 == text.size() || text[firstEnd + 1] != '\n')
                             ? '\r'
                             : '\n';
    std::string line;
    size_t at = 0;
    auto nextLine = [text, lineEnd, &at, &line] {
        if (at >= text.size()) return false;
        const void* end = std::memchr(text.data() + at, lineEnd, text.size() - at);
        const size_t stop = end ? static_cast<size_t>(static_cast<const char*>(end) - text.data()) : text.size();
        line.assign(text.data() + at, stop - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        at = stop + 1;
        return true;
    };
    if (!nextLine()) return DataFile::Read;  // an empty file is an empty list
    dropByteOrderMark(line);
    if (firstLine == FirstLine::Count && !isCountLine(line)) {
        problem = fileName + " does not begin with the number of its records";
        return DataFile::Failed;
    }
    // The count is not trusted: every record line to the end of the file is read.
    while (nextLine())
        if (!each(line)) break;
    return DataFile::Read;
}

LoadResult load(const std::string& fileName, VigilList& list) {
    std::string problem;
    bool full = false;
    size_t lineNumber = 1;  // the count line
    bool eightBit = false;
    std::vector<std::string> strays;
    const DataFile read = readRecords(
        fileName,
        [&list, &full, &lineNumber, &eightBit, &strays](const std::string& line) {
            ++lineNumber;
            if (isBlankLine(line)) return true;
            eightBit = eightBit || !isUtf8(line);
            Parsed outcome;
            std::string why, stray;
            const std::shared_ptr<Vigil> vigil = buildVigil(line, list, CacheName::Keep, outcome, &why, &stray);
            if (vigil && !stray.empty()) {
                // Said now, and once: the next save writes the Vigil without it.
                reportRunNote(vigil->description() + ": its copy " + stray +
                              " is missing from the cache folder; what is fetched now becomes its copy, and a "
                              "change since the last check is not reported.");
                strays.push_back(stray);
            }
            // Perhaps a record of a later version: the rest of the list is read,
            // and the line goes back into the file unread.
            if (outcome == Parsed::NoVigil) {
                VigilList::KeptLine kept;
                kept.text = line;
                kept.lineNumber = lineNumber;
                kept.why = why;
                list.keep(std::move(kept));
                // A copy it names is not handed to another Vigil.
                for (const std::string& field : splitString(std::string_view(line).substr(1), line[0], false))
                    if (const auto number = CacheFiles::numberNamed(field)) CacheFiles::addNumber(*number);
            }
            full = outcome == Parsed::NoIdentifier;
            return !full;
        },
        problem);
    list.setEightBitText(eightBit);
    LoadResult result;
    result.eightBitText = eightBit;
    result.strayCopyNames = std::move(strays);
    if (read == DataFile::Failed) {
        result.problem = problem + kKeptText;
    } else if (full) {
        result.problem = fileName + " holds more Vigils than Tervane can keep at a time (65,536); "
                                    "those past that number were not loaded" + kKeptText;
    }
    if (result.problem) list.keepFileUnsaved(localPath(fileName));
    return result;
}

std::optional<std::string> keptLinesNote(const std::string& fileName, const VigilList::KeptLines& kept) {
    if (kept.empty()) return std::nullopt;
    // Runs of consecutive lines as "9-12": a list of a later version may hold many.
    std::vector<std::string> runs;
    for (size_t i = 0; i < kept.size();) {
        size_t j = i;
        while (j + 1 < kept.size() && kept[j + 1].lineNumber == kept[j].lineNumber + 1) ++j;
        runs.push_back(std::to_string(kept[i].lineNumber) +
                       (j > i ? "-" + std::to_string(kept[j].lineNumber) : std::string()));
        i = j + 1;
    }
    std::string numbers = runs.front();
    for (size_t i = 1; i < runs.size(); ++i) numbers += (i + 1 == runs.size() ? " and " : ", ") + runs[i];
    const bool one = kept.size() == 1;
    return fileName + ": " + (one ? "line " : "lines ") + numbers + (one ? " makes" : " make") +
           " no Vigil (line " + std::to_string(kept.front().lineNumber) + " " + kept.front().why + "); " +
           (one ? "it is" : "they are") + " kept unread and written back as " + (one ? "it is" : "they are") +
           ", and the rest of the list is used.";
}


namespace {

// The reader ends lines at LF, a CR before it going with it, unless the count
// line ends in a lone CR. A kept line is written so that it reads back the same:
// one ending in CR gets a second CR before its LF; one holding an LF (read from a
// file of CR line ends) puts the whole file in CR line ends again.
class ListWriter {
public:
    ListWriter(FILE* file, const VigilList::KeptLines& kept) : file_(file) {
        for (const VigilList::KeptLine& line : kept)
            if (line.text.find('\n') != std::string::npos) crEnds_ = true;
    }

    void count(size_t records) {
        std::fprintf(file_, "%zu%c", records, crEnds_ ? '\r' : '\n');
    }

    void kept(const std::string& text) {
        start(text);
        std::fwrite(text.data(), 1, text.size(), file_);
        if (crEnds_) {
            std::fputc('\r', file_);
        } else {
            if (!text.empty() && text.back() == '\r') std::fputc('\r', file_);
            std::fputc('\n', file_);
        }
    }

    void record(const Vigil& vigil) {
        first_ = false;  // a record begins with a printable separator
        if (!crEnds_) {
            vigil.writeRecord(file_);
            return;
        }
        // Records hold no CR or LF but their own line end.
        char* text = nullptr;
        size_t size = 0;
        FILE* memory = open_memstream(&text, &size);
        if (!memory) {
            failed_ = true;
            return;
        }
        vigil.writeRecord(memory);
        if (std::fclose(memory) != 0) {
            failed_ = true;
        } else {
            if (size > 0 && text[size - 1] == '\n') text[size - 1] = '\r';
            std::fwrite(text, 1, size, file_);
        }
        std::free(text);
    }

    bool failed() const { return failed_; }

private:
    // Right after a lone-CR count line an LF would make the file read with LF
    // ends: a blank line (which the reader skips) goes between.
    void start(const std::string& text) {
        if (first_ && crEnds_ && !text.empty() && text.front() == '\n') std::fputc('\r', file_);
        first_ = false;
    }

    FILE* file_;
    bool crEnds_ = false;
    bool first_ = true;
    bool failed_ = false;
};

// The count line counts every record line written, the kept ones too; each kept
// line follows the Vigil it followed when read (one whose Vigil is gone, last).
bool writeList(FILE* file, const VigilList::Vigils& vigils, const VigilList::KeptLines& kept) {
    ListWriter out(file, kept);
    out.count(vigils.size() + kept.size());
    std::unordered_map<const Vigil*, std::vector<const VigilList::KeptLine*>> following;
    for (const VigilList::KeptLine& line : kept) {
        if (line.atTop) out.kept(line.text);
        else if (const std::shared_ptr<Vigil> after = line.after.lock()) following[after.get()].push_back(&line);
    }
    for (const auto& vigil : vigils) {
        out.record(*vigil);
        if (following.empty()) continue;
        const auto found = following.find(vigil.get());
        if (found == following.end()) continue;
        for (const VigilList::KeptLine* line : found->second) out.kept(line->text);
        following.erase(found);
    }
    // Those whose Vigil is no longer in the list: nothing is lost all the same.
    for (const VigilList::KeptLine& line : kept) {
        if (line.atTop) continue;
        const std::shared_ptr<Vigil> after = line.after.lock();
        if (!after || following.count(after.get())) out.kept(line.text);
    }
    return !out.failed();
}

}  // namespace

SaveResult save(const std::string& fileName, VigilList& list) {
    const std::string target = localPath(fileName);
    // A file this run could not read whole holds Vigils the list lacks.
    if (list.keepsFileUnsaved(target)) return {-1, std::nullopt};
    // One save at a time: a slower one renamed last could name a copy that a
    // faster one has deleted.
    static std::mutex saveMutex;
    std::lock_guard<std::mutex> one(saveMutex);
    // Retired before the list is written, so no line below names them.
    std::vector<std::string> retired = CacheFiles::takeRetired();
    const bool ok = replaceFile(target, [&list](FILE* file) {
        bool written;
        {
            VigilList::Hold hold(list);
            written = writeList(file, hold.vigils(), hold.kept());
        }
        // The copies it names reach the disk before it takes its name: after a
        // power cut it must not name a copy that never got there.
        const int error = errno;
        CacheFiles::flushSettled();
        if (!written) errno = error;
        return written && std::ferror(file) == 0;
    });
    if (!ok) {
        SaveResult failed = reportSaveFailure(target);
        // The old file may still name them.
        for (const std::string& name : retired) CacheFiles::retire(name);
        return failed;
    }
    for (const std::string& name : retired) CacheFiles::remove(name);
    return {};
}

bool readOnly(const std::string& fileName, const VigilList& list) {
    return list.keepsFileUnsaved(localPath(fileName));
}

}  // namespace VigilStore
