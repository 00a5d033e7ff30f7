// The per-second collision and replacement jobs of the main loop with 100, 300 or 1,000 live and 500
// static parked aircraft, none of them close enough to be removed: every job walks its lists to the end.
#include <benchmark/benchmark.h>

#include "settings/settings_catalogue.h"
#include "simlink/user_aircraft.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace {

using namespace vrn;

constexpr int kStatic = 500;

Flight lf_flight(const std::string& callsign, const std::string& registration) {
    Flight f;
    f.callsign = f.knownCallsign = callsign;
    f.registration = registration;
    f.model = "A320";
    return f;
}

// One airport: 500 static aircraft on stands 0.001 degrees (latitude) by 0.0015 degrees apart, 150
// live aircraft taxiing between them and 150 in the air nearby; the user stands apart from them all.
void lf_world(int kLive) {
    g_liveAircraft.clear();
    g_staticParked.clear();
    g_newAircraftIds.clear();
    g_liveAircraft.reserve(kLive);
    for (int i = 0; i < kLive; ++i) {
        Aircraft aircraft(lf_flight("LIV" + std::to_string(i), "HB-L" + std::to_string(i)), SIZE_LARGE, 0.0097);
        aircraft.aircraftId = 20000 + static_cast<std::uint32_t>(i);
        PositionSample first;
        LiveAircraft& a = g_liveAircraft.emplace_back(aircraft, first, 0.0);
        const bool ground = i % 2 == 0;
        const int k = i / 2;
        // Taxiing ones between the stands (0.03 nm from the nearest), airborne ones around.
        a.position.latitude = ground ? 47.0 + 0.001 * (k / 25) : 47.1 + 0.01 * (k / 15);
        a.position.longitude = ground ? 8.00075 + 0.0015 * (k % 25) : 8.0 + 0.01 * (k % 15);
        a.position.altitude = ground ? 0.0 : 20000.0;
        a.onGround = ground ? 1 : 0;
        a.phase = ground ? PHASE_MOVING : PHASE_AIRBORNE;
        a.state = STATE_IN_SIM;
        a.objectId = 100 + static_cast<std::uint32_t>(i);
        a.coupledSearchDone = true;
    }
    for (int i = 0; i < kStatic; ++i) {
        Aircraft s(lf_flight("STA" + std::to_string(i) + "*", "HB-S" + std::to_string(i)), SIZE_LARGE, 0.0097);
        s.aircraftId = 1 + static_cast<std::uint32_t>(i);
        s.standPosition = {47.0 + 0.001 * (i / 25), 8.0 + 0.0015 * (i % 25)};
        s.state = STATE_IN_SIM;
        s.objectId = 1000 + static_cast<std::uint32_t>(i);
        g_staticParked.push_back(s);
    }
    g_userPosition = {};
    g_userPosition.latitude = 46.0;
    g_userPosition.longitude = 7.0;
    g_userPosition.altitude = 20000.0;
    g_userHalfWingspan = 0.0097;
    LOG.set(false);
    COLLISION_USER_AIR.set(true);
    COLLISION_USER_GND.set(true);
    COLLISION_LIVE_PARKED_GND.set(true);
}

// Aircraft the jobs removed (0: every job walked its lists to the end).
double lf_removed() {
    double n = 0;
    for (const Aircraft& s : g_staticParked) n += s.state != STATE_IN_SIM;
    for (const LiveAircraft& a : g_liveAircraft) n += a.state != STATE_IN_SIM;
    return n;
}

// Everything that moved since the last second is looked at again.
void lf_everythingMoved() {
    for (LiveAircraft& a : g_liveAircraft) a.lastTestedPosition = {};
    g_userPosition.latitude = g_userPosition.latitude == 46.0 ? 46.000001 : 46.0;
}

// Arguments: 1 the user on the ground (ground check) or 0 in the air (air check); live aircraft.
void BM_CollisionJobs(benchmark::State& state) {
    lf_world(static_cast<int>(state.range(1)));
    g_userOnGround = state.range(0) != 0;
    for (auto _ : state) {
        lf_everythingMoved();
        if (g_userOnGround.load())
            gf_userGroundCollision();
        else
            gf_userAirCollisions();
        gf_liveParkedCollisions();
    }
    state.counters["removed"] = lf_removed();
}
BENCHMARK(BM_CollisionJobs)->ArgsProduct({{1, 0}, {100, 300, 1000}})->Unit(benchmark::kMicrosecond);

// One new aircraft against the static ones (each second) and the 61st-second clean-up.
void BM_ReplacementJobs(benchmark::State& state) {
    const int live = static_cast<int>(state.range(0));
    lf_world(live);
    for (auto _ : state) {
        g_newAircraftIds.push_back(20000 + static_cast<std::uint32_t>(live) - 2);
        gf_newAircraftAgainstStatic(DaySlot{});
        for (const LiveAircraft& a : g_liveAircraft) gf_removeStaticSameCallsign(a);
    }
    state.counters["removed"] = lf_removed();
}
BENCHMARK(BM_ReplacementJobs)->Arg(100)->Arg(300)->Arg(1000)->Unit(benchmark::kMicrosecond);

}  // namespace
