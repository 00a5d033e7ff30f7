#include "support/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

extern char** environ;

namespace vrn::test {

namespace fs = std::filesystem;

int currentProcessId() { return static_cast<int>(::getpid()); }
fs::path currentProgram() { return fs::read_symlink("/proc/self/exe"); }
fs::path builtProgram(const std::string& relative) { return fs::path(VARNEL_BINARY_DIR) / relative; }

ChildProcess::ChildProcess(const fs::path& program, const std::vector<std::string>& args, const Options& options) {
    std::vector<std::string> all{program.string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The test's environment with the options' entries replacing those of the same name.
    std::vector<std::string> env = options.env;
    for (char** e = environ; *e; ++e) {
        const char* eq = std::strchr(*e, '=');
        const std::size_t nameLength = eq ? static_cast<std::size_t>(eq - *e) + 1 : std::strlen(*e);
        bool replaced = false;
        for (const auto& mine : options.env) replaced = replaced || mine.compare(0, nameLength, *e, nameLength) == 0;
        if (!replaced) env.emplace_back(*e);
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!options.output.empty()) {
        posix_spawn_file_actions_addopen(&actions, 1, options.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    if (!options.folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, options.folder.c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, all[0].c_str(), &actions, nullptr, argv.data(), envp.data()) == 0) m_pid = pid;
    posix_spawn_file_actions_destroy(&actions);
}

ChildProcess::~ChildProcess() { kill(); }

bool ChildProcess::started() const { return m_pid > 0 || m_status.has_value(); }

std::optional<int> ChildProcess::waitFor(double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (m_pid > 0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            m_pid = -1;
            break;
        }
        if (std::chrono::steady_clock::now() >= end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return m_status;
}

void ChildProcess::reap() {
    int status = 0;
    if (::waitpid(m_pid, &status, 0) == m_pid) m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    m_pid = -1;
}

void ChildProcess::stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    reap();
}

void ChildProcess::kill() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGKILL);
    reap();
}

}  // namespace vrn::test
