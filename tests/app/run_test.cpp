// The run: main loop on a virtual clock, the exit procedure, the window's position and the scan drivers.
#include <array>
#include <map>
#include <regex>
#include <set>
#include <thread>

#include "airports/airport_files.h"
#include "airports/airport_scan.h"
#include "airports/bgl_builder.h"
#include "core/format.h"
#include "app/exception_reporter.h"
#include "app/main_window.h"
#include "app/painting.h"
#include "app/run_thread.h"
#include "app/scan_drivers.h"
#include "app/window_procedure.h"
#include "core/exceptions.h"
#include "liveries/livery_scan.h"
#include "run_test_fixture.h"
#include "simlink/command_queues.h"
#include "traffic/traffic_lists.h"

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
    // 240: not the 16 s refresh; 885 = 15 x 59 and 915 = 15 x 61: the 59 s and 61 s jobs are skipped.
    for (const auto& [second, names] : {std::pair{16, "16 "}, {240, "15 30 60 "}, {885, "15 "}, {915, "15 "},
                                        {118, "59 "}, {122, "61 "}, {976, "16 61 "}, {1200, "15 30 60 1200 "},
                                        {86400, "15 30 60 1200 day "}})
        EXPECT_EQ(jobs(second), names) << second;
    EXPECT_EQ((std::array{gf_renewalMinutes(1200), gf_renewalMinutes(60), gf_renewalMinutes(1140)}), (std::array{20, 19, 1}));
}

