// Movement of live aircraft through the traffic pass and the simulated simulator (landing),
// and single movement steps on bad input.
#include <cmath>
#include <iostream>
#include <optional>
#include <tuple>
#include <vector>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "core/format.h"
#include "core/utilities.h"
#include "replay_fixture.h"
#include "traffic/movement_common.h"

namespace vrn::test {
namespace {

constexpr double kGround = 200.0;   // ft, flat terrain of the scenario
const LatLon kRunway{51.4775, -0.4850};

struct Leg { double seconds, trackDeg, fromKn, toKn, verticalSpeed; };

PositionSample at(double lat, double lon, double altitude, double speed, int due = 0) {
    PositionSample s;
    s.latitude = lat;
    s.longitude = lon;
    s.altitude = altitude;
    s.groundSpeed = s.trueAirspeed = speed;
    s.airborne = altitude > 0.0;
    s.duePass = due;
    return s;
}

// One record every two seconds along the legs; altitudes at or below kGround are on the ground.
std::vector<PositionSample> fly(LatLon p, double altitude, const std::vector<Leg>& legs) {
    std::vector<PositionSample> out;
    for (const Leg& leg : legs)
        for (double s = 0.0; s < leg.seconds; s += 2.0) {
            const double v = leg.fromKn + (leg.toKn - leg.fromKn) * s / leg.seconds;
            const bool air = altitude > kGround;
            out.push_back(at(p.lat, p.lon, air ? altitude : 0.0, v));
            out.back().track = leg.trackDeg;
            out.back().verticalSpeed = air ? leg.verticalSpeed : 0.0;
            p = gf_destinationPoint(p, leg.trackDeg * kDeg2Rad, v * 2.0 / 3600.0 * kFeetPerNm);
            altitude = std::max(kGround, altitude + leg.verticalSpeed / 30.0);
        }
    return out;
}

struct Seen { LatLon p; double altitude, heading; bool onGround; int flareStage; };

// One aircraft flown through the traffic pass, a frame every pass, its object's positions traced.
class MovementTest : public EngineTest {
protected:
    std::vector<Seen> trace;
    std::uint32_t objectId = 0;
    const std::uint32_t id = 4000001;
    SizeClass playedClass = SIZE_LARGE;

    void SetUp() override {
        ground = kGround;
        frameRate = 100.0;
        userAt = {kRunway.lat + 0.1, kRunway.lon};
        EngineTest::SetUp();
        g_tickCounter = 0;
        g_parkAirport = Airport{"EGLL", "LHR", kRunway.lat, kRunway.lon + 0.02, kGround};
    }
    LiveAircraft& aircraft() {
        LiveAircraft* a = gf_liveById(id);
        if (!a) throw std::runtime_error("the aircraft is gone");
        return *a;
    }
    // The first record makes the aircraft; the rest come through the traffic queue at their time.
    void play(const std::vector<PositionSample>& records, int extraPasses) {
        Flight f = flight("BAW123");
        f.airline = "BAW";
        g_liveAircraft.emplace_back(ofClass(f, id, playedClass), records[0], 1.0e9).samples.front().duePass = kPlayDelay;
        for (int pass = 0; pass < static_cast<int>(records.size() - 1) * 200 + kPlayDelay + extraPasses; ++pass) {
            if (const std::size_t i = pass / 200; pass % 200 == 0 && i > 0 && i < records.size()) {
                TrafficUpdate u{};
                u.flight = f;
                u.hexid = id;
                u.timeStamp = 1.0e9 + 2.0 * i;
                u.sample = records[i];
                u.sample.duePass = g_tickCounter + kPlayDelay;
                std::lock_guard lock(g_trafficMutex);
                g_trafficQueue.push_back(u);
            }
            runPass();
        }
    }
    std::optional<Seen> created;   // the object as the simulator first showed it
    void runPass() {
        gf_trafficTick();
        frames(1);
        const LiveAircraft* a = gf_liveById(id);
        if (a && a->objectId != 0 && !created)
            if (const auto o = sim().object(a->objectId)) created = Seen{{o->lat, o->lon}, o->altitude, o->heading, o->onGround, 0};
        if (!a || a->state != STATE_IN_SIM) return;
        objectId = a->objectId;
        if (const auto o = sim().object(objectId))
            trace.push_back({{o->lat, o->lon}, o->altitude, o->heading, a->onGround != 0, a->curveKind});
    }
    // Finite, never below the ground, no jump beyond the speed, heading turned at most `turnDeg` a pass.
    void checkTrace(double fastestKn, double turnDeg) {
        ASSERT_GT(trace.size(), 100u);
        for (std::size_t i = 1; i < trace.size(); ++i) {
            const Seen& s = trace[i];
            ASSERT_TRUE(std::isfinite(s.p.lat) && std::isfinite(s.p.lon) && std::isfinite(s.altitude) &&
                        std::isfinite(s.heading)) << i;
            EXPECT_GE(s.altitude, kGround - 0.01) << "pass " << i;
            EXPECT_LE(gf_distanceNm(trace[i - 1].p, s.p), fastestKn / 360000.0 + 1e-6) << "pass " << i;
            EXPECT_LE(std::fabs(gf_headingDifference(trace[i - 1].heading, s.heading)) * kRad2Deg, turnDeg) << i;
        }
    }
};

// Longitudes in (-180, 180] and headings in [0, 2 pi), the short way round across the antimeridian,
// at the edges of their ranges and beyond them.
TEST(MovementRanges, LongitudesAndHeadingsKeepTheirRangesAtTheirEdges) {
    struct Row { const char* what; double got, want; };
    using namespace movement;
    const Row rows[] = {
        {"180 stays", normalLongitude(180.0), 180.0},
        {"-180 is 180", normalLongitude(-180.0), 180.0},
        {"just above -180 stays", normalLongitude(-179.9999), -179.9999},
        {"190 is -170", normalLongitude(190.0), -170.0},
        {"-190 is 170", normalLongitude(-190.0), 170.0},
        {"540 is 180", normalLongitude(540.0), 180.0},
        {"east across the antimeridian", longitudeDelta(170.0, -170.0), 20.0},
        {"west across it", longitudeDelta(-170.0, 170.0), -20.0},
        {"half way round either way is 180", longitudeDelta(10.0, -170.0), 180.0},
        {"half way round the other way", longitudeDelta(-170.0, 10.0), 180.0},
        {"a heading just below 0", normalHeading(-0.1), kTwoPi - 0.1},
        {"2 pi is 0", normalHeading(kTwoPi), 0.0},
        {"beyond a turn", normalHeading(kTwoPi + 1.0), 1.0},
        {"not a number is north", normalHeading(std::nan("")), 0.0},
    };
    for (const Row& r : rows) EXPECT_NEAR(r.got, r.want, 1e-9) << r.what;
}

TEST_F(MovementTest, ApproachLandsFlaresAndRollsOut) {
    play(fly({kRunway.lat, kRunway.lon - 0.12}, kGround + 1000.0,
             {{120, 90, 140, 135, -700}, {40, 90, 130, 20, 0}, {30, 120, 15, 15, 0}}), 3000);
    checkTrace(200.0, 4.0);
    EXPECT_TRUE(aircraft().onGround);
    EXPECT_EQ(aircraft().landingRoll, 0);   // turned off the runway
    EXPECT_TRUE(sim().object(objectId)->onGround);
    const auto touchdown = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return s.onGround; });
    ASSERT_NE(touchdown, trace.end());
    EXPECT_LE(std::fabs(gf_headingDifference(touchdown->heading, kPi / 2.0)) * kRad2Deg, 5.0);
}

// An approach to a park airport whose elevation lies `elevationAboveRunway` above the runway
// (kGround); the flare must begin 30 ft above the wheels' static height over the runway itself.
class FlareTest : public MovementTest, public ::testing::WithParamInterface<double> {};

TEST_P(FlareTest, StartsAtItsHeightAboveTheRunwayWhereverTheAirportsElevationLies) {
    g_parkAirport.alt = kGround + GetParam();
    play(fly({kRunway.lat, kRunway.lon - 0.12}, kGround + 1000.0, {{120, 90, 140, 135, -700}, {40, 90, 130, 20, 0}}), 500);
    const auto flare = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return s.flareStage >= 1; });
    ASSERT_NE(flare, trace.end()) << "no flare";
    ASSERT_NE(flare, trace.begin());
    // The height above the runway that the flare's first stage saw: the position of the pass before.
    EXPECT_NEAR((flare - 1)->altitude - kGround, aircraft().staticCgHeight + 30.0, 2.0);
    EXPECT_TRUE(trace.back().onGround);
}

// Level; the runway 30 ft below the airport's elevation (the flare must not start 30 ft early); above it.
INSTANTIATE_TEST_SUITE_P(RunwayAgainstAirport, FlareTest, ::testing::Values(0.0, 30.0, -30.0));

// The height above the park airport's elevation, taken as the flare may begin, holds where the
// ground under the approach lies far below the field (a field on a plateau: the simulator's height
// above ground is taken to the low ground). Coming within 400 ft of that ground the aircraft is
// already within the flare's height of the field, and flares there rather than sinking on to the low ground.
TEST_F(MovementTest, FlaresAtTheFieldsElevationOverGroundFarBelowIt) {
    g_parkAirport.alt = kGround + 380.0;
    play(fly({kRunway.lat, kRunway.lon - 0.12}, kGround + 1000.0, {{120, 90, 140, 135, -700}, {40, 90, 130, 20, 0}}), 500);
    const auto flare = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return s.flareStage >= 1; });
    ASSERT_NE(flare, trace.end()) << "no flare";
    ASSERT_NE(flare, trace.begin());
    const double aboveField = (flare - 1)->altitude - g_parkAirport.alt;
    EXPECT_LE(aboveField, aircraft().staticCgHeight + 30.0);
    EXPECT_GT(aboveField, 0.0);
}

// ---- Single steps on a record in the list, without the simulator ----

