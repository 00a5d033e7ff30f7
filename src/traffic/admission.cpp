// Admission: once per pass for every live aircraft that exists only in the program, decide whether
// it goes to the simulator now, waits (dropping its oldest sample, so it starts later and from a later
// position), or is given up (remove mark).
#include <algorithm>
#include <cmath>
#include <optional>

#include "liveries/type_database.h"
#include "liveries/type_queries.h"
#include "settings/settings_catalogue.h"
#include "simlink/flight_plan.h"
#include "simlink/user_aircraft.h"
#include "traffic/engine_steps.h"
#include "traffic/sample_tests.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kUserGroundClearanceNm = 0.08099352051835854;   // 150 m
constexpr const char* kNoCallsign = "@@@@@@@@";
constexpr std::size_t kCreationBackPressure = 11;

enum class Outcome { Go, Wait, GiveUp, Return };


// Keeps new aircraft away from the user aircraft, on the ground and in the air.
Outcome lf_userClearance(LiveAircraft& a) {
    const PositionSample& oldest = a.samples.front();
    const LatLon user = gf_userPositionLatLon();
    if (g_userOnGround.load()) {
        if (a.nearUser) {
            if (g_userPosition.groundSpeed > 8.0) return Outcome::Wait;
            if (!oldest.airborne &&
                (oldest.groundSpeed > 8.0 || gf_distanceNm(gf_at(oldest), user) * 1852.0 < 500.0))
                return Outcome::Wait;
        }
        if (!oldest.airborne && COLLISION_USER_GND.get() &&
            gf_distanceNm(gf_at(oldest), user) <= kUserGroundClearanceNm)
            return Outcome::Wait;
        return Outcome::Go;
    }
    if (!COLLISION_USER_AIR.get()) return Outcome::Go;
    if (!oldest.airborne) {
        if (a.nearUser) return Outcome::Wait;
        // Where it stands now: its position block once it was in the simulator, else its oldest sample.
        const LatLon current = gf_hasPositionBlock(a) ? LatLon{a.position.latitude, a.position.longitude} : gf_at(oldest);
        const double d = gf_distanceNm(current, user);
        if (d <= 1.5 && g_userPosition.altitudeAboveGround < 1000.0) {
            const double offset =
                std::sin(gf_headingDifference(g_userPosition.heading, gf_initialBearing(user, current))) * d * kFeetPerNm;
            if (std::fabs(offset) <= 500.0) {
                a.nearUser = 1;
                return Outcome::Wait;
            }
        }
        return Outcome::Go;
    }
    if (gf_closeToUserPath(a)) {
        a.nearUser = 1;
        return Outcome::Wait;
    }
    return Outcome::Go;
}

// MAX_LIVE: a new aircraft nearer than the farthest one takes its place. The default (its largest
// value, shown as an empty field) sets no limit. Every creation requested counts, also one on its
// way to the simulator.
Outcome lf_countLimit(const LiveAircraft& a) {
    if (MAX_LIVE.get() == MAX_LIVE.defaultValue) return Outcome::Go;
    const auto counted = std::count_if(g_liveAircraft.begin(), g_liveAircraft.end(), [](const LiveAircraft& x) {
        return x.state == STATE_IN_SIM || x.state == STATE_CREATION_REQUESTED;
    });
    if (counted < MAX_LIVE.get()) return Outcome::Go;
    const double d = gf_distanceNm(gf_at(a.samples.front()), gf_userPositionLatLon());
    return lf_isFarthest(d) ? Outcome::GiveUp : Outcome::Go;
}

// The registration database completes airline, type and cargo flag.
void lf_completeFromRegistration(LiveAircraft& a) {
    if (a.registration.empty()) return;
    for (const std::string& variant : gf_regVariants(a.registration)) {
        std::optional<DbRecord> record;
        if (!gf_lookupDbRecord(record, variant) || !record) continue;
        a.airline = record->airline;
        a.model = record->type;
        if (!record->operatorCode.empty()) a.airline = record->operatorCode;
        a.cargo = record->cargo;
        if (a.callsign.empty() || a.callsign == kNoCallsign) a.callsign = a.registration;
        return;
    }
}

// Its queue is a take-off: a roll on the ground seen in several samples speeding up along one
// heading through take-off roll speed, then only airborne samples. It is shown on the runway,
// rolling, and lifts off where its records do (waiting, it would appear in the air).
bool lf_rollsToLiftOff(const LiveAircraft& a) {
    const auto firstAirborne = std::find_if(a.samples.begin(), a.samples.end(), [](const auto& s) { return s.airborne; });
    if (!std::all_of(firstAirborne, a.samples.end(), [](const auto& s) { return s.airborne != 0; })) return false;
    std::deque<RunRecord> roll;
    for (auto s = a.samples.begin(); s != firstAirborne; ++s)
        roll.push_back({s->duePass / 100.0, s->groundSpeed, s->track, s->latitude, s->longitude, 0});
    return lf_recordsRollForTakeoff(roll);
}

Outcome lf_decide(LiveAircraft& a) {
    if (a.samples.empty()) return Outcome::GiveUp;
    const PositionSample& oldest = a.samples.front();
    const int lead = (oldest.airborne || oldest.groundSpeed == 0.0) ? 100 : 300;
    if (g_tickCounter.load(std::memory_order_relaxed) < oldest.duePass - lead) return Outcome::Return;
    if (a.samples.size() == 1) return Outcome::GiveUp;
    if (gf_endsWith(a.callsign, '_') &&
        std::find(g_blockedCallsigns.begin(), g_blockedCallsigns.end(), a.callsign) != g_blockedCallsigns.end())
        return Outcome::GiveUp;
    const bool anyAirborne = std::any_of(a.samples.begin(), a.samples.end(), [](const auto& s) { return s.airborne; });
    const bool anyGround = std::any_of(a.samples.begin(), a.samples.end(), [](const auto& s) { return !s.airborne; });
    if (anyAirborne && anyGround && !lf_rollsToLiftOff(a)) return Outcome::Wait;
    if (const Outcome user = lf_userClearance(a); user != Outcome::Go) return user;
    // Creations still to be queued count too: a sky that falls due in one pass would otherwise send
    // hundreds to the creation queue at once, the last created minutes behind its feed, while a
    // waiting aircraft keeps up with its feed.
    if (g_liveCreationQueue.size() + g_recreateIds.size() >= kCreationBackPressure && a.phase == PHASE_NEW)
        return Outcome::Wait;
    if (const Outcome limit = lf_countLimit(a); limit != Outcome::Go) return limit;
    const std::string blocked = BLOCK_CALLSIGN.get();
    if (!blocked.empty() && blocked == a.callsign) return Outcome::GiveUp;
    lf_completeFromRegistration(a);
    if (a.callsign.empty() || a.callsign == kNoCallsign || a.callsign.size() > 8) return Outcome::GiveUp;
    if (a.airline.empty() && !gf_isIcaoCallsign(a)) a.airline = "PVT";
    if (gf_isRefusedFlight(gf_airlineModelRegText(a))) return Outcome::GiveUp;
    if (gf_endsWith(a.callsign, '_') && lf_callsignWithoutLastInUse(a.callsign)) return Outcome::GiveUp;
    return Outcome::Go;
}

}  // namespace

void lf_admitNewAircraft(LiveAircraft& a) {
    switch (lf_decide(a)) {
    case Outcome::GiveUp:
        a.removeMark = 1;
        return;
    case Outcome::Wait:
        a.samples.pop_front();
        return;
    case Outcome::Return:
        return;
    case Outcome::Go:
        lf_processArrival(a);
        return;
    }
}

}  // namespace vrn
