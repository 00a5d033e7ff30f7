// The main window: status line, controls, edit fields, counters and painting.
#include <functional>
#include <map>
#include <new>
#include <optional>
#include <thread>

#include "airports/airport_list.h"
#include "airports/airport_scan.h"
#include "airports/automatic_range.h"
#include "airports/park_airports.h"
#include "app/counters.h"
#include "app/edit_fields.h"
#include "app/exception_reporter.h"
#include "app/main_window.h"
#include "app/painting.h"
#include "records/stand_records.h"
#include "controls_test_fixture.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "simlink/user_aircraft.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {
namespace {

using StatusLine = WindowTest;
void tick(int n) {
    while (n-- > 0) gf_statusSecondTick();
}

TEST_F(StatusLine, ShowsAndLogsWhatIsAskedAnErrorHoldsTheLineUntilClearedATextStays25Seconds) {
    gf_showStatus("first", true);
    EXPECT_EQ(g_mainWindow.g_statusShownAt.load(), 1) << "shown at second 0 counts as 1";
    gf_showStatus("quiet", false);
    EXPECT_EQ(status(), "quiet");
    const auto lines = logLines().size();
    gf_showStatus("", true);
    EXPECT_EQ(g_mainWindow.g_statusShownAt.load(), 0);
    EXPECT_EQ(logLines().size(), lines) << "an empty text is never logged";
    EXPECT_EQ(logCount("first") + logCount("quiet"), 1);
    EXPECT_EQ(window.takeInvalidated(), std::vector<ui::Rect>{gf_bandRect(Band::Status)});
    // A text that echoes something from outside may be of any length: the line shows what fits its
    // width and sends the user to Log.txt, which takes its first 4096 bytes (never half a character)
    // and its size, even where the text was not to be logged.
    const std::string longText = std::string(4095, 'x') + "\xC3\xA9" + std::string(5000, 'y');
    const std::string logged = std::string(4095, 'x') + "... (9097 bytes)";
    for (bool log : {true, false}) {
        gf_showStatus(longText, log);
        EXPECT_TRUE(status().starts_with("xxxxx") && status().ends_with("xxx ... (the rest in Log.txt)")) << status();
        EXPECT_LE(gf_statusTextPixels(status()), kStatusLinePixels);
    }
    EXPECT_EQ(logCount(logged), 2);
    const std::string shown = status();
    gf_showError(longText);
    EXPECT_EQ(g_mainWindow.g_errorText.get(), shown);
    EXPECT_EQ(logCount("Error " + logged), 1);
    gf_clearError();

    gf_showError("disk full");
    gf_showStatus("ignored", true);
    gf_clearStatus();
    tick(100);   // an error is never cleared by time
    EXPECT_EQ(status(), "");
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "disk full");
    EXPECT_EQ(logCount("ignored"), 0);
    gf_clearError();
    for (int second : {0, 1, 100}) {   // a text stays 25 seconds
        g_mainWindow.g_statusSeconds = second;
        gf_showStatus("hello", false);
        const int shownAt = std::max(1, second);
        tick(shownAt + 24 - second);
        EXPECT_EQ(status(), "hello") << "at second " << g_mainWindow.g_statusSeconds.load();
        tick(1);
        EXPECT_EQ(g_mainWindow.g_statusSeconds.load(), shownAt + 25);
        EXPECT_EQ(status(), "") << "shown at " << second;
    }
}

TEST_F(StatusLine, ALastingErrorStaysOverLaterErrorsWhichGoToTheLog) {
    const std::string missing = "SimConnect.dll was not found beside Varnel.exe: copy it there from the simulator's SDK";
    gf_showError("an earlier error");
    gf_showLastingError(missing);
    struct Step {
        const char* what;
        std::function<void()> act;
    };
    const Step steps[] = {
        {"a later user error", [] { gf_showError("150: No install path detected"); }},
        {"the error hold cleared", [] { gf_clearError(); }},
        {"a status text", [] { gf_showStatus("Waiting for MSFS 2020 ...", true); }},
        {"time", [] { tick(100); }},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(g_mainWindow.g_errorText.get(), missing) << step.what;
    }
    EXPECT_EQ(logCount("Error 150: No install path detected"), 1) << "the later error is in Log.txt";
    EXPECT_EQ(logCount("Error " + missing), 1);
    gf_forgetLastingErrorForTests();
    gf_clearError();
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "");
    gf_showError("next");
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "next");
    gf_clearError();
}

