#include "core/http_reply.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/http_date.h"
#include "core/text_utils.h"
#include "net/protocol_text.h"
#include "platform/ascii_text.h"
#include "platform/time_convert.h"

namespace {

const char kUserAgent[] = "User-Agent: Tervane/2.24\r\n";

// Drops the fragment ('#' up to the next blank or line end) from the request line,
// so the server never sees it.
void removeFragment(std::string& head) {
    const size_t lineEnd = head.find_first_of("\r\n");
    const size_t hash = head.find('#');
    if (hash == std::string::npos || hash > lineEnd) return;
    const size_t stop = head.find_first_of(" \r\n", hash);
    head.erase(hash, (stop == std::string::npos ? head.size() : stop) - hash);
}

bool isHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

// Bytes that may stand in a request target as they are: unreserved, sub-delims,
// ':' '@' '/' '?', and '#' (the fragment is dropped when the request is built).
bool standsInTarget(char c) {
    if (std::isalnum(static_cast<unsigned char>(c))) return true;
    return c != '\0' && std::strchr("-._~!$&'()*+,;=:@/?#", c) != nullptr;
}

void appendEscaped(std::string& out, char c) {
    static const char hex[] = "0123456789ABCDEF";
    const unsigned char u = static_cast<unsigned char>(c);
    out += '%';
    out += hex[u >> 4];
    out += hex[u & 0x0f];
}

// Percent-encodes what may not stand in a request target (blanks, quotes, bytes
// above 127, a '%' that starts no escape); escapes already there are kept.
std::string encodeTargetPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (size_t i = 0; i < path.size(); ++i) {
        const char c = path[i];
        const bool escape =
            c == '%' && i + 2 < path.size() && isHexDigit(path[i + 1]) && isHexDigit(path[i + 2]);
        if (escape || standsInTarget(c))
            out += c;
        else
            appendEscaped(out, c);
    }
    return out;
}

// A stored path goes out as it was entered, but for control bytes: from an edited
// or imported vigil.dat a CR or LF would end the request line and start headers.
std::string encodeControlBytes(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (isControlChar(c))
            appendEscaped(out, c);
        else
            out += c;
    }
    return out;
}

time_t localTimeOf(struct tm* fields) {
    const TimeConversionLock hold;
    return mktime(fields);
}

time_t headerTime(const ReplyHead& head, std::string_view name) {
    const std::optional<std::string> value = headerValue(head, name);
    if (!value) return 0;
    struct tm fields {};
    parseHttpDate(value->c_str(), &fields);
    const time_t t = localTimeOf(&fields);
    return t < 0 ? 0 : t;  // unreadable dates ("0", "-1") mean none
}

}  // namespace

// ---- Request ----

std::string webRequestHead(const std::string& path, const std::string& host) {
    std::string head;
    head.reserve(path.size() + host.size() + 64);
    if (path.empty() || path[0] != '/') head += '/';
    head += path;
    head += " HTTP/1.0\r\n";
    head += kUserAgent;
    head += "Host: ";
    head += host;
    head += "\r\n";
    return head;
}

std::string webUrl(const std::string& host, uint16_t port, const std::string& path) {
    std::string url = "http://" + host;
    if (port != 80) url += ":" + std::to_string(port);
    if (path.empty() || path[0] != '/') url += '/';
    url += path;
    return url;
}

std::string httpDate(time_t when) {
    static const char* const days[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm t {};
    if (!gmtime_r(&when, &t) || t.tm_wday < 0 || t.tm_wday > 6 || t.tm_mon < 0 || t.tm_mon > 11) {
        const time_t epoch = 0;
        gmtime_r(&epoch, &t);
    }
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %d %02d:%02d:%02d GMT", days[t.tm_wday], t.tm_mday,
                  months[t.tm_mon], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec);
    return text;
}

HttpRequest buildHttpRequest(const HttpRequestInputs& in) {
    HttpRequest out;
    std::string head;
    const std::string path = encodeControlBytes(in.path);
    if (in.useProxy) {
        head = webUrl(in.host, in.port, path) + " HTTP/1.0\r\n" + kUserAgent + "Host: " + in.host +
               "\r\nPragma:no-cache\r\n";
        if (in.proxyNeedsAuth) head += "Proxy-authorization: Basic " + in.proxyAuthorization + "\r\n";
        out.connectHost = in.proxyHost;
        out.connectPort = in.proxyPort;
    } else {
        head = webRequestHead(path, in.host);
        out.connectHost = in.host;
        out.connectPort = in.port;
    }
    removeFragment(head);

    out.text.reserve(head.size() + in.basicCredentials.size() + 96);
    out.text = "GET ";
    out.text += head;
    out.text += "If-Modified-Since: ";
    const bool usable = !in.ifModifiedSince.empty() && !hasControlCharacter(in.ifModifiedSince);
    out.text += usable ? in.ifModifiedSince : httpDate(0);
    out.text += "\r\n";
    if (!in.basicCredentials.empty()) {
        out.text += "Authorization: Basic ";
        out.text += in.basicCredentials;
        out.text += "\r\n";
    }
    out.text += "\r\n";
    return out;
}

