#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <functional>

#include "app/info_window.h"
#include "core/change_message.h"
#include "platform/qt/app_setup.h"
#include "support/qt_test_app.h"

namespace {

QString line(const InfoWindow& w, const char* name) {
    const auto* label = w.findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<none>");
}

// Runs act on the modal window once it is shown.
void whenShown(const std::function<void(InfoWindow&)>& act) {
    QTimer::singleShot(0, [act] {
        auto* w = dynamic_cast<InfoWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        act(*w);
    });
}

}  // namespace

TEST(InfoWindow, AboutShowsBannerVersionAndCopyrightWithoutButtons) {
    testApp();
    InfoWindow about(InfoWindow::About, nullptr);
    EXPECT_TRUE(about.findChild<QLabel*>("banner")->pixmap().size() == QSize(290, 61));
    // The version the change e-mail gives too.
    const std::string mail = composeChangeMessage("d", "http://h/", {"a@b.c"}, "me@b.c", "date");
    const size_t at = mail.find("X-Mailer: Tervane ") + 18;
    EXPECT_EQ(line(about, "line1").toStdString(),
              "Tervane Version " + mail.substr(at, mail.find('\r', at) - at));
    EXPECT_TRUE(line(about, "line2").startsWith("Copyright"));
    EXPECT_FALSE(line(about, "line3").isEmpty());
    EXPECT_TRUE(about.findChildren<QPushButton*>().isEmpty());
    EXPECT_EQ(about.palette().color(QPalette::Window), QColor(192, 192, 192));
    about.show();
    EXPECT_TRUE(about.grab().save("/tmp/about.png"));
}

TEST(InfoWindow, WelcomeAsksAboutTheImportWithYesAsDefault) {
    testApp();
    InfoWindow welcome(InfoWindow::Welcome, nullptr);
    EXPECT_EQ(line(welcome, "line1"), "Welcome to Tervane");
    EXPECT_EQ(line(welcome, "line2"), "Would you like to import your bookmarks now?");
    ASSERT_NE(welcome.yesButton(), nullptr);
    EXPECT_EQ(welcome.yesButton()->text(), "&Yes");
    EXPECT_EQ(welcome.noButton()->text(), "&No");
    EXPECT_TRUE(welcome.yesButton()->isDefault());
    EXPECT_EQ(welcome.yesButton()->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    EXPECT_EQ(welcome.noButton()->focusPolicy() & Qt::TabFocus, Qt::TabFocus);
    welcome.show();
    EXPECT_EQ(welcome.focusWidget(), welcome.yesButton());
    EXPECT_TRUE(welcome.grab().save("/tmp/welcome.png"));
}

TEST(InfoWindow, OnlyYesStartsTheImportAndTheWindowIsHiddenMeanwhile) {
    testApp();
    int imports = 0;
    bool hiddenDuringImport = false;
    auto startImport = [&] {
        ++imports;
        hiddenDuringImport = true;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (dynamic_cast<InfoWindow*>(top) && top->isVisible()) hiddenDuringImport = false;
    };

    whenShown([](InfoWindow& w) { w.yesButton()->click(); });
    EXPECT_EQ(showWelcomeWindow(nullptr, startImport), InfoWindow::Yes);
    EXPECT_EQ(imports, 1);
    EXPECT_TRUE(hiddenDuringImport);

    whenShown([](InfoWindow& w) { w.noButton()->click(); });
    EXPECT_EQ(showWelcomeWindow(nullptr, startImport), InfoWindow::No);
    whenShown([](InfoWindow& w) { w.close(); });  // the close box, as No
    EXPECT_NE(showWelcomeWindow(nullptr, startImport), InfoWindow::Yes);
    EXPECT_EQ(imports, 1);

    whenShown([](InfoWindow& w) {
        EXPECT_EQ(w.form(), InfoWindow::About);
        w.close();
    });
    showAboutWindow(nullptr);
}

TEST(InfoWindow, CentredOverItsOwnerEvenWhenTheOwnerIsSmaller) {
    testApp();
    QWidget big;
    big.setGeometry(100, 100, 900, 700);
    InfoWindow over(InfoWindow::Welcome, &big);
    const QSize size = over.size();
    EXPECT_EQ(over.geometry(), QRect(100 + (900 - size.width()) / 2, 100 + (700 - size.height()) / 2,
                                     size.width(), size.height()));

    QWidget small;
    small.setGeometry(50, 40, 20, 10);
    InfoWindow around(InfoWindow::About, &small);
    const QSize aboutSize = around.size();
    EXPECT_EQ(around.geometry().topLeft(),
              QPoint(50 + (20 - aboutSize.width()) / 2, 40 + (10 - aboutSize.height()) / 2));
    EXPECT_LT(around.geometry().x(), 50);
}

TEST(InfoWindow, TitledWithTheDisplayNameAndClosedByTheCloseBox) {
    testApp();
    installQtServices();
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Tervane");
    for (InfoWindow::Form form : {InfoWindow::About, InfoWindow::Welcome}) {
        InfoWindow w(form, nullptr);
        EXPECT_EQ(w.windowTitle(), "Tervane");
        EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    }
    // The window system's close request, as the close box sends it.
    bool closed = false;
    QTimer::singleShot(0, [&closed] {
        auto* w = dynamic_cast<InfoWindow*>(QApplication::activeModalWidget());
        ASSERT_NE(w, nullptr);
        closed = w->windowHandle()->close();
    });
    QTimer::singleShot(2000, [] { QApplication::closeAllWindows(); });  // never hang the suite
    showAboutWindow(nullptr);
    EXPECT_TRUE(closed);
}
