// Builds the livery side of the data set from the plain sources in data/liveries: the scrambled type
// database (the public reference tables merged with the project's own entries), the fixes, the AIG
// registration list, a sample user list and the sample aircraft packages.
#include <algorithm>
#include <fstream>
#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "builders.h"
#include "reference_tables.h"
#include "source_text.h"
#include "liveries/code_scrambling.h"

namespace vrn::data {
namespace {

namespace fs = std::filesystem;

std::string joinScrambled(const std::vector<std::string>& codes, std::string (*scramble)(const std::string&)) {
    std::string out;
    for (const std::string& c : codes) {
        if (!out.empty()) out += ',';
        out += scramble(c);
    }
    return out;
}

// Written beside the target and renamed over it, so that a failed run never leaves half a file.
void save(const pugi::xml_document& doc, const fs::path& file) {
    fs::create_directories(file.parent_path());
    fs::path temp = file;
    temp += ".tmp";
    if (!doc.save_file(temp.c_str(), "  ")) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw std::runtime_error("cannot write " + file.string());
    }
    fs::rename(temp, file);
}

void listSection(pugi::xml_document& doc, const char* section, const char* element, const char* attribute,
                 const std::string& value) {
    doc.append_child(section).append_child(element).append_attribute(attribute).set_value(value.c_str());
}

struct TypeEntry {
    std::string sizeClass;
    std::string span;   // metres; empty while unknown
};

struct TypeFacts {
    std::map<std::string, TypeEntry> types;   // by designator
    int referenceRows = 0, skipped = 0;
};

// Every reference type placed by the size-class rules, then the project's own entries over them.
TypeFacts readTypes(const fs::path& src) {
    const SizeRules rules = readSizeRules(src / "size_classes.txt");
    const ReferenceTable<ReferenceType> reference = readReferenceTypes(src / "reference" / "types.csv", rules);
    TypeFacts facts;
    facts.referenceRows = static_cast<int>(reference.rows.size());
    facts.skipped = reference.skipped;
    for (const ReferenceType& t : reference.rows) facts.types[t.code] = {t.sizeClass, t.span};
    for (const std::string& line : readSourceLines(src / "types.txt")) {
        const auto w = words(line);
        if (w.size() != 3 ||
            std::find(kSizeClassNames.begin(), kSizeClassNames.end(), w[1]) == kSizeClassNames.end())
            throw std::runtime_error("bad type line: " + line);
        TypeEntry& entry = facts.types[w[0]];
        entry.sizeClass = w[1];
        if (w[2] != "0") entry.span = w[2];
    }
    for (auto& [code, entry] : facts.types)
        if (entry.span.empty()) entry.span = rules.defaultSpans.at(entry.sizeClass);
    return facts;
}

struct AirlineFacts {
    std::map<std::string, std::string> callsigns;   // every airline code, its callsign or ""
    int referenceRows = 0, skipped = 0;
};

// Every reference airline, the project's own codes, and the conventions ZZZ and PVT over both.
AirlineFacts readAirlines(const fs::path& src) {
    const ReferenceTable<ReferenceAirline> reference = readReferenceAirlines(src / "reference" / "airlines.csv");
    AirlineFacts facts;
    facts.referenceRows = static_cast<int>(reference.rows.size());
    facts.skipped = reference.skipped;
    for (const ReferenceAirline& a : reference.rows) facts.callsigns[a.code] = a.callsign;
    for (const std::string& line : readSourceLines(src / "airlines.txt")) {
        const auto w = words(line);
        const bool convention = !w.empty() && w[0] == "convention";
        for (std::size_t i = convention ? 1 : 0; i < w.size(); ++i) {
            if (w[i].size() != 3) throw std::runtime_error("bad airline code " + w[i] + " in: " + line);
            std::string& callsign = facts.callsigns[w[i]];
            if (convention) callsign.clear();
        }
    }
    return facts;
}

std::vector<std::string> allWords(const fs::path& file) {
    std::vector<std::string> out;
    for (const std::string& line : readSourceLines(file))
        for (const std::string& w : words(line)) out.push_back(w);
    return out;
}

void buildDbase(const fs::path& src, const fs::path& input) {
    const TypeFacts types = readTypes(src);
    const AirlineFacts airlines = readAirlines(src);
    std::vector<std::string> all;
    std::map<std::string, std::vector<std::string>> byClass;
    for (const auto& [code, entry] : types.types) {
        all.push_back(code);
        byClass[entry.sizeClass].push_back(code);
    }
    pugi::xml_document doc;
    listSection(doc, "aircrafts", "aircraft", "types", joinScrambled(all, gf_scrambleTypeCode));
    listSection(doc, "high_performance", "hpf", "types", joinScrambled(byClass["highperf"], gf_scrambleTypeCode));
    listSection(doc, "heavy", "hvy", "types", joinScrambled(byClass["heavy"], gf_scrambleTypeCode));
    listSection(doc, "large", "lar", "types", joinScrambled(byClass["large"], gf_scrambleTypeCode));
    listSection(doc, "buzjet", "bzj", "types", joinScrambled(byClass["bizjet"], gf_scrambleTypeCode));
    listSection(doc, "rotorcraft", "rot", "types", joinScrambled(byClass["rotorcraft"], gf_scrambleTypeCode));
    listSection(doc, "cargo_types", "cargo_type", "types",
                joinScrambled(allWords(src / "cargo_types.txt"), gf_scrambleTypeCode));

    pugi::xml_node similar = doc.append_child("similar_types");
    for (const std::string& line : readSourceLines(src / "similar_types.txt"))
        similar.append_child("similar").append_attribute("types").set_value(
            joinScrambled(words(line), gf_scrambleTypeCode).c_str());

    // One element per airline, so that its callsign can stand beside the code.
    pugi::xml_node icao = doc.append_child("ICAO_airlines");
    for (const auto& [code, callsign] : airlines.callsigns) {
        pugi::xml_node a = icao.append_child("ICAO");
        a.append_attribute("codes").set_value(gf_scrambleAirline(code).c_str());
        if (!callsign.empty()) a.append_attribute("callsign").set_value(callsign.c_str());
    }
    listSection(doc, "cargo_operators", "ICAO", "codes",
                joinScrambled(allWords(src / "cargo_operators.txt"), gf_scrambleAirline));

    pugi::xml_node publishers = doc.append_child("publishers");
    for (const std::string& line : readSourceLines(src / "publishers.txt"))
        publishers.append_child("pub").append_attribute("names").set_value(line.c_str());

    pugi::xml_node spans = doc.append_child("wingspans");
    for (const auto& [code, entry] : types.types) {
        pugi::xml_node w = spans.append_child("wingspan");
        w.append_attribute("type").set_value(gf_scrambleTypeCode(code).c_str());
        w.append_attribute("meters").set_value(entry.span.c_str());
    }

    pugi::xml_node dbase = doc.append_child("dbase");
    for (const std::string& line : readSourceLines(src / "registrations.txt")) {
        const auto w = words(line);
        if (w.size() != 5) throw std::runtime_error("bad registration line: " + line);
        pugi::xml_node db = dbase.append_child("db");
        db.append_attribute("reg").set_value(gf_scrambleCode(w[0]).c_str());
        db.append_attribute("airl").set_value(gf_scrambleAirline(w[1]).c_str());
        db.append_attribute("type").set_value(gf_scrambleTypeCode(w[2]).c_str());
        db.append_attribute("opr").set_value(w[3] == "-" ? "" : gf_scrambleAirline(w[3]).c_str());
        db.append_attribute("cargo").set_value(w[4] == "yes" ? "true" : "false");
    }
    save(doc, input / "dbase.xml");
    std::cout << "liveries: dbase.xml holds " << all.size() << " types and " << airlines.callsigns.size()
              << " airlines; reference rows taken: " << types.referenceRows << " types, " << airlines.referenceRows
              << " airlines; skipped (missing or malformed fields, repeated codes): " << types.skipped << " types, "
              << airlines.skipped << " airlines\n";
}

void buildFixes(const fs::path& src, const fs::path& input) {
    pugi::xml_document doc;
    pugi::xml_node models = doc.append_child("fixes");
    pugi::xml_node pvt = doc.append_child("PVT_fixes");
    pugi::xml_node gov = doc.append_child("GOV_fixes");
    for (const std::string& line : readSourceLines(src / "fixes.txt")) {
        const auto w = words(line);
        if (w.size() == 3 && w[0] == "model") {
            pugi::xml_node fix = models.append_child("fix");
            fix.append_attribute("wrong").set_value(w[1].c_str());
            fix.append_attribute("correct").set_value(w[2].c_str());
        } else if (w.size() == 2 && (w[0] == "pvt" || w[0] == "gov")) {
            (w[0] == "pvt" ? pvt : gov).append_child("fix").append_attribute("wrong").set_value(w[1].c_str());
        } else {
            throw std::runtime_error("bad fixes line: " + line);
        }
    }
    save(doc, input / "fixes.xml");
}

void buildRegcodes(const fs::path& src, const fs::path& input) {
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("AIG-regcodes");
    for (const std::string& line : readSourceLines(src / "aig_regcodes.txt")) {
        const auto pieces = splitAt(line, ';');
        if (pieces.size() != 3) throw std::runtime_error("bad AIG line: " + line);
        pugi::xml_node livery = root.append_child("livery");
        livery.append_attribute("title").set_value(trimmed(pieces[0]).c_str());
        std::string regs;
        for (const std::string& reg : splitAt(pieces[1], ',')) {
            if (trimmed(reg).empty()) continue;
            if (!regs.empty()) regs += ", ";
            regs += gf_scrambleCode(trimmed(reg));
        }
        if (!regs.empty()) livery.append_attribute("reg").set_value(regs.c_str());
        if (trimmed(pieces[2]) == "special") livery.append_attribute("special").set_value("true");
    }
    save(doc, input / "AIG-regcodes.xml");

    fs::create_directories(input / "my_regcodes");
    std::ofstream user(input / "my_regcodes" / "my_regcodes.TXT", std::ios::trunc | std::ios::binary);
    for (const std::string& line : readSourceLines(src / "my_regcodes.txt")) user << line << "\r\n";
    if (!user) throw std::runtime_error("cannot write the sample my_regcodes list");
}

struct SampleLivery {
    std::string title, airline, atcId, parking;
};
struct SampleAircraft {
    std::string folder, type, base;
    std::vector<SampleLivery> liveries;
};

void writeAircraftCfg(const fs::path& file, const SampleAircraft& a) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::trunc | std::ios::binary);
    out << "[VERSION]\nmajor = 1\nminor = 0\n\n";
    if (!a.base.empty()) out << "[VARIATION]\nbase_container = \"..\\" << a.base << "\"\n\n";
    out << "[GENERAL]\n";
    if (!a.type.empty()) out << "icao_type_designator = \"" << a.type << "\"\n";
    out << "icao_manufacturer = \"Varnel\"\n\n";
    for (std::size_t n = 0; n < a.liveries.size(); ++n) {
        const SampleLivery& l = a.liveries[n];
        out << "[FLTSIM." << n << "]\n";
        out << "title = \"" << l.title << "\" ; sample livery\n";
        out << "model = \"\"\ntexture = \"" << n << "\"\n";
        if (l.atcId != "-") out << "atc_id = \"" << l.atcId << "\"\n";
        if (l.airline != "-") out << "icao_airline = \"" << l.airline << "\"\n";
        if (l.parking != "-") out << "atc_parking_types = \"" << l.parking << "\"\n";
        out << "ui_variation = \"" << l.title << "\"\n\n";
    }
    if (!out) throw std::runtime_error("cannot write " + file.string());
}

