// Taking aircraft out of the simulator, their throttle, flaps, gear, spoilers and lights, static
// parked records, and the static-parking controls of the window.
#include <algorithm>
#include <mutex>
#include <stdexcept>

#include "core/format.h"
#include "core/log.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "records/stand_records.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/sim_ids.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr std::uint32_t kThrottleValues[5] = {0, 4914, 8191, 11468, 16383};
constexpr std::uint32_t kFlapsValues[5] = {0, 3072, 10240, 16383, 0};

void lf_queueClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) {
    if (objectId == 0) return;   // no object yet: the initial state sets it once created
    std::lock_guard lock(g_simCommandMutex);
    g_clientEvents.push_back({objectId, eventId, value});
}

// Takes the queued creation record of this aircraft out of its queue; true when there was one.
bool lf_dropQueuedRequest(std::deque<AiCreateRequest>& queue, std::uint32_t aircraftId) {
    const auto it = std::find_if(queue.begin(), queue.end(),
                                 [&](const AiCreateRequest& r) { return r.aircraftId == aircraftId; });
    if (it == queue.end()) return false;
    queue.erase(it);
    return true;
}

// A removal asked before the simulator knew the aircraft: the creation is cancelled when it still
// waits here, else the object is removed as soon as it arrives.
void lf_removeNeverCreated(Aircraft& aircraft, int previousState) {
    const bool live = aircraft.aircraftId > 10000;
    if (previousState == STATE_NEW || previousState == STATE_TO_RECREATE) {
        if (live)
            if (LiveAircraft* a = gf_liveById(aircraft.aircraftId)) a->removeMark = 1;
        return;
    }
    if (previousState != STATE_CREATION_REQUESTED) return;
    const auto recreate = std::find(g_recreateIds.begin(), g_recreateIds.end(), aircraft.aircraftId);
    bool cancelled = false;
    if (live && recreate != g_recreateIds.end()) {
        g_recreateIds.erase(recreate);
        cancelled = true;
    }
    cancelled = lf_dropQueuedRequest(live ? g_liveCreationQueue : g_staticCreationQueue, aircraft.aircraftId) ||
                cancelled;
    if (!cancelled) {
        aircraft.removeWhenCreated = true;
        return;
    }
    // Static records of a cancelled creation are erased by the pass's sweep (state 4, no object).
    if (!live) g_staticSweepDue = true;
    if (live)
        if (LiveAircraft* a = gf_liveById(aircraft.aircraftId)) a->removeMark = 1;
}

void lf_enableParkingControls(bool enabled) {
    g_parkingBusy.store(!enabled);
    if (ui::Window* window = g_mainWindow.g_hMainWindow) {
        for (const GuiControl* c : std::initializer_list<const GuiControl*>{
                 &parking_percentage, &INITIAL_LOAD_ONLY, &PARK_FAKE, &PARK_SOFT, &MAX_FIT_FL, &WEEK,
                 &FLUSH_STATIC_BUTTON, &REREAD_BUTTON})
            window->enable(c->controlId, enabled);
    }
    gf_clearStatus();
    gf_invalidateBand(Band::Counters);
}

}  // namespace

void gf_removeLiveAircraft(Aircraft& aircraft) {
    // Asked twice: the object is already on its way out, and a second removal would fail.
    if (aircraft.state == STATE_REMOVING && aircraft.objectId != 0) return;
    gf_releaseStand(aircraft);
    const int previousState = aircraft.state;
    aircraft.state = STATE_REMOVING;
    if (aircraft.objectId != 0 && aircraft.objectId == g_selectedObjectId.load()) {
        g_selectedObjectId.store(0);
        g_mainWindow.g_objectIdText.set(std::string());
        gf_invalidateBand(Band::Settings);
        if (!CALLSIGN_2_OBJECTID.get().empty()) {
            CALLSIGN_2_OBJECTID.set(std::string());
            if (ui::Window* window = g_mainWindow.g_hMainWindow) window->setText(CALLSIGN_2_OBJECTID.controlId, "");
        }
    }
    if (aircraft.objectId != 0) {
        g_removalQueue.push_back(aircraft.objectId);
        return;
    }
    gf_logArrowLine(vrn::format("removing act {} with objectId=0 ?", gf_flightToText(aircraft)));
    lf_removeNeverCreated(aircraft, previousState);
}

