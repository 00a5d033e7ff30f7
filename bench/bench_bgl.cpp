// BGL scan throughput: the header test, reading a file whole and walking its airport records
// (warm cache), in bytes of BGL data a second. Airport files are handed to counting steps, so only
// the reading is measured.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "../tests/airports/bgl_builder.h"
#include "airports/bgl_reader.h"
#include "airports/manifest_publisher.h"

namespace {

namespace bgl = vrn::test::bgl;
namespace fs = std::filesystem;

// About 48 MB: 200 airports of 120 stands each between runs of other records, as in a large
// scenery file where airport data is a small part.
struct BenchFile {
    fs::path path;
    ~BenchFile() {
        std::error_code ec;
        fs::remove(path, ec);
    }
};

const fs::path& lf_benchFile() {
    static const BenchFile made{[] {
        std::string records;
        for (int a = 0; a < 200; ++a) {
            std::vector<bgl::Parking> stands(120);
            for (int i = 0; i < 120; ++i) {
                stands[i].number = static_cast<std::uint16_t>(i + 1);
                stands[i].lat = 40.0 + 0.001 * i;
                stands[i].lon = 10.0 + 0.01 * a;
                stands[i].airlineCodes = static_cast<std::uint8_t>(i % 3);
            }
            std::string code = "K";
            code += static_cast<char>('A' + a % 26);
            code += static_cast<char>('A' + (a / 26) % 26);
            code += 'X';
            records += bgl::airport(code, bgl::altitudeWord(100), {bgl::helipad({40.5, 10.5, 20}), bgl::parkings(stands)});
            for (int k = 0; k < 800; ++k) records += bgl::record(0x0033, 256);
        }
        const fs::path p = fs::temp_directory_path() / ("bench-bgl-" + std::to_string(::getpid()) + ".bgl");
        std::ofstream(p, std::ios::binary) << bgl::file({{3, false, records}});
        return p;
    }()};
    return made.path;
}

void BM_BglScanFile(benchmark::State& state) {
    const fs::path& file = lf_benchFile();
    const auto bytes = static_cast<std::int64_t>(fs::file_size(file));
    std::size_t stands = 0;
    const vrn::BglAirportSteps steps{[](vrn::ApfAirport&, const std::string&) { return std::pair<bool, int>{false, 0}; },
                                     [&](vrn::ApfAirport& a, int) { stands += a.stands.size(); }};
    for (auto _ : state) {
        if (!vrn::lf_isAirportBgl(file)) state.SkipWithError("no airport file");
        vrn::BglWords words;
        vrn::gf_readBglWords(file, words);
        vrn::gf_readBglAirports(words, file.string(), steps);
        benchmark::DoNotOptimize(stands);
        std::lock_guard lock(vrn::g_scanLogMutex);
        vrn::g_scanLogLines.clear();
    }
    state.SetBytesProcessed(bytes * state.iterations());
}
BENCHMARK(BM_BglScanFile)->Unit(benchmark::kMillisecond);

// The cheap test alone, as run for every BGL file of the simulator's folders.
void BM_BglHeaderTest(benchmark::State& state) {
    const fs::path& file = lf_benchFile();
    for (auto _ : state) benchmark::DoNotOptimize(vrn::lf_isAirportBgl(file));
}
BENCHMARK(BM_BglHeaderTest)->Unit(benchmark::kMicrosecond);

}  // namespace
