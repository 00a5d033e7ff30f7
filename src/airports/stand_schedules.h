#pragma once
// Questions about the learned uses of a stand: is a range of half hours taken, does a use belong to
// this callsign or airline and model, which use was seen at this day and half hour; and recording a
// new use or one more half hour of a known one. Run thread (the callers hold the stands).
#include <cstdint>
#include <string>
#include <vector>

#include "core/time_of_week.h"
#include "records/flight_records.h"
#include "records/stand_records.h"

namespace vrn {

// Half-hour bits of a use's set; a position outside 0..47 throws std::out_of_range
// "invalid bitset position".
bool gf_halfHourSet(std::uint64_t hh, int halfHour);
void gf_setHalfHour(std::uint64_t& hh, int halfHour);

// Tests the half hours from `start` down to max(start - back, 0), `start` first. When none is set
// and the range runs below 0, `previousDay` tells how many half hours of the previous day (counted
// back from 47) the caller still has to test, at most 46; else it is -1. A start outside 0..47 is
// logged and answers false.
bool testRange(const StandUse& use, int start, int back, int& previousDay);

// A valid, not soft use whose first or second callsign is `text`, or else whose airline and model are
// the flight's.
bool gf_standUseMatches(const std::string& text, const Flight& flight, const StandUse& use);
// Any use of the stand matches; false for an empty text.
bool gf_findStandUse(const std::vector<StandUse>& uses, const std::string& text, const Flight& flight);

struct ScheduleKey {
    DaySlot when = 0;
    std::string registration;
};
// The first valid, not soft use of the key's day and registration whose set holds the key's half
// hour or a neighbour of it (47 before 0 and 0 after 47, on the same day); end() when none.
std::vector<StandUse>::iterator gf_scheduleSearch(std::vector<StandUse>& uses, const ScheduleKey& key);
std::vector<StandUse>::const_iterator gf_scheduleSearch(const std::vector<StandUse>& uses, const ScheduleKey& key);

// Appends a new learned use for the aircraft on the slot's day with the slot's half hour and
// returns its use number. Trailing unnumbered uses are dropped first. A registration known to the
// registration database gives airline (its operator first) and model; else the flight's are taken.
std::uint32_t gf_addStandUse(std::vector<StandUse>& uses, const Flight& flight, bool soft, DaySlot when,
                             std::string callsign, const std::string& registration);

// Sets the slot's half hour in the use with this number and records the callsign as its first or
// second callsign. False when no such use exists or the slot is out of range (logged).
bool gf_updateStandUse(std::vector<StandUse>& uses, DaySlot when, std::uint32_t useNumber, std::string callsign);

// One trailing '_' (the ghost mark) removed.
std::string gf_withoutGhostMark(std::string callsign);

}  // namespace vrn
