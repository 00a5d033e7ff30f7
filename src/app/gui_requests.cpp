// The window's requests to the run thread and its two kept seams.
#include "app/gui_requests.h"

#include "airports/airport_files.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/user_aircraft.h"
#include "traffic/park_airport_choice.h"
#include "traffic/traffic_engine.h"

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

void gf_requestExitFromWindow(int reason, int argument) { g_windowHooks.requestExit(reason, argument); }

void gf_serveWindowRequests() {
    if (g_navLightsRequest.exchange(false)) {
        // Parked aircraft show their navigation lights as the box now says: static ones first.
        const std::uint32_t value = NAV_LIGHTS_WHILE_PARKED.get() ? 1 : 0;
        for (std::uint32_t id : gf_staticParkedObjectIds()) gf_queueNavLights(id, value);
        for (std::uint32_t id : gf_liveParkedObjectIds()) gf_queueNavLights(id, value);
    }
    if (g_enforceMaxCountRequest.exchange(false)) gf_enforceMaxCount();
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
