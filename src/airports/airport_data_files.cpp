#include "airports/airport_data_files.h"

#include <random>

#include "core/format.h"
#include "core/text_files.h"

namespace vrn {

bool gf_writeAirportListFile(const std::vector<Airport>& airports, const std::filesystem::path& path) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("airports");
    for (const Airport& a : airports) {
        pugi::xml_node node = root.append_child("airport");
        node.append_attribute("code") = a.code.c_str();
        node.append_attribute("iata") = a.iata.c_str();
        node.append_attribute("lat") = format("{:.6f}", a.lat).c_str();
        node.append_attribute("lon") = format("{:.6f}", a.lon).c_str();
        node.append_attribute("alt") = format("{}", a.alt).c_str();
    }
    return gf_saveXmlFile(doc, path);
}

bool gf_writeAirportNamesFile(const std::vector<std::pair<std::string, std::string>>& names,
                              const std::filesystem::path& path) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("AirportNames");
    for (const auto& [code, name] : names) {
        pugi::xml_node node = root.append_child("airport");
        node.append_attribute("ICAO") = code.c_str();
        node.append_attribute("name") = name.c_str();
    }
    return gf_saveXmlFile(doc, path);
}

std::vector<Airport> gf_syntheticAirports(std::size_t count, std::uint32_t seed) {
    static constexpr char kSymbols[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::mt19937 engine(seed);
    std::uniform_real_distribution<double> lat(-56.0, 72.0);
    std::uniform_real_distribution<double> lon(-180.0, 180.0);
    std::uniform_int_distribution<int> alt(0, 9000);
    std::vector<Airport> airports;
    airports.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Airport a;
        std::size_t n = i;
        a.code = "S";
        for (int k = 0; k < 4; ++k) {
            a.code += kSymbols[n % 36];
            n /= 36;
        }
        a.lat = lat(engine);
        a.lon = lon(engine);
        a.alt = alt(engine);
        airports.push_back(std::move(a));
    }
    return airports;
}

}  // namespace vrn
