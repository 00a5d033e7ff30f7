// The traffic engine driven through the traffic queue, its passes and the simulated simulator.
#include <unistd.h>

#include <numeric>
#include <random>
#include <set>
#include <regex>

#include "airports/automatic_range.h"
#include "airports/stand_search.h"
#include "engine_fixture.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "feed/realtraffic_link.h"
#include "feed/tcp_server.h"
#include "platform/net/sockets.h"

namespace vrn::test {
namespace {

class Engine : public FeedTest {
protected:
    // Passes until the aircraft is in the simulator (or the limit is reached).
    bool untilInSim(std::uint32_t id, int limit = 4000) {
        for (int i = 0; i < limit; ++i) {
            passes(1);
            if (const LiveAircraft* a = gf_liveById(id); a && a->state == STATE_IN_SIM) return true;
        }
        return false;
    }
    // Passes until the first creation request is queued.
    static void untilCreationRequested() {
        for (int i = 0; i < 4000 && g_createRequests.empty(); ++i) gf_trafficTick();
    }
    // Per second, the aircraft in the simulator and those it could show: printed every 30 s, and
    // from second `from` on the first at least 80 % of the second.
    static void expectSkyHolds(const std::vector<std::pair<int, int>>& perSecond, std::size_t from, const char* could) {
        std::string figure;
        for (std::size_t s = 29; s < perSecond.size(); s += 30)
            figure += vrn::format(" {}/{}", perSecond[s].first, perSecond[s].second);
        std::cout << "in the simulator / " << could << ", every 30 s:" << figure << "\n";
        for (std::size_t s = from; s < perSecond.size(); ++s)
            EXPECT_GE(perSecond[s].first, 0.8 * perSecond[s].second) << "at " << s << " s:" << figure;
    }
    // Aircraft i's report at t seconds, airborne at its own altitude, queued as the reader does.
    static void queueAirborne(int i, double t, const LatLon& at, double speedKn, double trackDeg) {
        TrafficUpdate u;
        u.flight = Flight{"", "A320", "EGLL", "LFPG", vrn::format("BAW{}", 1000 + i), "", "", ""};
        u.hexid = 0x400000 + static_cast<std::uint32_t>(i);
        u.timeStamp = 1000.0 + t;
        PositionSample& sample = u.sample;
        std::tie(sample.latitude, sample.longitude, sample.altitude, sample.airborne) = std::tuple{at.lat, at.lon, 4000.0 + i % 20 * 500.0, true};
        sample.groundSpeed = sample.trueAirspeed = speedKn;
        sample.track = trackDeg;
        gf_queueTrafficUpdate(u);
    }
    static void addStand(const LatLon& at) {
        setParkAirport("EGLL");
        std::lock_guard lock(g_standsMutex);
        g_stands.emplace_back(std::vector<StandUse>{}, std::string("A10"), StandPlacement{at.lat, at.lon, 1.5}, 18.0,
                              false, false, false);
        g_stands.back().number = 1;
    }
};

TEST_F(Engine, AFedAircraftIsCreatedMovedAndRemovedWhenItsFeedStops) {
    feedTrack(Record{}, 8, 5.0);
    passes(2850);
    ASSERT_NE(live(), nullptr);
    EXPECT_EQ(live()->state, STATE_NEW);   // an airborne aircraft is taken up 1 s before its first sample
    ASSERT_TRUE(untilInSim(0x400001));
    const auto object = sim().objectByAtcId("BAW12");
    ASSERT_TRUE(object);
    EXPECT_EQ(object->title, "BAW A320");
    EXPECT_FALSE(object->onGround);
    passes(1000);
    EXPECT_LT(sim().object(object->id)->lat, object->lat);   // flying south along its samples
    // The feed has stopped: two minutes of made-up samples of 8 s, then the aircraft goes, and the log
    // says why: nothing came.
    passes(16000);
    EXPECT_EQ(live(), nullptr);
    EXPECT_EQ(aiObjects(), 0u);
    EXPECT_NE(logText().find("BAW12    removed after 120 s of made-up motion: no records came"), std::string::npos) << logText();
}

// Its records still come, but the reader drops them as stamped ahead of the feed's clock: the removal
// line says so, not that no records came.
TEST_F(Engine, RemovalAfterMadeUpMotionSaysItsRecordsCameStampedAhead) {
    feedTrack(Record{}, 8, 5.0);
    ASSERT_TRUE(untilInSim(0x400001));
    passes(2000);
    for (int second = 0; second < 170 && live(); ++second) {
        gf_countStampedAhead(0x400001);
        passes(100);
    }
    EXPECT_EQ(live(), nullptr);
    EXPECT_NE(logText().find("removed after 120 s of made-up motion: its records came on but were stamped ahead of the feed's clock"),
              std::string::npos)
        << logText();
}

// Every aircraft removed says why in the log, however many go at once: over the most shown, in the
// user's way, and ten whose feed stopped together (a limited line would leave some unexplained).
TEST_F(Engine, EveryRemovalSaysWhy) {
    Record r;
    for (std::uint32_t i = 0; i < 10; ++i) {
        r.id = 0x400001 + i, r.callsign = vrn::format("BAW{}", i + 1);
        r.at = gf_destinationPoint({51.6, -0.45}, kPi / 2.0, (i * 1.5 - 8.0) * kFeetPerNm);
        feedTrack(r, 8, 5.0);
    }
    passes(2850);
    for (std::uint32_t i = 0; i < 10; ++i) ASSERT_TRUE(untilInSim(0x400001 + i)) << i;
    MAX_LIVE.set(9);
    gf_enforceMaxCount();
    MAX_LIVE.set(MAX_LIVE.defaultValue);
    LiveAircraft& inTheWay = *live(0x400005);
    g_userOnGround = false;
    std::tie(g_userPosition.latitude, g_userPosition.longitude, g_userPosition.altitude) =
        std::tuple{inTheWay.position.latitude, inTheWay.position.longitude, inTheWay.position.altitude};
    EXPECT_TRUE(gf_userAirCollision(inTheWay));
    passes(16000);
    EXPECT_EQ(aiObjects(), 0u);
    const std::string log = logText();
    EXPECT_NE(log.find("removed: the farthest"), std::string::npos) << log;
    EXPECT_NE(log.find("BAW5     removed: in the user's way (0.0 nm, 0 ft apart)"), std::string::npos) << log;
    for (int i = 1; i <= 10; ++i)
        EXPECT_NE(log.find(vrn::format("{:8} removed", vrn::format("BAW{}", i))), std::string::npos) << i << log;
    EXPECT_EQ(log.find("not logged"), std::string::npos) << log;
}

TEST_F(Engine, FeedRecordsPassTheJumpAndSpacingFilters) {
    const struct {
        const char* name; double secondAfter, firstSpeed, secondSpeed, altitude; std::size_t samples;
    } cases[] = {
        {"one second later", 1.0, 250, 250, 5000, 1},
        {"5 kn then 60 kn", 10.0, 5, 60, 0, 2},
        {"5 kn then 80 kn", 10.0, 5, 80, 0, 1},
        {"6 kn then 60 kn (tenfold)", 10.0, 6, 60, 0, 1},
        {"straight at 240 kn, 3 s", 3.0, 240, 240, 5000, 1},   // 450 m take 3.6 s
        {"straight at 240 kn, 4 s", 4.0, 240, 240, 5000, 2},
        {"standing, 10 s", 10.0, 0, 0, 0, 1},                  // a standing aircraft: every 15 s
        {"standing, 16 s", 16.0, 0, 0, 0, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gf_resetParkAirport();
        const Record first{.altitude = c.altitude, .groundSpeed = c.firstSpeed};
        Record second = first;
        second.time += c.secondAfter;
        second.groundSpeed = c.secondSpeed;
        second.at = gf_destinationPoint(first.at, M_PI, c.secondSpeed > 0 ? c.secondSpeed * kFeetPerNm * c.secondAfter / 3600 : 0);
        feed(first);
        feed(second);
        passes(1);
        ASSERT_NE(live(), nullptr);
        EXPECT_EQ(live()->samples.size(), c.samples);
    }
}

// A slow record that says it flies a few hundred feet above the park airport (83 ft): a helicopter's
// slowing to a hover flies, an aeroplane's is a taxi whose receiver reads its height wrong (a ground
// record, dropped beyond 5 nm as ground records are). New (-1: not created) and after a record 700 ft up.
TEST_F(Engine, SlowRecordsJustAboveTheFieldFlyForHelicoptersOnly) {
    const struct {
        const char* model; double feet, kn, nm; int newAirborne, laterAirborne;
    } cases[] = {
        {"A320", 483, 20, 1, 0, 0}, {"A320", 483, 20, 8, -1, -1}, {"A320", 584, 20, 1, 1, 1}, {"A320", 483, 40, 1, 1, 1},
        {"H145", 483, 20, 1, 1, 1}, {"H145", 383, 0, 8, 1, 1},   {"EC35", 583, 35, 1, 1, 1},
    };
    setParkAirport("EGLL");
    const bool helicopters = HELICOPTERS.get();
    HELICOPTERS.set(true);   // (no helicopter livery here switched them off)
    for (const auto& c : cases) {
        SCOPED_TRACE(vrn::format("{} {} ft {} kn {} nm out", c.model, c.feet, c.kn, c.nm));
        g_liveAircraft.clear();
        const Record r{.model = c.model, .at = from(kUser, 90.0, c.nm), .altitude = c.feet, .groundSpeed = c.kn};
        feed(r);
        passes(1);
        EXPECT_EQ(live() ? live()->samples.front().airborne : -1, c.newAirborne);
        g_liveAircraft.clear();
        Record before = r, later = r;
        std::tie(before.altitude, before.at, before.time) = std::tuple{783.0, from(r.at, 270.0, c.kn * 20.0 / 3600.0), r.time - 20.0};
        feed(before);
        feed(later);
        passes(1);
        ASSERT_NE(live(), nullptr);
        EXPECT_EQ(live()->samples.size() == 2 ? live()->samples.back().airborne : -1, c.laterAirborne);
    }
    HELICOPTERS.set(helicopters);
}

TEST_F(Engine, NewAircraftAreRefusedForTheirIdentity) {
    setParkAirport("EGLL");
    feed({.altitude = 150.0});   // just above the park airport: would appear on its runway
    feed({.id = 0x400002, .callsign = "DLH4"});
    feed({.id = 0x400003, .callsign = "DLH4"});   // same callsign and model under another id
    passes(2);
    EXPECT_EQ(live(0x400001), nullptr);
    EXPECT_NE(live(0x400002), nullptr);
    EXPECT_EQ(live(0x400003), nullptr);

    // Reported at one position in the air at 250 kn (a stuck transponder), a minute long: it would
    // hang in the air, so it is never created, and the log says so once.
    gf_resetParkAirport();
    for (int second = 0; second < 60; ++second) {
        feed({.id = 0x400004, .callsign = "EZY9", .time = 2000.0 + second});
        passes(100);
    }
    passes(3100);
    EXPECT_EQ(aiObjects(), 0u);
    const std::string log = logText();
    const std::string said = "EZY9";
    std::size_t lines = 0;
    for (std::size_t at = log.find("reported at one position while airborne at 250 kn"); at != std::string::npos;
         at = log.find("reported at one position while airborne", at + 1))
        ++lines;
    EXPECT_EQ(lines, 1u) << log;
    EXPECT_NE(log.find(said), std::string::npos) << log;

    // Thirty of them in one minute (a flood of broken transponders): the lines are bounded.
    gf_setWallClockForTests([] { return std::time_t{1733356800}; });
    for (int second = 0; second < 3; ++second) {
        for (std::uint32_t i = 0; i < 30; ++i)
            feed({.id = 0x400100 + i, .callsign = "EZY" + std::to_string(100 + i), .time = 2100.0 + 5 * second});
        passes(500);
    }
    gf_setWallClockForTests({});
    const std::string flood = logText().substr(log.size());
    lines = 0;
    for (std::size_t at = flood.find("reported at one position while airborne"); at != std::string::npos;
         at = flood.find("reported at one position while airborne", at + 1))
        ++lines;
    EXPECT_LE(lines, 10u) << flood;
    EXPECT_GE(lines, 1u) << flood;
    // The run's end says how many were held back, though no line came after them.
    gf_sayHeldBackLogLines();
    EXPECT_NE(logText().find(vrn::format("{} more \"not shown until it moves\" lines were not logged", 30 - lines)),
              std::string::npos) << logText().substr(log.size());
}

TEST_F(Engine, AdmissionCompletesOrGivesUp) {
    const struct {
        const char* name; std::string callsign, model, registration, blocked, finalCallsign, finalModel;
    } cases[] = {
        {"ordinary", "BAW12", "A320", "", "", "BAW12", "A320"},
        {"nine characters", "BAW123456", "A320", "", "", "", ""},
        {"no callsign, registration known", "@@@@@@@@", "A320", "G-EUPA", "", "G-EUPA", "A319"},
        {"blocked by the user", "BAW12", "A320", "", "BAW12", "", ""},
        {"no livery of the type", "BAW13", "B738", "", "", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        gf_resetParkAirport();
        BLOCK_CALLSIGN.set(c.blocked);
        feedTrack({.callsign = c.callsign, .model = c.model, .registration = c.registration}, 3, 5.0);
        passes(2950);
        const LiveAircraft* a = live();
        ASSERT_EQ(a != nullptr, !c.finalCallsign.empty());
        if (!a) continue;
        EXPECT_EQ(a->state, STATE_CREATION_REQUESTED);
        EXPECT_EQ(a->callsign, c.finalCallsign);
        EXPECT_EQ(a->model, c.finalModel);
    }
    EXPECT_TRUE(gf_isRefusedFlight("BAW B738 "));
    // An aircraft with a single sample is given up when it falls due.
    gf_resetParkAirport();
    feed({.time = 9000.0});
    passes(2899);
    EXPECT_NE(live(), nullptr);
    passes(2);
    EXPECT_EQ(live(), nullptr);
}

TEST_F(Engine, NoObjectOutlivesItsAircraft) {
    // Removed while its creation is with the simulator: the object goes as soon as it arrives.
    feedTrack(Record{}, 6, 5.0);
    untilCreationRequested();
    ASSERT_EQ(live()->state, STATE_CREATION_REQUESTED);
    gf_removeLiveAircraft(*live());
    passes(600);
    EXPECT_EQ(live(), nullptr);
    EXPECT_EQ(aiObjects(), 0u);

    // Lost RealTraffic takes every aircraft out.
    const Record second{.id = 0x400002, .callsign = "DLH4", .at = {51.7, -0.3}, .time = 3000.0};
    feedTrack({.id = 0x400004, .time = 3000.0}, 6, 5.0);
    feedTrack(second, 6, 5.0);
    ASSERT_TRUE(untilInSim(0x400002));
    ASSERT_TRUE(untilInSim(0x400004));
    ASSERT_EQ(aiObjects(), 2u);
    gf_dropLiveAircraft();
    passes(300);
    EXPECT_EQ(aiObjects(), 0u);
    EXPECT_TRUE(g_liveAircraft.empty());

    // An object made for an aircraft that is no longer in the list leaves again.
    const std::uint32_t stray = object("STRAY1", kUser, 0.0, true);
    gf_queueSimEvent(SimEvent{stray, 0x4FFFFF, 0, SIM_EVENT_LIVE_CREATED, 0.0, 0.0});
    EXPECT_TRUE(removed().contains("STRAY1"));

    // The exit while a creation is on its way: what arrives afterwards is removed as well.
    feedTrack({.id = 0x400003, .callsign = "KLM7", .model = "B744", .at = second.at, .time = 5000.0}, 6, 5.0);
    untilCreationRequested();
    ASSERT_FALSE(g_createRequests.empty());
    gf_simLinkServices().exitRequested = [] { return true; };
    gf_removeAllAircraft();
    frames(30);
    EXPECT_EQ(aiObjects(), 0u);
}

TEST_F(Engine, AStandingArrivalTakesAFreeFittingStandButNeverTheUsers) {
    const LatLon standAt{51.4710, -0.4600};
    addStand(standAt);
    const Record parked{.at = standAt, .altitude = 0.0, .groundSpeed = 0.0};
    feedTrack(parked, 3, 16.0);
    passes(2950);
    const LiveAircraft* a = live();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->phase, PHASE_AT_STAND);
    EXPECT_EQ(a->standId, 1);
    EXPECT_EQ(a->state, STATE_CREATION_REQUESTED);
    EXPECT_TRUE(g_stands.front().occupied);
    EXPECT_DOUBLE_EQ(a->position.heading, 1.5);
    // The feed gives 0 ft on the ground: it is created on the airport's ground, not below it.
    EXPECT_GE(a->position.altitude, 83.0);

    gf_resetParkAirport();
    addStand(standAt);
    g_reservedStand.set("A10");
    feedTrack(parked, 3, 16.0);
    passes(2950);
    EXPECT_EQ(live(), nullptr);
}

TEST_F(Engine, AnArrivalDrivesTheStaticAircraftOffItsStandAndSaysForWhom) {
    const LatLon standAt{51.4710, -0.4600};
    const struct { int staticState; const char* knownCallsign; const char* line; } cases[] = {
        {STATE_IN_SIM, "STA1*", "STA1*    A10 makes place for BAW12 "},
        {STATE_IN_SIM, "BAW12", "STA1*    A10 makes place for the same live version BAW12 "},
        {STATE_CREATION_REQUESTED, "STA1*", "STA1*    A10 makes place for BAW12 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        gf_resetParkAirport();
        g_staticParked.clear();
        addStand(standAt);
        Aircraft& s = parked("STA1*", standAt, c.staticState);
        s.standId = 1;
        s.knownCallsign = c.knownCallsign;
        const std::size_t logFrom = logText().size();
        feedTrack(Record{.at = standAt, .altitude = 0.0, .groundSpeed = 0.0}, 3, 16.0);
        passes(2950);
        ASSERT_NE(live(), nullptr);
        ASSERT_EQ(live()->standId, 1);
        const std::string log = logText().substr(logFrom);
        EXPECT_NE(log.find(c.line), std::string::npos) << log;
        const bool inSim = c.staticState == STATE_IN_SIM;
        EXPECT_EQ(log.find("queued ") != std::string::npos, !inSim);
        EXPECT_TRUE(inSim ? s.state == STATE_REMOVING : s.removeWhenCreated);
        EXPECT_FALSE(std::regex_search(log, std::regex("makes place for ?[0-9]"))) << "a time glued to the text";
    }
}

TEST_F(Engine, AStandsUseHoldsTheWholeStayFromArrivalToDeparture) {
    const LatLon standAt{51.4710, -0.4600};
    addStand(standAt);
    g_currentDaySlot.store(gf_makeDaySlot(3, 10));
    Record parked{.registration = "G-TEST", .at = standAt, .altitude = 0.0, .groundSpeed = 0.0};
    feedTrack(parked, 3, 16.0);
    passes(2950);
    ASSERT_TRUE(untilInSim(parked.id));
    ASSERT_EQ(live()->phase, PHASE_AT_STAND);
    // Three half hours later it rolls 120 m away from the stand.
    g_currentDaySlot.store(gf_makeDaySlot(3, 13));
    parked.at = from(standAt, 90.0, 0.065);
    parked.time += 5400.0;
    feed(parked);
    passes(2);
    const Stand& stand = g_stands.front();
    ASSERT_EQ(stand.uses.size(), 1u);
    EXPECT_EQ(stand.uses.front().hh, 0xFull << 10) << "half hours 10 to 13";
    EXPECT_TRUE(stand.realRecords.empty()) << "the stay is closed";
}

TEST_F(Engine, ATowedArrivalRecordsItsStandTimeAndHoldsItsStandUntilItLeaves) {
    const LatLon standAt{51.4710, -0.4600};
    addStand(standAt);
    g_currentDaySlot.store(gf_makeDaySlot(3, 20));
    LiveAircraft& a = live("BAW7", standAt);
    a.registration = "G-TOWD";
    a.standId = 1;
    a.standPosition = standAt;
    a.phase = PHASE_STAND_CLEANUP;
    a.standTime = gf_makeDaySlot(3, 17);
    lf_towedParks(a);
    EXPECT_EQ(a.phase, PHASE_AT_STAND);
    ASSERT_EQ(g_stands.front().uses.size(), 1u);
    EXPECT_EQ(g_stands.front().uses.front().hh, std::uint64_t{1} << 17);
    ASSERT_EQ(g_standUseSlots.size(), 1u);
    EXPECT_EQ(g_standUseSlots.front().halfHour, 17u);
    // Parked, it holds its stand; leaving it ends that hold.
    EXPECT_TRUE(g_stands.front().reserved);
    lf_restartSamplePlay(a);
    EXPECT_FALSE(g_stands.front().reserved);
}

TEST_F(Engine, AFailedStaticCreationIsReportedBeforeItsRecordGoes) {
    Aircraft other(flight("DLH1"), SIZE_LARGE, kHalfSpan);
    other.liveryTitle = "DLH A320";
    for (int i = 0; i < 18; ++i) gf_reportCreationFailure(other);
    for (const char* callsign : {"ST1*", "ST2*"}) {
        Aircraft& s = parked(callsign, kUser, STATE_CREATION_REQUESTED);
        s.liveryTitle = "BAW A319";
        gf_queueSimEvent(SimEvent{0, s.aircraftId, 0, SIM_EVENT_CREATE_FAILED, 0.0, 0.0});
    }
    // An event behind the one that ends the run is still handled, not lost with the batch.
    const std::uint32_t goneObject = parked("ST3*", kUser).objectId;
    gf_queueSimEvent(SimEvent{goneObject, 0, 0, SIM_EVENT_OBJECT_REMOVED, 0.0, 0.0});
    // The 19th failure is reported and its record goes; the 20th ends the run and its record stays.
    EXPECT_THROW(gf_processSimEvents(), UserErrorException);
    ASSERT_EQ(g_staticParked.size(), 1u);
    EXPECT_EQ(g_staticParked.front().callsign, "ST2*");
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "ST2* \"BAW A319\" could not be created by your Sim!");
}

TEST_F(Engine, AStaticLightAircraftGetsALiveryOfItsClass) {
    // SR22 has no livery of its own: only a light aircraft reaches the replacement models of its class.
    addStand({51.4710, -0.4600});
    StaticPlacement d;
    std::tie(d.airline, d.model, d.standId) = std::tuple{"PVT", "SR22", 1u};
    g_staticPlacements.push_back(d);
    passes(60);
    ASSERT_EQ(g_staticParked.size(), 1u);
    EXPECT_EQ(g_staticParked.front().sizeClass, SIZE_LIGHT);
    EXPECT_EQ(g_staticParked.front().liveryTitle, "PVT C152");
}

TEST_F(Engine, AStaticAircraftParkedDaysAgoIsGivenADayAndHalfHourOfTheWeek) {
    // Parked 100 half hours before Monday 05:00: Saturday 03:00, two days back over the week's start.
    addStand({51.4710, -0.4600});
    g_currentDaySlot.store(gf_makeDaySlot(1, 10));
    StaticPlacement d;
    std::tie(d.airline, d.model, d.standId, d.age) = std::tuple{"BAW", "A320", 1u, 100u};
    g_staticPlacements.push_back(d);
    passes(60);
    ASSERT_EQ(g_staticParked.size(), 1u);
    EXPECT_EQ(gf_slotDay(g_staticParked.front().standTime), 6);
    EXPECT_EQ(gf_slotHalfHour(g_staticParked.front().standTime), 6);
}

TEST_F(Engine, TheCountLimitRemovesTheFarthestAircraft) {
    for (std::uint32_t i = 0; i < 8; ++i) {
        Aircraft base;
        base.aircraftId = 0x500000 + i;
        LiveAircraft a(base, PositionSample{}, 0.0);
        a.state = STATE_IN_SIM;
        a.objectId = 100 + i;
        a.position.latitude = kUser.lat + 0.1 * (i + 1);   // farther with every one
        a.position.longitude = kUser.lon;
        g_liveAircraft.push_back(a);
    }
    MAX_LIVE.set(6);
    gf_enforceMaxCount();
    EXPECT_EQ(std::vector<std::uint32_t>(g_removalQueue.begin(), g_removalQueue.end()),
              (std::vector<std::uint32_t>{107, 106}));
    // A newcomer nearer than the farthest one in the simulator takes its place; one farther does not.
    EXPECT_FALSE(lf_isFarthest(1.0));
    EXPECT_TRUE(lf_isFarthest(100.0));
    // The default sets no limit: nothing is removed, and a newcomer farther away than every aircraft
    // in the simulator is still created; one below the default gives it up.
    MAX_LIVE.set(MAX_LIVE.defaultValue);
    LiveAircraft nearest = g_liveAircraft.front();
    nearest.samples.clear();   // they stand still through the passes below
    g_liveAircraft.insert(g_liveAircraft.end(), 300, nearest);   // 305 in the simulator
    gf_enforceMaxCount();
    EXPECT_EQ(g_removalQueue.size(), 3u);
    g_liveAircraft.erase(g_liveAircraft.begin(), g_liveAircraft.begin() + 8);   // 300 left, all 6 nm away
    for (const int limit : {MAX_LIVE.defaultValue, 299}) {
        SCOPED_TRACE(limit);
        MAX_LIVE.set(limit);
        const Record newcomer{.id = 0x400100u + static_cast<std::uint32_t>(limit), .at = from(kUser, 90.0, 20.0)};
        feedTrack(newcomer, 3, 5.0);
        passes(2950);
        const LiveAircraft* a = live(newcomer.id);
        EXPECT_EQ(a != nullptr && a->state == STATE_CREATION_REQUESTED, limit == MAX_LIVE.defaultValue);
    }
    MAX_LIVE.set(MAX_LIVE.defaultValue);
}

TEST_F(Engine, TheWantedNumberOfParkedAircraftFollowsTheStandsAndThePercentage) {
    const struct { int stands, percent, wanted; } cases[] = {
        {1, 40, 1}, {3, 40, 1}, {4, 40, 2}, {3, 60, 2}, {10, 25, 3}, {1, 0, 0}, {0, 40, 0}};
    const int saved = parking_percentage.get();
    for (const auto& c : cases) {
        {
            std::lock_guard lock(g_standsMutex);
            g_stands.clear();
            for (int i = 0; i < c.stands; ++i)
                g_stands.emplace_back(std::vector<StandUse>{}, std::to_string(i), StandPlacement{}, 18.0, false, false, false);
        }
        parking_percentage.set(c.percent);
        EXPECT_EQ(gf_wantedParkedCount(), c.wanted) << c.stands << " stands at " << c.percent << " %";
    }
    parking_percentage.set(saved);
}

TEST_F(Engine, CreationsAreAnsweredOrGivenUp) {
    // The range shrinks after the aircraft was taken in: its object is found all the same.
    const Record far{.at = from(kUser, 0.0, 20.0)};
    feedTrack(far, 6, 5.0);
    passes(2950);
    LATERAL_RANGE.set(5);
    EXPECT_TRUE(untilInSim(far.id, 1000));

    // A creation call the simulator refused outright is given up, not waited for for ever.
    simconnect::FailureSpec fail;
    fail.failCreateCalls = 1;
    sim().setFailures(fail);
    const Record lost{.id = 0x400009, .callsign = "DLH9", .at = from(kUser, 0.0, 3.0), .time = 4000.0};
    feedTrack(lost, 40, 5.0);
    passes(3200);
    ASSERT_NE(live(lost.id), nullptr);
    EXPECT_EQ(live(lost.id)->state, STATE_CREATION_REQUESTED);
    passes(12100);
    EXPECT_EQ(live(lost.id), nullptr);
}

// The user taxies off a stand, takes off and is then moved far away: every second the link asks for the
// user's block, and the pass, the stand shown, the radius, RealTraffic's position lines and the
// simulator time follow; the jump is a teleport.
TEST_F(Engine, TheUserIsFollowedFromTheStandIntoTheAirAndATeleportRestarts) {
    auto s = baseScenario();
    s.installedTitles = titles;
    const auto at = [](double t, const LatLon& p, double altitude, double speed, bool onGround) {
        return simconnect::PathPoint{t, p.lat, p.lon, altitude, 90.0, speed, onGround};
    };
    const LatLon taxiEnd = from(kUser, 90.0, 0.3);
    s.user.start = at(0.0, kUser, ground, 0.0, true);
    s.user.path = {at(10.0, kUser, ground, 0.0, true), at(40.0, taxiEnd, ground, 15.0, true),
                   at(70.0, from(kUser, 90.0, 3.0), 2000.0, 160.0, false),
                   at(100.0, from(kUser, 90.0, 8.0), 5000.0, 220.0, false),
                   at(100.01, from(kUser, 90.0, 32.0), 5000.0, 220.0, false)};
    startWith(s);
    gf_resetSimLinkForNextRun();
    connect();
    gf_requestUserOnGroundEverySecond();
    addStand(kUser);
    gf_simLinkServices().standNameAt = [](const LatLon& p) { return gf_standNameAt(p); };
    gf_simLinkServices().requestExit = [this](int reason, int argument) { exits.emplace_back(reason, argument); };
    gf_setProfessionalEdition(true);
    g_mainWindow.g_userStandText.set("");
    gf_startServer("0");
    g_realTrafficLocal = true;
    int error = 0;
    const int rt = net::gf_connectLoopback(gf_serverPort(), error);
    ASSERT_GE(rt, 0) << error;
    // RealTraffic answers the version request before it is taken as the client.
    net::gf_sendAll(rt, "{\"version\":\"10.0.200\",\"level\":2}\r\n");
    gf_waitForRealTraffic();

    struct Seen { LatLon user; std::string stand; int range; std::int64_t simTime; };
    const auto second = [&](int n) {
        for (int i = 0; i < n; ++i) passes(100);
        gf_autoLateralRange();
        return Seen{user(), g_mainWindow.g_userStandText.get(), LATERAL_RANGE.get(), g_simTimeSeconds.load()};
    };
    // 100 passes bring 33 frames (1.1 s of the simulator's time).
    const Seen atStand = second(8), taxied = second(30), airborne = second(42);
    EXPECT_LT(gf_distanceNm(atStand.user, kUser) * 1852.0, 1.0);
    EXPECT_EQ(atStand.stand, "A10");
    EXPECT_EQ(atStand.range, 8);
    EXPECT_LT(gf_distanceNm(taxied.user, taxiEnd) * 1852.0, 1.0);
    EXPECT_EQ(taxied.stand, "");
    EXPECT_GT(gf_distanceNm(airborne.user, kUser), 3.0);
    EXPECT_GT(g_userPosition.altitude, 2000.0);
    EXPECT_EQ(airborne.range, 40);
    EXPECT_GT(airborne.simTime, atStand.simTime);
    EXPECT_TRUE(exitRequests().empty());
    second(15);
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{EXIT_RESTART, 45}}));
    EXPECT_NE(logText().find("Teleport"), std::string::npos);

