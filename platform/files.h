#pragma once
#include <sys/types.h>

#include <cstdio>
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
// True when the directory was made or is already there.
bool createDirectory(const std::string& path);

// An exclusive flock on the file (made when missing), held for the rest of the
// process: the kernel lets go when the process ends, however it ends. InUse when
// another process holds it; Unavailable when the file cannot be opened at all.
enum class ProcessLock { Taken, InUse, Unavailable };
ProcessLock lockForProcess(const std::string& path);

// Reads one whole line of any length into line, without its line end; the CR of a
// CR LF end (and a CR just before the end of the file) is dropped too. False at
// the end of the input when nothing was read.
bool readLine(FILE* file, std::string& line);
bool readLine(std::istream& in, std::string& line);