TEST_F(StatusLine, ConcurrentWritersNeverBreakThePaintersView) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t, &stop] {
            for (int i = 0; !stop.load(); ++i) {
                if (i % 7 == 0)
                    gf_clearStatus();
                else
                    gf_showStatus("writer " + std::to_string(t), false);
                gf_statusSecondTick();
            }
        });
    int inconsistent = 0;
    for (int paint = 0; paint < 2000; ++paint) {
        std::lock_guard lock(g_mainWindow.g_statusMutex);   // as the painter holds it
        const bool shown = !g_mainWindow.g_statusText.empty();
        inconsistent += shown != (g_mainWindow.g_statusShownAt.load() >= 1);
    }
    stop = true;
    for (auto& w : writers) w.join();
    EXPECT_EQ(inconsistent, 0);
}

TEST_F(WindowTest, AllThirtyNineControlsExistAndEditsTakeOnlyEnter) {
    std::map<ui::ControlKind, int> kinds;
    for (const ui::ControlState& c : window.controls()) {
        ++kinds[c.kind];
        EXPECT_EQ(c.enabled, c.kind == ui::ControlKind::CheckBox) << c.id;   // the rest wait for the run's start
        if (c.kind != ui::ControlKind::Edit) continue;
        window.enable(c.id, true);
        EXPECT_FALSE(window.userPressesKey(c.id, ui::Key::Tab)) << c.id;
        EXPECT_FALSE(window.userPressesKey(c.id, ui::Key::Other)) << c.id;
        EXPECT_TRUE(window.userPressesKey(c.id, ui::Key::Enter)) << c.id;
    }
    EXPECT_EQ(kinds, (std::map<ui::ControlKind, int>{
                         {ui::ControlKind::CheckBox, 24}, {ui::ControlKind::Edit, 11}, {ui::ControlKind::Button, 4}}));
    EXPECT_FALSE(window.hasControl(MAX_FIT.controlId)) << "MAX_FIT follows MAX_FIT_FL and has no field";
    EXPECT_EQ(window.isChecked(GUID_CHANGES.controlId), GUID_CHANGES.get());
}

using Commands = WindowTest;
using Exits = std::vector<std::pair<int, int>>;

TEST_F(Commands, CheckBoxesToggleSaveAndShowTheirHints) {
    struct Case { CheckBoxParameter* box; std::string hintWhenOn, hintWhenOff; };
    const Case cases[] = {
        {&LIG_PRIORITIZE, "Liveries in lower lfolders that are already available will be skipped", ""},
        {&COLLISION_USER_AIR, "", "Be aware, no collision avoidance with user aircraft in the air"},
        {&AFG_AUTOMATIC, "", "The airports defined by your afolder parameters will be scanned"},
        {&GUID_CHANGES, "", "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc.."},
        {&LOG, "before", "before"},   // nothing more than the toggle
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.box->name);
        for (int turn = 0; turn < 2; ++turn) {
            const bool was = c.box->get();
            g_mainWindow.g_statusText.set("before");
            EXPECT_FALSE(click(c.box->controlId));
            EXPECT_EQ(c.box->get(), !was);
            EXPECT_EQ(storedValue(c.box->name), was ? "false" : "true");
            EXPECT_EQ(status(), c.box->get() ? c.hintWhenOn : c.hintWhenOff);
        }
    }
    EXPECT_TRUE(gf_runCommand(window, 0x7FFF)) << "an id of no control is not handled";
}

