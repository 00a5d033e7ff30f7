// Builds the airport data of a program folder from data/airports: the airport list and names
// (airports.csv), the parking files of the demo airports (parking/<code>.txt layouts) with their
// learned files and links, the folder tree and a park airports file.
//   VARNEL_SYNTHETIC_AIRPORTS=<n> adds n made-up airports to the list (benchmark-sized lists).
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "airports/airport_data_files.h"
#include "airports/airport_files.h"
#include "builders.h"
#include "core/format.h"
#include "core/geodesy.h"
#include "core/text_files.h"

namespace vrn::data {

namespace fs = std::filesystem;

namespace {

constexpr double kMetresToFeet = 1.0 / 0.3048;

std::vector<std::string> lf_csvFields(const std::string& line) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, ',')) fields.push_back(field);
    return fields;
}

void lf_readAirportCsv(const fs::path& file, std::vector<Airport>& airports,
                       std::vector<std::pair<std::string, std::string>>& names) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> f = lf_csvFields(line);
        if (f.size() < 6) throw std::runtime_error("bad airport line: " + line);
        Airport a;
        a.code = f[0];
        a.iata = f[1];
        a.lat = std::stod(f[2]);
        a.lon = std::stod(f[3]);
        a.alt = std::stod(f[4]);
        std::string name = f[5];
        for (std::size_t i = 6; i < f.size(); ++i) name += "," + f[i];
        names.emplace_back(a.code, name);
        airports.push_back(std::move(a));
    }
}

struct Layout {
    ApfAirport airport;
    std::string folder;
    std::string link;
    int learnedUses = 0;
    unsigned learnedSeed = 1;
};

void lf_addStand(Layout& layout, std::string id, const LatLon& p, double headingDeg, double radiusM,
                 const std::string& kind) {
    if (kind != "gate" && kind != "cargo" && kind != "ramp" && kind != "heli") {
        throw std::runtime_error("unknown stand kind " + kind);
    }
    layout.airport.stands.emplace_back(std::vector<StandUse>{}, std::move(id),
                                       StandPlacement{p.lat, p.lon, headingDeg * kDeg2Rad}, radiusM, kind == "cargo",
                                       kind == "ramp", kind == "heli");
}

Layout lf_readLayout(const fs::path& file) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    Layout layout;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string what;
        if (!(words >> what) || what[0] == '#') continue;
        if (what == "airport") {
            words >> layout.airport.code >> layout.airport.publisher >> layout.airport.altitude;
            std::getline(words >> std::ws, layout.airport.airport_name);
        } else if (what == "folder") {
            words >> layout.folder;
        } else if (what == "link") {
            words >> layout.link;
        } else if (what == "row") {
            std::string prefix, first, kind;
            int count = 0;
            double lat = 0, lon = 0, bearing = 0, spacing = 0, heading = 0, radius = 0;
            if (!(words >> prefix >> first >> count >> lat >> lon >> bearing >> spacing >> heading >> radius >> kind)) {
                throw std::runtime_error("bad row in " + file.string() + ": " + line);
            }
            if (prefix == "-") prefix.clear();
            const int start = std::stoi(first);
            const int width = static_cast<int>(first.size());
            for (int k = 0; k < count; ++k) {
                const LatLon p = gf_destinationPoint({lat, lon}, bearing * kDeg2Rad, k * spacing * kMetresToFeet);
                lf_addStand(layout, prefix + format("{:0{}}", start + k, width), p, heading, radius, kind);
            }
        } else if (what == "stand") {
            std::string id, kind;
            double lat = 0, lon = 0, heading = 0, radius = 0;
            if (!(words >> id >> lat >> lon >> heading >> radius >> kind)) {
                throw std::runtime_error("bad stand in " + file.string() + ": " + line);
            }
            lf_addStand(layout, id, {lat, lon}, heading, radius, kind);
        } else if (what == "learned") {
            words >> layout.learnedUses >> layout.learnedSeed;
        } else {
            throw std::runtime_error("unknown line in " + file.string() + ": " + line);
        }
    }
    if (layout.airport.code.empty() || layout.folder.empty()) {
        throw std::runtime_error(file.string() + " names no airport or folder");
    }
    return layout;
}

struct Operator {
    const char* airline;
    const char* model;
    const char* callsignPrefix;
};

