#pragma once
// A small read-only view of a zip file over libzip: open, list the entries, read one entry whole or
// stream it in chunks, close. The archive is closed by the destructor on every way out.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

struct zip;

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

class ZipArchive {
public:
    explicit ZipArchive(std::filesystem::path file);
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Read-only, without the consistency check; false when the file is missing or no zip.
    bool open();
    bool isOpen() const { return m_zip != nullptr; }
    void close();

    std::vector<ZipEntry> getEntries() const;
    // The entry's whole content; none when it cannot be read.
    std::optional<std::string> readAsText(const ZipEntry& entry) const;
    // Streams the entry into `out` in chunks of `chunkSize` bytes; READ_OK or one of the codes above.
    int readContent(const ZipEntry& entry, std::ostream& out, std::size_t chunkSize = 0x80000) const;

private:
    std::filesystem::path m_file;
    ::zip* m_zip = nullptr;
};

}  // namespace vrn::zip
