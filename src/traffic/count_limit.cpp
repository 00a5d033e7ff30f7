// The aircraft count limit (MAX_LIVE, farthest aircraft first) and the callsign lookup of the window.
#include <algorithm>

#include "core/format.h"
#include "display/window_state.h"
#include "settings/settings_catalogue.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {

bool lf_isFarthest(double distanceNm) {
    const LatLon user = gf_userPositionLatLon();
    double best = distanceNm;
    LiveAircraft* farthest = nullptr;
    for (LiveAircraft& a : g_liveAircraft) {
        if (a.state != STATE_IN_SIM) continue;
        const double e = gf_distanceNm(user, {a.position.latitude, a.position.longitude});
        if (e > best + 0.1) {
            farthest = &a;
            best = e;
        }
    }
    if (!farthest) return true;
    gf_removeLiveAircraft(*farthest, vrn::format("the farthest ({:.1f} nm) beyond the most shown at once", best));
    return false;
}

void gf_enforceMaxCount() {
    // The default stands for no limit and is shown as an empty field.
    if (MAX_LIVE.get() == MAX_LIVE.defaultValue) {
        gf_clearControlText(MAX_LIVE.controlId);
        return;
    }
    const auto inSim = std::count_if(g_liveAircraft.begin(), g_liveAircraft.end(),
                                     [](const LiveAircraft& a) { return a.state == STATE_IN_SIM; });
    for (auto surplus = inSim - MAX_LIVE.get(); surplus > 0; --surplus) lf_isFarthest(-1.0);
}

void gf_callsign2ObjectId() {
    const std::string wanted = CALLSIGN_2_OBJECTID.get();
    for (const LiveAircraft& a : g_liveAircraft) {
        if (a.state != STATE_IN_SIM || a.callsign != wanted) continue;
        g_selectedObjectId.store(a.objectId);
        g_mainWindow.g_objectIdText.set(vrn::format("= {}", a.objectId));
        gf_invalidateBand(Band::Settings);
        return;
    }
    g_mainWindow.g_objectIdText.set(std::string());
    gf_invalidateBand(Band::Settings);
    gf_showStatus(vrn::format("callsign \"{}\" is unknown", wanted), true);
}

}  // namespace vrn
