// Winsock. A SOCKET is kept in the same int as a Linux descriptor: socket handles are kernel handles,
// whose values fit in 32 bits, and INVALID_SOCKET becomes -1.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <mutex>
#include <set>

#include "platform/net/sockets.h"
#include "platform/net/sockets_internal.h"

namespace vrn::net {

namespace {

// How long a blocked call sleeps in select() before it looks whether its descriptor is being stopped.
constexpr long kStopCheckMicroseconds = 50'000;

SOCKET lf_socket(int fd) { return fd < 0 ? INVALID_SOCKET : static_cast<SOCKET>(static_cast<unsigned>(fd)); }

int lf_fd(SOCKET s) { return s == INVALID_SOCKET ? -1 : static_cast<int>(s); }

// Winsock is started once for the process, before the first socket, and stays up until it ends.
void lf_startWinsock() {
    static const bool started = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    (void)started;
}

// Descriptors whose handle is being stopped: their blocked calls end at the next look.
std::mutex g_stoppingMutex;
std::set<int> g_stopping;

bool lf_isStopping(int fd) {
    std::lock_guard lock(g_stoppingMutex);
    return g_stopping.count(fd) != 0;
}

// Waits until fd is readable (or has an error to report); false when its handle is being stopped.
bool lf_awaitReadable(int fd) {
    for (;;) {
        if (lf_isStopping(fd)) return false;
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(lf_socket(fd), &readable);
        timeval wait{0, kStopCheckMicroseconds};
        const int r = ::select(0, &readable, nullptr, nullptr, &wait);
        if (r != 0) return !lf_isStopping(fd);   // ready, or an error the call itself reports
    }
}

sockaddr_in lf_loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Not inherited by programs started from here (the installer), as SOCK_CLOEXEC on Linux.
SOCKET lf_newSocket(int family, int type, int protocol) {
    lf_startWinsock();
    return ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

}  // namespace

int gf_lastSocketError() { return ::WSAGetLastError(); }

void gf_closeSocket(int fd) {
    if (fd >= 0) ::closesocket(lf_socket(fd));
}

void gf_wakeBlockedCalls(int fd) {
    {
        std::lock_guard lock(g_stoppingMutex);
        g_stopping.insert(fd);
    }
    // Still tells a connected peer that nothing more comes, as on Linux; it wakes no blocked call here.
    ::shutdown(lf_socket(fd), SD_BOTH);
}

void gf_forgetWake(int fd) {
    std::lock_guard lock(g_stoppingMutex);
    g_stopping.erase(fd);
}

int gf_udpSocket(int& error) {
    const SOCKET s = lf_newSocket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    error = s == INVALID_SOCKET ? gf_lastSocketError() : 0;
    return lf_fd(s);
}

int gf_bindIpv4(int fd, bool loopbackOnly, std::uint16_t port) {
    sockaddr_in address = lf_loopback(port);
    if (!loopbackOnly) address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (::bind(lf_socket(fd), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return gf_lastSocketError();
    return 0;
}

std::uint16_t gf_boundPort(int fd) {
    sockaddr_in address{};
    int length = sizeof address;
    if (fd < 0 || ::getsockname(lf_socket(fd), reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

int gf_setReceiveBuffer(int fd, int bytes) {
    if (bytes > 0)
        ::setsockopt(lf_socket(fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&bytes), sizeof bytes);
    int granted = 0;
    int length = sizeof granted;
    if (::getsockopt(lf_socket(fd), SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted), &length) != 0) return 0;
    return granted;
}

// Winsock grants what is asked: it has no limit of its own to name.
const char* gf_receiveBufferLimitSetting() { return ""; }

// Winsock keeps no count of the datagrams a socket dropped.
bool gf_countDrops(int /*fd*/) { return false; }

long gf_receiveDatagram(int fd, char* buffer, std::size_t capacity, int& error, std::uint32_t* /*drops*/) {
    error = 0;
    // The size of the next datagram, so that one longer than the buffer is reported at its full
    // length, as MSG_TRUNC does on Linux. While a burst waits it is read at once: the wait for the
    // socket to become readable (a select) is made only when nothing is there.
    u_long next = 0;
    if (::ioctlsocket(lf_socket(fd), FIONREAD, &next) != 0 || next == 0) {
        if (!lf_awaitReadable(fd)) return 0;
        ::ioctlsocket(lf_socket(fd), FIONREAD, &next);
    }
    const int n = ::recvfrom(lf_socket(fd), buffer, static_cast<int>(capacity), 0, nullptr, nullptr);
    if (n >= 0) return n;
    error = gf_lastSocketError();
    if (error == WSAEMSGSIZE) {
        error = 0;
        return next > capacity ? static_cast<long>(next) : static_cast<long>(capacity);
    }
    // An ICMP "port unreachable" for an earlier send is not this socket's failure.
    if (error == WSAECONNRESET) return 0;
    return -1;
}

bool gf_sendDatagramToLoopback(int fd, std::uint16_t port, std::string_view data) {
    const sockaddr_in address = lf_loopback(port);
    const int n = ::sendto(lf_socket(fd), data.data(), static_cast<int>(data.size()), 0,
                           reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return n == static_cast<int>(data.size());
}

int gf_sendAll(int fd, std::string_view data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const int n = ::send(lf_socket(fd), data.data() + sent, static_cast<int>(data.size() - sent), 0);
        if (n < 0) return gf_lastSocketError();
        sent += static_cast<std::size_t>(n);
    }
    return 0;
}

long gf_receiveSome(int fd, char* buffer, std::size_t capacity, int& error) {
    error = 0;
    if (!lf_awaitReadable(fd)) return 0;   // as recv after shutdown: nothing more comes
    const int n = ::recv(lf_socket(fd), buffer, static_cast<int>(capacity), 0);
    if (n >= 0) return n;
    error = gf_lastSocketError();
    return -1;
}

bool gf_waitReadable(int fd, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(lf_socket(fd), &readable);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    return ::select(0, &readable, nullptr, nullptr, timeoutMs < 0 ? nullptr : &wait) > 0;
}

void gf_readableNow(const std::vector<int>& fds, std::vector<char>& ready) {
    ready.assign(fds.size(), 0);
    // An fd_set holds FD_SETSIZE sockets: one select per that many.
    for (std::size_t from = 0; from < fds.size(); from += FD_SETSIZE) {
        const std::size_t to = std::min<std::size_t>(fds.size(), from + FD_SETSIZE);
        fd_set readable;
        FD_ZERO(&readable);
        for (std::size_t i = from; i < to; ++i) FD_SET(lf_socket(fds[i]), &readable);
        timeval none{0, 0};
        if (::select(0, &readable, nullptr, nullptr, &none) <= 0) continue;
        for (std::size_t i = from; i < to; ++i) ready[i] = FD_ISSET(lf_socket(fds[i]), &readable) ? 1 : 0;
    }
}

ListenResult gf_tcpListen(const std::string& portText, bool loopbackOnly) {
    lf_startWinsock();
    ListenResult result;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = loopbackOnly ? AI_NUMERICHOST : AI_PASSIVE;
    addrinfo* info = nullptr;
    const int rc =
        gf_portTextTooLarge(portText)
            ? kWsaTypeNotFound
            : ::getaddrinfo(loopbackOnly ? "127.0.0.1" : nullptr, portText.c_str(), &hints, &info);
    if (rc != 0) {
        result.failedStep = ListenStep::AddressInfo;
        result.error = rc;
        return result;
    }
    SOCKET s = INVALID_SOCKET;
    auto fail = [&](ListenStep step) {
        result.failedStep = step;
        result.error = gf_lastSocketError();
        if (s != INVALID_SOCKET) ::closesocket(s);
        if (info) ::freeaddrinfo(info);
        return result;
    };
    s = lf_newSocket(info->ai_family, info->ai_socktype, info->ai_protocol);
    if (s == INVALID_SOCKET) return fail(ListenStep::Socket);
    u_long nonBlocking = 0;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return fail(ListenStep::Blocking);
    const BOOL one = TRUE;
    if (::setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&one), sizeof one) != 0)
        return fail(ListenStep::ReuseAddress);
    if (::bind(s, info->ai_addr, static_cast<int>(info->ai_addrlen)) != 0) return fail(ListenStep::Bind);
    ::freeaddrinfo(info);
    info = nullptr;
    if (::listen(s, SOMAXCONN) != 0) return fail(ListenStep::Listen);
    result.fd = lf_fd(s);
    return result;
}

int gf_accept(int listenFd, int& error) {
    if (!lf_awaitReadable(listenFd)) {
        error = WSAEINVAL;   // what accept answers on Linux once the listening socket is shut down
        return -1;
    }
    const SOCKET s = ::accept(lf_socket(listenFd), nullptr, nullptr);
    error = s == INVALID_SOCKET ? gf_lastSocketError() : 0;
    if (s != INVALID_SOCKET) ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return lf_fd(s);
}

int gf_setNoDelay(int fd) {
    const BOOL one = TRUE;
    return ::setsockopt(lf_socket(fd), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one) == 0
               ? 0
               : gf_lastSocketError();
}

int gf_connectLoopback(std::uint16_t port, int& error) {
    const SOCKET s = lf_newSocket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        error = gf_lastSocketError();
        return -1;
    }
    const sockaddr_in address = lf_loopback(port);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = gf_lastSocketError();
        ::closesocket(s);
        return -1;
    }
    error = 0;
    return lf_fd(s);
}

}  // namespace vrn::net
