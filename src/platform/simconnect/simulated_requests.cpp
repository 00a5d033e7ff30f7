// The simulated simulator's side of the client API: connections, subscriptions and system events,
// data definitions and data requests with their encoded replies, client events and SetData.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/simconnect/simulated_simulator_internal.h"

namespace vrn::simconnect {

namespace {

constexpr double kEarthNmFactor = 6875.493541569878;   // twice the earth radius in nautical miles
constexpr DWORD kMaxRadiusMetres = 200000;             // the by-type request's largest radius
constexpr DWORD kAllLights = LIGHT_NAV | LIGHT_BEACON | LIGHT_LANDING | LIGHT_TAXI | LIGHT_STROBE | LIGHT_LOGO | LIGHT_CABIN;

std::string lf_lower(const char* text) {
    std::string s = text ? text : "";
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

double lf_distanceMetres(double lat1, double lon1, double lat2, double lon2) {
    const double dLat = (lat2 - lat1) * kDegToRad;
    const double dLon = (lon2 - lon1) * kDegToRad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(lat1 * kDegToRad) * std::cos(lat2 * kDegToRad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return kEarthNmFactor * std::asin(std::sqrt(std::min(1.0, a))) * 1852.0;
}

const std::set<std::string>& lf_systemEventNames() {
    static const std::set<std::string> names{"sim",       "objectadded", "objectremoved", "frame",   "flightloaded",
                                             "pause",     "simstart",    "simstop",       "1sec",    "4sec",
                                             "6hz",       "crashed",     "aircraftloaded", "paused", "unpaused",
                                             "positionchanged", "view",  "flightplanactivated"};
    return names;
}

const std::set<std::string>& lf_clientEventNames() {
    static const std::set<std::string> names{
        "gear_set",          "engine_auto_start", "engine_auto_shutdown",   "throttle_set",   "flaps_set",
        "spoilers_set",      "nav_lights_set",    "beacon_lights_set",      "landing_lights_set",
        "taxi_lights_set",   "strobes_set",       "logo_lights_set",        "cabin_lights_set",
        "all_lights_toggle", "freeze_latitude_longitude_set", "freeze_altitude_set", "freeze_attitude_set"};
    return names;
}

enum class VarKind { Number, Text, Unknown };

VarKind lf_varKind(const std::string& datum) {
    static const std::set<std::string> numbers{
        "plane latitude", "plane longitude", "plane pitch degrees", "plane bank degrees", "plane heading degrees true",
        "plane altitude", "plane alt above ground", "ground velocity", "vertical speed", "airspeed true",
        "sim on ground", "zulu time", "zulu day of year", "zulu year", "light states", "light on states",
        "static cg to ground", "static pitch", "ground altitude", "spoilers handle position",
        "general eng throttle lever position:1", "general eng throttle lever position:2"};
    static const std::set<std::string> texts{"title", "atc model", "atc id"};
    if (numbers.count(datum)) return VarKind::Number;
    if (texts.count(datum)) return VarKind::Text;
    return VarKind::Unknown;
}

std::size_t lf_fieldSize(SIMCONNECT_DATATYPE type) {
    switch (type) {
    case SIMCONNECT_DATATYPE_INT32:
    case SIMCONNECT_DATATYPE_FLOAT32: return 4;
    case SIMCONNECT_DATATYPE_INT64:
    case SIMCONNECT_DATATYPE_FLOAT64: return 8;
    case SIMCONNECT_DATATYPE_STRING32: return 32;
    default: return 0;   // variable or invalid
    }
}

// A simulation variable asked for as an integer: out-of-range values stick at the type's limits.
template <typename T>
T lf_saturate(double v) {
    if (std::isnan(v)) return 0;
    const double limit = std::ldexp(1.0, std::numeric_limits<T>::digits);
    if (v >= limit) return std::numeric_limits<T>::max();
    if (v < -limit) return std::numeric_limits<T>::min();
    return static_cast<T>(v);
}

struct Zulu {
    long long year, dayOfYear, seconds;
};

bool lf_isLeap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

Zulu lf_zulu(const SimScenario& s, double simSeconds) {
    long long year = s.zuluYear;
    double total = (s.zuluDayOfYear - 1) * 86400.0 + s.zuluSeconds + simSeconds;
    while (total >= (lf_isLeap(year) ? 366 : 365) * 86400.0) {
        total -= (lf_isLeap(year) ? 366 : 365) * 86400.0;
        ++year;
    }
    const auto whole = static_cast<long long>(total);
    return {year, whole / 86400 + 1, whole % 86400};
}

}  // namespace

// ---- messages -------------------------------------------------------------------------------

SimulatedSimulator::Connection* SimulatedSimulator::lf_connection(HANDLE handle) {
    const auto id = static_cast<int>(reinterpret_cast<std::uintptr_t>(handle));
    auto it = m_connections.find(id);
    return it == m_connections.end() ? nullptr : &it->second;
}

DWORD SimulatedSimulator::lf_packet(Connection& c, const char* call, DWORD a, DWORD b, DWORD cc, DWORD d,
                                    const std::string& text) {
    ++c.lastPacket;
    if (m_recordCalls) m_calls.push_back({c.id, call, a, b, cc, d, text});
    return c.lastPacket;
}

void SimulatedSimulator::lf_queueException(Connection& c, DWORD exception, DWORD sendId, DWORD index) {
    SIMCONNECT_RECV_EXCEPTION rec{};
    rec.dwID = SIMCONNECT_RECV_ID_EXCEPTION;
    rec.dwException = exception;
    rec.dwSendID = sendId;
    rec.dwIndex = index;
    lf_post(c, rec);
}

void SimulatedSimulator::lf_queueSystemEvent(const std::string& name, DWORD data) {
    const bool addRemove = name == "objectadded" || name == "objectremoved";
    for (auto& [cid, c] : m_connections) {
        if (c.quitSent) continue;
        for (const auto& [eventId, subscribed] : c.subscriptions) {
            if (subscribed != name) continue;
            if (addRemove) {
                SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE rec{};
                rec.dwID = SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE;
                rec.uGroupID = SIMCONNECT_UNUSED;
                rec.uEventID = eventId;
                rec.dwData = data;
                rec.eObjType = SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT;
                lf_post(c, rec);
            } else {
                SIMCONNECT_RECV_EVENT rec{};
                rec.dwID = SIMCONNECT_RECV_ID_EVENT;
                rec.uGroupID = SIMCONNECT_UNUSED;
                rec.uEventID = eventId;
                rec.dwData = data;
                lf_post(c, rec);
            }
        }
    }
}

// A loaded flight reaches "FlightLoaded" subscribers as a file-name record; a new file (empty name)
// reaches every client as a file-name record with no event of its own.
void SimulatedSimulator::lf_queueFileEvent(const std::string& name, const std::string& file) {
    for (auto& [cid, c] : m_connections) {
        if (c.quitSent) continue;
        std::vector<DWORD> ids;
        if (name.empty()) {
            ids.push_back(SIMCONNECT_UNUSED);
        } else {
            for (const auto& [eventId, subscribed] : c.subscriptions)
                if (subscribed == name) ids.push_back(eventId);
        }
        for (DWORD id : ids) {
            SIMCONNECT_RECV_EVENT_FILENAME rec{};
            rec.dwID = SIMCONNECT_RECV_ID_EVENT_FILENAME;
            rec.uGroupID = SIMCONNECT_UNUSED;
            rec.uEventID = id;
            std::strncpy(rec.szFileName, file.c_str(), sizeof rec.szFileName - 1);
            lf_post(c, rec);
        }
    }
}

std::vector<std::uint8_t> SimulatedSimulator::lf_encode(const std::vector<Field>& fields, const SimObjectState& o) const {
    std::vector<std::uint8_t> out;
    const Zulu z = lf_zulu(m_scenario, m_simSeconds);
    for (const auto& f : fields) {
        const std::string& d = f.datum;
        if (lf_varKind(d) == VarKind::Text) {
            const std::string text = d == "title" ? o.title : d == "atc model" ? o.atcModel : o.atcId;
            if (f.type == SIMCONNECT_DATATYPE_STRINGV) {
                out.insert(out.end(), text.begin(), text.end());
                out.push_back(0);
                while (out.size() % 4) out.push_back(0);
            } else {
                std::uint8_t buf[32] = {};
                std::memcpy(buf, text.data(), std::min<std::size_t>(text.size(), 31));
                out.insert(out.end(), buf, buf + 32);
            }
            continue;
        }
        double v = 0.0;
        if (d == "plane latitude") v = o.lat;
        else if (d == "plane longitude") v = o.lon;
        else if (d == "plane pitch degrees") v = o.pitch;
        else if (d == "plane bank degrees") v = o.bank;
        else if (d == "plane heading degrees true") v = o.heading;
        else if (d == "plane altitude") v = o.altitude;
        else if (d == "plane alt above ground") v = o.altitudeAboveGround();
        else if (d == "ground velocity") v = o.groundSpeed;
        else if (d == "vertical speed") v = o.verticalSpeed;
        else if (d == "airspeed true") v = o.airspeed;
        else if (d == "sim on ground") v = o.onGround ? 1.0 : 0.0;
        else if (d == "zulu time") v = static_cast<double>(z.seconds);
        else if (d == "zulu day of year") v = static_cast<double>(z.dayOfYear);
        else if (d == "zulu year") v = static_cast<double>(z.year);
        else if (d == "light states" || d == "light on states") v = o.lights;
        else if (d == "static cg to ground") v = o.staticCg;
        else if (d == "static pitch") v = o.staticPitch;
        else if (d == "ground altitude") v = o.groundAltitude;
        else if (d == "spoilers handle position") v = o.spoilersPercent;
        else if (d.rfind("general eng throttle lever position", 0) == 0) v = o.throttlePercent;
        std::uint8_t buf[8] = {};
        switch (f.type) {
        case SIMCONNECT_DATATYPE_INT32: {
            const auto i = lf_saturate<std::int32_t>(v);
            std::memcpy(buf, &i, 4);
            out.insert(out.end(), buf, buf + 4);
            break;
        }
        case SIMCONNECT_DATATYPE_FLOAT32: {
            const auto x = static_cast<float>(v);
            std::memcpy(buf, &x, 4);
            out.insert(out.end(), buf, buf + 4);
            break;
        }
        case SIMCONNECT_DATATYPE_INT64: {
            const auto i = lf_saturate<std::int64_t>(v);
            std::memcpy(buf, &i, 8);
            out.insert(out.end(), buf, buf + 8);
            break;
        }
        default:
            std::memcpy(buf, &v, 8);
            out.insert(out.end(), buf, buf + 8);
            break;
        }
    }
    return out;
}

void SimulatedSimulator::lf_queueObjectData(Connection& c, DWORD recvId, DWORD requestId, DWORD defineId,
                                            const SimObjectState& o, DWORD entry, DWORD outOf) {
    auto def = c.definitions.find(defineId);
    if (def == c.definitions.end()) return;
    const std::vector<std::uint8_t> data = lf_encode(def->second, o);
    SIMCONNECT_RECV_SIMOBJECT_DATA rec{};
    const std::size_t header = SIMOBJECT_DATA_OFFSET;
    rec.dwSize = static_cast<DWORD>(std::max(sizeof rec, header + data.size()));
    rec.dwVersion = 1;
    rec.dwID = recvId;
    rec.dwRequestID = requestId;
    rec.dwObjectID = o.id;
    rec.dwDefineID = defineId;
    rec.dwentrynumber = entry;
    rec.dwoutof = outOf;
    rec.dwDefineCount = static_cast<DWORD>(def->second.size());
    Message m;
    m.storage.assign((rec.dwSize + 7) / 8, 0);
    std::memcpy(m.storage.data(), &rec, header);
    std::memcpy(reinterpret_cast<std::uint8_t*>(m.storage.data()) + header, data.data(), data.size());
    m.size = rec.dwSize;
    c.queue.push_back(std::move(m));
}

// ---- the client API -------------------------------------------------------------------------

HRESULT SimulatedSimulator::open(HANDLE* handle, const char* name) {
    if (!handle) return E_FAIL;
    std::lock_guard lock(m_mutex);
    if (!m_running) return E_FAIL;
    if (m_openFailuresLeft > 0) {
        --m_openFailuresLeft;
        return E_FAIL;
    }
    Connection c;
    c.id = m_nextConnection++;
    c.name = name ? name : "";
    SIMCONNECT_RECV_OPEN rec{};
    rec.dwID = SIMCONNECT_RECV_ID_OPEN;
    std::string app = m_scenario.applicationName;
    if (app.empty()) app = m_scenario.version == 2020 ? "KittyHawk" : m_scenario.version == 2024 ? "SunRise" : "Unknown";
    std::strncpy(rec.szApplicationName, app.c_str(), sizeof rec.szApplicationName - 1);
    rec.dwApplicationVersionMajor = m_scenario.appVersion[0];
    rec.dwApplicationVersionMinor = m_scenario.appVersion[1];
    rec.dwApplicationBuildMajor = m_scenario.appVersion[2];
    rec.dwApplicationBuildMinor = m_scenario.appVersion[3];
    rec.dwSimConnectVersionMajor = 11;
    lf_post(c, rec);
    for (const auto& [exception, index] : m_scenario.failures.exceptionsAfterOpen) lf_queueException(c, exception, 0, index);
    if (m_recordCalls) m_calls.push_back({c.id, "Open", 0, 0, 0, 0, c.name});
    *handle = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(c.id));
    m_connections.emplace(c.id, std::move(c));
    lf_traceEvent("connected", 0, name ? name : "");
    return S_OK;
}

HRESULT SimulatedSimulator::close(HANDLE handle) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const int id = c->id;
    if (m_recordCalls) m_calls.push_back({id, "Close", 0, 0, 0, 0, {}});
    m_connections.erase(id);
    // A client's AI objects leave the world with the client.
    for (auto it = m_objects.begin(); it != m_objects.end();) {
        if (it->second.ownerConnection == id) {
            lf_traceEvent("removedWithClient", it->first, it->second.atcId);
            it = m_objects.erase(it);
        } else {
            ++it;
        }
    }
    lf_traceEvent("disconnected", 0, "");
    m_idle.notify_all();
    return S_OK;
}

HRESULT SimulatedSimulator::callDispatch(HANDLE handle, DispatchProc proc, void* context) {
    m_dispatchCalls.fetch_add(1);
    std::unique_lock lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c || !proc) return E_FAIL;
    if (m_scenario.failures.failDispatchCalls > 0) {
        --m_scenario.failures.failDispatchCalls;
        return E_FAIL;
    }
    const int id = c->id;
    std::size_t budget = c->queue.size();
    if (budget == 0) return c->quitSent ? E_FAIL : S_OK;
    while (budget-- > 0) {
        c = lf_connection(handle);
        if (!c || c->queue.empty()) break;
        Message m = std::move(c->queue.front());
        c->queue.pop_front();
        ++m_dispatching;
        lock.unlock();
        try {
            proc(reinterpret_cast<SIMCONNECT_RECV*>(m.storage.data()), m.size, context);
        } catch (...) {
            lock.lock();
            --m_dispatching;
            m_idle.notify_all();
            throw;
        }
        lock.lock();
        --m_dispatching;
    }
    (void)id;
    m_idle.notify_all();
    return S_OK;
}

