// Stand search: the nearest stand for a stopped aircraft, the stand name at a position, a live aircraft's predicted stand.
#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/stand_learning.h"
#include "airports/stand_search.h"
#include "core/utilities.h"
#include "settings/settings_catalogue.h"
#include "simlink/sim_services.h"
#include "simlink/user_aircraft.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr double kM = 1.0 / 1852.0, kBaseLat = 40.0, kBaseLon = -74.0;

// A point `metres` north of the base (one minute of latitude is one nautical mile here).
LatLon north(double metres) { return {kBaseLat + metres / 1852.0 / 60.0, kBaseLon}; }

struct StandSpec { const char* name; double metresNorth, radiusM; bool cargo = false, ramp = false, heli = false, occupied = false; };

class StandSearchBase : public ::testing::Test {
protected:
    void SetUp() override {
        setStands({});
        g_apfUpdates = 0;
        g_userOnGround = g_softLearningAllowed = true;
        RANDOM.set(false), LEARN_SOFT.set(true);
        setParkAirport(Airport{"KJFK", "JFK", kBaseLat, kBaseLon, 13.0});
        gf_seedRandomForTests(7);
    }
    void TearDown() override {
        setStands({}), setParkAirport(Airport{});
        g_apfUpdates = 0;
        g_userOnGround = g_softLearningAllowed = false;
        RANDOM.set(savedRandom), LEARN_SOFT.set(savedLearnSoft);
        gf_setWallClockForTests({});
    }
    static void setParkAirport(const Airport& a) { std::lock_guard lock(g_standsMutex); g_parkAirport = a; }
    static Stand standAt(const char* name, double metresNorth, double radiusM = 20, bool cargo = false, bool ramp = false, bool heli = false) {
        return Stand({}, name, StandPlacement{north(metresNorth).lat, kBaseLon, 0.0}, radiusM, cargo, ramp, heli);
    }
    static void setStands(const std::vector<StandSpec>& specs) {
        std::lock_guard lock(g_standsMutex);
        g_stands.clear();
        for (const StandSpec& s : specs) {
            g_stands.push_back(standAt(s.name, s.metresNorth, s.radiusM, s.cargo, s.ramp, s.heli));
            g_stands.back().number = static_cast<std::uint32_t>(g_stands.size());
            g_stands.back().occupied = s.occupied;
        }
        gf_resetStandSearch();
    }
    static Aircraft plane(double halfSpanM, unsigned sizeClass = SIZE_LARGE) {
        Aircraft a;
        std::tie(a.aircraftId, a.callsign, a.registration, a.airline, a.model) = std::tuple(0xA00001, "AAL100", "N100AA", "AAL", "B738");
        a.halfWingspanNm = halfSpanM * kM, a.sizeClass = sizeClass;
        return a;
    }
    static std::string nearestName(const LatLon& p, const Aircraft& a, double radiusNm, bool byCallsign) {
        auto it = gf_nearestStand(p, a, radiusNm, byCallsign);
        return it == g_stands.end() ? "-" : it->id;
    }
    const bool savedRandom = RANDOM.get(), savedLearnSoft = LEARN_SOFT.get();
};

using NearestStand = StandSearchBase;

