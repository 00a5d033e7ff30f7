#include "app/scan_drivers.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/airport_scan.h"
#include "app/button_commands.h"
#include "app/main_window.h"
#include "core/exceptions.h"
#include "core/folders.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "liveries/livery_scan.h"
#include "settings/settings_catalogue.h"

namespace vrn {
namespace fs = std::filesystem;

namespace {

constexpr int kFolderSettings = 10;

// A scan that found something turns its setting off, in the file and in the window.
void lf_scanDone(CheckBoxParameter& setting) {
    setting.set(false);
    setting.save();
    if (ui::Window* window = g_mainWindow.g_hMainWindow) window->setChecked(setting.controlId, false);
    gf_invalidateBand(Band::Settings);
}

void lf_clearOrCreate(const fs::path& folder) {
    if (gf_isFolder(folder)) {
        gf_clearFolder(folder);
        return;
    }
    std::error_code ec;
    fs::create_directory(folder, ec);
    if (ec) throw fs::filesystem_error("create_directory", folder, ec);
}

// An automatic scan walks the chosen simulator's packages: a stored path that cannot serve stops it
// as the user's error to mend, not as a system error from the walk.
void lf_checkInstallPathForScan() {
    const std::string path = MSFS_2020.get() ? MSFS_INSTALL_PATH.get() : MSFS_2024_INSTALL_PATH.get();
    if (const std::string problem = gf_installPathProblem(path); !problem.empty())
        throw UserErrorException(150, problem + "; type full path to your Community folder above, and press Enter");
}

// The folders of a manual scan that are no folders, for the status line: the setting, the guide and
// the folder's last name first (Log.txt has the whole path); empty when all are there.
std::string lf_missingFoldersText(const std::vector<std::string>& folders, bool liveries) {
    std::vector<std::string> missing;
    for (const std::string& folder : folders)
        if (!gf_isFolderText(folder)) missing.push_back(folder);
    if (missing.empty()) return {};
    return format("{} not found, see {}: {}", liveries ? "lfolder" : "afolder", kFoldersGuideSection,
                  gf_shortNamedFolders(missing, gf_folderSettingNames(missing, liveries)));
}

// The livery index switches off a kind of aircraft of which no livery was found, in the setting;
// its box shows that at once, unticked (and greyed by the index).
void lf_showKindBoxes() {
    ui::Window* window = g_mainWindow.g_hMainWindow;
    if (window == nullptr) return;
    for (const CheckBoxParameter* kind : {&LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT})
        if (window->hasControl(kind->controlId)) window->setChecked(kind->controlId, kind->get());
    gf_invalidateBand(Band::Settings);
}

}  // namespace

void gf_scanLiveriesStep(bool scan) {
    const bool automatic = LIG_AUTOMATIC.get();
    const bool prioritize = LIG_PRIORITIZE.get();
    if (!scan) {
        gf_logLine("\n++++++++++++++++++++++++ liveries scan starts ++++++++++++++++++++++++++++++++");
    } else {
        gf_showStatus(format("Scanning {}for liveries ...", prioritize && !automatic ? "prioritized " : ""), false);
        gf_logLine(format("\n++++++++++++++++++++++++ liveries scan {} starts ++++++++++++++++++++++++++++++++",
                          automatic ? "automatic" : "manual"));
    }
    std::vector<std::string> folders;
    folders.reserve(kFolderSettings);
    if (scan && automatic) lf_checkInstallPathForScan();
    if (scan && !automatic) {
        for (int i = 0; i < kFolderSettings; ++i) {
            std::string value = gf_liveryFolderSetting(i)->get();
            if (!value.empty()) folders.push_back(std::move(value));
        }
        if (folders.empty())
            throw UserErrorException(48, format("Set lfolder0-9 to your livery folders, or tick Automatic beside Scan "
                                                "for liveries: see {}",
                                                kFoldersGuideSection));
    }
    const bool found = gf_scanLiveries(scan, automatic, prioritize, folders);
    lf_showKindBoxes();
    if (!found && automatic)
        throw UserErrorException(43, format("Automatic scan has not found any liveries: untick Automatic and set "
                                            "lfolder0-9, see {}",
                                            kFoldersGuideSection));
    // The scan went on with the other folders; a mistyped one is said, not only logged.
    if (const std::string missing = lf_missingFoldersText(folders, true); !missing.empty())
        gf_showStatusFor("Warning: " + missing, kWarningSeconds);
    if (found && scan) lf_scanDone(SCAN_LIVERIES);
    gf_logLine("-------------------------- liveries scan ends   --------------------------------\n");
}

void gf_checkAfolders(std::vector<std::string>& folders) {
    folders.clear();
    for (int i = 0; i < kFolderSettings; ++i) {
        const StringParameter* setting = gf_airportFolderSetting(i);
        std::string value = setting->get();
        if (value.empty()) continue;
        if (value.find(g_fsBaseGenericFolderName) != std::string::npos)
            throw UserErrorException(42, format("parameter {} points to stock airports instead of add-on airports! "
                                                "See {}",
                                                setting->name, kFoldersGuideSection));
        folders.push_back(std::move(value));
    }
}

void gf_scanAirportsStep() {
    const bool automatic = AFG_AUTOMATIC.get();
    gf_showStatus("Scanning for addon airports ...", false);
    gf_logLine(format("\n++++++++++++++++++++++++ airports scan {} starts +++++++++++++++++++++++++++++",
                      automatic ? "automatic" : "manual"));
    std::vector<std::string> folders;
    folders.reserve(kFolderSettings);
    if (!automatic) {
        gf_checkAfolders(folders);
        if (folders.empty())
            throw UserErrorException(49, format("Set afolder0-9 to your add-on airport folders, or tick Automatic "
                                                "beside Scan for addon airports: see {}",
                                                kFoldersGuideSection));
    }
    // Known before the scan: a folder the scan cannot find is said after it, whatever it found.
    const std::string missing = lf_missingFoldersText(folders, false);
    gf_readAirportNames();
    if (MSFS_2020.get()) lf_clearOrCreate(g_mySimaddonFolder);
    lf_clearOrCreate(g_myThirdpartyFolder);
    const bool found = gf_scanAirports(automatic, folders);
    if (found) lf_scanDone(SCAN_AIRPORTS);
    // The user must act on these: they stay to be read, one after the other, while the start goes on.
    if (!found) gf_showStatusFor("Warning: Scan has not found any add-on airports", kWarningSeconds);
    if (!missing.empty()) gf_showStatusFor("Warning: " + missing, kWarningSeconds);
    g_airportNames.clear();
    gf_logLine("-------------------------- airports scan ends    ----------------------------\n");
}

void gf_clearFolder(const fs::path& folder) {
    if (!gf_isFolder(folder)) return;
    gf_forEachEntry(folder, [](const fs::directory_entry& item) {
        const fs::path entry = item.path();
        std::error_code existsEc;
        if (!fs::exists(fs::symlink_status(entry, existsEc))) {
            gf_logLine(format("{} could not be removed", gf_utf8Of(entry)));
            return;
        }
        std::error_code removeEc;
        const bool removed = fs::remove(entry, removeEc);
        if (removeEc) throw fs::filesystem_error("remove", entry, removeEc);
        if (!removed) gf_logLine(format("{} could not be removed", gf_utf8Of(entry)));
    });
}

}  // namespace vrn
