// The SimConnect thread's connection, registration, dispatch and failures, driven synchronously.
#include <set>

#include "link_fixture.h"

namespace vrn::test {
namespace {

using namespace simconnect;

class SimClientTest : public LinkFixture {};

// The simulated simulator answers unknown names, ids and sizes with exceptions; the quiet close undoes all.
TEST_F(SimClientTest, RegistersWithoutComplaintsAndQuietCloseUndoesIt) {
    connect();
    const auto argumentsOf = [&](const char* call) {
        std::multiset<DWORD> out;
        for (auto& c : callsNamed(call)) out.insert(c.a == GROUP_AI ? c.b : c.a);   // grouped: the event
        return out;
    };
    const auto subscribed = argumentsOf("SubscribeToSystemEvent"), fields = argumentsOf("AddToDataDefinition");
    EXPECT_EQ(subscribed.size(), 5u);
    EXPECT_EQ(fields, (std::multiset<DWORD>{401, 401, 401, 402, 402, 402, 402, 402, 402, 402, 402, 403, 403, 403, 403, 403,
                                            403, 403, 403, 403, 403, 403, 403, 404, 404, 404, 404, 405, 405, 406, 407, 408, 409}));
    auto mapped = argumentsOf("MapClientEventToSimEvent");
    EXPECT_EQ(mapped.size(), 17u);
    mapped.erase(220);   // sent to another group
    EXPECT_EQ(argumentsOf("AddClientEventToNotificationGroup"), mapped);
    EXPECT_EQ(logText().find("SIMCON EXCEP"), std::string::npos);

    sim().clearCalls();
    gf_closeSimConnectQuietly();
    EXPECT_EQ(argumentsOf("ClearDataDefinition"), (std::multiset<DWORD>{401, 402, 403, 404, 405, 406, 407, 408, 409}));
    EXPECT_EQ(argumentsOf("UnsubscribeFromSystemEvent"), subscribed);
    EXPECT_EQ(sim().connectionCount(), 0);
    EXPECT_EQ(g_hSimConnect.load(), nullptr);
    EXPECT_TRUE(exitRequests().empty());
}

struct VersionCase {
    int version;
    std::string appName;
    bool msfs2020Setting, connects;
    std::string expected;   // version text, or the start of the error text
    bool versionMismatch = false;
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
        {2024, "", false, false, "95: Simconnect Version Mismatch, dwindex: 7 ", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.appName + " " + std::to_string(c.version));
        auto s = baseScenario();
        s.version = c.version;
        s.applicationName = c.appName;
        if (c.versionMismatch) s.failures.exceptionsAfterOpen = {{5, 7}};
        startWith(s);
        gf_resetSimLinkForNextRun();
        for (auto* text : {&g_mainWindow.g_errorText, &g_mainWindow.g_simVersionText}) text->set("");
        MSFS_2020.set(c.msfs2020Setting);
        ASSERT_TRUE(gf_simClientOpen());
        EXPECT_EQ(gf_simClientDispatchOnce(), c.connects);
        // A user error ends the link without an exit, with the flight stopped and the connection closed.
        const std::string shown = c.connects ? g_mainWindow.g_simVersionText.get() : g_mainWindow.g_errorText.get();
        EXPECT_EQ(c.connects ? shown : shown.substr(0, c.expected.size()), c.expected);
        EXPECT_EQ(g_flightRunning.load(), c.connects);
        EXPECT_EQ(sim().connectionCount(), c.connects ? 1 : 0);
        EXPECT_TRUE(exitRequests().empty());
    }
    auto s = baseScenario();
    s.applicationName = std::string("\0", 1);   // reaches the link as an empty name: only logged
    startWith(s);
    gf_resetSimLinkForNextRun();
    ASSERT_TRUE(gf_simClientOpen());
    EXPECT_TRUE(gf_simClientDispatchOnce());
    EXPECT_FALSE(g_mainWindow.g_simConnected.load());
}

TEST_F(SimClientTest, FlightStateLoadedFlightsFrameRateAndALostSimulator) {
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
    for (const bool newFile : {false, true}) sim().loadFlight("C:\\flights\\next.FLT", newFile), frames(1);
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{2, 45}, {2, 45}}));
    exitFlag = false;
    fail([](FailureSpec& f) { f.failDispatchCalls = 1000; });   // a dispatch that keeps failing
    int calls = 0;
    while (gf_simClientDispatchOnce()) ASSERT_LT(++calls, 1000);
    EXPECT_EQ(sim().connectionCount(), 0);
    EXPECT_EQ(exitRequests().back(), (std::pair<int, int>{EXIT_SIM_WAS_CLOSED, 0}));
}

// Exceptions before any user position are not logged. A creation whose packet id could not be read
// (0) waits for its callsign; an exception that names no packet (send id 0) must not take it.
TEST_F(SimClientTest, ExceptionsFromTheSimulator) {
    auto s = baseScenario();
    s.failures.exceptionsAfterOpen = {{3, 0}, {SIMCONNECT_EXCEPTION_CREATE_OBJECT_FAILED, 0}};
    s.maxObjects = 0;
    startWith(s);
    g_pendingCreations.push_back({0, 7, "NOPACKET*"});
    connect();
    EXPECT_EQ(logText().find("SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"), std::string::npos);
    userBlock();   // a position is known now
    locked([] { SimConnect_TransmitClientEvent(g_hSimConnect.load(), 4242, NAV_LIGHTS_SET, 1, GROUP_AI, 0); });
    gf_simClientDispatchOnce();
    EXPECT_NE(logText().find("===> SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID"), std::string::npos);
    gf_queueAiCreateRequest(creation("FULL1", "Title A", 10003));   // beyond the object limit
    frames(2);
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "SimConnect: too many objects (max 1000)");
    EXPECT_EQ(gf_takePendingCreation("NOPACKET*"), 7u);
}

}  // namespace
}  // namespace vrn::test
