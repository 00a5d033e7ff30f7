// Back onto the real path after made-up motion in the air. While its records paused the aircraft flew
// straight on; the real one may have turned, sped up or slowed down. Rather than sliding sideways
// along a chord to the next record, it flies there: every pass it moves along its nose, turning at
// its class's rate towards a point some way ahead on the path its records draw (pursuit), at a speed
// near what they report, until it lies on that path and points along it. Sample play then goes on
// from where it is. And where records are sparse, the way between two of them is a curve that
// leaves along the aircraft's heading and arrives along the record's track, not a chord.
// Run thread, inside the traffic pass.
#include <algorithm>
#include <cmath>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "core/format.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"
#include "traffic/engine_steps.h"
#include "traffic/movement_common.h"
#include "traffic/sample_tests.h"

namespace vrn {

using namespace movement;

namespace {

constexpr double kMetresPerNm = 1852.0;
// How far the speed may stray from what the records report while the aircraft catches up or waits.
constexpr double kFasterThanReported = 1.1;
constexpr double kSlowerThanReported = 0.85;
constexpr double kSpeedChangeKnPerPass = 0.02;   // 2 kn a second
constexpr double kBankForTurnsDeg = 30.0;        // airliners turn at 30 degrees of bank or less
constexpr double kOnPathMetres = 30.0;
constexpr double kAlongPathRad = 3.0 * kDeg2Rad;
constexpr double kHandBackAheadSeconds = 5.0;
constexpr int kMostRejoinPasses = 30000;         // five minutes: beyond that, plain sample play
constexpr double kCatchUpWithinRad = 30.0 * kDeg2Rad;
constexpr double kGroundHandBackStepKn = 4.0;   // each second, about 0.2 g
constexpr double kLeadSeconds = 10.0;
constexpr double kHeightLeadPasses = 1000.0;   // it makes up a difference in height over 10 s at most
constexpr double kWayAheadSeconds = 2.0;
constexpr double kClosingSeconds = 8.0;
constexpr int kCutAcrossPasses = 1000;          // ten seconds behind its records
constexpr double kCutAcrossBeyondSeconds = 60.0;
// A record further ahead than this is reached along a curve through sub-samples about a second apart.
constexpr int kCurveFromPasses = 250;
constexpr double kCurveMostOffRad = 60.0 * kDeg2Rad;
constexpr double kLowestRejoinFt = 1000.0;
// Motion limits in the air while it steers back to where its records put it (one place, for the
// per-class limits): it makes up no more than a fifth of its records' speed while it lies more
// than 0.15 nm off them, steers to a next record more than 60 degrees off its nose rather than
// sliding there, hands back to sample play once on them with its next record within that, and
// is created again at its records when they lie beyond a minute of its flight.
constexpr double kCatchUpWhenOff = 1.18;
constexpr double kBackWithinNm = 0.15;
// Steering back this long and still off them, only a meeting this soon spares it being created again
// (it left them a few seconds before it steered: within half a minute of that).
constexpr int kSteerBackPasses = 2500;
constexpr int kMeetsSoonPasses = 500;
constexpr double kOffNoseRad = 60.0 * kDeg2Rad;
constexpr double kOffNoseLeastSeconds = 3.0;
constexpr double kFarOffFlightSeconds = 60.0;
// (Two degrees inside the 35 its class may bank: flown at that bank to the full, its track read over a
// second or two with a speed that changes meanwhile would cross it.)
constexpr double kBankWhereRecordsTurnDeg = 33.0;
constexpr double kOnRecordsNm = 0.05;
constexpr int kPursueLeadPasses = 300;
constexpr double kMostPlacedAheadS = 10.0;
constexpr double kPlacedRollKn = 40.0;
constexpr int kCatchUpBeyondPasses = 200;
constexpr int kRecordsSayWherePasses = 1000;
constexpr int kPursueLooksAheadPasses = 12000;
constexpr std::uint8_t kPursuing = 2;   // `rejoining`: after where its records put it, not along their path

// A flat frame in metres around a point (east, north): the rejoin spans a few kilometres. Near a pole,
// where degrees of longitude shrink to nothing and meridians converge, by distance and bearing from
// the point, ways elsewhere turned into the point's.
struct Flat {
    LatLon origin;
    double eastPerDeg;
    bool polar;
    explicit Flat(const LatLon& o)
        : origin(o), eastPerDeg(kMetresPerDegreeLat * std::cos(o.lat * kDeg2Rad)), polar(nearPole(o.lat)) {}
    void of(const LatLon& p, double& e, double& n) const {
        if (polar) {
            const double m = gf_distanceNm(origin, p) * kMetresPerNm, way = gf_initialBearing(origin, p);
            std::tie(e, n) = std::pair{m * std::sin(way), m * std::cos(way)};
            return;
        }
        e = longitudeDelta(origin.lon, p.lon) * eastPerDeg;
        n = (p.lat - origin.lat) * kMetresPerDegreeLat;
    }
    // A way at `p` (radians from north there) in the frame.
    double way(const LatLon& p, double rad) const { return polar ? rad - meridianTurn(origin, p) : rad; }
    LatLon point(double e, double n) const {
        if (!polar) return {origin.lat + n / kMetresPerDegreeLat, normalLongitude(origin.lon + e / eastPerDeg)};
        double way = std::atan2(e, n);
        const LatLon p = gf_moveAlong(origin, way, std::hypot(e, n) / kMetresPerNm * kFeetPerNm);
        return {p.lat, normalLongitude(p.lon)};
    }
};

double lf_finiteKn(double kn) { return std::isfinite(kn) && kn > 0.0 ? kn : 0.0; }

// More than 0.15 nm beyond where `kn` (or the record's own speed, when faster), a fifth faster, takes
// it from `from` by the time `to` is due: a jump in the records, not their way.
bool lf_beyondReach(const LatLon& from, int fromPass, double kn, const PositionSample& to) {
    const double seconds = std::max(to.duePass - fromPass, 0) / 100.0;
    const double reachNm = std::max(lf_finiteKn(to.groundSpeed), kn) * kCatchUpWhenOff * seconds / 3600.0;
    return gf_distanceNm(from, at(to)) - reachNm > kBackWithinNm;
}

// The path its records draw, from where the first of them was heading, in the flat frame.
struct PathPoint {
    double e, n, along;   // metres
    double alt, kn;
    int due;
};

struct PathFix {
    double e = 0.0, n = 0.0; // the nearest point (metres from the aircraft)
    double offM = 0.0;      // metres beside the path
    double along = 0.0;     // metres along it of the nearest point
    double dirRad = 0.0;    // the path's way there
    std::size_t passed = 0; // records (from the queue's second sample) the nearest point lies beyond
};

// Filled anew on every pass of every aircraft that steers back: one buffer (run thread only).
std::vector<PathPoint> l_path;

const std::vector<PathPoint>& lf_recordPath(const LiveAircraft& a, const Flat& f) {
    std::vector<PathPoint>& path = l_path;
    path.clear();
    // Before its first record the path comes along that record's track.
    const PositionSample& first = a.samples[1];
    const LatLon behind = gf_destinationPoint(at(first), first.track * kDeg2Rad + kPi, 20.0 * kFeetPerNm);
    PathPoint start{};
    f.of(behind, start.e, start.n);
    start.alt = first.altitude;
    start.kn = lf_finiteKn(first.groundSpeed);
    start.due = first.duePass;
    path.push_back(start);
    for (std::size_t i = 1; i < a.samples.size(); ++i) {
        const PositionSample& s = a.samples[i];
        PathPoint p{};
        f.of(at(s), p.e, p.n);
        p.along = path.back().along + std::hypot(p.e - path.back().e, p.n - path.back().n);
        p.alt = s.altitude;
        p.kn = lf_finiteKn(s.groundSpeed);
        p.due = s.duePass;
        path.push_back(p);
    }
    return path;
}

// The nearest point of the path to the aircraft (the frame's origin).
PathFix lf_nearest(const std::vector<PathPoint>& path) {
    PathFix fix;
    double best = 1e300;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const PathPoint& p = path[i];
        const PathPoint& q = path[i + 1];
        const double de = q.e - p.e, dn = q.n - p.n;
        const double len2 = de * de + dn * dn;
        if (!(len2 > 0.0)) continue;
        const double u = std::clamp(-(p.e * de + p.n * dn) / len2, 0.0, 1.0);
        const double d = std::hypot(p.e + u * de, p.n + u * dn);
        if (d < best) {
            best = d;
            fix.e = p.e + u * de;
            fix.n = p.n + u * dn;
            fix.offM = d;
            fix.along = p.along + u * (q.along - p.along);
            fix.dirRad = normalHeading(std::atan2(de, dn));
            fix.passed = i;
        }
    }
    return fix;
}

// The altitude the path has at the pass due now (before its records, the first one's).
double lf_altitudeDueNow(const std::vector<PathPoint>& path) {
    const int now = tick();
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const PathPoint& p = path[i];
        const PathPoint& q = path[i + 1];
        if (q.due < now) continue;
        const double u = q.due > p.due ? std::clamp(static_cast<double>(now - p.due) / (q.due - p.due), 0.0, 1.0) : 1.0;
        return p.alt + u * (q.alt - p.alt);
    }
    return path.back().alt;
}

