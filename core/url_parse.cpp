#include "core/url_parse.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "platform/ascii_text.h"

namespace {

using std::string_view;
constexpr size_t npos = string_view::npos;

// The text after a scheme prefix such as "http://", matched in any case.
string_view afterScheme(string_view url, string_view scheme) {
    return startsWithNoCase(url, scheme) ? url.substr(scheme.size()) : url;
}

struct Credentials {
    bool hasPassword = false;  // "user:password@"; a user part without ':' is dropped
    string_view user, password;
};

// What ends the host part of a URL: a Web (or Gopher) URL's path, query or
// fragment; an FTP URL's path only ('?' and '#' are common in file names).
constexpr string_view kWebHostEnd = "/?#";
constexpr string_view kFtpHostEnd = "/";

// Removes "user[:password]@" from the front of rest when an '@' comes before the
// end of the host. The last such '@' ends the user part, so a password or user
// name holding an '@' (an e-mail address as anonymous FTP password) stays whole.
Credentials takeCredentials(string_view& rest, string_view hostEnd) {
    Credentials c;
    const size_t at = rest.substr(0, rest.find_first_of(hostEnd)).rfind('@');
    if (at == npos) return c;
    const string_view part = rest.substr(0, at);
    const size_t colon = part.find(':');
    if (colon != npos) {
        c.hasPassword = true;
        c.user = part.substr(0, colon);
        c.password = part.substr(colon + 1);
    }
    rest = rest.substr(at + 1);
    return c;
}

struct HostPort {
    string_view host;  // the text before the end of the host (without a port)
    bool portNamed = false;  // digits follow the ':', usable or not
    bool portRead = false;   // a usable port number was given
    uint16_t port = 0;
};

// Host and port of the text before the end of the host. The first ':' marks a
// port when only digits follow it up to that end; the port counts only when it is
// a number from 1 to 65535. Any other ':' stays part of the host.
HostPort splitHostPort(string_view rest, string_view hostEnd) {
    HostPort hp;
    hp.host = rest.substr(0, rest.find_first_of(hostEnd));
    const size_t colon = hp.host.find(':');
    if (colon == npos) return hp;
    const string_view digits = hp.host.substr(colon + 1);
    unsigned long value = 0;
    for (char ch : digits) {
        if (ch < '0' || ch > '9') return hp;
        if (value <= 65535) value = value * 10 + static_cast<unsigned long>(ch - '0');
    }
    hp.host = hp.host.substr(0, colon);
    hp.portNamed = !digits.empty();
    if (value >= 1 && value <= 65535) {
        hp.portRead = true;
        hp.port = static_cast<uint16_t>(value);
    }
    return hp;
}

struct WebParts {
    Credentials credentials;
    std::optional<std::string> host;
    std::string path;
};

// The common part of the Web and Gopher parsers. The host ends at '/', '?' or
// '#'; a query or fragment right after it gets the path "/" before it. A URL with
// none of them is a bare host: its path is "/" and, unless it names a port, the
// port becomes defaultPort.
WebParts parseWebRest(string_view rest, uint16_t& port, uint16_t defaultPort) {
    WebParts parts;
    // Only "user:password@" counts here; an '@' without a ':' stays in the host.
    {
        string_view probe = rest;
        Credentials c = takeCredentials(probe, kWebHostEnd);
        if (c.hasPassword) {
            parts.credentials = c;
            rest = probe;
        }
    }
    const HostPort hp = splitHostPort(rest, kWebHostEnd);
    if (!hp.host.empty()) parts.host = std::string(hp.host);
    if (hp.portRead) port = hp.port;
    const size_t end = rest.find_first_of(kWebHostEnd);
    if (end != npos) {
        parts.path = (rest[end] == '/' ? std::string() : std::string("/")) + std::string(rest.substr(end));
    } else {
        parts.path = "/";
        if (!hp.portRead) port = defaultPort;
    }
    return parts;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string percentDecoded(string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const int high = text[i] == '%' && i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(text[i + 2]) : -1;
        if (low < 0) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<UrlLogin> takeWebLogin(std::string& url) {
    // "mailto:someone@host" holds no login, nor does any URL of another scheme.
    if (namesOtherScheme(url, "http")) return std::nullopt;
    const string_view whole(url);
    string_view rest = afterScheme(whole, "http://");
    const Credentials c = takeCredentials(rest, kWebHostEnd);
    if (!c.hasPassword) return std::nullopt;
    UrlLogin login{std::string(c.user), std::string(c.password)};
    url = std::string(whole.substr(0, whole.size() - afterScheme(whole, "http://").size())) + std::string(rest);
    return login;
}

void parseFtpUrl(const char* url, std::optional<std::string>& host, uint16_t& port,
                 std::optional<std::string>& path, std::optional<std::string>& user,
                 std::optional<std::string>& password) {
    if (!url) return;
    string_view rest = afterScheme(url, "ftp://");
    const Credentials c = takeCredentials(rest, kFtpHostEnd);
    if (c.hasPassword) {
        user = std::string(c.user);
        password = std::string(c.password);
    }
    const HostPort hp = splitHostPort(rest, kFtpHostEnd);
    if (!hp.host.empty()) host = std::string(hp.host);
    if (hp.portRead) port = hp.port;
    const size_t slash = rest.find('/');
    if (slash != npos) path = std::string(rest.substr(slash));
}

void parseHttpUrl(const SimpleString& url, std::optional<std::string>& host, uint16_t& port,
                  SimpleString& path, SimpleString& user, SimpleString& password) {
    const WebParts parts = parseWebRest(afterScheme(url.text(), "http://"), port, 80);
    host = parts.host;
    path = parts.path.c_str();
    user = std::string(parts.credentials.user).c_str();
    password = std::string(parts.credentials.password).c_str();
}

void parseGopherUrl(const char* url, std::optional<std::string>& host, uint16_t& port,
                    std::optional<std::string>& selector) {
    if (!url) return;
    // A fragment is the browser's, never part of a selector; and only a path names
    // an item, so a query right after the host ("h?x") is none of one either.
    string_view rest = afterScheme(url, "gopher://");
    rest = rest.substr(0, rest.find('#'));
    const size_t hostEnd = rest.find_first_of("/?");
    if (hostEnd != npos && rest[hostEnd] == '?') rest = rest.substr(0, hostEnd);
    uint16_t gopherPort = 70;
    const WebParts parts = parseWebRest(rest, gopherPort, 70);
    if (parts.host) host = parts.host;
    port = gopherPort;
    if (parts.path.empty()) return;
    if (parts.path == "/") {
        selector.reset();
        return;
    }
    // The character after the '/' is the Gopher item type, not part of the
    // selector; the selector's escapes ("%09" before a search) are decoded.
    selector = parts.path.size() > 2 ? percentDecoded(string_view(parts.path).substr(2)) : std::string();
}

string_view firstLine(string_view text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

string_view urlLine(string_view text) {
    text = firstLine(text);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    return text;
}

namespace {

// Schemes a URL may name without "//" after the ':' ("mailto:", "news:").
bool knownSchemeWord(string_view word) {
    static const char* const kWords[] = {
        "about", "data",   "file",     "ftp",  "ftps",   "gopher", "gophers", "http",  "https", "irc",
        "javascript", "ldap", "mailto", "news", "nntp", "sftp", "snews", "ssh", "tel", "telnet", "urn", "wais"};
    for (const char* known : kWords)
        if (equalsNoCase(word, known)) return true;
    return false;
}

}  // namespace

bool namesOtherScheme(string_view url, string_view scheme) {
    const std::string own = std::string(scheme) + "://";
    if (afterScheme(url, own).size() != url.size()) return false;
    const size_t colon = url.find(':');
    if (colon == npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(url[0]))) return false;
    for (const char ch : url.substr(0, colon)) {
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '+' && ch != '-' && ch != '.') return false;
    }
    const string_view after = url.substr(colon + 1);
    if (after.substr(0, 2) == "//") return true;
    // Any other word before a ':' is a login ("user:pw@host") or a host.
    if (!knownSchemeWord(url.substr(0, colon))) return false;
    // "host:8080/" and "host:/" name a port, not a scheme.
    for (const char ch : after.substr(0, after.find('/'))) {
        if (ch < '0' || ch > '9') return true;
    }
    return false;
}

bool namesBadPort(string_view url, string_view scheme) {
    const string_view hostEnd = scheme == "ftp" ? kFtpHostEnd : kWebHostEnd;
    string_view rest = afterScheme(url, std::string(scheme) + "://");
    rest = rest.substr(0, rest.find_first_of(hostEnd));
    const size_t at = rest.rfind('@');
    if (at != npos) rest = rest.substr(at + 1);
    const HostPort hp = splitHostPort(rest, hostEnd);
    return hp.portNamed && !hp.portRead;
}
