// Real recorded traffic end to end: excerpts of the shared ADS-B recordings are replayed by the
// RealTraffic stand-in to the real program and the simulated simulator, with a Zurich parking file
// staged, and the simulator's trace is scored against the real paths by the shared scorer.
//
// The program's engine counts 10 ms passes on the real clock, so each excerpt plays in real time.
// To stay within a few minutes all excerpts run at once, each with its own program, stage and ports;
// each excerpt is a part of its recording chosen for what it shows (taxi, stand, take-off, landing,
// go-around, turns at altitude).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/geodesy.h"
#include "core/utilities.h"
#include "support/test_support.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

constexpr double kPlayDelaySeconds = 30.0;   // every sample is played 30 s after it arrived

struct Excerpt {
    const char* label;
    const char* recording;
    double from, to;        // seconds of the recording
    double userLat, userLon, userAlt;
    bool userOnGround;
    bool groundExpected;    // the excerpt has ground records the program must show on the ground
    int liftsOff = -1;      // 1: an aircraft on the ground must lift off, 0: none may, -1: either
};

// The user stands at Zurich (the park airport) except where the traffic is elsewhere; there the user
// flies well below the traffic so nothing waits for it.
const Excerpt kExcerpts[] = {
    {"stand and taxi", "lszh-dep-ent57bw", 0, 160, 47.4647, 8.5492, 1416, true, true, 0},
    {"stand, taxi, stop", "lszh-dep-aee5zh", 0, 160, 47.4647, 8.5492, 1416, true, true, 0},
    {"hold, line-up, take-off", "lszh-dep-swr137h", 340, 500, 47.4647, 8.5492, 1416, true, true, 1},
    {"take-off roll, records end at 51 kn", "lszh-dep-swr137h", 340, 424, 47.4647, 8.5492, 1416, true, true, 1},
    {"final, landing, roll-out", "lszh-arr-cai3208", 0, 160, 47.4647, 8.5492, 1416, true, true, 0},
    {"approach and landing", "lszh-arr-swr5220", 910, 1070, 47.4647, 8.5492, 1416, true, true, 0},
    {"landing, records end taxiing at 8 kn", "lszh-arr-swr5220", 980, 1089, 47.4647, 8.5492, 1416, true, true, 0},
    {"low approach, go-around", "yssy-goaround-ada4", 200, 360, -33.9461, 151.177, 21, true, false},
    {"turn at altitude", "swr5220-racetracks", 150, 310, 48.55, 8.62, 5000, false, false},
};

struct Outcome {
    int exitStatus = -1;
    double feedStart = 0.0;   // simulator second at which the recording's first record was sent
    double feedEnd = 0.0;     // simulator second of the last record sent
    nlohmann::json score;
    std::vector<double> behindGround, behindAir;   // seconds behind the real aircraft while moving
    int liftOffs = 0;   // aircraft seen on the ground, then more than 30 ft above it, until removed
    std::string output;
};

int lf_liftOffs(const fs::path& trace) {
    std::map<long, double> groundAlt;
    std::set<long> lifted;
    for (const std::string& line : readLinesOf(trace)) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (!j.is_object() || !j.contains("objects")) continue;
        for (const nlohmann::json& o : j["objects"]) {
            if (o.value("user", false)) continue;
            const long id = o["id"];
            const double alt = o["alt"];
            if (o.value("onGround", false) && !groundAlt.count(id)) groundAlt[id] = alt;
            if (groundAlt.count(id) && alt > groundAlt[id] + 30.0) lifted.insert(id);
        }
    }
    return static_cast<int>(lifted.size());
}

double lf_median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// How far behind the real aircraft each moving snapshot of the trace runs, on the ground and in the
// air: simulator time minus the time at which the real aircraft was nearest to it. (Where an aircraft
// stands, the real one stood there at many times: standing snapshots say nothing.)
void lf_measureBehind(const fs::path& trace, const fs::path& truth, double until, Outcome& out) {
    struct P { double t, x, y; };
    std::vector<P> path;
    double lat0 = 0.0, k = 0.0;
    std::vector<std::string> rows = readLinesOf(truth);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = gf_splitAtComma(rows[i]);
        const double lat = std::stod(f[1]), lon = std::stod(f[2]);
        if (path.empty()) lat0 = lat, k = std::cos(lat * kDeg2Rad);
        path.push_back({std::stod(f[0]), lon * 111132.95 * k, (lat - lat0) * 111132.95});
    }
    if (path.size() < 2) return;
    const double t0 = path.front().t;
    std::map<long, P> previous;
    for (const std::string& line : readLinesOf(trace)) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (!j.is_object() || !j.contains("objects") || j["t"].get<double>() > until) continue;
        const double t = j["t"];
        for (const nlohmann::json& o : j["objects"]) {
            if (o.value("user", false)) continue;
            const P p{t, o["lon"].get<double>() * 111132.95 * k, (o["lat"].get<double>() - lat0) * 111132.95};
            const auto before = previous.find(o["id"]);
            const bool moving = before != previous.end() && t > before->second.t &&
                                std::hypot(p.x - before->second.x, p.y - before->second.y) / (t - before->second.t) > 1.5;
            previous[o["id"]] = p;
            if (!moving) continue;
            double best = 1e18, when = 0.0;
            for (std::size_t i = 0; i + 1 < path.size(); ++i) {
                const P& a = path[i];
                const P& b = path[i + 1];
                const double dx = b.x - a.x, dy = b.y - a.y, len = dx * dx + dy * dy;
                const double u = len > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len, 0.0, 1.0) : 0.0;
                const double d = std::hypot(p.x - a.x - u * dx, p.y - a.y - u * dy);
                if (d < best) best = d, when = a.t + u * (b.t - a.t) - t0;
            }
            (o.value("onGround", false) ? out.behindGround : out.behindAir).push_back(t - out.feedStart - when);
        }
    }
}

