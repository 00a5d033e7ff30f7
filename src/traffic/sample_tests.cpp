#include "traffic/sample_tests.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "core/geodesy.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kPassesPerHour = 360000.0;

// Largest bank (degrees) and largest bank step per pass (degrees) per size class.
struct ClassAttitude {
    double bankLimitDeg;
    double bankStepDeg;
};
const ClassAttitude& lf_attitude(unsigned sizeClass) {
    static const std::unordered_map<unsigned, ClassAttitude> table{
        {0, {40.0, 0.035}}, {1, {35.0, 0.0275}}, {2, {30.0, 0.02}}, {3, {20.0, 0.015}}, {4, {90.0, 0.1}}, {5, {75.0, 0.06}}};
    return table.at(sizeClass);
}


template <typename Test>
bool lf_allAfterOldest(const LiveAircraft& a, Test test) {
    return a.samples.size() < 2 || std::all_of(a.samples.begin() + 1, a.samples.end(), test);
}

}  // namespace

bool gf_allSamplesOnGround(const LiveAircraft& a) {
    return lf_allAfterOldest(a, [](const PositionSample& s) { return !s.airborne; });
}

double gf_bearingChangeAhead(const LiveAircraft& a, double nose) {
    if (a.samples.size() < 3) return 0.0;
    const double bearing = gf_initialBearing(gf_at(a.samples[1]), gf_at(a.samples[2]));
    return gf_headingDifference(nose, bearing);
}

double gf_sampleSpeed(const LiveAircraft& a) {
    if (a.samples.empty()) return 1.0;
    if (a.samples.size() < 2) return std::max(1.0, a.samples.front().groundSpeed);
    const PositionSample& oldest = a.samples[0];
    const PositionSample& next = a.samples[1];
    const double mean = (oldest.groundSpeed + next.groundSpeed) / 2.0;
    if (std::isfinite(mean) && mean > 0.0 && !(oldest.groundSpeed == 0.0 && next.groundSpeed == 0.0)) return mean;
    // No usable speed: the distance over the time between the two samples.
    const double passes = std::max(static_cast<double>(next.duePass - oldest.duePass), 25.0);
    const double speed = gf_distanceNm(gf_at(oldest), gf_at(next)) * kPassesPerHour / passes;
    return std::isfinite(speed) ? std::max(speed, 1.0) : 1.0;
}

void gf_setAttitudeStep(LiveAircraft& a, double targetBank, int passes) {
    const ClassAttitude& c = lf_attitude(a.sizeClass);
    const double limit = c.bankLimitDeg * kDeg2Rad;
    const double stepLimit = c.bankStepDeg * kDeg2Rad;
    const double target = std::clamp(targetBank, -limit, limit);
    const double step = (-target - a.position.bank) / std::max(passes, 1);
    a.bankStep = std::clamp(step, -stepLimit, stepLimit);
}

bool gf_hasPositionBlock(const LiveAircraft& a) {
    return gf_isValidPosition({a.position.latitude, a.position.longitude});
}

bool gf_closeToUserPath(const LiveAircraft& a) {
    if (a.samples.empty()) return false;
    const PositionSample& oldest = a.samples.front();
    const LatLon user = gf_userPositionLatLon();
    const double d = gf_distanceNm(gf_at(oldest), user);
    if (d > 6.0 || std::fabs(oldest.altitude - g_userPosition.altitude) >= 3000.0) return false;
    // A new aircraft's block is all zeros (heading north): its course is the one the feed reports.
    const double course = gf_hasPositionBlock(a) ? a.position.heading : oldest.track * kDeg2Rad;
    const double angle = gf_headingDifference(course, gf_initialBearing(user, gf_at(oldest)));
    return std::fabs(std::sin(angle) * d * kFeetPerNm) <= 4000.0;
}

}  // namespace vrn
