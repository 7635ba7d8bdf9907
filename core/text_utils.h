#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Splits text at sep. An empty field is an empty string (a "null" field) and keeps
// its place unless skipEmpty is set, in which case a separator directly after the
// previous one adds nothing. A separator in the first position always ends an
// empty first field; the last field is cut at its first line feed.
std::vector<std::string> splitString(std::string_view text, char sep, bool skipEmpty);

// Where pattern first occurs in text ignoring case, or null. An empty pattern
// matches at the start.
const char* findNoCase(const char* text, const char* pattern);
// Offset of the match, or npos.
size_t findNoCase(std::string_view text, std::string_view pattern);

// Standard Base64 (RFC 4648) of n bytes, padded.
std::string base64Encode(const void* input, size_t n);
inline std::string base64Encode(std::string_view s) { return base64Encode(s.data(), s.size()); }

// Whether text is well-formed UTF-8 (pure ASCII is; no overlong forms, no
// surrogates, nothing past U+10FFFF).
bool isUtf8(std::string_view text);

// Every line feed and carriage return becomes a blank: the text stays on one line.
std::string oneLine(std::string text);

// The number text starts with, read as the runtime's text-to-number conversion
// reads it: blanks, a sign, decimal digits (held at the limits of long long).
// None when no digit comes ("min 5", "-", "").
std::optional<long long> leadingNumber(std::string_view text);
