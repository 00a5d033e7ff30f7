#include "update/zip_archive.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>

#include "core/format.h"

namespace vrn::zip {

namespace {

// Record signatures and fixed sizes of the zip format (little-endian throughout).
constexpr std::uint32_t kLocalHeader = 0x04034b50, kCentralHeader = 0x02014b50, kEndOfDirectory = 0x06054b50,
                        kZip64End = 0x06064b50, kZip64Locator = 0x07064b50;
constexpr std::size_t kLocalHeaderSize = 30, kCentralHeaderSize = 46, kEndSize = 22, kZip64EndSize = 56,
                      kZip64LocatorSize = 20;
constexpr std::size_t kMaxComment = 0xFFFF;
constexpr std::uint16_t kZip64Extra = 0x0001;
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kStored = 0, kDeflated = 8;
constexpr std::uint32_t kUnset32 = 0xFFFFFFFF;

std::uint16_t lf_u16(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint16_t>(b[0] | b[1] << 8);
}

std::uint32_t lf_u32(const char* p) {
    const auto* b = reinterpret_cast<const unsigned char*>(p);
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 |
           static_cast<std::uint32_t>(b[2]) << 16 | static_cast<std::uint32_t>(b[3]) << 24;
}

std::uint64_t lf_u64(const char* p) { return lf_u32(p) | static_cast<std::uint64_t>(lf_u32(p + 4)) << 32; }

// Zip64 extra field: the 8-byte values present are those whose 32-bit field is 0xFFFFFFFF, in the
// order size, packed size, local header offset. False when one of them is missing.
bool lf_readZip64Extra(const char* extra, std::size_t length, const std::array<std::uint64_t*, 3>& fields) {
    for (std::size_t at = 0; at + 4 <= length;) {
        const std::uint16_t id = lf_u16(extra + at), size = lf_u16(extra + at + 2);
        if (at + 4 + size > length) break;
        if (id == kZip64Extra) {
            std::size_t used = 0;
            for (std::uint64_t* field : fields) {
                if (*field != kUnset32) continue;
                if (used + 8 > size) return false;
                *field = lf_u64(extra + at + 4 + used);
                used += 8;
            }
            return true;
        }
        at += 4 + size;
    }
    return std::ranges::none_of(fields, [](const std::uint64_t* f) { return *f == kUnset32; });
}

}  // namespace

bool isSafeEntryName(const std::string& name) {
    if (name.empty() || name.front() == '/' || name.front() == '\\') return false;
    // A colon is a drive ("C:x") or a stream ("x:y") on Windows; no package name holds one.
    if (name.find(':') != std::string::npos || name.find('\0') != std::string::npos) return false;
    for (std::size_t start = 0; start <= name.size();) {
        const std::size_t end = std::min(name.find_first_of("/\\", start), name.size());
        if (name.compare(start, end - start, "..") == 0) return false;
        start = end + 1;
    }
    return true;
}

ZipArchive::ZipArchive(std::filesystem::path file) : m_path(std::move(file)) {}

ZipArchive::~ZipArchive() { close(); }

void ZipArchive::close() {
    if (m_file.is_open()) m_file.close();
    m_file.clear();
    m_records.clear();
    m_fileSize = 0;
}

bool ZipArchive::fail(std::string reason) {
    close();
    m_error = std::move(reason);
    return false;
}

bool ZipArchive::readAt(std::uint64_t offset, char* data, std::size_t size) const {
    if (offset > m_fileSize || size > m_fileSize - offset) return false;
    m_file.clear();
    m_file.seekg(static_cast<std::streamoff>(offset));
    m_file.read(data, static_cast<std::streamsize>(size));
    return static_cast<std::size_t>(m_file.gcount()) == size;
}

bool ZipArchive::open() {
    close();
    m_error.clear();
    m_file.open(m_path, std::ios::binary);
    if (!m_file.is_open()) return fail("cannot be read");
    m_file.seekg(0, std::ios::end);
    m_fileSize = static_cast<std::uint64_t>(m_file.tellg());

    // The end record is the last 22 bytes, followed only by a comment of up to 64 KiB.
    if (m_fileSize < kEndSize) return fail("no zip: too short");
    const std::uint64_t tailSize = std::min<std::uint64_t>(m_fileSize, kEndSize + kMaxComment);
    std::string tail(tailSize, '\0');
    if (!readAt(m_fileSize - tailSize, tail.data(), tail.size())) return fail("cannot be read");
    std::size_t end = std::string::npos;
    for (std::size_t at = tail.size() - kEndSize + 1; at-- > 0;) {
        if (lf_u32(&tail[at]) == kEndOfDirectory && at + kEndSize + lf_u16(&tail[at + 20]) <= tail.size()) {
            end = at;
            break;
        }
    }
    if (end == std::string::npos) return fail("no zip: no end of central directory");
    const char* e = &tail[end];
    const std::uint64_t endOffset = m_fileSize - tailSize + end;
    std::uint64_t count = lf_u16(e + 10), directorySize = lf_u32(e + 12), directoryOffset = lf_u32(e + 16);
    if (lf_u16(e + 4) != 0 || lf_u16(e + 6) != 0 || lf_u16(e + 8) != count)
        return fail("split archives are not supported");

    if (count == 0xFFFF || directorySize == kUnset32 || directoryOffset == kUnset32) {
        char locator[kZip64LocatorSize], end64[kZip64EndSize];
        if (endOffset < kZip64LocatorSize || !readAt(endOffset - kZip64LocatorSize, locator, sizeof locator) ||
            lf_u32(locator) != kZip64Locator)
            return fail("zip64 end record missing");
        if (!readAt(lf_u64(locator + 8), end64, sizeof end64) || lf_u32(end64) != kZip64End)
            return fail("zip64 end record damaged");
        if (lf_u32(end64 + 16) != 0 || lf_u32(end64 + 20) != 0 || lf_u64(end64 + 24) != lf_u64(end64 + 32))
            return fail("split archives are not supported");
        count = lf_u64(end64 + 32), directorySize = lf_u64(end64 + 40), directoryOffset = lf_u64(end64 + 48);
    }
    if (directoryOffset > endOffset || directorySize > endOffset - directoryOffset)
        return fail("central directory outside the file");
    if (count > directorySize / kCentralHeaderSize) return fail("central directory shorter than its entry count");
    return readDirectory(directoryOffset, directorySize, count);
}

bool ZipArchive::readDirectory(std::uint64_t offset, std::uint64_t size, std::uint64_t count) {
    std::string directory(size, '\0');
    if (!readAt(offset, directory.data(), directory.size())) return fail("cannot be read");
    m_records.reserve(count);
    std::size_t at = 0;
    for (std::uint64_t i = 0; i < count; ++i) {
        if (directory.size() - at < kCentralHeaderSize || lf_u32(&directory[at]) != kCentralHeader)
            return fail(format("central directory entry {} damaged", i));
        const char* h = &directory[at];
        const std::size_t nameLength = lf_u16(h + 28), extraLength = lf_u16(h + 30), commentLength = lf_u16(h + 32);
        if (directory.size() - at - kCentralHeaderSize < nameLength + extraLength + commentLength)
            return fail(format("central directory entry {} damaged", i));
        Record r;
        r.flags = lf_u16(h + 8), r.method = lf_u16(h + 10), r.crc = lf_u32(h + 16);
        r.packedSize = lf_u32(h + 20), r.size = lf_u32(h + 24), r.localOffset = lf_u32(h + 42);
        r.name.assign(h + kCentralHeaderSize, nameLength);
        if (!lf_readZip64Extra(h + kCentralHeaderSize + nameLength, extraLength, {&r.size, &r.packedSize, &r.localOffset}))
            return fail(format("entry {} lacks its zip64 sizes", r.name));
        m_records.push_back(std::move(r));
        at += kCentralHeaderSize + nameLength + extraLength + commentLength;
    }
    return true;
}

std::vector<ZipEntry> ZipArchive::getEntries() const {
    std::vector<ZipEntry> entries;
    entries.reserve(m_records.size());
    for (std::size_t i = 0; i < m_records.size(); ++i) entries.push_back({m_records[i].name, i, m_records[i].size});
    return entries;
}

// Hands the entry's bytes to `sink` in pieces of at most `chunkSize`; the sink returns false when
// it cannot take them. The stated size bounds what is read, so a hostile entry cannot inflate
// without end, and the checksum catches a damaged one.
template <typename Sink>
int ZipArchive::readEntry(const ZipEntry& entry, std::size_t chunkSize, Sink&& sink) const {
    auto failed = [this](int code, std::string reason) {
        m_error = std::move(reason);
        return code;
    };
    m_error.clear();
    if (!isOpen() || entry.index >= m_records.size()) return failed(READ_NOT_OPEN, "no such entry");
    const Record& r = m_records[entry.index];
    if (r.flags & kFlagEncrypted) return failed(READ_ENTRY_FAILED, format("{}: encrypted", r.name));
    if (r.method != kStored && r.method != kDeflated)
        return failed(READ_ENTRY_FAILED, format("{}: compression method {} not supported", r.name, r.method));
    char local[kLocalHeaderSize];
    if (!readAt(r.localOffset, local, sizeof local) || lf_u32(local) != kLocalHeader)
        return failed(READ_ENTRY_FAILED, format("{}: local header damaged", r.name));
    const std::uint64_t dataOffset = r.localOffset + kLocalHeaderSize + lf_u16(local + 26) + lf_u16(local + 28);
    if (dataOffset > m_fileSize || r.packedSize > m_fileSize - dataOffset)
        return failed(READ_ENTRY_FAILED, format("{}: data outside the file", r.name));
    if (r.method == kStored && r.packedSize != r.size) return failed(READ_SIZE_MISMATCH, format("{}: sizes differ", r.name));

    if (chunkSize == 0) chunkSize = 0x80000;
    std::vector<char> in(std::min<std::uint64_t>(std::max<std::uint64_t>(r.packedSize, 1), 0x10000));
    std::vector<char> out(r.method == kStored ? 0 : chunkSize);
    z_stream z{};
    if (r.method == kDeflated && inflateInit2(&z, -MAX_WBITS) != Z_OK)   // raw deflate, no zlib header
        return failed(READ_ENTRY_FAILED, format("{}: inflate cannot start", r.name));
    struct Ender {
        z_stream* z;
        ~Ender() { if (z) inflateEnd(z); }
    } ender{r.method == kDeflated ? &z : nullptr};

    std::uint64_t packedLeft = r.packedSize, total = 0;
    uLong crc = crc32(0, nullptr, 0);
    auto deliver = [&](const char* data, std::size_t n) {
        total += n;
        if (total > r.size) return failed(READ_SIZE_MISMATCH, format("{}: longer than stated", r.name));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(n));
        return sink(data, n) ? READ_OK : failed(READ_WRITE_FAILED, format("{}: output failed", r.name));
    };
    auto readPacked = [&]() -> std::size_t {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(packedLeft, in.size()));
        if (!m_file.read(in.data(), static_cast<std::streamsize>(n))) return 0;
        packedLeft -= n;
        return n;
    };
    m_file.clear();
    m_file.seekg(static_cast<std::streamoff>(dataOffset));
    if (r.method == kStored) {
        while (packedLeft > 0) {
            const std::size_t n = readPacked();
            if (n == 0) return failed(READ_ENTRY_FAILED, format("{}: cannot be read", r.name));
            for (std::size_t at = 0; at < n; at += chunkSize)
                if (const int result = deliver(in.data() + at, std::min(chunkSize, n - at)); result != READ_OK) return result;
        }
    } else {
        for (bool ended = false; !ended;) {
            if (z.avail_in == 0 && packedLeft > 0) {
                const std::size_t n = readPacked();
                if (n == 0) return failed(READ_ENTRY_FAILED, format("{}: cannot be read", r.name));
                z.next_in = reinterpret_cast<Bytef*>(in.data());
                z.avail_in = static_cast<uInt>(n);
            }
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = static_cast<uInt>(out.size());
            const int status = inflate(&z, Z_NO_FLUSH);
            // No progress: the input ran out before the end of the stream.
            if (status == Z_BUF_ERROR) return failed(READ_ENTRY_FAILED, format("{}: deflate data cut short", r.name));
            if (status != Z_OK && status != Z_STREAM_END)
                return failed(READ_ENTRY_FAILED, format("{}: deflate data damaged", r.name));
            if (const std::size_t n = out.size() - z.avail_out; n > 0)
                if (const int result = deliver(out.data(), n); result != READ_OK) return result;
            ended = status == Z_STREAM_END;
        }
    }
    if (total != r.size || total != entry.size) return failed(READ_SIZE_MISMATCH, format("{}: shorter than stated", r.name));
    if (crc != r.crc) return failed(READ_ENTRY_FAILED, format("{}: checksum mismatch", r.name));
    return READ_OK;
}

int ZipArchive::readContent(const ZipEntry& entry, std::ostream& out, std::size_t chunkSize) const {
    return readEntry(entry, chunkSize, [&out](const char* data, std::size_t n) {
        out.write(data, static_cast<std::streamsize>(n));
        return static_cast<bool>(out);
    });
}

std::optional<std::string> ZipArchive::readAsText(const ZipEntry& entry) const {
    if (isOpen() && entry.index < m_records.size() && m_records[entry.index].size > kMaxTextSize) {
        m_error = format("{}: larger than {} bytes", entry.name, kMaxTextSize);
        return std::nullopt;
    }
    std::string text;
    if (isOpen() && entry.index < m_records.size()) text.reserve(static_cast<std::size_t>(m_records[entry.index].size));
    const int result = readEntry(entry, 0x10000, [&text](const char* data, std::size_t n) {
        text.append(data, n);
        return true;
    });
    if (result != READ_OK) return std::nullopt;
    return text;
}

}  // namespace vrn::zip
