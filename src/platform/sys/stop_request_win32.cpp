#include "platform/sys/stop_request.h"

#include <windows.h>

#include <atomic>

namespace vrn::platform::sys {

namespace {

std::atomic<void (*)()> g_onStop{nullptr};

// How long a closing console, logoff or shutdown waits for the program's own exit: the system ends
// the process when this handler returns (and at the latest after about five seconds).
constexpr DWORD kCloseGraceMs = 4500;

BOOL WINAPI lf_onConsoleEvent(DWORD event) {
    auto onStop = g_onStop.load();
    if (onStop == nullptr) return FALSE;
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        onStop();
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        onStop();
        ::Sleep(kCloseGraceMs);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

void gf_onStopRequest(void (*onStop)()) {
    const bool first = g_onStop.exchange(onStop) == nullptr;
    if (first) ::SetConsoleCtrlHandler(lf_onConsoleEvent, TRUE);
}

}  // namespace vrn::platform::sys
