// Command queues and the frame flush.
#include "simlink/command_queues.h"

#include "core/format.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "display/window_state.h"
#include "simlink/sim_client.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_services.h"
#include "simlink/user_aircraft.h"

namespace vrn {

using namespace simconnect;

std::mutex g_simCommandMutex;
std::vector<AiCreateRequest> g_createRequests;
std::array<std::vector<PositionUpdate>, 2> g_positionBuffers;
std::vector<PositionUpdate>* g_positionFillBuffer = &g_positionBuffers[0];
std::vector<PositionUpdate>* g_positionSendBuffer = &g_positionBuffers[1];
std::vector<ClientEventRequest> g_clientEvents;
std::vector<std::uint32_t> g_removals;
std::vector<PendingCreation> g_pendingCreations;
std::atomic<int> g_handOverWaits{0};

namespace {

void lf_createAiAircraft(const AiCreateRequest& request) {
    const std::string title(request.containerTitle);   // zero-terminated copy
    const HANDLE h = g_hSimConnect.load();
    if (FAILED(SimConnect_AICreateNonATCAircraft(h, title.c_str(), request.tailNumber.c_str(), request.initPosition,
                                                 REQUEST_CREATE))) {
        gf_logLine(vrn::format("! Simcon call to create ac in sim failed, hexid:{}, liv: \"{}\", callsign: {}",
                               request.aircraftId, title, request.tailNumber));
        gf_countSimConnectRequestError();
        return;
    }
    DWORD packetId = 0;
    if (FAILED(SimConnect_GetLastSentPacketID(h, &packetId))) {
        gf_logArrowLine("GetLastSentPacketID");
        packetId = 0;
    }
    g_pendingCreations.push_back({packetId, request.aircraftId, request.tailNumber});
}

void lf_removeAiAircraft(std::uint32_t objectId) {
    if (objectId <= g_userObjectId.load()) {
        gf_logLine(vrn::format("{}!Simconnect call to remove AI ac with objectId {}", gf_wallClockHhMmSs(), objectId));
        return;
    }
    if (FAILED(SimConnect_AIRemoveObject(g_hSimConnect.load(), objectId, REQUEST_REMOVE))) {
        gf_logLine(vrn::format("{}!Simconnect call to remove AI ac from sim failed, id {}?", gf_wallClockHhMmSs(),
                               objectId));
        gf_countSimConnectRequestError();
    }
}

void lf_queueEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t value) {
    std::lock_guard lock(g_simCommandMutex);
    g_clientEvents.push_back({objectId, eventId, value});
}

}  // namespace

void gf_queueAiCreateRequest(const AiCreateRequest& request) {
    std::lock_guard lock(g_simCommandMutex);
    g_createRequests.push_back(request);
}

void gf_queueEngineAutoShutdown(std::uint32_t objectId) { lf_queueEvent(objectId, ENGINE_AUTO_SHUTDOWN, 0); }
void gf_queueEngineAutoStart(std::uint32_t objectId) { lf_queueEvent(objectId, ENGINE_AUTO_START, 0); }
void gf_queueNavLights(std::uint32_t objectId, std::uint32_t value) { lf_queueEvent(objectId, NAV_LIGHTS_SET, value); }
void gf_queueCabinLights(std::uint32_t objectId, std::uint32_t value) {
    lf_queueEvent(objectId, CABIN_LIGHTS_SET, value);
}

void gf_queueLightEvents(std::uint32_t objectId, const std::uint32_t values[7]) {
    static constexpr std::uint32_t order[7] = {NAV_LIGHTS_SET,  BEACON_LIGHTS_SET, LANDING_LIGHTS_SET, TAXI_LIGHTS_SET,
                                               STROBES_SET,     LOGO_LIGHTS_SET,   CABIN_LIGHTS_SET};
    std::lock_guard lock(g_simCommandMutex);
    for (int i = 0; i < 7; ++i) g_clientEvents.push_back({objectId, order[i], values[i]});
}

void gf_queueAiRemoval(std::uint32_t objectId) {
    std::lock_guard lock(g_simCommandMutex);
    g_removals.push_back(objectId);
}

void gf_handOverPositions() {
    std::unique_lock lock(g_simCommandMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        if (g_frameRate.load() <= 50.0f) {
            g_positionFillBuffer->clear();
            return;
        }
        ++g_handOverWaits;
        lock.lock();
    }
    std::swap(g_positionFillBuffer, g_positionSendBuffer);
    g_positionFillBuffer->clear();
}

void gf_reserveSimCommandQueues() {
    std::lock_guard lock(g_simCommandMutex);
    g_createRequests.reserve(256);
    g_positionBuffers[0].reserve(256);
    g_positionBuffers[1].reserve(256);
    g_removals.reserve(256);
    g_pendingCreations.reserve(256);
}

void gf_flushSimConnectQueues() {
    std::unique_lock lock(g_simCommandMutex, std::try_to_lock);
    if (!lock.owns_lock()) return;   // the run thread is filling: everything goes with a later frame
    const HANDLE h = g_hSimConnect.load();
    if (g_requestsBroken.load()) {
        // A restart is coming. Positions, events and creations are dropped, but removals still go
        // out, so no AI aircraft stays behind in the simulator.
        g_positionSendBuffer->clear();
        g_clientEvents.clear();
        g_createRequests.clear();
        for (std::uint32_t id : g_removals) lf_removeAiAircraft(id);
        g_removals.clear();
        return;
    }
    const std::uint32_t userObjectId = g_userObjectId.load();
    for (PositionUpdate& p : *g_positionSendBuffer) {
        if (p.objectId <= userObjectId) continue;
        SimConnect_SetDataOnSimObject(h, DEF_AI_POSITION, p.objectId, 0, 0, sizeof(AiPositionBlock), &p);
    }
    g_positionSendBuffer->clear();

    for (const ClientEventRequest& e : g_clientEvents) {
        if (e.eventId == FLAPS_SET) SimConnect_AIReleaseControl(h, e.objectId, REQUEST_RELEASE_CONTROL);
        if (FAILED(SimConnect_TransmitClientEvent(h, e.objectId, e.eventId, e.value, GROUP_AI, 0))) {
            gf_showStatus(vrn::format("SimConnect TransmitClientEvent: {} fails", e.eventId), true);
        } else if (e.eventId == FLAPS_SET) {
            SimConnect_AIReleaseControl(h, e.objectId, REQUEST_RELEASE_CONTROL);
        }
    }
    g_clientEvents.clear();

    // Once an exit is under way nothing new is made: the exit removes what exists.
    const SimLinkServices& services = gf_simLinkServices();
    if (!services.exitRequested || !services.exitRequested())
        for (const AiCreateRequest& r : g_createRequests) lf_createAiAircraft(r);
    g_createRequests.clear();

    for (std::uint32_t id : g_removals) lf_removeAiAircraft(id);
    g_removals.clear();
}

}  // namespace vrn
