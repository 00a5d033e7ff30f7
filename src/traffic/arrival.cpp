// Where a live aircraft stands: in the air, moving on the ground, or at a free fitting stand of the
// park airport (taking it from whoever is in the way); then its first position block and its
// creation. Around it the rules that keep the parked live aircraft in bounds: the wanted number of
// parked aircraft, the longest stay and the user's reserved stand.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <set>

#include "airports/airport_list.h"
#include "airports/stand_learning.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "display/window_state.h"
#include "liveries/livery_matching.h"
#include "liveries/type_queries.h"
#include "records/stand_records.h"
#include "settings/settings_catalogue.h"
#include "simlink/flight_plan.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

constexpr double kRadToDeg = 57.29577951308232;
constexpr double kParkAirportReachNm = 5.0;
constexpr double kStoppingWithinNm = 0.018898488120950324;   // 35 m
constexpr double kGroundPitch = 0.010471975511965976;        // 0.6 degree, nose up on the ground
constexpr double kNearAirportNm = 10.0;   // the park airport's elevation stands for the ground this far around
constexpr double kAirborneClearanceFt = 50.0;   // least height of an aircraft created in the air


// An aircraft that stops beside a stand, outside the stand's own size, holds on a taxiway or at a
// runway: it is not parked there (and pushed back from it when its feed moves on).
bool lf_holdsBeside(const LatLon& stop, const Stand& stand) {
    return stand.radius > 0.0 && gf_distanceNm(stop, stand.position) > stand.radius;
}

bool lf_logOn() { return LOG.get(); }

bool lf_parkedInSim(const LiveAircraft& a) { return a.phase == PHASE_AT_STAND && a.state == STATE_IN_SIM; }

double lf_standDistanceNm(const Stand& a, const Stand& b) { return gf_distanceNm(a.position, b.position); }

// A parked live aircraft at the wanted stand; true ends the walk. `allowed` turns false when the
// newcomer must not take the stand.
bool lf_standWanted(LiveAircraft& parked, std::uint32_t standId, const std::string& newcomer, bool& allowed) {
    if (!lf_parkedInSim(parked) || static_cast<std::uint32_t>(parked.standId) != standId) return false;
    const std::string prefix = gf_standCallsignPrefix(parked);
    const std::string& cs = parked.callsign;
    const std::string newcomerBase = newcomer.empty() ? newcomer : newcomer.substr(0, newcomer.size() - 1);
    const std::string parkedBase = cs.empty() ? cs : cs.substr(0, cs.size() - 1);
    const auto log = [&](const std::string& text) {
        if (lf_logOn()) gf_logLine(prefix + text);
    };
    if (cs == newcomer) {
        log(vrn::format("ac with same callsign {} wants it, remove existing ... ", newcomer));
        gf_removeLiveAircraft(parked);
    } else if (!newcomer.empty() && newcomerBase == cs) {
        allowed = false;
        log(vrn::format("ghost {} wants it, but don't do it ... ", newcomer));
    } else if (!cs.empty() && newcomer == parkedBase) {
        log(vrn::format("ghost, replace by {}", newcomer));
        gf_removeLiveAircraft(parked);
    } else if (gf_endsWith(cs, '_')) {
        if (!gf_endsWith(newcomer, '_')) log(vrn::format("ghost, replace by {}", newcomer));
        gf_removeLiveAircraft(parked);
    } else if (gf_endsWith(newcomer, '_')) {
        allowed = false;
        log(vrn::format("ghost {} wants it, refused ", newcomer));
    } else if (parked.standSeen) {
        allowed = false;
        log(vrn::format("other live {} wants it? {} ", newcomer, gf_nowHhMmSs()));
    } else {
        log(vrn::format("removed because of new {}", newcomer));
        gf_removeLiveAircraft(parked);
    }
    return true;
}

