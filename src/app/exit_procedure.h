#pragma once
// Every stop of a run goes through gf_requestExit and one exit thread (FinalExit): it stops the
// readers, takes the AI aircraft out of the simulator, ends the RealTraffic link and the SimConnect
// thread, finishes the run's files and then either restarts the program in the same process
// (0x8001 after a countdown) or ends it (0x8002 to the window).
//
// Only one exit or restart is in progress at a time. A request while one runs is ignored, except that
// a non-restart request during a restart countdown ends the program instead of restarting it.
// Every step runs even when an earlier one failed, so the program can always be closed.
#include <atomic>
#include <chrono>
#include <string>

#include "core/run_state.h"

namespace vrn {

enum ExitReason : int {
    EXIT_NOT_YET_SET = 0,
    EXIT_REASON_SIM_WAS_CLOSED = 1,
    EXIT_REASON_RESTART = 2,
    EXIT_RESTART_IPP = 3,
    EXIT_USER_CLOSED_SIM = 4,
    EXIT_SYSTEM_ERROR = 5,
};
// The process's exit status: 0 when the user closed the program (or the simulator ended it), 1 when
// the run ended on an error (a system error, or an error still shown when the window was closed).
inline constexpr int kExitStatusError = 1;

// "NOT_YET_SET", "SIM WAS CLOSED", ...; std::out_of_range for a value that is no reason.
std::string gf_exitReasonName(int reason);

// g_exitRequested, g_userStopped, g_runningThreads and gf_exitUnderWay are in core/run_state.h.
extern std::atomic<int> g_exitReason;
extern std::atomic<bool> g_runThreadActive;  // gf_startUpVRNL is running (a restart waits for its end)

// Ignored while an exit runs and after the final exit was posted.
void gf_requestExit(int reason, int argument);
// The exit thread's body.
void FinalExit(int argument);
// True from an accepted request until the exit thread has posted its final message.
bool gf_exitInProgress();
// Waits until no exit is in progress; false when `timeout` ran out first (tests, process end).
bool gf_waitForExitDone(std::chrono::milliseconds timeout);

// After a final exit: requests are accepted again (tests run many exits in one process).
void gf_resetExitForTests();

}  // namespace vrn
