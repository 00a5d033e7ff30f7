#include "liveries/livery_scan.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <system_error>
#include <thread>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/text_files.h"
#include "core/folders.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "liveries/aircraft_cfg_lines.h"
#include "liveries/livery_search.h"
#include "liveries/regcodes.h"
#include "liveries/type_queries.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {


namespace fs = std::filesystem;

constexpr std::uint32_t kMaxFolderNumber = 10;
constexpr std::size_t kLongPath = 250;
constexpr const char* kSkipWords[] = {"airport", "lvfr",      "mkstudios", "simwings", "fsdreamteam",
                                      "navigraph", "flytampa", "inibuilds", "_CVT_"};

struct ScanCounters {
    std::uint32_t folderNumber = 0;
    std::size_t total = 0;
    std::size_t previousSize = 0;
};

struct FileTask {
    std::string path;
    bool ivao = false;
};

bool lf_stopRequested() { return gf_exitUnderWay(); }

const fs::path& lf_reportPath(int which) {
    static const fs::path paths[] = {
        fs::path("output") / "info" / "AircraftCfgWithNoFltsimSection.txt",   // 0
        fs::path("output") / "info" / "LiveriesSkippedOnPriority.txt",        // 1
        fs::path("output") / "errors" / "InlineRegcodes.txt",                 // 2
        fs::path("output") / "errors" / "InvalidAirlineCodes.txt",            // 3
        fs::path("output") / "errors" / "InvalidAircraftCodes.txt",           // 4
        fs::path("output") / "errors" / "Fixes.txt",                          // 5
        fs::path("output") / "errors" / "InvalidAircraftCfgFiles.txt",        // 6
        fs::path("output") / "errors" / "IncompleFltsimSections.txt",         // 7
        fs::path("output") / "info" / "AirlineModelConversions.txt",          // 8
    };
    return paths[which];
}

// The reports of the previous scan. The stored scan itself stays until a new one is written.
void lf_removeScanReports() {
    try {
        for (int i = 0; i <= 7; ++i) {
            if (fs::exists(lf_reportPath(i))) fs::remove(lf_reportPath(i));
        }
        const fs::path errors = fs::path("output") / "errors";
        if (fs::exists(errors)) fs::remove(errors);
    } catch (const std::exception& e) {
        gf_logLine(format("problems with removing previous files: {}", e.what()));
    }
}

// Scenery and tool folders are not descended into; the words are looked for in the whole path.
bool lf_skipDescent(const std::string& fullText) {
    if (fullText.size() >= kLongPath) return true;
    for (const char* word : kSkipWords)
        if (fullText.find(word) != std::string::npos) return true;
    return false;
}

bool lf_isAircraftCfg(const fs::path& path) {
    return gf_upperAscii(gf_utf8Of(path.stem())) == "AIRCRAFT" && gf_upperAscii(gf_utf8Of(path.extension())) == ".CFG";
}

std::vector<FileTask> lf_walk(const fs::path& folder) {
    std::vector<FileTask> files;
    std::error_code ec;
    fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec), end;
    if (ec) {
        gf_logArrowLine(
            format("liveries search in folder {} aborted because of iterator problem: {}", gf_utf8Of(folder), ec.message()));
        return files;
    }
    while (it != end) {
        const fs::path entryPath = it->path();
        try {
            const std::string text = gf_utf8Of(entryPath);
            if (lf_skipDescent(text)) it.disable_recursion_pending();
            std::error_code sec;
            if (it->is_regular_file(sec) && lf_isAircraftCfg(entryPath)) files.push_back({text, gf_isIvaoPath(text)});
        } catch (const std::exception& e) {
            gf_logArrowLine(format("liveries search in {} aborted, cause: {}", gf_utf8Of(entryPath), e.what()));
        }
        it.increment(ec);
        if (ec) {
            gf_logArrowLine(format("liveries search in folder {} aborted because of iterator problem: {}",
                                   gf_utf8Of(folder), ec.message()));
            break;
        }
    }
    return files;
}

