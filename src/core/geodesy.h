#pragma once
// Distances, bearings and displacements on a sphere of one nautical mile per minute of arc.
// Headings and bearings are radians clockwise from true north.
#include <string>

namespace vrn {

struct LatLon {
    double lat = 0.0;   // degrees, north positive
    double lon = 0.0;   // degrees, east positive
};

inline constexpr double kDeg2Rad = 0.017453292519943295;
inline constexpr double kRad2Deg = 57.29577951308232;
inline constexpr double kPi = 3.141592653589793;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kHaversineFactor = 6875.493541569878;
inline constexpr double kFeetToRadians = 4.787404208238998e-8;
inline constexpr double kMetresPerDegreeLat = 111132.95;

// A quadratic ground curve from the origin (0, 0 in local metres) through a control point to an end
// point, travelled from time t0 to t1. A NaN control component marks the record as unset.
struct CurvePath {
    double originLat;
    double originLon;
    double t0;
    double endNorth;
    double endEast;
    double t1;
    double controlEast;
    double controlNorth;
};

double gf_distanceNm(const LatLon& a, const LatLon& b);
LatLon gf_destinationPoint(const LatLon& start, double bearingRad, double distanceFeet);
double gf_initialBearing(const LatLon& a, const LatLon& b);        // [0, 2 pi)
// Along the great circle leaving `start` on `bearingRad`: where it is after the distance, and the
// circle's way there in `bearingRad` (over a pole it comes back south). Defined at a pole itself,
// where the start's longitude says which way north is.
LatLon gf_moveAlong(const LatLon& start, double& bearingRad, double distanceFeet);
double gf_headingDifference(double a, double b);                   // signed turn from a to b, [-pi, pi]
bool gf_positionOnPath(const CurvePath& curve, LatLon& position, double& heading, double t);
std::string gf_latLonText(const LatLon& p);                        // "{:.6f},{:.6f}"
bool gf_isValidPosition(const LatLon& p);

// Altimetry in the standard atmosphere. A pressure altitude (what an altimeter set to 1013.25 hPa reads,
// as transponders report it) as the true altitude on a day whose sea-level pressure is `qnhHpa`, and back.
// Exact at every height, so no step appears where a rule of thumb would change; some 27-30 ft a
// hectopascal near the ground.
inline constexpr double kStandardPressureHpa = 1013.25;
double gf_trueAltitudeFt(double pressureAltitudeFt, double qnhHpa);
double gf_pressureAltitudeFt(double trueAltitudeFt, double qnhHpa);

}  // namespace vrn
