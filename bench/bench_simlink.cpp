// The frame flush with 300 position updates, and the simulated simulator carrying 300 AI objects
// through one second of frames at 60 frames a second.
#include <benchmark/benchmark.h>

#include "platform/simconnect/simulated_simulator.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/sim_client.h"
#include "simlink/sim_services.h"
#include "simlink/user_aircraft.h"

namespace {

using namespace vrn;
using namespace vrn::simconnect;

std::vector<DWORD> lf_world(int aircraft, double frameRate) {
    SimScenario s;
    s.frameRate = frameRate;
    s.anyTitleInstalled = true;
    gf_simulator().reset(s, ClockMode::Manual);
    gf_resetSimLinkForNextRun();
    gf_simLinkServices().requestExit = [](int, int) {};
    MSFS_2020.set(false);   // the scenario's simulator is MSFS 2024
    std::vector<DWORD> ids;
    for (int i = 0; i < aircraft; ++i)
        ids.push_back(gf_simulator().addOtherAircraft({"t", "AI" + std::to_string(i), 47.4 + i * 1e-4, 8.5, 0.0, true}));
    gf_simClientOpen();
    gf_simulator().step(1);
    gf_simClientDispatchOnce();
    return ids;
}

void lf_fill(const std::vector<DWORD>& ids, double t) {
    for (DWORD id : ids) {
        PositionUpdate p;
        p.latitude = 47.4 + t;
        p.longitude = 8.5;
        p.altitude = 3000.0;
        p.objectId = id;
        g_positionFillBuffer->push_back(p);
    }
    gf_handOverPositions();
}

void BM_FrameFlush300Positions(benchmark::State& state) {
    const auto ids = lf_world(300, 30.0);
    double t = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        lf_fill(ids, t += 1e-6);
        state.ResumeTiming();
        gf_flushSimConnectQueues();
    }
    state.counters["updates_of_first"] = static_cast<double>(gf_simulator().object(ids.front())->positionUpdates);
    gf_closeSimConnectQuietly();
}
BENCHMARK(BM_FrameFlush300Positions)->Unit(benchmark::kMicrosecond);

// One simulated second: 60 frames, each with 300 positions flushed and every message dispatched.
// Real time per iteration below 1 s means the simulated simulator keeps up using under one core.
void BM_SimulatedSecond300Aircraft60Fps(benchmark::State& state) {
    const auto ids = lf_world(300, 60.0);
    gf_requestUserOnGroundEverySecond();
    double t = 0.0;
    for (auto _ : state) {
        for (int f = 0; f < 60; ++f) {
            lf_fill(ids, t += 1e-6);
            gf_simulator().step(1);
            gf_simClientDispatchOnce();
        }
    }
    // Time per iteration is the share of one core that one simulated second needs.
    state.counters["updates_of_first"] = static_cast<double>(gf_simulator().object(ids.front())->positionUpdates);
    gf_closeSimConnectQuietly();
}
BENCHMARK(BM_SimulatedSecond300Aircraft60Fps)->Unit(benchmark::kMillisecond);

}  // namespace