TEST_F(Commands, PushButtonsRaiseTheirRequestsAndDisableThemselves) {
    click(UNBLOCK_BUTTON.controlId);
    EXPECT_EQ(status(), "Nothing to block or unblock...");
    EXPECT_FALSE(g_blockRequest.load());
    EXPECT_FALSE(click(REREAD_BUTTON.controlId));
    EXPECT_TRUE(g_rereadRequest.load());
    EXPECT_FALSE(window.isEnabled(REREAD_BUTTON.controlId));
    click(FLUSH_STATIC_BUTTON.controlId);
    EXPECT_TRUE(g_flushStaticRequest.load());
    EXPECT_EQ(status(), "All static parked aircraft will be removed ...");

    DATA_CHECKED_AT_DATE.set("Sun Dec 06 2026");
    click(CHECK_VERSION_BUTTON.controlId);
    EXPECT_EQ(status(), "Varnel is up to date");
    EXPECT_EQ(DATA_CHECKED_AT_DATE.get(), "Sun Dec 06 2026");
    g_windowHooks.listAvailableUpdates = [] { return AvailableUpdates{false, "", "no version file could be read"}; };
    click(CHECK_VERSION_BUTTON.controlId);
    EXPECT_EQ(status(), "Check version failed: no version file could be read");
    EXPECT_TRUE(window.isEnabled(CHECK_VERSION_BUTTON.controlId));
    g_windowHooks.listAvailableUpdates = [] { return AvailableUpdates{true, "dbase 9.5.0", ""}; };
    click(CHECK_VERSION_BUTTON.controlId);
    EXPECT_EQ(status(), "dbase 9.5.0 ==> exit Varnel and restart ...");
    EXPECT_EQ(storedValue("DATA_CHECKED_AT_DATE"), "") << "the data check runs at the next start";
    EXPECT_FALSE(window.isEnabled(CHECK_VERSION_BUTTON.controlId));
}

