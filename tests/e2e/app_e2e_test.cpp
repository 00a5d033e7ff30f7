// The real program in a staged folder, beside the simulated simulator and the RealTraffic stand-in:
// scripts/run-program stages the folder, starts rtfeed and runs varnel headless for a bounded time.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "platform/net/sockets.h"
#include "support/test_support.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;


int lf_exitCode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

bool lf_contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The process running `exe` in the folder `cwd`, 0 when there is none.
pid_t lf_findProcess(const fs::path& exe, const fs::path& cwd) {
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code linkEc;
        if (fs::read_symlink(it->path() / "exe", linkEc) != exe || linkEc) continue;
        if (fs::read_symlink(it->path() / "cwd", linkEc) != cwd || linkEc) continue;
        return static_cast<pid_t>(std::stol(name));
    }
    return 0;
}

// Polls Log.txt until it holds `line`; the last text read either way.
std::string lf_awaitLogLine(const fs::path& log, const std::string& line, std::chrono::seconds limit) {
    std::string text;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
        if (fs::exists(log)) text = readFile(log);
        if (lf_contains(text, line)) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return text;
}

TEST(AppEndToEnd, ARunConnectsEverythingAndClosesCleanly) {
    const fs::path build = VARNEL_BINARY_DIR;
    for (const char* tool : {"src/varnel", "tools/varnel-data", "tools/rtfeed"})
        if (!fs::exists(build / tool)) GTEST_SKIP() << (build / tool) << " is not built";
    const fs::path script = fs::path(VARNEL_TEST_DATA).parent_path().parent_path() / "scripts" / "run-program";
    ASSERT_TRUE(fs::exists(script));
    const int base = freeLoopbackPortBase();
    ASSERT_NE(base, 0) << "no free loopback ports";

    TempDir stage;
    // The run is ended by the test (SIGINT, as the close button) once it has seen what it needs; the
    // run time is only a cap for a program that is never found.
    const std::string env = "VARNEL_RUN_SECONDS=200 VARNEL_HEADLESS=1 VARNEL_STAGE_DIR=" + shellQuote(stage.path()) +
                            " VARNEL_PORT_BASE=" + std::to_string(base) + " XDG_RUNTIME_DIR=" + shellQuote(stage.path());
    int runStatus = -1;
    std::thread run([&] {
        runStatus = std::system((env + " " + shellQuote(script) + " " + shellQuote(build) + " > " +
                                 shellQuote(stage / "run.out") + " 2>&1")
                                    .c_str());
    });

    // While the first instance runs, a second ./run from the same stage says why it quits at once and
    // leaves the first one's Log.txt, simulator trace and feed alone.
    const fs::path program = fs::weakly_canonical(stage / "program");
    const fs::path log = program / "Log.txt";
    const fs::path tracePath = stage / "sim" / "trace.jsonl";
    std::string logText = lf_awaitLogLine(log, "RealTraffic connected", std::chrono::seconds(120));
    if (lf_contains(logText, "RealTraffic connected")) {
        std::error_code ec;
        const auto traced = fs::file_size(tracePath, ec);
        const std::string second = env + " " + shellQuote(script) + " " + shellQuote(build) + " > " +
                                   shellQuote(stage / "second.out") + " 2>&1";
        EXPECT_EQ(lf_exitCode(std::system(second.c_str())), 3);
        EXPECT_TRUE(lf_contains(readFile(stage / "second.out"), "Varnel is already running"));
        EXPECT_TRUE(lf_contains(readFile(log), "RealTraffic connected"));
        EXPECT_GE(fs::file_size(tracePath, ec), traced);
    } else {
        ADD_FAILURE() << "RealTraffic never connected";
    }
    // The feed reaches the program; then the user closes it.
    lf_awaitLogLine(log, "Traffic Reader connected", std::chrono::seconds(60));
    if (const pid_t pid = lf_findProcess(fs::canonical(build / "src" / "varnel"), program)) ::kill(pid, SIGINT);
    run.join();

    EXPECT_EQ(lf_exitCode(runStatus), 0) << readFile(stage / "run.out");
    logText = readFile(log);
    for (const char* line : {"Varnel version 9.4.0 for MSFS", "RealTraffic detected at this PC", "liveries scan automatic starts",
                             "MSFS 2020", "RealTraffic connected", "Traffic Reader connected",
                             "Exiting: USER CLOSED SIM", "User closed Varnel", "BLOCK_CALLSIGN="})
        EXPECT_TRUE(lf_contains(logText, line)) << line;
    EXPECT_FALSE(lf_contains(logText, "No traffic in this region?"));
    EXPECT_FALSE(lf_contains(logText, "Error "));

    const std::string feed = readFile(stage / "rtfeed.log");
    EXPECT_TRUE(lf_contains(feed, "<< Qs999=version"));
    EXPECT_TRUE(lf_contains(feed, "<< Qs121="));
    EXPECT_TRUE(lf_contains(feed, "<< exit"));

    const std::string trace = readFile(stage / "sim" / "trace.jsonl");
    EXPECT_TRUE(lf_contains(trace, "\"flightRunning\":true"));
    EXPECT_TRUE(lf_contains(trace, "Airbus A320 Neo Asobo"));

    const std::string params = readFile(stage / "config" / "Varnel" / "parameters.xml");
    EXPECT_TRUE(lf_contains(params, "name=\"SCAN_LIVERIES\" value=\"false\""));
    EXPECT_TRUE(lf_contains(params, "name=\"MAIN_WINDOW_X\""));
    // Headless, the top band is printed too, one line per part whenever it changes.
    const std::string out = readFile(stage / "run.out");
    for (const char* line : {"[status] Stop requested (Ctrl-C), closing Varnel ...",
                             "[sim] flight running: MSFS 2020", "[RealTraffic] RT ", "[aircraft] live "})
        EXPECT_TRUE(lf_contains(out, line)) << line;
}

