#pragma once
// How fast each size class may change its speed, heading and height, in one table: the steps that
// move an aircraft (sample play on the ground and in the air, made-up motion, the brake back to its
// records) ask it rather than each keeping rates of its own. Run thread.
#include <algorithm>
#include <cmath>

#include "core/geodesy.h"
#include "records/size_class.h"

namespace vrn {

inline constexpr double kMpsPerKn = 0.514444;
inline constexpr double kGravity = 9.80665;   // m/s2

struct MotionLimits {
    double taxiSpeedUpKnPerS;    // taxiing, or setting off again: a taxi's thrust
    double rollSpeedUpKnPerS;    // under take-off power
    double brakeKnPerS;          // braking on the ground, about a quarter g
    double landingBrakeKnPerS;   // a landing roll's brakes, spoilers and reversers, up to 0.3 g
    double airSpeedUpKnPerS;
    double airSlowDownKnPerS;
    double groundTurnDegPerS;    // its quickest ground turn at a taxi's pace, as round a tight corner
    double crawlTurnDegPerS;     // its quickest below kCrawlTurnBelowKn, as turning round
    double smallestRadiusM;      // its tightest ground circle, the nose wheel at its stop (0: on the spot)
    double sideG;                // sideways on the ground at speed
    double bankDeg;              // in the air
    double sinkBeyondRecordsFpm;   // under records that descend slowly it sinks no faster than they do and this (0: none)
    double verticalSpeedChangeFpmPerS;   // how fast a climb or descent may change: no bobbing on odd heights
    double rollOutKnPerS;        // a roll-out without records slows this gently to its taxi pace
    double taxiKn;               // the pace it taxies on at, records or none
};

inline const MotionLimits& gf_motionLimits(unsigned sizeClass) {
    // (The quickest ground turn is three times the class's taxi turn rate, as in a tight corner; a
    // helicopter on the ground turns on the spot at its taxi rate, however tight its way.)
    // A jet taxiing speeds up by 2-3 kn a second and turns round at a crawl in 20-40 s, never more
    // than 90 degrees within 8 s; its nose wheel at its stop swings its middle round a circle of 6-12 m.
    static constexpr MotionLimits kLight{3.0, 3.0, 4.0, 4.0, 3.0, 3.0, 45.0, 45.0, 0.0, 0.25, 30.0, 0.0, 600.0, 2.5, 10.0};
    static constexpr MotionLimits kBusiness{3.0, 6.0, 5.0, 5.7, 3.0, 3.0, 30.0, 10.5, 4.0, 0.25, 30.0, 0.0, 800.0, 3.0, 15.0};
    static constexpr MotionLimits kLarge{3.0, 6.0, 5.0, 5.7, 3.0, 3.0, 21.0, 10.5, 5.0, 0.25, 30.0, 0.0, 800.0, 3.0, 15.0};
    static constexpr MotionLimits kHeavy{3.0, 6.0, 5.0, 5.7, 3.0, 3.0, 15.0, 8.0, 8.0, 0.25, 30.0, 0.0, 600.0, 3.0, 15.0};
    static constexpr MotionLimits kHighPerf{3.0, 6.0, 5.0, 5.7, 3.0, 3.0, 30.0, 10.5, 4.0, 0.25, 30.0, 0.0, 1200.0, 3.0, 15.0};
    static constexpr MotionLimits kRotor{6.0, 6.0, 5.0, 5.0, 5.0, 5.0, 20.0, 20.0, 0.0, 0.25, 45.0, 900.0, 500.0, 3.0, 10.0};
    switch (sizeClass) {
    case SIZE_LIGHT: return kLight;
    case SIZE_BUSINESS_JET: return kBusiness;
    case SIZE_HEAVY: return kHeavy;
    case SIZE_HIGH_PERF: return kHighPerf;
    case SIZE_ROTORCRAFT: return kRotor;
    default: return kLarge;
    }
}

// Below this pace a ground turn is a crawl's: turning round, or onto a stand.
inline constexpr double kCrawlTurnBelowKn = 8.0;

// The quickest its nose may turn on the ground at a pace (radians a second): its class's quickest
// rate, slower at a crawl, what tyres and passengers take sideways (speed times turn rate) when it
// goes fast, and its tightest circle when it goes slowly - standing, it turns as slowly as at a walk
// round that circle.
inline double gf_groundTurnRadPerS(const MotionLimits& m, double kn) {
    constexpr double kWalkMps = 0.5, kBlendKn = 7.0;
    const double v = std::isfinite(kn) ? std::max(kn, 0.0) : 0.0;
    const double mps = v * kMpsPerKn;
    const double u = std::clamp((v - kCrawlTurnBelowKn) / kBlendKn, 0.0, 1.0);
    double rate = (m.crawlTurnDegPerS + u * (m.groundTurnDegPerS - m.crawlTurnDegPerS)) * kDeg2Rad;
    if (mps > 0.0) rate = std::min(rate, m.sideG * kGravity / mps);
    if (m.smallestRadiusM > 0.0) rate = std::min(rate, std::max(mps, kWalkMps) / m.smallestRadiusM);
    return rate;
}

// The crawl at which it turns round (kn): the pace at which its tightest circle turns at its quickest rate.
inline double gf_turnCrawlKn(const MotionLimits& m) {
    constexpr double kLeastKn = 3.0, kMostKn = 6.0;
    return std::clamp(m.smallestRadiusM * m.crawlTurnDegPerS * kDeg2Rad / kMpsPerKn, kLeastKn, kMostKn);
}

}  // namespace vrn
