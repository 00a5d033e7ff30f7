// The SimConnect thread: connection, registration, dispatch and the handling of every message.
#include "simlink/sim_client.h"

#include <cctype>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "airports/park_airports.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/time_of_week.h"
#include "core/version.h"
#include "display/window_state.h"
#include "platform/sys/sleep.h"
#include "platform/sys/thread_name.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/creation_matching.h"
#include "simlink/sim_event.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_services.h"
#include "simlink/user_aircraft.h"

namespace vrn {

using namespace simconnect;

std::atomic<HANDLE> g_hSimConnect{nullptr};
std::atomic<bool> g_flightRunning{false};
std::atomic<int> g_frameCount{0};
std::atomic<float> g_frameRate{0.0f};
std::atomic<int> g_requestErrorCount{0};
std::atomic<bool> g_requestsBroken{false};

namespace {

// A connection that keeps failing its dispatch for this many calls in a row (about a tenth of a
// second) has lost its simulator.
constexpr int kDispatchFailuresForLostLink = 100;

std::mutex l_threadMutex;        // start, stop and join of the thread
std::jthread l_thread;
std::atomic<bool> l_threadRunning{false};
std::atomic<bool> l_quitReceived{false};
std::atomic<int> l_dispatchFailures{0};
std::atomic<long long> l_retryDelayMs{1000};

constexpr std::uint32_t kClosedDefinitions[] = {DEF_USER_TITLE, DEF_USER_MODEL, DEF_USER_ON_GROUND,
                                                DEF_AI_POSITION, DEF_USER_BLOCK, DEF_AI_CONTROLS,
                                                DEF_AI_IN_RANGE, DEF_STATIC_CG,  DEF_LIGHT_STATES};
constexpr std::uint32_t kSubscriptions[] = {EVENT_SIM, EVENT_OBJECT_ADDED, EVENT_OBJECT_REMOVED, EVENT_FRAME,
                                            EVENT_FLIGHT_LOADED};

void lf_add(HANDLE h, std::uint32_t def, const char* datum, const char* units, SIMCONNECT_DATATYPE type) {
    SimConnect_AddToDataDefinition(h, def, datum, units, type, 0.0f, SIMCONNECT_UNUSED);
}

// Every id of a connection, in the order the simulator expects to see them.
void lf_defineSimConnectData() {
    const HANDLE h = g_hSimConnect.load();
    SimConnect_SubscribeToSystemEvent(h, EVENT_SIM, "Sim");
    SimConnect_SubscribeToSystemEvent(h, EVENT_OBJECT_ADDED, "ObjectAdded");
    SimConnect_SubscribeToSystemEvent(h, EVENT_OBJECT_REMOVED, "ObjectRemoved");
    SimConnect_SubscribeToSystemEvent(h, EVENT_FLIGHT_LOADED, "FlightLoaded");
    SimConnect_SubscribeToSystemEvent(h, EVENT_FRAME, "Frame");

    lf_add(h, DEF_USER_TITLE, "TITLE", nullptr, SIMCONNECT_DATATYPE_STRINGV);
    lf_add(h, DEF_USER_MODEL, "ATC MODEL", nullptr, SIMCONNECT_DATATYPE_STRING32);
    lf_add(h, DEF_USER_ON_GROUND, "SIM ON GROUND", "Bool", SIMCONNECT_DATATYPE_INT64);

    lf_add(h, DEF_AI_POSITION, "Plane Latitude", "degree", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_POSITION, "Plane Longitude", "degree", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_POSITION, "Plane Pitch degrees", "radians", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_POSITION, "Plane Bank degrees", "radians", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_POSITION, "Plane Heading degrees true", "radians", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_POSITION, "Plane Altitude", "feet", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_POSITION, "Vertical Speed", "feet per second", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_POSITION, "Airspeed True", "knots", SIMCONNECT_DATATYPE_FLOAT64);

    lf_add(h, DEF_USER_BLOCK, "Plane Latitude", "degree", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_USER_BLOCK, "Plane Longitude", "degree", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_USER_BLOCK, "Plane Pitch degrees", "radians", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_USER_BLOCK, "Plane Bank degrees", "radians", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_USER_BLOCK, "Plane Heading degrees true", "radians", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_USER_BLOCK, "Plane Altitude", "feet", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_USER_BLOCK, "Plane Alt Above Ground", "feet", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_USER_BLOCK, "Ground Velocity", "knots", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_USER_BLOCK, "ZULU TIME", "Seconds", SIMCONNECT_DATATYPE_INT64);
    lf_add(h, DEF_USER_BLOCK, "ZULU DAY OF YEAR", "Number", SIMCONNECT_DATATYPE_INT64);
    lf_add(h, DEF_USER_BLOCK, "ZULU YEAR", "Number", SIMCONNECT_DATATYPE_INT64);
    lf_add(h, DEF_USER_BLOCK, "LIGHT STATES", "Mask", SIMCONNECT_DATATYPE_INT64);

    lf_add(h, DEF_STATIC_CG, "Static CG to Ground", "feet", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_STATIC_CG, "Static Pitch", "radians", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_LIGHT_STATES, "Light On States", "Mask", SIMCONNECT_DATATYPE_INT64);

    lf_add(h, DEF_AI_IN_RANGE, "Plane Alt Above Ground", "feet", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_IN_RANGE, "Ground Altitude", "feet", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_IN_RANGE, "SIM ON GROUND", "Bool", SIMCONNECT_DATATYPE_INT64);
    lf_add(h, DEF_AI_IN_RANGE, "ATC ID", nullptr, SIMCONNECT_DATATYPE_STRING32);

    static constexpr std::pair<std::uint32_t, const char*> mappings[] = {
        {GEAR_SET, "GEAR_SET"},
        {ENGINE_AUTO_START, "ENGINE_AUTO_START"},
        {ENGINE_AUTO_SHUTDOWN, "ENGINE_AUTO_SHUTDOWN"},
        {THROTTLE_SET, "THROTTLE_SET"},
        {FLAPS_SET, "FLAPS_SET"},
        {SPOILERS_SET, "SPOILERS_SET"},
        {NAV_LIGHTS_SET, "NAV_LIGHTS_SET"},
        {BEACON_LIGHTS_SET, "BEACON_LIGHTS_SET"},
        {LANDING_LIGHTS_SET, "LANDING_LIGHTS_SET"},
        {TAXI_LIGHTS_SET, "TAXI_LIGHTS_SET"},
        {STROBES_SET, "STROBES_SET"},
        {LOGO_LIGHTS_SET, "LOGO_LIGHTS_SET"},
        {CABIN_LIGHTS_SET, "CABIN_LIGHTS_SET"},
        {ALL_LIGHTS_TOGGLE, "ALL_LIGHTS_TOGGLE"},
        {FREEZE_LATITUDE_LONGITUDE_SET, "FREEZE_LATITUDE_LONGITUDE_SET"},
        {FREEZE_ALTITUDE_SET, "FREEZE_ALTITUDE_SET"},
        {FREEZE_ATTITUDE_SET, "FREEZE_ATTITUDE_SET"},
    };
    for (const auto& [id, name] : mappings) SimConnect_MapClientEventToSimEvent(h, id, name);

    lf_add(h, DEF_AI_CONTROLS, "SPOILERS HANDLE POSITION", "percent", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_CONTROLS, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", SIMCONNECT_DATATYPE_FLOAT64);
    lf_add(h, DEF_AI_CONTROLS, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", SIMCONNECT_DATATYPE_FLOAT64);

    // Every transmitted event goes with this group, ENGINE_AUTO_START too, though it is not in it.
    static constexpr std::uint32_t grouped[] = {NAV_LIGHTS_SET, BEACON_LIGHTS_SET, LANDING_LIGHTS_SET, TAXI_LIGHTS_SET,
                                                STROBES_SET,    LOGO_LIGHTS_SET,   CABIN_LIGHTS_SET,   ALL_LIGHTS_TOGGLE,
                                                FLAPS_SET,      SPOILERS_SET,      GEAR_SET,           ENGINE_AUTO_SHUTDOWN,
                                                THROTTLE_SET,   FREEZE_LATITUDE_LONGITUDE_SET,
                                                FREEZE_ALTITUDE_SET, FREEZE_ATTITUDE_SET};
    for (std::uint32_t id : grouped) SimConnect_AddClientEventToNotificationGroup(h, GROUP_AI, id, 1);
    SimConnect_SetNotificationGroupPriority(h, GROUP_AI, SIMCONNECT_GROUP_PRIORITY_HIGHEST);
}

// Takes the connection down. With `simulatorGone` the run stops with "SIM WAS CLOSED" unless an
// exit is already under way.
void lf_closeSimConnect(bool simulatorGone) {
    g_mainWindow.g_simConnected = false;
    gf_invalidateBand(Band::Counters);
    {
        // Other threads call the simulator under this mutex: none of them is inside a call on the
        // handle while it is closed, and none finds it afterwards.
        std::lock_guard lock(g_simCommandMutex);
        const HANDLE h = g_hSimConnect.exchange(nullptr);
        gf_forgetCreationAnswers();
        if (h) {
            for (std::uint32_t def : kClosedDefinitions) SimConnect_ClearDataDefinition(h, def);
            for (std::uint32_t ev : kSubscriptions) SimConnect_UnsubscribeFromSystemEvent(h, ev);
            if (FAILED(SimConnect_Close(h))) gf_logArrowLine("SimConnect close failed!");
        }
    }
    if (simulatorGone && !gf_simLinkServices().exitRequested()) {
        gf_logLine(vrn::format("{} Flight Simulator no longer connected, {} will stop ...", gf_wallClockHhMmSs(),
                               g_programName));
        gf_simLinkServices().requestExit(EXIT_SIM_WAS_CLOSED, 0);
    }
}

void lf_onSimConnectOpen(const SIMCONNECT_RECV_OPEN* open) {
    if (!open) return;
    const std::string name(open->szApplicationName,
                           strnlen(open->szApplicationName, sizeof open->szApplicationName));
    if (name.empty()) {
        gf_logLine("! Simulator name empty?");
        return;
    }
    g_mainWindow.g_simConnected = true;
    gf_invalidateBand(Band::Counters);
    std::string filtered;
    for (unsigned char c : name)
        if (std::isalpha(c) || std::isdigit(c) || std::isspace(c)) filtered += static_cast<char>(c);
    const bool msfs2020 = MSFS_2020.get();
    std::string text;
    if (filtered == kMsfs2020AppName) {
        if (!msfs2020)
            throw UserErrorException(71, vrn::format("MSFS 2020 is running ..., switch Sim or toggle the Community "
                                                     "checkbox of {}",
                                                     g_programName));
        text = "MSFS 2020";
    } else if (filtered == kMsfs2024AppName) {
        if (msfs2020)
            throw UserErrorException(71, vrn::format("MSFS 2024 is running ..., switch Sim or toggle the Community "
                                                     "checkbox of {}",
                                                     g_programName));
        text = "MSFS 2024";
    } else {
        throw UserErrorException(77, vrn::format("\"{}\" not being MSFS 2020 or MSFS 2024 connects ... ? ", filtered));
    }
    if (msfs2020)
        text = vrn::format("{} ({}.{}.{}.{})", text, open->dwApplicationVersionMajor, open->dwApplicationVersionMinor,
                           open->dwApplicationBuildMajor, open->dwApplicationBuildMinor);
    gf_logLine(text + " connected ");
    g_mainWindow.g_simVersionText.set(text);
    gf_invalidateBand(Band::Counters);
    gf_clearStatus();
}

void lf_onSimConnectException(const SIMCONNECT_RECV_EXCEPTION* e) {
    if (!e) return;
    switch (e->dwException) {
    case SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID:
        if (gf_isValidPosition(gf_userLatLon())) gf_logArrowLine("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID");
        break;
    case SIMCONNECT_EXCEPTION_VERSION_MISMATCH:
        throw UserErrorException(95, vrn::format("Simconnect Version Mismatch, dwindex: {} ", e->dwIndex));
    case SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS:
        gf_showStatus("SimConnect: too many objects (max 1000)", true);
        break;
    case SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE:
        gf_logLine("SIMCON EXCEP 19");
        break;
    case SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED:
        // Aircraft id 0 is a valid static id, so "found" is told apart from the id itself.
        if (const auto aircraftId = gf_takePendingCreationByPacket(e->dwSendID))
            gf_queueSimEvent({0, *aircraftId, 0, SIM_EVENT_CREATE_FAILED, 0.0, 0.0});
        break;
    case SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED:
        gf_logArrowLine("Simconnect Exception: load flight plan failed");
        break;
    case SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE:
        gf_logLine("SIMCON EXCEP 24");
        break;
    default:
        gf_logArrowLine(vrn::format("SIMCON EXCEP {}", e->dwException));
        break;
    }
}

void lf_onEvent(const SIMCONNECT_RECV_EVENT* e) {
    if (e->uEventID == EVENT_SIM) {
        const bool running = e->dwData == 1;
        g_flightRunning.exchange(running);
        g_mainWindow.g_simFlightRunning = running;
        gf_invalidateBand(Band::Counters);
    } else if (e->uEventID == EVENT_FLIGHT_LOADED) {
        gf_logArrowLine("Flight loaded");
        gf_saveUserStand();
        gf_simLinkServices().requestExit(EXIT_RESTART, 45);
    }
}

void lf_onObjectAddRemove(const SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE* e) {
    if (e->eObjType != SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT) return;
    if (e->uEventID == EVENT_OBJECT_ADDED) {
        if (e->dwData <= g_userObjectId.load()) return;
        const SimLinkServices& services = gf_simLinkServices();
        if (!g_pendingCreations.empty() && services.exitRequested && services.exitRequested()) {
            // An exit is under way and nobody asks for the objects in range any more: a creation
            // that arrives now leaves again at once.
            g_pendingCreations.pop_back();
            gf_queueAiRemoval(e->dwData);
            return;
        }
        g_justAddedObjects.push_back(e->dwData);
    } else if (e->uEventID == EVENT_OBJECT_REMOVED) {
        gf_queueSimEvent({e->dwData, 0, 0, SIM_EVENT_OBJECT_REMOVED, 0.0, 0.0});
    }
}

void lf_onFrame(const SIMCONNECT_RECV_EVENT_FRAME* f) {
    gf_flushSimConnectQueues();
    gf_serveCreationAnswers();
    if (g_frameCount.fetch_add(1) + 1 >= 30) {
        g_frameCount = 0;
        g_frameRate.exchange(f->fFrameRate);
    }
}

// Every message arrives here, on the SimConnect thread. Records shorter than their kind are dropped.
void SIMCONNECT_STDCALL lf_dispatchProc(SIMCONNECT_RECV* message, DWORD size, void* /*context*/) {
    if (!message || size < sizeof(SIMCONNECT_RECV)) return;
    auto fits = [&](std::size_t needed) { return size >= needed; };
    switch (message->dwID) {
    case SIMCONNECT_RECV_ID_EXCEPTION:
        if (fits(sizeof(SIMCONNECT_RECV_EXCEPTION)))
            lf_onSimConnectException(static_cast<SIMCONNECT_RECV_EXCEPTION*>(message));
        break;
    case SIMCONNECT_RECV_ID_OPEN:
        if (fits(sizeof(SIMCONNECT_RECV_OPEN))) lf_onSimConnectOpen(static_cast<SIMCONNECT_RECV_OPEN*>(message));
        break;
    case SIMCONNECT_RECV_ID_QUIT:
        g_flightRunning.exchange(false);
        l_quitReceived = true;   // the connection is closed once this dispatch call returns
        break;
    case SIMCONNECT_RECV_ID_EVENT:
        if (fits(sizeof(SIMCONNECT_RECV_EVENT))) lf_onEvent(static_cast<SIMCONNECT_RECV_EVENT*>(message));
        break;
    case SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE:
        if (fits(sizeof(SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE)))
            lf_onObjectAddRemove(static_cast<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE*>(message));
        break;
    case SIMCONNECT_RECV_ID_EVENT_FILENAME:
        gf_logArrowLine("New file loaded");
        gf_saveUserStand();
        gf_simLinkServices().requestExit(EXIT_RESTART, 45);
        break;
    case SIMCONNECT_RECV_ID_EVENT_FRAME:
        if (fits(sizeof(SIMCONNECT_RECV_EVENT_FRAME))) lf_onFrame(static_cast<SIMCONNECT_RECV_EVENT_FRAME*>(message));
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA:
        if (fits(SIMOBJECT_DATA_OFFSET))
            gf_onSimObjectData(static_cast<SIMCONNECT_RECV_SIMOBJECT_DATA*>(message));
        break;
    case SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE:
        if (fits(SIMOBJECT_DATA_OFFSET))
            gf_onSimObjectDataByType(static_cast<SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE*>(message));
        break;
    case SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID:
    case SIMCONNECT_RECV_ID_CLIENT_DATA:
    case SIMCONNECT_RECV_ID_PICK:
        // Creations all use one request id, so the assigned id cannot name its creation; the
        // matching goes by ATC id instead.
        break;
    default:
        gf_logLine(vrn::format("! Unknown Dispatch dwID {}", message->dwID));
        break;
    }
}

// Sleeps up to `delay` or until a stop is requested.
void lf_pause(std::stop_token& stop, std::chrono::milliseconds delay) {
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock lock(m);
    cv.wait_for(lock, stop, delay, [] { return false; });
}

}  // namespace

bool gf_simClientOpen() {
    HANDLE h = nullptr;
    if (FAILED(SimConnect_Open(&h, g_programName, nullptr, 0, nullptr, 0)) || !h) return false;
    g_hSimConnect = h;
    l_quitReceived = false;
    l_dispatchFailures = 0;
    lf_defineSimConnectData();
    return true;
}

bool gf_simClientDispatchOnce() {
    try {
        const HANDLE h = g_hSimConnect.load();
        if (!h) return false;
        if (FAILED(SimConnect_CallDispatch(h, lf_dispatchProc, nullptr))) {
            if (++l_dispatchFailures >= kDispatchFailuresForLostLink) {
                g_flightRunning.exchange(false);
                lf_closeSimConnect(true);
                return false;
            }
        } else {
            l_dispatchFailures = 0;
        }
        if (l_quitReceived.exchange(false)) {
            // The simulator has quit. Kept open, the connection would be dispatched on for ever and the
            // window would show a simulator that is gone; the run cannot go on without it.
            lf_closeSimConnect(true);
            return false;
        }
        return true;
    } catch (const UserErrorException& e) {
        // The user must act (wrong simulator, no aircraft...): the message stays on the red band and
        // no exit is requested, but the flight counts as stopped so the main loop does not wait on a
        // dead link, and the connection is not left open behind the ended thread.
        gf_showError(e.what());
        g_flightRunning.exchange(false);
        gf_closeSimConnectQuietly();
    } catch (const std::exception& e) {
        gf_showError(e.what());
        g_flightRunning.exchange(false);
        lf_closeSimConnect(true);
    } catch (...) {
        gf_showError(vrn::format("Exception in {}", "SimClient"));
        g_flightRunning.exchange(false);
        lf_closeSimConnect(true);
    }
    return false;
}

void gf_closeSimConnectQuietly() { lf_closeSimConnect(false); }

void SimClient(std::stop_token stop) {
    platform::sys::gf_setThreadName("SimClient");
    auto& services = gf_simLinkServices();
    ++g_runningThreads;
    l_threadRunning = true;
    bool firstPass = true;
    try {
        while (!services.exitRequested() && !stop.stop_requested()) {
            if (firstPass) {
                firstPass = false;
                gf_showStatus(vrn::format("Waiting for MSFS {} ...", MSFS_2020.get() ? "2020" : "2024"), true);
                gf_flushLog();
                gf_invalidateBand(Band::Status);
            }
            if (!gf_simClientOpen()) {
                lf_pause(stop, std::chrono::milliseconds(l_retryDelayMs.load()));
                continue;
            }
            bool ended = false;
            while (!stop.stop_requested()) {
                if (!gf_simClientDispatchOnce()) {
                    ended = true;
                    break;
                }
                platform::sys::gf_sleepFor(std::chrono::milliseconds(1));
            }
            if (ended) break;
            // A normal stop: the exit's removals have gone out with the last frames; the thread
            // closes its own connection so no handle outlives it.
            gf_closeSimConnectQuietly();
        }
    } catch (const std::exception& e) {
        // Failures outside the dispatch (the waiting status, the log).
        gf_showError(e.what());
        g_flightRunning.exchange(false);
        lf_closeSimConnect(true);
    }
    try {
        gf_saveUserStand();
    } catch (const std::exception& e) {
        gf_logLine(vrn::format("SimClient: {}", e.what()));
    }
    l_threadRunning = false;
    --g_runningThreads;
}

void gf_startSimClient() {
    std::lock_guard lock(l_threadMutex);
    if (l_thread.joinable()) {
        l_thread.request_stop();
        l_thread.join();
    }
    // The park-airport list sorts by the user's position, which this link knows. The list reads
    // the hook under its own mutex, so it is set under that mutex too.
    {
        std::lock_guard listLock(g_parkAirportListMutex);
        g_userPositionHook = []() -> std::optional<LatLon> {
            const LatLon p = gf_userLatLon();
            if (!gf_isValidPosition(p)) return std::nullopt;
            return p;
        };
    }
    l_thread = std::jthread(SimClient);
}

void gf_requestSimClientStop() {
    std::lock_guard lock(l_threadMutex);
    if (l_thread.joinable()) l_thread.request_stop();
}

void gf_joinSimClient() {
    std::lock_guard lock(l_threadMutex);
    if (l_thread.joinable()) {
        l_thread.request_stop();
        l_thread.join();
    }
}

bool gf_simClientRunning() { return l_threadRunning.load(); }

void gf_countSimConnectRequestError() {
    const int count = g_requestErrorCount.fetch_add(1) + 1;
    if (count < 3) return;
    gf_showStatus(vrn::format("SimConnect request error {}, see Log.txt", count), true);
    g_requestsBroken = true;
    gf_simLinkServices().requestExit(EXIT_RESTART, 10);
}

void gf_resetSimLinkForNextRun() {
    {
        std::lock_guard lock(g_simCommandMutex);
        g_createRequests.clear();
        g_positionBuffers[0].clear();
        g_positionBuffers[1].clear();
        g_clientEvents.clear();
        g_removals.clear();
    }
    g_pendingCreations.clear();
    g_justAddedObjects.clear();
    gf_forgetCreationAnswers();
    g_requestErrorCount = 0;
    g_requestsBroken = false;
    g_flightRunning = false;
    g_hSimConnect = nullptr;
    l_quitReceived = false;
    l_dispatchFailures = 0;
    gf_resetUserAircraft();
}

void gf_setSimClientRetryDelayForTests(std::chrono::milliseconds delay) { l_retryDelayMs = delay.count(); }

}  // namespace vrn