// A live aircraft parked at an adjacent stand whose wingspan would touch the arriving one.
bool lf_adjacentColliding(const LiveAircraft& parked, std::uint32_t adjacentId, const LiveAircraft& arriving,
                          const Stand& wanted, bool& allowed) {
    if (!lf_parkedInSim(parked) || static_cast<std::uint32_t>(parked.standId) != adjacentId) return false;
    if (parked.callsign == arriving.callsign) return false;
    const Stand* adjacent = gf_standByNumber(adjacentId);
    if (!adjacent) return false;
    const double d = lf_standDistanceNm(*adjacent, wanted);
    const double spans = gf_halfWingspanNm(parked.model) + gf_halfWingspanNm(arriving.model);
    if (spans > d) {
        allowed = false;
        if (lf_logOn())
            gf_logLine(vrn::format("{:8}: {:8} at adjacent and colliding, {} blocks live {} parking", wanted.id,
                                   parked.callsign, adjacent->id, arriving.callsign));
        return true;
    }
    if (lf_logOn())
        gf_logLine(vrn::format("{:8}: {:8} stays, while live {} at adjacent, and possibly colliding {}, is parking, "
                               "but wingspans fit {}",
                               wanted.id, parked.callsign, arriving.callsign, adjacent->id, gf_nowHhMmSs()));
    return false;
}

// Gives the aircraft its remembered livery, or matches a new one and remembers it.
bool lf_rememberedLivery(LiveAircraft& a) {
    if (!a.liveryTitle.empty()) return true;
    if (const auto hit = g_rememberedLiveries.find(a.aircraftId); hit != g_rememberedLiveries.end()) {
        const std::vector<std::string> failed = gf_failedTitles();
        if (std::find(failed.begin(), failed.end(), hit->second) != failed.end()) {
            g_rememberedLiveries.erase(hit);
        } else {
            a.liveryTitle = hit->second;
            if (lf_logOn() && !a.recreated) gf_logIndentedLine(vrn::format("{} =c= {}", gf_flightToText(a), hit->second));
            return true;
        }
    }
    gf_matchLiveryLive(a);
    if (a.liveryTitle.empty()) return false;
    g_rememberedLiveries[a.aircraftId] = a.liveryTitle;
    return true;
}

// The elevation of the nearest airport within reach (feet), for lack of the simulator's ground.
double lf_airportElevationNear(const LatLon& p) {
    double best = kNearAirportNm, elevation = -1.0e9;
    for (const Airport& airport : g_airports) {
        if (std::fabs(airport.lat - p.lat) * 60.0 > kNearAirportNm) continue;
        const double d = gf_distanceNm(p, airport.position());
        if (d <= best) {
            best = d;
            elevation = airport.alt;
        }
    }
    return elevation;
}

