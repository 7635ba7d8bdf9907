#include "dialogs/dialog_help.h"

std::function<void(int panel)>& dialogHelpHandler() {
    static std::function<void(int)> handler;
    return handler;
}

void showDialogHelp(int panel) {
    const std::function<void(int)>& handler = dialogHelpHandler();
    if (handler) handler(panel);
}
