#include "core/exceptions.h"
#include "liveries/regcodes.h"
#include "liveries/type_queries.h"
#include "liveries_fixture.h"

namespace vrn::test {
namespace {

class Matching : public LiveriesTest {
protected:
    void SetUp() override {
        LiveriesTest::SetUp();
        readDbase({{"D-AIZZ", "DLH", "A320", "EWG", false}, {"G-ABCD", "BAW", "A319", "", false}});
        const char* rows[][3] = {
            {"DLH", "A320", "DLH A320 one"}, {"DLH", "A320", "DLH A320 two"}, {"DLH", "A319", "DLH A319"}, {"EWG", "A319", "EWG A319"},
            {"BOX", "B744", "BOX B744 freighter"}, {"KLM", "B744", "KLM B744 pax"}, {"KLM", "B744", "KLM B744 combi cargo"},
            {"ZZZ", "A320", "Generic A320"}, {"ZZZ", "C172", "Generic C172"}, {"PVT", "C172", "Private C172"},
            {"PVT", "C152", "Private C152"}, {"RYR", "B38M", "RYR B38M"}, {"UAE", "A388", "UAE A388"}, {"AFR", "H145", "AFR H145"},
            {"ZZZ", "C25C", "Generic CJ4"}};
        for (auto& r : rows) {
            const std::string title = r[2];
            g_liveries.push_back(LiveryData{r[0], r[1], title, title == "DLH A320 one" ? "D-AIZA" : "", 0,
                                            title.find("freighter") != std::string::npos || title.find("cargo") != std::string::npos});
        }
        gf_sortUniqueLiveries();
        gf_processScannedLiveries();
    }
    Aircraft plane(std::string airline, std::string model, std::string reg = "", bool cargo = false) {
        Aircraft a;
        a.airline = std::move(airline), a.model = std::move(model), a.registration = std::move(reg), a.callsign = "TST123";
        a.sizeClass = gf_sizeClass(a.model), a.cargo = cargo;
        return a;
    }
    std::string live(Aircraft a) { return gf_matchLiveryLive(a), std::string(a.liveryTitle); }
};

TEST_F(Matching, IndexShape) {
    EXPECT_EQ(g_airlineModels.at("DLH").size(), 2u);
    EXPECT_EQ(g_modelLiveries[0].at("A320").size(), 3u);   // both airlines' titles of the model
    EXPECT_FALSE(g_airlineLiveries[0].count("BOX"));        // only cargo liveries
    EXPECT_EQ(g_airlineLiveries[1].at("BOX").at("B744").size(), 1u);
    EXPECT_EQ(g_installedSimilarTypes.at("A320").at(0) + g_installedSimilarTypes.at("B738").at(0), "A319B38M");
    EXPECT_FALSE(g_installedSimilarTypes.count("B38M"));   // its only similar type has no livery
    EXPECT_EQ(g_airlineSimilarTypes.at("EWG").at("A320"), (std::vector<std::string>{"A319"}));
    EXPECT_EQ(g_regcodeLiveries.at("D-AIZA"), "DLH A320 one");
    EXPECT_TRUE(!HIGH_PERF_AIRCRAFT.get() && LIGHT_AIRCRAFT.get()) << "switched off: no high performance livery installed";
    EXPECT_EQ(g_replacementModels[0], (std::vector<std::string>{"C152", "C172"}));
}

TEST_F(Matching, LadderStepByStep) {
    EXPECT_EQ(live(plane("KLM", "A320", "DAIZA")), "DLH A320 one");    // 1: registration variant D-AIZA
    EXPECT_EQ(live(plane("DLH", "A320")), "DLH A320 two");             // 2: the first candidate (RANDOM off)
    EXPECT_EQ(live(plane("XXX", "A320", "D-AIZZ")), "DLH A320 two");   // 2: registration's airline (has operator)
    EXPECT_EQ(live(plane("EWG", "A320")), "EWG A319");                 // 3: similar model of the airline
    EXPECT_EQ(live(plane("XXX", "A320")), "Generic A320");             // 4: ZZZ at depth 4
    EXPECT_EQ(live(plane("XXX", "C152")), "Private C152");             // 5: light aircraft, any airline
    EXPECT_EQ(live(plane("XXX", "SR22")), "Private C152");             // 6: replacement model of its class
    EXPECT_EQ(live(plane("", "B738")), "") << "large without airline: no steps 2, 3, 5 and 6";
    EXPECT_EQ(live(plane("RYR", "B738")), "RYR B38M");                 // 3
    EXPECT_EQ(gf_matchCounts(), (std::array<std::int32_t, 6>{1, 2, 2, 1, 1, 1}));
}

TEST_F(Matching, DepthAndPrivateAircraft) {
    MATCHING_DEPTH.set(1);
    EXPECT_EQ(live(plane("DLH", "A320")) + "|" + live(plane("DLH", "A320", "D-AIZA")), "|DLH A320 one");
    MATCHING_DEPTH.set(2);
    EXPECT_EQ(live(plane("EWG", "A320")), "");
    EXPECT_EQ(live(plane("PVT", "C172")), "Generic C172");   // the PVT case takes ZZZ first, counted as 4
    EXPECT_EQ(gf_matchCounts()[3], 1);
    MATCHING_DEPTH.set(3);   // large: no ZZZ below depth 4; light: ZZZ at step 8; no ZZZ C152: PVT livery at step 2
    EXPECT_EQ(live(plane("XXX", "A320")) + "|" + live(plane("XXX", "C172")) + "|" + live(plane("PVT", "C152")), "|Generic C172|Private C152");
}

TEST_F(Matching, CargoSides) {
    EXPECT_EQ(live(plane("KLM", "B744", "", true)) + "|" + live(plane("KLM", "B744", "", false)), "KLM B744 combi cargo|KLM B744 pax");
    EXPECT_EQ(live(plane("BOX", "B744", "", false)), "");    // a passenger aircraft never gets a cargo livery
    EXPECT_EQ(live(plane("UAE", "A388", "", true)), "UAE A388");   // cargo falls back to passenger
    Aircraft a = plane("XXX", "B744"), b = plane("", "C172");
    EXPECT_FALSE(gf_matchLiveryStatic(a, false, "A12"));
    EXPECT_TRUE(gf_matchLiveryStatic(b, true, "A13") && b.cargo);   // static: the stand makes it a freighter, no fallback at 5
    EXPECT_EQ(b.liveryTitle, "Generic C172");
}

TEST_F(Matching, SpecialAndFailedTitlesAreNotPicked) {
    gf_addSpecialLivery(*gf_findIndexedTitle("DLH A320 one"));
    EXPECT_EQ(live(plane("DLH", "A320", "D-AIZA")), "DLH A320 one");   // the registration may take a special one
    gf_addSpecialLivery(*gf_findIndexedTitle("DLH A320 two"));
    EXPECT_EQ(live(plane("DLH", "A320")), "Generic A320") << "all special: the ladder goes on";

    Aircraft failed = plane("EWG", "A319");
    gf_matchLiveryLive(failed);
    ASSERT_EQ(failed.liveryTitle, "EWG A319");
    gf_reportCreationFailure(failed);
    EXPECT_EQ(live(plane("EWG", "A319")), "") << "a failed title is never given again";
    RANDOM.set(true);
    gf_seedRandomForTests(7);
    for (int i = 0; i < 20; ++i) EXPECT_NE(live(plane("DLH", "A319")), "EWG A319");
}

TEST_F(Matching, TwentiethFailureStopsTheRunAndTheSummaryListsTheFailures) {
    Aircraft a = plane("DLH", "A320");
    gf_matchLiveryLive(a);
    for (int i = 1; i < 20; ++i) EXPECT_NO_THROW(gf_reportCreationFailure(a));
    EXPECT_THROW(gf_reportCreationFailure(a), UserErrorException);
    gf_logLiveryMatchingSummary();
    EXPECT_NE(logText().find("Could not be created by MSFS:\n  A320 DLH\n"), std::string::npos);
}

TEST_F(Matching, AReprocessingAddsOnlyWhatIsNotIndexedYet) {
    Aircraft a = plane("DLH", "A319");
    gf_matchLiveryLive(a);
    const std::string_view held = a.liveryTitle;
    g_liveries = {LiveryData{"DLH", "A319", "DLH A319 new", "", 0, false}, LiveryData{"DLH", "B738", "DLH B738", "", 0, false},
                  LiveryData{"SAS", "A319", "SAS A319", "", 0, false}};
    gf_processScannedLiveries();
    EXPECT_EQ(held, "DLH A319");
    EXPECT_EQ(live(plane("DLH", "A319")), "DLH A319") << "an indexed airline keeps its first content";
    EXPECT_EQ(live(plane("DLH", "B738")), "");
    EXPECT_FALSE(gf_findIndexedTitle("DLH A319 new"));
    EXPECT_EQ(live(plane("SAS", "A319")), "SAS A319");
    EXPECT_EQ(g_modelLiveries[0].at("A319").size(), 2u) << "the model keeps its first titles too";
    EXPECT_EQ(g_replacementModels[0], (std::vector<std::string>{"C152", "C172"}));
}

}  // namespace
}  // namespace vrn::test
