#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/vigil_list.h"

class Vigil;

// vigil.dat: a count line, then one record line per Vigil in list order.
namespace VigilStore {

// What a load found wrong with its file, for the user: a file that exists but
// cannot be read, or does not begin with a count line, loads nothing; one with
// more Vigils than there are identifiers loads those it can. Either way the list
// never saves over that file (readOnly). None when the file was read whole.
struct LoadResult {
    std::optional<std::string> problem;
    // The file holds text that is not UTF-8 (a Windows 8-bit code page).
    bool eightBitText = false;
    // Cache names of records that mean no copy of this data folder (said as lost
    // copies; the Vigils start without one). The files they may still mean are
    // not cleaned away.
    std::vector<std::string> strayCopyNames;
};

// Reads the file into new Vigils appended to list. A missing file leaves the list
// as it is. A record line that makes no Vigil (blank lines aside) is kept in the
// list (VigilList::keep) and written back by every save. The list learns whether
// the file's text is 8-bit (VigilList::eightBitText).
LoadResult load(const std::string& fileName, VigilList& list);

// What to tell the user of the lines a load kept unread (their line numbers);
// none when there are none.
std::optional<std::string> keptLinesNote(const std::string& fileName, const VigilList::KeptLines& kept);

// status 0 when the file was written; -1 when it could not be (the old one then
// stays: problem says why, and reportLocalFailure has said it once per kind) or
// is one the list never saves over (no problem).
struct SaveResult {
    int status = 0;
    std::optional<std::string> problem;
};

// Writes the whole list (replaceFile: whole or not at all, under the old file's
// mode). After a successful save the retired cache copies (CacheFiles::retire) are
// deleted: the file no longer names them.
SaveResult save(const std::string& fileName, VigilList& list);

// Whether a load into list could not read the file whole: the list is only
// shown, never saved over that file.
bool readOnly(const std::string& fileName, const VigilList& list);

enum class DataFile { Read, Missing, Failed };
// What the first line of a data file must hold: the count (the program's own list),
// or anything (an import, which skips it whatever it is).
enum class FirstLine { Count, Any };
// Gives each record line of a data file (every line after the count line, to the
// end of the file, without its line end) to each, until it returns false. Failed,
// with the reason in problem, when the file cannot be read or a count is asked for
// and its first line (after a UTF-8 byte-order mark) is not a number alone. Lines
// end in LF, CR LF, or, when the first line ends so, in a lone CR.
DataFile readRecords(const std::string& fileName, const std::function<bool(const std::string&)>& each,
                     std::string& problem, FirstLine firstLine = FirstLine::Count);

// A record line of another list as this one takes it in: NULs made blanks, then
// no program to run (flag 0x10 cleared, its program line dropped) and no control
// character in its description. Every other field stays as it is. Empty when the
// line so cleaned would still read otherwise.
std::string importedRecord(const std::string& line);

// Whether a record keeps the cache name it names: those of vigil.dat do; an
// imported one names a copy of another list and starts with none.
enum class CacheName { Keep, Drop };

// Builds one Vigil from a record line and appends it to list; null when the line
// does not make a Vigil or no identifier is free.
std::shared_ptr<Vigil> parseRecord(const std::string& line, VigilList& list, CacheName cacheName = CacheName::Keep);

}  // namespace VigilStore