    std::string lines;
    char buffer[4096];
    while (net::gf_waitReadable(rt, 200)) {
        const long n = net::gf_receiveSome(rt, buffer, sizeof buffer, error);
        if (n <= 0) break;
        lines.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(rt);
    gf_stopServer();
    g_realTrafficLocal = false;
    gf_setProfessionalEdition(false);
    std::set<std::string> positions;
    for (std::size_t p = lines.find("Qs121="); p != std::string::npos; p = lines.find("Qs121=", p + 1))
        positions.insert(lines.substr(p, lines.find('\r', p) - p));
    EXPECT_GT(positions.size(), 60u) << "one line a second, moving";
}

// A busy sky: 1,000 aircraft in range, each reporting once a second through the traffic queue. The
// engine fills MAX_LIVE and holds it, every aircraft in the simulator on data at most a few seconds
// old and flying where its feed had it the play delay before, from its creation on, the queue never
// above one record per aircraft. (Two simulated minutes: the steady state is reached after the play
// delay and the MAX_LIVE creations, and holds from then on.)
// RealTraffic away: the server is served once a pass, the pass that reports the user's position too.
// The server's clock is read a fixed number of times a serve, so a pass that serves twice reads it
// more often.
TEST_F(Engine, TheServerIsServedOncePerPass) {
    g_realTrafficLocal = true;
    passes(200);   // the user's position is known
    std::atomic<int> reads{0};
    gf_setServerClockForTests([&] { return ++reads, std::chrono::steady_clock::now(); });
    std::set<int> readsPerPass;
    for (int i = 0; i < 200; ++i) {
        const int before = reads.load();
        gf_trafficTick();
        readsPerPass.insert(reads.load() - before);
    }
    gf_setServerClockForTests({});
    g_realTrafficLocal = false;
    EXPECT_EQ(readsPerPass.size(), 1u);
    EXPECT_GT(*readsPerPass.begin(), 0);
}

TEST_F(Engine, ABusyFeedHoldsMaxLiveAircraftOnFreshData) {
    constexpr int kAircraft = 1000, kSeconds = 120, kMaxLive = 40;
    constexpr double kSpeedKn = 250.0, kPlayDelayS = 30.0;
    MAX_LIVE.set(kMaxLive);
    userBlock();   // the passes take the user's position from the simulator
    const std::uint64_t droppedBefore = g_trafficQueueDropped.load();
    std::size_t mostQueued = 0;
    double feedTime = 0.0;
    std::vector<int> inSimPerSecond;
    // Circles around the user at 250 kn, 5 to 35 nm out: the nearest stay the nearest.
    const auto radius = [](int i) { return 5.0 + i * 0.03; };
    const auto bearing = [&](int i, double t) {
        return i * 360.0 / kAircraft + (t - 1000.0) * kSpeedKn / 3600.0 / radius(i) * kRad2Deg;
    };
    for (int pass = 0; pass < kSeconds * 100; ++pass) {
        // Each pass, the ten aircraft whose report falls in it, the nearest first (so the count limit
        // has no farther aircraft to swap for nearer ones: that churn is not what is measured here).
        for (int i = pass % 100 * 10; i < pass % 100 * 10 + 10; ++i) {
            feedTime = 1000.0 + pass / 100.0;
            Record r{.id = 0x400000 + static_cast<std::uint32_t>(i), .callsign = "BAW" + std::to_string(100 + i),
                     .at = from(kUser, bearing(i, feedTime), radius(i)), .altitude = 6000.0 + i,
                     .track = std::fmod(bearing(i, feedTime) + 90.0, 360.0), .time = feedTime};
            feed(r);   // then handed over as the reader does
            TrafficUpdate u;
            {
                std::lock_guard lock(g_trafficMutex);
                u = std::move(g_trafficQueue.back());
                g_trafficQueue.pop_back();
            }
            gf_queueTrafficUpdate(u);
        }
        {
            std::lock_guard lock(g_trafficMutex);
            mostQueued = std::max(mostQueued, g_trafficQueue.size());
        }
        passes(1);
        if (pass % 100 == 99) {
            int inSim = 0;
            for (const LiveAircraft& a : g_liveAircraft) {
                if (a.state != STATE_IN_SIM) continue;
                ++inSim;
                EXPECT_LT(feedTime - a.lastSampleTime, 8.0) << a.callsign << " at " << pass / 100 << " s";
                // Seconds behind the feed beyond the play delay: the angle still to go on its circle.
                // (Created one every half second, many after their first record fell due, each is where
                // its records put it from its object's first pass.)
                const int i = std::stoi(a.callsign.substr(3)) - 100;
                const double flown = gf_initialBearing(kUser, {a.position.latitude, a.position.longitude}) * kRad2Deg;
                const double behind = std::remainder(bearing(i, feedTime - kPlayDelayS) - flown, 360.0) /
                                      (kSpeedKn / 3600.0 / radius(i) * kRad2Deg);
                EXPECT_LT(behind, 1.0) << a.callsign << " at " << pass / 100 << " s";
            }
            inSimPerSecond.push_back(inSim);
        }
    }
    // Full once the first samples were due (30 s) and the creations made (2 a second), and held.
    // A nearer aircraft that takes a farther one's place leaves a gap while it is created.
    const auto held = std::vector<int>(inSimPerSecond.begin() + 65, inSimPerSecond.end());
    EXPECT_GE(*std::min_element(held.begin(), held.end()), kMaxLive - 4);
    EXPECT_EQ(*std::max_element(held.begin(), held.end()), kMaxLive);
    EXPECT_GE(std::count(held.begin(), held.end(), kMaxLive), 40);
    EXPECT_LE(mostQueued, static_cast<std::size_t>(kAircraft));
    EXPECT_EQ(g_trafficQueueDropped.load(), droppedBefore);
    MAX_LIVE.set(MAX_LIVE.defaultValue);
}

// More aircraft due at once than the creation queue takes: the nearest to the user get the places,
// whatever order they came in (here the farthest first).
TEST_F(Engine, TheNearestDueAircraftAreQueuedFirst) {
    for (int i = 19; i >= 0; --i)
        feedTrack({.id = 0x400100 + static_cast<std::uint32_t>(i), .callsign = "BAW" + std::to_string(200 + i),
                   .at = from(kUser, 90.0, 1.0 + i)},
                  3, 5.0);
    passes(2950);
    std::vector<int> queued;
    for (int i = 0; i < 20; ++i)
        if (const LiveAircraft* a = live(0x400100 + static_cast<std::uint32_t>(i)); a && a->state == STATE_CREATION_REQUESTED)
            queued.push_back(i);
    EXPECT_EQ(queued, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
}

// A dispersing flood: aircraft fly straight out from the user at 150 to 350 kn, all starting at
// once, each followed by a new flight from the user once it is 12 nm out, and reported only while
// within the 8 nm range (as the reader keeps them). New flights fall due all the time while those
// in the simulator fly out of range: the sky holds near the number of aircraft it could show (in
// range as shown, 30 s behind the feed, and reported long enough to have had their turn in the
// creation queue), for as long as the flood lasts. (Five simulated minutes.)
TEST_F(Engine, ADispersingFloodKeepsTheSkyFilled) {
    constexpr int kSlots = 250, kSeconds = 300;
    constexpr double kRangeNm = 8.0, kRenewNm = 12.0;
    LATERAL_RANGE.set(static_cast<int>(kRangeNm));
    userBlock();
    const auto speed = [](int i) { return 150.0 + (i * 37 % 201); };
    const auto flown = [&](int i, double t) { return speed(i) * t / 3600.0; };   // nm since the start, all from the user
    const auto flight = [&](int i, double t) { return static_cast<std::uint32_t>(flown(i, t) / kRenewNm); };
    const auto out = [&](int i, double t) { return std::fmod(flown(i, t), kRenewNm); };
    std::vector<std::pair<int, int>> liveAndEligible;   // per second: in the simulator, and in range long enough
    for (int pass = 0; pass < kSeconds * 100; ++pass) {
        const double t = pass / 100.0;
        for (int i = pass % 100 * kSlots / 100; i < (pass % 100 + 1) * kSlots / 100; ++i) {
            if (out(i, t) > kRangeNm) continue;
            const std::uint32_t k = flight(i, t);
            const double bearing = i * 360.0 / kSlots + k * 47.0;
            TrafficUpdate u;
            u.flight = Flight{"", "A320", "EGLL", "LFPG", vrn::format("BAW{}", 1000 + i + 1000 * static_cast<int>(k % 8)), "", "", ""};
            u.hexid = 0x400000 + static_cast<std::uint32_t>(i) + 0x1000 * k;
            u.timeStamp = 1000.0 + t;
            PositionSample& sample = u.sample;
            const LatLon at = from(kUser, bearing, out(i, t));
            std::tie(sample.latitude, sample.longitude, sample.altitude, sample.airborne) = std::tuple{at.lat, at.lon, 4000.0, true};
            sample.groundSpeed = sample.trueAirspeed = speed(i);
            sample.track = bearing;
            gf_queueTrafficUpdate(u);
        }
        passes(1);
        if (pass % 100 != 99) continue;
        int inSim = 0, eligible = 0;
        for (const LiveAircraft& a : g_liveAircraft) inSim += a.state == STATE_IN_SIM;
        // In range and reported for more than the play delay and a few seconds of creation queue.
        // Shown 30 s behind its feed: in range then, and reported for 10 s before that (a few
        // seconds to wait for its turn in the creation queue).
        for (int i = 0; i < kSlots; ++i)
            eligible += t >= 40.0 && out(i, t - 30.0) <= kRangeNm && flight(i, t - 30.0) == flight(i, t - 40.0);
        liveAndEligible.emplace_back(inSim, eligible);
    }
    // Once the start's backlog is worked off (all of them at once, at two creations a second), the
    // sky holds, second by second, near the aircraft it could hold.
    expectSkyHolds(liveAndEligible, 180, "eligible");
    LATERAL_RANGE.set(40);
}


// A flood that appears at once: thousands of airborne aircraft anywhere from 3 to 35 nm of the user,
// each flying straight on at its own track and speed, reported only while within range (as the
// reader keeps them). Far more fall due together than the creation queue takes in minutes: once
// that first crowd is created, the sky holds near what it can show (in range 30 s behind the feed
// and reported long enough to have had its turn), also from the aircraft that waited through the
// crowd. (Ten simulated minutes.)
TEST_F(Engine, AFloodAppearingAtOnceIsShownOnceTheFirstCrowdIsCreated) {
    constexpr int kAircraft = 5000, kSeconds = 600;
    constexpr double kRangeNm = 10.0;
    LATERAL_RANGE.set(static_cast<int>(kRangeNm));
    userBlock();
    struct Plane { LatLon start; double track, speed; };
    std::vector<Plane> planes;
    std::mt19937 random(33);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < kAircraft; ++i) {
        const double distance = std::sqrt(9.0 + unit(random) * (35.0 * 35.0 - 9.0));   // even over the ring
        planes.push_back({from(kUser, unit(random) * 360.0, distance), unit(random) * 360.0, 150.0 + unit(random) * 300.0});
    }
    const auto at = [&](int i, double t) { return from(planes[i].start, planes[i].track, planes[i].speed * t / 3600.0); };
    const auto inRange = [&](int i, double t) { return t >= 0.0 && gf_distanceNm(kUser, at(i, t)) <= kRangeNm; };
    std::vector<std::pair<int, int>> liveAndShowable;
    for (int pass = 0; pass < kSeconds * 100; ++pass) {
        const double t = pass / 100.0;
        for (int i = pass % 100 * kAircraft / 100; i < (pass % 100 + 1) * kAircraft / 100; ++i) {
            if (!inRange(i, t)) continue;
            queueAirborne(i, t, at(i, t), planes[i].speed, planes[i].track);
        }
        passes(1);
        if (pass % 100 != 99) continue;
        int inSim = 0, showable = 0;
        for (const LiveAircraft& a : g_liveAircraft) inSim += a.state == STATE_IN_SIM;
        for (int i = 0; i < kAircraft; ++i) showable += inRange(i, t - 30.0) && inRange(i, t - 40.0);
        liveAndShowable.emplace_back(inSim, showable);
    }
    // The first crowd (some 370 in range at once, at two creations a second) is created by about
    // 330 s; from then on nothing waiting in range is lost for good.
    expectSkyHolds(liveAndShowable, 330, "showable");
    LATERAL_RANGE.set(40);
}

// A flood around a user on the ground: 5000 aircraft appear at once 3 to 35 nm away (even in distance
// and bearing, so crowded near the user), each on its own track at 200 to 480 kn and 3000 to 38000
// ft, of ten airlines, reported every second while within the 8 nm range. Creations go on at two a
// second for as long as aircraft wait, and once the first crowd (some 840) is created, the sky holds
// near what it can show. (Every flight has a livery here: one without is given up, and comes back.)
TEST_F(Engine, AFloodAroundAUserOnTheGroundKeepsTheRangeFilled) {
    constexpr int kAircraft = 5000, kSeconds = 320;
    constexpr double kRangeNm = 8.0;
    LATERAL_RANGE.set(static_cast<int>(kRangeNm));
    userBlock();
    static const char* const kAirlines[] = {"BAW", "DLH", "AFR", "KLM", "UAL", "AAL", "DAL", "RYR", "EZY", "UAE"};
    struct Plane { LatLon start; double track, speed, altitude; };
    std::vector<Plane> planes;
    std::mt19937 random(41);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < kAircraft; ++i) {
        const double distance = 3.0 + unit(random) * 32.0, bearing = unit(random) * 360.0;
        planes.push_back({from(kUser, bearing, distance), unit(random) * 360.0, 200.0 + unit(random) * 280.0,
                          3000.0 + unit(random) * 35000.0});
    }
    const auto at = [&](int i, double t) { return from(planes[i].start, planes[i].track, planes[i].speed * t / 3600.0); };
    const auto inRange = [&](int i, double t) { return t >= 0.0 && gf_distanceNm(kUser, at(i, t)) <= kRangeNm; };
    std::vector<std::pair<int, int>> liveAndShowable;
    std::vector<int> createdPerSecond;
    std::set<std::uint32_t> seenInSim;
    for (int pass = 0; pass < kSeconds * 100; ++pass) {
        const double t = pass / 100.0;
        for (int i = pass % 100 * kAircraft / 100; i < (pass % 100 + 1) * kAircraft / 100; ++i) {
            if (!inRange(i, t)) continue;
            TrafficUpdate u;
            u.flight = Flight{"", "A320", "EGLL", "LFPG", vrn::format("{}{}", kAirlines[i / 6 % 10], 100 + i), "", "", ""};
            u.hexid = 0x400000 + static_cast<std::uint32_t>(i);
            u.timeStamp = 1000.0 + t;
            PositionSample& sample = u.sample;
            const LatLon here = at(i, t);
            std::tie(sample.latitude, sample.longitude, sample.altitude, sample.airborne) =
                std::tuple{here.lat, here.lon, planes[i].altitude, true};
            sample.groundSpeed = sample.trueAirspeed = planes[i].speed;
            sample.track = planes[i].track;
            gf_queueTrafficUpdate(u);
        }
        passes(1);
        if (pass % 100 != 99) continue;
        int inSim = 0, showable = 0, created = 0;
        for (const LiveAircraft& a : g_liveAircraft)
            if (a.state == STATE_IN_SIM) {
                ++inSim;
                created += seenInSim.insert(a.aircraftId).second;
            }
        for (int i = 0; i < kAircraft; ++i) showable += inRange(i, t - 30.0) && inRange(i, t - 40.0);
        liveAndShowable.emplace_back(inSim, showable);
        createdPerSecond.push_back(created);
    }
    std::string figure;
    for (std::size_t s = 0; s < createdPerSecond.size(); s += 30) {
        int n = 0;
        for (std::size_t k = s; k < std::min(s + 30, createdPerSecond.size()); ++k) n += createdPerSecond[k];
        figure += vrn::format(" {}", n);
    }
    std::cout << "created per 30 s:" << figure << "\n";
    // Two a second while the crowd waits (from its first due samples at 30 s to 300 s).
    EXPECT_GE(std::accumulate(createdPerSecond.begin() + 30, createdPerSecond.begin() + 300, 0), 500) << figure;
    expectSkyHolds(liveAndShowable, 300, "showable");
    LATERAL_RANGE.set(40);
}

