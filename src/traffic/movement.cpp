// The movement step: when the oldest sample of an aircraft in the simulator falls due, the aircraft
// is stepped towards the next one (per-pass steps of position, height and attitude), samples are
// made up for a while when the feed falls silent, and the aircraft is removed when they run out.
// Between steps the position block moves by the per-pass steps (lf_followCurve).
#include <algorithm>
#include <cmath>
#include <mutex>

#include "airports/airport_list.h"
#include "airports/stand_search.h"
#include "app/main_window.h"
#include "core/format.h"
#include "core/log.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "traffic/engine_steps.h"
#include "traffic/sample_tests.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kPassesPerHour = 360000.0;
constexpr int kMinPasses = 25;
constexpr double kTwoPi = 2.0 * M_PI;

int lf_tick() { return g_tickCounter.load(std::memory_order_relaxed); }

LatLon lf_at(const PositionSample& s) { return {s.latitude, s.longitude}; }

double lf_normalHeading(double h) {
    h = std::fmod(h, kTwoPi);
    return h < 0.0 ? h + kTwoPi : h;
}

// Longitude difference wrapped into (-180, 180], so an aircraft crossing the antimeridian flies the
// short way.
double lf_longitudeDelta(double from, double to) {
    double d = std::remainder(to - from, 360.0);
    if (d == -180.0) d = 180.0;
    return d;
}

double lf_normalLongitude(double lon) {
    lon = std::remainder(lon, 360.0);
    return lon == -180.0 ? 180.0 : lon;
}

int lf_passesToNext(const LiveAircraft& a) {
    return std::max(a.samples[1].duePass - lf_tick(), kMinPasses);
}

// A pass count from a distance and a speed, clamped before it becomes an integer.
int lf_passesFor(double distanceNm, double speedKn) {
    const double passes = distanceNm * kPassesPerHour / std::max(speedKn, 1.0);
    if (!std::isfinite(passes)) return kMinPasses;
    return static_cast<int>(std::lround(std::clamp(passes, 0.0, 1.0e7)));
}

// The next sample's due pass from distance and speed, within the aircraft's shift window.
void lf_retimeNextSample(LiveAircraft& a) {
    PositionSample& next = a.samples[1];
    if (next.standing) return;
    const int passes = lf_passesFor(gf_distanceNm(lf_at(a.samples[0]), lf_at(next)), gf_sampleSpeed(a));
    const int tick = lf_tick();
    int target = tick + std::max(passes, kMinPasses);
    if (a.extrapolationCount == 0)
        target = std::clamp(target, next.duePass - a.earliestShift, std::max(next.duePass - a.earliestShift,
                                                                             next.duePass + a.latestShift));
    next.duePass = std::max(target, tick);
}

// One made-up sample that continues the motion along the current heading.
void lf_extendSamples(LiveAircraft& a, int count) {
    a.extrapolationCount = count;
    PositionSample s = a.samples.front();
    const PositionSample& oldest = a.samples.front();
    double speed = 0.0;
    const bool ground = !oldest.airborne;
    if (oldest.standing || a.phase == PHASE_AT_STAND || (ground && !a.underPower)) {
        speed = 0.0;
    } else if (ground && a.landingRoll) {
        const double v = oldest.groundSpeed;
        speed = v >= 140 ? 100 : v >= 100 ? 80 : v >= 80 ? 60 : v >= 60 ? 30 : 20;
        s.verticalSpeed = 0.0;
    } else if (ground) {
        const double v = oldest.groundSpeed;
        speed = v <= 30 ? 40 : v <= 60 ? 80 : v <= 100 ? 110 : v <= 140 ? 150 : v <= 160 ? 170 : 180;
    } else {
        speed = (a.onApproach && count < 4) ? oldest.groundSpeed
                                            : oldest.groundSpeed * (a.onApproach ? 0.9 : 0.95);
        speed = std::max(speed, 1.0);
    }
    const double seconds = ground ? 3.0 : 8.0;
    s.groundSpeed = speed;
    s.trueAirspeed = speed;
    if (speed > 0.0) {
        const double feet = speed * seconds * 100.0 * kFeetPerNm / kPassesPerHour;
        const LatLon to = gf_destinationPoint(lf_at(oldest), a.position.heading, feet);
        s.latitude = to.lat;
        s.longitude = lf_normalLongitude(to.lon);
        s.standing = 0;
    } else {
        s.standing = 1;
    }
    if (!ground && a.onApproach && std::isnan(a.curve.controlNorth)) {
        s.verticalSpeed = -667.0;
        s.altitude = std::max(0.0, s.altitude - 10.005 * seconds);
        s.airborne = s.altitude > 0.0;
    } else if (a.phase == PHASE_AFTER_TAKEOFF) {
        s.verticalSpeed = 1500.0;
        s.altitude += 25.0 * seconds;
    }
    s.duePass = std::max(oldest.duePass, lf_tick()) + static_cast<int>(seconds * 100.0);
    a.samples.push_back(s);
}

