// The main loop on a virtual clock: the per-second schedule, the static-parking renewal, the day
// wrap, pause and resume, and the ways the loop ends.
#include "airports/airport_files.h"
#include "core/exceptions.h"
#include "feed/udp_readers.h"
#include "run_test_fixture.h"

namespace vrn::test {
namespace {

TEST(SecondSchedule, JobsOfASecond) {
    auto jobs = [](int s) {
        const SecondJobs j = gf_secondJobs(s);
        const std::pair<bool, const char*> all[] = {{j.every15, "15 "},      {j.refresh16, "16 "}, {j.flowCheck59, "59 "},
                                                    {j.sameCallsign61, "61 "}, {j.every30, "30 "},   {j.minute60, "60 "},
                                                    {j.mark1200, "1200 "},     {j.day86400, "day "}};
        std::string names;
        for (const auto& [on, name] : all)
            if (on) names += name;
        return names;
    };
    EXPECT_EQ(jobs(16), "16 ");
    EXPECT_EQ(jobs(240), "15 30 60 ") << "not the 16 s refresh";
    EXPECT_EQ(jobs(885), "15 ") << "15 x 59: the 59 s check is skipped";
    EXPECT_EQ(jobs(915), "15 ") << "15 x 61: the 61 s job is skipped";
    EXPECT_EQ(jobs(118), "59 ");
    EXPECT_EQ(jobs(122), "61 ");
    EXPECT_EQ(jobs(976), "16 61 ");
    EXPECT_EQ(jobs(1200), "15 30 60 1200 ");
    EXPECT_EQ(jobs(86400), "15 30 60 1200 day ");
    EXPECT_EQ(gf_renewalMinutes(1200), 20);
    EXPECT_EQ(gf_renewalMinutes(60), 19);
    EXPECT_EQ(gf_renewalMinutes(1140), 1);
}

// A flight runs and the simulator raises its tick every 100 turns; the test stops the loop when the
// second counter reaches `stopAt`.
class MainLoopRun : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        g_flightRunning = true;
        RunHooks& h = gf_runHooks();
        h.trafficTick = [this] { ++passes; };
        h.newAircraftAgainstStatic = [this](DaySlot) { onSecond(); };
        h.refreshStaticParking = [this](bool first) {
            if (!first) refreshed.push_back(g_secondCounter.load());
        };
        h.disableParkingControls = [this] { collectionStarted.push_back(g_secondCounter.load()); };
        h.parkingAdjustments = [this] { adjusted.push_back(g_secondCounter.load()); };
        h.parkAirportHasStands = [] { return true; };
        h.clearRememberedLiveries = [this] { ++rememberedCleared; };
        onSleep = [this] {
            if (++turns % 100 == 0 && g_flightRunning.load()) g_simTick = true;
        };
    }
    void onSecond() {
        const int s = g_secondCounter.load();
        seconds.push_back(s);
        if (jumpFrom && s == jumpFrom) {
            g_secondCounter = jumpTo;
            jumpFrom = 0;
        }
        if (s == stopAt) g_exitRequested = true;
        if (onSecondExtra) onSecondExtra(s);
    }
    void run() {
        mainLoop();
        if (!gf_exitInProgress()) g_exitRequested = false;
    }

    long passes = 0;
    std::atomic<long> turns{0};
    int stopAt = -1;
    int jumpFrom = 0, jumpTo = 0;
    std::function<void(int)> onSecondExtra;
    std::vector<int> seconds, refreshed, collectionStarted, adjusted;
    int rememberedCleared = 0;
};

TEST_F(MainLoopRun, RenewalCollectsCallsignsThenAdjustsAndHoldsTheRefresh) {
    g_apfLoaded = true;
    stopAt = 1233;
    run();
    g_apfLoaded = false;
    EXPECT_EQ(collectionStarted, std::vector<int>{1215});
    EXPECT_EQ(adjusted, std::vector<int>{1230});
    EXPECT_FALSE(g_staticRenew.load());
    EXPECT_FALSE(g_trafficReader.collectCallsigns.load());
    // The 16 s refresh: every multiple of 16 that is no multiple of 15, except while the renewal waits.
    std::vector<int> expected;
    for (int s = 16; s <= 1233; s += 16)
        if (s % 15 != 0 && s != 1216) expected.push_back(s);
    EXPECT_EQ(refreshed, expected);
    EXPECT_EQ(passes, turns.load()) << "one traffic pass per turn";
    EXPECT_GT(passes, 1233L * 100);
    EXPECT_EQ(g_mainWindow.g_renewalMinutes.load(), 20);
}

TEST_F(MainLoopRun, NoRenewalWithoutParkingFileOrWithInitialLoadOnly) {
    for (int variant = 0; variant < 2; ++variant) {
        g_apfLoaded = variant == 0;
        INITIAL_LOAD_ONLY.set(variant == 0);
        collectionStarted.clear();
        stopAt = 1231;
        run();
        EXPECT_TRUE(collectionStarted.empty()) << variant;
    }
    g_apfLoaded = false;
}