HRESULT SimulatedSimulator::lastSentPacketId(HANDLE handle, DWORD* id) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c || !id) return E_FAIL;
    if (m_scenario.failures.failPacketIdCalls > 0) {
        --m_scenario.failures.failPacketIdCalls;
        return E_FAIL;
    }
    *id = c->lastPacket;
    return S_OK;
}

HRESULT SimulatedSimulator::subscribe(HANDLE handle, DWORD eventId, const char* name) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const std::string n = lf_lower(name);
    const DWORD p = lf_packet(*c, "SubscribeToSystemEvent", eventId, 0, 0, 0, name ? name : "");
    if (!lf_systemEventNames().count(n)) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, p, 2);
        return S_OK;
    }
    c->subscriptions[eventId] = n;
    if (n == "sim") {
        // A client that connects during a flight learns the current state at once.
        SIMCONNECT_RECV_EVENT rec{};
        rec.dwID = SIMCONNECT_RECV_ID_EVENT;
        rec.uGroupID = SIMCONNECT_UNUSED;
        rec.uEventID = eventId;
        rec.dwData = m_flightRunning ? 1 : 0;
        lf_post(*c, rec);
    }
    return S_OK;
}

HRESULT SimulatedSimulator::unsubscribe(HANDLE handle, DWORD eventId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const DWORD p = lf_packet(*c, "UnsubscribeFromSystemEvent", eventId);
    if (!c->subscriptions.erase(eventId)) lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
    return S_OK;
}

