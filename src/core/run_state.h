#pragma once
// The stop flags that every long-running loop polls (scans, readers, the simulator link, the main
// loop), and the count of running worker threads. The exit procedure (app/exit_procedure.h) sets
// them; they live here so that the loops below it can read them with a plain call.
#include <atomic>

namespace vrn {

extern std::atomic<bool> g_exitRequested;   // an exit thread is working
extern std::atomic<bool> g_userStopped;     // the user closed the program
extern std::atomic<int> g_runningThreads;   // run, exit, SimConnect and reader threads
extern std::atomic<bool> g_processEnding;   // the final exit has begun: loops stop for good

// g_exitRequested || g_userStopped (or the process is ending): what every long-running loop polls.
bool gf_exitUnderWay();
// Sets g_processEnding (after the message loop).
void gf_setProcessEnding();

}  // namespace vrn
