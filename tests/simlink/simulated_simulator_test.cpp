// The simulated simulator on its own: installed titles, scenario, creations, requests and trace.
#include <cstring>

#include <nlohmann/json.hpp>

#include "platform/simconnect/simulated_simulator.h"
#include "support/test_support.h"
#include <gtest/gtest.h>

namespace vrn::test {
namespace {

using namespace simconnect;

// Collects what one connection receives.
struct Inbox {
    std::vector<std::vector<std::uint8_t>> records;
    static void proc(SIMCONNECT_RECV* r, DWORD size, void* context) {
        auto* self = static_cast<Inbox*>(context);
        const auto* b = reinterpret_cast<const std::uint8_t*>(r);
        self->records.emplace_back(b, b + size);
    }
    template <typename T>
    std::vector<T> all(DWORD id) const {
        std::vector<T> out;
        for (const auto& r : records) {
            SIMCONNECT_RECV h;
            std::memcpy(&h, r.data(), sizeof h);
            if (h.dwID != id) continue;
            T t{};
            std::memcpy(&t, r.data(), std::min(sizeof t, r.size()));
            out.push_back(t);
        }
        return out;
    }
};

TEST(FltsimTitles, ReadsTheTitlesOfFltsimSectionsOnly) {
    struct Case {
        std::string text;
        std::vector<std::string> titles;
    };
    const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("[\0F\0L\0T\0S\0I\0M\0.\0" "0\0]\0\n\0t\0i\0t\0l\0e\0=\0\xE9\0\n\0", 36);
    const std::vector<Case> cases{
        {"[FLTSIM.0]\ntitle = \"A B\" ; note\n[FLTSIM.1]\ntitle=C;x\n", {"A B", "C"}},
        {"[fltsim.12]\r\n  TITLE  =  \"Quoted ; semicolon\"\r\n", {"Quoted ; semicolon"}},
        {"[GENERAL]\ntitle = general\n[FLTSIM.X]\ntitle = bad\n[FLTSIM.]\ntitle = bad\n", {}},
        {"\xEF\xBB\xBF[FLTSIM.0]\ntitle = bom\n", {"bom"}},
        {"[FLTSIM.0]\ntitle = \"\"\n[FLTSIM.1]\ntitle = \"unterminated\n", {"unterminated"}},
        {"[FLTSIM.0]\ntitle = first\ntitle = second\n", {"first"}},
        {utf16, {"\xC3\xA9"}},
        {"", {}},
        {"\xFF\xFE", {}},
    };
    for (const auto& c : cases) EXPECT_EQ(gf_readFltsimTitles(c.text), c.titles) << c.text;
}

TEST(FltsimTitles, ScansCommunityAndOfficialFolders) {
    const auto titles = gf_scanInstalledTitles(testDataPath("simlink/packages"));
    EXPECT_EQ(titles, (std::set<std::string>{"Community Jet Red", "Community Jet Blue", "Official Prop"}));
    EXPECT_TRUE(gf_scanInstalledTitles(testDataPath("simlink/no-such-folder")).empty());
}

TEST(FltsimTitles, ReadsARealAircraftPackage) {
    if (!realDataAvailable()) GTEST_SKIP() << "real data folder absent";
    // The package as the simulator's Community folder would hold it (aircraft.cfg and aircraft.CFG).
    TempDir packages;
    std::filesystem::create_directories(packages / "Community");
    std::filesystem::copy(realDataPath("aircraft-cfg/fsltl-traffic-base"), packages / "Community" / "fsltl",
                          std::filesystem::copy_options::recursive);
    const auto titles = gf_scanInstalledTitles(packages.path());
    EXPECT_GE(titles.size(), 200u);
    EXPECT_TRUE(titles.count("FSLTL_FAIB_B763_FDX-FedEx"));
    EXPECT_TRUE(titles.count("FSLTL_A320_ZZZZ"));
}

TEST(SimScenarioFile, ReadsEveryPartAndRejectsMalformedText) {
    const auto s = gf_loadSimScenario(testDataPath("simlink/scenario.json"));
    EXPECT_EQ(s.appVersion[2], 282174u);
    EXPECT_EQ(s.packagesFolder, testDataPath("simlink/packages"));   // relative to the file
    ASSERT_EQ(s.user.path.size(), 2u);
    EXPECT_FALSE(s.user.path[1].onGround);
    ASSERT_EQ(s.timeline.size(), 3u);
    EXPECT_EQ(s.timeline[2].event, "quit");
    EXPECT_TRUE(s.failures.refuseTitles.count("Extra Title"));
    EXPECT_DOUBLE_EQ(s.groundElevation, 83.0);   // from the user standing on the ground

    // Path points are flown in the order of their times, however the file lists them.
    const auto unsorted = gf_parseSimScenario(R"({"user": {"path": [{"t": 5, "lat": 2}, {"t": 1, "lat": 1}]}})");
    ASSERT_EQ(unsorted.user.path.size(), 2u);
    EXPECT_EQ(unsorted.user.path[0].lat, 1.0);

    // Dates out of range would leave the clock's date arithmetic spinning.
    for (const std::string bad : {"", "[1,2]", "{\"frameRate\": 0}", "{\"version\": \"x\"}",
                                  "{\"timeline\": [{\"event\": \"quit\"}]}", "{\"firstAiObjectId\": 1}",
                                  "{\"zuluSeconds\": 1e300}", "{\"zuluSeconds\": -1}", "{\"zuluDayOfYear\": 0}",
                                  "{\"zuluDayOfYear\": 400}", "{\"zuluYear\": 0}", "{\"user\": 5}",
                                  "{\"version\": 2.2e21}", "{\"maxObjects\": -1}", "{\"appVersion\": [1, \"x\"]}"})
        EXPECT_THROW(gf_parseSimScenario(bad), std::runtime_error) << bad;
    EXPECT_THROW(gf_loadSimScenario(testDataPath("simlink/none.json")), std::runtime_error);
}

class SimulatorTest : public ::testing::Test {
protected:
    SimulatedSimulator sim;
    HANDLE h = nullptr;
    Inbox inbox;
    TempDir dir;

