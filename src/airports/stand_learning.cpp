#include "airports/stand_learning.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "airports/airport_files.h"
#include "airports/stand_schedules.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "display/window_state.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {

constexpr int kLongestGap = 5;   // half hours between two records that are still filled

// Aircraft id -> number of the stand whose soft record holds it: the stand choice asks on every
// pass for every aircraft near the airport, so it must not walk all stands.
std::unordered_map<std::uint32_t, std::uint32_t> l_softStandOf;

int lf_previousDay(int day) { return day <= 1 ? 7 : day - 1; }

DaySlot lf_halfHourBefore(DaySlot s) {
    const int hh = gf_slotHalfHour(s);
    if (hh > 0) return gf_makeDaySlot(gf_slotDay(s), hh - 1);
    return gf_makeDaySlot(lf_previousDay(gf_slotDay(s)), kHalfHoursPerDay - 1);
}

// The count - 1 half hours before now, earliest first.
std::vector<DaySlot> lf_halfHoursBefore(DaySlot now, int count) {
    std::vector<DaySlot> slots;
    DaySlot s = now;
    for (int i = 1; i < count; ++i) {
        s = lf_halfHourBefore(s);
        slots.push_back(s);
    }
    std::reverse(slots.begin(), slots.end());
    return slots;
}

void lf_fillPastHalfHours(DaySlot now, const Aircraft& aircraft, int count, Stand& stand, std::uint32_t useNumber) {
    for (DaySlot s : lf_halfHoursBefore(now, count)) {
        if (!gf_updateStandUse(stand.uses, s, useNumber, aircraft.callsign)) break;
    }
    gf_updateStandUse(stand.uses, now, useNumber, aircraft.callsign);
}

// Half hours up to 47 of the old day go into the old use, the rest into the new day's use, which
// already holds now.
void lf_fillPastHalfHoursAcrossDays(DaySlot now, const Aircraft& aircraft, std::uint32_t newUseNumber, int count,
                                    Stand& stand, std::uint32_t useNumber) {
    bool oldDayDone = false;
    for (DaySlot s : lf_halfHoursBefore(now, count)) {
        const std::uint32_t target = oldDayDone ? newUseNumber : useNumber;
        if (!gf_updateStandUse(stand.uses, s, target, aircraft.callsign)) break;
        if (gf_slotHalfHour(s) == kHalfHoursPerDay - 1) oldDayDone = true;
    }
}

// How many half hours lie between the last record and now (1..5), whether the record was on the
// day before; 0 when further apart or not comparable.
int lf_gapTo(DaySlot earlier, DaySlot now, bool& acrossMidnight) {
    acrossMidnight = false;
    const int eDay = gf_slotDay(earlier), nDay = gf_slotDay(now);
    const int eHh = gf_slotHalfHour(earlier), nHh = gf_slotHalfHour(now);
    for (int g = 1; g <= kLongestGap; ++g) {
        if (eDay == nDay && eHh + g == nHh) return g;
        if (nDay == (eDay % 7) + 1 && nHh - eHh + kHalfHoursPerDay == g) {
            acrossMidnight = true;
            return g;
        }
    }
    return 0;
}

void lf_putRecord(Stand& stand, bool soft, const StandRecordEntry& entry) {
    (soft ? stand.softRecords : stand.realRecords).insert_or_assign(entry.aircraftId, entry);
    if (soft) l_softStandOf.insert_or_assign(entry.aircraftId, stand.number);
}

int lf_recordUse(Stand& stand, const Aircraft& aircraft, bool soft, bool fillGap, DaySlot now, bool leaving) {
    auto& records = soft ? stand.softRecords : stand.realRecords;
    const auto day = static_cast<std::uint32_t>(gf_slotDay(now));
    const int hh = gf_slotHalfHour(now);
    const std::uint32_t id = aircraft.aircraftId;
    auto use = std::find_if(stand.uses.begin(), stand.uses.end(), [&](const StandUse& u) {
        return u.number != 0 && (u.soft != 0) == soft && u.day == day && u.reg == aircraft.registration;
    });

    if (use == stand.uses.end()) {
        auto entry = records.find(id);
        bool acrossMidnight = false;
        const int gap = (fillGap && entry != records.end()) ? lf_gapTo(entry->second.slot, now, acrossMidnight) : 0;
        const std::uint32_t number =
            gf_addStandUse(stand.uses, aircraft, soft, now, aircraft.callsign, aircraft.registration);
        if (gap > 0 && acrossMidnight) {
            // The aircraft stayed over midnight: yesterday's use gets the late half hours.
            lf_fillPastHalfHoursAcrossDays(now, aircraft, number, gap, stand, entry->second.useNumber);
        }
        if (leaving)
            records.erase(id);
        else
            lf_putRecord(stand, soft, {id, now, number});
        gf_countApfUpdate();
        return 1;
    }

    if (gf_halfHourSet(use->hh, hh) || use->learning == 0) {
        if (leaving) records.erase(id);
        return 0;
    }
    gf_setHalfHour(use->hh, hh);
    const std::uint32_t number = use->number;
    if (!fillGap && !leaving) {
        // A new arrival starts the aircraft's stay afresh: a later departure fills only from here,
        // never the half hours in which it was away.
        lf_putRecord(stand, soft, {id, now, number});
    } else if (fillGap) {
        auto entry = records.find(id);
        if (entry == records.end()) {
            if (!leaving) lf_putRecord(stand, soft, {id, now, number});
        } else if (entry->second.slot != now) {
            bool acrossMidnight = false;
            const int gap = lf_gapTo(entry->second.slot, now, acrossMidnight);
            if (gap > 0) {
                if (acrossMidnight)
                    lf_fillPastHalfHoursAcrossDays(now, aircraft, number, gap, stand, entry->second.useNumber);
                else
                    lf_fillPastHalfHours(now, aircraft, gap, stand, number);
                lf_putRecord(stand, soft, {id, now, number});
            }
        }
    }
    if (leaving) records.erase(id);
    gf_countApfUpdate();
    return 1;
}