HRESULT SimulatedSimulator::addToDefinition(HANDLE handle, DWORD defineId, const char* datum, const char* units,
                                            SIMCONNECT_DATATYPE type) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const std::string d = lf_lower(datum);
    const DWORD p = lf_packet(*c, "AddToDataDefinition", defineId, type, 0, 0, datum ? datum : "");
    const VarKind kind = lf_varKind(d);
    const bool typeFits = kind == VarKind::Text
                              ? type == SIMCONNECT_DATATYPE_STRING32 || type == SIMCONNECT_DATATYPE_STRINGV
                              : lf_fieldSize(type) == 4 || lf_fieldSize(type) == 8;
    if (kind == VarKind::Unknown || !typeFits) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, p, 2);
        return S_OK;
    }
    static const std::vector<std::string> writable{"plane latitude", "plane longitude", "plane pitch degrees",
                                                   "plane bank degrees", "plane heading degrees true", "plane altitude",
                                                   "vertical speed", "airspeed true", "spoilers handle position"};
    int w = -1;
    for (std::size_t i = 0; i < writable.size(); ++i)
        if (writable[i] == d) w = static_cast<int>(i);
    if (d.rfind("general eng throttle lever position", 0) == 0) w = 9;
    c->definitions[defineId].push_back({d, units ? units : "", type, w});
    return S_OK;
}

