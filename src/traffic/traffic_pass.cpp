// The traffic pass: once per 10 ms turn of the main loop it drains the simulator's events, moves or
// admits every live aircraft, meters removals and creations towards the simulator, takes every
// waiting feed record and hands the pass's positions to the SimConnect thread.
#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <mutex>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "display/window_state.h"
#include "feed/realtraffic_link.h"
#include "feed/udp_readers.h"
#include "records/stand_records.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "simlink/user_aircraft.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr double kRadToDeg = 57.29577951308232;
constexpr const char* kCallsignLookupFile = "Callsign2ObjectId.txt";
// A creation the simulator never answered (its object outside every request, a lost message): the
// record is given up, and an object that turns up later is removed as no record's.
constexpr int kCreationTimeoutPasses = 12000;
// The simulator's reply with a new object's centre of gravity height comes within a few passes.
constexpr int kCgReplyPasses = 50;

bool lf_creationQueued(std::uint32_t aircraftId) {
    return std::find(g_recreateIds.begin(), g_recreateIds.end(), aircraftId) != g_recreateIds.end() ||
           std::any_of(g_liveCreationQueue.begin(), g_liveCreationQueue.end(),
                       [&](const AiCreateRequest& r) { return r.aircraftId == aircraftId; });
}

void lf_giveUpUnansweredCreation(LiveAircraft& a, int tick) {
    if (a.objectId != 0 || tick - a.creationPass < kCreationTimeoutPasses || lf_creationQueued(a.aircraftId)) return;
    gf_logArrowLine(vrn::format("no object for {} after {} s, given up", gf_flightToText(a), kCreationTimeoutPasses / 100));
    a.removeMark = 1;
}

void lf_deleteCallsignLookupFile() {
    std::error_code ec;
    if (std::filesystem::exists(kCallsignLookupFile, ec)) std::filesystem::remove(kCallsignLookupFile);
}

// New aircraft go through admission nearest to the user first. The creation queue takes two a
// second: when more are due, the places go to those that stay longest in range and matter most
// to the user, not to those that have waited longest, which in a sky that spreads out are the
// farthest and leave the range soon after they are made.
void lf_admitNearestFirst(std::vector<std::pair<double, std::size_t>>& waiting) {
    const LatLon user = gf_userPositionLatLon();
    for (auto& [distance, index] : waiting) {
        const LiveAircraft& a = g_liveAircraft[index];
        distance = a.samples.empty() ? 0.0 : gf_distanceNm(user, {a.samples.front().latitude, a.samples.front().longitude});
    }
    std::sort(waiting.begin(), waiting.end());
    for (const auto& [distance, index] : waiting) lf_admitNewAircraft(g_liveAircraft[index]);
}

// One aircraft in the simulator: its movement step when its oldest sample is due, then its position
// for this pass's hand-over.
void lf_moveInSimulator(LiveAircraft& a, int tick) {
    // Steering back onto its records' path after made-up motion, it moves by its own steps.
    if (a.rejoining) lf_rejoinStep(a);
    if (!a.rejoining && !a.samples.empty() && tick >= a.samples.front().duePass) {
        lf_movementStep(a);
        if (!a.samples.empty()) {
            a.position.verticalSpeed = a.verticalSpeedFpm / 60.0;
            a.position.trueAirspeed = a.samples.front().standing ? 0.0 : a.speed;
        }
    }
    if (a.state != STATE_IN_SIM) return;
    // Rolling for take-off towards records that fly, it lifts off once it is as fast as they show, not
    // only when it reaches the next one (looked at every 80 ms).
    if (a.onGround && a.underPower && a.phase == PHASE_MOVING && !a.rejoining && (tick & 7) == 0 && !a.samples.empty() &&
        a.samples.front().airborne)
        lf_liftOffWhenFast(a, 0);
    if (a.samples.empty() || !a.samples.front().standing) lf_followCurve(a);
    // On the ground a new object is shown where the simulator placed it, at its centre of gravity's
    // height, until that height is known (sent before, it would sink into the ground); it moves on
    // meanwhile, and is shown where it got to once the height comes.
    if (a.onGround && !(a.staticCgHeight > 0.0) && tick - a.objectPass < kCgReplyPasses) return;
    PositionUpdate update;
    update.latitude = a.position.latitude;
    update.longitude = a.position.longitude;
    update.pitch = a.position.pitch;
    update.bank = a.position.bank;
    update.heading = a.position.heading;
    update.altitude = a.position.altitude;
    update.verticalSpeed = a.position.verticalSpeed;
    update.airspeed = a.position.trueAirspeed;
    update.objectId = a.objectId;
    g_positionFillBuffer->push_back(update);
}

// Marked records leave the list. One given up before it reached the simulator may still hold a stand
// (one created again).
void lf_dropMarkedAircraft() {
    bool anyMarked = false;
    for (const LiveAircraft& a : g_liveAircraft) {
        if (!a.removeMark) continue;
        anyMarked = true;
        if (a.state != STATE_REMOVING) gf_releaseStand(a);
    }
    if (anyMarked) std::erase_if(g_liveAircraft, [](const LiveAircraft& a) { return a.removeMark != 0; });
}

