// Made-up uses for PARK_FAKE: every stand gets one soft use for the current half hour, with an
// airline and type that suit the stand and the airport's region. They are never saved.
#include <array>
#include <string_view>

#include "airports/airport_files.h"
#include "core/format.h"
#include "core/utilities.h"
#include "liveries/type_queries.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {

struct FakePair {
    std::string_view airline;
    std::string_view model;
};

constexpr FakePair kHeliPair{"PVT", "EC35"};
constexpr std::array<FakePair, 5> kCargoPairs{{{"FDX", "C208"}, {"FDX", "B752"}, {"FDX", "B763"}, {"UPS", "A306"},
                                               {"DHK", "B763"}}};
constexpr std::array<std::string_view, 19> kRampTypes{"C172", "C206", "P28A", "PC12", "C550", "TBM9", "LJ25",
                                                      "GLF6", "FA6X", "FA8X", "GLF4", "GLF5", "LJ60", "DHC7",
                                                      "DH8A", "DH8C", "E550", "CL30", "GA6C"};
constexpr std::array<FakePair, 10> kRegionK{{{"UAL", "B77W"}, {"DAL", "B739"}, {"JBU", "BCS3"}, {"FFT", "A320"},
                                             {"UAL", "B78X"}, {"UAL", "B738"}, {"AAL", "B738"}, {"SKW", "E75L"},
                                             {"SWA", "B737"}, {"FFT", "A320"}}};
constexpr std::array<FakePair, 4> kRegionC{{{"ACA", "B789"}, {"ACA", "B38M"}, {"ROU", "A321"}, {"JZA", "CRJ9"}}};
constexpr std::array<FakePair, 7> kRegionE{{{"KLM", "B77W"}, {"SAS", "A320"}, {"EZY", "A320"}, {"RYR", "B738"},
                                            {"DLH", "A320"}, {"KLM", "B738"}, {"BAW", "A21N"}}};
constexpr std::array<FakePair, 3> kRegionZ{{{"CSA", "A320"}, {"CES", "A333"}, {"CES", "A321"}}};
constexpr std::array<FakePair, 3> kRegionR{{{"ANA", "A20N"}, {"JAL", "A35K"}, {"JAL", "B738"}}};
constexpr FakePair kOtherPair{"ZZZ", "B738"};

struct FakeContext {
    std::uint32_t day = 0;
    std::uint64_t hours = 0;
    int counter = 1;
    std::string code;
};

bool lf_fits(const Stand& stand, std::string_view model) {
    return gf_wingspanFitsStand(stand, gf_halfWingspanNm(std::string(model)));
}

template <std::size_t N>
void lf_fitting(std::vector<FakePair>& out, const std::array<FakePair, N>& table, const Stand& stand) {
    for (const FakePair& pair : table) {
        if (lf_fits(stand, pair.model)) out.push_back(pair);
    }
}

// The pairs of the airport's region table that fit the stand, in table order.
void lf_fakeTypesThatFit(std::vector<FakePair>& out, const Stand& stand, char region) {
    switch (region) {
        case 'K': lf_fitting(out, kRegionK, stand); break;
        case 'C': lf_fitting(out, kRegionC, stand); break;
        case 'E': lf_fitting(out, kRegionE, stand); break;
        case 'Z': lf_fitting(out, kRegionZ, stand); break;
        case 'R': lf_fitting(out, kRegionR, stand); break;
        default: out.push_back(kOtherPair); break;
    }
}

void lf_makeFakeAircraft(FakeContext& context, Stand& stand) {
    std::vector<FakePair> candidates;
    if (stand.heli) {
        candidates.push_back(kHeliPair);
    } else if (stand.cargo) {
        lf_fitting(candidates, kCargoPairs, stand);
    } else if (stand.ramp) {
        for (std::string_view model : kRampTypes) {
            if (lf_fits(stand, model)) candidates.push_back({"PVT", model});
        }
    } else {
        lf_fakeTypesThatFit(candidates, stand, context.code.empty() ? '\0' : context.code.front());
    }
    if (candidates.empty()) return;
    const FakePair& chosen = candidates[static_cast<std::size_t>(gf_randomIndex(static_cast<std::int64_t>(candidates.size())))];
    if (chosen.model.empty()) return;
    StandUse use;
    use.airline = std::string(chosen.airline);
    use.model = std::string(chosen.model);
    use.reg = format("REGFAKE{}", context.counter);
    use.callsign = format("FAKE{}", context.counter);
    use.hh = context.hours;
    use.number = stand.uses.empty() ? 1 : stand.uses.back().number + 1;
    use.day = context.day;
    use.learning = 0;
    use.soft = 1;
    use.origin = UseOrigin::Fake;
    stand.uses.push_back(std::move(use));
    ++context.counter;
}

}  // namespace

void lf_fakeAircraftTypes(const std::string& code, std::vector<Stand>& stands) {
    const DaySlot now = gf_nowDaySlot();
    FakeContext context;
    context.day = static_cast<std::uint32_t>(gf_slotDay(now));
    const int slot = gf_slotHalfHour(now);
    context.hours = (slot >= 0 && slot < kHalfHoursPerDay) ? (std::uint64_t{1} << slot) : 0;
    context.code = code;
    for (Stand& stand : stands) lf_makeFakeAircraft(context, stand);
}

}  // namespace vrn
