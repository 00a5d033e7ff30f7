// Choosing, loading and giving up the park airport, and the refresh that drives static parking.
#include "traffic/park_airport_choice.h"

#include <mutex>
#include <optional>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "display/window_state.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"
#include "simlink/user_aircraft.h"
#include "traffic/engine_steps.h"
#include "traffic/static_parking.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {

std::atomic<bool> g_parkSettingsChanged{false};
namespace {

constexpr int kSoftLearningWeeks = 45;
constexpr std::size_t kSoftLearningStands = 20;

bool g_parkAirportChanged = false;
std::optional<LatLon> g_lastUserPosition;
// An airport whose file did not load is not chosen again until the park airports are re-read:
// it would be loaded and given up every other refresh.
std::string g_failedParkCode;

bool lf_withinSight(double distanceNm, double altitudeFeet) {
    return distanceNm <= AIRPORT_RANGE.get() && altitudeFeet <= AIRPORT_HEIGHT.get();
}

// A list airport that can become the park airport.
bool lf_choosable(const std::string& code) { return code != g_failedParkCode && gf_hasApf(code); }

bool lf_parkAirportText(const std::string& code) {
    const std::optional<Airport> airport = gf_findAirport(code);
    if (!airport) return false;
    {
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = *airport;
    }
    gf_logLine("The park airport is " + gf_airportText(*airport));
    gf_invalidateBand(Band::Park);
    return true;
}

// The feed's aircraft are taken in afresh; the reader empties its own table when it sees the flag.
void lf_startStaticCalculation(bool showText) {
    gf_disableParkingControls();
    g_trafficReader.requestKnownAircraftReset();
    if (showText) gf_showStatus("Calculating static parked aircraft ...", false);
}

void lf_chosen(bool showCalculating) {
    g_parkAirportChanged = true;
    lf_startStaticCalculation(showCalculating);
}

void lf_userAirportInSight(const UserState& user, bool showCalculating) {
    if (!user.onGround) {
        std::string code;
        double distance = 0.0;
        {
            std::lock_guard lock(g_parkAirportListMutex);
            // Only the nearest list airport is a candidate; one that cannot be loaded leaves the user
            // without a park airport rather than taking a farther one.
            if (!g_parkAirportList.empty()) {
                const ParkAirportEntry& nearest = g_parkAirportList.front();
                if (lf_withinSight(nearest.distanceNm, user.altitudeFeet) && lf_choosable(nearest.code)) {
                    code = nearest.code;
                    distance = nearest.distanceNm;
                }
            }
        }
        if (code.empty() || !lf_parkAirportText(code)) return;
        lf_chosen(false);
        gf_showStatus(vrn::format("{} in sight at {:.1F} nm", code, distance), true);
        return;
    }
    const std::optional<Airport> airport = gf_closestAirport(user.position);
    if (!airport) {
        gf_showStatus("User aircraft on the ground, no airport in sight", false);
        return;
    }
    const std::string text = vrn::format("User aircraft on the ground at {}", gf_airportText(*airport));
    if (!lf_choosable(airport->code)) {
        gf_showStatus(text + ", no airport file found", false);
        return;
    }
    gf_logLine(text);
    if (!lf_parkAirportText(airport->code)) return;
    lf_chosen(showCalculating);
}

void lf_clearParkAirport() {
    gf_closeParkAirport();
    {
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = Airport{};
        g_stands.clear();
        gf_resetStandSearch();
    }
    g_softLearningAllowed.store(false);
    g_reservedStand.set(std::string());
    gf_clearStaticParkingLists();
    g_staticPlacements.clear();
    g_trafficReader.setFieldElevation(std::nullopt);
    g_trafficReader.setParkAirport(std::nullopt);
    MainWindow& w = g_mainWindow;
    w.g_updateCount.store(0);
    w.g_standCount.store(0);
    for (SharedString* text : {&w.g_parkAirportName, &w.g_parkFileSource, &w.g_parkQualityText}) text->set("");
    gf_invalidateBand(Band::Park);
}

void lf_restoreMaxLive() {
    const int own = g_userMaxLive.load();
    if (MAX_LIVE.get() == own) return;
    MAX_LIVE.set(own);
    if (own == MAX_LIVE.defaultValue) {
        gf_clearControlText(MAX_LIVE.controlId);
    } else {
        MAX_LIVE.showValue();
        gf_enforceMaxCount();
    }
}

void lf_parkAirportOutOfSight() {
    g_staticPlacements.clear();
    gf_removeStaticParked();
    for (LiveAircraft& a : g_liveAircraft) {
        if (a.phase != PHASE_AT_STAND) continue;
        if (a.state == STATE_IN_SIM) {
            gf_removeLiveAircraft(a);
        } else if (a.state == STATE_CREATION_REQUESTED && !gf_cancelQueuedCreation(a.callsign)) {
            a.removeWhenCreated = true;
        }
    }
    for (LiveAircraft& a : g_liveAircraft) {
        if (a.state != STATE_IN_SIM) continue;
        a.standId = 0;
        a.standPosition = LatLon{};
        a.standHeading = 0.0;
    }
    lf_clearParkAirport();
    lf_restoreMaxLive();
}

void lf_parkAirportsInSight(const UserState& user) {
    if (user.onGround) return;
    const Airport park = gf_parkAirportCopy();
    const double distance = gf_distanceNm(user.position, park.position());
    if (!lf_withinSight(distance, user.altitudeFeet)) {
        gf_logLine(vrn::format("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed", gf_nowHhMmSs(),
                               gf_airportText(park), distance));
        lf_parkAirportOutOfSight();
        return;
    }
    std::optional<ParkAirportEntry> nearer;
    {
        std::lock_guard lock(g_parkAirportListMutex);
        if (!g_parkAirportList.empty()) nearer = g_parkAirportList.front();
    }
    if (!nearer || nearer->code == park.code || !lf_withinSight(nearer->distanceNm, user.altitudeFeet) ||
        nearer->distanceNm > distance || !lf_choosable(nearer->code))
        return;
    gf_logLine(vrn::format("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first",
                           gf_nowHhMmSs(), nearer->code, nearer->distanceNm, gf_airportText(park)));
    lf_parkAirportOutOfSight();
}

// Soft learning only where the feed has not yet shown most of the airport's traffic.
void lf_softLearningRule() {
    const bool allowed =
        g_apfAirport.RT_traffic_week < kSoftLearningWeeks || g_stands.size() < kSoftLearningStands;
    g_softLearningAllowed.store(allowed);
    if (!allowed && LEARN_SOFT.get()) {
        LEARN_SOFT.setChecked(false);
        g_apfChanged.store(true);
    }
    gf_enableAirportControl(LEARN_SOFT, allowed);
}

// The park airport goes to the front of the park airports, with the stand under the user.
void lf_storeParkAirportEntry(const Airport& park, const UserState& user) {
    const std::string stand = gf_isValidPosition(user.position) ? gf_standNameAt(user.position) : std::string();
    std::lock_guard lock(g_parkAirportListMutex);
    if (g_parkAirportList.empty() || g_parkAirportList.front().code != park.code) {
        g_parkAirportList.remove_if([&](const ParkAirportEntry& e) { return e.code == park.code; });
        g_parkAirportList.push_front({park.code, stand, park.position(), 0.0});
        gf_writeParkAirports();
    } else if (!stand.empty() && stand != g_parkAirportList.front().stand) {
        g_parkAirportList.front().stand = stand;
        gf_writeParkAirports();
    }
}

void lf_reserveListedStand(const Airport& park) {
    std::string reserved;
    {
        std::lock_guard lock(g_parkAirportListMutex);
        if (!g_parkAirportList.empty() && g_parkAirportList.front().code == park.code)
            reserved = g_parkAirportList.front().stand;
    }
    const bool exists = !reserved.empty() && gf_findStandByName(reserved) != g_stands.end();
    g_reservedStand.set(exists ? reserved : std::string());
    g_mainWindow.g_reservedStandOk.store(exists);
}

std::string lf_loadParkAirport() {
    std::lock_guard lock(g_standsMutex);
    g_stands.clear();
    gf_resetStandSearch();
    gf_forgetTowReservations();
    const Airport park = g_parkAirport;
    const std::filesystem::path path = gf_findApf(park.code);
    if (path.empty()) return vrn::format("{} not found", park.code);
    std::uint64_t quality = 0;
    const std::string result = gf_readApf(path, quality);
    if (!result.empty()) return result;
    lf_softLearningRule();
    if (MAX_LIVE.get() < g_userMaxLive.load()) gf_enforceMaxCount();
    const UserState user = gf_userState();
    lf_storeParkAirportEntry(park, user);
    lf_reserveListedStand(park);
    g_mainWindow.g_parkAirportName.set(g_apfAirport.airport_name);
    g_apfUpdates.store(0);
    g_mainWindow.g_updateCount.store(0);
    gf_invalidateBand(Band::Park);
    return result;
}

void lf_sortParkAirports(const LatLon& user) {
    if (g_lastUserPosition && g_lastUserPosition->lat == user.lat && g_lastUserPosition->lon == user.lon) return;
    g_lastUserPosition = user;
    std::lock_guard lock(g_parkAirportListMutex);
    for (ParkAirportEntry& entry : g_parkAirportList) entry.distanceNm = gf_distanceNm(user, entry.position);
    g_parkAirportList.sort(
        [](const ParkAirportEntry& a, const ParkAirportEntry& b) { return a.distanceNm < b.distanceNm; });
}

}  // namespace

