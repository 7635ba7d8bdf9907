#include "dialogs/ftp_details_window.h"

#include <QAbstractListModel>
#include <QEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "core/ftp_vigil.h"
#include "core/program_settings.h"
#include "dialogs/stored_placement.h"
#include "platform/files.h"
#include "platform/time_convert.h"

namespace {

const char* const kRule = "------------";

// "name - Wed Jun 30 21:49:08 1993"
std::string fileRow(const char* name, time_t when) {
    std::string date;
    {
        const TimeConversionLock hold;
        std::tm record{};
        if (localTime(when, record)) date = ascTime(record);
    }
    date = date.substr(0, date.find('\n'));
    return name + std::string(" - ") + date;
}

time_t utcDay(int year, int month, int day) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    return makeUtcTime(t);
}

// The length of a file's row without making it: well inside the years 1001 to
// 9998, in any zone, the date takes 24 characters.
size_t rowLength(const char* name, time_t when) {
    static const time_t from = utcDay(1001, 1, 3);
    static const time_t to = utcDay(9998, 12, 29);
    if (when >= from && when <= to) return std::strlen(name) + 3 + 24;
    return fileRow(name, when).size();
}

}  // namespace

// The window's lines, from a snapshot of the Vigil's lists; a line is made only
// when it is drawn, saved or picked.
class FtpDetailsModel : public QAbstractListModel {
public:
    FtpDetailsModel(std::shared_ptr<const FtpListingComparison> lists, QObject* parent)
        : QAbstractListModel(parent), lists_(std::move(lists)) {
        if (!lists_) return;
        sections_[0] = {&lists_->added(), "Added Files:", "No files added."};
        sections_[1] = {&lists_->removed(), "Removed Files:", "No files removed."};
        sections_[2] = {&lists_->changed(), "Changed Files:", "No files changed."};
        for (const Section& s : sections_) {
            int row = rows_ + 2;
            s.files->forEach([&](const char* name, time_t when) {
                const size_t length = rowLength(name, when);
                if (length > longestRow_) {
                    longestRow_ = length;
                    longestRowAt_ = row;
                }
                ++row;
            });
            rows_ += s.files->count() > 0 ? s.files->count() + 4 : 3;
        }
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : rows_; }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rows_) return {};
        if (role == Qt::DisplayRole) return QString::fromStdString(line(index.row()));
        if (role == Qt::SizeHintRole && rowSize_.isValid()) return rowSize_;
        return {};
    }

    // The bytes of a line; for a file's row also the file's name.
    std::string line(int row, std::optional<std::string>* fileName = nullptr) const {
        for (const Section& s : sections_) {
            if (!s.files) break;
            const int count = s.files->count();
            const int size = count > 0 ? count + 4 : 3;
            if (row >= size) {
                row -= size;
                continue;
            }
            if (count == 0) return row == 0 ? s.none : row == 1 ? kRule : " ";
            if (row == 0) return s.heading;
            if (row == 1 || row == count + 2) return kRule;
            if (row == count + 3) return " ";
            const char* name = s.files->name(row - 2);
            if (fileName) *fileName = std::string(name);
            return fileRow(name, s.files->time(row - 2));
        }
        return {};
    }

    size_t longestRow() const { return longestRow_; }
    int longestRowAt() const { return longestRowAt_; }
    // Every line takes this size: the view then lays out a long list at once.
    void setRowSize(QSize size) { rowSize_ = size; }

private:
    struct Section {
        const FtpFileList* files = nullptr;
        const char* heading = nullptr;
        const char* none = nullptr;
    };

    std::shared_ptr<const FtpListingComparison> lists_;
    Section sections_[3];
    int rows_ = 0;
    size_t longestRow_ = 0;  // in characters; headings and the fixed lines do not count
    int longestRowAt_ = 0;
    QSize rowSize_;
};

