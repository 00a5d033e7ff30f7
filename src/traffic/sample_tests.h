#pragma once
// Small tests and steps over a live aircraft's queue of position samples (oldest first) that the
// movement, take-off and admission steps use. Run thread.
#include "records/live_aircraft.h"

namespace vrn {

// Every sample from the second on is on the ground (also true with fewer than two).
bool gf_allSamplesOnGround(const LiveAircraft& aircraft);
// The turn ahead: bearing from the second to the third sample minus `nose` (the heading the aircraft
// will have there), (-pi, pi]; 0 with fewer than three samples.
double gf_bearingChangeAhead(const LiveAircraft& aircraft, double nose);
// Knots between the two oldest samples: their mean ground speed, or from their distance and due
// passes when they carry no usable speed (at least 1 kn, never zero or non-finite).
double gf_sampleSpeed(const LiveAircraft& aircraft);
// Sets the per-pass bank step towards the target bank (radians, clamped to the class's limit) over
// the given passes, limited to the class's step per pass.
void gf_setAttitudeStep(LiveAircraft& aircraft, double targetBank, int passes);
// The aircraft has a position block of its own: it has been in the simulator before.
bool gf_hasPositionBlock(const LiveAircraft& aircraft);
// The oldest sample lies within 6 nm of the user aircraft, less than 3000 ft from its altitude and
// the user at most 4000 ft from the line through it along the aircraft's course: its current course,
// or the oldest sample's track while it has no position block.
bool gf_closeToUserPath(const LiveAircraft& aircraft);

}  // namespace vrn
