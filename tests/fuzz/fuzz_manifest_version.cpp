// What the download server sends that the program reads itself: a version file's text (first byte
// even) or a zip package (first byte odd), listed and read entry by entry as the updates do.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "core/version.h"
#include "update/downloads.h"
#include "update/zip_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::string bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    if ((data[0] & 1) == 0) {
        const vrn::Version v = vrn::gf_versionOfFirstLine(bytes);
        // A version read back from its own text is the same version.
        if (v.major >= 0 && v.minor >= 0 && v.patch >= 0 && !(vrn::gf_versionOfFirstLine(v.toString()) == v))
            __builtin_trap();
        return 0;
    }
    static const auto file = [] {
        static std::filesystem::path made =
            std::filesystem::temp_directory_path() / ("fuzz-package-" + std::to_string(::getpid()) + ".zip");
        std::atexit([] { std::remove(made.c_str()); });
        return made;
    }();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    vrn::zip::ZipArchive archive(file);
    if (!archive.open()) return 0;
    for (const auto& entry : archive.getEntries()) {
        if (entry.isDirectory()) continue;
        const auto text = archive.readAsText(entry);
        std::ostringstream out;
        const int result = archive.readContent(entry, out, 0x1000);
        // Both readers agree on what an entry holds.
        if (text.has_value() != (result == vrn::zip::READ_OK)) __builtin_trap();
        if (text && *text != out.str()) __builtin_trap();
    }
    return 0;
}
