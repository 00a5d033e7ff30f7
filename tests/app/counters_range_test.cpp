// Counters refresh, automatic range and the exception reporter.
#include <new>

#include "airports/park_airports.h"
#include "app/counters.h"
#include "app/exception_reporter.h"
#include "controls_test_fixture.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "simlink/user_aircraft.h"

namespace vrn::test {
namespace {

using Counters = WindowTest;

TEST_F(Counters, AutoRangeByGroundHeightAndDistance) {
    AIRPORT_HEIGHT.set(18000);
    struct Case {
        bool ground;
        double altitude, distance;
        int range;
    };
    for (const Case& c : {Case{true, 30000, 100, 8}, Case{false, 18001, 1, 40}, Case{false, 18000, 20.5, 24},
                          Case{false, 5000, 4.9, 8}, Case{false, 5000, 5.0, 8}, Case{false, 5000, 5.4, 8},
                          Case{false, 5000, 36.9, 40}, Case{false, 5000, 37, 40}, Case{false, 5000, 10000, 40}})
        EXPECT_EQ(gf_autoRangeFor(c.ground, c.altitude, c.distance), c.range) << c.distance << " nm";
}

TEST_F(Counters, AutoRangeSetsTheThreeFormsAndShowsOnlyAChange) {
    gf_setUserStateForTests([] { return UserState{false, 3000.0, LatLon{51.0, 0.0}}; });
    {
        std::lock_guard lock(g_parkAirportListMutex);
        g_parkAirportList.clear();
    }
    gf_setLateralRange(12);
    gf_autoLateralRange();
    EXPECT_EQ(LATERAL_RANGE.get(), 40) << "no park airport: far away";
    EXPECT_EQ(window.text(LATERAL_RANGE.controlId), "40");

    {
        std::lock_guard lock(g_parkAirportListMutex);
        g_parkAirportList.push_back(ParkAirportEntry{"EGLL", "", LatLon{51.0 + 20.0 / 60.0, 0.0}, 0.0});
    }
    gf_autoLateralRange();
    EXPECT_EQ(LATERAL_RANGE.get(), 23);
    EXPECT_EQ(g_lateralRangeMetres.load(), 23 * 1852);
    EXPECT_FALSE(std::filesystem::exists(paramsPath())) << "the chosen range is never saved";

    window.setText(LATERAL_RANGE.controlId, "typed");
    gf_autoLateralRange();
    EXPECT_EQ(window.text(LATERAL_RANGE.controlId), "typed") << "unchanged: the field is left alone";
    std::lock_guard lock(g_parkAirportListMutex);
    g_parkAirportList.clear();
}

TEST_F(Counters, RefreshRepaintsOnlyTheBandsWhoseNumbersChanged) {
    // The engine's lists are empty: every count the window shows goes back to 0.
    gf_refreshCounters();
    (void)window.takeInvalidated();
    for (const auto& [live, parkedStatic, bands] :
         {std::tuple{0, 0, std::vector<ui::Rect>{}}, {3, 0, {gf_bandRect(Band::Counters)}},
          {0, 9, {gf_bandRect(Band::Park)}}, {2, 1, {gf_bandRect(Band::Counters), gf_bandRect(Band::Park)}}}) {
        g_mainWindow.g_liveCount = live;
        g_mainWindow.g_parkedStaticCount = parkedStatic;
        gf_refreshCounters();
        EXPECT_EQ(window.takeInvalidated(), bands) << live << " " << parkedStatic;
        EXPECT_EQ(g_mainWindow.g_liveCount.load() + g_mainWindow.g_parkedStaticCount.load(), 0);
    }
}

TEST_F(Counters, ReporterTellsUserErrorsFromSystemFailures) {
    struct Case {
        std::function<void()> raise;
        std::string shown;
        bool exit;
    };
    const Case cases[] = {
        {[] { throw UserErrorException(41, "Varnel must be run from the Varnel folder!"); },
         "41: Varnel must be run from the Varnel folder!", false},
        {[] { throw fmt::format_error("bad spec"); }, "std::format error: bad spec", false},
        {[] { throw std::out_of_range("vector index"); }, "mainLoop: vector index", true},
        {[] { throw std::bad_alloc(); }, "mainLoop: std::bad_alloc", true},
        {[] { throw SysErrorException(30, "bind"); }, "mainLoop: sys error 30: bind", true},
        {[] { throw std::logic_error("odd"); }, "mainLoop: odd", true},
        {[] { throw 42; }, "Unknown exception", false},
    };
    for (const Case& c : cases) {
        exits.clear();
        gf_clearError();
        try {
            c.raise();
        } catch (...) {
            gf_reportException("mainLoop");
        }
        EXPECT_EQ(g_mainWindow.g_errorText.get(), c.shown);
        EXPECT_EQ(logCount("Error " + c.shown), 1);
        EXPECT_EQ(exits, (c.exit ? decltype(exits){{5, 0}} : decltype(exits){})) << c.shown;
    }
    gf_clearError();
    gf_reportException("nothing");   // outside a handler: logged, the process lives on
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "");
}

}  // namespace
}  // namespace vrn::test
