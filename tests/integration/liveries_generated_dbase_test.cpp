// The type database that varnel-data generates from data/liveries: size classes and spans as the
// program reads them, bad reference rows, and the real aircraft.cfg sample scanned against it.
#include <cstdlib>

#include "liveries/livery_scan.h"
#include "liveries/liveries_fixture.h"
#include "liveries/type_queries.h"
#include "support/process.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceData = fs::path(VARNEL_TEST_DATA).parent_path().parent_path() / "data";

std::size_t countOf(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

class GeneratedDbase : public LiveriesTest {
protected:
    void SetUp() override {
        LiveriesTest::SetUp();
        if (!dataBuilderBuilt()) GTEST_SKIP() << "varnel-data not built";
    }
    // Runs `varnel-data liveries` from `source` into the scratch program folder; its output goes to `out`.
    int generate(const fs::path& source, std::string& out) {
        const fs::path log = dir() / "varnel-data.out";
        const int rc = runDataBuilder({"liveries", "--source", source.string(), "--program", dir().string(),
                                       "--packages", (dir() / "packages").string()},
                                      log);
        out = readFile(log);
        return rc;
    }
};

TEST_F(GeneratedDbase, SizeClassesSpansAndBadRows) {
    // The project's own lists with small reference tables in place of the real ones.
    const fs::path source = dir() / "src";
    fs::create_directories(source);
    fs::copy(kSourceData / "liveries", source / "liveries", fs::copy_options::recursive);
    writeFile(source / "liveries" / "reference" / "types.csv",
              "icao_type,name,class,wtc,wingspan_m,wingspan_source\n"
              "R44X,Rotor,H1P,L,,\n"
              "BIGJ,Big jet,L4J,H,64.4,x\n"
              "FGHT,Fighter,L1J,M,,\n"
              "SMLJ,Small jet,L2J,L/M,,\n"
              "GLFX,Gulfstream GX,L2J,M,30.0,x\n"
              "AIRL,Airliner,L2J,M,35,x\n"
              "TPRP,\"Turboprop, twin\",L2T,M,,\n"
              "E135,Embraer ERJ 135/140/Legacy,L2J,M,20.06,x\n"   // Legacy: a business jet by name; types.txt: large, 20.0
              "A320,Airbus A320,L2J,M,35.81,x\n"                  // types.txt gives 35.8
              "EC35,Eurocopter EC-135,H2T,L,10.2,x\n"             // types.txt gives no span
              "BALL,Balloon,,,,\n"                                // no class; types.txt lists it
              "BADW,Bad wake,L2J,Q,,\n"
              "BADS,Bad span,L2J,M,12m,\n"
              "QUOT,\"open,L2J,M,,\n"
              "AIRL,Repeated,L1P,L,,\n"
              "FEW,L2J,M\n");
    writeFile(source / "liveries" / "reference" / "airlines.csv",
              "icao,name,callsign,country,active,iata,source,openflights_name\n"
              "DLH,Lufthansa,LUFTHANSA,Germany,Y,LH,s,\n"
              "ZZZ,Zabaykalskii Airlines,Lakeair,Russia,Y,ZP,s,\n"
              "NEW,New Air,\"OLD, AIR\",Chad,N,,s,Old Airways\n"
              "D1H,Digit,DIGIT,,,,s,\n"
              "LONG,Four,FOUR,,,,s,\n");
    std::string out;
    ASSERT_EQ(generate(source, out), 0) << out;
    EXPECT_NE(out.find("skipped (missing or malformed fields, repeated codes): 6 types, 2 airlines"), std::string::npos)
        << out;
    ASSERT_TRUE(gf_readDbase());

    struct Case {
        const char* type;
        unsigned sizeClass;
        double metres;
    };
    // Spans: the type's own, else the default of its class in size_classes.txt.
    for (const Case& c : {Case{"R44X", SIZE_ROTORCRAFT, 12.0}, Case{"BIGJ", SIZE_HEAVY, 64.4}, Case{"FGHT", SIZE_HIGH_PERF, 10.0},
                          Case{"SMLJ", SIZE_BUSINESS_JET, 17.0}, Case{"GLFX", SIZE_BUSINESS_JET, 30.0},
                          Case{"AIRL", SIZE_LARGE, 35.0}, Case{"TPRP", SIZE_LIGHT, 12.0}, Case{"E135", SIZE_LARGE, 20.0},
                          Case{"A320", SIZE_LARGE, 35.8}, Case{"EC35", SIZE_ROTORCRAFT, 10.2},
                          Case{"BALL", SIZE_LIGHT, 12.0}, Case{"B744", SIZE_HEAVY, 64.4}}) {
        SCOPED_TRACE(c.type);
        EXPECT_TRUE(gf_isValidModel(c.type));
        EXPECT_EQ(gf_sizeClass(c.type), c.sizeClass);
        EXPECT_DOUBLE_EQ(gf_halfWingspanNm(c.type), c.metres / 2 / 1852);
    }
    for (const char* bad : {"BADW", "BADS", "QUOT", "FEW"}) EXPECT_FALSE(gf_isValidModel(bad)) << bad;

    for (const char* airline : {"DLH", "ZZZ", "PVT", "NEW", "UNO"}) EXPECT_TRUE(gf_isIcaoAirline(airline)) << airline;
    EXPECT_FALSE(gf_isIcaoAirline("D1H"));
    // Callsigns: DLH's from the table; none for the ZZZ convention, nor for a code that changed hands.
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file("input/dbase.xml"));
    const auto callsign = [&](const std::string& code) {
        return std::string(doc.child("ICAO_airlines")
                               .find_child_by_attribute("ICAO", "codes", gf_scrambleAirline(code).c_str())
                               .attribute("callsign")
                               .value());
    };
    EXPECT_EQ(callsign("DLH"), "LUFTHANSA");
    EXPECT_EQ(callsign("ZZZ"), "");
    EXPECT_EQ(callsign("NEW"), "");

    // A source that cannot be read leaves the previous file whole.
    const std::string before = readFile(dir() / "input" / "dbase.xml");
    writeFile(source / "liveries" / "reference" / "types.csv", "code,class\nA320,L2J\n");
    EXPECT_NE(generate(source, out), 0);
    EXPECT_NE(out.find("unexpected columns"), std::string::npos) << out;
    EXPECT_EQ(readFile(dir() / "input" / "dbase.xml"), before);
    EXPECT_FALSE(fs::exists(dir() / "input" / "dbase.xml.tmp"));
}