class MovementStepTest : public EngineTest {
protected:
    LiveAircraft& make(bool ground, const std::vector<PositionSample>& samples) {
        gf_resetParkAirport();
        g_tickCounter = 1000;
        LiveAircraft& a = g_liveAircraft.emplace_back(a320(Flight{}, 4000002), samples.front(), 1.0e9);
        a.objectId = 7;
        a.state = STATE_IN_SIM;
        a.samples.insert(a.samples.end(), samples.begin() + 1, samples.end());
        a.onGround = ground ? 1 : 0;
        a.phase = ground ? PHASE_MOVING : PHASE_AIRBORNE;
        std::tie(a.position.latitude, a.position.longitude, a.position.altitude) =
            std::tie(samples.front().latitude, samples.front().longitude, samples.front().altitude);
        return a;
    }
    // Steps the aircraft for n passes as the traffic pass does.
    static void step(LiveAircraft& a, int n) {
        for (int i = 0; i < n && a.state == STATE_IN_SIM; ++i) {
            if (a.rejoining) lf_rejoinStep(a);
            if (!a.rejoining && !a.samples.empty() && g_tickCounter >= a.samples.front().duePass) lf_movementStep(a);
            if (a.state == STATE_IN_SIM && (a.samples.empty() || !a.samples.front().standing)) lf_followCurve(a);
            ++g_tickCounter;
        }
    }
};


TEST_F(ReplayTest, DepartureHoldsBesideAStandKeepsItsTimingAndPointsWhereItGoes) {
    // SWR137H holds 44 s near runway 28, lines up and takes off; a stand lies 35 m from where it holds.
    const auto records = excerpt("swr137h-hold-takeoff");
    std::tie(id, callsign) = std::tuple{0x4b1614u, "SWR137H"};
    const LatLon hold{47.456631, 8.570023};
    stand("R1", gf_destinationPoint(hold, 0.0, 35.0 * 3.28084), 180.0, 30.0);
    replay(records, 500);
    ASSERT_GT(trace.size(), 1000u);
    EXPECT_TRUE(std::none_of(trace.begin(), trace.end(), [](const Seen& s) { return s.phase == PHASE_AT_STAND; }))
        << "a holding aircraft was taken for parked";
    const auto liftOff = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return !s.onGround; });
    ASSERT_NE(liftOff, trace.end()) << "it never took off";
    double latest = -1e9;
    for (std::size_t i = 100; i < trace.size(); i += 100) {   // once a second, as the trace of a run
        const Seen& s = trace[i];
        // Where it stands or creeps says nothing of the time; nor does a place past the last record.
        if (gf_distanceNm(trace[i - 100].p, s.p) * 1852.0 >= 3.0 && s.pass < (records.back().t * 100.0) + kPlayDelay)
            latest = std::max(latest, behind(s, records));
    }
    int moving = 0;
    EXPECT_EQ(sidewaysSeconds(trace, moving), 0);
    EXPECT_GT(moving, 20);
    EXPECT_LE(latest, 1.0) << "seconds behind its feed beyond the play delay";
}

TEST_F(ReplayTest, TaxiTurnsPointWhereTheAircraftGoes) {
    // ENT57BW taxis two minutes with turns of up to 90 degrees, its position quantised to about 15 m;
    // later it stops on the apron, then sets off towards a position behind its right wing.
    const struct { const char* excerpt; int minMoving, perCentSideways; } cases[] = {
        {"ent57bw-taxi", 60, 1}, {"ent57bw-turn-after-stop", 20, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.excerpt);
        trace.clear();
        ++id;   // a new aircraft each time
        replay(excerpt(c.excerpt), 0);
        int moving = 0;
        const int sideways = sidewaysSeconds(trace, moving);   // sets `moving` before the bound is taken
        EXPECT_LE(sideways, moving * c.perCentSideways / 100) << "of " << moving << " moving seconds";
        EXPECT_GT(moving, c.minMoving);
    }
}

// Taxi records a second apart along legs (seconds, track, knots), on the ground near Zurich.
std::vector<Recorded> taxi(const std::vector<std::tuple<double, double, double>>& legs, double every = 1.0) {
    std::vector<Recorded> out;
    LatLon p = gf_destinationPoint(kZurich, kPi, 1500.0);
    double t = 0.0;
    for (const auto& [seconds, trackDeg, kn] : legs)
        for (double s = 0.0; s < seconds; s += every, t += every) {
            Recorded r{t, at(p.lat, p.lon, 0.0, kn)};
            r.s.track = trackDeg;
            out.push_back(r);
            p = gf_destinationPoint(p, trackDeg * kDeg2Rad, kn * every / 3600.0 * kFeetPerNm);
        }
    return out;
}

TEST_F(ReplayTest, TaxiCornersAreRoundedWithinAQuarterGOfTheirCourse) {
    // Records 1-20 s apart at 20-30 kn round a corner of 30-150 degrees: the curve through them is
    // taken slowly enough that the course (from positions a second apart, not the nose, which may lag
    // behind it) bends with no more than a quarter g sideways. Records 1-2 s apart: the curve starts
    // a few metres before the corner, so it brakes for it on the way in (before, 0.35-0.63 g), also
    // while it runs late. 10 s apart: a curve between a short leg and a long one is taken by where it
    // bends tightest, not by its mean (0.37 g). 15-20 s apart no curve is made (the sample after the
    // corner comes too late): it brakes for the corner itself (0.5-0.75 g), also for one well short of
    // a sharp corner (30-40 degrees: 0.6-0.7 g unbraked).
    const struct { double every, kn, deg; } cases[] = {{1, 25, 120}, {2, 30, 90}, {5, 25, 60}, {5, 30, 90}, {5, 30, 150},
                                                       {10, 25, 120}, {15, 20, 60}, {15, 30, 90}, {20, 25, 90}, {20, 30, 45},
                                                       {20, 25, 30}, {20, 30, 40}};
    for (const auto& [every, kn, deg] : cases) {
        SCOPED_TRACE(vrn::format("every {} s, {} kn, {} degrees", every, kn, deg));
        trace.clear();
        ++id;
        replay(taxi({{60, 0, kn}, {60, deg, kn}}, every), 0);
        ASSERT_GT(trace.size(), 5000u);
        const double east = kMetresPerDegreeLat * std::cos(kZurich.lat * kDeg2Rad);
        const auto v = [&](std::size_t i, std::size_t j) {   // metres a second north and east from pass i to j
            const double s = (trace[j].pass - trace[i].pass) / 100.0;
            return std::pair{(trace[j].p.lat - trace[i].p.lat) * kMetresPerDegreeLat / s, (trace[j].p.lon - trace[i].p.lon) * east / s};
        };
        double worst = 0.0;
        for (std::size_t i = 100; i + 100 < trace.size(); ++i) {
            const auto [n1, e1] = v(i - 100, i);
            const auto [n2, e2] = v(i, i + 100);
            const double speed = std::hypot(n1, e1);
            if (speed > 2.0) worst = std::max(worst, std::fabs(n1 * e2 - e1 * n2) / speed / 9.80665);
        }
        EXPECT_LE(worst, 0.25) << "g sideways";
    }
}

TEST_F(ReplayTest, TakeOffLiftsOffNearTheSpeedItsRecordsFlewOffAt) {
    // Records that roll up to 110 or 120 kn in 16 s and fly off at that speed (a headwind) leave the
    // aircraft behind them on its roll: it lifts off near 0.9 of their speed (rotating a little before),
    // not only at 0.8 of an A320's lift-off speed, 112 kn, which it never reaches behind records of 110.
    for (const double recordsKn : {110.0, 120.0}) {
        SCOPED_TRACE(recordsKn);
        trace.clear();
        ++id;
        std::vector<Recorded> records;
        LatLon p = gf_destinationPoint(kZurich, kPi / 2.0, 6000.0);
        for (double t = 0.0, kn = 20.0, ft = 0.0; ft < 1500.0; t += 2.0) {
            Recorded r{t, at(p.lat, p.lon, ft > 0.0 ? kZurichFt + ft : 0.0, kn)};
            std::tie(r.s.track, r.s.airborne, r.s.verticalSpeed) = std::tuple{276.0, ft > 0.0, ft > 0.0 ? 1500.0 : 0.0};
            records.push_back(r);
            p = gf_destinationPoint(p, 276.0 * kDeg2Rad, (kn + (kn < recordsKn ? 7.0 : 0.0)) / 3600.0 * kFeetPerNm);
            ft += kn >= recordsKn ? 50.0 : 0.0;
            kn = std::min(kn + 14.0, recordsKn);
        }
        replay(records, 0);
        const auto off = std::find_if(trace.begin() + 100, trace.end(), [](const Seen& s) { return !s.onGround; });
        if (off == trace.end()) {
            ADD_FAILURE() << "it never took off";
            continue;
        }
        const double kn = gf_distanceNm((off - 100)->p, off->p) * 3600.0;   // over its last second on the ground
        EXPECT_GE(kn, 90.0);
        EXPECT_LE(kn, 0.9 * recordsKn) << "kn at lift-off";
    }
}

