#include "records/user_aircraft_block.h"

#include <mutex>

namespace vrn {

std::atomic<bool> g_userOnGround{false};
std::atomic<bool> g_userOnGroundKnown{false};

namespace {

std::mutex l_userDataMutex;        // the block is copied whole by other threads
UserAircraftBlock l_userAircraftData;
std::function<UserState()> l_userStateForTests;

}  // namespace

UserAircraftBlock gf_userAircraftData() {
    std::lock_guard lock(l_userDataMutex);
    return l_userAircraftData;
}

LatLon gf_userLatLon() {
    std::lock_guard lock(l_userDataMutex);
    return {l_userAircraftData.latitude, l_userAircraftData.longitude};
}

void gf_storeUserAircraftData(const UserAircraftBlock& block) {
    std::lock_guard lock(l_userDataMutex);
    l_userAircraftData = block;
}

UserState gf_userState() {
    if (l_userStateForTests) return l_userStateForTests();
    const UserAircraftBlock block = gf_userAircraftData();
    return UserState{g_userOnGround.load(), block.altitude, LatLon{block.latitude, block.longitude}};
}

void gf_setUserStateForTests(std::function<UserState()> state) { l_userStateForTests = std::move(state); }

}  // namespace vrn
