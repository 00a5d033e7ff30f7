// Airport parking file format: writing and reading back stands and uses.
#include <gtest/gtest.h>

#include "airports/airport_files.h"
#include "support/test_support.h"

namespace vrn {
namespace {

using test::readFile;

Stand makeStand(const std::string& id, double lat, double headingRad, double radiusM) {
    return Stand({}, std::string(id), StandPlacement{lat, 0, headingRad}, radiusM, false, false, false);
}

void expectIn(const std::string& text, const std::string& piece) { EXPECT_NE(text.find(piece), std::string::npos) << piece << "\n" << text; }

TEST(ApfFormat, OptAttributesAreReadAsTheFileMeansThem) {
    struct Case { const char* opt; std::string callsign, coupled; std::uint64_t hh; std::size_t uses; } const cases[] = {
        {R"(<opt cs="BAW123:BAW124" hh="0,1,2,36" day="1"/>)", "BAW123", "BAW124", 0x1000000007ull, 1},
        {R"(<opt cs="A:B:C" hh="3"/>)", "A", "", 1ull << 3, 1}, {R"(<opt cs="TOW 1" hh="3"/>)", "", "", 0, 0},
        {R"(<opt cs="TOW" hh="3"/>)", "TOW", "", 1ull << 3, 1}, {R"(<opt cs="X" hh="1,"/>)", "X", "", 1ull << 1, 1},
        {R"(<opt cs="X" hh=" 7"/>)", "X", "", 1ull << 7, 1}, {R"(<opt cs="X" hh="47,-1"/>)", "X", "", 1ull << 47, 1},
        {R"(<opt cs="X" hh="3,x,5"/>)", "X", "", 1ull << 3, 1}, {R"(<opt cs="X" hh="2,48"/>)", "X", "", 1ull << 2, 1},
        {R"(<opt cs="X"/>)", "X", "", 0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opt);
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_string((std::string(R"(<parameters/><parkpositions><parkpos id="A" latitude="1" longitude="2" radius="20">)") +
                                     c.opt + "</parkpos></parkpositions>").c_str()));
        std::vector<Stand> stands;
        lf_readParkPositions(doc, stands, UseOrigin::Archive);
        ASSERT_TRUE(stands.size() == 1u && stands[0].uses.size() == c.uses);
        if (c.uses == 0) continue;
        const StandUse& use = stands[0].uses[0];
        EXPECT_TRUE(use.callsign == c.callsign && use.coupled == c.coupled && use.hh == c.hh && use.number == 1u);
    }
}

TEST(ApfFormat, RepeatedAndDamagedStandsAreRefusedOneByOne) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(R"(<parkpositions>
        <parkpos id="A0" latitude="47.46" longitude="8.55" radius="20"/><parkpos id="A1" latitude="47.46" longitude="8.55"/>
        <parkpos id="A1" latitude="47.47" longitude="8.56"/><parkpos id="N" latitude="nan" longitude="8.55"/>
        <parkpos id="I" latitude="47.46" longitude="8.55" radius="inf"/><parkpos id="H" latitude="47.46" longitude="8.55" heading="-inf"/>
        <parkpos id="F" latitude="49.46" longitude="8.55"/><parkpos id="Z"/><parkpos id="P" latitude="91" longitude="8.55"/>
        <parkpos id="N"  latitude="47.45" longitude="8.54"/><parkpos id="B" latitude="47.46" longitude="8.55" heading="1e308"/>
        <parkpos id="T" latitude="47.46" longitude="8.55" heading="-361"/><parkpos id="R" latitude="47.46" longitude="8.55" radius="-1"/>
        <parkpos id="W" latitude="47.46" longitude="8.55" radius="1e308"/>
        <parkpos id="S" latitude="47.46" longitude="8.55" heading="360.0" radius="1000"/></parkpositions>)"));
    std::vector<Stand> stands;
    StandReading reading{"LSZH.xml", LatLon{47.4647, 8.5492}};
    lf_readParkPositions(doc, stands, UseOrigin::Archive, reading);
    std::vector<std::string> ids;
    for (const Stand& s : stands) ids.push_back(s.id);
    // A refused N leaves its id free for a sound stand of that name.
    EXPECT_EQ(ids, (std::vector<std::string>{"A0", "A1", "N", "S"}));
    EXPECT_EQ(reading.refused, 11);
    EXPECT_EQ(stands[1].position.lat, 47.46);   // the first A1 stays
    // Without an airport only what no airport can hold is refused.
    StandReading anywhere;
    stands.clear();
    lf_readParkPositions(doc, stands, UseOrigin::Archive, anywhere);
    EXPECT_EQ(stands.size(), 6u);
}