TEST_F(ReplayTest, AfterLiftOffItNeverSinksBackToRecordsThatHoldTheirHeight) {
    // Records that climb off at 3,000 ft/min, then read one height, 300 ft up, for 4 or 10 s (as real
    // records just off the runway do), then climb on at 1,500 ft/min: the aircraft, above them by then,
    // levels off instead of sinking back down to them, and climbs away.
    for (const double holdSeconds : {4.0, 10.0}) {
        SCOPED_TRACE(holdSeconds);
        trace.clear();
        ++id;
        std::vector<Recorded> records;
        LatLon p = gf_destinationPoint(kZurich, kPi / 2.0, 6000.0);
        double held = 0.0;
        for (double t = 0.0, kn = 20.0, ft = 0.0; ft < 1500.0; t += 2.0) {
            const bool climbing = ft < 300.0 || held >= holdSeconds;
            Recorded r{t, at(p.lat, p.lon, ft > 0.0 ? kZurichFt + ft : 0.0, kn)};
            std::tie(r.s.track, r.s.airborne, r.s.verticalSpeed) = std::tuple{276.0, ft > 0.0, ft > 0.0 && climbing ? 1500.0 : 0.0};
            records.push_back(r);
            p = gf_destinationPoint(p, 276.0 * kDeg2Rad, (kn + (kn < 150.0 ? 7.0 : 0.0)) / 3600.0 * kFeetPerNm);
            if (kn >= 150.0) {
                if (ft >= 300.0 && held < holdSeconds) held += 2.0;
                else ft += ft < 300.0 ? 100.0 : 50.0;
            }
            kn = std::min(kn + 14.0, 150.0);
        }
        replay(records, 0);
        double worstSinkFpm = 0.0, highest = 0.0;
        for (std::size_t k = 100; k < trace.size(); ++k) {
            const Seen &a = trace[k - 100], &b = trace[k];
            highest = std::max(highest, b.altitude);
            if (a.object == b.object && !a.onGround && !b.onGround && b.altitude < kZurichFt + 1000.0)
                worstSinkFpm = std::max(worstSinkFpm, (a.altitude - b.altitude) * 60.0);
        }
        EXPECT_LE(worstSinkFpm, 100.0) << "ft/min sinking below 1,000 ft";
        EXPECT_GT(highest, kZurichFt + 1000.0) << "feet: it never climbed away";
    }
}

TEST_F(ReplayTest, LateTaxiRollsThroughEveryRecord) {
    // Records 2 s apart stand 20 s, then set off at once at 30 kn and turn 45 or 90 degrees right 4 s
    // later and back left 20 s after: the aircraft, seconds late as it speeds up, still rolls through
    // each record's position (a curve rounds a corner's record by about a third of the records' spacing)
    // rather than cutting across to the next once one falls due.
    for (const auto& [deg, mostM] : {std::pair{45.0, 10.0}, std::pair{90.0, 15.0}}) {
        SCOPED_TRACE(deg);
        trace.clear();
        ++id;
        const auto records = taxi({{20, 0, 0}, {4, 0, 30}, {20, deg, 30}, {20, 0, 30}}, 2.0);
        replay(records, 2000);
        for (const Recorded& r : records) {
            double nearest = 1e9;
            for (const Seen& s : trace) nearest = std::min(nearest, gf_distanceNm(s.p, {r.s.latitude, r.s.longitude}) * 1852.0);
            EXPECT_LE(nearest, mostM) << "metres from the record of " << r.t << " s";
        }
    }
}

