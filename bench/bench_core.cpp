// Core services on the hot paths: text conversion of titles, distances of the range filters,
// the comma lists of the feed and the clock slot of the per-second work.
#include <benchmark/benchmark.h>

#include <string>

#include "core/geodesy.h"
#include "core/text_conversion.h"
#include "core/time_of_week.h"
#include "core/utilities.h"

namespace {

const std::string kTitle = "Airbus A320 Neo Asobo Lufthansa D-AINA \xC3\x89" "dition sp\xC3\xA9" "ciale \xE2\x82\xAC";

void BM_Utf8ToUtf16(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(vrn::gf_utf8ToUtf16(kTitle));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTitle.size()));
}
BENCHMARK(BM_Utf8ToUtf16);

void BM_Utf16ToUtf8(benchmark::State& state) {
    const std::u16string wide = vrn::gf_utf8ToUtf16(kTitle);
    for (auto _ : state) benchmark::DoNotOptimize(vrn::gf_utf16ToUtf8(wide));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * wide.size() * 2));
}
BENCHMARK(BM_Utf16ToUtf8);

void BM_DistanceNm(benchmark::State& state) {
    vrn::LatLon a{51.4700, -0.4543}, b{40.6413, -73.7781};
    for (auto _ : state) {
        benchmark::DoNotOptimize(vrn::gf_distanceNm(a, b));
        a.lat += 1e-9;
    }
}
BENCHMARK(BM_DistanceNm);

void BM_DestinationPoint(benchmark::State& state) {
    vrn::LatLon a{51.4700, -0.4543};
    double bearing = 0.3;
    for (auto _ : state) {
        benchmark::DoNotOptimize(vrn::gf_destinationPoint(a, bearing, 1500.0));
        bearing += 1e-9;
    }
}
BENCHMARK(BM_DestinationPoint);

void BM_SplitAtComma(benchmark::State& state) {
    const std::string line = "EGLL, KJFK ,LFPG,EDDF, EHAM,LEMD , LIRF,LSZH,LOWW,EKCH";
    for (auto _ : state) benchmark::DoNotOptimize(vrn::gf_splitAtComma(line));
}
BENCHMARK(BM_SplitAtComma);

void BM_NowDaySlot(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(vrn::gf_nowDaySlot());
}
BENCHMARK(BM_NowDaySlot);

}  // namespace
