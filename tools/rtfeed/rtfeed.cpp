#include "rtfeed.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "core/format.h"

namespace rtfeed {

using vrn::LatLon;

std::string versionAnswer(const std::string& version, int level) {
    std::string escaped;
    for (char c : version) {
        if (c == '"' || c == '\\') escaped += '\\';
        escaped += c;
    }
    if (level < 0) return vrn::format(R"({{"version":"{}"}})" "\r\n", escaped);
    return vrn::format(R"({{"version":"{}","level":{}}})" "\r\n", escaped, level);
}

std::optional<LatLon> positionOfQs121(const std::string& line) {
    std::vector<double> values;
    std::stringstream in(line.substr(line.find('=') + 1));
    std::string item;
    while (std::getline(in, item, ';')) {
        try {
            values.push_back(std::stod(item));
        } catch (...) {
            return std::nullopt;
        }
    }
    if (values.size() != 7) return std::nullopt;
    return LatLon{values[5] * vrn::kRad2Deg, values[6] * vrn::kRad2Deg};
}

namespace {

std::vector<std::string> lf_split(const std::string& text) {
    std::vector<std::string> f;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        f.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos) return f;
        start = comma + 1;
    }
}

std::string lf_join(const std::vector<std::string>& f) {
    std::string s;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (i) s += ',';
        s += f[i];
    }
    return s;
}

}  // namespace

std::vector<RecordedDatagram> readRecording(std::istream& in) {
    std::vector<RecordedDatagram> out;
    std::string line;
    bool bare = false;   // datagrams without send offsets: they are sent by their own time stamps
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        RecordedDatagram d;
        if (line.rfind("RTTFC,", 0) == 0) {
            bare = true;
            d.text = line;
        } else {
            const auto blank = line.find(' ');
            if (blank == std::string::npos) continue;
            try {
                d.offset = std::stod(line.substr(0, blank));
            } catch (...) {
                continue;
            }
            d.text = line.substr(blank + 1);
        }
        const auto f = lf_split(d.text);
        if (f.size() > 14) {
            try {
                d.timeStamp = std::stod(f[14]);
                if (d.timeStamp > 171644617100.79) d.timeStamp /= 1000.0;
            } catch (...) {
            }
        }
        out.push_back(std::move(d));
    }
    if (bare && !out.empty()) {
        const double first = out.front().timeStamp;
        for (auto& d : out) d.offset = d.timeStamp - first;
    }
    return out;
}

std::vector<RecordedDatagram> window(const std::vector<RecordedDatagram>& recording, double from, double to) {
    std::vector<RecordedDatagram> out;
    for (const auto& d : recording) {
        if (d.offset < from || d.offset > to) continue;
        out.push_back(d);
        out.back().offset -= from;
    }
    return out;
}

std::string withTimeStamp(const std::string& datagram, double seconds) {
    auto f = lf_split(datagram);
    if (f.size() <= 14) return datagram;
    f[14] = vrn::format("{:.1f}", seconds);
    return lf_join(f);
}

std::string withType(const std::string& datagram, const std::string& type) {
    auto f = lf_split(datagram);
    if (f.size() <= 10 || (f[10] != "null" && !f[10].empty())) return datagram;
    f[10] = type;
    return lf_join(f);
}

namespace {

enum Kind { CLIMBING, CRUISING, APPROACHING, LANDING, TAXIING, PARKED, DISPERSING, FIXED, FLOODING };

const char* const kAirlines[] = {"BAW", "DLH", "EZY", "AFR", "KLM", "RYR", "UAE", "SWR"};
const char* const kTypes[] = {"A320", "B738", "A319", "A321", "B77W", "A388", "E190", "A20N"};
const char* const kFloodAirlines[] = {"BAW", "DLH", "AFR", "KLM", "UAL", "AAL", "DAL", "RYR", "EZY", "UAE"};
const char* const kFloodTypes[] = {"A320", "A319", "B738", "A20N", "A321", "B77W"};

LatLon lf_moved(const LatLon& p, double trackDeg, double nm) {
    return vrn::gf_destinationPoint(p, trackDeg * vrn::kDeg2Rad, nm * 6076.12);
}

}  // namespace