// The first position block, the heading, and the creation request.
void lf_queueCreation(LiveAircraft& a) {
    if (a.removeMark) return;
    g_newAircraftIds.push_back(a.aircraftId);
    const PositionSample& front = a.samples.front();
    a.position.latitude = front.latitude;
    a.position.longitude = front.longitude;
    if (front.airborne) {
        double v = front.verticalSpeed;
        v = v > 0.0 ? std::min(v, 2400.0) : std::max(v, -3000.0) / 2.0;
        a.position.pitch = (-3.0 - v / 600.0 * 2.2) * kDeg2Rad;
    } else {
        a.position.pitch = kGroundPitch;
    }
    a.position.bank = front.bankGiven ? front.bank : 0.0;
    a.position.altitude = front.altitude;
    // The feed gives 0 ft for an aircraft on the ground: it is created at the ground it stands on
    // (as last reported, else the park airport's elevation), never below it.
    if (!front.airborne) {
        const double ground = std::isfinite(a.groundAltitude) ? a.groundAltitude : gf_parkAirportCopy().alt;
        a.position.altitude = std::max(front.altitude, ground + a.staticCgHeight);
    } else {
        // Airborne records carry pressure altitude: on a high-pressure day an aircraft low on its
        // approach reports less than the field's elevation. It is created in the air above the ground.
        double ground = std::isfinite(a.groundAltitude) ? a.groundAltitude : -1.0e9;
        const Airport park = gf_parkAirportCopy();
        if (!park.code.empty() && gf_distanceNm(gf_at(front), park.position()) <= kNearAirportNm)
            ground = std::max(ground, park.alt);
        else
            ground = std::max(ground, lf_airportElevationNear(gf_at(front)));
        a.position.altitude = std::max(front.altitude, ground + a.staticCgHeight + kAirborneClearanceFt);
    }
    a.position.verticalSpeed = front.verticalSpeed / 60.0;
    a.position.trueAirspeed = front.trueAirspeed;
    double heading = 0.0;
    if (a.savedHeadingSet)
        heading = a.savedHeading;
    else if (a.phase == PHASE_AT_STAND)
        heading = a.standHeading;
    else if (a.samples.size() >= 2 && a.samples[1].standing)
        heading = front.track * kDeg2Rad;
    else if (a.samples.size() >= 2 && (gf_at(front).lat != gf_at(a.samples[1]).lat || gf_at(front).lon != gf_at(a.samples[1]).lon))
        heading = gf_initialBearing(gf_at(front), gf_at(a.samples[1]));
    else if (gf_trackGiven(front))
        heading = front.track * kDeg2Rad;   // (created again on its record, its next not yet apart: its track)
    if (heading < 0.0) heading += 2.0 * M_PI;
    if (heading >= 2.0 * M_PI) heading -= 2.0 * M_PI;
    a.position.heading = heading;
    a.movementHeading = front.airborne ? 0.0 : heading;
    a.state = STATE_CREATION_REQUESTED;
    a.creationPass = g_tickCounter.load(std::memory_order_relaxed);
    a.nearUser = 0;
    g_recreateIds.push_back(a.aircraftId);
    if (!gf_endsWith(a.callsign, '_')) lf_ghost(a.callsign);
}

// Stand taken at arrival: the aircraft is placed on it and the use is learned.
void lf_settleAtStand(LiveAircraft& a, Stand& stand) {
    lf_takeStand(a, stand);
    PositionSample& front = a.samples.front();
    if (!front.standing) {
        front.standing = 1;
        front.groundSpeed = 0.0;
    }
    a.standPosition = stand.position;
    a.standHeading = stand.heading;
    a.standId = static_cast<int>(stand.number);
    a.cargo = a.cargo || stand.cargo;
    a.previousPhase = a.phase;
    a.phase = PHASE_AT_STAND;
    stand.occupied = 1;
    a.timeAtStand = std::chrono::steady_clock::now();
    a.creepStarted = 0;
    a.creepCount = 0;
    lf_markCargoStand(a);
    a.samples.erase(a.samples.begin() + 1, a.samples.end());
    front.latitude = stand.position.lat;
    front.longitude = stand.position.lon;
    front.track = stand.heading * kRadToDeg;
    const DaySlot now = g_currentDaySlot.load();
    if (gf_recordStandUse(stand.number, a, false, now, false) != 0) 
        gf_rememberStandUseSlot(a.aircraftId, now);
    lf_checkMaxPark(1);
}

bool lf_isUserStand(const std::string& name) {
    const std::string reserved = g_reservedStand.get();
    if (!reserved.empty() && reserved == name) return true;
    const std::string userStand = gf_standNameAt(gf_userPositionLatLon());
    return !userStand.empty() && userStand == name;
}

