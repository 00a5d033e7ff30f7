// The exit procedure: one exit at a time, the order of its steps, restart against final exit, and
// an exit that always ends even when a step fails.
#include <thread>

#include "run_test_fixture.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {
namespace {

using Exit = RunTest;

TEST_F(Exit, ConcurrentRequestsStartOneExitWithTheWinnersReason) {
    std::vector<std::thread> threads;
    std::atomic<bool> go{false};
    std::atomic<int> done{0};
    // The exit thread waits at its first pause until every request has been made.
    onSleep = [&] {
        while (done.load() < 8) std::this_thread::yield();
    };
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            while (!go.load()) {
            }
            gf_requestExit(i % 2 == 0 ? EXIT_USER_CLOSED_SIM : EXIT_SYSTEM_ERROR, 0);
            ++done;
        });
    go = true;
    for (auto& t : threads) t.join();
    ASSERT_EQ(awaitPrivate(), ui::WM_FINAL_EXIT);
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_TRUE(remainingPrivate().empty());
    const int exits = logCount("Exiting: USER CLOSED SIM") + logCount("Exiting: SYSTEM ERROR");
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(g_exitRequested.load());
    EXPECT_EQ(g_runningThreads.load(), 0);
}

TEST_F(Exit, CloseRemovesAircraftEmptiesTheBlockAndEndsTheProgram) {
    BLOCK_CALLSIGN.set("BAW123");
    BLOCK_CALLSIGN.save();
    g_blockedCallsigns = {"BAW123_"};
    g_rememberedLiveries[7] = "title";
    gf_requestExit(EXIT_USER_CLOSED_SIM, 0);
    ASSERT_EQ(awaitPrivate(), ui::WM_FINAL_EXIT);
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_TRUE(g_blockedCallsigns.empty());
    EXPECT_TRUE(g_rememberedLiveries.empty());
    EXPECT_EQ(logCount("Exiting: USER CLOSED SIM"), 1);
    EXPECT_EQ(logCount("User closed Varnel"), 1);
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "");
    EXPECT_TRUE(g_userStopped.load());   // kept: nothing runs again in this process
    EXPECT_TRUE(gf_exitUnderWay());
}

TEST_F(Exit, RestartTurnsTheScansOffCountsDownAndStartsANewRun) {
    BLOCK_CALLSIGN.set("BAW123");
    g_readerError = true;
    g_staticRenew = true;
    std::vector<std::string> shown;
    onSleep = [&] {
        const std::string s = g_mainWindow.g_statusText.get();
        if (shown.empty() || shown.back() != s) shown.push_back(s);
    };
    g_staticParked.assign(1, Aircraft{});   // never created: only the reset of the lists drops it
    gf_requestExit(EXIT_REASON_RESTART, 2);
    ASSERT_EQ(awaitPrivate(), ui::WM_START_RUN);
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_EQ(logCount("Prepare for a restart ..."), 1);
    EXPECT_EQ(storedValue("SCAN_LIVERIES"), "false");
    EXPECT_EQ(storedValue("SCAN_AIRPORTS"), "false");
    EXPECT_EQ(BLOCK_CALLSIGN.get(), "BAW123");
    EXPECT_TRUE(g_staticParked.empty());
    for (const char* countdown : {"Restarting after 2 seconds", "Restarting after 1 second"})
        EXPECT_NE(std::find(shown.begin(), shown.end(), countdown), shown.end()) << countdown;
    EXPECT_FALSE(g_readerError.load());
    EXPECT_FALSE(g_staticRenew.load());
    EXPECT_FALSE(gf_exitUnderWay());
    EXPECT_EQ(g_exitReason.load(), EXIT_NOT_YET_SET);
}

TEST_F(Exit, NewInstallPathRestartKeepsTheScanSettings) {
    SCAN_LIVERIES.set(true);
    SCAN_LIVERIES.save();
    gf_requestExit(EXIT_RESTART_IPP, 1);
    ASSERT_EQ(awaitPrivate(), ui::WM_START_RUN);
    EXPECT_EQ(storedValue("SCAN_LIVERIES"), "true");
    EXPECT_EQ(logCount("Prepare for a restart ..."), 0);
}

