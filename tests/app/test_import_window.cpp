#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "app/main_window_event.h"
#include "app/main_window_handler.h"
#include "core/ftp_vigil.h"
#include "core/program_settings.h"
#include "core/vigil.h"
#include "core/vigil_list.h"
#include "import/import_sources.h"
#include "import/import_window.h"
#include "platform/qt/window_event.h"
#include "support/qt_test_app.h"
#include "support/scratch_dir.h"
#include "support/window_test_helpers.h"

namespace {

std::string fixture(const std::string& name) { return std::string(TERVANE_FIXTURES_DIR) + "/import/" + name; }

// Qt's own, taken before any test puts a stand-in in its place.
const auto realChooseFile = importServices().chooseFile;

using Event = std::tuple<int, long, long>;

// Stands in for the main window: records what is posted to it.
class EventLog : public WindowEventReceiver {
public:
    void handleWindowEvent(int id, long param1, long param2) override { events.emplace_back(id, param1, param2); }
    std::vector<Event> drain() {
        QCoreApplication::processEvents();
        return std::exchange(events, {});
    }
    std::vector<Event> events;
};

void postStatus(int status, int identifier) { postWindowEvent(status, identifier, 0); }

std::vector<std::shared_ptr<Vigil>> listed() { return vigilList().snapshot(); }

class ImportWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testApp();
        ProgramSettings::reset();
        setVigilStatusCallback(postStatus);
        importServices().vigilAdded = announceVigilAdded;
        log = std::make_unique<EventLog>();
        importServices().chooseFile = [this](QWidget*, const QString&, const QString& proposed) {
            proposals.push_back(proposed);
            return fileAnswer;
        };
        importServices().chooseFolder = [this](QWidget*, const QString&, const QString& proposed) {
            folderProposals.push_back(proposed);
            return fileAnswer;
        };
    }

    // Picks a source and a file the way the user does: combo box, Browse, Import.
    void importInto(ImportWindow& window, int source, const std::string& file) {
        window.sourceBox()->setCurrentIndex(source);
        fileAnswer = QString::fromStdString(file);
        window.button(ImportId::Browse)->click();
        window.button(ImportId::ImportFile)->click();
    }

    std::unique_ptr<EventLog> log;
    std::optional<QString> fileAnswer;
    std::vector<QString> proposals, folderProposals;
};

QStringList rows(const ImportWindow& window) {
    QStringList out;
    for (int i = 0; i < window.entryList()->count(); ++i) out << window.entryList()->item(i)->text();
    return out;
}

}  // namespace

TEST_F(ImportWindowTest, ControlsAndLook) {
    ImportWindow window(ImportId::Window, nullptr, vigilList());
    EXPECT_EQ(window.windowTitle(), "Import Vigils");
    ASSERT_EQ(window.sourceBox()->count(), 12);
    EXPECT_EQ(window.sourceBox()->currentIndex(), 0);
    EXPECT_EQ(window.sourceBox()->itemText(0), "Connexion Collection 1.x");
    EXPECT_EQ(window.sourceBox()->itemText(3), "Internet Explorer");
    EXPECT_EQ(window.sourceBox()->itemText(11), "Other HTML");
    EXPECT_EQ(window.pathField()->maxLength(), 512);
    EXPECT_TRUE(window.pathField()->text().isEmpty());
    EXPECT_EQ(window.entryList()->selectionMode(), QAbstractItemView::ExtendedSelection);
    const std::pair<int, const char*> buttons[] = {
        {ImportId::Browse, "&Browse..."},          {ImportId::ImportFile, "&Import file to list below"},
        {ImportId::AddSelections, "&Add Selections Now"}, {ImportId::SelectAll, "&Select All"},
        {ImportId::DeselectAll, "&Deselect All"},  {ImportId::ClearList, "Clear &List"},
        {ImportId::Close, "&Close"},               {ImportId::Help, "&Help"}};
    for (const auto& [id, text] : buttons) {
        ASSERT_NE(window.button(id), nullptr) << text;
        EXPECT_EQ(window.button(id)->text(), QString::fromLatin1(text));
    }

    int helpPanel = 0;
    importServices().showHelp = [&helpPanel](int panel) { helpPanel = panel; };
    window.button(ImportId::Help)->click();
    EXPECT_EQ(helpPanel, 300);

    window.resize(window.sizeHint());
    window.grab().save("/tmp/import_window.png");
    importInto(window, 5, fixture("bookmark.htm"));
    window.entryList()->item(1)->setSelected(true);
    window.grab().save("/tmp/import_window_filled.png");
}

