#pragma once
#include <QKeySequence>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/vigil_store.h"

class HelpWindow;
class MainCommandHandler;
class QLabel;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;
class SortOrder;
class VigilCnrObject;
class VigilMenuHandler;

// The program's one top-level window: menu bar, tool bar, the list of Vigils
// (one VigilCnrObject per Vigil) filling the client area, and a status line.
// Window thread only; workers reach it through posted events (MainWindowEvent).
//
// Until the list is shown (enableCommands) only the Help menu works and the
// tool-bar buttons are disabled.
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
    // What the load of the data file found wrong (set before the load's event is
    // posted), and why the last save could not write it; none when nothing.
    void setLoadProblem(std::optional<std::string> problem) { loadProblem_ = std::move(problem); }
    const std::optional<std::string>& loadProblem() const { return loadProblem_; }
    void noteSave(const VigilStore::SaveResult& saved) {
        if (saved.problem) saveProblem_ = saved.problem;
        else if (saved.status == 0) saveProblem_.reset();
    }
    const std::optional<std::string>& saveProblem() const { return saveProblem_; }

    // --- The list

    // One row per Vigil of vigilList, in list order; then posts StartupComplete.
    void fillContainer();
    // Adds the row of a Vigil at the end; false when there is no such Vigil.
    bool addVigilObject(int identifier);
    // Refreshes the row of a Vigil; an identifier without a row does nothing.
    void refreshVigilRecord(int identifier);
    // Takes a deleted Vigil's row out of the list.
    void removeVigilObject(int identifier);
    VigilCnrObject* rowOf(int identifier) const;
    QTreeWidget* container() const { return container_; }

    // The row with the keyboard cursor, or null.
    VigilCnrObject* cursoredRow() const;
    // The selected rows, top to bottom.
    std::vector<VigilCnrObject*> selectedRows() const;
    // How many rows are selected, counted up to 2.
    int selectedCount() const;

    // Puts the rows in an order (selection and cursor stay with their rows).
    void sortRows(const SortOrder& order);
    // Every row's icon again: the status icon with "status icons" on, else the kind's.
    void refreshRowIcons();

    // --- Display

    // Status, Last Checked, Last Changed (VigilCnrObject columns); the
    // Description column is always shown.
    void setColumnShown(int column, bool shown);
    void setSmallIcons(bool small);
    void setToolBarShown(bool shown);
    // ButtonView: bitmaps, text or both.
    void setButtonView(int view);
    void setListFont(const QFont& font);
    QFont listFont() const;
    // The list's text and background colours.
    void setListColors(const QColor& foreground, const QColor& background);
    QColor listForeground() const;
    QColor listBackground() const;

    // --- Menus, tool bar and commands

    // A menu-bar entry by its id: a menu (CommandId::VigilMenu...), a submenu or
    // an item. Null for unknown ids.
    QAction* menuItem(int id) const;
    QToolBar* toolBar() const { return toolBar_; }
    QAction* toolBarButton(int id) const;
    // The ids of the tool-bar buttons in their order; 0 marks a group's start.
    std::vector<int> toolBarLayout() const;

    void enableMenuItem(int id);
    // The list is shown: the five menus and the tool-bar buttons come alive.
    void enableCommands();
    // Items whose work is not available (an empty CommandServices slot) are
    // greyed; called whenever a menu opens and when the commands come alive.
    void updateCommandStates();
    // Whether a command that a menu item, key or button sends may run now.
    bool commandAllowed(int id) const;
    // Runs a command as its menu item, key or button would.
    void runCommand(int id);

    MainCommandHandler& commandHandler() { return *commandHandler_; }
    VigilMenuHandler& menuHandler() { return *menuHandler_; }

    // --- Help

    HelpWindow& helpWindow();
    void showHelpPanel(int panelId);

    // --- Timer and close

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
    // Colours dropped on the list: the background, or with Ctrl the text.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build();
    void buildMenuBar();
    void buildToolBar();
    void buildContainer();
    void applyDisplaySettings();
    QAction* addItem(QMenu* menu, int id, const QString& text, const QKeySequence& key = QKeySequence());
    QMenu* addMenu(QMenu* parent, int id, const QString& text);
    void selectionChanged(const QList<QTreeWidgetItem*>& nowSelected);
    void storeLayout();

    QTreeWidget* container_ = nullptr;
    QToolBar* toolBar_ = nullptr;
    QLabel* statusLine_ = nullptr;
    // A modal window that took the help window as its child may delete it.
    QPointer<HelpWindow> helpWindow_;
    std::unique_ptr<MainCommandHandler> commandHandler_;
    std::unique_ptr<VigilMenuHandler> menuHandler_;
    std::map<int, QAction*> menuItems_;    // menu bar entries by id
    std::map<int, int> menuOfItem_;        // item id to its menu-bar menu's id
    std::map<int, QAction*> buttons_;      // tool-bar buttons by id
    std::vector<int> toolBarLayout_;
    bool commandsEnabled_ = false;
    QTimer checkTimer_;
    std::map<int, VigilCnrObject*> rowMap_;  // vigilRowMap: identifier to row
    std::string dataFileName_;
    std::string settingsFileName_;
    std::optional<std::string> loadProblem_;
    std::optional<std::string> saveProblem_;
    bool closingWithoutSaving_ = false;
};

// The one main window while it exists (set by its constructor).
extern MainWindow* mainWindow;

// Refreshes a Vigil's row from any thread: at once on the window thread,
// otherwise queued to it.
void refreshVigilRecord(int identifier);
