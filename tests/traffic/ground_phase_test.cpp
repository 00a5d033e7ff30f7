// Variants of real recorded departures and arrivals at Zurich, Dulles, Reagan National and Sydney, made
// at test time: records that end or pause at each phase and each speed of a roll, from low on final to
// the turn-off and while taxiing, a rejected take-off, a touch and go, a feed that starts on the take-off
// roll, turn-offs with records a few metres apart, and the stray records real receivers give on a roll
// (a speed that reads fast, tracks a few degrees off, altitudes that read above the field), departures
// whose records end climbing out of range, and a helicopter slowing to a hover. Each is replayed through
// the engine, with the simulator at 100 and at 30 frames a second, and one table of physical rules is
// checked over the whole life of its object, until it is removed.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/format.h"
#include "app/run_thread.h"
#include "feed/udp_readers.h"
#include "replay_fixture.h"
#include "track_variants.h"

namespace vrn::test {
namespace {

using Records = std::vector<Recorded>;

constexpr double kKnPerMps = 1.0 / 0.514444;
constexpr double kG = 9.80665;
constexpr double kMaxBrakingKnPerS = 0.3 * kG * kKnPerMps;   // 0.3 g
// On the ground: sideways, what tyres and passengers take (real ground tracks stay below 0.24 g).
constexpr double kMostSidewaysG = 0.3;
constexpr double kMostBackwardsKn = 20.0;   // against the nose, anywhere (a push-back goes at 4)
constexpr double kMostOffPathM = 150.0;     // from its records' ground path
constexpr double kMostFlipFpm = 600.0;      // a climb turning to a descent and back, a second each
// Where its records come steadily it follows them (their scatter and its corners, 10 m at most over the table).
constexpr double kMostOffSteadyPathM = 30.0;
// Turned standing, one way (an airliner turns round at a crawl; setting off it turns up to 42 degrees over the table).
constexpr double kMostSpotTurnDeg = 90.0;
constexpr double kRejoinSeconds = 150.0;   // to drive back onto that path after a pause of its records
constexpr double kLateOnPathSeconds = 180.0;
constexpr double kCatchingUpSeconds = 240.0;   // after a pause of its records of more than 30 s
const double kMostBankTan = std::tan(35.0 * kDeg2Rad);   // in the air: sideways g of a 35-degree bank
// In the air, after anything that put its records away from it, back within this of where they put it
// within this long.
constexpr double kMostOffRecordsNm = 0.15;
constexpr int kBackOnRecordsS = 30;
constexpr double kRecordsSayWhereS = 30.0;
constexpr int kCreatedAgainWithinPasses = 1000;
constexpr double kCrawlKn = 6.5;          // turning round, or setting off from a stand still
constexpr double kLeastLiftOffKn = 100.0;   // an A320 lifts off no slower
constexpr double kTaxiAtMostKn = 40.0;      // no aeroplane flies this slowly

// The turn rate (degrees a second) that gives `g` sideways at a speed.
double turnDegPerSAt(double kn, double g) { return kn > 0.0 ? g * kG / (kn / kKnPerMps) * kRad2Deg : 1e9; }

// A rule over one variant: how often it was broken, its worst value, and the records' time it came at.
struct Tally {
    int count = 0;
    double worst = 0.0, at = 0.0;
    // `counts` false: a worse value within what was counted already (the same second, the same turn).
    void add(double value, int pass, bool counts = true) {
        if (counts) ++count;
        if (count == 1 || value > worst) worst = value, at = (pass - kPlayDelay) / 100.0;
    }
    std::string text(const char* unit) const {
        return count == 0 ? "0" : vrn::format("{} (worst {:.2f} {} at {:.0f} s)", count, worst, unit, at);
    }
};

LatLon pos(const Recorded& r) { return {r.s.latitude, r.s.longitude}; }

std::size_t firstIndex(const Records& r, std::size_t from, const std::function<bool(const Recorded&)>& pred) {
    for (std::size_t i = from; i < r.size(); ++i)
        if (pred(r[i])) return i;
    throw std::runtime_error("no such record in the track");
}
// The last record at or before a time.
std::size_t lastBefore(const Records& r, double t) {
    std::size_t i = 0;
    while (i + 1 < r.size() && r[i + 1].t <= t) ++i;
    return i;
}
// The first record from `from` on at or after a time, else the last.
std::size_t atOrLast(const Records& r, std::size_t from, double t) {
    for (std::size_t i = from; i < r.size(); ++i)
        if (r[i].t >= t) return i;
    return r.size() - 1;
}
// The first ground record after an airborne one (touchdown), or after the start.
std::size_t touchdown(const Records& r) { return firstIndex(r, 0, [](const Recorded& x) { return !x.s.airborne; }); }
std::size_t liftOff(const Records& r) {
    const std::size_t ground = touchdown(r);
    return firstIndex(r, ground, [](const Recorded& x) { return x.s.airborne; });
}
// Records from `from` to `to` (inclusive), times from the first.
Records slice(const Records& r, std::size_t from, std::size_t to) {
    Records out(r.begin() + static_cast<std::ptrdiff_t>(from), r.begin() + static_cast<std::ptrdiff_t>(std::min(to, r.size() - 1) + 1));
    const double t0 = out.front().t;
    for (Recorded& x : out) x.t -= t0;
    return out;
}
// Records with times in (t(i), t(i) + seconds] left out.
Records pausedAfter(Records r, std::size_t i, double seconds) {
    const double from = r[i].t;
    std::erase_if(r, [&](const Recorded& x) { return x.t > from && x.t <= from + seconds; });
    return r;
}
// `a` up to its record `ia`, then `b` after its record `ib`, turned and moved so that b's record ib
// lies on a's record ia with a's track: one aircraft that goes on as the other did.
Records joined(const Records& a, std::size_t ia, const Records& b, std::size_t ib) {
    Records out(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(ia) + 1);
    const double turn = a[ia].s.track - b[ib].s.track;
    for (std::size_t i = ib + 1; i < b.size(); ++i) {
        Recorded x = b[i];
        const double d = gf_distanceNm(pos(b[ib]), pos(x));
        const LatLon p = d > 0.0 ? gf_destinationPoint(pos(a[ia]), gf_initialBearing(pos(b[ib]), pos(x)) + turn * kDeg2Rad, d * kFeetPerNm)
                                 : pos(a[ia]);
        std::tie(x.s.latitude, x.s.longitude) = std::tie(p.lat, p.lon);
        x.s.track = std::fmod(x.s.track + turn + 720.0, 360.0);
        x.t = a[ia].t + (b[i].t - b[ib].t);
        out.push_back(x);
    }
    return out;
}

enum class LiftOff { Never, Must, May };
struct Variant {
    std::string name;
    Records records;
    LiftOff liftOff = LiftOff::Never;
    LatLon runway{};          // a point on the line of the runway it lifts off from
    double runwayDeg = 0.0;
    bool startsRolling = false;   // its feed begins on the take-off roll
    bool mustLand = false;        // its made-up approach lands (once, and stays down)
    bool mayLand = false;         // its made-up approach may land (once)
    int objects = 1;              // objects the simulator may show it as, one after the other
    bool createdAgain = false;    // its records may come back beyond its reach: created again on their way, it faces it
    Records uncut = {};           // the whole recording a pause was cut into: where the real aircraft went on
    double mostOffNm = kMostOffRecordsNm;   // in the air, 30 s after anything put its records away from it
    bool heldToRecords = true;   // the distance rule is enforced (else its figures are printed)
    std::string model = "A320";
    SizeClass sizeClass = SIZE_LARGE;
};

const char* const kDepartures[] = {"lszh-dep-swr137h", "lszh-dep-aee5zh", "lszh-dep-ent57bw"};
const char* const kArrivals[] = {"lszh-arr-swr5220", "lszh-arr-cai3208"};
// With the Dulles recordings (2 s records, positions to four decimals), for the kinds that end or pause
// records at each phase.
const char* const kEveryDeparture[] = {"lszh-dep-swr137h", "lszh-dep-aee5zh", "lszh-dep-ent57bw", "kiad-dep-ual2098"};
const char* const kEveryArrival[] = {"lszh-arr-swr5220", "lszh-arr-cai3208", "kiad-arr-ual2398", "kiad-arr-cmp443", "kiad-arr-rpa5677"};

// The elevation (ft) of the airport where a record lies.
double fieldFt(const Recorded& r) { return nearestRecordedAirport(pos(r)).feet; }

// Where its records lift off: the first airborne record after a ground one within `gap` s, or the first
// after it that flies. Some receivers flag a roll airborne from 80 kn on, where no airliner flies: a
// record flies at a speed an A320 lifts off at, reading higher than the runway and than a 25-ft step
// above what the roll read where it was flagged airborne below 140 kn, or climbing (Dulles's rolls read
// 400-425 ft from 84.5 kn to 141, 30 ft above the field on the day's QNH). None: r.size().
std::size_t recordsLiftOff(const Records& r, double gap) {
    constexpr double kLeastFlyingKn = 100.0, kRunwayFt = 40.0, kStepFt = 25.0, kClimbingFpm = 500.0, kRollBelowKn = 140.0;
    for (std::size_t i = 1; i < r.size(); ++i) {
        if (!r[i].s.airborne || r[i - 1].s.airborne) continue;
        if (r[i].t - r[i - 1].t > gap) return r.size();
        const double rollReads = r[i].s.groundSpeed < kRollBelowKn && r[i].s.verticalSpeed < kClimbingFpm ? r[i].s.altitude : -1e9;
        const auto onRunway = [&](const Recorded& x) {
            return x.s.groundSpeed < kLeastFlyingKn ||
                   ((x.s.altitude <= fieldFt(r.front()) + kRunwayFt || x.s.altitude <= rollReads + kStepFt) && x.s.verticalSpeed < kClimbingFpm);
        };
        while (i + 1 < r.size() && onRunway(r[i]) && r[i + 1].s.airborne && r[i + 1].t - r[i].t <= gap) ++i;
        return i;
    }
    return r.size();
}

// A departure from 150 s (or `before`) before its lift-off to 40 s after, and its runway line.
Records departure(const char* name, LatLon& runway, double& runwayDeg, double before = 150.0) {
    const Records all = realTrack(name);
    const std::size_t up = liftOff(all);
    const std::size_t from = firstIndex(all, 0, [&](const Recorded& x) { return x.t >= all[up].t - before; });
    const std::size_t to = atOrLast(all, up, all[up].t + 40.0);
    Records r = slice(all, from, to);
    const std::size_t fast = firstIndex(r, 0, [](const Recorded& x) { return !x.s.airborne && x.s.groundSpeed >= 60.0; });
    runway = pos(r[fast]);
    // Along its positions while it keeps the runway's heading, on the ground and just after lift-off: a
    // record's track may be a few degrees off, and positions to four decimals (some 10 m) need a long base.
    std::size_t along = fast;
    // (Some receivers flag a roll airborne from 80 kn on: below 140 kn it still rolls.)
    while (along + 1 < r.size() && std::fabs(std::remainder(r[along + 1].s.track - r[fast].s.track, 360.0)) <= 3.0 &&
           (!r[along + 1].s.airborne || r[along + 1].s.groundSpeed < 140.0))
        ++along;
    runwayDeg = gf_initialBearing(runway, pos(r[along])) * kRad2Deg;
    return r;
}
// An arrival from 40 s before its touchdown to its end.
Records arrival(const char* name) {
    const Records all = realTrack(name);
    const std::size_t down = touchdown(all);
    return slice(all, firstIndex(all, 0, [&](const Recorded& x) { return x.t >= all[down].t - 40.0; }), all.size() - 1);
}
std::size_t firstAtOrBelow(const Records& r, std::size_t from, double kn) {
    return firstIndex(r, from, [&](const Recorded& x) { return !x.s.airborne && x.s.groundSpeed <= kn; });
}
std::size_t firstAtOrAbove(const Records& r, double kn) {
    return firstIndex(r, 0, [&](const Recorded& x) { return !x.s.airborne && x.s.groundSpeed >= kn; });
}
// Its fastest record on the ground (Dulles flags a roll airborne from 84.5 kn on: its ground records stop at 68).
double fastestOnGround(const Records& r) {
    double most = 0.0;
    for (const Recorded& x : r)
        if (!x.s.airborne) most = std::max(most, x.s.groundSpeed);
    return most;
}

// ---- On the ground from the touch-down on: pauses to the turn-off and while taxiing, close records ----

// The arrivals with ground records, at Zurich, Dulles and Reagan National.
const char* const kGroundArrivals[] = {"lszh-arr-swr5220", "lszh-arr-cai3208", "kiad-arr-ual2398",
                                       "kiad-arr-cmp443",  "kiad-arr-rpa5677", "kdca-arr-swa1174"};

// The track of the runway it lands on: its last airborne record's.
double landingDeg(const Records& r) { return r[touchdown(r) - 1].s.track; }
// Its first ground record 20 degrees or more off the runway: where it turns off.
std::size_t turnOff(const Records& r) {
    const double runwayDeg = landingDeg(r);
    return firstIndex(r, touchdown(r), [&](const Recorded& x) {
        return !x.s.airborne && std::fabs(std::remainder(x.s.track - runwayDeg, 360.0)) >= 20.0;
    });
}
// Records from `from` on come `seconds` later.
Records delayedFrom(Records r, std::size_t from, double seconds) {
    for (std::size_t i = from; i < r.size(); ++i) r[i].t += seconds;
    return r;
}
// Where its records may pause `seconds` while it taxies between the times `from` and `to`: a taxi record
// (5-30 kn on the ground) whose next record after the pause taxies too; of those, the one across the
// largest turn (`turning`), else across the least.
std::optional<std::size_t> taxiPause(const Records& r, double from, double to, double seconds, bool turning) {
    const auto taxies = [](const Recorded& x) { return !x.s.airborne && x.s.groundSpeed >= 5.0 && x.s.groundSpeed <= 30.0; };
    std::optional<std::size_t> best;
    double most = -1.0;
    for (std::size_t i = 0; i + 1 < r.size(); ++i) {
        if (r[i].t < from || r[i].t + seconds > to || !taxies(r[i])) continue;
        const std::size_t back = atOrLast(r, i, r[i].t + seconds + 0.5);
        if (r[back].t <= r[i].t + seconds || !taxies(r[back])) continue;
        const double turn = std::fabs(std::remainder(r[back].s.track - r[i].s.track, 360.0)) * (turning ? 1.0 : -1.0);
        if (!best || turn > most) most = turn, best = i;
    }
    return best;
}
// Its records to its landing roll's record `e` on the runway, then one a second: slowing at 1.5 kn a second
// to `kn`, a turn-off of `turnDeg` (`side` 1 right, -1 left) of radius `radiusM`, then a minute taxiing on,
// speeding up to 15 kn. A record every `every` seconds, its position to `decimals` places, as feeds give them.
Records closeTurnOff(const Records& r, std::size_t e, double side, double kn, double radiusM, int decimals, int every, double turnDeg = 90.0) {
    Records out(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(e) + 1);
    Recorded x = r[e];
    double v = x.s.groundSpeed, heading = x.s.track, turned = 0.0, straight = 0.0;
    LatLon p = pos(x);
    const double scale = std::pow(10.0, decimals);
    const auto ahead = [&](double bearingDeg, double metres) { p = gf_destinationPoint(p, bearingDeg * kDeg2Rad, metres / 0.3048); };
    for (int k = 1; straight < 60.0; ++k) {
        if (v > kn && turned == 0.0) {
            const double slower = std::max(v - 1.5, kn);
            ahead(heading, (v + slower) / 2.0 / kKnPerMps);
            v = slower;
        } else if (turned < turnDeg) {
            const double step = std::min(v / kKnPerMps / radiusM * kRad2Deg, turnDeg - turned);
            ahead(heading + side * step / 2.0, 2.0 * radiusM * std::sin(step * kDeg2Rad / 2.0));
            heading += side * step;
            turned += step;
        } else {
            const double faster = std::min(v + 1.0, 15.0);
            ahead(heading, (v + faster) / 2.0 / kKnPerMps);
            v = faster;
            straight += 1.0;
        }
        if (k % every != 0) continue;
        x.t = r[e].t + k;
        std::tie(x.s.latitude, x.s.longitude) = std::tuple{std::round(p.lat * scale) / scale, std::round(p.lon * scale) / scale};
        x.s.track = std::fmod(heading + 720.0, 360.0);
        x.s.groundSpeed = x.s.trueAirspeed = v;
        out.push_back(x);
    }
    return out;
}

// ---- In the air: made-up motion and the way back onto the records ----

// An airborne stretch of a track around where it turns most in 45 s, times from its first record.
Records airStretch(const char* name, std::size_t& turn) {
    const Records all = realTrack(name);
    double most = -1.0;
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (!all[i].s.airborne) continue;
        const std::size_t j = lastBefore(all, all[i].t + 45.0);
        const double d = std::fabs(std::remainder(all[j].s.track - all[i].s.track, 360.0));
        if (all[j].s.airborne && d > most) most = d, turn = i;
    }
    const std::size_t from = atOrLast(all, 0, all[turn].t - 60.0), to = lastBefore(all, all[turn].t + 150.0);
    Records r = slice(all, from, to);
    std::erase_if(r, [](const Recorded& x) { return !x.s.airborne; });
    turn = atOrLast(r, 0, 60.0);
    return r;
}
// One record every `seconds`.
Records thinned(const Records& r, double seconds) {
    Records out;
    for (const Recorded& x : r)
        if (out.empty() || x.t - out.back().t >= seconds - 0.01) out.push_back(x);
    return out;
}
// From the time `from` on, one record every `seconds` (the records' own, as a feed that sends less often
// gives them), keeping the record `kept`.
Records thinnedAround(const Records& r, std::size_t kept, double seconds, double from) {
    Records out;
    for (std::size_t i = 0; i < r.size(); ++i) {
        // The first record at or after each whole number of `seconds` from the kept one.
        const double slot = r[kept].t + std::floor((r[i].t - r[kept].t) / seconds + 1e-6) * seconds;
        if (r[i].t < from || i == 0 || r[i - 1].t < slot - 1e-6) out.push_back(r[i]);
    }
    return out;
}
// The stamps of the records from `from` on for `seconds` stop at the first's, or lie `lie` seconds
// ahead; positions go on.
Records stampsAmiss(Records r, std::size_t from, double seconds, double lie) {
    const double t0 = r[from].t;
    for (std::size_t i = from; i < r.size() && r[i].t <= t0 + seconds; ++i) r[i].stamp = lie == 0.0 ? t0 : r[i].t + lie;
    return r;
}
// A second sender repeats every record `late` seconds later; at `moveAt` the feed's time base moves
// back by as much, so that from then on every record's stamp is `late` seconds ahead of its own.
Records withLateCopy(const Records& r, double late, double moveAt) {
    Records out;
    for (const Recorded& x : r)
        for (const double arrives : {x.t, x.t + late}) {
            Recorded c = x;
            c.t = arrives;
            c.stamp = x.t + (arrives >= moveAt ? late : 0.0);
            out.push_back(c);
        }
    std::stable_sort(out.begin(), out.end(), [](const Recorded& a, const Recorded& b) { return a.t < b.t; });
    return out;
}

// A generated flight 15 nm north of Zurich at 8,000 ft and 250 kn: straight along `trackDeg`, or
// round a circle at `degPerS` (left turns negative), one record every `every` seconds for `seconds`.
// (A wind from the west drifts it `windKn` east: a real circle never comes back to the very positions
// it flew, which a late second sender's copies do.)
Records generated(double trackDeg, double degPerS, double seconds, double every = 2.0, double kn = 250.0, double windKn = 0.0) {
    const LatLon start = gf_destinationPoint(kZurich, 0.0, 15.0 * kFeetPerNm);
    const double mps = kn * 0.514444, w = degPerS * kDeg2Rad, h0 = trackDeg * kDeg2Rad, wind = windKn * 0.514444;
    Records out;
    for (double t = 0.0; t <= seconds; t += every) {
        const double h = h0 + w * t;
        const double east = (w == 0.0 ? mps * t * std::sin(h0) : mps / w * (std::cos(h0) - std::cos(h))) + wind * t;
        const double north = w == 0.0 ? mps * t * std::cos(h0) : mps / w * (std::sin(h) - std::sin(h0));
        const double vEast = mps * std::sin(h) + wind, vNorth = mps * std::cos(h);
        PositionSample s;
        std::tie(s.latitude, s.longitude, s.altitude, s.track, s.groundSpeed, s.trueAirspeed, s.airborne) =
            std::tuple{start.lat + north / 111120.0, start.lon + east / (111120.0 * std::cos(start.lat * kDeg2Rad)), 8000.0,
                       std::fmod(std::atan2(vEast, vNorth) * kRad2Deg + 720.0, 360.0), std::hypot(vEast, vNorth) / 0.514444, kn,
                       std::uint8_t{1}};
        out.push_back({t, s});
    }
    return out;
}
// A circle at `degPerS` whose records from `at` on are the ones of `back` seconds earlier: the whole
// feed went back in time, the aircraft with it, one record a second to 330 s.
Records rewoundCircle(double degPerS, double at, double back) {
    const Records circle = generated(0.0, degPerS, 330.0 + back, 1.0, 250.0, 5.0);
    Records out;
    for (int t = 0; t <= 330; ++t) {
        Recorded x = circle[static_cast<std::size_t>(t < at ? t + back : t)];
        x.t = t;
        out.push_back(x);
    }
    return out;
}
// Records that shuttle `nm` east and west at 8,000 ft 15 nm north of Zurich, reversing every `every`
// seconds, a record a second for `seconds`, after a minute flying east into it at the same speed.
Records shuttle(double nm, double every, double seconds) {
    const LatLon start = gf_destinationPoint(kZurich, 0.0, 15.0 * kFeetPerNm);
    const double kn = nm / every * 3600.0;
    Records out;
    for (double t = 0.0; t <= 60.0 + seconds; t += 1.0) {
        const double leg = t < 60.0 ? 0.0 : std::fmod(t - 60.0, 2.0 * every);
        const bool east = t < 60.0 || leg < every;
        const double x = t < 60.0 ? (t - 60.0) / every * nm : east ? leg / every * nm : (2.0 * every - leg) / every * nm;
        // (Drifting north a metre a second: no record repeats an earlier one's position, as a late copy does.)
        const LatLon p = gf_destinationPoint(gf_destinationPoint(start, 0.0, t * 3.28084), kPi / 2.0, x * kFeetPerNm);
        PositionSample s;
        std::tie(s.latitude, s.longitude, s.altitude, s.track, s.groundSpeed, s.trueAirspeed, s.airborne) =
            std::tuple{p.lat, p.lon, 8000.0, east ? 90.0 : 270.0, kn, kn, std::uint8_t{1}};
        out.push_back({t, s});
    }
    return out;
}
// Its altitude above Zurich.
double aboveField(const Recorded& r) { return r.s.altitude - fieldFt(r); }

// Heights as receivers give them, in steps (0: exact).
double quantised(double feet, double stepFt) { return stepFt > 0.0 ? stepFt * std::round(feet / stepFt) : feet; }

// A helicopter 3 nm east of a field (Zurich unless told) flying 045: from 120 kn at 1,500 ft above the
// field it slows evenly to `hoverKn` while it descends at `fpm` to `hoverFt` above the field, one record
// every `every` seconds (heights in `stepFt` steps), where its records end; or, with a `pause`, it flies
// on at that pace and height, its records pausing that long and then coming for a minute.
Records slowingToHover(double hoverFt, double fpm, double every, double pause, const RecordedAirport& field = kRecordedAirports[0],
                       double hoverKn = 22.0, double stepFt = 0.0) {
    const double descent = (1500.0 - hoverFt) / fpm * 60.0, end = descent + (pause > 0.0 ? pause + 60.0 : 0.0);
    LatLon p = gf_destinationPoint(field.at, kPi / 2.0, 3.0 * kFeetPerNm);
    Records out;
    for (double t = 0.0; t <= end + 1e-6; t += 1.0) {
        const double kn = t < descent ? 120.0 - (120.0 - hoverKn) * t / descent : hoverKn;
        if (std::fmod(t, every) == 0.0 && (t <= descent || t > descent + pause)) {
            PositionSample s;
            std::tie(s.latitude, s.longitude, s.altitude, s.verticalSpeed, s.track, s.groundSpeed, s.trueAirspeed, s.airborne) =
                std::tuple{p.lat, p.lon, quantised(field.feet + std::max(1500.0 - fpm * t / 60.0, hoverFt), stepFt),
                           t < descent ? -fpm : 0.0, 45.0, kn, kn, std::uint8_t{1}};
            out.push_back({t, s});
        }
        p = gf_destinationPoint(p, kPi / 4.0, kn / 3600.0 * kFeetPerNm);
    }
    return out;
}

const char* const kAirTracks[] = {"lszh-arr-swr5220", "lszh-dep-swr137h", "swr5220-racetracks"};

std::vector<Variant> variantsOf(const std::string& kind) {
    std::vector<Variant> out;
    const auto add = [&](std::string name, Records r, LiftOff l, LatLon runway = {}, double deg = 0.0, bool rolling = false) {
        for (const Variant& v : out)
            if (v.name == name) return;   // two speeds cut at one record
        out.push_back({std::move(name), std::move(r), l, runway, deg, rolling});
    };
    if (kind == "ArrivalEnds" || kind == "ArrivalPauses") {
        for (const char* name : kArrivals) {
            const Records r = arrival(name);
            const std::size_t down = touchdown(r);
            if (kind == "ArrivalEnds") {
                add(vrn::format("{} ends at touchdown", name), slice(r, 0, down), LiftOff::Never);
                for (const double kn : {110.0, 90.0, 70.0, 50.0, 35.0, 20.0, 10.0})
                    add(vrn::format("{} ends at {} kn", name, kn), slice(r, 0, firstAtOrBelow(r, down, kn)), LiftOff::Never);
                continue;
            }
            for (const double kn : {100.0, 30.0, 10.0})
                for (const double seconds : {20.0, 60.0, 120.0})
                    add(vrn::format("{} pauses {} s at {} kn", name, seconds, kn), pausedAfter(r, firstAtOrBelow(r, down, kn), seconds),
                        LiftOff::Never);
            // From its last record 300 ft or more above the field before the touch-down, and from the one
            // before the touch-down.
            std::size_t low = down;
            while (low > 0 && aboveField(r[low]) < 300.0) --low;
            for (const std::size_t from : {low, down - 1})
                for (const double seconds : {30.0, 60.0, 90.0})
                    add(vrn::format("{} pauses {} s from {:.0f} ft before touch-down", name, seconds, aboveField(r[from])),
                        pausedAfter(r, from, seconds), LiftOff::Never);
        }
    } else if (kind == "DepartureEnds" || kind == "DeparturePauses") {
        for (const char* name : kEveryDeparture) {
            LatLon runway;
            double deg = 0.0;
            const Records r = departure(name, runway, deg);
            if (kind == "DepartureEnds") {
                for (const double kn : {20.0, 35.0, 45.0, 60.0, 80.0, 100.0, 120.0, 140.0}) {
                    if (kn > fastestOnGround(r)) continue;
                    const std::size_t cut = firstAtOrAbove(r, kn);
                    const double at = r[cut].s.groundSpeed;
                    add(vrn::format("{} ends at {} kn", name, at), slice(r, 0, cut),
                        at < 40.0 ? LiftOff::Never : at < 60.0 ? LiftOff::May : LiftOff::Must, runway, deg);
                }
                // One record of the roll reads 25 kn slow: noise, not a rejected take-off.
                if (fastestOnGround(r) < 100.0) continue;
                Records noisy = slice(r, 0, firstAtOrAbove(r, 100.0));
                noisy[firstAtOrAbove(noisy, 80.0)].s.groundSpeed -= 25.0;
                add(vrn::format("{} ends at 100 kn, one record 25 kn slow", name), noisy, LiftOff::Must, runway, deg);
                continue;
            }
            // Taxiing, its records back before its roll; and on the roll.
            const std::size_t roll = firstAtOrAbove(r, 30.0);
            for (const double seconds : {20.0, 60.0})
                for (const std::size_t at : {lastBefore(r, r[roll].t - seconds - 15.0), firstAtOrAbove(r, 60.0)})
                    add(vrn::format("{} pauses {} s at {} kn", name, seconds, r[at].s.groundSpeed), pausedAfter(r, at, seconds),
                        LiftOff::Must, runway, deg);
        }
    } else if (kind == "RejectedTakeOff") {
        // A real roll to 80 kn, then a real landing roll's deceleration, turn-off and taxi.
        LatLon runway;
        double deg = 0.0;
        const Records dep = departure("lszh-dep-aee5zh", runway, deg);
        const std::size_t top = firstAtOrAbove(dep, 80.0);
        const Records arr = arrival("lszh-arr-swr5220");
        const Records r = joined(dep, top, arr, firstAtOrBelow(arr, touchdown(arr), dep[top].s.groundSpeed));
        add("rejected", r, LiftOff::Never);
        for (const double kn : {52.0, 9.0}) add(vrn::format("rejected ends at {} kn", kn), slice(r, 0, firstAtOrBelow(r, top + 1, kn)), LiftOff::Never);
        add("rejected pauses 60 s taxiing", pausedAfter(r, firstAtOrBelow(r, top + 1, 15.0), 60.0), LiftOff::Never);
        // Each departure's roll given up at 80 kn, its records ending two records into the braking, both
        // clearly below the roll's top (its third fastest record): no third comes to end the roll under way,
        // so the end of its records must. A record a second, and one every two seconds.
        for (const char* name : kDepartures)
            for (const double every : {1.0, 2.0}) {
                const Records d = departure(name, runway, deg);
                const std::size_t peak = firstAtOrAbove(d, 80.0);
                const Records j = thinned(joined(d, peak, arr, firstAtOrBelow(arr, touchdown(arr), d[peak].s.groundSpeed)), every);
                std::vector<double> fastest;
                for (const Recorded& x : j)
                    if (!x.s.airborne) fastest.push_back(x.s.groundSpeed);
                std::sort(fastest.begin(), fastest.end(), std::greater<>());
                const double slow = fastest[2] - 8.0;
                const std::size_t first = firstIndex(j, firstAtOrAbove(j, 80.0), [&](const Recorded& x) { return x.s.groundSpeed < slow; });
                add(vrn::format("{} rejected at {} kn, records {:.0f} s apart end at {} kn", name, d[peak].s.groundSpeed, every,
                                j[first + 1].s.groundSpeed),
                    slice(j, 0, first + 1), LiftOff::Never, runway, deg);
            }
        // Each departure's roll given up at 80 kn (Dulles's at its fastest ground record), its records
        // ending slow, at 45-60 kn: it stops on the runway. Records a second and two seconds apart (Dulles
        // has only the latter).
        for (const char* name : kEveryDeparture)
            for (const double every : {1.0, 2.0}) {
                if (every < 2.0 && std::string_view(name).starts_with("kiad")) continue;
                const Records d = departure(name, runway, deg, 70.0);
                const std::size_t peak = firstAtOrAbove(d, std::min(80.0, fastestOnGround(d)));
                const Records j = thinned(joined(d, peak, arr, firstAtOrBelow(arr, touchdown(arr), d[peak].s.groundSpeed)), every);
                const std::size_t top = firstAtOrAbove(j, fastestOnGround(j));
                for (const double kn : {45.0, 52.0, 60.0}) {
                    // Its braking record nearest that speed.
                    std::size_t end = top;
                    for (std::size_t i = top; i < j.size() && j[i].s.groundSpeed >= 40.0; ++i)
                        if (std::fabs(j[i].s.groundSpeed - kn) < std::fabs(j[end].s.groundSpeed - kn)) end = i;
                    add(vrn::format("{} rejected at {} kn, records {:.0f} s apart end at {} kn", name, d[peak].s.groundSpeed, every,
                                    j[end].s.groundSpeed),
                        slice(j, 0, end), LiftOff::Never, runway, deg);
                }
            }
    } else if (kind == "TouchAndGo") {
        // A real landing to its roll at 110 kn, then a real take-off roll from that speed and climb.
        const Records arr = arrival("lszh-arr-swr5220");
        const std::size_t roll = firstAtOrBelow(arr, touchdown(arr), 110.0);
        for (const char* name : kDepartures) {
            LatLon runway;
            double deg = 0.0;
            const Records dep = departure(name, runway, deg);
            const std::size_t from = firstAtOrAbove(dep, arr[roll].s.groundSpeed);
            Records r = joined(arr, roll, dep, from);
            // Its records end ten seconds into the climb.
            const std::size_t up = firstIndex(r, roll + 1, [](const Recorded& x) { return x.s.airborne; });
            r = slice(r, 0, atOrLast(r, up, r[up].t + 10.0));
            add(vrn::format("touch and go, {}", name), r, LiftOff::Must, pos(arr[roll]), arr[roll].s.track);
        }
        // Lifting off again 1-5 s after its touch-down, its nose still coming down from the flare: the
        // departure's records from its last ground one on. Its records end ten seconds into the climb.
        const std::size_t down = touchdown(arr);
        LatLon runway;
        double deg = 0.0;
        const Records dep = departure("lszh-dep-swr137h", runway, deg);
        for (const double seconds : {1.0, 3.0, 5.0}) {
            const std::size_t k = atOrLast(arr, down, arr[down].t + seconds);
            const Records r = joined(arr, k, dep, liftOff(dep) - 1);
            add(vrn::format("touch and go, lifting off {:.0f} s after touching down", arr[k].t - arr[down].t),
                slice(r, 0, atOrLast(r, k + 1, r[k + 1].t + 10.0)), LiftOff::Must, pos(arr[down]), arr[down].s.track);
        }
    } else if (kind.starts_with("Air")) {
        for (const char* name : kAirTracks) {
            std::size_t turn = 0;
            const Records r = airStretch(name, turn);
            if (kind == "AirThinned") {
                for (const double every : {5.0, 7.0, 10.0}) add(vrn::format("{} one record every {} s", name, every), thinned(r, every), LiftOff::May);
            } else if (kind == "AirPauses") {
                // (After 45 s and more its records may lie beyond a minute of its flight: it is created again there.)
                for (const double seconds : {20.0, 45.0, 90.0}) {
                    add(vrn::format("{} pauses {} s in its turn", name, seconds), pausedAfter(r, turn, seconds), LiftOff::May);
                    out.back().objects = seconds >= 45.0 ? 2 : 1;
                }
                const Records sparse = thinned(r, 7.0);
                add(vrn::format("{} one record every 7 s, 45 s missing in its turn", name),
                    pausedAfter(sparse, lastBefore(sparse, r[turn].t), 45.0), LiftOff::May);
                out.back().objects = 2;
            } else if (kind == "AirStampsAmiss") {
                add(vrn::format("{} stamps stop 60 s in its turn", name), stampsAmiss(r, turn, 60.0, 0.0), LiftOff::May);
                add(vrn::format("{} stamps 60 s ahead for 30 s in its turn", name), stampsAmiss(r, turn, 30.0, 60.0), LiftOff::May);
            } else if (kind == "AirLateCopy") {
                add(vrn::format("{} repeated 45 s late", name), withLateCopy(r, 45.0, r[turn].t), LiftOff::May);
            }
        }
    } else if (kind == "FastOutlier" || kind == "TrackError") {
        // One record of the roll from 70 kn on reads 25 kn fast (one 2 s after the record before, as the
        // feed filter keeps records a second apart only every other second); or the records from 43 to
        // 60 kn read their track 3 degrees off. Records end at 82 kn, or pause 40 s after the stray ones.
        for (const char* name : kDepartures) {
            LatLon runway;
            double deg = 0.0;
            Records r = departure(name, runway, deg);
            std::size_t last = firstIndex(r, 1, [&](const Recorded& x) { return x.s.groundSpeed >= 70.0 && x.t >= (&x - 1)->t + 2.0; });
            if (kind == "FastOutlier") {
                r[last].s.groundSpeed += 25.0;
                last += 2;   // the two normal records after it
            } else {
                for (last = firstAtOrAbove(r, 43.0); r[last].s.groundSpeed < 60.0; ++last) r[last].s.track += 3.0;
            }
            const std::size_t end = firstIndex(r, last, [](const Recorded& x) { return x.s.groundSpeed >= 82.0; });
            add(vrn::format("{} {} ends at 82 kn", name, kind), slice(r, 0, end), LiftOff::Must, runway, deg);
            add(vrn::format("{} {} pauses 40 s", name, kind), pausedAfter(r, last, 40.0), LiftOff::Must, runway, deg);
        }
    } else if (kind == "StrayHighRecords" || kind == "TouchdownScatter") {
        for (const char* name : kArrivals) {
            Records r = arrival(name);
            const std::size_t down = touchdown(r);
            std::size_t last = 0;
            if (kind == "StrayHighRecords") {
                // Its two records at 39 and 37 kn on the turn-off, 2 s apart, read 150 ft above the field.
                const double t0 = r[down].t;
                std::erase_if(r, [&](const Recorded& x) { return x.t > t0 && std::fmod(x.t - t0, 2.0) != 0.0; });
                last = firstAtOrBelow(r, down, 39.0) + 1;
                for (const std::size_t i : {last - 1, last}) {
                    r[i].s.airborne = 1;
                    r[i].s.altitude = fieldFt(r[i]) + 150.0;
                }
            } else {
                // Four ground records 2 s apart after touchdown rise 16.5 kn, then one reads airborne (7 s
                // later: the feed filter thins fast airborne records to one every 450 m).
                const double t0 = r[down].t, kn0 = r[down].s.groundSpeed;
                std::erase_if(r, [&](const Recorded& x) {
                    return x.t > t0 && x.t < t0 + 13.0 && (x.t > t0 + 6.0 || std::fmod(x.t - t0, 2.0) != 0.0);
                });
                for (std::size_t k = 1; k <= 3; ++k) r[down + k].s.groundSpeed = kn0 + std::min(8.25 * static_cast<double>(k), 16.5);
                last = down + 4;
                r[last].s.airborne = 1;
                r[last].s.altitude = fieldFt(r[last]) + 30.0;
            }
            add(vrn::format("{} {}, records end", name, kind), slice(r, 0, last), LiftOff::Never);
            add(vrn::format("{} {}, pause 40 s", name, kind), pausedAfter(r, last, 40.0), LiftOff::Never);
        }
    } else if (kind == "CreationDuringRoll") {
        // First seen on its landing roll at 100 kn, one record 10 s later reading airborne.
        for (const char* name : kArrivals) {
            Records r = arrival(name);
            const std::size_t from = firstAtOrBelow(r, touchdown(r), 100.0);
            const std::size_t stray = atOrLast(r, from, r[from].t + 10.0);
            r[stray].s.airborne = 1;
            r[stray].s.altitude = fieldFt(r[stray]) + 150.0;
            add(vrn::format("{} first seen on its landing roll, one record airborne, pause 40 s", name),
                slice(pausedAfter(r, stray, 40.0), from, r.size()), LiftOff::Never);
        }
        // First seen on a take-off roll at 45 kn.
        for (const char* name : kDepartures) {
            LatLon runway;
            double deg = 0.0;
            const Records r = departure(name, runway, deg);
            add(vrn::format("{} first seen at 45 kn", name), slice(r, firstAtOrAbove(r, 45.0), r.size() - 1), LiftOff::Must, runway, deg, true);
        }
    } else if (kind == "FeedStartsRolling") {
        for (const char* name : kDepartures)
            for (const double kn : {60.0, 100.0}) {
                LatLon runway;
                double deg = 0.0;
                const Records r = departure(name, runway, deg);
                add(vrn::format("{} first seen at {} kn", name, kn), slice(r, firstAtOrAbove(r, kn), r.size() - 1), LiftOff::Must, runway,
                    deg, true);
            }
    } else if (kind == "DepartureThinned") {
        // From where its roll sets off, one record every so many seconds, keeping the record `kept` places
        // from its first flying one: its last ground record and its first in the air come that far apart.
        // Every departure 10, 15 and 20 s apart (low-level coverage), its last ground record or its first
        // flying one kept, or the one after; and Dulles's 2-s records 5 s apart.
        std::vector<std::tuple<const char*, double, int>> thinnings{{"kiad-dep-ual2098", 5.0, 0}};
        for (const char* name : kEveryDeparture)
            for (const double every : {10.0, 15.0, 20.0})
                for (const int kept : {-1, 0, 1}) thinnings.emplace_back(name, every, kept);
        for (const auto& [name, every, kept] : thinnings) {
            LatLon runway;
            double deg = 0.0;
            const Records r = departure(name, runway, deg);
            const std::size_t up = firstIndex(r, 1, [](const Recorded& x) { return x.s.airborne && x.s.groundSpeed >= kLeastLiftOffKn; });
            std::size_t roll = up;
            while (roll > 0 && !(r[roll - 1].s.groundSpeed < 30.0)) --roll;
            add(vrn::format("{} one record every {} s from its roll on, keeping record {:+d} of its first flying one", name, every, kept),
                thinnedAround(r, static_cast<std::size_t>(static_cast<int>(up) + kept), every, r[roll].t), LiftOff::Must, runway, deg);
        }
    } else if (kind == "EndsAtEveryPhase") {
        // On the take-off roll while it speeds up, on final, taxiing in, and at the stand.
        for (const char* name : kEveryDeparture) {
            LatLon runway;
            double deg = 0.0;
            const Records r = departure(name, runway, deg);
            for (const double kn : {45.0, 50.0, 55.0, 65.0, 72.0, 80.0}) {
                if (std::none_of(r.begin(), r.end(), [&](const Recorded& x) { return !x.s.airborne && x.s.groundSpeed >= kn; })) continue;
                const std::size_t cut = firstAtOrAbove(r, kn);
                if (r[cut].s.groundSpeed <= r[cut - 1].s.groundSpeed) continue;
                add(vrn::format("{} ends on its roll at {} kn", name, r[cut].s.groundSpeed), slice(r, 0, cut), LiftOff::Must, runway, deg);
            }
        }
        for (const char* name : kEveryArrival) {
            const Records all = realTrack(name);
            const std::size_t down = touchdown(all);
            for (const double ft : {1000.0, 700.0, 500.0, 300.0}) {
                std::size_t cut = down - 1;
                while (cut > 0 && aboveField(all[cut]) < ft) --cut;
                if (aboveField(all[cut]) > ft + 200.0 || aboveField(all[cut]) < ft) continue;
                Variant v{vrn::format("{} ends on final at {:.0f} ft", name, aboveField(all[cut])),
                          slice(all, atOrLast(all, 0, all[cut].t - 120.0), cut), LiftOff::Never};
                v.mustLand = true;
                out.push_back(std::move(v));
            }
            const Records r = arrival(name);
            const bool taxies = std::any_of(r.begin() + static_cast<std::ptrdiff_t>(touchdown(r)), r.end(),
                                            [](const Recorded& x) { return !x.s.airborne && x.s.groundSpeed <= 18.0; });
            if (taxies) add(vrn::format("{} ends taxiing", name), slice(r, 0, firstAtOrBelow(r, touchdown(r), 18.0) + 20), LiftOff::Never);
            add(vrn::format("{} ends where its records end", name), r, LiftOff::Never);
        }
        // A long taxi from the stand, with gaps of up to 72 s: its records end while it stands, and taxiing.
        const Records taxi = realTrack("kiad-taxi-ual1230");
        const std::size_t moves = firstIndex(taxi, 0, [](const Recorded& x) { return x.s.groundSpeed >= 5.0; });
        add("kiad-taxi-ual1230 ends at its stand", slice(taxi, 0, moves - 1 > 0 ? moves - 1 : 0), LiftOff::Never);
        add("kiad-taxi-ual1230 ends taxiing", slice(taxi, 0, firstIndex(taxi, moves, [](const Recorded& x) { return x.s.groundSpeed >= 12.0; })),
            LiftOff::Never);
    } else if (kind == "ApproachPauses") {
        // Its records pause for 55 s across the last turn it makes before its touchdown (onto final).
        for (const char* name : kEveryArrival) {
            const Records all = realTrack(name);
            const std::size_t down = touchdown(all);
            std::size_t turn = 0;
            double most = 0.0;
            for (std::size_t i = atOrLast(all, 0, all[down].t - 420.0); i < down; ++i) {
                const std::size_t j = lastBefore(all, all[i].t + 55.0);
                const double d = std::fabs(std::remainder(all[j].s.track - all[i].s.track, 360.0));
                if (j < down && d > most) most = d, turn = i;
            }
            if (most < 15.0) continue;
            Variant v{vrn::format("{} pauses 55 s in its {:.0f}-degree turn onto final", name, most),
                      pausedAfter(slice(all, atOrLast(all, 0, all[turn].t - 60.0), all.size() - 1),
                                  atOrLast(slice(all, atOrLast(all, 0, all[turn].t - 60.0), all.size() - 1), 0, 60.0), 55.0),
                      LiftOff::Never};
            v.mustLand = true;
            out.push_back(std::move(v));
        }
    } else if (kind == "DepartsAfterStand") {
        // An arrival that taxies to its stand and stands; 300 s without records; then records only in
        // the air, climbing away from the airport (a departure's, from 20 s after its lift-off).
        // (Of the departures only this one climbs on for minutes.)
        for (const char* name : {"lszh-dep-swr137h"})
          for (const double gap : {300.0, 100.0}) {
            Records r = arrival("lszh-arr-swr5220");
            const Records dep = realTrack(name);
            const std::size_t up = liftOff(dep);
            const double t0 = r.back().t + gap - dep[up].t - 20.0;
            for (std::size_t i = atOrLast(dep, up, dep[up].t + 20.0); i < dep.size() && dep[i].t <= dep[up].t + 120.0; ++i) {
                Recorded x = dep[i];
                x.t += t0;
                r.push_back(x);
            }
            Variant v{vrn::format("arrival stands, {} s later flies again as {}", gap, name), r, LiftOff::May};
            v.objects = 2;
            out.push_back(std::move(v));
        }
    } else if (kind == "EmptyTrack") {
        // Neither track nor heading in the records: the parser leaves the track at 0. They turn, so that a
        // track read as due north shows; and pause in the turn.
        for (const double deg : {0.0, 90.0, 180.0, 270.0}) {
            Records r = generated(deg, deg < 150.0 ? 1.5 : -1.5, 180.0, 2.0, 280.0);
            for (Recorded& x : r) x.s.track = 0.0;
            add(vrn::format("turning from {:.0f} degrees, no track", deg), r, LiftOff::May);
            add(vrn::format("turning from {:.0f} degrees, no track, 30 s without records", deg), pausedAfter(r, atOrLast(r, 0, 60.0), 30.0),
                LiftOff::May);
        }
    } else if (kind == "SteadyTurns") {
        for (const double rate : {1.0, 2.0, 3.0})
            for (const double seconds : {60.0, 75.0}) {
                const Records r = generated(0.0, rate, 330.0, 2.0, 250.0, 5.0);
                add(vrn::format("circling at {} degrees a second, {} s without records", rate, seconds),
                    pausedAfter(r, atOrLast(r, 0, 60.0), seconds), LiftOff::May);
                // (At 3 degrees a second and 250 kn they turn at the steepest bank it may fly: it cannot
                // close on them from its made-up circle, and is created again where they are.)
                out.back().objects = rate >= 3.0 ? 2 : 1;
            }
        add("circling at 2 degrees a second, stamps stop for 60 s", stampsAmiss(generated(0.0, 2.0, 330.0, 2.0, 250.0, 5.0), 30, 60.0, 0.0), LiftOff::May);
        add("circling at 2 degrees a second, repeated 45 s late", withLateCopy(generated(0.0, 2.0, 330.0, 2.0, 250.0, 5.0), 45.0, 1e9), LiftOff::May);
        // The whole feed goes back 600 s, the aircraft with it: it flies to where its records are, or is
        // created again there at once.
        for (const double rate : {2.0, 1.0, 3.0}) {
            add(vrn::format("circling at {} degrees a second, the feed 600 s back from 60 s", rate), rewoundCircle(rate, 60.0, 600.0),
                LiftOff::May);
            // (At 3 degrees a second its circle asks for the steepest bank it may fly, and a little more
            // where the wind speeds it over the ground: it falls off that circle once more.)
            out.back().objects = rate >= 3.0 ? 3 : 2;
        }
        // As the running program sees it: records stamped 600 s back are dropped until the feed's clock
        // takes them for its new time base, some 6 s. Heading west, the wind's drift puts the first it
        // plays 0.8 nm ahead along its turn, out of its reach (it flew seconds late after them, off them
        // for minutes).
        add("circling at 3 degrees a second, the feed 600 s back from 90 s, 6 s dropped", pausedAfter(rewoundCircle(3.0, 90.0, 600.0), 89, 6.0),
            LiftOff::May);
        out.back().objects = 2;
        // It cannot turn round every 10 s: it stays near them, circling as tightly as its bank allows
        // at their slow speed (wider, at an airliner's standard rate of turn, it strays 0.95 nm).
        Variant v{"records shuttling 0.35 nm, reversing every 10 s", shuttle(0.35, 10.0, 240.0), LiftOff::May};
        v.mostOffNm = 0.8;
        out.push_back(std::move(v));
        // Steeper than an airliner's usual 30-degree bank at 250 kn (2.5 degrees a second), within the
        // steepest it may fly: its made-up circle keeps their rate, and it is on them again when they come.
        const Records steep = generated(0.0, 2.75, 330.0, 2.0, 250.0, 5.0);
        add("circling at 2.75 degrees a second, 60 s without records", pausedAfter(steep, atOrLast(steep, 0, 60.0), 60.0), LiftOff::May);
        // (Last in the kind, as the row before: a row ahead of the rewound circles moves the pass clock under them.)
        // The feed's clock jumps back 600 s while positions go on: until the clock takes the new time
        // base (some 5 s) the stamps lie 600 s behind, then follow on from the earlier ones.
        for (const double every : {1.0, 2.0})
            add(vrn::format("circling at 2 degrees a second, a record every {:.0f} s, stamps 600 s back for 5 s", every),
                stampsAmiss(generated(0.0, 2.0, 330.0, every, 250.0, 5.0), static_cast<std::size_t>(60.0 / every), 5.0, -600.0), LiftOff::May);
    } else if (kind == "PauseToTurnOff") {
        // Coverage ends low on final and comes back as it turns off: its records pause from the last
        // airborne one to the first at the turn-off, for as long as they did or longer (a longer roll-out).
        for (const char* name : kGroundArrivals) {
            const Records r = arrival(name);
            const std::size_t last = touchdown(r) - 1, off = turnOff(r);
            const double real = r[off].t - r[last].t;
            for (const double seconds : {20.0, 45.0, 75.0, 130.0}) {
                if (seconds < real) continue;
                Records p = delayedFrom(r, off, seconds - real);
                p.erase(p.begin() + static_cast<std::ptrdiff_t>(last) + 1, p.begin() + static_cast<std::ptrdiff_t>(off));
                add(vrn::format("{} pauses {:.0f} s from {:.0f} ft to its turn-off at {} kn", name, seconds, aboveField(r[last]),
                                r[off].s.groundSpeed),
                    std::move(p), LiftOff::Never);
            }
        }
    } else if (kind == "FlickeringTaxi") {
        // Taxiing in after the turn-off, every other record reads 600 ft above the field at taxi speed, as
        // some receivers give: no aircraft flies at that speed, and it stays on the ground.
        for (const char* name : kGroundArrivals) {
            const Records all = arrival(name);
            const Records taxi = slice(all, turnOff(all), all.size() - 1);
            // (From its second record, or from its first: then it is first seen up there.)
            for (const std::size_t first : {1, 0}) {
                Records r = taxi;
                for (std::size_t i = first; i < r.size(); i += 2)
                    if (r[i].s.groundSpeed >= 5.0) std::tie(r[i].s.airborne, r[i].s.altitude) = std::tuple{std::uint8_t{1}, fieldFt(r[i]) + 600.0};
                add(vrn::format("{} taxiing in, every other record 600 ft up{}", name, first == 0 ? ", the first too" : ""), r, LiftOff::Never);
            }
        }
    } else if (kind == "TaxiPauses") {
        // Its records pause for a minute and more while it taxies, across the largest turn they make over
        // the pause and along the straightest way: arrivals after their turn-off, departures before their
        // roll, the long Dulles taxi.
        for (const double seconds : {60.0, 90.0})
            for (const bool turning : {true, false}) {
                const char* where = turning ? "in its turn" : "on a straight";
                for (const char* name : kGroundArrivals) {
                    const Records r = arrival(name);
                    if (const auto at = taxiPause(r, r[turnOff(r)].t + 5.0, r.back().t, seconds, turning))
                        add(vrn::format("{} pauses {:.0f} s taxiing in at {} kn {}", name, seconds, r[*at].s.groundSpeed, where),
                            pausedAfter(r, *at, seconds), LiftOff::Never), out.back().uncut = r;
                }
                for (const char* name : kEveryDeparture) {
                    LatLon runway;
                    double deg = 0.0;
                    const Records r = departure(name, runway, deg, 600.0);
                    if (const auto at = taxiPause(r, 0.0, r[firstAtOrAbove(r, 30.0)].t - 20.0, seconds, turning))
                        add(vrn::format("{} pauses {:.0f} s taxiing out at {} kn {}", name, seconds, r[*at].s.groundSpeed, where),
                            pausedAfter(r, *at, seconds), LiftOff::Must, runway, deg), out.back().uncut = r;
                }
                const Records taxi = realTrack("kiad-taxi-ual1230");
                if (const auto at = taxiPause(taxi, 0.0, taxi.back().t, seconds, turning))
                    add(vrn::format("kiad-taxi-ual1230 pauses {:.0f} s taxiing at {} kn {}", seconds, taxi[*at].s.groundSpeed, where),
                        pausedAfter(taxi, *at, seconds), LiftOff::Never), out.back().uncut = taxi;
            }
        // Records that come back behind it or beyond its reach (a turn its made-up way did not know, a
        // runway's end where it turned round to line up) are where it is created again, once.
        for (Variant& v : out) v.objects = 2, v.createdAgain = true;
    } else if (kind == "CloseTurnOff") {
        // From its landing roll on the runway's line, a 90-degree turn-off to the side it really turns off,
        // with records 2-20 m apart: a second apart, and two seconds apart to four decimals (some 10 m) as
        // Dulles gives them.
        for (const char* name : kGroundArrivals) {
            const Records r = arrival(name);
            const std::size_t off = turnOff(r), down = touchdown(r);
            const double runwayDeg = landingDeg(r);
            std::size_t e = off;
            while (e > down && std::fabs(std::remainder(r[e].s.track - runwayDeg, 360.0)) > 12.0) --e;
            if (std::fabs(std::remainder(r[e].s.track - runwayDeg, 360.0)) > 12.0 || r[e].s.airborne) continue;
            const double side = std::remainder(r[off].s.track - runwayDeg, 360.0) > 0.0 ? 1.0 : -1.0;
            for (const auto& [kn, radiusM, decimals, every] :
                 {std::tuple{10.0, 45.0, 6, 1}, std::tuple{4.0, 30.0, 6, 1}, std::tuple{4.0, 30.0, 4, 2}, std::tuple{8.0, 40.0, 4, 2}})
                add(vrn::format("{} turns off {} at {:.0f} kn, positions {:.0f} m apart to {} decimals", name, side > 0.0 ? "right" : "left", kn,
                                kn / kKnPerMps * every, decimals),
                    closeTurnOff(r, e, side, kn, radiusM, decimals, every), LiftOff::Never);
            // Turning off and back along a parallel taxiway 120 m off the runway, while it still rolls out.
            add(vrn::format("{} turns off {} at 12 kn back along a parallel taxiway", name, side > 0.0 ? "right" : "left"),
                closeTurnOff(r, e, side, 12.0, 60.0, 6, 1, 180.0), LiftOff::Never);
        }
    } else if (kind == "GoAroundPauses") {
        // The Sydney low approaches: records pause for a minute from 15 s before the lowest point of each
        // and come back in the go-around's climbing turn. Its made-up approach lands meanwhile; flying
        // records then make it anew in the air where they are, never a take-off from the runway.
        const Records all = realTrack("yssy-goaround-ada4");
        for (std::size_t i = 1; i + 1 < all.size(); ++i) {
            // The first record of the lowest point within two minutes either side.
            const bool lowest = aboveField(all[i]) < 400.0 && std::all_of(all.begin(), all.end(), [&](const Recorded& x) {
                return std::fabs(x.t - all[i].t) > 120.0 || aboveField(x) > aboveField(all[i]) || (x.t >= all[i].t && aboveField(x) == aboveField(all[i]));
            });
            if (!lowest) continue;
            // From 15 s before it, still going down.
            const std::size_t from = lastBefore(all, all[i].t - 15.0);
            const std::size_t first = atOrLast(all, 0, all[from].t - 120.0);
            const Records r = slice(all, first, atOrLast(all, i, all[i].t + 150.0));
            const std::size_t at = from - first;
            for (const double seconds : {60.0}) {
                Variant v{vrn::format("yssy-goaround-ada4 pauses {:.0f} s from {:.0f} ft going down to {:.0f}", seconds, aboveField(all[from]),
                                      aboveField(all[i])),
                          pausedAfter(r, at, seconds), LiftOff::Never};
                std::tie(v.mayLand, v.objects) = std::tuple{true, 2};
                out.push_back(std::move(v));
            }
        }
    } else if (kind == "ClimbsOutOfRange") {
        // A departure whose records end as it climbs out of range, 2,000 or 4,000 ft above the field.
        for (const char* name : {"lszh-dep-swr137h", "kiad-dep-ual2098"}) {
            LatLon runway;
            double deg = 0.0;
            departure(name, runway, deg);
            const Records all = realTrack(name);
            const std::size_t up = liftOff(all), from = atOrLast(all, 0, all[up].t - 70.0);
            for (const double ft : {2000.0, 4000.0}) {
                const std::size_t cut = firstIndex(all, up, [&](const Recorded& x) { return x.s.airborne && aboveField(x) >= ft; });
                add(vrn::format("{} records end climbing at {:.0f} ft", name, aboveField(all[cut])), slice(all, from, cut), LiftOff::Must,
                    runway, deg);
            }
        }
    } else if (kind == "HelicopterHovers") {
        // A helicopter slowing to a hover, its records ending there or pausing for a minute (over
        // Washington too, a few hundred feet up, descending at up to 450 ft a minute; a hover's records
        // that repeat one position exactly are refused as a stuck transponder's, so one that pauses drifts).
        const RecordedAirport &zurich = kRecordedAirports[0], &washington = kRecordedAirports[3];
        for (const auto& [type, ft, fpm, every, pause, field, kn] :
             {std::tuple{"EC45", 300.0, 260.0, 1.0, 0.0, &zurich, 22.0}, std::tuple{"EC45", 300.0, 260.0, 2.0, 60.0, &zurich, 22.0},
              std::tuple{"H145", 1000.0, 190.0, 2.0, 0.0, &zurich, 22.0}, std::tuple{"H145", 1000.0, 190.0, 1.0, 60.0, &zurich, 22.0},
              std::tuple{"H145", 400.0, 450.0, 2.0, 60.0, &washington, 22.0}, std::tuple{"H145", 375.0, 250.0, 1.0, 60.0, &washington, 1.0},
              std::tuple{"H145", 450.0, 450.0, 2.0, 60.0, &washington, 3.0}, std::tuple{"EC45", 450.0, 300.0, 2.0, 0.0, &washington, 0.0}}) {
            Variant v{vrn::format("{} slows to {:.0f} kn at {:.0f} ft over {} descending {:.0f} ft a minute, records {:.0f} s apart {}", type, kn,
                                  ft, field->icao, fpm, every, pause > 0.0 ? "pause 60 s" : "end"),
                      slowingToHover(ft, fpm, every, pause, *field, kn, field == &washington ? 25.0 : 0.0), LiftOff::May};
            std::tie(v.model, v.sizeClass) = std::tuple{type, SIZE_ROTORCRAFT};
            out.push_back(std::move(v));
        }
    } else if (kind == "WholeTracks") {
        for (const WholeTrack& t : wholeTracks())
            add(t.name + " whole", realTrack(t.name), t.liftOff == 1 ? LiftOff::Must : t.liftOff == 2 ? LiftOff::May : LiftOff::Never, t.runway,
                t.runwayDeg);
    }
    // The racetracks' sharpest turn, 4-5 degrees a second at 200-280 kn, is beyond a 35-degree bank: the
    // aircraft cannot close on them there and is created again where they are.
    for (Variant& v : out)
        if (v.name.starts_with("swr5220-racetracks")) v.objects = std::max(v.objects, 2);
    // Reagan's SWA1174 stands 18 s after its touch-down, then its records pause 77 s and come back 970 m
    // on, round its turn-off: beyond a taxi's reach, it is created again there.
    for (Variant& v : out)
        if (v.name == "kdca-arr-swa1174 whole") v.objects = 2, v.createdAgain = true;
    // Two rows are printed, not held: the racetracks' last records climb at 13,900 ft a minute, beyond
    // its class, and it is up to 0.3 nm ahead of them beneath; after a minute's pause in its taxi,
    // SWR137H lifts off late and climbs some 600 m behind its records (and up to 610 ft below them).
    for (Variant& v : out)
        if (v.name == "swr5220-racetracks whole" || v.name == "lszh-dep-swr137h pauses 60 s at 4.4 kn") v.heldToRecords = false;
    // Zurich's first: each kind moves the user and the park airport once at most.
    std::stable_partition(out.begin(), out.end(), [](const Variant& v) { return fieldFt(v.records.front()) == kZurichFt; });
    return out;
}

// A kind of variants, replayed with the simulator at a frame rate.
struct Kind {
    const char* name;
    int fps;
};
std::ostream& operator<<(std::ostream& out, const Kind& k) { return out << k.name << " at " << k.fps << " fps"; }

class GroundPhaseTest : public ReplayTest, public ::testing::WithParamInterface<Kind> {
protected:
    void SetUp() override {
        fps = GetParam().fps;
        ReplayTest::SetUp();
    }

