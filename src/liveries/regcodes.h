#pragma once
// Registrations of the liveries: in-line atc_ids, input/AIG-regcodes.xml and the user's lists in
// input/my_regcodes/*.TXT (a later source overrides an earlier one), special liveries, the titles a
// rescan leaves out, and the processing that builds the livery index from g_liveries.
#include <filesystem>
#include <vector>

namespace vrn {

inline constexpr const char* kAigRegcodesPath = "input/AIG-regcodes.xml";
inline constexpr const char* kMyRegcodesFolder = "input/my_regcodes";
inline constexpr const char* kOfflineRegcodesPath = "output/info/OfflineRegcodes.txt";
inline constexpr const char* kInlineRegcodesPath = "output/errors/InlineRegcodes.txt";

// Builds the livery index and the registration maps from g_liveries (sorted).
void gf_processScannedLiveries();

// Before a rescan: the titles the registration lists name without registrations (g_dontUseTitles).
void gf_readDontUseTitlesAig();
void gf_readDontUseTitlesTxt();

// The .TXT files directly in input/my_regcodes, in name order.
std::vector<std::filesystem::path> gf_myRegcodeFiles();

}  // namespace vrn
