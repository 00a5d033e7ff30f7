#include "app/run_thread.h"

#include <ctime>
#include <filesystem>
#include <system_error>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/airport_scan.h"
#include "app/controls.h"
#include "app/exception_reporter.h"
#include "app/exit_procedure.h"
#include "app/gui_requests.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "app/scan_drivers.h"
#include "app/traffic_start.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/time_of_week.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "core/version.h"
#include "feed/feed_hooks.h"
#include "feed/realtraffic_link.h"
#include "liveries/fixes_file.h"
#include "liveries/livery_scan.h"
#include "liveries/type_database.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"
#include "simlink/sim_services.h"
#include "traffic/park_airport_choice.h"
#include "traffic/static_parking.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"
#include "update/data_updates.h"
#include "update/program_update.h"
#include "update/sim_installation.h"

namespace vrn {
namespace fs = std::filesystem;

std::atomic<bool> g_dbaseLoaded{false};
std::atomic<int> g_archiveMajor{0};

namespace {

constexpr std::int64_t kNoLineMinutes = 524160;   // 364 days

ui::Window* lf_window() { return g_mainWindow.g_hMainWindow; }

void lf_enable(const GuiControl& control, bool enabled) {
    if (ui::Window* window = lf_window()) window->enable(control.controlId, enabled);
}

void lf_removeStaleTempFiles() {
    // A save cut short by a kill leaves its temporary file beside the file it was to replace.
    std::size_t removed = gf_removeStaleTempFiles(".", false) + gf_removeStaleTempFiles(gf_dataFolder(), false);
    for (const fs::path& folder : {fs::path("input"), g_outputFolder, fs::path(g_airportsFolder)})
        removed += gf_removeStaleTempFiles(folder, true);
    if (removed > 0) gf_logLine(format("{} stale temporary file{} removed", removed, removed == 1 ? "" : g_pluralS));
}

void lf_setChecked(CheckBoxParameter& setting, bool checked) {
    setting.set(checked);
    if (ui::Window* window = lf_window()) window->setChecked(setting.controlId, checked);
}

bool lf_exists(const fs::path& path) {
    std::error_code ec;
    const bool exists = fs::exists(path, ec);
    if (ec) throw fs::filesystem_error("exists", path, ec);
    return exists;
}

void lf_makeFolder(const fs::path& folder) {
    if (lf_exists(folder)) return;
    std::error_code ec;
    fs::create_directory(folder, ec);
    if (ec) throw fs::filesystem_error("create_directory", folder, ec);
}

void lf_scanAirportsOn() {
    SCAN_AIRPORTS.set(true);
    SCAN_AIRPORTS.save();
    lf_setChecked(SCAN_AIRPORTS, true);
    gf_invalidateBand(Band::Settings);
}

void lf_firstControlStates() {
    const GuiControl* on[] = {&AUTO_RANGE, &COLLISION_USER_AIR, &COLLISION_LIVE_PARKED_GND, &GUID_CHANGES,
                              &BLOCK_CALLSIGN, &MAX_LIVE, &CHECK_VERSION_BUTTON};
    for (const GuiControl* c : on) lf_enable(*c, true);
    const GuiControl* off[] = {&LATERAL_RANGE, &LEARN_SOFT, &CALLSIGN_2_OBJECTID};
    for (const GuiControl* c : off) lf_enable(*c, false);
    lf_enable(UNBLOCK_BUTTON, !BLOCK_CALLSIGN.get().empty());
}

void lf_secondControlStates() {
    const GuiControl* on[] = {&LIG_PRIORITIZE, &SCAN_LIVERIES,  &LIG_AUTOMATIC,     &MSFS_2020,    &SCAN_AIRPORTS,
                              &AFG_AUTOMATIC,  &LIGHT_AIRCRAFT, &HELICOPTERS,       &HIGH_PERF_AIRCRAFT,
                              &AIRPORT_RANGE,  &AIRPORT_HEIGHT, &INITIAL_LOAD_ONLY, &PARK_SOFT,    &PARK_FAKE,
                              &WEEK};
    for (const GuiControl* c : on) lf_enable(*c, true);
    g_userLateralRange.store(LATERAL_RANGE.get());
    MAX_FIT_FL.set(static_cast<float>(MAX_FIT.get()) * 0.5f + 0.5f);
    MAX_FIT_FL.showValue();
    const GuiControl* on2[] = {&MAX_FIT_FL, &NAV_LIGHTS_WHILE_PARKED, &MATCHING_DEPTH, &COLLISION_USER_GND,
                               &LATERAL_RANGE};
    for (const GuiControl* c : on2) lf_enable(*c, true);
    lf_enable(parking_percentage, false);
    lf_enable(FLUSH_STATIC_BUTTON, false);
}

void lf_installPathCheck() {
    const bool msfs2020 = MSFS_2020.get();
    StringEditParameter& chosen = msfs2020 ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH;
    StringEditParameter& other = msfs2020 ? MSFS_2024_INSTALL_PATH : MSFS_INSTALL_PATH;
    lf_enable(chosen, true);
    chosen.showValue();
    // A stored path is not judged here: a run that scans nothing does not need it (the scans that
    // do check it themselves).
    if (chosen.get().empty()) gf_askInstallPath();
    gf_clearControlText(other.controlId);
    lf_enable(other, false);
    gf_invalidateBand(Band::Settings);
}

void lf_dailyChecks(const std::string& today) {
    if (today != DATA_CHECKED_AT_DATE.get()) {
        // User error 99 (a new program to install) leaves the date unstored. A server that could not
        // be reached does not: offline, every start would otherwise wait for it again.
        gf_checkProgramVersion();
        gf_updateAigRegcodes();
        if (!MSFS_2020.get()) gf_updateMySimAddon2024();
        if (gf_updateArchive()) lf_scanAirportsOn();
        DATA_CHECKED_AT_DATE.setAndSave(today);
        lf_enable(CHECK_VERSION_BUTTON, false);
        return;
    }
    if (!lf_exists(g_aigRegcodesPath)) gf_updateAigRegcodes();
    if (!MSFS_2020.get() && gf_mySimAddon2024FolderMissing()) gf_updateMySimAddon2024();
    if (gf_archiveFoldersMissing() && gf_updateArchive()) lf_scanAirportsOn();
}

void lf_runBody() {
    if (!gf_runsFromProgramFolder())
        throw UserErrorException(41, format("{} must be run from the {} folder!", g_programName, g_programName));

    gf_checkInstallation();
    const std::string since = gf_sinceLastRunText(static_cast<std::int64_t>(std::time(nullptr)), LAST_EPOCH_TIME.get());
    if (!since.empty()) gf_logLine(since);
    lf_makeFolder(g_myRegcodesFolder);
    gf_initWorkerThreads();
    if (!lf_exists(g_liveriesScannedPath) && !SCAN_LIVERIES.get()) {
        gf_showStatus(format("File {} is gone, rescan liveries", gf_utf8Of(g_liveriesScannedPath)), true);
        SCAN_LIVERIES.set(true);
        SCAN_LIVERIES.save();
        lf_setChecked(SCAN_LIVERIES, true);
        gf_invalidateBand(Band::Settings);
    }
    gf_scanLiveriesStep(SCAN_LIVERIES.get());
    if (gf_exitUnderWay()) return;
    if (SCAN_AIRPORTS.get()) gf_scanAirportsStep();
    MainWindow& w = g_mainWindow;
    w.g_thirdpartyCount.store(gf_countFiles(g_myThirdpartyFolder));
    w.g_simaddonCount.store(gf_countFiles(MSFS_2020.get() ? g_mySimaddonFolder : g_mySimaddon2024Folder));
    gf_invalidateBand(Band::Counters);
    if (!gf_exitUnderWay())
        gf_startTraffic();
    else
        gf_requestExit(EXIT_USER_CLOSED_SIM, 1);
}

}  // namespace

std::string gf_sinceLastRunText(std::int64_t now, std::int64_t lastEpochTime) {
    if (lastEpochTime == 0) return {};
    // Both cut to 32 bits as stored; the difference is taken wide so that it cannot overflow.
    const auto d = static_cast<std::int32_t>(static_cast<std::int64_t>(static_cast<std::int32_t>(now)) -
                                             static_cast<std::int32_t>(lastEpochTime));
    const std::int32_t m = d / 60;
    const std::int32_t s = d - 60 * m;
    const std::string secondsPlural = (s == 1 || s < 0) ? "" : g_pluralS;
    if (m <= 0) return format("{} second{} since last run", s, secondsPlural);
    if (m >= kNoLineMinutes) return {};
    return format("{} minute{} and {} second{} since last run", m, m > 1 ? g_pluralS : "", s, secondsPlural);
}

void gf_makeFolders() {
    for (const fs::path& folder : {g_outputFolder, g_outputInfoFolder, g_outputErrorsFolder, fs::path(g_airportsFolder),
                                   fs::path("airports/learned"), g_learnedStockFolder, g_learnedSimaddonFolder,
                                   g_learnedThirdpartyFolder})
        lf_makeFolder(folder);
}

void gf_askInstallPath() {
    const fs::path path = gf_findPackagesFolder();
    if (path.empty())
        throw UserErrorException(
            150, "No install path detected, type full path to your Community folder above, and press Enter");
    StringEditParameter& chosen = MSFS_2020.get() ? MSFS_INSTALL_PATH : MSFS_2024_INSTALL_PATH;
    chosen.setAndSave(gf_utf8Of(path));
    chosen.showValue();
    gf_invalidateBand(Band::Settings);
}

void gf_checkInstallation() {
    gf_makeFolders();
    lf_removeStaleTempFiles();
    gf_updateParameters();
    g_userMaxLive.store(MAX_LIVE.get());
    if (MAX_LIVE.get() == MAX_LIVE.defaultValue) gf_clearControlText(MAX_LIVE.controlId);
    lf_firstControlStates();
    std::error_code ec;
    const fs::path current = fs::current_path(ec);
    if (ec) throw fs::filesystem_error("current_path", ec);
    PROGRAM_INSTALL_PATH.setAndSave(gf_utf8Of(current));
    g_currentDaySlot.store(gf_nowDaySlot());
    gf_updateAigRegcodes();
    const std::string today = gf_todayDateCode();
    if (today != DATA_CHECKED_AT_DATE.get() || !lf_exists(kDbasePath)) gf_updateDbase();
    if (!g_dbaseLoaded.load()) {
        gf_readDbase();
        gf_readFixes();
        g_dbaseLoaded.store(true);
    }
    lf_dailyChecks(today);
    g_archiveMajor.store(Version(ARCHIVE_VERSION.get()).major);
    g_rtArchiveWeek.store(g_archiveMajor.load());
    lf_installPathCheck();
    gf_detectRealTraffic();
    lf_secondControlStates();
    gf_readAirports();
    gf_flushLog();
}

bool gf_runsFromProgramFolder() {
    const fs::path docs = g_docsFolder;
    std::error_code ec;
    const fs::file_status st = fs::status(docs, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) throw fs::filesystem_error("status", docs, ec);
    return fs::is_directory(st);
}

void gf_startUpVRNL() {
    g_runThreadActive.store(true);
    ++g_runningThreads;
    try {
        lf_runBody();
    } catch (...) {
        try {
            gf_reportException("lf_startUpVRNL");
        } catch (...) {
        }
    }
    --g_runningThreads;
    g_runThreadActive.store(false);
}

void gf_installRunHooks() {
    SimLinkServices& sim = gf_simLinkServices();
    sim.requestExit = [](int reason, int argument) { gf_requestExit(reason, argument); };
    sim.exitRequested = [] { return gf_exitUnderWay(); };
    g_feedHooks.dropLiveAircraft = gf_dropLiveAircraft;
}

}  // namespace vrn
