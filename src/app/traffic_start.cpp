#include "app/traffic_start.h"

#include <chrono>
#include <cmath>
#include <exception>
#include <mutex>
#include <thread>

#include "airports/automatic_range.h"
#include "airports/park_airports.h"
#include "app/counters.h"
#include "app/exit_procedure.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/run_clock.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "feed/realtraffic_link.h"
#include "feed/tcp_server.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "simlink/user_aircraft.h"
#include "traffic/park_airport_choice.h"
#include "traffic/traffic_engine.h"

namespace vrn {
namespace {

using namespace std::chrono_literals;

constexpr int kFirstTrafficWaits = 150;   // 100 ms each

std::atomic<std::uint16_t> g_weatherPort{kWeatherPort};
std::atomic<std::uint16_t> g_trafficPort{kTrafficPort};

LatLon lf_userPosition() {
    const UserAircraftBlock block = gf_requestUserAircraftPosition();
    return {block.latitude, block.longitude};
}

void lf_invalidate() { gf_invalidateBand(Band::Counters); }

void lf_enable(std::uint16_t id, bool enabled) {
    if (ui::Window* window = g_mainWindow.g_hMainWindow) window->enable(id, enabled);
}

bool lf_trafficArrived() { return std::trunc(g_feedTimeStamp.load()) != 0.0; }

void lf_startTrafficSteps() {
    MainWindow& w = g_mainWindow;
    if (ui::Window* window = w.g_hMainWindow) window->setTopMost(ALWAYS_ON_TOP.get());
    gf_reserveSimCommandQueues();
    g_requestsBroken.store(false);
    gf_resetTraffic();
    gf_makeOrigDestFolder();
    w.g_realTrafficLinkUp.store(false);
    lf_invalidate();
    w.g_simConnected.store(false);
    lf_invalidate();
    gf_startSimClient();   // a previous SimConnect thread is stopped and joined first
    if (!gf_waitForFlight()) return;
    gf_readParkAirports(false);
    lf_enable(REREAD_BUTTON.controlId, true);
    gf_flushLog();
    if (g_realTrafficLocal.load() && !AEROWINX.get()) {
        gf_startServer(PORT_NUMBER.get());
    } else {
        w.g_realTrafficLinkUp.store(true);   // no TCP link is used
        lf_invalidate();
    }
    if (AUTO_RANGE.get()) {
        gf_autoLateralRange();
        lf_enable(LATERAL_RANGE.controlId, false);
    }
    if (gf_exitUnderWay()) return;
    w.g_linkBoxOff.store(false);
    lf_invalidate();
    gf_flushLog();
    if (!AEROWINX.get()) {
        gf_waitForRealTraffic();
        if (g_professionalEdition.load()) gf_sendQs123(g_simTimeSeconds.load());
    } else {
        gf_setProfessionalEdition(false);
    }
    if (gf_exitUnderWay()) return;
    gf_setMainLoopRunning(false);   // the Traffic Reader queues nothing until the main loop runs
    gf_startQnhReader(g_weatherPort.load());
    gf_runSleepFor(2000ms);
    gf_startTrafficReader(g_trafficPort.load());
    gf_sendUserPosition();
    g_trafficReader.setReferencePosition(gf_userLatLon());
    if (g_readerError.load()) {
        gf_showError("Reader error");
        gf_requestExit(EXIT_SYSTEM_ERROR, 0);
    }
    bool arrived = lf_trafficArrived();
    for (int waits = 0; !arrived && waits < kFirstTrafficWaits && !gf_exitUnderWay(); ++waits) {
        gf_runSleepFor(100ms);
        arrived = lf_trafficArrived();
    }
    if (!arrived) gf_logLine("No traffic in this region?");
    // From here the run works on the traffic lists; after an exit request (a reader error above,
    // the close button meanwhile) they belong to the exit thread, so the run ends here.
    if (!gf_enterTrafficPhase()) return;
    struct LeaveOnReturn {
        ~LeaveOnReturn() { gf_leaveTrafficPhase(); }
    } leave;
    g_currentDaySlot.store(gf_nowDaySlot());
    gf_refreshStaticParking(true);
    gf_flushLog();
    mainLoop();
}

}  // namespace

void gf_setReaderPortsForTests(ReaderPorts ports) {
    g_weatherPort.store(ports.weather);
    g_trafficPort.store(ports.traffic);
}

bool gf_waitForFlight() {
    while (!g_flightRunning.load()) {
        gf_runSleepFor(100ms);
        if (gf_exitUnderWay()) return false;
    }
    gf_requestUserOnGroundEverySecond();
    LatLon position = lf_userPosition();
    while (!g_userOnGroundKnown.load() || !gf_isValidPosition(position)) {
        gf_runSleepFor(500ms);
        if (gf_exitUnderWay()) return false;
        position = lf_userPosition();
    }
    gf_requestUserAircraftTitleAndModel();
    while (!gf_isValidPosition(position)) {
        position = lf_userPosition();
        gf_runSleepFor(200ms);
        if (gf_exitUnderWay()) return false;
    }
    return !gf_exitUnderWay();
}

void gf_startTraffic() {
    try {
        lf_startTrafficSteps();
    } catch (const std::exception& e) {
        gf_showStatus(e.what(), true);
        if (g_clientConnected.load()) {
            gf_stopServer();
            g_mainWindow.g_realTrafficLinkUp.store(false);
            lf_invalidate();
        }
        gf_requestExit(EXIT_SYSTEM_ERROR, 0);
    }
}

}  // namespace vrn