    // What was seen once a second of one object's life.
    struct Second { const Seen* seen; double kn; };

    // The rules, checked over the trace; each failure names the variant and the second.
    // Once a second: time, speed, heading, ground, made-up, and the record playing (VARNEL_TABLE_DUMP=part of a variant's name).
    void dumpTrace(const Variant& v) const {
        for (std::size_t i = 100; i < trace.size(); i += 100) {
            const Seen& s = trace[i];
            const double t = (s.pass - kPlayDelay) / 100.0;
            const Recorded& x = v.records[lastBefore(v.records, t)];
            std::cout << vrn::format("  {} t={:.0f} {:.1f} kn hdg {:.0f} crs {:.0f} {} {:.0f} ft{} | record t={:.0f} {:.1f} kn trk {:.0f} {} {:.0f} ft {:.0f} m away\n",
                                     v.name, t, gf_distanceNm(trace[i - 100].p, s.p) * 3600.0, s.heading * kRad2Deg,
                                     gf_initialBearing(trace[i - 100].p, s.p) * kRad2Deg, s.onGround ? "G" : "A", s.altitude,
                                     s.madeUp ? " made-up" : "", x.t, x.s.groundSpeed, x.s.track, x.s.airborne ? "A" : "G", x.s.altitude,
                                     gf_distanceNm(pos(x), s.p) * 1852.0);
        }
    }

