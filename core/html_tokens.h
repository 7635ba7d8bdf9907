#pragma once
#include <string>
#include <string_view>
#include <vector>

// Cuts HTML into tokens: comments ("<!--" through the first "-->" after it), tags
// ('<' through the next '>') and the text runs between them. Tags and comments keep
// their text exactly, line ends included. A run of whitespace only is no token.
//
// Word mode (the page comparison) splits each text run at line feed, tab, blank and
// carriage return into words, and keeps the text before the first tag and after the
// last one. Whole-run mode (the importers) keeps each run whole, starts at the line
// that holds the first '<' and drops what follows the last tag. Both drop an
// unclosed tag or comment at the end.

// Hands out the tokens of a text one at a time, as views into the text; keeps no list.
class HtmlTokenCursor {
public:
    HtmlTokenCursor(std::string_view text, bool wordMode);
    // The next token, or false at the end.
    bool next(std::string_view& token);

private:
    std::string_view text_;
    bool wordMode_;
    bool done_ = false;
    size_t pos_ = 0;                       // where the search for the next '<' starts
    size_t runStart_ = 0, runPos_ = 0, runEnd_ = 0;  // the text run being handed out
    size_t tagStart_ = 0, tagEnd_ = 0;     // the tag or comment after it
};

// Appends the tokens of text; the views point into text.
void tokenizeHtmlText(std::string_view text, bool wordMode, std::vector<std::string_view>& tokens);

// Results of the comparison.
enum ContentCompare {
    ContentUnchanged = 0,
    ContentChanged = 1,
    ContentStructureDiffers = -1,  // one copy has an html start or end tag the other lacks
};

// Compares the bodies of two replies (a text without a status line is all body;
// CR LF and LF line ends compare alike) token by token in word mode: -1 when one
// has an <html> (or </html>) tag and the other not; else 1 at the first difference
// once tags (options bit 0x01, the Web Vigil's "ignore all HTML tags") and tokens
// containing any non-empty ignore token are left out, 0 when none. A body without
// tokens on either side gives 0.
int compareReplies(std::string_view previousReply, std::string_view newReply, int options,
                   const std::vector<std::string_view>& ignoreTokens);

// compareReplies of two stored files. A file that cannot be read gives no tokens, hence 0.
int compareContentFiles(const char* previousPath, const char* newPath, int options,
                        const std::vector<std::string>& ignoreTokens);
// The same with the ignore tokens as an array of count texts; null entries are skipped.
int compareContentFiles(const char* previousPath, const char* newPath, int options,
                        const char* const* ignoreTokens, int count);
