#include "liveries/livery_data.h"

#include <pugixml.hpp>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"

namespace vrn {

std::list<LiveryData> g_liveries;

namespace {

void lf_writeLiveryNode(pugi::xml_node& liveries, const LiveryData& livery) {
    pugi::xml_node liv = liveries.append_child("liv");
    liv.append_attribute("airl").set_value(livery.airline.c_str());
    liv.append_attribute("type").set_value(livery.model.c_str());
    if (livery.cargo) liv.append_attribute("cargo").set_value("true");
    liv.append_attribute("title").set_value(livery.title.c_str());
    liv.append_attribute("atcid").set_value(livery.atcId.c_str());
}

bool lf_boolText(const char* text) {
    const char c = text[0];
    return c == '1' || c == 't' || c == 'T' || c == 'y' || c == 'Y';
}

}  // namespace

void gf_sortUniqueLiveries() {
    g_liveries.sort();
    g_liveries.unique();
}

void gf_writeLiveriesScanned() { gf_writeLiveriesScanned(kLiveriesScannedPath); }

void gf_writeLiveriesScanned(const std::filesystem::path& file) {
    if (g_liveries.empty()) return;
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("liveries");
    for (const LiveryData& livery : g_liveries) lf_writeLiveryNode(root, livery);
    gf_saveXmlFile(doc, file);
    gf_logLine(format("{} liveries in {}", g_liveries.size(), gf_utf8Of(file)));
}

void gf_readLiveriesScanned() { gf_readLiveriesScanned(kLiveriesScannedPath); }

void gf_readLiveriesScanned(const std::filesystem::path& file) {
    g_liveries.clear();
    const std::string pathText = gf_utf8Of(file);
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, file)) throw UserErrorException(51, format("File {} not found", pathText));
    const pugi::xml_node root = doc.child("liveries");
    if (!root) throw UserErrorException(52, format("{} does not contain a <liveries> section", pathText));
    for (pugi::xml_node liv : root.children("liv")) {
        LiveryData& d = g_liveries.emplace_back();
        d.airline = liv.attribute("airl").value();
        d.model = liv.attribute("type").value();
        d.title = liv.attribute("title").value();
        d.atcId = liv.attribute("atcid").value();
        const pugi::xml_attribute cargo = liv.attribute("cargo");
        d.cargo = cargo && lf_boolText(cargo.value());
    }
    if (g_liveries.empty()) throw UserErrorException(53, pathText + " does not contain liveries");
    // A file edited by hand or written elsewhere need not be in the order the index is built from.
    gf_sortUniqueLiveries();
    gf_logLine(format("No scan done, {} liveries read from {}", g_liveries.size(), pathText));
}

}  // namespace vrn