TEST_F(NearestStand, NearestFreeFittingStandOfItsKindWithinTheRadius) {
    const std::vector<StandSpec> four{{"FAR", 50, 20}, {"NEAR", 12, 20}, {.name = "OCC", .metresNorth = 5, .radiusM = 20, .occupied = true},
                                      {"OUT", 60, 20}};
    const std::vector<StandSpec> heli{{.name = "H1", .metresNorth = 10, .radiusM = 10, .heli = true}, {"G1", 30, 20}};
    const std::vector<StandSpec> tooFar{{"S1", 30, 16}}, close{{"S1", 15, 16}}, closeAndFitting{{"S1", 15, 16}, {"S2", 10, 22}};
    // firstRadiusM: the first stand's radius after the search. A 20 m half span is 4 m too large for a 16 m stand: a very
    // close one is taken and grown to the half span less 1 m, unless a nearer fitting stand comes after it.
    struct Case { const std::vector<StandSpec>& stands; double fromM, halfSpanM; unsigned sizeClass; double radiusNm;
                  const char* expected; double firstRadiusM; };
    for (const Case& c : {Case{four, 0, 18, SIZE_LARGE, kArrivalStandRadiusNm, "NEAR", 20}, {four, 0, 18, SIZE_LARGE, kCloseStandRadiusNm, "NEAR", 20},
                          {four, 57, 18, SIZE_LARGE, kCloseStandRadiusNm, "OUT", 20}, {four, -30, 18, SIZE_LARGE, kCloseStandRadiusNm, "-", 20},
                          {heli, 0, 8, SIZE_ROTORCRAFT, kArrivalStandRadiusNm, "H1", 10}, {heli, 0, 8, SIZE_LARGE, kArrivalStandRadiusNm, "-", 10},
                          {heli, 35, 8, SIZE_ROTORCRAFT, kArrivalStandRadiusNm, "-", 10}, {tooFar, 0, 20, SIZE_LARGE, kArrivalStandRadiusNm, "-", 16},
                          {close, 0, 20, SIZE_LARGE, kArrivalStandRadiusNm, "S1", 19}, {closeAndFitting, 0, 20, SIZE_LARGE, kArrivalStandRadiusNm, "S2", 16}}) {
        setStands(c.stands);
        EXPECT_EQ(nearestName(north(c.fromM), plane(c.halfSpanM, c.sizeClass), c.radiusNm, false), c.expected) << c.stands[0].name << " " << c.fromM;
        EXPECT_NEAR(g_stands[0].radius, c.firstRadiusM * kM, 1e-12) << c.expected;
        EXPECT_EQ(g_stands[0].radiusChanged, c.firstRadiusM == 19) << c.expected;
    }
    EXPECT_EQ(g_apfUpdates.load(), 1);
}

TEST_F(NearestStand, CallsignStandOnlyWhenNoStandWasTaken) {
    setStands({{"CS", 70, 20}, {"NEAR", 30, 20}});
    g_stands[0].uses.push_back(StandUse{"", "", "", "AAL100", "", 0, 1, 1});
    const Aircraft a = plane(18);
    EXPECT_EQ(nearestName(north(0), a, kArrivalStandRadiusNm, true), "NEAR");

    g_stands[1].occupied = 1;
    Aircraft unnamed = a;
    unnamed.callsign.clear();
    EXPECT_EQ(nearestName(north(0), a, kArrivalStandRadiusNm, true), "CS");
    EXPECT_EQ(nearestName(north(0), a, kArrivalStandRadiusNm, false) + nearestName(north(0), unnamed, kArrivalStandRadiusNm, true), "--")
        << "only when asked, by a callsign";
    g_stands[0].uses[0].soft = 1;
    EXPECT_EQ(nearestName(north(0), a, kArrivalStandRadiusNm, true), "-") << "a soft use is only a guess";
}

using StandNameAt = StandSearchBase;

TEST_F(StandNameAt, NearestWithin55MetresOnTheGroundOnly) {
    EXPECT_EQ(gf_standNameAt(north(0)) + "|" + gf_standNameOfNumber(0) + "|" + gf_standNameOfNumber(3), "|sid==0?|unknown");
    setStands({{"A", 20, 20}, {"B", -20, 20}, {"C", 40, 20}});
    EXPECT_EQ(gf_standNameAt(north(0)), "A") << "equally near: the first";
    EXPECT_EQ(gf_standNameAt(north(35)), "C");
    EXPECT_EQ(gf_standNameAt(north(100)), "");
    g_userOnGround = false;
    EXPECT_EQ(gf_standNameAt(north(35)), "") << "not even the remembered answer in the air";
    EXPECT_EQ(gf_standNameOfNumber(gf_findStandByName("B")->number), "B");
    g_userOnGround = true;
    gf_resetSimLinkServices();   // the simulator link asks the stand search
    EXPECT_EQ(gf_simLinkServices().standNameAt(north(35)), "C");
}

