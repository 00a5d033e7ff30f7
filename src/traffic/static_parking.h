#pragma once
// Static parking: which stands of the park airport get a static parked aircraft, and of which
// airline, model and registration, from the learned uses of each stand at this half hour of this
// day (or up to MAX_FIT half hours back), real uses before soft ones. The result is the placement
// list g_staticPlacements (traffic/traffic_lists.h), which the traffic pass works off one aircraft
// per 50th pass. The 20-minute adjustment renews it against what already stands at the airport.
//
// Comes from: the park airport choice (park_airport_choice.h) and the main loop's renewal.
// Goes to: g_staticPlacements and, for removals, the traffic engine. Run thread only; every
// computation holds g_standsMutex.
#include <cstdint>
#include <string>
#include <vector>

#include "core/time_of_week.h"
#include "records/stand_records.h"

namespace vrn {

// One use chosen by the stand search.
struct StaticCandidate {
    std::string airline;
    std::string model;
    std::uint32_t standNumber = 0;
    std::uint32_t fitOffset = 0;   // half hours back from now
    std::string registration;
    std::string callsign;
    std::string coupledCallsign;
    bool stays = true;             // still at the stand in the next half hour
};

// A static parked aircraft that may stay where it is.
struct StaticKept {
    std::string callsign;
    std::string knownCallsign;
    std::string coupledCallsign;
    std::string airline;
    std::string model;
    DaySlot standTime = 0;
    std::uint32_t standNumber = 0;
    std::uint8_t flag = 0;          // leaves within the next half hour
};

// A static parked aircraft that has to go.
struct StaticRemoval {
    std::string callsign;
    std::uint32_t standNumber = 0;
};

extern std::vector<StaticKept> g_staticKept;
extern std::vector<StaticRemoval> g_staticRemovals;
// The fit offsets the last searches reached; the soft one is -1 after a real-only computation.
extern int g_realFitOffset;
extern int g_softFitOffset;

// The placement list from scratch (a new park airport).
void lf_parkingPercentage();
// The renewal: live stayers and static aircraft that may stay are kept, the rest is filled up or
// taken away.
void gf_parkingAdjustments();
// The stand taken and every stand next to it blocked.
void gf_blockStandAndAdjacent(Stand& stand);
// The count of static parked aircraft in the simulator; with store, their average parked time
// (hours) goes to the main window.
int gf_refreshStaticParkedHours(bool store);
// Empties the kept and removal lists (a park airport is given up).
void gf_clearStaticParkingLists();

}  // namespace vrn