void gf_removeLiveAircraft(Aircraft& aircraft, std::string_view why) {
    if (aircraft.state != STATE_REMOVING) gf_logLine(vrn::format("{:8}: {:8} removed: {}", gf_nowHhMmSs(), aircraft.callsign, why));
    gf_removeLiveAircraft(aircraft);
}

void gf_setThrottle(Aircraft& aircraft, int index) {
    if (index == 5) {
        aircraft.throttleIndex = 5;
        return;
    }
    if (index < 0 || index > 4) throw std::out_of_range(vrn::format("throttle index {}", index));
    if (aircraft.throttleIndex == index) return;
    aircraft.throttleIndex = index;
    lf_queueClientEvent(aircraft.objectId, THROTTLE_SET, kThrottleValues[index]);
}

void gf_setFlaps(Aircraft& aircraft, int index) {
    if (index < 0 || index > 4) throw std::out_of_range(vrn::format("flaps index {}", index));
    if (aircraft.flapsIndex == index) return;
    aircraft.flapsIndex = index;
    if (aircraft.sizeClass == SIZE_ROTORCRAFT) return;
    lf_queueClientEvent(aircraft.objectId, FLAPS_SET, kFlapsValues[index]);
}

void gf_setGear(const Aircraft& aircraft, bool down) {
    if (aircraft.sizeClass != SIZE_ROTORCRAFT) lf_queueClientEvent(aircraft.objectId, GEAR_SET, down ? 1 : 0);
}

void gf_setSpoilers(const Aircraft& aircraft, bool on) {
    if (aircraft.sizeClass != SIZE_ROTORCRAFT) lf_queueClientEvent(aircraft.objectId, SPOILERS_SET, on ? 16383 : 0);
}

void gf_parkedLights(Aircraft& aircraft) {
    gf_setThrottle(aircraft, 0);
    gf_setFlaps(aircraft, 0);
    if (aircraft.objectId == 0) return;
    gf_queueEngineAutoShutdown(aircraft.objectId);
    bool cabin = !aircraft.cargo;
    if (cabin && RANDOM.get()) cabin = gf_randomIndex(10) < 9;
    const std::uint32_t lights[7] = {NAV_LIGHTS_WHILE_PARKED.get() ? 1u : 0u, 0, 0, 0, 0, 1, cabin ? 1u : 0u};
    gf_queueLightEvents(aircraft.objectId, lights);
}

Aircraft gf_makeStaticParked(const Aircraft& aircraft, std::uint32_t standId, const LatLon& standPosition,
                             double standHeading, bool cargo) {
    Aircraft parked(aircraft);
    parked.objectId = 0;
    parked.standPosition = standPosition;
    parked.standHeading = standHeading;
    parked.standTime = 0;
    parked.standId = static_cast<int>(standId);
    parked.throttleIndex = 5;
    parked.flapsIndex = 4;
    parked.cargo = cargo;
    parked.fsltlTitle = false;
    parked.removeWhenCreated = false;
    return parked;
}

bool gf_cancelQueuedStaticCreation(const std::string& callsign) {
    bool matched = false;
    for (auto it = g_staticCreationQueue.begin(); it != g_staticCreationQueue.end();) {
        if (it->tailNumber != callsign) {
            ++it;
            continue;
        }
        const std::uint32_t id = it->aircraftId;
        it = g_staticCreationQueue.erase(it);
        matched = true;
        // Erased after the walk of any caller: the record only leaves its list by the pass's sweep.
        if (Aircraft* parked = gf_staticById(id)) {
            parked->state = STATE_REMOVING;
            g_staticSweepDue = true;
            parked->objectId = 0;
        }
    }
    return matched;
}

void gf_disableParkingControls() { lf_enableParkingControls(false); }
void gf_enableParkingControls() { lf_enableParkingControls(true); }

}  // namespace vrn
