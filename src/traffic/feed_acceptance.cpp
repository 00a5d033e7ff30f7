// Feed records into the engine: a record of a known aircraft becomes one more position sample (when
// it passes the jump and timing filters), a record of a new aircraft becomes a new LiveAircraft that
// admission decides about. Run thread, inside the traffic pass, with g_trafficMutex held.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>
#include <tuple>
#include <unordered_set>

#include "airports/airport_list.h"
#include "airports/stand_learning.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "feed/udp_readers.h"
#include "liveries/type_queries.h"
#include "records/stand_records.h"
#include "settings/settings_catalogue.h"
#include "simlink/sim_ids.h"
#include "traffic/engine_steps.h"
#include "traffic/movement_common.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {

namespace {

constexpr double kFastSpacingNm = 0.2429805615550756;     // 450 m between samples of a fast aircraft
constexpr double kTaxiSpacingNm = 0.010799136069114472;   // 20 m between samples of a taxiing one
constexpr double kTaxiMaxWaitSeconds = 15.0;
constexpr double kNearDegrees = 0.00015;
constexpr double kStandRadiusNm = 0.0458963282937365;     // 85 m
constexpr double kStandLeaveNm = 0.10799136069114472;     // 200 m
constexpr double kCreepStepNm = 0.0016198704103671706;    // 3 m
// Reported positions of a standing aircraft scatter by up to this much: less is never leaving.
constexpr double kStandNoiseNm = 0.0107991360691144708;   // 20 m
constexpr double kRunEndNm = 0.011879049676025918;        // 22 m
constexpr double kStepBackDeg = 120.0;
constexpr int kMaxQueuedSamples = 200;
constexpr int kWeekPasses = 60480000;
// A record further round than this from the newest one's track lies behind it.
constexpr double kBehindDeg = 90.0;
constexpr double kSpeedJumpWithinS = 30.0;
constexpr double kTooSlowToFlyKn = 40.0;
constexpr double kRepeatWithinS = 10.0;
// Records between the ground and the air this close together (passes) are one flicker.
constexpr int kFlickerWithinPasses = 1000;

// Ground turn rate (degrees per pass), largest climb per pass (ft), push-back and pull-out speed (kn).
struct ClassManoeuvre {
    double turnRateDeg;
    double maxClimbFt;
    double pushBackKn;
};
const ClassManoeuvre& lf_manoeuvre(unsigned sizeClass) {
    static const std::unordered_map<unsigned, ClassManoeuvre> table{
        {SIZE_LIGHT, {0.15, 0.5, 5.0}},       {SIZE_BUSINESS_JET, {0.1, 0.75, 4.5}},
        {SIZE_LARGE, {0.07, 0.6, 4.0}},       {SIZE_HEAVY, {0.05, 0.5, 3.0}},
        {SIZE_HIGH_PERF, {0.1, 1.0, 4.5}},    {SIZE_ROTORCRAFT, {0.2, 0.75, 5.0}}};
    return table.at(sizeClass);
}

int lf_tick() { return g_tickCounter.load(std::memory_order_relaxed); }

LatLon lf_current(const LiveAircraft& a) { return {a.position.latitude, a.position.longitude}; }

bool lf_samePosition(const PositionSample& a, const PositionSample& b) {
    return a.latitude == b.latitude && a.longitude == b.longitude;
}

bool lf_altitudeAllowsCreation(const TrafficUpdate& update) {
    const double altitude = update.sample.altitude;
    if (altitude >= 10000.0 || altitude <= 0.0) return true;
    const Airport park = gf_parkAirportCopy();
    const double elevation = park.code.empty() ? -1000.0 : park.alt;
    return std::fabs(altitude - elevation) > 120.0;
}

// Said once per spell of made-up motion; a feed that pauses for everyone at once is bounded.
LogLimiter l_madeUpEndLog("\"records again after made-up motion\"");

// Extrapolated samples end: real data plays again from the next pass.
void lf_endExtrapolation(LiveAircraft& a) {
    if (a.extrapolationCount == 0) return;
    if (!a.samples.empty()) a.samples.front().duePass = lf_tick() + 1;
    a.extrapolationCount = 0;
}

// Where a taxi's made-up way left it, its records that came back may lie beyond its reach: driving at
// most 1.5 times their pace + 5 kn (no faster than any taxi), turning at its class's crawl rate towards
// them and then onto their way, it would not be within 150 m of them half a minute after they fall
// due. It is created again on their way rather than racing or pivoting there.
constexpr double kTaxiRejoinSeconds = 30.0;
constexpr double kTaxiBackWithinM = 150.0;
bool lf_taxiCannotRejoin(LiveAircraft& a) {
    if (!a.onGround || a.underPower || a.landingRoll || a.samples.size() < 2) return false;
    const PositionSample& r = a.samples.back();
    if (r.airborne || r.groundSpeed > movement::kFastestTaxiKn) return false;   // (a roll's, not a taxi's)
    const LatLon here = lf_current(a), there = gf_at(r);
    const double m = gf_distanceNm(here, there) * 1852.0;
    if (!(m > kTaxiBackWithinM)) return false;
    const double way = gf_initialBearing(here, there);
    double turnRad = std::fabs(gf_headingDifference(a.position.heading, way));
    if (gf_trackGiven(r)) turnRad += std::fabs(gf_headingDifference(way, r.track * kDeg2Rad));
    // Their pace: the newest record's speed, or what they covered through the pause if more.
    double kn = std::max(r.groundSpeed, 0.0);
    const auto& run = a.runRecords;
    if (run.size() >= 2 && run.back().time > run[run.size() - 2].time)
        kn = std::max(kn, gf_distanceNm(gf_at(run[run.size() - 2]), gf_at(run.back())) * 3600.0 / (run.back().time - run[run.size() - 2].time));
    const double mps = std::min(1.5 * kn + 5.0, movement::kFastestTaxiKn) * kMpsPerKn;
    const double needS = turnRad * kRad2Deg / gf_motionLimits(a.sizeClass).crawlTurnDegPerS + (m - kTaxiBackWithinM) / mps;
    const double haveS = (r.duePass - lf_tick()) / 100.0 + kTaxiRejoinSeconds;
    if (needS <= haveS) return false;
    // Its record falls due some seconds from now: it is created where that record's pace and track put
    // the real aircraft now, short of it, and drives on to it, not standing there till it is due.
    LatLon at = there;
    const double untilS = std::max(r.duePass - lf_tick(), 0) / 100.0;
    if (gf_trackGiven(r) && r.groundSpeed > 0.0 && untilS > 0.0)
        at = gf_destinationPoint(there, r.track * kDeg2Rad + kPi, r.groundSpeed * kMpsPerKn * untilS / 1852.0 * movement::kFeetPerNm);
    gf_createAgainAtRecords(a, at, vrn::format("its taxi's records came back {:.0f} m away, {:.0f} s of driving", m, needS));
    return true;
}

// A spell of made-up motion ended with this record queued: said once, and in the air the aircraft
// steers back onto the path of its records from where it is.
void lf_madeUpEnds(LiveAircraft& a) {
    if (a.state == STATE_IN_SIM && a.samples.size() >= 2) {
        l_madeUpEndLog.log(vrn::format("{:8}: {:8} records again after {:.0f} s of made-up motion{}, {:.0f} m from it", gf_nowHhMmSs(),
                                       a.callsign, (lf_tick() - a.madeUpFromPass) / 100.0,
                                       a.staleRecords > 0 ? vrn::format(" ({} records with stopped time stamps)", a.staleRecords)
                                                          : std::string(),
                                       gf_distanceNm(lf_current(a), gf_at(a.samples.back())) * 1852.0));
        if (lf_taxiCannotRejoin(a)) return;
        lf_startRejoin(a);
    }
    a.madeUpFromPass = -1;
    a.staleRecords = 0;
    a.refusedRecords = 0;
}

// A record whose own stamp does not follow on from the newest taken (a relay whose stamps stopped, a
// time base moved back) while its position moves on with the time that passed since: a live record
// under a wrong stamp. Its time is then the newest one's plus the seconds since that one came. A
// copy of an old record (a late second sender) lies behind along the way and is not one.
bool lf_liveUnderStaleStamp(const LiveAircraft& a, const PositionSample& s) {
    if (a.lastRecordPass < 0 || a.runRecords.empty()) return false;
    const RunRecord& n = a.runRecords.back();
    const double seconds = (lf_tick() - a.lastRecordPass) / 100.0;
    if (seconds < 1.5 || !(n.knots >= 30.0) || s.airborne != n.airborne) return false;
    const LatLon from{n.latitude, n.longitude};
    const double metres = gf_distanceNm(from, gf_at(s)) * 1852.0;
    const double expected = n.knots * 0.514444 * seconds;
    if (metres < 0.3 * expected || metres > 1.5 * expected + 100.0) return false;
    const double off = movement::trackDifferenceDeg(gf_initialBearing(from, gf_at(s)) * kRad2Deg, n.trackDeg);
    // Ahead along its way, within what it can have turned meanwhile (a way it has, that is).
    return !n.trackKnown || off <= std::min(kBehindDeg, 3.0 * seconds);
}

// A record without a usable track (none given, or 0 without a heading) takes the way from the
// newest record to it, else the newest record's track: 0 would be read as due north.
void lf_trackFromPositions(const LiveAircraft& a, PositionSample& s) {
    if (gf_trackGiven(s) || a.runRecords.empty()) return;
    const RunRecord& n = a.runRecords.back();
    const LatLon from{n.latitude, n.longitude};
    s.track = gf_distanceNm(from, gf_at(s)) * 1852.0 >= 30.0 ? gf_initialBearing(from, gf_at(s)) * kRad2Deg : n.trackDeg;
}

bool lf_tooSlowToFly(const LiveAircraft& a, const PositionSample& s) {
    return s.airborne && a.sizeClass != SIZE_ROTORCRAFT && s.groundSpeed < kTooSlowToFlyKn;
}

void lf_grounded(PositionSample& s) {
    s.airborne = 0;
    s.altitude = 0.0;
    s.verticalSpeed = 0.0;
}

// A ground record of it came within this of `due` (every record heard counts, also one too soon to play).
bool lf_groundRecordNear(const LiveAircraft& a, int due) {
    return std::any_of(a.recordKn.begin(), a.recordKn.end(), [&](const auto& r) {
        return std::isfinite(r.second) && std::abs(r.first - due) <= kFlickerWithinPasses;
    });
}

// An aeroplane on the ground (or whose newest record was, or one of whose records within seconds was)
// reported in the air at a speed no aeroplane flies at: a receiver's glitching altitude, so a ground
// record. Records that flicker so every second leave the ground ones too soon to play: those in the
// air must not carry it up. (A helicopter may hover.)
void lf_groundedIfTooSlowToFly(const LiveAircraft& a, PositionSample& s) {
    if (!lf_tooSlowToFly(a, s)) return;
    const bool down = (a.state == STATE_IN_SIM && a.onGround) || (!a.runRecords.empty() && !a.runRecords.back().airborne) ||
                      lf_groundRecordNear(a, s.duePass);
    if (down) lf_grounded(s);
}

// A slow ground record after slow ones that said it flies: those were the flicker, and the aircraft
// neither shows up in the air nor climbs there, where they are still to play.
void lf_groundQueuedSlowFlight(LiveAircraft& a, const PositionSample& s) {
    if (s.airborne || a.sizeClass == SIZE_ROTORCRAFT || !(s.groundSpeed < kTooSlowToFlyKn)) return;
    const bool shown = a.state == STATE_IN_SIM;
    for (std::size_t i = shown ? 1 : 0; i < a.samples.size(); ++i)
        if (lf_tooSlowToFly(a, a.samples[i]) && std::abs(a.samples[i].duePass - s.duePass) <= kFlickerWithinPasses) lf_grounded(a.samples[i]);
    if (shown) return;
    for (RunRecord& r : a.runRecords)
        if (r.airborne && r.knots < kTooSlowToFlyKn) std::tie(r.airborne, r.altitude) = std::tuple{std::uint8_t{0}, 0.0};
    a.sawAirborne = std::any_of(a.runRecords.begin(), a.runRecords.end(), [](const RunRecord& r) { return r.airborne != 0; });
}

// A slow record that says it flies a few hundred feet above the park airport (the feed keeps such records
// in the air for a helicopter slowing to a hover): an aeroplane there is one on the ground whose receiver
// reads its height wrong, so a ground record, taken only near the park airport as the feed takes them.
// False: the record is dropped.
bool lf_slowAeroplaneNearField(unsigned sizeClass, PositionSample& s) {
    constexpr double kSlowKn = 35.0, kAeroplaneFliesAboveFt = 500.0;
    if (!s.airborne || sizeClass == SIZE_ROTORCRAFT || !(s.groundSpeed <= kSlowKn)) return true;
    const Airport park = gf_parkAirportCopy();
    if (park.code.empty() || !(s.altitude - park.alt <= kAeroplaneFliesAboveFt)) return true;
    s.airborne = 0;
    s.altitude = 0.0;
    s.bank = 0.0;
    s.bankGiven = 0;
    return gf_distanceNm(park.position(), gf_at(s)) <= kGroundRecordRadiusNm;
}

bool lf_finiteRecord(const PositionSample& s) {
    return std::isfinite(s.latitude) && std::isfinite(s.longitude) && std::isfinite(s.groundSpeed) && std::isfinite(s.track);
}

// A record too close in time or space to the newest sample, or an implausible speed jump.
bool lf_tooSoonOrJump(const LiveAircraft& a, const PositionSample& sample, double t) {
    const double t0 = a.lastSampleTime;
    const double dt = t - t0;
    if (t == t0 || dt <= 1.0) return true;
    const double g = sample.groundSpeed;
    const PositionSample& newest = a.samples.back();
    const double g0 = newest.groundSpeed;
    // A speed that jumps is a bad record only beside a recent one: after a long gap (a stand, a
    // pause in coverage) the aircraft may well fly now, and a standing sample must not lock it out.
    if (dt <= kSpeedJumpWithinS) {
        if ((g0 > 5.0 && g >= 10.0 * g0) || (g > 5.0 && g0 >= 10.0 * g)) return true;
        if ((g0 <= 5.0 && g >= 80.0) || (g <= 5.0 && g0 >= 80.0)) return true;
    }
    if (a.extrapolationCount >= 1) return false;
    const double trackDiff = movement::trackDifferenceDeg(sample.track, newest.track);
    if (sample.airborne && g > 120.0 && trackDiff <= 1.0 && kFastSpacingNm / (g / 3600.0) >= dt) return true;
    if (!sample.airborne && g <= 30.0 && trackDiff <= 2.0) {
        const double wait = g > 0.0 ? std::min(kTaxiSpacingNm / (g / 3600.0), kTaxiMaxWaitSeconds) : kTaxiMaxWaitSeconds;
        if (wait >= dt) return true;
    }
    return false;
}

// Ground positions come quantised to some 19 m: an aircraft holding on a taxiway is reported jumping
// back and forth between two points. It never rolls backwards on its own, so a report that steps
// back against its way by no more than that scatter means it stands. Its way: from the last queued
// position clearly apart from the newest, else where it points.
bool lf_stepsBack(const LiveAircraft& a, const PositionSample& s) {
    const PositionSample& newest = a.samples.back();
    if (s.airborne || newest.airborne || gf_distanceNm(gf_at(newest), gf_at(s)) > kStandNoiseNm) return false;
    double way = 0.0;
    const auto apart = std::find_if(a.samples.rbegin(), a.samples.rend(), [&](const PositionSample& p) {
        return gf_distanceNm(gf_at(p), gf_at(newest)) > kCreepStepNm;
    });
    if (apart != a.samples.rend())
        way = gf_initialBearing(gf_at(*apart), gf_at(newest));
    else if (a.state == STATE_IN_SIM && a.onGround)
        way = a.position.heading;
    else
        return false;
    return std::fabs(gf_headingDifference(way, gf_initialBearing(gf_at(newest), gf_at(s)))) > kStepBackDeg * kDeg2Rad;
}

// Standing detection and acceptance of a sample for a moving or new aircraft.
bool lf_acceptPosition(LiveAircraft& a, PositionSample& s) {
    if (a.sizeClass == SIZE_ROTORCRAFT || a.samples.empty()) return true;
    const PositionSample& newest = a.samples.back();
    const bool refusedAirborne = s.airborne || (a.state == STATE_IN_SIM && !a.onGround);
    if (lf_samePosition(s, newest)) {
        if (refusedAirborne) return false;
        if (a.underPower && s.groundSpeed > 0.0 && newest.groundSpeed >= 30.0) return false;
        s.groundSpeed = 0.0;
        s.standing = 1;
        return true;
    }
    if (std::fabs(s.latitude - newest.latitude) <= kNearDegrees &&
        std::fabs(s.longitude - newest.longitude) <= kNearDegrees) {
        if (refusedAirborne) return false;
        if (a.underPower && s.groundSpeed > 0.0 && newest.groundSpeed >= 50.0) return false;
        // Creeping on along its way (into a hold, up to a stop line) it moves: it stops where its records do.
        if (s.groundSpeed >= 1.0 && !lf_stepsBack(a, s)) return true;
        s = newest;
        s.groundSpeed = 0.0;
        s.standing = 1;
        return true;
    }
    if (!refusedAirborne && lf_stepsBack(a, s)) {
        s = newest;
        s.groundSpeed = 0.0;
        s.standing = 1;
        return true;
    }
    if (s.groundSpeed != 0.0 || std::isnan(s.groundSpeed)) return true;
    if (!a.underPower && !s.airborne) return true;
    return newest.groundSpeed < 50.0;
}

// Samples of an aircraft parked at or rolling onto its stand; creeping away is confirmed before
// the aircraft leaves.
bool lf_sampleTiming(LiveAircraft& a, PositionSample& s) {
    const double radius = a.previousPhase == PHASE_STAND_CLEANUP ? 2.0 * kStandRadiusNm : kStandRadiusNm;
    const double d = gf_distanceNm(a.standPosition, gf_at(s));
    a.standSeen = 1;
    bool creepConfirmed = false;
    if (d <= radius) {
        a.timeAtStand = std::chrono::steady_clock::now();
        if (!a.creepStarted) {
            a.creepStarted = 1;
            a.creepReference = d;
            a.creepLargest = d;
            a.creepCount = 0;
            a.leftStand = 0;
            return false;
        }
        if (d >= a.creepLargest + kCreepStepNm) {
            ++a.creepCount;
            a.creepLargest = d;
        } else if (d <= a.creepLargest - kCreepStepNm) {
            a.creepCount = 0;
        }
        // Only a sample that reports motion, beyond the scatter of a standing aircraft, leaves.
        const double moved = d - a.creepReference;
        const bool moving = s.groundSpeed >= 1.0 && moved > kStandNoiseNm;
        creepConfirmed = moving && ((a.creepCount >= 3 && moved >= a.halfWingspanNm / 2.0) || moved > a.halfWingspanNm);
        if (!creepConfirmed) {
            // Once it is seen leaving (its stand wait is over), a report back at the stand is the
            // scatter of a slow start: it waits for its time to set off rather than staying parked.
            if (a.previousPhase != PHASE_AT_STAND) a.leftStand = 0;
            return false;
        }
    } else if (a.phase == PHASE_STAND_CLEANUP) {
        a.previousPhase = PHASE_STAND_CLEANUP;
        a.phase = PHASE_MOVING;
        gf_releaseStand(a);   // it drives on: the stand it was rolling onto is free again
        s.standing = 0;
        return true;
    } else if (d > kStandLeaveNm) {
        if (a.state != STATE_IN_SIM) return true;
        gf_removeLiveAircraft(a, vrn::format("its records lie {:.0f} m from its stand, which it never left", d * 1852.0));
        return false;
    }
    s.standing = 0;
    a.leftStand = 1;
    if (a.previousPhase != PHASE_AT_STAND) {
        lf_restartSamplePlay(a);
        a.previousPhase = a.phase;
        a.phase = PHASE_AT_STAND;
    }
    return true;
}

// The newest queued sample turns back: the way from it to `s` lies more than 90 degrees off the way
// the queue came to it (the nose's where the queue stands still).
bool lf_turnsBackOnItsWay(const LiveAircraft& a, const PositionSample& s) {
    const std::size_t n = a.samples.size();
    const PositionSample& back = a.samples[n - 1];
    if (gf_distanceNm(gf_at(back), gf_at(s)) * 1852.0 < 1.0) return false;
    const PositionSample& before = a.samples[n - 2];
    const double way = gf_distanceNm(gf_at(before), gf_at(back)) * 1852.0 >= 1.0 ? gf_initialBearing(gf_at(before), gf_at(back))
                                                                                 : a.position.heading;
    return std::fabs(gf_headingDifference(way, gf_initialBearing(gf_at(back), gf_at(s)))) >= kPi / 2.0;
}

// Samples on the approach and in the landing roll: turns back against the heading are refused.
bool lf_acceptApproachSample(LiveAircraft& a, PositionSample& s) {
    if (a.samples.empty()) return true;
    if (lf_samePosition(s, a.samples.back())) return false;
    const auto differsBy = [&](const PositionSample& from, double limitDeg) {
        const double bearing = gf_initialBearing(gf_at(from), gf_at(s));
        return std::fabs(gf_headingDifference(a.position.heading, bearing)) >= limitDeg * kDeg2Rad;
    };
    if (a.samples.size() < 2) {
        const PositionSample& oldest = a.samples.front();
        if (a.onApproach && differsBy(oldest, 90.0)) return false;
        if (a.landingRoll && differsBy(oldest, 150.0)) {
            // After made-up motion a ground record behind it is where the real aircraft turned off:
            // it stops, turns round and follows, rather than refusing its records until it is removed.
            if (a.extrapolationCount != 0 && s.airborne) return false;
            PositionSample here = oldest;
            here.latitude = a.position.latitude;
            here.longitude = a.position.longitude;
            here.duePass = lf_tick() + 1;
            a.samples.assign(1, here);
        }
    } else if (lf_turnsBackOnItsWay(a, s)) {
        // The queued records' own way, not the nose: a landing roll's records that turn off and on
        // along the taxiways are its way, however far they turn from the runway's heading.
        a.samples.pop_back();
        if (a.samples.size() >= 2 && lf_turnsBackOnItsWay(a, s)) a.samples.pop_back();
    }
    lf_endExtrapolation(a);
    const PositionSample& newest = a.samples.back();
    if (lf_samePosition(s, newest))
        s.standing = 1;
    else if (s.groundSpeed > newest.groundSpeed && s.groundSpeed > 40.0 && !s.airborne && !lf_rollSpeedsUp(a))
        // A landing roll never speeds up: a faster report is noise. A touch and go's roll does, and climbs.
        s.groundSpeed = newest.groundSpeed;
    return true;
}

// A run of standing samples on the ground is cut short when the aircraft moves again.
void lf_trimStandingRun(LiveAircraft& a, const PositionSample& s) {
    auto& q = a.samples;
    if (s.airborne || q.empty() || !q.back().standing) return;
    if (s.standing) {
        if (std::all_of(q.begin(), q.end(), [](const PositionSample& p) { return p.standing != 0; }))
            q.erase(q.begin() + 1, q.end());
        return;
    }
    const int size = static_cast<int>(q.size());
    for (int k = 3; k <= 7 && k - 1 <= size; ++k) {
        const PositionSample& lastMoving = q[static_cast<std::size_t>(size - (k - 1))];
        if (lastMoving.standing) continue;
        const bool longStop = q.back().duePass - lastMoving.duePass >= 1500 &&
                              gf_distanceNm(gf_at(lastMoving), gf_at(s)) > kRunEndNm;
        if (!longStop) q.erase(q.end() - (k - 2), q.end());
        return;
    }
}

// An aircraft reported again and again at one position while airborne and moving is refused every
// time (it would hang in the air): never created, it would never be heard of. Said once per aircraft.
std::unordered_set<std::uint32_t> l_heldInTheAir;
constexpr std::size_t kHeldInTheAirRemembered = 4096;
// A flood of such aircraft must not fill the log: bounded as the readers' lines are.
LogLimiter l_heldInTheAirLog("\"not shown until it moves\"");

void lf_sayHeldInTheAir(const LiveAircraft& a, const PositionSample& s) {
    if (a.samples.size() != 1 || !s.airborne || !lf_samePosition(s, a.samples.back())) return;
    if (l_heldInTheAir.size() >= kHeldInTheAirRemembered) l_heldInTheAir.clear();
    if (!l_heldInTheAir.insert(a.aircraftId).second) return;
    l_heldInTheAirLog.log(vrn::format("===> {} reported at one position while airborne at {:.0f} kn: not shown until it moves",
                                      gf_flightToText(a), s.groundSpeed));
}

// Files an accepted sample by the aircraft's phase.
void lf_pushPosition(LiveAircraft& a, PositionSample s) {
    if (static_cast<int>(a.samples.size()) > kMaxQueuedSamples) {
        const std::string why = vrn::format("its queue is full ({} records not yet played)", a.samples.size());
        if (a.state == STATE_NEW) {
            gf_logLine(vrn::format("{:8}: {:8} given up before it was shown: {}", gf_nowHhMmSs(), a.callsign, why));
            a.removeMark = 1;
        } else {
            gf_removeLiveAircraft(a, why);
        }
        return;
    }
    switch (a.phase) {
    case PHASE_NEW:
        if (!lf_acceptPosition(a, s)) {
            lf_sayHeldInTheAir(a, s);
            return;
        }
        if (!a.samples.empty() && s.duePass <= a.samples.back().duePass) s.duePass = a.samples.back().duePass + 1;
        a.samples.push_back(s);
        return;
    case PHASE_STAND_CLEANUP:
    case PHASE_AT_STAND:
        if (a.state == STATE_NEW || a.state == STATE_CREATION_REQUESTED) return;
        if (!lf_sampleTiming(a, s)) return;
        break;
    case PHASE_PUSHING_BACK: {
        if (a.pushBackStage != 2) return;
        double heading = s.heading;
        if (!s.headingGiven) {
            if (s.track == 0.0) return;
            heading = s.track * kDeg2Rad;
        }
        a.turnRight = gf_headingDifference(a.position.heading, heading) > 0.0 ? 1 : 0;
        a.turnSideKnown = 1;
        return;
    }
    case PHASE_LEAVING_STAND: {
        const double d = gf_distanceNm(lf_current(a), gf_at(s));
        const double h = a.halfWingspanNm;
        if (!((d > 2.75 * h && d > a.largestLeavingDistance) || d > 6.0 * h)) {
            a.largestLeavingDistance = std::max(a.largestLeavingDistance, d);
            return;
        }
        s.standing = 0;
        lf_endExtrapolation(a);
        a.turnSideKnown = 0;
        a.turnRight = 0;
        a.pushBackStage = 0;
        a.previousPhase = a.phase;
        a.phase = PHASE_MOVING;
        break;
    }
    default:
        if (a.onApproach || a.landingRoll) {
            if (!lf_acceptApproachSample(a, s)) return;
        } else {
            if (!lf_acceptPosition(a, s)) return;
            // Wherever the made-up flight took it, the aircraft steers back onto its records' path from
            // where it is.
            if (a.extrapolationCount != 0) lf_endExtrapolation(a);
        }
        break;
    }
    lf_trimStandingRun(a, s);
    if (!a.samples.empty() && a.samples.back().duePass >= s.duePass) s.duePass = a.samples.back().duePass + 1;
    a.samples.push_back(s);
    if (a.extrapolationCount == 0 && a.madeUpFromPass >= 0) lf_madeUpEnds(a);
    if (a.samples.size() == 2 && a.samples.front().standing && !s.standing) {
        a.samples.front().duePass = lf_tick() + 1;
        a.samples.front().groundSpeed = s.groundSpeed;
    }
}

bool lf_acceptUpdate(const TrafficUpdate& update, LiveAircraft& a) {
    if (update.hexid != a.aircraftId) return false;
    // Records it had replaced in the queue: flown all the same (a second sender's late copy of one is none to follow).
    for (std::size_t i = 0; i < update.passedOverCount; ++i) lf_noteFlown(a, update.passedOver[i].lat, update.passedOver[i].lon);
    if (a.state == STATE_TO_RECREATE || a.state == STATE_REMOVING || a.removeMark) return true;
    PositionSample sample = update.sample;
    double stamp = update.timeStamp;
    if (!lf_slowAeroplaneNearField(a.sizeClass, sample)) return true;
    lf_trackFromPositions(a, sample);
    lf_groundedIfTooSlowToFly(a, sample);
    lf_groundQueuedSlowFlight(a, sample);
    if (!a.samples.empty() && stamp <= a.lastSampleTime + 1.0 && lf_liveUnderStaleStamp(a, sample))
        stamp = a.lastSampleTime + (lf_tick() - a.lastRecordPass) / 100.0;
    // Every record newer than the last heard holds its taxi pace, also one too soon to play or refused.
    if (a.samples.empty() || stamp > a.lastSampleTime) lf_noteRecordKn(a, sample);
    if (!a.samples.empty() && lf_tooSoonOrJump(a, sample, stamp)) {
        // A record a second after the last is not played, but the ground phase hears of it: a roll's
        // records a second apart that slow and end would otherwise show it one slow record only. So are
        // the flying records thinned out along a straight way: their climb is what a made-up climb-out
        // goes on with.
        if (stamp > a.lastSampleTime && lf_finiteRecord(sample)) {
            if (stamp - a.lastSampleTime <= 1.0 && a.onGround && !sample.airborne) {
                lf_noteRecord(a, stamp, sample);
                lf_judgeGroundPhase(a);
            } else if (sample.airborne && (a.runRecords.empty() || stamp > a.runRecords.back().time)) {
                lf_noteRecord(a, stamp, sample);
            }
        }
        // Counted while made-up motion lasts: records that move on under a stamp that does not.
        const bool moved = !a.runRecords.empty() && (sample.latitude != a.runRecords.back().latitude ||
                                                    sample.longitude != a.runRecords.back().longitude);
        if ((a.madeUpFromPass >= 0 || a.rejoining) && stamp <= a.lastSampleTime + 1.0 && moved) ++a.staleRecords;
        return true;
    }
    if (a.state == STATE_NEW && !lf_altitudeAllowsCreation(update)) return true;
    // A second sender's late copy under a stamp that looks new (the feed's clock moved when only the
    // copies were left): its position is one the aircraft has already flown, and is never followed.
    // (One at its newest position soon after it is a repeat, which the standing rules judge; the copy
    // of its last record, a late sender's lag after it, would take it back there.)
    const auto newest = [&](const RunRecord& r) {
        return r.airborne && r.latitude == sample.latitude && r.longitude == sample.longitude && stamp - r.time <= kRepeatWithinS;
    };
    if (sample.airborne && a.state == STATE_IN_SIM && a.sizeClass != SIZE_ROTORCRAFT && !a.runRecords.empty() &&
        !newest(a.runRecords.back()) && lf_flownBefore(a, sample.latitude, sample.longitude)) {
        if (a.madeUpFromPass >= 0 || a.rejoining) ++a.refusedRecords;
        return true;
    }
    if (!lf_flightDataChange(a, update.flight)) return true;
    a.lastSampleTime = stamp;
    a.lastRecordPass = lf_tick();
    lf_noteRecord(a, stamp, sample);
    const bool madeUp = a.madeUpFromPass >= 0;
    const std::size_t queued = a.samples.size();
    const int newestDue = a.samples.empty() ? 0 : a.samples.back().duePass;
    lf_pushPosition(a, sample);
    // Still on made-up motion with the queue as it was: the record was not taken.
    if (madeUp && a.madeUpFromPass >= 0 && a.samples.size() == queued && (a.samples.empty() || a.samples.back().duePass == newestDue))
        ++a.refusedRecords;
    lf_judgeGroundPhase(a);
    if (lf_fliesAgain(a)) {
        // Created again where its records fly, rather than held on the ground or lifted off its stand.
        gf_removeLiveAircraft(a, "it flies again with no take-off in its records: created anew in the air");
    }
    return true;
}

void lf_fillLiveAircraft(const TrafficUpdate& update, Flight flight) {
    const unsigned sizeClass = gf_sizeClass(flight.model);
    if ((sizeClass == SIZE_LIGHT && !LIGHT_AIRCRAFT.get()) || (sizeClass == SIZE_HIGH_PERF && !HIGH_PERF_AIRCRAFT.get()) ||
        (sizeClass == SIZE_ROTORCRAFT && !HELICOPTERS.get()))
        return;
    TrafficUpdate taken = update;
    if (!lf_slowAeroplaneNearField(sizeClass, taken.sample) || !lf_altitudeAllowsCreation(taken)) return;
    flight.knownCallsign = flight.callsign;
    flight.coupledCallsign.clear();
    flight.coupledSearchDone = false;
    Aircraft aircraft(flight);
    aircraft.sizeClass = sizeClass;
    aircraft.aircraftId = update.hexid;
    const ClassManoeuvre& m = lf_manoeuvre(sizeClass);
    aircraft.groundTurnRate = m.turnRateDeg * kDeg2Rad;
    aircraft.maxClimbPerPass = m.maxClimbFt;
    aircraft.pushBackSpeed = m.pushBackKn;
    g_liveAircraft.emplace_back(aircraft, taken.sample, taken.timeStamp);
}

void createLiveAircraft(const TrafficUpdate& update) {
    Flight flight = update.flight;
    if (flight.model.empty()) flight.model = gf_typeOfReg(flight.registration);
    if (!gf_isValidModel(flight.model)) {
        std::string registered = gf_typeOfReg(flight.registration);
        if (registered.empty()) return;
        flight.model = std::move(registered);
    }
    lf_fillLiveAircraft(update, std::move(flight));
}

}  // namespace

