#pragma once
// Zip files for the tests, written in memory with zlib: stored or deflated entries, folder entries,
// and optionally every record in its zip64 form as archives beyond 4 GB or 65,535 entries have.
#include <zlib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vrn::test {

struct ZipItem {   // a name ending in '/' is a folder entry
    std::string name, content;
    bool stored = false;   // uncompressed, so a test can find and damage its bytes
};

namespace zipwriter {

inline void put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out += static_cast<char>(i < 8 ? (value >> (8 * i)) & 0xFF : 0);
}

inline std::string deflateRaw(const std::string& data) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (status != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

}  // namespace zipwriter

inline std::string makeZip(const std::vector<ZipItem>& items, bool zip64 = false) {
    using zipwriter::put;
    std::string out, directory;
    for (const ZipItem& item : items) {
        const bool stored = item.stored || item.name.back() == '/';
        const std::string data = stored ? item.content : zipwriter::deflateRaw(item.content);
        const auto crc = crc32(0, reinterpret_cast<const Bytef*>(item.content.data()), static_cast<uInt>(item.content.size()));
        const std::uint64_t offset = out.size();
        const std::uint32_t mark = 0xFFFFFFFF;
        // Local header: signature, version, flags (UTF-8 names), method, time, date, crc, sizes, name.
        put(out, 0x04034b50, 4), put(out, zip64 ? 45 : 20, 2), put(out, 0x0800, 2), put(out, stored ? 0 : 8, 2);
        put(out, 0, 2), put(out, 0x21, 2), put(out, crc, 4);
        put(out, zip64 ? mark : data.size(), 4), put(out, zip64 ? mark : item.content.size(), 4);
        put(out, item.name.size(), 2), put(out, zip64 ? 20 : 0, 2);
        out += item.name;
        if (zip64) put(out, 1, 2), put(out, 16, 2), put(out, item.content.size(), 8), put(out, data.size(), 8);
        out += data;
        // Central header: the same, with the local header's offset.
        put(directory, 0x02014b50, 4), put(directory, 0x031E, 2), put(directory, zip64 ? 45 : 20, 2);
        put(directory, 0x0800, 2), put(directory, stored ? 0 : 8, 2), put(directory, 0, 2), put(directory, 0x21, 2);
        put(directory, crc, 4), put(directory, zip64 ? mark : data.size(), 4);
        put(directory, zip64 ? mark : item.content.size(), 4), put(directory, item.name.size(), 2);
        put(directory, zip64 ? 28 : 0, 2), put(directory, 0, 2 + 2 + 2 + 4), put(directory, zip64 ? mark : offset, 4);
        directory += item.name;
        if (zip64)
            put(directory, 1, 2), put(directory, 24, 2), put(directory, item.content.size(), 8),
                put(directory, data.size(), 8), put(directory, offset, 8);
    }
    const std::uint64_t directoryOffset = out.size(), count = items.size();
    out += directory;
    if (zip64) {
        const std::uint64_t end64 = out.size();
        put(out, 0x06064b50, 4), put(out, 44, 8), put(out, 45, 2), put(out, 45, 2), put(out, 0, 8);
        put(out, count, 8), put(out, count, 8), put(out, directory.size(), 8), put(out, directoryOffset, 8);
        put(out, 0x07064b50, 4), put(out, 0, 4), put(out, end64, 8), put(out, 1, 4);
    }
    put(out, 0x06054b50, 4), put(out, 0, 4);
    put(out, zip64 ? 0xFFFF : count, 2), put(out, zip64 ? 0xFFFF : count, 2);
    put(out, zip64 ? 0xFFFFFFFF : directory.size(), 4), put(out, zip64 ? 0xFFFFFFFF : directoryOffset, 4), put(out, 0, 2);
    return out;
}

}  // namespace vrn::test
