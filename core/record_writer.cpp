#include "core/record_writer.h"

#include <algorithm>

void RecordLine::add(std::string_view text) {
    std::string field(text);
    std::replace(field.begin(), field.end(), '\r', ' ');
    std::replace(field.begin(), field.end(), '\n', ' ');
    fields_.push_back(std::move(field));
}

void RecordLine::add(long number) {
    fields_.push_back(std::to_string(number));
}

std::string RecordLine::join(char separator) const {
    size_t size = 2;
    for (const std::string& f : fields_) size += f.size() + 1;
    std::string line;
    line.reserve(size);
    line += separator;
    for (size_t i = 0; i < fields_.size(); ++i) {
        if (i > 0) line += separator;
        const size_t start = line.size();
        line += fields_[i];
        // Only when every printable character was taken: better a blank in a field
        // than every later field shifted.
        std::replace(line.begin() + static_cast<std::ptrdiff_t>(start), line.end(), separator, ' ');
    }
    line += '\n';
    return line;
}

bool separatorFits(char c, const std::vector<std::string>& fields) {
    for (const std::string& f : fields)
        if (f.find(c) != std::string::npos) return false;
    return true;
}

char chooseRecordSeparator(std::string_view candidates, const std::vector<std::string>& fields) {
    for (char c : candidates)
        if (separatorFits(c, fields)) return c;
    for (char c = '!'; c <= '~'; ++c)
        if (candidates.find(c) == std::string_view::npos && separatorFits(c, fields)) return c;
    return candidates.empty() ? '|' : candidates.front();
}
