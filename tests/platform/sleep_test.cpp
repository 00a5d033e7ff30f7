// The program's waits: each lasts at least what it asks, and a loop of them turns at most once per
// wait. A wait that returns at once (as std::this_thread::sleep_until did with the MinGW runtime)
// shows as tens of thousands of turns a second and one busy core.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/sys/sleep.h"

namespace vrn::platform::sys {
namespace {

using namespace std::chrono_literals;
using Clock = SleepClock;

// Turns of `wait` in one second. A bound is the most the waits allow, never the least, so a busy
// machine (fewer turns) cannot fail it.
long lf_turnsInOneSecond(const std::function<void()>& wait) {
    const auto end = Clock::now() + 1s;
    long turns = 0;
    while (Clock::now() < end) {
        wait();
        ++turns;
    }
    return turns;
}

TEST(Sleep, LoopsOfWaitsTurnAtMostOncePerWait) {
    auto passDeadline = Clock::now();
    struct Case {
        const char* loop;
        std::function<void()> wait;
        long maxTurns;
    };
    const Case cases[] = {
        {"SimConnect dispatch: 1 ms after each dispatch", [] { gf_sleepFor(1ms); }, 1100},
        {"until now + 1 ms", [] { gf_sleepUntil(Clock::now() + 1ms); }, 1100},
        {"pass clock: on to the next 10 ms", [&] { gf_sleepUntil(passDeadline += 10ms); }, 110},
#ifdef _WIN32
        // Windows waits whole milliseconds: the worker-slot wait becomes one.
        {"worker slot: 10 us", [] { gf_sleepFor(10us); }, 1100},
        {"worker slot: 1 ns", [] { gf_sleepFor(1ns); }, 1100},
#else
        {"worker slot: 10 us", [] { gf_sleepFor(10us); }, 110'000},
#endif
    };
    for (const Case& c : cases) {
        passDeadline = Clock::now();
        const long turns = lf_turnsInOneSecond(c.wait);
        EXPECT_GE(turns, 1) << c.loop;
        EXPECT_LE(turns, c.maxTurns) << c.loop;
    }
}

TEST(Sleep, EveryWaitLastsAtLeastWhatItAsks) {
    struct Case {
        Clock::duration asked;
        Clock::duration atLeast;
    };
    const Case cases[] = {
#ifdef _WIN32
        {1ns, 1ms},
        {10us, 1ms},
        {1500us, 2ms},
#else
        {10us, 10us},
        {1500us, 1500us},
#endif
        {1ms, 1ms},
        {15ms, 15ms},
    };
    for (const Case& c : cases) {
        const auto start = Clock::now();
        gf_sleepFor(c.asked);
        EXPECT_GE(Clock::now() - start, c.atLeast) << std::chrono::nanoseconds(c.asked).count() << " ns";
    }
    for (const Clock::duration ahead : {Clock::duration(1us), Clock::duration(1ms), Clock::duration(12ms)}) {
        const auto deadline = Clock::now() + ahead;
        gf_sleepUntil(deadline);
        EXPECT_GE(Clock::now(), deadline) << std::chrono::nanoseconds(ahead).count() << " ns";
    }
}

}  // namespace
}  // namespace vrn::platform::sys