TEST(ApfFormat, PlainLearnedAndHandmadeFormsAndWhatReadsBack) {
    test::TempDir dir;
    ApfAirport airport;
    airport.code = "EGLL", airport.airport_name = "Zürich \"test\" & <co>", airport.publisher = "unknown";
    airport.bglPath = "D:\\Scenery\\x.bgl", airport.altitude = 83;
    auto used = makeStand("501", 51.4701, 1.5708, 0.0194 * kNmToMetres), changed = makeStand("C", 51.001, 0, 40), manual = makeStand("M", 51.002, 0, 20);
    changed.radiusChanged = changed.cargoChanged = changed.cargo = manual.manual = 1;
    StandUse real{"EZY", "A320", "", "EZY12", "EZY13", (1ull << 46) | (1ull << 47), 1, 7, 1, 0, UseOrigin::Run};
    StandUse fake{"ZZZ", "B738", "REGFAKE1", "FAKE1", "", 1, 2, 7, 0, 1, UseOrigin::Fake}, dropped = real;
    dropped.number = 0;
    used.uses = {real, fake, dropped, StandUse{"EZY", "A320", "", "", "", 1, 3, 2, 1, 1, UseOrigin::Run}};   // the last without callsign
    airport.stands = {used, changed, manual, Stand({}, "H1", StandPlacement{51.47, -0.45, 0}, 10, true, true, true)};
    // Kept learned records: a refused change joins its stand, a refused manual stand follows, a damaged text goes.
    airport.keptParkPositions = {R"(<parkpos id="501" radius_change="true" radius="1e308"/>)",
                                 R"(<parkpos id="M" latitude="0" manual="true"/>)", R"(<parkpos id="Q1")"};
    // A plain file never carries uses, overlays or the per-airport settings; no file carries a fake use.
    struct Case { const char* file; bool learned, handmade; std::vector<const char*> present, absent; };
    for (const Case& c : {Case{"plain.xml", false, false, {R"(heading="90.0" radius="35.9" cargo="false" ramp="false")",
                                                           R"(radius="10.0" heli="true" ramp="true")", R"(name="BGLpath")"},
                               {"<opt", "radius_change", "LATERAL_RANGE", "handmade", "FAKE1", "Q1", R"(latitude="0")"}},
                          {"learned.xml", true, false, {R"(ramp="false" manual="true")",
                           R"(<parkpos id="C" radius_change="true" radius="40.0" cargo_change="true" cargo="true" />)",
                           R"(<opt reg="" airl="EZY" type="A320" day="7" hh="46,47" cs="EZY12:EZY13" />)",
                           R"(soft="true" day="2" hh="0" />)", R"(<parkpos id="501" radius_change="true" radius="1e308">)",
                           R"(<parkpos id="M" latitude="0" manual="true" />)",
                           R"(<parameter name="num_parkpos" value="5" />)"},
                           {"FAKE1", "Q1"}},
                          {"handmade.xml", true, true, {R"(name="handmade")"}, {"FAKE1"}}}) {
        ASSERT_TRUE(gf_writeApf(airport, dir / c.file, c.learned, c.handmade)) << c.file;
        const std::string text = readFile(dir / c.file);
        for (const char* piece : c.present) expectIn(text, piece);
        for (const char* piece : c.absent) EXPECT_EQ(text.find(piece), std::string::npos) << c.file << ": " << piece;
    }
    pugi::xml_document plain, handmade;
    ASSERT_TRUE(gf_loadApfDocument(plain, dir / "plain.xml") && gf_loadApfDocument(handmade, dir / "handmade.xml"));
    EXPECT_TRUE(lf_readStringParameter(plain, "airport_name") == airport.airport_name && lf_readIntParameter(plain, "num_parkpos") == 4);
    std::vector<Stand> back, backHandmade;
    lf_readParkPositions(plain, back, UseOrigin::Archive);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_NEAR(back[0].radius * kNmToMetres, 35.9, 1e-9);
    EXPECT_NEAR(back[0].heading, 90.0 * kDeg2Rad, 1e-12);
    EXPECT_TRUE(back[3].heli && !back[3].cargo) << "a helipad is written without its cargo flag";
    // A handmade file is the whole stand list: a changed stand keeps its position there.
    EXPECT_TRUE(lf_readStringParameter(handmade, "handmade"));
    lf_readParkPositions(handmade, backHandmade, UseOrigin::Learned);
    ASSERT_EQ(backHandmade.size(), 4u);
    EXPECT_NEAR(backHandmade[1].position.lat, 51.001, 1e-9);
    EXPECT_EQ(backHandmade[0].uses.size(), 2u);   // neither the fake nor the dropped use
}

}  // namespace
}  // namespace vrn
