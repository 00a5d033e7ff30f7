// A landed aircraft on the ground drives where its records go, as a real one could: generated
// landing rolls whose records outrun its brakes, pause while the real aircraft turns off behind the
// made-up roll, or turn back along a taxiway parallel to the runway. One set of rules is held over
// each trace, second by second.
#include <cmath>
#include <iostream>
#include <string>
#include <vector>

#include "core/format.h"
#include "replay_fixture.h"

namespace vrn::test {
namespace {

using Records = std::vector<Recorded>;

// A piece of the real aircraft's way: `seconds` long, turning evenly from the track it starts on
// by `turnDeg`, its speed going evenly from `fromKn` to `toKn`; in the air from `fromFt` above the
// field down to `toFt`, on the ground where both are 0.
struct Piece { double seconds, turnDeg, fromKn, toKn, fromFt = 0.0, toFt = 0.0; };

// Records every two seconds along the pieces, from a point 2.5 km north-west of Zurich's reference
// point (clear of the user there) on track 140; seconds in (pauseFrom, pauseTo] left out.
Records groundWay(const std::vector<Piece>& pieces, double pauseFrom = -1.0, double pauseTo = -1.0) {
    LatLon p = gf_destinationPoint(kZurich, 315.0 * kDeg2Rad, 2.5 * kFeetPerNm / 1.852);
    double track = 140.0, t = 0.0;
    Records out;
    for (const Piece& piece : pieces)
        for (double s = 0.0; s < piece.seconds - 0.01; s += 0.5, t += 0.5) {
            const double kn = piece.fromKn + (piece.toKn - piece.fromKn) * s / piece.seconds;
            if (std::fmod(t, 2.0) == 0.0 && !(t > pauseFrom && t <= pauseTo)) {
                PositionSample r;
                std::tie(r.latitude, r.longitude, r.track, r.groundSpeed, r.trueAirspeed) = std::tuple{p.lat, p.lon, track, kn, kn};
                const double ft = piece.fromFt + (piece.toFt - piece.fromFt) * s / piece.seconds;
                if (piece.fromFt > 0.0) {
                    std::tie(r.altitude, r.airborne) = std::tuple{kZurichFt + ft, std::uint8_t{1}};
                    r.verticalSpeed = (piece.toFt - piece.fromFt) / piece.seconds * 60.0;
                }
                out.push_back({t, r});
            }
            p = gf_destinationPoint(p, track * kDeg2Rad, kn * 0.5 / 3600.0 * kFeetPerNm);
            track = std::fmod(track + piece.turnDeg * 0.5 / piece.seconds + 360.0, 360.0);
        }
    return out;
}

// The distance (m) from a point to the polyline of the records.
double metresFromWay(const Records& r, const LatLon& p) {
    double best = 1e9;
    for (std::size_t i = 0; i + 1 < r.size(); ++i) {
        const LatLon a{r[i].s.latitude, r[i].s.longitude}, b{r[i + 1].s.latitude, r[i + 1].s.longitude};
        const double ab = gf_distanceNm(a, b);
        const double u = ab > 0.0 ? std::clamp(gf_distanceNm(a, p) *
                                                   std::cos(gf_headingDifference(gf_initialBearing(a, b), gf_initialBearing(a, p))) / ab,
                                               0.0, 1.0)
                                  : 0.0;
        best = std::min(best, gf_distanceNm(gf_destinationPoint(a, gf_initialBearing(a, b), u * ab * kFeetPerNm), p) * 1852.0);
    }
    return best;
}

class GroundFollowingTest : public ReplayTest {};

TEST_F(GroundFollowingTest, ALandedAircraftDrivesWhereItsRecordsGo) {
    const struct Case {
        const char* name;
        Records records;
        double pausedUntil;   // records come again from here (s); 0 without a pause
    } cases[] = {
        // The real aircraft brakes from 130 to 20 kn in 20 s and turns off left through 90 degrees in 8 s.
        {"brakes and turns off", groundWay({{20, 0, 130, 20}, {8, -90, 20, 15}, {60, 0, 15, 15}}), 0.0},
        // Its records pause from 50 ft above the runway for 40 s: it turned off behind the made-up roll-out and taxies on.
        {"pauses at touch-down, turns off behind it",
         groundWay({{40, 0, 140, 135, 700, 50}, {4, 0, 135, 125, 50, 1}, {12, 0, 125, 20}, {8, -90, 20, 15}, {120, 0, 15, 15}}, 40.0, 80.0),
         80.0},
        // It turns off and back along a taxiway beside the runway: records more than 90 degrees
        // off the runway's heading are its way too.
        {"turns off and back beside the runway", groundWay({{20, 0, 130, 20}, {8, -90, 20, 15}, {8, -90, 15, 15}, {50, 0, 15, 15}}),
         0.0},
    };
    std::uint32_t n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ++n;
        std::tie(id, callsign) = std::tuple{0x4d0000u + n, "SWR" + std::to_string(700 + n)};
        trace.clear();
        const std::size_t logFrom = logText().size();
        replay(c.records, 6000);
        ASSERT_FALSE(trace.empty());
        const int lastDue = static_cast<int>(c.records.back().t * 100.0) + kPlayDelay;
        int objects = 0, backwards = 0, sideways = 0, standing = 0, far = 0;
        double worstG = 0.0, farthest = 0.0, rejoinedAt = -1.0;
        for (std::size_t i = 100; i < trace.size(); i += 100) {
            const Seen& s = trace[i];
            const Seen& b = trace[i - 100];
            if (s.object != b.object) ++objects;
            const double kn = gf_distanceNm(b.p, s.p) * 3600.0;
            const double off = std::fabs(gf_headingDifference(s.heading, gf_initialBearing(b.p, s.p)));
            if (kn > 20.0 && off > kPi / 2.0) ++backwards;
            const double g = std::fabs(gf_headingDifference(b.heading, s.heading)) * kn * 0.514444 / 9.80665;
            if (s.onGround && b.onGround && kn > 10.0 && g > 0.3) ++sideways, worstG = std::max(worstG, g);
            // While its records play, once it is back on their way after a pause: it moves when they
            // do, and keeps to their way.
            const double t = (s.pass - kPlayDelay) / 100.0;
            const double m = metresFromWay(c.records, s.p);
            if (s.pass > lastDue || t < c.pausedUntil) continue;
            if (rejoinedAt < 0.0 && m < 50.0) rejoinedAt = t;
            if (rejoinedAt < 0.0) continue;
            if (kn < 1.0) ++standing;
            if (m > 150.0) ++far, farthest = std::max(farthest, m);
        }
        const LatLon last{c.records.back().s.latitude, c.records.back().s.longitude};
        const double endMetres = gf_distanceNm(last, trace.back().p) * 1852.0;
        std::cout << vrn::format("[ground] {}: objects {}, backwards s {}, above 0.3 g s {} (up to {:.2f}), back on its records' way "
                                 "{:.0f} s after they came again, then standing s {}, far s {} (up to {:.0f} m); {:.0f} m from its last "
                                 "record at the end\n",
                                 c.name, objects + 1, backwards, sideways, worstG, rejoinedAt - c.pausedUntil, standing, far, farthest,
                                 endMetres);
        EXPECT_EQ(objects, 0) << "removed and created again";
        EXPECT_EQ(backwards, 0) << "seconds moving against its nose faster than 20 kn";
        EXPECT_EQ(sideways, 0) << "seconds turning beyond 0.3 g sideways";
        EXPECT_GE(rejoinedAt, 0.0) << "never back on its records' way";
        EXPECT_LE(rejoinedAt - c.pausedUntil, 90.0) << "seconds to be back on its records' way";
        EXPECT_EQ(standing, 0) << "seconds standing while its records taxi";
        EXPECT_EQ(far, 0) << "seconds more than 150 m from its records' way";
        EXPECT_LT(endMetres, 60.0) << "metres from its last record once they ended";
        const std::string log = logText().substr(logFrom);
        EXPECT_EQ(log.find(callsign + "   removed after"), std::string::npos) << log;
    }
}

}  // namespace
}  // namespace vrn::test
