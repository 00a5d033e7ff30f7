// parameters.xml: the start-up reading of every setting, the single saves and the removal of keys.
//
// The file must never be lost. Every load-modify-save cycle runs under one mutex; every save goes to
// a temporary file that is renamed into place; a file that exists but does not load is renamed to
// "parameters.xml.bad" before anything is written in its place, and a save that finds no readable
// file writes every setting held in memory, not just the one that changed.
#include "settings/parameters_file.h"

#include <cstdlib>
#include <mutex>
#include <set>
#include <sstream>
#include <system_error>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {

constexpr const char* kRootName = "parameters";
constexpr const char* kElementName = "parameter";

// Serialises every load-modify-save of parameters.xml in this process.
std::mutex g_parametersMutex;

struct ParameterLists {
    std::vector<BoolParameter*> bools;
    std::vector<CheckBoxParameter*> checkBoxes;
    std::vector<NumericParameter<int>*> ints;
    std::vector<NumericEditParameter<int>*> intEdits;
    std::vector<StringParameter*> strings;
    std::vector<StringEditParameter*> stringEdits;
};

// The keys stored in parameters.xml, in the order in which a new file lists them.
ParameterLists lf_catalogueLists() {
    ParameterLists l;
    l.bools = {&RANDOM, &COLLISION_LIVE_PARKED_GND};
    l.checkBoxes = {&AEROWINX,      &MSFS_2020,          &COLLISION_USER_AIR,     &COLLISION_USER_GND,
                    &COLLISION_LIVE_PARKED_GND,          &SUPPRESS_STUB,          &LOG,
                    &ALWAYS_ON_TOP, &SCAN_LIVERIES,      &LIG_AUTOMATIC,          &LIG_PRIORITIZE,
                    &SCAN_AIRPORTS, &AFG_AUTOMATIC,      &LIGHT_AIRCRAFT,         &HELICOPTERS,
                    &HIGH_PERF_AIRCRAFT,                 &NAV_LIGHTS_WHILE_PARKED, &AUTO_RANGE,
                    &LEARN_SOFT,    &PARK_SOFT,          &PARK_FAKE,              &WEEK,
                    &INITIAL_LOAD_ONLY,                  &GUID_CHANGES};
    l.ints = {&CUSTOM_PARKING_PERCENTAGE, &MAIN_WINDOW_X, &MAIN_WINDOW_Y,
              &LAST_EPOCH_TIME};
    l.intEdits = {&MATCHING_DEPTH, &LATERAL_RANGE, &MAX_FIT, &MAX_LIVE, &AIRPORT_RANGE, &AIRPORT_HEIGHT};
    l.strings = {&PROGRAM_VERSION, &PORT_NUMBER, &MYSIMADDON24_VERSION};
    for (int i = 0; i < 10; ++i) l.strings.push_back(gf_liveryFolderSetting(i));
    for (int i = 0; i < 10; ++i) l.strings.push_back(gf_airportFolderSetting(i));
    for (StringParameter* p : {&PROGRAM_INSTALL_PATH, &ARCHIVE_VERSION, &DBASE_VERSION, &AIG_VERSION,
                               &DATA_CHECKED_AT_DATE})
        l.strings.push_back(p);
    l.stringEdits = {&BLOCK_CALLSIGN, &MSFS_INSTALL_PATH, &MSFS_2024_INSTALL_PATH};
    return l;
}

bool lf_isFolderParameter(const std::string& name) {
    return name.find("lfolder") != std::string::npos || name.find("afolder") != std::string::npos;
}

std::string lf_boolText(bool v) { return v ? "true" : "false"; }

void lf_logBoolParameter(const BoolParameter& p) { gf_logLine(format("{}={}", p.name, lf_boolText(p.get()))); }
void lf_logIntParameter(const NumericParameter<int>& p) { gf_logLine(format("{}={}", p.name, p.get())); }
void lf_logStringParameter(const StringParameter& p) { gf_logLine(format("{}={}", p.name, p.get())); }

