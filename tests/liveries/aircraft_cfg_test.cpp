#include "core/format.h"
#include "liveries/livery_search.h"
#include "liveries_fixture.h"

namespace vrn::test {
namespace {

TEST(AircraftCfgLines, KeyReaders) {
    // Each reader, a line and what it reads ("-": refused).
    using Reader = bool (*)(const std::string&, std::string&);
    const std::tuple<Reader, const char*, const char*> cases[] = {
        {gf_readTitle, "  TITLE  =  \"Airbus A320 DLH\" ; comment\r", "Airbus A320 DLH"},
        {gf_readTitle, "title=Airbus A320 DLH ; comment   ", "Airbus A320 DLH ; comment"},   // unquoted: comment stays
        {gf_readTitle, "title = ", "-"}, {gf_readTitle, "ui_title = x", "-"}, {gf_readTitle, "title_x = y", "-"},
        {gf_readAtcId, "atc_id = ABCD", "-"}, {gf_readAtcId, "atc_id = \"\" ; tail number", "-"},
        {gf_readAtcId, "atc_id_enable = 1 ; enable tail number", "-"}, {gf_readAtcId, "atc_id=\"D-AIAC\"", "D-AIAC"},
        {gf_readIcaoAirline, "icao_airline = \"ZZZZecorder\"", "ZZZ"}, {gf_readIcaoAirline, "icao_airline = \"", "ZZZ"},
        {gf_readIcaoAirline, "icao_airline = \"\"", "ZZZ"}, {gf_readIcaoAirline, "icao_airline = dlh", "DLH"},
        {gf_readIcaoAirline, "ICAO_AIRLINE=\"EWG\"", "EWG"}, {gf_readParkingTypes, "atc_parking_types = \"\"", "-"},
        {gf_readParkingTypes, "atc_parking_types = \"GATE,RAMP\" ; x", "GATE,RAMP"}};
    for (const auto& [read, line, expected] : cases) {
        std::string out;
        EXPECT_EQ(read(line, out) ? out : "-", expected) << line;
    }
    EXPECT_EQ(gf_readTypeDesignator("icao_type_designator = a20neo") + gf_readTypeDesignator("icao_type_designator = \"DH8D\" ;"), "A20NDH8D");
    EXPECT_TRUE(gf_hasAtcIdKey("atc_id=\"x\""));
    EXPECT_FALSE(gf_hasAtcIdKey("atc_id = \"x\""));   // the duplicate test sees only the spelling without blanks
    EXPECT_EQ(gf_modelFromBaseContainer("base_container = \"..\\Asobo_A320_NEO\""), "A20N");
    EXPECT_EQ(gf_modelFromBaseContainer("base_container = \"..\\asobo_a320_neo\""), "");   // exact key
    EXPECT_EQ(gf_modelFromBaseContainer("base_container = ab"), "");   // too short: not found, no throw
}

TEST(AircraftCfgLines, SectionHeaders) {
    for (auto [line, number] : {std::pair{"[fltsim.0]", "0"}, {"  [FLTSIM.2]  \r", "2"}, {"[Fltsim.12]", "12"}, {"[fltsim.]", "10000"},
                                {"[fltsim.x]", "10000"}, {"//[fltsim.1]", ""}, {";[fltsim.1]", ""}, {"  ; [FLTSIM.3]", ""},
                                {"[GENERAL]", ""}, {"[fltsim.1] x", "10000"}, {"texture=[fltsim.1]", "10000"}})
        EXPECT_EQ(gf_fltsimNumber(line), number) << line;
}

using Numbering = LiveriesTest;

TEST_F(Numbering, SectionsMustRunFromZero) {
    EXPECT_TRUE(gf_checkFltsimNumbers({"[fltsim.1]", "[FLTSIM.0]", "[fltsim.2]"}, "ok.cfg") && gf_checkFltsimNumbers({"[GENERAL]", "x=1"}, "none.cfg"));
    EXPECT_EQ(g_scanReports.noFltsimSection.copy(), std::vector<std::string>{"none.cfg"});
    for (auto [file, lines] : {std::pair<const char*, std::vector<std::string>>{"gap.cfg", {"[fltsim.0]", "[fltsim.1]", "[fltsim.3]"}},
                               {"twice.cfg", {"[fltsim.0]", "[fltsim.0]"}}, {"late.cfg", {"[fltsim.1]", "[fltsim.2]"}},
                               {"nonumber.cfg", {"[fltsim.0]", "[fltsim.]"}}, {"huge.cfg", {"[fltsim.99999999999]"}}})
        EXPECT_FALSE(gf_checkFltsimNumbers(lines, file)) << file;
    EXPECT_EQ(g_scanReports.invalidCfgFiles.copy(),
              (std::vector<std::string>{"gap.cfg contains non-consecutive [fltsim.x] numbers at .x=3",
                                        "twice.cfg contains non-consecutive [fltsim.x] numbers at .x=0",
                                        "late.cfg contains non-consecutive [fltsim.x] numbers at .x=1",
                                        "nonumber.cfg contains a [fltsim.] section without a number"}));
}

class CfgFiles : public LiveriesTest {
protected:
    void SetUp() override {
        LiveriesTest::SetUp();
        readDbase();
        g_pvtFixes = {"NJE"}, g_govFixes = {"GAF"}, g_modelFixes = {{"B38", "B38M"}};
    }
    // The section's liveries as "airline atcId" ("+" for cargo), ";"-joined, the folder number checked.
    std::string section(std::vector<std::string> lines, const std::string& model = "A320") {
        lines.insert(lines.begin(), "[FLTSIM.0]");
        std::string out;
        for (const LiveryData& l : gf_procesFltSimSection(3, lines, model, "pkg/A320/aircraft.cfg", "pkg/A320")) {
            EXPECT_EQ(l.folderNumber, 3u);
            out += (out.empty() ? "" : ";") + l.airline + " " + l.atcId + (l.cargo ? "+" : "");
        }
        return out;
    }
    std::list<LiveryData> search(const std::string& name, const std::string& bytes) {
        const auto file = dir() / "pkg" / name / "aircraft.cfg";
        writeFile(file, bytes);
        return gf_searchLiveriesinFile(1, file.string());
    }
    static std::string titles(const std::list<LiveryData>& liveries) {   // "title airline model", ";"-joined
        std::string out;
        for (const LiveryData& l : liveries) out += (out.empty() ? "" : ";") + l.title + " " + l.airline + " " + l.model;
        return out;
    }
};
using Sections = CfgFiles;
using FileSearch = CfgFiles;

TEST_F(Sections, AirlinesCargoAndRegistrations) {
    int n = 0;   // every section a title of its own
    const std::vector<std::tuple<std::vector<std::string>, const char*, std::string>> cases{
        {{"icao_airline = \"EWG, DLH\"", "atc_id = \"D-ABCD\""}, "A320", "DLH D-ABCD;EWG D-ABCD"},   // sorted codes
        {{"icao_airline = BOE", "atc_id = D-ABCE"}, "A320", "ZZZ "}, {{"icao_airline = DLHC"}, "A320", "DLH "},
        {{"icao_airline = DLHZ"}, "A320", ""}, {{"icao_airline = NJE"}, "A320", "PVT "}, {{"icao_airline = GAF"}, "A320", "PVT "},
        {{}, "C172", "PVT "}, {{}, "C25C", "PVT "}, {{}, "A320", ""},   // no airline: private for all but airliners
        {{"icao_airline = DLH", "atc_parking_types = \"GATE,CARGO\""}, "A320", "DLH "},
        {{"icao_airline = DLH", "atc_parking_types = \"CARGO,RAMP\""}, "A320", "DLH +"},
        {{"icao_airline = DLH", "atc_parking_types = \"cargo\""}, "A320", "DLH +"},
        {{"icao_airline = DLH", "atc_parking_types = \" RAMP , CARGO \""}, "A320", "DLH +"},
        {{"icao_airline = DLH", "atc_id = \"D-ABCD; old\""}, "A320", "DLH D-ABCD"},
        {{"icao_airline = DLH", "atc_id = \"A-BCDE,F-GHIJ\""}, "A320", "DLH "},
        {{"icao_airline = DLH", "atc_id = \"D-AB*D\""}, "A320", "DLH "},
        {{"icao_airline = DLH", "atc_id = \"ABCDEFGHIJKLM\""}, "A320", "DLH "},
        {{"icao_airline = DLH", "atc_id = \"ABCDEFGHIJKL\""}, "A320", "DLH ABCDEFGHIJKL"},
        // A refused registration counts as none, so a later atc_id line is read.
        {{"icao_airline = DLH", "atc_id = \"D-A*CD\"", "atc_id=\"D-AIAC\""}, "A320", "DLH D-AIAC"}};
    for (auto [lines, model, expected] : cases) {
        lines.insert(lines.begin(), format("title = \"T{}\"", n++));
        EXPECT_EQ(section(lines, model), expected) << lines[1];
    }
    EXPECT_EQ(g_scanReports.incompleteSections.copy(), std::vector<std::string>{"pkg/A320 [FLTSIM.0] empty icao_airline="});
    EXPECT_EQ(g_scanReports.invalidAirlines.copy(), std::vector<std::string>{"DLHZ         in pkg/A320/aircraft.cfg [FLTSIM.0]"});
    EXPECT_EQ(g_scanReports.codeFixes.copy(), (std::vector<std::string>{"Fix: NJE found in pkg/A320/aircraft.cfg changed into PVT",
                                                                        "Fix: GAF found in pkg/A320/aircraft.cfg changed into PVT"}));
}

TEST_F(Sections, DroppedSections) {
    EXPECT_EQ(section({"title = \"Fleet-STUB\"", "icao_airline = DLH"}), "");
    SUPPRESS_STUB.set(false);
    EXPECT_EQ(section({"title = \"Fleet-STUB\"", "icao_airline = DLH"}), "DLH ");
    g_dontUseTitles.insert("Not This One");
    for (const std::vector<std::string>& lines : std::vector<std::vector<std::string>>{
             {"title = \"My FenixA320 x\"", "icao_airline = DLH"}, {"title = \"One\"", "title = \"Two\"", "icao_airline = DLH"},
             {"title = \"Three\"", "icao_airline = DLH", "icao_airline = EWG"}, {"icao_airline = DLH"},
             {"title = \"Four\"", "icao_airline = DLH", "atc_id=\"D-ABCD\"", "atc_id=\"D-ABCE\""},
             {"title = \"Not This One\"", "icao_airline = DLH"}})
        EXPECT_EQ(section(lines), "") << lines[0];
    // Commented-out keys are no second key; a title made before (here or in another file) is reported, not made again.
    EXPECT_EQ(section({"title = \"Five\"", "icao_airline = DLH", ";icao_airline = EWG", "// title = x"}), "DLH ");
    EXPECT_EQ(section({"title = \"Six\"", "icao_airline = DLH", "  ;icao_airline = EWG", "atc_id = \"D-ABCF\""}), "DLH D-ABCF");
    EXPECT_EQ(section({"title = \"Five\"", "icao_airline = EWG"}), "");
    const auto incomplete = g_scanReports.incompleteSections.copy();
    for (const char* line : {"pkg/A320 [FLTSIM.0] has more than one title key", "pkg/A320 [FLTSIM.0] has more than one icao_airline key",
                             "pkg/A320, [FLTSIM.0], has more than one atc_id key", "pkg/A320 [FLTSIM.0] misses title",
                             "pkg/A320 [FLTSIM.0] title \"Five\" already exists"})
        EXPECT_NE(std::find(incomplete.begin(), incomplete.end(), line), incomplete.end()) << line;
}


TEST_F(FileSearch, SectionsEndAtOtherAndAtCommentedOutHeaders) {
    EXPECT_EQ(titles(search("plain", "[VERSION]\nmajor=1\n[FLTSIM.0]\ntitle = \"First\"\ntexture = \"a\" ; [see] x\nicao_airline = DLH\n"
                                     "[GENERAL]\nicao_type_designator = \"B38\"\ntitle = \"Not a section line\"\n"
                                     "[FLTSIM.1]\ntitle = \"Second\"\nicao_airline = KLM\n;[fltsim.7] old livery\n")),
              "First DLH B38M;Second KLM B38M");
    EXPECT_EQ(g_scanReports.codeFixes.size(), 1u);
    // The commented-out section's keys are no second title and airline of the section above it.
    EXPECT_EQ(titles(search("commented", "[GENERAL]\nicao_type_designator = \"A320\"\n[FLTSIM.0]\ntitle = \"Before\"\n"
                                         "icao_airline = DLH\n;[fltsim.1]\ntitle = \"Commented out\"\nicao_airline = KLM\n"
                                         "[FLTSIM.1]\ntitle = \"Second\"\n//[fltsim.2]\ntitle = \"Old\"\nicao_airline = BAW\n")),
              "Before DLH A320");
    EXPECT_TRUE(g_scanReports.invalidCfgFiles.empty());
    const auto incomplete = g_scanReports.incompleteSections.copy();
    EXPECT_TRUE(incomplete.size() == 1u && incomplete[0].find("[FLTSIM.1] empty icao_airline=") != std::string::npos);
}

TEST_F(FileSearch, EncodingsGiveTheSameLiveries) {
    const std::string text =
        "[GENERAL]\r\nicao_type_designator = \"A320\"\r\n[FLTSIM.0]\r\ntitle = \"Encoded \xC3\xA9\"\r\nicao_airline = DLH\r\n";
    auto utf16 = [](const std::string& ascii, bool big, bool lf) {   // the one non-ASCII character is \xC3\xA9
        std::string out = big ? std::string("\xFE\xFF", 2) : std::string("\xFF\xFE", 2);
        for (std::size_t i = 0; i < ascii.size(); ++i) {
            if (ascii[i] == '\r' && lf) continue;
            const char c = ascii[i] == '\xC3' ? (++i, '\xE9') : ascii[i];
            out += big ? std::string{'\0', c} : std::string{c, '\0'};
        }
        return out;
    };
    const std::pair<const char*, std::string> files[] = {{"ansi", text}, {"bom", "\xEF\xBB\xBF" + text}, {"le", utf16(text, false, false)},
                                                         {"be", utf16(text, true, false)}, {"lelf", utf16(text, false, true)}};
    for (const auto& [name, bytes] : files) {
        gf_clearScanReports();
        EXPECT_EQ(titles(search(name, bytes)), "Encoded \xC3\xA9 DLH A320") << name;
    }
    // A report names the section by its header as written, without the line end's carriage return.
    for (const auto& [name, bytes] : {files[0], files[1], files[2]}) {
        gf_clearScanReports();
        search(std::string("twice-") + name, bytes + (name[0] == 'l' ? utf16("icao_airline = KLM\r\n", false, false).substr(2)
                                                                     : std::string("icao_airline = KLM\r\n")));
        const auto incomplete = g_scanReports.incompleteSections.copy();
        ASSERT_EQ(incomplete.size(), 1u) << name;
        EXPECT_TRUE(incomplete[0].ends_with(" [FLTSIM.0] has more than one icao_airline key")) << incomplete[0];
    }
}

TEST_F(FileSearch, FilesThatGiveNothing) {
    for (auto [name, bytes] : {std::pair<const char*, std::string>{"gap", "[GENERAL]\nicao_type_designator=A320\n[FLTSIM.0]\ntitle=a\n[FLTSIM.2]\ntitle=b\n"},
                               {"nomodel", "[FLTSIM.0]\ntitle=a\nicao_airline=DLH\n"}, {"badmodel", "[GENERAL]\nicao_type_designator=QQQQ\n[FLTSIM.0]\ntitle=q\n"},
                               {"garbage", std::string("\x00\x01\xFF[fltsim.\n\xFE", 9)}})
        EXPECT_TRUE(search(name, bytes).empty()) << name;
    EXPECT_TRUE(gf_searchLiveriesinFile(1, (dir() / "missing" / "aircraft.cfg").string()).empty());
    EXPECT_EQ(g_scanReports.invalidModels.copy().at(0).substr(0, 20), "QQQQ             in ");
    const auto invalid = g_scanReports.invalidCfgFiles.copy();
    EXPECT_TRUE(invalid.size() == 3u && invalid[1].find("Line icao_type_designator= is missing in [General] section of ") != std::string::npos);
}

TEST_F(FileSearch, IvaoFiles) {
    const auto base = dir() / "x" / "IVAO_MTL" / "SimObjects" / "Airplanes";
    writeFile(base / "IVAO_A320" / "aircraft.cfg",
              "[fltsim.0]\ntitle = A320 DLH Lufthansa \ntexture = DLH\natc_id = D-AIPA\n// [old]\ntitle = A320 DLH Old\n[fltsim.1]\n"
              "title = A320 BOE House\ntexture = boe\n[fltsim.2]\ntitle = A320\ntexture = DLH\n[fltsim.3]\ntitle = A320 KLM\ntexture = KLM\n");
    for (const char* texture : {"texture.DLH", "Texture.BOE" /* case differs */}) std::filesystem::create_directories(base / "IVAO_A320" / texture);
    const std::string path = (base / "IVAO_A320" / "aircraft.cfg").string();
    EXPECT_TRUE(gf_isIvaoPath(path));
    const auto liveries = gf_searchLiveriesinIvaoFile(2, path);
    EXPECT_EQ(titles(liveries), "A320 DLH Lufthansa DLH A320;A320 BOE House ZZZ A320");
    EXPECT_EQ(liveries.front().atcId, "D-AIPA");
    EXPECT_EQ(g_scanReports.incompleteSections.size(), 2u);   // no airline in the title; no texture.KLM folder
    // In an IVAO file any '[' ends the section, in a comment too: "// [old]" gives no second title.
    EXPECT_TRUE(gf_searchLiveriesinIvaoFile(2, (dir() / "other" / "IVAO_A320" / "aircraft.cfg").string()).empty());
}

}  // namespace
}  // namespace vrn::test
