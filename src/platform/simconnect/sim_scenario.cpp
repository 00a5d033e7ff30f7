// The simulated simulator's inputs: its JSON scenario and the installed titles, read from the
// [FLTSIM.N] sections of the aircraft.cfg files under the packages folder.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <nlohmann/json.hpp>

#include "platform/simconnect/simulated_simulator.h"

namespace vrn::simconnect {

namespace {

std::string lf_lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

void lf_appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// UTF-16 with a byte-order mark to UTF-8; unpaired surrogates become U+FFFD.
std::string lf_utf16ToUtf8(const std::string& bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size() / 2);
    auto unit = [&](std::size_t i) -> std::uint32_t {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        const auto b1 = static_cast<unsigned char>(bytes[i + 1]);
        return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
    };
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        std::uint32_t u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 3 < bytes.size()) {
            const std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                lf_appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
                i += 2;
                continue;
            }
        }
        if (u >= 0xD800 && u <= 0xDFFF) u = 0xFFFD;
        lf_appendUtf8(out, u);
    }
    return out;
}

std::string lf_trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    const auto e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

// A value as written after '=': a quoted text up to its closing quote, else up to a ';' comment.
std::string lf_cfgValue(const std::string& raw) {
    const std::string v = lf_trim(raw);
    if (!v.empty() && v.front() == '"') {
        const auto close = v.find('"', 1);
        return close == std::string::npos ? v.substr(1) : v.substr(1, close - 1);
    }
    return lf_trim(v.substr(0, v.find(';')));
}

bool lf_isFltsimHeader(const std::string& line) {
    // [FLTSIM.N], any case, N one or more digits.
    if (line.size() < 10 || line.front() != '[' || line.back() != ']') return false;
    const std::string inner = lf_lower(line.substr(1, line.size() - 2));
    if (inner.rfind("fltsim.", 0) != 0 || inner.size() == 7) return false;
    return std::all_of(inner.begin() + 7, inner.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// An integer of the scenario. JSON numbers may be written as floats or be out of the type's range;
// either is refused here rather than converted with an undefined result.
template <typename T>
T lf_integer(const nlohmann::json& v, const std::string& what) {
    if (v.is_number_integer()) {
        const bool fits = v.is_number_unsigned() ? std::in_range<T>(v.get<std::uint64_t>())
                                                 : std::in_range<T>(v.get<std::int64_t>());
        if (!fits) throw std::runtime_error("scenario: " + what + " out of range");
        return v.is_number_unsigned() ? static_cast<T>(v.get<std::uint64_t>()) : static_cast<T>(v.get<std::int64_t>());
    }
    if (v.is_number_float()) {
        const double d = v.get<double>();
        const double limit = std::ldexp(1.0, std::numeric_limits<T>::digits);
        const double lowest = std::numeric_limits<T>::is_signed ? -limit : 0.0;
        if (!(d >= lowest && d < limit)) throw std::runtime_error("scenario: " + what + " out of range");
        return static_cast<T>(d);
    }
    throw std::runtime_error("scenario: " + what + " is not a number");
}

// The integer member `key` of an object, or `fallback` when it has none.
template <typename T>
T lf_integer(const nlohmann::json& object, const char* key, T fallback) {
    if (!object.is_object()) throw std::runtime_error(std::string("scenario: an object is expected for ") + key);
    const auto it = object.find(key);
    return it == object.end() ? fallback : lf_integer<T>(*it, key);
}

PathPoint lf_pathPoint(const nlohmann::json& j, const PathPoint& defaults) {
    PathPoint p = defaults;
    p.t = j.value("t", p.t);
    p.lat = j.value("lat", p.lat);
    p.lon = j.value("lon", p.lon);
    p.altitude = j.value("altitude", p.altitude);
    p.headingDeg = j.value("heading", p.headingDeg);
    p.groundSpeed = j.value("groundSpeed", p.groundSpeed);
    p.onGround = j.value("onGround", p.onGround);
    return p;
}

}  // namespace

std::vector<std::string> gf_readFltsimTitles(const std::string& bytes) {
    std::string text;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF && static_cast<unsigned char>(bytes[1]) == 0xFE)
        text = lf_utf16ToUtf8(bytes, false);
    else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
             static_cast<unsigned char>(bytes[1]) == 0xFF)
        text = lf_utf16ToUtf8(bytes, true);
    else if (bytes.rfind("\xEF\xBB\xBF", 0) == 0)
        text = bytes.substr(3);
    else
        text = bytes;

    std::vector<std::string> titles;
    bool inFltsim = false;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        line = lf_trim(line);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            inFltsim = lf_isFltsimHeader(line);
            continue;
        }
        if (!inFltsim) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (lf_lower(lf_trim(line.substr(0, eq))) != "title") continue;
        std::string title = lf_cfgValue(line.substr(eq + 1));
        if (!title.empty()) titles.push_back(std::move(title));
        inFltsim = false;   // one title per section
    }
    return titles;
}