TEST_F(ImportWindowTest, BrowseProposesTheLastChoiceOfEachSource) {
    {
        ImportWindow window(ImportId::Window, nullptr, vigilList());
        window.sourceBox()->setCurrentIndex(5);
        fileAnswer = std::nullopt;  // the user cancels: nothing changes
        window.button(ImportId::Browse)->click();
        EXPECT_TRUE(window.pathField()->text().isEmpty());
        fileAnswer = QString::fromStdString(fixture("bookmark.htm"));
        window.button(ImportId::Browse)->click();
        EXPECT_EQ(window.pathField()->text().toStdString(), fixture("bookmark.htm"));
        window.button(ImportId::Close)->click();
    }
    ImportWindow again(ImportId::Window, nullptr, vigilList());
    again.sourceBox()->setCurrentIndex(5);
    again.button(ImportId::Browse)->click();
    ASSERT_EQ(proposals.size(), 3u);
    EXPECT_EQ(proposals[0], "bookmark.htm");
    EXPECT_EQ(proposals[2].toStdString(), fixture("bookmark.htm"));

    // Other HTML: the real dialog lists .htm files beside .html ones.
    importServices().chooseFile = realChooseFile;
    QString filter;
    whenModal<QFileDialog>([&filter](QFileDialog& dialog) {
        filter = dialog.selectedNameFilter();
        dialog.reject();
    });
    again.sourceBox()->setCurrentIndex(11);
    again.button(ImportId::Browse)->click();
    EXPECT_TRUE(QDir::match(filter, "links.htm") && QDir::match(filter, "links.html")) << filter.toStdString();
}

TEST_F(ImportWindowTest, InternetExplorerBrowsesForTheFavoritesFolder) {
    ImportWindow window(ImportId::Window, nullptr, vigilList());
    importInto(window, ImportSource::InternetExplorer, fixture("favorites"));
    EXPECT_TRUE(proposals.empty());  // no file dialog
    ASSERT_EQ(folderProposals.size(), 1u);
    EXPECT_EQ(folderProposals[0], "");  // no folder until the user picks one
    EXPECT_EQ(rows(window), QStringList({"Example Site", "SHOUT.URL", "Gopher Menu", "Windows 10"}));
}

TEST_F(ImportWindowTest, ImportsAddUpUntilTheListIsCleared) {
    ImportWindow window(ImportId::Window, nullptr, vigilList());
    importInto(window, 5, fixture("bookmark.htm"));
    importInto(window, 9, fixture("quiklist.txt"));
    EXPECT_EQ(rows(window), QStringList({"Example News", "Intranet   Staff Pages", "Example FTP",
                                         "<IMG SRC=\"g.gif\">", "Pipe path", "Example   Home", "Gopher Root"}));
    EXPECT_EQ(importSources().entries().size(), 7u);

    // A file that cannot be read adds nothing and says nothing.
    window.pathField()->setText(QString::fromStdString(fixture("missing.file")));
    window.button(ImportId::ImportFile)->click();
    EXPECT_EQ(window.entryList()->count(), 7);

    window.button(ImportId::SelectAll)->click();
    EXPECT_EQ(window.entryList()->selectedItems().size(), 7);
    window.button(ImportId::DeselectAll)->click();
    EXPECT_TRUE(window.entryList()->selectedItems().isEmpty());

    window.button(ImportId::ClearList)->click();
    EXPECT_EQ(window.entryList()->count(), 0);
    EXPECT_TRUE(importSources().entries().empty());
}

TEST_F(ImportWindowTest, AddSelectionsAppendsVigilsAndTellsTheMainWindow) {
    ImportWindow window(ImportId::Window, nullptr, vigilList());
    importInto(window, 4, fixture("vigil.dat"));
    ASSERT_EQ(window.entryList()->count(), 3);

    window.button(ImportId::AddSelections)->click();
    EXPECT_TRUE(listed().empty());
    EXPECT_TRUE(log->drain().empty());

    window.entryList()->item(1)->setSelected(true);
    window.entryList()->item(2)->setSelected(true);
    window.button(ImportId::AddSelections)->click();
    const auto vigils = listed();
    ASSERT_EQ(vigils.size(), 2u);
    EXPECT_EQ(vigils[0]->description(), "Pipe | Page");
    // A stopped Vigil stays stopped; the other is "No change".
    EXPECT_EQ(vigils[0]->status(), VigilStatus::Inactive);
    EXPECT_EQ(vigils[1]->status(), VigilStatus::NoChange);
    // Each position arrives before the status that refreshes its row.
    EXPECT_EQ(log->drain(), (std::vector<Event>{{MainWindowEvent::VigilAdded, 0, 0},
                                               {MainWindowEvent::VigilAdded, 1, 0},
                                               {VigilStatus::NoChange, vigils[1]->id(), 0}}));

    // The rows and their selection stay; pressing again adds independent Vigils.
    EXPECT_EQ(window.entryList()->selectedItems().size(), 2);
    window.button(ImportId::AddSelections)->click();
    ASSERT_EQ(listed().size(), 4u);
    EXPECT_NE(listed()[3]->id(), vigils[1]->id());
}