HRESULT SimulatedSimulator::clearDefinition(HANDLE handle, DWORD defineId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    lf_packet(*c, "ClearDataDefinition", defineId);
    c->definitions.erase(defineId);
    return S_OK;
}

HRESULT SimulatedSimulator::mapClientEvent(HANDLE handle, DWORD eventId, const char* name) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const std::string n = lf_lower(name);
    const DWORD p = lf_packet(*c, "MapClientEventToSimEvent", eventId, 0, 0, 0, name ? name : "");
    if (!lf_clientEventNames().count(n)) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_NAME_UNRECOGNIZED, p, 2);
        return S_OK;
    }
    c->clientEvents[eventId] = n;
    return S_OK;
}

HRESULT SimulatedSimulator::addToGroup(HANDLE handle, DWORD groupId, DWORD eventId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const DWORD p = lf_packet(*c, "AddClientEventToNotificationGroup", groupId, eventId);
    if (!c->clientEvents.count(eventId)) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 2);
        return S_OK;
    }
    c->groups[groupId].insert(eventId);
    return S_OK;
}

HRESULT SimulatedSimulator::setGroupPriority(HANDLE handle, DWORD groupId, DWORD priority) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    lf_packet(*c, "SetNotificationGroupPriority", groupId, priority);
    c->groupPriorities[groupId] = priority;
    return S_OK;
}

