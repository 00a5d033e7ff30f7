// The simulated simulator: world, frame clock, requests, events, creations and the trace.
#include "platform/simconnect/simulated_simulator.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

namespace vrn::simconnect {

namespace {

constexpr double kDegToRad = 0.017453292519943295;
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

template <typename Record>
void SimulatedSimulator::lf_post(Connection& c, Record rec) {
    rec.dwSize = sizeof rec;
    rec.dwVersion = 1;
    Message m;
    m.storage.resize((sizeof rec + 7) / 8);
    std::memcpy(m.storage.data(), &rec, sizeof rec);
    m.size = sizeof rec;
    c.queue.push_back(std::move(m));
}

SimulatedSimulator::SimulatedSimulator() {
    reset(SimScenario{}, ClockMode::Manual);
    m_configured = false;
}

SimulatedSimulator::~SimulatedSimulator() { lf_stopRealTime(); }

void SimulatedSimulator::lf_stopRealTime() {
    if (m_clockThread.joinable()) {
        m_clockStop = true;
        m_clockThread.join();
    }
    m_clockStop = false;
}

void SimulatedSimulator::reset(const SimScenario& scenario, ClockMode mode) {
    lf_stopRealTime();
    std::set<std::string> titles;
    if (!scenario.packagesFolder.empty()) titles = gf_scanInstalledTitles(scenario.packagesFolder);
    titles.insert(scenario.installedTitles.begin(), scenario.installedTitles.end());
    {
        std::lock_guard lock(m_mutex);
        m_configured = true;
        m_scenario = scenario;
        m_installedTitles = std::move(titles);
        m_connections.clear();
        m_objects.clear();
        m_nextObjectId = scenario.firstAiObjectId;
        m_running = scenario.simulatorRunning;
        m_flightRunning = scenario.flightRunning;
        m_paused = false;
        m_openFailuresLeft = scenario.openFailures;
        m_frame = 0;
        m_simSeconds = 0.0;
        m_timelineNext = 0;
        m_calls.clear();
        if (m_trace.is_open()) m_trace.close();
        if (!scenario.tracePath.empty()) m_trace.open(scenario.tracePath, std::ios::trunc);

        SimObjectState user;
        user.id = scenario.user.objectId;
        user.isUser = true;
        user.title = scenario.user.title;
        user.atcModel = scenario.user.atcModel;
        user.atcId = "USER";
        user.lights = scenario.user.lightStates;
        user.groundAltitude = scenario.groundElevation;
        user.added = true;
        m_objects[user.id] = user;
        for (const auto& o : scenario.otherAircraft) {
            SimObjectState s;
            s.id = m_nextObjectId++;
            s.title = o.title;
            s.atcId = o.atcId;
            s.lat = o.lat;
            s.lon = o.lon;
            s.groundAltitude = scenario.groundElevation;
            s.altitude = o.onGround ? scenario.groundElevation + scenario.staticCgToGround : o.altitude;
            s.onGround = o.onGround;
            s.staticCg = scenario.staticCgToGround;
            s.staticPitch = scenario.staticPitch;
            s.added = true;
            m_objects[s.id] = s;
        }
        lf_moveUserAlongPath();
    }
    m_mode = mode;
    if (mode == ClockMode::RealTime) {
        m_clockThread = std::thread([this] {
            const auto period = std::chrono::duration<double>(1.0 / m_scenario.frameRate);
            auto next = std::chrono::steady_clock::now();
            while (!m_clockStop) {
                next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
                std::this_thread::sleep_until(next);
                std::lock_guard lock(m_mutex);
                lf_stepOne();
            }
        });
    }
}

// ---- clock ----------------------------------------------------------------------------------

void SimulatedSimulator::step(int frames) {
    std::lock_guard lock(m_mutex);
    for (int i = 0; i < frames; ++i) lf_stepOne();
}

void SimulatedSimulator::stepSeconds(double seconds) {
    int frames;
    {
        std::lock_guard lock(m_mutex);
        frames = static_cast<int>(std::lround(seconds * m_scenario.frameRate));
    }
    step(frames);
}

bool SimulatedSimulator::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] {
        if (m_dispatching != 0) return false;
        return std::all_of(m_connections.begin(), m_connections.end(),
                           [](const auto& c) { return c.second.queue.empty(); });
    });
}

