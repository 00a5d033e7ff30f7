#pragma once
// Time of week: the DaySlot value (day 1..7 in the low 32 bits, half-hour 0..47 in the high 32 bits),
// program time (the feed's time when RealTraffic's professional edition supplies it, else the clock),
// UTC clock texts and the coded date of today.
#include <atomic>
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

namespace vrn {

using DaySlot = std::uint64_t;

constexpr DaySlot gf_makeDaySlot(int day, int halfHour) {
    return (static_cast<DaySlot>(static_cast<std::uint32_t>(halfHour)) << 32) | static_cast<std::uint32_t>(day);
}
constexpr int gf_slotDay(DaySlot s) { return static_cast<std::int32_t>(s & 0xFFFFFFFFu); }
constexpr int gf_slotHalfHour(DaySlot s) { return static_cast<std::int32_t>(s >> 32); }

// Written by the traffic reader: the feed's time (seconds since 1970) by the clock its aircraft
// agree on, at its latest record (0 until they agree), and whether RealTraffic's professional
// edition supplies the time.
extern std::atomic<double> g_feedTimeStamp;
extern std::atomic<bool> g_feedTimeIsProgramTime;
// The moment of the week the traffic engine works with; the main loop refreshes it once a second.
extern std::atomic<DaySlot> g_currentDaySlot;

// The wall clock in seconds since 1970; replaceable by tests (an empty function restores the clock).
std::time_t gf_wallClock();
void gf_setWallClockForTests(std::function<std::time_t()> clock);
// Program time: the feed's time stamp (whole seconds) when the flag is set and it is not 0, else the clock.
std::time_t gf_programTime();

std::string gf_utcTimeText(std::time_t t);   // asctime layout, 24 characters, no line feed
std::string gf_wallClockHhMmSs();             // "hh:mm:ss" of the wall clock
std::string gf_nowHhMmSs();                   // "hh:mm:ss" of program time

int gf_decodeDay(const std::string& dayAbbreviation);   // "Mon" 1 .. "Sun" 7, else 0 (logged)
std::string gf_dayName(int day);                        // "Monday" ..; std::out_of_range otherwise
int gf_halfHourOf(std::time_t t);                       // 0..47
DaySlot gf_daySlotOf(std::time_t t);                    // one reading of the clock gives both halves
DaySlot gf_nowDaySlot();
std::uint32_t gf_halfHoursBetween(DaySlot a, DaySlot b);
std::string gf_daySlotText(DaySlot s);                  // "day={} hh={}"
std::string gf_todayDateCode();                         // scrambled "DEC 52026"-style date of today

// Provided by the code scrambler of the type database (liveries).
std::string gf_scrambleCode(const std::string& plain);

}  // namespace vrn
