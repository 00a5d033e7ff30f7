#pragma once
// Every setting of the program as a global object named by its key in parameters.xml, and the
// file and folder names built with them. All exist with their defaults before main() runs.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/setting_classes.h"

namespace vrn {

// Settings with a control, in window order.
extern CheckBoxParameter MSFS_2020;
extern StringEditParameter MSFS_INSTALL_PATH;
extern StringEditParameter MSFS_2024_INSTALL_PATH;
extern CheckBoxParameter SCAN_LIVERIES;
extern CheckBoxParameter LIG_AUTOMATIC;
extern CheckBoxParameter LIG_PRIORITIZE;
extern CheckBoxParameter SUPPRESS_STUB;
extern CheckBoxParameter LOG;
extern CheckBoxParameter ALWAYS_ON_TOP;
extern CheckBoxParameter SCAN_AIRPORTS;
extern CheckBoxParameter AFG_AUTOMATIC;
extern CheckBoxParameter NAV_LIGHTS_WHILE_PARKED;
extern CheckBoxParameter LEARN_SOFT;
extern NumericEditParameter<int> MATCHING_DEPTH;
extern CheckBoxParameter LIGHT_AIRCRAFT;
extern CheckBoxParameter HELICOPTERS;
extern CheckBoxParameter HIGH_PERF_AIRCRAFT;
extern CheckBoxParameter AEROWINX;
extern CheckBoxParameter GUID_CHANGES;
extern PushButton CHECK_VERSION_BUTTON;   // "Check version"
extern NumericEditParameter<int> LATERAL_RANGE;
extern CheckBoxParameter AUTO_RANGE;
extern NumericEditParameter<int> MAX_LIVE;
extern PushButton UNBLOCK_BUTTON;         // "Unblock"
extern StringEditParameter BLOCK_CALLSIGN;
extern StringEditParameter CALLSIGN_2_OBJECTID;
extern CheckBoxParameter COLLISION_USER_GND;
extern CheckBoxParameter COLLISION_USER_AIR;
extern CheckBoxParameter COLLISION_LIVE_PARKED_GND;
extern NumericEditParameter<int> AIRPORT_RANGE;
extern NumericEditParameter<int> AIRPORT_HEIGHT;
extern PushButton FLUSH_STATIC_BUTTON;    // "Flush static"
extern PushButton REREAD_BUTTON;          // "Re-read"
extern CheckBoxParameter PARK_FAKE;
extern CheckBoxParameter WEEK;
extern CheckBoxParameter PARK_SOFT;
extern NumericEditParameter<int> parking_percentage;
extern CheckBoxParameter INITIAL_LOAD_ONLY;
extern NumericEditParameter<float> MAX_FIT_FL;
extern NumericEditParameter<int> MAX_FIT;

// Settings without a control.
extern StringParameter PROGRAM_VERSION;
extern StringParameter PORT_NUMBER;
extern StringParameter PROGRAM_INSTALL_PATH;
extern StringParameter ARCHIVE_VERSION;
extern StringParameter MYSIMADDON24_VERSION;
extern StringParameter DBASE_VERSION;
extern StringParameter AIG_VERSION;
extern StringParameter DATA_CHECKED_AT_DATE;
extern StringParameter lfolder0, lfolder1, lfolder2, lfolder3, lfolder4, lfolder5, lfolder6, lfolder7, lfolder8,
    lfolder9;
extern StringParameter afolder0, afolder1, afolder2, afolder3, afolder4, afolder5, afolder6, afolder7, afolder8,
    afolder9;
extern BoolParameter RANDOM;
extern NumericParameter<int> CUSTOM_PARKING_PERCENTAGE;
extern NumericParameter<int> LAST_EPOCH_TIME;
// The main window's saved position (screen pixels).
extern NumericParameter<int> MAIN_WINDOW_X;
extern NumericParameter<int> MAIN_WINDOW_Y;

// Random choices on the calling thread's engine (RANDOM off: first candidate, no shuffle).
std::int64_t gf_randomIndex(std::int64_t n);   // 0..n-1
void gf_shuffleIfRandom(std::vector<std::string>& items);

// The ten extra folders of each scan, in order.
StringParameter* gf_liveryFolderSetting(int i);    // lfolder0..9
StringParameter* gf_airportFolderSetting(int i);   // afolder0..9
// The names of the lfolder (or afolder) settings that hold each of `folders`; "" for one none holds.
std::vector<std::string> gf_folderSettingNames(const std::vector<std::string>& folders, bool liveries);

// Derived from LATERAL_RANGE.
extern std::atomic<double> g_lateralRangeNm;
extern std::atomic<int> g_lateralRangeMetres;

// File and folder names. Relative paths are relative to the program's folder (the current folder).
std::filesystem::path gf_dataFolder();        // <CSIDL_APPDATA>/Varnel
std::filesystem::path gf_parametersPath();    // <data folder>/parameters.xml
// Tests (and a portable run) point the data folder elsewhere; empty restores the default.
void gf_setDataFolderForTests(const std::filesystem::path& folder);

extern const std::filesystem::path g_outputFolder;            // output
extern const std::filesystem::path g_outputInfoFolder;        // output/info
extern const std::filesystem::path g_outputErrorsFolder;      // output/errors
extern const std::filesystem::path g_liveriesScannedPath;     // output/LiveriesScanned.xml
extern const std::filesystem::path g_docsFolder;              // docs
extern const std::filesystem::path g_aigRegcodesPath;         // input/AIG-regcodes.xml
extern const std::filesystem::path g_myRegcodesFolder;        // input/my_regcodes
extern const std::filesystem::path g_learnedStockFolder;      // airports/learned/stock
extern const std::filesystem::path g_learnedSimaddonFolder;   // airports/learned/simaddon
extern const std::filesystem::path g_learnedThirdpartyFolder; // airports/learned/thirdparty
extern const std::filesystem::path g_archiveSimaddonFolder;   // airports/archive/simaddon
extern const std::filesystem::path g_archiveThirdpartyFolder; // airports/archive/thirdparty
extern const std::filesystem::path g_parkAirportsPath;        // airports/my_park_airports.txt
extern const std::string g_callsignObjectIdFileName;          // Callsign2ObjectId.txt
extern const std::string g_airportsMsfsFileName;              // airports_msfs.xml
extern const std::string g_fsBaseFolderName;                  // fs-base
extern const std::string g_fsBaseGenericFolderName;           // fs-base-genericairports
extern const std::string g_realTrafficFolderName;             // InsideSystems

}  // namespace vrn
