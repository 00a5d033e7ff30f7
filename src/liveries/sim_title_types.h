#pragma once
// The simulator's own aircraft: the folder a livery package names in its base_container (after the
// leading "..\") and the ICAO type designator of that aircraft. Read-only; looked up exactly.
#include <string>
#include <unordered_map>

namespace vrn {

extern const std::unordered_map<std::string, std::string> g_simTitleTypes;

}  // namespace vrn
