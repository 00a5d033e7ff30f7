#pragma once
// The program's start below its entry point, shared by the Linux main and the Windows wWinMain: the
// run-time and port settings of the environment, Log.txt, the main window (or the headless loop that
// prints the status line) and the end of the process. The entry has taken the single-instance lock.
#include <functional>
#include <optional>
#include <string>

#include "core/version.h"
#include "platform/ui/headless_backend.h"
#include "platform/ui/window.h"

namespace vrn {

// Exit statuses of a start that is refused before any run (a run's own are in exit_procedure.h).
inline constexpr int kExitStatusUsage = 2;            // an environment value that cannot be used
inline constexpr int kExitStatusSecondInstance = 3;   // another instance runs for this user (Linux)

struct ProgramEntry {
    std::string classAndTitle = g_programName;
    // The real window's message loop; nothing when this build has none or the window could not be
    // made, and the program then runs headless.
    std::function<std::optional<int>(ui::Window&, const ui::WindowProcedure&)> windowLoop;
    // Whether a window is wanted at all (VARNEL_HEADLESS unset and a display there).
    bool windowWanted = false;
    // Before anything is written to standard output or error (a GUI program on Windows has no
    // console of its own); does nothing unless set.
    std::function<void()> attachOutput = [] {};
    // Right after Log.txt is open, before the window (Windows: loads SimConnect.dll); may be empty.
    std::function<void()> afterLogStart;
};

// Whether VARNEL_HEADLESS asks for no window ("0" and empty do not).
bool gf_headlessAsked();

// Runs the program to its end and returns the process's exit status.
int gf_runProgram(const ProgramEntry& entry);

}  // namespace vrn
