#pragma once
#include <algorithm>
#include <string>
#include <string_view>

// An ASCII control character (below 0x20, or DEL): nothing a single line of a
// protocol may carry.
inline bool isControlChar(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7f;
}

// text with each control character made a blank: a header value or a command
// stays on its own line.
inline std::string blankControlChars(std::string text) {
    std::replace_if(text.begin(), text.end(), isControlChar, ' ');
    return text;
}

// Whether text holds a control character (below 0x20, or 0x7F): such a byte in a
// host, path, selector or login would end a request line or a stored record.
inline bool hasControlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), isControlChar);
}
