#include <thread>

#include "core/format.h"

#include "update/update_fixture.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

TEST(VersionFileLine, OnlyTheFirstLineCounts) {
    const std::pair<const char*, Version> cases[] = {
        {"9.4.1 with other words", {9, 4, 1}},  {"9.4.1\r", {9, 4, 1}}, {"\n9.4.1", {0, 0, 0}},
        {"release 10.0.12\n2.0.0", {10, 0, 12}}, {"1.2\n", {0, 0, 0}},   {R"({"major":1,"minor":2,"patch":3})", {1, 2, 3}},
        {"<html>404 Not Found</html>", {0, 0, 0}},
    };
    for (const auto& [text, expected] : cases) EXPECT_EQ(gf_versionOfFirstLine(text), expected) << text;
}

using DownloadTest = UpdateTest;

// A failed transfer is no success and leaves neither an empty nor a half file behind, also where an
// older file of that name was.
TEST_F(DownloadTest, FailedTransfersAreNoSuccessAndLeaveNoFile) {
    DownloadHandle http;
    const auto download = [&](const char* name, const char* target, bool binary) { return gf_downloadToFile(http, gf_downloadBase() + name, target, binary); };
    m_server.route("moved.xml", {"<html>moved</html>", false, false, "301 Moved Permanently"});
    m_server.set("broken.zip", std::string(10000, 'b'), true);
    writeFile(program() / "broken.zip", "an older download");
    const struct {
        const char *name, *why;
        bool binary;
    } failures[] = {
        {"missing.xml", nullptr, false},              // an error page is not the file
        {"moved.xml", "HTTP status 301", false},     // redirections are not followed
        {"broken.zip", nullptr, true},               // broken off after half of it
    };
    for (const auto& f : failures) {
        EXPECT_FALSE(download(f.name, f.name, f.binary)) << f.name;
        EXPECT_FALSE(fs::exists(program() / f.name)) << f.name;
        EXPECT_EQ(logged(format("{}\" download error: ", f.name)), 1) << f.name;
        if (f.why != nullptr) {
            EXPECT_EQ(logged(f.why), 1) << f.name;
        }
    }
    // A target that cannot be opened stops before any transfer, and what stands in its way stays.
    m_server.clearRequests();
    m_server.set("a.xml", "<a/>");
    fs::create_directories(program() / "taken.xml" / "inside");
    EXPECT_FALSE(download("a.xml", "no_such_folder/a.xml", false));
    EXPECT_FALSE(download("a.xml", "taken.xml", false));
    EXPECT_TRUE(m_server.requests().empty());
    EXPECT_TRUE(fs::is_directory(program() / "taken.xml" / "inside"));
    EXPECT_EQ(logged("could not open file: "), 2);
    ScopedEnv env("VARNEL_DOWNLOAD_URL", "http://127.0.0.1:9");   // nothing listens; the '/' is added
    EXPECT_EQ(gf_fetchPackageVersion("aig"), (Version{0, 0, 0}));
    EXPECT_EQ(logged("\"http://127.0.0.1:9/aig/version.json\" => \"version.json\" download error: "), 1);
    EXPECT_FALSE(fs::exists(program() / "version.json"));
}

// A stalled version file is given up; the time limit does not stay on the handle, so a package
// that keeps coming may take longer.
TEST_F(DownloadTest, StalledVersionFilesAreGivenUpButPackagesMayBeSlow) {
    gf_setVersionFileTimeLimit(std::chrono::milliseconds(300));
    m_server.route("release/version.json", {"", false, true});
    DownloadHandle http;
    EXPECT_EQ(gf_downloadVersionFile(http, gf_downloadBase() + "release/version.json"), (Version{0, 0, 0}));
    EXPECT_EQ(logged("release/version.json\" => \"version.json\" download error: "), 1);
    EXPECT_FALSE(fs::exists(program() / "version.json"));
    const std::string slow(3000, 'p');
    m_server.route("slow.zip", {slow, false, false, "200 OK", 4, 150});
    EXPECT_TRUE(gf_downloadToFile(http, gf_downloadBase() + "slow.zip", "slow.zip", true));
    EXPECT_EQ(readFile("slow.zip"), slow);
    // The "Check version" button reads under a deadline: it neither waits out another thread's
    // stalled version file nor starts a transfer once the deadline has passed.
    // The other thread's read stalls until the test ends it, however slowly this thread goes on.
    gf_setVersionFileTimeLimit(std::chrono::seconds(60));
    m_server.route("dbase/version.json", {"", false, true});
    std::thread runThread([] { EXPECT_EQ(gf_fetchPackageVersion("dbase"), (Version{0, 0, 0})); });
    while (m_server.requestCount("dbase/version.json") == 0) std::this_thread::yield();
    for (const int ms : {50, -1}) {
        if (ms < 0) m_server.releaseStalls(), runThread.join(), m_server.set("aig/version.json", "2.0.0");
        const VersionFileDeadline deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(ms));
        EXPECT_EQ(gf_fetchPackageVersion("aig"), (Version{0, 0, 0})) << ms;
    }
    EXPECT_EQ(m_server.requestCount("aig/version.json"), 0);
    EXPECT_EQ(logged("aig/version.json\" => \"version.json\" download error: no time left"), 2);
    EXPECT_EQ(gf_fetchPackageVersion("aig"), (Version{2, 0, 0}));   // no deadline left behind
}


// The run thread's checks and the "Check version" button share ./version.json.
TEST_F(DownloadTest, ConcurrentVersionReadsDoNotMix) {
    m_server.set({{"dbase/version.json", "1.1.1"}, {"aig/version.json", "2.2.2"}});
    std::atomic<int> wrong{0};
    auto reader = [&wrong](const char* package, Version expected) {
        for (int i = 0; i < 25; ++i) wrong += !(gf_fetchPackageVersion(package) == expected);
    };
    std::thread a(reader, "dbase", Version{1, 1, 1}), b(reader, "aig", Version{2, 2, 2});
    a.join(), b.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace vrn::test