// The live aircraft pass: movement for aircraft in the simulator, admission for new ones once every
// other has moved, so that the new ones are taken nearest first; then the marked records go.
void liveAircraftPass() {
    const int tick = g_tickCounter.load(std::memory_order_relaxed);
    std::vector<std::pair<double, std::size_t>> waiting;   // (distance, index) of the new aircraft
    // Indices stay valid until the marked records go at the end: nothing here appends or erases.
    for (std::size_t i = 0; i < g_liveAircraft.size(); ++i) {
        LiveAircraft& a = g_liveAircraft[i];
        if (a.state == STATE_IN_SIM && !a.samples.empty())
            lf_moveInSimulator(a, tick);
        else if (a.state == STATE_NEW)
            waiting.emplace_back(0.0, i);
        else if (a.state == STATE_CREATION_REQUESTED || (a.state == STATE_REMOVING && a.removeWhenCreated))
            lf_giveUpUnansweredCreation(a, tick);
    }
    if (!waiting.empty()) lf_admitNearestFirst(waiting);
    lf_dropMarkedAircraft();
    // Static records whose creation was cancelled before the simulator made them.
    if (g_staticSweepDue) {
        g_staticSweepDue = false;
        std::erase_if(g_staticParked, [](const Aircraft& a) {
            return a.state == STATE_REMOVING && a.objectId == 0 && !a.removeWhenCreated;
        });
    }
}

// Every waiting feed record: the queue holds at most one per aircraft, so the pass always works on
// the freshest data (the creations, not the records, are what the simulator needs metered). A
// record that cannot be handled is dropped with a log line, the run goes on.
void lf_processFeedRecords() {
    for (const TrafficUpdate& update : gf_takeTrafficUpdates()) {
        try {
            processLiveUpdate(update);
        } catch (const std::exception& e) {
            gf_logArrowLine(vrn::format("exception in processLiveUpdate: {} ({})", e.what(), gf_flightToText(update.flight)));
        }
    }
}

void lf_buildCreationRecord() {
    if (g_recreateIds.empty()) return;
    const std::uint32_t id = g_recreateIds.back();
    g_recreateIds.pop_back();
    LiveAircraft* a = gf_liveById(id);
    if (!a || a->state != STATE_CREATION_REQUESTED) return;
    AiCreateRequest request;
    request.initPosition.Latitude = a->position.latitude;
    request.initPosition.Longitude = a->position.longitude;
    request.initPosition.Altitude = a->position.altitude;
    request.initPosition.Pitch = a->position.pitch * kRadToDeg;
    request.initPosition.Bank = a->position.bank * kRadToDeg;
    request.initPosition.Heading = a->position.heading * kRadToDeg;
    // One whose first sample is on the ground is placed on it, at its centre of gravity's height,
    // as a static parked aircraft is: not held in the air at the altitude given until its first
    // position is sent.
    request.initPosition.OnGround = !a->samples.empty() && !a->samples.front().airborne ? 1 : 0;
    request.initPosition.Airspeed = 0;
    request.tailNumber = a->callsign;
    request.containerTitle = a->liveryTitle;
    request.aircraftId = a->aircraftId;
    g_liveCreationQueue.push_back(std::move(request));
}

void lf_requestAircraftInRange() {
    if (g_requestsBroken.load()) return;
    // The created objects are found through this request: it reaches every aircraft still waiting for
    // its object, also one the range has shrunk away from.
    double rangeNm = std::max(0, LATERAL_RANGE.get());
    const LatLon user = gf_userPositionLatLon();
    for (const LiveAircraft& a : g_liveAircraft)
        if (a.state == STATE_CREATION_REQUESTED && a.objectId == 0)
            rangeNm = std::max(rangeNm, gf_distanceNm(user, {a.position.latitude, a.position.longitude}) + 1.0);
    std::lock_guard lock(g_simCommandMutex);
    const auto radius = static_cast<simconnect::DWORD>(std::min(rangeNm, 500.0) * 1852.0);
    if (simconnect::FAILED(simconnect::SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), REQUEST_AI_IN_RANGE,
                                                                 DEF_AI_IN_RANGE, radius,
                                                                 simconnect::SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT))) {
        gf_logArrowLine("SimConnect request ac within range fails");
        gf_countSimConnectRequestError();
    }
}

template <typename T>
void lf_reserve(T& container, std::size_t n) {
    if (container.capacity() < n) container.reserve(n);
}

// A moving aircraft's creation waited its turn: it is asked where its records will put it when the
// simulator is expected to answer, not where they put it when it was taken up.
void lf_placeWhereExpected(AiCreateRequest& request, int tick) {
    LiveAircraft* a = gf_liveById(request.aircraftId);
    if (!a || a->state != STATE_CREATION_REQUESTED || a->objectId != 0) return;
    a->creationSentPass = tick;
    if (!lf_placedWithItsRecords(*a, tick + g_creationAnswerPasses)) return;
    request.initPosition.Latitude = a->position.latitude;
    request.initPosition.Longitude = a->position.longitude;
}

}  // namespace

