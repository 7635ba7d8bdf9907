#include "app/vigil_menu_handler.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeWidget>

#include "app/command_ids.h"
#include "app/main_command_handler.h"
#include "app/main_run.h"
#include "app/main_window.h"
#include "app/vigil_cnr_object.h"
#include "core/ftp_vigil.h"
#include "core/vigil.h"

namespace {

struct Item {
    int id;  // 0: a separator
    const char* text;
};

const Item kSelectionItems[] = {
    {CommandId::CheckSelected, "&Check"},
    {CommandId::ResetSelected, "&Reset"},
    {CommandId::StartWatching, "Start &Watching"},
    {CommandId::StopWatching, "&Stop Watching"},
};

// One row's menu; Details... belongs to the FTP menu only.
const Item kRowItems[] = {
    {CommandId::CheckSelected, "&Check"},
    {CommandId::ResetSelected, "&Reset"},
    {CommandId::ViewSelected, "&View"},
    {CommandId::ViewInNewWindow, "V&iew In New Window"},
    {CommandId::StartWatching, "Start &Watching"},
    {CommandId::StopWatching, "&Stop Watching"},
    {0, nullptr},
    {CommandId::CopyUrl, "Copy &URL"},
    {CommandId::Edit, "&Edit"},
    {CommandId::Details, "Details..."},
    {0, nullptr},
    {CommandId::Delete, "&Delete"},
    {0, nullptr},
    {CommandId::ResetConnection, "Reset Connection"},
};

bool hasChangedFiles(const Vigil& vigil) {
    const auto* ftp = dynamic_cast<const FtpVigil*>(&vigil);
    return ftp && (ftp->addedCount() > 0 || ftp->removedCount() > 0 || ftp->changedCount() > 0);
}

}  // namespace

VigilMenuHandler::VigilMenuHandler(MainWindow& window, QTreeWidget* container)
    : window_(window), container_(container) {
    container_->viewport()->installEventFilter(this);
    // A menu event from the keyboard goes to the list itself, not its viewport.
    container_->installEventFilter(this);
}

std::unique_ptr<QMenu> VigilMenuHandler::buildPopUpMenu(QTreeWidgetItem* row) {
    if (!row || !listLoaded.load()) return nullptr;
    auto menu = std::make_unique<QMenu>(&window_);
    auto add = [&](const Item* begin, const Item* end, auto keep) {
        for (const Item* item = begin; item != end; ++item) {
            if (!item->id) {
                menu->addSeparator();
                continue;
            }
            if (!keep(item->id)) continue;
            QAction* action = menu->addAction(QString::fromLatin1(item->text));
            action->setData(item->id);
            action->setEnabled(window_.commandHandler().available(item->id));
            const int id = item->id;
            MainWindow* window = &window_;
            QObject::connect(action, &QAction::triggered, window, [window, id] { window->runCommand(id); });
        }
    };

    if (window_.selectedCount() >= 2) {
        menu->setProperty("menuId", PopUpMenuId::Selection);
        add(std::begin(kSelectionItems), std::end(kSelectionItems), [](int) { return true; });
        return menu;
    }
    const Vigil& vigil = *static_cast<VigilCnrObject*>(row)->vigil();
    const bool ftp = vigil.kind() == VigilKind::Ftp;
    const bool details = ftp && hasChangedFiles(vigil);
    const bool unresolved = vigil.status() == VigilStatus::HostNotResolved;
    menu->setProperty("menuId", ftp ? PopUpMenuId::Ftp : PopUpMenuId::WebOrGopher);
    add(std::begin(kRowItems), std::end(kRowItems), [&](int id) {
        if (id == CommandId::Details) return details;
        if (id == CommandId::ResetConnection) return unresolved;
        return true;
    });
    return menu;
}

bool VigilMenuHandler::makePopUpMenu(QTreeWidgetItem* row, const QPoint& viewportPos) {
    std::unique_ptr<QMenu> menu = buildPopUpMenu(row);
    if (!menu) return false;
    QMenu* shown = menu.release();
    shown->setAttribute(Qt::WA_DeleteOnClose);
    shown->popup(container_->viewport()->mapToGlobal(viewportPos));
    return true;
}

bool VigilMenuHandler::openAtCursoredRow() {
    QTreeWidgetItem* row = container_->currentItem();
    const QPoint at = row ? container_->visualItemRect(row).center() : QPoint();
    return makePopUpMenu(row, at);
}

namespace {
// The menu key and Shift+F10 (which not every platform turns into a menu event).
bool isMenuKey(const QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
           (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}
}  // namespace

bool VigilMenuHandler::eventFilter(QObject* watched, QEvent* event) {
    if (watched == container_) {
        const bool keyboardMenu = event->type() == QEvent::ContextMenu &&
                                  static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
        if (!keyboardMenu && !isMenuKey(event)) return false;
        // Where the platform sends both, the first has opened the menu already.
        if (!QApplication::activePopupWidget()) openAtCursoredRow();
        return true;
    }
    if (watched != container_->viewport() || event->type() != QEvent::ContextMenu) return false;
    auto* menuEvent = static_cast<QContextMenuEvent*>(event);
    if (menuEvent->reason() == QContextMenuEvent::Keyboard) openAtCursoredRow();
    else makePopUpMenu(container_->itemAt(menuEvent->pos()), menuEvent->pos());
    return true;
}
