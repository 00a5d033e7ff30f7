// The demo airports as varnel-data stages them, through the run's hooks and the simulated simulator:
// the park airport chosen, filled with statics, a live arrival taking a static's stand, and saved.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <set>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "airports/stand_schedules.h"
#include "app/gui_requests.h"
#include "app/painting.h"
#include "app/run_thread.h"
#include "core/text_files.h"
#include "core/utilities.h"
#include "feed/udp_readers.h"
#include "liveries/livery_data.h"
#include "liveries/livery_index.h"
#include "liveries/regcodes.h"
#include "liveries/type_database.h"
#include "liveries/type_queries.h"
#include "simlink/link_fixture.h"
#include "simlink/user_aircraft.h"
#include "support/process.h"
#include "traffic/engine_steps.h"
#include "traffic/park_airport_choice.h"
#include "traffic/static_parking.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

const LatLon kAtEgll{51.4713, -0.4877};
const LatLon kAtEglf{51.2758, -0.776333};   // Farnborough: an airport without a parking file

class ParkDemo : public LinkFixture {
protected:
    fs::path program;
    std::optional<ScopedCurrentDir> cd;
    UserState user{true, 83.0, kAtEgll};

    void SetUp() override {
        LinkFixture::SetUp();
        if (!test::dataBuilderBuilt()) GTEST_SKIP() << "varnel-data not built";
        program = dir / "program";
        const fs::path source = fs::path(VARNEL_TEST_DATA).parent_path().parent_path() / "data";
        ASSERT_EQ(test::runDataBuilder({"all", "--source", source.string(), "--program", program.string(),
                                        "--packages", (dir / "packages").string()},
                                       dir / "varnel-data.out"),
                  0);
        cd.emplace(program);
        ASSERT_TRUE(gf_readDbase());
        g_liveries.clear();
        simconnect::SimScenario scenario = baseScenario();
        scenario.user.start.lat = kAtEgll.lat;
        scenario.user.start.lon = kAtEgll.lon;
        for (const char* model : {"A320", "A321", "A319", "A35K", "B77W", "A388", "B772", "B738", "B763", "B744",
                                  "B752", "C172", "P28A", "C550"}) {
            g_liveries.push_back(LiveryData{"ZZZ", model, std::string("Generic ") + model, "", 0, false});
            scenario.installedTitles.push_back(g_liveries.back().title);
        }
        g_liveries.push_back(LiveryData{"BAW", "A320", "BAW A320", "", 0, false});
        scenario.installedTitles.push_back("BAW A320");
        startWith(scenario);
        gf_sortUniqueLiveries();
        gf_processScannedLiveries();
        gf_resetAirportsForTests();
        gf_readAirports();
        gf_resetParkAirportSort();
        ASSERT_TRUE(gf_readParkAirports(true));
        gf_installRunHooks();
        gf_setUserStateForTests([this] { return user; });
        g_userOnGround = true;
        g_currentDaySlot.store(gf_makeDaySlot(3, 20));
        RANDOM.set(false);
        AIRPORT_RANGE.set(20);
        AIRPORT_HEIGHT.set(18000);
        connect();
    }
    void TearDown() override {
        gf_resetParkAirport();
        gf_resetParkAirportChoice();
        gf_closeParkAirport();
        gf_resetWindowRequests();
        RANDOM.set(RANDOM.defaultValue);
        MAX_LIVE.set(MAX_LIVE.defaultValue);
        gf_resetAirportsForTests();
        cd.reset();
        LinkFixture::TearDown();
    }