// A near crowd and a few far aircraft, all due at once, each circling the user (so its distance
// stays): nearest first never starves the far ones; kept waiting behind the crowd, the last of them
// comes right after the last near one.
TEST_F(Engine, FarAircraftWaitingBehindANearCrowdComeRightAfterIt) {
    constexpr int kNear = 400, kFar = 20, kSeconds = 300;
    constexpr double kSpeedKn = 200.0;
    userBlock();
    const auto radius = [](int i) { return i < kNear ? 2.0 + i * 0.005 : 30.0 + (i - kNear) * 0.1; };
    const auto bearing = [&](int i, double t) { return i * 137.5 + t * kSpeedKn / 3600.0 / radius(i) * kRad2Deg; };
    std::vector<int> createdAt(kNear + kFar, -1);
    for (int pass = 0; pass < kSeconds * 100; ++pass) {
        const double t = pass / 100.0;
        for (int i = pass % 100 * (kNear + kFar) / 100; i < (pass % 100 + 1) * (kNear + kFar) / 100; ++i) {
            queueAirborne(i, t, from(kUser, bearing(i, t), radius(i)), kSpeedKn, std::fmod(bearing(i, t) + 90.0, 360.0));
        }
        passes(1);
        if (pass % 100 != 99) continue;
        for (const LiveAircraft& a : g_liveAircraft) {
            const auto i = static_cast<int>(a.aircraftId - 0x400000);
            if (a.state == STATE_IN_SIM && i >= 0 && i < kNear + kFar && createdAt[i] < 0) createdAt[i] = pass / 100;
        }
    }
    const auto lastNear = *std::max_element(createdAt.begin(), createdAt.begin() + kNear);
    const auto lastFar = *std::max_element(createdAt.begin() + kNear, createdAt.end());
    ASSERT_GE(*std::min_element(createdAt.begin(), createdAt.end()), 0) << "every one is created";
    EXPECT_LE(lastFar, lastNear + 15) << "the far ones right after it, at two a second";
}

