#include "platform/net/sockets.h"


#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/net/sockets_internal.h"

namespace vrn::net {

int gf_lastSocketError() { return gf_wsaCodeOfErrno(errno); }

namespace {

// Repeats a socket call interrupted by a signal; the result, or -1 with the Winsock code in `error`.
template <class Call>
long lf_retryInterrupted(Call call, int& error) {
    for (;;) {
        const auto n = call();
        if (n >= 0) {
            error = 0;
            return static_cast<long>(n);
        }
        if (errno == EINTR) continue;
        error = gf_lastSocketError();
        return -1;
    }
}

}  // namespace

void gf_closeSocket(int fd) {
    if (fd >= 0) ::close(fd);
}

void gf_wakeBlockedCalls(int fd) {
    // On an unconnected UDP socket Linux answers ENOTCONN but still wakes a blocked receiver; a
    // listening socket's accept fails with EINVAL.
    ::shutdown(fd, SHUT_RDWR);
}

void gf_forgetWake(int /*fd*/) {}

int gf_udpSocket(int& error) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    error = fd < 0 ? gf_lastSocketError() : 0;
    return fd;
}

int gf_bindIpv4(int fd, bool loopbackOnly, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = loopbackOnly ? htonl(INADDR_LOOPBACK) : htonl(INADDR_ANY);
    address.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return gf_lastSocketError();
    return 0;
}

std::uint16_t gf_boundPort(int fd) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
}

int gf_setReceiveBuffer(int fd, int bytes) {
    if (bytes > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes);   // capped by the system, never refused
    int granted = 0;
    socklen_t length = sizeof granted;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length) != 0) return 0;
    return granted;
}

const char* gf_receiveBufferLimitSetting() { return "net.core.rmem_max"; }

bool gf_countDrops(int fd) {
    const int one = 1;
    return ::setsockopt(fd, SOL_SOCKET, SO_RXQ_OVFL, &one, sizeof one) == 0;
}

long gf_receiveDatagram(int fd, char* buffer, std::size_t capacity, int& error, std::uint32_t* drops) {
    if (!drops)
        return lf_retryInterrupted([&] { return ::recvfrom(fd, buffer, capacity, MSG_TRUNC, nullptr, nullptr); }, error);
    // The drop count comes with the datagram when the socket counts drops.
    iovec data{buffer, capacity};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(std::uint32_t))];
    msghdr message{};
    message.msg_iov = &data;
    message.msg_iovlen = 1;
    const long n = lf_retryInterrupted(
        [&] {
            message.msg_control = control;
            message.msg_controllen = sizeof control;
            return ::recvmsg(fd, &message, MSG_TRUNC);
        },
        error);
    if (n < 0) return n;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c; c = CMSG_NXTHDR(&message, c))
        if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SO_RXQ_OVFL)
            std::memcpy(drops, CMSG_DATA(c), sizeof *drops);
    return n;
}

bool gf_sendDatagramToLoopback(int fd, std::uint16_t port, std::string_view data) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const ssize_t n = ::sendto(fd, data.data(), data.size(), MSG_NOSIGNAL,
                               reinterpret_cast<const sockaddr*>(&address), sizeof address);
    return n == static_cast<ssize_t>(data.size());
}

int gf_sendAll(int fd, std::string_view data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return gf_lastSocketError();
        }
        sent += static_cast<std::size_t>(n);
    }
    return 0;
}

long gf_receiveSome(int fd, char* buffer, std::size_t capacity, int& error) {
    return lf_retryInterrupted([&] { return ::recv(fd, buffer, capacity, 0); }, error);
}

bool gf_waitReadable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int r = ::poll(&p, 1, timeoutMs);
        if (r < 0 && errno == EINTR) continue;
        return r > 0;
    }
}

void gf_readableNow(const std::vector<int>& fds, std::vector<char>& ready) {
    ready.assign(fds.size(), 0);
    std::vector<pollfd> polled;
    polled.reserve(fds.size());
    for (const int fd : fds) polled.push_back({fd, POLLIN, 0});
    int r = 0;
    do r = ::poll(polled.data(), polled.size(), 0);
    while (r < 0 && errno == EINTR);
    if (r <= 0) return;
    for (std::size_t i = 0; i < fds.size(); ++i) ready[i] = polled[i].revents != 0 ? 1 : 0;
}

ListenResult gf_tcpListen(const std::string& portText, bool loopbackOnly) {
    ListenResult result;
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = loopbackOnly ? AI_NUMERICHOST : AI_PASSIVE;
    addrinfo* info = nullptr;
    const int rc = gf_portTextTooLarge(portText) ? kWsaTypeNotFound : ::getaddrinfo(loopbackOnly ? "127.0.0.1" : nullptr, portText.c_str(), &hints, &info);
    if (rc != 0) {
        result.failedStep = ListenStep::AddressInfo;
        result.error = rc;
        return result;
    }
    auto fail = [&](ListenStep step, int fd) {
        result.failedStep = step;
        result.error = gf_lastSocketError();
        if (fd >= 0) ::close(fd);
        ::freeaddrinfo(info);
        return result;
    };
    const int fd = ::socket(info->ai_family, info->ai_socktype | SOCK_CLOEXEC, info->ai_protocol);
    if (fd < 0) return fail(ListenStep::Socket, -1);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail(ListenStep::Blocking, fd);
    const int one = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0) return fail(ListenStep::ReuseAddress, fd);
    if (::bind(fd, info->ai_addr, info->ai_addrlen) != 0) return fail(ListenStep::Bind, fd);
    ::freeaddrinfo(info);
    info = nullptr;
    if (::listen(fd, SOMAXCONN) != 0) {
        result.failedStep = ListenStep::Listen;
        result.error = gf_lastSocketError();
        ::close(fd);
        return result;
    }
    result.fd = fd;
    return result;
}

int gf_accept(int listenFd, int& error) {
    return static_cast<int>(lf_retryInterrupted([&] { return ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC); }, error));
}

int gf_setNoDelay(int fd) {
    const int one = 1;   // Linux wants an int here; a one-byte option is refused
    return ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0 ? 0 : gf_lastSocketError();
}

int gf_connectLoopback(std::uint16_t port, int& error) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) {
        error = gf_lastSocketError();
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = gf_lastSocketError();
        ::close(fd);
        return -1;
    }
    error = 0;
    return fd;
}

}  // namespace vrn::net
