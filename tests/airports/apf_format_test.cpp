// Airport parking file format: writing and reading back stands and uses.
#include <gtest/gtest.h>

#include "airports/airport_files.h"
#include "core/exceptions.h"
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
        {R"(<opt cs="A:B:C" hh="3"/>)", "A", "", 1ull << 3, 1},
        {R"(<opt cs="TOW 1" hh="3"/>)", "", "", 0, 0},
        {R"(<opt cs="TOW" hh="3"/>)", "TOW", "", 1ull << 3, 1},
        {R"(<opt cs="X" hh="1,"/>)", "X", "", 1ull << 1, 1}, {R"(<opt cs="X" hh=" 7"/>)", "X", "", 1ull << 7, 1},
        {R"(<opt cs="X" hh="47,-1"/>)", "X", "", 1ull << 47, 1}, {R"(<opt cs="X" hh="3,x,5"/>)", "X", "", 1ull << 3, 1},
        {R"(<opt cs="X" hh="2,48"/>)", "X", "", 1ull << 2, 1}, {R"(<opt cs="X"/>)", "X", "", 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opt);
        pugi::xml_document doc;
        const std::string xml = std::string("<parameters/><parkpositions><parkpos id=\"A\" latitude=\"1\" longitude=\"2\" "
                                            "radius=\"20\">") + c.opt + "</parkpos></parkpositions>";
        ASSERT_TRUE(doc.load_string(xml.c_str()));
        std::vector<Stand> stands;
        lf_readParkPositions(doc, stands, UseOrigin::Archive);
        ASSERT_EQ(stands.size(), 1u);
        ASSERT_EQ(stands[0].uses.size(), c.uses);
        if (c.uses == 0) continue;
        const StandUse& use = stands[0].uses[0];
        EXPECT_TRUE(use.callsign == c.callsign && use.coupled == c.coupled && use.hh == c.hh && use.number == 1u);
    }
}

TEST(ApfFormat, RepeatedStandIdStopsWithUserError94KeepingEarlierStands) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(
        R"(<parkpositions><parkpos id="A0"/><parkpos id="A1"/><parkpos id="A1"/><parkpos id="A2"/></parkpositions>)"));
    std::vector<Stand> stands;
    EXPECT_THROW(lf_readParkPositions(doc, stands, UseOrigin::Archive), UserErrorException);
    EXPECT_EQ(stands.size(), 2u);
}

TEST(ApfFormat, FullFormRoundTripKeepsGeometryAndFlags) {
    test::TempDir dir;
    ApfAirport airport;
    airport.code = "EGLL";
    airport.airport_name = "Zürich \"test\" & <co>";
    airport.publisher = "unknown";
    airport.bglPath = "D:\\Scenery\\x.bgl";
    airport.altitude = 83;
    airport.stands.push_back(makeStand("501", 51.4701, 1.5708, 0.0194 * kNmToMetres));
    airport.stands.push_back(Stand({}, "H1", StandPlacement{51.47, -0.45, 0}, 10, true, true, true));
    airport.stands[0].uses.push_back(StandUse{"", "", "", "", "", 1, 1});
    const auto path = dir / "EGLL.xml";
    ASSERT_TRUE(gf_writeApf(airport, path, false));
    const std::string text = readFile(path);
    expectIn(text, R"(heading="90.0" radius="35.9" cargo="false" ramp="false")");
    expectIn(text, R"(radius="10.0" heli="true" ramp="true")");
    expectIn(text, R"(name="BGLpath")");
    // A plain file never carries uses, overlays or the per-airport settings.
    for (const char* absent : {"<opt", "radius_change", "LATERAL_RANGE", "handmade"})
        EXPECT_EQ(text.find(absent), std::string::npos) << absent;
    pugi::xml_document doc;
    ASSERT_TRUE(gf_loadApfDocument(doc, path));
    EXPECT_EQ(lf_readStringParameter(doc, "airport_name"), airport.airport_name);
    EXPECT_EQ(lf_readIntParameter(doc, "num_parkpos"), 2);
    std::vector<Stand> back;
    lf_readParkPositions(doc, back, UseOrigin::Archive);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_NEAR(back[0].radius * kNmToMetres, 35.9, 1e-9);
    EXPECT_NEAR(back[0].heading, 90.0 * kDeg2Rad, 1e-12);
    EXPECT_TRUE(back[1].heli);
    EXPECT_FALSE(back[1].cargo);   // a helipad is written without its cargo flag
}

TEST(ApfFormat, LearnedFormsAndUses) {
    test::TempDir dir;
    ApfAirport airport;
    airport.code = "EGLL";
    airport.publisher = "stock";
    auto plain = makeStand("P", 51, 0, 30);
    auto changed = makeStand("C", 51.001, 0, 40);
    changed.radiusChanged = changed.cargoChanged = changed.cargo = 1;
    auto manual = makeStand("M", 51.002, 0, 20);
    manual.manual = 1;
    StandUse real{"EZY", "A320", "", "EZY12", "EZY13", (1ull << 46) | (1ull << 47), 1, 7, 1, 0, UseOrigin::Run};
    StandUse fake{"ZZZ", "B738", "REGFAKE1", "FAKE1", "", 1, 2, 7, 0, 1, UseOrigin::Fake};
    StandUse dropped = real;
    dropped.number = 0;
    StandUse noCallsign{"EZY", "A320", "", "", "", 1, 3, 2, 1, 1, UseOrigin::Run};
    plain.uses = {real, fake, dropped, noCallsign};
    airport.stands = {plain, changed, manual};

    ASSERT_TRUE(gf_writeApf(airport, dir / "learned.xml", true));
    const std::string text = readFile(dir / "learned.xml");
    expectIn(text, R"(<parkpos id="P">)");
    expectIn(text, R"(<parkpos id="C" radius_change="true" radius="40.0" cargo_change="true" cargo="true" />)");
    expectIn(text, R"(ramp="false" manual="true")");
    expectIn(text, R"(<opt reg="" airl="EZY" type="A320" day="7" hh="46,47" cs="EZY12:EZY13" />)");
    expectIn(text, R"(soft="true" day="2" hh="0" />)");
    EXPECT_EQ(text.find("FAKE1"), std::string::npos);

    // A handmade file is the whole stand list: a changed stand keeps its position there.
    ASSERT_TRUE(gf_writeApf(airport, dir / "handmade.xml", true, true));
    pugi::xml_document doc;
    ASSERT_TRUE(gf_loadApfDocument(doc, dir / "handmade.xml"));
    EXPECT_TRUE(lf_readStringParameter(doc, "handmade"));
    std::vector<Stand> back;
    lf_readParkPositions(doc, back, UseOrigin::Learned);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_NEAR(back[1].position.lat, 51.001, 1e-9);
    EXPECT_EQ(back[0].uses.size(), 2u);   // neither the fake nor the dropped use
}

}  // namespace
}  // namespace vrn
