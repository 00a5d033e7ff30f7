// What both socket backends share: the Winsock codes of errno values and the descriptor handle that
// lets one thread stop another's blocked call.
#include "platform/net/sockets.h"

#include <cerrno>

#include "platform/net/sockets_internal.h"

namespace vrn::net {

int gf_wsaCodeOfErrno(int err) {
    switch (err) {
        case 0: return 0;
        case EINTR: return 10004;          // WSAEINTR
        case EBADF: return 10009;          // WSAEBADF
        case EACCES: return 10013;         // WSAEACCES
        case EFAULT: return 10014;         // WSAEFAULT
        case EINVAL: return 10022;         // WSAEINVAL
        case EMFILE:
        case ENFILE: return 10024;         // WSAEMFILE
        case EAGAIN: return 10035;         // WSAEWOULDBLOCK (EWOULDBLOCK is the same value)
        case EINPROGRESS: return 10036;    // WSAEINPROGRESS
        case EALREADY: return 10037;       // WSAEALREADY
        case ENOTSOCK: return 10038;       // WSAENOTSOCK
        case EDESTADDRREQ: return 10039;   // WSAEDESTADDRREQ
        case EMSGSIZE: return 10040;       // WSAEMSGSIZE
        case EPROTOTYPE: return 10041;     // WSAEPROTOTYPE
        case ENOPROTOOPT: return 10042;    // WSAENOPROTOOPT
        case EPROTONOSUPPORT: return 10043;
        case EOPNOTSUPP: return 10045;     // WSAEOPNOTSUPP
        case EAFNOSUPPORT: return 10047;   // WSAEAFNOSUPPORT
        case EADDRINUSE: return 10048;     // WSAEADDRINUSE
        case EADDRNOTAVAIL: return 10049;  // WSAEADDRNOTAVAIL
        case ENETDOWN: return 10050;
        case ENETUNREACH: return 10051;
        case ENETRESET: return 10052;
        case ECONNABORTED: return 10053;   // WSAECONNABORTED
        case ECONNRESET:
        case EPIPE: return 10054;          // WSAECONNRESET
        case ENOBUFS: return 10055;
        case EISCONN: return 10056;
        case ENOTCONN: return 10057;       // WSAENOTCONN
#ifdef ESHUTDOWN
        case ESHUTDOWN: return 10058;      // WSAESHUTDOWN (not an errno of the Windows CRT)
#endif
        case ETIMEDOUT: return 10060;      // WSAETIMEDOUT
        case ECONNREFUSED: return 10061;   // WSAECONNREFUSED
        case EHOSTUNREACH: return 10065;
        default: return err;
    }
}

bool gf_portTextTooLarge(const std::string& portText) {
    // Winsock refuses a port number beyond 16 bits; glibc would take it modulo 65536 (99999 as 34463).
    if (portText.empty() || portText.find_first_not_of("0123456789") != std::string::npos) return false;
    unsigned long value = 0;
    for (const char c : portText) {
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535) return true;
    }
    return false;
}

namespace {

void lf_closeNow(int fd) {
    gf_forgetWake(fd);
    gf_closeSocket(fd);
}

}  // namespace

SocketHandle::~SocketHandle() { close(); }

void SocketHandle::reset(int fd) {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) lf_closeNow(m_fd);
    m_fd = fd;
    m_users = 0;
    m_stopping = false;
}

bool SocketHandle::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_fd >= 0 && !m_stopping;
}

int SocketHandle::acquire() {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0 || m_stopping) return -1;
    ++m_users;
    return m_fd;
}

void SocketHandle::release() {
    std::lock_guard lock(m_mutex);
    if (m_users > 0) --m_users;
    if (m_stopping && m_users == 0 && m_fd >= 0) {
        lf_closeNow(m_fd);
        m_fd = -1;
    }
}

void SocketHandle::shutdownAndClose() {
    std::lock_guard lock(m_mutex);
    if (m_fd < 0) return;
    m_stopping = true;
    gf_wakeBlockedCalls(m_fd);
    if (m_users == 0) {
        lf_closeNow(m_fd);
        m_fd = -1;
    }
}

void SocketHandle::close() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) lf_closeNow(m_fd);
    m_fd = -1;
    m_users = 0;
    m_stopping = false;
}

int SocketHandle::peek() const {
    std::lock_guard lock(m_mutex);
    return m_stopping ? -1 : m_fd;
}

}  // namespace vrn::net
