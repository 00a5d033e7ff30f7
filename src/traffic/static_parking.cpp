// Static parking: the placement list from the learned uses of the park airport's stands, and its
// 20-minute renewal against the live and static aircraft already parked there.
#include "traffic/static_parking.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "airports/stand_schedules.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "liveries/type_queries.h"
#include "settings/settings_catalogue.h"
#include "simlink/user_aircraft.h"
#include "traffic/traffic_engine.h"
#include "traffic/traffic_lists.h"

namespace vrn {

std::vector<StaticKept> g_staticKept;
std::vector<StaticRemoval> g_staticRemovals;
int g_realFitOffset = 0;
int g_softFitOffset = -1;

namespace {

constexpr int kLastSlot = kHalfHoursPerDay - 1;

int lf_nextDay(int day) { return day >= 7 ? 1 : day + 1; }
int lf_previousDay(int day) { return day <= 1 ? 7 : day - 1; }

// `now` moved back by n half hours, across midnight into the previous days.
DaySlot lf_slotBack(DaySlot now, int n) {
    int day = gf_slotDay(now);
    int slot = gf_slotHalfHour(now) - n;
    while (slot < 0) {
        slot += kHalfHoursPerDay;
        day = lf_previousDay(day);
    }
    return gf_makeDaySlot(day, slot);
}

bool lf_validUse(const StandUse& use) { return use.number != 0; }

bool lf_excluded(const std::string& callsign) {
    return !callsign.empty() &&
           (g_staticExcludedCallsigns.count(callsign) != 0 || g_staticExcludedCallsigns.count(callsign + "_") != 0);
}

// The aircraft of this use (airline and model) is at the stand in the half hour after `slot`.
bool lf_atStandNextHalfHour(const Stand& stand, const StandUse& use, DaySlot slot) {
    const int h = gf_slotHalfHour(slot);
    if (h < kLastSlot) return gf_halfHourSet(use.hh, h + 1);
    const int next = lf_nextDay(gf_slotDay(slot));
    return std::any_of(stand.uses.begin(), stand.uses.end(), [&](const StandUse& u) {
        return lf_validUse(u) && static_cast<int>(u.day) == next && u.airline == use.airline && u.model == use.model &&
               gf_halfHourSet(u.hh, 0);
    });
}

// A static parked aircraft on an adjacent stand would touch an aircraft of this model here.
bool lf_adjacentStaticTouches(const Stand& stand, const std::string& model) {
    for (std::uint32_t adjacentNumber : stand.adjacent) {
        const Stand* adjacent = gf_standByNumber(adjacentNumber);
        if (!adjacent) continue;
        for (const Aircraft& s : g_staticParked) {
            if (s.state != STATE_IN_SIM || static_cast<std::uint32_t>(s.standId) != adjacentNumber) continue;
            if (gf_distanceNm(adjacent->position, stand.position) < gf_halfWingspanNm(s.model) + gf_halfWingspanNm(model))
                return true;
        }
    }
    return false;
}

const Aircraft* lf_staticAtStand(std::uint32_t standNumber) {
    for (const Aircraft& s : g_staticParked)
        if (s.state == STATE_IN_SIM && static_cast<std::uint32_t>(s.standId) == standNumber) return &s;
    return nullptr;
}

// With several uses to choose from, the one the static aircraft already there shows comes first;
// otherwise the order is drawn.
void lf_orderUses(const Stand& stand, std::vector<std::uint32_t>& numbers) {
    if (numbers.size() < 2 || !RANDOM.get()) return;
    if (const Aircraft* parked = lf_staticAtStand(stand.number)) {
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            const StandUse& use = stand.uses[numbers[i]];
            if (use.airline == parked->airline && use.model == parked->model &&
                (gf_equalsStarred(use.callsign, parked->callsign) || gf_equalsStarred(use.coupled, parked->callsign))) {
                std::swap(numbers[0], numbers[i]);
                return;
            }
        }
    }
    for (std::size_t i = 1; i < numbers.size(); ++i)
        std::swap(numbers[i], numbers[static_cast<std::size_t>(gf_randomIndex(static_cast<std::int64_t>(i) + 1))]);
}

// The use must not show an aircraft that is elsewhere already: placed in this computation (also
// at another stand in the same half hour), flying live, or parked live.
bool lf_useDropped(const StandUse& use) {
    if (!use.reg.empty() && g_staticTakenRegistrations.count(use.reg)) return true;
    if (lf_excluded(use.callsign) || lf_excluded(use.coupled)) return true;
    for (const StaticPlacement& p : g_staticPlacements)
        if (p.registration == use.reg && p.callsign == use.callsign && p.airline == use.airline && p.model == use.model)
            return true;
    for (const LiveStayer& stayer : g_liveStayers)
        if ((!use.callsign.empty() && stayer.callsign == use.callsign) ||
            (!use.coupled.empty() && stayer.callsign == use.coupled))
            return true;
    return false;
}

void lf_searchStands(DaySlot now, bool soft, int offset, std::vector<StaticCandidate>& found) {
    const DaySlot t = lf_slotBack(now, offset);
    const int day = gf_slotDay(t);
    const int slot = gf_slotHalfHour(t);
    const bool week = WEEK.get();
    const bool helicopters = HELICOPTERS.get();
    std::vector<std::uint32_t> numbers;   // indices into the stand's uses
    for (Stand& stand : g_stands) {
        if (stand.taken || stand.reserved || stand.blocked || (stand.heli && !helicopters)) continue;
        numbers.clear();
        for (std::uint32_t i = 0; i < stand.uses.size(); ++i) {
            const StandUse& use = stand.uses[i];
            if (!lf_validUse(use) || (use.soft != 0) != soft || (!week && static_cast<int>(use.day) != day) ||
                !gf_halfHourSet(use.hh, slot))
                continue;
            if (lf_adjacentStaticTouches(stand, use.model)) continue;
            numbers.push_back(i);
        }
        if (numbers.empty()) continue;
        lf_orderUses(stand, numbers);
        const StandUse& use = stand.uses[numbers.front()];
        if (lf_useDropped(use)) continue;
        const bool stays = use.coupled.empty() || lf_atStandNextHalfHour(stand, use, t);
        found.push_back({use.airline, use.model, stand.number, static_cast<std::uint32_t>(offset), use.reg,
                         use.callsign, use.coupled, stays});
        if (!use.reg.empty()) g_staticTakenRegistrations.insert(use.reg);
        gf_blockStandAndAdjacent(stand);
    }
}

int lf_takenCount() {
    return static_cast<int>(std::count_if(g_stands.begin(), g_stands.end(), [](const Stand& s) { return s.taken != 0; }));
}

std::string lf_hoursText(int halfHours) { return gf_floatText(static_cast<float>(halfHours) * 0.5f + 0.5f); }

bool lf_fitHours(DaySlot now, bool soft, int wanted, std::vector<StaticCandidate>& found,
                 std::vector<StaticCandidate>& result) {
    const int before = lf_takenCount();
    const int maxFit = std::clamp(MAX_FIT.get(), 0, kLastSlot);
    int offset = 0;
    for (;; ++offset) {
        lf_searchStands(now, soft, offset, found);
        if (lf_takenCount() >= wanted) break;
        std::move(found.begin(), found.end(), std::back_inserter(result));
        found.clear();
        if (offset >= maxFit) break;
    }
    if (soft) {
        g_softFitOffset = offset;
    } else {
        g_realFitOffset = offset;
        g_softFitOffset = -1;
    }
    const int newly = lf_takenCount() - before;
    if (newly > 0) {
        const std::string days = WEEK.get() ? ", week" : vrn::format(", day {}", gf_slotDay(now));
        gf_logLine(vrn::format("{} {} position{} found, Max fit={} hours{}{}", newly, soft ? "soft" : "real",
                               newly >= 2 ? "s" : "", lf_hoursText(maxFit), days,
                               vrn::format(", hh:{} or {} hrs", gf_slotHalfHour(now), lf_hoursText(gf_slotHalfHour(now))) +
                                   vrn::format(" fit: {} hour", lf_hoursText(offset))));
    }
    return newly > 0;
}

void lf_dropRandomCandidates(int n, std::vector<StaticCandidate>& v) {
    if (RANDOM.get()) std::shuffle(v.begin(), v.end(), gf_randomEngine());
    for (; n > 0 && !v.empty(); --n) v.pop_back();
}

void lf_fitBitsets(DaySlot now, int wanted, int present) {
    std::vector<StaticCandidate> found;
    std::vector<StaticCandidate> result;
    found.reserve(512);
    result.reserve(512);
    const auto surplus = [&] { return static_cast<int>(result.size() + found.size()) - wanted + present; };
    const auto pass = [&](bool soft) {
        if (!lf_fitHours(now, soft, wanted, found, result)) return;
        // The last half hour searched may overshoot: which of its stands stay is drawn.
        if (surplus() > 0) lf_dropRandomCandidates(surplus(), found);
        std::move(found.begin(), found.end(), std::back_inserter(result));
        found.clear();
        while (!result.empty() && surplus() > 0) result.pop_back();
    };
    pass(false);
    if (static_cast<int>(result.size()) + present < wanted && (PARK_SOFT.get() || PARK_FAKE.get())) pass(true);
    for (StaticCandidate& c : result) {
        StaticPlacement p;
        p.age = c.fitOffset;
        p.airline = std::move(c.airline);
        p.model = std::move(c.model);
        p.standId = c.standNumber;
        p.callsign = std::move(c.callsign);
        p.coupledCallsign = std::move(c.coupledCallsign);
        p.registration = std::move(c.registration);
        // An aircraft that leaves within the half hour shows the callsign of its departure.
        p.useLearnedCallsign = c.stays ? 1 : 0;
        g_staticPlacements.push_back(std::move(p));
    }
}

DaySlot lf_logTimeOfDay() {
    const DaySlot now = g_currentDaySlot.load();
    const int slot = gf_slotHalfHour(now);
    gf_logLine(vrn::format("\n{} (utc) It is day {} ({}), {} hours", gf_utcTimeText(gf_programTime()), gf_slotDay(now),
                           gf_dayName(gf_slotDay(now)), lf_hoursText(slot)));
    return now;
}

void lf_markReservedStands() {
    const std::string reserved = g_reservedStand.get();
    if (!reserved.empty()) {
        const auto it = gf_findStandByName(reserved);
        if (it != g_stands.end()) it->reserved = 1;
    }
    const std::string underUser = gf_standNameAt(gf_userState().position);
    if (!underUser.empty() && underUser != reserved) {
        const auto it = gf_findStandByName(underUser);
        if (it != g_stands.end()) it->reserved = 1;
    }
}

void lf_clearMarks() {
    for (Stand& s : g_stands) s.taken = s.reserved = s.blocked = 0;
}

void lf_sortPlacements(bool smallestFirst) {
    std::stable_sort(g_staticPlacements.begin(), g_staticPlacements.end(),
                     [&](const StaticPlacement& a, const StaticPlacement& b) {
                         return smallestFirst ? a.age < b.age : a.age > b.age;
                     });
}

// The aircraft parked at `standTime` still fits a placement `age` half hours back.
bool lf_parkedWithin(DaySlot now, DaySlot standTime, std::uint32_t age) {
    return gf_halfHoursBetween(now, standTime) <= age;
}

// The stand still has a use of the aircraft's airline and model in the look-back before now.
bool lf_stillUsed(const Stand& stand, const Aircraft& s, DaySlot now, int back) {
    const int day = gf_slotDay(now);
    int previous = -1;
    for (const StandUse& use : stand.uses) {
        if (!lf_validUse(use) || static_cast<int>(use.day) != day || use.airline != s.airline || use.model != s.model)
            continue;
        if (testRange(use, gf_slotHalfHour(now), back, previous)) return true;
    }
    if (previous < 0) return false;
    const int yesterday = lf_previousDay(day);
    int unused = -1;
    return std::any_of(stand.uses.begin(), stand.uses.end(), [&](const StandUse& use) {
        return lf_validUse(use) && static_cast<int>(use.day) == yesterday && use.airline == s.airline &&
               use.model == s.model && testRange(use, kLastSlot, previous, unused);
    });
}

// Whether a static aircraft in the simulator stays; a placement it satisfies is dropped.
bool lf_keepStatic(const Aircraft& s, DaySlot now, int back) {
    if (lf_excluded(s.knownCallsign) || lf_excluded(s.coupledCallsign)) return false;
    const auto standNumber = static_cast<std::uint32_t>(s.standId);
    const auto own = std::find_if(g_staticPlacements.begin(), g_staticPlacements.end(),
                                  [&](const StaticPlacement& p) { return p.standId == standNumber; });
    if (own != g_staticPlacements.end()) {
        const bool same = own->airline == s.airline && own->model == s.model &&
                          (gf_equalsStarred(own->callsign, s.callsign) || gf_equalsStarred(own->coupledCallsign, s.callsign));
        const bool keep = same || lf_parkedWithin(now, s.standTime, own->age);
        if (keep) g_staticPlacements.erase(own);
        return keep;
    }
    const Stand* stand = gf_standByNumber(standNumber);
    if (!stand) return false;
    for (auto p = g_staticPlacements.begin(); p != g_staticPlacements.end(); ++p) {
        if (std::find(stand->adjacent.begin(), stand->adjacent.end(), p->standId) == stand->adjacent.end()) continue;
        const Stand* wanted = gf_standByNumber(p->standId);
        if (!wanted || gf_distanceNm(wanted->position, stand->position) >=
                           gf_halfWingspanNm(p->model) + gf_halfWingspanNm(s.model))
            continue;
        const bool keep = lf_parkedWithin(now, s.standTime, p->age);
        if (keep) g_staticPlacements.erase(p);
        return keep;
    }
    return lf_stillUsed(*stand, s, now, back);
}

// A kept aircraft that shows its departure callsign and is gone in the next half hour.
bool lf_leavesSoon(const StaticKept& k, DaySlot now) {
    if (k.coupledCallsign.empty() || k.callsign.find(k.coupledCallsign) == std::string::npos) return false;
    const Stand* stand = gf_standByNumber(k.standNumber);
    if (!stand) return false;
    std::string callsign = k.callsign;
    if (gf_endsWith(callsign, '*')) callsign.pop_back();
    const int day = gf_slotDay(now);
    for (const StandUse& use : stand->uses) {
        if (!lf_validUse(use) || static_cast<int>(use.day) != day || use.airline != k.airline || use.model != k.model ||
            (use.callsign != callsign && use.coupled != callsign))
            continue;
        return !lf_atStandNextHalfHour(*stand, use, now);
    }
    return false;
}

void lf_keepTest(DaySlot now) {
    const int back = std::min(std::max(g_realFitOffset, g_softFitOffset), kLastSlot);
    for (const Aircraft& s : g_staticParked) {
        if (s.state != STATE_IN_SIM) continue;
        if (lf_keepStatic(s, now, back))
            g_staticKept.push_back({s.callsign, s.knownCallsign, s.coupledCallsign, s.airline, s.model, s.standTime,
                                    static_cast<std::uint32_t>(s.standId), 0});
        else
            g_staticRemovals.push_back({s.callsign, static_cast<std::uint32_t>(s.standId)});
    }
    // Most recently parked first: the surplus is taken from the end, the longest parked.
    std::stable_sort(g_staticKept.begin(), g_staticKept.end(), [&](const StaticKept& a, const StaticKept& b) {
        return gf_halfHoursBetween(now, a.standTime) < gf_halfHoursBetween(now, b.standTime);
    });
    for (StaticKept& k : g_staticKept) k.flag = lf_leavesSoon(k, now) ? 1 : 0;
    std::erase_if(g_staticKept, [](const StaticKept& k) { return k.flag != 0; });
}

void lf_trimSurplus(int wanted) {
    lf_sortPlacements(true);
    int surplus =
        static_cast<int>(g_liveStayers.size() + g_staticKept.size() + g_staticPlacements.size()) - wanted;
    for (; surplus > 0 && !g_staticPlacements.empty(); --surplus) g_staticPlacements.pop_back();
    for (; surplus > 0 && !g_staticKept.empty(); --surplus) {
        g_staticRemovals.push_back({g_staticKept.back().callsign, g_staticKept.back().standNumber});
        g_staticKept.pop_back();
    }
    if (INITIAL_LOAD_ONLY.get()) return;
    for (; surplus > 0 && !g_liveStayers.empty(); --surplus) {
        if (LiveAircraft* live = gf_liveById(static_cast<std::uint32_t>(g_liveStayers.back().aircraftId)))
            if (live->state == STATE_IN_SIM) gf_removeLiveAircraft(*live);
        g_liveStayers.pop_back();
    }
}

void lf_removeStatics() {
    for (const StaticRemoval& r : g_staticRemovals) {
        for (Aircraft& s : g_staticParked) {
            if (static_cast<std::uint32_t>(s.standId) != r.standNumber || s.callsign != r.callsign) continue;
            // One already on its way out is not queued a second time.
            if (s.state == STATE_IN_SIM) gf_removeLiveAircraft(s);
            break;
        }
    }
}

void lf_resetWindowAverages() {
    MainWindow& w = g_mainWindow;
    w.g_staticAverageFit.store(-1.0f);
    w.g_liveAverageFit.store(-1.0f);
    gf_invalidateBand(Band::Park);
}

}  // namespace