HRESULT SimulatedSimulator::transmitClientEvent(HANDLE handle, DWORD objectId, DWORD eventId, DWORD data,
                                                DWORD groupId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    if (m_scenario.failures.failTransmitCalls > 0) {
        --m_scenario.failures.failTransmitCalls;
        return E_FAIL;
    }
    auto mapped = c->clientEvents.find(eventId);
    const std::string name = mapped == c->clientEvents.end() ? "" : mapped->second;
    const DWORD p = lf_packet(*c, "TransmitClientEvent", objectId, eventId, data, groupId, name);
    if (name.empty()) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 2);
        return S_OK;
    }
    SimObjectState* o = lf_object(objectId == SIMCONNECT_OBJECT_ID_USER ? m_scenario.user.objectId : objectId);
    if (!o) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
        return S_OK;
    }
    auto light = [&](DWORD bit) { o->lights = data ? (o->lights | bit) : (o->lights & ~bit); };
    if (name == "nav_lights_set") light(LIGHT_NAV);
    else if (name == "beacon_lights_set") light(LIGHT_BEACON);
    else if (name == "landing_lights_set") light(LIGHT_LANDING);
    else if (name == "taxi_lights_set") light(LIGHT_TAXI);
    else if (name == "strobes_set") light(LIGHT_STROBE);
    else if (name == "logo_lights_set") light(LIGHT_LOGO);
    else if (name == "cabin_lights_set") light(LIGHT_CABIN);
    else if (name == "all_lights_toggle") o->lights ^= kAllLights;
    else if (name == "gear_set") o->gearDown = data != 0;
    else if (name == "engine_auto_start") o->engineRunning = true;
    else if (name == "engine_auto_shutdown") o->engineRunning = false;
    else if (name == "throttle_set") o->throttleEvent = data;
    else if (name == "flaps_set") o->flapsEvent = data;
    else if (name == "spoilers_set") o->spoilersEvent = data;
    else if (name == "freeze_latitude_longitude_set") o->freezeLatLon = data != 0;
    else if (name == "freeze_altitude_set") o->freezeAltitude = data != 0;
    else if (name == "freeze_attitude_set") o->freezeAttitude = data != 0;
    return S_OK;
}

