// The SimConnect thread's connection, registration, dispatch and failure handling, driven
// synchronously against the simulated simulator.
#include <set>

#include "link_fixture.h"

namespace vrn::test {
namespace {

using namespace simconnect;

class SimClientTest : public LinkFixture {};

// The simulated simulator answers unknown names, ids and sizes with exceptions, which the link logs;
// the quiet close undoes every definition and subscription and nothing else.
TEST_F(SimClientTest, RegistersWithoutComplaintsAndQuietCloseUndoesIt) {
    connect();
    std::set<DWORD> subscribed, mapped, grouped;
    std::map<DWORD, int> fields;
    for (auto& c : callsNamed("SubscribeToSystemEvent")) subscribed.insert(c.a);
    for (auto& c : callsNamed("AddToDataDefinition")) ++fields[c.a];
    for (auto& c : callsNamed("MapClientEventToSimEvent")) mapped.insert(c.a);
    for (auto& c : callsNamed("AddClientEventToNotificationGroup")) {
        EXPECT_EQ(c.a, GROUP_AI);
        grouped.insert(c.b);
    }
    EXPECT_EQ(subscribed.size(), 5u);
    EXPECT_EQ(fields, (std::map<DWORD, int>{{401, 3}, {402, 8}, {403, 12}, {404, 4}, {405, 2}, {406, 1}, {407, 1},
                                            {408, 1}, {409, 1}}));
    EXPECT_EQ(mapped.size(), 17u);
    mapped.erase(220);   // sent to another group
    EXPECT_EQ(grouped, mapped);
    const auto priority = callsNamed("SetNotificationGroupPriority");
    ASSERT_EQ(priority.size(), 1u);
    EXPECT_EQ(priority[0].b, 1u);
    EXPECT_EQ(logText().find("SIMCON EXCEP"), std::string::npos);

    sim().clearCalls();
    gf_closeSimConnectQuietly();
    std::set<DWORD> cleared, unsubscribed;
    for (auto& c : callsNamed("ClearDataDefinition")) cleared.insert(c.a);
    for (auto& c : callsNamed("UnsubscribeFromSystemEvent")) unsubscribed.insert(c.a);
    EXPECT_EQ(callsNamed("ClearDataDefinition").size(), fields.size());
    for (const auto& [definition, n] : fields) EXPECT_TRUE(cleared.count(definition)) << definition;
    EXPECT_EQ(unsubscribed, subscribed);
    EXPECT_EQ(callsNamed("Close").size(), 1u);
    EXPECT_TRUE(callsNamed("MapClientEventToSimEvent").empty());
    EXPECT_EQ(sim().connectionCount(), 0);
    EXPECT_EQ(g_hSimConnect.load(), nullptr);
    EXPECT_TRUE(exitRequests().empty());
}

struct VersionCase {
    int version;
    std::string appName;
    bool msfs2020Setting;
    bool connects;
    std::string expected;   // version text, or the start of the error text
};

TEST_F(SimClientTest, TellsTheSimulatorVersionApart) {
    const std::vector<VersionCase> cases{
        {2024, "", false, true, "MSFS 2024"},
        {2020, "", true, true, "MSFS 2020 (1.2.3.4)"},
        {2020, "Kitty-Hawk!", true, true, "MSFS 2020 (1.2.3.4)"},
        {2020, "", false, false, "71: MSFS 2020 is running ..., switch Sim or toggle the Community checkbox of Varnel"},
        {2024, "", true, false, "71: MSFS 2024 is running ..., switch Sim or toggle the Community checkbox of Varnel"},
        {2020, "Kitty Hawk", true, false, "77: \"Kitty Hawk\" not being MSFS 2020 or MSFS 2024 connects ... ? "},
        {2030, "X-Plane", false, false, "77: \"XPlane\" not being MSFS 2020"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.appName + " " + std::to_string(c.version));
        auto s = baseScenario();
        s.version = c.version;
        s.applicationName = c.appName;
        startWith(s);
        gf_resetSimLinkForNextRun();
        g_mainWindow.g_errorText.set("");
        g_mainWindow.g_simVersionText.set("");
        MSFS_2020.set(c.msfs2020Setting);
        ASSERT_TRUE(gf_simClientOpen());
        EXPECT_EQ(gf_simClientDispatchOnce(), c.connects);
        if (c.connects) {
            EXPECT_EQ(g_mainWindow.g_simVersionText.get(), c.expected);
            EXPECT_NE(logText().find(c.expected + " connected "), std::string::npos);
        } else {
            EXPECT_EQ(g_mainWindow.g_errorText.get().rfind(c.expected, 0), 0u) << g_mainWindow.g_errorText.get();
            // A user error ends the link without an exit, leaves the flight stopped and the connection closed.
            EXPECT_TRUE(exitRequests().empty());
            EXPECT_FALSE(g_flightRunning.load());
            EXPECT_EQ(sim().connectionCount(), 0);
        }
    }
}

TEST_F(SimClientTest, EmptyApplicationNameIsOnlyLogged) {
    auto s = baseScenario();
    s.applicationName = std::string("\0", 1);   // reaches the link as an empty name
    startWith(s);
    ASSERT_TRUE(gf_simClientOpen());
    EXPECT_TRUE(gf_simClientDispatchOnce());
    EXPECT_NE(logText().find("! Simulator name empty?"), std::string::npos);
    EXPECT_FALSE(g_mainWindow.g_simConnected.load());
}

TEST_F(SimClientTest, FlightStateLoadedFlightsAndFrameRate) {
    auto s = baseScenario();
    s.flightRunning = false;
    s.frameRate = 25.0;
    startWith(s);
    connect();
    EXPECT_FALSE(g_flightRunning.load());
    sim().setFlightRunning(true);
    frames(1);
    EXPECT_TRUE(g_flightRunning.load());
    EXPECT_TRUE(g_mainWindow.g_simFlightRunning.load());

    frames(28);   // 29 Frame events so far
    EXPECT_EQ(g_frameRate.load(), 0.0f);
    frames(1);
    EXPECT_EQ(g_frameRate.load(), 25.0f);
    EXPECT_EQ(g_frameCount.load(), 0);

    sim().setFlightRunning(false);
    frames(1);
    EXPECT_FALSE(g_flightRunning.load());
    EXPECT_TRUE(exitRequests().empty());
    sim().loadFlight("C:\\flights\\next.FLT", false);
    frames(1);
    sim().loadFlight("C:\\flights\\other.FLT", true);
    frames(1);
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{2, 45}, {2, 45}}));
}

