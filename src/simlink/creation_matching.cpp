// Matching created objects to their creations, and the ground reports of the objects in range.
#include "simlink/creation_matching.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "core/format.h"
#include "core/log.h"
#include "core/version.h"
#include "simlink/command_queues.h"
#include "simlink/sim_client.h"
#include "simlink/sim_event.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_services.h"
#include "simlink/user_aircraft.h"

namespace vrn {

using namespace simconnect;

std::vector<std::uint32_t> g_justAddedObjects;

namespace {

constexpr double kGroundReportCeilingFt = 2500.0;
// During an exit: one in-range request every 10th frame, over the pass's largest radius.
constexpr std::uint32_t kExitRequestFrames = 10;
constexpr double kExitRequestRadiusM = 500.0 * 1852.0;

std::atomic<int> l_awaitingAnswer{0};
std::uint32_t l_frames = 0;   // SimConnect thread only

bool lf_exitUnderWay() {
    const SimLinkServices& services = gf_simLinkServices();
    return services.exitRequested && services.exitRequested();
}

// Removes element i by moving the last element into its place.
template <typename T>
void lf_swapRemove(std::vector<T>& v, std::size_t i) {
    if (i + 1 != v.size()) v[i] = std::move(v.back());
    v.pop_back();
}

void lf_releaseAndFreeze(std::uint32_t objectId) {
    std::lock_guard lock(g_simCommandMutex);
    SimConnect_AIReleaseControl(g_hSimConnect.load(), objectId, REQUEST_RELEASE_CONTROL);
    g_clientEvents.push_back({objectId, FREEZE_LATITUDE_LONGITUDE_SET, 1});
    g_clientEvents.push_back({objectId, FREEZE_ALTITUDE_SET, 1});
    g_clientEvents.push_back({objectId, FREEZE_ATTITUDE_SET, 1});
}

// The aircraft id of the first pending creation that `matches`, which leaves the list.
template <typename Match>
std::optional<std::uint32_t> lf_takeFirstPending(Match matches) {
    for (std::size_t i = 0; i < g_pendingCreations.size(); ++i) {
        if (!matches(g_pendingCreations[i])) continue;
        const std::uint32_t aircraftId = g_pendingCreations[i].aircraftId;
        lf_swapRemove(g_pendingCreations, i);
        return aircraftId;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> gf_takePendingCreation(const std::string& atcId) {
    return lf_takeFirstPending([&](const PendingCreation& p) { return p.callsign == atcId; });
}

std::optional<std::uint32_t> gf_takePendingCreationByPacket(std::uint32_t packetId) {
    // Packet id 0 marks a creation whose packet id could not be read: only its callsign can match it.
    if (packetId == 0) return std::nullopt;
    return lf_takeFirstPending([&](const PendingCreation& p) { return p.packetId == packetId; });
}

int gf_creationsAwaitingAnswer() { return l_awaitingAnswer.load(); }

void gf_forgetCreationAnswers() { l_awaitingAnswer = 0; }

void gf_serveCreationAnswers() {
    const auto awaiting = static_cast<int>(g_pendingCreations.size() + g_justAddedObjects.size());
    l_awaitingAnswer = awaiting;
    if (awaiting == 0 || ++l_frames % kExitRequestFrames != 0 || !lf_exitUnderWay()) return;
    std::lock_guard lock(g_simCommandMutex);
    SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), REQUEST_AI_IN_RANGE, DEF_AI_IN_RANGE,
                                          static_cast<DWORD>(kExitRequestRadiusM), SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
}

void gf_onSimObjectDataByType(const SIMCONNECT_RECV_SIMOBJECT_DATA_BYTYPE* d) {
    if (!d || d->dwRequestID != REQUEST_AI_IN_RANGE) return;
    const std::uint32_t objectId = d->dwObjectID;
    if (objectId <= g_userObjectId.load()) return;
    const std::size_t header = SIMOBJECT_DATA_OFFSET;
    if (d->dwSize < header + sizeof(AiInRangeBlock)) return;
    AiInRangeBlock block;
    std::memcpy(&block, reinterpret_cast<const std::uint8_t*>(d) + header, sizeof block);
    const std::string atcId(block.atcId, strnlen(block.atcId, sizeof block.atcId));

    const auto added = std::find(g_justAddedObjects.begin(), g_justAddedObjects.end(), objectId);
    if (added != g_justAddedObjects.end()) {
        lf_swapRemove(g_justAddedObjects, static_cast<std::size_t>(added - g_justAddedObjects.begin()));
        const auto aircraftId = gf_takePendingCreation(atcId);
        if (!aircraftId) {
            gf_logArrowLine(vrn::format("just created, but not by {}, oid: {}, callsign \"{}\" unknown", g_programName,
                                        objectId, atcId));
            return;
        }
        if (lf_exitUnderWay()) {
            // Nobody takes the object over any more: it leaves with the others.
            gf_queueAiRemoval(objectId);
            return;
        }
        lf_releaseAndFreeze(objectId);
        const bool live = *aircraftId > 10000;
        gf_queueSimEvent({objectId, *aircraftId, 0, live ? SIM_EVENT_LIVE_CREATED : SIM_EVENT_STATIC_CREATED, 0.0,
                          live ? block.altitudeAboveGround : 0.0});
        return;
    }
    if (block.altitudeAboveGround > kGroundReportCeilingFt) return;
    if (!atcId.empty() && atcId.back() == '*') return;   // static parked aircraft
    gf_queueSimEvent({objectId, static_cast<std::uint32_t>(block.simOnGround), 0, SIM_EVENT_GROUND_INFO,
                      block.groundAltitude, block.altitudeAboveGround});
}

}  // namespace vrn
