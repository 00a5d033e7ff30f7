// Whole rescans of generated package trees and of the real aircraft.cfg samples.
#include <algorithm>

#include "app/scan_drivers.h"
#include "core/exceptions.h"
#include "core/format.h"
#include "core/run_state.h"
#include "liveries/liveries_fixture.h"
#include "liveries/livery_scan.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

std::string cfg(const std::string& type, const std::vector<std::string>& sections) {
    std::string out = "[VERSION]\nmajor = 1\n[GENERAL]\nicao_type_designator = \"" + type + "\"\n";
    for (std::size_t i = 0; i < sections.size(); ++i) out += "[FLTSIM." + std::to_string(i) + "]\n" + sections[i] + "\n";
    return out;
}

std::string sec(const std::string& title, const std::string& airline, const std::string& extra = "") {
    return "title = \"" + title + "\"\nicao_airline = \"" + airline + "\"\n" + extra;
}

class LiveryScan : public LiveriesTest {
protected:
    void SetUp() override {
        LiveriesTest::SetUp();
        readDbase({{"D-ABCD", "DLH", "A319", "EWG", false}, {"G-EMPT", "", "", "", true}});
        writeFile(dir() / "input" / "fixes.xml", "<fixes><fix wrong='B38' correct='B38M'/></fixes><PVT_fixes/><GOV_fixes/>");
        gf_readFixes();
        g_workerThreads.store(2);
        g_scanWorkers.store(0);
    }
    void aircraft(const fs::path& folder, const std::string& bytes) { writeFile(folder / "aircraft.cfg", bytes); }
    std::string xml() { return readFile(dir() / "output" / "LiveriesScanned.xml"); }
};

