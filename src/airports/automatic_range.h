#pragma once
// The automatic traffic radius: LATERAL_RANGE chosen from the user aircraft's state and its distance
// to the first park airport. The traffic start, the main loop, the AUTO_RANGE check box and a learned
// airport file that switches it on all run it.
namespace vrn {

// Sets LATERAL_RANGE in its three forms (not saved) and shows a changed value in its edit field.
void gf_autoLateralRange();
// The radius in nautical miles for a user on the ground or not, at an altitude (feet), at a distance
// (nm) from the first park airport.
int gf_autoRangeFor(bool onGround, double altitudeFeet, double parkAirportDistanceNm);

}  // namespace vrn
