#pragma once
#include <cstddef>
#include <cstdint>
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

// A parsed listing: ordered by name (byte-wise), one entry per name.
using FtpListing = std::vector<FtpListingEntry>;

// The time of a listing line from its blank-separated fields: the sixth, seventh
// and eighth are month, day and either hh:mm (this year, at hh:mm:30) or a year
// (at 12:00:00). Local time. Missing fields count as empty.
time_t listingTime(const std::string_view* fields, size_t count);

// Parses one line (without its line end) into entry. False for lines that name
// no file: fewer than nine fields, "total" lines, "." and "..".
bool parseListingLine(std::string_view line, FtpListingEntry& entry);

// Reads a listing file into listing (replacing its contents); a later line with
// a name already seen replaces the earlier one. When lookForFile is given and a
// file's name equals it ignoring case, *found is set to true (else left alone).
// False when the file cannot be opened.
bool readListingFile(const char* path, FtpListing& listing, const char* lookForFile = nullptr,
                     bool* found = nullptr);

// True when a line of the listing file names lookForFile, ignoring case.
// False when the file cannot be opened or no name is given.
bool listingHasFile(const char* path, const char* lookForFile);

// The added, removed and changed files found by the last comparison of two
// listings. An FTP Vigil owns one and forwards its list readers to it.
class FtpListingComparison {
public:
    // Compares the new listing with the previous one and replaces the three lists
    // (each ordered by name). Names in ignoreNames (exact match) are left out.
    // When lookForFile is given and the new listing holds it (ignoring case),
    // *found is set to true. Returns 1 when any list is non-empty, else 0; the
    // caller stamps the last-changed time. When the new listing cannot be opened
    // nothing changes and the result is 0; when only the previous one cannot be
    // opened both count as empty.
    int compareListings(const char* newFile, const char* previousFile,
                        const std::vector<std::string>& ignoreNames,
                        const char* lookForFile = nullptr, bool* found = nullptr);

    int addedCount() const { return static_cast<int>(added_.size()); }
    int removedCount() const { return static_cast<int>(removed_.size()); }
    int changedCount() const { return static_cast<int>(changed_.size()); }
    // Name of entry i, or null when i is out of range.
    const char* addedFileName(int i) const { return nameAt(added_, i); }
    const char* removedFileName(int i) const { return nameAt(removed_, i); }
    const char* changedFileName(int i) const { return nameAt(changed_, i); }
    // Time of entry i, or 0 when i is out of range.
    time_t addedFileTime(int i) const { return timeAt(added_, i); }
    time_t removedFileTime(int i) const { return timeAt(removed_, i); }
    time_t changedFileTime(int i) const { return timeAt(changed_, i); }

    const std::vector<FtpListingEntry>& added() const { return added_; }
    const std::vector<FtpListingEntry>& removed() const { return removed_; }
    const std::vector<FtpListingEntry>& changed() const { return changed_; }

private:
    static const char* nameAt(const std::vector<FtpListingEntry>& list, int i);
    static time_t timeAt(const std::vector<FtpListingEntry>& list, int i);

    std::vector<FtpListingEntry> added_;
    std::vector<FtpListingEntry> removed_;
    std::vector<FtpListingEntry> changed_;
};
