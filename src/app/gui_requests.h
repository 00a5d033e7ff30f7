#pragma once
// What the window side hands to the run thread, and what it needs from parts of the program that
// live elsewhere. Requests are atomic flags: the window raises them on the GUI thread, the main loop
// carries them out and clears them. The hooks are seams to services that are not in this folder;
// an empty hook means "nothing there yet" and is answered with the neutral value named beside it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "airports/park_airport_choice.h"
#include "update/program_update.h"

namespace vrn {

// Raised by the window, served and cleared by the main loop.
extern std::atomic<bool> g_rereadRequest;          // "Re-read": re-read the park airports
extern std::atomic<bool> g_flushStaticRequest;     // "Flush static": remove every static parked aircraft
extern std::atomic<bool> g_blockRequest;           // BLOCK_CALLSIGN changed: remove the blocked aircraft
extern std::atomic<bool> g_callsignLookupRequest;  // CALLSIGN_2_OBJECTID typed: look the callsign up
extern std::atomic<bool> g_clearRefusedRequest;    // MATCHING_DEPTH raised: forget refused flights
extern std::atomic<bool> g_staticRenew;            // a static-parking setting changed: renew them
// Served by gf_serveWindowRequests on the run thread, because they touch the traffic lists.
extern std::atomic<bool> g_navLightsRequest;       // NAV_LIGHTS_WHILE_PARKED toggled
extern std::atomic<bool> g_enforceMaxCountRequest; // MAX_LIVE changed

// The manual traffic radius, kept while AUTO_RANGE chooses it (the run thread sets it at start-up).
extern std::atomic<int> g_userLateralRange;

struct WindowHooks {
    // The exit procedure: gf_requestExit(reason, argument). Empty: nothing happens.
    std::function<void(int reason, int argument)> requestExit;
    // The main loop's second counter. Empty: 0.
    std::function<int()> secondCounter;
    // The update check ("Check version"): what is newer, empty when up to date. Tests replace it.
    std::function<AvailableUpdates()> listAvailableUpdates = gf_listAvailableUpdates;

    // Static parking. Empty: no parking file loaded, not busy, no reserved stand.
    std::function<bool()> parkFileLoaded;
    std::function<bool()> parkingBusy;
    // Airports waiting in TO_BE_LEARNED_OFFLINE. Empty: the count of the last airport scan.
    std::function<int()> toBeLearnedCount;
    std::function<std::string()> reservedStandName;
    // gf_refreshStaticParkedHours(show): the count of static parked aircraft (updates the average).
    std::function<int(bool show)> refreshStaticParkedHours;
    // Object ids of the static parked aircraft in the simulator.
    std::function<std::vector<std::uint32_t>()> staticParkedObjectIds;

    // Live traffic. Empty: no live aircraft.
    // Live aircraft in the simulator that are not parked at a stand.
    std::function<int()> liveNotParkedCount;
    // gf_refreshLiveParkedHours(show): the count of live aircraft parked at stands.
    std::function<int(bool show)> refreshLiveParkedHours;
    // Object ids of the live aircraft in the simulator that are parked at a stand.
    std::function<std::vector<std::uint32_t>()> liveParkedObjectIds;
    // gf_enforceMaxCount.
    std::function<void()> enforceMaxCount;
};

// Installed at start-up, before the threads that call them run; not changed while they run.
extern WindowHooks g_windowHooks;

// The hooks with their neutral answers.
void gf_requestExitFromWindow(int reason, int argument);
int gf_windowSecondCounter();
bool gf_parkFileLoaded();
bool gf_parkingBusy();

// Run thread, once per main-loop turn: serves the window's requests that touch the traffic lists.
void gf_serveWindowRequests();

// Back to no requests and empty hooks (tests).
void gf_resetWindowRequests();

}  // namespace vrn
