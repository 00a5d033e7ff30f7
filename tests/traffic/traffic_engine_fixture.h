#pragma once
// The traffic engine on its real lists beside a connected simulated simulator: aircraft placed in the
// simulator get an object there, and removed() runs traffic passes and simulator frames until the
// engine's removals have reached the simulator.
#include <map>
#include <set>
#include <string>

#include "app/run_hooks.h"
#include "app/run_thread.h"
#include "simlink/link_fixture.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {

class TrafficEngineTest : public LinkFixture {
protected:
    static constexpr double kHalfSpan = 0.0097;   // A320, nm
    static constexpr int kNeverDue = 1 << 29;     // samples that never fall due: nothing moves by itself

    void SetUp() override {
        gf_installRunHooks();   // the hooks the main loop calls, as the program installs them
        LinkFixture::SetUp();
        connect();
        gf_resetParkAirport();
        g_liveAircraft.reserve(64);   // references handed out stay valid
        g_tickCounter = 1;
        for (CheckBoxParameter* on : {&LOG, &GUID_CHANGES, &COLLISION_USER_AIR, &COLLISION_USER_GND,
                                      &COLLISION_LIVE_PARKED_GND})
            on->set(true);
        g_userPosition = {};
        g_userPosition.latitude = 47.0;
        g_userPosition.longitude = 8.0;
        g_userPosition.altitude = 3000.0;
        g_userOnGround = true;
        g_userHalfWingspan = kHalfSpan;
        gf_forgetUserCollisionCheck();
    }
    void TearDown() override {
        gf_resetParkAirport();
        gf_runHooks() = RunHooks{};
        LinkFixture::TearDown();
    }
    // A new case: empty lists and the pass count back at its start.
    void fresh() {
        gf_resetParkAirport();
        objectCallsigns.clear();
        g_tickCounter = 1;
    }

    static LatLon user() { return gf_userPositionLatLon(); }
    static LatLon from(const LatLon& at, double bearingDeg, double nm) {
        return gf_destinationPoint(at, bearingDeg * kDeg2Rad, nm * 6076.11549);
    }
    std::uint32_t object(const std::string& callsign, const LatLon& at, double altitude, bool onGround) {
        const std::uint32_t id = sim().addOtherAircraft({"Title A", callsign, at.lat, at.lon, altitude, onGround});
        objectCallsigns[id] = callsign;
        return id;
    }

    LiveAircraft& live(const std::string& callsign, const LatLon& at, bool onGround = true, double altitude = 0.0,
                       double headingDeg = 0.0, int state = STATE_IN_SIM) {
        Aircraft aircraft(flight(callsign), SIZE_LARGE, kHalfSpan);
        aircraft.aircraftId = 20000 + static_cast<std::uint32_t>(g_liveAircraft.size());
        PositionSample first;
        first.latitude = at.lat;
        first.longitude = at.lon;
        first.airborne = onGround ? 0 : 1;
        first.duePass = kNeverDue;
        LiveAircraft& a = g_liveAircraft.emplace_back(aircraft, first, 1000.0);
        a.position = {at.lat, at.lon, 0.0, 0.0, headingDeg * kDeg2Rad, altitude, 0.0, 0.0};
        a.onGround = onGround ? 1 : 0;
        a.phase = onGround ? PHASE_MOVING : PHASE_AIRBORNE;
        a.state = state;
        if (state == STATE_IN_SIM) a.objectId = object(callsign, at, altitude, onGround);
        return a;
    }

    Aircraft& parked(const std::string& callsign, const LatLon& stand, int state = STATE_IN_SIM) {
        Aircraft s(flight(callsign), SIZE_LARGE, kHalfSpan);
        s.aircraftId = 1 + static_cast<std::uint32_t>(g_staticParked.size());
        s.standPosition = stand;
        s.state = state;
        if (state == STATE_IN_SIM) s.objectId = object(callsign, stand, 0.0, true);
        return g_staticParked.emplace_back(s);
    }

    static Flight flight(const std::string& callsign) {
        Flight f;
        f.callsign = f.knownCallsign = callsign;
        f.model = "A320";
        return f;
    }

    // Callsigns of the objects this test made that the simulator no longer shows.
    std::set<std::string> removed() {
        for (int pass = 0; pass < 30; ++pass) {
            gf_trafficTick();
            frames(1);
        }
        std::set<std::string> gone;
        for (const auto& [id, callsign] : objectCallsigns) {
            const auto o = sim().object(id);
            if (!o || o->removing) gone.insert(callsign);
        }
        return gone;
    }

    std::map<std::uint32_t, std::string> objectCallsigns;
};

}  // namespace vrn::test
