#pragma once
#include <string>

#include "import/import_item.h"

// Importers of the line-based bookmark lists. Each reads its file and appends an
// entry for every bookmark it can turn into a Vigil, in the order of the file; it
// returns 1 when the file could be read and 0 otherwise (nothing appended). Lines
// may be of any length, but an entry longer than kImportRecordLimit is left out;
// CR LF reads as LF.

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
