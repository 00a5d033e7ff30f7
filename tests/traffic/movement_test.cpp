// Movement of live aircraft through the real traffic pass and the simulated simulator: recorded-style
// sample sequences (approach and landing, take-off, taxi with turns, push back, towed arrival) and bad
// input, checked on the positions the simulator received.
#include <cmath>
#include <string>
#include <vector>

#include "engine_fixture.h"

namespace vrn::test {
namespace {

constexpr double kGround = 200.0;                 // ft, flat terrain of the scenario
constexpr int kPlayDelay = 3000;                  // passes between a record and its due pass
const LatLon kRunway{51.4775, -0.4850};

struct Leg {
    double seconds;
    double trackDeg;
    double fromKn, toKn;
    double verticalSpeed;   // ft/min
};

struct Point {
    double t;
    LatLon p;
    double altitude;   // ft; 0 on the ground
    double speed;
    double track;
    double verticalSpeed;
};

// A flight along legs, one record every two seconds; altitudes at or below kGround are on the ground.
std::vector<Point> fly(LatLon p, double altitude, const std::vector<Leg>& legs) {
    std::vector<Point> out;
    double t = 0.0;
    for (const Leg& leg : legs) {
        for (double s = 0.0; s < leg.seconds; s += 2.0) {
            const double v = leg.fromKn + (leg.toKn - leg.fromKn) * s / leg.seconds;
            const bool air = altitude > kGround;
            out.push_back({t, p, air ? altitude : 0.0, v, leg.trackDeg, air ? leg.verticalSpeed : 0.0});
            p = gf_destinationPoint(p, leg.trackDeg * kDeg2Rad, v * 2.0 / 3600.0 * kFeetPerNm);
            altitude = std::max(kGround, altitude + leg.verticalSpeed / 30.0);
            t += 2.0;
        }
    }
    return out;
}

PositionSample sampleOf(const Point& r, int due) {
    PositionSample s;
    s.latitude = r.p.lat;
    s.longitude = r.p.lon;
    s.altitude = r.altitude;
    s.groundSpeed = r.speed;
    s.trueAirspeed = r.speed;
    s.track = r.track;
    s.verticalSpeed = r.verticalSpeed;
    s.airborne = r.altitude > 0.0 ? 1 : 0;
    s.duePass = due;
    return s;
}

// An A320 as the acceptance of a new id makes it, with its class's turn, climb and push-back rates.
Aircraft a320(const Flight& f, std::uint32_t id) {
    Aircraft ac(f, SIZE_LARGE, 0.0097);
    ac.sizeClass = SIZE_LARGE;
    ac.aircraftId = id;
    ac.groundTurnRate = 0.07 * kDeg2Rad;
    ac.maxClimbPerPass = 0.6;
    ac.pushBackSpeed = 4.0;
    ac.liveryTitle = "Title A";
    return ac;
}

struct Seen {
    LatLon p;
    double altitude, heading;
    bool onGround;
    int phase;
};

// One aircraft flown through the traffic pass from a runway away from the user, a frame every pass.
class MovementTest : public EngineTest {
protected:
    std::vector<Seen> trace;
    std::uint32_t objectId = 0;
    const std::uint32_t id = 4000001;

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

