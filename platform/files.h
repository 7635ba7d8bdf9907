#pragma once
#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <istream>
#include <string>
#include <string_view>

// File names in stored settings and data files may use '\' as separator; every
// open, create, remove and existence test goes through these helpers, which use
// '/' instead. Everything they open is close-on-exec, so started programs do not
// inherit it.

std::string localPath(std::string_view path);

// fopen with the mapped name; mode as for fopen.
FILE* openFile(const std::string& path, const char* mode);
// open(2) with the mapped name; O_CLOEXEC is always added.
int openDescriptor(const std::string& path, int flags, mode_t mode = 0644);
bool removeFile(const std::string& path);
bool fileExists(const std::string& path);
// Whether the file exists and can be opened for reading.
bool fileReadable(const std::string& path);
// True when the directory was made or is already there. One it makes takes the
// owner and group of model where this process may set them (a run as root must not
// take a user's folder), and a mode its owner can use whatever the umask: model's
// read and write bits, with search wherever reading.
bool createDirectory(const std::string& path, const std::string& model = "");

// What files and folders made for a list take their owner, group and mode from: the
// list file, or while there is none, the folder that holds it.
std::string ownerModelFor(const std::string& listFile);

// Exclusive flocks on the folder that holds path and on the file itself (made when
// missing), held for the rest of the process: the kernel lets go when the process
// ends, however it ends. InUse when another process holds either; Taken when the
// folder is locked, or failing that the file; else Unavailable.
enum class ProcessLock { Taken, InUse, Unavailable };
ProcessLock lockForProcess(const std::string& path);

// Reads one whole line of any length into line, without its line end; the CR of a
// CR LF end (and a CR just before the end of the file) is dropped too. False at
// the end of the input when nothing was read.
bool readLine(FILE* file, std::string& line);
bool readLine(std::istream& in, std::string& line);

// Removes the UTF-8 byte-order marks (one or a run of them) from the start of a
// file's first line, as editors on other systems save them; true when there was one.
bool dropByteOrderMark(std::string& firstLine);

// Replaces a file whole or not at all: write() fills a new file of a unique name
// beside it, which is flushed to disk and renamed over path; the folder is then
// flushed too. The mode of the file replaced is kept, and its owner and group
// where the process may set them; a new file is private to its owner, or takes
// newFileModel's owner, group and read and write bits when one is named; when path is a symbolic link, the link's target is replaced. False,
// with errno set and the old file as it was, when anything failed.
bool replaceFile(const std::string& path, const std::function<bool(FILE*)>& write,
                 const std::string& newFileModel = "");

// What a file holds for a reader: Missing (no such file), Empty, Readable (at least
// one byte could be read), or Unreadable (it is there but opening or reading it
// failed; error tells why).
enum class FileContent { Missing, Empty, Readable, Unreadable };
FileContent probeFile(const std::string& path, int* error = nullptr);

// Gives path the owner and group of model where this process may set them, and
// model's read and write bits: a file written by root, or under a tight umask,
// stays the model owner's to read. Nothing when model is missing.
void matchOwnerAndMode(const std::string& path, const std::string& model);

// Flushes the whole file system that holds path (syncfs): the files written there
// and the folders that name them. False with errno set when it failed.
bool flushFileSystem(const std::string& path);

// Deletes the temporary files that replaceFile left beside path when a process
// was killed in mid-save. Only for a process that holds the folder alone.
void removeLeftoverTemporaries(const std::string& path);
