// The main job end to end: the real program, the RealTraffic stand-in playing an airport scene and
// the simulated simulator. What the stand-in sent (its recording) is compared with what the
// simulator's trace shows: every aircraft in range appears once, follows its fed track, never below
// the ground, ground aircraft end at a stand, titles come from the installed packages, and nothing is
// left behind after the exit. A second run adds broken datagrams and two dropped links.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "core/format.h"
#include "core/geodesy.h"
#include "core/utilities.h"
#include "support/test_support.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

constexpr double kGroundElevationFt = 83.0;
constexpr LatLon kUser{51.4713, -0.4877};
constexpr double kInRangeNm = 7.0;   // inside the automatic range on the ground (8 nm)
constexpr double kRunSeconds = 240.0;

struct FedPoint {
    double offset;   // seconds after the feed started
    LatLon at;
    bool ground;
    bool toHere;     // bound for the scene's airport
    double stamp;    // the datagram's time stamp: the stand-in's clock when it was sent
};

struct TracedPoint {
    double t;
    LatLon at;
    double altitude;
    bool ground;
    double wall;     // the wall clock when the simulator wrote the frame
};

struct SceneRun {
    std::map<std::string, std::vector<FedPoint>> fed;         // by callsign
    std::map<std::string, std::vector<TracedPoint>> traced;   // by tail number, live aircraft only
    std::vector<std::string> createdTitles;
    std::set<std::string> createdTails;
    std::map<std::string, double> createdAt;                  // by tail number: trace time of its first creation
    std::map<std::string, std::string> registrations;         // fed, by callsign
    double clockStart = 0.0;                                  // wall clock of trace time 0
    std::set<long> created, removed, removedWithClient;
    std::size_t duplicateSightings = 0;
    double lowestAltitude = 1e9;
    std::size_t objectsInLastSnapshot = 0;
    std::map<std::string, TracedPoint> lastSeen;
    std::vector<std::pair<double, std::size_t>> liveCounts;   // live objects per snapshot, by trace time
    int exitStatus = -1;
    std::string output;
};


std::string lf_sceneFeed(const std::string& extra) {
    const fs::path root = fs::path(VARNEL_TEST_DATA).parent_path().parent_path();
    return "--scene " + (root / "tests" / "data" / "e2e" / "scene.txt").string() + extra;
}

// One run of scripts/run-program with the given feed options (and settings lines for parameters.xml);
// the recording and the trace read back.
SceneRun lf_runOnce(const TempDir& stage, int seconds, const std::string& feed, unsigned salt,
                    const std::string& settings) {
    SceneRun run;
    const fs::path build = VARNEL_BINARY_DIR;
    const fs::path root = fs::path(VARNEL_TEST_DATA).parent_path().parent_path();
    const int base = freeLoopbackPortBase(salt);
    writeFile(stage / "config" / "Varnel" / "parameters.xml",
              "<parameters>\n<parameter name=\"PORT_NUMBER\" value=\"" + std::to_string(base) + "\" />\n" + settings +
                  "</parameters>\n");
    const std::string command = "VARNEL_FEED='" + feed + "' VARNEL_RUN_SECONDS=" + std::to_string(seconds) +
                                " VARNEL_HEADLESS=1 VARNEL_STAGE_DIR=" + shellQuote(stage.path()) +
                                " VARNEL_PORT_BASE=" + std::to_string(base) + " XDG_RUNTIME_DIR=" +
                                shellQuote(stage.path()) + " " + shellQuote(root / "scripts" / "run-program") + " " +
                                shellQuote(build) + " > " + shellQuote(stage / "run.out") + " 2>&1";
    const int status = std::system(command.c_str());
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.output = readFile(stage / "run.out");

    std::ifstream rec(stage / "feed.rec");
    for (std::string line; std::getline(rec, line);) {
        std::istringstream in(line);
        double offset = 0.0;
        std::string datagram;
        in >> offset >> datagram;
        const std::vector<std::string> f = gf_splitAtComma(datagram);
        if (f.size() < 14) continue;
        run.fed[f[9]].push_back({offset, {std::stod(f[2]), std::stod(f[3])}, f[6] == "1", f[13] == "EGLL", std::stod(f[14])});
        run.registrations[f[9]] = f[11];
    }
    std::ifstream trace(stage / "sim" / "trace.jsonl");
    for (std::string line; std::getline(trace, line);) {
        const nlohmann::json j = nlohmann::json::parse(line);
        if (j.contains("event")) {
            const std::string event = j["event"];
            const long id = j.value("id", 0L);
            if (event == "clockStart") {
                run.clockStart = std::stod(j["text"].get<std::string>());
            } else if (event == "created") {
                const std::string text = j["text"];
                run.created.insert(id);
                run.createdTails.insert(text.substr(0, text.find(' ')));
                run.createdAt.emplace(text.substr(0, text.find(' ')), j["t"].get<double>());
                run.createdTitles.push_back(text.substr(text.find(' ') + 1));
            } else if (event == "removed") {
                run.removed.insert(id);
            } else if (event == "removedWithClient") {
                run.removedWithClient.insert(id);
            }
            continue;
        }
        std::set<std::string> tails;
        run.objectsInLastSnapshot = 0;
        std::size_t live = 0;
        for (const nlohmann::json& o : j["objects"]) {
            if (o.value("user", false)) continue;
            ++run.objectsInLastSnapshot;
            const std::string tail = o["tail"];
            if (!tails.insert(tail).second) ++run.duplicateSightings;
            const TracedPoint p{j["t"], {o["lat"], o["lon"]}, o["alt"], o["onGround"], j.value("wall", 0.0)};
            run.lowestAltitude = std::min(run.lowestAltitude, p.altitude);
            if (tail.empty() || tail.back() == '*') continue;   // static parked aircraft
            ++live;
            run.traced[tail].push_back(p);
            run.lastSeen[tail] = p;
        }
        run.liveCounts.emplace_back(j["t"], live);
    }
    return run;
}

