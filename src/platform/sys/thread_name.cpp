#include "platform/sys/thread_name.h"

#include <pthread.h>

namespace vrn::platform::sys {

namespace {

constexpr std::size_t kMaxNameBytes = 15;

}  // namespace

bool gf_setThreadName(std::string_view name) {
    std::size_t length = name.size() < kMaxNameBytes ? name.size() : kMaxNameBytes;
    // Do not leave half of a UTF-8 sequence at the end.
    if (length < name.size()) {
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0u) == 0x80u) --length;
    }
    const std::string cut(name.substr(0, length));
    return ::pthread_setname_np(::pthread_self(), cut.c_str()) == 0;
}

std::string gf_threadName() {
    char buffer[kMaxNameBytes + 1] = {};
    if (::pthread_getname_np(::pthread_self(), buffer, sizeof buffer) != 0) return {};
    return buffer;
}

}  // namespace vrn::platform::sys
