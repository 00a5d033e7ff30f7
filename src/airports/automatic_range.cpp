#include "airports/automatic_range.h"

#include <cmath>
#include <mutex>

#include "airports/park_airports.h"
#include "records/user_aircraft_block.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"

namespace vrn {

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
