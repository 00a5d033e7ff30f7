// Around the stand and the runway, what is neither normal movement nor admission: an aircraft is
// re-created in a new livery, a towed aircraft arrives on its stand and parks, a parked or towed
// aircraft starts under its own power, and an aircraft in the air whose samples are already on the
// ground is brought down to them.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <numeric>
#include <unordered_map>

#include "airports/stand_learning.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "liveries/livery_matching.h"
#include "records/stand_records.h"
#include "settings/settings_catalogue.h"
#include "traffic/engine_steps.h"
#include "traffic/movement_common.h"
#include "traffic/sample_tests.h"
#include "traffic/traffic_lists.h"

namespace vrn {

using namespace movement;

namespace {

constexpr double kParkedWithinNm = 0.0010799136069114472;   // 2 m

// The stands towed arrivals reserved as they parked, each with the aircraft that did. The same mark
// keeps static parking off the user's stands, so only the reserving aircraft's going ends it.
std::unordered_map<std::uint32_t, std::uint32_t> l_towReservations;   // stand number -> aircraft id

}  // namespace

void gf_endTowReservation(const Aircraft& a) {
    const auto it = l_towReservations.find(static_cast<std::uint32_t>(a.standId));
    if (it == l_towReservations.end() || it->second != a.aircraftId) return;
    l_towReservations.erase(it);
    std::lock_guard lock(g_standsMutex);
    if (Stand* stand = gf_standByNumber(static_cast<std::uint32_t>(a.standId))) stand->reserved = 0;
}

void gf_forgetTowReservations() { l_towReservations.clear(); }

void lf_liveryChange(LiveAircraft& a) {
    if (a.phase != PHASE_AT_STAND) {
        PositionSample current = a.samples.empty() ? PositionSample{} : a.samples.front();
        current.latitude = a.position.latitude;
        current.longitude = a.position.longitude;
        current.bank = a.position.bank;
        current.altitude = a.position.altitude;
        current.standing = !a.samples.empty() && a.samples.front().latitude == current.latitude &&
                           a.samples.front().longitude == current.longitude;
        current.duePass = tick() + 1;
        a.samples.push_front(current);
        a.state = STATE_TO_RECREATE;
    }
    if (a.samples.size() >= 2) {
        gf_logLine(vrn::format("{:8}: {} {} livery change stream.size: {} !", gf_wallClockHhMmSs(), a.callsign,
                               gf_standNameOf(a), a.samples.size()));
        a.samples.erase(a.samples.begin() + 1, a.samples.end());
    }
    if (!a.samples.empty()) {
        PositionSample& oldest = a.samples.front();
        oldest.standing = 1;
        oldest.track = a.position.heading * kRad2Deg;
        PositionSample standing = oldest;
        standing.duePass = tick() + 1;
        a.samples.push_front(standing);
    }
    a.state = STATE_TO_RECREATE;
    a.liveryTitle = {};
    gf_matchLiveryLive(a);
    if (a.liveryTitle.empty())
        g_rememberedLiveries.erase(a.aircraftId);
    else
        g_rememberedLiveries[a.aircraftId] = a.liveryTitle;
}

void lf_towedParks(LiveAircraft& a) {
    if (gf_distanceNm(here(a), a.standPosition) > kParkedWithinNm) {
        a.phase = PHASE_MOVING;
        gf_releaseStand(a);
        return;
    }
    a.previousPhase = a.phase;
    a.phase = PHASE_AT_STAND;
    a.towing = 0;
    // Its parked hours count from now: one never created at a stand has no stand time yet, and the
    // live average would count it from day 0.
    if (gf_slotDay(a.standTime) == 0) a.standTime = g_currentDaySlot.load();
    std::string standName;
    {
        std::lock_guard lock(g_standsMutex);
        if (Stand* stand = gf_standByNumber(static_cast<std::uint32_t>(a.standId)); stand && !stand->reserved) {
            stand->reserved = 1;
            l_towReservations[stand->number] = a.aircraftId;
        }
        standName = gf_standNameOf(a);
    }
    if (a.shortStay && LOG.get()) gf_logLine(vrn::format("          towed aircraft {} parks", gf_flightToText(a)));
    lf_markCargoStand(a);
    gf_parkedLights(a);
    if (LOG.get()) gf_logLine(vrn::format("{:8}: {:8} arrived at stand {}", gf_nowHhMmSs(), a.callsign, standName));
    g_newAircraftIds.push_back(a.aircraftId);
    // Recorded at its stand time (this half hour for one that rolled onto its stand).
    if (a.standId != 0 && gf_recordStandUse(static_cast<std::uint32_t>(a.standId), a, false, a.standTime, false) != 0)
        gf_rememberStandUseSlot(a.aircraftId, a.standTime);
    lf_checkMaxPark(0);
}

void lf_powerUp(LiveAircraft& a, int throttle, bool spoilersOn) {
    a.underPower = 1;
    lf_limitsUnderPower(a);
    gf_setThrottle(a, throttle);
    gf_setSpoilers(a, spoilersOn);
    gf_setFlaps(a, 1);
    a.onApproach = 0;
    a.shortStayCheck = 0;
    a.climbConfigured = 0;
    sendLights(a, 1, 1, 1, 1, 1, 1, 1);
}

void lf_towedTakesOff(LiveAircraft& a) {
    if (a.shortStay) gf_logArrowLine(vrn::format("towed aircraft takes-off? {}", gf_flightToText(a)));
    a.towing = 0;
    lf_powerUp(a, 0, false);
    if (!a.airline.empty()) gf_chooseStand(a);
}

bool lf_dropToGround(LiveAircraft& a, int k) {
    if (k < 2 || static_cast<int>(a.samples.size()) < k) return false;
    if (!a.samples[static_cast<std::size_t>(k - 1)].airborne) return false;
    a.samples.erase(a.samples.begin() + 1, a.samples.begin() + (k - 1));
    const PositionSample& next = a.samples[1];
    const int passes = passesFor(gf_distanceNm(at(a.samples[0]), at(next)), gf_sampleSpeed(a));
    lf_setNextDuePass(a, std::max(passes, kMinPasses));
    const double rise = next.altitude - a.position.altitude;
    a.climbPerPass = rise > 0.0 ? std::min(rise / passesToNext(a), a.maxClimbPerPass) : 0.0;
    return true;
}

void lf_descendToGround(LiveAircraft& a) {
    const double climbs = std::accumulate(a.samples.begin(), a.samples.end(), 0.0,
                                          [](double sum, const PositionSample& s) { return sum + s.verticalSpeed; });
    if (!a.onApproach && climbs > 100.0) {
        const int last = std::min(static_cast<int>(a.samples.size()) - 1, 10);
        bool dropped = false;
        for (int k = 3; k <= last && !dropped; ++k) dropped = lf_dropToGround(a, k);
        if (!dropped) {
            PositionSample& next = a.samples[1];
            next.verticalSpeed = std::max(next.verticalSpeed, 601.0);
            a.verticalSpeedFpm = next.verticalSpeed;
            a.climbPerPass = next.verticalSpeed / 6000.0;
        }
    } else {
        const double v = lf_approachVerticalSpeed(a);
        a.samples[1].verticalSpeed = v;
        a.verticalSpeedFpm = v;
        a.climbPerPass = v / 6000.0;
    }
    gf_setGear(a, true);
}

}  // namespace vrn
