#pragma once
// Between the shared socket code and the platform backends.
#include <string>

namespace vrn::net {

inline constexpr int kWsaTypeNotFound = 10109;

// A decimal port beyond 65535, which getaddrinfo must refuse as Winsock does.
bool gf_portTextTooLarge(const std::string& portText);
// Wakes every call blocked on fd; the descriptor stays open (the handle closes it after the last use).
void gf_wakeBlockedCalls(int fd);
// Drops what gf_wakeBlockedCalls recorded for fd, just before fd is closed.
void gf_forgetWake(int fd);

}  // namespace vrn::net
