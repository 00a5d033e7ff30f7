// Reading, detecting and writing whole text files.
#include <gtest/gtest.h>

#include <csignal>
#include <pugixml.hpp>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#endif

#include "app/main_window.h"
#include "core/text_files.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

std::string utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (char16_t u : text) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

const std::string kLeBom = "\xFF\xFE", kBeBom = "\xFE\xFF";

TEST(DetectTextEncoding, FromTheFirstTwoBytesAndFiveWhenUnreadable) {
    TempDir dir;
    const std::pair<std::string, int> cases[] = {{"\xFF\xFE" "a\0", 1}, {std::string("\xFF\xFE\0\0", 4), 1},
        {"\xFE\xFF\0a", 2}, {"\xEF\xBB\xBF" "abc", 3}, {"\xEF\xBB" "Aabc", 3},   // the third byte is not looked at
        {"abc", 0}, {"\xEF\xBF\xBD", 0}, {"\xFE", 0}, {"", 0}};
    for (const auto& [bytes, expected] : cases) {
        writeFile(dir / "f", bytes);
        EXPECT_EQ(gf_detectTextEncoding(dir / "f"), expected) << bytes;
    }
    EXPECT_EQ(gf_detectTextEncoding(dir / "missing.cfg"), 5);
    EXPECT_EQ(gf_detectTextEncoding(dir.path()), 5);   // a folder cannot be read as a file
}

TEST(ReadWideTextFile, EncodingsKeepEarlierLinesAndBadUtf16IsReported) {
    TempDir dir;
    const std::u16string text = u"[fltsim.0]\r\ntitle=\u00C9cole \U0001F6E9\r\n\r\nlast";
    const std::u16string lfText = u"[fltsim.0]\ntitle=\u00C9cole \U0001F6E9\n\nlast\n";
    const std::vector<std::string> good{"[fltsim.0]", "title=\xC3\x89" "cole \xF0\x9F\x9B\xA9", "", "last"};
    struct Case { int encoding; std::string bytes; bool ok; std::vector<std::string> lines; };
    const Case cases[] = {
        {1, kLeBom + utf16Bytes(text, false), true, good}, {1, kBeBom + utf16Bytes(text, true), true, good},
        {1, kLeBom + utf16Bytes(lfText, false), true, good},   // LF keeps the last character
        {1, utf16Bytes(lfText, true), true, good},             // no mark is big-endian
        {1, kLeBom + utf16Bytes(u"one\ntwo", false) + "x", false, {"one"}},   // a dangling odd byte
        {3, "\xEF\xBB\xBFtitle=A\r\nsecond\n", true, {"title=A\r", "second"}},
        {3, "\xEF\xBB" "Atitle\n", true, {"\xEF\xBB" "Atitle"}},   // detected as 3, but no real mark
        {1, kLeBom + utf16Bytes(u"one\r\ntw\xD800o\r\nthree\r\n", false), false, {"one"}},
    };
    for (const auto& c : cases) {
        writeFile(dir / "f", c.bytes);
        std::vector<std::string> lines{"earlier"};
        EXPECT_EQ(gf_readWideTextFile(c.encoding, dir / "f", lines), c.ok) << c.bytes;
        EXPECT_EQ(lines, [&] { auto l = c.lines; l.insert(l.begin(), "earlier"); return l; }()) << c.bytes;
    }
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "conversion from error from utf16 to utf8, code: 1113");
    std::vector<std::string> lines;
    EXPECT_FALSE(gf_readWideTextFile(1, dir / "missing", lines));
}

#ifndef _WIN32   // Windows has neither these modes nor symbolic links an ordinary user may make
TEST(WriteTextFiles, ReplaceKeepModeFollowLinksAndLeaveNoTemporaryFile) {
    TempDir dir;
    const auto real = dir / "real.xml";
    EXPECT_TRUE(gf_writeTextFile("old content that is longer", real, false));
    ::chmod(real.c_str(), 0640);
    fs::create_symlink(real, dir / "link.xml");
    EXPECT_TRUE(gf_writeTextFile("new", dir / "link.xml", true));
    EXPECT_TRUE(fs::is_symlink(dir / "link.xml"));
    EXPECT_EQ(readFile(real), "new\n");
    EXPECT_TRUE(gf_writeLinesFile({"a", "", "c"}, dir / "link.xml"));
    EXPECT_EQ(readFile(real), "a\n\nc\n");
    EXPECT_EQ(fs::status(real).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}
#endif

// A user folder with an umlaut and a blank; bytes as given (no carriage return added on Windows); an
// existing file replaced (which a plain rename refuses on Windows).
TEST(WriteTextFiles, ReplaceUnderANonAsciiFolderByteForByte) {
    TempDir dir;
    const fs::path folder = dir.path() / fs::path(u8"J\u00fcrgen M\u00fcller");
    fs::create_directories(folder);
    const fs::path file = folder / fs::path(u8"Parkpl\u00e4tze.txt");
    EXPECT_TRUE(gf_writeLinesFile({"one", "zw\xC3\xB6lf"}, file));
    EXPECT_TRUE(gf_writeTextFile("line\r\nnext", file, true));
    EXPECT_EQ(readFile(file), "line\r\nnext\n");
    EXPECT_EQ(gf_detectTextEncoding(file), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
#ifdef _WIN32
    // A read-only file is refused and kept (on Linux the tests may run as root, who may write it).
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(gf_writeTextFile("new", file, false));
    EXPECT_EQ(readFile(file), "line\r\nnext\n");
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);
#endif
}

TEST(WriteTextFiles, EveryFailedStepIsReportedAndChangesNothing) {
    TempDir dir;
    EXPECT_FALSE(gf_writeLinesFile({"x"}, dir / "missing" / "out.txt"));
    fs::create_directory(dir / "folder.txt");
    EXPECT_FALSE(gf_writeTextFile("x", dir / "folder.txt", true));

#ifndef _WIN32
    // A write that fails half way (file size limit): the old file stays whole.
    writeFile(dir / "kept.txt", "old");
    struct rlimit old {};
    ::getrlimit(RLIMIT_FSIZE, &old);
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool written = gf_writeTextFile(std::string(10000, 'y'), dir / "kept.txt", true);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_EQ(readFile(dir / "kept.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
#endif
}

TEST(SaveXmlFile, SavesWithDefaults) {
    TempDir dir;
    pugi::xml_document doc;
    doc.load_string(R"(<parameters><parameter name="LOG" value="true"/></parameters>)");
    EXPECT_TRUE(gf_saveXmlFile(doc, dir / "parameters.xml"));
    EXPECT_EQ(readFile(dir / "parameters.xml"),
              "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"LOG\" value=\"true\" />\n</parameters>\n");
    EXPECT_FALSE(gf_saveXmlFile(doc, dir / "nowhere" / "parameters.xml"));
}

}  // namespace
}  // namespace vrn
