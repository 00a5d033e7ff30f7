#include "platform/sys/sleep.h"

#include <thread>

namespace vrn::platform::sys {

// Linux sleeps are as fine as asked (nanosleep on the monotonic clock), also below a millisecond.
void gf_sleepFor(SleepClock::duration duration) {
    if (duration > SleepClock::duration::zero()) std::this_thread::sleep_for(duration);
}

void gf_sleepUntil(SleepClock::time_point deadline) { std::this_thread::sleep_until(deadline); }

}  // namespace vrn::platform::sys
