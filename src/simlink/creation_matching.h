#pragma once
// Pairs the objects the simulator adds with the creations Varnel sent, by the ATC ID that the
// simulator takes from the tail number (the callsign).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/simconnect/simconnect_api.h"

namespace vrn {

extern std::vector<std::uint32_t> g_justAddedObjects;   // SimConnect thread only

// The aircraft id of the first pending creation with this callsign (removed from the list); none
// when no creation waits for it. Aircraft id 0 is a valid static id.
std::optional<std::uint32_t> gf_takePendingCreation(const std::string& atcId);
// The same by the packet id of the creation call (exception 22).
std::optional<std::uint32_t> gf_takePendingCreationByPacket(std::uint32_t packetId);

// SimConnect thread: one reply of the in-range request.
void gf_onSimObjectDataByType(const simconnect::SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE* data);

}  // namespace vrn