void SimulatedSimulator::lf_stepOne() {
    if (!m_running) return;
    const double fps = m_scenario.frameRate;
    const auto previousSecond = static_cast<std::uint64_t>(static_cast<double>(m_frame) / fps);
    ++m_frame;
    if (!m_paused) m_simSeconds += 1.0 / fps;
    const auto second = static_cast<std::uint64_t>(static_cast<double>(m_frame) / fps);

    lf_applyTimeline();
    if (!m_running) return;
    lf_moveUserAlongPath();

    // Objects asked to leave go now; new ones are announced one frame after their creation.
    for (auto it = m_objects.begin(); it != m_objects.end();) {
        if (it->second.removing) {
            const DWORD id = it->first;
            it = m_objects.erase(it);
            lf_queueSystemEvent("objectremoved", id);
        } else {
            ++it;
        }
    }
    for (auto& [id, o] : m_objects) {
        if (!o.added) {
            o.added = true;
            lf_queueSystemEvent("objectadded", id);
        }
    }

    for (auto& [cid, c] : m_connections) {
        if (c.quitSent) continue;
        for (const auto& [eventId, name] : c.subscriptions) {
            if (name != "frame") continue;
            Message m;
            SIMCONNECT_RECV_EVENT_FRAME rec{};
            rec.dwID = SIMCONNECT_RECV_ID_EVENT_FRAME;
            rec.uGroupID = SIMCONNECT_UNUSED;
            rec.uEventID = eventId;
            rec.fFrameRate = static_cast<float>(fps);
            rec.fSimSpeed = 1.0f;
            lf_post(c, rec);
        }
        for (const auto& r : c.periodic) {
            const bool due = r.period == SIMCONNECT_PERIOD_VISUAL_FRAME || r.period == SIMCONNECT_PERIOD_SIM_FRAME ||
                             (r.period == SIMCONNECT_PERIOD_SECOND && second != previousSecond);
            if (!due) continue;
            const SimObjectState* o = lf_object(r.objectId == SIMCONNECT_OBJECT_ID_USER ? m_scenario.user.objectId
                                                                                          : r.objectId);
            if (o) lf_queueObjectData(c, SIMCONNECT_RECV_ID_SIMOBJECT_DATA, r.requestId, r.defineId, *o, 1, 1);
        }
    }
    if (second != previousSecond) lf_writeTrace();
}

void SimulatedSimulator::lf_applyTimeline() {
    const double now = static_cast<double>(m_frame) / m_scenario.frameRate;
    while (m_timelineNext < m_scenario.timeline.size() && m_scenario.timeline[m_timelineNext].t <= now + 1e-9) {
        const TimelineEvent e = m_scenario.timeline[m_timelineNext++];
        if (e.event == "flightStart") lf_setFlightRunningLocked(true);
        else if (e.event == "flightStop") lf_setFlightRunningLocked(false);
        else if (e.event == "pause" || e.event == "unpause") {
            m_paused = e.event == "pause";
            lf_queueSystemEvent("pause", m_paused ? 1 : 0);
        } else if (e.event == "quit") {
            lf_quitLocked();
            return;
        } else if (e.event == "flightLoaded") lf_queueFileEvent("flightloaded", e.file);
        else if (e.event == "newFile") lf_queueFileEvent("", e.file);
        lf_traceEvent(e.event, 0, e.file);
    }
}

void SimulatedSimulator::lf_moveUserAlongPath() {
    auto it = m_objects.find(m_scenario.user.objectId);
    if (it == m_objects.end()) return;
    SimObjectState& u = it->second;
    const auto& path = m_scenario.user.path;
    PathPoint p = m_scenario.user.start;
    if (!path.empty()) {
        if (m_simSeconds <= path.front().t) {
            p = path.front();
        } else if (m_simSeconds >= path.back().t) {
            p = path.back();
        } else {
            for (std::size_t i = 1; i < path.size(); ++i) {
                if (m_simSeconds > path[i].t) continue;
                const PathPoint& a = path[i - 1];
                const PathPoint& b = path[i];
                const double f = b.t > a.t ? (m_simSeconds - a.t) / (b.t - a.t) : 1.0;
                p = b;
                p.lat = a.lat + (b.lat - a.lat) * f;
                p.lon = a.lon + (b.lon - a.lon) * f;
                p.altitude = a.altitude + (b.altitude - a.altitude) * f;
                p.groundSpeed = a.groundSpeed + (b.groundSpeed - a.groundSpeed) * f;
                p.onGround = f < 0.5 ? a.onGround : b.onGround;
                p.headingDeg = f < 0.5 ? a.headingDeg : b.headingDeg;
                break;
            }
        }
    } else if (m_frame > 0) {
        return;   // no path: the user stays where the start or moveUser put it
    }
    u.lat = p.lat;
    u.lon = p.lon;
    u.altitude = p.altitude;
    u.heading = p.headingDeg * kDegToRad;
    u.groundSpeed = p.groundSpeed;
    u.onGround = p.onGround;
}

