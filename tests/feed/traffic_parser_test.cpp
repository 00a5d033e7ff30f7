// The traffic record parser, rule by rule, on datagrams built from one valid airborne record.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string_view>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "core/format.h"
#include "airports/airport_files.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "core/time_of_week.h"
#include "display/window_state.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {
using namespace vrn::test;

const LatLon kHome{51.47, -0.45};

// An A320 climbing out, 42 fields as RealTraffic sends them.
const std::string kRecord =
    "RTTFC,4001234,51.50,-0.40,5000,1500,0,270.5,250,BAW12AB,A320,G-EUUA,LHR,CDG,1717000000.5,X2,BA12,adsb_icao,5100,240,"
    "260,0.4,0.0,5.0,268,271.0,1400,none,A3,1013.2,35008,-1,70.0,lnav,0.0,-21.9,223,24,-30,0,1,170124";

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
    // The record with some fields changed.
    std::optional<TrafficUpdate> parse(const std::map<std::size_t, std::string>& changes) {
        std::vector<std::string> f;
        std::stringstream in(kRecord);
        for (std::string field; std::getline(in, field, ',');) f.push_back(field);
        std::string text = f[0];
        for (std::size_t i = 1; i < f.size(); ++i) text += "," + (changes.count(i) ? changes.at(i) : f[i]);
        return parseText(text);
    }

    TrafficReader reader;
};

TEST_F(ParserTest, ValidRecordFillsEveryField) {
    const auto u = parse({});
    ASSERT_TRUE(u);
    const Flight& f = u->flight;
    EXPECT_EQ(std::vector<std::string>({f.callsign, f.model, f.registration, f.departure, f.destination, f.airline}),
              std::vector<std::string>({"BAW12AB", "A320", "G-EUUA", "LHR", "CDG", ""}));
    const PositionSample& p = u->sample;
    EXPECT_EQ(std::vector<double>({u->timeStamp, p.altitude, p.verticalSpeed, p.track, p.groundSpeed, p.trueAirspeed}),
              std::vector<double>({1717000000.5, 5000, 1500, 270.5, 250, 260}));
    EXPECT_NEAR(p.heading, 271.0 * kDeg2Rad, 1e-12);
    EXPECT_NEAR(p.bank, -5.0 * kDeg2Rad, 1e-12);
    EXPECT_TRUE(p.headingKnown && p.bankGiven && p.airborne && !p.standing);
    EXPECT_EQ(p.duePass, 3500);
    EXPECT_EQ(u->hexid, 4001234u);
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
    EXPECT_EQ(u->flight.registration, " N835AN");   // text fields are not trimmed
    EXPECT_DOUBLE_EQ(u->timeStamp, 1645144774.2);
    EXPECT_DOUBLE_EQ(u->sample.trueAirspeed, 474);
    EXPECT_NEAR(u->sample.heading, 1.6104, 1e-4);
    EXPECT_FALSE(u->sample.bankGiven);   // roll 0.0
}

