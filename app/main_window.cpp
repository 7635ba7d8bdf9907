#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QThread>
#include <QToolBar>
#include <QTreeWidget>
#include <algorithm>

#include "app/command_ids.h"
#include "app/help_window.h"
#include "app/main_command_handler.h"
#include "app/main_run.h"
#include "app/main_window_event.h"
#include "app/sort_orders.h"
#include "app/status_texts.h"
#include "app/vigil_cnr_object.h"
#include "app/vigil_icons.h"
#include "app/vigil_menu_handler.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "platform/qt/window_event.h"

MainWindow* mainWindow = nullptr;

namespace {

constexpr int kTimerMs = 20000;
constexpr int kSmallIcon = 16;
constexpr int kLargeIcon = 32;

// The menus that wait for the list; Help works from the start.
constexpr int kListMenus[] = {CommandId::ActionsMenu, CommandId::VigilMenu, CommandId::SettingsMenu,
                              CommandId::DisplayMenu, CommandId::UrlMenu};

}  // namespace

MainWindow::MainWindow() {
    build();
    resize(900, 460);
}

MainWindow::MainWindow(const QRect& rect) {
    build();
    move(rect.topLeft());
    resize(rect.size());
}

MainWindow::~MainWindow() {
    if (mainWindow == this) mainWindow = nullptr;
}

void MainWindow::build() {
    mainWindow = this;
    setWindowTitle(QStringLiteral("Tervane"));
    setWindowIcon(vigilIcon(IconId::Program));

    commandHandler_ = std::make_unique<MainCommandHandler>(*this);
    buildContainer();
    menuHandler_ = std::make_unique<VigilMenuHandler>(*this, container_);
    buildMenuBar();
    buildToolBar();
    applyDisplaySettings();

    statusLine_ = new QLabel(this);
    statusBar()->addWidget(statusLine_, 1);
    setStatusText(QString::fromLatin1(statusTexts[StatusTextIndex::Initializing]));

    // F1 on the list: its help.
    auto* help = new QAction(this);
    help->setShortcut(QKeySequence::HelpContents);
    connect(help, &QAction::triggered, this, [this] { showHelpPanel(HelpPanel::VigilList); });
    addAction(help);

    checkTimer_.setInterval(kTimerMs);
    connect(&checkTimer_, &QTimer::timeout, this, [] { postWindowEvent(MainWindowEvent::TimerTick, 1); });
    updateCommandStates();
}

void MainWindow::buildContainer() {
    container_ = new QTreeWidget(this);
    container_->setColumnCount(VigilCnrObject::ColumnCount);
    container_->setHeaderLabels({QStringLiteral("Description"), QStringLiteral("Status"),
                                 QStringLiteral("Last Checked"), QStringLiteral("Last Changed")});
    container_->setRootIsDecorated(false);
    container_->setUniformRowHeights(true);
    container_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    container_->setAllColumnsShowFocus(true);
    container_->header()->setSectionsMovable(false);
    // Widths are the user's: stored at close, given back at the next start.
    container_->header()->setStretchLastSection(false);
    container_->viewport()->setAcceptDrops(true);
    container_->viewport()->installEventFilter(this);
    setCentralWidget(container_);

    // Double click or Enter on a row views it.
    connect(container_, &QTreeWidget::itemActivated, this,
            [](QTreeWidgetItem* row, int) { static_cast<VigilCnrObject*>(row)->open(); });
    connect(container_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this](const QItemSelection& selected, const QItemSelection&) {
                QList<QTreeWidgetItem*> rows;
                for (const QModelIndex& index : selected.indexes())
                    if (index.column() == 0) rows.push_back(container_->topLevelItem(index.row()));
                selectionChanged(rows);
            });
}

QAction* MainWindow::addItem(QMenu* menu, int id, const QString& text, const QKeySequence& key) {
    auto* action = menu->addAction(text);
    action->setData(id);
    if (!key.isEmpty()) action->setShortcut(key);
    connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
    menuItems_[id] = action;
    return action;
}

QMenu* MainWindow::addMenu(QMenu* parent, int id, const QString& text) {
    QMenu* menu = parent ? parent->addMenu(text) : menuBar()->addMenu(text);
    menu->menuAction()->setData(id);
    menuItems_[id] = menu->menuAction();
    connect(menu, &QMenu::aboutToShow, this, [this] { updateCommandStates(); });
    return menu;
}

