#pragma once
#include "core/settings_records.h"
#include "dialogs/settings_dialog.h"

class GopherVigil;

// Creates or edits a Gopher Vigil: description, host, port, selection string,
// interval and notifications.
class GopherSettingsDialog : public VigilSettingsDialog {
public:
    // titleId SettingsTitle::Gopher; target SettingsTarget::NewVigil, ::PastedUrl
    // (host, port and selector from the record).
    // The record stays the caller's; OK writes it.
    GopherSettingsDialog(int titleId, int target, GopherSettingsRecord* record, QWidget* owner);
    // Edits this Vigil; null (a Vigil that is gone) leaves the fields empty.
    GopherSettingsDialog(int titleId, const GopherVigil* edited, GopherSettingsRecord* record,
                         QWidget* owner);

protected:
    std::optional<QString> firstProblem() const override;
    void writeRecord() override;

private:
    GopherSettingsDialog(int titleId, int target, const GopherVigil* edited, GopherSettingsRecord* record,
                         QWidget* owner);
    void fill();
    std::string selectorText() const;

    const GopherVigil* edited_;
    GopherSettingsRecord* record_;
    QLineEdit* host_;
    QLineEdit* port_;
    QLineEdit* selector_;
};
