#include "reference_tables.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <stdexcept>

#include "source_text.h"

namespace vrn::data {

const std::vector<std::string> kSizeClassNames = {"light", "bizjet", "large", "heavy", "highperf", "rotorcraft"};

namespace {

namespace fs = std::filesystem;

bool accepts(const std::string& field, char c) { return field == "*" || field.find(c) != std::string::npos; }

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool onlyOf(const std::string& text, const char* allowed) {
    return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
}

constexpr const char* kUpperAndDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

// Reads the rows of one reference table after checking its header; `take` returns false for a row
// it cannot use, which is then counted as skipped.
int readRows(const fs::path& file, const std::string& header, std::size_t columns,
             const std::function<bool(const std::vector<std::string>&)>& take) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line != header) throw std::runtime_error("unexpected columns in " + file.string() + ": " + line);
    int skipped = 0;
    std::vector<std::string> fields;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (!splitCsvRow(line, fields) || fields.size() != columns || !take(fields)) ++skipped;
    }
    return skipped;
}

// A span in metres: a plain positive number no real aircraft exceeds.
bool validSpan(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos) return false;
    char* end = nullptr;
    const double metres = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(metres) && metres > 0.0 && metres < 150.0;
}

}  // namespace

const std::string& SizeRules::classOf(const std::string& code, const std::string& typeClass, const std::string& wake,
                                      const std::string& name) const {
    const char wakeChar = wake == "L/M" ? 'L' : wake[0];
    for (const SizeRule& r : rules) {
        if (!accepts(r.description, typeClass[0]) || !accepts(r.engines, typeClass[1]) ||
            !accepts(r.engineType, typeClass[2]) || !accepts(r.wake, wakeChar))
            continue;
        if (r.words != "-") {
            const std::string lower = lowered(name);
            const auto& list = wordLists.at(r.words);
            if (std::none_of(list.begin(), list.end(),
                             [&](const std::string& w) { return lower.find(w) != std::string::npos; }))
                continue;
        }
        return r.sizeClass;
    }
    throw std::runtime_error("no size class rule matches type " + code);
}

SizeRules readSizeRules(const fs::path& file) {
    const auto isClass = [](const std::string& c) {
        return std::find(kSizeClassNames.begin(), kSizeClassNames.end(), c) != kSizeClassNames.end();
    };
    SizeRules rules;
    for (std::string line : readSourceLines(file)) {
        const std::string bad = "bad size class line: " + line;
        line = line.substr(0, line.find(" #"));
        const std::vector<std::string> w = words(line);
        if (w.empty()) continue;
        if (w[0] == "rule" && w.size() == 7 && isClass(w[6])) {
            rules.rules.push_back({w[1], w[2], w[3], w[4], w[5], w[6]});
        } else if (w[0] == "words" && w.size() >= 3) {
            std::vector<std::string> list;
            const std::string rest = trimmed(line.substr(line.find(w[1], line.find(w[0]) + w[0].size()) + w[1].size()));
            for (const std::string& word : splitAt(rest, '|'))
                if (!trimmed(word).empty()) list.push_back(lowered(trimmed(word)));
            rules.wordLists[w[1]] = std::move(list);
        } else if (w[0] == "span" && w.size() == 3 && isClass(w[1]) && validSpan(w[2])) {
            rules.defaultSpans[w[1]] = w[2];
        } else {
            throw std::runtime_error(bad);
        }
    }
    for (const SizeRule& r : rules.rules)
        if (r.words != "-" && !rules.wordLists.count(r.words))
            throw std::runtime_error("size class rule names the unknown word list " + r.words);
    for (const std::string& c : kSizeClassNames)
        if (!rules.defaultSpans.count(c)) throw std::runtime_error("no default span for size class " + c);
    return rules;
}

ReferenceTable<ReferenceType> readReferenceTypes(const fs::path& file, const SizeRules& rules) {
    ReferenceTable<ReferenceType> table;
    std::set<std::string> seen;
    table.skipped = readRows(file, "icao_type,name,class,wtc,wingspan_m,wingspan_source", 6, [&](const auto& f) {
        const std::string &code = f[0], &name = f[1], &typeClass = f[2], &wake = f[3], &span = f[4];
        const bool wellFormed = code.size() >= 2 && code.size() <= 4 && onlyOf(code, kUpperAndDigits) &&
                                typeClass.size() == 3 && std::string("LSAHGT").find(typeClass[0]) != std::string::npos &&
                                std::string("12345678C").find(typeClass[1]) != std::string::npos &&
                                std::string("PTJE").find(typeClass[2]) != std::string::npos &&
                                (wake == "L" || wake == "M" || wake == "H" || wake == "J" || wake == "L/M") &&
                                (span.empty() || validSpan(span));
        if (!wellFormed || !seen.insert(code).second) return false;
        table.rows.push_back({code, rules.classOf(code, typeClass, wake, name), span});
        return true;
    });
    return table;
}

ReferenceTable<ReferenceAirline> readReferenceAirlines(const fs::path& file) {
    ReferenceTable<ReferenceAirline> table;
    std::set<std::string> seen;
    table.skipped = readRows(file, "icao,name,callsign,country,active,iata,source,openflights_name", 8, [&](const auto& f) {
        const std::string& code = f[0];
        const std::string callsign = trimmed(f[2]);
        const bool wellFormed = code.size() == 3 && onlyOf(code, "ABCDEFGHIJKLMNOPQRSTUVWXYZ") &&
                                std::none_of(callsign.begin(), callsign.end(),
                                             [](unsigned char c) { return c < 0x20 || c == 0x7F; });
        if (!wellFormed || !seen.insert(code).second) return false;
        // A second name means the code changed hands since the callsign was recorded: it may be
        // the old airline's, so it is not used.
        table.rows.push_back({code, f[7].empty() ? callsign : std::string()});
        return true;
    });
    return table;
}

}  // namespace vrn::data
