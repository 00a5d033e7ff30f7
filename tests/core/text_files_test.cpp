// Reading, detecting and writing whole text files.
#include <gtest/gtest.h>

#include <csignal>
#include <pugixml.hpp>
#include <sys/resource.h>
#include <sys/stat.h>

#include "app/main_window.h"
#include "core/log.h"
#include "core/text_files.h"
#include "support/test_support.h"

namespace vrn {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

// UTF-16 bytes of a text, in the given byte order.
std::string utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes;
    for (char16_t u : text) {
        const char hi = static_cast<char>(u >> 8), lo = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return bytes;
}

const std::string kLeBom = "\xFF\xFE";
const std::string kBeBom = "\xFE\xFF";

TEST(DetectTextEncoding, FromTheFirstTwoBytesAndFiveWhenUnreadable) {
    TempDir dir;
    const std::pair<std::string, int> cases[] = {
        {"\xFF\xFE" "a\0", 1}, {std::string("\xFF\xFE\0\0", 4), 1}, {"\xFE\xFF\0a", 2}, {"\xEF\xBB\xBF" "abc", 3},
        {"\xEF\xBB" "Aabc", 3},   // the third byte is not looked at
        {"abc", 0}, {"\xEF\xBF\xBD", 0}, {"\xFE", 0}, {"", 0},
    };
    for (const auto& [bytes, expected] : cases) {
        writeFile(dir / "f", bytes);
        EXPECT_EQ(gf_detectTextEncoding(dir / "f"), expected) << bytes;
    }
    gf_startLog(dir / "Log.txt");
    EXPECT_EQ(gf_detectTextEncoding(dir / "missing.cfg"), 5);
    EXPECT_EQ(gf_detectTextEncoding(dir.path()), 5);   // a folder cannot be read as a file
    gf_closeLog();
    const std::string log = readFile(dir / "Log.txt");
    EXPECT_NE(log.find("cannot open file " + (dir / "missing.cfg").string() + " for character encoding, err: 2\n"),
              std::string::npos) << log;
    EXPECT_NE(log.find("cannot open file " + dir.path().string() + " for character encoding, err: 21\n"),
              std::string::npos);
}

TEST(ReadWideTextFile, Utf16InBothByteOrdersWithAndWithoutCarriageReturns) {
    TempDir dir;
    const std::u16string text = u"[fltsim.0]\r\ntitle=\u00C9cole \U0001F6E9\r\n\r\nlast";
    const std::u16string lfText = u"[fltsim.0]\ntitle=\u00C9cole \U0001F6E9\n\nlast\n";
    const std::vector<std::string> expected{"earlier", "[fltsim.0]", "title=\xC3\x89" "cole \xF0\x9F\x9B\xA9", "", "last"};
    const std::pair<const char*, std::string> files[] = {
        {"LE CRLF", kLeBom + utf16Bytes(text, false)},
        {"BE CRLF", kBeBom + utf16Bytes(text, true)},
        {"LE LF keeps last character", kLeBom + utf16Bytes(lfText, false)},
        {"no mark is big-endian", utf16Bytes(lfText, true)},
    };
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name);
        writeFile(dir / "aircraft.cfg", bytes);
        std::vector<std::string> lines{"earlier"};
        EXPECT_TRUE(gf_readWideTextFile(1, dir / "aircraft.cfg", lines));
        EXPECT_EQ(lines, expected);
    }
}

TEST(ReadWideTextFile, BadUtf16KeepsEarlierLinesAndReportsOnTheStatusLine) {
    TempDir dir;
    gf_startLog(dir / "Log.txt");
    writeFile(dir / "unpaired", kLeBom + utf16Bytes(u"one\r\ntw\xD800o\r\nthree\r\n", false));
    std::vector<std::string> lines;
    EXPECT_FALSE(gf_readWideTextFile(1, dir / "unpaired", lines));
    EXPECT_EQ(lines, std::vector<std::string>{"one"});
    EXPECT_EQ(g_mainWindow.g_statusText.get(), "conversion from error from utf16 to utf8, code: 1113");

    // A dangling odd byte: the complete lines are read, the broken last one is not.
    writeFile(dir / "odd", kLeBom + utf16Bytes(u"one\ntwo", false) + "x");
    lines.clear();
    EXPECT_FALSE(gf_readWideTextFile(1, dir / "odd", lines));
    EXPECT_EQ(lines, std::vector<std::string>{"one"});
    gf_closeLog();
}

