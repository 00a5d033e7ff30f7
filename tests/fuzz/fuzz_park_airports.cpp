// airports/my_park_airports.txt as the user writes it: reading any bytes and writing the first entry
// back must neither crash nor lose a listed airport.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "airports/airport_data_files.h"
#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "settings/settings_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vrn;
    namespace fs = std::filesystem;
    static const bool ready = [] {
        fs::create_directories("input");
        fs::create_directories("airports/my_thirdparty");
        gf_writeAirportListFile({{"EGLL", "LHR", 51.47, -0.46, 83}, {"EHAM", "", 52.3, 4.76, 0},
                                 {"A", "", 0, 0, 0}, {"", "", 1, 1, 0}},
                                gf_airportListPath());
        gf_readAirports();
        return true;
    }();
    (void)ready;
    {
        std::ofstream out(g_parkAirportsPath, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    gf_readParkAirports(true);
    const std::size_t before = g_parkAirportList.size();
    if (!g_parkAirportList.empty()) {
        g_parkAirportList.front().stand = "S1";
        gf_writeParkAirports();
        gf_readParkAirports(true);
        // Every airport read before is still listed after the write.
        if (g_parkAirportList.size() < before) __builtin_trap();
    }
    return 0;
}
