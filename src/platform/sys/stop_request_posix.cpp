#include "platform/sys/stop_request.h"

#include <atomic>
#include <csignal>

namespace vrn::platform::sys {

namespace {

std::atomic<void (*)()> g_onStop{nullptr};

extern "C" void lf_onSignal(int) {
    if (auto onStop = g_onStop.load()) onStop();
}

}  // namespace

void gf_onStopRequest(void (*onStop)()) {
    g_onStop.store(onStop);
    std::signal(SIGINT, lf_onSignal);
    std::signal(SIGTERM, lf_onSignal);
}

}  // namespace vrn::platform::sys
