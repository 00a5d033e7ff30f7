// Airport list and park airport file speeds: reading 44,000 airports, one closest-airport query,
// and loading a 600-stand parking file with its learned file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>

#include "airports/airport_data_files.h"
#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "core/format.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace vrn;

// A scratch program folder shared by the benchmarks of this program.
const fs::path& benchFolder() {
    static const fs::path folder = [] {
        static const ScratchFolder scratch("varnel-bench-airports");
        const fs::path& f = scratch.path();
        fs::create_directories(f / "input");
        fs::current_path(f);
        gf_writeAirportListFile(gf_syntheticAirports(44000, 7), gf_airportListPath());

        // 600 stands in rows of 30 at 60 m spacing, with learned uses on most of them.
        ApfAirport archive;
        archive.code = "SBIG";
        archive.publisher = "stock";
        archive.airport_name = "Bench";
        archive.altitude = 100;
        std::mt19937 engine(3);
        for (int i = 0; i < 600; ++i) {
            const double lat = 40.0 + (i / 30) * 0.0009;
            const double lon = -3.0 + (i % 30) * 0.0007;
            archive.stands.emplace_back(std::vector<StandUse>{}, format("S{}", i), StandPlacement{lat, lon, 0},
                                        15.0 + (i % 4) * 8.0, i % 17 == 0, i % 13 == 0, false);
        }
        fs::create_directories(g_archiveStockFolder);
        gf_writeApf(archive, g_archiveStockFolder / "SBIG.xml", false);
        ApfAirport learned = archive;
        for (Stand& s : learned.stands) {
            for (int u = 0; u < 6; ++u) {
                StandUse use;
                use.airline = "BAW";
                use.model = "A320";
                use.callsign = format("BAW{}", engine() % 900);
                use.day = 1 + engine() % 7;
                use.hh = std::uint64_t{3} << (engine() % 46);
                use.number = static_cast<std::uint32_t>(u + 1);
                s.uses.push_back(use);
            }
        }
        fs::create_directories("airports/learned/stock");
        gf_writeApf(learned, "airports/learned/stock/SBIG.xml", true);
        return f;
    }();
    return folder;
}

void BM_ReadAirports44000(benchmark::State& state) {
    benchFolder();
    for (auto _ : state) {
        gf_resetAirportsForTests();
        gf_readAirports();
        benchmark::DoNotOptimize(g_airports.data());
    }
    state.counters["airports"] = static_cast<double>(g_airports.size());
}
BENCHMARK(BM_ReadAirports44000)->Unit(benchmark::kMillisecond);

void BM_ClosestAirport(benchmark::State& state) {
    benchFolder();
    gf_resetAirportsForTests();
    gf_readAirports();
    std::mt19937 engine(5);
    std::uniform_real_distribution<double> lat(-56.0, 72.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(gf_closestAirport({lat(engine), lon(engine)}));
    }
}
BENCHMARK(BM_ClosestAirport)->Unit(benchmark::kMicrosecond);

void BM_LoadParkAirport600Stands(benchmark::State& state) {
    benchFolder();
    g_parkAirport = Airport{"SBIG", "", 40.0, -3.0, 100};
    std::size_t adjacent = 0;
    for (auto _ : state) {
        g_stands.clear();
        std::uint64_t quality = 0;
        benchmark::DoNotOptimize(gf_readApf(g_archiveStockFolder / "SBIG.xml", quality));
        adjacent = 0;
        for (const Stand& s : g_stands) adjacent += s.adjacent.size();
    }
    state.counters["stands"] = static_cast<double>(g_stands.size());
    state.counters["links"] = static_cast<double>(adjacent);
}
BENCHMARK(BM_LoadParkAirport600Stands)->Unit(benchmark::kMillisecond);

}  // namespace
