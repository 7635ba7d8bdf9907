#include "dialogs/ftp_details_window.h"

#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "core/ftp_vigil.h"
#include "core/locks.h"
#include "core/program_settings.h"
#include "dialogs/stored_placement.h"
#include "platform/files.h"
#include "platform/time_convert.h"

namespace {

// Each line keeps its bytes (saved as they are) and, for a file's row, the
// file's name as the Vigil has it, blanks and all.
constexpr int LineBytesRole = Qt::UserRole;
constexpr int FileNameRole = Qt::UserRole + 1;

const char* const kRule = "------------";

struct ChangeList {
    const char* heading;
    const char* none;
    int (FtpVigil::*count)() const;
    std::optional<std::string> (FtpVigil::*name)(int) const;
    time_t (FtpVigil::*time)(int) const;
};

const ChangeList kChangeLists[] = {
    {"Added Files:", "No files added.", &FtpVigil::addedCount, &FtpVigil::addedFileName, &FtpVigil::addedFileTime},
    {"Removed Files:", "No files removed.", &FtpVigil::removedCount, &FtpVigil::removedFileName,
     &FtpVigil::removedFileTime},
    {"Changed Files:", "No files changed.", &FtpVigil::changedCount, &FtpVigil::changedFileName,
     &FtpVigil::changedFileTime},
};

void addLine(QListWidget* list, const std::string& bytes, const std::optional<std::string>& fileName = {}) {
    auto* item = new QListWidgetItem(QString::fromStdString(bytes), list);
    item->setData(LineBytesRole, QByteArray::fromStdString(bytes));
    if (fileName) item->setData(FileNameRole, QByteArray::fromStdString(*fileName));
}

// "name - Wed Jun 30 21:49:08 1993"
std::string fileRow(const std::string& name, time_t when) {
    lockMutex(timeLock, -1);
    std::tm record{};
    std::string date = localTime(when, record) ? ascTime(record) : std::string();
    unlockMutex(timeLock);
    date = date.substr(0, date.find('\n'));
    return name + " - " + date;
}

}  // namespace

FtpDetailsWindow::FtpDetailsWindow(QWidget* owner, int vigilId) : QDialog(owner) {
    chooseSaveFile = [this] { return QFileDialog::getSaveFileName(this, QString(), QStringLiteral("details.txt")); };

    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("details"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);

    size_t longestRow = 0;
    if (const std::shared_ptr<Vigil> found = findVigil(vigilId); found && found->kind() == VigilKind::Ftp)
        vigil_ = std::dynamic_pointer_cast<FtpVigil>(found);
    if (vigil_) {
        setWindowTitle(QString::fromStdString(vigil_->description()));
        fillList(longestRow);
    }
    placeAndSize(longestRow);
    // The list sees no mouse clicks of its own: ours select and open the menu.
    list_->viewport()->installEventFilter(this);
}

FtpDetailsWindow::~FtpDetailsWindow() {
    const QPoint at = pos();
    ProgramSettings::update([at](SettingsValues& s) {
        s.ftpDetailsX = at.x();
        s.ftpDetailsY = at.y();
    });
}

void FtpDetailsWindow::fillList(size_t& longestRow) {
    // The lists are read one entry at a time; a check that replaces them
    // meanwhile can only shorten what is shown.
    for (const ChangeList& c : kChangeLists) {
        const int count = (*vigil_.*c.count)();
        if (count < 1) {
            addLine(list_, c.none);
        } else {
            addLine(list_, c.heading);
            addLine(list_, kRule);
            for (int i = 0; i < count; ++i) {
                const std::optional<std::string> name = (*vigil_.*c.name)(i);
                if (!name) break;
                const std::string row = fileRow(*name, (*vigil_.*c.time)(i));
                longestRow = std::max(longestRow, row.size());
                addLine(list_, row, name);
            }
        }
        addLine(list_, kRule);
        addLine(list_, " ");
    }
}

int FtpDetailsWindow::lineHeight() const {
    int height = list_->count() > 0 ? list_->sizeHintForRow(0) : 0;
    if (height <= 0) height = list_->fontMetrics().height() + list_->fontMetrics().leading();
    return std::max(1, height);
}

void FtpDetailsWindow::placeAndSize(size_t longestRow) {
    int width = static_cast<int>(longestRow + 22) * list_->fontMetrics().averageCharWidth();
    int height = (list_->count() + 5) * lineHeight();

    const SettingsValues s = ProgramSettings::snapshot();
    if (s.ftpDetailsX >= 0 && s.ftpDetailsY >= 0) move(s.ftpDetailsX, s.ftpDetailsY);

    QSize desktop(s.desktopWidth, s.desktopHeight);
    if (desktop.width() <= 0 || desktop.height() <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        desktop = screen ? screen->geometry().size() : QSize(width + pos().x(), height + pos().y());
    }
    if (pos().x() + width > desktop.width()) width = desktop.width() - pos().x();
    if (pos().y() + height > desktop.height()) height = desktop.height() - pos().y();
    resize(std::max(1, width), std::max(1, height));
    pullOntoDesktop(*this);
}

bool FtpDetailsWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_->viewport()) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: break;
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: return true;
        default: return QDialog::eventFilter(watched, event);
    }
    const auto* click = static_cast<QMouseEvent*>(event);
    const int row = list_->indexAt(click->position().toPoint()).row();
    // The first line is a heading: never selected, no menu.
    if (row <= 0) return true;
    QListWidgetItem* item = list_->item(row);
    if (click->button() == Qt::LeftButton) {
        const bool select = !item->isSelected();
        list_->clearSelection();
        item->setSelected(select);
    } else if (click->button() == Qt::RightButton) {
        list_->clearSelection();
        item->setSelected(true);
        showMenu(click->globalPosition().toPoint());
    }
    return true;
}

void FtpDetailsWindow::showMenu(const QPoint& globalPos) {
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("detailsMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    connect(menu->addAction(QStringLiteral("Ignore This")), &QAction::triggered, this, [this] { command(IgnoreThis); });
    connect(menu->addAction(QStringLiteral("Save This List")), &QAction::triggered, this,
            [this] { command(SaveThisList); });
    menu->popup(globalPos);
}

bool FtpDetailsWindow::command(int id) {
    if (id == IgnoreThis) ignoreSelected();
    else if (id == SaveThisList) saveList();
    else return false;
    return true;
}

void FtpDetailsWindow::ignoreSelected() {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    if (selected.isEmpty() || !vigil_) return;
    // Headings, rules and blank lines name no file.
    const QVariant name = selected.front()->data(FileNameRole);
    if (!name.isValid()) return;
    vigil_->addIgnoreFile(name.toByteArray().toStdString());
}

void FtpDetailsWindow::saveList() {
    const QString path = chooseSaveFile();
    if (path.isEmpty()) return;
    FILE* file = openFile(path.toStdString(), "w");
    if (!file) return;
    for (int i = 0; i < list_->count(); ++i)
        std::fprintf(file, "%s\n", list_->item(i)->data(LineBytesRole).toByteArray().constData());
    std::fclose(file);
}

void openFtpDetailsWindow(QWidget* owner, int vigilId) {
    FtpDetailsWindow window(owner, vigilId);
    window.exec();
}
