// Folders of the airport files, the lookup of an airport's file, learned-file paths and the
// quality factors of a stand list.
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <fstream>

#include "airports/airport_files.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace fs = std::filesystem;

const fs::path g_airportsFolder = "airports";
const fs::path g_archiveStockFolder = fs::path("airports") / "archive" / "stock";
const fs::path g_mySimaddonFolder = fs::path("airports") / "my_simaddon";
const fs::path g_mySimaddon2024Folder = fs::path("airports") / "my_simaddon2024";
const fs::path g_myThirdpartyFolder = fs::path("airports") / "my_thirdparty";
const fs::path g_toBeLearnedOfflineFolder = "TO_BE_LEARNED_OFFLINE";

namespace {

bool lf_isFile(const fs::path& p) { return fs::exists(p); }

// Stand weight in the quality factors, by the radius as the record holds it (nautical miles).
double lf_standWeight(double radius) {
    if (radius <= 7.0) return 0.3;
    if (radius <= 10.0) return 1.5;
    return 1.0;
}

struct KindScore {
    int count = 0;
    int days = 0;        // bit per weekday
    int halfHours = 0;
};

double lf_kindScore(const KindScore& k) {
    const int distinctDays = std::popcount(static_cast<unsigned>(k.days));
    return 10000.0 + std::min(20.0 * k.count, 4000.0) + 100.0 * distinctDays + 2.0 * std::min(k.halfHours, 600);
}

int lf_qualityOf(double sum, double weights) {
    const double q = std::round(sum / weights * 0.00625);
    // Radii from a parking file can make the weights anything; a NaN has no place in 0..100.
    if (std::isnan(q)) return 0;
    return static_cast<int>(std::clamp(q, 0.0, 100.0));
}

}  // namespace

std::string gf_apfXmlName(const std::string& code) { return code + ".xml"; }
std::string gf_apfTxtName(const std::string& code) { return code + ".txt"; }

