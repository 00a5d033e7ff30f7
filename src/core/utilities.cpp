#include "core/utilities.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <random>
#include <sstream>
#include <thread>
#include <unordered_map>

#include "core/folders.h"
#include "core/format.h"
#include "core/text_conversion.h"
#include "core/utf8_paths.h"

namespace vrn {

const std::string g_trimSet = " \t\n\r";

namespace {

constexpr std::string_view kTrimSet = " \t\n\r";

std::vector<std::string> lf_splitAt(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::istringstream in(text);
    std::string piece;
    // getline: a separator at the very end gives no empty last piece, empty pieces elsewhere stay.
    while (std::getline(in, piece, separator)) pieces.push_back(gf_trim(piece));
    return pieces;
}

struct ThreadRandom {
    bool seeded = false;
    std::mt19937 engine;
};

ThreadRandom& lf_threadRandom() {
    thread_local ThreadRandom random;
    if (!random.seeded) {
        std::random_device device;
        random.engine.seed(device());
        random.seeded = true;
    }
    return random;
}

}  // namespace

bool gf_equalsUppercased(const std::string& upper, std::string other) {
    for (char& c : other) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return upper == other;
}

std::vector<std::string> gf_splitAtComma(const std::string& text) { return lf_splitAt(text, ','); }

std::vector<std::string> gf_splitAtSemicolon(const std::string& text) { return lf_splitAt(text, ';'); }

std::string gf_trim(std::string_view& text) {
    const auto first = text.find_first_not_of(kTrimSet);
    if (first == std::string_view::npos) {
        text.remove_prefix(text.size());
        return {};
    }
    text.remove_prefix(first);
    const auto last = text.find_last_not_of(kTrimSet);
    return std::string(text.substr(0, last + 1));
}

std::string gf_trim(const std::string& text) {
    std::string_view view(text);
    return gf_trim(view);
}

void gf_trimListItems(std::string& text) {
    if (text.empty() || text.find_first_of(kTrimSet) == std::string::npos) return;
    std::string joined;
    bool first = true;
    for (const auto& piece : gf_splitAtComma(text)) {
        if (!first) joined.push_back(',');
        joined += piece;
        first = false;
    }
    text = std::move(joined);
}

std::string gf_unquote(std::string_view text) {
    const auto open = text.find('"');
    if (open == std::string_view::npos) return std::string(text);
    const auto close = text.find('"', open + 1);
    if (close == std::string_view::npos) return {};
    return std::string(text.substr(open + 1, close - open - 1));
}

bool gf_equalsStarred(const std::string& name, const std::string& other) {
    return other.size() == name.size() + 1 && other.back() == '*' && other.compare(0, name.size(), name) == 0;
}

std::string gf_floatText(float value) {
    if (std::fmod(value, 1.0f) == 0.0f) return vrn::format("{:.0f}", value);
    return vrn::format("{:.1F}", value);
}

std::string gf_utf8Prefix(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return std::string(text);
    std::size_t cut = maxBytes;
    // Step back over continuation bytes to the start of the character that would be split.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return std::string(text.substr(0, cut));
}

std::string gf_excerpt(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) return gf_printable(text);
    return format("{}... ({} bytes)", gf_printable(gf_utf8Prefix(text, limit)), text.size());
}

bool gf_isFolderText(const std::string& folder) {
    std::error_code ec;
    return std::filesystem::is_directory(gf_pathFromUtf8(folder), ec);
}

std::string gf_namedFolders(const std::vector<std::string>& folders) {
    std::string text;
    for (const std::string& folder : folders) {
        if (!text.empty()) text += ", ";
        text += format("\"{}\"{}", gf_excerpt(folder), gf_isFolderText(folder) ? "" : " (not found)");
    }
    return text;
}

namespace {

// The last name of a folder as typed, with either separator and a trailing one ("D:\Liveries\").
std::string_view lf_lastName(std::string_view folder) {
    while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.remove_suffix(1);
    const std::size_t slash = folder.find_last_of("/\\");
    return slash == std::string_view::npos || slash + 1 == folder.size() ? folder : folder.substr(slash + 1);
}

constexpr std::size_t kShortNameBytes = 40;

}  // namespace

std::string gf_shortNamedFolders(const std::vector<std::string>& folders, const std::vector<std::string>& settings) {
    std::string text;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (!text.empty()) text += ", ";
        if (i < settings.size() && !settings[i].empty()) text += settings[i] + " ";
        text += format("\"{}\"", gf_excerpt(lf_lastName(folders[i]), kShortNameBytes));
    }
    return text;
}

