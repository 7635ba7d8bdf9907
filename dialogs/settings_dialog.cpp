#include "dialogs/settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "core/program_settings.h"
#include "core/text_utils.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "dialogs/dialog_help.h"
#include "net/protocol_text.h"
#include "platform/qt/display_text.h"
#include "platform/qt/plain_message_box.h"

namespace {

constexpr int kEntryLimit = 2048;
constexpr int kMargin = 10;
constexpr int kFieldWidth = 320;
constexpr int kNotifyEntryWidth = 260;

// Seconds of "Minute(s)", "Hour(s)" and "Day(s)", in the order of the combo box.
constexpr int32_t kUnitSeconds[] = {60, 3600, 86400};

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

QString settingsTitleText(int titleId, const QString& fallback) {
    switch (titleId) {
    case SettingsTitle::Gopher:
        return QStringLiteral("Gopher Settings");
    case SettingsTitle::Web:
        return QStringLiteral("Web Settings");
    case SettingsTitle::Ftp:
        return QStringLiteral("FTP Settings");
    default:
        return fallback;
    }
}

// ---- ModalDialog

ModalDialog::ModalDialog(const QString& title, QWidget* owner) : QDialog(owner) {
    setWindowTitle(title);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    grey.setColor(QPalette::WindowText, Qt::black);
    setPalette(grey);
    setAutoFillBackground(true);
}

int ModalDialog::showModally() {
    return exec() == DialogResult::Ok ? DialogResult::Ok : DialogResult::Cancel;
}

void ModalDialog::reject() {
    done(DialogResult::Cancel);
}

QVBoxLayout* ModalDialog::makeClientLayout() {
    auto* client = new QVBoxLayout(this);
    client->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    return client;
}

QPushButton* ModalDialog::addButton(QBoxLayout* row, const QString& text, const QString& name) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    row->addWidget(button);
    return button;
}

void ModalDialog::addOkCancel(QBoxLayout* row, const std::function<void()>& ok) {
    QPushButton* okButton = addButton(row, QStringLiteral("OK"), QStringLiteral("ok"));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, ok);
    QPushButton* cancel = addButton(row, QStringLiteral("Cancel"), QStringLiteral("cancel"));
    connect(cancel, &QPushButton::clicked, this, &ModalDialog::reject);
}

void ModalDialog::addOkCancelRow(QVBoxLayout* client, const std::function<void()>& ok) {
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    addOkCancel(buttons, ok);
    client->addLayout(buttons);
}

// ---- ListEditor

std::vector<std::string> namesFromLines(const QString& text) {
    std::vector<std::string> names;
    for (QString line : text.split(QLatin1Char('\n'))) {
        const qsizetype cr = line.indexOf(QLatin1Char('\r'));
        if (cr >= 0) line.truncate(cr);
        if (!line.isEmpty()) names.push_back(line.toStdString());
    }
    return names;
}

void ListEditor::show(const std::vector<std::string>& list) {
    QStringList lines;
    for (const std::string& name : list) {
        if (!name.empty()) lines << fromStd(name);
    }
    box_->setChecked(!list.empty());
    shown_ = lines.join(QLatin1Char('\n'));
    edit_->setPlainText(shown_);
}

bool ListEditor::textChanged() const {
    return edit_->toPlainText() != shown_;
}

void ListEditor::apply(std::vector<std::string>& list, int32_t& changed) const {
    if (!textChanged() && (box_->isChecked() || list.empty())) return;
    if (box_->isChecked()) {
        changed = 1;
        list = namesFromLines(edit_->toPlainText());
    } else if (!list.empty()) {
        changed = 1;
        list.clear();
    }
}

// ---- VigilSettingsDialog