TEST_F(MainLoopRun, TheDayCounterWrapsAt86400) {
    jumpFrom = 2;
    jumpTo = 86398;
    stopAt = 3;   // the second after the wrap
    run();
    EXPECT_EQ(seconds, (std::vector<int>{1, 2, 86399, 86400, 1, 2, 3}));
    EXPECT_EQ(rememberedCleared, 1);
}

TEST_F(MainLoopRun, WindowRequestsAreServedOnceAndCleared) {
    int lookups = 0, flushes = 0;
    std::vector<std::string> blocked;
    RunHooks& h = gf_runHooks();
    h.callsign2ObjectId = [&] { ++lookups; };
    h.removeStaticParked = [&] { ++flushes; };
    h.blockCallsign = [&](const std::string& c) { blocked.push_back(c); };
    onSecondExtra = [&](int s) {
        if (s == 2) {
            g_callsignLookupRequest = true;
            g_flushStaticRequest = true;
            BLOCK_CALLSIGN.set("");
            g_blockRequest = true;   // nothing to block: only cleared
        }
        if (s == 4) {
            BLOCK_CALLSIGN.set("EZY12");
            g_blockRequest = true;
        }
    };
    stopAt = 6;
    run();
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(blocked, std::vector<std::string>{"EZY12"});
    EXPECT_TRUE(INITIAL_LOAD_ONLY.get());   // a flush keeps the static aircraft away for this run
    EXPECT_TRUE(window.isChecked(INITIAL_LOAD_ONLY.controlId));
    EXPECT_FALSE(g_blockRequest.load());
}

TEST_F(MainLoopRun, ReaderErrorEndsTheRunAtTheNext30Seconds) {
    onSecondExtra = [&](int s) {
        if (s == 10) g_readerError = true;
    };
    // The exit request starts the real exit thread; it ends the loop through the exit flag.
    run();
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_EQ(seconds.back(), 30);
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "1001: RT error");
    EXPECT_EQ(logCount("Exiting: SYSTEM ERROR"), 1);
}

TEST_F(MainLoopRun, PauseAndResumeAreLoggedOnceAndTheFeedStopsMeanwhile) {
    int simEventPasses = 0;
    gf_runHooks().processSimEvents = [&] { ++simEventPasses; };
    onSecondExtra = [&](int s) {
        if (s == 3) g_flightRunning = false;   // the user went to the main menu
    };
    onSleep = [&] {
        ++turns;
        if (g_flightRunning.load() && turns % 100 == 0) g_simTick = true;
        if (!g_flightRunning.load() && simEventPasses > 0) {
            EXPECT_FALSE(g_mainLoopRunning);
            if (simEventPasses == 350) g_flightRunning = true;   // 3.5 s later the flight runs again
        }
    };
    stopAt = 5;
    run();
    for (const std::string tail : {" Flight not running", " Flight resumed"}) {
        const auto lines = logLines();
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.size() > tail.size() && l.ends_with(tail); }),
                  1)
            << tail;
    }
    EXPECT_EQ(simEventPasses, 350);
    EXPECT_FALSE(g_flightPaused.load());
}

TEST_F(MainLoopRun, AnExitEndsTheLoopWithoutAPendingTick) {
    // The simulator has stopped sending its once-a-second data: no tick comes any more.
    onSleep = [&] {
        if (++turns == 50) g_exitRequested = true;
    };
    run();
    EXPECT_EQ(turns.load(), 50);
    EXPECT_FALSE(g_mainLoopActive.load());
    EXPECT_FALSE(g_mainLoopRunning);
}

TEST_F(MainLoopRun, AnExitBeforeTheLoopStartsLeavesTheTrafficListsToTheExitThread) {
    g_exitRequested = true;   // e.g. the reader error found by the traffic start
    EXPECT_FALSE(gf_enterTrafficPhase());
    EXPECT_FALSE(g_mainLoopActive.load());
    run();
    EXPECT_EQ(passes, 0);
    EXPECT_EQ(turns.load(), 0);
    EXPECT_FALSE(g_mainLoopActive.load());
    g_exitRequested = false;
    EXPECT_TRUE(gf_enterTrafficPhase());
    EXPECT_TRUE(g_mainLoopActive.load());
    gf_leaveTrafficPhase();
}

TEST_F(MainLoopRun, AFailedPassStopsTheFeedAndEndsTheRunThroughAnExit) {
    gf_runHooks().trafficTick = [this] {
        if (++passes == 30) throw UserErrorException(81, "20 or more livery titles failed");
    };
    run();
    EXPECT_FALSE(g_mainLoopRunning);
    EXPECT_FALSE(g_mainLoopActive.load());
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_EQ(logCount("Exiting: SYSTEM ERROR"), 1);
    EXPECT_NE(g_mainWindow.g_errorText.get().find("81"), std::string::npos);
}

}  // namespace
}  // namespace vrn::test
