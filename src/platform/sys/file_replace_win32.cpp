#include "platform/sys/file_replace.h"

#include <windows.h>

#include <atomic>
#include <string>

namespace vrn::platform::sys {

namespace fs = std::filesystem;

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : m_h(h) {}
    ~FileHandle() { close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool isOpen() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }
    bool close() {
        if (!isOpen()) return true;
        const bool ok = ::CloseHandle(m_h) != 0;
        m_h = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE m_h;
};

bool lf_writeAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk = bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr)) return false;
        bytes.remove_prefix(written);
    }
    return true;
}

}  // namespace

bool gf_replaceFile(const fs::path& target, std::string_view bytes) {
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists && (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;

    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    fs::path name = L".";
    name += target.filename();
    name += ".tmp-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(counter.fetch_add(1));
    const fs::path temp = folder / name;
    FileHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.isOpen()) return false;
    bool ok = lf_writeAll(file.get(), bytes);
    if (!file.close()) ok = false;
    // The old file's hidden or archive marks stay with the name (read-only ones were refused above).
    if (ok && exists) ::SetFileAttributesW(temp.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (ok) ok = ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    if (!ok) ::DeleteFileW(temp.c_str());
    return ok;
}

bool gf_copyFileReplacing(const fs::path& from, const fs::path& to, std::error_code& ec) {
    ec.clear();
    if (::CopyFileW(from.c_str(), to.c_str(), FALSE)) return true;
    ec.assign(static_cast<int>(::GetLastError()), std::system_category());
    return false;
}

long gf_readFileHead(const fs::path& file, unsigned char* head, std::size_t size, int& error) {
    error = 0;
    FileHandle in(::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!in.isOpen()) {
        error = static_cast<int>(::GetLastError());
        return -1;
    }
    std::size_t got = 0;
    while (got < size) {
        DWORD n = 0;
        if (!::ReadFile(in.get(), head + got, static_cast<DWORD>(size - got), &n, nullptr)) {
            error = static_cast<int>(::GetLastError());
            break;
        }
        if (n == 0) break;
        got += n;
    }
    return error != 0 && got == 0 ? -1 : static_cast<long>(got);
}

}  // namespace vrn::platform::sys
