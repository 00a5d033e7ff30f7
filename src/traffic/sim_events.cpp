// What the SimConnect thread learned about AI objects, applied to the aircraft lists on the run
// thread: created objects matched to their aircraft, removed objects, ground reports, static CG
// replies and failed creations; and the first 200 passes of every new object (its light request).
#include <algorithm>
#include <filesystem>
#include <mutex>
#include <optional>
#include <utility>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "liveries/livery_matching.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr int kLightRequestPasses = 200;
constexpr int kMostAnswerPasses = 300;
constexpr double kMinStaticCgFt = 1.0;
constexpr double kMaxStaticCgFt = 35.0;
constexpr double kLowestStaticPitch = -0.017453292519943295;   // -1 degree
constexpr double kHighestStaticPitch = 0.04363323129985824;    // 2.5 degrees
constexpr double kDefaultStaticPitch = 0.012217304763960306;   // 0.7 degree

// An object no record wants any more (or never did): it leaves the simulator again.
void lf_removeOrphan(std::uint32_t objectId) {
    if (objectId > 2) g_removalQueue.push_back(objectId);
}

// A record whose removal was asked while its creation was under way: its object goes at once, and
// the record leaves its list when the simulator reports the object removed.
void lf_removeOnArrival(Aircraft& a, std::uint32_t objectId) {
    a.objectId = objectId;
    a.removeWhenCreated = false;
    a.state = STATE_REMOVING;
    lf_removeOrphan(objectId);
}

void lf_requestStaticCg(std::uint32_t objectId) {
    std::lock_guard lock(g_simCommandMutex);
    if (simconnect::FAILED(simconnect::SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), REQUEST_STATIC_CG, DEF_STATIC_CG,
                                                             objectId, simconnect::SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0))) {
        gf_logArrowLine("SimConnect request StaticCG fails");
        gf_countSimConnectRequestError();
    }
}

// The run thread's side of a finished live creation; false when the record keeps no object.
bool liveAIAdded(LiveAircraft& a, const SimEvent& e) {
    if (e.objectId < 3) {
        gf_logLine(vrn::format("{} objectId in liveAIAdded {}", a.callsign, e.objectId));
        a.removeMark = 1;   // it could never be removed or moved again
        return false;
    }
    a.objectId = e.objectId;
    a.altitudeAboveGround = e.value2;
    // Moving, it starts where its records put it now (its object came sooner or later than expected);
    // the next answer is expected as late as this one came, give or take.
    const int now = g_tickCounter.load(std::memory_order_relaxed);
    a.objectPass = now;
    // On its roll it rolls on from the pass its object comes: its first record lies ahead of it.
    if (lf_placedWithItsRecords(a, now) && !a.samples.front().airborne)
        a.samples.front().duePass = std::min(a.samples.front().duePass, now);
    if (a.creationSentPass >= 0 && now >= a.creationSentPass)
        g_creationAnswerPasses = std::clamp((3 * g_creationAnswerPasses + (now - a.creationSentPass)) / 4, 0, kMostAnswerPasses);
    if (a.samples.empty() || !a.samples.front().airborne) {
        a.onGround = 1;
        gf_setGear(a, true);
        a.speed = 0.0;
        if (a.phase == PHASE_AT_STAND) {
            a.standTime = g_currentDaySlot.load();
            if (LOG.get() && !a.recreated) gf_logLine(gf_standCallsignPrefix(a) + vrn::format("parks {}", gf_nowHhMmSs()));
            std::erase_if(g_staticPlacements, [&](const StaticPlacement& p) {
                return p.standId == static_cast<std::uint32_t>(a.standId);
            });
        }
        a.recreated = 0;
        a.rotationCountdown = 1;
    }
    lf_setAiFlightPlan(a);
    lf_requestStaticCg(a.objectId);
    return true;
}

void lf_liveCreated(const SimEvent& e) {
    LiveAircraft* a = gf_liveById(e.aircraftId);
    if (a && a->removeWhenCreated && a->objectId == 0) {
        lf_removeOnArrival(*a, e.objectId);
        return;
    }
    if (!a || a->state != STATE_CREATION_REQUESTED || a->removeMark || a->objectId != 0) {
        lf_removeOrphan(e.objectId);
        return;
    }
    if (!liveAIAdded(*a, e)) return;
    // In the air, or rolling along a runway, it moves with its records from the object's first pass;
    // only its lights and engines wait for the two seconds of its light request (it would hang still,
    // then lurch after them).
    if (!a->samples.empty() && (a->samples.front().airborne || lf_rollsFromItsFirstPass(a->samples.front())))
        a->state = STATE_IN_SIM;
    g_lightRequests.push_back(e);
}