// A flight runs, the simulator ticks every 100 turns, and the loop stops at second `stopAt`.
class MainLoopRun : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        g_flightRunning = true;
        onSleep = [this] { onTurn(); };
    }
    void onTurn() {
        if (std::this_thread::get_id() != m_loopThread) {
            // The exit thread's waits move the shared virtual clock too: held in real time until the
            // loop has left, so that its bounded wait for the loop cannot run out ahead of a slow loop.
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (g_mainLoopActive.load() && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return;
        }
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
    int stopAt = -1, jumpFrom = 0, jumpTo = 0;
    std::function<void(int)> onSecond;
    std::vector<int> seconds, collectionStarted, collectionEnded;

private:
    std::thread::id m_loopThread;
    int m_second = 0;
    bool m_collecting = false;
};

TEST_F(MainLoopRun, RenewalCollectsCallsignsThenEndsTheCollectionAndNoneWithoutParkingFileOrWithInitialLoadOnly) {
    struct Case { bool fileLoaded, initialLoadOnly; std::vector<int> started, ended; };
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
    EXPECT_EQ(g_mainWindow.g_renewalMinutes.load(), 20);
}

TEST_F(MainLoopRun, TheDayCounterWrapsAt86400AndTheFeedStopsWhileTheFlightIsPaused) {
    jumpFrom = 2;
    jumpTo = 86398;
    onSecond = [&](int s) {
        if (s == 0) g_flightRunning = false;   // the user went to the main menu
    };
    resumeAfter = 350;   // 3.5 s later the flight runs again
    stopAt = 3;
    run();
    EXPECT_EQ(seconds, (std::vector<int>{1, 2, 86398, 86399, 0, 1, 2, 3}));
    EXPECT_EQ(pausedTurns, 350);
    EXPECT_FALSE(g_flightPaused.load());
}

// The window's requests are served on the run thread's turn, once, and cleared.
TEST_F(MainLoopRun, WindowRequestsAreServedOnceAndCleared) {
    auto takeEvents = [] {
        std::lock_guard lock(g_simCommandMutex);
        return std::exchange(g_clientEvents, {});
    };
    takeEvents();
    CALLSIGN_2_OBJECTID.set("BAW1");
    NAV_LIGHTS_WHILE_PARKED.set(false);
    window.setChecked(NAV_LIGHTS_WHILE_PARKED.controlId, false);
    onSecond = [&](int s) {
        if (s == 2) {
            g_callsignLookupRequest = true;
            g_flushStaticRequest = true;
            // Far more than the passes place before the flush is served: none may be placed after it.
            g_staticPlacements.assign(300, StaticPlacement{});
            BLOCK_CALLSIGN.set("");
            g_blockRequest = true;   // nothing to block: only cleared
        }
        if (s == 4) {
            BLOCK_CALLSIGN.set("EZY12");
            g_blockRequest = true;
            for (const std::uint32_t id : {11u, 12u}) {
                Aircraft& parked = g_staticParked.emplace_back();
                parked.objectId = id, parked.state = STATE_IN_SIM;
            }
            click(NAV_LIGHTS_WHILE_PARKED.controlId);
            EXPECT_TRUE(takeEvents().empty()) << "the click itself touches no traffic list";
            g_enforceMaxCountRequest = true;
        }
    };
    stopAt = 6;
    run();
    const auto events = takeEvents();
    g_staticParked.clear();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(std::pair(events[1].objectId, events[1].value), std::pair(12u, 1u));
    EXPECT_FALSE(g_enforceMaxCountRequest.load());
    EXPECT_EQ(logCount("callsign \"BAW1\" is unknown"), 1);
    EXPECT_FALSE(g_callsignLookupRequest.load());
    EXPECT_FALSE(g_flushStaticRequest.load());
    EXPECT_TRUE(INITIAL_LOAD_ONLY.get());   // a flush keeps the static aircraft away for this run
    EXPECT_TRUE(g_staticPlacements.empty()) << "the aircraft still waiting to be placed go too";
    EXPECT_TRUE(window.isChecked(INITIAL_LOAD_ONLY.controlId));
    EXPECT_FALSE(g_blockRequest.load());
}

TEST_F(MainLoopRun, AnExitEndsTheLoopBeforeItStartsOrWithoutAPendingTick) {
    g_exitRequested = true;   // e.g. the reader error found by the traffic start
    EXPECT_FALSE(gf_enterTrafficPhase()) << "the traffic lists are left to the exit thread";
    run();
    EXPECT_EQ(turns, 0);
    EXPECT_FALSE(g_mainLoopActive.load());
    g_exitRequested = false;
    EXPECT_TRUE(gf_enterTrafficPhase());
    onSleep = [&] {   // no tick comes any more: the exit flag is tested on every turn
        if (++turns == 50) g_exitRequested = true;
    };
    run();
    EXPECT_EQ(turns, 50);
    EXPECT_FALSE(g_mainLoopActive.load() || g_mainLoopRunning);
}

// A system timer that ends every sleep on a coarse 15.6 ms step (Windows, when it ignores the request
// for 1 ms steps behind a full-screen simulator): the passes come in bursts, but the traffic engine's
// clock still counts 100 of them a second, and a simulator tick once a second costs none.
TEST_F(MainLoopRun, PassesKeepTheirRateWhenEverySleepEndsOnACoarseTimerStep) {
    constexpr std::int64_t kStepNs = 15'600'000, kSecondNs = 1'000'000'000;
    struct Case {
        const char* timer;
        std::function<std::int64_t(std::int64_t now, std::int64_t deadline)> wake;
    };
    const Case cases[] = {
        {"on the first step of the clock at or after the deadline",
         [](std::int64_t, std::int64_t deadline) { return (deadline + kStepNs - 1) / kStepNs * kStepNs; }},
        {"in whole steps from the call",
         [](std::int64_t now, std::int64_t deadline) { return now + (deadline - now + kStepNs - 1) / kStepNs * kStepNs; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timer);
        std::map<std::int64_t, int> passesInSecond;
        std::int64_t passesSeen = g_tickCounter.load(), lastWake = m_now.load();
        const std::int64_t lastSecond = lastWake / kSecondNs + 61;
        gf_setRunClockForTests({[this] { return RunTime(std::chrono::nanoseconds(m_now.load())); },
                                [&](RunTime deadline) {
                                    const std::int64_t wake = c.wake(m_now.load(), deadline.time_since_epoch().count());
                                    // The passes since the last sleep ran at the moment it ended.
                                    passesInSecond[lastWake / kSecondNs] += static_cast<int>(g_tickCounter.load() - passesSeen);
                                    passesSeen = g_tickCounter.load();
                                    if (wake / kSecondNs != lastWake / kSecondNs) g_simTick = true;   // the simulator's second
                                    if (wake / kSecondNs >= lastSecond) g_exitRequested = true;
                                    m_now = lastWake = wake;
                                }});
        run();
        g_exitRequested = false;
        ASSERT_GE(passesInSecond.size(), 61u);
        passesInSecond.erase(passesInSecond.begin());   // the first and the last second are cut
        passesInSecond.erase(std::prev(passesInSecond.end()));
        int total = 0, fewest = 1000;
        for (const auto& [second, passes] : passesInSecond) {
            total += passes;
            fewest = std::min(fewest, passes);
        }
        // Whole seconds cut a burst here and there: a pass more in one second is one fewer in the next.
        EXPECT_NEAR(static_cast<double>(total) / static_cast<double>(passesInSecond.size()), 100.0, 0.05);
        EXPECT_GE(fewest, 95);
    }
}

TEST_F(MainLoopRun, AReaderErrorAtTheNext30SecondsOrAFailedPassEndsTheRunThroughAnExit) {
    for (const bool readerError : {true, false}) {
        SCOPED_TRACE(readerError);
        resetFlags();
        g_flightRunning = true;
        turns = 0;
        seconds.clear();
        // The loop may turn on for a while until the exit thread is under way, and that thread's waits
        // move the virtual clock too: judged by the last second the loop saw before the exit was asked.
        int lastBeforeExit = 0, firstWithExit = -1;
        onSecond = [&](int s) {
            if (!g_exitRequested.load() && !gf_exitInProgress())
                lastBeforeExit = s;
            else if (firstWithExit < 0)
                firstWithExit = s;
            if (readerError) g_readerError = g_readerError || s >= 10;   // from 10 on: a second may pass unseen
        };
        if (!readerError) throwAtTurn = 30;   // the loop's sleep throws in the pass's place
        run();
        EXPECT_FALSE(g_mainLoopRunning || g_mainLoopActive.load());
        ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
        EXPECT_EQ(lastBeforeExit, readerError ? 29 : 0);
        EXPECT_TRUE(firstWithExit == -1 || firstWithExit == 30) << firstWithExit;
        EXPECT_EQ(logCount("Exiting: SYSTEM ERROR"), readerError ? 1 : 2);
        EXPECT_EQ(g_mainWindow.g_errorText.get(), readerError ? "1001: RT error" : "81: 20 or more livery titles failed");
    }
}

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
    awaitExit(ui::WM_FINAL_EXIT);
    EXPECT_TRUE(remainingPrivate().empty());
    EXPECT_EQ(logCount("Exiting: USER CLOSED SIM") + logCount("Exiting: SYSTEM ERROR"), 1);
    EXPECT_FALSE(g_exitRequested.load());
    EXPECT_EQ(g_runningThreads.load(), 0);
}

TEST_F(Exit, RestartCountsDownResetsTheRunAndTurnsTheScansOffUnlessANewInstallPathAsked) {
    for (const int reason : {EXIT_REASON_RESTART, EXIT_RESTART_IPP}) {
        SCOPED_TRACE(reason);
        resetFlags();
        SCAN_LIVERIES.set(true);
        SCAN_LIVERIES.save();
        BLOCK_CALLSIGN.set("BAW123");
        g_readerError = true;
        g_staticRenew = true;
        std::vector<std::string> shown;
        onSleep = [&] {
            const std::string s = g_mainWindow.g_statusText.get();
            if (shown.empty() || shown.back() != s) shown.push_back(s);
        };
        g_staticParked.assign(1, Aircraft{});   // never created: only the reset of the lists drops it
        g_apfAirport = ApfHeader{"Heathrow", "Publisher", 83, 3};
        gf_requestExit(reason, 2);
        awaitExit(ui::WM_START_RUN);
        EXPECT_TRUE(g_apfAirport.airport_name.empty() && g_apfAirport.publisher.empty());
        EXPECT_EQ(g_apfAirport.altitude, -1);
        EXPECT_EQ(storedValue("SCAN_LIVERIES"), reason == EXIT_RESTART_IPP ? "true" : "false");
        EXPECT_EQ(BLOCK_CALLSIGN.get(), "BAW123");
        EXPECT_TRUE(g_staticParked.empty());
        for (const char* countdown : {"Restarting after 2 seconds", "Restarting after 1 second"})
            EXPECT_NE(std::find(shown.begin(), shown.end(), countdown), shown.end()) << countdown;
        EXPECT_FALSE(g_readerError.load() || g_staticRenew.load() || gf_exitUnderWay());
        EXPECT_EQ(g_exitReason.load(), EXIT_NOT_YET_SET);
        onSleep = nullptr;
    }
}

// The close button during a restart's countdown ends the program instead; a second click changes nothing.
TEST_F(Exit, CloseButtonEvenDuringARestartAsksForOneExitThatEmptiesTheBlockAndEndsTheProgram) {
    BLOCK_CALLSIGN.set("BAW123");
    BLOCK_CALLSIGN.save();
    g_blockedCallsigns = {"BAW123_"};
    g_rememberedLiveries[7] = "title";
    std::atomic<bool> closed{false};
    onSleep = [&] {
        if (!closed && g_mainWindow.g_statusText.get() == "Restarting after 40 seconds") {
            closed = true;
            gf_wndProc(window, {ui::MessageKind::Close, 0, 0});
            EXPECT_EQ(status(), "Close window button clicked, closing Varnel ...");
            // A headless run's Ctrl-C says what it is.
            gf_wndProc(window, {ui::MessageKind::Close, ui::CLOSE_STOP_REQUEST, 0});
            EXPECT_EQ(status(), "Stop requested (Ctrl-C), closing Varnel ...");
        }
    };
    gf_requestExit(EXIT_REASON_RESTART, 45);
    awaitExit(ui::WM_FINAL_EXIT);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(remainingPrivate().empty());   // no new run was started
    EXPECT_EQ(logCount("User closed Varnel"), 1);
    EXPECT_TRUE(g_blockedCallsigns.empty() && g_rememberedLiveries.empty());
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "");
    EXPECT_TRUE(g_userStopped.load());   // kept: nothing runs again in this process
    EXPECT_TRUE(gf_exitUnderWay());
}