TEST_F(LiveryScan, ManualFoldersWithOddFilesAndReports) {
    const fs::path a = dir() / "A", c = dir() / "C";
    aircraft(a / "x" / "A320", cfg("A320", {sec("DLH one", "DLH", "atc_id = D-ABCD\n"), sec("Same DLH", "DLH")}));
    aircraft(a / "x" / "B38", cfg("B38", {sec("B38M RYR", "RYR")}));
    aircraft(a / "x" / "Bad", cfg("QQQQ", {sec("Bad model", "DLH")}));
    aircraft(a / "x" / "Gap", "[GENERAL]\nicao_type_designator=A320\n[FLTSIM.0]\ntitle=a\n[FLTSIM.2]\ntitle=b\n");
    aircraft(a / "x" / "Empty", "[GENERAL]\nicao_type_designator=A320\n");
    aircraft(a / "x" / "Airline", cfg("A320", {sec("Wrong airline", "XYZ"), "title = \"No airline\"\n"}));
    aircraft(a / "x" / "Blank", cfg("A320", {sec("Blank in dbase", "BAW", "atc_id = G-EMPT\n")}));
    writeFile(a / "x" / "Upper" / "Aircraft.CFG", cfg("A320", {sec("Upper case file", "BAW")}));
    writeFile(a / "x" / "Old" / "aircraft.cfg.bak", cfg("A320", {sec("Backup", "BAW")}));
    fs::create_directories(a / "x" / "Dir" / "aircraft.cfg");
    aircraft(a / "some-airport-pack", cfg("A320", {sec("Direct in skipped folder", "KLM")}));
    aircraft(a / "some-airport-pack" / "deeper", cfg("A320", {sec("Below skipped folder", "KLM")}));
    if (symlinksAvailable()) fs::create_directory_symlink(a, a / "x" / "loop");
    aircraft(c / "A320", cfg("A320", {sec("DLH one", "DLH"), sec("C only", "UAE")}));
    aircraft(c / "A319", cfg("A319", {sec("EWG in C", "EWG")}));
    writeFile(dir() / "output" / "errors" / "Fixes.txt", "old report\n");
    fs::create_directories(dir() / "output" / "info" / "AirlineModelConversions.txt");   // cannot be written

    std::vector<std::string> folders = {a.string(), (dir() / "B").string(), c.string()};
    ASSERT_TRUE(gf_scanLiveries(true, false, true, folders));
    EXPECT_EQ(g_scanWorkers.load(), 0);
    EXPECT_TRUE(g_liveries.empty());

    const std::string stored = xml();
    for (const char* title : {"DLH one", "Same DLH", "B38M RYR", "Upper case file"})
        EXPECT_NE(stored.find(title), std::string::npos) << title;
    // Skipped folders, backups, wrong models and the second DLH one (folder C) are not stored. The
    // D-ABCD registration turned DLH A320 into EWG A319; folder C's EWG A319 then lost on priority.
    for (const char* title : {"Direct in skipped folder", "Below skipped folder", "Backup", "Bad model", "EWG in C"})
        EXPECT_EQ(stored.find(title), std::string::npos) << title;
    EXPECT_NE(stored.find("<liv airl=\"EWG\" type=\"A319\" title=\"DLH one\" atcid=\"D-ABCD\" />"), std::string::npos);
    EXPECT_NE(stored.find("airl=\"UAE\""), std::string::npos) << "C's own airline/model stays";
    // Empty database fields tell nothing: only the cargo flag of G-EMPT is taken.
    EXPECT_NE(stored.find("<liv airl=\"BAW\" type=\"A320\" cargo=\"true\" title=\"Blank in dbase\" atcid=\"G-EMPT\" />"),
              std::string::npos);
    // A report that cannot be written is logged as such, not announced.
    const std::string log = logText();
    EXPECT_NE(log.find("AirlineModelConversions.txt could not be written"), std::string::npos);
    EXPECT_EQ(log.find("liveries updated with real live data from dbase"), std::string::npos);

    const fs::path errors = dir() / "output" / "errors", info = dir() / "output" / "info";
    EXPECT_EQ(readText(errors / "Fixes.txt"), "Fix: B38 found in " + (a / "x" / "B38" / "aircraft.cfg").string() + " changed into B38M\n");
    EXPECT_NE(readFile(errors / "InvalidAircraftCodes.txt").find("QQQQ"), std::string::npos);
    EXPECT_NE(readFile(errors / "InvalidAirlineCodes.txt").find("XYZ          in "), std::string::npos);
    EXPECT_NE(readFile(errors / "InvalidAircraftCfgFiles.txt").find("non-consecutive [fltsim.x] numbers at .x=2"),
              std::string::npos);
    const std::string incomplete = readFile(errors / "IncompleFltsimSections.txt");
    EXPECT_NE(incomplete.find("title \"DLH one\" already exists"), std::string::npos);
    EXPECT_NE(incomplete.find("empty icao_airline="), std::string::npos);
    EXPECT_NE(readFile(info / "AircraftCfgWithNoFltsimSection.txt").find("Empty"), std::string::npos);
    EXPECT_NE(readFile(info / "LiveriesSkippedOnPriority.txt").find("EWG A319 \"EWG in C\""), std::string::npos);
    EXPECT_GT(g_mainWindow.g_liveryCount.load(), 0);

    // The stored scan reads back into the same index.
    gf_clearLiveryIndex();
    std::vector<std::string> none;
    ASSERT_TRUE(gf_scanLiveries(false, false, false, none));
    EXPECT_TRUE(gf_findIndexedTitle("B38M RYR"));
}

