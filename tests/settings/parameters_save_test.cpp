// Saving one setting, removing keys, and saves from many threads at once.
#include <thread>

#include "settings/settings_test_fixture.h"

namespace vrn::test {
namespace {

using ParametersSave = SettingsTest;

TEST_F(ParametersSave, ChangesOnlyItsOwnElementAndAppendsAMissingOne) {
    writeParams({{"MAX_LIVE", "120"}, {"LOG", "true"}, {"MY_OWN_NOTE", "x"}});
    LOG.set(false);
    LOG.save();
    PORT_NUMBER.setAndSave("10800");
    EXPECT_EQ(stored(), (std::vector<std::pair<std::string, std::string>>{
                            {"MAX_LIVE", "120"}, {"LOG", "false"}, {"MY_OWN_NOTE", "x"}, {"PORT_NUMBER", "10800"}}));
    EXPECT_FALSE(std::filesystem::exists(paramsPath().string() + ".tmp"));
}

TEST_F(ParametersSave, AfterTheFileVanishedOrBrokeEverySettingIsWrittenNotJustOne) {
    const std::string damaged = "<parameters><parameter name=\"MAX_LIVE\" va";
    for (bool vanished : {true, false}) {
        writeParams({{"MAX_LIVE", "77"}, {"lfolder2", "/liveries"}});
        gf_updateParameters();
        vanished ? (void)std::filesystem::remove(paramsPath()) : writeParams(damaged);

        MAIN_WINDOW_X.set(123);
        MAIN_WINDOW_X.save();

        EXPECT_EQ(storedNames().size(), 47u);   // the 46 stored keys and the one folder that is set
        EXPECT_TRUE(storedValue("MAIN_WINDOW_X") == "123" && storedValue("MAX_LIVE") == "77" &&
                    storedValue("lfolder2") == "/liveries");
        EXPECT_EQ(std::filesystem::exists(paramsPath().string() + ".bad"), !vanished);
    }
    EXPECT_EQ(readFile(paramsPath().string() + ".bad"), damaged);
}

TEST_F(ParametersSave, ConcurrentSavesLoseNothing) {
    gf_updateParameters();
    constexpr int kThreads = 8, kRounds = 25;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] { for (int r = 1; r <= kRounds; ++r) gf_liveryFolderSetting(t)->setAndSave(std::to_string(t * 100 + r)); });
    for (auto& th : threads) th.join();
    for (int t = 0; t < kThreads; ++t)
        EXPECT_EQ(storedValue("lfolder" + std::to_string(t)), std::to_string(t * 100 + kRounds));
    EXPECT_EQ(storedNames().size(), 46u + kThreads);
}

TEST_F(ParametersSave, RemovingAKeyReportsWhetherItWasThere) {
    EXPECT_FALSE(gf_removeParameter(NamedItem("SECONDS_DELAY")));
    EXPECT_FALSE(std::filesystem::exists(paramsPath())) << "no file is made by a removal";

    writeParams({{"SECONDS_DELAY", "3"}, {"LOG", "true"}});
    EXPECT_TRUE(gf_removeParameter(NamedItem("SECONDS_DELAY")));
    EXPECT_FALSE(gf_removeParameter(NamedItem("SECONDS_DELAY")) || gf_removeParameter(NamedItem("it's")));   // "it's": no valid query
    EXPECT_EQ(storedNames(), std::vector<std::string>{"LOG"});
}

}  // namespace
}  // namespace vrn::test