// One row per rule: the changed fields and whether the record is queued.
TEST_F(ParserTest, RecordsThatAreDroppedOrPass) {
    const std::tuple<const char*, std::map<std::size_t, std::string>, bool> cases[] = {
        {"hexid 10000 is a static id", {{1, "10000"}}, false}, {"hexid 10001", {{1, "10001"}}, true},
        {"mark F without registration", {{11, "null"}, {15, "F"}}, false}, {"mark X", {{11, "null"}, {15, "X"}}, true},
        {"glider category", {{28, "B1"}}, false}, {"balloon category", {{28, "B2"}}, false},
        {"ultralight category", {{28, "B4"}}, false}, {"emergency vehicle", {{28, "C1"}}, false},
        {"service vehicle", {{28, "C2"}}, false}, {"category A7", {{28, "A7"}}, true},
        {"pseudo type with category", {{10, "GLID"}}, false}, {"pseudo type, no category", {{10, "GLID"}, {28, ""}}, true},
        {"ground type with category", {{10, "GRND"}}, false},
        {"five-letter type with category", {{10, "A320X"}}, false}, {"five letters, no category", {{10, "A320X"}, {28, ""}}, true},
        {"tow callsign", {{9, "TOW 12"}}, false}, {"TOW1", {{9, "TOW1"}}, true}, {"blocked callsign", {{9, "ERARMTR0"}}, false},
        {"neither registration nor callsign", {{9, "null"}, {11, "null"}}, false},
        {"registration too long and no callsign", {{9, ""}, {11, "ABCDEFGHIJKLM"}}, false},
        {"beyond the lateral range", {{2, "53.5"}}, false},
        {"ground record 5.1 nm from the park airport", {{2, "51.555"}, {3, "-0.45"}, {4, "0"}}, false},
        {"ground record 4.9 nm from the park airport", {{2, "51.5516"}, {3, "-0.45"}, {4, "0"}}, true},
        {"hexid letters", {{1, "abc"}}, false}, {"hexid overflow", {{1, "4294967296"}}, false},
        {"hexid negative", {{1, "-4001234"}}, false}, {"timestamp empty", {{14, ""}}, false},
        {"timestamp too large", {{14, "1e400"}}, false}, {"latitude nan", {{2, "nan"}}, false},
        {"longitude inf", {{3, "inf"}}, false}, {"latitude above 90", {{2, "90.5"}}, false},
        {"longitude below -180", {{3, "-180.1"}}, false}, {"unset position", {{2, "0.0005"}, {3, "0.01"}}, false},
        {"altitude infinity", {{4, "infinity"}}, false}, {"altitude with plus", {{4, "+5000"}}, false},
        {"altitude with blank", {{4, " 5000"}}, false}, {"ground speed nan", {{8, "nan"}}, false},
        {"vertical speed text", {{5, "up"}}, false}, {"track text", {{7, "west"}}, false},
        {"true heading above 360", {{25, "360.5"}}, false}, {"true heading empty", {{25, ""}}, false},
        {"roll text in the air", {{23, "left"}}, false}, {"tas text", {{20, "fast"}}, false},
        {"roll 1e308 in the air", {{23, "1e308"}}, false}, {"roll -180", {{23, "-180"}}, true},
        {"roll -180.5", {{23, "-180.5"}}, false}, {"tas 1e308", {{20, "1e308"}}, false},
        {"tas -1e308", {{20, "-1e308"}}, false}, {"tas 2000", {{20, "2000"}}, true}, {"tas 2001", {{20, "2001"}}, false}};
    for (const auto& [name, changes, passes] : cases) EXPECT_EQ(parse(changes).has_value(), passes) << name;

    const std::string& f = kRecord;
    EXPECT_TRUE(parseText(f + ",")) << "a final comma adds no empty field";
    EXPECT_FALSE(parseText(f + ",,")) << "an empty last field is a malformed checksum";
    EXPECT_FALSE(parseText(f + ", VEH")) << "vehicles are ignored";
    EXPECT_FALSE(parseText(f.substr(0, f.find(",1013.2,")))) << "fewer fields than the parser reads";
    EXPECT_FALSE(parseText(""));
    EXPECT_FALSE(parseText(",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,"));
    reader.setReferencePosition({-0.0005, 0.01});
    EXPECT_TRUE(parse({{2, "-0.0005"}, {3, "0.01"}})) << "just south of the unset position";
    reader.setReferencePosition(kHome);
    const double d = gf_distanceNm(kHome, {51.50, -0.40});
    g_lateralRangeNm = d;
    EXPECT_TRUE(parse({})) << "exactly the range passes";
    g_lateralRangeNm = std::nextafter(d, 0.0);
    EXPECT_FALSE(parse({}));
    g_lateralRangeNm = 100.0;
    reader.setParkAirport(std::nullopt);
    EXPECT_FALSE(parse({{2, "51.47"}, {3, "-0.45"}, {4, "0"}})) << "ground records need the park airport";
    EXPECT_TRUE(parse({}));
}

TEST_F(ParserTest, TextFieldsNullAndEmpty) {
    const std::pair<std::map<std::size_t, std::string>, std::string> cases[] = {
        {{{9, "BAW@12"}}, "|A320|G-EUUA|LHR|CDG"},   // an at sign empties the callsign
        {{{10, "ZZZZ"}, {12, "null"}, {13, "null"}, {28, ""}}, "BAW12AB||G-EUUA||"},
        {{{10, "0"}, {11, "ABCDEFGHIJKLM"}}, "BAW12AB|||LHR|CDG"},   // registration over 12 characters
        {{{11, "ABCDEFGHIJKL"}}, "BAW12AB|A320|ABCDEFGHIJKL|LHR|CDG"}};
    for (const auto& [changes, expected] : cases) {
        const auto u = parse(changes);
        ASSERT_TRUE(u) << expected;
        const Flight& f = u->flight;
        EXPECT_EQ(f.callsign + "|" + f.model + "|" + f.registration + "|" + f.departure + "|" + f.destination, expected);
    }
}

// Altitude, ground speed, field elevation -> altitude after the ground rules (0: on the ground).
// Altitude, speed, the record's ground flag, the field's elevation: the altitude the record keeps (0 on
// the ground). Slow is on the ground, unless the record says it flies and it is 300 ft or more above
// the field (a helicopter slowing to a hover).
TEST_F(ParserTest, GroundRules) {
    const std::tuple<const char*, const char*, const char*, std::optional<double>, double> cases[] = {
        {"-50", "100", "0", 83.0, 0},       {"14000", "30", "1", 83.0, 0},    {"14000", "30", "0", 83.0, 14000},
        {"382", "22", "0", 83.0, 0},        {"383", "22", "0", 83.0, 383},    {"1100", "0", "0", 83.0, 1100},
        {"14000", "36", "1", 83.0, 14000},  {"183", "40", "0", 83.0, 0},      {"183", "44", "0", 83.0, 183},
        {"128", "120", "0", 83.0, 0},       {"128", "121", "0", 83.0, 128},   {"173", "80", "0", 83.0, 0},
        {"173", "81", "0", 83.0, 173},      {"50", "200", "0", 83.0, 0},      {"-900", "200", "0", std::nullopt, 0},
        {"100", "100", "0", std::nullopt, 100}, {"-955", "100", "0", std::nullopt, 0}};
    for (const auto& [altitude, speed, ground, elevation, expected] : cases) {
        reader.setFieldElevation(elevation);
        const auto u = parse({{4, altitude}, {6, ground}, {8, speed}});
        ASSERT_TRUE(u) << altitude << " ft " << speed << " kt";
        EXPECT_DOUBLE_EQ(u->sample.altitude, expected) << altitude << " ft " << speed << " kt, ground flag " << ground;
        EXPECT_EQ(u->sample.airborne != 0, expected != 0);
    }
}