TEST_F(Commands, ATypedPackagesFolderRestartsOnlyWhenItHoldsCommunity) {
    const auto packages = dir() / "Community Games" / "Packages";
    std::filesystem::create_directories(packages / "Community");
    std::filesystem::create_directories(dir() / "empty");
    std::filesystem::create_directories("Community");
    writeFile(dir() / "afile", "x");
    const std::string found = "Community path found, Varnel will restart ...";
    const std::string notCommunity = "This path exists but is not a path to Community ...";
    // A name part beyond the file system's 255 bytes: refused in words, the text shown in part only.
    const std::string tooLong = (dir() / std::string(300, 'a')).string();
#ifdef _WIN32
    // Windows answers such a path as one that is not there.
    const std::string refused = "This install path does not exist: " +
#else
    const std::string refused = "The file system refuses this install path (File name too long): " +
#endif
                                tooLong.substr(0, 200) + "... (" + std::to_string(tooLong.size()) + " bytes)";
    const std::string refusedShown = refused.substr(0, refused.find("aaaaaaaaaa")) + "aaaaaaaaaa";
    struct Case { std::string typed, stored /* "" when refused */, statusText; };
    const Case cases[] = {
        {packages.string(), packages.string(), found},
        {(packages / "Community").string(), packages.string(), found},
        {(packages / "Community").string() + "/", packages.string(), found},
        {(dir() / "missing").string(), "", "This install path does not exist: " + (dir() / "missing").string()},
        {(dir() / "empty").string(), "", notCommunity},
        {(dir() / "afile").string(), "", notCommunity},
        {"Community", "", notCommunity},   // relative, with a Community folder here: no parent to store
        {tooLong, "", refusedShown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        exits.clear();
        MSFS_INSTALL_PATH.set("");
        gf_showError("an older error");   // a new path clears the error hold
        enter(MSFS_INSTALL_PATH.controlId, c.typed);
        EXPECT_EQ(MSFS_INSTALL_PATH.get(), c.stored);
        EXPECT_TRUE(status() == c.statusText || (status().starts_with(c.statusText) &&
                                                 status().ends_with(" ... (the rest in Log.txt)") && logCount(refused) == 1))
            << status();
        EXPECT_EQ(g_mainWindow.g_errorText.get(), "");
        EXPECT_EQ(exits, (c.stored.empty() ? Exits{} : Exits{{3, 3}}));
        EXPECT_EQ(window.text(MSFS_INSTALL_PATH.controlId), c.stored.empty() ? "" : c.typed) << "refused: the stored one";
        EXPECT_EQ(c.stored.empty() ? "" : storedValue("MSFS_INSTALL_PATH"), c.stored);
    }
}

TEST_F(Commands, SwitchingTheSimulatorForcesBothScansAndRestarts) {
    std::filesystem::create_directories("output");
    writeFile("output/LiveriesScanned.xml", "<x/>");
    SCAN_LIVERIES.set(false);
    SCAN_AIRPORTS.set(false);
    const bool was2020 = MSFS_2020.get();
    click(MSFS_2020.controlId);
    EXPECT_FALSE(std::filesystem::exists("output/LiveriesScanned.xml"));
    EXPECT_EQ(storedValue("SCAN_AIRPORTS") + storedValue("SCAN_LIVERIES"), "truetrue");
    EXPECT_EQ(status(), was2020 ? "Switching Simulator to MSFS 2024" : "Switching Simulator to MSFS 2020");
    click(MSFS_2020.controlId);   // no file to delete: still restarts
    EXPECT_EQ(exits, (Exits{{3, 4}, {3, 4}}));
}

using EditFields = WindowTest;

// Enter in a field: the text shown afterwards (the value in force), the status, what is saved ("NAME=value",
// "" for nothing) and the requests raised: C callsign lookup, R clear refused, S static renewal,
// E enforce the maximum count, P park settings changed, B block a callsign.
TEST_F(EditFields, EnterParsesClampsSavesShowsTheValueInForceAndRaisesTheFollowUps) {
    struct Case { std::uint16_t id; std::string typed, field, statusText, stored, raised; bool fileLoaded = false; };
    const std::string respond = "Varnel will respond in 15 seconds ...";
    const Case cases[] = {
        {MAX_LIVE.controlId, "abc", "250", "invalid input: abc", "", ""},
        {MAX_LIVE.controlId, "120abc", "120", "The new MAX_LIVE is 120", "MAX_LIVE=120", "E"},
        {MAX_LIVE.controlId, "500", "", "The new MAX_LIVE is 300", "MAX_LIVE=300", "E"},
        {MAX_LIVE.controlId, "250", "250", "Same MAX_LIVE value 250, no changes made", "", ""},
        {AIRPORT_RANGE.controlId, " +9", "9", "The new AIRPORT_RANGE is 9", "AIRPORT_RANGE=9", ""},
        {AIRPORT_RANGE.controlId, "99999999999", "20", "", "", ""},   // logged
        {AIRPORT_HEIGHT.controlId, "", "18000", "The new AIRPORT_HEIGHT is 18000", "AIRPORT_HEIGHT=18000", ""},
        {parking_percentage.controlId, "", "0", "The new parking_percentage is 0", "", ""},
        {parking_percentage.controlId, "55", "55", "The new parking_percentage is 55", "", ""},
        {MAX_FIT_FL.controlId, "7.3", "7.5", respond, "MAX_FIT=14", "SP", true},   // half-hour slots
        {MAX_FIT_FL.controlId, "0.75", "1", respond, "MAX_FIT=1", "SP", true},
        {MAX_FIT_FL.controlId, "0.1", "0.5", respond, "MAX_FIT=0", "SP", true},
        {MAX_FIT_FL.controlId, "30", "24", respond, "MAX_FIT=47", "SP", true},
        {MAX_FIT_FL.controlId, "", "24", respond, "MAX_FIT=47", "SP", true},
        {MAX_FIT_FL.controlId, "abc", "3", "", "", "", true},   // logged
        {MAX_FIT_FL.controlId, "nan", "3", "", "", "", true},
        {MAX_FIT_FL.controlId, "5", "5", "", "", ""},   // without a parking file the typed text stays
        {MATCHING_DEPTH.controlId, "3", "3", "The new MATCHING_DEPTH is 3", "MATCHING_DEPTH=3", "R"},   // may find refused flights
        {MATCHING_DEPTH.controlId, "1", "1", "The new MATCHING_DEPTH is 1", "MATCHING_DEPTH=1", ""},
        {CALLSIGN_2_OBJECTID.controlId, "baw12x", "BAW12X", "", "", "C"},   // never saved
        {CALLSIGN_2_OBJECTID.controlId, "", "", "", "", ""},
        {LATERAL_RANGE.controlId, "8", "8", "The new LATERAL_RANGE is 8", "LATERAL_RANGE=8", "P"},
        {MAX_LIVE.controlId, "100", "100", "The new MAX_LIVE is 100", "MAX_LIVE=100", "E"},
        {MAX_LIVE.controlId, "90", "90", "The new MAX_LIVE is 90", "MAX_LIVE=90", "EP", true},
        {BLOCK_CALLSIGN.controlId, "BAW", "", "callsign \"BAW\" is not valid", "", ""},
        {BLOCK_CALLSIGN.controlId, "BAW123456", "", "callsign \"BAW123456\" is not valid", "", ""},
        // Two letters in four bytes: the length counts bytes.
        {BLOCK_CALLSIGN.controlId, "\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9",
         "live aircraft with callsign \"\xC3\xA9\xC3\xA9\" will be blocked", "BLOCK_CALLSIGN=\xC3\xA9\xC3\xA9", "B"},
        {BLOCK_CALLSIGN.controlId, "baw-1", "BAW-1", "live aircraft with callsign \"BAW-1\" will be blocked", "BLOCK_CALLSIGN=BAW-1", "B"},
        {BLOCK_CALLSIGN.controlId, "BAW-1", "BAW-1", "This callsign (BAW-1) was already set ...", "", ""},
        {BLOCK_CALLSIGN.controlId, "", "", "no more blocking of live aircraft \"BAW-1\"", "BLOCK_CALLSIGN=", "B"},
    };
    const std::pair<char, std::atomic<bool>*> requests[] = {{'C', &g_callsignLookupRequest}, {'R', &g_clearRefusedRequest},
                                                            {'S', &g_staticRenew}, {'E', &g_enforceMaxCountRequest},
                                                            {'P', &g_parkSettingsChanged}, {'B', &g_blockRequest}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.id) + " <- '" + c.typed + "'");
        std::filesystem::remove(paramsPath());
        MAX_LIVE.set(250), AIRPORT_RANGE.set(20), AIRPORT_HEIGHT.set(5000), parking_percentage.set(30);
        MAX_FIT_FL.set(3.0f), MAX_FIT.set(5), MATCHING_DEPTH.set(2);
        g_apfLoaded = c.fileLoaded;
        g_mainWindow.g_statusText.set("");
        EXPECT_TRUE(enter(c.id, c.typed));
        EXPECT_EQ(window.text(c.id), c.field);
        EXPECT_EQ(status(), c.statusText);
        if (c.stored.empty()) {
            EXPECT_FALSE(std::filesystem::exists(paramsPath()));
        } else {
            const auto eq = c.stored.find('=');
            EXPECT_EQ(storedValue(c.stored.substr(0, eq)), c.stored.substr(eq + 1));
        }
        for (const auto& [letter, flag] : requests) EXPECT_EQ(flag->exchange(false), c.raised.find(letter) != std::string::npos) << letter;
        if (c.id == BLOCK_CALLSIGN.controlId) {
            EXPECT_EQ(window.isEnabled(UNBLOCK_BUTTON.controlId), !c.field.empty());
        }
    }
    EXPECT_EQ(g_userMaxLive.load(), 100) << "the user's own maximum follows only without a parking file";
    EXPECT_EQ(std::pair(g_lateralRangeMetres.load(), g_lateralRangeNm.load()), std::pair(14816, 8.0));
    EXPECT_TRUE(logContains("procesTbInt exception") && logContains("procesTbFloat exception"));
}

