// The phase of an aircraft on the ground, and what each phase does to its motion when its records
// end or pause. Phases come from the aircraft's history of real records, never from one record:
// receivers give stray records (a speed that reads fast or slow, a track a few degrees off, an
// altitude that reads 150 ft above the field), one or two at a time.
//
//   phase                      begins when                                  made-up motion
//   taxi, landing roll         (the simulator's touchdown starts the roll)  brakes evenly to a stop, every second
//   take-off roll              a roll seen at two records in a row; or      speeds up every second at the roll's
//     (`underPower`)           flying records after one; or a go-around     own rate along its fitted line, to its
//                                                                           class's lift-off speed, then climbs
//   gave up the take-off       three records in a row slower than the       brakes as a taxi
//     (`rejectedTakeoff`)      roll's top, turned off or off its line
//
// A roll seen is records on the ground along one heading speeding up through take-off roll speed.
// An aircraft that touched down (`landed`) or gave up a take-off rolls for take-off only when such a
// roll starts anew below 60 kn; in its landing roll it goes around only on two flying records in a
// row when it never slowed below 60 kn since the touchdown. An airborne record slower than most of
// its class's lift-off speed is an altitude that glitches, not flight.
// Run thread, inside the traffic pass and the movement step.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <vector>

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
// Made-up taxiing goes on for two minutes at most: longer than coverage on the ground pauses.
constexpr int kMadeUpTaxiPasses = 12000;
constexpr double kRollOutBrakesAboveKn = 40.0;   // then more gently, as a taxi brakes
// Through a pause of its records a taxi goes on at their last pace; where they were slowing it eases
// off from it to a crawl, never to a stop they did not show. Cut into every recorded taxi (60-s
// pauses), that kept nearer the real aircraft than holding the pace throughout (median 57 m, 90th
// percentile 161 m against 57 / 189) or standing where they slowed (168 / 265 over all cuts).
constexpr double kSlowingKnPerS = 0.3;   // beyond their speeds' scatter over the seconds between them
constexpr double kEaseKnPerS = 0.5, kMadeUpCrawlKn = 3.0;
constexpr double kRollGainKn = 15.0;
constexpr double kRollSeconds = 3.0;
constexpr double kRollAccelerationKnPerS = 1.5;
constexpr double kRollHeadingDeg = 10.0;
constexpr double kGiveUpSlowerKn = 8.0;      // clearly slower than the roll's top: beyond the scatter
constexpr double kGiveUpHeadingDeg = 15.0;
constexpr double kGiveUpOffLineM = 60.0;
constexpr std::size_t kGiveUpRecords = 3;    // one or two stray records never end a roll
// Ground positions come quantised to some 19 m: a shorter roll takes its line from its tracks.
constexpr double kLineFromPositionsM = 500.0;
constexpr std::size_t kGoAroundRollRecords = 10;
constexpr double kTouchAndGoGainKn = 2.0 * kRollGainKn;
// Speeding up on a made-up take-off roll, knots a second: the roll's own rate within what engines give.
constexpr double kTakeoffKnPerS = 4.0;
constexpr double kLeastTakeoffKnPerS = 1.5;
constexpr double kMostTakeoffKnPerS = 5.0;
constexpr double kMetresPerDegree = 60.0 * 1852.0;

bool lf_mustRollAnew(const LiveAircraft& a) { return a.landed || a.rejectedTakeoff; }

// An airborne record at a speed the aircraft can fly at.
bool lf_flying(const LiveAircraft& a, const RunRecord& r) {
    return r.airborne && (a.sizeClass == SIZE_ROTORCRAFT || r.knots >= movement::kFlyingShareOfLiftOff * lf_liftOffKn(a));
}

// Metres a position lies beside the line of the take-off roll.
double lf_offRollLine(const LiveAircraft& a, const LatLon& p) {
    const double d = gf_distanceNm(a.rollPoint, p);
    if (!(d > 0.0)) return 0.0;
    return std::fabs(d * 1852.0 * std::sin(gf_headingDifference(a.rollTrackDeg * kDeg2Rad, gf_initialBearing(a.rollPoint, p))));
}

