#include "simlink/sim_event.h"

namespace vrn {

std::mutex g_simEventMutex;
std::vector<SimEvent> g_simEvents;

void gf_queueSimEvent(SimEvent event) {
    std::lock_guard lock(g_simEventMutex);
    g_simEvents.push_back(event);
}

std::vector<SimEvent> gf_takeSimEvents() {
    std::vector<SimEvent> taken;
    std::lock_guard lock(g_simEventMutex);
    taken.swap(g_simEvents);
    return taken;
}

}  // namespace vrn
