#pragma once
// One real aircraft replayed record by record at its own times through the traffic pass, with Zurich
// as the park airport: the records of the shared ADS-B recordings (excerpts, or whole tracks).
#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "airports/airport_files.h"
#include "core/utilities.h"
#include "simlink/user_aircraft.h"
#include "engine_fixture.h"

namespace vrn::test {

inline constexpr int kPlayDelay = 3000;    // passes between a record and its due pass

// An A320 with its class's turn, climb and push-back rates.
inline Aircraft a320(const Flight& f, std::uint32_t id) {
    Aircraft ac(f, SIZE_LARGE, 0.0097);
    ac.aircraftId = id;
    ac.groundTurnRate = 0.07 * kDeg2Rad;
    ac.maxClimbPerPass = 0.6;
    ac.pushBackSpeed = 4.0;
    ac.liveryTitle = "Title A";
    return ac;
}
// An aircraft of a size class with that class's rates: an A320, or a helicopter (an EC45, 11 m rotor).
inline Aircraft ofClass(const Flight& f, std::uint32_t id, SizeClass c) {
    if (c != SIZE_ROTORCRAFT) return a320(f, id);
    Aircraft ac(f, SIZE_ROTORCRAFT, 0.003);
    ac.sizeClass = SIZE_ROTORCRAFT;
    ac.aircraftId = id;
    ac.groundTurnRate = 0.2 * kDeg2Rad;
    ac.maxClimbPerPass = 0.75;
    ac.pushBackSpeed = 5.0;
    ac.liveryTitle = "Title A";   // the simulator's one model
    return ac;
}

// ---- Real recorded sequences (excerpts of the shared ADS-B recordings at Zurich) ----

// A record and the second it arrives; its time stamp is that second unless it carries its own.
struct Recorded { double t; PositionSample s; std::optional<double> stamp{}; };

inline constexpr double kZurichFt = 1416.0;

// The records of a file of traffic datagrams as the parser gives them: altitude 0 on the ground, else
// the true altitude on their day (its QNH from their own change between the ground and the air at the
// field, unless `dayQnh` gives it), times from the first.
inline std::vector<Recorded> recordsOf(const std::filesystem::path& file, double fieldFt, int dayQnh = 0) {
    const int qnh = dayQnh != 0 ? dayQnh : recordedDayQnh(file, fieldFt);
    std::vector<Recorded> out;
    for (const std::string& line : readLinesOf(file)) {
        const std::vector<std::string> f = gf_splitAtComma(line);
        PositionSample s;
        const bool ground = f[6] == "1";
        std::tie(s.latitude, s.longitude, s.altitude, s.verticalSpeed, s.track, s.groundSpeed) =
            std::tuple{std::stod(f[2]), std::stod(f[3]), ground ? 0.0 : trueAltitudeOnDay(std::stod(f[4]), qnh), std::stod(f[5]),
                       std::stod(f[7]), std::stod(f[8])};
        s.trueAirspeed = s.groundSpeed;
        s.airborne = ground ? 0 : 1;
        out.push_back({std::stod(f[14]), s});
    }
    const double first = out.empty() ? 0.0 : out.front().t;
    for (Recorded& r : out) r.t -= first;
    return out;
}

// (The excerpts are Zurich's.)
inline std::vector<Recorded> excerpt(const std::string& name, int dayQnh = 0) {
    return recordsOf(testDataPath("replay/excerpts/" + name + ".rttfc"), kZurichFt, dayQnh);
}

// A whole real track of the shared recordings.
inline std::vector<Recorded> realTrack(const std::string& name);

inline constexpr LatLon kZurich{47.4647, 8.5492};

// The airports of the shared recordings (position, elevation in ft): a track is replayed with the
// nearest as its park airport, its elevation the simulator's ground. The user stands at Zurich's
// reference point, as the excerpts have it; elsewhere two miles east of it, clear of the runways and
// taxiways (a user aircraft next to a taxiing one holds it back until it is airborne): at Reagan
// National across the river, 2 nm from the nearest of its recorded ground positions.
struct RecordedAirport { const char* icao; const char* iata; LatLon at; double feet; double userEastNm; };
inline constexpr RecordedAirport kRecordedAirports[] = {
    {"LSZH", "ZRH", kZurich, kZurichFt, 0.0},
    {"KIAD", "IAD", {38.9445, -77.4558}, 313.0, 2.0},
    {"YSSY", "SYD", {-33.9461, 151.1770}, 21.0, 2.0},
    {"KDCA", "DCA", {38.8521, -77.0377}, 14.0, 2.0},
};
inline const RecordedAirport& nearestRecordedAirport(const LatLon& p) {
    return *std::min_element(std::begin(kRecordedAirports), std::end(kRecordedAirports), [&](const auto& x, const auto& y) {
        return gf_distanceNm(x.at, p) < gf_distanceNm(y.at, p);
    });
}

inline std::vector<Recorded> realTrack(const std::string& name) {
    const std::filesystem::path file = std::filesystem::path(VARNEL_REALDATA) / "tracks" / (name + ".rttfc");
    const std::vector<std::string> first = gf_splitAtComma(readLinesOf(file).at(0));
    return recordsOf(file, nearestRecordedAirport({std::stod(first[2]), std::stod(first[3])}).feet);
}

// One real aircraft fed record by record at its own times through the traffic pass, Zurich the park airport.
class ReplayTest : public EngineTest {
protected:
    // Heading in radians; `clock` the simulator's seconds at the frame that showed it.
    struct Seen { int pass; LatLon p; double altitude, heading; bool onGround; int phase; std::uint32_t object = 0; bool rejoining = false; bool madeUp = false;
                  double clock = 0.0; };
    std::vector<Seen> trace;
    int objectFrom = -1;   // the pass its first object showed in the simulator (-1: none yet), and where
    LatLon objectFromAt{};
    std::uint32_t id = 0x4891b6;
    std::string callsign = "ENT57BW";
    int fps = 100;   // the simulator's frames a second; the traffic pass runs a hundred times a second
    bool throughQueue = false;   // records handed over as the reader does (one per aircraft waits)
    std::string model = "A320";   // the replayed aircraft's type and its size class
    SizeClass sizeClass = SIZE_LARGE;

