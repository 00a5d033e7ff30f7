// The program started as a user starts it, on Linux and on Windows: from a staged program folder,
// with the user's folders in the environment. Starts that meet bad surroundings (a user folder with
// an umlaut and a blank, a program folder that cannot be written, a port in use, a second instance)
// end with the message they have on every system and an error status, never a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "platform/net/sockets.h"
#include "support/process.h"
#include "support/test_support.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

constexpr int kExitUsage = 2, kExitSecondInstance = 3;
// Runs end themselves after VARNEL_RUN_SECONDS; this bound only catches a program that never ends.
constexpr double kLongestRunSeconds = 180;

bool lf_contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A program folder as the package holds it (data files and docs), a user folder, and the simulator's
// packages under the user's roaming folder.
class StartEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        roaming = user / "AppData" / "Roaming";
        for (const char* tool : {"src/varnel", "tools/varnel-data"})
            if (!fs::exists(builtProgram(tool))) GTEST_SKIP() << builtProgram(tool) << " is not built";
        ChildProcess::Options quiet;
        quiet.output = stage / "data.out";
        ChildProcess data(builtProgram("tools/varnel-data"),
                          {"all", "--source", (root / "data").string(), "--program", program.string(), "--packages",
                           (roaming / "Microsoft Flight Simulator" / "Packages").string()},
                          quiet);
        ASSERT_EQ(data.waitFor(kLongestRunSeconds), 0) << readFile(stage / "data.out");
        fs::copy(root / "docs", program / "docs", fs::copy_options::recursive);
        writeFile(roaming / "InsideSystems" / "RealTraffic.jar", "");   // RealTraffic runs on this computer
        base = freeLoopbackPortBase();
        ASSERT_NE(base, 0);
        writeFile(roaming / "Varnel" / "parameters.xml",
                  "<parameters>\n<parameter name=\"PORT_NUMBER\" value=\"" + std::to_string(base) + "\" />\n</parameters>\n");
    }

    ChildProcess::Options options(const fs::path& output, const std::string& runSeconds = "4",
                                  const fs::path& startIn = {}) const {
        ChildProcess::Options o;
        o.output = output;
        o.folder = startIn.empty() ? program : startIn;
        const auto utf8 = [](const fs::path& p) {
            const auto u8 = p.u8string();
            return std::string(u8.begin(), u8.end());
        };
        o.env = {std::string(kRoamingFolderVariable) + "=" + utf8(roaming),
                 std::string(kLocalFolderVariable) + "=" + utf8(user / "AppData" / "Local"),
                 "XDG_RUNTIME_DIR=" + stage.path().string(),   // the lock file's folder on Linux
                 "VARNEL_RUN_SECONDS=" + runSeconds, "VARNEL_HEADLESS=1",
                 "VARNEL_DOWNLOAD_URL=http://127.0.0.1:9/",
                 "VARNEL_SIM_SCENARIO=" + (root / "data" / "demo" / "scenario.json").string(),
                 "VARNEL_SIM_TRACE=" + (stage / "trace.jsonl").string()};
        return o;
    }

    // One start of the program; its exit status and what it printed.
    std::pair<int, std::string> run(const std::string& name, const std::string& runSeconds = "4",
                                    const fs::path& startIn = {}) const {
        ChildProcess varnel(builtProgram("src/varnel"), {}, options(stage / name, runSeconds, startIn));
        const int status = varnel.waitFor(kLongestRunSeconds).value_or(-1);
        return {status, readFile(stage / name)};
    }

    const fs::path root = fs::path(VARNEL_TEST_DATA).parent_path().parent_path();
    int base = 0;
    TempDir stage;
    const fs::path program = stage / "program";
    fs::path user = stage / "Pilot";
    fs::path roaming;
};

class UmlautUserStart : public StartEndToEnd {
protected:
    UmlautUserStart() { user = stage.path() / fs::path(u8"J\u00fcrgen M\u00fcller"); }
};

