// The add-on airport scan: folder walk, worker tasks, scan log and offline learning.
#include "airports/airport_scan.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <future>
#include <mutex>

#include "airports/airport_file_linking.h"
#include "airports/airport_files.h"
#include "airports/bgl_reader.h"
#include "airports/manifest_publisher.h"
#include "core/folders.h"
#include "core/format.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "platform/sys/file_replace.h"
#include "settings/settings_catalogue.h"
#include "update/sim_installation.h"

namespace vrn {

namespace fs = std::filesystem;

const fs::path g_airportsScanLogPath = fs::path("output") / "info" / "AirportsScanLog.txt";
std::atomic<int> g_offlineLearningCount{0};

namespace {

constexpr std::size_t kScanLogReserve = 2048;
constexpr std::size_t kMaxPathLength = 250;
constexpr const char* kSkippedWords[] = {"fs-base",     "tutorials",        "aircraft",          "bushtrip",
                                         "discovery",   "point-of-interest", "simobjects",        "vcockpits",
                                         "aig-aitraffic", "justflight-aicraft", "fsltl",          "gsx-pro",
                                         "gsx-world",   "landingchallenge"};
constexpr const char* kUnreadBglWords[] = {"statics", "AFCAD Updates", "_heliports"};
constexpr const char* kOfflineContact = "airports@varnel.example";

std::mutex g_taskMutex;
AirportScanTask g_task;

AirportScanTask lf_currentTask() {
    std::lock_guard lock(g_taskMutex);
    if (g_task) return g_task;
    return [](const fs::path& path) { lf_toParkingPositions(path); };
}

bool lf_isUnreadBgl(const std::string& path) {
    for (const char* word : kUnreadBglWords)
        if (path.find(word) != std::string::npos) return true;
    return false;
}

// A directory link that leads back to a folder on its own path would be walked again and again
// (with two such links, exponentially often) until the path-length rule ends it; such a link is
// not entered. Other links (packages linked into Community) are followed.
bool lf_isLinkCycle(const fs::directory_entry& entry, const fs::path& root) {
    std::error_code ec;
    if (!entry.is_symlink(ec) || !entry.is_directory(ec)) return false;
    const fs::path target = fs::canonical(entry.path(), ec);
    if (ec) return false;
    for (fs::path p = entry.path().parent_path();; p = p.parent_path()) {
        const fs::path real = fs::canonical(p, ec);
        if (!ec && real == target) return true;
        if (p == root || p == p.parent_path() || p.empty()) return false;
    }
}

// Waits for the oldest task and drops it; its failure is only logged.
void lf_collectOldest(std::deque<std::future<void>>& pending, const std::string& current) {
    std::future<void> oldest = std::move(pending.front());
    pending.pop_front();
    try {
        oldest.get();
    } catch (const std::exception& e) {
        lf_logLocked(format("{} airports search aborted, futs inner, \n{}\n{}\n{}", g_arrow, e.what(), pending.size(),
                            current));
    }
}

}  // namespace

void gf_setAirportScanTask(AirportScanTask task) {
    std::lock_guard lock(g_taskMutex);
    g_task = std::move(task);
}

bool lf_isSkippedFolder(const std::string& path) {
    if (path.size() >= kMaxPathLength) return true;
    for (const char* word : kSkippedWords)
        if (path.find(word) != std::string::npos) return true;
    return false;
}

bool lf_isBglFile(const std::string& extension) { return extension == ".BGL" || extension == ".bgl"; }

void lf_searchAirportsInFolders(const fs::path& folder) {
    lf_logLocked("Scanning for addon airports in " + gf_utf8Of(folder));
    const AirportScanTask task = lf_currentTask();
    const unsigned bound = std::max(1u, g_workerThreads.load());
    std::deque<std::future<void>> pending;
    std::error_code ec;
    // Add-on packages are often linked into Community; the path-length rule ends any link cycle.
    fs::recursive_directory_iterator it(folder, fs::directory_options::follow_directory_symlink, ec);
    if (ec)
        lf_logLocked(format("{} airports search in folder {} aborted because of iterator problem: {}", g_arrow,
                            gf_utf8Of(folder), ec.message()));
    bool stopped = false;
    for (; !ec && !stopped && it != fs::recursive_directory_iterator();) {
        std::string current;
        try {
            const fs::path entry = it->path();
            current = gf_utf8Of(entry);
            std::error_code typeEc;
            if (lf_isSkippedFolder(current) || lf_isLinkCycle(*it, folder)) {
                it.disable_recursion_pending();
            } else if (it->is_regular_file(typeEc) && lf_isBglFile(gf_utf8Of(entry.extension())) &&
                       !lf_isUnreadBgl(current) && lf_isAirportBgl(entry)) {
                if (gf_exitUnderWay()) {
                    stopped = true;
                    break;
                }
                // Counted before the start, so that a quick task never takes the count below zero.
                gf_takeWorkerSlot();
                std::future<void> started;
                try {
                    started = std::async(std::launch::async, task, entry);
                } catch (...) {
                    gf_releaseWorkerSlot();   // the task never ran, so it cannot give its slot back
                    throw;
                }
                pending.push_back(std::move(started));
                if (pending.size() > bound) lf_collectOldest(pending, current);
            }
        } catch (const std::exception& e) {
            lf_logLocked(format("{} airports search in folder {} aborted, cause: {}", g_arrow, gf_utf8Of(folder), e.what()));
        }
        it.increment(ec);
        if (ec)
            lf_logLocked(format("{} airports search in folder {} aborted because of iterator problem: {}", g_arrow,
                                gf_utf8Of(folder), ec.message()));
    }
    // Every started task is collected here, however the walk ended, so none outlives the scan.
    while (!pending.empty()) {
        std::future<void> next = std::move(pending.front());
        pending.pop_front();
        try {
            next.get();
        } catch (const std::exception& e) {
            lf_logLocked(format("{} airports search in {} aborted, futs outer error: {}", g_arrow, gf_utf8Of(folder),
                                e.what()));
        }
    }
}

void lf_checkScanFolder(const std::string& folder) {
    if (folder.empty()) return;
    const fs::path path = gf_pathFromUtf8(folder);
    // A path the file system refuses (a name part too long) is as unusable as a missing one.
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        gf_showStatus(folder + " does not exist, skipped!", true);
        return;
    }
    if (fs::is_directory(path))
        lf_searchAirportsInFolders(path);
    else
        gf_showStatus(folder + " is not a folder name, skipped!", true);
}

