#include "app/command_wiring.h"

#include <QString>
#include <memory>
#include <string>
#include <utility>

#include "app/browser_launch.h"
#include "app/command_services.h"
#include "app/info_window.h"
#include "app/main_window.h"
#include "app/main_window_handler.h"
#include "app/vigil_tasks.h"
#include "core/program_settings.h"
#include "core/settings_records.h"
#include "core/ftp_vigil.h"
#include "core/gopher_vigil.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/web_vigil.h"
#include "dialogs/dialog_help.h"
#include "dialogs/ftp_details_window.h"
#include "dialogs/ftp_settings_dialog.h"
#include "dialogs/gopher_settings_dialog.h"
#include "dialogs/program_settings_notebook.h"
#include "dialogs/stored_placement.h"
#include "dialogs/web_settings_dialog.h"
#include "import/import_window.h"
#include "platform/ascii_text.h"
#include "platform/thread.h"

namespace {

void showHelp(int panel) {
    if (mainWindow) mainWindow->showHelpPanel(panel);
}

// One kind's dialog, its stored place and its add task.
template <class Dialog, class Record>
struct Kind {
    int titleId;
    WindowPlacement SettingsValues::*place;
    std::shared_ptr<Vigil> (*add)(Record);
};

// target: a SettingsTarget, or the Vigil to edit.
template <class Dialog, class Record, class Target>
int runDialog(const Kind<Dialog, Record>& kind, Target target, Record& record, QWidget* owner) {
    Dialog dialog(kind.titleId, target, &record, owner);
    return showAtStoredPlace(dialog, kind.place, [&dialog] { return dialog.showModally(); });
}

// New: an empty record, the dialog, and on OK the add task on a thread of its own.
template <class Dialog, class Record>
void newVigil(const Kind<Dialog, Record>& kind, MainWindow& window, Record record) {
    if (runDialog(kind, SettingsTarget::NewVigil, record, &window) != EditDialogs::Ok) return;
    auto add = kind.add;
    auto task = [add, owned = std::make_shared<Record>(std::move(record))] { add(std::move(*owned)); };
    if (!startDetachedThread(task)) task();
}

// Paste: the record filled from the URL, the dialog, and on OK the add task here.
template <class Dialog, class Record>
void pastedVigil(const Kind<Dialog, Record>& kind, MainWindow& window, Record record) {
    if (runDialog(kind, SettingsTarget::PastedUrl, record, &window) == EditDialogs::Ok) kind.add(std::move(record));
}

std::shared_ptr<Vigil> addWeb(WebSettingsRecord r) { return VigilTasks::addWebVigil(std::move(r)); }
std::shared_ptr<Vigil> addFtp(FtpSettingsRecord r) { return VigilTasks::addFtpVigil(std::move(r)); }
std::shared_ptr<Vigil> addGopher(GopherSettingsRecord r) { return VigilTasks::addGopherVigil(std::move(r)); }

const Kind<WebSettingsDialog, WebSettingsRecord> webKind{SettingsTitle::Web, &SettingsValues::newWeb, addWeb};
const Kind<FtpSettingsDialog, FtpSettingsRecord> ftpKind{SettingsTitle::Ftp, &SettingsValues::newFtp, addFtp};
const Kind<GopherSettingsDialog, GopherSettingsRecord> gopherKind{SettingsTitle::Gopher, &SettingsValues::newGopher,
                                                                   addGopher};

void pasteUrl(MainWindow& window, const QString& text) {
    const std::string url = text.toStdString();
    const int interval = ProgramSettings::snapshot().defCheckInterval;
    if (startsWithNoCase(url, "http")) {
        pastedVigil(webKind, window, std::move(*webSettingsFromUrl(url)));
    } else if (startsWithNoCase(url, "ftp")) {
        FtpSettingsRecord record = std::move(*ftpSettingsFromUrl(url));
        record.interval = interval;
        pastedVigil(ftpKind, window, std::move(record));
    } else if (startsWithNoCase(url, "gopher")) {
        GopherSettingsRecord record = std::move(*gopherSettingsFromUrl(url));
        record.interval = interval;
        pastedVigil(gopherKind, window, std::move(record));
    }
}

void setStatusOf(const std::vector<int>& ids, int status) {
    for (int id : ids)
        if (const std::shared_ptr<Vigil> vigil = vigilList().find(id)) vigil->setStatus(status, true);
}

// Start and Stop Watching are the user's choice and are kept at once.
void setWatching(const std::vector<int>& ids, int status) {
    setStatusOf(ids, status);
    requestVigilSave();
}

void setWatchingAll(int status) {
    VigilTasks::setStatusAll(status);
    requestVigilSave();
}

}  // namespace

