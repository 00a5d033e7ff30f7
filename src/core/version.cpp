#include "core/version.h"

#include <algorithm>
#include <climits>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "core/format.h"

namespace vrn {

// Constant-initialised, so settings and other globals may read it during their own initialisation.
constinit const Version g_programVersion{9, 4, 0};
constinit const char* const g_programName = "Varnel";

namespace {

bool lf_isDigit(char c) { return c >= '0' && c <= '9'; }
// A separator is any one character but a line end.
bool lf_isSeparator(char c) { return c != '\n' && c != '\r'; }

struct VersionGroups {
    std::string_view major, minor, patch;
};

// The whole text read as "(\d+).(\d+).(\d+)": three runs of digits with one separator between them,
// nothing before or after. Where a digit could be a separator, the longer first groups win, as a
// regular-expression engine decides it. Done in linear time by hand: a regex engine recurses once per
// character and runs out of stack on a long version text from a file or a server.
std::optional<VersionGroups> lf_matchVersionText(std::string_view text) {
    const std::size_t n = text.size();
    if (n < 5) return std::nullopt;
    std::vector<std::size_t> digitsFrom(n + 1, 0);   // length of the run of digits starting at i
    for (std::size_t i = n; i-- > 0;) digitsFrom[i] = lf_isDigit(text[i]) ? digitsFrom[i + 1] + 1 : 0;
    const std::size_t lastDigitsStart = n - [&] {
        std::size_t k = 0;
        while (k < n && lf_isDigit(text[n - 1 - k])) ++k;
        return k;
    }();
    if (lastDigitsStart == n) return std::nullopt;   // the text does not end in a digit

    // a: position of the first separator (end of the first group), longest first.
    for (std::size_t a = std::min(digitsFrom[0], n - 4); a >= 1; --a) {
        if (!lf_isSeparator(text[a])) continue;
        const std::size_t second = a + 1;
        if (digitsFrom[second] == 0) continue;
        // b: position of the second separator. Inside the second group's digits every position can
        // serve; only the character right after them may be a line end.
        std::size_t b = std::min(second + digitsFrom[second], n - 2);
        if (!lf_isSeparator(text[b])) --b;
        const std::size_t lowest = std::max(second + 1, lastDigitsStart == 0 ? std::size_t{0} : lastDigitsStart - 1);
        if (b >= lowest) {
            return VersionGroups{text.substr(0, a), text.substr(second, b - second), text.substr(b + 1)};
        }
    }
    return std::nullopt;
}

// A run of digits as std::stoi reads it; a number that does not fit an int throws.
int lf_digitsToInt(std::string_view digits) {
    long long v = 0;
    for (char c : digits) {
        v = v * 10 + (c - '0');
        if (v > INT_MAX) throw std::out_of_range("stoi argument out of range");
    }
    return static_cast<int>(v);
}

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
        if (const auto groups = lf_matchVersionText(text)) {
            major = lf_digitsToInt(groups->major);
            minor = lf_digitsToInt(groups->minor);
            patch = lf_digitsToInt(groups->patch);
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