// Learned uses as the program would have gathered them: an aircraft stays a few half hours, with
// an arriving and a departing callsign, on one weekday.
ApfAirport lf_learnedRecord(const Layout& layout) {
    static constexpr Operator kGate[] = {{"BAW", "A320", "BAW"}, {"BAW", "B77W", "BAW"}, {"VIR", "A35K", "VIR"},
                                         {"DLH", "A321", "DLH"}, {"AFR", "A319", "AFR"}, {"UAE", "A388", "UAE"},
                                         {"AAL", "B772", "AAL"}, {"KLM", "B738", "KLM"}};
    static constexpr Operator kCargo[] = {{"FDX", "B763", "FDX"}, {"UPS", "B744", "UPS"}, {"DHK", "B752", "DHK"}};
    static constexpr Operator kRamp[] = {{"PVT", "C172", "G"}, {"PVT", "P28A", "G"}, {"PVT", "C550", "N"}};
    ApfAirport record;
    record.code = layout.airport.code;
    record.airport_name = layout.airport.airport_name;
    record.publisher = layout.airport.publisher;
    record.altitude = layout.airport.altitude;
    std::mt19937 engine(layout.learnedSeed);
    std::vector<Stand> stands = layout.airport.stands;
    std::vector<bool> used(stands.size(), false);
    for (int i = 0; i < layout.learnedUses && !stands.empty(); ++i) {
        const std::size_t s = engine() % stands.size();
        Stand& stand = stands[s];
        if (stand.heli) continue;
        const Operator& op = stand.cargo  ? kCargo[engine() % std::size(kCargo)]
                             : stand.ramp ? kRamp[engine() % std::size(kRamp)]
                                          : kGate[engine() % std::size(kGate)];
        StandUse use;
        use.airline = op.airline;
        use.model = op.model;
        const unsigned flight = 100 + engine() % 800;
        use.callsign = format("{}{}", op.callsignPrefix, flight);
        use.coupled = format("{}{}", op.callsignPrefix, flight + 1);
        use.day = 1 + engine() % 7;
        const int first = static_cast<int>(engine() % 44);
        const int length = 1 + static_cast<int>(engine() % 4);
        for (int h = first; h < first + length && h < kHalfHoursPerDay; ++h) use.hh |= std::uint64_t{1} << h;
        use.soft = engine() % 5 == 0 ? 1 : 0;
        use.number = static_cast<std::uint32_t>(stand.uses.size() + 1);
        stand.uses.push_back(std::move(use));
        used[s] = true;
    }
    for (std::size_t s = 0; s < stands.size(); ++s) {
        if (used[s]) record.stands.push_back(std::move(stands[s]));
    }
    return record;
}

void lf_writeLink(const Layout& layout, const fs::path& programFolder) {
    // Links are written as the program writes them on Windows: back slashes and a CR LF.
    std::string target = "airports/" + layout.folder + "/" + gf_apfXmlName(layout.airport.code);
    for (char& c : target) {
        if (c == '/') c = '\\';
    }
    const fs::path link = programFolder / "airports" / layout.link / gf_apfTxtName(layout.airport.code);
    fs::create_directories(link.parent_path());
    if (!gf_writeTextFile(target + "\r\n", link, false)) throw std::runtime_error("cannot write " + link.string());
}

void lf_buildParking(const fs::path& layoutFile, const fs::path& programFolder, std::vector<std::string>& parkList) {
    Layout layout = lf_readLayout(layoutFile);
    const fs::path file = programFolder / "airports" / layout.folder / gf_apfXmlName(layout.airport.code);
    fs::create_directories(file.parent_path());
    if (!gf_writeApf(layout.airport, file, false)) throw std::runtime_error("cannot write " + file.string());
    if (!layout.link.empty()) lf_writeLink(layout, programFolder);
    if (layout.learnedUses > 0) {
        const ApfAirport learned = lf_learnedRecord(layout);
        // Where the program looks for it: by the folder the parking file lies in.
        const fs::path learnedFile =
            programFolder / lf_learnedPathOf(fs::path("airports") / layout.folder / gf_apfXmlName(layout.airport.code));
        fs::create_directories(learnedFile.parent_path());
        if (!gf_writeApf(learned, learnedFile, true)) throw std::runtime_error("cannot write " + learnedFile.string());
    }
    parkList.push_back(layout.airport.code);
    std::cout << "varnel-data: " << layout.airport.code << " with " << layout.airport.stands.size() << " stands\n";
}

}  // namespace

int buildAirportData(const BuildOptions& options) {
    const fs::path source = options.sourceFolder / "airports";
    const fs::path program = options.programFolder;
    std::vector<Airport> airports;
    std::vector<std::pair<std::string, std::string>> names;
    lf_readAirportCsv(source / "airports.csv", airports, names);
    if (const char* synthetic = std::getenv("VARNEL_SYNTHETIC_AIRPORTS")) {
        const auto extra = gf_syntheticAirports(static_cast<std::size_t>(std::strtoul(synthetic, nullptr, 10)), 44000);
        airports.insert(airports.end(), extra.begin(), extra.end());
    }
    fs::create_directories(program / "input");
    if (!gf_writeAirportListFile(airports, program / "input" / "airports_msfs.xml") ||
        !gf_writeAirportNamesFile(names, program / "input" / "airports_msfs_names.xml")) {
        std::cerr << "varnel-data: cannot write the airport list\n";
        return 1;
    }
    for (const char* folder : {"archive/stock", "archive/simaddon", "archive/thirdparty", "learned/stock",
                               "learned/simaddon", "learned/thirdparty", "my_simaddon", "my_simaddon2024",
                               "my_thirdparty"}) {
        fs::create_directories(program / "airports" / folder);
    }
    std::vector<std::string> parkList;
    std::vector<fs::path> layouts;
    for (const auto& entry : fs::directory_iterator(source / "parking")) {
        if (entry.path().extension() == ".txt") layouts.push_back(entry.path());
    }
    std::sort(layouts.begin(), layouts.end());
    for (const fs::path& layout : layouts) lf_buildParking(layout, program, parkList);
    std::string parkText;
    for (const std::string& code : parkList) parkText += code + "\n";
    const fs::path parkFile = program / "airports" / "my_park_airports.txt";
    if (!fs::exists(parkFile) && !gf_writeTextFile(parkText, parkFile, false)) return 1;
    std::cout << "varnel-data: " << airports.size() << " airports\n";
    return 0;
}

}  // namespace vrn::data
