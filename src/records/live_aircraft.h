#pragma once
// One aircraft of the live feed as the program shows it in the simulator: its Aircraft record, the
// position block sent on every frame, the queue of feed positions still to be played, and the phase
// and movement values of the movement step. PositionSample is one feed position with the traffic pass
// at which it is to be reached.
#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <limits>
#include <utility>
#include <vector>

#include "records/flight_records.h"

namespace vrn {

struct PositionSample {
    double latitude = 0.0;        // degrees
    double longitude = 0.0;       // degrees
    double bank = 0.0;            // radians, from the feed's roll (sign inverted)
    std::uint8_t bankGiven = 0;   // the feed record carried a usable roll
    double heading = 0.0;         // true heading, radians
    std::uint8_t headingGiven = 0;
    double altitude = 0.0;        // feet; 0 on the ground
    double groundSpeed = 0.0;     // knots
    double track = 0.0;           // degrees
    double verticalSpeed = 0.0;   // feet per minute
    double trueAirspeed = 0.0;    // knots
    std::int32_t duePass = 0;     // g_tickCounter value at which this position is to be reached
    std::uint8_t airborne = 0;
    std::uint8_t standing = 0;    // repeats the previous sample's position
    std::uint8_t headingKnown = 0;
    std::uint8_t between = 0;     // put midway between two records by the program, not one of them
};

// The record gave a track: the parser leaves 0 where it had neither track nor heading.
inline LatLon gf_at(const PositionSample& s) { return {s.latitude, s.longitude}; }
inline bool gf_trackGiven(const PositionSample& s) { return s.track != 0.0 || s.headingGiven != 0; }

// A real feed record as the ground phase reads an aircraft's history.
struct RunRecord {
    double time = 0.0;       // the record's own time stamp, seconds
    double knots = 0.0;      // ground speed
    double trackDeg = 0.0;
    double latitude = 0.0;
    double longitude = 0.0;
    std::uint8_t airborne = 0;
    std::uint8_t trackKnown = 1;   // 0: the record gave no track (nor heading), and none could be had from positions
    double altitude = 0.0;         // feet; 0 on the ground
};
inline LatLon gf_at(const RunRecord& r) { return {r.latitude, r.longitude}; }
inline constexpr std::size_t kRunRecordsKept = 24;

// Phases of a live aircraft.
enum LivePhase : std::int32_t {
    PHASE_PUSHING_BACK = 0,
    PHASE_LEAVING_STAND = 1,
    PHASE_MOVING = 2,
    PHASE_AFTER_TAKEOFF = 3,
    PHASE_AIRBORNE = 4,
    PHASE_STAND_CLEANUP = 5,
    PHASE_AT_STAND = 6,
    PHASE_NEW = 7,
};

// The eight values sent to the simulator on every frame.
struct PositionBlock {
    double latitude = 0.0;       // degrees
    double longitude = 0.0;      // degrees
    double pitch = 0.0;          // radians
    double bank = 0.0;           // radians (the attitude angle)
    double heading = 0.0;        // radians (the current course)
    double altitude = 0.0;       // feet
    double verticalSpeed = 0.0;  // feet per second
    double trueAirspeed = 0.0;   // knots
};

inline constexpr std::size_t kMaxQueuedSamples = 200;

struct LiveAircraft : Aircraft {
    // Copies the aircraft, sets the initial values and queues the first sample.
    LiveAircraft(const Aircraft& aircraft, const PositionSample& first, double feedTimeStamp);

    PositionBlock position;
    std::deque<PositionSample> samples;   // oldest first
    double lastSampleTime = 0.0;          // seconds since 1970 of the newest accepted feed record
    std::chrono::steady_clock::time_point timeAtStand{};   // last sample within the stand radius
    std::int32_t extrapolationCount = 0;  // 0 real samples; n > 0 may make up n; -1 exhausted
    std::int32_t phase = PHASE_NEW;
    std::int32_t previousPhase = PHASE_NEW;
    std::uint8_t removeMark = 0;
    std::uint8_t standSeen = 0;
    std::uint8_t onGround = 0;
    std::uint8_t nearUser = 0;

