#include "core/html_tokens.h"

#include <cstring>

#include "core/http_reply.h"
#include "core/text_file.h"
#include "platform/ascii_text.h"

namespace {

const int kIgnoreTags = 0x01;  // the Web Vigil's option: leave every tag out

// Whether a token is an html start or end tag, attributes allowed.
void noteHtmlTag(std::string_view token, bool& start, bool& end) {
    if (token.size() < 6 || token[0] != '<') return;
    size_t i = 1;
    const bool closing = token[1] == '/';
    if (closing) ++i;
    if (token.size() < i + 5) return;
    if (!startsWithNoCase(token.substr(i), "html")) return;
    const char after = token[i + 4];
    if (after != '>' && !isSpaceTabOrLineEnd(after)) return;
    (closing ? end : start) = true;
}

bool containsAny(std::string_view token, const std::vector<std::string_view>& needles) {
    for (std::string_view n : needles)
        if (!n.empty() && token.find(n) != std::string_view::npos) return true;
    return false;
}

// Token equality with CR LF and LF alike (tags and comments may span lines).
bool sameText(std::string_view a, std::string_view b) {
    if (a == b) return true;
    if (a.find('\r') == std::string_view::npos && b.find('\r') == std::string_view::npos) return false;
    size_t i = 0, j = 0;
    for (;;) {
        if (i + 1 < a.size() && a[i] == '\r' && a[i + 1] == '\n') ++i;
        if (j + 1 < b.size() && b[j] == '\r' && b[j + 1] == '\n') ++j;
        if (i == a.size() || j == b.size()) return i == a.size() && j == b.size();
        if (a[i] != b[j]) return false;
        ++i;
        ++j;
    }
}

int compareFiles(const char* previousPath, const char* newPath, int options,
                 const std::vector<std::string_view>& ignore) {
    FileBytes previous, next;
    previous.open(previousPath);
    next.open(newPath);
    return compareReplies(previous.view(), next.view(), options, ignore);
}

}  // namespace

HtmlTokenCursor::HtmlTokenCursor(std::string_view text, bool wordMode)
    : text_(text), wordMode_(wordMode) {
    if (wordMode_) return;
    // Whole-run mode starts at the line that holds the first '<'.
    const size_t lt = text_.find('<');
    if (lt == std::string_view::npos) {
        done_ = true;
        return;
    }
    const size_t lineStart = text_.rfind('\n', lt);
    pos_ = lineStart == std::string_view::npos ? 0 : lineStart + 1;
}

bool HtmlTokenCursor::next(std::string_view& token) {
    const char* const base = text_.data();
    const size_t n = text_.size();
    for (;;) {
        if (runPos_ < runEnd_) {
            const char* p = base + runPos_;
            const char* const end = base + runEnd_;
            while (p < end && isSpaceTabOrLineEnd(*p)) ++p;
            if (p < end) {
                const char* word = p;
                if (wordMode_) {
                    while (p < end && !isSpaceTabOrLineEnd(*p)) ++p;
                    token = std::string_view(word, static_cast<size_t>(p - word));
                    runPos_ = static_cast<size_t>(p - base);
                } else {
                    token = text_.substr(runStart_, runEnd_ - runStart_);
                    runPos_ = runEnd_;
                }
                return true;
            }
            runPos_ = runEnd_;
        }
        if (tagEnd_ > tagStart_) {
            token = text_.substr(tagStart_, tagEnd_ - tagStart_);
            tagStart_ = tagEnd_;
            return true;
        }
        if (done_) return false;

        // Next text run and the tag or comment that ends it.
        runStart_ = runPos_ = pos_;
        const void* found = pos_ < n ? std::memchr(base + pos_, '<', n - pos_) : nullptr;
        if (!found) {
            done_ = true;
            // Text after the last tag counts in word mode only.
            runEnd_ = wordMode_ ? n : pos_;
            continue;
        }
        const size_t lt = static_cast<size_t>(static_cast<const char*>(found) - base);
        runEnd_ = lt;
        size_t stop = std::string_view::npos;
        if (text_.compare(lt, 4, "<!--") == 0) {
            // Searched from just after the '<', so "<!-->" closes itself.
            const size_t close = text_.find("-->", lt + 1);
            if (close != std::string_view::npos) stop = close + 3;
        } else if (const void* gt = std::memchr(base + lt + 1, '>', n - lt - 1)) {
            stop = static_cast<size_t>(static_cast<const char*>(gt) - base) + 1;
        }
        if (stop == std::string_view::npos) {
            done_ = true;  // an unclosed tag or comment is dropped
            continue;
        }
        tagStart_ = lt;
        tagEnd_ = pos_ = stop;
    }
}

void tokenizeHtmlText(std::string_view text, bool wordMode, std::vector<std::string_view>& tokens) {
    HtmlTokenCursor cursor(text, wordMode);
    std::string_view token;
    while (cursor.next(token)) tokens.push_back(token);
}

int compareReplies(std::string_view previousReply, std::string_view newReply, int options,
                   const std::vector<std::string_view>& ignoreTokens) {
    const bool ignoreTags = (options & kIgnoreTags) != 0;
    bool anyIgnore = false;
    for (std::string_view t : ignoreTokens) anyIgnore = anyIgnore || !t.empty();

    // One pass over each body: the compared tokens in step until the first
    // difference, the html tags to the end (a structure change outranks a change).
    struct Side {
        HtmlTokenCursor cursor;
        bool any = false, start = false, end = false;
        explicit Side(std::string_view reply) : cursor(reply.substr(replyBodyOffset(reply)), true) {}
        bool next(std::string_view& token) {
            if (!cursor.next(token)) return false;
            any = true;
            noteHtmlTag(token, start, end);
            return true;
        }
    };
    Side previous(previousReply), next(newReply);
    auto nextKept = [&](Side& side, std::string_view& token) {
        while (side.next(token)) {
            if (ignoreTags && token[0] == '<') continue;
            if (anyIgnore && containsAny(token, ignoreTokens)) continue;
            return true;
        }
        return false;
    };

    bool changed = false;
    std::string_view a, b;
    for (;;) {
        const bool haveA = nextKept(previous, a);
        const bool haveB = nextKept(next, b);
        if (!haveA || !haveB) {
            changed = haveA != haveB;
            break;
        }
        if (!sameText(a, b)) {
            changed = true;
            break;
        }
    }
    std::string_view rest;
    while (previous.next(rest)) {
    }
    while (next.next(rest)) {
    }

    if (!previous.any || !next.any) return ContentUnchanged;
    if (previous.start != next.start || previous.end != next.end) return ContentStructureDiffers;
    return changed ? ContentChanged : ContentUnchanged;
}

int compareContentFiles(const char* previousPath, const char* newPath, int options,
                        const std::vector<std::string>& ignoreTokens) {
    std::vector<std::string_view> ignore(ignoreTokens.begin(), ignoreTokens.end());
    return compareFiles(previousPath, newPath, options, ignore);
}

int compareContentFiles(const char* previousPath, const char* newPath, int options,
                        const char* const* ignoreTokens, int count) {
    std::vector<std::string_view> ignore;
    for (int k = 0; ignoreTokens && k < count; ++k)
        if (ignoreTokens[k]) ignore.emplace_back(ignoreTokens[k]);
    return compareFiles(previousPath, newPath, options, ignore);
}
