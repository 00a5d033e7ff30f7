// processLine on realistic datagrams: a busy airspace of airborne and taxiing aircraft, every record
// accepted and queued (the queue is drained as the traffic pass would).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "core/format.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"

namespace {

std::vector<std::string> lf_datagrams() {
    std::vector<std::string> out;
    for (int i = 0; i < 256; ++i) {
        const bool ground = i % 4 == 0;
        out.push_back(vrn::format(
            "RTTFC,{},{:.5f},{:.5f},{},{},{},{:.2f},{},{}{},{},G-{:04d},LHR,CDG,{:.1f},X2,BA{},adsb_icao,{},-1,{},0.780,"
            " 0.0,{},78.93,{:.2f},1280,none,A3,1012.8,35008,-1,71.02,lnav,0.0,-21.9,223,24,-30,0,1,{}",
            4000000 + i, 51.47 + (i % 16) * (ground ? 0.002 : 0.01), -0.4543 + (i / 16) * (ground ? 0.002 : 0.01), ground ? 0 : 3000 + i * 100,
            ground ? 0 : 1200, ground ? 1 : 0, (i * 7) % 360 + 0.5, ground ? 15 : 250, "BAW", i, "A320", i,
            1717000000.0 + i, i, 5000, ground ? -1 : 260, ground ? 0 : (i % 10) - 5, (i * 7) % 360 + 0.5, 170000 + i));
    }
    return out;
}

void BM_processLine(benchmark::State& state) {
    vrn::TrafficReader reader;
    vrn::g_lateralRangeNm = 100.0;
    reader.setReferencePosition({51.47, -0.4543});
    reader.setParkAirport(vrn::LatLon{51.47, -0.4543});
    reader.setFieldElevation(83.0);
    vrn::gf_setMainLoopRunning(true);
    const auto datagrams = lf_datagrams();
    std::size_t i = 0;
    for (auto _ : state) {
        reader.processDatagram(datagrams[i++ & 255]);
        if ((i & 255) == 0) {
            std::lock_guard lock(vrn::g_trafficMutex);
            if (vrn::g_trafficQueue.size() != 256) state.SkipWithError("records were dropped");
            vrn::g_trafficQueue.clear();
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    vrn::gf_setMainLoopRunning(false);
}
BENCHMARK(BM_processLine);

}  // namespace
