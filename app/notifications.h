#pragma once
#include <memory>
#include <string>

class QWidget;
class Vigil;

// What the window does, on its own thread, when a Vigil reports "Changed!" (1032)
// or "This file has been found" (1077), and when an FTP check fails.
namespace Notifications {

// The five steps, each decided on its own, in this order: the tone, the sound
// file and the message box (each as the Vigil's flags and the notebook's
// overrides allow), then the Vigil's program with its placeholders filled, then
// the change e-mail on a thread of its own (program and e-mail as the flags say).
// The message box waits until it is closed.
void run(const std::shared_ptr<Vigil>& vigil, int status);

// The text of the change box: "<description> - Changed!", or for a found file
// "<description> - This file has been found - <file name>".
std::string changeText(const Vigil& vigil, int status);

// Whether an event id is an FTP failure (1124 + a reply code, 1125 to 1723).
bool isFtpFailure(int eventId);
// The statusTexts index of an FTP failure's error text (17, "FTP Error - Unknown",
// for a reply without a text of its own).
int ftpErrorTextIndex(int eventId);
// The FTP error box: "<description> - <error text>", whatever the flags say. It
// belongs to owner (the main window) and stays above it, does not wait, takes no
// keys from an open dialog, and none is shown for a Vigil whose box is still open.
void showFtpError(const Vigil& vigil, int eventId, QWidget* owner);

}  // namespace Notifications
