#include "app/main_command_handler.h"

#include <QAction>
#include <QClipboard>
#include <QFontDialog>
#include <QGuiApplication>
#include <memory>
#include <string>
#include <vector>

#include "app/command_ids.h"
#include "app/command_services.h"
#include "app/check_scheduler.h"
#include "app/help_window.h"
#include "app/main_window.h"
#include "app/main_window_event.h"
#include "app/sort_orders.h"
#include "app/vigil_cnr_object.h"
#include "app/vigil_tasks.h"
#include "app/window_services.h"
#include "core/os_wrappers.h"
#include "core/program_settings.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "platform/ascii_text.h"
#include "platform/message_box.h"
#include "platform/qt/plain_message_box.h"
#include "platform/qt/window_event.h"
#include "platform/thread.h"

const char* const kHomePageUrl = "http://www.tervane.example/";

namespace {

using IdsSlot = std::function<void(MainWindow&, std::vector<int>)>;

std::shared_ptr<Vigil> vigilOf(const VigilCnrObject* row) {
    return row ? row->vigil() : nullptr;
}

// The Vigil's own lock without waiting; a busy Vigil answers with the beep.
bool tryLock(Vigil& vigil) {
    if (vigil.checkLock().lock(0) == 0) return true;
    refusalBeep();
    return false;
}

// Calls a slot for the Vigils whose lock could be taken, holding those locks
// across the call. Each busy Vigil beeps once; the others are served.
void withLocks(MainWindow& window, const IdsSlot& slot, const std::vector<std::shared_ptr<Vigil>>& vigils) {
    std::vector<std::shared_ptr<Vigil>> held;
    std::vector<int> ids;
    for (const std::shared_ptr<Vigil>& vigil : vigils) {
        if (!vigil || !tryLock(*vigil)) continue;
        held.push_back(vigil);
        ids.push_back(vigil->id());
    }
    if (!ids.empty()) slot(window, ids);
    for (const std::shared_ptr<Vigil>& vigil : held) vigil->checkLock().unlock();
}

std::vector<std::shared_ptr<Vigil>> selectedVigils(const MainWindow& window) {
    std::vector<std::shared_ptr<Vigil>> vigils;
    for (const VigilCnrObject* row : window.selectedRows()) vigils.push_back(vigilOf(row));
    return vigils;
}

// The cursored row's Vigil for a command that needs exactly one: two or more
// selected rows are refused with the beep.
std::shared_ptr<Vigil> singleVigil(const MainWindow& window) {
    if (window.selectedCount() >= 2) {
        refusalBeep();
        return nullptr;
    }
    return vigilOf(window.cursoredRow());
}

// Runs a task on a worker thread of its own; a thread that cannot start is not reported.
bool startTask(std::function<void()> task) {
    return startDetachedThread(std::move(task));
}

// Flips a display setting; returns its new state.
bool toggledSetting(bool SettingsValues::*flag) {
    bool now = false;
    ProgramSettings::update([&](SettingsValues& s) {
        s.*flag = !(s.*flag);
        now = s.*flag;
    });
    return now;
}

}  // namespace

namespace {

// Commands that add, change or delete Vigils.
bool changesList(int id) {
    using namespace CommandId;
    switch (id) {
        case NewWeb: case ButtonNewWeb: case NewFtp: case ButtonNewFtp: case NewGopher:
        case ButtonNewGopher: case Edit: case Delete: case PasteUrl: case Import:
            return true;
        default:
            return false;
    }
}

bool startsChecks(int id) {
    using namespace CommandId;
    return id == CheckSelected || id == CheckAll || id == ButtonCheckAll;
}

}  // namespace

void refusalBeep() {
    playTone(50, 50);
}

bool MainCommandHandler::available(int id) const {
    const CommandServices& s = commandServices();
    using namespace CommandId;
    switch (id) {
        case ResetSelected: return bool(s.resetVigils);
        case ViewSelected:
        case ViewInNewWindow: return bool(s.viewVigil);
        case StartWatching: return bool(s.startWatching);
        case StopWatching: return bool(s.stopWatching);
        case NewWeb:
        case ButtonNewWeb: return bool(s.newWebVigil);
        case NewFtp:
        case ButtonNewFtp: return bool(s.newFtpVigil);
        case NewGopher:
        case ButtonNewGopher: return bool(s.newGopherVigil);
        case Edit: return bool(s.editVigil);
        case Delete: return bool(s.deleteVigils);
        case PasteUrl: return bool(s.pasteUrl);
        case ResetAll:
        case ButtonResetAll: return bool(s.resetAll);
        case StartWatchingAll: return bool(s.startWatchingAll);
        case StopWatchingAll: return bool(s.stopWatchingAll);
        case Import: return bool(s.openImport);
        case OpenProgramSettings: return bool(s.openProgramSettings);
        case About: return bool(s.openAbout);
        case HomePage: return bool(s.openUrlInBrowser);
        case Details: return bool(s.openFtpDetails);
        case ResetConnection: return bool(s.resetConnection);
        default: return true;
    }
}

