#include "feed/tcp_server.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <vector>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "core/utilities.h"

namespace vrn {

net::SocketHandle g_tcpListenSocket;
net::SocketHandle g_tcpClientSocket;
std::atomic<bool> g_clientConnected{false};
std::atomic<int> g_handshakeDeadlineMs{3000};

namespace {

using Clock = std::chrono::steady_clock;

// Tests move the server's time by hand: deadlines, fair chances and the serving budget follow it.
std::function<Clock::time_point()> g_serverClock;

Clock::time_point lf_now() { return g_serverClock ? g_serverClock() : Clock::now(); }

// A connection that was sent the greeting and has not yet answered it.
struct Candidate {
    int fd = -1;
    Clock::time_point accepted;
    Clock::time_point deadline;
    std::string pending;   // what it sent so far
};

// The run thread serves the candidates; the exit thread's stop closes them.
std::mutex g_candidateMutex;
std::vector<Candidate> g_candidates;
constexpr auto kFairChance = std::chrono::milliseconds(250);
// Anyone on this computer can connect at any rate: the refusals are logged at a bounded rate.
LogLimiter g_handshakeLog("RealTraffic handshake");

void lf_closeDescriptor(int fd) {
    net::SocketHandle doomed;
    doomed.reset(fd);
}

// Accepts one waiting connection and greets it; false when none waits (or it could not be kept).
bool lf_acceptCandidate(int listenFd, const std::string& greeting) {
    if (!net::gf_waitReadable(listenFd, 0)) return false;
    int error = 0;
    const int fd = net::gf_accept(listenFd, error);
    if (fd < 0) return false;
    if (const int e = net::gf_setNoDelay(fd); e != 0) {
        lf_closeDescriptor(fd);
        const SysErrorException failure(7, vrn::format("{} setsockopt failed with error {}", gf_wallClockHhMmSs(),
                                                       gf_wsaErrorText(e)));
        g_handshakeLog.log(vrn::format("waitForClient interrupted: {}", failure.what()));
        return true;
    }
    if (net::gf_sendAll(fd, greeting) != 0) {
        lf_closeDescriptor(fd);
        return true;
    }
    const Clock::time_point now = lf_now();
    g_candidates.push_back({fd, now, now + std::chrono::milliseconds(g_handshakeDeadlineMs.load()), {}});
    return true;
}

// With every place taken and more connections waiting, the oldest candidate that has had a fair
// chance to answer (RealTraffic answers at once) makes room; false when none has had it yet.
bool lf_makeRoom() {
    const Clock::time_point fairChance = lf_now() - kFairChance;
    const auto oldest = std::min_element(g_candidates.begin(), g_candidates.end(),
                                         [](const Candidate& a, const Candidate& b) { return a.accepted < b.accepted; });
    if (oldest == g_candidates.end() || oldest->accepted > fairChance) return false;
    lf_closeDescriptor(oldest->fd);
    g_handshakeLog.log(vrn::format("RealTraffic handshake failed, connection dropped: no answer within {} ms",
                                   std::chrono::duration_cast<std::chrono::milliseconds>(kFairChance).count()));
    g_candidates.erase(oldest);
    return true;
}

// Reads what the candidate sent (it is readable: one receive). Empty while it may still answer; "ok"
// with its line in `line`, or why it failed.
std::string lf_readAnswer(Candidate& c, std::string& line) {
    std::array<char, 4096> buffer{};
    int error = 0;
    const long n = net::gf_receiveSome(c.fd, buffer.data(), buffer.size(), error);
    if (n == 0) return "connection closed before an answer";
    if (n < 0) return vrn::format("receive: {}", gf_wsaErrorText(error));
    c.pending.append(buffer.data(), static_cast<std::size_t>(n));
    const std::size_t end = c.pending.find('\n');
    if (end == std::string::npos) {
        if (c.pending.size() > kAnswerLineLimit) return vrn::format("answer longer than {} bytes", kAnswerLineLimit);
        return {};
    }
    line.assign(c.pending, 0, end);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > kAnswerLineLimit) return vrn::format("answer longer than {} bytes", kAnswerLineLimit);
    // Like every text from outside, the answer ends at a zero byte.
    if (const std::size_t zero = line.find('\0'); zero != std::string::npos) line.resize(zero);
    return "ok";
}

// Reads what every candidate sent: the first whose answer the judge accepts is taken out of the
// candidates and returned (its answer in `answer`), -1 when none; the ones that closed, answered
// badly or missed their deadline are closed and forgotten. One look tells which have sent anything.
int lf_readCandidates(const AnswerJudge& judge, std::string& answer) {
    if (g_candidates.empty()) return -1;
    const Clock::time_point now = lf_now();
    std::vector<int> fds;
    std::vector<char> ready;
    fds.reserve(g_candidates.size());
    for (const Candidate& c : g_candidates) fds.push_back(c.fd);
    net::gf_readableNow(fds, ready);
    int winner = -1;
    std::vector<Candidate> waiting;
    for (std::size_t i = 0; i < g_candidates.size(); ++i) {
        Candidate& c = g_candidates[i];
        if (winner >= 0) {
            waiting.push_back(std::move(c));
            continue;
        }
        std::string line;
        std::string why = ready[i] ? lf_readAnswer(c, line) : std::string();
        if (why == "ok") {
            why = judge(line);
            if (why.empty()) {
                winner = c.fd;
                answer = line;
                continue;
            }
        } else if (why.empty() && now >= c.deadline) {
            why = vrn::format("no answer within {} ms", g_handshakeDeadlineMs.load());
        }
        if (why.empty()) {
            waiting.push_back(std::move(c));
            continue;
        }
        lf_closeDescriptor(c.fd);
        g_handshakeLog.log(vrn::format("RealTraffic handshake failed, connection dropped: {}", why));
    }
    g_candidates = std::move(waiting);
    return winner;
}

void lf_takeClient(int fd) {
    g_tcpClientSocket.reset(fd);
    g_clientConnected = true;
}

}  // namespace

