#include "support/test_support.h"

#include <atomic>
#include <cmath>
#include <optional>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#ifdef _WIN32
#include <stdlib.h>
#else
#include <sys/resource.h>
#endif

#include "core/geodesy.h"
#include "core/utilities.h"
#include "platform/net/sockets.h"
#include "support/process.h"

namespace fs = std::filesystem;

namespace vrn::test {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto name = "varnel-test-" + std::to_string(currentProcessId()) + "-" + std::to_string(counter++) + "-" +
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

#ifdef _WIN32
// Through the wide calls: the narrow ones would take the values in the ANSI code page.
namespace {
std::wstring lf_wide(const std::string& text) { return fs::path(std::u8string(text.begin(), text.end())).wstring(); }
}  // namespace

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : m_name(std::move(name)) {
    if (const wchar_t* old = ::_wgetenv(lf_wide(m_name).c_str())) {
        m_had = true;
        const auto u8 = fs::path(old).u8string();
        m_old.assign(u8.begin(), u8.end());
    }
    ::_wputenv_s(lf_wide(m_name).c_str(), lf_wide(value).c_str());
}

ScopedEnv::~ScopedEnv() { ::_wputenv_s(lf_wide(m_name).c_str(), m_had ? lf_wide(m_old).c_str() : L""); }
#else
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
#endif

fs::path testDataPath(const std::string& relative) { return fs::path(VARNEL_TEST_DATA) / relative; }
fs::path realDataPath(const std::string& relative) { return fs::path(VARNEL_REALDATA) / relative; }
double trueAltitudeOnDay(double pressureAltitudeFt, int qnh) {
    return pressureAltitudeFt == 0.0 ? 0.0 : gf_trueAltitudeFt(pressureAltitudeFt, qnh + (kStandardPressureHpa - 1013.0));
}

int recordedDayQnh(const std::filesystem::path& datagrams, double fieldFt) {
    struct Record { double stamp, altitude; bool ground; };
    std::vector<Record> records;
    for (const std::string& line : readLinesOf(datagrams)) {
        // (A recording to replay puts the second to send it at before each datagram.)
        const std::vector<std::string> f = gf_splitAtComma(line.starts_with("RTTFC") ? line : line.substr(line.find(' ') + 1));
        if (f.size() >= 15) records.push_back({std::stod(f[14]), std::stod(f[4]), f[6] == "1"});
    }
    for (std::size_t i = 1; i < records.size(); ++i) {
        if (records[i - 1].ground == records[i].ground || std::fabs(records[i].stamp - records[i - 1].stamp) > 30.0) continue;
        // Its airborne record there, a second or two off the runway, flies some 20 ft above the field.
        constexpr double kNextToTheGroundFt = 20.0;
        const double reads = (records[i].ground ? records[i - 1] : records[i]).altitude;
        const auto off = [&](int qnh) { return std::fabs(trueAltitudeOnDay(reads, qnh) - fieldFt - kNextToTheGroundFt); };
        int best = 1013;
        for (int qnh = 930; qnh <= 1080; ++qnh)
            if (off(qnh) < off(best)) best = qnh;
        return best;
    }
    return 1013;
}

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

std::string systemLines(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += kSystemLineEnd;
        else
            out += c;
    }
    return out;
}

std::string readText(const fs::path& file) {
    std::string text = readFile(file);
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    return out;
}

namespace {
bool lf_udpPortFree(int port) {
    int error = 0;
    const int fd = net::gf_udpSocket(error);
    if (fd < 0) return false;
    const bool ok = net::gf_bindIpv4(fd, true, static_cast<std::uint16_t>(port)) == 0;
    net::gf_closeSocket(fd);
    return ok;
}
bool lf_tcpPortFree(int port) {
    const net::ListenResult r = net::gf_tcpListen(std::to_string(port));
    net::gf_closeSocket(r.fd);
    return r.fd >= 0;
}
}  // namespace

std::string slashed(std::string text) {
#ifdef _WIN32
    for (char& c : text)
        if (c == '\\') c = '/';
#endif
    return text;
}

bool symlinksAvailable() {
    static const bool available = [] {
        TempDir dir;
        std::error_code ec;
        fs::create_directory_symlink(dir.path(), dir / "link", ec);
        return !ec;
    }();
    return available;
}

int freeLoopbackPortBase(unsigned salt) {
    // Seeded from the process, the salt, the clock and the system's randomness as one sequence: a
    // seed made by arithmetic of process id and salt repeats across processes (id + 1 with a salt 31
    // lower), and two tests that start at once then drew the same ports.
    std::random_device entropy;
    const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    std::seed_seq seed{static_cast<unsigned>(currentProcessId()), salt, static_cast<unsigned>(now),
                       static_cast<unsigned>(now >> 32), entropy(), entropy()};
    std::mt19937 rng(seed);
    for (int attempt = 0; attempt < 200; ++attempt) {
        const int base = kTestPortFirst + static_cast<int>(rng() % static_cast<unsigned>(kDrawnPortLast - 2 - kTestPortFirst + 1));
        if (lf_tcpPortFree(base) && lf_udpPortFree(base + 1) && lf_udpPortFree(base + 2))
            return base;
    }
    return 0;
}

bool portTakenMeanwhile(int exitStatus, const std::string& output, const std::filesystem::path& log) {
    constexpr std::string_view kTaken = "Address already in use";
    if (exitStatus == 0) return false;
    if (output.find(kTaken) != std::string::npos) return true;
    // A reader that could not bind says so in Log.txt only; the run's output shows "Reader error".
    return !log.empty() && std::filesystem::exists(log) && readFile(log).find(kTaken) != std::string::npos;
}

std::string shellQuote(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

#ifndef _WIN32
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
#endif

}  // namespace vrn::test
