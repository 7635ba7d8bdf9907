#include "dialogs/gopher_settings_dialog.h"

#include <QLineEdit>
#include <algorithm>

#include "core/gopher_vigil.h"
#include "core/url_parse.h"
#include "dialogs/dialog_help.h"
#include "net/protocol_text.h"
#include "platform/qt/display_text.h"

GopherSettingsDialog::GopherSettingsDialog(int titleId, int target, GopherSettingsRecord* record,
                                           QWidget* owner)
    : GopherSettingsDialog(titleId, target, nullptr, record, owner) {}

GopherSettingsDialog::GopherSettingsDialog(int titleId, const GopherVigil* edited,
                                           GopherSettingsRecord* record, QWidget* owner)
    : GopherSettingsDialog(titleId, SettingsTarget::Edit, edited, record, owner) {}

GopherSettingsDialog::GopherSettingsDialog(int titleId, int target, const GopherVigil* edited,
                                           GopherSettingsRecord* record, QWidget* owner)
    : VigilSettingsDialog(settingsTitleText(titleId, QStringLiteral("Gopher Settings")), target,
                          HelpPanel::GopherSettings, owner),
      edited_(edited),
      record_(record) {
    description_ = addField(QStringLiteral("Description:"), QStringLiteral("description"), true);
    host_ = addField(QStringLiteral("Host:"), QStringLiteral("host"), true);
    port_ = addField(QStringLiteral("Port:"), QStringLiteral("port"), false);
    selector_ = addField(QStringLiteral("Selection String:"), QStringLiteral("selector"), true);
    finishLayout(false);
    fill();
}

void GopherSettingsDialog::fill() {
    if (editing()) {
        const GopherVigil* gopher = edited_;
        if (!gopher) return;
        showServer(*gopher, host_, port_);
        // A Vigil without a selector keeps a blank in its place; that is no text to edit.
        const std::string selector = gopher->selector();
        if (!displayText(selector).trimmed().isEmpty()) showStored(selector_, selector);
        showNotifications(*gopher, record_->program);
        return;
    }
    showDefaults();
    if (target() == SettingsTarget::PastedUrl) {
        host_->setText(QString::fromStdString(record_->host.value_or(std::string())));
        port_->setText(pastedPort(record_->port));
        selector_->setText(QString::fromStdString(record_->selector.value_or(std::string())));
        return;
    }
    port_->setText(QStringLiteral("70"));
}

std::optional<QString> GopherSettingsDialog::firstProblem() const {
    if (auto problem = serverProblem(host_, port_)) return problem;
    // A TAB is how a selector carries a search query ("7/search<TAB>words"). A
    // pasted address ended at its first line break: a CR or LF still in its
    // selector was decoded from "%0D" or "%0A", a control character like any other.
    const std::string selector =
        target() == SettingsTarget::PastedUrl ? entryText(selector_) : selectorText();
    if (std::any_of(selector.begin(), selector.end(), [](char c) { return c != '\t' && isControlChar(c); }))
        return QStringLiteral("Must enter a valid selection string");
    return intervalProblem(false);
}

void GopherSettingsDialog::writeRecord() {
    GopherSettingsRecord& r = *record_;
    writeSharedFields(r);
    r.host = entryText(host_);
    r.port = portValue(port_);
    const std::string selector = selectorText();
    r.selector = selector.empty() ? std::nullopt : std::optional<std::string>(selector);
    r.program = programText();
}

std::string GopherSettingsDialog::selectorText() const {
    // A selector is one line of the request; a pasted line end and what follows are no part of it.
    return std::string(firstLine(entryText(selector_)));
}
