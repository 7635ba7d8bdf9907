#include "dialogs/stored_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

void pullOntoDesktop(QWidget& window) {
    const QRect wanted(window.pos(), window.size());
    // The whole desktop: a window may well spread over two monitors.
    QRect area;
    for (const QScreen* screen : QGuiApplication::screens()) area |= screen->availableGeometry();
    if (area.isEmpty()) return;
    const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize());
    const QSize size = wanted.size().boundedTo(area.size()).expandedTo(minimum);
    const int x = std::clamp(wanted.x(), area.left(), std::max(area.left(), area.right() + 1 - size.width()));
    const int y = std::clamp(wanted.y(), area.top(), std::max(area.top(), area.bottom() + 1 - size.height()));
    window.resize(size);
    window.move(x, y);
}

int showAtStoredPlace(QWidget& window, WindowPlacement SettingsValues::*slot, const std::function<int()>& show) {
    const WindowPlacement stored = ProgramSettings::snapshot().*slot;
    const bool sized = stored.width > 0 && stored.height > 0;
    if (stored.hasPosition) window.move(stored.x, stored.y);
    if (sized) window.resize(stored.width, stored.height);
    if (stored.hasPosition || sized) pullOntoDesktop(window);
    const int result = show();
    const QPoint at = window.pos();
    const QSize size = window.size();
    ProgramSettings::update([&](SettingsValues& s) {
        s.*slot = WindowPlacement{true, true, at.x(), at.y(), size.width(), size.height()};
    });
    return result;
}
