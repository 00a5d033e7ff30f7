// The demo airports built by varnel-data load with their learned files and save back without loss.
#include <gtest/gtest.h>

#include <cstdlib>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;

std::size_t useCount() {
    std::size_t n = 0;
    for (const Stand& s : g_stands) {
        for (const StandUse& u : s.uses) n += u.origin != UseOrigin::Fake;
    }
    return n;
}

TEST(AirportsDemoData, DemoAirportsLoadAndSaveBackWithoutLoss) {
    const fs::path tool = fs::path(VARNEL_BINARY_DIR) / "tools" / "varnel-data";
    if (!fs::exists(tool)) GTEST_SKIP() << "varnel-data not built";
    test::TempDir dir;
    const fs::path source = fs::path(VARNEL_TEST_DATA).parent_path().parent_path() / "data";
    const std::string command = tool.string() + " airports --source '" + source.string() + "' --program '" +
                                dir.path().string() + "' > /dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    test::ScopedCurrentDir cd(dir.path());
    gf_resetAirportsForTests();
    gf_readAirports();
    EXPECT_GT(g_airports.size(), 150u);
    EXPECT_TRUE(gf_readParkAirports(true));
    EXPECT_TRUE(gf_inParkAirportList("EGLC"));
    MSFS_2020.set(true);

    struct Demo {
        const char* code;
        std::size_t stands;
    };
    for (const Demo& demo : {Demo{"EGLL", 141}, Demo{"EGLM", 9}, Demo{"EGLC", 14}}) {
        SCOPED_TRACE(demo.code);
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = *gf_findAirport(demo.code);
        g_stands.clear();
        std::uint64_t quality = 0;
        ASSERT_EQ(gf_readApf(gf_findApf(demo.code), quality), "");
        EXPECT_EQ(g_stands.size(), demo.stands);
        const std::size_t uses = useCount();
        g_apfUpdates.store(1);
        gf_closeParkAirport();
        g_stands.clear();
        ASSERT_EQ(gf_readApf(gf_findApf(demo.code), quality), "");
        EXPECT_EQ(useCount(), uses);
        gf_closeParkAirport();
        g_stands.clear();
    }
    EXPECT_TRUE(fs::exists("airports/learned/thirdparty/SampleWorks/EGLC.xml"));
    g_parkAirport = Airport{};
    gf_resetAirportsForTests();
    MSFS_2020.set(MSFS_2020.defaultValue);
}

}  // namespace
}  // namespace vrn