bool MainCommandHandler::command(int id) {
    const CommandServices& s = commandServices();
    using namespace CommandId;
    if (!available(id)) return true;  // greyed: nothing to do
    if ((changesList(id) || startsChecks(id)) && VigilStore::readOnly(window_.dataFileName(), vigilList())) {
        // Nothing done to this list would reach its file: refuse rather than lose it,
        // and check nothing, as every change found would be found again next time.
        showMessageBox("Tervane", "The list on screen is read-only: " + window_.dataFileName() +
                                      " was not read whole and is not saved over while Tervane runs, so " +
                                      (startsChecks(id) ? "its items are not checked."
                                                        : "items cannot be added, changed or deleted."));
        return true;
    }
    switch (id) {
        case CheckSelected:
            checkSelected();
            return true;
        case ResetSelected:
            // The cursored row only, whatever else is selected.
            withLocks(window_, s.resetVigils, {vigilOf(window_.cursoredRow())});
            return true;
        case StartWatching:
            withLocks(window_, s.startWatching, selectedVigils(window_));
            return true;
        case StopWatching:
            withLocks(window_, s.stopWatching, selectedVigils(window_));
            return true;
        case ViewSelected:
            if (std::shared_ptr<Vigil> vigil = singleVigil(window_)) s.viewVigil(vigil->id(), false);
            return true;
        case ViewInNewWindow:
            if (std::shared_ptr<Vigil> vigil = singleVigil(window_)) {
                const int vigilId = vigil->id();
                startTask([view = s.viewVigil, vigilId] { view(vigilId, true); });
            }
            return true;
        case NewWeb:
        case ButtonNewWeb:
            s.newWebVigil(window_);
            return true;
        case NewFtp:
        case ButtonNewFtp:
            s.newFtpVigil(window_);
            return true;
        case NewGopher:
        case ButtonNewGopher:
            s.newGopherVigil(window_);
            return true;
        case Edit:
            // The lock stays taken until the task's ReleaseVigilLock event.
            if (std::shared_ptr<Vigil> vigil = singleVigil(window_); vigil && tryLock(*vigil))
                s.editVigil(window_, vigil);
            return true;
        case Delete:
            deleteSelected();
            return true;
        case Exit:
            postWindowEvent(MainWindowEvent::Close);
            return true;
        case CopyUrl:
            copyUrl();
            return true;
        case PasteUrl:
            pasteUrl();
            return true;
        case CheckAll:
        case ButtonCheckAll:
            startTask([task = windowServices().checkAll] { if (task) task(); });
            return true;
        case ResetAll:
        case ButtonResetAll:
            startTask(s.resetAll);
            return true;
        case StartWatchingAll:
            startTask(s.startWatchingAll);
            return true;
        case StopWatchingAll:
            startTask(s.stopWatchingAll);
            return true;
        case SortByDescription:
        case SortByLastChecked:
        case SortByLastChanged:
        case SortByStatus:
        case SortByType:
            sort(id);
            return true;
        case Import:
            s.openImport(window_);
            return true;
        case OpenProgramSettings:
            s.openProgramSettings(window_);
            return true;
        case Font:
            chooseFont();
            return true;
        case ShowStatus:
        case ShowChecked:
        case ShowChanged:
            toggleColumn(id);
            return true;
        case ShowToolbar:
            toggleToolBar();
            return true;
        case TextAndIcons:
        case TextOnly:
        case IconsOnly:
            setButtonView(id);
            return true;
        case StatusIcons:
            toggleStatusIcons();
            return true;
        case SmallIcons:
            toggleSmallIcons();
            return true;
        case HelpContents:
            window_.helpWindow().showContents();
            return true;
        case HelpIndex:
            window_.helpWindow().showIndex();
            return true;
        case About:
            s.openAbout(window_);
            return true;
        case HomePage:
            s.openUrlInBrowser(window_, kHomePageUrl);
            return true;
        case Details:
            if (std::shared_ptr<Vigil> vigil = vigilOf(window_.cursoredRow())) s.openFtpDetails(window_, vigil);
            return true;
        case ResetConnection:
            if (std::shared_ptr<Vigil> vigil = vigilOf(window_.cursoredRow()); vigil && tryLock(*vigil)) {
                // The lock stays taken until the task's ReleaseVigilLock event.
                MainWindow* window = &window_;
                if (!startTask([task = s.resetConnection, window, vigil] { task(*window, vigil); }))
                    vigil->checkLock().unlock();
            }
            return true;
        default:
            return false;
    }
}