    void start(SimScenario s) {
        s.tracePath = dir / "trace.jsonl";
        sim.reset(s, ClockMode::Manual);
        ASSERT_EQ(sim.open(&h, "Varnel"), S_OK);
        sim.subscribe(h, 1, "ObjectAdded");
        sim.subscribe(h, 2, "ObjectRemoved");
        sim.subscribe(h, 3, "Frame");
        dispatch();
        inbox.records.clear();
    }
    void dispatch() { sim.callDispatch(h, &Inbox::proc, &inbox); }
    DWORD packet() {
        DWORD p = 0;
        sim.lastSentPacketId(h, &p);
        return p;
    }
};

TEST_F(SimulatorTest, OpenFailsAsOftenAsTheScenarioSays) {
    SimScenario s;
    s.openFailures = 2;
    sim.reset(s, ClockMode::Manual);
    EXPECT_EQ(sim.open(&h, "Varnel"), E_FAIL);
    EXPECT_EQ(sim.open(&h, "Varnel"), E_FAIL);
    EXPECT_EQ(sim.open(&h, "Varnel"), S_OK);
    dispatch();
    const auto opens = inbox.all<SIMCONNECT_RECV_OPEN>(SIMCONNECT_RECV_ID_OPEN);
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_STREQ(opens[0].szApplicationName, "SunRise");
    s.simulatorRunning = false;
    sim.reset(s, ClockMode::Manual);
    EXPECT_EQ(sim.open(&h, "Varnel"), E_FAIL);
}

TEST_F(SimulatorTest, CreationRefusalAddAndRemoveFollowTheFrames) {
    SimScenario s;
    s.installedTitles = {"Good", "Refused"};
    s.failures.refuseTitles = {"Refused"};
    start(s);
    SIMCONNECT_DATA_INITPOSITION pos{};
    pos.Latitude = 47.0;
    pos.OnGround = 1;
    ASSERT_EQ(sim.createAircraft(h, "Good", "ABCDEFGHIJKLMNOP", pos, 104), S_OK);
    ASSERT_EQ(sim.createAircraft(h, "Unknown", "X1", pos, 104), S_OK);
    const DWORD unknownPacket = packet();
    ASSERT_EQ(sim.createAircraft(h, "Refused", "X2", pos, 104), S_OK);
    const DWORD refusedPacket = packet();
    dispatch();
    auto ex = inbox.all<SIMCONNECT_RECV_EXCEPTION>(SIMCONNECT_RECV_ID_EXCEPTION);
    ASSERT_EQ(ex.size(), 2u);
    EXPECT_EQ(ex[0].dwException, 22u);
    EXPECT_EQ(ex[0].dwSendID, unknownPacket);
    EXPECT_EQ(ex[1].dwSendID, refusedPacket);
    const auto assigned = inbox.all<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID);
    ASSERT_EQ(assigned.size(), 1u);
    const DWORD id = assigned[0].dwObjectID;
    EXPECT_TRUE(inbox.all<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE).empty());
    EXPECT_EQ(sim.object(id)->atcId, "ABCDEFGHIJKL") << "tail numbers keep 12 characters";