// A point `along` metres along the path (beyond its end: on along the last record's way), with the
// altitude, reported speed and due pass there.
PathPoint lf_pointAlong(const std::vector<PathPoint>& path, double along, double lastTrackRad) {
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const PathPoint& p = path[i];
        const PathPoint& q = path[i + 1];
        if (along > q.along || !(q.along > p.along)) continue;
        const double u = std::clamp((along - p.along) / (q.along - p.along), 0.0, 1.0);
        PathPoint r{};
        r.e = p.e + u * (q.e - p.e);
        r.n = p.n + u * (q.n - p.n);
        r.along = along;
        r.alt = p.alt + u * (q.alt - p.alt);
        r.kn = p.kn + u * (q.kn - p.kn);
        r.due = p.due + static_cast<int>(u * (q.due - p.due));
        return r;
    }
    PathPoint r = path.back();
    const double beyond = along - r.along;
    r.e += beyond * std::sin(lastTrackRad);
    r.n += beyond * std::cos(lastTrackRad);
    r.along = along;
    if (r.kn > 0.0) r.due += static_cast<int>(beyond / (r.kn * kMpsPerKn) * 100.0);
    return r;
}

// Sample play goes on from where the aircraft is: the records it has passed are dropped (all of them
// when it is past the newest; it then flies on as it does when its records pause).
void lf_handBack(LiveAircraft& a, std::size_t passed, const std::string& how) {
    a.rejoining = 0;
    PositionSample here = a.samples.front();
    here.latitude = a.position.latitude;
    here.longitude = a.position.longitude;
    here.altitude = a.position.altitude;
    here.groundSpeed = here.trueAirspeed = a.speed;
    here.airborne = 1;
    here.standing = 0;
    here.duePass = tick();
    a.samples.front() = here;
    passed = std::min(passed, a.samples.size() - 1);
    a.samples.erase(a.samples.begin() + 1, a.samples.begin() + 1 + static_cast<std::ptrdiff_t>(passed));
    if (LOG.get())
        gf_logLine(vrn::format("{:8}: {:8} back on its records' path after {:.0f} s: {}", gf_nowHhMmSs(), a.callsign,
                               (tick() - a.rejoinFromPass) / 100.0, how));
    // (What its records did is counted afresh for the next spell.)
    std::tie(a.staleRecords, a.refusedRecords) = std::pair{0, 0};
    gf_forgetStampedAhead(a.aircraftId);
}

