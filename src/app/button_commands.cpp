// Commands of the check boxes and push buttons. A check box is toggled and saved first; what follows
// may show a hint, change the window or raise a request that the main loop carries out.
#include "app/button_commands.h"

#include <filesystem>
#include <functional>
#include <system_error>
#include <vector>

#include "airports/airport_files.h"
#include "airports/automatic_range.h"
#include "app/counters.h"
#include "app/edit_fields.h"
#include "app/gui_requests.h"
#include "app/main_window.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "core/version.h"
#include "liveries/aircraft_cfg_lines.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"
#include "traffic/park_airport_choice.h"

namespace vrn {

namespace {

namespace fs = std::filesystem;

inline constexpr int kExitRestartIpp = 3;

void lf_hint(bool show, const std::string& text) {
    if (show)
        gf_showStatus(text, false);
    else
        gf_clearStatus();
}

void lf_setIfParkFileLoaded() {
    if (g_apfLoaded.load()) g_parkSettingsChanged.store(true);
}

void lf_restartForPath() {
    gf_showStatus(format("Community path found, {} will restart ...", g_programName), true);
    gf_requestExitFromWindow(kExitRestartIpp, 3);
}

void lf_autoRange(ui::Window& window, bool on) {
    g_parkSettingsChanged.store(true);
    if (on) {
        g_userLateralRange.store(LATERAL_RANGE.get());
        gf_autoLateralRange();
        window.enable(LATERAL_RANGE.controlId, false);
    } else {
        window.enable(LATERAL_RANGE.controlId, true);
        gf_setLateralRange(g_userLateralRange.load());
        LATERAL_RANGE.showValue();
        gf_clearStatus();
    }
}

void lf_switchSimulator(bool on) {
    // The liveries of the other simulator are of no use: scan both again at the next start. A file
    // that cannot be deleted is rewritten by that scan anyway, so its failure only goes to the log.
    std::error_code ec;
    if (fs::exists(g_liveriesScannedPath, ec) && !fs::remove(g_liveriesScannedPath, ec) && ec)
        gf_logLine(format("cannot delete {}: {}", gf_utf8Of(g_liveriesScannedPath), ec.message()));
    SCAN_AIRPORTS.setChecked(true);
    SCAN_AIRPORTS.save();
    SCAN_LIVERIES.setChecked(true);
    SCAN_LIVERIES.save();
    gf_showStatus(format("Switching Simulator to {}", on ? "MSFS 2020" : "MSFS 2024"), true);
    gf_requestExitFromWindow(kExitRestartIpp, 4);
}

void lf_checkVersion(ui::Window& window) {
    const AvailableUpdates answer = g_windowHooks.listAvailableUpdates();
    if (!answer.checked) {
        // Nothing could be compared: never "up to date", and the user may try again.
        gf_showStatus(format("Check version failed: {}", answer.failure.empty() ? "no version file read" : answer.failure),
                      true);
        return;
    }
    if (!answer.newer.empty()) {
        DATA_CHECKED_AT_DATE.setAndSave(std::string());   // the data check runs at the next start
        gf_showStatus(format("{} ==> exit {} and restart ...", answer.newer, g_programName), false);
    } else {
        gf_showStatus(format("{} is up to date", g_programName), false);
    }
    window.enable(CHECK_VERSION_BUTTON.controlId, false);
}

struct CheckBoxCommand {
    CheckBoxParameter* setting;
    std::function<void(ui::Window&, bool on)> then;
};

const std::vector<CheckBoxCommand>& lf_checkBoxCommands() {
    static const std::vector<CheckBoxCommand> commands = {
        {&NAV_LIGHTS_WHILE_PARKED, [](ui::Window&, bool) { g_navLightsRequest.store(true); }},
        {&AUTO_RANGE, lf_autoRange},
        {&MSFS_2020, [](ui::Window&, bool on) { lf_switchSimulator(on); }},
        {&SCAN_LIVERIES,
         [](ui::Window&, bool on) {
             lf_hint(on, format("Your liveries will be scanned at the next start of {}, recommended after you have "
                                "add/removed AI aircraft models/liveries",
                                g_programName));
         }},
        {&SCAN_AIRPORTS,
         [](ui::Window&, bool on) {
             lf_hint(on, format("Your airports will be scanned at the next start of {}, recommended after you have "
                                "add/removed airports",
                                g_programName));
         }},
        {&LIG_AUTOMATIC,
         [](ui::Window&, bool on) { lf_hint(!on, "The liveries defined by your lfolder parameters will be scanned"); }},
        {&LIG_PRIORITIZE,
         [](ui::Window&, bool on) {
             lf_hint(on, "Liveries in lower lfolders that are already available will be skipped");
         }},
        {&AFG_AUTOMATIC,
         [](ui::Window&, bool on) { lf_hint(!on, "The airports defined by your afolder parameters will be scanned"); }},
        {&PARK_SOFT, [](ui::Window&, bool) { gf_respondIn(); }},
        {&PARK_FAKE, [](ui::Window&, bool) { gf_respondIn(); }},
        {&WEEK, [](ui::Window&, bool) { gf_respondIn(); }},
        {&INITIAL_LOAD_ONLY,
         [](ui::Window&, bool on) {
             lf_hint(on, "Initial Load Only: static parked aircraft are generated once, no renewal every 20 minutes");
             lf_setIfParkFileLoaded();
         }},
        {&COLLISION_LIVE_PARKED_GND,
         [](ui::Window&, bool on) {
             lf_hint(!on, "Be aware, no collision avoidance with live aircraft vs parked static on the ground");
         }},
        {&COLLISION_USER_GND,
         [](ui::Window&, bool on) { lf_hint(!on, "Be aware, no collision avoidance with user aircraft on the ground"); }},
        {&COLLISION_USER_AIR,
         [](ui::Window&, bool on) { lf_hint(!on, "Be aware, no collision avoidance with user aircraft in the air"); }},
        {&SUPPRESS_STUB,
         [](ui::Window&, bool on) { lf_hint(on, "Exclude FSLTL-liveries titles ending with _STUB from scan"); }},
        {&LOG, nullptr},
        {&LIGHT_AIRCRAFT, nullptr},
        {&HELICOPTERS, nullptr},
        {&HIGH_PERF_AIRCRAFT, nullptr},
        {&ALWAYS_ON_TOP,
         [](ui::Window& window, bool on) {
             lf_hint(on, format("{}'s window will remain visible", g_programName));
             window.setTopMost(on);
         }},
        {&AEROWINX,
         [](ui::Window&, bool on) {
             lf_hint(on, format("Aerowinx mode is only for users of the Aerowinx flight-deck simulator: start {} "
                                "again to use it",
                                g_programName));
         }},
        {&LEARN_SOFT, [](ui::Window&, bool) { lf_setIfParkFileLoaded(); }},
        {&GUID_CHANGES,
         [](ui::Window&, bool on) {
             lf_hint(!on, "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc..");
         }},
    };
    return commands;
}

bool lf_onCommand(ui::Window& window, std::uint16_t id) {
    if (id == UNBLOCK_BUTTON.controlId) {
        if (!BLOCK_CALLSIGN.get().empty())
            gf_unblockCallsign();
        else
            gf_showStatus("Nothing to block or unblock...", false);
    } else if (id == CHECK_VERSION_BUTTON.controlId) {
        lf_checkVersion(window);
    } else if (id == REREAD_BUTTON.controlId) {
        g_rereadRequest.store(true);
        window.enable(REREAD_BUTTON.controlId, false);
    } else if (id == FLUSH_STATIC_BUTTON.controlId) {
        gf_showStatus("All static parked aircraft will be removed ...", false);
        g_flushStaticRequest.store(true);
        window.enable(FLUSH_STATIC_BUTTON.controlId, false);
    } else {
        bool handled = false;
        for (const CheckBoxCommand& command : lf_checkBoxCommands()) {
            if (!gf_toggleCheckbox(window, id, *command.setting)) continue;
            if (command.then) command.then(window, command.setting->get());
            handled = true;
            break;
        }
        if (!handled) return true;
    }
    window.invalidate(gf_bandRect(Band::Settings), true);
    return false;
}

// The part of a typed path that names a folder: without trailing separators (the root stays).
fs::path lf_withoutTrailingSeparators(std::string text) {
    while (text.size() > 1 && (text.back() == '/' || text.back() == '\\')) text.pop_back();
    return gf_pathFromUtf8(text);
}

fs::path lf_packagesFolder(const fs::path& path) { return path.filename() == "Community" ? path.parent_path() : path; }

}  // namespace

bool gf_runCommand(ui::Window& window, std::uint16_t id) { return lf_onCommand(window, id); }

void gf_onCommand(ui::Window& window, std::uint16_t id) {
    try {
        lf_onCommand(window, id);
    } catch (const std::exception& e) {
        // Nothing may escape into the message loop: the user sees what failed.
        gf_showError(format("lf_onCommand: {}", e.what()));
        window.invalidate(gf_bandRect(Band::Settings), true);
    } catch (...) {
        gf_showError("lf_onCommand: Unknown exception");
    }
}

void gf_unblockCallsign() {
    const std::string old = BLOCK_CALLSIGN.get();
    if (old.empty()) return;
    BLOCK_CALLSIGN.setAndSave(std::string());
    BLOCK_CALLSIGN.showValue();
    if (ui::Window* window = g_mainWindow.g_hMainWindow) window->enable(UNBLOCK_BUTTON.controlId, false);
    gf_showStatus(format("no more blocking of live aircraft \"{}\"", old), true);
    g_blockRequest.store(true);
}

void gf_blockCallsign() {
    gf_clearStatus();
    const std::string typed = gf_getEditText(BLOCK_CALLSIGN.controlId);
    if (typed.empty()) {
        if (!BLOCK_CALLSIGN.get().empty()) gf_unblockCallsign();
        return;
    }
    if (typed.size() < 4 || typed.size() > 8) {
        gf_showStatus(format("callsign \"{}\" is not valid", typed), true);
        BLOCK_CALLSIGN.showValue();
        return;
    }
    const std::string text = gf_upperAscii(typed);
    if (text == BLOCK_CALLSIGN.get()) {
        gf_showStatus(format("This callsign ({}) was already set ...", text), true);
        BLOCK_CALLSIGN.showValue();
        return;
    }
    BLOCK_CALLSIGN.setAndSave(text);
    BLOCK_CALLSIGN.showValue();
    if (ui::Window* window = g_mainWindow.g_hMainWindow) window->enable(UNBLOCK_BUTTON.controlId, true);
    gf_showStatus(format("live aircraft with callsign \"{}\" will be blocked", text), true);
    g_blockRequest.store(true);
}

std::string gf_installPathProblem(const std::string& text) {
    const fs::path path = lf_withoutTrailingSeparators(text);
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    // A path the file system refuses (a name part too long, no permission) is the user's to mend too.
    const bool missing = ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory;
    if (ec && !missing) return format("The file system refuses this install path ({}): {}", ec.message(), gf_excerpt(text));
    if (!fs::exists(st)) return format("This install path does not exist: {}", gf_excerpt(text));
    // The packages folder is the parent of the last component when that is Community itself. A bare
    // "Community" has no parent to store: storing an empty path would restart with no simulator.
    const fs::path packages = lf_packagesFolder(path);
    if (packages.empty() || !fs::is_directory(packages / "Community", ec))
        return "This path exists but is not a path to Community ...";
    return {};
}

void gf_newSimPath(StringEditParameter& setting, const std::string& text) {
    gf_clearError();
    gf_clearStatus();
    if (text.empty()) {
        if (!setting.get().empty()) setting.setAndSave(std::string());
        return;
    }
    if (const std::string problem = gf_installPathProblem(text); !problem.empty()) {
        gf_showStatus(problem, true);
        setting.showValue();
        return;
    }
    const fs::path path = lf_withoutTrailingSeparators(text);
    setting.setAndSave(path.filename() == "Community" ? gf_utf8Of(lf_packagesFolder(path)) : text);
    lf_restartForPath();
}

}  // namespace vrn
