#include "airports/stand_search.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <random>
#include <unordered_map>

#include "airports/airport_list.h"
#include "airports/stand_learning.h"
#include "airports/stand_schedules.h"
#include "core/utilities.h"
#include "records/user_aircraft_block.h"
#include "settings/settings_catalogue.h"

namespace vrn {

std::atomic<bool> g_softLearningAllowed{false};
std::vector<StandUseSlot> g_standUseSlots;

void gf_rememberStandUseSlot(std::uint32_t aircraftId, DaySlot now) {
    const auto halfHour = static_cast<std::uint32_t>(gf_slotHalfHour(now));
    for (StandUseSlot& u : g_standUseSlots) {
        if (u.aircraftId != aircraftId) continue;
        u.halfHour = halfHour;
        return;
    }
    g_standUseSlots.push_back({aircraftId, halfHour});
}

namespace {

// 1.8 m, and a few micrometres more so that a span of exactly 1.8 m over the radius, after the
// metre-to-mile conversions, still fits.
constexpr double kFitToleranceNm = 0.0009719222462203025 + 1e-9;
constexpr double kOneMetreNm = 1.0 / 1852.0;
constexpr double kCallsignStandRadiusNm = 0.0458963282937365;  // 85 m
constexpr double kNearAirportNm = 5.0;
constexpr double kFarAwayNm = 900.0;
constexpr double kSmallStepNm = 0.00755939524838013;   // 14 m
constexpr double kLargeStepNm = 0.011339092872570195;  // 21 m
constexpr double kLargeHalfSpanNm = 0.009611230689557531;   // 17.8 m
// Nautical miles per radian of latitude (half of the haversine factor): the latitude difference
// alone never exceeds the great-circle distance, so it rules out far stands without a haversine.
constexpr double kNmPerRadian = 6875.493541569878 / 2.0;
constexpr double kDegToRad = 3.14159265358979323846 / 180.0;

// The stand list an answer was found in. The loader may empty and refill g_stands in the same
// storage, so the ends of the list are compared as well.
struct ListMark {
    const Stand* data = nullptr;
    std::size_t size = 0;
    std::string firstId, lastId;
    LatLon firstPosition, lastPosition;

