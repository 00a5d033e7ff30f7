// The publisher of an add-on airport (path markers, publisher groups, manifest.json), and linking
// or generating its airport parking file.
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
    void SetUp() override {
        g_publisherGroups = {{"FlyTampa", "flytampa"}, {"Orbx", "orbx", "FullTerrain"}};
        gf_compilePublisherPatterns();
    }
    void TearDown() override {
        g_publisherGroups.clear();
        gf_compilePublisherPatterns();
    }
    std::string at(const std::string& relative) const { return (dir.path() / relative).string(); }
    static Stand stand(const std::string& id) {
        return Stand({}, std::string(id), StandPlacement{51.47, -0.45, 1.0}, 20.0, false, true, false);
    }
    test::TempDir dir;
    test::ScopedCurrentDir cd{dir.path()};
};

TEST_F(ScanPublisher, PublisherFromPathAndManifest) {
    writeFile(at("Community/pkg-a/manifest.json"), R"({"manufacturer": null, "creator": "Orbx Simulation"})");
    writeFile(at("Community/pkg-b/manifest.json"), R"({"manufacturer": "Nobody", "creator": "Someone"})");
    writeFile(at("Community/pkg-c/manifest.json"), R"({"manufacturer": 12, "creator": "FlyTampa"})");
    writeFile(at("Community/pkg-d/manifest.json"), "\xEF\xBB\xBF{\"manufacturer\": \"FlyTampa\",\r\n \"creator\": \"x\"}\r\n");
    writeFile(at("Community/pkg-e/Manifest.JSON"), R"({"manufacturer": "FlyTampa"})");
    writeFile(at("Community/pkg-f/scenery/manifest.json"), R"({"manufacturer": "Orbx"})");
    struct Case {
        std::string path;
        PublisherInfo expected;
    };
    const std::vector<Case> cases{
        {at("Official/OneStore/MICROSOFT-AIRPORT-egll/scenery/a.bgl"), {"simaddon", "", ""}},
        {at("Community/flytampa-lowi/scenery/a.bgl"), {"FlyTampa", "", ""}},
        {at("Community/pkg-a/scenery/a.bgl"), {"Orbx", "", "Orbx Simulation"}},
        {at("Community/pkg-b/scenery/a.bgl"), {"unknown", "Nobody", "Someone"}},
        {at("Community/pkg-c/scenery/a.bgl"), {"unknown", "", ""}},
        {at("Community/pkg-d/scenery/a.bgl"), {"FlyTampa", "FlyTampa", "x"}},
        {at("Community/pkg-e/scenery/a.bgl"), {"unknown", "", ""}},
        // The package folder has no manifest: the file's own folders are searched from the top.
        {at("Community/pkg-f/scenery/a.bgl"), {"Orbx", "Orbx", ""}},
    };
    for (const auto& c : cases) {
        const PublisherInfo got = gf_findPublisher(c.path);
        EXPECT_EQ(got.publisher, c.expected.publisher) << c.path;
        EXPECT_EQ(got.manufacturer, c.expected.manufacturer) << c.path;
        EXPECT_EQ(got.creator, c.expected.creator) << c.path;
    }
}

TEST_F(ScanPublisher, ManifestWalkOutsideCommunity) {
    // The highest readable manifest wins; a broken one higher up is passed over; a folder name that
    // repeats lower on the path is still reached.
    writeFile(at("addons/manifest.json"), "{ not json");
    writeFile(at("addons/scenery/x/manifest.json"), R"({"manufacturer": "M1", "creator": "C1"})");
    writeFile(at("addons/scenery/x/scenery/manifest.json"), R"({"manufacturer": "M2", "creator": "C2"})");
    const auto found = lf_searchManifest(at("addons/scenery/x/scenery/a.bgl"));
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, (ManifestInfo{"M1", "C1"}));
    writeFile(at("deep/a/b/a/manifest.json"), R"({"creator": "Deep"})");
    const auto deep = lf_searchManifest(at("deep/a/b/a/file.bgl"));
    ASSERT_TRUE(deep);
    EXPECT_EQ(deep->second, "Deep");
    EXPECT_FALSE(lf_searchManifest(at("nowhere/a.bgl")));
    EXPECT_THROW(gf_parseManifestText("[1, 2]"), std::exception);
    EXPECT_EQ(gf_parseManifestText(R"({"title": "t"})"), (ManifestInfo{"", ""}));
}

