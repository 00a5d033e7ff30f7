// Reading a learned airport file: its per-airport settings go to the program, its uses, changed
// stands and hand-made stands into g_stands (or, for a handmade file, its stands replace them).
#include <cmath>
#include <sstream>
#include <unordered_map>

#include "airports/airport_files.h"
#include "airports/automatic_range.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "core/utf8_paths.h"
#include "display/window_state.h"
#include "liveries/type_database.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace fs = std::filesystem;

std::atomic<int> g_userMaxLive{300};

namespace {

const char* lf_boolText(bool b) { return b ? "true" : "false"; }

void lf_logSetting(const std::string& key, const std::string& value) {
    gf_logIndentedLine(format("{:24}: {}", key, value));
}

void lf_clearEditText(const GuiControl& control) {
    if (ui::Window* window = g_mainWindow.g_hMainWindow; window && window->hasControl(control.controlId)) {
        window->setText(control.controlId, "");
    }
}

void lf_applyBool(const pugi::xml_document& doc, CheckBoxParameter& setting) {
    if (auto value = lf_readBoolParameter(doc, setting.name)) {
        setting.setChecked(*value);
        lf_logSetting(setting.name, lf_boolText(*value));
    }
}

void lf_applySettings(const pugi::xml_document& doc) {
    lf_applyBool(doc, LEARN_SOFT);

    if (auto value = lf_readIntParameter(doc, MAX_LIVE.name)) {
        gf_setClamped(MAX_LIVE, *value);
        MAX_LIVE.showValue();
        if (MAX_LIVE.get() == MAX_LIVE.defaultValue) lf_clearEditText(MAX_LIVE);
        lf_logSetting(MAX_LIVE.name, std::to_string(MAX_LIVE.get()));
    } else {
        // No value of its own for this airport: the user's own limit, which is not the default.
        const int own = g_userMaxLive.load();
        MAX_LIVE.set(MAX_LIVE.clamp(own));
        if (MAX_LIVE.get() == MAX_LIVE.defaultValue)
            lf_clearEditText(MAX_LIVE);
        else
            MAX_LIVE.showValue();
    }

    if (auto value = lf_readIntParameter(doc, LATERAL_RANGE.name)) {
        gf_setLateralRange(*value);
        LATERAL_RANGE.showValue();
        gf_enableAirportControl(LATERAL_RANGE, true);
        lf_logSetting(LATERAL_RANGE.name, std::to_string(LATERAL_RANGE.get()));
    }

    if (auto value = lf_readBoolParameter(doc, AUTO_RANGE.name)) {
        AUTO_RANGE.setChecked(*value);
        gf_enableAirportControl(LATERAL_RANGE, false);
        if (!*value) {
            gf_enableAirportControl(LATERAL_RANGE, true);
            const int kept = g_lateralRangeBeforeAuto.load();
            if (kept >= 0) LATERAL_RANGE.set(LATERAL_RANGE.clamp(kept));
            gf_setLateralRange(LATERAL_RANGE.get());
            gf_clearStatus();
        } else {
            g_lateralRangeBeforeAuto.store(LATERAL_RANGE.get());
            gf_autoLateralRange();
            gf_enableAirportControl(LATERAL_RANGE, false);
        }
        LATERAL_RANGE.showValue();
        lf_logSetting(AUTO_RANGE.name, lf_boolText(*value));
    }

    lf_applyBool(doc, PARK_FAKE);
    lf_applyBool(doc, WEEK);
    lf_applyBool(doc, PARK_SOFT);

    if (auto value = lf_readIntParameter(doc, parking_percentage.name)) {
        // A hand-edited percentage above 100 would ask for more aircraft than stands.
        parking_percentage.set(parking_percentage.clamp(*value));
        lf_logSetting(parking_percentage.name, std::to_string(parking_percentage.get()));
    } else {
        parking_percentage.set(30);
    }
    if (CUSTOM_PARKING_PERCENTAGE.get() >= 0) {
        parking_percentage.set(parking_percentage.clamp(CUSTOM_PARKING_PERCENTAGE.get()));
        gf_showStatus("parking percentage overruled by " + CUSTOM_PARKING_PERCENTAGE.name, true);
    }
    parking_percentage.showValue();

    lf_applyBool(doc, INITIAL_LOAD_ONLY);

    if (auto value = lf_readIntParameter(doc, MAX_FIT.name)) {
        lf_logMaxHalfHours(*value);
    } else if (auto older = lf_readIntParameter(doc, "MAX_FIT_WEEK")) {
        lf_logMaxHalfHours(*older);
    }
}

void lf_escapeTexts(pugi::xml_node node) {
    for (pugi::xml_attribute attribute : node.attributes())
        if (!gf_isPrintable(attribute.value())) attribute.set_value(gf_printable(attribute.value()).c_str());
    for (pugi::xml_node child : node.children()) {
        if (child.type() == pugi::node_pcdata && !gf_isPrintable(child.value()))
            child.set_value(gf_printable(child.value()).c_str());
        lf_escapeTexts(child);
    }
}

// A learned record, or the part of it, that is not used stays the user's: kept as the file had it
// for the next save, its texts escaped as the program's own are, so that the saved file is UTF-8.
void lf_keepParkPos(const pugi::xml_node& parkpos) {
    pugi::xml_document copy;
    const pugi::xml_node kept = copy.append_copy(parkpos);
    lf_escapeTexts(kept);
    std::ostringstream text;
    kept.print(text, "", pugi::format_raw);
    g_keptParkPositions.push_back(text.str());
}

// Overlay of one learned parkpos on the archived stand of the same id.
void lf_readParkPosOverlay(const pugi::xml_node& parkpos, Stand& stand, StandReading& reading) {
    if (parkpos.attribute("radius_change").as_bool()) {
        const double radius = parkpos.attribute("radius").as_double();
        // A change without a usable size would make the stand take no aircraft at all.
        if (std::isfinite(radius) && radius > 0.0 && radius <= kStandRadiusLimitMetres) {
            stand.radius = radius * kMetresToNm;
            stand.radiusChanged = 1;
        } else {
            reading.keepUnused(format("learned stand {} in {} has no usable radius, radius kept", stand.id,
                                      gf_utf8Of(reading.file)));
            pugi::xml_document refused;
            pugi::xml_node part = refused.append_child("parkpos");
            part.append_attribute("id") = stand.id.c_str();
            for (const char* name : {"radius_change", "radius"})
                if (const pugi::xml_attribute attribute = parkpos.attribute(name)) part.append_copy(attribute);
            lf_keepParkPos(part);
        }
    }
    if (parkpos.attribute("cargo_change").as_bool()) {
        stand.cargo = parkpos.attribute("cargo").as_bool() ? 1 : 0;
        stand.cargoChanged = 1;
    }
    std::uint32_t next = stand.uses.empty() ? 1 : stand.uses.back().number + 1;
    for (StandUse& use : lf_readUses(parkpos, false, UseOrigin::Learned, 0)) {
        bool duplicate = false;
        for (StandUse& existing : stand.uses) {
            if (lf_sameStandUse(existing, use)) {
                // The same use: its half hours join the one already there, so that the next save
                // loses none of them. The learned file keeps it from now on, even when the
                // archived file drops it.
                existing.hh |= use.hh;
                if (existing.origin == UseOrigin::Archive) existing.origin = UseOrigin::Learned;
                duplicate = true;
                break;
            }
        }
        if (duplicate) continue;
        use.number = next++;
        stand.uses.push_back(std::move(use));
    }
}

void lf_readManualStand(const pugi::xml_node& parkpos, std::string id, StandReading& reading) {
    const LatLon position{parkpos.attribute("latitude").as_double(), parkpos.attribute("longitude").as_double()};
    const double radius = parkpos.attribute("radius").as_double();
    if (!gf_isValidPosition(position) || radius == 0.0 || !std::isfinite(radius)) {
        reading.refuseWith(format("manually created standid {} misses correct attributes in {}", id, gf_utf8Of(reading.file)));
        lf_keepParkPos(parkpos);
        return;
    }
    Stand stand = gf_fullFormStand(parkpos, std::string(id), lf_readUses(parkpos, false, UseOrigin::Learned, 1));
    if (const std::string fault = gf_standFault(stand, reading.airport); !fault.empty()) {
        reading.refuse(id, fault);
        lf_keepParkPos(parkpos);
        return;
    }
    stand.manual = 1;
    g_stands.push_back(std::move(stand));
}

void lf_mergeLearned(const pugi::xml_document& doc, StandReading& reading) {
    const fs::path& path = reading.file;
    std::unordered_map<std::string, std::size_t> byId;
    byId.reserve(g_stands.size() * 2);
    for (std::size_t i = 0; i < g_stands.size(); ++i) byId.try_emplace(g_stands[i].id, i);

    // Changes to a stand not met yet wait for the manual stands after them, so that the order of
    // the records in the file does not decide whether they are used.
    std::vector<pugi::xml_node> notMet;
    for (pugi::xml_node parkpos : doc.child("parkpositions").children("parkpos")) {
        std::string id = gf_standIdOf(parkpos);
        if (parkpos.attribute("manual").as_bool()) {
            if (byId.count(id)) {
                reading.refuseWith(format("manually created standid {} already exists in {}", id, gf_utf8Of(path)));
                lf_keepParkPos(parkpos);
                continue;
            }
            const std::size_t before = g_stands.size();
            lf_readManualStand(parkpos, id, reading);
            if (g_stands.size() > before) byId.try_emplace(id, before);
            continue;
        }
        auto it = byId.find(id);
        if (it == byId.end()) {
            notMet.push_back(parkpos);
            continue;
        }
        lf_readParkPosOverlay(parkpos, g_stands[it->second], reading);
    }
    for (const pugi::xml_node& parkpos : notMet) {
        const std::string id = gf_standIdOf(parkpos);
        if (auto it = byId.find(id); it != byId.end()) {
            lf_readParkPosOverlay(parkpos, g_stands[it->second], reading);
            continue;
        }
        // A scenery update renamed or removed the stand: what was learned there waits for its return.
        reading.keepUnused(format("learned stand {} in {} not found?", id, gf_utf8Of(path)), false);
        lf_keepParkPos(parkpos);
    }
}

// A damaged learned file is kept aside: <name>0.xml, or <name>0-2.xml ... when that exists.
fs::path lf_backupPathOf(const fs::path& path) {
    const std::string text = gf_utf8Of(path);
    const auto dot = text.find_last_of('.');
    const std::string stem = dot == std::string::npos ? text : text.substr(0, dot);
    const std::string ext = dot == std::string::npos ? std::string() : text.substr(dot);
    fs::path candidate = gf_pathFromUtf8(stem + "0" + ext);
    for (int n = 2; fs::exists(candidate) && n < 1000; ++n)
        candidate = gf_pathFromUtf8(stem + "0-" + std::to_string(n) + ext);
    return candidate;
}

}  // namespace

