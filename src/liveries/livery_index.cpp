#include "liveries/livery_index.h"

#include <algorithm>

#include "core/format.h"
#include "core/log.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "liveries/livery_data.h"
#include "liveries/type_database.h"
#include "liveries/type_queries.h"
#include "records/size_class.h"
#include "settings/settings_catalogue.h"

namespace vrn {

std::unordered_map<std::string, std::unordered_map<std::string, std::vector<IndexedTitle>>> g_airlineModels;
std::array<std::unordered_map<std::string, ModelTitles>, 2> g_airlineLiveries;
std::array<ModelTitles, 2> g_modelLiveries;
std::unordered_map<std::string, std::string_view> g_regcodeLiveries;
std::vector<std::string_view> g_specialLiveries;
std::unordered_map<std::string, std::vector<std::string>> g_installedSimilarTypes;
std::unordered_map<std::string, std::vector<std::string>> g_allSimilarTypes;
std::unordered_map<std::string, std::unordered_map<std::string, std::vector<std::string>>> g_airlineSimilarTypes;
std::array<std::vector<std::string>, 3> g_replacementModels;

namespace {

// Every title ever indexed; its nodes never move, so views into it stay valid.
std::unordered_set<std::string> g_titlePool;
std::unordered_set<std::string_view> g_indexedTitles;
std::unordered_set<std::string_view> g_specialSet;
std::vector<std::string> g_noModels;
std::vector<std::string> g_oneReplacement;

std::string_view lf_poolTitle(const std::string& title) { return *g_titlePool.insert(title).first; }

std::vector<std::string> lf_sortedKeys(const auto& map) {
    std::vector<std::string> keys;
    keys.reserve(map.size());
    for (const auto& [key, value] : map) keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    return keys;
}

bool lf_modelHasLiveries(const std::string& model) {
    return g_modelLiveries[0].count(model) > 0 || g_modelLiveries[1].count(model) > 0;
}

std::vector<std::string> lf_indexedAirlines() {
    std::vector<std::string> airlines;
    for (const std::string& key : lf_sortedKeys(g_airlineModels)) airlines.push_back(key.substr(0, 3));
    return airlines;
}

std::vector<std::string> lf_genericModels() {
    std::vector<std::string> models;
    auto it = g_airlineModels.find("ZZZ");
    if (it == g_airlineModels.end()) return models;
    for (const auto& [model, titles] : it->second) models.push_back(model);
    return models;
}

// Names in lines of 20, after two blanks; models of the flagged class also become replacement models.
void lf_logModelNames(bool light, bool bizJet, bool rotorcraft, const std::vector<std::string>& names) {
    std::string line = "  ";
    int inLine = 0;
    for (const std::string& name : names) {
        if (light) g_replacementModels[0].push_back(name);
        else if (bizJet) g_replacementModels[1].push_back(name);
        else if (rotorcraft) g_replacementModels[2].push_back(name);
        line += name;
        line += ',';
        if (++inLine == 20) {
            line.pop_back();
            gf_logLine(line);
            line = "  ";
            inLine = 0;
        }
    }
    if (inLine > 0) {
        line.pop_back();
        gf_logLine(line);
    }
}

void lf_buildAirlineSimilarTypes(const std::string& airline) {
    std::unordered_map<std::string, std::vector<std::string>> map;
    for (const auto& [type, similar] : g_installedSimilarTypes) {
        if (gf_airlineHasModel(airline, type)) continue;
        std::vector<std::string> had;
        for (const std::string& s : similar)
            if (gf_airlineHasModel(airline, s)) had.push_back(s);
        if (!had.empty()) map.emplace(type, std::move(had));
    }
    if (!map.empty()) g_airlineSimilarTypes.emplace(airline, std::move(map));
}

void lf_disableCheckBox(const CheckBoxParameter& setting) {
    if (g_mainWindow.g_hMainWindow && setting.hwnd) g_mainWindow.g_hMainWindow->enable(setting.controlId, false);
}

}  // namespace

void gf_clearLiveryIndex() {
    g_airlineModels.clear();
    for (auto& side : g_airlineLiveries) side.clear();
    for (auto& side : g_modelLiveries) side.clear();
    g_regcodeLiveries.clear();
    g_specialLiveries.clear();
    g_specialSet.clear();
    g_installedSimilarTypes.clear();
    g_allSimilarTypes.clear();
    g_airlineSimilarTypes.clear();
    for (auto& list : g_replacementModels) list.clear();
    g_indexedTitles.clear();
}

void gf_buildAirlineModels() {
    // A later processing (a restart of the run) only adds airlines not yet indexed: titles handed out
    // stay where they are, and an airline keeps the content it was first indexed with.
    std::unordered_map<std::string, std::unordered_map<std::string, std::vector<IndexedTitle>>> found;
    for (const LiveryData& livery : g_liveries)
        found[livery.airline][livery.model].push_back({lf_poolTitle(livery.title), livery.cargo});
    for (auto& [airline, models] : found) {
        auto [it, inserted] = g_airlineModels.try_emplace(airline, std::move(models));
        if (!inserted) continue;
        for (const auto& [model, titles] : it->second)
            for (const IndexedTitle& t : titles) g_indexedTitles.insert(t.title);
    }
}

void gf_buildAirlineLiveries() {
    for (const auto& [airline, models] : g_airlineModels) {
        if (g_airlineLiveries[0].count(airline) || g_airlineLiveries[1].count(airline)) continue;
        ModelTitles sides[2];
        for (const auto& [model, titles] : models) {
            TitleViews pax, cargo;
            for (const IndexedTitle& t : titles) (t.cargo ? cargo : pax).push_back(t.title);
            if (!pax.empty()) sides[0].emplace(model, std::move(pax));
            if (!cargo.empty()) sides[1].emplace(model, std::move(cargo));
        }
        for (int s = 0; s < 2; ++s)
            if (!sides[s].empty()) g_airlineLiveries[s].emplace(airline, std::move(sides[s]));
    }
}

void gf_buildModelLiveries() {
    // Airlines in sorted order, so the titles of one model are in a fixed order; a model indexed
    // before keeps its titles.
    std::array<ModelTitles, 2> found;
    for (const std::string& airline : lf_sortedKeys(g_airlineModels)) {
        const auto& models = g_airlineModels.at(airline);
        for (const std::string& model : lf_sortedKeys(models)) {
            for (const IndexedTitle& t : models.at(model)) found[t.cargo ? 1 : 0][model].push_back(t.title);
        }
    }
    for (int side = 0; side < 2; ++side)
        for (auto& [model, titles] : found[side]) g_modelLiveries[side].try_emplace(model, std::move(titles));
}

void gf_buildSimilarTypes() {
    std::vector<std::string> allLines, installedLines;
    for (const auto& group : g_similarTypeGroups) {
        for (std::size_t i = 0; i < group.size(); ++i) {
            std::string all = group[i], installed = group[i];
            for (std::size_t k = 0; k < group.size(); ++k) {
                if (k == i) continue;
                all += "," + group[k];
                if (lf_modelHasLiveries(group[k])) installed += "," + group[k];
            }
            if (all.find(',') != std::string::npos) allLines.push_back(std::move(all));
            if (installed.find(',') != std::string::npos) installedLines.push_back(std::move(installed));
        }
    }
    auto fill = [](std::vector<std::string>& lines, std::unordered_map<std::string, std::vector<std::string>>& target) {
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        for (const std::string& line : lines) {
            std::vector<std::string> pieces = gf_splitAtComma(line);
            if (pieces.empty()) continue;
            std::string key = pieces.front();
            pieces.erase(pieces.begin());
            target.emplace(std::move(key), std::move(pieces));
        }
    };
    fill(allLines, g_allSimilarTypes);
    fill(installedLines, g_installedSimilarTypes);
    for (const std::string& airline : lf_indexedAirlines()) lf_buildAirlineSimilarTypes(airline);
    gf_logLine(format("{} similar model definitions", g_installedSimilarTypes.size()));
}

void gf_countGenericLiveries() {
    std::vector<std::string> models = lf_genericModels();
    std::sort(models.begin(), models.end());
    models.erase(std::unique(models.begin(), models.end()), models.end());
    if (g_airlineModels.count("ZZZ")) {
        gf_logLine(format("{} model{} have a generic livery", models.size(), models.size() == 1 ? "" : g_pluralS));
        lf_logModelNames(false, false, false, models);
    } else {
        gf_logLine("No generic liveries");
    }
}

void gf_clearReplacementModels() {
    for (auto& list : g_replacementModels) {
        list.clear();
        list.reserve(32);
    }
}

void gf_checkCategory(unsigned c) {
    const std::string name = gf_sizeClassName(static_cast<SizeClass>(c));
    std::size_t counts[2] = {0, 0};
    std::vector<std::string> models;
    for (int side = 0; side < 2; ++side) {
        for (const auto& [model, titles] : g_modelLiveries[side]) {
            if (gf_sizeClass(model) != c) continue;
            counts[side] += titles.size();
            models.push_back(model);
        }
    }
    const std::size_t pax = counts[0], cargo = counts[1];
    if (pax + cargo != 0) {
        std::string line = format("Category {}: {} pax liverie{}", name, pax, pax == 1 ? "" : g_pluralS);
        if (cargo != 0) line += format(" and {} cargo liverie{}", cargo, cargo > 1 ? g_pluralS : "");
        gf_logLine(line);
        if (!models.empty()) {
            std::sort(models.begin(), models.end());
            models.erase(std::unique(models.begin(), models.end()), models.end());
            lf_logModelNames(c == SIZE_LIGHT, c == SIZE_BUSINESS_JET, c == SIZE_ROTORCRAFT, models);
        }
        return;
    }
    gf_logLine(format("Category {}: No livery found", name));
    CheckBoxParameter* setting = nullptr;
    const char* what = nullptr;
    if (c == SIZE_LIGHT) {
        setting = &LIGHT_AIRCRAFT;
        what = "light aircraft";
    } else if (c == SIZE_HIGH_PERF) {
        setting = &HIGH_PERF_AIRCRAFT;
        what = "High Perf aircraft";
    } else if (c == SIZE_ROTORCRAFT) {
        setting = &HELICOPTERS;
        what = "Helicopters";
    }
    if (!setting) return;
    if (setting->get()) {
        setting->set(false);
        setting->save();
        gf_logLine(format("{} temporary switched off because you do not have {} installed", setting->name, what));
    }
    lf_disableCheckBox(*setting);
}

std::optional<std::string_view> gf_findIndexedTitle(std::string_view title) {
    auto it = g_indexedTitles.find(title);
    if (it == g_indexedTitles.end()) return std::nullopt;
    return *it;
}

bool gf_airlineHasModel(const std::string& airline, const std::string& model) {
    auto it = g_airlineModels.find(airline);
    return it != g_airlineModels.end() && it->second.count(model) > 0;
}

void gf_addSpecialLivery(std::string_view title) {
    g_specialLiveries.push_back(title);
    g_specialSet.insert(title);
}

bool gf_isSpecialLivery(std::string_view title) { return g_specialSet.count(title) > 0; }

std::vector<std::string>& gf_similarModelsForAirline(const std::string& airline, const std::string& model) {
    auto a = g_airlineSimilarTypes.find(airline);
    if (a != g_airlineSimilarTypes.end()) {
        auto m = a->second.find(model);
        if (m != a->second.end()) {
            gf_shuffleIfRandom(m->second);
            return m->second;
        }
    }
    g_noModels.clear();
    return g_noModels;
}

std::vector<std::string>& gf_similarModels(const std::string& model) {
    auto it = g_installedSimilarTypes.find(model);
    if (it != g_installedSimilarTypes.end()) {
        gf_shuffleIfRandom(it->second);
        return it->second;
    }
    const unsigned c = gf_sizeClass(model);
    const std::vector<std::string>* list = c == SIZE_LIGHT          ? &g_replacementModels[0]
                                           : c == SIZE_BUSINESS_JET ? &g_replacementModels[1]
                                           : c == SIZE_ROTORCRAFT   ? &g_replacementModels[2]
                                                                    : nullptr;
    g_oneReplacement.clear();
    if (list && !list->empty()) {
        const std::string& pick = (*list)[static_cast<std::size_t>(gf_randomIndex(static_cast<std::int64_t>(list->size())))];
        if (!pick.empty()) g_oneReplacement.push_back(pick);
    }
    return g_oneReplacement;
}

}  // namespace vrn
