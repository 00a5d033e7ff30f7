// Builds the livery side of the data set from the plain sources in data/liveries: the scrambled type
// database, the fixes, the AIG registration list, a sample user list and the sample aircraft packages.
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "builders.h"
#include "liveries/code_scrambling.h"

namespace vrn::data {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> readSourceLines(const fs::path& file) {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read " + file.string());
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    std::string w;
    while (in >> w) out.push_back(w);
    return out;
}

std::vector<std::string> splitAt(const std::string& text, char sep) {
    std::vector<std::string> out;
    std::string piece;
    std::istringstream in(text);
    while (std::getline(in, piece, sep)) out.push_back(piece);
    if (!text.empty() && text.back() == sep) out.emplace_back();
    return out;
}

std::string trimmed(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

std::string joinScrambled(const std::vector<std::string>& codes, std::string (*scramble)(const std::string&)) {
    std::string out;
    for (const std::string& c : codes) {
        if (!out.empty()) out += ',';
        out += scramble(c);
    }
    return out;
}

void save(const pugi::xml_document& doc, const fs::path& file) {
    fs::create_directories(file.parent_path());
    if (!doc.save_file(file.c_str(), "  ")) throw std::runtime_error("cannot write " + file.string());
}

void listSection(pugi::xml_document& doc, const char* section, const char* element, const char* attribute,
                 const std::string& value) {
    doc.append_child(section).append_child(element).append_attribute(attribute).set_value(value.c_str());
}

struct TypeFacts {
    std::vector<std::string> all;
    std::map<std::string, std::vector<std::string>> byClass;
    std::vector<std::pair<std::string, std::string>> spans;
};

TypeFacts readTypes(const fs::path& src) {
    static const std::set<std::string> classes = {"light", "bizjet", "large", "heavy", "highperf", "rotorcraft"};
    TypeFacts facts;
    for (const std::string& line : readSourceLines(src / "types.txt")) {
        const auto w = words(line);
        if (w.size() != 3 || !classes.count(w[1])) throw std::runtime_error("bad type line: " + line);
        facts.all.push_back(w[0]);
        facts.byClass[w[1]].push_back(w[0]);
        if (w[2] != "0") facts.spans.emplace_back(w[0], w[2]);
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
    pugi::xml_document doc;
    listSection(doc, "aircrafts", "aircraft", "types", joinScrambled(types.all, gf_scrambleTypeCode));
    listSection(doc, "high_performance", "hpf", "types", joinScrambled(types.byClass.at("highperf"), gf_scrambleTypeCode));
    listSection(doc, "heavy", "hvy", "types", joinScrambled(types.byClass.at("heavy"), gf_scrambleTypeCode));
    listSection(doc, "large", "lar", "types", joinScrambled(types.byClass.at("large"), gf_scrambleTypeCode));
    listSection(doc, "buzjet", "bzj", "types", joinScrambled(types.byClass.at("bizjet"), gf_scrambleTypeCode));
    listSection(doc, "rotorcraft", "rot", "types", joinScrambled(types.byClass.at("rotorcraft"), gf_scrambleTypeCode));
    listSection(doc, "cargo_types", "cargo_type", "types",
                joinScrambled(allWords(src / "cargo_types.txt"), gf_scrambleTypeCode));

    pugi::xml_node similar = doc.append_child("similar_types");
    for (const std::string& line : readSourceLines(src / "similar_types.txt"))
        similar.append_child("similar").append_attribute("types").set_value(
            joinScrambled(words(line), gf_scrambleTypeCode).c_str());

    std::set<std::string> airlines;
    for (const std::string& w : allWords(src / "airlines.txt")) airlines.insert(w);
    listSection(doc, "ICAO_airlines", "ICAO", "codes",
                joinScrambled({airlines.begin(), airlines.end()}, gf_scrambleAirline));
    listSection(doc, "cargo_operators", "ICAO", "codes",
                joinScrambled(allWords(src / "cargo_operators.txt"), gf_scrambleAirline));

    pugi::xml_node publishers = doc.append_child("publishers");
    for (const std::string& line : readSourceLines(src / "publishers.txt"))
        publishers.append_child("pub").append_attribute("names").set_value(line.c_str());

    pugi::xml_node spans = doc.append_child("wingspans");
    for (const auto& [type, metres] : types.spans) {
        pugi::xml_node w = spans.append_child("wingspan");
        w.append_attribute("type").set_value(gf_scrambleTypeCode(type).c_str());
        w.append_attribute("meters").set_value(metres.c_str());
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
    std::ofstream user(input / "my_regcodes" / "my_regcodes.TXT", std::ios::trunc);
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
    std::ofstream out(file, std::ios::trunc);
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
