#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Names, reserves and removes the cache files that hold fetched copies.
// A name is kept (in memory and in vigil.dat) as "cache\%08d.mon"; the file on
// disk is cache/%08d.mon under the working directory.
namespace CacheFiles {

// A name whose number is neither reserved in this run nor taken by an existing
// file; the number is reserved. Safe to call from any thread.
std::string newName();

// Reserves a number (one named by vigil.dat, say). 1 when it was new, else 0.
int addNumber(int32_t number);

// Deletes the file of a name; a failure is ignored. Always 0.
int remove(const std::string& name);

// A copy that a saved vigil.dat may still name, replaced by a newer one or left
// by a deleted Vigil: it is deleted only after a save no longer names it.
void retire(const std::string& name);
// The copies retired so far, taken by a save before it writes the list: none of
// them is named in what it writes. Safe to call from any thread.
std::vector<std::string> takeRetired();

// The list whose copies these are (vigil.dat): settled copies take its owner,
// group and mode.
void setListFile(const std::string& name);
// Readies a complete copy that a saved list will name: it takes the list's owner,
// group and mode, and flushSettled puts it on disk before that list is.
void settle(const std::string& name);
// Puts every copy settled since the last call on disk. Called by a save once it
// has written the list and before the list takes its name; false, with errno set,
// when the flush failed.
bool flushSettled();

// Deletes, in the cache folder, every copy of the program's own naming whose number
// no name of kept may mean (numberNamed); files of other names are left alone, and
// so is a "cache" that is a link. For the sole user of the data folder, before any
// check runs. The number of copies deleted.
int removeAllExcept(const std::vector<std::string>& kept);

// The number of the copy a stored name means: a file of digits and ".mon" in a
// folder "cache" that is this data folder's own, however the name reaches it ('\\'
// or '/', doubled, "." parts, a path through the data folder, blanks around it, the
// letters in either case). None for a name that leads anywhere else.
std::optional<int32_t> numberFromName(std::string_view name);
// The number of the copy a name may mean, whatever folder it names: a file of
// digits and ".mon". What the cleanup spares.
std::optional<int32_t> numberNamed(std::string_view name);
// The name of a number in the program's own form.
std::string nameOfNumber(int32_t number);

}  // namespace CacheFiles
