#pragma once
// The run thread: every run of the program is one call of gf_startUpVRNL on it. It checks that the
// program runs from its own folder, runs the start-up checks (folders, settings, downloads, type
// database, install path, RealTraffic, airport list), the scans, and then the traffic start, which
// ends in the main loop. A failure ends the run and is reported on the status line.
#include <atomic>
#include <cstdint>
#include <string>

namespace vrn {

extern std::atomic<bool> g_dbaseLoaded;   // type database and fixes read in this process
extern std::atomic<int> g_archiveMajor;

// The run thread's body.
void gf_startUpVRNL();
// Whether the current folder is the program's own (it holds the docs folder); a failing query is a
// filesystem error naming "status". Nothing may be written to the current folder before this holds.
bool gf_runsFromProgramFolder();
// The start-up checks; every failure leaves as an exception.
void gf_checkInstallation();
// output, output/info, output/errors, airports and the learned folders.
void gf_makeFolders();
// Fills the chosen simulator's empty install path, or UserErrorException 150.
void gf_askInstallPath();
// "{} minute{} and {} second{} since last run" / "{} second{} since last run"; empty for no line.
std::string gf_sinceLastRunText(std::int64_t now, std::int64_t lastEpochTime);

// Connects the feed and the simulator link to the run control and the traffic engine (exit requests,
// exit flags, live aircraft dropped). Called once before the first run.
void gf_installRunHooks();

}  // namespace vrn