// Gives up the roll: the aircraft slows down and taxies; it takes off only after a roll seen anew.
void lf_giveUpTakeoff(LiveAircraft& a, const char* why) {
    a.underPower = 0;
    a.rejectedTakeoff = 1;
    gf_setThrottle(a, a.sizeClass == SIZE_ROTORCRAFT ? 4 : 0);
    if (LOG.get()) gf_logLine(vrn::format("{:8}: {:8} take-off roll ended: {}", gf_nowHhMmSs(), a.callsign, why));
}

// Why the take-off roll under way ends at this record, or nothing.
const char* lf_rollEndsAt(const LiveAircraft& a, const RunRecord& r) {
    if (r.knots < a.rollTopKn - kGiveUpSlowerKn) return "it slows down";
    if (movement::trackDifferenceDeg(r.trackDeg, a.rollTrackDeg) > kGiveUpHeadingDeg && r.knots >= 1.0) return "it turns off";
    if (lf_offRollLine(a, gf_at(r)) > kGiveUpOffLineM) return "it leaves the runway's line";
    return nullptr;
}

constexpr double kAnyStartKn = 1e9;

// The first record of a roll in the history ending with its ground record `end` that speeds up along
// one heading by `gainKn` or more to `reachKn`, from below `startBelowKn`; r.size() when there is none.
std::size_t lf_rollStartFor(const std::deque<RunRecord>& r, std::size_t end, double reachKn, double startBelowKn,
                            double gainKn = kRollGainKn) {
    const std::size_t none = r.size();
    if (end >= r.size() || end < 2 || r[end].airborne) return none;
    const RunRecord& newest = r[end];
    if (!(newest.knots >= reachKn)) return none;
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
    if (end - slowest < 2 || !(seconds >= kRollSeconds) || !(gain >= gainKn) || gain / seconds < kRollAccelerationKnPerS)
        return none;
    return start.knots < startBelowKn ? slowest : none;
}

// A roll seen at its two newest records, ending with `end`: the one before it reaches `throughKn`
// within the scatter of reported speeds, so that one record that reads fast makes no roll.
std::size_t lf_rollSeenAt(const std::deque<RunRecord>& r, std::size_t end, double throughKn, double startBelowKn) {
    const std::size_t start = lf_rollStartFor(r, end, throughKn, startBelowKn);
    return start != r.size() && lf_rollStartFor(r, end - 1, throughKn - kRollSpeedScatterKn, startBelowKn) != r.size() ? start
                                                                                                                       : r.size();
}

// A roll for take-off seen ending at the ground record `end`: through take-off roll speed, or for an
// aircraft that landed or gave up a take-off, anew from below 60 kn.
std::size_t lf_takeoffRollStart(const LiveAircraft& a, std::size_t end) {
    return lf_mustRollAnew(a) ? lf_rollSeenAt(a.runRecords, end, kRollFromLandedKn, kRollFromLandedKn)
                              : lf_rollSeenAt(a.runRecords, end, kTakeoffRollKn, kAnyStartKn);
}

// In its landing roll it never slowed below 60 kn since it touched down: flying records then are a
// go-around (or a touch and go). Slow airborne records count as ground ones; one or two slow stray
// records are outvoted.
bool lf_neverSlowedSinceTouchdown(const LiveAircraft& a, std::size_t lastGround) {
    std::size_t slow = 0, fast = 0;
    for (std::size_t i = lastGround + 1; i-- > 0 && !lf_flying(a, a.runRecords[i]);)
        ++(a.runRecords[i].knots < kRollFromLandedKn ? slow : fast);
    return fast > slow && slow <= 2;
}

