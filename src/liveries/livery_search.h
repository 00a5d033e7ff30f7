#pragma once
// One aircraft.cfg file turned into its liveries: the file's model, its [fltsim.N] sections and the
// code fixes. Runs on the scan workers, many files at once; shares only the report collections and
// the titles seen (aircraft_cfg_lines.h).
#include <cstdint>
#include <list>
#include <string>
#include <vector>

#include "liveries/livery_data.h"

namespace vrn {

// The standard search of one file; throws when a section's processing fails (the file then gives
// nothing). Unreadable files, a failed numbering check or no model give an empty list.
std::list<LiveryData> gf_searchLiveriesinFile(std::uint32_t folderNumber, const std::string& path);
// The search for files of the IVAO model sets (model from the folder, airline from the title).
std::list<LiveryData> gf_searchLiveriesinIvaoFile(std::uint32_t folderNumber, const std::string& path);
// True when the driver hands this file to the IVAO search.
bool gf_isIvaoPath(const std::string& path);

// The model of a file: its first icao_type_designator, else its base_container, checked against the
// valid models and the model fixes (reported); "" when none.
std::string gf_fixModelFromTypeDesignator(const std::string& path, const std::vector<std::string>& lines);
std::string gf_fixIvaoModel(const std::string& path);

// The liveries of one section (its header line first).
std::list<LiveryData> gf_procesFltSimSection(std::uint32_t folderNumber, std::vector<std::string> lines,
                                             const std::string& model, const std::string& path,
                                             const std::string& aircraftFolder);

// The path text up to its last separator ('\' or '/'); "" when it has none.
std::string gf_aircraftFolderOf(const std::string& path);

}  // namespace vrn