int buildPackages(const fs::path& src, const fs::path& packages) {
    fs::path package;
    std::vector<std::pair<fs::path, SampleAircraft>> aircraft;
    for (const std::string& line : readSourceLines(src / "sample_packages.txt")) {
        const std::string::size_type blank = line.find(' ');
        const std::string kind = line.substr(0, blank);
        const std::string rest = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (kind == "package") {
            package = packages / rest;
        } else if (kind == "aircraft") {
            const auto w = words(rest);
            if (w.size() != 2 || package.empty()) throw std::runtime_error("bad aircraft line: " + line);
            SampleAircraft a{w[0], {}, {}, {}};
            if (w[1].rfind("type=", 0) == 0) a.type = w[1].substr(5);
            else if (w[1].rfind("base=", 0) == 0) a.base = w[1].substr(5);
            else throw std::runtime_error("bad aircraft line: " + line);
            aircraft.emplace_back(package / "SimObjects" / "Airplanes" / a.folder / "aircraft.cfg", a);
        } else if (kind == "livery") {
            const auto p = splitAt(rest, '|');
            if (p.size() != 4 || aircraft.empty()) throw std::runtime_error("bad livery line: " + line);
            aircraft.back().second.liveries.push_back({p[0], p[1], p[2], p[3]});
        } else {
            throw std::runtime_error("bad package line: " + line);
        }
    }
    for (const auto& [file, a] : aircraft) writeAircraftCfg(file, a);
    return static_cast<int>(aircraft.size());
}

}  // namespace

int buildLiveryData(const BuildOptions& options) {
    const fs::path src = options.sourceFolder / "liveries";
    const fs::path input = options.programFolder / "input";
    buildDbase(src, input);
    buildFixes(src, input);
    buildRegcodes(src, input);
    const int files = buildPackages(src, options.packagesFolder);
    std::cout << "liveries: dbase.xml, fixes.xml, AIG-regcodes.xml, my_regcodes and " << files
              << " sample aircraft.cfg files written\n";
    return 0;
}

}  // namespace vrn::data
