#include "core/version.h"

#include <climits>
#include <nlohmann/json.hpp>
#include <regex>
#include <stdexcept>

#include "core/format.h"

namespace vrn {

// Constant-initialised, so settings and other globals may read it during their own initialisation.
constinit const Version g_programVersion{9, 4, 0};
constinit const char* const g_programName = "Varnel";

namespace {

// The value of one key as an int; a value that is no number, or none that fits, throws.
int lf_jsonInt(const nlohmann::json& object, const char* key) {
    const auto& value = object.at(key);
    if (value.is_number_float()) {
        const double d = value.get<double>();
        if (!(d >= static_cast<double>(INT_MIN) && d <= static_cast<double>(INT_MAX)))
            throw std::out_of_range("version number out of range");
        return static_cast<int>(d);
    }
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(INT_MAX)) throw std::out_of_range("version number out of range");
        return static_cast<int>(u);
    }
    if (value.is_number_integer()) {
        const auto i = value.get<std::int64_t>();
        if (i < INT_MIN || i > INT_MAX) throw std::out_of_range("version number out of range");
        return static_cast<int>(i);
    }
    throw std::invalid_argument("version number is not a number");
}

}  // namespace

Version::Version(const std::string& text) {
    if (text.empty()) return;
    // Each field is stored right after it was read, so a failure keeps the fields before it.
    try {
        static const std::regex pattern(R"((\d+).(\d+).(\d+))", std::regex::ECMAScript);
        std::smatch match;
        if (std::regex_match(text, match, pattern)) {
            major = std::stoi(match[1].str());
            minor = std::stoi(match[2].str());
            patch = std::stoi(match[3].str());
            return;
        }
        const auto json = nlohmann::json::parse(text);
        major = lf_jsonInt(json, "major");
        minor = lf_jsonInt(json, "minor");
        patch = lf_jsonInt(json, "patch");
    } catch (const std::exception&) {
        // What cannot be read stays 0.
    }
}

std::string Version::toString() const { return vrn::format("{}.{}.{}", major, minor, patch); }

bool Version::isNewerThan(const Version& other) const {
    if (major != other.major) return major > other.major;
    if (minor != other.minor) return minor > other.minor;
    return patch > other.patch;
}

std::string gf_versionText(const Version& v) { return v.toString(); }

}  // namespace vrn