bool lf_followRedirect(const fs::path& redirect, fs::path& target) {
    std::ifstream in(redirect, std::ios::binary);
    if (!in) return false;
    std::string line;
    std::getline(in, line);
    if (line.size() >= 3 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
    const auto lastL = line.find_last_of('l');
    line.resize(lastL == std::string::npos ? 0 : lastL + 1);
    if (line.empty()) return false;
    // Links are written on Windows as well; folders are separated by back slashes there.
    std::replace(line.begin(), line.end(), '\\', '/');
    const fs::path candidate = gf_pathFromUtf8(line);
    if (!lf_isFile(candidate)) return false;
    target = candidate;
    return true;
}

fs::path gf_findApf(const std::string& code) {
    const std::string xml = gf_apfXmlName(code);
    const std::string txt = gf_apfTxtName(code);
    fs::path target;
    if (lf_isFile(g_myThirdpartyFolder / txt) && lf_followRedirect(g_myThirdpartyFolder / txt, target)) return target;
    if (lf_isFile(g_myThirdpartyFolder / xml)) return g_myThirdpartyFolder / xml;
    const fs::path& simaddon = MSFS_2020.get() ? g_mySimaddonFolder : g_mySimaddon2024Folder;
    if (lf_isFile(simaddon / txt) && lf_followRedirect(simaddon / txt, target)) return target;
    if (lf_isFile(simaddon / xml)) return simaddon / xml;
    if (lf_isFile(g_archiveStockFolder / xml)) return g_archiveStockFolder / xml;
    return {};
}

bool gf_hasApf(const std::string& code) { return !gf_findApf(code).empty(); }

std::string gf_safePublisherFolder(const std::string& publisher) {
    std::string safe;
    safe.reserve(publisher.size());
    for (unsigned char c : publisher) {
        const bool bad = c < 0x20 || c == '/' || c == '\\' || c == ':' || c == '*' || c == '?' || c == '"' ||
                         c == '<' || c == '>' || c == '|' || c == 0x7F;
        safe.push_back(bad ? '_' : static_cast<char>(c));
    }
    safe = gf_trim(safe);
    // Windows drops trailing dots; a name of dots alone would climb out of the folder.
    while (!safe.empty() && safe.back() == '.') safe.pop_back();
    if (safe.empty()) return "unknown";
    return safe;
}

fs::path lf_learnedPathOf(const fs::path& apfPath) {
    // The folder the file was found in decides, below the airports folder only (the program's own
    // folder may have any name).
    const std::string airports = gf_genericUtf8Of(g_airportsFolder) + "/";
    std::string text = gf_genericUtf8Of(apfPath);
    const std::size_t base = text.rfind(airports, 0) == 0 ? airports.size() : 0;
    const auto replaceFirst = [&](const std::string& word, const std::string& by) {
        const std::size_t at = text.find(word, base);
        if (at == std::string::npos) return false;
        text.replace(at, word.size(), by);
        return true;
    };
    if (replaceFirst("archive", "learned")) return gf_pathFromUtf8(text);
    if (replaceFirst("my_simaddon", "learned/simaddon")) return gf_pathFromUtf8(text);
    if (replaceFirst("my_thirdparty", "learned/thirdparty/" + gf_safePublisherFolder(lf_publisherOfApf(apfPath))))
        return gf_pathFromUtf8(text);
    // Anywhere else there is no learned file: never the airport file itself, which saving would overwrite.
    return {};
}

std::pair<int, int> gf_countHalfHours(const std::vector<Stand>& stands) {
    bool anyUse = false;
    double weights = 0.0;
    double realSum = 0.0;
    double softSum = 0.0;
    for (const Stand& stand : stands) {
        if (!stand.uses.empty()) anyUse = true;
        const double w = lf_standWeight(stand.radius);
        weights += w;
        KindScore real;
        KindScore soft;
        for (const StandUse& use : stand.uses) {
            if (use.number == 0) continue;
            KindScore& k = use.soft ? soft : real;
            ++k.count;
            if (use.day >= 1 && use.day <= 7) k.days |= 1 << use.day;
            k.halfHours += gf_halfHourCount(use.hh);
        }
        if (real.count > 0) realSum += w * lf_kindScore(real);
        if (soft.count > 0) softSum += w * lf_kindScore(soft);
    }
    if (!anyUse) return {-1, -1};
    return {lf_qualityOf(realSum, weights), lf_qualityOf(softSum, weights)};
}

std::pair<int, int> gf_countHalfHours() { return gf_countHalfHours(g_stands); }

void lf_logMaxHalfHours(int halfHours) {
    const int value = MAX_FIT.clamp(halfHours);
    MAX_FIT.set(value);
    const float hours = static_cast<float>(value) * 0.5f + 0.5f;
    MAX_FIT_FL.set(MAX_FIT_FL.clamp(hours));
    MAX_FIT_FL.showValue();
    gf_logIndentedLine(format("{:24}: {} (max number of half hours, is {} hrs decimal)", MAX_FIT.name, value,
                              gf_floatText(MAX_FIT_FL.get())));
}

std::string lf_qualityFactorText(int real, int soft) {
    if (real < 0 && soft < 0) return "  ";
    if (real < 45) return format("{:2}/{:2}", real, soft);
    return format("{:2}", real);
}

std::uint64_t gf_packQuality(int real, int soft) {
    return static_cast<std::uint64_t>(static_cast<std::uint32_t>(real)) |
           (static_cast<std::uint64_t>(static_cast<std::uint32_t>(soft)) << 32);
}
int gf_qualityReal(std::uint64_t pair) { return static_cast<std::int32_t>(pair & 0xFFFFFFFFu); }
int gf_qualitySoft(std::uint64_t pair) { return static_cast<std::int32_t>(pair >> 32); }

}  // namespace vrn
