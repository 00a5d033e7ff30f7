// The traffic record parser, rule by rule, on datagrams built from one valid airborne record.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "core/time_of_week.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {
using namespace vrn::test;

const LatLon kHome{51.47, -0.45};

// An A320 climbing out, 42 fields as RealTraffic sends them.
std::vector<std::string> baseFields() {
    return {"RTTFC", "4001234", "51.50", "-0.40", "5000", "1500", "0", "270.5", "250", "BAW12AB", "A320",
            "G-EUUA", "LHR", "CDG", "1717000000.5", "X2", "BA12", "adsb_icao", "5100", "240", "260", "0.4",
            "0.0", "5.0", "268", "271.0", "1400", "none", "A3", "1013.2", "35008", "-1", "70.0", "lnav",
            "0.0", "-21.9", "223", "24", "-30", "0", "1", "170124"};
}

std::string join(const std::vector<std::string>& f) {
    std::string s;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (i) s += ',';
        s += f[i];
    }
    return s;
}

class ParserTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_lateralRangeNm = 100.0;
        reader.setReferencePosition(kHome);
        reader.setParkAirport(kHome);
        reader.setFieldElevation(83.0);
        g_tickCounter = 500;
        gf_setMainLoopRunning(true);
    }
    void TearDown() override { gf_setMainLoopRunning(false); }

    std::optional<TrafficUpdate> parseText(const std::string& text) {
        reader.processDatagram(text);
        std::lock_guard lock(g_trafficMutex);
        if (g_trafficQueue.empty()) return std::nullopt;
        TrafficUpdate u = g_trafficQueue.back();
        g_trafficQueue.clear();
        return u;
    }
    std::optional<TrafficUpdate> parse(const std::map<std::size_t, std::string>& changes) {
        auto f = baseFields();
        for (const auto& [i, v] : changes) f.at(i) = v;
        return parseText(join(f));
    }

    TrafficReader reader;
};

TEST_F(ParserTest, ValidRecordFillsEveryField) {
    const auto u = parse({});
    ASSERT_TRUE(u);
    EXPECT_EQ(u->hexid, 4001234u);
    const Flight& f = u->flight;
    EXPECT_EQ(std::vector<std::string>({f.callsign, f.model, f.registration, f.departure, f.destination, f.airline}),
              std::vector<std::string>({"BAW12AB", "A320", "G-EUUA", "LHR", "CDG", ""}));
    EXPECT_DOUBLE_EQ(u->timeStamp, 1717000000.5);
    EXPECT_DOUBLE_EQ(u->sample.altitude, 5000);
    EXPECT_DOUBLE_EQ(u->sample.verticalSpeed, 1500);
    EXPECT_DOUBLE_EQ(u->sample.track, 270.5);
    EXPECT_DOUBLE_EQ(u->sample.groundSpeed, 250);
    EXPECT_DOUBLE_EQ(u->sample.trueAirspeed, 260);
    EXPECT_NEAR(u->sample.heading, 271.0 * kDeg2Rad, 1e-12);
    EXPECT_TRUE(u->sample.headingKnown);
    EXPECT_NEAR(u->sample.bank, -5.0 * kDeg2Rad, 1e-12);
    EXPECT_TRUE(u->sample.bankGiven);
    EXPECT_TRUE(u->sample.airborne);
    EXPECT_FALSE(u->sample.standing);
    EXPECT_EQ(u->sample.duePass, 3500);
    EXPECT_EQ(u->checksum, 170124u);
}

TEST_F(ParserTest, DocumentedRealTrafficExampleParses) {
    if (!realDataAvailable()) GTEST_SKIP() << "shared real data not present";
    std::string line = readFile(realDataPath("rttfc/documented-example.rttfc"));
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    reader.setReferencePosition({-33.9107, 152.9902});
    const auto u = parseText(line);
    ASSERT_TRUE(u);
    EXPECT_EQ(u->hexid, 11234042u);
    EXPECT_EQ(u->flight.callsign, "AAL72");
    EXPECT_EQ(u->flight.registration, " N835AN");   // text fields are not trimmed
    EXPECT_DOUBLE_EQ(u->timeStamp, 1645144774.2);
    EXPECT_DOUBLE_EQ(u->sample.altitude, 26400);
    EXPECT_DOUBLE_EQ(u->sample.trueAirspeed, 474);
    EXPECT_NEAR(u->sample.heading, 1.6104, 1e-4);
    EXPECT_FALSE(u->sample.bankGiven);   // roll 0.0
    EXPECT_EQ(u->checksum, 170124u);
}

