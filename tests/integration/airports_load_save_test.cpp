// The park airport's file loaded with its learned file, learned at, closed and saved, and loaded again.
#include <gtest/gtest.h>

#include <algorithm>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "core/time_of_week.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "feed/udp_readers.h"
#include "airports/stand_learning.h"
#include "settings/settings_catalogue.h"
#include "simlink/user_aircraft.h"
#include "support/test_support.h"
#include "traffic/park_airport_choice.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::writeFile;

const char* kArchive = R"(<?xml version="1.0"?>
<parameters>
	<parameter name="airport_name" value="Sample" />
	<parameter name="publisher" value="stock" />
	<parameter name="altitude" value="83" />
	<parameter name="Qf_real" value="63" />
	<parameter name="RT_traffic_week" value="52" />
</parameters>
<parkpositions>
	<parkpos id="501" latitude="51.470100" longitude="-0.455200" heading="90.0" radius="32.5" cargo="false" ramp="false">
		<opt reg="" airl="BAW" type="A320" day="1" hh="20,21,22" cs="BAW123:BAW124" />
		<opt reg="" airl="BAW" type="A320" day="1" hh="3" cs="TOW 1" />
	</parkpos>
	<parkpos id="502" latitude="51.470100" longitude="-0.454450" heading="90.0" radius="30.0" cargo="true" ramp="false">
		<opt reg="" airl="FDX" type="B763" day="4" hh="40" cs="ARC1" />
	</parkpos>
	<parkpos id="503" latitude="51.470100" longitude="-0.453000" heading="90.0" radius="20.0" cargo="false" ramp="false" />
</parkpositions>
)";

const char* kLearned = R"(<?xml version="1.0"?>
<parameters>
	<parameter name="airport_name" value="Sample" />
	<parameter name="publisher" value="stock" />
	<parameter name="MAX_LIVE" value="2" />
	<parameter name="parking_percentage" value="55" />
	<parameter name="AUTO_RANGE" value="true" />
	<parameter name="MAX_FIT_WEEK" value="9" />
</parameters>
<parkpositions>
	<parkpos id="501">
		<opt reg="" airl="BAW" type="A320" day="1" hh="22,23" cs="BAW123" />
		<opt reg="" airl="BAW" type="A320" day="1" hh="30" cs="BAW9" />
		<opt reg="" airl="BAW" type="A320" day="1" hh="30,31" cs="BAW9" />
		<opt reg="" airl="BAW" type="A320" day="2" hh="30" cs="TOW 5" />
	</parkpos>
	<parkpos id="502" radius_change="true" radius="40.0" cargo_change="true" cargo="false" />
	<parkpos id="503" radius_change="true" />
	<parkpos id="999" />
	<parkpos id="M1" latitude="51.470500" longitude="-0.456000" heading="180.0" radius="20.0" ramp="true" manual="true" />
	<parkpos id="M2" latitude="0" longitude="0" radius="20.0" manual="true" />
	<parkpos id="501" latitude="51.4" longitude="-0.4" radius="20.0" manual="true" />
</parkpositions>
)";

