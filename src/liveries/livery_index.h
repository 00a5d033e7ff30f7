#pragma once
// The livery index: the scanned liveries arranged for the matching ladder (titles by airline and
// model, by model, similar types with liveries, replacement models) and the registration maps.
// Built on the run thread by gf_processScannedLiveries and then only read there. A later processing
// in the same process (a restart of the run) adds only airlines, models and types not yet indexed;
// what is indexed keeps its first content. The replacement models are made anew each time.
//
// Titles are kept in a pool that only grows, so every title view handed out (aircraft records, the
// registration map) stays valid for the life of the process.
#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace vrn {

struct IndexedTitle {
    std::string_view title;
    bool cargo = false;
};
using TitleViews = std::vector<std::string_view>;
using ModelTitles = std::unordered_map<std::string, TitleViews>;

// airline -> model -> titles, in the order of the sorted scanned liveries.
extern std::unordered_map<std::string, std::unordered_map<std::string, std::vector<IndexedTitle>>> g_airlineModels;
// [0] passenger, [1] cargo: airline -> model -> titles. No list and no inner map is empty.
extern std::array<std::unordered_map<std::string, ModelTitles>, 2> g_airlineLiveries;
// [0] passenger, [1] cargo: model -> titles over all airlines.
extern std::array<ModelTitles, 2> g_modelLiveries;
extern std::unordered_map<std::string, std::string_view> g_regcodeLiveries;
extern std::vector<std::string_view> g_specialLiveries;
extern std::unordered_map<std::string, std::vector<std::string>> g_installedSimilarTypes;
extern std::unordered_map<std::string, std::vector<std::string>> g_allSimilarTypes;
extern std::unordered_map<std::string, std::unordered_map<std::string, std::vector<std::string>>> g_airlineSimilarTypes;
// Models with liveries of the size classes 0, 1 and 5.
extern std::array<std::vector<std::string>, 3> g_replacementModels;

// Empties every structure (the title pool stays).
void gf_clearLiveryIndex();
// The index steps, in the order gf_processScannedLiveries runs them.
void gf_buildAirlineModels();   // from g_liveries (sorted)
void gf_buildAirlineLiveries();
void gf_buildModelLiveries();
void gf_buildSimilarTypes();
void gf_countGenericLiveries();
void gf_clearReplacementModels();
void gf_checkCategory(unsigned sizeClass);

// The index's own copy of a title, when the title is indexed.
std::optional<std::string_view> gf_findIndexedTitle(std::string_view title);
bool gf_airlineHasModel(const std::string& airline, const std::string& model);
// Special titles are reserved for their registrations.
void gf_addSpecialLivery(std::string_view title);
bool gf_isSpecialLivery(std::string_view title);

// Similar models the airline has liveries of, for a model it has none of; shuffled in place when
// RANDOM is on. Empty when none.
std::vector<std::string>& gf_similarModelsForAirline(const std::string& airline, const std::string& model);
// Similar models with liveries; for size classes 0, 1 and 5 without such, one random replacement model.
std::vector<std::string>& gf_similarModels(const std::string& model);

}  // namespace vrn
