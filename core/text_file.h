#pragma once
#include <string>
#include <string_view>

// Whole-file reads for the stored copies. Files are read in large blocks and every
// CR LF becomes LF, so a copy written on Windows reads the same as one written here.

// Replaces *out with the file's text; false (and *out empty) when it cannot be read.
bool readTextFile(const char* path, std::string& out);

// Turns every CR LF of text into LF, in place.
void foldLineEnds(std::string& text);

// A file's bytes exactly as stored, mapped read-only (or read whole where mapping
// is not possible), for one-pass scans of large copies without copying them.
class FileBytes {
public:
    FileBytes() = default;
    ~FileBytes();
    FileBytes(const FileBytes&) = delete;
    FileBytes& operator=(const FileBytes&) = delete;

    // False when the file cannot be read; the view is then empty.
    bool open(const char* path);
    std::string_view view() const { return map_ ? std::string_view(static_cast<const char*>(map_), size_) : read_; }

private:
    void release();

    void* map_ = nullptr;
    size_t size_ = 0;
    std::string read_;
};
