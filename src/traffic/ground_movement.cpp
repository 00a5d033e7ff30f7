// Moving an aircraft smoothly on every pass: along quadratic ground curves or by straight steps,
// its heading turned at the class's ground turn rate, and its attitude (flare before touchdown,
// lowering the nose after it, rotation and climb after take-off). Once per sample on the ground:
// the phases around the stand (push back, pull out, leaving), curves for turns, the arrival on a
// stand and the ground re-timing of the next sample.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <tuple>

#include "airports/airport_files.h"
#include "core/format.h"
#include "core/log.h"
#include "records/stand_records.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "traffic/engine_steps.h"
#include "traffic/movement_common.h"
#include "traffic/sample_tests.h"
#include "traffic/traffic_lists.h"

namespace vrn {

using namespace movement;

namespace {

constexpr double kHalfDegree = 0.5 * kDeg2Rad;
constexpr double kFlareCeilingFt = 400.0;
constexpr double kFlareFloorPitch = -4.0 * kDeg2Rad;   // nose up is negative
constexpr double kMidSampleSegmentNm = 0.02699784017278618;   // 50 m
constexpr double kRollingMetresPerPass = 0.015;     // 1.5 m/s
constexpr double kSetOffWithinRad = 20.0 * kDeg2Rad;   // within the slip it may roll at

// Sideways acceleration a ground turn stays within (real ground tracks stay below 0.24 g).
double lf_mostSideAccelMps2(const LiveAircraft& a) { return gf_motionLimits(a.sizeClass).sideG * kGravity; }

// The quickest ground turn per pass at a taxi's pace: its class's, as in a tight corner, never the
// corner's own suddenness.
double lf_quickestTurn(const LiveAircraft& a) { return gf_motionLimits(a.sizeClass).groundTurnDegPerS * kDeg2Rad / 100.0; }

// The quickest the nose may turn on the ground at the pace it rolls (per pass), from its class's
// limits: a turn taken fast is a wide one.
double lf_groundTurnLimit(const LiveAircraft& a) { return gf_groundTurnRadPerS(gf_motionLimits(a.sizeClass), a.paceKn) / 100.0; }

// The ground turn per pass: the re-timed rate, or the class's rate when none is set.
double lf_turnRate(const LiveAircraft& a) {
    const double r = std::fabs(a.headingStep);
    return std::isfinite(r) && r > 0.0 ? r : a.groundTurnRate;
}

void lf_turnTowards(LiveAircraft& a, double target) {
    const double d = gf_headingDifference(a.position.heading, normalHeading(target));
    if (std::fabs(d) <= kHalfDegree) return;
    double step = std::min(lf_turnRate(a), std::fabs(d));
    if (a.onGround) step = std::min(step, lf_groundTurnLimit(a));
    a.position.heading = normalHeading(a.position.heading + std::copysign(step, d));
}

// Lowest altitude of the aircraft's centre of gravity: on the ground as the simulator last reported it.
double lf_floorAltitude(const LiveAircraft& a) { return groundUnderFt(a) + a.staticCgHeight; }

double lf_heightAboveGround(const LiveAircraft& a) {
    return std::isfinite(a.groundAltitude) ? a.position.altitude - a.groundAltitude : a.altitudeAboveGround;
}

// The descent slows in four stages as the wheels near the runway. The height above the park
// airport's elevation is taken once, as the flare begins: a runway lying below that elevation then
// does not make the flare start early.
void lf_flare(LiveAircraft& a) {
    if (!a.onApproach || a.onGround || a.altitudeAboveGround > kFlareCeilingFt) return;
    const double agl = lf_heightAboveGround(a);
    if (a.curveKind == 0 && std::isnan(a.flareReferenceHeight)) {
        double elevation = 0.0;
        a.flareReferenceHeight = parkElevation(elevation) ? a.position.altitude - elevation : agl;
    }
    const double height = std::min(agl, a.flareReferenceHeight);
    const double cg = a.staticCgHeight;
    struct Stage {
        double above;
        double climb;
        double verticalSpeed;
    };
    static constexpr Stage stages[4] = {{30.0, -0.1, -601.0}, {20.0, -0.075, -450.0}, {10.0, -0.05, -300.0},
                                        {3.0, -0.025, -150.0}};
    // A flare never floats past the first record on the ground: it is down by that record's time.
    if (a.curveKind > 0 && !a.samples.empty() && !a.samples.front().airborne && height > cg) {
        const int passes = a.samples.front().duePass - tick();
        if (passes > 0) a.climbPerPass = std::min(a.climbPerPass, -(height - cg) / passes);
    }
    if (a.curveKind < 0 || a.curveKind > 3) return;
    const Stage& s = stages[a.curveKind];
    if (height > cg + s.above) return;
    if (a.curveKind == 0) {
        const double passes = std::max<double>(1.0, a.touchdownPitchPasses);
        a.pitchStep = (kFlareFloorPitch - a.position.pitch) / passes;
    }
    if (a.curveKind == 2) gf_setThrottle(a, 0);
    a.climbPerPass = s.climb;
    a.verticalSpeedFpm = s.verticalSpeed;
    a.position.verticalSpeed = s.verticalSpeed / 60.0;
    // (On the sample it flares towards: the newest queued one is a record half a minute ahead, whose
    // climb a touch and go's made-up climb-out goes on from.)
    if (!a.samples.empty()) a.samples.front().verticalSpeed = s.verticalSpeed;
    ++a.curveKind;
}

void lf_attitude(LiveAircraft& a) {
    lf_flare(a);
    if (a.touchedDown) {
        a.position.pitch += a.pitchStep;
        const bool passed = a.pitchStep >= 0.0 ? a.position.pitch >= a.staticPitch : a.position.pitch <= a.staticPitch;
        if (passed) {
            a.position.pitch = a.staticPitch;
            a.position.bank = 0.0;
            a.pitchStep = 0.0;
            a.bankStep = 0.0;
            a.touchedDown = 0;
            a.curveKind = 0;
            a.flareReferenceHeight = std::numeric_limits<double>::quiet_NaN();
        } else {
            a.position.bank += a.bankStep;
        }
        return;
    }
    if (a.curveKind == 0 && a.onGround) {
        a.position.pitch = a.staticPitch;
        a.position.bank = 0.0;
        return;
    }
    a.position.pitch += a.pitchStep;
    if (a.curveKind != 0) a.position.pitch = std::max(a.position.pitch, kFlareFloorPitch);
    a.position.bank += a.bankStep;
    a.position.altitude += a.climbPerPass;
}

// Rotation to pitch E, then on to the climb pitch F; the climb starts a little after the rotation.
void lf_afterTakeoff(LiveAircraft& a) {
    if (a.rotationCountdown > -1000000) --a.rotationCountdown;
    if (a.rotationCountdown > 0) {
        a.position.pitch = std::max(a.position.pitch + a.pitchStep, std::min(a.rotationPitch, a.position.pitch));
    } else {
        a.position.bank += a.bankStep;
        const double d = std::max<double>(1.0, a.climbPitchPasses);
        const double step = (a.climbPitch - a.rotationPitch) / d;
        const bool reached = step <= 0.0 ? a.position.pitch <= a.climbPitch : a.position.pitch >= a.climbPitch;
        if (!reached) {
            a.position.pitch += step;
        } else {
            a.position.pitch = a.climbPitch;
            a.pitchStep = 0.0;
            if (a.altitudeAboveGround >= 800.0) {
                gf_setThrottle(a, a.sizeClass == SIZE_ROTORCRAFT ? 4 : 3);
                // The climb goes on as an airborne aircraft's.
                a.previousPhase = a.phase;
                a.phase = PHASE_AIRBORNE;
            }
        }
    }
    if (static_cast<int>(a.rotationPasses) - a.rotationCountdown >= kClimbAfterRotationPasses) {
        a.position.altitude += a.climbPerPass;
        a.onGround = 0;
    }
}

// Keeps the position block finite and the aircraft on or above the ground.
void lf_keepSane(LiveAircraft& a, const PositionBlock& before) {
    const PositionBlock& p = a.position;
    const bool finite = std::isfinite(p.latitude) && std::isfinite(p.longitude) && std::isfinite(p.pitch) &&
                        std::isfinite(p.bank) && std::isfinite(p.heading) && std::isfinite(p.altitude) &&
                        std::isfinite(p.verticalSpeed) && std::isfinite(p.trueAirspeed);
    if (!finite) {
        a.position = before;
        a.latitudeStep = a.longitudeStep = a.pitchStep = a.bankStep = a.climbPerPass = 0.0;
    }
    // Carried over a pole it goes on down the far meridian, its nose and its ways turned about with
    // it: held at the pole it would sit there, its longitude and nose spinning.
    if (std::fabs(a.position.latitude) > 90.0) {
        a.position.latitude = std::copysign(180.0, a.position.latitude) - a.position.latitude;
        a.position.longitude += 180.0;
        a.position.heading += kPi;
        a.latitudeStep = -a.latitudeStep;
        a.longitudeStep = -a.longitudeStep;
        a.pastNorth = -a.pastNorth;
        a.pastEast = -a.pastEast;
        a.position.latitude = std::clamp(a.position.latitude, -90.0, 90.0);
    }
    a.position.longitude = normalLongitude(a.position.longitude);
    a.position.heading = normalHeading(a.position.heading);
    a.position.bank = std::clamp(a.position.bank, -kPi / 2.0, kPi / 2.0);
    a.position.pitch = std::clamp(a.position.pitch, -kPi / 4.0, kPi / 4.0);
    a.position.altitude = std::max(a.position.altitude, lf_floorAltitude(a));
}

// A ground aircraft rolling forwards points where it goes: its heading follows the direction it moved
// in this pass, turning as fast as the path turns up to a tight taxi turn's rate. Slower than a walk
// the direction is left alone, so position noise never turns it.
void lf_pointWhereItGoes(LiveAircraft& a, const PositionBlock& before) {
    if (!a.onGround || (a.phase != PHASE_MOVING && a.phase != PHASE_STAND_CLEANUP)) return;
    const LatLon from{before.latitude, before.longitude};
    const LatLon to = here(a);
    if (gf_distanceNm(from, to) * 1852.0 < kRollingMetresPerPass) return;
    const double d = gf_headingDifference(before.heading, gf_initialBearing(from, to));
    const double step = lf_groundTurnLimit(a);
    a.position.heading = normalHeading(before.heading + std::clamp(d, -step, step));
}

// A taxiing aircraft that sets off from a stop towards a sample well off its nose (a turn on the spot,
// or a sample behind it) first turns towards its way, then rolls: it never sets off sideways.
bool lf_turnsOnTheSpot(LiveAircraft& a, double way) {
    if (!a.turnFirst || !a.onGround || a.phase != PHASE_MOVING) return false;
    const double d = gf_headingDifference(a.position.heading, normalHeading(way));
    if (std::fabs(d) <= kSetOffWithinRad) {
        a.turnFirst = 0;
        return false;
    }
    a.position.heading = normalHeading(a.position.heading + std::copysign(lf_groundTurnLimit(a), d));
    return true;
}

// ---- The pace along the path ----
// The way to the next sample is the records' (straight, or a ground curve); how fast the aircraft
// goes along it is its own: a speed that changes every pass towards the pace that reaches the next
// sample when it falls due, kept near the speeds its records report (their positions scatter by
// metres, or stand and then leap) and changed no faster than its class manages.

constexpr double kNmPerDegreeLat = kMetresPerDegreeLat / 1852.0;
constexpr double kSlowerThanReported = 0.85;
constexpr double kFasterThanReported = 1.2;
constexpr double kMostOverRecordsShare = 1.1;
constexpr double kMostOverRecordsKn = 4.5;   // (a second's distance reads a pace that speeds up a little high)
// On the ground, a record that leaps from a stale position is caught up with at up to this much
// above the reported taxi speed.
constexpr double kGroundCatchUpKn = 20.0;
// A slow taxi catches up at no more than half as fast again as its records, and a little: a taxiing
// aircraft that drives twice its records' pace to make good a pause races.
constexpr double kCatchUpShare = 1.5;
constexpr double kCatchUpMarginKn = 4.0;
constexpr int kWaitAheadPasses = 300;
// Its records' speed about a second is the fastest within 5 s of it; its pace is held to them this far
// ahead, with a margin that leaves room for a pace that reads a knot or two high over a second or two,
// worked out again every quarter second.
constexpr int kRecordsAboutPasses = 500;
constexpr int kRecordsCapAheadS = 12;
// (Its speed over the last second or two is what the pace was a second ago, and on a busy machine its
// passes lag the wall clock: it is held two and a half seconds ahead of their time.)
constexpr int kRecordsLeadPasses = 250;
constexpr double kRecordsPaceMarginKn = 2.0;
constexpr int kRecordsCapEveryPasses = 25;
constexpr int kCurveKnEveryPasses = 10;
constexpr std::size_t kRecordKnKept = 64;
constexpr double kFastestGroundKn = 250.0;
constexpr int kNewPasses = 1500;
constexpr int kSetOffFromStandPasses = 200;
constexpr double kAirReportedFloorKn = 60.0;
constexpr int kAirSlowingAheadPasses = 2000;
constexpr double kAirArriveShare = 1.05;
constexpr double kAirSlowerShare = 0.95;
constexpr double kAirPaceShare = 0.8;
constexpr int kPacedOverPasses = 200;
constexpr double kRotorReportedFloorKn = 5.0;
// A ground aircraft whose way lies further off its nose than it may slip crawls round the corner.
constexpr double kMostSlipRad = 25.0 * kDeg2Rad;
constexpr double kMostAirSlipRad = 15.0 * kDeg2Rad;
const double kCosMostAirSlip = std::cos(kMostAirSlipRad);
constexpr double kCornerKn = 6.0;
constexpr double kSharpCornerRad = 45.0 * kDeg2Rad;
// Braking for a stop, it creeps the last metre rather than never quite arriving.
constexpr double kStopCreepKn = 1.0;
constexpr double kPlannedBraking = 2.0 / 3.0;
// A sample this close behind it is one it rolled past; one farther behind it turns round for, at a
// crawl, once it stands (slower than this).
constexpr double kPassedM = 30.0;
constexpr double kStoppedKn = 0.5;
constexpr double kCreepKn = 3.0;   // early at its newest record, it creeps to it on time
constexpr double kEvenBrakingPerPass = 0.03;   // 3 kn a second
constexpr double kNoiseKn = 3.0;
constexpr double kRollScatterDeg = 10.0;

// The phases whose way is followed at the aircraft's own pace; push back, leaving the stand, the
// steering back after made-up flight and towing move by their own steps.
bool lf_paced(const LiveAircraft& a) {
    if (a.rejoining || a.towing || a.samples.empty()) return false;
    return a.phase == PHASE_MOVING || a.phase == PHASE_STAND_CLEANUP || a.phase == PHASE_AIRBORNE || a.phase == PHASE_AFTER_TAKEOFF;
}

// The next sample is a stop (standing, or where the one after it stands): the aircraft brakes to
// stop on it rather than on its last metre.
bool lf_stopAhead(const LiveAircraft& a) {
    if (!a.onGround || a.samples.size() < 2) return false;
    const PositionSample& to = a.samples[0];
    const PositionSample& after = a.samples[1];
    return (after.standing || (after.latitude == to.latitude && after.longitude == to.longitude)) && !staleRepeat(a, 1);
}

// A ground curve from its origin through a control point to its end (metres north and east of the
// origin): its length, nearly (between the chord and the polygon of its points), and its smallest
// radius (its second derivative is constant, its first runs from 2 x control to 2 x (end - control)).
struct CurveShape {
    double lengthM = 0.0, tightestRadiusM = 0.0;
};

double lf_curveLengthM(double controlN, double controlE, double endN, double endE) {
    return (2.0 * std::hypot(endN, endE) + std::hypot(controlN, controlE) + std::hypot(endN - controlN, endE - controlE)) / 3.0;
}

CurveShape lf_curveShape(double controlN, double controlE, double endN, double endE) {
    CurveShape shape;
    shape.lengthM = lf_curveLengthM(controlN, controlE, endN, endE);
    const double ddN = 2.0 * (endN - 2.0 * controlN), ddE = 2.0 * (endE - 2.0 * controlE);
    shape.tightestRadiusM = std::numeric_limits<double>::infinity();
    for (int i = 0; i <= 16; ++i) {
        const double u = i / 16.0;
        const double dN = 2.0 * ((1.0 - u) * controlN + u * (endN - controlN));
        const double dE = 2.0 * ((1.0 - u) * controlE + u * (endE - controlE));
        if (const double cross = std::fabs(dN * ddE - dE * ddN); cross > 0.0)
            shape.tightestRadiusM = std::min(shape.tightestRadiusM, std::pow(std::hypot(dN, dE), 3.0) / cross);
    }
    return shape;
}

// The fastest a curve turning by `turnAngleDeg` is taken: no more than half the pace at which the
// quickest taxi turn would keep up on average, and sideways within the class's limit where it bends
// tightest (a taxi's corner between a short leg and a long one bends far tighter there than on
// average; on a runway, where records scatter by a few degrees, about twice the mean).
double lf_curveMostKn(const LiveAircraft& a, const CurveShape& shape, double turnAngleDeg) {
    if (!(turnAngleDeg > 0.0)) return kFastestGroundKn;
    const double meanRadiusM = shape.lengthM / (turnAngleDeg * kDeg2Rad);
    const double radiusM = a.underPower || a.landingRoll ? 0.5 * meanRadiusM : shape.tightestRadiusM;
    const double metresPerS = std::min(0.5 * lf_quickestTurn(a) * 100.0 * meanRadiusM, std::sqrt(lf_mostSideAccelMps2(a) * radiusM));
    return std::max(metresPerS / kMpsPerKn, kCornerKn);
}

// Along a taxi's curve, the fastest it may go from where it is: sideways within its class's limit at
// each bend ahead, braking in time for the tightest, and no faster than its quickest turn keeps up with
// on average. A long curve whose tight corner lies well ahead is not crawled all along its length.
double lf_curveKnFromHere(LiveAircraft& a) {
    const CurvePath& c = a.curve;
    const double turn = std::fabs(a.curveTurnAngle);
    if (!(turn > 0.0)) return kFastestGroundKn;
    // (Worked out again every tenth of a second: it moves a few metres along the curve meanwhile.)
    if (a.curveKnPass >= 0 && tick() - a.curveKnPass < kCurveKnEveryPasses) return a.curveKnHere;
    a.curveKnPass = tick();
    const double meanMps = 0.5 * lf_quickestTurn(a) * 100.0 * lf_curveLengthM(c.controlNorth, c.controlEast, c.endNorth, c.endEast) / turn;
    const double side = 0.85 * lf_mostSideAccelMps2(a);   // (the bends between the points looked at may be a little tighter)
    const double brake = 2.0 * kPlannedBraking * slowDownPerPass(a) * 100.0 * kMpsPerKn;
    const double ddN = 2.0 * (c.endNorth - 2.0 * c.controlNorth), ddE = 2.0 * (c.endEast - 2.0 * c.controlEast);
    const auto point = [&](double u) {
        const double v = 1.0 - u;
        return std::pair{2.0 * v * u * c.controlNorth + u * u * c.endNorth, 2.0 * v * u * c.controlEast + u * u * c.endEast};
    };
    double most = std::max(meanMps, kCornerKn * kMpsPerKn);
    double aheadM = 0.0;
    auto [pn, pe] = point(a.curveProgress);
    constexpr int kSteps = 12;
    for (int i = 0; i <= kSteps; ++i) {
        const double u = a.curveProgress + (1.0 - a.curveProgress) * i / kSteps;
        const auto [n, e] = point(u);
        aheadM += std::hypot(n - pn, e - pe);
        std::tie(pn, pe) = std::pair{n, e};
        const double dN = 2.0 * ((1.0 - u) * c.controlNorth + u * (c.endNorth - c.controlNorth));
        const double dE = 2.0 * ((1.0 - u) * c.controlEast + u * (c.endEast - c.controlEast));
        const double cross = std::fabs(dN * ddE - dE * ddN);
        if (!(cross > 0.0)) continue;
        const double speed = std::hypot(dN, dE);
        const double bendMps = std::max(std::sqrt(side * speed * speed * speed / cross), kCornerKn * kMpsPerKn);
        most = std::min(most, std::sqrt(bendMps * bendMps + brake * aheadM));
    }
    return a.curveKnHere = std::min(most / kMpsPerKn, kFastestGroundKn);
}

// How far (degrees) the way turns at `corner`, coming from `from` and going on to `to`.
double lf_turnAtDeg(const PositionSample& from, const PositionSample& corner, const PositionSample& to) {
    return std::fabs(gf_headingDifference(gf_initialBearing(at(from), at(corner)), gf_initialBearing(at(corner), at(to)))) * kRad2Deg;
}

// Whether a curve rounds a corner of `angleDeg`: a bend too slight to see or a reversal gets none, nor
// a way that comes back to where it set out.
bool lf_curveRounds(double angleDeg, const PositionSample& from, const PositionSample& to) {
    return angleDeg > 3.0 && angleDeg <= 160.0 && (from.latitude != to.latitude || from.longitude != to.longitude);
}

// The curve a turn at the sample after the next one will get once the next one is reached, from
// there through it to the one beyond (lf_groundTurns): the fastest the aircraft may reach the next
// one at, since braking within the curve comes too late where it starts close to the corner.
double lf_curveKnAfterNext(const LiveAircraft& a) {
    if (a.samples.size() < 3 || a.samples[1].standing || a.samples[2].standing) return kFastestGroundKn;
    const PositionSample& to = a.samples[0];
    const PositionSample& corner = a.samples[1];
    const PositionSample& end = a.samples[2];
    const double angleDeg = lf_turnAtDeg(to, corner, end);
    if (!lf_curveRounds(angleDeg, to, end)) return kFastestGroundKn;
    const double east = kMetresPerDegreeLat * std::cos(to.latitude * kDeg2Rad);
    const CurveShape shape = lf_curveShape((corner.latitude - to.latitude) * kMetresPerDegreeLat, longitudeDelta(to.longitude, corner.longitude) * east,
                                           (end.latitude - to.latitude) * kMetresPerDegreeLat, longitudeDelta(to.longitude, end.longitude) * east);
    return lf_curveMostKn(a, shape, angleDeg);
}

// The fastest it may reach the next sample at where the way turns there (no curve rounds it): its
// nose comes round at the rate that speed allows while it covers the shorter leg; a sharp corner it
// crawls round.
double lf_cornerKnAhead(LiveAircraft& a) {
    if (a.samples.size() < 2) return kFastestGroundKn;
    if (a.cornerKnownFor == static_cast<std::int32_t>(a.samples.size())) return a.cornerKn;
    a.cornerKnownFor = static_cast<std::int32_t>(a.samples.size());
    a.cornerKn = kFastestGroundKn;
    const PositionSample& to = a.samples[0];
    const PositionSample& after = a.samples[1];
    if (after.latitude == to.latitude && after.longitude == to.longitude) return a.cornerKn;
    // The way in: a curve's at its end, else straight from here.
    const double in = hasCurve(a) ? std::atan2(a.curve.endEast - a.curve.controlEast, a.curve.endNorth - a.curve.controlNorth)
                                  : gf_initialBearing(here(a), at(to));
    const double out = gf_initialBearing(at(to), at(after));
    const double angle = std::fabs(gf_headingDifference(in, out));
    if (angle > kSharpCornerRad) {
        a.cornerKn = kCornerKn;
    } else if (angle > 3.0 * kDeg2Rad && !a.underPower && !a.landingRoll) {
        // (On the runway the records' tracks scatter by a few degrees: no corner.)
        const double legIn = hasCurve(a) ? a.curveLengthNm * 1852.0 : gf_distanceNm(here(a), at(to)) * 1852.0;
        const double legs = std::max(std::min(legIn, gf_distanceNm(at(to), at(after)) * 1852.0), 10.0);
        a.cornerKn = std::max(std::sqrt(lf_mostSideAccelMps2(a) * legs / angle) / kMpsPerKn, kCornerKn);
        // No curve will round it (none comes after the corner yet): its way there swings by up to a
        // slip at once and its nose follows, the whole corner within about a second, which it takes
        // within the class's sideways limit.
        if (a.samples.size() < 3) a.cornerKn = std::min(a.cornerKn, std::max(lf_mostSideAccelMps2(a) / angle / kMpsPerKn, kCornerKn));
    }
    if (!a.underPower && !a.landingRoll) a.cornerKn = std::min(a.cornerKn, lf_curveKnAfterNext(a));
    return a.cornerKn;
}

// Its records' ground speed about pass `p`: the fastest due within 5 s of it; in a pause, the faster of
// the last one before and the first after (the last once they end); negative when none is known.
double lf_recordsKnAbout(const LiveAircraft& a, int p) {
    double most = -1.0, before = -1.0, after = -1.0;
    for (const auto& [due, kn] : a.recordKn) {
        if (std::abs(due - p) <= kRecordsAboutPasses) most = std::max(most, kn);
        if (due <= p)
            before = kn;
        else if (after < 0.0)
            after = kn;
    }
    return most >= 0.0 ? most : std::max(before, after);
}

// Their ground speed now (0 when none is known, or they fly).
double lf_recordsKnNow(const LiveAircraft& a) {
    const double kn = lf_recordsKnAbout(a, tick());
    return std::isfinite(kn) ? std::max(kn, 0.0) : 0.0;
}

// The fastest its records let it taxi now: half as fast again as they go about each of the next
// seconds, and a little, plus what braking in time for a slower one leaves. Catching up after a pause,
// or late behind records that slow, it arrives later rather than racing them.
double lf_recordsPaceCapKn(LiveAircraft& a) {
    const int now = tick();
    if (a.recordsCapPass >= 0 && now - a.recordsCapPass < kRecordsCapEveryPasses) return a.recordsCapKn;
    a.recordsCapPass = now;
    const double brakeKnPerS = kPlannedBraking * slowDownPerPass(a) * 100.0;
    double cap = std::numeric_limits<double>::infinity();
    for (int s = 0; s <= kRecordsCapAheadS; ++s) {
        const double kn = lf_recordsKnAbout(a, now + 100 * s + kRecordsLeadPasses);
        if (kn >= 0.0 && std::isfinite(kn)) cap = std::min(cap, kCatchUpShare * kn + kRecordsPaceMarginKn + brakeKnPerS * s);
    }
    return a.recordsCapKn = cap;
}

// On an approach, the fastest from which it slows in time to each flying record of the next 20 s that
// is clearly slower than its records now, arriving a little above its speed: records that slow on an
// approach are met near their speed, not overtaken by an aircraft still catching up at its cruise and
// then slowing no faster than it can (it touched down 20 kn fast and rolled out seconds ahead of them).
double lf_slowerAirRecordsAheadKn(const LiveAircraft& a, double reported) {
    const int now = tick();
    const double perPass = kPlannedBraking * slowDownPerPass(a);
    double most = std::numeric_limits<double>::infinity();
    for (std::size_t i = 0; i < a.samples.size(); ++i) {
        const PositionSample& s = a.samples[i];
        if (s.duePass - now > kAirSlowingAheadPasses) break;
        if (!s.airborne || !std::isfinite(s.groundSpeed)) continue;
        // The pace its positions show from the one before, where a few seconds apart and clearly below
        // the speed it reports (the wind, or a slow position fix): on a short final they say where it is.
        double kn = s.groundSpeed;
        if (i > 0 && s.duePass - a.samples[i - 1].duePass >= kPacedOverPasses) {
            if (const double pace = paceBetween(a.samples[i - 1], s); pace >= kAirPaceShare * kn) kn = std::min(kn, pace);
        }
        // (Records as fast as now leave it its catching up.)
        if (kn < kAirReportedFloorKn || kn > kAirSlowerShare * reported) continue;
        most = std::min(most, kAirArriveShare * kn + perPass * std::max(s.duePass - now, 0));
    }
    return most;
}

// The distance (nm) to go in this pass, `remainingNm` short of the next sample, and the new pace.
// Rolling for take-off, never much faster than its roll's fastest record.
double lf_rollCapKn(const LiveAircraft& a) {
    return kMostOverRecordsShare * std::max({a.rollFastestKn.front(), a.wayFromKn, a.wayToKn}) + kMostOverRecordsKn;
}

double lf_paceStep(LiveAircraft& a, double remainingNm, double mostKn = kFastestGroundKn) {
    const PositionSample& to = a.samples.front();
    const int now = tick();
    const double span = std::max(to.duePass - a.wayFromPass, 1);
    const double u = std::clamp((now - a.wayFromPass) / span, 0.0, 1.0);
    const double reported = a.wayFromKn + (a.wayToKn - a.wayFromKn) * u;
    // Beyond the newest sample it keeps its pace until the next one comes; a made-up flight keeps its
    // speed, and a made-up roll or approach follows the speeds its samples were made with.
    const bool keeps = (a.pastNext || (!a.onGround && a.extrapolationCount > 0)) && std::isfinite(a.paceKn);
    const double needed = (a.onGround || a.onApproach) && a.extrapolationCount != 0 ? reported
                          : keeps                                 ? a.paceKn
                                                                  : remainingNm * kPassesPerHour / std::max(to.duePass - now, 1);
    double target = needed;
    if (a.onGround) {
        // Just created, it shows the speed its records report before it catches up with any leap.
        // Catching up, it goes no faster than a little above what its records report, and taxiing
        // never beyond the class's quickest taxi: it arrives late rather than racing.
        const double catchUpKn = now - a.creationPass > kNewPasses ? kGroundCatchUpKn : 0.0;
        if (reported > 1.0) {
            // Late on a stretch its records crawled along, it catches up at the pace they go now.
            const double theirs = catchUpKn > 0.0 ? std::max(reported, lf_recordsKnNow(a)) : reported;
            const double catchUpTo = std::min(theirs + catchUpKn, kCatchUpShare * theirs + kCatchUpMarginKn);
            double upper = std::max(kFasterThanReported * reported, std::min(needed, catchUpTo));
            if (!a.underPower && (reported <= kFastestTaxiKn || a.turnedBack)) upper = std::min(upper, std::max(kFastestTaxiKn, reported));
            if (a.underPower) {
                upper = std::min(upper, lf_rollCapKn(a));
                // Rotating, it speeds up no more to catch up with its records: its wheels leave the
                // ground no faster than they show or its class lifts off at; lateness is made good in the air.
                if (a.phase == PHASE_AFTER_TAKEOFF) upper = std::min(upper, std::max(reported, lf_liftOffKn(a)));
            }
            target = std::clamp(needed, std::min(kSlowerThanReported * reported, upper), upper);
        } else if (!a.underPower && a.extrapolationCount == 0 && catchUpKn > 0.0) {
            // Late onto records that stop or creep, it catches up no faster than a crawl.
            target = std::min(needed, kCatchUpShare * std::max(reported, 0.0) + kCatchUpMarginKn);
        }
        target = std::min(target, mostKn);
        if (!a.underPower) target = std::min(target, lf_recordsPaceCapKn(a));
        // Planned short of its braking, so that a pace still catching up comes down in time.
        const double brakeKn2 = 2.0 * kPlannedBraking * slowDownPerPass(a) * 100.0 * remainingNm * 3600.0;
        if (lf_stopAhead(a)) target = std::min(target, std::sqrt(kStopCreepKn * kStopCreepKn + brakeKn2));
        // Making for the newest record well ahead of its time (it touched down faster than the real
        // aircraft, or overtook it), it slows to reach it on time, creeping at the least, rather than
        // rolling on off their way.
        if (a.samples.size() == 1 && !a.underPower && a.extrapolationCount == 0 && to.duePass - now > kWaitAheadPasses)
            target = std::min(target, std::max(a.pastNext ? 0.0 : needed, kCreepKn));
        // Nor does it reach a record faster than that reports: it brakes for a turn-off before it, and
        // for a corner there also while it runs late.
        if (!a.underPower && a.extrapolationCount == 0 && a.wayToKn + kNoiseKn < target)
            target = std::min(target, std::sqrt(a.wayToKn * a.wayToKn + brakeKn2));
        if (const double corner = lf_cornerKnAhead(a); corner < target) target = std::min(target, std::sqrt(corner * corner + brakeKn2));
        // A take-off roll never slows while its records speed up or fly: ahead of them it rolls on. (Not
        // while it still lines up, slower than any roll: corners then are real.)
        if (a.underPower && (to.airborne || a.wayToKn >= a.wayFromKn) && a.paceKn >= kTakeoffRollKn)
            target = std::max(target, std::min({a.paceKn, mostKn, lf_rollCapKn(a)}));
    } else if (reported >= (a.sizeClass == SIZE_ROTORCRAFT ? kRotorReportedFloorKn : kAirReportedFloorKn)) {
        // (A helicopter's slow speeds are real: it slows to a hover with them, never flying on at its pace.)
        target = std::clamp(needed, kSlowerThanReported * reported, kFasterThanReported * reported);
        if (a.onApproach) target = std::min(target, lf_slowerAirRecordsAheadKn(a, reported));
    } else {
        target = std::min(needed, 2.0 * std::max(reported, 150.0));
    }
    // A new aircraft sets off at the speed its records show. On the ground, where they stand and its
    // next record lies seconds ahead, it sets off from a standstill: that record may be a take-off
    // roll's, 50 kn faster.
    if (!std::isfinite(a.paceKn)) {
        a.wayCosLat = std::cos(a.position.latitude * kDeg2Rad);
        const double shown = std::isfinite(to.groundSpeed) ? to.groundSpeed : 0.0;
        const bool standsHere = a.onGround && to.duePass - now > kSetOffFromStandPasses;
        a.paceKn = reported > 1.0 ? reported : standsHere ? 0.0 : shown > 1.0 ? shown : std::min(target, 30.0);
    }
    a.paceKn = std::max(std::clamp(target, a.paceKn - slowDownPerPass(a), a.paceKn + speedUpPerPass(a)), 0.0);
    // What was left of the last pass at the sample reached goes on now: no pass is cut short.
    const double carried = a.carriedNm;
    a.carriedNm = 0.0;
    return a.paceKn / kPassesPerHour + carried;
}

// At the next sample before it falls due: on the ground the aircraft goes on to the one after without
// waiting, or along its nose while that one is still to come; in the air it flies on along its nose
// until the sample falls due (a step at every early sample would make new ones along a curve). Where
// its records stand still it waits for their time, and so it does for made-up samples on the ground,
// which brake from the one reached.
void lf_reachedEarly(LiveAircraft& a, double movedNm) {
    if (a.onGround && a.samples.size() >= 2) {
        if (!lf_stopAhead(a)) a.samples.front().duePass = std::min(a.samples.front().duePass, tick() + 1);
    } else if (movedNm > 0.0 && (!a.onGround || a.samples.size() < 2)) {
        clearCurve(a);
        a.pastNext = 1;
        a.pastNorth = std::cos(a.position.heading) / kNmPerDegreeLat;
        a.pastEast = std::sin(a.position.heading) / (kNmPerDegreeLat * a.wayCosLat);
    }
}

// The cosine and sine of the nose, taken again only when it turned.
void lf_noseTrig(LiveAircraft& a, double heading) {
    if (a.trigHeading != heading) std::tie(a.trigHeading, a.headingCos, a.headingSin) = std::tuple{heading, std::cos(heading), std::sin(heading)};
}

// A sample after the next one lies ahead of the nose (within a kilometre): the next one, behind it,
// was passed.
bool lf_laterSampleAhead(const LiveAircraft& a, double heading) {
    const std::size_t n = std::min<std::size_t>(a.samples.size(), 30);
    for (std::size_t j = 1; j < n; ++j) {
        const double m = gf_distanceNm(here(a), at(a.samples[j])) * 1852.0;
        if (m > 5.0 && m < 1000.0 && std::fabs(gf_headingDifference(heading, gf_initialBearing(here(a), at(a.samples[j])))) <= kPi / 2.0)
            return true;
    }
    return false;
}

// On the ground it rolls through every record's position, however late: a record that falls due
// before it is reached stays its way (its pace catches up within its bounds) rather than being cut
// across. Not one it ran past (lf_followCurve), nor made-up samples, which are timed from where it is,
// nor on a take-off roll, which goes straight along its runway.
void lf_holdUntilReached(LiveAircraft& a, double remainingNm) {
    if (!a.onGround || a.underPower || a.extrapolationCount != 0 || a.samples.empty() || !(remainingNm * 1852.0 > 1.0)) return;
    PositionSample& to = a.samples.front();
    to.duePass = std::max(to.duePass, tick() + 2);
}

// The way of a straight step, or none (the aircraft stands, or creeps slower than a walk and its
// direction is left alone, as in lf_pointWhereItGoes).
double lf_stepWay(const LiveAircraft& a) {
    const double east = a.longitudeStep * std::cos(a.position.latitude * kDeg2Rad);
    if (std::hypot(a.latitudeStep, east) * kMetresPerDegreeLat < kRollingMetresPerPass)
        return std::numeric_limits<double>::quiet_NaN();
    return std::atan2(east, a.latitudeStep);
}

const double kNearPoleCos = std::cos(kNearPoleDeg * kDeg2Rad);

// Its own steps near a pole: the way and length they give where it is, flown along the great circle,
// and taken on from where it arrives, turned as the meridians turn (set from a heading where it was,
// they stay a straight flight across the pole).
void lf_stepAlongGreatCircle(LiveAircraft& a) {
    const double cosLat = std::cos(a.position.latitude * kDeg2Rad);
    const double north = a.latitudeStep * kMetresPerDegreeLat, east = a.longitudeStep * kMetresPerDegreeLat * cosLat;
    const double metres = std::hypot(north, east);
    if (!(metres > 0.0) || !std::isfinite(metres)) return;
    double way = std::atan2(east, north);
    const LatLon to = gf_moveAlong(here(a), way, metres / 1852.0 * kFeetPerNm);
    std::tie(a.position.latitude, a.position.longitude) = std::pair{to.lat, to.lon};
    a.latitudeStep = metres * std::cos(way) / kMetresPerDegreeLat;
    a.longitudeStep = metres * std::sin(way) / (kMetresPerDegreeLat * std::cos(a.position.latitude * kDeg2Rad));
}

}  // namespace

void lf_followCurve(LiveAircraft& a) {
    const PositionBlock before = a.position;
    const bool paced = lf_paced(a);
    // Along a curve by the pace: its parameter advances by the distance over its rate of change.
    double dNorth = 0.0, dEast = 0.0;
    if (paced && hasCurve(a)) {
        const double u = a.curveProgress, v = 1.0 - u;
        dNorth = 2.0 * v * a.curve.controlNorth + 2.0 * u * (a.curve.endNorth - a.curve.controlNorth);
        dEast = 2.0 * v * a.curve.controlEast + 2.0 * u * (a.curve.endEast - a.curve.controlEast);
        // A curve that turns away faster than the nose can follow is left: the aircraft makes for the
        // curve's end straight, slipping no more than it may and crawling while its nose comes round.
        if (a.onGround &&
            std::fabs(gf_headingDifference(a.position.heading, normalHeading(std::atan2(dEast, dNorth)))) > kMostSlipRad)
            clearCurve(a);
    }
    if (hasCurve(a)) {
        double step = a.curveStep, moved = 0.0;
        if (paced) lf_holdUntilReached(a, a.curveLengthNm);
        if (paced) {
            const double most = !a.onGround ? kFastestGroundKn : a.underPower || a.landingRoll ? a.curveMostKn : lf_curveKnFromHere(a);
            moved = lf_paceStep(a, a.curveLengthNm, most);
            const double perU = std::hypot(dNorth, dEast);
            step = perU > 0.0 ? moved * 1852.0 / perU : 1.0;
        }
        const double progress = std::min(a.curveProgress + step, 0.999999);
        LatLon p;
        double h = 0.0;
        if (!gf_positionOnPath(a.curve, p, h, progress)) {
            gf_logLine(vrn::format("{} error in curve at index: {:.2F}", a.callsign, progress));
            return;
        }
        if (!lf_turnsOnTheSpot(a, h)) {
            a.curveProgress = progress;
            a.curveLengthNm = std::max(a.curveLengthNm - moved, 0.0);
            a.position.latitude = p.lat;
            a.position.longitude = normalLongitude(p.lon);
            lf_turnTowards(a, a.phase == PHASE_PUSHING_BACK ? h + kPi : h);
            if (paced && progress >= 0.999999) lf_reachedEarly(a, moved);
        } else if (paced) {
            a.paceKn = 0.0;
        }
    } else {
        const int phase = a.phase;
        // Paced, the way is from here to the next sample: in degrees of latitude and longitude, and in
        // nm north and east.
        double latDeg = 0.0, lonDeg = 0.0, north = 0.0, east = 0.0, remaining = 0.0;
        bool behind = false;
        double behindMostKn = 0.0;
        const double cosLat = a.wayCosLat;
        double way = std::numeric_limits<double>::quiet_NaN();
        // Near a pole (or on a way that began there) the air goes along great circles: this pass's
        // way, or along its nose where that stays NaN.
        const bool polar = !a.onGround && (nearPole(before.latitude) || cosLat < kNearPoleCos);
        double polarWay = std::numeric_limits<double>::quiet_NaN();
        if (paced && a.pastNext) {
            // Beyond the sample, whose successor is still to come or not yet due: on along its nose
            // (one nm of it, in degrees).
            remaining = 1.0;
            std::tie(latDeg, lonDeg) = std::pair{a.pastNorth, a.pastEast};
            // On the ground, once records after it come, it goes on to them.
            if (a.onGround && a.samples.size() >= 2) a.samples.front().duePass = std::min(a.samples.front().duePass, tick() + 1);
        } else if (paced) {
            const PositionSample& to = a.samples.front();
            latDeg = to.latitude - a.position.latitude;
            lonDeg = to.longitude - a.position.longitude;   // the short way round, without a remainder
            lonDeg += lonDeg > 180.0 ? -360.0 : lonDeg < -180.0 ? 360.0 : 0.0;
            north = latDeg * kNmPerDegreeLat;
            east = lonDeg * kNmPerDegreeLat * cosLat;
            remaining = std::sqrt(north * north + east * east);
            if (polar) {
                remaining = gf_distanceNm(here(a), at(to));
                polarWay = gf_initialBearing(here(a), at(to));
                std::tie(north, east) = std::pair{remaining * std::cos(polarWay), remaining * std::sin(polarWay)};
            }
            // (Behind: the way to it points against the nose; a dot product, no angles, the nose's taken
            // again only when it turned.)
            lf_noseTrig(a, before.heading);
            const bool offBehind = remaining * 1852.0 > 0.5 && north * a.headingCos + east * a.headingSin < 0.0;
            // Standing, it is not moved or turned by the scatter of records that say it stands or
            // creeps, nor by one close behind it: it sets off when its records move on ahead.
            const bool still = !(a.paceKn > kStoppedKn) && remaining * 1852.0 <= kPassedM;
            const bool scatter = a.onGround && (!(to.groundSpeed >= 1.0) || offBehind) && still;
            if (!scatter && (a.turnFirst || !offBehind)) lf_holdUntilReached(a, remaining);
            if (scatter) {
                behind = true;
                latDeg = lonDeg = 0.0;
            } else if (a.turnFirst && remaining * 1852.0 > 1.0) {
                way = std::atan2(east, north);
            } else if (offBehind) {
                // A sample behind its nose is one it ran past (its records slowed, or their positions
                // scatter): it never goes back for it. In the air it flies on along its nose until the
                // next falls due; on the ground it goes on to the next sample, or brakes along its nose,
                // and only once it stands turns round for records that lie well behind it.
                if (!a.onGround) {
                    lf_reachedEarly(a, remaining);
                    remaining = 1.0;
                    std::tie(latDeg, lonDeg) = std::pair{a.pastNorth, a.pastEast};
                } else {
                    // Passed: close behind, or a later sample lies ahead (it rolled past a turn-off's
                    // first records, or overtook records that slowed).
                    const bool passed = remaining * 1852.0 <= kPassedM || lf_laterSampleAhead(a, before.heading);
                    if (passed && a.samples.size() >= 2 && !lf_stopAhead(a)) {
                        a.samples.front().duePass = std::min(a.samples.front().duePass, tick() + 1);
                        behindMostKn = kFastestGroundKn;
                    }
                    if (!passed && (a.turnedBack || !(a.paceKn > kStoppedKn))) {
                        // Stopped, it turns round at a crawl (below).
                        a.cornering = 1;
                        a.turnedBack = 1;
                    } else {
                        behind = true;
                        latDeg = remaining * std::cos(before.heading) / kNmPerDegreeLat;
                        lonDeg = remaining * std::sin(before.heading) / (kNmPerDegreeLat * cosLat);
                    }
                }
            }
        } else if (a.turnFirst && a.onGround) {
            way = lf_stepWay(a);   // (only a taxi setting off turns to its way first)
        }
        const bool turning = !std::isnan(way) && lf_turnsOnTheSpot(a, way);   // it rolls once it points its way
        if (turning) {
            // Towards a way well off its nose it turns round at a crawl rather than on the spot.
            if (paced) {
                const double crawl = remaining * 1852.0 > kPassedM ? gf_turnCrawlKn(gf_motionLimits(a.sizeClass)) : 0.0;
                const double pace = std::isfinite(a.paceKn) ? a.paceKn : 0.0;
                a.paceKn = std::max(std::clamp(crawl, pace - slowDownPerPass(a), pace + speedUpPerPass(a)), 0.0);
                const double nm = a.paceKn / kPassesPerHour;
                a.position.latitude += nm * std::cos(a.position.heading) / kNmPerDegreeLat;
                a.position.longitude += nm * std::sin(a.position.heading) / (kNmPerDegreeLat * cosLat);
            }
        } else if (phase == PHASE_PUSHING_BACK) {
            // Backwards: the tail leads towards the next sample.
            lf_turnTowards(a, a.bearingToNext + kPi);
        } else if (phase == PHASE_LEAVING_STAND || phase == PHASE_STAND_CLEANUP || (phase == PHASE_MOVING && a.offBearing && !behind)) {
            lf_turnTowards(a, a.bearingToNext);
        } else if (phase == PHASE_AFTER_TAKEOFF || phase == PHASE_AIRBORNE || (!a.onGround && phase != PHASE_MOVING)) {
            a.position.heading = normalHeading(a.position.heading + a.headingStep);
        }
        double mostKn = behind ? behindMostKn : kFastestGroundKn;
        // Never sideways: it moves at most a slip off its nose, crawling while its nose comes round
        // (looked at every 80 ms while it goes straight, every pass while it corners).
        // In the air likewise it flies along its nose, a little off at most, turning at its class's rate
        // towards a sample off it (records that come again far off its way after made-up flight). (Off
        // by more than that: the way's share along the nose, a dot product with the nose's cosine and
        // sine, every 40 ms while it flies along its nose; angles only then.)
        if (paced && !a.onGround && !a.pastNext && remaining > 0.0 && (a.cornering || (tick() & 3) == 0)) {
            lf_noseTrig(a, before.heading);
            a.cornering = north * a.headingCos + east * a.headingSin < remaining * kCosMostAirSlip ? 1 : 0;
            if (a.cornering) {
                const double off = gf_headingDifference(before.heading, normalHeading(std::atan2(east, north)));
                // (Its heading step this pass stands where it already turns that way as fast.)
                const double want = std::copysign(std::min(lf_turnRatePerPass(a, a.paceKn), std::fabs(off)), off);
                const double done = gf_headingDifference(before.heading, a.position.heading);
                if (done * want <= 0.0 || std::fabs(done) < std::fabs(want)) a.position.heading = normalHeading(before.heading + want);
                const double along = a.position.heading + std::copysign(kMostAirSlipRad, off);
                polarWay = along;
                latDeg = remaining * std::cos(along) / kNmPerDegreeLat;
                lonDeg = remaining * std::sin(along) / (kNmPerDegreeLat * cosLat);
            }
        }
        if (paced && !turning && !behind && a.onGround && !a.pastNext && remaining * 1852.0 > 0.5 && (a.cornering || (tick() & 7) == 0)) {
            const double off = gf_headingDifference(before.heading, normalHeading(std::atan2(east, north)));
            a.cornering = std::fabs(off) > kMostSlipRad ? 1 : 0;
            if (a.cornering) {
                a.position.heading = normalHeading(before.heading + std::copysign(std::min(lf_groundTurnLimit(a), std::fabs(off)), off));
                const double way = a.position.heading + std::copysign(kMostSlipRad, off);
                latDeg = remaining * std::cos(way) / kNmPerDegreeLat;
                lonDeg = remaining * std::sin(way) / (kNmPerDegreeLat * cosLat);
                // A way behind it it turns round to at the crawl that keeps to its tightest circle.
                mostKn = std::fabs(off) > kPi / 2.0 ? gf_turnCrawlKn(gf_motionLimits(a.sizeClass)) : kCornerKn;
            }
        }
        if (paced && !turning) {
            // Past its records it slows evenly, not at its brakes' best: nothing ahead calls for that.
            const double go = behind && mostKn == 0.0 && std::isfinite(a.paceKn)
                                  ? (a.paceKn = std::max(a.paceKn - kEvenBrakingPerPass, 0.0)) / kPassesPerHour
                                  : lf_paceStep(a, a.pastNext ? 0.0 : remaining, mostKn);
            if (behind) {
                const double share = remaining > 0.0 ? go / remaining : 0.0;
                a.position.latitude += latDeg * share;
                a.position.longitude += lonDeg * share;
            } else if (!a.pastNext && go >= remaining) {
                a.position.latitude = a.samples.front().latitude;
                a.position.longitude = a.samples.front().longitude;
                lf_reachedEarly(a, go);
                if (a.onGround && !lf_stopAhead(a)) a.carriedNm = go - remaining;
            } else if (polar && remaining > 0.0) {
                double along = a.pastNext || std::isnan(polarWay) ? a.position.heading : polarWay;
                const LatLon to = gf_moveAlong(here(a), along, go * kFeetPerNm);
                std::tie(a.position.latitude, a.position.longitude) = std::pair{to.lat, to.lon};
            } else if (remaining > 0.0) {
                const double share = go / remaining;
                a.position.latitude += latDeg * share;
                a.position.longitude += lonDeg * share;   // kept in range below
            }
        } else if (phase != PHASE_LEAVING_STAND && !turning && polar) {
            lf_stepAlongGreatCircle(a);
        } else if (phase != PHASE_LEAVING_STAND && !turning) {
            a.position.latitude += a.latitudeStep;
            a.position.longitude = normalLongitude(a.position.longitude + a.longitudeStep);
        }
        // (Its nose keeps its way in space as the meridians turn under it.)
        if (polar) a.position.heading = normalHeading(a.position.heading + meridianTurn(at(before), here(a)));
    }
    // Moved by its own steps: its pace is what they covered, so that the pace goes on from there.
    if (!paced && (a.rejoining || a.towing || a.phase == PHASE_PUSHING_BACK || a.phase == PHASE_LEAVING_STAND)) {
        const double east = longitudeDelta(before.longitude, a.position.longitude) * std::cos(a.position.latitude * kDeg2Rad);
        const double north = a.position.latitude - before.latitude;
        a.paceKn = std::sqrt(north * north + east * east) * kNmPerDegreeLat * kPassesPerHour;
        // (Across a pole the longitudes say nothing of the distance.)
        if (nearPole(a.position.latitude)) a.paceKn = gf_distanceNm(at(before), here(a)) * kPassesPerHour;
    }
    lf_pointWhereItGoes(a, before);
    if (a.phase == PHASE_AFTER_TAKEOFF)
        lf_afterTakeoff(a);
    else
        lf_attitude(a);
    lf_keepSane(a, before);
}

void lf_makeCurve(LiveAircraft& a, double turnAngleDeg) {
    if (a.samples.size() < 3) return;
    const PositionSample& o = a.samples[0];
    const PositionSample& n = a.samples[1];
    PositionSample& t = a.samples[2];
    // From where the aircraft is: at its own pace it may reach the oldest sample a little early or late.
    const LatLon from = lf_paced(a) && std::isfinite(a.position.latitude) && std::isfinite(a.position.longitude) ? here(a) : at(o);
    const double east = kMetresPerDegreeLat * std::cos(from.lat * kDeg2Rad);
    a.curve.originLat = from.lat;
    a.curve.originLon = from.lon;
    a.curve.t0 = 0.0;
    a.curve.t1 = 1.0;
    a.curve.controlNorth = (n.latitude - from.lat) * kMetresPerDegreeLat;
    a.curve.controlEast = longitudeDelta(from.lon, n.longitude) * east;
    a.curve.endNorth = (t.latitude - from.lat) * kMetresPerDegreeLat;
    a.curve.endEast = longitudeDelta(from.lon, t.longitude) * east;
    if (!std::isfinite(a.curve.controlEast) || !std::isfinite(a.curve.endEast)) {
        clearCurve(a);
        return;
    }
    const CurveShape shape = lf_curveShape(a.curve.controlNorth, a.curve.controlEast, a.curve.endNorth, a.curve.endEast);
    a.curveLengthNm = shape.lengthM / 1852.0;
    a.curveMostKn = lf_curveMostKn(a, shape, turnAngleDeg);
    a.curveKnPass = -1;
    if (t.groundSpeed == 0.0) t.groundSpeed = (o.groundSpeed + n.groundSpeed) / 2.0;
    a.curveProgress = 0.0;
    a.curveTurnAngle = turnAngleDeg * kDeg2Rad;
    a.samples.erase(a.samples.begin() + 1);
}

void lf_limitsUnderPower(LiveAircraft& a) {
    // Their speeds were set for a taxi, from the tightest bend of a curve and any turn ahead; a roll
    // along the runway reads a few degrees of scatter in its records' tracks as bends.
    a.cornerKnownFor = -1;
    if (!hasCurve(a)) return;
    const CurveShape shape = lf_curveShape(a.curve.controlNorth, a.curve.controlEast, a.curve.endNorth, a.curve.endEast);
    a.curveMostKn = lf_curveMostKn(a, shape, std::fabs(a.curveTurnAngle) * kRad2Deg);
}

void lf_checkSpeedChange(LiveAircraft& a) {
    if (a.samples.size() < 2) return;
    const PositionSample& o = a.samples[0];
    const PositionSample& n = a.samples[1];
    if (o.standing && n.standing) return;
    if (std::fabs(o.groundSpeed - n.groundSpeed) > 5.0 && gf_distanceNm(at(o), at(n)) * 1852.0 >= 100.0)
        lf_insertMidSample(a);
}

void lf_groundRetime(LiveAircraft& a) {
    if (a.samples.size() < 2) return;
    const PositionSample& o = a.samples[0];
    const PositionSample& n = a.samples[1];
    if (n.standing) {
        const int span = std::max(n.duePass - o.duePass, kMinPasses);
        lf_setNextDuePass(a, std::max(o.duePass + span - tick(), kMinPasses));
        return;
    }
    const double r0 = a.groundTurnRate;
    double r = r0;
    // A made-up sample is timed from where the aircraft is: it goes on from there (lf_extendSamples).
    const double d = gf_distanceNm(a.extrapolationCount != 0 ? here(a) : at(o), at(n));
    const int passes = std::max(passesFor(d, gf_sampleSpeed(a)), kMinPasses);
    if (hasCurve(a) || a.offBearing) {
        const double angle = a.offBearing ? std::fabs(gf_headingDifference(a.position.heading, a.bearingToNext)) * kRad2Deg
                                          : std::fabs(a.curveTurnAngle) * kRad2Deg;
        const double turns = r0 > 0.0 ? std::max(1.0, std::round(angle / r0 / 100.0)) : 1.0;
        if (angle > 0.0 && d > 0.0 && r0 > 0.0) {
            const double q = passes / turns;
            if (angle > 45.0) {
                r *= std::min(q, std::min(angle, 90.0) / 30.0);
            } else {
                const double x = q >= 1.2 ? std::min({q, q * 10.0 / angle, q * 30.0 * 0.0005399568034557236 / d}) : q;
                if (x != 0.0) r /= x;
            }
            // A rate from odd data stays within reach of the class's own.
            r = std::isfinite(r) ? std::clamp(r, r0 / 20.0, r0 * 3.0) : r0;
        }
    }
    // Lifting off, the heading step is the air's signed step: a ground turn rate kept there would
    // turn the climbing aircraft round in circles.
    a.headingStep = a.phase == PHASE_AFTER_TAKEOFF ? 0.0 : r;
    lf_setNextDuePass(a, passes);
}

void lf_addManoeuvreSample(LiveAircraft& a, const LatLon& position, double heading) {
    const PositionSample& newest = a.samples.back();
    const double speed = std::max(a.pushBackSpeed, 1.0);
    PositionSample s = newest;
    s.latitude = position.lat;
    s.longitude = normalLongitude(position.lon);
    s.bank = a.position.bank;
    s.altitude = a.position.altitude;
    s.heading = normalHeading(heading);
    s.track = s.heading * kRad2Deg;
    s.groundSpeed = speed;
    s.trueAirspeed = speed;
    s.verticalSpeed = 0.0;
    s.airborne = 0;
    s.standing = (s.latitude == newest.latitude && s.longitude == newest.longitude) ? 1 : 0;
    const int passes = std::max(passesFor(gf_distanceNm(at(newest), position), speed), 100);
    s.duePass = std::max(newest.duePass, tick()) + passes;
    a.samples.push_back(s);
    PositionSample still = s;
    still.groundSpeed = 0.0;
    still.trueAirspeed = 0.0;
    still.standing = 1;
    still.duePass = s.duePass + 1;
    a.samples.push_back(still);
}

void lf_pullOut(LiveAircraft& a) {
    a.leftStand = 0;
    a.extrapolationCount = 0;
    const double speed = std::max(a.pushBackSpeed, 1.0);
    const double distanceNm = 2.0 * a.halfWingspanNm;
    PositionSample& oldest = a.samples.front();
    oldest.groundSpeed = speed;
    PositionSample out = oldest;
    const LatLon target = gf_destinationPoint(here(a), a.standHeading, distanceNm * kFeetPerNm);
    out.latitude = target.lat;
    out.longitude = normalLongitude(target.lon);
    out.groundSpeed = speed;
    out.trueAirspeed = speed;
    out.track = a.standHeading * kRad2Deg;
    out.airborne = 0;
    out.standing = 0;
    out.duePass = tick() + std::max(passesFor(distanceNm, speed), kMinPasses);
    a.samples.erase(a.samples.begin() + 1, a.samples.end());
    a.samples.push_back(out);
    a.previousPhase = a.phase;
    a.phase = PHASE_MOVING;
    a.bearingToNext = a.position.heading;
    sendLights(a, 1, 1, 0, 1, 0, 1, 1);
    if (a.objectId != 0) gf_queueEngineAutoStart(a.objectId);
    gf_setThrottle(a, 0);
    gf_setFlaps(a, 1);
    if (LOG.get()) gf_logLine(vrn::format("{:8}: {:8} pull out {}", gf_nowHhMmSs(), a.callsign, gf_standNameOf(a)));
}

void lf_pushBack(LiveAircraft& a) {
    a.extrapolationCount = 0;
    double standSizeNm = 2.0 * a.halfWingspanNm;
    {
        std::lock_guard lock(g_standsMutex);
        if (const Stand* stand = gf_standByNumber(static_cast<std::uint32_t>(a.standId)); stand && stand->radius > 0.0)
            standSizeNm = stand->radius;
    }
    const double direction = normalHeading(a.standHeading + kPi);
    const LatLon start = here(a);
    const LatLon end = gf_destinationPoint(start, direction, 2.5 * standSizeNm * kFeetPerNm);
    PositionSample& oldest = a.samples.front();
    oldest.latitude = start.lat;
    oldest.longitude = start.lon;
    oldest.standing = 0;
    oldest.groundSpeed = a.pushBackSpeed;
    a.samples.erase(a.samples.begin() + 1, a.samples.end());
    lf_addManoeuvreSample(a, end, a.standHeading);
    lf_insertMidSample(a);
    // The final turn swings the tail a half wingspan to the side.
    const LatLon side = gf_destinationPoint(end, direction + kPi / 2.0, a.halfWingspanNm * kFeetPerNm);
    a.finalTurnSample = a.samples.back();
    a.finalTurnSample.latitude = side.lat;
    a.finalTurnSample.longitude = normalLongitude(side.lon);
    a.finalTurnSample.standing = 0;
    a.finalTurnSample.groundSpeed = a.pushBackSpeed;
    sendLights(a, 1, 1, 0, 0, 0, 1, 1);
    a.previousPhase = a.phase;
    a.phase = PHASE_PUSHING_BACK;
    a.pushBackStage = 2;
    if (LOG.get()) gf_logLine(vrn::format("{:8}: {:8} push back {}", gf_nowHhMmSs(), a.callsign, gf_standNameOf(a)));
}

namespace {

void lf_pushBackStage(LiveAircraft& a) {
    --a.pushBackStage;
    if (a.pushBackStage <= 0) {
        a.bearingToNext = a.position.heading;
        if (a.objectId != 0) gf_queueEngineAutoStart(a.objectId);
        gf_setThrottle(a, 0);
        gf_setFlaps(a, 1);
        a.previousPhase = a.phase;
        a.phase = PHASE_LEAVING_STAND;
        a.pushBackStage = 1;
        // The first sample clearly away from here (beyond 2.75 half spans) is followed: with a
        // larger start the aircraft stood on its push-back spot until its feed was six half spans away.
        a.largestLeavingDistance = 0.0;
        a.extrapolationCount = 0;
        a.leftStand = 0;
        return;
    }
    if (a.pushBackStage != 1 || a.samples.size() < 3) return;
    a.samples.pop_back();
    if (a.turnSideKnown && a.turnRight) {
        PositionSample turn = a.finalTurnSample;
        turn.duePass = std::max(turn.duePass, a.samples.back().duePass + 1);
        a.samples.push_back(turn);
    }
    lf_makeCurve(a, 90.0);
    if (hasCurve(a) && a.groundTurnRate > 0.0)
        a.curveStep = 1.0 / std::max(1.0, std::round(90.0 / a.groundTurnRate / 100.0));
}

// Turns between the two segments ahead: a curve, or a mid sample on long slow segments.
void lf_groundTurns(LiveAircraft& a) {
    const PositionSample& o = a.samples[0];
    const PositionSample& n = a.samples[1];
    if (a.samples.size() < 3) {
        if (a.extrapolationCount == 0) lf_checkSpeedChange(a);
        return;
    }
    const PositionSample& t = a.samples[2];
    if (t.standing) {
        lf_checkSpeedChange(a);
        return;
    }
    // (On a take-off roll a few degrees are its records' scatter along the runway, no bend to slow for.)
    const double angle = lf_turnAtDeg(o, n, t);
    if (!(angle > (a.underPower ? kRollScatterDeg : 3.0))) return;
    if (angle > 45.0 && gf_distanceNm(at(o), at(n)) > kMidSampleSegmentNm && o.groundSpeed <= kTakeoffRollKn &&
        n.duePass - o.duePass >= 600) {
        lf_insertMidSample(a);
    } else if (lf_curveRounds(angle, o, t)) {
        lf_makeCurve(a, angle);
    } else if (angle <= 160.0) {
        lf_checkSpeedChange(a);
    }
}

// A taxiing aircraft that stops near a stand takes it and rolls onto it.
void lf_arrivalCheck(LiveAircraft& a) {
    if (!a.samples.back().standing || !g_apfLoaded.load()) return;
    const PositionSample reached = a.samples.front();
    if (!lf_parkAtNearestStand(a, a.extrapolationCount == 0)) return;
    // The queue now holds the newest sample only: start again from the one just reached, then roll
    // from the newest sample onto the stand.
    a.samples.push_front(reached);
    lf_addManoeuvreSample(a, a.standPosition, a.standHeading);
}

}  // namespace

void lf_noteRecordKn(LiveAircraft& a, const PositionSample& s) {
    if (!s.airborne && !(std::isfinite(s.groundSpeed) && s.groundSpeed >= 0.0)) return;
    auto& r = a.recordKn;
    if (!r.empty() && s.duePass < r.back().first) return;   // kept in the order they fall due
    r.emplace_back(s.duePass, s.airborne ? std::numeric_limits<double>::infinity() : s.groundSpeed);
    // The oldest go once the one after it is more than the window old: the one before a pause stays.
    const int oldest = tick() - kRecordsAboutPasses;
    while (r.size() > kRecordKnKept || (r.size() >= 2 && r[1].first < oldest)) r.pop_front();
    a.recordsCapPass = -1;
}

void lf_groundPhaseStep(LiveAircraft& a) {
    switch (a.phase) {
    case PHASE_PUSHING_BACK:
        lf_pushBackStage(a);
        break;
    case PHASE_MOVING:
    case PHASE_AFTER_TAKEOFF:
    case PHASE_AIRBORNE:
    case PHASE_STAND_CLEANUP:
        if (a.samples.size() >= 2 && !a.samples[1].standing) {
            lf_groundTurns(a);
            if (!hasCurve(a))
                a.offBearing = std::fabs(gf_headingDifference(a.position.heading, a.bearingToNext)) > 3.0 * kDeg2Rad;
        }
        if (a.phase == PHASE_MOVING) lf_arrivalCheck(a);
        break;
    case PHASE_AT_STAND:
        if (a.leftStand && !a.samples.empty()) {
            const double bearing = gf_initialBearing(a.standPosition, at(a.samples.back()));
            const double off = std::round(std::fabs(gf_headingDifference(a.standHeading, bearing)) * kRad2Deg);
            if (off < 90.0)
                lf_pullOut(a);
            else
                lf_pushBack(a);
        }
        break;
    default:
        break;
    }
    lf_groundRetime(a);
}

}  // namespace vrn
