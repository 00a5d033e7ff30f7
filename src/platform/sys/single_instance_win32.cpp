#include "platform/sys/single_instance.h"

#include <windows.h>

#include <functional>

#include "platform/sys/wide_text_win32.h"

namespace vrn::platform::sys {

namespace {

// The mutex is the program's name as it stands; a lock scoped to a folder (tests running beside each
// other) adds a digest of the folder, since the mutex name space is shared by the whole session.
std::wstring lf_mutexName(const std::string& name, const std::filesystem::path& folder) {
    std::wstring wide = gf_widen(name);
    if (!folder.empty()) {
        wchar_t digest[17] = {};
        ::swprintf(digest, 17, L"%016llx",
                   static_cast<unsigned long long>(std::hash<std::wstring>{}(folder.lexically_normal().wstring())));
        wide += L"-";
        wide += digest;
    }
    return wide;
}

}  // namespace

// A folder given must be one (as on Linux, where the lock file is made there); lockFile() names the
// mutex, which is what another start meets.
SingleInstanceLock::SingleInstanceLock(std::string name, std::filesystem::path folder) : m_folder(std::move(folder)) {
    m_lockFile = std::filesystem::path(lf_mutexName(name, m_folder));
}

SingleInstanceLock::~SingleInstanceLock() { release(); }

bool SingleInstanceLock::held() const { return m_mutex != nullptr; }

SingleInstanceLock::Result SingleInstanceLock::acquire() {
    if (m_mutex != nullptr) return Result::Acquired;
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(m_folder, ec);
        if (!std::filesystem::is_directory(m_folder, ec)) return Result::Failed;
    }
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, m_lockFile.c_str());
    if (mutex == nullptr) return ::GetLastError() == ERROR_ACCESS_DENIED ? Result::HeldElsewhere : Result::Failed;
    if (::GetLastError() == ERROR_ALREADY_EXISTS) {
        ::CloseHandle(mutex);
        return Result::HeldElsewhere;
    }
    m_mutex = mutex;
    return Result::Acquired;
}

// The system drops the mutex with the last handle, also when the process ends in any other way.
void SingleInstanceLock::release() {
    if (m_mutex == nullptr) return;
    ::CloseHandle(static_cast<HANDLE>(m_mutex));
    m_mutex = nullptr;
}

}  // namespace vrn::platform::sys
