#include "records/size_class.h"

#include <array>

namespace vrn {

std::string gf_sizeClassName(SizeClass c) {
    static const std::array<const char*, kSizeClassCount> names = {"Light",    "Buzjets",  "Large",
                                                                   "Heavy",    "HighPerf", "Rotorcraft"};
    return c < kSizeClassCount ? names[c] : "Unknown";
}

}  // namespace vrn
