#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The head of an HTTP reply as it arrives or is stored: status line, header
// lines, the empty line, then the body. What tells where a reply ends is read
// here; what the reply means is the Web check's business.

// The head of a reply: the status line and header lines without line ends.
// A file that does not begin with "HTTP/" has no head; all of it is body. Only the
// first kMaxReplyHead bytes are read as the head: a head not ended by then leaves
// out its cut last line and has no body.
constexpr size_t kMaxReplyHead = 64 * 1024;

struct ReplyHead {
    std::vector<std::string> lines;  // lines[0] is the status line when there is a head
    bool hasBody = false;            // at least one byte after the empty line
};

ReplyHead parseReplyHead(std::string_view reply);

// Offset where the body of a reply text (LF or CR LF line ends) starts: after the
// first empty line when the text begins with "HTTP/", else 0. A head without an
// empty line in its first kMaxReplyHead bytes has no body: the result is then the
// text's size.
size_t replyBodyOffset(std::string_view reply);

// The whole size a reply announces: its head (up to the empty line that ends it)
// plus the head's Content-Length, or the head alone for a 204 or 304 reply, which
// has no body whatever its Content-Length says. None while the head is
// incomplete, and for a head without a Content-Length of plain digits. Leading
// zeros count for nothing; a length of more digits than 18 (past any reply size
// this program keeps) gives UINT64_MAX.
std::optional<uint64_t> announcedReplySize(std::string_view reply);

// Interim 1xx replies (100 Continue, 103 Early Hints) that may come before the
// real one: `length` is the bytes their whole heads take at the start of the
// text; `settled` tells that what follows them is known to be no further interim
// head (another status line, or no status line at all).
struct InterimReplies {
    size_t length = 0;
    bool settled = false;
};
InterimReplies interimReplies(std::string_view reply);

// The number of the status line ("HTTP/1.1 304 Not Modified" gives 304), or 0.
int statusLineCode(std::string_view line);

// The value of the first header named name (any case), blanks trimmed.
std::optional<std::string> headerValue(const ReplyHead& head, std::string_view name);

// True when the text begins with "HTTP/" (any case).
bool hasStatusLine(std::string_view reply);
