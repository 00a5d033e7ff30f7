#include "platform/sys/thread_name.h"

#include <windows.h>

#include "platform/sys/wide_text_win32.h"

namespace vrn::platform::sys {

namespace {

// Looked up at run time: older systems (and older MinGW headers) lack these two kernel32 calls.
using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);

template <class F>
F lf_kernel32(const char* name) {
    const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(kernel, name))) : nullptr;
}

}  // namespace

// Windows keeps longer names, but the same cut as on Linux keeps names alike in logs and debuggers.
bool gf_setThreadName(std::string_view name) {
    static const auto set = lf_kernel32<SetDescription>("SetThreadDescription");
    return set && SUCCEEDED(set(::GetCurrentThread(), gf_widen(gf_cutThreadName(name)).c_str()));
}

std::string gf_threadName() {
    static const auto get = lf_kernel32<GetDescription>("GetThreadDescription");
    PWSTR wide = nullptr;
    if (!get || FAILED(get(::GetCurrentThread(), &wide)) || wide == nullptr) return {};
    std::string name = gf_narrow(wide);
    ::LocalFree(wide);
    return name;
}

}  // namespace vrn::platform::sys
