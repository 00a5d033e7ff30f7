#include "airports/stand_schedules.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "core/format.h"
#include "core/log.h"
#include "liveries/type_queries.h"

namespace vrn {

namespace {

void lf_checkPosition(int halfHour) {
    if (halfHour < 0 || halfHour >= kHalfHoursPerDay) throw std::out_of_range("invalid bitset position");
}

bool lf_usable(const StandUse& use) { return use.number != 0 && use.soft == 0; }

// Neighbouring half hours stay on the same day: the use holds one day only.
std::uint64_t lf_slotWithNeighbours(int halfHour) {
    const int before = halfHour == 0 ? kHalfHoursPerDay - 1 : halfHour - 1;
    const int after = halfHour == kHalfHoursPerDay - 1 ? 0 : halfHour + 1;
    return (std::uint64_t{1} << halfHour) | (std::uint64_t{1} << before) | (std::uint64_t{1} << after);
}

template <typename It>
It lf_scheduleSearch(It first, It last, const ScheduleKey& key) {
    const int halfHour = gf_slotHalfHour(key.when);
    lf_checkPosition(halfHour);
    const std::uint64_t wanted = lf_slotWithNeighbours(halfHour);
    const auto day = static_cast<std::uint32_t>(gf_slotDay(key.when));
    return std::find_if(first, last, [&](const StandUse& use) {
        return lf_usable(use) && use.day == day && use.reg == key.registration && (use.hh & wanted) != 0;
    });
}

void lf_markStandUse(StandUse& use, DaySlot when, const std::string& callsign) {
    gf_setHalfHour(use.hh, gf_slotHalfHour(when));
    if (callsign.empty()) return;
    if (use.callsign.empty()) {
        use.callsign = callsign;
        return;
    }
    if (callsign == use.callsign || callsign == use.coupled) return;
    use.coupled = callsign;
}

}  // namespace

bool gf_halfHourSet(std::uint64_t hh, int halfHour) {
    lf_checkPosition(halfHour);
    return (hh >> halfHour) & 1u;
}

void gf_setHalfHour(std::uint64_t& hh, int halfHour) {
    lf_checkPosition(halfHour);
    hh |= std::uint64_t{1} << halfHour;
}

std::string gf_withoutGhostMark(std::string callsign) {
    if (!callsign.empty() && callsign.back() == '_') callsign.pop_back();
    return callsign;
}

bool testRange(const StandUse& use, int start, int back, int& previousDay) {
    previousDay = -1;
    try {
        lf_checkPosition(start);
        const int lowest = std::max(start - back, 0);
        for (int h = start; h >= lowest; --h) {
            if (gf_halfHourSet(use.hh, h)) return true;
        }
        if (start - back < 0) previousDay = std::min(back - start, kHalfHoursPerDay - 2);
    } catch (const std::exception& e) {
        gf_logLineOfString(vrn::format("{}exception {} in testRange, start: {}, offset: {}", "===> ", e.what(), start, back));
    }
    return false;
}

bool gf_standUseMatches(const std::string& text, const Flight& flight, const StandUse& use) {
    if (!lf_usable(use)) return false;
    if (use.callsign == text || use.coupled == text) return true;
    return use.airline == flight.airline && use.model == flight.model;
}

bool gf_findStandUse(const std::vector<StandUse>& uses, const std::string& text, const Flight& flight) {
    if (text.empty()) return false;
    return std::any_of(uses.begin(), uses.end(),
                       [&](const StandUse& use) { return gf_standUseMatches(text, flight, use); });
}

std::vector<StandUse>::iterator gf_scheduleSearch(std::vector<StandUse>& uses, const ScheduleKey& key) {
    return lf_scheduleSearch(uses.begin(), uses.end(), key);
}

std::vector<StandUse>::const_iterator gf_scheduleSearch(const std::vector<StandUse>& uses, const ScheduleKey& key) {
    return lf_scheduleSearch(uses.cbegin(), uses.cend(), key);
}

std::uint32_t gf_addStandUse(std::vector<StandUse>& uses, const Flight& flight, bool soft, DaySlot when,
                             std::string callsign, const std::string& registration) {
    callsign = gf_withoutGhostMark(std::move(callsign));
    while (!uses.empty() && uses.back().number == 0) uses.pop_back();
    const std::uint32_t number = uses.empty() ? 1 : uses.back().number + 1;

    StandUse use;
    use.airline = flight.airline;
    use.model = flight.model;
    if (!registration.empty()) {
        for (const std::string& variant : gf_regVariants(registration)) {
            std::optional<DbRecord> record;
            if (!gf_lookupDbRecord(record, variant) || !record) continue;
            // A record without a type keeps the flight's model: a use without one never matches.
            if (!record->type.empty()) use.model = record->type;
            use.airline = record->operatorCode.empty() ? record->airline : record->operatorCode;
            break;
        }
    }
    use.reg = registration;
    use.callsign = std::move(callsign);
    gf_setHalfHour(use.hh, gf_slotHalfHour(when));
    use.number = number;
    use.day = static_cast<std::uint32_t>(gf_slotDay(when));
    use.learning = 1;
    use.soft = soft ? 1 : 0;
    use.origin = UseOrigin::Run;
    uses.push_back(std::move(use));
    return number;
}

bool gf_updateStandUse(std::vector<StandUse>& uses, DaySlot when, std::uint32_t useNumber, std::string callsign) {
    try {
        callsign = gf_withoutGhostMark(std::move(callsign));
        if (useNumber == 0) return false;
        for (StandUse& use : uses) {
            if (use.number != useNumber) continue;
            lf_markStandUse(use, when, callsign);
            return true;
        }
    } catch (const std::exception& e) {
        gf_logArrowLine(vrn::format("Update Option exception {} {}", gf_daySlotText(when), e.what()));
    }
    return false;
}

}  // namespace vrn
