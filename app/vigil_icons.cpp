#include "app/vigil_icons.h"

#include <QPainter>
#include <QPixmap>
#include <map>

#include "app/status_texts.h"

namespace {

constexpr int kSide = 32;

enum class Shape { Tile, Disc };

// A rounded tile with a letter (the kinds and the program) or a disc with a
// mark (the status icons).
QPixmap badge(Shape shape, const QColor& colour, const QString& mark) {
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(colour.darker(150));
    p.setBrush(colour);
    if (shape == Shape::Tile) p.drawRoundedRect(QRectF(1.5, 1.5, kSide - 3, kSide - 3), 6, 6);
    else p.drawEllipse(QRectF(2.5, 2.5, kSide - 5, kSide - 5));
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(shape == Shape::Tile ? kSide * 5 / 8 : kSide / 2);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, kSide, kSide), Qt::AlignCenter, mark);
    return pixmap;
}

QPixmap tile(const QColor& colour, const QString& letter) {
    return badge(Shape::Tile, colour, letter);
}

QPixmap disc(const QColor& colour, const QString& mark) {
    return badge(Shape::Disc, colour, mark);
}

QPixmap draw(int iconId) {
    switch (iconId) {
        case IconId::Ftp: return tile(QColor(46, 139, 87), QStringLiteral("F"));
        case IconId::Web: return tile(QColor(30, 100, 200), QStringLiteral("W"));
        case IconId::Gopher: return tile(QColor(200, 120, 30), QStringLiteral("G"));
        case IconId::Checking: return disc(QColor(220, 180, 20), QStringLiteral("…"));
        case IconId::Error: return disc(QColor(200, 40, 40), QStringLiteral("×"));
        case IconId::Changed: return disc(QColor(30, 100, 200), QStringLiteral("!"));
        case IconId::SiteProblem: return disc(QColor(230, 120, 20), QStringLiteral("?"));
        case IconId::Normal:
        case IconId::Unused: return disc(QColor(120, 160, 120), QStringLiteral("✓"));
        default: return tile(QColor(90, 90, 110), QStringLiteral("T"));
    }
}

}  // namespace

QIcon vigilIcon(int iconId) {
    static std::map<int, QIcon> drawn;
    auto found = drawn.find(iconId);
    if (found == drawn.end()) found = drawn.emplace(iconId, QIcon(draw(iconId))).first;
    return found->second;
}