TEST_F(ReplayTest, TaxiKeepsToItsRecordsSpeedWhereTheyPauseAndSlow) {
    // Records 2 s apart taxi straight on; the feed pauses, and when it comes back the aircraft, left
    // behind, catches up; or records slow to a crawl while it runs late, or slow in a pause and end after
    // it. Over any two seconds at 10-40 kn it never goes faster than 1.5 times its records' speed about
    // then and 5 kn (theirs: the fastest within 5 s; in a pause, the faster of those either side).
    const struct { const char* name; std::vector<std::tuple<double, double, double>> legs; double pauseFrom, pauseTo; } cases[] = {
        {"60-s pause at 20 kn, back at 8 kn", {{30, 0, 20}, {60, 0, 20}, {60, 0, 8}}, 30, 90},
        {"90-s pause at 15 kn, back at 10 kn", {{30, 0, 15}, {90, 0, 15}, {60, 0, 10}}, 30, 120},
        {"30-s pause at 25 kn, slowing to 4 kn after it", {{30, 0, 25}, {30, 0, 25}, {10, 0, 12}, {60, 0, 4}}, 30, 60},
        {"20-s pause at 20 kn, slowing to 6 kn in it, their last record after it", {{30, 0, 20}, {20, 0, 6}, {2, 0, 6}}, 30, 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        trace.clear();
        ++id;
        auto records = taxi(c.legs, 2.0);
        std::erase_if(records, [&](const Recorded& r) { return r.t >= c.pauseFrom && r.t < c.pauseTo; });
        replay(records, 1000);
        const auto theirs = [&](double t) {
            double most = -1.0, before = -1.0, after = -1.0;
            for (const Recorded& r : records) {
                if (std::fabs(r.t - t) <= 5.0) most = std::max(most, r.s.groundSpeed);
                if (r.t <= t) before = r.s.groundSpeed;
                else if (after < 0.0) after = r.s.groundSpeed;
            }
            return most >= 0.0 ? most : std::max(before, after);
        };
        double worst = -1e9, at = 0.0;
        for (std::size_t k = 200; k < trace.size(); k += 100) {
            const double kn = gf_distanceNm(trace[k - 200].p, trace[k].p) * 1800.0;   // over two seconds
            const double t = (trace[k].pass - kPlayDelay) / 100.0;
            if (kn < 10.0 || kn > 40.0 || t > records.back().t) continue;
            if (const double over = kn - (1.5 * theirs(t) + 5.0); over > worst) std::tie(worst, at) = std::pair{over, t};
        }
        EXPECT_LE(worst, 0.0) << "kn above 1.5 times its records and 5 kn, at " << at << " s";
        // It still catches up with them: within 30 m of the last one when that falls due.
        const Recorded& last = records.back();
        const auto due = std::find_if(trace.begin(), trace.end(), [&](const Seen& x) { return x.pass >= kPlayDelay + last.t * 100.0; });
        ASSERT_NE(due, trace.end());
        EXPECT_LE(gf_distanceNm(due->p, {last.s.latitude, last.s.longitude}) * 1852.0, 30.0) << "m from its last record";
        // Nor is it there long before: early at their newest record it creeps to it on time rather than
        // braking to stand there while they move on.
        double ahead = 0.0;
        for (std::size_t k = 0; k < trace.size() && trace[k].pass <= kPlayDelay + last.t * 100.0; k += 50)
            ahead = std::max(ahead, -behind(trace[k], records));
        EXPECT_LE(ahead, 4.0) << "s ahead of its records";
    }
}

TEST_F(ReplayTest, TaxiWhoseRecordsComeBackBeyondItsReachIsCreatedAgainFacingTheirWay) {
    // Records 2 s apart taxi east at 15 kn, then pause 90 s; they come back on its way (it has gone on
    // at their pace: it drives on), behind it turned round, or standing far off facing south. Where
    // it cannot be within 150 m of them half a minute after they fall due it is created again on
    // their way, facing it, with a line in Log.txt, and is with them when they play.
    struct Back { double metresEast, metresNorth, trackDeg, kn; int objects; };
    const struct { const char* name; Back back; } cases[] = {
        {"on its way", {700, 0, 90, 15, 1}},
        {"behind it, turned round", {-400, 0, 270, 15, 2}},
        {"standing far off", {-300, 900, 180, 0, 2}},
    };
    for (const auto& [name, back] : cases) {
        SCOPED_TRACE(name);
        trace.clear();
        ++id;
        auto records = taxi({{30, 90, 15}}, 2.0);
        const LatLon last{records.back().s.latitude, records.back().s.longitude};
        const LatLon p = gf_destinationPoint(gf_destinationPoint(last, kPi / 2.0, back.metresEast / 0.3048), 0.0, back.metresNorth / 0.3048);
        const double from = records.back().t + 90.0;
        for (int k = 0; k < 15; ++k) {
            const LatLon q = gf_destinationPoint(p, back.trackDeg * kDeg2Rad, back.kn * 2.0 * k / 3600.0 * kFeetPerNm);
            Recorded r{from + 2.0 * k, at(q.lat, q.lon, 0.0, back.kn)};
            r.s.track = back.trackDeg;
            records.push_back(r);
        }
        const std::size_t logFrom = logText().size();
        replay(records, 500);
        int objects = trace.empty() ? 0 : 1;
        for (std::size_t i = 1; i < trace.size(); ++i)
            if (trace[i].pass != trace[i - 1].pass + 1) {
                ++objects;
                EXPECT_LT(std::fabs(gf_headingDifference(back.trackDeg * kDeg2Rad, trace[i].heading)), 30.0 * kDeg2Rad)
                    << "degrees, heading of the object created again";
            }
        EXPECT_EQ(objects, back.objects);
        EXPECT_EQ(logText().find("its taxi's records came back", logFrom) != std::string::npos, back.objects == 2) << logText().substr(logFrom);
        const Recorded& end = records.back();
        const auto due = std::find_if(trace.begin(), trace.end(), [&](const Seen& x) { return x.pass >= kPlayDelay + end.t * 100.0; });
        ASSERT_NE(due, trace.end());
        EXPECT_LE(gf_distanceNm(due->p, {end.s.latitude, end.s.longitude}) * 1852.0, 60.0) << "m from its last record when it falls due";
    }
}

TEST_F(ReplayTest, AStaleRepeatedPositionOnARollIsRolledThrough) {
    // Records 2 s apart at 20 or 40 kn, one of which repeats the position before it (a receiver's stale
    // report, taken as standing): the aircraft rolls on through it, never braking for a stop there.
    for (const double kn : {20.0, 40.0}) {
        SCOPED_TRACE(kn);
        trace.clear();
        ++id;
        auto records = taxi({{40, 0, kn}}, 2.0);
        std::tie(records[10].s.latitude, records[10].s.longitude) = std::pair{records[9].s.latitude, records[9].s.longitude};
        replay(records, 0);
        double slowest = 1e9;
        for (std::size_t i = 50; i + 50 < trace.size(); ++i)   // from its third record's time to its third last
            if (trace[i].pass > kPlayDelay + 400 && trace[i].pass < kPlayDelay + (records.back().t - 4.0) * 100.0)
                slowest = std::min(slowest, gf_distanceNm(trace[i - 50].p, trace[i + 50].p) * 3600.0);
        EXPECT_GE(slowest, 0.5 * kn) << "kn";
    }
}

TEST_F(ReplayTest, TaxiingAircraftStaysThroughAMinuteWithoutRecords) {
    // AEE5ZH taxis towards runway 28; its records pause for 63 s while it reaches the runway and
    // lines up, then it rolls for take-off.
    const auto records = excerpt("aee5zh-taxi-gap");
    std::tie(id, callsign) = std::tuple{0x4690e2u, "AEE5ZH"};
    replay(records, 0);
    ASSERT_GT(trace.size(), 1000u);
    for (std::size_t i = 1; i < trace.size(); ++i)
        ASSERT_EQ(trace[i].pass, trace[i - 1].pass + 1) << "gone from the simulator after pass " << trace[i - 1].pass;
    // (Lining up, it turns onto the runway no faster than an airliner turns at a crawl.)
    EXPECT_LE(behind(trace.back(), records), 2.0) << "seconds behind its feed when its records end";
    int moving = 0;
    EXPECT_EQ(sidewaysSeconds(trace, moving), 0) << "of " << moving << " moving seconds (it turns round to line up)";
}

TEST_F(ReplayTest, ArrivalFirstSeenOnItsLandingRollStaysOnTheGroundThroughATaxiGap) {
    // SWR5220's feed starts as it touches down on runway 14 at 119 kn; it rolls out, turns off and
    // taxis, and its records pause for 60 s while it taxis. Its roll is queued before it is created.
    // Cut at its first record of 60 kn or less, its feed ends on the roll: it rolls out, never stopping dead.
    for (const double cutKn : {0.0, 60.0}) {
        SCOPED_TRACE(cutKn);
        trace.clear();
        std::tie(id, callsign) = std::tuple{cutKn > 0.0 ? 0x4b160fu : 0x4b160eu, "SWR5220"};
        auto records = excerpt("swr5220-roll-taxi-gap");
        if (cutKn > 0.0)
            records.erase(std::find_if(records.begin(), records.end(), [&](const Recorded& r) { return r.s.groundSpeed <= cutKn; }) + 1,
                          records.end());
        const std::size_t logFrom = logText().size();
        replay(records, cutKn > 0.0 ? 1000 : 0);
        ASSERT_GT(trace.size(), 1000u);
        EXPECT_EQ(logText().find("took-off", logFrom), std::string::npos);
        for (std::size_t i = 0; i < trace.size(); ++i) {
            ASSERT_TRUE(trace[i].onGround) << "pass " << trace[i].pass;
            ASSERT_LT(trace[i].altitude, kZurichFt + 20.0) << "pass " << trace[i].pass;
            // Created once: in the simulator from its creation to the end.
            if (i > 0) {
                ASSERT_EQ(trace[i].pass, trace[i - 1].pass + 1) << "gone from the simulator after pass " << trace[i - 1].pass;
            }
        }
        const LatLon last{records.back().s.latitude, records.back().s.longitude};
        if (cutKn == 0.0) {
            EXPECT_LT(gf_distanceNm(last, trace.back().p) * 1852.0, 50.0) << "metres from its last record";
            continue;
        }
        // From 60 kn it rolls on for a few seconds, slowing down, and stops along the runway.
        const int lastDue = static_cast<int>(records.back().t * 100.0) + kPlayDelay;
        const auto reached = std::find_if(trace.begin(), trace.end(), [&](const Seen& s) { return s.pass >= lastDue + 100; });
        ASSERT_NE(reached, trace.end());
        EXPECT_GT(gf_distanceNm(last, reached->p) * 1852.0, 10.0) << "metres rolled in the second after its last record";
        EXPECT_GT(gf_distanceNm(last, trace.back().p) * 1852.0, 40.0) << "metres rolled out";
        EXPECT_LT(gf_distanceNm(last, trace.back().p) * 1852.0, 400.0) << "metres rolled out";
        EXPECT_NEAR(gf_headingDifference(137.0 * kDeg2Rad, trace.back().heading), 0.0, 5.0 * kDeg2Rad);
    }
}

TEST_F(ReplayTest, TakeOffRollWhoseFeedEndsOnTheRunwayLiftsOff) {
    // Real ground reports often end between 60 and 100 kn on the take-off roll: each departure's feed
    // is cut at its first record of 60 kn or more. The aircraft must not stop dead on the runway.
    // SWR137H's feed also starts as it waits to line up, so that its roll arrives before it is in the simulator.
    // Others end on records of 39, 56 and 62 kn one to three seconds apart (at 1 s one of them is
    // dropped), AEE5ZH's own records up to 30 kn before them.
    struct Tail { double seconds, knots; };
    const std::vector<Tail> threeThenOne{{2, 39}, {3, 56}, {1, 62}}, oneThenThree{{2, 39}, {1, 56}, {3, 62}};
    const struct { const char* excerpt; std::uint32_t id; const char* callsign; std::size_t from; std::vector<Tail> tail; } cases[] = {
        {"swr137h-hold-takeoff", 0x4b1614u, "SWR137H", 0, {}}, {"aee5zh-taxi-gap", 0x4690e2u, "AEE5ZH", 0, {}},
        {"swr137h-hold-takeoff", 0x4b1614u, "SWR137H", 54, {}}, {"aee5zh-taxi-gap", 0x4690e2u, "AEE5ZH", 0, threeThenOne},
        {"aee5zh-taxi-gap", 0x4690e2u, "AEE5ZH", 0, oneThenThree}};
    for (const auto& c : cases) {
        // One at a time.
        for (LiveAircraft& a : g_liveAircraft) gf_removeLiveAircraft(a);
        for (int i = 0; i < 300 && !g_liveAircraft.empty(); ++i) gf_trafficTick(), frames(1);
        ASSERT_TRUE(g_liveAircraft.empty());
        SCOPED_TRACE(vrn::format("{} from {}, {} records added", c.excerpt, c.from, c.tail.size()));
        trace.clear();
        std::tie(id, callsign) = std::tuple{c.id, c.callsign};
        auto records = excerpt(c.excerpt);
        const double cutKn = c.tail.empty() ? 60.0 : 30.0;
        const auto cut = std::find_if(records.begin(), records.end(), [&](const Recorded& r) { return r.s.groundSpeed >= cutKn; });
        ASSERT_NE(cut, records.end());
        ASSERT_FALSE(cut->s.airborne);
        records.erase(cut + 1, records.end());
        for (const Tail& t : c.tail) {
            Recorded r = records.back();
            const double knots = (r.s.groundSpeed + t.knots) / 2.0;
            const LatLon p = gf_destinationPoint({r.s.latitude, r.s.longitude}, r.s.track * kDeg2Rad, knots * t.seconds / 3600.0 * kFeetPerNm);
            std::tie(r.t, r.s.latitude, r.s.longitude, r.s.groundSpeed, r.s.trueAirspeed) =
                std::tuple{r.t + t.seconds, p.lat, p.lon, t.knots, t.knots};
            records.push_back(r);
        }
        records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(c.from));
        const double t0 = records.front().t;
        for (Recorded& r : records) r.t -= t0;
        const LatLon last{records.back().s.latitude, records.back().s.longitude};
        const int lastDue = static_cast<int>(records.back().t * 100.0) + kPlayDelay;
        replay(records, 6000);
        ASSERT_FALSE(trace.empty());
        ASSERT_GT(trace.back().pass, lastDue) << "gone before its last record was played";
        const auto liftOff = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return !s.onGround; });
        ASSERT_NE(liftOff, trace.end()) << "never took off";
        EXPECT_GT(liftOff->pass, lastDue) << "lifted off before its records on the runway ended";
        const auto highest = std::max_element(trace.begin(), trace.end(),
                                              [](const Seen& a, const Seen& b) { return a.altitude < b.altitude; });
        EXPECT_GT(highest->altitude, kZurichFt + 300.0) << "feet: it never climbed away";
        EXPECT_GT(gf_distanceNm(last, highest->p) * 1852.0, 1000.0) << "metres from its last record";
        // Along the runway (276 degrees), not turned away from it.
        EXPECT_NEAR(gf_headingDifference(276.0 * kDeg2Rad, liftOff->heading), 0.0, 10.0 * kDeg2Rad);
    }
}

TEST_F(ReplayTest, HoldingAircraftStandsWhileItsPositionJumpsBackAndForth) {
    // ENT57BW holds two minutes on a taxiway; its reported position jumps 19 m back and forth.
    const auto records = excerpt("ent57bw-hold");
    replay(records, 0);
    ASSERT_GT(trace.size(), 10000u);
    double rolled = 0.0;
    int backwards = 0;
    for (std::size_t i = 100; i < trace.size(); i += 100) {
        const Seen& s = trace[i];
        const Seen& b = trace[i - 100];
        const double metres = gf_distanceNm(b.p, s.p) * 1852.0;
        if (b.pass >= 2500 + kPlayDelay) rolled += metres;   // from its stop at the hold on
        if (metres > 0.5 && std::fabs(gf_headingDifference(gf_initialBearing(b.p, s.p), s.heading)) > kPi / 2.0)
            ++backwards;
    }
    EXPECT_EQ(backwards, 0) << "seconds rolling backwards or sideways";
    EXPECT_LT(rolled, 20.0) << "metres rolled while it holds";
}

TEST_F(ReplayTest, StandingAircraftsPositionNoiseNeverTurnsOrMovesIt) {
    // ENT57BW stands a minute at its stand while its reported position jumps 19 m back and forth.
    const auto records = excerpt("ent57bw-at-stand");
    const LatLon at{records[0].s.latitude, records[0].s.longitude};
    stand("E51", at, 0.0, 30.0);
    replay(records, 500);
    ASSERT_GT(trace.size(), 1000u);
    for (const Seen& s : trace) {
        ASSERT_EQ(s.phase, PHASE_AT_STAND) << "pass " << s.pass;
        EXPECT_LT(gf_distanceNm(s.p, at) * 1852.0, 1.0) << "pass " << s.pass;
        EXPECT_LT(std::fabs(gf_headingDifference(s.heading, 0.0)), 1.0 * kDeg2Rad) << "pass " << s.pass;
    }
    const std::string log = logText();
    EXPECT_EQ(log.find("pull out"), std::string::npos);
    EXPECT_EQ(log.find("push back"), std::string::npos);
}

