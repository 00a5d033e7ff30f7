#pragma once
// The message loop without a display: it dispatches the window's messages to the window procedure,
// repaints invalidated areas onto a recording surface, and prints the status line to stdout whenever
// it changes, and each line of what the window's top band shows whenever that line changes. SIGINT/SIGTERM (and an optional run time) close the window as the close button would;
// a second signal ends the loop at once.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "platform/ui/window.h"

namespace vrn::ui {

struct HeadlessOptions {
    std::function<std::string()> statusText;                       // the status line, polled
    std::function<std::vector<std::string>()> bandLines;            // the top band as lines, polled
    std::function<void(PaintSurface&, const Rect& area)> paint;    // empty: nothing painted
    std::ostream* out = nullptr;                                   // null: stdout
    int runSeconds = 0;                                            // > 0: close after that many seconds
    bool handleSignals = false;
    int pollMilliseconds = 100;
};

using WindowProcedure = std::function<void(const Message&)>;

// Runs until a Quit message; returns its parameter (130 when a second signal cut the loop short).
int gf_runHeadlessMessageLoop(Window& window, const WindowProcedure& wndProc, const HeadlessOptions& options);

// The status text as the headless loop prints it: "[status] " + text.
std::string gf_statusLineOutput(const std::string& text);

}  // namespace vrn::ui
