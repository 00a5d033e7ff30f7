// The simulated simulator's trace: one JSON line per frame with every added object, and one per
// event (created, refused, removed, ...), written to VARNEL_SIM_TRACE for the demo and the tests.
#include <chrono>

#include <nlohmann/json.hpp>

#include "platform/simconnect/simulated_simulator_internal.h"

namespace vrn::simconnect {


void SimulatedSimulator::lf_writeTrace() {
    if (!m_trace.is_open()) return;
    nlohmann::json line;
    line["t"] = static_cast<double>(m_frame) / m_scenario.frameRate;
    line["frame"] = m_frame;
    // The wall clock as the frame is written, the clock a feed's time stamps use: a test lays the
    // two side by side without sampling the trace while it runs, which a busy machine delays.
    line["wall"] = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
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

}  // namespace vrn::simconnect
