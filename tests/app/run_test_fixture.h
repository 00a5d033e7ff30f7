#pragma once
// The run control on a virtual clock (sleeps return at once and move it on), every flag at its start.
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include "app/exit_procedure.h"
#include "app/main_loop.h"
#include "app/run_clock.h"
#include "controls_test_fixture.h"
#include "feed/udp_readers.h"
#include "simlink/sim_client.h"
#include "simlink/user_aircraft.h"

namespace vrn::test {

class RunTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        resetFlags();
        AUTO_RANGE.set(false);
        gf_setRunClockForTests({[this] { return RunTime(std::chrono::nanoseconds(m_now.load())); },
                                [this](RunTime deadline) {
                                    const auto ns = deadline.time_since_epoch().count();
                                    std::int64_t now = m_now.load();
                                    while (ns > now && !m_now.compare_exchange_weak(now, ns)) {
                                    }
                                    ++sleeps;
                                    if (onSleep) onSleep();
                                }});
    }
    void TearDown() override {
        EXPECT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
        onSleep = nullptr;
        gf_resetRunClock();
        resetFlags();
        WindowTest::TearDown();
    }
    static void resetFlags() {
        gf_resetExitForTests();
        for (auto* flag : {&g_exitRequested, &g_userStopped, &g_readerError, &g_mainLoopActive, &g_runThreadActive,
                           &g_flightRunning, &g_simTick})
            *flag = false;
        g_runningThreads = 0;
        g_userOnGround = true;
        gf_resetMainLoopState();
    }
    // The next private message (0x8001 or 0x8002).
    std::optional<std::uint32_t> awaitPrivate(int timeoutMs = 20000) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < until)
            if (const auto m = window.waitGet(100); m && m->kind == ui::MessageKind::Private) return m->code;
        return std::nullopt;
    }
    void awaitExit(std::uint32_t posted) {
        ASSERT_EQ(awaitPrivate(), posted);
        ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    }
    std::vector<std::uint32_t> remainingPrivate() {
        std::vector<std::uint32_t> codes;
        while (const auto m = window.tryGet())
            if (m->kind == ui::MessageKind::Private) codes.push_back(m->code);
        return codes;
    }

    std::atomic<std::int64_t> m_now{1'000'000'000};
    std::atomic<long> sleeps{0};
    std::function<void()> onSleep;   // called on the sleeping thread after each sleep
};

}  // namespace vrn::test
