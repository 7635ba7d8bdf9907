#include "dialogs/ftp_settings_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/ftp_vigil.h"
#include "core/program_settings.h"
#include "dialogs/dialog_help.h"

namespace {

QString text(const std::optional<std::string>& value) {
    return QString::fromStdString(value.value_or(std::string()));
}

}  // namespace

FtpSettingsDialog::FtpSettingsDialog(int titleId, int target, FtpSettingsRecord* record, QWidget* owner)
    : FtpSettingsDialog(titleId, target, nullptr, record, owner) {}

FtpSettingsDialog::FtpSettingsDialog(int titleId, const FtpVigil* edited, FtpSettingsRecord* record,
                                     QWidget* owner)
    : FtpSettingsDialog(titleId, SettingsTarget::Edit, edited, record, owner) {}

FtpSettingsDialog::FtpSettingsDialog(int titleId, int target, const FtpVigil* edited,
                                     FtpSettingsRecord* record, QWidget* owner)
    : VigilSettingsDialog(settingsTitleText(titleId, QStringLiteral("FTP Settings")), target,
                          HelpPanel::FtpSettings, owner),
      edited_(edited),
      record_(record) {
    description_ = addField(QStringLiteral("Description:"), QStringLiteral("description"), true);
    host_ = addField(QStringLiteral("Host:"), QStringLiteral("host"), true);
    port_ = addField(QStringLiteral("Port:"), QStringLiteral("port"), false);
    user_ = addField(QStringLiteral("User Name:"), QStringLiteral("user"), true);
    password_ = addField(QStringLiteral("Password:"), QStringLiteral("password"), true);
    password_->setEchoMode(QLineEdit::Password);
    directory_ = addField(QStringLiteral("Directory:"), QStringLiteral("directory"), true);
    finishLayout(true);
    fill();
}

void FtpSettingsDialog::fill() {
    if (editing()) {
        const FtpVigil* ftp = edited_;
        if (!ftp) return;
        showServer(*ftp, host_, port_);
        showStored(directory_, ftp->directory().value_or(std::string()));
        showStored(user_, ftp->user());
        showStored(password_, ftp->password());
        showNotifications(*ftp, record_->program);
        return;
    }
    showDefaults();
    const SettingsValues s = ProgramSettings::snapshot();
    const std::optional<std::string> ftpUser = s.hasFtpUser ? std::optional<std::string>(s.ftpUser) : std::nullopt;
    const std::optional<std::string> ftpPassword =
        s.hasFtpPassword ? std::optional<std::string>(s.ftpPassword) : std::nullopt;
    if (target() == SettingsTarget::PastedUrl) {
        host_->setText(text(record_->host));
        directory_->setText(text(record_->directory));
        port_->setText(pastedPort(record_->port));
        user_->setText(text(record_->user ? record_->user : ftpUser));
        password_->setText(text(record_->password ? record_->password : ftpPassword));
        return;
    }
    port_->setText(QStringLiteral("21"));
    user_->setText(text(ftpUser));
    password_->setText(text(ftpPassword));
}

std::optional<QString> FtpSettingsDialog::firstProblem() const {
    if (auto problem = serverProblem(host_, port_)) return problem;
    if (auto problem = controlProblem(user_, QStringLiteral("Must enter a valid user name"))) return problem;
    if (auto problem = controlProblem(password_, QStringLiteral("Must enter a valid password"))) return problem;
    if (auto problem = controlProblem(directory_, QStringLiteral("Must enter a valid directory"))) return problem;
    return intervalProblem(true);
}

void FtpSettingsDialog::writeRecord() {
    FtpSettingsRecord& r = *record_;
    writeSharedFields(r);
    r.host = entryText(host_);
    r.port = portValue(port_);
    const std::string directory = entryText(directory_);
    r.directory = directory.empty() ? std::string("/") : directory;
    const std::string user = entryText(user_);
    r.user = user.empty() ? std::string("anonymous") : user;
    const std::string password = entryText(password_);
    r.password = password.empty() ? std::string(AnonymousFtpPassword) : password;
    r.program = programText();
}

void FtpSettingsDialog::openMore() {
    showMore<MoreFtpSettingsDialog>(record_);
}

MoreFtpSettingsDialog::MoreFtpSettingsDialog(FtpSettingsRecord* record, QWidget* owner)
    : ModalDialog(QStringLiteral("More FTP Settings"), owner),
      record_(record),
      lookForBox_(new QCheckBox(QStringLiteral("Look for file:"), this)),
      lookFor_(new QLineEdit(this)),
      ignoreFiles_(new QCheckBox(QStringLiteral("Ignore these files:"), this)),
      files_(new QPlainTextEdit(this)),
      fileList_(ignoreFiles_, files_) {
    lookForBox_->setObjectName(QStringLiteral("lookForBox"));
    lookFor_->setObjectName(QStringLiteral("lookFor"));
    ignoreFiles_->setObjectName(QStringLiteral("ignoreFilesBox"));
    files_->setObjectName(QStringLiteral("files"));
    files_->setLineWrapMode(QPlainTextEdit::NoWrap);

    QVBoxLayout* client = makeClientLayout();
    auto* lookRow = new QHBoxLayout;
    lookRow->addWidget(lookForBox_);
    lookRow->addWidget(lookFor_, 1);
    client->addLayout(lookRow);
    client->addSpacing(6);
    client->addWidget(ignoreFiles_);
    client->addWidget(files_, 1);
    addOkCancelRow(client, [this] { ok(); });

    lookForBox_->setChecked(record_->lookForFile.has_value());
    lookForShown_ = text(record_->lookForFile);
    lookFor_->setText(lookForShown_);
    fileList_.show(record_->ignoreFiles);
    resize(380, 300);
}

void MoreFtpSettingsDialog::ok() {
    if (!lookForBox_->isChecked() || lookFor_->text().isEmpty()) {
        record_->lookForFile.reset();
    } else if (lookFor_->text() != lookForShown_) {
        record_->lookForFile = lookFor_->text().toStdString();
    }
    fileList_.apply(record_->ignoreFiles, record_->filesChanged);
    done(DialogResult::Ok);
}
