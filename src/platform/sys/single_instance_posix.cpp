#include "platform/sys/single_instance.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/sys/known_folders.h"

namespace vrn::platform::sys {

namespace {

std::filesystem::path lf_defaultLockFolder() {
    if (auto runtime = gf_runtimeFolder(); !runtime.empty()) return runtime;
    if (auto config = gf_knownFolder(kCsidlAppData); !config.empty()) return config / "Varnel";
    return std::filesystem::temp_directory_path();
}

}  // namespace

SingleInstanceLock::SingleInstanceLock(std::string name, std::filesystem::path folder) {
    if (folder.empty()) folder = lf_defaultLockFolder();
    m_lockFile = folder / lockFileName(name);
}

SingleInstanceLock::~SingleInstanceLock() { release(); }

bool SingleInstanceLock::held() const { return m_fd >= 0; }

SingleInstanceLock::Result SingleInstanceLock::acquire() {
    if (m_fd >= 0) return Result::Acquired;
    std::error_code ec;
    std::filesystem::create_directories(m_lockFile.parent_path(), ec);
    // Close-on-exec: a program started from here (the installer) must not inherit the lock.
    const int fd = ::open(m_lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return Result::Failed;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int error = errno;
        ::close(fd);
        return error == EWOULDBLOCK ? Result::HeldElsewhere : Result::Failed;
    }
    m_fd = fd;
    return Result::Acquired;
}

void SingleInstanceLock::release() {
    if (m_fd < 0) return;
    // The file stays: removing it would let a second instance lock a new file while a third still
    // waits on the old one.
    ::flock(m_fd, LOCK_UN);
    ::close(m_fd);
    m_fd = -1;
}

}  // namespace vrn::platform::sys
