#pragma once
// The user's known folders, by the Windows CSIDL numbers the program asks for. On Windows CSIDL_APPDATA
// (26) is %APPDATA% and CSIDL_LOCAL_APPDATA (28) %LOCALAPPDATA% (the environment's absolute path, else
// SHGetKnownFolderPath). On Linux they are the XDG base directories: 26 -> $XDG_CONFIG_HOME or
// ~/.config, 28 -> $XDG_DATA_HOME or ~/.local/share.
#include <filesystem>

namespace vrn::platform::sys {

inline constexpr int kCsidlAppData = 26;
inline constexpr int kCsidlLocalAppData = 28;

// The folder for a CSIDL number; empty when the number is not known here or no home folder is found.
// The folder itself is not created.
std::filesystem::path gf_knownFolder(int csidl);

// The per-user runtime folder ($XDG_RUNTIME_DIR when set to an absolute path), else empty (always on
// Windows).
std::filesystem::path gf_runtimeFolder();

// The home folder: $HOME when absolute, else the password database's entry; empty when neither.
// On Windows %USERPROFILE%, else the profile folder.
std::filesystem::path gf_homeFolder();

}  // namespace vrn::platform::sys
