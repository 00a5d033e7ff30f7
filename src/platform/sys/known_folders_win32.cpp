#include "platform/sys/known_folders.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdlib>

namespace vrn::platform::sys {

namespace {

// %APPDATA% and its kin as the environment names them, when they hold an absolute path: the shell
// sets them from the profile, and a redirected profile (or a test) sets them to its own folders.
std::filesystem::path lf_absoluteEnv(const wchar_t* name) {
    const wchar_t* value = ::_wgetenv(name);
    if (value == nullptr || value[0] == L'\0') return {};
    std::filesystem::path path(value);
    return path.is_absolute() ? path : std::filesystem::path();
}

std::filesystem::path lf_shellFolder(const KNOWNFOLDERID& id) {
    PWSTR path = nullptr;
    std::filesystem::path folder;
    if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path)) && path != nullptr) folder = path;
    ::CoTaskMemFree(path);
    return folder;
}

std::filesystem::path lf_folder(const wchar_t* envName, const KNOWNFOLDERID& id) {
    if (auto p = lf_absoluteEnv(envName); !p.empty()) return p;
    return lf_shellFolder(id);
}

}  // namespace

std::filesystem::path gf_homeFolder() { return lf_folder(L"USERPROFILE", FOLDERID_Profile); }

std::filesystem::path gf_knownFolder(int csidl) {
    switch (csidl) {
    case kCsidlAppData: return lf_folder(L"APPDATA", FOLDERID_RoamingAppData);
    case kCsidlLocalAppData: return lf_folder(L"LOCALAPPDATA", FOLDERID_LocalAppData);
    default: return {};
    }
}

// Windows has no per-session runtime folder: the single instance is a named mutex instead.
std::filesystem::path gf_runtimeFolder() { return {}; }

}  // namespace vrn::platform::sys