TEST_F(ParserTest, HeadingTrackBankAndAirspeed) {
    const std::map<std::size_t, std::string> ground{{4, "0"}, {2, "51.47"}, {3, "-0.45"}};
    auto on = [](std::map<std::size_t, std::string> m, std::size_t i, const char* v) { return m[i] = v, m; };
    const double h = 271.0 * kDeg2Rad, b = -5.0 * kDeg2Rad;
    // Changes -> heading (-1: unknown), track, bank (0: not given), true airspeed.
    const std::pair<std::map<std::size_t, std::string>, std::array<double, 4>> cases[] = {
        {{{25, "0"}, {7, "0"}}, {kTwoPi, 360.0, b, 260}},   // track 0 taken from the heading
        {{{25, "-1"}, {7, "0"}}, {-1, 0, b, 260}}, {{{17, "adsb_other"}, {25, "garbage"}, {7, ""}}, {-1, 0, b, 260}},
        {{{25, "360"}}, {kTwoPi, 270.5, b, 260}}, {{{23, "10"}}, {h, 270.5, -0.17453292519943295, 260}},
        {{{23, "-1"}}, {h, 270.5, 0, 260}}, {{{23, "0"}}, {h, 270.5, 0, 260}}, {on(ground, 23, "x"), {h, 270.5, 0, 260}},
        {{{20, "-1"}, {4, "3000"}}, {h, 270.5, b, 220}}, {{{20, "-1"}, {4, "1500"}}, {h, 270.5, b, 180}},
        {{{20, "-1"}, {4, "2000"}}, {h, 270.5, b, 180}}, {{{20, "-1"}, {4, "5000"}}, {h, 270.5, b, 220}},
        {{{20, "-1"}, {4, "9000"}}, {h, 270.5, b, 250}}, {{{20, "-1"}, {4, "15000"}}, {h, 270.5, b, 350}},
        {{{20, "-1"}, {4, "20001"}}, {h, 270.5, b, 430}}, {on(ground, 20, "-1"), {h, 270.5, 0, 180}},
        {{{20, "-5"}}, {h, 270.5, b, -5}}};   // other negative airspeeds stay
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        const auto& [changes, e] = cases[row];
        const auto u = parse(changes);
        ASSERT_TRUE(u) << row;
        EXPECT_EQ(u->sample.headingKnown != 0, e[0] >= 0) << row;
        EXPECT_NEAR(e[0] >= 0 ? u->sample.heading : -1, e[0], 1e-12) << row;
        EXPECT_DOUBLE_EQ(u->sample.track, e[1]) << row;
        EXPECT_NEAR(u->sample.bank, e[2], 1e-12) << row;
        EXPECT_EQ(u->sample.bankGiven != 0, e[2] != 0) << row;
        EXPECT_DOUBLE_EQ(u->sample.trueAirspeed, e[3]) << row;
    }
}

TEST_F(ParserTest, TimeStampsAndFeedTime) {
    // The clock stands beyond the largest stamp here: only stamps ahead of it are refused.
    gf_setWallClockForTests([] { return std::time_t{171644617200}; });
    double steady = 100.0;
    reader.setSteadyClockForTests([&] { return steady; });
    // Each a feed of its own (these stamps lie centuries apart): a record, and its aircraft's next
    // one a second later, whose stamps keep pace: the feed's time is then theirs.
    const struct { const char* stamp; const char* next; const char* hexid; bool queued; double feedTime; } cases[] = {
        {"1700000000000", "1700000001000", "4001234", true, 1700000001.0},   // milliseconds
        {"171644617099.79", "171644617100.79", "4001234", true, 171644617100.79},   // the largest in seconds
        {"yesterday", "yesterday", "4001234", false, 171644617100.79},   // dropped; other threads keep the last good feed time
        {"1717000001", "1717000002", "5", false, 1717000002.0}};   // dropped for another reason: time moves on
    for (const auto& c : cases) {
        reader.resetFeedClock();
        const double feedTimeBefore = g_feedTimeStamp.load();
        EXPECT_EQ(parse({{1, c.hexid}, {14, c.stamp}}).has_value(), c.queued) << c.stamp;
        EXPECT_EQ(g_feedTimeStamp.load(), feedTimeBefore) << "one record is no clock the feed agrees on";
        steady += 1.0;
        const auto u = parse({{1, c.hexid}, {14, c.next}});
        ASSERT_EQ(u.has_value(), c.queued) << c.stamp;
        EXPECT_DOUBLE_EQ(u ? u->timeStamp : c.feedTime, c.feedTime);
        EXPECT_DOUBLE_EQ(g_feedTimeStamp.load(), c.feedTime) << c.stamp;
    }
    gf_setMainLoopRunning(false);
    steady += 7.0;
    EXPECT_FALSE(parse({{14, "1717000009"}})) << "nothing queued while the main loop is stopped";
    EXPECT_DOUBLE_EQ(g_feedTimeStamp.load(), 1717000009.0);
    gf_setWallClockForTests({});
}

