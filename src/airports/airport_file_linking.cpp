// Linking airports to archived airport parking files, and generating new ones from a scenery's stands.
#include "airports/airport_file_linking.h"

#include <algorithm>

#include "airports/airport_files.h"
#include "airports/manifest_publisher.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace fs = std::filesystem;

std::atomic<int> g_airportFilesDone{0};

namespace {

// Exists-tests that fail for another reason than a missing entry are thrown, as fs::exists does.
bool lf_exists(const fs::path& p) { return fs::exists(p); }

std::optional<fs::path> lf_findIn(const fs::path& folder, const std::string& code) {
    if (!lf_exists(folder)) {
        lf_logLocked(format("\n{} folder does not exist\n", gf_utf8Of(folder)));
        return std::nullopt;
    }
    fs::path candidate = folder / gf_apfXmlName(code);
    if (lf_exists(candidate)) return candidate;
    lf_logLocked(format("{} does not exist", gf_utf8Of(candidate)));
    return std::nullopt;
}

// A link that cannot be written would leave the airport without any file: it then counts as not
// linked, so that its file is generated instead.
bool lf_writeLink(const fs::path& folder, const std::string& code, const fs::path& target) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    const fs::path link = folder / gf_apfTxtName(code);
    if (!ec && gf_writeTextFile(format("{}", gf_utf8Of(target)), link, true)) return true;
    lf_logLocked(format("{}Linking {} did not succeed", g_arrow, gf_utf8Of(link)));
    return false;
}

}  // namespace

void lf_pathFromCommunity(std::string& path) {
    const auto c = path.find("Community");
    if (c != std::string::npos) path.erase(0, c);
}

std::optional<fs::path> lf_findArchivedSimaddon(const std::string& code) {
    return lf_findIn(g_archiveSimaddonFolder, code);
}

std::optional<fs::path> lf_findArchivedThirdparty(const std::string& publisher, const std::string& code) {
    return lf_findIn(g_archiveThirdpartyFolder / gf_pathFromUtf8(publisher), code);
}

std::optional<fs::path> lf_linkSimaddon(const std::string& code) {
    auto found = lf_findArchivedSimaddon(code);
    if (!found) return std::nullopt;
    if (!lf_writeLink(g_mySimaddonFolder, code, *found)) return std::nullopt;
    lf_logLocked(format("{} airport {} linked to {}", kPublisherSimaddon, code, found->string()));
    return found;
}

std::optional<fs::path> lf_linkThirdparty(const std::string& publisher, const std::string& code) {
    auto found = lf_findArchivedThirdparty(publisher, code);
    if (!found) return std::nullopt;
    if (!lf_writeLink(g_myThirdpartyFolder, code, *found)) return std::nullopt;
    lf_logLocked(format("thirdparty {} linked to {}", code, found->string()));
    return found;
}

std::pair<bool, int> lf_linkArchived(ApfAirport& airport, const std::string& bglPath) {
    airport.bglPath = bglPath;
    PublisherInfo info = gf_findPublisher(bglPath);
    airport.publisher = std::move(info.publisher);
    airport.manufacturer = std::move(info.manufacturer);
    airport.creator = std::move(info.creator);
    if (airport.publisher == kPublisherUnknown) return {false, 0};
    const auto found = airport.publisher == kPublisherSimaddon ? lf_linkSimaddon(airport.code)
                                                               : lf_linkThirdparty(airport.publisher, airport.code);
    if (!found) return {false, 0};
    g_airportFilesDone.fetch_add(1);
    return {true, lf_readNumParkpos(*found)};
}

void lf_generateApf(ApfAirport& airport, int helipads) {
    const std::size_t n = airport.stands.size();
    if (n == 0) return;
    if (airport.publisher != kPublisherUnknown) lf_pathFromCommunity(airport.bglPath);
    const fs::path folder = airport.publisher == kPublisherSimaddon ? g_mySimaddonFolder : g_myThirdpartyFolder;
    const std::string name = gf_apfXmlName(airport.code);
    std::string line = format("Generated {}: {} position{}", name, n, n > 1 ? "s" : "");
    if (helipads >= 1) line += format(", of which {} helipad{}", helipads, helipads > 1 ? "s" : "");
    lf_logLocked(line);
    std::sort(airport.stands.begin(), airport.stands.end(),
              [](const Stand& a, const Stand& b) { return a.id < b.id; });
    if (!fs::exists(folder)) fs::create_directory(folder);
    const fs::path target = folder / name;
    // The file is written through a unique temporary file and a rename, so two tasks writing the
    // same airport leave one whole file (the later one).
    if (!gf_writeApf(airport, target, false)) {
        lf_logLocked(format("{}Generating {} did not succeed", g_arrow, gf_utf8Of(target)));
        return;
    }
    g_airportFilesDone.fetch_add(1);
}

}  // namespace vrn
