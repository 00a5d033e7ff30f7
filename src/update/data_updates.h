#pragma once
// The data packages kept current from the download server: the type database, the AIG registration
// list, the MSFS 2024 add-on airport files and the archive of airport parking files. Each compares
// the server's version with its version setting, installs the package into the program's folder
// (the current folder) and records the new version only once the package is installed.
namespace vrn {

void gf_updateDbase();          // input/dbase.xml, DBASE_VERSION
void gf_updateAigRegcodes();    // input/AIG-regcodes.xml, AIG_VERSION
void gf_updateMySimAddon2024(); // airports/my_simaddon2024/*.txt, MYSIMADDON24_VERSION
bool gf_mySimAddon2024FolderMissing();
// True only when a new archive was extracted and ARCHIVE_VERSION recorded; the caller then lets the
// add-on airport scan run again.
bool gf_updateArchive();
bool gf_archiveFoldersMissing();   // airports/archive or its stock, simaddon, thirdparty folder

}  // namespace vrn
