// The scan drivers: folder settings, user errors before anything is touched, the output folders,
// and the listing of the user's airport files.
#include <set>

#include "airports/airport_files.h"
#include "airports/bgl_builder.h"
#include "airports/airport_scan.h"
#include "app/scan_drivers.h"
#include "core/exceptions.h"
#include "run_test_fixture.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

class ScanDrivers : public RunTest {
protected:
    void SetUp() override {
        RunTest::SetUp();
        for (int i = 0; i < 10; ++i) gf_airportFolderSetting(i)->set("");
        fs::create_directories(g_myThirdpartyFolder);
        fs::create_directories(g_mySimaddonFolder);
        writeFile(g_myThirdpartyFolder / "EHAM.xml", "x");
        writeFile(g_mySimaddonFolder / "EGLL.xml", "x");
    }
    static int userErrorCode(const std::function<void()>& f) {
        try {
            f();
        } catch (const UserErrorException& e) {
            return std::stoi(e.what());
        } catch (const std::exception&) {
            return -1;
        }
        return 0;
    }
};

TEST_F(ScanDrivers, ManualScansWithoutFoldersAreUserErrorsAndTouchNothing) {
    struct Case {
        bool automatic, prioritize;
        std::string status;
    };
    SCAN_LIVERIES.set(true);
    for (const Case& c : {Case{false, true, "Scanning prioritized for liveries ..."},
                          Case{true, true, "Scanning for liveries ..."}, Case{false, false, "Scanning for liveries ..."}}) {
        LIG_AUTOMATIC.set(c.automatic);
        LIG_PRIORITIZE.set(c.prioritize);
        gf_clearError();
        const int code = userErrorCode([] { gf_scanLiveriesStep(true); });
        EXPECT_EQ(g_mainWindow.g_statusText.get(), c.status) << "shown before anything is scanned";
        if (!c.automatic) {
            EXPECT_EQ(code, 48);
            EXPECT_TRUE(SCAN_LIVERIES.get());
        }
    }
    AFG_AUTOMATIC.set(false);
    EXPECT_EQ(userErrorCode([] { gf_scanAirportsStep(); }), 49);
    // A stock airport folder is refused before the output folders are cleared.
    afolder0.set("/sim/Community/my-addon");
    afolder2.set("/sim/Official/OneStore/fs-base-genericairports/scenery");
    try {
        gf_scanAirportsStep();
        FAIL() << "no user error";
    } catch (const UserErrorException& e) {
        EXPECT_STREQ(e.what(), "42: parameter afolder2 points to stock airports instead of add-on airports!");
    }
    EXPECT_TRUE(fs::exists(g_myThirdpartyFolder / "EHAM.xml"));
}

TEST_F(ScanDrivers, AirportScanClearsItsOutputAndTurnsItselfOffOnlyWhenSomethingWasFound) {
    AFG_AUTOMATIC.set(false);
    afolder1.set((dir() / "missing").string());
    MSFS_2020.set(false);   // 2024: my_simaddon belongs to the archive and is left alone
    SCAN_AIRPORTS.set(true);
    gf_scanAirportsStep();
    EXPECT_FALSE(fs::exists(g_myThirdpartyFolder / "EHAM.xml"));
    EXPECT_TRUE(fs::exists(g_mySimaddonFolder / "EGLL.xml"));
    EXPECT_TRUE(SCAN_AIRPORTS.get());
    EXPECT_TRUE(logContains("Warning: Scan has not found any add-on airports"));

    writeFile(dir() / "Community/pkg/scenery/x.bgl", bgl::simpleAirportFile("EKCH", 2, 55.6, 12.6));
    afolder4.set((dir() / "Community").string());
    MSFS_2020.set(true);
    gf_scanAirportsStep();
    EXPECT_FALSE(fs::exists(g_mySimaddonFolder / "EGLL.xml"));
    EXPECT_FALSE(SCAN_AIRPORTS.get());
    EXPECT_EQ(storedValue("SCAN_AIRPORTS"), "false");
    EXPECT_FALSE(window.isChecked(SCAN_AIRPORTS.controlId));
}

TEST_F(ScanDrivers, ANonEmptySubfolderInTheOutputEndsTheScanAsASystemError) {
    writeFile(g_myThirdpartyFolder / "sub" / "keep.xml", "x");
    try {
        gf_clearFolder(g_myThirdpartyFolder);
        FAIL() << "no error";
    } catch (const fs::filesystem_error& e) {
        EXPECT_NE(std::string(e.what()).find("remove"), std::string::npos);
    }
    gf_clearFolder(dir() / "missing");   // nothing to clear
}

TEST_F(ScanDrivers, AirportFilesAreXmlFilesWithFourCharacterNames) {
    for (const char* name : {"eham.XML", "LFPG.txt", "EGLL1.xml"}) writeFile(g_myThirdpartyFolder / name, "x");
    fs::create_directories(g_myThirdpartyFolder / "ABCD.xml");
    std::vector<std::string> codes;
    gf_listXmlFiles(codes);
    EXPECT_EQ(std::set<std::string>(codes.begin(), codes.end()), (std::set<std::string>{"EHAM", "eham"}));
}

}  // namespace
}  // namespace vrn::test
