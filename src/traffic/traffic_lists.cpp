#include "traffic/traffic_lists.h"

#include "airports/stand_search.h"
#include "core/format.h"

namespace vrn {

std::vector<LiveAircraft> g_liveAircraft;
std::vector<Aircraft> g_staticParked;
std::deque<std::uint32_t> g_removalQueue;
std::deque<AiCreateRequest> g_liveCreationQueue;
int g_creationAnswerPasses = kFirstAnswerPasses;
std::deque<AiCreateRequest> g_staticCreationQueue;
std::vector<StaticPlacement> g_staticPlacements;
std::vector<std::uint32_t> g_recreateIds;
std::deque<std::uint32_t> g_newAircraftIds;
std::vector<SimEvent> g_lightRequests;
std::vector<std::string> g_blockedCallsigns;
std::unordered_map<std::uint32_t, std::string_view> g_rememberedLiveries;
std::vector<LiveStayer> g_liveStayers;
std::uint32_t g_staticIdCounter = 0;
bool g_staticSweepDue = false;
UserAircraftBlock g_userPosition{};
std::atomic<std::uint32_t> g_selectedObjectId{0};
SharedString g_reservedStand;
std::atomic<bool> g_parkingBusy{false};

LiveAircraft* gf_liveById(std::uint32_t aircraftId) {
    for (LiveAircraft& a : g_liveAircraft)
        if (a.aircraftId == aircraftId) return &a;
    return nullptr;
}

LiveAircraft* gf_liveByObjectId(std::uint32_t objectId) {
    if (objectId == 0) return nullptr;
    for (LiveAircraft& a : g_liveAircraft)
        if (a.objectId == objectId) return &a;
    return nullptr;
}

Aircraft* gf_staticById(std::uint32_t aircraftId) {
    for (Aircraft& a : g_staticParked)
        if (a.aircraftId == aircraftId) return &a;
    return nullptr;
}

std::string gf_standNameOf(const Aircraft& aircraft) {
    return gf_standNameOfNumber(static_cast<std::uint32_t>(aircraft.standId));
}

std::string gf_standCallsignPrefix(const Aircraft& aircraft) {
    return vrn::format("{:8}: {:8} ", gf_standNameOf(aircraft), aircraft.callsign);
}

bool gf_endsWith(const std::string& text, char mark) { return !text.empty() && text.back() == mark; }

}  // namespace vrn
