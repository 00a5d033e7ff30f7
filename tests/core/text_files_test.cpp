// Reading, detecting and writing whole text files.
#include <gtest/gtest.h>

#include <fstream>
#include <list>
#include <pugixml.hpp>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "app/main_window.h"
#include "core/text_files.h"
#include "support/process.h"
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
        {3, "\xEF\xBB\xBFtitle=A\r\nsecond\n", true, {"title=A", "second"}},
        {0, "[fltsim.0]\r\ntitle=A\r\r\nlast\r", true, {"[fltsim.0]", "title=A\r", "last"}},   // one CR per line end
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

// Files written on Windows (CR LF) and elsewhere (LF) read the same through every line reader; only
// one carriage return before the line feed belongs to the line end.
TEST(ReadLines, BothLineEndsGiveTheSameLines) {
    TempDir dir;
    struct Case { std::string bytes; std::vector<std::string> lines; };
    const Case cases[] = {
        {"EGLL,501\r\n\r\nKJFK\r\n", {"EGLL,501", "", "KJFK"}},
        {"EGLL,501\n\nKJFK", {"EGLL,501", "", "KJFK"}},
        {"a\r\r\nb\rc\r\n\r", {"a\r", "b\rc", ""}},   // a CR elsewhere is text
        {"Some Long Title;\r\ntitle;REG1,REG2;\n", {"Some Long Title;", "title;REG1,REG2;"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        writeFile(dir / "list.txt", c.bytes);
        TextFile text{dir / "list.txt", {"earlier"}};
        ASSERT_NE(text.readLines(4), nullptr);
        EXPECT_EQ(std::vector<std::string>(text.lines.begin() + 1, text.lines.end()), c.lines);
        std::ifstream in(dir / "list.txt", std::ios::binary);
        std::list<std::string> listed;
        gf_readLines(in, listed);
        EXPECT_EQ(std::vector<std::string>(listed.begin(), listed.end()), c.lines);
        std::vector<std::string> wide;
        EXPECT_TRUE(gf_readWideTextFile(gf_detectTextEncoding(dir / "list.txt"), dir / "list.txt", wide));
        EXPECT_EQ(wide, c.lines);
    }
}

// The logs, reports and lists are written with the system's line ends, also where a text holds line
// feeds of its own; a text's own CR LF is never doubled. Everything written reads back unchanged.
TEST(WriteTextFiles, SystemLineEndsAndEveryLineReadsBack) {
    TempDir dir;
    struct Case { std::string_view text, lineEnd, written; };
    const Case cases[] = {
        {"a\nb", "\r\n", "a\r\nb"}, {"a\r\nb\n", "\r\n", "a\r\nb\r\n"}, {"\n\nx", "\r\n", "\r\n\r\nx"},
        {"a\rb", "\r\n", "a\rb"}, {"a\nb\r\n", "\n", "a\nb\r\n"}, {"", "\r\n", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(gf_withLineEnds(c.text, c.lineEnd), c.written) << c.text;
    EXPECT_EQ(gf_textLineEnd(), test::kSystemLineEnd);

    const std::vector<std::string> lines{"EGLL,501", "", "\nInformation:", "KJFK"};
    ASSERT_TRUE(gf_writeLinesFile(lines, dir / "lines.txt"));
    EXPECT_EQ(readFile(dir / "lines.txt"), test::systemLines("EGLL,501\n\n\nInformation:\nKJFK\n"));
    ASSERT_TRUE(gf_writeTextFile("C:\\files\\EGLL.xml", dir / "EGLL.txt", true));
    EXPECT_EQ(readFile(dir / "EGLL.txt"), test::systemLines("C:\\files\\EGLL.xml\n"));
    ASSERT_TRUE(gf_writeTextFile("one\ntwo", dir / "text.txt", false));
    EXPECT_EQ(readFile(dir / "text.txt"), test::systemLines("one\ntwo"));

    TextFile text{dir / "lines.txt", {}};
    ASSERT_NE(text.readLines(0), nullptr);
    EXPECT_EQ(text.lines, (std::vector<std::string>{"EGLL,501", "", "", "Information:", "KJFK"}));
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

// A user folder with an umlaut and a blank; an existing file replaced (which a plain rename refuses on
// Windows).
TEST(WriteTextFiles, ReplaceUnderANonAsciiFolder) {
    TempDir dir;
    const fs::path folder = dir.path() / fs::path(u8"J\u00fcrgen M\u00fcller");
    fs::create_directories(folder);
    const fs::path file = folder / fs::path(u8"Parkpl\u00e4tze.txt");
    EXPECT_TRUE(gf_writeLinesFile({"one", "zw\xC3\xB6lf"}, file));
    EXPECT_TRUE(gf_writeTextFile("line\r\nnext", file, true));
    EXPECT_EQ(readFile(file), "line\r\nnext" + std::string(test::kSystemLineEnd));
    EXPECT_EQ(gf_detectTextEncoding(file), 0);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
#ifdef _WIN32
    // A read-only file is refused and kept (on Linux the tests may run as root, who may write it).
    fs::permissions(file, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(gf_writeTextFile("new", file, false));
    EXPECT_EQ(readFile(file), "line\r\nnext\r\n");
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
    bool written = true;
    test::withFileSizeLimit(4096, [&] { written = gf_writeTextFile(std::string(10000, 'y'), dir / "kept.txt", true); });
    EXPECT_FALSE(written);
    EXPECT_EQ(readFile(dir / "kept.txt"), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
#endif
}

TEST(ReadWholeFiles, OnlyRegularFilesOfSaneSizeAreOpened) {
    TempDir dir;
    writeFile(dir / "good.xml", "<parameters/>");
    fs::create_directory(dir / "folder.xml");
    { std::ofstream huge(dir / "huge.xml"); }
    fs::resize_file(dir / "huge.xml", kMaxReadFileBytes + 1);   // sparse: no disk used
    pugi::xml_document doc;
    EXPECT_TRUE(gf_loadXmlFile(doc, dir / "good.xml") && doc.child("parameters"));
    EXPECT_EQ(gf_loadXmlFile(doc, dir / "missing.xml").status, pugi::status_file_not_found);
    std::vector<std::string> names{"folder.xml", "huge.xml"};
#ifndef _WIN32
    ASSERT_EQ(::mkfifo((dir / "pipe.xml").c_str(), 0600), 0);   // opening it would wait for a writer
    names.push_back("pipe.xml");
    EXPECT_EQ(gf_unreadableFileReason(dir / "pipe.xml"), "not a regular file");
#endif
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        EXPECT_EQ(gf_loadXmlFile(doc, dir / name).status, pugi::status_io_error);
        EXPECT_FALSE(doc.first_child());
        TextFile text{dir / name, {}};
        EXPECT_EQ(text.readLines(0), nullptr);
        std::vector<std::string> lines;
        EXPECT_FALSE(gf_readWideTextFile(ENCODING_UNICODE, dir / name, lines));
    }
    EXPECT_EQ(gf_unreadableFileReason(dir / "folder.xml"), "a folder");
}

TEST(TemporaryFiles, OnlyOtherProcessesLeftoversOfOurOwnNamingAreRemoved) {
    TempDir dir;
    std::uint64_t pid = 0;
    EXPECT_TRUE(gf_isTempFileName(gf_tempFileName("LFPG.xml", 77, 5), pid) && pid == 77);
    for (const char* notOurs : {"LFPG.xml.tmp-1-2", ".tmp-1-2", ".x.tmp-1-", ".x.tmp--2", ".x.tmp-a-2", ".x.tmp-1-2b", ".x.tmp-12"})
        EXPECT_FALSE(gf_isTempFileName(notOurs, pid)) << notOurs;
    const std::string stale = gf_tempFileName("parameters.xml", 4000000000u, 0);
    const std::string own = gf_tempFileName("parameters.xml", static_cast<std::uint64_t>(test::currentProcessId()), 0);
    for (const fs::path& folder : {dir.path(), dir / "sub" / "deeper"}) {
        writeFile(folder / stale, "half");
        writeFile(folder / own, "being written");
        writeFile(folder / "LFPG.xml.tmp-1-2", "not ours");
    }
    fs::create_directory(dir / gf_tempFileName("folder", 1, 1));
    EXPECT_EQ(gf_removeStaleTempFiles(dir.path(), false), 1u);
    EXPECT_TRUE(fs::exists(dir / "sub" / "deeper" / stale));
    EXPECT_EQ(gf_removeStaleTempFiles(dir.path(), true), 1u);
    for (const fs::path& folder : {dir.path(), dir / "sub" / "deeper"})
        EXPECT_TRUE(!fs::exists(folder / stale) && fs::exists(folder / own) && fs::exists(folder / "LFPG.xml.tmp-1-2"));
    EXPECT_TRUE(fs::is_directory(dir / gf_tempFileName("folder", 1, 1)));
    EXPECT_EQ(gf_removeStaleTempFiles(dir / "missing", true), 0u);
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