// Silent drops and malformed fields: none of these records is queued.
TEST_F(ParserTest, RecordsThatAreDropped) {
    const std::pair<const char*, std::map<std::size_t, std::string>> cases[] = {
        {"hexid 10000 is a static id", {{1, "10000"}}}, {"mark F without registration", {{11, "null"}, {15, "F"}}},
        {"glider category", {{28, "B1"}}}, {"balloon category", {{28, "B2"}}}, {"ultralight category", {{28, "B4"}}},
        {"emergency vehicle", {{28, "C1"}}}, {"service vehicle", {{28, "C2"}}},
        {"pseudo type with category", {{10, "GLID"}}}, {"ground type with category", {{10, "GRND"}}},
        {"five-letter type with category", {{10, "A320X"}}}, {"tow callsign", {{9, "TOW 12"}}},
        {"blocked callsign", {{9, "ERARMTR0"}}}, {"neither registration nor callsign", {{9, "null"}, {11, "null"}}},
        {"registration too long and no callsign", {{9, ""}, {11, "ABCDEFGHIJKLM"}}},
        {"beyond the lateral range", {{2, "53.5"}}},
        {"ground record 5.1 nm from the park airport", {{2, "51.555"}, {3, "-0.45"}, {4, "0"}}},
        {"hexid letters", {{1, "abc"}}}, {"hexid overflow", {{1, "4294967296"}}}, {"hexid negative", {{1, "-4001234"}}},
        {"timestamp empty", {{14, ""}}}, {"timestamp too large", {{14, "1e400"}}}, {"latitude nan", {{2, "nan"}}},
        {"longitude inf", {{3, "inf"}}}, {"latitude above 90", {{2, "90.5"}}}, {"longitude below -180", {{3, "-180.1"}}},
        {"unset position", {{2, "0.0005"}, {3, "0.01"}}}, {"altitude infinity", {{4, "infinity"}}},
        {"altitude with plus", {{4, "+5000"}}}, {"altitude with blank", {{4, " 5000"}}},
        {"ground speed nan", {{8, "nan"}}}, {"vertical speed text", {{5, "up"}}}, {"track text", {{7, "west"}}},
        {"true heading above 360", {{25, "360.5"}}}, {"true heading empty", {{25, ""}}},
        {"roll text in the air", {{23, "left"}}}, {"tas text", {{20, "fast"}}}};
    for (const auto& [name, changes] : cases) EXPECT_FALSE(parse(changes)) << name;
}

TEST_F(ParserTest, DatagramShapesThatAreDropped) {
    auto f = baseFields();
    EXPECT_TRUE(parseText(join(f) + ",")) << "a final comma adds no empty field";
    EXPECT_FALSE(parseText(join(f) + ",,")) << "an empty last field is a malformed checksum";
    EXPECT_FALSE(parseText(join(f) + ", VEH")) << "vehicles are ignored";
    f.resize(29);
    EXPECT_FALSE(parseText(join(f))) << "fewer fields than the parser reads";
    EXPECT_FALSE(parseText(""));
    EXPECT_FALSE(parseText(",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,"));
}

TEST_F(ParserTest, RecordsThatPass) {
    EXPECT_TRUE(parse({{1, "10001"}}));
    EXPECT_TRUE(parse({{10, "GLID"}, {28, ""}})) << "no category: no type test";
    EXPECT_TRUE(parse({{10, "A320X"}, {28, ""}}));
    EXPECT_TRUE(parse({{28, "A7"}}));
    EXPECT_TRUE(parse({{9, "TOW1"}}));
    EXPECT_TRUE(parse({{11, "null"}, {15, "X"}}));
    reader.setReferencePosition({-0.0005, 0.01});
    EXPECT_TRUE(parse({{2, "-0.0005"}, {3, "0.01"}})) << "just south of the unset position";
    reader.setReferencePosition(kHome);
    const auto u = parse({{9, "BAW@12"}, {11, "G-EUUA"}});
    ASSERT_TRUE(u);
    EXPECT_EQ(u->flight.callsign, "") << "an at sign empties the callsign";
}