TEST_F(ScanPublisher, RealManifestsParse) {
    if (!test::realDataAvailable()) GTEST_SKIP() << "no real data folder";
    const fs::path file = test::realDataPath("manifests/Flight-Sim-Community-NL-manifest.json");
    const auto info = lf_readManifest(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(*info, (ManifestInfo{"Airbus", "REDPANTHER"}));
    for (const auto& entry : fs::directory_iterator(test::realDataPath("manifests")))
        EXPECT_NO_THROW(lf_readManifest(entry.path())) << entry.path();
}

TEST_F(ScanPublisher, LinkedAndGeneratedFiles) {
    const int done = g_airportFilesDone.load();
    fs::create_directories(g_archiveSimaddonFolder);
    ApfAirport archived;
    archived.code = "EGLL";
    archived.publisher = "simaddon";
    archived.stands = {stand("g1"), stand("g2")};
    ASSERT_TRUE(gf_writeApf(archived, g_archiveSimaddonFolder / "EGLL.xml", false));
    fs::create_directories(g_mySimaddonFolder);

    ApfAirport a;
    a.code = "EGLL";
    const auto [linked, count] = lf_linkArchived(a, "Official/OneStore/microsoft-airport-egll/scenery/x.bgl");
    EXPECT_TRUE(linked);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(a.publisher, "simaddon");
    EXPECT_EQ(test::readFile(g_mySimaddonFolder / "EGLL.txt"), (g_archiveSimaddonFolder / "EGLL.xml").string() + "\n");
    EXPECT_EQ(g_airportFilesDone.load(), done + 1);

    // No archived file: the missing folder or file is logged and nothing is linked.
    ApfAirport b, c;
    b.code = "EHAM";
    c.code = "LOWI";
    EXPECT_FALSE(lf_linkArchived(b, "Official/OneStore/microsoft-airport-eham/x.bgl").first);
    EXPECT_FALSE(lf_linkArchived(c, "Community/flytampa-lowi/scenery/x.bgl").first);
    EXPECT_EQ(g_airportFilesDone.load(), done + 1);

    // A link that cannot be written leaves the airport unlinked.
    fs::create_directories(g_archiveThirdpartyFolder / "FlyTampa");
    writeFile(g_archiveThirdpartyFolder / "FlyTampa" / "LOWI.xml", "<x/>");
    fs::create_directories(g_myThirdpartyFolder / "LOWI.txt");
    EXPECT_FALSE(lf_linkArchived(c, "Community/flytampa-lowi/scenery/x.bgl").first);
    EXPECT_EQ(g_airportFilesDone.load(), done + 1);
}

TEST_F(ScanPublisher, GeneratedFileLinesOrderAndFolders) {
    struct Case { std::vector<std::string> ids; int helipads; std::string publisher; };
    const std::vector<Case> cases{{{"helipad1", "g1"}, 1, "unknown"}, {{"helipad1", "helipad2", "g10", "g2"}, 2, "simaddon"}};
    fs::create_directories(g_airportsFolder);
    for (const auto& c : cases) {
        ApfAirport a;
        a.code = "ZZZ1";
        a.bglPath = "/sim/Community/pkg/scenery/a.bgl";
        a.publisher = c.publisher;
        for (const auto& id : c.ids) a.stands.push_back(stand(id));
        const int done = g_airportFilesDone.load();
        lf_generateApf(a, c.helipads);
        EXPECT_EQ(g_airportFilesDone.load(), done + 1);
        EXPECT_EQ(a.bglPath, c.publisher == "unknown" ? "/sim/Community/pkg/scenery/a.bgl" : "Community/pkg/scenery/a.bgl");
        const fs::path file = (c.publisher == "simaddon" ? g_mySimaddonFolder : g_myThirdpartyFolder) / "ZZZ1.xml";
        pugi::xml_document doc;
        ASSERT_TRUE(gf_loadApfDocument(doc, file)) << file;
        std::vector<Stand> read;
        lf_readParkPositions(doc, read, UseOrigin::Archive);
        std::vector<std::string> ids;
        for (const auto& s : read) ids.push_back(s.id);
        std::vector<std::string> sorted = c.ids;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(ids, sorted);
        if (c.publisher == "unknown") { EXPECT_EQ(lf_readStringParameter(doc, "BGLpath").value_or(""), a.bglPath); }
    }
    // Without stands nothing is written or counted.
    ApfAirport empty;
    empty.code = "ZZZ2";
    empty.publisher = "unknown";
    const int done = g_airportFilesDone.load();
    lf_generateApf(empty, 0);
    EXPECT_EQ(g_airportFilesDone.load(), done);
    EXPECT_FALSE(fs::exists(g_myThirdpartyFolder / "ZZZ2.xml"));
}

}  // namespace
}  // namespace vrn
