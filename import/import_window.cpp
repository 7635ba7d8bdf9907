#include "import/import_window.h"

#include "dialogs/stored_placement.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "core/program_settings.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "platform/qt/display_text.h"
#include "import/import_sources.h"
#include "platform/message_box.h"

namespace {

constexpr int kPathLimit = 512;
constexpr int kGap = 10;  // the fixed margins and the empty rows between groups

const char* const kSourcePrompt =
    "Select program to import from.  To import from an HTML document, select Other HTML";
const char* const kPathPrompt = "Select path to the bookmark file";

std::optional<QString> openFileDialog(QWidget* owner, const QString& title, const QString& proposed) {
    // A proposed name with a wildcard ("*.html *.htm") is a filter, not a file.
    const bool pattern = proposed.contains(QLatin1Char('*'));
    const QString name = QFileDialog::getOpenFileName(owner, title, pattern ? QString() : proposed,
                                                      pattern ? proposed : QString());
    if (name.isEmpty()) return std::nullopt;
    return name;
}

std::optional<QString> openFolderDialog(QWidget* owner, const QString& title, const QString& proposed) {
    const QString name = QFileDialog::getExistingDirectory(owner, title, proposed);
    if (name.isEmpty()) return std::nullopt;
    return name;
}

}  // namespace

ImportServices& importServices() {
    static ImportServices services{openFileDialog, openFolderDialog, nullptr, nullptr};
    return services;
}

bool ImportCommandHandler::command(int id) {
    switch (id) {
        case ImportId::Browse: window_.browse(); break;
        case ImportId::ImportFile: window_.importFile(); break;
        case ImportId::AddSelections: window_.addSelections(); break;
        case ImportId::SelectAll: window_.selectAll(); break;
        case ImportId::DeselectAll: window_.deselectAll(); break;
        case ImportId::ClearList: window_.clearList(); break;
        case ImportId::Close: window_.closeWindow(); break;
        case ImportId::Help: window_.showHelp(); break;
        default: break;
    }
    return true;
}

ImportWindow::ImportWindow(int windowId, QWidget* owner, VigilList& vigils)
    : QDialog(owner), handler_(*this), vigils_(vigils) {
    setObjectName(QStringLiteral("ImportWindow%1").arg(windowId));
    setWindowTitle(QStringLiteral("Import Vigils"));
    build();
}

ImportWindow::~ImportWindow() { dropEntries(); }

void ImportWindow::build() {
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    setPalette(grey);
    setAutoFillBackground(true);

    auto* client = new QVBoxLayout(this);
    client->setContentsMargins(kGap, kGap, kGap, kGap);
    client->setSpacing(4);

    client->addWidget(new QLabel(QString::fromLatin1(kSourcePrompt), this));
    source_ = new QComboBox(this);
    for (int i = 0; i < ImportSource::Count; ++i) source_->addItem(QString::fromLatin1(ImportSources::text(i)));
    source_->setCurrentIndex(0);
    client->addWidget(source_);
    client->addSpacing(kGap);

    client->addWidget(new QLabel(QString::fromLatin1(kPathPrompt), this));
    auto* pathRow = new QHBoxLayout;
    path_ = new QLineEdit(this);
    path_->setMaxLength(kPathLimit);
    pathRow->addWidget(path_, 1);
    pathRow->addWidget(addButton(ImportId::Browse, "&Browse..."));
    client->addLayout(pathRow);
    client->addSpacing(kGap);

    auto* importRow = new QHBoxLayout;
    importRow->addWidget(addButton(ImportId::ImportFile, "&Import file to list below"));
    importRow->addStretch(1);
    client->addLayout(importRow);
    client->addSpacing(kGap);

    // The list takes the extra room; its buttons stand to its right, a row apart.
    auto* listArea = new QGridLayout;
    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    listArea->addWidget(list_, 0, 0, 8, 1);
    listArea->setColumnStretch(0, 1);
    listArea->setColumnMinimumWidth(1, kGap);
    const int listButtons[] = {ImportId::AddSelections, ImportId::SelectAll, ImportId::DeselectAll,
                               ImportId::ClearList};
    const char* const listButtonTexts[] = {"&Add Selections Now", "&Select All", "&Deselect All", "Clear &List"};
    for (int i = 0; i < 4; ++i) listArea->addWidget(addButton(listButtons[i], listButtonTexts[i]), 2 * i + 1, 2);
    listArea->setRowStretch(7, 1);
    client->addLayout(listArea, 1);
    client->addSpacing(kGap);

    auto* closeRow = new QHBoxLayout;
    closeRow->addWidget(addButton(ImportId::Close, "&Close"));
    closeRow->addSpacing(kGap);
    closeRow->addWidget(addButton(ImportId::Help, "&Help"));
    closeRow->addStretch(1);
    client->addLayout(closeRow);
}

