#pragma once
// The update tests' loopback download server, zip files, and a scratch program folder with its own log.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/log.h"
#include "core/utf8_paths.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"
#include "support/zip_writer.h"
#include "update/downloads.h"

namespace vrn::test {

#ifdef _WIN32
using SocketFd = SOCKET;
inline const SocketFd kNoSocket = INVALID_SOCKET;
inline void closeSocket(SocketFd s) { ::closesocket(s); }
inline int pollSocket(pollfd* p, int ms) { return ::WSAPoll(p, 1, ms); }
constexpr int kSendFlags = 0;
#else
using SocketFd = int;
inline const SocketFd kNoSocket = -1;
inline void closeSocket(SocketFd s) { ::close(s); }
inline int pollSocket(pollfd* p, int ms) { return ::poll(p, 1, ms); }
constexpr int kSendFlags = MSG_NOSIGNAL;
#endif

// 127.0.0.1 on a free port; one GET per connection, answered from a table of paths (404 otherwise).
class LoopbackHttpServer {
public:
    struct Route {
        std::string body;
        bool truncate = false, stall = false;   // truncate: full length announced, half sent; stall: nothing sent
        std::string status = "200 OK";
        int pieces = 1, pauseMs = 0;   // a slow transfer that keeps going
    };
    LoopbackHttpServer() {
#ifdef _WIN32
        WSADATA wsa;
        ::WSAStartup(MAKEWORD(2, 2), &wsa);
#endif
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        std::tie(addr.sin_family, addr.sin_addr.s_addr) = std::tuple(AF_INET, htonl(INADDR_LOOPBACK));
        socklen_t len = sizeof addr;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&addr), len) != 0 || ::listen(m_listen, 16) != 0)
            throw std::runtime_error("test server cannot listen");
        ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] {
            for (SocketFd client; (client = ::accept(m_listen, nullptr, nullptr)) != kNoSocket || !m_stop;)
                if (client != kNoSocket) answer(client), closeSocket(client);
        });
    }
    ~LoopbackHttpServer() {
        m_stop = true;
#ifdef _WIN32
        closeSocket(m_listen), m_thread.join();   // only closing wakes a blocked accept on Windows
#else
        ::shutdown(m_listen, SHUT_RDWR), m_thread.join(), closeSocket(m_listen);
#endif
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(m_port) + "/"; }
    void route(const std::string& path, Route r) { std::lock_guard lock(m_mutex); m_routes[path] = std::move(r); }
    void set(const std::string& path, std::string body, bool truncate = false) { route(path, {std::move(body), truncate}); }
    void set(std::initializer_list<std::pair<std::string, std::string>> files) { for (const auto& [p, b] : files) set(p, b); }
    static Route notFound() { return {"<html>404 Not Found</html>", false, false, "404 Not Found"}; }
    void remove(const std::string& path) { route(path, notFound()); }
    std::vector<std::string> requests() const { std::lock_guard lock(m_mutex); return m_requests; }
    long requestCount(const std::string& path) const { return std::ranges::count(requests(), path); }
    // Ends every stalled request at once, without an answer.
    void releaseStalls() { m_releaseStalls = true; }
    void clearRequests() { std::lock_guard lock(m_mutex); m_requests.clear(); }

private:
    bool sendAll(SocketFd client, const std::string& out) {
        for (std::size_t sent = 0; sent < out.size();) {
            const auto n = ::send(client, out.data() + sent, static_cast<int>(out.size() - sent), kSendFlags);
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }
    void answer(SocketFd client) {
        std::string request;
        char buffer[4096];
        for (long n; request.find("\r\n\r\n") == std::string::npos;) {
            if ((n = ::recv(client, buffer, sizeof buffer, 0)) <= 0) return;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        const auto start = request.find(" /") + 2;
        const std::string path = request.substr(start, request.find(' ', start) - start);
        Route route = notFound();
        {
            std::lock_guard lock(m_mutex);
            m_requests.push_back(path);
            if (auto it = m_routes.find(path); it != m_routes.end()) route = it->second;
        }
        for (pollfd p{client, POLLIN, 0}; route.stall && !m_stop && !m_releaseStalls;)   // until the client closes its end
            if (pollSocket(&p, 20) > 0 && ::recv(client, buffer, 1, 0) <= 0) return;
        const std::size_t length = route.body.size();
        if (route.truncate) route.body.resize(length / 2);
        if (route.stall || !sendAll(client, "HTTP/1.1 " + route.status + "\r\nContent-Length: " +
                                                std::to_string(length) + "\r\nConnection: close\r\n\r\n"))
            return;
        const std::size_t piece = route.body.size() / static_cast<std::size_t>(route.pieces) + 1;
        for (std::size_t at = 0; at < route.body.size(); at += piece) {
            if (at > 0) std::this_thread::sleep_for(std::chrono::milliseconds(route.pauseMs));
            if (!sendAll(client, route.body.substr(at, piece))) return;
        }
    }

    SocketFd m_listen = kNoSocket;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_releaseStalls{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::map<std::string, Route> m_routes;
    std::vector<std::string> m_requests;
};

inline std::vector<std::pair<std::string, bool>> g_statusTexts;   // the updates' status texts, "also logged"
inline std::mutex g_statusTextsMutex;

class UpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_versionFileLimit = gf_versionFileTimeLimit();   // tests may shorten it
        for (const char* f : {"program/docs", "program/input", "program/airports", "appdata"}) std::filesystem::create_directories(root() / f);
        m_cwd = std::make_unique<ScopedCurrentDir>(program());
        gf_setDataFolderForTests(root() / "appdata");
        gf_startLog(root() / "Log.txt");
        m_env = std::make_unique<ScopedEnv>("VARNEL_DOWNLOAD_URL", m_server.base());
        gf_setUpdateStatusSink([](const std::string& text, bool log) { std::lock_guard lock(g_statusTextsMutex); g_statusTexts.emplace_back(text, log); });
        g_statusTexts.clear();
        for (StringParameter* p : std::initializer_list<StringParameter*>{&DBASE_VERSION, &AIG_VERSION, &ARCHIVE_VERSION,
                 &MYSIMADDON24_VERSION, &PROGRAM_INSTALL_PATH, &MSFS_INSTALL_PATH, &MSFS_2024_INSTALL_PATH})
            p->set("");
        MSFS_2020.set(true);
    }
    void TearDown() override {
        gf_setVersionFileTimeLimit(m_versionFileLimit), gf_setUpdateStatusSink(nullptr), gf_closeLog();
        m_env.reset();
        gf_setDataFolderForTests({});
        m_cwd.reset();
    }
    std::filesystem::path program() const { return root() / "program"; }
    // A user folder with a blank and a letter outside ASCII, as on many Windows machines.
    std::filesystem::path root() const { return m_dir.path() / gf_pathFromUtf8("Jürgen Müller"); }
    int logged(const std::string& part) {   // how often the log holds part
        gf_flushLog();
        const std::string text = readFile(root() / "Log.txt");
        int n = 0;
        for (auto pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1)) ++n;
        return n;
    }
    std::vector<std::string> statusTexts() {   // the texts shown since the last call
        std::lock_guard lock(g_statusTextsMutex);
        std::vector<std::string> texts;
        for (auto& shown : g_statusTexts) texts.push_back(shown.first);
        return g_statusTexts.clear(), texts;
    }

    LoopbackHttpServer m_server;

private:
    TempDir m_dir;
    std::unique_ptr<ScopedCurrentDir> m_cwd;
    std::unique_ptr<ScopedEnv> m_env;
    std::chrono::milliseconds m_versionFileLimit{};
};

}  // namespace vrn::test