// "its records ran out" only where none came: records refused meanwhile are said to be so.
std::string lf_recordsRanOut(const LiveAircraft& a, const char* orElse) {
    const std::string did = lf_whatItsRecordsDid(a);
    return did == "no records came" ? vrn::format("its records ran out{}", orElse) : vrn::format("none left to play{}: {}", orElse, did);
}

// Steering back ends where its records lead down to the runway: the approach's configuration, its
// touchdown and its landing roll are the movement step's.
bool lf_flyingToRejoin(const LiveAircraft& a) {
    return a.state == STATE_IN_SIM && !a.onGround && a.phase == PHASE_AIRBORNE && !a.onApproach && !a.landingRoll &&
           a.samples.size() >= 2 && std::isfinite(a.position.heading) && a.altitudeAboveGround >= kLowestRejoinFt;
}

bool lf_mayRejoin(const LiveAircraft& a) {
    return lf_flyingToRejoin(a) &&
           std::all_of(a.samples.begin() + 1, a.samples.end(), [](const PositionSample& s) { return s.airborne != 0; });
}

// Flying after where its records put it looks a minute ahead at most: it ends where a record due
// within two minutes is on the ground, not for one a queue sent far ahead holds beyond.
bool lf_mayPursue(const LiveAircraft& a) {
    if (!lf_flyingToRejoin(a)) return false;
    const int until = tick() + kPursueLooksAheadPasses;
    for (auto s = a.samples.begin() + 1; s != a.samples.end() && s->duePass <= until; ++s)
        if (!s->airborne) return false;
    return true;
}

// The first point of the path beyond `along` (the path's end carried on along its last way for a
// minute) that it can reach straight from where it is by the time the records are there, within a
// little more than their speed.
bool lf_reachableOnTime(const std::vector<PathPoint>& path, double along, double mps, double lastTrackRad, PathPoint& found) {
    const double step = std::max(mps, 50.0);
    const double last = path.back().along + kCutAcrossBeyondSeconds * mps;
    for (double x = along + step; x <= last; x += step) {
        const PathPoint p = lf_pointAlong(path, x, lastTrackRad);
        const int passes = p.due - tick();
        if (passes <= 0 || !(p.kn > 0.0)) continue;
        if (std::hypot(p.e, p.n) / kMetresPerNm * kPassesPerHour / passes <= kFasterThanReported * p.kn) {
            found = p;
            return true;
        }
    }
    return false;
}

}  // namespace

namespace {

// On the ground a made-up roll-out may have rolled on faster than the real aircraft, which braked
// harder: the first record back then lies close ahead, or behind it. Rather than slowing to the pace
// that reaches it on time within one second, it brakes at what an airliner manages, a second at a
// time along its way, until that pace is its own; to a stop when the record lies behind it.
void lf_brakeToRecords(LiveAircraft& a) {
    if (a.state != STATE_IN_SIM || !a.onGround || a.underPower || a.samples.size() < 2 || a.samples[1].airborne) return;
    const PositionSample& record = a.samples[1];
    // The pace (kn) from a point to the record by its due pass, 0 when it lies behind the point.
    const auto paceFrom = [&](const LatLon& p, int pass) {
        const double d = gf_distanceNm(p, at(record));
        const double along = d * std::cos(gf_headingDifference(a.position.heading, gf_initialBearing(p, at(record))));
        return along > 0.0 ? along * kPassesPerHour / std::max(record.duePass - pass, kMinPasses) : 0.0;
    };
    double v = lf_finiteKn(a.speed);
    if (v - paceFrom(here(a), tick()) <= 2.0 * kGroundHandBackStepKn) return;
    std::vector<PositionSample> ramp;
    LatLon p = here(a);
    PositionSample s = record;
    s.airborne = 0;
    s.altitude = 0.0;
    s.standing = 0;
    s.headingGiven = s.bankGiven = s.headingKnown = 0;
    for (int k = 1; v > 0.0 && v > paceFrom(p, tick() + 100 * (k - 1)) + kGroundHandBackStepKn; ++k) {
        const double slower = std::max(v - kGroundHandBackStepKn, 0.0);
        p = gf_destinationPoint(p, a.position.heading, (v + slower) / 2.0 * kFeetPerNm / 3600.0);
        v = slower;
        std::tie(s.latitude, s.longitude, s.groundSpeed, s.trueAirspeed) = std::tuple{p.lat, normalLongitude(p.lon), v, v};
        s.duePass = tick() + 100 * k;
        ramp.push_back(s);
    }
    a.samples.insert(a.samples.begin() + 1, ramp.begin(), ramp.end());
}

}  // namespace

// Its made-up flight (straight on, or on round a turn) brought it where its first record back can be
// reached along a curve from its heading, at a pace near the one that record reports: sample play
// flies that curve, with no steering needed.
bool lf_curveReachesRecord(const LiveAircraft& a) {
    const PositionSample& n = a.samples[1];
    const int passes = n.duePass - tick();
    const double kn = lf_finiteKn(n.groundSpeed);
    if (passes < kCurveFromPasses || !(kn > 0.0) || !n.airborne || !std::isfinite(n.track)) return false;
    const double chord = gf_initialBearing(here(a), at(n));
    const double pace = gf_distanceNm(here(a), at(n)) * kPassesPerHour / passes;
    // (Its record's track against the chord's way where the record is: near a pole that differs.)
    const double chordThere = nearPole(a.position.latitude) ? chord + meridianTurn(here(a), at(n)) : chord;
    return std::fabs(gf_headingDifference(chord, a.position.heading)) <= kCurveMostOffRad &&
           std::fabs(gf_headingDifference(normalHeading(chordThere), n.track * kDeg2Rad)) <= kCurveMostOffRad &&
           pace >= kSlowerThanReported * kn &&
           pace <= kFasterThanReported * kn;
}