    void check(const Variant& v) {
        const Records& r = v.records;
        const int lastDue = static_cast<int>(r.back().t * 100.0) + kPlayDelay;
        // Where its records lift off, when they show the end of the roll (no pause just before).
        std::optional<LatLon> realLiftOff;
        if (const std::size_t up = recordsLiftOff(r, 5.0); up < r.size()) realLiftOff = pos(r[up]);
        // Passes of made-up motion: after the last record, and in gaps of the records until the next arrives.
        const auto madeUp = [&](int pass) {
            if (pass > lastDue) return true;
            for (std::size_t i = 1; i < r.size(); ++i)
                // Until the next record arrives: the aircraft then heads for it.
                if (pass > r[i - 1].t * 100.0 + kPlayDelay + 100 && pass < r[i].t * 100.0)
                    return true;
            return false;
        };
        // The highest speed its records show within half a minute of the one playing at a pass (across
        // a gap in them, the records on either side): reported, or from one position to the next
        // (real positions scatter, and the object follows them).
        const auto stamp = [&](std::size_t i) { return r[i].stamp.value_or(r[i].t); };
        const auto fastestNear = [&](int pass) {
            const double t = (pass - kPlayDelay) / 100.0;
            double most = 0.0;
            for (std::size_t i = 0; i < r.size(); ++i) {
                const bool near = std::fabs(r[i].t - t) <= 30.0 || (i + 1 < r.size() && r[i].t <= t && r[i + 1].t >= t) ||
                                  (i > 0 && r[i - 1].t <= t && r[i].t >= t) || (i + 1 == r.size() && r[i].t <= t);
                if (!near) continue;
                most = std::max(most, r[i].s.groundSpeed);
                const double dt = i > 0 ? stamp(i) - stamp(i - 1) : 0.0;
                if (dt >= 0.9 && dt <= 12.0) most = std::max(most, gf_distanceNm(pos(r[i - 1]), pos(r[i])) * 3600.0 / dt);
            }
            return most;
        };
        // The highest speed its records report within half a minute of the one playing at a pass
        // (across a gap in them, the records on either side): their positions' scatter left out.
        const auto reportedNear = [&](int pass) {
            const double t = (pass - kPlayDelay) / 100.0;
            double most = 0.0;
            for (std::size_t i = 0; i < r.size(); ++i)
                if (std::fabs(r[i].t - t) <= 30.0 || (i + 1 < r.size() && r[i].t <= t && r[i + 1].t >= t) ||
                    (i > 0 && r[i - 1].t <= t && r[i].t >= t))
                    most = std::max(most, r[i].s.groundSpeed);
            return most;
        };
        // What an A320 can do in a second: brake or speed up at 0.3 g on the ground, turn at three times
        // its taxi rate on the ground, and no faster than its speed allows there (0.3 g sideways), and at
        // its air rate aloft (plus what a second's rounding gives); a helicopter at its class's air rate.
        const bool rotor = v.sizeClass == SIZE_ROTORCRAFT;
        const double groundTurnDegPerS = 3.0 * 0.07 * 100.0 + 1.0, airTurnDegPerS = (rotor ? 0.3 : 0.1) * 100.0 + 1.0;
        int jerks = 0, sharpTurns = 0, overReported = 0, surges = 0, bornAt = 0;
        double worstJerk = 0.0, worstTurn = 0.0, worstOver = 0.0;
        bool wasAirborne = false, lifted = false;
        int deadStops = 0, hardBraking = 0, steps = 0, slowFlight = 0, objects = 0, uneven = 0, sideways = 0, backwards = 0,
            tooFast = 0, fastAt = 0;
        double lastAirKn = 0.0, offLine = 0.0, mostOff = 0.0, fastest = 0.0;
        std::vector<Second> seconds;
        // A run of made-up seconds on the ground changes speed evenly: braking, no second slows by
        // more than 3 kn or by more than twice the run's mean; speeding up (from a crawl to the pace its
        // made-up samples go on at, quickly and then gently), by no more than 6 kn.
        std::vector<std::pair<double, double>> run;   // change and speed of each second
        int heldSeconds = 0;
        const auto closeRun = [&] {
            double sum = 0.0;
            for (const auto& [d, kn] : run) sum += d;
            const double mean = run.empty() ? 0.0 : std::fabs(sum) / static_cast<double>(run.size());
            const bool braking = sum < 0.0;
            for (const auto& [d, kn] : run)
                // Beyond 0.5 kn and the 1 % that a sample's time rounded to whole passes gives.
                if ((braking && std::fabs(d) > 2.0 * mean + 0.5 + 0.01 * kn) || -d > 3.5 + 0.01 * kn || d > 6.5) ++uneven;
            run.clear();
        };
        for (std::size_t i = 0; i < trace.size(); ++i) {
            const Seen& s = trace[i];
            const bool newObject = i == 0 || s.object != trace[i - 1].object || s.pass != trace[i - 1].pass + 1;
            if (newObject) {
                closeRun();
                ++objects;
                bornAt = s.pass;
                seconds.clear();
                if (v.createdAgain && objects == 2) {
                    // Created again on its records' way, it faces the way of the first it drives to, not north.
                    const auto next = std::find_if(r.begin(), r.end(), [&](const Recorded& x) { return x.t * 100.0 + kPlayDelay >= s.pass; });
                    if (next != r.end()) {
                        EXPECT_LT(std::fabs(gf_headingDifference(next->s.track * kDeg2Rad, s.heading)), 30.0 * kDeg2Rad)
                            << v.name << ": heading of the object created again, its next record's track " << next->s.track;
                    }
                }
                if (v.startsRolling && objects == 1) {
                    EXPECT_TRUE(s.onGround) << v.name << ": created in the air";
                    EXPECT_LT(s.altitude, ground + 20.0) << v.name << ": created above the runway";
                }
            }
            const bool air = !s.onGround || s.altitude > ground + 20.0;
            if (air && !wasAirborne && i > 0 && !newObject) {
                // A lift-off: never from a landing, a rejected take-off or a taxi; on the runway's line and
                // heading; where its records lift off when they do.
                lifted = true;
                if (realLiftOff) {
                    EXPECT_LT(gf_distanceNm(*realLiftOff, s.p) * 1852.0, 600.0) << v.name << ": metres from where its records lift off";
                }
                EXPECT_NE(v.liftOff, LiftOff::Never) << v.name << ": lifted off at pass " << s.pass;
                const double off = gf_distanceNm(v.runway, s.p) * 1852.0 *
                                   std::sin(gf_headingDifference(v.runwayDeg * kDeg2Rad, gf_initialBearing(v.runway, s.p)));
                if (v.liftOff != LiftOff::Never) {
                    offLine = std::max(offLine, std::fabs(off));
                    EXPECT_LT(std::fabs(off), 40.0) << v.name << ": metres off the runway's line at lift-off, pass " << s.pass;
                    EXPECT_LT(std::fabs(gf_headingDifference(v.runwayDeg * kDeg2Rad, s.heading)), 10.0 * kDeg2Rad)
                        << v.name << ": heading at lift-off, pass " << s.pass;
                }
            }
            wasAirborne = air;
            if ((s.pass % 100) != 0) continue;
            const double kn = seconds.empty() ? 0.0 : gf_distanceNm(seconds.back().seen->p, s.p) * 3600.0;
            seconds.push_back({&s, kn});
            if (seconds.size() >= 2) {
                // Every second: speed, heading and pace within what the aircraft can do, whatever its records.
                const Seen& b = *seconds[seconds.size() - 2].seen;
                const auto onGround = [&](const Seen& x) { return x.onGround && x.altitude <= ground + 20.0; };
                const double turn = std::fabs(gf_headingDifference(b.heading, s.heading)) * kRad2Deg;
                // In the air above 100 kn, within a 35-degree bank (g tan(bank) sideways).
                const double mostTurn = onGround(b) && onGround(s) ? std::min(groundTurnDegPerS, turnDegPerSAt(kn, kMostSidewaysG) + 1.0)
                                        : kn > 100.0                ? std::min(airTurnDegPerS, turnDegPerSAt(kn, kMostBankTan) + 1.0)
                                                                    : airTurnDegPerS;
                if (turn > mostTurn) ++sharpTurns, worstTurn = std::max(worstTurn, turn);
                const double reported = 1.2 * reportedNear(s.pass);
                if (s.pass - bornAt <= 1000 && s.pass <= lastDue && kn > reported + 5.0) ++surges;
                if (!onGround(b) && !onGround(s) && s.pass <= lastDue && kn > reported + 2.0)
                    ++overReported, worstOver = std::max(worstOver, kn - reported / 1.2);
                const double change = seconds.size() >= 3 ? kn - seconds[seconds.size() - 2].kn : 0.0;
                if (seconds.size() >= 3 && onGround(*seconds[seconds.size() - 3].seen) && onGround(b) && onGround(s) &&
                    std::fabs(change) > kMaxBrakingKnPerS + 1.0)
                    ++jerks, worstJerk = std::max(worstJerk, std::fabs(change));
            }
            if (seconds.size() < 3) continue;
            const double before = seconds[seconds.size() - 2].kn;
            // (Made up by the program too: one running late after its records follows them still.) A
            // run speeds up or slows down: it ends where the one turns into the other, and at a touch-down.
            const Seen& wasAt = *seconds[seconds.size() - 2].seen;
            const auto lastChange = std::find_if(run.rbegin(), run.rend(), [](const auto& x) { return std::fabs(x.first) > 0.2; });
            const bool turnsOver = lastChange != run.rend() && std::fabs(kn - before) > 0.2 && (kn - before) * lastChange->first < 0.0;
            // (Nor at a crawl, where it turns round or sets off from one.)
            const bool outside = air || !madeUp(s.pass) || !madeUp(s.pass - 200) || !s.madeUp || before < kCrawlKn || kn < kCrawlKn ||
                                 !wasAt.onGround || wasAt.altitude > ground + 20.0;
            // It also ends where the speed holds two seconds running (a roll-out slowed to its taxi pace
            // goes on at it); a second that holds is no change of the run.
            const bool holds = std::fabs(kn - before) <= 0.5 + 0.03 * kn;
            heldSeconds = holds ? heldSeconds + 1 : 0;
            if (outside || turnsOver || heldSeconds >= 2) closeRun();
            if (!outside && !holds) run.emplace_back(kn - before, kn);
            if (air) {
                // A made-up flight keeps its last airborne speed (one that still plays its records late
                // flies at theirs).
                if (!madeUp(s.pass) || !s.madeUp) lastAirKn = kn;
                // (on final it may slow to an A320's landing speed, 126 kn, and no further; a helicopter may hover).
                else if (lastAirKn > 0.0 && kn < std::min(0.8 * lastAirKn, 120.0) && !rotor) ++slowFlight;
                const Seen& b = *seconds[seconds.size() - 2].seen;
                if (b.onGround || b.altitude <= ground + 20.0 || kn < 5.0) continue;
                // It flies where its nose points, no faster than its records nearby say.
                const double off = std::fabs(gf_headingDifference(gf_initialBearing(b.p, s.p), s.heading)) * kRad2Deg;
                if (kn > 50.0 && off > 20.0) ++sideways, mostOff = std::max(mostOff, off);
                if (off > 90.0) ++backwards;
                // While records are still to come (a made-up take-off after its last record speeds up on its own).
                if (s.pass <= lastDue && kn > 1.2 * fastestNear(s.pass) + 5.0) ++tooFast, fastest = std::max(fastest, kn), fastAt = s.pass;
                continue;
            }
            if (before > 5.0 && kn < 0.5 && madeUp(s.pass)) ++deadStops;
            // Both seconds made up: the step into made-up motion from the feed's last positions, and
            // the catch-up when records come back far away, are the feed's.
            if (madeUp(s.pass) && madeUp(s.pass - 200) && std::fabs(kn - before) > 10.0) ++steps;
            if (seconds.size() >= 7 && madeUp(s.pass - 600)) {
                // Braking over three seconds against the three before. Where records play, the object
                // follows their positions, whose scatter (a 100 kn roll reads 50-150 kn from position to
                // position) is the feed's, not the program's.
                const auto mean = [&](std::size_t back) {
                    double sum = 0.0;
                    for (std::size_t k = 0; k < 3; ++k) sum += seconds[seconds.size() - 1 - back - k].kn;
                    return sum / 3.0;
                };
                if ((mean(3) - mean(0)) / 3.0 > kMaxBrakingKnPerS + 0.5) ++hardBraking;
            }
        }
        closeRun();
        std::cout << "[variant] " << v.name << ": objects " << objects << ", lifted " << lifted << " (" << std::lround(offLine)
                  << " m off the line), dead stops " << deadStops << ", hard braking s " << hardBraking << ", made-up steps " << steps
                  << ", uneven made-up s " << uneven << ", slow made-up flight s " << slowFlight << ", sideways s " << sideways
                  << " (up to " << std::lround(mostOff) << " deg), backwards s " << backwards << ", too fast s " << tooFast << " (up to "
                  << std::lround(fastest) << " kn, pass " << fastAt << " of " << lastDue << "), ground speed jumps s " << jerks
                  << " (up to " << std::lround(worstJerk) << " kn), sharp turns s " << sharpTurns << " (up to " << std::lround(worstTurn)
                  << " deg), above 1.2 x reported s " << overReported << " (up to +" << std::lround(worstOver) << " kn), surges after creation s "
                  << surges << "\n";
        if (v.liftOff == LiftOff::Must) {
            EXPECT_TRUE(lifted) << v.name << ": never lifted off";
        }
        EXPECT_EQ(deadStops, 0) << v.name << ": stops from above 5 kn within a second";
        EXPECT_EQ(hardBraking, 0) << v.name << ": seconds braking harder than 0.3 g";
        EXPECT_EQ(steps, 0) << v.name << ": made-up speed steps above 10 kn in a second";
        EXPECT_EQ(uneven, 0) << v.name << ": made-up seconds on the ground whose speed changes unevenly";
        EXPECT_EQ(slowFlight, 0) << v.name << ": made-up flight seconds below 80 % of its last speed";
        EXPECT_EQ(sideways, 0) << v.name << ": seconds in the air faster than 50 kn with the nose more than 20 degrees off the motion";
        EXPECT_EQ(backwards, 0) << v.name << ": seconds in the air moving against the nose";
        EXPECT_EQ(tooFast, 0) << v.name << ": seconds in the air faster than 1.2 times its records nearby";
        EXPECT_EQ(jerks, 0) << v.name << ": seconds on the ground whose speed changes beyond 0.3 g";
        EXPECT_EQ(sharpTurns, 0) << v.name << ": seconds turning faster than the aircraft can";
        EXPECT_EQ(overReported, 0) << v.name << ": seconds in the air faster than 1.2 times the speeds its records report nearby";
        EXPECT_EQ(surges, 0) << v.name << ": seconds in its first ten faster than 1.2 times its records report";
    }

