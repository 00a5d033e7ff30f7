#pragma once
// The 39 child controls of the settings band: check boxes, edit fields whose Enter key applies the
// typed value, and push buttons.
#include "platform/ui/window.h"

namespace vrn {

inline constexpr int kControlCount = 39;

// The window's creation work: every control in window order, then the settings band is repainted.
void gf_createControls(ui::Window& window);

}  // namespace vrn
