// Reading the type database that varnel-data generates from data/liveries, as the program does at
// start-up: some 6,400 airlines and 2,800 types with their size classes and wingspans.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <unistd.h>

#include "liveries/type_database.h"

namespace {

namespace fs = std::filesystem;
using namespace vrn;

// A scratch program folder with the generated files, removed when the benchmark program ends.
struct GeneratedData {
    fs::path program = fs::temp_directory_path() / ("bench_type_database_" + std::to_string(getpid()));
    GeneratedData() {
        const std::string command = std::string(VARNEL_DATA_TOOL) + " liveries --source '" + VARNEL_SOURCE_DIR +
                                    "/data' --program '" + program.string() + "' > /dev/null";
        if (std::system(command.c_str()) != 0) throw std::runtime_error("varnel-data failed: " + command);
    }
    ~GeneratedData() { fs::remove_all(program); }
};

fs::path generatedDbase() {
    static const GeneratedData data;
    return data.program / "input" / "dbase.xml";
}

void BM_ReadGeneratedDbase(benchmark::State& state) {
    const fs::path file = generatedDbase();
    for (auto _ : state) {
        gf_clearTypeDatabase();
        gf_readDbase(file);
        benchmark::DoNotOptimize(g_icaoAirlines);
    }
    state.counters["types"] = static_cast<double>(g_validModels.size());
    state.counters["airlines"] = static_cast<double>(g_icaoAirlines.size());
    state.counters["KB"] = static_cast<double>(fs::file_size(file)) / 1024.0;
}
BENCHMARK(BM_ReadGeneratedDbase)->Unit(benchmark::kMillisecond);

}  // namespace