VigilSettingsDialog::VigilSettingsDialog(const QString& title, int target, int helpPanel,
                                         QWidget* owner)
    : ModalDialog(title, owner), target_(target), helpPanel_(helpPanel) {
    QVBoxLayout* client = makeClientLayout();
    fields_ = new QGridLayout;
    fields_->setColumnStretch(1, 1);
    client->addLayout(fields_);
}

QLineEdit* VigilSettingsDialog::addField(const QString& label, const QString& name, bool limited) {
    auto* entry = new QLineEdit(this);
    entry->setObjectName(name);
    entry->setMinimumWidth(kFieldWidth);
    if (limited) entry->setMaxLength(kEntryLimit);
    auto* text = new QLabel(label, this);
    text->setBuddy(entry);
    fields_->addWidget(text, fieldRow_, 0);
    fields_->addWidget(entry, fieldRow_, 1);
    ++fieldRow_;
    return entry;
}

void VigilSettingsDialog::addFieldGap() {
    fields_->setRowMinimumHeight(fieldRow_++, kMargin);
}

void VigilSettingsDialog::finishLayout(bool withMore) {
    auto* client = static_cast<QVBoxLayout*>(layout());

    auto* every = new QGroupBox(QStringLiteral("Check Every"), this);
    auto* everyRow = new QHBoxLayout(every);
    interval_ = new QLineEdit(every);
    interval_->setObjectName(QStringLiteral("interval"));
    interval_->setMaximumWidth(90);
    unit_ = new QComboBox(every);
    unit_->setObjectName(QStringLiteral("unit"));
    unit_->addItems({QStringLiteral("Minute(s)"), QStringLiteral("Hour(s)"), QStringLiteral("Day(s)")});
    everyRow->addWidget(interval_);
    everyRow->addWidget(unit_);
    everyRow->addStretch(1);
    client->addWidget(every);

    auto* notify = new QGroupBox(QStringLiteral("Notification"), this);
    auto* grid = new QGridLayout(notify);
    grid->setColumnStretch(1, 1);
    auto box = [&](const QString& text, const QString& name, int row) {
        auto* check = new QCheckBox(text, notify);
        check->setObjectName(name);
        grid->addWidget(check, row, 0);
        return check;
    };
    auto entry = [&](const QString& name, int row) {
        auto* e = new QLineEdit(notify);
        e->setObjectName(name);
        e->setMaxLength(kEntryLimit);
        e->setMinimumWidth(kNotifyEntryWidth);
        grid->addWidget(e, row, 1);
        return e;
    };
    auto browse = [&](const QString& name, int row) {
        auto* b = new QPushButton(QStringLiteral("Browse..."), notify);
        b->setObjectName(name);
        b->setAutoDefault(false);
        grid->addWidget(b, row, 2);
        return b;
    };
    programBox_ = box(QStringLiteral("Execute program:"), QStringLiteral("programBox"), 0);
    program_ = entry(QStringLiteral("program"), 0);
    connect(browse(QStringLiteral("programBrowse"), 0), &QPushButton::clicked, this,
            &VigilSettingsDialog::browseProgram);
    messageBox_ = box(QStringLiteral("Message box"), QStringLiteral("messageBox"), 1);
    toneBox_ = box(QStringLiteral("Play tone"), QStringLiteral("toneBox"), 2);
    soundBox_ = box(QStringLiteral("Play sound file:"), QStringLiteral("soundBox"), 3);
    sound_ = entry(QStringLiteral("soundFile"), 3);
    connect(browse(QStringLiteral("soundBrowse"), 3), &QPushButton::clicked, this,
            &VigilSettingsDialog::browseSound);
    emailBox_ = box(QStringLiteral("Send email to"), QStringLiteral("emailBox"), 4);
    email_ = entry(QStringLiteral("email"), 4);
    client->addWidget(notify);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    if (withMore) {
        connect(addButton(buttons, QStringLiteral("More..."), QStringLiteral("more")),
                &QPushButton::clicked, this, [this] { openMore(); });
    }
    addOkCancel(buttons, [this] { ok(); });
    connect(addButton(buttons, QStringLiteral("Help"), QStringLiteral("help")), &QPushButton::clicked,
            this, [this] { showDialogHelp(helpPanel_); });
    client->addSpacing(kMargin / 2);
    client->addLayout(buttons);

    adjustSize();
}