void gf_setClamped(NumericParameter<int>& setting, int value) { setting.set(setting.clamp(value)); }

void lf_readLearned(const fs::path& path) {
    gf_logLine(format("Read from learned airport file: \"{}\"", gf_utf8Of(path)));
    g_keptParkPositions.clear();
    try {
        pugi::xml_document doc;
        StandReading reading{path, lf_parkAirportPosition()};
        const pugi::xml_parse_result result = gf_loadApfDocument(doc, path);
        if (!result) {
            fs::rename(path, lf_backupPathOf(path));
            gf_logLine(format("{} found, but could not be loaded, saved as *.0.xml: {}", gf_utf8Of(path),
                              result.description()));
            return;
        }
        const std::string learnedName = lf_readStringParameter(doc, "airport_name").value_or("");
        if (learnedName != g_apfAirport.airport_name) {
            gf_showStatus(format("Warning: learned file airport name: \"{}\" differs from archived file airport name: \"{}\"",
                                 learnedName, g_apfAirport.airport_name),
                          true);
        }
        lf_applySettings(doc);

        if (auto handmade = lf_readStringParameter(doc, "handmade")) {
            // Read whole before it replaces anything: a file that stops halfway must neither leave
            // a partial stand list nor be saved over with one.
            std::vector<Stand> stands;
            try {
                lf_readParkPositions(doc, stands, UseOrigin::Learned, reading);
            } catch (const std::exception& e) {
                g_handmadeOverruled = false;
                g_apfSaveBlocked = true;
                gf_showStatus(format("handmade airport file \"{}\" not used: {}", gf_utf8Of(path), e.what()), true);
                return;
            }
            g_stands.swap(stands);
            g_handmadeOverruled = true;
            gf_logIndentedLine(format("{:24}: {}", "handmade", *handmade));
            // Saving writes the whole stand list: the refused records would be gone from the user's
            // own file. It stays as the user wrote it until they mend it.
            if (reading.refused > 0) g_apfSaveBlocked = true;
            reading.sayRefused();
            return;
        }
        g_handmadeOverruled = false;
        lf_mergeLearned(doc, reading);
        reading.sayRefused();
    } catch (const std::exception& e) {
        // What was merged stays, but saving now would drop the part that was not read.
        g_apfSaveBlocked = true;
        gf_logLine(format("exception in lf_readLearned: {}", e.what()));
    }
}

}  // namespace vrn
