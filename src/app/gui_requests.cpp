// The window's requests to the run thread and the seams to services outside the window side.
#include "app/gui_requests.h"

#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/user_aircraft.h"

namespace vrn {

std::atomic<bool> g_rereadRequest{false};
std::atomic<bool> g_flushStaticRequest{false};
std::atomic<bool> g_blockRequest{false};
std::atomic<bool> g_callsignLookupRequest{false};
std::atomic<bool> g_clearRefusedRequest{false};
std::atomic<bool> g_staticRenew{false};
std::atomic<bool> g_navLightsRequest{false};
std::atomic<bool> g_enforceMaxCountRequest{false};
std::atomic<int> g_userLateralRange{40};

WindowHooks g_windowHooks;

void gf_requestExitFromWindow(int reason, int argument) {
    if (g_windowHooks.requestExit) g_windowHooks.requestExit(reason, argument);
}

int gf_windowSecondCounter() { return g_windowHooks.secondCounter ? g_windowHooks.secondCounter() : 0; }

bool gf_parkFileLoaded() { return g_windowHooks.parkFileLoaded && g_windowHooks.parkFileLoaded(); }

bool gf_parkingBusy() { return g_windowHooks.parkingBusy && g_windowHooks.parkingBusy(); }

void gf_serveWindowRequests() {
    if (g_navLightsRequest.exchange(false)) {
        // Parked aircraft show their navigation lights as the box now says: static ones first.
        const std::uint32_t value = NAV_LIGHTS_WHILE_PARKED.get() ? 1 : 0;
        if (g_windowHooks.staticParkedObjectIds)
            for (std::uint32_t id : g_windowHooks.staticParkedObjectIds()) gf_queueNavLights(id, value);
        if (g_windowHooks.liveParkedObjectIds)
            for (std::uint32_t id : g_windowHooks.liveParkedObjectIds()) gf_queueNavLights(id, value);
    }
    if (g_enforceMaxCountRequest.exchange(false) && g_windowHooks.enforceMaxCount) g_windowHooks.enforceMaxCount();
}

void gf_resetWindowRequests() {
    for (std::atomic<bool>* flag : {&g_rereadRequest, &g_flushStaticRequest, &g_blockRequest, &g_callsignLookupRequest,
                                    &g_clearRefusedRequest, &g_staticRenew, &g_navLightsRequest,
                                    &g_enforceMaxCountRequest, &g_parkSettingsChanged})
        flag->store(false);
    g_userMaxLive.store(300);
    g_userLateralRange.store(40);
    g_windowHooks = WindowHooks{};
    gf_setUserStateForTests({});
}

}  // namespace vrn
