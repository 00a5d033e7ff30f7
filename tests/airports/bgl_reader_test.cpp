// Reading airports out of BGL files: codes, names, altitudes, helipads, stands, duplicate ids, header and walk gates.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "airports/airport_list.h"
#include "airports/bgl_builder.h"
#include "airports/bgl_reader.h"
#include "airports/manifest_publisher.h"
#include "core/utilities.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
namespace bgl = test::bgl;

struct Captured { ApfAirport airport; int helipads = -1; };   // -1: not generated

// Reads the bytes with steps that record every airport instead of writing files.
class BglReading : public ::testing::Test {
protected:
    std::vector<Captured> read(const std::string& bytes, std::pair<bool, int> linkResult = {false, 0}) {
        got.clear();
        BglAirportSteps steps{[&](ApfAirport& a, const std::string& path) { return a.bglPath = path, got.push_back({a, -1}), linkResult; },
                              [&](ApfAirport& a, int helipads) { got.back() = {a, helipads}; }};
        BglWords words;
        test::writeFile(dir / "x.bgl", bytes);
        EXPECT_TRUE(gf_readBglWords(dir / "x.bgl", words));
        gf_readBglAirports(words, "x.bgl", steps);
        return got;
    }
    std::vector<Captured> got;   // what the last read handed on, also when it threw
    static std::string ids(const ApfAirport& a) { std::string out; for (const auto& s : a.stands) out += (out.empty() ? "" : " ") + s.id; return out; }
    test::TempDir dir;
};

TEST(BglCodes, PackedIdentifiersDecode) {
    const std::tuple<std::uint32_t, std::string, bool> cases[] = {
        {bgl::packCode("K1A ") | 0x1F, "K1A ", true},   // low five bits are not part of the code
        {bgl::packCode("ABC"), "ABC", false}, {bgl::packCode("ABCDE"), "ABCDE", false}, {37u << 5, "", false},
        {(12u * 38 * 38 * 38 + 1u * 38 * 38 + 12u * 38 + 12u) << 5, "A6AA", true}};   // digit 1 gives '6'
    for (const auto& [value, text, ok] : cases)
        EXPECT_EQ(lf_decodeIdentifierOrRegionCode(value), std::make_pair(text, ok)) << text;
}

TEST(BglCodes, ParkingNamesAndAltitudes) {
    for (auto [code, text] : {std::pair{0, ""}, {9, "nwp"}, {10, "g"}, {11, ""}, {12, "A"}, {37, "Z"}})
        EXPECT_EQ(lf_decodeParkingName(static_cast<std::uint8_t>(code)), text) << code;
    // Signed millimetres: fields below sea level and high fields keep their elevation.
    for (auto [feet, expected] : {std::pair{83.0, 83}, {10001.0, 10001}, {-1266.0, -1266}, {14472.0, 14472}, {-3000.0, 0}, {25000.0, 0}})
        EXPECT_EQ(gf_bglAltitudeFeet(bgl::altitudeWord(feet)), expected) << feet;
    EXPECT_EQ(gf_bglAltitudeFeet(0x80000000u), 0);
    EXPECT_NEAR(gf_bglLatitude(bgl::packLat(-33.9)), -33.9, 1e-6);
    EXPECT_NEAR(gf_bglLongitude(bgl::packLon(151.17)), 151.17, 1e-6);
}

