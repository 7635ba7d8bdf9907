#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <malloc.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "core/ftp_vigil.h"
#include "core/program_settings.h"
#include "support/scratch_dir.h"
#include "dialogs/ftp_details_window.h"
#include "dialogs/stored_placement.h"
#include "platform/time_convert.h"
#include "support/probe_vigil.h"
#include "support/qt_test_app.h"

namespace {

std::string dateText(time_t when) {
    std::tm record{};
    localTime(when, record);
    std::string s = ascTime(record);
    return s.substr(0, s.find('\n'));
}

std::string listingLine(const std::string& date, const std::string& name) {
    return "-rw-r--r--   1 owner    group        1234 " + date + " " + name + "\n";
}

// An FTP Vigil in vigilList whose last comparison went from previous to next.
struct DetailsTest : ::testing::Test {
    DetailsTest() {
        testApp();
        ProgramSettings::reset();
    }

    std::shared_ptr<FtpVigil> vigil(const std::string& previous, const std::string& next) {
        VigilParams p;
        p.host = "127.0.0.1";
        p.port = 21;
        p.description = "Mirror";
        p.cacheFileName = "cache\\00000001.mon";
        auto v = std::make_shared<FtpVigil>(p, "anonymous", "guest@localhost", std::string("/pub"), std::nullopt,
                                            std::vector<std::string>{});
        ScratchDir::write("previous.lst", previous);
        ScratchDir::write("next.lst", next);
        v->compareListings("next.lst", "previous.lst", nullptr);
        appendToVigilList(v);
        return v;
    }

    static int count(const FtpDetailsWindow& w) { return w.list()->model()->rowCount(); }
    static QModelIndex at(const FtpDetailsWindow& w, int row) { return w.list()->model()->index(row, 0); }

    std::vector<std::string> lines(const FtpDetailsWindow& w) {
        std::vector<std::string> out;
        for (int i = 0; i < count(w); ++i) out.push_back(at(w, i).data().toString().toStdString());
        return out;
    }

    void select(FtpDetailsWindow& w, int row) {
        w.list()->selectionModel()->select(at(w, row), QItemSelectionModel::ClearAndSelect);
    }

    void press(FtpDetailsWindow& w, QPoint at, Qt::MouseButton button) {
        QWidget* viewport = w.list()->viewport();
        QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), button, button, Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), button, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(viewport, &release);
    }
    void pressRow(FtpDetailsWindow& w, int row, Qt::MouseButton button) {
        press(w, w.list()->visualRect(at(w, row)).center(), button);
    }
    std::vector<int> selectedRows(const FtpDetailsWindow& w) {
        std::vector<int> rows;
        for (const QModelIndex& index : w.list()->selectionModel()->selectedIndexes()) rows.push_back(index.row());
        return rows;
    }

    ScratchDir dir_;
};

const std::string kPrevious = listingLine("Jan 05  1998", "gone") + listingLine("Mar 01  1999", "old file") +
                              listingLine("Jun 10  2001", "same") + listingLine("Jul 04  2002", "moved");
const std::string kNext = listingLine("Jun 10  2001", "same") + listingLine("Aug 09  2003", "moved") +
                          listingLine("Feb 02  2004", "new one") + listingLine("Feb 03  2004", "b");

}  // namespace

TEST_F(DetailsTest, ThreeListsWithTheirRows) {
    auto v = vigil(kPrevious, kNext);
    FtpDetailsWindow w(nullptr, v);
    EXPECT_EQ(w.windowTitle(), "Mirror");
    const std::vector<std::string> expected = {
        "Added Files:",
        "------------",
        "b - " + dateText(v->addedFileTime(0)),
        "new one - " + dateText(v->addedFileTime(1)),
        "------------",
        " ",
        "Removed Files:",
        "------------",
        "gone - " + dateText(v->removedFileTime(0)),
        "old file - " + dateText(v->removedFileTime(1)),
        "------------",
        " ",
        "Changed Files:",
        "------------",
        "moved - " + dateText(v->changedFileTime(0)),
        "------------",
        " ",
    };
    EXPECT_EQ(lines(w), expected);
    EXPECT_EQ(expected[2].size(), 1u + 3 + 24);
}

