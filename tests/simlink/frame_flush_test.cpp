// Command queues, the frame flush and the creation matching against the simulated simulator.
#include <future>
#include <thread>

#include "link_fixture.h"

namespace vrn::test {
namespace {

using namespace simconnect;

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
    void queuePosition(DWORD objectId, double lat) {
        PositionUpdate p;
        p.latitude = lat;
        p.longitude = 8.5;
        p.altitude = 3000.0;
        p.objectId = objectId;
        g_positionFillBuffer->push_back(p);
    }
};

TEST_F(FrameFlushTest, BusyMutexSkipsTheFrameAndTheNextSendsAllInOrder) {
    queuePosition(a, 47.0);
    queuePosition(2, 47.0);   // at or below the user's object id: never sent
    gf_swapPositionBuffers();
    gf_queueNavLights(a, 1);
    gf_queueAiCreateRequest(creation("NEW1", "Title A", 10001));
    gf_queueAiRemoval(b);

    std::promise<void> locked, release;
    std::thread holder([&] {
        std::lock_guard lock(g_simCommandMutex);
        locked.set_value();
        release.get_future().wait();
    });
    locked.get_future().wait();
    frames(1);
    release.set_value();
    holder.join();
    EXPECT_TRUE(sim().calls().empty()) << "nothing may be sent while the run thread holds the queues";

    frames(1);
    std::vector<std::string> order;
    for (auto& c : sim().calls())
        if (order.empty() || order.back() != c.call) order.push_back(c.call);
    EXPECT_EQ(order, (std::vector<std::string>{"SetDataOnSimObject", "TransmitClientEvent", "AICreateNonATCAircraft",
                                               "AIRemoveObject"}));
    EXPECT_EQ(callsNamed("SetDataOnSimObject").size(), 1u);
    EXPECT_DOUBLE_EQ(sim().object(a)->lat, 47.0);
    EXPECT_TRUE(sim().object(a)->lights & LIGHT_NAV);
    EXPECT_EQ(g_pendingCreations.size(), 1u);
    EXPECT_EQ(g_pendingCreations[0].callsign, "NEW1");
    EXPECT_NE(g_pendingCreations[0].packetId, 0u);
    frames(1);
    EXPECT_FALSE(sim().object(b).has_value());
    EXPECT_EQ(eventsOfKind(gf_takeSimEvents(), SIM_EVENT_OBJECT_REMOVED).size(), 1u);
}

TEST_F(FrameFlushTest, OnlyTheNewestPositionsOfAPassAreSent) {
    queuePosition(a, 46.0);
    gf_swapPositionBuffers();   // not flushed before the next swap
    queuePosition(a, 46.5);
    gf_swapPositionBuffers();
    frames(1);
    EXPECT_EQ(callsNamed("SetDataOnSimObject").size(), 1u);
    EXPECT_DOUBLE_EQ(sim().object(a)->lat, 46.5);
    EXPECT_TRUE(g_positionFillBuffer->empty());
}

TEST_F(FrameFlushTest, LightEventsFlapsAndFailedTransmissions) {
    const std::uint32_t values[7] = {1, 1, 0, 1, 0, 1, 1};
    gf_queueLightEvents(a, values);
    gf_queueEngineAutoStart(a);
    {
        std::lock_guard lock(g_simCommandMutex);
        g_clientEvents.push_back({a, FLAPS_SET, 2});
    }
    frames(1);
    std::vector<DWORD> sent;
    for (auto& c : callsNamed("TransmitClientEvent")) {
        EXPECT_EQ(c.d, GROUP_AI);
        sent.push_back(c.b);
    }
    EXPECT_EQ(sent, (std::vector<DWORD>{207, 206, 210, 208, 209, 212, 211, 220, 217}));
    EXPECT_EQ(callsNamed("AIReleaseControl").size(), 2u) << "flaps are bracketed by two releases";
    const auto o = *sim().object(a);
    EXPECT_EQ(o.lights, LIGHT_NAV | LIGHT_BEACON | LIGHT_TAXI | LIGHT_LOGO | LIGHT_CABIN);
    EXPECT_TRUE(o.engineRunning);
    EXPECT_EQ(logText().find("SIMCON EXCEP"), std::string::npos) << "event 220 is accepted with group 301";

    sim().clearCalls();
    FailureSpec f;
    f.failTransmitCalls = 1;
    sim().setFailures(f);
    {
        std::lock_guard lock(g_simCommandMutex);
        g_clientEvents.push_back({a, FLAPS_SET, 1});
    }
    frames(1);
    EXPECT_EQ(callsNamed("AIReleaseControl").size(), 1u);
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "SimConnect TransmitClientEvent: 217 fails");
}