double lf_classTurnDegPerS(const Aircraft& a) {
    switch (a.sizeClass) {
    case SIZE_LIGHT: return 6.0;
    case SIZE_ROTORCRAFT: return 10.0;
    case SIZE_BUSINESS_JET:
    case SIZE_HIGH_PERF: return 4.0;
    default: return 3.0;
    }
}

double lf_turnRatePerPass(const LiveAircraft& a, double kn) {
    const double byBank = kGravity * std::tan(kBankForTurnsDeg * kDeg2Rad) / std::max(kn * kMpsPerKn, 1.0) * kRad2Deg;
    return std::min(lf_classTurnDegPerS(a), byBank) * kDeg2Rad / 100.0;
}

LatLon lf_recordsAt(const LiveAircraft& a, int pass, std::size_t from) {
    const auto& q = a.samples;
    if (q.size() < from + 1) return here(a);
    const auto along = [](const PositionSample& s, double seconds) {
        const double kn = lf_finiteKn(s.groundSpeed);
        if (!(kn > 0.0) || !std::isfinite(s.track)) return at(s);
        const LatLon p = gf_destinationPoint(at(s), s.track * kDeg2Rad + (seconds < 0.0 ? kPi : 0.0),
                                             kn * std::fabs(seconds) / 3600.0 * kFeetPerNm);
        return LatLon{p.lat, normalLongitude(p.lon)};
    };
    if (pass <= q[from].duePass) return along(q[from], (pass - q[from].duePass) / 100.0);
    for (std::size_t i = from; i + 1 < q.size(); ++i) {
        const PositionSample& o = q[i];
        const PositionSample& n = q[i + 1];
        if (pass > n.duePass) continue;
        const double u = n.duePass > o.duePass ? static_cast<double>(pass - o.duePass) / (n.duePass - o.duePass) : 1.0;
        const double d = gf_distanceNm(at(o), at(n));
        if (!(d > 0.0)) return at(o);
        const LatLon p = gf_destinationPoint(at(o), gf_initialBearing(at(o), at(n)), u * d * kFeetPerNm);
        return LatLon{p.lat, normalLongitude(p.lon)};
    }
    return along(q.back(), (pass - q.back().duePass) / 100.0);
}

bool lf_rollsFromItsFirstPass(const PositionSample& first) { return !first.airborne && first.groundSpeed >= kPlacedRollKn; }

bool lf_placedWithItsRecords(LiveAircraft& a, int pass) {
    if (a.samples.size() < 2) return false;
    const PositionSample& first = a.samples.front();
    if (!first.airborne && !lf_rollsFromItsFirstPass(first)) return false;
    if (!(lf_finiteKn(first.groundSpeed) > 0.0)) return false;
    const LatLon p = lf_recordsAt(a, pass, 0);
    // Never beyond a few seconds of its way from its first record: a queue that jumps is for the
    // movement to judge.
    if (!(gf_distanceNm(at(first), p) * 3600.0 <= std::max(lf_finiteKn(first.groundSpeed), 30.0) * kMostPlacedAheadS)) return false;
    std::tie(a.position.latitude, a.position.longitude) = std::pair{p.lat, p.lon};
    // The records it is already past are not flown back to: it goes on from the last one due.
    std::size_t passed = 0;
    while (passed + 2 < a.samples.size() && a.samples[passed + 1].duePass <= pass) ++passed;
    a.samples.erase(a.samples.begin(), a.samples.begin() + static_cast<std::ptrdiff_t>(passed));
    return true;
}

