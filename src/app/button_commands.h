#pragma once
// Clicks on the check boxes and push buttons of the main window, the blocking of a callsign and the
// check of a typed simulator packages folder. GUI thread.
#include <cstdint>
#include <string>

#include "platform/ui/window.h"
#include "settings/setting_classes.h"

namespace vrn {

// The window procedure's WM_COMMAND work. A failure is shown on the status line, never thrown.
void gf_onCommand(ui::Window& window, std::uint16_t id);
// The same, throwing; false when `id` is a control of the window (handled), true otherwise.
bool gf_runCommand(ui::Window& window, std::uint16_t id);

// Enter in the BLOCK_CALLSIGN field.
void gf_blockCallsign();
// "Unblock", and an emptied BLOCK_CALLSIGN field.
void gf_unblockCallsign();
// Enter in an install-path field: `text` must be the packages folder or its Community folder.
void gf_newSimPath(StringEditParameter& setting, const std::string& text);
// Why an install path cannot serve, as the text the status line shows; empty when it can.
std::string gf_installPathProblem(const std::string& text);

}  // namespace vrn
