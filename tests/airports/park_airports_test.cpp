// airports/my_park_airports.txt: reading, adding the my_thirdparty airports, sorting and writing back.
#include <gtest/gtest.h>

#include "airports/airport_data_files.h"
#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "core/log.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

class ParkAirports : public ::testing::Test {
protected:
    void SetUp() override {
        gf_resetAirportsForTests();
        fs::create_directories("input");
        ASSERT_TRUE(gf_writeAirportListFile({{"EGLL", "LHR", 51.47, -0.46, 83}, {"EGKK", "LGW", 51.15, -0.19, 202},
                                             {"EHAM", "AMS", 52.31, 4.76, -11}, {"KJFK", "JFK", 40.64, -73.78, 13}}, gf_airportListPath()));
        gf_readAirports();
        ApfAirport a;
        a.code = "EGLL", a.publisher = "stock";
        a.stands.emplace_back(std::vector<StandUse>{}, "501", StandPlacement{51.47, -0.46, 0}, 30, false, false, false);
        fs::create_directories(g_archiveStockFolder);
        ASSERT_TRUE(gf_writeApf(a, g_archiveStockFolder / "EGLL.xml", false));
        gf_resetParkAirportSort(), g_userPositionHook = {};
    }
    void TearDown() override { gf_resetAirportsForTests(), g_parkAirportList.clear(), g_userPositionHook = {}; }
    std::vector<std::string> entries() const {
        std::vector<std::string> out;
        for (const auto& e : g_parkAirportList) out.push_back(e.stand.empty() ? e.code : e.code + "," + e.stand);
        return out;
    }
    test::TempDir dir;
    test::ScopedCurrentDir cd{dir.path()};
};

TEST_F(ParkAirports, LinesAreCheckedAndTheListSortedByDistance) {
    writeFile(g_parkAirportsPath, "\xEF\xBB\xBF" "EGLL , 501\r\n\r\nEGLL\nEHAM,A,B\nXXXX\n  KJFK  \nEGKK,,\nEGKK,\n");
    for (const char* file : {"EHAM.xml", "EHAM.txt", "KJFK.xml", "ZZZZ.xml"}) writeFile(g_myThirdpartyFolder / file, "x");
    EXPECT_FALSE(gf_readParkAirports(false));   // XXXX is unknown
    // "EGKK,," and "EGKK," name no stand; the second is a double.
    EXPECT_EQ(entries(), (std::vector<std::string>{"EGLL,501", "KJFK", "EGKK", "EHAM"}));
    EXPECT_TRUE(gf_inParkAirportList("EHAM") && !gf_inParkAirportList("ZZZZ"));

    g_userPositionHook = [] { return std::optional<LatLon>(LatLon{52.3, 4.7}); };
    writeFile(g_parkAirportsPath, "EGLL,999\nKJFK\n");
    EXPECT_FALSE(gf_readParkAirports(false));   // stand 999 is unknown, the airport is listed all the same
    EXPECT_EQ(entries(), (std::vector<std::string>{"EHAM", "EGLL,999", "KJFK"}));
    EXPECT_GT(g_parkAirportList.back().distanceNm, 3000.0);

    fs::remove(g_parkAirportsPath), fs::remove_all(g_myThirdpartyFolder);
    EXPECT_TRUE(gf_readParkAirports(true) && g_parkAirportList.empty());
}

TEST_F(ParkAirports, EveryReadKeepsTheListNearestFirst) {
    // The first entry is taken as the nearest airport: a re-read must never fall back to file order.
    LatLon user{52.3, 4.7};
    g_userPositionHook = [&] { return std::optional<LatLon>(user); };
    writeFile(g_parkAirportsPath, "EGKK\nEGLL\nEHAM\nKJFK\n");
    for (int read = 0; read < 3; ++read) {
        if (read == 2) g_userPositionHook = {};   // the position of the last sort still orders the list
        EXPECT_TRUE(gf_readParkAirports(false));
        EXPECT_EQ(entries(), (std::vector<std::string>{"EHAM", "EGKK", "EGLL", "KJFK"})) << read;
    }
    user = {40.6, -73.8};
    g_userPositionHook = [&] { return std::optional<LatLon>(user); };
    EXPECT_TRUE(gf_readParkAirports(false) && entries().front() == "KJFK");
}

TEST_F(ParkAirports, WritingCreatesUpdatesOrAddsTheFirstEntry) {
    // The list's first entry, onto: no file, a file naming it with another stand, a file without it,
    // and a file naming it with a stand when the entry has none (the reservation goes).
    struct Case { ParkAirportEntry first; const char* before; const char* after; };
    const Case cases[] = {{{"EGLL", "501", {}, 0}, "", "EGLL,501\n"},
                          {{"EGLL", "501", {}, 0}, "KJFK\r\nEGLL,A12\n\nEHAM\n", "EGLL,501\nEHAM\nKJFK\n"},
                          {{"EGKK", "", {}, 0}, "EGLL,501\nEHAM\nKJFK\n", "EGKK\nEGLL,501\nEHAM\nKJFK\n"},
                          {{"EGLL", "", {}, 0}, "EGKK\r\nEGLL,501\r\nEHAM\r\nKJFK\r\n", "EGKK\nEGLL,\nEHAM\nKJFK\n"}};
    for (const Case& c : cases) {
        if (*c.before) writeFile(g_parkAirportsPath, c.before);
        g_parkAirportList = {c.first, {"EGLL", "1", {}, 0}};
        gf_writeParkAirports();
        EXPECT_EQ(readFile(g_parkAirportsPath), test::systemLines(c.after)) << c.before;
    }
    EXPECT_TRUE(gf_readParkAirports(false));
    EXPECT_EQ(entries(), (std::vector<std::string>{"EGKK", "EGLL", "EHAM", "KJFK"}));
}

TEST_F(ParkAirports, AnUnreadableFileIsNotReplaced) {
    writeFile(g_parkAirportsPath / "keep", "x");   // a folder in the file's place cannot be read as text
    g_parkAirportList = {{"EGLL", "501", {}, 0}};
    gf_writeParkAirports();
    EXPECT_TRUE(fs::exists(g_parkAirportsPath / "keep"));
}

TEST_F(ParkAirports, ManyEntriesAreRead) {
    std::vector<Airport> many;
    std::string text;
    for (int i = 0; i < 3001; ++i) {
        many.push_back({"A" + std::to_string(10000 + i), "", 10.0 + i * 0.001, 20.0, 0});
        text += many.back().code + "\n";
    }
    gf_resetAirportsForTests();
    ASSERT_TRUE(gf_writeAirportListFile(many, gf_airportListPath()));
    gf_readAirports();
    gf_startLog(dir / "Log.txt");   // 3000 entries are fine; one more gives a warning
    for (std::size_t n : {3000u, 3001u}) {
        writeFile(g_parkAirportsPath, text.substr(0, n * 7));
        EXPECT_TRUE(gf_readParkAirports(true) && g_parkAirportList.size() == n);
        gf_flushLog();
        EXPECT_EQ(readFile(dir / "Log.txt").find("a lot of airports") != std::string::npos, n > 3000) << n;
    }
    gf_closeLog();
}

}  // namespace
}  // namespace vrn
