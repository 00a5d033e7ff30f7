// The painter of the main window. Nothing is laid out: positions are fixed pixels, the row of a
// setting is the row of its control, and colours follow the state read at each paint.
#include "app/painting.h"

#include <string>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "airports/airport_scan.h"
#include "app/gui_requests.h"
#include "app/main_window.h"
#include "core/format.h"
#include "core/utilities.h"
#include "core/version.h"
#include "settings/settings_catalogue.h"
#include "traffic/traffic_lists.h"

namespace vrn {

const char* const g_copyrightText = "(c) 2019-2026 Varnel developers";

namespace {

void lf_text(ui::PaintSurface& s, int x, int y, const std::string& text, ui::Colour colour) {
    lf_textOut(s, x, y, text, colour);
}

int lf_row(const GuiControl& control) { return static_cast<int>(control.y); }

void lf_line(ui::PaintSurface& s, int x0, int y0, int x1, int y1, ui::Colour pen) {
    s.polyline({{x0, y0}, {x1, y1}}, pen);
}

// Airports the last scan left in TO_BE_LEARNED_OFFLINE.
int lf_toBeLearnedCount() {
    return g_offlineLearningCount.load();
}

// A check box's label is grey while its box is disabled.
bool lf_enabled(const GuiControl& control) {
    ui::Window* window = g_mainWindow.g_hMainWindow;
    return window == nullptr || !window->hasControl(control.controlId) || window->isEnabled(control.controlId);
}

void lf_paintLinkBoxes(ui::PaintSurface& s) {
    const MainWindow& w = g_mainWindow;
    const bool connected = w.g_simConnected.load();
    const std::string aircraft = w.g_userAircraftText.get();
    ui::Colour simColour = kRed;
    if (connected) simColour = (w.g_simFlightRunning.load() && !aircraft.empty()) ? kGreen : kYellow;
    s.fillRect({397, 30, 425, 112}, simColour);
    lf_text(s, 398, 63, "Sim", kBlack);

    if (connected) {
        std::string line = w.g_simVersionText.get();
        const std::string stand = w.g_userStandText.get();
        if (!stand.empty()) line += ", user stand " + stand;
        lf_text(s, 5, 35, line, simColour);
        lf_text(s, 5, 63, aircraft, w.g_userAircraftKnown.load() ? simColour : kYellow);
    }

    const std::int64_t liveries = w.g_liveryCount.load();
    if (liveries > 0)
        lf_text(s, 5, 91, format("# liveries: {}", liveries), kGreen);
    else
        lf_text(s, 5, 91, "# liveries: ...", kRed);

    const int simaddon = w.g_simaddonCount.load();
    if (simaddon > 0)
        lf_text(s, 141, 91, format("# {}: {}", "simaddon", simaddon), w.g_simaddonOk.load() ? kGreen : kYellow);
    else
        lf_text(s, 141, 91, std::string("# ") + "simaddon" + ": ...", kYellow);

    const int thirdparty = w.g_thirdpartyCount.load();
    if (thirdparty > 0)
        lf_text(s, 278, 91, format("# thirdp: {}", thirdparty), kGreen);
    else
        lf_text(s, 278, 91, "# thirdp: ...", kYellow);

    const bool linkUp = w.g_realTrafficLinkUp.load();
    const int traffic = w.g_trafficStatus.load();
    const int weather = w.g_weatherStatus.load();
    ui::Colour rtColour = kRed;
    if (w.g_linkBoxOff.load())
        rtColour = kBlack;
    else if (linkUp)
        rtColour = traffic == 1 ? kGreen : kYellow;
    s.fillRect({425, 30, 453, 112}, rtColour);
    lf_text(s, 430, 63, "RT", kBlack);

    if (linkUp) {
        lf_text(s, 458, 35, w.g_realTrafficText.get(), kGreen);
        if (weather != 3) lf_text(s, 458, 63, "Weather", weather == 1 ? kGreen : kYellow);
        if (traffic != 3) lf_text(s, 458, 91, "Traffic", traffic == 1 ? kGreen : kYellow);
    }
    lf_line(s, 425, 29, 425, 112, kBlack);
}

void lf_paintSettingLabels(ui::PaintSurface& s) {
    const MainWindow& w = g_mainWindow;
    auto label = [&s](const char* text, int x, const GuiControl& row, ui::Colour colour) {
        lf_text(s, x, lf_row(row), text, colour);
    };
    label("Aerowinx", 672, AEROWINX, AEROWINX.get() ? kYellow : kBlack);
    label("Log", 672, LOG, kBlack);
    label("Stay on top", 768, ALWAYS_ON_TOP, ALWAYS_ON_TOP.get() ? kYellow : kBlack);
    label("Learn Soft", 768, LEARN_SOFT, kBlack);
    label("Nav lights", 672, NAV_LIGHTS_WHILE_PARKED, kBlack);
    label("GUID changes", 768, GUID_CHANGES, GUID_CHANGES.get() ? kBlack : kYellow);
    label("Install path:", 25, MSFS_INSTALL_PATH, MSFS_2020.get() ? kYellow : kGrey);
    label("24 Install path:", 5, MSFS_2024_INSTALL_PATH, MSFS_2020.get() ? kGrey : kYellow);
    label("Scan for liveries:", 25, LIG_AUTOMATIC, SCAN_LIVERIES.get() ? kRed : kBlack);
    label("Automatic", 237, LIG_AUTOMATIC, kBlack);
    label("Prioritize", 343, LIG_AUTOMATIC, kBlack);
    label("STUB", 450, SUPPRESS_STUB, SUPPRESS_STUB.get() ? kBlack : kGrey);
    label("Scan for addon airports:", 25, AFG_AUTOMATIC, SCAN_AIRPORTS.get() ? kRed : kBlack);
    label("Automatic", 237, AFG_AUTOMATIC, kBlack);
    const int waiting = lf_toBeLearnedCount();
    if (waiting > 0)
        lf_text(s, 323, lf_row(AFG_AUTOMATIC), format("{} airport{} in TBLO folder", waiting, waiting == 1 ? "" : "s"),
                kYellow);
    label("Max aircraft matching depth:", 5, MATCHING_DEPTH, kBlack);
    label("Optional:", 253, LIGHT_AIRCRAFT, kBlack);
    label("Light aircraft", 343, LIGHT_AIRCRAFT, lf_enabled(LIGHT_AIRCRAFT) ? kBlack : kGrey);
    label("Helicopters", 450, HELICOPTERS, lf_enabled(HELICOPTERS) ? kBlack : kGrey);
    label("FighterJets", 556, HIGH_PERF_AIRCRAFT, lf_enabled(HIGH_PERF_AIRCRAFT) ? kBlack : kGrey);
    label("Traffic injection", 5, LATERAL_RANGE, kBlack);
    label("radius:", 167, LATERAL_RANGE, kBlack);
    label("nm,  or", 260, LATERAL_RANGE, kBlack);
    label("auto range", 343, LATERAL_RANGE, kBlack);
    label("max live:", 500, MAX_LIVE, kBlack);
    label("Callsigns", 5, BLOCK_CALLSIGN, kBlack);
    label("block:", 172, BLOCK_CALLSIGN, kBlack);
    label("oid:", 430, CALLSIGN_2_OBJECTID, kBlack);
    const std::string objectId = w.g_objectIdText.get();
    if (!CALLSIGN_2_OBJECTID.get().empty() && !objectId.empty())
        lf_text(s, 556, lf_row(CALLSIGN_2_OBJECTID), objectId, kBlack);
    label("Collision avoidance:", 5, COLLISION_USER_GND, kBlack);
    label("User ground", 237, COLLISION_USER_GND, kBlack);
    label("User air", 343, COLLISION_USER_AIR, kBlack);
    label("Live X parked", 450, COLLISION_LIVE_PARKED_GND, kBlack);

    const ParkingLabel parking = gf_parkingLabel();
    label(parking.text.data(), 5, AIRPORT_RANGE, parking.colour);
    if (parking.minutes > 0) lf_text(s, 111, lf_row(AIRPORT_RANGE), format("(in {} min)", parking.minutes), kBlack);
    label("within range (nm):", 217, AIRPORT_RANGE, kBlack);
    label("< height above gnd (ft):", 430, AIRPORT_HEIGHT, kBlack);
    label("Fake", 25, PARK_FAKE, kBlack);
    label("Week", 91, WEEK, kBlack);
    label("Soft", 171, PARK_SOFT, kBlack);
    label("%", 262, parking_percentage, kBlack);
    label("ILO", 343, INITIAL_LOAD_ONLY, kBlack);
    label("Max fit:", 400, MAX_FIT_FL, kBlack);
}

void lf_paintParkAirport(ui::PaintSurface& s) {
    const MainWindow& w = g_mainWindow;
    const Airport airport = gf_parkAirportCopy();
    if (airport.code.empty()) return;
    const int y1 = w.g_parkRowY.load();
    const int y2 = y1 + 28;
    const bool ok = w.g_parkAirportOk.load();
    lf_text(s, 5, y1, gf_airportText(airport), ok ? kGreen : kYellow);
    if (!ok) return;

    lf_text(s, 85, y1,
            format(" {},  {} {}", w.g_parkAirportName.get(), w.g_parkFileSource.get(),
                   w.g_parkFileHandmade.load() ? "(h)" : ""),
            kGreen);
    lf_text(s, 370, y1, w.g_staticSwitchPending.load() ? "*S*" : "", kGreen);
    lf_text(s, 430, y1, format("qf: {}", w.g_parkQualityText.get()), kGreen);
    const std::string reserved = g_reservedStand.get();
    if (!reserved.empty())
        lf_text(s, 571, y1, format("reserved stand: {}", reserved), w.g_reservedStandOk.load() ? kGreen : kRed);
    lf_text(s, 748, y1, format("# updates: {:4}", w.g_updateCount.load()), kGreen);
    lf_text(s, 5, y2, format("# stands: {:3}", w.g_standCount.load()), kGreen);
    lf_text(s, 111, y2, format("parked live: {:3}", w.g_parkedLiveCount.load()), kGreen);
    const float liveFit = w.g_liveAverageFit.load();
    if (liveFit > 0) lf_text(s, 249, y2, format("average fit: {}", gf_floatText(liveFit)), kGreen);
    if (w.g_maxParkCount.load() > 0) {
        lf_text(s, 430, y2, format("parked static: {:3}", w.g_parkedStaticCount.load()), kGreen);
        const float staticFit = w.g_staticAverageFit.load();
        if (!WEEK.get() && staticFit > 0)
            lf_text(s, 571, y2, format("average fit: {}", gf_floatText(staticFit)), kGreen);
    }
    lf_text(s, 708, y2, format("max park: {:3} (={}% )", w.g_maxParkCount.load(), parking_percentage.get()), kGreen);
}

}  // namespace

std::vector<std::string> gf_topBandLines() {
    const MainWindow& w = g_mainWindow;
    const auto stateText = [](int status) { return status == 1 ? "receiving" : status == 2 ? "no data" : "stopped"; };
    std::string sim = "[sim] not connected";
    if (w.g_simConnected.load()) {
        const std::string aircraft = w.g_userAircraftText.get();
        const bool flying = w.g_simFlightRunning.load() && !aircraft.empty();
        sim = format("[sim] {}: {}", flying ? "flight running" : "waiting for a flight", w.g_simVersionText.get());
        if (!aircraft.empty()) sim += ", " + aircraft;
        const std::string stand = w.g_userStandText.get();
        if (!stand.empty()) sim += ", user stand " + stand;
    }
    const bool linkUp = w.g_realTrafficLinkUp.load();
    std::string rt = "[RealTraffic] waiting for the link";
    if (w.g_linkBoxOff.load()) {
        rt = "[RealTraffic] not started";
    } else if (linkUp) {
        rt = format("[RealTraffic] {}; weather {}, traffic {}", w.g_realTrafficText.get(),
                    stateText(w.g_weatherStatus.load()), stateText(w.g_trafficStatus.load()));
    }
    const int qnh = w.g_qnh.load();
    const std::string qnhLine = linkUp && qnh >= 1 ? format("[qnh] {}", qnh) : std::string();
    // With the park band's average hours where it shows them, so that a run without a window tells them too.
    const float liveFit = w.g_liveAverageFit.load();
    std::string counts = format("[aircraft] live {}, parked live {}", w.g_liveCount.load(), w.g_parkedLiveCount.load());
    if (liveFit > 0) counts += format(" (average fit: {})", gf_floatText(liveFit));
    counts += format(", parked static {}", w.g_parkedStaticCount.load());
    return {gf_excerpt(sim), gf_excerpt(rt), qnhLine, counts};
}

ParkingLabel gf_parkingLabel() {
    // Read from the state itself: no stand file loaded (an error that holds the run before any
    // airport, an airport without one) is red whatever the last static parking refresh said.
    const bool loaded = g_apfLoaded.load();
    const bool busy = g_parkingBusy.load();
    ParkingLabel label;
    label.text = busy ? "Airport static parking active:" : "Airport parking:";
    label.colour = !loaded ? kRed : busy ? kYellow : kBlack;
    const int minutes = g_mainWindow.g_renewalMinutes.load();
    if (loaded && !busy && !INITIAL_LOAD_ONLY.get() && minutes > 0 && minutes < 20) label.minutes = minutes;
    return label;
}

void gf_paint(ui::PaintSurface& s, const ui::Rect& /*area*/) {
    MainWindow& w = g_mainWindow;
    s.fillRect(gf_bandRect(Band::Title), kBlack);
    s.fillRect(gf_bandRect(Band::Counters), kBlack);
    s.fillRect(gf_bandRect(Band::Settings), kLightBlue);
    s.fillRect(gf_bandRect(Band::Park), kBlack);
    s.fillRect(gf_bandRect(Band::Status), kGreen);

    lf_line(s, 0, 28, 880, 28, kWhite);
    lf_line(s, 0, 113, 880, 113, kWhite);
    lf_line(s, 0, 449, 880, 449, kWhite);
    lf_line(s, 0, 392, 880, 392, kWhite);

    lf_text(s, 3, 7, format("Version {}", gf_versionText(g_programVersion)), kGreen);
    lf_text(s, 390, 7, g_programName, kGreen);
    lf_text(s, 632, 7, g_copyrightText, kGreen);

    for (const SeparatorLine& line : w.separators) lf_line(s, line.from.x, line.from.y, line.to.x, line.to.y, kBlack);
    lf_line(s, 642, 168, 642, 364, kBlack);

    lf_paintLinkBoxes(s);

    if (w.g_realTrafficLinkUp.load()) {
        const int weather = w.g_weatherStatus.load();
        if (weather == 1 || weather == 2) {
            const int qnh = w.g_qnh.load();
            lf_text(s, 642, 63, qnh < 1 ? std::string() : format("qnh: {:4}", qnh), kGreen);
        }
        const int traffic = w.g_trafficStatus.load();
        if (traffic == 1 || traffic == 2) lf_text(s, 642, 91, format("live: {:3}", w.g_liveCount.load()), kGreen);
    }

    lf_paintSettingLabels(s);
    lf_paintParkAirport(s);

    std::lock_guard lock(w.g_statusMutex);
    const std::string error = w.g_errorText.get();
    if (!error.empty()) {
        s.fillRect(gf_bandRect(Band::Status), kRed);
        lf_text(s, 3, 455, error, kYellow);
    } else {
        s.fillRect(gf_bandRect(Band::Status), kGreen);
        const std::string status = w.g_statusText.get();
        if (!status.empty()) lf_text(s, 3, 455, status, kYellow);
    }
}

}  // namespace vrn
