#include "core/cache_files.h"

#include "platform/files.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <set>

namespace {

// The counter only moves forward; the set only grows during a run.
std::mutex nameMutex;
int32_t counter = 0;
std::set<int32_t> usedNumbers;

std::string nameOf(int32_t number) {
    char text[32];
    std::snprintf(text, sizeof text, "cache\\%08d.mon", number);
    return text;
}

}  // namespace

namespace CacheFiles {

std::string newName() {
    std::lock_guard<std::mutex> g(nameMutex);
    for (;;) {
        if (usedNumbers.count(counter) == 0 && !fileExists(nameOf(counter))) break;
        ++counter;
    }
    usedNumbers.insert(counter);
    return nameOf(counter);
}

int addNumber(int32_t number) {
    std::lock_guard<std::mutex> g(nameMutex);
    return usedNumbers.insert(number).second ? 1 : 0;
}

int remove(const std::string& name) {
    if (!name.empty()) removeFile(name);
    return 0;
}

std::optional<int32_t> numberFromName(std::string_view name) {
    static constexpr std::string_view prefix = "cache\\";
    static constexpr std::string_view suffix = ".mon";
    if (name.size() != prefix.size() + 8 + suffix.size()) return std::nullopt;
    if (name.substr(0, prefix.size()) != prefix || name.substr(prefix.size() + 8) != suffix) return std::nullopt;
    int32_t number = 0;
    for (char c : name.substr(prefix.size(), 8)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + (c - '0');
    }
    return number;
}

}  // namespace CacheFiles