class ParkAirportFile : public ::testing::Test {
protected:
    void SetUp() override {
        gf_setWallClockForTests([] { return std::time_t{1700000000}; });   // a Tuesday, 22:13 UTC
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = Airport{"LFPG", "LHR", 51.47, -0.45, 0};
        g_stands.clear();
        PARK_FAKE.set(false);
        CUSTOM_PARKING_PERCENTAGE.set(-1);
        writeFile(g_archiveStockFolder / "LFPG.xml", kArchive);
    }
    void TearDown() override {
        gf_closeParkAirport();
        g_stands.clear();
        g_parkAirport = Airport{};
        gf_setWallClockForTests({});
        MAX_LIVE.set(MAX_LIVE.defaultValue);
        g_userMaxLive.store(MAX_LIVE.defaultValue);
        PARK_FAKE.set(false);
        parking_percentage.set(parking_percentage.defaultValue);
        MAX_FIT.set(MAX_FIT.defaultValue);
        AUTO_RANGE.set(false);
        LATERAL_RANGE.set(LATERAL_RANGE.defaultValue);
        g_lateralRangeBeforeAuto.store(-1);
        gf_setUserStateForTests({});
        g_feedTimeIsProgramTime = false, g_feedTimeStamp = 0.0;
    }
    std::string load() {
        std::lock_guard lock(g_standsMutex);
        g_stands.clear();
        return gf_readApf(gf_findApf("LFPG"), quality);
    }
    const Stand& stand(const std::string& id) {
        for (const Stand& s : g_stands) {
            if (s.id == id) return s;
        }
        throw std::runtime_error("no stand " + id);
    }
    fs::path learnedPath() const { return fs::path("airports/learned/stock/LFPG.xml"); }
    std::uint64_t quality = 0;   // of the last load
    test::TempDir dir;
    test::ScopedCurrentDir cd{dir.path()};
};

TEST_F(ParkAirportFile, WithoutLearnedFileTheArchiveAloneIsLoadedBrokenOnesFail) {
    CUSTOM_PARKING_PERCENTAGE.set(45);
    EXPECT_EQ(load(), "");
    EXPECT_EQ(parking_percentage.get(), 45);
    EXPECT_EQ(gf_qualityReal(quality), 63);
    EXPECT_EQ(gf_qualitySoft(quality), -1);
    EXPECT_EQ(g_apfAirport.RT_traffic_week, 52);
    EXPECT_EQ(g_parkAirport.alt, 83.0);
    ASSERT_EQ(g_stands.size(), 3u);
    EXPECT_EQ(g_stands[0].uses.size(), 1u);   // the tow is not a use
    // 501 and 502 are 52 m apart with radii 32.5 + 30 m; 503 is 99 m from 502 with 30 + 20 m.
    EXPECT_EQ(stand("501").adjacent, (std::vector<std::uint32_t>{2}));
    EXPECT_TRUE(stand("503").adjacent.empty());
    gf_closeParkAirport();
    EXPECT_FALSE(fs::exists(learnedPath())) << "nothing learned: nothing written";
    EXPECT_FALSE(g_apfLoaded.load());

    writeFile(g_archiveStockFolder / "LFPG.xml", "<parameters><parameter name=\"publisher\" value=\"stock\"/></parameters>");
    EXPECT_THROW(load(), UserErrorException);
    EXPECT_FALSE(g_apfLoaded.load());
    writeFile(g_archiveStockFolder / "LFPG.xml", "<parameters><parameter name=\"altitude\" value=\"1\"/></parameters>");
    EXPECT_EQ(load(), "no stands found");
    EXPECT_TRUE(g_apfLoaded.load());
}

TEST_F(ParkAirportFile, AReloadThatFailsIsNeverSavedOverTheLearnedFile) {
    writeFile(learnedPath(), kLearned);
    ASSERT_EQ(load(), "");
    // Loaded again without closing first, from an archive that lacks its altitude.
    std::string broken = kArchive;
    broken.replace(broken.find("altitude"), 8, "elevation");
    writeFile(g_archiveStockFolder / "LFPG.xml", broken);
    EXPECT_THROW(load(), UserErrorException);
    EXPECT_FALSE(g_apfLoaded.load());
    g_apfUpdates.store(1);
    gf_closeParkAirport();
    EXPECT_EQ(readFile(learnedPath()), kLearned);
    // Nor one that does not load at all.
    writeFile(g_archiveStockFolder / "LFPG.xml", kArchive);
    ASSERT_EQ(load(), "");
    writeFile(g_archiveStockFolder / "LFPG.xml", "<parameters");
    EXPECT_NE(load().find("could not be loaded"), std::string::npos);
    g_apfChanged.store(true);
    gf_closeParkAirport();
    EXPECT_EQ(readFile(learnedPath()), kLearned);
}

