#include "scene.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "core/format.h"
#include "rtfeed.h"

namespace rtfeed {

using vrn::LatLon;

namespace {

constexpr double kFeetPerNm = 6076.11549;
constexpr double kMetresPerNm = 1852.0;
constexpr double kGlideFeetPerNm = 318.0;   // a 3-degree path
constexpr double kSlowestLegKn = 3.0;

LatLon lf_moved(const LatLon& p, double bearingDeg, double nm) {
    return vrn::gf_destinationPoint(p, bearingDeg * vrn::kDeg2Rad, nm * kFeetPerNm);
}

double lf_bearingDeg(const LatLon& a, const LatLon& b) { return vrn::gf_initialBearing(a, b) * vrn::kRad2Deg; }

const Runway& lf_runway(const SceneLayout& scene, const std::string& name) {
    for (const Runway& r : scene.runways)
        if (r.name == name) return r;
    throw std::runtime_error("scene: no runway " + name);
}

LatLon lf_latLon(const std::string& text) {
    const auto comma = text.find(',');
    if (comma == std::string::npos) throw std::runtime_error("scene: LAT,LON expected: " + text);
    return {std::stod(text.substr(0, comma)), std::stod(text.substr(comma + 1))};
}

// Seconds a leg takes when its speed changes evenly in time from v0 to v1.
double lf_legSeconds(double nm, double v0, double v1) {
    const double mean = std::max((v0 + v1) / 2.0, kSlowestLegKn);
    return nm / mean * 3600.0;
}

}  // namespace

SceneLayout readScene(std::istream& in) {
    SceneLayout s;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (const auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string key;
        if (!(words >> key)) continue;
        try {
            if (key == "airport") {
                words >> s.airport >> s.reference.lat >> s.reference.lon >> s.elevationFt;
            } else if (key == "runway") {
                Runway r;
                words >> r.name >> r.threshold.lat >> r.threshold.lon >> r.end.lat >> r.end.lon;
                s.runways.push_back(r);
            } else if (key == "arrival-taxi" || key == "departure-taxi") {
                auto& route = key == "arrival-taxi" ? s.arrivalTaxi : s.departureTaxi;
                for (std::string p; words >> p;) route.push_back(lf_latLon(p));
                continue;
            } else if (key == "apron") {
                words >> s.arrivalApronLat >> s.departureApronLat;
            } else if (key == "stands") {
                // first stand, row bearing, spacing in metres, count, stand heading
                LatLon first;
                double rowBearing = 0, spacing = 0, heading = 0;
                int count = 0;
                words >> first.lat >> first.lon >> rowBearing >> spacing >> count >> heading;
                for (int i = 0; i < count; ++i)
                    s.stands.push_back({lf_moved(first, rowBearing, i * spacing / kMetresPerNm), heading});
            } else if (key == "arrivals") {
                words >> s.arrivalRunway >> s.arrivalEverySeconds;
            } else if (key == "departures") {
                words >> s.departureRunway >> s.departureEverySeconds;
            } else if (key == "overflights") {
                words >> s.overflightEverySeconds;
            } else if (key == "parked") {
                words >> s.parkedSeconds;
            } else if (key == "approach") {
                words >> s.approachNm;
            } else if (key == "taxi") {
                words >> s.taxiKn;
            } else {
                throw std::runtime_error("unknown key " + key);
            }
            if (words.fail()) throw std::runtime_error("incomplete line");
        } catch (const std::exception& e) {
            throw std::runtime_error(vrn::format("scene line {}: {}", number, e.what()));
        }
    }
    if (s.stands.empty() || s.arrivalTaxi.empty() || s.departureTaxi.empty())
        throw std::runtime_error("scene: stands and both taxi routes are needed");
    (void)lf_runway(s, s.arrivalRunway);
    (void)lf_runway(s, s.departureRunway);
    return s;
}

std::vector<PathPoint> arrivalPath(const SceneLayout& scene, const SceneStand& stand) {
    const Runway& r = lf_runway(scene, scene.arrivalRunway);
    const double b = lf_bearingDeg(r.threshold, r.end);
    std::vector<PathPoint> path;
    const double start = std::max(scene.approachNm, 2.0);
    path.push_back({lf_moved(r.threshold, b + 180.0, start), start * kGlideFeetPerNm, start > 4.0 ? 170.0 : 145.0});
    if (start > 4.0) path.push_back({lf_moved(r.threshold, b + 180.0, 4.0), 4.0 * kGlideFeetPerNm, 145.0});
    path.push_back({r.threshold, 50.0, 138.0});
    path.push_back({lf_moved(r.threshold, b, 400.0 / kMetresPerNm), 0.0, 130.0});
    path.push_back({lf_moved(r.threshold, b, 1700.0 / kMetresPerNm), 0.0, 25.0});
    for (const LatLon& p : scene.arrivalTaxi) path.push_back({p, 0.0, scene.taxiKn});
    if (scene.arrivalApronLat != 0.0) path.push_back({{scene.arrivalApronLat, stand.at.lon}, 0.0, scene.taxiKn * 0.8});
    // Into the stand nose first: the last leg runs along the stand heading.
    path.push_back({lf_moved(stand.at, stand.headingDeg + 180.0, 80.0 / kMetresPerNm), 0.0, 8.0});
    path.push_back({stand.at, 0.0, 0.0, scene.parkedSeconds});
    return path;
}

std::vector<PathPoint> departurePath(const SceneLayout& scene, const SceneStand& stand) {
    const Runway& r = lf_runway(scene, scene.departureRunway);
    const double b = lf_bearingDeg(r.threshold, r.end);
    std::vector<PathPoint> path;
    path.push_back({stand.at, 0.0, 0.0, 60.0});
    path.push_back({lf_moved(stand.at, stand.headingDeg + 180.0, 70.0 / kMetresPerNm), 0.0, 0.0, 30.0, true});
    if (scene.departureApronLat != 0.0)
        path.push_back({{scene.departureApronLat, stand.at.lon}, 0.0, scene.taxiKn * 0.7});
    for (const LatLon& p : scene.departureTaxi) path.push_back({p, 0.0, scene.taxiKn});
    path.push_back({r.threshold, 0.0, 0.0, 20.0});
    path.push_back({lf_moved(r.threshold, b, 1800.0 / kMetresPerNm), 0.0, 155.0});
    path.push_back({lf_moved(r.threshold, b, 2600.0 / kMetresPerNm), 150.0, 165.0});
    path.push_back({lf_moved(r.threshold, b, 6.0), 3000.0, 200.0});
    path.push_back({lf_moved(r.threshold, b, 25.0), 10000.0, 280.0});
    return path;
}

std::vector<PathPoint> overflightPath(const SceneLayout& scene, double bearingDeg, double flightLevelFt) {
    // Abeam the airport, so it crosses the picture without meeting the user.
    const LatLon abeam = lf_moved(scene.reference, bearingDeg + 90.0, 6.0);
    const double height = flightLevelFt - scene.elevationFt;
    return {{lf_moved(abeam, bearingDeg + 180.0, 40.0), height, 450.0}, {lf_moved(abeam, bearingDeg, 40.0), height, 450.0}};
}

PathState positionOnPath(const std::vector<PathPoint>& path, double seconds) {
    PathState s;
    if (path.empty()) {
        s.finished = true;
        return s;
    }
    s.at = path.front().at;
    s.heightFt = path.front().heightFt;
    double t = std::max(seconds, 0.0);
    double track = path.size() > 1 ? lf_bearingDeg(path[0].at, path[1].at) : 0.0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        const PathPoint& p = path[i];
        if (t < p.holdSeconds) {
            s.at = p.at;
            s.heightFt = p.heightFt;
            s.trackDeg = s.headingDeg = track;
            if (i > 0 && path[i].backwards) s.headingDeg = std::fmod(track + 180.0, 360.0);
            return s;
        }
        t -= p.holdSeconds;
        if (i + 1 == path.size()) break;
        const PathPoint& q = path[i + 1];
        const double nm = vrn::gf_distanceNm(p.at, q.at);
        const double v0 = p.speedKn, v1 = q.speedKn;
        const double legSeconds = lf_legSeconds(nm, v0, v1);
        track = nm > 0.0 ? lf_bearingDeg(p.at, q.at) : track;
        if (t >= legSeconds) {
            t -= legSeconds;
            continue;
        }
        // Speed changes evenly in time; the distance flown is its integral.
        const bool slow = (v0 + v1) / 2.0 < kSlowestLegKn;
        const double speed = slow ? kSlowestLegKn : v0 + (v1 - v0) * t / legSeconds;
        const double flownNm = slow ? kSlowestLegKn * t / 3600.0 : (v0 * t + (v1 - v0) * t * t / (2.0 * legSeconds)) / 3600.0;
        const double f = nm > 0.0 ? std::min(flownNm / nm, 1.0) : 1.0;
        s.at = lf_moved(p.at, track, flownNm);
        s.heightFt = p.heightFt + (q.heightFt - p.heightFt) * f;
        s.speedKn = speed;
        s.trackDeg = track;
        s.headingDeg = q.backwards ? std::fmod(track + 180.0, 360.0) : track;
        s.verticalSpeedFpm = (q.heightFt - p.heightFt) / legSeconds * 60.0;
        return s;
    }
    s.at = path.back().at;
    s.heightFt = path.back().heightFt;
    s.trackDeg = s.headingDeg = track;
    s.finished = true;
    return s;
}

