#pragma once
// The traffic engine on a scratch program folder: a small type database and livery index, the
// simulated simulator connected with a manual clock, the engine's lists empty, and helpers that
// feed records into the traffic queue and run passes with the SimConnect thread's frames between.
#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <tuple>

#include "../liveries/liveries_fixture.h"
#include "liveries/regcodes.h"
#include "airports/airport_list.h"
#include "feed/udp_readers.h"
#include "platform/simconnect/simulated_simulator.h"
#include "simlink/command_queues.h"
#include "simlink/flight_plan.h"
#include "simlink/sim_client.h"
#include "simlink/sim_event.h"
#include "simlink/sim_services.h"
#include "simlink/user_aircraft.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {

inline simconnect::SimulatedSimulator& engineSim() { return simconnect::gf_simulator(); }

// The user aircraft of the scenario: on the ground at this point.
inline constexpr LatLon kUser{51.4700, -0.4543};

inline const std::tuple<std::string, std::string, std::string> kLiveries[] = {
    {"BAW", "A320", "BAW A320"}, {"BAW", "A319", "BAW A319"}, {"DLH", "A320", "DLH A320"},
    {"ZZZ", "A320", "Generic A320"}, {"KLM", "B744", "KLM B744"}};

class EngineTest : public LiveriesTest {
public:
    void SetUp() override {
        LiveriesTest::SetUp();
        readDbase({{"G-EUPA", "BAW", "A319", "", false}});
        for (const auto& [airline, model, title] : kLiveries)
            g_liveries.push_back(LiveryData{airline, model, title, "", 0, false});
        gf_sortUniqueLiveries();
        gf_processScannedLiveries();
        LOG.set(true);
        MAX_LIVE.set(MAX_LIVE.defaultValue);
        BLOCK_CALLSIGN.set("");
        COLLISION_USER_GND.set(true);
        COLLISION_USER_AIR.set(true);
        GUID_CHANGES.set(false);
        LATERAL_RANGE.set(40);
        MSFS_2020.set(false);
        simconnect::SimScenario s;
        s.version = 2024;
        for (const auto& livery : kLiveries) s.installedTitles.push_back(std::get<2>(livery));
        s.user.start = {0.0, kUser.lat, kUser.lon, 83.0, 270.0, 0.0, true};
        s.groundElevation = 83.0;
        engineSim().reset(s, simconnect::ClockMode::Manual);
        gf_resetSimLinkForNextRun();
        gf_resetSimLinkServices();
        gf_simLinkServices().exitRequested = [] { return false; };
        gf_takeSimEvents();
        ASSERT_TRUE(gf_simClientOpen());
        frames(3);
        ASSERT_NE(g_hSimConnect.load(), nullptr) << g_mainWindow.g_errorText.get();
        gf_makeOrigDestFolder();
        g_tickCounter = 0;
        g_frameRate = 30.0f;
        gf_resetParkAirport();
        gf_resetTraffic();
        g_userOnGround = true;
        g_userPosition = UserAircraftBlock{};
        g_userPosition.latitude = kUser.lat;
        g_userPosition.longitude = kUser.lon;
        g_userPosition.altitude = 83.0;
        gf_setMainLoopRunning(true);
    }
    void TearDown() override {
        gf_setMainLoopRunning(false);
        gf_resetParkAirport();
        if (g_hSimConnect.load()) gf_closeSimConnectQuietly();
        gf_resetSimLinkForNextRun();
        gf_resetSimLinkServices();
        LiveriesTest::TearDown();
    }

    // One feed record, queued as the Traffic Reader queues it (due 30 s after it arrived).
    struct Record {
        std::uint32_t id = 0x400001;
        std::string callsign = "BAW12";
        std::string model = "A320";
        std::string registration;
        LatLon at{51.6, -0.45};
        double altitude = 5000.0;   // 0: on the ground
        double groundSpeed = 250.0;
        double track = 180.0;
        double time = 1000.0;       // feed time stamp, seconds
        std::string departure = "EGLL";
        std::string destination = "LFPG";
    };
    static TrafficUpdate update(const Record& r) {
        TrafficUpdate u;
        u.flight.callsign = r.callsign;
        u.flight.model = r.model;
        u.flight.registration = r.registration;
        u.flight.departure = r.departure;
        u.flight.destination = r.destination;
        u.hexid = r.id;
        u.timeStamp = r.time;
        PositionSample& s = u.sample;
        s.latitude = r.at.lat;
        s.longitude = r.at.lon;
        s.altitude = r.altitude;
        s.airborne = r.altitude > 0.0;
        s.groundSpeed = r.groundSpeed;
        s.trueAirspeed = r.groundSpeed;
        s.track = r.track;
        s.duePass = g_tickCounter.load() + kPlayDelayPasses;
        return u;
    }
    static void feed(const Record& r) {
        std::lock_guard lock(g_trafficMutex);
        g_trafficQueue.push_back(update(r));
    }
    // `count` records of one aircraft flying south, `seconds` apart, from `first`.
    static void feedTrack(Record first, int count, double seconds) {
        for (int i = 0; i < count; ++i) {
            feed(first);
            first.time += seconds;
            first.at = gf_destinationPoint(first.at, first.track * kDeg2Rad, first.groundSpeed * 6076.11549 * seconds / 3600.0);
        }
    }
    // Simulator frames, each dispatched as the SimConnect thread would.
    static void frames(int n) {
        for (int i = 0; i < n; ++i) {
            engineSim().step(1);
            gf_simClientDispatchOnce();
        }
    }
    // n traffic passes with a simulator frame after every third (30 frames a second).
    static void passes(int n) {
        for (int i = 0; i < n; ++i) {
            gf_trafficTick();
            if (g_tickCounter.load() % 3 == 0) frames(1);
        }
    }
    static std::size_t aiObjects() { return engineSim().aiObjectCount(); }
    static LiveAircraft* live(std::uint32_t id = 0x400001) { return gf_liveById(id); }
};

}  // namespace vrn::test