TEST_F(StandNameAt, NewStandListIsNotAnsweredFromTheCache) {
    setStands({{"A", 0, 20}});
    EXPECT_EQ(gf_standNameAt(north(1)), "A");
    {   // Emptied and refilled in the same storage, to the same size, without telling the search.
        std::lock_guard lock(g_standsMutex);
        g_stands = {standAt("X", 1), standAt("Y", 1)};
    }
    EXPECT_EQ(gf_standNameAt(north(1)), "X");
}

TEST_F(StandNameAt, SimulatorThreadAsksWhileTheRunThreadReplacesTheStands) {
    // A list is in place before the simulator thread asks, and each replacement holds the same stands, so every
    // answer is a name, however the two threads interleave; a half-replaced list would show as an empty one.
    const std::vector<StandSpec> stands{{"A", 0, 20}, {"B", 3, 20}, {"C", 6, 20}};
    setStands(stands);
    std::atomic<bool> asking{false}, done{false};
    std::atomic<int> asked{0}, answered{0};
    std::thread link([&] {
        for (int i = 0; !done.load() || i < 200; ++i, ++asked) {
            answered += !gf_standNameAt(north(i % 7)).empty();
            asking = true;
        }
    });
    while (!asking.load()) std::this_thread::yield();
    for (int round = 0; round < 200; ++round) setStands(stands);
    done = true;
    link.join();
    EXPECT_EQ(answered.load(), asked.load());
}

class ChooseStand : public StandSearchBase {
protected:
    void SetUp() override { StandSearchBase::SetUp(), g_feedTimeIsProgramTime = false, at(kStart); }
    void at(std::time_t t) { gf_setWallClockForTests([t] { return t; }); }   // the wall clock
    LiveAircraft live(const Aircraft& a) {
        LiveAircraft l(a, PositionSample{kBaseLat + 0.01, kBaseLon}, 0.0);
        l.cargo = a.cargo;   // known once its livery is chosen
        std::tie(l.position.latitude, l.position.longitude) = std::pair(kBaseLat + 0.01, kBaseLon);
        return l;
    }
    // Names of the stands holding a soft use of the test aircraft.
    static std::string softStands() {
        std::string names;
        for (const Stand& s : g_stands)
            for (const StandUse& u : s.uses)
                if (u.soft && u.reg == "N100AA") names += (names.empty() ? "" : ",") + s.id;
        return names;
    }
    static StandUse useAt(const char* reg, DaySlot when, int shift = 0, std::uint8_t soft = 1) {
        return StandUse{"", "", reg, "", "", std::uint64_t{1} << ((gf_slotHalfHour(when) + shift) % 48), 1,
                        static_cast<std::uint32_t>(gf_slotDay(when)), 0, soft};
    }
    static void busyAt(Stand& stand, DaySlot when) { stand.uses.push_back(useAt("OTHER", when)); }
    static constexpr std::time_t kStart = 1767000000;   // a fixed moment; its day slot is read back
};