// Gives the slot back however the task ends.
struct WorkerSlot {
    WorkerSlot() { g_scanWorkers.fetch_add(1); }
    ~WorkerSlot() { gf_releaseWorkerSlot(); }
    WorkerSlot(const WorkerSlot&) = delete;
    WorkerSlot& operator=(const WorkerSlot&) = delete;
};

void lf_scanOneFolder(ScanCounters& counters, const std::string& folderText) {
    std::error_code ec;
    const fs::path folder = gf_pathFromUtf8(folderText);
    if (!fs::exists(folder, ec)) {
        gf_logLine(folderText + " does not exist, skipped!");
        return;
    }
    if (!fs::is_directory(folder, ec)) {
        gf_logLine(folderText + " is not a folder name, skipped!");
        return;
    }
    if (counters.folderNumber < kMaxFolderNumber) ++counters.folderNumber;
    if (!lf_stopRequested()) gf_searchFolder(counters.folderNumber, folder, g_liveries);
    if (g_liveries.empty()) {
        gf_logLine(format("No liveries {}", "found in " + folderText));
        return;
    }
    const std::size_t n = g_liveries.size() - counters.previousSize;
    gf_logLine(format("{} liverie{} {}", n, n > 1 ? g_pluralS : "", "found in " + folderText));
    counters.total += n;
    counters.previousSize = g_liveries.size();
}

std::string lf_boolText(bool b) { return b ? "true" : "false"; }

// Writes one report; false (and a log line naming it) when it could not be written.
bool lf_writeReport(std::vector<std::string> lines, const fs::path& file, bool sorted) {
    try {
        if (sorted) std::sort(lines.begin(), lines.end());
        fs::create_directories(file.parent_path());
        if (gf_writeLinesFile(lines, file)) return true;
        gf_logArrowLine(format("{} could not be written", gf_utf8Of(file)));
    } catch (const std::exception& e) {
        gf_logArrowLine(format("{} could not be written: {}", gf_utf8Of(file), e.what()));
    }
    return false;
}

}  // namespace


fs::path gf_communityFolder() {
    const std::string install = MSFS_2020.get() ? MSFS_INSTALL_PATH.get() : MSFS_2024_INSTALL_PATH.get();
    return gf_pathFromUtf8(install) / "Community";
}

void gf_autoScanPackages(const fs::path& community, std::vector<std::string>& found) {
    std::vector<fs::path> entries;
    for (const fs::directory_entry& entry : fs::directory_iterator(community)) entries.push_back(entry.path());
    // The simulator's file system lists by name, case-blind.
    std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
        return gf_upperAscii(gf_utf8Of(a.filename())) < gf_upperAscii(gf_utf8Of(b.filename()));
    });
    auto take = [&](const std::string& path) {
        gf_logLine(format("Automatic scan found: \"{}\"", path));
        found.push_back(path);
    };
    for (const fs::path& entry : entries) {
        const std::string path = gf_utf8Of(entry);
        const bool converted = path.find("_CVT_") != std::string::npos;
        if (path.find("aig-aitraffic-oci-beta") != std::string::npos && !converted) take(path);
        else if (path.find("aig-aitraffic-oci") != std::string::npos && !converted) take(path);
        if (path.find("fsltl-traffic-base") != std::string::npos) take(path);
        if (path.find("justflight-aircraft-traffic-fleet") != std::string::npos) take(path);
    }
}

