#include "core/geodesy.h"

#include <algorithm>
#include <cmath>

#include "core/format.h"

namespace vrn {

namespace {

// Rounding can push the argument of asin a hair outside [-1, 1] (near-antipodal points, the poles);
// clamped, the functions stay defined for every valid position.
double lf_clampUnit(double x) { return std::clamp(x, -1.0, 1.0); }

constexpr double kOnPoleDeg = 89.999;

}  // namespace

double gf_distanceNm(const LatLon& a, const LatLon& b) {
    const double phiA = a.lat * kDeg2Rad;
    const double phiB = b.lat * kDeg2Rad;
    const double lamA = a.lon * kDeg2Rad;
    const double lamB = b.lon * kDeg2Rad;
    const double sinDPhi = std::sin((phiA - phiB) / 2.0);
    const double sinDLam = std::sin((lamA - lamB) / 2.0);
    const double h = sinDPhi * sinDPhi + std::cos(phiB) * std::cos(phiA) * sinDLam * sinDLam;
    return std::asin(std::sqrt(std::clamp(h, 0.0, 1.0))) * kHaversineFactor;
}

LatLon gf_destinationPoint(const LatLon& start, double bearingRad, double distanceFeet) {
    // (On a pole itself the longitude below is lost in rounding.)
    if (std::fabs(start.lat) > kOnPoleDeg) return gf_moveAlong(start, bearingRad, distanceFeet);
    const double phi1 = start.lat * kDeg2Rad;
    const double lam1 = start.lon * kDeg2Rad;
    const double delta = distanceFeet * kFeetToRadians;
    const double phi2 = std::asin(lf_clampUnit(std::cos(bearingRad) * std::cos(phi1) * std::sin(delta) +
                                               std::sin(phi1) * std::cos(delta)));
    const double dLam = std::atan2(std::sin(bearingRad) * std::sin(delta) * std::cos(phi1),
                                   std::cos(delta) - std::sin(phi2) * std::sin(phi1));
    double lam2 = kPi - std::fmod(kPi - lam1 - dLam, kTwoPi);
    if (lam2 < -kPi)
        lam2 += kTwoPi;
    else if (lam2 > kPi)
        lam2 -= kTwoPi;
    return {phi2 * kRad2Deg, lam2 * kRad2Deg};
}

double gf_initialBearing(const LatLon& a, const LatLon& b) {
    const double phiA = a.lat * kDeg2Rad;
    const double phiB = b.lat * kDeg2Rad;
    const double dLam = (b.lon - a.lon) * kDeg2Rad;
    double theta = std::atan2(std::sin(dLam) * std::cos(phiB),
                              std::cos(phiA) * std::sin(phiB) - std::sin(phiA) * std::cos(phiB) * std::cos(dLam));
    if (theta < 0.0) theta += kTwoPi;
    // A tiny negative angle plus 2 pi rounds to 2 pi itself, which lies outside [0, 2 pi).
    if (theta >= kTwoPi) theta = 0.0;
    return theta;
}

LatLon gf_moveAlong(const LatLon& start, double& bearingRad, double distanceFeet) {
    // In vectors from the earth's centre, which stay exact at and beside a pole, where a degree of
    // longitude shrinks to nothing.
    const double sPhi = std::sin(start.lat * kDeg2Rad), cPhi = std::cos(start.lat * kDeg2Rad);
    const double sLam = std::sin(start.lon * kDeg2Rad), cLam = std::cos(start.lon * kDeg2Rad);
    const double sB = std::sin(bearingRad), cB = std::cos(bearingRad);
    const double p[3] = {cPhi * cLam, cPhi * sLam, sPhi};
    const double t[3] = {-sPhi * cLam * cB - sLam * sB, -sPhi * sLam * cB + cLam * sB, cPhi * cB};
    const double delta = distanceFeet * kFeetToRadians;
    const double c = std::cos(delta), s = std::sin(delta);
    double q[3], u[3];
    for (int i = 0; i < 3; ++i) {
        q[i] = p[i] * c + t[i] * s;
        u[i] = t[i] * c - p[i] * s;
    }
    const double lat = std::atan2(q[2], std::hypot(q[0], q[1]));
    const double lon = std::atan2(q[1], q[0]);
    const double sPhi2 = std::sin(lat), cLam2 = std::cos(lon), sLam2 = std::sin(lon);
    const double north = -sPhi2 * cLam2 * u[0] - sPhi2 * sLam2 * u[1] + std::cos(lat) * u[2];
    const double east = -sLam2 * u[0] + cLam2 * u[1];
    double way = std::atan2(east, north);
    if (way < 0.0) way += kTwoPi;
    bearingRad = way >= kTwoPi ? 0.0 : way;
    return {lat * kRad2Deg, lon * kRad2Deg};
}

double gf_headingDifference(double a, double b) {
    if (b > a) {
        const double d = b - a;
        return d > kPi ? d - kTwoPi : d;
    }
    if (a > b) return -gf_headingDifference(b, a);
    return 0.0;
}

bool gf_positionOnPath(const CurvePath& curve, LatLon& position, double& heading, double t) {
    if (std::isnan(curve.controlEast) || std::isnan(curve.controlNorth)) return false;
    // A curve without duration has no defined position; t outside it is not on the curve.
    if (!(curve.t1 > curve.t0) || t < curve.t0 || t > curve.t1) return false;
    const double u = (t - curve.t0) / (curve.t1 - curve.t0);
    if (!(u >= 0.0 && u <= 1.0)) return false;

    const double v = 1.0 - u;
    const double north = 2.0 * v * u * curve.controlNorth + u * u * curve.endNorth;
    const double east = 2.0 * v * u * curve.controlEast + u * u * curve.endEast;
    const double dNorth = 2.0 * v * curve.controlNorth + 2.0 * u * (curve.endNorth - curve.controlNorth);
    const double dEast = 2.0 * v * curve.controlEast + 2.0 * u * (curve.endEast - curve.controlEast);

    double h = std::atan2(dEast, dNorth);
    if (h < 0.0) h += kTwoPi;
    if (h > kTwoPi) h -= kTwoPi;

    double originLat = curve.originLat;
    if (originLat > 180.0) originLat -= 360.0;
    // The scale of the origin's latitude serves the whole (short) curve.
    const double lat = curve.originLat + north / kMetresPerDegreeLat;
    const double lon = curve.originLon + east / (std::cos(originLat * kDeg2Rad) * kMetresPerDegreeLat);
    if (!std::isfinite(lat) || !std::isfinite(lon) || !std::isfinite(h)) return false;

    position = {lat, lon};
    heading = h;
    return true;
}

std::string gf_latLonText(const LatLon& p) { return vrn::format("{:.6f},{:.6f}", p.lat, p.lon); }

bool gf_isValidPosition(const LatLon& p) {
    if (!std::isfinite(p.lat) || !std::isfinite(p.lon)) return false;
    // A simulator or feed position still at about 0, 0 has not been set.
    const bool unset = p.lat >= 0.0 && p.lat <= 0.0009 && p.lon >= 0.0 && p.lon <= 0.05;
    return !unset;
}

// The standard atmosphere's pressure falls as (1 - h / H) ^ (1 / n) with height h (ft) below the
// tropopause; an altimeter set to a QNH reads the height at which that pressure would lie were the
// sea-level pressure the QNH. Both altitudes are then linear in each other.
namespace {
constexpr double kAltimeterScaleFt = 145442.16;
constexpr double kAltimeterExponent = 0.190263;
double lf_qnhFactor(double qnhHpa) { return std::pow(kStandardPressureHpa / qnhHpa, kAltimeterExponent); }
}  // namespace

double gf_trueAltitudeFt(double pressureAltitudeFt, double qnhHpa) {
    return kAltimeterScaleFt - (kAltimeterScaleFt - pressureAltitudeFt) * lf_qnhFactor(qnhHpa);
}

double gf_pressureAltitudeFt(double trueAltitudeFt, double qnhHpa) {
    return kAltimeterScaleFt - (kAltimeterScaleFt - trueAltitudeFt) / lf_qnhFactor(qnhHpa);
}

}  // namespace vrn