TEST_F(ParkAirportFile, LearnedFileMergesSettingsUsesChangesAndManualStands) {
    writeFile(learnedPath(), kLearned);
    gf_setUserStateForTests([] { return UserState{true, 0.0, {}}; });
    ASSERT_EQ(load(), "");
    EXPECT_EQ(MAX_LIVE.get(), 6);              // limited to its bounds
    EXPECT_EQ(LATERAL_RANGE.get(), 8);         // the automatic range, switched on: the user is on the ground
    EXPECT_EQ(parking_percentage.get(), 55);
    EXPECT_EQ(MAX_FIT.get(), 9);               // from the older key
    ASSERT_EQ(g_stands.size(), 4u);            // M1 added; M2 (no position) and 501 (exists) skipped
    EXPECT_TRUE(stand("M1").manual);
    EXPECT_EQ(stand("M1").number, 4u);
    const Stand& s501 = stand("501");
    // Uses sharing a half hour are one use with all their half hours; learned tows are read.
    ASSERT_EQ(s501.uses.size(), 3u);
    EXPECT_EQ(s501.uses[0].hh, 0xFull << 20);
    EXPECT_EQ(s501.uses[1].hh, 3ull << 30);
    EXPECT_EQ(s501.uses[1].number, 2u);
    EXPECT_EQ(s501.uses[2].callsign, "TOW 5");
    EXPECT_NEAR(stand("502").radius * kNmToMetres, 40.0, 1e-9);
    EXPECT_TRUE(stand("502").radiusChanged);
    EXPECT_FALSE(stand("502").cargo);
    EXPECT_NEAR(stand("503").radius * kNmToMetres, 20.0, 1e-9);   // a change without radius is ignored
    EXPECT_FALSE(stand("503").radiusChanged);
    EXPECT_EQ(gf_qualityReal(quality), gf_countHalfHours().first);

    // A hand-edited percentage is held within its bounds.
    for (const auto& [text, expected] : {std::pair{"500", 100}, {"-5", 0}}) {
        writeFile(learnedPath(), std::string(R"(<parameters><parameter name="airport_name" value="Sample"/>)") +
                                     R"(<parameter name="parking_percentage" value=")" + text + R"("/></parameters>)");
        ASSERT_EQ(load(), "");
        EXPECT_EQ(parking_percentage.get(), expected) << text;
    }
}

