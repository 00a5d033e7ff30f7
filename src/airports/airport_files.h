#pragma once
// Airport parking files: their folders and lookup, the XML format (writer and stand reader),
// learned files, loading the park airport's file with its learned file, fake uses, quality
// factors, and closing and saving the park airport's learned file.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <pugixml.hpp>

#include "core/geodesy.h"
#include "records/stand_records.h"
#include "settings/setting_classes.h"

namespace vrn {

// The user's own maximum of live aircraft, kept while static parking lowers MAX_LIVE: the learned
// file restores it and the airport file writes the lowered one only when it differs.
extern std::atomic<int> g_userMaxLive;

// ---- Folders (relative to the program's folder) ------------------------------------------------
extern const std::filesystem::path g_airportsFolder;           // airports
extern const std::filesystem::path g_archiveStockFolder;       // airports/archive/stock
extern const std::filesystem::path g_mySimaddonFolder;         // airports/my_simaddon
extern const std::filesystem::path g_mySimaddon2024Folder;     // airports/my_simaddon2024
extern const std::filesystem::path g_myThirdpartyFolder;       // airports/my_thirdparty
extern const std::filesystem::path g_toBeLearnedOfflineFolder; // TO_BE_LEARNED_OFFLINE

std::string gf_apfXmlName(const std::string& code);   // <code>.xml
std::string gf_apfTxtName(const std::string& code);   // <code>.txt (a redirect to an XML file)

// The airport's file: my_thirdparty (.txt redirect, .xml), then my_simaddon or my_simaddon2024 by
// MSFS_2020 (.txt, .xml), then archive/stock; empty when none. Throws filesystem_error ("exists")
// when a status cannot be read.
std::filesystem::path gf_findApf(const std::string& code);
// Whether gf_findApf finds a file (the two always agree).
bool gf_hasApf(const std::string& code);
// First line of a redirect file, cut after its last 'l', back slashes as folder separators;
// true with the target when that file exists.
bool lf_followRedirect(const std::filesystem::path& redirect, std::filesystem::path& target);

// A publisher text as one safe folder name below airports/learned/thirdparty ("unknown" when
// nothing usable is left).
std::string gf_safePublisherFolder(const std::string& publisher);
// The learned file that belongs to an airport file, by the folder it lies in: archive/<kind> gives
// learned/<kind>, my_simaddon(2024) gives learned/simaddon(2024), my_thirdparty gives
// learned/thirdparty/<the file's publisher>. Empty for a file anywhere else.
std::filesystem::path lf_learnedPathOf(const std::filesystem::path& apfPath);

// ---- Quality factors -------------------------------------------------------------------------------
// (Qf_real, Qf_soft) of a stand list; (-1, -1) when no stand has any use.
std::pair<int, int> gf_countHalfHours(const std::vector<Stand>& stands);
std::pair<int, int> gf_countHalfHours();   // of g_stands
// Sets MAX_FIT (limited to 0..47) and MAX_FIT_FL (hours) and logs them.
void lf_logMaxHalfHours(int halfHours);
// "  " when none is known, "{:2}/{:2}" below 45, else "{:2}".
std::string lf_qualityFactorText(int real, int soft);

// The 64-bit quality pair: Qf_real in the low half, Qf_soft in the high half.
std::uint64_t gf_packQuality(int real, int soft);
int gf_qualityReal(std::uint64_t pair);
int gf_qualitySoft(std::uint64_t pair);

// ---- File format ----------------------------------------------------------------------------------
// Writes an airport file (temporary file + rename). learned: the learned-file form with the
// per-airport settings and the uses; handmade (learned files only): the whole stand list in full
// form with handmade, altitude and the quality factors. Fake uses are never written. In a learned
// file, a kept parkpos without children whose stand is written (not manual) adds its attributes to
// that stand's element; the other kept ones follow the stands, and one that does not parse is
// dropped with a log line.
bool gf_writeApf(const ApfAirport& airport, const std::filesystem::path& path, bool learned, bool handmade = false);
// Ground traffic is taken, and arrivals are parked, only this near the park airport: a stand
// farther from its airport can never be used and is a damaged record.
constexpr double kStandReachNm = 5.0;
// No stand is this wide: a larger radius read from a file is a damaged record.
constexpr double kStandRadiusLimitMetres = 1000.0;
// Why a stand read from a file cannot be used: empty when its position, heading and radius are
// finite, the heading is within one turn either way, the radius between 0 and
// kStandRadiusLimitMetres, the position lies on the earth and, with an airport given, within
// kStandReachNm of it.
std::string gf_standFault(const Stand& stand, const std::optional<LatLon>& airport);
// What one reading of stands refuses or keeps unused. Only the first kLoggedStands lines about
// single stands reach the log; the rest are counted and said in one line by sayRefused.
struct StandReading {
    static constexpr int kLoggedStands = 10;
    std::filesystem::path file;
    std::optional<LatLon> airport;   // the stands' airport; none: no reach test
    int refused = 0;                 // stands refused
    int unused = 0;                  // learned records kept unused (their stand missing, or refused)
    int logged = 0;                  // lines about single stands logged
    int unlogged = 0;                // and left out of the log
    void refuse(const std::string& id, const std::string& why);
    // A refused stand, logged by this line while within the first few.
    void refuseWith(const std::string& line);
    // A learned record kept as it was but not used, logged by this line (after the arrow prefix or
    // plain) while within the first few.
    void keepUnused(const std::string& line, bool arrow = true);
    // The count of lines left out, in the log; "{} stand{} of {} refused, see Log.txt" on the
    // status line when any was refused.
    void sayRefused() const;
    void lf_logStandLine(const std::string& line, bool arrow);
};
// Appends a Stand for every parkpos of the document's parkpositions element. A repeated id (the
// first stays) and a stand that gf_standFault finds fault with are refused; the others are read.
void lf_readParkPositions(const pugi::xml_document& doc, std::vector<Stand>& stands, UseOrigin origin,
                          StandReading& reading);
void lf_readParkPositions(const pugi::xml_document& doc, std::vector<Stand>& stands, UseOrigin origin);
// The uses of one parkpos; skipTow drops callsigns that begin with "TOW ".
std::vector<StandUse> lf_readUses(const pugi::xml_node& parkpos, bool skipTow, UseOrigin origin,
                                  std::uint32_t firstNumber);
// The stand of a full-form parkpos (position, heading, radius, kind flags) holding these uses.
Stand gf_fullFormStand(const pugi::xml_node& parkpos, std::string&& id, std::vector<StandUse>&& uses);
// A parkpos record's stand id as the program holds it: escaped like every text from a file
// (gf_printable), so that a damaged byte is neither echoed raw nor written back, and the archived
// and learned records of one stand still meet.
std::string gf_standIdOf(const pugi::xml_node& parkpos);
std::uint64_t lf_hours2bitset(const std::string& text);
std::string lf_bitset2hours(std::uint64_t hours);

std::optional<bool> lf_readBoolParameter(const pugi::xml_document& doc, const std::string& key);
std::optional<int> lf_readIntParameter(const pugi::xml_document& doc, const std::string& key);
std::optional<std::string> lf_readStringParameter(const pugi::xml_document& doc, const std::string& key);
// Loads a file into doc (pugixml default parsing); the parse result.
pugi::xml_parse_result gf_loadApfDocument(pugi::xml_document& doc, const std::filesystem::path& path);

// ---- State of the loaded park airport file ----------------------------------------------------
struct ApfHeader {
    std::string airport_name;
    std::string publisher;
    int altitude = 0;
    int RT_traffic_week = 0;
};
// Run-thread state; the exit thread reaches it only through gf_closeParkAirport, under g_standsMutex.
extern ApfHeader g_apfAirport;
// A run ends for a restart: the header texts emptied, the altitude -1 (no file loaded).
void gf_resetApfHeader();
extern std::filesystem::path g_apfPath;
extern std::atomic<bool> g_apfLoaded;
extern std::atomic<bool> g_apfChanged;    // a per-airport setting changed since loading (GUI thread sets it)
extern std::atomic<int> g_apfUpdates;     // learned updates since loading or saving
extern bool g_handmadeOverruled;
// Set when the learned file could not be merged whole: saving would lose what was not read.
extern bool g_apfSaveBlocked;
// The parkpos records of the loaded learned file that are not used, as the file had them: refused
// manual stands, stands the airport file lacks, and the refused part of a stand's changes (guarded
// by g_standsMutex). The next save writes them back, so a scenery update or a damaged value costs
// none of the user's data.
extern std::vector<std::string> g_keptParkPositions;
// LATERAL_RANGE as the user had it before automatic ranging took over (-1: none kept).
extern std::atomic<int> g_lateralRangeBeforeAuto;

// Enables or disables a control of the main window when the window has it.
void gf_enableAirportControl(const GuiControl& control, bool enabled);

// Clamping setter of an integer setting.
void gf_setClamped(NumericParameter<int>& setting, int value);

// The park airport's position, when it has a valid one (its stands must lie near it).
std::optional<LatLon> lf_parkAirportPosition();
// Loads the park airport's file into g_stands (the caller empties it first) with its learned file.
// Empty on success, "no stands found" without stands, else what failed. UserErrorException passes.
std::string gf_readApf(const std::filesystem::path& path, std::uint64_t& quality);
// Links every stand to its neighbours (stand numbers must be set).
void gf_linkNeighbours(std::vector<Stand>& stands);
// Merges the learned file into g_stands and applies its per-airport settings (called by gf_readApf).
void lf_readLearned(const std::filesystem::path& path);

// Small readers of any airport file.
double gf_readDestApfForClosestStand(const std::string& code, const LatLon& position, std::string& standId);
bool gf_readApfForGateCheck(const std::string& code, const std::string& standId);
int lf_readNumParkpos(const std::filesystem::path& path);
std::string lf_publisherOfApf(const std::filesystem::path& path);
bool lf_stockArchiveHasQuality(const std::string& code);
std::string lf_checkUnknownPublisher(const std::filesystem::path& path);

// ---- Fake uses -----------------------------------------------------------------------------------------
// Gives every stand one made-up soft use for the current half hour (PARK_FAKE).
void lf_fakeAircraftTypes(const std::string& code, std::vector<Stand>& stands);

// ---- Closing ---------------------------------------------------------------------------------------------
// Saves the learned file when anything changed and resets the loaded state. Never throws.
void gf_closeParkAirport();
// Writes the park airport's learned file and reports it on the status line.
void gf_saveAirportFile();

}  // namespace vrn
