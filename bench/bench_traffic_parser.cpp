// processLine on realistic datagrams: a busy airspace of airborne and taxiing aircraft, every record
// accepted and queued (the queue is drained as the traffic pass would). The feed keeps pace with the
// reader's clock as RealTraffic's does: each round of the 256 aircraft is stamped with the time it
// is sent, so the feed clock takes every record.
#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/format.h"
#include "feed/udp_readers.h"
#include "quick_check.h"
#include "settings/settings_catalogue.h"

namespace {

constexpr int kAircraft = 256;
// Rounds of every aircraft once; ten thousand take a few seconds.
constexpr benchmark::IterationCount kRounds = 10000;

// One record per aircraft, stamped within the second before `now` (the steady clock, in seconds).
void lf_fillDatagrams(std::vector<std::string>& out, double now) {
    out.clear();
    for (int i = 0; i < kAircraft; ++i) {
        const bool ground = i % 4 == 0;
        out.push_back(vrn::format(
            "RTTFC,{},{:.5f},{:.5f},{},{},{},{:.2f},{},{}{},{},G-{:04d},LHR,CDG,{:.1f},X2,BA{},adsb_icao,{},-1,{},0.780,"
            " 0.0,{},78.93,{:.2f},1280,none,A3,1012.8,35008,-1,71.02,lnav,0.0,-21.9,223,24,-30,0,1,{}",
            4000000 + i, 51.47 + (i % 16) * (ground ? 0.002 : 0.01), -0.4543 + (i / 16) * (ground ? 0.002 : 0.01), ground ? 0 : 3000 + i * 100,
            ground ? 0 : 1200, ground ? 1 : 0, (i * 7) % 360 + 0.5, ground ? 15 : 250, "BAW", i, "A320", i,
            1717000000.0 + now - (i % 8) * 0.125, i, 5000, ground ? -1 : 260, ground ? 0 : (i % 10) - 5, (i * 7) % 360 + 0.5,
            170000 + i));
    }
}

double lf_steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void BM_processLine(benchmark::State& state) {
    vrn::TrafficReader reader;
    vrn::g_lateralRangeNm = 100.0;
    reader.setReferencePosition({51.47, -0.4543});
    reader.setParkAirport(vrn::LatLon{51.47, -0.4543});
    reader.setFieldElevation(83.0);
    vrn::gf_setMainLoopRunning(true);
    std::vector<std::string> datagrams;
    lf_fillDatagrams(datagrams, lf_steadySeconds());
    std::size_t i = 0;
    for (auto _ : state) {
        reader.processDatagram(datagrams[i++ % kAircraft]);
        if (i % kAircraft == 0) {
            state.PauseTiming();
            std::unique_lock lock(vrn::g_trafficMutex);
            if (vrn::g_trafficQueue.size() != kAircraft) {
                state.SkipWithError("records were dropped");
                break;
            }
            vrn::g_trafficQueue.clear();
            lock.unlock();
            lf_fillDatagrams(datagrams, lf_steadySeconds());
            state.ResumeTiming();
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    vrn::gf_setMainLoopRunning(false);
    std::lock_guard lock(vrn::g_trafficMutex);
    vrn::g_trafficQueue.clear();
}
BENCHMARK(BM_processLine)->Iterations(benchIterations(kRounds) * kAircraft);

}  // namespace