TEST_F(ImportWindowTest, TitlesWithSeparatorsAndLineBreaksStayOneRecord) {
    ImportWindow window(ImportId::Window, nullptr, vigilList());
    importInto(window, 5, fixture("bookmark.htm"));  // "Intranet | Staff" + line break + "Pages"
    importInto(window, 7, fixture("opera3.adr"));    // "Tabs|and stuff", kept as it is
    ASSERT_EQ(window.entryList()->count(), 7);
    window.entryList()->item(1)->setSelected(true);
    window.entryList()->item(6)->setSelected(true);
    window.button(ImportId::AddSelections)->click();

    const auto vigils = listed();
    ASSERT_EQ(vigils.size(), 2u);
    EXPECT_EQ(vigils[0]->description(), "Intranet   Staff Pages");
    EXPECT_EQ(vigils[0]->host(), "intranet.example.com");
    EXPECT_EQ(vigils[0]->port(), 8080);
    auto ftp = std::dynamic_pointer_cast<FtpVigil>(vigils[1]);
    ASSERT_TRUE(ftp);
    EXPECT_EQ(ftp->description(), "Tabs|and stuff");
    EXPECT_EQ(ftp->host(), "ftp.example.org");
    EXPECT_EQ(ftp->directory().value_or(""), "/");
    EXPECT_EQ(ftp->user(), "anonymous");
    EXPECT_EQ(ftp->interval(), 21600);
}

TEST_F(ImportWindowTest, ClosingAnyWayEmptiesTheList) {
    {
        ImportWindow window(ImportId::Window, nullptr, vigilList());
        importInto(window, 5, fixture("bookmark.htm"));
        window.reject();  // the close box
        EXPECT_TRUE(importSources().entries().empty());
    }
    ImportWindow window(ImportId::Window, nullptr, vigilList());
    EXPECT_EQ(window.entryList()->count(), 0);
    window.button(ImportId::SelectAll)->click();
    window.button(ImportId::AddSelections)->click();
    EXPECT_TRUE(listed().empty());

    importInto(window, 9, fixture("quiklist.txt"));
    window.button(ImportId::SelectAll)->click();
    window.button(ImportId::AddSelections)->click();
    EXPECT_EQ(listed().size(), 2u);
}

TEST_F(ImportWindowTest, OpenerUsesAndStoresThePlacement) {
    ProgramSettings::update([](SettingsValues& s) {
        s.importWindow = WindowPlacement{true, true, 40, 50, 640, 460};
    });
    QPoint shownAt;
    QSize shownSize;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        shownAt = modal->pos();
        shownSize = modal->size();
        modal->move(70, 80);
        static_cast<ImportWindow*>(modal)->button(ImportId::Close)->click();
    });
    EXPECT_EQ(openImportWindow(nullptr, vigilList()), ImportResult::Ok);
    EXPECT_EQ(shownAt, QPoint(40, 50));
    EXPECT_EQ(shownSize, QSize(640, 460));
    const WindowPlacement stored = ProgramSettings::snapshot().importWindow;
    EXPECT_EQ(stored.x, 70);
    EXPECT_EQ(stored.y, 80);
    EXPECT_EQ(stored.width, 640);
    EXPECT_EQ(stored.height, 460);

    // The close box ends it as Cancel.
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(openImportWindow(nullptr, vigilList()), ImportResult::Cancel);
}

TEST_F(ImportWindowTest, VigilFileRecordsStartWithoutTheirCacheNames) {
    ScratchDir dir;
    // Another list's record names copy 3; this folder has a stale copy of that number.
    std::filesystem::create_directory("cache");
    ScratchDir::write("cache/00000003.mon", "an old copy of something else");
    ScratchDir::write("other.dat", "1\n|gopher|Elsewhere|0|g.example|70|/x|0|0|0|1|8|cache\\00000003.mon|\n");
    ImportWindow window(ImportId::Window, nullptr, vigilList());
    importInto(window, 4, (dir.path() / "other.dat").string());
    ASSERT_EQ(window.entryList()->count(), 1);
    window.entryList()->item(0)->setSelected(true);
    window.button(ImportId::AddSelections)->click();
    ASSERT_EQ(listed().size(), 1u);
    const std::shared_ptr<Vigil> vigil = listed()[0];
    // Its first check fetches a first copy, with nothing to compare it against.
    EXPECT_NE(vigil->cacheFileName(), "cache\\00000003.mon");
    EXPECT_EQ(vigil->previousCacheFileName(), "");
}