TEST_F(Exit, AFailingStepDoesNotKeepTheProgramFromEnding) {
    onSleep = [] {
        if (g_mainWindow.g_statusText.get() == "Restarting after 2 seconds") throw std::runtime_error("list broken");
    };
    gf_requestExit(EXIT_REASON_RESTART, 2);
    awaitExit(ui::WM_START_RUN);
    EXPECT_TRUE(logContains("FinalExit: list broken"));
    EXPECT_FALSE(g_exitRequested.load());
}

// Aircraft are removed only after the main loop has left; a restart waits for the previous run. Either
// gives up after a bounded time: the aircraft go with the connection, or the program ends instead.
TEST_F(Exit, AnExitWaitsForTheMainLoopAndARestartForThePreviousRun) {
    struct Case {
        bool restart;
        std::atomic<bool>* busy;
        long endsAfterSleeps;   // 0: never
        std::uint32_t posted;
        const char* givenUp;
    };
    const char* loopLog = "The main loop did not end, AI aircraft go with the connection";
    const char* runLog = "The run did not end, Varnel closes instead of restarting";
    for (const Case& c : {Case{false, &g_mainLoopActive, 4, ui::WM_FINAL_EXIT, loopLog},
                          Case{false, &g_mainLoopActive, 0, ui::WM_FINAL_EXIT, loopLog},
                          Case{true, &g_runThreadActive, 40, ui::WM_START_RUN, runLog},
                          Case{true, &g_runThreadActive, 0, ui::WM_FINAL_EXIT, runLog}}) {
        SCOPED_TRACE(c.givenUp + std::to_string(c.endsAfterSleeps));
        resetFlags();
        sleeps = 0;
        *c.busy = true;
        onSleep = [&] {
            if (c.endsAfterSleeps && sleeps.load() == c.endsAfterSleeps) *c.busy = false;
        };
        g_staticParked.assign(1, Aircraft{});
        g_staticParked[0].state = STATE_IN_SIM;
        g_staticParked[0].objectId = 7;
        gf_requestExit(c.restart ? EXIT_REASON_RESTART : EXIT_USER_CLOSED_SIM, c.restart ? 1 : 0);
        awaitExit(c.posted);
        EXPECT_EQ(logCount(c.givenUp), c.endsAfterSleeps ? 0 : 1);
        if (c.restart) {
            EXPECT_EQ(g_staticParked.empty(), c.endsAfterSleeps != 0) << "the lists are reset once the old run has ended";
            EXPECT_EQ(gf_exitUnderWay(), !c.endsAfterSleeps) << "a run that is still there keeps winding down";
            EXPECT_TRUE(remainingPrivate().empty());
        } else {
            EXPECT_EQ(g_staticParked[0].state != STATE_IN_SIM, c.endsAfterSleeps != 0);
        }
        onSleep = nullptr;
    }
    g_staticParked.clear();
}

