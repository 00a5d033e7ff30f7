#pragma once
// The steps of the traffic engine that its files hand to each other. They keep the names by which
// the engine's log lines and documents know them; nothing outside src/traffic calls them.
// Run thread only.
#include <cstdint>
#include <string>

#include "feed/udp_readers.h"
#include "traffic/live_aircraft.h"

namespace vrn {

struct Stand;

// ---- Feed records (feed_acceptance.cpp) ----
// Routes one feed record to its live aircraft or makes a new one.
void processLiveUpdate(const TrafficUpdate& update);
// The update's identity against the aircraft's (callsign, registration, route); false drops it.
bool lf_flightDataChange(LiveAircraft& aircraft, const Flight& newer);
// Ends a standing wait at a stand: the samples play again from the next pass.
void lf_restartSamplePlay(LiveAircraft& aircraft);

// ---- Admission and arrival (admission.cpp, arrival.cpp) ----
void lf_admitNewAircraft(LiveAircraft& aircraft);
void lf_processArrival(LiveAircraft& aircraft);
// A ground aircraft that stops takes the nearest free stand; true when it took one.
bool lf_parkAtNearestStand(LiveAircraft& aircraft, bool standing);
// Static parked aircraft on the stand (and blocking neighbours) make place for the live aircraft.
void lf_takeStand(const LiveAircraft& aircraft, const Stand& stand);
// The cargo attribute of the aircraft's stand.
void lf_markCargoStand(const Aircraft& aircraft);
// The wanted number of parked aircraft kept (extra: the aircraft that is just parking).
void lf_checkMaxPark(int extra);
// The position in g_stands of the stand with this number; nullptr when none.
Stand* lf_standById(std::uint32_t standId);

// ---- Movement (movement.cpp) ----
// The oldest sample fell due: step towards the next one (or extrapolate, or remove when dry).
void lf_movementStep(LiveAircraft& aircraft);
// Advances a ground aircraft along its curve by one pass; nothing without a curve.
void lf_followCurve(LiveAircraft& aircraft);
// The simulator reports the aircraft on the ground.
void lf_landed(LiveAircraft& aircraft);
// A created aircraft gets its .pln flight plan (MSFS 2020 only).
void lf_setAiFlightPlan(LiveAircraft& aircraft);
// Under power (a start or a go-around): throttle, spoilers, flaps 1, all lights on, wide shift window.
void lf_powerUp(LiveAircraft& aircraft, int throttle, bool spoilersOn);
// A parked or towed aircraft starts moving under its own power.
void lf_towedTakesOff(LiveAircraft& aircraft);

// ---- Replacement, ghosts, count limit (replacement.cpp, count_limit.cpp) ----
// Removes the ghost (callsign + "_") of this callsign and blocks it.
void lf_ghost(const std::string& callsign);
// A live aircraft not being removed flies under the callsign without its last character.
bool lf_callsignWithoutLastInUse(const std::string& callsign);
// True when no live aircraft in the simulator is more than 0.1 nm farther from the user than d;
// else removes the farthest one.
bool lf_isFarthest(double distanceNm);

// ---- Static parked aircraft (static_placement.cpp) ----
void lf_placeStaticParked();

// The user aircraft's position from the run thread's copy.
LatLon gf_userPositionLatLon();

}  // namespace vrn