// The stand decision of a ground aircraft near the park airport. False when the aircraft is dropped
// or must be looked at again on the next pass (no creation now).
bool lf_chooseArrivalStand(LiveAircraft& a) {
    std::lock_guard lock(g_standsMutex);
    const Airport park = g_parkAirport;
    PositionSample& front = a.samples.front();
    if (g_stands.empty() || park.code.empty() || gf_distanceNm(gf_at(front), park.position()) > kParkAirportReachNm) {
        a.phase = PHASE_MOVING;
        return true;
    }
    LatLon from = gf_at(front);
    if (!front.standing) {
        if (a.samples[1].groundSpeed > 5.0 || gf_distanceNm(gf_at(a.samples.back()), from) > kStoppingWithinNm) {
            a.phase = PHASE_MOVING;
            return true;
        }
        from = gf_at(a.samples.back());
    }
    const auto found = gf_nearestStand(from, a, kArrivalStandRadiusNm, front.standing != 0);
    if (found != g_stands.end() && lf_holdsBeside(from, *found)) {
        a.phase = PHASE_MOVING;
        return true;
    }
    if (found == g_stands.end()) {
        if (a.samples[1].standing) {
            a.samples.pop_front();
            return false;
        }
        a.phase = PHASE_MOVING;
        return true;
    }
    Stand& stand = *found;
    if (lf_isUserStand(stand.id)) {
        a.removeMark = 1;
        return false;
    }
    bool allowed = true;
    for (LiveAircraft& other : g_liveAircraft)
        if (&other != &a && lf_standWanted(other, stand.number, a.callsign, allowed)) break;
    if (!allowed) {
        a.removeMark = 1;
        return false;
    }
    for (std::uint32_t adjacentId : stand.adjacent) {
        for (const LiveAircraft& other : g_liveAircraft)
            if (&other != &a && lf_adjacentColliding(other, adjacentId, a, stand, allowed)) break;
        if (!allowed) {
            a.removeMark = 1;
            return false;
        }
    }
    lf_settleAtStand(a, stand);
    return true;
}

struct ParkedTime {
    std::uint32_t aircraftId;
    double seconds;
};

// The live parked aircraft, longest parked first.
std::vector<ParkedTime> lf_parkedLongestFirst() {
    std::vector<ParkedTime> parked;
    for (const LiveAircraft& a : g_liveAircraft)
        if (lf_parkedInSim(a)) parked.push_back({a.aircraftId, gf_secondsAtStand(a)});
    std::stable_sort(parked.begin(), parked.end(),
                     [](const ParkedTime& x, const ParkedTime& y) { return x.seconds > y.seconds; });
    return parked;
}

// A parked aircraft created again (a new callsign or route with a new object) stays on its stand.
// Any other that held a stand gives it up before the search, so it is free for itself too.
bool lf_keepsOwnStand(LiveAircraft& a) {
    if (a.standId == 0) return false;
    std::lock_guard lock(g_standsMutex);
    Stand* stand = gf_standByNumber(static_cast<std::uint32_t>(a.standId));
    if (a.phase != PHASE_AT_STAND || !stand) {
        gf_releaseStand(a);
        return false;
    }
    stand->occupied = 1;
    return true;
}

}  // namespace

void gf_releaseStand(const Aircraft& a) {
    if (a.standId == 0) return;
    gf_endTowReservation(a);
    const auto id = static_cast<std::uint32_t>(a.standId);
    for (const LiveAircraft& other : g_liveAircraft) {
        if (other.aircraftId == a.aircraftId || other.state == STATE_REMOVING || other.removeMark) continue;
        if ((other.phase == PHASE_AT_STAND || other.phase == PHASE_STAND_CLEANUP) &&
            static_cast<std::uint32_t>(other.standId) == id)
            return;
    }
    std::lock_guard lock(g_standsMutex);
    if (Stand* stand = gf_standByNumber(id)) stand->occupied = 0;
}