TEST_F(Exit, WorkersThatNeverEndAreWaitedForABoundedTime) {
    g_runningThreads = 3;   // two workers that never end, plus the exit thread once it runs
    gf_requestExit(EXIT_USER_CLOSED_SIM, 0);
    ASSERT_EQ(awaitPrivate(), ui::WM_FINAL_EXIT);
    EXPECT_EQ(g_runningThreads.load(), 3);
}

using WindowProcedure = RunTest;

// Edge values of the window's position are replaced at the start and not saved at the final exit.
TEST_F(WindowProcedure, WindowPositionAtTheStartAndAtTheFinalExit) {
    struct Start { const char *storedX, *storedY; int x, y; };
    const Start starts[] = {
        {"-30000", "55", 400, 55},     // saved while minimised
        {"-32000", "30000", 400, 20},  // clamped onto the edge, then replaced
        {"17", "-5", 17, -5},
    };
    for (const Start& c : starts) {
        SCOPED_TRACE(c.storedX);
        resetAllSettings();
        writeParams({{"MAIN_WINDOW_X", c.storedX}, {"MAIN_WINDOW_Y", c.storedY}});
        ui::Window started;
        ASSERT_TRUE(initInstance(started, "Varnel"));
        EXPECT_EQ(started.frame(), (ui::Rect{c.x, c.y, c.x + 880, c.y + 516}));
        EXPECT_EQ(storedValue("MAIN_WINDOW_X"), std::to_string(c.x));
        EXPECT_EQ(g_mainWindow.g_hMainWindow, &started);
    }
    g_mainWindow.g_hMainWindow = &window;
    struct Case { int left, top, storedX, storedY, savedX, savedY; };
    const Case cases[] = {
        {250, 30, 120, 20, 250, 30},
        {-35000, 40, 120, 20, 120, 40},     // beyond the limit: the previous value stays
        {-32000, -32000, 300, 50, 300, 50},  // minimised
    };
    for (const Case& c : cases) {
        MAIN_WINDOW_X.set(c.storedX);
        MAIN_WINDOW_Y.set(c.storedY);
        window.move(c.left, c.top);
        gf_startLog(dir() / "Log.txt");
        gf_wndProc(window, {ui::MessageKind::Private, ui::WM_FINAL_EXIT, 0});
        EXPECT_EQ(storedValue("MAIN_WINDOW_X") + " " + storedValue("MAIN_WINDOW_Y"),
                  std::to_string(c.savedX) + " " + std::to_string(c.savedY));
        EXPECT_FALSE(gf_logIsOpen());
        bool quit = false;
        while (const auto m = window.tryGet()) quit = quit || m->kind == ui::MessageKind::Quit;
        EXPECT_TRUE(quit);
    }
    gf_startLog(dir() / "Log.txt");
}

