#pragma once
// Child processes for the tests that run the program or its tools: posix_spawn on Linux,
// CreateProcessW on Windows.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vrn::test {

int currentProcessId();
// The running test program itself (a test may start it again as a helper child).
std::filesystem::path currentProgram();
// A program built in this build folder: "tools/rtfeed" -> <build>/tools/rtfeed(.exe).
std::filesystem::path builtProgram(const std::string& relative);

// Runs tools/varnel-data with `args` to its end, its output into `output` (empty: the test's own);
// its exit status, -1 when it could not start. False from dataBuilderBuilt() when it is not built.
bool dataBuilderBuilt();
int runDataBuilder(const std::vector<std::string>& args, const std::filesystem::path& output = {});

class ChildProcess {
public:
    struct Options {
        std::filesystem::path output;        // standard output and error go here (empty: inherited)
        std::vector<std::string> env;        // NAME=value added to (or replacing in) the test's own
        std::filesystem::path folder;        // the current folder (empty: the test's own)
    };
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args, const Options& options);
    ChildProcess(const std::filesystem::path& program, const std::vector<std::string>& args)
        : ChildProcess(program, args, Options{}) {}
    ~ChildProcess();   // a child still running is killed
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const;
    // The exit status once it ended within `seconds` (0: just looks); empty while it still runs.
    std::optional<int> waitFor(double seconds);
    // Asks it to end (SIGTERM; on Windows, which has no such request for a console program, it is
    // terminated) and waits for it.
    void stop();
    // Ends it at once, as a crash would.
    void kill();

private:
    void reap();
#ifdef _WIN32
    void* m_process = nullptr;
#else
    int m_pid = -1;
#endif
    std::optional<int> m_status;
};

}  // namespace vrn::test