TEST_F(FrameFlushTest, RemovalsOfLowIdsAreRefusedAndFailuresCounted) {
    gf_queueAiRemoval(2);
    frames(1);
    EXPECT_TRUE(callsNamed("AIRemoveObject").empty());
    EXPECT_NE(logText().find("!Simconnect call to remove AI ac with objectId 2"), std::string::npos);

    FailureSpec f;
    f.failRemoveCalls = 1;
    f.failCreateCalls = 1;
    sim().setFailures(f);
    gf_queueAiRemoval(a);
    gf_queueAiCreateRequest(creation("FAIL1", "Title A", 10005));
    frames(1);
    EXPECT_EQ(g_requestErrorCount.load(), 2);
    EXPECT_TRUE(g_pendingCreations.empty());
    const std::string log = logText();
    EXPECT_NE(log.find("!Simconnect call to remove AI ac from sim failed, id " + std::to_string(a) + "?"),
              std::string::npos);
    EXPECT_NE(log.find("! Simcon call to create ac in sim failed, hexid:10005, liv: \"Title A\", callsign: FAIL1"),
              std::string::npos);
}

TEST_F(FrameFlushTest, BrokenRequestsDropEverythingButRemovals) {
    g_requestsBroken = true;
    queuePosition(a, 40.0);
    gf_swapPositionBuffers();
    gf_queueNavLights(a, 1);
    gf_queueAiCreateRequest(creation("NEW2", "Title A", 10002));
    gf_queueAiRemoval(b);
    frames(2);
    EXPECT_TRUE(callsNamed("SetDataOnSimObject").empty());
    EXPECT_TRUE(callsNamed("TransmitClientEvent").empty());
    EXPECT_TRUE(callsNamed("AICreateNonATCAircraft").empty());
    EXPECT_TRUE(g_pendingCreations.empty());
    EXPECT_FALSE(sim().object(b).has_value()) << "the removal must still reach the simulator";
}

// A hundred creations, every tenth with a title the simulator does not have, one of them a static
// aircraft with id 0.
TEST_F(FrameFlushTest, HundredCreationsAreMatchedOrReportedAsFailed) {
    std::vector<std::string> titles{"Title A", "Title B", "Not Installed"};
    std::map<std::string, std::uint32_t> idOfTail;
    std::set<std::uint32_t> refused;
    for (std::uint32_t i = 0; i < 100; ++i) {
        const std::string tail = i % 2 ? "LIVE" + std::to_string(i) : "STAT" + std::to_string(i);
        const std::uint32_t id = i % 2 ? 0x400000 + i : i;   // statics 0..98, live above 10000
        const bool bad = i % 10 == 3;
        gf_queueAiCreateRequest(creation(tail, bad ? titles[2] : titles[i % 2], id));
        (bad ? refused.insert(id), void() : void(idOfTail[tail] = id));
    }
    frames(1);   // sent; refusals come back as exceptions
    EXPECT_EQ(g_pendingCreations.size(), 100u);
    frames(1);   // refusals handled, objects announced
    EXPECT_EQ(g_pendingCreations.size(), 90u);
    EXPECT_EQ(g_justAddedObjects.size(), 90u);
    requestInRange();
    gf_simClientDispatchOnce();

    const auto events = gf_takeSimEvents();
    std::set<std::uint32_t> failed;
    for (const auto& e : eventsOfKind(events, SIM_EVENT_CREATE_FAILED)) failed.insert(e.aircraftId);
    EXPECT_EQ(failed, refused);
    std::size_t matched = 0;
    for (const auto& e : events) {
        if (e.kind != SIM_EVENT_LIVE_CREATED && e.kind != SIM_EVENT_STATIC_CREATED) continue;
        const auto o = sim().object(e.objectId);
        ASSERT_TRUE(o.has_value());
        EXPECT_EQ(idOfTail.at(o->atcId), e.aircraftId) << o->atcId;
        EXPECT_EQ(e.kind, e.aircraftId > 10000 ? SIM_EVENT_LIVE_CREATED : SIM_EVENT_STATIC_CREATED);
        EXPECT_DOUBLE_EQ(e.value2, e.aircraftId > 10000 ? o->altitudeAboveGround() : 0.0);
        ++matched;
    }
    EXPECT_EQ(matched, 90u);
    EXPECT_TRUE(g_pendingCreations.empty());
    EXPECT_TRUE(g_justAddedObjects.empty());

    frames(1);   // the freezes go out
    for (const auto& [tail, id] : idOfTail) {
        const auto o = sim().objectByAtcId(tail);
        ASSERT_TRUE(o.has_value());
        EXPECT_TRUE(o->released && o->freezeLatLon && o->freezeAltitude && o->freezeAttitude) << tail;
    }
}

