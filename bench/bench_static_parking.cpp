// Static parking speeds: the placement list of a 600-stand airport whose learned file holds a use
// for every half hour of every day on every stand, and the park airport choice on the ground
// against 44,000 airports.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "airports/airport_data_files.h"
#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "app/gui_requests.h"
#include "core/format.h"
#include "settings/settings_catalogue.h"
#include "simlink/user_aircraft.h"
#include "traffic/park_airport_choice.h"
#include "traffic/static_parking.h"
#include "traffic/traffic_lists.h"
#include "scratch_folder.h"

namespace {

namespace fs = std::filesystem;
using namespace vrn;

// 600 stands in rows of 30; each stand has four operators a day, each parked six hours: 28 uses.
void lf_fullAirport() {
    g_stands.clear();
    for (int i = 0; i < 600; ++i) {
        std::vector<StandUse> uses;
        for (std::uint32_t day = 1; day <= 7; ++day) {
            for (int quarter = 0; quarter < 4; ++quarter) {
                StandUse use;
                use.airline = quarter % 2 ? "BAW" : "DLH";
                use.model = "A320";
                use.reg = format("G-{}{}{}", i, day, quarter);
                use.callsign = format("BAW{}", i * 28 + static_cast<int>(day) * 4 + quarter);
                use.day = day;
                use.hh = std::uint64_t{0xFFF} << (quarter * 12);
                use.number = static_cast<std::uint32_t>(uses.size() + 1);
                uses.push_back(std::move(use));
            }
        }
        g_stands.emplace_back(std::move(uses), format("S{}", i),
                              StandPlacement{40.0 + (i / 30) * 0.0009, -3.0 + (i % 30) * 0.0007, 0}, 20.0, false,
                              false, false);
        g_stands.back().number = static_cast<std::uint32_t>(i + 1);
    }
    gf_linkNeighbours(g_stands);
}

void BM_StaticParking600Stands(benchmark::State& state) {
    lf_fullAirport();
    g_parkAirport = Airport{"SBIG", "", 40.0, -3.0, 100};
    parking_percentage.set(100);
    RANDOM.set(true);
    g_currentDaySlot.store(gf_makeDaySlot(3, 20));
    for (auto _ : state) {
        lf_parkingPercentage();
        benchmark::DoNotOptimize(g_staticPlacements.data());
    }
    state.counters["placements"] = static_cast<double>(g_staticPlacements.size());
    g_staticPlacements.clear();
    g_stands.clear();
}
BENCHMARK(BM_StaticParking600Stands)->Unit(benchmark::kMillisecond);

void BM_ParkAirportChoiceOnTheGround(benchmark::State& state) {
    static const ScratchFolder scratch("varnel-bench-park-choice");
    const fs::path& folder = scratch.path();
    fs::remove_all(folder);
    fs::create_directories(folder / "input");
    fs::current_path(folder);
    std::vector<Airport> airports = gf_syntheticAirports(44000, 7);
    airports.push_back(Airport{"EGLL", "LHR", 51.4706, -0.461941, 83});
    gf_writeAirportListFile(airports, gf_airportListPath());
    gf_resetAirportsForTests();
    gf_readAirports();
    ApfAirport egll;
    egll.code = "EGLL";
    egll.publisher = "stock";
    egll.altitude = 83;
    egll.stands.emplace_back(std::vector<StandUse>{}, "1", StandPlacement{51.4713, -0.4877, 0}, 30.0, false, false,
                             false);
    fs::create_directories(g_archiveStockFolder);
    gf_writeApf(egll, g_archiveStockFolder / "EGLL.xml", false);
    gf_setUserStateForTests([] { return UserState{true, 83.0, {51.4713, -0.4877}}; });
    for (auto _ : state) {
        state.PauseTiming();
        g_parkAirport = Airport{};
        gf_resetParkAirportChoice();
        state.ResumeTiming();
        gf_refreshStaticParking(false);
    }
    state.counters["chosen"] = g_parkAirport.code == "EGLL" ? 1 : 0;
    g_windowHooks = WindowHooks{};
}
BENCHMARK(BM_ParkAirportChoiceOnTheGround)->Unit(benchmark::kMicrosecond);

}  // namespace
