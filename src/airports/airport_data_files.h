#pragma once
// Writing the airport list files the program reads (input/airports_msfs.xml and
// input/airports_msfs_names.xml). The data tool, the tests and the benchmarks build their lists
// with these; the program itself only reads them.
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "airports/airport_list.h"

namespace vrn {

// False when the file could not be written.
bool gf_writeAirportListFile(const std::vector<Airport>& airports, const std::filesystem::path& path);
bool gf_writeAirportNamesFile(const std::vector<std::pair<std::string, std::string>>& names,
                              const std::filesystem::path& path);
// `count` made-up airports spread over the land-like latitudes, codes "S" + 3 letters/digits,
// repeatable for one seed.
std::vector<Airport> gf_syntheticAirports(std::size_t count, std::uint32_t seed);

}  // namespace vrn
