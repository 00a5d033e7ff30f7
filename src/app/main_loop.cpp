#include "app/main_loop.h"

#include <chrono>
#include <mutex>
#include <string>

#include "airports/airport_files.h"
#include "airports/automatic_range.h"
#include "app/counters.h"
#include "app/exception_reporter.h"
#include "app/exit_procedure.h"
#include "app/main_window.h"
#include "app/run_clock.h"
#include "core/format.h"
#include "core/log.h"
#include "feed/realtraffic_link.h"
#include "feed/udp_readers.h"
#include "liveries/livery_matching.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "simlink/user_aircraft.h"
#include "traffic/park_airport_choice.h"
#include "traffic/static_parking.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {

std::atomic<int> g_secondCounter{0};
std::atomic<bool> g_flightPaused{false};
std::atomic<int> g_pausedCountdown{0};
std::atomic<bool> g_mainLoopActive{false};
std::atomic<bool> g_staticRenewStep{false};

namespace {

using namespace std::chrono_literals;

constexpr int kTurnsPerSecond = 100;
constexpr int kSecondsPerDay = 86400;
// Longest a sleep ends after its deadline through the system timer alone: one step of the coarse
// 15.6 ms timer Windows falls back to, and a little more.
constexpr auto kSleepLateness = 20ms;

void lf_enableControl(std::uint16_t id, bool enabled) {
    if (ui::Window* window = g_mainWindow.g_hMainWindow) window->enable(id, enabled);
}

void lf_rereadParkAirportsIfAsked() {
    if (!g_rereadRequest.load() || g_parkingBusy.load()) return;
    std::string text;
    if (gf_checkReservedStands(true, text)) gf_showStatus(text, true);
    lf_enableControl(REREAD_BUTTON.controlId, true);
    g_rereadRequest.store(false);
}

void lf_every30Seconds(int s) {
    if (g_clearRefusedRequest.exchange(false)) gf_clearRefusedFlights();
    if (AUTO_RANGE.get()) gf_autoLateralRange();
    if (g_readerError.load()) {
        gf_showError("1001: RT error");
        gf_requestExit(EXIT_SYSTEM_ERROR, 0);
    }
    gf_flushLog();
    const SecondJobs jobs = gf_secondJobs(s);
    if (!jobs.minute60) return;
    g_mainWindow.g_renewalMinutes.store(gf_renewalMinutes(s));
    gf_invalidateBand(Band::Park);
    if (!jobs.mark1200) return;
    gf_logNoMatchFound();
    if (g_apfLoaded.load() && !INITIAL_LOAD_ONLY.get() && !g_staticRenew.load()) g_staticRenew.store(true);
    if (jobs.day86400) {
        g_secondCounter.store(0);
        gf_logLiveryMatchingSummary();
        gf_clearRememberedLiveries();
    }
}

// The two steps of a static parking renewal, 15 s apart: first the Traffic Reader collects the
// feed's callsigns, then the parking adjustments compare the static aircraft with them.
void lf_staticRenewal() {
    if (!g_staticRenew.load()) return;
    if (!g_staticRenewStep.load()) {
        g_staticRenewStep.store(true);
        gf_disableParkingControls();
        g_trafficReader.clearSeenCallsigns();
        g_trafficReader.collectCallsigns.store(true);
        return;
    }
    g_staticRenewStep.store(false);
    gf_clearError();
    gf_clearStatus();
    if (gf_parkAirportHasStands()) gf_parkingAdjustments();
    // The collection ends with the renewal; the reader would otherwise gather callsigns for ever.
    g_trafficReader.collectCallsigns.store(false);
    g_staticRenew.store(false);
}

void lf_perSecond() {
    if (g_flightPaused.exchange(false)) {
        gf_logLine(format("{} Flight resumed", gf_wallClockHhMmSs()));
        gf_setMainLoopRunning(true);
    }
    gf_statusSecondTick();
    gf_refreshCounters();
    g_currentDaySlot.store(gf_nowDaySlot());
    ++g_secondCounter;
    gf_newAircraftAgainstStatic(g_currentDaySlot.load());
    if (g_callsignLookupRequest.load()) {
        gf_callsign2ObjectId();
        g_callsignLookupRequest.store(false);
    }
    if (g_flushStaticRequest.load()) {
        g_staticPlacements.clear();   // "Flush static" also drops the aircraft waiting to be placed
        gf_removeStaticParked();
        g_flushStaticRequest.store(false);
        if (!INITIAL_LOAD_ONLY.get()) {
            INITIAL_LOAD_ONLY.set(true);   // for this run only, not saved
            if (ui::Window* window = g_mainWindow.g_hMainWindow) window->setChecked(INITIAL_LOAD_ONLY.controlId, true);
        }
    }
    if (g_userOnGround.load()) {
        if (COLLISION_USER_GND.get()) gf_userGroundCollision();
    } else if (COLLISION_USER_AIR.get()) {
        gf_userAirCollisions();
    }
    if (COLLISION_LIVE_PARKED_GND.get() && !g_staticParked.empty()) gf_liveParkedCollisions();
    if (g_blockRequest.load()) {
        const std::string callsign = BLOCK_CALLSIGN.get();
        if (!callsign.empty()) gf_removeBlockedCallsign(callsign);
        g_blockRequest.store(false);
    }
}

void lf_flightNotRunning() {
    if (!g_flightPaused.load()) {
        gf_setMainLoopRunning(false);
        g_flightPaused.store(true);
        g_pausedCountdown.store(kTurnsPerSecond);
        {
            std::lock_guard lock(g_simCommandMutex);
            for (auto& buffer : g_positionBuffers) buffer.clear();   // no stale position goes out
        }
        gf_logLine(format("{} Flight not running", gf_wallClockHhMmSs()));
        gf_flushLog();
    }
    gf_processSimEvents();
    const int left = --g_pausedCountdown;
    if (left % kTurnsPerSecond == 0) {
        lf_rereadParkAirportsIfAsked();
        gf_sendUserPosition();
        gf_serveRealTraffic();   // the traffic pass does not run meanwhile
    }
    if (left < 1) {
        g_pausedCountdown.store(kTurnsPerSecond);
        gf_refreshCounters();
        g_currentDaySlot.store(gf_nowDaySlot());
    }
}

void lf_tick() {
    if (!g_flightRunning.load()) {
        lf_flightNotRunning();
        return;
    }
    gf_trafficTick();
    gf_serveWindowRequests();
    bool tick = true;
    if (!g_simTick.compare_exchange_strong(tick, false)) return;
    lf_perSecond();
    const int s = g_secondCounter.load();
    const SecondJobs jobs = gf_secondJobs(s);
    if (!jobs.every15) {
        if (jobs.refresh16 && !g_staticRenewStep.load()) gf_refreshStaticParking(false);
        if (jobs.flowCheck59) gf_checkTrafficFlow();
        if (jobs.sameCallsign61 && !g_staticParked.empty())
            for (const LiveAircraft& a : g_liveAircraft) gf_removeStaticSameCallsign(a);
        return;
    }
    g_trafficReader.setReferencePosition(gf_userLatLon());
    if (g_professionalEdition.load()) gf_sendQs123(g_simTimeSeconds.load());
    gf_clearReservedStand();
    lf_rereadParkAirportsIfAsked();
    lf_staticRenewal();
    if (g_mainWindow.g_trafficStatus.load() == 2 || g_mainWindow.g_weatherStatus.load() == 2) gf_checkTrafficFlow();
    if (jobs.every30) lf_every30Seconds(s);
}

}  // namespace

