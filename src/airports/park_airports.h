#pragma once
// airports/my_park_airports.txt: the airports that may become the park airport, each optionally
// with the stand reserved for the user aircraft there.
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>

#include "core/geodesy.h"

namespace vrn {

struct ParkAirportEntry {
    std::string code;
    std::string stand;        // empty for none
    LatLon position;
    double distanceNm = 0.0;  // to the user aircraft at the last sort
};

// Read and sorted on the run thread; the SimConnect thread stores the first entry's stand and
// writes the file. Both hold g_parkAirportListMutex while they touch the list or the file.
extern std::list<ParkAirportEntry> g_parkAirportList;
extern std::recursive_mutex g_parkAirportListMutex;

// Where the user aircraft is (the simulator link sets it); no sort by distance while it is empty.
extern std::function<std::optional<LatLon>()> g_userPositionHook;

// Reads the file into g_parkAirportList, adds the airports of airports/my_thirdparty and sorts the
// list by distance when the user moved (or forceSort). False when a line named an unknown airport
// or stand.
bool gf_readParkAirports(bool forceSort);
// Stores the first list entry in the file (updating its line or adding one; lines sorted).
void gf_writeParkAirports();
bool gf_inParkAirportList(const std::string& code);
// Forgets the position of the last sort (tests, new run).
void gf_resetParkAirportSort();

}  // namespace vrn
