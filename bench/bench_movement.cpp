// The movement of 300 live aircraft for one traffic pass: the movement step where a sample falls due
// and the per-pass position and attitude of every aircraft. A third each climb out, taxi through
// turns and fly an approach; their queues are topped up as the feed would.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <mutex>

#include "simlink/command_queues.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace {

using namespace vrn;

PositionSample lf_sample(double lat, double lon, double altitude, double speed, int due) {
    return PositionSample{.latitude = lat, .longitude = lon, .altitude = altitude, .groundSpeed = speed,
                          .verticalSpeed = altitude > 0.0 ? 800.0 : 0.0, .trueAirspeed = speed, .duePass = due,
                          .airborne = static_cast<std::uint8_t>(altitude > 0.0)};
}

// The next sample of aircraft i after `s`: taxiing aircraft zigzag, flying ones go straight on.
PositionSample lf_following(const PositionSample& s, int i) {
    PositionSample n = s;
    const double turn = (i % 3 == 1) ? ((s.duePass / 400) % 2 ? 0.0003 : -0.0003) : 0.0;
    n.latitude += s.airborne ? 0.01 : 0.0003;
    n.longitude += turn;
    n.altitude = s.airborne ? s.altitude + 50.0 : 0.0;
    n.duePass = s.duePass + (s.airborne ? 500 : 400);
    return n;
}

void lf_fleet() {
    g_liveAircraft.clear();
    g_tickCounter = 0;
    for (int i = 0; i < 300; ++i) {
        Aircraft ac(Flight{}, SIZE_LARGE, 0.0097);
        ac.sizeClass = SIZE_LARGE;
        ac.aircraftId = 4000000 + i;
        ac.groundTurnRate = 0.07 * kDeg2Rad;
        ac.maxClimbPerPass = 0.6;
        ac.pushBackSpeed = 4.0;
        const bool ground = i % 3 == 1;
        const PositionSample first = lf_sample(50.0 + i * 0.01, 0.0, ground ? 0.0 : 3000.0 + i, ground ? 15.0 : 200.0, i);
        LiveAircraft& a = g_liveAircraft.emplace_back(ac, first, 1.0e9);
        a.objectId = 10 + i;
        a.state = STATE_IN_SIM;
        a.onGround = ground;
        a.phase = ground ? PHASE_MOVING : PHASE_AIRBORNE;
        a.onApproach = i % 3 == 2;
        a.position.latitude = first.latitude;
        a.position.longitude = first.longitude;
        a.position.altitude = first.altitude;
        a.groundAltitude = 0.0;
        for (int k = 0; k < 8; ++k) a.samples.push_back(lf_following(a.samples.back(), i));
    }
}

void BM_MovementPass300(benchmark::State& state) {
    lf_fleet();
    for (auto _ : state) {
        const int tick = g_tickCounter.load(std::memory_order_relaxed);
        for (std::size_t i = 0; i < g_liveAircraft.size(); ++i) {
            LiveAircraft& a = g_liveAircraft[i];
            if (a.state != STATE_IN_SIM) continue;
            if (a.samples.size() < 6) a.samples.push_back(lf_following(a.samples.back(), static_cast<int>(i)));
            if (tick >= a.samples.front().duePass) lf_movementStep(a);
            if (a.samples.empty() || !a.samples.front().standing) lf_followCurve(a);
        }
        g_tickCounter.store(tick + 1, std::memory_order_relaxed);
        // The frame flush empties the command queues; here they are dropped every so often.
        if (tick % 1000 == 0) {
            std::lock_guard lock(g_simCommandMutex);
            g_clientEvents.clear();
        }
    }
    state.counters["moving"] = static_cast<double>(std::count_if(
        g_liveAircraft.begin(), g_liveAircraft.end(), [](const LiveAircraft& a) { return a.state == STATE_IN_SIM; }));
}
BENCHMARK(BM_MovementPass300)->Unit(benchmark::kMicrosecond);

}  // namespace
