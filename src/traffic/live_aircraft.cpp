#include "traffic/live_aircraft.h"

namespace vrn {

std::vector<LiveAircraft> g_liveAircraft;

LiveAircraft::LiveAircraft(const Aircraft& aircraft, const PositionSample& first, double feedTimeStamp)
    : Aircraft(aircraft), lastSampleTime(feedTimeStamp) {
    objectId = 0;
    standPosition = LatLon{};
    standHeading = 0.0;
    standTime = 0;
    standId = 0;
    state = STATE_NEW;
    throttleIndex = 5;
    flapsIndex = 4;
    cargo = false;
    fsltlTitle = false;
    coupledSearchDone = false;
    samples.push_back(first);
}

}  // namespace vrn
