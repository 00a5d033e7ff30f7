#pragma once
// Helpers shared by the test programs: scratch folders, fixture paths and file helpers.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "core/utf8_paths.h"

namespace vrn::test {

// A fresh folder under the system temp folder, removed when the object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

// Changes the current folder for the lifetime of the object (the program works relative to it).
class ScopedCurrentDir {
public:
    explicit ScopedCurrentDir(const std::filesystem::path& dir);
    ~ScopedCurrentDir();

private:
    std::filesystem::path m_previous;
};

// The environment variables that name the user's roaming and local application data folders.
#ifdef _WIN32
inline constexpr const char* kRoamingFolderVariable = "APPDATA";
inline constexpr const char* kLocalFolderVariable = "LOCALAPPDATA";
#else
inline constexpr const char* kRoamingFolderVariable = "XDG_CONFIG_HOME";
inline constexpr const char* kLocalFolderVariable = "XDG_DATA_HOME";
#endif

// Sets an environment variable for the lifetime of the object, restoring the old value after.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();

private:
    std::string m_name;
    bool m_had = false;
    std::string m_old;
};

std::filesystem::path testDataPath(const std::string& relative);   // tests/data/<relative>
std::filesystem::path realDataPath(const std::string& relative);   // ../shared/realdata/<relative>
bool realDataAvailable();
// The day's QNH (whole hPa, as RealTraffic's weather gives it) of a file of recorded traffic datagrams
// at a field: their altitudes are pressure altitudes, and their airborne record next to their first
// change between the ground and the air (within 30 s) flies some 20 ft above the field. 1013 where no such
// change shows it.
int recordedDayQnh(const std::filesystem::path& datagrams, double fieldFt);
// A record's altitude as the program takes it on a day of that QNH (0, the ground, stays 0).
double trueAltitudeOnDay(double pressureAltitudeFt, int qnh);

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, const std::string& bytes);
std::vector<std::string> readLinesOf(const std::filesystem::path& file);

// The line end the program writes its logs, reports and lists with: CR LF on Windows, LF elsewhere.
#ifdef _WIN32
inline constexpr std::string_view kSystemLineEnd = "\r\n";
#else
inline constexpr std::string_view kSystemLineEnd = "\n";
#endif
// `text`, written with bare line feeds, in the system's line ends.
std::string systemLines(std::string_view text);
// A text file the program wrote, its line ends read back as bare line feeds.
std::string readText(const std::filesystem::path& file);

// Polls a condition that another thread makes true; false after a generous bound.
template <class F>
bool eventually(F condition, int seconds = 20) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return condition();
}

// The text with every '\\' made '/' on Windows (unchanged elsewhere), so that expected paths written
// with '/' match what the program shows there, where both separators occur.
std::string slashed(std::string text);

// Whether this system lets the tests make symbolic links (Windows without developer mode, and Wine,
// do not).
bool symlinksAvailable();

#ifndef _WIN32
// Runs `f` with the process's file size limit at `bytes`, as on a full disk: writes beyond it fail
// (SIGXFSZ ignored meanwhile). The limit is restored afterwards.
void withFileSizeLimit(std::uintmax_t bytes, const std::function<void()>& f);
#endif

// Every port a test chooses itself lies in kTestPortFirst-kTestPortLast, below the systems' ephemeral
// ranges (Linux and Wine 32768-60999, Windows 49152-65535), so that no socket bound to port 0 (as many
// tests bind theirs) is handed one of them. freeLoopbackPortBase draws from kTestPortFirst to
// kDrawnPortLast; a test that needs one port again and again (a restart on the same port) takes its
// own above that. tests/e2e/windows_e2e.sh draws from the same range.
inline constexpr int kTestPortFirst = 20000;
inline constexpr int kDrawnPortLast = 32099;
inline constexpr int kTestPortLast = 32767;
// A TCP port followed by two UDP ports, all free on loopback, in the drawn range (0: none).
int freeLoopbackPortBase(unsigned salt = 0);
// A port found free can be taken by another program before the program under test binds it: true
// for a run that ended on that (said in its output or in its Log.txt), which is then started again on
// other ports.
bool portTakenMeanwhile(int exitStatus, const std::string& output, const std::filesystem::path& log = {});
// The path in single quotes for a shell command line.
std::string shellQuote(const std::filesystem::path& p);

}  // namespace vrn::test