    static ListMark of(const std::vector<Stand>& stands) {
        ListMark m{stands.data(), stands.size(), {}, {}, {}, {}};
        if (!stands.empty()) {
            m.firstId = stands.front().id;
            m.lastId = stands.back().id;
            m.firstPosition = stands.front().position;
            m.lastPosition = stands.back().position;
        }
        return m;
    }
    bool operator==(const ListMark& o) const {
        return data == o.data && size == o.size && firstId == o.firstId && lastId == o.lastId &&
               firstPosition.lat == o.firstPosition.lat && firstPosition.lon == o.firstPosition.lon &&
               lastPosition.lat == o.lastPosition.lat && lastPosition.lon == o.lastPosition.lon;
    }
};

struct NameCache {
    bool valid = false;
    LatLon position;
    ListMark list;
    std::string name;
};
NameCache l_nameCache;

bool lf_beyond(const LatLon& a, const LatLon& b, double limitNm) {
    return std::abs(a.lat - b.lat) * kDegToRad * kNmPerRadian > limitNm * 1.000001 + 1e-9;
}

bool lf_fits(const Stand& stand, const Aircraft& aircraft) {
    return aircraft.halfWingspanNm - stand.radius <= kFitToleranceNm;
}

double lf_scoreStep(const Aircraft& aircraft) {
    return aircraft.halfWingspanNm <= kLargeHalfSpanNm ? kSmallStepNm : kLargeStepNm;
}

bool lf_freeAt(const Stand& stand, DaySlot when) {
    const auto day = static_cast<std::uint32_t>(gf_slotDay(when));
    const int hh = gf_slotHalfHour(when);
    return std::none_of(stand.uses.begin(), stand.uses.end(), [&](const StandUse& use) {
        return use.number != 0 && use.day == day && gf_halfHourSet(use.hh, hh);
    });
}

enum class StandKind { Gate, Cargo, Any, Heli, Ramp };

struct Predicate {
    StandKind kind = StandKind::Any;
    bool gate = false;       // Gate kind: gates (true) or ramp stands only (false)
    bool fitting = true;     // fit test; else any size
    bool freeTest = true;
    bool matchFilter = true; // a candidate without a matching use is not taken after one with
    bool stepScore = true;   // score in size steps; else the size difference in whole nautical miles
};

bool lf_kindTakes(const Predicate& p, const Stand& s) {
    switch (p.kind) {
        case StandKind::Gate: return !s.cargo && !s.heli && (p.gate ? !s.ramp : s.ramp != 0);
        case StandKind::Cargo: return s.cargo && !s.heli;
        case StandKind::Any: return !s.heli;
        case StandKind::Heli: return s.heli != 0;
        case StandKind::Ramp: return s.ramp != 0;
    }
    return false;
}

// One pass of a predicate over all stands; every appended candidate is at least as good as the
// ones before it.
void lf_applyPredicate(const Predicate& p, DaySlot when, const Aircraft& aircraft,
                       std::vector<StandCandidate>& candidates) {
    const double step = lf_scoreStep(aircraft);
    int bestScore = 100;
    int bestMatch = 0;
    for (const Stand& stand : g_stands) {
        if (!lf_kindTakes(p, stand)) continue;
        if (p.fitting && !lf_fits(stand, aircraft)) continue;
        if (p.freeTest && !lf_freeAt(stand, when)) continue;
        const double diff = stand.radius - aircraft.halfWingspanNm;
        const int score = static_cast<int>(p.stepScore ? std::lround(diff / step) : std::lround(std::abs(diff)));
        if (score > bestScore) continue;
        const int match = gf_findStandUse(stand.uses, aircraft.callsign, aircraft) ? 1 : 0;
        if (p.matchFilter && match < bestMatch) continue;
        if (p.matchFilter) bestMatch = match;
        bestScore = score;
        candidates.push_back({stand.id, score, match});
    }
}

void lf_searchStand(DaySlot when, bool gate, const Aircraft& aircraft, std::vector<StandCandidate>& candidates) {
    lf_applyPredicate({StandKind::Gate, gate, true, true, true, true}, when, aircraft, candidates);
    if (candidates.empty())
        lf_applyPredicate({StandKind::Gate, gate, false, true, true, false}, when, aircraft, candidates);
}

void lf_searchCargo(DaySlot when, const Aircraft& aircraft, std::vector<StandCandidate>& candidates) {
    for (const Predicate& p : {Predicate{StandKind::Cargo, false, true, true, true, true},
                               Predicate{StandKind::Cargo, false, false, true, true, false},
                               Predicate{StandKind::Any, false, true, true, true, true},
                               Predicate{StandKind::Any, false, false, true, true, false}}) {
        lf_applyPredicate(p, when, aircraft, candidates);
        if (!candidates.empty()) return;
    }
}

void lf_searchHeli(DaySlot when, const Aircraft& aircraft, std::vector<StandCandidate>& candidates) {
    for (const Predicate& p : {Predicate{StandKind::Heli, false, true, true, true, true},
                               Predicate{StandKind::Ramp, false, true, true, true, true},
                               Predicate{StandKind::Heli, false, true, false, false, false},
                               Predicate{StandKind::Ramp, false, true, false, false, false}}) {
        lf_applyPredicate(p, when, aircraft, candidates);
        if (!candidates.empty()) return;
    }
}

DaySlot lf_nextHalfHour(DaySlot s) {
    const int hh = gf_slotHalfHour(s);
    if (hh < kHalfHoursPerDay - 1) return gf_makeDaySlot(gf_slotDay(s), hh + 1);
    return gf_makeDaySlot(gf_slotDay(s) % 7 + 1, 0);
}

std::vector<Stand>::iterator lf_searchStandRec(DaySlot when, const Aircraft& aircraft, bool tryNextHalfHour) {
    std::vector<StandCandidate> candidates;
    if (aircraft.sizeClass == SIZE_ROTORCRAFT) {
        lf_searchHeli(when, aircraft, candidates);
    } else if (aircraft.cargo) {
        lf_searchCargo(when, aircraft, candidates);
    } else if (aircraft.sizeClass == SIZE_LIGHT || aircraft.sizeClass == SIZE_BUSINESS_JET || aircraft.airline == "PVT") {
        lf_searchStand(when, false, aircraft, candidates);
    } else {
        const bool gate = (!g_parkAirport.code.empty() && g_parkAirport.code.front() == 'K') ||
                          gf_randomEngine()() % 100 >= 10;
        lf_searchStand(when, gate, aircraft, candidates);
        if (candidates.empty()) lf_searchStand(when, !gate, aircraft, candidates);
    }

    if (candidates.empty()) {
        if (tryNextHalfHour && g_stands.size() > 10) return lf_searchStandRec(lf_nextHalfHour(when), aircraft, false);
        return g_stands.end();
    }
    if (candidates.size() > 1) {
        if (RANDOM.get()) std::shuffle(candidates.begin(), candidates.end(), gf_randomEngine());
        std::stable_sort(candidates.begin(), candidates.end(), [](const StandCandidate& a, const StandCandidate& b) {
            if (a.match != b.match) return a.match > b.match;
            return a.score < b.score;
        });
    }
    return gf_findStandByName(candidates.front().name);
}

StandUseSlot* lf_standUseSlotOf(std::uint32_t aircraftId) {
    for (StandUseSlot& u : g_standUseSlots)
        if (u.aircraftId == aircraftId) return &u;
    return nullptr;
}

// At most one search per aircraft in three half hours after a search or a recorded stand use.
bool lf_standChoiceDue(DaySlot now, std::uint32_t aircraftId, bool force) {
    const auto slot = static_cast<std::uint32_t>(gf_slotHalfHour(now));
    const StandUseSlot* last = lf_standUseSlotOf(aircraftId);
    if (!force && last && (slot + kHalfHoursPerDay - last->halfHour) % kHalfHoursPerDay < 3) return false;
    gf_rememberStandUseSlot(aircraftId, now);
    return true;
}

// The aircraft's entry goes; the last entry takes its place.
void lf_forgetStandUseSlot(std::uint32_t aircraftId) {
    StandUseSlot* entry = lf_standUseSlotOf(aircraftId);
    if (!entry) return;
    *entry = g_standUseSlots.back();
    g_standUseSlots.pop_back();
}

}  // namespace

std::vector<Stand>::iterator gf_nearestStand(const LatLon& position, const Aircraft& aircraft, double radiusNm,
                                             bool byCallsign) {
    std::lock_guard lock(g_standsMutex);
    auto result = g_stands.end();
    auto callsignStand = g_stands.end();
    double best = kFarAwayNm;
    double secondBest = kFarAwayNm;
    bool oversize = false;
    bool callsignChoice = byCallsign;
    const double reach = std::max(radiusNm, byCallsign ? kCallsignStandRadiusNm : 0.0);
    for (auto it = g_stands.begin(); it != g_stands.end(); ++it) {
        const Stand& stand = *it;
        if (stand.occupied) continue;
        if (lf_beyond(position, stand.position, reach)) continue;
        const double d = gf_distanceNm(position, stand.position);
        const bool fits = lf_fits(stand, aircraft);
        if (d <= radiusNm && d < best && (fits || d <= kCloseStandRadiusNm)) {
            result = it;
            best = d;
            oversize = !fits;
            callsignChoice = false;
            continue;
        }
        if (callsignChoice && d <= kCallsignStandRadiusNm && d < secondBest && fits && !aircraft.callsign.empty() &&
            gf_findStandUse(stand.uses, aircraft.callsign, aircraft)) {
            callsignStand = it;
            secondBest = d;
        }
    }
    if (result == g_stands.end()) {
        result = callsignStand;
        oversize = false;
    }
    if (result == g_stands.end()) return result;
    if ((result->heli != 0) != (aircraft.sizeClass == SIZE_ROTORCRAFT)) return g_stands.end();
    if (oversize) {
        result->radius = aircraft.halfWingspanNm - kOneMetreNm;
        result->radiusChanged = 1;
        gf_countApfUpdate();
    }
    return result;
}

std::string gf_standNameAt(const LatLon& position) {
    std::lock_guard lock(g_standsMutex);
    if (g_stands.empty() || !g_userOnGround.load()) return {};
    NameCache& c = l_nameCache;
    ListMark mark = ListMark::of(g_stands);
    if (c.valid && c.position.lat == position.lat && c.position.lon == position.lon && c.list == mark) return c.name;
    double best = kFarAwayNm;
    const Stand* found = nullptr;
    for (const Stand& stand : g_stands) {
        if (lf_beyond(position, stand.position, kStandNameRadiusNm)) continue;
        const double d = gf_distanceNm(position, stand.position);
        if (d <= kStandNameRadiusNm && d < best) {
            best = d;
            found = &stand;
        }
    }
    c = {true, position, std::move(mark), found ? found->id : std::string()};
    return c.name;
}

std::vector<Stand>::iterator gf_findStandByName(const std::string& name) {
    std::lock_guard lock(g_standsMutex);
    return std::find_if(g_stands.begin(), g_stands.end(), [&](const Stand& s) { return s.id == name; });
}

std::string gf_standNameOfNumber(std::uint32_t number) {
    if (number == 0) return "sid==0?";
    std::lock_guard lock(g_standsMutex);
    if (number <= g_stands.size() && g_stands[number - 1].number == number) return g_stands[number - 1].id;
    for (const Stand& s : g_stands)
        if (s.number == number) return s.id;
    return "unknown";
}

void gf_chooseStand(LiveAircraft& aircraft) {
    std::lock_guard lock(g_standsMutex);
    if (!LEARN_SOFT.get() || !g_softLearningAllowed.load() || g_parkAirport.code.empty() || aircraft.standId != 0)
        return;
    // Without registration or callsign no use can be recorded, so there is nothing to search for.
    if (aircraft.registration.empty() || aircraft.callsign.empty()) return;
    const LatLon where{aircraft.position.latitude, aircraft.position.longitude};
    if (gf_distanceNm(where, g_parkAirport.position()) > kNearAirportNm) return;

    const DaySlot now = gf_nowDaySlot();
    DaySlot recordedAt = 0;
    const std::uint32_t softStand = gf_softStandOf(aircraft.aircraftId, recordedAt);
    if (softStand != 0 && recordedAt != now) {
        if (gf_recordSoftStandUse(softStand, aircraft, true, now) != 0) gf_rememberStandUseSlot(aircraft.aircraftId, now);
        return;
    }
    if (!lf_standChoiceDue(now, aircraft.aircraftId, false)) return;

    const ScheduleKey key{now, aircraft.registration};
    for (const Stand& stand : g_stands)
        if (gf_scheduleSearch(stand.uses, key) != stand.uses.end()) return;

    auto stand = lf_searchStandRec(now, aircraft, true);
    if (stand == g_stands.end()) return;
    if (gf_recordSoftStandUse(stand->number, aircraft, false, now) == 0) lf_forgetStandUseSlot(aircraft.aircraftId);
}

void gf_resetStandSearch() {
    std::lock_guard lock(g_standsMutex);
    g_standUseSlots.clear();
    l_nameCache = {};
    gf_resetStandLearning();
}

}  // namespace vrn