TEST_F(LiveryScan, AutomaticModeTakesTrafficPackagesOnly) {
    const fs::path community = dir() / "Packages" / "Community";
    MSFS_2020.set(true);
    MSFS_INSTALL_PATH.set((dir() / "Packages").string());
    for (const char* pkg : {"aig-aitraffic-oci-beta", "aig-aitraffic-oci", "aig-aitraffic-oci_CVT_x", "fsltl-traffic-base_CVT_",
                            "other-aircraft"})
        aircraft(community / pkg / "SimObjects" / "Airplanes" / "a", cfg("A320", {sec(std::string("Title of ") + pkg, "DLH")}));
    std::vector<std::string> folders;
    ASSERT_TRUE(gf_scanLiveries(true, true, false, folders));
    EXPECT_EQ(folders.size(), 3u);   // fsltl-traffic-base_CVT_ is taken even with _CVT_ ...
    const std::string stored = xml();
    for (const char* title : {"aig-aitraffic-oci-beta\"", "aig-aitraffic-oci\""})
        EXPECT_NE(stored.find(std::string("Title of ") + title), std::string::npos) << title;
    EXPECT_EQ(stored.find("other-aircraft"), std::string::npos);
    EXPECT_EQ(stored.find("fsltl-traffic-base"), std::string::npos);   // ... but the walk stays out of it

    // Without a traffic package the whole Community folder is one folder.
    for (const auto& pkg : fs::directory_iterator(community))
        if (pkg.path().filename() != "other-aircraft") fs::remove_all(pkg.path());
    folders.clear();
    ASSERT_TRUE(gf_scanLiveries(true, true, false, folders));
    EXPECT_NE(xml().find("Title of other-aircraft"), std::string::npos);

    // Nothing found automatically: the liveries step tells the user to name the folders.
    fs::remove_all(community / "other-aircraft");
    LIG_AUTOMATIC.set(true);
    try {
        gf_scanLiveriesStep(true);
        FAIL();
    } catch (const UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()).substr(0, 4), "43: ");
    }
    EXPECT_EQ(g_mainWindow.g_liveryCount.load(), 0);
}

TEST_F(LiveryScan, AFailedRescanKeepsTheStoredScan) {
    writeFile(dir() / "output" / "LiveriesScanned.xml", "<liveries><liv airl='DLH' type='A320' title='kept'/></liveries>");
    aircraft(dir() / "A" / "x", cfg("QQQQ", {sec("nothing", "DLH")}));
    // A mistyped folder among them: the message names the folders, marks it and points to the guide.
    std::vector<std::string> folders = {(dir() / "A").string(), (dir() / "B").string()};
    try {
        gf_scanLiveries(true, false, false, folders);
        FAIL();
    } catch (const UserErrorException& e) {
        // The guide first and each folder by its last name (no lfolder names them here); the whole
        // paths are in Log.txt.
        EXPECT_EQ(std::string(e.what()), "53: no liveries found, see README.txt, \"Livery and airport folders\"; not "
                                         "found: \"B\"; no liveries in: \"A\"");
        EXPECT_NE(logText().find(vrn::format("no liveries found in \"{}\", \"{}\" (not found)", folders[0], folders[1])),
                  std::string::npos);
    }
    EXPECT_NE(xml().find("kept"), std::string::npos);
    EXPECT_EQ(g_mainWindow.g_liveryCount.load(), 0);
    EXPECT_TRUE(g_scanReports.invalidModels.empty());

    // An exit request: nothing is written or processed, and the stored scan goes, so that the next
    // start scans again rather than taking the old scan for the one that was asked for.
    aircraft(dir() / "A" / "y", cfg("A320", {sec("would be found", "DLH")}));
    g_userStopped = true;
    EXPECT_TRUE(gf_scanLiveries(true, false, false, folders));
    g_userStopped = false;
    EXPECT_FALSE(fs::exists(dir() / "output" / "LiveriesScanned.xml"));
    EXPECT_FALSE(fs::exists(dir() / "output" / "errors" / "InvalidAircraftCodes.txt"));
    EXPECT_TRUE(g_liveries.empty());
}

