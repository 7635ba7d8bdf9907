#include "import/import_html.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/html_tokens.h"
#include "core/os_wrappers.h"
#include "core/text_file.h"
#include "core/text_utils.h"
#include "import/import_record.h"
#include "platform/ascii_text.h"

namespace {

// Appends the character c in the file's encoding: UTF-8, else Latin-1. False
// (nothing appended) when that encoding has no such character.
bool appendCharacter(std::string& out, unsigned long c, bool utf8) {
    if (c == 0 || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff) || (!utf8 && c > 0xff)) return false;
    if (!utf8 || c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xc0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xe0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3f));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3f));
        out += static_cast<char>(0x80 | (c & 0x3f));
    }
    return true;
}

// The character of the reference that text begins with ("&amp;", "&#39;",
// "&#xE9;"), and the reference's length; none for any other '&'.
std::optional<std::pair<unsigned long, size_t>> characterReference(std::string_view text) {
    static constexpr std::pair<std::string_view, unsigned long> named[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}, {"&nbsp;", 0xa0}};
    for (const auto& [name, c] : named)
        if (text.substr(0, name.size()) == name) return std::make_pair(c, name.size());
    if (text.substr(0, 2) != "&#") return std::nullopt;
    const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
    const size_t first = hex ? 3 : 2;
    size_t end = first;
    unsigned long c = 0;
    // Eight digits hold every character; more would only overflow.
    while (end < text.size() && end - first < 8) {
        const auto d = static_cast<unsigned char>(text[end]);
        if (!(hex ? std::isxdigit(d) : std::isdigit(d))) break;
        const int digit = std::isdigit(d) ? d - '0' : std::tolower(d) - 'a' + 10;
        c = c * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        ++end;
    }
    if (end == first || end >= text.size() || text[end] != ';') return std::nullopt;
    return std::make_pair(c, end + 1);
}

