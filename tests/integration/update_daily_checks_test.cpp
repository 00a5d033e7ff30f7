// The update functions in the order the start-up checks call them, against a loopback stand-in of
// the download server: a first start that installs everything, a quiet second start, and a new
// program version.
#include <sstream>

#include "core/exceptions.h"
#include "liveries/liveries_fixture.h"
#include "liveries/type_database.h"
#include "update/data_updates.h"
#include "update/program_update.h"
#include "update/update_fixture.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

class UpdateDailyChecks : public UpdateTest {
protected:
    void TearDown() override {
        gf_clearTypeDatabase();
        UpdateTest::TearDown();
    }
    void serveEverything() {
        std::ostringstream dbase;
        makeDbase({{"D-AIBA", "DLH", "A320", ""}}).save(dbase);
        m_server.set("release/version.json", "9.4.0");
        m_server.set("dbase/version.json", "12.0.3");
        m_server.set("dbase/dbase.xml", dbase.str());
        m_server.set("aig/version.json", "5.0.0\r\n");
        m_server.set("aig/AIG-regcodes.xml", "<AIG/>");
        m_server.set("mysimaddon24/version.json", "1.0.1");
        m_server.set("mysimaddon24/my_simaddon2024.zip", makeZip({{"KJFK.txt", "archive/simaddon/KJFK.xml"}}));
        m_server.set("archive/msfs/version.json", "2.4.0");
        m_server.set("archive/msfs/archive.zip", makeZip({{"archive/stock/EDDF.xml", "<stock/>"},
                                                          {"archive/thirdparty/GroupA/EGLC.xml", "<a/>"},
                                                          {"archive/thirdparty/PublisherOne/LOWI.xml", "<b/>"}}));
        m_server.set("docs/MSFS_archive.txt", "txt");
        m_server.set("docs/MSFS_archive.csv", "csv");
    }
    // One day's checks of the start-up; true when the archive asked for a new airport scan.
    bool dailyChecks() {
        gf_updateAigRegcodes();
        gf_updateDbase();
        if (g_publisherGroups.empty()) {
            EXPECT_TRUE(gf_readDbase());
        }
        gf_checkProgramVersion();
        gf_updateAigRegcodes();
        if (!MSFS_2020.get()) gf_updateMySimAddon2024();
        return gf_updateArchive();
    }
};

TEST_F(UpdateDailyChecks, FirstStartInstallsThenQuietUntilANewProgram) {
    MSFS_2020.set(false);
    serveEverything();
    EXPECT_TRUE(dailyChecks());

    EXPECT_TRUE(fs::exists("input/dbase.xml"));
    EXPECT_EQ(readFile("input/AIG-regcodes.xml"), "<AIG/>");
    EXPECT_EQ(readFile("airports/my_simaddon2024/KJFK.txt"), "archive/simaddon/KJFK.xml");
    EXPECT_EQ(readFile("airports/archive/stock/EDDF.xml"), systemLines("<stock/>\n"));
    // The publisher folder comes from the type database just read, by its group name.
    EXPECT_EQ(readFile("airports/archive/thirdparty/GroupA/EGLC.xml"), systemLines("<a/>\n"));
    EXPECT_FALSE(fs::exists("airports/archive/thirdparty/PublisherOne"));
    EXPECT_EQ(readFile("docs/MSFS_archive.csv"), "csv");
    for (const char* temporary : {"version.json", "dbase.xml", "AIG-regcodes.xml", "archive.zip",
                                  "my_simaddon2024.zip", "MSFS_archive.txt", "MSFS_archive.csv"})
        EXPECT_FALSE(fs::exists(temporary)) << temporary;

    // Recorded in parameters.xml for the next start.
    const std::string parameters = readFile(gf_parametersPath());
    for (const char* version : {"12.0.3", "5.0.0", "1.0.1", "2.4.0"})
        EXPECT_NE(parameters.find(std::string("value=\"") + version + "\""), std::string::npos) << version;
    EXPECT_TRUE(gf_listAvailableUpdates().checked);
    EXPECT_EQ(gf_listAvailableUpdates().newer, "");

    // Next day, nothing new: only version files are fetched.
    m_server.clearRequests();
    EXPECT_FALSE(dailyChecks());
    for (const std::string& request : m_server.requests())
        EXPECT_NE(request.find("version.json"), std::string::npos) << request;

    // A new program on the server ends the checks with its installer ready.
    PROGRAM_INSTALL_PATH.set(gf_utf8Of(program()));
    m_server.set("release/version.json", "9.5.0");
    m_server.set("release/setup_Varnel_v9.5.0.zip", makeZip({{"setup.exe", "MZ installer"}}));
    EXPECT_EQ(gf_listAvailableUpdates().newer, "New version for: Varnel (9.5.0)");
    EXPECT_THROW(dailyChecks(), UserErrorException);
    EXPECT_EQ(readFile("install_new_version.exe"), "MZ installer");
}

}  // namespace
}  // namespace vrn::test
