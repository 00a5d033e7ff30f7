#pragma once
// The traffic engine on its real lists beside a connected simulated simulator with a manual clock;
// aircraft put straight onto the lists (live(), parked()) or fed through the traffic queue (FeedTest).
#include <tuple>

#include "../liveries/liveries_fixture.h"
#include "airports/airport_list.h"
#include "app/run_thread.h"
#include "feed/udp_readers.h"
#include "liveries/regcodes.h"
#include "records/stand_records.h"
#include "simlink/flight_plan.h"
#include "simlink/link_fixture.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {

inline constexpr LatLon kUser{51.4700, -0.4543};
inline constexpr double kFeetPerNm = 6076.11549;

class EngineTest : public LinkFixture {
protected:
    static constexpr double kHalfSpan = 0.0097;   // A320, nm
    static constexpr int kNeverDue = 1 << 29;     // samples that never fall due: nothing moves by itself

    double ground = 83.0, frameRate = 30.0;
    LatLon userAt = kUser;
    std::vector<std::string> titles{"Title A"};

    void SetUp() override {
        gf_installRunHooks();
        LinkFixture::SetUp();
        auto s = baseScenario();
        s.frameRate = frameRate;
        s.groundElevation = ground;
        s.installedTitles = titles;
        s.user.start = {0.0, userAt.lat, userAt.lon, ground, 0.0, 0.0, true};
        startWith(s);
        connect();
        gf_resetParkAirport();
        g_liveAircraft.reserve(64);   // references handed out stay valid
        g_tickCounter = 1;
        for (CheckBoxParameter* on : {&LOG, &GUID_CHANGES, &COLLISION_USER_AIR, &COLLISION_USER_GND,
                                      &COLLISION_LIVE_PARKED_GND})
            on->set(true);
        // (A livery set without a kind unticks its box: the next test starts with the user's defaults.)
        for (CheckBoxParameter* kind : {&LIGHT_AIRCRAFT, &HIGH_PERF_AIRCRAFT, &HELICOPTERS}) kind->set(kind->defaultValue);
        g_userPosition = {};
        std::tie(g_userPosition.latitude, g_userPosition.longitude, g_userPosition.altitude) =
            std::tuple{userAt.lat, userAt.lon, ground};
        g_userOnGround = true;
        g_userHalfWingspan = kHalfSpan;
        gf_forgetUserCollisionCheck();
    }
    void TearDown() override {
        gf_setMainLoopRunning(false);
        gf_releaseStatus();   // a warning kept on the status line is not the next test's
        gf_resetParkAirport();
        LinkFixture::TearDown();
        gf_clearLiveryIndex();
        gf_clearTypeDatabase();
        g_liveries.clear();
        gf_setDataFolderForTests({});
        m_cwd.reset();
    }
    void fresh() {
        gf_resetParkAirport();
        objectCallsigns.clear();
        g_tickCounter = 1;
    }

    static LatLon user() { return gf_userPositionLatLon(); }
    static LatLon from(const LatLon& at, double bearingDeg, double nm) {
        return gf_destinationPoint(at, bearingDeg * kDeg2Rad, nm * kFeetPerNm);
    }
    static void setParkAirport(const std::string& code) {
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = Airport{code, "LHR", kUser.lat, kUser.lon, 83.0};
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
        std::tie(first.latitude, first.longitude, first.airborne, first.duePass) =
            std::tuple{at.lat, at.lon, onGround ? 0 : 1, kNeverDue};
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
        passes(30, 1);
        std::set<std::string> gone;
        for (const auto& [id, callsign] : objectCallsigns) {
            const auto o = sim().object(id);
            if (!o || o->removing) gone.insert(callsign);
        }
        return gone;
    }
    std::map<std::uint32_t, std::string> objectCallsigns;

