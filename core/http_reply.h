#pragma once
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/http_head.h"

// The Web check's HTTP/1.0 request and the reading of the raw reply it stores
// (status line, headers, empty line, body) in a cache file.

// ---- Request ----

// Everything one request needs, copied by the caller (proxy values under the proxy's lock).
struct HttpRequestInputs {
    std::string host;              // the page's host
    uint16_t port = 80;            // the page's port
    std::string path = "/";        // the page's path as entered
    std::string basicCredentials;  // Base64 of user ":" password; empty = no Authorization
    // The date to ask with: the Last-Modified of the reference copy, as its server
    // wrote it (the server's clock, not this machine's), when it can vouch for the
    // page (modifiedSinceText). Empty, or a text holding a control byte, asks with
    // the 1970 date, so the whole page comes.
    std::string ifModifiedSince;
    bool useProxy = false;         // "use http proxy"
    std::string proxyHost;
    uint16_t proxyPort = 0;
    bool proxyNeedsAuth = false;     // "http proxy needs"
    std::string proxyAuthorization;  // Base64 of proxy user ":" password
};

struct HttpRequest {
    std::string text;         // the exact bytes to send
    std::string connectHost;  // the proxy's host on the proxy road, else the page's
    uint16_t connectPort = 0;
};

// Request line target and fixed headers of a direct request:
// path " HTTP/1.0" CR LF "User-Agent: Tervane/2.24" CR LF "Host: " host CR LF.
std::string webRequestHead(const std::string& path, const std::string& host);

// "http://" host [":" port when not 80] ["/" when the path lacks it] path.
std::string webUrl(const std::string& host, uint16_t port, const std::string& path);

// RFC 1123 date with English names whatever the locale, e.g.
// "Thu, 01 Jan 1970 00:00:00 GMT".
std::string httpDate(time_t when);

// The whole GET request for the direct or the proxy road. Control bytes of the
// path go out percent-encoded; the caller refuses a host that holds one.
HttpRequest buildHttpRequest(const HttpRequestInputs& in);

// ---- Reply ----

// The head itself is read as in net/http_head.h.

// Reads only as much of the file as the head needs. False when it cannot be read.
bool readReplyHead(const char* path, ReplyHead& head);

// Result codes of classifyReply.
enum ReplyCode {
    ReplyUnclassified = 0,
    ReplyOk = 200,
    ReplyMovedPermanently = 301,
    ReplyMovedTemporarily = 302,
    ReplyBadRequest = 400,
    ReplyUnauthorized = 401,
    ReplyNotFound = 404,
    ReplyProxyAuthRequired = 407,
    ReplyProxyError = 500,
    ReplyServerError = 502,
};

struct ReplyClass {
    int code = ReplyUnclassified;
    std::optional<std::string> location;  // only for 301 and 302 with a Location header
};

// Searches the status line and the header lines, in order, for the fixed status
// phrases (any case); the first line holding one decides.
ReplyClass classifyReply(const ReplyHead& head);
// A file that cannot be read gives code 0 and no location.
ReplyClass classifyReplyFile(const char* path);

// The Vigil status a classification maps to (1074 ... 1083), or 0 for 200 and 0.
int replyCodeStatus(int code);

// True when the server said the copy is current: status 304, a "304 use local copy"
// line, or no body. A file that cannot be read counts as not modified.
bool isNotModified(const ReplyHead& head);
bool isNotModifiedFile(const char* path);

// ChangeMethod from the headers: 1 when Last-Modified comes first, 2 when Expires
// does, 0 when the head has lines but neither; -1 when there is nothing to read
// (the caller then keeps its method).
int detectChangeMethod(const ReplyHead& head);
int detectChangeMethodFile(const char* path);

// Last-Modified and Expires as times (the header's fields taken as local time, as
// the stored values have always been); 0 when absent or unreadable.
time_t lastModifiedTime(const ReplyHead& head);
time_t lastModifiedTimeFile(const char* path);
time_t expiresTime(const ReplyHead& head);
time_t expiresTimeFile(const char* path);

// The Last-Modified value of a stored reply as its server wrote it, when it can
// vouch for the page: a date this program reads, at least a second before the
// reply's own Date. Empty otherwise (no such header or no Date, a date in the
// second of the reply or after it, no file).
std::string modifiedSinceText(const char* path);

// Where a page lives.
struct WebLocation {
    std::string host;
    uint16_t port = 80;
    std::string path = "/";
};

// The location a redirect target leads to from current: "http://host[:port][/path]"
// (scheme in any case; port 80 when absent, path "/" when absent) replaces all
// three; "//host..." likewise; "/path" replaces the path; a bare relative path is
// taken from the current path's folder. Nothing for another scheme (https), a
// host that is no host name or address (empty, with blanks), a bad port or a
// target holding control characters. The path comes
// back fit for the request line: blanks and other bytes that may not stand there
// are percent-encoded, escapes already in it are kept.
std::optional<WebLocation> resolveRedirect(std::string_view target, const WebLocation& current);
