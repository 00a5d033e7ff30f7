// The user aircraft: requests, replies, the type resolution and the user's stand.
#include "simlink/user_aircraft.h"

#include <cstring>
#include <mutex>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "records/size_class.h"
#include "simlink/command_queues.h"
#include "simlink/sim_client.h"
#include "simlink/sim_event.h"
#include "simlink/sim_services.h"

namespace vrn {

using namespace simconnect;

std::atomic<std::uint32_t> g_userObjectId{2};
std::atomic<bool> g_simTick{false};
SharedString g_userTitle;
std::atomic<double> g_userHalfWingspan{0.0};
std::atomic<bool> g_userHalfWingspanKnown{false};
std::atomic<std::uint32_t> g_userSizeClass{0};
std::atomic<std::int64_t> g_simTimeSeconds{0};

namespace {

constexpr double kTeleportNm = 10.0;
constexpr std::size_t kTitleBytes = 48;

LatLon l_lastUserPosition;         // SimConnect thread only
std::string l_lastUserStand;       // SimConnect thread only

// The data block of a reply, when the reply holds at least `size` bytes of it.
const std::uint8_t* lf_block(const SIMCONNECT_RECV_SIMOBJECT_DATA* d, std::size_t size) {
    const std::size_t header = SIMOBJECT_DATA_OFFSET;
    if (d->dwSize < header + size) return nullptr;
    return reinterpret_cast<const std::uint8_t*>(d) + header;
}

// A zero-terminated text of a reply; never reads past the record.
std::string lf_text(const SIMCONNECT_RECV_SIMOBJECT_DATA* d, std::size_t maxBytes) {
    const std::size_t header = SIMOBJECT_DATA_OFFSET;
    if (d->dwSize <= header) return {};
    const auto* p = reinterpret_cast<const char*>(d) + header;
    return std::string(p, strnlen(p, std::min<std::size_t>(maxBytes, d->dwSize - header)));
}

void lf_onUserAircraftTitle(const SIMCONNECT_RECV_SIMOBJECT_DATA* d) {
    std::string title = lf_text(d, 4096);
    if (title.empty()) {
        gf_logLine("! title of your ac is empty?");
        return;
    }
    title = gf_utf8Prefix(title, kTitleBytes);
    if (g_userTitle == title) return;
    g_mainWindow.g_userAircraftText.set(title);
    gf_invalidateBand(Band::Counters);
    g_userTitle.set(title);
    gf_logIndentedLine("SimConnect: User aircraft title: " + title);
}

bool lf_knownType(const std::string& model) {
    auto& s = gf_simLinkServices();
    return s.isValidModel(model) && s.halfWingspanNm(model) > 0.0;
}

void lf_resolveUserModel(std::string model) {
    auto& s = gf_simLinkServices();
    if (model.empty()) {
        g_mainWindow.g_userAircraftText.set("Unknown (encrypted?) aircraft");
        gf_invalidateBand(Band::Counters);
        gf_showStatus("171: No model info from your user aircraft received in SimConnect, CRJ7 is taken instead", true);
        double span = s.halfWingspanNm("CRJ7");
        if (span == 0.0) span = s.maxHalfWingspan();
        g_userHalfWingspan = span;
        g_userHalfWingspanKnown = true;
        return;
    }
    const std::string title = g_userTitle.get();
    if (const auto p = model.find(".0.text"); p != std::string::npos) {
        // The designator sits right before ".0.text"; lengths that do not fit are skipped. Only a type
        // the database knows is taken: every text has a class average, so any four characters would do.
        for (std::size_t n : {4u, 3u, 2u}) {
            if (p < n) continue;
            const std::string candidate = model.substr(p - n, n);
            if (lf_knownType(candidate)) {
                model = candidate;
                break;
            }
        }
    } else if (model == "737") {
        static const std::pair<const char*, const char*> variants[] = {
            {"DG 737-800", "B738"}, {"DG 737-700", "B737"}, {"DG 737-600", "B736"}, {"DG 737-900", "B739"}};
        for (const auto& [text, type] : variants) {
            if (title.find(text) != std::string::npos) {
                model = type;
                break;
            }
        }
    }
    std::string log = "SimConnect: User aircraft model: " + model;
    if (model.find("camerapod") != std::string::npos || model.find("Crew Vessel") != std::string::npos) {
        g_mainWindow.g_userAircraftKnown = true;
        gf_invalidateBand(Band::Counters);
        g_userHalfWingspan = s.halfWingspanNm("E190");
        g_userHalfWingspanKnown = true;
        g_userSizeClass = 0;
        return;
    }
    // A designator is short; its own span, or its class's average, is looked up. A longer model,
    // no span at all, and the largest type alike may still be told by the title.
    const double maxSpan = s.maxHalfWingspan();
    double span = model.size() < 5 ? s.halfWingspanNm(model) : maxSpan;
    if (span == 0.0) span = maxSpan;
    bool found = span != maxSpan;
    if (!found && title.size() >= 13) {
        static const std::pair<const char*, const char*> aerosoft[] = {
            {"Aerosoft A319", "A319"}, {"Aerosoft A320", "A320"}, {"Aerosoft A321", "A321"}};
        for (const auto& [prefix, type] : aerosoft) {
            if (title.compare(0, 13, prefix) != 0) continue;
            model = type;
            log = "SimConnect: User aircraft model deduced from title: " + model;
            span = s.halfWingspanNm(model);
            found = span != 0.0;
            if (!found) span = maxSpan;
            break;
        }
    }
    g_userHalfWingspan = span;
    g_userHalfWingspanKnown = true;
    if (!found) {
        g_mainWindow.g_userAircraftKnown = false;
        gf_invalidateBand(Band::Counters);
        gf_showStatus("User aircraft wing span unknown, max is taken instead, please report in my Forum!", true);
    } else {
        g_mainWindow.g_userAircraftKnown = true;
        gf_invalidateBand(Band::Counters);
        log += vrn::format(", half wing span: {:.1F} meter", span * 1852.0);
    }
    const unsigned sizeClass = s.sizeClass(model);
    g_userSizeClass = sizeClass;
    log += vrn::format(", category: {}", gf_sizeClassName(static_cast<SizeClass>(sizeClass)));
    gf_logIndentedLine(log);
}

void lf_onUserAircraftModel(const SIMCONNECT_RECV_SIMOBJECT_DATA* d) {
    try {
        lf_resolveUserModel(lf_text(d, 32));
    } catch (const UserErrorException&) {
        throw;
    } catch (...) {
        throw UserErrorException(73, "It looks like you have not selected an aircraft as user vehicle");
    }
}

void lf_onUserBlock(const SIMCONNECT_RECV_SIMOBJECT_DATA* d) {
    const std::uint8_t* bytes = lf_block(d, sizeof(UserAircraftBlock));
    if (!bytes) return;
    UserAircraftBlock block;
    std::memcpy(&block, bytes, sizeof block);
    if (block.altitude < 0.0) block.altitude = 0.0;
    gf_storeUserAircraftData(block);
    auto& s = gf_simLinkServices();
    const LatLon now{block.latitude, block.longitude};
    if (gf_isValidPosition(l_lastUserPosition) && gf_distanceNm(l_lastUserPosition, now) > kTeleportNm) {
        gf_logLine("Teleport");
        s.requestExit(EXIT_RESTART, 45);
    }
    l_lastUserPosition = now;

    const std::string stand = s.standNameAt(now);
    if (!stand.empty() && stand != l_lastUserStand) {
        g_mainWindow.g_userStandText.set(stand);
        gf_invalidateBand(Band::Counters);
    } else if (stand.empty() && !l_lastUserStand.empty()) {
        g_mainWindow.g_userStandText.set("");
        gf_invalidateBand(Band::Counters);
    }
    l_lastUserStand = stand;

    if (s.professionalEdition())
        g_simTimeSeconds.exchange(gf_zuluToUnixSeconds(block.zuluYear, block.zuluDayOfYear, block.zuluTime));
    g_userObjectId = d->dwObjectID;
}

void lf_onUserOnGround(const SIMCONNECT_RECV_SIMOBJECT_DATA* d) {
    if (gf_isValidPosition(gf_userLatLon())) {
        if (const std::uint8_t* bytes = lf_block(d, sizeof(std::int64_t))) {
            std::int64_t word;
            std::memcpy(&word, bytes, sizeof word);
            g_userOnGround = static_cast<std::uint32_t>(word) != 0;
            g_userOnGroundKnown = true;
        }
    }
    g_simTick.exchange(true);
}

}  // namespace

UserAircraftBlock gf_requestUserAircraftPosition() {
    if (!g_requestsBroken.load()) {
        std::lock_guard lock(g_simCommandMutex);
        if (FAILED(SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), REQUEST_USER_BLOCK, DEF_USER_BLOCK,
                                                     SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0))) {
            gf_logArrowLine("SimConnect request user ac position fails");
            gf_countSimConnectRequestError();
        }
    }
    return gf_userAircraftData();
}

