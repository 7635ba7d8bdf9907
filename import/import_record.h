#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "import/import_item.h"

// No real record comes near this length: an entry whose record line, title or
// URL is longer is left out of an import, so that no file, however it is made,
// fills the window's list with texts it cannot show.
constexpr size_t kImportRecordLimit = 64 * 1024;

// The status field of every line built here; the import window sets "No change"
// once the Vigil is built.
constexpr const char* kImportedStatus = "4105";

// The settings that imported record lines carry, read when a line is built.
struct RecordDefaults {
    long checkInterval = 21600;  // "def check interval"
    uint16_t notify = 0;         // "def notify"
    std::string command;         // "def cmd"
    std::string soundFile;       // "def sound file"
    std::string ftpUser;         // "ftp user", empty when not set
    std::string ftpPassword;     // "ftp password", empty when not set

    static RecordDefaults current();
    // "def notify", then the program line when the flags ask for a program: the
    // reader takes the field after the flags as the program exactly when 0x10 is
    // set, so the two must always agree.
    void appendNotifyFields(std::vector<std::string>& fields) const;
};

// What a URL becomes: the kind word ("http", "ftp", "gopher") and every field
// after the description.
struct VigilRecordParts {
    std::string kind;
    std::vector<std::string> tail;
};

// 1 with parts filled when url is a Web, FTP or Gopher URL that names a host,
// otherwise 0. The date, when given, becomes the last-changed time (and for a
// Web page its Last-Modified time); without one both are "0". A NUL in the URL
// reads as a blank, as in every field built here. A Web login the record could
// not give back as it is (webLoginUserFits) is left out; the page is kept.
int makeVigilRecord(std::string_view url, const std::optional<std::string>& date,
                    VigilRecordParts& parts);

// A record line without line end: separator, kind, description, tail. The
// separator is '|' unless some field holds one; then the first of the Web
// writer's other candidates that none holds, so no field spills into the next.
// A NUL of a field becomes a blank: kept as text, the line would end there.
std::string recordLine(std::string_view kind, std::string_view description,
                       const std::vector<std::string>& tail);

// Appends one entry: the title, with every control character made a blank (a NUL
// would cut the record line short, a line end split it), is both the shown text
// and the description; kind and tail as makeVigilRecord gives them. True when
// appended: not when the title or the line is longer than kImportRecordLimit.
bool appendRecordEntry(ImportList& items, std::string title, std::string_view kind,
                       const std::vector<std::string>& tail);

// Appends the entry of one bookmark when makeVigilRecord accepts its URL; the
// title is both the shown text and the description. True when appended.
bool appendUrlEntry(ImportList& items, const std::string& title, std::string_view url,
                    const std::optional<std::string>& date = std::nullopt);
