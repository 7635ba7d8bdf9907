#pragma once

// Connects the main window's commands, its start-up hooks and every window's
// Help button to the tasks, dialogs and windows that do the work.
void installCommandServices();
