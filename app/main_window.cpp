#include "app/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QStatusBar>
#include <QThread>
#include <QTreeWidget>

#include "app/main_window_event.h"
#include "app/status_texts.h"
#include "app/vigil_cnr_object.h"
#include "core/locks.h"
#include "core/program_settings.h"
#include "core/run_state.h"
#include "core/vigil.h"
#include "platform/qt/window_event.h"

MainWindow* mainWindow = nullptr;

namespace {

constexpr int kTimerMs = 20000;
constexpr int kSmallIcon = 16;
constexpr int kLargeIcon = 32;

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
    const SettingsValues s = ProgramSettings::snapshot();

    container_ = new QTreeWidget(this);
    container_->setColumnCount(VigilCnrObject::ColumnCount);
    container_->setHeaderLabels({QStringLiteral("Description"), QStringLiteral("Status"),
                                 QStringLiteral("Last Checked"), QStringLiteral("Last Changed")});
    container_->setRootIsDecorated(false);
    container_->setUniformRowHeights(true);
    container_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    container_->setAllColumnsShowFocus(true);
    const int side = s.smallIcons ? kSmallIcon : kLargeIcon;
    container_->setIconSize(QSize(side, side));

    const bool shown[VigilCnrObject::ColumnCount] = {true, s.showStatus, s.showChecked, s.showChanged};
    const int widths[VigilCnrObject::ColumnCount] = {s.iconWidth, s.statusWidth, s.checkWidth, s.changeWidth};
    const int fallback[VigilCnrObject::ColumnCount] = {s.descWidth > 0 ? s.descWidth : 300, 170, 180, 180};
    for (int c = 0; c < VigilCnrObject::ColumnCount; ++c) {
        container_->setColumnHidden(c, !shown[c]);
        container_->setColumnWidth(c, widths[c] > 0 ? widths[c] : fallback[c]);
    }
    setCentralWidget(container_);

    statusLine_ = new QLabel(this);
    statusBar()->addWidget(statusLine_, 1);
    setStatusText(QString::fromLatin1(statusTexts[StatusTextIndex::Initializing]));

    checkTimer_.setInterval(kTimerMs);
    connect(&checkTimer_, &QTimer::timeout, this, [] { postWindowEvent(MainWindowEvent::TimerTick, 1); });
}

void MainWindow::setStatusText(const QString& text) {
    statusLine_->setText(text);
}

QString MainWindow::statusLineText() const {
    return statusLine_->text();
}

void MainWindow::fillContainer() {
    const std::vector<std::shared_ptr<Vigil>> list = vigilListSnapshot();
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
    std::shared_ptr<Vigil> vigil = findVigil(identifier);
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
    lockMutex(vigilListLock, -1);
    if (VigilCnrObject* row = rowOf(identifier)) row->refresh();
    unlockMutex(vigilListLock);
}

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
    if (!closingWithoutSaving_ && !runState().batchMode) storeLayout();
    event->accept();
    // The main window ends the run even while other windows are open, and
    // hidden (batch mode) it would end none by closing.
    QCoreApplication::quit();
}

void MainWindow::storeLayout() {
    stopCheckTimer();
    for (const std::shared_ptr<Vigil>& vigil : vigilListSnapshot())
        if (vigil) vigil->requestStop();

    const QRect frame = geometry();
    const QPoint corner = pos();
    const bool measure = container_->topLevelItemCount() > 0 && container_->currentItem() != nullptr;
    int widths[VigilCnrObject::ColumnCount];
    for (int c = 0; c < VigilCnrObject::ColumnCount; ++c)
        widths[c] = container_->isColumnHidden(c) || !measure ? -1 : container_->columnWidth(c);

    ProgramSettings::update([&](SettingsValues& s) {
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
