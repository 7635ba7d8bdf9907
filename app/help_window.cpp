#include "app/help_window.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "app/command_ids.h"
#include "dialogs/stored_placement.h"

// The pages live in the application library, whose resources must be named once.
static void initHelpResources() {
    Q_INIT_RESOURCE(help);
}

namespace {

const char* const kContents = "qrc:/help/index.html";
const char* const kIndex = "qrc:/help/help_index.html";

// The notebook pages in tab order, as anchors of the settings page.
const char* const kNotebookPages[] = {"ftp", "web", "gopher", "overrides", "preferences", "defaults", "proxies"};

}  // namespace

HelpWindow::HelpWindow(QWidget* owner) : QWidget(owner, Qt::Window), owner_(owner) {
    initHelpResources();
    setWindowTitle(QStringLiteral("Help for Tervane"));

    browser_ = new QTextBrowser(this);
    browser_->setOpenExternalLinks(false);
    browser_->setOpenLinks(true);

    auto* contents = new QPushButton(QStringLiteral("&Contents"), this);
    auto* index = new QPushButton(QStringLiteral("&Index"), this);
    auto* keys = new QPushButton(QStringLiteral("&Keys"), this);
    auto* back = new QPushButton(QStringLiteral("&Back"), this);
    auto* forward = new QPushButton(QStringLiteral("&Forward"), this);
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(contents, &QPushButton::clicked, this, [this] { showContents(); });
    connect(index, &QPushButton::clicked, this, [this] { showIndex(); });
    connect(keys, &QPushButton::clicked, this, [this] { showPanel(HelpPanel::Keys); });
    connect(back, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(browser_, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {contents, index, keys, back, forward}) buttons->addWidget(b);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(browser_, 1);
    resize(620, 520);
}

QString HelpWindow::pageOf(int panelId) {
    switch (panelId) {
        case HelpPanel::VigilList: return QStringLiteral("qrc:/help/list.html");
        case HelpPanel::Keys: return QStringLiteral("qrc:/help/keys.html");
        case HelpPanel::WebSettings: return QStringLiteral("qrc:/help/vigil_menu.html#web");
        case HelpPanel::FtpSettings: return QStringLiteral("qrc:/help/vigil_menu.html#ftp");
        case HelpPanel::GopherSettings: return QStringLiteral("qrc:/help/vigil_menu.html#gopher");
        case HelpPanel::Import: return QStringLiteral("qrc:/help/import.html");
        default: break;
    }
    if (panelId >= HelpPanel::NotebookFirst && panelId <= HelpPanel::NotebookLast)
        return QStringLiteral("qrc:/help/settings_menu.html#") +
               QLatin1String(kNotebookPages[panelId - HelpPanel::NotebookFirst]);
    return QLatin1String(kContents);
}

void HelpWindow::showPanel(int panelId) {
    showPage(pageOf(panelId));
}

void HelpWindow::showContents() {
    showPage(QLatin1String(kContents));
}

void HelpWindow::showIndex() {
    showPage(QLatin1String(kIndex));
}

void HelpWindow::showPage(const QString& address) {
    browser_->setSource(QUrl(address));
    // A modal window blocks every window but its own children.
    QWidget* modal = QApplication::activeModalWidget();
    attachTo(modal && modal != this ? modal : owner_);
    if (!placed_ || !isVisible()) {
        // Over the window that asked, all of it on the screen.
        if (const QWidget* asking = parentWidget()) {
            QRect place(QPoint(), size());
            place.moveCenter(asking->frameGeometry().center());
            move(place.topLeft());
        }
        pullOntoDesktop(*this);
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
}

void HelpWindow::attachTo(QWidget* parent) {
    if (parentWidget() == parent) return;
    const bool shown = isVisible();
    const QPoint at = pos();
    if (parentWidget() && parentWidget() != owner_) parentWidget()->removeEventFilter(this);
    setParent(parent, Qt::Window);
    if (parent && parent != owner_) parent->installEventFilter(this);
    move(at);
    if (shown) show();
}

bool HelpWindow::eventFilter(QObject* watched, QEvent* event) {
    // The modal window ends (and may be deleted soon): back to the owner, or to
    // the modal window that opened it.
    if (watched == parentWidget() && event->type() == QEvent::Hide) {
        attachTo(owner_);
        QTimer::singleShot(0, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal && modal != this) attachTo(modal);
        });
    }
    return QWidget::eventFilter(watched, event);
}
