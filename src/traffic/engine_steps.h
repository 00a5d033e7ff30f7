#pragma once
// The steps of the traffic engine that its files hand to each other. They keep the names by which
// the engine's log lines and documents know them; nothing outside src/traffic calls them.
// Run thread only.
#include <cstdint>
#include <string>

#include "feed/udp_readers.h"
#include "records/live_aircraft.h"

namespace vrn {

struct Stand;

// A roll that speeds up through this speed is a take-off roll (no taxi is this fast); reported
// speeds on a roll scatter by up to kRollSpeedScatterKn.
inline constexpr double kTakeoffRollKn = 43.0;
inline constexpr double kRollSpeedScatterKn = 5.0;

// ---- Feed records (feed_acceptance.cpp) ----
// Routes one feed record to its live aircraft or makes a new one.
void processLiveUpdate(const TrafficUpdate& update);
// The update's identity against the aircraft's (callsign, registration, route); false drops it.
bool lf_flightDataChange(LiveAircraft& aircraft, const Flight& newer);
// Ends a standing wait at a stand: the samples play again from the next pass.
void lf_restartSamplePlay(LiveAircraft& aircraft);

// ---- The ground phase from the aircraft's history (ground_phase.cpp) ----
// One more real record of the aircraft (it passed the timing and jump filters).
void lf_noteRecord(LiveAircraft& aircraft, double feedTime, const PositionSample& record);
// One of its airborne records of the last two minutes or so lay at exactly this position.
bool lf_flownBefore(const LiveAircraft& aircraft, double latitude, double longitude);
// An airborne record of it at this position, heard but passed over (lf_flownBefore knows it).
void lf_noteFlown(LiveAircraft& aircraft, double latitude, double longitude);
// Its newest records speed up along one heading to take-off roll speed, whatever its history (a
// touch and go's roll does; a landing roll does not).
bool lf_rollSpeedsUp(const LiveAircraft& aircraft);
// Records (oldest first, ending on the ground) whose two newest each end a roll speeding up along one
// heading to take-off roll speed: a feed that begins on a take-off roll.
bool lf_recordsRollForTakeoff(const std::deque<RunRecord>& records);
// A ground aircraft in the simulator starts under power, or gives up its take-off roll, as its
// history says: after each record, at touchdown, and when it is first in the simulator.
void lf_judgeGroundPhase(LiveAircraft& aircraft);
// Its records end or pause on the ground (made-up motion begins): a roll speeding up at its newest
// record goes on to lift off; a roll under way whose last two records slow clearly is given up.
void lf_judgeAtRecordsEnd(LiveAircraft& aircraft);
// Flying records of an aircraft the simulator has on the ground, with no take-off roll in its records
// (it stood, parked, or landed and slowed): it flies again, but no roll takes it there.
bool lf_fliesAgain(const LiveAircraft& aircraft);
// The speed of its class at which a take-off roll lifts off (kn).
double lf_liftOffKn(const LiveAircraft& aircraft);
// Made-up motion on the ground: the speed of a sample `seconds` after one at `knots` (braking to a
// stop, or the take-off roll speeding up), with the vertical speed that lifts it off; and the point
// `feet` along the take-off roll's line past the foot of `from` on it.
double lf_madeUpGroundKn(const LiveAircraft& aircraft, double knots, double seconds, double& verticalSpeed);
LatLon lf_alongRollLine(const LiveAircraft& aircraft, const LatLon& from, double feet);

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
// The aircraft no longer holds its stand (it left, drove on or goes): the stand is free again,
// unless another live aircraft stands at it or rolls onto it meanwhile. A reservation the aircraft
// made on parking ends.
void gf_releaseStand(const Aircraft& aircraft);

// ---- Movement (movement.cpp) ----
// The oldest sample fell due: step towards the next one (or extrapolate, or remove when dry).
void lf_movementStep(LiveAircraft& aircraft);
// The step proper and its ground and air branches.
void lf_airGroundStep(LiveAircraft& aircraft);
void lf_takeoffStep(LiveAircraft& aircraft);
// Under power on the ground, heading for its sample `next` (0: between samples): lifts off once it
// rolls as fast as its records fly.
void lf_liftOffWhenFast(LiveAircraft& aircraft, std::size_t next);
void lf_airStep(LiveAircraft& aircraft, int passes, const PositionSample& next);
// Take-off; touchdown on the simulator's on-ground report; the landing roll's throttle and spoilers.
void lf_tookOff(LiveAircraft& aircraft);
void lf_landed(LiveAircraft& aircraft);
void lf_rollThrottleSpoilers(LiveAircraft& aircraft);
// A created aircraft gets its .pln flight plan (MSFS 2020 only).
void lf_setAiFlightPlan(LiveAircraft& aircraft);
// Made-up samples when the feed falls silent; false when none may be made (the aircraft goes).
void lf_extendSamples(LiveAircraft& aircraft, int count);
bool lf_keepPlaying(LiveAircraft& aircraft);
// The next sample's due pass from distance and speed, or from a number of passes: only made-up
// samples move; a real sample keeps the pass its record set.
void lf_retimeNextSample(LiveAircraft& aircraft);
void lf_setNextDuePass(LiveAircraft& aircraft, int passes);
// A sample half way between the two oldest.
void lf_insertMidSample(LiveAircraft& aircraft);

// ---- Back onto the records' path after made-up motion (rejoin.cpp) ----
// The turn rate (degrees a second) of the aircraft's class in the air.
double lf_classTurnDegPerS(const Aircraft& aircraft);
// The turn per pass (radians) in the air at a speed (kn): the class's rate, or a 30-degree bank's.
double lf_turnRatePerPass(const LiveAircraft& aircraft, double kn);
// Records came again after made-up motion: an aircraft in the air steers back onto their path.
void lf_startRejoin(LiveAircraft& aircraft);
// Every pass while it steers back: heading, speed, height and the per-pass steps along its nose.
void lf_rejoinStep(LiveAircraft& aircraft);
// What its records did since its made-up motion or its steering back began: "no records came", or
// that they came and why none was taken.
std::string lf_whatItsRecordsDid(const LiveAircraft& aircraft);
// In the air, its next record lies well off its nose (records that turned back, a feed moved in time):
// it steers there along its nose, or is created again there when that lies beyond a minute of flight.
// True when it no longer plays the record as a plain step.
bool lf_steerToRecordOffNose(LiveAircraft& aircraft);
// Where its queued records put it at a pass (before the first, back along its way; after the last, on),
// counting from the sample `from` (the one it left is 0 once it moves; before, 0 is its first record).
LatLon lf_recordsAt(const LiveAircraft& aircraft, int pass, std::size_t from = 1);
// A new moving aircraft is placed where its records put it when its object is expected (at its
// creation request) and when it arrives, so that it moves with them from its first pass.
bool lf_placedWithItsRecords(LiveAircraft& aircraft, int pass);
// On the ground only a roll along a runway is placed so (it goes on straight); a taxi is taken up where
// its first record puts it and waits for it.
bool lf_rollsFromItsFirstPass(const PositionSample& first);
// Taken out of the simulator and created again at `at`, with its records to come; the log says why.
void gf_createAgainAtRecords(LiveAircraft& aircraft, const LatLon& at, const std::string& why);
// In the air, a record more than a few seconds ahead is reached along a curve through sub-samples.
void lf_curveToNextRecord(LiveAircraft& aircraft);
// Configuration of an airborne aircraft climbing away or approaching, and its approach descent (ft/min).
void lf_climbConfiguration(LiveAircraft& aircraft);
void lf_approachConfiguration(LiveAircraft& aircraft);
double lf_approachVerticalSpeed(const LiveAircraft& aircraft);

// ---- Ground movement and per-pass attitude (ground_movement.cpp) ----
// Every pass: position along the curve or by the steps, heading, attitude and height.
void lf_followCurve(LiveAircraft& aircraft);
// One more record's ground speed by the pass it falls due, every record the feed sent and not only
// those played: what its taxi pace is held to about each second.
void lf_noteRecordKn(LiveAircraft& aircraft, const PositionSample& record);
// Once per sample on the ground: push back, turns, arrival on a stand, leaving it, re-timing.
void lf_groundPhaseStep(LiveAircraft& aircraft);
void lf_pullOut(LiveAircraft& aircraft);
void lf_pushBack(LiveAircraft& aircraft);
// A quadratic curve from the oldest through the next to the third sample (the next one leaves the queue).
void lf_makeCurve(LiveAircraft& aircraft, double turnAngleDeg);
// Under power now: the curve and corner under way are taken as a take-off roll takes them.
void lf_limitsUnderPower(LiveAircraft& aircraft);
void lf_checkSpeedChange(LiveAircraft& aircraft);
void lf_groundRetime(LiveAircraft& aircraft);
// A sample at the manoeuvre speed to the position, and a standing copy of it.
void lf_addManoeuvreSample(LiveAircraft& aircraft, const LatLon& position, double heading);

// ---- Towing, livery change (towing.cpp) ----
// Re-creates the aircraft in the simulator at its current position (a new livery).
void lf_liveryChange(LiveAircraft& aircraft);
// An aircraft rolling onto its stand has arrived there (within 2 m) and parks; it reserves a stand
// that nothing reserved yet.
void lf_towedParks(LiveAircraft& aircraft);
// Ends the reservation of the aircraft's stand when this aircraft made it on parking; any other
// aircraft leaves the stand's reservation as it is.
void gf_endTowReservation(const Aircraft& aircraft);
// The stands are replaced: the reservations made on the old ones are forgotten.
void gf_forgetTowReservations();
// Under power (a start or a go-around): throttle, spoilers, flaps 1, all lights on.
void lf_powerUp(LiveAircraft& aircraft, int throttle, bool spoilersOn);
// A parked or towed aircraft starts moving under its own power.
void lf_towedTakesOff(LiveAircraft& aircraft);
// An aircraft in the air whose next samples are on the ground.
void lf_descendToGround(LiveAircraft& aircraft);
bool lf_dropToGround(LiveAircraft& aircraft, int k);

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
