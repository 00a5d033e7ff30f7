#pragma once
// The pieces of the RealTraffic stand-in: protocol texts, recordings and the traffic generator.
#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "core/geodesy.h"

namespace rtfeed {

// The JSON answer to "Qs999=version" (level < 0: no level), ended by "\r\n".
std::string versionAnswer(const std::string& version, int level);
// Latitude and longitude (degrees) of a "Qs121=" line; none when it cannot be read.
std::optional<vrn::LatLon> positionOfQs121(const std::string& line);
// How the program's Log.txt line begins that says its park airport's parking file was read.
inline constexpr const char* kParkFileReadLine = "Airport file read from \"";
// The line the stand-in prints when a replay (without --loop) has sent its last record.
inline constexpr const char* kReplaySentLine = "replay sent:";

struct RecordedDatagram {
    double offset = 0.0;      // seconds after the start of the recording
    double timeStamp = 0.0;   // field 14, seconds
    std::string text;
};
// Lines "OFFSET DATAGRAM", or bare datagrams (a real recording), which are then played by their
// own time stamps from the first one on.
std::vector<RecordedDatagram> readRecording(std::istream& in);
// The datagrams between `from` and `to` seconds of the recording, their offsets counted from `from`.
std::vector<RecordedDatagram> window(const std::vector<RecordedDatagram>& recording, double from, double to);
// The datagram with field 14 replaced by the time stamp.
std::string withTimeStamp(const std::string& datagram, double seconds);
// The datagram with the aircraft type (field 10) set where the record has none ("null" or empty).
std::string withType(const std::string& datagram, const std::string& type);

// One aircraft's state as a traffic datagram reports it.
struct Report {
    unsigned hexid = 0;
    vrn::LatLon at;
    double altitudeFt = 0.0;   // 0 on the ground
    double verticalSpeedFpm = 0.0;
    bool onGround = false;
    double trackDeg = 0.0;
    double headingDeg = 0.0;
    double speedKn = 0.0;
    double rollDeg = 0.0;
    std::string callsign, type, registration, from, to;
};
// The traffic datagram of a report, time-stamped `now` (seconds since 1970).
std::string datagram(const Report& r, double now);

// N aircraft around a point: climbing, cruising, approaching, landing, taxiing and parked, one
// datagram each per step (a step is one second). At the start each aircraft is somewhere along its
// path, so no two fly in one spot; one that lands or leaves is followed by a new flight (its own
// address, callsign and registration) from the start of that path. With a radius (nm, 0: none)
// every aircraft stays within it.
//
// Dispersing, the aircraft instead fly straight out from the centre at speeds between 120 and
// 400 kn, each starting up to five minutes along its way; with a radius, one that passes it is
// followed by a new flight from the centre (a flood that goes on), without one it flies on. Every
// 100th stays at a fixed position, airborne at 250 kn (a broken transponder).
//
// A flood appears all at once 3 to 35 nm from the centre (even in distance and bearing), each
// aircraft on its own straight track at 200 to 480 kn and 3000 to 38000 ft, airliners of ten large
// airlines; none is renewed.
class Generator {
public:
    enum class Layout { Circuits, Dispersing, Flood };
    Generator(vrn::LatLon center, double elevationFeet, int count, double radiusNm = 0.0, Layout layout = Layout::Circuits);
    std::vector<std::string> step(double nowSeconds);

private:
    struct Plane {
        int kind = 0, index = 0, flight = 0;
        unsigned hexid = 0;
        std::string airline, callsign, type, registration, from, to;
        vrn::LatLon position;
        double altitude = 0.0, track = 0.0, speed = 0.0, verticalSpeed = 0.0;
        double circleNm = 0.0;   // radius of the circle around the centre that cruising and taxiing aircraft follow
    };
    double random();   // 0..1
    double within(double nm) const;
    void identify(Plane& p);
    void reset(Plane& p, bool spread);
    void move(Plane& p);
    vrn::LatLon m_center;
    double m_elevation;
    double m_radius;
    std::vector<Plane> m_planes;
    unsigned m_seed = 12345;
};

}  // namespace rtfeed
