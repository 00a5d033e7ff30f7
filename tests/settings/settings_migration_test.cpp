// The settings migration for every relation of the stored version to this program's own.
#include "settings/settings_test_fixture.h"

namespace vrn::test {
namespace {

const char* const kObsolete[] = {"TIME_COMPRESSION_CHECK", "SECONDS_DELAY",    "FLIGHTPLANS_FOLDER", "CALLSIGN_OBJECTID",
                                 "DESTINATION_AIRPORT",    "DESTINATION_GATE", "MAX_FIT_WEEK"};

class SettingsMigration : public SettingsTest {
protected:
    // A file as the given version left it, with every obsolete key, and the installer it downloaded.
    void prepare(const std::string& version) {
        std::vector<std::pair<std::string, std::string>> keys{
            {"PROGRAM_VERSION", version}, {"MAX_FIT", "47"}, {"LAST_EPOCH_TIME", "1717000000"}, {"DATA_CHECKED_AT_DATE", "QWERTYUIO"}};
        for (const char* k : kObsolete) keys.emplace_back(k, "1");
        writeParams(keys);
        writeFile(dir() / "install_new_version.exe", "MZ");
        PROGRAM_VERSION.set(version);
        LAST_EPOCH_TIME.set(1717000000);
        DATA_CHECKED_AT_DATE.set("QWERTYUIO");
        MAX_FIT.set(99);   // out of range in memory: an upgrade clamps and stores it
    }
    int obsoleteLeft() const {
        int n = 0;
        for (const char* k : kObsolete) n += storedValue(k) != "<missing>";
        return n;
    }
};

TEST_F(SettingsMigration, FollowsTheStoredVersion) {
    struct Case { const char* stored; bool upgrade; const char* from; };   // from: the version the update line names
    for (const Case& c : {Case{"9.3.9", true, "9.3.9"}, Case{"abc", true, "0.0.0"}, Case{"8.12.40", true, "8.12.40"},
                          Case{"10.0.0", false, ""}, Case{"9.10.0", false, ""}, Case{"9.4.1", false, ""}, Case{"9.4.0", false, ""}}) {
        SCOPED_TRACE(c.stored);
        prepare(c.stored);
        const std::string before = readFile(paramsPath());
        gf_migrateParameters();

        EXPECT_TRUE(PROGRAM_VERSION.get() == "9.4.0" && storedValue("PROGRAM_VERSION") == "9.4.0");
        const std::string updateLine = std::string("This is a version update from ") + c.from + " -> 9.4.0";
        EXPECT_EQ(logCount(updateLine), c.upgrade ? 1 : 0);
        EXPECT_EQ(obsoleteLeft(), c.upgrade ? 0 : 7);
        EXPECT_EQ(std::filesystem::exists(dir() / "install_new_version.exe"), !c.upgrade);
        EXPECT_EQ(storedValue("LAST_EPOCH_TIME") + "|" + DATA_CHECKED_AT_DATE.get(), c.upgrade ? "0|" : "1717000000|QWERTYUIO");
        EXPECT_EQ(storedValue("DATA_CHECKED_AT_DATE"), "QWERTYUIO") << "the date is cleared in memory only";
        EXPECT_EQ(MAX_FIT.get(), c.upgrade ? 47 : 99);
        if (c.stored == std::string("9.4.0")) { EXPECT_EQ(readFile(paramsPath()), before) << "same version: nothing written"; }
    }
}

TEST_F(SettingsMigration, AnInstallerThatCannotBeDeletedDoesNotStopTheMigration) {
    prepare("9.3.0");
    std::filesystem::remove(dir() / "install_new_version.exe");
    std::filesystem::create_directories(dir() / "install_new_version.exe" / "in-use");   // remove() fails
    EXPECT_NO_THROW(gf_migrateParameters());
    EXPECT_EQ(obsoleteLeft(), 0);
    EXPECT_EQ(storedValue("LAST_EPOCH_TIME"), "0");
}

}  // namespace
}  // namespace vrn::test
