#include <gtest/gtest.h>

#include "app/command_services.h"
#include "app/command_wiring.h"
#include "app/main_window_handler.h"
#include "app/vigil_tasks.h"
#include "dialogs/dialog_help.h"
#include "import/import_window.h"
#include "support/qt_test_app.h"

// Every command, start-up hook and Help button reaches its work once the
// program is wired: an empty slot would leave a menu item greyed for good.
TEST(CommandWiring, EverySlotIsFilled) {
    testApp();
    installCommandServices();
    const CommandServices& s = commandServices();
    EXPECT_TRUE(s.newWebVigil && s.newFtpVigil && s.newGopherVigil);
    EXPECT_TRUE(s.editVigil && s.deleteVigils && s.pasteUrl);
    EXPECT_TRUE(s.resetVigils && s.startWatching && s.stopWatching);
    EXPECT_TRUE(s.resetAll && s.stopWatchingAll && s.startWatchingAll && s.resetConnection);
    EXPECT_TRUE(s.viewVigil && s.openUrlInBrowser);
    EXPECT_TRUE(s.openImport && s.openProgramSettings && s.openFtpDetails && s.openAbout);
    EXPECT_TRUE(editDialogs().web && editDialogs().ftp && editDialogs().gopher);
    EXPECT_TRUE(startupHooks().enableCommands && startupHooks().welcome);
    EXPECT_TRUE(static_cast<bool>(dialogHelpHandler()));
    EXPECT_TRUE(static_cast<bool>(importServices().showHelp));
    EXPECT_TRUE(static_cast<bool>(importServices().vigilAdded));
}
