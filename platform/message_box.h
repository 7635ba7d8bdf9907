#pragma once
#include <string>

// Shows a message box with a title and a text. The application installs a handler
// that shows a real box on the window thread; until then (and in batch mode with no
// display) the title and text go to standard error and to the trace, and nothing waits.
using MessageBoxHandler = void (*)(const std::string& title, const std::string& text);
void setMessageBoxHandler(MessageBoxHandler handler);
void showMessageBox(const std::string& title, const std::string& text);
