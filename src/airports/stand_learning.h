#pragma once
// Learning which aircraft use which stand of the park airport, on which day and in which half
// hours: real uses (a live aircraft was seen at the stand) and soft ones (the stand was only
// predicted), the half hours between an aircraft's arrival and its departure, and the coupled
// callsign of a new live aircraft (its other flight of the day at the same stand).
//
// Locking: every function here takes g_standsMutex (recursive) around its work on g_stands, because
// the exit thread saves the stands under it. Inside it only the log is written (g_logMutex after
// g_standsMutex, never the other way round).
#include <cstdint>

#include "core/time_of_week.h"
#include "records/flight_records.h"
#include "records/stand_records.h"

namespace vrn {

// Records a real use of the stand with this number: a new use for the aircraft's registration and
// day, or now's half hour in the existing one. With fillGap the half hours since the aircraft's
// last record at this stand (up to five back, across midnight too) are filled. `leaving` forgets the
// aircraft's record at the stand. 1 when a change was recorded, else 0.
int gf_recordStandUse(std::uint32_t standNumber, const Aircraft& aircraft, bool fillGap, DaySlot now, bool leaving);
// The same for a soft (predicted) use; the stand choice calls it.
int gf_recordSoftStandUse(std::uint32_t standNumber, const Aircraft& aircraft, bool fillGap, DaySlot now);

// The stand number whose soft record holds this aircraft (its latest predicted stand), with the
// record's DaySlot; 0 when none.
std::uint32_t gf_softStandOf(std::uint32_t aircraftId, DaySlot& recordedAt);

// Looks up the callsign of the aircraft's other flight of the day at any stand (within 5 hours of
// now, 7 for a heavy aircraft, never across midnight) and copies the use's callsign and coupled
// callsign into the aircraft's knownCallsign and coupledCallsign. Called once per new live aircraft.
void gf_searchForCoupledCsAroundThisTime(DaySlot now, Aircraft& aircraft);

// One more change to the park airport's file: counts it and shows the count in the main window.
void gf_countApfUpdate();

// Forgets the soft-record index (with the stands, when the park airport is given up).
void gf_resetStandLearning();

}  // namespace vrn