TEST(ReadWideTextFile, Utf8MarkRemovedOnlyWhereItIs) {
    TempDir dir;
    writeFile(dir / "bom", "\xEF\xBB\xBFtitle=A\r\nsecond\n");
    writeFile(dir / "fake", "\xEF\xBB" "Atitle\n");
    std::vector<std::string> lines{"previous line kept"};
    EXPECT_TRUE(gf_readWideTextFile(3, dir / "bom", lines));
    EXPECT_EQ(lines, (std::vector<std::string>{"previous line kept", "title=A\r", "second"}));
    lines.clear();
    EXPECT_TRUE(gf_readWideTextFile(3, dir / "fake", lines));   // detected as 3, but no real mark
    EXPECT_EQ(lines, std::vector<std::string>{"\xEF\xBB" "Atitle"});
    EXPECT_FALSE(gf_readWideTextFile(3, dir / "missing", lines));
    EXPECT_FALSE(gf_readWideTextFile(1, dir / "missing", lines));
    EXPECT_EQ(lines.size(), 1u);
}

TEST(TextFileReadLines, KeepsCarriageReturnsAndNullOnlyWhenNothingIsHeld) {
    TempDir dir;
    writeFile(dir / "a.txt", "EGLL,A12\r\n\nKJFK");
    writeFile(dir / "empty.txt", "");
    TextFile file{dir / "a.txt", {}}, empty{dir / "empty.txt", {}}, missing{dir / "none.txt", {}};
    auto* lines = file.readLines(100);
    ASSERT_NE(lines, nullptr);
    EXPECT_EQ(*lines, (std::vector<std::string>{"EGLL,A12\r", "", "KJFK"}));
    EXPECT_EQ(empty.readLines(0), nullptr);
    EXPECT_EQ(missing.readLines(10), nullptr);
    empty.lines = {"kept"};
    EXPECT_NE(empty.readLines(0), nullptr);   // lines already held make the result non-null
}

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

TEST(WriteTextFiles, EveryFailedStepIsReportedAndChangesNothing) {
    TempDir dir;
    // No folder to write in.
    EXPECT_FALSE(gf_writeTextFile("x", dir / "missing" / "out.txt", true));
    EXPECT_FALSE(gf_writeLinesFile({"x"}, dir / "missing" / "out.txt"));
    // The target is a folder.
    fs::create_directory(dir / "folder.txt");
    EXPECT_FALSE(gf_writeTextFile("x", dir / "folder.txt", true));
    EXPECT_TRUE(fs::is_directory(dir / "folder.txt"));

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
}

TEST(SaveXmlFile, SavesWithDefaultsAndLogsTheOutcome) {
    TempDir dir;
    gf_startLog(dir / "Log.txt");
    pugi::xml_document doc;
    auto p = doc.append_child("parameters").append_child("parameter");
    p.append_attribute("name") = "LOG";
    p.append_attribute("value") = "true";
    const auto file = dir / "parameters.xml";
    EXPECT_TRUE(gf_saveXmlFile(doc, file));
    EXPECT_EQ(readFile(file),
              "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"LOG\" value=\"true\" />\n</parameters>\n");
    EXPECT_FALSE(gf_saveXmlFile(doc, dir / "nowhere" / "parameters.xml"));
    gf_closeLog();
    const std::string log = readFile(dir / "Log.txt");
    EXPECT_NE(log.find("\"" + file.string() + "\" saved\n"), std::string::npos);
    EXPECT_NE(log.find("could not save to \"" + (dir / "nowhere" / "parameters.xml").string() + "\"\n"),
              std::string::npos);
}

}  // namespace
}  // namespace vrn
