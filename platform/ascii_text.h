#pragma once
#include <cstddef>
#include <string_view>

// Small helpers for the ASCII words of protocols, file formats and switches
// ("HTTP/", "Last-Modified", "href", "/hproxy:"), shared by every layer. Case is
// ASCII case alone, whatever the locale: a keyword matches the same way under
// every language's rules, and other bytes only ever match themselves.

// A space or a tab.
inline bool isSpaceOrTab(char c) { return c == ' ' || c == '\t'; }

// A space, a tab, a carriage return or a line feed.
inline bool isSpaceTabOrLineEnd(char c) { return isSpaceOrTab(c) || c == '\r' || c == '\n'; }

// text without the spaces, tabs, carriage returns and line feeds at its ends: a
// view into text, good for as long as text is.
inline std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpaceTabOrLineEnd(text.front())) text.remove_prefix(1);
    while (!text.empty() && isSpaceTabOrLineEnd(text.back())) text.remove_suffix(1);
    return text;
}

// c in lower case when it is an ASCII capital; any other byte as it is.
inline char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether text begins with prefix, ignoring ASCII case.
inline bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (asciiLower(text[i]) != asciiLower(prefix[i])) return false;
    return true;
}

// Whether a and b are the same text, ignoring ASCII case.
inline bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && startsWithNoCase(a, b);
}
