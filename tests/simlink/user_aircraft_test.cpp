// The user aircraft: title, type resolution, the user block and the per-second tick.
#include <array>
#include <ctime>

#include "core/utilities.h"
#include "link_fixture.h"

namespace vrn::test {
namespace {

using namespace simconnect;

std::time_t lf_timegm(std::tm* t) {
#ifdef _WIN32
    return ::_mkgmtime(t);
#else
    return ::timegm(t);
#endif
}

class UserAircraftTest : public LinkFixture {
protected:
    void askTitleAndModel(const std::string& title, const std::string& model) {
        sim().setUserTitleAndModel(title, model);
        gf_requestUserAircraftTitleAndModel();
        ASSERT_TRUE(gf_simClientDispatchOnce());
    }
};

struct ModelCase {
    std::string title, atcModel, logged;   // logged: the model as the log names it
    double halfSpan;
    bool known;
    unsigned sizeClass;
};

TEST_F(UserAircraftTest, ResolvesTheTypeFromTheAtcModel) {
    connect();
    const std::vector<ModelCase> cases{
        {"Asobo A320", "ATCCOM.AC_MODEL_A20N.0.text", "A20N, half wing span: 18.0 meter, category: Large", 0.0097, true, 2},
        {"PMDG", "TT:ATCCOM.AC_MODEL_B738.0.text", "model: B738", 0.0097, true, 2},
        {"Small", "XC172.0.text", "model: C172", 0.0030, true, 0},
        // Too short to hold a designator before ".0.text": kept as it is, no failure of the link.
        {"Short", "AB.0.text", "model: AB.0.text", 0.0215, false, 0},
        {"Shorter", ".0.text", "model: .0.text", 0.0215, false, 0},
        {"PMDG DG 737-700 WL", "737", "model: B737", 0.0093, true, 2},
        {"Some 737", "737", "model: 737", 0.0215, false, 0},
        {"Aerosoft A320 Professional", "ATCCOM.AC_MODEL_XXXX.0.textX", "model deduced from title: A320", 0.0097, true, 2},
        {"Big", "A388", "model: A388", 0.0215, true, 3},   // the largest type is a known type
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.atcModel + " / " + c.title);
        g_mainWindow.g_userAircraftKnown = !c.known;
        g_mainWindow.g_statusText.set("");
        askTitleAndModel(c.title, c.atcModel);
        EXPECT_NE(logText().find(c.logged), std::string::npos);
        EXPECT_DOUBLE_EQ(g_userHalfWingspan.load(), c.halfSpan);
        EXPECT_TRUE(g_userHalfWingspanKnown.load());
        EXPECT_EQ(g_mainWindow.g_userAircraftKnown.load(), c.known);
        EXPECT_EQ(g_userSizeClass.load(), c.sizeClass);
        EXPECT_EQ(g_mainWindow.g_statusText.get(),
                  c.known ? "" : "User aircraft wing span unknown, max is taken instead, please report in my Forum!");
    }
}

TEST_F(UserAircraftTest, EmptyModelsCameraPodsAndLongTitles) {
    connect();
    askTitleAndModel("Known Title", "A20N");
    askTitleAndModel("", "A20N");   // an empty title is only logged
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

    askTitleAndModel(std::string(47, 'x') + "\xC3\xA9" + "tail", "A388");   // é spans bytes 48 and 49
    EXPECT_EQ(g_userTitle.get(), std::string(47, 'x'));
    EXPECT_EQ(g_mainWindow.g_userAircraftText.get(), std::string(47, 'x'));
    EXPECT_EQ(gf_utf8Prefix(std::string(60, 'a'), 48), std::string(48, 'a'));
    EXPECT_EQ(gf_utf8Prefix("ab\xE2\x82\xAC", 4), "ab");   // a 3-byte character is never split
    EXPECT_EQ(gf_utf8Prefix("short", 48), "short");
}

TEST_F(UserAircraftTest, TickUserBlockStandTimeAndTeleport) {
    for (const auto& [year, day, seconds] : std::vector<std::array<int, 3>>{
             {1970, 1, 5}, {2024, 60, 3600}, {2000, 366, 43200}, {2100, 365, 86399}}) {
        std::tm t{};
        t.tm_year = year - 1900;
        t.tm_mday = day;   // timegm normalises day-of-January overflow
        t.tm_sec = seconds;
        EXPECT_EQ(gf_zuluToUnixSeconds(year, day, seconds), static_cast<std::int64_t>(lf_timegm(&t))) << year;
    }
    EXPECT_EQ(gf_zuluToUnixSeconds(2025, 1, 0), 1735689600);
    auto s = baseScenario();
    s.user.objectId = 1;
    s.user.start = {0.0, 47.0, 8.0, -20.0, 90.0, 5.0, true};
    std::tie(s.zuluYear, s.zuluDayOfYear, s.zuluSeconds) = std::tuple(2024, 60, 0.0);
    startWith(s);
    connect();
    gf_requestUserOnGroundEverySecond();
    sim().step(29);
    gf_simClientDispatchOnce();
    EXPECT_FALSE(g_simTick.load());
    frames(1);   // one second
    EXPECT_TRUE(g_simTick.exchange(false));
    EXPECT_FALSE(g_userOnGroundKnown.load()) << "no position yet: tick only";
    standAtUser = "A12";
    userBlock();
    EXPECT_EQ(g_simTimeSeconds.load(), gf_zuluToUnixSeconds(2024, 60, 1));   // a second of frames on
    EXPECT_DOUBLE_EQ(gf_userAircraftData().latitude, 47.0);
    EXPECT_DOUBLE_EQ(gf_userAircraftData().altitude, 0.0) << "a negative altitude is stored as 0";
    EXPECT_EQ(g_userObjectId.load(), 1u);
    EXPECT_EQ(g_mainWindow.g_userStandText.get(), "A12");
    EXPECT_TRUE(exitRequests().empty()) << "the first block is never a teleport";
    frames(30);
    EXPECT_TRUE(g_simTick.exchange(false));
    EXPECT_TRUE(g_userOnGroundKnown.load() && g_userOnGround.load());
    gf_saveUserStand();
    EXPECT_TRUE(storedStands.empty()) << "saved only when standing still";
    sim().moveUser({0.0, 47.0, 8.0, 0.0, 0.0, 1.0, true});
    userBlock();
    gf_saveUserStand();
    EXPECT_EQ(storedStands, std::vector<std::string>{"A12"});
    // Just under 10 nm north (10 nm is 10/60 degree of latitude on this sphere), then 20 nm further.
    sim().moveUser({0.0, 47.0 + 9.999 / 60.0, 8.0, 500.0, 0.0, 0.0, true});
    standAtUser = "";
    userBlock();
    EXPECT_TRUE(exitRequests().empty());
    EXPECT_EQ(g_mainWindow.g_userStandText.get(), "");
    sim().moveUser({0.0, 47.0 + 20.01 / 60.0, 8.0, 500.0, 0.0, 0.0, true});
    userBlock();
    EXPECT_EQ(exitRequests(), (std::vector<std::pair<int, int>>{{EXIT_RESTART, 45}}));
}

}  // namespace
}  // namespace vrn::test