namespace fs = std::filesystem;

class ScanDrivers : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        clearFolderSettings();
        fs::create_directories(g_myThirdpartyFolder);
        fs::create_directories(g_mySimaddonFolder);
        writeFile(g_myThirdpartyFolder / "EHAM.xml", "x");
        writeFile(g_mySimaddonFolder / "EGLL.xml", "x");
    }
    void TearDown() override {
        clearFolderSettings();
        RunTest::TearDown();
    }
    static void clearFolderSettings() {
        for (int i = 0; i < 10; ++i) gf_airportFolderSetting(i)->set(""), gf_liveryFolderSetting(i)->set("");
    }
    static std::string userError(const std::function<void()>& f) {
        try {
            f();
        } catch (const UserErrorException& e) {
            return e.what();
        } catch (const std::exception&) {
        }
        return "";
    }
};

TEST_F(ScanDrivers, ManualScansWithoutFoldersAreUserErrorsAndTouchNothing) {
    struct Case { bool automatic, prioritize; std::string status; };
    SCAN_LIVERIES.set(true);
    for (const Case& c : {Case{false, true, "Scanning prioritized for liveries ..."},
                          Case{true, true, "Scanning for liveries ..."}, Case{false, false, "Scanning for liveries ..."}}) {
        LIG_AUTOMATIC.set(c.automatic);
        LIG_PRIORITIZE.set(c.prioritize);
        const std::string error = userError([] { gf_scanLiveriesStep(true); });
        EXPECT_EQ(g_mainWindow.g_statusText.get(), c.status) << "shown before anything is scanned";
        EXPECT_EQ(error.starts_with("48: "), !c.automatic) << error;
        EXPECT_TRUE(SCAN_LIVERIES.get());
    }
    AFG_AUTOMATIC.set(false);
    EXPECT_TRUE(userError([] { gf_scanAirportsStep(); }).starts_with("49: "));
    // A stock airport folder is refused before the output folders are cleared.
    afolder0.set("/sim/Community/my-addon");
    afolder2.set("/sim/Official/OneStore/fs-base-genericairports/scenery");
    EXPECT_TRUE(userError([] { gf_scanAirportsStep(); })
                    .starts_with("42: parameter afolder2 points to stock airports instead of add-on airports!"));
    EXPECT_TRUE(fs::exists(g_myThirdpartyFolder / "EHAM.xml"));
}

