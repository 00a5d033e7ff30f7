#include "airports/park_airports.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace fs = std::filesystem;

std::list<ParkAirportEntry> g_parkAirportList;
std::recursive_mutex g_parkAirportListMutex;
std::function<std::optional<LatLon>()> g_userPositionHook;

namespace {

const std::string kParkFileName = "my_park_airports.txt";
constexpr std::size_t kManyParkAirports = 3000;

std::optional<LatLon> g_lastSortPosition;

const char* lf_plural(std::size_t n) { return n >= 2 ? "s" : ""; }

std::vector<std::string> lf_fields(const std::string& line) {
    std::vector<std::string> fields = gf_splitAtComma(line);
    for (std::string& f : fields) f = gf_trim(f);
    // "CODE," names no stand.
    if (fields.size() == 2 && fields[1].empty()) fields.pop_back();
    return fields;
}

std::string lf_withoutBom(const std::string& line) {
    if (line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) return line.substr(3);
    return line;
}

void lf_parkAirportsLine(bool& ok, const std::string& line) {
    const std::vector<std::string> fields = lf_fields(line);
    if (fields.empty() || (fields.size() == 1 && fields[0].empty())) return;
    if (fields.size() >= 3) {
        gf_logLine(format("{}:{} wrong syntax, skipped", kParkFileName, line));
        return;
    }
    const std::string& code = fields[0];
    const std::optional<Airport> airport = gf_findAirport(code);
    if (!airport) {
        gf_showStatus(format("airport {} is unknown", code), true);
        ok = false;
        return;
    }
    if (gf_inParkAirportList(code)) {
        gf_logLine(format("{}:{} double, skipped", kParkFileName, code));
        return;
    }
    std::string stand = fields.size() == 2 ? fields[1] : std::string();
    if (!stand.empty() && !gf_readApfForGateCheck(code, stand)) {
        gf_showStatus(format("{} stand {} is unknown", code, stand), true);
        ok = false;
    }
    g_parkAirportList.push_back({code, std::move(stand), airport->position(), 0.0});
}

void lf_scanParkAirports() {
    std::size_t added = 0;
    try {
        if (!fs::is_directory(g_myThirdpartyFolder)) return;
        for (const fs::directory_entry& entry : fs::directory_iterator(g_myThirdpartyFolder)) {
            if (!entry.is_regular_file()) continue;
            const std::string code = gf_utf8Of(entry.path().stem());
            if (gf_inParkAirportList(code)) continue;
            const std::optional<Airport> airport = gf_findAirport(code);
            if (!airport) continue;
            g_parkAirportList.push_back({code, std::string(), airport->position(), 0.0});
            ++added;
        }
    } catch (const fs::filesystem_error& e) {
        gf_logArrowLine(format("{} not scanned: {}", gf_utf8Of(g_myThirdpartyFolder), e.what()));
    }
    if (added > 0) {
        gf_logLine(format("{} park airport{} added from \"{}\"", added, lf_plural(added), gf_utf8Of(g_myThirdpartyFolder)));
    }
}

// "CODE,STAND" for a line of that airport; "CODE," when the entry has no stand, which reads back as
// no reserved stand.
bool lf_updateParkStand(std::string& line, const ParkAirportEntry& entry) {
    const std::vector<std::string> fields = lf_fields(lf_withoutBom(line));
    if (fields.empty() || fields[0] != entry.code) return false;
    line = format("{},{}", entry.code, entry.stand);
    gf_logLine(format("{}:{},{} updated stand", kParkFileName, entry.code, entry.stand));
    return true;
}


}  // namespace

