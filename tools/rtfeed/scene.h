#pragma once
// A believable airport scene for the RealTraffic stand-in: arrivals on a 3-degree approach that land,
// roll out, taxi to a stand and park; departures that push back, taxi, line up, take off and climb
// out; overflights at cruise level. Each flight follows a path of legs (position, height above the
// airport or 0 on the ground, speed at the end of the leg, waits), sampled once a second.
#include <istream>
#include <string>
#include <vector>

#include "core/geodesy.h"

namespace rtfeed {

struct PathPoint {
    vrn::LatLon at;
    double heightFt = 0.0;   // above the airport; 0 on the ground
    double speedKn = 0.0;    // reached at this point
    double holdSeconds = 0.0;   // standing here before going on
    bool backwards = false;     // the leg to this point is a push back (nose the other way)
};

struct Runway {
    std::string name;
    vrn::LatLon threshold;   // where landings touch down and take-offs start
    vrn::LatLon end;
};

struct SceneStand {
    vrn::LatLon at;
    double headingDeg = 0.0;
};

// What the scene file describes (see data/demo/traffic_scene.txt).
struct SceneLayout {
    std::string airport;
    vrn::LatLon reference;
    double elevationFt = 0.0;
    std::vector<Runway> runways;
    std::vector<vrn::LatLon> arrivalTaxi;     // from the runway exit towards the stands
    std::vector<vrn::LatLon> departureTaxi;   // from the stands to the departure runway
    std::vector<SceneStand> stands;
    double arrivalApronLat = 0.0;     // lane in front of the stands (0: none)
    double departureApronLat = 0.0;
    std::string arrivalRunway, departureRunway;
    double arrivalEverySeconds = 90.0;
    double departureEverySeconds = 120.0;
    double overflightEverySeconds = 180.0;
    double parkedSeconds = 600.0;
    double approachNm = 12.0;   // where arrivals start, on the extended centre line
    double taxiKn = 15.0;
};

// Reads a scene; throws std::runtime_error naming the line that cannot be read.
SceneLayout readScene(std::istream& in);

// One flight's whole path.
std::vector<PathPoint> arrivalPath(const SceneLayout& scene, const SceneStand& stand);
std::vector<PathPoint> departurePath(const SceneLayout& scene, const SceneStand& stand);
std::vector<PathPoint> overflightPath(const SceneLayout& scene, double bearingDeg, double flightLevelFt);

// Where a flight is after `seconds` on its path.
struct PathState {
    vrn::LatLon at;
    double heightFt = 0.0;
    double speedKn = 0.0;
    double trackDeg = 0.0;
    double headingDeg = 0.0;
    double verticalSpeedFpm = 0.0;
    bool finished = false;
};
PathState positionOnPath(const std::vector<PathPoint>& path, double seconds);

class SceneGenerator {
public:
    SceneGenerator(SceneLayout scene, double startSeconds);
    // The datagrams of every flight under way at this moment (one per flight).
    std::vector<std::string> step(double nowSeconds);

private:
    struct Flight {
        unsigned hexid = 0;
        std::string callsign, type, registration, from, to;
        std::vector<PathPoint> path;
        double start = 0.0;
        std::size_t stand = 0;
        bool holdsStand = false;
    };
    void spawn(double now);
    std::size_t freeStand();
    SceneLayout m_scene;
    std::vector<Flight> m_flights;
    std::vector<bool> m_standTaken;
    double m_nextArrival, m_nextDeparture, m_nextOverflight;
    unsigned m_serial = 0;
};

}  // namespace rtfeed