TEST_F(EditFields, RenewalAnnouncementCountsToTheNextFifteenSecondStep) {
    struct Case { bool fileLoaded, initialLoadOnly; int second; std::string text; bool renew; };
    for (const Case& c : {Case{true, false, 29, "Varnel will respond in 1 second ...", true},
                          Case{true, false, 30, "Varnel will respond in 15 seconds ...", true},
                          Case{true, false, 17, "Varnel will respond in 13 seconds ...", true},
                          Case{true, true, 29, "", false}, Case{false, false, 29, "untouched", false}}) {
        g_apfLoaded = c.fileLoaded;
        INITIAL_LOAD_ONLY.set(c.initialLoadOnly);
        g_secondCounter = c.second;
        g_parkSettingsChanged = false;
        g_mainWindow.g_statusText.set("untouched");
        gf_respondIn();
        EXPECT_EQ(status(), c.text) << c.second;
        EXPECT_EQ(g_staticRenew.exchange(false), c.renew);
        EXPECT_EQ(g_parkSettingsChanged.load(), c.fileLoaded);
    }
}

using Counters = WindowTest;

TEST_F(Counters, AutoRangeByGroundHeightAndDistance) {
    AIRPORT_HEIGHT.set(18000);
    struct Case { bool ground; double altitude, distance; int range; };
    for (const Case& c : {Case{true, 30000, 100, 8}, Case{false, 18001, 1, 40}, Case{false, 18000, 20.5, 24},
                          Case{false, 5000, 4.9, 8}, Case{false, 5000, 5.0, 8}, Case{false, 5000, 5.4, 8},
                          Case{false, 5000, 36.9, 40}, Case{false, 5000, 37, 40}, Case{false, 5000, 10000, 40}})
        EXPECT_EQ(gf_autoRangeFor(c.ground, c.altitude, c.distance), c.range) << c.distance << " nm";
}

