#include "liveries/regcodes.h"
#include "liveries_fixture.h"

namespace vrn::test {
namespace {

class Regcodes : public LiveriesTest {
protected:
    void SetUp() override {
        LiveriesTest::SetUp();
        readDbase();
        for (auto [title, reg] : {std::pair{"Title A", ""}, {"Title B", ""}, {"Title C", ""}, {"Title Special", ""},
                                  {"Inline One", "D-AAAA"}, {"Inline Two", "D-AAAA"}})
            g_liveries.push_back(LiveryData{"DLH", "A320", title, reg, 0, false});
        gf_sortUniqueLiveries();
        std::filesystem::create_directories(dir() / "input" / "my_regcodes");
    }
};

TEST_F(Regcodes, InlineClashKeepsTheFirst) {
    gf_processScannedLiveries();
    EXPECT_EQ(g_regcodeLiveries.at("D-AAAA"), "Inline One");
    EXPECT_EQ(readFile(dir() / "output" / "errors" / "InlineRegcodes.txt"),
              systemLines("[DLH A320] D-AAAA \"Inline Two\" => in use by \"Inline One\"\n"));
    EXPECT_FALSE(std::filesystem::exists(dir() / "output" / "info" / "OfflineRegcodes.txt"));
}

TEST_F(Regcodes, AigThenUserListsOverride) {
    auto s = [](const char* r) { return gf_scrambleCode(r); };
    writeFile(dir() / "input" / "AIG-regcodes.xml",
              "<AIG-regcodes><livery title='Title A' reg='" + s("REG1") + ", " + s("D-AAAA") + "'/>"
              "<livery title='Not Installed' reg='" + s("REG9") + "'/>"
              "<livery title='Title Special' reg='" + s("REG2") + "' special='yes'/>"
              "<livery title='Title B' reg='" + s("REG3") + ",," + s("REG4") + ",'/>"
              "<livery title='Title C' reg='" + s("ABCDEFGHIJKLM") + "," + s("ABCDEFGHIJKL") + "'/>"
              "<livery title='Do not use me'/></AIG-regcodes>");
    writeFile(dir() / "input" / "my_regcodes" / "a.TXT",
              "Title B;REG1\r\nTitle C;REG5,REG6\nTitle A;REG7;x\nTitle A;REG8,REG9;#\na;b;c;d\n\nshort\n");
    writeFile(dir() / "input" / "my_regcodes" / "b.txt", "Title B;REG1\n");
    writeFile(dir() / "input" / "my_regcodes" / "c.dat", "Title C;REGX\n");
    gf_processScannedLiveries();

    // The AIG list overrides the in-line D-AAAA; REG9 is only ever Title A's; 13 characters are too many.
    for (auto [reg, title] : {std::pair{"REG1", "Title B"}, {"D-AAAA", "Title A"}, {"REG4", "Title B"}, {"ABCDEFGHIJKL", "Title C"},
                              {"ABCDEFGHIJKLM", ""}, {"REG7", ""}, {"REGX", ""}})
        EXPECT_EQ(g_regcodeLiveries.count(reg) ? g_regcodeLiveries.at(reg) : "", title) << reg;
    EXPECT_FALSE(g_regcodeLiveries.count("REG9") && g_regcodeLiveries.at("REG9") != "Title A");
    // Special: marked so, one registration only (Title B) or '#' (Title A).
    EXPECT_TRUE(gf_isSpecialLivery("Title Special") && gf_isSpecialLivery("Title B") && gf_isSpecialLivery("Title A"));
    EXPECT_FALSE(gf_isSpecialLivery("Title C"));
    const std::string report = slashed(readText(dir() / "output" / "info" / "OfflineRegcodes.txt"));
    for (const char* line : {"===> wrong regcode length \"\" in Title B\n", "wrong regcode length \"" /* 13 characters, scrambled */,
                             "input/AIG-regcodes.xml: 5 new regcodes added, 1 regcode replaced, 1 regcode defined as special\n",
                             "   regcode REG1 for \"Title B\", instead of for \"Title A\"\n", "===> input/my_regcodes/a.TXT wrong format: a;b;c;d\n",
                             "input/my_regcodes/a.TXT: 4 new regcodes added, 1 regcode replaced, 3 regcodes defined as special\n",
                             "input/my_regcodes/b.txt: 1 new regcode added, 1 regcode defined as special\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n---\n" << report;
}

TEST_F(Regcodes, DontUseTitlesBeforeARescan) {
    writeFile(dir() / "input" / "AIG-regcodes.xml",
              "<AIG-regcodes><livery title='Do not use me'/><livery title='Do not use me' reg=''/>"
              "<livery title='Has regs' reg='X'/></AIG-regcodes>");
    writeFile(dir() / "input" / "my_regcodes" / "a.TXT", "12345678\n123456789\n123456789\nLong title;\nx;y\nx;z\n");
    gf_readDontUseTitlesAig(), gf_readDontUseTitlesTxt();
    EXPECT_EQ(g_dontUseTitles, (std::unordered_set<std::string>{"Do not use me", "123456789", "Long title"}));
    writeFile(dir() / "input" / "AIG-regcodes.xml", "<AIG-regcodes><livery");
    EXPECT_NO_THROW(gf_readDontUseTitlesAig());
}

// The user's lists as Windows editors save them (CR LF): every line means what it means with LF.
TEST_F(Regcodes, UserListsWithWindowsLineEnds) {
    writeFile(dir() / "input" / "my_regcodes" / "a.TXT",
              "Do not use this one;\r\nTitle B;REG1,REG2;\r\nTitle C;REG3;#\r\na;b;c;d\r\n\r\nTitle A;REG4\r\n");
    gf_readDontUseTitlesTxt();
    EXPECT_EQ(g_dontUseTitles, (std::unordered_set<std::string>{"Do not use this one"}));
    gf_processScannedLiveries();
    for (auto [reg, title] : {std::pair{"REG1", "Title B"}, {"REG2", "Title B"}, {"REG3", "Title C"}, {"REG4", "Title A"}})
        EXPECT_EQ(g_regcodeLiveries.count(reg) ? g_regcodeLiveries.at(reg) : "", title) << reg;
    EXPECT_FALSE(gf_isSpecialLivery("Title B"));
    EXPECT_TRUE(gf_isSpecialLivery("Title C") && gf_isSpecialLivery("Title A"));
    // The report holds no carriage return but its line ends, and reads back line by line.
    const std::string report = slashed(readText(dir() / "output" / "info" / "OfflineRegcodes.txt"));
    EXPECT_EQ(report.find('\r'), std::string::npos) << report;
    for (const char* line : {"===> input/my_regcodes/a.TXT wrong format: a;b;c;d\n",
                             "input/my_regcodes/a.TXT: 4 new regcodes added, 2 regcodes defined as special\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n---\n" << report;
    EXPECT_EQ(readFile(dir() / "output" / "info" / "OfflineRegcodes.txt"), systemLines(readText(dir() / "output" / "info" / "OfflineRegcodes.txt")));
}

}  // namespace
}  // namespace vrn::test
