#include "app/exit_procedure.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_map>

#include "airports/airport_files.h"
#include "app/exception_reporter.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/run_clock.h"
#include "core/format.h"
#include "core/log.h"
#include "core/version.h"
#include "feed/realtraffic_link.h"
#include "feed/tcp_server.h"
#include "feed/udp_readers.h"
#include "liveries/livery_matching.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"
#include "simlink/creation_matching.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "traffic/park_airport_choice.h"
#include "traffic/traffic_engine.h"

namespace vrn {

std::atomic<int> g_exitReason{EXIT_NOT_YET_SET};
std::atomic<bool> g_runThreadActive{false};

namespace {

using namespace std::chrono_literals;

constexpr int kWorkerWaits = 61;   // 100 ms each
constexpr int kRunThreadWaits = 300;   // 100 ms each: a restart's wait for the previous run to end
constexpr int kCreationAnswerWaits = 30;   // 100 ms each: the simulator answers a creation within frames

// One exit at a time: set by the accepted request, cleared when the exit thread posts its message.
std::mutex g_exitMutex;
std::condition_variable g_exitDone;
bool g_exitInProgress = false;
bool g_restartCountdownRunning = false;   // a non-restart request now ends the program
bool g_closeDuringRestart = false;
bool g_programEnding = false;             // 0x8002 posted: nothing more to stop

const std::unordered_map<int, std::string>& lf_reasonNames() {
    static const std::pair<int, const char*> table[] = {
        {EXIT_NOT_YET_SET, "NOT_YET_SET"},        {EXIT_REASON_SIM_WAS_CLOSED, "SIM WAS CLOSED"},
        {EXIT_REASON_RESTART, "RESTART"},         {EXIT_RESTART_IPP, "RESTART_IPP"},
        {EXIT_USER_CLOSED_SIM, "USER CLOSED SIM"}, {EXIT_SYSTEM_ERROR, "SYSTEM ERROR"},
    };
    static const std::unordered_map<int, std::string> names = [] {
        std::unordered_map<int, std::string> m;
        for (const auto& [value, name] : table) m.emplace(value, name);
        return m;
    }();
    return names;
}

bool lf_closeDuringRestart() {
    std::lock_guard lock(g_exitMutex);
    return g_closeDuringRestart;
}

// One step of the exit: a failure is reported and the exit goes on.
template <typename F>
void lf_step(F&& step) {
    try {
        step();
    } catch (...) {
        try {
            gf_reportException("FinalExit");
        } catch (...) {
        }
    }
}

void lf_postToWindow(std::uint32_t message, std::int64_t param) {
    if (ui::Window* window = g_mainWindow.g_hMainWindow) window->post({ui::MessageKind::Private, message, param});
}

void lf_restartCountdown(int seconds) {
    if (seconds < 1) return;
    gf_logLine(format("Restarting after {} seconds\n\n\n\n\n", seconds));
    gf_flushLog();
    for (int k = seconds; k >= 1; --k) {
        if (gf_exitUnderWay() || lf_closeDuringRestart()) return;
        gf_showStatus(format("Restarting after {} second{}", k, k == 1 ? "" : g_pluralS), false);
        gf_runSleepFor(1000ms);
    }
}

// What a restart puts back to its start. The SimConnect thread has been joined before.
void lf_resetForRestart(int reason) {
    MainWindow& w = g_mainWindow;
    lf_step([] {
        gf_clearError();
        gf_clearStatus();
    });
    lf_step([] { gf_resetRealTraffic(); });
    if (reason == EXIT_REASON_RESTART) {
        lf_step([] {
            SCAN_LIVERIES.set(false);
            SCAN_LIVERIES.save();
            SCAN_AIRPORTS.set(false);
            SCAN_AIRPORTS.save();
            if (ui::Window* window = g_mainWindow.g_hMainWindow) {
                window->setChecked(SCAN_LIVERIES.controlId, false);
                window->setChecked(SCAN_AIRPORTS.controlId, false);
            }
        });
    }
    g_readerError.store(false);
    g_userStopped.store(false);
    gf_resetMainLoopState();
    lf_step([] { gf_setProfessionalEdition(false); });
    lf_step([] { gf_setLateralRange(LATERAL_RANGE.get()); });
    lf_step([] { gf_resetSimLinkForNextRun(); });   // user aircraft, queues, pending creations, tick
    lf_step([] {
        gf_resetParkAirport();
        gf_resetParkAirportChoice();
    });

    for (SharedString* text : {&w.g_statusText, &w.g_errorText, &w.g_userAircraftText, &w.g_parkAirportName,
                               &w.g_parkFileSource, &w.g_parkQualityText, &w.g_simVersionText,
                               &w.g_realTrafficText, &w.g_userStandText})
        text->set(std::string());
    lf_step([] { gf_clearError(); });   // a lasting error stays shown
    for (std::atomic<int>* n : {&w.g_statusSeconds, &w.g_statusShownAt, &w.g_updateCount, &w.g_liveCount,
                                &w.g_maxParkCount, &w.g_parkedLiveCount, &w.g_parkedStaticCount, &w.g_qnh,
                                &w.g_standCount})
        n->store(0);
    for (std::atomic<bool>* f : {&w.g_parkFileHandmade, &w.g_realTrafficLinkUp, &w.g_parkAirportOk,
                                 &w.g_simConnected, &w.g_simFlightRunning, &w.g_staticSwitchPending})
        f->store(false);
    for (std::atomic<bool>* f : {&w.g_linkBoxOff, &w.g_userAircraftKnown, &w.g_staticParkingActive}) f->store(true);
    w.g_staticAverageFit.store(-1.0f);
    w.g_liveAverageFit.store(-1.0f);
    w.g_trafficStatus.store(3);
    w.g_weatherStatus.store(3);
    lf_step([] { gf_invalidateBand(Band::Counters); });
}

// The closing steps of an exit that does not restart.
void lf_finishRun() {
    lf_step([] {
        BLOCK_CALLSIGN.set(std::string());
        BLOCK_CALLSIGN.save();
    });
    lf_step([] { gf_logLiveryMatchingSummary(); });
    lf_step([] { gf_logNoMatchFound(); });
}

}  // namespace

std::string gf_exitReasonName(int reason) {
    const auto& names = lf_reasonNames();
    const auto it = names.find(reason);
    if (it == names.end()) throw std::out_of_range(format("invalid exit reason {}", reason));
    return it->second;
}

void gf_resetExitForTests() {
    std::lock_guard lock(g_exitMutex);
    g_programEnding = false;
    g_processEnding.store(false);
}

void gf_requestExit(int reason, int argument) {
    std::lock_guard lock(g_exitMutex);
    if (g_programEnding) return;
    if (g_exitInProgress) {
        if (g_restartCountdownRunning && reason != EXIT_REASON_RESTART && reason != EXIT_RESTART_IPP)
            g_closeDuringRestart = true;
        return;
    }
    (void)gf_exitReasonName(reason);   // only the six reasons are ever requested
    g_exitInProgress = true;
    g_closeDuringRestart = false;
    g_exitReason.store(reason);
    g_exitRequested.store(true);   // loops stop polling work from now on, not only once the thread runs
    try {
        std::thread(FinalExit, argument).detach();
    } catch (...) {
        g_exitInProgress = false;
        g_exitRequested.store(false);
        throw;
    }
}

bool gf_exitInProgress() {
    std::lock_guard lock(g_exitMutex);
    return g_exitInProgress;
}

bool gf_waitForExitDone(std::chrono::milliseconds timeout) {
    std::unique_lock lock(g_exitMutex);
    return g_exitDone.wait_for(lock, timeout, [] { return !g_exitInProgress; });
}

void FinalExit(int argument) {
    ++g_runningThreads;
    g_exitRequested.store(true);
    const int reason = g_exitReason.load();

    lf_step([&] {
        gf_logLine(format("Exiting: {}", gf_exitReasonName(reason)));
        gf_flushLog();
    });
    lf_step([] { gf_releaseStatus(); });   // the status seconds stop with the main loop
    if (reason == EXIT_REASON_RESTART) lf_step([] { gf_showStatus("Prepare for a restart ...", true); });
    lf_step([] { gf_stopReaders(); });
    gf_runSleepFor(500ms);
    // The traffic lists belong to the main loop: let it leave before they are touched.
    for (int waits = 0; g_mainLoopActive.load() && waits < kWorkerWaits; ++waits) gf_runSleepFor(100ms);
    // A loop that never left still owns the lists; its objects go with the connection instead.
    if (!g_mainLoopActive.load())
        lf_step([] { gf_removeAllAircraft(); });
    else
        lf_step([] { gf_logLine("The main loop did not end, AI aircraft go with the connection"); });
    lf_step([] { gf_sayHeldBackLogLines(); });
    // Creations already sent: their objects are removed as the simulator reports them.
    for (int waits = 0; gf_creationsAwaitingAnswer() > 0 && waits < kCreationAnswerWaits; ++waits) gf_runSleepFor(100ms);
    if (const int left = gf_creationsAwaitingAnswer(); left > 0)
        lf_step([left] { gf_logLine(format("{} creations not answered by the simulator at exit", left)); });
    gf_runSleepFor(1000ms);   // the SimConnect thread sends the removals on its frames meanwhile
    lf_step([] { gf_stopServer(); });
    if (reason == EXIT_SYSTEM_ERROR) gf_runSleepFor(5000ms);
    if (reason == EXIT_USER_CLOSED_SIM) {
        lf_step([] { gf_logLine(format("User closed {}", g_programName)); });
        g_userStopped.store(true);
    }
    lf_step([] { gf_requestSimClientStop(); });
    lf_step([] { gf_clearRememberedLiveries(); });
    lf_step([] { gf_removeFlightPlanFolder(); });
    const bool restart = reason == EXIT_REASON_RESTART || reason == EXIT_RESTART_IPP;
    if (!restart) lf_finishRun();
    lf_step([] { gf_closeParkAirport(); });
    for (int waits = 0; g_runningThreads.load() >= 2 && waits < kWorkerWaits; ++waits) gf_runSleepFor(100ms);
    // The connection is closed by its own thread; a new run never starts beside the old thread.
    lf_step([] { gf_joinSimClient(); });

    bool restarting = restart;
    bool closedDuringCountdown = false;
    if (restart) {
        // The new run must not start beside the old one, nor the reset below pull the lists from
        // under it: when the old run does not end, the program ends instead of restarting.
        for (int waits = 0; g_runThreadActive.load() && waits < kRunThreadWaits; ++waits) gf_runSleepFor(100ms);
        if (g_runThreadActive.load()) {
            restarting = false;
            lf_step([] { gf_logLine(format("The run did not end, {} closes instead of restarting", g_programName)); });
            g_userStopped.store(true);   // keeps the old run winding down until the process ends
            lf_finishRun();
        }
    }
    if (restarting) {
        lf_resetForRestart(reason);
        g_exitReason.store(EXIT_NOT_YET_SET);
        {
            std::lock_guard lock(g_exitMutex);
            g_restartCountdownRunning = true;
        }
        g_exitRequested.store(false);
        lf_step([&] { lf_restartCountdown(argument); });
        std::lock_guard lock(g_exitMutex);
        g_restartCountdownRunning = false;
        if (g_closeDuringRestart) restarting = false;
        closedDuringCountdown = !restarting;
    }
    if (!restarting) {
        if (closedDuringCountdown) {
            // Closed during the countdown: end the program as a close would.
            lf_step([] { gf_logLine(format("User closed {}", g_programName)); });
            g_userStopped.store(true);
            lf_finishRun();
        }
        lf_step([] { gf_clearBlockedCallsigns(); });
    }
    g_exitRequested.store(false);
    lf_step([] { gf_flushLog(); });
    --g_runningThreads;
    {
        std::lock_guard lock(g_exitMutex);
        // The final message carries the process's exit status.
        const bool failed = reason == EXIT_SYSTEM_ERROR || !g_mainWindow.g_errorText.empty();
        lf_postToWindow(restarting ? ui::WM_START_RUN : ui::WM_FINAL_EXIT, !restarting && failed ? kExitStatusError : 0);
        g_exitInProgress = false;
        g_closeDuringRestart = false;
        g_programEnding = !restarting;
        // The program ends: a loop that has not seen the exit flag yet (it was cleared above) must
        // still leave.
        if (!restarting) g_processEnding.store(true);
        // Under the lock: once it is released the process may end and its objects go.
        g_exitDone.notify_all();
    }
}

}  // namespace vrn
