#pragma once
// The run thread's two scans before the traffic starts: the liveries step (scan the aircraft
// packages, or read the last scan's result) and the add-on airport scan. Each chooses its folders
// from the settings, frames its run in Log.txt, and turns its scan setting off after a scan that
// found something, so that a failed or empty scan is repeated at the next start.
#include <filesystem>
#include <string>
#include <vector>

namespace vrn {

// UserErrorException 48 (manual mode without folders) and 43 (automatic mode found nothing).
void gf_scanLiveriesStep(bool scan);
// UserErrorException 49 (manual mode without folders) and 42 (a folder is the stock airports).
void gf_scanAirportsStep();
// The non-empty afolder0..9 values in order; UserErrorException 42 for one pointing to the stock airports.
void gf_checkAfolders(std::vector<std::string>& folders);
// Deletes the entries directly inside a folder; nothing when it is missing or not a folder.
void gf_clearFolder(const std::filesystem::path& folder);

}  // namespace vrn
