// Every setting of the program with its key, default, limits, control id and row.
// Each object is built from constants alone and reads nothing from other files, so its construction
// does not depend on the order of static initialisation; the data folder is found on first use.
#include "settings/settings_catalogue.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <optional>

#include "core/text_files.h"
#include "core/utilities.h"
#include "core/version.h"

namespace vrn {

namespace {
constexpr int kLateralRangeDefault = 40;
constexpr int kMetresPerNm = 1852;
}  // namespace

// Settings with a control, in window order.
CheckBoxParameter MSFS_2020("MSFS_2020", true, 0x8016, 119);
StringEditParameter MSFS_INSTALL_PATH("MSFS_INSTALL_PATH", "", 0x8014, 119);
StringEditParameter MSFS_2024_INSTALL_PATH("MSFS_2024_INSTALL_PATH", "", 0x8015, 147);
CheckBoxParameter SCAN_LIVERIES("SCAN_LIVERIES", true, 0x801D, 175);
CheckBoxParameter LIG_AUTOMATIC("LIG_AUTOMATIC", true, 0x801E, 175);
CheckBoxParameter LIG_PRIORITIZE("LIG_PRIORITIZE", false, 0x801F, 175);
CheckBoxParameter SUPPRESS_STUB("SUPPRESS_STUB", true, 0x8020, 175);
CheckBoxParameter LOG("LOG", true, 0x800B, 175);
CheckBoxParameter ALWAYS_ON_TOP("ALWAYS_ON_TOP", false, 0x8003, 175);
CheckBoxParameter SCAN_AIRPORTS("SCAN_AIRPORTS", true, 0x8022, 203);
CheckBoxParameter AFG_AUTOMATIC("AFG_AUTOMATIC", true, 0x8023, 203);
CheckBoxParameter NAV_LIGHTS_WHILE_PARKED("NAV_LIGHTS_WHILE_PARKED", true, 0x800A, 203);
CheckBoxParameter LEARN_SOFT("LEARN_SOFT", true, 0x8009, 203);
NumericEditParameter<int> MATCHING_DEPTH("MATCHING_DEPTH", 4, 1, 4, 0x8028, 231);
CheckBoxParameter LIGHT_AIRCRAFT("LIGHT_AIRCRAFT", true, 0x8029, 231);
CheckBoxParameter HELICOPTERS("HELICOPTERS", true, 0x802A, 231);
CheckBoxParameter HIGH_PERF_AIRCRAFT("HIGH_PERF_AIRCRAFT", true, 0x802B, 231);
CheckBoxParameter AEROWINX("AEROWINX", false, 0x8007, 231);
CheckBoxParameter GUID_CHANGES("GUID_CHANGES", true, 0x8005, 231);
PushButton CHECK_VERSION_BUTTON("Check version", 0x800C, 257);
NumericEditParameter<int> LATERAL_RANGE("LATERAL_RANGE", kLateralRangeDefault, 2, 100, 0x8032, 259);
CheckBoxParameter AUTO_RANGE("AUTO_RANGE", true, 0x8033, 259);
NumericEditParameter<int> MAX_LIVE("MAX_LIVE", 300, 6, 300, 0x8034, 259);
PushButton UNBLOCK_BUTTON("Unblock", 0x803D, 285);
StringEditParameter BLOCK_CALLSIGN("BLOCK_CALLSIGN", "", 0x803C, 287);
StringEditParameter CALLSIGN_2_OBJECTID("CALLSIGN_2_OBJECTID", "", 0x8006, 287);
CheckBoxParameter COLLISION_USER_GND("COLLISION_USER_GND", true, 0x8042, 315);
CheckBoxParameter COLLISION_USER_AIR("COLLISION_USER_AIR", true, 0x8041, 315);
CheckBoxParameter COLLISION_LIVE_PARKED_GND("COLLISION_LIVE_PARKED_GND", false, 0x8043, 315);
NumericEditParameter<int> AIRPORT_RANGE("AIRPORT_RANGE", 20, 8, 30, 0x8047, 343);
NumericEditParameter<int> AIRPORT_HEIGHT("AIRPORT_HEIGHT", 18000, 2000, 45000, 0x8048, 343);
PushButton FLUSH_STATIC_BUTTON("Flush static", 0x8057, 369);
PushButton REREAD_BUTTON("Re-read", 0x8046, 369);
CheckBoxParameter PARK_FAKE("PARK_FAKE", false, 0x8058, 371);
CheckBoxParameter WEEK("WEEK", false, 0x8054, 371);
CheckBoxParameter PARK_SOFT("PARK_SOFT", true, 0x8052, 371);
NumericEditParameter<int> parking_percentage("parking_percentage", 30, 0, 100, 0x8050, 371);
CheckBoxParameter INITIAL_LOAD_ONLY("INITIAL_LOAD_ONLY", false, 0x8051, 371);
NumericEditParameter<float> MAX_FIT_FL("MAX_FIT_FL", 24.0f, 0.5f, 24.0f, 0x8055, 371);
NumericEditParameter<int> MAX_FIT("MAX_FIT", 47, 0, 47, 0x8053, 371);   // shown through MAX_FIT_FL

// Settings without a control.
StringParameter PROGRAM_VERSION("PROGRAM_VERSION", "");
StringParameter PORT_NUMBER("PORT_NUMBER", "10747");
StringParameter PROGRAM_INSTALL_PATH("PROGRAM_INSTALL_PATH", "");
StringParameter ARCHIVE_VERSION("ARCHIVE_VERSION", "");
StringParameter MYSIMADDON24_VERSION("MYSIMADDON24_VERSION", "");
StringParameter DBASE_VERSION("DBASE_VERSION", "");
StringParameter AIG_VERSION("AIG_VERSION", "");
StringParameter DATA_CHECKED_AT_DATE("DATA_CHECKED_AT_DATE", "");
StringParameter lfolder0("lfolder0", ""), lfolder1("lfolder1", ""), lfolder2("lfolder2", ""),
    lfolder3("lfolder3", ""), lfolder4("lfolder4", ""), lfolder5("lfolder5", ""), lfolder6("lfolder6", ""),
    lfolder7("lfolder7", ""), lfolder8("lfolder8", ""), lfolder9("lfolder9", "");
StringParameter afolder0("afolder0", ""), afolder1("afolder1", ""), afolder2("afolder2", ""),
    afolder3("afolder3", ""), afolder4("afolder4", ""), afolder5("afolder5", ""), afolder6("afolder6", ""),
    afolder7("afolder7", ""), afolder8("afolder8", ""), afolder9("afolder9", "");
BoolParameter RANDOM("RANDOM", true);
NumericParameter<int> CUSTOM_PARKING_PERCENTAGE("CUSTOM_PARKING_PERCENTAGE", -1, -1, 100);
NumericParameter<int> MAIN_WINDOW_X("MAIN_WINDOW_X", 400, -30000, 30000);
NumericParameter<int> MAIN_WINDOW_Y("MAIN_WINDOW_Y", 20, -30000, 30000);
NumericParameter<int> LAST_EPOCH_TIME("LAST_EPOCH_TIME", 0, 0, 2147483647);

StringParameter* gf_liveryFolderSetting(int i) {
    static const std::array<StringParameter*, 10> folders{&lfolder0, &lfolder1, &lfolder2, &lfolder3, &lfolder4,
                                                           &lfolder5, &lfolder6, &lfolder7, &lfolder8, &lfolder9};
    return i >= 0 && i < 10 ? folders[static_cast<std::size_t>(i)] : nullptr;
}

StringParameter* gf_airportFolderSetting(int i) {
    static const std::array<StringParameter*, 10> folders{&afolder0, &afolder1, &afolder2, &afolder3, &afolder4,
                                                           &afolder5, &afolder6, &afolder7, &afolder8, &afolder9};
    return i >= 0 && i < 10 ? folders[static_cast<std::size_t>(i)] : nullptr;
}

std::vector<std::string> gf_folderSettingNames(const std::vector<std::string>& folders, bool liveries) {
    std::vector<std::string> names;
    names.reserve(folders.size());
    for (const std::string& folder : folders) {
        std::string name;
        for (int i = 0; i < 10 && name.empty(); ++i) {
            const StringParameter* setting = liveries ? gf_liveryFolderSetting(i) : gf_airportFolderSetting(i);
            if (setting->get() == folder) name = setting->name;
        }
        names.push_back(std::move(name));
    }
    return names;
}

// Constant-initialised, so they hold their values before any dynamic initialiser runs.
std::atomic<double> g_lateralRangeNm{static_cast<double>(kLateralRangeDefault)};
std::atomic<int> g_lateralRangeMetres{kLateralRangeDefault * kMetresPerNm};

namespace {

struct DataFolderState {
    std::mutex mutex;
    std::optional<std::filesystem::path> folder;   // computed on first use
    std::filesystem::path overridden;              // set by tests or a portable run
};

DataFolderState& lf_dataFolderState() {
    static DataFolderState state;   // built on first use: safe from any static initialiser
    return state;
}

}  // namespace

std::filesystem::path gf_dataFolder() {
    DataFolderState& state = lf_dataFolderState();
    std::lock_guard lock(state.mutex);
    if (!state.overridden.empty()) return state.overridden;
    if (!state.folder) state.folder = gf_getFolderPath(CSIDL_APPDATA) / g_programName;
    return *state.folder;
}

std::filesystem::path gf_parametersPath() { return gf_dataFolder() / "parameters.xml"; }

void gf_setDataFolderForTests(const std::filesystem::path& folder) {
    DataFolderState& state = lf_dataFolderState();
    std::lock_guard lock(state.mutex);
    state.overridden = folder;
    state.folder.reset();   // the known folder may have moved too (tests change the environment)
}

const std::filesystem::path g_outputFolder = "output";
const std::filesystem::path g_outputInfoFolder = std::filesystem::path("output") / "info";
const std::filesystem::path g_outputErrorsFolder = std::filesystem::path("output") / "errors";
const std::filesystem::path g_liveriesScannedPath = std::filesystem::path("output") / "LiveriesScanned.xml";
const std::filesystem::path g_docsFolder = "docs";
const std::filesystem::path g_aigRegcodesPath = std::filesystem::path("input") / "AIG-regcodes.xml";
const std::filesystem::path g_myRegcodesFolder = std::filesystem::path("input") / "my_regcodes";
const std::filesystem::path g_learnedStockFolder = std::filesystem::path("airports") / "learned" / "stock";
const std::filesystem::path g_learnedSimaddonFolder = std::filesystem::path("airports") / "learned" / "simaddon";
const std::filesystem::path g_learnedThirdpartyFolder = std::filesystem::path("airports") / "learned" / "thirdparty";
const std::filesystem::path g_archiveSimaddonFolder = std::filesystem::path("airports") / "archive" / "simaddon";
const std::filesystem::path g_archiveThirdpartyFolder = std::filesystem::path("airports") / "archive" / "thirdparty";
const std::filesystem::path g_parkAirportsPath = std::filesystem::path("airports") / "my_park_airports.txt";
const std::string g_callsignObjectIdFileName = "Callsign2ObjectId.txt";
const std::string g_airportsMsfsFileName = "airports_msfs.xml";
const std::string g_fsBaseFolderName = "fs-base";
const std::string g_fsBaseGenericFolderName = "fs-base-genericairports";
const std::string g_realTrafficFolderName = "InsideSystems";

std::int64_t gf_randomIndex(std::int64_t n) {
    if (!RANDOM.get() || n < 2) return 0;
    const std::uint32_t r = gf_randomEngine()();
    return static_cast<std::int64_t>(r % static_cast<std::uint64_t>(n));
}

void gf_shuffleIfRandom(std::vector<std::string>& items) {
    if (!RANDOM.get() || items.size() < 2) return;
    std::shuffle(items.begin(), items.end(), gf_randomEngine());
}

}  // namespace vrn
