#pragma once
#include <QMainWindow>
#include <QTimer>
#include <map>
#include <string>

class QLabel;
class QTreeWidget;
class VigilCnrObject;

// The program's one top-level window: the list of Vigils (one VigilCnrObject
// per Vigil) filling the client area, and a status line. Window thread only;
// workers reach it through posted events (MainWindowEvent).
class MainWindow : public QMainWindow {
public:
    // At the default placement.
    MainWindow();
    // At a stored position and size.
    explicit MainWindow(const QRect& rect);
    ~MainWindow() override;

    void setStatusText(const QString& text);
    QString statusLineText() const;

    void setDataFileName(const std::string& name) { dataFileName_ = name; }
    const std::string& dataFileName() const { return dataFileName_; }
    void setSettingsFileName(const std::string& name) { settingsFileName_ = name; }
    const std::string& settingsFileName() const { return settingsFileName_; }

    // One row per Vigil of vigilList, in list order; then posts StartupComplete.
    void fillContainer();
    // Adds the row of a Vigil at the end; false when there is no such Vigil.
    bool addVigilObject(int identifier);
    // Refreshes the row of a Vigil; an identifier without a row does nothing.
    void refreshVigilRecord(int identifier);
    VigilCnrObject* rowOf(int identifier) const;
    QTreeWidget* container() const { return container_; }

    // The 20-second timer whose ticks arrive as MainWindowEvent::TimerTick.
    void startCheckTimer();
    void stopCheckTimer();
    bool checkTimerRunning() const { return checkTimer_.isActive(); }

    // Closes without storing the layout (Exit, the end of a batch run).
    void closeWithoutSaving();

protected:
    // The close box: stops the timer and the checks, stores the layout and the
    // settings profile. Either way the message loop ends.
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void storeLayout();

    QTreeWidget* container_ = nullptr;
    QLabel* statusLine_ = nullptr;
    QTimer checkTimer_;
    std::map<int, VigilCnrObject*> rowMap_;  // vigilRowMap: identifier to row
    std::string dataFileName_;
    std::string settingsFileName_;
    bool closingWithoutSaving_ = false;
};

// The one main window while it exists (set by its constructor).
extern MainWindow* mainWindow;

// Refreshes a Vigil's row from any thread: at once on the window thread,
// otherwise queued to it.
void refreshVigilRecord(int identifier);
