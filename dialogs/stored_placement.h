#pragma once
#include <functional>

#include "core/program_settings.h"

class QWidget;

// The modal window pattern: the window opens at the place stored under `slot`
// (and at the stored size when width and height are both above 0), show() runs
// it modally, and the place and size it was left at are stored back. The
// profile is written later (periodic save, close, or the notebook).
int showAtStoredPlace(QWidget& window, WindowPlacement SettingsValues::*slot, const std::function<int()>& show);

// Moves the window onto the available desktop of all screens together, only as
// far as it lies outside it, shrinking it to fit but keeping its minimum size: a
// stored place may be on a monitor since removed, or hand-edited.
void pullOntoDesktop(QWidget& window);
