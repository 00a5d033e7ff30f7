// The add-on airport scan's folder walk: skip rules, the worker bound, failing tasks, stopping.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "airports/airport_scan.h"
#include "airports/bgl_builder.h"
#include "airports/manifest_publisher.h"
#include "app/exit_procedure.h"
#include "app/main_window.h"
#include "core/utilities.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
struct ReleaseSlot { ~ReleaseSlot() { gf_releaseWorkerSlot(); } };   // every task gives its worker slot back

TEST(ScanRules, SkippedPathsAndExtensions) {
    const std::string base = "/sim/Community/";   // "Aircraft": the words are compared with their case
    for (const auto& [path, skipped] : {std::pair{base + "pkg/scenery/a.bgl", false}, {base + "pkg-aircraft-a320/scenery", true},
                                        {base + "pkg/Aircraft/x", false}, {base + "fsltl-traffic-base", true}, {base + "gsx-pro-profiles/x.bgl", true},
                                        {base + std::string(249 - base.size(), 'x'), false}, {base + std::string(250 - base.size(), 'x'), true}})
        EXPECT_EQ(lf_isSkippedFolder(path), skipped) << path;
}

class ScanWalk : public ::testing::Test {
protected:
    void SetUp() override { std::lock_guard lock(g_scanLogMutex); g_scanLogLines.clear(), g_scanWorkers.store(0); }
    void TearDown() override { gf_setAirportScanTask({}), g_workerThreads.store(savedThreads), g_userStopped.store(false); }
    // A task that notes the files it saw and the most tasks running at once.
    void instrument(const std::string& failOn = {}) {
        gf_setAirportScanTask([this, failOn](const fs::path& path) {
            ReleaseSlot release;
            const int now = ++running;
            int seen = maxRunning.load();
            while (now > seen && !maxRunning.compare_exchange_weak(seen, now)) {}
            std::this_thread::sleep_for(std::chrono::milliseconds(1));   // widens the overlap only
            {
                std::lock_guard lock(mutex);
                files.insert(path.filename().string()), ++visits[path.filename().string()];
            }
            --running;
            if (!failOn.empty() && path.filename() == failOn) throw std::runtime_error("broken " + failOn);
        });
    }
    void airportFile(const std::string& relative) { test::writeFile(dir / relative, test::bgl::simpleAirportFile("EGLL", 1)); }

    test::TempDir dir;
    const unsigned savedThreads = g_workerThreads.load();
    std::atomic<int> running{0}, maxRunning{0};
    std::mutex mutex;
    std::set<std::string> files;
    std::map<std::string, int> visits;
};

TEST_F(ScanWalk, FilesTakenAndPassedOver) {
    for (const char* file : {"scenery/a.bgl", "scenery/b.BGL", "scenery/c.Bgl", "statics/d.bgl", "scenery/AFCAD Updates e.bgl",
                             "my_heliports/f.bgl", "simobjects/g.bgl", "Aircraft/h.bgl", "scenery/x.bgl2"})
        airportFile(std::string("pkg/") + file);
    test::writeFile(dir / "pkg/scenery/i.bgl", test::bgl::file({{2, false, test::bgl::record(0x33, 8)}}));
    g_workerThreads.store(2);
    instrument();
    lf_searchAirportsInFolders(dir.path());
    EXPECT_TRUE(files == (std::set<std::string>{"a.bgl", "b.BGL", "h.bgl"}) && g_scanWorkers.load() == 0);
    EXPECT_EQ(gf_scanLogCopy().front(), "Scanning for addon airports in " + dir.path().string());
}

TEST_F(ScanWalk, WorkerBoundAndFailingTask) {
    for (int i = 0; i < 20; ++i) airportFile("pkg/f" + std::to_string(i) + ".bgl");
    for (unsigned bound : {1u, 2u}) {
        files.clear(), maxRunning.store(0), g_workerThreads.store(bound);
        instrument("f7.bgl");
        lf_searchAirportsInFolders(dir.path());
        EXPECT_TRUE(files.size() == 20u && maxRunning.load() <= static_cast<int>(bound) && g_scanWorkers.load() == 0) << bound;
    }
    int failures = 0;
    for (const auto& line : gf_scanLogCopy())
        failures += line.find("broken f7.bgl") != std::string::npos && line.rfind("===> ", 0) == 0;
    EXPECT_EQ(failures, 2);
}

TEST_F(ScanWalk, LinkedPackagesFollowedAndLinkCyclesEnteredOnce) {
    if (!test::symlinksAvailable()) GTEST_SKIP() << "no symbolic links can be made here";
    airportFile("Community/pkg/scenery/a.bgl");
    airportFile("elsewhere/linked-pkg/scenery/b.bgl");
    fs::create_directory_symlink(dir / "elsewhere/linked-pkg", dir / "Community/linked-pkg");
    // Links back to a folder above them: one straight back, and two that lead into each other.
    fs::create_directory_symlink(dir / "Community", dir / "Community/pkg/scenery/back");
    fs::create_directories(dir / "Community/x"), fs::create_directories(dir / "Community/y");
    fs::create_directory_symlink(dir / "Community/y", dir / "Community/x/to-y");
    fs::create_directory_symlink(dir / "Community/x", dir / "Community/y/to-x");
    g_workerThreads.store(2);
    instrument();
    lf_searchAirportsInFolders(dir / "Community");
    EXPECT_TRUE(visits == (std::map<std::string, int>{{"a.bgl", 1}, {"b.bgl", 1}}) && g_scanWorkers.load() == 0);
}

TEST_F(ScanWalk, StoppedWalkStillCollectsAndReportsStartedTasks) {
    for (int i = 0; i < 6; ++i) airportFile("pkg/f" + std::to_string(i) + ".bgl");
    g_workerThreads.store(2);
    std::atomic<int> started{0};
    gf_setAirportScanTask([&](const fs::path& path) {
        ReleaseSlot release;
        ++started;
        g_userStopped.store(true);   // the user stops while the first tasks run
        throw std::runtime_error("broken " + path.filename().string());
    });
    lf_searchAirportsInFolders(dir.path());
    // Fewer tasks than files (when the stop is seen depends on the scheduler), each failure logged once.
    EXPECT_TRUE(started.load() >= 1 && started.load() <= 3) << started.load();
    int reported = 0;
    for (const auto& line : gf_scanLogCopy()) reported += line.find("broken f") != std::string::npos;
    EXPECT_TRUE(reported == started.load() && g_scanWorkers.load() == 0) << reported;
}

TEST_F(ScanWalk, StopStartsNoTaskAndMissingFoldersAreReported) {
    airportFile("pkg/a.bgl");
    instrument();
    g_userStopped.store(true);
    lf_searchAirportsInFolders(dir.path());
    EXPECT_TRUE(files.empty());
    lf_checkScanFolder((dir / "missing").string());
    EXPECT_EQ(g_mainWindow.g_statusText.get(), (dir / "missing").string() + " does not exist, skipped!");
}

}  // namespace
}  // namespace vrn
