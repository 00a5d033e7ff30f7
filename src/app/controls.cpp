// Creation of the settings band's controls. Positions are fixed; the row of each control is its
// setting's row. Edit fields get a key handler that takes Enter (applying the field) and leaves every
// other key to the edit itself.
#include "app/controls.h"

#include "app/edit_fields.h"
#include "app/main_window.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {

ui::EditKeyHandler lf_intHandler(NumericEditParameter<int>& setting) {
    return [&setting](ui::Window&, std::uint16_t, ui::Key key) { return gf_editProcInt(setting, key); };
}

ui::EditKeyHandler lf_textHandler(StringEditParameter& setting) {
    return [&setting](ui::Window&, std::uint16_t, ui::Key key) { return gf_editProcText(setting, key); };
}

ui::EditKeyHandler lf_floatHandler() {
    return [](ui::Window&, std::uint16_t, ui::Key key) { return gf_editProcFloat(key); };
}

}  // namespace

void gf_createControls(ui::Window& w) {
    MSFS_2020.createControl(w, 5);
    MSFS_INSTALL_PATH.createEdit(w, 111, 1200, 0, lf_textHandler(MSFS_INSTALL_PATH));
    MSFS_2024_INSTALL_PATH.createEdit(w, 111, 1200, 0, lf_textHandler(MSFS_2024_INSTALL_PATH));
    SCAN_LIVERIES.createControl(w, 5);
    LIG_AUTOMATIC.createControl(w, 217);
    LIG_PRIORITIZE.createControl(w, 323);
    SUPPRESS_STUB.createControl(w, 430);
    LOG.createControl(w, 652);
    ALWAYS_ON_TOP.createControl(w, 748);
    SCAN_AIRPORTS.createControl(w, 5);
    AFG_AUTOMATIC.createControl(w, 217);
    NAV_LIGHTS_WHILE_PARKED.createControl(w, 652);
    LEARN_SOFT.createControl(w, 748);
    MATCHING_DEPTH.createEdit(w, 217, 24, 0, lf_intHandler(MATCHING_DEPTH));
    LIGHT_AIRCRAFT.createControl(w, 323);
    HELICOPTERS.createControl(w, 430);
    HIGH_PERF_AIRCRAFT.createControl(w, 536);
    AEROWINX.createControl(w, 652);
    GUID_CHANGES.createControl(w, 748);
    LATERAL_RANGE.createEdit(w, 217, 34, 0, lf_intHandler(LATERAL_RANGE));
    AUTO_RANGE.createControl(w, 323);
    MAX_LIVE.createEdit(w, 576, 34, 0, lf_intHandler(MAX_LIVE));
    CHECK_VERSION_BUTTON.createControl(w, 692, 120);
    COLLISION_USER_GND.createControl(w, 217);
    COLLISION_USER_AIR.createControl(w, 323);
    COLLISION_LIVE_PARKED_GND.createControl(w, 430);
    BLOCK_CALLSIGN.createEdit(w, 217, 100, 0, lf_textHandler(BLOCK_CALLSIGN));
    UNBLOCK_BUTTON.createControl(w, 323, 70);
    CALLSIGN_2_OBJECTID.createEdit(w, 455, 100, 0, lf_textHandler(CALLSIGN_2_OBJECTID));
    AIRPORT_RANGE.createEdit(w, 343, 34, 0, lf_intHandler(AIRPORT_RANGE));
    AIRPORT_HEIGHT.createEdit(w, 586, 50, 0, lf_intHandler(AIRPORT_HEIGHT));
    PARK_FAKE.createControl(w, 5);
    WEEK.createControl(w, 71);
    PARK_SOFT.createControl(w, 151);
    parking_percentage.createEdit(w, 217, 34, 0, lf_intHandler(parking_percentage));
    INITIAL_LOAD_ONLY.createControl(w, 323);
    MAX_FIT_FL.createEdit(w, 460, 24, 0, lf_floatHandler());
    FLUSH_STATIC_BUTTON.createControl(w, 642, 90);
    REREAD_BUTTON.createControl(w, 758, 90);
    w.invalidate(gf_bandRect(Band::Settings), true);
}

}  // namespace vrn
