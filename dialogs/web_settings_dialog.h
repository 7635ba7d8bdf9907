#pragma once
#include "core/settings_records.h"
#include "dialogs/settings_dialog.h"

class WebVigil;

// Creates or edits a Web Vigil: description, URL, user name and password,
// interval and notifications; More... opens the page-comparison rules.
class WebSettingsDialog : public VigilSettingsDialog {
public:
    // titleId SettingsTitle::Web; target SettingsTarget::NewVigil, ::PastedUrl
    // (the URL is the record's url). The record stays the caller's; OK writes it.
    WebSettingsDialog(int titleId, int target, WebSettingsRecord* record, QWidget* owner);
    // Edits this Vigil; null (a Vigil that is gone) leaves the fields empty.
    WebSettingsDialog(int titleId, const WebVigil* edited, WebSettingsRecord* record, QWidget* owner);

protected:
    void tidyEntries() override;
    std::optional<QString> firstProblem() const override;
    void writeRecord() override;
    void openMore() override;

private:
    WebSettingsDialog(int titleId, int target, const WebVigil* edited, WebSettingsRecord* record,
                      QWidget* owner);
    void fill();
    // A login typed or pasted into the URL ("user:password@") goes into the user
    // and password entries, where the user sees it and may clear it.
    void moveLoginToEntries();
    // Paste keeps the description optional: left empty, the record gets one blank.
    bool pastedWithoutDescription() const;

    const WebVigil* edited_;
    WebSettingsRecord* record_;
    QLineEdit* url_;
    QLineEdit* user_;
    QLineEdit* password_;
};

// Edits the page-comparison rules of a Web record: ignore all HTML tags, and
// the tokens to ignore. OK always sets WebOptions::AlwaysCompare.
class MoreWebSettingsDialog : public ModalDialog {
public:
    MoreWebSettingsDialog(WebSettingsRecord* record, QWidget* owner);

private:
    void ok();

    WebSettingsRecord* record_;
    QCheckBox* ignoreTags_;
    QCheckBox* ignoreTokens_;
    QPlainTextEdit* tokens_;
    ListEditor tokenList_;
};
