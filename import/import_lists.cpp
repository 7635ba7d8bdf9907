#include "import/import_lists.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "core/os_wrappers.h"
#include "core/text_utils.h"
#include "core/vigil_store.h"
#include "import/import_record.h"
#include "platform/files.h"

namespace {

// A source file read line by line, each without its line end (LF or CR LF). Of
// a line longer than kImportRecordLimit no more than a byte or two beyond it is
// kept: whatever comes of it is left out, and the rest costs no memory.
class LineFile {
public:
    explicit LineFile(const std::string& path) : file_(openFile(path, "rb")) {}
    ~LineFile() {
        if (file_) std::fclose(file_);
    }
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;

    bool isOpen() const { return file_ != nullptr; }
    bool next(std::string& line) {
        line.clear();
        bool read = false, cut = false;
        for (int c; (c = getc_unlocked(file_)) != EOF;) {
            read = true;
            if (c == '\n') break;
            if (line.size() <= kImportRecordLimit + 1)  // room for a CR before the LF
                line += static_cast<char>(c);
            else
                cut = true;
        }
        if (!cut && !line.empty() && line.back() == '\r') line.pop_back();
        return read;
    }
    bool skip(int lines = 1) {
        std::string ignored;
        for (int i = 0; i < lines; ++i)
            if (!next(ignored)) return false;
        return true;
    }
    // A line read as "%d": its leading number, 0 when it has none.
    bool nextCount(long& count) {
        std::string line;
        if (!next(line)) return false;
        count = std::strtol(line.c_str(), nullptr, 10);
        return true;
    }

private:
    FILE* file_;
};

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// The text of a line from position on. A line cut at the bound is given whole,
// too long as it is, so that the entry it belongs to is left out.
std::string fromLine(const std::string& line, size_t position) {
    return line.size() > kImportRecordLimit ? line : line.substr(position);
}

}  // namespace

int importFtpSvr(const std::string& path, ImportList& items) {
    LineFile file(path);
    if (!file.isOpen()) return 0;
    const RecordDefaults defaults = RecordDefaults::current();
    std::string line;
    while (file.next(line)) {
        if (line.size() > kImportRecordLimit) continue;
        // name, host, directory, -, user, password, -, -, -, port
        const std::vector<std::string> f = splitString(line, '\t', false);
        if (f.size() < 10 || f[0].empty() || f[1].empty() || f[4].empty() || f[5].empty() || f[9].empty())
            continue;
        std::vector<std::string> tail = {"1", f[1], f[9], f[2].empty() ? "/" : f[2], "",
                                         std::to_string(defaults.checkInterval), "0", "0"};
        defaults.appendNotifyFields(tail);
        tail.insert(tail.end(), {f[4], f[5], kImportedStatus, "", defaults.soundFile});
        appendRecordEntry(items, f[0], "ftp", tail);
    }
    return 1;
}

int importExploreIni(const std::string& path, ImportList& items) {
    LineFile file(path);
    if (!file.isOpen()) return 0;
    std::string line;
    bool inQuicklist = false;
    while (!inQuicklist && file.next(line)) inQuicklist = startsWith(line, "[quicklist]");
    std::string title;
    while (inQuicklist && file.next(line)) {
        if (startsWith(line, "quicklist=")) {
            const size_t blank = line.find(' ');
            if (blank != std::string::npos) {
                title = fromLine(line, blank + 1);
                blankSeparators(title);
            }
        } else if (startsWith(line, "http") || startsWith(line, "ftp") || startsWith(line, "gopher")) {
            appendUrlEntry(items, title, line);
            title.clear();
        } else {
            break;  // the end of the quick list
        }
    }
    return 1;
}

int importQuicklistTxt(const std::string& path, ImportList& items) {
    LineFile file(path);
    if (!file.isOpen()) return 0;
    long count = 0;
    if (!file.nextCount(count)) return 1;
    std::string title, url;
    for (long i = 0; i < count && file.next(title) && file.next(url); ++i) {
        blankSeparators(title);
        appendUrlEntry(items, title, url);
    }
    return 1;
}

int importQuicklistDat(const std::string& path, ImportList& items) {
    LineFile file(path);
    if (!file.isOpen()) return 0;
    if (!file.skip()) return 1;
    std::string title, url;
    // Each record: two lines, the title, the URL, four more lines.
    while (file.skip(2) && file.next(title) && file.next(url)) {
        if (url.empty() || url.front() != '-') appendUrlEntry(items, title, url);
        if (!file.skip(4)) break;
    }
    return 1;
}

int importOperaAdr(const std::string& path, ImportList& items) {
    LineFile file(path);
    if (!file.isOpen()) return 0;
    long groups = 0;
    if (!file.skip(2) || !file.nextCount(groups)) return 1;
    std::string title, url;
    for (long g = 0; g < groups; ++g) {
        long entries = 0;
        if (!file.skip() || !file.nextCount(entries)) return 1;
        for (long e = 0; e < entries; ++e) {
            long urls = 0;
            if (!file.next(title) || !file.nextCount(urls)) return 1;
            if (urls <= 1) {
                if (!file.next(url)) return 1;
                appendUrlEntry(items, title, url);
                continue;
            }
            // Several addresses under one title are told apart by their number.
            for (long k = 0; k < urls; ++k) {
                if (!file.next(url)) return 1;
                appendUrlEntry(items, std::to_string(k) + " " + title, url);
            }
        }
    }
    return 1;
}

int importOpera3Adr(const std::string& path, ImportList& items) {
    LineFile file(path);
    if (!file.isOpen()) return 0;
    std::string line;
    std::optional<std::string> pendingTitle;
    while (file.next(line)) {
        if (pendingTitle) {
            const std::string title = *pendingTitle;
            pendingTitle.reset();
            const size_t url = line.find("URL=");
            if (url != std::string::npos && appendUrlEntry(items, title, fromLine(line, url + 4))) continue;
        }
        // The title follows "NAME=".
        const size_t name = line.find("NAME");
        if (name != std::string::npos && name + 5 <= line.size()) pendingTitle = fromLine(line, name + 5);
    }
    return 1;
}

int importVigilFile(const std::string& path, ImportList& items) {
    std::string problem;
    const VigilStore::DataFile read = VigilStore::readRecords(
        path,
        [&items](const std::string& record) {
            if (record.size() > kImportRecordLimit) return true;
            // A program named by another list's owner is none of this user's.
            const std::string line = VigilStore::importedRecord(record);
            // The description lies between the second and third separator.
            if (line.empty()) return true;
            const char separator = line.front();
            const size_t start = line.find(separator, 1);
            const size_t end = start == std::string::npos ? start : line.find(separator, start + 1);
            if (end != std::string::npos)
                items.emplace_back(line.substr(start + 1, end - start - 1).c_str(), line.c_str());
            return true;
        },
        problem, VigilStore::FirstLine::Any);
    return read == VigilStore::DataFile::Read ? 1 : 0;
}
