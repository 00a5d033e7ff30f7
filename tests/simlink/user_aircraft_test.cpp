// The user aircraft: title, type resolution, the user block and the per-second tick.
#include <ctime>

#include "core/utilities.h"
#include "link_fixture.h"

namespace vrn::test {
namespace {

using namespace simconnect;

class UserAircraftTest : public LinkFixture {
protected:
    void askTitleAndModel(const std::string& title, const std::string& model) {
        sim().setUserTitleAndModel(title, model);
        gf_requestUserAircraftTitleAndModel();
        ASSERT_TRUE(gf_simClientDispatchOnce());
    }
};

struct ModelCase {
    std::string title;
    std::string atcModel;
    std::string logged;   // expected in the log
    double halfSpan;
    bool known;
    unsigned sizeClass;
};

TEST_F(UserAircraftTest, ResolvesTheTypeFromTheAtcModel) {
    connect();
    const std::vector<ModelCase> cases{
        {"Asobo A320", "ATCCOM.AC_MODEL_A20N.0.text", "User aircraft model: A20N, half wing span: 18.0 meter, category: Large",
         0.0097, true, 2},
        {"PMDG", "TT:ATCCOM.AC_MODEL_B738.0.text", "User aircraft model: B738", 0.0097, true, 2},
        {"Small", "XC172.0.text", "User aircraft model: C172", 0.0030, true, 0},
        // Too short to hold a designator before ".0.text": kept as it is, no failure of the link.
        {"Short", "AB.0.text", "User aircraft model: AB.0.text", 0.0215, false, 0},
        {"Shorter", ".0.text", "User aircraft model: .0.text", 0.0215, false, 0},
        {"PMDG DG 737-700 WL", "737", "User aircraft model: B737", 0.0093, true, 2},
        {"Some 737", "737", "User aircraft model: 737", 0.0215, false, 0},
        {"Aerosoft A320 Professional", "ATCCOM.AC_MODEL_XXXX.0.textX", "model deduced from title: A320", 0.0097, true, 2},
        // The largest type of the database is a known type, not a missing one.
        {"Big", "A388", "User aircraft model: A388", 0.0215, true, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.atcModel + " / " + c.title);
        g_mainWindow.g_userAircraftKnown = !c.known;
        askTitleAndModel(c.title, c.atcModel);
        EXPECT_NE(logText().find(c.logged), std::string::npos);
        EXPECT_DOUBLE_EQ(g_userHalfWingspan.load(), c.halfSpan);
        EXPECT_TRUE(g_userHalfWingspanKnown.load());
        EXPECT_EQ(g_mainWindow.g_userAircraftKnown.load(), c.known);
        EXPECT_EQ(g_userSizeClass.load(), c.sizeClass);
        if (!c.known) {
            EXPECT_EQ(g_mainWindow.g_statusText.get(),
                      "User aircraft wing span unknown, max is taken instead, please report in my Forum!");
        }
    }
}

TEST_F(UserAircraftTest, EmptyModelsAndCameraPods) {
    connect();
    askTitleAndModel("Known Title", "A20N");
    askTitleAndModel("", "A20N");   // an empty title is only logged
    EXPECT_NE(logText().find("! title of your ac is empty?"), std::string::npos);
    EXPECT_EQ(g_userTitle.get(), "Known Title");

    askTitleAndModel("Encrypted", "");
    EXPECT_EQ(g_mainWindow.g_userAircraftText.get(), "Unknown (encrypted?) aircraft");
    EXPECT_EQ(g_mainWindow.g_statusText.get(),
              "171: No model info from your user aircraft received in SimConnect, CRJ7 is taken instead");
    EXPECT_DOUBLE_EQ(g_userHalfWingspan.load(), 0.0063);

    g_userSizeClass = 3;
    askTitleAndModel("Drone", "camerapod");
    EXPECT_DOUBLE_EQ(g_userHalfWingspan.load(), 0.0078);
    EXPECT_EQ(g_userSizeClass.load(), 0u);
    EXPECT_TRUE(g_mainWindow.g_userAircraftKnown.load());
}

TEST_F(UserAircraftTest, TitleIsCutAtACharacterBoundaryAndLoggedOnce) {
    connect();
    const std::string longTitle = std::string(47, 'x') + "\xC3\xA9" + "tail";   // é spans bytes 48 and 49
    askTitleAndModel(longTitle, "A388");
    EXPECT_EQ(g_userTitle.get(), std::string(47, 'x'));
    EXPECT_EQ(g_mainWindow.g_userAircraftText.get(), std::string(47, 'x'));
    askTitleAndModel(longTitle, "A388");
    const std::string log = logText();
    EXPECT_EQ(log.find("User aircraft title:"), log.rfind("User aircraft title:"));

    EXPECT_EQ(gf_utf8Prefix(std::string(60, 'a'), 48), std::string(48, 'a'));
    EXPECT_EQ(gf_utf8Prefix("ab\xE2\x82\xAC", 4), "ab");   // a 3-byte character is never split
    EXPECT_EQ(gf_utf8Prefix("short", 48), "short");
}

TEST_F(UserAircraftTest, UserBlockTeleportObjectIdAndStand) {
    auto s = baseScenario();
    s.user.objectId = 1;
    s.user.start = {0.0, 47.0, 8.0, -20.0, 90.0, 1.5, true};
    startWith(s);
    connect();
    standAtUser = "A12";
    userBlock();
    auto block = gf_userAircraftData();
    EXPECT_DOUBLE_EQ(block.latitude, 47.0);
    EXPECT_DOUBLE_EQ(block.altitude, 0.0) << "a negative altitude is stored as 0";
    EXPECT_EQ(g_userObjectId.load(), 1u);
    EXPECT_EQ(g_mainWindow.g_userStandText.get(), "A12");
    EXPECT_TRUE(exitRequests().empty()) << "the first block is never a teleport";

    // Just under 10 nm north (10 nm is 10/60 degree of latitude on this sphere).
    sim().moveUser({0.0, 47.0 + 9.999 / 60.0, 8.0, 500.0, 0.0, 0.0, true});
    standAtUser = "";
    userBlock();
    EXPECT_TRUE(exitRequests().empty());
    EXPECT_EQ(g_mainWindow.g_userStandText.get(), "");
    sim().moveUser({0.0, 47.0 + 20.01 / 60.0, 8.0, 500.0, 0.0, 0.0, true});
    userBlock();
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{EXIT_RESTART, 45}}));
    EXPECT_NE(logText().find("Teleport"), std::string::npos);
}

