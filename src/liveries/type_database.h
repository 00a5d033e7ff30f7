#pragma once
// The type database: input/dbase.xml read once per process into plain containers (type sets per size
// class, similar-type groups, airline codes, publishers, wingspans and the registration database).
// Filled on the run thread before any other thread reads it; read-only afterwards.
#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

namespace pugi { class xml_node; }

namespace vrn {

// One registration of the type database.
struct DbRecord {
    std::string airline;        // ICAO airline code
    std::string type;           // ICAO type designator (may be empty)
    std::string operatorCode;   // ICAO code of the operating airline; empty when none
    bool cargo = false;         // a freighter
};

extern std::set<std::string> g_validModels;
extern std::set<std::string> g_highPerfTypes;
extern std::set<std::string> g_heavyTypes;
extern std::set<std::string> g_largeTypes;
extern std::set<std::string> g_bizJetTypes;
extern std::set<std::string> g_rotorcraftTypes;
extern std::set<std::string> g_cargoTypes;                  // read, kept, not consulted
extern std::vector<std::vector<std::string>> g_similarTypeGroups;   // each group sorted
extern std::set<std::string> g_icaoAirlines;
extern std::set<std::string> g_cargoOperators;              // read, kept, not consulted
extern std::vector<std::vector<std::string>> g_publisherGroups;     // element 0 names the group
extern std::map<std::string, double> g_halfWingspans;       // nautical miles
extern double g_maxHalfWingspan;                            // nautical miles
extern std::array<double, 6> g_classHalfWingspans;          // average per SizeClass; 0.0 for a class without spans
extern std::unordered_map<std::string, DbRecord> g_regDatabase;

inline constexpr const char* kDbasePath = "input/dbase.xml";

// Reads input/dbase.xml (relative to the program's folder). True after a complete reading. Throws
// UserErrorException 60 (file not read) or 61 (a required section empty), SysErrorException 299
// (publishers) or 288 (wingspans), or std::runtime_error for a stored airline code of a wrong length.
bool gf_readDbase();
bool gf_readDbase(const std::filesystem::path& file);
// Empties every container (tests; a process reads the file once).
void gf_clearTypeDatabase();

// Attribute readers shared with the airport files.
std::string gf_attrString(const pugi::xml_node& node, const char* name);
double gf_attrDouble(const pugi::xml_node& node, const char* name);   // strtod; 0.0 when missing
bool gf_attrBool(const pugi::xml_node& node, const char* name);       // 1/t/T/y/Y

}  // namespace vrn
