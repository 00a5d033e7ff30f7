#include "liveries/regcodes.h"

#include <algorithm>
#include <set>
#include <system_error>

#include <pugixml.hpp>

#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "liveries/aircraft_cfg_lines.h"
#include "liveries/code_scrambling.h"
#include "liveries/livery_data.h"
#include "liveries/livery_index.h"
#include "records/size_class.h"

namespace vrn {
namespace {

std::vector<std::string> g_offlineReport;

std::string lf_plural(std::size_t n) { return n == 1 ? std::string() : g_pluralS; }

std::string lf_key(const LiveryData& d) { return format("{:3} {:4}", d.airline, d.model); }

struct RegcodeFile {
    std::string path;
    int added = 0;
    int replaced = 0;
    int special = 0;
};

std::string lf_summary(const RegcodeFile& f) {
    std::string line = format("{}: {} new regcode{} added", f.path, f.added, lf_plural(static_cast<std::size_t>(f.added)));
    if (f.replaced) line += format(", {} regcode{} replaced", f.replaced, lf_plural(static_cast<std::size_t>(f.replaced)));
    if (f.special)
        line += format(", {} regcode{} defined as special", f.special, lf_plural(static_cast<std::size_t>(f.special)));
    return line;
}

void lf_addInlineRegcode(std::vector<std::string>& clashes, LiveryData& livery) {
    if (livery.atcId.empty()) return;
    const std::optional<std::string_view> title = gf_findIndexedTitle(livery.title);
    if (!title) {
        gf_logArrowLine(format("sys error: livery \"{}\" for a [{}] with regcode {} not available", livery.title,
                               lf_key(livery), livery.atcId));
        return;
    }
    auto [it, inserted] = g_regcodeLiveries.try_emplace(livery.atcId, *title);
    if (inserted || it->second == *title) return;
    clashes.push_back(
        format("[{}] {} \"{}\" => in use by \"{}\"", lf_key(livery), livery.atcId, livery.title, it->second));
    livery.atcId.clear();
}

void lf_checkInlineRegcodes() {
    std::vector<std::string> clashes;
    for (LiveryData& livery : g_liveries) lf_addInlineRegcode(clashes, livery);
    if (clashes.empty()) return;
    std::filesystem::create_directories(std::filesystem::path(kInlineRegcodesPath).parent_path());
    if (!gf_writeLinesFile(clashes, kInlineRegcodesPath))
        gf_logArrowLine(format("{} could not be written", kInlineRegcodesPath));
    gf_logArrowLine(format("{} in-line regcode clashes, see \"{}\"", clashes.size(), kInlineRegcodesPath));
}

// One registration of a list: `written` as in the file, `key` the plain registration.
void lf_addRegcode(RegcodeFile& file, const std::string& written, const std::string& key, std::string_view title,
                   bool special, const std::string& where) {
    if (written.empty() || written.size() > 12) {
        g_offlineReport.push_back(format("{}wrong regcode length \"{}\" in {}", g_arrow, written, where));
        return;
    }
    auto [it, inserted] = g_regcodeLiveries.try_emplace(key, title);
    if (!inserted && it->second != title) {
        g_offlineReport.push_back(format("   regcode {} for \"{}\", instead of for \"{}\"", key, title, it->second));
        it->second = title;
        ++file.replaced;
    } else {
        ++file.added;
    }
    if (special) {
        gf_addSpecialLivery(title);
        ++file.special;
    }
}

void lf_readAigRegcodes() {
    RegcodeFile file{kAigRegcodesPath};
    g_offlineReport.push_back(std::string("Processing ") + kAigRegcodesPath);
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, kAigRegcodesPath)) {
        g_offlineReport.push_back(format("{} Failed to load regcode file {}", g_arrow, kAigRegcodesPath));
        return;
    }
    try {
        for (pugi::xml_node livery : doc.child("AIG-regcodes").children("livery")) {
            const std::optional<std::string_view> title = gf_findIndexedTitle(livery.attribute("title").value());
            if (!title) continue;
            const std::vector<std::string> regs = gf_splitAtComma(livery.attribute("reg").value());
            const char s = livery.attribute("special").value()[0];
            const bool special = s == '1' || s == 't' || s == 'T' || s == 'y' || s == 'Y';
            for (const std::string& reg : regs)
                lf_addRegcode(file, reg, gf_unscrambleText(reg), *title, special, std::string(*title));
        }
    } catch (const std::exception& e) {
        g_offlineReport.push_back(
            format("{} Error in reading regcode file {}, what: {}", g_arrow, kAigRegcodesPath, e.what()));
        return;
    }
    g_offlineReport.push_back(lf_summary(file));
}

void lf_parseRegcodeLine(RegcodeFile& file, const std::string& line) {
    if (line.empty()) return;
    const std::vector<std::string> pieces = gf_splitAtSemicolon(line);
    if (pieces.size() >= 4) {
        g_offlineReport.push_back(format("{}{} wrong format: {}", g_arrow, file.path, line));
        gf_logArrowLine(format("{} wrong format: {}", file.path, line));
        return;
    }
    if (pieces.size() < 2) return;
    const std::optional<std::string_view> title = gf_findIndexedTitle(pieces[0]);
    if (!title) return;
    const std::vector<std::string> regs = gf_splitAtComma(pieces[1]);
    if (regs.empty()) return;
    bool special = regs.size() == 1;
    if (pieces.size() == 3) {
        if (pieces[2] != "#") return;
        special = true;
    }
    for (const std::string& reg : regs) lf_addRegcode(file, reg, reg, *title, special, file.path);
}

