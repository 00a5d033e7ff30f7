// What a newer feed record says about an aircraft's route, registration and callsign: taken over,
// turned into the ghost handling of a changed callsign, or (with GUID_CHANGES) into a new simulator
// object in a new livery.
#include "airports/airport_list.h"
#include "core/format.h"
#include "core/log.h"
#include "display/window_state.h"
#include "liveries/livery_matching.h"
#include "settings/settings_catalogue.h"
#include "traffic/engine_steps.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {
namespace {

// A non-empty departure or destination of the newer flight replaces the aircraft's.
void lf_copyRoute(Flight& flight, const Flight& newer) {
    if (!newer.departure.empty()) flight.departure = newer.departure;
    if (!newer.destination.empty()) flight.destination = newer.destination;
}

// True when nothing changed.
bool lf_updateRoute(LiveAircraft& a, const Flight& f) {
    bool changed = false;
    if (!f.destination.empty() && a.destination.empty()) {
        a.destination = f.destination;
        changed = true;
    }
    if (!f.departure.empty() && a.departure.empty()) {
        a.departure = f.departure;
        changed = true;
    }
    if (!f.departure.empty() && !f.destination.empty() && f.departure != a.departure && f.destination != a.destination) {
        const bool flyingBackHome = a.departure == gf_parkAirportCopy().code && f.destination == a.departure;
        if (!flyingBackHome) {
            a.departure = f.departure;
            a.destination = f.destination;
            changed = true;
            if (a.onGround && a.phase != PHASE_STAND_CLEANUP && a.phase != PHASE_AT_STAND) {
                a.previousPhase = a.phase;
                a.phase = PHASE_MOVING;
                a.movementHeading = a.position.heading;
            }
        }
    }
    return !changed;
}

}  // namespace

bool lf_flightDataChange(LiveAircraft& a, const Flight& f) {
    if (a.underPower || a.towing) return true;
    if (a.state == STATE_NEW) {
        lf_copyRoute(a, f);
        if (a.registration.empty()) a.registration = f.registration;
        if (a.callsign.empty()) a.callsign = f.callsign;
        return true;
    }
    bool unchanged = true;
    if (a.state == STATE_IN_SIM && a.phase >= PHASE_MOVING) unchanged = lf_updateRoute(a, f);
    if (f.callsign.empty() || f.callsign == a.callsign || f.callsign == a.registration) {
        if (unchanged) return true;
    } else {
        a.callsign = f.callsign;
        a.knownCallsign = f.callsign;
        a.coupledCallsign.clear();
        if (gf_endsWith(f.callsign, '_')) {
            if (lf_callsignWithoutLastInUse(f.callsign)) return false;
        } else {
            lf_ghost(f.callsign);
        }
    }
    if (!GUID_CHANGES.get() || a.state != STATE_IN_SIM || a.objectId == 0) return true;
    if (LOG.get()) gf_logIndentedLine(gf_flightToText(a));
    const std::uint32_t oldObject = a.objectId;
    a.savedHeading = a.position.heading;
    a.savedHeadingSet = 1;
    lf_liveryChange(a);
    if (oldObject == g_selectedObjectId.load()) {
        g_selectedObjectId.store(0);
        g_mainWindow.g_objectIdText.set(std::string());
        gf_invalidateBand(Band::Settings);
        CALLSIGN_2_OBJECTID.set(a.callsign);
        if (ui::Window* window = g_mainWindow.g_hMainWindow) window->setText(CALLSIGN_2_OBJECTID.controlId, a.callsign);
    }
    g_removalQueue.push_back(oldObject);
    return false;
}

}  // namespace vrn
