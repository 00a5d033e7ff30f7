// The movement step: when the oldest sample of an aircraft in the simulator falls due, the aircraft
// is stepped towards the next one (per-pass steps of position, height and attitude), its
// configuration follows its phase and height, take-off and landing are recognised, samples are made
// up for a while when the feed falls silent, and the aircraft is removed when they run out.
// Ground movement and the per-pass attitude are in ground_movement.cpp.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

#include "airports/airport_list.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "display/window_state.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "traffic/engine_steps.h"
#include "traffic/movement_common.h"
#include "traffic/sample_tests.h"
#include "traffic/traffic_lists.h"

namespace vrn {

namespace movement {

int tick() { return g_tickCounter.load(std::memory_order_relaxed); }

void sendLights(const LiveAircraft& a, std::uint32_t nav, std::uint32_t beacon, std::uint32_t landing,
                std::uint32_t taxi, std::uint32_t strobe, std::uint32_t logo, std::uint32_t cabin) {
    if (a.objectId == 0) return;
    const std::uint32_t values[7] = {nav, beacon, landing, taxi, strobe, logo, cabin};
    gf_queueLightEvents(a.objectId, values);
}

void spoilers(const LiveAircraft& a, bool on) { gf_setSpoilers(a, on); }

void setControls(const LiveAircraft& a, double spoilersPercent, double throttlePercent) {
    if (a.objectId == 0) return;
    AiControlsBlock block{spoilersPercent, throttlePercent, throttlePercent};
    std::lock_guard lock(g_simCommandMutex);
    simconnect::SimConnect_SetDataOnSimObject(g_hSimConnect.load(), DEF_AI_CONTROLS, a.objectId, 0, 0,
                                              sizeof(AiControlsBlock), &block);
}

bool parkElevation(double& feet) {
    const Airport park = gf_parkAirportCopy();
    if (park.code.empty()) return false;
    feet = park.alt;
    return true;
}

double groundUnderFt(const LiveAircraft& a) {
    if (std::isfinite(a.groundAltitude)) return a.groundAltitude;
    double elevation = 0.0;
    if (a.onGround && parkElevation(elevation)) return elevation;
    return -std::numeric_limits<double>::infinity();
}

}  // namespace movement

using namespace movement;

namespace {

constexpr int kStandWaitPasses = 60480000 - 100;   // a parked aircraft waits up to a week for news
constexpr int kLeavingWaitPasses = 18000;          // after a push back: three minutes for the taxi to start
// The fastest an aircraft may plausibly move (kn); a sample farther away is reached late, not by a jump.
constexpr double kFastestAirKn = 800.0;
constexpr double kFastestGroundKn = 250.0;
// Bounds of an airborne aircraft's speed against its records' while it runs late or early.
constexpr double kCatchUpFactor = 1.1;
constexpr double kWaitFactor = 0.85;
// How long an aircraft is kept on made-up motion while its records pause: two minutes in the air (8-s
// samples), three on the ground (a stop's 3-s samples), so that a pause in a turn or in ground
// coverage is flown or waited out rather than the aircraft removed and created again.
constexpr int kMadeUpAirSamples = 15;
constexpr int kMadeUpGroundSamples = 60;
constexpr double kLiftOffShare = 0.8;
constexpr double kRecordsLiftOffShare = 0.9;
constexpr double kRotateBehindM = 500.0;   // its records fly off this close ahead: it rotates as it nears their speed
constexpr double kApproachNearNm = 10.0;   // an approach is flown within this of the park airport
// Where its records turn faster than its class's bank allows, an aeroplane banks 34 degrees (within 35
// as it rolls in).
const double kSteepBankTan = std::tan(34.0 * kDeg2Rad);
// A made-up approach loses this much speed a sample (8 s) until its class's landing speed.
constexpr double kMadeUpApproachSlowingKn = 10.0;
// The climb or descent a made-up flight keeps (ft a minute), for its first minute.
constexpr double kMadeUpMostClimbFpm = 3000.0;
constexpr double kMadeUpMostDescentFpm = 3000.0;
constexpr double kMadeUpVerticalSeconds = 60.0;
constexpr double kMadeUpTakeOffClimbFpm = 1500.0;
constexpr double kLevelClimbPerPass = 0.005;   // 30 ft a minute: level

// Largest pitch change per pass in the air, by size class (degrees per pass, kept in radians).
double lf_maxPitchStep(unsigned sizeClass) {
    static const std::unordered_map<unsigned, double> table{
        {0, 0.01 * kDeg2Rad},   {1, 0.0085 * kDeg2Rad}, {2, 0.0075 * kDeg2Rad},
        {3, 0.005 * kDeg2Rad},  {4, 0.03 * kDeg2Rad},   {5, 0.03 * kDeg2Rad}};
    return table.at(sizeClass);
}

bool lf_rotor(const Aircraft& a) { return a.sizeClass == SIZE_ROTORCRAFT; }

// Per-pass latitude and longitude steps to the next sample, never much faster than the samples say:
// a sample that jumps away is reached late rather than by a leap.
void lf_linearSteps(LiveAircraft& a) {
    const PositionSample& oldest = a.samples[0];
    PositionSample& next = a.samples[1];
    const double d = gf_distanceNm(here(a), at(next));
    const double said = std::max({oldest.groundSpeed, next.groundSpeed, a.onGround ? 30.0 : 150.0});
    double fastest = std::min(2.0 * (std::isfinite(said) ? said : 0.0), a.onGround ? kFastestGroundKn : kFastestAirKn);
    // In the air, with speeds reported, an aircraft that runs late or early (back from made-up motion)
    // catches up or waits within a little of them rather than racing or crawling.
    const double reported = std::max({oldest.groundSpeed, next.groundSpeed, paceBetween(oldest, next)});
    const bool paced = !a.onGround && oldest.airborne && next.airborne && std::isfinite(reported) && reported >= 60.0 &&
                       !lf_rotor(a) && a.phase == PHASE_AIRBORNE;
    if (paced) fastest = std::min(fastest, kCatchUpFactor * reported);
    const int least = passesFor(d, std::max(fastest, 30.0));
    int p = std::max(passesToNext(a), least);
    // (Made-up samples are timed by their speed: one it is ahead of is not drawn nearer, which would
    // carry its lead into every made-up sample after it and fly them all fast.)
    if (paced && a.extrapolationCount == 0) {
        const int most = passesFor(d, kWaitFactor * std::min(oldest.groundSpeed, next.groundSpeed));
        if (p > most) {
            p = std::max(most, kMinPasses);
            next.duePass = tick() + p;
        }
    }
    a.latitudeStep = (next.latitude - a.position.latitude) / p;
    a.longitudeStep = longitudeDelta(a.position.longitude, next.longitude) / p;
    if (!a.onGround && nearPole(a.position.latitude)) {
        // (There the way to it is the great circle's, not round the pole.)
        const double way = gf_initialBearing(here(a), at(next));
        const double degrees = d * 1852.0 / kMetresPerDegreeLat / p;
        a.latitudeStep = degrees * std::cos(way);
        a.longitudeStep = degrees * std::sin(way) / std::cos(a.position.latitude * kDeg2Rad);
    }
    if (!std::isfinite(a.latitudeStep) || !std::isfinite(a.longitudeStep)) a.latitudeStep = a.longitudeStep = 0.0;
}

// Made-up samples of an aircraft the simulator has on the ground are ground samples, whatever its
// last record said: a landed aircraft whose records stop rolls out along the runway. One that has
// taken off climbs away, even when its last record was still on the runway.
bool lf_extrapolatedOnGround(const LiveAircraft& a) {
    if (a.phase == PHASE_AFTER_TAKEOFF) return false;
    return a.onGround || !a.samples.front().airborne;
}

bool lf_finiteSample(const PositionSample& s) {
    return std::isfinite(s.latitude) && std::isfinite(s.longitude) && std::isfinite(s.altitude);
}

// Seconds between made-up samples: in the air, and on the ground, where a moving sample lasts a
// second so that its speed changes every second (the ground phase says by how much).
double lf_madeUpSeconds(const LiveAircraft& a, bool ground, double v) {
    return !ground ? 8.0 : a.underPower || v > 0.0 ? 1.0 : 3.0;
}

// The speed a made-up sample moves at, and its vertical speed where the motion dictates one.
// `v` is the oldest sample's speed (kn), made finite and not negative.
double lf_extrapolatedSpeed(const LiveAircraft& a, const PositionSample& oldest, double v, double seconds,
                            PositionSample& s) {
    // Parked, or just pushed back at a walking pace: it waits on its spot for its feed.
    if (oldest.standing || a.phase == PHASE_AT_STAND || a.phase == PHASE_LEAVING_STAND) return 0.0;
    if (lf_extrapolatedOnGround(a)) return lf_madeUpGroundKn(a, v, seconds, s.verticalSpeed);
    if (!a.onApproach || !a.madeUpLands) return std::max(v, 1.0);   // a made-up flight keeps its speed
    // A made-up approach slows gently towards its class's landing speed, never below it.
    return std::max({v - kMadeUpApproachSlowingKn, std::min(v, 0.9 * lf_liftOffKn(a)), 1.0});
}

// The turn (radians) a made-up flight makes over a sample: an aircraft in a steady turn when its records
// pause goes on turning at the rate they showed for its first minute, so that it stays near the real
// one; after that, or on an approach, it flies straight on. Records that turned faster than its
// class's bank allows are kept with as sample play keeps with them, banked steeper, and never faster
// than that. (At the usual bank a circle of 3 degrees a second at 250 kn was flown at 2.5 and left it
// 0.7 nm behind the real one after its minute, too late to close on it.)
double lf_madeUpTurnRad(const LiveAircraft& a, double seconds) {
    constexpr double kTurningSeconds = 60.0;
    const double turned = (tick() - a.madeUpFromPass) / 100.0;
    if (a.onApproach || a.madeUpFromPass < 0 || turned >= kTurningSeconds || a.runRecords.size() < 2) return 0.0;
    const RunRecord& n = a.runRecords.back();
    const RunRecord* o = nullptr;
    // (Records that gave no track tell no turn: a track stored as 0 would read as a turn to north.)
    for (auto r = a.runRecords.rbegin() + 1; r != a.runRecords.rend() && n.time - r->time <= 20.0; ++r)
        if (r->airborne && r->trackKnown) o = &*r;
    if (!n.airborne || !n.trackKnown || !o || n.time - o->time < 5.0) return 0.0;
    const double steepDegPerS = kSteepBankTan * kGravity / (std::max(n.knots, 60.0) * kMpsPerKn) * kRad2Deg;
    const double most = std::max(lf_turnRatePerPass(a, n.knots) * kRad2Deg * 100.0, std::min(steepDegPerS, kQuickestAirTurnDegPerS));
    const double rate = std::clamp(std::remainder(n.trackDeg - o->trackDeg, 360.0) / (n.time - o->time), -most, most);
    // Below half a degree a second it is a drift of the track, not a turn.
    if (std::fabs(rate) < 0.5) return 0.0;
    return rate * std::min(seconds, kTurningSeconds - turned) * kDeg2Rad;
}

// The climb or descent (ft a minute) its last airborne records showed over up to 10 s (a climb-out
// still steepens 20 s after lift-off), else the one the oldest sample reports.
double lf_recordsClimbFpm(const LiveAircraft& a, const PositionSample& oldest) {
    constexpr double kOverSeconds = 10.0, kLeastSeconds = 5.0;
    const auto& r = a.runRecords;
    if (!r.empty() && r.back().airborne) {
        const RunRecord* from = nullptr;
        for (auto x = r.rbegin() + 1; x != r.rend() && x->airborne && r.back().time - x->time <= kOverSeconds; ++x) from = &*x;
        if (from && r.back().time - from->time >= kLeastSeconds)
            return (r.back().altitude - from->altitude) / (r.back().time - from->time) * 60.0;
    }
    return std::isfinite(oldest.verticalSpeed) ? oldest.verticalSpeed : 0.0;
}

// Seconds of made-up flight after its newest record fell due. Made-up motion may begin before then:
// flying records thinned out along a straight way are noted, not played.
double lf_secondsAfterRecords(const LiveAircraft& a) {
    return (tick() - std::max(a.madeUpFromPass, a.lastRecordPass + kPlayDelayPasses)) / 100.0;
}

// On its approach (descending near the park airport), a record on final: a fixed-wing aircraft at an
// approach's speed with the airport ahead of it near its line of flight, or over its runways. A
// helicopter slowing to a hover, or a slow or passing aircraft that descends, is on none: its made-up
// flight does not land it.
bool lf_onFinal(const LiveAircraft& a, const PositionSample& s) {
    constexpr double kMostOffLineNm = 1.5;   // the airport's reference point from the runway's line
    constexpr double kAnyWayWithinNm = 2.5;  // over a long runway the reference point may lie behind
    constexpr double kLeastShareOfLiftOff = 0.5;   // a final's ground speed into a strong wind
    if (lf_rotor(a) || !s.airborne || !(s.groundSpeed >= kLeastShareOfLiftOff * lf_liftOffKn(a))) return false;
    const Airport park = gf_parkAirportCopy();
    if (park.code.empty()) return false;
    const double d = gf_distanceNm(at(s), park.position());
    if (!(d <= kApproachNearNm)) return false;
    if (d <= kAnyWayWithinNm) return true;
    const double off = gf_headingDifference(s.track * kDeg2Rad, gf_initialBearing(at(s), park.position()));
    return std::cos(off) > 0.0 && d * std::fabs(std::sin(off)) <= kMostOffLineNm;
}

// The way a made-up taxi goes on: its records' last track, which the nose of one still turning onto
// it follows; its nose's where they gave none, or lead backwards (a push back).
double lf_madeUpGroundWay(const LiveAircraft& a) {
    if (a.runRecords.empty()) return a.position.heading;
    const RunRecord& r = a.runRecords.back();
    const double track = normalHeading(r.trackDeg * kDeg2Rad);
    const bool along = r.trackKnown && !r.airborne && r.knots >= 1.0 && std::fabs(gf_headingDifference(a.position.heading, track)) < kPi / 2.0;
    return along ? track : a.position.heading;
}

}  // namespace

void lf_extendSamples(LiveAircraft& a, int count) {
    a.extrapolationCount = count;
    const bool first = a.madeUpFromPass < 0;
    if (first) {
        a.madeUpFromPass = tick();
        gf_forgetStampedAhead(a.aircraftId);   // counted from here
        a.staleRecords = 0;
        a.refusedRecords = 0;
        a.madeUpLands = a.onApproach && lf_onFinal(a, a.samples.front()) ? 1 : 0;
        lf_judgeAtRecordsEnd(a);
    }
    const PositionSample& oldest = a.samples.front();
    PositionSample s = oldest;
    const bool ground = lf_extrapolatedOnGround(a);
    if (ground) {
        s.airborne = 0;
        s.altitude = 0.0;
        s.verticalSpeed = 0.0;   // unless the take-off roll sets one below
    }
    // A made-up roll goes on from where the aircraft rolls and at its pace, not from its last sample's
    // position and reported speed, which it may be a little ahead of or behind.
    // (Within three seconds of its pace of the sample: a fast roll running a little late is as near.)
    const bool fromHere = ground && a.onGround && std::isfinite(a.paceKn) &&
                          (a.pastNext || gf_distanceNm(here(a), at(oldest)) * 1852.0 < std::max(50.0, 3.0 * a.paceKn * kMpsPerKn));
    const LatLon from = fromHere ? here(a) : at(oldest);
    const double reportedKn = std::isfinite(oldest.groundSpeed) ? std::max(oldest.groundSpeed, 0.0) : 0.0;
    const double oldestKn = fromHere && !oldest.standing ? a.paceKn : reportedKn;
    const double seconds = lf_madeUpSeconds(a, ground, oldestKn);
    const double speed = lf_extrapolatedSpeed(a, oldest, oldestKn, seconds, s);
    s.groundSpeed = speed;
    s.trueAirspeed = speed;
    s.standing = 1;
    // On the ground the segment's speed changes evenly from the oldest sample's to the new one's.
    const double segmentKn = ground && speed > 0.0 && std::isfinite(oldest.groundSpeed) ? (speed + oldestKn) / 2.0 : speed;
    if (segmentKn > 0.0) {
        const double feet = segmentKn * seconds * 100.0 * kFeetPerNm / kPassesPerHour;
        // A take-off roll keeps to its runway's line; a flight in a turn goes on turning a while,
        // along an arc from the way the last made-up sample ended.
        const double turn = ground ? 0.0 : lf_madeUpTurnRad(a, seconds);
        const double way = turn != 0.0 && !first ? oldest.track * kDeg2Rad : a.position.heading;
        // Straight on near a pole its nose's way is taken where the segment starts (which may lie
        // across the pole from the aircraft), and the segment's track is its way where it ends: past
        // the pole the next one goes on, not back.
        const bool polar = turn == 0.0 && !ground && nearPole(from.lat);
        double straight = normalHeading(a.position.heading + (polar ? meridianTurn(here(a), from) : 0.0));
        const LatLon to = ground && a.underPower ? lf_alongRollLine(a, from, feet)
                          : polar                ? gf_moveAlong(from, straight, feet)
                          : ground               ? gf_destinationPoint(from, lf_madeUpGroundWay(a), feet)
                          : turn == 0.0          ? gf_destinationPoint(from, a.position.heading, feet)
                                                 : gf_destinationPoint(from, way + turn / 2.0, feet * std::sin(turn / 2.0) / (turn / 2.0));
        if (turn != 0.0) s.track = normalHeading(way + turn) * kRad2Deg;
        if (polar) s.track = straight * kRad2Deg;
        s.latitude = to.lat;
        s.longitude = normalLongitude(to.lon);
        s.standing = (s.latitude == oldest.latitude && s.longitude == oldest.longitude) ? 1 : 0;
    }
    // Only an approach its records showed on final lands. A helicopter whose records end holds their
    // height (it hovers or flies on), and any other keeps their climb or descent a while: neither
    // sinks to the ground on made-up motion.
    if (!ground && a.onApproach && a.madeUpLands && !hasCurve(a)) {
        s.verticalSpeed = -667.0;
        s.altitude = std::max(0.0, s.altitude - 10.005 * seconds);
        s.airborne = s.altitude > 0.0 ? 1 : 0;
        // It lands where its descent reaches the runway (records' altitudes are true ones), not on
        // after it for half a minute and kilometres.
        double field = 0.0;
        if (s.airborne && parkElevation(field) && s.altitude <= field) {
            s.altitude = 0.0;
            s.airborne = 0;
        }
    } else if (a.phase == PHASE_AFTER_TAKEOFF) {
        // From where it flies when its last record was still on the runway (altitude 0 there). It climbs
        // as its records climbed for their first minute (within what an airliner climbs), else at 1,500 ft a minute.
        if (!oldest.airborne) s.altitude = a.position.altitude;
        const double since = lf_secondsAfterRecords(a);
        const double recordsFpm = oldest.airborne ? std::min(lf_recordsClimbFpm(a, oldest), kMadeUpMostClimbFpm) : 0.0;
        s.verticalSpeed = since < kMadeUpVerticalSeconds ? std::max(recordsFpm, kMadeUpTakeOffClimbFpm) : kMadeUpTakeOffClimbFpm;
        s.altitude += s.verticalSpeed / 60.0 * seconds;
        s.airborne = 1;
    } else if (!ground && !lf_rotor(a) && s.airborne) {
        // A made-up flight keeps the climb or descent its records showed for its first minute, as it
        // keeps their turn (within what an airliner climbs or descends), never below 1,000 ft above
        // the park airport.
        const double since = lf_secondsAfterRecords(a);
        const double vs = std::clamp(lf_recordsClimbFpm(a, oldest), -kMadeUpMostDescentFpm, kMadeUpMostClimbFpm);
        double field = 0.0;
        const double floorFt = parkElevation(field) ? field + 1000.0 : 1000.0;
        if (since < kMadeUpVerticalSeconds && std::fabs(vs) >= 200.0) {
            const double next = s.altitude + vs / 60.0 * std::min(seconds, kMadeUpVerticalSeconds - since);
            s.altitude = vs < 0.0 ? std::max(next, std::min(s.altitude, floorFt)) : next;
            s.verticalSpeed = vs;
        } else {
            s.verticalSpeed = 0.0;
        }
    }
    // A parked or just pushed-back aircraft waits on its spot until its feed moves it again.
    int wait = static_cast<int>(seconds * 100.0);
    if (s.standing && a.phase == PHASE_AT_STAND) wait = kStandWaitPasses;
    if (s.standing && a.phase == PHASE_LEAVING_STAND) wait = kLeavingWaitPasses;
    s.duePass = std::max(oldest.duePass, tick()) + wait;
    a.samples.push_back(s);
}

bool lf_keepPlaying(LiveAircraft& a) {
    if (a.samples.empty()) return false;
    if (a.phase == PHASE_STAND_CLEANUP) lf_towedParks(a);
    const int c = a.extrapolationCount;
    if (c < 0) return false;
    if (c == 1) {
        a.extrapolationCount = -1;
        return false;
    }
    if (c > 1) {
        // A made-up roll counts only once it has stopped or lifted off: it never vanishes while it
        // rolls out, nor before its take-off roll lifts off.
        const PositionSample& oldest = a.samples.front();
        const bool rolls = lf_extrapolatedOnGround(a) && !oldest.standing && oldest.groundSpeed > 0.0;
        lf_extendSamples(a, rolls ? c : c - 1);
        return true;
    }
    const unsigned k = a.sizeClass;
    if ((k == SIZE_LIGHT && !LIGHT_AIRCRAFT.get()) || (k == SIZE_HIGH_PERF && !HIGH_PERF_AIRCRAFT.get()) ||
        (k == SIZE_ROTORCRAFT && !HELICOPTERS.get()))
        return false;
    int n = 0;
    if (lf_extrapolatedOnGround(a)) {
        // Ground coverage at an airport has gaps of up to a minute while an aircraft taxis or holds:
        // one that waits on its spot for a minute is still there when its feed comes back, rather
        // than vanishing and being created again. Under power it rolls on to lift off.
        n = (a.phase == PHASE_AT_STAND || a.phase == PHASE_LEAVING_STAND) ? 1 : kMadeUpGroundSamples;
    } else {
        const LatLon user = gf_userPositionLatLon();
        n = (!gf_isValidPosition(user) || gf_distanceNm(user, here(a)) < LATERAL_RANGE.get() - 0.5) ? kMadeUpAirSamples : 0;
    }
    // No allowance: the aircraft goes now rather than choosing again at every dry queue.
    if (n == 0) return false;
    lf_extendSamples(a, n);
    return true;
}

// While real samples play, the next one keeps its own due pass: the feed's timing is the real
// aircraft's, and a speed-based target let an aircraft run up to half a minute ahead of its feed or
// carry a delay (a slow start, its creation) through a whole flight. Made-up samples are timed by
// their speed. Never past.
void lf_setNextDuePass(LiveAircraft& a, int passes) {
    if (a.samples.size() < 2) return;
    PositionSample& next = a.samples[1];
    if (a.extrapolationCount != 0) next.duePass = tick() + passes;
    next.duePass = std::max(next.duePass, tick());
}

void lf_retimeNextSample(LiveAircraft& a) {
    const PositionSample& oldest = a.samples[0];
    const PositionSample& next = a.samples[1];
    if (next.standing) {
        if (lf_rotor(a)) lf_groundRetime(a);
        return;
    }
    double speed = gf_sampleSpeed(a);
    if (a.onApproach && !next.airborne) speed = oldest.groundSpeed > 0.0 ? oldest.groundSpeed : 100.0;
    const int passes = passesFor(gf_distanceNm(at(oldest), at(next)), speed);
    lf_setNextDuePass(a, std::max(passes, kMinPasses));
}

void lf_insertMidSample(LiveAircraft& a) {
    if (a.samples.size() < 2) return;
    const PositionSample& o = a.samples[0];
    const PositionSample& n = a.samples[1];
    PositionSample mid = o;
    mid.latitude = (o.latitude + n.latitude) / 2.0;
    mid.longitude = normalLongitude(o.longitude + longitudeDelta(o.longitude, n.longitude) / 2.0);
    mid.groundSpeed = (o.groundSpeed + n.groundSpeed) / 2.0;
    mid.altitude = (o.altitude + n.altitude) / 2.0;
    mid.duePass = static_cast<int>((static_cast<std::int64_t>(o.duePass) + n.duePass) / 2);
    mid.airborne = mid.altitude > 0.0 ? 1 : 0;
    if (!mid.airborne) mid.altitude = 0.0;
    mid.standing = 0;
    mid.between = 1;
    a.samples.insert(a.samples.begin() + 1, mid);
}

double lf_approachVerticalSpeed(const LiveAircraft& a) {
    if (a.altitudeAboveGround <= 100.0 || a.samples.size() < 2) return -600.0;
    const double mean = (a.samples[0].verticalSpeed + a.samples[1].verticalSpeed) / 2.0;
    return std::isfinite(mean) ? std::min(mean, -601.0) : -601.0;
}

void lf_climbConfiguration(LiveAircraft& a) {
    if (a.objectId != 0) gf_queueCabinLights(a.objectId, 1);
    a.underPower = 0;
    a.onApproach = 0;
    const double vs = a.samples.front().verticalSpeed;
    const bool rotor = lf_rotor(a);
    if (vs <= -250.0 && a.throttleIndex == 3)
        gf_setThrottle(a, rotor ? 4 : 2);
    else if (vs > 400.0 && a.throttleIndex == 4)
        gf_setThrottle(a, rotor ? 4 : 3);
    if (a.altitudeAboveGround < 2400.0 && vs <= 100.0) {
        gf_setFlaps(a, a.altitudeAboveGround < 2000.0 && a.flapsIndex == 1 ? 2 : 1);
    } else if (a.altitudeAboveGround >= 2400.0) {
        gf_setGear(a, false);
        gf_setFlaps(a, 0);
    }
}

void lf_approachConfiguration(LiveAircraft& a) {
    if (a.objectId != 0) gf_queueCabinLights(a.objectId, 0);
    const double vs = a.samples.front().verticalSpeed;
    const Airport park = gf_parkAirportCopy();
    const bool parkNear = !park.code.empty() && gf_distanceNm(here(a), park.position()) <= kApproachNearNm;
    const bool rotor = lf_rotor(a);
    if (vs <= -250.0 && !a.onApproach && parkNear) {
        gf_setThrottle(a, rotor ? 4 : 1);
        gf_setFlaps(a, 3);
        gf_setGear(a, true);
        g_newAircraftIds.push_back(a.aircraftId);
        a.onApproach = 1;
        a.flareReferenceHeight = std::numeric_limits<double>::quiet_NaN();   // taken anew for this approach
        a.climbConfigured = 0;
        a.standId = 0;
        a.standPosition = {};
        a.standHeading = 0.0;
        a.rotationCountdown = 1;
    } else if (vs > 600.0 || (a.onApproach && !parkNear)) {
        if (a.climbConfigured) return;
        a.climbConfigured = 1;
        gf_setThrottle(a, 4);
        gf_setGear(a, false);
        a.onApproach = 0;
        gf_setFlaps(a, 0);
        a.curveKind = 0;
        a.flareReferenceHeight = std::numeric_limits<double>::quiet_NaN();
    }
}

void lf_rollThrottleSpoilers(LiveAircraft& a) {
    const bool rotor = lf_rotor(a);
    if (std::fabs(gf_headingDifference(a.position.heading, a.rollHeading)) >= 15.0 * kDeg2Rad) {
        // Turned off the runway: the roll is over.
        gf_setFlaps(a, 0);
        a.landingRoll = 0;
        a.rollHeading = 0.0;
        gf_setThrottle(a, rotor ? 4 : 0);
        spoilers(a, false);
        a.throttleSpoilerRun = 0;
        if (a.sizeClass != SIZE_LIGHT) setControls(a, 0.0, 0.0);
        sendLights(a, 1, 1, 0, 1, 0, 1, 1);
        return;
    }
    if (a.samples.front().groundSpeed > 90.0) return;
    spoilers(a, false);
    a.throttleSpoilerRun = 0;
    if (a.sizeClass != SIZE_LIGHT) setControls(a, 0.0, 0.0);
    gf_setFlaps(a, 1);
}

void lf_tookOff(LiveAircraft& a) {
    const int c = std::max<int>(1, static_cast<int>(a.rotationPasses));
    a.rotationCountdown = c;
    a.pitchStep = (a.rotationPitch - a.position.pitch) / c;
    a.position.bank = 0.0;
    a.bankStep = 0.0;
    a.previousPhase = a.phase;
    a.phase = PHASE_AFTER_TAKEOFF;
    const Airport park = gf_parkAirportCopy();
    const bool fromPark = !park.iata.empty() && a.departure == park.iata;
    gf_logLine(vrn::format("{:8} took-off{} {}", a.callsign, fromPark ? " to " + a.destination : std::string(),
                           gf_nowHhMmSs()));
    clearCurve(a);
    // A touch and go's flare is over: its stages would hold the climb-out at the flare's last rate.
    a.curveKind = 0;
    a.touchedDown = 0;
    a.flareReferenceHeight = std::numeric_limits<double>::quiet_NaN();
    // Lifting off on made-up samples, it climbs away for as long as a made-up flight goes on.
    if (a.extrapolationCount > 0) a.extrapolationCount = std::max(a.extrapolationCount, 8);
    // On the ground the heading step holds the turn rate; in the air it is a signed step per pass,
    // set by the next air step. Kept, it would turn the aircraft away from its runway.
    a.headingStep = 0.0;
    if (!a.landingRoll) return;
    // A touch and go.
    a.landingRoll = 0;
    a.throttleSpoilerRun = 0;
    a.rollHeading = 0.0;
    a.onApproach = 0;
    a.shortStayCheck = 0;
    gf_setThrottle(a, 4);
    spoilers(a, true);
    gf_setFlaps(a, 1);
}

void lf_takeoffStep(LiveAircraft& a) {
    if (a.phase == PHASE_AIRBORNE || a.phase == PHASE_AT_STAND) {
        a.previousPhase = a.phase;
        a.phase = PHASE_MOVING;
    }
    const PositionSample& o = a.samples[0];
    const PositionSample& n = a.samples[1];
    const bool rotor = lf_rotor(a);
    // (Reached on time only: far behind its records, late after a pause, it has not got there.)
    const bool atReached = gf_distanceNm(here(a), at(o)) * 1852.0 <= kRotateBehindM;
    a.reachedAirborneKn = o.airborne && o.groundSpeed > 0.0 && atReached ? o.groundSpeed : 0.0;
    if (!a.underPower) {
        if (a.landingRoll)
            lf_rollThrottleSpoilers(a);
        else
            gf_setThrottle(a, rotor ? 4 : 0);
    } else if (rotor) {
        gf_setThrottle(a, 4);
    } else {
        const double ov = o.groundSpeed;
        const double nv = n.groundSpeed;
        gf_setThrottle(a, (ov >= 25 || nv >= 30) ? 4 : (ov >= 20 || nv >= 25) ? 2 : (ov >= 15 || nv >= 20) ? 1 : 0);
    }
    const bool curve = hasCurve(a);
    if (!curve && a.phase != PHASE_AFTER_TAKEOFF) {
        a.position.pitch = a.staticPitch;
        a.position.bank = 0.0;
        a.pitchStep = 0.0;
        a.bankStep = 0.0;
    }
    if (curve) a.curveStep = 1.0 / std::max(n.duePass - tick(), kMinPasses);
    a.speed = a.phase == PHASE_PUSHING_BACK ? -n.groundSpeed : n.groundSpeed;
    if (a.phase != PHASE_AFTER_TAKEOFF) {
        a.verticalSpeedFpm = 0.0;
        a.climbPerPass = 0.0;
    }
    if (!a.underPower || a.phase == PHASE_AFTER_TAKEOFF || !(o.groundSpeed >= kTakeoffRollKn)) return;
    lf_liftOffWhenFast(a, 1);
}

constexpr double kLeastClimbPerPass = 0.1;   // 600 ft a minute: off the runway it climbs
constexpr double kRunwayLevelFt = 40.0;      // a record this little above the ground is on the runway (25-ft steps, the day's QNH)
constexpr double kHeightStepFt = 25.0;       // heights come in steps of this: a roll's read one either side
constexpr double kRotationSeconds = 2.5;     // from rotation to its first climb rate
constexpr double kFirstClimbLeastFpm = 1000.0, kFirstClimbMostFpm = 3000.0;
constexpr double kClimbingFpm = 500.0;       // a record at the runway's height climbing this fast has just lifted off

namespace {

// The later record that says when it lifts off: of those that fly (flagged airborne, and higher than the
// runway and than a step above where a receiver flagged its roll airborne below flying speed, or
// climbing), the one it must rotate soonest for, climbing from rotation at that record's rate to reach
// it when it falls due; `from` the pass it may rotate. None: the flags alone say, unless `rolling`:
// the later records flagged airborne all read at the runway's height. A receiver that flags the roll
// airborne there says nothing of lifting off: rotating at the flag, it flew 10-13 s before the real
// aircraft, 30-60 ft above its rolling records. (Samples put between two records are neither's.)
std::deque<PositionSample>::const_iterator lf_recordToRotateFor(const LiveAircraft& a, std::size_t next, int& from, bool& rolling) {
    from = std::numeric_limits<int>::max();
    rolling = false;
    const double ground = groundUnderFt(a);
    auto binding = a.samples.cend();
    if (lf_rotor(a) || !std::isfinite(ground)) return binding;
    const double level = std::max(ground + kRunwayLevelFt, std::isfinite(a.rollReadsFt) ? a.rollReadsFt + kHeightStepFt : -1e9);
    for (auto s = a.samples.cbegin() + static_cast<std::ptrdiff_t>(next); s != a.samples.cend(); ++s) {
        const double fpm = std::isfinite(s->verticalSpeed) ? s->verticalSpeed : 0.0;
        if (!s->airborne || s->between || s->duePass <= tick()) continue;
        if (s->altitude <= level && fpm < kClimbingFpm) {
            rolling = true;
            continue;
        }
        const double seconds = kRotationSeconds + std::max(s->altitude - ground, 0.0) / std::clamp(fpm, kFirstClimbLeastFpm, kFirstClimbMostFpm) * 60.0;
        if (const int rotate = s->duePass - static_cast<int>(seconds * 100.0); rotate < from) std::tie(from, binding) = std::pair{rotate, s};
    }
    return binding;
}

}  // namespace

void lf_liftOffWhenFast(LiveAircraft& a, std::size_t next) {
    if (next >= a.samples.size()) return;
    const auto later = a.samples.begin() + static_cast<std::ptrdiff_t>(next);
    // Late on its roll (its records flew on while it sped up at what its engines give), it lifts off
    // only once it rolls near its class's lift-off speed, or near the speed its records flew off at:
    // some receivers flag a roll airborne well below that, and it flies when they do. Never below
    // what its class can fly at.
    const double flyingKn = lf_rotor(a) ? 0.0 : kFlyingShareOfLiftOff * lf_liftOffKn(a);
    const auto flying = std::find_if(later, a.samples.end(), [](const PositionSample& s) { return s.airborne != 0; });
    const double aheadKn = flying != a.samples.end() && std::isfinite(flying->groundSpeed) ? flying->groundSpeed : 1e9;
    const double recordsKn = a.reachedAirborneKn > 0.0 ? std::min(a.reachedAirborneKn, aheadKn) : aheadKn;
    const double liftOffKn = std::max(flyingKn, std::min(kLiftOffShare * lf_liftOffKn(a), kRecordsLiftOffShare * recordsKn));
    // It rotates as much earlier as it speeds up while its nose comes up, where its records fly off
    // close ahead, or already flew at the sample it reached (records some seconds apart, at the speed
    // that one shows); far behind them, late after a pause, it rolls on towards where they did.
    const bool close = a.reachedAirborneKn > 0.0 ||
                       (flying != a.samples.end() && gf_distanceNm(here(a), at(*flying)) * 1852.0 <= kRotateBehindM);
    // (Between samples only there: far behind, it lifts off as it reaches them, as it always did.)
    if (next == 0 && !close) return;
    const double rotateKn = liftOffKn - (close ? std::max(a.rollKnPerS, 0.0) * kClimbAfterRotationPasses / 100.0 : 0.0);
    if (std::isfinite(a.paceKn) && a.paceKn < rotateKn) return;
    int rotateFrom = 0;
    bool rolling = false;
    const auto rotateFor = lf_recordToRotateFor(a, next, rotateFrom, rolling);
    if (rotateFor == a.samples.cend() ? rolling : tick() < rotateFrom) return;
    const PositionSample& n = *later;
    const bool laterSlowClimb = std::any_of(later, a.samples.end(), [](const PositionSample& s) { return s.verticalSpeed <= 256.0; });
    const bool allAirborne = std::all_of(later, a.samples.end(), [](const PositionSample& s) { return s.airborne != 0; });
    if (laterSlowClimb) {
        // Records that hardly climb fly only when every one flies, at a speed the class can fly at.
        const bool allFlying =
            allAirborne && std::all_of(later, a.samples.end(), [&](const PositionSample& s) { return s.groundSpeed >= flyingKn; });
        if (!allFlying) return;
    }
    if (rotateFor != a.samples.cend()) {
        // Towards the record it rotated for, not one still at the runway's height.
        a.climbPerPass = std::max((rotateFor->altitude - a.position.altitude) / std::max(rotateFor->duePass - tick(), kMinPasses), kLeastClimbPerPass);
    } else if (allAirborne && !laterSlowClimb) {
        a.climbPerPass = std::max(n.altitude - a.position.altitude, 0.1) / std::max(n.duePass - tick(), kMinPasses);
    } else if (flying != a.samples.end() && flying->duePass > tick()) {
        // Lifting off before its records fly, it climbs towards their first flying record, gently where
        // that is just off the runway: at its class's steepest it was hundreds of feet above them a few
        // seconds on and then held its height till they climbed to it.
        a.climbPerPass = std::max((flying->altitude - a.position.altitude) / std::max(flying->duePass - tick(), kMinPasses), kLeastClimbPerPass);
    } else {
        a.climbPerPass = a.maxClimbPerPass;
    }
    a.climbPerPass = std::min(a.climbPerPass, std::max(a.maxClimbPerPass, 0.1));
    lf_tookOff(a);
}

namespace {

// Climb per pass of an airborne aircraft (two ground samples may drop queued samples).
void lf_airClimb(LiveAircraft& a, int p) {
    const PositionSample& o = a.samples[0];
    PositionSample& n = a.samples[1];
    const double agl = a.altitudeAboveGround;
    if (!o.airborne && !n.airborne) {
        lf_descendToGround(a);
        return;
    }
    if (!o.airborne) {
        a.climbPerPass = n.altitude <= a.position.altitude
                             ? 0.0
                             : std::min((n.altitude - a.position.altitude) / p, a.maxClimbPerPass);
        return;
    }
    if (!n.airborne) {
        double elevation = 0.0;
        const bool park = parkElevation(elevation);
        // Records' altitudes are true ones (the parser reads them at the day's QNH): it descends to
        // the field where its records touch down.
        if (!park) {
            n.verticalSpeed = -601.0;
            a.climbPerPass = -601.0 / 6000.0;
        } else {
            a.climbPerPass = (elevation - a.position.altitude) / p;
        }
        gf_setGear(a, true);
        return;
    }
    const double c = (n.altitude - a.position.altitude) / p;
    if (!a.onApproach) {
        if (agl > 1000.0)
            a.climbPerPass = std::min(c, a.maxClimbPerPass);
        else if (c > 0.2)
            a.climbPerPass = std::min(std::max(c, 0.2), a.maxClimbPerPass);
        else
            // Low over the ground the aircraft keeps climbing, unless its data descend or hold their
            // height (a helicopter's hover, a flight level below 1,000 ft).
            a.climbPerPass = c <= kLevelClimbPerPass ? c : std::min(0.2, a.maxClimbPerPass);
        return;
    }
    // (Records that hold their altitude on final read stale: it goes on down. Not a hovering
    // helicopter's or a slow aircraft's, nor made-up samples of a flight that does not land.)
    if (o.altitude == n.altitude && agl <= 1000.0 && o.verticalSpeed + n.verticalSpeed <= 100.0 &&
        (a.extrapolationCount == 0 ? lf_onFinal(a, n) : a.madeUpLands != 0)) {
        const double v = lf_approachVerticalSpeed(a);
        n.verticalSpeed = v;
        a.climbPerPass = v / 6000.0;
    } else {
        a.climbPerPass = c;
    }
}

// Between flying samples the climb or descent changes no faster than its class's limit over the step
// (records' heights come in 25 ft steps: followed sample by sample they bob up and down; a new aircraft,
// level until then, takes its records' climb at once), and a helicopter under records that descend
// slowly sinks no faster than they do and its class's margin.
void lf_smoothClimb(LiveAircraft& a, double before, int passes) {
    const PositionSample& o = a.samples[0];
    const PositionSample& n = a.samples[1];
    if (!o.airborne || !n.airborne || !std::isfinite(a.climbPerPass)) return;
    const MotionLimits& m = gf_motionLimits(a.sizeClass);
    constexpr double kFpmPerClimbPerPass = 6000.0, kSlowDescentFpm = -600.0;
    if (std::isfinite(before) && before != 0.0) {
        const double most = m.verticalSpeedChangeFpmPerS * std::max(passes, kMinPasses) / 100.0 / kFpmPerClimbPerPass;
        // Just off the runway it may steepen its climb at once to reach records that climbed away well
        // above it (records seconds apart); it eases out of a climb as any aircraft does.
        constexpr double kFarBelowFt = 200.0;
        const bool climbingAway = a.phase == PHASE_AFTER_TAKEOFF && n.altitude - a.position.altitude > kFarBelowFt;
        a.climbPerPass = std::clamp(a.climbPerPass, before - most, climbingAway ? std::max(a.climbPerPass, before) : before + most);
    }
    const double records = std::min(std::isfinite(o.verticalSpeed) ? o.verticalSpeed : 0.0, std::isfinite(n.verticalSpeed) ? n.verticalSpeed : 0.0);
    if (m.sinkBeyondRecordsFpm > 0.0 && records > kSlowDescentFpm)
        a.climbPerPass = std::max(a.climbPerPass, (std::min(records, 0.0) - m.sinkBeyondRecordsFpm) / kFpmPerClimbPerPass);
    // Just off the runway records often hold one height for seconds (a barometric height read on the
    // roll, or steps filled in below it) while the aircraft climbs on: it levels off above them rather
    // than sinking back down at its climb's pace, and descends no faster than they report.
    if (a.phase == PHASE_AFTER_TAKEOFF && a.altitudeAboveGround < 1000.0)
        a.climbPerPass = std::max(a.climbPerPass, std::min(records, 0.0) / kFpmPerClimbPerPass);
}

// Lights and configuration by the oldest sample's altitude.
void lf_airConfiguration(LiveAircraft& a) {
    const bool rotor = lf_rotor(a);
    if (a.samples.front().altitude < 10000.0) {
        if (!a.lightsBelow10000) {
            a.lightsBelow10000 = 1;
            a.lightsAbove10000 = 0;
            sendLights(a, 1, 1, 1, 1, 1, 1, 1);
        }
        const bool bigJet = a.sizeClass >= SIZE_BUSINESS_JET && a.sizeClass <= SIZE_HEAVY;
        if (a.altitudeAboveGround > (bigJet ? 2050.0 : 625.0))
            lf_climbConfiguration(a);
        else
            lf_approachConfiguration(a);
        return;
    }
    if (a.lightsAbove10000) return;
    a.lightsAbove10000 = 1;
    a.lightsBelow10000 = 0;
    sendLights(a, 1, 1, 0, 0, 0, 0, 1);
    gf_setThrottle(a, rotor ? 4 : 3);
    gf_setGear(a, false);
    gf_setFlaps(a, 0);
}

}  // namespace

void lf_airStep(LiveAircraft& a, int passes, const PositionSample& next) {
    (void)next;
    if (a.phase != PHASE_AFTER_TAKEOFF && a.phase != PHASE_AIRBORNE) {
        a.previousPhase = a.phase;
        a.phase = PHASE_AIRBORNE;
    }
    if (a.curveKind == 0) {
        const std::size_t before = a.samples.size();
        const double climbBefore = a.climbPerPass;
        lf_airClimb(a, passes);
        lf_smoothClimb(a, climbBefore, passes);
        if (a.samples.size() != before) {
            // Samples were dropped on the way down: steer for the new next one.
            lf_linearSteps(a);
            passes = passesToNext(a);
        }
    }
    const PositionSample& n = a.samples[1];
    a.speed = n.trueAirspeed > 0.0 ? n.trueAirspeed : n.groundSpeed;
    a.verticalSpeedFpm = n.verticalSpeed;
    a.climbPerPass = std::isfinite(a.climbPerPass) ? std::clamp(a.climbPerPass, -10.0, 10.0) : 0.0;
    if (a.phase != PHASE_AFTER_TAKEOFF) {
        double v = n.verticalSpeed;
        v = v > 0.0 ? std::min(v, 2400.0) : std::max(v, -3000.0) / 2.0;
        const double target = (-3.0 - v / 600.0 * 2.2) * kDeg2Rad;
        const double limit = lf_maxPitchStep(a.sizeClass);
        a.pitchStep = std::clamp((target - a.position.pitch) / passes, -limit, limit);
    }
    const double ceiling = a.onApproach ? 2000.0 : 1000.0;
    // Its nose as it will point at the next sample without turning (near a pole, where meridians
    // converge, that differs from here).
    const double nose = normalHeading(a.position.heading + (nearPole(a.position.latitude) ? meridianTurn(here(a), at(n)) : 0.0));
    double d = 0.0;
    if (n.headingGiven && n.bankGiven && n.headingKnown && a.altitudeAboveGround < ceiling)
        d = gf_headingDifference(nose, n.heading);
    else if (a.extrapolationCount > 0 && a.samples.size() < 3 && lf_madeUpTurnRad(a, 1.0) != 0.0)
        d = gf_headingDifference(nose, n.track * kDeg2Rad);   // a made-up turn: to the way its arc ends
    else
        d = gf_bearingChangeAhead(a, nose);
    // Even odd data turn an aircraft no faster than it can turn: at the bank its class flies (30
    // degrees, a helicopter more), a rate that falls with speed (g tan(bank) / v).
    // (At the speed it moves over the ground towards its next sample, when that is faster.)
    const double movesMps = std::hypot(a.latitudeStep * kMetresPerDegreeLat,
                                       a.longitudeStep * kMetresPerDegreeLat * std::cos(a.position.latitude * kDeg2Rad)) * 100.0;
    const double mps = std::max({std::isfinite(a.paceKn) ? a.paceKn : a.speed, 60.0, std::isfinite(movesMps) ? movesMps / kMpsPerKn : 0.0}) * kMpsPerKn;
    // Where its records turn faster than that bank allows, it banks steeper to keep with them.
    const double usualTan = std::tan(gf_motionLimits(a.sizeClass).bankDeg * kDeg2Rad);
    const double usualRate = usualTan * kGravity / mps / 100.0;
    const double bankTan = std::fabs(d / passes) > usualRate ? std::max(usualTan, kSteepBankTan) : usualTan;
    const double bankRate = bankTan * kGravity / mps / 100.0;
    const double turnLimit = std::min((lf_rotor(a) ? 3.0 : 1.0) * kQuickestAirTurnDegPerS * kDeg2Rad / 100.0, bankRate);
    a.headingStep = std::clamp(d / passes, -turnLimit, turnLimit);
    if (n.bankGiven)
        a.bankStep = (n.bank - a.position.bank) / passes;
    else
        gf_setAttitudeStep(a, -d * 2.0, passes);
    lf_airConfiguration(a);
}

void lf_airGroundStep(LiveAircraft& a) {
    // A next record well off its nose in the air is flown to, not slid to sideways or backwards.
    if (lf_steerToRecordOffNose(a)) return;
    clearCurve(a);
    {
        PositionSample& next = a.samples[1];
        const PositionSample& oldest = a.samples[0];
        if (!next.standing && next.latitude == oldest.latitude && next.longitude == oldest.longitude) next.standing = 1;
        if (!next.standing) a.bearingToNext = gf_initialBearing(at(oldest), at(next));
    }
    if (a.onGround)
        lf_groundPhaseStep(a);
    else
        lf_retimeNextSample(a);
    // Parking on a stand or a push back may have rebuilt the queue.
    if (a.samples.size() < 2) return;
    PositionSample& next = a.samples[1];
    // Late on the ground, at its own pace, it first rolls on to where its records stand still; a stale
    // repeated position it rolls through.
    if (next.standing && a.onGround && a.phase == PHASE_MOVING &&
        (staleRepeat(a, 1) || gf_distanceNm(here(a), at(next)) * 1852.0 > 2.0))
        next.standing = 0;
    a.turnFirst = a.onGround && a.samples[0].standing && !next.standing ? 1 : 0;
    // The speeds its records report at the ends of this way, which its pace keeps near.
    const auto finiteKn = [](double kn) { return std::isfinite(kn) ? std::max(kn, 0.0) : 0.0; };
    std::tie(a.wayFromKn, a.wayToKn, a.wayFromPass) = std::tuple{finiteKn(a.samples[0].groundSpeed), finiteKn(next.groundSpeed), tick()};
    // A made-up roll goes on from the pace it rolls at (lf_extendSamples).
    if (a.extrapolationCount != 0 && a.onGround && std::isfinite(a.paceKn)) a.wayFromKn = a.paceKn;
    a.pastNext = 0;
    if (!a.turnFirst) a.turnedBack = 0;
    a.wayCosLat = std::cos(a.position.latitude * kDeg2Rad);
    a.cornerKnownFor = -1;
    if (next.standing) {
        a.paceKn = 0.0;
        a.latitudeStep = 0.0;
        a.longitudeStep = 0.0;
        if (!a.onGround) a.climbPerPass = 0.0;
    } else {
        if (!a.onGround) lf_curveToNextRecord(a);
        lf_linearSteps(a);
        if (a.onGround)
            lf_takeoffStep(a);
        else
            lf_airStep(a, passesToNext(a), next);
    }
    a.samples.pop_front();
}

namespace {

// A ground aircraft that stands and whose next sample moves sets off when the real one would have:
// speeding up from rest to the next sample's speed it reaches the next sample when that falls due.
// True while it still waits.
bool lf_waitsToSetOff(LiveAircraft& a) {
    if (!a.onGround || a.phase != PHASE_MOVING || a.extrapolationCount != 0) return false;
    PositionSample& oldest = a.samples[0];
    const PositionSample& next = a.samples[1];
    if (!oldest.standing || next.standing) return false;
    // At the next sample's speed, and the time it takes to reach that from rest to spare.
    const double d = gf_distanceNm(here(a), at(next));
    const double kn = std::isfinite(next.groundSpeed) ? std::max(next.groundSpeed, 1.0) : 1.0;
    const int start = next.duePass - passesFor(d, kn) - static_cast<int>(kn / speedUpPerPass(a));
    if (tick() >= start) return false;
    oldest.duePass = start;
    a.latitudeStep = a.longitudeStep = 0.0;
    return true;
}

// A parked aircraft seen leaving sets off when the real one did, not when the news came: its pull
// out or push back starts as long before the first sample away from the stand falls due as that
// sample lies from the stand at the manoeuvring speed. True while it still waits.
bool lf_waitsToLeaveStand(LiveAircraft& a) {
    if (!a.onGround || a.phase != PHASE_AT_STAND || !a.leftStand || a.samples.size() < 2 || a.samples[1].standing)
        return false;
    const PositionSample& away = a.samples[1];
    const int start = away.duePass - passesFor(gf_distanceNm(a.standPosition, at(away)), a.pushBackSpeed);
    if (tick() >= start) return false;
    a.samples[0].duePass = start;
    a.latitudeStep = a.longitudeStep = 0.0;
    return true;
}

// An aircraft whose made-up motion ran out goes: the log says what its records did meanwhile. Every
// such line is written (an aircraft goes once; a feed that stops for all at once is bounded by the
// creations): one that vanished unexplained would look lost.
void lf_sayWhyRemoved(const LiveAircraft& a) {
    if (a.madeUpFromPass < 0) {
        // No made-up motion: its records ended where none is made up (beyond the range, at its stand).
        const LatLon user = gf_userPositionLatLon();
        const double nm = gf_isValidPosition(user) ? gf_distanceNm(user, here(a)) : 0.0;
        const bool beyond = gf_isValidPosition(user) && !a.onGround && nm >= LATERAL_RANGE.get() - 0.5;
        gf_logLine(vrn::format("{:8}: {:8} removed: its records ended{}", gf_nowHhMmSs(), a.callsign,
                               beyond ? vrn::format(" at the range's edge, {:.1f} nm from the user", nm) : std::string()));
        return;
    }
    const double seconds = (tick() - a.madeUpFromPass) / 100.0;
    gf_logLine(vrn::format("{:8}: {:8} removed after {:.0f} s of made-up motion: {}", gf_nowHhMmSs(), a.callsign, seconds,
                           lf_whatItsRecordsDid(a)));
}

}  // namespace

std::string lf_whatItsRecordsDid(const LiveAircraft& a) {
    const std::uint32_t ahead = gf_stampedAheadCount(a.aircraftId);
    if (ahead > 0) return vrn::format("its records came on but were stamped ahead of the feed's clock ({} dropped)", ahead);
    if (a.staleRecords > 0) return vrn::format("its records came on but their time stamps stopped ({} refused)", a.staleRecords);
    if (a.refusedRecords > 0)
        return vrn::format("its records came on but repeated positions it had flown, or lay where it could not follow ({} refused)",
                           a.refusedRecords);
    return "no records came";
}

void lf_movementStep(LiveAircraft& a) {
    for (;;) {
        // A sample without a usable position is never played.
        while (a.samples.size() >= 2 && !lf_finiteSample(a.samples[1])) a.samples.erase(a.samples.begin() + 1);
        if (a.samples.size() >= 2 && (lf_waitsToSetOff(a) || lf_waitsToLeaveStand(a))) return;
        while (a.samples.size() >= 2) {
            if (a.onGround || lf_rotor(a) || !a.samples[1].standing) {
                lf_airGroundStep(a);
                return;
            }
            a.samples.erase(a.samples.begin() + 1);
        }
        if (!lf_keepPlaying(a)) break;
    }
    if (a.phase != PHASE_AT_STAND) gf_chooseStand(a);
    lf_sayWhyRemoved(a);
    gf_removeLiveAircraft(a);
}

void lf_landed(LiveAircraft& a) {
    if (a.state == STATE_REMOVING || a.phase == PHASE_AFTER_TAKEOFF) return;
    if (a.curveKind == 0 && !a.onApproach) {
        a.onGround = 1;
        a.climbPerPass = 0.0;
        return;
    }
    a.touchedDown = 1;
    a.landingRoll = 1;
    a.landed = 1;
    a.rollHeading = a.position.heading;
    a.onApproach = 0;
    a.shortStayCheck = 1;
    const Airport park = gf_parkAirportCopy();
    const bool toPark = !park.iata.empty() && a.destination == park.iata;
    gf_logLine(vrn::format("{:8} landed{} {}", a.callsign, toPark ? " from " + a.departure : std::string(),
                           gf_nowHhMmSs()));
    spoilers(a, true);
    if (a.sizeClass != SIZE_LIGHT) setControls(a, 100.0, a.fsltlTitle ? -100.0 : 100.0);
    a.throttleSpoilerRun = 1;   // until the roll step takes spoilers and throttles back
    const int b = static_cast<int>(a.afterTouchdownPasses);
    if (b <= 0) {
        gf_logLine(vrn::format("{} ! onGround slots {:.1F}", a.callsign, static_cast<double>(b)));
        a.position.pitch = a.staticPitch;
        a.pitchStep = 0.0;
        a.bankStep = 0.0;
    } else {
        a.pitchStep = (a.staticPitch - a.position.pitch) / b;
        a.bankStep = -a.position.bank / b;
    }
    g_newAircraftIds.push_back(a.aircraftId);
    a.onGround = 1;
    a.climbPerPass = 0.0;
    a.rotationCountdown = 1;
    // Its records run ahead of it: they may already show it going around. Made-up samples (its
    // records ended on final) show nothing: it lands and stays down.
    if (a.extrapolationCount == 0) lf_judgeGroundPhase(a);
}

void lf_setAiFlightPlan(LiveAircraft& a) {
    if (a.departure.empty() || a.destination.empty() || a.objectId == 0) return;
    // Plans live only in their own folder, made at the traffic start; never in the current folder.
    if (gf_flightPlanFolder().empty()) return;
    const std::filesystem::path plan = gf_flightPlanFolder() / gf_flightPlanFileName(a.objectId);
    bool ok = gf_writeFlightPlan(plan, a);
    if (ok) a.flightPlanWritten = 1;
    if (ok && MSFS_2020.get()) {
        std::lock_guard lock(g_simCommandMutex);
        ok = !simconnect::FAILED(simconnect::SimConnect_AISetAircraftFlightPlan(
            g_hSimConnect.load(), a.objectId, gf_utf8Of(plan).c_str(), REQUEST_FLIGHT_PLAN));
    }
    if (!ok) gf_showStatus(gf_flightPairText(a) + " creating a flight plan failed !", true);
}

}  // namespace vrn