// The key's first element, or a null node. A name that makes no valid query selects nothing.
pugi::xml_node lf_findParameter(const pugi::xml_document& doc, const std::string& name) {
    try {
        return doc.select_node(gf_parameterXPath(name).c_str()).node();
    } catch (const pugi::xpath_exception&) {
        return pugi::xml_node();
    }
}

bool lf_readBoolParameter(const pugi::xml_document& doc, BoolParameter& p) {
    pugi::xml_node node = lf_findParameter(doc, p.name);
    p.set(node ? node.attribute("value").as_bool(false) : p.defaultValue);
    lf_logBoolParameter(p);
    return static_cast<bool>(node);
}

// A text key: the default when missing, else its value (empty without a value attribute).
// Returns its element (null when missing).
pugi::xml_node lf_readStringValue(const pugi::xml_document& doc, StringParameter& p) {
    pugi::xml_node node = lf_findParameter(doc, p.name);
    p.set(node ? std::string(node.attribute("value").as_string("")) : p.defaultValue);
    return node;
}

bool lf_readStringParameter(const pugi::xml_document& doc, StringParameter& p) {
    const bool found = static_cast<bool>(lf_readStringValue(doc, p));
    lf_logStringParameter(p);
    return found;
}

// A folder key is logged only when it names a folder.
pugi::xml_node lf_readFolderParameter(const pugi::xml_document& doc, StringParameter& p) {
    pugi::xml_node node = lf_readStringValue(doc, p);
    if (!p.get().empty()) lf_logStringParameter(p);
    return node;
}

void lf_logAddFailed(const std::string& name, const std::string& value) {
    gf_logLine(format("{}adding init xml parameter {} with {} failed!", g_arrow, name, value));
}

void lf_addBoolParameter(pugi::xml_node root, const BoolParameter& p) {
    if (!gf_appendBoolParameterNode(root, p.name, p.get())) lf_logAddFailed(p.name, lf_boolText(p.get()));
}

void lf_addIntParameter(pugi::xml_node root, const NumericParameter<int>& p) {
    if (!gf_appendIntParameterNode(root, p.name, p.get())) lf_logAddFailed(p.name, format("{}", p.get()));
}

void lf_addStringParameter(pugi::xml_node root, const StringParameter& p) {
    if (!gf_appendStringParameterNode(root, p.name, p.get())) lf_logAddFailed(p.name, p.get());
}

// A new document holding every listed key once, with the values now in memory. Folder keys are
// written only when they name a folder. `names` receives the keys written.
void lf_buildFromMemory(pugi::xml_document& doc, const ParameterLists& l, std::set<std::string>& names) {
    doc.reset();
    pugi::xml_node root = doc.append_child(kRootName);
    auto first = [&names](const NamedItem& p) { return names.insert(p.name).second; };
    for (BoolParameter* p : l.bools)
        if (first(*p)) lf_addBoolParameter(root, *p);
    for (CheckBoxParameter* p : l.checkBoxes)
        if (first(*p)) lf_addBoolParameter(root, *p);
    for (NumericParameter<int>* p : l.ints)
        if (first(*p)) lf_addIntParameter(root, *p);
    for (NumericEditParameter<int>* p : l.intEdits)
        if (first(*p)) lf_addIntParameter(root, *p);
    for (StringParameter* p : l.strings) {
        if (lf_isFolderParameter(p->name) && p->get().empty()) continue;
        if (first(*p)) lf_addStringParameter(root, *p);
    }
    for (StringEditParameter* p : l.stringEdits)
        if (first(*p)) lf_addStringParameter(root, *p);
}

// True when the path names something (a file, or anything else that a new file must not replace).
bool lf_exists(const std::filesystem::path& path) {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(path, ec);
    return !ec && std::filesystem::exists(status);
}