// The airborne record `i` flies off the roll the record before it was on, where records come seldom
// (some seconds apart): ahead along its track, and the way between them covered at a roll's pace; the
// one before on the ground (or flagged airborne too slow to fly) beyond any taxi's speed, or the two
// speeding up as a take-off roll does.
bool lf_fliesOffAfter(const LiveAircraft& a, std::size_t i) {
    constexpr double kMostSecondsApart = 25.0;   // records 20 s apart, give or take a feed's own spacing
    constexpr double kLeastShareOfMeanKn = 0.75;
    if (i == 0 || i >= a.runRecords.size()) return false;
    const RunRecord& g = a.runRecords[i - 1];
    const RunRecord& f = a.runRecords[i];
    const double seconds = f.time - g.time;
    if (!f.airborne || lf_flying(a, g) || !(seconds > 0.0) || seconds > kMostSecondsApart) return false;
    const double gain = f.knots - g.knots;
    const bool rolling = g.knots >= movement::kFlyingShareOfLiftOff * lf_liftOffKn(a) ||
                         (f.knots >= kRollFromLandedKn && gain >= kRollGainKn && gain / seconds >= kRollAccelerationKnPerS);
    const double nm = gf_distanceNm(gf_at(g), gf_at(f));
    const double bearingDeg = gf_initialBearing(gf_at(g), gf_at(f)) * kRad2Deg;
    return rolling && movement::trackDifferenceDeg(f.trackDeg, g.trackDeg) <= kRollHeadingDeg &&
           movement::trackDifferenceDeg(bearingDeg, g.trackDeg) <= kRollHeadingDeg &&
           nm * 3600.0 / seconds >= kLeastShareOfMeanKn * (g.knots + f.knots) / 2.0;
}

// The roll before the record `last`: the records not flying along its heading.
std::size_t lf_rollBefore(const LiveAircraft& a, std::size_t last) {
    const auto& r = a.runRecords;
    std::size_t start = last;
    while (start > 0 && last - start < kGoAroundRollRecords && !lf_flying(a, r[start - 1]) &&
           movement::trackDifferenceDeg(r[start - 1].trackDeg, r[last].trackDeg) <= kRollHeadingDeg)
        --start;
    return start;
}

// The first record of the take-off its records show, or runRecords.size() when they show none.
std::size_t lf_takeoffSeen(const LiveAircraft& a) {
    const auto& r = a.runRecords;
    const std::size_t n = r.size(), none = n;
    std::size_t flying = 0;
    while (flying < n && lf_flying(a, r[n - 1 - flying])) ++flying;
    if (flying == 0) {
        if (n >= 2 && !lf_mustRollAnew(a) && lf_fliesOffAfter(a, n - 1)) return lf_rollBefore(a, n - 2);
        if (n < 2 || r[n - 1].airborne) return none;
        return lf_takeoffRollStart(a, n - 1);
    }
    // Only flying records: a feed that begins in the air; for an aircraft that has landed since, they
    // are the approach before its touchdown.
    if (flying == n) return flying >= 2 && !a.landed ? 0 : none;
    // Flying after a roll seen to its last ground record; or two flying records in a row.
    const std::size_t lastGround = n - 1 - flying;
    if (const std::size_t start = lf_takeoffRollStart(a, lastGround); start != none) return start;
    // A touch and go: its roll never slowed below 60 kn and sped up by more than touch-down scatter.
    const bool goesAround = a.landed && a.landingRoll && lf_neverSlowedSinceTouchdown(a, lastGround);
    if (goesAround) {
        if (const std::size_t start = lf_rollStartFor(r, lastGround, kTakeoffRollKn, kAnyStartKn, kTouchAndGoGainKn); start != none)
            return start;
    }
    if ((flying < 2 && !lf_fliesOffAfter(a, lastGround + 1)) || a.rejectedTakeoff || (a.landed && !goesAround)) return none;
    // The roll before them: its ground records along the last one's heading.
    return lf_rollBefore(a, lastGround);
}

