#pragma once
// The liveries step's work: a rescan of the aircraft packages (or the read of the stored scan),
// the corrections and reports of a rescan, and the processing into the livery index.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "liveries/livery_data.h"

namespace vrn {

// rescan false: reads output/LiveriesScanned.xml. rescan true: scans the traffic packages of the
// simulator's Community folder (automatic) or `folders` (manual, in priority order), writes the
// reports and the new LiveriesScanned.xml (replacing the old one only now). Either way the livery
// index is built. Returns false when an automatic rescan found no livery (a manual one throws
// UserErrorException 53 then); other failures are thrown (UserErrorException 51..53 among them).
// A failed rescan leaves the stored scan as it was. An exit request during the walk returns true at
// once, without reports, and removes the stored scan so that the next start scans again.
bool gf_scanLiveries(bool rescan, bool automatic, bool prioritize, std::vector<std::string>& folders);

// The known traffic packages directly in the Community folder, appended to `found`.
void gf_autoScanPackages(const std::filesystem::path& community, std::vector<std::string>& found);
// Every aircraft.cfg below `folder` searched (one task each, at most g_workerThreads at once);
// their liveries appended to `liveries` in the order the walk met the files.
void gf_searchFolder(std::uint32_t folderNumber, const std::filesystem::path& folder, std::list<LiveryData>& liveries);

// Corrections of a rescan.
void gf_applyDbaseConversions(LiveryData& livery);
std::size_t gf_skipLiveriesOnPriority();
void gf_writeScanReports();

// The Community folder of the chosen simulator (MSFS_2020: MSFS_INSTALL_PATH, else MSFS_2024_INSTALL_PATH).
std::filesystem::path gf_communityFolder();

}  // namespace vrn