// Renames a file that exists but does not load out of the way, so that nothing overwrites it:
// "parameters.xml.bad", or "parameters.xml.bad1" and on when an earlier damaged file is kept there.
// False when it cannot be moved: the caller must then leave the file alone.
bool lf_keepAside(const std::filesystem::path& path, const std::string& reason) {
    if (const std::string what = gf_unreadableFileReason(path); !what.empty()) {
        gf_logLine(format("\"{}\" is not a settings file ({}) and is left as it is", gf_utf8Of(path), what));
        return false;
    }
    std::filesystem::path kept = path;
    kept += ".bad";
    bool nameFound = false;
    for (int n = 0; n < 100 && !nameFound; ++n) {
        std::filesystem::path candidate = path;
        candidate += n == 0 ? std::string(".bad") : format(".bad{}", n);
        if (!lf_exists(candidate)) {
            kept = candidate;
            nameFound = true;
        }
    }
    std::error_code ec = std::make_error_code(std::errc::file_exists);
    if (nameFound) {
        ec.clear();
        std::filesystem::rename(path, kept, ec);
    }
    if (ec) {
        gf_logLine(format("\"{}\" could not be read ({}) and could not be kept as \"{}\": {}", gf_utf8Of(path),
                          reason, gf_utf8Of(kept), ec.message()));
        return false;
    }
    gf_logLine(format("\"{}\" could not be read ({}), kept as \"{}\"", gf_utf8Of(path), reason, gf_utf8Of(kept)));
    return true;
}

std::string lf_loadFailure(const pugi::xml_parse_result& result) {
    return format("{} at offset {}", result.description(), static_cast<long long>(result.offset));
}

// pugixml's default formatting, written to a temporary file beside the target and renamed into place.
bool lf_saveAtomically(const pugi::xml_document& doc, const std::filesystem::path& path) {
    std::ostringstream out;
    doc.save(out);
    return gf_writeFileAtomically(path, out.str());
}

// The start-up path for a file that did not load: every setting takes its default.
void lf_readDefaults(const ParameterLists& l, const std::filesystem::path& path, bool mayWrite) {
    gf_logLine(gf_utf8Of(path) + " not found, default values taken:");
    std::set<std::string> seen;
    auto first = [&seen](const NamedItem& p) { return seen.insert(p.name).second; };
    for (BoolParameter* p : l.bools) {
        p->set(p->defaultValue);
        if (first(*p)) lf_logBoolParameter(*p);
    }
    for (CheckBoxParameter* p : l.checkBoxes) {
        p->setChecked(p->defaultValue);
        if (first(*p)) lf_logBoolParameter(*p);
    }
    for (NumericParameter<int>* p : l.ints) {
        p->set(p->defaultValue);
        if (first(*p)) lf_logIntParameter(*p);
    }
    for (NumericEditParameter<int>* p : l.intEdits) {
        p->set(p->defaultValue);
        p->showValue();
        if (first(*p)) lf_logIntParameter(*p);
    }
    for (StringParameter* p : l.strings) {
        p->set(p->defaultValue);
        if (!lf_isFolderParameter(p->name) && first(*p)) lf_logStringParameter(*p);
    }
    for (StringEditParameter* p : l.stringEdits) {
        p->set(p->defaultValue);
        p->showValue();
        if (first(*p)) lf_logStringParameter(*p);
    }
    if (!mayWrite) {
        gf_logLine(format("\"{}\" left as it is; settings changed in this run are not stored", gf_utf8Of(path)));
        return;
    }
    pugi::xml_document doc;
    std::set<std::string> names;
    lf_buildFromMemory(doc, l, names);
    gf_saveXmlFile(doc, path);
}

