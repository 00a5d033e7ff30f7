// New aircraft near the user, stands that live aircraft take, leave and keep, static placements and
// the reader's park airport across a restart, through the traffic queue and the simulated simulator.
#include <fstream>

#include "airports/airport_files.h"
#include "traffic/park_airport_choice.h"
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

// An aircraft not yet in the simulator has no position block: it is judged where its feed has it,
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
        if (!c.created && a) {
            EXPECT_TRUE(a->nearUser);
        }
        // Taken up as soon as it is due (3 s ahead on the ground, 1 s in the air), not after waiting.
        if (c.created && a) {
            EXPECT_EQ(a->creationPass, firstDue - (c.altitude > 0.0 ? 100 : 300));
        }
        gf_resetParkAirport();
    }
}

// A taxiing aircraft takes the stand it rolls onto; when it drives on instead, the stand is free for
// the next one, and its later removal leaves that one's stand taken.
TEST_F(Stands, AStandIsFreedWhenTheAircraftRollingOntoItDrivesOn) {
    addStands(1);
    LiveAircraft& first = live("BAW7", from(kStandA, 0.0, 0.005));
    first.samples.front().groundSpeed = 3.0;
    ASSERT_TRUE(lf_parkAtNearestStand(first, true));
    EXPECT_EQ(first.phase, PHASE_STAND_CLEANUP);
    EXPECT_TRUE(stand(1).occupied);
    feed({.id = first.aircraftId, .callsign = "BAW7", .at = from(kStandA, 0.0, 0.2), .altitude = 0.0,
          .groundSpeed = 15.0, .track = 0.0, .time = 1030.0});
    passes(1);
    EXPECT_EQ(first.phase, PHASE_MOVING);
    EXPECT_FALSE(stand(1).occupied);

    LiveAircraft& second = live("DLH4", from(kStandA, 180.0, 0.005));
    ASSERT_TRUE(lf_parkAtNearestStand(second, true));
    EXPECT_EQ(second.standId, 1);
    gf_removeLiveAircraft(*gf_liveById(20000));
    EXPECT_TRUE(stand(1).occupied) << "the stand is the second one's now";
}

// A towed arrival reserves its stand as it parks, and only its own going ends that: not another
// aircraft leaving the stand, nor any leaving of the stand under the user (which it does not own).
TEST_F(Stands, OnlyTheTowedArrivalThatReservedItsStandEndsTheReservation) {
    addStands(2);
    stand(2).reserved = 1;   // the stand under the user
    const auto parks = [](LiveAircraft& a, int number) {
        std::tie(a.standId, a.standPosition, a.towing) = std::tuple{number, stand(number).position, 1};
        lf_towedParks(a);
    };
    // Gone from its stand, so that no parking limit removes another meanwhile.
    const auto leaves = [](LiveAircraft& a) { lf_restartSamplePlay(a), a.phase = PHASE_MOVING; };
    LiveAircraft &towed = live("BAW7", kStandA), &other = live("DLH1", kStandA), &second = live("KLM3", standB());
    parks(towed, 1);
    other.standId = 1;
    leaves(other);
    EXPECT_TRUE(stand(1).reserved);
    leaves(towed);
    EXPECT_FALSE(stand(1).reserved);
    parks(second, 2);
    leaves(second);
    EXPECT_TRUE(stand(2).reserved);
    parks(towed, 1);
    ASSERT_TRUE(stand(1).reserved);
    gf_removeLiveAircraft(towed);
    EXPECT_FALSE(stand(1).reserved);
}

// An arrival that rolls onto its stand counts its parked hours from then: the live average is half an
// hour at first (the figure rounds up) and grows with the half hours it stands, whatever day it is.
TEST_F(Stands, AnArrivalsParkedHoursCountFromWhenItReachedItsStand) {
    addStands(1);
    LiveAircraft& arrival = live("BAW7", kStandA);
    arrival.state = STATE_IN_SIM;
    std::tie(arrival.standId, arrival.standPosition, arrival.towing) = std::tuple{1, stand(1).position, 1};
    for (const auto& [day, halfHour] : {std::pair{1, 0}, std::pair{5, 33}}) {
        SCOPED_TRACE(day);
        arrival.phase = PHASE_STAND_CLEANUP;
        arrival.standTime = 0;
        g_currentDaySlot = gf_makeDaySlot(day, halfHour);
        lf_towedParks(arrival);
        ASSERT_EQ(gf_refreshLiveParkedHours(true), 1);
        EXPECT_FLOAT_EQ(g_mainWindow.g_liveAverageFit.load(), 0.5f);
        g_currentDaySlot = gf_makeDaySlot(day, halfHour + 4);
        gf_refreshLiveParkedHours(true);
        EXPECT_FLOAT_EQ(g_mainWindow.g_liveAverageFit.load(), 2.5f);
    }
}