TEST_F(ReplayTest, ParkedAircraftSetsOffWhenTheRealOneDoes) {
    // AEE5ZH stands at its stand, its position scattering by a metre, and sets off 41 s later.
    const auto records = excerpt("aee5zh-leaves-stand");
    const LatLon at{47.453734, 8.556466};
    stand("A21", at, 170.0, 30.0);
    std::tie(id, callsign) = std::tuple{0x4690e2u, "AEE5ZH"};
    replay(records, 0);
    const auto away = [&](const LatLon& p) { return gf_distanceNm(p, at) * 1852.0 > 3.0; };
    const auto real = std::find_if(records.begin(), records.end(),
                                   [&](const Recorded& r) { return away({r.s.latitude, r.s.longitude}); });
    const auto shown = std::find_if(trace.begin(), trace.end(), [&](const Seen& s) { return away(s.p); });
    ASSERT_NE(real, records.end());
    ASSERT_NE(shown, trace.end()) << "never left its stand";
    ASSERT_EQ(trace.front().phase, PHASE_AT_STAND);
    // Its first record away from the stand comes a second or two after the real one set off.
    const double early = real->t - (shown->pass - kPlayDelay) / 100.0;
    EXPECT_LT(early, 8.0) << "seconds before the real aircraft";
    EXPECT_GT(early, -3.0) << "seconds after the real aircraft";
}

TEST_F(ReplayTest, LowFinalIsCreatedAboveTheGroundAndRollsOutToAStopAfterItsRecordsEnd) {
    // CAI3208 on short final reports 1400-1375 ft at a 1416 ft field, read as given (a day of 1013 hPa:
    // a receiver's altitude a little low); its records end at touchdown (no ground records without a park airport).
    const auto records = excerpt("cai3208-short-final", 1013);
    gf_resetParkAirport();
    g_airports = {Airport{"LSZH", "ZRH", kZurich.lat, kZurich.lon, kZurichFt}};
    std::tie(id, callsign) = std::tuple{0x0083c3u, "CAI3208"};
    // A roll-out to its taxi pace, taxiing on to two minutes after its records ended, then three
    // minutes' wait for its feed.
    replay(records, 36000);
    g_airports.clear();
    ASSERT_GT(trace.size(), 100u);
    EXPECT_GE(trace.front().altitude, kZurichFt) << "created below the ground";
    const auto touchdown = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return s.onGround; });
    ASSERT_NE(touchdown, trace.end());
    for (auto s = touchdown; s != trace.end(); ++s) {
        EXPECT_TRUE(s->onGround) << "pass " << s->pass;
        EXPECT_LT(s->altitude, kZurichFt + 20.0) << "pass " << s->pass;
        // Along the runway (138 degrees), never off its end: 3.7 km long.
        EXPECT_NEAR(gf_headingDifference(138.0 * kDeg2Rad, s->heading), 0.0, 5.0 * kDeg2Rad) << s->pass;
    }
    EXPECT_LT(gf_distanceNm(touchdown->p, trace.back().p) * 1852.0, 2500.0);
    EXPECT_LT(gf_distanceNm(trace[trace.size() - 101].p, trace.back().p) * 1852.0, 0.5) << "still rolling";
    EXPECT_EQ(gf_liveById(id), nullptr) << "not removed when its made-up samples ran out";
}

TEST_F(MovementTest, TakeOffRotatesAndClimbs) {
    play(fly(kRunway, kGround, {{20, 90, 10, 40, 0}, {40, 90, 50, 160, 0}, {60, 90, 165, 180, 1800}}), 2000);
    checkTrace(260.0, 4.0);
    EXPECT_FALSE(aircraft().onGround);
    EXPECT_TRUE(aircraft().phase == PHASE_AFTER_TAKEOFF || aircraft().phase == PHASE_AIRBORNE);
    EXPECT_GT(trace.back().altitude, kGround + 300.0);
    EXPECT_LT(sim().object(objectId)->pitch, 0.0);   // nose up
}

// A landing roll queued before the object came (the feed starts on the runway) is no take-off roll:
// when its records end while it taxis, it waits where it is. It is created standing on the runway.
TEST_F(MovementTest, LandingRollQueuedBeforeItsObjectStaysOnTheGround) {
    play(fly(kRunway, kGround, {{30, 90, 130, 30, 0}, {40, 90, 15, 15, 0}}), 6000);
    ASSERT_GT(trace.size(), 100u);
    ASSERT_TRUE(created.has_value());
    EXPECT_TRUE(created->onGround);
    EXPECT_NEAR(created->altitude, kGround + aircraft().staticCgHeight, 0.5);
    for (const Seen& s : trace) {
        ASSERT_TRUE(s.onGround);
        ASSERT_LT(s.altitude, kGround + 20.0);
    }
    EXPECT_EQ(logText().find("took-off"), std::string::npos);
}

TEST_F(MovementTest, TaxiTurnsAtTheClassRateAndPushBackGoesTailFirst) {
    const auto records = fly(kRunway, kGround, {{40, 0, 15, 15, 0}, {40, 90, 15, 15, 0}, {40, 180, 15, 15, 0},
                                                 {20, 180, 10, 0, 0}});
    play(records, 800);
    // 0.07 degrees a pass, at most three times that when a turn must be flown faster.
    checkTrace(40.0, 0.07 * 3.0 + 1e-6);
    EXPECT_TRUE(aircraft().onGround);
    EXPECT_LT(gf_distanceNm(trace.back().p, {records.back().latitude, records.back().longitude}) * 1852.0, 30.0);

    // Parked where it stopped, then seen behind its stand: it is pushed back, tail first.
    LiveAircraft& a = aircraft();
    const LatLon stand{a.position.latitude, a.position.longitude};
    const double heading = a.position.heading;
    a.phase = PHASE_AT_STAND;
    a.standPosition = stand;
    a.standHeading = heading;
    a.leftStand = 1;
    a.samples.erase(a.samples.begin() + 1, a.samples.end());
    const LatLon back = gf_destinationPoint(stand, heading + kPi, 60.0 * 3.28084);
    a.samples.push_back(at(back.lat, back.lon, 0.0, 3.0, g_tickCounter + 2000));
    a.samples.front().duePass = g_tickCounter + 1;
    trace.clear();
    bool pushed = false;
    for (int i = 0; i < 6000; ++i) {
        runPass();
        pushed = pushed || aircraft().phase == PHASE_PUSHING_BACK;
    }
    EXPECT_TRUE(pushed);
    checkTrace(10.0, 0.25);
    EXPECT_GT(std::fabs(gf_headingDifference(heading, gf_initialBearing(stand, trace.back().p))), kPi / 2.0);
    EXPECT_LE(std::fabs(gf_headingDifference(heading, trace.back().heading)) * kRad2Deg, 1.0);
}

// A helicopter on the ground turns as it taxies, at its taxi rate of 20 degrees a second, however
// sharply its records turn (here round and back at a walk, and a corner at 15 kn).
TEST_F(MovementTest, HelicopterOnTheGroundTurnsAtItsTaxiRate) {
    playedClass = SIZE_ROTORCRAFT;
    play(fly(kRunway, kGround, {{10, 0, 4, 4, 0}, {10, 180, 4, 4, 0}, {20, 90, 15, 15, 0}, {10, 0, 15, 15, 0}}), 800);
    checkTrace(25.0, 0.2 + 1e-6);
    EXPECT_TRUE(aircraft().onGround);
}

// Records a second apart at 450 kn at 35,000 ft from `p` on the great circle leaving it on `trackDeg`
// (over a pole they come back down the far side), each with its track there.
std::vector<PositionSample> straightOn(LatLon p, double trackDeg, int count, int everySeconds = 1) {
    std::vector<PositionSample> out;
    double way = trackDeg * kDeg2Rad;
    for (int i = 0; i < count; ++i, p = gf_moveAlong(p, way, 450.0 / 3600.0 * everySeconds * kFeetPerNm)) {
        out.push_back(at(p.lat, p.lon, 35000, 450, 1000 + 100 * everySeconds * i));
        out.back().track = way * kRad2Deg;
    }
    return out;
}