// The roll's top speed: the third fastest of its records, so that one or two that read fast do not
// make the next ones look slower.
void lf_noteRollSpeed(LiveAircraft& a, double kn) {
    auto& f = a.rollFastestKn;
    if (!(kn > f.back())) return;
    f.back() = kn;
    std::sort(f.begin(), f.end(), std::greater<>());
    a.rollTopKn = f.back();
}

// The roll's line fitted to the positions of its ground records (along their median track while the
// roll is short), and its rate of speeding up.
void lf_fitRoll(LiveAircraft& a) {
    const RunRecord* last = nullptr;
    double sx = 0.0, sy = 0.0, sxx = 0.0, syy = 0.0, sxy = 0.0, ce = 0.0, cn = 0.0;
    double st = 0.0, sv = 0.0, stt = 0.0, stv = 0.0;
    int k = 0;
    const RunRecord* first = nullptr;
    std::vector<double> tracks;
    // Records below take-off roll speed (lining up, their tracks least sure) count only while the
    // roll has no faster one.
    const auto ofRoll = [&](const RunRecord& r) { return !r.airborne && r.time >= a.rollSince; };
    const bool fastOnly = std::any_of(a.runRecords.begin(), a.runRecords.end(),
                                      [&](const RunRecord& r) { return ofRoll(r) && r.knots >= kTakeoffRollKn; });
    for (const RunRecord& r : a.runRecords) {
        if (!ofRoll(r) || (fastOnly && r.knots < kTakeoffRollKn)) continue;
        if (!first) first = &r;
        last = &r;
        const double x = movement::longitudeDelta(first->longitude, r.longitude) * std::cos(first->latitude * kDeg2Rad) * kMetresPerDegree;
        const double y = (r.latitude - first->latitude) * kMetresPerDegree;
        const double t = r.time - first->time;
        sx += x, sy += y, sxx += x * x, syy += y * y, sxy += x * y;
        ce += std::sin(r.trackDeg * kDeg2Rad), cn += std::cos(r.trackDeg * kDeg2Rad);
        tracks.push_back(r.trackDeg * kDeg2Rad);
        st += t, sv += r.knots, stt += t * t, stv += t * r.knots;
        ++k;
    }
    if (k == 0) {
        a.rollPoint = gf_at(a.runRecords.back());
        a.rollTrackDeg = a.runRecords.back().trackDeg;
        a.rollKnPerS = kTakeoffKnPerS;
        return;
    }
    const double mx = sx / k, my = sy / k;
    // The median track, so that the record of a turn onto the runway does not pull it.
    const double mean = std::atan2(ce, cn);
    for (double& t : tracks) t = gf_headingDifference(mean, t);
    std::nth_element(tracks.begin(), tracks.begin() + static_cast<std::ptrdiff_t>(tracks.size() / 2), tracks.end());
    const double track = mean + tracks[tracks.size() / 2];
    double way = track;
    if (k >= 3 && gf_distanceNm(gf_at(*first), gf_at(*last)) * 1852.0 >= kLineFromPositionsM) {
        // The principal axis of the positions, pointing along the records' tracks.
        const double axis = 0.5 * std::atan2(2.0 * (sxy - k * mx * my), (sxx - k * mx * mx) - (syy - k * my * my));
        way = std::atan2(std::cos(axis), std::sin(axis));   // a bearing from east-north
        if (std::fabs(gf_headingDifference(way, track)) > kPi / 2.0) way += kPi;
    }
    a.rollTrackDeg = std::fmod(way * kRad2Deg + 720.0, 360.0);
    a.rollPoint = {first->latitude + my / kMetresPerDegree,
                   movement::normalLongitude(first->longitude + mx / (std::cos(first->latitude * kDeg2Rad) * kMetresPerDegree))};
    const double spread = stt - st * st / k;
    const double rate = k >= 3 && spread > 0.0 ? (stv - st * sv / k) / spread : 0.0;
    a.rollKnPerS = rate >= kLeastTakeoffKnPerS ? std::min(rate, kMostTakeoffKnPerS) : kTakeoffKnPerS;
}