// Bookmark files keep their titles HTML-escaped. Each reference is decoded once,
// so "&amp;lt;" gives "&lt;"; one the file's encoding cannot hold stays as it is.
std::string decodeEntities(std::string_view text, bool utf8) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '&') {
            const auto reference = characterReference(text.substr(i));
            if (reference && appendCharacter(out, reference->first, utf8)) {
                i += reference->second;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

struct Anchor {
    std::string url;
    std::optional<std::string> date;
};

// The text between the first two double quotes of text, or none.
std::optional<std::string> quoted(std::string_view text) {
    const size_t open = text.find('"');
    if (open == std::string_view::npos) return std::nullopt;
    const size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return std::string(text.substr(open + 1, close - open - 1));
}

// The blanks of HTML: space, tab, line feed, form feed, carriage return.
bool isHtmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// The HREF value of an <a> tag and where it ends in the tag (past a closing quote).
struct Href {
    std::string_view value;
    size_t end;
};

// Bookmark files put HREF anywhere among the attributes, in any case, quoted with
// either quote or not at all. None when the tag is no anchor, has no HREF, or a
// quoted value runs to the end of the tag unclosed.
std::optional<Href> hrefOf(std::string_view tag) {
    if (tag.size() < 3 || tag[0] != '<' || asciiLower(tag[1]) != 'a' || !isHtmlSpace(tag[2]))
        return std::nullopt;
    const size_t stop = tag.back() == '>' ? tag.size() - 1 : tag.size();
    size_t at = 2;
    while (at < stop) {
        while (at < stop && (isHtmlSpace(tag[at]) || tag[at] == '/')) ++at;
        const size_t nameStart = at;
        while (at < stop && !isHtmlSpace(tag[at]) && tag[at] != '=') ++at;
        const std::string_view name = tag.substr(nameStart, at - nameStart);
        while (at < stop && isHtmlSpace(tag[at])) ++at;
        if (at >= stop || tag[at] != '=') continue;  // an attribute without a value
        ++at;
        while (at < stop && isHtmlSpace(tag[at])) ++at;
        size_t valueStart = at, valueEnd, end;
        if (at < stop && (tag[at] == '"' || tag[at] == '\'')) {
            valueEnd = tag.find(tag[at], ++valueStart);
            if (valueEnd >= stop) return std::nullopt;
            end = valueEnd + 1;
        } else {
            while (at < stop && !isHtmlSpace(tag[at])) ++at;
            valueEnd = end = at;
        }
        if (name.size() == 4 && startsWithNoCase(name, "href")) {
            if (valueEnd - valueStart > kImportRecordLimit) return std::nullopt;  // no address of an entry
            return Href{tag.substr(valueStart, valueEnd - valueStart), end};
        }
        at = end;
    }
    return std::nullopt;
}

// A Netscape anchor: the fourth attribute after the URL supplies the date when it
// is a last_modified one.
std::optional<Anchor> bookmarkAnchor(std::string_view token) {
    const std::optional<Href> href = hrefOf(token);
    if (!href) return std::nullopt;
    Anchor anchor{std::string(href->value), std::nullopt};
    if (href->end + 1 < token.size()) {
        const std::vector<std::string> words = splitString(token.substr(href->end + 1), ' ', false);
        if (words.size() >= 4 && startsWithNoCase(words[3], "last_modified")) anchor.date = quoted(words[3]);
    }
    return anchor;
}

// A Connexion anchor: no date.
std::optional<Anchor> connexionAnchor(std::string_view token) {
    const std::optional<Href> href = hrefOf(token);
    if (!href) return std::nullopt;
    return Anchor{std::string(href->value), std::nullopt};
}

// Whatever token follows an accepted anchor is its title, even another tag, but
// for the anchor's own end tag: an empty link text, for which the URL stands.
// Links to local files ("file:") and in-page anchors ("#") are no Vigils:
// makeVigilRecord refuses them.
int importAnchors(const std::string& path, ImportList& items,
                  std::optional<Anchor> (*anchorOf)(std::string_view)) {
    // Tokens of the text as read, so that a NUL in it cuts none of them; one at
    // a time, so that a file of countless tags costs no list of them.
    std::string file;
    if (!readTextFile(path.c_str(), file)) return 0;
    const bool utf8 = isUtf8(file);
    std::optional<std::string> pendingUrl;
    VigilRecordParts parts;
    HtmlTokenCursor tokens(file, false);
    for (std::string_view text; tokens.next(text);) {
        if (pendingUrl) {
            const bool endTag =
                startsWithNoCase(text, "</a") && text.size() > 3 && (text[3] == '>' || isHtmlSpace(text[3]));
            if (text.size() > kImportRecordLimit) {  // no title of an entry: left out, never copied
                pendingUrl.reset();
                continue;
            }
            std::string title = endTag ? std::string() : decodeEntities(text, utf8);
            blankSeparators(title);
            if (!title.empty() && title.front() == ' ') title.erase(0, 1);
            if (title.empty()) title = *pendingUrl;
            appendRecordEntry(items, std::move(title), parts.kind, parts.tail);
            pendingUrl.reset();
        } else if (const std::optional<Anchor> anchor = anchorOf(text)) {
            // Targets are escaped like titles: "&amp;" in a file is '&' in the link.
            // Blanks around the address are no part of it, as browsers read it.
            std::string url = decodeEntities(anchor->url, utf8);
            const size_t first = static_cast<size_t>(
                std::find_if_not(url.begin(), url.end(), isHtmlSpace) - url.begin());
            const size_t last = static_cast<size_t>(
                std::find_if_not(url.rbegin(), url.rend(), isHtmlSpace).base() - url.begin());
            url = first < last ? url.substr(first, last - first) : std::string();
            if (makeVigilRecord(url, anchor->date, parts) == 1) pendingUrl = std::move(url);
        }
    }
    return 1;
}

}  // namespace

int importAnchorHtml(const std::string& path, ImportList& items) {
    return importAnchors(path, items, bookmarkAnchor);
}

int importConnexionHtml(const std::string& path, ImportList& items) {
    return importAnchors(path, items, connexionAnchor);
}