TEST_F(ChooseStand, BestFittingFreeStandOfTheAircraftsKindIsRecordedAsSoftUse) {
    struct Case { const char* what; Aircraft aircraft; const char* stand; };
    Aircraft pvt = plane(15), cargo = plane(18);
    pvt.airline = "PVT", cargo.cargo = true;
    const Case cases[] = {{"private large", pvt, "RAMP"}, {"light", plane(6, SIZE_LIGHT), "RAMP"}, {"freighter", cargo, "CARGO"},
                          {"helicopter", plane(7, SIZE_ROTORCRAFT), "HELI"}, {"airliner at a K airport", plane(18), "GATE"}};
    const DaySlot now = gf_nowDaySlot();
    for (const Case& c : cases) {
        // A roomier gate and a busy snug one come first: the best fitting free stand wins.
        setStands({{"LARGE", 50, 40}, {"BUSY", 60, 19}, {"GATE", 100, 19}, {"RAMP", 200, 19, false, true},
                   {"CARGO", 300, 19, true}, {"HELI", 400, 8, false, false, true}});
        busyAt(g_stands[1], now);
        LiveAircraft a = live(c.aircraft);
        gf_chooseStand(a);
        EXPECT_EQ(softStands(), c.stand) << c.what;
    }
    // The soft use records the aircraft and the half hour of now.
    const StandUse& use = g_stands[2].uses.at(0);
    EXPECT_TRUE(use.day == static_cast<std::uint32_t>(gf_slotDay(now)) && use.hh == std::uint64_t{1} << gf_slotHalfHour(now));
    // Too large for every stand: sizes count in whole nautical miles, all alike, so the first free one.
    setStands({{"SMALL", 100, 5}, {"NEARER", 200, 25}});
    LiveAircraft big = live(plane(40));
    gf_chooseStand(big);
    EXPECT_EQ(softStands(), "SMALL");
}

TEST_F(ChooseStand, NoSecondSearchWithinThreeHalfHours) {
    setStands({{"GATE", 100, 19, false, false, true}});   // a helipad: nothing for a jet yet
    LiveAircraft a = live(plane(18));
    for (auto [halfHours, expected] : {std::pair{0, ""}, {0, ""}, {2, ""}, {3, "GATE"}}) {   // the second: the same half hour
        at(kStart + halfHours * 1800);
        gf_chooseStand(a);
        EXPECT_EQ(softStands(), expected) << halfHours;
        g_stands[0].heli = 0;
    }
    // A stand use recorded for the aircraft (its arrival or departure) holds the search off as well.
    setStands({{"GATE", 100, 19}});
    gf_rememberStandUseSlot(a.aircraftId, gf_nowDaySlot());
    gf_chooseStand(a);
    EXPECT_EQ(softStands(), "");
}

TEST_F(ChooseStand, NextHalfHourIsTriedOnlyAtLargerAirports) {
    const DaySlot now = gf_nowDaySlot();
    for (std::size_t count : {10u, 11u}) {
        std::vector<StandSpec> specs;
        for (std::size_t i = 0; i < count; ++i) specs.push_back({"S", 100.0 + 10.0 * static_cast<double>(i), 19});
        setStands(specs);
        for (Stand& s : g_stands) busyAt(s, now);
        LiveAircraft a = live(plane(18));
        gf_chooseStand(a);
        EXPECT_EQ(softStands().empty(), count == 10) << count << " stands";
    }
}

TEST_F(ChooseStand, NothingWhenNotWantedOrAlreadyScheduled) {
    setStands({{"GATE", 100, 19}, {"OTHER", 200, 19}});
    LiveAircraft a = live(plane(18));
    LEARN_SOFT.set(false);
    gf_chooseStand(a);
    LEARN_SOFT.set(true), g_softLearningAllowed = false;
    gf_chooseStand(a);
    g_softLearningAllowed = true;
    LiveAircraft far = a, parked = a;
    far.position.latitude = kBaseLat + 0.1, parked.standId = 2;   // 6 nm north; already at a stand
    gf_chooseStand(far), gf_chooseStand(parked);
    ASSERT_EQ(softStands(), "");
    // A real use of its registration around now at any stand: its stand is known.
    g_stands[1].uses.push_back(useAt("N100AA", gf_nowDaySlot(), 1, 0));
    gf_chooseStand(a);
    EXPECT_EQ(softStands(), "");
}

}  // namespace
}  // namespace vrn
