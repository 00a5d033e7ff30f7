#pragma once
// The in-memory records of the airport parking files: a learned use of a stand, a stand, and the
// contents of one airport file. The stands of the park airport live in g_stands.
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/geodesy.h"
#include "core/time_of_week.h"

namespace vrn {

inline constexpr double kMetresToNm = 0.0005399568034557236;
inline constexpr double kNmToMetres = 1852.0;
inline constexpr int kHalfHoursPerDay = 48;
inline constexpr std::uint64_t kHalfHourMask = (std::uint64_t{1} << kHalfHoursPerDay) - 1;

// Where a use came from. The learned file keeps what it read back and what was learned in this
// run; the archived file's own uses and the made-up fakes are never written into it.
enum class UseOrigin : std::uint8_t {
    Run = 0,        // learned from live traffic in this run (the default for every new use)
    Archive = 1,    // read from the airport's own parking file
    Learned = 2,    // read back from the learned (or handmade) file
    Fake = 3,       // made up for PARK_FAKE
};

struct StandUse {
    std::string airline;
    std::string model;
    std::string reg;
    std::string callsign;
    std::string coupled;
    std::uint64_t hh = 0;        // bit n = half hour n of the day, n 0..47
    std::uint32_t number = 0;    // 1-based within the stand; 0 = dropped
    std::uint32_t day = 0;       // 1 Monday .. 7 Sunday; 0 when the file gave none
    std::uint8_t learning = 0;   // may take new half hours when seen again
    std::uint8_t soft = 0;
    UseOrigin origin = UseOrigin::Run;
};

// What a stand remembers of an aircraft recorded at it in this run.
struct StandRecordEntry {
    std::uint32_t aircraftId = 0;
    DaySlot slot = 0;
    std::uint32_t useNumber = 0;
};

struct StandPlacement {
    double lat = 0.0;
    double lon = 0.0;
    double heading = 0.0;   // radians
};

struct Stand {
    Stand(std::vector<StandUse>&& uses_, std::string&& id_, const StandPlacement& placement, double radiusMetres,
          bool cargo_, bool ramp_, bool heli_);

    std::vector<StandUse> uses;
    std::unordered_map<std::uint32_t, StandRecordEntry> realRecords;
    std::unordered_map<std::uint32_t, StandRecordEntry> softRecords;
    std::string id;
    std::vector<std::uint32_t> adjacent;
    LatLon position;
    double heading = 0.0;   // radians
    double radius = 0.0;    // nautical miles
    std::uint32_t number = 0;
    std::uint8_t manual = 0;
    std::uint8_t radiusChanged = 0;
    std::uint8_t cargoChanged = 0;
    std::uint8_t generatorMark = 0;
    std::uint8_t taken = 0;
    std::uint8_t occupied = 0;
    std::uint8_t reserved = 0;
    std::uint8_t blocked = 0;
    std::uint8_t cargo = 0;
    std::uint8_t ramp = 0;
    std::uint8_t heli = 0;
};

struct ApfAirport {
    std::string code;
    std::string airport_name;
    std::string bglPath;
    std::string publisher;
    std::string manufacturer;
    std::string creator;
    std::int32_t RT_traffic_week = 0;
    std::int32_t Qf_real = -1;
    std::int32_t Qf_soft = -1;
    std::int32_t altitude = 0;
    std::vector<Stand> stands;
    // Learned records that could not be used (refused manual stands, stands the file lacks, refused
    // changes), as the file had them (XML text): written back unchanged, so that a save loses none
    // of the user's data.
    std::vector<std::string> keptParkPositions;
};

// The stands of the park airport, in file order. Owned by the run thread; the SimConnect thread
// (stand name at the user position) and the exit thread (saving) take g_standsMutex around their
// use, and so does every writer that replaces or reshapes the list.
extern std::vector<Stand> g_stands;
extern std::recursive_mutex g_standsMutex;

// The stand of g_stands with this number; nullptr for 0 or none. Callers hold g_standsMutex where
// other threads may reshape the list.
Stand* gf_standByNumber(std::uint32_t number);

// Same learned use: day, soft flag, registration, airline and model equal, and a common half hour.
bool lf_sameStandUse(const StandUse& a, const StandUse& b);

// Number of set half hours of a use.
int gf_halfHourCount(std::uint64_t hh);

// Whether an aircraft of this half wingspan (nm) suits the stand: at most 1.8 m larger than the
// stand's radius, and no more than half a size step (14 m, or 21 m above 17.8 m) smaller.
bool gf_wingspanFitsStand(const Stand& stand, double halfWingspanNm);

}  // namespace vrn