bool gf_readParkAirports(bool forceSort) {
    std::lock_guard lock(g_parkAirportListMutex);
    g_parkAirportList.clear();
    bool ok = true;

    std::ifstream in(g_parkAirportsPath, std::ios::binary);
    if (!in) {
        gf_logLine(gf_utf8Of(g_parkAirportsPath) + " not found");
    } else {
        std::list<std::string> lines;
        gf_readLines(in, lines);
        bool first = true;
        for (const std::string& line : lines) {
            lf_parkAirportsLine(ok, first ? lf_withoutBom(line) : line);
            first = false;
        }
    }
    const std::size_t count = g_parkAirportList.size();
    if (count > 0) {
        gf_logLine(format("{} park airport{} read from \"{}\"", count, lf_plural(count), kParkFileName));
        if (count > kManyParkAirports) {
            gf_showStatus(format("Warning: There are a lot of airports ({}) in {}, that will cost VRNL much cpu time, "
                                 "and may give stutters",
                                 count, kParkFileName),
                          true);
        }
    }
    lf_scanParkAirports();

    // The list was just rebuilt in file order, so it is ordered again even when the user has not
    // moved since the last sort (by the position of that sort): the park airport choice and the
    // reserved-stand check take its first entry as the nearest.
    const std::optional<LatLon> user = g_userPositionHook ? g_userPositionHook() : std::nullopt;
    const bool moved = user && (!g_lastSortPosition || g_lastSortPosition->lat != user->lat ||
                                g_lastSortPosition->lon != user->lon);
    if (user && (moved || forceSort)) g_lastSortPosition = user;
    if (g_lastSortPosition) {
        for (ParkAirportEntry& entry : g_parkAirportList) {
            entry.distanceNm = gf_distanceNm(*g_lastSortPosition, entry.position);
        }
        g_parkAirportList.sort(
            [](const ParkAirportEntry& a, const ParkAirportEntry& b) { return a.distanceNm < b.distanceNm; });
    }

    g_mainWindow.g_parkAirportOk.store(ok);
    gf_invalidateBand(Band::Park);
    return ok;
}

void gf_writeParkAirports() {
    std::lock_guard lock(g_parkAirportListMutex);
    if (g_parkAirportList.empty()) return;
    const ParkAirportEntry& entry = g_parkAirportList.front();
    const std::string newLine = entry.stand.empty() ? entry.code : format("{}{}", entry.code, "," + entry.stand);

    std::error_code ec;
    const bool exists = fs::exists(g_parkAirportsPath, ec);
    std::ifstream in;
    if (exists) in.open(g_parkAirportsPath, std::ios::binary);
    if (!exists && !ec) {
        if (gf_writeLinesFile({newLine}, g_parkAirportsPath)) {
            gf_logLine(format("{} created with {}", kParkFileName, newLine));
        }
        return;
    }
    if (!in) {
        // The user's list is there (or cannot even be looked at) but cannot be read now: writing
        // one line would replace it.
        gf_showStatus(format("{} cannot be read, {} not stored", kParkFileName, newLine), true);
        return;
    }
    std::list<std::string> read;
    gf_readLines(in, read);
    in.close();
    std::vector<std::string> lines;
    for (std::string line : read) {
        line = lf_withoutBom(line);
        if (gf_trim(line).empty()) continue;
        lines.push_back(std::move(line));
    }
    bool taken = false;
    for (std::string& line : lines) {
        if (lf_updateParkStand(line, entry)) {
            taken = true;
            break;
        }
    }
    if (!taken) {
        lines.insert(lines.begin(), newLine);
        gf_logLine(format("{}:{} new entry", kParkFileName, newLine));
    }
    std::sort(lines.begin(), lines.end());
    if (!gf_writeLinesFile(lines, g_parkAirportsPath)) {
        gf_showStatus(format("{} could not be written", kParkFileName), true);
    }
}

bool gf_inParkAirportList(const std::string& code) {
    std::lock_guard lock(g_parkAirportListMutex);
    return std::any_of(g_parkAirportList.begin(), g_parkAirportList.end(),
                       [&](const ParkAirportEntry& e) { return e.code == code; });
}

void gf_resetParkAirportSort() {
    std::lock_guard lock(g_parkAirportListMutex);
    g_lastSortPosition.reset();
}

}  // namespace vrn