    static void refresh(bool first = false) { gf_refreshStaticParking(first); }
    // The colour the window paints the static-parking label in, whichever of its two texts it shows.
    static ui::Colour parkingLabelColour() {
        ui::RecordingSurface surface;
        gf_paint(surface, gf_bandRect(Band::Settings));
        for (const auto& text : surface.texts)
            if (text.text == "Airport parking:" || text.text == "Airport static parking active:") return text.colour;
        return kWhite;
    }
    static std::string parkCode() { return gf_parkAirportCopy().code; }
    void passes(int n) {   // each followed by one simulator frame
        for (int i = 0; i < n; ++i) gf_trafficTick(), frames(1);
    }
    // A valid real use of the loaded stands, to make its first half hour the current one.
    static DaySlot aRealUseSlot() {
        for (const Stand& s : g_stands)
            for (const StandUse& u : s.uses)
                if (u.number != 0 && !u.soft && u.day != 0 && u.hh != 0)
                    return gf_makeDaySlot(static_cast<int>(u.day), std::countr_zero(u.hh));
        return 0;
    }
    // Chosen on the ground at EGLL and loaded; the current half hour is one of its learned uses.
    void loadEgll() {
        refresh(true);
        ASSERT_EQ(parkCode(), "EGLL");
        EXPECT_TRUE(g_parkingBusy.load());
        {
            std::lock_guard lock(g_standsMutex);
            g_stands.clear();
            std::uint64_t quality = 0;
            g_parkAirport = *gf_findAirport("EGLL");
            ASSERT_EQ(gf_readApf(gf_findApf("EGLL"), quality), "");
            g_currentDaySlot.store(aRealUseSlot());
            g_apfLoaded.store(false);
        }
        refresh();   // loads the file and computes the placements for that half hour
        ASSERT_TRUE(g_apfLoaded.load());
        EXPECT_EQ(g_stands.size(), 141u);
    }
};

TEST_F(ParkDemo, OnTheGroundStaticsFillStandsOfTheCurrentHalfHour) {
    loadEgll();
    ASSERT_FALSE(g_staticPlacements.empty());
    EXPECT_EQ(g_staticPlacements.back().age, 0u) << "the best fits are placed first, from the end";
    const DaySlot now = g_currentDaySlot.load();
    // Ids wrap past 9999 to 1 and skip an id a static record still holds.
    g_staticIdCounter = 9998;
    Aircraft holder;
    holder.aircraftId = 1;
    holder.state = STATE_IN_SIM;
    g_staticParked.push_back(holder);
    const std::size_t wanted = g_staticPlacements.size();
    passes(50 * static_cast<int>(wanted + 2) + 250);
    std::vector<std::uint32_t> ids;
    for (const Aircraft& s : g_staticParked) {
        if (s.aircraftId == 1 && s.callsign.empty()) continue;
        ids.push_back(s.aircraftId);
        EXPECT_EQ(s.state, STATE_IN_SIM) << s.callsign;
        EXPECT_TRUE(gf_endsWith(s.callsign, '*')) << s.callsign;
    }
    ASSERT_GE(ids.size(), 2u);
    EXPECT_EQ(ids[0], 9999u);
    EXPECT_EQ(ids[1], 2u);
    EXPECT_TRUE(g_staticPlacements.empty());
    refresh();   // the placement list is done: the parking controls come back
    EXPECT_FALSE(g_parkingBusy.load());

    // The renewal in the same half hour keeps every static aircraft where it is; the callsign
    // collection ends before the adjustments take its result.
    std::erase_if(g_staticParked, [](const Aircraft& a) { return a.callsign.empty(); });
    g_trafficReader.collectCallsigns.store(true);
    gf_parkingAdjustments();
    EXPECT_FALSE(g_trafficReader.collectCallsigns.load());
    EXPECT_TRUE(g_staticRemovals.empty());
    EXPECT_FALSE(g_staticKept.empty());

    // A live aircraft stops at the stand of a static one: the static makes place and the use is learned.
    const Aircraft target = g_staticParked.back();
    const Stand& stand = g_stands.at(static_cast<std::size_t>(target.standId) - 1);
    Flight flight;
    flight.airline = "BAW";
    flight.model = "A320";
    flight.callsign = "BAW9";
    flight.registration = "G-TEST";
    PositionSample at;
    at.latitude = stand.position.lat;
    at.longitude = stand.position.lon;
    at.standing = 1;
    g_liveAircraft.emplace_back(Aircraft(flight, SIZE_LARGE, gf_halfWingspanNm("A320")), at, 0.0);
    LiveAircraft& live = g_liveAircraft.back();
    live.aircraftId = 0x400100;
    live.phase = PHASE_NEW;
    live.samples = {at, at};
    lf_processArrival(live);
    EXPECT_EQ(g_liveAircraft.back().standId, target.standId);
    EXPECT_EQ(gf_staticById(target.aircraftId)->state, STATE_REMOVING);
    EXPECT_GE(g_apfUpdates.load(), 1);

    // The user flies away: the airport is given up and its learned file saved with the new use.
    user = {false, 3000.0, {51.9, -0.4877}};
    refresh();
    EXPECT_EQ(parkCode(), "");
    EXPECT_FALSE(g_apfLoaded.load());
    // Back on the ground: the use is there again after the reload.
    user = {true, 83.0, kAtEgll};
    refresh();
    refresh();
    ASSERT_EQ(parkCode(), "EGLL");
    std::size_t found = 0;
    for (const StandUse& u : g_stands.at(static_cast<std::size_t>(target.standId) - 1).uses)
        found += u.reg == "G-TEST" && static_cast<int>(u.day) == gf_slotDay(now) && gf_halfHourSet(u.hh, gf_slotHalfHour(now));
    EXPECT_EQ(found, 1u);
}