// It rolls for take-off from the record `start` on.
void lf_takeRoll(LiveAircraft& a, std::size_t start) {
    a.rollSince = a.runRecords[start].time;
    a.rollFastestKn = {};
    for (std::size_t i = start; i < a.runRecords.size(); ++i)
        if (!a.runRecords[i].airborne) lf_noteRollSpeed(a, a.runRecords[i].knots);
    lf_fitRoll(a);
    a.landed = 0;
    a.rejectedTakeoff = 0;
}

// The roll's newest three ground records each slower than the one before, by more than reported speeds
// scatter in all: its brakes, whatever its top (which its third fastest record gives, below a peak it
// reached once). No recorded take-off roll slows so even once.
bool lf_slowsSteadily(const LiveAircraft& a) {
    constexpr double kSlowerEachKn = 1.0;
    std::array<double, kGiveUpRecords> kn{};
    std::size_t k = 0;
    for (auto r = a.runRecords.rbegin(); r != a.runRecords.rend() && k < kn.size() && r->time >= a.rollSince; ++r)
        if (!r->airborne) kn[k++] = r->knots;   // newest first
    if (k < kn.size() || !(kn.back() - kn.front() >= kRollSpeedScatterKn)) return false;
    for (std::size_t i = 1; i < k; ++i)
        if (!(kn[i - 1] < kn[i] - kSlowerEachKn)) return false;
    return true;
}

// Under power on the ground: the newest ground record joins the roll, or, with the two before it,
// shows that the records that gave the power are not borne out.
void lf_followRoll(LiveAircraft& a) {
    const RunRecord& newest = a.runRecords.back();
    if (newest.airborne) return;
    if (lf_slowsSteadily(a)) {
        lf_giveUpTakeoff(a, "it slows down");
        return;
    }
    const char* why = nullptr;
    std::size_t saying = 0;
    for (auto r = a.runRecords.rbegin(); r != a.runRecords.rend() && saying < kGiveUpRecords && r->time >= a.rollSince; ++r) {
        if (r->airborne) continue;
        const char* w = lf_rollEndsAt(a, *r);
        if (!w) break;
        if (!why) why = w;
        ++saying;
    }
    if (saying == kGiveUpRecords) {
        lf_giveUpTakeoff(a, why);
        return;
    }
    if (lf_rollEndsAt(a, newest)) return;   // a stray record neither moves the line nor raises the top
    lf_noteRollSpeed(a, newest.knots);
    lf_fitRoll(a);
}

}  // namespace

double lf_liftOffKn(const LiveAircraft& a) {
    switch (a.sizeClass) {
    case SIZE_LIGHT:
    case SIZE_ROTORCRAFT: return 60.0;
    case SIZE_BUSINESS_JET:
    case SIZE_HIGH_PERF: return 120.0;
    case SIZE_HEAVY: return 150.0;
    default: return 140.0;
    }
}

bool lf_rollSpeedsUp(const LiveAircraft& a) {
    return !a.runRecords.empty() &&
           lf_rollStartFor(a.runRecords, a.runRecords.size() - 1, kTakeoffRollKn, kAnyStartKn) != a.runRecords.size();
}

bool lf_recordsRollForTakeoff(const std::deque<RunRecord>& records) {
    return !records.empty() && lf_rollSeenAt(records, records.size() - 1, kTakeoffRollKn, kAnyStartKn) != records.size();
}

namespace {

constexpr std::uint32_t kFlownKept = 128;   // two minutes of records a second apart

std::uint64_t lf_positionKey(double latitude, double longitude) {
    return std::bit_cast<std::uint64_t>(latitude) * 0x9E3779B97F4A7C15ull ^ std::bit_cast<std::uint64_t>(longitude);
}

}  // namespace