TEST_F(ScanDrivers, AnAutomaticLiveryScanNeedsAnInstallPathWithCommunity) {
    SCAN_LIVERIES.set(true), LIG_AUTOMATIC.set(true);
    fs::create_directories(dir() / "Packages" / "Community");
    fs::create_directories(dir() / "Elsewhere");
    const std::string notCommunity = "150: This path exists but is not a path to Community ...; type full path to "
                                     "your Community folder above, and press Enter";
    for (auto [path, error] : {std::pair{dir() / "Elsewhere", notCommunity}, {dir() / "Packages", std::string("43: ")}}) {
        (MSFS_2020.get() ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH).set(path.string());
        EXPECT_TRUE(userError([] { gf_scanLiveriesStep(true); }).starts_with(error)) << path;
        EXPECT_TRUE(SCAN_LIVERIES.get());
    }
    EXPECT_FALSE(userError([] { gf_scanLiveriesStep(false); }).starts_with("150")) << "reading the stored scan needs no path";
}

// No manual ships with the program: the folder errors send the user to a section of README.txt that
// exists, and the guide quotes the wrong-folder error as the window shows it.
TEST_F(ScanDrivers, ErrorsNameSectionsOfTheUsersGuideAndItQuotesThemAsShown) {
    const std::string guide = readText(testDataPath("../../docs/windows/README.txt"));
    ASSERT_FALSE(guide.empty());
    fs::create_directories(dir() / "Packages" / "Community");
    const std::function<void()> raise[] = {
        [] { LIG_AUTOMATIC.set(false), gf_scanLiveriesStep(true); },   // 48
        [this] {                                                         // 43
            LIG_AUTOMATIC.set(true);
            (MSFS_2020.get() ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH).set((dir() / "Packages").string());
            gf_scanLiveriesStep(true);
        },
        [] { AFG_AUTOMATIC.set(false), gf_scanAirportsStep(); },   // 49
        [] {                                                         // 42
            AFG_AUTOMATIC.set(false);
            afolder3.set("C:/sim/Official/OneStore/fs-base-genericairports");
            gf_scanAirportsStep();
        },
        [this] {   // 53: a mistyped folder
            LIG_AUTOMATIC.set(false);
            gf_liveryFolderSetting(0)->set((dir() / "Mistyped").string());
            gf_scanLiveriesStep(true);
        },
    };
    std::set<std::string> codes;
    for (const auto& f : raise) {
        const std::string error = userError(f);
        codes.insert(error.substr(0, 3));
        EXPECT_EQ(error.find("Manual"), std::string::npos) << error;
        const std::string::size_type at = error.find("README.txt, \"");
        ASSERT_NE(at, std::string::npos) << error;
        const std::string section = error.substr(at + 12, error.find('"', at + 12) - at - 12);
        EXPECT_NE(guide.find("\n" + section + "\n" + std::string(section.size(), '-') + "\n"), std::string::npos)
            << "no section \"" << section << "\" in README.txt for " << error;
    }
    EXPECT_EQ(codes, (std::set<std::string>{"42:", "43:", "48:", "49:", "53:"}));

    fs::remove_all(dir() / "docs");   // started from a folder that is not the program's
    gf_startUpVRNL();
    const std::string shown = g_mainWindow.g_errorText.get();
    EXPECT_TRUE(shown.starts_with("41: ")) << shown;
    EXPECT_NE(guide.find("\"" + shown + "\""), std::string::npos) << shown;
    gf_clearError();
}

// What the status band shows, as the window paints it.
std::string paintedStatus() {
    ui::RecordingSurface surface;
    gf_paint(surface, gf_bandRect(Band::Status));
    for (const auto& text : surface.texts)
        if (text.y == 455) return text.text;
    return "";
}