TEST_F(BglReading, StandsOfOneAirport) {
    g_airportNames = {{"EGLL", "Heathrow"}};
    // Airline codes lengthen an entry; type 0 is not taken, 5 is cargo, 12 and 14 are ramps, 8 a gate; radii of 1.0 and
    // 200 are skipped, so is an unset position.
    const std::vector<bgl::Parking> p{{10, 8, 12, 20.0f, 0.0f, 51.470, -0.450, 2}, {10, 8, 12, 40.0f, 90.0f, 51.471, -0.450, 0},
        {10, 5, 12, 30.0f, 180.0f, 51.472, -0.450, 0}, {2, 0, 3, 20.0f, 10.0f, 51.473, -0.450, 0}, {2, 12, 4, 20.0f, 10.0f, 51.474, -0.450, 0},
        {12, 14, 5, 1.0f, 10.0f, 51.475, -0.450, 0}, {12, 14, 5, 1.05f, 10.0f, 51.476, -0.450, 0}, {12, 1, 6, 200.0f, 10.0f, 51.477, -0.450, 0},
        {12, 1, 7, 20.0f, 10.0f, 0.0, 0.0, 0}};
    const bgl::Helipad pad{51.48, -0.46, 30};   // twice: the second is a double
    const auto got = read(bgl::file({{3, false, bgl::airport("EGLL", bgl::altitudeWord(83), {bgl::helipad(pad), bgl::record(0x0033, 12),
        bgl::helipad(pad), bgl::helipad({51.49, -0.46, 10}), bgl::helipad({0.0, 0.0, 10}), bgl::parkings(p), bgl::helipad({51.5, -0.46, 10})})}}));
    g_airportNames.clear();
    ASSERT_EQ(got.size(), 1u);
    const ApfAirport& a = got[0].airport;
    EXPECT_TRUE(a.airport_name == "Heathrow" && got[0].helipads == 2);
    EXPECT_EQ(ids(a), "helipad1 helipad2 g12b g12 g12a A5");
    for (const auto& s : a.stands) EXPECT_EQ(s.generatorMark, 0) << s.id;
    EXPECT_NEAR(a.stands[0].radius * kNmToMetres, 15.0, 1e-9);
    EXPECT_DOUBLE_EQ(a.stands[2].heading, 2 * std::numbers::pi);
    EXPECT_NEAR(a.stands[3].position.lat, 51.471, 1e-6);
    EXPECT_TRUE(a.stands[0].heli && a.stands[4].cargo && a.stands[4].ramp && a.stands[5].ramp && !a.stands[3].ramp);
}

TEST_F(BglReading, SameIdsRankedByRadiusAndBrokenNumbers) {
    // name code, number, radius: g1 and g2 mixed, codes 0 and 11 both an empty name; more than seven g7 (the eighth refused,
    // the largest radius keeps the plain id); a NaN radius and an infinite heading are refused.
    const std::vector<std::tuple<std::uint8_t, std::uint16_t, float>> mixed{{10, 1, 10}, {10, 2, 30}, {10, 1, 40}, {0, 3, 25}, {10, 2, 10},
                                                                            {10, 2, 20}, {11, 3, 35}, {10, 1, 20}, {10, 4, 50}};
    std::vector<bgl::Parking> same;
    for (int i = 0; i < 8; ++i) same.push_back({10, 8, 7, 10.0f + static_cast<float>(i), 5.0f, 51.47 + 0.001 * i, 4.7, 0});
    same.push_back({10, 8, 9, std::nanf(""), 5.0f, 51.4, 4.7, 0});
    same.push_back({10, 8, 10, 20.0f, std::numeric_limits<float>::infinity(), 51.4, 4.7, 0});
    std::vector<bgl::Parking> p;
    for (const auto& [name, number, radius] : mixed) p.push_back({name, 8, number, radius, 90.0f, 51.47 + 0.001 * static_cast<double>(p.size()), 4.7, 0});
    for (auto [entries, expected] : {std::pair{p, "g1b g2 g1 3a g2b g2a 3 g1a g4"}, {same, "g7f g7e g7d g7c g7b g7a g7"}}) {
        const auto got = read(bgl::file({{3, false, bgl::airport("EHAM", 0, {bgl::parkings(entries), bgl::helipad({52.3, 4.7, -4})})}}));
        ASSERT_EQ(got.size(), 1u);
        EXPECT_EQ(ids(got[0].airport), expected);
    }
}

