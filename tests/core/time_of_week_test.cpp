// Time of week with an injected wall clock and feed time.
#include <gtest/gtest.h>

#include <cstdio>

#include <atomic>
#include <random>

#include "core/time_of_week.h"

namespace vrn {
namespace {

constexpr std::time_t kThuDec5 = 1733356800;        // Thu Dec  5 00:00:00 2024
constexpr std::time_t kMonDec2 = 1733097600;        // Mon Dec  2 00:00:00 2024
constexpr std::time_t kSunDec8Last = 1733702399;    // Sun Dec  8 23:59:59 2024

class TimeOfWeekTest : public ::testing::Test {
protected:
    void SetUp() override { setClock(kThuDec5); }
    void TearDown() override {
        gf_setWallClockForTests({});
        g_feedTimeIsProgramTime = false;
        g_feedTimeStamp = 0.0;
    }
    void setClock(std::time_t t) { gf_setWallClockForTests([t] { return t; }); }
};

TEST_F(TimeOfWeekTest, UtcTextHasTheAsctimeLayout) {
    // The layout the C standard gives asctime is the reference, over a thousand years (the Windows
    // C library's own asctime pads the day with a zero instead).
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::mt19937_64 random(7);
    for (int i = 0; i < 2000; ++i) {
        const std::time_t t = static_cast<std::time_t>(random() % 32503680000ULL);   // 1970 .. 2999
        std::tm fields{};
        ASSERT_NE(::gmtime_r(&t, &fields), nullptr);
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.3s %.3s%3d %.2d:%.2d:%.2d %d", days[fields.tm_wday],
                      months[fields.tm_mon], fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                      1900 + fields.tm_year);
        ASSERT_EQ(gf_utcTimeText(t), std::string(buffer)) << t;
    }
    // Times no four-digit year can show stay in the layout.
    EXPECT_EQ(gf_utcTimeText(-5).size(), 24u);
    EXPECT_EQ(gf_utcTimeText(std::numeric_limits<std::time_t>::max()).size(), 24u);
}

TEST_F(TimeOfWeekTest, ClockCutsAndProgramTime) {
    setClock(kThuDec5 + 3600 + 2 * 60 + 3);
    EXPECT_EQ(gf_wallClockHhMmSs(), "01:02:03");
    // The feed's time counts only with the flag set and a stamp other than 0; it is truncated.
    g_feedTimeStamp = 1733704200.9;   // Mon Dec  9 00:30:00.9
    EXPECT_EQ(gf_programTime(), kThuDec5 + 3723);
    g_feedTimeIsProgramTime = true;
    EXPECT_EQ(gf_nowHhMmSs(), "00:30:00");
    EXPECT_EQ(gf_wallClockHhMmSs(), "01:02:03");   // the wall clock never takes the feed's time
    EXPECT_EQ(gf_nowDaySlot(), gf_makeDaySlot(1, 1));
    g_feedTimeStamp = 0.0;   // no traffic yet
    EXPECT_EQ(gf_programTime(), kThuDec5 + 3723);
}

TEST_F(TimeOfWeekTest, SlotsOfNowAtTheEdgesAndAcrossMidnight) {
    for (auto [t, expected] :
         {std::pair{kMonDec2, 0}, {kMonDec2 + 1799, 0}, {kMonDec2 + 1800, 1}, {kMonDec2 + 86399, 47}})
        EXPECT_EQ(gf_halfHourOf(t), expected) << gf_utcTimeText(t);
    setClock(kThuDec5 + 13 * 3600 + 30 * 60);
    EXPECT_EQ(gf_nowDaySlot(), gf_makeDaySlot(4, 27));
    // Each reading of the clock is one second later: Sunday 23:59:59, then Monday 00:00:00.
    // One reading serves both halves, so the slot cannot mix the two days.
    std::atomic<int> reads{0};
    gf_setWallClockForTests([&reads] { return kSunDec8Last + reads++; });
    EXPECT_EQ(gf_nowDaySlot(), gf_makeDaySlot(7, 47));
    EXPECT_EQ(gf_nowDaySlot(), gf_makeDaySlot(1, 0));
}

TEST_F(TimeOfWeekTest, HalfHoursBetweenSlotsAndDayNames) {
    for (int bad : {0, 8}) EXPECT_THROW((void)gf_dayName(bad), std::out_of_range) << bad;
    EXPECT_EQ(gf_decodeDay("Sun"), 7);
    EXPECT_EQ(gf_decodeDay("Monday"), 0);
    struct Case { int dayA, hhA, dayB, hhB; std::uint32_t expected; } const cases[] = {
        {1, 0, 7, 47, 1}, {2, 0, 1, 47, 1}, {3, 10, 3, 10, 0}, {1, 47, 7, 0, 95}, {5, 27, 1, 0, 4 * 48 + 27},
        {6, 24, 1, 24, 5 * 48},   // only Sunday to Monday wraps: Saturday counts as later than Monday
        {2, 0, 7, 0, 5 * 48},     // Sunday is the later day of Tuesday and Sunday
    };
    for (const auto& c : cases) {
        const auto a = gf_makeDaySlot(c.dayA, c.hhA), b = gf_makeDaySlot(c.dayB, c.hhB);
        EXPECT_EQ(gf_halfHoursBetween(a, b), c.expected) << gf_daySlotText(a) << " / " << gf_daySlotText(b);
        EXPECT_EQ(gf_halfHoursBetween(b, a), c.expected) << "swapped";
    }
}

TEST_F(TimeOfWeekTest, TodayDateCodeFollowsTheWallClockDay) {
    setClock(kThuDec5 + 86399);
    g_feedTimeIsProgramTime = true;
    g_feedTimeStamp = 1733704200.0;   // the feed's day does not count
    EXPECT_EQ(gf_todayDateCode(), gf_scrambleCode("DEC 52024"));
    setClock(kThuDec5 + 20 * 86400);
    EXPECT_EQ(gf_todayDateCode(), gf_scrambleCode("DEC252024"));
}

}  // namespace
}  // namespace vrn