TEST_F(Counters, AutoRangeSetsTheThreeFormsShowsOnlyAChangeAndItsBoxSwitchesBack) {
    auto setParkAirports = [](std::list<ParkAirportEntry> list) {
        std::lock_guard lock(g_parkAirportListMutex);
        g_parkAirportList = std::move(list);
    };
    gf_setUserStateForTests([] { return UserState{false, 3000.0, LatLon{51.0, 0.0}}; });
    setParkAirports({});
    gf_setLateralRange(12);
    gf_autoLateralRange();
    EXPECT_EQ(window.text(LATERAL_RANGE.controlId), "40") << "no park airport: far away";
    setParkAirports({ParkAirportEntry{"EGLL", "", LatLon{51.0 + 20.0 / 60.0, 0.0}, 0.0}});
    gf_autoLateralRange();
    EXPECT_EQ(LATERAL_RANGE.get(), 23);
    EXPECT_EQ(g_lateralRangeMetres.load(), 23 * 1852);
    EXPECT_FALSE(std::filesystem::exists(paramsPath())) << "the chosen range is never saved";
    window.setText(LATERAL_RANGE.controlId, "typed");
    gf_autoLateralRange();
    EXPECT_EQ(window.text(LATERAL_RANGE.controlId), "typed") << "unchanged: the field is left alone";
    setParkAirports({});

    gf_setUserStateForTests([] { return UserState{true, 0.0, {}}; });
    window.setChecked(AUTO_RANGE.controlId, false);
    gf_setLateralRange(25);
    window.enable(LATERAL_RANGE.controlId, true);
    for (const int range : {8, 25}) {   // on the ground: 8 nm; back to the user's own range
        click(AUTO_RANGE.controlId);
        EXPECT_EQ(LATERAL_RANGE.get(), range);
        EXPECT_EQ(window.text(LATERAL_RANGE.controlId), std::to_string(range));
        EXPECT_EQ(window.isEnabled(LATERAL_RANGE.controlId), range == 25);
        EXPECT_TRUE(g_parkSettingsChanged.exchange(false));
    }
}

TEST_F(Counters, RefreshRepaintsOnlyTheBandsWhoseNumbersChanged) {
    // The engine's lists are empty: every count the window shows goes back to 0.
    gf_refreshCounters();
    (void)window.takeInvalidated();
    for (const auto& [live, parkedStatic, bands] :
         {std::tuple{0, 0, std::vector<ui::Rect>{}}, {3, 0, {gf_bandRect(Band::Counters)}},
          {0, 9, {gf_bandRect(Band::Park)}}, {2, 1, {gf_bandRect(Band::Counters), gf_bandRect(Band::Park)}}}) {
        g_mainWindow.g_liveCount = live;
        g_mainWindow.g_parkedStaticCount = parkedStatic;
        gf_refreshCounters();
        EXPECT_EQ(window.takeInvalidated(), bands) << live << " " << parkedStatic;
        EXPECT_EQ(g_mainWindow.g_liveCount.load() + g_mainWindow.g_parkedStaticCount.load(), 0);
    }
    // The parking label follows the static parking's work and the renewal's minutes without a click.
    const std::function<void()> changes[] = {[] { g_apfLoaded = true; }, [] { g_parkingBusy = true; },
                                             [] { g_parkingBusy = false; }, [] { g_mainWindow.g_renewalMinutes = 11; },
                                             [] { g_mainWindow.g_renewalMinutes = 10; }, [] { g_apfLoaded = false; }};
    for (const auto& change : changes) {
        change();
        gf_refreshCounters();
        EXPECT_EQ(window.takeInvalidated(), std::vector<ui::Rect>{gf_bandRect(Band::Settings)});
    }
    gf_refreshCounters();
    EXPECT_EQ(window.takeInvalidated(), std::vector<ui::Rect>{});
    g_mainWindow.g_renewalMinutes = 0;
}