// The start-up path for a file that loaded.
void lf_readLoaded(pugi::xml_document& doc, const ParameterLists& l, const std::filesystem::path& path) {
    gf_logLine(format("from \"{}\"", gf_utf8Of(path)));
    // Missing keys go under the first top-level "parameters"; a file without one gets none.
    pugi::xml_node root = doc.child(kRootName);
    for (BoolParameter* p : l.bools)
        if (!lf_readBoolParameter(doc, *p) && root) lf_addBoolParameter(root, *p);
    for (CheckBoxParameter* p : l.checkBoxes) {
        if (!lf_readBoolParameter(doc, *p) && root) lf_addBoolParameter(root, *p);
        p->setChecked(p->get());
    }
    for (NumericParameter<int>* p : l.ints)
        if (!gf_readIntParameter(doc, *p, true) && root) lf_addIntParameter(root, *p);
    for (NumericEditParameter<int>* p : l.intEdits) {
        if (!gf_readIntParameter(doc, *p, true) && root) lf_addIntParameter(root, *p);
        p->showValue();
    }
    for (StringParameter* p : l.strings) {
        if (lf_isFolderParameter(p->name)) {
            pugi::xml_node node = lf_readFolderParameter(doc, *p);
            if (p->get().empty() && node) {
                node.parent().remove_child(node);
                gf_logLine("Parameter " + p->name + " removed");
            }
        } else if (!lf_readStringParameter(doc, *p) && root) {
            lf_addStringParameter(root, *p);
        }
    }
    for (StringEditParameter* p : l.stringEdits) {
        if (!lf_readStringParameter(doc, *p) && root) lf_addStringParameter(root, *p);
        p->showValue();
    }
    gf_saveXmlFile(doc, path);
}

}  // namespace

std::string gf_parameterXPath(const std::string& name) { return "/parameters/parameter[@name='" + name + "']"; }

bool gf_appendStringParameterNode(pugi::xml_node parent, const std::string& name, const std::string& value) {
    pugi::xml_node node = parent.append_child(kElementName);
    if (!node) return false;
    node.append_attribute("name").set_value(name.c_str());
    node.append_attribute("value").set_value(value.c_str());
    return true;
}

bool gf_appendBoolParameterNode(pugi::xml_node parent, const std::string& name, bool value) {
    return gf_appendStringParameterNode(parent, name, lf_boolText(value));
}

bool gf_appendIntParameterNode(pugi::xml_node parent, const std::string& name, int value) {
    return gf_appendStringParameterNode(parent, name, format("{}", value));
}

int gf_intAttribute(pugi::xml_node node, const std::string& name) {
    if (!node) return 0;
    return node.attribute(name.c_str()).as_int(0);
}

bool gf_readIntParameter(const pugi::xml_document& doc, NumericParameter<int>& setting, bool log) {
    pugi::xml_node node = lf_findParameter(doc, setting.name);
    if (!node) {
        setting.set(setting.defaultValue);
        if (log) lf_logIntParameter(setting);
        return false;
    }
    const pugi::xml_attribute attribute = node.attribute("value");
    const int stored = attribute.as_int(0);
    setting.set(setting.clamp(stored));
    if (log) {
        // A hand-edited value that was not taken as written is said once, beside the value taken.
        const char* text = attribute.as_string();
        char* end = nullptr;
        (void)std::strtoll(text, &end, 0);
        if (end == text) {
            gf_logArrowLine(format("{}: \"{}\" is not a number, read as 0", setting.name, gf_excerpt(text)));
        } else if (stored != setting.get()) {
            gf_logArrowLine(format("{}: {} lies outside {}..{}", setting.name, gf_excerpt(text), setting.minimum,
                                   setting.maximum));
        }
        lf_logIntParameter(setting);
    }
    return true;
}

void gf_readParameters(const std::vector<BoolParameter*>& bools, const std::vector<CheckBoxParameter*>& checkBoxes,
                       const std::vector<NumericParameter<int>*>& ints,
                       const std::vector<NumericEditParameter<int>*>& intEdits,
                       const std::vector<StringParameter*>& strings,
                       const std::vector<StringEditParameter*>& stringEdits) {
    const ParameterLists lists{bools, checkBoxes, ints, intEdits, strings, stringEdits};
    std::lock_guard lock(g_parametersMutex);
    gf_logLine(gf_starBanner(70, 0, false, false, "parameters"));
    const std::filesystem::path path = gf_parametersPath();
    // A folder or a huge file in its place is no damaged settings file to replace: the user must look.
    if (const std::string reason = gf_unreadableFileReason(path); !reason.empty())
        throw UserErrorException(44, format("{} is not a settings file: {}", gf_utf8Of(path), reason));
    pugi::xml_document doc;
    const pugi::xml_parse_result result = gf_loadXmlFile(doc, path);
    if (result) {
        lf_readLoaded(doc, lists, path);
    } else {
        const bool mayWrite = !lf_exists(path) || lf_keepAside(path, lf_loadFailure(result));
        lf_readDefaults(lists, path, mayWrite);
    }
    gf_logLine(gf_starBanner(70, 0, false, false, ""));
}

