#pragma once
// The publisher of an add-on airport, from its BGL path or its package's manifest.json, and the
// scan log that the add-on airport scan collects from all its worker tasks.
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vrn {

// The add-on airport scan's log (written to output/info/AirportsScanLog.txt at the end of a scan).
extern std::vector<std::string> g_scanLogLines;
extern std::mutex g_scanLogMutex;
// Appends one line under g_scanLogMutex; safe from any thread.
void lf_logLocked(const std::string& line);
// A copy of the lines so far (tests, the scan's end).
std::vector<std::string> gf_scanLogCopy();

inline constexpr const char* kPublisherUnknown = "unknown";
inline constexpr const char* kPublisherSimaddon = "simaddon";

struct PublisherInfo {
    std::string publisher = kPublisherUnknown;
    std::string manufacturer;
    std::string creator;
};
// (manufacturer, creator) of a package manifest.
using ManifestInfo = std::pair<std::string, std::string>;

// Stock markers in the path, then the publisher groups on the path, then the manifest's
// manufacturer, then its creator. Every step is logged to the scan log.
PublisherInfo gf_findPublisher(const std::string& bglPath);

std::optional<ManifestInfo> lf_searchManifest(const std::string& bglPath);
// The manifest.json directly in the folder (exact name), if any.
std::optional<std::filesystem::path> lf_searchManifestFolder(const std::filesystem::path& folder);
// Absent when the file cannot be opened; throws for text that is no JSON object with string (or
// missing or null) "manufacturer" and "creator" members.
std::optional<ManifestInfo> lf_readManifest(const std::filesystem::path& manifest);
// The parsing step of lf_readManifest on the joined text.
ManifestInfo gf_parseManifestText(const std::string& text);

}  // namespace vrn
