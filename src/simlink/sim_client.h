#pragma once
// The SimConnect thread "SimClient": it opens the connection (retrying once a second), registers
// every id, calls the dispatch every millisecond and handles every message the simulator sends.
//
// What the run thread, the traffic start and the exit procedure call:
//   traffic start   gf_reserveSimCommandQueues(); g_requestsBroken = false; gf_startSimClient();
//                   then wait for g_flightRunning and a valid user position (gf_requestUserAircraftPosition).
//   main loop       reads g_flightRunning, consumes g_simTick, drains g_simEvents every pass.
//   exit            queue the removals, let a second of frames send them, gf_requestSimClientStop(),
//                   gf_joinSimClient() (the thread closes its connection itself), and only then
//                   gf_resetSimLinkForNextRun() before a new run starts the thread again.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <stop_token>
#include <string>

#include "platform/simconnect/simconnect_api.h"

namespace vrn {

inline constexpr const char* kMsfs2020AppName = "KittyHawk";
inline constexpr const char* kMsfs2024AppName = "SunRise";

extern std::atomic<simconnect::HANDLE> g_hSimConnect;   // the connection; null while there is none
extern std::atomic<bool> g_flightRunning;
extern std::atomic<int> g_frameCount;        // Frame events since the frame rate was stored (0..29)
extern std::atomic<float> g_frameRate;       // fFrameRate of every 30th Frame event; kept across runs
extern std::atomic<int> g_requestErrorCount;
extern std::atomic<bool> g_requestsBroken;

// The thread function.
void SimClient(std::stop_token stop);

// Starts the thread; a previous one is stopped and joined first.
void gf_startSimClient();
void gf_requestSimClientStop();
void gf_joinSimClient();
bool gf_simClientRunning();

// Per-run state of the link back to its start (queues, pending creations, added objects, user
// aircraft, request errors). Only while no SimConnect thread runs.
void gf_resetSimLinkForNextRun();

// To be called right after a SimConnect request reported a failure (any thread).
void gf_countSimConnectRequestError();

// One open attempt with the registration of every id; false when the simulator does not answer.
bool gf_simClientOpen();
// One SimConnect_CallDispatch with the thread's handling of exceptions; false when the thread must
// end (user error, lost simulator, other failure). Used by the thread and by tests.
bool gf_simClientDispatchOnce();
// The connection's end on a normal stop: definitions and subscriptions cleared, closed, no exit asked.
void gf_closeSimConnectQuietly();

// Tests shorten the pause between open attempts (default 1 s).
void gf_setSimClientRetryDelayForTests(std::chrono::milliseconds delay);

}  // namespace vrn
