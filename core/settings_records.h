#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/simple_string.h"

// Plain carriers of one Vigil's settings between the code that creates or edits
// Vigils and the settings dialogs. A new record is zeroed: numbers 0, texts none,
// strings and lists empty. A list's count is its size.

struct WebSettingsRecord {
    std::optional<std::string> description;
    std::optional<std::string> host;
    std::optional<std::string> soundFile;  // none when no sound file is played
    std::optional<std::string> program;    // none when the entry is empty
    SimpleString path;                     // "/" at least after OK
    std::vector<std::string> ignoreTokens;
    int32_t active = 0;
    int32_t tokensChanged = 0;  // 1 when the More dialog replaced or cleared the tokens
    int16_t port = 0;
    int32_t interval = 0;  // seconds
    int16_t flags = 0;     // NotifyFlags
    int32_t status = 0;
    int32_t options = 0;  // WebOptions
    SimpleString url;     // the pasted URL text in paste mode
    SimpleString user;
    SimpleString password;
    SimpleString emailList;  // addresses separated by blanks
};

struct FtpSettingsRecord {
    std::optional<std::string> description;
    std::optional<std::string> host;
    std::optional<std::string> directory;    // "/" when the entry was empty
    std::optional<std::string> lookForFile;  // none: looking is off
    std::optional<std::string> user;
    std::optional<std::string> password;
    std::optional<std::string> soundFile;
    std::optional<std::string> program;
    std::vector<std::string> ignoreFiles;
    int32_t active = 0;
    int32_t filesChanged = 0;  // 1 when the More dialog replaced or cleared the names
    int16_t port = 0;
    int32_t interval = 0;
    int16_t flags = 0;
    int32_t status = 0;
    int32_t options = 0;  // no bit is used for this kind
    SimpleString emailList;
};

struct GopherSettingsRecord {
    std::optional<std::string> description;
    std::optional<std::string> host;
    std::optional<std::string> selector;  // none when the entry was empty
    std::optional<std::string> soundFile;
    std::optional<std::string> program;
    int32_t active = 0;
    int16_t port = 0;
    int32_t interval = 0;
    int16_t flags = 0;
    int32_t status = 0;
    int32_t options = 0;
    SimpleString emailList;
};

// Records for a new Vigil made from a pasted URL (up to its first line break):
// host, port and the kind's path parts as the URL holds them, active, status
// "No change". A URL of another scheme gives no parts, a port out of range port 0.
std::unique_ptr<FtpSettingsRecord> ftpSettingsFromUrl(const std::string& url);
std::unique_ptr<GopherSettingsRecord> gopherSettingsFromUrl(const std::string& url);
// The paste of a Web URL: the dialog parses the URL itself in paste mode; a
// login in it ("user:password@") becomes the record's user and password.
std::unique_ptr<WebSettingsRecord> webSettingsFromUrl(const std::string& url);