// Error 53 with the simulator's real folders, one to ten of them: the window shows the guide and
// the first folders whole within its width (the rest of a longer text is in Log.txt, and it says
// so), and Log.txt holds the error and every folder's whole path the moment the error shows.
TEST_F(ScanDrivers, Error53FitsTheWindowGuideFirstAndIsInLogTxtAtOnce) {
    const std::string store = "C:\\Users\\J\xC3\xBCrgen M\xC3\xBCller\\AppData\\Local\\Packages\\"
                              "Microsoft.FlightSimulator_8wekyb3d8bbwe\\LocalCache\\Packages\\Community\\";
    fs::create_directories(dir() / "Empty liveries");
    LIG_AUTOMATIC.set(false), SCAN_LIVERIES.set(true);
    const std::string start = "53: no liveries found, see README.txt, \"Livery and airport folders\"; not found: ";
    // Folders with long last names: the first is named as far as the line goes, not dropped whole.
    const std::string longName = "liveries-of-the-msfs-2020-community-";
    struct Case { int folders; std::string name; std::string shown; };
    for (const Case& c : {Case{2, "aig-liveries-", start + "lfolder0 \"aig-liveries-0\"; no liveries in: lfolder1 \"Empty liveries\""},
                          Case{10, "aig-liveries-", start + "lfolder0 \"aig-liveries-0\" ... (the rest in Log.txt)"},
                          Case{3, longName, start + "lfolder0 \"liveries-of-the-msfs-2020-communi ... (the rest in Log.txt)"}}) {
        SCOPED_TRACE(c.folders);
        std::vector<std::string> paths;
        for (int i = 0; i < 10; ++i) {
            paths.push_back(i == 1 && c.name != longName ? (dir() / "Empty liveries").string()
                                                         : store + c.name + std::to_string(i));
            gf_liveryFolderSetting(i)->set(i < c.folders ? paths.back() : "");
        }
        try {
            gf_scanLiveriesStep(true);
        } catch (...) {
            gf_reportException("lf_startUpVRNL");
        }
        EXPECT_EQ(paintedStatus(), c.shown);
        EXPECT_LE(gf_statusTextPixels(c.shown), kStatusLinePixels);
        const std::string log = readText(dir() / "Log.txt");   // as it is on the disk, unflushed by the test
        EXPECT_NE(log.find("Error " + c.shown.substr(0, c.shown.find(" ... (the rest"))), std::string::npos) << log;
        for (int i = 0; i < c.folders; ++i)
            EXPECT_EQ(log.find(paths[i] + " does not exist, skipped!") != std::string::npos, i != 1 || c.name == longName)
                << paths[i];
        gf_clearError();
    }
    EXPECT_TRUE(SCAN_LIVERIES.get());
}

// After a scan of add-on airports that found nothing, with a mistyped afolder: both warnings stay to
// be read, one after the other, over the next step's routine status, which shows after them.
// The second is too wide for the line: Log.txt has it once, whole. A step that clears the status
// meanwhile does not take away what it said.
TEST_F(ScanDrivers, AirportScanWarningsStayToBeReadOneAfterTheOther) {
    AFG_AUTOMATIC.set(false);
    std::string named;
    for (int i : {3, 4, 5}) {
        const std::string name = "Mistyped-add-on-airports-folder-" + std::to_string(i);
        gf_airportFolderSetting(i)->set((dir() / name).string());
        named += vrn::format("{}afolder{} \"{}\"", named.empty() ? "" : ", ", i, name);
    }
    gf_scanAirportsStep();
    gf_showStatus("Connecting to RealTraffic ...", true);
    gf_clearStatus();
    const std::string warnings[] = {"Warning: Scan has not found any add-on airports",
                                    "Warning: afolder not found, see README.txt, \"Livery and airport folders\": " + named};
    EXPECT_NE(gf_statusLineForm(warnings[1]), warnings[1]) << "too wide for the line";
    for (const std::string& warning : warnings) {
        EXPECT_EQ(logCount(warning), 1) << "in Log.txt once, as it is said";
        for (int second = 0; second < kWarningSeconds; ++second, gf_statusSecondTick())
            ASSERT_EQ(paintedStatus(), gf_statusLineForm(warning)) << second;
    }
    EXPECT_EQ(paintedStatus(), "Connecting to RealTraffic ...");
    EXPECT_EQ(logCount(warnings[1]), 1);
    EXPECT_TRUE(SCAN_AIRPORTS.get()) << "found nothing: scans again at the next start";
}

// A kind of which the liveries hold none is switched off for the run: its box is unticked and greyed
// at once, not only from the next start. (Without a type database the A320 counts as a light aircraft.)
TEST_F(ScanDrivers, AKindWithoutLiveriesIsUntickedAndGreyedAtOnce) {
    writeFile(dir() / "output" / "LiveriesScanned.xml", "<liveries><liv airl='DLH' type='A320' title='DLH one'/></liveries>");
    for (CheckBoxParameter* kind : {&HELICOPTERS, &HIGH_PERF_AIRCRAFT}) {
        kind->setChecked(true);
        window.enable(kind->controlId, true);
    }
    gf_scanLiveriesStep(false);
    for (CheckBoxParameter* kind : {&HELICOPTERS, &HIGH_PERF_AIRCRAFT}) {
        EXPECT_FALSE(kind->get()) << kind->name;
        EXPECT_FALSE(window.isChecked(kind->controlId)) << kind->name;
        EXPECT_FALSE(window.isEnabled(kind->controlId)) << kind->name;
        kind->setChecked(kind->defaultValue);
        window.enable(kind->controlId, true);
    }
}

