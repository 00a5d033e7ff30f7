#include "platform/sys/timer_win32.h"

#include <timeapi.h>

namespace vrn::platform::sys {

bool gf_honourTimerResolution(SetProcessInformationFunction setInformation) {
    if (!setInformation) return false;
    // The timer policy in the control mask with its state bit clear: never ignore the request.
    PowerThrottlingState state{kPowerThrottlingVersion, kThrottlingIgnoreTimerResolution, 0};
    return setInformation(::GetCurrentProcess(), kProcessPowerThrottling, &state, sizeof(state)) != FALSE;
}

SetProcessInformationFunction gf_setProcessInformationOfSystem() {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    if (!kernel) return nullptr;
    return reinterpret_cast<SetProcessInformationFunction>(
        reinterpret_cast<void*>(::GetProcAddress(kernel, "SetProcessInformation")));
}

void gf_keepFineTimer() {
    // Kept for the life of the process: a request that ended with each loop would leave the other
    // loops (SimConnect's dispatch, the scan workers) on the coarse tick in between.
    static const bool kept = [] {
        gf_honourTimerResolution(gf_setProcessInformationOfSystem());
        return ::timeBeginPeriod(1) == TIMERR_NOERROR;
    }();
    (void)kept;
}

}  // namespace vrn::platform::sys