    void passes(int n, int frameEvery = 3) {
        for (int i = 0; i < n; ++i) {
            gf_trafficTick();
            if (g_tickCounter.load() % frameEvery == 0) frames(1);
        }
    }
    static std::size_t aiObjects() { return sim().aiObjectCount(); }
    static LiveAircraft* live(std::uint32_t id = 0x400001) { return gf_liveById(id); }

    // ---- Through the traffic queue, with a type database and livery index in a scratch folder ----
    std::unique_ptr<ScopedCurrentDir> m_cwd;
    inline static const std::tuple<std::string, std::string, std::string> kLiveries[] = {
        {"BAW", "A320", "BAW A320"}, {"BAW", "A319", "BAW A319"}, {"DLH", "A320", "DLH A320"},
        {"ZZZ", "A320", "Generic A320"}, {"KLM", "B744", "KLM B744"}, {"PVT", "C152", "PVT C152"}};

    void loadLiveries() {
        for (const char* sub : {"output/info", "appdata"}) std::filesystem::create_directories(dir / sub);
        m_cwd = std::make_unique<ScopedCurrentDir>(dir.path());
        gf_setDataFolderForTests(dir / "appdata");
        saveDoc(makeDbase({{"G-EUPA", "BAW", "A319", "", false}}), dir / "input" / "dbase.xml");
        ASSERT_TRUE(gf_readDbase());
        for (const auto& [airline, model, title] : kLiveries)
            g_liveries.push_back(LiveryData{airline, model, title, "", 0, false});
        gf_sortUniqueLiveries();
        gf_processScannedLiveries();
        gf_resetLiveryMatching();
        RANDOM.set(false);
        gf_resetSimLinkServices();   // the real type database answers the link
        gf_simLinkServices().exitRequested = [] { return false; };
        gf_makeOrigDestFolder();
        MAX_LIVE.set(MAX_LIVE.defaultValue);
        BLOCK_CALLSIGN.set("");
        GUID_CHANGES.set(false);
        LATERAL_RANGE.set(40);
        gf_setMainLoopRunning(true);
    }

    struct Record {
        std::uint32_t id = 0x400001;
        std::string callsign = "BAW12", model = "A320", registration{};
        LatLon at{51.6, -0.45};
        double altitude = 5000.0, groundSpeed = 250.0, track = 180.0, time = 1000.0;   // altitude 0: on the ground
        std::string departure = "EGLL", destination = "LFPG";
    };
    static void feed(const Record& r) {
        TrafficUpdate u;
        u.flight = Flight{"", r.model, r.departure, r.destination, r.callsign, "", "", r.registration};
        u.hexid = r.id;
        u.timeStamp = r.time;
        PositionSample& s = u.sample;
        std::tie(s.latitude, s.longitude, s.altitude, s.airborne) =
            std::tuple{r.at.lat, r.at.lon, r.altitude, r.altitude > 0.0};
        s.groundSpeed = s.trueAirspeed = r.groundSpeed;
        s.track = r.track;
        s.duePass = g_tickCounter.load() + kPlayDelayPasses;
        std::lock_guard lock(g_trafficMutex);
        g_trafficQueue.push_back(u);
    }
    // `count` records of one aircraft along its track, `seconds` apart, from `first`.
    static void feedTrack(Record first, int count, double seconds) {
        for (int i = 0; i < count; ++i) {
            feed(first);
            first.time += seconds;
            first.at = gf_destinationPoint(first.at, first.track * kDeg2Rad, first.groundSpeed * kFeetPerNm * seconds / 3600.0);
        }
    }
};

// The engine fed through the traffic queue, with the installed liveries as titles.
class FeedTest : public EngineTest {
protected:
    void SetUp() override {
        titles.clear();
        for (const auto& livery : kLiveries) titles.push_back(std::get<2>(livery));
        EngineTest::SetUp();
        loadLiveries();
        g_tickCounter = 0;
        g_frameRate = 30.0f;
    }
};

}  // namespace vrn::test
