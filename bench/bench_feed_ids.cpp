// A long run of ever new aircraft ids through the Traffic Reader: 20 new ids every 3 s, each
// reported three times, for three hours of the feed (the reader's steady clock is the run's own).
// What the reader remembers per id must level off after an hour and stay flat, the heap with it.
#include <benchmark/benchmark.h>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <string>

#include "core/format.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"

namespace {

std::string lf_datagram(std::uint32_t hexid, double stamp) {
    return vrn::format(
        "RTTFC,{},51.50,-0.40,5000,1500,0,270.5,250,BAW{},A320,G-EUUA,LHR,CDG,{:.1f},X2,BA12,adsb_icao,5100,240,"
        "260,0.4,0.0,5.0,268,271.0,1400,none,A3,1013.2,35008,-1,70.0,lnav,0.0,-21.9,223,24,-30,0,1,170124",
        hexid, hexid % 10000, stamp);
}

double lf_heapBytes() {
#if defined(__GLIBC__)
    return static_cast<double>(mallinfo2().uordblks);
#else
    return 0.0;
#endif
}

void BM_newIdsForThreeHours(benchmark::State& state) {
    constexpr int kNewIdsPerStep = 20;
    constexpr double kStepS = 3.0;
    constexpr int kSteps = 3 * 3600 / 3;
    vrn::g_lateralRangeNm = 100.0;
    vrn::gf_setMainLoopRunning(true);
    double idsAtHalf = 0, idsAtEnd = 0, heapAtHalf = 0, heapAtEnd = 0, voters = 0;
    for (auto _ : state) {
        vrn::TrafficReader reader;
        reader.setReferencePosition({51.47, -0.45});
        double steady = 0.0;
        reader.setSteadyClockForTests([&steady] { return steady; });
        std::uint32_t next = 4000000;
        for (int step = 0; step < kSteps; ++step, steady += kStepS) {
            // The ids of this step and of the two before: each id is reported three times.
            for (int back = 0; back < 3; ++back) {
                if (step < back) continue;
                const std::uint32_t first = next - static_cast<std::uint32_t>(back * kNewIdsPerStep);
                for (std::uint32_t id = first; id < first + kNewIdsPerStep; ++id)
                    reader.processDatagram(lf_datagram(id, 1717000000.0 + steady));
            }
            next += kNewIdsPerStep;
            vrn::gf_takeTrafficUpdates();
            if (step == kSteps / 2) {
                idsAtHalf = static_cast<double>(reader.rememberedIdCount());
                heapAtHalf = lf_heapBytes();
            }
        }
        idsAtEnd = static_cast<double>(reader.rememberedIdCount());
        heapAtEnd = lf_heapBytes();
        voters = static_cast<double>(reader.feedClockVoterCount());
    }
    vrn::gf_setMainLoopRunning(false);
    state.counters["ids_after_1h30"] = idsAtHalf;
    state.counters["ids_after_3h"] = idsAtEnd;
    state.counters["heap_after_1h30"] = heapAtHalf;
    state.counters["heap_after_3h"] = heapAtEnd;
    state.counters["clock_voters"] = voters;
}
BENCHMARK(BM_newIdsForThreeHours)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
