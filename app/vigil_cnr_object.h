#pragma once
#include <QTreeWidgetItem>
#include <memory>

class Vigil;

// One row of the main window's list: the Vigil's description with its icon,
// its status text and its last-checked and last-changed times.
class VigilCnrObject : public QTreeWidgetItem {
public:
    enum Column { DescriptionColumn = 0, StatusColumn, CheckedColumn, ChangedColumn, ColumnCount };

    // position: the row's place when it was made. The row shows its texts at once.
    VigilCnrObject(std::shared_ptr<Vigil> vigil, int iconId, int position);

    // Takes the texts (and, with "status icons" on, the icon) from the Vigil.
    void refresh();
    // A double click or Enter on the row: the main window views it.
    void open() const;

    const std::shared_ptr<Vigil>& vigil() const { return vigil_; }
    int position() const { return position_; }
    int iconId() const { return iconId_; }
    void setIconId(int iconId);

private:
    std::shared_ptr<Vigil> vigil_;
    int iconId_ = 0;
    int position_;
};