// The feed's stamps are judged by the feed's own clock, never by this computer's, which may be
// minutes wrong; the difference is told once in the status line.
TEST_F(ParserTest, StampsAreJudgedByTheFeedsOwnClock) {
    constexpr double kFeedNow = 1717000000.0;
    gf_setWallClockForTests([] { return static_cast<std::time_t>(kFeedNow) - 120; });   // the PC 2 min slow
    gf_releaseStatus();
    gf_showStatus("", false);
    const auto record = [&](std::uint32_t hexid, double stamp) {
        return parse({{1, std::to_string(hexid)}, {14, vrn::format("{:.1f}", stamp)}});
    };
    const std::uint64_t droppedBefore = g_futureStampsDropped.load();
    for (std::uint32_t i = 0; i < 25; ++i) {
        ASSERT_TRUE(record(4000000 + i, kFeedNow - i % 5)) << i;
        EXPECT_EQ(g_mainWindow.g_statusText.get().empty(), i < 19) << i;
    }
    // The feed's clock is the middle of its aircraft's stamps, two seconds behind the newest here.
    const std::string told = "RealTraffic's clock is 118 s ahead of this computer's clock";
    EXPECT_EQ(g_mainWindow.g_statusText.get(), told);
    // It comes with the first records, as the static parking calculation starts: it stays a while.
    gf_showStatus("Calculating static parked aircraft ...", false);
    for (int second = 1; second < 8; ++second) {
        gf_statusSecondTick();
        EXPECT_EQ(g_mainWindow.g_statusText.get(), told) << second;
    }
    gf_statusSecondTick();
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "Calculating static parked aircraft ...");
    gf_showStatus("", false);
    const struct {
        const char* name; std::uint32_t hexid; double stamp; bool taken;
    } cases[] = {
        {"an hour ahead of its own aircraft", 4000003, kFeedNow + 3600.0, false},
        {"the same again, in milliseconds", 4000003, (kFeedNow + 3600.0) * 1000.0, false},
        {"ten minutes behind", 4000004, kFeedNow - 600.0, true},
        {"20 s ahead", 4000005, kFeedNow + 20.0, true},
        // Two aircraft two hours ahead among 25: the second does not confirm the first.
        {"a jump, first aircraft", 4000006, kFeedNow + 7200.0, false},
        {"a jump, its own again", 4000006, kFeedNow + 7201.0, false},
        {"a jump, second aircraft", 4000007, kFeedNow + 7202.0, false},
        {"after the jump, first aircraft", 4000006, kFeedNow + 7203.0, false},
        {"one of the others", 4000008, kFeedNow + 1.0, true},
    };
    for (const auto& c : cases) EXPECT_EQ(record(c.hexid, c.stamp).has_value(), c.taken) << c.name;
    EXPECT_EQ(g_futureStampsDropped.load() - droppedBefore, 6u);
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "") << "told once";
    gf_setWallClockForTests({});
}

// The feed as a whole sets its clock: records of many aircraft, one a second each, on a steady
// clock the test moves. The computer's clock is right here, so a false difference would show.
class FeedClockTest : public ParserTest {
protected:
    static constexpr double kFeedStart = 1717000000.0;
    void SetUp() override {
        ParserTest::SetUp();
        reader.setSteadyClockForTests([this] { return steady; });
        gf_setWallClockForTests([this] { return static_cast<std::time_t>(kFeedStart + steady); });
        gf_releaseStatus();
        gf_showStatus("", false);
        gf_startLog(dir.path() / "Log.txt");
    }
    void TearDown() override {
        gf_closeLog();
        gf_setWallClockForTests({});
        ParserTest::TearDown();
    }
    std::vector<std::string> logLines() {
        gf_flushLog();
        return test::readLinesOf(dir.path() / "Log.txt");
    }
    // One record of `id` written as `idText` (its number when empty), stamped `shift` seconds off the
    // true time; its time stamp when taken.
    std::optional<double> record(std::uint32_t id, double shift, std::string idText = {}) {
        if (idText.empty()) idText = std::to_string(id);
        const auto u = parse({{1, idText}, {14, vrn::format("{:.1f}", kFeedStart + steady + shift)}});
        return u ? std::optional(u->timeStamp) : std::nullopt;
    }
    // One second of a feed of `count` honest aircraft from 4200000 on, each `shift` off; how many were taken.
    int honestSecond(int count, double shift = 0.0) {
        int taken = 0;
        for (int i = 0; i < count; ++i) taken += record(4200000 + static_cast<std::uint32_t>(i), shift).has_value();
        return taken;
    }
    double steady = 5000.0;
    test::TempDir dir;
};

TEST_F(FeedClockTest, AFirstRecordFarOffDoesNotSetTheClock) {
    // 10^8 s in the past as the first record, then one honest aircraft: shown from its second record.
    EXPECT_TRUE(record(4100001, -1.0e8));
    int taken = 0;
    for (int second = 0; second < 20; ++second, steady += 1.0) taken += record(4100002, 0.0).has_value();
    EXPECT_GE(taken, 19);
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "") << "the computer's clock is right";
    // Two hours ahead as the first record, then 30 honest aircraft: all shown, and nothing false said.
    reader.resetFeedClock();
    EXPECT_TRUE(record(4100003, 7200.0));
    for (int second = 0; second < 5; ++second, steady += 1.0) EXPECT_EQ(honestSecond(30), 30) << second;
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "");
}

