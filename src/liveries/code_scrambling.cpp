// Code scrambling: one key table for texts, fixed positions and shifts for the short codes.
// These values are what the data files were written with; changing any of them makes every
// stored file and the stored check date unreadable (the tests pin plain/scrambled pairs).
#include "liveries/code_scrambling.h"

#include <array>
#include <cstdint>
#include <stdexcept>

#include "core/format.h"
#include "core/log.h"

namespace vrn {
namespace {

constexpr int kLowest = 45;    // '-'
constexpr int kHighest = 90;   // 'Z'
constexpr int kSpan = 46;

constexpr std::array<std::uint32_t, 108> kKeyTable = {
    40, 17, 23, 45, 42, 34, 2,  30, 16, 42, 4,  11, 8,  24, 31, 16, 25, 35, 7,  37, 16, 1,
    14, 27, 18, 12, 25, 11, 5,  9,  40, 40, 29, 9,  9,  1,  1,  14, 14, 11, 11, 19, 21, 13,
    35, 44, 41, 14, 12, 45, 13, 25, 20, 2,  24, 27, 11, 10, 17, 5,  22, 20, 39, 38, 1,  39,
    44, 22, 5,  20, 23, 20, 31, 45, 21, 12, 31, 31, 12, 4,  17, 2,  23, 26, 2,  36, 27, 24,
    25, 38, 1,  29, 3,  12, 40, 13, 8,  16, 30, 23, 33, 23, 34, 17, 30, 7,  38, 24};

// Airline codes: plain character k is stored at kAirlinePos[k], shifted up by kAirlineShift[k];
// the other three stored characters are filler.
constexpr std::array<int, 3> kAirlinePos = {1, 4, 2};
constexpr std::array<int, 3> kAirlineShift = {7, 19, 31};
constexpr std::array<int, 3> kAirlineFiller = {0, 3, 5};
// Type codes by stored length.
constexpr std::array<int, 2> kType2Pos = {1, 0};
constexpr std::array<int, 2> kType2Shift = {11, 29};
constexpr std::array<int, 3> kType3Pos = {2, 0, 1};
constexpr std::array<int, 3> kType3Shift = {13, 3, 37};
constexpr std::array<int, 4> kType4Pos = {3, 1, 0, 2};
constexpr std::array<int, 4> kType4Shift = {23, 5, 17, 41};

// One wrap step back into the alphabet; '+' is never shifted.
char lf_shift(char c, int by) {
    if (c == '+') return c;
    int r = static_cast<int>(static_cast<unsigned char>(c)) + by;
    if (r > kHighest) r -= kSpan;
    else if (r < kLowest) r += kSpan;
    return static_cast<char>(static_cast<unsigned char>(r & 0xFF));
}

// Texts longer than the key table reuse it from its start, so no position reads past it.
int lf_key(std::size_t i) { return static_cast<int>(kKeyTable[i % kKeyTable.size()]); }

template <std::size_t N>
std::string lf_unscrambleShort(const std::string& stored, const std::array<int, N>& pos,
                               const std::array<int, N>& shift) {
    std::string plain(N, ' ');
    for (std::size_t k = 0; k < N; ++k) plain[k] = lf_shift(stored[static_cast<std::size_t>(pos[k])], -shift[k]);
    return plain;
}

template <std::size_t N>
std::string lf_scrambleShort(const std::string& plain, std::size_t storedLength, const std::array<int, N>& pos,
                             const std::array<int, N>& shift) {
    std::string stored(storedLength, ' ');
    for (std::size_t k = 0; k < N; ++k) stored[static_cast<std::size_t>(pos[k])] = lf_shift(plain[k], shift[k]);
    return stored;
}

}  // namespace

std::string gf_scrambleCode(const std::string& plain) {
    if (plain.size() == 1 || plain.size() >= 25) gf_logArrowLine(plain);
    std::string out;
    out.reserve(plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (c >= 'a' && c <= 'z') {
            gf_logLine(format("lower case in regcode encryp {}", plain));
            throw std::runtime_error("regcode encrypt error");
        }
        out.push_back(lf_shift(c, lf_key(i)));
    }
    return out;
}

std::string gf_unscrambleText(const std::string& stored) {
    std::string out;
    out.reserve(stored.size());
    for (std::size_t i = 0; i < stored.size(); ++i) out.push_back(lf_shift(stored[i], -lf_key(i)));
    return out;
}

std::string gf_unscrambleAirline(const std::string& stored) {
    if (stored.empty()) return {};
    if (stored.size() == 6) return lf_unscrambleShort(stored, kAirlinePos, kAirlineShift);
    if (stored.size() == 3) {
        gf_logArrowLine(format("Unencrypted airline {} in decrypt airl?", stored));
        return stored;
    }
    throw std::runtime_error(format("decrypt airl \"{}\" error", stored));
}

std::string gf_unscrambleCode(const std::string& stored) {
    if (stored.empty()) return {};
    if (stored.size() == 3) return lf_unscrambleShort(stored, kType3Pos, kType3Shift);
    if (stored.size() == 4) return lf_unscrambleShort(stored, kType4Pos, kType4Shift);
    if (stored.size() == 1) {
        gf_logArrowLine(format("type code \"{}\" too short, skipped", stored));
        return {};
    }
    return lf_unscrambleShort(stored, kType2Pos, kType2Shift);
}

std::string gf_scrambleAirline(const std::string& plain) {
    if (plain.size() != 3) throw std::invalid_argument(format("airline code \"{}\" is not 3 characters", plain));
    std::string stored = lf_scrambleShort(plain, 6, kAirlinePos, kAirlineShift);
    // Filler drawn from the code itself, so one code always gives the same stored text.
    for (std::size_t k = 0; k < kAirlineFiller.size(); ++k) {
        const int seed = static_cast<unsigned char>(plain[k]) + static_cast<int>(k) * 7;
        stored[static_cast<std::size_t>(kAirlineFiller[k])] = static_cast<char>(kLowest + seed % kSpan);
    }
    return stored;
}

std::string gf_scrambleTypeCode(const std::string& plain) {
    switch (plain.size()) {
        case 2: return lf_scrambleShort(plain, 2, kType2Pos, kType2Shift);
        case 3: return lf_scrambleShort(plain, 3, kType3Pos, kType3Shift);
        case 4: return lf_scrambleShort(plain, 4, kType4Pos, kType4Shift);
        default: throw std::invalid_argument(format("type code \"{}\" must have 2 to 4 characters", plain));
    }
}

}  // namespace vrn
