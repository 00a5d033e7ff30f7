#include "airports/airport_list.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <stdexcept>

#include "airports/airport_files.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "records/stand_records.h"

namespace vrn {

std::vector<Airport> g_airports;
bool g_airportsRead = false;
std::unordered_map<std::string, std::string> g_airportNames;
Airport g_parkAirport;

namespace {

constexpr std::size_t kAirportReserve = 44000;
constexpr double kClosestRangeNm = 5.0;
// One minute of latitude is one nautical mile on the program's sphere, so a latitude difference
// alone bounds the distance from below; the margin covers rounding.
constexpr double kNmPerDegreeLat = 60.0;
constexpr double kPrefilterMarginNm = 1e-6;

// The list's numbers as the standard conversions read them (leading blanks, trailing text
// ignored); a failure names the conversion the way the program reports it to the user.
double lf_toDouble(const char* text) {
    try {
        return std::stod(text);
    } catch (const std::out_of_range&) {
        throw std::out_of_range("stod argument out of range");
    } catch (const std::invalid_argument&) {
        throw std::invalid_argument("invalid stod argument");
    }
}

float lf_toFloat(const char* text) {
    try {
        return std::stof(text);
    } catch (const std::out_of_range&) {
        throw std::out_of_range("stof argument out of range");
    } catch (const std::invalid_argument&) {
        throw std::invalid_argument("invalid stof argument");
    }
}

void lf_readAirportList(const std::filesystem::path& path) {
    pugi::xml_document doc;
    const pugi::xml_parse_result result = gf_loadXmlFile(doc, path);
    if (!result) throw std::runtime_error(gf_utf8Of(path) + " not loaded " + result.description());
    pugi::xml_node airports;
    for (pugi::xml_node node = doc.first_child(); node; node = node.next_sibling()) {
        if (node.type() == pugi::node_element && std::string_view(node.name()) == "airports") {
            airports = node;
            break;
        }
    }
    if (!airports) throw std::runtime_error(gf_utf8Of(path) + " not found");
    for (pugi::xml_node node = airports.first_child(); node; node = node.next_sibling()) {
        if (node.type() != pugi::node_element || std::string_view(node.name()) != "airport") continue;
        Airport a;
        a.code = node.attribute("code").value();
        a.iata = node.attribute("iata").value();
        a.lat = lf_toDouble(node.attribute("lat").value());
        a.lon = lf_toDouble(node.attribute("lon").value());
        a.alt = static_cast<double>(lf_toFloat(node.attribute("alt").value()));
        g_airports.push_back(std::move(a));
    }
}

}  // namespace

std::filesystem::path gf_airportListPath() { return std::filesystem::path("input") / "airports_msfs.xml"; }
std::filesystem::path gf_airportNamesPath() { return std::filesystem::path("input") / "airports_msfs_names.xml"; }

Airport gf_parkAirportCopy() {
    std::lock_guard lock(g_standsMutex);
    return g_parkAirport;
}

void gf_readAirports() {
    if (g_airportsRead) return;
    if (g_airports.capacity() < kAirportReserve) g_airports.reserve(kAirportReserve);
    const std::filesystem::path path = gf_airportListPath();
    try {
        g_airports.clear();
        lf_readAirportList(path);
    } catch (const pugi::xpath_exception& e) {
        g_airports.clear();
        const char* description = e.result().description();
        throw UserErrorException(87, description ? description : "No error");
    } catch (const std::exception& e) {
        g_airports.clear();
        throw UserErrorException(88, e.what());
    }
    std::stable_sort(g_airports.begin(), g_airports.end(),
                     [](const Airport& a, const Airport& b) { return a.code < b.code; });
    gf_logLine(format("{} airports read from \"{}\"", g_airports.size(), gf_utf8Of(path)));
    g_airports.shrink_to_fit();
    g_airportsRead = true;
}

void gf_resetAirportsForTests() {
    g_airports.clear();
    g_airports.shrink_to_fit();
    g_airportsRead = false;
}

bool gf_readAirportNames() {
    const std::filesystem::path path = gf_airportNamesPath();
    pugi::xml_document doc;
    if (gf_loadXmlFile(doc, path)) {
        if (pugi::xml_node names = doc.child("AirportNames")) {
            for (pugi::xml_node node : names.children("airport")) {
                g_airportNames.try_emplace(node.attribute("ICAO").value(), node.attribute("name").value());
            }
        }
    }
    gf_logLine(format("{} airport names read from \"{}\"", g_airportNames.size(), gf_utf8Of(path)));
    return !g_airportNames.empty();
}

std::optional<Airport> gf_closestAirport(const LatLon& position) {
    const Airport* best = nullptr;
    const Airport* neighbour = nullptr;
    double bestDistance = 100.0;
    for (const Airport& airport : g_airports) {
        if (std::fabs(airport.lat - position.lat) * kNmPerDegreeLat > kClosestRangeNm + kPrefilterMarginNm) continue;
        const double d = gf_distanceNm(position, airport.position());
        if (d <= kClosestRangeNm && d < bestDistance) {
            bestDistance = d;
            if (best) neighbour = best;
            best = &airport;
        }
    }
    if (best && neighbour) {
        gf_logLine(format("Airport {} is closest, neighbour is {}", best->code, neighbour->code));
        std::string bestStand;
        std::string neighbourStand;
        const double dBest = gf_readDestApfForClosestStand(best->code, position, bestStand);
        const double dNeighbour = gf_readDestApfForClosestStand(neighbour->code, position, neighbourStand);
        if (dNeighbour >= dBest) return *best;
        gf_logLine(format("Airport {} is closest, but stand {} at neighbouring airport {} is closest at {:.0F} meters ...",
                          best->code, neighbourStand, neighbour->code, dNeighbour * kNmToMetres));
        return *neighbour;
    }
    if (best) return *best;
    return std::nullopt;
}

std::optional<Airport> gf_findAirport(const std::string& code) {
    // The list is sorted by code with equal codes kept in file order, so the lower bound is the
    // first airport of that code.
    auto it = std::lower_bound(g_airports.begin(), g_airports.end(), code,
                               [](const Airport& a, const std::string& c) { return a.code < c; });
    if (it != g_airports.end() && it->code == code) return *it;
    return std::nullopt;
}

std::string gf_airportText(const Airport& airport) {
    std::string text = airport.code.empty() ? "?" : airport.code;
    if (!airport.iata.empty()) text += " (" + airport.iata + ")";
    return text;
}

}  // namespace vrn