// Metres from a point to the nearest leg of a fed track.
double lf_metresFromTrack(const LatLon& p, const std::vector<FedPoint>& track) {
    double best = 1e12;
    const double k = std::cos(p.lat * kDeg2Rad);
    for (std::size_t i = 0; i + 1 < track.size(); ++i) {
        // Local metres around p; legs are short enough for a flat earth.
        const auto local = [&](const LatLon& q) {
            return std::pair<double, double>{(q.lat - p.lat) * 111132.95, (q.lon - p.lon) * 111132.95 * k};
        };
        const auto [ay, ax] = local(track[i].at);
        const auto [by, bx] = local(track[i + 1].at);
        const double dx = bx - ax, dy = by - ay;
        const double len = dx * dx + dy * dy;
        const double u = len > 0 ? std::clamp(-(ax * dx + ay * dy) / len, 0.0, 1.0) : 0.0;
        best = std::min(best, std::hypot(ax + u * dx, ay + u * dy));
    }
    if (track.size() == 1) best = gf_distanceNm(p, track.front().at) * 1852.0;
    return best;
}

double lf_percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

std::set<std::string> lf_installedTitles() {
    std::set<std::string> titles;
    std::ifstream in(fs::path(VARNEL_TEST_DATA).parent_path().parent_path() / "data" / "liveries" / "sample_packages.txt");
    for (std::string line; std::getline(in, line);)
        if (line.rfind("livery ", 0) == 0) titles.insert(line.substr(7, line.find('|') - 7));
    return titles;
}

SceneRun lf_run(const TempDir& stage, int seconds, const std::string& feed, unsigned salt,
                const std::string& settings = "") {
    for (unsigned attempt = 0;; ++attempt) {
        SceneRun run = lf_runOnce(stage, seconds, feed, salt + 1000u * attempt, settings);
        if (attempt < 2 && portTakenMeanwhile(run.exitStatus, run.output, stage / "program" / "Log.txt")) continue;
        return run;
    }
}

bool lf_toolsBuilt() {
    const fs::path build = VARNEL_BINARY_DIR;
    for (const char* tool : {"src/varnel", "tools/varnel-data", "tools/rtfeed"})
        if (!fs::exists(build / tool)) return false;
    return true;
}

