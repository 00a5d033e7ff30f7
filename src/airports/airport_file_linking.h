#pragma once
// The airport parking file of each airport found by the add-on airport scan: a link to the
// publisher's archived file, or a file generated from the stands of the scenery.
#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include "records/stand_records.h"

namespace vrn {

// Airport parking files linked or generated since program start.
extern std::atomic<int> g_airportFilesDone;

// Stores the BGL path and the publisher data in the record and links an archived file when the
// publisher has one: (linked, the archived file's stand count or 0).
std::pair<bool, int> lf_linkArchived(ApfAirport& airport, const std::string& bglPath);

std::optional<std::filesystem::path> lf_findArchivedSimaddon(const std::string& code);
std::optional<std::filesystem::path> lf_linkSimaddon(const std::string& code);
std::optional<std::filesystem::path> lf_findArchivedThirdparty(const std::string& publisher, const std::string& code);
std::optional<std::filesystem::path> lf_linkThirdparty(const std::string& publisher, const std::string& code);

// Writes airports/my_simaddon/<code>.xml (publisher simaddon) or airports/my_thirdparty/<code>.xml
// from the stands read; nothing without stands. Stands are sorted by id.
void lf_generateApf(ApfAirport& airport, int helipads);

// Keeps the text from its first "Community" on.
void lf_pathFromCommunity(std::string& path);

}  // namespace vrn
