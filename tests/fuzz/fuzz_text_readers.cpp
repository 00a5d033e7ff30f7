// Arbitrary bytes through the text converters, the encoding detection and the line readers, and as a
// version text. Conversions must round-trip exactly what the validator accepts.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "core/exceptions.h"
#include "core/text_conversion.h"
#include "core/text_files.h"
#include "core/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool valid = vrn::gf_isValidUtf8(bytes);
    try {
        auto u16 = vrn::gf_utf8ToUtf16(bytes);
        if (!valid) __builtin_trap();
        if (vrn::gf_utf16ToUtf8(u16) != bytes) __builtin_trap();
    } catch (const win32::Utf8ConversionException&) {
        if (valid) __builtin_trap();
    }

    std::u16string units(size / 2, u'\0');
    for (size_t i = 0; i + 1 < size; i += 2) units[i / 2] = char16_t(data[i] | (data[i + 1] << 8));
    try {
        auto s = vrn::gf_utf16ToUtf8(units);
        if (!vrn::gf_isValidUtf8(s)) __builtin_trap();
    } catch (const win32::Utf8ConversionException&) {
    }

    static const std::string path = "varnel-fuzz-text-" + std::to_string(getpid());
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
        std::vector<std::string> lines;
        vrn::gf_readWideTextFile(vrn::gf_detectTextEncoding(path), path, lines);
        lines.clear();
        vrn::gf_readWideTextFile(vrn::ENCODING_UNICODE_BIG_ENDIAN, path, lines);
        std::remove(path.c_str());
    }

    vrn::Version version(bytes);
    (void)version;
    return 0;
}