namespace {

// "Airport parking:" is black while an airport with stands is the park airport, red while none is.
void lf_showParkingState() {
    const bool active = g_apfLoaded.load();
    if (g_mainWindow.g_staticParkingActive.exchange(active) != active) gf_invalidateBand(Band::Settings);
}

}  // namespace

void gf_refreshStaticParking(bool showCalculating) {
    struct ShowStateAtTheEnd {
        ~ShowStateAtTheEnd() { lf_showParkingState(); }
    } showState;
    // A per-airport setting changed in the window: the learned file keeps it.
    if (g_parkSettingsChanged.exchange(false) && g_apfLoaded.load()) g_apfChanged.store(true);
    if (g_parkingBusy.load() && g_staticPlacements.empty()) {
        gf_enableParkingControls();
        gf_clearStatus();
        gf_refreshStaticParkedHours(true);
        gf_refreshLiveParkedHours(true);
    }
    if (g_parkAirportChanged) {
        gf_clearStatus();
        g_parkAirportChanged = false;
        const std::string code = gf_parkAirportCopy().code;
        const std::string result = lf_loadParkAirport();
        if (result.empty()) {
            lf_parkingPercentage();
        } else {
            gf_showStatus(result, true);
            g_failedParkCode = code;
            lf_clearParkAirport();
            gf_enableParkingControls();
        }
        return;
    }
    const UserState user = gf_userState();
    if (!gf_isValidPosition(user.position)) return;
    lf_sortParkAirports(user.position);
    if (!gf_parkAirportCopy().code.empty())
        lf_parkAirportsInSight(user);
    else
        lf_userAirportInSight(user, showCalculating);
}

