// Clicks on check boxes and push buttons, callsign blocking and the typed packages folder.
#include "app/button_commands.h"
#include "controls_test_fixture.h"
#include "simlink/command_queues.h"
#include "simlink/user_aircraft.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {
namespace {

class Commands : public WindowTest {
protected:
    // A click as the window procedure sees it: the command arrives from the queue.
    bool click(std::uint16_t id) {
        window.enable(id, true);
        window.userClicks(id);
        auto m = window.tryGet();
        EXPECT_TRUE(m.has_value());
        return m ? gf_runCommand(window, static_cast<std::uint16_t>(m->code)) : true;
    }
    using Exits = std::vector<std::pair<int, int>>;
};

TEST_F(Commands, CheckBoxesToggleSaveAndShowTheirHints) {
    struct Case {
        CheckBoxParameter* box;
        std::string hintWhenOn, hintWhenOff;
    };
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

TEST_F(Commands, BlockingACallsign) {
    click(UNBLOCK_BUTTON.controlId);
    EXPECT_EQ(status(), "Nothing to block or unblock...");
    EXPECT_FALSE(g_blockRequest.load());

    for (const std::string refused : {"BAW", "BAW123456"}) {
        enter(BLOCK_CALLSIGN.controlId, refused);
        EXPECT_EQ(status(), "callsign \"" + refused + "\" is not valid");
        EXPECT_EQ(BLOCK_CALLSIGN.get(), "");
        EXPECT_EQ(window.text(BLOCK_CALLSIGN.controlId), "") << "the stored value is shown again";
        EXPECT_FALSE(g_blockRequest.load());
    }
    enter(BLOCK_CALLSIGN.controlId, "\xC3\xA9\xC3\xA9");   // two letters in four bytes: the length counts bytes
    EXPECT_EQ(BLOCK_CALLSIGN.get(), "\xC3\xA9\xC3\xA9");
    EXPECT_TRUE(g_blockRequest.exchange(false));

    enter(BLOCK_CALLSIGN.controlId, "baw-1");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "BAW-1");
    EXPECT_EQ(window.text(BLOCK_CALLSIGN.controlId), "BAW-1");
    EXPECT_TRUE(window.isEnabled(UNBLOCK_BUTTON.controlId));
    EXPECT_EQ(status(), "live aircraft with callsign \"BAW-1\" will be blocked");
    EXPECT_TRUE(g_blockRequest.exchange(false));

    enter(BLOCK_CALLSIGN.controlId, "BAW-1");
    EXPECT_EQ(status(), "This callsign (BAW-1) was already set ...");
    EXPECT_FALSE(g_blockRequest.load());

    enter(BLOCK_CALLSIGN.controlId, "");
    EXPECT_EQ(storedValue("BLOCK_CALLSIGN"), "");
    EXPECT_FALSE(window.isEnabled(UNBLOCK_BUTTON.controlId));
    EXPECT_EQ(status(), "no more blocking of live aircraft \"BAW-1\"");
    EXPECT_TRUE(g_blockRequest.load());
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
    const std::string refused = "The file system refuses this install path (File name too long): " +
                                tooLong.substr(0, 200) + "... (" + std::to_string(tooLong.size()) + " bytes)";
    struct Case {
        std::string typed, stored /* "" when refused */, statusText;
    };
    const Case cases[] = {
        {packages.string(), packages.string(), found},
        {(packages / "Community").string(), packages.string(), found},
        {(packages / "Community").string() + "/", packages.string(), found},
        {(dir() / "missing").string(), "", "This install path does not exist: " + (dir() / "missing").string()},
        {(dir() / "empty").string(), "", notCommunity},
        {(dir() / "afile").string(), "", notCommunity},
        {"Community", "", notCommunity},   // relative, with a Community folder here: no parent to store
        {tooLong, "", refused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        exits.clear();
        MSFS_INSTALL_PATH.set("");
        gf_showError("an older error");   // a new path clears the error hold
        enter(MSFS_INSTALL_PATH.controlId, c.typed);
        EXPECT_EQ(MSFS_INSTALL_PATH.get(), c.stored);
        EXPECT_EQ(status(), c.statusText);
        EXPECT_EQ(g_mainWindow.g_errorText.get(), "");
        if (c.stored.empty()) {
            EXPECT_TRUE(exits.empty());
            EXPECT_EQ(window.text(MSFS_INSTALL_PATH.controlId), "") << "a refused path: the stored one is shown";
        } else {
            EXPECT_EQ(storedValue("MSFS_INSTALL_PATH"), c.stored);
            EXPECT_EQ(exits, (Exits{{3, 3}}));
        }
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

TEST_F(Commands, AutoRangeSwitchesBetweenTheChosenAndTheUsersRange) {
    gf_setUserStateForTests([] { return UserState{true, 0.0, {}}; });
    AUTO_RANGE.set(false);
    window.setChecked(AUTO_RANGE.controlId, false);
    gf_setLateralRange(25);
    window.enable(LATERAL_RANGE.controlId, true);
    for (const int range : {8, 25}) {   // on the ground: 8 nm; back to the user's own range
        click(AUTO_RANGE.controlId);
        EXPECT_EQ(LATERAL_RANGE.get(), range);
        EXPECT_EQ(g_lateralRangeMetres.load(), range * 1852);
        EXPECT_EQ(window.text(LATERAL_RANGE.controlId), std::to_string(range));
        EXPECT_EQ(window.isEnabled(LATERAL_RANGE.controlId), range == 25);
        EXPECT_TRUE(g_parkSettingsChanged.exchange(false));
    }
}

TEST_F(Commands, WindowRequestsAreServedOnTheRunThreadsTurn) {
    for (const std::uint32_t id : {11u, 12u}) {
        Aircraft parked;
        parked.state = STATE_IN_SIM;
        parked.objectId = id;
        g_staticParked.push_back(parked);
    }
    std::unique_lock lock(g_simCommandMutex);
    g_clientEvents.clear();
    lock.unlock();
    NAV_LIGHTS_WHILE_PARKED.set(false);
    window.setChecked(NAV_LIGHTS_WHILE_PARKED.controlId, false);
    click(NAV_LIGHTS_WHILE_PARKED.controlId);
    lock.lock();
    EXPECT_TRUE(g_clientEvents.empty()) << "the click itself touches no traffic list";
    lock.unlock();
    g_enforceMaxCountRequest = true;
    gf_serveWindowRequests();
    gf_serveWindowRequests();   // served once
    lock.lock();
    ASSERT_EQ(g_clientEvents.size(), 2u);
    EXPECT_EQ(g_clientEvents[1].objectId, 12u);
    EXPECT_EQ(g_clientEvents[1].value, 1u);
    EXPECT_FALSE(g_enforceMaxCountRequest.load());
    g_clientEvents.clear();
    g_staticParked.clear();
}

}  // namespace
}  // namespace vrn::test