TEST_F(DetailsTest, SizedByTheLongestRowAndTheLineCount) {
    auto empty = vigil(kPrevious, kPrevious);
    FtpDetailsWindow none(nullptr, empty);
    EXPECT_EQ(lines(none), (std::vector<std::string>{"No files added.", "------------", " ", "No files removed.",
                                                      "------------", " ", "No files changed.", "------------", " "}));
    const int charWidth = none.list()->fontMetrics().averageCharWidth();
    EXPECT_EQ(none.size(), QSize(22 * charWidth, 14 * none.lineHeight()));

    auto two = vigil("", listingLine("Feb 02  2004", "a") + listingLine("Feb 03  2004", "bb"));
    FtpDetailsWindow added(nullptr, two);
    ASSERT_EQ(count(added), 12);
    EXPECT_EQ(added.size(), QSize(51 * charWidth, 17 * added.lineHeight()));
}

TEST_F(DetailsTest, ManyFilesOpenWithoutAnObjectPerLine) {
    std::string next;
    char name[16];
    for (int i = 0; i < 50000; ++i) {
        std::snprintf(name, sizeof name, "f%05d", i);
        next += listingLine("Feb 02  2004", name);
    }
    auto v = vigil("", next);
    FtpDetailsWindow warmUp(nullptr, v);  // fonts and styles are loaded once
    const size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
    FtpDetailsWindow w(nullptr, v);
    EXPECT_LT(mallinfo2().uordblks + mallinfo2().hblkhd - before, 50000u * 16);
    ASSERT_EQ(count(w), 50000 + 4 + 3 + 3);
    EXPECT_EQ(at(w, 2 + 12345).data().toString().toStdString(), "f12345 - " + dateText(v->addedFileTime(0)));
}

TEST_F(DetailsTest, AVigilThatIsGoneGivesAnEmptyUntitledList) {
    FtpDetailsWindow w(nullptr, nullptr);
    EXPECT_EQ(count(w), 0);
    EXPECT_EQ(w.windowTitle(), "");
    // Another kind with that identifier is not an FTP Vigil either.
    auto web = std::make_shared<ProbeVigil>(probeParams("Site", VigilStatus::NoChange), "http://x/");
    appendToVigilList(web);
    FtpDetailsWindow other(nullptr, web);
    EXPECT_EQ(count(other), 0);
}

TEST_F(DetailsTest, IgnoreThisTakesTheWholeNameOfAFileRowOnly) {
    auto v = vigil(kPrevious, kNext);
    FtpDetailsWindow w(nullptr, v);
    EXPECT_TRUE(w.command(FtpDetailsWindow::IgnoreThis));  // nothing selected
    for (int fixedLine : {0, 1, 4, 5, 6, 12, 16}) {
        select(w, fixedLine);
        w.command(FtpDetailsWindow::IgnoreThis);
    }
    EXPECT_TRUE(v->ignoreFiles().empty());

    select(w, 9);  // "old file - ..."
    w.command(FtpDetailsWindow::IgnoreThis);
    select(w, 3);
    w.command(FtpDetailsWindow::IgnoreThis);
    EXPECT_EQ(v->ignoreFiles(), (std::vector<std::string>{"old file", "new one"}));
    EXPECT_EQ(count(w), 17);  // the list itself stays
    EXPECT_FALSE(w.command(1083));
}