bool lf_flownBefore(const LiveAircraft& a, double latitude, double longitude) {
    return std::find(a.flownPositions.begin(), a.flownPositions.end(), lf_positionKey(latitude, longitude)) != a.flownPositions.end();
}

void lf_noteFlown(LiveAircraft& a, double latitude, double longitude) {
    const std::uint64_t key = lf_positionKey(latitude, longitude);
    if (a.flownPositions.size() < kFlownKept)
        a.flownPositions.push_back(key);
    else
        a.flownPositions[a.flownNext] = key;
    a.flownNext = (a.flownNext + 1) % kFlownKept;
}

void lf_noteRecord(LiveAircraft& a, double time, const PositionSample& s) {
    if (s.airborne) lf_noteFlown(a, s.latitude, s.longitude);
    const RunRecord r{time, s.groundSpeed, s.track, s.latitude, s.longitude, s.airborne,
                      static_cast<std::uint8_t>(gf_trackGiven(s)), s.altitude};
    if (!r.airborne)
        a.rollReadsFt = std::numeric_limits<double>::quiet_NaN();
    else if (!a.runRecords.empty() && !a.runRecords.back().airborne && r.knots >= kTakeoffRollKn && !lf_flying(a, r))
        a.rollReadsFt = r.altitude;
    if (!a.runRecords.empty() && !lf_flying(a, r) && !lf_flying(a, a.runRecords.back()) && a.sawAirborne) a.landed = 1;   // touched down
    a.runRecords.push_back(r);
    while (a.runRecords.size() > kRunRecordsKept) a.runRecords.pop_front();
    if (lf_flying(a, r)) a.sawAirborne = 1;
}

void lf_judgeGroundPhase(LiveAircraft& a) {
    if (a.state != STATE_IN_SIM || !a.onGround || a.runRecords.empty()) return;
    if (a.underPower) {
        lf_followRoll(a);
        return;
    }
    const bool goAround = a.landingRoll != 0;
    if (!goAround && a.phase != PHASE_MOVING) return;
    const std::size_t start = lf_takeoffSeen(a);
    if (start >= a.runRecords.size()) return;
    lf_takeRoll(a, start);
    if (!goAround) {
        lf_towedTakesOff(a);
        return;
    }
    a.phase = PHASE_MOVING;
    lf_powerUp(a, 3, true);
}

void lf_judgeAtRecordsEnd(LiveAircraft& a) {
    const auto& r = a.runRecords;
    const std::size_t n = r.size();
    if (a.state != STATE_IN_SIM || !a.onGround || n < 3 || r[n - 1].airborne || r[n - 2].airborne) return;
    const RunRecord& newest = r[n - 1];
    const RunRecord& before = r[n - 2];
    if (a.underPower) {
        // No third record will come to end the roll: two that slow clearly below its top do.
        // (One-second records reach the roll every other second: the record before may be the one
        // that first slowed, already below the top but not yet clearly.)
        const double slow = a.rollTopKn - kGiveUpSlowerKn;
        const bool slowing = before.knots < slow || (before.knots < a.rollTopKn - kRollSpeedScatterKn && newest.knots < before.knots - kRollSpeedScatterKn);
        if (newest.time >= a.rollSince && newest.knots < slow && slowing && newest.knots <= before.knots)
            lf_giveUpTakeoff(a, "its records end as it slows down");
        return;
    }
    if (a.phase != PHASE_MOVING || a.landingRoll) return;
    // Nor a second record to confirm a roll speeding up: its newest record shows it, and the one before
    // is already as fast as a taxi goes at most.
    const bool anew = lf_mustRollAnew(a);
    const double through = anew ? kRollFromLandedKn : kTakeoffRollKn;
    std::size_t start = lf_rollStartFor(r, n - 1, through, anew ? kRollFromLandedKn : kAnyStartKn);
    if (start == n || before.knots < movement::kFastestTaxiKn) {
        // Or, after a gap in coverage, one record already well beyond any taxi's speed, faster than
        // the one before.
        if (anew || !(newest.knots >= kTakeoffRollKn + kRollSpeedScatterKn) || newest.knots <= before.knots) return;
        start = n - 1;
    }
    lf_takeRoll(a, start);
    if (LOG.get()) gf_logLine(vrn::format("{:8}: {:8} its records end on a take-off roll at {:.0f} kn", gf_nowHhMmSs(), a.callsign, newest.knots));
    lf_towedTakesOff(a);
}

