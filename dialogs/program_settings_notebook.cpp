#include "dialogs/program_settings_notebook.h"

#include "dialogs/stored_placement.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <optional>
#include <strings.h>

#include "core/notify_overrides.h"
#include "core/program_settings.h"
#include "core/text_utils.h"
#include "core/vigil.h"
#include "platform/files.h"

namespace {

// Command ids of the pages' buttons.
namespace Cmd {
constexpr int BrowseFtp = 622, BrowseWeb = 629, BrowseGopher = 642;
constexpr int ResetFtp = 673, ResetWeb = 676, ResetGopher = 679;
constexpr int HelpFtp = 675, HelpWeb = 678, HelpGopher = 681;
constexpr int ResetOverrides = 682, HelpOverrides = 684, BrowseOverrideSound = 708;
constexpr int ResetPreferences = 1080, HelpPreferences = 1081;
constexpr int ResetDefaults = 1071, HelpDefaults = 1072;
constexpr int BrowseProgram = 1061, BrowseSound = 1067;
constexpr int ResetProxies = 1002, HelpProxies = 1003;
}  // namespace Cmd

struct HelpPanel {
    int command;
    int panel;
};
const HelpPanel kHelpPanels[] = {
    {Cmd::HelpFtp, 201},         {Cmd::HelpWeb, 202},      {Cmd::HelpGopher, 203},  {Cmd::HelpOverrides, 204},
    {Cmd::HelpPreferences, 205}, {Cmd::HelpDefaults, 206}, {Cmd::HelpProxies, 207},
};

// What differs between the three client pages.
struct ClientPageText {
    const char* tab;
    const char* client;
    const char* params;
    int browseId, resetId, helpId;
    const char* clientName;
    const char* paramsName;
};
const ClientPageText kClientPages[] = {
    {"FTP Settings", "FTP Client", "FTP Client Parameters", Cmd::BrowseFtp, Cmd::ResetFtp, Cmd::HelpFtp,
     "ftpClient", "ftpParams"},
    {"Web Settings", "Web Client", "Web Client Parameters", Cmd::BrowseWeb, Cmd::ResetWeb, Cmd::HelpWeb,
     "webClient", "webParams"},
    {"Gopher Settings", "Gopher Client", "Gopher Client Parameters", Cmd::BrowseGopher,
     Cmd::ResetGopher, Cmd::HelpGopher, "gopherClient", "gopherParams"},
};

// The client settings of one page: program, parameters, and whether each is set.
struct ClientFields {
    std::string SettingsValues::*client;
    bool SettingsValues::*hasClient;
    std::string SettingsValues::*params;
    bool SettingsValues::*hasParams;
};
const ClientFields kClientFields[] = {
    {&SettingsValues::ftpClient, &SettingsValues::hasFtpClient, &SettingsValues::ftpParams,
     &SettingsValues::hasFtpParams},
    {&SettingsValues::webClient, &SettingsValues::hasWebClient, &SettingsValues::webParams,
     &SettingsValues::hasWebParams},
    {&SettingsValues::gopherClient, &SettingsValues::hasGopherClient, &SettingsValues::gopherParams,
     &SettingsValues::hasGopherParams},
};

const QStringList kOverrideItems[] = {
    {"Don't override message boxes", "Show message boxes for all Vigils", "Don't show message boxes for any Vigils"},
    {"Don't override tones", "Play tones for all Vigils", "Don't play tones for any Vigils"},
    {"Don't override sound files", "Play sound file for all Vigils", "Don't play sound files for any Vigils"},
};
const char* const kOverrideNames[] = {"boxOverride", "toneOverride", "soundOverride"};

const char* const kUnits[] = {"Minute(s)", "Hour(s)", "Day(s)"};
const long kUnitSeconds[] = {60, 3600, 86400};

// A spin button that steps through a fixed list of texts; its value is the
// index of the text shown.
class TextSpinButton : public QSpinBox {
public:
    TextSpinButton(const QStringList& items, QWidget* parent) : QSpinBox(parent), items_(items) {
        setRange(0, static_cast<int>(items_.size()) - 1);
        setWrapping(true);
        lineEdit()->setReadOnly(true);
    }

protected:
    QString textFromValue(int value) const override { return items_.value(value); }
    int valueFromText(const QString& text) const override { return std::max(0, static_cast<int>(items_.indexOf(text))); }
    QValidator::State validate(QString& text, int&) const override {
        return items_.contains(text) ? QValidator::Acceptable : QValidator::Invalid;
    }

private:
    QStringList items_;
};


int clampToInt(long long n) {
    return static_cast<int>(std::max<long long>(INT_MIN, std::min<long long>(INT_MAX, n)));
}

QString fromStd(const std::string& s) { return QString::fromStdString(s); }
std::string toStd(const QLineEdit* entry) { return entry->text().toStdString(); }

QLineEdit* entry(const char* name, int maxLength = 0) {
    auto* e = new QLineEdit;
    e->setObjectName(QString::fromLatin1(name));
    if (maxLength > 0) e->setMaxLength(maxLength);
    return e;
}

QLineEdit* numberEntry(const char* name) {
    QLineEdit* e = entry(name);
    e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 12 + 12);
    return e;
}