TEST_F(DetailsTest, ClicksSelectAndOpenTheMenuBelowTheFirstLineOnly) {
    auto v = vigil(kPrevious, kNext);
    FtpDetailsWindow w(nullptr, v);
    w.show();

    pressRow(w, 3, Qt::LeftButton);
    EXPECT_EQ(selectedRows(w), std::vector<int>{3});
    pressRow(w, 8, Qt::LeftButton);
    EXPECT_EQ(selectedRows(w), std::vector<int>{8});
    pressRow(w, 8, Qt::LeftButton);  // a selected row is deselected
    EXPECT_TRUE(selectedRows(w).empty());
    pressRow(w, 0, Qt::LeftButton);
    pressRow(w, 0, Qt::RightButton);
    EXPECT_TRUE(selectedRows(w).empty());
    EXPECT_EQ(w.findChild<QMenu*>("detailsMenu"), nullptr);
    const QRect last = w.list()->visualRect(at(w, count(w) - 1));
    press(w, QPoint(last.center().x(), last.bottom() + 3), Qt::RightButton);  // below the last line
    EXPECT_TRUE(selectedRows(w).empty());
    EXPECT_EQ(w.findChild<QMenu*>("detailsMenu"), nullptr);

    pressRow(w, 14, Qt::RightButton);
    EXPECT_EQ(selectedRows(w), std::vector<int>{14});
    auto* menu = w.findChild<QMenu*>("detailsMenu");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 2);
    EXPECT_EQ(menu->actions()[0]->text(), "Ignore This");
    EXPECT_EQ(menu->actions()[1]->text(), "Save This List");
    menu->actions()[0]->trigger();
    EXPECT_EQ(v->ignoreFiles(), std::vector<std::string>{"moved"});
    menu->close();
}

TEST_F(DetailsTest, SaveWritesTheLinesAsShown) {
    auto v = vigil("", listingLine("Feb 02  2004", "file one"));
    FtpDetailsWindow w(nullptr, v);
    ScratchDir::write("details.txt", "older and longer content that must go away\n\n\n\n\n\n\n\n\n\n\n\n\n\n");
    w.chooseSaveFile = [] { return QStringLiteral("details.txt"); };
    EXPECT_TRUE(w.command(FtpDetailsWindow::SaveThisList));
    EXPECT_EQ(ScratchDir::read("details.txt"), "Added Files:\n------------\nfile one - " +
                                                   dateText(v->addedFileTime(0)) +
                                                   "\n------------\n \nNo files removed.\n------------\n \n"
                                                   "No files changed.\n------------\n \n");

    w.chooseSaveFile = [] { return QString(); };  // cancelled
    ScratchDir::write("details.txt", "kept");
    w.command(FtpDetailsWindow::SaveThisList);
    EXPECT_EQ(ScratchDir::read("details.txt"), "kept");
    w.chooseSaveFile = [] { return QStringLiteral("no/such/folder/details.txt"); };
    w.command(FtpDetailsWindow::SaveThisList);  // cannot be opened: nothing, no message
}

TEST_F(DetailsTest, StoredPositionUsedAndWrittenBackAndTheDesktopClips) {
    auto v = vigil(kPrevious, kNext);
    ProgramSettings::update([](SettingsValues& s) {
        s.hasFtpDetailsPlace = true;
        s.ftpDetailsX = 120;
        s.ftpDetailsY = 80;
        s.desktopWidth = 300;
        s.desktopHeight = 2000;
    });
    {
        FtpDetailsWindow w(nullptr, v);
        EXPECT_EQ(w.pos(), QPoint(120, 80));
        EXPECT_EQ(w.width(), 300 - 120);  // ends at the desktop's right edge
        EXPECT_EQ(w.height(), 22 * w.lineHeight());
        w.move(33, 44);
    }
    const SettingsValues stored = ProgramSettings::snapshot();
    EXPECT_EQ(stored.ftpDetailsX, 33);
    EXPECT_EQ(stored.ftpDetailsY, 44);

    ProgramSettings::update([](SettingsValues& s) {
        s.ftpDetailsX = -1;
        s.ftpDetailsY = 500;
    });
    FtpDetailsWindow unplaced(nullptr, v);
    EXPECT_NE(unplaced.pos(), QPoint(-1, 500));

    // Nothing stored: over the owner, as the other dialogs open, not in the desktop's corner.
    ProgramSettings::reset();
    QWidget owner;
    owner.setGeometry(QGuiApplication::primaryScreen()->availableGeometry().adjusted(300, 200, 0, 0));
    owner.show();
    FtpDetailsWindow over(&owner, v);
    over.show();
    EXPECT_LT((over.geometry().center() - owner.geometry().center()).manhattanLength(), 60);  // frames aside
}

