#include "platform/qt/app_setup.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QThread>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/message_box.h"
#include "platform/qt/plain_message_box.h"
#include "platform/signals.h"
#include "platform/tone.h"

namespace {

bool envSet(const char* name) {
    const char* v = std::getenv(name);
    return v && *v;
}

bool onGuiThread() {
    return QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
}

void qtTone(int frequencyHz, int durationMs) {
    (void)frequencyHz;  // the desktop bell has one pitch
    if (onGuiThread()) {
        QApplication::beep();
    } else if (QCoreApplication::instance()) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QApplication::beep(); },
                                  Qt::QueuedConnection);
    }
    if (durationMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(durationMs));
}

void showBox(const QString& title, const QString& text) {
    PlainMessageBox box(QMessageBox::Information, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void qtMessageBox(const std::string& title, const std::string& text) {
    if (isHeadlessPlatform()) {
        std::printf("%s: %s\n", title.c_str(), text.c_str());
        std::fflush(stdout);
        return;
    }
    const QString t = QString::fromStdString(title);
    const QString x = QString::fromStdString(text);
    if (onGuiThread()) {
        showBox(t, x);
    } else {
        // Widgets live on the GUI thread; the caller waits there as a Windows
        // thread waits on its own message box.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [t, x] { showBox(t, x); },
                                  Qt::BlockingQueuedConnection);
    }
}

}  // namespace

void prepareQtPlatform(int argc, const char* const argv[]) {
    ignoreBrokenPipe();
    ignoreFileSizeLimit();
    bool batch = false;
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && strcasecmp(argv[i], "/batch") == 0) batch = true;
    }
    if (batch && !envSet("DISPLAY") && !envSet("WAYLAND_DISPLAY") && !envSet("QT_QPA_PLATFORM")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // cron gives no runtime folder; Qt would pick the same one, but with a
        // warning in every cron mail.
        if (!envSet("XDG_RUNTIME_DIR")) {
            const std::string runtime = "/tmp/runtime-" + std::to_string(getuid());
            mkdir(runtime.c_str(), 0700);
            struct stat st;
            if (stat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
                (st.st_mode & 0777) == 0700)
                setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        }
    }
}

void installQtServices() {
    // A window without a title of its own shows the application's name. Named,
    // not given as a display name, which the desktop would add to every title.
    QCoreApplication::setApplicationName(QStringLiteral("Tervane"));
    setToneHook(qtTone);
    setMessageBoxHandler(qtMessageBox);
}

bool isHeadlessPlatform() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return true;
    const QString name = QGuiApplication::platformName();
    return name == QLatin1String("offscreen") || name == QLatin1String("minimal");
}
