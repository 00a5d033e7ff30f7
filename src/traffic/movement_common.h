#pragma once
// Small helpers shared by the movement files (movement.cpp, ground_movement.cpp, towing.cpp): the
// pass clock, pass counts from distances and speeds that never divide by zero,
// longitudes and headings kept in range, the curve marker. Run thread.
#include <algorithm>
#include <cmath>
#include <limits>

#include "core/geodesy.h"
#include "records/live_aircraft.h"
#include "traffic/motion_limits.h"
#include "traffic/traffic_engine.h"

namespace vrn::movement {

inline constexpr double kFeetPerNm = 6076.11549;
inline constexpr double kPassesPerHour = 360000.0;
inline constexpr int kMinPasses = 25;
// No sample lies more than a few hours of passes ahead; a pass count beyond that is a bad speed.
inline constexpr double kMaxPasses = 1.0e7;

int tick();

inline LatLon at(const PositionSample& s) { return {s.latitude, s.longitude}; }
inline LatLon here(const LiveAircraft& a) { return {a.position.latitude, a.position.longitude}; }
inline LatLon at(const PositionBlock& p) { return {p.latitude, p.longitude}; }

// The angle between two tracks in degrees, [0, 180].
inline double trackDifferenceDeg(double a, double b) { return std::fabs(std::remainder(a - b, 360.0)); }

// (Every aircraft's every pass asks these: one already in range is returned as it is, as the library's
// remainder would return it, without its cost.)
inline double normalHeading(double h) {
    if (h >= 0.0 && h < kTwoPi) return h;
    if (!std::isfinite(h)) return 0.0;
    h = std::fmod(h, kTwoPi);
    return h < 0.0 ? h + kTwoPi : h;
}

// A longitude difference in (-180, 180], so an aircraft crossing the antimeridian goes the short way.
inline double longitudeDelta(double from, double to) {
    if (to - from > -180.0 && to - from <= 180.0) return to - from;
    const double d = std::remainder(to - from, 360.0);
    return d == -180.0 ? 180.0 : d;
}

inline double normalLongitude(double lon) {
    if (lon > -180.0 && lon <= 180.0) return lon;
    lon = std::remainder(lon, 360.0);
    return lon == -180.0 ? 180.0 : lon;
}

// Within a degree of a pole the chart of latitude and longitude fails (a degree of longitude shrinks to
// nothing, a way straight on it sweeps round the pole): there the air moves along great circles.
inline constexpr double kNearPoleDeg = 89.0;
inline bool nearPole(double latitude) { return std::fabs(latitude) > kNearPoleDeg; }

// How much a way turns (radians) from `from` to `to` as the meridians converge: a nose turned by it
// after the move points the same way in space (over a pole, half a turn).
inline double meridianTurn(const LatLon& from, const LatLon& to) {
    if (from.lat == to.lat && from.lon == to.lon) return 0.0;
    return gf_headingDifference(gf_initialBearing(from, to), normalHeading(gf_initialBearing(to, from) + kPi));
}

// Passes to cover a distance at a speed; a speed that is not positive counts as 1 kn, and the count
// is clamped before it becomes an integer.
inline int passesFor(double distanceNm, double speedKn) {
    if (!(speedKn >= 1.0)) speedKn = 1.0;
    const double passes = distanceNm * kPassesPerHour / speedKn;
    if (!std::isfinite(passes)) return kMinPasses;
    return static_cast<int>(std::lround(std::clamp(passes, 0.0, kMaxPasses)));
}

// The speed two samples a second or more apart imply by their positions and due passes (kn), 0 when
// they are closer in time: a reported speed can read low, the records' own pace does not.
inline double paceBetween(const PositionSample& from, const PositionSample& to) {
    const int passes = to.duePass - from.duePass;
    return passes >= 100 ? gf_distanceNm(at(from), at(to)) * kPassesPerHour / passes : 0.0;
}

// No taxi goes faster (kn): a ground record beyond it is a take-off or landing roll's.
inline constexpr double kFastestTaxiKn = 30.0;
// No aeroplane's nose turns faster in the air, whatever its records do (a helicopter's three times that).
inline constexpr double kQuickestAirTurnDegPerS = 10.0;

// Speeding up and slowing down per pass (kn), from its class's limits: on the ground take-off thrust,
// a taxi's gentler thrust and brakes (a quarter g, 0.3 g on a landing roll), in the air thrust and drag.

inline double speedUpPerPass(const LiveAircraft& a) {
    const MotionLimits& m = gf_motionLimits(a.sizeClass);
    if (!a.onGround) return m.airSpeedUpKnPerS / 100.0;
    // Records that speed up beyond any taxi's pace show take-off thrust before the roll is told from
    // them: it speeds up with them, not at a taxi's gentle rate.
    const bool rolling = a.underPower || (a.wayToKn > kFastestTaxiKn && a.wayToKn > a.wayFromKn);
    return (rolling ? m.rollSpeedUpKnPerS : m.taxiSpeedUpKnPerS) / 100.0;
}
inline double slowDownPerPass(const LiveAircraft& a) {
    const MotionLimits& m = gf_motionLimits(a.sizeClass);
    // In the flare a little more: the records between its last in the air and its first on the
    // ground slow with its touch-down.
    if (!a.onGround) return a.curveKind > 0 ? std::max(m.airSlowDownKnPerS, 5.0) / 100.0 : m.airSlowDownKnPerS / 100.0;
    return (a.landingRoll ? m.landingBrakeKnPerS : m.brakeKnPerS) / 100.0;
}

// Below this share of its class's lift-off speed an airborne record is an altitude that glitches, not flight.
inline constexpr double kFlyingShareOfLiftOff = 0.75;
// From the start of the rotation to the wheels leaving the ground.
inline constexpr int kClimbAfterRotationPasses = 300;

// Passes until the next sample falls due, at least the minimum.
inline int passesToNext(const LiveAircraft& a) {
    return a.samples.size() < 2 ? kMinPasses : std::max(a.samples[1].duePass - tick(), kMinPasses);
}

// A standing sample `i` on the ground that only repeats a stale position: the one before it reports
// a roll, and a sample that moves on follows within ten seconds. The real aircraft never stopped.
inline bool staleRepeat(const LiveAircraft& a, std::size_t i) {
    constexpr double kRollingKn = 5.0;
    constexpr int kWithinPasses = 1000;
    if (i == 0 || i >= a.samples.size() || !a.samples[i].standing || !(a.samples[i - 1].groundSpeed >= kRollingKn)) return false;
    for (std::size_t j = i + 1; j < a.samples.size() && a.samples[j].duePass <= a.samples[i].duePass + kWithinPasses; ++j)
        if (!a.samples[j].standing && (a.samples[j].latitude != a.samples[i].latitude || a.samples[j].longitude != a.samples[i].longitude))
            return true;
    return false;
}

inline bool hasCurve(const LiveAircraft& a) { return !std::isnan(a.curve.controlNorth) && !std::isnan(a.curve.controlEast); }

inline void clearCurve(LiveAircraft& a) {
    a.curve.controlNorth = std::numeric_limits<double>::quiet_NaN();
    a.curve.controlEast = std::numeric_limits<double>::quiet_NaN();
}

// Seven light values in the order of the light request: nav, beacon, landing, taxi, strobe, logo, cabin.
void sendLights(const LiveAircraft& a, std::uint32_t nav, std::uint32_t beacon, std::uint32_t landing,
                std::uint32_t taxi, std::uint32_t strobe, std::uint32_t logo, std::uint32_t cabin);
// Spoilers event queued directly (never for a rotorcraft).
void spoilers(const LiveAircraft& a, bool on);
// Definition 401 (spoilers, both throttles in percent) set on the object at once.
void setControls(const LiveAircraft& a, double spoilersPercent, double throttlePercent);
// The park airport's elevation when one is set.
bool parkElevation(double& feet);
// The ground under it as the simulator last reported it, else, on the ground, the park airport's field;
// -inf unknown.
double groundUnderFt(const LiveAircraft& a);

}  // namespace vrn::movement
