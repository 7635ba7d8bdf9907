#pragma once
#include <QString>
#include <QWidget>

class QTextBrowser;

// The program's help: our own pages, shown in a window of their own that the
// main window keeps for the whole run. Panels are the numbers the windows ask
// for (HelpPanel); each maps to a page or a place on one.
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

private:
    void showPage(const QString& address);

    QTextBrowser* browser_ = nullptr;
};
