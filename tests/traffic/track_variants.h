#pragma once
// The shared real tracks replayed whole: each file of the recordings, with what its records say of a
// lift-off (one that lifts off in its records must in the simulator, one that lands must not lift off
// again) and the line of the runway it rolls along for take-off.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "replay_fixture.h"

namespace vrn::test {

struct WholeTrack {
    std::string name;
    int liftOff = 0;   // 0 never, 1 must, 2 may (its records never touch the ground)
    LatLon runway{};
    double runwayDeg = 0.0;
};

inline std::vector<WholeTrack> wholeTracks() {
    std::vector<WholeTrack> out;
    const std::filesystem::path folder = std::filesystem::path(VARNEL_REALDATA) / "tracks";
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".rttfc") out.push_back({e.path().stem().string()});
    std::sort(out.begin(), out.end(), [](const WholeTrack& a, const WholeTrack& b) { return a.name < b.name; });
    for (WholeTrack& t : out) {
        const std::vector<Recorded> r = realTrack(t.name);
        const bool anyGround = std::any_of(r.begin(), r.end(), [](const Recorded& x) { return !x.s.airborne; });
        t.liftOff = anyGround ? 0 : 2;
        std::size_t fast = r.size();
        for (std::size_t i = 1; i < r.size() && t.liftOff != 1; ++i) {
            if (!r[i - 1].s.airborne && r[i - 1].s.groundSpeed >= 60.0 && fast == r.size()) fast = i - 1;
            if (!r[i - 1].s.airborne && r[i].s.airborne && fast < i - 1) {
                t.liftOff = 1;
                t.runway = {r[fast].s.latitude, r[fast].s.longitude};
                // Along the roll while it keeps the runway's heading: some receivers flag a roll airborne
                // from 80 kn on (below 140 kn it still rolls), which left Dulles's line a 28-m base.
                std::size_t along = i - 1;
                while (along + 1 < r.size() && std::fabs(std::remainder(r[along + 1].s.track - r[fast].s.track, 360.0)) <= 3.0 &&
                       (!r[along + 1].s.airborne || r[along + 1].s.groundSpeed < 140.0))
                    ++along;
                t.runwayDeg = gf_initialBearing(t.runway, {r[along].s.latitude, r[along].s.longitude}) * kRad2Deg;
            }
            if (r[i - 1].s.airborne) fast = r.size();
        }
    }
    return out;
}

}  // namespace vrn::test