TEST_F(ParkAirportFile, SaveKeepsEarlierLearnedUsesAndDropsFakesAndArchiveUses) {
    writeFile(learnedPath(), kLearned);
    PARK_FAKE.set(true);
    ASSERT_EQ(load(), "");
    // Every ordinary stand of an L airport gets ZZZ B738 for Tuesday half hour 44.
    ASSERT_EQ(stand("503").uses.size(), 1u);
    const StandUse& fake = stand("503").uses[0];
    EXPECT_EQ(fake.callsign.rfind("FAKE", 0), 0u);
    EXPECT_TRUE(fake.day == 2u && fake.hh == 1ull << 44 && fake.model == "B738" && fake.origin == UseOrigin::Fake);
    EXPECT_EQ(stand("501").uses.back().number, 4u);

    // One use learned in this run.
    {
        std::lock_guard lock(g_standsMutex);
        g_stands[2].uses.push_back({"EZY", "A319", "", "EZY1", "", 1ull << 5, 2, 3, 1, 0, UseOrigin::Run});
    }
    g_apfUpdates.store(1);
    gf_closeParkAirport();
    const std::string saved = readFile(learnedPath());
    EXPECT_EQ(saved.find("FAKE1"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("ARC1"), std::string::npos);   // the archive keeps its own uses
    EXPECT_NE(saved.find("cs=\"EZY1\""), std::string::npos);
    EXPECT_NE(saved.find("cs=\"BAW9\""), std::string::npos);        // learned in an earlier run
    // The archived use that the learned file repeated is kept by the learned file from now on.
    EXPECT_NE(saved.find("hh=\"20,21,22,23\" cs=\"BAW123:BAW124\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("hh=\"30,31\" cs=\"BAW9\""), std::string::npos) << saved;

    // Loading again gives the same uses (new fakes: the learned file keeps PARK_FAKE on); saving changes nothing.
    PARK_FAKE.set(false);
    ASSERT_EQ(load(), "");
    EXPECT_TRUE(PARK_FAKE.get());
    EXPECT_EQ(stand("501").uses.size(), 4u);
    EXPECT_EQ(stand("503").uses.size(), 2u);
    g_apfChanged.store(true);
    gf_closeParkAirport();
    EXPECT_EQ(readFile(learnedPath()), saved);
}

TEST_F(ParkAirportFile, HandmadeFileReplacesStandsOrIsNeverSavedOverWhenBroken) {
    writeFile(learnedPath(), R"(<parameters><parameter name="publisher" value="stock"/>
        <parameter name="handmade" value="false"/></parameters><parkpositions>
        <parkpos id="H1" latitude="51.471" longitude="-0.451" heading="10" radius="20" cargo="false" ramp="false"/>
        <parkpos id="H2" latitude="51.472" longitude="-0.452" heading="20" radius="25" cargo="true" ramp="false"/>
        </parkpositions>)");
    ASSERT_EQ(load(), "");
    EXPECT_TRUE(g_handmadeOverruled);
    ASSERT_EQ(g_stands.size(), 2u);
    {
        std::lock_guard lock(g_standsMutex);
        g_stands[1].radiusChanged = 1;
        g_stands[1].radius = 30 * kMetresToNm;
    }
    g_apfUpdates.store(2);
    gf_closeParkAirport();
    std::string saved = readFile(learnedPath());
    EXPECT_NE(saved.find(R"(<parkpos id="H2" latitude="51.472000" longitude="-0.452000" heading="20.0" radius="30.0")"),
              std::string::npos)
        << saved;

    // A handmade file with a damaged record: its sound stands are used, and the user's file is
    // never saved over without the record.
    const std::string broken = saved.substr(0, saved.find("</parkpositions>")) +
                               R"(<parkpos id="H1" latitude="51.3" longitude="-0.4"/></parkpositions>)";
    writeFile(learnedPath(), broken);
    ASSERT_EQ(load(), "");
    EXPECT_TRUE(g_handmadeOverruled);
    EXPECT_EQ(g_stands.size(), 2u);
    g_apfUpdates.store(1);
    gf_closeParkAirport();
    EXPECT_EQ(readFile(learnedPath()), broken);
}

TEST_F(ParkAirportFile, DamagedStandsAreRefusedOneByOneAndCounted) {
    std::string archive = kArchive;
    archive.insert(archive.find("</parkpositions>"), R"(<parkpos id="501" latitude="51.4702" longitude="-0.4553" radius="20"/>
	<parkpos id="N" latitude="nan" longitude="-0.4552" radius="20"/>
	<parkpos id="F" latitude="53.4701" longitude="-0.4552" radius="20"/>
)");
    writeFile(g_archiveStockFolder / "LFPG.xml", archive);
    writeFile(learnedPath(), R"(<parameters><parameter name="airport_name" value="Sample"/></parameters><parkpositions>
        <parkpos id="M1" latitude="51.4705" longitude="-0.456" radius="20" manual="true"/>
        <parkpos id="M2" latitude="-51.4705" longitude="-0.456" radius="20" manual="true"/>
        <parkpos id="M3" latitude="51.4706" longitude="-0.456" radius="20" heading="1e308" manual="true"/>
        <parkpos id="M4" latitude="51.4707" longitude="-0.456" radius="1e308" manual="true"/>
        <parkpos id="M5" latitude="0" longitude="0" radius="20" manual="true"/>
        <parkpos id="M6" latitude="51.4708" longitude="-0.456" radius="20" heading="abc" manual="true"><opt reg="G-EUPA" day="1" hh="0,1"/></parkpos>
        <parkpos id="502" radius_change="true" radius="1e308"/></parkpositions>)");
    ASSERT_EQ(load(), "");
    std::vector<std::string> ids;
    for (const Stand& s : g_stands) {
        ids.push_back(s.id);
        EXPECT_LE(gf_distanceNm(s.position, g_parkAirport.position()), kStandReachNm) << s.id;
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"501", "502", "503", "M1"}));
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "5 stands of airports/learned/stock/LFPG.xml refused, see Log.txt");
    // The refused manual stands are the user's: a save keeps them as they were, and they round-trip.
    g_apfUpdates.store(1);
    gf_closeParkAirport();
    const std::string saved = readFile(learnedPath());
    for (const char* kept : {R"(<parkpos id="M2" latitude="-51.4705" longitude="-0.456" radius="20" manual="true" />)",
                             R"(<parkpos id="M3" latitude="51.4706" longitude="-0.456" radius="20" heading="1e308" manual="true" />)",
                             R"(<parkpos id="M5" latitude="0" longitude="0" radius="20" manual="true" />)",
                             R"(heading="abc" manual="true">)", R"(<opt reg="G-EUPA" day="1" hh="0,1" />)"})
        EXPECT_NE(saved.find(kept), std::string::npos) << kept << "\n" << saved;
    ASSERT_EQ(load(), "");
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "5 stands of airports/learned/stock/LFPG.xml refused, see Log.txt");
    g_apfUpdates.store(1);
    gf_closeParkAirport();
    EXPECT_EQ(readFile(learnedPath()), saved);
    ASSERT_EQ(load(), "");
    // An overlay whose radius no stand has keeps the archived radius.
    const auto overlaid = std::find_if(g_stands.begin(), g_stands.end(), [](const Stand& s) { return s.id == "502"; });
    ASSERT_NE(overlaid, g_stands.end());
    EXPECT_FALSE(overlaid->radiusChanged);
    EXPECT_LT(overlaid->radius * kNmToMetres, kStandRadiusLimitMetres);
}