TEST(SceneEndToEnd, AircraftFollowTheirFeedParkAndLeaveNothingBehind) {
    if (!lf_toolsBuilt()) GTEST_SKIP() << "the program and its tools are not built";
    TempDir stage;
    const SceneRun run = lf_run(stage, static_cast<int>(kRunSeconds), lf_sceneFeed(""), 1);
    ASSERT_EQ(run.exitStatus, 0) << run.output;

    // Titles from the installed packages, and one object per aircraft at a time.
    const std::set<std::string> installed = lf_installedTitles();
    ASSERT_FALSE(run.createdTitles.empty());
    for (const std::string& title : run.createdTitles) EXPECT_TRUE(installed.count(title)) << title;
    EXPECT_EQ(run.duplicateSightings, 0u);
    EXPECT_GE(run.lowestAltitude, kGroundElevationFt - 1.0);

    // Every fed aircraft that stayed in range for a minute, early enough to be played, appears.
    for (const auto& [callsign, track] : run.fed) {
        const auto inRange = std::count_if(track.begin(), track.end(), [](const FedPoint& p) {
            return p.offset < kRunSeconds - 90.0 && gf_distanceNm(p.at, kUser) < kInRangeNm;
        });
        if (inRange >= 60) {
            EXPECT_TRUE(run.createdTails.count(callsign)) << callsign;
        }
    }

    // Each aircraft stays near the track it was fed.
    std::vector<double> air, ground;
    for (const auto& [tail, points] : run.traced) {
        const auto fed = run.fed.find(tail);
        ASSERT_NE(fed, run.fed.end()) << tail << " was never fed";
        for (const TracedPoint& p : points) (p.ground ? ground : air).push_back(lf_metresFromTrack(p.at, fed->second));
    }
    const double air95 = lf_percentile(air, 0.95), ground95 = lf_percentile(ground, 0.95);
    RecordProperty("air_p95_m", std::to_string(air95));
    RecordProperty("ground_p95_m", std::to_string(ground95));
    std::cout << "distance from the fed track, 95th percentile: air " << air95 << " m (" << air.size()
              << " samples, max " << lf_percentile(air, 1.0) << " m), ground " << ground95 << " m (" << ground.size()
              << " samples, max " << lf_percentile(ground, 1.0) << " m)\n";
    EXPECT_LT(air95, 30.0);
    EXPECT_LT(ground95, 60.0);

    // An arrival that reached its stand in the feed early enough to be played (30 s later) stands on it
    // in the simulator at the end.
    int arrivalsParkedInTime = 0;
    for (const auto& [callsign, track] : run.fed) {
        const FedPoint& end = track.back();
        const bool arrival = end.toHere && end.ground;
        const auto reached = std::find_if(track.begin(), track.end(), [&](const FedPoint& p) {
            return gf_distanceNm(p.at, end.at) * 1852.0 < 1.0;
        });
        if (!arrival || reached->offset > kRunSeconds - 60.0) continue;
        ++arrivalsParkedInTime;
        const auto last = run.lastSeen.find(callsign);
        ASSERT_NE(last, run.lastSeen.end()) << callsign;
        EXPECT_TRUE(last->second.ground) << callsign;
        EXPECT_LT(gf_distanceNm(last->second.at, end.at) * 1852.0, 20.0) << callsign << " is not at its stand";
    }
    EXPECT_GE(arrivalsParkedInTime, 1) << "no arrival reached its stand in time";

    // A departure that lifted off in the feed early enough to be played takes off in the simulator.
    int departuresInTime = 0;
    for (const auto& [callsign, track] : run.fed) {
        if (track.empty() || !track.front().ground) continue;
        const auto liftOff = std::find_if(track.begin(), track.end(), [](const FedPoint& p) { return !p.ground; });
        if (liftOff == track.end() || liftOff->offset > kRunSeconds - 60.0) continue;
        ++departuresInTime;
        const auto traced = run.traced.find(callsign);
        ASSERT_NE(traced, run.traced.end()) << callsign;
        EXPECT_TRUE(std::any_of(traced->second.begin(), traced->second.end(), [](const TracedPoint& p) {
            return !p.ground && p.altitude > kGroundElevationFt + 100.0;
        })) << callsign << " did not take off";
    }
    EXPECT_GE(departuresInTime, 1) << "no departure lifted off in time";

    // Nothing left behind: every object was removed by the program, none went only with its client.
    EXPECT_EQ(run.removed, run.created);
    EXPECT_TRUE(run.removedWithClient.empty());
    EXPECT_EQ(run.objectsInLastSnapshot, 0u);
}

// Metres from a point to the segment a-b (flat earth around the point).
double lf_metresFromSegment(const LatLon& p, const LatLon& a, const LatLon& b) {
    return lf_metresFromTrack(p, {{0.0, a, true, false, 0.0}, {0.0, b, true, false, 0.0}});
}