TEST_F(ParkDemo, ChoiceInTheAirByRangeAndHeightAndOnTheGroundByFile) {
    // EGLC lies about 20 nm east of the point; airborne only the park airports list counts.
    const LatLon eglc = gf_findAirport("EGLC")->position();
    struct Case {
        double eastNm;
        double feet;
        bool onGround;
        LatLon at;
        const char* chosen;
        const char* status;
    };
    const auto eastOf = [&](double nm) { return gf_destinationPoint(eglc, 90.0 * kDeg2Rad, nm * 6076.12); };
    for (const Case& c : {Case{0, 238, true, kAtEglf, "", "User aircraft on the ground at EGLF (FAB), no airport file found"},
                          Case{21.0, 5000, false, {}, "", ""}, Case{19.0, 19000, false, {}, "", ""},
                          Case{19.0, 17000, false, {}, "EGLC", "EGLC in sight at 19.0 nm"}}) {
        SCOPED_TRACE(c.eastNm);
        gf_resetParkAirport();
        gf_resetParkAirportChoice();
        gf_resetParkAirportSort();
        ASSERT_TRUE(gf_readParkAirports(true));
        g_mainWindow.g_statusText.set("");
        user = {c.onGround, c.feet, c.onGround ? c.at : eastOf(c.eastNm)};
        refresh();
        EXPECT_EQ(parkCode(), c.chosen);
        EXPECT_EQ(g_mainWindow.g_statusText.get().rfind(c.status, 0), 0u) << g_mainWindow.g_statusText.get();
        EXPECT_EQ(parkingLabelColour(), kRed) << "no airport with stands loaded yet";
    }
    // Loaded, then a nearer list airport comes into sight: EGLC is given up first, then EGLL chosen.
    // The label is black while an airport's stands are there, red while none are.
    refresh();
    ASSERT_TRUE(g_apfLoaded.load());
    EXPECT_EQ(g_stands.size(), 14u);
    refresh();
    EXPECT_EQ(parkingLabelColour(), g_parkingBusy.load() ? kYellow : kBlack);
    user = {false, 3000.0, gf_destinationPoint(gf_findAirport("EGLL")->position(), 0.0, 6076.12)};
    refresh();
    EXPECT_EQ(parkCode(), "");
    EXPECT_EQ(parkingLabelColour(), kRed);
    refresh();
    EXPECT_EQ(parkCode(), "EGLL");
    // On the ground at the park airport it stays, wherever the list airports are.
    user = {true, 83.0, eastOf(1.0)};
    refresh();
    refresh();
    EXPECT_EQ(parkCode(), "EGLL");

    // In the air only the nearest list airport counts: one without a parking file gives none, not
    // White Waltham 13 nm farther.
    gf_resetParkAirport();
    gf_resetParkAirportChoice();
    gf_writeTextFile("EGLF\nEGLM\n", program / "airports" / "my_park_airports.txt", false);
    gf_resetParkAirportSort();
    ASSERT_TRUE(gf_readParkAirports(true));
    user = {false, 3000.0, kAtEglf};
    refresh();
    EXPECT_EQ(parkCode(), "");
}

