#pragma once
// What the SimConnect thread learns about AI objects, handed to the run thread as SimEvent records.
// The SimConnect thread posts; the traffic pass takes the whole batch once per pass.
#include <cstdint>
#include <mutex>
#include <vector>

namespace vrn {

// Kinds of SimEvent.
enum SimEventKind : std::uint32_t {
    SIM_EVENT_LIVE_CREATED = 0,     // a created object matched a live aircraft; value2 = altitude above ground
    SIM_EVENT_STATIC_CREATED = 1,   // the same for a static parked aircraft
    SIM_EVENT_OBJECT_REMOVED = 2,
    SIM_EVENT_GROUND_INFO = 3,      // aircraftId = SIM ON GROUND, value1 = ground altitude, value2 = altitude above ground
    SIM_EVENT_STATIC_CG = 4,        // value1 = static CG to ground (ft), value2 = static pitch (rad)
    SIM_EVENT_UNUSED = 5,
    SIM_EVENT_CREATE_FAILED = 6,    // aircraftId names the aircraft whose creation failed
};

struct SimEvent {
    std::uint32_t objectId = 0;
    std::uint32_t aircraftId = 0;
    std::int32_t counter = 0;
    std::uint32_t kind = 0;
    double value1 = 0.0;
    double value2 = 0.0;
};
static_assert(sizeof(SimEvent) == 32);

extern std::mutex g_simEventMutex;
extern std::vector<SimEvent> g_simEvents;   // guarded by g_simEventMutex

// Appends one event under g_simEventMutex.
void gf_queueSimEvent(SimEvent event);
// Moves every waiting event out under g_simEventMutex (the exit drops or removes what they made).
std::vector<SimEvent> gf_takeSimEvents();

}  // namespace vrn