TEST_F(FrameFlushTest, GroundReportsOfObjectsInRange) {
    auto s = baseScenario();
    const double ground = s.groundElevation;
    startWith(s);
    gf_resetSimLinkForNextRun();
    const DWORD at = sim().addOtherAircraft({"t", "AT2500", 47.46, 8.55, ground + 2500.0, false});
    const DWORD above = sim().addOtherAircraft({"t", "ABOVE", 47.46, 8.55, ground + 2500.1, false});
    const DWORD star = sim().addOtherAircraft({"t", "PARKED*", 47.46, 8.55, 0.0, true});
    const DWORD empty = sim().addOtherAircraft({"t", "", 47.46, 8.55, 0.0, true});
    connect();
    frames(1);
    g_justAddedObjects.clear();   // present before the run: not just created by us
    requestInRange();
    gf_simClientDispatchOnce();
    std::map<DWORD, SimEvent> byObject;
    for (const auto& e : eventsOfKind(gf_takeSimEvents(), SIM_EVENT_GROUND_INFO)) byObject[e.objectId] = e;
    EXPECT_EQ(byObject.size(), 2u);
    ASSERT_TRUE(byObject.count(at));
    EXPECT_DOUBLE_EQ(byObject[at].value2, 2500.0);
    EXPECT_DOUBLE_EQ(byObject[at].value1, ground);
    EXPECT_EQ(byObject[at].aircraftId, 0u);
    ASSERT_TRUE(byObject.count(empty));
    EXPECT_EQ(byObject[empty].aircraftId, 1u);   // on the ground
    EXPECT_FALSE(byObject.count(above));
    EXPECT_FALSE(byObject.count(star));
}

TEST_F(FrameFlushTest, AnUnmatchedNewObjectIsLoggedOnceThenReportedLikeAnyOther) {
    const DWORD stranger = sim().addOtherAircraft({"t", "STRANGER", 47.46, 8.55, 0.0, true});
    frames(1);
    ASSERT_EQ(g_justAddedObjects.size(), 1u);
    requestInRange();
    gf_simClientDispatchOnce();
    EXPECT_NE(logText().find("just created, but not by Varnel, oid: " + std::to_string(stranger) +
                             ", callsign \"STRANGER\" unknown"),
              std::string::npos);
    requestInRange();
    gf_simClientDispatchOnce();
    std::size_t reports = 0;
    for (const auto& e : eventsOfKind(gf_takeSimEvents(), SIM_EVENT_GROUND_INFO)) reports += e.objectId == stranger;
    EXPECT_EQ(reports, 1u);
}

TEST_F(FrameFlushTest, PendingCreationsWithOneCallsignAreTakenFirstFirst) {
    g_pendingCreations = {{1, 11, "DUP"}, {2, 12, "X"}, {3, 13, "DUP"}, {4, 14, "Y"}};
    EXPECT_EQ(gf_takePendingCreation("DUP"), 11u);
    // The last record took the free place.
    ASSERT_EQ(g_pendingCreations.size(), 3u);
    EXPECT_EQ(g_pendingCreations[0].callsign, "Y");
    EXPECT_EQ(gf_takePendingCreation("DUP"), 13u);
    EXPECT_FALSE(gf_takePendingCreation("DUP").has_value());
    EXPECT_FALSE(gf_takePendingCreation("dup").has_value());
    g_pendingCreations = {{5, 0, "STATIC0*"}};
    EXPECT_EQ(gf_takePendingCreationByPacket(5), 0u) << "static id 0 is found, not mistaken for none";
}

TEST_F(FrameFlushTest, ObjectsAddedAtOrBelowTheUsersIdAreNotKept) {
    g_userObjectId = 100;
    sim().addOtherAircraft({"t", "LOW", 47.46, 8.55, 0.0, true});
    frames(1);
    EXPECT_TRUE(g_justAddedObjects.empty());
}

}  // namespace
}  // namespace vrn::test