TEST_F(FeedClockTest, OneOrTwoAircraftNeitherMoveNorHoldTheClock) {
    const std::uint64_t droppedBefore = g_futureStampsDropped.load();
    // A minute of 30 honest aircraft and two stamped two hours ahead.
    for (int second = 0; second < 60; ++second, steady += 1.0) {
        ASSERT_EQ(honestSecond(30), 30) << second;
        EXPECT_FALSE(record(4100011, 7200.0)) << second;
        EXPECT_FALSE(record(4100012, 7200.0)) << second;
    }
    EXPECT_EQ(g_futureStampsDropped.load() - droppedBefore, 120u);
    // The guard is still on: a lone record an hour ahead is refused; the clock is the honest one's.
    EXPECT_FALSE(record(4100013, 3600.0));
    EXPECT_TRUE(record(4100015, 29.0));
    EXPECT_FALSE(record(4100016, 31.0));
    // One aircraft written two ways is still one aircraft.
    for (int second = 0; second < 5; ++second, steady += 1.0) {
        ASSERT_EQ(honestSecond(2), 2);
        EXPECT_FALSE(record(4100014, 7200.0, "4100014"));
        EXPECT_FALSE(record(4100014, 7200.0, "04100014"));
    }
}

TEST_F(FeedClockTest, OneAircraftCannotWalkTheClock) {
    // Stamps 29 s further ahead with each record, among 30 honest aircraft and then alone.
    for (const int others : {30, 0}) {
        reader.resetFeedClock();
        for (int second = 0; second < 3; ++second, steady += 1.0) {
            honestSecond(others);
            ASSERT_TRUE(record(4100021, 0.0));
        }
        int walkTaken = 0;
        for (int step = 1; step <= 120; ++step, steady += 1.0) {
            ASSERT_EQ(honestSecond(others), others);
            walkTaken += record(4100021, 29.0 * step).has_value();
        }
        EXPECT_LE(walkTaken, 1) << others;
        EXPECT_FALSE(record(4100022, 60.0)) << "the clock stayed where it was, " << others;
        EXPECT_TRUE(record(4100023, 0.0));
    }
}

TEST_F(FeedClockTest, ALoneAircraftIsJudgedOnItsOwnStamps) {
    for (int second = 0; second < 3; ++second, steady += 1.0) ASSERT_TRUE(record(4100031, 0.0));
    // Its source jumps two hours ahead: taken as soon as its stamps keep pace again.
    int taken = 0;
    for (int second = 0; second < 10; ++second, steady += 1.0) taken += record(4100031, 7200.0).has_value();
    EXPECT_GE(taken, 8);
}

TEST_F(FeedClockTest, AWholeFeedGoingBackIsANewTimeBaseForTheSameAircraft) {
    std::map<std::uint32_t, double> last;
    std::map<std::uint32_t, int> lost;
    const auto second = [&](double shift) {
        for (std::uint32_t id = 4200000; id < 4200030; ++id) {
            const auto t = record(id, shift);
            if (!t || (last.count(id) && *t <= last[id] + 1.0)) {
                ++lost[id];   // the aircraft's own record would not follow its last one
                continue;
            }
            last[id] = *t;
        }
        steady += 2.0;
    };
    for (int s = 0; s < 20; ++s) second(0.0);
    EXPECT_TRUE(lost.empty());
    // RealTraffic's playback starts ten minutes back: every aircraft goes on with its next records.
    for (int s = 0; s < 60; ++s) second(-600.0);
    for (std::uint32_t id = 4200000; id < 4200030; ++id) EXPECT_LE(lost[id], 3) << id;
    EXPECT_NEAR(g_feedTimeStamp.load(), kFeedStart + steady - 602.0, 1.0) << "the feed's time is its new one";
    const auto lines = logLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "the feed's time moved 600 s back: taken as a new time base, the aircraft stay"),
              1);
    // And forward again, two hours (from a replay to live).
    for (int s = 0; s < 60; ++s) second(7200.0);
    for (std::uint32_t id = 4200000; id < 4200030; ++id) EXPECT_LE(lost[id], 6) << id;
}

// Small feeds and relays: after 20 s of an honest feed, some of its aircraft are stamped off (ahead,
// or frozen at one stamp) for 90 s. The clock follows them only on a strict majority, and says so.
TEST_F(FeedClockTest, ItMovesOnlyOnAStrictMajorityOfAdvancingStamps) {
    const struct {
        const char* name; int honest, off; double shift; bool frozen; double clock;
    } cases[] = {
        {"1 of 2 an hour ahead", 1, 1, 3600.0, false, 0.0},
        {"6 of 12 an hour ahead", 6, 6, 3600.0, false, 0.0},
        {"7 of 12 frozen", 5, 7, 0.0, true, 0.0},
        {"12 of 12 frozen", 0, 12, 0.0, true, 0.0},
        {"3 of 4 an hour ahead", 1, 3, 3600.0, false, 3600.0},
        {"a whole feed 600 s ahead", 0, 12, 600.0, false, 600.0},
    };
    std::uint32_t probe = 4500000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        reader.resetFeedClock();
        gf_releaseStatus();
        gf_showStatus("", false);
        const std::size_t linesBefore = logLines().size();
        const auto liar = [&](int i) { return 4400000 + static_cast<std::uint32_t>(i); };
        for (int second = 0; second < 20; ++second, steady += 1.0) {
            ASSERT_EQ(honestSecond(c.honest), c.honest);
            for (int i = 0; i < c.off; ++i) ASSERT_TRUE(record(liar(i), 0.0));
        }
        int honestTaken = 0;
        for (int second = 0; second < 90; ++second, steady += 1.0) {
            honestTaken += honestSecond(c.honest);
            for (int i = 0; i < c.off; ++i) record(liar(i), c.frozen ? -second - 1.0 : c.shift);
        }
        EXPECT_EQ(honestTaken, 90 * c.honest);
        // The clock where it should be: 28 s beyond it taken, 32 s refused.
        EXPECT_TRUE(record(++probe, c.clock + 28.0));
        EXPECT_FALSE(record(++probe, c.clock + 32.0));
        const auto lines = logLines();
        const auto moved = std::count_if(lines.begin() + static_cast<std::ptrdiff_t>(linesBefore), lines.end(),
                                         [](const std::string& l) { return l.find("taken as a new time base") != std::string::npos; });
        EXPECT_EQ(moved, c.clock != 0.0 ? 1 : 0);
        EXPECT_EQ(g_mainWindow.g_statusText.get(),
                  c.clock != 0.0 ? vrn::format("RealTraffic's clock is {:.0f} s ahead of this computer's clock", c.clock) : "");
    }
    // A damaged stamp (1e300, taken as milliseconds) is told as a short figure.
    EXPECT_FALSE(record(++probe, 1.0e300));
    const auto lines = logLines();
    const std::string told =
        vrn::format("record of {} stamped 1e+297 (Fri Dec 31 23:59:59 9999) is no time RealTraffic sends, dropped (", probe);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.starts_with(told); }));
}

