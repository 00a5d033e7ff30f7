// Collision avoidance once a second, on the engine's lists, checked in the simulated simulator.
#include "engine_fixture.h"

namespace vrn::test {
namespace {

using Collisions = EngineTest;

TEST_F(Collisions, UserInTheAirRemovesAircraftOnTheRunwayLineOrOnACollisionCourse) {
    const struct {
        const char* name; double userAgl; bool onGround;
        double bearingDeg, nm, altitudeAboveUser, headingDeg; bool removed;
    } cases[] = {
        {"runway ahead, user low", 300, true, 0, 0.9, 0, 0, true},
        {"runway ahead, user at 500 ft", 500, true, 0, 0.9, 0, 0, false},
        {"runway behind", 300, true, 180, 0.9, 0, 0, true},
        {"beyond 1 nm", 300, true, 0, 1.05, 0, 0, false},
        {"26 ft off the line", 300, true, 0.5, 0.5, 0, 0, true},
        {"53 ft off the line", 300, true, 1.0, 0.5, 0, 0, false},
        {"head-on 900 ft above", 3000, false, 0, 3.0, 900, 180, true},
        {"head-on 1000 ft above", 3000, false, 0, 3.0, 1000, 180, false},
        {"head-on beyond 4 nm", 3000, false, 0, 4.1, 0, 180, false},
        {"crossing 600 ft ahead", 3000, false, 45, 0.1, -500, 315, true},
        {"crossing 3 nm ahead", 3000, false, 0, 3.0, 0, 90, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        g_userOnGround = false;
        g_userPosition.altitudeAboveGround = c.userAgl;
        live("AAL1", from(user(), c.bearingDeg, c.nm), c.onGround, g_userPosition.altitude + c.altitudeAboveUser,
             c.headingDeg);
        gf_userAirCollisions();
        EXPECT_EQ(removed().count("AAL1"), c.removed ? 1u : 0u);
    }
}

TEST_F(Collisions, AtMostOneRemovalASecond) {
    g_userOnGround = false;
    live("AAL1", from(user(), 0, 0.5));
    live("AAL2", from(user(), 180, 0.5));
    gf_userAirCollisions();
    EXPECT_EQ(removed(), std::set<std::string>{"AAL1"});

    g_userOnGround = true;
    const double touching = 1.1 * 2 * kHalfSpan - 0.0005;
    live("GND1", from(user(), 90, touching));
    live("GND2", from(user(), 270, touching));
    live("GND3", from(user(), 270, touching + 0.001));
    parked("STA1*", from(user(), 0, touching));
    gf_userGroundCollision();
    EXPECT_EQ(removed(), (std::set<std::string>{"AAL1", "GND1"}));
    gf_userGroundCollision();   // static aircraft only when no live one was removed
    EXPECT_EQ(removed(), (std::set<std::string>{"AAL1", "GND1", "GND2"}));
    gf_userGroundCollision();   // GND3 keeps its distance
    EXPECT_EQ(removed(), (std::set<std::string>{"AAL1", "GND1", "GND2", "STA1*"}));
}

TEST_F(Collisions, UserOnTheGroundLooksAtStaticAircraftOnlyAfterMoving) {
    const double touching = 1.1 * 2 * kHalfSpan - 0.0005;
    gf_userGroundCollision();   // first look: nothing near
    parked("STA1*", from(user(), 0, touching), STATE_CREATION_REQUESTED);
    parked("STA2*", from(user(), 90, touching));
    parked("STA3*", from(user(), 180, touching));
    gf_userGroundCollision();
    EXPECT_TRUE(removed().empty());
    g_userPosition.latitude += 1e-6;
    gf_userGroundCollision();
    EXPECT_EQ(removed(), std::set<std::string>{"STA2*"});
    EXPECT_EQ(g_staticParked.front().state, STATE_CREATION_REQUESTED);
}

TEST_F(Collisions, TaxiingLiveAircraftTouchingParkedWingtips) {
    const struct {
        const char* name; int phase; bool underPower; int rollSteps; bool testedHereBefore, removed;
    } cases[] = {
        {"taxiing", PHASE_MOVING, false, -1, false, true},
        {"to its stand", PHASE_STAND_CLEANUP, false, -1, false, true},
        {"at its stand", PHASE_AT_STAND, false, -1, false, false},
        {"under power", PHASE_MOVING, true, -1, false, false},
        {"landed: spoilers and throttles run", PHASE_MOVING, false, 0, false, false},
        {"slowed down: the run is over", PHASE_MOVING, false, 1, false, true},
        {"standing still since its last test", PHASE_MOVING, false, -1, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        const LatLon stand = from(user(), 0, 1.0);
        parked("FAR1*", from(stand, 0, 0.5));
        live("TAX1", from(stand, 90, 0.015));
        if (c.testedHereBefore) gf_liveParkedCollisions();
        parked("STA1*", stand);
        parked("STA2*", from(stand, 90, 0.03));
        LiveAircraft& a = g_liveAircraft.front();
        a.phase = c.phase;
        a.underPower = c.underPower;
        if (c.rollSteps >= 0) {
            a.onApproach = 1;
            lf_landed(a);
            for (int i = 0; i < c.rollSteps; ++i) lf_rollThrottleSpoilers(a);   // its samples stand: below 90 kn
        }
        gf_liveParkedCollisions();
        EXPECT_EQ(removed(), c.removed ? std::set<std::string>{"STA1*"} : std::set<std::string>{});
    }
}

}  // namespace
}  // namespace vrn::test
