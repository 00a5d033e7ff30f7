// Publisher of an add-on airport from its path or its package's manifest.json; the scan log.
#include "airports/manifest_publisher.h"

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "liveries/type_queries.h"

namespace vrn {

namespace fs = std::filesystem;

std::vector<std::string> g_scanLogLines;
std::mutex g_scanLogMutex;

namespace {

constexpr const char* kStockMarkers[] = {"microsoft-airport", "asobo-airport"};
constexpr const char* kSeparators = "/\\";

std::string lf_memberText(const nlohmann::json& doc, const char* name) {
    const auto it = doc.find(name);
    if (it == doc.end() || it->is_null()) return {};
    return it->get<std::string>();   // throws type_error for anything but a string
}

std::optional<ManifestInfo> lf_readFoundManifest(const fs::path& manifest) {
    lf_logLocked(gf_utf8Of(manifest) + " found");
    return lf_readManifest(manifest);
}

// The package folder Community<sep><package> of a path, when the path has one.
std::optional<fs::path> lf_communityPackage(const std::string& path) {
    const auto c = path.find("Community");
    if (c == std::string::npos) return std::nullopt;
    const auto s1 = path.find_first_of(kSeparators, c);
    if (s1 == std::string::npos) return std::nullopt;
    const auto s2 = path.find_first_of(kSeparators, s1 + 1);
    if (s2 == std::string::npos) return std::nullopt;
    return gf_pathFromUtf8(path.substr(0, s2));
}

}  // namespace

void lf_logLocked(const std::string& line) {
    std::lock_guard lock(g_scanLogMutex);
    g_scanLogLines.push_back(line);
}

std::vector<std::string> gf_scanLogCopy() {
    std::lock_guard lock(g_scanLogMutex);
    return g_scanLogLines;
}

ManifestInfo gf_parseManifestText(const std::string& text) {
    const nlohmann::json doc = nlohmann::json::parse(text);
    if (!doc.is_object()) throw std::runtime_error("manifest.json holds no object");
    return {lf_memberText(doc, "manufacturer"), lf_memberText(doc, "creator")};
}

std::optional<ManifestInfo> lf_readManifest(const fs::path& manifest) {
    TextFile file{manifest, {}};
    if (file.readLines(64) == nullptr) {
        // An empty file opens but has no lines: it is no manifest either.
        return std::nullopt;
    }
    std::string text;
    for (const auto& line : file.lines) text += line;
    return gf_parseManifestText(text);
}

std::optional<fs::path> lf_searchManifestFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return std::nullopt;
    fs::directory_iterator it(folder, ec);
    if (ec) throw fs::filesystem_error("directory_iterator::directory_iterator", folder, ec);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) throw fs::filesystem_error("directory_iterator::operator++", folder, ec);
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        const fs::path& p = it->path();
        if (p.extension() == ".json" && p.stem() == "manifest") return p;
    }
    if (ec) throw fs::filesystem_error("directory_iterator::operator++", folder, ec);
    return std::nullopt;
}

std::optional<ManifestInfo> lf_searchManifest(const std::string& bglPath) {
    try {
        lf_logLocked("Searching for the manifest file ... ");
        if (const auto package = lf_communityPackage(bglPath)) {
            std::error_code ec;
            if (fs::is_directory(*package, ec)) {
                if (const auto manifest = lf_searchManifestFolder(*package)) return lf_readFoundManifest(*manifest);
            }
        }
        // Top down through the file's own folders: the highest readable manifest wins. The folders
        // are built component by component so that a repeated folder name is still reached.
        const fs::path folderOfFile = gf_pathFromUtf8(bglPath).parent_path();
        fs::path folder;
        for (const auto& component : folderOfFile) {
            folder /= component;
            if (folder.empty()) continue;
            const auto manifest = lf_searchManifestFolder(folder);
            if (!manifest) continue;
            try {
                if (auto info = lf_readFoundManifest(*manifest)) return info;
            } catch (const std::exception& e) {
                // An unreadable manifest on the way is passed over.
                lf_logLocked(format("exception in lf_searchManifest: {}", e.what()));
            }
        }
    } catch (const std::exception& e) {
        lf_logLocked(format("exception in lf_searchManifest: {}", e.what()));
    }
    return std::nullopt;
}

PublisherInfo gf_findPublisher(const std::string& bglPath) {
    PublisherInfo result;
    lf_logLocked(format("\nTry find publisher in: {}", bglPath));
    for (const char* marker : kStockMarkers) {
        if (gf_matchesPattern(bglPath, marker)) {
            result.publisher = kPublisherSimaddon;
            lf_logLocked(format("from filename => publisher {}", result.publisher));
            return result;
        }
    }
    result.publisher = gf_matchPublisher(bglPath);
    if (result.publisher != kPublisherUnknown) {
        lf_logLocked(format("publisher \"{}\" found", result.publisher));
        return result;
    }
    const auto manifest = lf_searchManifest(bglPath);
    if (!manifest) {
        lf_logLocked(format("{}No publisher found", g_arrow));
        return result;
    }
    result.manufacturer = manifest->first;
    result.creator = manifest->second;
    if (!result.manufacturer.empty()) {
        const std::string publisher = gf_matchPublisher(result.manufacturer);
        if (publisher != kPublisherUnknown) {
            result.publisher = publisher;
            lf_logLocked(format("from manifest.json: manufacturer \"{}\" => publisher \"{}\"", result.manufacturer,
                                publisher));
            return result;
        }
    }
    if (!result.creator.empty()) {
        const std::string publisher = gf_matchPublisher(result.creator);
        if (publisher != kPublisherUnknown) {
            result.publisher = publisher;
            lf_logLocked(format("from manifest.json creator \"{}\" => publisher \"{}\"", result.creator, publisher));
            return result;
        }
    }
    lf_logLocked(format("no valid info found in manifest about publisher, manufacturer:\"{}\", creator:\"{}\"\\n  {}",
                        result.manufacturer, result.creator, bglPath));
    return result;
}

}  // namespace vrn
