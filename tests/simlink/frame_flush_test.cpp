// Command queues, the frame flush and the creation matching against the simulated simulator.
#include <future>
#include <thread>

#include "link_fixture.h"
#include "support/test_support.h"

namespace vrn::test {
namespace {

using namespace simconnect;
using namespace std::chrono_literals;

class FrameFlushTest : public LinkFixture {
protected:
    DWORD a = 0, b = 0;
    void SetUp() override {
        LinkFixture::SetUp();
        a = sim().addOtherAircraft({"Title A", "OTHER1", 47.46, 8.55, 0.0, true});
        b = sim().addOtherAircraft({"Title B", "OTHER2", 47.47, 8.56, 0.0, true});
        connect();
        frames(1);   // both announced
        g_justAddedObjects.clear();   // not ours
        sim().clearCalls();
    }
    void queuePosition(DWORD id, double lat) { g_positionFillBuffer->push_back({lat, 8.5, 0, 0, 0, 3000.0, 0, 0, id}); }
    void queueEverything(double lat, DWORD removed) {
        queuePosition(a, lat);
        gf_handOverPositions();
        gf_queueNavLights(a, 1);
        gf_queueAiCreateRequest(creation("NEW" + std::to_string(lat), "Title A", 10001));
        gf_queueAiRemoval(removed);
    }
    void queueFlaps(DWORD value) { locked([&] { g_clientEvents.push_back({a, FLAPS_SET, value}); }); }
};

TEST_F(FrameFlushTest, BusyMutexSkipsTheFrameTheNextSendsTheNewestAndBrokenRequestsOnlyRemovals) {
    queuePosition(a, 46.0);
    gf_handOverPositions();   // not flushed before the next swap: superseded
    queuePosition(2, 47.0);   // at or below the user's object id: never sent
    queueEverything(47.0, b);
    std::promise<void> held, release;
    std::thread holder([&] { locked([&] { held.set_value(), release.get_future().wait(); }); });
    held.get_future().wait();
    frames(1);
    release.set_value();
    holder.join();
    EXPECT_TRUE(sim().calls().empty()) << "nothing may be sent while the run thread holds the queues";

    frames(1);
    EXPECT_EQ(callsNamed("SetDataOnSimObject").size(), 1u);
    EXPECT_DOUBLE_EQ(sim().object(a)->lat, 47.0);
    EXPECT_TRUE(g_positionFillBuffer->empty());
    EXPECT_TRUE(sim().object(a)->lights & LIGHT_NAV);
    ASSERT_EQ(g_pendingCreations.size(), 1u);
    EXPECT_NE(g_pendingCreations[0].packetId, 0u);
    EXPECT_EQ(callsNamed("AIRemoveObject").size(), 1u);

    sim().clearCalls();
    g_requestsBroken = true;
    queueEverything(40.0, a);
    frames(1);
    ASSERT_EQ(sim().calls().size(), 1u);
    EXPECT_EQ(sim().calls()[0].call, "AIRemoveObject") << "the removal must still reach the simulator";
    EXPECT_EQ(g_pendingCreations.size(), 1u);
}

TEST_F(FrameFlushTest, APassHandedOverWhileTheFlushRunsIsDroppedAtFiftyFramesOrFewer) {
    for (const float rate : {50.0f, 60.0f}) {
        SCOPED_TRACE(rate);
        g_frameRate = rate;
        sim().clearCalls();
        queuePosition(a, 45.0 + rate / 100.0);
        std::promise<void> held, release;
        std::thread holder([&] { locked([&] { held.set_value(), release.get_future().wait(); }); });
        held.get_future().wait();
        if (rate <= 50.0f) {
            gf_handOverPositions();   // must not wait: the mutex is released only after it returns
            release.set_value();
        } else {
            // Released only once the hand-over has chosen to wait: one that dropped the positions
            // instead has returned by then (and one that neither waits nor returns is given 20 s).
            const int waitsBefore = g_handOverWaits.load();
            auto handOver = std::async(std::launch::async, gf_handOverPositions);
            EXPECT_TRUE(eventually([&] {
                return g_handOverWaits.load() != waitsBefore || handOver.wait_for(0s) == std::future_status::ready;
            }));
            release.set_value();
            handOver.get();
        }
        holder.join();
        EXPECT_TRUE(g_positionFillBuffer->empty());
        frames(1);
        EXPECT_EQ(callsNamed("SetDataOnSimObject").size(), rate <= 50.0f ? 0u : 1u);
    }
    EXPECT_DOUBLE_EQ(sim().object(a)->lat, 45.6);
}

TEST_F(FrameFlushTest, LightEventsFlapsAndFailedTransmissions) {
    const std::uint32_t values[7] = {1, 1, 0, 1, 0, 1, 1};
    gf_queueLightEvents(a, values);
    gf_queueEngineAutoStart(a);
    queueFlaps(2);
    frames(1);
    std::vector<DWORD> sent;
    for (auto& c : callsNamed("TransmitClientEvent")) sent.push_back(c.d == GROUP_AI ? c.b : 0);
    EXPECT_EQ(sent, (std::vector<DWORD>{207, 206, 210, 208, 209, 212, 211, 220, 217}));
    EXPECT_EQ(callsNamed("AIReleaseControl").size(), 2u) << "flaps are bracketed by two releases";
    EXPECT_EQ(sim().object(a)->lights, LIGHT_NAV | LIGHT_BEACON | LIGHT_TAXI | LIGHT_LOGO | LIGHT_CABIN);
    EXPECT_TRUE(sim().object(a)->engineRunning);
    EXPECT_EQ(logText().find("SIMCON EXCEP"), std::string::npos) << "event 220 is accepted with group 301";

    sim().clearCalls();
    fail([](FailureSpec& f) { f.failTransmitCalls = 1; });
    queueFlaps(1);
    frames(1);
    EXPECT_EQ(callsNamed("AIReleaseControl").size(), 1u);
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "SimConnect TransmitClientEvent: 217 fails");
}

TEST_F(FrameFlushTest, RemovalsOfLowIdsAreRefusedFailuresCountedAndTheThirdBreaksRequests) {
    gf_queueAiRemoval(2);
    frames(1);
    EXPECT_TRUE(callsNamed("AIRemoveObject").empty());
    fail([](FailureSpec& f) { f.failRemoveCalls = 1; f.failCreateCalls = 1; });
    gf_queueAiRemoval(a);
    gf_queueAiCreateRequest(creation("FAIL1", "Title A", 10005));
    frames(1);
    EXPECT_EQ(g_requestErrorCount.load(), 2);
    EXPECT_TRUE(g_pendingCreations.empty());
    EXPECT_TRUE(exitRequests().empty());
    EXPECT_FALSE(g_requestsBroken.load());
    fail([](FailureSpec& f) { f.failRequestCalls = 1; });
    gf_requestUserOnGroundEverySecond();
    EXPECT_TRUE(g_requestsBroken.load());
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "SimConnect request error 3, see Log.txt");
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{EXIT_RESTART, 10}}));
    sim().clearCalls();
    gf_requestUserAircraftPosition();   // not sent any more
    EXPECT_TRUE(callsNamed("RequestDataOnSimObject").empty());
    g_userObjectId = 100;   // objects added at or below the user's id are not kept
    sim().addOtherAircraft({"t", "LOW", 47.46, 8.55, 0.0, true});
    frames(1);
    EXPECT_TRUE(g_justAddedObjects.empty());
}