TEST_F(MovementStepTest, BadSamplesNeverBreakThePosition) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // Near a pole also: never held on it, its nose turning no faster, on past the pole by the end, and
    // steering back onto its records there.
    const struct {
        const char* name; bool ground; std::vector<PositionSample> samples; double fastestKn, turnDeg;
        int passes = 400; bool userNear = false;
        double noseDeg = std::numeric_limits<double>::quiet_NaN(), pastPoleNm = 0.0;
        int steers = 0;   // 1: back onto its records' path from 60 E; 2: on by steps set as steering sets them
        double endOffNm = 1e9;
    } cases[] = {
        {"zero speeds", true, {at(51.0, 0.0, 0, 0, 1000), at(51.001, 0.0, 0, 0, 1400)}, 250, 0.21},
        {"no speed", true, {at(51.0, 0.0, 0, nan, 1000), at(51.001, 0.0, 0, nan, 1400)}, 250, 0.21},
        {"impossible speed", false, {at(51.0, 0.0, 3000, 300, 1000), at(52.0, 0.0, 3000, 300, 1100)}, 600, 0.1},
        {"antimeridian", false, {at(51.0, 179.999, 3000, 300, 1000), at(51.0, -179.999, 3000, 300, 1100)}, 600, 0.1},
        {"below the ground", false, {at(51.0, 0.0, 400, 150, 1000), at(51.01, 0.0, -5000, 150, 1100)}, 600, 0.1},
        // On the ground the heading follows the way it goes, at most a degree a pass.
        {"U-turn in one second", true, {at(51.0, 0.0, 0, 20, 1000), at(50.9999, 0.0, 0, 20, 1100)}, 250, 1.0},
        {"U-turn in the air", false, {at(51.0, 0.0, 3000, 150, 1000), at(50.999, 0.0, 3000, 150, 1100)}, 600, 0.1},
        // Samples that turn it round within a second: the air turns at most 0.1 degrees a pass.
        {"U-turn ahead in the air", false,
         {at(51.0, 0.0, 3000, 150, 1000), at(51.001, 0.0, 3000, 150, 1100), at(51.0, 0.0001, 3000, 150, 1200)}, 600, 0.1},
        {"over the north pole", false, straightOn({89.98, 20.0}, 0.0, 20), 600, 0.1, 2100, false, 0.0, 1.0},
        {"over the south pole", false, straightOn({-89.98, -100.0}, 180.0, 20), 600, 0.1, 2100, false, 180.0, 1.0},
        {"a record on the pole", false,
         [] { auto r = straightOn({90.0 - 1.25 / 60.0, 0.0}, 0.0, 20); r[10].latitude = 90.0; return r; }(),
         600, 0.1, 2100, false, 0.0, 1.0},
        {"made-up flight over the pole", false, straightOn({89.97, 135.0}, 0.0, 12), 600, 0.1, 6000, true, 0.0, 5.0},
        {"steering after records over the pole", false, straightOn({89.98, 60.0}, 0.0, 20, 5), 600, 0.1, 6000, false, 65.0, 1.0},
        {"steering onto records' path over the pole", false, straightOn({89.98, 80.0}, 0.0, 20), 600, 0.1, 1900, false, 0.0, 1.0, 1,
         0.15},
        // (Set beside the pole, away from it, they last half a second.)
        {"steering's steps beside the pole", false, {at(89.9999, 0.0, 35000, 450, 1000)}, 600, 0.1, 45, false, 150.0, 0.0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LiveAircraft& a = make(c.ground, c.samples);
        a.groundAltitude = 100.0;
        if (!std::isnan(c.noseDeg)) a.position.heading = c.noseDeg * kDeg2Rad;
        if (c.steers == 1) {
            std::tie(a.position.longitude, a.speed) = std::tuple{60.0, 450.0};
            lf_startRejoin(a);
        } else if (c.steers == 2) {
            const double m = 450.0 * kMpsPerKn / 100.0 / kMetresPerDegreeLat;
            std::tie(a.rejoining, a.rejoinFromPass, a.speed) = std::tuple{2, g_tickCounter - 2, 450.0};
            a.latitudeStep = m * std::cos(a.position.heading);
            a.longitudeStep = m * std::sin(a.position.heading) / std::cos(a.position.latitude * kDeg2Rad);
        }
        if (c.userNear) std::tie(g_userPosition.latitude, g_userPosition.longitude) = std::tie(c.samples[0].latitude, c.samples[0].longitude);
        PositionBlock last = a.position;
        int onPole = 0;
        for (int i = 0; i < c.passes && a.state == STATE_IN_SIM; ++i) {
            step(a, 1);
            if (a.state == STATE_TO_RECREATE) break;   // a new object, where its records are
            const PositionBlock& p = a.position;
            ASSERT_TRUE(std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::isfinite(p.pitch) &&
                        std::isfinite(p.bank) && std::isfinite(p.heading) && std::isfinite(p.altitude));
            const LatLon from{last.latitude, last.longitude}, to{p.latitude, p.longitude};
            EXPECT_LE(gf_distanceNm(from, to), c.fastestKn / 360000.0 + 1e-9);
            EXPECT_GE(p.altitude, 100.0);
            // (Its turn against the nose it had, carried to where it is: over a pole that points south.)
            const double turned = gf_headingDifference(last.heading + movement::meridianTurn(from, to), p.heading);
            EXPECT_LE(std::fabs(turned), c.turnDeg * kDeg2Rad + 1e-9);
            onPole += std::fabs(p.latitude) >= 89.9999 ? 1 : 0;
            last = p;
        }
        EXPECT_LE(onPole, 20) << "passes on the pole";
        const LatLon start{c.samples[0].latitude, c.samples[0].longitude}, end{last.latitude, last.longitude};
        const LatLon pole{std::copysign(90.0, start.lat), 0.0};
        if (c.pastPoleNm > 0.0) {
            EXPECT_GE(gf_distanceNm(start, end) - gf_distanceNm(start, pole), c.pastPoleNm);
        }
        double offNm = 1e9;
        for (const PositionSample& s : c.samples) offNm = std::min(offNm, gf_distanceNm(end, {s.latitude, s.longitude}));
        EXPECT_LE(offNm, c.endOffNm) << "from its records at the end";
        for (const PositionSample& s : a.samples) EXPECT_GE(s.duePass, 1000);
    }
}

TEST_F(MovementStepTest, ExtrapolationAllowanceByPhaseAndRange) {
    LATERAL_RANGE.set(30);
    // A pushed-back aircraft whose feed is quiet waits three minutes for its taxi to start.
    const struct { const char* name; bool ground; int phase; double userNorthNm; int madeUp, lastsAtLeast; } cases[] = {
        {"airborne near the user", false, PHASE_AIRBORNE, 5.0, 15, 0},
        {"airborne at the range edge", false, PHASE_AIRBORNE, 29.6, 0, 0},
        {"taxiing", true, PHASE_MOVING, 1.0, 60, 0},
        {"pushed back", true, PHASE_LEAVING_STAND, 1.0, 1, 18000}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LiveAircraft& a = make(c.ground, {at(51.0, 0.0, c.ground ? 0 : 5000, c.ground ? 20 : 200, 1000)});
        a.phase = c.phase;
        g_userPosition.latitude = 51.0 + c.userNorthNm / 60.0;
        g_userPosition.longitude = 0.0;
        int made = 0, passes = 0;
        for (; passes < 40000 && a.state == STATE_IN_SIM; ++passes) {
            const int before = a.extrapolationCount;
            step(a, 1);
            if (a.extrapolationCount != before && a.extrapolationCount > 0) ++made;
        }
        EXPECT_EQ(a.state, STATE_REMOVING);
        EXPECT_EQ(made, c.madeUp);
        EXPECT_GE(passes, c.lastsAtLeast);
    }
    LATERAL_RANGE.set(LATERAL_RANGE.defaultValue);
}

// Records that turn back behind it: it flies after them at the speed they flew over the ground, not at
// the true airspeed they report (some 100 kn faster at height, it carried it off a shuttle).
TEST_F(MovementStepTest, FlyingAfterRecordsBehindStartsAtTheirGroundSpeed) {
    for (const double flownKn : {250.0, 0.0}) {
        PositionSample here = at(51.0, 0.0, 8000, 126, 1000), behind = at(51.0, -0.006, 8000, 126, 1200);
        std::tie(here.trueAirspeed, behind.track) = std::tuple{250.0, 270.0};
        LiveAircraft& a = make(false, {here, behind});
        std::tie(a.position.heading, a.speed, a.altitudeAboveGround) = std::tuple{90.0 * kDeg2Rad, flownKn, 8000.0};
        ASSERT_TRUE(lf_steerToRecordOffNose(a));
        EXPECT_NEAR(a.speed, 126.0, 0.5) << "flown at " << flownKn << " kn";
        g_liveAircraft.clear();
    }
}

