#pragma once
// The add-on airport scan: walks the scenery folders, reads every BGL file with airports in a
// worker task, links or generates each airport's parking file, writes the scan log and sets aside
// generated files of airports that the archive holds learned already.
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace vrn {

// output/info/AirportsScanLog.txt
extern const std::filesystem::path g_airportsScanLogPath;
// Airport files copied into TO_BE_LEARNED_OFFLINE by the last scan.
extern std::atomic<int> g_offlineLearningCount;

// The whole scan. `folders`: the manual folders (automatic mode adds the simulator's package
// folders). True when this scan linked or generated at least one airport file.
bool gf_scanAirports(bool automatic, const std::vector<std::string>& folders);

// What runs for each airport BGL file (tests replace it); the task releases its worker slot.
using AirportScanTask = std::function<void(const std::filesystem::path&)>;
void gf_setAirportScanTask(AirportScanTask task);   // empty: lf_toParkingPositions

void lf_checkScanFolder(const std::string& folder);
// Every started task is collected before this returns, whatever ended the walk.
void lf_searchAirportsInFolders(const std::filesystem::path& folder);
bool lf_isSkippedFolder(const std::string& path);
bool lf_isBglFile(const std::string& extension);
// The four-character names of the *.xml files (any case) in airports/my_thirdparty.
void gf_listXmlFiles(std::vector<std::string>& codes);
// Copies generated third-party files of airports learned in the stock archive to TO_BE_LEARNED_OFFLINE.
void lf_offlineLearning();

}  // namespace vrn