TEST_F(Counters, ReporterTellsUserErrorsFromSystemFailures) {
    struct Case { std::function<void()> raise; std::string shown; bool exit; };
    const Case cases[] = {
        {[] { throw UserErrorException(41, "Varnel must be run from the Varnel folder!"); },
         "41: Varnel must be run from the Varnel folder!", false},
        {[] { throw fmt::format_error("bad spec"); }, "std::format error: bad spec", false},
        {[] { throw std::out_of_range("vector index"); }, "mainLoop: vector index", true},
        {[] { throw std::bad_alloc(); }, "mainLoop: std::bad_alloc", true},
        {[] { throw SysErrorException(30, "bind"); }, "mainLoop: sys error 30: bind", true},
        {[] { throw std::logic_error("odd"); }, "mainLoop: odd", true},
        {[] { throw 42; }, "Unknown exception", false},
    };
    for (const Case& c : cases) {
        exits.clear();
        gf_clearError();
        try {
            c.raise();
        } catch (...) {
            gf_reportException("mainLoop");
        }
        EXPECT_EQ(g_mainWindow.g_errorText.get(), c.shown);
        EXPECT_EQ(exits, (c.exit ? decltype(exits){{5, 0}} : decltype(exits){})) << c.shown;
    }
    gf_clearError();
    gf_reportException("nothing");   // outside a handler: logged, the process lives on
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "");
}

class Painting : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        resetMembers();
    }
    void TearDown() override {
        setParkAirport(Airport{});
        resetMembers();
        WindowTest::TearDown();
    }
    static void resetMembers() {
        MainWindow& w = g_mainWindow;
        w.g_simConnected = w.g_simFlightRunning = w.g_realTrafficLinkUp = w.g_parkAirportOk = false;
        w.g_linkBoxOff = w.g_userAircraftKnown = true;
        for (auto* text : {&w.g_userAircraftText, &w.g_userStandText, &w.g_simVersionText}) text->set("");
        w.g_trafficStatus = w.g_weatherStatus = 3;
        w.g_qnh = w.g_maxParkCount = 0;
        w.g_liveAverageFit = w.g_staticAverageFit = -1.0f;
        g_parkingBusy = g_apfLoaded = false;
        g_offlineLearningCount = 0;
    }
    static void setParkAirport(const Airport& a) {
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = a;
    }
};

