#pragma once
// Work for the simulator, queued by the run thread (and the GUI and exit threads) and sent by the
// SimConnect thread on every Frame event: positions, client events, creations and removals.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/simconnect/simconnect_api.h"

namespace vrn {

struct AiCreateRequest {
    simconnect::SIMCONNECT_DATA_INITPOSITION initPosition;
    std::string tailNumber;           // the callsign; the simulator makes it the object's ATC ID
    std::string_view containerTitle;  // livery title; the text it views outlives the request
    std::uint32_t aircraftId = 0;     // ICAO address (live, above 10000) or static id (10000 or less)
};

struct PositionUpdate {
    double latitude = 0.0;       // degrees
    double longitude = 0.0;      // degrees
    double pitch = 0.0;          // radians
    double bank = 0.0;           // radians
    double heading = 0.0;        // radians
    double altitude = 0.0;       // feet
    double verticalSpeed = 0.0;  // feet per second
    double airspeed = 0.0;       // knots
    std::uint32_t objectId = 0;
};
// The first 64 bytes are the AI position block the flush sends as they are.
static_assert(offsetof(PositionUpdate, objectId) == 64);

struct ClientEventRequest {
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t value = 0;
    bool operator==(const ClientEventRequest&) const = default;
};

struct PendingCreation {
    std::uint32_t packetId = 0;   // 0 when the packet id could not be read
    std::uint32_t aircraftId = 0;
    std::string callsign;
};

extern std::mutex g_simCommandMutex;
extern std::vector<AiCreateRequest> g_createRequests;
extern std::array<std::vector<PositionUpdate>, 2> g_positionBuffers;
extern std::vector<PositionUpdate>* g_positionFillBuffer;   // the run thread's, no lock needed
extern std::vector<PositionUpdate>* g_positionSendBuffer;   // under g_simCommandMutex
extern std::vector<ClientEventRequest> g_clientEvents;
extern std::vector<std::uint32_t> g_removals;
extern std::vector<PendingCreation> g_pendingCreations;     // the SimConnect thread's

// Queue functions: each takes g_simCommandMutex, appends and unlocks.
void gf_queueAiCreateRequest(const AiCreateRequest& request);
void gf_queueEngineAutoShutdown(std::uint32_t objectId);
void gf_queueEngineAutoStart(std::uint32_t objectId);
// values: nav, beacon, landing, taxi, strobes, logo, cabin.
void gf_queueLightEvents(std::uint32_t objectId, const std::uint32_t values[7]);
void gf_queueNavLights(std::uint32_t objectId, std::uint32_t value);
void gf_queueCabinLights(std::uint32_t objectId, std::uint32_t value);
void gf_queueAiRemoval(std::uint32_t objectId);

// The traffic pass's hand-over of its positions: swaps the two position buffers under the mutex and
// empties the new fill buffer, so only the newest positions of a pass are ever sent. When the SimConnect
// thread holds the mutex, this pass's positions are dropped at 50 frames a second or fewer, and
// waited with above.
void gf_handOverPositions();
// Hand-overs that found the mutex held above 50 frames a second and went on to wait for it: counted
// just before the wait, so a test can hold the mutex until a hand-over surely waits.
extern std::atomic<int> g_handOverWaits;
// The traffic start: room for 256 entries in each queue but the client events.
void gf_reserveSimCommandQueues();

// SimConnect thread: sends and empties every queue, unless the run thread holds the mutex (then
// everything waits for a later frame). Order: positions, client events, creations, removals.
void gf_flushSimConnectQueues();

}  // namespace vrn