void lf_offlineLearning() {
    g_offlineLearningCount.store(0);
    std::vector<std::string> codes;
    gf_listXmlFiles(codes);
    if (fs::exists(g_toBeLearnedOfflineFolder)) fs::remove_all(g_toBeLearnedOfflineFolder);
    if (codes.empty()) return;
    if (!fs::exists(g_toBeLearnedOfflineFolder)) fs::create_directory(g_toBeLearnedOfflineFolder);
    int copied = 0;
    for (const std::string& code : codes) {
        const fs::path source = g_myThirdpartyFolder / gf_apfXmlName(code);
        if (!lf_stockArchiveHasQuality(code) || !lf_checkUnknownPublisher(source).empty()) continue;
        const fs::path target = g_toBeLearnedOfflineFolder / gf_apfXmlName(code);
        std::error_code ec;
        const bool ok = platform::sys::gf_copyFileReplacing(source, target, ec);
        if (ec || !ok) {
            gf_logArrowLine(format("\"{}\" failed to copy \"{}\"", gf_utf8Of(source), gf_utf8Of(target)));
            continue;
        }
        gf_logLine(format("{} copied to {}", code, gf_utf8Of(target)));
        ++copied;
        // The airport keeps its link; the generated file only waits for offline learning.
        if (fs::exists(g_myThirdpartyFolder / gf_apfTxtName(code))) fs::remove(source);
    }
    g_offlineLearningCount.store(copied);
    if (copied > 0) {
        gf_logLine("");
        gf_logArrowLine(format("Please zip the folder {} and mail it to {}, so these airports can be learned offline",
                               gf_utf8Of(g_toBeLearnedOfflineFolder), kOfflineContact));
    } else {
        gf_logLine("All your third party airports are done, no off line learning needed.");
        fs::remove_all(g_toBeLearnedOfflineFolder);
    }
}

bool gf_scanAirports(bool automatic, const std::vector<std::string>& folders) {
    // A second scan in the same run must not report the first scan's files as its own.
    const int before = g_airportFilesDone.load();
    {
        std::error_code ec;
        if (fs::exists(g_airportsScanLogPath, ec)) fs::remove(g_airportsScanLogPath, ec);
        if (ec) gf_logLine("problems with removing previous files (maybe still open?)");
    }
    {
        std::lock_guard lock(g_scanLogMutex);
        g_scanLogLines.clear();
        g_scanLogLines.reserve(kScanLogReserve);
    }
    std::vector<std::string> list = folders;
    if (automatic) {
        if (MSFS_2020.get()) {
            std::string official = gf_utf8Of(gf_simVersionPath("Official"));
            if (!official.empty()) list.push_back(std::move(official));
        }
        std::string community = gf_utf8Of(gf_simVersionPath("Community"));
        if (!community.empty()) list.push_back(std::move(community));
    }
    for (const std::string& folder : list) lf_checkScanFolder(folder);

    std::vector<std::string> lines;
    {
        std::lock_guard lock(g_scanLogMutex);
        lines.swap(g_scanLogLines);
    }
    std::error_code dirEc;
    fs::create_directories(g_airportsScanLogPath.parent_path(), dirEc);
    if (gf_writeLinesFile(lines, g_airportsScanLogPath))
        gf_logLine(gf_utf8Of(g_airportsScanLogPath) + " written");
    else
        gf_logArrowLine(gf_utf8Of(g_airportsScanLogPath) + " could not be written");
    gf_clearStatus();

    lf_offlineLearning();

    const bool found = g_airportFilesDone.load() > before;
    if (found) gf_logLine("Airports scan successful");
    return found;
}

void gf_listXmlFiles(std::vector<std::string>& codes) {
    const fs::path folder = g_myThirdpartyFolder;
    if (!gf_isFolder(folder)) return;
    gf_forEachEntry(folder, [&codes](const fs::directory_entry& item) {
        std::error_code typeEc;
        if (!item.is_regular_file(typeEc)) return;
        std::string extension = gf_utf8Of(item.path().extension());
        std::transform(extension.begin(), extension.end(), extension.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        const std::string stem = gf_utf8Of(item.path().stem());
        if (extension == ".XML" && stem.size() == 4) codes.push_back(stem);
    });
}

}  // namespace vrn
