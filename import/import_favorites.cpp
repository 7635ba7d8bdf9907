#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "import/import_record.h"
#include "import/importers.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

// A '*' pattern matched the way the directory listing matches: any case.
bool matchesPattern(const std::string& name, const std::string& pattern) {
    size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    auto same = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    };
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// Files first, then subfolders, each by name. Linked folders are not entered,
// so a link that points back up the tree cannot make the walk endless.
void walkUrlFiles(const fs::path& folder, const std::string& pattern, ImportList& items) {
    std::vector<fs::path> files, folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::directory_entry& entry = *it;
        std::error_code kindError;
        if (entry.is_directory(kindError)) {
            if (!entry.is_symlink(kindError)) folders.push_back(entry.path());
        } else if (matchesPattern(entry.path().filename().string(), pattern)) {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const fs::path& file : files) importUrlFile(file.string(), file.filename().string(), items);
    for (const fs::path& sub : folders) walkUrlFiles(sub, pattern, items);
}

}  // namespace

void importUrlFile(const std::string& fullPath, const std::string& fileName, ImportList& items) {
    // The name comes from the listing as it is: no separator mapping.
    FILE* file = std::fopen(fullPath.c_str(), "rbe");
    if (!file) return;
    std::string first, second;
    const bool both = readLine(file, first) && readLine(file, second);
    std::fclose(file);
    if (!both || second.size() < 4) return;
    const size_t dot = fileName.find(".url");
    appendUrlEntry(items, fileName.substr(0, dot), std::string_view(second).substr(4));
}

void importUrlTree(const std::string& folder, const std::string& pattern, ImportList& items) {
    std::error_code error;
    if (folder.empty() || !fs::is_directory(folder, error)) return;
    walkUrlFiles(fs::path(folder), pattern, items);
}

int importFavorites(const std::string& path, ImportList& items) {
    importUrlTree(path, "*.url", items);
    return 1;
}
