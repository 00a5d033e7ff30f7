// The phase of an aircraft on the ground, read from its history of real records rather than from one
// or two samples: a take-off roll is several records in a row, over some seconds, speeding up along
// one heading; an aircraft that touched down (or gave up a take-off) takes off again only after such
// a roll is seen anew, from below take-off roll speed. Noise in one record never decides a phase.
// Run thread, inside the traffic pass.
#include <algorithm>
#include <cmath>

#include "core/format.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "settings/settings_catalogue.h"
#include "traffic/engine_steps.h"
#include "traffic/movement_common.h"

namespace vrn {

namespace {

constexpr double kRollFromLandedKn = 60.0;   // a landed aircraft's roll goes through this speed
constexpr double kRollGainKn = 15.0;
constexpr double kRollSeconds = 3.0;
constexpr double kRollAccelerationKnPerS = 1.5;
constexpr double kRollHeadingDeg = 10.0;
constexpr double kGiveUpSlowerKn = 8.0;      // clearly slower than the roll's top: beyond the scatter
constexpr double kGiveUpHeadingDeg = 15.0;
constexpr double kGiveUpOffLineM = 60.0;

LatLon lf_at(const RunRecord& r) { return {r.latitude, r.longitude}; }

// Metres a position lies beside the line of the take-off roll.
double lf_offRollLine(const LiveAircraft& a, const LatLon& p) {
    const double d = gf_distanceNm(a.rollPoint, p);
    if (!(d > 0.0)) return 0.0;
    return std::fabs(d * 1852.0 * std::sin(gf_headingDifference(a.rollTrackDeg * kDeg2Rad, gf_initialBearing(a.rollPoint, p))));
}

// Airborne records at the end of the history.
std::size_t lf_airborneRun(const LiveAircraft& a) {
    std::size_t n = 0;
    for (auto r = a.runRecords.rbegin(); r != a.runRecords.rend() && r->airborne; ++r) ++n;
    return n;
}

// Gives up the roll: the aircraft slows down and taxies like one that has landed.
void lf_giveUpTakeoff(LiveAircraft& a, const char* why) {
    a.underPower = 0;
    a.landed = 1;
    gf_setThrottle(a, a.sizeClass == SIZE_ROTORCRAFT ? 4 : 0);
    if (LOG.get()) gf_logLine(vrn::format("{:8}: {:8} take-off roll ended: {}", gf_nowHhMmSs(), a.callsign, why));
}

// Why the take-off roll under way ends at this record, or nothing.
const char* lf_rollEndsAt(const LiveAircraft& a, const RunRecord& r) {
    if (r.airborne) return nullptr;
    if (r.knots < a.rollTopKn - kGiveUpSlowerKn) return "it slows down";
    if (movement::trackDifferenceDeg(r.trackDeg, a.rollTrackDeg) > kGiveUpHeadingDeg && r.knots >= 1.0) return "it turns off";
    if (lf_offRollLine(a, lf_at(r)) > kGiveUpOffLineM) return "it leaves the runway's line";
    return nullptr;
}

// A take-off roll in the history, ending with its ground record `end`: records speeding up along one
// heading through take-off roll speed. From a landed aircraft the roll must start anew below
// kRollFromLandedKn: its fast records are its landing roll.
bool lf_rollEndingAt(const std::deque<RunRecord>& r, std::size_t end, bool fromLanded) {
    if (end >= r.size() || end < 2 || r[end].airborne) return false;
    const RunRecord& newest = r[end];
    if (!(newest.knots >= (fromLanded ? kRollFromLandedKn : kTakeoffRollKn))) return false;
    // Back from the newest while on the ground along its heading, each record no faster than every
    // later one beyond the scatter of reported speeds.
    double laterSlowest = newest.knots;
    std::size_t slowest = end;
    for (std::size_t i = end; i-- > 0;) {
        const RunRecord& x = r[i];
        if (x.airborne || movement::trackDifferenceDeg(x.trackDeg, newest.trackDeg) > kRollHeadingDeg ||
            !(x.knots <= laterSlowest + kRollSpeedScatterKn))
            break;
        // The roll starts at its slowest record; of equals the latest (after a hold, as it sets off).
        if (x.knots < laterSlowest) {
            laterSlowest = x.knots;
            slowest = i;
        }
    }
    const RunRecord& start = r[slowest];
    const double seconds = newest.time - start.time;
    const double gain = newest.knots - start.knots;
    if (end - slowest < 2 || !(seconds >= kRollSeconds) || !(gain >= kRollGainKn) || gain / seconds < kRollAccelerationKnPerS)
        return false;
    return !fromLanded || start.knots < kRollFromLandedKn;
}

// Its records show it in the air again: two airborne in a row, or one after a roll that sped up
// (a touch and go, whose roll never slows below take-off roll speed). One that never touched down
// needs only one.
bool lf_airborneAgain(const LiveAircraft& a) {
    const std::size_t n = lf_airborneRun(a);
    if (n >= 2 || (n == 1 && !a.landed)) return true;
    return n == 1 && a.runRecords.size() >= 2 && lf_rollEndingAt(a.runRecords, a.runRecords.size() - 2, false);
}

// It rolls for take-off along the line of its newest ground record; made-up samples keep to it.
void lf_takeRollLine(LiveAircraft& a) {
    const auto ground = std::find_if(a.runRecords.rbegin(), a.runRecords.rend(), [](const RunRecord& r) { return !r.airborne; });
    const RunRecord& on = ground != a.runRecords.rend() ? *ground : a.runRecords.back();
    a.rollPoint = lf_at(on);
    a.rollTrackDeg = on.trackDeg;
    a.rollTopKn = on.knots;
    a.landed = 0;
}

}  // namespace

bool lf_rollSpeedsUp(const LiveAircraft& a) {
    return !a.runRecords.empty() && lf_rollEndingAt(a.runRecords, a.runRecords.size() - 1, false);
}

bool lf_takeoffRollSeen(const LiveAircraft& a) {
    return !a.runRecords.empty() && lf_rollEndingAt(a.runRecords, a.runRecords.size() - 1, a.landed != 0);
}

void lf_noteRecord(LiveAircraft& a, double time, const PositionSample& s) {
    if (!a.runRecords.empty() && !s.airborne && !a.runRecords.back().airborne && a.sawAirborne) a.landed = 1;   // touched down
    a.runRecords.push_back({time, s.groundSpeed, s.track, s.latitude, s.longitude, s.airborne});
    while (a.runRecords.size() > kRunRecordsKept) a.runRecords.pop_front();
    if (s.airborne) a.sawAirborne = 1;
}

void lf_judgeGroundPhase(LiveAircraft& a) {
    if (a.state != STATE_IN_SIM || !a.onGround || a.runRecords.empty()) return;
    const RunRecord& newest = a.runRecords.back();
    if (a.landingRoll) {
        // A go-around from the runway.
        if (a.underPower || !lf_airborneAgain(a)) return;
        a.phase = PHASE_MOVING;
        lf_takeRollLine(a);
        lf_powerUp(a, 3, true);
        return;
    }
    if (a.underPower) {
        const char* why = lf_rollEndsAt(a, newest);
        if (!why) {
            if (!newest.airborne) a.rollTopKn = std::max(a.rollTopKn, newest.knots);
            return;
        }
        // Noise in one record never ends the roll: the one before must say so too.
        const std::size_t n = a.runRecords.size();
        if (n >= 2 && lf_rollEndsAt(a, a.runRecords[n - 2])) lf_giveUpTakeoff(a, why);
        return;
    }
    if (a.phase != PHASE_MOVING) return;
    if (!lf_airborneAgain(a) && !lf_takeoffRollSeen(a)) return;
    lf_takeRollLine(a);
    lf_towedTakesOff(a);
}

}  // namespace vrn