// README.txt says what the scans do: the packages the liveries' automatic scan takes are the ones it
// names, it looks in nothing but Community, and the rules the other tests here check are stated.
TEST_F(ScanDrivers, TheGuideSaysWhatTheScansDo) {
    const std::string guide = std::regex_replace(readText(testDataPath("../../docs/windows/README.txt")),
                                                 std::regex("\\s+"), " ");   // as the lines wrap it
    std::smatch match;
    ASSERT_TRUE(std::regex_search(guide, match, std::regex("- Automatic \\(beside \"Scan for liveries\"\\): ([^-]|-[^ ])*")));
    const std::string item = match.str();
    EXPECT_EQ(item.find("Official"), std::string::npos) << item;
    EXPECT_NE(item.find("else in the whole Community folder"), std::string::npos) << item;
    std::smatch listed;
    ASSERT_TRUE(std::regex_search(item, listed, std::regex("names contain ([^)]*)")));
    const fs::path community = dir() / "Packages" / "Community";
    fs::create_directories(community / "other-aircraft");
    std::set<std::string> named, taken;
    const std::string names = listed[1].str();
    const std::regex packageName("[a-z][a-z0-9-]+-[a-z0-9-]+");
    for (std::sregex_iterator it(names.begin(), names.end(), packageName), end; it != end; ++it)
        fs::create_directories(community / *named.insert(it->str() + "-pack").first);
    std::vector<std::string> found;
    gf_autoScanPackages(community, found);
    for (const std::string& path : found) taken.insert(fs::path(path).filename().string());
    EXPECT_EQ(taken, named);
    EXPECT_EQ(named.size(), 3u) << names;
    for (const char* rule : {"\"Warning: Scan has not found any add-on airports\" and leaves the box ticked",
                             "an lfolder outside it works only for a package that is also in Community or linked into it"})
        EXPECT_NE(guide.find(rule), std::string::npos) << rule;
}

TEST_F(ScanDrivers, AirportScanClearsItsOutputAndTurnsItselfOffOnlyWhenSomethingWasFound) {
    AFG_AUTOMATIC.set(false);
    afolder1.set((dir() / "missing").string());
    MSFS_2020.set(false);   // 2024: my_simaddon belongs to the archive and is left alone
    SCAN_AIRPORTS.set(true);
    gf_scanAirportsStep();
    EXPECT_FALSE(fs::exists(g_myThirdpartyFolder / "EHAM.xml"));
    EXPECT_TRUE(fs::exists(g_mySimaddonFolder / "EGLL.xml"));
    EXPECT_TRUE(SCAN_AIRPORTS.get());

    writeFile(dir() / "Community/pkg/scenery/x.bgl", bgl::simpleAirportFile("EKCH", 2, 55.6, 12.6));
    afolder4.set((dir() / "Community").string());
    MSFS_2020.set(true);
    gf_scanAirportsStep();
    EXPECT_FALSE(fs::exists(g_mySimaddonFolder / "EGLL.xml"));
    EXPECT_FALSE(SCAN_AIRPORTS.get());
    EXPECT_EQ(storedValue("SCAN_AIRPORTS"), "false");
    EXPECT_FALSE(window.isChecked(SCAN_AIRPORTS.controlId));
}

TEST_F(ScanDrivers, AirportFilesAreXmlFilesWithFourCharacterNamesAndASubfolderStopsTheClearing) {
    for (const char* name : {"eham.XML", "LFPG.txt", "EGLL1.xml"}) writeFile(g_myThirdpartyFolder / name, "x");
    fs::create_directories(g_myThirdpartyFolder / "ABCD.xml");
    std::vector<std::string> codes;
    gf_listXmlFiles(codes);
#ifdef _WIN32   // file names ignore case: eham.XML is the EHAM.xml already there
    EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()), (std::set<std::string>{"EHAM"}));
#else
    EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()), (std::set<std::string>{"EHAM", "eham"}));
#endif
    writeFile(g_myThirdpartyFolder / "sub" / "keep.xml", "x");   // a system error
    EXPECT_THROW(gf_clearFolder(g_myThirdpartyFolder), fs::filesystem_error);
    gf_clearFolder(dir() / "missing");   // nothing to clear
}

}  // namespace
}  // namespace vrn::test
