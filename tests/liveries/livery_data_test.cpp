#include <algorithm>

#include "core/exceptions.h"
#include "liveries_fixture.h"

namespace vrn::test {
namespace {

using LiveriesScanned = LiveriesTest;

LiveryData L(std::string airline, std::string model, std::string title, std::string atc = "", bool cargo = false, std::uint32_t folder = 0) {
    return LiveryData{std::move(airline), std::move(model), std::move(title), std::move(atc), folder, cargo};
}

TEST(LiveryDataOrder, EqualityAndStrictWeakOrdering) {
    EXPECT_EQ(L("DLH", "A320", "t", "D-A", false, 1), L("DLH", "A320", "t", "D-A", false, 2));
    EXPECT_NE(L("DLH", "A320", "t", "", false), L("DLH", "A320", "t", "", true));
    std::vector<LiveryData> all = {L("DLH", "A320", "b", "X"), L("DLH", "A320", "a", ""), L("DLH", "A320", "c", ""),
                                   L("AAA", "B738", "z"),      L("DLH", "A319", "y"),     L("DLH", "A320", "a", "", true)};
    for (const auto& a : all) {
        EXPECT_FALSE(a < a);
        for (const auto& b : all) EXPECT_FALSE(a < b && b < a);
    }
    std::sort(all.begin(), all.end());
    EXPECT_EQ(all.front().airline + all[2].title + all.back().atcId, "AAAaX");   // empty registration first, then by title
}

TEST_F(LiveriesScanned, RoundTripKeepsEveryField) {
    g_liveries = {L("DLH", "A320", "Title & <special> \"quoted\" \xC3\xA9", "D-AIZZ", false, 3),
                  L("BOX", "B77L", "Freighter", "", true, 1), L("ZZZ", "", "", "")};
    gf_writeLiveriesScanned();
    const std::string xml = readFile(dir() / "output" / "LiveriesScanned.xml");
    EXPECT_NE(xml.find("<liv airl=\"BOX\" type=\"B77L\" cargo=\"true\" title=\"Freighter\" atcid=\"\" />"), std::string::npos);
    EXPECT_NE(xml.find("<liv airl=\"ZZZ\" type=\"\" title=\"\" atcid=\"\" />"), std::string::npos);
    auto written = g_liveries;
    gf_readLiveriesScanned();
    written.sort();
    EXPECT_EQ(g_liveries, written);
    for (const auto& l : g_liveries) EXPECT_EQ(l.folderNumber, 0u);
}

TEST_F(LiveriesScanned, HandWrittenFilesAreSortedAndCargoRead) {
    writeFile(dir() / "output" / "LiveriesScanned.xml",
              "<liveries><liv airl='KLM' type='B738' title='k1' atcid=''/><liv airl='KLM' type='B738' title='k1' cargo='t'/>"
              "<liv airl='DLH' type='A320' title='d1' cargo='y'/>"
              "<other/><liv airl='KLM' type='A320' title='k2' cargo='no'/><liv airl='DLH' type='A320' title='d2' cargo='1'/>"
              "<liv airl='KLM' type='B738' title='k1' atcid=''/><liv airl='KLM' type='B738' title='k3' cargo=''/></liveries>");
    gf_readLiveriesScanned();
    std::string titles;
    for (const auto& l : g_liveries) titles += l.title + (l.cargo ? "+ " : " ");
    // Equal records end up side by side (the cargo flag sorts too), so each is kept once.
    EXPECT_EQ(titles, "d1+ d2+ k2 k1 k1+ k3 ");
}

TEST_F(LiveriesScanned, EmptyListLeavesTheFileAndDamagedFilesAreUserErrors) {
    writeFile(dir() / "output" / "LiveriesScanned.xml", "keep me");
    g_liveries.clear();
    gf_writeLiveriesScanned();
    EXPECT_EQ(readFile(dir() / "output" / "LiveriesScanned.xml"), "keep me");

    const std::pair<const char*, int> cases[] = {{"keep me", 51}, {"<liveries><liv", 51}, {"<livery><liv/></livery>", 52},
                                                 {"<liveries><other/></liveries>", 53}};
    for (const auto& [content, code] : cases) {
        writeFile(dir() / "output" / "LiveriesScanned.xml", content);
        try { gf_readLiveriesScanned(); ADD_FAILURE() << content; } catch (const UserErrorException& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, 3), std::to_string(code) + ":") << content;
        }
        EXPECT_TRUE(g_liveries.empty());
    }
    std::filesystem::remove(dir() / "output" / "LiveriesScanned.xml");
    EXPECT_THROW(gf_readLiveriesScanned(), UserErrorException);
}

}  // namespace
}  // namespace vrn::test
