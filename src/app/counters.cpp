// Counters refresh and automatic range.
#include "app/counters.h"

#include <cmath>
#include <mutex>

#include "airports/park_airports.h"
#include "airports/static_parking.h"
#include "app/gui_requests.h"
#include "app/main_window.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"
#include "simlink/user_aircraft.h"
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
}

int gf_autoRangeFor(bool onGround, double altitudeFeet, double d) {
    if (onGround) return 8;
    if (altitudeFeet > AIRPORT_HEIGHT.get()) return 40;
    if (d <= 5.0) return 8;
    if (d < 37.0) return static_cast<int>(std::round(d)) + 3;   // round: halves away from zero
    return 40;
}

void gf_autoLateralRange() {
    const UserState user = gf_userState();
    double distance = 10000.0;   // no park airport: as far as can be
    {
        std::lock_guard lock(g_parkAirportListMutex);
        if (!g_parkAirportList.empty()) distance = gf_distanceNm(user.position, g_parkAirportList.front().position);
    }
    const int r = gf_autoRangeFor(user.onGround, user.altitudeFeet, distance);
    const int before = LATERAL_RANGE.get();
    gf_setLateralRange(r);   // r is always inside the setting's limits
    if (LATERAL_RANGE.get() != before) LATERAL_RANGE.showValue();
}

}  // namespace vrn
