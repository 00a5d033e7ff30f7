// The run thread's start-up on a scratch program folder: the checks that stop a run with a user
// error leave the window open (no exit) and keep the thread count balanced.
#include <cstdlib>
#include <unistd.h>

#include "airports/airport_data_files.h"
#include "airports/airport_list.h"
#include "app/run_thread.h"
#include "app/run_test_fixture.h"
#include "core/text_files.h"
#include "core/time_of_week.h"
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

TEST_F(RunThread, StaleTemporaryFilesGoAndAFolderInPlaceOfTheSettingsIsAUserError) {
    fs::create_directories(dir() / "docs");
    const std::string stale = gf_tempFileName("LFPG.xml", 4000000000u, 3);
    const std::string own = gf_tempFileName("parameters.xml", static_cast<std::uint64_t>(::getpid()), 0);
    for (const fs::path& file : {dir() / "airports/learned/stock" / stale, dataFolder() / stale, dataFolder() / own,
                                 dir() / "output" / "LFPG.xml.tmp-1-2"})
        writeFile(file, "x");
    fs::create_directories(paramsPath() / "inside");
    gf_startUpVRNL();
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "44: " + paramsPath().string() + " is not a settings file: a folder");
    EXPECT_FALSE(fs::exists(dir() / "airports/learned/stock" / stale) || fs::exists(dataFolder() / stale));
    EXPECT_TRUE(fs::exists(dataFolder() / own) && fs::exists(dir() / "output" / "LFPG.xml.tmp-1-2"));
    EXPECT_TRUE(fs::is_directory(paramsPath() / "inside"));
    EXPECT_EQ(g_runningThreads.load(), 0);
    EXPECT_TRUE(exits.empty());
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
    // Offline too the day's checks count as done: the next start does not wait for the server again.
    EXPECT_EQ(storedValue("DATA_CHECKED_AT_DATE"), gf_todayDateCode());
    EXPECT_TRUE(g_realTrafficLocal.load()) << "RealTraffic detection comes after the install path";
    EXPECT_FALSE(logContains("detected at this PC"));
    EXPECT_EQ(g_runningThreads.load(), 0);
    EXPECT_TRUE(exits.empty());
    EXPECT_FALSE(window.isEnabled(MSFS_2024_INSTALL_PATH.controlId) && !MSFS_2020.get());
    g_realTrafficLocal = false;

    // A stored path without a Community folder passes the start-up checks; only the automatic livery
    // scan, which walks it, stops there with the same user error.
    gf_clearError();
    ASSERT_TRUE(gf_writeAirportListFile({{"EGLL", "LHR", 51.47, -0.46, 83}}, gf_airportListPath()));
    fs::create_directories(dir() / "no packages");
    (MSFS_2020.get() ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH).setAndSave((dir() / "no packages").string());
    LIG_AUTOMATIC.set(true), LIG_AUTOMATIC.save();
    gf_startUpVRNL();
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "150: This path exists but is not a path to Community ...; type full path "
                                              "to your Community folder above, and press Enter");
    EXPECT_TRUE(logContains("not detected at this PC") && logContains("airports read from"));
    EXPECT_TRUE(logContains("liveries scan automatic starts"));
    EXPECT_EQ(storedValue("DATA_CHECKED_AT_DATE"), gf_todayDateCode());
    EXPECT_EQ(g_runningThreads.load(), 0);
    EXPECT_TRUE(exits.empty());
}

}  // namespace
}  // namespace vrn::test