void lf_staticCreated(const SimEvent& e) {
    Aircraft* s = gf_staticById(e.aircraftId);
    if (s && s->removeWhenCreated && s->objectId == 0) {
        lf_removeOnArrival(*s, e.objectId);
        return;
    }
    if (!s || s->state != STATE_CREATION_REQUESTED || s->objectId != 0) {
        lf_removeOrphan(e.objectId);
        return;
    }
    g_lightRequests.push_back(e);
}

void lf_objectRemoved(const SimEvent& e) {
    if (LiveAircraft* a = gf_liveByObjectId(e.objectId)) {
        if (a->state == STATE_TO_RECREATE) {
            a->state = STATE_NEW;
            a->recreated = 1;
            a->throttleIndex = 5;
            a->flapsIndex = 4;
            a->objectId = 0;
            return;
        }
        if (a->flightPlanWritten) {
            // A plan the simulator still holds open only costs a log line.
            std::error_code ec;
            const std::filesystem::path plan = gf_flightPlanFolder() / gf_flightPlanFileName(a->objectId);
            if (std::filesystem::exists(plan, ec)) std::filesystem::remove(plan, ec);
            if (ec) gf_logArrowLine(vrn::format("cannot delete {}: {}", gf_utf8Of(plan), ec.message()));
        }
        a->objectId = 0;
        a->state = STATE_REMOVING;
        a->removeMark = 1;
        return;
    }
    std::erase_if(g_staticParked, [&](const Aircraft& s) { return s.objectId == e.objectId; });
}

void lf_groundInfo(const SimEvent& e) {
    LiveAircraft* a = gf_liveByObjectId(e.objectId);
    if (!a) return;
    if (e.aircraftId == 1 && !a->onGround && a->rotationCountdown <= 1) lf_landed(*a);
    a->altitudeAboveGround = e.value2;
    a->groundAltitude = e.value1;
    if (a->onGround || a->rotationCountdown >= 2) a->position.altitude = a->staticCgHeight + e.value1;
}

void lf_staticCg(const SimEvent& e) {
    LiveAircraft* a = gf_liveByObjectId(e.objectId);
    if (!a) return;
    if (e.value1 >= kMinStaticCgFt && e.value1 <= kMaxStaticCgFt)
        a->staticCgHeight = e.value1;
    else
        gf_logLine(vrn::format("{}: static CG {:.1f}ft wrong?", gf_flightToText(*a), e.value1));
    a->staticPitch = (e.value2 <= kLowestStaticPitch || e.value2 > kHighestStaticPitch) ? kDefaultStaticPitch : e.value2;
}

void lf_creationFailed(const SimEvent& e) {
    if (e.aircraftId > 10000) {
        LiveAircraft* a = gf_liveById(e.aircraftId);
        if (!a) return;
        gf_reportCreationFailure(*a);
        a->removeMark = 1;
        a->state = STATE_REMOVING;
        g_rememberedLiveries.erase(a->aircraftId);
        return;
    }
    const auto it = std::find_if(g_staticParked.begin(), g_staticParked.end(),
                                 [&](const Aircraft& s) { return s.aircraftId == e.aircraftId; });
    if (it == g_staticParked.end()) return;
    // Reported first: a report that ends the run leaves the record as it was.
    gf_reportCreationFailure(*it);
    if (&*it != &g_staticParked.back()) *it = std::move(g_staticParked.back());
    g_staticParked.pop_back();
}

