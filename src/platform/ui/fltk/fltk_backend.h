#pragma once
// The real window: an FLTK window that shows the window model's controls as widgets, repaints the
// invalidated parts with the program's painter and delivers the model's queued messages to the window
// procedure on the GUI thread (the thread that calls gf_runFltkMessageLoop).
#include <functional>

#include "platform/ui/window.h"

namespace vrn {

using PaintProcedure = ui::PaintProcedure;

// Runs until a Quit message arrives and returns its param as the exit code. The model must have been
// created (Window::create); its controls may be created before or by a message handled in the loop.
// `paint` is the program's painter, handed in because it lives above the platform layer.
int gf_runFltkMessageLoop(ui::Window& window, const std::function<void(const ui::Message&)>& wndProc,
                          PaintProcedure paint);

// True when an X display can be opened (the program then chooses this backend).
bool gf_fltkDisplayAvailable();

}  // namespace vrn
