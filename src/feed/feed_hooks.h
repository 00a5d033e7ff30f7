#pragma once
// What the feed needs from parts of the program that are built elsewhere (the run thread and exit
// procedure, the simulator link, the live traffic lists). Each hook has a safe default; the owning
// part installs its own function at start-up. Hooks are set before the feed threads start and are
// not changed while they run.
#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace vrn {

// The user aircraft as sent to RealTraffic (degrees, radians, feet, knots).
struct UserAircraftState {
    double latitude = 0.0;
    double longitude = 0.0;
    double pitch = 0.0;
    double bank = 0.0;
    double heading = 0.0;
    double altitude = 0.0;
    double groundVelocity = 0.0;
};

struct FeedHooks {
    // A feed thread starts / ends (the program's count of running worker threads).
    // Default: the feed's own count g_feedThreads.
    std::function<void()> threadStarted;
    std::function<void()> threadEnded;
    // A UDP reader stopped with an error. Default: shows and logs "The {} has stopped with an
    // error: {}" and sets g_feedReaderError.
    std::function<void(bool traffic, const std::string& error)> reportReaderStop;
    // True while an exit or restart is under way. Default: false.
    std::function<bool()> exitUnderWay;
    // The user aircraft's latest data. Default: the simulator link's user block.
    std::function<std::optional<UserAircraftState>()> userAircraft;
    // RealTraffic is gone: remove the live aircraft in the simulator and cancel queued creations.
    // Default: nothing (no live traffic lists yet).
    std::function<void()> dropLiveAircraft;
};

extern FeedHooks g_feedHooks;

// Defaults behind the hooks.
extern std::atomic<int> g_feedThreads;
extern std::atomic<bool> g_feedReaderError;

void gf_feedThreadStarted();
void gf_feedThreadEnded();
void gf_feedReportReaderStop(bool traffic, const std::string& error);
bool gf_feedExitUnderWay();

}  // namespace vrn
