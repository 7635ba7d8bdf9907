#pragma once
#include "core/settings_records.h"
#include "dialogs/settings_dialog.h"

class FtpVigil;

// Creates or edits an FTP Vigil: description, host, port, user name, password,
// directory, interval and notifications; More... opens the file to look for and
// the files to ignore.
class FtpSettingsDialog : public VigilSettingsDialog {
public:
    // titleId SettingsTitle::Ftp; target SettingsTarget::NewVigil, ::PastedUrl
    // (host, port, directory, user and password from the record).
    // The record stays the caller's; OK writes it.
    FtpSettingsDialog(int titleId, int target, FtpSettingsRecord* record, QWidget* owner);
    // Edits this Vigil; null (a Vigil that is gone) leaves the fields empty.
    FtpSettingsDialog(int titleId, const FtpVigil* edited, FtpSettingsRecord* record, QWidget* owner);

protected:
    std::optional<QString> firstProblem() const override;
    void writeRecord() override;
    void openMore() override;

private:
    FtpSettingsDialog(int titleId, int target, const FtpVigil* edited, FtpSettingsRecord* record,
                      QWidget* owner);
    void fill();

    const FtpVigil* edited_;
    FtpSettingsRecord* record_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* user_;
    QLineEdit* password_;
    QLineEdit* directory_;
};

// Edits the file an FTP record looks for and the names its listing comparison ignores.
class MoreFtpSettingsDialog : public ModalDialog {
public:
    MoreFtpSettingsDialog(FtpSettingsRecord* record, QWidget* owner);

private:
    void ok();

    FtpSettingsRecord* record_;
    QCheckBox* lookForBox_;
    QLineEdit* lookFor_;
    QCheckBox* ignoreFiles_;
    QPlainTextEdit* files_;
    ListEditor fileList_;
    QString lookForShown_;
};
