#pragma once
#include <QDialog>
#include <functional>
#include <memory>

class FtpVigil;
class Vigil;
class FtpDetailsModel;
class QListView;
class QPoint;

// What the last check of one FTP Vigil found: its added, removed and changed
// files with their times, one list. A pop-up menu on a file's line offers
// "Ignore This" (the Vigil leaves that name out from then on) and "Save This
// List" (the lines into a text file, details.txt by default). Window thread only.
class FtpDetailsWindow : public QDialog {
public:
    // Command ids of the pop-up menu.
    static constexpr int IgnoreThis = 940;
    static constexpr int SaveThisList = 1282;

    // For this FTP Vigil; none (a Vigil that no longer exists) or another kind
    // gives an empty, untitled list.
    FtpDetailsWindow(QWidget* owner, const std::shared_ptr<Vigil>& vigil);
    // Stores where the window was ("ftp details x", "ftp details y").
    ~FtpDetailsWindow() override;

    // One line per row; lines are made when they are drawn or saved, so a list
    // of a million files opens as quickly as a short one.
    QListView* list() const { return list_; }
    // Height of one line of the list in pixels (at least 1).
    int lineHeight() const;
    // A pop-up menu command; false for any other id.
    bool command(int id);

    // Asks for the file to save the list to, proposing details.txt; empty when
    // cancelled. A file dialog unless replaced (tests).
    std::function<QString()> chooseSaveFile;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void placeAndSize(size_t longestRow);
    void showMenu(const QPoint& globalPos);
    void ignoreSelected();
    void saveList();

    QListView* list_ = nullptr;
    FtpDetailsModel* model_ = nullptr;
    std::shared_ptr<FtpVigil> vigil_;
};

// Opens the details window of an FTP Vigil owned by owner, modally.
void openFtpDetailsWindow(QWidget* owner, const std::shared_ptr<Vigil>& vigil);