void VigilSettingsDialog::showInterval(int32_t seconds) {
    // Under a minute would show (and store) 0 minutes: checking would stop.
    if (seconds > 0 && seconds < 60) seconds = 60;
    int32_t shown = seconds / 60;
    int unit = 0;
    if (seconds % 86400 == 0) {
        shown = seconds / 86400;
        unit = 2;
    } else if (seconds % 3600 == 0) {
        shown = seconds / 3600;
        unit = 1;
    }
    interval_->setText(QString::number(shown));
    unit_->setCurrentIndex(unit);
}

void VigilSettingsDialog::showNotifications(const Vigil& vigil, const std::optional<std::string>& program) {
    const uint16_t flags = vigil.flags();
    programBox_->setChecked(flags & NotifyFlags::Program);
    messageBox_->setChecked(flags & NotifyFlags::MessageBox);
    toneBox_->setChecked(flags & NotifyFlags::Tone);
    soundBox_->setChecked(flags & NotifyFlags::SoundFile);
    emailBox_->setChecked(flags & NotifyFlags::Email);
    showStored(program_, program.value_or(std::string()));
    showStored(sound_, (flags & NotifyFlags::SoundFile) ? vigil.soundFile().value_or(std::string()) : std::string());
    std::string addresses;
    for (const std::string& address : vigil.emailAddresses())
        addresses += (addresses.empty() ? "" : " ") + address;
    showStored(email_, addresses);
    intervalOn_ = vigil.intervalMode() == IntervalMode::On;
    showInterval(vigil.interval());
}

void VigilSettingsDialog::showDefaults() {
    const SettingsValues s = ProgramSettings::snapshot();
    showInterval(s.defCheckInterval);
    programBox_->setChecked(s.defNotify & NotifyFlags::Program);
    messageBox_->setChecked(s.defNotify & NotifyFlags::MessageBox);
    toneBox_->setChecked(s.defNotify & NotifyFlags::Tone);
    soundBox_->setChecked(s.defNotify & NotifyFlags::SoundFile);
    emailBox_->setChecked(s.defNotify & NotifyFlags::Email);
    sound_->setText((s.defNotify & NotifyFlags::SoundFile) ? fromStd(s.defSoundFile) : QString());
    program_->setText(fromStd(s.defCmd));
    email_->setText(fromStd(s.defEmail));
}

void VigilSettingsDialog::showServer(const Vigil& vigil, QLineEdit* host, QLineEdit* port) {
    showStored(description_, vigil.description());
    showStored(host, vigil.host());
    port->setText(QString::number(vigil.port()));
}

std::optional<QString> VigilSettingsDialog::descriptionProblem() const {
    if (description_->text().isEmpty()) return QStringLiteral("Must enter a description");
    return std::nullopt;
}

std::optional<QString> VigilSettingsDialog::serverProblem(const QLineEdit* host, const QLineEdit* port) const {
    if (auto problem = descriptionProblem()) return problem;
    if (host->text().isEmpty() || hasControlCharacter(entryText(host))) return QStringLiteral("Must enter a host name");
    // A text that is no port number would leave the Vigil on port 0 or on a
    // number cut to 16 bits, so it is refused like an empty entry.
    const std::optional<long long> number = leadingNumber(port->text().toStdString());
    if (port->text().isEmpty() || !number || *number < 1 || *number > 65535) {
        return QStringLiteral("Must enter a port");
    }
    return std::nullopt;
}

std::optional<QString> VigilSettingsDialog::controlProblem(const QLineEdit* entry, const QString& message) const {
    if (hasControlCharacter(entryText(entry))) return message;
    return std::nullopt;
}

