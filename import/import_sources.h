#pragma once
#include <array>
#include <string>

#include "import/import_item.h"

// Reads one source file into entries; 1 when the file could be read.
using Importer = int (*)(const std::string& path, ImportList& items);

// The twelve import sources in the order of the import window's combo box.
namespace ImportSource {
constexpr int Count = 12;
constexpr int InternetExplorer = 3;  // a folder of .url files, not one file
}  // namespace ImportSource

// The program's one table of import sources: their names, the file last chosen
// for each (the default name until the user picks one; kept until the program
// ends) and the entries listed in the import window, in the order of its rows.
// Window thread only.
class ImportSources {
public:
    ImportSources();

    static const char* text(int index);
    static Importer importer(int index);

    const std::string& fileName(int index) const { return fileNames_.at(static_cast<size_t>(index)); }
    void setFileName(int index, const std::string& name) { fileNames_.at(static_cast<size_t>(index)) = name; }

    ImportList& entries() { return entries_; }

private:
    std::array<std::string, ImportSource::Count> fileNames_;
    ImportList entries_;
};

ImportSources& importSources();
