#pragma once
// mainLoop: the run's 10 ms heart beat on the run thread. Every turn makes one traffic pass while a
// flight runs; when the SimConnect thread has raised the once-a-second tick the per-second work and
// the jobs counted in seconds run as well. The loop leaves as soon as an exit is under way (tested on
// every turn) and, on any way out, stops the Traffic Reader from queueing records.
#include <atomic>

#include "app/gui_requests.h"
#include "core/time_of_week.h"

namespace vrn {

extern std::atomic<int> g_secondCounter;      // seconds of the run, back to 0 at 86400
extern std::atomic<bool> g_flightPaused;
extern std::atomic<int> g_pausedCountdown;
extern std::atomic<bool> g_mainLoopActive;    // mainLoop is running (the exit thread waits for it)

// The window's requests (app/gui_requests.h) are served here; the renewal's first step
// (callsign collection) is remembered between its two 15-second steps.
extern std::atomic<bool> g_staticRenewStep;

// Which jobs a second s (after it was raised) runs, apart from the renewal state.
struct SecondJobs {
    bool every15 = false;       // reference position, Qs123, reserved stand, re-read, renewal, watchdog
    bool refresh16 = false;     // gf_refreshStaticParking(false), unless between the renewal steps
    bool flowCheck59 = false;   // gf_checkTrafficFlow
    bool sameCallsign61 = false;
    bool every30 = false;
    bool minute60 = false;      // renewal minutes painted
    bool mark1200 = false;      // no-match log, renewal request
    bool day86400 = false;      // counter back to 0, summary, remembered liveries
};
SecondJobs gf_secondJobs(int s);
// Minutes left until the next 20-minute mark, at a second s that is a multiple of 60.
int gf_renewalMinutes(int s);

void mainLoop();
// The run thread takes the traffic lists (static refresh, passes): marks g_mainLoopActive and answers
// true, or answers false (unmarked) when an exit is already under way. The exit thread sets its flag
// before it looks at g_mainLoopActive, so one of the two always sees the other.
bool gf_enterTrafficPhase();
void gf_leaveTrafficPhase();
// The loop's per-run state back to its start (restart).
void gf_resetMainLoopState();

}  // namespace vrn
