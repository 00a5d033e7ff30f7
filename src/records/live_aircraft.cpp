#include "records/live_aircraft.h"

namespace vrn {

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
    runRecords.push_back({feedTimeStamp, first.groundSpeed, first.track, first.latitude, first.longitude, first.airborne,
                          static_cast<std::uint8_t>(gf_trackGiven(first))});
    sawAirborne = first.airborne;
    lastRecordPass = 0;
}

double gf_secondsAtStand(const LiveAircraft& aircraft) {
    if (aircraft.timeAtStand == std::chrono::steady_clock::time_point{}) return 0.0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - aircraft.timeAtStand).count();
}

}  // namespace vrn
