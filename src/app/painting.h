#pragma once
// The hand-painted main window: every label, counter and state box at its fixed position, drawn from
// the main window's members and the settings. GUI thread only.
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/window.h"

namespace vrn {

// The copyright line of the title band.
extern const char* const g_copyrightText;

// Paints the whole window on `surface`; `area` is the part to be redrawn (the surface clips to it).
void gf_paint(ui::PaintSurface& surface, const ui::Rect& area);

// The "Airport parking:" label of the settings band: its text and colour, and the minutes to the
// next static parking renewal it shows (0: none).
struct ParkingLabel {
    std::string_view text;   // a literal
    ui::Colour colour = 0;
    int minutes = 0;
    bool operator==(const ParkingLabel&) const = default;
};
ParkingLabel gf_parkingLabel();

// What the top band shows, as short lines for a run without a display: the simulator, RealTraffic,
// the QNH and the live and parked counts. A line is empty while its part of the band shows nothing.
std::vector<std::string> gf_topBandLines();

}  // namespace vrn
