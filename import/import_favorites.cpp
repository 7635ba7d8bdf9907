#include "import/import_favorites.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "import/import_record.h"
#include "platform/ascii_text.h"
#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

// A shortcut holds a few short lines; no more than this is read of one.
constexpr size_t kShortcutReadLimit = 8192;

// A '*' pattern matched the way the directory listing matches: any case.
bool matchesPattern(const std::string& name, const std::string& pattern) {
    size_t n = 0, p = 0, starP = std::string::npos, starN = 0;
    auto same = [](char a, char b) { return asciiLower(a) == asciiLower(b); };
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

// Whether path lies inside folder; both are canonical.
bool isInside(const fs::path& path, const fs::path& folder) {
    const auto [f, p] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return f == folder.end() && p != path.end();
}

// Files first, then subfolders, each by name. Linked folders are not entered,
// so a link that points back up the tree cannot make the walk endless; a linked
// file counts only when it lies inside the chosen folder (root, canonical).
void walkUrlFiles(const fs::path& root, const fs::path& folder, const std::string& pattern, ImportList& items) {
    std::vector<std::pair<fs::path, fs::path>> files;  // the name as listed, the file to open
    std::vector<fs::path> folders;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::directory_entry& entry = *it;
        std::error_code kindError;
        const fs::file_status status = entry.symlink_status(kindError);
        if (kindError) continue;
        if (fs::is_directory(status)) {
            folders.push_back(entry.path());
        } else if (matchesPattern(entry.path().filename().string(), pattern)) {
            fs::path target = entry.path();
            if (fs::is_symlink(status)) {
                target = fs::canonical(entry.path(), kindError);
                if (kindError || !isInside(target, root)) continue;
            }
            files.emplace_back(entry.path(), target);
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    for (const auto& [listed, target] : files) importUrlFile(target.string(), listed.filename().string(), items);
    for (const fs::path& sub : folders) walkUrlFiles(root, sub, pattern, items);
}

// At most the first limit bytes of a regular file; none for anything else (a
// FIFO would block the window, a device never end).
std::optional<std::string> readFileStart(const std::string& path, size_t limit) {
    // The name comes from the listing as it is: no separator mapping.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    std::optional<std::string> text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        text.emplace(limit, '\0');
        size_t got = 0;
        while (got < limit) {
            const ssize_t n = ::read(fd, text->data() + got, limit - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<size_t>(n);
        }
        text->resize(got);
    }
    ::close(fd);
    return text;
}

// The URL of a shortcut: the "URL=" line of its [InternetShortcut] section, which
// property blocks ("[{000214A0-...}]") may precede; failing that, the text after
// the first four characters of the second line, which is where older shortcuts
// keep it.
std::optional<std::string> shortcutUrl(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    std::optional<std::string> second;
    bool inShortcut = false;
    for (int number = 1; readLine(in, line); ++number) {
        if (number == 1) dropByteOrderMark(line);
        if (number == 2 && line.size() >= 4) second = line.substr(4);
        if (!line.empty() && line.front() == '[')
            inShortcut = startsWithNoCase(line, "[InternetShortcut]");
        else if (inShortcut && startsWithNoCase(line, "URL="))
            return line.substr(4);
    }
    return second;
}

}  // namespace

void importUrlFile(const std::string& fullPath, const std::string& fileName, ImportList& items) {
    std::optional<std::string> text = readFileStart(fullPath, kShortcutReadLimit);
    if (!text) return;
    // A line cut by the limit is no line: its URL would be a wrong one.
    if (text->size() == kShortcutReadLimit) text->erase(text->rfind('\n') + 1);
    const std::optional<std::string> url = shortcutUrl(*text);
    if (!url) return;
    const size_t dot = fileName.find(".url");
    appendUrlEntry(items, fileName.substr(0, dot), *url);
}

void importUrlTree(const std::string& folder, const std::string& pattern, ImportList& items) {
    std::error_code error;
    if (folder.empty() || !fs::is_directory(folder, error)) return;
    const fs::path root = fs::canonical(folder, error);
    if (!error) walkUrlFiles(root, root, pattern, items);
}

int importFavorites(const std::string& path, ImportList& items) {
    importUrlTree(path, "*.url", items);
    return 1;
}