namespace {

// Flying after its records, its nose turns as fast as its bank there allows at its speed (not the
// standard rate of a planned turn): records that turn back keep it in a circle as tight as it can fly.
double lf_pursuitTurnPerPass(double kn) {
    const double byBank = kGravity * std::tan(kBankWhereRecordsTurnDeg * kDeg2Rad) / std::max(kn * kMpsPerKn, 1.0) * kRad2Deg;
    return std::min(kQuickestAirTurnDegPerS, byBank) * kDeg2Rad / 100.0;
}

// The first pass, from now to a minute ahead, at which it can be where its records put it then, flying
// at up to a fifth above their speed along its nose and round the turn there; -1 when none. (In a flat
// frame about it, walking the queue once: a minute of flight spans a few nm.)
int lf_interceptPass(const LiveAircraft& a) {
    const int now = tick();
    const double kn = std::max({lf_finiteKn(a.speed), lf_finiteKn(a.samples.back().groundSpeed), 60.0}) * kCatchUpWhenOff;
    const double radiusNm = kn / 3600.0 / (lf_turnRatePerPass(a, kn) * 100.0);
    const Flat f(here(a));
    const auto& q = a.samples;
    // Where a record puts it `seconds` from its time along (or back along) its track, metres from here.
    const auto along = [&](const PositionSample& s, double seconds, double& e, double& n) {
        f.of(at(s), e, n);
        const double sKn = lf_finiteKn(s.groundSpeed);
        if (!(sKn > 0.0) || !std::isfinite(s.track)) return;
        const double m = sKn * kMpsPerKn * seconds;
        const double track = f.way(at(s), s.track * kDeg2Rad);
        e += m * std::sin(track);
        n += m * std::cos(track);
    };
    std::size_t i = 1;   // the first record due at or after the pass looked at
    for (int pass = now; pass <= now + static_cast<int>(kFarOffFlightSeconds * 100.0); pass += 100) {
        while (i < q.size() && q[i].duePass < pass) ++i;
        double e = 0.0, n = 0.0;
        if (i == 1) {
            along(q[1], (pass - q[1].duePass) / 100.0, e, n);
        } else if (i == q.size()) {
            along(q.back(), (pass - q.back().duePass) / 100.0, e, n);
        } else {
            const PositionSample& o = q[i - 1];
            const PositionSample& to = q[i];
            const double u = to.duePass > o.duePass ? static_cast<double>(pass - o.duePass) / (to.duePass - o.duePass) : 1.0;
            double e1 = 0.0, n1 = 0.0;
            f.of(at(o), e, n);
            f.of(at(to), e1, n1);
            e += u * (e1 - e);
            n += u * (n1 - n);
        }
        const double reachNm = kn * (pass - now) / kPassesPerHour + kOnRecordsNm;
        const double awayNm = std::sqrt(e * e + n * n) / kMetresPerNm;
        if (awayNm > reachNm) continue;   // (the turn only adds to it)
        double way = std::atan2(e, n);
        if (way < 0.0) way += kTwoPi;
        const double off = std::fabs(gf_headingDifference(a.position.heading, way));
        // (Half the arc its nose comes round: the rest of the turn already closes on it.)
        if (awayNm + 0.5 * radiusNm * off <= reachNm) return pass;
    }
    return -1;
}

// Its records lie beyond a minute of its flight: steering there would leave it off them for minutes.
// Judged once they play (before, they do not say where it is now).
bool lf_createdAgainIfFarOff(LiveAircraft& a, const LatLon& records) {
    if (a.state != STATE_IN_SIM || a.samples.size() < 2 || tick() < a.samples[0].duePass) return false;
    // Between two records that jump apart, where they put it is neither: judged once the second plays.
    const PositionSample &o = a.samples[0], &n = a.samples[1];
    if (tick() < n.duePass && lf_beyondReach(at(o), o.duePass, lf_finiteKn(o.groundSpeed), n)) return false;
    const double offNm = gf_distanceNm(here(a), records);
    const double kn = std::max({lf_finiteKn(a.samples[1].groundSpeed), lf_finiteKn(a.samples.back().groundSpeed), 60.0});
    if (!(offNm > kn * kFarOffFlightSeconds / 3600.0)) return false;
    gf_createAgainAtRecords(a, records, vrn::format("beyond a minute of its flight, {:.1f} nm off", offNm));
    return true;
}

bool lf_createdAgainIfFarOff(LiveAircraft& a) {
    if (a.state != STATE_IN_SIM || a.samples.size() < 2 || tick() < a.samples[0].duePass) return false;
    // (On time, the sample it sets off from is the record playing now; across a pause in its records
    // they say nothing of where it is until the next one plays.)
    const bool betweenFirstTwo = tick() < a.samples[1].duePass;
    if (betweenFirstTwo && a.samples[1].duePass - a.samples[0].duePass > kRecordsSayWherePasses) return false;
    return lf_createdAgainIfFarOff(a, lf_recordsAt(a, tick(), betweenFirstTwo ? 0 : 1));
}

}  // namespace

bool lf_steerToRecordOffNose(LiveAircraft& a) {
    if (a.onGround || a.extrapolationCount != 0 || a.rejoining || a.samples.size() < 2 || a.phase != PHASE_AIRBORNE ||
        a.sizeClass == SIZE_ROTORCRAFT)
        return false;
    const PositionSample& n = a.samples[1];
    if (!n.airborne || n.standing || !std::isfinite(a.position.heading)) return false;
    const double kn = std::max(lf_finiteKn(a.speed), 60.0);
    const double toNextNm = gf_distanceNm(here(a), at(n));
    if (toNextNm * 3600.0 < kn * kOffNoseLeastSeconds) return false;
    const bool offNose = std::fabs(gf_headingDifference(a.position.heading, gf_initialBearing(here(a), at(n)))) > kOffNoseRad;
    // Records beyond a minute of its flight are as far ahead of its nose as off it (a feed moved in
    // time puts them anywhere): created again there once they play.
    const bool farOff = toNextNm * 3600.0 > kn * kFarOffFlightSeconds;
    // A next record ahead that even catching up it would reach more than 0.15 nm short of when it is
    // due: the records jumped (a feed moved in time puts them beside it), and it flies after them
    // rather than seconds late along their path, which leaves it off them for as long as they turn.
    const bool outOfReach = !farOff && lf_beyondReach(here(a), tick(), kn, n);
    if (!offNose && !outOfReach && !farOff) return false;
    if (!lf_mayPursue(a)) return false;
    if (lf_createdAgainIfFarOff(a)) return true;
    if (!offNose && !outOfReach) return false;
    // No path to follow here (its records turned back on it, or lie elsewhere): it flies after where
    // they put it, a few seconds ahead.
    a.rejoining = kPursuing;
    a.rejoinFromPass = tick();
    a.samples.front().standing = 0;
    // Its steering flies a speed over the ground: it goes on from the one its records flew, not from the
    // true airspeed they report (some 100 kn faster at height), which it would carry off with it.
    const double recordKn = lf_finiteKn(a.samples.front().groundSpeed);
    a.speed = std::max(recordKn > 0.0 ? recordKn : lf_finiteKn(n.groundSpeed), 60.0);
    clearCurve(a);
    return true;
}

