#include "core/ini_file.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "core/text_utils.h"
#include "platform/ascii_text.h"
#include "platform/files.h"

namespace {

bool blankAtAnEnd(std::string_view s) {
    return !s.empty() && (isSpaceOrTab(s.front()) || isSpaceOrTab(s.back()));
}

// A value with blanks at its ends is written between quotes, which reading takes
// off again: `key=" secret "`. Reading trims values, so the blanks would be lost
// otherwise. Only quotes around such an inner text count, and a value that looks
// like one is quoted itself, so `"/opt/my browser"` of older profiles reads as
// it always did.
bool quotedForm(std::string_view s) {
    while (s.size() >= 2 && s.front() == '"' && s.back() == '"') {
        s = s.substr(1, s.size() - 2);
        if (blankAtAnEnd(s)) return true;
    }
    return false;
}

std::string storedForm(const std::string& value) {
    return blankAtAnEnd(value) || quotedForm(value) ? '"' + value + '"' : value;
}

std::string readForm(const std::string& stored) {
    return quotedForm(stored) ? stored.substr(1, stored.size() - 2) : stored;
}

}  // namespace

std::string IniFile::resolveName(const std::string& path) {
    if (::access(path.c_str(), F_OK) == 0) return path;
    const size_t slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return path;
    std::string found = path;
    while (const dirent* e = ::readdir(d)) {
        if (equalsNoCase(e->d_name, base)) {
            found = slash == std::string::npos ? std::string(e->d_name) : dir + e->d_name;
            break;
        }
    }
    ::closedir(d);
    return found;
}

bool IniFile::load(const std::string& path) {
    preamble_.clear();
    sections_.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text;
    for (bool first = true; readLine(in, text); first = false) {
        if (first) dropByteOrderMark(text);
        const std::string t(trimmed(text));
        if (!t.empty() && t.front() == '[' && t.find(']') != std::string::npos) {
            sections_.push_back(Section{std::string(trimmed(t.substr(1, t.find(']') - 1))), {}});
            continue;
        }
        Line line;
        line.raw = text;
        const size_t eq = text.find('=');
        if (eq != std::string::npos && !t.empty() && t.front() != ';' && t.front() != '#') {
            line.entry = true;
            // Blanks around '=' are layout, as in profiles written by hand.
            line.key = trimmed(text.substr(0, eq));
            line.value = trimmed(text.substr(eq + 1));
        }
        (sections_.empty() ? preamble_ : sections_.back().lines).push_back(std::move(line));
    }
    return true;
}

bool IniFile::save(const std::string& path) const {
    std::string data;
    auto emit = [&data](const Line& line) {
        data += line.entry ? line.key + '=' + line.value : line.raw;
        data += '\n';
    };
    for (const Line& line : preamble_) emit(line);
    for (const Section& section : sections_) {
        data += '[' + section.name + "]\n";
        for (const Line& line : section.lines) emit(line);
    }

    // The mode of the profile replaced is kept; a new one stays private to its
    // owner, as it may hold the proxy password.
    return replaceFile(path, [&data](FILE* file) {
        return std::fwrite(data.data(), 1, data.size(), file) == data.size();
    });
}

const IniFile::Section* IniFile::findSection(const std::string& name) const {
    for (const Section& section : sections_)
        if (equalsNoCase(section.name, name)) return &section;
    return nullptr;
}

IniFile::Section* IniFile::findSection(const std::string& name) {
    for (Section& section : sections_)
        if (equalsNoCase(section.name, name)) return &section;
    return nullptr;
}

const IniFile::Line* IniFile::findEntry(const std::string& section, const std::string& key) const {
    const Section* s = findSection(section);
    if (!s) return nullptr;
    for (const Line& line : s->lines)
        if (line.entry && equalsNoCase(line.key, key)) return &line;
    return nullptr;
}

bool IniFile::hasSection(const std::string& section) const {
    return findSection(section) != nullptr;
}

bool IniFile::contains(const std::string& section, const std::string& key) const {
    return findEntry(section, key) != nullptr;
}

std::optional<std::string> IniFile::text(const std::string& section, const std::string& key) const {
    const Line* line = findEntry(section, key);
    if (!line) return std::nullopt;
    return readForm(line->value);
}

std::optional<int> IniFile::integer(const std::string& section, const std::string& key) const {
    const std::optional<std::string> value = text(section, key);
    if (!value) return std::nullopt;
    const std::string t(trimmed(*value));
    if (t.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long n = std::strtol(t.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE || n < INT_MIN || n > INT_MAX) return std::nullopt;
    return static_cast<int>(n);
}

void IniFile::setText(const std::string& section, const std::string& key, const std::string& value) {
    setStoredText(section, key, storedForm(oneLine(value)));
}

void IniFile::setPaddedText(const std::string& section, const std::string& key, const std::string& value) {
    setStoredText(section, key, oneLine(value));
}

void IniFile::setStoredText(const std::string& section, const std::string& key, const std::string& value) {
    Section* s = findSection(section);
    if (!s) {
        sections_.push_back(Section{section, {}});
        s = &sections_.back();
    }
    for (Line& line : s->lines) {
        if (line.entry && equalsNoCase(line.key, key)) {
            line.value = value;
            return;
        }
    }
    // New keys go after the last entry, ahead of any blank lines that end the section.
    auto at = s->lines.end();
    while (at != s->lines.begin() && !(at - 1)->entry && trimmed((at - 1)->raw).empty()) --at;
    Line line;
    line.entry = true;
    line.key = key;
    line.value = value;
    s->lines.insert(at, std::move(line));
}

void IniFile::setInteger(const std::string& section, const std::string& key, int value) {
    setText(section, key, std::to_string(value));
}
