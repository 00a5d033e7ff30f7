#pragma once
// The clock of the run thread, the main loop and the exit procedure. It is the steady clock with
// real sleeps; tests put a virtual clock in its place so the 10 ms loop, the waits of the traffic
// start and the exit's pauses run without waiting real seconds. Set before the threads start.
#include <chrono>
#include <functional>

namespace vrn {

using RunTime = std::chrono::steady_clock::time_point;

struct RunClock {
    std::function<RunTime()> now;
    std::function<void(RunTime deadline)> sleepUntil;
};

RunTime gf_runNow();
void gf_runSleepUntil(RunTime deadline);
void gf_runSleepFor(std::chrono::milliseconds duration);   // until now + duration

void gf_setRunClockForTests(RunClock clock);
void gf_resetRunClock();

}  // namespace vrn
