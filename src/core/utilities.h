#pragma once
// Small shared helpers: text lists, number texts, the log banner, file counts, Winsock error texts,
// scan worker slots and the random choices.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace vrn {

extern const std::string g_trimSet;   // " \t\n\r"

bool gf_equalsUppercased(const std::string& upper, std::string other);
std::vector<std::string> gf_splitAtComma(const std::string& text);
std::vector<std::string> gf_splitAtSemicolon(const std::string& text);
std::string gf_trim(std::string_view& text);
std::string gf_trim(const std::string& text);
void gf_trimListItems(std::string& text);
std::string gf_unquote(std::string_view text);
bool gf_equalsStarred(const std::string& name, const std::string& other);   // other == name + "*"
std::string gf_floatText(float value);
// The first bytes of a UTF-8 text, at most maxBytes, never cutting a character.
std::string gf_utf8Prefix(std::string_view text, std::size_t maxBytes);
// A text from outside (a datagram, a typed value) as a log line or the status line may echo it: whole
// when it has at most `limit` bytes, else its first bytes (never half a UTF-8 character) followed by
// "... ({} bytes)" with its full size; control characters and broken UTF-8 escaped (gf_printable).
inline constexpr std::size_t kExcerptBytes = 200;
std::string gf_excerpt(std::string_view text, std::size_t limit = kExcerptBytes);
std::string gf_starBanner(std::int64_t a, std::int64_t b, bool leadingLineFeed, bool trailingLineFeed,
                          const std::string& text);

int gf_countFiles(const std::filesystem::path& folder);

std::string gf_wsaErrorText(int code);

// Scan worker slots: at most g_workerThreads tasks run at once (never fewer than one).
extern std::atomic<unsigned> g_workerThreads;
extern std::atomic<int> g_scanWorkers;
void gf_initWorkerThreads();        // g_workerThreads = max(1, hardware threads); g_scanWorkers = 0
unsigned gf_workerCountFor(unsigned hardwareThreads);   // zero (unknown) hardware threads -> 1
// Waits until fewer than g_workerThreads tasks run and counts the caller's task, in one step.
void gf_takeWorkerSlot();
void gf_releaseWorkerSlot();

// Random draws on the calling thread's engine (the RANDOM-dependent choices are in settings/).
double gf_jitterByPercent(double x, double percent);
// The calling thread's engine (seeded from std::random_device on first use), for direct draws.
std::mt19937& gf_randomEngine();
// Tests make the random choices repeatable for the calling thread.
void gf_seedRandomForTests(std::uint32_t seed);

}  // namespace vrn
