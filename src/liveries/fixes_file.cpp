#include "liveries/fixes_file.h"

#include <pugixml.hpp>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "liveries/type_database.h"

namespace vrn {

std::unordered_map<std::string, std::string> g_modelFixes;
std::set<std::string> g_pvtFixes;
std::set<std::string> g_govFixes;

namespace {

void lf_readAirlineFixes(const pugi::xml_document& doc, const char* section, const char* kind,
                         std::set<std::string>& target) {
    for (pugi::xml_node fix : doc.child(section).children("fix")) {
        const std::string wrong = fix.attribute("wrong").value();
        if (!wrong.empty() && g_icaoAirlines.count(wrong)) {
            gf_logArrowLine(format("{} fix {} is an ICAO airline code? ", kind, wrong));
            continue;
        }
        if (!target.insert(wrong).second) gf_logArrowLine(format("wrong: {}, already exists, skipped", wrong));
    }
}

}  // namespace

void gf_clearFixes() {
    g_modelFixes.clear();
    g_pvtFixes.clear();
    g_govFixes.clear();
}

void gf_readFixes() { gf_readFixes(kFixesPath); }

void gf_readFixes(const std::filesystem::path& file) {
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, file)) throw UserErrorException(3, gf_utf8Of(file) + " (or sections of it) not found?");

    for (pugi::xml_node fix : doc.child("fixes").children("fix")) {
        const std::string wrong = fix.attribute("wrong").value();
        const std::string correct = fix.attribute("correct").value();
        if (correct.empty() || !g_validModels.count(correct)) {
            gf_logArrowLine(format("wrong fix {}->{}, the latter is not a valid model", wrong, correct));
            continue;
        }
        if (!g_modelFixes.emplace(wrong, correct).second)
            gf_logArrowLine(format("wrong part of fix: {}, already exists, skipped", wrong));
    }
    lf_readAirlineFixes(doc, "PVT_fixes", "PVT", g_pvtFixes);
    lf_readAirlineFixes(doc, "GOV_fixes", "GOV", g_govFixes);
    gf_logLine(format("\"{}\" read", gf_utf8Of(file)));
}

}  // namespace vrn
