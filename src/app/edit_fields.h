#pragma once
// What Enter in an edit field of the main window does: parse, check, store, save, show the value in
// force again and start what the changed setting needs. GUI thread.
#include <cstdint>
#include <string>

#include "platform/ui/window.h"
#include "settings/setting_classes.h"

namespace vrn {

// The key handlers of the fields: true when the key was taken (Enter), false to leave it to the edit.
// gf_editProcInt takes only the six integer settings with a field.
bool gf_editProcInt(NumericEditParameter<int>& setting, ui::Key key);
bool gf_editProcText(StringEditParameter& setting, ui::Key key);
bool gf_editProcFloat(ui::Key key);

// Applies the field's text to the setting; true when the value changed.
bool procesTbInt(NumericEditParameter<int>& setting);
bool procesTbFloat(NumericEditParameter<float>& setting);

// The UTF-8 text of a child control; throws win32::Utf8ConversionException for text it cannot convert.
std::string gf_getEditText(std::uint16_t controlId);

// After a static-parking setting changed: announce and request the renewal of the static aircraft.
void gf_respondIn();

}  // namespace vrn