void gf_saveParameterText(const NamedItem& setting, const std::string& valueText) {
    std::lock_guard lock(g_parametersMutex);
    const std::filesystem::path path = gf_parametersPath();
    pugi::xml_document doc;
    const pugi::xml_parse_result result = gf_loadXmlFile(doc, path);
    if (result) {
        pugi::xml_node root = doc.child(kRootName);
        if (!root) {
            // Not our file's layout: our keys go into a root element of their own beside it.
            root = doc.append_child(kRootName);
            gf_appendStringParameterNode(root, setting.name, valueText);
        } else if (pugi::xml_node node = lf_findParameter(doc, setting.name)) {
            if (pugi::xml_attribute value = node.attribute("value")) value.set_value(valueText.c_str());
        } else {
            gf_appendStringParameterNode(root, setting.name, valueText);
        }
    } else {
        if (lf_exists(path) && !lf_keepAside(path, lf_loadFailure(result))) {
            gf_logLine("saving xml did not work?");
            return;
        }
        // The file is gone or unreadable: write every setting, so that this save loses none.
        std::set<std::string> names;
        lf_buildFromMemory(doc, lf_catalogueLists(), names);
        pugi::xml_node root = doc.child(kRootName);
        if (names.count(setting.name) != 0) {
            if (pugi::xml_node node = lf_findParameter(doc, setting.name))
                node.attribute("value").set_value(valueText.c_str());
        } else {
            gf_appendStringParameterNode(root, setting.name, valueText);
        }
        gf_logLine(format("\"{}\" written anew with all settings", gf_utf8Of(path)));
    }
    gf_logLine(format("{}={}", setting.name, valueText));
    if (!lf_saveAtomically(doc, path)) gf_logLine("saving xml did not work?");
}

bool gf_removeParameter(const NamedItem& item) {
    std::lock_guard lock(g_parametersMutex);
    const std::filesystem::path path = gf_parametersPath();
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, path)) return false;
    bool found = false;
    if (doc.child(kRootName)) {
        if (pugi::xml_node node = lf_findParameter(doc, item.name)) {
            node.parent().remove_child(node);
            gf_logLine("Parameter " + item.name + " removed");
            found = true;
        }
    }
    if (!lf_saveAtomically(doc, path)) gf_logLine("saving xml did not work?");
    return found;
}

bool gf_readWindowPosition() {
    std::lock_guard lock(g_parametersMutex);
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, gf_parametersPath())) return false;
    gf_readIntParameter(doc, MAIN_WINDOW_X, false);
    gf_readIntParameter(doc, MAIN_WINDOW_Y, false);
    return true;
}

void gf_setLateralRange(int nm) {
    // The derived values follow the clamped setting, so the range the traffic uses is the one shown.
    const int range = LATERAL_RANGE.clamp(nm);
    LATERAL_RANGE.set(range);
    g_lateralRangeNm.store(static_cast<double>(range));
    g_lateralRangeMetres.store(range * 1852);
}

void gf_updateParameters() {
    const ParameterLists l = lf_catalogueLists();
    gf_readParameters(l.bools, l.checkBoxes, l.ints, l.intEdits, l.strings, l.stringEdits);
    gf_migrateParameters();
    gf_setLateralRange(LATERAL_RANGE.get());
}

}  // namespace vrn
