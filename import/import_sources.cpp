#include "import/import_sources.h"

#include "import/import_favorites.h"
#include "import/import_html.h"
#include "import/import_lists.h"

namespace {

struct SourceRow {
    const char* text;
    const char* defaultFile;
    Importer importer;
};

const SourceRow kSources[ImportSource::Count] = {
    {"Connexion Collection 1.x", "connex.htm", importConnexionHtml},
    {"EmTec FTP", "ftp.svr", importFtpSvr},
    {"IBM WebExplorer", "explore.ini", importExploreIni},
    {"Internet Explorer", "", importFavorites},
    {"Vigil/Tervane", "vigil.dat", importVigilFile},
    {"Netscape Navigator 2.x - 4.x", "bookmark.htm", importAnchorHtml},
    {"Opera Web Browser 2.x", "opera.adr", importOperaAdr},
    {"Opera Web Browser 3.x", "opera3.adr", importOpera3Adr},
    {"Powermarks 2.x", "pm20.htm", importAnchorHtml},
    {"Web Navigator 1.x", "quiklist.txt", importQuicklistTxt},
    {"Web Navigator 2.x", "quiklist.dat", importQuicklistDat},
    {"Other HTML", "*.html *.htm", importAnchorHtml},
};

const SourceRow& row(int index) { return kSources[index >= 0 && index < ImportSource::Count ? index : 0]; }

}  // namespace

ImportSources::ImportSources() {
    for (int i = 0; i < ImportSource::Count; ++i) fileNames_[static_cast<size_t>(i)] = kSources[i].defaultFile;
}

const char* ImportSources::text(int index) { return row(index).text; }
Importer ImportSources::importer(int index) { return row(index).importer; }

ImportSources& importSources() {
    static ImportSources sources;
    return sources;
}
