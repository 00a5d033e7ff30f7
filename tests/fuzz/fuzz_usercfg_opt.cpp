// Arbitrary bytes as the simulator's UserCfg.opt, read through the packages-folder search. The known
// folders point into a scratch folder, so only the Store candidate exists.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "update/sim_installation.h"

namespace {

std::filesystem::path g_root;
std::filesystem::path g_userCfg;

void lf_cleanUp() {
    std::error_code ignored;
    std::filesystem::remove_all(g_root, ignored);
}

void lf_prepare() {
    const auto root = std::filesystem::temp_directory_path() / ("fuzz-usercfg-" + std::to_string(::getpid()));
    g_root = root;
    std::atexit(lf_cleanUp);
    std::filesystem::create_directories(root / "roaming");
    g_userCfg = root / "local" / "Packages" / "Microsoft.FlightSimulator_8wekyb3d8bbwe" / "LocalCache" / "UserCfg.opt";
    std::filesystem::create_directories(g_userCfg.parent_path());
    // A valid packages folder some inputs may name.
    std::filesystem::create_directories(root / "pk" / "Community");
    std::filesystem::create_directories(root / "pk" / "Official");
    ::setenv("XDG_CONFIG_HOME", (root / "roaming").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (root / "local").c_str(), 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (g_userCfg.empty()) lf_prepare();
    {
        std::ofstream out(g_userCfg, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        const auto found = vrn::gf_findPackagesFolder();
        // Whatever is returned must be a packages folder.
        if (!found.empty() && !std::filesystem::exists(found / "Community")) __builtin_trap();
    } catch (const std::filesystem::filesystem_error&) {
        // A name the file system refuses to test (too long) is reported to the caller.
    }
    return 0;
}
