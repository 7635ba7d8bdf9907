#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class MainWindow;
class Vigil;

// The work behind the main window's commands that lives outside the window:
// settings dialogs with their add and edit tasks, the status tasks, browser
// launch, import, the Program Settings notebook, the FTP details and About
// windows. The command handler checks each slot before it calls it; a command
// whose slot is empty is disabled in the menus and does nothing.
//
// Everything the command side owns is done before a slot is called: selection
// rules, the busy beep, confirmations and the Vigil's own lock. Unless said
// otherwise a slot is called on the window thread.
struct CommandServices {
    // New Web, New FTP, New Gopher: the kind's settings dialog, then its add task.
    std::function<void(MainWindow&)> newWebVigil;
    std::function<void(MainWindow&)> newFtpVigil;
    std::function<void(MainWindow&)> newGopherVigil;

    // Edit. The window thread holds the Vigil's own lock; the task posts
    // MainWindowEvent::ReleaseVigilLock with the id when it is done.
    std::function<void(MainWindow&, const std::shared_ptr<Vigil>& vigil)> editVigil;

    // Delete, confirmed by the user. The window thread holds each Vigil's lock
    // during the call: the slot asks the check to stop, removes the cache file
    // and takes the Vigil out of vigilList. The handler then removes the row and
    // releases the lock; the Vigil goes with its last holder.
    std::function<void(MainWindow&, std::vector<int> ids)> deleteVigils;

    // Reset Selected, Start Watching Selected, Stop Watching Selected: the
    // Vigils whose lock the window thread took (held during the call).
    std::function<void(MainWindow&, std::vector<int> ids)> resetVigils;
    std::function<void(MainWindow&, std::vector<int> ids)> startWatching;
    std::function<void(MainWindow&, std::vector<int> ids)> stopWatching;

    // Reset All, Stop Watching All, Start Watching All: each called on a worker
    // thread of its own.
    std::function<void()> resetAll;
    std::function<void()> stopWatchingAll;
    std::function<void()> startWatchingAll;

    // Reset Connection, called on a worker thread of its own. The window thread
    // holds the Vigil's lock until the ReleaseVigilLock event the task posts.
    std::function<void(MainWindow&, const std::shared_ptr<Vigil>& vigil)> resetConnection;

    // View (window thread) and View In New Window (a worker thread of its own:
    // the client program start).
    std::function<void(int id, bool newWindow)> viewVigil;
    // The home page, as View opens a page.
    std::function<void(MainWindow&, const std::string& url)> openUrlInBrowser;

    // Paste: the clipboard text, which begins with "http", "ftp" or "gopher"
    // (any case); the slot opens the kind's dialog filled from it.
    std::function<void(MainWindow&, const QString& text)> pasteUrl;

    // Modal windows owned by the main window; each keeps its own placement.
    std::function<void(MainWindow&)> openImport;
    std::function<void(MainWindow&)> openProgramSettings;
    std::function<void(MainWindow&, const std::shared_ptr<Vigil>& vigil)> openFtpDetails;
    std::function<void(MainWindow&)> openAbout;
};

// The program's one set. Fill it before the list is shown (start-up); tests put
// recording functions in place.
CommandServices& commandServices();
