#pragma once
// The simulator's airports (input/airports_msfs.xml), their names for the add-on scan
// (input/airports_msfs_names.xml), the closest-airport search and the park airport record.
#include <filesystem>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include <pugixml.hpp>

#include "core/geodesy.h"

namespace vrn {

struct Airport {
    std::string code;
    std::string iata;
    double lat = 0.0;
    double lon = 0.0;
    double alt = 0.0;   // feet

    LatLon position() const { return {lat, lon}; }
};

// Sorted by code (byte order, stable for equal codes); filled once on the run thread before any
// reader runs, read without a lock afterwards.
extern std::vector<Airport> g_airports;
extern bool g_airportsRead;
// Filled for the duration of the add-on airport scan only.
extern std::unordered_map<std::string, std::string> g_airportNames;

// The park airport; an empty code means none. Written under g_standsMutex (stand_records.h);
// other threads read it through gf_parkAirportCopy.
extern Airport g_parkAirport;
Airport gf_parkAirportCopy();

std::filesystem::path gf_airportListPath();    // input/airports_msfs.xml
std::filesystem::path gf_airportNamesPath();   // input/airports_msfs_names.xml

// Reads input/airports_msfs.xml once per process. Throws UserErrorException 87/88 on failure.
void gf_readAirports();
// For tests: forget the list so it can be read again.
void gf_resetAirportsForTests();
// Reads input/airports_msfs_names.xml into g_airportNames; true when the map is not empty.
bool gf_readAirportNames();

// The airport within 5 nm of the position; when a second one was in reach, the one whose parking
// file has the stand nearest to the position.
std::optional<Airport> gf_closestAirport(const LatLon& position);
// The first airport with exactly this code.
std::optional<Airport> gf_findAirport(const std::string& code);
// "EGLL (LHR)", "EGLL", "? (LHR)".
std::string gf_airportText(const Airport& airport);

}  // namespace vrn
