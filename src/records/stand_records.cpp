#include "records/stand_records.h"

#include <bit>
#include <cmath>

namespace vrn {

std::vector<Stand> g_stands;
std::recursive_mutex g_standsMutex;

Stand::Stand(std::vector<StandUse>&& uses_, std::string&& id_, const StandPlacement& placement, double radiusMetres,
             bool cargo_, bool ramp_, bool heli_)
    : uses(std::move(uses_)),
      id(std::move(id_)),
      position{placement.lat, placement.lon},
      heading(placement.heading),
      radius(radiusMetres * kMetresToNm),
      cargo(cargo_ ? 1 : 0),
      ramp(ramp_ ? 1 : 0),
      heli(heli_ ? 1 : 0) {
    adjacent.reserve(8);
}

bool lf_sameStandUse(const StandUse& a, const StandUse& b) {
    return a.day == b.day && a.soft == b.soft && a.reg == b.reg && a.airline == b.airline && a.model == b.model &&
           (a.hh & b.hh) != 0;
}

int gf_halfHourCount(std::uint64_t hh) { return std::popcount(hh & kHalfHourMask); }

bool gf_wingspanFitsStand(const Stand& stand, double halfWingspanNm) {
    const double d = halfWingspanNm - stand.radius;
    // 1.8 m, with room for the rounding of metres converted to nautical miles.
    if (d > 0.0009719222462203025 + 1e-9) return false;
    const double step = halfWingspanNm <= 0.009611230689557531 ? 0.00755939524838013 : 0.011339092872570195;
    return std::round(-d / step) == 0.0;
}

}  // namespace vrn
