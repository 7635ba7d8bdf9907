#include "core/http_date.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "core/text_utils.h"
#include "platform/ascii_text.h"

int monthFromName(const char* text) {
    static constexpr std::string_view names[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                   "jul", "aug", "sep", "oct", "nov", "dec"};
    if (!text) return -1;
    const std::string_view head(text, strnlen(text, 3));
    for (int m = 0; m < 12; ++m)
        if (startsWithNoCase(head, names[m])) return m;
    return -1;
}

namespace {

// Years in headers come as 1994, 94 or 05; tm_year counts from 1900.
// Two-digit years below 70 belong to this century.
int yearSince1900(int year) {
    if (year > 99) return year - 1900;
    if (year < 70) return year + 100;
    return year;
}

}  // namespace

int parseHttpDate(const char* text, struct tm* record) {
    if (!text || !record) return 0;
    std::string copy(text);
    while (!copy.empty() && (copy.back() == '\n' || copy.back() == '\r')) copy.pop_back();
    const std::vector<std::string> fields = splitString(copy, ' ', false);

    bool monthFound = false;
    for (size_t i = 0; i < fields.size(); ++i) {
        const std::string& field = fields[i];
        if (field.empty()) continue;  // empty fields only hold their place
        // A numeric zone such as -0500 or +0100 is neither a date nor a year.
        if (field[0] == '-' || field[0] == '+') continue;

        if (field.find(':') != std::string::npos) {
            record->tm_hour = record->tm_min = record->tm_sec = 0;
            const std::vector<std::string> parts = splitString(field, ':', false);
            int* const slots[3] = {&record->tm_hour, &record->tm_min, &record->tm_sec};
            for (size_t k = 0; k < parts.size() && k < 3; ++k)
                if (!parts[k].empty()) *slots[k] = std::atoi(parts[k].c_str());
            continue;
        }

        if (field.find('-') != std::string::npos) {  // 06-Nov-94
            record->tm_mday = 1;
            record->tm_mon = 1;
            record->tm_year = 99;
            const std::vector<std::string> parts = splitString(field, '-', false);
            if (!parts.empty() && !parts[0].empty()) record->tm_mday = std::atoi(parts[0].c_str());
            if (parts.size() > 1 && !parts[1].empty()) record->tm_mon = monthFromName(parts[1].c_str());
            if (parts.size() > 2 && !parts[2].empty())
                record->tm_year = yearSince1900(std::atoi(parts[2].c_str()));
            monthFound = true;
            continue;
        }

        const int value = std::atoi(field.c_str());
        if (value != 0) {
            if (i == 1 || i == 2) {
                record->tm_mday = value;
            } else if (i == 3) {
                if (value < 32)
                    record->tm_mday = value;
                else
                    record->tm_year = yearSince1900(value);
            } else if (i == 4 || i == 5) {
                record->tm_year = yearSince1900(value);
            }
            continue;
        }

        if (i != 0 && !monthFound) {
            record->tm_mon = monthFromName(field.c_str());
            monthFound = record->tm_mon >= 0;
        }
    }
    return static_cast<int>(fields.size());
}
