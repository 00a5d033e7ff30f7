// The simulated simulator on its own: installed titles, scenario, creations, requests and trace.
#include <cstring>

#include <nlohmann/json.hpp>

#include "platform/simconnect/simulated_simulator.h"
#include "support/test_support.h"
#include <gtest/gtest.h>

namespace vrn::test {
namespace {

using namespace simconnect;

struct Inbox {   // what one connection receives
    std::vector<std::vector<std::uint8_t>> records;
    static void proc(SIMCONNECT_RECV* r, DWORD size, void* context) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(r);
        static_cast<Inbox*>(context)->records.emplace_back(b, b + size);
    }
    template <typename T>
    std::vector<T> all(DWORD id) const {
        std::vector<T> out;
        for (const auto& r : records) {
            T t{};
            std::memcpy(&t, r.data(), std::min(sizeof t, r.size()));
            if (t.dwID == id) out.push_back(t);
        }
        return out;
    }
};

TEST(FltsimTitles, ReadsTheTitlesOfFltsimSectionsOnly) {
    const std::string utf16 = std::string("\xFF\xFE", 2) + std::string("[\0F\0L\0T\0S\0I\0M\0.\0" "0\0]\0\n\0t\0i\0t\0l\0e\0=\0\xE9\0\n\0", 36);
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
        {"[FLTSIM.0]\ntitle = \"A B\" ; note\n[FLTSIM.1]\ntitle=C;x\n", {"A B", "C"}},
        {"[fltsim.12]\r\n  TITLE  =  \"Quoted ; semicolon\"\r\n", {"Quoted ; semicolon"}},
        {"[GENERAL]\ntitle = general\n[FLTSIM.X]\ntitle = bad\n[FLTSIM.]\ntitle = bad\n", {}},
        {"\xEF\xBB\xBF[FLTSIM.0]\ntitle = bom\n", {"bom"}},
        {"[FLTSIM.0]\ntitle = \"\"\n[FLTSIM.1]\ntitle = \"unterminated\n", {"unterminated"}},
        {"[FLTSIM.0]\ntitle = first\ntitle = second\n", {"first"}},
        {utf16, {"\xC3\xA9"}},
        {"", {}}, {"\xFF\xFE", {}},
    };
    for (const auto& [text, titles] : cases) EXPECT_EQ(gf_readFltsimTitles(text), titles) << text;
}

TEST(FltsimTitles, ScansCommunityAndOfficialFoldersAndARealPackage) {
    EXPECT_EQ(gf_scanInstalledTitles(testDataPath("simlink/packages")),
              (std::set<std::string>{"Community Jet Red", "Community Jet Blue", "Official Prop"}));
    EXPECT_TRUE(gf_scanInstalledTitles(testDataPath("simlink/no-such-folder")).empty());
    if (!realDataAvailable()) GTEST_SKIP() << "real data folder absent";
    TempDir packages;   // the package as a Community folder holds it (aircraft.cfg and aircraft.CFG)
    std::filesystem::create_directories(packages / "Community");
    std::filesystem::copy(realDataPath("aircraft-cfg/fsltl-traffic-base"), packages / "Community" / "fsltl",
                          std::filesystem::copy_options::recursive);
    const auto titles = gf_scanInstalledTitles(packages.path());
    EXPECT_GE(titles.size(), 200u);
    EXPECT_TRUE(titles.count("FSLTL_FAIB_B763_FDX-FedEx") && titles.count("FSLTL_A320_ZZZZ"));
}

