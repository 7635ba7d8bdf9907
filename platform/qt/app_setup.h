#pragma once

// Before QApplication exists: a "/batch" run (any case) with no display and no
// platform chosen gets the offscreen platform, so cron can run it. Also ignores
// SIGPIPE.
void prepareQtPlatform(int argc, const char* const argv[]);

// After QApplication exists: the display name "Tervane", the tone hook (a beep
// that lasts for the duration) and the message box handler.
void installQtServices();

// True when the platform shows nothing (offscreen, minimal) or no QGuiApplication
// exists: nobody could answer a message box.
bool isHeadlessPlatform();