TEST_F(DetailsTest, StoredPlacesOffTheDesktopArePulledOntoItAtLeastAtTheMinimumSize) {
    auto v = vigil(kPrevious, kNext);
    const QRect desktop = QGuiApplication::primaryScreen()->availableGeometry();
    // A monitor since removed, to the right; the desktop size taken at start-up was larger.
    ProgramSettings::update([](SettingsValues& s) {
        s.hasFtpDetailsPlace = true;
        s.ftpDetailsX = 5000;
        s.ftpDetailsY = 3000;
        s.desktopWidth = 6000;
        s.desktopHeight = 4000;
    });
    {
        FtpDetailsWindow w(nullptr, v);
        EXPECT_TRUE(desktop.contains(QRect(w.pos(), w.size()))) << w.x() << "," << w.y();
        EXPECT_GE(w.width(), w.minimumSizeHint().width());
    }
    // The desktop as stored is smaller than the place: no sliver a pixel wide.
    ProgramSettings::update([](SettingsValues& s) {
        s.hasFtpDetailsPlace = true;
        s.ftpDetailsX = 5000;
        s.desktopWidth = 5001;
    });
    {
        FtpDetailsWindow w(nullptr, v);
        EXPECT_TRUE(desktop.contains(QRect(w.pos(), w.size())));
        EXPECT_GE(w.width(), w.minimumSizeHint().width());
        EXPECT_GT(w.width(), 1);
    }

    // A dialog with a stored place and size left of the desktop and a few pixels wide.
    ProgramSettings::update([](SettingsValues& s) { s.importWindow = WindowPlacement{true, true, -4000, 20, 3, 3}; });
    QDialog dialog;
    dialog.setMinimumSize(200, 120);
    QRect shownAt;
    showAtStoredPlace(dialog, &SettingsValues::importWindow, [&] {
        shownAt = QRect(dialog.pos(), dialog.size());
        return 0;
    });
    EXPECT_EQ(shownAt, QRect(desktop.left(), 20, 200, 120));
}

// The picture of the window: every line in view, the last rule drawn, the
// selected line alone in the highlight.
TEST_F(DetailsTest, WindowGrabbed) {
    auto v = vigil(kPrevious, kNext);
    FtpDetailsWindow w(nullptr, v);
    w.show();
    select(w, 9);
    const QString file = QString::fromStdString((dir_.path() / "ftp_details.png").string());
    ASSERT_TRUE(w.grab().save(file));
    const QImage picture = QImage(file).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(picture.size(), w.size());
    QWidget* viewport = w.list()->viewport();
    const QRgb base = w.list()->palette().color(QPalette::Base).rgb();
    auto inPicture = [&](int row) {
        return w.list()->visualRect(at(w, row)).translated(viewport->mapTo(&w, QPoint()));
    };
    auto inkIn = [&](const QRect& r) {
        int ink = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x) ink += picture.pixel(x, y) != base;
        return ink;
    };
    for (int row = 0; row < count(w); ++row)
        EXPECT_TRUE(viewport->rect().contains(w.list()->visualRect(at(w, row)))) << row;
    EXPECT_GT(inkIn(inPicture(15)), 0);  // "------------"
    EXPECT_EQ(inkIn(inPicture(16)), 0);  // " "
    const QPoint edge(inPicture(9).left() + 1, inPicture(9).center().y());
    EXPECT_NE(picture.pixel(edge), base);
    EXPECT_EQ(picture.pixel(edge.x(), inPicture(8).center().y()), base);
}