void MainWindow::buildMenuBar() {
    using namespace CommandId;
    QMenu* vigil = addMenu(nullptr, VigilMenu, QStringLiteral("&Vigil"));
    addItem(vigil, CheckSelected, QStringLiteral("&Check Selected\tCtrl+C"), QKeySequence(Qt::CTRL | Qt::Key_C));
    addItem(vigil, ResetSelected, QStringLiteral("&Reset Selected\tCtrl+R"), QKeySequence(Qt::CTRL | Qt::Key_R));
    addItem(vigil, ViewSelected, QStringLiteral("&View Selected"));
    addItem(vigil, ViewInNewWindow, QStringLiteral("V&iew Selected In New Window"));
    addItem(vigil, StartWatching, QStringLiteral("Start &Watching Selected"));
    addItem(vigil, StopWatching, QStringLiteral("&Stop Watching Selected"));
    vigil->addSeparator();
    QMenu* newMenu = addMenu(vigil, NewMenu, QStringLiteral("&New"));
    addItem(newMenu, NewWeb, QStringLiteral("&Web...\tCtrl+W"), QKeySequence(Qt::CTRL | Qt::Key_W));
    addItem(newMenu, NewFtp, QStringLiteral("&FTP...\tCtrl+F"), QKeySequence(Qt::CTRL | Qt::Key_F));
    addItem(newMenu, NewGopher, QStringLiteral("&Gopher...\tCtrl+G"), QKeySequence(Qt::CTRL | Qt::Key_G));
    addItem(vigil, Edit, QStringLiteral("&Edit\tCtrl+E"), QKeySequence(Qt::CTRL | Qt::Key_E));
    vigil->addSeparator();
    addItem(vigil, Delete, QStringLiteral("&Delete\tCtrl+D"), QKeySequence(Qt::CTRL | Qt::Key_D));
    vigil->addSeparator();
    addItem(vigil, Exit, QStringLiteral("E&xit"));

    QMenu* url = addMenu(nullptr, UrlMenu, QStringLiteral("&URL"));
    addItem(url, CopyUrl, QStringLiteral("&Copy\tCtrl+Ins"), QKeySequence(Qt::CTRL | Qt::Key_Insert));
    addItem(url, PasteUrl, QStringLiteral("&Paste\tShift+Ins"), QKeySequence(Qt::SHIFT | Qt::Key_Insert));

    QMenu* actions = addMenu(nullptr, ActionsMenu, QStringLiteral("&Actions"));
    addItem(actions, CheckAll, QStringLiteral("&Check All\tF5"), QKeySequence(Qt::Key_F5));
    addItem(actions, ResetAll, QStringLiteral("&Reset All\tF6"), QKeySequence(Qt::Key_F6));
    addItem(actions, StartWatchingAll, QStringLiteral("Start &Watching All"));
    addItem(actions, StopWatchingAll, QStringLiteral("&Stop Watching All"));
    actions->addSeparator();
    QMenu* sortBy = addMenu(actions, SortMenu, QStringLiteral("S&ort By"));
    addItem(sortBy, SortByDescription, QStringLiteral("&Description"));
    addItem(sortBy, SortByLastChecked, QStringLiteral("&Last Time Checked"));
    addItem(sortBy, SortByLastChanged, QStringLiteral("Last Time &Changed"));
    addItem(sortBy, SortByStatus, QStringLiteral("&Status"));
    addItem(sortBy, SortByType, QStringLiteral("&Type"));
    actions->addSeparator();
    addItem(actions, Import, QStringLiteral("&Import"));

    QMenu* settings = addMenu(nullptr, SettingsMenu, QStringLiteral("&Settings"));
    addItem(settings, OpenProgramSettings, QStringLiteral("&Program Settings..."));

    QMenu* display = addMenu(nullptr, DisplayMenu, QStringLiteral("&Display"));
    addItem(display, Font, QStringLiteral("&Font..."));
    display->addSeparator();
    QMenu* columns = addMenu(display, ColumnsMenu, QStringLiteral("&Columns"));
    addItem(columns, ShowStatus, QStringLiteral("Show S&tatus"));
    addItem(columns, ShowChecked, QStringLiteral("Show Last &Checked"));
    addItem(columns, ShowChanged, QStringLiteral("Show Last Chan&ged"));
    display->addSeparator();
    addItem(display, ShowToolbar, QStringLiteral("&Show Toolbar"));
    QMenu* buttons = addMenu(display, ButtonsMenu, QStringLiteral("Toolbar &Buttons"));
    addItem(buttons, TextAndIcons, QStringLiteral("Text &And Icons"));
    addItem(buttons, TextOnly, QStringLiteral("&Text Only"));
    addItem(buttons, IconsOnly, QStringLiteral("&Icons Only"));
    display->addSeparator();
    addItem(display, StatusIcons, QStringLiteral("&Use Status Icons"));
    addItem(display, SmallIcons, QStringLiteral("S&mall Vigil Icons"));
    for (int id : {ShowStatus, ShowChecked, ShowChanged, ShowToolbar, TextAndIcons, TextOnly, IconsOnly,
                   StatusIcons, SmallIcons})
        menuItems_[id]->setCheckable(true);

    QMenu* help = addMenu(nullptr, HelpMenu, QStringLiteral("&Help"));
    addItem(help, HelpContents, QStringLiteral("Help &Contents"));
    addItem(help, HelpIndex, QStringLiteral("Help &Index"));
    addItem(help, About, QStringLiteral("&About..."));
    addItem(help, HomePage, QStringLiteral("Tervane Home Page"));

    // Which menu-bar menu each item sits in (through its submenus).
    for (const auto& [id, action] : menuItems_) {
        QAction* top = action;
        for (;;) {
            const auto owners = top->associatedObjects();
            QMenu* owner = nullptr;
            for (QObject* o : owners)
                if (auto* m = qobject_cast<QMenu*>(o)) owner = m;
            if (!owner) break;
            top = owner->menuAction();
        }
        menuOfItem_[id] = top->data().toInt();
    }

    // Only Help while the list loads.
    for (int id : kListMenus) menuItems_[id]->setEnabled(false);
}

