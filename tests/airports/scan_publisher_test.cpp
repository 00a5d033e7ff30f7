// An add-on airport's publisher (path markers, publisher groups, manifest.json); linking or generating its parking file.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "airports/airport_file_linking.h"
#include "airports/airport_files.h"
#include "airports/manifest_publisher.h"
#include "liveries/type_database.h"
#include "liveries/type_queries.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
using test::writeFile;

class ScanPublisher : public ::testing::Test {
protected:
    void SetUp() override { g_publisherGroups = {{"FlyTampa", "flytampa"}, {"Orbx", "orbx", "FullTerrain"}}, gf_compilePublisherPatterns(); }
    void TearDown() override { g_publisherGroups.clear(), gf_compilePublisherPatterns(); }
    std::string at(const std::string& relative) const { return (dir.path() / relative).string(); }
    static Stand stand(const std::string& id) { return Stand({}, std::string(id), StandPlacement{51.47, -0.45, 1.0}, 20.0, false, true, false); }
    static ApfAirport apf(const std::string& code, const std::string& publisher = "", const std::vector<std::string>& ids = {}) {
        ApfAirport a;
        a.code = code, a.publisher = publisher;
        for (const auto& id : ids) a.stands.push_back(stand(id));
        return a;
    }
    test::TempDir dir;
    test::ScopedCurrentDir cd{dir.path()};
};

TEST_F(ScanPublisher, PublisherFromPathAndManifest) {
    for (auto [file, text] : {std::pair<const char*, std::string>{"pkg-a/manifest.json", R"({"manufacturer": null, "creator": "Orbx Simulation"})"},
                              {"pkg-b/manifest.json", R"({"manufacturer": "Nobody", "creator": "Someone"})"},
                              {"pkg-c/manifest.json", R"({"manufacturer": 12, "creator": "FlyTampa"})"},
                              {"pkg-d/manifest.json", "\xEF\xBB\xBF{\"manufacturer\": \"FlyTampa\",\r\n \"creator\": \"x\"}\r\n"},
                              {"pkg-e/Manifest.JSON", R"({"manufacturer": "FlyTampa"})"}, {"pkg-f/scenery/manifest.json", R"({"manufacturer": "Orbx"})"}})
        writeFile(at("Community/") + file, text);
    // pkg-f has no manifest in the package folder: the file's own folders are searched from the top.
    for (auto [path, expected] : {std::pair{"Official/OneStore/MICROSOFT-AIRPORT-egll/scenery/a.bgl", "simaddon||"},
                                  {"Community/flytampa-lowi/scenery/a.bgl", "FlyTampa||"}, {"Community/pkg-a/scenery/a.bgl", "Orbx||Orbx Simulation"},
                                  {"Community/pkg-b/scenery/a.bgl", "unknown|Nobody|Someone"}, {"Community/pkg-c/scenery/a.bgl", "unknown||"},
                                  {"Community/pkg-d/scenery/a.bgl", "FlyTampa|FlyTampa|x"}, {"Community/pkg-e/scenery/a.bgl", "unknown||"},
                                  {"Community/pkg-f/scenery/a.bgl", "Orbx|Orbx|"}}) {
        const PublisherInfo got = gf_findPublisher(at(path));
        EXPECT_EQ(got.publisher + "|" + got.manufacturer + "|" + got.creator, expected) << path;
    }
}

TEST_F(ScanPublisher, ManifestWalkOutsideCommunity) {
    // The highest readable manifest wins; a broken one higher up is passed over; a folder name repeated lower is reached.
    for (auto [file, text] : {std::pair{"addons/manifest.json", "{ not json"}, {"addons/scenery/x/manifest.json", R"({"manufacturer": "M1", "creator": "C1"})"},
                              {"addons/scenery/x/scenery/manifest.json", R"({"manufacturer": "M2", "creator": "C2"})"},
                              {"deep/a/b/a/manifest.json", R"({"creator": "Deep"})"}})
        writeFile(at(file), text);
    EXPECT_EQ(lf_searchManifest(at("addons/scenery/x/scenery/a.bgl")), (ManifestInfo{"M1", "C1"}));
    EXPECT_EQ(lf_searchManifest(at("deep/a/b/a/file.bgl")), (ManifestInfo{"", "Deep"}));
    EXPECT_FALSE(lf_searchManifest(at("nowhere/a.bgl")));
    EXPECT_THROW(gf_parseManifestText("[1, 2]"), std::exception);
    EXPECT_EQ(gf_parseManifestText(R"({"title": "t"})"), (ManifestInfo{"", ""}));
}