SimulatedSimulator::Connection* SimulatedSimulator::lf_startDataRequest(HANDLE handle, const char* call,
                                                                    DWORD requestId, DWORD defineId, DWORD c3,
                                                                    DWORD c4, DWORD& packet, HRESULT& result) {
    result = E_FAIL;
    Connection* c = lf_connection(handle);
    if (!c) return nullptr;
    if (m_scenario.failures.failRequestCalls > 0) {
        --m_scenario.failures.failRequestCalls;
        return nullptr;
    }
    result = S_OK;
    packet = lf_packet(*c, call, requestId, defineId, c3, c4);
    if (!c->definitions.count(defineId)) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, packet, 2);
        return nullptr;
    }
    return c;
}

HRESULT SimulatedSimulator::requestData(HANDLE handle, DWORD requestId, DWORD defineId, DWORD objectId,
                                        SIMCONNECT_PERIOD period) {
    std::lock_guard lock(m_mutex);
    DWORD p = 0;
    HRESULT result = S_OK;
    Connection* c = lf_startDataRequest(handle, "RequestDataOnSimObject", requestId, defineId, objectId, period, p,
                                        result);
    if (!c) return result;
    const DWORD target = objectId == SIMCONNECT_OBJECT_ID_USER ? m_scenario.user.objectId : objectId;
    const SimObjectState* o = lf_object(target);
    if (!o) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 3);
        return S_OK;
    }
    std::erase_if(c->periodic, [&](const PeriodicRequest& r) { return r.requestId == requestId; });
    if (period == SIMCONNECT_PERIOD_ONCE) lf_queueObjectData(*c, SIMCONNECT_RECV_ID_SIMOBJECT_DATA, requestId, defineId, *o, 1, 1);
    else if (period != SIMCONNECT_PERIOD_NEVER) c->periodic.push_back({requestId, defineId, objectId, period});
    return S_OK;
}

