// Which record survives when one real aircraft reaches the engine twice (a static parked aircraft
// and a live one, a live one and its ghost under an old callsign), and the bulk removals of the
// main loop, static parking, a lost RealTraffic link and the exit.
#include <algorithm>
#include <set>

#include "airports/stand_learning.h"
#include "core/format.h"
#include "core/log.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

std::string lf_withoutLast(const std::string& text) { return text.empty() ? text : text.substr(0, text.size() - 1); }

const char* lf_groundText(const LiveAircraft& a) { return a.onGround ? "on ground" : "airborne"; }


}  // namespace

void gf_createAgainAtRecords(LiveAircraft& a, const LatLon& at, const std::string& why) {
    if (a.state != STATE_IN_SIM || a.samples.empty()) return;
    gf_logLine(vrn::format("{:8}: {:8} removed {:.2f} nm from where its records put it ({}): created again there",
                                      gf_nowHhMmSs(), a.callsign, gf_distanceNm({a.position.latitude, a.position.longitude}, at), why));
    // Its records from now on play as they came; the first of them starts at where they put it now.
    const int now = g_tickCounter.load(std::memory_order_relaxed);
    PositionSample before = a.samples.front();
    while (a.samples.size() >= 2 && a.samples[1].duePass <= now) {
        before = a.samples[1];
        a.samples.erase(a.samples.begin() + 1);
    }
    PositionSample start = a.samples.size() >= 2 ? a.samples[1] : before;
    // Its records' height now, between the one before and the one after.
    if (a.samples.size() >= 2 && start.duePass > before.duePass && before.airborne)
        start.altitude = before.altitude + (start.altitude - before.altitude) * (now - before.duePass) / (start.duePass - before.duePass);
    std::tie(start.latitude, start.longitude, start.standing, start.duePass) = std::tuple{at.lat, at.lon, std::uint8_t{0}, now + 1};
    start.headingGiven = start.bankGiven = start.headingKnown = 0;
    a.samples.front() = start;
    std::tie(a.rejoining, a.extrapolationCount, a.madeUpFromPass, a.staleRecords, a.refusedRecords) = std::tuple{0, 0, -1, 0, 0};
    std::tie(a.position.latitude, a.position.longitude, a.position.altitude) = std::tuple{at.lat, at.lon, start.altitude};
    const std::uint32_t old = a.objectId;
    if (old == g_selectedObjectId.load()) g_selectedObjectId.store(0);
    a.state = STATE_TO_RECREATE;
    g_removalQueue.push_back(old);
}

bool gf_replaceSame(const LiveAircraft& n, const Aircraft& s) {
    if (s.state != STATE_IN_SIM) return false;
    const bool log = LOG.get();
    const std::string prefix = gf_standCallsignPrefix(s);
    if (s.hexidValid && n.aircraftId == s.representedHexid) {
        if (log) gf_logLine(prefix + vrn::format("removed, new {} {} has same hexid", lf_groundText(n), n.callsign));
        return true;
    }
    if (!n.registration.empty() && n.registration == s.registration) {
        if (log)
            gf_logLine(prefix + vrn::format("{} removed, new {} {} has same regcode {}", s.registration, lf_groundText(n),
                                            n.callsign, n.registration));
        return true;
    }
    const auto known = [&](const std::string& text) {
        return !text.empty() && (text == s.knownCallsign || text == s.coupledCallsign);
    };
    const bool match = known(n.callsign) || known(n.coupledCallsign) ||
                       (gf_endsWith(n.callsign, '_') && known(lf_withoutLast(n.callsign)));
    if (!match) return false;
    if (log)
        gf_logLine(prefix + vrn::format("\"{} {}\" removed, new {} {} \"{} {}\" has {} callsign {}", s.knownCallsign,
                                        s.coupledCallsign, lf_groundText(n), n.callsign, n.knownCallsign,
                                        n.coupledCallsign, n.callsign == s.knownCallsign ? "same" : "coupled",
                                        gf_nowHhMmSs()));
    return true;
}

void gf_newAircraftAgainstStatic(DaySlot now) {
    if (g_newAircraftIds.empty()) return;
    const std::uint32_t id = g_newAircraftIds.front();
    g_newAircraftIds.pop_front();
    LiveAircraft* n = gf_liveById(id);
    if (!n) return;
    if (!n->coupledSearchDone) {
        gf_searchForCoupledCsAroundThisTime(now, *n);
        n->coupledSearchDone = true;
    }
    if (n->callsign.empty()) return;
    for (Aircraft& s : g_staticParked) {
        if (!gf_replaceSame(*n, s)) continue;
        gf_removeLiveAircraft(s);
        return;
    }
}