std::string lf_scenario(const Excerpt& e) {
    return vrn::format(R"({{"version": 2020, "frameRate": 30, "simulatorRunning": true, "flightRunning": false,
 "packagesFolder": "../config/Microsoft Flight Simulator/Packages", "groundElevation": {},
 "user": {{"title": "Airbus A320 Neo Asobo", "atcModel": "ATCCOM.AC_MODEL_A20N.0.text", "lat": {}, "lon": {},
  "altitude": {}, "heading": 270, "groundSpeed": 0, "onGround": {}}},
 "timeline": [{{"t": 3, "event": "flightStart"}}]}})",
                       e.userOnGround ? e.userAlt : 1416.0, e.userLat, e.userLon, e.userAlt,
                       e.userOnGround ? "true" : "false");
}

// The data sources of the staged program: the project's own, with the Zurich parking file in place
// of the demo airports' ones.
void lf_stageSources(const fs::path& root, const fs::path& source) {
    fs::create_directories(source / "airports" / "parking");
    fs::create_directory_symlink(root / "data" / "liveries", source / "liveries");
    fs::create_symlink(root / "data" / "airports" / "airports.csv", source / "airports" / "airports.csv");
    fs::copy_file(testDataPath("replay/airports/parking/LSZH.txt"), source / "airports" / "parking" / "LSZH.txt");
}

// Seconds of the recording at which the first record of the excerpt lies.
double lf_firstRecordOffset(const Excerpt& e) {
    std::ifstream in(realDataPath(vrn::format("tracks/{}.rttfc", e.recording)));
    double first = -1.0;
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> f = gf_splitAtComma(line);
        if (f.size() < 15) continue;
        const double stamp = std::stod(f[14]);
        if (first < 0) first = stamp;
        if (stamp - first >= e.from) return stamp - first;
    }
    return e.from;
}

void lf_play(const Excerpt& e, const fs::path& stage, unsigned salt, Outcome& out) {
    const fs::path root = fs::path(VARNEL_TEST_DATA).parent_path().parent_path();
    lf_stageSources(root, stage / "src");
    writeFile(stage / "scenario.json", lf_scenario(e));
    const fs::path recording = realDataPath(vrn::format("tracks/{}.rttfc", e.recording));
    const std::string feed = vrn::format("--replay {} --window {},{} --type A320 --after-position", recording.string(),
                                         e.from, e.to);
    // Time after the last record is played for a made-up take-off roll to lift off and climb away.
    const int seconds = static_cast<int>(e.to - e.from + kPlayDelaySeconds + 45.0);
    for (unsigned attempt = 0;; ++attempt) {
        const int base = freeLoopbackPortBase(salt + 1000u * attempt);
        const std::string command =
            "VARNEL_FEED='" + feed + "' VARNEL_RUN_SECONDS=" + std::to_string(seconds) +
            " VARNEL_HEADLESS=1 VARNEL_STAGE_DIR=" + shellQuote(stage / "stage") + " VARNEL_PORT_BASE=" +
            std::to_string(base) + " XDG_RUNTIME_DIR=" + shellQuote(stage) + " VARNEL_DATA_SOURCE=" +
            shellQuote(stage / "src") + " VARNEL_SCENARIO=" + shellQuote(stage / "scenario.json") + " " +
            shellQuote(root / "scripts" / "run-program") + " " + shellQuote(VARNEL_BINARY_DIR) + " > " +
            shellQuote(stage / "run.out") + " 2>&1";
        const int status = std::system(command.c_str());
        out.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        out.output = readFile(stage / "run.out");
        if (attempt < 2 && portTakenMeanwhile(out.exitStatus, out.output)) continue;
        break;
    }

    // The trace's frame 0 on the wall clock, and the wall clock stamps of what the feed sent.
    const fs::path trace = stage / "stage" / "sim" / "trace.jsonl";
    double clockStart = 0.0;
    for (const std::string& line : readLinesOf(trace)) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_object() && j.value("event", "") == "clockStart") clockStart = std::stod(j["text"].get<std::string>());
    }
    double firstSent = -1.0, lastSent = 0.0;
    for (const std::string& line : readLinesOf(stage / "stage" / "feed.rec")) {
        const std::vector<std::string> f = gf_splitAtComma(line.substr(line.find(' ') + 1));
        if (f.size() < 15) continue;
        lastSent = std::stod(f[14]);
        if (firstSent < 0) firstSent = lastSent;
    }
    if (clockStart <= 0.0 || firstSent < 0.0) return;
    out.feedStart = firstSent - clockStart - lf_firstRecordOffset(e);
    out.feedEnd = lastSent - clockStart;

    const fs::path tracks = realDataPath("tracks");
    const std::string score =
        vrn::format("python3 {} --trace {} --truth {} --index {} --name {} --feed-start {:.2f} --until {:.2f} > {}",
                    shellQuote(realDataPath("../tools/score_track.py")), shellQuote(trace),
                    shellQuote(tracks / "truth" / (std::string(e.recording) + ".csv")),
                    shellQuote(tracks / "index.json"), e.recording, out.feedStart,
                    out.feedEnd + kPlayDelaySeconds, shellQuote(stage / "score.json"));
    if (std::system(score.c_str()) != 0) return;
    out.score = nlohmann::json::parse(readFile(stage / "score.json"), nullptr, false);
    lf_measureBehind(trace, tracks / "truth" / (std::string(e.recording) + ".csv"), out.feedEnd + kPlayDelaySeconds, out);
    out.liftOffs = lf_liftOffs(trace);
}

