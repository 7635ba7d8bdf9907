#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

// One file of an FTP directory listing (one line of the server's LIST output).
struct FtpListingEntry {
    // 0: only in its own listing; 1: in both listings, times differ; 2: in both, same time.
    int32_t state = 0;
    // From the ninth blank-separated field to the line end, blanks inside kept;
    // a symbolic link's " -> target" is not part of it.
    std::string name;
    time_t time = 0;
};

// The time of a listing line from its blank-separated fields: the sixth, seventh
// and eighth are month, day and either hh:mm (this year, at hh:mm:30) or a year
// (at 12:00:00). Local time. Missing fields count as empty.
time_t listingTime(const std::string_view* fields, size_t count);

// Parses one line (without its line end) into entry. False for lines that name
// no file: fewer than nine fields, "total" lines, "." and "..".
// Used by the tests only: the one line read alone, the yardstick for whole listings.
bool parseListingLine(std::string_view line, FtpListingEntry& entry);

// True when a line of the listing file names lookForFile, ignoring case.
// False when the file cannot be opened or no name is given.
bool listingHasFile(const char* path, const char* lookForFile);

// The files of one change list, packed one after the other (time, name, NUL):
// a list costs little more than its names, and less than their listing lines.
class FtpFileList {
public:
    explicit FtpFileList(int32_t state = 0) : state_(state) {}

    // The state of every file in the list (see FtpListingEntry).
    int32_t state() const { return state_; }
    int count() const { return static_cast<int>(count_); }
    // Name of file i (up to a NUL in it), or null when i is out of range.
    const char* name(int i) const;
    // Time of file i, or 0 when i is out of range.
    time_t time(int i) const;

    // Calls visit(name, time) for every file in order.
    template <class Visit>
    void forEach(Visit visit) const {
        const char* at = bytes_.data();
        for (size_t i = 0; i < count_; ++i) {
            time_t t;
            std::memcpy(&t, at, sizeof t);
            const char* name = at + sizeof t;
            visit(name, t);
            at = name + std::strlen(name) + 1;
        }
    }

    void reserve(size_t files, size_t nameBytes);
    void add(std::string_view name, time_t time);

private:
    const char* record(int i) const;

    int32_t state_;
    size_t count_ = 0;
    std::string bytes_;
    std::vector<size_t> marks_;  // where every kMarkEvery-th file begins
};

// The added, removed and changed files found by the last comparison of two
// listings. An FTP Vigil keeps one and forwards its list readers to it.
class FtpListingComparison {
public:
    // Compares the new listing with the previous one and replaces the three lists
    // (each ordered by name). Names in ignoreNames (exact match) are left out.
    // When lookForFile is given and the new listing holds it (ignoring case),
    // *found is set to true. Returns 1 when any list is non-empty, else 0; the
    // caller stamps the last-changed time. When the new listing cannot be opened
    // nothing changes and the result is 0; when only the previous one cannot be
    // opened both count as empty. Memory while comparing stays within a small
    // multiple of the two listings' sizes.
    int compareListings(const char* newFile, const char* previousFile,
                        const std::vector<std::string>& ignoreNames,
                        const char* lookForFile = nullptr, bool* found = nullptr);
    // False until a comparison could read its new listing.
    bool compared() const { return compared_; }

    int addedCount() const { return added_.count(); }
    int removedCount() const { return removed_.count(); }
    int changedCount() const { return changed_.count(); }
    // Name of entry i, or null when i is out of range.
    const char* addedFileName(int i) const { return added_.name(i); }
    const char* removedFileName(int i) const { return removed_.name(i); }
    const char* changedFileName(int i) const { return changed_.name(i); }
    // Time of entry i, or 0 when i is out of range.
    time_t addedFileTime(int i) const { return added_.time(i); }
    time_t removedFileTime(int i) const { return removed_.time(i); }
    time_t changedFileTime(int i) const { return changed_.time(i); }

    const FtpFileList& added() const { return added_; }
    const FtpFileList& removed() const { return removed_; }
    const FtpFileList& changed() const { return changed_; }

private:
    FtpFileList added_{0};
    FtpFileList removed_{0};
    FtpFileList changed_{1};
    bool compared_ = false;
};
