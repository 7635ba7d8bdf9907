#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDir>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <QFile>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QToolBar>
#include <QTreeWidget>
#include <atomic>

#include "app/command_ids.h"
#include "app/command_services.h"
#include "app/help_window.h"
#include "app/main_run.h"
#include "app/main_window.h"
#include "app/vigil_menu_handler.h"
#include "app/vigil_cnr_object.h"
#include "app/window_services.h"
#include "core/program_settings.h"
#include "dialogs/web_settings_dialog.h"
#include "support/dialog_driver.h"
#include "support/listed_vigil.h"
#include "support/qt_test_app.h"
#include "support/server_process.h"
#include "support/window_test_helpers.h"

namespace {

// One menu as its entries read: "-" for a separator, else "text=id", with a
// submenu's entries in brackets after it.
QString describe(const QMenu* menu) {
    QStringList parts;
    for (const QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            parts << QStringLiteral("-");
            continue;
        }
        QString entry = a->text() + QLatin1Char('=') + QString::number(a->data().toInt());
        if (a->menu()) entry += QLatin1String(" [") + describe(a->menu()) + QLatin1Char(']');
        parts << entry;
    }
    return parts.join(QLatin1String(", "));
}

QString describeMenuBar(const QMenuBar* bar) {
    QStringList menus;
    for (const QAction* a : bar->actions())
        menus << a->text() + QLatin1Char('=') + QString::number(a->data().toInt()) + QLatin1String(": ") +
                     describe(a->menu());
    return menus.join(QLatin1Char('\n'));
}

// Which columns show, left to right, by their headings.
QStringList shownColumns(const QTreeWidget& list) {
    QStringList shown;
    const QHeaderView* header = list.header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int logical = header->logicalIndex(visual);
        if (!header->isSectionHidden(logical)) shown << list.headerItem()->text(logical);
    }
    return shown;
}

struct AppFirst {
    AppFirst() { testApp(); }
};

}  // namespace

