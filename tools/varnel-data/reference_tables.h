#pragma once
// The public reference tables of airlines and types (data/liveries/reference) and the size-class
// rules that place a reference type (data/liveries/size_classes.txt).
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace vrn::data {

// The size-class names of the source files, in SizeClass order.
extern const std::vector<std::string> kSizeClassNames;

struct SizeRule {
    std::string description, engines, engineType, wake;   // accepted characters, or "*"
    std::string words;                                    // word list the name must hit, or "-"
    std::string sizeClass;
};

struct SizeRules {
    std::vector<SizeRule> rules;
    std::map<std::string, std::vector<std::string>> wordLists;
    std::map<std::string, std::string> defaultSpans;   // size class -> metres (text)

    // The size class of a type of class `typeClass` (e.g. "L2J"), wake `wake` and name `name`;
    // throws std::runtime_error when no rule matches.
    const std::string& classOf(const std::string& code, const std::string& typeClass, const std::string& wake,
                               const std::string& name) const;
};

// Throws std::runtime_error for a line it does not understand or a size class without a span.
SizeRules readSizeRules(const std::filesystem::path& file);

struct ReferenceType {
    std::string code, sizeClass;
    std::string span;   // metres as written in the table; empty when unknown
};
struct ReferenceAirline {
    std::string code, callsign;   // callsign empty when not known
};

template <class Row>
struct ReferenceTable {
    std::vector<Row> rows;
    int skipped = 0;   // rows left out for missing or malformed fields, or a repeated code
};

// Both throw std::runtime_error when the file cannot be read or its header is not the expected
// one (a wrong file rather than bad rows).
ReferenceTable<ReferenceType> readReferenceTypes(const std::filesystem::path& file, const SizeRules& rules);
ReferenceTable<ReferenceAirline> readReferenceAirlines(const std::filesystem::path& file);

}  // namespace vrn::data
