#include "app/run_clock.h"

#include <memory>
#include <mutex>

#include "platform/sys/sleep.h"

namespace vrn {
namespace {

std::mutex g_clockMutex;
std::shared_ptr<const RunClock> g_clock;   // null: the steady clock

std::shared_ptr<const RunClock> lf_clock() {
    std::lock_guard lock(g_clockMutex);
    return g_clock;
}

}  // namespace

RunTime gf_runNow() {
    const auto clock = lf_clock();
    return clock && clock->now ? clock->now() : std::chrono::steady_clock::now();
}

void gf_runSleepUntil(RunTime deadline) {
    const auto clock = lf_clock();
    if (clock && clock->sleepUntil) {
        clock->sleepUntil(deadline);
        return;
    }
    platform::sys::gf_sleepUntil(deadline);
}

void gf_runSleepFor(std::chrono::milliseconds duration) { gf_runSleepUntil(gf_runNow() + duration); }

void gf_setRunClockForTests(RunClock clock) {
    std::lock_guard lock(g_clockMutex);
    g_clock = std::make_shared<const RunClock>(std::move(clock));
}

void gf_resetRunClock() {
    std::lock_guard lock(g_clockMutex);
    g_clock.reset();
}

}  // namespace vrn
