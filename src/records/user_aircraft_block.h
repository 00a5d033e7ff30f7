#pragma once
// The user aircraft as the simulator link last read it: its 96-byte block (position, motion,
// simulator time; definition 403 of the link) and its on-ground state. The link writes them on the
// SimConnect thread; the feed, the airports and the engine read them on theirs.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/geodesy.h"

namespace vrn {

struct UserAircraftBlock {
    double latitude = 0.0;
    double longitude = 0.0;
    double pitch = 0.0;
    double bank = 0.0;
    double heading = 0.0;
    double altitude = 0.0;
    double altitudeAboveGround = 0.0;
    double groundSpeed = 0.0;   // knots
    std::int64_t zuluTime = 0;  // seconds of the day
    std::int64_t zuluDayOfYear = 0;
    std::int64_t zuluYear = 0;
    std::int64_t lightStates = 0;
};
static_assert(sizeof(UserAircraftBlock) == 96);
static_assert(offsetof(UserAircraftBlock, groundSpeed) == 56);
static_assert(offsetof(UserAircraftBlock, zuluTime) == 64);
static_assert(offsetof(UserAircraftBlock, lightStates) == 88);

extern std::atomic<bool> g_userOnGround;
extern std::atomic<bool> g_userOnGroundKnown;

// A copy of the last user block (written on the SimConnect thread under its own lock).
UserAircraftBlock gf_userAircraftData();
LatLon gf_userLatLon();
// Stores a new user block (the link, on a reply; an empty block when a run starts again).
void gf_storeUserAircraftData(const UserAircraftBlock& block);

// The user aircraft as the park-airport choice, static parking and the window's radius see it.
struct UserState {
    bool onGround = false;
    double altitudeFeet = 0.0;
    LatLon position;
};
UserState gf_userState();
// A test seam: tests and benchmarks place the user without a simulator (empty: the user block).
void gf_setUserStateForTests(std::function<UserState()> state);

}  // namespace vrn
