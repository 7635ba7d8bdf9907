#include <gtest/gtest.h>

#include "app/vigil_tasks.h"
#include "core/program_settings.h"
#include "core/vigil_list.h"
#include "core/vigil_store.h"
#include "core/web_vigil.h"
#include "dialogs/web_settings_dialog.h"
#include "support/dialog_driver.h"
#include "support/scratch_dir.h"

// What a settings dialog fills, carried by the add task into vigil.dat and back.

namespace {

struct WebDialogTest : ::testing::Test {
    WebDialogTest() {
        testApp();
        ProgramSettings::reset();
    }
    WebSettingsRecord record;
};

}  // namespace

TEST_F(WebDialogTest, EmailListsWithSemicolonsOrCommasKeepTheLoginInTheStore) {
    ScratchDir dir;
    WebSettingsDialog dialog(SettingsTitle::Web, SettingsTarget::NewVigil, &record, nullptr);
    type(dialog, "description", "Members");
    type(dialog, "url", "http://www.example.test/members");
    type(dialog, "user", "ann");
    type(dialog, "password", "secret");
    type(dialog, "email", "a@x.example;b@y.example, c@z.example,d@w.example");
    click(dialog, "ok");
    ASSERT_EQ(dialog.result(), DialogResult::Ok);
    VigilTasks::addWebVigil(record);
    ASSERT_EQ(VigilStore::save("vigil.dat", vigilList()).status, 0);
    vigilList().clear();
    VigilStore::load("vigil.dat", vigilList());
    const auto web = std::dynamic_pointer_cast<WebVigil>(vigilList().snapshot().at(0));
    ASSERT_TRUE(web);
    EXPECT_EQ(web->emailAddresses(),
              (std::vector<std::string>{"a@x.example", "b@y.example", "c@z.example", "d@w.example"}));
    EXPECT_STREQ(web->user().text(), "ann");
    EXPECT_STREQ(web->password().text(), "secret");
}