void gf_startServer(const std::string& portText) {
    g_tcpListenSocket.close();
    const net::ListenResult r = net::gf_tcpListen(portText, true);
    const std::string text = r.failedStep == net::ListenStep::AddressInfo ? std::string() : gf_wsaErrorText(r.error);
    switch (r.failedStep) {
        case net::ListenStep::None:
            g_tcpListenSocket.reset(r.fd);
            return;
        case net::ListenStep::AddressInfo:
            throw SysErrorException(1, vrn::format("getaddrinfo failed with error {}", r.error));
        case net::ListenStep::Socket:
            throw SysErrorException(2, "socket failed with error " + text);
        case net::ListenStep::Blocking:
            throw SysErrorException(3, "ioctlsocket failed with error " + text);
        case net::ListenStep::ReuseAddress:
            throw SysErrorException(4, "setsockopt(SO_REUSEADDR) failed");
        case net::ListenStep::Bind:
            throw SysErrorException(5, "Bind failed at port " + portText + " with error " + text);
        case net::ListenStep::Listen:
            throw SysErrorException(6, "listen failed with error " + text);
    }
}

std::uint16_t gf_serverPort() { return net::gf_boundPort(g_tcpListenSocket.peek()); }

bool gf_serverListening() { return g_tcpListenSocket.isOpen(); }

bool gf_serveNewClients(const std::string& greeting, const AnswerJudge& judge, std::string& answer) {
    if (g_clientConnected.load()) return false;
    std::lock_guard lock(g_candidateMutex);
    // Reading the answers before taking more connections drops the ones that closed at once, so a
    // client that connects and closes in a loop cannot fill the places (or the listen backlog)
    // faster than they are freed. Bounded by time as well as by count: this runs inside the
    // traffic pass, and what is left waits for the next pass.
    const Clock::time_point budgetEnd = lf_now() + kServeBudget;
    int winner = -1;
    std::size_t accepted = 0;
    for (;;) {
        winner = lf_readCandidates(judge, answer);
        if (winner >= 0 || accepted >= kAcceptsPerServe) break;
        const std::size_t before = accepted;
        net::SocketUse use(g_tcpListenSocket);
        if (!use) break;
        while (accepted < kAcceptsPerServe && lf_now() < budgetEnd && net::gf_waitReadable(use.fd(), 0)) {
            if (g_candidates.size() >= kCandidateLimit && !lf_makeRoom()) break;
            if (!lf_acceptCandidate(use.fd(), greeting)) break;
            ++accepted;
        }
        if (accepted == before || lf_now() >= budgetEnd) break;
    }
    if (winner < 0) return false;
    for (const Candidate& c : g_candidates) lf_closeDescriptor(c.fd);
    g_candidates.clear();
    lf_takeClient(winner);
    return true;
}