TEST_F(BglReading, HeaderSectionAndWalkGates) {
    auto port = [](const char* code) { return bgl::airport(code, 0, {bgl::parkings({bgl::Parking{}})}); };
    const std::string egll = port("EGLL"), ekch = port("EKCH"), threeLetters = port("XYZ");
    struct Case { const char* name; std::string bytes; std::vector<std::string> codes; };
    std::string oddSize = bgl::record(0x0099, 10);   // walk misaligns but ends
    std::vector<Case> cases{
        {"two airports, other records between", bgl::file({{3, false, egll + bgl::record(0x0033, 24) + ekch}}), {"EGLL", "EKCH"}},
        {"header size not 56", bgl::file({{3, false, egll}}, 64), {}},
        {"other section type", bgl::file({{2, false, egll}}), {}},
        {"20-byte subsection entries", bgl::file({{3, true, egll}}), {}},
        {"three-letter code skipped", bgl::file({{3, false, threeLetters + egll}}), {"EGLL"}},
        {"zero size ends the walk", bgl::file({{3, false, bgl::record(0x0033, 8, 0) + egll}}), {}},
        {"negative size ends the walk", bgl::file({{3, false, bgl::record(0x0033, 8, 0x80000000u) + egll}}), {}},
        {"walk runs to the end of the file", bgl::file({{3, false, egll}, {1, false, ekch}}), {"EGLL", "EKCH"}},
        {"odd record size", bgl::file({{3, false, egll + oddSize + std::string(2, '\0')}}), {"EGLL", "out of range"}},
        {"record header cut at the end", bgl::file({{3, false, egll + std::string(4, '\x33')}}), {"EGLL", "out of range"}}};
    for (const auto& c : cases) {
        std::vector<std::string> codes;
        bool threw = false;
        try { read(c.bytes); } catch (const std::out_of_range&) { threw = true; }
        for (const auto& a : got) codes.push_back(a.airport.code);
        if (threw) codes.push_back("out of range");
        EXPECT_EQ(codes, c.codes) << c.name;
    }
}

TEST_F(BglReading, LinkResultDecidesGeneration) {
    const std::string bytes = bgl::simpleAirportFile("LFPG", 3);
    for (auto [result, helipads] : {std::pair{std::pair{true, 3}, -1}, {{true, 5}, -1}, {{true, 2}, 0}, {{false, 0}, 0}})
        EXPECT_EQ(read(bytes, result)[0].helipads, helipads) << result.second;
}

TEST_F(BglReading, TruncatedFileKeepsEarlierAirportsAndReleasesTheSlot) {
    const std::string truncated = bgl::airport("EKCH", 0, {bgl::parkings({bgl::Parking{}}, 40)});
    test::writeFile(dir / "t.bgl", bgl::file({{3, false, bgl::airport("EGLL", 0, {bgl::parkings({bgl::Parking{}})}) + truncated}}));
    std::string handed;
    BglAirportSteps steps{[&](ApfAirport& a, const std::string&) { return handed += a.code, std::pair<bool, int>{false, 0}; },
                          [](ApfAirport&, int) {}};
    g_scanWorkers.store(1);
    EXPECT_THROW(lf_toParkingPositions(dir / "t.bgl", steps), std::out_of_range);
    EXPECT_TRUE(g_scanWorkers.load() == 0 && handed == "EGLLEKCH");
    // A file that cannot be opened is passed over quietly, and the slot is still given back.
    g_scanWorkers.store(1);
    EXPECT_NO_THROW(lf_toParkingPositions(dir / "missing.bgl", steps));
    EXPECT_EQ(g_scanWorkers.load(), 0);
}

TEST_F(BglReading, CheapHeaderTest) {
    const std::string good = bgl::simpleAirportFile("EGLL", 1);
    std::string noSections = good, hugeCount(100, '\0');
    bgl::put32(noSections, 20, 0);
    bgl::put32(hugeCount, 20, 0xFFFFFFFFu);
    // Empty, too short, header only, table cut, good, no sections, no airport section, huge section count.
    for (const auto& [bytes, airport] : {std::pair{std::string(), false}, {std::string(23, '\x01'), false}, {good.substr(0, 56), false},
                                         {good.substr(0, 76), false}, {good, true}, {noSections, false},
                                         {bgl::file({{2, false, bgl::record(0x33, 8)}}), false}, {hugeCount, false}}) {
        test::writeFile(dir / "h.bgl", bytes);
        EXPECT_EQ(lf_isAirportBgl(dir / "h.bgl"), airport) << bytes.size();
    }
    EXPECT_FALSE(lf_isAirportBgl(dir / "none.bgl"));
}

}  // namespace
}  // namespace vrn
