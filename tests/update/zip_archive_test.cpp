#include <gtest/gtest.h>

#include <functional>
#include <sstream>

#include "support/test_support.h"
#include "support/zip_writer.h"
#include "update/zip_archive.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;
using zip::ZipArchive;

std::uint32_t u32At(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(s[at + i]);
    return v;
}

void put32At(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

std::size_t centralHeader(const std::string& zip) { return zip.find("PK\x01\x02"); }
std::size_t endRecord(const std::string& zip) { return zip.rfind("PK\x05\x06"); }

class ZipArchiveTest : public ::testing::Test {
protected:
    fs::path write(const std::string& bytes) {
        const fs::path file = m_dir / ("a" + std::to_string(++m_count) + ".zip");
        writeFile(file, bytes);
        return file;
    }
    TempDir m_dir;
    int m_count = 0;
};

// Both forms of the directory, deflated and stored entries, folders, an empty file, several chunks.
TEST_F(ZipArchiveTest, ReadsWhatThePackagesHold) {
    std::string big(300000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 7919) % 251);
    const std::vector<ZipItem> items = {{"dir/", ""},  {"dir/a.xml", "<a>ä</a>"}, {"empty.txt", ""},
                                        {"big.bin", big}, {"stored.bin", big, true}};
    for (const bool zip64 : {false, true}) {
        ZipArchive good(write(makeZip(items, zip64)));
        ASSERT_TRUE(good.open()) << good.error();
        const auto entries = good.getEntries();
        ASSERT_EQ(entries.size(), items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(entries[i].name, items[i].name);
            EXPECT_EQ(entries[i].size, items[i].content.size());
            EXPECT_EQ(entries[i].isDirectory(), i == 0);
            EXPECT_EQ(good.readAsText(entries[i]), items[i].content) << items[i].name << " " << good.error();
            std::ostringstream out;
            EXPECT_EQ(good.readContent(entries[i], out, 0x1000), zip::READ_OK);
            EXPECT_EQ(out.str(), items[i].content);
        }
    }
}

TEST_F(ZipArchiveTest, DamagedArchivesDoNotOpen) {
    const std::string zip = makeZip({{"a.xml", "<a/>"}, {"b.xml", "<b/>"}});
    const std::pair<std::function<void(std::string&)>, const char*> cases[] = {
        {[](std::string& z) { z.clear(); }, "too short"},
        {[](std::string& z) { z = std::string(5000, 'x'); }, "no end of central directory"},
        {[](std::string& z) { z.erase(0, centralHeader(z)); }, "central directory outside the file"},
        {[](std::string& z) { put32At(z, endRecord(z) + 16, 0x7FFFFFF0); }, "central directory outside the file"},
        {[](std::string& z) { z[endRecord(z) + 10] = 40, z[endRecord(z) + 8] = 40; }, "shorter than its entry count"},
        {[](std::string& z) { z[centralHeader(z) + 1] = 'Q'; }, "central directory entry 0 damaged"},
        {[](std::string& z) { z[centralHeader(z) + 28] = 120; }, "central directory entry"},   // name past the end
        {[](std::string& z) { z[endRecord(z) + 4] = 1; }, "split archives"},
        {[](std::string& z) { z[endRecord(z) + 10] = z[endRecord(z) + 11] = z[endRecord(z) + 8] = z[endRecord(z) + 9] = '\xFF'; },
         "zip64 end record missing"},
    };
    for (const auto& [damage, reason] : cases) {
        std::string bytes = zip;
        damage(bytes);
        ZipArchive archive(write(bytes));
        EXPECT_FALSE(archive.open()) << reason;
        EXPECT_NE(archive.error().find(reason), std::string::npos) << archive.error();
        EXPECT_TRUE(archive.getEntries().empty());
    }
    ZipArchive missing(m_dir / "none.zip");
    EXPECT_FALSE(missing.open());
}

// An entry that lies about itself yields nothing, whatever else the archive holds.
TEST_F(ZipArchiveTest, DamagedEntriesAreRefusedWithTheirReason) {
    const std::string text(20000, 't');
    const std::pair<std::function<void(std::string&)>, std::pair<int, const char*>> cases[] = {
        {[](std::string& z) { z[z.find(std::string(100, 't')) + 50] = 'x'; }, {zip::READ_ENTRY_FAILED, "checksum"}},
        {[](std::string& z) { put32At(z, centralHeader(z) + 24, 100); }, {zip::READ_SIZE_MISMATCH, "sizes differ"}},
        {[&](std::string& z) { put32At(z, centralHeader(z) + 20, 30000), put32At(z, centralHeader(z) + 24, 30000); },
         {zip::READ_ENTRY_FAILED, "data outside the file"}},
        {[](std::string& z) { z[centralHeader(z) + 10] = 12; }, {zip::READ_ENTRY_FAILED, "method 12 not supported"}},
        {[](std::string& z) { z[centralHeader(z) + 8] |= 1; }, {zip::READ_ENTRY_FAILED, "encrypted"}},
        {[](std::string& z) { z[1] = 'Q'; }, {zip::READ_ENTRY_FAILED, "local header damaged"}},
    };
    for (const auto& [damage, expected] : cases) {
        std::string bytes = makeZip({{"t.txt", text, true}});
        damage(bytes);
        ZipArchive archive(write(bytes));
        ASSERT_TRUE(archive.open()) << archive.error();
        const auto entry = archive.getEntries().at(0);
        EXPECT_FALSE(archive.readAsText(entry).has_value());
        std::ostringstream out;
        EXPECT_EQ(archive.readContent(entry, out), expected.first) << expected.second;
        EXPECT_NE(archive.error().find(expected.second), std::string::npos) << archive.error();
    }
    // Deflated: a stated size below the real one stops the inflating there; a cut stream fails.
    std::string bytes = makeZip({{"t.txt", text}, {"u.txt", text}});
    put32At(bytes, centralHeader(bytes) + 24, 1000);
    const std::size_t second = bytes.find("PK\x01\x02", centralHeader(bytes) + 4);
    put32At(bytes, second + 20, u32At(bytes, second + 20) / 2);
    ZipArchive archive(write(bytes));
    ASSERT_TRUE(archive.open());
    std::ostringstream out;
    EXPECT_EQ(archive.readContent(archive.getEntries()[0], out, 100), zip::READ_SIZE_MISMATCH);
    EXPECT_LE(out.str().size(), 1000u);
    EXPECT_FALSE(archive.readAsText(archive.getEntries()[1]).has_value());
    EXPECT_NE(archive.error().find("cut short"), std::string::npos) << archive.error();
    EXPECT_EQ(archive.readContent({"x", 7, 0}, out), zip::READ_NOT_OPEN);
}

TEST(ZipEntryName, OnlyNamesThatStayBelowTheirFolderAreSafe) {
    for (const char* safe : {"a.xml", "archive/stock/EDDF.xml", "a..b/c.xml", "..a", "dir/"})
        EXPECT_TRUE(zip::isSafeEntryName(safe)) << safe;
    for (const char* unsafe : {"", "/etc/x.xml", "\\x.xml", "../x.xml", "a/../../x.xml", "a\\..\\x.xml", "C:x.xml",
                               "a/..", "x.xml:stream"})
        EXPECT_FALSE(zip::isSafeEntryName(unsafe)) << unsafe;
}

}  // namespace
}  // namespace vrn::test