// A hundred creations, every tenth with a title the simulator does not have, one a static with id 0;
// a refusal is reported for its own aircraft only, and a creation the simulator never answers stays.
TEST_F(FrameFlushTest, HundredCreationsAreMatchedOrReportedAsFailed) {
    // Pending creations with one callsign are taken first-first.
    g_pendingCreations = {{1, 11, "DUP"}, {2, 12, "X"}, {3, 13, "DUP"}, {4, 14, "Y"}};
    EXPECT_EQ(gf_takePendingCreation("DUP"), 11u);
    ASSERT_EQ(g_pendingCreations.size(), 3u);
    EXPECT_EQ(g_pendingCreations[0].callsign, "Y");   // the last record took the free place
    EXPECT_EQ(gf_takePendingCreation("DUP"), 13u);
    EXPECT_FALSE(gf_takePendingCreation("DUP").has_value());
    EXPECT_FALSE(gf_takePendingCreation("dup").has_value());
    g_pendingCreations = {{5, 0, "STATIC0*"}};
    EXPECT_EQ(gf_takePendingCreationByPacket(5), 0u) << "static id 0 is found, not mistaken for none";
    g_pendingCreations = {{99999, 10001, "ABC123"}};
    std::map<std::string, std::uint32_t> idOfTail;
    std::set<std::uint32_t> refused;
    for (std::uint32_t i = 0; i < 100; ++i) {
        const std::string tail = (i % 2 ? "LIVE" : "STAT") + std::to_string(i);
        const std::uint32_t id = i % 2 ? 0x400000 + i : i;   // statics 0..98, live above 10000
        const bool bad = i % 10 == 3;
        gf_queueAiCreateRequest(creation(tail, bad ? "Not Installed" : i % 2 ? "Title B" : "Title A", id));
        (bad ? refused.insert(id), void() : void(idOfTail[tail] = id));
    }
    frames(2);   // sent, then refusals handled and objects announced
    requestInRange();
    gf_simClientDispatchOnce();
    const auto events = gf_takeSimEvents();
    std::set<std::uint32_t> failed;
    for (const auto& e : eventsOfKind(events, SIM_EVENT_CREATE_FAILED)) failed.insert(e.objectId ? 1 : e.aircraftId);
    EXPECT_EQ(failed, refused);
    std::map<std::string, std::uint32_t> created;   // tail -> aircraft id, as the events tell
    for (const auto& e : events) {
        if (e.kind != SIM_EVENT_LIVE_CREATED && e.kind != SIM_EVENT_STATIC_CREATED) continue;
        const auto o = sim().object(e.objectId);
        ASSERT_TRUE(o.has_value());
        created[o->atcId] = e.aircraftId;
        EXPECT_EQ(e.kind, e.aircraftId > 10000 ? SIM_EVENT_LIVE_CREATED : SIM_EVENT_STATIC_CREATED);
        EXPECT_DOUBLE_EQ(e.value2, e.aircraftId > 10000 ? o->altitudeAboveGround() : 0.0);
    }
    EXPECT_EQ(created, idOfTail);
    ASSERT_EQ(g_pendingCreations.size(), 1u);
    EXPECT_EQ(g_pendingCreations[0].callsign, "ABC123");
    EXPECT_TRUE(g_justAddedObjects.empty());
}

