#pragma once

class MainWindow;

// Every command of the main window's menu bar, accelerators, tool bar and
// pop-up menus arrives here by its id (CommandId), on the window thread. Short
// work runs here; long work goes to a worker thread; work that lives elsewhere
// goes through commandServices().
class MainCommandHandler {
public:
    explicit MainCommandHandler(MainWindow& window) : window_(window) {}

    // Acts on the command; false for an id that is not a command.
    bool command(int id);
    // False when the command's work is not available (its slot is empty).
    bool available(int id) const;

private:
    void checkSelected();
    void toggleColumn(int id);
    void toggleToolBar();
    void setButtonView(int id);
    void toggleStatusIcons();
    void toggleSmallIcons();
    void chooseFont();
    void copyUrl();
    void pasteUrl();
    void sort(int id);
    void deleteSelected();

    MainWindow& window_;
};

// The address the Help menu's home-page item opens.
extern const char* const kHomePageUrl;

// The short beep of a refused command: a selection of two or more where one
// Vigil is needed, or a Vigil whose own lock is taken.
void refusalBeep();