std::set<std::string> gf_scanInstalledTitles(const std::filesystem::path& packagesFolder) {
    namespace fs = std::filesystem;
    std::set<std::string> titles;
    for (const char* sub : {"Community", "Official"}) {
        const fs::path root = packagesFolder / sub;
        std::error_code ec;
        if (!fs::is_directory(root, ec)) continue;
        fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
        for (; !ec && it != end; it.increment(ec)) {
            std::error_code fileEc;
            if (!it->is_regular_file(fileEc)) continue;
            if (lf_lower(it->path().filename().string()) != "aircraft.cfg") continue;
            std::ifstream f(it->path(), std::ios::binary);
            if (!f) continue;
            std::ostringstream bytes;
            bytes << f.rdbuf();
            for (auto& t : gf_readFltsimTitles(bytes.str())) titles.insert(std::move(t));
        }
    }
    return titles;
}

SimScenario gf_parseSimScenario(const std::string& jsonText, const std::filesystem::path& baseFolder) {
    SimScenario s;
    try {
        const auto j = nlohmann::json::parse(jsonText);
        if (!j.is_object()) throw std::runtime_error("the scenario is not a JSON object");
        s.version = lf_integer(j, "version", s.version);
        s.applicationName = j.value("applicationName", s.applicationName);
        if (j.contains("appVersion")) {
            const auto& v = j.at("appVersion");
            for (std::size_t i = 0; i < 4 && i < v.size(); ++i) s.appVersion[i] = lf_integer<DWORD>(v.at(i), "appVersion");
        }
        s.frameRate = j.value("frameRate", s.frameRate);
        if (!(s.frameRate >= 1.0 && s.frameRate <= 1000.0)) throw std::runtime_error("frameRate out of 1..1000");
        s.openFailures = lf_integer(j, "openFailures", s.openFailures);
        s.simulatorRunning = j.value("simulatorRunning", s.simulatorRunning);
        s.flightRunning = j.value("flightRunning", s.flightRunning);
        if (j.contains("packagesFolder")) {
            std::filesystem::path p = j.at("packagesFolder").get<std::string>();
            s.packagesFolder = p.is_relative() && !baseFolder.empty() ? baseFolder / p : p;
        }
        s.installedTitles = j.value("installedTitles", s.installedTitles);
        s.anyTitleInstalled = j.value("anyTitleInstalled", s.anyTitleInstalled);
        if (j.contains("user")) {
            const auto& u = j.at("user");
            s.user.objectId = lf_integer(u, "objectId", s.user.objectId);
            s.user.title = u.value("title", s.user.title);
            s.user.atcModel = u.value("atcModel", s.user.atcModel);
            s.user.lightStates = lf_integer(u, "lightStates", s.user.lightStates);
            s.user.start = lf_pathPoint(u, s.user.start);
            if (u.contains("path"))
                for (const auto& p : u.at("path")) s.user.path.push_back(lf_pathPoint(p, s.user.start));
            // The user flies the points in the order of their times.
            std::stable_sort(s.user.path.begin(), s.user.path.end(),
                             [](const PathPoint& a, const PathPoint& b) { return a.t < b.t; });
        }
        s.groundElevation = j.value("groundElevation", s.user.start.onGround ? s.user.start.altitude : s.groundElevation);
        s.zuluYear = lf_integer(j, "zuluYear", s.zuluYear);
        s.zuluDayOfYear = lf_integer(j, "zuluDayOfYear", s.zuluDayOfYear);
        s.zuluSeconds = j.value("zuluSeconds", s.zuluSeconds);
        // The clock counts on from this date frame by frame; a date out of range would never settle.
        if (s.zuluYear < 1 || s.zuluYear > 9999) throw std::runtime_error("zuluYear out of 1..9999");
        if (s.zuluDayOfYear < 1 || s.zuluDayOfYear > 366) throw std::runtime_error("zuluDayOfYear out of 1..366");
        if (!(s.zuluSeconds >= 0.0 && s.zuluSeconds < 86400.0)) throw std::runtime_error("zuluSeconds out of 0..86400");
        if (j.contains("timeline"))
            for (const auto& e : j.at("timeline"))
                s.timeline.push_back({e.at("t").get<double>(), e.at("event").get<std::string>(), e.value("file", "")});
        std::stable_sort(s.timeline.begin(), s.timeline.end(),
                         [](const TimelineEvent& a, const TimelineEvent& b) { return a.t < b.t; });
        if (j.contains("failures")) {
            const auto& f = j.at("failures");
            for (const auto& t : f.value("refuseTitles", std::vector<std::string>{})) s.failures.refuseTitles.insert(t);
            s.failures.failCreateCalls = lf_integer(f, "failCreateCalls", 0);
            s.failures.failRemoveCalls = lf_integer(f, "failRemoveCalls", 0);
            s.failures.failTransmitCalls = lf_integer(f, "failTransmitCalls", 0);
            s.failures.failRequestCalls = lf_integer(f, "failRequestCalls", 0);
            s.failures.failPacketIdCalls = lf_integer(f, "failPacketIdCalls", 0);
            s.failures.failDispatchCalls = lf_integer(f, "failDispatchCalls", 0);
            if (f.contains("exceptionsAfterOpen"))
                for (const auto& e : f.at("exceptionsAfterOpen"))
                    s.failures.exceptionsAfterOpen.emplace_back(lf_integer<DWORD>(e.at("exception"), "exception"),
                                                                  lf_integer(e, "index", DWORD{0}));
        }
        if (j.contains("otherAircraft"))
            for (const auto& o : j.at("otherAircraft"))
                s.otherAircraft.push_back({o.value("title", ""), o.value("atcId", ""), o.value("lat", 0.0),
                                           o.value("lon", 0.0), o.value("altitude", 0.0), o.value("onGround", true)});
        s.staticCgToGround = j.value("staticCgToGround", s.staticCgToGround);
        s.staticPitch = j.value("staticPitch", s.staticPitch);
        s.firstAiObjectId = lf_integer(j, "firstAiObjectId", s.firstAiObjectId);
        s.maxObjects = lf_integer(j, "maxObjects", s.maxObjects);
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(std::string("scenario: ") + e.what());
    }
    if (s.firstAiObjectId <= s.user.objectId) throw std::runtime_error("scenario: firstAiObjectId must be above the user's");
    return s;
}

SimScenario gf_loadSimScenario(const std::filesystem::path& file) {
    std::ifstream f(file, std::ios::binary);
    if (!f) throw std::runtime_error("scenario: cannot open " + file.string());
    std::ostringstream text;
    text << f.rdbuf();
    return gf_parseSimScenario(text.str(), file.parent_path());
}

}  // namespace vrn::simconnect
