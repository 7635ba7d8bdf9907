#pragma once
#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;
class QTabWidget;

// Shows a help panel by its number (the main window's help window).
using HelpPanelRequest = std::function<void(int panel)>;

// The Program Settings notebook: seven pages (FTP, Web and Gopher clients, the
// notification overrides, preferences, defaults for new Vigils, the HTTP proxy).
// There is no OK or Cancel; closing the window applies every page. Each entry
// remembers whether the user typed into it, and the client, parameter and
// default FTP login entries are applied only then, so a value nobody touched is
// never rewritten from the entry. Window thread only.
class ProgramSettingsNotebook : public QDialog {
public:
    ProgramSettingsNotebook(QWidget* owner, HelpPanelRequest showHelp = {});

    // The pages into ProgramSettings and the notification overrides.
    void apply();
    // The "Check Every" and "Notification" groups from the settings.
    void showDefaults();
    // One command of the pages by its id (Browse, Reset, Help); false for an id
    // that is not the notebook's.
    bool command(int id);

    QTabWidget* notebook() const { return notebook_; }

    // Asks for a file to open: title, name filter; empty when cancelled. A file
    // dialog unless replaced (tests).
    std::function<QString(const QString& title, const QString& filter)> chooseFile;

private:
    enum ClientPage { FtpPage, WebPage, GopherPage };

    QWidget* buildClientPage(ClientPage page);
    QWidget* buildOverridesPage();
    QWidget* buildPreferencesPage();
    QWidget* buildDefaultsPage();
    QWidget* buildProxiesPage();
    QWidget* withResetAndHelp(QWidget* page, int resetId, int helpId);
    QWidget* commandButton(const QString& text, int id);

    void fill();
    void resetClientPage(ClientPage page);
    void resetOverrides();
    void resetPreferences();
    void resetProxies();
    void browseClient(ClientPage page);
    void browseFile(QLineEdit* entry, const QString& title, const QString& filter);

    HelpPanelRequest showHelp_;
    QTabWidget* notebook_ = nullptr;
    QLineEdit* clientEntry_[3] = {};
    QLineEdit* paramsEntry_[3] = {};
    QSpinBox* overrideSpin_[3] = {};  // message boxes, tones, sound files
    QLineEdit* overrideSound_ = nullptr;
    QCheckBox* checkChanged_ = nullptr;
    QCheckBox* startup_ = nullptr;
    QCheckBox* showSettings_ = nullptr;
    QLineEdit* timeOut_ = nullptr;
    QLineEdit* maxConn_ = nullptr;
    QLineEdit* userEmail_ = nullptr;
    QLineEdit* smtpHost_ = nullptr;
    QLineEdit* smtpPort_ = nullptr;
    QLineEdit* ftpUser_ = nullptr;
    QLineEdit* ftpPassword_ = nullptr;
    QLineEdit* interval_ = nullptr;
    QComboBox* intervalUnit_ = nullptr;
    QCheckBox* runProgram_ = nullptr;
    QLineEdit* program_ = nullptr;
    QCheckBox* messageBox_ = nullptr;
    QCheckBox* tone_ = nullptr;
    QCheckBox* sound_ = nullptr;
    QLineEdit* soundFile_ = nullptr;
    QCheckBox* email_ = nullptr;
    QLineEdit* emailList_ = nullptr;
    QCheckBox* useProxy_ = nullptr;
    QLineEdit* proxyHost_ = nullptr;
    QLineEdit* proxyPort_ = nullptr;
    QCheckBox* proxyNeeds_ = nullptr;
    QLineEdit* proxyUser_ = nullptr;
    QLineEdit* proxyPass_ = nullptr;
};

// Opens the notebook owned by owner at its stored "glob settings" position and
// size, modally; afterwards stores where it was, applies the pages and writes
// the settings profile.
void openProgramSettingsNotebook(QWidget* owner, const std::string& profileName = "VGW.INI",
                                 HelpPanelRequest showHelp = {});
