// Paths named by UTF-8 text: a user folder such as "C:\Users\Jürgen Müller" must keep its name.
#include <gtest/gtest.h>

#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;

// Written and read back through the program's own file code and listed under its real name (on
// Windows a std::string read in the code page would have made the folder "JÃ¼rgen MÃ¼ller").
TEST(Utf8Paths, AFolderWithABlankAndAnUmlautRoundTrips) {
    test::TempDir dir;
    const std::string name = "Jürgen Müller";
    const fs::path folder = dir.path() / gf_pathFromUtf8(name);
    fs::create_directories(folder);
    const fs::path file = gf_pathFromUtf8(gf_utf8Of(folder) + "/Flüge ab.txt");
    ASSERT_TRUE(gf_writeTextFile("Grüße", file, false));
    TextFile text{file, {}};
    ASSERT_NE(text.readLines(4), nullptr);
    EXPECT_EQ(text.lines, std::vector<std::string>{"Grüße"});
    EXPECT_EQ(gf_utf8Of(fs::directory_iterator(dir.path())->path().filename()), name);
    EXPECT_TRUE(fs::directory_iterator(folder)->path().filename().u8string() == u8"Flüge ab.txt");
    EXPECT_EQ(gf_genericUtf8Of(gf_pathFromUtf8(name) / "a b"), name + "/a b");
    EXPECT_NO_THROW(gf_pathFromUtf8("no \xFF UTF-8"));   // still a path, in the narrow encoding
}

}  // namespace
}  // namespace vrn
