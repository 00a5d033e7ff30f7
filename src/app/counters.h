#pragma once
// The live and parked counters of the main window, and the automatic traffic radius.
namespace vrn {

// Once a second (run thread): recounts and repaints only the bands whose numbers changed.
void gf_refreshCounters();
// Chooses LATERAL_RANGE from the user aircraft's state and its distance to the park airport.
void gf_autoLateralRange();
// The radius in nautical miles for a user on the ground or not, at an altitude (feet), at a distance
// (nm) from the first park airport.
int gf_autoRangeFor(bool onGround, double altitudeFeet, double parkAirportDistanceNm);

}  // namespace vrn
