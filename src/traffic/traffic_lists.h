#pragma once
// The traffic engine's lists and queues, owned by the run thread: the static parked aircraft, the
// queues that meter removals and creations towards the simulator, the ids waiting for a creation
// record or for the per-second step, the light requests of new objects, the remembered liveries and
// the blocked ghost callsigns. Comes from: the traffic pass and its steps (src/traffic/*.cpp).
// Goes to: the SimConnect command queues (simlink/command_queues.h), one entry per metered pass.
//
// Only the run thread changes these lists. The exit thread reaches them after the main loop has left
// (it waits for that), the window only through request flags that the main loop serves.
#include <atomic>
#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/shared_value.h"
#include "records/live_aircraft.h"
#include "simlink/command_queues.h"
#include "simlink/sim_event.h"
#include "simlink/sim_ids.h"

namespace vrn {

// One decision of static parking: an aircraft to be shown at a stand.
struct StaticPlacement {
    std::uint32_t representedHexid = 0;
    std::uint32_t age = 0;            // half hours since that aircraft parked
    std::string airline;
    std::string model;
    std::uint32_t standId = 0;
    std::string callsign;             // learned for that use
    std::string coupledCallsign;
    std::string registration;
    std::uint8_t hexidValid = 0;
    std::uint8_t useLearnedCallsign = 0;   // 1: callsign from the learned one, 0: from the coupled one
};

// A live aircraft parked at a stand, for the parking adjustments.
struct LiveStayer {
    std::string callsign;
    std::uint64_t aircraftId = 0;
    std::uint32_t standId = 0;
    std::uint32_t minutesParked = 0;
};

// The live aircraft; owned by the run thread.
extern std::vector<LiveAircraft> g_liveAircraft;
extern std::vector<Aircraft> g_staticParked;
extern std::deque<std::uint32_t> g_removalQueue;            // object ids, one handed on per 10th pass
extern std::deque<AiCreateRequest> g_liveCreationQueue;     // one handed on per 50th pass
extern int g_creationAnswerPasses;                          // how long the simulator takes to answer one
constexpr int kFirstAnswerPasses = 10;                      // expected before it has answered any
extern std::deque<AiCreateRequest> g_staticCreationQueue;   // when no live record waits
extern std::vector<StaticPlacement> g_staticPlacements;     // consumed from the back
extern std::vector<std::uint32_t> g_recreateIds;            // creation records to build, last first
extern std::deque<std::uint32_t> g_newAircraftIds;          // for the per-second replacement step
extern std::vector<SimEvent> g_lightRequests;               // created objects in their first 200 passes
extern std::vector<std::string> g_blockedCallsigns;         // removed ghosts, with their trailing "_"
extern std::unordered_map<std::uint32_t, std::string_view> g_rememberedLiveries;   // aircraft id -> title
extern std::vector<LiveStayer> g_liveStayers;
extern std::uint32_t g_staticIdCounter;
// A static record's creation was cancelled: the pass erases such records once.
extern bool g_staticSweepDue;
// The two sets static parking's stand search keeps for one computation (emptied by
// gf_resetStaticLists): callsigns the feed flies live now, of which it shows no static copy, and
// the registrations it has taken, each placed at most once.
extern std::set<std::string> g_staticExcludedCallsigns;
extern std::set<std::string> g_staticTakenRegistrations;

// The run thread's copy of the user aircraft block, refreshed every 100th pass.
extern UserAircraftBlock g_userPosition;

// The object id the user looked up by callsign (0: none). Written by the run thread, cleared by removals.
extern std::atomic<std::uint32_t> g_selectedObjectId;
// The stand the user reserved for the user aircraft at the park airport (empty: none).
extern SharedString g_reservedStand;
// Static parking is being computed: its controls are off.
extern std::atomic<bool> g_parkingBusy;

// Lookups in list order; nullptr when none.
LiveAircraft* gf_liveById(std::uint32_t aircraftId);
LiveAircraft* gf_liveByObjectId(std::uint32_t objectId);
Aircraft* gf_staticById(std::uint32_t aircraftId);

// The stand's name for log lines: "sid==0?" without a stand, "unknown" when no stand has the id.
std::string gf_standNameOf(const Aircraft& aircraft);
// "{:8}: {:8} " of stand name and callsign, the start of the engine's detail lines.
std::string gf_standCallsignPrefix(const Aircraft& aircraft);

// Whether the callsign ends with `mark`.
bool gf_endsWith(const std::string& text, char mark);

}  // namespace vrn
