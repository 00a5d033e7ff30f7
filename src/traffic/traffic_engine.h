#pragma once
// The live-traffic engine: what the main loop, the exit procedure, the feed, the window's requests
// and static parking call. Open this header first; traffic_lists.h holds the engine's lists and
// engine_steps.h the steps its files share.
//
// Data path: g_trafficQueue (feed/udp_readers.h) -> gf_trafficTick -> processLiveUpdate (new
// LiveAircraft or one more PositionSample) -> admission -> arrival (livery, stand, position block)
// -> g_recreateIds -> g_liveCreationQueue -> gf_queueAiCreateRequest (simlink) -> the simulator's
// object -> SimEvent -> liveAIAdded -> 200 passes later state 2, moved pass by pass through the
// position double buffer -> removal through g_removalQueue.
//
// Everything runs on the run thread unless its comment names another thread.
#include <cstdint>
#include <string>
#include <vector>

#include "core/time_of_week.h"
#include "records/live_aircraft.h"

namespace vrn {

// ---- The pass -----------------------------------------------------------------------------------
// One traffic pass; every 10 ms turn of the main loop while a flight runs.
void gf_trafficTick();
// The simulator's events and the light requests of new objects (also while the flight is paused).
void gf_processSimEvents();
// Traffic start: room in the lists, Callsign2ObjectId.txt deleted.
void gf_resetTraffic();
// A run ends for a restart (exit thread, after the main loop has left): every list emptied.
void gf_resetParkAirport();
// The number of stands static parking should fill; shown in the main window.
int gf_wantedParkedCount();

// ---- Removal and commands -------------------------------------------------------------------------
// Takes a live or static parked aircraft out of the simulator: frees its stand, state 4, queues its
// object for removal. A never-created aircraft has its queued creation cancelled, or is removed as
// soon as its object arrives, or (never queued) is marked for erasure.
void gf_removeLiveAircraft(Aircraft& aircraft);
// The same, with a Log.txt line that says why: an aircraft that vanishes says what took it. (Every
// aircraft goes once: the lines are bounded by the creations, two a second.)
void gf_removeLiveAircraft(Aircraft& aircraft, std::string_view why);
// Client events of one aircraft; throttle and flaps are only sent when the index changes.
void gf_setThrottle(Aircraft& aircraft, int index);
void gf_setFlaps(Aircraft& aircraft, int index);
void gf_setGear(const Aircraft& aircraft, bool down);
void gf_setSpoilers(const Aircraft& aircraft, bool on);
// Throttle and flaps 0, engines off and the parked lights (no cabin lights at a cargo stand).
void gf_parkedLights(Aircraft& aircraft);
// A static parked aircraft built from `aircraft` at a stand.
Aircraft gf_makeStaticParked(const Aircraft& aircraft, std::uint32_t standId, const LatLon& standPosition,
                             double standHeading, bool cargo);
// Drops the queued static creations with this tail number and their records; true when one matched.
bool gf_cancelQueuedStaticCreation(const std::string& callsign);
// Drops the queued live creations with this tail number and marks their records for erasure.
bool gf_cancelQueuedCreation(const std::string& callsign);
// Every static parked aircraft out (in the simulator: removed; queued: cancelled or flagged).
void gf_removeStaticParked();
// A static parking computation starts: the callsigns the Traffic Reader collected for the renewal
// become the excluded ones (none outside a renewal).
void gf_resetStaticLists();
// The static-parking controls of the window off (busy) and on again.
void gf_disableParkingControls();
void gf_enableParkingControls();

// ---- Replacement ----------------------------------------------------------------------------------------
// The new live aircraft stands for the static parked one (same hexid, registration or callsign).
bool gf_replaceSame(const LiveAircraft& newAircraft, const Aircraft& parked);
// Per second: the oldest new aircraft's coupled callsigns searched, then a static parked aircraft it
// replaces removed.
void gf_newAircraftAgainstStatic(DaySlot now);
// Every 61st second, per live aircraft: the static parked aircraft with its starred callsign or its
// registration removed.
void gf_removeStaticSameCallsign(const LiveAircraft& live);

// ---- Collision avoidance (once a second) ------------------------------------------------------------
// The user in the air: the aircraft removed when it stands on the runway line ahead of or behind a low
// user, or flies on a line through the user at the user's level; true when it was removed.
bool gf_userAirCollision(LiveAircraft& aircraft);
// COLLISION_USER_AIR with the user in the air: gf_userAirCollision over the live aircraft until one is removed.
void gf_userAirCollisions();
// COLLISION_USER_GND with the user on the ground: the first live ground aircraft the user's wingtips
// would touch removed; else, when the user moved, the first such static parked aircraft.
void gf_userGroundCollision();
// The static parked aircraft removed when the live aircraft's wingtips would touch it; true when removed.
bool gf_collisionWithLive(const LiveAircraft& live, Aircraft& parked);
// COLLISION_LIVE_PARKED_GND: every live aircraft taxiing without power that moved since its last
// test, against the static parked aircraft (at most one removed per live aircraft).
void gf_liveParkedCollisions();
// Traffic start: the user's next position counts as moved for the static check.
void gf_forgetUserCollisionCheck();

// ---- Bulk operations of other threads' requests -----------------------------------------------------
// RealTraffic is gone (main loop, through the feed's hook): live aircraft out, queued creations cancelled.
void gf_dropLiveAircraft();
// Exit thread, after the main loop has left: every live and static aircraft out of the simulator and
// the removal queue handed to the simulator's.
void gf_removeAllAircraft();
// The block command: the first live aircraft in the simulator with this callsign removed.
void gf_removeBlockedCallsign(const std::string& callsign);
// Exit thread: the remembered liveries / the blocked ghost callsigns forgotten.
void gf_clearRememberedLiveries();
void gf_clearBlockedCallsigns();

// ---- Count limit, lookup, parked aircraft ---------------------------------------------------------
// Live aircraft beyond MAX_LIVE removed, farthest from the user first.
void gf_enforceMaxCount();
// The CALLSIGN_2_OBJECTID lookup.
void gf_callsign2ObjectId();
// Live aircraft in the simulator that are not parked at a stand.
int gf_liveNotParkedCount();
// Builds g_liveStayers (over-long stays removed) for the parking adjustments.
void gf_collectLiveStayers();
// Removes the n live parked aircraft that stood longest.
void gf_removeSurplusLiveParked(int n);
// Counts the live aircraft parked at stands; with show, refreshes the window's average.
int gf_refreshLiveParkedHours(bool show);
// Removes the static or live parked aircraft at the user's reserved stand.
void gf_clearReservedStand();
// Object ids of the parked aircraft in the simulator (nav lights toggled from the window).
std::vector<std::uint32_t> gf_liveParkedObjectIds();
std::vector<std::uint32_t> gf_staticParkedObjectIds();

}  // namespace vrn
