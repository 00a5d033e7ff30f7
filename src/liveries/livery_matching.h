#pragma once
// The matching ladder: the simulator title in which a live or static aircraft is shown, from its
// registration down to any livery of a similar model; the titles the simulator failed to create,
// the per-step counters and the summary in Log.txt.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "records/flight_records.h"

namespace vrn {

struct Stand;

// Leaves the chosen title in aircraft.liveryTitle (empty when none) and sets aircraft.fsltlTitle.
void gf_matchLiveryLive(Aircraft& aircraft);
// For a static parked aircraft at a stand whose cargo flag and name are given; true with a title.
bool gf_matchLiveryStatic(Aircraft& aircraft, bool standCargo, const std::string& standName);
// Same, with the stand record of the airport files.
bool gf_matchLiveryStatic(Aircraft& aircraft, const Stand& stand);
// The simulator could not create the aircraft in its title. The 20th failure throws UserErrorException 81.
void gf_reportCreationFailure(const Aircraft& aircraft);
// The summary block in Log.txt (matches per step, titles that failed).
void gf_logLiveryMatchingSummary();

// Read access for the summary and the tests; all guarded inside.
std::vector<std::string> gf_failedTitles();
std::array<std::int32_t, 6> gf_matchCounts();
// Forgets failures and counts (tests; a process keeps them for its whole life).
void gf_resetLiveryMatching();

}  // namespace vrn
