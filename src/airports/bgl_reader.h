#pragma once
// Reading the airports of one BGL scenery file: the file as little-endian 32-bit words, the airport
// records with their helipads and parking spots, and the hand-off of every airport to linking or
// generating its airport parking file.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "records/stand_records.h"

namespace vrn {

inline constexpr std::uint32_t kBglHeaderSize = 56;
inline constexpr std::uint32_t kBglSectionAirport = 3;
inline constexpr std::uint16_t kBglRecordAirport = 0x0056;
inline constexpr std::uint16_t kBglRecordHelipad = 0x0026;
inline constexpr std::uint16_t kBglRecordTaxiParking = 0x00E7;

using BglWords = std::vector<std::uint32_t>;

// What happens to each airport read: `link` runs before its stands are read and answers (linked,
// archived stand count); `generate` runs when there is nothing linked or the scenery has more stands.
struct BglAirportSteps {
    std::function<std::pair<bool, int>(ApfAirport& airport, const std::string& bglPath)> link;
    std::function<void(ApfAirport& airport, int helipads)> generate;
};
// The steps of the add-on airport scan (link to the archive, else generate).
const BglAirportSteps& gf_scanAirportSteps();

// The whole file as words (a partial last word holds the remaining bytes low); false when it cannot
// be opened or read.
bool gf_readBglWords(const std::filesystem::path& path, BglWords& words);

// The cheap test of the scan: the header and section table say the file holds an airport section.
// Reads only the header and the section table; never throws for short or unreadable files.
bool lf_isAirportBgl(const std::filesystem::path& path);

// Every airport record of the words handed to `steps`. An index past the end of the words throws
// std::out_of_range; airports handed on before that stay handed on.
void gf_readBglAirports(const BglWords& words, const std::string& path, const BglAirportSteps& steps);

// One worker task of the scan: reads the file and handles its airports with the scan's steps. The
// worker slot is released on every way out; a failure is logged to the scan log and thrown on.
void lf_toParkingPositions(const std::filesystem::path& path);
// The same with other steps (tests, benchmarks).
void lf_toParkingPositions(const std::filesystem::path& path, const BglAirportSteps& steps);

// The working state of the airport being read.
struct BglAirportState {
    std::set<std::string> ids;
    bool duplicates = false;
    int helipadCounter = 1;
    std::vector<LatLon> helipadPositions;
};

void lf_readAirportRecord(std::size_t p, const BglWords& words, std::int64_t sizeWords, const std::string& code,
                          const std::string& path, const BglAirportSteps& steps);
void lf_readHelipads(std::size_t p, const BglWords& words, ApfAirport& airport, BglAirportState& state);
void lf_readParkings(std::size_t p, const BglWords& words, ApfAirport& airport, BglAirportState& state,
                     const std::string& path);
// Final ids of duplicate parking stands: in each group the largest radius keeps the plain id.
void lf_relabelDuplicateStands(ApfAirport& airport);

// A packed identifier: base 38 digits of value >> 5; ok only for exactly four characters.
std::pair<std::string, bool> lf_decodeIdentifierOrRegionCode(std::uint32_t value);
std::string lf_decodeParkingName(std::uint8_t code);
// Feet of an altitude word (signed millimetres); 0 when outside the range of real airports.
std::int32_t gf_bglAltitudeFeet(std::uint32_t word);
double gf_bglLatitude(std::uint32_t word);
double gf_bglLongitude(std::uint32_t word);

}  // namespace vrn