TEST_F(Exit, CloseDuringTheRestartCountdownEndsTheProgramInstead) {
    std::atomic<bool> closed{false};
    onSleep = [&] {
        if (!closed && g_mainWindow.g_statusText.get() == "Restarting after 40 seconds") {
            closed = true;
            gf_requestExit(EXIT_USER_CLOSED_SIM, 0);   // the close button, as the window procedure calls it
        }
    };
    gf_requestExit(EXIT_REASON_RESTART, 45);
    ASSERT_EQ(awaitPrivate(), ui::WM_FINAL_EXIT);
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_TRUE(closed);
    EXPECT_TRUE(remainingPrivate().empty());   // no new run was started
    EXPECT_EQ(logCount("User closed Varnel"), 1);
    EXPECT_TRUE(g_userStopped.load());
}

TEST_F(Exit, AFailingStepDoesNotKeepTheProgramFromEnding) {
    onSleep = [] {
        if (g_mainWindow.g_statusText.get() == "Restarting after 2 seconds") throw std::runtime_error("list broken");
    };
    gf_requestExit(EXIT_REASON_RESTART, 2);
    ASSERT_EQ(awaitPrivate(), ui::WM_START_RUN);
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_TRUE(logContains("FinalExit: list broken"));
    EXPECT_FALSE(g_exitRequested.load());
}

TEST_F(Exit, AircraftAreRemovedOnlyAfterTheMainLoopHasLeft) {
    for (const long leavesAfterSleeps : {4L, 0L}) {   // 0: the loop never leaves
        SCOPED_TRACE(leavesAfterSleeps);
        resetFlags();
        sleeps = 0;
        g_mainLoopActive = true;
        onSleep = [&] {
            if (sleeps.load() == leavesAfterSleeps) g_mainLoopActive = false;
        };
        g_staticParked.assign(1, Aircraft{});
        g_staticParked[0].state = STATE_IN_SIM;
        g_staticParked[0].objectId = 7;
        gf_requestExit(EXIT_USER_CLOSED_SIM, 0);
        ASSERT_EQ(awaitPrivate(), ui::WM_FINAL_EXIT);
        ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
        EXPECT_EQ(g_staticParked[0].state != STATE_IN_SIM, leavesAfterSleeps != 0);
        EXPECT_EQ(logCount("The main loop did not end, AI aircraft go with the connection"), leavesAfterSleeps ? 0 : 1);
        onSleep = nullptr;
    }
    g_mainLoopActive = false;
    g_staticParked.clear();
}

TEST_F(Exit, ARestartWaitsForThePreviousRunAndEndsTheProgramWhenItDoesNotEnd) {
    struct Case {
        long endsAfterSleeps;   // 0: the run never ends
        std::uint32_t posted;
    };
    for (const Case& c : {Case{40, ui::WM_START_RUN}, Case{0, ui::WM_FINAL_EXIT}}) {
        resetFlags();
        sleeps = 0;
        g_runThreadActive = true;   // the previous run is still busy when the exit begins
        onSleep = [&] {
            if (c.endsAfterSleeps && sleeps.load() == c.endsAfterSleeps) g_runThreadActive = false;
        };
        g_staticParked.assign(1, Aircraft{});   // never created: only the reset of the lists drops it
        gf_requestExit(EXIT_REASON_RESTART, 1);
        ASSERT_EQ(awaitPrivate(), c.posted) << c.endsAfterSleeps;
        ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
        const bool restarted = c.posted == ui::WM_START_RUN;
        EXPECT_EQ(g_staticParked.empty(), restarted) << "the lists are reset only once the old run has ended";
        EXPECT_EQ(logCount("The run did not end, Varnel closes instead of restarting"), restarted ? 0 : 1);
        EXPECT_EQ(gf_exitUnderWay(), !restarted) << "a run that is still there keeps winding down";
        EXPECT_TRUE(remainingPrivate().empty());
    }
    g_runThreadActive = false;
    g_staticParked.clear();
}

TEST_F(Exit, WorkersThatNeverEndAreWaitedForABoundedTime) {
    g_runningThreads = 3;   // two workers that never end, plus the exit thread once it runs
    gf_requestExit(EXIT_USER_CLOSED_SIM, 0);
    ASSERT_EQ(awaitPrivate(), ui::WM_FINAL_EXIT);
    EXPECT_EQ(g_runningThreads.load(), 3);
}

}  // namespace
}  // namespace vrn::test
