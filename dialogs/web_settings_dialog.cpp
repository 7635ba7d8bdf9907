#include "dialogs/web_settings_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/text_utils.h"
#include "core/url_parse.h"
#include "core/web_vigil.h"
#include "dialogs/dialog_help.h"
#include "net/protocol_text.h"
#include "platform/qt/display_text.h"

namespace {

struct UrlParts {
    std::optional<std::string> host;
    uint16_t port = 0;
    SimpleString path, user, password;
};

// The URL entry as far as it goes: a pasted line end and whatever follows it
// (a second line would end the request line) belong to no part of a URL.
std::string urlText(const std::string& entered) {
    return std::string(urlLine(entered));
}

// The URL entry split into its parts.
UrlParts urlParts(const std::string& url) {
    UrlParts parts;
    parseHttpUrl(SimpleString(urlText(url).c_str()), parts.host, parts.port, parts.path, parts.user, parts.password);
    return parts;
}

// Whether the URL entry names another scheme than http ("https://", "mailto:"):
// the parser would take "https" or "mailto" for the host. "http:" without "//"
// is only a mistyped Web URL.
bool namesNoWebScheme(const std::string& url) {
    const std::string text = urlText(url);
    return namesOtherScheme(text, "http") && findNoCase(text, "http:") != 0;
}

// Whether the URL entry names a Web page: no port out of range (it would become
// 80), no control character, no mistyped scheme and a host.
bool namesWebPage(const std::string& url) {
    const std::string text = urlText(url);
    return !text.empty() && !hasControlCharacter(text) && !namesOtherScheme(text, "http") &&
           !namesBadPort(text, "http") && urlParts(url).host;
}

}  // namespace

WebSettingsDialog::WebSettingsDialog(int titleId, int target, WebSettingsRecord* record, QWidget* owner)
    : WebSettingsDialog(titleId, target, nullptr, record, owner) {}

WebSettingsDialog::WebSettingsDialog(int titleId, const WebVigil* edited, WebSettingsRecord* record,
                                     QWidget* owner)
    : WebSettingsDialog(titleId, SettingsTarget::Edit, edited, record, owner) {}

WebSettingsDialog::WebSettingsDialog(int titleId, int target, const WebVigil* edited,
                                     WebSettingsRecord* record, QWidget* owner)
    : VigilSettingsDialog(settingsTitleText(titleId, QStringLiteral("Web Settings")), target,
                          HelpPanel::WebSettings, owner),
      edited_(edited),
      record_(record) {
    description_ = addField(QStringLiteral("Description:"), QStringLiteral("description"), true);
    url_ = addField(QStringLiteral("URL:"), QStringLiteral("url"), true);
    addFieldGap();
    user_ = addField(QStringLiteral("User Name:"), QStringLiteral("user"), false);
    password_ = addField(QStringLiteral("Password:"), QStringLiteral("password"), false);
    password_->setEchoMode(QLineEdit::Password);
    finishLayout(true);
    fill();
    connect(url_, &QLineEdit::editingFinished, this, [this] { moveLoginToEntries(); });
}

void WebSettingsDialog::fill() {
    if (editing()) {
        const WebVigil* web = edited_;
        if (!web) return;
        showStored(description_, web->description());
        showStored(url_, web->url());
        showStored(user_, web->user().text());
        showStored(password_, web->password().text());
        showNotifications(*web, record_->program);
        return;
    }
    showDefaults();
    if (target() == SettingsTarget::PastedUrl) {
        // The blank a pasted record carries is no text to type after.
        const std::string description = record_->description.value_or(std::string());
        description_->setText(description == " " ? QString() : QString::fromStdString(description));
        url_->setText(QString::fromUtf8(record_->url.text()));
        user_->setText(QString::fromUtf8(record_->user.text()));
        password_->setText(QString::fromUtf8(record_->password.text()));
    }
}

void WebSettingsDialog::moveLoginToEntries() {
    std::string url = entryText(url_);
    const std::optional<UrlLogin> login = takeWebLogin(url);
    if (!login) return;
    url_->setText(displayText(url));
    user_->setText(displayText(login->user));
    password_->setText(displayText(login->password));
}

void WebSettingsDialog::tidyEntries() {
    moveLoginToEntries();
}

bool WebSettingsDialog::pastedWithoutDescription() const {
    return target() == SettingsTarget::PastedUrl && description_->text().isEmpty();
}

std::optional<QString> WebSettingsDialog::firstProblem() const {
    if (!pastedWithoutDescription())
        if (auto problem = descriptionProblem()) return problem;
    // There is no TLS here: an https page cannot be fetched at all.
    if (namesNoWebScheme(entryText(url_)))
        return QStringLiteral("Must enter an http:// URL: Tervane watches http:// pages only (no https, no TLS)");
    if (!namesWebPage(entryText(url_))) return QStringLiteral("Must enter a valid URL");
    // Only a login the record gives back as it was: the check would send another.
    if (!webLoginUserFits(entryText(user_))) return QStringLiteral("Must enter a valid user name");
    if (!webLoginPasswordFits(entryText(password_))) return QStringLiteral("Must enter a valid password");
    return intervalProblem(false);
}

void WebSettingsDialog::writeRecord() {
    WebSettingsRecord& r = *record_;
    writeSharedFields(r);
    if (pastedWithoutDescription()) r.description = std::string(" ");
    UrlParts parts = urlParts(entryText(url_));
    r.port = static_cast<int16_t>(parts.port != 0 ? parts.port : 80);
    if (parts.host) r.host = parts.host;
    r.path = parts.path.empty() ? SimpleString("/") : parts.path;
    // A login typed into the URL was moved into the two entries before the checks.
    r.user = entryText(user_).c_str();
    r.password = entryText(password_).c_str();
    const std::string program = programText();
    r.program = program.empty() ? std::nullopt : std::optional<std::string>(program);
}

void WebSettingsDialog::openMore() {
    showMore<MoreWebSettingsDialog>(record_);
}

MoreWebSettingsDialog::MoreWebSettingsDialog(WebSettingsRecord* record, QWidget* owner)
    : ModalDialog(QStringLiteral("More Web Settings"), owner),
      record_(record),
      ignoreTags_(new QCheckBox(QStringLiteral("Ignore all HTML tags"), this)),
      ignoreTokens_(new QCheckBox(QStringLiteral("Ignore tokens with these characters:"), this)),
      tokens_(new QPlainTextEdit(this)),
      tokenList_(ignoreTokens_, tokens_) {
    ignoreTags_->setObjectName(QStringLiteral("ignoreTags"));
    ignoreTokens_->setObjectName(QStringLiteral("ignoreTokensBox"));
    tokens_->setObjectName(QStringLiteral("tokens"));
    tokens_->setLineWrapMode(QPlainTextEdit::NoWrap);

    QVBoxLayout* client = makeClientLayout();
    client->addWidget(ignoreTags_);
    client->addWidget(ignoreTokens_);
    client->addWidget(tokens_, 1);
    addOkCancelRow(client, [this] { ok(); });

    tokenList_.show(record_->ignoreTokens);
    ignoreTags_->setChecked(record_->options & WebOptions::IgnoreTags);
    resize(360, 280);
}

void MoreWebSettingsDialog::ok() {
    tokenList_.apply(record_->ignoreTokens, record_->tokensChanged);
    record_->options = WebOptions::AlwaysCompare | (ignoreTags_->isChecked() ? WebOptions::IgnoreTags : 0);
    done(DialogResult::Ok);
}
