// Reading the airports of one BGL file into airport records (the body of one scan worker task).
#include "airports/bgl_reader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <fstream>
#include <stdexcept>

#include "airports/airport_file_linking.h"
#include "airports/airport_list.h"
#include "airports/manifest_publisher.h"
#include "core/format.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

constexpr double kLatitudeScale = 3.3527612686157227e-7;    // 180 / 2^29
constexpr double kLongitudeScale = 4.470348358154297e-7;    // 360 / (3 * 2^28)
constexpr double kFullTurn = 6.283185307179586;   // a heading of 0 means north: a full turn
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kMinParkingRadius = 1.0;
constexpr double kMaxParkingRadius = 200.0;
// Lowest and highest field elevations of real airports lie well inside this band (feet).
constexpr std::int64_t kMinAltitudeFeet = -1500;
constexpr std::int64_t kMaxAltitudeFeet = 20000;
constexpr std::array<char, 6> kSuffixes{'a', 'b', 'c', 'd', 'e', 'f'};
constexpr std::size_t kMaxGroup = kSuffixes.size() + 1;

std::uint32_t lf_word(const BglWords& words, std::size_t i) { return words.at(i); }

float lf_float(const BglWords& words, std::size_t i) { return std::bit_cast<float>(words.at(i)); }

std::uint16_t lf_recordId(const BglWords& words, std::size_t p) {
    return static_cast<std::uint16_t>(lf_word(words, p) & 0xFFFFu);
}

// The u32 size at byte 2 of a record straddles its first two words.
std::uint32_t lf_recordSize(const BglWords& words, std::size_t p) {
    return (lf_word(words, p) >> 16) | (lf_word(words, p + 1) << 16);
}

// Sizes of 2^31 and more count as negative, so they end a walk like sizes below 4.
std::int64_t lf_stepWords(std::uint32_t size) { return static_cast<std::int64_t>(static_cast<std::int32_t>(size) / 4); }

bool lf_positionUsable(const LatLon& p) {
    return p.lat >= -90.0 && p.lat <= 90.0 && p.lon >= -180.0 && p.lon <= 180.0 && gf_isValidPosition(p);
}

// The parking ids a duplicate group may hold: the base alone or with one suffix letter.
bool lf_collectDuplicateStand(const Stand& stand, const std::string& base) {
    if (stand.id.size() == base.size()) return stand.id == base;
    if (stand.id.size() != base.size() + 1 || stand.id.compare(0, base.size(), base) != 0) return false;
    const char last = stand.id.back();
    return std::find(kSuffixes.begin(), kSuffixes.end(), last) != kSuffixes.end();
}

void lf_walkAirportSection(std::size_t p, const BglWords& words, const std::string& path,
                           const BglAirportSteps& steps) {
    const std::size_t n = words.size();
    while (p < n) {
        const std::uint16_t id = lf_recordId(words, p);
        const std::uint32_t size = lf_recordSize(words, p);
        if (id == kBglRecordAirport) {
            auto [code, ok] = lf_decodeIdentifierOrRegionCode(lf_word(words, p + 10));
            if (ok) lf_readAirportRecord(p, words, lf_stepWords(size), code, path, steps);
        }
        const std::int64_t step = lf_stepWords(size);
        if (step <= 0) break;
        p += static_cast<std::size_t>(step);
    }
}

}  // namespace

double gf_bglLatitude(std::uint32_t word) { return 90.0 - static_cast<double>(word) * kLatitudeScale; }
double gf_bglLongitude(std::uint32_t word) { return static_cast<double>(word) * kLongitudeScale - 180.0; }

std::int32_t gf_bglAltitudeFeet(std::uint32_t word) {
    const double mm = static_cast<double>(static_cast<std::int32_t>(word));
    const auto feet = static_cast<std::int64_t>(std::round(mm * 3.2808399 / 1000.0));
    if (feet < kMinAltitudeFeet || feet > kMaxAltitudeFeet) return 0;
    return static_cast<std::int32_t>(feet);
}

std::pair<std::string, bool> lf_decodeIdentifierOrRegionCode(std::uint32_t value) {
    std::uint32_t v = value >> 5;
    std::string text;
    if (v >= 38) {
        while (v > 0) {
            const std::uint32_t d = v % 38;
            v /= 38;
            char c = ' ';
            if (d == 0)
                c = ' ';
            else if (d >= 2 && d <= 11)
                c = static_cast<char>(d + 46);
            else
                c = static_cast<char>(d + 53);
            text.push_back(c);
        }
        std::reverse(text.begin(), text.end());
    }
    const bool ok = text.size() == 4;
    return {std::move(text), ok};
}

std::string lf_decodeParkingName(std::uint8_t code) {
    static const std::array<const char*, 12> names{"", "r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g", ""};
    const unsigned c = code & 0x3Fu;
    if (c < names.size()) return names[c];
    return std::string(1, static_cast<char>(c + 53));
}

