#include "core/text_utils.h"

#include <cctype>
#include <cstring>
#include <limits>

std::vector<std::string> splitString(std::string_view text, char sep, bool skipEmpty) {
    std::vector<std::string> fields;
    size_t start = 0;
    size_t i = 0;
    bool prevWasSep = false;
    for (; i < text.size(); ++i) {
        if (text[i] != sep) {
            prevWasSep = false;
            continue;
        }
        if (skipEmpty && prevWasSep && i != 0) {
            start = i + 1;  // a run of separators counts as one
            continue;
        }
        fields.emplace_back(text.substr(start, i - start));
        start = i + 1;
        prevWasSep = true;
    }
    std::string_view rest = text.substr(start < text.size() ? start : text.size());
    const size_t lf = rest.find('\n');
    if (lf != std::string_view::npos) rest = rest.substr(0, lf);
    fields.emplace_back(rest);
    return fields;
}

size_t findNoCase(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) return 0;
    if (pattern.size() > text.size()) return std::string_view::npos;
    const size_t last = text.size() - pattern.size();
    const unsigned char first = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(pattern[0])));
    for (size_t i = 0; i <= last; ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != first) continue;
        size_t j = 1;
        while (j < pattern.size() &&
               std::toupper(static_cast<unsigned char>(text[i + j])) ==
                   std::toupper(static_cast<unsigned char>(pattern[j])))
            ++j;
        if (j == pattern.size()) return i;
    }
    return std::string_view::npos;
}

const char* findNoCase(const char* text, const char* pattern) {
    if (!text || !pattern) return nullptr;
    const size_t at = findNoCase(std::string_view(text), std::string_view(pattern));
    return at == std::string_view::npos ? nullptr : text + at;
}

std::string base64Encode(const void* input, size_t n) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto* in = static_cast<const unsigned char*>(input);
    std::string out;
    out.reserve(4 * ((n + 2) / 3));
    for (size_t i = 0; i < n; i += 3) {
        const unsigned b0 = in[i];
        const unsigned b1 = i + 1 < n ? in[i + 1] : 0;
        const unsigned b2 = i + 2 < n ? in[i + 2] : 0;
        const unsigned v = (b0 << 16) | (b1 << 8) | b2;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += i + 1 < n ? alphabet[(v >> 6) & 63] : '=';
        out += i + 2 < n ? alphabet[v & 63] : '=';
    }
    return out;
}

bool isUtf8(std::string_view text) {
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        if (lead < 0xc2 || lead > 0xf4) return false;
        const size_t length = lead < 0xe0 ? 2 : lead < 0xf0 ? 3 : 4;
        const unsigned long lowest = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
        if (i + length > text.size()) return false;
        unsigned long c = lead & (0x7f >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) return false;
            c = c << 6 | (next & 0x3f);
        }
        if (c < lowest || c > 0x10ffff || (c >= 0xd800 && c <= 0xdfff)) return false;
        i += length;
    }
    return true;
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

std::optional<long long> leadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    // Gathered as a negative number, which reaches LLONG_MIN too.
    constexpr long long lowest = std::numeric_limits<long long>::min();
    long long value = 0;
    bool held = false;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        const int digit = text[i] - '0';
        if (held || value < (lowest + digit) / 10) {
            held = true;
            continue;
        }
        value = value * 10 - digit;
    }
    if (held) return negative ? lowest : std::numeric_limits<long long>::max();
    if (negative) return value;
    return value == lowest ? std::numeric_limits<long long>::max() : -value;
}
