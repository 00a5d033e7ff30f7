// One AI aircraft per real aircraft: static parked aircraft replaced by live ones, ghosts removed and
// blocked, identity changes from the feed, bulk removals; on the engine's lists and in the simulator.
#include "engine_fixture.h"

namespace vrn::test {
namespace {

using Identities = EngineTest;

TEST_F(Identities, NewLiveAircraftReplacesTheStaticOneOfTheSameAircraft) {
    const struct {
        const char* name; std::string liveCallsign, liveRegistration, liveCoupled; bool hexidValid;
        std::string staticRegistration, staticKnown, staticCoupled; int staticState; bool replaced;
    } cases[] = {
        {"same hexid", "SWR1", "", "", true, "", "", "", STATE_IN_SIM, true},
        {"hexid not learned", "SWR1", "", "", false, "", "", "", STATE_IN_SIM, false},
        {"same hexid, not yet created", "SWR1", "", "", true, "", "", "", STATE_CREATION_REQUESTED, false},
        {"same registration", "SWR1", "HB-JXA", "", false, "HB-JXA", "", "", STATE_IN_SIM, true},
        {"both registrations empty", "SWR1", "", "", false, "", "", "", STATE_IN_SIM, false},
        {"same callsign", "SWR1", "", "", false, "", "SWR1", "", STATE_IN_SIM, true},
        {"coupled callsign", "SWR1", "", "", false, "", "SWR2", "SWR1", STATE_IN_SIM, true},
        {"live coupled callsign", "SWR1", "", "SWR2", false, "", "SWR2", "", STATE_IN_SIM, true},
        {"live callsign with underscore", "SWR1_", "", "", false, "", "SWR1", "", STATE_IN_SIM, true},
        {"another aircraft", "SWR1", "HB-JXA", "", false, "HB-JXB", "SWR2", "SWR3", STATE_IN_SIM, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        Aircraft& s = parked("STA1*", from(user(), 0, 1.0), c.staticState);
        s.hexidValid = c.hexidValid;
        s.representedHexid = 20000;   // the id the first live aircraft gets
        s.registration = c.staticRegistration;
        s.knownCallsign = c.staticKnown;
        s.coupledCallsign = c.staticCoupled;
        LiveAircraft& n = live(c.liveCallsign, from(user(), 90, 1.0));
        n.registration = c.liveRegistration;
        n.coupledCallsign = c.liveCoupled;
        n.coupledSearchDone = true;
        g_newAircraftIds.push_back(n.aircraftId);
        gf_newAircraftAgainstStatic(DaySlot{});
        EXPECT_TRUE(g_newAircraftIds.empty());
        EXPECT_EQ(removed().count("STA1*"), c.replaced ? 1u : 0u);
        EXPECT_TRUE(c.staticState == STATE_IN_SIM || g_staticParked.front().state == c.staticState);
    }
}

TEST_F(Identities, FeedIdentityChanges) {
    const struct {
        const char* name; std::string callsign, departure, destination; bool onGround; int phase;
        bool guidChanges, accepted, recreated; std::string callsignAfter, routeAfter; std::set<std::string> gone;
    } cases[] = {
        {"nothing new", "SWR1", "LSZH", "EDDF", false, PHASE_AIRBORNE, true, true, false, "SWR1", "LSZHEDDF", {}},
        {"registration as callsign", "HB-JXA", "", "", false, PHASE_AIRBORNE, true, true, false, "SWR1", "LSZHEDDF", {}},
        {"route change", "SWR1", "LSGG", "LFPG", false, PHASE_AIRBORNE, true, false, true, "SWR1", "LSGGLFPG", {}},
        {"flying back home", "SWR1", "EDDF", "LSZH", false, PHASE_AIRBORNE, true, true, false, "SWR1", "LSZHEDDF", {}},
        {"route on the ground", "SWR1", "LSGG", "LFPG", true, PHASE_STAND_CLEANUP, false, true, false, "SWR1", "LSGGLFPG", {}},
        {"callsign, ghost", "EZY9", "", "", false, PHASE_AIRBORNE, true, false, true, "EZY9", "LSZHEDDF", {"EZY9_"}},
        {"callsign kept", "EZY9", "", "", false, PHASE_AIRBORNE, false, true, false, "EZY9", "LSZHEDDF", {"EZY9_"}},
        {"underscore name in use", "DLH5_", "", "", false, PHASE_AIRBORNE, true, false, false, "DLH5_", "LSZHEDDF", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        setParkAirport("LSZH");
        GUID_CHANGES.set(c.guidChanges);
        LiveAircraft& a = live("SWR1", from(user(), 0, 3.0), c.onGround);
        std::tie(a.registration, a.departure, a.destination, a.phase) = std::tuple{"HB-JXA", "LSZH", "EDDF", c.phase};
        live("EZY9_", from(user(), 90, 3.0));
        live("DLH5", from(user(), 180, 3.0));
        TrafficUpdate update{Flight{"", "A320", c.departure, c.destination, c.callsign, c.callsign, "", ""}, a.samples.back()};
        update.hexid = a.aircraftId;
        update.timeStamp = a.lastSampleTime + 1000.0;
        update.sample.duePass = kNeverDue;
        { std::lock_guard lock(g_trafficMutex); g_trafficQueue.push_back(update); }
        gf_trafficTick();
        const LiveAircraft& after = g_liveAircraft.front();
        EXPECT_EQ(after.lastSampleTime == update.timeStamp, c.accepted);
        EXPECT_EQ(after.state == STATE_TO_RECREATE, c.recreated);
        EXPECT_EQ(after.callsign, c.callsignAfter);
        EXPECT_EQ(after.departure + after.destination, c.routeAfter);
        std::set<std::string> gone = c.gone;
        if (c.recreated) gone.insert("SWR1");
        EXPECT_EQ(removed(), gone);
        EXPECT_EQ(std::count(g_blockedCallsigns.begin(), g_blockedCallsigns.end(), "EZY9_"), c.gone.empty() ? 0 : 1);
    }
}

TEST_F(Identities, AnAircraftTowedAfterAShortStayKeepsItsIdentityUntilItParks) {
    GUID_CHANGES.set(false);
    LiveAircraft& a = live("SWR1", from(user(), 0, 1.0));
    a.standPosition = from(user(), 0, 1.0);
    a.phase = PHASE_AT_STAND;
    a.shortStayCheck = 1;
    a.extrapolationCount = 1;
    a.samples.front().duePass = g_tickCounter.load();
    lf_restartSamplePlay(a);
    EXPECT_TRUE(a.shortStay && a.towing);
    Flight renamed = flight("SWR2");
    EXPECT_TRUE(lf_flightDataChange(a, renamed));
    EXPECT_EQ(a.callsign, "SWR1");
    lf_towedParks(a);
    EXPECT_FALSE(a.towing);
    lf_flightDataChange(a, renamed);
    EXPECT_EQ(a.callsign, "SWR2");
}

TEST_F(Identities, GhostsInEveryStateAndNoLateRevival) {
    // Not yet created: only marked; creation requested and already sent: removed as soon as its object
    // arrives, never put into the simulator's state; in the simulator: removed.
    live("AAL1_", from(user(), 0, 3.0), false, 3000.0, 0.0, STATE_NEW);
    LiveAircraft& sent = live("BAW2_", from(user(), 0, 3.1), false, 3000.0, 0.0, STATE_CREATION_REQUESTED);
    const std::uint32_t sentId = sent.aircraftId;
    live("KLM3_", from(user(), 0, 3.2), false, 3000.0);
    for (const char* base : {"AAL1", "BAW2", "KLM3"}) lf_ghost(base);
    EXPECT_EQ(g_blockedCallsigns, (std::vector<std::string>{"AAL1_", "BAW2_", "KLM3_"}));
    EXPECT_EQ(g_liveAircraft[0].removeMark, 1);
    EXPECT_TRUE(g_liveAircraft[1].removeWhenCreated);

    const std::uint32_t late = object("BAW2_", from(user(), 0, 3.1), 3000.0, false);
    gf_queueSimEvent({late, sentId, 0, SIM_EVENT_LIVE_CREATED, 0.0, 3000.0});
    EXPECT_EQ(removed(), (std::set<std::string>{"BAW2_", "KLM3_"}));
    for (const LiveAircraft& a : g_liveAircraft) EXPECT_NE(a.state, STATE_IN_SIM) << a.callsign;
}

TEST_F(Identities, BulkRemovalsVisitEveryAircraftOnceAndKeepOrder) {
    // Two records share a callsign; the first's request already went to the simulator.
    for (const char* callsign : {"SWR1", "SWR1", "SWR2", "SWR3"}) {
        LiveAircraft& a = live(callsign, from(user(), 0, 3.0), false, 3000.0, 0.0, STATE_CREATION_REQUESTED);
        if (g_liveAircraft.size() > 1) g_liveCreationQueue.push_back(creation(callsign, "Title A", a.aircraftId));
    }
    live("SWR4", from(user(), 0, 3.0), false, 3000.0);
    const std::uint32_t firstId = g_liveAircraft.front().aircraftId;
    EXPECT_TRUE(gf_cancelQueuedCreation("SWR2"));
    ASSERT_EQ(g_liveCreationQueue.size(), 2u);
    EXPECT_EQ(g_liveCreationQueue[0].aircraftId, firstId + 1);
    EXPECT_EQ(g_liveCreationQueue[1].aircraftId, firstId + 3);
    EXPECT_EQ(g_liveAircraft.size(), 5u);   // marked only: callers may be walking the list

    gf_dropLiveAircraft();
    EXPECT_TRUE(g_liveCreationQueue.empty());
    EXPECT_TRUE(g_liveAircraft.front().removeWhenCreated);
    EXPECT_EQ(removed(), std::set<std::string>{"SWR4"});
    EXPECT_TRUE(std::all_of(g_liveAircraft.begin(), g_liveAircraft.end(),
                            [](const LiveAircraft& a) { return a.state == STATE_REMOVING; }));

    // Static ones: the second's request is queued under the same tail number.
    parked("STA1*", from(user(), 0, 1.0), STATE_CREATION_REQUESTED);
    parked("STA1*", from(user(), 0, 1.1), STATE_CREATION_REQUESTED);
    g_staticCreationQueue.push_back(creation("STA1*", "Title A", g_staticParked.back().aircraftId));
    parked("STA2*", from(user(), 0, 1.2));
    gf_removeStaticParked();
    EXPECT_TRUE(g_staticParked[0].removeWhenCreated);
    EXPECT_EQ(g_staticParked[1].state, STATE_REMOVING);
    EXPECT_EQ(removed(), (std::set<std::string>{"SWR4", "STA2*"}));
    EXPECT_EQ(g_staticParked.size(), 1u);   // the cancelled one swept, the flagged one waits for its object
}

}  // namespace
}  // namespace vrn::test