HRESULT SimulatedSimulator::requestDataByType(HANDLE handle, DWORD requestId, DWORD defineId, DWORD radius,
                                              SIMCONNECT_SIMOBJECT_TYPE type) {
    std::lock_guard lock(m_mutex);
    DWORD p = 0;
    HRESULT result = S_OK;
    Connection* c =
        lf_startDataRequest(handle, "RequestDataOnSimObjectType", requestId, defineId, radius, type, p, result);
    if (!c) return result;
    const SimObjectState* user = lf_userObject();
    if (!user) return S_OK;
    const double r = std::min(radius, kMaxRadiusMetres);
    std::vector<const SimObjectState*> found;
    for (const auto& [id, o] : m_objects) {
        if (!o.added || o.removing) continue;
        if (type == SIMCONNECT_SIMOBJECT_TYPE_USER && !o.isUser) continue;
        if (lf_distanceMetres(user->lat, user->lon, o.lat, o.lon) > r) continue;
        found.push_back(&o);
    }
    for (std::size_t i = 0; i < found.size(); ++i)
        lf_queueObjectData(*c, SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, requestId, defineId, *found[i],
                           static_cast<DWORD>(i + 1), static_cast<DWORD>(found.size()));
    return S_OK;
}

HRESULT SimulatedSimulator::setData(HANDLE handle, DWORD defineId, DWORD objectId, DWORD arrayCount, DWORD unitSize,
                                    const void* data) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c || !data) return E_FAIL;
    const DWORD p = lf_packet(*c, "SetDataOnSimObject", defineId, objectId, arrayCount, unitSize);
    auto def = c->definitions.find(defineId);
    if (def == c->definitions.end()) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
        return S_OK;
    }
    SimObjectState* o = lf_object(objectId == SIMCONNECT_OBJECT_ID_USER ? m_scenario.user.objectId : objectId);
    if (!o) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 2);
        return S_OK;
    }
    std::size_t size = 0;
    for (const auto& f : def->second) size += lf_fieldSize(f.type) ? lf_fieldSize(f.type) : 1000000;
    if (size != unitSize || arrayCount > 1) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_INVALID_DATA_SIZE, p, 5);
        return S_OK;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    std::size_t at = 0;
    bool position = false;
    for (const auto& f : def->second) {
        double v = 0.0;
        if (f.type == SIMCONNECT_DATATYPE_FLOAT64) std::memcpy(&v, bytes + at, 8);
        else if (f.type == SIMCONNECT_DATATYPE_FLOAT32) { float x; std::memcpy(&x, bytes + at, 4); v = x; }
        else if (f.type == SIMCONNECT_DATATYPE_INT64) { std::int64_t x; std::memcpy(&x, bytes + at, 8); v = static_cast<double>(x); }
        else if (f.type == SIMCONNECT_DATATYPE_INT32) { std::int32_t x; std::memcpy(&x, bytes + at, 4); v = x; }
        at += lf_fieldSize(f.type);
        switch (f.writable) {
        case 0: o->lat = v; position = true; break;
        case 1: o->lon = v; break;
        case 2: o->pitch = v; break;
        case 3: o->bank = v; break;
        case 4: o->heading = v; break;
        case 5: o->altitude = v; break;
        case 6: o->verticalSpeed = v; break;
        case 7: o->airspeed = v; break;
        case 8: o->spoilersPercent = v; break;
        case 9: o->throttlePercent = v; break;
        default: break;
        }
    }
    if (position) {
        ++o->positionUpdates;
        o->onGround = o->altitudeAboveGround() <= o->staticCg + 1.0;
    }
    return S_OK;
}

}  // namespace vrn::simconnect
