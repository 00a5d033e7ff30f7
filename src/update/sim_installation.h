#pragma once
// The simulator's packages folder (the one holding Community and Official, or Official2024 for
// MSFS 2024), found from the Steam installation or from the InstalledPackagesPath line of UserCfg.opt.
//
// Windows known folders on Linux (gf_getFolderPath): %APPDATA% (CSIDL 26) is $XDG_CONFIG_HOME or
// ~/.config, %LOCALAPPDATA% (CSIDL 28) is $XDG_DATA_HOME or ~/.local/share. So the Steam packages of
// MSFS 2020 are looked for in <config>/Microsoft Flight Simulator/Packages, and the Store's
// UserCfg.opt in <data>/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalCache/UserCfg.opt.
#include <filesystem>
#include <string>

namespace vrn {

// The packages folder of the simulator chosen by MSFS_2020; empty when no valid one is found.
std::filesystem::path gf_findPackagesFolder();

// The chosen simulator's install path (MSFS_INSTALL_PATH or MSFS_2024_INSTALL_PATH by MSFS_2020)
// joined with `relative`, for instance "Community".
std::filesystem::path gf_simVersionPath(const std::filesystem::path& relative);

}  // namespace vrn