void MainCommandHandler::checkSelected() {
    for (const std::shared_ptr<Vigil>& vigil : selectedVigils(window_)) {
        const int vigilId = vigil->id();
        startTask([vigilId] { VigilTasks::checkOne(vigilId); });
    }
}

void MainCommandHandler::deleteSelected() {
    const VigilCnrObject* row = window_.cursoredRow();
    std::shared_ptr<Vigil> vigil = singleVigil(window_);
    if (!vigil || !tryLock(*vigil)) return;
    const QString question = QStringLiteral("Do you want to delete \"%1\" ?")
                                 .arg(row->text(VigilCnrObject::DescriptionColumn));
    PlainMessageBox box(QMessageBox::Question, QStringLiteral("Tervane"), question,
                        QMessageBox::Yes | QMessageBox::No, &window_);
    if (box.exec() != QMessageBox::Yes) {
        vigil->checkLock().unlock();
        return;
    }
    const int vigilId = vigil->id();
    commandServices().deleteVigils(window_, {vigilId});
    window_.removeVigilObject(vigilId);
    vigil->checkLock().unlock();
}

void MainCommandHandler::copyUrl() {
    std::shared_ptr<Vigil> vigil = vigilOf(window_.cursoredRow());
    if (!vigil) return;
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(QString::fromStdString(vigil->url()));
}

void MainCommandHandler::pasteUrl() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QString text = clipboard ? clipboard->text() : QString();
    if (text.isEmpty()) return;
    // Only the three kinds' URLs make a Vigil; any other text adds nothing.
    const std::string url = text.toStdString();
    if (startsWithNoCase(url, "http") || startsWithNoCase(url, "ftp") || startsWithNoCase(url, "gopher"))
        commandServices().pasteUrl(window_, text);
}

void MainCommandHandler::sort(int id) {
    const SortOrder* order = sortOrderFor(id);
    window_.sortRows(*order);
    VigilTasks::sortVigils(id);
    // vigil.dat keeps the list order, so the new order is written at once.
    window_.noteSave(windowServices().saveVigils(window_.dataFileName()));
}

void MainCommandHandler::chooseFont() {
    QFontDialog dialog(window_.listFont(), &window_);
    dialog.setWindowTitle(QStringLiteral("Select a font"));
    if (dialog.exec() != QDialog::Accepted) return;
    const QFont font = dialog.selectedFont();
    ProgramSettings::update([&font](SettingsValues& s) {
        s.font.set = true;
        s.font.face = font.family().toStdString();
        s.font.size = font.pointSize();
        s.font.bold = font.bold();
        s.font.italic = font.italic();
        s.font.underscore = font.underline();
        s.font.strikeout = font.strikeOut();
        // Outline has no counterpart here and stays as it was.
    });
    window_.setListFont(font);
}

void MainCommandHandler::toggleColumn(int id) {
    using namespace CommandId;
    bool SettingsValues::*flag = &SettingsValues::showStatus;
    int column = VigilCnrObject::StatusColumn;
    if (id == ShowChecked) {
        flag = &SettingsValues::showChecked;
        column = VigilCnrObject::CheckedColumn;
    } else if (id == ShowChanged) {
        flag = &SettingsValues::showChanged;
        column = VigilCnrObject::ChangedColumn;
    }
    const bool shown = toggledSetting(flag);
    window_.menuItem(id)->setChecked(shown);
    window_.setColumnShown(column, shown);
}

void MainCommandHandler::toggleToolBar() {
    const bool shown = toggledSetting(&SettingsValues::showToolbar);
    window_.menuItem(CommandId::ShowToolbar)->setChecked(shown);
    window_.setToolBarShown(shown);
}

void MainCommandHandler::setButtonView(int id) {
    const int view = id == CommandId::TextOnly ? ButtonText : (id == CommandId::IconsOnly ? ButtonBitmaps : ButtonBoth);
    ProgramSettings::update([view](SettingsValues& s) { s.buttonView = view; });
    window_.setButtonView(view);
}

void MainCommandHandler::toggleStatusIcons() {
    const bool on = toggledSetting(&SettingsValues::statusIcons);
    window_.menuItem(CommandId::StatusIcons)->setChecked(on);
    window_.refreshRowIcons();
}

void MainCommandHandler::toggleSmallIcons() {
    const bool small = toggledSetting(&SettingsValues::smallIcons);
    window_.menuItem(CommandId::SmallIcons)->setChecked(small);
    window_.setSmallIcons(small);
}
