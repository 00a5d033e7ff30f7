#pragma once
// A simulated simulator with a manual clock, the link reset, the neighbours' services faked.
#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "core/log.h"
#include "platform/simconnect/simulated_simulator.h"
#include "settings/settings_catalogue.h"
#include "simlink/command_queues.h"
#include "simlink/creation_matching.h"
#include "simlink/sim_client.h"
#include "simlink/sim_event.h"
#include "simlink/sim_ids.h"
#include "simlink/sim_services.h"
#include "simlink/user_aircraft.h"
#include "support/test_support.h"

namespace vrn::test {

inline simconnect::SimulatedSimulator& sim() { return simconnect::gf_simulator(); }

class LinkFixture : public ::testing::Test {
protected:
    TempDir dir;
    std::mutex exitMutex;
    std::vector<std::pair<int, int>> exits;
    std::atomic<bool> exitFlag{false};
    std::vector<std::string> storedStands;
    std::string standAtUser;

    // Half wingspans in nautical miles; unknown types get a class average as the type database does.
    std::map<std::string, std::pair<double, unsigned>> types{
        {"A20N", {0.0097, 2}}, {"A320", {0.0097, 2}}, {"B738", {0.0097, 2}}, {"B737", {0.0093, 2}},
        {"CRJ7", {0.0063, 0}}, {"E190", {0.0078, 0}}, {"A388", {0.0215, 3}}, {"C172", {0.0030, 0}}};

    static simconnect::SimScenario baseScenario() {
        simconnect::SimScenario s;
        s.version = 2024;
        s.installedTitles = {"Title A", "Title B", "FSLTL_A320_ZZZZ"};
        s.user.title = "Asobo A320 Neo";
        s.user.atcModel = "ATCCOM.AC_MODEL_A20N.0.text";
        return s;
    }

    void startWith(const simconnect::SimScenario& s) {
        sim().reset(s, simconnect::ClockMode::Manual);
        sim().recordCalls(true);
    }

    void resetLink() {
        gf_resetSimLinkForNextRun();
        gf_resetSimLinkServices();
        gf_takeSimEvents();
        MSFS_2020.set(false);
    }
    void SetUp() override {
        gf_startLog(dir / "Log.txt");
        startWith(baseScenario());
        resetLink();
        g_frameCount = 0, g_frameRate = 0.0f;
        for (auto* text : {&g_mainWindow.g_errorText, &g_mainWindow.g_statusText, &g_mainWindow.g_simVersionText})
            text->set("");
        g_mainWindow.g_simConnected = false;
        g_mainWindow.g_userAircraftKnown = true;
        auto& s = gf_simLinkServices();
        s.requestExit = [this](int reason, int argument) {
            std::lock_guard lock(exitMutex);
            exits.emplace_back(reason, argument);
            exitFlag = true;
        };
        s.exitRequested = [this] { return exitFlag.load(); };
        s.halfWingspanNm = [this](const std::string& m) { return types.count(m) ? types.at(m).first : 0.005; };
        s.isValidModel = [this](const std::string& m) { return types.count(m) > 0; };
        s.sizeClass = [this](const std::string& m) { return types.count(m) ? types.at(m).second : 0u; };
        s.maxHalfWingspan = [] { return 0.0215; };
        s.standNameAt = [this](const LatLon&) { return standAtUser; };
        s.storeUserStand = [this](const std::string& stand) { storedStands.push_back(stand); };
        s.professionalEdition = [] { return true; };
    }

    void TearDown() override {
        if (g_hSimConnect.load()) gf_closeSimConnectQuietly();
        resetLink();
        gf_closeLog();
    }

    void connect() { ASSERT_TRUE(gf_simClientOpen()); ASSERT_TRUE(gf_simClientDispatchOnce()); }
    bool frames(int n = 1) {   // n frames, each dispatched as the SimConnect thread would
        bool ok = true;
        for (int i = 0; i < n; ++i) ok = (sim().step(1), gf_simClientDispatchOnce()) && ok;
        return ok;
    }
    std::string logText() { gf_flushLog(); return readFile(dir / "Log.txt"); }
    std::vector<std::pair<int, int>> exitRequests() { std::lock_guard lock(exitMutex); return exits; }
    std::vector<simconnect::CallRecord> callsNamed(const std::string& name) {
        std::vector<simconnect::CallRecord> out;
        for (auto& c : sim().calls())
            if (c.call == name) out.push_back(c);
        return out;
    }
    static std::vector<SimEvent> eventsOfKind(const std::vector<SimEvent>& all, std::uint32_t kind) {
        std::vector<SimEvent> out;
        for (const auto& e : all)
            if (e.kind == kind) out.push_back(e);
        return out;
    }
    template <typename F>   // the simulated simulator's next failures
    static void fail(F set) { simconnect::FailureSpec f; set(f); sim().setFailures(f); }
    template <typename F>   // with the command queues held, as the run thread holds them
    static void locked(F f) { std::lock_guard lock(g_simCommandMutex); f(); }
    // The in-range request the traffic pass makes every 20th pass.
    void requestInRange() {
        locked([] { simconnect::SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), REQUEST_AI_IN_RANGE,
            DEF_AI_IN_RANGE, 40 * 1852, simconnect::SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT); });
    }
    void userBlock() { gf_requestUserAircraftPosition(), gf_simClientDispatchOnce(); }   // asked and answered
    static AiCreateRequest creation(const std::string& tail, std::string_view title, std::uint32_t aircraftId) {
        AiCreateRequest r;
        std::tie(r.initPosition.Latitude, r.initPosition.Longitude, r.initPosition.OnGround) = std::tuple(47.46, 8.55, 1);
        r.tailNumber = tail;
        r.containerTitle = title;
        r.aircraftId = aircraftId;
        return r;
    }
};

}  // namespace vrn::test
