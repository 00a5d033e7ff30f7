#pragma once
// What the simulated simulator's files share and the header need not show: the record posting
// template and the degree conversion of positions.
#include <cstring>
#include <utility>

#include "platform/simconnect/simulated_simulator.h"

namespace vrn::simconnect {

inline constexpr double kDegToRad = 0.017453292519943295;

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

}  // namespace vrn::simconnect
