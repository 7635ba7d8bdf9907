#pragma once
#include <string>
#include <string_view>

// Whole-file reads for the stored copies. Files are read in large blocks and every
// CR LF becomes LF, so a copy written on Windows reads the same as one written here.

// Replaces *out with the file's text; false (and *out empty) when it cannot be read.
bool readTextFile(const char* path, std::string& out);

// Turns every CR LF of text into LF, in place.
void foldLineEnds(std::string& text);

// A file's bytes exactly as stored, read whole, for one-pass scans of large copies.
class FileBytes {
public:
    FileBytes() = default;
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // False when the file cannot be read; the view is then empty.
    bool open(const char* path);
    std::string_view view() const { return read_; }

private:
    std::string read_;
};