TEST_F(ParserTest, TextFieldsNullAndEmpty) {
    auto u = parse({{10, "ZZZZ"}, {12, "null"}, {13, "null"}, {28, ""}});
    ASSERT_TRUE(u);
    EXPECT_EQ(u->flight.model + u->flight.departure + u->flight.destination, "");
    u = parse({{10, "0"}, {11, "ABCDEFGHIJKLM"}});
    ASSERT_TRUE(u);
    EXPECT_EQ(u->flight.model + u->flight.registration, "") << "type 0; registration longer than 12 characters";
    u = parse({{11, "ABCDEFGHIJKL"}});
    ASSERT_TRUE(u);
    EXPECT_EQ(u->flight.registration, "ABCDEFGHIJKL");
}

TEST_F(ParserTest, LateralRangeEdge) {
    const LatLon p{51.50, -0.40};
    const double d = gf_distanceNm(kHome, p);
    g_lateralRangeNm = d;
    EXPECT_TRUE(parse({})) << "exactly the range passes";
    g_lateralRangeNm = std::nextafter(d, 0.0);
    EXPECT_FALSE(parse({}));
}

TEST_F(ParserTest, GroundRules) {
    const struct {
        const char* altitude;
        const char* groundSpeed;
        std::optional<double> elevation;
        double expected;
    } cases[] = {
        {"-50", "100", 83.0, 0},        // below sea level
        {"14000", "30", 83.0, 0},       // slow at any altitude
        {"14000", "36", 83.0, 14000},   // above the cap only the speed rule applies
        {"183", "40", 83.0, 0},         // 100 ft above the field at 40 kt
        {"183", "44", 83.0, 183},       // 100 ft at 44 kt flies
        {"128", "120", 83.0, 0},        // 45 ft at 120 kt
        {"128", "121", 83.0, 128},
        {"173", "80", 83.0, 0},         // 90 ft at 80 kt
        {"173", "81", 83.0, 173},
        {"50", "200", 83.0, 0},         // below the field elevation
        {"-900", "200", std::nullopt, 0},
        {"100", "100", std::nullopt, 100},   // no field: height from -1000 ft
        {"-955", "100", std::nullopt, 0},    // at or below 0 altitude is ground anyway
    };
    for (const auto& c : cases) {
        reader.setFieldElevation(c.elevation);
        const auto u = parse({{4, c.altitude}, {8, c.groundSpeed}});
        ASSERT_TRUE(u) << c.altitude << " ft " << c.groundSpeed << " kt";
        EXPECT_DOUBLE_EQ(u->sample.altitude, c.expected) << c.altitude << " ft " << c.groundSpeed << " kt";
        EXPECT_EQ(u->sample.airborne != 0, c.expected != 0);
    }
}

TEST_F(ParserTest, GroundRecordsNeedTheParkAirport) {
    // On the ground 4.9 nm north of the park airport.
    EXPECT_TRUE(parse({{2, "51.5516"}, {3, "-0.45"}, {4, "0"}}));
    reader.setParkAirport(std::nullopt);
    EXPECT_FALSE(parse({{2, "51.47"}, {3, "-0.45"}, {4, "0"}}));
    EXPECT_TRUE(parse({})) << "airborne records do not need it";
}

