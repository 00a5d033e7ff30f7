// The key readers match a whole line "\s*(key)\s*=\s*(.*\S)\s*" (key case-blind) by hand rather than
// with a regular expression per line: the scan reads every line of thousands of files.
#include "liveries/aircraft_cfg_lines.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <set>

#include "core/format.h"
#include "core/log.h"
#include "core/utilities.h"
#include "liveries/sim_title_types.h"

namespace vrn {

ScanReports g_scanReports;
std::unordered_set<std::string> g_dontUseTitles;

namespace {

std::mutex g_seenTitlesMutex;
std::unordered_set<std::string> g_seenTitles;

bool lf_isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

char lf_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

std::size_t lf_skipSpaces(std::string_view s, std::size_t i) {
    while (i < s.size() && lf_isSpace(s[i])) ++i;
    return i;
}

// Case-blind comparison of s at i with an ASCII word given in lower case.
bool lf_matchesWordAt(std::string_view s, std::size_t i, std::string_view lowerWord) {
    if (s.size() - i < lowerWord.size()) return false;
    for (std::size_t k = 0; k < lowerWord.size(); ++k)
        if (lf_lower(s[i + k]) != lowerWord[k]) return false;
    return true;
}

// title and texture: the unquoted value replaces `out` only when it is not empty.
bool lf_readKeptValue(const std::string& line, std::string_view key, std::string& out) {
    const std::string_view value = gf_matchKeyValue(line, key);
    if (value.empty()) return false;
    std::string unquoted = gf_unquote(value);
    if (!unquoted.empty()) out = std::move(unquoted);
    return true;
}

}  // namespace

std::string gf_upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - ('a' - 'A'));
    return text;
}

std::string_view gf_matchKeyValue(std::string_view line, std::string_view key) {
    std::size_t i = lf_skipSpaces(line, 0);
    if (i >= line.size() || !lf_matchesWordAt(line, i, key)) return {};
    i = lf_skipSpaces(line, i + key.size());
    if (i >= line.size() || line[i] != '=') return {};
    i = lf_skipSpaces(line, i + 1);
    std::size_t end = line.size();
    while (end > i && lf_isSpace(line[end - 1])) --end;
    if (end <= i) return {};
    const std::string_view value = line.substr(i, end - i);
    // '.' of the pattern does not cross a line end.
    if (value.find_first_of("\r\n") != std::string_view::npos) return {};
    return value;
}

bool gf_isCommentLine(std::string_view line) {
    const std::size_t i = lf_skipSpaces(line, 0);
    if (i >= line.size()) return false;
    return line[i] == ';' || line.substr(i, 2) == "//";
}

bool gf_readTitle(const std::string& line, std::string& out) { return lf_readKeptValue(line, "title", out); }

bool gf_readTexture(const std::string& line, std::string& out) { return lf_readKeptValue(line, "texture", out); }

std::string gf_modelFromBaseContainer(const std::string& line) {
    const std::string_view value = gf_matchKeyValue(line, "base_container");
    if (value.empty()) return {};
    const std::string unquoted = gf_unquote(value);
    // Too short to hold "..\" and a name: no stock container.
    if (unquoted.size() < 3) return {};
    auto it = g_simTitleTypes.find(unquoted.substr(3));
    return it == g_simTitleTypes.end() ? std::string() : gf_upperAscii(it->second);
}

std::string gf_readTypeDesignator(const std::string& line) {
    const std::string_view value = gf_matchKeyValue(line, "icao_type_designator");
    if (value.empty()) return {};
    std::string unquoted = gf_unquote(value);
    if (unquoted.size() >= 5) unquoted.resize(4);
    return gf_upperAscii(std::move(unquoted));
}

bool gf_readAtcId(const std::string& line, std::string& out) {
    const std::string_view value = gf_matchKeyValue(line, "atc_id");
    if (value.empty()) return false;
    std::string unquoted = gf_unquote(value);
    if (unquoted.size() < 5) return false;
    out = std::move(unquoted);
    return true;
}

bool gf_readIcaoAirline(const std::string& line, std::string& out) {
    const std::string_view value = gf_matchKeyValue(line, "icao_airline");
    if (value.empty()) return false;
    const std::string unquoted = gf_unquote(value);
    out = (unquoted.empty() || unquoted == "ZZZZecorder") ? std::string("ZZZ") : gf_upperAscii(unquoted);
    return true;
}