void MainWindow::buildToolBar() {
    struct Button {
        int id;
        int bitmap;
        const char* text;
        const char* flyOver;
        bool startsGroup;
    };
    static const Button kButtons[] = {
        {CommandId::ButtonCheckAll, BitmapId::CheckAll, "Check All", "Check all Vigils", true},
        {CommandId::ButtonResetAll, BitmapId::ResetAll, "Reset All", "Reset all Vigils", false},
        {CommandId::ButtonNewWeb, BitmapId::NewWeb, "New Web", "New Web Vigil", true},
        {CommandId::ButtonNewFtp, BitmapId::NewFtp, "New FTP", "New FTP Vigil", false},
        {CommandId::ButtonNewGopher, BitmapId::NewGopher, "New Gopher", "New Gopher Vigil", false},
    };
    toolBar_ = addToolBar(QStringLiteral("Tool bar"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    toolBar_->setMovable(false);
    for (const Button& b : kButtons) {
        if (b.startsGroup && !toolBarLayout_.empty()) toolBar_->addSeparator();
        if (b.startsGroup) toolBarLayout_.push_back(0);
        QAction* action = toolBar_->addAction(vigilIcon(b.bitmap), QString::fromLatin1(b.text));
        action->setToolTip(QString::fromLatin1(b.flyOver));
        action->setData(b.id);
        action->setEnabled(false);
        const int id = b.id;
        connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
        buttons_[b.id] = action;
        toolBarLayout_.push_back(b.id);
    }
}

void MainWindow::applyDisplaySettings() {
    const SettingsValues s = ProgramSettings::snapshot();
    const bool shown[VigilCnrObject::ColumnCount] = {true, s.showStatus, s.showChecked, s.showChanged};
    const int widths[VigilCnrObject::ColumnCount] = {s.iconWidth, s.statusWidth, s.checkWidth, s.changeWidth};
    const int fallback[VigilCnrObject::ColumnCount] = {s.descWidth > 0 ? s.descWidth : 300, 190, 180, 180};
    for (int c = 0; c < VigilCnrObject::ColumnCount; ++c) {
        container_->setColumnHidden(c, !shown[c]);
        container_->setColumnWidth(c, widths[c] > 0 ? widths[c] : fallback[c]);
    }
    setSmallIcons(s.smallIcons);
    if (s.font.set) {
        QFont font(QString::fromStdString(s.font.face));
        if (s.font.size > 0) font.setPointSize(s.font.size);
        font.setBold(s.font.bold);
        font.setItalic(s.font.italic);
        font.setUnderline(s.font.underscore);
        font.setStrikeOut(s.font.strikeout);
        setListFont(font);
    }
    const QPalette palette = container_->palette();
    const QColor foreground = s.foreground.set ? QColor(s.foreground.red, s.foreground.green, s.foreground.blue)
                                               : palette.color(QPalette::Text);
    const QColor background = s.background.set ? QColor(s.background.red, s.background.green, s.background.blue)
                                               : palette.color(QPalette::Base);
    if (s.foreground.set || s.background.set) setListColors(foreground, background);

    using namespace CommandId;
    menuItems_[ShowStatus]->setChecked(s.showStatus);
    menuItems_[ShowChecked]->setChecked(s.showChecked);
    menuItems_[ShowChanged]->setChecked(s.showChanged);
    menuItems_[StatusIcons]->setChecked(s.statusIcons);
    menuItems_[SmallIcons]->setChecked(s.smallIcons);
    menuItems_[ShowToolbar]->setChecked(s.showToolbar);
    setToolBarShown(s.showToolbar);
    setButtonView(s.buttonView);
}

void MainWindow::setStatusText(const QString& text) {
    statusLine_->setText(text);
}

QString MainWindow::statusLineText() const {
    return statusLine_->text();
}

// --- The list

void MainWindow::fillContainer() {
    const std::vector<std::shared_ptr<Vigil>> list = vigilList().snapshot();
    if (!list.empty()) {
        const bool statusIcons = ProgramSettings::snapshot().statusIcons;
        QList<QTreeWidgetItem*> rows;
        rows.reserve(static_cast<qsizetype>(list.size()));
        for (size_t i = 0; i < list.size(); ++i) {
            const std::shared_ptr<Vigil>& vigil = list[i];
            if (!vigil) continue;
            const int icon = statusIcons ? statusIcon(vigil->status()) : kindIcon(vigil->kind());
            auto* row = new VigilCnrObject(vigil, icon, static_cast<int>(i));
            rows.push_back(row);
            rowMap_[vigil->id()] = row;
        }
        container_->addTopLevelItems(rows);
    }
    postWindowEvent(MainWindowEvent::StartupComplete);
}

bool MainWindow::addVigilObject(int identifier) {
    std::shared_ptr<Vigil> vigil = vigilList().find(identifier);
    if (!vigil) return false;
    // The kind's icon whatever the setting: the next refresh sets a status icon.
    auto* row = new VigilCnrObject(vigil, kindIcon(vigil->kind()), container_->topLevelItemCount());
    container_->addTopLevelItem(row);
    rowMap_[identifier] = row;
    return true;
}

VigilCnrObject* MainWindow::rowOf(int identifier) const {
    const auto found = rowMap_.find(identifier);
    return found == rowMap_.end() ? nullptr : found->second;
}

void MainWindow::refreshVigilRecord(int identifier) {
    VigilList::Hold hold(vigilList());
    if (VigilCnrObject* row = rowOf(identifier)) row->refresh();
}

void MainWindow::removeVigilObject(int identifier) {
    const auto found = rowMap_.find(identifier);
    if (found == rowMap_.end()) return;
    delete found->second;  // leaves the container
    rowMap_.erase(found);
}

VigilCnrObject* MainWindow::cursoredRow() const {
    return static_cast<VigilCnrObject*>(container_->currentItem());
}

std::vector<VigilCnrObject*> MainWindow::selectedRows() const {
    std::vector<VigilCnrObject*> rows;
    for (int i = 0; i < container_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = container_->topLevelItem(i);
        if (row->isSelected()) rows.push_back(static_cast<VigilCnrObject*>(row));
    }
    return rows;
}

int MainWindow::selectedCount() const {
    int count = 0;
    for (int i = 0; i < container_->topLevelItemCount() && count < 2; ++i)
        if (container_->topLevelItem(i)->isSelected()) ++count;
    return count;
}

void MainWindow::selectionChanged(const QList<QTreeWidgetItem*>& nowSelected) {
    if (nowSelected.isEmpty() || !ProgramSettings::snapshot().statusIcons) return;
    const auto* row = static_cast<const VigilCnrObject*>(nowSelected.back());
    setStatusText(row->text(VigilCnrObject::StatusColumn));
}

void MainWindow::sortRows(const SortOrder& order) {
    QTreeWidgetItem* current = container_->currentItem();
    const std::vector<VigilCnrObject*> selected = selectedRows();
    const QList<QTreeWidgetItem*> taken = container_->invisibleRootItem()->takeChildren();
    std::vector<const Vigil*> vigils;
    vigils.reserve(static_cast<size_t>(taken.size()));
    for (QTreeWidgetItem* row : taken) vigils.push_back(static_cast<VigilCnrObject*>(row)->vigil().get());
    QList<QTreeWidgetItem*> rows;
    rows.reserve(taken.size());
    for (size_t position : sortedPositions(vigils, order)) rows.append(taken[static_cast<qsizetype>(position)]);
    container_->addTopLevelItems(rows);
    if (current) container_->setCurrentItem(current, 0, QItemSelectionModel::NoUpdate);
    for (VigilCnrObject* row : selected) row->setSelected(true);
}

void MainWindow::refreshRowIcons() {
    const bool statusIcons = ProgramSettings::snapshot().statusIcons;
    VigilList::Hold hold(vigilList());
    for (int i = 0; i < container_->topLevelItemCount(); ++i) {
        auto* row = static_cast<VigilCnrObject*>(container_->topLevelItem(i));
        const Vigil& vigil = *row->vigil();
        row->setIconId(statusIcons ? statusIcon(vigil.status()) : kindIcon(vigil.kind()));
    }
}

// --- Display

void MainWindow::setColumnShown(int column, bool shown) {
    // The Description column stays; hidden columns keep their place, so the
    // order never changes whatever the order of the toggles.
    if (column <= VigilCnrObject::DescriptionColumn || column >= VigilCnrObject::ColumnCount) return;
    container_->setColumnHidden(column, !shown);
}

void MainWindow::setSmallIcons(bool small) {
    const int side = small ? kSmallIcon : kLargeIcon;
    container_->setIconSize(QSize(side, side));
}

void MainWindow::setToolBarShown(bool shown) {
    toolBar_->setVisible(shown);
}

void MainWindow::setButtonView(int view) {
    using namespace CommandId;
    Qt::ToolButtonStyle style = Qt::ToolButtonTextBesideIcon;
    int checked = TextAndIcons;
    if (view == ButtonText) {
        style = Qt::ToolButtonTextOnly;
        checked = TextOnly;
    } else if (view == ButtonBitmaps) {
        style = Qt::ToolButtonIconOnly;
        checked = IconsOnly;
    }
    toolBar_->setToolButtonStyle(style);
    for (int id : {TextAndIcons, TextOnly, IconsOnly}) menuItems_[id]->setChecked(id == checked);
}

void MainWindow::setListFont(const QFont& font) {
    container_->setFont(font);
}

QFont MainWindow::listFont() const {
    return container_->font();
}

void MainWindow::setListColors(const QColor& foreground, const QColor& background) {
    QPalette palette = container_->palette();
    palette.setColor(QPalette::Text, foreground);
    palette.setColor(QPalette::Base, background);
    container_->setPalette(palette);
}

QColor MainWindow::listForeground() const {
    return container_->palette().color(QPalette::Text);
}

QColor MainWindow::listBackground() const {
    return container_->palette().color(QPalette::Base);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != container_->viewport()) return QMainWindow::eventFilter(watched, event);
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (!drag->mimeData()->hasColor()) return false;
        drag->acceptProposedAction();
        return true;
    }
    if (event->type() == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasColor()) return false;
        const QColor colour = qvariant_cast<QColor>(drop->mimeData()->colorData());
        if (drop->modifiers() & Qt::ControlModifier) setListColors(colour, listBackground());
        else setListColors(listForeground(), colour);
        drop->acceptProposedAction();
        return true;
    }
    return false;
}

