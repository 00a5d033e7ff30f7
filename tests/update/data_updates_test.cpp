#include "liveries/type_database.h"
#include "liveries/type_queries.h"
#include "update/data_updates.h"
#include "update/update_fixture.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

class DataUpdateTest : public UpdateTest {
protected:
    void SetUp() override {
        UpdateTest::SetUp();
        g_publisherGroups = {{"Orbx", "orbx"}, {"FlyTampa", "flytampa"}}, gf_compilePublisherPatterns();
    }
    void TearDown() override { g_publisherGroups.clear(), gf_compilePublisherPatterns(), UpdateTest::TearDown(); }
    static void makeArchiveFolders() {
        for (const char* f : {"airports/archive/stock", "airports/archive/simaddon", "airports/archive/thirdparty"}) fs::create_directories(f);
    }
    void serveArchive(const std::string& version, const std::vector<ZipItem>& items) {
        m_server.set({{"archive/msfs/version.json", version + "\n"}, {"archive/msfs/archive.zip", makeZip(items)},
                      {"docs/MSFS_archive.txt", "doc text"}, {"docs/MSFS_archive.csv", "a;b"}});
    }
};

TEST_F(DataUpdateTest, ArchiveIsDueByVersionsAndFolders) {
    struct Case { const char* installed; const char* server; bool folders, installs; } cases[] = {
        {"2.3.0", "2.4.0", true, true},  {"2.3.0", "1.0.0", true, true},  {"2.3.0", "0.1.0", true, true},
        {"2.3.0", "0.9.0", true, false}, {"2.3.0", "0.9.0", false, true}, {"2.3.0", "2.3.0", true, false},
        {"0.1.0", "0.1.0", true, true},  {"", "1.0.0", true, true},       {"1.0.0", "1.0.0", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.installed) + " <- " + c.server);
        if (fs::remove_all("airports/archive"); c.folders) makeArchiveFolders();
        ARCHIVE_VERSION.set(c.installed);
        serveArchive(c.server, {{"archive/stock/EDDF.xml", "<airport/>"}});
        m_server.clearRequests();
        EXPECT_EQ(gf_updateArchive(), c.installs);
        EXPECT_EQ(m_server.requestCount("archive/msfs/archive.zip"), c.installs ? 1 : 0);
        EXPECT_EQ(ARCHIVE_VERSION.get(), c.installs ? c.server : c.installed);
    }
}

// A failed archive keeps its version; a whole one lands below airports only.
TEST_F(DataUpdateTest, FailedArchiveKeepsItsVersionAndEntriesLandBelowAirportsOnly) {
    makeArchiveFolders();
    ARCHIVE_VERSION.set("1.5.0");
    EXPECT_FALSE(gf_updateArchive());
    m_server.set("archive/msfs/version.json", "2.0.0");
    EXPECT_FALSE(gf_updateArchive());
    EXPECT_EQ(statusTexts().back(), "Downloading archive files version 2.0.0 failed");
    m_server.set("archive/msfs/archive.zip", "garbage");
    EXPECT_FALSE(gf_updateArchive());
    // A file that cannot be written although its folder is there: installed in part, not recorded.
    fs::create_directories("airports/archive/stock/EDDF.xml");
    m_server.set("archive/msfs/archive.zip",
                 makeZip({{"archive/stock/EDDF.xml", "<a/>"}, {"archive/stock/EDDM.xml", "<b/>"}}));
    EXPECT_FALSE(gf_updateArchive());
    EXPECT_EQ(readFile("airports/archive/stock/EDDM.xml"), systemLines("<b/>\n"));
    EXPECT_EQ(ARCHIVE_VERSION.get(), "1.5.0");
    fs::remove("airports/archive/stock/EDDF.xml");
    fs::create_directories("airports/archive/thirdparty/x");
    writeFile("airports/archive/stock/KEEP.xml", "old file stays");
    std::vector<ZipItem> items = {
        {"archive/stock/", ""}, {"archive/stock/EDDF.xml", "<a>stock</a>"}, {"archive/thirdparty/Orbx/EGLC.xml", "<a>orbx</a>"},
        {"archive/thirdparty/x/ABCD.xml", "<a>x</a>"},   // unknown publisher, folder there
        {"archive/thirdparty/y/WXYZ.xml", "<a>y</a>"},   // unknown publisher, no folder
        {"archive/stock/README.txt", "not xml"}, {"archive/stock/UPPER.XML", "not .xml exactly"}, {"../escape.xml", "<evil/>"},
        {"archive/../../escape2.xml", "<evil/>"}, {"/tmp/varnel-absolute-escape.xml", "<evil/>"}};
    for (int i = 0; i < 600; ++i) items.push_back({"archive/stock/A" + std::to_string(i) + ".xml", "<a/>"});
    serveArchive("2.0.0", items);
    EXPECT_TRUE(gf_updateArchive());
    for (const auto& [file, text] : std::map<std::string, std::string>{{"stock/EDDF.xml", systemLines("<a>stock</a>\n")},
             {"thirdparty/Orbx/EGLC.xml", systemLines("<a>orbx</a>\n")}, {"thirdparty/x/ABCD.xml", systemLines("<a>x</a>\n")},
             {"stock/KEEP.xml", "old file stays"}})
        EXPECT_EQ(readFile("airports/archive/" + file), text);
    for (const char* absent : {"airports/archive/thirdparty/y", "airports/archive/stock/README.txt", "airports/archive/stock/UPPER.XML",
                               "escape.xml", "escape2.xml", "/tmp/varnel-absolute-escape.xml", "archive.zip", "MSFS_archive.txt"})
        EXPECT_FALSE(fs::exists(absent)) << absent;
    EXPECT_EQ(readFile("docs/MSFS_archive.csv"), "a;b");
    EXPECT_EQ(ARCHIVE_VERSION.get(), "2.0.0");
    // Counted: the .xml entries inside airports, also one left unwritten; progress is shown, not logged.
    std::vector<std::pair<std::string, bool>> shown;
    std::ranges::copy_if(g_statusTexts, std::back_inserter(shown), [](const auto& t) { return t.first.find("xtract") != std::string::npos; });
    EXPECT_EQ(shown, (std::vector<std::pair<std::string, bool>>{{"archive.zip extracted 2 files", true},
                 {"Extracting archive.zip ...  300 files", false}, {"Extracting archive.zip ...  600 files", false},
                 {"archive.zip extracted 604 files", true}}));
}


