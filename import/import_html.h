#pragma once
#include <string>

#include "import/import_item.h"

// Importers of HTML bookmark files. Each reads its file and appends an entry for
// every bookmark it can turn into a Vigil, in the order of the file; it returns 1
// when the file could be read and 0 otherwise (nothing appended).

// Netscape Navigator bookmark files, Powermarks and any other HTML file: every
// <a> tag whose HREF (wherever it stands, entities decoded) is a Web, FTP or
// Gopher URL; the token after it is the title, the URL when the link text is empty.
int importAnchorHtml(const std::string& path, ImportList& items);
// Connexion Collection pages: like the above, in-page anchors passed over.
int importConnexionHtml(const std::string& path, ImportList& items);
