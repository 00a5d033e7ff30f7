#include "update/sim_installation.h"
#include "update/update_fixture.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

// The known folders come from the environment: %APPDATA% and %LOCALAPPDATA%, or on Linux
// XDG_CONFIG_HOME and XDG_DATA_HOME.
class SimInstallationTest : public UpdateTest {
protected:
    fs::path roaming() const { return root() / "roaming"; }
    fs::path local() const { return root() / "local"; }
    static fs::path makePackages(const fs::path& p, const char* official) {
        return fs::create_directories(p / "Community"), fs::create_directories(p / official), p;
    }
    fs::path storeUserCfg(const char* family = "Microsoft.FlightSimulator_8wekyb3d8bbwe") const {
        return local() / "Packages" / family / "LocalCache" / "UserCfg.opt";
    }
    ScopedEnv m_config{kRoamingFolderVariable, roaming().string()}, m_data{kLocalFolderVariable, local().string()};
};

// The Steam folder first when it fits the simulator; else the first UserCfg.opt that exists wins,
// even over a valid later one.
TEST_F(SimInstallationTest, SteamPackagesFolderFirstThenTheFirstUserCfg) {
    EXPECT_EQ(gf_findPackagesFolder(), fs::path());
    const fs::path packages = makePackages(root() / "Jürgen Ødegård", "Official");
    writeFile(local() / "MSFSPackages" / "UserCfg.opt", "InstalledPackagesPath \"" + packages.string() + "\"");
    EXPECT_EQ(gf_findPackagesFolder(), packages);
    writeFile(storeUserCfg("Microsoft.FlightDashboard_8wekyb3d8bbwe"), "InstalledPackagesPath \"/nowhere\"");
    EXPECT_EQ(gf_findPackagesFolder(), fs::path());

    MSFS_2020.set(false);
    const fs::path steam = makePackages(roaming() / "Microsoft Flight Simulator 2024" / "Packages", "Official2024");
    const fs::path other = makePackages(root() / "other packages", "Official2024");
    writeFile(storeUserCfg("Microsoft.Limitless_8wekyb3d8bbwe"),
              "Version 1\r\nInstalledPackagesPath \"" + other.string() + "\"\r\n");
    EXPECT_EQ(gf_findPackagesFolder(), steam);
    fs::rename(steam / "Official2024", steam / "Official");   // a 2020 layout: UserCfg.opt decides
    EXPECT_EQ(gf_findPackagesFolder(), other);
    fs::remove_all(other / "Official2024");
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
        writeFile(storeUserCfg(), text);
        EXPECT_EQ(gf_findPackagesFolder(), fs::path(expected)) << text;
    }
}

}  // namespace
}  // namespace vrn::test
