#pragma once
// The TCP server that RealTraffic connects to when it runs on this computer: one client at a time,
// short text lines. It listens on the loopback address only. A connection becomes the client only
// after it has answered the greeting line with a line the caller accepts, within a deadline; until
// then it is a candidate, and several candidates are served side by side, so connections that
// never answer cannot keep RealTraffic out. The run thread starts, serves, receives and sends; the
// exit procedure stops it from its own thread.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/net/sockets.h"

namespace vrn {

extern net::SocketHandle g_tcpListenSocket;
extern net::SocketHandle g_tcpClientSocket;
extern std::atomic<bool> g_clientConnected;

// The longest answer line taken (bytes, without its line end).
inline constexpr std::size_t kAnswerLineLimit = 8192;
// At most this many connections wait for their answer at a time; more stay in the listen backlog
// until one of them has had a fair chance to answer. (Well below the 1024 descriptors a Linux
// process may have by default.)
inline constexpr std::size_t kCandidateLimit = 256;
// One serving call takes at most this many connections and this long (it runs inside the 10 ms
// traffic pass), whatever rate a local client connects at; the rest waits for the next call.
inline constexpr std::size_t kAcceptsPerServe = 256;
inline constexpr std::chrono::microseconds kServeBudget{1000};
// Milliseconds a connection has to answer the greeting (tests shorten it).
extern std::atomic<int> g_handshakeDeadlineMs;

// Listens on 127.0.0.1 at the port text (PORT_NUMBER; "0" takes a free port). SysErrorException 1-6
// on failure, with everything opened so far closed again.
void gf_startServer(const std::string& portText);
// The port the server listens on (0 when stopped).
std::uint16_t gf_serverPort();
bool gf_serverListening();

// Judges a candidate's answer line: empty when it is good, else why not (for the log).
using AnswerJudge = std::function<std::string(const std::string& line)>;
// Without waiting: takes new connections as candidates (each is sent the greeting), reads what the
// candidates sent, and makes the first whose answer line the judge accepts the client (its answer in
// `answer`); the others are closed. Candidates that closed, sent a bad or too long line or missed the
// deadline are closed and logged. True when a client was taken now; false at once while one is connected.
bool gf_serveNewClients(const std::string& greeting, const AnswerJudge& judge, std::string& answer);
// While a client is connected: closes at once, without a greeting, the connections that wait (within
// the same bounds); returns how many.
std::size_t gf_drainWaitingConnections();
// The same, waiting until a client is taken (true) or the server is stopped or `keepWaiting` says no.
bool waitForClient(const std::string& greeting, const AnswerJudge& judge, std::string& answer,
                   const std::function<bool()>& keepWaiting);
// Without waiting: whether the client has closed its end of the link (or the link failed); the
// client is then closed here. What it sent meanwhile is read and dropped (it says nothing after its
// answer).
bool gf_clientClosed();
// Sends the whole text; on failure the client is closed and false returned.
bool sendDataPacket(const std::string& text);
// Tests: the server's clock (deadlines, fair chances, the serving budget); empty: the steady clock.
void gf_setServerClockForTests(std::function<std::chrono::steady_clock::time_point()> clock);
// Says "exit" to a connected client and closes everything (candidates too).
void gf_stopServer();

}  // namespace vrn