// A mistyped lfolder beside good ones: the scan goes on with them, and the window says which one is
// missing, in Log.txt the moment it shows, and keeps it to be read while the start goes on.
TEST_F(LiveryScan, AMissingLfolderBesideAGoodOneIsSaidAndStaysToBeRead) {
    aircraft(dir() / "Good" / "x", cfg("A320", {sec("found", "DLH")}));
    lfolder0.set((dir() / "Good").string());
    lfolder4.set((dir() / "Mistyped").string() + "/");
    LIG_AUTOMATIC.set(false), LIG_PRIORITIZE.set(false);
    gf_scanLiveriesStep(true);
    EXPECT_EQ(g_mainWindow.g_liveryCount.load(), 1);
    const std::string warning = "Warning: lfolder not found, see README.txt, \"Livery and airport folders\": lfolder4 \"Mistyped\"";
    EXPECT_EQ(g_mainWindow.g_statusText.get(), warning);
    EXPECT_NE(readText(dir() / "Log.txt").find(warning), std::string::npos) << "not flushed";
    gf_showStatus("Connecting to RealTraffic ...", true);   // the next step's routine status
    for (int second = 0; second < kWarningSeconds; ++second) {
        EXPECT_EQ(g_mainWindow.g_statusText.get(), warning) << second;
        gf_statusSecondTick();
    }
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "Connecting to RealTraffic ...");
    lfolder0.set(""), lfolder4.set("");
}

TEST_F(LiveryScan, AnyWorkerCountGivesTheFilesInWalkOrder) {
    for (int i = 0; i < 24; ++i)
        aircraft(dir() / "W" / ("a" + std::to_string(i)), cfg("A320", {sec("Walk " + std::to_string(i), "DLH")}));
    std::vector<std::string> reference;
    for (unsigned workers : {1u, 0u, 2u, 8u}) {   // 0: a machine that cannot tell its thread count
        gf_clearScanReports();
        g_workerThreads.store(workers);
        std::list<LiveryData> found;
        gf_searchFolder(1, dir() / "W", found);
        std::vector<std::string> titles;
        for (const LiveryData& l : found) titles.push_back(l.title);
        if (reference.empty()) reference = titles;
        EXPECT_EQ(titles, reference) << workers << " workers";
        EXPECT_EQ(g_scanWorkers.load(), 0) << workers << " workers";
    }
    EXPECT_EQ(reference.size(), 24u);
}

// Skip words and the length count on the whole path, the scanned folder's own included: its direct
// files are searched, nothing below it; folders after the tenth share the last priority.
TEST_F(LiveryScan, SkipWordsDepthAndTheLastPriority) {
    const fs::path root = dir() / "airports" / "inibuilds-stuff";
    aircraft(root, cfg("A320", {sec("Direct file", "DLH")}));
    aircraft(root / "pkg" / "a", cfg("A320", {sec("Deeper file", "KLM")}));
    aircraft(root / "pkg" / "lvfr-thing" / "a", cfg("A320", {sec("Under a skip word", "BAW")}));
    aircraft(root / "pkg" / std::string(240, 'x') / "a", cfg("A320", {sec("Too deep", "RYR")}));
    std::vector<std::string> folders = {root.string()};
    for (int i = 0; i < 12; ++i) {
        const fs::path f = dir() / ("F" + std::to_string(i));
        aircraft(f / "a", cfg("A320", {sec("Livery " + std::to_string(i), i < 10 ? "ZZZ" : "BAW")}));
        folders.push_back(f.string());
    }
    ASSERT_TRUE(gf_scanLiveries(true, false, true, folders));
    const std::string stored = xml();
    // ZZZ A320 of folder 11 loses to folder 2; BAW A320 of folders 12 and 13 share the last number.
    for (const char* title : {"Direct file", "Livery 0", "Livery 10", "Livery 11"})
        EXPECT_NE(stored.find(title), std::string::npos) << title;
    for (const char* title : {"Deeper file", "Under a skip word", "Too deep", "Livery 9"})
        EXPECT_EQ(stored.find(title), std::string::npos) << title;
}

}  // namespace
}  // namespace vrn::test
