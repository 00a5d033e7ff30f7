// Static parked aircraft, one decision of static parking at a time: a record at its stand with a
// starred callsign, a livery for static aircraft and a creation request behind the live ones.
#include <algorithm>
#include <mutex>

#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "feed/udp_readers.h"
#include "liveries/livery_matching.h"
#include "liveries/type_queries.h"
#include "records/stand_records.h"
#include "settings/settings_catalogue.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {

std::set<std::string> g_staticExcludedCallsigns;
std::set<std::string> g_staticTakenRegistrations;

namespace {

constexpr double kRadToDeg = 57.29577951308232;
constexpr std::uint32_t kStaticIdLimit = 10000;

// The next static id: 1..9999, never 0 (no id) and never one a static record still holds.
std::uint32_t lf_nextStaticId() {
    for (std::uint32_t tries = 0; tries < kStaticIdLimit; ++tries) {
        g_staticIdCounter = g_staticIdCounter + 1 >= kStaticIdLimit ? 1 : g_staticIdCounter + 1;
        if (!gf_staticById(g_staticIdCounter)) return g_staticIdCounter;
    }
    return 0;
}

std::string lf_staticCallsign(const StaticPlacement& d) {
    std::string callsign = d.useLearnedCallsign ? d.callsign : d.coupledCallsign;
    while (gf_endsWith(callsign, '_')) callsign.pop_back();
    if (!gf_endsWith(callsign, '*')) callsign += '*';
    return callsign;
}

// A live aircraft at or rolling onto the decision's stand, or at one adjacent to it (known only
// while the stand is).
const LiveAircraft* lf_liveBlocking(std::uint32_t standId, const Stand* stand, bool& atStand) {
    for (const LiveAircraft& a : g_liveAircraft) {
        if (a.phase != PHASE_STAND_CLEANUP && a.phase != PHASE_AT_STAND) continue;
        const auto id = static_cast<std::uint32_t>(a.standId);
        atStand = id == standId;
        if (atStand || (stand && std::find(stand->adjacent.begin(), stand->adjacent.end(), id) != stand->adjacent.end()))
            return &a;
    }
    return nullptr;
}

}  // namespace

void lf_placeStaticParked() {
    std::lock_guard lock(g_standsMutex);
    if (g_stands.empty() || g_staticPlacements.empty()) return;
    const StaticPlacement d = std::move(g_staticPlacements.back());
    g_staticPlacements.pop_back();
    const Stand* stand = gf_standByNumber(d.standId);
    bool atStand = false;
    if (const LiveAircraft* live = lf_liveBlocking(d.standId, stand, atStand)) {
        if (LOG.get()) {
            const std::string name = gf_standNameOfNumber(d.standId);
            if (atStand)
                gf_logLine(vrn::format("{:8}: no static parking for {}, live aircraft {} standing here", name,
                                       d.callsign, live->callsign));
            else
                gf_logLine(vrn::format("{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly "
                                       "colliding",
                                       name, d.callsign, live->callsign, gf_standNameOf(*live)));
        }
        return;
    }
    if (!stand) {
        gf_logArrowLine(vrn::format("stand with id {} not found", d.standId));
        return;
    }
    const std::uint32_t id = lf_nextStaticId();
    if (id == 0) return;
    Flight flight;
    flight.airline = d.airline;
    flight.model = d.model;
    flight.callsign = d.callsign.empty() ? vrn::format("{}{}*", d.airline, id) : lf_staticCallsign(d);
    flight.knownCallsign = d.callsign;
    flight.coupledCallsign = d.coupledCallsign;
    flight.registration = d.registration;
    Aircraft parked = gf_makeStaticParked(Aircraft(flight), stand->number, stand->position, stand->heading,
                                          stand->cargo != 0);
    parked.aircraftId = id;
    // The ladder's later steps depend on the size class, so a static aircraft has its own before the choice.
    parked.sizeClass = gf_sizeClass(parked.model);
    if (!gf_matchLiveryStatic(parked, *stand)) return;
    parked.hexidValid = d.hexidValid != 0;
    parked.representedHexid = d.representedHexid;
    const DaySlot now = g_currentDaySlot.load();
    int day = gf_slotDay(now);
    int halfHour = gf_slotHalfHour(now) - static_cast<int>(d.age % (7 * 48));
    while (halfHour < 0) {
        halfHour += 48;
        day = day <= 1 ? 7 : day - 1;
    }
    parked.standTime = gf_makeDaySlot(day, halfHour);
    parked.state = STATE_CREATION_REQUESTED;
    AiCreateRequest request;
    request.initPosition.Latitude = stand->position.lat;
    request.initPosition.Longitude = stand->position.lon;
    request.initPosition.Heading = stand->heading * kRadToDeg;
    request.initPosition.OnGround = 1;
    request.tailNumber = parked.callsign;
    request.containerTitle = parked.liveryTitle;
    request.aircraftId = id;
    g_staticParked.push_back(std::move(parked));
    g_staticCreationQueue.push_back(std::move(request));
}

void gf_resetStaticLists() {
    g_staticExcludedCallsigns.clear();
    g_staticTakenRegistrations.clear();
    // The collection ends before its result is taken, so no callsign arrives after the take. Outside
    // a renewal the reader's set is empty: it is emptied before each collection and by every take.
    g_trafficReader.collectCallsigns.store(false);
    g_staticExcludedCallsigns = g_trafficReader.takeSeenCallsigns();
}

}  // namespace vrn
