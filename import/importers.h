#pragma once
#include <string>

#include "import/import_item.h"

// The importers of the twelve import sources. Each reads its file and appends an
// entry for every bookmark it can turn into a Vigil, in the order of the file;
// it returns 1 when the file could be read and 0 otherwise (nothing appended).
// Lines may be of any length, but an entry longer than kImportRecordLimit is
// left out; CR LF reads as LF.

// Netscape Navigator bookmark files, Powermarks and any other HTML file: every
// <a> tag whose HREF (wherever it stands, entities decoded) is a Web, FTP or
// Gopher URL; the token after it is the title, the URL when the link text is empty.
int importAnchorHtml(const std::string& path, ImportList& items);
// Connexion Collection pages: like the above, in-page anchors passed over.
int importConnexionHtml(const std::string& path, ImportList& items);
// EmTec FTP server lists (ftp.svr): one server per TAB-separated line.
int importFtpSvr(const std::string& path, ImportList& items);
// IBM WebExplorer (explore.ini): the [quicklist] section.
int importExploreIni(const std::string& path, ImportList& items);
// Web Navigator 1.x (quiklist.txt): a count, then title and URL lines.
int importQuicklistTxt(const std::string& path, ImportList& items);
// Web Navigator 2.x (quiklist.dat): records of eight lines.
int importQuicklistDat(const std::string& path, ImportList& items);
// Opera 2.x address files (opera.adr): groups of entries with one or more URLs.
int importOperaAdr(const std::string& path, ImportList& items);
// Opera 3.x address files (opera3.adr): NAME= lines followed by URL= lines.
int importOpera3Adr(const std::string& path, ImportList& items);
// Another installation's vigil.dat: every record line as it stands, after a first
// line that is skipped whatever it holds (the count, when the file has one).
int importVigilFile(const std::string& path, ImportList& items);

// Internet Explorer Favorites: the .url files of a folder and all its
// subfolders. There is no registry to name the folder here, so path is the
// folder the user picked; a path that is no folder gives no entries. Always 1.
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