void gf_searchFolder(std::uint32_t folderNumber, const fs::path& folder, std::list<LiveryData>& liveries) {
    const std::vector<FileTask> files = lf_walk(folder);
    if (files.empty()) return;

    std::vector<std::list<LiveryData>> results(files.size());
    std::vector<std::exception_ptr> failures(files.size());
    std::vector<char> done(files.size(), 0);
    std::atomic<std::size_t> next{0};
    auto worker = [&] {
        for (std::size_t i = next.fetch_add(1); i < files.size(); i = next.fetch_add(1)) {
            if (lf_stopRequested()) return;
            WorkerSlot slot;
            try {
                results[i] = files[i].ivao ? gf_searchLiveriesinIvaoFile(folderNumber, files[i].path)
                                           : gf_searchLiveriesinFile(folderNumber, files[i].path);
            } catch (...) {
                failures[i] = std::current_exception();
            }
            done[i] = 1;
        }
    };
    // At most g_workerThreads files are searched at once; every worker is joined before the
    // results are taken, so no task outlives the walk.
    const std::size_t workers = std::min<std::size_t>(std::max(1u, g_workerThreads.load()), files.size());
    {
        std::vector<std::jthread> pool;
        pool.reserve(workers);
        for (std::size_t w = 0; w < workers; ++w) pool.emplace_back(worker);
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (failures[i]) {
            try {
                std::rethrow_exception(failures[i]);
            } catch (const std::exception& e) {
                gf_logArrowLine(format("liveries search aborted, futs outer, {}", e.what()));
            } catch (...) {
                gf_logArrowLine("liveries search aborted, futs outer, unknown exception");
            }
            continue;
        }
        if (done[i]) liveries.splice(liveries.end(), results[i]);
    }
}

void gf_applyDbaseConversions(LiveryData& livery) {
    if (livery.atcId.empty()) return;
    std::optional<DbRecord> record;
    for (const std::string& variant : gf_regVariants(livery.atcId))
        if (gf_lookupDbRecord(record, variant)) break;
    if (!record) return;
    if (livery.cargo != record->cargo) {
        g_scanReports.conversions.add(format("{:80} {} cargo {} => {}", livery.title, livery.atcId,
                                             lf_boolText(livery.cargo), lf_boolText(record->cargo)));
        livery.cargo = record->cargo;
    }
    // An empty field of the database tells nothing; the livery keeps its own value then.
    const std::string& airline = record->operatorCode.empty() ? record->airline : record->operatorCode;
    if (!airline.empty() && livery.airline != airline) {
        g_scanReports.conversions.add(format("{:80} {} airl {} => {}", livery.title, livery.atcId, livery.airline, airline));
        livery.airline = airline;
    }
    if (!record->type.empty() && livery.model != record->type) {
        g_scanReports.conversions.add(
            format("{:80} {} model {} => {}", livery.title, livery.atcId, livery.model, record->type));
        livery.model = record->type;
    }
}

std::size_t gf_skipLiveriesOnPriority() {
    // The smallest folder number of each airline and model decides (one pass instead of a search
    // of the whole list per livery).
    std::map<std::pair<std::string, std::string>, std::uint32_t> best;
    for (const LiveryData& l : g_liveries) {
        auto [it, inserted] = best.try_emplace({l.airline, l.model}, l.folderNumber);
        if (!inserted) it->second = std::min(it->second, l.folderNumber);
    }
    std::size_t removed = 0;
    for (auto it = g_liveries.begin(); it != g_liveries.end();) {
        if (it->folderNumber > best.at({it->airline, it->model})) {
            g_scanReports.skippedOnPriority.add(format("{:3} {:4}", it->airline, it->model) + " \"" + it->title + "\"");
            it = g_liveries.erase(it);
            ++removed;
        } else {
            ++it;
        }
    }
    return removed;
}

void gf_writeScanReports() {
    const ScanReports& r = g_scanReports;
    const bool noErrors = r.invalidAirlines.empty() && r.invalidModels.empty() && r.codeFixes.empty() &&
                          r.invalidCfgFiles.empty() && r.incompleteSections.empty();
    gf_logLine(noErrors ? "\nNo errors" : "\nErrors:");
    auto report = [](const ReportLines& lines, int which, bool sorted, auto summary) {
        if (lines.empty()) return;
        const std::size_t n = lines.size();
        const std::string s = n > 1 ? g_pluralS : std::string();
        if (lf_writeReport(lines.copy(), lf_reportPath(which), sorted)) gf_logLine(summary(n, s, gf_utf8Of(lf_reportPath(which))));
    };
    using S = const std::string&;
    report(r.invalidAirlines, 3, true, [](std::size_t n, S s, S f) { return format("{} invalid airline code{}, see {}", n, s, f); });
    report(r.invalidModels, 4, true, [](std::size_t n, S s, S f) { return format("{} invalid model code{}, see {}", n, s, f); });
    report(r.codeFixes, 5, false, [](std::size_t n, S, S f) { return format("{} code fixes, see {}", n, f); });
    report(r.invalidCfgFiles, 6, true,
           [](std::size_t n, S, S f) { return format("{} invalid aircraft.cfg files, see {}", n, f); });
    report(r.incompleteSections, 7, true,
           [](std::size_t n, S, S f) { return format("{} incomplete [fltsim.x] sections, see {}", n, f); });
    gf_logLine("\nInformation:");
    report(r.noFltsimSection, 0, true, [](std::size_t n, S, S f) { return format("{} empty aircraft.cfg files, see {}", n, f); });
    report(r.conversions, 8, false, [](std::size_t n, S, S f) {
        return format("{} liveries updated with real live data from dbase, see {}", n, f);
    });
    report(r.skippedOnPriority, 1, true,
           [](std::size_t n, S s, S f) { return format("{} liverie{} skipped on priority, see {}", n, s, f); });
}