// Each step changes the window's state and checks texts (nullopt: not drawn) and box fills.
TEST_F(Painting, TextsAndBoxesFollowTheWindowsState) {
    const ui::Rect simBox{397, 30, 425, 112}, rtBox{425, 30, 453, 112}, statusBand = gf_bandRect(Band::Status);
    MainWindow& w = g_mainWindow;
    const auto none = std::optional<ui::Colour>();
    using Texts = std::vector<std::pair<std::string, std::optional<ui::Colour>>>;
    struct Step { std::function<void()> set; Texts texts; std::vector<std::pair<ui::Rect, ui::Colour>> fills; };
    const Step steps[] = {
        {[&] { w.g_simFlightRunning = true, w.g_userAircraftText.set("A320"), w.g_simVersionText.set("MSFS 2020"); },
         {{"MSFS 2020", none}}, {{simBox, kRed}}},   // the simulator lines need a connection
        {[&] { w.g_simConnected = true, w.g_simFlightRunning = false; }, {{"MSFS 2020", kYellow}}, {{simBox, kYellow}}},
        {[&] { w.g_simFlightRunning = true, w.g_userAircraftText.set(""); }, {{"MSFS 2020", kYellow}}, {{simBox, kYellow}}},
        {[&] { w.g_userAircraftText.set("A320"); }, {{"MSFS 2020", kGreen}, {"A320", kGreen}}, {{simBox, kGreen}}},
        {[&] { w.g_userStandText.set("A12"), w.g_userAircraftKnown = false; },   // an unrecognised title is yellow
         {{"MSFS 2020, user stand A12", kGreen}, {"A320", kYellow}}, {}},
        // The traffic box is black until the traffic starts, whatever the link.
        {[&] { w.g_realTrafficLinkUp = true, w.g_trafficStatus = 1; }, {}, {{rtBox, kBlack}}},
        {[&] { w.g_linkBoxOff = false, w.g_weatherStatus = 1, w.g_liveCount = 7; },
         {{"live:   7", kGreen}, {"Weather", kGreen}}, {{rtBox, kGreen}}},
        {[&] { w.g_qnh = 1013, w.g_trafficStatus = 2, w.g_weatherStatus = 3; },   // a stopped weather reader: no QNH
         {{"qnh: 1013", none}, {"Weather", none}, {"Traffic", kYellow}}, {{rtBox, kYellow}}},
        {[&] { w.g_realTrafficLinkUp = false; }, {}, {{rtBox, kRed}}},
        {[&] { setParkAirport(Airport{"EGLL", "LHR", 51.47, -0.45, 83}), w.g_parkedStaticCount = 12; },
         {{"EGLL (LHR)", kYellow}, {"parked static:  12", none}}, {}},   // a file that failed: only the code
        {[&] { w.g_parkAirportOk = true, w.g_maxParkCount = 40, w.g_staticAverageFit = 3.5f; },
         {{"EGLL (LHR)", kGreen}, {"parked static:  12", kGreen}, {"max park:  40 (=30% )", kGreen},
          {"average fit: 3.5", kGreen}}, {}},
        {[] { WEEK.set(true); }, {{"average fit: 3.5", none}}, {}},   // the week view hides the static average
        {[] { gf_showStatus("hello", false); }, {{"hello", kYellow}}, {{statusBand, kGreen}}},
        {[] { gf_showError("mainLoop: boom"); }, {{"mainLoop: boom", kYellow}}, {{statusBand, kRed}}},
        {[&] { g_offlineLearningCount = 1, SCAN_LIVERIES.set(true), window.enable(HELICOPTERS.controlId, false); },
         {{"1 airport in TBLO folder", kYellow}, {"Scan for liveries:", kRed}, {"Helicopters", kGrey},
          {"Light aircraft", kBlack}}, {}},
        {[&] { g_offlineLearningCount = 2, w.g_renewalMinutes = 12; },   // no renewal without a parking file
         {{"2 airports in TBLO folder", kYellow}, {"(in 12 min)", none}, {"Airport parking:", kRed}}, {}},
        {[] { g_apfLoaded = true; }, {{"(in 12 min)", kBlack}, {"Airport parking:", kBlack}}, {}},
        {[] { g_parkingBusy = true; }, {{"(in 12 min)", none}, {"Airport static parking active:", kYellow}}, {}},
        {[] { g_parkingBusy = false, g_offlineLearningCount = 0; }, {}, {}},
    };
    ui::RecordingSurface surface;
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        SCOPED_TRACE(i);
        steps[i].set();
        surface.clear();
        gf_paint(surface, gf_bandRect(Band::Title));
        for (const auto& want : steps[i].texts) {
            const auto drawn =
                std::find_if(surface.texts.begin(), surface.texts.end(), [&](auto& t) { return t.text == want.first; });
            EXPECT_EQ(drawn == surface.texts.end() ? none : drawn->colour, want.second) << want.first;
        }
        for (const auto& want : steps[i].fills) {   // the last fill of the box
            const auto fill =
                std::find_if(surface.fills.rbegin(), surface.fills.rend(), [&](auto& f) { return f.rect == want.first; });
            EXPECT_EQ(fill == surface.fills.rend() ? none : fill->colour, want.second);
        }
    }
    for (const auto& t : surface.texts) EXPECT_EQ(t.text.find("TBLO"), std::string::npos) << t.text;
    surface.clear();
    lf_textOut(surface, 3, 455, "Zürich", kYellow);
    lf_textOut(surface, 3, 455, "bad \xC0\xAF", kYellow);   // not drawn, logged
    EXPECT_EQ(surface.textList(), std::vector<std::string>{"Zürich"});
    EXPECT_TRUE(logContains("conversion exception"));
}

}  // namespace
}  // namespace vrn::test
