#include <thread>

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

TEST_F(DownloadTest, FailedTransfersAreNoSuccess) {
    CurlHandle curl;
    // An error page is not the file asked for.
    EXPECT_FALSE(gf_downloadToFile(curl, gf_downloadBase() + "missing.xml", "missing.xml", false));
    // A transfer that breaks off fails; the partial file stays for the caller.
    m_server.set("broken.zip", std::string(10000, 'b'), true);
    EXPECT_FALSE(gf_downloadToFile(curl, gf_downloadBase() + "broken.zip", "broken.zip", true));
    EXPECT_TRUE(fs::exists("broken.zip"));
    EXPECT_EQ(countOf(logText(), "download error"), 2);
    // Redirections are not followed: the redirection page is not the file.
    m_server.route("moved.xml", {"<html>moved</html>", false, false, "301 Moved Permanently"});
    EXPECT_FALSE(gf_downloadToFile(curl, gf_downloadBase() + "moved.xml", "moved.xml", false));
    // A target that cannot be opened stops before any transfer.
    m_server.clearRequests();
    m_server.set("a.xml", "<a/>");
    EXPECT_FALSE(gf_downloadToFile(curl, gf_downloadBase() + "a.xml", "no_such_folder/a.xml", false));
    EXPECT_TRUE(m_server.requests().empty());
}

TEST_F(DownloadTest, VersionFilesAreReadAndRemoved) {
    m_server.set("release/version.json", "9.4.1 build 77\n8.0.0\n");
    m_server.set("dbase/version.json", "\n3.2.1\n");
    m_server.set("archive/msfs/version.json", "2.4.0");
    EXPECT_EQ(gf_fetchProgramVersion(), (Version{9, 4, 1}));
    EXPECT_FALSE(fs::exists("version.json"));
    EXPECT_EQ(gf_fetchPackageVersion("dbase"), (Version{0, 0, 0}));
    EXPECT_EQ(gf_fetchArchiveVersion(), (Version{2, 4, 0}));
    EXPECT_EQ(m_server.requests(),
              (std::vector<std::string>{"release/version.json", "dbase/version.json", "archive/msfs/version.json"}));

    ScopedEnv env("VARNEL_DOWNLOAD_URL", "http://127.0.0.1:9");   // nothing listens; the '/' is added
    EXPECT_EQ(gf_fetchPackageVersion("aig"), (Version{0, 0, 0}));
    EXPECT_EQ(countOf(logText(), "\"http://127.0.0.1:9/aig/version.json\" => \"version.json\" download error: "), 1);
}

TEST_F(DownloadTest, StalledVersionFileIsGivenUpButPackagesMayBeSlow) {
    gf_setVersionFileTimeLimit(std::chrono::milliseconds(300));
    m_server.route("release/version.json", {"", false, true});
    CurlHandle curl;
    EXPECT_EQ(gf_downloadVersionFile(curl, gf_downloadBase() + "release/version.json"), (Version{0, 0, 0}));
    const std::string url = gf_downloadBase() + "release/version.json";
    EXPECT_EQ(countOf(logText(), "\"" + url + "\" => \"version.json\" download error: "), 1);
    // The time limit does not stay on the handle: a package that keeps coming may take longer.
    const std::string body(3000, 'p');
    m_server.route("slow.zip", {body, false, false, "200 OK", 4, 150});
    EXPECT_TRUE(gf_downloadToFile(curl, gf_downloadBase() + "slow.zip", "slow.zip", true));
    EXPECT_EQ(readFile("slow.zip"), body);
}

// The "Check version" button reads under a deadline: it neither waits out another thread's
// stalled version file nor starts a transfer once the deadline has passed.
TEST_F(DownloadTest, DeadlineBoundsTheWaitForVersionFiles) {
    gf_setVersionFileTimeLimit(std::chrono::milliseconds(800));
    m_server.route("dbase/version.json", {"", false, true});
    std::thread runThread([] { EXPECT_EQ(gf_fetchPackageVersion("dbase"), (Version{0, 0, 0})); });
    while (m_server.requestCount("dbase/version.json") == 0) std::this_thread::yield();
    {
        const VersionFileDeadline deadline(std::chrono::steady_clock::now() + std::chrono::milliseconds(50));
        EXPECT_EQ(gf_fetchPackageVersion("aig"), (Version{0, 0, 0}));
    }
    runThread.join();
    m_server.set("aig/version.json", "2.0.0");
    {
        const VersionFileDeadline passed(std::chrono::steady_clock::now() - std::chrono::milliseconds(1));
        EXPECT_EQ(gf_fetchPackageVersion("aig"), (Version{0, 0, 0}));
    }
    EXPECT_EQ(m_server.requestCount("aig/version.json"), 0);
    EXPECT_EQ(countOf(logText(), "aig/version.json\" => \"version.json\" download error: no time left"), 2);
    EXPECT_EQ(gf_fetchPackageVersion("aig"), (Version{2, 0, 0}));   // no deadline left behind
}

// The run thread's checks and the "Check version" button share ./version.json.
TEST_F(DownloadTest, ConcurrentVersionReadsDoNotMix) {
    m_server.set("dbase/version.json", "1.1.1");
    m_server.set("aig/version.json", "2.2.2");
    std::atomic<int> wrong{0};
    auto reader = [&wrong](const char* package, Version expected) {
        for (int i = 0; i < 25; ++i) wrong += !(gf_fetchPackageVersion(package) == expected);
    };
    std::thread a(reader, "dbase", Version{1, 1, 1});
    std::thread b(reader, "aig", Version{2, 2, 2});
    a.join();
    b.join();
    EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace vrn::test