    // Per-pass steps.
    double latitudeStep = 0.0;
    double longitudeStep = 0.0;
    double pitchStep = 0.0;
    double bankStep = 0.0;            // the per-pass attitude step
    double headingStep = 0.0;
    double climbPerPass = 0.0;        // feet
    double verticalSpeedFpm = 0.0;
    double speed = 0.0;               // knots; negative while pushing back
    // The speed it moves along its path (kn; NaN until it first moves), changed every pass towards
    // the pace that reaches the next sample on time within its records' speeds and its class's
    // acceleration; the speeds its records report at the ends of the way it follows, the pass that
    // way began, and the length of a ground curve (nm) and how much of it is behind.
    double paceKn = std::numeric_limits<double>::quiet_NaN();
    double wayFromKn = 0.0;
    double wayToKn = 0.0;
    std::int32_t wayFromPass = 0;
    double curveLengthNm = 0.0;
    double curveMostKn = 0.0;    // the fastest it turns along the curve at its class's quickest rate
    double curveKnHere = 0.0;    // a taxi's fastest from where it is on the curve, worked out at curveKnPass
    std::int32_t curveKnPass = -1;
    std::uint8_t pastNext = 0;   // early at a sample: it goes on along its nose (degrees per nm of it)
    double pastNorth = 0.0;
    double pastEast = 0.0;
    double carriedNm = 0.0;      // the part of a pass's way beyond the sample it reached
    // Per way, kept rather than worked out every pass: the cosine of its latitude, and whether a sharp
    // corner follows its end (-1: not yet known for this many samples queued).
    double wayCosLat = 1.0;
    std::int32_t cornerKnownFor = -1;
    std::uint8_t cornering = 0;   // its way lies further off its nose than it may slip

    // The current ground curve; a NaN control point means no curve is set.
    CurvePath curve{0.0, 0.0, 0.0, 0.0, 0.0, 0.0, std::numeric_limits<double>::quiet_NaN(),
                    std::numeric_limits<double>::quiet_NaN()};
    double curveProgress = 0.0;       // t, 0 .. 0.999999
    double curveStep = 0.0;           // t per pass
    double curveTurnAngle = 0.0;      // radians

    std::int32_t pushBackStage = 0;
    std::int32_t rotationCountdown = 1;
    std::int32_t creepCount = 0;
    double bearingToNext = 0.0;
    double altitudeAboveGround = 2500.0;
    double largestLeavingDistance = 0.0;   // nm
    double creepReference = 0.0;           // nm
    double creepLargest = 0.0;             // nm
    std::uint8_t turnRight = 0;
    std::uint8_t turnSideKnown = 0;
    std::int32_t curveKind = 0;            // 0..4; the flare stage while landing
    double flareReferenceHeight = std::numeric_limits<double>::quiet_NaN();   // ft above the park airport; NaN: not yet taken
    double rollHeading = 0.0;              // heading at touchdown during the landing roll; 0 none
    PositionSample finalTurnSample;        // stored final-turn sample of a push back