// ---- Reply ----

bool readReplyHead(const char* path, ReplyHead& head) {
    head = ReplyHead();
    if (!path) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    // Read until the head's empty line and one byte past it are in, and never
    // beyond the longest head and that byte: a 10 MB page is not read to learn
    // its status.
    std::string raw;
    size_t searched = 0;
    bool ok = true;
    char block[16384];
    while (raw.size() <= kMaxReplyHead) {
        const size_t want = std::min(sizeof block, kMaxReplyHead + 1 - raw.size());
        const ssize_t got = ::read(fd, block, want);
        if (got < 0) {
            if (errno == EINTR) continue;
            ok = false;
            break;
        }
        if (got == 0) break;
        raw.append(block, static_cast<size_t>(got));
        if (raw.size() >= 5 && !hasStatusLine(raw)) break;  // no head; the body is not empty
        const size_t from = searched > 2 ? searched - 2 : 0;
        const size_t lf = raw.find("\n\n", from);
        const size_t crlf = raw.find("\n\r\n", from);
        const size_t end = std::min(lf == std::string::npos ? lf : lf + 2,
                                    crlf == std::string::npos ? crlf : crlf + 3);
        if (end != std::string::npos && end < raw.size()) break;
        searched = raw.size();
    }
    ::close(fd);
    if (!ok) return false;
    head = parseReplyHead(raw);
    return true;
}

ReplyClass classifyReply(const ReplyHead& head) {
    struct Phrase {
        const char* text;
        int code;
        bool statusLineOnly;  // a bare number would also match header values
    };
    static const Phrase phrases[] = {
        {"200 ok", ReplyOk, false},
        {"404 not found", ReplyNotFound, false},
        {"404 object not found", ReplyNotFound, false},
        {"404 file not found", ReplyNotFound, false},
        {" 404", ReplyNotFound, true},
        {"400 bad request", ReplyBadRequest, false},
        {"401 unauthorized", ReplyUnauthorized, false},
        {"401 access denied", ReplyUnauthorized, false},
        {"407 Proxy", ReplyProxyAuthRequired, false},
        {"301 moved permanently", ReplyMovedPermanently, false},
        {"302 moved temporarily", ReplyMovedTemporarily, false},
        {"302 found", ReplyMovedTemporarily, false},
        {"302 object moved", ReplyMovedTemporarily, false},
        {"302 moved", ReplyMovedTemporarily, false},
        {"500 error from proxy", ReplyProxyError, false},
        {"502 bad gateway", ReplyServerError, false},
        {"501 not implemented", ReplyServerError, false},
        {"503 service unavailable", ReplyServerError, false},
        {"[Error=0][Microsoft][ODBC Driver Manager]", ReplyServerError, false},
    };
    ReplyClass result;
    for (size_t i = 0; i < head.lines.size(); ++i) {
        for (const Phrase& p : phrases) {
            if (p.statusLineOnly && i != 0) continue;
            if (findNoCase(head.lines[i], p.text) == std::string_view::npos) continue;
            result.code = p.code;
            if (p.code == ReplyMovedPermanently || p.code == ReplyMovedTemporarily)
                result.location = headerValue(head, "Location");
            return result;
        }
    }
    return result;
}

ReplyClass classifyReplyFile(const char* path) {
    ReplyHead head;
    if (!readReplyHead(path, head)) return ReplyClass();
    return classifyReply(head);
}

int replyCodeStatus(int code) {
    switch (code) {
        case ReplyProxyError: return 1082;
        case ReplyServerError: return 1083;
        case ReplyNotFound: return 1075;
        case ReplyUnauthorized: return 1080;
        case ReplyBadRequest: return 1078;
        case ReplyProxyAuthRequired: return 1079;
        case ReplyMovedPermanently: return 1074;
        case ReplyMovedTemporarily: return 1076;
        default: return 0;
    }
}

bool isNotModified(const ReplyHead& head) {
    if (!head.lines.empty() && statusLineCode(head.lines[0]) == 304) return true;
    for (const std::string& line : head.lines)
        if (findNoCase(line, "304 use local copy") != std::string_view::npos) return true;
    return !head.hasBody;
}

bool isNotModifiedFile(const char* path) {
    ReplyHead head;
    if (!readReplyHead(path, head)) return true;
    return isNotModified(head);
}

int detectChangeMethod(const ReplyHead& head) {
    int method = -1;
    for (const std::string& line : head.lines) {
        const size_t colon = line.find(':');
        const std::string_view name =
            colon == std::string::npos ? std::string_view()
                                       : trimmed(std::string_view(line).substr(0, colon));
        if (equalsNoCase(name, "Last-Modified")) return 1;
        if (equalsNoCase(name, "Expires")) return 2;
        method = 0;
    }
    return method;
}

int detectChangeMethodFile(const char* path) {
    ReplyHead head;
    if (!readReplyHead(path, head)) return -1;
    return detectChangeMethod(head);
}

