// Livery scan throughput, reading LiveriesScanned.xml and one livery match.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/utilities.h"
#include "liveries/aircraft_cfg_lines.h"
#include "liveries/livery_data.h"
#include "liveries/livery_index.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_scan.h"
#include "liveries/regcodes.h"
#include "liveries/type_database.h"
#include "liveries/type_queries.h"
#include "settings/settings_catalogue.h"
#include "quick_check.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace vrn;

const char* const kTypes[] = {"A320", "A319", "B738", "B77W", "E190", "DH8D", "C172", "A20N"};
const char* const kAirlines[] = {"DLH", "KLM", "BAW", "AFR", "UAE", "RYR", "EZY", "SWR", "AUA", "ZZZ"};

fs::path benchRoot() {
    static const ScratchFolder root("bench_liveries");
    return root.path();
}

void typeDatabase() {
    static bool done = false;
    if (done) return;
    done = true;
    for (const char* t : kTypes) g_validModels.insert(t);
    g_largeTypes = {"A320", "A319", "B738", "E190", "A20N"};
    g_heavyTypes = {"B77W"};
    for (const char* a : kAirlines) g_icaoAirlines.insert(a);
    g_similarTypeGroups = {{"A319", "A320"}, {"A20N", "A320"}};
    SUPPRESS_STUB.set(true);
    LOG.set(false);
}

// 20,000 aircraft.cfg files of a typical traffic package: a few sections each among the usual keys.
const fs::path& scanTree() {
    static const fs::path tree = [] {
        const fs::path t = benchRoot() / "tree";
        for (int i = 0; i < 20000; ++i) {
            const fs::path dir = t / ("pkg" + std::to_string(i / 500)) / "SimObjects" / "Airplanes" / ("ac" + std::to_string(i));
            fs::create_directories(dir);
            std::ofstream out(dir / "aircraft.cfg");
            out << "[VERSION]\nmajor = 1\nminor = 0\n\n[GENERAL]\nicao_type_designator = \"" << kTypes[i % 8]
                << "\"\nicao_manufacturer = \"Maker\"\nicao_model = \"Model\"\n\n";
            for (int s = 0; s < 3; ++s) {
                out << "[FLTSIM." << s << "]\ntitle = \"Bench " << i << " " << s << "\" ; livery\nmodel = \"\"\n"
                    << "texture = \"" << s << "\"\nui_manufacturer = \"Maker\"\nui_type = \"Type\"\nui_variation = \"V\"\n"
                    << "atc_id = \"D-A" << i << "\"\natc_airline = \"Airline\"\nicao_airline = \"" << kAirlines[(i + s) % 10]
                    << "\"\natc_parking_types = \"GATE,RAMP\"\natc_parking_codes = \"\"\n\n";
            }
        }
        return t;
    }();
    return tree;
}

void BM_ScanTree(benchmark::State& state) {
    typeDatabase();
    const fs::path& tree = scanTree();
    g_workerThreads.store(static_cast<unsigned>(state.range(0)));
    std::size_t liveries = 0;
    for (auto _ : state) {
        gf_clearScanReports();
        std::list<LiveryData> found;
        gf_searchFolder(1, tree, found);
        liveries = found.size();
        benchmark::DoNotOptimize(found);
    }
    state.counters["liveries"] = static_cast<double>(liveries);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 20000);
}
BENCHMARK(BM_ScanTree)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(benchIterations(3));

void fillLiveries(std::size_t n) {
    g_liveries.clear();
    for (std::size_t i = 0; i < n; ++i)
        g_liveries.push_back(LiveryData{kAirlines[i % 10], kTypes[(i / 10) % 8], "Livery title number " + std::to_string(i),
                                        i % 3 ? "" : "REG" + std::to_string(i), 0, i % 7 == 0});
    gf_sortUniqueLiveries();
}

void BM_ReadLiveriesScanned(benchmark::State& state) {
    const fs::path file = benchRoot() / "LiveriesScanned.xml";
    fs::create_directories(benchRoot());
    fillLiveries(100000);
    gf_writeLiveriesScanned(file);
    for (auto _ : state) {
        gf_readLiveriesScanned(file);
        benchmark::DoNotOptimize(g_liveries);
    }
    g_liveries.clear();
}
BENCHMARK(BM_ReadLiveriesScanned)->Unit(benchmark::kMillisecond);

void BM_MatchLive(benchmark::State& state) {
    typeDatabase();
    static const bool indexed = [] {
        const fs::path dir = benchRoot() / "match";
        fs::create_directories(dir / "output");
        fs::current_path(dir);
        fillLiveries(100000);
        gf_processScannedLiveries();
        g_liveries.clear();
        return true;
    }();
    (void)indexed;
    RANDOM.set(true);
    MATCHING_DEPTH.set(4);
    Aircraft a;
    a.callsign = "DLH123";
    std::size_t i = 0;
    for (auto _ : state) {
        a.airline = kAirlines[i % 9];
        a.model = kTypes[i % 8];
        a.registration = i % 4 ? "" : "REG" + std::to_string(i % 3000 * 3);
        a.sizeClass = gf_sizeClass(a.model);
        gf_matchLiveryLive(a);
        benchmark::DoNotOptimize(a.liveryTitle);
        ++i;
    }
}
BENCHMARK(BM_MatchLive);

}  // namespace
