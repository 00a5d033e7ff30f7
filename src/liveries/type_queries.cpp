#include "liveries/type_queries.h"

#include <regex>

#include "records/flight_records.h"

namespace vrn {
namespace {

// The publisher names compiled once when the groups are read; a name that is no valid expression
// keeps an empty slot and can still match as a substring.
std::vector<std::vector<std::optional<std::regex>>> g_publisherPatterns;

std::optional<std::regex> lf_compilePattern(const std::string& pattern) {
    try {
        return std::regex(".*" + pattern + ".*", std::regex::ECMAScript | std::regex::icase);
    } catch (const std::regex_error&) {
        return std::nullopt;
    }
}

const DbRecord* lf_recordOfReg(const std::string& registration) {
    if (registration.empty()) return nullptr;
    for (const std::string& variant : gf_regVariants(registration)) {
        auto it = g_regDatabase.find(variant);
        if (it != g_regDatabase.end()) return &it->second;
    }
    return nullptr;
}

}  // namespace

void gf_compilePublisherPatterns() {
    g_publisherPatterns.clear();
    g_publisherPatterns.reserve(g_publisherGroups.size());
    for (const auto& group : g_publisherGroups) {
        auto& compiled = g_publisherPatterns.emplace_back();
        compiled.reserve(group.size());
        for (const std::string& name : group) compiled.push_back(lf_compilePattern(name));
    }
}

unsigned gf_sizeClass(const std::string& model) {
    if (g_largeTypes.count(model)) return SIZE_LARGE;
    if (g_heavyTypes.count(model)) return SIZE_HEAVY;
    if (g_bizJetTypes.count(model)) return SIZE_BUSINESS_JET;
    if (g_rotorcraftTypes.count(model)) return SIZE_ROTORCRAFT;
    if (g_highPerfTypes.count(model)) return SIZE_HIGH_PERF;
    return SIZE_LIGHT;
}

bool gf_isValidModel(const std::string& model) { return !model.empty() && g_validModels.count(model) > 0; }

double gf_halfWingspanNm(const std::string& model) {
    auto it = g_halfWingspans.find(model);
    if (it != g_halfWingspans.end()) return it->second;
    return g_classHalfWingspans[gf_sizeClass(model)];
}

bool gf_isIcaoAirline(const std::string& airline) { return !airline.empty() && g_icaoAirlines.count(airline) > 0; }

std::vector<std::string> gf_regVariants(const std::string& registration) {
    std::vector<std::string> variants;
    variants.reserve(3);
    variants.push_back(registration);
    if (registration.size() >= 5 && registration[0] != 'N' && registration.find('-') == std::string::npos) {
        variants.push_back(registration.substr(0, 2) + "-" + registration.substr(2));
        variants.push_back(registration.substr(0, 1) + "-" + registration.substr(1));
    }
    return variants;
}

bool gf_lookupDbRecord(std::optional<DbRecord>& record, const std::string& key) {
    auto it = g_regDatabase.find(key);
    if (it == g_regDatabase.end()) return false;
    record = it->second;
    return true;
}

std::string gf_operatorOfReg(const std::string& registration) {
    const DbRecord* r = lf_recordOfReg(registration);
    return r ? r->operatorCode : std::string();
}

std::string gf_airlineOfReg(const std::string& registration) {
    const DbRecord* r = lf_recordOfReg(registration);
    return r ? r->airline : std::string();
}

std::string gf_typeOfReg(const std::string& registration) {
    const DbRecord* r = lf_recordOfReg(registration);
    return r ? r->type : std::string();
}

bool gf_matchesPattern(const std::string& text, const std::string& pattern) {
    const std::optional<std::regex> re = lf_compilePattern(pattern);
    return re && std::regex_match(text, *re);
}

std::string gf_matchPublisher(const std::string& text) {
    const bool compiled = g_publisherPatterns.size() == g_publisherGroups.size();
    for (std::size_t g = 0; g < g_publisherGroups.size(); ++g) {
        const auto& group = g_publisherGroups[g];
        const bool groupCompiled = compiled && g_publisherPatterns[g].size() == group.size();
        for (std::size_t n = 0; n < group.size(); ++n) {
            const std::string& name = group[n];
            if (text.find(name) != std::string::npos) return group[0];
            const bool matches = groupCompiled
                                     ? (g_publisherPatterns[g][n] && std::regex_match(text, *g_publisherPatterns[g][n]))
                                     : gf_matchesPattern(text, name);
            if (matches) return group[0];
        }
    }
    return "unknown";
}

// The records floor cannot ask the type database, so this constructor of Aircraft lives here.
Aircraft::Aircraft(const Flight& flight)
    : Aircraft(flight, static_cast<SizeClass>(gf_sizeClass(flight.model)), gf_halfWingspanNm(flight.model)) {}

}  // namespace vrn