Generator::Generator(LatLon center, double elevationFeet, int count, double radiusNm, Layout layout)
    : m_center(center), m_elevation(elevationFeet), m_radius(radiusNm) {
    for (int i = 0; i < count; ++i) {
        Plane p;
        p.index = i;
        if (layout == Layout::Flood) {
            p.kind = FLOODING;
            p.type = kFloodTypes[i % 6];
            p.airline = kFloodAirlines[(i / 6) % 10];
        } else {
            p.kind = layout == Layout::Circuits ? i % 6 : i % 100 == 99 ? FIXED : DISPERSING;
            p.type = kTypes[(i / 8) % 8];
            p.airline = kAirlines[i % 8];
        }
        p.from = "LHR";
        p.to = "CDG";
        identify(p);
        reset(p, true);
        m_planes.push_back(std::move(p));
    }
}

void Generator::identify(Plane& p) {
    const int i = p.index, k = i + 1000 * p.flight;
    p.hexid = 0x400000u + static_cast<unsigned>(i) * 7u + static_cast<unsigned>(p.flight) * 0x10000u;
    p.callsign = vrn::format("{}{}", p.airline, 100 + i);
    if (p.flight > 0) p.callsign += static_cast<char>('A' + (p.flight - 1) % 26);
    p.registration = vrn::format("G-{}{}{}", static_cast<char>('A' + k % 26), static_cast<char>('A' + (k / 26) % 26),
                                 static_cast<char>('A' + (k / 676) % 26));
}

double Generator::random() {
    m_seed = m_seed * 1103515245u + 12345u;
    return static_cast<double>((m_seed >> 8) % 1000) / 1000.0;
}

double Generator::within(double nm) const { return m_radius > 0.0 ? std::min(nm, 0.9 * m_radius) : nm; }

void Generator::reset(Plane& p, bool spread) {
    if (!spread) {   // a new flight, not the same aircraft jumping back
        ++p.flight;
        identify(p);
    }
    const double bearing = random() * 360.0;
    switch (p.kind) {
        case CLIMBING:
            p.position = m_center;
            p.altitude = m_elevation + 500;
            p.track = bearing;
            p.speed = 180;
            p.verticalSpeed = 2000;
            break;
        case CRUISING:
            p.circleNm = within(20);
            p.position = lf_moved(m_center, bearing, p.circleNm);
            p.altitude = 35000;
            p.track = std::fmod(bearing + 90, 360);
            p.speed = 450;
            p.verticalSpeed = 0;
            break;
        case APPROACHING:
            p.position = lf_moved(m_center, bearing, within(30));
            p.altitude = std::min(10000.0, m_elevation + within(30) * 318.0);
            p.track = std::fmod(bearing + 180, 360);
            p.speed = 250;
            p.verticalSpeed = -1200;
            break;
        case LANDING:
            p.position = lf_moved(m_center, 90, within(8));
            p.altitude = m_elevation + within(8) * 318.0;
            p.track = 270;
            p.speed = 140;
            p.verticalSpeed = -700;
            break;
        case DISPERSING:
            p.position = m_center;
            p.altitude = m_elevation + 1500 + 8000 * random();
            p.track = bearing;
            p.speed = 120 + 280 * random();
            p.verticalSpeed = 0;
            break;
        case FLOODING:
            p.position = lf_moved(m_center, bearing, 3.0 + 32.0 * random());
            p.altitude = 3000 + 35000 * random();
            p.track = random() * 360.0;
            p.speed = 200 + 280 * random();
            p.verticalSpeed = 0;
            break;
        case FIXED:
            p.position = lf_moved(m_center, bearing, within(4) * random());
            p.altitude = m_elevation + 3000;
            p.track = bearing;
            p.speed = 250;
            p.verticalSpeed = 0;
            break;
        case TAXIING:
            p.circleNm = 0.4 + 0.8 * random();
            p.position = lf_moved(m_center, bearing, p.circleNm);
            p.altitude = 0;
            p.track = std::fmod(bearing + 90, 360);
            p.speed = 15;
            p.verticalSpeed = 0;
            break;
        default:
            p.position = lf_moved(m_center, bearing, 0.3);
            p.altitude = 0;
            p.track = bearing;
            p.speed = 0;
            p.verticalSpeed = 0;
            break;
    }
    // Up to five minutes along the path, so that aircraft of one kind do not fly in a bunch; a flood
    // starts where it appears.
    if (spread && p.kind != FLOODING)
        for (int k = static_cast<int>(random() * 300); k > 0; --k) move(p);
}