void gf_removeStaticSameCallsign(const LiveAircraft& live) {
    if (!live.onGround || live.state != STATE_IN_SIM) return;
    const std::string starred = live.callsign + "*";
    for (Aircraft& s : g_staticParked) {
        if (s.callsign == starred) {
            if (s.state != STATE_IN_SIM) continue;
            gf_removeLiveAircraft(s);
            return;
        }
        if (s.state == STATE_IN_SIM && !live.registration.empty() && s.registration == live.registration) {
            gf_removeLiveAircraft(s);
            return;
        }
    }
}

void gf_removeStaticParked() {
    for (Aircraft& s : g_staticParked) {
        if (s.state == STATE_IN_SIM) {
            gf_removeLiveAircraft(s);
        } else if (s.state == STATE_CREATION_REQUESTED) {
            // The cancel marks records and never erases, so this walk stays valid. Its request may
            // be gone while another one of the same tail number was cancelled: then its object is
            // already on the way and goes as soon as it arrives.
            const std::string callsign = s.callsign;
            gf_cancelQueuedStaticCreation(callsign);
            if (s.state == STATE_CREATION_REQUESTED) s.removeWhenCreated = true;
        }
    }
}

bool gf_cancelQueuedCreation(const std::string& callsign) {
    bool matched = false;
    std::deque<AiCreateRequest> kept;
    for (AiCreateRequest& request : g_liveCreationQueue) {
        if (request.tailNumber != callsign) {
            kept.push_back(std::move(request));
            continue;
        }
        matched = true;
        // Marked, not erased: callers may be walking the live list.
        if (LiveAircraft* a = gf_liveById(request.aircraftId)) {
            a->removeMark = 1;
            a->state = STATE_REMOVING;
        }
    }
    g_liveCreationQueue = std::move(kept);
    return matched;
}

void lf_ghost(const std::string& callsign) {
    const std::string ghost = callsign + "_";
    const auto it = std::find_if(g_liveAircraft.begin(), g_liveAircraft.end(), [&](const LiveAircraft& a) {
        return a.callsign == ghost && a.state != STATE_REMOVING;
    });
    if (it == g_liveAircraft.end()) return;
    if (LOG.get()) {
        if (it->phase == PHASE_AT_STAND)
            gf_logLine(gf_standCallsignPrefix(*it) + vrn::format("is a ghost and will be removed, continue with {}", callsign));
        else
            gf_logIndentedLine(vrn::format("{:8} is a ghost and will be removed, continue with {}", ghost, callsign));
    }
    g_blockedCallsigns.push_back(ghost);
    if (it->state == STATE_NEW)
        it->removeMark = 1;
    else
        gf_removeLiveAircraft(*it);
}

bool lf_callsignWithoutLastInUse(const std::string& callsign) {
    const std::string base = lf_withoutLast(callsign);
    return std::any_of(g_liveAircraft.begin(), g_liveAircraft.end(),
                       [&](const LiveAircraft& a) { return a.state != STATE_REMOVING && a.callsign == base; });
}

// ---- Bulk removals ----------------------------------------------------------------------------------

void gf_dropLiveAircraft() {
    for (LiveAircraft& a : g_liveAircraft) {
        if (a.state == STATE_IN_SIM) {
            gf_removeLiveAircraft(a);
        } else if (a.state == STATE_CREATION_REQUESTED) {
            // Queued: cancelled; sent (or queued under an older callsign, or the cancel took another
            // aircraft's request of the same callsign): its object goes as soon as it arrives.
            gf_cancelQueuedCreation(a.callsign);
            if (a.state == STATE_CREATION_REQUESTED) gf_removeLiveAircraft(a);
        }
    }
}

void gf_removeAllAircraft() {
    gf_dropLiveAircraft();
    gf_removeStaticParked();
    // Objects the simulator made whose records never got them: events not yet handled, objects in
    // their first 200 passes.
    std::set<std::uint32_t> queued(g_removalQueue.begin(), g_removalQueue.end());
    const auto removeObject = [&](std::uint32_t objectId) {
        if (objectId > 2 && queued.insert(objectId).second) g_removalQueue.push_back(objectId);
    };
    for (const SimEvent& e : gf_takeSimEvents())
        if (e.kind == SIM_EVENT_LIVE_CREATED || e.kind == SIM_EVENT_STATIC_CREATED) removeObject(e.objectId);
    for (const SimEvent& r : g_lightRequests) removeObject(r.objectId);
    g_lightRequests.clear();
    while (!g_removalQueue.empty()) {
        gf_queueAiRemoval(g_removalQueue.front());
        g_removalQueue.pop_front();
    }
}

void gf_removeBlockedCallsign(const std::string& callsign) {
    for (LiveAircraft& a : g_liveAircraft) {
        if (a.state != STATE_IN_SIM || a.callsign != callsign) continue;
        gf_removeLiveAircraft(a);
        return;
    }
}

void gf_clearRememberedLiveries() { g_rememberedLiveries.clear(); }

void gf_clearBlockedCallsigns() { g_blockedCallsigns.clear(); }

}  // namespace vrn
