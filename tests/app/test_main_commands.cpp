#include <gtest/gtest.h>

#include <QClipboard>
#include <QFontDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <QTreeWidget>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>

#include "app/check_scheduler.h"
#include "app/command_ids.h"
#include "app/command_services.h"
#include "app/main_command_handler.h"
#include "app/main_run.h"
#include "app/main_window.h"
#include "app/main_window_event.h"
#include "app/main_window_handler.h"
#include "app/sort_orders.h"
#include "app/status_texts.h"
#include "app/vigil_cnr_object.h"
#include "app/vigil_menu_handler.h"
#include "core/check_slots.h"
#include "core/ftp_vigil.h"
#include "core/program_settings.h"
#include "core/vigil_list.h"
#include "platform/tone.h"
#include "support/listed_vigil.h"
#include "support/qt_test_app.h"
#include "support/server_process.h"
#include "support/window_test_helpers.h"

namespace {

std::atomic<int> beeps{0};
void countBeep(int frequencyHz, int durationMs) {
    if (frequencyHz == 50 && durationMs == 50) ++beeps;
}

// A Vigil whose check only notes that it ran (and gives its slot back, as
// every check does).
std::mutex checkedMutex;
std::set<int> checkedIds;
class CheckedVigil : public ProbeVigil {
public:
    using ProbeVigil::ProbeVigil;
    void check() override {
        {
            std::lock_guard<std::mutex> g(checkedMutex);
            checkedIds.insert(id());
        }
        checkSlots().giveBack();
    }
};

bool runInPlace(std::function<void()> run) {
    run();
    return true;
}

struct AppFirst {
    AppFirst() { testApp(); }
};

// The window as the list leaves it once shown: rows filled, commands alive.
struct ShownWindow : AppFirst {
    ShownWindow() {
        setToneHook(countBeep);
        listLoaded = 1;
    }
    void show() {
        window.fillContainer();
        window.enableCommands();
    }
    QTreeWidget& list() { return *window.container(); }
    // Selects the rows of these Vigils; the cursor goes to the first.
    void select(std::initializer_list<std::shared_ptr<Vigil>> vigils) {
        list().clearSelection();
        bool first = true;
        for (const auto& vigil : vigils) {
            VigilCnrObject* row = window.rowOf(vigil->id());
            if (first) list().setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
            first = false;
            row->setSelected(true);
        }
    }
    std::vector<std::string> rowOrder() {
        std::vector<std::string> order;
        for (int i = 0; i < list().topLevelItemCount(); ++i)
            order.push_back(static_cast<VigilCnrObject*>(list().topLevelItem(i))->vigil()->description());
        return order;
    }
    MainWindow window;
};

std::vector<std::string> listOrder() {
    std::vector<std::string> order;
    for (const auto& vigil : vigilList().snapshot()) order.push_back(vigil->description());
    return order;
}

// Takes a Vigil's own lock on another thread, as a running check does, until released.
class BusyVigil {
public:
    explicit BusyVigil(Vigil& vigil) : thread_([this, &vigil] {
        vigil.checkLock().lock(-1);
        taken_ = true;
        while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        vigil.checkLock().unlock();
    }) {
        while (!taken_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~BusyVigil() {
        release_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> taken_{false}, release_{false};
    std::thread thread_;
};

}  // namespace

TEST(Commands, CheckSelectedStartsOneCheckPerSelectedRow) {
    ShownWindow f;
    setCheckThreadStarter(runInPlace);
    std::vector<std::shared_ptr<Vigil>> vigils;
    for (const char* name : {"One", "Two", "Three"}) {
        auto vigil = std::make_shared<CheckedVigil>(probeParams(name, VigilStatus::NoChange), "http://x.test/");
        appendToVigilList(vigil);
        vigils.push_back(vigil);
    }
    f.show();
    f.select({vigils[0], vigils[2]});
    f.window.runCommand(CommandId::CheckSelected);
    pumpUntil([] {
        std::lock_guard<std::mutex> g(checkedMutex);
        return checkedIds.size() == 2;
    });
    std::lock_guard<std::mutex> g(checkedMutex);
    EXPECT_EQ(checkedIds, (std::set<int>{vigils[0]->id(), vigils[2]->id()}));
}

TEST(Commands, SortOrdersReorderTheRowsAndTheVigilList) {
    ShownWindow f;
    auto b = addTestVigil(VigilKind::Web, "beta", VigilStatus::Changed);
    auto a = addTestVigil(VigilKind::Ftp, "Alpha", VigilStatus::Inactive);
    auto c = addTestVigil(VigilKind::Gopher, "alpha", VigilStatus::NoChange);
    auto d = addTestVigil(VigilKind::Web, "Delta", VigilStatus::NoChange);
    b->setLastChecked(300);
    b->setLastChanged(100);
    a->setLastChecked(500);
    d->setLastChecked(300);
    d->setLastChanged(200);  // c never checked, never changed
    f.show();
    f.select({c});

    using namespace CommandId;
    const std::pair<int, std::vector<std::string>> orders[] = {
        {SortByDescription, {"Alpha", "Delta", "alpha", "beta"}},   // case counts: capitals first
        {SortByLastChecked, {"Alpha", "Delta", "beta", "alpha"}},   // newest first, ties by name, never last
        {SortByLastChanged, {"Delta", "beta", "Alpha", "alpha"}},
        {SortByStatus, {"beta", "Delta", "alpha", "Alpha"}},        // 1032, 1033, 1033, 1042
        {SortByType, {"alpha", "Alpha", "Delta", "beta"}},          // Gopher, FTP, Web
    };
    for (const auto& [id, expected] : orders) {
        f.window.runCommand(id);
        EXPECT_EQ(f.rowOrder(), expected) << id;
        EXPECT_EQ(listOrder(), expected) << id;
    }
    // The selection and the cursor move with their row.
    EXPECT_EQ(f.window.cursoredRow(), f.window.rowOf(c->id()));
    ASSERT_EQ(f.window.selectedRows().size(), 1u);
    EXPECT_EQ(f.window.selectedRows().front(), f.window.rowOf(c->id()));

    // Empty list entries go last; other ids sort nothing.
    appendToVigilList(nullptr);
    EXPECT_TRUE(sortVigilList(SortByDescription));
    EXPECT_EQ(vigilList().snapshot().back(), nullptr);
    EXPECT_FALSE(sortVigilList(CheckAll));
}

TEST(Commands, SortsHoldWhileChecksChangeStatusesAndTimes) {
    ShownWindow f;
    std::vector<std::shared_ptr<ProbeVigil>> vigils;
    for (int i = 0; i < 40; ++i) vigils.push_back(addTestVigil(VigilKind::Web, "v" + std::to_string(i % 3)));
    f.show();
    // Threads store statuses and times the way finishing checks do, all the time.
    std::atomic<bool> stop{false};
    std::vector<std::thread> checks;
    for (unsigned t = 0; t < 3; ++t)
        checks.emplace_back([&vigils, &stop, t] {
            unsigned state = t + 1;
            while (!stop) {
                state = state * 1103515245u + 12345u;
                Vigil& vigil = *vigils[(state >> 8) % vigils.size()];
                vigil.setLastChecked(state % 5);
                vigil.setLastChanged((state >> 3) % 5);
                vigil.storeStatus(VigilStatus::Changed + static_cast<int>((state >> 5) % 3));
            }
        });
    using namespace CommandId;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < end)
        for (int id : {SortByLastChecked, SortByLastChanged, SortByStatus}) {
            f.window.sortRows(*sortOrderFor(id));
            sortVigilList(id);
        }
    stop = true;
    for (std::thread& thread : checks) thread.join();

    // Every Vigil is still there once, in the rows and in the list.
    std::set<const Vigil*> rows, listed;
    for (int i = 0; i < f.list().topLevelItemCount(); ++i)
        rows.insert(static_cast<VigilCnrObject*>(f.list().topLevelItem(i))->vigil().get());
    for (const auto& vigil : vigilList().snapshot()) listed.insert(vigil.get());
    EXPECT_EQ(f.list().topLevelItemCount(), 40);
    EXPECT_EQ(rows.size(), 40u);
    EXPECT_EQ(vigilList().snapshot().size(), 40u);
    EXPECT_EQ(listed, rows);
}

TEST(Commands, DisplayCommandsChangeTheSettingsAndTheWindow) {
    ShownWindow f;
    auto vigil = addTestVigil(VigilKind::Web, "News", VigilStatus::Changed);
    f.show();
    using namespace CommandId;
    QHeaderView& header = *f.list().header();
    auto shown = [&] {
        QStringList names;
        for (int v = 0; v < header.count(); ++v)
            if (!header.isSectionHidden(header.logicalIndex(v)))
                names << f.list().headerItem()->text(header.logicalIndex(v));
        return names;
    };
    // Hide Status with Last Checked shown, then show it again: the order holds.
    f.window.runCommand(ShowStatus);
    EXPECT_EQ(shown(), (QStringList{"Description", "Last Checked", "Last Changed"}));
    EXPECT_FALSE(ProgramSettings::snapshot().showStatus);
    EXPECT_FALSE(f.window.menuItem(ShowStatus)->isChecked());
    f.window.runCommand(ShowChanged);
    f.window.runCommand(ShowStatus);
    EXPECT_EQ(shown(), (QStringList{"Description", "Status", "Last Checked"}));
    // As a click does it: the item's own toggle comes first.
    f.window.menuItem(ShowChanged)->trigger();
    EXPECT_TRUE(f.window.menuItem(ShowChanged)->isChecked());
    EXPECT_TRUE(ProgramSettings::snapshot().showChanged);

    f.window.runCommand(ShowToolbar);
    EXPECT_TRUE(f.window.toolBar()->isHidden());
    EXPECT_FALSE(ProgramSettings::snapshot().showToolbar);
    f.window.menuItem(IconsOnly)->trigger();
    EXPECT_EQ(f.window.toolBar()->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_EQ(ProgramSettings::snapshot().buttonView, ButtonBitmaps);
    EXPECT_FALSE(f.window.menuItem(TextAndIcons)->isChecked());

    VigilCnrObject* row = f.window.rowOf(vigil->id());
    EXPECT_EQ(row->iconId(), IconId::Web);
    f.window.runCommand(StatusIcons);
    EXPECT_EQ(row->iconId(), IconId::Changed);
    f.select({vigil});
    EXPECT_EQ(f.window.statusLineText(), "Changed!");  // a selected row tells its status
    f.window.runCommand(StatusIcons);
    EXPECT_EQ(row->iconId(), IconId::Web);

    f.window.runCommand(SmallIcons);
    EXPECT_EQ(f.list().iconSize(), QSize(32, 32));
    EXPECT_FALSE(ProgramSettings::snapshot().smallIcons);

    QFont chosen(QStringLiteral("DejaVu Sans Mono"), 13);
    chosen.setUnderline(true);
    whenModal<QFontDialog>([chosen](QFontDialog& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Select a font");
        dialog.setCurrentFont(chosen);
        dialog.accept();
    });
    f.window.runCommand(Font);
    const FontSetting font = ProgramSettings::snapshot().font;
    EXPECT_TRUE(font.set);
    EXPECT_EQ(font.face, f.window.listFont().family().toStdString());
    EXPECT_EQ(font.size, 13);
    EXPECT_TRUE(font.underscore);
    EXPECT_EQ(f.window.listFont().pointSize(), 13);
}

TEST(Commands, CopyPutsTheUrlOnTheClipboardAndPasteHandsOnOnlyAddresses) {
    ShownWindow f;
    std::vector<QString> pasted;
    commandServices().pasteUrl = [&pasted](MainWindow&, const QString& text) { pasted.push_back(text); };
    auto vigil = addTestVigil(VigilKind::Web, "News");
    f.show();
    QClipboard& clipboard = *QGuiApplication::clipboard();
    clipboard.setText("before");
    f.window.runCommand(CommandId::CopyUrl);  // no cursored row: nothing
    EXPECT_EQ(clipboard.text(), "before");
    f.select({vigil});
    f.window.runCommand(CommandId::CopyUrl);
    EXPECT_EQ(clipboard.text(), "http://example.test/");

    for (const char* text : {"HTTP://Example.test/a", "mailto:me@example.test", "", "Gopher://hole.test/1",
                             "ftp://files.test/pub"}) {
        clipboard.setText(QString::fromLatin1(text));
        f.window.runCommand(CommandId::PasteUrl);
    }
    EXPECT_EQ(pasted, (std::vector<QString>{"HTTP://Example.test/a", "Gopher://hole.test/1", "ftp://files.test/pub"}));
}

TEST(Commands, SeamsReceiveWhatTheirTasksNeed) {
    ShownWindow f;
    std::vector<std::string> calls;
    auto note = [&calls](const std::string& what) { calls.push_back(what); };
    CommandServices& s = commandServices();
    s.newWebVigil = [&](MainWindow& w) { note(&w == &f.window ? "new web" : "wrong window"); };
    s.newFtpVigil = [&](MainWindow&) { note("new ftp"); };
    s.newGopherVigil = [&](MainWindow&) { note("new gopher"); };
    std::atomic<int> viewedInNewWindow{-1};
    s.viewVigil = [&](int id, bool newWindow) {
        if (newWindow) viewedInNewWindow = id;
        else note("view " + std::to_string(id));
    };
    s.openImport = [&](MainWindow&) { note("import"); };
    s.openProgramSettings = [&](MainWindow&) { note("settings"); };
    s.openAbout = [&](MainWindow&) { note("about"); };
    s.openUrlInBrowser = [&](MainWindow&, const std::string& url) { note("home " + url); };
    s.openFtpDetails = [&](MainWindow&, const std::shared_ptr<Vigil>& v) {
        note("details " + std::to_string(v->id()));
    };
    s.resetVigils = [&](MainWindow&, std::vector<int> ids) { note("reset " + std::to_string(ids.size())); };
    std::atomic<int> allRuns{0};
    std::atomic<bool> ranOnWindowThread{false};
    const std::thread::id windowThread = std::this_thread::get_id();
    s.resetAll = s.stopWatchingAll = s.startWatchingAll = [&] {
        if (std::this_thread::get_id() == windowThread) ranOnWindowThread = true;
        ++allRuns;
    };
    auto vigil = addTestVigil(VigilKind::Ftp, "Mirror");
    auto other = addTestVigil(VigilKind::Web, "Other");
    f.show();
    f.select({vigil});
    const std::string id = std::to_string(vigil->id());

    using namespace CommandId;
    for (int command : {NewWeb, ButtonNewWeb, NewFtp, ButtonNewFtp, NewGopher, ButtonNewGopher, ViewSelected,
                        Import, OpenProgramSettings, About, HomePage, Details, ResetSelected})
        f.window.runCommand(command);
    EXPECT_EQ(calls, (std::vector<std::string>{"new web", "new web", "new ftp", "new ftp", "new gopher",
                                               "new gopher", "view " + id, "import", "settings", "about",
                                               std::string("home ") + kHomePageUrl, "details " + id, "reset 1"}));
    f.window.runCommand(ViewInNewWindow);  // the client program starts on a thread of its own
    pumpUntil([&] { return viewedInNewWindow.load() == vigil->id(); });
    EXPECT_EQ(viewedInNewWindow.load(), vigil->id());

    for (int command : {ResetAll, ButtonResetAll, StopWatchingAll, StartWatchingAll}) f.window.runCommand(command);
    pumpUntil([&] { return allRuns.load() == 4; });
    EXPECT_EQ(allRuns.load(), 4);
    EXPECT_FALSE(ranOnWindowThread.load());

    // With two rows selected the one-Vigil commands only beep.
    calls.clear();
    f.select({vigil, other});
    beeps = 0;
    f.window.runCommand(ViewSelected);
    f.window.runCommand(ViewInNewWindow);
    EXPECT_EQ(beeps.load(), 2);
    EXPECT_TRUE(calls.empty());
}

TEST(Commands, EditAndResetConnectionKeepTheLockUntilTheTaskReleasesIt) {
    ShownWindow f;
    MainWindowHandler handler;
    handler.handleEventsFor(&f.window);
    std::atomic<int> edited{-1}, reset{-1};
    std::atomic<bool> lockHeldForTask{false};
    auto vigil = addTestVigil(VigilKind::Web, "News");
    commandServices().editVigil = [&](MainWindow&, const std::shared_ptr<Vigil>& target) {
        const int id = target->id();
        lockHeldForTask = vigilList().find(id)->checkLock().heldByCaller();
        edited = id;
        postWindowEvent(MainWindowEvent::ReleaseVigilLock, id);
    };
    commandServices().resetConnection = [&](MainWindow&, const std::shared_ptr<Vigil>& target) {
        const int id = target->id();
        // Held by the window thread, not by this task.
        lockHeldForTask = vigilList().find(id)->checkLock().held() && !vigilList().find(id)->checkLock().heldByCaller();
        reset = id;
        postWindowEvent(MainWindowEvent::ReleaseVigilLock, id);
    };
    f.show();
    f.select({vigil});

    f.window.runCommand(CommandId::Edit);
    EXPECT_EQ(edited.load(), vigil->id());
    EXPECT_TRUE(lockHeldForTask.load());
    EXPECT_TRUE(vigil->checkLock().heldByCaller());
    pumpUntil([&] { return !vigil->checkLock().held(); });
    EXPECT_FALSE(vigil->checkLock().held());

    lockHeldForTask = false;
    f.window.runCommand(CommandId::ResetConnection);
    pumpUntil([&] { return reset.load() == vigil->id() && !vigil->checkLock().held(); });
    EXPECT_EQ(reset.load(), vigil->id());
    EXPECT_TRUE(lockHeldForTask.load());
    EXPECT_FALSE(vigil->checkLock().held());

    // A Vigil under check: the beep, and no task.
    edited = -1;
    beeps = 0;
    {
        BusyVigil busy(*vigil);
        f.window.runCommand(CommandId::Edit);
    }
    EXPECT_EQ(edited.load(), -1);
    EXPECT_EQ(beeps.load(), 1);
}

TEST(Commands, StopWatchingServesTheIdleRowsAndBeepsForTheBusyOne) {
    ShownWindow f;
    std::vector<int> stopped;
    bool locksHeld = false;
    commandServices().stopWatching = [&](MainWindow&, std::vector<int> ids) {
        stopped = ids;
        locksHeld = true;
        for (int id : ids) locksHeld = locksHeld && vigilList().find(id)->checkLock().heldByCaller();
    };
    auto one = addTestVigil(VigilKind::Web, "One");
    auto two = addTestVigil(VigilKind::Web, "Two");
    auto three = addTestVigil(VigilKind::Web, "Three");
    f.show();
    f.select({one, two, three});
    beeps = 0;
    {
        BusyVigil busy(*two);
        f.window.runCommand(CommandId::StopWatching);
    }
    EXPECT_EQ(beeps.load(), 1);
    EXPECT_EQ(stopped, (std::vector<int>{one->id(), three->id()}));
    EXPECT_TRUE(locksHeld);
    EXPECT_FALSE(one->checkLock().held());
    EXPECT_FALSE(three->checkLock().held());
}

TEST(Commands, DeleteAsksFirstThenTheRowGoes) {
    ShownWindow f;
    std::vector<int> deleted;
    commandServices().deleteVigils = [&](MainWindow&, std::vector<int> ids) {
        EXPECT_TRUE(vigilList().find(ids.front())->checkLock().heldByCaller());
        deleted = ids;
    };
    auto keep = addTestVigil(VigilKind::Web, "Keep");
    auto gone = addTestVigil(VigilKind::Gopher, "Gone");
    f.show();
    f.select({gone});

    QString asked;
    auto answer = [&asked](QMessageBox::StandardButton button) {
        whenModal<QMessageBox>([&asked, button](QMessageBox& box) {
            asked = box.windowTitle() + ": " + box.text();
            box.button(button)->click();
        });
    };
    answer(QMessageBox::No);
    f.window.runCommand(CommandId::Delete);
    EXPECT_EQ(asked, "Tervane: Do you want to delete \"Gone\" ?");
    EXPECT_TRUE(deleted.empty());
    EXPECT_FALSE(gone->checkLock().held());

    answer(QMessageBox::Yes);
    f.window.runCommand(CommandId::Delete);
    EXPECT_EQ(deleted, std::vector<int>{gone->id()});
    EXPECT_EQ(f.window.rowOf(gone->id()), nullptr);
    EXPECT_EQ(f.list().topLevelItemCount(), 1);
    EXPECT_FALSE(gone->checkLock().held());

    // Two selected: one beep and no question.
    deleted.clear();
    auto third = addTestVigil(VigilKind::Web, "Third");
    f.window.addVigilObject(third->id());
    f.select({keep, third});
    beeps = 0;
    f.window.runCommand(CommandId::Delete);
    EXPECT_EQ(beeps.load(), 1);
    EXPECT_TRUE(deleted.empty());
}

TEST(Commands, DeleteQuestionShowsTheDescriptionAsWritten) {
    ShownWindow f;
    commandServices().deleteVigils = [](MainWindow&, std::vector<int>) {};
    // A description imported from someone's bookmark file.
    const std::string description = "<h1>BIG</h1><img src=\"/etc/some/local/file.png\">";
    auto marked = addTestVigil(VigilKind::Web, description);
    f.show();
    f.select({marked});
    QString asked;
    Qt::TextFormat format = Qt::AutoText;
    whenModal<QMessageBox>([&](QMessageBox& box) {
        asked = box.text();
        format = box.textFormat();
        box.button(QMessageBox::No)->click();
    });
    f.window.runCommand(CommandId::Delete);
    EXPECT_EQ(asked.toStdString(), "Do you want to delete \"" + description + "\" ?");
    EXPECT_EQ(format, Qt::PlainText);
}

TEST(Commands, EmptySlotsGreyTheirItemsAndExitClosesWithoutStoring) {
    ShownWindow f;
    TempDir dir;
    MainWindowHandler handler;
    handler.handleEventsFor(&f.window);
    f.show();
    f.window.setSettingsFileName(dir.file("VGW.INI"));
    using namespace CommandId;
    for (int id : {Edit, Delete, ResetSelected, ViewSelected, PasteUrl, Import, OpenProgramSettings, About})
        EXPECT_FALSE(f.window.menuItem(id)->isEnabled()) << id;
    for (int id : {CheckSelected, CheckAll, SortByStatus, Font, CopyUrl, Exit, HelpContents})
        EXPECT_TRUE(f.window.menuItem(id)->isEnabled()) << id;

    bool opened = false;
    commandServices().openImport = [&opened](MainWindow&) { opened = true; };
    f.window.updateCommandStates();
    EXPECT_TRUE(f.window.menuItem(Import)->isEnabled());
    f.window.menuItem(Import)->trigger();
    EXPECT_TRUE(opened);

    f.window.show();
    f.window.runCommand(Exit);
    pumpUntil([&] { return !f.window.isVisible(); });
    EXPECT_FALSE(f.window.isVisible());
    EXPECT_FALSE(pathExists(dir.file("VGW.INI")));
}

TEST(PopUpMenu, ItemsFollowTheSelectionAndTheRowsVigil) {
    ShownWindow f;
    TempDir dir;
    writeWholeFile(dir.file("old.lst"), "-rw-r--r-- 1 o g 1 Jan 02 2020 a.txt\r\n");
    writeWholeFile(dir.file("new.lst"), "-rw-r--r-- 1 o g 1 Jan 03 2020 a.txt\r\n");
    VigilParams p = probeParams("Changed files", VigilStatus::Changed);
    auto withFiles = std::make_shared<FtpVigil>(p, "anonymous", "guest@localhost", "/", std::nullopt,
                                                std::vector<std::string>{});
    withFiles->compareListings(dir.file("new.lst"), dir.file("old.lst"), nullptr);
    ASSERT_EQ(withFiles->changedCount(), 1);
    appendToVigilList(withFiles);
    auto plainFtp = std::make_shared<FtpVigil>(probeParams("Quiet", VigilStatus::NoChange), "anonymous",
                                               "guest@localhost", "/", std::nullopt, std::vector<std::string>{});
    appendToVigilList(plainFtp);
    auto unresolved = addTestVigil(VigilKind::Gopher, "Lost", VigilStatus::HostNotResolved);
    auto web = addTestVigil(VigilKind::Web, "Page");
    commandServices().openFtpDetails = [](MainWindow&, const std::shared_ptr<Vigil>&) {};
    f.show();

    auto items = [&](const std::shared_ptr<Vigil>& vigil) {
        std::unique_ptr<QMenu> menu = f.window.menuHandler().buildPopUpMenu(vigil ? f.window.rowOf(vigil->id()) : nullptr);
        QStringList texts;
        if (!menu) return texts;
        texts << QString::number(menu->property("menuId").toInt());
        for (const QAction* a : menu->actions())
            if (!a->isSeparator()) texts << a->text() + "=" + QString::number(a->data().toInt());
        return texts;
    };
    const QStringList rowItems{"&Check=442", "&Reset=443", "&View=445", "V&iew In New Window=1263",
                               "Start &Watching=488", "&Stop Watching=444", "Copy &URL=1199", "&Edit=420"};
    f.select({unresolved});
    auto menuOf = [&rowItems](const char* id, QStringList tail) { return QStringList{id} + rowItems + tail; };
    EXPECT_EQ(items(unresolved), menuOf("436", {"&Delete=446", "Reset Connection=937"}));
    EXPECT_EQ(items(plainFtp), menuOf("480", {"&Delete=446"}));
    EXPECT_EQ(items(withFiles), menuOf("480", {"Details...=481", "&Delete=446"}));
    EXPECT_EQ(items(web), menuOf("436", {"&Delete=446"}));
    EXPECT_TRUE(items(nullptr).isEmpty());  // the empty area

    f.select({web, plainFtp, unresolved});
    EXPECT_EQ(items(web), (QStringList{"1246", "&Check=442", "&Reset=443", "Start &Watching=488", "&Stop Watching=444"}));

    listLoaded = 0;
    EXPECT_TRUE(items(web).isEmpty());
    listLoaded = 1;

    // Its items send their commands like the menu bar's.
    int details = -1;
    commandServices().openFtpDetails = [&details](MainWindow&, const std::shared_ptr<Vigil>& v) {
        details = v->id();
    };
    f.select({withFiles});
    std::unique_ptr<QMenu> menu = f.window.menuHandler().buildPopUpMenu(f.window.rowOf(withFiles->id()));
    for (QAction* a : menu->actions())
        if (a->data().toInt() == CommandId::Details) a->trigger();
    EXPECT_EQ(details, withFiles->id());

    // The menu key and Shift+F10 open the cursored row's menu under that row.
    f.list().setCurrentItem(f.window.rowOf(plainFtp->id()));
    const QPoint under = f.list().viewport()->mapToGlobal(f.list().visualItemRect(f.list().currentItem()).center());
    for (const QKeyCombination key : {QKeyCombination(Qt::Key_Menu), Qt::SHIFT | Qt::Key_F10}) {
        QKeyEvent press(QEvent::KeyPress, key.key(), key.keyboardModifiers());
        QApplication::sendEvent(&f.list(), &press);
        auto* shown = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_TRUE(shown && shown->pos() == under) << key.key();
        EXPECT_EQ(shown->property("menuId").toInt(), PopUpMenuId::Ftp);
        shown->close();
    }
}
