#pragma once
// AI flight plans: the orig_dest folder under the program's data folder, one "<objectId>.pln"
// per AI object, and the log of the flights no livery was found for.
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

#include "records/flight_records.h"

namespace vrn {

// <data folder>/orig_dest, set by gf_makeOrigDestFolder.
std::filesystem::path gf_flightPlanFolder();

// Sets the folder and makes it (and the data folder) when missing; true when it exists afterwards.
// A folder that cannot be made is UserErrorException 45, naming the data folder.
bool gf_makeOrigDestFolder();
std::filesystem::path gf_flightPlanFileName(std::uint32_t objectId);   // "{}.pln"
// Writes the plan (created or replaced); false when the file cannot be opened.
bool gf_writeFlightPlan(const std::filesystem::path& file, const Aircraft& aircraft);
// Removes the folder with its files; failures are logged. True when the folder is gone.
bool gf_removeFlightPlanFolder();

// Flights no livery was found for (airline/model key with registration), sorted. Filled by the run
// thread, logged by the main loop and the exit thread, so every access holds the mutex.
extern std::mutex g_refusedFlightsMutex;
extern std::set<std::string> g_refusedFlights;
void gf_addRefusedFlight(const std::string& text);
void gf_clearRefusedFlights();
bool gf_isRefusedFlight(const std::string& text);
// "\nNo match found for: ", each text, an empty line; nothing when the set is empty or no log is open.
void gf_logNoMatchFound();

// The text with &, <, >, " and ' written as XML entities.
std::string gf_xmlEscape(const std::string& text);

}  // namespace vrn
