#pragma once
// Size class of an aircraft type (decided from the type database by gf_sizeClass).
#include <string>

namespace vrn {

enum SizeClass : unsigned {
    SIZE_LIGHT = 0,          // other: light aircraft, turboprops, regionals
    SIZE_BUSINESS_JET = 1,
    SIZE_LARGE = 2,
    SIZE_HEAVY = 3,
    SIZE_HIGH_PERF = 4,
    SIZE_ROTORCRAFT = 5,
};
inline constexpr unsigned kSizeClassCount = 6;

// "Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft".
std::string gf_sizeClassName(SizeClass c);

}  // namespace vrn