QPushButton* ImportWindow::addButton(int id, const char* text) {
    auto* b = new QPushButton(QString::fromLatin1(text), this);
    // Enter in the path field must not press a button behind the user's back.
    b->setAutoDefault(false);
    connect(b, &QPushButton::clicked, this, [this, id] { handler_.command(id); });
    buttons_.emplace_back(id, b);
    return b;
}

QPushButton* ImportWindow::button(int id) const {
    for (const auto& [buttonId, b] : buttons_)
        if (buttonId == id) return b;
    return nullptr;
}

void ImportWindow::browse() {
    const int source = source_->currentIndex();
    ImportSources& sources = importSources();
    const QString title = QString::fromLatin1(kPathPrompt);
    const QString proposed = QFile::decodeName(sources.fileName(source).c_str());
    // Without a registry to name the Favorites folder, the user picks it.
    const auto& choose = source == ImportSource::InternetExplorer ? importServices().chooseFolder
                                                                   : importServices().chooseFile;
    if (!choose) return;
    const std::optional<QString> chosen = choose(this, title, proposed);
    if (!chosen) return;
    sources.setFileName(source, QFile::encodeName(*chosen).toStdString());
    path_->setText(*chosen);
}

void ImportWindow::importFile() {
    const int source = source_->currentIndex();
    ImportList found;
    if (!ImportSources::importer(source)(QFile::encodeName(path_->text()).toStdString(), found)) return;
    ImportList& entries = importSources().entries();
    for (ImportItem& item : found) {
        list_->addItem(displayText({item.displayText.text(), static_cast<size_t>(item.displayText.length())}));
        entries.push_back(std::move(item));
    }
}

void ImportWindow::addSelections() {
    const ImportList& entries = importSources().entries();
    for (int row = 0; row < list_->count(); ++row) {
        if (!list_->item(row)->isSelected() || static_cast<size_t>(row) >= entries.size()) continue;
        const SimpleString& line = entries[static_cast<size_t>(row)].recordLine;
        const std::shared_ptr<Vigil> vigil =
            VigilStore::parseRecord(std::string(line.text(), static_cast<size_t>(line.length())), vigils_,
                                    VigilStore::CacheName::Drop);
        if (!vigil) {
            if (vigilIdentifierFree()) continue;
            showMessageBox("Tervane", NoFreeVigilIdentifierText);
            break;
        }
        // The position is looked up after the append, so it is the new Vigil's own.
        const long position = vigils_.position(vigil);
        if (position >= 0 && importServices().vigilAdded) importServices().vigilAdded(position);
        // Posted after 1038, so the row exists when its refresh arrives.
        vigil->setStatus(VigilStatus::NoChange, true);
    }
}

void ImportWindow::selectAll() {
    if (list_->count() > 0) list_->selectAll();
}

void ImportWindow::deselectAll() { list_->clearSelection(); }

void ImportWindow::clearList() {
    list_->clear();
    importSources().entries().clear();
}

void ImportWindow::closeWindow() {
    done(ImportResult::Ok);
}

void ImportWindow::showHelp() {
    if (importServices().showHelp) importServices().showHelp(ImportId::HelpPanel);
}

void ImportWindow::done(int result) {
    dropEntries();
    QDialog::done(result == QDialog::Rejected ? ImportResult::Cancel : result);
}

void ImportWindow::dropEntries() {
    if (list_) list_->clear();
    importSources().entries().clear();
}

int openImportWindow(QWidget* owner, VigilList& vigils) {
    ImportWindow window(ImportId::Window, owner, vigils);
    window.setFocus();
    return showAtStoredPlace(window, &SettingsValues::importWindow, [&window] { return window.exec(); });
}
