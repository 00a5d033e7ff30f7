// The .pln writer, its folder and the no-match log, with the simulator reading the plans back.
#include "simlink/flight_plan.h"

#include <pugixml.hpp>

#include "link_fixture.h"

namespace vrn::test {
namespace {

class FlightPlanTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        std::filesystem::create_directories(dir / "appdata");   // the user's application-data folder exists
        gf_setDataFolderForTests(dir / "appdata" / "Varnel");
        gf_clearRefusedFlights();
        ASSERT_TRUE(gf_makeOrigDestFolder());
    }
    void TearDown() override {
        gf_setDataFolderForTests({});
        gf_clearRefusedFlights();
        LinkFixture::TearDown();
    }
    static Aircraft aircraft(unsigned sizeClass, const std::string& departure, const std::string& destination) {
        Aircraft a;
        std::tie(a.sizeClass, a.departure, a.destination) = std::tie(sizeClass, departure, destination);
        return a;
    }
};

TEST_F(FlightPlanTest, WritesTheAceXmlPlanWithTheFlightRulesAndEscapedTexts) {
    EXPECT_EQ(gf_flightPlanFolder(), dir / "appdata" / "Varnel" / "orig_dest");
    const auto file = gf_flightPlanFolder() / gf_flightPlanFileName(123);
    EXPECT_EQ(file.filename(), "123.pln");
    for (const auto& [sizeClass, expected] : std::vector<std::pair<unsigned, std::string>>{
             {0, "VFR"}, {1, "IFR"}, {2, "IFR"}, {3, "IFR"}, {4, "VFR"}, {5, "VFR"}}) {
        ASSERT_TRUE(gf_writeFlightPlan(file, aircraft(sizeClass, "LSZH", "EGLL")));
        EXPECT_EQ(readFile(file),
                  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<SimBase.Document Type=\"AceXML\" version=\"4,3\">\r\n"
                  "<FlightPlan.FlightPlan>\r\n<FPType>" + expected + "</FPType>\r\n<DepartureID>LSZH</DepartureID>\r\n"
                  "<DestinationID>EGLL</DestinationID>\r\n</FlightPlan.FlightPlan>\r\n</SimBase.Document>\r\n");
    }
    ASSERT_TRUE(gf_writeFlightPlan(file, aircraft(2, "A&B", "<X>\"'")));   // feed texts cannot break the plan
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(file.c_str()));
    const auto fp = doc.child("SimBase.Document").child("FlightPlan.FlightPlan");
    EXPECT_STREQ(fp.child("DepartureID").text().as_string(), "A&B");
    EXPECT_STREQ(fp.child("DestinationID").text().as_string(), "<X>\"'");
    EXPECT_FALSE(gf_writeFlightPlan(dir / "missing" / "1.pln", aircraft(2, "A", "B")));
}

TEST_F(FlightPlanTest, TheSimulatorLoadsWrittenPlansAndRefusesOthers) {
    const simconnect::DWORD ai = sim().addOtherAircraft({"Title A", "PLAN1", 47.46, 8.55, 0.0, true});
    connect();
    frames(1);
    const auto good = gf_flightPlanFolder() / gf_flightPlanFileName(ai);
    ASSERT_TRUE(gf_writeFlightPlan(good, aircraft(3, "KJFK", "LSZH")));
    writeFile(dir / "bad.pln", "<SimBase.Document><FlightPlan.FlightPlan></FlightPlan.FlightPlan>");
    for (const auto& path : {good, dir / "bad.pln", dir / "none.pln"})
        locked([&] { simconnect::SimConnect_AISetAircraftFlightPlan(g_hSimConnect.load(), ai, path.string().c_str(), REQUEST_FLIGHT_PLAN); });
    gf_simClientDispatchOnce();
    EXPECT_EQ(sim().object(ai)->planDestination, "LSZH");
    EXPECT_TRUE(gf_removeFlightPlanFolder());
    EXPECT_FALSE(std::filesystem::exists(gf_flightPlanFolder()));
    EXPECT_TRUE(gf_removeFlightPlanFolder()) << "a missing folder is already gone";
}

TEST_F(FlightPlanTest, NoMatchLogListsTheFlightsSorted) {
    gf_logNoMatchFound();
    EXPECT_EQ(logText().find("No match found"), std::string::npos);
    for (const char* flight : {"KLM B738 PH-BXA", "AFR A320 F-HBNA", "AFR A320 F-HBNA"}) gf_addRefusedFlight(flight);
    gf_logNoMatchFound();
    EXPECT_NE(logText().find(systemLines("\nNo match found for: \nAFR A320 F-HBNA\nKLM B738 PH-BXA\n\n")), std::string::npos);
}

}  // namespace
}  // namespace vrn::test