// --- Menus, tool bar and commands

QAction* MainWindow::menuItem(int id) const {
    const auto found = menuItems_.find(id);
    return found == menuItems_.end() ? nullptr : found->second;
}

QAction* MainWindow::toolBarButton(int id) const {
    const auto found = buttons_.find(id);
    return found == buttons_.end() ? nullptr : found->second;
}

std::vector<int> MainWindow::toolBarLayout() const {
    return toolBarLayout_;
}

void MainWindow::enableMenuItem(int id) {
    if (QAction* item = menuItem(id)) item->setEnabled(true);
}

void MainWindow::enableCommands() {
    commandsEnabled_ = true;
    for (int id : kListMenus) enableMenuItem(id);
    updateCommandStates();
}

void MainWindow::updateCommandStates() {
    for (const auto& [id, action] : menuItems_)
        if (!action->menu()) action->setEnabled(commandHandler_->available(id));
    for (const auto& [id, action] : buttons_) action->setEnabled(commandsEnabled_ && commandHandler_->available(id));
}

bool MainWindow::commandAllowed(int id) const {
    if (const QAction* button = toolBarButton(id)) return button->isEnabled();
    if (!commandHandler_->available(id)) return false;
    const auto menu = menuOfItem_.find(id);
    // Items of the pop-up menus only: the pop-up appears once the list is loaded.
    if (menu == menuOfItem_.end()) return true;
    const QAction* top = menuItem(menu->second);
    return top && top->isEnabled();
}

