// The run thread's start-up on a scratch program folder: the checks that stop a run with a user
// error leave the window open (no exit) and keep the thread count balanced.
#include <cstdlib>

#include "app/run_thread.h"
#include "app/run_test_fixture.h"
#include "feed/realtraffic_link.h"
#include "support/process.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

using RunThread = RunTest;

TEST_F(RunThread, OutsideTheProgramFolderNothingIsDoneAndTheWindowStaysOpen) {
    for (bool docsAsFile : {false, true}) {
        if (docsAsFile) writeFile(dir() / "docs", "not a folder");
        gf_startUpVRNL();
        EXPECT_EQ(g_mainWindow.g_errorText.get(), "41: Varnel must be run from the Varnel folder!");
        EXPECT_FALSE(fs::exists(dir() / "output"));
        EXPECT_EQ(g_runningThreads.load(), 0);
        EXPECT_FALSE(g_runThreadActive.load());
        EXPECT_TRUE(!gf_exitInProgress() && exits.empty());
        gf_clearError();
    }
}

TEST_F(RunThread, NoInstallPathFoundStopsBeforeRealTrafficAndTheAirports) {
    ScopedEnv server("VARNEL_DOWNLOAD_URL", "http://127.0.0.1:9/");   // nothing answers on loopback
    ScopedEnv config(test::kRoamingFolderVariable, (dir() / "config").string());
    ScopedEnv data(test::kLocalFolderVariable, (dir() / "data").string());
    fs::create_directories(dir() / "docs");
    // The type database and fixes, built from the project's data sources.
    if (!dataBuilderBuilt()) GTEST_SKIP() << "varnel-data is not built";
    const fs::path sources = fs::path(VARNEL_TEST_DATA).parent_path().parent_path() / "data";
    ASSERT_EQ(runDataBuilder({"liveries", "--source", sources.string(), "--program", dir().string(), "--packages",
                              (dir() / "packages").string()},
                             dir() / "varnel-data.out"),
              0);
    g_realTrafficLocal = true;
    gf_startUpVRNL();
    EXPECT_EQ(g_mainWindow.g_errorText.get(),
              "150: No install path detected, type full path to your Community folder above, and press Enter");
    for (const char* folder : {"output/info", "output/errors", "airports/learned/stock", "airports/learned/simaddon",
                               "airports/learned/thirdparty"})
        EXPECT_TRUE(fs::is_directory(dir() / folder)) << folder;
    EXPECT_EQ(storedValue("PROGRAM_INSTALL_PATH"), fs::current_path().string());
    EXPECT_EQ(storedValue("DATA_CHECKED_AT_DATE"), "") << "no server answered: the checks run again at the next start";
    EXPECT_TRUE(g_realTrafficLocal.load()) << "RealTraffic detection comes after the install path";
    EXPECT_FALSE(logContains("detected at this PC"));
    EXPECT_EQ(g_runningThreads.load(), 0);
    EXPECT_TRUE(exits.empty());
    EXPECT_FALSE(window.isEnabled(MSFS_2024_INSTALL_PATH.controlId) && !MSFS_2020.get());
    g_realTrafficLocal = false;
}

}  // namespace
}  // namespace vrn::test