namespace {

// Per pursuing aircraft: the pass its meeting point was looked for, and that point's pass (run thread).
std::unordered_map<std::uint32_t, std::pair<int, int>> l_meetPass;
constexpr int kMeetEveryPasses = 100;
constexpr int kSteerEveryPasses = 50;
constexpr std::size_t kMeetsRemembered = 4096;   // any number of aircraft leaves it bounded

// Climb per pass within `climbLimit` and a steady descent; banked as the turn per pass needs, the
// nose level with the climb.
void lf_climbAndAttitude(LiveAircraft& a, double climb, double climbLimit, double turn) {
    a.climbPerPass = std::clamp(climb, -0.6, climbLimit);
    a.verticalSpeedFpm = a.climbPerPass * 6000.0;
    a.position.verticalSpeed = a.verticalSpeedFpm / 60.0;
    const double bank = std::atan(a.speed * kMpsPerKn * std::fabs(turn) * 100.0 / kGravity);
    gf_setAttitudeStep(a, -std::copysign(bank, turn), 50);
    const double pitch = (-3.0 - std::clamp(a.verticalSpeedFpm, -3000.0, 2400.0) / 600.0 * 2.2) * kDeg2Rad;
    a.pitchStep = std::clamp((pitch - a.position.pitch) / 50.0, -0.005 * kDeg2Rad, 0.005 * kDeg2Rad);
}

// Two of its latest records a few seconds apart point more than 120 degrees apart.
bool lf_recordsTurnRound(const LiveAircraft& a) {
    constexpr double kWithinSeconds = 3.0;
    constexpr double kRoundDeg = 120.0;
    const auto& r = a.runRecords;
    for (std::size_t i = 1; i < r.size(); ++i)
        if (r[i].time - r[i - 1].time <= kWithinSeconds && r[i].trackKnown && r[i - 1].trackKnown &&
            std::fabs(std::remainder(r[i].trackDeg - r[i - 1].trackDeg, 360.0)) > kRoundDeg)
            return true;
    return false;
}

// Steering back for 25 s and still off them: they turn as tightly as it can, or lie beside it in their
// turn, and it would not close for minutes. (Records that turn round within a few seconds, which no
// aircraft can, it stays near instead.)
bool lf_createdAgainIfNotBack(LiveAircraft& a, const LatLon& records) {
    const int steered = tick() - a.rejoinFromPass;
    if (steered <= kSteerBackPasses || !(gf_distanceNm(here(a), records) > kBackWithinNm) || lf_recordsTurnRound(a)) return false;
    gf_createAgainAtRecords(a, records, vrn::format("{:.0f} s steering back did not reach them", steered / 100.0));
    return true;
}

// Flying after where its records put it a few seconds ahead, along its nose, turning at up to a
// 35-degree bank, at their speed or up to a fifth faster while it lies off them (slower while they lie
// behind it, which tightens its turn); back to sample play once it is on them and its next record lies
// ahead of its nose.
void lf_pursueStep(LiveAircraft& a) {
    const int now = tick();
    // (Its steering is set twice a second, from the pass after it set off: between, it flies on by its
    // steps, which turn it no faster than that bank and change its speed no faster than 2 kn a second.)
    if ((now - a.rejoinFromPass) % kSteerEveryPasses != 1) return;
    // Records whose time has passed no longer matter, but the one before now.
    while (a.samples.size() >= 3 && a.samples[2].duePass <= now) a.samples.erase(a.samples.begin() + 1);
    if (!lf_mayPursue(a)) {
        if (!a.samples.empty()) lf_handBack(a, 0, lf_recordsRanOut(a, " or it lands"));
        return;
    }
    const LatLon records = lf_recordsAt(a, now);
    const double offNm = gf_distanceNm(here(a), records);
    const PositionSample& next = a.samples[1];
    const PositionSample* ahead = nullptr;
    for (std::size_t i = 1; i < a.samples.size() && !ahead; ++i)
        if (a.samples[i].duePass > now) ahead = &a.samples[i];
    if (!ahead) {
        lf_handBack(a, a.samples.size(), lf_recordsRanOut(a, ""));
        return;
    }
    const double kn = std::max(a.speed, 1.0);
    const bool nextAhead = ahead && std::fabs(gf_headingDifference(a.position.heading, gf_initialBearing(here(a), at(*ahead)))) <= kOffNoseRad;
    if (offNm <= kOnRecordsNm && nextAhead) {
        std::size_t passed = 0;
        while (passed + 2 < a.samples.size() && a.samples[passed + 1].duePass <= now) ++passed;
        lf_handBack(a, passed, vrn::format("{:.0f} m off where they put it", offNm * kMetresPerNm));
        return;
    }
    if (now - a.rejoinFromPass > kMostRejoinPasses) {
        lf_handBack(a, 0, "given up steering");
        return;
    }
    // Where it can be when its records are there, or, once on them, a few seconds ahead of them.
    if (lf_createdAgainIfFarOff(a, records)) return;
    // (The meeting point is looked for once a second: it moves little between.)
    if (l_meetPass.size() > kMeetsRemembered) l_meetPass.clear();
    auto& [found, meet] = l_meetPass.try_emplace(a.aircraftId, now - kMeetEveryPasses, -1).first->second;
    if (now - found >= kMeetEveryPasses || now < found) std::tie(found, meet) = std::tuple{now, lf_interceptPass(a)};
    if ((meet < 0 || meet > now + kMeetsSoonPasses) && lf_createdAgainIfNotBack(a, records)) return;
    const LatLon aim = lf_recordsAt(a, std::max(meet, now + kPursueLeadPasses));
    const double turnPerPass = lf_pursuitTurnPerPass(kn);
    const double wanted = gf_initialBearing(here(a), aim);
    const double off = gf_headingDifference(a.position.heading, wanted);
    const double turn = std::clamp(off / kSteerEveryPasses, -turnPerPass, turnPerPass);
    a.headingStep = turn;
    const double reported = std::max(lf_finiteKn(next.groundSpeed), lf_finiteKn(ahead ? ahead->groundSpeed : 0.0));
    const double base = reported > 0.0 ? reported : kn;
    // Ahead of where they put it (they lie behind its nose) it goes slower; off them and behind, faster.
    const double behindNose = std::cos(gf_headingDifference(a.position.heading, gf_initialBearing(here(a), records)));
    double pace = base;
    if (offNm > kBackWithinNm) pace = behindNose >= 0.0 ? base * kCatchUpWhenOff : base * kSlowerThanReported;
    // (Turning hard towards them, no faster than they go: that would only widen its turn.)
    if (std::fabs(off) > kOffNoseRad) pace = std::min(pace, base);
    const double change = kSpeedChangeKnPerPass * kSteerEveryPasses;
    a.speed = std::clamp(pace, kn - change, kn + change);
    a.position.trueAirspeed = a.speed;
    // (Along its nose halfway through the turn it makes before it steers again.)
    const double heading = normalHeading(a.position.heading + turn * kSteerEveryPasses / 2.0);
    const double metresPerPass = a.speed * kMpsPerKn / 100.0;
    const Flat f(here(a));
    a.latitudeStep = metresPerPass * std::cos(heading) / kMetresPerDegreeLat;
    a.longitudeStep = metresPerPass * std::sin(heading) / f.eastPerDeg;
    // Height: with its records', within its class's climb and a steady descent.
    double wantFt = next.altitude, ratePerPass = 0.0;
    if (ahead->duePass > next.duePass) {
        ratePerPass = (ahead->altitude - next.altitude) / (ahead->duePass - next.duePass);
        if (now > next.duePass) wantFt += ratePerPass * (now - next.duePass);
    }
    lf_climbAndAttitude(a, ratePerPass + (wantFt - a.position.altitude) / kHeightLeadPasses, std::max(a.maxClimbPerPass, 0.2), turn);
}

}  // namespace

