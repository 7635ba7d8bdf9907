#include "app/vigil_icons.h"

#include <QPainter>
#include <QPixmap>
#include <map>

#include "app/status_texts.h"

namespace {

constexpr int kSide = 32;

enum class Shape { Tile, Disc };

QPixmap blank() {
    QPixmap pixmap(kSide, kSide);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A rounded tile with a letter (the kinds and the program) or a disc with a
// mark (the status icons).
QPixmap badge(Shape shape, const QColor& colour, const QString& mark) {
    QPixmap pixmap = blank();
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

const QColor kFtpColour(46, 139, 87);
const QColor kWebColour(30, 100, 200);
const QColor kGopherColour(200, 120, 30);

QPixmap tile(const QColor& colour, const QString& letter) {
    return badge(Shape::Tile, colour, letter);
}

QPixmap disc(const QColor& colour, const QString& mark) {
    return badge(Shape::Disc, colour, mark);
}

// A kind's tile with a small plus in its corner: a new Vigil of that kind.
QPixmap newTile(const QColor& colour, const QString& letter) {
    QPixmap pixmap = tile(colour, letter);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF corner(kSide * 0.55, kSide * 0.55, kSide * 0.45, kSide * 0.45);
    p.setPen(QColor(30, 110, 30));
    p.setBrush(QColor(90, 190, 90));
    p.drawEllipse(corner);
    QPen plus(Qt::white, kSide / 12.0);
    p.setPen(plus);
    const QPointF c = corner.center();
    const qreal arm = corner.width() * 0.28;
    p.drawLine(QPointF(c.x() - arm, c.y()), QPointF(c.x() + arm, c.y()));
    p.drawLine(QPointF(c.x(), c.y() - arm), QPointF(c.x(), c.y() + arm));
    return pixmap;
}

// A magnifying glass over a page: look at every Vigil now.
QPixmap checkAllPicture() {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(110, 110, 110));
    p.setBrush(Qt::white);
    p.drawRect(QRectF(3.5, 2.5, 18, 24));
    for (int y = 8; y <= 20; y += 4) p.drawLine(QPointF(7, y), QPointF(18, y));
    p.setPen(QPen(QColor(30, 100, 200), 3));
    p.setBrush(QColor(200, 225, 255, 180));
    p.drawEllipse(QRectF(12, 11, 12, 12));
    p.setPen(QPen(QColor(60, 60, 60), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(23, 22), QPointF(29, 28));
    return pixmap;
}

// A circling arrow: every Vigil back to "No change".
QPixmap resetAllPicture() {
    QPixmap pixmap = blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor colour = kFtpColour;
    p.setPen(QPen(colour, 4, Qt::SolidLine, Qt::RoundCap));
    const QRectF ring(6, 6, 20, 20);
    p.drawArc(ring, 100 * 16, 290 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    const QPointF head[] = {QPointF(13, 1), QPointF(21, 6.5), QPointF(12.5, 12)};
    p.drawPolygon(head, 3);
    return pixmap;
}

QPixmap draw(int iconId) {
    switch (iconId) {
        case IconId::Ftp: return tile(kFtpColour, QStringLiteral("F"));
        case IconId::Web: return tile(kWebColour, QStringLiteral("W"));
        case IconId::Gopher: return tile(kGopherColour, QStringLiteral("G"));
        case IconId::Checking: return disc(QColor(220, 180, 20), QStringLiteral("…"));
        case IconId::Error: return disc(QColor(200, 40, 40), QStringLiteral("×"));
        case IconId::Changed: return disc(QColor(30, 100, 200), QStringLiteral("!"));
        case IconId::SiteProblem: return disc(QColor(230, 120, 20), QStringLiteral("?"));
        case BitmapId::CheckAll: return checkAllPicture();
        case BitmapId::ResetAll: return resetAllPicture();
        case BitmapId::NewFtp: return newTile(kFtpColour, QStringLiteral("F"));
        case BitmapId::NewWeb: return newTile(kWebColour, QStringLiteral("W"));
        case BitmapId::NewGopher: return newTile(kGopherColour, QStringLiteral("G"));
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