TEST(SimScenarioFile, ReadsEveryPartAndRejectsMalformedText) {
    const auto s = gf_loadSimScenario(testDataPath("simlink/scenario.json"));
    EXPECT_EQ(s.appVersion[2], 282174u);
    EXPECT_EQ(s.packagesFolder, testDataPath("simlink/packages"));   // relative to the file
    EXPECT_FALSE(s.user.path.at(1).onGround);
    EXPECT_EQ(s.timeline.at(2).event, "quit");
    EXPECT_TRUE(s.failures.refuseTitles.count("Extra Title"));
    EXPECT_DOUBLE_EQ(s.groundElevation, 83.0);   // from the user standing on the ground

    // Path points are flown in the order of their times, however the file lists them.
    const auto unsorted = gf_parseSimScenario(R"({"user": {"path": [{"t": 5, "lat": 2}, {"t": 1, "lat": 1}]}})");
    EXPECT_EQ(unsorted.user.path.at(0).lat, 1.0);

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
        for (const auto& [id, name] : {std::pair{1, "ObjectAdded"}, {2, "ObjectRemoved"}, {3, "Frame"}}) sim.subscribe(h, id, name);
        dispatch();
        inbox.records.clear();
    }
    void dispatch() { sim.callDispatch(h, &Inbox::proc, &inbox); }
    using Pairs = std::vector<std::pair<DWORD, DWORD>>;
    Pairs exceptions() const {   // (exception, send id)
        Pairs out;
        for (const auto& e : inbox.all<SIMCONNECT_RECV_EXCEPTION>(SIMCONNECT_RECV_ID_EXCEPTION)) out.emplace_back(e.dwException, e.dwSendID);
        return out;
    }
    Pairs addedOrRemoved() {   // (event, object), then the inbox is emptied
        Pairs out;
        for (const auto& e : inbox.all<SIMCONNECT_RECV_EVENT_OBJECT_ADDREMOVE>(SIMCONNECT_RECV_ID_EVENT_OBJECT_ADDREMOVE)) out.emplace_back(e.uEventID, e.dwData);
        return inbox.records.clear(), out;
    }
    DWORD packet() { return sim.lastSentPacketId(h, &lastPacket), lastPacket; }
    DWORD lastPacket = 0;
};

TEST_F(SimulatorTest, CreationRefusalAddAndRemoveFollowTheFrames) {
    SimScenario s;
    s.installedTitles = {"Good", "Refused"};
    s.failures.refuseTitles = {"Refused"};
    start(s);
    SIMCONNECT_DATA_INITPOSITION pos{};
    pos.OnGround = 1;
    std::vector<DWORD> packets;
    for (const char* title : {"Good", "Unknown", "Refused"}) {
        ASSERT_EQ(sim.createAircraft(h, title, "ABCDEFGHIJKLMNOP", pos, 104), S_OK);
        packets.push_back(packet());
    }
    dispatch();
    EXPECT_EQ(exceptions(), (Pairs{{22, packets[1]}, {22, packets[2]}}));
    const DWORD id = inbox.all<SIMCONNECT_RECV_ASSIGNED_OBJECT_ID>(SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID).at(0).dwObjectID;
    EXPECT_EQ(sim.object(id)->atcId, "ABCDEFGHIJKL") << "tail numbers keep 12 characters";
    EXPECT_TRUE(addedOrRemoved().empty()) << "announced with the next frame";
    sim.step(), dispatch();
    EXPECT_EQ(addedOrRemoved(), (Pairs{{1, id}}));
    sim.removeObject(h, id, 105);
    sim.removeObject(h, 1, 105);   // the user
    const DWORD userRemoval = packet();
    sim.step(), dispatch();
    EXPECT_EQ(exceptions(), (Pairs{{24, userRemoval}}));
    EXPECT_EQ(addedOrRemoved(), (Pairs{{2, id}}));
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
    for (const auto& [code, packetId] : exceptions()) codes.push_back(code);
    EXPECT_EQ(codes, (std::vector<DWORD>{7, 7, 19, 3, 3}));
    ASSERT_EQ(inbox.records.size(), 6u);
    ASSERT_GE(inbox.records[4].size(), SIMOBJECT_DATA_OFFSET + 8);
    double got;
    std::memcpy(&got, inbox.records[4].data() + SIMOBJECT_DATA_OFFSET, 8);
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
    dispatch();   // the quit arrives, and after it the connection is dead
    EXPECT_EQ(inbox.all<SIMCONNECT_RECV>(SIMCONNECT_RECV_ID_QUIT).size(), 1u);
    EXPECT_EQ(sim.callDispatch(h, &Inbox::proc, &inbox), E_FAIL);
    int seconds = 0, quits = 0;   // the trace: one line of objects a second, and the quit
    for (const auto& line : readLinesOf(dir / "trace.jsonl")) {
        const auto j = nlohmann::json::parse(line);
        seconds += j.contains("objects");
        quits += j.value("event", "") == "quit";
    }
    EXPECT_EQ(std::pair(seconds, quits), std::pair(2, 1));
}

}  // namespace
}  // namespace vrn::test