bool gf_scanLiveries(bool rescan, bool automatic, bool prioritize, std::vector<std::string>& folders) {
    if (!rescan) {
        gf_readLiveriesScanned();
        gf_processScannedLiveries();
        g_liveries.clear();
        return true;
    }
    g_liveries.clear();
    gf_clearScanReports();
    lf_removeScanReports();
    std::error_code ec;
    if (fs::exists(kAigRegcodesPath, ec)) gf_readDontUseTitlesAig();
    if (gf_countFiles(kMyRegcodesFolder) > 0) gf_readDontUseTitlesTxt();
    if (automatic) {
        const fs::path community = gf_communityFolder();
        std::vector<std::string> found;
        gf_autoScanPackages(community, found);
        if (found.empty()) {
            gf_logLine(format("Automatic scan found folder: \"{}\"", gf_utf8Of(community)));
            folders.push_back(gf_utf8Of(community));
        } else {
            folders.insert(folders.end(), found.begin(), found.end());
        }
    }
    ScanCounters counters;
    for (const std::string& folder : folders) lf_scanOneFolder(counters, folder);
    if (lf_stopRequested()) {
        // The caller takes any return from a rescan as done; without a stored scan the next start
        // scans again instead of reading the liveries this rescan was meant to replace.
        g_liveries.clear();
        gf_clearScanReports();
        std::error_code removeError;
        fs::remove(kLiveriesScannedPath, removeError);
        if (removeError) gf_logLine(format("problems with removing previous files: {}", removeError.message()));
        return true;
    }
    if (g_liveries.empty()) {
        g_mainWindow.g_liveryCount.store(0);
        gf_invalidateBand(Band::Counters);
        gf_clearScanReports();
        gf_clearStatus();
        // The automatic scan's caller has the message that tells the user what to do instead.
        if (automatic) return false;
        // The guide first, then the folders by their settings and last names, mistyped ones first: a
        // whole path can fill the status line alone. Log.txt has the paths.
        gf_logLine(format("no liveries found in {}", gf_namedFolders(folders)));
        std::vector<std::string> missing, empty;
        for (const std::string& folder : folders) (gf_isFolderText(folder) ? empty : missing).push_back(folder);
        std::string named;
        if (!missing.empty()) named += "; not found: " + gf_shortNamedFolders(missing, gf_folderSettingNames(missing, true));
        if (!empty.empty()) named += "; no liveries in: " + gf_shortNamedFolders(empty, gf_folderSettingNames(empty, true));
        throw UserErrorException(53, format("no liveries found, see {}{}", kFoldersGuideSection, named));
    }
    if (folders.size() >= 2) gf_logLine(format("{} in total", counters.total));
    for (LiveryData& livery : g_liveries) gf_applyDbaseConversions(livery);
    if (prioritize) gf_skipLiveriesOnPriority();
    gf_writeScanReports();
    gf_sortUniqueLiveries();
    g_mainWindow.g_liveryCount.store(static_cast<std::int64_t>(g_liveries.size()));
    gf_invalidateBand(Band::Counters);
    gf_clearScanReports();
    gf_clearStatus();
    gf_writeLiveriesScanned();
    gf_processScannedLiveries();
    g_liveries.clear();
    return true;
}

}  // namespace vrn