bool gf_readBglWords(const fs::path& path, BglWords& words) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    if (size < 0) return false;
    in.seekg(0);
    words.assign((static_cast<std::size_t>(size) + 3) / 4, 0u);
    if (size > 0 && !in.read(reinterpret_cast<char*>(words.data()), size)) return false;
    if constexpr (std::endian::native == std::endian::big) {
        for (auto& w : words)
            w = (w >> 24) | ((w >> 8) & 0xFF00u) | ((w << 8) & 0xFF0000u) | (w << 24);
    }
    return true;
}

bool lf_isAirportBgl(const fs::path& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    // The section count sits in bytes 20..23; a shorter file holds no sections.
    if (size < 24) return false;
    std::array<std::uint8_t, 24> header{};
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(header.data()), header.size())) return false;
    const std::uint32_t sections = static_cast<std::uint32_t>(header[20]) | (static_cast<std::uint32_t>(header[21]) << 8) |
                                   (static_cast<std::uint32_t>(header[22]) << 16) |
                                   (static_cast<std::uint32_t>(header[23]) << 24);
    if (sections == 0) return false;
    const std::uint64_t tableEnd = kBglHeaderSize + 20ull * sections;
    if (static_cast<std::uint64_t>(size) <= tableEnd) return false;
    std::vector<std::uint8_t> table(20ull * sections);
    in.seekg(kBglHeaderSize);
    if (!in.read(reinterpret_cast<char*>(table.data()), static_cast<std::streamsize>(table.size()))) return false;
    for (std::size_t i = 0; i < sections; ++i) {
        const std::uint8_t* e = table.data() + 20 * i;
        const std::uint32_t type = static_cast<std::uint32_t>(e[0]) | (static_cast<std::uint32_t>(e[1]) << 8) |
                                   (static_cast<std::uint32_t>(e[2]) << 16) | (static_cast<std::uint32_t>(e[3]) << 24);
        if (type == kBglSectionAirport) return true;
    }
    return false;
}

void gf_readBglAirports(const BglWords& words, const std::string& path, const BglAirportSteps& steps) {
    if (words.size() < 15 || words[1] != kBglHeaderSize) return;
    const std::uint32_t sections = words[5];
    for (std::size_t i = 0; i < sections; ++i) {
        const std::size_t entry = 14 + 5 * i;
        if (lf_word(words, entry) != kBglSectionAirport) continue;
        const std::uint32_t entrySize = ((lf_word(words, entry + 1) & 0x10000u) | 0x40000u) >> 14;
        if (entrySize != 16) continue;
        const std::uint32_t table = lf_word(words, entry + 3);
        const std::size_t start = lf_word(words, table / 4 + 2) / 4;
        lf_walkAirportSection(start, words, path, steps);
    }
}

void lf_readAirportRecord(std::size_t p, const BglWords& words, std::int64_t sizeWords, const std::string& code,
                          const std::string& path, const BglAirportSteps& steps) {
    ApfAirport airport;
    airport.code = code;
    auto [linked, archived] = steps.link ? steps.link(airport, path) : std::pair<bool, int>{false, 0};
    airport.altitude = gf_bglAltitudeFeet(lf_word(words, p + 5));
    BglAirportState state;
    const auto name = g_airportNames.find(code);
    airport.airport_name = name == g_airportNames.end() ? std::string() : name->second;

    const std::int64_t end = static_cast<std::int64_t>(p) + sizeWords;
    std::int64_t q = static_cast<std::int64_t>(p) + 17;
    while (q < end) {
        const auto at = static_cast<std::size_t>(q);
        const std::uint16_t id = lf_recordId(words, at);
        const std::uint32_t size = lf_recordSize(words, at);
        if (id == kBglRecordHelipad) {
            lf_readHelipads(at, words, airport, state);
        } else if (id == kBglRecordTaxiParking) {
            lf_readParkings(at, words, airport, state, path);
            if (state.duplicates) lf_relabelDuplicateStands(airport);
            break;
        }
        const std::int64_t step = lf_stepWords(size);
        if (step <= 0) break;
        q += step;
    }

    const int n = static_cast<int>(airport.stands.size());
    if (n > archived) lf_logLocked(format("{}{} has {} parkpos while archived one has {}", g_arrow, code, n, archived));
    if ((!linked || n > archived) && steps.generate) steps.generate(airport, state.helipadCounter - 1);
}

void lf_readHelipads(std::size_t p, const BglWords& words, ApfAirport& airport, BglAirportState& state) {
    const LatLon position{gf_bglLatitude(lf_word(words, p + 4)), gf_bglLongitude(lf_word(words, p + 3))};
    const double radius = 0.5 * static_cast<double>(lf_float(words, p + 7));
    if (!lf_positionUsable(position)) {
        lf_logLocked("lat/lon helipad incorrect (skipped): " + gf_latLonText(position));
        return;
    }
    // A helipad without a usable size would give a stand no aircraft fits.
    if (!std::isfinite(radius) || radius <= 0.0) {
        lf_logLocked(format("skipped helipad with radius {:.1F} meters at {}", radius, gf_latLonText(position)));
        return;
    }
    for (const LatLon& taken : state.helipadPositions) {
        if (taken.lat == position.lat && taken.lon == position.lon) {
            lf_logLocked("double helipad " + airport.airport_name + " (skipped) " + gf_latLonText(position));
            return;
        }
    }
    state.helipadPositions.push_back(position);
    airport.stands.emplace_back(std::vector<StandUse>{}, format("helipad{}", state.helipadCounter++),
                                StandPlacement{position.lat, position.lon, 0.0}, radius, false, false, true);
}

