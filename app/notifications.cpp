#include "app/notifications.h"

#include <QApplication>
#include <cstdio>
#include <map>

#include "app/browser_launch.h"
#include "app/notify_sound.h"
#include "app/status_texts.h"
#include "core/change_mail.h"
#include "core/ftp_vigil.h"
#include "core/notify_overrides.h"
#include "core/os_wrappers.h"
#include "core/vigil.h"
#include "platform/message_box.h"
#include "platform/qt/app_setup.h"
#include "platform/qt/plain_message_box.h"
#include "platform/thread.h"
#include "platform/trace.h"

namespace {

const char* const kBoxTitle = "Tervane";

// Vigils whose failure box is open, with the box (window thread only).
std::map<int, const QObject*>& openFailureBoxes() {
    static std::map<int, const QObject*> open;
    return open;
}

// The box has gone: closed, or with its owner. Only its own entry: a box closed
// a moment ago may be deleted after its Vigil's next box opened.
void forgetFailureBox(int id, const QObject* box) {
    const auto open = openFailureBoxes().find(id);
    if (open != openFailureBoxes().end() && open->second == box) openFailureBoxes().erase(open);
}

}  // namespace

namespace Notifications {

std::string changeText(const Vigil& vigil, int status) {
    std::string text = vigil.description() + " - ";
    if (status != VigilStatus::FileFound) return text + statusTexts[StatusTextIndex::Changed];
    text += statusTexts[StatusTextIndex::FileFound];
    text += " - ";
    if (const auto* ftp = dynamic_cast<const FtpVigil*>(&vigil)) text += ftp->lookForFile().value_or("");
    return text;
}

void run(const std::shared_ptr<Vigil>& vigil, int status) {
    const uint16_t flags = vigil->flags();
    const GlobalOverrides overrides = NotifyOverrides::current();
    if (overrides.playsTone(flags)) {
        playTone(100, 100);
        playTone(300, 100);
    }
    if (overrides.playsSound(flags)) playNotifySound(vigil.get());
    if (overrides.showsBox(flags)) showMessageBox(kBoxTitle, changeText(*vigil, status));
    if (flags & NotifyFlags::Program) {
        if (const std::optional<std::string> stored = vigil->commandLine()) {
            // Blanks before the program would leave an empty program word.
            const size_t first = stored->find_first_not_of(" \t");
            const std::string line = first == std::string::npos ? std::string() : stored->substr(first);
            const size_t blank = line.find(' ');
            const std::optional<std::string> params =
                blank == std::string::npos ? std::nullopt : std::optional<std::string>(line.substr(blank + 1));
            runVigilProgram(*vigil, line.substr(0, blank), params);
        }
    }
    if (flags & NotifyFlags::Email) {
        // The thread keeps the Vigil alive should it be deleted meanwhile.
        startDetachedThread([vigil] { sendChangeMail(*vigil); });
    }
}

bool isFtpFailure(int eventId) {
    return eventId > VigilStatus::FtpReplyBase && eventId < VigilStatus::FtpReplyBase + 600;
}

int ftpErrorTextIndex(int eventId) {
    switch (eventId - VigilStatus::FtpReplyBase) {
        case 421: return 10;
        case 425: return 11;
        case 426: return 12;
        case 450: return 13;
        case 530: return 14;
        case 550: return 15;
        case 553: return 16;
        default: return StatusTextIndex::FtpUnknown;
    }
}

void showFtpError(const Vigil& vigil, int eventId, QWidget* owner) {
    // A dead server fails every check: while the Vigil's box is open, its later
    // failures add none.
    const int id = vigil.id();
    if (openFailureBoxes().count(id)) return;
    const std::string text = vigil.description() + " - " + statusTexts[ftpErrorTextIndex(eventId)];
    traceLine(std::string("message box: ") + kBoxTitle + ": " + text);
    if (isHeadlessPlatform()) {
        std::printf("%s: %s\n", kBoxTitle, text.c_str());
        std::fflush(stdout);
    }
    // Owned by the main window, the window manager keeps the box above it: a
    // box without an owner sinks below the main window once that comes to the
    // front (a dialog closing). Not modal and, over a dialog, not activated: the
    // keys go on to the dialog.
    auto* box = new PlainMessageBox(QMessageBox::Information, QString::fromLatin1(kBoxTitle),
                                    QString::fromStdString(text), QMessageBox::Ok, owner);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    QWidget* dialog = QApplication::activeModalWidget();
    if (dialog) box->setAttribute(Qt::WA_ShowWithoutActivating);
    openFailureBoxes()[id] = box;
    QObject::connect(box, &QDialog::finished, [id, box] { forgetFailureBox(id, box); });
    QObject::connect(box, &QObject::destroyed, [id, box] { forgetFailureBox(id, box); });
    box->show();
    // Some window systems activate a new window whatever it asks.
    if (dialog) dialog->activateWindow();
}

}  // namespace Notifications