void gf_requestUserAircraftTitleAndModel() {
    std::lock_guard lock(g_simCommandMutex);
    const HANDLE h = g_hSimConnect.load();
    if (FAILED(SimConnect_RequestDataOnSimObject(h, REQUEST_USER_TITLE, DEF_USER_TITLE, SIMCONNECT_OBJECT_ID_USER,
                                                 SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0))) {
        gf_logArrowLine("SimConnect request user ac title fails");
        gf_countSimConnectRequestError();
    }
    if (FAILED(SimConnect_RequestDataOnSimObject(h, REQUEST_USER_MODEL, DEF_USER_MODEL, SIMCONNECT_OBJECT_ID_USER,
                                                 SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0))) {
        gf_logArrowLine("SimConnect reques user ac model fails");
        gf_countSimConnectRequestError();
    }
}

void gf_requestUserOnGroundEverySecond() {
    std::lock_guard lock(g_simCommandMutex);
    if (FAILED(SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), REQUEST_USER_ON_GROUND, DEF_USER_ON_GROUND,
                                                 SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND, 0, 0, 0, 0))) {
        gf_logArrowLine("SimConnect request ac gnd/air fails");
        gf_countSimConnectRequestError();
    }
}

void gf_onSimObjectData(const SIMCONNECT_RECV_SIMOBJECT_DATA* d) {
    if (!d) return;
    switch (d->dwRequestID) {
    case REQUEST_STATIC_CG:
        if (const std::uint8_t* bytes = lf_block(d, sizeof(StaticCgBlock))) {
            StaticCgBlock cg;
            std::memcpy(&cg, bytes, sizeof cg);
            gf_queueSimEvent({d->dwObjectID, 0, 0, SIM_EVENT_STATIC_CG, cg.staticCgToGround, cg.staticPitch});
        }
        break;
    case REQUEST_USER_TITLE: lf_onUserAircraftTitle(d); break;
    case REQUEST_USER_MODEL: lf_onUserAircraftModel(d); break;
    case REQUEST_USER_ON_GROUND: lf_onUserOnGround(d); break;
    case REQUEST_USER_BLOCK: lf_onUserBlock(d); break;
    default: break;
    }
}

