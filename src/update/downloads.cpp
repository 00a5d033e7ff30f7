#include "update/downloads.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <list>
#include <optional>
#include <mutex>
#include <regex>

#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "display/window_state.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

const fs::path g_versionFile{"version.json"};

// ./version.json is one fixed name shared by the run thread's checks and the "Check version" button.
std::timed_mutex g_versionFileMutex;

// A version file is a few bytes: a server that has not sent it in this time is not going to.
std::atomic<long long> g_versionFileLimitMs{8000};

// The deadline of a VersionFileDeadline alive on this thread.
thread_local std::optional<std::chrono::steady_clock::time_point> t_versionDeadline;

std::atomic<UpdateStatusSink> g_statusSink{nullptr};

}  // namespace

void gf_setUpdateStatusSink(UpdateStatusSink sink) { g_statusSink.store(sink); }

void gf_updateStatus(const std::string& text, bool log) {
    if (UpdateStatusSink sink = g_statusSink.load(); sink != nullptr) {
        sink(text, log);
        return;
    }
    gf_showStatus(text, log);
}

std::string gf_downloadBase() {
    std::string base = kDefaultDownloadBase;
    if (const char* env = std::getenv("VARNEL_DOWNLOAD_URL"); env != nullptr && env[0] != '\0') base = env;
    if (base.back() != '/') base += '/';
    return base;
}

bool gf_failedDownload(const std::string& url, const fs::path& target, const std::string& error) {
    gf_logLine(format("\"{}\" => \"{}\" download error: {}", url, gf_utf8Of(target), error));
    std::error_code ec;
    fs::remove(target, ec);
    if (ec) gf_logLine(format("could not remove {}: {}", gf_utf8Of(target), ec.message()));
    return false;
}

Version gf_versionOfFirstLine(const std::string& text) {
    const std::string firstLine = text.substr(0, text.find('\n'));
    static const std::regex numbers(R"((\d+)\.(\d+)\.(\d+))");
    std::smatch match;
    if (std::regex_search(firstLine, match, numbers)) return Version(match.str());
    // No a.b.c in the line: the text constructor still reads a one-line JSON version object.
    return Version(firstLine);
}

std::chrono::milliseconds gf_versionFileTimeLimit() { return std::chrono::milliseconds(g_versionFileLimitMs.load()); }

void gf_setVersionFileTimeLimit(std::chrono::milliseconds limit) { g_versionFileLimitMs.store(limit.count()); }

VersionFileDeadline::VersionFileDeadline(std::chrono::steady_clock::time_point deadline)
    : m_previous(t_versionDeadline) {
    if (!t_versionDeadline || deadline < *t_versionDeadline) t_versionDeadline = deadline;
}

VersionFileDeadline::~VersionFileDeadline() { t_versionDeadline = m_previous; }

Version gf_downloadVersionFile(DownloadHandle& http, const std::string& url) {
    using Clock = std::chrono::steady_clock;
    auto failed = [&url](const char* reason) {
        if (reason != nullptr)
            gf_logLine(format("\"{}\" => \"{}\" download error: {}", url, gf_utf8Of(g_versionFile), reason));
        gf_logArrowLine(format("downloading \"{}\" failed", url));
        return Version{};
    };
    // Under a deadline even the wait for another thread's version file counts; otherwise that wait
    // is bounded by the other thread's own time limit.
    std::unique_lock lock(g_versionFileMutex, std::defer_lock);
    if (t_versionDeadline) {
        if (!lock.try_lock_until(*t_versionDeadline)) return failed("no time left for version files");
    } else {
        lock.lock();
    }
    Clock::time_point end = Clock::now() + gf_versionFileTimeLimit();
    if (t_versionDeadline && *t_versionDeadline < end) end = *t_versionDeadline;
    // 0 would mean no limit at all.
    const long long timeLeftMs = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
    if (timeLeftMs < 1) return failed("no time left for version files");
    http.setTransferLimit(std::chrono::milliseconds(timeLeftMs));
    const bool downloaded = gf_downloadToFile(http, url, g_versionFile, false);
    // The caller may use the handle for a package next, which may take as long as it needs.
    http.setTransferLimit(std::chrono::milliseconds(0));
    if (!downloaded) return failed(nullptr);
    std::list<std::string> lines;
    {
        std::ifstream in(g_versionFile);
        if (!in) return {};
        gf_readLines(in, lines);
    }
    if (fs::exists(g_versionFile)) fs::remove(g_versionFile);
    if (lines.empty()) return {};
    return gf_versionOfFirstLine(lines.front());
}

Version gf_fetchProgramVersion() {
    DownloadHandle http;
    return gf_downloadVersionFile(http, gf_downloadBase() + "release/version.json");
}

Version gf_fetchPackageVersion(const std::string& package) {
    DownloadHandle http;
    return gf_downloadVersionFile(http, gf_downloadBase() + package + "/version.json");
}

Version gf_fetchArchiveVersion() {
    DownloadHandle http;
    return gf_downloadVersionFile(http, gf_downloadBase() + "archive/msfs/version.json");
}

}  // namespace vrn
