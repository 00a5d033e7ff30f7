#pragma once
// Sockets behind the few operations the feed uses (UDP readers, the TCP server and its client):
// sockets_posix.cpp on Linux, sockets_win32.cpp (Winsock) on Windows.
//
// Stopping: a thread blocked in accept/recvfrom/recv is woken by another thread through the handle
// (shutdown() on Linux; on Windows, where only closesocket would wake it, the blocked call waits in
// short select() rounds and ends when its descriptor is being stopped). The descriptor is closed only
// when no call is using it any more, so a descriptor number is never closed under a blocked call nor
// reused behind its back. Sends loop until every byte is sent (MSG_NOSIGNAL on Linux). Errors are
// reported with the Winsock codes (10048 address in use, 10061 refused, ...) that gf_wsaErrorText
// turns into text.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vrn::net {

// Winsock codes of the errno values the feed can meet.
int gf_wsaCodeOfErrno(int err);
// The Winsock code of the calling thread's last socket error (errno).
int gf_lastSocketError();

// A socket descriptor shared between the thread that uses it and a thread that may stop it.
class SocketHandle {
public:
    SocketHandle() = default;
    ~SocketHandle();
    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;

    // Takes ownership of fd (closing any previous one).
    void reset(int fd);
    bool isOpen() const;
    // Marks the start of a call on the descriptor; -1 when it is closed or being stopped.
    int acquire();
    // Ends a call; closes the descriptor when a stop came meanwhile.
    void release();
    // Wakes calls blocked on the descriptor (shutdown) and closes it as soon as none uses it.
    void shutdownAndClose();
    // Closes now (no call may be in progress: the owner's own close).
    void close();
    // The descriptor for calls that cannot block (setsockopt, getsockname); -1 when closed.
    int peek() const;

private:
    mutable std::mutex m_mutex;
    int m_fd = -1;
    int m_users = 0;
    bool m_stopping = false;
};

// Keeps a descriptor acquired for the length of one call.
class SocketUse {
public:
    explicit SocketUse(SocketHandle& handle) : m_handle(handle), m_fd(handle.acquire()) {}
    ~SocketUse() {
        if (m_fd >= 0) m_handle.release();
    }
    SocketUse(const SocketUse&) = delete;
    SocketUse& operator=(const SocketUse&) = delete;
    int fd() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    SocketHandle& m_handle;
    int m_fd;
};

// Closes a descriptor no handle owns (a test's or a tool's own socket).
void gf_closeSocket(int fd);

// Creates an IPv4 UDP socket; -1 and the Winsock code in `error` on failure.
int gf_udpSocket(int& error);
// Binds to 127.0.0.1 (loopbackOnly) or any address at `port` (0: a free port); 0 or the Winsock code.
int gf_bindIpv4(int fd, bool loopbackOnly, std::uint16_t port);
// The port a socket is bound to (0 when unknown).
std::uint16_t gf_boundPort(int fd);
// Asks for a receive buffer of `bytes` (a burst of datagrams waits there while the reader is busy);
// the system grants what it allows (Linux up to its limit, net.core.rmem_max). Returns the size
// granted as the system reports it, 0 when unknown. `bytes` 0 asks for nothing (the size in force).
int gf_setReceiveBuffer(int fd, int bytes);
// The system setting that raises the largest receive buffer granted ("net.core.rmem_max" on Linux);
// empty where there is none to name.
const char* gf_receiveBufferLimitSetting();
// Asks the system to count the datagrams it drops on this socket for want of room; false where the
// platform keeps no such count (Windows).
bool gf_countDrops(int fd);
// One datagram; returns the byte count, 0 after a shutdown, -1 on an error (code in `error`).
// A datagram longer than `capacity` is reported with its full length (MSG_TRUNC). With `drops` given
// and drops counted (gf_countDrops), it is set to the socket's drops so far as the system counts them
// (a count that wraps at 2^32).
long gf_receiveDatagram(int fd, char* buffer, std::size_t capacity, int& error, std::uint32_t* drops = nullptr);
// Sends one datagram to 127.0.0.1:port; false on failure.
bool gf_sendDatagramToLoopback(int fd, std::uint16_t port, std::string_view data);

// Sends every byte (MSG_NOSIGNAL, repeated on partial writes and EINTR); 0 or the Winsock code.
int gf_sendAll(int fd, std::string_view data);
// One recv; byte count, 0 when the peer closed, -1 on error (code in `error`).
long gf_receiveSome(int fd, char* buffer, std::size_t capacity, int& error);
// Waits up to timeoutMs (0: just looks, -1: for ever) until fd is readable; true when it is.
bool gf_waitReadable(int fd, int timeoutMs);
// Without waiting: which of the descriptors are readable (or have an error or end to report), in
// one system call (a few on Windows) for all of them; `ready[i]` answers for fds[i].
void gf_readableNow(const std::vector<int>& fds, std::vector<char>& ready);
// The steps of opening a listening TCP socket, in order; a failure names its step.
enum class ListenStep { None, AddressInfo, Socket, Blocking, ReuseAddress, Bind, Listen };
struct ListenResult {
    int fd = -1;
    ListenStep failedStep = ListenStep::None;
    int error = 0;   // getaddrinfo's result for AddressInfo, else the Winsock code
};
// An IPv4 TCP socket on the port text, blocking, listening: on 127.0.0.1 only (loopbackOnly: no other
// computer can connect) or on every address. SO_REUSEADDR on Linux; on Windows, where that option
// would let a second program take a port in use, the port is claimed with SO_EXCLUSIVEADDRUSE instead
// (the same step).
ListenResult gf_tcpListen(const std::string& portText, bool loopbackOnly = false);
// accept; blocks unless the socket has a pending connection. -1 with the Winsock code on failure.
int gf_accept(int listenFd, int& error);
// TCP_NODELAY on; 0 or the Winsock code.
int gf_setNoDelay(int fd);

// Connects a TCP client to 127.0.0.1:port; the descriptor, or -1 with the Winsock code in `error`.
int gf_connectLoopback(std::uint16_t port, int& error);

}  // namespace vrn::net
