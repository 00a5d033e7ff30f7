#include "liveries/livery_search.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>
#include <system_error>

#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "liveries/aircraft_cfg_lines.h"
#include "liveries/fixes_file.h"
#include "liveries/type_database.h"
#include "liveries/type_queries.h"
#include "settings/settings_catalogue.h"

namespace vrn {
namespace {

bool lf_isManufacturerCode(const std::string& code) {
    return code == "BOE" || code == "AIB" || code == "EMB" || code == "BBA" || code == "AED";
}

bool lf_endsWith(const std::string& text, std::string_view tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Valid models stay, known wrong ones are fixed (reported), the rest is reported and gives "".
std::string lf_fixModel(const std::string& code, const std::string& path) {
    if (g_validModels.count(code)) return code;
    auto fix = g_modelFixes.find(code);
    if (fix != g_modelFixes.end()) {
        gf_addFixReport(code, path, fix->second);
        return fix->second;
    }
    gf_addInvalidModelReport(code, path);
    return {};
}

std::string lf_fixModelFromBaseContainer(const std::string& path, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::string model = gf_modelFromBaseContainer(line);
        if (!model.empty()) return lf_fixModel(model, path);
    }
    if (path.find("pmdg-aircraft-7") == std::string::npos && path.find("fnx-aircraft-3") == std::string::npos)
        gf_addInvalidCfgReport("Line icao_type_designator= is missing in [General] section of " + path);
    return {};
}

// What one line does to a key of a section that may be given once.
enum class KeyStep { Other, Read, Repeated };

// atc_parking_types: the first line gives them (list items trimmed, upper case); a later one repeats the key.
KeyStep lf_parkingTypesStep(const std::string& line, std::string& parkingTypes) {
    if (!parkingTypes.empty()) return gf_hasParkingTypesKey(line) ? KeyStep::Repeated : KeyStep::Other;
    if (!gf_readParkingTypes(line, parkingTypes)) return KeyStep::Other;
    gf_trimListItems(parkingTypes);
    parkingTypes = gf_upperAscii(std::move(parkingTypes));
    return KeyStep::Read;
}

void lf_reportRepeatedKey(const std::string& folder, const std::string& header, const char* key) {
    gf_addIncompleteSectionReport(format("{} {} has more than one {} key", folder, header, key));
}

void lf_dropTrailingLines(std::vector<std::string>& lines) {
    while (!lines.empty() && (lines.back().empty() || gf_isCommentLine(lines.back()))) lines.pop_back();
}

struct LiveryContext {
    std::uint32_t folderNumber;
    const std::string& path;
    const std::string& folder;
    std::string registration;
    const std::string& model;
    const std::string& parkingTypes;
    const std::string& title;
    std::list<LiveryData>& liveries;
    bool checkTitle;
    const std::string& header;
};

LiveryData lf_makeLivery(std::uint32_t folderNumber, const std::string& airline, const std::string& model, bool cargo,
                         const std::string& title, const std::string& registration, bool checkTitle) {
    if (checkTitle && !gf_insertSeenTitle(title)) return LiveryData{};
    return LiveryData{airline, model, title, registration, folderNumber, cargo};
}

void lf_finishLivery(LiveryContext& ctx, std::string code) {
    if (g_pvtFixes.count(code) || g_govFixes.count(code)) {
        gf_addFixReport(code, ctx.path, "PVT");
        code = "PVT";
    }
    if (code.size() == 4 && (code[3] == 'X' || code[3] == 'C')) code.resize(3);
    if (code.empty() || !g_icaoAirlines.count(code)) {
        gf_addInvalidAirlineReport(code, ctx.path, ctx.header);
        return;
    }
    const std::string registration = code == "ZZZ" ? std::string() : ctx.registration;
    const bool cargo = ctx.parkingTypes.find("CARGO") != std::string::npos &&
                       ctx.parkingTypes.find("GATE") == std::string::npos;
    LiveryData livery =
        lf_makeLivery(ctx.folderNumber, code, ctx.model, cargo, ctx.title, registration, ctx.checkTitle);
    if (livery.airline.empty()) {
        gf_addIncompleteSectionReport(format("{} {} title \"{}\" already exists", ctx.folder, ctx.header, ctx.title));
        return;
    }
    ctx.liveries.push_back(std::move(livery));
    ctx.checkTitle = false;
}

// The atc_id value of a section: one registration of at most 12 characters, or none.
std::string lf_applyRegistrationRules(std::string registration, const std::string& title) {
    const std::size_t semicolon = registration.find(';');
    if (semicolon != std::string::npos) registration.resize(semicolon);
    const std::vector<std::string> pieces = gf_splitAtComma(registration);
    if (pieces.empty()) {
        gf_logLine(format("invalid atc_id={} ==> in: {}", registration, title));
        return {};
    }
    for (const std::string& piece : pieces) {
        if (piece.empty()) {
            gf_logLine(format("empty regcode in {} {}", title, registration));
            return {};
        }
        if (piece.size() > 12) {
            gf_logLine(format("regcode: {}, has more than 12 chars or contains UTF16 chars in \"{}\"?", piece, title));
            return {};
        }
        if (piece.find('*') != std::string::npos) {
            gf_logArrowLine(format("{} {} wild cards no longer supported, atc_id skipped ", title, piece));
            return {};
        }
    }
    return pieces.size() == 1 ? pieces.front() : std::string();
}

// Section collector of one file.
struct SectionCollector {
    bool inSection = false;
    std::vector<std::string> lines;
};

// An exception while a section is read ends the whole file; it is logged here with the file.
template <typename Fn>
void lf_closeSection(SectionCollector& c, const std::string& path, Fn&& process) {
    if (c.inSection && !c.lines.empty()) {
        try {
            process(std::move(c.lines));
        } catch (const std::exception& e) {
            gf_logLine(format("exception in lf_procesFltSimSection: {}, file: {}", e.what(), path));
            throw;
        }
    }
    c.lines.clear();
}

template <typename Fn>
void lf_collectLine(SectionCollector& c, const std::string& line, const std::string& path, bool anyBracketEnds,
                    Fn&& process) {
    if (!gf_fltsimNumber(line).empty()) {
        lf_closeSection(c, path, process);
        c.inSection = true;
        c.lines.push_back(line);
        return;
    }
    // Any other section starts here, a commented-out header among them.
    const std::size_t bracket = line.find('[');
    if (bracket != std::string::npos && (anyBracketEnds || bracket < 6)) {
        lf_closeSection(c, path, process);
        c.inSection = false;
        return;
    }
    if (c.inSection) c.lines.push_back(line);
}

bool lf_readLines(const std::string& path, std::vector<std::string>& lines, bool logUnknownEncoding) {
    const std::filesystem::path file = gf_pathFromUtf8(path);
    const int encoding = gf_detectTextEncoding(file);
    if (encoding == ENCODING_NONE_FOUND) {
        if (logUnknownEncoding) gf_logArrowLine(format("no character set found for {}", path));
        return false;
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (!ec) lines.reserve(static_cast<std::size_t>(size / 32 + 16));
    return gf_readWideTextFile(encoding, file, lines);
}

bool lf_existsFolderCaseBlind(const std::filesystem::path& folder) {
    std::error_code ec;
    if (std::filesystem::is_directory(folder, ec)) return true;
    // Package folders come from a case-blind file system; look for the name in any case.
    const std::string wanted = gf_upperAscii(gf_utf8Of(folder.filename()));
    for (std::filesystem::directory_iterator it(folder.parent_path(), ec), end; !ec && it != end; it.increment(ec)) {
        if (gf_upperAscii(gf_utf8Of(it->path().filename())) == wanted && it->is_directory(ec)) return true;
    }
    return false;
}

// "<model>[W]\s*(\w\w\w).*" against the whole title, case-blind: the airline code.
bool lf_airlineFromIvaoTitle(const std::string& title, const std::string& model, bool winglets, std::string& airline) {
    const std::string prefix = model + (winglets ? "W" : "");
    if (title.size() < prefix.size() || gf_upperAscii(title.substr(0, prefix.size())) != gf_upperAscii(prefix)) return false;
    std::size_t i = prefix.size();
    while (i < title.size() && (title[i] == ' ' || title[i] == '\t' || title[i] == '\v' || title[i] == '\f')) ++i;
    if (title.size() - i < 3) return false;
    for (std::size_t k = i; k < i + 3; ++k) {
        const unsigned char c = static_cast<unsigned char>(title[k]);
        if (!(std::isalnum(c) || c == '_')) return false;
    }
    if (title.find_first_of("\r\n", i + 3) != std::string::npos) return false;
    airline = title.substr(i, 3);
    return true;
}

LiveryData lf_procesIvaoFltSimSection(std::uint32_t folderNumber, std::vector<std::string> lines,
                                      const std::string& model, const std::string& folder) {
    static const char* const kWingletFolders[] = {"IVAO_B738WLfa", "IVAO_B739WLfa", "IVAO_A320wCFM", "IVAO_A320wIAE",
                                                  "IVAO_A319fIAEw"};
    const bool winglets = std::any_of(std::begin(kWingletFolders), std::end(kWingletFolders),
                                      [&](const char* w) { return folder.find(w) != std::string::npos; });
    lf_dropTrailingLines(lines);
    const std::string header = lines.empty() ? std::string() : lines.front();
    std::string title, texture, parkingTypes, registration;
    bool haveTexture = false;
    for (const std::string& line : lines) {
        if (gf_isCommentLine(line)) continue;
        if (title.empty()) {
            if (gf_readTitle(line, title)) continue;
        } else if (!gf_matchKeyValue(line, "title").empty()) {
            lf_reportRepeatedKey(folder, header, "title");
            return {};
        }
        if (!haveTexture && gf_readTexture(line, texture)) {
            haveTexture = true;
            continue;
        }
        const KeyStep parking = lf_parkingTypesStep(line, parkingTypes);
        if (parking == KeyStep::Read) continue;
        if (parking == KeyStep::Repeated) {
            lf_reportRepeatedKey(folder, header, "atc_parking_types");
            return {};
        }
        if (!registration.empty() && gf_hasAtcIdKey(line)) {
            gf_addIncompleteSectionReport(format("{}, {}, has more than one atc_id key", folder, header));
            return {};
        }
        if (registration.empty() && gf_readAtcId(line, registration)) {
            const std::vector<std::string> pieces = gf_splitAtComma(registration);
            std::string accepted;
            for (const std::string& piece : pieces) {
                if (piece.empty()) {
                    gf_logLine(format(" empty regcode in: {}", registration));
                } else if (piece.size() > 12) {
                    gf_logLine(format("regcode: {}, has more than 12 chars in title: {}", piece, title));
                } else if (piece.find('*') != std::string::npos) {
                    gf_logArrowLine(format("{} {} wild cards no longer supported, atc_id skipped ", title, piece));
                } else if (piece != "G-BAFM") {
                    accepted = piece;
                    continue;
                }
                accepted.clear();
                break;
            }
            registration = pieces.size() == 1 ? accepted : std::string();
        }
    }
    const std::string trimmed = gf_trim(title);
    if (trimmed != title) gf_logLine(format("removed spaces around title \"{}\" --> \"{}\"", title, trimmed));
    title = trimmed;

    const std::filesystem::path textureFolder = gf_pathFromUtf8(folder) / gf_pathFromUtf8("texture." + texture);
    if (!lf_existsFolderCaseBlind(textureFolder)) {
        gf_addIncompleteSectionReport(gf_utf8Of(textureFolder) + " does not exist");
        return {};
    }
    if (title.empty()) {
        gf_addIncompleteSectionReport(folder + " " + header + " misses title");
        return {};
    }
    if (g_dontUseTitles.count(title)) return {};
    std::string airline;
    if (!lf_airlineFromIvaoTitle(title, model, winglets, airline)) {
        gf_addIncompleteSectionReport(folder + " " + header + " misses airlinecode in title");
        return {};
    }
    if (lf_isManufacturerCode(airline)) airline = "ZZZ";
    if (!gf_isIcaoAirline(airline)) {
        gf_addInvalidAirlineReport(airline, folder, header);
        return {};
    }
    if (airline == "ZZZ") registration.clear();
    LiveryData livery = lf_makeLivery(folderNumber, airline, model, false, title, registration, true);
    if (livery.airline.empty())
        gf_addIncompleteSectionReport(folder + " " + header + " title already exists: " + title);
    return livery;
}

}  // namespace

std::string gf_aircraftFolderOf(const std::string& path) {
    const std::size_t sep = path.find_last_of("\\/");
    return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

bool gf_isIvaoPath(const std::string& path) {
    return path.find("ivao_x-csl") != std::string::npos || path.find("IVAO_MTL") != std::string::npos;
}

std::string gf_fixModelFromTypeDesignator(const std::string& path, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::string designator = gf_readTypeDesignator(line);
        if (!designator.empty()) return lf_fixModel(designator, path);
    }
    return lf_fixModelFromBaseContainer(path, lines);
}

std::string gf_fixIvaoModel(const std::string& path) {
    static const std::regex mtl(R"(.+[\\/]IVAO_MTL[\\/]SimObjects[\\/]Airplanes[\\/]IVAO_(\w+)[\\/]aircraft\.cfg$)",
                                std::regex::ECMAScript | std::regex::icase);
    static const std::regex csl(R"(.+[\\/]ivao_x-csl[\\/]SimObjects[\\/]Airplanes[\\/]IVAO_(\w+)[\\/]aircraft\.cfg$)",
                                std::regex::ECMAScript | std::regex::icase);
    std::smatch m;
    if (!std::regex_match(path, m, mtl) && !std::regex_match(path, m, csl)) return {};
    return lf_fixModel(m[1].str().substr(0, 4), path);
}

std::list<LiveryData> gf_procesFltSimSection(std::uint32_t folderNumber, std::vector<std::string> lines,
                                             const std::string& model, const std::string& path,
                                             const std::string& aircraftFolder) {
    std::list<LiveryData> liveries;
    lf_dropTrailingLines(lines);
    if (lines.empty()) return liveries;
    const std::string& header = lines.front();
    const std::string& folder = aircraftFolder;
    std::string title, airline, parkingTypes, registration;

    for (const std::string& line : lines) {
        // A commented-out key is no second key.
        if (gf_isCommentLine(line)) continue;
        if (title.empty()) {
            if (gf_readTitle(line, title)) {
                title = gf_trim(title);
                if (title.find("FenixA320") != std::string::npos || title.find("PMDG 737") != std::string::npos ||
                    (SUPPRESS_STUB.get() && lf_endsWith(title, "-STUB")))
                    return {};
                continue;
            }
        } else if (!gf_matchKeyValue(line, "title").empty()) {
            lf_reportRepeatedKey(folder, header, "title");
            return {};
        }
        if (airline.empty()) {
            if (gf_readIcaoAirline(line, airline)) {
                gf_trimListItems(airline);
                if (lf_isManufacturerCode(airline)) airline = "ZZZ";
                continue;
            }
        } else if (line.find("icao_airline") != std::string::npos) {
            lf_reportRepeatedKey(folder, header, "icao_airline");
            return {};
        }
        const KeyStep parking = lf_parkingTypesStep(line, parkingTypes);
        if (parking == KeyStep::Read) continue;
        if (parking == KeyStep::Repeated) {
            lf_reportRepeatedKey(folder, header, "atc_parking_types");
            return {};
        }
        if (!registration.empty()) {
            if (gf_hasAtcIdKey(line)) {
                gf_addIncompleteSectionReport(format("{}, {}, has more than one atc_id key", folder, header));
                return {};
            }
        } else if (gf_readAtcId(line, registration)) {
            registration = lf_applyRegistrationRules(registration, title);
        }
    }

    // Without an airline only airliners are incomplete; every other class flies private.
    if (airline.empty()) {
        const unsigned c = gf_sizeClass(model);
        if (c != SIZE_LARGE && c != SIZE_HEAVY) airline = "PVT";
    }
    if (title.empty()) {
        gf_addIncompleteSectionReport(format("{} {} misses title", folder, header));
        return {};
    }
    if (g_dontUseTitles.count(title)) return {};
    if (airline.empty()) {
        gf_addIncompleteSectionReport(format("{} {} empty ", folder, header) + "icao_airline=");
        return {};
    }
    std::vector<std::string> codes = gf_splitAtComma(airline);
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    LiveryContext ctx{folderNumber, path, folder, registration, model, parkingTypes, title, liveries, true, header};
    for (std::string& code : codes) lf_finishLivery(ctx, std::move(code));
    return liveries;
}

std::list<LiveryData> gf_searchLiveriesinFile(std::uint32_t folderNumber, const std::string& path) {
    try {
        std::list<LiveryData> result;
        const std::string folder = gf_aircraftFolderOf(path);
        std::vector<std::string> lines;
        if (!lf_readLines(path, lines, false)) return result;
        if (!gf_checkFltsimNumbers(lines, path)) return result;
        const std::string model = gf_fixModelFromTypeDesignator(path, lines);
        if (model.empty()) return result;
        SectionCollector collector;
        auto process = [&](std::vector<std::string>&& section) {
            result.splice(result.end(), gf_procesFltSimSection(folderNumber, std::move(section), model, path, folder));
        };
        for (const std::string& line : lines) lf_collectLine(collector, line, path, false, process);
        lf_closeSection(collector, path, process);
        return result;
    } catch (const std::exception& e) {
        gf_logLine(format("exception in lf_searchLiveriesinFile {}: {}", path, e.what()));
        throw;
    }
}

std::list<LiveryData> gf_searchLiveriesinIvaoFile(std::uint32_t folderNumber, const std::string& path) {
    std::list<LiveryData> result;
    const std::string model = gf_fixIvaoModel(path);
    if (model.empty()) return result;
    const std::string folder = gf_aircraftFolderOf(path);
    std::vector<std::string> lines;
    if (!lf_readLines(path, lines, true)) return result;
    if (!gf_checkFltsimNumbers(lines, path)) return result;
    SectionCollector collector;
    auto process = [&](std::vector<std::string>&& section) {
        LiveryData livery = lf_procesIvaoFltSimSection(folderNumber, std::move(section), model, folder);
        if (!livery.airline.empty()) result.push_back(std::move(livery));
    };
    for (const std::string& line : lines) lf_collectLine(collector, line, path, true, process);
    lf_closeSection(collector, path, process);
    return result;
}

}  // namespace vrn
