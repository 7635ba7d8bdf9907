#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/simple_string.h"

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

// Whether url, written for the kind whose scheme is given ("http", "ftp",
// "gopher"), begins with another scheme: a name before "://" ("https://") other
// than the kind's own, or a known scheme word and ':' ("mailto:", "javascript:")
// that is no host followed by its port. Any other word before a ':' is a login
// ("user:pw@host/") or a host.
bool namesOtherScheme(std::string_view url, std::string_view scheme);
// Whether url names a port that is no number from 1 to 65535 ("h:99999/", "h:0").
bool namesBadPort(std::string_view url, std::string_view scheme);
