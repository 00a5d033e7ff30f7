// The program's waits: each lasts at least what it asks, and a loop of them turns at most once per
// wait. A wait that returns at once (as std::this_thread::sleep_until did with the MinGW runtime)
// shows as tens of thousands of turns a second and one busy core.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "platform/sys/sleep.h"

#ifdef _WIN32
#include <cstring>

#include "platform/sys/timer_win32.h"
#endif

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

#ifdef _WIN32
// What the process tells the system so that a covered or minimised window keeps its 1 ms timer:
// the timer policy named in the control mask with its state bit clear. The state bit set instead
// would ask for the very throttling it is meant to stop.
struct SetInformationCall {
    int calls = 0;
    HANDLE process = nullptr;
    int informationClass = -1;
    DWORD size = 0;
    PowerThrottlingState state{};
    BOOL answer = TRUE;
};
SetInformationCall g_setInformationCall;

BOOL WINAPI lf_fakeSetProcessInformation(HANDLE process, int informationClass, LPVOID information, DWORD size) {
    SetInformationCall& c = g_setInformationCall;
    ++c.calls;
    c.process = process;
    c.informationClass = informationClass;
    c.size = size;
    if (size == sizeof(c.state)) std::memcpy(&c.state, information, size);
    return c.answer;
}

TEST(Sleep, TheProcessAsksNeverToHaveItsTimerResolutionIgnored) {
    for (const BOOL answer : {TRUE, FALSE}) {
        g_setInformationCall = {};
        g_setInformationCall.answer = answer;
        EXPECT_EQ(gf_honourTimerResolution(lf_fakeSetProcessInformation), answer == TRUE);
        const SetInformationCall& c = g_setInformationCall;
        ASSERT_EQ(c.calls, 1);
        EXPECT_EQ(c.process, ::GetCurrentProcess());
        EXPECT_EQ(c.informationClass, 4);   // ProcessPowerThrottling
        ASSERT_EQ(c.size, 12u);
        EXPECT_EQ(c.state.version, 1u);
        EXPECT_EQ(c.state.controlMask, 0x4u);   // the timer-resolution policy, and no other
        EXPECT_EQ(c.state.stateMask, 0u);
    }
    // A system without the call: nothing is asked, and the sleeps work all the same.
    EXPECT_FALSE(gf_honourTimerResolution(nullptr));
    EXPECT_NE(gf_setProcessInformationOfSystem(), nullptr) << "every Windows from 8 on has it";
}
#endif

}  // namespace
}  // namespace vrn::platform::sys
