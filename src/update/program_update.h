#pragma once
// The program's own updates: the daily comparison with the server's program version, which unpacks
// a newer installer next to the program (it is never started here), and the list of every component
// for which the server has a newer version.
#include <string>

namespace vrn {

// Returns when nothing is newer or the installer could not be fetched; throws UserErrorException 99
// ("New version {} available. Exit here, and run as administrator:   \"{}\"") once
// install_new_version.exe is ready in the program's folder. False when the server's version file
// could not be read (nothing was checked).
bool gf_checkProgramVersion();

struct AvailableUpdates {
    bool checked = false;   // at least one version file was read
    // "New version{} for: {}" with the newer components (program, dbase, archive, AIG-regcodes,
    // MySimAddon2024) joined by ", "; empty when nothing is newer.
    std::string newer;
    std::string failure;    // why nothing could be checked
};
// Downloads only version files, all of them within twice gf_versionFileTimeLimit(); a file not read
// in that time counts as not newer.
AvailableUpdates gf_listAvailableUpdates();

}  // namespace vrn