// Reports lost in bulk (a receive buffer too small for the feed's bursts): an aircraft whose queue ran
// down to its last sample while it waited is given up, but only until it is reported again; then it
// is shown like any new one.
TEST_F(Engine, AnAircraftGivenUpForLostReportsIsShownOnceTheyComeAgain) {
    userBlock();
    const auto report = [&](double t) { queueAirborne(0, t, from(kUser, 90.0, 5.0 - t * 200.0 / 3600.0), 200.0, 270.0); };
    const auto inSim = [] {
        return std::any_of(g_liveAircraft.begin(), g_liveAircraft.end(), [](const LiveAircraft& a) {
            return a.aircraftId == 0x400000 && (a.state == STATE_IN_SIM || a.state == STATE_CREATION_REQUESTED);
        });
    };
    report(0.0);   // then 50 s of its reports lost: its one sample falls due and it is given up
    passes(5000);
    ASSERT_TRUE(std::none_of(g_liveAircraft.begin(), g_liveAircraft.end(), [](const LiveAircraft& a) { return a.aircraftId == 0x400000; }));
    for (int second = 50; second < 100 && !inSim(); ++second) {
        report(second);
        passes(100);
    }
    EXPECT_TRUE(inSim()) << "shown within 50 s of its reports coming again";
}

}  // namespace
}  // namespace vrn::test
