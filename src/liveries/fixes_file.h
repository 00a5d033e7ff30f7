#pragma once
// input/fixes.xml: model codes found in packages and their valid replacements, and airline codes
// whose liveries count as private. Read once per process after the type database.
#include <filesystem>
#include <set>
#include <string>
#include <unordered_map>

namespace vrn {

extern std::unordered_map<std::string, std::string> g_modelFixes;   // wrong model -> valid model
extern std::set<std::string> g_pvtFixes;
extern std::set<std::string> g_govFixes;

inline constexpr const char* kFixesPath = "input/fixes.xml";

// Throws UserErrorException 3 "<path> (or sections of it) not found?" when the file does not load.
void gf_readFixes();
void gf_readFixes(const std::filesystem::path& file);
void gf_clearFixes();

}  // namespace vrn
