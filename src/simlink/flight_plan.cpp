// The .pln writer and the no-match log.
#include "simlink/flight_plan.h"

#include <fstream>
#include <vector>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "core/version.h"
#include "settings/settings_catalogue.h"

namespace vrn {

std::mutex g_refusedFlightsMutex;
std::set<std::string> g_refusedFlights;

namespace {

std::mutex l_folderMutex;
std::filesystem::path l_flightPlanFolder;

}  // namespace

std::filesystem::path gf_flightPlanFolder() {
    std::lock_guard lock(l_folderMutex);
    return l_flightPlanFolder;
}

bool gf_makeOrigDestFolder() {
    namespace fs = std::filesystem;
    const fs::path dataFolder = gf_dataFolder();
    const fs::path folder = dataFolder / "orig_dest";
    {
        std::lock_guard lock(l_folderMutex);
        l_flightPlanFolder = folder;
    }
    // A settings folder that cannot be written (read-only, a full disk) is the user's to mend: said
    // as such, with the folder, rather than as the file system library's text.
    std::error_code ec;
    if (!fs::exists(dataFolder, ec) && !ec) fs::create_directory(dataFolder, ec);
    if (!ec && !fs::exists(folder, ec) && !ec) fs::create_directory(folder, ec);
    if (ec)
        // What to do before the folder, which may be long enough to fill the status line.
        throw UserErrorException(45, vrn::format("{} cannot write in its settings folder: make it writable, or free "
                                                 "space on its disk, and start {} again; the folder: \"{}\" ({})",
                                                 g_programName, g_programName, gf_utf8Of(dataFolder), ec.message()));
    return fs::exists(folder, ec);
}

std::filesystem::path gf_flightPlanFileName(std::uint32_t objectId) { return vrn::format("{}.pln", objectId); }

std::string gf_xmlEscape(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        default: out += c; break;
        }
    }
    return out;
}

bool gf_writeFlightPlan(const std::filesystem::path& file, const Aircraft& aircraft) {
    std::ofstream out(file, std::ios::trunc | std::ios::binary);
    if (!out) return false;
    // Business jets, large and heavy aircraft fly IFR; the others VFR.
    const bool ifr = aircraft.sizeClass >= SIZE_BUSINESS_JET && aircraft.sizeClass <= SIZE_HEAVY;
    // Lines end with CR LF, as the simulator's own plans do. Feed texts are escaped so a stray
    // '<' or '&' cannot make the plan unreadable.
    std::string text;
    text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
    text += "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\r\n";
    text += "<FlightPlan.FlightPlan>\r\n";
    text += vrn::format("<FPType>{}</FPType>\r\n", ifr ? "IFR" : "VFR");
    text += vrn::format("<DepartureID>{}</DepartureID>\r\n", gf_xmlEscape(aircraft.departure));
    text += vrn::format("<DestinationID>{}</DestinationID>\r\n", gf_xmlEscape(aircraft.destination));
    text += "</FlightPlan.FlightPlan>\r\n";
    text += "</SimBase.Document>\r\n";
    out << text;
    out.flush();
    out.close();
    return true;
}

bool gf_removeFlightPlanFolder() {
    namespace fs = std::filesystem;
    const fs::path folder = gf_flightPlanFolder();
    if (folder.empty()) return true;
    try {
        if (fs::exists(folder)) fs::remove_all(folder);
        return !fs::exists(folder);
    } catch (const std::exception& e) {
        gf_logLine(vrn::format("gf_removeFlightPlanFolder: {}", e.what()));
        return false;
    }
}

void gf_addRefusedFlight(const std::string& text) {
    std::lock_guard lock(g_refusedFlightsMutex);
    g_refusedFlights.insert(text);
}

bool gf_isRefusedFlight(const std::string& text) {
    std::lock_guard lock(g_refusedFlightsMutex);
    return g_refusedFlights.count(text) != 0;
}

void gf_clearRefusedFlights() {
    std::lock_guard lock(g_refusedFlightsMutex);
    g_refusedFlights.clear();
}

void gf_logNoMatchFound() {
    std::vector<std::string> lines;
    {
        std::lock_guard lock(g_refusedFlightsMutex);
        if (g_refusedFlights.empty()) return;
        lines.reserve(g_refusedFlights.size() + 2);
        lines.push_back("\nNo match found for: ");
        lines.insert(lines.end(), g_refusedFlights.begin(), g_refusedFlights.end());
    }
    lines.push_back("");
    if (!gf_logIsOpen()) return;
    gf_logLines(lines);
}

}  // namespace vrn
