// The SimConnect thread against the simulated simulator, its clock stepped by the test: it connects
// after refused opens, creates, moves, lights and removes AI aircraft, restarts and ends with the simulator.
#include "../simlink/link_fixture.h"

namespace vrn::test {
namespace {

using namespace simconnect;

class SimLinkThreadTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        gf_setSimClientRetryDelayForTests(std::chrono::milliseconds(1));
    }
    void TearDown() override {
        gf_joinSimClient();
        gf_setSimClientRetryDelayForTests(std::chrono::milliseconds(1000));
        LinkFixture::TearDown();
    }
    // Steps the clock and waits until the link has handled what the frames brought.
    void run(int frameCount) {
        for (int i = 0; i < frameCount; ++i) {
            sim().step(1);
            ASSERT_TRUE(sim().waitIdle(std::chrono::seconds(20)));
        }
    }
    bool waitFor(const std::function<bool()>& condition) {
        for (int i = 0; i < 20000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return condition();
    }
};

TEST_F(SimLinkThreadTest, CreatesMovesLightsAndRemovesAiAircraft) {
    auto s = baseScenario();
    s.openFailures = 3;
    startWith(s);
    gf_reserveSimCommandQueues();
    gf_startSimClient();
    ASSERT_TRUE(waitFor([] { return g_mainWindow.g_simConnected.load(); }));
    ASSERT_TRUE(sim().waitIdle(std::chrono::seconds(20)));
    EXPECT_TRUE(g_flightRunning.load());
    EXPECT_EQ(g_mainWindow.g_simVersionText.get(), "MSFS 2024");

    // The traffic start's requests, then two creations.
    gf_requestUserAircraftTitleAndModel();
    gf_requestUserOnGroundEverySecond();
    gf_requestUserAircraftPosition();
    gf_queueAiCreateRequest(creation("SWR123", "Title A", 0x4B1234));
    gf_queueAiCreateRequest(creation("PARK1*", "Title B", 17));
    run(2);   // creations sent, then announced
    requestInRange();
    ASSERT_TRUE(sim().waitIdle(std::chrono::seconds(20)));
    const auto created = gf_takeSimEvents();
    std::map<std::uint32_t, std::uint32_t> objectOf;   // aircraft id -> object id
    for (const auto& e : created)
        if (e.kind == SIM_EVENT_LIVE_CREATED || e.kind == SIM_EVENT_STATIC_CREATED) objectOf[e.aircraftId] = e.objectId;
    ASSERT_EQ(objectOf.size(), 2u);
    const auto live = objectOf.at(0x4B1234);
    const auto parked = objectOf.at(17);

    // Move the live one for a few frames and light both.
    for (int i = 0; i < 5; ++i) {
        PositionUpdate p;
        p.latitude = 47.5 + i * 0.001;
        p.longitude = 8.6;
        p.altitude = 3000.0 + i;
        p.objectId = live;
        g_positionFillBuffer->push_back(p);
        gf_handOverPositions();
        run(1);
    }
    const std::uint32_t on[7] = {1, 1, 1, 0, 1, 1, 1};
    gf_queueLightEvents(live, on);
    gf_queueNavLights(parked, 1);
    run(30);   // a second: the on-ground request answers
    const auto liveState = *sim().object(live);
    EXPECT_NEAR(liveState.lat, 47.504, 1e-9);
    EXPECT_EQ(liveState.positionUpdates, 5u);
    EXPECT_EQ(liveState.lights, LIGHT_NAV | LIGHT_BEACON | LIGHT_LANDING | LIGHT_STROBE | LIGHT_LOGO | LIGHT_CABIN);
    EXPECT_TRUE(liveState.freezeLatLon && liveState.released);
    EXPECT_TRUE(g_userOnGroundKnown.load());
    EXPECT_EQ(g_userTitle.get(), "Asobo A320 Neo");

    gf_queueAiRemoval(live);
    gf_queueAiRemoval(parked);
    run(32);
    EXPECT_EQ(sim().aiObjectCount(), 0u);
    EXPECT_EQ(eventsOfKind(gf_takeSimEvents(), SIM_EVENT_OBJECT_REMOVED).size(), 2u);

    // A normal stop closes the connection; a new start opens one of its own.
    gf_requestSimClientStop();
    gf_joinSimClient();
    EXPECT_EQ(sim().connectionCount(), 0);
    EXPECT_TRUE(exitRequests().empty());
    gf_resetSimLinkForNextRun();
    gf_startSimClient();
    ASSERT_TRUE(waitFor([] { return sim().connectionCount() == 1 && g_hSimConnect.load() != nullptr; }));
    ASSERT_TRUE(sim().waitIdle(std::chrono::seconds(20)));
    EXPECT_EQ(callsNamed("Open").size(), 2u);

    // The simulator quits: the thread ends and the run stops with "SIM WAS CLOSED".
    sim().quit();
    ASSERT_TRUE(waitFor([] { return !gf_simClientRunning(); }));
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{EXIT_SIM_WAS_CLOSED, 0}}));
    EXPECT_FALSE(g_flightRunning.load());
}

TEST_F(SimLinkThreadTest, AnExitRequestedWhileWaitingEndsTheThreadWithoutOpening) {
    auto s = baseScenario();
    s.simulatorRunning = false;
    startWith(s);
    gf_startSimClient();
    ASSERT_TRUE(waitFor([] { return gf_simClientRunning(); }));
    exitFlag = true;
    ASSERT_TRUE(waitFor([] { return !gf_simClientRunning(); }));
    EXPECT_TRUE(callsNamed("Open").empty());
    EXPECT_EQ(g_hSimConnect.load(), nullptr);
}

// The dispatch loop waits a millisecond after each call: a second of it is at most about a thousand
// calls, however fast or busy the machine. A wait that returns at once (as sleep_until did with the
// MinGW runtime) makes it hundreds of thousands, and one core busy for as long as the link is up.
TEST_F(SimLinkThreadTest, TheDispatchLoopTurnsAtMostOncePerMillisecond) {
    startWith(baseScenario());
    gf_reserveSimCommandQueues();
    gf_startSimClient();
    ASSERT_TRUE(waitFor([] { return g_mainWindow.g_simConnected.load(); }));
    const std::uint64_t before = sim().dispatchCalls();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const std::uint64_t calls = sim().dispatchCalls() - before;
    EXPECT_GE(calls, 1u);
    EXPECT_LE(static_cast<double>(calls), 1100.0 * seconds + 1.0) << calls << " calls in " << seconds << " s";
}

}  // namespace
}  // namespace vrn::test
