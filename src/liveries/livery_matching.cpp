#include "liveries/livery_matching.h"

#include <algorithm>
#include <atomic>
#include <mutex>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "liveries/livery_index.h"
#include "liveries/type_queries.h"
#include "records/stand_records.h"
#include "settings/settings_catalogue.h"

namespace vrn {
namespace {

constexpr int kPickTries = 5;
constexpr std::size_t kFailureLimit = 20;
constexpr std::int64_t kSummaryWidth = 100;

// The failure lists are appended on the run thread and read by the summary, which also runs on the
// exit thread; the counters likewise.
std::mutex g_failedMutex;
std::vector<std::string> g_failedTitles;
std::vector<std::string> g_failedNames;
std::array<std::atomic<std::int32_t>, 6> g_matchCounters{};

bool lf_isFailed(std::string_view title) {
    std::lock_guard lock(g_failedMutex);
    return std::find(g_failedTitles.begin(), g_failedTitles.end(), title) != g_failedTitles.end();
}

std::size_t lf_index(std::size_t count) { return static_cast<std::size_t>(gf_randomIndex(static_cast<std::int64_t>(count))); }

// A random candidate that is no special livery; none when all are special.
bool lf_pickLivery(Aircraft& aircraft, const TitleViews& candidates) {
    if (candidates.empty()) return false;
    std::string_view title = candidates[lf_index(candidates.size())];
    for (int t = 0; t < kPickTries; ++t) {
        if (!gf_isSpecialLivery(title)) {
            aircraft.liveryTitle = title;
            return true;
        }
        title = candidates[lf_index(candidates.size())];
    }
    TitleViews ordinary;
    for (std::string_view c : candidates)
        if (!gf_isSpecialLivery(c)) ordinary.push_back(c);
    if (ordinary.empty()) {
        aircraft.liveryTitle = {};
        return false;
    }
    aircraft.liveryTitle = ordinary[lf_index(ordinary.size())];
    return true;
}

bool lf_matchByRegcode(Aircraft& aircraft) {
    if (aircraft.registration.empty()) return false;
    for (const std::string& variant : gf_regVariants(aircraft.registration)) {
        auto it = g_regcodeLiveries.find(variant);
        if (it != g_regcodeLiveries.end()) {
            aircraft.liveryTitle = it->second;
            return true;
        }
    }
    return false;
}

bool lf_matchSide(Aircraft& aircraft, int side, const std::string& airline, const std::string& model) {
    const auto& map = g_airlineLiveries[side];
    auto a = map.find(airline);
    if (a == map.end()) return false;
    auto m = a->second.find(model);
    return m != a->second.end() && lf_pickLivery(aircraft, m->second);
}

// Cargo aircraft prefer a cargo livery; passenger aircraft never get one.
bool lf_matchAirlineModel(Aircraft& aircraft, const std::string& airline, const std::string& model) {
    if (lf_matchSide(aircraft, aircraft.cargo ? 1 : 0, airline, model)) return true;
    return aircraft.cargo && lf_matchSide(aircraft, 0, airline, model);
}

bool lf_matchModel(Aircraft& aircraft, const std::string& model) {
    const auto& map = g_modelLiveries[aircraft.cargo ? 1 : 0];
    auto it = map.find(model);
    return it != map.end() && lf_pickLivery(aircraft, it->second);
}

// Steps 2 to 6; the step that gave the title, 0 for none. Live aircraft skip the airline steps
// when they have no airline code.
int lf_ladderAfterRegcode(Aircraft& aircraft, int depth, bool needAirline) {
    const std::string& airline = aircraft.airline;
    const std::string& model = aircraft.model;
    if (airline == "PVT" && lf_matchAirlineModel(aircraft, "ZZZ", model)) return 4;
    const std::string op = gf_operatorOfReg(aircraft.registration);
    const bool tryAirline = !needAirline || !airline.empty();
    if (tryAirline) {
        if (lf_matchAirlineModel(aircraft, airline, model)) return 2;
        if (!op.empty() && lf_matchAirlineModel(aircraft, gf_airlineOfReg(aircraft.registration), model)) return 2;
    }
    if (depth < 3) return 0;
    if (tryAirline) {
        const std::vector<std::string>& similar = gf_similarModelsForAirline(airline, model);
        for (const std::string& m : similar)
            if (lf_matchAirlineModel(aircraft, airline, m)) return 3;
        if (!op.empty()) {
            const std::string regAirline = gf_airlineOfReg(aircraft.registration);
            for (const std::string& m : similar)
                if (lf_matchAirlineModel(aircraft, regAirline, m)) return 3;
        }
    }
    if (depth == 4 && lf_matchAirlineModel(aircraft, "ZZZ", model)) return 4;
    const unsigned c = aircraft.sizeClass;
    if (c == SIZE_LIGHT || c == SIZE_BUSINESS_JET || c == SIZE_ROTORCRAFT) {
        if (airline != "PVT" && lf_matchAirlineModel(aircraft, "ZZZ", model)) return 4;
        if (lf_matchModel(aircraft, model)) return 5;
        for (const std::string& m : gf_similarModels(model))
            if (lf_matchModel(aircraft, m)) return 6;
    }
    return 0;
}

void lf_logMatch(const Aircraft& aircraft, const std::string& mark) {
    if (LOG.get()) gf_logLine(format("          {} ={}= {}", gf_flightToText(aircraft), mark, aircraft.liveryTitle));
}

std::vector<std::string> lf_failedNameLines() {
    std::lock_guard lock(g_failedMutex);
    std::sort(g_failedNames.begin(), g_failedNames.end());
    g_failedNames.erase(std::unique(g_failedNames.begin(), g_failedNames.end()), g_failedNames.end());
    return g_failedNames;
}

}  // namespace

void gf_matchLiveryLive(Aircraft& aircraft) {
    aircraft.liveryTitle = {};
    const int depth = MATCHING_DEPTH.get();
    int step = lf_matchByRegcode(aircraft) ? 1 : 0;
    if (step == 0 && depth >= 2) step = lf_ladderAfterRegcode(aircraft, depth, true);
    if (step == 0 || aircraft.liveryTitle.empty()) {
        aircraft.liveryTitle = {};
        return;
    }
    if (lf_isFailed(aircraft.liveryTitle)) {
        aircraft.liveryTitle = {};
        return;
    }
    g_matchCounters[static_cast<std::size_t>(step - 1)].fetch_add(1);
    lf_logMatch(aircraft, std::to_string(step));
    aircraft.fsltlTitle = aircraft.liveryTitle.find("FSLTL_") != std::string_view::npos;
}

bool gf_matchLiveryStatic(Aircraft& aircraft, bool standCargo, const std::string& standName) {
    if (!aircraft.liveryTitle.empty()) {
        lf_logMatch(aircraft, "s");
        return true;
    }
    const int depth = MATCHING_DEPTH.get();
    int step = lf_matchByRegcode(aircraft) ? 1 : 0;
    if (step == 0) {
        aircraft.cargo = standCargo;
        if (depth >= 2) step = lf_ladderAfterRegcode(aircraft, depth, false);
    }
    if (step == 0 || aircraft.liveryTitle.empty()) {
        aircraft.liveryTitle = {};
        if (LOG.get()) gf_logLine(format("{:8}: {} no livery match ...", standName, gf_flightPairText(aircraft)));
        return false;
    }
    if (lf_isFailed(aircraft.liveryTitle)) {
        aircraft.liveryTitle = {};
        return false;
    }
    lf_logMatch(aircraft, std::to_string(step));
    return true;
}

bool gf_matchLiveryStatic(Aircraft& aircraft, const Stand& stand) {
    return gf_matchLiveryStatic(aircraft, stand.cargo != 0, stand.id);
}

void gf_reportCreationFailure(const Aircraft& aircraft) {
    gf_showStatus(format("{} \"{}\" could not be created by your Sim!", aircraft.callsign, aircraft.liveryTitle), true);
    std::size_t failures = 0;
    {
        std::lock_guard lock(g_failedMutex);
        g_failedTitles.emplace_back(aircraft.liveryTitle);
        g_failedNames.push_back(aircraft.model + " " + aircraft.airline);
        failures = g_failedTitles.size();
    }
    if (failures >= kFailureLimit) {
        const std::string text = format("there are too many liveries that could not be created by {}!", "MSFS");
        gf_logLine(format("\n{}Error 81, {}\n", g_arrow, text));
        throw UserErrorException(81, format("{}, see Log.txt", text));
    }
}

void gf_logLiveryMatchingSummary() {
    if (!gf_logIsOpen()) return;
    static const std::string title = "live traffic livery matching summary";
    std::vector<std::string> lines;
    lines.reserve(256);
    lines.push_back(gf_starBanner(kSummaryWidth - static_cast<std::int64_t>(title.size()), 0, true, false, title));
    lines.emplace_back("Matches at step: ");
    for (std::size_t s = 0; s < g_matchCounters.size(); ++s)
        lines.push_back(format("  {}: {}", s + 1, g_matchCounters[s].load()));
    const std::vector<std::string> names = lf_failedNameLines();
    if (!names.empty()) {
        lines.push_back(format("\nCould not be created by {}:", "MSFS"));
        for (const std::string& name : names) lines.push_back("  " + name);
    }
    lines.push_back(gf_starBanner(kSummaryWidth, 0, false, true, ""));
    gf_logLines(lines);
}

std::vector<std::string> gf_failedTitles() {
    std::lock_guard lock(g_failedMutex);
    return g_failedTitles;
}

std::array<std::int32_t, 6> gf_matchCounts() {
    std::array<std::int32_t, 6> counts{};
    for (std::size_t s = 0; s < counts.size(); ++s) counts[s] = g_matchCounters[s].load();
    return counts;
}

void gf_resetLiveryMatching() {
    std::lock_guard lock(g_failedMutex);
    g_failedTitles.clear();
    g_failedNames.clear();
    for (auto& c : g_matchCounters) c.store(0);
}

}  // namespace vrn