void lf_restartSamplePlay(LiveAircraft& a) {
    const int tick = lf_tick();
    if (a.extrapolationCount != 0 && !a.samples.empty()) {
        if (a.phase == PHASE_AT_STAND && a.shortStayCheck) {
            int elapsed = tick - a.samples.front().duePass;
            if (elapsed < 0) elapsed += kWeekPasses;
            const int limit = a.sizeClass == SIZE_HEAVY ? 360000
                              : a.sizeClass == SIZE_LARGE ? 150000
                              : a.sizeClass == SIZE_BUSINESS_JET ? 90000 : 0;
            if (elapsed < limit) a.shortStay = a.towing = 1;   // leaving again so soon: it is towed
            a.shortStayCheck = 0;
        }
        a.samples.front().duePass = tick + 1;
    }
    a.extrapolationCount = 0;
    const DaySlot now = g_currentDaySlot.load();
    // Leaving: the half hours since the arrival are filled in and the stay is closed.
    if (!a.airline.empty() && a.standId != 0 &&
        gf_recordStandUse(static_cast<std::uint32_t>(a.standId), a, true, now, true) != 0)
        gf_rememberStandUseSlot(a.aircraftId, now);
    gf_releaseStand(a);   // a reservation this aircraft made on parking ends with it
}

void processLiveUpdate(const TrafficUpdate& update) {
    // (The id compared here: the search over every aircraft stays a tight loop, not a call each.)
    for (LiveAircraft& a : g_liveAircraft)
        if (a.aircraftId == update.hexid && lf_acceptUpdate(update, a)) return;
    if (update.flight.callsign.empty() || g_liveAircraft.empty()) {
        createLiveAircraft(update);
        return;
    }
    for (const LiveAircraft& a : g_liveAircraft)
        if (a.callsign == update.flight.callsign && a.model == update.flight.model) return;
    createLiveAircraft(update);
}

}  // namespace vrn