// The feed fell silent: a few made-up samples, then the aircraft goes.
bool lf_keepPlaying(LiveAircraft& a) {
    const int c = a.extrapolationCount;
    if (c < 0) return false;
    if (c == 1) {
        a.extrapolationCount = -1;
        return false;
    }
    if (c > 1) {
        lf_extendSamples(a, c - 1);
        return true;
    }
    const unsigned k = a.sizeClass;
    if ((k == SIZE_LIGHT && !LIGHT_AIRCRAFT.get()) || (k == SIZE_HIGH_PERF && !HIGH_PERF_AIRCRAFT.get()) ||
        (k == SIZE_ROTORCRAFT && !HELICOPTERS.get()))
        return false;
    int n = 0;
    if (!a.samples.front().airborne) {
        n = (a.phase == PHASE_AT_STAND || a.phase == PHASE_LEAVING_STAND) ? 1 : 10;
    } else {
        const LatLon user = gf_userPositionLatLon();
        const LatLon here{a.position.latitude, a.position.longitude};
        n = (!gf_isValidPosition(user) || gf_distanceNm(user, here) < LATERAL_RANGE.get() - 0.5) ? 8 : 0;
    }
    // No allowance means the aircraft goes now, not a made-up sample for ever.
    if (n == 0) return false;
    lf_extendSamples(a, n);
    return true;
}

void lf_airStep(LiveAircraft& a) {
    const PositionSample& o = a.samples[0];
    const PositionSample& n = a.samples[1];
    const int passes = lf_passesToNext(a);
    if (a.phase != PHASE_AFTER_TAKEOFF && a.phase != PHASE_AIRBORNE) {
        a.previousPhase = a.phase;
        a.phase = PHASE_AIRBORNE;
    }
    a.speed = n.trueAirspeed > 0.0 ? n.trueAirspeed : n.groundSpeed;
    a.verticalSpeedFpm = n.verticalSpeed;
    const double climb = (n.altitude - a.position.altitude) / passes;
    a.climbPerPass = o.airborne && n.airborne ? std::clamp(climb, -2.0 * a.maxClimbPerPass - 1.0, a.maxClimbPerPass)
                                              : climb;
    double v = n.verticalSpeed;
    v = v > 0.0 ? std::min(v, 2400.0) : std::max(v, -3000.0) / 2.0;
    const double targetPitch = (-3.0 - v / 600.0 * 2.2) * kDeg2Rad;
    a.pitchStep = (targetPitch - a.position.pitch) / passes;
    const double turn = gf_headingDifference(a.position.heading, a.bearingToNext);
    a.headingStep = turn / passes;
    if (n.bankGiven && n.headingKnown)
        a.bankStep = (n.bank - a.position.bank) / passes;
    else
        gf_setAttitudeStep(a, -turn * 2.0, passes);
}

void lf_groundStep(LiveAircraft& a) {
    if (a.phase == PHASE_AIRBORNE || a.phase == PHASE_AT_STAND) {
        a.previousPhase = a.phase;
        a.phase = PHASE_MOVING;
    }
    const PositionSample& n = a.samples[1];
    a.speed = a.phase == PHASE_PUSHING_BACK ? -n.groundSpeed : n.groundSpeed;
    a.verticalSpeedFpm = 0.0;
    a.climbPerPass = 0.0;
    a.position.pitch = a.staticPitch;
    a.position.bank = 0.0;
    a.pitchStep = 0.0;
    a.bankStep = 0.0;
    a.headingStep = gf_headingDifference(a.position.heading, a.bearingToNext) / lf_passesToNext(a);
}