TEST_F(SimClientTest, SimulatorQuitClosesTheLinkAndStopsTheRun) {
    connect();
    sim().quit();
    EXPECT_FALSE(gf_simClientDispatchOnce());
    EXPECT_FALSE(g_flightRunning.load());
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{EXIT_SIM_WAS_CLOSED, 0}}));
    EXPECT_EQ(sim().connectionCount(), 0);
    EXPECT_NE(logText().find("Flight Simulator no longer connected, Varnel will stop ..."), std::string::npos);
}

TEST_F(SimClientTest, ADispatchThatKeepsFailingCountsAsALostSimulator) {
    connect();
    simconnect::FailureSpec f;
    f.failDispatchCalls = 1000;
    sim().setFailures(f);
    int calls = 0;
    while (gf_simClientDispatchOnce()) ASSERT_LT(++calls, 1000);
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{EXIT_SIM_WAS_CLOSED, 0}}));
}

TEST_F(SimClientTest, ExceptionsFromTheSimulator) {
    auto s = baseScenario();
    s.failures.exceptionsAfterOpen = {{3, 0}};   // before any user position: not logged
    startWith(s);
    connect();
    EXPECT_EQ(logText().find("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"), std::string::npos);

    userBlock();   // a position is known now
    {
        std::lock_guard lock(g_simCommandMutex);
        SimConnect_TransmitClientEvent(g_hSimConnect.load(), 4242, NAV_LIGHTS_SET, 1, GROUP_AI, 0);   // no such object
    }
    gf_simClientDispatchOnce();
    EXPECT_NE(logText().find("===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"), std::string::npos);

    // A refused creation posts kind 6 for its own aircraft only; other pending creations stay.
    g_pendingCreations.push_back({99999, 10001, "ABC123"});
    gf_queueAiCreateRequest(creation("XYZ1", "not installed", 10002));
    frames(2);
    const auto failed = eventsOfKind(gf_takeSimEvents(), SIM_EVENT_CREATE_FAILED);
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_EQ(failed[0].aircraftId, 10002u);
    EXPECT_EQ(failed[0].objectId, 0u);
    ASSERT_EQ(g_pendingCreations.size(), 1u);
    EXPECT_EQ(g_pendingCreations[0].callsign, "ABC123");
}

TEST_F(SimClientTest, CreationExceptionsOnlyMatchKnownPacketIds) {
    // A creation whose packet id could not be read (0) waits for its callsign; an exception that
    // names no packet (send id 0) must not take it.
    auto s = baseScenario();
    s.failures.exceptionsAfterOpen = {{SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, 0}};
    s.maxObjects = 0;
    startWith(s);
    g_pendingCreations.push_back({0, 7, "NOPACKET*"});
    connect();
    EXPECT_TRUE(eventsOfKind(gf_takeSimEvents(), SIM_EVENT_CREATE_FAILED).empty());
    ASSERT_EQ(g_pendingCreations.size(), 1u);

    // A creation beyond the simulator's object limit.
    gf_queueAiCreateRequest(creation("FULL1", "Title A", 10003));
    frames(2);
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "SimConnect: too many objects (max 1000)");
    // Matching by callsign still finds the creation without a packet id.
    EXPECT_EQ(gf_takePendingCreation("NOPACKET*"), 7u);
}

TEST_F(SimClientTest, VersionMismatchIsAUserError) {
    auto s = baseScenario();
    s.failures.exceptionsAfterOpen = {{5, 7}};
    startWith(s);
    ASSERT_TRUE(gf_simClientOpen());
    EXPECT_FALSE(gf_simClientDispatchOnce());
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "95: Simconnect Version Mismatch, dwindex: 7 ");
    EXPECT_TRUE(exitRequests().empty());
}

TEST_F(SimClientTest, ThirdFailedRequestBreaksRequestsAndRestarts) {
    connect();
    gf_countSimConnectRequestError();
    gf_countSimConnectRequestError();
    EXPECT_TRUE(exitRequests().empty());
    EXPECT_FALSE(g_requestsBroken.load());
    gf_countSimConnectRequestError();
    EXPECT_TRUE(g_requestsBroken.load());
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "SimConnect request error 3, see Log.txt");
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{EXIT_RESTART, 10}}));
}

}  // namespace
}  // namespace vrn::test
