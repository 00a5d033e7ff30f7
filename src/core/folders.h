#pragma once
// Folder tests and walks that raise filesystem errors naming the step, for the scans' folder work.
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace vrn {

// True for a folder; false when nothing is there. Other errors are raised.
inline bool gf_isFolder(const std::filesystem::path& path) {
    std::error_code ec;
    const std::filesystem::file_status st = std::filesystem::status(path, ec);
    if (ec && ec != std::errc::no_such_file_or_directory) throw std::filesystem::filesystem_error("status", path, ec);
    return std::filesystem::is_directory(st);
}

// Calls `visit` for each entry directly in a folder; iterator errors are raised naming the step.
template <typename F>
void gf_forEachEntry(const std::filesystem::path& folder, F&& visit) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) throw fs::filesystem_error("directory_iterator::directory_iterator", folder, ec);
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) throw fs::filesystem_error("directory_iterator::operator++", folder, ec);
        visit(*it);
    }
    if (ec) throw fs::filesystem_error("directory_iterator::operator++", folder, ec);
}

// Where the user's guide tells how to set the folder settings (lfolder0-9, afolder0-9), which have
// no field in the window.
inline constexpr const char* kFoldersGuideSection = "README.txt, \"Livery and airport folders\"";

// The folders a scan was given, for Log.txt: each in quotes, one that is no folder marked so that
// a mistyped name shows at once.
std::string gf_namedFolders(const std::vector<std::string>& folders);
bool gf_isFolderText(const std::string& folder);
// For the status line, whose width a single long path can fill: each folder by the setting that
// names it (settings[i]; none for a folder the automatic scan found) and its own last name,
// `lfolder0 "my-pack", lfolder2 "Liveries"`.
std::string gf_shortNamedFolders(const std::vector<std::string>& folders, const std::vector<std::string>& settings);

}  // namespace vrn