// A made-up flight goes on turning at the rate its records turned, and only where they gave tracks:
// a record that gave none (its track stored as 0) tells no turn to north. At 250 kn records that turn
// faster than an airliner's usual bank (2.5 degrees a second) are kept with up to the steeper bank sample
// play flies (2.95): at the usual bank a circle of 2.75 degrees a second fell 0.7 nm behind in a minute.
TEST_F(MovementStepTest, MadeUpFlightTurnsOnlyWhereItsRecordsGaveTracks) {
    const struct { const char* name; double newerTrack; bool newerKnown; double turnedDeg; } cases[] = {
        {"records turning right at 3 degrees a second", 120.0, true, 23.57},
        {"records turning right at 2.75 degrees a second", 117.5, true, 22.0},
        {"records turning right at 6 degrees a second", 150.0, true, 23.57},
        {"newest record without a track", 0.0, false, 0.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LiveAircraft& a = make(false, {at(51.0, 0.0, 5000, 250, 1000)});
        a.position.heading = 90.0 * kDeg2Rad;
        a.samples.front().track = 90.0;
        a.runRecords.clear();
        a.runRecords.push_back({0.0, 250.0, 90.0, 51.0, -0.05, 1, 1});
        a.runRecords.push_back({10.0, 250.0, c.newerTrack, 51.0, 0.0, 1, c.newerKnown ? std::uint8_t{1} : std::uint8_t{0}});
        lf_extendSamples(a, 15);
        ASSERT_EQ(a.samples.size(), 2u);
        EXPECT_NEAR(std::remainder(a.samples.back().track - 90.0, 360.0), c.turnedDeg, 0.5) << "degrees turned over its made-up sample (8 s)";
        g_liveAircraft.clear();
    }
}

// Its last record lies just past the pole, which it has yet to cross: its made-up flight goes on from
// there the way it flies, down the far side, not back over the pole.
TEST_F(MovementStepTest, MadeUpFlightFromARecordAcrossThePoleGoesOn) {
    LiveAircraft& a = make(false, {at(89.999, -150.0, 35000, 450, 1000)});
    std::tie(a.position.latitude, a.position.longitude, a.position.heading) = std::tuple{89.999, 30.0, 0.0};
    lf_extendSamples(a, 15);
    ASSERT_EQ(a.samples.size(), 2u);
    EXPECT_NEAR(a.samples.back().longitude, -150.0, 0.01);
    EXPECT_NEAR(a.samples.back().latitude, 89.999 - 1.0 / 60.0, 0.001);
    EXPECT_NEAR(a.samples.back().track, 180.0, 0.01);
}

// A made-up flight keeps the climb or descent its records showed (never below 1,000 ft above the park
// airport); a helicopter whose records end holds their height, even slowing on an approach. Only an
// approach on final to the park airport (at 83 ft) goes down to land: not one that passes it, nor a
// light aeroplane slower than it flies.
TEST_F(MovementStepTest, MadeUpFlightKeepsItsRecordsClimbAndAHelicopterItsHeight) {
    const struct {
        const char* name;
        double altitude, verticalSpeed;
        unsigned sizeClass;
        bool approach;
        double eastNm, trackDeg, kn, expected;
    } cases[] = {
        {"climbing away", 5000.0, 2000.0, SIZE_LARGE, false, 30.0, 0.0, 100.0, 5000.0 + 2000.0 / 60.0 * 8.0},
        {"descending to the floor", 1250.0, -3000.0, SIZE_LARGE, false, 30.0, 0.0, 100.0, 83.0 + 1000.0},
        {"helicopter slowing to a hover", 1000.0, -250.0, SIZE_ROTORCRAFT, true, 30.0, 0.0, 100.0, 1000.0},
        {"helicopter hovering near the airport", 1000.0, -250.0, SIZE_ROTORCRAFT, true, 3.0, 270.0, 22.0, 1000.0},
        {"on final", 1500.0, -700.0, SIZE_LARGE, true, 5.0, 270.0, 140.0, 1500.0 - 10.005 * 8.0},
        {"passing the airport 5 nm off", 3000.0, -900.0, SIZE_LARGE, true, 5.0, 0.0, 140.0, 3000.0 - 900.0 / 60.0 * 8.0},
        {"light aeroplane at 22 kn", 1000.0, -250.0, SIZE_LIGHT, true, 3.0, 270.0, 22.0, 1000.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const LatLon p = gf_destinationPoint(kUser, kPi / 2.0, c.eastNm * kFeetPerNm);
        LiveAircraft& a = make(false, {at(p.lat, p.lon, c.altitude, c.kn, 1000)});
        setParkAirport("EGLL");
        std::tie(a.samples.front().verticalSpeed, a.samples.front().track) = std::tuple{c.verticalSpeed, c.trackDeg};
        a.sizeClass = c.sizeClass;
        a.onApproach = c.approach ? 1 : 0;
        lf_extendSamples(a, 15);
        ASSERT_EQ(a.samples.size(), 2u);
        EXPECT_NEAR(a.samples.back().altitude, c.expected, 1.0);
        EXPECT_TRUE(a.samples.back().airborne);
        g_liveAircraft.clear();
    }
}

// Climbs keep to the samples and to what the class can climb: low over the ground an aircraft whose
// samples descend descends, and a take-off towards a sample far above climbs at most the class's most.
TEST_F(MovementStepTest, ClimbsFollowTheSamplesWithinTheClassLimit) {
    LiveAircraft& low = make(false, {at(51.0, 0.0, 900, 150, 1000), at(51.01, 0.0, 700, 150, 1400), at(51.02, 0.0, 500, 150, 1800)});
    low.groundAltitude = 100.0;
    low.altitudeAboveGround = 800.0;
    step(low, 300);
    EXPECT_LT(low.position.altitude, 900.0 - 100.0);

    LiveAircraft& roll = make(true, {at(51.0, 0.0, 0, 150, 1000), at(51.005, 0.0, 2000, 160, 1100), at(51.01, 0.0, 3000, 170, 1200)});
    for (std::size_t i = 1; i < roll.samples.size(); ++i) roll.samples[i].verticalSpeed = 3000.0;
    roll.underPower = 1;
    step(roll, 1);
    ASSERT_EQ(roll.phase, PHASE_AFTER_TAKEOFF);
    EXPECT_GT(roll.climbPerPass, 0.0);
    EXPECT_LE(roll.climbPerPass, roll.maxClimbPerPass);
}

// A towed aircraft, slower than a walk, turns to where the tug takes it rather than moving sideways.
TEST_F(MovementStepTest, TowedAircraftPointsWhereItIsTowed) {
    LiveAircraft& a = make(true, {at(51.0, 0.0, 0, 2, 1000), at(51.0, 0.0005, 0, 2, 4400), at(51.0, 0.001, 0, 2, 7800)});
    a.phase = PHASE_STAND_CLEANUP;
    a.position.heading = 0.0;   // north; the tug goes east
    step(a, 1500);
    EXPECT_NEAR(a.position.heading * kRad2Deg, 90.0, 5.0);
}

TEST_F(MovementStepTest, TowedAircraftParksWithinTwoMetres) {
    for (const double metres : {1.5, 3.0}) {
        LiveAircraft& a = make(true, {at(51.0, 0.0, 0, 0, 1000)});
        a.samples.front().standing = 1;
        a.phase = PHASE_STAND_CLEANUP;
        a.standPosition = gf_destinationPoint({51.0, 0.0}, 0.0, metres * 3.28084);
        step(a, 1);
        EXPECT_EQ(a.phase, metres < 2.0 ? PHASE_AT_STAND : PHASE_MOVING) << metres;
        step(a, 100000);   // a parked aircraft waits on its stand, not removed when the feed is quiet
        EXPECT_EQ(a.state == STATE_IN_SIM, metres < 2.0) << metres;
    }
}

// A new aircraft in the air is where its records put it from its object's first pass, and moves at
// their pace from then on: it neither hangs still while its lights and engines are set nor carries the
// seconds of its creation behind them (1.6-2.1 s, 170-310 m, on these real approaches and racetracks).
TEST_F(ReplayTest, NewAirborneAircraftFliesWithItsRecordsFromItsFirstPass) {
    if (skippedWithoutRealTracks()) return;
    const struct { const char* track; double from; } cases[] = {
        {"kiad-arr-ual2398", 300.0}, {"lszh-arr-swr5220", 400.0}, {"swr5220-racetracks", 200.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.track);
        auto records = realTrack(c.track);
        std::erase_if(records, [&](const Recorded& r) { return r.t < c.from || r.t > c.from + 40.0; });
        for (Recorded& r : records) r.t -= c.from;
        trace.clear();
        std::tie(id, callsign, fps) = std::tuple{id + 1, vrn::format("SWR{}", 300 + (&c - cases)), 30};
        replay(records, 0);
        ASSERT_GT(trace.size(), 1500u);
        const double firstKn = gf_distanceNm(trace[0].p, trace[100].p) * 3600.0;
        EXPECT_GT(firstKn, 0.8 * records.front().s.groundSpeed) << "kn in its first second";
        double worst = 0.0, at = 0.0;
        for (std::size_t k = 0; k < 1500; k += 50)
            if (const double late = std::fabs(behind(trace[k], records)); trace[k].pass >= kPlayDelay && late > worst)
                std::tie(worst, at) = std::pair{late, (trace[k].pass - kPlayDelay) / 100.0};
        EXPECT_LE(worst, 0.75) << "s off its records' time, at " << at << " s";
    }
}

// Records' heights come in steps, and a flying aircraft takes them smoothly. A receiver's flicker between
// two 25-ft steps reads as a climb and a descent by turns: UAL2098, first seen just off its runway at
// Dulles, reads 425, 400 and 425 ft a second apart; its climb changes no faster than its class's rate, so
// that it never flips between climb and descent beyond 600 ft/min second after second (followed step by
// step: 1,200 up, 865 down, 1,100 up), nor changes by more than 1,000 ft/min in a second (a climb turned
// into a descent at once: 1,330). An older transponder gives a helicopter's height in 100-ft steps:
// under records that descend at 250 ft/min it sinks no more than 1,000 ft/min faster over any 5 s
// (down each step as it came: 2,100).
TEST_F(ReplayTest, FlyingItTakesItsRecordsHeightStepsSmoothly) {
    if (skippedWithoutRealTracks()) return;
    auto climbOut = realTrack("kiad-dep-ual2098");
    std::erase_if(climbOut, [](const Recorded& r) { return !r.s.airborne || r.t > 350.0; });
    for (Recorded& r : climbOut) r.t -= 309.0;   // its first flying record
    std::vector<Recorded> stepping;
    LatLon p = gf_destinationPoint(kZurich, kPi / 2.0, 3.0 * kFeetPerNm);
    for (double t = 0.0; t <= 90.0; t += 1.0, p = gf_destinationPoint(p, kPi / 4.0, 60.0 / 3600.0 * kFeetPerNm)) {
        Recorded r{t, at(p.lat, p.lon, 100.0 * std::floor((kZurichFt + 1500.0 - 250.0 * t / 60.0) / 100.0), 60.0)};
        std::tie(r.s.track, r.s.airborne, r.s.verticalSpeed) = std::tuple{45.0, std::uint8_t{1}, -250.0};
        stepping.push_back(r);
    }
    const struct { const char* name; const std::vector<Recorded>& records; const char* callsign; SizeClass sizeClass; double descentFpm; } cases[] = {
        {"UAL2098 just off the runway", climbOut, "UAL2098", SIZE_LARGE, 0.0},
        {"helicopter descending in 100-ft steps", stepping, "REGA14", SIZE_ROTORCRAFT, 250.0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        trace.clear();
        std::tie(id, callsign, fps, model, sizeClass) = std::tuple{id + 1, c.callsign, 30, c.sizeClass == SIZE_ROTORCRAFT ? "EC45" : "A320", c.sizeClass};
        replay(c.records, 0);
        ASSERT_GT(trace.size(), 3000u);
        // Feet a minute over the `seconds` up to trace entry k (a pass each).
        const auto fpm = [&](std::size_t k, int seconds) { return (trace[k].altitude - trace[k - 100 * seconds].altitude) * 60.0 / seconds; };
        int flips = 0;
        double sinkBeyond = 0.0, mostChange = 0.0;
        for (std::size_t k = 500; k < trace.size(); k += 100) {
            const double first = fpm(k - 200, 1), second = fpm(k - 100, 1), third = fpm(k, 1);
            if (first * second < 0.0 && second * third < 0.0 && std::min({std::fabs(first), std::fabs(second), std::fabs(third)}) > 600.0) ++flips;
            sinkBeyond = std::max(sinkBeyond, -fpm(k, 5) - c.descentFpm);
            mostChange = std::max(mostChange, std::fabs(third - second));
        }
        EXPECT_EQ(flips, 0) << "seconds flipping between climb and descent beyond 600 ft/min";
        EXPECT_LE(mostChange, 1000.0) << "ft/min its vertical speed changed from one second to the next";
        EXPECT_LE(sinkBeyond, 1000.0) << "ft/min sinking faster than its records over 5 s";
    }
}

// A new aircraft on the ground goes at its records' pace from its object's first seconds. First seen on
// a roll along the runway it rolls on from its object's first pass (it stood 2 s while its lights and
// engines were set, then was at 110-125 kn within a second). First seen standing at the runway's end
// (SWR137H lined up, its record there read as standing) with its next record its take-off roll's at
// 51 kn, 6 s on, it sets off from a standstill (it set off at 51 kn and ran ahead of its records).
TEST_F(ReplayTest, NewAircraftOnTheGroundGoesAtItsRecordsPaceFromItsFirstSeconds) {
    const struct { const char* excerpt; std::size_t from; bool standing; std::uint32_t id; const char* callsign; double leastKn, mostKn; } cases[] = {
        {"swr137h-hold-takeoff", 61, false, 0x4b1614u, "SWR137H", 45.0, 75.0},   // on its take-off roll at 51 kn
        {"swr5220-roll-taxi-gap", 0, false, 0x4b160eu, "SWR5220", 100.0, 130.0},  // touching down at 119 kn
        {"swr137h-hold-takeoff", 60, true, 0x4b1615u, "SWR137H", 0.0, 10.0}};     // standing at the runway's end
    for (const auto& c : cases) {
        SCOPED_TRACE(vrn::format("{} from record {}", c.excerpt, c.from));
        auto records = excerpt(c.excerpt);
        records.erase(records.begin(), records.begin() + static_cast<std::ptrdiff_t>(c.from));
        records.resize(std::min<std::size_t>(records.size(), 30));
        const double t0 = records.front().t;
        for (Recorded& r : records) r.t -= t0;
        if (c.standing) records.front().s.groundSpeed = records.front().s.trueAirspeed = 0.0;
        trace.clear();
        std::tie(id, callsign) = std::tuple{c.id, c.callsign};
        replay(records, 0);
        ASSERT_GE(objectFrom, 0) << "no object";
        const auto later = std::find_if(trace.begin(), trace.end(), [&](const Seen& s) { return s.pass >= objectFrom + 300; });
        ASSERT_NE(later, trace.end());
        const double kn = gf_distanceNm(objectFromAt, later->p) * 1200.0;
        EXPECT_GE(kn, c.leastKn) << "kn over its object's first 3 s";
        EXPECT_LE(kn, c.mostKn) << "kn over its object's first 3 s";
    }
}

TEST_F(ReplayTest, ApproachWhoseRecordsSlowIsMetNearTheirSpeed) {
    // CMP443's records slow from 148 kn to 103 over the last 16 s of its final into Dulles, then touch
    // down at 82. Created a second or two behind them, the aircraft caught up at 150 kn until 10 s before
    // the runway and, slowing no faster than it may, touched down at 104 kn and rolled out 7 s ahead of
    // them. It slows with them instead: never more than 2 s ahead of its records on the runway.
    if (skippedWithoutRealTracks()) return;
    auto records = realTrack("kiad-arr-cmp443");
    std::erase_if(records, [](const Recorded& r) { return r.t < 610.0 || r.t > 705.0; });
    std::tie(id, callsign, fps) = std::tuple{0xa1b2c3u, "CMP443", 30};
    replay(records, 0);
    double mostAhead = 0.0, at = 0.0;
    for (std::size_t k = 0; k < trace.size(); k += 100)
        if (const double ahead = -behind(trace[k], records); trace[k].onGround && ahead > mostAhead)
            std::tie(mostAhead, at) = std::pair{ahead, (trace[k].pass - kPlayDelay) / 100.0};
    EXPECT_LE(mostAhead, 2.0) << "s ahead of its records on the ground, at " << at << " s";
}

TEST_F(ReplayTest, LateSendersCopyOfTheLastRecordIsNeverFlownBackTo) {
    // East at 250 kn, a record every 2 s for a minute. When the first sender stops, the feed's clock
    // takes a second sender's copies, 45 s late, as its time base: the copy of the last record comes
    // under a stamp that reads as new. Its made-up flight goes on; it steered back to it, 1.9 km behind.
    std::vector<Recorded> records;
    LatLon p = gf_destinationPoint(kZurich, 0.0, 15.0 * kFeetPerNm);
    for (double t = 0.0; t <= 60.0; t += 2.0, p = gf_destinationPoint(p, kPi / 2.0, 500.0 / 3600.0 * kFeetPerNm)) {
        Recorded r{t, at(p.lat, p.lon, 8000.0, 250.0)};
        std::tie(r.s.track, r.s.airborne) = std::pair{90.0, std::uint8_t{1}};
        records.push_back(r);
    }
    const std::vector<Recorded> live = records;
    records.push_back({105.0, records.back().s, 105.0});
    std::tie(id, callsign, fps) = std::tuple{0xa1b2c6u, "ORB1", 30};
    replay(records, 6000);
    const auto back = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return s.rejoining; });
    EXPECT_EQ(back, trace.end()) << "steered back at " << (back->pass - kPlayDelay) / 100.0 << " s";

    // A traffic pass that ran late took two records at once, the newer in the older's place: every copy
    // (each under a stamp that reads as new) is still of a position flown. Without the memory of the ones
    // passed over it steered back to the first such copy.
    records.clear();
    for (const Recorded& r : live) records.push_back({std::floor(r.t / 4.0) * 4.0, r.s, r.t});
    for (const Recorded& r : live)
        if (r.t > 0.0) records.push_back({r.t + 61.0, r.s, r.t + 61.0});
    gf_setMainLoopRunning(true);
    std::tie(id, callsign, throughQueue) = std::tuple{0xa1b2c8u, "ORB3", true};
    trace.clear();
    replay(records, 6000);
    throughQueue = false;
    gf_setMainLoopRunning(false);
    const auto stalledBack = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return s.rejoining; });
    EXPECT_EQ(stalledBack, trace.end()) << "steered back at " << (stalledBack->pass - kPlayDelay) / 100.0 << " s, a pass taking two records at once";
}

