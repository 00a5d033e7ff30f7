#include "platform/sys/file_replace.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vrn::platform::sys {

namespace fs = std::filesystem;

namespace {

bool lf_writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

}  // namespace

bool gf_replaceFile(const fs::path& target, std::string_view bytes) {
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && (S_ISDIR(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const fs::path temp = folder / ("." + target.filename().string() + ".tmp-" + std::to_string(::getpid()) + "-" +
                                    std::to_string(counter.fetch_add(1)));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = lf_writeAll(fd, bytes);
    if (ok && exists) ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
}

bool gf_copyFileReplacing(const fs::path& from, const fs::path& to, std::error_code& ec) {
    return fs::copy_file(from, to, fs::copy_options::overwrite_existing, ec);
}

long gf_readFileHead(const fs::path& file, unsigned char* head, std::size_t size, int& error) {
    error = 0;
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    std::size_t got = 0;
    while (got < size) {
        const ssize_t n = ::read(fd, head + got, size - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;   // a folder opens but cannot be read
            break;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return error != 0 && got == 0 ? -1 : static_cast<long>(got);
}

}  // namespace vrn::platform::sys
