// Distances, bearings, destination points, heading differences and the ground curve.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "core/geodesy.h"

namespace vrn {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kFeetPerNm = 1852.0 / 0.3048;

TEST(Geodesy, DistancesIncludingAntimeridianPolesAndAntipodes) {
    struct Case { LatLon a, b; double nm, tolerance; } const cases[] = {
        {{51.47, -0.46}, {51.47, -0.46}, 0.0, 1e-12}, {{10, 20}, {11, 20}, 60.0, 1e-9},
        {{0, 179.5}, {0, -179.5}, 60.0, 1e-9}, {{33.95, -118.4}, {40.6333, -73.7833}, 2144.0, 1.0},
        {{0, 0}, {0, 180}, 10800.0, 1e-6}, {{90, 0}, {-90, 45}, 10800.0, 1e-6},
        {{89.9999999, 0}, {89.9999999, 180}, 1.2e-5, 1e-8},   // over the pole
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(gf_distanceNm(c.a, c.b), c.nm, c.tolerance) << c.a.lat << "," << c.a.lon;
        EXPECT_DOUBLE_EQ(gf_distanceNm(c.a, c.b), gf_distanceNm(c.b, c.a));
    }
}

TEST(Geodesy, BearingsAndDestinationsAgree) {
    EXPECT_NEAR(gf_initialBearing({33.95, -118.4}, {40.6333, -73.7833}) * kRad2Deg, 65.89, 0.05);
    EXPECT_NEAR(gf_initialBearing({10, 10}, {10, 9}), 3 * kPi / 2, 0.01);      // due west, not negative
    const double hairWestOfNorth = gf_initialBearing({10, 0}, {11, -1e-16});
    EXPECT_TRUE(hairWestOfNorth >= 0.0 && hairWestOfNorth < kTwoPi);   // never rounded up to 2 pi itself

    // Straight to the pole: rounding puts the sine of the new latitude a hair above 1.
    for (double startLat : {89.0, 87.1, 3.2}) {
        const LatLon pole = gf_destinationPoint({startLat, 0}, 0.0, (90 - startLat) * 60 * kFeetPerNm);
        EXPECT_NEAR(pole.lat, 90.0, 1e-6) << startLat;
        EXPECT_TRUE(std::isfinite(pole.lon));
    }
    // From the pole itself its longitude says where north is: down the far meridian (not lost in rounding).
    const LatLon fromPole = gf_destinationPoint({90.0, 0.0}, kPi / 4.0, 1.2 * kFeetPerNm);
    EXPECT_NEAR(gf_distanceNm(fromPole, {89.98, 135.0}), 0.0, 1e-6) << fromPole.lat << "," << fromPole.lon;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> lat(-80, 80), lon(-180, 180), bearing(0, kTwoPi), nm(0.01, 3000);
    for (int i = 0; i < 5000; ++i) {
        const LatLon start{lat(random), lon(random)};
        const double theta = bearing(random), distance = nm(random);
        const LatLon end = gf_destinationPoint(start, theta, distance * kFeetPerNm);
        ASSERT_TRUE(end.lon >= -180.0 && end.lon <= 180.0) << end.lon;
        ASSERT_NEAR(gf_distanceNm(start, end), distance, 1e-6 * distance + 1e-7);
        ASSERT_NEAR(gf_headingDifference(gf_initialBearing(start, end), theta), 0.0, 1e-6);
    }
}

TEST(Geodesy, HeadingDifferenceIsASignedTurn) {
    EXPECT_NEAR(gf_headingDifference(0.1, 6.2), 6.1 - kTwoPi, 1e-12);   // a left turn of about 0.183
    std::mt19937 random(3);
    std::uniform_real_distribution<double> heading(0, kTwoPi);
    for (int i = 0; i < 1000; ++i) {
        const double a = heading(random), b = heading(random), d = gf_headingDifference(a, b);
        ASSERT_TRUE(d >= -kPi && d <= kPi);
        ASSERT_NEAR(std::remainder(a + d - b, kTwoPi), 0.0, 1e-12);   // a turned by d is b
    }
}

TEST(Geodesy, PositionOnTheGroundCurve) {
    const CurvePath curve{51.0, -1.0, 100.0, 200.0, 100.0, 110.0, 50.0, 50.0};
    const double lonScale = std::cos(51.0 * kDeg2Rad) * kMetresPerDegreeLat;
    LatLon p;
    double heading;
    ASSERT_TRUE(gf_positionOnPath(curve, p, heading, 100.0));
    EXPECT_TRUE(p.lat == 51.0 && p.lon == -1.0);
    EXPECT_NEAR(heading, kPi / 4, 1e-12);   // the tangent points at the control point
    ASSERT_TRUE(gf_positionOnPath(curve, p, heading, 110.0));
    EXPECT_NEAR(p.lat, 51.0 + 200.0 / kMetresPerDegreeLat, 1e-12);
    EXPECT_NEAR(p.lon, -1.0 + 100.0 / lonScale, 1e-12);
    EXPECT_NEAR(heading, std::atan2(50.0, 150.0), 1e-12);   // from the control point to the end
    ASSERT_TRUE(gf_positionOnPath({10, 20, 0, 0, -20, 1, -10, 0}, p, heading, 0.5));
    EXPECT_NEAR(heading, 3 * kPi / 2, 1e-12);   // due west, in [0, 2 pi)

    // Refused (outputs untouched): outside the span, unset, no duration, non-finite.
    const std::pair<CurvePath, double> refused[] = {
        {curve, 99.999}, {curve, 110.001}, {curve, kNaN},
        {{51, -1, 100, 200, 100, 110, kNaN, 50}, 105}, {{51, -1, 100, 200, 100, 110, 50, kNaN}, 105},
        {{51, -1, 100, 200, 100, 100, 50, 50}, 100},   {{51, -1, 100, 200, 100, 99, 50, 50}, 100},
        {{51, kInf, 100, 200, 100, 110, 50, 50}, 105}, {{51, -1, 100, kInf, 100, 110, 50, 50}, 105},
    };
    for (const auto& [c, t] : refused) {
        LatLon q{1.5, 2.5};
        double h = 3.5;
        EXPECT_FALSE(gf_positionOnPath(c, q, h, t)) << t;
        EXPECT_TRUE(q.lat == 1.5 && q.lon == 2.5 && h == 3.5) << t;
    }
}

TEST(Geodesy, PositionValidity) {
    const std::pair<LatLon, bool> cases[] = {{{0, 0}, false}, {{0.0009, 0.05}, false}, {{0.00091, 0}, true},
        {{0, 0.0501}, true}, {{-0.0001, 0}, true}, {{kNaN, 10}, false}, {{10, kNaN}, false}, {{kInf, 0}, false}};
    for (const auto& [p, valid] : cases) EXPECT_EQ(gf_isValidPosition(p), valid) << p.lat << "," << p.lon;
}

}  // namespace
}  // namespace vrn
