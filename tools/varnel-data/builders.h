#pragma once
// The data builders of varnel-data: each turns the plain sources under data/ into the files the
// program reads, below an output program folder.
#include <filesystem>

namespace vrn::data {

struct BuildOptions {
    std::filesystem::path sourceFolder;   // data/ of the source tree
    std::filesystem::path programFolder;  // the program folder to fill (input/, airports/, ...)
    std::filesystem::path packagesFolder; // the simulated simulator's packages folder (sample aircraft)
};

// input/dbase.xml, input/fixes.xml, input/AIG-regcodes.xml, input/my_regcodes/*, sample aircraft packages.
int buildLiveryData(const BuildOptions& options);
// input/airports_msfs.xml, input/airports_msfs_names.xml, airport parking files of the demo airports.
int buildAirportData(const BuildOptions& options);

}  // namespace vrn::data
