// One traffic pass with N live aircraft in the simulator (each with a full queue of samples, in the
// air and on the ground) and M static parked aircraft: BM_TrafficPass/<live>/<static>.
#include <benchmark/benchmark.h>

#include "feed/udp_readers.h"
#include "simlink/command_queues.h"
#include "simlink/sim_client.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace {

using namespace vrn;

constexpr int kSampleSpacingPasses = 2000;   // far apart: the queues last for the whole run

void lf_world(int liveCount, int staticCount) {
    gf_resetParkAirport();
    gf_resetTraffic();
    gf_reserveSimCommandQueues();
    g_requestsBroken.store(true);   // no simulator connection: no in-range requests
    g_tickCounter.store(0);
    g_userPosition.latitude = 51.47;
    g_userPosition.longitude = -0.45;
    for (int i = 0; i < liveCount; ++i) {
        Aircraft base;
        base.aircraftId = 0x400000 + static_cast<std::uint32_t>(i);
        base.callsign = "BAW" + std::to_string(i);
        base.sizeClass = SIZE_LARGE;
        const bool ground = i % 3 == 0;
        PositionSample s;
        s.latitude = 51.0 + i * 0.01;
        s.longitude = -0.5;
        s.altitude = ground ? 0.0 : 3000.0 + i;
        s.airborne = ground ? 0 : 1;
        s.groundSpeed = ground ? 15.0 : 250.0;
        s.track = 180.0;
        s.duePass = i % kSampleSpacingPasses;   // steps spread over the passes
        LiveAircraft a(base, s, 0.0);
        for (int k = 1; k < 200; ++k) {
            s.latitude -= 0.002;
            s.duePass += kSampleSpacingPasses;
            a.samples.push_back(s);
        }
        a.state = STATE_IN_SIM;
        a.objectId = 10 + static_cast<std::uint32_t>(i);
        a.onGround = ground ? 1 : 0;
        a.phase = ground ? PHASE_MOVING : PHASE_AIRBORNE;
        a.position.latitude = s.latitude;
        a.position.longitude = s.longitude;
        g_liveAircraft.push_back(std::move(a));
    }
    for (int i = 0; i < staticCount; ++i) {
        Aircraft parked;
        parked.aircraftId = static_cast<std::uint32_t>(i + 1);
        parked.callsign = "S" + std::to_string(i) + "*";
        parked.state = STATE_IN_SIM;
        parked.objectId = 5000 + static_cast<std::uint32_t>(i);
        g_staticParked.push_back(parked);
    }
}

void BM_TrafficPass(benchmark::State& state) {
    const int liveCount = static_cast<int>(state.range(0));
    lf_world(liveCount, static_cast<int>(state.range(1)));
    for (auto _ : state) gf_trafficTick();
    state.counters["live_left"] = static_cast<double>(g_liveAircraft.size());
    std::size_t queued = 0;
    for (const LiveAircraft& a : g_liveAircraft) queued += a.samples.size();
    // What one live aircraft holds: its record and its queued samples.
    state.counters["bytes_per_live"] =
        static_cast<double>(sizeof(LiveAircraft)) +
        static_cast<double>(queued * sizeof(PositionSample)) / std::max<std::size_t>(1, g_liveAircraft.size());
    gf_resetParkAirport();
    g_requestsBroken.store(false);
}
BENCHMARK(BM_TrafficPass)->Args({100, 500})->Args({300, 500})->Args({1000, 500})->Unit(benchmark::kMicrosecond);

}  // namespace
