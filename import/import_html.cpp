#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/html_tokens.h"
#include "core/text_utils.h"
#include "import/import_record.h"
#include "import/importers.h"

namespace {

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

// <a href="URL" ...>: links to local files are no Vigils. The fourth attribute
// after the URL supplies the date when it is a last_modified one.
std::optional<Anchor> bookmarkAnchor(std::string_view token) {
    if (startsWithNoCase(token, "<a href=\"file")) return std::nullopt;
    constexpr std::string_view opening = "<a href=\"";
    if (!startsWithNoCase(token, opening)) return std::nullopt;  // no quoted URL to take
    const size_t close = token.find('"', opening.size());
    if (close == std::string_view::npos) return std::nullopt;
    Anchor anchor{std::string(token.substr(opening.size(), close - opening.size())), std::nullopt};
    if (close + 2 < token.size()) {
        const std::vector<std::string> words = splitString(token.substr(close + 2), ' ', false);
        if (words.size() >= 4 && startsWithNoCase(words[3], "last_modified")) anchor.date = quoted(words[3]);
    }
    return anchor;
}

// <a href="URL" ...> of a Connexion page; in-page anchors ("#...") are passed over.
std::optional<Anchor> connexionAnchor(std::string_view token) {
    if (!startsWithNoCase(token, "<a href")) return std::nullopt;
    if (startsWithNoCase(token, "<a href=\"#")) return std::nullopt;
    const std::vector<std::string> words = splitString(token, ' ', false);
    if (words.size() < 2 || !startsWithNoCase(words[1], "href")) return std::nullopt;
    std::optional<std::string> url = quoted(words[1]);
    if (!url) return std::nullopt;
    return Anchor{*url, std::nullopt};
}

// Whatever token follows an accepted anchor is its title, even another tag.
int importAnchors(const std::string& path, ImportList& items,
                  std::optional<Anchor> (*anchorOf)(std::string_view)) {
    std::vector<SimpleString> tokens;
    if (!tokenizeHtml(path.c_str(), tokens, false)) return 0;
    bool pending = false;
    VigilRecordParts parts;
    for (const SimpleString& token : tokens) {
        const std::string_view text(token.text(), static_cast<size_t>(token.length()));
        if (pending) {
            std::string title(text);
            blankSeparators(title);
            if (!title.empty() && title.front() == ' ') title.erase(0, 1);
            items.emplace_back(title.c_str(), recordLine(parts.kind, title, parts.tail).c_str());
            pending = false;
        } else if (const std::optional<Anchor> anchor = anchorOf(text)) {
            pending = makeVigilRecord(anchor->url, anchor->date, parts) == 1;
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