TEST_F(UmlautUserStart, AUserFolderWithAnUmlautAndABlankHoldsTheSettings) {
    const auto [status, out] = run("run.out");
    EXPECT_EQ(status, 0) << out;
    EXPECT_FALSE(lf_contains(out, "Error")) << out;
    const std::string params = readFile(roaming / "Varnel" / "parameters.xml");
    EXPECT_TRUE(lf_contains(params, "name=\"MAIN_WINDOW_X\"")) << params;
    const std::string log = readFile(program / "Log.txt");
    EXPECT_TRUE(lf_contains(log, std::string(reinterpret_cast<const char*>(u8"J\u00fcrgen M\u00fcller")))) << log;
}

TEST_F(StartEndToEnd, BadSurroundingsEndWithTheirMessage) {
    {
        // RealTraffic's port taken by another program.
        const net::ListenResult holder = net::gf_tcpListen(std::to_string(base));
        ASSERT_GE(holder.fd, 0);
        const auto [status, out] = run("port.out", "20");
        net::gf_closeSocket(holder.fd);
        EXPECT_EQ(status, 1) << out;
        EXPECT_TRUE(lf_contains(out, "[status] sys error 5: Bind failed at port " + std::to_string(base) + " with error"))
            << out;
    }
    {
        // A run time that is no number: refused before anything starts.
        const auto [status, out] = run("usage.out", "1e3");
        EXPECT_EQ(status, kExitUsage) << out;
        EXPECT_TRUE(lf_contains(out, "VARNEL_RUN_SECONDS must be a positive whole number of seconds")) << out;
    }
    {
        // A program folder where Log.txt cannot be written (as in a read-only folder; the tests may run
        // as a user whom no permission stops, so Log.txt's name is taken by a folder).
        fs::remove(program / "Log.txt");
        fs::create_directories(program / "Log.txt");
        const auto [status, out] = run("log.out");
        fs::remove(program / "Log.txt");
        EXPECT_EQ(status, 1) << out;
        EXPECT_TRUE(lf_contains(out, "Varnel: ")) << out;
        EXPECT_TRUE(lf_contains(out, "Log.txt")) << out;
    }
    {
        // Started from another folder (a shortcut without the program's folder as "Start in"): the
        // run stops with user error 41 and leaves that folder as it was, its own Log.txt included.
        const fs::path elsewhere = stage / "Desktop";
        writeFile(elsewhere / "Log.txt", "the user's own file");
        const auto [status, out] = run("elsewhere.out", "4", elsewhere);
        EXPECT_EQ(status, 1) << out;   // ended with an error on the status line
        EXPECT_TRUE(lf_contains(out, "Error 41: Varnel must be run from the Varnel folder!")) << out;
        EXPECT_EQ(readFile(elsewhere / "Log.txt"), "the user's own file");
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(elsewhere)) left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"Log.txt"});
    }
}

#ifndef _WIN32
// Makes the folder read-only for the program: by its mode, or, for a user whom no mode stops, by a
// read-only mount of the folder over itself. False when neither can be had here.
bool lf_makeReadOnly(const fs::path& folder) {
    fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const auto refused = [&] {
        std::error_code ec;
        fs::create_directory(folder / "probe", ec);
        if (!ec) fs::remove(folder / "probe");
        return ec.value() != 0;
    };
    if (refused()) return true;
    const std::string quoted = shellQuote(folder);
    return std::system(("mount --bind " + quoted + " " + quoted + " 2>/dev/null && mount -o remount,ro,bind " + quoted +
                        " " + quoted + " 2>/dev/null").c_str()) == 0 &&
           refused();
}

void lf_makeWritable(const fs::path& folder) {
    std::system(("umount " + shellQuote(folder) + " 2>/dev/null").c_str());
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add);
}

