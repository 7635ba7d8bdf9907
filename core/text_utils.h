#pragma once
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/simple_string.h"
#include "net/protocol_text.h"

// Splits text at sep. An empty field is an empty string (a "null" field) and keeps
// its place unless skipEmpty is set, in which case a separator directly after the
// previous one adds nothing. A separator in the first position always ends an
// empty first field; the last field is cut at its first line feed.
std::vector<std::string> splitString(std::string_view text, char sep, bool skipEmpty);

// Where pattern first occurs in text ignoring case, or null. An empty pattern
// matches at the start.
const char* findNoCase(const char* text, const char* pattern);
// Offset of the match, or npos.
size_t findNoCase(std::string_view text, std::string_view pattern);

// Standard Base64 (RFC 4648) of n bytes, padded.
std::string base64Encode(const void* input, size_t n);
inline std::string base64Encode(std::string_view s) { return base64Encode(s.data(), s.size()); }

// Month number 0-11 from the first three letters of a month name (any case), or -1.
int monthFromName(const char* text);

// Reads the three HTTP/1.0 date forms into record, filling only the fields found.
// Returns the number of blank-separated fields.
int parseHttpDate(const char* text, struct tm* record);

// URL parsers. Outputs are set only where the URL holds them; the caller presets
// defaults. A scheme prefix matches in any case; a port is taken only when it is
// a number from 1 to 65535. The host of a Web or Gopher URL ends at '/', '?' or
// '#' ("h?q=1" has the path "/?q=1"), of an FTP URL at '/'. A Gopher selector
// comes percent-decoded ("%09" is the TAB before a search), without the URL's
// fragment; a query right after the host gives none ("h?x" is the root).
void parseFtpUrl(const char* url, std::optional<std::string>& host, uint16_t& port,
                 std::optional<std::string>& path, std::optional<std::string>& user,
                 std::optional<std::string>& password);
void parseHttpUrl(const SimpleString& url, std::optional<std::string>& host, uint16_t& port,
                  SimpleString& path, SimpleString& user, SimpleString& password);
void parseGopherUrl(const char* url, std::optional<std::string>& host, uint16_t& port,
                    std::optional<std::string>& selector);

// The "user:password@" of a Web URL, taken out of the URL text; none (the text
// unchanged) when it holds none.
struct UrlLogin {
    std::string user, password;
};
std::optional<UrlLogin> takeWebLogin(std::string& url);

// Every "%" and two hex digits made the byte they name; anything else kept.
std::string percentDecoded(std::string_view text);

// A typed or pasted URL as far as it goes: the text up to its first line break,
// without the blanks around it. What follows a line break is never part of it.
std::string_view urlLine(std::string_view text);
// The text up to its first line feed or carriage return.
std::string_view firstLine(std::string_view text);

// Whether text is well-formed UTF-8 (pure ASCII is).
bool isUtf8(std::string_view text);
// Whether url, written for the kind whose scheme is given ("http", "ftp",
// "gopher"), begins with another scheme: a name before "://" ("https://") other
// than the kind's own, or a known scheme word and ':' ("mailto:", "javascript:")
// that is no host followed by its port. Any other word before a ':' is a login
// ("user:pw@host/") or a host.
bool namesOtherScheme(std::string_view url, std::string_view scheme);
// Whether url names a port that is no number from 1 to 65535 ("h:99999/", "h:0").
bool namesBadPort(std::string_view url, std::string_view scheme);

// text without the blanks, tabs and line breaks at its ends.
std::string trimmed(std::string_view text);
// Every line feed and carriage return becomes a blank: the text stays on one line.
std::string oneLine(std::string text);

// The number text starts with, read as the runtime's text-to-number conversion
// reads it: blanks, a sign, decimal digits (held at the limits of long long).
// None when no digit comes ("min 5", "-", "").
std::optional<long long> leadingNumber(std::string_view text);

// Every '|', line feed and carriage return becomes a blank, in place.
void blankSeparators(char* text);
void blankSeparators(std::string& text);

// Starts a program from a command line (split the Windows way, no shell).
// True when the process started.
bool runProgram(const char* commandLine);

// Sounds a tone through the installed tone hook; returns 1.
int playTone(int frequencyHz, int durationMs);
