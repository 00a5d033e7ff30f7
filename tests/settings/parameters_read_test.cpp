// Reading parameters.xml at start-up: a new file, a damaged file, an existing file and its odd values.
#include <set>

#include "core/exceptions.h"
#include "core/text_files.h"
#include "settings/settings_test_fixture.h"

namespace vrn::test {
namespace {

class ParametersRead : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        g_mainWindow.g_hMainWindow = &window;
        auto noKeys = [](ui::Window&, std::uint16_t, ui::Key) { return false; };
        MSFS_2020.createControl(window, 5);
        LOG.createControl(window, 652);
        MAX_LIVE.createEdit(window, 576, 34, 0, noKeys);
        MSFS_INSTALL_PATH.createEdit(window, 111, 1200, 0, noKeys);
    }
    std::string bad() const { return paramsPath().string() + ".bad"; }
    ui::Window window;
};

TEST_F(ParametersRead, NoFileGivesEveryStoredKeyOnceWithItsDefault) {
    gf_updateParameters();
    const auto names = storedNames();
    const std::set<std::string> distinct(names.begin(), names.end());
    EXPECT_EQ(names.size(), 46u);
    EXPECT_EQ(distinct.size(), names.size()) << "a key was written twice";
    for (const char* never : {"lfolder0", "afolder9", "parking_percentage", "CALLSIGN_2_OBJECTID", "MAX_FIT_FL"})
        EXPECT_EQ(distinct.count(never), 0u) << never;
    EXPECT_TRUE(storedValue("PORT_NUMBER") == "10747" && storedValue("PROGRAM_VERSION") == "9.4.0");   // the latter by migration
    EXPECT_TRUE(window.isChecked(MSFS_2020.controlId) && window.text(MAX_LIVE.controlId) == "300");
}

TEST_F(ParametersRead, EachDamagedFileIsKeptUnderANameOfItsOwnAndDefaultsAreTaken) {
    int n = 0;
    for (const std::string& bytes : {readFile(testDataPath("settings/truncated.xml")), std::string(),
                                     std::string("\0\xff\x13garbage<", 11)}) {
        MAX_LIVE.set(99);   // what an earlier reading left: the defaults must replace it
        writeParams(bytes);
        gf_updateParameters();
        EXPECT_EQ(readFile(bad() + (n++ ? std::to_string(n - 1) : "")), bytes) << "earlier damaged files are never overwritten";
        EXPECT_TRUE(MAX_LIVE.get() == 300 && storedNames().size() == 46u);
    }
}

TEST_F(ParametersRead, DamagedFileThatCannotBeKeptAsideIsNeverReplaced) {
    const std::string bytes = "<parameters><parameter name=\"MAX_LIVE\" value=\"50\"";
    writeParams(bytes);
    for (int n = 0; n < 100; ++n) writeFile(bad() + (n == 0 ? "" : std::to_string(n)), "earlier " + std::to_string(n));
    gf_updateParameters();
    LOG.set(false);
    LOG.save();
    EXPECT_TRUE(readFile(paramsPath()) == bytes && readFile(bad() + "42") == "earlier 42") << "every name for it is taken";
    EXPECT_EQ(MAX_LIVE.get(), 300);
}

TEST_F(ParametersRead, AFolderOrAHugeFileInItsPlaceIsAUserErrorAndNeverReplaced) {
    for (bool folder : {true, false}) {
        SCOPED_TRACE(folder);
        std::filesystem::remove_all(paramsPath());
        if (folder) {
            std::filesystem::create_directories(paramsPath() / "inside");
        } else {
            writeParams("<parameters/>");
            std::filesystem::resize_file(paramsPath(), kMaxReadFileBytes + 1);
        }
        EXPECT_THROW(gf_updateParameters(), UserErrorException);
        EXPECT_FALSE(gf_readWindowPosition());
        LOG.set(false);
        LOG.save();
        EXPECT_EQ(std::filesystem::is_directory(paramsPath() / "inside"), folder);
        EXPECT_TRUE(folder || std::filesystem::file_size(paramsPath()) == kMaxReadFileBytes + 1);
        EXPECT_FALSE(std::filesystem::exists(bad()));
    }
}

