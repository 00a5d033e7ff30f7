// Collision avoidance, once a second: AI aircraft that would run into the user aircraft (in the air
// or on the ground) and static parked aircraft that a taxiing live aircraft would touch are taken
// out of the simulator. At most one removal per check and second, so a crowded apron thins out
// gradually instead of emptying at once.
#include <cmath>

#include "core/format.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "settings/settings_catalogue.h"
#include "simlink/user_aircraft.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kRunwayLineNm = 1.0;
constexpr double kRunwayLineFt = 50.0;
constexpr double kLowUserFt = 500.0;       // above ground; higher up the runway is no concern
constexpr double kAirborneRangeNm = 4.0;
constexpr double kAirborneLevelFt = 1000.0;
constexpr double kAirborneLineFt = 700.0;
constexpr double kWingtipMargin = 1.1;

// The user at the last look at the static aircraft; they only need a new look once the user moved.
LatLon g_lastUserCheck{};

LatLon lf_at(const PositionBlock& p) { return {p.latitude, p.longitude}; }

bool lf_wingtipsMeet(const LatLon& a, double halfSpanA, const LatLon& b, double halfSpanB) {
    const double limit = kWingtipMargin * (halfSpanA + halfSpanB);
    // The latitude difference alone (a minute of arc per nm) rules most pairs out without the haversine.
    if (std::fabs(a.lat - b.lat) * 60.0 > limit) return false;
    return gf_distanceNm(a, b) <= limit;
}

bool lf_moved(const LatLon& now, const LatLon& before) { return now.lat != before.lat || now.lon != before.lon; }

}  // namespace

bool gf_userAirCollision(LiveAircraft& a) {
    if (a.state != STATE_IN_SIM) return false;
    const UserAircraftBlock& user = g_userPosition;
    const LatLon userAt = gf_userPositionLatLon();
    const LatLon at = lf_at(a.position);
    const double d = gf_distanceNm(userAt, at);
    const double bearing = gf_initialBearing(userAt, at);
    if (a.onGround) {
        if (user.altitudeAboveGround >= kLowUserFt || d > kRunwayLineNm) return false;
        // Its distance from the line along the user's heading: on the runway ahead or behind.
        const double offset = std::fabs(std::sin(gf_headingDifference(user.heading, bearing))) * d * kFeetPerNm;
        if (offset > kRunwayLineFt) return false;
    } else {
        if (d > kAirborneRangeNm || std::fabs(a.position.altitude - user.altitude) >= kAirborneLevelFt) return false;
        // The user's distance from the line along the aircraft's heading.
        const double offset = std::fabs(std::sin(gf_headingDifference(bearing, a.position.heading))) * d * kFeetPerNm;
        if (offset > kAirborneLineFt) return false;
    }
    gf_removeLiveAircraft(a, vrn::format("in the user's way ({:.1f} nm, {:.0f} ft apart)", d, std::fabs(a.position.altitude - user.altitude)));
    return true;
}

void gf_userAirCollisions() {
    if (!COLLISION_USER_AIR.get() || g_userOnGround.load()) return;
    for (LiveAircraft& a : g_liveAircraft)
        if (gf_userAirCollision(a)) return;
}

void gf_userGroundCollision() {
    if (!COLLISION_USER_GND.get() || !g_userOnGround.load()) return;
    const LatLon user = gf_userPositionLatLon();
    const double userHalfSpan = g_userHalfWingspan.load();
    for (LiveAircraft& a : g_liveAircraft) {
        if (!a.onGround || a.state != STATE_IN_SIM) continue;
        if (!lf_wingtipsMeet(user, userHalfSpan, lf_at(a.position), a.halfWingspanNm)) continue;
        gf_removeLiveAircraft(a, "its wingtips meet the user's on the ground");
        return;
    }
    if (!lf_moved(user, g_lastUserCheck)) return;
    g_lastUserCheck = user;
    for (Aircraft& s : g_staticParked) {
        if (s.state != STATE_IN_SIM || !lf_wingtipsMeet(user, userHalfSpan, s.standPosition, s.halfWingspanNm))
            continue;
        gf_removeLiveAircraft(s);
        return;
    }
}

bool gf_collisionWithLive(const LiveAircraft& live, Aircraft& parked) {
    if (parked.state != STATE_IN_SIM) return false;
    if (!lf_wingtipsMeet(lf_at(live.position), live.halfWingspanNm, parked.standPosition, parked.halfWingspanNm))
        return false;
    if (LOG.get())
        gf_logLine(gf_standCallsignPrefix(parked) + vrn::format("removed for collision avoidance with live {}", live.callsign));
    gf_removeLiveAircraft(parked);
    return true;
}

void gf_liveParkedCollisions() {
    if (!COLLISION_LIVE_PARKED_GND.get() || g_staticParked.empty()) return;
    for (LiveAircraft& a : g_liveAircraft) {
        if (a.state != STATE_IN_SIM || !a.onGround || (a.phase != PHASE_MOVING && a.phase != PHASE_STAND_CLEANUP))
            continue;
        if (a.underPower || a.throttleSpoilerRun) continue;
        const LatLon at = lf_at(a.position);
        if (!lf_moved(at, a.lastTestedPosition)) continue;
        a.lastTestedPosition = at;
        // Removing a static aircraft never touches the live list, so the record itself is stable here.
        for (Aircraft& s : g_staticParked)
            if (gf_collisionWithLive(a, s)) break;
    }
}

void gf_forgetUserCollisionCheck() { g_lastUserCheck = LatLon{}; }

}  // namespace vrn