    // The rules of motion on the ground, and against the nose anywhere, over each object's life: what
    // tyres take sideways, no full turn nor a turn round on the spot, rolling while its records taxi, on their path (close to it where
    // they come steadily), and shown while they come.
    // `groundPauses`: the kinds whose records pause on the ground are held to be back within 150 m of
    // their path within 30 s of their coming back.
    void checkGround(const Variant& v, bool groundPauses) {
        const Records& r = v.records;
        Tally sideways, backwards, fullTurns, spotTurns, standing, standingInPause, offPath, offSteadyPath, removed;
        // Seconds from the first record after a pause of theirs to back within 150 m of their path.
        Tally slowBack;
        const auto onGround = [&](const Seen& x) { return x.onGround && x.altitude <= ground + 20.0; };
        // The record playing at the records' time t and the next, when records play on.
        const auto bracket = [&](double t) -> std::optional<std::size_t> {
            if (r.front().t > t || r.back().t <= t) return std::nullopt;
            return lastBefore(r, t);
        };
        // Records at time t say it taxies or rolls: the two it plays between come within 12 s of each
        // other, and they and all within 10 s either side (an aircraft a little late or early) are on
        // the ground at 5 kn or more. The slowest they report, or 0.
        const auto recordsMoveAt = [&](double t, const Records& r) {
            if (r.empty() || r.front().t > t || r.back().t <= t) return 0.0;
            const auto i = std::optional{lastBefore(r, t)};
            if (r[*i + 1].t - r[*i].t > 12.0) return 0.0;
            double slowest = 1e9;
            for (std::size_t k = 0; k < r.size(); ++k) {
                if ((r[k].t < t - 10.0 || r[k].t > t + 10.0) && k != *i && k != *i + 1) continue;
                if (r[k].s.airborne || r[k].s.groundSpeed < 5.0) return 0.0;
                slowest = std::min(slowest, r[k].s.groundSpeed);
            }
            return slowest;
        };
        // Metres from its records' ground path (the lines between records of which one is on the ground,
        // from three minutes before t, as late as it may run after a pause, to a minute after), where the two it plays between at t are on the ground within 30 s; -1 elsewhere.
        const auto offPathAt = [&](const LatLon& p, double t) {
            const auto i = bracket(t);
            if (!i || r[*i].s.airborne || r[*i + 1].s.airborne || r[*i + 1].t - r[*i].t > 30.0) return -1.0;
            const double mPerLon = 111120.0 * std::cos(p.lat * kDeg2Rad);
            double best = 1e9;
            for (std::size_t k = 0; k + 1 < r.size(); ++k) {
                if ((r[k].s.airborne && r[k + 1].s.airborne) || r[k + 1].t < t - kLateOnPathSeconds || r[k].t > t + 60.0) continue;
                const double ax = (r[k].s.longitude - p.lon) * mPerLon, ay = (r[k].s.latitude - p.lat) * 111120.0;
                const double bx = (r[k + 1].s.longitude - p.lon) * mPerLon, by = (r[k + 1].s.latitude - p.lat) * 111120.0;
                const double len2 = (bx - ax) * (bx - ax) + (by - ay) * (by - ay);
                const double u = len2 > 0.0 ? std::clamp(-(ax * (bx - ax) + ay * (by - ay)) / len2, 0.0, 1.0) : 0.0;
                best = std::min(best, std::hypot(ax + u * (bx - ax), ay + u * (by - ay)));
            }
            return best;
        };
        // The time of the first record after the latest pause of more than 30 s at or before t (-1 if none):
        // made-up motion took the aircraft on meanwhile, and it drives back to the records' path as a real
        // one would, judged on it once it is back there or two and a half minutes after the records came again.
        const auto resumedAt = [&](double t) {
            double at = -1.0;
            for (std::size_t k = 1; k < r.size() && r[k].t <= t; ++k)
                if (r[k].t - r[k - 1].t > 30.0) at = r[k].t;
            return at;
        };
        for (std::size_t from = 0, to = 0; from < trace.size(); from = to) {
            double resumed = -1.0;
            bool backOnPath = true;
            for (to = from + 1; to < trace.size() && trace[to].object == trace[from].object && trace[to].pass == trace[to - 1].pass + 1; ++to) {}
            // Against its nose: over a quarter of a second, a step back within a second shows too.
            int countedSecond = -1;
            for (std::size_t k = from + 25; k < to; k += 5) {
                const Seen& a = trace[k - 25];
                const Seen& b = trace[k];
                const double dt = b.clock - a.clock;
                const double kn = dt > 0.1 ? gf_distanceNm(a.p, b.p) * 3600.0 / dt : 0.0;
                if (kn <= kMostBackwardsKn) continue;
                const double way = gf_initialBearing(a.p, b.p);
                if (std::fabs(gf_headingDifference(a.heading, way)) <= kPi / 2.0 || std::fabs(gf_headingDifference(b.heading, way)) <= kPi / 2.0)
                    continue;
                backwards.add(kn, b.pass, b.pass / 100 != countedSecond);
                countedSecond = b.pass / 100;
            }
            // Each second of its life.
            std::vector<const Seen*> sec;
            for (std::size_t k = from; k < to; ++k)
                if (trace[k].pass % 100 == 0) sec.push_back(&trace[k]);
            // A run of turning one way: it ends at a turn the other way beyond 2 degrees, or after three
            // seconds of less than a degree.
            double run = 0.0, spot = 0.0;
            int quiet = 0;
            bool counted = false;
            for (std::size_t k = 1; k < sec.size(); ++k) {
                const Seen& b = *sec[k - 1];
                const Seen& s = *sec[k];
                if (!onGround(b) || !onGround(s)) {
                    std::tie(run, quiet, counted, spot) = std::tuple{0.0, 0, false, 0.0};
                    continue;
                }
                const double kn = gf_distanceNm(b.p, s.p) * 3600.0;
                const double turn = gf_headingDifference(b.heading, s.heading) * kRad2Deg;
                const double g = kn / kKnPerMps * std::fabs(turn) * kDeg2Rad / kG;
                // Turning without rolling (under 1 kn), a turn the other way beyond 2 degrees starting anew.
                spot = kn >= 1.0 ? 0.0 : turn * spot < 0.0 && std::fabs(turn) > 2.0 ? turn : spot + turn;
                if (std::fabs(spot) > kMostSpotTurnDeg) spotTurns.add(std::fabs(spot), s.pass, std::fabs(spot - turn) <= kMostSpotTurnDeg);
                if (kn > 10.0 && g > kMostSidewaysG) sideways.add(g, s.pass);
                if (turn * run < 0.0 && std::fabs(turn) > 2.0) {
                    std::tie(run, quiet, counted) = std::tuple{turn, 0, false};
                } else {
                    if (turn * run >= 0.0) run += turn;
                    quiet = std::fabs(turn) < 1.0 ? quiet + 1 : 0;
                    if (quiet >= 3) std::tie(run, counted) = std::tuple{0.0, false};
                }
                if (std::fabs(run) >= 360.0) {
                    fullTurns.add(std::fabs(run), s.pass, !counted);
                    counted = true;
                }
                const double t = (s.pass - kPlayDelay) / 100.0;
                if (kn < 1.0)
                    if (const double kn0 = recordsMoveAt(t, r); kn0 > 0.0) standing.add(kn0, s.pass);
                // (Through a pause cut into them, the real aircraft's own records say it moved.)
                if (const auto i = bracket(t); kn < 1.0 && i && r[*i + 1].t - r[*i].t > 12.0)
                    if (const double kn0 = recordsMoveAt(t, v.uncut); kn0 > 0.0) standingInPause.add(kn0, s.pass);
                if (const double at = resumedAt(t); at != resumed) std::tie(resumed, backOnPath) = std::tuple{at, false};
                const double m = offPathAt(s.p, t);
                if (m >= 0.0 && m <= kMostOffPathM && !backOnPath && resumed >= 0.0) slowBack.add(t - resumed, s.pass);
                if (m >= 0.0 && m <= kMostOffPathM) backOnPath = true;
                if (m > kMostOffPathM && (backOnPath || t > resumed + kRejoinSeconds)) offPath.add(m, s.pass);
                // Where its records came steadily (none more than 5 s apart over the last three minutes,
                // nor a pause of theirs over the last four: catching up at a taxi's pace, no faster than
                // half as fast again as they go, takes it that long).
                bool steady = t > r.front().t + 60.0 && t < r.back().t;
                for (std::size_t k = 1; k < r.size() && steady; ++k)
                    if (r[k - 1].t < t + 10.0 && ((r[k].t > t - kLateOnPathSeconds && r[k].t - r[k - 1].t > 5.0) ||
                                                  (r[k].t > t - kCatchingUpSeconds && r[k].t - r[k - 1].t > 30.0)))
                        steady = false;
                if (steady && m > kMostOffSteadyPathM) offSteadyPath.add(m, s.pass);
            }
            // Removed while records that came are still to play (unless, standing on the ground, it is
            // made anew in the air where its flying records are, or created again at once where its
            // records lie far off).
            const Seen& last = trace[to - 1];
            const bool createdAgain = to < trace.size() && trace[to].pass - last.pass <= kCreatedAgainWithinPasses;
            double left = 0.0;
            bool flying = true;
            for (const Recorded& x : r)
                if (x.t * 100.0 <= last.pass && x.t * 100.0 + kPlayDelay > last.pass) {
                    left = std::max(left, (x.t * 100.0 + kPlayDelay - last.pass) / 100.0);
                    flying = flying && x.s.airborne;
                }
            if (left > 0.0 && !(flying && onGround(last)) && !createdAgain) removed.add(left, last.pass);
        }
        std::cout << "[ground] " << v.name << ": sideways over 0.3 g s " << sideways.text("g")
                  << ", against the nose over 20 kn s " << backwards.text("kn") << ", full turns " << fullTurns.text("deg")
                  << ", turns on the spot over 90 degrees " << spotTurns.text("deg")
                  << ", standing while records move s " << standing.text("kn reported") << ", standing in a pause while the real one moved s "
                  << standingInPause.text("kn it reported") << ", off their ground path s "
                  << offPath.text("m") << ", more than 30 m off it while records come steadily s " << offSteadyPath.text("m")
                  << ", removed while records come " << removed.text("s of records left")
                  << ", back within 150 m of their path after a pause " << slowBack.text("s after they came back") << "\n";
        EXPECT_EQ(sideways.count, 0) << v.name << ": seconds on the ground above 10 kn turning beyond 0.3 g sideways";
        EXPECT_EQ(backwards.count, 0) << v.name << ": seconds moving against the nose faster than 20 kn";
        EXPECT_EQ(standingInPause.count, 0) << v.name << ": seconds standing through a pause of its records while the real aircraft taxied at 5 kn or more";
        EXPECT_EQ(fullTurns.count, 0) << v.name << ": full turns on the ground";
        EXPECT_EQ(spotTurns.count, 0) << v.name << ": turns of more than 90 degrees on the ground standing";
        EXPECT_EQ(standing.count, 0) << v.name << ": seconds standing while its ground records report 5 kn or more";
        EXPECT_EQ(offPath.count, 0) << v.name << ": seconds on the ground more than 150 m from its records' ground path";
        EXPECT_EQ(offSteadyPath.count, 0) << v.name << ": seconds on the ground more than 30 m from its records' ground path while they came steadily";
        EXPECT_EQ(removed.count, 0) << v.name << ": removed while its records still came";
        if (groundPauses) {
            EXPECT_LE(slowBack.worst, kBackOnRecordsS + 1.0) << v.name << ": seconds after its records came back on the ground before it was within 150 m of their path";
        }
    }