// No stand of the demo's Heathrow lies on a runway or on a taxi route of the scenes played there.
TEST(SceneEndToEnd, DemoStandsLieOffRunwaysAndTaxiRoutes) {
    if (!lf_toolsBuilt()) GTEST_SKIP() << "the program and its tools are not built";
    TempDir program;
    const fs::path root = fs::path(VARNEL_TEST_DATA).parent_path().parent_path();
    const std::string build = shellQuote(fs::path(VARNEL_BINARY_DIR) / "tools" / "varnel-data") + " airports --source " +
                              shellQuote(root / "data") + " --program " + shellQuote(program.path()) + " > /dev/null";
    ASSERT_EQ(std::system(build.c_str()), 0);
    pugi::xml_document apf;
    ASSERT_TRUE(apf.load_file((program / "airports/archive/stock/EGLL.xml").c_str()));
    std::vector<std::pair<std::string, LatLon>> stands;
    for (const pugi::xml_node stand : apf.child("parkpositions").children("parkpos"))
        stands.emplace_back(stand.attribute("id").value(),
                            LatLon{stand.attribute("latitude").as_double(), stand.attribute("longitude").as_double()});
    ASSERT_GT(stands.size(), 100u);
    for (const fs::path& scene : {root / "data" / "demo" / "traffic_scene.txt", root / "tests" / "data" / "e2e" / "scene.txt"}) {
        for (const std::string& line : readLinesOf(scene)) {
            std::istringstream in(line);
            std::string kind;
            in >> kind;
            std::vector<LatLon> points;
            double clearance = 0.0;   // metres from the centre line
            if (kind == "runway") {
                std::string name;
                LatLon a, b;
                in >> name >> a.lat >> a.lon >> b.lat >> b.lon;
                points = {a, b};
                clearance = 150.0;
            } else if (kind == "arrival-taxi" || kind == "departure-taxi") {
                for (std::string point; in >> point;) {
                    const auto comma = point.find(',');
                    points.push_back({std::stod(point.substr(0, comma)), std::stod(point.substr(comma + 1))});
                }
                clearance = 50.0;
            }
            for (std::size_t i = 0; i + 1 < points.size(); ++i)
                for (const auto& [id, at] : stands)
                    EXPECT_GT(lf_metresFromSegment(at, points[i], points[i + 1]), clearance)
                        << "stand " << id << " on " << line << " (" << scene.filename().string() << ")";
        }
    }
}

TEST(SceneEndToEnd, BrokenDatagramsAndDroppedLinksLeaveNothingBehind) {
    if (!lf_toolsBuilt()) GTEST_SKIP() << "the program and its tools are not built";
    TempDir stage;
    const SceneRun run = lf_run(stage, 150, lf_sceneFeed(" --malformed 30 --drop-link-at 70,105"), 2);
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    const std::string log = readFile(stage / "program" / "Log.txt");
    EXPECT_NE(log.find("RealTraffic gone?"), std::string::npos) << "the dropped links were not seen";
    EXPECT_GE(std::count(run.output.begin(), run.output.end(), '\n'), 1);
    EXPECT_FALSE(run.created.empty());
    EXPECT_EQ(run.removed, run.created);
    EXPECT_EQ(run.objectsInLastSnapshot, 0u);
    EXPECT_GE(run.lowestAltitude, kGroundElevationFt - 1.0);
}