TEST_F(ParserTest, HeadingTrackBankAndAirspeed) {
    auto u = parse({{25, "0"}, {7, "0"}});
    ASSERT_TRUE(u);
    EXPECT_DOUBLE_EQ(u->sample.heading, kTwoPi);
    EXPECT_DOUBLE_EQ(u->sample.track, 360.0) << "track 0 taken from the heading";

    u = parse({{25, "-1"}, {7, "0"}});
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->sample.headingKnown);
    EXPECT_FALSE(u->sample.headingGiven);
    EXPECT_DOUBLE_EQ(u->sample.track, 0);

    u = parse({{17, "adsb_other"}, {25, "garbage"}, {7, ""}});
    ASSERT_TRUE(u) << "field 25 is read only for adsb_icao";
    EXPECT_FALSE(u->sample.headingKnown);
    EXPECT_DOUBLE_EQ(u->sample.track, 0) << "empty track";

    u = parse({{25, "360"}});
    ASSERT_TRUE(u);
    EXPECT_DOUBLE_EQ(u->sample.heading, kTwoPi);
    u = parse({{23, "10"}});
    ASSERT_TRUE(u);
    EXPECT_DOUBLE_EQ(u->sample.bank, -0.17453292519943295);
    for (const char* none : {"-1", "0"}) {
        u = parse({{23, none}});
        ASSERT_TRUE(u);
        EXPECT_FALSE(u->sample.bankGiven) << none;
        EXPECT_DOUBLE_EQ(u->sample.bank, 0);
    }
    u = parse({{4, "0"}, {2, "51.47"}, {3, "-0.45"}, {23, "not read on the ground"}});
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->sample.bankGiven);

    const std::pair<const char*, double> tas[] = {{"3000", 220}, {"1500", 180}, {"2000", 180}, {"5000", 220},
                                                  {"9000", 250}, {"15000", 350}, {"20001", 430}};
    for (const auto& [altitude, expected] : tas) {
        u = parse({{20, "-1"}, {4, altitude}});
        ASSERT_TRUE(u);
        EXPECT_DOUBLE_EQ(u->sample.trueAirspeed, expected) << altitude;
    }
    u = parse({{20, "-1"}, {4, "0"}, {2, "51.47"}, {3, "-0.45"}});   // on the ground
    ASSERT_TRUE(u);
    EXPECT_DOUBLE_EQ(u->sample.trueAirspeed, 180);
    u = parse({{20, "-5"}});
    ASSERT_TRUE(u);
    EXPECT_DOUBLE_EQ(u->sample.trueAirspeed, -5) << "other negative values stay";
}

TEST_F(ParserTest, TimeStampsAndFeedTime) {
    auto u = parse({{14, "1700000000000"}});
    ASSERT_TRUE(u);
    EXPECT_DOUBLE_EQ(u->timeStamp, 1700000000.0);
    u = parse({{14, "171644617100.79"}});
    ASSERT_TRUE(u);
    EXPECT_DOUBLE_EQ(u->timeStamp, 171644617100.79);
    EXPECT_DOUBLE_EQ(g_feedTimeStamp.load(), 171644617100.79);

    // A bad time stamp drops the record; other threads keep the last good feed time.
    EXPECT_FALSE(parse({{14, "yesterday"}}));
    EXPECT_DOUBLE_EQ(g_feedTimeStamp.load(), 171644617100.79);
    // A record dropped for another reason still moves the feed time on.
    EXPECT_FALSE(parse({{14, "1717000001"}, {1, "5"}}));
    EXPECT_DOUBLE_EQ(g_feedTimeStamp.load(), 1717000001.0);
}

TEST_F(ParserTest, NothingQueuedWhileTheMainLoopIsStopped) {
    gf_setMainLoopRunning(false);
    EXPECT_FALSE(parse({{14, "1717000009"}}));
    EXPECT_DOUBLE_EQ(reader.record.timeStamp, 1717000009.0);
    EXPECT_DOUBLE_EQ(g_feedTimeStamp.load(), 1717000009.0);
}

TEST_F(ParserTest, SplittingKeepsEmptyFieldsButNoFinalEmptyField) {
    reader.processDatagram("a,,b,");
    ASSERT_EQ(reader.fields.size(), 3u);
    EXPECT_EQ(reader.fields[1], "");
    EXPECT_EQ(reader.fields[2], "b");
    reader.processDatagram(",x");
    ASSERT_EQ(reader.fields.size(), 2u);
    EXPECT_EQ(reader.fields[0], "");
}

TEST_F(ParserTest, CallsignCollection) {
    parse({{9, "EZY1"}});
    EXPECT_EQ(reader.seenCallsignCount(), 0u) << "only while collecting";
    reader.collectCallsigns = true;
    parse({{9, "EZY2"}});
    parse({{9, "null"}});
    parse({{9, "A@B"}});
    parse({{9, "FAR1"}, {2, "60"}});            // out of range: not collected
    parse({{9, "TOW 3"}});                      // dropped later, but seen in range
    parse({{9, "GLD1"}, {28, "B1"}});
    const auto seen = reader.takeSeenCallsigns();
    EXPECT_EQ(seen, (std::set<std::string>{"EZY2", "GLD1", "TOW 3"}));
    parse({{9, "EZY5"}});
    EXPECT_EQ(reader.seenCallsignCount(), 1u);
    reader.requestKnownAircraftReset();
    parse({{9, "EZY6"}});
    EXPECT_EQ(reader.takeSeenCallsigns(), (std::set<std::string>{"EZY6"})) << "reset before the next datagram";
}

}  // namespace
}  // namespace vrn
