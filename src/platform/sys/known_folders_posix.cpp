#include "platform/sys/known_folders.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace vrn::platform::sys {

namespace {

// An XDG variable counts only when set to an absolute path; relative values are ignored.
std::filesystem::path lf_absoluteEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return {};
    return std::filesystem::path(value);
}

std::filesystem::path lf_underHome(const char* relative) {
    auto home = gf_homeFolder();
    if (home.empty()) return {};
    return home / relative;
}

}  // namespace

std::filesystem::path gf_homeFolder() {
    if (auto home = lf_absoluteEnv("HOME"); !home.empty()) return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384u);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return std::filesystem::path(found->pw_dir);
    }
    return {};
}

std::filesystem::path gf_knownFolder(int csidl) {
    switch (csidl) {
    case kCsidlAppData:
        if (auto p = lf_absoluteEnv("XDG_CONFIG_HOME"); !p.empty()) return p;
        return lf_underHome(".config");
    case kCsidlLocalAppData:
        if (auto p = lf_absoluteEnv("XDG_DATA_HOME"); !p.empty()) return p;
        return lf_underHome(".local/share");
    default:
        return {};
    }
}

std::filesystem::path gf_runtimeFolder() { return lf_absoluteEnv("XDG_RUNTIME_DIR"); }

}  // namespace vrn::platform::sys
