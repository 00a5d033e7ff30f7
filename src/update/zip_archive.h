#pragma once
// A small read-only zip reader over zlib: open, list the entries, read one entry whole or stream it
// in chunks, close. It reads what the download server's packages hold: stored and deflated entries,
// zip64 sizes and offsets; encrypted, split and otherwise compressed archives are refused with a
// reason. Every size and offset is checked against the file before it is used, and an entry never
// yields more bytes than its stated size or bytes whose checksum does not match.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vrn::zip {

struct ZipEntry {
    std::string name;          // the path inside the archive, '/' separated
    std::uint64_t index = 0;
    std::uint64_t size = 0;    // uncompressed size as the archive states it
    bool isDirectory() const { return !name.empty() && name.back() == '/'; }
};

// Results of ZipArchive::readContent.
enum ReadResult : int {
    READ_OK = 0,
    READ_NOT_OPEN = -1,        // archive not open or entry not found
    READ_ENTRY_FAILED = -2,    // the entry could not be opened or decompressed
    READ_WRITE_FAILED = -3,    // the output stream failed
    READ_SIZE_MISMATCH = -4,   // fewer or more bytes than the archive states
};

// True when an entry of this name, joined to a folder, stays below that folder: relative, no "..",
// no drive or root (on Windows a backslash separates too).
bool isSafeEntryName(const std::string& name);

class ZipArchive {
public:
    explicit ZipArchive(std::filesystem::path file);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Reads the central directory; false, with error() saying why, when the file is missing or no
    // zip this reader can read.
    bool open();
    bool isOpen() const { return m_file.is_open(); }
    void close();
    // Why the last open or read failed, empty after a success.
    const std::string& error() const { return m_error; }

    std::vector<ZipEntry> getEntries() const;
    // The entry's whole content; none when it cannot be read or is larger than kMaxTextSize.
    std::optional<std::string> readAsText(const ZipEntry& entry) const;
    // Streams the entry into `out` in chunks of `chunkSize` bytes; READ_OK or one of the codes above.
    int readContent(const ZipEntry& entry, std::ostream& out, std::size_t chunkSize = 0x80000) const;

    // The packages' texts are airport and data files of a few MB at most.
    static constexpr std::uint64_t kMaxTextSize = 256u << 20;

private:
    struct Record {
        std::string name;
        std::uint16_t flags = 0, method = 0;
        std::uint32_t crc = 0;
        std::uint64_t packedSize = 0, size = 0, localOffset = 0;
    };
    bool fail(std::string reason);
    bool readAt(std::uint64_t offset, char* data, std::size_t size) const;
    bool readDirectory(std::uint64_t offset, std::uint64_t size, std::uint64_t count);
    template <typename Sink>
    int readEntry(const ZipEntry& entry, std::size_t chunkSize, Sink&& sink) const;

    std::filesystem::path m_path;
    mutable std::ifstream m_file;
    std::uint64_t m_fileSize = 0;
    std::vector<Record> m_records;
    mutable std::string m_error;
};

}  // namespace vrn::zip