// A busy sky: the stand-in generates 1,000 aircraft within 7 nm of the user (all in range: on the
// ground the automatic range is 8 nm), each reporting once a second. The program fills MAX_LIVE and
// holds it, every aircraft a few seconds at most behind its feed, the queue never full, and the exit
// removes every object, also one whose creation is still on its way. Two and a half minutes: after
// 30 s of play delay and half a minute of creations (two a second) MAX_LIVE is reached, and the last
// minute shows it held, also on two cores with the sanitizers.
TEST(SceneEndToEnd, ABusySkyKeepsItsAircraftCloseBehindTheirFeed) {
    if (!lf_toolsBuilt()) GTEST_SKIP() << "the program and its tools are not built";
    constexpr double kPlayDelayS = 30.0, kRunS = 150.0, kSteadyFromS = 90.0;
    constexpr std::size_t kMaxLive = 50;
    TempDir stage;
    const SceneRun run = lf_run(stage, static_cast<int>(kRunS), "--generate 1000 --radius 7 --elevation 83", 3,
                                "<parameter name=\"MAX_LIVE\" value=\"" + std::to_string(kMaxLive) + "\" />\n");
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    double feedEnd = 0.0;
    for (const auto& [callsign, track] : run.fed) {
        for (const FedPoint& p : track) ASSERT_LT(gf_distanceNm(p.at, kUser), kInRangeNm) << callsign;
        feedEnd = std::max(feedEnd, track.back().offset);
    }
    const auto reporting = std::count_if(run.fed.begin(), run.fed.end(), [&](const auto& f) { return f.second.back().offset > feedEnd - 0.5; });
    ASSERT_EQ(reporting, 1000) << "aircraft fed in the feed's last second";

    // MAX_LIVE reached and held. New flights keep appearing nearer than the farthest aircraft, which
    // then gives up its place: the simulator holds MAX_LIVE less those on their way in (two a second,
    // each some seconds in the creation queue), above it only those on their way out.
    const double endAt = run.liveCounts.back().first - 5.0;   // before the exit
    std::size_t most = 0, least = 1000000;
    for (const auto& [t, n] : run.liveCounts) {
        most = std::max(most, n);
        if (t >= kSteadyFromS && t <= endAt) least = std::min(least, n);
    }
    EXPECT_GE(static_cast<double>(least), 0.7 * kMaxLive);
    EXPECT_LE(most, kMaxLive + 3);

    // How far each aircraft in the air is behind its feed: the wall clock the simulator wrote with the
    // frame minus the time stamp of the fed point nearest to where the aircraft is, less the play delay.
    // The stand-in's aircraft fly their paths again and again: only the last two minutes of the feed count.
    std::vector<double> late, lateEarly, lateLast;   // all; from kSteadyFromS for 30 s; the last 30 s
    for (const auto& [tail, points] : run.traced) {
        const auto fed = run.fed.find(tail);
        ASSERT_NE(fed, run.fed.end()) << tail;
        for (const TracedPoint& p : points) {
            if (p.ground || p.t < kSteadyFromS || p.t > endAt) continue;
            const double wall = p.wall;
            double best = 1e12, stamp = 0.0;
            for (const FedPoint& f : fed->second) {
                if (f.ground || f.stamp < wall - 120.0 || f.stamp > wall) continue;
                if (const double d = gf_distanceNm(p.at, f.at); d < best) best = d, stamp = f.stamp;
            }
            if (best * 1852.0 >= 200.0) continue;
            late.push_back(wall - stamp - kPlayDelayS);
            if (p.t < kSteadyFromS + 30.0) lateEarly.push_back(late.back());
            if (p.t > endAt - 30.0) lateLast.push_back(late.back());
        }
    }
    ASSERT_GE(late.size(), 100u);
    const double lateMedian = lf_percentile(late, 0.5);
    const double late95 = lf_percentile(late, 0.95);
    std::cout << "live aircraft: at most " << most << ", at least " << least << " from " << kSteadyFromS
              << " s on; behind the feed beyond the play delay: median " << lateMedian << " s (95th percentile "
              << late95 << " s)\n";
    RecordProperty("behind_median_s", std::to_string(lateMedian));
    RecordProperty("behind_p95_s", std::to_string(late95));
    // A new aircraft starts a few seconds behind (its turn in the creation queue) and catches up; an
    // optimised build keeps the median within a second. The sanitizers' build on a busy machine drops
    // a sixth to a fifth of its passes, and its 30 s of play delay then take 36-38 s: medians of
    // 4.6-6.6 s were seen. What must never happen is a backlog, which grows from minute to minute.
    EXPECT_LT(lateMedian, 8.0);
    EXPECT_LT(late95, 12.0);
    ASSERT_FALSE(lateEarly.empty() || lateLast.empty());
    EXPECT_LT(lf_percentile(lateLast, 0.5), lf_percentile(lateEarly, 0.5) + 2.0) << "falling further behind";

    const std::string log = readFile(stage / "program" / "Log.txt");
    EXPECT_EQ(log.find("traffic queue full"), std::string::npos);
    // Nothing left behind, also under load with creations in flight at the exit.
    EXPECT_EQ(run.removed, run.created);
    EXPECT_TRUE(run.removedWithClient.empty());
    EXPECT_EQ(run.objectsInLastSnapshot, 0u);
}

