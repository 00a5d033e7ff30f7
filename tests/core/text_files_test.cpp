// Reading, detecting and writing whole text files.
#include <gtest/gtest.h>

#include <fstream>
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