TEST(MainFrame, MenuBarHoldsEveryItemWithItsIdAndKey) {
    AppFirst app;
    MainWindow window;
    const QString expected = QStringLiteral(
        "&Vigil=308: &Check Selected\tCtrl+C=442, &Reset Selected\tCtrl+R=443, &View Selected=445, "
        "V&iew Selected In New Window=1263, Start &Watching Selected=488, &Stop Watching Selected=444, -, "
        "&New=374 [&Web...\tCtrl+W=375, &FTP...\tCtrl+F=376, &Gopher...\tCtrl+G=377], &Edit\tCtrl+E=420, -, "
        "&Delete\tCtrl+D=446, -, E&xit=1196\n"
        "&URL=1198: &Copy\tCtrl+Ins=1199, &Paste\tShift+Ins=1200\n"
        "&Actions=366: &Check All\tF5=367, &Reset All\tF6=378, Start &Watching All=712, &Stop Watching All=447, "
        "-, S&ort By=941 [&Description=942, &Last Time Checked=943, Last Time &Changed=1015, &Status=944, "
        "&Type=982], -, &Import=1039\n"
        "&Settings=425: &Program Settings...=426\n"
        "&Display=1075: &Font...=1209, -, &Columns=1194 [Show S&tatus=1076, Show Last &Checked=1077, "
        "Show Last Chan&ged=1078], -, &Show Toolbar=705, Toolbar &Buttons=1195 [Text &And Icons=1021, "
        "&Text Only=1022, &Icons Only=1023], -, &Use Status Icons=1238, S&mall Vigil Icons=1014\n"
        "&Help=356: Help &Contents=938, Help &Index=364, &About...=428, Tervane Home Page=1245");
    EXPECT_EQ(describeMenuBar(window.menuBar()), expected);

    // The accelerator table behind the texts.
    const std::pair<int, QKeySequence> keys[] = {
        {1199, QKeySequence(Qt::CTRL | Qt::Key_Insert)}, {1200, QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
        {367, QKeySequence(Qt::Key_F5)},                 {378, QKeySequence(Qt::Key_F6)},
        {375, QKeySequence(Qt::CTRL | Qt::Key_W)},       {376, QKeySequence(Qt::CTRL | Qt::Key_F)},
        {377, QKeySequence(Qt::CTRL | Qt::Key_G)},       {420, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {446, QKeySequence(Qt::CTRL | Qt::Key_D)},       {442, QKeySequence(Qt::CTRL | Qt::Key_C)},
        {443, QKeySequence(Qt::CTRL | Qt::Key_R)},
    };
    for (const auto& [id, key] : keys) EXPECT_EQ(window.menuItem(id)->shortcut(), key) << id;
}

TEST(MainFrame, ToolBarHasTwoGroupsWithFlyOverTexts) {
    AppFirst app;
    MainWindow window;
    EXPECT_EQ(window.toolBarLayout(), (std::vector<int>{0, 695, 697, 0, 699, 701, 703}));
    const std::pair<int, const char*> tips[] = {{695, "Check all Vigils"}, {697, "Reset all Vigils"},
                                                {699, "New Web Vigil"},    {701, "New FTP Vigil"},
                                                {703, "New Gopher Vigil"}};
    for (const auto& [id, tip] : tips) {
        EXPECT_EQ(window.toolBarButton(id)->toolTip(), QString::fromLatin1(tip));
        EXPECT_FALSE(window.toolBarButton(id)->isEnabled()) << id;
    }
    QStringList onBar;
    for (const QAction* a : window.toolBar()->actions()) onBar << (a->isSeparator() ? "-" : a->text());
    EXPECT_EQ(onBar, (QStringList{"Check All", "Reset All", "-", "New Web", "New FTP", "New Gopher"}));
    // First run: text and icons.
    EXPECT_EQ(window.toolBar()->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
    EXPECT_TRUE(window.menuItem(CommandId::TextAndIcons)->isChecked());
}

TEST(MainFrame, OnlyHelpWorksUntilTheListIsShown) {
    AppFirst app;
    std::atomic<int> checkAlls{0};
    windowServices().checkAll = [&checkAlls] { ++checkAlls; };
    commandServices().newWebVigil = [](MainWindow&) {};
    MainWindow window;

    for (int menu : {308, 1198, 366, 425, 1075}) EXPECT_FALSE(window.menuItem(menu)->isEnabled()) << menu;
    EXPECT_TRUE(window.menuItem(CommandId::HelpMenu)->isEnabled());
    EXPECT_FALSE(window.commandAllowed(CommandId::CheckAll));
    window.runCommand(CommandId::CheckAll);
    window.runCommand(CommandId::ButtonCheckAll);
    window.runCommand(CommandId::HelpContents);
    EXPECT_TRUE(window.helpWindow().isVisible());

    window.enableCommands();
    for (int menu : {308, 1198, 366, 425, 1075}) EXPECT_TRUE(window.menuItem(menu)->isEnabled()) << menu;
    EXPECT_TRUE(window.toolBarButton(CommandId::ButtonCheckAll)->isEnabled());
    EXPECT_TRUE(window.toolBarButton(CommandId::ButtonNewWeb)->isEnabled());
    // No work behind them yet: greyed.
    EXPECT_FALSE(window.toolBarButton(CommandId::ButtonNewFtp)->isEnabled());
    EXPECT_FALSE(window.menuItem(CommandId::NewFtp)->isEnabled());
    EXPECT_FALSE(window.commandAllowed(CommandId::NewFtp));
    window.runCommand(CommandId::ButtonCheckAll);
    pumpUntil([&] { return checkAlls.load() == 1; });
    EXPECT_EQ(checkAlls.load(), 1);
}

TEST(MainFrame, LayoutComesFromTheSettings) {
    AppFirst app;
    ProgramSettings::update([](SettingsValues& s) {
        s.showChecked = false;
        s.iconWidth = 222;
        s.statusWidth = 111;
        s.changeWidth = 133;
        s.smallIcons = false;
        s.showToolbar = false;
        s.statusIcons = true;
        s.buttonView = ButtonText;
        s.font = FontSetting{true, "DejaVu Serif", 14, true, false, false, true, false};
        s.foreground = ColorSetting{true, 10, 20, 30};
        s.background = ColorSetting{true, 250, 240, 200};
    });
    MainWindow window;
    QTreeWidget& list = *window.container();
    EXPECT_EQ(shownColumns(list), (QStringList{"Description", "Status", "Last Changed"}));
    EXPECT_EQ(list.columnWidth(VigilCnrObject::DescriptionColumn), 222);
    EXPECT_EQ(list.columnWidth(VigilCnrObject::StatusColumn), 111);
    EXPECT_EQ(list.columnWidth(VigilCnrObject::ChangedColumn), 133);
    EXPECT_EQ(list.iconSize(), QSize(32, 32));
    EXPECT_TRUE(window.toolBar()->isHidden());
    EXPECT_EQ(window.toolBar()->toolButtonStyle(), Qt::ToolButtonTextOnly);
    EXPECT_EQ(window.listFont().family(), "DejaVu Serif");
    EXPECT_EQ(window.listFont().pointSize(), 14);
    EXPECT_TRUE(window.listFont().bold());
    EXPECT_TRUE(window.listFont().italic());
    EXPECT_EQ(window.listForeground(), QColor(10, 20, 30));
    EXPECT_EQ(window.listBackground(), QColor(250, 240, 200));

    using namespace CommandId;
    EXPECT_TRUE(window.menuItem(ShowStatus)->isChecked());
    EXPECT_FALSE(window.menuItem(ShowChecked)->isChecked());
    EXPECT_TRUE(window.menuItem(ShowChanged)->isChecked());
    EXPECT_TRUE(window.menuItem(StatusIcons)->isChecked());
    EXPECT_FALSE(window.menuItem(SmallIcons)->isChecked());
    EXPECT_FALSE(window.menuItem(ShowToolbar)->isChecked());
    EXPECT_TRUE(window.menuItem(TextOnly)->isChecked());
    EXPECT_FALSE(window.menuItem(TextAndIcons)->isChecked());
}

TEST(MainFrame, CloseBoxStoresTheLayoutThatTheNextWindowShows) {
    AppFirst app;
    TempDir dir;
    const std::string profile = dir.file("VGW.INI");
    ProgramSettings::update([](SettingsValues& s) {
        s.showChanged = false;
        s.changeWidth = 77;
    });
    addTestVigil(VigilKind::Web, "News");
    {
        MainWindow window(QRect(40, 50, 700, 400));
        window.setSettingsFileName(profile);
        window.fillContainer();
        window.container()->setCurrentItem(window.container()->topLevelItem(0));
        window.container()->setColumnWidth(VigilCnrObject::DescriptionColumn, 260);
        window.container()->setColumnWidth(VigilCnrObject::StatusColumn, 120);
        window.container()->setColumnWidth(VigilCnrObject::CheckedColumn, 190);
        window.container()->setColumnWidth(VigilCnrObject::ChangedColumn, 55);  // hidden: not stored
        window.setListColors(QColor(1, 2, 3), QColor(200, 210, 220));
        window.show();
        window.close();
        EXPECT_TRUE(vigilList().at(0)->stopRequested());
    }
    const std::string text = readWholeFile(profile);
    EXPECT_NE(text.find("icon width=260"), std::string::npos) << text;
    EXPECT_NE(text.find("fore red=1"), std::string::npos);

    ProgramSettings::reset();
    ASSERT_TRUE(ProgramSettings::load(profile));
    const SettingsValues s = ProgramSettings::snapshot();
    EXPECT_EQ(s.iconWidth, 260);
    EXPECT_EQ(s.statusWidth, 120);
    EXPECT_EQ(s.checkWidth, 190);
    EXPECT_EQ(s.changeWidth, 77);
    EXPECT_EQ(s.mainWindow.width, 700);
    EXPECT_EQ(s.mainWindow.height, 400);

    MainWindow again(QRect(s.mainWindow.x, s.mainWindow.y, s.mainWindow.width, s.mainWindow.height));
    EXPECT_EQ(again.container()->columnWidth(VigilCnrObject::DescriptionColumn), 260);
    EXPECT_EQ(again.container()->columnWidth(VigilCnrObject::CheckedColumn), 190);
    EXPECT_TRUE(again.container()->isColumnHidden(VigilCnrObject::ChangedColumn));
    EXPECT_EQ(again.listForeground(), QColor(1, 2, 3));
    EXPECT_EQ(again.listBackground(), QColor(200, 210, 220));
}

TEST(MainFrame, ClosingAnEmptyListKeepsTheWidthsAndExitStoresNothing) {
    AppFirst app;
    TempDir dir;
    ProgramSettings::update([](SettingsValues& s) { s.statusWidth = 99; });
    {
        MainWindow window;
        window.setSettingsFileName(dir.file("VGW.INI"));
        window.container()->setColumnWidth(VigilCnrObject::StatusColumn, 150);
        window.close();
    }
    EXPECT_EQ(ProgramSettings::snapshot().statusWidth, 99);
    EXPECT_TRUE(ProgramSettings::snapshot().mainWindow.hasSize);
    EXPECT_TRUE(ProgramSettings::snapshot().background.set);
    EXPECT_TRUE(pathExists(dir.file("VGW.INI")));

    ProgramSettings::reset();
    MainWindow exiting;
    exiting.setSettingsFileName(dir.file("exit.ini"));
    exiting.closeWithoutSaving();
    EXPECT_FALSE(pathExists(dir.file("exit.ini")));
    EXPECT_FALSE(ProgramSettings::snapshot().mainWindow.hasSize);
}

TEST(MainFrame, HelpPanelsOpenTheirPagesAndEveryLinkLeadsSomewhere) {
    AppFirst app;
    MainWindow window;
    window.showHelpPanel(HelpPanel::Keys);
    HelpWindow& help = window.helpWindow();
    EXPECT_EQ(help.windowTitle(), "Help for Tervane");
    EXPECT_EQ(help.browser()->source().toString(), "qrc:/help/keys.html");
    EXPECT_TRUE(help.browser()->toPlainText().contains("Shift+Insert"));

    window.runCommand(CommandId::HelpIndex);
    EXPECT_EQ(help.browser()->source().toString(), "qrc:/help/help_index.html");
    // The import window's page tells what it leaves out.
    window.showHelpPanel(HelpPanel::Import);
    EXPECT_TRUE(help.browser()->toPlainText().contains("Bookmarks of https and of any other scheme"))
        << help.browser()->toPlainText().toStdString();

    // A check that finds nothing new turns an unviewed "Changed!" back: the list's page says so.
    window.showHelpPanel(HelpPanel::VigilList);
    EXPECT_TRUE(help.browser()->toPlainText().contains("Changed! and was not viewed yet"));

    // Every panel the windows ask for, and every link of every page, names a page we ship.
    QStringList addresses;
    for (int panel : {2000, 100, 1000, 700, 800, 900, 201, 202, 203, 204, 205, 206, 207, 300})
        addresses << HelpWindow::pageOf(panel);
    const QStringList pages = QDir(QStringLiteral(":/help")).entryList({"*.html"});
    EXPECT_GE(pages.size(), 9);
    const QRegularExpression href(QStringLiteral("href=\"([^\"]+)\""));
    for (const QString& page : pages) {
        QFile file(QStringLiteral(":/help/") + page);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << page.toStdString();
        const QString html = QString::fromUtf8(file.readAll());
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const QString target = m.next().captured(1);
            if (!target.endsWith(QLatin1String(".css"))) addresses << QStringLiteral("qrc:/help/") + target;
        }
    }
    for (const QString& address : addresses) {
        const QUrl url(address);
        QFile file(QLatin1Char(':') + url.path());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << address.toStdString();
        const QString html = QString::fromUtf8(file.readAll());
        if (url.hasFragment()) {
            EXPECT_TRUE(html.contains(QStringLiteral("name=\"%1\"").arg(url.fragment()))) << address.toStdString();
        }
    }
}

TEST(MainFrame, HelpAskedForByAModalDialogIsInFrontOfItOnScreenAndTakesInput) {
    AppFirst app;
    ProgramSettings::reset();
    MainWindow window(QRect(0, 0, 700, 400));
    window.show();
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    WebSettingsRecord record;
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &record, &window);
    std::string clicked;
    QTimer::singleShot(0, [&] {
        window.showHelpPanel(HelpPanel::WebSettings);  // as the dialog's Help button asks
        HelpWindow& help = window.helpWindow();
        pumpUntil([&] { return help.isVisible() && help.windowHandle()->isExposed(); });
        EXPECT_TRUE(help.isVisible());
        EXPECT_TRUE(desktop.contains(help.frameGeometry())) << help.x() << "," << help.y();
        // A click as the window system delivers it: a modal dialog would swallow it.
        auto* contents = help.findChildren<QPushButton*>().front();
        QTest::mouseClick(help.windowHandle(), Qt::LeftButton, {},
                          contents->mapTo(&help, contents->rect().center()));
        clicked = help.browser()->source().toString().toStdString();
        dialog.reject();
    });
    dialog.exec();
    EXPECT_EQ(clicked, "qrc:/help/index.html");
    // The dialog is gone; the help window stays, with the main window.
    QCoreApplication::processEvents();
    EXPECT_TRUE(window.helpWindow().isVisible());
    EXPECT_EQ(window.helpWindow().parentWidget(), &window);
}

TEST(MainFrame, PictureWithTheDisplayMenuOpen) {
    AppFirst app;
    commandServices().newWebVigil = [](MainWindow&) {};
    addTestVigil(VigilKind::Web, "Weather in Lisbon");
    auto ftp = addTestVigil(VigilKind::Ftp, "Mirror of the archive", VigilStatus::Changed);
    ftp->setLastChecked(1700000000);
    ftp->setLastChanged(1700000000);
    addTestVigil(VigilKind::Gopher, "Floodgap news", VigilStatus::HostNotResolved);
    MainWindow window(QRect(0, 0, 860, 360));
    window.fillContainer();
    window.enableCommands();
    window.setStatusText("No change");
    window.show();
    pumpUntil([&] { return window.isVisible(); });

    QMenu* display = window.menuItem(CommandId::DisplayMenu)->menu();
    window.menuBar()->setActiveAction(window.menuItem(CommandId::DisplayMenu));
    pumpUntil([&] { return display->isVisible(); });
    ASSERT_TRUE(display->isVisible());
    QPixmap picture = window.grab();
    {
        QPainter p(&picture);
        p.drawPixmap(window.mapFromGlobal(display->mapToGlobal(QPoint(0, 0))), display->grab());
    }
    EXPECT_TRUE(picture.save("/tmp/tervane_main_window.png"));
    display->hide();

    // The help window and a row's pop-up menu.
    window.showHelpPanel(HelpPanel::VigilList);
    EXPECT_TRUE(window.helpWindow().grab().save("/tmp/tervane_help.png"));
    listLoaded = 1;
    QTreeWidgetItem* row = window.container()->topLevelItem(1);
    window.container()->setCurrentItem(row);
    std::unique_ptr<QMenu> popUp = window.menuHandler().buildPopUpMenu(row);
    ASSERT_NE(popUp, nullptr);
    popUp->popup(QPoint(100, 100));
    pumpUntil([&] { return popUp->isVisible(); });
    EXPECT_TRUE(popUp->grab().save("/tmp/tervane_popup.png"));
}