bool gf_readParkingTypes(const std::string& line, std::string& out) {
    const std::string_view value = gf_matchKeyValue(line, "atc_parking_types");
    if (value.empty()) return false;
    std::string unquoted = gf_unquote(value);
    if (unquoted.empty()) return false;
    out = std::move(unquoted);
    return true;
}

bool gf_hasAtcIdKey(const std::string& line) { return line.find("atc_id=") != std::string::npos; }
bool gf_hasParkingTypesKey(const std::string& line) { return line.find("atc_parking_types") != std::string::npos; }

std::string gf_fltsimNumber(std::string_view line) {
    if (gf_isCommentLine(line)) return {};
    std::size_t i = lf_skipSpaces(line, 0);
    if (lf_matchesWordAt(line, i, "[fltsim.")) {
        const std::size_t digits = i + 8;
        std::size_t j = digits;
        while (j < line.size() && line[j] >= '0' && line[j] <= '9') ++j;
        if (j > digits && j < line.size() && line[j] == ']' && lf_skipSpaces(line, j + 1) == line.size())
            return std::string(line.substr(digits, j - digits));
    }
    if (line.find("[fltsim.") != std::string_view::npos || line.find("[FLTSIM.") != std::string_view::npos)
        return "10000";
    return {};
}

bool gf_checkFltsimNumbers(const std::vector<std::string>& lines, const std::string& path) {
    std::vector<std::int32_t> numbers;
    for (const std::string& line : lines) {
        const std::string text = gf_fltsimNumber(line);
        if (text.empty()) continue;
        std::int32_t n = 0;
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
        if (ec != std::errc() || end != text.data() + text.size()) {
            gf_logArrowLine(format("fltsim num {} incorrect", line));
            return false;
        }
        numbers.push_back(n);
    }
    if (numbers.empty()) {
        g_scanReports.noFltsimSection.add(path);
        return true;
    }
    std::sort(numbers.begin(), numbers.end());
    std::int32_t expected = 0;
    for (std::int32_t n : numbers) {
        if (n == expected) {
            ++expected;
            continue;
        }
        const std::string why = n == 10000 ? std::string("a [fltsim.] section without a number")
                                           : format("non-consecutive [fltsim.x] numbers at .x={}", n);
        gf_addInvalidCfgReport(path + " contains " + why);
        return false;
    }
    return true;
}

void ReportLines::add(std::string line) {
    std::lock_guard lock(m_mutex);
    m_lines.push_back(std::move(line));
}

std::vector<std::string> ReportLines::copy() const {
    std::lock_guard lock(m_mutex);
    return m_lines;
}

std::size_t ReportLines::size() const {
    std::lock_guard lock(m_mutex);
    return m_lines.size();
}

void ReportLines::clear() {
    std::lock_guard lock(m_mutex);
    m_lines.clear();
}

void gf_addInvalidCfgReport(std::string line) { g_scanReports.invalidCfgFiles.add(std::move(line)); }
void gf_addIncompleteSectionReport(std::string line) { g_scanReports.incompleteSections.add(std::move(line)); }

void gf_addInvalidAirlineReport(const std::string& code, const std::string& path, const std::string& tail) {
    g_scanReports.invalidAirlines.add(format("{:12} in {} ", code, path) + tail);
}

void gf_addInvalidModelReport(const std::string& code, const std::string& path) {
    g_scanReports.invalidModels.add(format("{:16} in {}", code, path));
}

void gf_addFixReport(const std::string& wrong, const std::string& path, const std::string& corrected) {
    g_scanReports.codeFixes.add(format("Fix: {} found in {} changed into {}", wrong, path, corrected));
}

bool gf_insertSeenTitle(const std::string& title) {
    std::lock_guard lock(g_seenTitlesMutex);
    return g_seenTitles.insert(title).second;
}

void gf_clearScanReports() {
    for (ReportLines* r : {&g_scanReports.noFltsimSection, &g_scanReports.invalidCfgFiles,
                           &g_scanReports.incompleteSections, &g_scanReports.invalidAirlines,
                           &g_scanReports.invalidModels, &g_scanReports.codeFixes, &g_scanReports.conversions,
                           &g_scanReports.skippedOnPriority})
        r->clear();
    {
        std::lock_guard lock(g_seenTitlesMutex);
        g_seenTitles.clear();
    }
    g_dontUseTitles.clear();
}

}  // namespace vrn
