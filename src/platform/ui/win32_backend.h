#pragma once
// Windows: the window model shown as a real Win32 window. The window and its child controls (button
// check boxes, push buttons, bordered edit fields subclassed for Enter) are made from the model, the
// program's painter draws on the window's device context through GDI in WM_PAINT, and the model's
// messages are delivered to the window procedure on the GUI thread (the thread that runs the loop).
#if defined(_WIN32)
#include <functional>
#include <optional>

#include "platform/ui/window.h"

namespace vrn::ui {

// Runs the Win32 message loop until a Quit message of the model arrives and returns its param.
// Without a window (Windows refused to create it, as Wine does without a display) it returns nothing
// and the caller runs headless. The model must have been created (Window::create).
std::optional<int> gf_runWin32MessageLoop(Window& window, const std::function<void(const Message&)>& wndProc,
                                          PaintProcedure paint);

}  // namespace vrn::ui
#endif
