// The add-on airport scan end to end on a fake simulator package tree: stock and add-on airports
// linked or generated, the scan log written, offline learning, and the result of a second scan.
#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "airports/airport_file_linking.h"
#include "airports/airport_files.h"
#include "airports/airport_scan.h"
#include "airports/bgl_builder.h"
#include "core/utilities.h"
#include "liveries/type_database.h"
#include "liveries/type_queries.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
namespace bgl = test::bgl;
using test::writeFile;

ApfAirport lf_archived(const std::string& code, const std::string& publisher, int stands, int quality) {
    ApfAirport a;
    a.code = code;
    a.publisher = publisher;
    a.Qf_real = quality;
    a.Qf_soft = quality;
    for (int i = 0; i < stands; ++i)
        a.stands.emplace_back(std::vector<StandUse>{}, "g" + std::to_string(i + 1), StandPlacement{47.26, 11.34, 1.0},
                              20.0, false, false, false);
    return a;
}

TEST(AirportsScan, FakePackageTree) {
    test::TempDir dir;
    test::ScopedCurrentDir cd(dir.path());
    g_publisherGroups = {{"FlyTampa", "flytampa"}};
    gf_compilePublisherPatterns();
    const bool saved2020 = MSFS_2020.get();
    MSFS_2020.set(true);
    const unsigned savedThreads = g_workerThreads.load();
    g_workerThreads.store(2);

    for (const auto& f : {g_archiveSimaddonFolder, g_archiveThirdpartyFolder / "FlyTampa", g_archiveStockFolder,
                          g_mySimaddonFolder, g_myThirdpartyFolder})
        fs::create_directories(f);
    ASSERT_TRUE(gf_writeApf(lf_archived("EGLL", "simaddon", 5, -1), g_archiveSimaddonFolder / "EGLL.xml", false));
    ASSERT_TRUE(gf_writeApf(lf_archived("LOWI", "FlyTampa", 2, -1), g_archiveThirdpartyFolder / "FlyTampa" / "LOWI.xml", false));
    ASSERT_TRUE(gf_writeApf(lf_archived("LOWI", "stock", 2, 7), g_archiveStockFolder / "LOWI.xml", true, true));

    const fs::path sim = dir / "sim";
    writeFile(sim / "Official/OneStore/microsoft-airport-egll/scenery/egll.bgl", bgl::simpleAirportFile("EGLL", 4));
    writeFile(sim / "Official/OneStore/fs-base/scenery/base.bgl", bgl::simpleAirportFile("EDDF", 4));
    writeFile(sim / "Community/flytampa-lowi/scenery/lowi.bgl", bgl::simpleAirportFile("LOWI", 3, 47.26, 11.34));
    writeFile(sim / "Community/flytampa-lowi/scenery/statics/lowi.bgl", bgl::simpleAirportFile("LOWS", 3));
    writeFile(sim / "Community/pkg-x/manifest.json", R"({"manufacturer": "Nobody", "creator": "Me"})");
    writeFile(sim / "Community/pkg-x/scenery/world/x.bgl", bgl::simpleAirportFile("EKCH", 2, 55.6, 12.6));
    writeFile(sim / "Community/pkg-y/scenery/y.bgl",
              bgl::file({{3, false, bgl::airport("EKCH", 0, {bgl::parkings({bgl::Parking{}}, 9)})}}));   // truncated

    const int before = g_airportFilesDone.load();
    const std::vector<std::string> folders{(sim / "Official").string(), "", (sim / "Community").string(),
                                           (sim / "missing").string()};
    EXPECT_TRUE(gf_scanAirports(false, folders));
    // EGLL linked; LOWI linked and generated (more stands than archived); EKCH generated.
    EXPECT_EQ(g_airportFilesDone.load(), before + 4);
    // Offline learning took LOWI's generated file: the stock archive has learned LOWI.
    for (const auto& [file, made] : {std::pair{g_mySimaddonFolder / "EGLL.txt", true}, {g_mySimaddonFolder / "EGLL.xml", false},
                                     {g_mySimaddonFolder / "EDDF.xml", false}, {g_myThirdpartyFolder / "LOWS.xml", false},
                                     {g_myThirdpartyFolder / "LOWI.txt", true}, {g_toBeLearnedOfflineFolder / "LOWI.xml", true},
                                     {g_myThirdpartyFolder / "LOWI.xml", false}})
        EXPECT_EQ(fs::exists(file), made) << file;
    EXPECT_EQ(g_offlineLearningCount.load(), 1);
    pugi::xml_document doc;
    ASSERT_TRUE(gf_loadApfDocument(doc, g_myThirdpartyFolder / "EKCH.xml"));
    EXPECT_EQ(lf_readStringParameter(doc, "publisher").value_or(""), "unknown");
    EXPECT_EQ(test::slashed(lf_readStringParameter(doc, "BGLpath").value_or("")),
              test::slashed((sim / "Community/pkg-x/scenery/world/x.bgl").string()));
    EXPECT_EQ(lf_readStringParameter(doc, "manufacturer").value_or(""), "Nobody");
    EXPECT_EQ(lf_readIntParameter(doc, "num_parkpos").value_or(0), 2);

    const std::string log = test::slashed(test::readFile(g_airportsScanLogPath));
    for (const std::string& text : {std::string("===> LOWI has 3 parkpos while archived one has 2"),
                                    "!? Exception in lf_toParkingPositions: " + test::slashed((sim / "Community/pkg-y/scenery/y.bgl").string())})
        EXPECT_NE(log.find(text), std::string::npos) << text;

    // A second scan that finds nothing reports so, whatever the first one counted.
    EXPECT_FALSE(gf_scanAirports(false, {(sim / "missing").string()}));
    EXPECT_FALSE(fs::exists(g_toBeLearnedOfflineFolder));   // no generated files left to learn

    MSFS_2020.set(saved2020);
    g_workerThreads.store(savedThreads);
    g_publisherGroups.clear();
    gf_compilePublisherPatterns();
}

}  // namespace
}  // namespace vrn