    void SetUp() override {
        ground = kZurichFt;
        frameRate = fps;
        userAt = kZurich;
        EngineTest::SetUp();
        g_tickCounter = 0;
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = Airport{"LSZH", "ZRH", kZurich.lat, kZurich.lon, kZurichFt};
    }
    void TearDown() override {
        std::lock_guard lock(g_standsMutex);
        g_stands.clear();
        g_apfLoaded = false;
        EngineTest::TearDown();
    }
    // True, with the test marked skipped and why, when the whole real tracks are not here: they live
    // in ../shared/realdata, which a clone of the project alone lacks. A test body: `if (...) return;`.
    bool skippedWithoutRealTracks() {
        if (realDataAvailable()) return false;
        [] { GTEST_SKIP() << "../shared/realdata is absent: the whole real tracks are not here"; }();
        return true;
    }
    void stand(const char* name, const LatLon& at, double headingDeg, double radiusM) {
        std::lock_guard lock(g_standsMutex);
        g_stands.emplace_back(std::vector<StandUse>{}, std::string(name), StandPlacement{at.lat, at.lon, headingDeg * kDeg2Rad},
                              radiusM, false, false, false);
        g_stands.back().number = static_cast<std::uint32_t>(g_stands.size());
        g_apfLoaded = true;
    }
    // The park airport, the user and the simulator's ground at the recorded airport nearest the first record.
    void atAirportOf(const Recorded& first) {
        const RecordedAirport& ap = nearestRecordedAirport({first.s.latitude, first.s.longitude});
        const LatLon user = ap.userEastNm > 0.0 ? gf_destinationPoint(ap.at, kPi / 2.0, ap.userEastNm * kFeetPerNm) : ap.at;
        if (user.lat == userAt.lat && user.lon == userAt.lon) return;
        std::tie(ground, userAt) = std::tuple{ap.feet, user};
        sim().setGroundElevation(ground);
        gf_resetUserAircraft();   // as a new run does: the move is no teleport that restarts the link
        sim().moveUser({0.0, userAt.lat, userAt.lon, ground, 0.0, 0.0, true});
        std::tie(g_userPosition.latitude, g_userPosition.longitude, g_userPosition.altitude) = std::tuple{userAt.lat, userAt.lon, ground};
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = Airport{ap.icao, ap.iata, ap.at.lat, ap.at.lon, ap.feet};
    }
    // Feeds the records at their times (a pass is 10 ms), then runs `extraPasses` more, or with
    // `untilRemoved` on until the aircraft is gone (ten minutes at most).
    void replay(const std::vector<Recorded>& records, int extraPasses, bool untilRemoved = false) {
        if (!records.empty()) atAirportOf(records.front());
        objectFrom = -1;
        Flight f = flight(callsign);
        f.airline = callsign.substr(0, 3);
        f.model = model;
        std::size_t next = 0;
        const int end = static_cast<int>(records.back().t * 100.0) + kPlayDelay + extraPasses;
        int framesRun = 0;
        for (int pass = 0; pass < end || (untilRemoved && gf_liveById(id) && pass < end + 60000); ++pass) {
            for (; next < records.size() && records[next].t * 100.0 <= pass; ++next) {
                TrafficUpdate u{};
                u.flight = f;
                u.hexid = id;
                u.timeStamp = 1.0e9 + records[next].stamp.value_or(records[next].t);
                u.sample = records[next].s;
                u.sample.duePass = g_tickCounter + kPlayDelay;
                // The first record, or the first after the aircraft was removed, makes a new one.
                if (next == 0 || !gf_liveById(id)) {
                    g_liveAircraft.emplace_back(ofClass(f, id, sizeClass), u.sample, u.timeStamp);
                    continue;
                }
                if (throughQueue) {
                    gf_queueTrafficUpdate(u);
                    continue;
                }
                std::lock_guard lock(g_trafficMutex);
                g_trafficQueue.push_back(u);
            }
            gf_trafficTick();
            for (; framesRun * 100 < (pass + 1) * fps; ++framesRun) frames(1);
            const LiveAircraft* a = gf_liveById(id);
            if (const auto o = a && a->objectId != 0 && objectFrom < 0 ? sim().object(a->objectId) : std::nullopt)
                std::tie(objectFrom, objectFromAt) = std::tuple{pass, LatLon{o->lat, o->lon}};
            if (!a || a->state != STATE_IN_SIM) continue;
            if (const auto o = sim().object(a->objectId))
                trace.push_back({pass, {o->lat, o->lon}, o->altitude, o->heading, a->onGround != 0, a->phase, a->objectId, a->rejoining != 0,
                                 a->extrapolationCount > 0, sim().clockSeconds()});
        }
    }
    // Seconds the aircraft runs behind its record at this pass, beyond the play delay: the time at
    // which the real aircraft was nearest to where this one is.
    static double behind(const Seen& s, const std::vector<Recorded>& records) {
        double best = 1e9, t = 0.0;
        for (std::size_t i = 0; i + 1 < records.size(); ++i) {
            const LatLon a = {records[i].s.latitude, records[i].s.longitude};
            const LatLon b = {records[i + 1].s.latitude, records[i + 1].s.longitude};
            const double ab = gf_distanceNm(a, b);
            const double u = ab > 0 ? std::clamp(gf_distanceNm(a, s.p) * std::cos(gf_headingDifference(
                gf_initialBearing(a, b), gf_initialBearing(a, s.p))) / ab, 0.0, 1.0) : 0.0;
            const LatLon q = gf_destinationPoint(a, gf_initialBearing(a, b), u * ab * kFeetPerNm);
            const double d = gf_distanceNm(q, s.p);
            if (d < best) best = d, t = records[i].t + u * (records[i + 1].t - records[i].t);
        }
        return s.pass / 100.0 - kPlayDelay / 100.0 - t;
    }
    // Seconds in which the aircraft rolls on the ground with its heading more than 30 degrees off its way.
    static int sidewaysSeconds(const std::vector<Seen>& trace, int& moving) {
        int sideways = 0;
        moving = 0;
        for (std::size_t i = 100; i < trace.size(); i += 100) {
            const auto& s = trace[i];
            const auto& b = trace[i - 100];
            if (!s.onGround || !b.onGround || gf_distanceNm(b.p, s.p) * 1852.0 < 1.5) continue;
            ++moving;
            if (std::fabs(gf_headingDifference(gf_initialBearing(b.p, s.p), s.heading)) > 30.0 * kDeg2Rad) ++sideways;
        }
        return sideways;
    }
};

}  // namespace vrn::test
