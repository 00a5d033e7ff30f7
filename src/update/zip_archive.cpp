#include "update/zip_archive.h"

#include <zip.h>

#include <algorithm>
#include <vector>

namespace vrn::zip {

ZipArchive::ZipArchive(std::filesystem::path file) : m_file(std::move(file)) {}

ZipArchive::~ZipArchive() { close(); }

bool ZipArchive::open() {
    close();
    int error = 0;
    m_zip = zip_open(m_file.c_str(), ZIP_RDONLY, &error);
    return m_zip != nullptr;
}

void ZipArchive::close() {
    if (m_zip != nullptr) {
        zip_discard(m_zip);   // read-only: nothing to write back
        m_zip = nullptr;
    }
}

std::vector<ZipEntry> ZipArchive::getEntries() const {
    std::vector<ZipEntry> entries;
    if (m_zip == nullptr) return entries;
    const zip_int64_t count = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(m_zip, static_cast<zip_uint64_t>(i), 0, &st) != 0 || st.name == nullptr) continue;
        ZipEntry e;
        e.name = st.name;
        e.index = static_cast<std::uint64_t>(i);
        e.size = (st.valid & ZIP_STAT_SIZE) ? st.size : 0;
        entries.push_back(std::move(e));
    }
    return entries;
}

namespace {

class EntryFile {
public:
    EntryFile(::zip* archive, std::uint64_t index) : m_file(zip_fopen_index(archive, index, 0)) {}
    ~EntryFile() {
        if (m_file != nullptr) zip_fclose(m_file);
    }
    EntryFile(const EntryFile&) = delete;
    EntryFile& operator=(const EntryFile&) = delete;
    zip_file_t* get() const { return m_file; }

private:
    zip_file_t* m_file;
};

}  // namespace

int ZipArchive::readContent(const ZipEntry& entry, std::ostream& out, std::size_t chunkSize) const {
    if (m_zip == nullptr) return READ_NOT_OPEN;
    EntryFile file(m_zip, entry.index);
    if (file.get() == nullptr) return READ_ENTRY_FAILED;
    if (chunkSize == 0) chunkSize = 0x80000;
    std::vector<char> buffer(chunkSize);
    std::uint64_t total = 0;
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer.data(), buffer.size());
        if (n < 0) return READ_ENTRY_FAILED;
        if (n == 0) break;
        out.write(buffer.data(), static_cast<std::streamsize>(n));
        if (!out) return READ_WRITE_FAILED;
        total += static_cast<std::uint64_t>(n);
    }
    // The stated size is checked because libzip reports a short read of a damaged entry as its end.
    if (total != entry.size) return READ_SIZE_MISMATCH;
    return READ_OK;
}

std::optional<std::string> ZipArchive::readAsText(const ZipEntry& entry) const {
    if (m_zip == nullptr) return std::nullopt;
    EntryFile file(m_zip, entry.index);
    if (file.get() == nullptr) return std::nullopt;
    std::string text;
    // The stated size is only a hint: a damaged or hostile archive may claim any size.
    text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(entry.size, 1u << 24)));
    char buffer[0x10000];
    for (;;) {
        const zip_int64_t n = zip_fread(file.get(), buffer, sizeof buffer);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    if (text.size() != entry.size) return std::nullopt;
    return text;
}

}  // namespace vrn::zip
