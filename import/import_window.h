#pragma once
#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class VigilList;
class ImportWindow;

// Window, control and command ids; the ids of texts are also their string ids.
namespace ImportId {
constexpr int Window = 1040;
constexpr int Source = 1026;
constexpr int Path = 1029;
constexpr int Browse = 1030;
constexpr int ImportFile = 1041;
constexpr int List = 1032;
constexpr int AddSelections = 1033;
constexpr int SelectAll = 1034;
constexpr int DeselectAll = 1035;
constexpr int ClearList = 1042;
constexpr int Close = 1037;
constexpr int Help = 1038;
constexpr int HelpPanel = 300;
}  // namespace ImportId

// Modal results.
namespace ImportResult {
constexpr int Ok = 1083;      // Close
constexpr int Cancel = 1084;  // the close box or Escape
}

// What the import window asks of the rest of the program. The file and folder
// choosers default to Qt's dialogs; tests put their own in place.
struct ImportServices {
    // An existing file, or none when the user cancels.
    std::function<std::optional<QString>(QWidget* owner, const QString& title, const QString& proposed)>
        chooseFile;
    // The Favorites folder, or none when the user cancels.
    std::function<std::optional<QString>(QWidget* owner, const QString& title, const QString& proposed)>
        chooseFolder;
    // The main window's help viewer at a panel; nothing happens while unset.
    std::function<void(int panel)> showHelp;
    // Tells the main window of a new Vigil at this list position; nothing happens while unset.
    std::function<void(long position)> vigilAdded;
};
ImportServices& importServices();

// Acts on the command ids of the window's buttons.
class ImportCommandHandler {
public:
    explicit ImportCommandHandler(ImportWindow& window) : window_(window) {}
    virtual ~ImportCommandHandler() = default;
    // Every command counts as handled.
    virtual bool command(int id);

private:
    ImportWindow& window_;
};

// Picks an import source and a file, lists the entries its importer finds, and
// turns the selected ones into Vigils appended to the list it is given; each is announced
// through importServices().vigilAdded. Window thread only.
class ImportWindow : public QDialog {
public:
    ImportWindow(int windowId, QWidget* owner, VigilList& vigils);
    ~ImportWindow() override;

    // However the window ends (Close, its close box, Escape) the listed entries
    // are dropped, so the next window starts with an empty list.
    void done(int result) override;

    // The commands, also reached through ImportCommandHandler::command.
    void browse();
    void importFile();
    void addSelections();
    void selectAll();
    void deselectAll();
    void clearList();
    void closeWindow();
    void showHelp();

    QComboBox* sourceBox() const { return source_; }
    QLineEdit* pathField() const { return path_; }
    QListWidget* entryList() const { return list_; }
    // The push button with this command id, or null.
    QPushButton* button(int id) const;

private:
    void build();
    QPushButton* addButton(int id, const char* text);
    void dropEntries();

    ImportCommandHandler handler_;
    VigilList& vigils_;
    QComboBox* source_ = nullptr;
    QLineEdit* path_ = nullptr;
    QListWidget* list_ = nullptr;
    std::vector<std::pair<int, QPushButton*>> buttons_;
};

// Opens the import window over owner at its stored position and size, runs it
// modally and stores its position and size back ("import settings ...").
// New Vigils report their status to owner. Returns the modal result.
int openImportWindow(QWidget* owner, VigilList& vigils);
