// The main loop on a virtual clock: the per-second schedule, the static-parking renewal, the day
// wrap, pause and resume, and the ways the loop ends.
#include <thread>

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

// A flight runs and the simulator raises its tick every 100 turns; the loop's sleeps watch the second
// counter, and the test stops the loop when it reaches `stopAt`.
class MainLoopRun : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        g_flightRunning = true;
        onSleep = [this] { onTurn(); };
    }
    void onTurn() {
        if (std::this_thread::get_id() != m_loopThread) return;   // the exit thread sleeps too
        if (++turns == throwAtTurn) throw UserErrorException(81, "20 or more livery titles failed");
        if (!g_flightRunning.load()) {
            EXPECT_FALSE(g_mainLoopRunning);
            if (++pausedTurns == resumeAfter) g_flightRunning = true;
            return;
        }
        if (turns % 100 == 0) g_simTick = true;
        const bool collecting = g_trafficReader.collectCallsigns.load();
        const int s = g_secondCounter.load();
        if (collecting != m_collecting) (collecting ? collectionStarted : collectionEnded).push_back(s);
        m_collecting = collecting;
        if (s == m_second) return;
        m_second = s;
        seconds.push_back(s);
        if (jumpFrom && s == jumpFrom) {
            g_secondCounter = jumpTo;
            jumpFrom = 0;
        }
        if (s == stopAt) g_exitRequested = true;
        if (onSecond) onSecond(s);
    }
    void run() {
        m_loopThread = std::this_thread::get_id();
        m_second = 0;
        mainLoop();
        if (!gf_exitInProgress()) g_exitRequested = false;
    }

    long turns = 0, pausedTurns = 0, resumeAfter = 0, throwAtTurn = 0;
    int stopAt = -1;
    int jumpFrom = 0, jumpTo = 0;
    std::function<void(int)> onSecond;
    std::vector<int> seconds, collectionStarted, collectionEnded;

private:
    std::thread::id m_loopThread;
    int m_second = 0;
    bool m_collecting = false;
};

TEST_F(MainLoopRun, RenewalCollectsCallsignsThenEndsTheCollectionAndNoneWithoutParkingFileOrWithInitialLoadOnly) {
    struct Case {
        bool fileLoaded, initialLoadOnly;
        std::vector<int> started, ended;
    };
    for (const Case& c : {Case{true, false, {1215}, {1230}}, Case{true, true, {}, {}}, Case{false, false, {}, {}}}) {
        g_apfLoaded = c.fileLoaded;
        INITIAL_LOAD_ONLY.set(c.initialLoadOnly);
        collectionStarted.clear();
        collectionEnded.clear();
        stopAt = 1233;
        run();
        EXPECT_EQ(collectionStarted, c.started) << c.fileLoaded << c.initialLoadOnly;
        EXPECT_EQ(collectionEnded, c.ended);
        EXPECT_FALSE(g_staticRenew.load());
    }
    g_apfLoaded = false;
    EXPECT_EQ(g_mainWindow.g_renewalMinutes.load(), 20);
}

TEST_F(MainLoopRun, TheDayCounterWrapsAt86400) {
    jumpFrom = 2;
    jumpTo = 86398;
    stopAt = 3;   // the second after the wrap
    run();
    EXPECT_EQ(seconds, (std::vector<int>{1, 2, 86398, 86399, 0, 1, 2, 3}));
}

TEST_F(MainLoopRun, WindowRequestsAreServedOnceAndCleared) {
    CALLSIGN_2_OBJECTID.set("BAW1");
    onSecond = [&](int s) {
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
    EXPECT_EQ(logCount("callsign \"BAW1\" is unknown"), 1);
    EXPECT_FALSE(g_callsignLookupRequest.load());
    EXPECT_FALSE(g_flushStaticRequest.load());
    EXPECT_TRUE(INITIAL_LOAD_ONLY.get());   // a flush keeps the static aircraft away for this run
    EXPECT_TRUE(window.isChecked(INITIAL_LOAD_ONLY.controlId));
    EXPECT_FALSE(g_blockRequest.load());
}

TEST_F(MainLoopRun, ReaderErrorEndsTheRunAtTheNext30Seconds) {
    onSecond = [&](int s) {
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
    onSecond = [&](int s) {
        if (s == 3) g_flightRunning = false;   // the user went to the main menu
    };
    resumeAfter = 350;   // 3.5 s later the flight runs again
    stopAt = 5;
    run();
    for (const std::string tail : {" Flight not running", " Flight resumed"}) {
        const auto lines = logLines();
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.size() > tail.size() && l.ends_with(tail); }),
                  1)
            << tail;
    }
    EXPECT_EQ(pausedTurns, 350);
    EXPECT_FALSE(g_flightPaused.load());
}

TEST_F(MainLoopRun, AnExitEndsTheLoopWithoutAPendingTick) {
    // The simulator has stopped sending its once-a-second data: no tick comes any more.
    onSleep = [&] {
        if (++turns == 50) g_exitRequested = true;
    };
    run();
    EXPECT_EQ(turns, 50);
    EXPECT_FALSE(g_mainLoopActive.load());
    EXPECT_FALSE(g_mainLoopRunning);
}

TEST_F(MainLoopRun, AnExitBeforeTheLoopStartsLeavesTheTrafficListsToTheExitThread) {
    g_exitRequested = true;   // e.g. the reader error found by the traffic start
    EXPECT_FALSE(gf_enterTrafficPhase());
    EXPECT_FALSE(g_mainLoopActive.load());
    run();
    EXPECT_EQ(turns, 0);
    EXPECT_FALSE(g_mainLoopActive.load());
    g_exitRequested = false;
    EXPECT_TRUE(gf_enterTrafficPhase());
    EXPECT_TRUE(g_mainLoopActive.load());
    gf_leaveTrafficPhase();
}

TEST_F(MainLoopRun, AFailedPassStopsTheFeedAndEndsTheRunThroughAnExit) {
    throwAtTurn = 30;   // a pass fails: the loop's sleep throws in its place
    run();
    EXPECT_FALSE(g_mainLoopRunning);
    EXPECT_FALSE(g_mainLoopActive.load());
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_EQ(logCount("Exiting: SYSTEM ERROR"), 1);
    EXPECT_NE(g_mainWindow.g_errorText.get().find("81"), std::string::npos);
}

}  // namespace
}  // namespace vrn::test