// With RANDOM on, which of the candidates of the last half hour searched are dropped is drawn: the
// same airport and half hour give other stands with another draw.
TEST_F(ParkDemo, TheSurplusOfTheLastHalfHourSearchedIsDrawn) {
    loadEgll();
    RANDOM.set(true);
    const int savedPercentage = parking_percentage.get();
    parking_percentage.set(10);   // 14 of the 141 stands; the last half hour searched brings it to 16
    std::set<std::uint32_t> stands;
    for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        gf_seedRandomForTests(seed);
        lf_parkingPercentage();
        ASSERT_EQ(g_staticPlacements.size(), 14u);
        for (const StaticPlacement& p : g_staticPlacements) stands.insert(p.standId);
    }
    parking_percentage.set(savedPercentage);
    EXPECT_GT(stands.size(), 14u);
}

// On the ground at an airport whose parking file cannot be read: no park airport, and the user's
// park airports list stays as it was.
TEST_F(ParkDemo, AnUnreadableParkingFileLeavesTheParkAirportsListAlone) {
    const fs::path list = program / "airports" / "my_park_airports.txt";
    gf_writeTextFile("EGLC\n", list, false);
    const std::string written = test::readFile(list);
    gf_resetParkAirportSort();
    ASSERT_TRUE(gf_readParkAirports(true));
    gf_writeTextFile("<parameters", gf_findApf("EGLL"), false);
    refresh(true);
    ASSERT_EQ(parkCode(), "EGLL");
    refresh();
    EXPECT_EQ(parkCode(), "");
    EXPECT_FALSE(g_apfLoaded.load());
    EXPECT_NE(logText().find("EGLL.xml\" found, but could not be loaded"), std::string::npos);
    EXPECT_EQ(test::readFile(list), written);
}

TEST_F(ParkDemo, ReReadMovesTheReservationOnlyWhileTheUserStandsAtNoStand) {
    loadEgll();
    const std::string first = g_stands.at(0).id, second = g_stands.at(1).id;
    gf_writeTextFile("EGLL," + first + "\n", program / "airports" / "my_park_airports.txt", false);
    gf_enableParkingControls();
    g_reservedStand.set(second);
    std::string text;
    g_mainWindow.g_userStandText.set(second);
    ASSERT_TRUE(gf_checkReservedStands(true, text));
    EXPECT_EQ(text, "park airports and stands are okay");
    EXPECT_EQ(g_reservedStand.get(), second);
    g_mainWindow.g_userStandText.set("");
    text.clear();
    ASSERT_TRUE(gf_checkReservedStands(true, text));
    EXPECT_EQ(text, "reserved stand changed from \"" + second + "\" to \"" + first + "\"");
    EXPECT_EQ(g_reservedStand.get(), first);
    EXPECT_TRUE(g_stands.at(0).reserved);

    // The park airport stored without a stand clears the file's stand field, and with it the reservation.
    {
        std::lock_guard lock(g_parkAirportListMutex);
        ASSERT_EQ(g_parkAirportList.front().code, "EGLL");
        g_parkAirportList.front().stand.clear();
        gf_writeParkAirports();
    }
    EXPECT_EQ(readText(program / "airports" / "my_park_airports.txt"), "EGLL,\n");
    text.clear();
    ASSERT_TRUE(gf_checkReservedStands(true, text));
    EXPECT_EQ(text, "reserved stand changed from \"" + first + "\" to \"\"");
    EXPECT_EQ(g_reservedStand.get(), "");
    EXPECT_FALSE(g_stands.at(0).reserved);
}

}  // namespace
}  // namespace vrn::test