// Starts that cannot run end with a message saying why and a non-zero status (a user's close of a
// run ends with 0, above).
TEST(AppEndToEnd, BadStartsEndWithAMessageAndAnErrorStatus) {
    const fs::path build = VARNEL_BINARY_DIR;
    for (const char* tool : {"src/varnel", "tools/varnel-data", "tools/rtfeed"})
        if (!fs::exists(build / tool)) GTEST_SKIP() << (build / tool) << " is not built";
    const fs::path script = fs::path(VARNEL_TEST_DATA).parent_path().parent_path() / "scripts" / "run-program";
    struct Case {
        const char* runSeconds;
        bool tcpPortTaken;
        std::string installPath;
        int status;
        std::string output;
    };
    const Case cases[] = {
        {"1e3", false, "", 2, "VARNEL_RUN_SECONDS must be a positive whole number of seconds, not \"1e3\""},
        {"60", true, "", 1, "[status] sys error 5: Bind failed at port "},
        // Closed by its run time once the start has stopped at the automatic livery scan, which needs
        // the install path (well before it).
        {"10", false, "/tmp/" + std::string(300, 'a'), 1,
         "[status] Error 150: The file system refuses this install path (File name too long): /tmp/aaa"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        const int base = freeLoopbackPortBase();
        ASSERT_NE(base, 0) << "no free loopback ports";
        TempDir stage;
        writeFile(stage / "config" / "Varnel" / "parameters.xml",
                  "<parameters>\n<parameter name=\"PORT_NUMBER\" value=\"" + std::to_string(base) +
                      "\" />\n<parameter name=\"MSFS_INSTALL_PATH\" value=\"" + c.installPath + "\" />\n</parameters>\n");
        const net::ListenResult holder = c.tcpPortTaken ? net::gf_tcpListen(std::to_string(base)) : net::ListenResult{};
        const std::string run = std::string("VARNEL_RUN_SECONDS=") + c.runSeconds +
                                " VARNEL_HEADLESS=1 VARNEL_STAGE_DIR=" + shellQuote(stage.path()) + " VARNEL_PORT_BASE=" +
                                std::to_string(base) + " XDG_RUNTIME_DIR=" + shellQuote(stage.path()) + " " +
                                shellQuote(script) + " " + shellQuote(build) + " > " + shellQuote(stage / "run.out") + " 2>&1";
        EXPECT_EQ(lf_exitCode(std::system(run.c_str())), c.status);
        net::gf_closeSocket(holder.fd);
        EXPECT_TRUE(lf_contains(readFile(stage / "run.out"), c.output)) << readFile(stage / "run.out");
    }
}

}  // namespace
}  // namespace vrn::test