TEST_F(GeneratedDbase, RealPackageLosesNoSectionForAMissingAirlineOrType) {
    if (!realDataAvailable()) GTEST_SKIP() << "shared real data not present";
    std::string out;
    ASSERT_EQ(generate(kSourceData, out), 0) << out;
    ASSERT_TRUE(gf_readDbase());
    gf_readFixes();

    // 247 sections: 199 stubs, 4 generic airliners without an airline, one title found twice.
    for (const auto& [suppressStubs, liveries] : {std::pair{true, 43u}, {false, 242u}}) {
        SCOPED_TRACE(suppressStubs);
        SUPPRESS_STUB.set(suppressStubs);
        std::vector<std::string> folders = {realDataPath("aircraft-cfg/fsltl-traffic-base").string()};
        ASSERT_TRUE(gf_scanLiveries(true, false, false, folders));
        const fs::path errors = dir() / "output" / "errors";
        EXPECT_FALSE(fs::exists(errors / "InvalidAirlineCodes.txt")) << readFile(errors / "InvalidAirlineCodes.txt");
        EXPECT_FALSE(fs::exists(errors / "InvalidAircraftCodes.txt")) << readFile(errors / "InvalidAircraftCodes.txt");
        const std::string incomplete = readText(errors / "IncompleFltsimSections.txt");
        EXPECT_EQ(countOf(incomplete, "\n"), 5u) << incomplete;
        EXPECT_EQ(countOf(incomplete, "Asobo_Generic_Airliner_TwinEngines [FLTSIM."), 4u) << incomplete;
        EXPECT_EQ(countOf(incomplete, "] empty icao_airline=\n"), 4u) << incomplete;

        const std::string stored = readFile(dir() / "output" / "LiveriesScanned.xml");
        EXPECT_EQ(countOf(stored, "<liv "), liveries);
        // The unbranded livery and the light VL3 without airline serve private operators.
        for (const char* livery : {"airl=\"PVT\" type=\"A320\"", "airl=\"PVT\" type=\"VL3\""})
            EXPECT_NE(stored.find(livery), std::string::npos) << livery;
    }
}

}  // namespace
}  // namespace vrn::test