    // How it taxies where its records pause and come back, as an airliner does: below 8 kn no turn of more
    // than 90 degrees within 8 s (turning round takes 20-40 s), speeding up no more than 4 kn in a second
    // where its records do not speed up (by a knot a second within 10 s), and at 10-40 kn never faster
    // than 1.5 times its records' speed and 5 kn; a take-off roll (43 kn within 15 s) aside, and the last
    // seconds of a landing roll braking through 40 kn at its brakes' best. Each second's speed is the
    // middle one of three (one second late and the next early are one even step). `strict`: the kinds
    // whose records pause on the ground are held to the pivot and the speed-up; every kind to the race.
    void checkTaxiPace(const Variant& v, bool strict) {
        constexpr double kPivotDeg = 90.0, kPivotS = 8.0, kPivotBelowKn = 8.0;
        constexpr double kMostGainKnPerS = 4.0, kRecordsGainKnPerS = 1.0, kGainWindowS = 10.0;
        constexpr double kRaceShare = 1.5, kRaceMarginKn = 5.0, kRaceFromKn = 10.0, kRaceToKn = 40.0;
        constexpr double kRollKn = 43.0, kRollWithinS = 15.0, kRolledWithinS = 3.0;
        const Records& r = v.records;
        Tally pivots, gains, races;
        const auto onGround = [&](const Seen& x) { return x.onGround && x.altitude <= ground + 20.0; };
        // Their ground speed about t: the fastest within 5 s, else (a pause) the faster of the records either side.
        const auto recordsKn = [&](double t) {
            double most = -1.0, before = -1.0, after = -1.0;
            for (const Recorded& x : r) {
                const double kn = x.s.airborne ? 1e9 : x.s.groundSpeed;
                if (std::fabs(x.t - t) <= 5.0) most = std::max(most, kn);
                if (x.t <= t) before = kn;
                if (x.t > t && after < 0.0) after = kn;
            }
            const double k = most >= 0.0 ? most : std::max(before, after);
            return k >= 1e9 ? -1.0 : k;
        };
        const auto recordsGain = [&](double t) {
            for (std::size_t k = 1; k < r.size(); ++k)
                if (std::fabs(r[k].t - t) <= kGainWindowS && r[k].t > r[k - 1].t &&
                    (r[k].s.groundSpeed - r[k - 1].s.groundSpeed) / (r[k].t - r[k - 1].t) >= kRecordsGainKnPerS)
                    return true;
            return false;
        };
        for (std::size_t from = 0, to = 0; from < trace.size(); from = to) {
            for (to = from + 1; to < trace.size() && trace[to].object == trace[from].object && trace[to].pass == trace[to - 1].pass + 1; ++to) {}
            std::vector<const Seen*> sec;
            for (std::size_t k = from; k < to; ++k)
                if (trace[k].pass % 100 == 0) sec.push_back(&trace[k]);
            // kn[k]: from second k-1 to k, NaN off the ground.
            std::vector<double> kn(sec.size(), std::numeric_limits<double>::quiet_NaN());
            for (std::size_t k = 1; k < sec.size(); ++k)
                if (onGround(*sec[k - 1]) && onGround(*sec[k])) kn[k] = gf_distanceNm(sec[k - 1]->p, sec[k]->p) * 3600.0;
            const auto middle = [&](std::size_t k) {
                double m[3] = {kn[k - 1], kn[k], kn[k + 1]};
                std::sort(m, m + 3);
                return m[1];
            };
            double slowSince = -1.0;
            std::vector<std::pair<double, double>> turn;   // (t, heading turned since the ground stretch began)
            for (std::size_t k = 1; k < sec.size(); ++k) {
                const double t = (sec[k]->pass - kPlayDelay) / 100.0;
                if (std::isnan(kn[k])) {
                    std::tie(slowSince, turn) = std::tuple{-1.0, decltype(turn){}};
                    continue;
                }
                bool rolls = false, rolled = false;
                for (std::size_t n = k; n < sec.size() && (sec[n]->pass - sec[k]->pass) <= kRollWithinS * 100.0 && !rolls; ++n)
                    rolls = kn[n] >= kRollKn;
                for (std::size_t n = k; n > 0 && (sec[k]->pass - sec[n]->pass) <= kRolledWithinS * 100.0 && !rolled; --n)
                    rolled = kn[n] >= kRollKn;
                if (k >= 4 && k + 1 < sec.size() && !rolls && kn[k] < kRollKn && !recordsGain(t)) {
                    const double gain = middle(k) - middle(k - 1);
                    if (std::isfinite(gain) && gain > kMostGainKnPerS) gains.add(gain, sec[k]->pass);
                }
                const double twoSeconds = k >= 2 && !std::isnan(kn[k - 1]) ? (kn[k] + kn[k - 1]) / 2.0 : kn[k];
                if (const double theirs = !rolls && !rolled && twoSeconds >= kRaceFromKn && twoSeconds <= kRaceToKn ? recordsKn(t) : -1.0;
                    theirs >= 0.0 && theirs <= kRaceToKn && twoSeconds > kRaceShare * theirs + kRaceMarginKn)
                    races.add(twoSeconds - (kRaceShare * theirs + kRaceMarginKn), sec[k]->pass);
                if (turn.empty()) turn.emplace_back(t - 1.0, 0.0);
                turn.emplace_back(t, turn.back().second + gf_headingDifference(sec[k - 1]->heading, sec[k]->heading) * kRad2Deg);
                slowSince = kn[k] >= kPivotBelowKn ? -1.0 : slowSince < 0.0 ? t - 1.0 : slowSince;
                if (slowSince < 0.0) continue;
                double pivot = 0.0;
                for (const auto& [at, h] : turn)
                    if (at >= slowSince && t - at <= kPivotS) pivot = std::max(pivot, std::fabs(turn.back().second - h));
                // (Counted once a turn: the seconds after its first beyond the limit go on the same one.)
                if (pivot > kPivotDeg) pivots.add(pivot, sec[k]->pass, pivots.count == 0 || pivots.at < t - kPivotS);
            }
        }
        std::cout << "[taxi] " << v.name << ": pivots over 90 degrees within 8 s below 8 kn " << pivots.text("deg")
                  << ", speed-ups over 4 kn a second s " << gains.text("kn/s") << ", faster than 1.5 x its records + 5 kn s "
                  << races.text("kn over") << "\n";
        EXPECT_EQ(races.count, 0) << v.name << ": seconds taxiing faster than 1.5 times its records and 5 kn";
        if (!strict) return;
        EXPECT_EQ(pivots.count, 0) << v.name << ": turns of more than 90 degrees within 8 s below 8 kn";
        EXPECT_EQ(gains.count, 0) << v.name << ": seconds taxiing that speed up by more than 4 kn where its records do not";
    }