TEST_F(DataUpdateTest, TypeDatabaseInstalledWhenNewerOrMissingAndWhole) {
    writeFile("input/dbase.xml", "<dbase old=\"1\"/>");
    DBASE_VERSION.set("1.0.0");
    m_server.set("dbase/version.json", "4.1.0");
    for (const auto& [body, truncated] : {std::pair{"", false}, {"<dbase new=\"2\"><a/><b/></dbase>", true},
                                          {"<dbase new=\"2\"><unclosed></dbase>", false}}) {
        if (*body) m_server.set("dbase/dbase.xml", body, truncated);   // first the server's 404 page
        gf_updateDbase();
    }
    EXPECT_EQ(readFile("input/dbase.xml"), "<dbase old=\"1\"/>");
    EXPECT_EQ(DBASE_VERSION.get(), "1.0.0");
    EXPECT_FALSE(fs::exists("dbase.xml"));
    writeFile("input/dbase.xml.new", "left behind by a crash");   // replaced, on Windows too
    m_server.set("dbase/dbase.xml", "<dbase v=\"4.1.0\"/>");
    for (int round = 0; round < 3; ++round) {
        if (round == 2) fs::remove("input/dbase.xml");   // same version, file gone: fetched again
        m_server.clearRequests();
        gf_updateDbase();
        EXPECT_EQ(m_server.requestCount("dbase/dbase.xml"), round == 1 ? 0 : 1) << round;
        EXPECT_EQ(readFile("input/dbase.xml"), "<dbase v=\"4.1.0\"/>");
        EXPECT_EQ(DBASE_VERSION.get(), "4.1.0");
        EXPECT_FALSE(fs::exists("dbase.xml"));
    }
}

TEST_F(DataUpdateTest, AigListReplacesOldCopyFolder) {
    writeFile("input/regcodesAIG/AIG-regcodes.xml", "<old/>");
    m_server.set({{"aig/version.json", "7.0.1"}, {"aig/AIG-regcodes.xml", "<regcodes/>"}});
    for (int round = 0; round < 2; ++round) {
        if (round) fs::remove_all("input");   // a fresh program folder has no input folder yet
        gf_updateAigRegcodes();
        EXPECT_EQ(readFile("input/AIG-regcodes.xml"), "<regcodes/>");
        EXPECT_EQ(AIG_VERSION.get(), "7.0.1");
        EXPECT_FALSE(fs::exists("input/regcodesAIG"));
    }
}

TEST_F(DataUpdateTest, MySimAddonFilesAreFlattenedToText) {
    m_server.set({{"mysimaddon24/version.json", "1.2.0"},
                  {"mysimaddon24/my_simaddon2024.zip", makeZip({{"sub/", ""}, {"sub/EDDF.xml", "archive/simaddon/EDDF.xml"},
                                                                {"readme", "read me"}, {"a/LOWW.txt", "first"}, {"b/LOWW.xml", "second"}})}});
    gf_updateMySimAddon2024();
    const fs::path folder = "airports/my_simaddon2024";
    EXPECT_EQ(readFile(folder / "EDDF.txt"), "archive/simaddon/EDDF.xml");
    EXPECT_EQ(readFile(folder / "readme.txt"), "read me");
    EXPECT_EQ(readFile(folder / "LOWW.txt"), "second");   // same stem: the later wins
    EXPECT_FALSE(fs::exists(folder / "sub") || fs::exists("my_simaddon2024.zip"));
    EXPECT_EQ(MYSIMADDON24_VERSION.get(), "1.2.0");
    fs::remove_all(folder);   // then a file that cannot be written: not recorded
    EXPECT_TRUE(gf_mySimAddon2024FolderMissing());
    m_server.set("mysimaddon24/version.json", "1.3.0");
    fs::create_directories(folder / "EDDF.txt");
    gf_updateMySimAddon2024();
    EXPECT_EQ(readFile(folder / "readme.txt"), "read me");
    EXPECT_EQ(MYSIMADDON24_VERSION.get(), "1.2.0");
}

}  // namespace
}  // namespace vrn::test
