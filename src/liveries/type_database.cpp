// Reading input/dbase.xml. The file has no common root: each section is a top-level element.
#include "liveries/type_database.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

#include <pugixml.hpp>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "liveries/code_scrambling.h"
#include "liveries/type_queries.h"

namespace vrn {

std::set<std::string> g_validModels;
std::set<std::string> g_highPerfTypes;
std::set<std::string> g_heavyTypes;
std::set<std::string> g_largeTypes;
std::set<std::string> g_bizJetTypes;
std::set<std::string> g_rotorcraftTypes;
std::set<std::string> g_cargoTypes;
std::vector<std::vector<std::string>> g_similarTypeGroups;
std::set<std::string> g_icaoAirlines;
std::set<std::string> g_cargoOperators;
std::vector<std::vector<std::string>> g_publisherGroups;
std::map<std::string, double> g_halfWingspans;
double g_maxHalfWingspan = 0.0;
std::array<double, 6> g_classHalfWingspans{};
std::unordered_map<std::string, DbRecord> g_regDatabase;

namespace {

constexpr double kMetresToNm = 0.0005399568034557236;

std::set<std::string> lf_readSection(const pugi::xml_document& doc, const char* section, const char* element,
                                     const char* attribute) {
    std::set<std::string> pieces;
    for (pugi::xml_node node : doc.child(section).children(element)) {
        for (std::string& piece : gf_splitAtComma(node.attribute(attribute).value())) pieces.insert(std::move(piece));
    }
    if (pieces.empty()) {
        throw UserErrorException(61, format("In an xml file section {} {} {} is empty ", section, element, attribute));
    }
    return pieces;
}

void lf_readTypesSection(const pugi::xml_document& doc, const char* section, std::set<std::string>& target,
                         const char* element) {
    for (const std::string& stored : lf_readSection(doc, section, element, "types")) {
        std::string plain = gf_unscrambleCode(stored);
        if (!plain.empty()) target.insert(std::move(plain));
    }
}

void lf_readCodesSection(const pugi::xml_document& doc, const char* section, std::set<std::string>& target) {
    for (const std::string& stored : lf_readSection(doc, section, "ICAO", "codes")) {
        std::string plain = gf_unscrambleAirline(stored);
        if (!plain.empty()) target.insert(std::move(plain));
    }
}

std::string lf_attrCode(const pugi::xml_node& node, const char* name) {
    const char* value = node.attribute(name).value();
    return *value ? gf_unscrambleCode(value) : std::string();
}

// A plain split at ',' without trimming: a separator at the end gives no empty last piece.
std::vector<std::string> lf_splitPlain(const std::string& line) {
    std::vector<std::string> pieces;
    std::istringstream in(line);
    std::string piece;
    while (std::getline(in, piece, ',')) pieces.push_back(piece);
    return pieces;
}

void lf_averageWingspans() {
    std::array<double, 6> sums{};
    std::array<int, 6> counts{};
    for (const auto& [type, half] : g_halfWingspans) {
        const unsigned c = gf_sizeClass(type);
        sums[c] += half;
        ++counts[c];
    }
    // A class without any span gets 0.0, the value callers read as "not known".
    for (std::size_t c = 0; c < sums.size(); ++c) g_classHalfWingspans[c] = counts[c] ? sums[c] / counts[c] : 0.0;
}

void lf_readPublishers(const pugi::xml_document& doc, const std::string& pathText) {
    try {
        g_publisherGroups.reserve(640);
        std::vector<std::string> lines;
        for (pugi::xml_node pub : doc.child("publishers").children("pub")) lines.emplace_back(pub.attribute("names").value());
        std::sort(lines.begin(), lines.end());
        lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
        for (const std::string& line : lines) {
            std::vector<std::string> group = lf_splitPlain(line);
            group.shrink_to_fit();
            if (!group.empty()) g_publisherGroups.push_back(std::move(group));
        }
        g_publisherGroups.shrink_to_fit();
        gf_compilePublisherPatterns();
    } catch (const std::exception& e) {
        throw SysErrorException(299, format("exception {} in reading publishers from \"{}\"", e.what(), pathText));
    }
}

void lf_readWingspans(const pugi::xml_document& doc, const std::string& pathText) {
    try {
        bool seen = false;
        for (pugi::xml_node node : doc.child("wingspans").children("wingspan")) {
            const std::string type = lf_attrCode(node, "type");
            if (!gf_isValidModel(type)) {
                gf_logArrowLine(format("wingspan model {} is no valid model, skipped", type));
                continue;
            }
            seen = true;
            const double half = gf_attrDouble(node, "meters") * 0.5 * kMetresToNm;
            g_halfWingspans.emplace(type, half);
            g_maxHalfWingspan = std::max(g_maxHalfWingspan, half);
        }
        if (seen) lf_averageWingspans();
    } catch (const std::exception& e) {
        throw SysErrorException(288, format("exception {} in reading wingspans from \"{}\"", e.what(), pathText));
    }
}

void lf_readRegistrations(const pugi::xml_document& doc) {
    g_regDatabase.clear();
    const pugi::xml_node section = doc.child("dbase");
    std::size_t count = 0;
    for (pugi::xml_node node = section.child("db"); node; node = node.next_sibling("db")) ++count;
    g_regDatabase.reserve(count);
    for (pugi::xml_node node : section.children("db")) {
        std::string key = gf_unscrambleText(gf_attrString(node, "reg"));
        if (key.empty()) continue;   // a row without registration can never be looked up
        DbRecord record{gf_unscrambleAirline(gf_attrString(node, "airl")), lf_attrCode(node, "type"),
                        gf_unscrambleAirline(gf_attrString(node, "opr")), gf_attrBool(node, "cargo")};
        auto [it, inserted] = g_regDatabase.try_emplace(std::move(key), std::move(record));
        if (!inserted) gf_logArrowLine(format("regcode {} already exists", it->first));
    }
}

}  // namespace

std::string gf_attrString(const pugi::xml_node& node, const char* name) { return node.attribute(name).value(); }

double gf_attrDouble(const pugi::xml_node& node, const char* name) {
    const pugi::xml_attribute a = node.attribute(name);
    return a ? std::strtod(a.value(), nullptr) : 0.0;
}

bool gf_attrBool(const pugi::xml_node& node, const char* name) {
    const char c = node.attribute(name).value()[0];
    return c == '1' || c == 't' || c == 'T' || c == 'y' || c == 'Y';
}

void gf_clearTypeDatabase() {
    for (auto* s : {&g_validModels, &g_highPerfTypes, &g_heavyTypes, &g_largeTypes, &g_bizJetTypes, &g_rotorcraftTypes,
                    &g_cargoTypes, &g_icaoAirlines, &g_cargoOperators})
        s->clear();
    g_similarTypeGroups.clear();
    g_publisherGroups.clear();
    gf_compilePublisherPatterns();
    g_halfWingspans.clear();
    g_maxHalfWingspan = 0.0;
    g_classHalfWingspans.fill(0.0);
    g_regDatabase.clear();
}

bool gf_readDbase() { return gf_readDbase(kDbasePath); }

bool gf_readDbase(const std::filesystem::path& file) {
    const std::string pathText = gf_utf8Of(file);
    pugi::xml_document doc;
    const pugi::xml_parse_result loaded = gf_loadXmlFile(doc, file);
    if (!loaded) throw UserErrorException(60, format("\"{}\" not read because of {}", pathText, loaded.description()));

    lf_readTypesSection(doc, "aircrafts", g_validModels, "aircraft");
    lf_readTypesSection(doc, "high_performance", g_highPerfTypes, "hpf");
    lf_readTypesSection(doc, "heavy", g_heavyTypes, "hvy");
    lf_readTypesSection(doc, "large", g_largeTypes, "lar");
    lf_readTypesSection(doc, "buzjet", g_bizJetTypes, "bzj");
    lf_readTypesSection(doc, "rotorcraft", g_rotorcraftTypes, "rot");
    lf_readTypesSection(doc, "cargo_types", g_cargoTypes, "cargo_type");

    g_similarTypeGroups.reserve(64);
    for (pugi::xml_node node : doc.child("similar_types").children("similar")) {
        std::vector<std::string> group;
        for (const std::string& stored : gf_splitAtComma(node.attribute("types").value())) {
            std::string plain = gf_unscrambleCode(stored);
            if (!plain.empty()) group.push_back(std::move(plain));
        }
        std::sort(group.begin(), group.end());
        g_similarTypeGroups.push_back(std::move(group));
    }
    g_similarTypeGroups.shrink_to_fit();

    lf_readCodesSection(doc, "ICAO_airlines", g_icaoAirlines);
    lf_readCodesSection(doc, "cargo_operators", g_cargoOperators);
    lf_readPublishers(doc, pathText);
    lf_readWingspans(doc, pathText);
    lf_readRegistrations(doc);

    gf_logLine(format("{} dbase records from \"{}\" read", g_regDatabase.size(), pathText));
    return true;
}

}  // namespace vrn
