#include "core/exceptions.h"
#include "update/program_update.h"
#include "update/update_fixture.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

using ProgramUpdateTest = UpdateTest;

const char* const kVersionFiles[] = {"release/version.json", "dbase/version.json", "archive/msfs/version.json",
                                     "aig/version.json", "mysimaddon24/version.json"};

// No package, no zip, a zip whose last entry is damaged: the start goes on, with no half installer
// offered to the user. A whole installer ends the run with the user told where it is.
TEST_F(ProgramUpdateTest, FailedInstallerLetsTheStartGoOnAWholeOneEndsIt) {
    const std::string failed = "download/extract of the new version failed? Try manually via my website";
    const std::string marker = "SECOND-ENTRY-" + std::string(5000, 'z');
    std::string damaged = makeZip({{"good.exe", std::string(70000, 'g')}, {"bad.exe", marker, true}});
    damaged[damaged.find(marker) + 100] ^= 0x55;
    m_server.set("release/version.json", "9.4.1");
    for (const std::string& zip : {std::string(), std::string("not a zip"), damaged}) {
        if (!zip.empty()) m_server.set("release/setup_Varnel_v9.4.1.zip", zip);
        EXPECT_NO_THROW(gf_checkProgramVersion());
        EXPECT_EQ(statusTexts().back(), failed);
        EXPECT_FALSE(fs::exists("install_new_version.exe"));
        EXPECT_FALSE(!zip.empty() && fs::exists("setup_Varnel_v9.4.1.zip"));
    }
    PROGRAM_INSTALL_PATH.set(gf_utf8Of(program()));
    std::string exe(0x80000 * 2 + 4321, '\0');   // several chunks
    for (std::size_t i = 0; i < exe.size(); ++i) exe[i] = static_cast<char>((i * 131 + i / 4096) % 256);
    m_server.set({{"release/version.json", "10.0.0"},
                  {"release/setup_Varnel_v10.0.0.zip", makeZip({{"install_new_version.exe", exe}, {"setup/", ""}})}});
    std::string message = "no exception";
    try { gf_checkProgramVersion(); } catch (const UserErrorException& e) { message = e.what(); }
    EXPECT_EQ(message, "New version 10.0.0 available. Exit here, and run as administrator:   \"" +
                           gf_utf8Of(program() / "install_new_version.exe") + "\"");
    EXPECT_EQ(readFile("install_new_version.exe"), exe);
    EXPECT_FALSE(fs::exists("setup_Varnel_v10.0.0.zip"));
}

TEST_F(ProgramUpdateTest, UpdateListNamesNewerComponentsInOrder) {
    const std::pair<std::vector<std::pair<std::string, std::string>>, std::string> cases[] = {
        {{}, ""},
        {{{"archive/msfs/version.json", "2.4.0"}}, "New version for: archive (2.4.0)"},
        {{{"aig/version.json", "3.0.0"}, {"release/version.json", "9.5.0"}},
         "New versions for: Varnel (9.5.0), AIG-regcodes (3.0.0)"},
        {{{"mysimaddon24/version.json", "1.1.0"}, {"dbase/version.json", "5.0.0"}, {"aig/version.json", "1.0.0"},
          {"release/version.json", "9.4.0"}},
         "New versions for: dbase (5.0.0), MySimAddon2024 (1.1.0)"},   // listed whatever MSFS_2020 says
    };
    DBASE_VERSION.set("4.9.9"), ARCHIVE_VERSION.set("2.3.0"), AIG_VERSION.set("1.0.0");
    for (const auto& [files, expected] : cases) {
        for (const char* f : kVersionFiles) m_server.remove(f);
        for (const auto& [file, content] : files) m_server.set(file, content);
        m_server.clearRequests();
        EXPECT_EQ(gf_listAvailableUpdates().newer, expected);
        EXPECT_EQ(m_server.requests().size(), 5u);   // version files only
    }
    EXPECT_EQ(DBASE_VERSION.get(), "4.9.9");
}

// The list runs on the GUI thread: a server that accepts and never answers holds it for at most
// twice the time of one version file, and nothing is listed.
TEST_F(ProgramUpdateTest, UpdateListGivesUpOnAStalledServer) {
    gf_setVersionFileTimeLimit(std::chrono::milliseconds(250));
    for (const char* f : kVersionFiles) m_server.route(f, {"", false, true});
    const AvailableUpdates nothing = gf_listAvailableUpdates();
    EXPECT_FALSE(nothing.checked) << "a server that never answers is no proof of being up to date";
    EXPECT_EQ(nothing.newer, "");
    EXPECT_GE(logged("download error: no time left for version files"), 2);
    EXPECT_LT(m_server.requests().size(), 5u);
}

}  // namespace
}  // namespace vrn::test
