#include "update/sim_installation.h"

#include <vector>

#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

const fs::path g_community{"Community"};
const fs::path g_official{"Official"};
const fs::path g_official2024{"Official2024"};
const fs::path g_packages{"Packages"};
const fs::path g_localCache{"LocalCache"};
const fs::path g_msfsPackages{"MSFSPackages"};
const fs::path g_userCfgOpt{"UserCfg.opt"};
const std::string g_installedPackagesKey{"InstalledPackagesPath"};

fs::path lf_storePackageFamily() {
    return MSFS_2020.get() ? "Microsoft.FlightSimulator_8wekyb3d8bbwe" : "Microsoft.Limitless_8wekyb3d8bbwe";
}

fs::path lf_steamFolderName() {
    return MSFS_2020.get() ? "Microsoft Flight Simulator" : "Microsoft Flight Simulator 2024";
}

fs::path lf_steamPackagesFolder() {
    const fs::path folder = gf_getFolderPath(CSIDL_APPDATA) / lf_steamFolderName() / g_packages;
    if (!fs::exists(folder)) return {};
    gf_logLine(format("Steam packages:{}", gf_utf8Of(folder)));
    return folder;
}

bool lf_isValidPackagesFolder(const fs::path& folder) {
    if (folder.empty() || !fs::exists(folder)) return false;
    if (!fs::exists(folder / g_community)) return false;
    return fs::exists(folder / (MSFS_2020.get() ? g_official : g_official2024));
}

fs::path lf_findUserCfgOpt() {
    const fs::path local = gf_getFolderPath(CSIDL_LOCAL_APPDATA);
    const fs::path roaming = gf_getFolderPath(CSIDL_APPDATA);
    struct Candidate {
        fs::path path;
        const char* missing;
    };
    const std::vector<Candidate> candidates{
        {local / g_packages / lf_storePackageFamily() / g_localCache / g_userCfgOpt, "MSFS detection, no Store:{}"},
        {roaming / lf_steamFolderName() / g_userCfgOpt, "MSFS detection, no Steam1:{}"},
        {local / g_packages / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / g_localCache / g_userCfgOpt,
         "MSFS detection, no Steam2:{}"},
        {local / g_msfsPackages / g_userCfgOpt, "MSFS detection, no Boxed:{}"},
    };
    for (const Candidate& c : candidates) {
        if (fs::exists(c.path)) return c.path;
        gf_logLine(format(runtime(c.missing), gf_utf8Of(c.path)));
    }
    return candidates.back().path;
}

// True for the line that holds the key; the value is the text between its first two double quotes,
// the whole line when it has none.
bool lf_parseInstalledPackagesPath(fs::path& result, const std::string& line) {
    if (line.find(g_installedPackagesKey) == std::string::npos) return false;
    const auto open = line.find('"');
    if (open == std::string::npos) {
        result = gf_pathFromUtf8(line);
        return true;
    }
    const auto close = line.find('"', open + 1);
    if (close == std::string::npos || close == open + 1)
        result.clear();
    else
        result = gf_pathFromUtf8(line.substr(open + 1, close - open - 1));
    return true;
}

fs::path lf_installedPackagesPath() {
    const fs::path userCfg = lf_findUserCfgOpt();
    if (!fs::exists(userCfg)) {
        gf_logLine("No UserCfg.opt found?");
        return {};
    }
    TextFile file{userCfg, {}};
    fs::path result;
    if (const auto* lines = file.readLines(32); lines != nullptr) {
        for (const std::string& line : *lines)
            if (lf_parseInstalledPackagesPath(result, line)) break;
    }
    if (!result.empty() && !fs::exists(result)) result.clear();
    gf_logLine(format("UserCfg.opt: InstalledPackagesPath={}", result.empty() ? std::string("???") : gf_utf8Of(result)));
    return result;
}

}  // namespace

fs::path gf_findPackagesFolder() {
    if (fs::path steam = lf_steamPackagesFolder(); lf_isValidPackagesFolder(steam)) return steam;
    if (fs::path installed = lf_installedPackagesPath(); lf_isValidPackagesFolder(installed)) return installed;
    return {};
}

fs::path gf_simVersionPath(const fs::path& relative) {
    const std::string base = MSFS_2020.get() ? MSFS_INSTALL_PATH.get() : MSFS_2024_INSTALL_PATH.get();
    return gf_pathFromUtf8(base) / relative;
}

}  // namespace vrn
