#include "net/http_head.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "platform/ascii_text.h"

namespace {

// Walks the lines of a reply head, LF or CR LF ended. Calls visit(line) for the
// status line and each header line; returns the offset after the empty line that
// ends the head, or npos when the text holds no such line. Only the first
// kMaxReplyHead bytes are the head: a server cannot make us split megabytes of
// header lines.
template <typename Visit>
size_t walkHead(std::string_view text, Visit visit) {
    const bool cut = text.size() > kMaxReplyHead;
    if (cut) text = text.substr(0, kMaxReplyHead);
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t nl = text.find('\n', pos);
        if (nl == std::string_view::npos) {
            if (!cut) visit(text.substr(pos));  // a last line without its end
            return std::string_view::npos;
        }
        std::string_view line = text.substr(pos, nl - pos);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.empty()) return nl + 1;
        visit(line);
        pos = nl + 1;
    }
    return std::string_view::npos;
}

}  // namespace

bool hasStatusLine(std::string_view reply) { return startsWithNoCase(reply, "HTTP/"); }

size_t replyBodyOffset(std::string_view reply) {
    if (!hasStatusLine(reply)) return 0;
    const size_t end = walkHead(reply, [](std::string_view) {});
    return end == std::string_view::npos ? reply.size() : end;
}

ReplyHead parseReplyHead(std::string_view reply) {
    ReplyHead head;
    if (!hasStatusLine(reply)) {
        head.hasBody = !reply.empty();
        return head;
    }
    const size_t end = walkHead(reply, [&](std::string_view line) { head.lines.emplace_back(line); });
    head.hasBody = end != std::string_view::npos && end < reply.size();
    return head;
}

std::optional<uint64_t> announcedReplySize(std::string_view reply) {
    if (!hasStatusLine(reply)) return std::nullopt;
    ReplyHead head;
    const size_t end = walkHead(reply, [&](std::string_view line) { head.lines.emplace_back(line); });
    if (end == std::string_view::npos) return std::nullopt;
    const std::optional<std::string> length = headerValue(head, "Content-Length");
    if (!length || length->empty() || length->find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    const int code = statusLineCode(head.lines[0]);
    if (code == 204 || code == 304) return end;
    const size_t first = std::min(length->find_first_not_of('0'), length->size() - 1);
    const std::string_view digits = std::string_view(*length).substr(first);
    if (digits.size() > 18) return std::numeric_limits<uint64_t>::max();
    return end + std::stoull(std::string(digits));
}

InterimReplies interimReplies(std::string_view reply) {
    InterimReplies found;
    for (;;) {
        const std::string_view rest = reply.substr(found.length);
        // Only a text that begins, or may yet begin, with "HTTP/" can be a status line.
        if (!startsWithNoCase("HTTP/", rest.substr(0, 5))) break;
        const size_t lineEnd = rest.find('\n');
        if (lineEnd == std::string_view::npos) return found;
        const int code = statusLineCode(rest.substr(0, lineEnd));
        if (code < 100 || code > 199) break;
        const size_t headEnd = walkHead(rest, [](std::string_view) {});
        if (headEnd == std::string_view::npos) return found;
        found.length += headEnd;
    }
    found.settled = true;
    return found;
}

int statusLineCode(std::string_view line) {
    if (!hasStatusLine(line)) return 0;
    size_t i = line.find(' ');
    if (i == std::string_view::npos) return 0;
    while (i < line.size() && line[i] == ' ') ++i;
    if (i + 3 > line.size()) return 0;
    int code = 0;
    for (size_t k = i; k < i + 3; ++k) {
        if (!std::isdigit(static_cast<unsigned char>(line[k]))) return 0;
        code = code * 10 + (line[k] - '0');
    }
    if (i + 3 < line.size() && std::isdigit(static_cast<unsigned char>(line[i + 3]))) return 0;
    return code;
}

std::optional<std::string> headerValue(const ReplyHead& head, std::string_view name) {
    for (size_t i = 1; i < head.lines.size(); ++i) {
        const std::string_view line = head.lines[i];
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        if (!equalsNoCase(trimmed(line.substr(0, colon)), name)) continue;
        return std::string(trimmed(line.substr(colon + 1)));
    }
    return std::nullopt;
}

