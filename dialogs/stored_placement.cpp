#include "dialogs/stored_placement.h"

#include <QWidget>

int showAtStoredPlace(QWidget& window, WindowPlacement SettingsValues::*slot, const std::function<int()>& show) {
    const WindowPlacement stored = ProgramSettings::snapshot().*slot;
    if (stored.hasPosition) window.move(stored.x, stored.y);
    if (stored.width > 0 && stored.height > 0) window.resize(stored.width, stored.height);
    const int result = show();
    const QPoint at = window.pos();
    const QSize size = window.size();
    ProgramSettings::update([&](SettingsValues& s) {
        s.*slot = WindowPlacement{true, true, at.x(), at.y(), size.width(), size.height()};
    });
    return result;
}