LatLon gf_userPositionLatLon() { return {g_userPosition.latitude, g_userPosition.longitude}; }

void gf_trafficTick() {
    gf_processSimEvents();
    liveAircraftPass();
    const int tick = g_tickCounter.load(std::memory_order_relaxed);
    if (tick % 10 == 0) {
        if (!g_removalQueue.empty()) {
            gf_queueAiRemoval(g_removalQueue.front());
            g_removalQueue.pop_front();
        }
        if (tick % 50 == 0) {
            if (!g_liveCreationQueue.empty()) {
                lf_placeWhereExpected(g_liveCreationQueue.front(), tick);
                gf_queueAiCreateRequest(g_liveCreationQueue.front());
                g_liveCreationQueue.pop_front();
            } else {
                if (!g_staticCreationQueue.empty()) {
                    gf_queueAiCreateRequest(g_staticCreationQueue.front());
                    g_staticCreationQueue.pop_front();
                }
                if (!g_staticPlacements.empty()) lf_placeStaticParked();
            }
        }
    }
    lf_processFeedRecords();
    lf_buildCreationRecord();
    if (tick % 20 == 0) lf_requestAircraftInRange();
    gf_serveRealTraffic();
    if (tick % 100 == 0) {
        gf_sendUserPosition();
        // Asks for the next block once a second; the answer of the previous request is taken now.
        g_userPosition = gf_requestUserAircraftPosition();
    }
    gf_handOverPositions();
    g_tickCounter.store(tick + 1, std::memory_order_relaxed);
}

void gf_resetTraffic() {
    lf_reserve(g_liveAircraft, 512);
    lf_reserve(g_staticParked, 256);
    {
        std::lock_guard lock(g_standsMutex);
        lf_reserve(g_stands, 512);
    }
    lf_reserve(g_lightRequests, 128);
    lf_reserve(g_recreateIds, 64);
    lf_reserve(g_staticPlacements, 256);
    lf_reserve(g_liveStayers, 256);
    lf_reserve(g_blockedCallsigns, 64);
    g_userPosition = gf_userAircraftData();
    gf_forgetUserCollisionCheck();
    lf_deleteCallsignLookupFile();
}

void gf_resetParkAirport() {
    MainWindow& w = g_mainWindow;
    {
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = Airport{};
    }
    // The reader's copies go with it: the next run may start far from this airport, where its
    // elevation would turn every record below it into a ground record.
    g_trafficReader.setFieldElevation(std::nullopt);
    g_trafficReader.setParkAirport(std::nullopt);
    bool redraw = false;
    for (std::atomic<int>* n : {&w.g_maxParkCount, &w.g_standCount, &w.g_updateCount})
        if (n->exchange(0) != 0) redraw = true;
    if (redraw) gf_invalidateBand(Band::Park);
    (void)gf_takeSimEvents();
    g_lightRequests.clear();
    g_blockedCallsigns.clear();
    g_staticPlacements.clear();
    g_rememberedLiveries.clear();
    g_recreateIds.clear();
    {
        std::lock_guard lock(g_parkAirportListMutex);
        g_parkAirportList.clear();
    }
    g_removalQueue.clear();
    g_liveCreationQueue.clear();
    g_creationAnswerPasses = kFirstAnswerPasses;   // the next simulator may answer at its own pace
    g_staticCreationQueue.clear();
    g_liveStayers.clear();
    g_staticParked.clear();
    g_newAircraftIds.clear();
    g_standUseSlots.clear();
    {
        std::lock_guard lock(g_trafficMutex);
        g_trafficQueue.clear();
    }
    lf_deleteCallsignLookupFile();
    g_parkingBusy.store(false);
    gf_invalidateBand(Band::Counters);
    g_liveAircraft.clear();
    {
        std::lock_guard lock(g_standsMutex);
        g_stands.clear();
    }
    gf_forgetTowReservations();
    g_currentQnh.store(1013);
    gf_resetApfHeader();
    gf_clearRefusedFlights();
    g_selectedObjectId.store(0);
    g_reservedStand.set(std::string());
}

int gf_wantedParkedCount() {
    std::size_t n = 0;
    {
        std::lock_guard lock(g_standsMutex);
        n = g_stands.size();
    }
    const int p = parking_percentage.get();
    int wanted = 0;
    // A percentage of 0 asks for no static aircraft, also at the smallest airports.
    if (n == 0 || p == 0)
        wanted = 0;
    else if (n == 1 || (n <= 3 && p < 50))
        wanted = 1;
    else
        wanted = static_cast<int>(std::lround(static_cast<double>(n) * p / 100.0));
    if (g_mainWindow.g_maxParkCount.exchange(wanted) != wanted) gf_invalidateBand(Band::Park);
    return wanted;
}

}  // namespace vrn
