#pragma once
// The live and parked counters of the main window.
namespace vrn {

// Once a second (run thread): recounts and repaints only the bands whose numbers changed.
void gf_refreshCounters();

}  // namespace vrn
