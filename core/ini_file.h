#pragma once
#include <optional>
#include <string>
#include <vector>

// A small INI profile: [section] headers and key=value lines. Section and key
// names compare without regard to case; a value is everything after the first
// '=', without the blanks around it. Lines it does not understand, and keys it is not asked about,
// are kept as they were when the file is saved again. A value with blanks at its
// ends is saved between quotes and read back whole.
class IniFile {
public:
    // path itself when it exists, else a file in the same directory whose name
    // matches without regard to case, else path unchanged.
    static std::string resolveName(const std::string& path);

    // Reads the file (LF or CRLF). False when it cannot be opened; the profile
    // is then empty.
    bool load(const std::string& path);
    // Replaces the file whole or not at all (replaceFile), so a failed write
    // leaves the old file whole. False on failure.
    bool save(const std::string& path) const;

    bool hasSection(const std::string& section) const;
    bool contains(const std::string& section, const std::string& key) const;
    std::optional<std::string> text(const std::string& section, const std::string& key) const;
    // A decimal integer that fits 32 bits; none when missing or not a number.
    std::optional<int> integer(const std::string& section, const std::string& key) const;

    // Replaces the value of the first line with the key, or appends the key to
    // the section (made at the end when missing). Line breaks become blanks.
    void setText(const std::string& section, const std::string& key, const std::string& value);
    // The same for a value whose blanks only pad it: written bare, read back
    // without the blanks at its ends.
    void setPaddedText(const std::string& section, const std::string& key, const std::string& value);
    void setInteger(const std::string& section, const std::string& key, int value);

private:
    struct Line {
        std::string raw;  // comments, blank lines, anything not key=value
        std::string key;
        std::string value;  // as stored (quoted where it keeps blanks)
        bool entry = false;
    };
    struct Section {
        std::string name;
        std::vector<Line> lines;
    };

    const Section* findSection(const std::string& name) const;
    Section* findSection(const std::string& name);
    const Line* findEntry(const std::string& section, const std::string& key) const;
    void setStoredText(const std::string& section, const std::string& key, const std::string& stored);

    std::vector<Line> preamble_;  // lines before the first section
    std::vector<Section> sections_;
};