// A relay sends each second's traffic in one burst: 300 datagrams at once from the stand-in's
// generator, the last ones of each burst always the same aircraft. The system's default receive
// buffer holds some 160 of these unread: a reader held up for a moment lost the rest of the burst.
// The buffer asked for holds the whole burst unread, also where the system's limit is Linux's
// default (the 416 KB it then grants hold some 330), so nothing is lost, and every aircraft that
// flies in range for a minute, and that the program has a livery for, is shown within a minute of
// its play delay.
TEST(SceneEndToEnd, EveryAircraftOfABurstInRangeIsShownWithinAMinute) {
    if (!lf_toolsBuilt()) GTEST_SKIP() << "the program and its tools are not built";
    constexpr double kRunS = 180.0, kPlayDelayS = 30.0, kWithinS = 60.0, kStayS = 60.0;
    TempDir stage;
    const SceneRun run = lf_run(stage, static_cast<int>(kRunS), "--generate 300 --elevation 83", 4);
    ASSERT_EQ(run.exitStatus, 0) << run.output;
    ASSERT_GT(run.clockStart, 0.0);
    ASSERT_FALSE(run.liveCounts.empty());
    ASSERT_GE(run.fed.size(), 300u);

    // The flights the program says it has no livery for are never shown.
    const std::string log = readFile(stage / "program" / "Log.txt");
    std::set<std::string> noLivery;
    if (const std::size_t list = log.find("No match found for:"); list != std::string::npos) {
        std::istringstream in(log.substr(list));
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line) && !line.empty()) {
            std::istringstream words(line);
            std::string airline, type, registration;
            if (words >> airline >> type >> registration) noLivery.insert(registration);
        }
    }
    std::string lost;
    int grantedKb = 0;
    for (const std::string& line : readLinesOf(stage / "program" / "Log.txt")) {
        if (line.find("datagrams lost") != std::string::npos || line.find("datagram lost") != std::string::npos)
            lost += "\n" + line;
        if (const std::size_t at = line.find("Traffic Reader receive buffer: "); at != std::string::npos)
            grantedKb = std::atoi(line.c_str() + at + std::strlen("Traffic Reader receive buffer: "));
    }
    EXPECT_GE(grantedKb, 400) << "the receive buffer granted is logged, and holds a burst";
    EXPECT_TRUE(lost.empty()) << lost;

    // Each aircraft's first minute in range, played from 30 s after it was sent: in the simulator
    // at most a minute after that.
    const double endWall = run.clockStart + run.liveCounts.back().first;
    std::size_t expected = 0;
    std::vector<std::string> late;
    for (const auto& [callsign, track] : run.fed) {
        if (noLivery.count(run.registrations.at(callsign))) continue;
        // Those parked for good go to a stand of their own choosing, not where they were fed.
        const LatLon first = track.front().at;
        const bool moves = std::any_of(track.begin(), track.end(),
                                       [first](const FedPoint& p) { return gf_distanceNm(p.at, first) * 1852.0 > 50.0; });
        if (!moves) continue;
        const auto shown = [](const FedPoint& p) { return gf_distanceNm(p.at, kUser) < kInRangeNm; };
        double from = -1.0;
        for (std::size_t i = 0; i < track.size() && from < 0.0; ++i) {
            if (!shown(track[i]) || (i > 0 && shown(track[i - 1]))) continue;
            std::size_t j = i;
            while (j + 1 < track.size() && shown(track[j + 1])) ++j;
            if (track[j].stamp - track[i].stamp >= kStayS) from = track[i].stamp;
        }
        if (from < 0.0 || from > endWall - kPlayDelayS - kWithinS - 10.0) continue;
        ++expected;
        const auto created = run.createdAt.find(callsign);
        if (created == run.createdAt.end())
            late.push_back(callsign + " (never)");
        else if (run.clockStart + created->second > from + kPlayDelayS + kWithinS)
            late.push_back(vrn::format("{} ({:.0f} s)", callsign, run.clockStart + created->second - from - kPlayDelayS));
    }
    std::cout << expected << " aircraft in range for a minute with a livery, " << late.size() << " not shown within a minute\n";
    EXPECT_GE(expected, 20u);
    std::string names;
    for (const std::string& name : late) names += " " + name;
    EXPECT_TRUE(late.empty()) << late.size() << " of " << expected << " not shown within a minute:" << names << lost;
}

}  // namespace
}  // namespace vrn::test