// ---- control and inspection -----------------------------------------------------------------

void SimulatedSimulator::lf_setFlightRunningLocked(bool running) {
    m_flightRunning = running;
    lf_queueSystemEvent("sim", running ? 1 : 0);
}

void SimulatedSimulator::setFlightRunning(bool running) {
    std::lock_guard lock(m_mutex);
    lf_setFlightRunningLocked(running);
    lf_traceEvent(running ? "flightStart" : "flightStop", 0, "");
}

void SimulatedSimulator::setPaused(bool paused) {
    std::lock_guard lock(m_mutex);
    m_paused = paused;
    lf_queueSystemEvent("pause", paused ? 1 : 0);
}

void SimulatedSimulator::lf_quitLocked() {
    for (auto& [id, c] : m_connections) {
        if (c.quitSent) continue;
        Message m;
        SIMCONNECT_RECV_QUIT rec{};
        rec.dwID = SIMCONNECT_RECV_ID_QUIT;
        lf_post(c, rec);
        c.quitSent = true;
    }
    m_running = false;
    m_flightRunning = false;
    for (auto it = m_objects.begin(); it != m_objects.end();) it = it->second.isUser ? std::next(it) : m_objects.erase(it);
    lf_traceEvent("quit", 0, "");
}

void SimulatedSimulator::quit() {
    std::lock_guard lock(m_mutex);
    lf_quitLocked();
}

void SimulatedSimulator::loadFlight(const std::string& file, bool asNewFile) {
    std::lock_guard lock(m_mutex);
    lf_queueFileEvent(asNewFile ? "" : "flightloaded", file);
}

void SimulatedSimulator::moveUser(const PathPoint& p) {
    std::lock_guard lock(m_mutex);
    m_scenario.user.path.clear();
    m_scenario.user.start = p;
    if (auto* u = lf_object(m_scenario.user.objectId)) {
        u->lat = p.lat;
        u->lon = p.lon;
        u->altitude = p.altitude;
        u->heading = p.headingDeg * kDegToRad;
        u->groundSpeed = p.groundSpeed;
        u->onGround = p.onGround;
    }
}

void SimulatedSimulator::setUserTitleAndModel(const std::string& title, const std::string& atcModel) {
    std::lock_guard lock(m_mutex);
    if (auto* u = lf_object(m_scenario.user.objectId)) {
        u->title = title;
        u->atcModel = atcModel;
    }
}

DWORD SimulatedSimulator::addOtherAircraft(const OtherAircraftSpec& spec) {
    std::lock_guard lock(m_mutex);
    SimObjectState s;
    while (m_objects.count(m_nextObjectId)) ++m_nextObjectId;
    s.id = m_nextObjectId++;
    s.title = spec.title;
    s.atcId = spec.atcId;
    s.lat = spec.lat;
    s.lon = spec.lon;
    s.groundAltitude = m_scenario.groundElevation;
    s.altitude = spec.onGround ? m_scenario.groundElevation + m_scenario.staticCgToGround : spec.altitude;
    s.onGround = spec.onGround;
    s.staticCg = m_scenario.staticCgToGround;
    s.staticPitch = m_scenario.staticPitch;
    m_objects[s.id] = s;   // announced on the next frame
    return s.id;
}

std::vector<SimObjectState> SimulatedSimulator::objects() const {
    std::lock_guard lock(m_mutex);
    std::vector<SimObjectState> out;
    out.reserve(m_objects.size());
    for (const auto& [id, o] : m_objects) out.push_back(o);
    return out;
}

std::optional<SimObjectState> SimulatedSimulator::object(DWORD id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_objects.find(id);
    if (it == m_objects.end()) return std::nullopt;
    return it->second;
}

std::optional<SimObjectState> SimulatedSimulator::objectByAtcId(const std::string& atcId) const {
    std::lock_guard lock(m_mutex);
    for (const auto& [id, o] : m_objects)
        if (!o.isUser && o.atcId == atcId) return o;
    return std::nullopt;
}

std::size_t SimulatedSimulator::aiObjectCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<std::size_t>(
        std::count_if(m_objects.begin(), m_objects.end(), [](const auto& o) { return !o.second.isUser; }));
}