void Generator::move(Plane& p) {
    const double nm = p.speed / 3600.0;
    switch (p.kind) {
        case CLIMBING:
            p.position = lf_moved(p.position, p.track, nm);
            p.altitude += p.verticalSpeed / 60.0;
            p.speed = std::min(300.0, p.speed + 1);
            if (p.altitude > 20000 || (m_radius > 0.0 && vrn::gf_distanceNm(p.position, m_center) > within(m_radius)))
                reset(p, false);
            break;
        case CRUISING:
        case TAXIING:
            p.track = std::fmod(p.track + 360.0 * nm / (2 * vrn::kPi * p.circleNm), 360);
            p.position = lf_moved(p.position, p.track, nm);
            break;
        case FLOODING:
            p.position = lf_moved(p.position, p.track, nm);
            break;
        case DISPERSING:
            p.position = lf_moved(p.position, p.track, nm);
            if (m_radius > 0.0 && vrn::gf_distanceNm(p.position, m_center) > m_radius) reset(p, false);
            break;
        case APPROACHING:
        case LANDING: {
            p.track = vrn::gf_initialBearing(p.position, m_center) * vrn::kRad2Deg;
            p.position = lf_moved(p.position, p.track, nm);
            const double left = vrn::gf_distanceNm(p.position, m_center);
            p.altitude = std::max(m_elevation, m_elevation + left * 318.0);   // three-degree path
            if (left < 0.3) reset(p, false);
            break;
        }
        default:
            break;
    }
}

std::vector<std::string> Generator::step(double now) {
    std::vector<std::string> out;
    out.reserve(m_planes.size());
    for (auto& p : m_planes) {
        move(p);
        Report r;
        r.hexid = p.hexid;
        r.at = p.position;
        r.altitudeFt = p.altitude;
        r.verticalSpeedFpm = p.verticalSpeed;
        r.onGround = p.altitude <= 0;
        r.trackDeg = r.headingDeg = p.track;
        r.speedKn = p.speed;
        r.rollDeg = p.kind == CRUISING ? 5.0 : 0.0;
        r.callsign = p.callsign;
        r.type = p.type;
        r.registration = p.registration;
        r.from = p.from;
        r.to = p.to;
        out.push_back(datagram(r, now));
    }
    return out;
}

std::string datagram(const Report& r, double now) {
    return vrn::format(
        "RTTFC,{},{:.6f},{:.6f},{:.0f},{:.0f},{},{:.1f},{:.1f},{},{},{},{},{},{:.1f},X2,{},adsb_icao,{:.0f},-1,-1,-1,"
        "0.0,{:.1f},{:.1f},{:.1f},0,none,A3,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,-1,1,{}",
        r.hexid, r.at.lat, r.at.lon, r.altitudeFt, r.verticalSpeedFpm, r.onGround ? 1 : 0, r.trackDeg, r.speedKn,
        r.callsign, r.type, r.registration, r.from, r.to, now, r.callsign, r.altitudeFt, r.rollDeg, r.trackDeg,
        r.headingDeg, r.hexid % 100000);
}

}  // namespace rtfeed