// The state of a live aircraft 2 s after its object arrived (in the air it already moves).
void lf_setInitialState(LiveAircraft& a) {
    a.state = STATE_IN_SIM;
    const bool rotor = a.sizeClass == SIZE_ROTORCRAFT;
    if (!rotor) gf_setSpoilers(a, false);
    std::uint32_t lights[7];
    if (!a.samples.empty() && a.samples.front().airborne) {
        // Its flight's lights are set again after these, from its next step on.
        a.lightsBelow10000 = a.lightsAbove10000 = 0;
        gf_queueEngineAutoStart(a.objectId);
        const std::uint32_t landing = a.position.altitude <= 10000.0 ? 1 : 0;
        const std::uint32_t cabin = a.altitudeAboveGround >= 2000.0 ? 1 : 0;
        const std::uint32_t air[7] = {1, 1, landing, 0, 1, landing, cabin};
        std::copy(air, air + 7, lights);
        gf_queueLightEvents(a.objectId, lights);
        return;
    }
    const bool atStand = a.phase == PHASE_AT_STAND;
    if (atStand)
        gf_queueEngineAutoShutdown(a.objectId);
    else
        gf_queueEngineAutoStart(a.objectId);
    const std::uint32_t nav = atStand ? (NAV_LIGHTS_WHILE_PARKED.get() ? 1 : 0) : 1;
    const std::uint32_t ground[7] = {nav, atStand ? 0u : 1u, 0, a.phase == PHASE_MOVING ? 1u : 0u, 0, 1, 1};
    std::copy(ground, ground + 7, lights);
    gf_queueLightEvents(a.objectId, lights);
    gf_setThrottle(a, rotor ? 4 : 0);
    gf_setFlaps(a, a.phase == PHASE_MOVING ? 1 : 0);
    // A take-off roll whose records came before the object did.
    lf_judgeGroundPhase(a);
}

void lf_toggleAllLights(std::uint32_t objectId) {
    std::lock_guard lock(g_simCommandMutex);
    if (simconnect::FAILED(simconnect::SimConnect_TransmitClientEvent(g_hSimConnect.load(), objectId, ALL_LIGHTS_TOGGLE, 0, GROUP_AI,
                                                          0)))
        gf_logArrowLine("SimConnect gf_allLightsToggle fails");
}

}  // namespace

// One pass of one light request; `erase` is raised when it finished (or its record is gone).
void gf_allLightsToggle(bool& erase, SimEvent& request) {
    if (request.kind == SIM_EVENT_STATIC_CREATED) {
        if (request.counter < kLightRequestPasses) {
            ++request.counter;
            return;
        }
        Aircraft* s = gf_staticById(request.aircraftId);
        request.counter = -1;
        erase = true;
        if (s && s->removeWhenCreated && s->objectId == 0) {
            lf_removeOnArrival(*s, request.objectId);
            return;
        }
        if (!s || s->state != STATE_CREATION_REQUESTED || s->objectId != 0) {
            lf_removeOrphan(request.objectId);
            return;
        }
        s->state = STATE_IN_SIM;
        s->objectId = request.objectId;
        gf_parkedLights(*s);
        if (LOG.get()) gf_logLine(gf_standCallsignPrefix(*s) + vrn::format("parked {}", gf_nowHhMmSs()));
        return;
    }
    if (request.counter < kLightRequestPasses) {
        ++request.counter;
        if (request.counter == 50 || request.counter == 100) lf_toggleAllLights(request.objectId);
        return;
    }
    request.counter = -1;
    erase = true;
    LiveAircraft* a = gf_liveById(request.aircraftId);
    // Only the record this object was made for: a newer record of the same id waits for its own.
    if (!a || a->objectId != request.objectId) return;
    if ((a->state != STATE_CREATION_REQUESTED && a->state != STATE_IN_SIM) || a->removeMark) return;
    lf_setInitialState(*a);
}

void gf_processSimEvents() {
    // Held for the whole batch and the light requests: the SimConnect thread's new events wait for
    // the next pass.
    std::lock_guard lock(g_simEventMutex);
    const std::vector<SimEvent> events = std::exchange(g_simEvents, {});
    std::optional<UserErrorException> tooManyFailures;
    for (const SimEvent& e : events) {
        switch (e.kind) {
        case SIM_EVENT_LIVE_CREATED: lf_liveCreated(e); break;
        case SIM_EVENT_STATIC_CREATED: lf_staticCreated(e); break;
        case SIM_EVENT_OBJECT_REMOVED: lf_objectRemoved(e); break;
        case SIM_EVENT_GROUND_INFO: lf_groundInfo(e); break;
        case SIM_EVENT_STATIC_CG: lf_staticCg(e); break;
        case SIM_EVENT_CREATE_FAILED:
            // The batch is finished before the run ends on too many failures.
            try {
                lf_creationFailed(e);
            } catch (const UserErrorException& error) {
                if (!tooManyFailures) tooManyFailures.emplace(error);
            }
            break;
        default: break;
        }
    }
    bool anyFinished = false;
    for (SimEvent& request : g_lightRequests) gf_allLightsToggle(anyFinished, request);
    if (anyFinished) std::erase_if(g_lightRequests, [](const SimEvent& r) { return r.counter < 0; });
    if (tooManyFailures) throw *tooManyFailures;
}

}  // namespace vrn
