#pragma once
#include "core/settings_records.h"
#include "dialogs/settings_dialog.h"

// Creates or edits a Gopher Vigil: description, host, port, selection string,
// interval and notifications.
class GopherSettingsDialog : public VigilSettingsDialog {
public:
    // titleId SettingsTitle::Gopher; target SettingsTarget::NewVigil, ::PastedUrl
    // (host, port and selector from the record) or the identifier of the Vigil
    // to edit. The record stays the caller's; OK writes it.
    GopherSettingsDialog(int titleId, int target, GopherSettingsRecord* record, QWidget* owner);

protected:
    std::optional<QString> firstProblem() const override;
    void writeRecord() override;

private:
    void fill();
    std::string selectorText() const;

    GopherSettingsRecord* record_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* selector_;
};