bool lf_toolsBuilt() {
    const fs::path build = VARNEL_BINARY_DIR;
    for (const char* tool : {"src/varnel", "tools/varnel-data", "tools/rtfeed"})
        if (!fs::exists(build / tool)) return false;
    return true;
}

double lf_number(const nlohmann::json& j, const char* group, const char* key) {
    const nlohmann::json& v = j[group][key];
    return v.is_number() ? v.get<double>() : 0.0;
}

TEST(ReplayEndToEnd, RealRecordingsAreFollowedClosely) {
    if (!realDataAvailable()) GTEST_SKIP() << "../shared/realdata is absent";
    if (!lf_toolsBuilt()) GTEST_SKIP() << "the program and its tools are not built";
    if (std::system("python3 -c pass") != 0) GTEST_SKIP() << "python3 is not installed";

    constexpr std::size_t n = std::size(kExcerpts);
    std::vector<std::unique_ptr<TempDir>> stages;
    std::vector<Outcome> outcomes(n);
    std::vector<std::thread> runs;
    for (std::size_t i = 0; i < n; ++i) {
        stages.push_back(std::make_unique<TempDir>());
        runs.emplace_back(lf_play, std::cref(kExcerpts[i]), stages.back()->path(), 7u + static_cast<unsigned>(i) * 13u,
                          std::ref(outcomes[i]));
    }
    for (std::thread& t : runs) t.join();

    for (std::size_t i = 0; i < n; ++i) {
        const Excerpt& e = kExcerpts[i];
        const Outcome& o = outcomes[i];
        SCOPED_TRACE(vrn::format("{} ({} {:.0f}-{:.0f} s)", e.label, e.recording, e.from, e.to));
        ASSERT_EQ(o.exitStatus, 0) << o.output;
        ASSERT_TRUE(o.score.is_object()) << "no score";
        const nlohmann::json& s = o.score;
        std::cout << e.recording << " " << e.from << "-" << e.to << ": " << s.dump() << "\n";

        EXPECT_GE(s["created"].get<int>(), 1);
        EXPECT_EQ(s["below_ground"].get<int>(), 0);
        if (lf_number(s, "air", "n") > 0) {
            EXPECT_LE(lf_number(s, "air", "median"), 30.0);
            EXPECT_LE(lf_number(s, "air", "p95"), 150.0);
        }
        if (e.groundExpected) {
            EXPECT_GT(lf_number(s, "ground", "n"), 0.0) << "no ground traffic shown";
            EXPECT_LE(lf_number(s, "ground", "median"), 5.0);
            EXPECT_LE(lf_number(s, "ground", "p95"), 15.0);
        }
        EXPECT_LE(s["sideways"].get<double>(), 0.01 * s["ground_moving"].get<double>());
        const double ground = lf_median(o.behindGround), air = lf_median(o.behindAir);
        std::cout << vrn::format("  behind while moving (median s): ground {:.1f} ({} snapshots), air {:.1f} ({}); lift-offs {}\n",
                                 ground, o.behindGround.size(), air, o.behindAir.size(), o.liftOffs);
        EXPECT_LE(ground, kPlayDelaySeconds + 1.0);
        EXPECT_LE(air, kPlayDelaySeconds + 1.0);

        // A landed or taxiing aircraft never lifts off; one on its take-off roll does, also when its records end.
        if (e.liftsOff == 0) {
            EXPECT_EQ(o.liftOffs, 0) << "aircraft lifted off after being on the ground";
        }
        if (e.liftsOff == 1) {
            EXPECT_GE(o.liftOffs, 1) << "the departure never lifted off";
        }

        // Nothing left behind at the exit.
        EXPECT_EQ(s["removed"].get<int>(), s["created"].get<int>());
        EXPECT_EQ(s["removed_with_client"].get<int>(), 0);
    }
}

}  // namespace
}  // namespace vrn::test
