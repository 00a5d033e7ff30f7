#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

#include "core/utilities.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
using Pieces = std::vector<std::string>;

TEST(Texts, ListsUnquotingComparisonsAndNumbers) {
    EXPECT_EQ(gf_splitAtComma("a, b,,c,"), (Pieces{"a", "b", "", "c"}));
    EXPECT_EQ(gf_splitAtComma(" EGLL \t,\r\nKJFK\r\n"), (Pieces{"EGLL", "KJFK"}));
    EXPECT_EQ(gf_splitAtSemicolon("a; b;c,d"), (Pieces{"a", "b", "c,d"}));
    std::string list = " EGLL , KJFK,\tLFPG\r\n";
    gf_trimListItems(list);
    EXPECT_EQ(list, "EGLL,KJFK,LFPG");

    std::string_view view = " \t text here \r\n";
    EXPECT_EQ(gf_trim(view), "text here");
    EXPECT_EQ(view, "text here \r\n");   // narrowed past the leading blanks only
    const std::pair<const char*, const char*> unquoted[] = {{"no quotes", "no quotes"}, {"t = \"A320 Neo\" ; x", "A320 Neo"},
        {"ends with quote\"", ""}, {"\"not closed", ""}, {"\"\"empty", ""}, {"\"a\"\"b\"", "a"}};
    for (const auto& [text, expected] : unquoted) EXPECT_EQ(gf_unquote(text), expected) << text;
    EXPECT_TRUE(gf_equalsUppercased("BAW123", "baW123"));
    EXPECT_FALSE(gf_equalsUppercased("baw123", "BAW123"));   // only the second text is upper-cased
    EXPECT_TRUE(gf_equalsStarred("A12", "A12*"));
    for (const char* other : {"*A12", "A12", "A12**", "A13*"}) EXPECT_FALSE(gf_equalsStarred("A12", other)) << other;
    // Decimals only when needed.
    const std::pair<float, const char*> floats[] = {{2.0f, "2"}, {2.5f, "2.5"}, {-3.0f, "-3"}, {0.25f, "0.2"},
        {1.96f, "2.0"}, {std::numeric_limits<float>::infinity(), "INF"}, {std::nanf(""), "NAN"}};
    for (const auto& [value, text] : floats) EXPECT_EQ(gf_floatText(value), text) << value;
}

TEST(Files, CountFilesCountsRegularFilesDirectlyInTheFolder) {
    test::TempDir dir;
    EXPECT_EQ(gf_countFiles(dir / "missing"), 0);
    test::writeFile(dir / "a.xml", "x");
    test::writeFile(dir / "b.txt", "");
    fs::create_directory(dir / "sub");
    test::writeFile(dir / "sub" / "c.xml", "x");
    if (test::symlinksAvailable()) {
        fs::create_symlink(dir / "a.xml", dir / "link-to-file");
        fs::create_symlink(dir / "sub", dir / "link-to-folder");
        fs::create_symlink(dir / "gone", dir / "dangling");
    }
    EXPECT_EQ(gf_countFiles(dir.path()), test::symlinksAvailable() ? 3 : 2);   // the link to a file counts
    EXPECT_THROW(gf_countFiles(dir / "a.xml"), fs::filesystem_error);   // not a folder
}

TEST(WorkerSlots, AtLeastOneWorkerAndSlotsAreReturned) {
    EXPECT_EQ(gf_workerCountFor(0), 1u);   // unknown hardware: one worker, never none
    g_workerThreads = 1;
    gf_takeWorkerSlot();   // free: taken at once; a task runs now
    std::thread driver([] { gf_takeWorkerSlot(); });
    gf_releaseWorkerSlot();   // the task ends; the driver may launch the next
    driver.join();
    EXPECT_EQ(g_scanWorkers.load(), 1);
    gf_releaseWorkerSlot();

    g_workerThreads = 0;   // even a zero limit cannot block the drivers for ever
    gf_takeWorkerSlot();
    gf_releaseWorkerSlot();
    gf_initWorkerThreads();
    EXPECT_GE(g_workerThreads.load(), 1u);
}

// Drivers side by side (two scans at once): the tasks running never outnumber the slots.
TEST(WorkerSlots, DriversSideBySideNeverTakeMoreThanTheSlots) {
    g_workerThreads = 2;
    std::atomic<int> most{0};
    std::vector<std::thread> drivers;
    for (int d = 0; d < 6; ++d)
        drivers.emplace_back([&] {
            for (int i = 0; i < 20000; ++i) {
                gf_takeWorkerSlot();
                int seen = most.load();
                const int running = g_scanWorkers.load();
                while (running > seen && !most.compare_exchange_weak(seen, running)) {}
                gf_releaseWorkerSlot();
            }
        });
    for (std::thread& driver : drivers) driver.join();
    EXPECT_LE(most.load(), 2);
    EXPECT_EQ(g_scanWorkers.load(), 0);
    gf_initWorkerThreads();
}

class RandomChoices : public ::testing::Test {
protected:
    void TearDown() override { RANDOM.set(true); }
};

TEST_F(RandomChoices, FollowTheRandomSettingTheSeedAndTheThread) {
    RANDOM.set(false);
    gf_seedRandomForTests(42);
    std::mt19937 reference(42);
    Pieces kept{"a", "b", "c", "d", "e", "f"};
    EXPECT_EQ(gf_randomIndex(10), 0);
    gf_shuffleIfRandom(kept);
    EXPECT_EQ(kept, (Pieces{"a", "b", "c", "d", "e", "f"}));
    // The jitter is not tied to RANDOM and draws even without a percentage.
    EXPECT_EQ(gf_jitterByPercent(200.0, 10.0), (reference() & 1) ? 180.0 : 220.0);
    reference();
    EXPECT_EQ(gf_jitterByPercent(200.0, 0.0), 200.0);

    RANDOM.set(true);
    EXPECT_EQ(gf_randomIndex(1000003), static_cast<std::int64_t>(reference() % 1000003));
    for (std::int64_t n : {1, 0, -5}) EXPECT_EQ(gf_randomIndex(n), 0);   // without a draw
    EXPECT_EQ(gf_randomEngine()(), reference());
    std::thread([] { gf_seedRandomForTests(9); (void)gf_randomEngine()(); }).join();
    EXPECT_EQ(gf_randomEngine()(), reference());   // each thread has its own engine
}

}  // namespace
}  // namespace vrn
