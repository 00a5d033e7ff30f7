// Closing the park airport and saving what was learned there into its learned file.
#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "core/format.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "core/utf8_paths.h"
#include "display/window_state.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

std::string lf_utcTimeOfDay() {
    const std::string text = gf_utcTimeText(gf_wallClock());
    return text.size() >= 19 ? text.substr(11, 8) : text;
}

bool lf_keptUse(const StandUse& use) {
    // The archived file keeps its own uses and fakes are made up: neither belongs in the learned file.
    return use.origin != UseOrigin::Archive && use.origin != UseOrigin::Fake;
}

}  // namespace

void gf_saveAirportFile() {
    std::lock_guard lock(g_standsMutex);
    const bool handmade = g_handmadeOverruled;
    ApfAirport record;
    record.code = g_parkAirport.code;
    record.airport_name = g_apfAirport.airport_name;
    record.altitude = g_apfAirport.altitude;
    record.publisher = g_apfAirport.publisher;
    record.Qf_real = 0;
    record.Qf_soft = 0;
    record.stands.reserve(g_stands.size());
    for (const Stand& stand : g_stands) {
        const bool anyKept = std::any_of(stand.uses.begin(), stand.uses.end(), lf_keptUse);
        if (!handmade && !anyKept && !stand.manual && !stand.radiusChanged && !stand.cargoChanged) continue;
        Stand copy = stand;
        std::erase_if(copy.uses, [&](const StandUse& use) {
            return handmade ? use.origin == UseOrigin::Fake : !lf_keptUse(use);
        });
        record.stands.push_back(std::move(copy));
    }
    if (handmade) std::tie(record.Qf_real, record.Qf_soft) = gf_countHalfHours(record.stands);
    record.keptParkPositions = g_keptParkPositions;

    const fs::path path = lf_learnedPathOf(g_apfPath);
    if (path.empty()) {
        gf_logArrowLine(format("no learned file belongs to \"{}\"", gf_utf8Of(g_apfPath)));
        return;
    }
    fs::create_directories(path.parent_path());
    const int updates = g_apfUpdates.load();
    if (gf_writeApf(record, path, true, handmade)) {
        gf_showStatus(format("{}{} \"{}\" saved with {} update{} {}", lf_utcTimeOfDay(), handmade ? " handmade" : "",
                             gf_utf8Of(path), updates, (updates == 1 || updates < 0) ? "" : "s",
                             g_apfChanged.load() ? "and one or more parameter changes" : ""),
                      true);
    } else {
        gf_showStatus(format("{} saving \"{}\" did not succeed", lf_utcTimeOfDay(), gf_utf8Of(path)), true);
    }
}

void gf_closeParkAirport() {
    std::lock_guard lock(g_standsMutex);
    if (g_apfLoaded.load() && (g_apfChanged.load() || g_apfUpdates.load() >= 1)) {
        if (g_apfSaveBlocked) {
            gf_showStatus(format("learned file of {} not saved: it could not be read whole", g_parkAirport.code), true);
        } else {
            // Closing runs on the way out of the program too: a failure is reported, never passed on.
            try {
                gf_saveAirportFile();
            } catch (const std::exception& e) {
                gf_showStatus(format("{} saving the learned file of {} did not succeed: {}", lf_utcTimeOfDay(),
                                     g_parkAirport.code, e.what()),
                              true);
            }
        }
        g_apfUpdates.store(0);
    }
    g_handmadeOverruled = false;
    g_apfSaveBlocked = false;
    g_keptParkPositions.clear();
    g_apfLoaded.exchange(false);
    gf_enableAirportControl(FLUSH_STATIC_BUTTON, false);
    g_apfPath.clear();
    gf_enableAirportControl(parking_percentage, false);
}

void gf_resetApfHeader() {
    std::lock_guard lock(g_standsMutex);
    g_apfAirport.airport_name.clear();
    g_apfAirport.publisher.clear();
    g_apfAirport.altitude = -1;   // no file loaded
}

}  // namespace vrn
