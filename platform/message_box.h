#pragma once
#include <string>

// Shows a message box with a title and a text, and writes the trace line
// "message box: <title>: <text>". The application installs a handler that shows a
// real box on the window thread (or prints the box when there is no display); until
// then the title and text go to standard error, and nothing waits.
using MessageBoxHandler = void (*)(const std::string& title, const std::string& text);
void setMessageBoxHandler(MessageBoxHandler handler);
void showMessageBox(const std::string& title, const std::string& text);
