#pragma once
// parameters.xml: reading all settings at start-up, saving one setting when it changes, and the
// XML helpers shared with the airport files. The file is never lost: every save goes to a temporary
// file that is renamed into place, and a file that did not load is kept aside before it is rebuilt.
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "settings/setting_classes.h"

namespace vrn {

// Run thread start-up: read (creating or completing the file), migrate, derive the lateral range.
void gf_updateParameters();

// Throws UserErrorException 44, naming the path, when a folder or anything but a file of sane size
// stands where parameters.xml belongs.
void gf_readParameters(const std::vector<BoolParameter*>& bools, const std::vector<CheckBoxParameter*>& checkBoxes,
                       const std::vector<NumericParameter<int>*>& ints,
                       const std::vector<NumericEditParameter<int>*>& intEdits,
                       const std::vector<StringParameter*>& strings,
                       const std::vector<StringEditParameter*>& stringEdits);

// Settings migration after the file was read.
void gf_migrateParameters();

bool gf_removeParameter(const NamedItem& item);
std::string gf_parameterXPath(const std::string& name);
bool gf_appendStringParameterNode(pugi::xml_node parent, const std::string& name, const std::string& value);
bool gf_appendBoolParameterNode(pugi::xml_node parent, const std::string& name, bool value);
bool gf_appendIntParameterNode(pugi::xml_node parent, const std::string& name, int value);
int gf_intAttribute(pugi::xml_node node, const std::string& name);
void gf_setLateralRange(int nm);

// Reads MAIN_WINDOW_X/Y for the window's creation (not logged); false when the file does not load.
bool gf_readWindowPosition();

// One integer key of a loaded document: missing -> default, else the value clamped into the limits.
// Logs "{}={}" when `log` is set. True when the key was there.
bool gf_readIntParameter(const pugi::xml_document& doc, NumericParameter<int>& setting, bool log);

// The single save behind StringParameter::save, BoolParameter::save and NumericParameter<int>::save:
// writes one key's value text into parameters.xml (load, change, temporary file, rename).
void gf_saveParameterText(const NamedItem& setting, const std::string& valueText);

}  // namespace vrn