void gf_blockStandAndAdjacent(Stand& stand) {
    stand.taken = 1;
    for (std::uint32_t number : stand.adjacent)
        if (Stand* adjacent = gf_standByNumber(number)) adjacent->blocked = 1;
}

void lf_parkingPercentage() {
    std::lock_guard lock(g_standsMutex);
    const DaySlot now = lf_logTimeOfDay();
    gf_showStatus("Making changes to airport parking parameters is disabled while static parking takes place ...",
                  false);
    g_staticPlacements.clear();
    g_staticKept.clear();
    g_staticKept.reserve(256);
    g_liveStayers.clear();
    g_liveStayers.reserve(64);
    lf_resetWindowAverages();
    gf_resetStaticLists();
    lf_clearMarks();
    lf_markReservedStands();
    const int wanted = gf_wantedParkedCount();
    try {
        if (wanted > static_cast<int>(g_staticPlacements.size()))
            lf_fitBitsets(now, wanted, static_cast<int>(g_staticPlacements.size()));
    } catch (const std::exception& e) {
        gf_logLine(vrn::format("exception in lf_searchStands, day: {}, offset {}: {}", gf_slotDay(now),
                               g_realFitOffset, e.what()));
    }
    lf_sortPlacements(true);
    if (static_cast<int>(g_staticPlacements.size()) > wanted) g_staticPlacements.resize(static_cast<std::size_t>(wanted));
    const int placed = static_cast<int>(g_staticPlacements.size());
    const int percentage =
        g_stands.empty() ? 0 : static_cast<int>(std::lround(placed * 100.0 / static_cast<double>(g_stands.size())));
    if (placed < 1) {
        gf_logLine("no parking positions found");
        gf_enableParkingControls();
        return;
    }
    gf_logLine(vrn::format("{} positions ({}% vs wanted {}%, with Max fit={} hours)\n", placed, percentage,
                           parking_percentage.get(), lf_hoursText(MAX_FIT.get())));
    lf_sortPlacements(false);
    gf_disableParkingControls();
}