void lf_startRejoin(LiveAircraft& a) {
    lf_brakeToRecords(a);
    a.rejoining = lf_mayRejoin(a) && !lf_curveReachesRecord(a) ? 1 : 0;
    a.rejoinFromPass = tick();
    if (!a.rejoining) return;

    a.samples.front().standing = 0;
    if (!(a.speed > 0.0)) a.speed = std::max(lf_finiteKn(a.samples[1].groundSpeed), 60.0);
    clearCurve(a);
}

void lf_rejoinStep(LiveAircraft& a) {
    if (!a.rejoining) return;
    if (a.rejoining == kPursuing) {
        lf_pursueStep(a);
        return;
    }
    // Once a second: its records out of reach, it is created again where they are.
    // (Where its records put it is looked up for the second only once it has steered that long.)
    const int steered = tick() - a.rejoinFromPass;
    if (steered % 100 == 0 && a.samples.size() >= 2 &&
        (lf_createdAgainIfFarOff(a) || (steered > kSteerBackPasses && lf_createdAgainIfNotBack(a, lf_recordsAt(a, tick())))))
        return;
    while (a.samples.size() >= 2 && !std::isfinite(a.samples[1].latitude + a.samples[1].longitude + a.samples[1].altitude))
        a.samples.erase(a.samples.begin() + 1);
    if (!lf_mayRejoin(a)) {
        // Its records ran out again, or it lands: the movement step takes over from here.
        if (!a.samples.empty()) lf_handBack(a, 0, lf_recordsRanOut(a, " or it lands"));
        return;
    }
    const Flat f(here(a));
    PathFix fix = lf_nearest(lf_recordPath(a, f));
    // Records it has passed no longer matter: the path starts where it is.
    if (fix.passed > 0) {
        a.samples.erase(a.samples.begin() + 1, a.samples.begin() + 1 + static_cast<std::ptrdiff_t>(fix.passed));
        fix = lf_nearest(lf_recordPath(a, f));
    }
    const std::vector<PathPoint>& path = l_path;
    const PositionSample& lastRecord = a.samples.back();
    const double lastTrack = f.way(at(lastRecord), lastRecord.track * kDeg2Rad);
    if (path.back().e * std::sin(lastTrack) + path.back().n * std::cos(lastTrack) < 0.0) {
        lf_handBack(a, a.samples.size(), "past its newest record");
        return;
    }
    const double kn = std::max(a.speed, 1.0);
    const double turnPerPass = lf_turnRatePerPass(a, kn);
    const double offHeading = gf_headingDifference(a.position.heading, fix.dirRad);
    if (fix.offM <= kOnPathMetres && std::fabs(offHeading) <= kAlongPathRad) {
        // Records just ahead would turn it by the last metres it lies off the path: it goes on to
        // one a few seconds ahead, along a curve.
        std::size_t near = 0;
        const double ahead = fix.along + kn * kMpsPerKn * kHandBackAheadSeconds;
        while (near + 2 < path.size() && path[near + 1].along < ahead) ++near;
        lf_handBack(a, near, vrn::format("{:.0f} m off it", fix.offM));
        return;
    }
    if (tick() - a.rejoinFromPass > kMostRejoinPasses) {
        lf_handBack(a, 0, "given up steering");
        return;
    }
    // The path's way a little ahead of the nearest point, so that it turns with a turning path, and a
    // correction towards the path that fades as it closes in, over some seconds of flight (half a
    // turn's radius at least) so that it rolls out onto the path rather than weaving across it. Aiming
    // at a point ahead instead settles inside a turning path and never closes.
    const double mps = kn * kMpsPerKn;
    const double radius = mps / (turnPerPass * 100.0);
    const PathPoint from = lf_pointAlong(path, fix.along, lastTrack);
    // Its speed aims at a point ahead, to be there when the records are.
    PathPoint aim = lf_pointAlong(path, fix.along + std::max(mps * kLeadSeconds, 0.5 * radius), lastTrack);
    // Far behind its records in time (its made-up flight went straight on while the real one turned
    // round), following the path would keep it so: it cuts across to the first point of the path it
    // can reach when the records are there.
    const bool cuts = tick() - from.due > kCutAcrossPasses && lf_reachableOnTime(path, fix.along, mps, lastTrack, aim);
    double wanted = std::atan2(aim.e, aim.n);
    if (!cuts) {
        const PathPoint ahead = lf_pointAlong(path, fix.along + mps * kWayAheadSeconds, lastTrack);
        const double way = std::atan2(ahead.e - from.e, ahead.n - from.n);
        const double rightOfPath = -fix.e * std::cos(way) + fix.n * std::sin(way);
        wanted = way - std::atan2(rightOfPath, std::max(mps * kClosingSeconds, 0.5 * radius));
    }
    const double turn = std::clamp(gf_headingDifference(a.position.heading, normalHeading(wanted)), -turnPerPass, turnPerPass);
    a.headingStep = turn;
    // The speed that brings it to the aim point when the records are there, near what they report.
    const double distance = std::hypot(aim.e, aim.n);
    const double reported = aim.kn > 0.0 ? aim.kn : kn;
    const int passesLeft = aim.due - tick();
    double pace = passesLeft > 0 ? distance / kMetresPerNm * kPassesPerHour / passesLeft : reported * kFasterThanReported;
    pace = std::clamp(pace, reported * kSlowerThanReported, reported * kFasterThanReported);
    // Still turning towards the path: no faster than reported, which would only widen the turn.
    if (std::fabs(offHeading) > kCatchUpWithinRad && !cuts) pace = std::min(pace, reported);
    a.speed = std::clamp(pace, kn - kSpeedChangeKnPerPass, kn + kSpeedChangeKnPerPass);
    a.position.trueAirspeed = a.speed;
    // Along its nose.
    const double heading = normalHeading(a.position.heading + turn);
    const double metresPerPass = a.speed * kMpsPerKn / 100.0;
    a.latitudeStep = metresPerPass * std::cos(heading) / kMetresPerDegreeLat;
    a.longitudeStep = metresPerPass * std::sin(heading) / f.eastPerDeg;
    // Height towards the aim point's, within the class's climb and a steady descent; and where its
    // records climb on meanwhile, with them (far off their path it would hold the height of the path
    // nearest to it; going down it keeps to the path's, which keeps it clear of the ground).
    const double passesToAim = std::max(distance / metresPerPass, 100.0);
    const double climbLimit = std::max(a.maxClimbPerPass, 0.2);
    const double climb = std::max((aim.alt - a.position.altitude) / passesToAim,
                                  (lf_altitudeDueNow(path) - a.position.altitude) / kHeightLeadPasses);
    lf_climbAndAttitude(a, climb, climbLimit, turn);
}