SecondJobs gf_secondJobs(int s) {
    SecondJobs jobs;
    jobs.every15 = s % 15 == 0;
    jobs.refresh16 = !jobs.every15 && s % 16 == 0;
    jobs.flowCheck59 = !jobs.every15 && s % 59 == 0;
    jobs.sameCallsign61 = !jobs.every15 && s % 61 == 0;
    jobs.every30 = s % 30 == 0;
    jobs.minute60 = s % 60 == 0;
    jobs.mark1200 = s % 1200 == 0;
    jobs.day86400 = s % kSecondsPerDay == 0;
    return jobs;
}

int gf_renewalMinutes(int s) { return 20 - (s / 60) % 20; }

bool gf_enterTrafficPhase() {
    g_mainLoopActive.store(true);
    if (!gf_exitUnderWay()) return true;
    g_mainLoopActive.store(false);
    return false;
}

void gf_leaveTrafficPhase() { g_mainLoopActive.store(false); }

void mainLoop() {
    // An exit that came before the loop started: the exit thread may already be removing aircraft.
    if (!gf_enterTrafficPhase()) {
        gf_setMainLoopRunning(false);
        return;
    }
    try {
        gf_checkTrafficFlow();
        gf_flushLog();
        g_secondCounter.store(0);
        RunTime deadline = gf_runNow() + 10ms;
        g_currentDaySlot.store(gf_nowDaySlot());
        gf_setMainLoopRunning(true);
        lf_enableControl(CALLSIGN_2_OBJECTID.controlId, true);
        while (true) {
            lf_tick();
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - gf_runNow());
            if (left.count() > 0) gf_runSleepUntil(deadline);
            // A tick starts the cadence again from now, which drops the passes a slow turn left owing.
            // A sleep that ended late by a coarse step of the system timer owes none of its own: the
            // cadence goes on then, or every tick would cost a pass a second.
            const RunTime now = gf_runNow();
            if (!g_simTick.load() || (now >= deadline && now - deadline <= kSleepLateness))
                deadline += 10ms;
            else
                deadline = now + 10ms;
            // Tested on every turn: ticks stop when the simulator or its thread has gone.
            if (gf_exitUnderWay()) break;
        }
    } catch (...) {
        // Nobody drains the traffic queue any more, and the aircraft would stay frozen in the
        // simulator: stop queueing and end the run through the exit procedure.
        gf_setMainLoopRunning(false);
        try {
            gf_reportException("mainLoop");
            gf_requestExit(EXIT_SYSTEM_ERROR, 0);
        } catch (...) {
        }
    }
    gf_setMainLoopRunning(false);
    gf_leaveTrafficPhase();
}

void gf_resetMainLoopState() {
    g_flightPaused.store(false);
    g_staticRenew.store(false);
    g_secondCounter.store(0);
    g_staticRenewStep.store(false);
    g_blockRequest.store(false);
    g_callsignLookupRequest.store(false);
}

}  // namespace vrn
