// A package's manifest.json as the airport scan reads it for the publisher.
#include <cstdint>
#include <exception>
#include <string>

#include "airports/manifest_publisher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        const vrn::ManifestInfo info = vrn::gf_parseManifestText(text);
        (void)info;
    } catch (const std::exception&) {
        // Not a manifest: the scan logs it and goes on without a publisher.
    }
    return 0;
}
