// Loading the park airport's file (with its learned file, fakes, numbering and neighbours) and the
// small single-purpose readers of airport files.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "display/window_state.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace fs = std::filesystem;

ApfHeader g_apfAirport;
fs::path g_apfPath;
std::atomic<bool> g_apfLoaded{false};
std::atomic<bool> g_apfChanged{false};
std::atomic<int> g_apfUpdates{0};
bool g_handmadeOverruled = false;
bool g_apfSaveBlocked = false;
std::vector<std::string> g_keptParkPositions;
std::atomic<int> g_lateralRangeBeforeAuto{-1};

namespace {

constexpr double kNeighbourFactor = 1.1;
constexpr double kNmPerDegreeLat = 60.0;   // one minute of arc is one nautical mile

bool lf_areNeighbours(const Stand& a, const Stand& b) {
    return a.radius + b.radius > kNeighbourFactor * gf_distanceNm(a.position, b.position);
}

void lf_linkAllPairs(std::vector<Stand>& stands) {
    for (Stand& a : stands) {
        for (const Stand& b : stands) {
            if (&a != &b && lf_areNeighbours(a, b)) a.adjacent.push_back(b.number);
        }
    }
}

// The parkpositions element of the airport's parking file, loaded into doc; empty when the
// airport has no file or it does not load.
pugi::xml_node lf_parkPositionsOf(const std::string& code, pugi::xml_document& doc) {
    const fs::path path = gf_findApf(code);
    if (path.empty() || !gf_loadApfDocument(doc, path)) return {};
    return doc.child("parkpositions");
}

}  // namespace

std::optional<LatLon> lf_parkAirportPosition() {
    const LatLon position = g_parkAirport.position();
    return gf_isValidPosition(position) ? std::optional<LatLon>(position) : std::nullopt;
}

void gf_enableAirportControl(const GuiControl& control, bool enabled) {
    if (ui::Window* window = g_mainWindow.g_hMainWindow; window && window->hasControl(control.controlId)) {
        window->enable(control.controlId, enabled);
    }
}

// Every stand lists the stands whose radii together exceed 1.1 times their distance. A latitude
// difference bounds the distance from below, so only stands in a narrow latitude band are
// measured; the result is the same as comparing every pair.
void gf_linkNeighbours(std::vector<Stand>& stands) {
    double maxRadius = 0.0;
    bool finite = true;
    for (const Stand& s : stands) {
        finite = finite && std::isfinite(s.position.lat) && std::isfinite(s.position.lon) && std::isfinite(s.radius);
        maxRadius = std::max(maxRadius, s.radius);
    }
    if (!finite) {
        lf_linkAllPairs(stands);
    } else {
        std::vector<std::uint32_t> byLat(stands.size());
        for (std::uint32_t i = 0; i < byLat.size(); ++i) byLat[i] = i;
        std::sort(byLat.begin(), byLat.end(),
                  [&](std::uint32_t x, std::uint32_t y) { return stands[x].position.lat < stands[y].position.lat; });
        for (Stand& a : stands) {
            const double reachNm = (a.radius + maxRadius) / kNeighbourFactor;
            const double reachDeg = reachNm / kNmPerDegreeLat * (1.0 + 1e-9) + 1e-12;
            auto it = std::lower_bound(byLat.begin(), byLat.end(), a.position.lat - reachDeg,
                                       [&](std::uint32_t x, double lat) { return stands[x].position.lat < lat; });
            for (; it != byLat.end() && stands[*it].position.lat <= a.position.lat + reachDeg; ++it) {
                const Stand& b = stands[*it];
                if (&a != &b && lf_areNeighbours(a, b)) a.adjacent.push_back(b.number);
            }
            std::sort(a.adjacent.begin(), a.adjacent.end());
        }
    }
    for (Stand& s : stands) s.adjacent.shrink_to_fit();
}

