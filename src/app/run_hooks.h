#pragma once
// The calls the run thread, the main loop and the exit procedure make into the live-traffic engine,
// stand search and static parking, and the add-on airport scan. Those parts install their functions
// here; an empty entry means "nothing to do" (a function with a result then answers false).
// Every entry is called on the run thread unless its comment says otherwise.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/time_of_week.h"

namespace vrn {

struct RunHooks {
    // --- live traffic management ---
    // Traffic start: room in the traffic lists, Callsign2ObjectId.txt deleted.
    std::function<void()> resetTraffic;
    // One traffic pass (every 10 ms turn while a flight runs).
    std::function<void()> trafficTick;
    // The simulator's events, on the turns while no flight runs.
    std::function<void()> processSimEvents;
    // Per second: the first id of the new aircraft, its coupled callsigns searched around `now`,
    // then tried against the static parked aircraft (replaced one removed). Takes the id off the list.
    std::function<void(DaySlot now)> newAircraftAgainstStatic;
    // The CALLSIGN_2_OBJECTID lookup.
    std::function<void()> callsign2ObjectId;
    // Removes every static parked aircraft ("Flush static"; the exit procedure too, on its thread).
    std::function<void()> removeStaticParked;
    // Collision avoidance with the user aircraft on the ground / in the air (at most one removal).
    std::function<void()> userGroundCollision;
    std::function<void()> userAirCollision;
    // Live aircraft taxiing into static parked ones.
    std::function<void()> liveParkedCollisions;
    // Removes the first live aircraft in the simulator with this callsign (the block command).
    std::function<void(const std::string& callsign)> blockCallsign;
    // Every 61st second: static parked aircraft whose callsign a live aircraft now uses.
    std::function<void()> removeStaticSameCallsign;
    // Every 15th second: clears the user's reserved stand when it has a name.
    std::function<void()> clearReservedStand;
    // The parking controls off while the renewal collects callsigns.
    std::function<void()> disableParkingControls;
    // Exit thread: every live aircraft out of the simulator (queued creations cancelled or flagged),
    // then the static ones, then the removal queue into the simulator's removal queue.
    std::function<void()> removeAllAircraft;
    // Exit thread: the remembered liveries and (final exit only) the blocked callsigns forgotten.
    std::function<void()> clearRememberedLiveries;
    std::function<void()> clearBlockedCallsigns;
    // Restart: the traffic lists and the park airport emptied.
    std::function<void()> resetParkAirport;
    // Whether static parked aircraft exist (the 61 s job and live-parked collisions skip otherwise).
    std::function<bool()> hasStaticParked;

    // --- stands and static parking ---
    // `first` is true for the first call of a run.
    std::function<void(bool first)> refreshStaticParking;
    // The renewal's second step (the collected callsigns are handed over).
    std::function<void()> parkingAdjustments;
    // The deferred "Re-read": true when `text` was filled for the status line.
    std::function<bool(bool check, std::string& text)> checkReservedStands;
    // A park airport is set and its stands are loaded.
    std::function<bool()> parkAirportHasStands;

    // --- add-on airport scan ---
    // Rebuilds the user's airport files; false when no add-on airport was found. The run control
    // installs the airports' own scan here (gf_installRunHooks); tests put theirs.
    std::function<bool(bool automatic, const std::vector<std::string>& folders)> scanAirports;
};

RunHooks& gf_runHooks();

// Calls an entry when it is set.
template <typename F, typename... A>
void gf_callHook(const F& hook, A&&... args) {
    if (hook) hook(std::forward<A>(args)...);
}
template <typename F, typename... A>
bool gf_askHook(const F& hook, A&&... args) {
    return hook ? hook(std::forward<A>(args)...) : false;
}

}  // namespace vrn
