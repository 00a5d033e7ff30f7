#pragma once
// One running instance per user. The Windows program holds the named mutex "Local\\$Varnel$"; here
// the same name becomes a lock file on which the instance holds an exclusive flock. The kernel drops
// the lock when the process ends in any way, so a crash never leaves the program locked out.
#include <filesystem>
#include <string>

namespace vrn::platform::sys {

class SingleInstanceLock {
public:
    enum class Result {
        Acquired,        // this process is the one instance
        HeldElsewhere,   // another process holds the lock: quit silently
        Failed,          // no lock file could be made; the caller decides (the program runs on)
    };

    // `name` as given to the Windows mutex; the lock file is made in `folder`, or, when that is empty,
    // in the runtime folder, else in the config folder's "Varnel" subfolder.
    explicit SingleInstanceLock(std::string name, std::filesystem::path folder = {});
    ~SingleInstanceLock();
    SingleInstanceLock(const SingleInstanceLock&) = delete;
    SingleInstanceLock& operator=(const SingleInstanceLock&) = delete;

    Result acquire();
    void release();
    bool held() const { return m_fd >= 0; }
    // The lock file used (known after the constructor).
    const std::filesystem::path& lockFile() const { return m_lockFile; }

    // "Local\\$Varnel$" -> "Varnel.lock": the namespace prefix is dropped and only letters, digits,
    // '.', '_' and '-' are kept.
    static std::string lockFileName(const std::string& name);

private:
    std::filesystem::path m_lockFile;
    int m_fd = -1;
};

}  // namespace vrn::platform::sys