std::string gf_readApf(const fs::path& path, std::uint64_t& quality) {
    std::lock_guard lock(g_standsMutex);
    gf_logLine("read_apf: " + gf_utf8Of(path));
    // The caller has emptied the stands: until this load has ended whole, closing must not save
    // them over the learned file (a reload without closing first would otherwise leave the flag
    // of the earlier load standing).
    g_apfLoaded.exchange(false);
    if (g_parkAirport.code.empty()) return "gf_readApf, no park airport set";
    try {
        g_handmadeOverruled = false;
        g_apfSaveBlocked = false;
        pugi::xml_document doc;
        const pugi::xml_parse_result result = gf_loadApfDocument(doc, path);
        if (!result) {
            return format("\"{}\" found, but could not be loaded: {}", gf_utf8Of(path), result.description());
        }
        g_apfAirport.RT_traffic_week = lf_readIntParameter(doc, "RT_traffic_week").value_or(0);
        g_apfAirport.publisher = lf_readStringParameter(doc, "publisher").value_or("");
        const std::optional<int> altitude = lf_readIntParameter(doc, "altitude");
        if (!altitude) throw UserErrorException(65, "Parameter altitude not found");
        g_apfAirport.altitude = *altitude;
        g_parkAirport.alt = static_cast<double>(*altitude);
        g_apfAirport.airport_name = lf_readStringParameter(doc, "airport_name").value_or("");

        StandReading reading{path, lf_parkAirportPosition()};
        lf_readParkPositions(doc, g_stands, UseOrigin::Archive, reading);
        reading.sayRefused();
        quality = gf_packQuality(lf_readIntParameter(doc, "Qf_real").value_or(-1),
                                 lf_readIntParameter(doc, "Qf_soft").value_or(-1));

        const fs::path learned = lf_learnedPathOf(path);
        if (learned.empty() || !fs::exists(learned)) {
            gf_enableAirportControl(parking_percentage, false);
            parking_percentage.set(30);
            if (CUSTOM_PARKING_PERCENTAGE.get() >= 0) {
                parking_percentage.set(parking_percentage.clamp(CUSTOM_PARKING_PERCENTAGE.get()));
                gf_logLine("parking percentage overruled by " + CUSTOM_PARKING_PERCENTAGE.name);
            }
            gf_logIndentedLine(format("{:24}: {}%", parking_percentage.name, parking_percentage.get()));
            parking_percentage.showValue();
        } else {
            lf_readLearned(learned);
            const auto [real, soft] = gf_countHalfHours();
            quality = gf_packQuality(real, soft);
            if (g_handmadeOverruled) gf_logLine("A handmade airport file overruled the archived file!");
            if (PARK_FAKE.get()) lf_fakeAircraftTypes(gf_utf8Of(path.stem()), g_stands);
        }

        g_mainWindow.g_standCount.store(static_cast<int>(g_stands.size()));
        gf_invalidateBand(Band::Park);

        for (std::size_t i = 0; i < g_stands.size(); ++i) g_stands[i].number = static_cast<std::uint32_t>(i + 1);
        gf_linkNeighbours(g_stands);

        // The traffic reader applies the ground rules against the park airport's elevation and keeps
        // ground traffic only near its position: told before the line below says the file is read.
        const bool parkAirportSet = !g_parkAirport.code.empty();
        g_trafficReader.setFieldElevation(parkAirportSet ? std::optional<double>(g_parkAirport.alt) : std::nullopt);
        g_trafficReader.setParkAirport(parkAirportSet ? std::optional<LatLon>(g_parkAirport.position())
                                                      : std::nullopt);

        gf_logLine(format("Airport file read from \"{}\" for {}", gf_utf8Of((g_handmadeOverruled ? learned : path)),
                          g_apfAirport.airport_name));
        const std::string qualityText = lf_qualityFactorText(gf_qualityReal(quality), gf_qualitySoft(quality));
        g_mainWindow.g_parkFileSource.set(g_apfAirport.publisher);
        g_mainWindow.g_parkFileHandmade.store(g_handmadeOverruled);
        g_mainWindow.g_parkQualityText.set(qualityText);
        gf_invalidateBand(Band::Park);
        gf_logIndentedLine(format("{:24}: {}", "publisher", g_apfAirport.publisher));
        gf_logIndentedLine(format("{:24}: {} ft", "altitude", g_apfAirport.altitude));
        gf_logIndentedLine(format("{:24}: {}", "num_parkpos", g_stands.size()));
        if (reading.refused > 0) gf_logIndentedLine(format("{:24}: {}", "stands refused", reading.refused));
        gf_logIndentedLine(format("{:24}: {}", "quality factor", qualityText));
        gf_logIndentedLine(format("{:24}: {}", "RT traffic week", g_apfAirport.RT_traffic_week));
        gf_flushLog();   // from here the reader takes ground traffic: Log.txt says so at once

        g_apfLoaded.exchange(true);
        gf_enableAirportControl(FLUSH_STATIC_BUTTON, true);
        g_apfChanged.store(false);
        g_apfPath = path;
        gf_invalidateBand(Band::Park);
        return g_stands.empty() ? "no stands found" : "";
    } catch (const UserErrorException&) {
        throw;
    } catch (const std::exception& e) {
        return format("exception in readApf: {}", e.what());
    }
}

