// Counters refresh, and the parking label beside them.
#include "app/counters.h"

#include "app/gui_requests.h"
#include "app/main_window.h"
#include "app/painting.h"
#include "traffic/static_parking.h"
#include "traffic/traffic_engine.h"

namespace vrn {

void gf_refreshCounters() {
    MainWindow& w = g_mainWindow;
    const int live = gf_liveNotParkedCount();
    if (live != w.g_liveCount.load()) {
        w.g_liveCount.store(live);
        gf_invalidateBand(Band::Counters);
    }
    const int parkedLive = gf_refreshLiveParkedHours(true);
    const int parkedStatic = gf_refreshStaticParkedHours(true);
    if (parkedLive != w.g_parkedLiveCount.load() || parkedStatic != w.g_parkedStaticCount.load()) {
        w.g_parkedLiveCount.store(parkedLive);
        w.g_parkedStaticCount.store(parkedStatic);
        gf_invalidateBand(Band::Park);
    }
    // The parking label changes with the static parking's work and the renewal's minutes, which
    // other bands' repaints would not carry into the settings band.
    static ParkingLabel painted;
    if (const ParkingLabel label = gf_parkingLabel(); !(label == painted)) {
        painted = label;
        gf_invalidateBand(Band::Settings);
    }
}

}  // namespace vrn
