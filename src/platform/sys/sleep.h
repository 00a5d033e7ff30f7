#pragma once
// Waits that really wait, for every loop of the program (the 10 ms pass clock, the SimConnect thread's
// 1 ms dispatch wait, the scan workers' slot wait, the simulated simulator's frames).
// std::this_thread::sleep_until does not do this with the MinGW runtime: it hands the time left to
// nanosleep, which drops what is below a whole millisecond, so "now + 1 ms" becomes Sleep(0) and the
// loop spins on one core.
#include <chrono>

namespace vrn::platform::sys {

using SleepClock = std::chrono::steady_clock;

// Returns when at least `duration` has passed; nothing for zero or less. Windows waits in whole
// milliseconds of the system timer (set to 1 ms steps for the process on first use): a request below
// one millisecond waits one millisecond, never nothing.
void gf_sleepFor(SleepClock::duration duration);

// Returns once the steady clock has reached `deadline`; at once when it has already.
void gf_sleepUntil(SleepClock::time_point deadline);

}  // namespace vrn::platform::sys
