// Half-hour sets of stand uses, and the wingspan fit of a stand.
#include <gtest/gtest.h>

#include "airports/stand_schedules.h"
#include "liveries/type_database.h"

namespace vrn {
namespace {

constexpr double kM = 1.0 / 1852.0;   // one metre in nautical miles

std::uint64_t bits(std::initializer_list<int> halfHours) {
    std::uint64_t hh = 0;
    for (int h : halfHours) hh |= std::uint64_t{1} << h;
    return hh;
}

StandUse use(std::uint64_t hh, std::uint32_t number = 1, std::uint32_t day = 3) {
    return StandUse{"DLH", "A320", "DAIBC", "DLH1", "DLH2", hh, number, day, 1};
}

Flight flight(const std::string& airline, const std::string& model) { return Flight{airline, model, "", "", "", "", "", ""}; }

TEST(StandSchedules, TestRangeLooksBackAndReportsThePreviousDay) {
    const struct { std::uint64_t hh; int start, back; bool found; int previousDay; } cases[] = {
        {0, 3, 5, false, 2},              // 3..0 tested, 2 half hours of the day before remain
        {0, 10, 4, false, -1},            // 10..6, all within the day
        {bits({6}), 10, 4, true, -1},     // the lowest half hour of the range counts
        {bits({5}), 10, 4, false, -1},    // one below the range does not
        {bits({0}), 3, 5, true, -1},
        {0, 0, 47, false, 46},            // never more than 46 of the previous day
        {bits({47}), 48, 2, false, -1},   // start outside the day: logged, false
    };
    for (const auto& c : cases) {
        int previous = 99;
        EXPECT_EQ(testRange(use(c.hh), c.start, c.back, previous), c.found) << c.start << "/" << c.back;
        EXPECT_EQ(previous, c.previousDay) << c.start << "/" << c.back;
    }
}

TEST(StandSchedules, MatchingByCallsignThenAirlineAndModel) {
    const Flight same = flight("DLH", "A320"), other = flight("BAW", "A320");
    StandUse dropped = use(1, 0), soft = use(1);
    soft.soft = 1;
    const std::tuple<const char*, Flight, StandUse, bool> cases[] = {
        {"DLH1", other, use(1), true},  {"DLH2", other, use(1), true},  {"XXX9", same, use(1), true},
        {"XXX9", other, use(1), false}, {"XXX9", flight("DLH", "A321"), use(1), false},
        {"DLH1", same, dropped, false}, {"DLH1", same, soft, false}};
    for (const auto& [callsign, f, u, matches] : cases) EXPECT_EQ(gf_standUseMatches(callsign, f, u), matches) << callsign;
    const std::vector<StandUse> uses{dropped, use(1, 2)};
    EXPECT_TRUE(gf_findStandUse(uses, "DLH1", other));
    EXPECT_FALSE(gf_findStandUse(uses, "", same)) << "an empty callsign finds nothing";
    EXPECT_FALSE(gf_findStandUse({dropped, soft}, "DLH1", same));
}

TEST(StandSchedules, ScheduleSearchTakesNeighboursOnTheSameDay) {
    std::vector<StandUse> uses{use(bits({47}), 1, 3), use(bits({0}), 2, 3)};
    // Half hour 0 finds the use whose only half hour is 47 of the same day, and 47 finds 0; not other days
    // or registrations.
    const std::tuple<int, int, const char*, int> cases[] = {{3, 0, "DAIBC", 0}, {3, 47, "DAIBC", 0}, {3, 1, "DAIBC", 1},
                                                            {3, 2, "DAIBC", 2}, {4, 0, "DAIBC", 2}, {3, 0, "DAIBD", 2}};
    for (const auto& [day, hh, reg, found] : cases)
        EXPECT_EQ(gf_scheduleSearch(uses, {gf_makeDaySlot(day, hh), reg}) - uses.begin(), found) << day << "/" << hh;

    uses[0].soft = 1;
    uses[1].number = 0;
    EXPECT_EQ(gf_scheduleSearch(uses, {gf_makeDaySlot(3, 0), "DAIBC"}), uses.end()) << "soft and dropped uses";
}

TEST(StandSchedules, AddingUsesNumbersThemDropsTrailingUnnumberedAndTakesTheRegistrationDatabase) {
    std::vector<StandUse> uses;
    const DaySlot when = gf_makeDaySlot(5, 20);
    EXPECT_EQ(gf_addStandUse(uses, flight("DLH", "A320"), false, when, "DLH1_", "DAIBC"), 1u);
    ASSERT_EQ(uses.size(), 1u);
    EXPECT_EQ(uses[0].callsign, "DLH1") << "the ghost mark is not learned";
    EXPECT_EQ(std::tuple(uses[0].hh, uses[0].day, uses[0].soft), std::tuple(bits({20}), 5u, 0));

    uses.insert(uses.end(), {use(1, 7), use(1, 0), use(1, 0)});
    EXPECT_EQ(gf_addStandUse(uses, flight("DLH", "A320"), true, when, "DLH3", "DAIBC"), 8u);
    ASSERT_EQ(uses.size(), 3u) << "the unnumbered entries at the end went first";
    EXPECT_EQ(uses.back().soft, 1);

    const auto saved = g_regDatabase;
    g_regDatabase = {{"D-AIBC", DbRecord{"DLH", "A319", "CLH", false}}, {"G-EUPA", DbRecord{"BAW", "", "", false}}};
    uses.clear();
    gf_addStandUse(uses, flight("XXX", "A320"), false, when, "CLH9", "DAIBC");   // found as the variant "D-AIBC"
    gf_addStandUse(uses, flight("XXX", "A320"), false, when, "BAW9", "GEUPA");
    gf_addStandUse(uses, flight("XXX", "A320"), false, when, "ZZZ9", "");
    g_regDatabase = saved;
    ASSERT_EQ(uses.size(), 3u);
    // The operator comes first; a record without type keeps the flight's.
    EXPECT_EQ(uses[0].airline + uses[0].model + uses[1].airline + uses[1].model + uses[2].airline, "CLHA319BAWA320XXX");
}

TEST(StandSchedules, UpdatingAUseMarksTheHalfHourAndTheCallsigns) {
    std::vector<StandUse> uses{use(bits({10}), 1), use(bits({10}), 2)};
    uses[1].callsign.clear();
    uses[1].coupled.clear();
    const DaySlot at12 = gf_makeDaySlot(3, 12);

    EXPECT_TRUE(gf_updateStandUse(uses, at12, 2, "BAW5_"));
    EXPECT_EQ(uses[1].callsign, "BAW5") << "an empty first callsign takes it";
    EXPECT_EQ(uses[1].hh, bits({10, 12}));
    EXPECT_EQ(uses[0].hh, bits({10})) << "only the numbered use changes";

    // A new callsign replaces the second; a known or empty one changes nothing but the half hour.
    for (const auto& [hh, callsign] : {std::pair{12, "DLH9"}, {13, "DLH1"}, {14, ""}})
        EXPECT_TRUE(gf_updateStandUse(uses, gf_makeDaySlot(3, hh), 1, callsign));
    EXPECT_EQ(uses[0].coupled, "DLH9");
    EXPECT_EQ(uses[0].hh, bits({10, 12, 13, 14}));

    EXPECT_FALSE(gf_updateStandUse(uses, at12, 3, "X")) << "no such use";
    uses[0].number = 0;
    EXPECT_FALSE(gf_updateStandUse(uses, at12, 0, "X")) << "number 0 is never a use";
    EXPECT_FALSE(gf_updateStandUse(uses, gf_makeDaySlot(3, 50), 2, "X")) << "half hour out of range is caught";
}

TEST(StandSchedules, WingspanFitsStandWithinHalfASizeStep) {
    // Up to 1.8 m too large, room within half the size step: 14 m up to 17.8 m, 21 m above.
    const struct { double halfSpanM, radiusM; bool fits; } cases[] = {
        {15.0, 13.21, true}, {15.0, 13.2, true}, {15.0, 13.1, false}, {15.0, 21.0, true},
                 {15.0, 23.0, false}, {20.0, 30.4, true}, {20.0, 30.6, false}};
    for (const auto& c : cases) {
        Stand stand({}, "S", {}, c.radiusM, false, false, false);
        EXPECT_EQ(gf_wingspanFitsStand(stand, c.halfSpanM * kM), c.fits) << c.halfSpanM << " in " << c.radiusM;
    }
}

}  // namespace
}  // namespace vrn
