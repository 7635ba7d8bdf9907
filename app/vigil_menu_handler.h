#pragma once
#include <QObject>
#include <QPoint>
#include <memory>

class MainWindow;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

// The pop-up menu of the Vigil list (right click or the menu key): the
// selection menu for two or more selected rows, else the menu of the row's
// Vigil. Its items send their commands to the main window like the menu bar's.
class VigilMenuHandler : public QObject {
public:
    VigilMenuHandler(MainWindow& window, QTreeWidget* container);

    // The menu for a row, built but not shown; its "menuId" property holds
    // PopUpMenuId. Null for no row (the empty area) or before the list is loaded.
    std::unique_ptr<QMenu> buildPopUpMenu(QTreeWidgetItem* row);
    // Shows the menu of the row at a point of the list's viewport, where the
    // menu event happened; it deletes itself when it closes. False when there
    // is no menu.
    bool makePopUpMenu(QTreeWidgetItem* row, const QPoint& viewportPos);

    // The menu of the list's current row, under it (the keyboard's way).
    bool openAtCursoredRow();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    MainWindow& window_;
    QTreeWidget* container_;
};
