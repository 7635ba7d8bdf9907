#pragma once
#include <functional>

// Help panels of the dialogs, shown in the main window's help window.
namespace HelpPanel {
constexpr int FtpSettings = 700;
constexpr int WebSettings = 800;
constexpr int GopherSettings = 900;
}  // namespace HelpPanel

// Whoever builds the help window puts its "show this panel" here. Until then
// (and in tests) the Help buttons do nothing.
std::function<void(int panel)>& dialogHelpHandler();

// Shows a panel through the handler, when one is set.
void showDialogHelp(int panel);
