#pragma once
#include <string>
#include <string_view>
#include <vector>

// Building one record line of vigil.dat. The reader takes a line's first character
// as the separator of its fields, so a writer picks one that none of its fields
// holds; otherwise a '|' typed in a description would shift every later field.

// The separators tried first, in order.
constexpr std::string_view kRecordSeparators = "|)!(^%*$";

// The fields of one record line, in order.
class RecordLine {
public:
    // A text field; CR and LF become blanks, so the field stays on its line.
    void add(std::string_view text);
    void add(long number);

    const std::vector<std::string>& fields() const { return fields_; }
    // The separator, then the fields joined by it, then a line feed.
    std::string join(char separator) const;

private:
    std::vector<std::string> fields_;
};

// The first character of candidates, else the first other printable ASCII
// character, that occurs in none of fields. When every printable character
// occurs somewhere the first candidate is returned.
char chooseRecordSeparator(std::string_view candidates, const std::vector<std::string>& fields);

// True when c occurs in none of fields.
bool separatorFits(char c, const std::vector<std::string>& fields);
