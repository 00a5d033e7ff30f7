#include "core/time_of_week.h"

#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "core/format.h"
#include "core/log.h"

namespace vrn {

std::atomic<double> g_feedTimeStamp{0.0};
std::atomic<bool> g_feedTimeIsProgramTime{false};
std::atomic<DaySlot> g_currentDaySlot{0};

namespace {

using ClockFunction = std::function<std::time_t()>;

std::mutex g_clockMutex;
std::shared_ptr<const ClockFunction> g_testClock;   // guarded by g_clockMutex
std::atomic<bool> g_testClockSet{false};

// Texts keep the 24-character layout only for four-digit years, so times are held inside them.
constexpr std::time_t kFirstTime = 0;                 // Thu Jan  1 00:00:00 1970
constexpr std::time_t kLastTime = 253402300799;       // Fri Dec 31 23:59:59 9999

// From the calendar of <chrono>, not gmtime: the Windows C library's stops at the year 3000.
std::tm lf_utcFields(std::time_t t) {
    using namespace std::chrono;
    if (t < kFirstTime) t = kFirstTime;
    if (t > kLastTime) t = kLastTime;
    const sys_seconds at{seconds{t}};
    const sys_days day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss time{at - day};
    std::tm fields{};
    fields.tm_year = static_cast<int>(date.year()) - 1900;
    fields.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    fields.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    fields.tm_hour = static_cast<int>(time.hours().count());
    fields.tm_min = static_cast<int>(time.minutes().count());
    fields.tm_sec = static_cast<int>(time.seconds().count());
    fields.tm_wday = static_cast<int>(weekday{day}.c_encoding());
    fields.tm_yday = static_cast<int>((day - sys_days{date.year() / January / 1}).count());
    return fields;
}

constexpr const char* kDayAbbreviations[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthAbbreviations[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// The half-hour of a clock text: hours at 11 and 12, minutes at 14 and 15.
int lf_halfHourOfText(const std::string& clockText) {
    const int hour = (clockText[11] - '0') * 10 + (clockText[12] - '0');
    const int minute = (clockText[14] - '0') * 10 + (clockText[15] - '0');
    return (2 * hour + (minute >= 30 ? 1 : 0)) % 48;
}

// "hh:mm:ss", which starts 13 characters before the end of the clock text.
std::string lf_hhMmSs(const std::string& clockText) { return clockText.substr(clockText.size() - 13, 8); }

struct SlotParts {
    std::int32_t day;
    std::int32_t halfHour;
};

// The later slot of the pair, with the week wrapping only from Sunday to Monday.
bool lf_isLater(SlotParts a, SlotParts b) {
    if (a.day == 1 && b.day == 7) return true;
    if (a.day == 7 && b.day == 1) return false;
    return a.day > b.day || (a.day == b.day && a.halfHour >= b.halfHour);
}

}  // namespace

std::time_t gf_wallClock() {
    if (g_testClockSet.load(std::memory_order_acquire)) {
        std::shared_ptr<const ClockFunction> clock;
        {
            std::lock_guard lock(g_clockMutex);
            clock = g_testClock;
        }
        if (clock) return (*clock)();
    }
    return std::time(nullptr);
}

void gf_setWallClockForTests(std::function<std::time_t()> clock) {
    std::lock_guard lock(g_clockMutex);
    if (clock) {
        g_testClock = std::make_shared<const ClockFunction>(std::move(clock));
        g_testClockSet.store(true, std::memory_order_release);
    } else {
        g_testClock.reset();
        g_testClockSet.store(false, std::memory_order_release);
    }
}

std::time_t gf_programTime() {
    if (g_feedTimeIsProgramTime.load(std::memory_order_acquire)) {
        const double stamp = g_feedTimeStamp.load(std::memory_order_acquire);
        // A stamp that is no usable time (none yet, or garbage) leaves the computer's clock in charge.
        if (std::isfinite(stamp) && stamp >= 1.0 && stamp < static_cast<double>(kLastTime)) {
            return static_cast<std::time_t>(stamp);
        }
    }
    return gf_wallClock();
}

std::string gf_utcTimeText(std::time_t t) {
    const std::tm f = lf_utcFields(t);
    // The asctime layout: "Www Mmm dd hh:mm:ss yyyy", the day of the month padded with a blank.
    return vrn::format("{} {} {:2} {:02}:{:02}:{:02} {}", kDayAbbreviations[f.tm_wday % 7],
                       kMonthAbbreviations[f.tm_mon % 12], f.tm_mday, f.tm_hour, f.tm_min, f.tm_sec,
                       f.tm_year + 1900);
}

std::string gf_wallClockHhMmSs() { return lf_hhMmSs(gf_utcTimeText(gf_wallClock())); }

std::string gf_nowHhMmSs() { return lf_hhMmSs(gf_utcTimeText(gf_programTime())); }

int gf_decodeDay(const std::string& dayAbbreviation) {
    static const std::map<std::string, int> days{{"Mon", 1}, {"Tue", 2}, {"Wed", 3}, {"Thu", 4},
                                                 {"Fri", 5}, {"Sat", 6}, {"Sun", 7}};
    if (auto it = days.find(dayAbbreviation); it != days.end()) return it->second;
    gf_logLine("lf_decodeDay ?  " + dayAbbreviation);
    return 0;
}

std::string gf_dayName(int day) {
    static const std::map<int, std::string> names{{1, "Monday"}, {2, "Tuesday"},  {3, "Wednesday"}, {4, "Thursday"},
                                                  {5, "Friday"}, {6, "Saturday"}, {7, "Sunday"}};
    auto it = names.find(day);
    if (it == names.end()) throw std::out_of_range("invalid map<K, T> key");
    return it->second;
}

int gf_halfHourOf(std::time_t t) { return lf_halfHourOfText(gf_utcTimeText(t)); }

DaySlot gf_daySlotOf(std::time_t t) {
    // Both halves from the one clock text: its day name and its time of day.
    const std::string text = gf_utcTimeText(t);
    return gf_makeDaySlot(gf_decodeDay(text.substr(0, 3)), lf_halfHourOfText(text));
}

DaySlot gf_nowDaySlot() {
    // One reading of the clock for both halves, so a slot never mixes two days across midnight.
    return gf_daySlotOf(gf_programTime());
}

std::uint32_t gf_halfHoursBetween(DaySlot a, DaySlot b) {
    SlotParts later{gf_slotDay(a), gf_slotHalfHour(a)};
    SlotParts earlier{gf_slotDay(b), gf_slotHalfHour(b)};
    if (!lf_isLater(later, earlier)) std::swap(later, earlier);
    // 32-bit wrapping arithmetic, done wide so that odd slot values cannot overflow a signed int.
    std::int64_t result = (static_cast<std::int64_t>(later.day) - earlier.day) * 48 +
                          (static_cast<std::int64_t>(later.halfHour) - earlier.halfHour);
    if (later.day == 1 && earlier.day == 7) result += 7 * 48;
    return static_cast<std::uint32_t>(result);
}

std::string gf_daySlotText(DaySlot s) { return vrn::format("day={} hh={}", gf_slotDay(s), gf_slotHalfHour(s)); }

std::string gf_todayDateCode() {
    const std::string text = gf_utcTimeText(gf_wallClock());
    std::string month = text.substr(4, 3);
    for (char& c : month) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return gf_scrambleCode(month + text.substr(8, 2) + text.substr(20, 4));
}

}  // namespace vrn
