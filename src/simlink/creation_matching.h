#pragma once
// Pairs the objects the simulator adds with the creations Varnel sent, by the ATC ID that the
// simulator takes from the tail number (the callsign).
#include <atomic>
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

// Creations sent and not yet answered, and objects added but not yet matched (as of the last frame;
// 0 without a connection). The exit waits for them to reach 0: their objects leave with the others.
int gf_creationsAwaitingAnswer();
// SimConnect thread, every frame: counts them, and during an exit, when the traffic pass no longer
// asks for the aircraft in range, asks itself, so the objects are matched (and removed) as they come.
void gf_serveCreationAnswers();
void gf_forgetCreationAnswers();   // the connection is closed

// SimConnect thread: one reply of the in-range request.
void gf_onSimObjectDataByType(const simconnect::SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE* data);

}  // namespace vrn
