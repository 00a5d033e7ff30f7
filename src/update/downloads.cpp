#include "update/downloads.h"

#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <list>
#include <optional>
#include <mutex>
#include <regex>

#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
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

std::once_flag g_curlInitOnce;

std::atomic<UpdateStatusSink> g_statusSink{nullptr};

size_t lf_writeToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file));
}

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

CurlHandle::CurlHandle() {
    // Global set-up once, before the first handle, as libcurl asks for threaded programs.
    std::call_once(g_curlInitOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_curl = curl_easy_init();
}

CurlHandle::~CurlHandle() {
    if (m_curl != nullptr) curl_easy_cleanup(m_curl);
}

bool gf_downloadToFile(CurlHandle& curl, const std::string& url, const fs::path& target, bool binary) {
    CURL* handle = curl.get();
    if (handle == nullptr) return false;
    FILE* file = std::fopen(target.c_str(), binary ? "wb" : "w");
    if (file == nullptr) {
        gf_logLine(format("could not open file: {}", target.string()));
        return false;
    }
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, lf_writeToFile);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, file);
    // An error page is no package: HTTP status 400 and above fail the transfer.
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    // Bounded waits, so an unresponsive server cannot hold the start-up or the GUI thread forever.
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT, 20L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, 30L);
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);   // several threads download
    const CURLcode code = curl_easy_perform(handle);
    // A failed close means the last buffered bytes never reached the disk.
    const bool closed = std::fclose(file) == 0;
    if (code != CURLE_OK) {
        gf_logLine(format("\"{}\" => \"{}\" download error: {}", url, target.string(), curl_easy_strerror(code)));
        return false;
    }
    // Redirections are not followed, so a 3xx answer's body is not the resource either (file://
    // transfers have no status: 0).
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 0 && (status < 200 || status > 299)) {
        gf_logLine(format("\"{}\" => \"{}\" download error: HTTP status {}", url, target.string(), status));
        return false;
    }
    if (!closed) {
        gf_logLine(format("\"{}\" => \"{}\" download error: {}", url, target.string(), "file could not be completed"));
        return false;
    }
    return true;
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

Version gf_downloadVersionFile(CurlHandle& curl, const std::string& url) {
    using Clock = std::chrono::steady_clock;
    auto failed = [&url](const char* reason) {
        if (reason != nullptr)
            gf_logLine(format("\"{}\" => \"{}\" download error: {}", url, g_versionFile.string(), reason));
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
    if (curl.get() != nullptr) curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, static_cast<long>(timeLeftMs));
    const bool downloaded = gf_downloadToFile(curl, url, g_versionFile, false);
    // The caller may use the handle for a package next, which may take as long as it needs.
    if (curl.get() != nullptr) curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, 0L);
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
    CurlHandle curl;
    return gf_downloadVersionFile(curl, gf_downloadBase() + "release/version.json");
}

Version gf_fetchPackageVersion(const std::string& package) {
    CurlHandle curl;
    return gf_downloadVersionFile(curl, gf_downloadBase() + package + "/version.json");
}

Version gf_fetchArchiveVersion() {
    CurlHandle curl;
    return gf_downloadVersionFile(curl, gf_downloadBase() + "archive/msfs/version.json");
}

}  // namespace vrn