    // The first record makes the aircraft as the acceptance of a new id does; the rest come through
    // the traffic queue at their time, due kPlayDelay passes later.
    void play(const std::vector<Point>& records, int extraPasses) {
        Flight f = flight("BAW123");
        f.airline = "BAW";
        f.departure = "LHR";
        f.destination = "CDG";
        g_liveAircraft.emplace_back(a320(f, id), sampleOf(records[0], kPlayDelay), 1.0e9);
        std::size_t next = 1;
        const int end = static_cast<int>(records.back().t * 100.0) + kPlayDelay + extraPasses;
        for (int pass = 0; pass < end; ++pass) {
            while (next < records.size() && records[next].t * 100.0 <= pass) {
                TrafficUpdate u;
                u.flight = f;
                u.hexid = id;
                u.timeStamp = 1.0e9 + records[next].t;
                u.sample = sampleOf(records[next], g_tickCounter + kPlayDelay);
                std::lock_guard lock(g_trafficMutex);
                g_trafficQueue.push_back(u);
                ++next;
            }
            runPass();
        }
    }
    void runPass() {
        gf_trafficTick();
        frames(1);
        const LiveAircraft* a = gf_liveById(id);
        if (!a || a->state != STATE_IN_SIM) return;
        objectId = a->objectId;
        const auto o = sim().object(objectId);
        if (o) trace.push_back({{o->lat, o->lon}, o->altitude, o->heading, a->onGround != 0, a->phase});
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

TEST_F(MovementTest, ApproachLandsFlaresAndRollsOut) {
    // 3-degree approach at 140 kn, touchdown, roll-out to taxi speed, turn off.
    const auto records = fly({kRunway.lat, kRunway.lon - 0.12}, kGround + 1000.0,
                             {{120, 90, 140, 135, -700}, {40, 90, 130, 20, 0}, {30, 120, 15, 15, 0}});
    play(records, 3000);
    checkTrace(200.0, 4.0);
    const LiveAircraft& a = aircraft();
    EXPECT_TRUE(a.onGround);
    EXPECT_EQ(a.landingRoll, 0);   // turned off the runway
    EXPECT_NE(logText().find("BAW123   landed"), std::string::npos);
    ASSERT_TRUE(sim().object(objectId));
    EXPECT_TRUE(sim().object(objectId)->onGround);
    // It came down before the end of the data, and it never flew into the ground before the flare.
    const auto touchdown = std::find_if(trace.begin(), trace.end(), [](const Seen& s) { return s.onGround; });
    ASSERT_NE(touchdown, trace.end());
    EXPECT_LE(std::fabs(gf_headingDifference(touchdown->heading, 90.0 * kDeg2Rad)) * kRad2Deg, 5.0);
}

TEST_F(MovementTest, TakeOffRotatesAndClimbs) {
    const auto records = fly(kRunway, kGround, {{20, 90, 10, 40, 0}, {40, 90, 50, 160, 0}, {60, 90, 165, 180, 1800}});
    // The last leg is airborne: give its records the climb they fly.
    auto flown = records;
    double altitude = kGround;
    for (Point& r : flown)
        if (r.verticalSpeed == 0.0 && r.speed >= 165.0) r.verticalSpeed = 1800.0;
    for (Point& r : flown)
        if (r.speed >= 165.0) r.altitude = altitude += 60.0;
    play(flown, 2000);
    checkTrace(260.0, 4.0);
    const LiveAircraft& a = aircraft();
    EXPECT_FALSE(a.onGround);
    EXPECT_TRUE(a.phase == PHASE_AFTER_TAKEOFF || a.phase == PHASE_AIRBORNE);
    EXPECT_GT(trace.back().altitude, kGround + 300.0);
    EXPECT_NE(logText().find("BAW123   took-off"), std::string::npos);
    // Nose up through the rotation, never below the ground.
    EXPECT_LT(sim().object(objectId)->pitch, 0.0);
}

TEST_F(MovementTest, TaxiTurnsSmoothlyAtTheClassRate) {
    const auto records = fly(kRunway, kGround, {{40, 0, 15, 15, 0}, {40, 90, 15, 15, 0}, {40, 180, 15, 15, 0},
                                                 {20, 180, 10, 0, 0}});
    play(records, 800);
    // 0.07 degrees a pass, at most three times that when a turn must be flown faster.
    checkTrace(40.0, 0.07 * 3.0 + 1e-6);
    const LiveAircraft& a = aircraft();
    EXPECT_TRUE(a.onGround);
    EXPECT_LT(gf_distanceNm(trace.back().p, records.back().p) * 1852.0, 30.0);
    EXPECT_LE(std::fabs(gf_headingDifference(trace.back().heading, kPi)) * kRad2Deg, 15.0);
}

TEST_F(MovementTest, PushBackGoesTailFirstFromTheStand) {
    const auto records = fly(kRunway, kGround, {{20, 0, 0, 0, 0}});
    play(records, 600);
    LiveAircraft& a = aircraft();
    ASSERT_EQ(a.state, STATE_IN_SIM);
    const LatLon stand{a.position.latitude, a.position.longitude};
    const double heading = a.position.heading;
    a.phase = PHASE_AT_STAND;
    a.standPosition = stand;
    a.standHeading = heading;
    a.leftStand = 1;
    // The real aircraft shows up behind its stand.
    PositionSample behind = a.samples.back();
    const LatLon back = gf_destinationPoint(stand, heading + kPi, 60.0 * 3.28084);
    behind.latitude = back.lat;
    behind.longitude = back.lon;
    behind.standing = 0;
    behind.groundSpeed = 3.0;
    behind.duePass = g_tickCounter + 2000;
    a.samples.push_back(behind);
    a.samples.front().duePass = g_tickCounter + 1;
    trace.clear();
    bool pushed = false;
    for (int i = 0; i < 6000; ++i) {
        runPass();
        pushed = pushed || aircraft().phase == PHASE_PUSHING_BACK;
    }
    EXPECT_TRUE(pushed);
    EXPECT_EQ(aircraft().phase, PHASE_LEAVING_STAND);
    checkTrace(10.0, 0.25);
    // Backwards 2.5 stand sizes (no stand record: a wingspan each), nose still on the stand heading.
    const double moved = gf_distanceNm(stand, trace.back().p);
    EXPECT_NEAR(moved, 2.5 * 2.0 * 0.0097, 0.005);
    EXPECT_GT(std::fabs(gf_headingDifference(heading, gf_initialBearing(stand, trace.back().p))), kPi / 2.0);
    EXPECT_LE(std::fabs(gf_headingDifference(heading, trace.back().heading)) * kRad2Deg, 1.0);
    EXPECT_NE(logText().find("push back"), std::string::npos);
}

// ---- Single steps on a record in the list, without the simulator ----------------------------------

class MovementStepTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        g_tickCounter = 1000;
    }
    LiveAircraft& make(bool ground, const std::vector<PositionSample>& samples) {
        const Aircraft ac = a320(Flight{}, 4000002);
        LiveAircraft& a = g_liveAircraft.emplace_back(ac, samples.front(), 1.0e9);
        a.objectId = 7;
        a.state = STATE_IN_SIM;
        for (std::size_t i = 1; i < samples.size(); ++i) a.samples.push_back(samples[i]);
        a.onGround = ground ? 1 : 0;
        a.phase = ground ? PHASE_MOVING : PHASE_AIRBORNE;
        a.position.latitude = samples.front().latitude;
        a.position.longitude = samples.front().longitude;
        a.position.altitude = samples.front().altitude;
        return a;
    }
    static PositionSample at(double lat, double lon, double altitude, double speed, int due) {
        PositionSample s;
        s.latitude = lat;
        s.longitude = lon;
        s.altitude = altitude;
        s.groundSpeed = speed;
        s.trueAirspeed = speed;
        s.airborne = altitude > 0.0;
        s.duePass = due;
        return s;
    }
    static bool finite(const LiveAircraft& a) {
        const PositionBlock& p = a.position;
        return std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::isfinite(p.pitch) &&
               std::isfinite(p.bank) && std::isfinite(p.heading) && std::isfinite(p.altitude);
    }
    // Steps the aircraft for n passes as the traffic pass does.
    static void step(LiveAircraft& a, int n) {
        for (int i = 0; i < n && a.state == STATE_IN_SIM; ++i) {
            if (!a.samples.empty() && g_tickCounter >= a.samples.front().duePass) lf_movementStep(a);
            if (a.state == STATE_IN_SIM && (a.samples.empty() || !a.samples.front().standing)) lf_followCurve(a);
            ++g_tickCounter;
        }
    }
};

TEST_F(MovementStepTest, BadSamplesNeverBreakThePosition) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        bool ground;
        PositionSample oldest, next;
        double fastestKn;   // the largest step the aircraft may make
        double turnDeg;     // the largest turn a pass
    };
    const Case cases[] = {
        {"zero speeds", true, at(51.0, 0.0, 0, 0, 1000), at(51.001, 0.0, 0, 0, 1400), 250, 0.21},
        {"no speed", true, at(51.0, 0.0, 0, nan, 1000), at(51.001, 0.0, 0, nan, 1400), 250, 0.21},
        {"impossible speed", false, at(51.0, 0.0, 3000, 300, 1000), at(52.0, 0.0, 3000, 300, 1100), 600, 0.1},
        {"antimeridian", false, at(51.0, 179.999, 3000, 300, 1000), at(51.0, -179.999, 3000, 300, 1100), 600, 0.1},
        {"below the ground", false, at(51.0, 0.0, 400, 150, 1000), at(51.01, 0.0, -5000, 150, 1100), 600, 0.1},
        {"U-turn in one second", true, at(51.0, 0.0, 0, 20, 1000), at(50.9999, 0.0, 0, 20, 1100), 250, 0.21},
        {"U-turn in the air", false, at(51.0, 0.0, 3000, 150, 1000), at(50.999, 0.0, 3000, 150, 1100), 600, 0.1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_resetParkAirport();
        g_tickCounter = 1000;
        LiveAircraft& a = make(c.ground, {c.oldest, c.next});
        a.groundAltitude = 100.0;
        LatLon last{a.position.latitude, a.position.longitude};
        double heading = a.position.heading;
        for (int i = 0; i < 400 && a.state == STATE_IN_SIM; ++i) {
            step(a, 1);
            ASSERT_TRUE(finite(a));
            const LatLon now{a.position.latitude, a.position.longitude};
            EXPECT_LE(gf_distanceNm(last, now), c.fastestKn / 360000.0 + 1e-9);
            EXPECT_GE(a.position.altitude, 100.0);
            EXPECT_LE(std::fabs(gf_headingDifference(heading, a.position.heading)), c.turnDeg * kDeg2Rad + 1e-9);
            last = now;
            heading = a.position.heading;
        }
        for (const PositionSample& s : a.samples) EXPECT_GE(s.duePass, 1000);
    }
}

TEST_F(MovementStepTest, ExtrapolationAllowanceByPhaseAndRange) {
    struct Case {
        const char* name;
        bool ground;
        int phase;
        double userOffsetNm;   // north of the aircraft
        int madeUp;            // samples made up before removal
    };
    LATERAL_RANGE.set(30);
    const Case cases[] = {
        {"airborne near the user", false, PHASE_AIRBORNE, 5.0, 8},
        {"airborne at the range edge", false, PHASE_AIRBORNE, 29.6, 0},
        {"taxiing", true, PHASE_MOVING, 1.0, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_resetParkAirport();
        g_tickCounter = 1000;
        LiveAircraft& a = make(c.ground, {at(51.0, 0.0, c.ground ? 0 : 5000, c.ground ? 20 : 200, 1000)});
        a.phase = c.phase;
        g_userPosition.latitude = 51.0 + c.userOffsetNm / 60.0;
        g_userPosition.longitude = 0.0;
        int made = 0;
        for (int i = 0; i < 20000 && a.state == STATE_IN_SIM; ++i) {
            const int before = a.extrapolationCount;
            step(a, 1);
            if (a.extrapolationCount != before && a.extrapolationCount > 0) ++made;
        }
        EXPECT_EQ(a.state, STATE_REMOVING);
        EXPECT_EQ(made, c.madeUp);
    }
    LATERAL_RANGE.set(LATERAL_RANGE.defaultValue);
}

TEST_F(MovementStepTest, TowedAircraftParksWithinTwoMetres) {
    for (const double metres : {1.5, 3.0}) {
        gf_resetParkAirport();
        LiveAircraft& a = make(true, {at(51.0, 0.0, 0, 0, 1000)});
        a.samples.front().standing = 1;
        a.phase = PHASE_STAND_CLEANUP;
        a.standPosition = gf_destinationPoint({51.0, 0.0}, 0.0, metres * 3.28084);
        step(a, 1);
        EXPECT_EQ(a.phase, metres < 2.0 ? PHASE_AT_STAND : PHASE_MOVING) << metres;
        // A parked aircraft waits on its stand; it is not removed when the feed is quiet.
        if (metres < 2.0) {
            step(a, 100000);
            EXPECT_EQ(a.state, STATE_IN_SIM);
        }
    }
}

}  // namespace
}  // namespace vrn::test