void lf_readParkings(std::size_t p, const BglWords& words, ApfAirport& airport, BglAirportState& state,
                     const std::string& path) {
    const std::uint32_t count = lf_word(words, p + 1) >> 16;
    std::size_t e = p + 2;
    for (std::uint32_t k = 0; k < count; ++k) {
        const std::size_t entry = e;
        const std::uint32_t first = lf_word(words, entry);
        e += 14 + (first >> 24);
        const double radius = lf_float(words, entry + 1);
        // Written so that a NaN radius is refused as well.
        if (!(radius > kMinParkingRadius && radius < kMaxParkingRadius)) {
            lf_logLocked(format("skipped position with radius {:.1F} meters, in {}", radius, path));
            continue;
        }
        const std::string base =
            lf_decodeParkingName(static_cast<std::uint8_t>(first & 0x3Fu)) + format("{}", (first >> 12) & 0xFFFu);
        const unsigned type = (first >> 8) & 0xFu;
        if (type == 0 || type == 12 || type == 13) continue;
        const LatLon position{gf_bglLatitude(lf_word(words, entry + 8)), gf_bglLongitude(lf_word(words, entry + 7))};
        if (!lf_positionUsable(position)) {
            lf_logLocked(format("lat/lon: {}, incorrect (skipped) ", gf_latLonText(position)));
            continue;
        }
        const double degrees = lf_float(words, entry + 2);
        if (!std::isfinite(degrees)) {
            lf_logLocked(format("skipped position with heading {:.1F} degrees, in {}", degrees, path));
            continue;
        }
        std::string id = base;
        bool suffixed = false;
        if (!state.ids.insert(id).second) {
            state.duplicates = true;
            bool placed = false;
            for (char s : kSuffixes) {
                std::string candidate = base + s;
                if (state.ids.insert(candidate).second) {
                    id = std::move(candidate);
                    placed = true;
                    break;
                }
            }
            if (!placed) {
                lf_logLocked(format("{}{}Warning more then 6 the same ids {}, in {}", g_arrow, g_arrow, base, path));
                continue;
            }
            suffixed = true;
        }
        const double heading = degrees == 0.0 ? kFullTurn : degrees * kDegToRad;
        const bool cargo = type == 5;
        const bool ramp = (type >= 1 && type <= 7) || type == 14;
        Stand& stand = airport.stands.emplace_back(std::vector<StandUse>{}, std::move(id),
                                                   StandPlacement{position.lat, position.lon, heading}, radius, cargo,
                                                   ramp, false);
        stand.generatorMark = suffixed ? 1 : 0;
    }
}

void lf_relabelDuplicateStands(ApfAirport& airport) {
    auto& stands = airport.stands;
    for (;;) {
        const auto marked = std::find_if(stands.begin(), stands.end(), [](const Stand& s) { return s.generatorMark != 0; });
        if (marked == stands.end()) break;
        marked->generatorMark = 0;
        const std::string base = marked->id.substr(0, marked->id.size() - 1);
        std::vector<std::size_t> group;
        for (std::size_t i = 0; i < stands.size(); ++i) {
            if (!lf_collectDuplicateStand(stands[i], base)) continue;
            stands[i].generatorMark = 0;
            group.push_back(i);
        }
        // Largest radius first; equal radii keep their file order.
        std::stable_sort(group.begin(), group.end(),
                         [&](std::size_t a, std::size_t b) { return stands[a].radius > stands[b].radius; });
        for (std::size_t k = 0; k < group.size() && k < kMaxGroup; ++k)
            stands[group[k]].id = k == 0 ? base : base + kSuffixes[k - 1];
    }
}

const BglAirportSteps& gf_scanAirportSteps() {
    static const BglAirportSteps steps{
        [](ApfAirport& airport, const std::string& bglPath) { return lf_linkArchived(airport, bglPath); },
        [](ApfAirport& airport, int helipads) { lf_generateApf(airport, helipads); }};
    return steps;
}

void lf_toParkingPositions(const fs::path& path) { lf_toParkingPositions(path, gf_scanAirportSteps()); }

void lf_toParkingPositions(const fs::path& path, const BglAirportSteps& steps) {
    struct SlotRelease {
        ~SlotRelease() { gf_releaseWorkerSlot(); }
    } release;
    try {
        BglWords words;
        if (!gf_readBglWords(path, words)) return;
        gf_readBglAirports(words, gf_utf8Of(path), steps);
    } catch (const std::exception&) {
        lf_logLocked(format("{}!? Exception in lf_toParkingPositions: {}", g_arrow, gf_utf8Of(path)));
        throw;
    }
}

}  // namespace vrn