bool gf_checkReservedStands(bool check, std::string& result) {
    g_failedParkCode.clear();
    if (!gf_readParkAirports(false)) return false;
    g_lastUserPosition.reset();   // the list comes back in file order
    std::string listed;
    bool parkFirst = false;
    {
        std::lock_guard lock(g_parkAirportListMutex);
        if (!g_parkAirportList.empty()) {
            parkFirst = g_parkAirportList.front().code == gf_parkAirportCopy().code;
            listed = g_parkAirportList.front().stand;
        }
    }
    const std::string old = g_reservedStand.get();
    // While the user aircraft stands at a stand the window shows, the reservation is left as it is.
    const bool userAtStand = !g_mainWindow.g_userStandText.get().empty();
    if (check && gf_isValidPosition(gf_userState().position) && !g_parkingBusy.load() && parkFirst && !userAtStand &&
        listed != old) {
        result = vrn::format("reserved stand changed from \"{}\" to \"{}\"", old, listed);
        {
            std::lock_guard lock(g_standsMutex);
            if (auto it = gf_findStandByName(old); it != g_stands.end()) it->reserved = 0;
            const auto now = gf_findStandByName(listed);
            g_mainWindow.g_reservedStandOk.store(now != g_stands.end());
            g_reservedStand.set(listed);
            gf_clearReservedStand();
            if (now != g_stands.end()) now->reserved = 1;
        }
        gf_invalidateBand(Band::Park);
    }
    if (result.empty()) result = "park airports and stands are okay";
    return true;
}

bool gf_parkAirportHasStands() {
    std::lock_guard lock(g_standsMutex);
    return !g_parkAirport.code.empty() && !g_stands.empty();
}

void gf_resetParkAirportChoice() {
    g_parkAirportChanged = false;
    g_lastUserPosition.reset();
    g_failedParkCode.clear();
    g_softLearningAllowed.store(false);
    gf_clearStaticParkingLists();
}

}  // namespace vrn