std::optional<QString> VigilSettingsDialog::intervalProblem(bool positiveOnly) const {
    const QString message = QStringLiteral("Must enter a valid \"Check every\" value");
    // "5 min" reads as 5; an entry that starts with no number is no interval.
    const std::optional<long long> read = leadingNumber(interval_->text().toStdString());
    if (!read || *read < 0) return message;
    const long long number = *read;
    if (number == 0 && (positiveOnly || intervalOn_)) return message;
    if (unit_->currentIndex() < 0 || unit_->currentIndex() > 2) return message;
    // An interval that does not fit the stored seconds would wrap to another value.
    if (number > std::numeric_limits<int32_t>::max() / kUnitSeconds[unit_->currentIndex()]) return message;
    return std::nullopt;
}

int32_t VigilSettingsDialog::intervalSeconds() const {
    const long long number = leadingNumber(interval_->text().toStdString()).value_or(0);
    return static_cast<int32_t>(number * kUnitSeconds[unit_->currentIndex()]);
}

uint16_t VigilSettingsDialog::notifyFlags() const {
    uint16_t flags = 0;
    if (messageBox_->isChecked()) flags |= NotifyFlags::MessageBox;
    if (toneBox_->isChecked()) flags |= NotifyFlags::Tone;
    if (soundBox_->isChecked()) flags |= NotifyFlags::SoundFile;
    if (programBox_->isChecked()) flags |= NotifyFlags::Program;
    if (emailBox_->isChecked()) flags |= NotifyFlags::Email;
    return flags;
}

std::optional<std::string> VigilSettingsDialog::soundFileValue() const {
    if (!soundBox_->isChecked()) return std::nullopt;
    return entryText(sound_);
}

std::string VigilSettingsDialog::programText() const {
    return entryText(program_);
}

std::string VigilSettingsDialog::entryText(const QLineEdit* entry) const {
    const auto stored = stored_.find(entry);
    if (stored != stored_.end() && entry->text() == stored->second.shown) return stored->second.bytes;
    return storedText(entry->text(), vigilList().eightBitText());
}

void VigilSettingsDialog::showStored(QLineEdit* entry, const std::string& bytes) {
    entry->setText(displayText(bytes));
    // What the entry holds now: a limited entry may have cut the text.
    stored_[entry] = Stored{bytes, entry->text()};
}

QString VigilSettingsDialog::pastedPort(int16_t port) {
    return port == 0 ? QString() : QString::number(static_cast<uint16_t>(port));
}

int16_t VigilSettingsDialog::portValue(const QLineEdit* port) {
    return static_cast<int16_t>(static_cast<uint16_t>(leadingNumber(port->text().toStdString()).value_or(0)));
}

void VigilSettingsDialog::ok() {
    tidyEntries();
    if (const std::optional<QString> problem = firstProblem()) {
        PlainMessageBox box(QMessageBox::Warning, QStringLiteral("Problem"), *problem, QMessageBox::Ok, this);
        box.exec();
        return;
    }
    writeRecord();
    done(DialogResult::Ok);
}

QString VigilSettingsDialog::chooseFile(const QString& title, const QString& filter) {
    QFileDialog dialog(this, title, QString(), filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

void VigilSettingsDialog::browseSound() {
    const QString file =
        chooseFile(QStringLiteral("Select A Sound File"), QStringLiteral("Sound files (*.wav *.WAV)"));
    if (!file.isEmpty()) sound_->setText(file);
}

void VigilSettingsDialog::browseProgram() {
    // Any file: programs on this system rarely have an extension.
    const QString file = chooseFile(QStringLiteral("Select Notification Program"), QStringLiteral("All files (*)"));
    if (file.isEmpty()) return;
    const QFileInfo info(file);
    if (info.isReadable()) program_->setText(info.absoluteFilePath());
}