double gf_readDestApfForClosestStand(const std::string& code, const LatLon& position, std::string& standId) {
    double best = 100.0;
    try {
        pugi::xml_document doc;
        for (pugi::xml_node parkpos : lf_parkPositionsOf(code, doc).children("parkpos")) {
            const LatLon p{std::strtod(parkpos.attribute("latitude").value(), nullptr),
                           std::strtod(parkpos.attribute("longitude").value(), nullptr)};
            const double d = gf_distanceNm(position, p);
            if (d < best) {
                best = d;
                standId = gf_standIdOf(parkpos);
            }
        }
    } catch (const std::exception& e) {
        gf_logLine(format("exception in gf_readDestApfForClosestStand: {}", e.what()));
        return 100.0;
    }
    return best;
}

bool gf_readApfForGateCheck(const std::string& code, const std::string& standId) {
    try {
        pugi::xml_document doc;
        for (pugi::xml_node parkpos : lf_parkPositionsOf(code, doc).children("parkpos")) {
            if (standId == gf_standIdOf(parkpos)) return true;
        }
    } catch (const std::exception& e) {
        gf_logLine(format("exception in gf_readApfForGateCheck: {}", e.what()));
    }
    return false;
}

int lf_readNumParkpos(const fs::path& path) {
    pugi::xml_document doc;
    if (!gf_loadApfDocument(doc, path)) return 0;
    return lf_readIntParameter(doc, "num_parkpos").value_or(0);
}

std::string lf_publisherOfApf(const fs::path& path) {
    pugi::xml_document doc;
    if (!gf_loadApfDocument(doc, path)) return {};
    return lf_readStringParameter(doc, "publisher").value_or("");
}

bool lf_stockArchiveHasQuality(const std::string& code) {
    pugi::xml_document doc;
    if (!gf_loadApfDocument(doc, g_archiveStockFolder / gf_apfXmlName(code))) return false;
    const auto real = lf_readIntParameter(doc, "Qf_real");
    const auto soft = lf_readIntParameter(doc, "Qf_soft");
    return (real && *real >= 0) || (soft && *soft >= 0);
}

std::string lf_checkUnknownPublisher(const fs::path& path) {
    pugi::xml_document doc;
    if (!gf_loadApfDocument(doc, path)) return format("\"{}\" not found", gf_utf8Of(path));
    if (lf_readStringParameter(doc, "publisher").value_or("") != "unknown") return {};
    const auto manufacturer = lf_readStringParameter(doc, "manufacturer");
    const auto creator = lf_readStringParameter(doc, "creator");
    if ((manufacturer && manufacturer->size() >= 4) || (creator && creator->size() >= 4)) return {};
    return format("{}={}, {}={}", "manufacturer", manufacturer.value_or(""), "creator", creator.value_or(""));
}

}  // namespace vrn
