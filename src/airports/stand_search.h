#pragma once
// Finding a stand of the park airport: the nearest free stand that fits an aircraft that stopped,
// the stand a live aircraft near the airport will most likely use (recorded as a soft use), the
// stand at a position, and a stand by name.
//
// Locking: g_stands belongs to the run thread; gf_standNameAt also runs on the SimConnect thread.
// Every function here holds g_standsMutex (recursive) while it reads or changes g_stands, its
// cache or the choice times, and only logs under it (g_standsMutex before g_logMutex).
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "core/time_of_week.h"
#include "records/live_aircraft.h"
#include "records/stand_records.h"

namespace vrn {

inline constexpr double kStandNameRadiusNm = 0.029697624190064796;   // 55 m
inline constexpr double kArrivalStandRadiusNm = 0.029697624190064796;  // 55 m
inline constexpr double kCloseStandRadiusNm = 0.010799136069114472;    // 20 m

// Set by the park airport choice when the loaded airport file allows soft learning.
extern std::atomic<bool> g_softLearningAllowed;

// For each aircraft, the half hour in which a stand use was last recorded or a stand last searched
// for it; the stand choice searches again only three half hours later.
struct StandUseSlot {
    std::uint32_t aircraftId = 0;
    std::uint32_t halfHour = 0;
};

extern std::vector<StandUseSlot> g_standUseSlots;   // run thread
// The half hour of `now` as the slot in which a stand use was last recorded for the aircraft.
void gf_rememberStandUseSlot(std::uint32_t aircraftId, DaySlot now);

// One result of a stand predicate.
struct StandCandidate {
    std::string name;
    int score = 0;
    int match = 0;
};

// The nearest free stand within the radius that fits the aircraft (an oversize aircraft takes a
// stand within 20 m, which then grows to its half span less 1 m); with byCallsign a stand up to
// 85 m away whose learned uses match the aircraft when none was taken. end() when none.
std::vector<Stand>::iterator gf_nearestStand(const LatLon& position, const Aircraft& aircraft, double radiusNm,
                                             bool byCallsign);

// The name of the stand nearest to the position within 55 m; empty when none, when there are no
// stands or while the user aircraft is not on the ground. The last answer is remembered.
std::string gf_standNameAt(const LatLon& position);

// The first stand with this name; end() when none.
std::vector<Stand>::iterator gf_findStandByName(const std::string& name);

// The stand's name for log lines: "sid==0?" for number 0, "unknown" when no stand has the number.
std::string gf_standNameOfNumber(std::uint32_t number);

// Predicts the stand of a live aircraft without one near the park airport and records it as a
// soft use (or extends the soft use it already has).
void gf_chooseStand(LiveAircraft& aircraft);

// Forgets the choice times and the stand-name cache (with the stands, when the park airport is
// given up or replaced).
void gf_resetStandSearch();

}  // namespace vrn