// A folder that takes no writing while this lives. It takes writing again (its bind mount, made when
// run as root, gone from the host) on every way out: the end of the scope, a failed assertion, a throw.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(fs::path folder) : m_folder(std::move(folder)), m_readOnly(lf_makeReadOnly(m_folder)) {}
    ~ReadOnlyFolder() { lf_makeWritable(m_folder); }
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;
    bool readOnly() const { return m_readOnly; }

private:
    fs::path m_folder;
    bool m_readOnly;
};
#endif

// Where the settings folder or the disk under Log.txt takes no writing, the user is told which
// folder and what to do, as an error of its own number, and nothing is left half-written.
TEST_F(StartEndToEnd, FoldersThatTakeNoWritingAreNamedWithWhatToDo) {
#ifdef _WIN32
    GTEST_SKIP() << "needs a read-only folder and a file size limit";
#else
    {
        const fs::path settings = roaming / "Varnel";
        const std::string before = readFile(settings / "parameters.xml");
        std::optional<ReadOnlyFolder> readOnly(std::in_place, settings);
        if (!readOnly->readOnly()) GTEST_SKIP() << "no read-only folder can be had here";
        const auto [status, out] = run("readonly.out", "20");
        readOnly.reset();
        EXPECT_TRUE(lf_contains(out, "45: Varnel cannot write in its settings folder: make it writable, or free space on "
                                     "its disk, and start Varnel again")) << out;
        EXPECT_TRUE(lf_contains(readFile(program / "Log.txt"), "the folder: \"" + settings.string() + "\"")) << out;
        EXPECT_FALSE(lf_contains(out, "filesystem error")) << out;
        EXPECT_EQ(readFile(settings / "parameters.xml"), before);
        EXPECT_FALSE(fs::exists(settings / "orig_dest"));
    }
    {
        // A full disk (a file size limit of 0 bytes, which the child inherits): not a byte of
        // Log.txt can be written. What the program prints goes through a pipe, which takes no room.
        const fs::path pipe = stage / "full.pipe";
        ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        std::string out;
        std::thread reader([&] {
            std::ifstream in(pipe, std::ios::binary);
            out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        });
        std::optional<ChildProcess> varnel;
        withFileSizeLimit(0, [&] { varnel.emplace(builtProgram("src/varnel"), std::vector<std::string>{}, options(pipe)); });
        if (!varnel->started()) std::ofstream{pipe};   // lets the reader end
        varnel->waitFor(kLongestRunSeconds);
        reader.join();
        // What to do comes whole, however long the folder that the window's width may cut.
        EXPECT_TRUE(lf_contains(out, "46: Log.txt cannot be written (is the disk full?): free space on that disk and "
                                     "start Varnel again"))
            << out;
        EXPECT_EQ(fs::file_size(program / "Log.txt"), 0u);
    }
#endif
}

// Linux says so, for ./run's exit status; Windows ends the second start at once with -1 and says
// nothing: no message, no log line, no window.
TEST_F(StartEndToEnd, ASecondInstanceLeavesTheFirstAlone) {
    ChildProcess first(builtProgram("src/varnel"), {}, options(stage / "first.out", "120"));
    ASSERT_TRUE(eventually([&] { return lf_contains(readFile(program / "Log.txt"), "Varnel version"); }, 120));
    const std::string firstLog = readFile(program / "Log.txt");
    const auto [status, out] = run("second.out");
#ifdef _WIN32
    EXPECT_EQ(status, -1) << out;
    EXPECT_EQ(out, "");
    EXPECT_EQ(readFile(program / "Log.txt").substr(0, firstLog.size()), firstLog) << "the first one's log is kept";
#else
    EXPECT_EQ(status, kExitSecondInstance) << out;
    EXPECT_TRUE(lf_contains(out, "Varnel is already running")) << out;
#endif
    EXPECT_TRUE(lf_contains(readFile(program / "Log.txt"), "Varnel version")) << "the first one's log is kept";
    EXPECT_FALSE(first.waitFor(0).has_value()) << "the first one still runs";
}

}  // namespace
}  // namespace vrn::test
