#pragma once
// The user's aircraft: the requests and replies that fill its block and on-ground state
// (records/user_aircraft_block.h), the once-a-second simulator tick, its title and type with half
// wingspan and size class, and the stand it stands at.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/geodesy.h"
#include "core/shared_value.h"
#include "platform/simconnect/simconnect_api.h"
#include "records/user_aircraft_block.h"
#include "simlink/sim_ids.h"

namespace vrn {

extern std::atomic<std::uint32_t> g_userObjectId;     // objects up to it are never moved, removed or matched
extern std::atomic<bool> g_simTick;                   // raised once a second; the main loop consumes it
extern SharedString g_userTitle;                      // at most 48 bytes
extern std::atomic<double> g_userHalfWingspan;        // nautical miles
extern std::atomic<bool> g_userHalfWingspanKnown;
extern std::atomic<std::uint32_t> g_userSizeClass;
extern std::atomic<std::int64_t> g_simTimeSeconds;    // simulator UTC, seconds since 1970

// Asks for a new user block (unless requests are broken) and returns the block of an earlier answer.
UserAircraftBlock gf_requestUserAircraftPosition();
// Asks once for the title and the ATC MODEL of the user aircraft.
void gf_requestUserAircraftTitleAndModel();
// The per-second on-ground request of the traffic start.
void gf_requestUserOnGroundEverySecond();

// SimConnect thread: replies of requests 102 and 106-109.
void gf_onSimObjectData(const simconnect::SIMCONNECT_RECV_SIMOBJECT_DATA* data);
// SimConnect thread: stores the user's stand for the park airport when the user stands still.
void gf_saveUserStand();

// Seconds since 1970-01-01 00:00 UTC of a zulu year, day of year (1 = 1 January) and second of day.
std::int64_t gf_zuluToUnixSeconds(std::int64_t year, std::int64_t dayOfYear, std::int64_t secondOfDay);

// Back to the state before the first block of a run.
void gf_resetUserAircraft();

}  // namespace vrn