void lf_processArrival(LiveAircraft& a) {
    auto& q = a.samples;
    if (q.size() >= 2 && q[1].standing) {
        q[0].standing = 1;
        q[0].groundSpeed = 0.0;
        q[1].groundSpeed = 0.0;
        if (q.size() >= 3 && q[2].standing) q[2].groundSpeed = 0.0;
    } else if (q.size() >= 2) {
        q[0].standing = 0;
    }
    if (a.phase == PHASE_NEW && !lf_rememberedLivery(a)) {
        gf_addRefusedFlight(gf_airlineModelRegText(a));
        a.removeMark = 1;
        return;
    }
    if (q.front().airborne) {
        a.phase = PHASE_AIRBORNE;
    } else if (a.phase != PHASE_NEW && lf_keepsOwnStand(a)) {
        // created again where it stands
    } else if (!lf_chooseArrivalStand(a)) {
        return;
    }
    lf_queueCreation(a);
}

bool lf_parkAtNearestStand(LiveAircraft& a, bool standing) {
    if (a.samples.empty()) return false;
    const LatLon newest = gf_at(a.samples.back());
    if (newest.lat == a.lastStandCheck.lat && newest.lon == a.lastStandCheck.lon) return false;
    a.lastStandCheck = newest;
    std::lock_guard lock(g_standsMutex);
    const double radius = standing ? kArrivalStandRadiusNm : kCloseStandRadiusNm;
    const auto found = gf_nearestStand(newest, a, radius, standing);
    if (found == g_stands.end()) return false;
    Stand& stand = *found;
    if (lf_isUserStand(stand.id)) return false;
    if (lf_holdsBeside(newest, stand)) return false;
    for (LiveAircraft& other : g_liveAircraft) {
        if (&other == &a || !lf_parkedInSim(other)) continue;
        if (static_cast<std::uint32_t>(other.standId) == stand.number) {
            if (lf_logOn()) gf_logLine(gf_standCallsignPrefix(other) + vrn::format("removed {}", gf_nowHhMmSs()));
            gf_removeLiveAircraft(other);
            continue;
        }
        for (std::uint32_t adjacentId : stand.adjacent) {
            if (static_cast<std::uint32_t>(other.standId) != adjacentId) continue;
            const Stand* adjacent = gf_standByNumber(adjacentId);
            if (!adjacent) continue;
            const bool touches = gf_halfWingspanNm(other.model) + gf_halfWingspanNm(a.model) >
                                 lf_standDistanceNm(*adjacent, stand);
            if (touches) {
                if (lf_logOn())
                    gf_logLine(vrn::format("{:8}: {:8} removed by adjacent parking {} {}", adjacent->id, other.callsign,
                                           a.callsign, gf_wallClockHhMmSs()));
                gf_removeLiveAircraft(other);
            } else if (lf_logOn()) {
                gf_logLine(vrn::format("{:8}: {:8} stays, while live {} at adjacent, and possibly colliding {}, is "
                                       "parking, but wingspans fit",
                                       adjacent->id, other.callsign, a.callsign, stand.id));
            }
        }
    }
    lf_takeStand(a, stand);
    a.standHeading = stand.heading;
    a.standPosition = stand.position;
    a.standId = static_cast<int>(stand.number);
    a.cargo = a.cargo || stand.cargo;
    // Taken while rolling onto it: no second aircraft is sent to the same stand (freed again when
    // it drives on).
    stand.occupied = 1;
    a.samples.erase(a.samples.begin(), a.samples.end() - 1);
    if (a.phase != PHASE_STAND_CLEANUP) a.previousPhase = a.phase;
    a.phase = PHASE_STAND_CLEANUP;
    return true;
}