bool SimulatedSimulator::isTitleInstalled(const std::string& title) const {
    std::lock_guard lock(m_mutex);
    return m_scenario.anyTitleInstalled || m_installedTitles.count(title) > 0;
}

std::size_t SimulatedSimulator::installedTitleCount() const {
    std::lock_guard lock(m_mutex);
    return m_installedTitles.size();
}

int SimulatedSimulator::connectionCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_connections.size());
}

bool SimulatedSimulator::isRunning() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

std::uint64_t SimulatedSimulator::frameNumber() const {
    std::lock_guard lock(m_mutex);
    return m_frame;
}

double SimulatedSimulator::clockSeconds() const {
    std::lock_guard lock(m_mutex);
    return static_cast<double>(m_frame) / m_scenario.frameRate;
}

void SimulatedSimulator::recordCalls(bool on) {
    std::lock_guard lock(m_mutex);
    m_recordCalls = on;
}

std::vector<CallRecord> SimulatedSimulator::calls() const {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void SimulatedSimulator::clearCalls() {
    std::lock_guard lock(m_mutex);
    m_calls.clear();
}

void SimulatedSimulator::setFailures(const FailureSpec& failures) {
    std::lock_guard lock(m_mutex);
    m_scenario.failures = failures;
}

void SimulatedSimulator::ensureConfigured() {
    {
        std::lock_guard lock(m_mutex);
        if (m_configured) return;
    }
    SimScenario scenario;
    if (const char* file = std::getenv("VARNEL_SIM_SCENARIO"); file && *file) {
        try {
            scenario = gf_loadSimScenario(file);
        } catch (const std::exception& e) {
            std::cerr << "simulated simulator: " << e.what() << ", the default scenario is used\n";
            scenario = SimScenario{};
            scenario.anyTitleInstalled = true;
        }
    } else {
        scenario.anyTitleInstalled = true;   // a demo without packages accepts every title
    }
    if (const char* trace = std::getenv("VARNEL_SIM_TRACE"); trace && *trace) scenario.tracePath = trace;
    reset(scenario, ClockMode::RealTime);
}

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

SimObjectState* SimulatedSimulator::lf_object(DWORD id) {
    auto it = m_objects.find(id);
    return it == m_objects.end() || it->second.removing ? nullptr : &it->second;
}

const SimObjectState* SimulatedSimulator::lf_userObject() const {
    auto it = m_objects.find(m_scenario.user.objectId);
    return it == m_objects.end() ? nullptr : &it->second;
}

// ---- trace ----------------------------------------------------------------------------------

void SimulatedSimulator::lf_writeTrace() {
    if (!m_trace.is_open()) return;
    nlohmann::json line;
    line["t"] = static_cast<double>(m_frame) / m_scenario.frameRate;
    line["frame"] = m_frame;
    line["flightRunning"] = m_flightRunning;
    line["paused"] = m_paused;
    auto& objects = line["objects"] = nlohmann::json::array();
    for (const auto& [id, o] : m_objects) {
        if (!o.added) continue;
        objects.push_back({{"id", id},
                           {"user", o.isUser},
                           {"title", o.title},
                           {"tail", o.atcId},
                           {"lat", o.lat},
                           {"lon", o.lon},
                           {"alt", o.altitude},
                           {"heading", o.heading / kDegToRad},
                           {"onGround", o.onGround},
                           {"lights", o.lights},
                           {"engine", o.engineRunning},
                           {"gear", o.gearDown},
                           {"frozen", o.freezeLatLon && o.freezeAltitude && o.freezeAttitude},
                           {"released", o.released},
                           {"positionUpdates", o.positionUpdates}});
    }
    m_trace << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    m_trace.flush();
}

void SimulatedSimulator::lf_traceEvent(const std::string& what, DWORD id, const std::string& text) {
    if (!m_trace.is_open()) return;
    nlohmann::json line{{"t", static_cast<double>(m_frame) / m_scenario.frameRate}, {"event", what}};
    if (id != 0) line["id"] = id;
    if (!text.empty()) line["text"] = text;
    m_trace << line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    m_trace.flush();
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

HRESULT SimulatedSimulator::createAircraft(HANDLE handle, const char* title, const char* tail,
                                           const SIMCONNECT_DATA_INITPOSITION& pos, DWORD requestId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c || !title || !tail) return E_FAIL;
    if (m_scenario.failures.failCreateCalls > 0) {
        --m_scenario.failures.failCreateCalls;
        return E_FAIL;
    }
    const std::string t = title;
    const DWORD p = lf_packet(*c, "AICreateNonATCAircraft", requestId, 0, 0, 0, t + "|" + tail);
    const bool installed = m_scenario.anyTitleInstalled || m_installedTitles.count(t) > 0;
    if (!installed || m_scenario.failures.refuseTitles.count(t)) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, p, 1);
        lf_traceEvent("refused", 0, t);
        return S_OK;
    }
    const auto ai = static_cast<std::size_t>(
        std::count_if(m_objects.begin(), m_objects.end(), [](const auto& o) { return !o.second.isUser; }));
    if (ai >= m_scenario.maxObjects) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_TOO_MANY_OBJECTS, p, 0);
        return S_OK;
    }
    SimObjectState o;
    while (m_objects.count(m_nextObjectId)) ++m_nextObjectId;
    o.id = m_nextObjectId++;
    o.ownerConnection = c->id;
    o.title = t;
    o.atcId = std::string(tail).substr(0, 12);   // the simulator keeps 12 characters of a tail number
    o.lat = pos.Latitude;
    o.lon = pos.Longitude;
    o.pitch = pos.Pitch * kDegToRad;
    o.bank = pos.Bank * kDegToRad;
    o.heading = pos.Heading * kDegToRad;
    o.airspeed = pos.Airspeed;
    o.groundAltitude = m_scenario.groundElevation;
    o.staticCg = m_scenario.staticCgToGround;
    o.staticPitch = m_scenario.staticPitch;
    o.onGround = pos.OnGround != 0;
    o.altitude = o.onGround ? m_scenario.groundElevation + o.staticCg : pos.Altitude;
    SIMCONNECT_RECV_ASSIGNED_OBJECT_ID rec{};
    rec.dwID = SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID;
    rec.dwRequestID = requestId;
    rec.dwObjectID = o.id;
    lf_post(*c, rec);
    lf_traceEvent("created", o.id, o.atcId + " " + t);
    m_objects[o.id] = std::move(o);
    return S_OK;
}

