#pragma once
#include <cstdint>
#include <string>

namespace vrn {

struct Version {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int32_t patch = 0;

    Version() = default;
    constexpr Version(std::int32_t ma, std::int32_t mi, std::int32_t pa) : major(ma), minor(mi), patch(pa) {}
    // Three numbers separated by one character, or a JSON object with "major", "minor", "patch".
    // Never throws; what cannot be read stays 0.
    explicit Version(const std::string& text);

    std::string toString() const;   // "{}.{}.{}"
    bool operator==(const Version&) const = default;
    bool isNewerThan(const Version& other) const;
};

std::string gf_versionText(const Version& v);

extern const Version g_programVersion;   // 9.4.0, constant-initialised
extern const char* const g_programName;  // "Varnel"

}  // namespace vrn