TEST_F(ReplayTest, RecordsThatJumpApartAreJudgedWhereTheSecondPutsIt) {
    // East at 250 kn, a record every 2 s; then a feed moved in time puts them 6 nm north, the next one
    // 2 s or 20 s on. Between the two, where they put it is neither record's: it is created again once,
    // where the second says (judged on the line between them, it was created 1.35 nm short of them).
    for (const double gap : {2.0, 20.0}) {
        std::vector<Recorded> records;
        LatLon p = gf_destinationPoint(kZurich, 0.0, 15.0 * kFeetPerNm);
        for (double t = 0.0; t <= 120.0; t += 2.0, p = gf_destinationPoint(p, kPi / 2.0, 500.0 / 3600.0 * kFeetPerNm)) {
            if (t > 60.0 && t < 60.0 + gap) continue;
            const LatLon q = t > 60.0 ? gf_destinationPoint(p, 0.0, 6.0 * kFeetPerNm) : p;
            Recorded r{t, at(q.lat, q.lon, 8000.0, 250.0)};
            std::tie(r.s.track, r.s.airborne) = std::pair{90.0, std::uint8_t{1}};
            records.push_back(r);
        }
        trace.clear();
        std::tie(id, callsign, fps) = std::tuple{0xa1b2c7u + static_cast<std::uint32_t>(gap), "ORB2", 30};
        replay(records, 500);
        std::vector<LatLon> firstOfEach;
        for (std::size_t k = 0; k < trace.size(); ++k)
            if (k == 0 || trace[k].object != trace[k - 1].object) firstOfEach.push_back(trace[k].p);
        ASSERT_EQ(firstOfEach.size(), 2u) << "objects, the next record " << gap << " s on";
        double nearest = 1e9;
        for (const Recorded& r : records)
            if (r.t > 60.0) nearest = std::min(nearest, gf_distanceNm(firstOfEach[1], {r.s.latitude, r.s.longitude}));
        EXPECT_LT(nearest, 0.3) << "nm from the records it was created again at, the next record " << gap << " s on";
    }
}

TEST_F(ReplayTest, RejectedRollWhoseRecordsSpeedUpBeyondATaxiKeepsUpWithThem) {
    // ENT57BW's records at Zurich speed up 5-8 kn a second from 24 kn to 81, then brake: records that
    // slow on arrival say no take-off is under way, and the aircraft sped up at a taxi's 3 kn a second,
    // falling 2-3 s behind them.
    if (skippedWithoutRealTracks()) return;
    for (const double every : {1.0, 2.0}) {
        auto records = realTrack("lszh-dep-ent57bw");
        std::erase_if(records, [&](const Recorded& r) { return r.t < 790.0 || r.t > 832.0; });
        ASSERT_GT(records.size(), 10u);
        // Braking 3.5 kn a second along the runway from the roll's top.
        for (int k = 1; k <= 12; ++k) {
            Recorded r = records.back();
            const double kn = r.s.groundSpeed - 3.5;
            const LatLon p = gf_destinationPoint({r.s.latitude, r.s.longitude}, r.s.track * kDeg2Rad, (r.s.groundSpeed + kn) / 2.0 / 3600.0 * kFeetPerNm);
            std::tie(r.t, r.s.latitude, r.s.longitude, r.s.groundSpeed) = std::tuple{r.t + 1.0, p.lat, p.lon, kn};
            records.push_back(r);
        }
        std::erase_if(records, [&](const Recorded& r) { return r.t > 819.0 && std::fmod(r.t, every) >= 0.5; });
        std::tie(id, callsign, fps) = std::tuple{0xa1b2c4u, "ENT57BW", 30};
        replay(records, 0);
        double mostBehind = 0.0, at = 0.0;
        for (std::size_t k = 0; k < trace.size(); k += 100) {
            const double t = (trace[k].pass - kPlayDelay) / 100.0;
            if (trace[k].onGround && t <= 832.0 && behind(trace[k], records) > mostBehind)
                std::tie(mostBehind, at) = std::pair{behind(trace[k], records), t};
        }
        EXPECT_LE(mostBehind, 1.0) << "s behind its records, at " << at << " s, records " << every << " s apart";
    }
}

}  // namespace
}  // namespace vrn::test