// What the learned file holds and this load cannot use stays in it as written, through two saves
// that give the same bytes; the log names the first few such records, each once, and counts the rest.
TEST_F(ParkAirportFile, UnusedLearnedRecordsSurviveTwoSavesAsWritten) {
    std::string many;
    for (int i = 0; i < 3000; ++i) many += format(R"(<parkpos id="R{}" latitude="0" radius="2" manual="true" />)", i);
    const std::string lacked =
        R"(<parkpos id="ZZ99" radius_change="true" radius="40.0"><opt reg="" day="1" hh="20" cs="BAW1" /></parkpos>)";
    struct Case { std::string records, damagedKept; std::vector<std::string> saved, logged; } const cases[] = {
        {lacked, "", {R"(<parkpos id="ZZ99" radius_change="true" radius="40.0">)", R"(cs="BAW1")"}, {"learned stand ZZ99 in"}},
        {R"(<parkpos id="M2" latitude="0" radius="2" manual="true" cargo_change="true" /><parkpos id="M2" radius_change="1" radius="30" />)",
         "", {R"(<parkpos id="M2" latitude="0" radius="2" manual="true" cargo_change="true" />)", R"(<parkpos id="M2" radius_change="1" radius="30" />)"},
         {"standid M2 misses", "learned stand M2 in"}},
        {R"(<parkpos id="502" radius_change="1" radius="1e308" cargo_change="1"><opt reg="" day="2" hh="1" cs="FDX9" /></parkpos>)", "",
         {R"(<parkpos id="502" cargo_change="true" cargo="false" radius_change="1" radius="1e308">)", R"(cs="FDX9")"}, {"stand 502 in"}},
        {"", R"(<parkpos id="Q1" radius="1)", {}, {"kept stand Q1 not written to airports/learned/stock/LFPG.xml: "}},
        {many, "", {R"(<parkpos id="R0" )", R"(<parkpos id="R2999" )"}, {"standid R9 misses", "2990 more lines about stands of"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.records.substr(0, 40));
        writeFile(learnedPath(), "<parameters/><parkpositions>" + c.records + "</parkpositions>");
        gf_startLog(dir / "Log.txt");
        ASSERT_EQ(load(), "");
        if (!c.damagedKept.empty()) g_keptParkPositions.push_back(c.damagedKept);
        g_apfUpdates.store(1);
        gf_closeParkAirport();
        gf_closeLog();
        const std::string log = readFile(dir / "Log.txt"), saved = readFile(learnedPath());
        EXPECT_LT(std::count(log.begin(), log.end(), '\n'), 40);
        for (const std::string& piece : c.logged)
            EXPECT_TRUE(log.find(piece) != log.npos && log.find(piece, log.find(piece) + 1) == log.npos) << piece << "\n" << log;
        for (const std::string& piece : c.saved) EXPECT_NE(saved.find(piece), std::string::npos) << piece << "\n" << saved;
        ASSERT_EQ(load(), "");
        g_apfChanged.store(true);
        gf_closeParkAirport();
        EXPECT_EQ(readFile(learnedPath()), saved);
    }
    // The stand is back after a scenery update: what was learned there is used again.
    std::string archive = kArchive;
    archive.insert(archive.find("</parkpositions>"), R"(<parkpos id="ZZ99" latitude="51.4702" longitude="-0.4553" radius="9" />)");
    writeFile(g_archiveStockFolder / "LFPG.xml", archive);
    writeFile(learnedPath(), "<parameters/><parkpositions>" + lacked + "</parkpositions>");
    ASSERT_EQ(load(), "");
    const Stand& back = stand("ZZ99");
    EXPECT_TRUE(back.radiusChanged && back.uses.size() == 1u && back.uses[0].callsign == "BAW1");
}

// Broken UTF-8 in the stand ids and airlines of a learned file (and of the archived stand it
// changes): every stand and use still loads, Log.txt echoes the texts escaped, and the saved file is
// UTF-8 that loads the same again.
TEST_F(ParkAirportFile, BrokenUtf8InALearnedFileLoadsEveryStandAndIsEchoedAndSavedEscaped) {
    std::string archive = kArchive;
    archive.insert(archive.find("</parkpositions>"),
                   "<parkpos id=\"5\xFF" "4\" latitude=\"51.4702\" longitude=\"-0.4553\" radius=\"9\" />");
    archive.replace(archive.find("value=\"Sample\""), 14, "value=\"Sam\xFFple\"");   // and a string parameter
    writeFile(g_archiveStockFolder / "LFPG.xml", archive);
    writeFile(learnedPath(), "<parameters><parameter name=\"airport_name\" value=\"Sam\xFFple\"/></parameters><parkpositions>"
                             "<parkpos id=\"5\xFF" "4\"><opt reg=\"\" airl=\"BA\xFF\" type=\"A320\" day=\"1\" hh=\"22\" cs=\"BAW8\" /></parkpos>"
                             "<parkpos id=\"U\xFF\xFE" "1\"><opt reg=\"\" airl=\"B\xC3W\" type=\"A320\" day=\"1\" hh=\"22\" cs=\"X1\" /></parkpos>"
                             "<parkpos id=\"M\xFF\" latitude=\"51.4705\" longitude=\"-0.456\" radius=\"20\" manual=\"true\" />"
                             "</parkpositions>");
    gf_startLog(dir / "Log.txt");
    ASSERT_EQ(load(), "");
    const std::size_t stands = g_stands.size();
    for (const char* id : {"5\\xFF4", "M\\xFF"}) EXPECT_NO_THROW(stand(id)) << id;
    ASSERT_EQ(stand("5\\xFF4").uses.size(), 1u);
    EXPECT_EQ(stand("5\\xFF4").uses[0].airline, "BA\\xFF");
    g_apfUpdates.store(1);
    gf_closeParkAirport();
    gf_closeLog();
    const std::string log = readFile(dir / "Log.txt"), saved = readFile(learnedPath());
    EXPECT_TRUE(gf_isValidUtf8(log) && gf_isValidUtf8(saved));
    EXPECT_NE(log.find("learned stand U\\xFF\\xFE1 in"), std::string::npos) << log;
    EXPECT_EQ(log.find("differs from archived file airport name"), std::string::npos) << "the same name, escaped alike";
    for (const char* piece : {"id=\"U\\xFF\\xFE1\"", "airl=\"B\\xC3W\"", "id=\"5\\xFF4\"", "airl=\"BA\\xFF\"", "id=\"M\\xFF\"",
                              "name=\"airport_name\" value=\"Sam\\xFFple\""})
        EXPECT_NE(saved.find(piece), std::string::npos) << piece << "\n" << saved;
    ASSERT_EQ(load(), "");
    EXPECT_EQ(g_stands.size(), stands);
    g_apfChanged.store(true);
    gf_closeParkAirport();
    EXPECT_EQ(readFile(learnedPath()), saved);
}

// Broken datagrams (the stand-in's malformed mode: "RTTFC,abc,nan,inf,..." with 11 as its stamp) and
// whole records stamped 0, 11 or 2^31 move neither the feed's time nor the day: a use learned
// meanwhile is saved under the day the feed agrees on, beside one an earlier run saved under a wrong
// clock, which loads and is saved as it was. Log.txt counts such stamps, a few lines a minute.
TEST_F(ParkAirportFile, BrokenOrImpossibleStampsNeverBecomeTheDayOfALearnedUse) {
    std::string learned = kLearned;
    learned.insert(learned.find("\t</parkpos>"), "\t\t<opt reg=\"\" airl=\"DLH\" type=\"A321\" day=\"4\" hh=\"0\" cs=\"DLH107\" />\n");
    writeFile(learnedPath(), learned);
    gf_startLog(dir / "Log.txt");
    ASSERT_EQ(load(), "");
    // The feed runs a day ahead of this computer: Wednesday, half hour 44. Three aircraft agree on it.
    const double feedNow = 1700000000.0 + 86400.0;
    double steady = 10.0;
    TrafficReader reader;
    reader.setSteadyClockForTests([&] { return steady; });
    const auto record = [](int id, const std::string& stamp) {
        return vrn::format("RTTFC,{},51.47,-0.45,5000,0,0,90,250,BAW{},A320,G-EUU{},LHR,CDG,{},X2,BA,adsb_icao,5100,240,260,"
                           "0.4,0.0,5.0,268,91.0,1400,none,A3,1013.2,35008,-1,70.0,lnav,0.0,-21.9,223,24,-30,0,1,170124",
                           4001000 + id, id, id, stamp);
    };
    g_feedTimeIsProgramTime = true;
    for (int second = 0; second < 2; ++second, steady += 1.0)
        for (int id = 0; id < 3; ++id) reader.processDatagram(record(id, vrn::format("{:.0f}", feedNow + second)));
    const DaySlot day = gf_makeDaySlot(3, 44);
    EXPECT_EQ(gf_nowDaySlot(), day);
    for (const std::string stamp : {"0", "11", "2147483648"}) {
        std::string broken = "RTTFC,abc,nan,inf";
        for (int field = 4; field <= 33; ++field) broken += "," + (field == 14 ? stamp : std::to_string(field - 3));
        for (int second = 0; second < 3; ++second, steady += 1.0) {
            reader.processDatagram(broken);
            for (int id = 10; id < 15; ++id) reader.processDatagram(record(id, stamp));
        }
        EXPECT_EQ(g_feedTimeStamp.load(), feedNow + 1.0) << stamp;
        EXPECT_EQ(gf_nowDaySlot(), day) << stamp;
        EXPECT_EQ(reader.feedClockVoterCount(), 3u) << stamp;
    }
    Aircraft aircraft;
    std::tie(aircraft.aircraftId, aircraft.callsign, aircraft.registration, aircraft.airline, aircraft.model) =
        std::tuple(0x4B1A01, "SWR109", "HBJLA", "SWR", "A320");
    EXPECT_EQ(gf_recordStandUse(stand("503").number, aircraft, false, gf_nowDaySlot(), false), 1);
    gf_closeParkAirport();
    const std::string saved = readFile(learnedPath());
    EXPECT_NE(saved.find("airl=\"DLH\" type=\"A321\" day=\"4\" hh=\"0\" cs=\"DLH107\""), std::string::npos) << saved;
    EXPECT_NE(saved.find("airl=\"SWR\" type=\"A320\" day=\"3\" hh=\"44\" cs=\"SWR109\""), std::string::npos) << saved;
    gf_sayHeldBackLogLines();
    gf_closeLog();
    const std::string log = readFile(dir / "Log.txt");
    EXPECT_NE(log.find("record of abc stamped 0 (Thu Jan  1 00:00:00 1970) is no time RealTraffic sends, dropped (1 so far)"),
              std::string::npos) << log;
    EXPECT_NE(log.find("51 more impossible time stamp lines were not logged"), std::string::npos) << log;
}

TEST_F(ParkAirportFile, WithoutALimitOfItsOwnTheAirportKeepsTheUsersLiveLimit) {
    writeFile(learnedPath(), R"(<parameters><parameter name="airport_name" value="Sample"/></parameters>)");
    g_userMaxLive.store(20);
    MAX_LIVE.set(20);
    ASSERT_EQ(load(), "");
    EXPECT_EQ(MAX_LIVE.get(), 20);
    g_apfUpdates.store(1);
    gf_closeParkAirport();
    EXPECT_EQ(readFile(learnedPath()).find("MAX_LIVE"), std::string::npos) << "the user's own limit is no airport's";
    ASSERT_EQ(load(), "");
    MAX_LIVE.set(50);   // set while at this airport
    g_apfChanged.store(true);
    gf_closeParkAirport();
    EXPECT_NE(readFile(learnedPath()).find(R"(<parameter name="MAX_LIVE" value="50" />)"), std::string::npos);
    MAX_LIVE.set(20);
    ASSERT_EQ(load(), "");
    EXPECT_EQ(MAX_LIVE.get(), 50);
}

TEST_F(ParkAirportFile, UnreadableLearnedFileIsKeptAsideWithoutLosingAnOlderCopy) {
    writeFile(learnedPath(), "<parameters");
    writeFile("airports/learned/stock/LFPG0.xml", "older copy");
    ASSERT_EQ(load(), "");
    EXPECT_EQ(g_stands.size(), 3u);
    EXPECT_FALSE(fs::exists(learnedPath()));
    EXPECT_EQ(readFile("airports/learned/stock/LFPG0.xml"), "older copy");
    EXPECT_EQ(readFile("airports/learned/stock/LFPG0-2.xml"), "<parameters");
}

TEST_F(ParkAirportFile, ThirdPartyPublisherFolderIsMadeAndBadNamesStayInside) {
    std::string archive = kArchive;
    archive.replace(archive.find("value=\"stock\""), 13, "value=\"../../x\"");
    writeFile(g_myThirdpartyFolder / "LFPG.xml", archive);
    ASSERT_EQ(load(), "");
    g_apfChanged.store(true);
    gf_closeParkAirport();
    EXPECT_TRUE(fs::exists("airports/learned/thirdparty/.._.._x/LFPG.xml"));
    EXPECT_FALSE(fs::exists("airports/x"));

    // A folder that cannot be made is reported and closing still ends.
    writeFile("airports/learned/thirdparty/blocked", "a file where the folder should be");
    archive.replace(archive.find("value=\"../../x\""), 15, "value=\"blocked\"");
    writeFile(g_myThirdpartyFolder / "LFPG.xml", archive);
    ASSERT_EQ(load(), "");
    g_apfUpdates.store(3);
    EXPECT_NO_THROW(gf_closeParkAirport());
    EXPECT_FALSE(g_apfLoaded.load());
    EXPECT_EQ(g_apfUpdates.load(), 0);
}

}  // namespace
}  // namespace vrn
