#include "platform/sys/thread_name.h"

#include <pthread.h>

namespace vrn::platform::sys {

bool gf_setThreadName(std::string_view name) {
    return ::pthread_setname_np(::pthread_self(), gf_cutThreadName(name).c_str()) == 0;
}

std::string gf_threadName() {
    char buffer[kMaxThreadNameBytes + 1] = {};
    if (::pthread_getname_np(::pthread_self(), buffer, sizeof buffer) != 0) return {};
    return buffer;
}

}  // namespace vrn::platform::sys