// An exit with creations in flight: one made and announced but not yet matched, one sent and not yet
// made, one still queued. The queued one is never sent; the others leave as the simulator reports
// them, with nobody else asking for the aircraft in range, and nothing is left behind.
TEST_F(FrameFlushTest, AnExitRemovesTheObjectsOfCreationsStillInFlight) {
    gf_queueAiCreateRequest(creation("MADE1", "Title A", 0x400001));
    frames(2);   // sent, then made and announced
    ASSERT_EQ(g_justAddedObjects.size(), 1u);
    gf_queueAiCreateRequest(creation("SENT2", "Title B", 0x400002));
    frames(1);
    gf_queueAiCreateRequest(creation("QUEUED3", "Title A", 0x400003));
    exitFlag = true;
    EXPECT_GT(gf_creationsAwaitingAnswer(), 0);
    frames(30);
    EXPECT_EQ(gf_creationsAwaitingAnswer(), 0);
    EXPECT_EQ(callsNamed("AICreateNonATCAircraft").size(), 2u);
    EXPECT_EQ(callsNamed("AIRemoveObject").size(), 2u);
    EXPECT_EQ(sim().aiObjectCount(), 2u) << "the two aircraft that were there before";
    EXPECT_TRUE(eventsOfKind(gf_takeSimEvents(), SIM_EVENT_LIVE_CREATED).empty());
}

TEST_F(FrameFlushTest, GroundReportsOfObjectsInRangeAndOfStrangersAddedLater) {
    const double ground = baseScenario().groundElevation;
    startWith(baseScenario());
    gf_resetSimLinkForNextRun();
    const DWORD at = sim().addOtherAircraft({"t", "AT2500", 47.46, 8.55, ground + 2500.0, false});
    sim().addOtherAircraft({"t", "ABOVE", 47.46, 8.55, ground + 2500.1, false});
    sim().addOtherAircraft({"t", "PARKED*", 47.46, 8.55, 0.0, true});
    const DWORD empty = sim().addOtherAircraft({"t", "", 47.46, 8.55, 0.0, true});
    connect();
    frames(1);
    g_justAddedObjects.clear();   // present before the run: not just created by us
    requestInRange();
    gf_simClientDispatchOnce();
    std::map<DWORD, std::tuple<double, double, std::uint32_t>> byObject;   // ground, height, on the ground
    for (const auto& e : eventsOfKind(gf_takeSimEvents(), SIM_EVENT_GROUND_INFO))
        byObject[e.objectId] = {e.value1, e.value2, e.aircraftId};
    EXPECT_EQ(byObject, (std::map<DWORD, std::tuple<double, double, std::uint32_t>>{
                            {at, {ground, 2500.0, 0}}, {empty, {ground, baseScenario().staticCgToGround, 1}}}));
    locked([&] { SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), REQUEST_STATIC_CG, DEF_STATIC_CG, empty,
                                                   SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0); });   // a static's CG
    gf_simClientDispatchOnce();
    const auto cg = eventsOfKind(gf_takeSimEvents(), SIM_EVENT_STATIC_CG);
    ASSERT_EQ(cg.size(), 1u);
    EXPECT_EQ(std::tuple(cg[0].objectId, cg[0].value1, cg[0].value2),
              std::tuple(empty, baseScenario().staticCgToGround, baseScenario().staticPitch));

    // One not created by us is passed over while just added, then reported like any other.
    const DWORD stranger = sim().addOtherAircraft({"t", "STRANGER", 47.46, 8.55, 0.0, true});
    frames(1);
    ASSERT_EQ(g_justAddedObjects.size(), 1u);
    std::size_t reports = 0;
    for (int pass = 0; pass < 2; ++pass) {
        requestInRange();
        gf_simClientDispatchOnce();
        for (const auto& e : eventsOfKind(gf_takeSimEvents(), SIM_EVENT_GROUND_INFO)) reports += e.objectId == stranger;
    }
    EXPECT_EQ(reports, 1u);
}


}  // namespace
}  // namespace vrn::test