bool lf_fliesAgain(const LiveAircraft& a) {
    const auto& r = a.runRecords;
    const std::size_t n = r.size();
    return a.state == STATE_IN_SIM && a.onGround && !a.underPower && a.phase != PHASE_AFTER_TAKEOFF && n >= 2 && lf_flying(a, r[n - 1]) &&
           lf_flying(a, r[n - 2]) && lf_takeoffSeen(a) == n;
}

double lf_madeUpGroundKn(const LiveAircraft& a, double v, double seconds, double& verticalSpeed) {
    verticalSpeed = 0.0;
    if (!a.underPower) {
        // Its records pause as coverage on the ground has gaps: a taxi goes on at its records' pace, a
        // roll-out slows as its class does to its taxi pace and taxies on, until its made-up way ends,
        // where it brakes gently to a stop.
        const MotionLimits& m = gf_motionLimits(a.sizeClass);
        const auto& r = a.runRecords;
        const bool recordsTaxi = !r.empty() && !r.back().airborne && r.back().knots <= movement::kFastestTaxiKn;
        const double madeUpS = a.madeUpFromPass >= 0 ? (movement::tick() - a.madeUpFromPass) / 100.0 : 0.0;
        const double last = r.empty() ? 0.0 : std::max(r.back().knots, 0.0);
        const bool recordsSlow = r.size() >= 2 && r[r.size() - 2].knots - r.back().knots > kSlowingKnPerS * std::max(r.back().time - r[r.size() - 2].time, 1.0);
        const double eased = recordsSlow ? std::max(last - kEaseKnPerS * madeUpS, std::min(last, kMadeUpCrawlKn)) : last;
        const double recordsKn = recordsTaxi ? eased : m.taxiKn;
        const bool wayEnds = a.madeUpFromPass >= 0 && movement::tick() - a.madeUpFromPass > kMadeUpTaxiPasses;
        const double target = wayEnds || a.rejectedTakeoff ? 0.0 : v > movement::kFastestTaxiKn ? m.taxiKn : recordsKn;
        if (v > target) {
            const double knPerS = v > kRollOutBrakesAboveKn ? m.rollOutKnPerS : v > 15.0 ? 2.0 : 1.0;
            return std::max(v - knPerS * seconds, target);
        }
        return std::min(v + m.taxiSpeedUpKnPerS * seconds, target);
    }
    // The take-off roll goes on; at lift-off speed the sample climbs, so that the take-off step lifts it off.
    const double faster = v + (a.rollKnPerS > 0.0 ? a.rollKnPerS : kTakeoffKnPerS) * seconds;
    if (faster >= lf_liftOffKn(a)) verticalSpeed = 1500.0;
    return faster;
}

LatLon lf_alongRollLine(const LiveAircraft& a, const LatLon& from, double feet) {
    // From the foot of `from` on the line: a made-up roll keeps to its runway's line.
    const double way = a.rollTrackDeg * kDeg2Rad;
    const double d = gf_distanceNm(a.rollPoint, from);
    const double along = d > 0.0 ? d * movement::kFeetPerNm * std::cos(gf_headingDifference(way, gf_initialBearing(a.rollPoint, from))) : 0.0;
    const double ahead = along + feet;
    return gf_destinationPoint(a.rollPoint, ahead >= 0.0 ? way : way + kPi, std::fabs(ahead));
}

}  // namespace vrn