    // Against its records: on the ground a second after the first ground record that follows an airborne one
    // within 5 s plays; airborne by 5 s after the play pass of the first airborne record that follows a
    // ground one within 5 s (one a receiver flags early too: Dulles's from 84.5 kn on); on the ground, each
    // second no faster than 1.1 times the highest ground speed any of its records reports, plus 5 kn; where
    // a record plays airborne, never on the ground under one 200 ft or more up, nor more than 300 ft below
    // it; and in the first minute of made-up flight after an airborne record (its records end or pause),
    // held so against that record's altitude carried on at the lesser of its reported climb and its airborne
    // records' climb over their last 20 s (within 3,000 ft a minute, a descent no lower than 1,000 ft above
    // the field; in a pause, no higher than the line to the next record), unless its made-up approach may
    // land. Heights are the object's above the ground and the records' above the field (read at their day's
    // QNH, as the program reads them).
    void checkRecords(const Variant& v) {
        const Records& r = v.records;
        Tally lateLiftOff, earlyLiftOff, lateTouchdown, groundFast, rollFast, downUnderFlying, belowRecords, sawTooth;
        double topRollKn = 0.0;
        const auto inAir = [&](const Seen& x) { return !x.onGround || x.altitude > ground + 20.0; };
        // Flying, its vertical speed never flips between climb and descent beyond 600 ft/min second after second.
        for (std::size_t k = 300; k < trace.size(); k += 100) {
            const Seen &a = trace[k - 300], &b = trace[k - 200], &c = trace[k - 100], &d = trace[k];
            if (!inAir(a) || !inAir(b) || !inAir(c) || !inAir(d) || d.pass - a.pass != 300) continue;
            const double first = (b.altitude - a.altitude) * 60.0, second = (c.altitude - b.altitude) * 60.0,
                         third = (d.altitude - c.altitude) * 60.0;
            const double least = std::min({std::fabs(first), std::fabs(second), std::fabs(third)});
            if (first * second < 0.0 && second * third < 0.0 && least > kMostFlipFpm)
                sawTooth.add(least, d.pass);
        }
        const auto onGround = [&](const Seen& x) { return x.onGround && x.altitude <= ground + 20.0; };
        const auto seenAt = [&](int pass) -> const Seen* {
            const auto it = std::lower_bound(trace.begin(), trace.end(), pass, [](const Seen& x, int p) { return x.pass < p; });
            return it != trace.end() && it->pass == pass ? &*it : nullptr;
        };
        const auto due = [](const Recorded& x) { return static_cast<int>(x.t * 100.0) + kPlayDelay; };
        // (A record that repeats an earlier one's position is a late second sender's: its altitude is old.)
        std::vector<bool> copy(r.size(), false);
        for (std::size_t k = 0; k < r.size(); ++k)
            for (std::size_t j = 0; j < k && !copy[k]; ++j) copy[k] = r[j].s.latitude == r[k].s.latitude && r[j].s.longitude == r[k].s.longitude;
        // Late onto its take-off roll (its records paused while it taxied, and it catches up at a taxi's
        // pace at most), it lifts off and climbs as late: the seconds it ran behind its records as it set
        // off on its roll are allowed from there on.
        double carried = 0.0, rollFrom = 1e18;
        for (std::size_t k = 100; k < trace.size() && v.liftOff != LiftOff::Never; ++k) {
            const Seen& b = trace[k - 100];
            const Seen& s = trace[k];
            if (s.pass % 100 != 0 || b.object != s.object || !onGround(s) || gf_distanceNm(b.p, s.p) * 3600.0 < 43.0) continue;
            std::tie(carried, rollFrom) = std::tuple{std::max(behind(s, r), 0.0), (s.pass - kPlayDelay) / 100.0};
            break;
        }
        const auto allowed = [&](double t) { return t >= rollFrom - 30.0 ? static_cast<int>(carried * 100.0) : 0; };
        // Records up to 20 s apart around it (a feed that sends less often; 25 s with the feed's own
        // spacing) still show when it flies.
        constexpr double kLiftOffSeenGap = 25.0;
        double liftOffKn = 0.0, liftOffLate = 0.0;   // of its first flying record, and the seconds after its play
        // (From the first record that flies, which the phases' rule holds it to.)
        if (v.liftOff != LiftOff::Never)
            if (const std::size_t i = recordsLiftOff(r, kLiftOffSeenGap); i < r.size()) {
                liftOffKn = r[i].s.groundSpeed;
                const auto at = std::lower_bound(trace.begin(), trace.end(), due(r[i]), [](const Seen& x, int p) { return x.pass < p; });
                const auto up = std::find_if(at, trace.end(), inAir);
                const double late = up == trace.end() ? 1e9 : (up->pass - due(r[i]) - allowed(r[i].t)) / 100.0;
                liftOffLate = late;
                if (late > 5.0) lateLiftOff.add(late, due(r[i]));
                // Where that record is just off the runway, the real aircraft lifted off seconds before it:
                // off the ground no more than 10 s before it plays (rotation, and a climb of 1,000 ft/min).
                const auto off = std::find_if(trace.begin(), at, [&](const Seen& x) { return inAir(x) && !inAir(trace.front()); });
                if (off != at && r[i].s.altitude - fieldFt(r.front()) < 100.0 && due(r[i]) - off->pass > 1000)
                    earlyLiftOff.add((due(r[i]) - off->pass) / 100.0, off->pass);
            }
        // A flare never floats past its records' touch-down: on the ground a second after the first ground
        // record that follows an airborne one within 5 s plays.
        for (std::size_t i = 1; i < r.size(); ++i) {
            if (r[i].s.airborne || !r[i - 1].s.airborne || r[i].t - r[i - 1].t > 5.0) continue;
            if (const Seen* at = seenAt(due(r[i]) + 100); at && inAir(*at)) lateTouchdown.add(at->altitude - ground, at->pass);
            break;
        }
        // Records that end on an accelerating take-off roll leave a made-up take-off, which rolls on to lift-off speed.
        const bool madeUpTakeOff = v.liftOff != LiftOff::Never && !r.back().s.airborne;
        double fastestKn = 0.0;
        for (const Recorded& x : r) fastestKn = std::max(fastestKn, x.s.groundSpeed);
        for (std::size_t k = 100; k < trace.size(); ++k) {
            const Seen& b = trace[k - 100];
            const Seen& s = trace[k];
            if (s.pass % 100 != 0 || b.object != s.object || b.pass + 100 != s.pass || !onGround(b) || !onGround(s)) continue;
            if (madeUpTakeOff && s.pass > due(r.back())) continue;
            const double kn = gf_distanceNm(b.p, s.p) * 3600.0;
            if (kn > 1.1 * fastestKn + 5.0) groundFast.add(kn, s.pass);
            topRollKn = std::max(topRollKn, kn);
            if (liftOffKn > 0.0 && kn > 1.1 * liftOffKn + 5.0) rollFast.add(kn, s.pass);
        }
        int downSecond = -1, belowSecond = -1;   // counted once a second
        // Where its records paused over half a minute from the ground, its made-up take-off climbed at its
        // own rate, not theirs: when they come back in the air it has as long to climb to them as it has
        // to get back onto them (a 40-60 s pause on the roll leaves it 300-600 ft below a real 2,800 ft/min).
        const auto climbingBackAt = [&](double t) {
            for (std::size_t k = 1; k < r.size() && r[k].t <= t; ++k)
                if (!r[k - 1].s.airborne && r[k].s.airborne && r[k].t - r[k - 1].t > kRecordsSayWhereS && t < r[k].t + kBackOnRecordsS) return true;
            return false;
        };
        const auto judge = [&](const Seen& s, double recordFt, double t) {
            const double height = recordFt - fieldFt(r.front());
            if (height >= 200.0 && !inAir(s)) downUnderFlying.add(height, s.pass, std::exchange(downSecond, s.pass / 100) != s.pass / 100);
            if (s.altitude - ground < height - 300.0 && !climbingBackAt(t))
                belowRecords.add(height - (s.altitude - ground), s.pass, std::exchange(belowSecond, s.pass / 100) != s.pass / 100);
        };
        // Records that climb faster than its class can (the racetracks' 13,900 ft a minute) are judged as far
        // as it can follow them: from one record to the next at most its class's climb.
        const double climbFpm = (v.sizeClass == SIZE_ROTORCRAFT ? 0.75 : 0.6) * 6000.0;
        std::vector<double> reach(r.size(), 0.0);
        for (std::size_t k = 0, last = 0; k < r.size(); ++k) {
            if (copy[k]) continue;
            if (r[k].s.airborne)
                reach[k] = k == 0 || !r[last].s.airborne ? r[k].s.altitude
                                                         : std::min(r[k].s.altitude, reach[last] + climbFpm * (r[k].t - r[last].t) / 60.0);
            last = k;
        }
        // Back on its records' path after steering back from made-up flight it may fly it late (it catches
        // up at a little above their speed): from then on its height is judged against theirs where it is
        // on their path, the seconds it runs late (beyond 10) allowed. While it steers back, far off their
        // path, against their height now.
        std::vector<char> steered(trace.size(), 0);
        for (std::size_t i = 1; i < trace.size(); ++i)
            steered[i] = !trace[i].rejoining && trace[i - 1].object == trace[i].object && (trace[i - 1].rejoining || steered[i - 1]);
        const auto lateAt = [&](const Seen& x) {
            const double late = steered[static_cast<std::size_t>(&x - trace.data())] ? behind(x, r) : 0.0;
            return late > 10.0 ? late : 0.0;
        };
        const auto reachAt = [&](double t) {   // the records' height (as far as it can follow) at a time
            std::size_t before = r.size();
            for (std::size_t k = 0; k < r.size(); ++k) {
                if (copy[k] || !r[k].s.airborne) continue;
                if (r[k].t >= t) return before == r.size() ? reach[k] : reach[before] + (reach[k] - reach[before]) * (t - r[before].t) / std::max(r[k].t - r[before].t, 0.01);
                before = k;
            }
            return before == r.size() ? 0.0 : reach[before];
        };
        // (An airborne record of an aeroplane at a taxi's speed is a receiver's glitching altitude.)
        const auto glitch = [&](const Recorded& x) { return v.sizeClass != SIZE_ROTORCRAFT && x.s.groundSpeed < kTaxiAtMostKn; };
        for (std::size_t k = 0; k < r.size(); ++k) {
            if (!r[k].s.airborne || copy[k] || glitch(r[k])) continue;
            const Seen* at = seenAt(due(r[k]) + allowed(r[k].t));
            if (!at) continue;
            const double lateHere = lateAt(*at);
            judge(*at, lateHere > 0.0 ? reachAt(r[k].t - lateHere) : reach[k], r[k].t);
            const double gap = k + 1 < r.size() ? r[k + 1].t - r[k].t : 1e9;
            // (Records that come back on the ground show it landed meanwhile.)
            if (gap <= 10.0 || v.mustLand || v.mayLand || (k + 1 < r.size() && !r[k + 1].s.airborne)) continue;
            std::size_t j = k;
            while (j > 0 && r[j - 1].s.airborne && r[j - 1].t >= r[k].t - 20.0) --j;
            double fpm = r[k].s.verticalSpeed;
            if (r[k].t - r[j].t >= 5.0) fpm = std::min(fpm, (r[k].s.altitude - r[j].s.altitude) / (r[k].t - r[j].t) * 60.0);
            fpm = std::clamp(fpm, -3000.0, 3000.0);
            const double lowest = std::min(reach[k], fieldFt(r[k]) + 1000.0);
            // Each pass (a touch-down and the removal that follows come within a second).
            for (const Seen* s = at + 1; s < trace.data() + trace.size() && s->object == at->object && s->pass == (s - 1)->pass + 1; ++s) {
                const double sec = (s->pass - at->pass) / 100.0;
                if (sec > 60.0 || sec >= gap) break;
                // (Late on its records' path it reaches their last one that much later.)
                if (const double late = lateAt(*s); late > sec) {
                    judge(*s, reachAt(r[k].t + sec - late), r[k].t);
                    continue;
                }
                const double carried = reach[k] + fpm * sec / 60.0;
                // Within a pause, the real aircraft may have levelled off: no higher than the line to the record after it.
                const double between = k + 1 < r.size() ? reach[k] + (r[k + 1].s.altitude - reach[k]) * sec / gap : 1e9;
                judge(*s, std::min(fpm < 0.0 ? std::max(carried, lowest) : carried, between), r[k].t);
            }
        }
        // A roll never slows (over three seconds against the three before, beyond 1 kn a second) while its
        // records speed up or fly. After lift-off, no level seconds between two climbing ones within 6 s
        // while its records climb (steps in its climb).
        Tally rollSlows, climbSteps;
        {
            const auto around = [&](double t) {   // the record at or before t - 3 and the first after t
                return std::pair{lastBefore(r, t - 3.0), std::min(lastBefore(r, t) + 1, r.size() - 1)};
            };
            std::vector<std::tuple<const Seen*, double, double>> sec;   // second, ground kn (NaN aloft), ft a minute (NaN on the ground)
            double upAt = -1.0;
            bool lifted = false;
            for (std::size_t k = 100; k < trace.size(); ++k) {
                const Seen& b = trace[k - 100];
                const Seen& s = trace[k];
                if (s.pass % 100 != 0) continue;
                if (b.object != s.object || b.pass + 100 != s.pass) {
                    std::tie(upAt, sec) = std::tuple{-1.0, decltype(sec){}};
                    continue;
                }
                const double nan = std::numeric_limits<double>::quiet_NaN();
                const bool down = onGround(b) && onGround(s);
                sec.emplace_back(&s, down ? gf_distanceNm(b.p, s.p) * 3600.0 : nan, inAir(b) && inAir(s) ? (s.altitude - b.altitude) * 60.0 : nan);
                const double t = (s.pass - kPlayDelay) / 100.0;
                const auto [i0, i1] = around(t);
                if (upAt < 0.0 && inAir(s) && !inAir(b)) upAt = t, lifted = true;
                const std::size_t n = sec.size();
                if (n >= 6) {
                    double now = 0.0, before = 0.0;
                    for (std::size_t j = 0; j < 3; ++j) now += std::get<1>(sec[n - 1 - j]) / 3.0, before += std::get<1>(sec[n - 4 - j]) / 3.0;
                    const bool speedsUp = r[i1].t > r[i0].t && (r[i1].s.airborne || (r[i1].s.groundSpeed > r[i0].s.groundSpeed + 5.0 && r[i1].s.groundSpeed >= kTaxiAtMostKn));
                    // (A take-off's roll, before it first lifts off: a landing roll brakes under stray airborne records.)
                    if (v.liftOff == LiftOff::Must && !lifted && before >= kTaxiAtMostKn && before - now > 3.0 && speedsUp)
                        rollSlows.add(before - now, s.pass);
                }
                if (upAt >= 0.0 && t - upAt <= 60.0 && n >= 13 && r[i0].s.airborne && r[i1].s.altitude > r[i0].s.altitude + 50.0) {
                    const double level = std::get<2>(sec[n - 7]);
                    bool climbedBefore = false, climbsAfter = false;
                    for (std::size_t j = 1; j <= 6; ++j)
                        climbedBefore = climbedBefore || std::get<2>(sec[n - 7 - j]) >= 1500.0, climbsAfter = climbsAfter || std::get<2>(sec[n - 7 + j]) >= 1500.0;
                    if (level < 300.0 && climbedBefore && climbsAfter) climbSteps.add(level, std::get<0>(sec[n - 7])->pass);
                }
            }
        }
        std::cout << "[records] " << v.name << ": roll slowing while its records speed up s " << rollSlows.text("kn in 3 s")
                  << ", level seconds in its climb " << climbSteps.text("ft/min") << ", onto its roll " << vrn::format("{:.1f}", carried) << " s late, lift-off late "
                  << lateLiftOff.text("s after its first airborne record's play") << ", more than 10 s early "
                  << earlyLiftOff.text("s before its first record that flies")
                  << ", in the air a second after its records touch down " << lateTouchdown.text("ft up")
                  << ", on the ground above 1.1 x its fastest record + 5 kn s " << groundFast.text("kn")
                  << vrn::format(" (lifted off {:.1f} s after it), rolled up to {:.0f} kn, its records flying at {:.0f} kn, above 1.1 x that + 5 kn s ",
                                 liftOffLate, topRollKn, liftOffKn)
                  << rollFast.text("kn")
                  << ", on the ground under records 200 ft up s " << downUnderFlying.text("ft above the field")
                  << ", more than 300 ft below its records s " << belowRecords.text("ft below")
                  << ", climb flipping to descent s " << sawTooth.text("ft/min") << "\n";
        EXPECT_EQ(rollSlows.count, 0) << v.name << ": seconds its roll slows while its records speed up or fly";
        EXPECT_EQ(climbSteps.count, 0) << v.name << ": level seconds in its climb-out while its records climb";
        EXPECT_EQ(lateLiftOff.count, 0) << v.name << ": lifted off more than 5 s after its records' first airborne record played";
        EXPECT_EQ(earlyLiftOff.count, 0) << v.name << ": lifted off more than 10 s before its first record that flies, under 100 ft";
        EXPECT_EQ(lateTouchdown.count, 0) << v.name << ": in the air a second after its records' first ground record played";
        EXPECT_EQ(groundFast.count, 0) << v.name << ": seconds on the ground faster than 1.1 times its fastest record plus 5 kn";
        EXPECT_EQ(rollFast.count, 0) << v.name << ": seconds on the ground faster than 1.1 times its first flying record plus 5 kn";
        EXPECT_EQ(downUnderFlying.count, 0) << v.name << ": on the ground where its records fly 200 ft or more above the field";
        if (v.heldToRecords) {
            EXPECT_EQ(belowRecords.count, 0) << v.name << ": more than 300 ft below its records";
        }
        EXPECT_EQ(sawTooth.count, 0) << v.name << ": seconds whose vertical speed flips between climb and descent and back beyond 600 ft/min";
    }
};

// Phases and presence over the trace: lift-offs and touch-downs no more than its records show (one
// each for records that end on the roll or on final), a lift-off only at lift-off speed, a made-up
// approach that lands and stays down, shown whenever a record of it falls due, and back within 10 s
// of its records once it has steered back onto their path.
template <class Trace>
void checkPhases(const Trace& trace, const Variant& v, double field) {
    const Records& r = v.records;
    const auto flying = [](const Recorded& x) { return x.s.airborne && x.s.groundSpeed >= 100.0; };
    int recordedUps = 0, recordedDowns = 0;
    for (std::size_t i = 1; i < r.size(); ++i) {
        recordedUps += !flying(r[i - 1]) && flying(r[i]) && !r[i - 1].s.airborne;
        recordedDowns += r[i - 1].s.airborne && !r[i].s.airborne;
    }
    const int ups = recordedUps + (v.liftOff != LiftOff::Never && recordedUps == 0 ? 1 : 0);
    const int downs = recordedDowns + (v.mustLand || v.mayLand ? 1 : 0);
    int liftOffs = 0, touchdowns = 0, slowLiftOffs = 0, objects = 0, unseen = 0, late = 0;
    double latest = 0.0;
    std::vector<int> shown;   // passes at which an object was in the simulator
    // Records that repeat an earlier one's position: a late second sender's.
    std::vector<bool> copy(r.size(), false);
    for (std::size_t k = 0; k < r.size(); ++k)
        for (std::size_t j = 0; j < k && !copy[k]; ++j) copy[k] = r[j].s.latitude == r[k].s.latitude && r[j].s.longitude == r[k].s.longitude;
    const auto inAir = [&](const auto& s) { return !s.onGround || s.altitude > field + 20.0; };
    // In the air, where its records put it at a time (between two of them at most half a minute apart:
    // across a longer pause they say nothing of it), and how long it has lain more than 0.15 nm from it.
    const auto recordsAt = [&](double t) -> std::optional<LatLon> {
        std::size_t before = r.size();
        for (std::size_t k = 0; k < r.size(); ++k) {
            if (copy[k] || !r[k].s.airborne) continue;
            if (r[k].t > t) {
                if (before == r.size() || r[k].t - r[before].t > kRecordsSayWhereS) return std::nullopt;
                const double u = (t - r[before].t) / (r[k].t - r[before].t);
                return gf_destinationPoint(pos(r[before]), gf_initialBearing(pos(r[before]), pos(r[k])),
                                           u * gf_distanceNm(pos(r[before]), pos(r[k])) * kFeetPerNm);
            }
            before = k;
        }
        return std::nullopt;
    };
    int offSeconds = 0, offSince = -1;
    double offAtEnd = 0.0, worstOff = 0.0;
    std::size_t lifeStart = 0;
    bool steeredBack = false;   // in this life (lateness carried from the ground is the ground's)
    for (std::size_t i = 0; i < trace.size(); ++i) {
        const auto& s = trace[i];
        shown.push_back(s.pass);
        if (i == 0 || s.object != trace[i - 1].object) {
            ++objects;
            lifeStart = i;
            steeredBack = false;
            continue;
        }
        const bool air = inAir(s), wasAir = inAir(trace[i - 1]);
        if (air && !wasAir) {
            ++liftOffs;
            const std::size_t b = i >= lifeStart + 100 ? i - 100 : lifeStart;
            const double kn = gf_distanceNm(trace[b].p, s.p) * 360000.0 / std::max(s.pass - trace[b].pass, 1);
            if (kn < kLeastLiftOffKn) ++slowLiftOffs;
        }
        touchdowns += !air && wasAir;
        if (s.pass % 100 == 0) {
            const std::optional<LatLon> there = air ? recordsAt((s.pass - kPlayDelay) / 100.0) : std::nullopt;
            const double d = there ? gf_distanceNm(*there, s.p) : 0.0;
            if (there) offAtEnd = d, worstOff = std::max(worstOff, d);
            if (!there || d <= v.mostOffNm) {
                offSince = -1;
            } else {
                if (offSince < 0 || i == lifeStart + 1) offSince = s.pass;
                if (s.pass - offSince > kBackOnRecordsS * 100) ++offSeconds;
            }
        }
        // Back on its records after steering, in the air while records play: how far behind them.
        if (s.rejoining) steeredBack = true;
        if (!air || s.rejoining || !steeredBack || s.pass % 100 != 0 || i - lifeStart < 6000) continue;
        const double t = (s.pass - kPlayDelay) / 100.0;
        // Records play: one fell due within the last 3 s and the next is due within 3 s.
        bool before = false, after = false;
        for (std::size_t k = 0; k < r.size(); ++k)
            if (!copy[k]) before |= r[k].t <= t && r[k].t > t - 3.0, after |= r[k].t > t && r[k].t <= t + 3.0;
        const bool playing = before && after;
        const bool steeredLately = std::any_of(trace.begin() + static_cast<std::ptrdiff_t>(i >= 2000 ? i - 2000 : 0),
                                               trace.begin() + static_cast<std::ptrdiff_t>(i), [](const auto& x) { return x.rejoining; });
        if (!playing || steeredLately) continue;
        double best = 1e9, at = t;
        for (std::size_t k = 0; k + 1 < r.size(); ++k) {
            if (copy[k] || std::fabs(r[k].t - t) > 60.0) continue;
            const double d = gf_distanceNm(pos(r[k]), s.p);
            if (d < best) best = d, at = r[k].t;
        }
        if (std::fabs(t - at) > 10.0 + 2.0) ++late, latest = std::max(latest, t - at);
    }
    // Each record due while its aircraft should be shown: not in its first minute (creation), counted
    // from its first record low enough in the air near the field for the program to create it at all,
    // nor in the minute after a gap of a minute and more (created again).
    const auto creatable = std::find_if(r.begin(), r.end(), [&](const Recorded& x) {
        return !x.s.airborne || std::fabs(x.s.altitude - field) > 120.0;
    });
    const double bornBy = creatable == r.end() ? 1e9 : creatable->t;
    for (std::size_t i = 1; i < r.size(); ++i) {
        const int due = static_cast<int>(r[i].t * 100.0) + kPlayDelay;
        const bool settling = r[i].t < bornBy + 60.0 || std::any_of(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(i), [&](const Recorded& x) {
                                  const auto next = &x + 1;
                                  return next->t - x.t >= 60.0 && r[i].t - next->t < 60.0;
                              });
        // (A lone record, the next a minute and more later, makes no aircraft before it exists: one
        // record shows no aircraft that lives on.)
        const bool lone = (i + 1 == r.size() || r[i + 1].t - r[i].t >= 60.0) && (shown.empty() || due < shown.front());
        // (Nor while it is created again at once where its records lie far off.)
        const auto later = std::upper_bound(shown.begin(), shown.end(), due);
        const bool createdAgain = later != shown.begin() && later != shown.end() && *later - *(later - 1) <= kCreatedAgainWithinPasses;
        if (!settling && !lone && !createdAgain && !std::binary_search(shown.begin(), shown.end(), due)) ++unseen;
    }
    // Half a minute into flying records, it flies: never held on the ground. (A record a few feet over
    // the runway, the last before its touch-down, is at it.)
    int heldDown = 0;
    for (std::size_t i = 0, since = 0; i < r.size(); ++i) {
        if (!flying(r[i]) || r[i].s.altitude - fieldFt(r[i]) < 50.0) {
            since = i + 1;
            continue;
        }
        if (since >= r.size() || r[i].t - r[since].t < 30.0) continue;
        const int due = static_cast<int>(r[i].t * 100.0) + kPlayDelay;
        const auto at = std::find_if(trace.begin(), trace.end(), [&](const auto& s) { return s.pass == due; });
        if (at != trace.end() && !inAir(*at)) ++heldDown;
    }
    std::cout << "[phases] " << v.name << ": lift-offs " << liftOffs << " of " << ups << ", touch-downs " << touchdowns << " of " << downs
              << ", slow lift-offs " << slowLiftOffs << ", objects " << objects << " of " << v.objects << ", records due unseen "
              << unseen << ", flying records played on the ground " << heldDown << ", seconds over 10 s behind after steering back " << late << " (up to " << std::lround(latest) << " s)"
              << vrn::format(", seconds over 0.15 nm from its records after 30 s {} (up to {:.2f} nm, {:.2f} nm at the end)\n", offSeconds,
                             worstOff, offAtEnd);
    EXPECT_LE(liftOffs, ups) << v.name << ": lift-offs";
    EXPECT_LE(touchdowns, downs) << v.name << ": touch-downs";
    EXPECT_EQ(slowLiftOffs, 0) << v.name << ": lift-offs below 100 kn";
    if (v.mustLand) {
        EXPECT_EQ(touchdowns, 1) << v.name << ": touch-downs of a made-up approach";
        EXPECT_TRUE(!trace.empty() && !inAir(trace.back())) << v.name << ": in the air at its end";
    }
    EXPECT_LE(objects, v.objects) << v.name << ": removed and created again";
    EXPECT_EQ(unseen, 0) << v.name << ": records due while it was not shown";
    EXPECT_EQ(heldDown, 0) << v.name << ": flying records played while it stood or rolled on the ground";
    EXPECT_EQ(late, 0) << v.name << ": seconds more than 10 s behind its records after steering back";
    if (v.heldToRecords) {
        EXPECT_EQ(offSeconds, 0) << v.name << ": seconds more than 0.15 nm from where its records put it, beyond 30 s";
    }
}

TEST_P(GroundPhaseTest, PhysicalRulesHoldOverEachObjectsWholeLife) {
    if (skippedWithoutRealTracks()) return;
    std::vector<Variant> variants = variantsOf(GetParam().name);
    ASSERT_FALSE(variants.empty());
    std::uint32_t n = 0;
    for (Variant& v : variants) {
        if (fps != 100) v.name += vrn::format(" ({} fps)", fps);
        SCOPED_TRACE(v.name);
        // One at a time, each a new aircraft, until the last is removed.
        ++n;
        std::tie(id, callsign) = std::tuple{0x4c0000u + n, "SWR" + std::to_string(100 + n)};
        // Aircraft far from Zurich stay within the user's range.
        LATERAL_RANGE.set(LATERAL_RANGE.maximum);
        trace.clear();
        std::tie(model, sizeClass) = std::tie(v.model, v.sizeClass);
        replay(v.records, 0, true);
        ASSERT_EQ(gf_liveById(id), nullptr) << v.name << ": never removed";
        // Away from Zurich the user stands clear of where it taxies.
        if (nearestRecordedAirport(pos(v.records.front())).userEastNm > 0.0)
            for (const Recorded& x : v.records) {
                if (!x.s.airborne) {
                    ASSERT_GT(gf_distanceNm(userAt, pos(x)), 1.0) << v.name << ": the user stands by its ground records";
                }
            }
        if (const char* dump = std::getenv("VARNEL_TABLE_DUMP"); dump && v.name.find(dump) != std::string::npos) dumpTrace(v);
        check(v);
        const std::string kind = GetParam().name;
        checkGround(v, kind == "TaxiPauses");
        checkTaxiPace(v, kind == "TaxiPauses" || kind == "ArrivalPauses");
        checkRecords(v);
        checkPhases(trace, v, ground);
    }
    LATERAL_RANGE.set(LATERAL_RANGE.defaultValue);
}

// A made-up approach that touches down lands and stays down: its records ended on final and say
// nothing of now, even where the ones before show a touch and go (a roll that sped up and flew).
TEST_F(ReplayTest, AMadeUpTouchdownTakesNoEarlierTouchAndGoForAGoAround) {
    LiveAircraft& a = live(callsign, kZurich, false, kZurichFt + 40.0, 137.0);
    PositionSample s = a.samples.front();
    double t = 1000.0;
    for (const double kn : {110.0, 118.0, 126.0, 134.0, 142.0, 150.0, 150.0, 150.0, 150.0, 150.0}) {
        std::tie(s.groundSpeed, s.track, s.airborne) = std::tuple{kn, 137.0, kn < 150.0 ? 0 : 1};
        lf_noteRecord(a, t += 2.0, s);
    }
    a.landed = 0;   // it flew on after the touch and go
    std::tie(a.onApproach, a.extrapolationCount, a.phase) = std::tuple{1, 5, PHASE_AIRBORNE};
    lf_landed(a);
    EXPECT_TRUE(a.landed && a.landingRoll && a.onGround) << "landed on its made-up approach";
    EXPECT_FALSE(a.underPower) << "rolls for take-off again";
}

// Removed after its made-up motion runs out, Log.txt says what its records did meanwhile: an approach to
// Zurich whose records end, and none come; or they come flying back out behind it (it broke off the
// approach), refused where it could not follow.
TEST_F(ReplayTest, RemovalAfterMadeUpMotionSaysWhatItsRecordsDid) {
    for (const bool comeBack : {false, true}) {
        SCOPED_TRACE(comeBack);
        std::tie(id, callsign) = std::tuple{0x4d0001u + comeBack, comeBack ? "SWR902" : "SWR901"};
        Records r;
        LatLon p = gf_destinationPoint(kZurich, -kPi / 2.0, 6.0 * kFeetPerNm);
        for (double t = 0.0; t <= 150.0; t += 2.0) {
            const bool back = t > 60.0;
            if (t > 0.0) p = gf_destinationPoint(p, back ? -kPi / 2.0 : kPi / 2.0, 150.0 * 2.0 / 3600.0 * kFeetPerNm);
            if (back && (!comeBack || t < 92.0)) continue;
            PositionSample s;
            std::tie(s.latitude, s.longitude, s.altitude, s.verticalSpeed, s.track, s.groundSpeed, s.trueAirspeed, s.airborne) =
                std::tuple{p.lat, p.lon, kZurichFt + 1900.0 - 700.0 * std::min(t, 60.0) / 60.0, back ? 0.0 : -700.0, back ? 270.0 : 90.0,
                           150.0, 150.0, std::uint8_t{1}};
            r.push_back({t, s});
        }
        const std::size_t logFrom = logText().size();
        replay(r, 0, true);
        const std::string log = logText().substr(logFrom);
        const std::size_t line = log.find(callsign + "   removed after");
        ASSERT_NE(line, std::string::npos) << log;
        EXPECT_NE(log.substr(line, log.find('\n', line) - line).find(comeBack ? "lay where it could not follow" : "no records came"),
                  std::string::npos) << log.substr(line, 200);
    }
}

// Back from made-up flight below 1,000 ft it is not steered onto its records' path: near the runway the
// approach, the touch-down and the roll are the movement step's. Higher up the same records are.
TEST_F(ReplayTest, SteeringBackEndsBelowAThousandFeet) {
    for (const double feet : {800.0, 1500.0}) {
        SCOPED_TRACE(feet);
        LiveAircraft& a = live(vrn::format("SWR{:.0f}", feet), from(kZurich, 180.0, 6.0), false, kZurichFt + feet, 90.0);
        std::tie(a.altitudeAboveGround, a.speed) = std::tuple{feet, 150.0};
        // Its records come back two miles north of it, flying north: more than 60 degrees off its nose.
        PositionSample r = a.samples.front();
        std::tie(r.altitude, r.track, r.groundSpeed, r.airborne) = std::tuple{kZurichFt + feet, 0.0, 150.0, 1};
        for (const double nm : {2.0, 2.5}) {
            const LatLon p = from(from(kZurich, 180.0, 6.0), 0.0, nm);
            std::tie(r.latitude, r.longitude, r.duePass) = std::tuple{p.lat, p.lon, g_tickCounter + static_cast<int>(nm * 2400.0)};
            a.samples.push_back(r);
        }
        lf_startRejoin(a);
        EXPECT_EQ(a.rejoining != 0, feet >= 1000.0);
    }
}

// A record as RealTraffic sends it: 42 fields, the time stamp in field 14.
std::string datagram(std::uint32_t hexid, const std::string& callsign, const PositionSample& s, double stamp) {
    return vrn::format("RTTFC,{},{:.6f},{:.6f},{:.0f},{:.0f},{},{:.1f},{:.1f},{},A320,HB-JLA,ZRH,LHR,{:.1f},X2,{},adsb_icao,{:.0f},"
                       "240,260,0.4,0.0,5.0,268,{:.1f},1400,none,A3,1013.2,35008,-1,70.0,lnav,0.0,-21.9,223,24,-30,0,1,170124",
                       hexid, s.latitude, s.longitude, s.altitude, s.verticalSpeed, s.airborne ? 0 : 1, s.track, s.groundSpeed, callsign,
                       stamp, callsign, s.altitude + 100.0, s.track);
}

// A whole feed of 30 aircraft whose time stamps go back 600 s at once (RealTraffic's playback started
// again), read by the traffic reader with its feed clock: every aircraft stays shown, as one object,
// while its records go on.
TEST_F(ReplayTest, EveryAircraftStaysShownWhenTheWholeFeedsTimeGoesBack) {
    LATERAL_RANGE.set(LATERAL_RANGE.maximum);
    constexpr int kAircraft = 30;
    constexpr double kBackAt = 120.0, kEnd = 300.0;
    std::vector<Records> tracks;
    for (int k = 0; k < kAircraft; ++k) {
        Records r = generated(k * 360.0 / kAircraft, k % 3 == 0 ? 1.0 : 0.0, kEnd, 1.0);
        for (Recorded& x : r) {
            const LatLon p = gf_destinationPoint(pos(x), (k * 137.0) * kDeg2Rad, (5.0 + k % 7) * kFeetPerNm);
            std::tie(x.s.latitude, x.s.longitude) = std::tie(p.lat, p.lon);
            x.t += 0.01 * k;   // the records of one second arrive one after the other
        }
        tracks.push_back(std::move(r));
    }
    int pass = 0;
    TrafficReader reader;
    reader.setSteadyClockForTests([&] { return 1000.0 + pass / 100.0; });
    reader.setReferencePosition(kZurich);
    reader.setParkAirport(kZurich);
    reader.setFieldElevation(kZurichFt);
    gf_setMainLoopRunning(true);
    std::vector<std::size_t> next(kAircraft, 0);
    std::vector<std::uint32_t> objectOf(kAircraft, 0);
    int missing = 0, objectsChanged = 0, backwards = 0;
    std::vector<LatLon> lastAt(kAircraft);
    for (; pass < static_cast<int>(kEnd * 100.0) + kPlayDelay; ++pass) {
        for (int k = 0; k < kAircraft; ++k) {
            const std::uint32_t hexid = 0x500000u + static_cast<std::uint32_t>(k);
            const std::string callsign = vrn::format("SWR{}", 300 + k);
            for (; next[k] < tracks[k].size() && tracks[k][next[k]].t * 100.0 <= pass; ++next[k]) {
                const Recorded& x = tracks[k][next[k]];
                const double stamp = 1.7e9 + x.t - (x.t >= kBackAt ? 600.0 : 0.0);
                if (gf_liveById(hexid)) {
                    reader.processDatagram(datagram(hexid, callsign, x.s, stamp));
                    continue;
                }
                Flight f = flight(callsign);
                f.airline = "SWR";
                PositionSample s = x.s;
                s.duePass = g_tickCounter + kPlayDelay;
                g_liveAircraft.emplace_back(a320(f, hexid), s, stamp);
            }
        }
        gf_trafficTick();
        frames(1);
        // From a minute on (all created), each second: every aircraft in the simulator, as the same object.
        if (pass < 6000 + kPlayDelay || pass % 100 != 0) continue;
        for (int k = 0; k < kAircraft; ++k) {
            const LiveAircraft* a = gf_liveById(0x500000u + static_cast<std::uint32_t>(k));
            if (!a || a->state != STATE_IN_SIM) {
                ++missing;
                continue;
            }
            if (objectOf[k] != 0 && objectOf[k] != a->objectId) ++objectsChanged;
            // Flying on along its nose, never more than 90 degrees off it, whatever the stamps do.
            if (const auto o = sim().object(a->objectId)) {
                const LatLon now{o->lat, o->lon};
                if (objectOf[k] == a->objectId && gf_distanceNm(lastAt[k], now) * 3600.0 > 20.0 &&
                    std::fabs(gf_headingDifference(o->heading, gf_initialBearing(lastAt[k], now))) > kPi / 2.0)
                    ++backwards;
                lastAt[k] = now;
            }
            objectOf[k] = a->objectId;
        }
    }
    gf_setMainLoopRunning(false);
    std::cout << "[time base] aircraft-seconds not shown " << missing << ", objects made anew " << objectsChanged
              << ", seconds against the nose " << backwards << "\n";
    EXPECT_EQ(missing, 0) << "aircraft-seconds not shown while their records went on";
    EXPECT_EQ(objectsChanged, 0) << "aircraft removed and created again";
    EXPECT_EQ(backwards, 0) << "aircraft-seconds moving more than 90 degrees off the nose";
    LATERAL_RANGE.set(LATERAL_RANGE.defaultValue);
}

// Each kind with a frame a pass, and at 30 frames a second as simulators run (a frame every third or
// fourth pass). One kind alone: --gtest_filter='*GroundPhaseTest*/WholeTracks*'.
const char* const kKinds[] = {"ArrivalEnds", "ArrivalPauses", "DepartureEnds", "DeparturePauses", "RejectedTakeOff",
                              "TouchAndGo", "FeedStartsRolling", "DepartureThinned", "FastOutlier", "TrackError", "StrayHighRecords",
                              "TouchdownScatter", "CreationDuringRoll", "AirThinned", "AirPauses", "AirStampsAmiss",
                              "AirLateCopy", "WholeTracks", "EndsAtEveryPhase", "ApproachPauses",
                              "DepartsAfterStand", "EmptyTrack", "SteadyTurns", "PauseToTurnOff", "TaxiPauses", "FlickeringTaxi",
                              "CloseTurnOff", "GoAroundPauses", "ClimbsOutOfRange", "HelicopterHovers"};
std::vector<Kind> kindsAt(int fps) {
    std::vector<Kind> out;
    for (const char* k : kKinds) out.push_back({k, fps});
    return out;
}
INSTANTIATE_TEST_SUITE_P(RealTracks, GroundPhaseTest, ::testing::ValuesIn(kindsAt(100)),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(RealTracks30fps, GroundPhaseTest, ::testing::ValuesIn(kindsAt(30)),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vrn::test
