// Learning stand uses from live traffic: real and soft records, a stay's half hours (also over midnight), coupled callsigns.
#include <gtest/gtest.h>

#include <mutex>

#include "airports/airport_files.h"
#include "airports/stand_learning.h"
#include "airports/stand_search.h"
#include "settings/settings_catalogue.h"

namespace vrn {
namespace {

std::uint64_t bits(std::initializer_list<int> halfHours) { std::uint64_t hh = 0; for (int h : halfHours) hh |= std::uint64_t{1} << h; return hh; }

class StandLearning : public ::testing::Test {
protected:
    void SetUp() override {
        std::lock_guard lock(g_standsMutex);
        g_stands.clear();
        for (std::uint32_t i = 1; i <= 3; ++i)
            g_stands.emplace_back(std::vector<StandUse>{}, "A" + std::to_string(i), StandPlacement{50.0 + i * 0.001, 8.0, 0.0}, 20.0, false, false, false)
                .number = i;
        gf_resetStandSearch(), g_apfUpdates = 0;
        std::tie(aircraft.aircraftId, aircraft.callsign, aircraft.registration, aircraft.airline, aircraft.model) =
            std::tuple(0x3C6444, "DLH4AB", "DAIBC", "DLH", "A320");
    }
    void TearDown() override {
        std::lock_guard lock(g_standsMutex);
        g_stands.clear();
        gf_resetStandSearch(), g_apfUpdates = 0;
    }
    static std::vector<StandUse>& uses(int standNumber) { return g_stands[standNumber - 1].uses; }