// With new objects on identity changes, a parked aircraft that gets a new callsign is created again
// on its own stand, which stays taken by it.
TEST_F(Stands, AParkedAircraftWithANewCallsignIsCreatedAgainOnItsStand) {
    addStands(1);
    GUID_CHANGES.set(true);
    Record parked{.registration = "G-TEST", .at = kStandA, .altitude = 0.0, .groundSpeed = 0.0};
    feedTrack(parked, 3, 16.0);
    passes(2950);
    ASSERT_TRUE(untilInSim(parked.id));
    ASSERT_EQ(live()->phase, PHASE_AT_STAND);
    const std::uint32_t oldObject = live()->objectId;
    parked.callsign = "BAW99";
    parked.time += 100.0;
    feed(parked);
    passes(2);
    ASSERT_NE(live(), nullptr);
    ASSERT_NE(live()->state, STATE_IN_SIM) << "its old object goes";
    ASSERT_TRUE(untilInSim(parked.id));
    const LiveAircraft* a = live();
    EXPECT_NE(a->objectId, oldObject);
    EXPECT_EQ(a->callsign, "BAW99");
    EXPECT_EQ(a->phase, PHASE_AT_STAND);
    EXPECT_EQ(a->standId, 1);
    EXPECT_TRUE(stand(1).occupied);
    const auto object = sim().objectByAtcId("BAW99");
    ASSERT_TRUE(object);
    EXPECT_LT(gf_distanceNm({object->lat, object->lon}, kStandA) * 1852.0, 1.0);
    EXPECT_FALSE(sim().object(oldObject) && !sim().object(oldObject)->removing);
}

// A parked live aircraft whose wings would touch the arriving one refuses it the stand beside.
TEST_F(Stands, AnArrivalBesideAParkedAircraftWhoseWingsTouchIsRefused) {
    addStands(2);
    LiveAircraft& neighbour = live("DLH4", standB());
    std::tie(neighbour.phase, neighbour.standId) = std::tuple{PHASE_AT_STAND, 2};
    feedTrack({.at = kStandA, .altitude = 0.0, .groundSpeed = 0.0}, 3, 16.0);
    passes(2950);
    EXPECT_EQ(live(), nullptr);
    EXPECT_NE(logText().find(systemLines("A10     : DLH4     at adjacent and colliding, A11 blocks live BAW12 parking\n")),
              std::string::npos);
}

// A static placement is first checked against live aircraft at its stand, then its stand is looked up.
TEST_F(Stands, AStaticPlacementIsDroppedForALiveAircraftBeforeItsStandIsLookedUp) {
    addStands(1);
    LiveAircraft& a = live("BAW7", kStandA);
    std::tie(a.phase, a.standId) = std::tuple{PHASE_AT_STAND, 7};   // a stand no longer in the list
    const struct { std::uint32_t standId; const char* line; } cases[] = {
        {7, "unknown : no static parking for KLM1, live aircraft BAW7 standing here"},
        {8, "stand with id 8 not found"},
    };
    for (const auto& c : cases) {
        StaticPlacement d;
        std::tie(d.airline, d.model, d.standId, d.callsign) = std::tuple{"KLM", "A320", c.standId, "KLM1"};
        g_staticPlacements.push_back(d);
        lf_placeStaticParked();
        EXPECT_TRUE(g_staticPlacements.empty());
        EXPECT_TRUE(g_staticParked.empty());
        EXPECT_NE(logText().find(c.line), std::string::npos) << c.line;
    }
}

// A restart from a park airport high above the sea to a place without one: the reader no longer takes
// records below that airport's elevation for ground records.
TEST_F(Stands, ARestartFromAParkAirportTakesRecordsBelowItsElevation) {
    {
        std::ofstream apf(dir / "LSZH.xml");
        apf << "<?xml version=\"1.0\"?>\n<parameters>\n<parameter name=\"airport_name\" value=\"Zurich\" />\n"
               "<parameter name=\"publisher\" value=\"stock\" />\n<parameter name=\"altitude\" value=\"1416\" />\n"
               "</parameters>\n<parkpositions>\n<parkpos id=\"A1\" latitude=\"47.4600\" longitude=\"8.5500\" "
               "heading=\"0.0\" radius=\"20.0\" />\n</parkpositions>\n";
    }
    {
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = Airport{"LSZH", "ZRH", 47.4581, 8.5481, 0.0};
        g_stands.clear();
    }
    std::uint64_t quality = 0;
    ASSERT_EQ(gf_readApf(dir / "LSZH.xml", quality), "");
    ASSERT_EQ(g_trafficReader.fieldElevation(), 1416.0);
    g_trafficReader.resetFeedClock();
    g_trafficReader.setReferencePosition(kUser);
    g_lateralRangeNm = 40.0;
    // An aircraft climbing out of London at 1,000 ft.
    const auto taken = [] {
        g_trafficReader.processDatagram(
            "RTTFC,4001234,51.50,-0.40,1000,1500,0,270.5,150,BAW12AB,A320,G-EUUA,LHR,CDG,1717000000.5,X2,BA12,"
            "adsb_icao,5100,240,260,0.4,0.0,5.0,268,271.0,1400,none,A3,1013.2,35008,-1,70.0,lnav,0.0,-21.9,223,24,"
            "-30,0,1,170124");
        const std::deque<TrafficUpdate> queued = gf_takeTrafficUpdates();
        return queued.size() == 1 && queued.front().sample.airborne && queued.front().sample.altitude == 1000.0;
    };
    EXPECT_FALSE(taken()) << "below Zurich's field: a ground record far from it";
    gf_closeParkAirport();
    gf_resetParkAirport();   // the exit thread's reset before the restart
    gf_resetParkAirportChoice();
    EXPECT_EQ(g_trafficReader.fieldElevation(), std::nullopt);
    EXPECT_TRUE(taken());
}

}  // namespace
}  // namespace vrn::test