void lf_airGroundStep(LiveAircraft& a) {
    a.curve.controlNorth = std::numeric_limits<double>::quiet_NaN();
    a.curve.controlEast = std::numeric_limits<double>::quiet_NaN();
    PositionSample& next = a.samples[1];
    const PositionSample& oldest = a.samples[0];
    if (!next.standing && next.latitude == oldest.latitude && next.longitude == oldest.longitude) next.standing = 1;
    if (!next.standing) a.bearingToNext = gf_initialBearing(lf_at(oldest), lf_at(next));
    lf_retimeNextSample(a);
    if (next.standing) {
        a.latitudeStep = 0.0;
        a.longitudeStep = 0.0;
        a.headingStep = 0.0;
        if (!a.underPower && !a.landingRoll) {
            a.earliestShift = std::max(1000, a.earliestShift - 100);
            a.latestShift = std::max(1000, a.latestShift - 100);
        }
    } else {
        const int p = lf_passesToNext(a);
        a.latitudeStep = (next.latitude - a.position.latitude) / p;
        a.longitudeStep = lf_longitudeDelta(a.position.longitude, next.longitude) / p;
        if (a.onGround)
            lf_groundStep(a);
        else
            lf_airStep(a);
    }
    a.samples.pop_front();
}

}  // namespace

void lf_movementStep(LiveAircraft& a) {
    while (true) {
        while (a.samples.size() >= 2) {
            if (a.onGround || a.sizeClass == SIZE_ROTORCRAFT || !a.samples[1].standing) {
                lf_airGroundStep(a);
                return;
            }
            a.samples.erase(a.samples.begin() + 1);
        }
        if (a.samples.empty() || !lf_keepPlaying(a)) break;
    }
    if (a.phase != PHASE_AT_STAND) gf_chooseStand(a);
    gf_removeLiveAircraft(a);
}

void lf_followCurve(LiveAircraft& a) {
    a.position.latitude = std::clamp(a.position.latitude + a.latitudeStep, -90.0, 90.0);
    a.position.longitude = lf_normalLongitude(a.position.longitude + a.longitudeStep);
    a.position.heading = lf_normalHeading(a.position.heading + a.headingStep);
    if (a.onGround) return;
    a.position.pitch += a.pitchStep;
    a.position.bank = std::clamp(a.position.bank + a.bankStep, -M_PI / 2.0, M_PI / 2.0);
    a.position.altitude = std::max(0.0, a.position.altitude + a.climbPerPass);
}

void lf_landed(LiveAircraft& a) {
    if (a.state == STATE_REMOVING || a.phase == PHASE_AFTER_TAKEOFF) return;
    a.onGround = 1;
    a.climbPerPass = 0.0;
    a.rotationCountdown = 1;
    a.position.pitch = a.staticPitch;
    a.position.bank = 0.0;
    a.pitchStep = 0.0;
    a.bankStep = 0.0;
    g_newAircraftIds.push_back(a.aircraftId);
    if (!a.onApproach) return;
    a.onApproach = 0;
    a.touchedDown = 1;
    a.landingRoll = 1;
    a.rollHeading = a.position.heading;
    a.shortStayCheck = 1;
    gf_setSpoilers(a, true);
    const Airport park = gf_parkAirportCopy();
    gf_logLine(vrn::format("{:8} landed{} {}", a.callsign,
                           !park.code.empty() && a.destination == park.iata ? " from " + a.departure : std::string(),
                           gf_nowHhMmSs()));
}

void lf_powerUp(LiveAircraft& a, int throttle, bool spoilersOn) {
    a.underPower = 1;
    gf_setThrottle(a, throttle);
    gf_setSpoilers(a, spoilersOn);
    gf_setFlaps(a, 1);
    a.onApproach = 0;
    a.shortStayCheck = 0;
    a.climbConfigured = 0;
    const std::uint32_t lights[7] = {1, 1, 1, 1, 1, 1, 1};
    if (a.objectId != 0) gf_queueLightEvents(a.objectId, lights);
    a.earliestShift = 3000;
    a.latestShift = 5000;
}

void lf_towedTakesOff(LiveAircraft& a) {
    if (a.shortStay) gf_logArrowLine(vrn::format("towed aircraft takes-off? {}", gf_flightToText(a)));
    lf_powerUp(a, 0, false);
    if (!a.airline.empty()) gf_chooseStand(a);
}

void lf_setAiFlightPlan(LiveAircraft& a) {
    if (a.departure.empty() || a.destination.empty() || a.objectId == 0) return;
    const std::filesystem::path plan = gf_flightPlanFolder() / gf_flightPlanFileName(a.objectId);
    bool ok = gf_writeFlightPlan(plan, a);
    if (ok) a.flightPlanWritten = 1;
    if (ok && MSFS_2020.get()) {
        std::lock_guard lock(g_simCommandMutex);
        ok = !simconnect::FAILED(simconnect::SimConnect_AISetAircraftFlightPlan(g_hSimConnect.load(), a.objectId,
                                                                     plan.string().c_str(), REQUEST_FLIGHT_PLAN));
    }
    if (!ok) gf_showStatus(gf_flightPairText(a) + " creating a flight plan failed !", true);
}

}  // namespace vrn
