// New aircraft near the user, stands that live aircraft take, leave and keep, static placements and
// the reader's park airport across a restart, through the traffic queue and the simulated simulator.
#include <fstream>

#include "airports/airport_files.h"
#include "airports/park_airport_choice.h"
#include "engine_fixture.h"

namespace vrn::test {
namespace {

class Stands : public FeedTest {
protected:
    // Two stands 5 m apart: whatever parks at one touches the other.
    static constexpr LatLon kStandA{51.4710, -0.4600};
    static LatLon standB() { return from(kStandA, 90.0, 5.0 / 1852.0); }

    static void addStands(int count) {
        setParkAirport("EGLL");
        std::lock_guard lock(g_standsMutex);
        const LatLon at[] = {kStandA, standB()};
        for (int i = 0; i < count; ++i) {
            g_stands.emplace_back(std::vector<StandUse>{}, std::string(i == 0 ? "A10" : "A11"),
                                  StandPlacement{at[i].lat, at[i].lon, 1.5}, 18.0, false, false, false);
            g_stands.back().number = static_cast<std::uint32_t>(i + 1);
        }
        if (count == 2) g_stands[0].adjacent = {2}, g_stands[1].adjacent = {1};
    }
    static Stand& stand(std::uint32_t number) { return *gf_standByNumber(number); }
    bool untilInSim(std::uint32_t id, int limit = 4000) {
        for (int i = 0; i < limit; ++i) {
            passes(1);
            if (const LiveAircraft* a = gf_liveById(id); a && a->state == STATE_IN_SIM) return true;
        }
        return false;
    }
    // The user flying east over the field: the simulator's block, taken by the pass once a second.
    void userFlyingEast(double heightFt) {
        auto s = baseScenario();
        s.installedTitles = titles;
        s.groundElevation = ground;
        s.user.start = {0.0, kUser.lat, kUser.lon, ground + heightFt, 90.0, 0.0, false};
        startWith(s);
        gf_resetSimLinkForNextRun();
        connect();
        userBlock();
        g_userPosition = gf_userAircraftData();
        g_userOnGround = false;
    }
};

// on the course its feed gives, in the air and on the ground.
TEST_F(Stands, ANewAircraftIsKeptOffTheUsersPathWhereItsFeedHasIt) {
    userFlyingEast(500.0);
    ASSERT_NEAR(g_userPosition.heading, M_PI / 2.0, 1e-6);
    ASSERT_LT(g_userPosition.altitudeAboveGround, 1000.0);
    const struct {
        const char* name; double bearingDeg, nm, altitude, speed, track; bool created;
    } cases[] = {
        {"in the air, 5 nm east, flying west at the user", 90.0, 5.0, 1500.0, 250.0, 270.0, false},
        {"in the air, 5 nm north, flying east beside the user", 0.0, 5.0, 1500.0, 250.0, 90.0, true},
        {"on the ground, 1 nm ahead under the user's heading", 90.0, 1.0, 0.0, 20.0, 0.0, false},
        {"on the ground, 1 nm north beside the user", 0.0, 1.0, 0.0, 20.0, 90.0, true},
    };
    std::uint32_t id = 0x400100;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Record r{.id = ++id, .at = from(kUser, c.bearingDeg, c.nm), .altitude = c.altitude,
                       .groundSpeed = c.speed, .track = c.track, .time = 1000.0 + id};
        const int firstDue = g_tickCounter.load() + kPlayDelayPasses;
        feedTrack(r, 8, 5.0);
        passes(2960);
        const LiveAircraft* a = live(id);
        EXPECT_EQ(a && a->state != STATE_NEW, c.created);
        if (!c.created && a) EXPECT_TRUE(a->nearUser);
        // Taken up as soon as it is due (3 s ahead on the ground, 1 s in the air), not after waiting.
        if (c.created && a) EXPECT_EQ(a->creationPass, firstDue - (c.altitude > 0.0 ? 100 : 300));
        gf_resetParkAirport();
    }
}

}  // namespace
}  // namespace vrn::test
