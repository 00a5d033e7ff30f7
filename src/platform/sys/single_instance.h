#pragma once
// One running instance per user. The Windows program holds the named mutex "Local\\$Varnel$"; on
// Linux the same name becomes a lock file on which the instance holds an exclusive flock. The system
// drops either when the process ends in any way, so a crash never leaves the program locked out.
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
    bool held() const;
    // The lock file used (known after the constructor); on Windows the mutex's name.
    const std::filesystem::path& lockFile() const { return m_lockFile; }

    // "Local\\$Varnel$" -> "Varnel.lock": the namespace prefix is dropped and only letters, digits,
    // '.', '_' and '-' are kept.
    static std::string lockFileName(const std::string& name);

private:
    std::filesystem::path m_lockFile;
#ifdef _WIN32
    std::filesystem::path m_folder;
    void* m_mutex = nullptr;
#else
    int m_fd = -1;
#endif
};

}  // namespace vrn::platform::sys