// A feed whose majority runs at half pace, its stamps jittering by 0.15 s: its aircraft are judged once
// and stay so, instead of flipping the clock back and forth every few seconds, and the honest minority's
// records are never taken for records stamped ahead; and a feed that does keep jumping gets a few lines
// a minute, then their count.
TEST_F(FeedClockTest, PaceAtItsThresholdNeitherFlipsTheClockNorFloodsTheLog) {
    const auto count = [&](const char* piece) {
        const auto lines = logLines();
        return std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(piece) != std::string::npos; });
    };
    const double start = steady;
    int honestTaken = 0;
    for (int second = 0; second < 330; ++second, steady += 1.0) {
        // Seven at half pace, each record up to 0.15 s off it; five honest.
        for (std::uint32_t i = 0; i < 7; ++i) {
            const double jitter = 0.003 * static_cast<double>((second * 7919 + static_cast<int>(i) * 104729) % 101) - 0.15;
            record(4600000 + i, -0.5 * (steady - start) + jitter);
        }
        honestTaken += honestSecond(5);
    }
    EXPECT_LE(count("taken as a new time base"), 1);
    EXPECT_EQ(honestTaken, 330 * 5) << "honest records dropped as stamped ahead";
    EXPECT_EQ(count("s ahead of the feed, dropped"), 0);
    // Back and forth a whole hour, ten times in a minute: three lines, the others counted.
    reader.resetFeedClock();
    for (int jump = 0; jump < 10; ++jump) {
        for (int second = 0; second < 6; ++second, steady += 1.0) honestSecond(5, jump % 2 ? 3600.0 : 0.0);
    }
    EXPECT_LE(count("taken as a new time base"), 4);
    // The next minute's first jump says how many were left out.
    steady += 60.0;
    for (int second = 0; second < 6; ++second, steady += 1.0) honestSecond(5);
    EXPECT_EQ(count("feed time base lines were not logged"), 1);
}

// Twelve aircraft each sent twice, the second time 45 s late with its old stamp: their own newer stamps
// keep the clock, so that none of them is refused as stamped ahead nor moves the time base, and each
// copy keeps its old stamp (its aircraft has flown on since).
TEST_F(FeedClockTest, ASecondSendersLateCopiesLeaveTheClockAlone) {
    int taken = 0, copiesBehind = 0;
    std::map<std::uint32_t, double> newest;
    for (int second = 0; second < 240; ++second, steady += 1.0) {
        for (std::uint32_t id = 4700000; id < 4700012; ++id) {
            if (const auto t = record(id, 0.0)) ++taken, newest[id] = *t;
            if (second < 45) continue;
            const auto copy = record(id, -45.0);
            copiesBehind += copy && *copy <= newest[id] - 44.0;
        }
    }
    EXPECT_EQ(taken, 240 * 12);
    EXPECT_EQ(copiesBehind, 195 * 12);
    const auto lines = logLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.find("time base") != std::string::npos; }), 0);
}

TEST_F(FeedClockTest, AircraftNotReportedForAnHourAreForgotten) {
    reader.requestKnownAircraftReset();
    for (std::uint32_t id = 4300000; id < 4300100; ++id) ASSERT_TRUE(record(id, 0.0));
    steady += 1800.0;
    ASSERT_TRUE(record(4300000, 0.0));   // still reported
    EXPECT_EQ(reader.feedClockVoterCount(), 1u) << "a vote lasts a minute";
    steady += 1801.0;
    ASSERT_TRUE(record(4300100, 0.0));
    EXPECT_EQ(reader.rememberedIdCount(), 2u);
    const auto known = reader.knownAircraft();
    ASSERT_EQ(known.size(), 2u);
    EXPECT_EQ(std::tie(known[0].hexid, known[1].hexid), std::tuple(4300000u, 4300100u));
}

TEST_F(ParserTest, SplittingKeepsEmptyFieldsButNoFinalEmptyField) {
    reader.processDatagram("a,,b,");
    EXPECT_EQ(reader.fields, (std::vector<std::string_view>{"a", "", "b"}));
    reader.processDatagram(",x");
    EXPECT_EQ(reader.fields, (std::vector<std::string_view>{"", "x"}));
}

