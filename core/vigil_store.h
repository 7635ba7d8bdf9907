#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

class Vigil;

// vigil.dat: a count line, then one record line per Vigil in list order.
namespace VigilStore {

// Reads the file into new Vigils appended to vigilList. A missing file leaves the list as it is. A file that
// exists but cannot be read, or does not begin with a count line, loads nothing;
// one with record lines that make no Vigil (blank lines aside), or more Vigils than
// there are identifiers, loads those it can. Either way the file is not saved over
// for the rest of the run, and loadProblem says why (naming the first such line).
void load(const std::string& fileName);

// Why the last load left its file (partly) unread, for the user; none when it did not.
std::optional<std::string> loadProblem();

// Whether the last load read text that is not UTF-8 (a Windows 8-bit code page):
// new text for the list is then best written the same way.
bool eightBitText();

// Writes the whole list (replaceFile: whole or not at all, under the old file's mode).
// 0 on success; -1 when the file could not be written (the old one then stays) or
// is one a load of this run could not read whole. After a successful save the
// retired cache copies (CacheFiles::retire) are deleted: the file no longer names them.
int save(const std::string& fileName);

// Why the last save could not write its file (said once per kind through
// reportLocalFailure); none when it wrote it or was not asked to.
std::optional<std::string> saveProblem();

// Whether a load of this run could not read the file whole: its list is only
// shown, never saved over.
bool readOnly(const std::string& fileName);

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

// Builds one Vigil from a record line and appends it to vigilList; null when the
// line does not make a Vigil or no identifier is free.
std::shared_ptr<Vigil> parseRecord(const std::string& line, CacheName cacheName = CacheName::Keep);

}  // namespace VigilStore