TEST_F(ParametersRead, ExistingFileIsReadCompletedAndKeepsItsOrderAndStrangers) {
    writeParams(readFile(testDataPath("settings/old_version.xml")));
    gf_updateParameters();
    EXPECT_TRUE(MAX_LIVE.get() == 120 && g_lateralRangeMetres.load() == 25 * 1852 && !window.isChecked(LOG.controlId));
    EXPECT_EQ(window.text(MAX_LIVE.controlId) + "|" + window.text(MSFS_INSTALL_PATH.controlId), "120|/games/MSFS & more/Packages");
    // Keys that every run starts at their defaults, whatever the file says.
    EXPECT_TRUE(parking_percentage.get() == 30 && CALLSIGN_2_OBJECTID.get().empty() && MAX_FIT_FL.get() == 24.0f);
    // Old keys keep their places (less the obsolete ones and the empty folder key); added keys follow, once each.
    const std::vector<std::string> head{"PROGRAM_VERSION", "MAX_LIVE", "LATERAL_RANGE", "AEROWINX", "LOG", "MSFS_INSTALL_PATH",
        "BLOCK_CALLSIGN", "lfolder0", "afolder1", "DATA_CHECKED_AT_DATE", "LAST_EPOCH_TIME", "MY_OWN_NOTE", "parking_percentage",
        "CALLSIGN_2_OBJECTID", "MAX_FIT_FL", "MAIN_WINDOW_X", "MAIN_WINDOW_Y", "RANDOM", "COLLISION_LIVE_PARKED_GND"};
    auto names = storedNames();
    EXPECT_EQ(std::count(names.begin(), names.end(), "COLLISION_LIVE_PARKED_GND"), 1);
    names.resize(head.size());
    EXPECT_EQ(names, head);
    EXPECT_EQ(storedValue("lfolder1"), "<missing>") << "missing folder keys are not added";
}

// A number not taken as written is noted once in the log.
TEST_F(ParametersRead, NumbersAreClampedAndBooleansTrueByTheirFirstLetter) {
    struct Case { const char* stored; int maxLive; bool flag, noted; };   // stored nullptr: no value attribute
    for (Case c : {Case{"500", 300, false, true}, {nullptr, 6, false, true}, {"abc", 6, false, true}, {"12abc", 12, true, false},
                   {"-5", 6, false, true}, {"99999999999", 300, false, true}, {"yes", 6, true, true},
                   {"True", 6, true, true}, {"on", 6, false, true}, {"", 6, false, true}}) {
        const std::string text = c.stored ? c.stored : "(none)";
        auto notes = [this] { auto l = logLines(); return std::count_if(l.begin(), l.end(), [](auto& x) { return x.rfind("===> MAX_LIVE:", 0) == 0; }); };
        const auto notesBefore = notes();
        if (c.stored)
            writeParams({{"MAX_LIVE", c.stored}, {"MSFS_2020", c.stored}});
        else
            writeParams("<parameters><parameter name=\"MAX_LIVE\" /><parameter name=\"MSFS_2020\" /></parameters>");
        gf_updateParameters();
        EXPECT_TRUE(MAX_LIVE.get() == c.maxLive && notes() == notesBefore + c.noted) << text;
        EXPECT_TRUE(MSFS_2020.get() == c.flag && window.isChecked(MSFS_2020.controlId) == c.flag) << text;
    }
}

TEST_F(ParametersRead, FileWithAnotherRootGivesDefaultsAndStaysUsable) {
    writeParams(readFile(testDataPath("settings/wrong_root.xml")));
    gf_updateParameters();
    EXPECT_EQ(MAX_LIVE.get(), 300);
    // Nothing is appended to a stranger's root; only the first-run version goes into a root of ours.
    EXPECT_EQ(storedNames(), std::vector<std::string>{"PROGRAM_VERSION"});
    // A later save puts our key beside it, and the next start-up reads that, texts intact.
    const std::string tricky = "A&B <\"quoted\"> 'é' \xE2\x82\xAC";
    BLOCK_CALLSIGN.setAndSave(tricky);
    resetAllSettings();
    gf_updateParameters();
    EXPECT_EQ(BLOCK_CALLSIGN.get(), tricky);
    EXPECT_FALSE(std::filesystem::exists(bad()));
}

}  // namespace
}  // namespace vrn::test