TEST_F(ParserTest, CallsignCollectionAndKnownAircraft) {
    parse({{9, "EZY1"}});
    EXPECT_EQ(reader.seenCallsignCount(), 0u) << "only while collecting";
    reader.collectCallsigns = true;
    for (const char* callsign : {"EZY2", "null", "A@B"}) parse({{9, callsign}});
    parse({{9, "FAR1"}, {2, "60"}});    // out of range: not collected
    parse({{9, "TOW 3"}});              // dropped later, but seen in range
    parse({{9, "GLD1"}, {28, "B1"}});
    EXPECT_EQ(reader.takeSeenCallsigns(), (std::set<std::string>{"EZY2", "GLD1", "TOW 3"}));
    // Aircraft taken in: by address, in the order they came, with their latest callsign.
    reader.requestKnownAircraftReset();
    parse({{1, "4000001"}, {9, "EZY5"}});
    parse({{1, "4000002"}, {9, "EZY6"}});
    parse({{1, "4000001"}, {9, "EZY7"}});
    parse({{1, "4000003"}, {9, "FAR2"}, {2, "60"}});   // out of range: not taken in
    const auto known = reader.knownAircraft();
    ASSERT_EQ(reader.knownAircraftCount(), 2u);
    EXPECT_EQ(std::tie(known[0].hexid, known[0].callsign, known[1].hexid), std::tuple(4000001u, "EZY7", 4000002u));
    // A static parking calculation starts the table afresh; the renewal's callsigns stay.
    reader.requestKnownAircraftReset();
    EXPECT_EQ(reader.knownAircraftCount(), 0u);
    EXPECT_TRUE(reader.knownAircraftResetPending());
    parse({{1, "4000002"}, {9, "EZY6"}});
    EXPECT_EQ(reader.knownAircraftCount(), 1u);
    EXPECT_FALSE(reader.knownAircraftResetPending());
    EXPECT_EQ(reader.takeSeenCallsigns(), (std::set<std::string>{"EZY5", "EZY6", "EZY7"}));
}


// XML 1.0 takes no control character but TAB, LF and CR, neither raw nor as a reference, and only UTF-8.
bool lf_validXml10(const std::string& text) {
    if (!gf_isValidUtf8(text)) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
        if (text.compare(i, 2, "&#") != 0) continue;
        const bool hex = i + 2 < text.size() && text[i + 2] == 'x';
        const unsigned long code = std::stoul(text.substr(i + (hex ? 3 : 2)), nullptr, hex ? 16 : 10);
        if (code < 0x20 && code != 9 && code != 10 && code != 13) return false;
    }
    return true;
}

// Text from the network that no callsign or code holds: refused with its record, so it never names a
// simulator object; escaped where a log line echoes it; and a learned stand file that already holds
// it loads whole and is written back as valid XML.
TEST_F(ParserTest, BadTextIsRefusedEscapedAndNeverWrittenRaw) {
    test::TempDir dir;
    gf_startLog(dir.path() / "Log.txt");
    const std::pair<std::string, std::string> cases[] = {   // the text, and how it is shown
        {"\x01", "\\x01"}, {"\x1b[31m", "\\x1B[31m"}, {"\x7f", "\\x7F"}, {"\t", "\\x09"}, {"\r", "\\x0D"},
        {"\n", "\\x0A"}, {"\xff", "\\xFF"}, {"\xc3", "\\xC3"}, {"\xc0\xaf", "\\xC0\\xAF"},
        {"\xc2\x9b", "\\xC2\\x9B"}, {"\xef\xbf\xbe", "\\xEF\\xBF\\xBE"}};
    for (const auto& [bad, shown] : cases) {
        SCOPED_TRACE(shown);
        for (std::size_t field = 9; field <= 13; ++field) {
            EXPECT_FALSE(parse({{field, "BA" + bad + "1"}})) << "field " << field;
        }
        QnhReader weather;   // each its own limit of lines a minute
        weather.processDatagram(R"({"QNH":1013,"METAR":")" + bad + "\"");
        gf_flushLog();
        const std::vector<std::string> lines = test::readLinesOf(dir.path() / "Log.txt");
        const std::string& line = lines.back();
        EXPECT_TRUE(line.starts_with("Exception") && line.ends_with("\"METAR\":\"" + shown + "\"")) << line;
        EXPECT_TRUE(gf_isPrintable(line)) << line;

        // As an older file holds it: control characters as references, which a raw TAB, CR or LF
        // in an attribute is not (the reader reads those as blanks).
        std::string inFile;
        for (const char c : bad) inFile += static_cast<unsigned char>(c) < 0x20 ? vrn::format("&#{};", int{c}) : std::string(1, c);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string(("<parkpositions><parkpos id=\"A\" latitude=\"51.47\" longitude=\"-0.45\">"
                                     "<opt reg=\"G-A" + inFile + "\" cs=\"BA" + inFile + "1:BA2\" hh=\"3\"/></parkpos></parkpositions>").c_str()));
        ApfAirport airport;
        airport.code = "EGLL";
        lf_readParkPositions(doc, airport.stands, UseOrigin::Archive);
        ASSERT_EQ(airport.stands.size(), 1u);
        ASSERT_EQ(airport.stands[0].uses.size(), 1u);
        EXPECT_EQ(airport.stands[0].uses[0].callsign, "BA" + shown + "1");
        airport.stands[0].uses[0].number = 1;
        ASSERT_TRUE(gf_writeApf(airport, dir.path() / "EGLL.xml", true));
        const std::string written = test::readFile(dir.path() / "EGLL.xml");
        EXPECT_TRUE(lf_validXml10(written)) << written;
        pugi::xml_document back;
        ASSERT_TRUE(gf_loadApfDocument(back, dir.path() / "EGLL.xml"));
        std::vector<Stand> stands;
        lf_readParkPositions(back, stands, UseOrigin::Archive);
        ASSERT_TRUE(stands.size() == 1u && stands[0].uses.size() == 1u);
        EXPECT_EQ(std::tie(stands[0].uses[0].callsign, stands[0].uses[0].coupled, stands[0].uses[0].reg),
                  std::tuple("BA" + shown + "1", "BA2", "G-A" + shown));
    }
    // Letters of any script are text like any other.
    const auto u = parse({{9, "ÄBÇ12"}});
    ASSERT_TRUE(u);
    EXPECT_EQ(u->flight.callsign, "ÄBÇ12");
    gf_closeLog();
}

