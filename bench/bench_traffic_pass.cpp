// One traffic pass with N live aircraft in the simulator (each with a full queue of samples, in the
// air and on the ground) and M static parked aircraft: BM_TrafficPass/<live>/<static>.
// Under a busy feed: BM_TrafficPassUnderFeed/<aircraft in range> (each reporting once a second, a
// hundredth of them per pass, up to 300 of them in the simulator at the start; MAX_LIVE at its default
// sets no limit, so admission keeps taking more in) and BM_TrafficPassAfterAStall/<records>
// (the pass that takes a queue filled while the passes stood still).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>

#include "core/format.h"
#include "feed/udp_readers.h"
#include "liveries/type_database.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/sim_client.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"
#include "quick_check.h"

namespace {

using namespace vrn;

constexpr int kSampleSpacingPasses = 2000;   // far apart: the queues last for the whole run

void lf_world(int liveCount, int staticCount, int samplesEach = 200) {
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
        base.callsign = vrn::format("BAW{}", i);
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
        // (Each next sample lies where its speed takes it: samples that come faster than their speed
        // leave it behind them, steering back and in the end created again, no longer moved.)
        for (int k = 1; k < samplesEach; ++k) {
            s.latitude -= s.groundSpeed * kSampleSpacingPasses / 360000.0 / 60.0;   // nm over the spacing, in degrees
            s.duePass += kSampleSpacingPasses;
            a.samples.push_back(s);
        }
        a.state = STATE_IN_SIM;
        a.objectId = 10 + static_cast<std::uint32_t>(i);
        a.onGround = ground ? 1 : 0;
        a.phase = ground ? PHASE_MOVING : PHASE_AIRBORNE;
        // Where its records put it now (its first sample falls due later), pointing along their
        // track, as a created aircraft is.
        a.position.latitude = a.samples.front().latitude + a.samples.front().groundSpeed * a.samples.front().duePass / 360000.0 / 60.0;
        a.position.longitude = a.samples.front().longitude;
        a.position.heading = s.track * kDeg2Rad;
        g_liveAircraft.push_back(std::move(a));
    }
    for (int i = 0; i < staticCount; ++i) {
        Aircraft parked;
        parked.aircraftId = static_cast<std::uint32_t>(i + 1);
        parked.callsign = vrn::format("S{}*", i);
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
    state.counters["moved_at_end"] = static_cast<double>(
        std::count_if(g_liveAircraft.begin(), g_liveAircraft.end(), [](const LiveAircraft& a) { return a.state == STATE_IN_SIM; }));
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

// The feed record of aircraft i at `seconds` into the feed: on a straight line south at 250 kn.
TrafficUpdate lf_record(int i, double seconds) {
    TrafficUpdate u;
    u.hexid = 0x400000 + static_cast<std::uint32_t>(i);
    u.flight.callsign = vrn::format("BAW{}", i);
    u.flight.model = "A320";
    u.timeStamp = 1'700'000'000.0 + seconds;
    PositionSample& s = u.sample;
    s.latitude = 51.0 + i * 0.01 - seconds * 250.0 / 3600.0 / 60.0;
    s.longitude = -0.5;
    s.altitude = 3000.0 + i;
    s.airborne = 1;
    s.groundSpeed = s.trueAirspeed = 250.0;
    s.track = 180.0;
    return u;
}

void lf_feedWorld(int inRange) {
    lf_world(std::min(inRange, MAX_LIVE.get()), 0, 20);
    g_validModels.insert("A320");   // new aircraft are taken in
    LIGHT_AIRCRAFT.set(true);
    gf_setMainLoopRunning(true);
}

void lf_endFeedWorld() {
    gf_setMainLoopRunning(false);
    gf_resetParkAirport();
    g_requestsBroken.store(false);
}

void BM_TrafficPassUnderFeed(benchmark::State& state) {
    const int inRange = static_cast<int>(state.range(0));
    lf_feedWorld(inRange);
    std::size_t mostQueued = 0;
    double worstLagS = 0.0;
    long pass = 0;
    for (auto _ : state) {
        const double seconds = static_cast<double>(pass) / 100.0;
        for (int i = static_cast<int>(pass % 100); i < inRange; i += 100) gf_queueTrafficUpdate(lf_record(i, seconds));
        {
            std::lock_guard lock(g_trafficMutex);
            mostQueued = std::max(mostQueued, g_trafficQueue.size());
        }
        gf_trafficTick();
        ++pass;
        if (pass % 100 != 0) continue;
        // How far behind the feed the aircraft in the simulator are (samples are kept every 450 m).
        state.PauseTiming();
        for (const LiveAircraft& a : g_liveAircraft)
            if (a.state == STATE_IN_SIM && a.lastSampleTime > 0.0)
                worstLagS = std::max(worstLagS, 1'700'000'000.0 + seconds - a.lastSampleTime);
        state.ResumeTiming();
    }
    state.counters["most_queued"] = static_cast<double>(mostQueued);
    state.counters["worst_lag_s"] = worstLagS;
    state.counters["feed_s"] = static_cast<double>(pass) / 100.0;
    std::size_t inSim = 0, waiting = 0;
    for (const LiveAircraft& a : g_liveAircraft) (a.state == STATE_IN_SIM ? inSim : waiting) += 1;
    state.counters["in_sim"] = static_cast<double>(inSim);
    state.counters["not_in_sim"] = static_cast<double>(waiting);
    lf_endFeedWorld();
}
// Enough passes for the play delay, admission and the count limit to be part of the run (3 minutes).
BENCHMARK(BM_TrafficPassUnderFeed)->Arg(300)->Arg(1000)->Arg(5000)->Iterations(benchIterations(18000))->Unit(benchmark::kMicrosecond);

void BM_TrafficPassAfterAStall(benchmark::State& state) {
    const int records = static_cast<int>(state.range(0));
    lf_feedWorld(records);
    double seconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        seconds += 1.0;
        for (int i = 0; i < records; ++i) gf_queueTrafficUpdate(lf_record(i, seconds));
        state.ResumeTiming();
        gf_trafficTick();
    }
    lf_endFeedWorld();
}
BENCHMARK(BM_TrafficPassAfterAStall)->Arg(1000)->Arg(static_cast<int>(kTrafficQueueLimit))->Unit(benchmark::kMicrosecond);

}  // namespace