void gf_saveUserStand() {
    if (!g_userOnGroundKnown.load()) return;
    const UserAircraftBlock block = gf_userAircraftData();
    if (block.groundSpeed > 2.0) return;
    auto& s = gf_simLinkServices();
    const std::string stand = s.standNameAt({block.latitude, block.longitude});
    if (!stand.empty()) s.storeUserStand(stand);
}

std::int64_t gf_zuluToUnixSeconds(std::int64_t year, std::int64_t dayOfYear, std::int64_t secondOfDay) {
    auto leapYearsBefore = [](std::int64_t y) { return y / 4 - y / 100 + y / 400; };   // leap years in [1, y]
    const std::int64_t leaps = leapYearsBefore(year - 1) - leapYearsBefore(1969);
    const std::int64_t days = 365 * (year - 1970) + leaps + (dayOfYear - 1);
    return days * 86400 + secondOfDay;
}

void gf_resetUserAircraft() {
    gf_storeUserAircraftData(UserAircraftBlock{});
    l_lastUserPosition = {};
    l_lastUserStand.clear();
    g_userObjectId = 2;
    g_userOnGroundKnown = false;
    g_userOnGround = false;
    g_userTitle.set("");
    g_userHalfWingspanKnown = false;
    g_simTick = false;
}

}  // namespace vrn
