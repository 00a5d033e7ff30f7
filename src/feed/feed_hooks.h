#pragma once
// What the feed hands to the live-traffic engine, which sits beside it and includes the feed's own
// headers. Set before the feed threads start and not changed while they run.
#include <functional>
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
    // A seam because the engine includes the feed: RealTraffic is gone, so remove the live aircraft
    // in the simulator and cancel queued creations. Empty: nothing (no engine installed).
    std::function<void()> dropLiveAircraft;
};

extern FeedHooks g_feedHooks;

// A UDP reader stopped with an error: shows and logs "The {} has stopped with an error: {}" and sets
// g_readerError (udp_readers.h). Called from the readers' catch handlers.
void gf_reportReaderStop(bool traffic, const std::string& error);

}  // namespace vrn
