#pragma once
// The window procedure of the main window and the process's start: it routes commands, the close
// button and the two private messages (0x8001 starts a run thread, 0x8002 is the final exit).
#include <functional>
#include <string>

#include "core/version.h"
#include "platform/ui/window.h"

namespace vrn {

void gf_wndProc(ui::Window& window, const ui::Message& message);

using MessageLoop = std::function<int(ui::Window&, const std::function<void(const ui::Message&)>&)>;
// Creates the main window and its controls, makes the data folder, posts 0x8001 and runs the loop.
// `classAndTitle` names the window class and is the window's title (on Windows: string resource 101).
// Returns the Quit message's parameter, or 0 when the window could not be created.
int gf_initInstanceAndRun(ui::Window& window, const MessageLoop& messageLoop,
                          const std::string& classAndTitle = g_programName);

// Process end: stops a run thread that is still running and waits for it.
void gf_endRunThread();
// Whether a run thread object holds a running thread (tests).
bool gf_runThreadJoinable();

}  // namespace vrn
