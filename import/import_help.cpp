#include "import/import_help.h"

const char* importHelpPage() {
    return R"(<html><head><title>Import Vigils</title></head><body>
<h2>Import Vigils</h2>
<p>Turns the bookmarks and address lists of other programs into Vigils.</p>
<ol>
<li>Choose the program to import from. For any other HTML page with links, choose
<b>Other HTML</b>.</li>
<li>Type the path of its file, or press <b>Browse...</b> to pick it. For
<b>Internet Explorer</b>, pick the Favorites folder: every <tt>.url</tt> shortcut in it
and in its subfolders is read.</li>
<li>Press <b>Import file to list below</b>. Every Web (http), FTP and Gopher link found is
listed; other links (https, mail, news, local files) are left out, as Tervane watches
Web pages over http:// only (no TLS). Importing another file adds
its entries below the ones already listed.</li>
<li>Select the entries you want (<b>Select All</b> takes them all) and press
<b>Add Selections Now</b>. Each one becomes a Vigil at the end of the main list.</li>
</ol>
<p>New Web and Gopher Vigils are checked at the default check interval, without
notifications; Web pages are compared with all HTML tags ignored. FTP Vigils also get the
default notifications, and the default FTP user and password when the link names none.
Change any of this afterwards with Edit.</p>
<p>Entries from another Tervane data file (<tt>vigil.dat</tt>) keep their settings, except
a program to run on a change: they start with none, so a list from somebody else cannot
start a program of its choosing. Set one with Edit if you want it.</p>
<p><b>Clear List</b> empties the list; <b>Close</b> ends the import. Adding the same entry
twice makes two Vigils.</p>
</body></html>
)";
}