namespace {

struct Operator {
    const char* airline;
    const char* type;
    const char* regPrefix;
    const char* other;   // the airport at the other end
};
const Operator kOperators[] = {{"BAW", "A320", "G-EU", "LFPG"}, {"DLH", "A320", "D-AI", "EDDF"},
                               {"AFR", "A320", "F-GK", "LFPG"}, {"SWR", "A320", "HB-J", "LSZH"},
                               {"EZY", "A20N", "G-UZ", "LIMC"}, {"KLM", "B738", "PH-B", "EHAM"},
                               {"AUA", "A319", "OE-L", "LOWW"}, {"DLH", "A20N", "D-AIN", "EDDM"}};

}  // namespace

SceneGenerator::SceneGenerator(SceneLayout scene, double startSeconds)
    : m_scene(std::move(scene)),
      m_standTaken(m_scene.stands.size(), false),
      m_nextArrival(startSeconds),
      m_nextDeparture(startSeconds),
      m_nextOverflight(startSeconds) {
    // The picture starts busy: two arrivals already on their way in, one departure taxiing out to
    // take off within the first minutes, and two aircraft ready to leave.
    m_nextArrival = startSeconds - 120.0;
    m_nextDeparture = startSeconds - 210.0;
    const double every = std::exchange(m_scene.departureEverySeconds, 1.0e9);   // that one alone
    spawn(startSeconds);
    m_scene.departureEverySeconds = every;
    m_nextDeparture = startSeconds;
    spawn(startSeconds);
    m_nextArrival = startSeconds - 60.0;
    m_nextDeparture = startSeconds - 30.0;
    spawn(startSeconds);
}