FtpDetailsWindow::FtpDetailsWindow(QWidget* owner, const std::shared_ptr<Vigil>& vigil) : QDialog(owner) {
    chooseSaveFile = [this] { return QFileDialog::getSaveFileName(this, QString(), QStringLiteral("details.txt")); };

    list_ = new QListView(this);
    list_->setObjectName(QStringLiteral("details"));
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setUniformItemSizes(true);
    // A long list is laid out in steps between events: the window answers meanwhile.
    list_->setLayoutMode(QListView::Batched);
    list_->setBatchSize(100000);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);

    if (vigil && vigil->kind() == VigilKind::Ftp) vigil_ = std::dynamic_pointer_cast<FtpVigil>(vigil);
    if (vigil_) setWindowTitle(QString::fromStdString(vigil_->description()));
    model_ = new FtpDetailsModel(vigil_ ? vigil_->lists() : nullptr, this);
    list_->setModel(model_);
    // All lines as wide as the longest, so that it can be scrolled to.
    if (model_->rowCount() > 0)
        model_->setRowSize(list_->sizeHintForIndex(model_->index(model_->longestRowAt())));
    placeAndSize(model_->longestRow());
    // The list sees no mouse clicks of its own: ours select and open the menu.
    list_->viewport()->installEventFilter(this);
}

FtpDetailsWindow::~FtpDetailsWindow() {
    const QPoint at = pos();
    ProgramSettings::update([at](SettingsValues& s) {
        s.hasFtpDetailsPlace = true;
        s.ftpDetailsX = at.x();
        s.ftpDetailsY = at.y();
    });
}

int FtpDetailsWindow::lineHeight() const {
    int height = model_->rowCount() > 0 ? list_->sizeHintForRow(0) : 0;
    if (height <= 0) height = list_->fontMetrics().height() + list_->fontMetrics().leading();
    return std::max(1, height);
}

void FtpDetailsWindow::placeAndSize(size_t longestRow) {
    int width = static_cast<int>(longestRow + 22) * list_->fontMetrics().averageCharWidth();
    int height = (model_->rowCount() + 5) * lineHeight();

    const SettingsValues s = ProgramSettings::snapshot();
    const bool placed = s.hasFtpDetailsPlace && s.ftpDetailsX >= 0 && s.ftpDetailsY >= 0;
    if (placed) move(s.ftpDetailsX, s.ftpDetailsY);

    QSize desktop(s.desktopWidth, s.desktopHeight);
    if (desktop.width() <= 0 || desktop.height() <= 0) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        desktop = screen ? screen->geometry().size() : QSize(width + pos().x(), height + pos().y());
    }
    if (pos().x() + width > desktop.width()) width = desktop.width() - pos().x();
    if (pos().y() + height > desktop.height()) height = desktop.height() - pos().y();
    resize(std::max(1, width), std::max(1, height));
    // Unplaced, the window opens over its owner as the other dialogs do; any
    // move here would pin it to the desktop's corner.
    if (placed) pullOntoDesktop(*this);
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
    const QModelIndex index = list_->indexAt(click->position().toPoint());
    // The first line is a heading: never selected, no menu.
    if (index.row() <= 0) return true;
    QItemSelectionModel* selection = list_->selectionModel();
    if (click->button() == Qt::LeftButton) {
        const bool select = !selection->isSelected(index);
        selection->clearSelection();
        if (select) selection->select(index, QItemSelectionModel::Select);
    } else if (click->button() == Qt::RightButton) {
        selection->select(index, QItemSelectionModel::ClearAndSelect);
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
    const QModelIndexList selected = list_->selectionModel()->selectedIndexes();
    if (selected.isEmpty() || !vigil_) return;
    // Headings, rules and blank lines name no file.
    std::optional<std::string> name;
    model_->line(selected.front().row(), &name);
    if (name) vigil_->addIgnoreFile(*name);
}

void FtpDetailsWindow::saveList() {
    const QString path = chooseSaveFile();
    if (path.isEmpty()) return;
    FILE* file = openFile(path.toStdString(), "w");
    if (!file) return;
    for (int row = 0; row < model_->rowCount(); ++row) std::fprintf(file, "%s\n", model_->line(row).c_str());
    std::fclose(file);
}

void openFtpDetailsWindow(QWidget* owner, const std::shared_ptr<Vigil>& vigil) {
    FtpDetailsWindow window(owner, vigil);
    window.exec();
}