std::size_t gf_drainWaitingConnections() {
    if (!g_clientConnected.load()) return 0;
    std::lock_guard lock(g_candidateMutex);
    net::SocketUse use(g_tcpListenSocket);
    if (!use) return 0;
    // There is one client: whatever connects meanwhile is closed at once, so that nothing fills the
    // system's queue while RealTraffic is linked, and a RealTraffic coming back is greeted at once.
    const Clock::time_point budgetEnd = lf_now() + kServeBudget;
    std::size_t closed = 0;
    while (closed < kAcceptsPerServe && lf_now() < budgetEnd && net::gf_waitReadable(use.fd(), 0)) {
        int error = 0;
        const int fd = net::gf_accept(use.fd(), error);
        if (fd < 0) break;
        lf_closeDescriptor(fd);
        ++closed;
    }
    if (closed > 0)
        g_handshakeLog.log(vrn::format("{} connection{} closed at once: RealTraffic is connected", closed,
                                       closed == 1 ? "" : "s"));
    return closed;
}

void gf_setServerClockForTests(std::function<std::chrono::steady_clock::time_point()> clock) {
    std::lock_guard lock(g_candidateMutex);
    g_serverClock = std::move(clock);
}

bool waitForClient(const std::string& greeting, const AnswerJudge& judge, std::string& answer,
                   const std::function<bool()>& keepWaiting) {
    while (keepWaiting() && !g_clientConnected.load()) {
        if (gf_serveNewClients(greeting, judge, answer)) return true;
        net::SocketUse use(g_tcpListenSocket);
        if (!use) return false;
        // Short, so that a candidate's answer is read soon after it arrives.
        net::gf_waitReadable(use.fd(), 20);
    }
    return false;
}

bool gf_clientClosed() {
    long n = 1;
    int error = 0;
    {
        net::SocketUse use(g_tcpClientSocket);
        if (!use) return false;
        if (!net::gf_waitReadable(use.fd(), 0)) return false;
        std::array<char, 4096> buffer{};
        n = net::gf_receiveSome(use.fd(), buffer.data(), buffer.size(), error);
    }
    if (n > 0) return false;
    gf_logLine(n == 0 ? std::string("RealTraffic closed the link")
                      : vrn::format("RealTraffic link failed: {}", gf_wsaErrorText(error)));
    g_clientConnected = false;
    g_tcpClientSocket.shutdownAndClose();
    return true;
}

bool sendDataPacket(const std::string& text) {
    int error = 10038;   // not a socket: no client
    {
        // The exit procedure's "exit" must not interleave with a line of the run thread.
        static std::mutex sendMutex;
        std::lock_guard lock(sendMutex);
        net::SocketUse use(g_tcpClientSocket);
        if (use) error = net::gf_sendAll(use.fd(), text);
    }
    if (error == 0) return true;
    gf_logLine(vrn::format("sendDataPacket to RealTraffic failed: {}", gf_wsaErrorText(error)));
    g_clientConnected = false;
    g_tcpClientSocket.shutdownAndClose();
    gf_logLine("RealTraffic client socket closed");
    return false;
}

void gf_stopServer() {
    if (g_clientConnected.load()) sendDataPacket("exit\r\n");
    g_clientConnected = false;
    g_tcpListenSocket.shutdownAndClose();
    g_tcpClientSocket.shutdownAndClose();
    std::lock_guard lock(g_candidateMutex);
    for (const Candidate& c : g_candidates) lf_closeDescriptor(c.fd);
    g_candidates.clear();
    g_handshakeLog.restart();
}

}  // namespace vrn
