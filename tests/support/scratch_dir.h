#pragma once
#include <filesystem>
#include <string>

#include "support/server_process.h"

// A TempDir that is the working directory for the life of the object; the old
// working directory comes back afterwards.
class ScratchDir {
public:
    ScratchDir() : old_(std::filesystem::current_path()), path_(dir_.path()) {
        std::filesystem::current_path(path_);
    }
    ~ScratchDir() {
        std::error_code ec;
        std::filesystem::current_path(old_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    static void write(const std::string& name, const std::string& text) { writeWholeFile(name, text); }
    static std::string read(const std::string& name) { return readWholeFile(name); }

private:
    std::filesystem::path old_;
    TempDir dir_{"tervane"};
    std::filesystem::path path_;
};
