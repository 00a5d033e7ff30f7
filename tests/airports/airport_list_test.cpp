// Airport list, closest airport and the airport-file folders.
#include <gtest/gtest.h>

#include "airports/airport_data_files.h"
#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "core/exceptions.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
using test::writeFile;

Stand standAt(const std::string& id, double lat, double lon) {
    return Stand({}, std::string(id), StandPlacement{lat, lon, 0}, 20, false, false, false);
}

class AirportFolder : public ::testing::Test {
protected:
    void SetUp() override { gf_resetAirportsForTests(), fs::create_directories(dir.path() / "input"); }
    void TearDown() override { gf_resetAirportsForTests(), MSFS_2020.set(MSFS_2020.defaultValue); }
    void useAirports(const std::vector<Airport>& airports) {
        ASSERT_TRUE(gf_writeAirportListFile(airports, gf_airportListPath()));
        gf_readAirports();
    }
    void writeApf(const fs::path& file, const std::string& code, const std::string& publisher = "stock", std::vector<Stand> stands = {standAt("1", 51, 0)}) {
        ApfAirport a;
        a.code = code, a.publisher = publisher, a.stands = std::move(stands);
        fs::create_directories(file.parent_path());
        ASSERT_TRUE(gf_writeApf(a, file, false));
    }
    test::TempDir dir;
    test::ScopedCurrentDir cd{dir.path()};
};

TEST_F(AirportFolder, ListIsSortedAndFoundByExactCode) {
    useAirports({{"EGLL", "LHR", 51.47, -0.46, 83}, {"EGKK", "", 51.15, -0.19, 202}, {"EGLL", "XXX", 1, 1, 1}});
    ASSERT_EQ(g_airports.size(), 3u);
    EXPECT_TRUE(g_airports[0].code == "EGKK" && !gf_findAirport("egll"));
    EXPECT_EQ(gf_airportText(*gf_findAirport("EGLL")), "EGLL (LHR)");   // the first of equal codes stays first
    writeFile(gf_airportListPath(), "garbage");   // read once per process
    EXPECT_NO_THROW(gf_readAirports());
    EXPECT_EQ(g_airports.size(), 3u);
}

TEST_F(AirportFolder, BrokenListsGiveUserError88) {
    for (auto [content, message] : {std::pair<std::string, std::string>{"", "88: input/airports_msfs.xml not loaded No document element found"},
                                    {"<other/>", "88: input/airports_msfs.xml not found"},
                                    {R"(<airports><airport code="A" lon="1" alt="1"/></airports>)", "88: invalid stod argument"},
                                    {R"(<airports><airport code="A" lat="1" lon="1" alt="1e39"/></airports>)", "88: stof argument out of range"}}) {
        writeFile(gf_airportListPath(), content);
        std::string what = "no error";
        try { gf_readAirports(); } catch (const UserErrorException& e) { what = e.what(); }
        EXPECT_EQ(test::slashed(what.substr(0, message.size())), message) << content;
        EXPECT_TRUE(!g_airportsRead && g_airports.empty()) << content;
    }
    fs::remove(gf_airportListPath());
    EXPECT_THROW(gf_readAirports(), UserErrorException);
}

TEST_F(AirportFolder, ClosestAirportWithinFiveMilesEverywhereOnTheGlobe) {
    // 5 nm is 5 minutes of latitude on the program's sphere.
    useAirports({{"AAAA", "", 10.0, 179.99, 0}, {"BBBB", "", 89.99, 0, 0}, {"CCCC", "", 0, 0, 0},
                 {"DDDD", "", -5.0 / 60.0, 20, 0}, {"EEEE", "", -5.0001 / 60.0, 30, 0}});
    // Across the antimeridian and across the pole 1.2 nm; 30 nm; exactly 5.0 nm; 5.0001 nm.
    for (const auto& [at, expected] : {std::pair<LatLon, std::string>{{10.0, -179.99}, "AAAA"}, {{89.99, 180.0}, "BBBB"}, {{0, 0.5}, ""},
                                       {{0, 20}, "DDDD"}, {{0, 30}, ""}}) {
        const auto found = gf_closestAirport(at);
        EXPECT_EQ(found ? found->code : "", expected) << at.lat << "," << at.lon;
    }
}

TEST_F(AirportFolder, NeighbourWinsOnlyWithANearerStand) {
    // In code order KAAA is best first, then the nearer KBBB takes over; KCCC lies exactly as far as KBBB and does not.
    useAirports({{"KAAA", "", 40.0, -74.0, 0}, {"KBBB", "", 40.0, -73.98, 0}, {"KCCC", "", 40.0, -73.98, 0}});
    const LatLon user{40.0, -73.985};
    EXPECT_EQ(gf_closestAirport(user)->code, "KBBB");   // no files: both 100 nm, best kept
    writeApf(g_archiveStockFolder / "KBBB.xml", "KBBB", "stock", {standAt("F1", 40.0, -73.98)});
    writeApf(g_archiveStockFolder / "KAAA.xml", "KAAA", "stock", {standAt("N1", 40.0, -73.9851)});
    EXPECT_EQ(gf_closestAirport(user)->code, "KAAA");
    writeApf(g_archiveStockFolder / "KBBB.xml", "KBBB", "stock", {standAt("F1", 40.0, -73.98501)});
    EXPECT_EQ(gf_closestAirport(user)->code, "KBBB");
    std::string id = "untouched";
    EXPECT_TRUE(gf_readDestApfForClosestStand("KAAA", {-40.0, 100}, id) == 100.0 && id == "untouched");
    EXPECT_TRUE(gf_readDestApfForClosestStand("KAAA", {40.0, -73.9851}, id) < 1e-9 && id == "N1");
}

