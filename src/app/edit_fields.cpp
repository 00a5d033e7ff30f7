// Enter in the edit fields. Parsing and conversion failures never leave a handler: the message or log
// line is written, the setting keeps its value and the field shows it again.
#include "app/edit_fields.h"

#include <cmath>
#include <exception>
#include <stdexcept>

#include "airports/airport_files.h"
#include "app/button_commands.h"
#include "app/controls.h"
#include "app/gui_requests.h"
#include "app/main_loop.h"
#include "app/main_window.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "core/version.h"
#include "liveries/aircraft_cfg_lines.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"
#include "traffic/park_airport_choice.h"

namespace vrn {

namespace {

float lf_parseFloat(const std::string& text) {
    const float h = std::stof(text);
    // "nan" parses, but no limit check can hold a NaN: refuse it like any other non-number.
    if (std::isnan(h)) throw std::invalid_argument("stof");
    return h;
}

void lf_showIntValue(NumericEditParameter<int>& setting) {
    setting.showValue();
    // An empty MAX_LIVE field stands for the default.
    if (&setting == &MAX_LIVE && setting.get() == setting.defaultValue) gf_clearControlText(setting.controlId);
}

void lf_callsignLookup() {
    const std::string text = gf_getEditText(CALLSIGN_2_OBJECTID.controlId);
    if (!text.empty()) {
        CALLSIGN_2_OBJECTID.set(gf_upperAscii(text));
        CALLSIGN_2_OBJECTID.showValue();
        g_callsignLookupRequest.store(true);
    } else if (!CALLSIGN_2_OBJECTID.get().empty()) {
        CALLSIGN_2_OBJECTID.set(std::string());
        CALLSIGN_2_OBJECTID.showValue();
    }
}

// Runs one field's Enter work; whatever escapes it is shown instead of leaving the window's handler.
template <typename F>
void lf_guarded(const char* what, F&& work) {
    try {
        work();
    } catch (const std::exception& e) {
        gf_showError(format("{}: {}", what, e.what()));
    }
}

}  // namespace

std::string gf_getEditText(std::uint16_t controlId) {
    ui::Window* window = g_mainWindow.g_hMainWindow;
    if (window == nullptr) return std::string();
    std::string text = window->text(controlId);
    (void)gf_utf8ToUtf16(text);   // throws for text the window could not hold
    return text;
}

bool procesTbInt(NumericEditParameter<int>& setting) {
    const bool percentage = &setting == &parking_percentage;
    bool changed = false;
    std::string text;
    try {
        text = gf_getEditText(setting.controlId);
        if (text.empty()) {
            if (percentage) {
                setting.set(0);
            } else {
                setting.set(setting.clamp(setting.defaultValue));
                setting.save();
            }
            changed = true;
        } else {
            const int number = std::stoi(text);
            if (number == setting.get()) {
                gf_showStatus(format("Same {} value {}, no changes made", setting.name, number), true);
            } else {
                setting.set(setting.clamp(number));
                if (!percentage) setting.save();
                changed = true;
            }
        }
        if (changed) gf_showStatus(format("The new {} is {}", setting.name, setting.get()), false);
    } catch (const std::invalid_argument&) {
        gf_showStatus(format("invalid input: {}", text), true);
    } catch (const win32::Utf8ConversionException& e) {
        gf_logLine(e.what());
    } catch (const std::exception& e) {
        gf_logArrowLine(format("procesTbInt exception {}, h={} ", e.what(), text));
    }
    lf_showIntValue(setting);
    return changed;
}

bool procesTbFloat(NumericEditParameter<float>& setting) {
    bool changed = false;
    std::string text;
    try {
        text = gf_getEditText(setting.controlId);
        if (text.empty()) {
            setting.set(setting.clamp(setting.defaultValue));
            MAX_FIT.set(MAX_FIT.clamp(MAX_FIT.defaultValue));
            MAX_FIT.save();
            changed = true;
        } else {
            const float h = lf_parseFloat(text);
            if (h == setting.get()) {
                gf_showStatus(format("Same {} value {}, no changes made", setting.name, h), true);
            } else {
                // MAX_FIT counts half-hour slots from 0 and is what is stored; the hours follow it.
                setting.set(setting.clamp(h));
                const int slots = static_cast<int>(std::lround(2.0f * setting.get())) - 1;
                MAX_FIT.set(MAX_FIT.clamp(slots));
                MAX_FIT.save();
                setting.set(setting.clamp(static_cast<float>(MAX_FIT.get()) * 0.5f + 0.5f));
                changed = true;
            }
        }
        if (changed) gf_showStatus(format("The new {} is {:.1F}", setting.name, setting.get()), false);
    } catch (const std::exception& e) {
        gf_logLine(format("procesTbFloat exception {}, h={} ", e.what(), text));
    }
    setting.showValue();
    return changed;
}

void gf_respondIn() {
    if (!g_apfLoaded.load()) return;
    g_parkSettingsChanged.store(true);
    if (INITIAL_LOAD_ONLY.get()) {
        gf_clearStatus();
        return;
    }
    const int n = 15 - (g_secondCounter.load() % 15);
    gf_showStatus(format("{} will respond in {} second{} ...", g_programName, n, n >= 2 ? "s" : ""), false);
    g_staticRenew.store(true);
}

bool gf_editProcInt(NumericEditParameter<int>& setting, ui::Key key) {
    NumericEditParameter<int>* const fields[] = {&LATERAL_RANGE, &MATCHING_DEPTH, &parking_percentage,
                                                 &AIRPORT_RANGE, &AIRPORT_HEIGHT, &MAX_LIVE};
    bool known = false;
    for (auto* f : fields) known = known || f == &setting;
    if (!known || key != ui::Key::Enter) return false;

    gf_clearStatus();
    lf_guarded("procesTbInt", [&] {
        const int before = setting.get();
        const bool changed = procesTbInt(setting);
        if (!changed) return;
        if (&setting == &LATERAL_RANGE) {
            g_parkSettingsChanged.store(true);
            gf_setLateralRange(setting.get());
        } else if (&setting == &MATCHING_DEPTH) {
            if (setting.get() > before) g_clearRefusedRequest.store(true);
        } else if (&setting == &MAX_LIVE) {
            if (g_apfLoaded.load())
                g_parkSettingsChanged.store(true);
            else
                g_userMaxLive.store(setting.get());
            // The live list belongs to the run thread: it trims the traffic at its next turn.
            g_enforceMaxCountRequest.store(true);
        } else if (&setting == &parking_percentage) {
            gf_respondIn();
        }
    });
    return true;
}

bool gf_editProcFloat(ui::Key key) {
    if (key != ui::Key::Enter) return false;
    gf_clearStatus();
    // Without a loaded parking file the fit hours mean nothing yet; the typed text stays.
    if (!g_apfLoaded.load()) return true;
    lf_guarded("procesTbFloat", [] {
        if (procesTbFloat(MAX_FIT_FL)) gf_respondIn();
    });
    return true;
}

bool gf_editProcText(StringEditParameter& setting, ui::Key key) {
    if (key != ui::Key::Enter) return false;
    gf_clearStatus();
    lf_guarded(setting.name.c_str(), [&] {
        if (&setting == &BLOCK_CALLSIGN) {
            gf_blockCallsign();
        } else if (&setting == &CALLSIGN_2_OBJECTID) {
            lf_callsignLookup();
        } else if (&setting == &MSFS_INSTALL_PATH || &setting == &MSFS_2024_INSTALL_PATH) {
            gf_newSimPath(setting, gf_getEditText(setting.controlId));
        }
    });
    return true;
}

}  // namespace vrn