std::size_t SceneGenerator::freeStand() {
    // The stands in the order the scene lists them: the first ones lie nearest the runway exit.
    for (std::size_t i = 0; i < m_standTaken.size(); ++i)
        if (!m_standTaken[i]) return i;
    return m_standTaken.size();
}

void SceneGenerator::spawn(double now) {
    const auto make = [&](double start, const Operator& op, bool hasStand, std::size_t stand) {
        Flight f;
        ++m_serial;
        f.hexid = 0x4C0000u + m_serial * 13u;
        f.callsign = vrn::format("{}{}", op.airline, 100 + m_serial);
        f.type = op.type;
        f.registration = vrn::format("{}{}{}", op.regPrefix, static_cast<char>('A' + m_serial % 26),
                                     static_cast<char>('A' + (m_serial / 26) % 26));
        f.start = start;
        f.stand = stand;
        f.holdsStand = hasStand;
        if (hasStand) m_standTaken[stand] = true;
        return f;
    };
    while (m_nextArrival <= now) {
        const std::size_t stand = freeStand();
        if (stand == m_standTaken.size()) break;
        const Operator& op = kOperators[m_serial % std::size(kOperators)];
        Flight f = make(m_nextArrival, op, true, stand);
        f.from = op.other;
        f.to = m_scene.airport;
        f.path = arrivalPath(m_scene, m_scene.stands[stand]);
        m_flights.push_back(std::move(f));
        m_nextArrival += m_scene.arrivalEverySeconds;
    }
    while (m_nextDeparture <= now) {
        const std::size_t stand = freeStand();
        if (stand == m_standTaken.size()) break;
        const Operator& op = kOperators[(m_serial + 3) % std::size(kOperators)];
        Flight f = make(m_nextDeparture, op, true, stand);
        f.from = m_scene.airport;
        f.to = op.other;
        f.path = departurePath(m_scene, m_scene.stands[stand]);
        m_flights.push_back(std::move(f));
        m_nextDeparture += m_scene.departureEverySeconds;
    }
    while (m_nextOverflight <= now) {
        const Operator& op = kOperators[(m_serial + 5) % std::size(kOperators)];
        Flight f = make(m_nextOverflight, op, false, 0);
        f.from = "EGPH";
        f.to = "LEMD";
        f.path = overflightPath(m_scene, (m_serial * 67) % 360, 31000.0 + (m_serial % 4) * 2000.0);
        m_flights.push_back(std::move(f));
        m_nextOverflight += m_scene.overflightEverySeconds;
    }
}

std::vector<std::string> SceneGenerator::step(double now) {
    spawn(now);
    std::vector<std::string> out;
    for (auto it = m_flights.begin(); it != m_flights.end();) {
        const PathState s = positionOnPath(it->path, now - it->start);
        // A departure frees its stand once it has pushed back.
        if (it->holdsStand && it->to != m_scene.airport && now - it->start > 80.0) {
            m_standTaken[it->stand] = false;
            it->holdsStand = false;
        }
        if (s.finished) {
            if (it->holdsStand) m_standTaken[it->stand] = false;
            it = m_flights.erase(it);
            continue;
        }
        Report r;
        r.hexid = it->hexid;
        r.at = s.at;
        r.onGround = s.heightFt <= 0.0;
        r.altitudeFt = r.onGround ? 0.0 : m_scene.elevationFt + s.heightFt;
        r.verticalSpeedFpm = s.verticalSpeedFpm;
        r.trackDeg = s.trackDeg;
        r.headingDeg = s.headingDeg;
        r.speedKn = s.speedKn;
        r.callsign = it->callsign;
        r.type = it->type;
        r.registration = it->registration;
        r.from = it->from;
        r.to = it->to;
        out.push_back(datagram(r, now));
        ++it;
    }
    return out;
}

}  // namespace rtfeed
