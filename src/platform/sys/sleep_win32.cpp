#include "platform/sys/sleep.h"

#include <windows.h>

#include <algorithm>

#include "platform/sys/timer_win32.h"

namespace vrn::platform::sys {

namespace {

// Whole milliseconds, rounded up: Sleep(0) only gives up the rest of the time slice.
DWORD lf_wholeMilliseconds(SleepClock::duration left) {
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<DWORD>(std::clamp<long long>(ms, 1, INFINITE - 1));
}

}  // namespace

void gf_sleepUntil(SleepClock::time_point deadline) {
    // Without it Sleep(1) lasts a whole tick of the default timer (15.6 ms).
    gf_keepFineTimer();
    // Sleep may end a little before the time asked; the loop then waits another millisecond.
    for (auto now = SleepClock::now(); now < deadline; now = SleepClock::now()) ::Sleep(lf_wholeMilliseconds(deadline - now));
}

void gf_sleepFor(SleepClock::duration duration) {
    if (duration <= SleepClock::duration::zero()) return;
    const auto start = SleepClock::now();
    const auto step = std::chrono::duration_cast<SleepClock::duration>(std::chrono::ceil<std::chrono::milliseconds>(duration));
    gf_sleepUntil(start > SleepClock::time_point::max() - step ? SleepClock::time_point::max() : start + step);
}

}  // namespace vrn::platform::sys