void MainWindow::runCommand(int id) {
    if (commandAllowed(id)) commandHandler_->command(id);
}

// --- Help

HelpWindow& MainWindow::helpWindow() {
    if (!helpWindow_) helpWindow_ = new HelpWindow(this);
    return *helpWindow_;
}

void MainWindow::showHelpPanel(int panelId) {
    helpWindow().showPanel(panelId);
}

// --- Timer and close

void MainWindow::startCheckTimer() {
    checkTimer_.start();
}

void MainWindow::stopCheckTimer() {
    checkTimer_.stop();
}

void MainWindow::closeWithoutSaving() {
    closingWithoutSaving_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Asked before anything of the run is stopped: the user may keep the window.
    if (!runState().batchMode && !saveAtClose(*this)) {
        closingWithoutSaving_ = false;
        event->ignore();
        return;
    }
    if (!closingWithoutSaving_ && !runState().batchMode) storeLayout();
    event->accept();
    if (helpWindow_) helpWindow_->close();
    // The main window ends the run even while other windows are open, and
    // hidden (batch mode) it would end none by closing.
    QCoreApplication::quit();
}

void MainWindow::storeLayout() {
    stopCheckTimer();
    for (const std::shared_ptr<Vigil>& vigil : vigilList().snapshot())
        if (vigil) vigil->requestStop();

    const QColor foreground = listForeground();
    const QColor background = listBackground();
    const QRect frame = geometry();
    const QPoint corner = pos();
    const bool measure = container_->topLevelItemCount() > 0 && container_->currentItem() != nullptr;
    int widths[VigilCnrObject::ColumnCount];
    for (int c = 0; c < VigilCnrObject::ColumnCount; ++c)
        widths[c] = container_->isColumnHidden(c) || !measure ? -1 : container_->columnWidth(c);

    ProgramSettings::update([&](SettingsValues& s) {
        s.foreground = ColorSetting{true, foreground.red(), foreground.green(), foreground.blue()};
        s.background = ColorSetting{true, background.red(), background.green(), background.blue()};
        s.mainWindow.hasPosition = s.mainWindow.hasSize = true;
        s.mainWindow.x = corner.x();
        s.mainWindow.y = corner.y();
        s.mainWindow.width = frame.width();
        s.mainWindow.height = frame.height();
        // A column that is not shown keeps its stored width.
        int* stored[VigilCnrObject::ColumnCount] = {&s.iconWidth, &s.statusWidth, &s.checkWidth, &s.changeWidth};
        for (int c = 0; c < VigilCnrObject::ColumnCount; ++c)
            if (widths[c] > 0) *stored[c] = widths[c];
    });
    if (!settingsFileName_.empty()) ProgramSettings::save(settingsFileName_);
}

void refreshVigilRecord(int identifier) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    if (QThread::currentThread() == app->thread()) {
        if (mainWindow) mainWindow->refreshVigilRecord(identifier);
        return;
    }
    QMetaObject::invokeMethod(
        app, [identifier] { if (mainWindow) mainWindow->refreshVigilRecord(identifier); },
        Qt::QueuedConnection);
}
