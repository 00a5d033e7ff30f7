#pragma once
// The numbers Varnel registers with the simulator on every connection, and the byte layouts of
// the data blocks it reads and writes.
#include <cstddef>
#include <cstdint>

#include "records/user_aircraft_block.h"

namespace vrn {

// System events.
enum SimSystemEvent : std::uint32_t {
    EVENT_SIM = 201,
    EVENT_OBJECT_ADDED = 202,
    EVENT_OBJECT_REMOVED = 203,
    EVENT_FRAME = 204,
    EVENT_FLIGHT_LOADED = 205,
};

// Client events.
enum SimClientEvent : std::uint32_t {
    BEACON_LIGHTS_SET = 206,
    NAV_LIGHTS_SET = 207,
    TAXI_LIGHTS_SET = 208,
    STROBES_SET = 209,
    LANDING_LIGHTS_SET = 210,
    CABIN_LIGHTS_SET = 211,
    LOGO_LIGHTS_SET = 212,
    ALL_LIGHTS_TOGGLE = 213,
    FREEZE_LATITUDE_LONGITUDE_SET = 214,
    FREEZE_ALTITUDE_SET = 215,
    FREEZE_ATTITUDE_SET = 216,
    FLAPS_SET = 217,
    SPOILERS_SET = 218,
    GEAR_SET = 219,
    ENGINE_AUTO_START = 220,
    ENGINE_AUTO_SHUTDOWN = 221,
    THROTTLE_SET = 222,
};

inline constexpr std::uint32_t GROUP_AI = 301;

// Data definitions.
enum SimDefinition : std::uint32_t {
    DEF_AI_CONTROLS = 401,
    DEF_AI_POSITION = 402,
    DEF_USER_BLOCK = 403,
    DEF_AI_IN_RANGE = 404,
    DEF_STATIC_CG = 405,
    DEF_LIGHT_STATES = 406,
    DEF_USER_TITLE = 407,
    DEF_USER_MODEL = 408,
    DEF_USER_ON_GROUND = 409,
};

// Request ids.
enum SimRequest : std::uint32_t {
    REQUEST_AI_IN_RANGE = 101,
    REQUEST_STATIC_CG = 102,
    REQUEST_RELEASE_CONTROL = 103,
    REQUEST_CREATE = 104,
    REQUEST_REMOVE = 105,
    REQUEST_USER_TITLE = 106,
    REQUEST_USER_MODEL = 107,
    REQUEST_USER_ON_GROUND = 108,
    REQUEST_USER_BLOCK = 109,
    REQUEST_FLIGHT_PLAN = 110,
};

// Definition 402: the position the flush sets on an AI object.
struct AiPositionBlock {
    double latitude;       // degrees
    double longitude;      // degrees
    double pitch;          // radians
    double bank;           // radians
    double heading;        // radians, true
    double altitude;       // feet
    double verticalSpeed;  // feet per second
    double airspeed;       // knots, true
};
static_assert(sizeof(AiPositionBlock) == 64);

// Definition 403: the user block (records/user_aircraft_block.h).

// Definition 405.
struct StaticCgBlock {
    double staticCgToGround;   // feet
    double staticPitch;        // radians
};
static_assert(sizeof(StaticCgBlock) == 16);

// Definition 404: one aircraft within range.
struct AiInRangeBlock {
    double altitudeAboveGround;   // feet
    double groundAltitude;        // feet
    std::int64_t simOnGround;     // low 32 bits used
    char atcId[32];
};
static_assert(sizeof(AiInRangeBlock) == 56);
static_assert(offsetof(AiInRangeBlock, atcId) == 24);

// Definition 401: AI controls written by the movement step.
struct AiControlsBlock {
    double spoilersHandle;   // percent
    double throttle1;        // percent
    double throttle2;        // percent
};
static_assert(sizeof(AiControlsBlock) == 24);

}  // namespace vrn
