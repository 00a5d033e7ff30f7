#pragma once
// Small BGL files: a 56-byte header, the section table, one 16- (or 20-) byte subsection entry per section, the records.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace vrn::test::bgl {

inline void put32(std::string& b, std::size_t at, std::uint32_t v, int bytes = 4) {
    for (int i = 0; i < bytes; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline void put16(std::string& b, std::size_t at, std::uint16_t v) { put32(b, at, v, 2); }
inline void putFloat(std::string& b, std::size_t at, float f) { std::uint32_t v = 0; std::memcpy(&v, &f, 4); put32(b, at, v); }

// The packed form of a code: base-38 digits (' ' 0, '0'-'9' 2-11, 'A'-'Z' 12-37) shifted by 5.
inline std::uint32_t packCode(const std::string& code) {
    std::uint32_t v = 0;
    for (char c : code) v = v * 38 + (c == ' ' ? 0u : static_cast<std::uint32_t>(c >= '0' && c <= '9' ? c - 46 : c - 53));
    return v << 5;
}
inline std::uint32_t packLat(double lat) { return static_cast<std::uint32_t>(std::llround((90.0 - lat) / 3.3527612686157227e-7)); }
inline std::uint32_t packLon(double lon) { return static_cast<std::uint32_t>(std::llround((lon + 180.0) / 4.470348358154297e-7)); }
inline std::uint32_t altitudeWord(double feet) { return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::llround(feet * 1000.0 / 3.2808399))); }

// A record or subrecord of `size` bytes (zero-filled) with its 6-byte header.
inline std::string record(std::uint16_t id, std::size_t size, std::uint32_t sizeField) {
    std::string r(size, '\0');
    put16(r, 0, id), put32(r, 2, sizeField);
    return r;
}
inline std::string record(std::uint16_t id, std::size_t size) { return record(id, size, static_cast<std::uint32_t>(size)); }

struct Helipad { double lat = 0, lon = 0; float width = 20; };
inline std::string helipad(const Helipad& h) {
    std::string r = record(0x0026, 36);
    put32(r, 12, packLon(h.lon)), put32(r, 16, packLat(h.lat)), putFloat(r, 28, h.width);
    return r;
}

struct Parking {   // name 10 is "g", type 8 a gate
    std::uint8_t name = 10, type = 8;
    std::uint16_t number = 1;
    float radius = 20, heading = 90;
    double lat = 51.47, lon = -0.45;
    std::uint8_t airlineCodes = 0;
};
// A taxi parking subrecord; `count` overrides the entry count (a truncated record).
inline std::string parkings(const std::vector<Parking>& entries, int count = -1) {
    std::size_t size = 8;
    for (const auto& p : entries) size += 56 + 4u * p.airlineCodes;
    std::string r = record(0x00E7, size);
    put16(r, 6, static_cast<std::uint16_t>(count < 0 ? entries.size() : static_cast<std::size_t>(count)));
    std::size_t at = 8;
    for (const auto& p : entries) {
        const std::uint32_t first = (p.name & 0x3Fu) | ((p.type & 0xFu) << 8) | ((p.number & 0xFFFu) << 12) |
                                    (static_cast<std::uint32_t>(p.airlineCodes) << 24);
        put32(r, at, first), putFloat(r, at + 4, p.radius), putFloat(r, at + 8, p.heading);
        put32(r, at + 28, packLon(p.lon)), put32(r, at + 32, packLat(p.lat));
        for (unsigned k = 0; k < p.airlineCodes; ++k) put32(r, at + 56 + 4 * k, packCode("BAW"));
        at += 56 + 4u * p.airlineCodes;
    }
    return r;
}

// An airport record holding the subrecords in order.
inline std::string airport(const std::string& code, std::uint32_t altitude, const std::vector<std::string>& subrecords) {
    std::string r(68, '\0');
    for (const auto& s : subrecords) r += s;
    put16(r, 0, 0x0056), put32(r, 2, static_cast<std::uint32_t>(r.size())), put32(r, 20, altitude), put32(r, 40, packCode(code));
    return r;
}

struct Section { std::uint32_t type = 3; bool wideEntries = false; std::string records; };   // wide: 20-byte entries (not read)

// The whole file: header, section table, one subsection entry per section, the records.
inline std::string file(const std::vector<Section>& sections, std::uint32_t headerSize = 56) {
    const std::size_t s = sections.size();
    std::string b(56 + 20 * s, '\0');
    put32(b, 0, 0x19920201u), put32(b, 4, headerSize), put32(b, 20, static_cast<std::uint32_t>(s));
    std::vector<std::size_t> tableAt(s);
    for (std::size_t i = 0; i < s; ++i) {
        tableAt[i] = b.size();
        b.append(sections[i].wideEntries ? 20 : 16, '\0');
    }
    for (std::size_t i = 0; i < s; ++i) {
        const auto recordsAt = static_cast<std::uint32_t>(b.size()), size = static_cast<std::uint32_t>(sections[i].records.size());
        b += sections[i].records;
        const std::size_t e = 56 + 20 * i, t = tableAt[i];
        put32(b, e, sections[i].type), put32(b, e + 4, sections[i].wideEntries ? 0x10001u : 0x00001u), put32(b, e + 8, 1);
        put32(b, e + 12, static_cast<std::uint32_t>(t)), put32(b, e + 16, size);
        put32(b, t, 0x0056), put32(b, t + 4, 1), put32(b, t + 8, recordsAt), put32(b, t + 12, size);
    }
    return b;
}

// A simple airport file: one airport with `stands` gates.
inline std::string simpleAirportFile(const std::string& code, int stands, double lat = 51.47, double lon = -0.45) {
    std::vector<Parking> entries;
    for (int i = 0; i < stands; ++i) entries.push_back({.number = static_cast<std::uint16_t>(i + 1), .lat = lat + 0.001 * i, .lon = lon});
    return file({Section{3, false, airport(code, altitudeWord(80), {parkings(entries)})}});
}

}  // namespace vrn::test::bgl
