#pragma once
// Downloads from the program's download server: one URL into one local file, and the small version
// files that every update decision starts from. Zip packages are read with update/zip_archive.h.
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "core/version.h"
#include "update/zip_archive.h"

namespace vrn {

// The built-in address of the download server's folder. The environment variable
// VARNEL_DOWNLOAD_URL replaces it (a mirror, or the loopback server of the tests).
inline constexpr const char* kDefaultDownloadBase = "https://download.varnel.invalid/";
// The base in use, always ending with '/'; every server path is appended to it unchanged.
std::string gf_downloadBase();

// One handle of the platform's HTTP client (libcurl's easy handle; on Windows a WinHTTP session),
// released on every way out. It may serve several transfers one after another.
class DownloadHandle {
public:
    DownloadHandle();
    ~DownloadHandle();
    DownloadHandle(const DownloadHandle&) = delete;
    DownloadHandle& operator=(const DownloadHandle&) = delete;
    bool valid() const { return m_native != nullptr; }
    // The longest one transfer may take, connecting included; zero: only the stall limits apply.
    void setTransferLimit(std::chrono::milliseconds limit) { m_transferLimit = limit; }
    std::chrono::milliseconds transferLimit() const { return m_transferLimit; }
    void* native() const { return m_native; }

private:
    void* m_native;
    std::chrono::milliseconds m_transferLimit{0};
};

// The whole resource at `url` into `target` ("wb" when binary, else "w"). False, and logged, when
// the target cannot be opened, the transfer fails, the server answers with another HTTP status
// than 2xx (an error or a redirection page is not the resource) or the file cannot be completed;
// a target this call created or overwrote is then removed, so no empty or half file stays behind.
// A server that does not connect within 20 s or stops sending for 30 s is given up. Each platform
// has its own implementation (downloads_posix.cpp over libcurl, downloads_win32.cpp over WinHTTP).
bool gf_downloadToFile(DownloadHandle& http, const std::string& url, const std::filesystem::path& target, bool binary);

// The end of a failed download whose target was opened: logs the error and removes the target. False.
bool gf_failedDownload(const std::string& url, const std::filesystem::path& target, const std::string& error);

// The version in the first line of the version file at `url`, fetched through ./version.json;
// 0.0.0 on any failure. Only one version file is read at a time in the process. The whole transfer
// of a version file (a few bytes) is bounded by gf_versionFileTimeLimit().
Version gf_downloadVersionFile(DownloadHandle& http, const std::string& url);

// The longest the transfer of one version file may take, connecting included. The "Check version"
// button waits for these files on the GUI thread.
std::chrono::milliseconds gf_versionFileTimeLimit();
void gf_setVersionFileTimeLimit(std::chrono::milliseconds limit);   // tests shorten it

// While it lives, the version files read on the constructing thread share one deadline: a read
// gets at most the time left, and once the deadline has passed it fails at once like any other
// failed version file (0.0.0). Used where a stalled server must not hold a caller for long.
class VersionFileDeadline {
public:
    explicit VersionFileDeadline(std::chrono::steady_clock::time_point deadline);
    ~VersionFileDeadline();
    VersionFileDeadline(const VersionFileDeadline&) = delete;
    VersionFileDeadline& operator=(const VersionFileDeadline&) = delete;

private:
    std::optional<std::chrono::steady_clock::time_point> m_previous;
};
// The version written at the start of a version file's first line (a.b.c), 0.0.0 when none.
Version gf_versionOfFirstLine(const std::string& text);

// The server's versions: the program ("release/version.json"), a data package ("<name>/version.json":
// "dbase", "aig", "mysimaddon24") and the archive of airport files ("archive/msfs/version.json").
Version gf_fetchProgramVersion();
Version gf_fetchPackageVersion(const std::string& package);
Version gf_fetchArchiveVersion();

// The status-line texts of the updates, shown (and logged when `log` is set) through gf_showStatus
// unless a test replaced the sink; null restores it.
using UpdateStatusSink = void (*)(const std::string& text, bool log);
void gf_setUpdateStatusSink(UpdateStatusSink sink);
void gf_updateStatus(const std::string& text, bool log);

}  // namespace vrn
