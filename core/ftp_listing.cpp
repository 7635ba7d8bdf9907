#include "core/ftp_listing.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <strings.h>
#include <unordered_map>

#include "core/http_date.h"
#include "core/run_state.h"
#include "core/text_utils.h"
#include "platform/ascii_text.h"
#include "platform/time_convert.h"

namespace {

constexpr size_t kFieldsBeforeName = 8;
constexpr size_t kReadBlock = 256 * 1024;
// A packed list marks where every so many files begin: finding file i reads at
// most that many names.
constexpr size_t kMarkEvery = 64;

int listingMonth(std::string_view field) {
    char head[4] = {};
    field.copy(head, 3);
    return monthFromName(head);
}

// The text's leading number as leadingNumber reads it, 0 when there is none,
// held within -INT_MAX..INT_MAX.
int leadingIntOrZero(std::string_view text) {
    return static_cast<int>(std::clamp<long long>(leadingNumber(text).value_or(0), -INT_MAX, INT_MAX));
}

// The broken-down local time of a listing line's fields (see listingTime).
std::tm brokenListingTime(const std::string_view* fields, size_t count) {
    auto field = [&](size_t i) { return i < count ? fields[i] : std::string_view(); };
    std::tm broken{};
    broken.tm_mon = listingMonth(field(5));
    broken.tm_mday = leadingIntOrZero(field(6));
    const std::string_view when = field(7);
    const size_t colon = when.find(':');
    if (colon != std::string_view::npos) {
        broken.tm_hour = leadingIntOrZero(when.substr(0, colon));
        broken.tm_min = leadingIntOrZero(when.substr(colon + 1));
        broken.tm_sec = 30;
        broken.tm_year = runState().currentYear - 1900;
    } else {
        // Wide arithmetic: a server's "-2147483647" must not overflow the subtraction.
        broken.tm_year = static_cast<int>(std::max<long long>(INT_MIN, leadingIntOrZero(when) - 1900LL));
        broken.tm_hour = 12;
    }
    // Let the zone rules decide summer time, so the time shown later reads as listed.
    broken.tm_isdst = -1;
    return broken;
}

// The offset from UTC in force at t, in seconds; false when t cannot be shown.
bool utcOffsetAt(time_t t, long& offset) {
    std::tm local{};
    if (!localtime_r(&t, &local)) return false;
    offset = local.tm_gmtoff;
    return true;
}

// The instant of a local clock reading. mktime, left to find summer time itself,
// picks between the two instants of the hour repeated when the clocks go back by
// whatever it converted before, so the same line could give two times. Here a
// repeated reading always gives the earlier instant, and a reading in the hour
// skipped in spring counts with the offset in force before the change.
time_t localMakeTime(std::tm& broken) {
    const TimeConversionLock hold;
    std::tm fields = broken;
    const time_t wall = timegm(&fields);  // the reading counted as if it were UTC
    long before = 0, after = 0;
    if (wall == static_cast<time_t>(-1) || !utcOffsetAt(wall - 86400, before) ||
        !utcOffsetAt(wall + 86400, after)) {
        return std::mktime(&broken);  // out of the zone rules' range
    }
    time_t result = wall - before;
    bool found = false;
    for (const long offset : {before, after}) {
        const time_t candidate = wall - offset;
        long actual = 0;
        if (!utcOffsetAt(candidate, actual) || actual != offset) continue;
        if (!found || candidate < result) result = candidate;
        found = true;
    }
    localtime_r(&result, &broken);
    return result;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar (month
// 1-12). A day past the month's end counts on into the next month.
long long daysFromCivil(long long year, int month, int day) {
    year -= month <= 2;
    const long long era = (year >= 0 ? year : year - 399) / 400;
    const long long yearOfEra = year - era * 400;
    const long long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// mktime can cost microseconds a call (the C library looks at the zone file
// each time), which dominates a large listing. Lines share their days: keep the
// midnight of each day, found with localtime_r, and add the time of day. A day
// that is not 24 hours long (a clock change), and fields out of their usual
// ranges, go through mktime.
class ListingClock {
public:
    ListingClock() {
        const TimeConversionLock hold;
        tzset();
    }

    time_t at(std::tm broken) {
        if (broken.tm_mon < 0 || broken.tm_mon > 11 || broken.tm_mday < 1 || broken.tm_mday > 31 ||
            broken.tm_hour < 0 || broken.tm_hour > 23 || broken.tm_min < 0 || broken.tm_min > 59 ||
            broken.tm_year < -1000 || broken.tm_year > 100000)
            return localMakeTime(broken);
        const long long day = daysFromCivil(1900LL + broken.tm_year, broken.tm_mon + 1, broken.tm_mday);
        auto found = days_.find(day);
        if (found == days_.end()) found = days_.emplace(day, startOfDay(day)).first;
        if (found->second == kIrregular) return localMakeTime(broken);
        return found->second + broken.tm_hour * 3600 + broken.tm_min * 60 + broken.tm_sec;
    }

private:
    static constexpr time_t kIrregular = static_cast<time_t>(-1);

    static long long localSeconds(const std::tm& t) {
        return daysFromCivil(1900LL + t.tm_year, t.tm_mon + 1, t.tm_mday) * 86400 + t.tm_hour * 3600 +
               t.tm_min * 60 + t.tm_sec;
    }

    // The day's midnight, or kIrregular when the day is not 24 hours long.
    static time_t startOfDay(long long day) {
        const time_t today = findMidnight(day);
        const time_t tomorrow = findMidnight(day + 1);
        if (today == kIrregular || tomorrow == kIrregular || tomorrow - today != 86400) return kIrregular;
        return today;
    }

    // The instant whose local time is 00:00:00 of the day, or kIrregular when the
    // offset from UTC differs between that instant and the same clock time in UTC.
    static time_t findMidnight(long long day) {
        const time_t utcMidnight = static_cast<time_t>(day * 86400);
        std::tm local{};
        if (!localtime_r(&utcMidnight, &local)) return kIrregular;
        const time_t candidate = static_cast<time_t>(utcMidnight - (localSeconds(local) - day * 86400));
        if (!localtime_r(&candidate, &local) || localSeconds(local) != day * 86400) return kIrregular;
        return candidate;
    }

    std::unordered_map<long long, time_t> days_;  // midnight of each day seen
};

// Finds the first eight blank-separated fields and the file name: the text from
// the ninth field to the line end, trailing blanks dropped, a link's target cut
// off. Returns false when the line has fewer than nine fields.
bool splitListingLine(std::string_view line, std::string_view (&fields)[kFieldsBeforeName],
                      std::string_view& name) {
    size_t i = 0;
    const size_t n = line.size();
    for (size_t f = 0; f < kFieldsBeforeName; ++f) {
        while (i < n && line[i] == ' ') ++i;
        if (i == n) return false;
        const size_t start = i;
        while (i < n && line[i] != ' ') ++i;
        fields[f] = line.substr(start, i - start);
    }
    while (i < n && line[i] == ' ') ++i;
    if (i == n) return false;
    size_t end = n;
    while (line[end - 1] == ' ') --end;
    name = line.substr(i, end - i);
    if (fields[0].front() == 'l') {
        const size_t arrow = name.find(" -> ");
        if (arrow != std::string_view::npos) name = name.substr(0, arrow);
    }
    return true;
}

bool isFileLine(std::string_view line, std::string_view (&fields)[kFieldsBeforeName], std::string_view& name) {
    if (line.substr(0, 5) == "total") return false;
    if (!splitListingLine(line, fields, name)) return false;
    return name != "." && name != "..";
}

// Hands out the lines of a file without their line ends (LF or CR LF), reading
// in large blocks; a line longer than a block grows the buffer.
class LineReader {
public:
    explicit LineReader(FILE* file) : file_(file), buffer_(kReadBlock) {}

    bool next(std::string_view& line) {
        for (;;) {
            const char* start = buffer_.data() + begin_;
            if (const void* lf = std::memchr(start, '\n', end_ - begin_)) {
                const size_t length = static_cast<const char*>(lf) - start;
                begin_ += length + 1;
                line = trimCarriageReturn(std::string_view(start, length));
                return true;
            }
            if (atEnd_) {
                if (begin_ == end_) return false;
                line = trimCarriageReturn(std::string_view(start, end_ - begin_));
                begin_ = end_;
                return true;
            }
            fill();
        }
    }

private:
    static std::string_view trimCarriageReturn(std::string_view s) {
        if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
        return s;
    }

    void fill() {
        if (begin_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
            end_ -= begin_;
            begin_ = 0;
        }
        if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
        const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
        end_ += got;
        if (got == 0) atEnd_ = true;
    }

    FILE* file_;
    std::vector<char> buffer_;
    size_t begin_ = 0;
    size_t end_ = 0;
    bool atEnd_ = false;
};

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<FILE, FileCloser>;

FileHandle openListing(const char* path) {
    return FileHandle(path ? std::fopen(path, "rb") : nullptr);
}

// A listing read for comparison: its names packed into one text, and per file
// where its name lies and its time. Ordered by name, one file per name.
struct ParsedListing {
    struct File {
        uint32_t start;
        uint32_t length;
        time_t time;
    };
    std::string names;
    std::vector<File> files;

    std::string_view name(const File& f) const { return std::string_view(names).substr(f.start, f.length); }
};

// False when the listing outgrows the 32-bit offsets (far beyond any listing
// the FTP client stores); found is then left alone.
bool readListing(FILE* file, ListingClock& clock, ParsedListing& listing, const char* lookForFile, bool* found) {
    listing = ParsedListing();
    std::string_view line;
    std::string_view fields[kFieldsBeforeName];
    std::string_view name;
    // Sizes first, so that the names and records take just the memory they need.
    size_t count = 0;
    size_t nameBytes = 0;
    for (LineReader reader(file); reader.next(line);) {
        if (!isFileLine(line, fields, name)) continue;
        ++count;
        nameBytes += name.size();
    }
    if (nameBytes > UINT32_MAX) return false;
    std::rewind(file);
    listing.names.reserve(nameBytes);
    listing.files.reserve(count);
    bool seen = false;
    for (LineReader reader(file); reader.next(line);) {
        if (!isFileLine(line, fields, name)) continue;
        if (lookForFile && equalsNoCase(name, lookForFile)) seen = true;
        if (listing.names.size() + name.size() > UINT32_MAX) return false;
        listing.files.push_back({static_cast<uint32_t>(listing.names.size()), static_cast<uint32_t>(name.size()),
                                 clock.at(brokenListingTime(fields, kFieldsBeforeName))});
        listing.names.append(name);
    }
    // Order by name, equal names by their place in the listing: the line read last wins.
    std::vector<ParsedListing::File>& files = listing.files;
    std::sort(files.begin(), files.end(), [&](const ParsedListing::File& a, const ParsedListing::File& b) {
        const int order = listing.name(a).compare(listing.name(b));
        return order != 0 ? order < 0 : a.start < b.start;
    });
    size_t kept = 0;
    for (size_t i = 0; i < files.size(); ++i)
        if (i + 1 == files.size() || listing.name(files[i + 1]) != listing.name(files[i])) files[kept++] = files[i];
    files.resize(kept);
    if (seen && found) *found = true;
    return true;
}

enum ChangeKind { Added, Removed, Changed };

// Both listings are ordered by name: one merge walk finds every difference and
// hands it to visit(kind, name, time), each list in name order.
template <class Visit>
void walkChanges(const ParsedListing& now, const ParsedListing& before, const std::vector<std::string_view>& ignored,
                 Visit visit) {
    auto isIgnored = [&](std::string_view name) { return std::binary_search(ignored.begin(), ignored.end(), name); };
    size_t a = 0;
    size_t b = 0;
    while (a < now.files.size() || b < before.files.size()) {
        int order;
        if (a == now.files.size()) order = 1;
        else if (b == before.files.size()) order = -1;
        else order = now.name(now.files[a]).compare(before.name(before.files[b]));
        if (order < 0) {
            const ParsedListing::File& f = now.files[a++];
            if (!isIgnored(now.name(f))) visit(Added, now.name(f), f.time);
        } else if (order > 0) {
            const ParsedListing::File& f = before.files[b++];
            if (!isIgnored(before.name(f))) visit(Removed, before.name(f), f.time);
        } else {
            const ParsedListing::File& f = now.files[a++];
            const ParsedListing::File& g = before.files[b++];
            if (f.time != g.time && !isIgnored(now.name(f))) visit(Changed, now.name(f), f.time);
        }
    }
}

}  // namespace

time_t listingTime(const std::string_view* fields, size_t count) {
    std::tm broken = brokenListingTime(fields, count);
    return localMakeTime(broken);
}

bool parseListingLine(std::string_view line, FtpListingEntry& entry) {
    std::string_view fields[kFieldsBeforeName];
    std::string_view name;
    if (!isFileLine(line, fields, name)) return false;
    entry.state = 0;
    entry.name.assign(name);
    entry.time = listingTime(fields, kFieldsBeforeName);
    return true;
}

bool listingHasFile(const char* path, const char* lookForFile) {
    if (!lookForFile) return false;
    FileHandle file = openListing(path);
    if (!file) return false;
    LineReader reader(file.get());
    std::string_view line;
    std::string_view fields[kFieldsBeforeName];
    std::string_view name;
    while (reader.next(line))
        if (splitListingLine(line, fields, name) && equalsNoCase(name, lookForFile)) return true;
    return false;
}

int FtpListingComparison::compareListings(const char* newFile, const char* previousFile,
                                          const std::vector<std::string>& ignoreNames,
                                          const char* lookForFile, bool* found) {
    FileHandle newListing = openListing(newFile);
    if (!newListing) return 0;
    FileHandle previousListing = openListing(previousFile);

    ParsedListing now;
    ParsedListing before;
    if (previousListing) {
        ListingClock clock;
        // A listing too large to read counts as one that cannot be opened.
        if (!readListing(newListing.get(), clock, now, lookForFile, found)) return 0;
        if (!readListing(previousListing.get(), clock, before, nullptr, nullptr)) now = ParsedListing();
    }

    std::vector<std::string_view> ignored(ignoreNames.begin(), ignoreNames.end());
    std::sort(ignored.begin(), ignored.end());
    // Sizes first, so that each list takes just the memory it keeps.
    size_t files[3] = {};
    size_t nameBytes[3] = {};
    walkChanges(now, before, ignored, [&](ChangeKind kind, std::string_view name, time_t) {
        ++files[kind];
        nameBytes[kind] += name.size();
    });
    FtpFileList* lists[] = {&added_, &removed_, &changed_};
    for (size_t kind = 0; kind < 3; ++kind) {
        *lists[kind] = FtpFileList(lists[kind]->state());
        lists[kind]->reserve(files[kind], nameBytes[kind]);
    }
    walkChanges(now, before, ignored,
                [&](ChangeKind kind, std::string_view name, time_t time) { lists[kind]->add(name, time); });
    compared_ = true;
    return added_.count() + removed_.count() + changed_.count() > 0 ? 1 : 0;
}

void FtpFileList::reserve(size_t files, size_t nameBytes) {
    bytes_.reserve(files * (sizeof(time_t) + 1) + nameBytes);
    marks_.reserve(files / kMarkEvery + 1);
}

void FtpFileList::add(std::string_view name, time_t time) {
    if (count_ % kMarkEvery == 0) marks_.push_back(bytes_.size());
    char raw[sizeof time];
    std::memcpy(raw, &time, sizeof time);
    bytes_.append(raw, sizeof raw);
    // Readers take names as C strings: a NUL ends the name.
    bytes_.append(name.substr(0, name.find('\0')));
    bytes_.push_back('\0');
    ++count_;
}

const char* FtpFileList::record(int i) const {
    if (i < 0 || static_cast<size_t>(i) >= count_) return nullptr;
    const char* at = bytes_.data() + marks_[static_cast<size_t>(i) / kMarkEvery];
    for (size_t skip = static_cast<size_t>(i) % kMarkEvery; skip > 0; --skip)
        at += sizeof(time_t) + std::strlen(at + sizeof(time_t)) + 1;
    return at;
}

const char* FtpFileList::name(int i) const {
    const char* at = record(i);
    return at ? at + sizeof(time_t) : nullptr;
}

time_t FtpFileList::time(int i) const {
    const char* at = record(i);
    time_t t = 0;
    if (at) std::memcpy(&t, at, sizeof t);
    return t;
}
