#include "core/format.h"
#include "liveries/livery_search.h"
#include "liveries_fixture.h"

namespace vrn::test {
namespace {

TEST(AircraftCfgLines, KeyReaders) {
    std::string out = "previous";
    EXPECT_TRUE(gf_readTitle("  TITLE  =  \"Airbus A320 DLH\" ; comment\r", out));
    EXPECT_EQ(out, "Airbus A320 DLH");
    EXPECT_TRUE(gf_readTitle("title=Airbus A320 DLH ; comment   ", out));
    EXPECT_EQ(out, "Airbus A320 DLH ; comment");   // unquoted: the comment stays
    for (const char* line : {"title = ", "ui_title = x", "title_x = y"}) EXPECT_FALSE(gf_readTitle(line, out)) << line;

    EXPECT_EQ(gf_readTypeDesignator("icao_type_designator = a20neo"), "A20N");
    EXPECT_EQ(gf_readTypeDesignator("icao_type_designator = \"DH8D\" ;"), "DH8D");

    out.clear();
    for (const char* line : {"atc_id = ABCD", "atc_id = \"\" ; tail number", "atc_id_enable = 1 ; enable tail number"})
        EXPECT_FALSE(gf_readAtcId(line, out)) << line;
    EXPECT_TRUE(gf_readAtcId("atc_id=\"D-AIAC\"", out));
    EXPECT_EQ(out, "D-AIAC");
    EXPECT_TRUE(gf_hasAtcIdKey("atc_id=\"x\""));
    EXPECT_FALSE(gf_hasAtcIdKey("atc_id = \"x\""));   // the duplicate test sees only the spelling without blanks

    for (const auto& [line, code] : std::vector<std::pair<const char*, const char*>>{
             {"icao_airline = \"ZZZZecorder\"", "ZZZ"}, {"icao_airline = \"", "ZZZ"}, {"icao_airline = \"\"", "ZZZ"},
             {"icao_airline = dlh", "DLH"}, {"ICAO_AIRLINE=\"EWG\"", "EWG"}}) {
        out.clear();
        EXPECT_TRUE(gf_readIcaoAirline(line, out)) << line;
        EXPECT_EQ(out, code) << line;
    }
    out.clear();
    EXPECT_FALSE(gf_readParkingTypes("atc_parking_types = \"\"", out));
    EXPECT_TRUE(gf_readParkingTypes("atc_parking_types = \"GATE,RAMP\" ; x", out));
    EXPECT_EQ(out, "GATE,RAMP");

    EXPECT_EQ(gf_modelFromBaseContainer("base_container = \"..\\Asobo_A320_NEO\""), "A20N");
    EXPECT_EQ(gf_modelFromBaseContainer("base_container = \"..\\asobo_a320_neo\""), "");   // exact key
    EXPECT_EQ(gf_modelFromBaseContainer("base_container = ab"), "");   // too short: not found, no throw
}

TEST(AircraftCfgLines, SectionHeaders) {
    const std::pair<const char*, const char*> cases[] = {
        {"[fltsim.0]", "0"},      {"  [FLTSIM.2]  \r", "2"}, {"[Fltsim.12]", "12"}, {"[fltsim.]", "10000"},
        {"[fltsim.x]", "10000"},  {"//[fltsim.1]", ""},      {";[fltsim.1]", ""},    {"  ; [FLTSIM.3]", ""},
        {"[GENERAL]", ""},        {"[fltsim.1] x", "10000"}, {"texture=[fltsim.1]", "10000"}};
    for (const auto& [line, number] : cases) EXPECT_EQ(gf_fltsimNumber(line), number) << line;
}

class Numbering : public LiveriesTest {};

TEST_F(Numbering, SectionsMustRunFromZero) {
    EXPECT_TRUE(gf_checkFltsimNumbers({"[fltsim.1]", "[FLTSIM.0]", "[fltsim.2]"}, "ok.cfg"));
    EXPECT_TRUE(gf_checkFltsimNumbers({"[GENERAL]", "x=1"}, "none.cfg"));
    EXPECT_EQ(g_scanReports.noFltsimSection.copy(), std::vector<std::string>{"none.cfg"});
    EXPECT_FALSE(gf_checkFltsimNumbers({"[fltsim.0]", "[fltsim.1]", "[fltsim.3]"}, "gap.cfg"));
    EXPECT_FALSE(gf_checkFltsimNumbers({"[fltsim.0]", "[fltsim.0]"}, "twice.cfg"));
    EXPECT_FALSE(gf_checkFltsimNumbers({"[fltsim.1]", "[fltsim.2]"}, "late.cfg"));
    EXPECT_FALSE(gf_checkFltsimNumbers({"[fltsim.0]", "[fltsim.]"}, "nonumber.cfg"));
    EXPECT_EQ(g_scanReports.invalidCfgFiles.copy(),
              (std::vector<std::string>{"gap.cfg contains non-consecutive [fltsim.x] numbers at .x=3",
                                        "twice.cfg contains non-consecutive [fltsim.x] numbers at .x=0",
                                        "late.cfg contains non-consecutive [fltsim.x] numbers at .x=1",
                                        "nonumber.cfg contains a [fltsim.] section without a number"}));
    EXPECT_FALSE(gf_checkFltsimNumbers({"[fltsim.99999999999]"}, "huge.cfg"));
}

class Sections : public LiveriesTest {
protected:
    void SetUp() override {
        LiveriesTest::SetUp();
        readDbase();
        g_pvtFixes = {"NJE"};
        g_govFixes = {"GAF"};
    }
    std::list<LiveryData> section(std::vector<std::string> lines, const std::string& model = "A320") {
        lines.insert(lines.begin(), "[FLTSIM.0]");
        return gf_procesFltSimSection(3, lines, model, "pkg/A320/aircraft.cfg", "pkg/A320");
    }
};

TEST_F(Sections, AirlinesOfASection) {
    auto two = section({"title = \"Two Airlines\"", "icao_airline = \"EWG, DLH\"", "atc_id = \"D-ABCD\""});
    ASSERT_EQ(two.size(), 2u);   // sorted codes, one title check
    EXPECT_EQ(two.front().airline, "DLH");
    EXPECT_EQ(two.back().airline, "EWG");
    EXPECT_EQ(two.front().folderNumber, 3u);
    EXPECT_EQ(two.front().atcId, "D-ABCD");

    auto boe = section({"title = \"House colours\"", "icao_airline = BOE", "atc_id = D-ABCE"});
    ASSERT_EQ(boe.size(), 1u);
    EXPECT_EQ(boe.front().airline, "ZZZ");
    EXPECT_EQ(boe.front().atcId, "");

    EXPECT_EQ(section({"title = \"Four letters\"", "icao_airline = DLHC"}).front().airline, "DLH");
    EXPECT_TRUE(section({"title = \"Bad code\"", "icao_airline = DLHZ"}).empty());
    EXPECT_EQ(section({"title = \"Private fix\"", "icao_airline = NJE"}).front().airline, "PVT");
    EXPECT_EQ(section({"title = \"Gov fix\"", "icao_airline = GAF"}).front().airline, "PVT");

    // No airline: private for every class but airliners.
    EXPECT_EQ(section({"title = \"GA\""}, "C172").front().airline, "PVT");
    EXPECT_EQ(section({"title = \"Bizjet\""}, "C25C").front().airline, "PVT");
    EXPECT_TRUE(section({"title = \"Airliner\""}, "A320").empty());
    EXPECT_EQ(g_scanReports.incompleteSections.copy(),
              std::vector<std::string>{"pkg/A320 [FLTSIM.0] empty icao_airline="});
    EXPECT_EQ(g_scanReports.invalidAirlines.copy(),
              std::vector<std::string>{"DLHZ         in pkg/A320/aircraft.cfg [FLTSIM.0]"});
    EXPECT_EQ(g_scanReports.codeFixes.copy(),
              (std::vector<std::string>{"Fix: NJE found in pkg/A320/aircraft.cfg changed into PVT",
                                        "Fix: GAF found in pkg/A320/aircraft.cfg changed into PVT"}));
}

TEST_F(Sections, CargoAndRegistrations) {
    const std::pair<const char*, bool> parking[] = {
        {"GATE,CARGO", false}, {"CARGO,RAMP", true}, {"cargo", true}, {" RAMP , CARGO ", true}, {"GATE", false}};
    int n = 0;
    for (const auto& [types, cargo] : parking) {
        auto l = section({format("title = \"Cargo {}\"", n++), "icao_airline = DLH", format("atc_parking_types = \"{}\"", types)});
        ASSERT_EQ(l.size(), 1u) << types;
        EXPECT_EQ(l.front().cargo, cargo) << types;
    }
    const std::pair<const char*, const char*> regs[] = {
        {"atc_id = \"D-ABCD; old\"", "D-ABCD"}, {"atc_id = \"A-BCDE,F-GHIJ\"", ""}, {"atc_id = \"D-AB*D\"", ""},
        {"atc_id = \"ABCDEFGHIJKLM\"", ""},     {"atc_id = \"ABCDEFGHIJKL\"", "ABCDEFGHIJKL"}};
    for (const auto& [line, reg] : regs) {
        auto l = section({format("title = \"Reg {}\"", n++), "icao_airline = DLH", line});
        ASSERT_EQ(l.size(), 1u) << line;
        EXPECT_EQ(l.front().atcId, reg) << line;
    }
    // A refused registration counts as none, so a later atc_id line is read.
    auto again = section({"title = \"Reg again\"", "icao_airline = DLH", "atc_id = \"D-A*CD\"", "atc_id=\"D-AIAC\""});
    EXPECT_EQ(again.front().atcId, "D-AIAC");
}

TEST_F(Sections, DroppedSections) {
    EXPECT_TRUE(section({"title = \"Fleet-STUB\"", "icao_airline = DLH"}).empty());
    SUPPRESS_STUB.set(false);
    EXPECT_EQ(section({"title = \"Fleet-STUB\"", "icao_airline = DLH"}).size(), 1u);
    EXPECT_TRUE(section({"title = \"My FenixA320 x\"", "icao_airline = DLH"}).empty());
    EXPECT_TRUE(section({"title = \"One\"", "title = \"Two\"", "icao_airline = DLH"}).empty());
    EXPECT_TRUE(section({"title = \"Three\"", "icao_airline = DLH", "icao_airline = EWG"}).empty());
    EXPECT_TRUE(section({"title = \"Four\"", "icao_airline = DLH", "atc_id=\"D-ABCD\"", "atc_id=\"D-ABCE\""}).empty());
    EXPECT_TRUE(section({"icao_airline = DLH"}).empty());
    // Commented-out keys are no second key.
    EXPECT_EQ(section({"title = \"Five\"", "icao_airline = DLH", ";icao_airline = EWG", "// title = x"}).size(), 1u);
    // A title made before (here or in another file) is reported, not made again.
    EXPECT_TRUE(section({"title = \"Five\"", "icao_airline = EWG"}).empty());
    g_dontUseTitles.insert("Not This One");
    EXPECT_TRUE(section({"title = \"Not This One\"", "icao_airline = DLH"}).empty());
    const auto incomplete = g_scanReports.incompleteSections.copy();
    for (const char* line : {"pkg/A320 [FLTSIM.0] has more than one title key",
                             "pkg/A320 [FLTSIM.0] has more than one icao_airline key",
                             "pkg/A320, [FLTSIM.0], has more than one atc_id key", "pkg/A320 [FLTSIM.0] misses title",
                             "pkg/A320 [FLTSIM.0] title \"Five\" already exists"})
        EXPECT_NE(std::find(incomplete.begin(), incomplete.end(), line), incomplete.end()) << line;
}

class FileSearch : public LiveriesTest {
protected:
    void SetUp() override {
        LiveriesTest::SetUp();
        readDbase();
        g_modelFixes = {{"B38", "B38M"}};
    }
    std::list<LiveryData> search(const std::string& name, const std::string& bytes) {
        const auto file = dir() / "pkg" / name / "aircraft.cfg";
        writeFile(file, bytes);
        return gf_searchLiveriesinFile(1, file.string());
    }
};

TEST_F(FileSearch, SectionsAreCutAtOtherSections) {
    const std::string cfg =
        "[VERSION]\nmajor=1\n[FLTSIM.0]\ntitle = \"First\"\ntexture = \"a\" ; [see] x\nicao_airline = DLH\n"
        "[GENERAL]\nicao_type_designator = \"B38\"\ntitle = \"Not a section line\"\n"
        "[FLTSIM.1]\ntitle = \"Second\"\nicao_airline = KLM\n;[fltsim.7] old livery\n";
    const auto liveries = search("plain", cfg);
    ASSERT_EQ(liveries.size(), 2u);
    EXPECT_EQ(liveries.front().title, "First");
    EXPECT_EQ(liveries.front().model, "B38M");
    EXPECT_EQ(liveries.back().title, "Second");
    EXPECT_EQ(g_scanReports.codeFixes.size(), 1u);
}

TEST_F(FileSearch, CommentedOutHeadersEndTheSection) {
    // The commented-out section's keys are no second title and airline of the section above it.
    const auto liveries = search("commented",
                                 "[GENERAL]\nicao_type_designator = \"A320\"\n[FLTSIM.0]\ntitle = \"Before\"\n"
                                 "icao_airline = DLH\n;[fltsim.1]\ntitle = \"Commented out\"\nicao_airline = KLM\n"
                                 "[FLTSIM.1]\ntitle = \"Second\"\n//[fltsim.2]\ntitle = \"Old\"\nicao_airline = BAW\n");
    std::vector<std::string> titles;
    for (const LiveryData& l : liveries) titles.push_back(l.title + " " + l.airline);
    EXPECT_EQ(titles, std::vector<std::string>{"Before DLH"});
    EXPECT_TRUE(g_scanReports.invalidCfgFiles.empty());
    const auto incomplete = g_scanReports.incompleteSections.copy();
    ASSERT_EQ(incomplete.size(), 1u);
    EXPECT_NE(incomplete[0].find("[FLTSIM.1] empty icao_airline="), std::string::npos);

}

TEST_F(FileSearch, EncodingsGiveTheSameLiveries) {
    const std::string text =
        "[GENERAL]\r\nicao_type_designator = \"A320\"\r\n[FLTSIM.0]\r\ntitle = \"Encoded \xC3\xA9\"\r\nicao_airline = DLH\r\n";
    auto utf16 = [](const std::string& ascii, bool big, bool lf) {
        std::string out = big ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE", 2);
        std::u16string wide;
        for (std::size_t i = 0; i < ascii.size(); ++i) {
            if (ascii[i] == '\r' && lf) continue;
            if (static_cast<unsigned char>(ascii[i]) == 0xC3) {
                wide.push_back(u'\u00e9');
                ++i;
            } else {
                wide.push_back(static_cast<char16_t>(ascii[i]));
            }
        }
        for (char16_t c : wide) {
            const char hi = static_cast<char>(c >> 8), lo = static_cast<char>(c & 0xFF);
            out += big ? std::string{hi, lo} : std::string{lo, hi};
        }
        return out;
    };
    const std::pair<const char*, std::string> files[] = {
        {"ansi", text},
        {"bom", "\xEF\xBB\xBF" + text},
        {"le", utf16(text, false, false)},
        {"be", utf16(text, true, false)},
        {"lelf", utf16(text, false, true)}};
    for (const auto& [name, bytes] : files) {
        gf_clearScanReports();
        const auto liveries = search(name, bytes);
        ASSERT_EQ(liveries.size(), 1u) << name;
        EXPECT_EQ(liveries.front().title, "Encoded \xC3\xA9") << name;
        EXPECT_EQ(liveries.front().airline, "DLH") << name;
    }
}

TEST_F(FileSearch, FilesThatGiveNothing) {
    EXPECT_TRUE(search("gap", "[GENERAL]\nicao_type_designator=A320\n[FLTSIM.0]\ntitle=a\n[FLTSIM.2]\ntitle=b\n").empty());
    EXPECT_TRUE(search("nomodel", "[FLTSIM.0]\ntitle=a\nicao_airline=DLH\n").empty());
    EXPECT_TRUE(search("badmodel", "[GENERAL]\nicao_type_designator=QQQQ\n[FLTSIM.0]\ntitle=q\n").empty());
    EXPECT_TRUE(search("garbage", std::string("\x00\x01\xFF[fltsim.\n\xFE", 9)).empty());
    EXPECT_TRUE(gf_searchLiveriesinFile(1, (dir() / "missing" / "aircraft.cfg").string()).empty());
    EXPECT_EQ(g_scanReports.invalidModels.copy().at(0).substr(0, 20), "QQQQ             in ");
    const auto invalid = g_scanReports.invalidCfgFiles.copy();
    ASSERT_EQ(invalid.size(), 3u);
    EXPECT_NE(invalid[1].find("Line icao_type_designator= is missing in [General] section of "), std::string::npos);
}

TEST_F(FileSearch, IvaoFiles) {
    const auto base = dir() / "x" / "IVAO_MTL" / "SimObjects" / "Airplanes";
    writeFile(base / "IVAO_A320" / "aircraft.cfg",
              "[fltsim.0]\ntitle = A320 DLH Lufthansa \ntexture = DLH\natc_id = D-AIPA\n// [old]\ntitle = A320 DLH Old\n"
              "[fltsim.1]\ntitle = A320 BOE House\ntexture = boe\n"
              "[fltsim.2]\ntitle = A320\ntexture = DLH\n"
              "[fltsim.3]\ntitle = A320 KLM\ntexture = KLM\n");
    std::filesystem::create_directories(base / "IVAO_A320" / "texture.DLH");
    std::filesystem::create_directories(base / "IVAO_A320" / "Texture.BOE");   // case differs
    const std::string path = (base / "IVAO_A320" / "aircraft.cfg").string();
    EXPECT_TRUE(gf_isIvaoPath(path));
    const auto liveries = gf_searchLiveriesinIvaoFile(2, path);
    ASSERT_EQ(liveries.size(), 2u);
    EXPECT_EQ(liveries.front().title, "A320 DLH Lufthansa");
    EXPECT_EQ(liveries.front().airline, "DLH");
    EXPECT_EQ(liveries.front().atcId, "D-AIPA");
    EXPECT_EQ(liveries.back().airline, "ZZZ");
    const auto incomplete = g_scanReports.incompleteSections.copy();
    EXPECT_EQ(incomplete.size(), 2u);   // no airline in the title; no texture.KLM folder
    // In an IVAO file any '[' ends the section, in a comment too: "// [old]" gives no second title.
    EXPECT_TRUE(gf_searchLiveriesinIvaoFile(2, (dir() / "other" / "IVAO_A320" / "aircraft.cfg").string()).empty());
}

}  // namespace
}  // namespace vrn::test