TEST_F(UserAircraftTest, SimulatorTimeFromZulu) {
    struct Case {
        std::int64_t year, day, seconds;
    };
    for (const Case& c : std::vector<Case>{{1970, 1, 5}, {2024, 60, 3600}, {2000, 366, 43200}, {2100, 365, 86399}}) {
        std::tm t{};
        t.tm_year = static_cast<int>(c.year - 1900);
        t.tm_mday = static_cast<int>(c.day);   // timegm normalises day-of-January overflow
        t.tm_sec = static_cast<int>(c.seconds);
        EXPECT_EQ(gf_zuluToUnixSeconds(c.year, c.day, c.seconds), static_cast<std::int64_t>(timegm(&t))) << c.year;
    }
    EXPECT_EQ(gf_zuluToUnixSeconds(2025, 1, 0), 1735689600);

    auto s = baseScenario();
    s.zuluYear = 2024;
    s.zuluDayOfYear = 60;
    s.zuluSeconds = 0.0;
    startWith(s);
    connect();
    userBlock();
    EXPECT_EQ(g_simTimeSeconds.load(), gf_zuluToUnixSeconds(2024, 60, 0));
}

TEST_F(UserAircraftTest, PerSecondTickAndOnGround) {
    connect();
    gf_requestUserOnGroundEverySecond();
    sim().step(29);
    gf_simClientDispatchOnce();
    EXPECT_FALSE(g_simTick.load());
    frames(1);   // one second
    EXPECT_TRUE(g_simTick.exchange(false));
    EXPECT_FALSE(g_userOnGroundKnown.load()) << "no position yet: tick only";

    userBlock();
    frames(30);
    EXPECT_TRUE(g_simTick.exchange(false));
    EXPECT_TRUE(g_userOnGroundKnown.load());
    EXPECT_TRUE(g_userOnGround.load());
}

TEST_F(UserAircraftTest, FailedUserRequestsAreLoggedAndCountedUntilRequestsBreak) {
    connect();
    FailureSpec f;
    f.failRequestCalls = 3;
    sim().setFailures(f);
    sim().clearCalls();
    gf_requestUserOnGroundEverySecond();
    gf_requestUserAircraftTitleAndModel();
    EXPECT_TRUE(g_requestsBroken.load());
    gf_requestUserAircraftPosition();   // not sent any more
    const std::string log = logText();
    for (const char* line : {"===> SimConnect request ac gnd/air fails", "===> SimConnect request user ac title fails",
                             "===> SimConnect reques user ac model fails"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(log.find("request user ac position fails"), std::string::npos);
    EXPECT_EQ(g_requestErrorCount.load(), 3);
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "SimConnect request error 3, see Log.txt");
    EXPECT_TRUE(callsNamed("RequestDataOnSimObject").empty());
}

TEST_F(UserAircraftTest, StandIsSavedOnlyWhenStandingStill) {
    auto s = baseScenario();
    s.user.start.groundSpeed = 5.0;
    startWith(s);
    connect();
    gf_requestUserOnGroundEverySecond();
    userBlock();
    frames(30);
    standAtUser = "B7";
    gf_saveUserStand();
    EXPECT_TRUE(storedStands.empty());
    sim().moveUser({0.0, s.user.start.lat, s.user.start.lon, s.user.start.altitude, 0.0, 1.0, true});
    userBlock();
    gf_saveUserStand();
    EXPECT_EQ(storedStands, std::vector<std::string>{"B7"});
}

TEST_F(UserAircraftTest, StaticCgReplyBecomesAnEvent) {
    const DWORD other = sim().addOtherAircraft({"t", "CG1", 47.46, 8.55, 0.0, true});
    connect();
    frames(1);
    {
        std::lock_guard lock(g_simCommandMutex);
        SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), REQUEST_STATIC_CG, DEF_STATIC_CG, other,
                                          SIMCONNECT_PERIOD_ONCE, 0, 0, 0, 0);
    }
    gf_simClientDispatchOnce();
    const auto cg = eventsOfKind(gf_takeSimEvents(), SIM_EVENT_STATIC_CG);
    ASSERT_EQ(cg.size(), 1u);
    EXPECT_EQ(cg[0].objectId, other);
    EXPECT_DOUBLE_EQ(cg[0].value1, baseScenario().staticCgToGround);
    EXPECT_DOUBLE_EQ(cg[0].value2, baseScenario().staticPitch);
}

}  // namespace
}  // namespace vrn::test