TEST_F(ScanPublisher, RealManifestsParse) {
    if (!test::realDataAvailable()) GTEST_SKIP() << "no real data folder";
    const fs::path file = test::realDataPath("manifests/Flight-Sim-Community-NL-manifest.json");
    EXPECT_EQ(lf_readManifest(file), (ManifestInfo{"Airbus", "REDPANTHER"}));
    for (const auto& entry : fs::directory_iterator(test::realDataPath("manifests")))
        EXPECT_NO_THROW(lf_readManifest(entry.path())) << entry.path();
}

TEST_F(ScanPublisher, LinkedAndGeneratedFilesAreEachCountedOnce) {
    const int done = g_airportFilesDone.load();
    for (const fs::path& folder : {g_archiveSimaddonFolder, g_mySimaddonFolder, g_airportsFolder}) fs::create_directories(folder);
    ASSERT_TRUE(gf_writeApf(apf("EGLL", "simaddon", {"g1", "g2"}), g_archiveSimaddonFolder / "EGLL.xml", false));
    ApfAirport a = apf("EGLL"), b = apf("EHAM"), c = apf("LOWI");
    EXPECT_EQ(lf_linkArchived(a, "Official/OneStore/microsoft-airport-egll/scenery/x.bgl"), std::make_pair(true, 2));
    EXPECT_EQ(a.publisher, "simaddon");
    EXPECT_EQ(test::readFile(g_mySimaddonFolder / "EGLL.txt"), test::systemLines((g_archiveSimaddonFolder / "EGLL.xml").string() + "\n"));
    // No archived file (folder or file missing), or a link that cannot be written: nothing is linked.
    EXPECT_FALSE(lf_linkArchived(b, "Official/OneStore/microsoft-airport-eham/x.bgl").first);
    EXPECT_FALSE(lf_linkArchived(c, "Community/flytampa-lowi/scenery/x.bgl").first);
    writeFile(g_archiveThirdpartyFolder / "FlyTampa" / "LOWI.xml", "<x/>");
    fs::create_directories(g_myThirdpartyFolder / "LOWI.txt");
    EXPECT_FALSE(lf_linkArchived(c, "Community/flytampa-lowi/scenery/x.bgl").first);
    // Generated: stands sorted by id, the folder and a relative BGL path by publisher; nothing without stands.
    for (const auto& [ids, helipads, publisher] : {std::tuple<std::vector<std::string>, int, std::string>{{"helipad1", "g1"}, 1, "unknown"},
                                                   {{"helipad1", "helipad2", "g10", "g2"}, 2, "simaddon"}, {{}, 0, "unknown"}}) {
        ApfAirport z = apf("ZZZ" + std::to_string(helipads), publisher, ids);
        z.bglPath = "/sim/Community/pkg/scenery/a.bgl";
        lf_generateApf(z, helipads);
        const fs::path file = (publisher == "simaddon" ? g_mySimaddonFolder : g_myThirdpartyFolder) / (z.code + ".xml");
        pugi::xml_document doc;
        ASSERT_EQ(bool(gf_loadApfDocument(doc, file)), !ids.empty()) << file;
        if (ids.empty()) continue;
        EXPECT_EQ(z.bglPath, publisher == "unknown" ? "/sim/Community/pkg/scenery/a.bgl" : "Community/pkg/scenery/a.bgl");
        std::vector<Stand> read;
        lf_readParkPositions(doc, read, UseOrigin::Archive);
        std::vector<std::string> got, sorted = ids;
        for (const auto& s : read) got.push_back(s.id);
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(got, sorted);
        if (publisher == "unknown") { EXPECT_EQ(lf_readStringParameter(doc, "BGLpath").value_or(""), z.bglPath); }
    }
    EXPECT_EQ(g_airportFilesDone.load(), done + 3);
}

}  // namespace
}  // namespace vrn