QCheckBox* checkBox(const QString& text, const char* name) {
    auto* box = new QCheckBox(text);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

}  // namespace

ProgramSettingsNotebook::ProgramSettingsNotebook(QWidget* owner, HelpPanelRequest showHelp)
    : QDialog(owner), showHelp_(std::move(showHelp)) {
    setWindowTitle(QStringLiteral("Tervane Settings Notebook"));
    chooseFile = [this](const QString& title, const QString& filter) {
        return QFileDialog::getOpenFileName(this, title, QString(), filter);
    };

    notebook_ = new QTabWidget(this);
    notebook_->setObjectName(QStringLiteral("notebook"));
    notebook_->tabBar()->setUsesScrollButtons(false);  // every tab in sight
    notebook_->addTab(buildClientPage(FtpPage), QString::fromLatin1(kClientPages[FtpPage].tab));
    notebook_->addTab(buildClientPage(WebPage), QString::fromLatin1(kClientPages[WebPage].tab));
    notebook_->addTab(buildClientPage(GopherPage), QString::fromLatin1(kClientPages[GopherPage].tab));
    notebook_->addTab(buildOverridesPage(), QStringLiteral("Global Overrides"));
    notebook_->addTab(buildPreferencesPage(), QStringLiteral("Preferences"));
    notebook_->addTab(buildDefaultsPage(), QStringLiteral("Defaults"));
    notebook_->addTab(buildProxiesPage(), QStringLiteral("Proxies"));

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(notebook_);

    fill();
}

// ---- Building the pages ----

QWidget* ProgramSettingsNotebook::commandButton(const QString& text, int id) {
    auto* button = new QPushButton(text);
    button->setObjectName(QStringLiteral("command%1").arg(id));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id] { command(id); });
    return button;
}

QWidget* ProgramSettingsNotebook::withResetAndHelp(QWidget* page, int resetId, int helpId) {
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(commandButton(QStringLiteral("Reset"), resetId));
    buttons->addWidget(commandButton(QStringLiteral("Help"), helpId));
    buttons->addStretch(1);
    auto* layout = static_cast<QVBoxLayout*>(page->layout());
    layout->addStretch(1);
    layout->addLayout(buttons);
    return page;
}

namespace {

QWidget* newPage(QVBoxLayout*& layout) {
    auto* page = new QWidget;
    layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 10, 10, 10);
    return page;
}

// A label and its field on one row of a grid.
void labelledRow(QGridLayout* grid, int row, const char* label, QWidget* field, Qt::Alignment align = {}) {
    grid->addWidget(new QLabel(QString::fromLatin1(label)), row, 0);
    grid->addWidget(field, row, 1, align);
}

// An entry with its Browse button on one row.
QHBoxLayout* entryWithButton(QLineEdit* e, QWidget* button) {
    auto* row = new QHBoxLayout;
    row->addWidget(e, 1);
    row->addWidget(button);
    return row;
}

}  // namespace

QWidget* ProgramSettingsNotebook::buildClientPage(ClientPage which) {
    const ClientPageText& t = kClientPages[which];
    QVBoxLayout* layout = nullptr;
    QWidget* page = newPage(layout);
    clientEntry_[which] = entry(t.clientName, 2048);
    paramsEntry_[which] = entry(t.paramsName, 2048);
    layout->addWidget(new QLabel(QString::fromLatin1(t.client)));
    layout->addLayout(entryWithButton(clientEntry_[which], commandButton(QStringLiteral("Browse..."), t.browseId)));
    layout->addSpacing(16);
    layout->addWidget(new QLabel(QString::fromLatin1(t.params)));
    layout->addWidget(paramsEntry_[which]);
    return withResetAndHelp(page, t.resetId, t.helpId);
}

