#pragma once
// A main window with its 39 controls on a scratch settings world; exit requests are recorded.
#include <utility>
#include <vector>

#include "airports/airport_files.h"
#include "app/button_commands.h"
#include "app/controls.h"
#include "app/gui_requests.h"
#include "app/main_loop.h"
#include "settings/settings_test_fixture.h"
#include "traffic/park_airport_choice.h"

namespace vrn::test {

class WindowTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        gf_resetWindowRequests();
        g_windowHooks.requestExit = [this](int reason, int argument) { exits.emplace_back(reason, argument); };
        g_windowHooks.listAvailableUpdates = [] { return AvailableUpdates{true, "", ""}; };   // no server in tests
        gf_releaseStatus();   // a warning kept by an earlier test
        window.create("Varnel", 400, 20, 880, 516);
        g_mainWindow.g_hMainWindow = &window;
        gf_createControls(window);
        (void)window.takeInvalidated();
    }
    void TearDown() override {
        gf_resetWindowRequests();
        gf_releaseStatus();
        g_apfLoaded = false;
        g_secondCounter = 0;
        g_mainWindow.g_hMainWindow = nullptr;
        SettingsTest::TearDown();
    }

    std::string status() const { return g_mainWindow.g_statusText.get(); }
    bool enter(std::uint16_t id, const std::string& text) {
        window.enable(id, true);
        window.userTypes(id, text);
        return window.userPressesKey(id, ui::Key::Enter);
    }
    // A click as the window procedure sees it: the command arrives from the queue.
    bool click(std::uint16_t id) {
        window.enable(id, true);
        window.userClicks(id);
        auto m = window.tryGet();
        EXPECT_TRUE(m.has_value());
        return m ? gf_runCommand(window, static_cast<std::uint16_t>(m->code)) : true;
    }

    ui::Window window;
    std::vector<std::pair<int, int>> exits;
};

}  // namespace vrn::test