void lf_checkMaxPark(int extra) {
    const int parked = static_cast<int>(std::count_if(g_liveAircraft.begin(), g_liveAircraft.end(), lf_parkedInSim));
    const int n = parked + extra;
    const int wanted = gf_wantedParkedCount();
    if (!INITIAL_LOAD_ONLY.get() && wanted >= 1 && n > wanted) {
        const std::vector<ParkedTime> longest = lf_parkedLongestFirst();
        if (!longest.empty())
            if (LiveAircraft* a = gf_liveById(longest.front().aircraftId)) {
                if (lf_logOn()) gf_logLine(vrn::format("{}: {:8} max park exceeded, removed", gf_standNameOf(*a), a->callsign));
                gf_removeLiveAircraft(*a);
            }
    }
    const int statics = static_cast<int>(std::count_if(g_staticParked.begin(), g_staticParked.end(), [](const Aircraft& s) {
        return s.state == STATE_IN_SIM || s.state == STATE_REMOVING;
    }));
    if (statics + n <= wanted) return;
    // The static aircraft parked earliest goes: the most half hours since its park slot.
    const DaySlot now = g_currentDaySlot.load();
    Aircraft* earliest = nullptr;
    std::uint32_t most = 0;
    for (Aircraft& s : g_staticParked) {
        if (s.state != STATE_IN_SIM) continue;
        const std::uint32_t halfHours = gf_halfHoursBetween(now, s.standTime);
        if (!earliest || halfHours > most) {
            earliest = &s;
            most = halfHours;
        }
    }
    if (earliest) gf_removeLiveAircraft(*earliest);
}

void gf_collectLiveStayers() {
    for (LiveAircraft& a : g_liveAircraft) {
        if (!lf_parkedInSim(a)) continue;
        if (a.standSeen) {
            g_liveStayers.push_back({a.callsign, a.aircraftId, static_cast<std::uint32_t>(a.standId), 0});
            continue;
        }
        const auto minutes = static_cast<std::uint32_t>(gf_secondsAtStand(a) / 60.0);
        const std::uint32_t longest = a.sizeClass == SIZE_HEAVY ? 180 : 90;
        if (!INITIAL_LOAD_ONLY.get() && minutes > longest) {
            gf_removeLiveAircraft(a);
            continue;
        }
        g_liveStayers.push_back({a.callsign, a.aircraftId, static_cast<std::uint32_t>(a.standId), minutes});
    }
    std::stable_sort(g_liveStayers.begin(), g_liveStayers.end(),
                     [](const LiveStayer& x, const LiveStayer& y) { return x.minutesParked < y.minutesParked; });
}

void gf_removeSurplusLiveParked(int n) {
    const std::vector<ParkedTime> longest = lf_parkedLongestFirst();
    std::set<std::uint32_t> ids;
    for (std::size_t i = 0; i < longest.size() && static_cast<int>(i) < n; ++i) ids.insert(longest[i].aircraftId);
    for (LiveAircraft& a : g_liveAircraft) {
        if (!ids.count(a.aircraftId) || a.state == STATE_REMOVING) continue;
        if (lf_logOn()) gf_logLine(vrn::format("live parked {} at {} removed", gf_flightToText(a), gf_standNameOf(a)));
        gf_removeLiveAircraft(a);
    }
}

int gf_refreshLiveParkedHours(bool show) {
    int count = 0;
    std::uint64_t halfHours = 0;
    const DaySlot now = g_currentDaySlot.load();
    for (const LiveAircraft& a : g_liveAircraft) {
        if (!lf_parkedInSim(a)) continue;
        ++count;
        halfHours += gf_halfHoursBetween(now, a.standTime);
    }
    if (show) {
        const float average = count == 0 ? 0.0f : static_cast<float>(halfHours) / (2.0f * count) + 0.5f;
        if (g_mainWindow.g_liveAverageFit.exchange(average) != average) gf_invalidateBand(Band::Park);
    }
    return count;
}

void gf_clearReservedStand() {
    const std::string reserved = g_reservedStand.get();
    if (reserved.empty()) return;
    std::uint32_t standId = 0;
    {
        std::lock_guard lock(g_standsMutex);
        const auto stand = gf_findStandByName(reserved);
        if (stand == g_stands.end()) return;
        standId = stand->number;
    }
    for (Aircraft& s : g_staticParked) {
        if (s.state == STATE_IN_SIM && static_cast<std::uint32_t>(s.standId) == standId) {
            gf_removeLiveAircraft(s);
            return;
        }
    }
    for (LiveAircraft& a : g_liveAircraft) {
        if (lf_parkedInSim(a) && static_cast<std::uint32_t>(a.standId) == standId) {
            gf_removeLiveAircraft(a);
            return;
        }
    }
}