void gf_parkingAdjustments() {
    std::lock_guard lock(g_standsMutex);
    const DaySlot now = lf_logTimeOfDay();
    gf_resetStaticLists();
    gf_disableParkingControls();
    lf_resetWindowAverages();
    g_staticRemovals.clear();
    g_staticKept.clear();
    g_liveStayers.clear();
    g_staticPlacements.clear();
    // Use numbers are given in list order wherever uses are made and no use leaves a list while the
    // airport is loaded, so they need no renumbering; the stands' records of live aircraft keep
    // pointing at them.
    lf_clearMarks();
    lf_markReservedStands();
    const int wanted = gf_wantedParkedCount();
    gf_collectLiveStayers();
    if (wanted > 0 && static_cast<int>(g_liveStayers.size()) > wanted) {
        const int surplus = static_cast<int>(g_liveStayers.size()) - wanted;
        gf_showStatus(vrn::format("Parking adjustments: {} more live ac than wanted", surplus), true);
        gf_removeSurplusLiveParked(surplus);
        g_liveStayers.clear();
        gf_collectLiveStayers();
    }
    for (const LiveStayer& stayer : g_liveStayers)
        if (Stand* stand = gf_standByNumber(stayer.standId)) gf_blockStandAndAdjacent(*stand);
    const int present = static_cast<int>(g_liveStayers.size() + g_staticKept.size() + g_staticPlacements.size());
    try {
        if (wanted > present) lf_fitBitsets(now, wanted, present);
    } catch (const std::exception& e) {
        gf_logLine(vrn::format("exception in lf_searchStands, day: {}, offset {}: {}", gf_slotDay(now),
                               g_realFitOffset, e.what()));
    }
    lf_keepTest(now);
    lf_trimSurplus(wanted);
    lf_sortPlacements(false);
    gf_showStatus(vrn::format("Parking adjustments: {} to be removed, {} to be added\n", g_staticRemovals.size(),
                              g_staticPlacements.size()),
                  true);
    lf_removeStatics();
    if (!g_staticPlacements.empty()) gf_disableParkingControls();
}

int gf_refreshStaticParkedHours(bool store) {
    const DaySlot now = g_currentDaySlot.load();
    int count = 0;
    std::uint64_t halfHours = 0;
    for (const Aircraft& s : g_staticParked) {
        if (s.state != STATE_IN_SIM && s.state != STATE_REMOVING) continue;
        ++count;
        halfHours += gf_halfHoursBetween(now, s.standTime);
    }
    if (store && !WEEK.get()) {
        const float average = count == 0 ? 0.0f : static_cast<float>(halfHours) / (2.0f * count) + 0.5f;
        if (g_mainWindow.g_staticAverageFit.exchange(average) != average) gf_invalidateBand(Band::Park);
    }
    return count;
}

void gf_clearStaticParkingLists() {
    g_staticKept.clear();
    g_staticRemovals.clear();
    g_realFitOffset = 0;
    g_softFitOffset = -1;
}

}  // namespace vrn
