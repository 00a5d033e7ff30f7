#include "feed/tcp_server.h"

#include <array>
#include <cstring>
#include <mutex>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "core/utilities.h"

namespace vrn {

net::SocketHandle g_tcpListenSocket;
net::SocketHandle g_tcpClientSocket;
std::atomic<bool> g_clientConnected{false};

namespace {

constexpr std::size_t kReceiveBufferSize = 8192;

bool lf_takeClient(int fd) {
    const int error = net::gf_setNoDelay(fd);
    if (error != 0) {
        // The accepted socket is not kept: close it rather than leak it.
        net::SocketHandle doomed;
        doomed.reset(fd);
        const SysErrorException e(7, vrn::format("{} setsockopt failed with error {}", gf_wallClockHhMmSs(),
                                                 gf_wsaErrorText(error)));
        gf_logLineOfString(vrn::format("waitForClient interrupted: {}", e.what()));
        return false;
    }
    g_tcpClientSocket.reset(fd);
    g_clientConnected = true;
    return true;
}

}  // namespace

void gf_startServer(const std::string& portText) {
    g_tcpListenSocket.close();
    const net::ListenResult r = net::gf_tcpListen(portText);
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

bool waitForClient() {
    if (g_clientConnected.load()) return false;
    int fd = -1;
    {
        net::SocketUse use(g_tcpListenSocket);
        if (!use) return false;
        int error = 0;
        fd = net::gf_accept(use.fd(), error);
    }
    if (fd < 0) return false;
    return lf_takeClient(fd);
}

bool gf_acceptWaitingClient() {
    if (g_clientConnected.load()) return false;
    int fd = -1;
    {
        net::SocketUse use(g_tcpListenSocket);
        if (!use || !net::gf_waitReadable(use.fd(), 0)) return false;
        int error = 0;
        fd = net::gf_accept(use.fd(), error);
    }
    if (fd < 0) return false;
    return lf_takeClient(fd);
}

std::string gf_receiveFromClient() {
    std::array<char, kReceiveBufferSize + 1> buffer{};
    net::SocketUse use(g_tcpClientSocket);
    if (!use) return {};
    int error = 0;
    const long n = net::gf_receiveSome(use.fd(), buffer.data(), kReceiveBufferSize, error);
    if (n < 0) {
        gf_logLine(vrn::format("receive: {}", gf_wsaErrorText(error)));
        return {};
    }
    buffer[static_cast<std::size_t>(n)] = '\0';
    return std::string(buffer.data(), std::strlen(buffer.data()));
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
}

}  // namespace vrn