void installCommandServices() {
    CommandServices& s = commandServices();
    s.newWebVigil = [](MainWindow& w) {
        WebSettingsRecord record;
        record.options = 1;  // ignore all HTML tags
        newVigil(webKind, w, std::move(record));
    };
    s.newFtpVigil = [](MainWindow& w) { newVigil(ftpKind, w, FtpSettingsRecord{}); };
    s.newGopherVigil = [](MainWindow& w) { newVigil(gopherKind, w, GopherSettingsRecord{}); };
    s.pasteUrl = pasteUrl;
    s.editVigil = [](MainWindow&, const std::shared_ptr<Vigil>& vigil) { VigilTasks::editSettings(vigil); };
    s.deleteVigils = [](MainWindow&, std::vector<int> ids) {
        for (int id : ids) VigilTasks::removeVigil(id);
        requestVigilSave();
    };
    s.resetVigils = [](MainWindow&, std::vector<int> ids) {
        setStatusOf(ids, VigilStatus::NoChange);
        requestVigilSave();
    };
    s.startWatching = [](MainWindow&, std::vector<int> ids) { setWatching(ids, VigilStatus::StartWatching); };
    s.stopWatching = [](MainWindow&, std::vector<int> ids) { setWatching(ids, VigilStatus::Inactive); };
    s.resetAll = [] {
        VigilTasks::setStatusAll(VigilStatus::NoChange);
        requestVigilSave();
    };
    s.stopWatchingAll = [] { setWatchingAll(VigilStatus::Inactive); };
    s.startWatchingAll = [] { setWatchingAll(VigilStatus::StartWatching); };
    s.resetConnection = [](MainWindow&, const std::shared_ptr<Vigil>& v) { VigilTasks::resetConnection(v); };
    s.viewVigil = [](int id, bool newWindow) {
        const std::shared_ptr<Vigil> vigil = vigilList().find(id);
        if (!vigil) return;
        if (newWindow)
            runClientProgram(*vigil);
        else
            viewVigil(*vigil);
        requestVigilSave();
    };
    s.openUrlInBrowser = [](MainWindow&, const std::string& url) { openUrlInBrowser(url); };
    s.openImport = [](MainWindow& w) { openImportWindow(&w, vigilList()); };
    s.openProgramSettings = [](MainWindow& w) {
        openProgramSettingsNotebook(&w, w.settingsFileName(), showHelp);
    };
    s.openFtpDetails = [](MainWindow& w, const std::shared_ptr<Vigil>& v) { openFtpDetailsWindow(&w, v); };
    s.openAbout = [](MainWindow& w) { showAboutWindow(&w); };

    EditDialogs& edit = editDialogs();
    edit.web = [](const WebVigil& v, WebSettingsRecord& r) { return runDialog(webKind, &v, r, mainWindow); };
    edit.ftp = [](const FtpVigil& v, FtpSettingsRecord& r) { return runDialog(ftpKind, &v, r, mainWindow); };
    edit.gopher = [](const GopherVigil& v, GopherSettingsRecord& r) {
        return runDialog(gopherKind, &v, r, mainWindow);
    };

    StartupHooks& startup = startupHooks();
    startup.enableCommands = [] {
        if (mainWindow) mainWindow->enableCommands();
    };
    startup.welcome = [] {
        if (mainWindow) showWelcomeWindow(mainWindow, [] { openImportWindow(mainWindow, vigilList()); });
    };

    dialogHelpHandler() = showHelp;
    importServices().showHelp = showHelp;
    importServices().vigilAdded = announceVigilAdded;
}