// One limit below which a record is refused, whatever its speed; and altitudes read as what they are,
// however large (nothing wraps).
TEST_F(ParserTest, AltitudeLimits) {
    const std::tuple<const char*, const char*, std::optional<double>> cases[] = {   // altitude, speed, taken as
        {"-1000", "250", std::nullopt}, {"-2147483649", "250", std::nullopt}, {"-100000", "250", std::nullopt},
        {"-100000", "20", std::nullopt}, {"-2000.5", "20", std::nullopt}, {"-1e308", "20", std::nullopt},
        {"-1", "201", std::nullopt}, {"-2000", "20", 0.0}, {"-1000", "150", 0.0}, {"-1", "200", 0.0},
        {"0", "250", 0.0}, {"5000", "250", 5000.0}, {"4294967297", "250", 4294967297.0}, {"1e300", "250", 1e300}};
    for (const auto& [altitude, speed, expected] : cases) {
        const auto u = parse({{2, "51.47"}, {3, "-0.45"}, {4, altitude}, {8, speed}});
        ASSERT_EQ(u.has_value(), expected.has_value()) << altitude << " ft at " << speed << " kn";
        if (!u) continue;
        EXPECT_EQ(u->sample.altitude, *expected) << altitude;
        EXPECT_EQ(u->sample.airborne, *expected != 0.0 ? 1 : 0) << altitude;
    }
}
}  // namespace
}  // namespace vrn

namespace vrn {
namespace {

// The weather reader's QNH as it publishes it: the engine's and the window's.
void receivedQnh(int qnh) {
    g_currentQnh = qnh == 0 ? 1013 : qnh;
    g_mainWindow.g_qnh = qnh;
}

// Records read pressure altitude: the day's QNH turns them into true ones before the ground rules.
TEST_F(ParserTest, AltitudesAreTakenAtTheDaysQnh) {
    const std::tuple<int, const char*, const char*, double, double> cases[] = {
        // QNH (0: none received), altitude, speed, field elevation, taken as (0: on the ground)
        {0, "1750", "110", 1416.0, 1750.0},     {1013, "1750", "110", 1416.0, 1750.0},
        {1001, "1750", "110", 1416.0, 0.0},      // 334 ft above the field at 1013 hPa: 8 ft at the day's
        {1001, "1750", "140", 1416.0, 1423.9},   {1027, "-300", "150", 14.0, 80.0},   // below the sea, yet flying
        {1027, "500", "250", 83.0, 877.9},       {1027, "35000", "450", 83.0, 35288.0}};
    for (const auto& [qnh, altitude, speed, field, expected] : cases) {
        receivedQnh(0);
        parse({});   // a new run: its first QNH holds at once
        receivedQnh(qnh);
        reader.setFieldElevation(field);
        const auto u = parse({{4, altitude}, {8, speed}});
        ASSERT_TRUE(u) << altitude << " ft at QNH " << qnh;
        EXPECT_NEAR(u->sample.altitude, expected, 0.1) << altitude << " ft at " << speed << " kn, QNH " << qnh;
    }
    receivedQnh(0);
}

// A new QNH eases in at a tenth of a hectopascal a second (some 3 ft): no shown aircraft moves by a step.
TEST_F(ParserTest, ANewQnhEasesIn) {
    double now = 100.0;
    reader.setSteadyClockForTests([&] { return now; });
    const auto feetAt = [&](double t) {
        now = t;
        const auto u = parse({{4, "5000"}});
        return u ? u->sample.altitude : -1.0;
    };
    receivedQnh(1001);
    const double first = feetAt(100.0);
    receivedQnh(1002);
    const double oneSecond = feetAt(101.0), fiveSeconds = feetAt(105.0), later = feetAt(200.0);
    EXPECT_NEAR(oneSecond - first, 2.7, 0.3) << "a tenth of a hectopascal a second";
    EXPECT_NEAR(fiveSeconds - first, 13.4, 0.5);
    EXPECT_NEAR(later - first, 26.7, 0.5) << "all of it in the end (27 ft a hectopascal at 5,000 ft)";
    receivedQnh(0);
    EXPECT_EQ(feetAt(201.0), 5000.0) << "a new run without a QNH reads them as given";
}

}  // namespace
}  // namespace vrn