TEST_F(AirportFolder, NamesKeepTheFirstEntryOfACode) {
    g_airportNames.clear();
    ASSERT_TRUE(gf_writeAirportNamesFile({{"LSZH", "Zürich"}, {"LSZH", "second"}}, gf_airportNamesPath()));
    EXPECT_TRUE(gf_readAirportNames() && g_airportNames.at("LSZH") == "Zürich");
    g_airportNames.clear();
    writeFile(gf_airportNamesPath(), "<broken");
    EXPECT_FALSE(gf_readAirportNames());
}

TEST_F(AirportFolder, LookupOrderRedirectsAndHasApfAgree) {
    const fs::path stock = g_archiveStockFolder / "EGLL.xml", simaddon = "airports/archive/simaddon/EGLL.xml",
                   thirdparty = g_myThirdpartyFolder / "EGLL.xml";
    writeApf(stock, "EGLL"), writeApf(simaddon, "EGLL", "simaddon");
    MSFS_2020.set(false);
    EXPECT_TRUE(gf_findApf("EGLL") == stock && !gf_hasApf("EGKK"));
    // A Windows link: back slashes, trailing blanks, CR LF and a byte-order mark.
    writeFile(g_mySimaddon2024Folder / "EGLL.txt", "\xEF\xBB\xBF" "airports\\archive\\simaddon\\EGLL.xml   \r\n");
    EXPECT_EQ(gf_findApf("EGLL"), simaddon);
    MSFS_2020.set(true);
    EXPECT_EQ(gf_findApf("EGLL"), stock);   // the 2024 folder is not the 2020 one
    MSFS_2020.set(false);
    // Only in the 2024 folder: gf_hasApf finds it as gf_findApf does.
    writeFile(g_mySimaddon2024Folder / "EGKK.txt", "airports/archive/simaddon/EGLL.xml\n");
    EXPECT_TRUE(gf_hasApf("EGKK"));
    writeApf(thirdparty, "EGLL", "P");
    EXPECT_EQ(gf_findApf("EGLL"), thirdparty);
    // A link to nothing, or to an upper-case ".XML", counts as no link.
    for (const auto& [link, expected] : {std::pair<const char*, fs::path>{"airports/nowhere/EGLL.xml\n", thirdparty},
                                         {"AIRPORTS/ARCHIVE/SIMADDON/EGLL.XML\n", thirdparty}, {"airports/archive/simaddon/EGLL.xml", simaddon}}) {
        writeFile(g_myThirdpartyFolder / "EGLL.txt", link);
        EXPECT_EQ(gf_findApf("EGLL"), expected) << link;
    }
}

TEST_F(AirportFolder, TheLearnedFileFollowsTheFolderOfTheAirportFile) {
    // The folder decides, whatever publisher the file names; only my_thirdparty files use it.
    const std::tuple<fs::path, std::string, std::string> cases[] = {
        {g_archiveStockFolder / "X.xml", "simaddon", "airports/learned/stock/X.xml"},
        {"airports/archive/simaddon/X.xml", "stock", "airports/learned/simaddon/X.xml"},
        {"airports/archive/thirdparty/GroupA/X.xml", "P", "airports/learned/thirdparty/GroupA/X.xml"},
        {g_mySimaddonFolder / "X.xml", "P", "airports/learned/simaddon/X.xml"},
        {g_mySimaddon2024Folder / "X.xml", "simaddon", "airports/learned/simaddon2024/X.xml"},
        {g_myThirdpartyFolder / "X.xml", "Orbx", "airports/learned/thirdparty/Orbx/X.xml"},
        {g_myThirdpartyFolder / "X.xml", "../../..", "airports/learned/thirdparty/.._.._/X.xml"},
        {g_myThirdpartyFolder / "X.xml", "a/b\\c:d", "airports/learned/thirdparty/a_b_c_d/X.xml"},
        {g_myThirdpartyFolder / "X.xml", "", "airports/learned/thirdparty/unknown/X.xml"},
        {"elsewhere/X.xml", "stock", ""},   // never the airport file itself
    };
    for (const auto& [file, publisher, expected] : cases) {
        writeApf(file, "X", publisher, {});
        EXPECT_EQ(lf_learnedPathOf(file).generic_string(), expected) << file << " " << publisher;
    }
}

TEST(QualityFactors, ScoresByUsesDaysAndHalfHours) {
    auto stand = [](std::vector<StandUse> uses) { return Stand(std::move(uses), "S", StandPlacement{}, 30, false, false, false); };
    StandUse four{"A", "B", "", "", "", 0xF, 1, 1, 0, 0, UseOrigin::Archive}, soft = four, dropped = four;
    soft.soft = 1, dropped.number = 0;
    for (auto [stands, expected] : {std::pair{std::vector{stand({}), stand({})}, std::pair{-1, -1}}, {{stand({four}), stand({four})}, {63, 0}},
                                    {{stand({four}), stand({soft})}, {32, 32}}, {{stand({dropped})}, {0, 0}}})
        EXPECT_EQ(gf_countHalfHours(stands), expected) << expected.first;
    EXPECT_EQ(gf_qualityReal(gf_packQuality(-1, 7)), -1);
    // The most half hours seen sets both fit settings, clamped.
    for (auto [halfHours, fit, hours] : {std::tuple{60, 47, 24.0f}, {0, 0, 0.5f}}) {
        lf_logMaxHalfHours(halfHours);
        EXPECT_TRUE(MAX_FIT.get() == fit && MAX_FIT_FL.get() == hours) << halfHours;
    }
    lf_logMaxHalfHours(MAX_FIT.defaultValue);
}

}  // namespace
}  // namespace vrn
