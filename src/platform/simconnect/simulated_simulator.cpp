// The simulated simulator's object world and frame clock: reset from a scenario, the frames that
// move the user and deliver periodic data and system events, and the control and inspection calls
// tests and the demo use. Requests and events are in simulated_requests.cpp, AI creation in
// simulated_ai_creation.cpp, the trace in simulated_trace.cpp.
#include "platform/simconnect/simulated_simulator.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iostream>

#include "platform/simconnect/simulated_simulator_internal.h"
#include "platform/sys/sleep.h"

namespace vrn::simconnect {

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
        {
            // Frame 0 on the wall clock, so a trace can be laid beside what a feed sent.
            std::lock_guard lock(m_mutex);
            const double wall = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
            lf_traceEvent("clockStart", 0, std::to_string(wall));
        }
        m_clockThread = std::thread([this] {
            const auto period = std::chrono::duration<double>(1.0 / m_scenario.frameRate);
            auto next = std::chrono::steady_clock::now();
            while (!m_clockStop) {
                next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(period);
                platform::sys::gf_sleepUntil(next);
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

void SimulatedSimulator::setGroundElevation(double feet) {
    std::lock_guard lock(m_mutex);
    m_scenario.groundElevation = feet;
    for (auto& [id, o] : m_objects) o.groundAltitude = feet;
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

SimObjectState* SimulatedSimulator::lf_object(DWORD id) {
    auto it = m_objects.find(id);
    return it == m_objects.end() || it->second.removing ? nullptr : &it->second;
}

const SimObjectState* SimulatedSimulator::lf_userObject() const {
    auto it = m_objects.find(m_scenario.user.objectId);
    return it == m_objects.end() ? nullptr : &it->second;
}

// ---- the process's simulator ----------------------------------------------------------------

SimulatedSimulator& gf_simulator() {
    static SimulatedSimulator simulator;
    return simulator;
}

}  // namespace vrn::simconnect