std::string gf_starBanner(std::int64_t a, std::int64_t b, bool leadingLineFeed, bool trailingLineFeed,
                          const std::string& text) {
    std::string line;
    if (leadingLineFeed) line.push_back('\n');
    std::int64_t w = a + b;
    if (w % 2 != 0) ++w;
    const auto length = static_cast<std::int64_t>(text.size());
    if (text.empty()) {
        if (w > 0) line.append(static_cast<std::size_t>(w), '*');
    } else if (length + 2 >= w) {
        line += text;
    } else {
        const auto stars = static_cast<std::size_t>(w / 2 - 1);
        line.append(stars, '*');
        line.push_back(' ');
        line += text;
        line.push_back(' ');
        line.append(stars, '*');
    }
    if (trailingLineFeed) line.push_back('\n');
    return line;
}

int gf_countFiles(const std::filesystem::path& folder) {
    if (!std::filesystem::exists(folder)) return 0;
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (std::filesystem::is_regular_file(entry.status())) ++count;
    }
    return count;
}

std::string gf_wsaErrorText(int code) {
    static const std::unordered_map<int, const char*> texts{
        {10004, "Interrupted system call"},
        {10009, "Bad file number"},
        {10013, "Permission denied"},
        {10014, "Bad address"},
        {10022, "Invalid argument"},
        {10024, "Too many open sockets"},
        {10035, "Operation would block"},
        {10036, "Operation now in progress"},
        {10037, "Operation already in progress"},
        {10038, "Socket operation on non-socket"},
        {10039, "Destination address required"},
        {10040, "Messenger too long"},
        {10041, "Protocol wrong type for socket"},
        {10042, "Bad protocol option"},
        {10043, "Protocol not supported"},
        {10044, "Socket type not supported"},
        {10045, "Operation not supported on socket"},
        {10046, "Protocol family not supported"},
        {10047, "Address family not supported"},
        {10048, "Address already in use"},
        {10049, "Can't assign requested address"},
        {10050, "Network is down"},
        {10051, "Network is unreachable"},
        {10052, "Net connection reset"},
        {10053, "Software caused connection abort"},
        {10054, "Connection reset by peer"},
        {10055, "No buffer space available"},
        {10056, "Socket is already connected"},
        {10057, "Socket is not connected"},
        {10058, "Can't send numLines socket shutdown"},
        {10059, "Too many references, can't splice"},
        {10060, "Connection timed out"},
        {10061, "Connection refused"},
        {10062, "Too many levels of symbolic links"},
        {10063, "File name too long"},
        {10064, "Host is down"},
        {10065, "No route to host"},
        {10066, "Directory not empty"},
        {10067, "Too many processes"},
        {10068, "Too many users"},
        {10069, "Disc quota exceeded"},
        {10070, "Stale NFS file handle"},
        {10071, "Too many levels of remote in path"},
        {10091, "Network system is unavailable"},
        {10092, "Winsock version out of range"},
        {10093, "WSAStartup not yet called"},
        {10101, "Graceful shutdown in progress"},
        {11001, "Host not found"},
        {11004, "No host data of that type was found"},
    };
    const auto it = texts.find(code);
    return vrn::format("{} ", code) + (it != texts.end() ? it->second : "Unknown errror code");
}

unsigned gf_workerCountFor(unsigned hardwareThreads) { return hardwareThreads == 0 ? 1u : hardwareThreads; }

std::atomic<unsigned> g_workerThreads{gf_workerCountFor(std::thread::hardware_concurrency())};
std::atomic<int> g_scanWorkers{0};

void gf_initWorkerThreads() {
    g_workerThreads.store(gf_workerCountFor(std::thread::hardware_concurrency()));
    g_scanWorkers.store(0);
}

namespace {

// A released slot wakes the drivers waiting for one. The count drops under this mutex, so a driver
// cannot miss the release between its test and its wait.
std::mutex l_workerSlotMutex;
std::condition_variable l_workerSlotReleased;

}  // namespace

void gf_takeWorkerSlot() {
    std::unique_lock lock(l_workerSlotMutex);
    l_workerSlotReleased.wait(
        lock, [] { return g_scanWorkers.load() < static_cast<int>(std::max(1u, g_workerThreads.load())); });
    // Taken under the mutex it was found free under: two drivers cannot both take the last slot.
    g_scanWorkers.fetch_add(1);
}

void gf_releaseWorkerSlot() {
    {
        std::lock_guard lock(l_workerSlotMutex);
        g_scanWorkers.fetch_sub(1);
    }
    l_workerSlotReleased.notify_all();
}

std::mt19937& gf_randomEngine() { return lf_threadRandom().engine; }

void gf_seedRandomForTests(std::uint32_t seed) {
    auto& random = lf_threadRandom();
    random.engine.seed(seed);
}

double gf_jitterByPercent(double x, double percent) {
    const std::uint32_t r = gf_randomEngine()();
    const double sign = (r & 1u) == 0 ? 1.0 : -1.0;
    if (percent > 0.0) return x + sign * (x * percent / 100.0);
    return x;
}

}  // namespace vrn