    inbox.records.clear();
    sim.step();
    dispatch();
    auto added = inbox.all<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].uEventID, 1u);
    EXPECT_EQ(added[0].dwData, id);
    EXPECT_EQ(inbox.all<SIMCONNECT_RECV_EVENT_FRAME>(SIMCONNECT_RECV_ID_EVENT_FRAME).size(), 1u);

    inbox.records.clear();
    sim.removeObject(h, id, 105);
    sim.removeObject(h, 1, 105);   // the user
    sim.step();
    dispatch();
    added = inbox.all<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].uEventID, 2u);
    ex = inbox.all<SIMCONNECT_RECV_EXCEPTION>(SIMCONNECT_RECV_ID_EXCEPTION);
    ASSERT_EQ(ex.size(), 1u);
    EXPECT_EQ(ex[0].dwException, 24u);
    EXPECT_EQ(sim.aiObjectCount(), 0u);
}

TEST_F(SimulatorTest, RequestsCheckTheirDefinitionsAndSizes) {
    start(SimScenario{});
    sim.addToDefinition(h, 1, "Plane Latitude", "degree", SIMCONNECT_DATATYPE_FLOAT64);
    sim.addToDefinition(h, 1, "No Such Variable", "x", SIMCONNECT_DATATYPE_FLOAT64);
    sim.addToDefinition(h, 2, "TITLE", nullptr, SIMCONNECT_DATATYPE_FLOAT64);   // text as a number
    double lat = 12.5;
    sim.setData(h, 1, 1, 0, 4, &lat);   // wrong size
    sim.setData(h, 1, 1, 0, 8, &lat);
    sim.setData(h, 9, 1, 0, 8, &lat);   // unknown definition
    sim.requestData(h, 7, 1, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE);
    sim.requestData(h, 8, 1, 555, SIMCONNECT_PERIOD_ONCE);   // unknown object
    dispatch();
    std::vector<DWORD> codes;
    for (const auto& e : inbox.all<SIMCONNECT_RECV_EXCEPTION>(SIMCONNECT_RECV_ID_EXCEPTION)) codes.push_back(e.dwException);
    EXPECT_EQ(codes, (std::vector<DWORD>{7, 7, 19, 3, 3}));
    ASSERT_EQ(inbox.records.size(), 6u);
    const auto& reply = inbox.records[4];
    ASSERT_GE(reply.size(), SIMOBJECT_DATA_OFFSET + 8);
    double got;
    std::memcpy(&got, reply.data() + SIMOBJECT_DATA_OFFSET, 8);
    EXPECT_DOUBLE_EQ(got, 12.5);
}

TEST_F(SimulatorTest, TimelinePausesQuitsAndTraces) {
    SimScenario s;
    s.frameRate = 10;
    s.timeline = {{1.0, "pause", ""}, {2.0, "unpause", ""}, {3.0, "quit", ""}};
    s.user.path = {{0.0, 10.0, 20.0, 0, 0, 0, true}, {10.0, 11.0, 20.0, 0, 0, 0, true}};
    start(s);
    sim.step(15);   // 1 s running, 0.5 s paused
    EXPECT_NEAR(sim.object(1)->lat, 10.1, 1e-9) << "the user does not move while paused";
    sim.step(20);
    EXPECT_FALSE(sim.isRunning());
    dispatch();
    EXPECT_EQ(inbox.all<SIMCONNECT_RECV>(SIMCONNECT_RECV_ID_QUIT).size(), 1u);
    EXPECT_EQ(sim.callDispatch(h, &Inbox::proc, &inbox), E_FAIL) << "a quit simulator's connection is dead";
    const auto lines = readLinesOf(dir / "trace.jsonl");
    int seconds = 0;
    bool quit = false;
    for (const auto& l : lines) {
        const auto j = nlohmann::json::parse(l);
        if (j.contains("objects")) ++seconds;
        if (j.value("event", "") == "quit") quit = true;
    }
    EXPECT_EQ(seconds, 2);
    EXPECT_TRUE(quit);
}

}  // namespace
}  // namespace vrn::test
