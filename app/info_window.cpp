#include "app/info_window.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>

namespace {

const char* const kVersionLine = "Tervane Version " TERVANE_VERSION;
const char* const kCopyrightLine1 = "Copyright (C) the Tervane developers";
const char* const kCopyrightLine2 = "Watches Web pages, FTP directories and Gopher items for changes.";
const char* const kWelcomeLine = "Welcome to Tervane";
const char* const kImportQuestion = "Would you like to import your bookmarks now?";

QLabel* text(const char* line, const char* name) {
    auto* label = new QLabel(QString::fromLatin1(line));
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

}  // namespace

QPixmap InfoWindow::banner() {
    QPixmap pixmap(290, 61);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 290, 61);
    sky.setColorAt(0, QColor(16, 48, 112));
    sky.setColorAt(1, QColor(24, 128, 144));
    p.fillRect(pixmap.rect(), sky);

    // An eye keeping watch.
    QPainterPath eye;
    eye.moveTo(10, 30);
    eye.quadTo(32, 6, 54, 30);
    eye.quadTo(32, 54, 10, 30);
    p.setPen(QPen(QColor(240, 240, 240), 2));
    p.setBrush(QColor(250, 250, 250));
    p.drawPath(eye);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 128, 144));
    p.drawEllipse(QPointF(32, 30), 9, 9);
    p.setBrush(QColor(16, 32, 64));
    p.drawEllipse(QPointF(32, 30), 4, 4);

    QFont title = p.font();
    title.setBold(true);
    title.setPixelSize(30);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(66, 2, 220, 38), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Tervane"));
    QFont small = p.font();
    small.setBold(false);
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(QColor(210, 230, 240));
    p.drawText(QRect(68, 38, 220, 18), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Web, FTP and Gopher watcher"));
    return pixmap;
}

InfoWindow::InfoWindow(Form form, QWidget* owner) : QDialog(owner), form_(form) {
    setObjectName(form == About ? QStringLiteral("about") : QStringLiteral("welcome"));
    setWindowTitle(QStringLiteral("Tervane"));
    // No buttons in the About box: the close box must always be there to end it.
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    grey.setColor(QPalette::Button, QColor(192, 192, 192));
    setPalette(grey);
    setAutoFillBackground(true);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(14, 14, 14, 14);
    grid->setVerticalSpacing(6);
    auto* picture = new QLabel;
    picture->setObjectName(QStringLiteral("banner"));
    picture->setPixmap(banner());
    grid->addWidget(picture, 0, 0, Qt::AlignHCenter);
    grid->setRowMinimumHeight(1, 4);

    if (form == About) {
        grid->addWidget(text(kVersionLine, "line1"), 2, 0);
        grid->addWidget(text(kCopyrightLine1, "line2"), 3, 0);
        grid->addWidget(text(kCopyrightLine2, "line3"), 4, 0);
    } else {
        grid->addWidget(text(kWelcomeLine, "line1"), 2, 0);
        grid->addWidget(text(kImportQuestion, "line2"), 3, 0);
        grid->setRowMinimumHeight(4, 8);
        yes_ = new QPushButton(QStringLiteral("&Yes"));
        no_ = new QPushButton(QStringLiteral("&No"));
        yes_->setDefault(true);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(yes_);
        buttons->addSpacing(12);
        buttons->addWidget(no_);
        buttons->addStretch(1);
        grid->addLayout(buttons, 5, 0);
        connect(yes_, &QPushButton::clicked, this, [this] { done(Yes); });
        connect(no_, &QPushButton::clicked, this, [this] { done(No); });
        yes_->setFocus();
    }

    // Centred over the owner; an owner smaller than the window leaves it
    // sticking out on every side alike.
    const QSize size = sizeHint();
    setFixedSize(size);
    if (owner) {
        const QRect o = owner->geometry();
        setGeometry(o.x() + (o.width() - size.width()) / 2, o.y() + (o.height() - size.height()) / 2, size.width(),
                    size.height());
    }
}

void showAboutWindow(QWidget* owner) {
    InfoWindow about(InfoWindow::About, owner);
    about.exec();
}

int showWelcomeWindow(QWidget* owner, const std::function<void()>& startImport) {
    InfoWindow welcome(InfoWindow::Welcome, owner);
    const int result = welcome.exec();
    if (result == InfoWindow::Yes && startImport) {
        welcome.hide();
        startImport();
    }
    return result;
}
