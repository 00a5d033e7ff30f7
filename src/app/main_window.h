#pragma once
// The main window's creation at the saved position, its text drawing and its position at the exit.
// What it shows (texts, counters, status line) lives in display/window_state.h, which every thread
// writes; this header forwards it for the window side.
#include <string>

#include "display/window_state.h"
#include "platform/ui/window.h"

namespace vrn {

// Creates the main window on `window` at the saved position; false when it cannot.
bool initInstance(ui::Window& window, const std::string& classAndTitle);
// Draws one UTF-8 text; an invalid text is logged and not drawn.
void lf_textOut(ui::PaintSurface& surface, int x, int y, const std::string& text, ui::Colour colour);
// At the final exit, after the window's current edges were stored and saved.
void lf_setWindowPos(int previousX, int previousY);

}  // namespace vrn