void lf_curveToNextRecord(LiveAircraft& a) {
    if (a.onGround || a.extrapolationCount != 0 || a.onApproach || a.samples.size() < 2 ||
        (a.phase != PHASE_AIRBORNE && a.phase != PHASE_AFTER_TAKEOFF))
        return;
    const PositionSample& n = a.samples[1];
    if (!n.airborne || n.standing || !std::isfinite(n.track)) return;
    const Flat f(here(a));
    double e1 = 0.0, n1 = 0.0;
    f.of(at(n), e1, n1);
    const double chord = std::hypot(e1, n1);
    if (!(chord > 1.0)) return;
    // Late (back from made-up motion), it takes the time its speed needs: the speed reported, or
    // the records' own from one to the next when that is faster. A flying aeroplane seconds late (its
    // records paused, or come seconds apart) flies a little faster than reported, so that it catches up
    // with sparse records as it does with denser ones; a second late (a position fix that leapt) it
    // does not: it would come on too fast to slow with them.
    const PositionSample& o = a.samples[0];
    const double reportedKn = lf_finiteKn(n.groundSpeed);
    double kn = std::max(reportedKn, paceBetween(o, n));
    const bool late = passesFor(chord / kMetresPerNm, kn) - (n.duePass - tick()) > kCatchUpBeyondPasses;
    if (late && a.phase == PHASE_AIRBORNE && a.sizeClass != SIZE_ROTORCRAFT && reportedKn >= 60.0) kn = std::max(kn, kFasterThanReported * reportedKn);
    const int passes = std::max(n.duePass - tick(), passesFor(chord / kMetresPerNm, kn));
    if (passes < kCurveFromPasses) return;
    const double chordDir = std::atan2(e1, n1);
    const double from = a.position.heading;
    const double to = f.way(at(n), n.track * kDeg2Rad);
    if (std::fabs(gf_headingDifference(chordDir, from)) > kCurveMostOffRad ||
        std::fabs(gf_headingDifference(chordDir, to)) > kCurveMostOffRad)
        return;
    // A cubic from here along the heading to the record along its track: about a sample a second.
    const int steps = std::clamp(static_cast<int>(std::lround(passes / 100.0)), 2, 30);
    const double t0e = chord * std::sin(from), t0n = chord * std::cos(from);
    const double t1e = chord * std::sin(to), t1n = chord * std::cos(to);
    std::vector<PositionSample> curve;
    curve.reserve(static_cast<std::size_t>(steps));
    for (int k = 1; k < steps; ++k) {
        const double u = static_cast<double>(k) / steps;
        const double u2 = u * u, u3 = u2 * u;
        const double h10 = u3 - 2.0 * u2 + u, h01 = -2.0 * u3 + 3.0 * u2, h11 = u3 - u2;
        const double e = h10 * t0e + h01 * e1 + h11 * t1e;
        const double nn = h10 * t0n + h01 * n1 + h11 * t1n;
        PositionSample s = n;
        const LatLon p = f.point(e, nn);
        std::tie(s.latitude, s.longitude) = std::pair{p.lat, p.lon};
        s.altitude = a.position.altitude + u * (n.altitude - a.position.altitude);
        const double startKn = std::isfinite(o.groundSpeed) ? o.groundSpeed : n.groundSpeed;
        s.groundSpeed = startKn + u * (n.groundSpeed - startKn);
        s.trueAirspeed = s.groundSpeed;
        s.headingGiven = s.bankGiven = s.headingKnown = 0;
        s.duePass = tick() + static_cast<int>(std::lround(u * passes));
        curve.push_back(s);
    }
    a.samples.insert(a.samples.begin() + 1, curve.begin(), curve.end());
}

}  // namespace vrn