HRESULT SimulatedSimulator::removeObject(HANDLE handle, DWORD objectId, DWORD requestId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    if (m_scenario.failures.failRemoveCalls > 0) {
        --m_scenario.failures.failRemoveCalls;
        return E_FAIL;
    }
    const DWORD p = lf_packet(*c, "AIRemoveObject", objectId, requestId);
    SimObjectState* o = lf_object(objectId);
    if (!o) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
        return S_OK;
    }
    if (o->isUser) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_OPERATION_INVALID_FOR_OBJECT_TYPE, p, 1);
        return S_OK;
    }
    o->removing = true;
    lf_traceEvent("removed", objectId, o->atcId);
    return S_OK;
}

HRESULT SimulatedSimulator::releaseControl(HANDLE handle, DWORD objectId, DWORD requestId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const DWORD p = lf_packet(*c, "AIReleaseControl", objectId, requestId);
    SimObjectState* o = lf_object(objectId);
    if (!o || o->isUser) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
        return S_OK;
    }
    o->released = true;
    return S_OK;
}

HRESULT SimulatedSimulator::setFlightPlan(HANDLE handle, DWORD objectId, const char* path, DWORD requestId) {
    std::lock_guard lock(m_mutex);
    Connection* c = lf_connection(handle);
    if (!c) return E_FAIL;
    const std::string file = path ? path : "";
    const DWORD p = lf_packet(*c, "AISetAircraftFlightPlan", objectId, requestId, 0, 0, file);
    SimObjectState* o = lf_object(objectId);
    if (!o || o->isUser) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID, p, 1);
        return S_OK;
    }
    // The path may be given with or without its .pln extension.
    std::filesystem::path plan = file;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(plan, ec)) plan += ".pln";
    pugi::xml_document doc;
    const bool loaded = std::filesystem::is_regular_file(plan, ec) && doc.load_file(plan.c_str());
    const pugi::xml_node fp = doc.child("SimBase.Document").child("FlightPlan.FlightPlan");
    const std::string dep = fp.child("DepartureID").text().as_string();
    const std::string dest = fp.child("DestinationID").text().as_string();
    if (!loaded || !fp || dep.empty() || dest.empty()) {
        lf_queueException(*c, SIMCONNECT_EXCEPTION_LOAD_FLIGHTPLAN_FAILED, p, 2);
        return S_OK;
    }
    o->planDeparture = dep;
    o->planDestination = dest;
    return S_OK;
}

// ---- the process's simulator ----------------------------------------------------------------

SimulatedSimulator& gf_simulator() {
    static SimulatedSimulator simulator;
    return simulator;
}

}  // namespace vrn::simconnect
