#pragma once
#include <QString>
#include <QWidget>

class QTextBrowser;

// The program's help: our own pages, shown in a window of their own that the
// main window keeps for the whole run. Panels are the numbers the windows ask
// for (HelpPanel); each maps to a page or a place on one. Asked for while a
// modal window is open, it becomes that window's child for as long, so that it
// stays usable and in front of it.
class HelpWindow : public QWidget {
public:
    explicit HelpWindow(QWidget* owner);

    void showPanel(int panelId);
    void showContents();
    // The alphabetical index of topics.
    void showIndex();

    QTextBrowser* browser() const { return browser_; }
    // The address of a panel's page; unknown panels get the contents.
    static QString pageOf(int panelId);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showPage(const QString& address);
    // Makes parent the window it belongs to, keeping its place and whether it
    // shows; a parent other than the owner is watched for its end.
    void attachTo(QWidget* parent);

    QWidget* const owner_;
    bool placed_ = false;

    QTextBrowser* browser_ = nullptr;
};