time_t lastModifiedTime(const ReplyHead& head) { return headerTime(head, "Last-Modified"); }
time_t expiresTime(const ReplyHead& head) { return headerTime(head, "Expires"); }

time_t lastModifiedTimeFile(const char* path) {
    ReplyHead head;
    return readReplyHead(path, head) ? lastModifiedTime(head) : 0;
}

time_t expiresTimeFile(const char* path) {
    ReplyHead head;
    return readReplyHead(path, head) ? expiresTime(head) : 0;
}

std::string modifiedSinceText(const char* path) {
    ReplyHead head;
    if (!readReplyHead(path, head)) return std::string();
    // A page edited again in the second its copy was fetched, or any edit while
    // its file is dated ahead of the server's clock, would be answered 304.
    const time_t modified = lastModifiedTime(head);
    if (modified == 0 || modified >= headerTime(head, "Date")) return std::string();
    const std::string text = headerValue(head, "Last-Modified").value_or(std::string());
    return hasControlCharacter(text) ? std::string() : text;
}

namespace {

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// A host name (labels of letters, digits, '-' and '_' joined by dots, a dotted
// IPv4 address among them) or an IPv6 address in brackets.
bool isHostNameOrAddress(std::string_view host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        return host.find_first_not_of("0123456789abcdefABCDEF:.", 1) == host.size() - 1;
    if (!host.empty() && host.back() == '.') host.remove_suffix(1);  // the root label
    if (host.empty() || host.size() > 253) return false;
    size_t label = 0;
    for (char c : host) {
        if (c == '.') {
            if (label == 0) return false;
            label = 0;
        } else if ((!isAsciiAlnum(c) && c != '-' && c != '_') || ++label > 63) {
            return false;
        }
    }
    return label > 0;
}

// resolveRedirect before the path is made fit for the request line.
std::optional<WebLocation> resolveRedirectRaw(std::string_view target, const WebLocation& current) {
    target = trimmed(target);
    // A line break or other control inside would end or split the request line.
    if (target.empty() || std::any_of(target.begin(), target.end(), isControlChar)) return std::nullopt;
    WebLocation next = current;

    if (startsWithNoCase(target, "//")) {
        target.remove_prefix(2);
    } else if (target[0] == '/') {
        next.path = std::string(target);
        return next;
    } else {
        // A scheme is letters (then letters, digits, + - .) before a ':' that comes
        // before any '/', '?' or '#'.
        size_t i = 0;
        while (i < target.size() &&
               (std::isalnum(static_cast<unsigned char>(target[i])) || target[i] == '+' ||
                target[i] == '-' || target[i] == '.'))
            ++i;
        const bool hasScheme = i > 0 && i < target.size() && target[i] == ':' &&
                               std::isalpha(static_cast<unsigned char>(target[0]));
        if (hasScheme) {
            if (!equalsNoCase(target.substr(0, i), "http") || target.substr(i + 1, 2) != "//")
                return std::nullopt;  // https and others: this program speaks plain HTTP only
            target.remove_prefix(i + 3);
        } else {
            // Relative to the current page's folder.
            std::string_view base = current.path;
            base = base.substr(0, base.find_first_of("?#"));
            if (target[0] == '?' || target[0] == '#') {
                next.path = std::string(base.empty() ? "/" : base) + std::string(target);
            } else {
                const size_t slash = base.rfind('/');
                next.path = (slash == std::string_view::npos ? std::string("/")
                                                             : std::string(base.substr(0, slash + 1))) +
                            std::string(target);
            }
            return next;
        }
    }

    // Authority: [user[:password]@]host[:port], then the path.
    const size_t pathStart = target.find_first_of("/?#");
    std::string_view authority = target.substr(0, pathStart);
    std::string_view path = pathStart == std::string_view::npos ? std::string_view() : target.substr(pathStart);
    const size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);
    uint16_t port = 80;
    const size_t bracket = authority.rfind(']');
    const size_t colon = authority.rfind(':');
    if (colon != std::string_view::npos && (bracket == std::string_view::npos || colon > bracket)) {
        const std::string_view digits = authority.substr(colon + 1);
        authority = authority.substr(0, colon);
        if (!digits.empty()) {
            if (digits.size() > 5) return std::nullopt;
            unsigned value = 0;
            for (char c : digits) {
                if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
                value = value * 10 + static_cast<unsigned>(c - '0');
            }
            if (value == 0 || value > 65535) return std::nullopt;
            port = static_cast<uint16_t>(value);
        }
    }
    if (!isHostNameOrAddress(authority)) return std::nullopt;
    next.host = std::string(authority);
    next.port = port;
    if (path.empty())
        next.path = "/";
    else if (path[0] != '/')
        next.path = "/" + std::string(path);
    else
        next.path = std::string(path);
    return next;
}

}  // namespace

std::optional<WebLocation> resolveRedirect(std::string_view target, const WebLocation& current) {
    std::optional<WebLocation> next = resolveRedirectRaw(target, current);
    if (next) next->path = encodeTargetPath(next->path);
    return next;
}