QWidget* ProgramSettingsNotebook::buildOverridesPage() {
    QVBoxLayout* layout = nullptr;
    QWidget* page = newPage(layout);
    for (int i = 0; i < 3; ++i) {
        overrideSpin_[i] = new TextSpinButton(kOverrideItems[i], page);
        overrideSpin_[i]->setObjectName(QString::fromLatin1(kOverrideNames[i]));
        layout->addWidget(overrideSpin_[i]);
        layout->addSpacing(6);
    }
    overrideSound_ = entry("overrideSound", 1024);
    layout->addLayout(entryWithButton(overrideSound_, commandButton(QStringLiteral("Browse..."), Cmd::BrowseOverrideSound)));
    return withResetAndHelp(page, Cmd::ResetOverrides, Cmd::HelpOverrides);
}

QWidget* ProgramSettingsNotebook::buildPreferencesPage() {
    QVBoxLayout* layout = nullptr;
    QWidget* page = newPage(layout);
    checkChanged_ = checkBox(QStringLiteral("Check Vigils after they've changed."), "checkChanged");
    startup_ = checkBox(QStringLiteral("Check all Vigils on program startup"), "startup");
    showSettings_ = checkBox(QStringLiteral("Show Settings Dialog on drag'n'drop only when needed"), "showSettings");
    layout->addWidget(checkChanged_);
    layout->addWidget(startup_);
    layout->addWidget(showSettings_);
    layout->addSpacing(6);

    auto* numbers = new QGridLayout;
    timeOut_ = numberEntry("timeOut");
    maxConn_ = numberEntry("maxConn");
    labelledRow(numbers, 0, "Connection time-out:", timeOut_);
    labelledRow(numbers, 1, "Maximum number of connections:", maxConn_);
    numbers->setColumnStretch(2, 1);
    layout->addLayout(numbers);
    layout->addSpacing(6);

    auto* group = new QGroupBox(QStringLiteral("Email settings"));
    auto* grid = new QGridLayout(group);
    userEmail_ = entry("userEmail", 2048);
    smtpHost_ = entry("smtpHost");
    smtpPort_ = numberEntry("smtpPort");
    labelledRow(grid, 0, "Your email address", userEmail_);
    labelledRow(grid, 1, "SMTP Host", smtpHost_);
    labelledRow(grid, 2, "Port", smtpPort_, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    layout->addWidget(group);
    return withResetAndHelp(page, Cmd::ResetPreferences, Cmd::HelpPreferences);
}

QWidget* ProgramSettingsNotebook::buildDefaultsPage() {
    QVBoxLayout* layout = nullptr;
    QWidget* page = newPage(layout);
    ftpUser_ = entry("ftpUser");
    ftpPassword_ = entry("ftpPassword");
    ftpPassword_->setEchoMode(QLineEdit::Password);
    layout->addWidget(new QLabel(QStringLiteral("Default FTP User Name")));
    layout->addWidget(ftpUser_);
    layout->addWidget(new QLabel(QStringLiteral("Default FTP Password")));
    layout->addWidget(ftpPassword_);
    layout->addSpacing(6);

    auto* every = new QGroupBox(QStringLiteral("Check Every"));
    auto* everyRow = new QHBoxLayout(every);
    interval_ = numberEntry("interval");
    intervalUnit_ = new QComboBox;
    intervalUnit_->setObjectName(QStringLiteral("intervalUnit"));
    for (const char* unit : kUnits) intervalUnit_->addItem(QString::fromLatin1(unit));
    everyRow->addWidget(interval_);
    everyRow->addWidget(intervalUnit_);
    everyRow->addStretch(1);
    layout->addWidget(every);

    auto* notification = new QGroupBox(QStringLiteral("Notification"));
    auto* grid = new QGridLayout(notification);
    runProgram_ = checkBox(QStringLiteral("Execute program:"), "runProgram");
    program_ = entry("program");
    messageBox_ = checkBox(QStringLiteral("Message box"), "messageBox");
    tone_ = checkBox(QStringLiteral("Play tone"), "tone");
    sound_ = checkBox(QStringLiteral("Play sound file:"), "sound");
    soundFile_ = entry("soundFile");
    email_ = checkBox(QStringLiteral("Send email to"), "email");
    emailList_ = entry("emailList");
    grid->addWidget(runProgram_, 0, 0);
    grid->addWidget(program_, 0, 1);
    grid->addWidget(commandButton(QStringLiteral("Browse..."), Cmd::BrowseProgram), 0, 2);
    grid->addWidget(messageBox_, 1, 0);
    grid->addWidget(tone_, 2, 0);
    grid->addWidget(sound_, 3, 0);
    grid->addWidget(soundFile_, 3, 1);
    grid->addWidget(commandButton(QStringLiteral("Browse..."), Cmd::BrowseSound), 3, 2);
    grid->addWidget(email_, 4, 0);
    grid->addWidget(emailList_, 4, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(notification);
    return withResetAndHelp(page, Cmd::ResetDefaults, Cmd::HelpDefaults);
}

QWidget* ProgramSettingsNotebook::buildProxiesPage() {
    QVBoxLayout* layout = nullptr;
    QWidget* page = newPage(layout);
    auto* group = new QGroupBox(QStringLiteral("HTTP Proxy"));
    auto* grid = new QGridLayout(group);
    useProxy_ = checkBox(QStringLiteral("Use HTTP Proxy"), "useProxy");
    proxyHost_ = entry("proxyHost");
    proxyPort_ = numberEntry("proxyPort");
    // '&' marks a shortcut key in a button text; doubled it shows itself.
    proxyNeeds_ = checkBox(QStringLiteral("Needs User Name && Password"), "proxyNeeds");
    proxyUser_ = entry("proxyUser");
    proxyPass_ = entry("proxyPass");
    proxyPass_->setEchoMode(QLineEdit::Password);
    grid->addWidget(useProxy_, 0, 0, 1, 2);
    labelledRow(grid, 1, "Host", proxyHost_);
    labelledRow(grid, 2, "Port", proxyPort_, Qt::AlignLeft);
    grid->setRowMinimumHeight(3, 8);
    grid->addWidget(proxyNeeds_, 4, 0, 1, 2);
    labelledRow(grid, 5, "User Name", proxyUser_);
    labelledRow(grid, 6, "Password", proxyPass_);
    grid->setColumnStretch(1, 1);
    layout->addWidget(group);
    return withResetAndHelp(page, Cmd::ResetProxies, Cmd::HelpProxies);
}

// ---- Filling and Reset ----

void ProgramSettingsNotebook::fill() {
    const SettingsValues s = ProgramSettings::snapshot();
    for (int page = FtpPage; page <= GopherPage; ++page) {
        const ClientFields& f = kClientFields[page];
        clientEntry_[page]->setText(fromStd(s.*f.client));
        paramsEntry_[page]->setText(fromStd(s.*f.params));
    }
    resetOverrides();
    const GlobalOverrides overrides = NotifyOverrides::current();
    overrideSound_->setText(fromStd(overrides.overrideSoundFile.value_or(std::string())));
    resetPreferences();
    showSettings_->setChecked(s.showSettings);
    ftpUser_->setText(fromStd(s.ftpUser));
    ftpPassword_->setText(fromStd(s.ftpPassword));
    showDefaults();
    resetProxies();
    if (s.proxyFromCommandLine) {
        for (QWidget* w : std::initializer_list<QWidget*>{useProxy_, proxyHost_, proxyPort_, proxyNeeds_, proxyUser_,
                                                          proxyPass_})
            w->setEnabled(false);
    }
}

void ProgramSettingsNotebook::resetClientPage(ClientPage page) {
    const SettingsValues s = ProgramSettings::snapshot();
    const ClientFields& f = kClientFields[page];
    // The FTP client is always put back; the others only when there is one.
    if (page == FtpPage || s.*f.hasClient) clientEntry_[page]->setText(fromStd(s.*f.client));
    if (s.*f.hasParams) paramsEntry_[page]->setText(fromStd(s.*f.params));
}

void ProgramSettingsNotebook::resetOverrides() {
    const GlobalOverrides o = NotifyOverrides::current();
    overrideSpin_[0]->setValue(overridePosition(o.showAllBoxes, o.showNoBoxes));
    overrideSpin_[1]->setValue(overridePosition(o.playAllTones, o.playNoTones));
    overrideSpin_[2]->setValue(overridePosition(o.playAllSounds, o.playNoSounds));
}

void ProgramSettingsNotebook::resetPreferences() {
    const SettingsValues s = ProgramSettings::snapshot();
    timeOut_->setText(QString::number(s.timeOutMs / 1000));
    maxConn_->setText(QString::number(s.maxConn));
    startup_->setChecked(s.startup);
    checkChanged_->setChecked(s.checkChanged);
    smtpHost_->setText(fromStd(s.smtpHost));
    userEmail_->setText(fromStd(s.userEmail));
    smtpPort_->setText(QString::number(s.smtpPort));
}

void ProgramSettingsNotebook::showDefaults() {
    const SettingsValues s = ProgramSettings::snapshot();
    const long seconds = s.defCheckInterval;
    int unit = 0;
    if (seconds % 86400 == 0) unit = 2;
    else if (seconds % 3600 == 0) unit = 1;
    interval_->setText(QString::number(seconds / kUnitSeconds[unit]));
    intervalUnit_->setCurrentIndex(unit);

    tone_->setChecked(s.defNotify & NotifyFlags::Tone);
    sound_->setChecked(s.defNotify & NotifyFlags::SoundFile);
    runProgram_->setChecked(s.defNotify & NotifyFlags::Program);
    messageBox_->setChecked(s.defNotify & NotifyFlags::MessageBox);
    email_->setChecked(!s.defEmail.empty());
    emailList_->setText(fromStd(s.defEmail));
    program_->setText(fromStd(s.defCmd));
    soundFile_->setText(fromStd(s.defSoundFile));
}

void ProgramSettingsNotebook::resetProxies() {
    const SettingsValues s = ProgramSettings::snapshot();
    useProxy_->setChecked(s.useHttpProxy);
    proxyNeeds_->setChecked(s.httpProxyNeeds);
    proxyHost_->setText(fromStd(s.httpProxyHost));
    proxyPort_->setText(QString::number(s.httpProxyPort));
    proxyUser_->setText(fromStd(s.httpProxyUser));
    proxyPass_->setText(fromStd(s.httpProxyPass));
}

// ---- Commands ----

bool ProgramSettingsNotebook::command(int id) {
    for (const HelpPanel& h : kHelpPanels) {
        if (h.command != id) continue;
        if (showHelp_) showHelp_(h.panel);
        return true;
    }
    switch (id) {
        case Cmd::BrowseFtp: browseClient(FtpPage); return true;
        case Cmd::BrowseWeb: browseClient(WebPage); return true;
        case Cmd::BrowseGopher: browseClient(GopherPage); return true;
        case Cmd::ResetFtp: resetClientPage(FtpPage); return true;
        case Cmd::ResetWeb: resetClientPage(WebPage); return true;
        case Cmd::ResetGopher: resetClientPage(GopherPage); return true;
        case Cmd::ResetOverrides: resetOverrides(); return true;
        case Cmd::BrowseOverrideSound:
            browseFile(overrideSound_, QStringLiteral("Select A Sound File"), QStringLiteral("*.wav"));
            return true;
        case Cmd::ResetPreferences: resetPreferences(); return true;
        case Cmd::ResetDefaults: showDefaults(); return true;
        case Cmd::BrowseProgram:
            browseFile(program_, QStringLiteral("Select A Program"), QString());
            return true;
        case Cmd::BrowseSound:
            browseFile(soundFile_, QStringLiteral("Select A Sound File"), QString());
            return true;
        case Cmd::ResetProxies: resetProxies(); return true;
        default: return false;
    }
}

void ProgramSettingsNotebook::browseClient(ClientPage page) {
    const std::string path = chooseFile(QString::fromLatin1(kClientPages[page].client), QString()).toStdString();
    if (path.empty() || !fileReadable(path)) return;
    clientEntry_[page]->setText(fromStd(path));
    clientEntry_[page]->setModified(true);

    const size_t slash = path.find_last_of("/\\");
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    for (const ProgramSettings::ClientParam& known : ProgramSettings::clientParams()) {
        if (known.first.empty() || strcasecmp(known.first.c_str(), base.c_str()) != 0) continue;
        paramsEntry_[page]->setText(fromStd(known.second));
        paramsEntry_[page]->setModified(true);
        return;
    }
}

void ProgramSettingsNotebook::browseFile(QLineEdit* target, const QString& title, const QString& filter) {
    const QString path = chooseFile(title, filter);
    if (!path.isEmpty()) target->setText(path);
}

// ---- Apply on close ----

void ProgramSettingsNotebook::apply() {
    NotifyOverrides::update([this](GlobalOverrides& o) {
        setOverridePosition(overrideSpin_[0]->value(), o.showAllBoxes, o.showNoBoxes);
        setOverridePosition(overrideSpin_[1]->value(), o.playAllTones, o.playNoTones);
        setOverridePosition(overrideSpin_[2]->value(), o.playAllSounds, o.playNoSounds);
        if (o.playAllSounds) o.overrideSoundFile = toStd(overrideSound_);
    });

    auto changedOnly = [](const QLineEdit* e, std::string& value, bool& has) {
        if (!e->isModified()) return;
        value = toStd(e);
        has = true;
    };

    // The proxy is replaced in one step, as the Web checks copy it.
    ProgramSettings::update([&](SettingsValues& s) {
        // Client programs are kept as typed: file names here are case-sensitive.
        for (int page = FtpPage; page <= GopherPage; ++page) {
            const ClientFields& f = kClientFields[page];
            changedOnly(clientEntry_[page], s.*f.client, s.*f.hasClient);
            changedOnly(paramsEntry_[page], s.*f.params, s.*f.hasParams);
        }

        s.startup = startup_->isChecked();
        if (auto n = leadingNumber(timeOut_->text().toStdString()); n && *n >= 0)
            s.timeOutMs = *n > 2147483 ? INT_MAX : static_cast<int>(*n * 1000);
        if (auto n = leadingNumber(maxConn_->text().toStdString())) s.maxConn = clampToInt(*n);
        s.showSettings = showSettings_->isChecked();
        s.checkChanged = checkChanged_->isChecked();
        s.userEmail = toStd(userEmail_);
        s.smtpHost = toStd(smtpHost_);
        if (auto n = leadingNumber(smtpPort_->text().toStdString())) s.smtpPort = static_cast<uint16_t>(*n);

        changedOnly(ftpUser_, s.ftpUser, s.hasFtpUser);
        changedOnly(ftpPassword_, s.ftpPassword, s.hasFtpPassword);

        // The proxy given on the command line stays as it was given.
        if (!s.proxyFromCommandLine) {
            s.useHttpProxy = useProxy_->isChecked();
            if (s.useHttpProxy) {
                s.httpProxyHost = toStd(proxyHost_);
                if (proxyPort_->isModified())
                    s.httpProxyPort = static_cast<uint16_t>(leadingNumber(toStd(proxyPort_)).value_or(0));
            } else {
                s.httpProxyHost.clear();
            }
            s.httpProxyNeeds = proxyNeeds_->isChecked();
            if (s.httpProxyNeeds && s.useHttpProxy) {
                if (proxyUser_->isModified()) s.httpProxyUser = toStd(proxyUser_);
                if (proxyPass_->isModified()) s.httpProxyPass = toStd(proxyPass_);
                s.proxyAuthorization = base64Encode(s.httpProxyUser + ":" + s.httpProxyPass);
            } else {
                s.httpProxyUser.clear();
                s.httpProxyPass.clear();
                s.proxyAuthorization.clear();
            }
        }

        uint16_t notify = 0;
        if (runProgram_->isChecked() && !program_->text().isEmpty()) {
            notify |= NotifyFlags::Program;
            s.defCmd = toStd(program_);
        }
        if (sound_->isChecked() && !soundFile_->text().isEmpty()) {
            notify |= NotifyFlags::SoundFile;
            s.defSoundFile = toStd(soundFile_);
        }
        if (tone_->isChecked()) notify |= NotifyFlags::Tone;
        if (messageBox_->isChecked()) notify |= NotifyFlags::MessageBox;
        if (email_->isChecked()) {
            notify |= NotifyFlags::Email;
            s.defEmail = toStd(emailList_);
        } else {
            s.defEmail.clear();
        }
        s.defNotify = notify;

        // "5 min" reads as 5; a negative count or no number leaves the default.
        if (auto n = leadingNumber(interval_->text().toStdString()); n && *n >= 0)
            s.defCheckInterval =
                clampToInt(clampToInt(*n) * static_cast<long long>(kUnitSeconds[std::max(0, intervalUnit_->currentIndex())]));
    });
}

// ---- Opening ----

void openProgramSettingsNotebook(QWidget* owner, const std::string& profileName, HelpPanelRequest showHelp) {
    ProgramSettingsNotebook notebook(owner, std::move(showHelp));
    showAtStoredPlace(notebook, &SettingsValues::globSettings, [&notebook] { return notebook.exec(); });
    notebook.apply();
    ProgramSettings::save(profileName);
}
