#pragma once
#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;
class Vigil;

// How a modal dialog of the program ends.
namespace DialogResult {
constexpr int Ok = 1083;      // OK or Yes
constexpr int Cancel = 1084;  // Cancel or No
}  // namespace DialogResult

// What a settings dialog works on.
namespace SettingsTarget {
constexpr int Edit = 0;  // the Vigil the dialog is given
constexpr int NewVigil = -1;
constexpr int PastedUrl = -2;  // a new Vigil whose record was filled from a pasted URL
}  // namespace SettingsTarget

// Title ids the settings dialogs are created with.
namespace SettingsTitle {
constexpr int Gopher = 1116;  // "Gopher Settings"
constexpr int Web = 1123;     // "Web Settings"
constexpr int Ftp = 1147;     // "FTP Settings"
}  // namespace SettingsTitle

// The text of a title id; an unknown id gives fallback.
QString settingsTitleText(int titleId, const QString& fallback);

// A modal dialog of the program: light grey, ended with DialogResult::Ok or
// DialogResult::Cancel (the close box and Escape count as Cancel).
class ModalDialog : public QDialog {
public:
    // Shows the dialog modally and returns how it ended.
    int showModally();
    void reject() override;

protected:
    ModalDialog(const QString& title, QWidget* owner);
    // The client area's layout, with the margins of every dialog.
    QVBoxLayout* makeClientLayout();
    // A push button appended to row.
    QPushButton* addButton(QBoxLayout* row, const QString& text, const QString& name);
    // OK (the default button, calling ok) and Cancel appended to row.
    void addOkCancel(QBoxLayout* row, const std::function<void()>& ok);
    // A row of OK and Cancel at the right, below what client holds.
    void addOkCancelRow(QVBoxLayout* client, const std::function<void()>& ok);
};

// A check box over a multi-line edit of names, one a line: the ignore lists of
// the More dialogs.
class ListEditor {
public:
    ListEditor(QCheckBox* box, QPlainTextEdit* edit) : box_(box), edit_(edit) {}
    // The box is checked and every non-empty name shown when the list has any.
    void show(const std::vector<std::string>& list);
    // On OK: when the text was changed, or the box is unchecked over a non-empty
    // list, the list is rebuilt from the lines (box checked) or cleared (box
    // unchecked); changed becomes 1 whenever that happened.
    void apply(std::vector<std::string>& list, int32_t& changed) const;
    bool textChanged() const;

private:
    QCheckBox* box_;
    QPlainTextEdit* edit_;
    QString shown_;
};

// The lines of a multi-line edit as names: each cut at its first carriage
// return, empty lines skipped.
std::vector<std::string> namesFromLines(const QString& text);

// The pattern of the Web, FTP and Gopher settings dialogs: the kind's fields on
// top, then "Check Every", "Notification" and the button row. OK runs the
// kind's checks in order, shows the first failure in a "Problem" box and keeps
// the dialog open, or writes the record and ends with DialogResult::Ok.
class VigilSettingsDialog : public ModalDialog {
public:
    int target() const { return target_; }
    bool editing() const { return target_ >= 0; }

protected:
    VigilSettingsDialog(const QString& title, int target, int helpPanel, QWidget* owner);

    // A label and its entry in the next row of the fields; limited entries
    // take at most 2048 characters.
    QLineEdit* addField(const QString& label, const QString& name, bool limited);
    void addFieldGap();
    // Adds the groups and the buttons (More... first when withMore) and sizes
    // the dialog to fit.
    void finishLayout(bool withMore);

    // Filling: an edited Vigil's notifications (the program line comes from the
    // record), or the defaults of new Vigils from the program settings.
    void showNotifications(const Vigil& vigil, const std::optional<std::string>& program);
    void showDefaults();
    // An edited Vigil's description, host and port (FTP and Gopher).
    void showServer(const Vigil& vigil, QLineEdit* host, QLineEdit* port);
    void showInterval(int32_t seconds);

    // The checks; each gives the message of its failure, or none.
    std::optional<QString> descriptionProblem() const;
    // Description, then host and port (FTP and Gopher).
    std::optional<QString> serverProblem(const QLineEdit* host, const QLineEdit* port) const;
    // message when the entry holds a control character (a pasted line break, a
    // tab): it would end a request line or the stored record.
    std::optional<QString> controlProblem(const QLineEdit* entry, const QString& message) const;
    // A text that is no whole number and a negative number fail; so does 0 when
    // positiveOnly or when the edited Vigil's interval is on (a Vigil keeps its
    // interval when given 0, so OK would change nothing).
    std::optional<QString> intervalProblem(bool positiveOnly) const;

    // Values for the record, read after the checks passed.
    int32_t intervalSeconds() const;
    uint16_t notifyFlags() const;
    std::optional<std::string> soundFileValue() const;  // none while its box is off
    std::string programText() const;
    // An entry's text as bytes for the record: the stored bytes it was filled
    // with while it shows them unchanged (text that is not UTF-8 stays as it
    // was), else the text in the encoding vigil.dat was read in.
    std::string entryText(const QLineEdit* entry) const;
    // Fills entry with stored bytes, shown as displayText shows them.
    void showStored(QLineEdit* entry, const std::string& bytes);
    // A pasted record's port as the port entry shows it: empty for 0, the
    // record of a URL whose port was out of range.
    static QString pastedPort(int16_t port);
    // The port entry's number, as the record keeps it.
    static int16_t portValue(const QLineEdit* port);

    // The fields every record shares, except the program line (each kind
    // stores an empty entry its own way).
    template <class Record>
    void writeSharedFields(Record& record) const {
        record.interval = intervalSeconds();
        record.description = entryText(description_);
        record.active = 1;
        record.flags = static_cast<int16_t>(notifyFlags());
        record.soundFile = soundFileValue();
        record.emailList = entryText(email_).c_str();
    }

    // Opens the kind's More dialog on the same record, at this dialog's place.
    // It writes the record itself when its OK is pressed.
    template <class MoreDialog, class Record>
    void showMore(Record* record) {
        MoreDialog more(record, this);
        more.move(pos());
        more.showModally();
    }

    // Runs first on OK: entries a kind puts in order before they are checked.
    virtual void tidyEntries() {}
    virtual std::optional<QString> firstProblem() const = 0;
    virtual void writeRecord() = 0;
    virtual void openMore() {}

    QLineEdit* description_ = nullptr;  // every kind's first field

private:
    void ok();
    void browseSound();
    void browseProgram();
    QString chooseFile(const QString& title, const QString& filter);

    const int target_;
    const int helpPanel_;
    QGridLayout* fields_ = nullptr;
    int fieldRow_ = 0;
    QLineEdit* interval_ = nullptr;
    QComboBox* unit_ = nullptr;
    bool intervalOn_ = false;
    QCheckBox* programBox_ = nullptr;
    QLineEdit* program_ = nullptr;
    QCheckBox* messageBox_ = nullptr;
    QCheckBox* toneBox_ = nullptr;
    QCheckBox* soundBox_ = nullptr;
    QLineEdit* sound_ = nullptr;
    QCheckBox* emailBox_ = nullptr;
    QLineEdit* email_ = nullptr;
    struct Stored {
        std::string bytes;
        QString shown;
    };
    std::map<const QLineEdit*, Stored> stored_;
};
