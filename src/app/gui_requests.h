#pragma once
// What the window side hands to the run thread, and what it needs from parts of the program that
// live elsewhere. Requests are atomic flags: the window raises them on the GUI thread, the main loop
// carries them out and clears them.
#include <atomic>
#include <functional>

#include "app/exit_procedure.h"
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

// The two seams the window keeps; each entry starts as the real service.
struct WindowHooks {
    // Kept: window tests press Restart and Exit without starting the real exit thread and its countdown.
    std::function<void(int reason, int argument)> requestExit = gf_requestExit;
    // Kept: the update check ("Check version") needs the project's server; tests give its answer.
    std::function<AvailableUpdates()> listAvailableUpdates = gf_listAvailableUpdates;
};
extern WindowHooks g_windowHooks;

// gf_requestExit through the seam above.
void gf_requestExitFromWindow(int reason, int argument);

// Run thread, once per main-loop turn: serves the window's requests that touch the traffic lists.
void gf_serveWindowRequests();

// Back to no requests and the real services behind the seams (tests).
void gf_resetWindowRequests();

}  // namespace vrn