int gf_liveNotParkedCount() {
    return static_cast<int>(std::count_if(g_liveAircraft.begin(), g_liveAircraft.end(), [](const LiveAircraft& a) {
        return a.state == STATE_IN_SIM && a.phase != PHASE_AT_STAND;
    }));
}

std::vector<std::uint32_t> gf_liveParkedObjectIds() {
    std::vector<std::uint32_t> ids;
    for (const LiveAircraft& a : g_liveAircraft)
        if (lf_parkedInSim(a) && a.objectId != 0) ids.push_back(a.objectId);
    return ids;
}

std::vector<std::uint32_t> gf_staticParkedObjectIds() {
    std::vector<std::uint32_t> ids;
    for (const Aircraft& s : g_staticParked)
        if (s.state == STATE_IN_SIM && s.objectId != 0) ids.push_back(s.objectId);
    return ids;
}

// ---- Clearing a stand for a live aircraft --------------------------------------------------------

void lf_takeStand(const LiveAircraft& live, const Stand& stand) {
    const auto identity = [&](const Aircraft& s) {
        return vrn::format("{} {} {} {}", s.knownCallsign == live.callsign ? " the same live version" : "",
                           live.callsign, live.registration, gf_airlineModelKey(live));
    };
    // By index, one change at most: a cancelled creation marks its record, which stays in the list.
    for (std::size_t i = 0; i < g_staticParked.size(); ++i) {
        Aircraft& s = g_staticParked[i];
        if (static_cast<std::uint32_t>(s.standId) != stand.number) continue;
        if (s.state == STATE_IN_SIM) {
            if (lf_logOn())
                gf_logLine(vrn::format("{:8}: {:8} {} makes place for{}", gf_nowHhMmSs(), s.callsign, stand.id, identity(s)));
            gf_removeLiveAircraft(s);
        } else if (s.state == STATE_CREATION_REQUESTED) {
            const std::string callsign = s.callsign;
            const std::string text = identity(s);
            if (!gf_cancelQueuedStaticCreation(callsign)) s.removeWhenCreated = true;
            if (lf_logOn())
                gf_logLine(vrn::format("queued {:8}: {:8} {} makes place for{}", gf_nowHhMmSs(), callsign, stand.id, text));
        }
        break;
    }
    for (std::uint32_t adjacentId : stand.adjacent) {
        const Stand* adjacent = gf_standByNumber(adjacentId);
        if (!adjacent) continue;
        const double d = lf_standDistanceNm(*adjacent, stand);
        for (Aircraft& s : g_staticParked) {
            if (s.state != STATE_IN_SIM || static_cast<std::uint32_t>(s.standId) != adjacentId) continue;
            if (d >= gf_halfWingspanNm(live.model) + gf_halfWingspanNm(s.model)) continue;
            if (lf_logOn())
                gf_logLine(vrn::format("{:8}: {:8} removed by adjacent parking {} at {}", gf_nowHhMmSs(), s.callsign,
                                       live.callsign, stand.id));
            gf_removeLiveAircraft(s);
            break;
        }
    }
}

void lf_markCargoStand(const Aircraft& a) {
    if (a.standId == 0 || a.aircraftId <= 10000 || !a.cargo) return;
    std::lock_guard lock(g_standsMutex);
    Stand* stand = gf_standByNumber(static_cast<std::uint32_t>(a.standId));
    if (!stand) return;
    if (stand->cargo) return;
    stand->cargo = 1;
    stand->cargoChanged = 1;
    gf_countApfUpdate();
    gf_logLine(vrn::format("{} stand: {}, cargo attribute set to true, {} parked here", gf_parkAirportCopy().code,
                           stand->id, gf_flightToText(a)));
}

}  // namespace vrn
