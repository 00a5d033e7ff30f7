#include <cmath>
#include <optional>

#include "core/exceptions.h"
#include "liveries/type_queries.h"
#include "liveries_fixture.h"

namespace vrn::test {
namespace {

using TypeDatabase = LiveriesTest;

TEST_F(TypeDatabase, ReadsEverySectionOfAMultiRootFile) {
    readDbase({{"D-ABCD", "DLH", "A320", "EWG", false}, {"D-ABCD", "BAW", "B738", "", false},
               {"GABCD", "BAW", "A319", "", true}, {"N12345", "PVT", "C172", "", false}, {"D-AXXX", "", "", "", false}});
    EXPECT_TRUE(g_validModels.count("A5") && gf_isIcaoAirline("AFR") && !gf_isIcaoAirline(""));   // AFR: stored plain
    ASSERT_EQ(g_similarTypeGroups.size(), 3u);
    EXPECT_EQ(g_similarTypeGroups[0], (std::vector<std::string>{"A319", "A320", "A321"}));   // sorted
    ASSERT_EQ(g_regDatabase.size(), 4u);
    EXPECT_EQ(g_regDatabase.at("D-ABCD").airline + "|" + g_regDatabase.at("D-AXXX").type, "DLH|");   // the first of two rows stays
}

TEST_F(TypeDatabase, SizeClassesAndWingspans) {
    readDbase();
    for (auto [type, c] : {std::pair{"A321", 2u}, {"B77W", 3u}, {"C25C", 1u}, {"H145", 5u}, {"E300", 4u}, {"C172", 0u}, {"ZZZZ", 0u}})
        EXPECT_EQ(gf_sizeClass(type), c) << type;
    EXPECT_DOUBLE_EQ(gf_halfWingspanNm("A320"), 0.009719222462203024);   // 36 m, the first entry wins
    EXPECT_DOUBLE_EQ(g_maxHalfWingspan, 99 * 0.5 / 1852);               // the second entry still counts
    EXPECT_NEAR(gf_halfWingspanNm("SR22"), 0.013498920086393088, 1e-15);   // class average of 40 and 60 m
    EXPECT_DOUBLE_EQ(gf_halfWingspanNm("B738"), gf_halfWingspanNm("A320"));   // large: only A320 has a span
    // Classes without any span give 0.0, never NaN.
    EXPECT_TRUE(gf_halfWingspanNm("H145") == 0.0 && gf_halfWingspanNm("C25C") == 0.0 && !std::isnan(gf_halfWingspanNm("B77W")));
}

TEST_F(TypeDatabase, RegistrationVariantsAndLookups) {
    readDbase({{"G-ABCD", "BAW", "A319", "", true}, {"D-ABCD", "DLH", "A320", "EWG", false}});
    EXPECT_EQ(gf_regVariants("GABCD"), (std::vector<std::string>{"GABCD", "GA-BCD", "G-ABCD"}));
    for (const char* single : {"N123AB", "EI-ABC", "GABC", ""}) EXPECT_EQ(gf_regVariants(single).size(), 1u) << single;
    EXPECT_EQ(gf_typeOfReg("GABCD") + gf_airlineOfReg("D-ABCD") + gf_operatorOfReg("D-ABCD") + gf_typeOfReg(""), "A319DLHEWG");
    std::optional<DbRecord> record;
    EXPECT_FALSE(gf_lookupDbRecord(record, "GABCD") || record);
    EXPECT_TRUE(gf_lookupDbRecord(record, "G-ABCD") && record->cargo);
}

TEST_F(TypeDatabase, PublishersInSortedLineOrder) {
    readDbase();
    ASSERT_EQ(g_publisherGroups.size(), 2u);   // the repeated line gives one group
    EXPECT_EQ(g_publisherGroups[1][1], " Spaced");   // no trimming
    // "PUB and TWO": a pattern, case-blind; "ab[c": an invalid pattern, still a substring.
    for (auto [text, group] : {std::pair{"made by PublisherOne", "GroupA"}, {"PUB and TWO", "GroupB"}, {"x ab[c y", "GroupA"}, {"nobody", "unknown"}})
        EXPECT_EQ(gf_matchPublisher(text), group) << text;
    EXPECT_FALSE(gf_matchesPattern("ab[c", "ab[c"));
    gf_clearTypeDatabase();
    EXPECT_EQ(gf_matchPublisher("PublisherOne"), "unknown");
}

TEST_F(TypeDatabase, DamagedFilesGiveUserErrors) {
    EXPECT_THROW(gf_readDbase(), UserErrorException);   // missing
    writeFile(dir() / "input" / "dbase.xml", "<aircrafts><aircraft types=\"A\"");
    EXPECT_THROW(gf_readDbase(), UserErrorException);
    for (const char* section : {"aircrafts", "rotorcraft", "cargo_types", "cargo_operators", ""}) {   // "": a bad airline code
        gf_clearTypeDatabase();
        pugi::xml_document doc = makeDbase();
        *section ? (void)doc.remove_child(section) : (void)doc.child("ICAO_airlines").child("ICAO").attribute("codes").set_value("ABCD");
        saveDoc(doc, dir() / "input" / "dbase.xml");
        if (*section) {
            EXPECT_THROW(gf_readDbase(), UserErrorException) << section;
        } else {
            EXPECT_THROW(gf_readDbase(), std::runtime_error);
        }
    }
}

TEST_F(TypeDatabase, FixesFile) {
    readDbase();
    writeFile(dir() / "input" / "fixes.xml",
              "<fixes><fix wrong=\"B38\" correct=\"B38M\"/><fix wrong=\"B38\" correct=\"B738\"/>"
              "<fix wrong=\"A20\" correct=\"\"/><fix wrong=\"73H\" correct=\"QQQQ\"/></fixes>"
              "<fixes><fix wrong=\"X1\" correct=\"A320\"/></fixes>"
              "<PVT_fixes><fix wrong=\"NJE\"/><fix wrong=\"DLH\"/><fix wrong=\"NJE\"/><fix/></PVT_fixes>"
              "<GOV_fixes><fix wrong=\"GAF\"/></GOV_fixes>");
    gf_readFixes();
    EXPECT_EQ(g_modelFixes, (std::unordered_map<std::string, std::string>{{"B38", "B38M"}}));
    EXPECT_TRUE(g_pvtFixes == (std::set<std::string>{"", "NJE"}) && g_govFixes == std::set<std::string>{"GAF"});
    std::filesystem::remove(dir() / "input" / "fixes.xml");
    EXPECT_THROW(gf_readFixes(), UserErrorException);
}

}  // namespace
}  // namespace vrn::test
