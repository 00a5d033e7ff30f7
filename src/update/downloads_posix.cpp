// Downloads over libcurl's easy interface (Linux and the other POSIX builds).
#include <curl/curl.h>

#include <cstdio>
#include <mutex>

#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "update/downloads.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

std::once_flag g_curlInitOnce;

size_t lf_writeToFile(char* data, size_t size, size_t count, void* file) {
    return std::fwrite(data, size, count, static_cast<FILE*>(file));
}

}  // namespace

DownloadHandle::DownloadHandle() {
    // Global set-up once, before the first handle, as libcurl asks for threaded programs.
    std::call_once(g_curlInitOnce, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    m_native = curl_easy_init();
}

DownloadHandle::~DownloadHandle() {
    if (m_native != nullptr) curl_easy_cleanup(m_native);
}

bool gf_downloadToFile(DownloadHandle& http, const std::string& url, const fs::path& target, bool binary) {
    CURL* handle = http.native();
    if (handle == nullptr) return false;
    FILE* file = std::fopen(target.c_str(), binary ? "wb" : "w");
    if (file == nullptr) {
        gf_logLine(format("could not open file: {}", gf_utf8Of(target)));
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
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(http.transferLimit().count()));
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);   // several threads download
    const CURLcode code = curl_easy_perform(handle);
    // A failed close means the last buffered bytes never reached the disk.
    const bool closed = std::fclose(file) == 0;
    if (code != CURLE_OK) return gf_failedDownload(url, target, curl_easy_strerror(code));
    // Redirections are not followed, so a 3xx answer's body is not the resource either (file://
    // transfers have no status: 0).
    long status = 0;
    curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
    if (status != 0 && (status < 200 || status > 299)) return gf_failedDownload(url, target, format("HTTP status {}", status));
    if (!closed) return gf_failedDownload(url, target, "file could not be completed");
    return true;
}

}  // namespace vrn
