#include "update/sim_installation.h"
#include "update/update_fixture.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

// The Windows known folders are the XDG folders here: roaming = XDG_CONFIG_HOME, local = XDG_DATA_HOME.
class SimInstallationTest : public UpdateTest {
protected:
    void SetUp() override {
        UpdateTest::SetUp();
        m_config = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", roaming().string());
        m_data = std::make_unique<ScopedEnv>("XDG_DATA_HOME", local().string());
    }
    fs::path roaming() const { return root() / "roaming"; }
    fs::path local() const { return root() / "local"; }
    fs::path makePackages(const fs::path& p, const char* official) {
        fs::create_directories(p / "Community");
        fs::create_directories(p / official);
        return p;
    }
    fs::path storeUserCfg(const char* family = "Microsoft.FlightSimulator_8wekyb3d8bbwe") const {
        return local() / "Packages" / family / "LocalCache" / "UserCfg.opt";
    }
    static void writeUserCfg(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        writeFile(file, text);
    }

private:
    std::unique_ptr<ScopedEnv> m_config, m_data;
};

TEST_F(SimInstallationTest, SteamPackagesFolderFirstWhenItFitsTheSimulator) {
    MSFS_2020.set(false);
    const fs::path steam = makePackages(roaming() / "Microsoft Flight Simulator 2024" / "Packages", "Official2024");
    const fs::path other = makePackages(root() / "other packages", "Official2024");
    writeUserCfg(storeUserCfg("Microsoft.Limitless_8wekyb3d8bbwe"),
                 "Version 1\r\nInstalledPackagesPath \"" + other.string() + "\"\r\n");
    EXPECT_EQ(gf_findPackagesFolder(), steam);
    EXPECT_TRUE(logged("Steam packages:" + steam.string()));
    EXPECT_FALSE(logged("UserCfg.opt"));
    // A 2020 layout in the 2024 Steam folder is rejected: UserCfg.opt decides.
    fs::rename(steam / "Official2024", steam / "Official");
    EXPECT_EQ(gf_findPackagesFolder(), other);
    EXPECT_TRUE(logged("UserCfg.opt: InstalledPackagesPath=" + other.string()));
    fs::remove_all(other / "Official2024");
    EXPECT_EQ(gf_findPackagesFolder(), fs::path());
}

TEST_F(SimInstallationTest, UserCfgCandidatesInOrder) {
    const std::string missing[] = {
        "MSFS detection, no Store:" + storeUserCfg().string(),
        "MSFS detection, no Steam1:" + (roaming() / "Microsoft Flight Simulator" / "UserCfg.opt").string(),
        "MSFS detection, no Steam2:" +
            (local() / "Packages" / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt").string(),
        "MSFS detection, no Boxed:" + (local() / "MSFSPackages" / "UserCfg.opt").string(),
        "No UserCfg.opt found?"};
    EXPECT_EQ(gf_findPackagesFolder(), fs::path());
    std::string log = logText();
    for (std::size_t i = 0, at = 0; i < std::size(missing); ++i) {
        const auto next = log.find(missing[i], at);
        ASSERT_NE(next, std::string::npos) << missing[i];
        at = next;
    }
    // Only the boxed one: it is read; the first that exists wins, even over a valid later one.
    const fs::path packages = makePackages(root() / "Jürgen Ødegård", "Official");
    writeUserCfg(local() / "MSFSPackages" / "UserCfg.opt", "InstalledPackagesPath \"" + packages.string() + "\"");
    EXPECT_EQ(gf_findPackagesFolder(), packages);
    EXPECT_EQ(countOf(logText(), "MSFS detection, no Boxed:"), 1);
    writeUserCfg(local() / "Packages" / "Microsoft.FlightDashboard_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt",
                 "InstalledPackagesPath \"/nowhere\"");
    EXPECT_EQ(gf_findPackagesFolder(), fs::path());
}

TEST_F(SimInstallationTest, InstalledPackagesPathLineForms) {
    const std::string p = makePackages(root() / "Packages With Spaces", "Official").string();
    const std::pair<std::string, std::string> cases[] = {
        {"InstalledPackagesPath \"" + p + "\"\n", p},
        {"Graphics {\n}\n  InstalledPackagesPath \"" + p + "\" trailing\n", p},
        {"InstalledPackagesPath \"" + p + "/missing\"\n", ""},
        {"InstalledPackagesPath \"" + p + "\n", ""},   // no closing quote
        {"InstalledPackagesPath \"\"\n", ""},
        {"InstalledPackagesPath " + p + "\n", ""},     // no quotes: the whole line, no folder
        {"InstalledPackagesPath \"/nowhere\"\nInstalledPackagesPath \"" + p + "\"\n", ""},   // first key line only
        {"", ""},
    };
    for (const auto& [text, expected] : cases) {
        writeUserCfg(storeUserCfg(), text);
        const int before = countOf(logText(), "InstalledPackagesPath=???");
        EXPECT_EQ(gf_findPackagesFolder(), fs::path(expected)) << text;
        EXPECT_EQ(countOf(logText(), "InstalledPackagesPath=???") - before, expected.empty() ? 1 : 0) << text;
    }
}

}  // namespace
}  // namespace vrn::test
