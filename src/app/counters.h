#pragma once
// The live and parked counters of the main window, and the parking label of its settings band.
namespace vrn {

// Once a second (run thread): recounts and repaints only the bands whose numbers or label changed.
void gf_refreshCounters();

}  // namespace vrn
