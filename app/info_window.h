#pragma once
#include <QDialog>
#include <functional>

class QPushButton;

// The small window of the banner, titled with the program's name: the About box
// (its version and copyright lines, no buttons; the close box ends it) or the
// Welcome window of a first run, which asks whether to import bookmarks now
// (Yes ends it with Result::Yes, No with Result::No).
class InfoWindow : public QDialog {
public:
    enum Form { About = 1202, Welcome = 1203 };
    enum Result { Yes = 1083, No = 1084 };

    // Built centred over the owner; not yet shown.
    InfoWindow(Form form, QWidget* owner);

    Form form() const { return form_; }
    QPushButton* yesButton() const { return yes_; }  // null in the About box
    QPushButton* noButton() const { return no_; }

    // The banner, drawn here (290 by 61 pixels).
    static QPixmap banner();

private:
    Form form_;
    QPushButton* yes_ = nullptr;
    QPushButton* no_ = nullptr;
};

// The About box, modal; its result is not used.
void showAboutWindow(QWidget* owner);

// The Welcome window, modal. On Yes it hides and runs startImport before it
// goes; No or the close box end it without. Returns how it ended.
int showWelcomeWindow(QWidget* owner, const std::function<void()>& startImport);