    Aircraft aircraft;
};

TEST_F(StandLearning, StayOfUpToFiveHalfHoursIsFilledOnDeparture) {
    EXPECT_EQ(gf_recordStandUse(1, aircraft, false, gf_makeDaySlot(2, 10), false), 1);
    EXPECT_EQ(gf_recordStandUse(1, aircraft, true, gf_makeDaySlot(2, 13), true), 1);
    ASSERT_EQ(uses(1).size(), 1u);
    EXPECT_TRUE(uses(1)[0].hh == bits({10, 11, 12, 13}) && uses(1)[0].number == 1u && uses(1)[0].day == 2u && !uses(1)[0].soft);
    EXPECT_TRUE(g_stands[0].realRecords.empty()) << "leaving forgets the aircraft";
    EXPECT_EQ(g_apfUpdates.load(), 2);

    // Seven half hours later is too long a stay to fill.
    aircraft.aircraftId = 7, aircraft.registration = "DAIBD";
    gf_recordStandUse(2, aircraft, false, gf_makeDaySlot(2, 10), false);
    gf_recordStandUse(2, aircraft, true, gf_makeDaySlot(2, 17), true);
    EXPECT_EQ(uses(2)[0].hh, bits({10, 17}));

    // Over midnight from Sunday to Monday both days are filled.
    EXPECT_EQ(gf_recordStandUse(3, aircraft, false, gf_makeDaySlot(7, 46), false), 1);
    EXPECT_EQ(gf_recordStandUse(3, aircraft, true, gf_makeDaySlot(1, 1), true), 1);
    ASSERT_EQ(uses(3).size(), 2u);
    EXPECT_TRUE(uses(3)[0].day == 7u && uses(3)[0].hh == bits({46, 47}) && uses(3)[1].day == 1u && uses(3)[1].hh == bits({0, 1}) &&
                uses(3)[1].number == 2u);
}

TEST_F(StandLearning, RepeatsFileUsesAndIncompleteAircraftChangeNothing) {
    EXPECT_EQ(gf_recordStandUse(1, aircraft, false, gf_makeDaySlot(3, 20), false), 1);
    EXPECT_EQ(gf_recordStandUse(1, aircraft, false, gf_makeDaySlot(3, 20), false), 0) << "same half hour";
    EXPECT_EQ(g_apfUpdates.load(), 1);

    uses(2).push_back(StandUse{"", "", "DAIBC", "", "", bits({5}), 1, 3});   // learning flag clear: read from a file
    EXPECT_EQ(gf_recordStandUse(2, aircraft, false, gf_makeDaySlot(3, 21), false), 0);
    EXPECT_TRUE(uses(2).size() == 1u && uses(2)[0].hh == bits({5})) << "no second use for the same registration and day";

    Aircraft noReg = aircraft, noCallsign = aircraft;
    noReg.registration.clear(), noCallsign.callsign.clear();
    for (const auto& [stand, a] : {std::pair{3, noReg}, {3, noCallsign}, {9, aircraft}, {0, aircraft}})
        EXPECT_EQ(gf_recordStandUse(stand, a, false, gf_makeDaySlot(3, 20), false), 0) << stand;
    EXPECT_TRUE(uses(3).empty());
    EXPECT_EQ(gf_recordStandUse(1, aircraft, false, gf_makeDaySlot(3, 48), false), 0) << "bad slot is caught";
}

TEST_F(StandLearning, ReturnAfterAnAbsenceAndCoupledCallsign) {
    // Arrived at 10, its departure was never seen (removed elsewhere); back at 13 and leaving at 14.
    for (auto [hh, leaving] : {std::pair{10, false}, {13, false}, {14, true}}) gf_recordStandUse(1, aircraft, leaving, gf_makeDaySlot(4, hh), leaving);
    EXPECT_EQ(uses(1)[0].hh, bits({10, 13, 14}));

    // A callsign that changed by departure becomes the coupled one.
    gf_recordStandUse(2, aircraft, false, gf_makeDaySlot(4, 10), false);
    Aircraft departing = aircraft;
    departing.callsign = "DLH5CD_";
    gf_recordStandUse(2, departing, true, gf_makeDaySlot(4, 12), true);
    EXPECT_EQ(uses(2)[0].callsign + " " + uses(2)[0].coupled, "DLH4AB DLH5CD");
}

TEST_F(StandLearning, SoftUsesAreKeptApartAndIndexedByAircraft) {
    const DaySlot at8 = gf_makeDaySlot(5, 8);
    gf_recordStandUse(2, aircraft, false, at8, false);
    EXPECT_EQ(gf_recordSoftStandUse(2, aircraft, false, at8), 1) << "the real use does not count as soft";
    ASSERT_TRUE(uses(2).size() == 2u && uses(2)[1].soft == 1);
    DaySlot recordedAt = 0;
    EXPECT_TRUE(gf_softStandOf(aircraft.aircraftId, recordedAt) == 2u && recordedAt == at8);
    EXPECT_EQ(gf_recordSoftStandUse(2, aircraft, true, gf_makeDaySlot(5, 10)), 1);
    EXPECT_TRUE(uses(2)[1].hh == bits({8, 9, 10}) && uses(2)[0].hh == bits({8}));

    {   // the park airport was given up
        std::lock_guard lock(g_standsMutex);
        g_stands.clear();
    }
    EXPECT_EQ(gf_softStandOf(aircraft.aircraftId, recordedAt), 0u);
}

class CoupledCallsign : public StandLearning {
protected:
    void addUse(int stand, std::uint32_t day, int halfHour, const std::string& cs, const std::string& coupled, bool soft = false) {
        const auto number = static_cast<std::uint32_t>(uses(stand).size() + 1);
        uses(stand).push_back(StandUse{"DLH", "A320", "DAIBC", cs, coupled, bits({halfHour}), number, day, 0, static_cast<std::uint8_t>(soft)});
    }
    bool found(DaySlot now) {
        aircraft.knownCallsign.clear(), aircraft.coupledCallsign.clear();
        gf_searchForCoupledCsAroundThisTime(now, aircraft);
        return !aircraft.coupledCallsign.empty();
    }
};

TEST_F(CoupledCallsign, WindowIsFiveHoursOrSevenForHeavies) {
    addUse(3, 6, 30, "DLH4AB", "DLH5CD");
    aircraft.callsign = "DLH5CD_", aircraft.sizeClass = SIZE_LARGE;
    EXPECT_TRUE(found(gf_makeDaySlot(6, 20)));
    EXPECT_TRUE(aircraft.knownCallsign == "DLH4AB" && aircraft.coupledCallsign == "DLH5CD" && aircraft.coupledSearchDone);
    for (auto [size, day, hh, expected] : {std::tuple{SIZE_LARGE, 6, 40, true}, {SIZE_LARGE, 6, 19, false},
             {SIZE_LARGE, 6, 41, false}, {SIZE_LARGE, 5, 30, false}, {SIZE_HEAVY, 6, 16, true}, {SIZE_HEAVY, 6, 44, true},
             {SIZE_HEAVY, 6, 15, false}}) {
        aircraft.sizeClass = size;
        EXPECT_EQ(found(gf_makeDaySlot(day, hh)), expected) << size << " " << day << " " << hh;
    }
}

TEST_F(CoupledCallsign, NeverAcrossMidnightAndOnlyFromRealCompleteUses) {
    addUse(1, 6, 47, "DLH4AB", "DLH5CD");
    aircraft.sizeClass = SIZE_HEAVY;
    EXPECT_TRUE(!found(gf_makeDaySlot(7, 0)) && found(gf_makeDaySlot(6, 47)));

    uses(1).clear();
    addUse(1, 6, 20, "DLH4AB", "");                 // no couple known
    addUse(2, 6, 20, "DLH4AB", "DLH5CD", true);     // soft: only a guess
    EXPECT_FALSE(found(gf_makeDaySlot(6, 20)));
    aircraft.airline = "BAW";
    addUse(3, 6, 20, "DLH4AB", "DLH5CD");
    EXPECT_FALSE(found(gf_makeDaySlot(6, 20))) << "another airline";
    aircraft.airline = "DLH";
    EXPECT_TRUE(found(gf_makeDaySlot(6, 20)));
}

}  // namespace
}  // namespace vrn