    std::uint8_t onApproach = 0;
    std::uint8_t shortStayCheck = 0;
    std::uint8_t shortStay = 0;
    std::uint8_t climbConfigured = 0;
    std::uint8_t underPower = 0;
    std::uint8_t lightsAbove10000 = 0;
    std::uint8_t lightsBelow10000 = 0;
    std::uint8_t touchedDown = 0;
    std::uint8_t landingRoll = 0;
    std::uint8_t leftStand = 0;
    std::uint8_t offBearing = 0;           // heading differs from the bearing to the next sample by > 3 deg
    std::uint8_t turnFirst = 0;            // on the ground, from a stop: turns to its way before it rolls
    std::uint8_t creepStarted = 0;         // the first sample at the stand set the creep reference
    std::uint8_t recreated = 0;            // created again after a livery change
    std::uint8_t flightPlanWritten = 0;    // a .pln file exists for its object
    std::uint8_t savedHeadingSet = 0;      // re-created: keep the heading it had
    double savedHeading = 0.0;             // radians
    double movementHeading = 0.0;          // radians; the reference heading of ground movement
    LatLon lastStandCheck;                 // newest sample position of the last nearest-stand search
    LatLon lastTestedPosition;             // position of the last collision test against static aircraft
    std::int32_t creationPass = 0;         // the pass its creation was asked
    std::int32_t objectPass = 0;           // the pass its object arrived
    std::int32_t creationSentPass = -1;    // the pass its creation request went to the simulator
    std::uint8_t towing = 0;               // pulled by a tug: its position is the tug's to choose
    std::uint8_t throttleSpoilerRun = 0;   // a throttle-and-spoiler run is under way on the ground
    // The ground phase from the aircraft's history (traffic/ground_phase.cpp): its newest real
    // records; whether it touched down or gave up a take-off, after which it takes off only when a
    // take-off roll is seen anew; and the take-off roll under way: its first record's time, its line
    // fitted to its records, its three fastest records (the third is its top speed) and its rate of
    // speeding up.
    std::deque<RunRecord> runRecords;
    // Its airborne records' positions over the last two minutes or so (a key of each, in a ring): a late
    // second sender's copy of one is never followed, also once the sender it lags has stopped.
    std::vector<std::uint64_t> flownPositions;
    std::uint32_t flownNext = 0;
    std::uint8_t landed = 0;
    std::uint8_t rejectedTakeoff = 0;
    std::uint8_t sawAirborne = 0;
    double rollSince = 0.0;
    double rollTrackDeg = 0.0;
    LatLon rollPoint{};
    std::array<double, 3> rollFastestKn{};
    double rollTopKn = 0.0;
    double rollKnPerS = 0.0;
    // On the ground: the speed of the last sample it reached when that one was airborne, else 0.
    double reachedAirborneKn = 0.0;
    // The height its roll reads at where a receiver flags it airborne below flying speed (Dulles's from
    // 84.5 kn on, at 425 ft in 25-ft steps until it climbs): records that read no higher still roll. NaN none.
    double rollReadsFt = std::numeric_limits<double>::quiet_NaN();
    double groundAltitude = std::numeric_limits<double>::quiet_NaN();   // ft, last reported; NaN unknown
    // Made-up motion and the way back from it: when the current spell began (-1 none), records refused
    // during it because their time stamps did not advance, and the steering back onto the records' path.
    std::int32_t madeUpFromPass = -1;
    std::int32_t staleRecords = 0;
    std::int32_t refusedRecords = 0;   // records refused for where they lay, during made-up motion
    // Its last record showed a final approach to the park airport: its made-up approach lands.
    std::uint8_t madeUpLands = 0;
    std::uint8_t rejoining = 0;
    std::int32_t rejoinFromPass = 0;
    // The pass the newest real record (runRecords' last) came: a later one that lies behind it is judged by it.
    std::int32_t lastRecordPass = -1;
    // Ground following (kept apart from the fields every pass reads first).
    std::uint8_t turnedBack = 0;   // turned round on the ground for records behind it: it taxies back
    double cornerKn = 0.0;         // the fastest it reaches the next sample at, for the turn there
    // Its recent records' ground speeds (kn; infinite for an airborne one) by the pass each falls due,
    // oldest first, every one the feed sent and not only those it plays: how fast it may taxi about
    // each second. The fastest its records let it go now, worked out again every quarter second.
    std::deque<std::pair<std::int32_t, double>> recordKn;
    double recordsCapKn = std::numeric_limits<double>::infinity();
    std::int32_t recordsCapPass = -1;
    // The cosine and sine of the heading they were taken for (a pass's checks against the nose).
    double trigHeading = std::numeric_limits<double>::quiet_NaN(), headingCos = 1.0, headingSin = 0.0;
};

// Seconds an aircraft has stood at its stand (0 when it never reached one).
double gf_secondsAtStand(const LiveAircraft& aircraft);

}  // namespace vrn