int lf_record(std::uint32_t standNumber, const Aircraft& aircraft, bool soft, bool fillGap, DaySlot now, bool leaving) {
    std::lock_guard lock(g_standsMutex);
    try {
        if (g_stands.empty() || aircraft.registration.empty() || aircraft.callsign.empty()) return 0;
        Stand* stand = gf_standByNumber(standNumber);
        if (stand == nullptr) return 0;
        return lf_recordUse(*stand, aircraft, soft, fillGap, now, leaving);
    } catch (const std::exception& e) {
        gf_logLine(vrn::format("Add {} option exception, hh_now: {}, {}", soft ? "soft" : "real", gf_slotHalfHour(now),
                               e.what()));
    }
    return 0;
}

bool lf_coupleAtStand(const StandUse& use, std::uint32_t day, std::uint64_t mask, const Aircraft& aircraft,
                      const std::string& callsign) {
    // A soft use is only a guess: it never names a couple.
    return use.number != 0 && use.soft == 0 && use.day == day && (use.hh & mask) != 0 &&
           use.airline == aircraft.airline && !use.coupled.empty() &&
           (use.callsign == callsign || use.coupled == callsign);
}

}  // namespace

void gf_countApfUpdate() {
    const int n = g_apfUpdates.fetch_add(1) + 1;
    g_mainWindow.g_updateCount.store(n);
    gf_invalidateBand(Band::Park);
}

int gf_recordStandUse(std::uint32_t standNumber, const Aircraft& aircraft, bool fillGap, DaySlot now, bool leaving) {
    return lf_record(standNumber, aircraft, false, fillGap, now, leaving);
}

int gf_recordSoftStandUse(std::uint32_t standNumber, const Aircraft& aircraft, bool fillGap, DaySlot now) {
    return lf_record(standNumber, aircraft, true, fillGap, now, false);
}

std::uint32_t gf_softStandOf(std::uint32_t aircraftId, DaySlot& recordedAt) {
    std::lock_guard lock(g_standsMutex);
    auto it = l_softStandOf.find(aircraftId);
    if (it == l_softStandOf.end()) return 0;
    const Stand* stand = gf_standByNumber(it->second);
    if (stand != nullptr) {
        auto entry = stand->softRecords.find(aircraftId);
        if (entry != stand->softRecords.end()) {
            recordedAt = entry->second.slot;
            return stand->number;
        }
    }
    l_softStandOf.erase(it);   // the stands were replaced since
    return 0;
}

void gf_searchForCoupledCsAroundThisTime(DaySlot now, Aircraft& aircraft) {
    try {
        std::lock_guard lock(g_standsMutex);
        const int window = aircraft.sizeClass == SIZE_HEAVY ? 14 : 10;
        const int hh = gf_slotHalfHour(now);
        const int from = std::max(hh - window, 0);
        const int to = std::min(hh + window, kHalfHoursPerDay - 1);
        std::uint64_t mask = 0;
        for (int h = from; h <= to; ++h) gf_setHalfHour(mask, h);
        const auto day = static_cast<std::uint32_t>(gf_slotDay(now));
        const std::string callsign = gf_withoutGhostMark(aircraft.callsign);
        aircraft.coupledSearchDone = true;
        for (const Stand& stand : g_stands) {
            for (const StandUse& use : stand.uses) {
                if (!lf_coupleAtStand(use, day, mask, aircraft, callsign)) continue;
                aircraft.knownCallsign = use.callsign;
                aircraft.coupledCallsign = use.coupled;
                if (LOG.get())
                    gf_logLine(vrn::format("          [{} from couple \"{}:{}\" at stand {}]", aircraft.callsign,
                                           use.callsign, use.coupled, gf_standNameOfNumber(stand.number)));
                return;
            }
        }
    } catch (const std::exception& e) {
        gf_logLine(vrn::format("lf_searchForCoupledCsAroundThisTime {}", e.what()));
    }
}

void gf_resetStandLearning() {
    std::lock_guard lock(g_standsMutex);
    l_softStandOf.clear();
}

Stand* gf_standByNumber(std::uint32_t number) {
    if (number == 0) return nullptr;
    // Stands are numbered in file order, so the number is usually its place.
    if (number <= g_stands.size() && g_stands[number - 1].number == number) return &g_stands[number - 1];
    for (Stand& s : g_stands)
        if (s.number == number) return &s;
    return nullptr;
}

}  // namespace vrn