void lf_readMyRegcodes() {
    g_offlineReport.push_back(std::string("Processing files in ") + kMyRegcodesFolder);
    for (const std::filesystem::path& path : gf_myRegcodeFiles()) {
        RegcodeFile file{gf_utf8Of(path)};
        try {
            TextFile text{path, {}};
            const std::vector<std::string>* lines = text.readLines(256);
            if (!lines) continue;
            for (const std::string& line : *lines) lf_parseRegcodeLine(file, line);
        } catch (const std::exception& e) {
            g_offlineReport.push_back(format("{} Error in reading regcode file {}, what: {}", g_arrow, file.path, e.what()));
            continue;
        }
        g_offlineReport.push_back(lf_summary(file));
    }
}

void lf_processOfflineRegcodes() {
    g_offlineReport.clear();
    std::error_code ec;
    if (std::filesystem::exists(kAigRegcodesPath, ec)) lf_readAigRegcodes();
    if (gf_countFiles(kMyRegcodesFolder) > 0) lf_readMyRegcodes();
    std::filesystem::remove(kOfflineRegcodesPath);
    if (g_offlineReport.empty()) return;
    std::filesystem::create_directories(std::filesystem::path(kOfflineRegcodesPath).parent_path());
    if (gf_writeLinesFile(g_offlineReport, kOfflineRegcodesPath))
        gf_logLine(format("Offline regcode files processed, results can be found in \"{}\"", kOfflineRegcodesPath));
    else
        gf_logArrowLine(format("{} could not be written", kOfflineRegcodesPath));
    if (!g_specialLiveries.empty()) gf_logLine(format("{} special liveries", g_specialLiveries.size()));
}

void lf_readDontUseLine(const std::string& path, std::set<std::string>& seen, std::size_t& appended,
                        const std::string& line) {
    if (line.empty()) return;
    const std::vector<std::string> pieces = gf_splitAtSemicolon(line);
    if (pieces.empty()) return;
    if (pieces.size() == 1) {
        const std::string& title = pieces[0];
        if (title.size() < 9) return;
        if (!seen.insert(title).second) {
            gf_logArrowLine(format("don't use title \"{}\" not unique in file {}", title, path));
            return;
        }
        g_dontUseTitles.insert(title);
        ++appended;
        return;
    }
    if (!seen.insert(pieces[0]).second) gf_logArrowLine(format("title \"{}\" not unique in file {}", pieces[0], path));
}

}  // namespace

std::vector<std::filesystem::path> gf_myRegcodeFiles() {
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(kMyRegcodesFolder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code sec;
        if (it->is_regular_file(sec) && gf_upperAscii(gf_utf8Of(it->path().extension())) == ".TXT") files.push_back(it->path());
    }
    // The folder's order on a case-blind system: by name.
    std::sort(files.begin(), files.end(),
              [](const auto& a, const auto& b) { return gf_upperAscii(gf_utf8Of(a.filename())) < gf_upperAscii(gf_utf8Of(b.filename())); });
    return files;
}

void gf_processScannedLiveries() {
    gf_logLine("\nProcessing scanned liveries");
    g_mainWindow.g_liveryCount.store(static_cast<std::int64_t>(g_liveries.size()));
    gf_invalidateBand(Band::Counters);
    gf_buildAirlineModels();
    gf_buildAirlineLiveries();
    lf_checkInlineRegcodes();
    lf_processOfflineRegcodes();
    gf_logLine(format("{} registration codes", g_regcodeLiveries.size()));
    gf_buildModelLiveries();
    gf_logLine(format("{} airlines, {} pax aircraft models and {} cargo aircraft models", g_airlineModels.size(),
                      g_modelLiveries[0].size(), g_modelLiveries[1].size()));
    gf_buildSimilarTypes();
    gf_countGenericLiveries();
    gf_clearReplacementModels();
    for (unsigned c = 0; c < kSizeClassCount; ++c) gf_checkCategory(c);
}

void gf_readDontUseTitlesAig() {
    pugi::xml_document doc;
    if (!gf_loadXmlFile(doc, kAigRegcodesPath)) {
        gf_logArrowLine(format("Failed to load regcode file {}", kAigRegcodesPath));
        return;
    }
    std::set<std::string> seen;
    std::size_t appended = 0;
    for (pugi::xml_node livery : doc.child("AIG-regcodes").children("livery")) {
        const std::string title = livery.attribute("title").value();
        if (title.empty() || livery.attribute("reg").value()[0] != '\0') continue;
        if (!seen.insert(title).second) {
            gf_logArrowLine(format("don't use title \"{}\" not unique in file {}", title, kAigRegcodesPath));
            continue;
        }
        g_dontUseTitles.insert(title);
        ++appended;
    }
    gf_logLine(format("{} don't use title{} read from files in {}", appended, lf_plural(appended), kAigRegcodesPath));
}

void gf_readDontUseTitlesTxt() {
    std::size_t appended = 0;
    for (const std::filesystem::path& path : gf_myRegcodeFiles()) {
        std::set<std::string> seen;
        try {
            TextFile text{path, {}};
            const std::vector<std::string>* lines = text.readLines(256);
            if (!lines) continue;
            for (const std::string& line : *lines) lf_readDontUseLine(gf_utf8Of(path), seen, appended, line);
        } catch (const std::exception& e) {
            gf_logArrowLine(format("Error in reading regcode file {}, what: {}", gf_utf8Of(path), e.what()));
        }
    }
    gf_logLine(format("{} don't use title{} read from files in {}", appended, lf_plural(appended), kMyRegcodesFolder));
}

}  // namespace vrn
