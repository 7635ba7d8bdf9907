#pragma once
#include <string>

#include "import/import_item.h"

// Internet Explorer Favorites: the .url files of a folder and all its
// subfolders, each appended as an entry. There is no registry to name the folder
// here, so path is the folder the user picked; a path that is no folder gives no
// entries. Always 1.
int importFavorites(const std::string& path, ImportList& items);
// The .url files whose names match pattern ("*.url", any case) in folder and
// below: a folder's files (by name) before its subfolders (by name). Walks with
// full paths; the process's current directory is never changed. Linked folders
// are not entered, and a linked file counts only when it lies inside folder.
void importUrlTree(const std::string& folder, const std::string& pattern, ImportList& items);
// One .url file: the "URL=" line of its [InternetShortcut] section holds the URL
// (in shortcuts without one, the second line from its fifth character); the title is the
// file name up to its first ".url". Only a regular file is read, and only its
// first few KiB.
void importUrlFile(const std::string& fullPath, const std::string& fileName, ImportList& items);
