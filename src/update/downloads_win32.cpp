// Downloads over WinHTTP (the Windows build), with the contract of the libcurl version: HTTP and
// HTTPS, no redirections followed, only a 2xx answer is the resource, a body shorter than its
// announced length fails, bounded waits (20 s to connect, 30 s without data, the handle's limit for
// the whole transfer).
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>

#include "core/format.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "core/utf8_paths.h"
#include "core/version.h"
#include "update/downloads.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

constexpr long long kConnectMs = 20000, kStallMs = 30000;
// WSAETIMEDOUT: Wine reports an expired receive with the socket's own code.
constexpr DWORD kSocketTimedOut = 10060;

class InternetHandle {
public:
    explicit InternetHandle(HINTERNET handle) : m_handle(handle) {}
    ~InternetHandle() {
        if (m_handle != nullptr) WinHttpCloseHandle(m_handle);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return m_handle; }

private:
    HINTERNET m_handle;
};

std::string lf_errorText(DWORD code) {
    const char* text = "transfer failed";
    switch (code) {
    case ERROR_WINHTTP_TIMEOUT:
    case kSocketTimedOut: text = "Timeout was reached"; break;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: text = "Couldn't resolve host name"; break;
    case ERROR_WINHTTP_CANNOT_CONNECT: text = "Couldn't connect to server"; break;
    case ERROR_WINHTTP_CONNECTION_ERROR: text = "Connection broken off"; break;
    case ERROR_WINHTTP_INVALID_URL:
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME: text = "URL using bad/illegal format or unsupported protocol"; break;
    case ERROR_WINHTTP_SECURE_FAILURE: text = "SSL connect error"; break;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE: text = "Weird server reply"; break;
    default: break;
    }
    return format("{} (WinHTTP error {})", text, code);
}

// One GET of `url` into `file`; false with `error` set when it is not the whole resource.
class Transfer {
public:
    Transfer(HINTERNET session, std::chrono::milliseconds limit) : m_session(session) {
        if (limit.count() > 0) m_deadline = Clock::now() + limit;
    }

    bool run(const std::string& url, FILE* file, std::string& error) {
        std::u16string url16;
        try {
            url16 = gf_utf8ToUtf16(url);
        } catch (const std::exception&) {
            return fail(error, "URL is no UTF-8 text");
        }
        const std::wstring wideUrl(url16.begin(), url16.end());
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwSchemeLength = parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(wideUrl.c_str(), 0, 0, &parts)) return failLast(error);
        if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)
            return fail(error, lf_errorText(ERROR_WINHTTP_UNRECOGNIZED_SCHEME));
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        // The path and the query follow one another in the URL.
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength + parts.dwExtraInfoLength);
        if (path.empty()) path = L"/";

        InternetHandle connection(WinHttpConnect(m_session, host.c_str(), parts.nPort, 0));
        if (connection.get() == nullptr) return failLast(error);
        InternetHandle request(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                                  WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                  parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0));
        if (request.get() == nullptr) return failLast(error);
        // A redirection's page is not the resource.
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
        if (expired()) return fail(error, lf_errorText(ERROR_WINHTTP_TIMEOUT));
        // The wait for the answer's headers has an option of its own.
        DWORD headerTimeout = timeLeftMs(kStallMs);
        if (!WinHttpSetTimeouts(request.get(), timeLeftMs(kConnectMs), timeLeftMs(kConnectMs), timeLeftMs(kStallMs),
                                timeLeftMs(kStallMs)) ||
            !WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerTimeout, sizeof headerTimeout) ||
            !WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !WinHttpReceiveResponse(request.get(), nullptr))
            return failLast(error);

        DWORD status = 0, size = sizeof status;
        WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
        if (status < 200 || status > 299) return fail(error, format("HTTP status {}", status));
        std::optional<unsigned long long> announced;
        wchar_t length[32] = {};
        size = sizeof length;
        if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_CONTENT_LENGTH, WINHTTP_HEADER_NAME_BY_INDEX, length, &size,
                                WINHTTP_NO_HEADER_INDEX))
            announced = std::wcstoull(length, nullptr, 10);

        unsigned long long received = 0;
        for (char buffer[0x10000];;) {
            if (expired()) return fail(error, lf_errorText(ERROR_WINHTTP_TIMEOUT));
            DWORD timeout = timeLeftMs(kStallMs);
            WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
            DWORD got = 0;
            if (!WinHttpReadData(request.get(), buffer, sizeof buffer, &got)) return failLast(error);
            if (got == 0) break;
            if (std::fwrite(buffer, 1, got, file) != got) return fail(error, "Failed writing received data to disk");
            received += got;
        }
        if (announced && received != *announced)
            return fail(error, format("Transferred a partial file ({} of {} bytes)", received, *announced));
        return true;
    }

private:
    bool expired() const { return m_deadline && Clock::now() >= *m_deadline; }
    // The wait allowed for the next step: its own bound, or less when the transfer's deadline is
    // nearer; never 0, which WinHTTP reads as no limit.
    DWORD timeLeftMs(long long stepMs) const {
        if (!m_deadline) return static_cast<DWORD>(stepMs);
        const long long left = std::chrono::duration_cast<std::chrono::milliseconds>(*m_deadline - Clock::now()).count();
        return static_cast<DWORD>(std::max(1LL, std::min(stepMs, left)));
    }
    static bool fail(std::string& error, std::string text) {
        error = std::move(text);
        return false;
    }
    static bool failLast(std::string& error) { return fail(error, lf_errorText(GetLastError())); }

    HINTERNET m_session;
    std::optional<Clock::time_point> m_deadline;
};

// The program's name, which WinHTTP sends as the user agent.
std::wstring lf_userAgent() {
    const std::u16string name = gf_utf8ToUtf16(g_programName);
    return {name.begin(), name.end()};
}

}  // namespace

DownloadHandle::DownloadHandle()
    : m_native(WinHttpOpen(lf_userAgent().c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)) {}

DownloadHandle::~DownloadHandle() {
    if (m_native != nullptr) WinHttpCloseHandle(m_native);
}

bool gf_downloadToFile(DownloadHandle& http, const std::string& url, const fs::path& target, bool binary) {
    if (!http.valid()) return false;
    FILE* file = _wfopen(target.c_str(), binary ? L"wb" : L"w");
    if (file == nullptr) {
        gf_logLine(format("could not open file: {}", gf_utf8Of(target)));
        return false;
    }
    std::string error;
    const bool transferred = Transfer(http.native(), http.transferLimit()).run(url, file, error);
    // A failed close means the last buffered bytes never reached the disk.
    const bool closed = std::fclose(file) == 0;
    if (!transferred || !closed) return gf_failedDownload(url, target, transferred ? "file could not be completed" : error);
    return true;
}

}  // namespace vrn
