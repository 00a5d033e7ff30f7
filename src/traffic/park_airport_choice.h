#pragma once
// The park airport: chosen every 16th second (and at traffic start) from where the user aircraft
// is, loaded with its learned uses, filled by static parking, and given up again (its aircraft
// removed, its learned file saved, MAX_LIVE restored) when the user flies out of sight.
//
// Airborne, the nearest airport of my_park_airports.txt within AIRPORT_RANGE and below
// AIRPORT_HEIGHT; on the ground, the closest airport that has a parking file. Run thread only.
#include <atomic>
#include <string>

namespace vrn {

// Raised by the window when a static-parking setting changed: the park airport's parking data is
// read again at the next step.
extern std::atomic<bool> g_parkSettingsChanged;

// The 16-second step; showCalculating shows the computation on the status line (traffic start).
void gf_refreshStaticParking(bool showCalculating);
// The "Re-read" command: the park airports read again and the reserved stand checked. True with a
// text for the status line.
bool gf_checkReservedStands(bool check, std::string& result);
// A park airport is set and its stands are loaded (the renewal runs only then).
bool gf_parkAirportHasStands();
// A new run: no park airport chosen, none waiting to load, no airport remembered as failing.
void gf_resetParkAirportChoice();

}  // namespace vrn
