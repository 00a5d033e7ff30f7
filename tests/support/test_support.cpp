#include "support/test_support.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace vrn::test {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto name = "varnel-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                    std::to_string(rd() % 100000);
        auto candidate = fs::temp_directory_path() / name;
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

ScopedCurrentDir::ScopedCurrentDir(const fs::path& dir) : m_previous(fs::current_path()) {
    fs::current_path(dir);
}

ScopedCurrentDir::~ScopedCurrentDir() {
    std::error_code ec;
    fs::current_path(m_previous, ec);
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : m_name(std::move(name)) {
    if (const char* old = std::getenv(m_name.c_str())) {
        m_had = true;
        m_old = old;
    }
    ::setenv(m_name.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv() {
    if (m_had)
        ::setenv(m_name.c_str(), m_old.c_str(), 1);
    else
        ::unsetenv(m_name.c_str());
}

fs::path testDataPath(const std::string& relative) { return fs::path(VARNEL_TEST_DATA) / relative; }
fs::path realDataPath(const std::string& relative) { return fs::path(VARNEL_REALDATA) / relative; }
bool realDataAvailable() { return fs::is_directory(VARNEL_REALDATA); }

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& file, const std::string& bytes) {
    if (file.has_parent_path()) fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::vector<std::string> readLinesOf(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

namespace {
bool lf_portFree(int type, int port) {
    const int fd = ::socket(AF_INET, type, 0);
    if (fd < 0) return false;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}
}  // namespace

int freeLoopbackPortBase(unsigned salt) {
    std::mt19937 rng(static_cast<unsigned>(::getpid()) * 31u + salt);
    for (int attempt = 0; attempt < 200; ++attempt) {
        // Below the kernel's ephemeral range, so ports that other tests bind to 0 never take these.
        const int base = 20000 + static_cast<int>(rng() % 12000);
        if (lf_portFree(SOCK_STREAM, base) && lf_portFree(SOCK_DGRAM, base + 1) && lf_portFree(SOCK_DGRAM, base + 2))
            return base;
    }
    return 0;
}

std::string shellQuote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

void withFileSizeLimit(std::uintmax_t bytes, const std::function<void()>& f) {
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = old;
    limited.rlim_cur = static_cast<rlim_t>(bytes);
    if (::setrlimit(RLIMIT_FSIZE, &limited) != 0) throw std::runtime_error("setrlimit failed");
    f();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
}

}  // namespace vrn::test
