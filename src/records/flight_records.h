#pragma once
// The identity of one aircraft as the feed reports it (Flight) and as it is placed in the simulator
// (Aircraft: size class, wingspan, per-class values, ids, stand and simulator state), with the small
// texts by which a flight is named in the log and in lookups.
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>

#include "core/geodesy.h"
#include "core/time_of_week.h"
#include "records/size_class.h"

namespace vrn {

struct Flight {
    std::string airline;           // ICAO airline code; from the callsign or the livery matching
    std::string model;             // ICAO type code (feed field 10)
    std::string departure;         // feed field 12
    std::string destination;       // feed field 13
    std::string callsign;          // feed field 9
    std::string knownCallsign;     // the callsign under which the aircraft is known (e.g. learned at a stand)
    std::string coupledCallsign;   // the callsign of the same aircraft's other flight
    std::string registration;      // feed field 11
    bool coupledSearchDone = false;
};

// Simulator state of an aircraft.
enum AircraftState : int {
    STATE_NEW = 0,
    STATE_CREATION_REQUESTED = 1,
    STATE_IN_SIM = 2,
    STATE_TO_RECREATE = 3,
    STATE_REMOVING = 4,
};

// Per-size-class values (index: SizeClass). A class missing from a map throws std::out_of_range.
extern const std::unordered_map<unsigned, std::uint32_t> g_touchdownPitchPasses;    // A: before touchdown
extern const std::unordered_map<unsigned, std::uint32_t> g_afterTouchdownPasses;    // B: after touchdown
extern const std::unordered_map<unsigned, std::uint32_t> g_rotationPasses;          // C: rotation to pitch E
extern const std::unordered_map<unsigned, std::uint32_t> g_climbPitchPasses;        // D: pitch E to pitch F
extern const std::unordered_map<unsigned, double> g_rotationPitchDeg;               // E: degrees, nose up < 0
extern const std::unordered_map<unsigned, double> g_climbPitchDeg;                  // F: degrees

struct Aircraft : Flight {
    Aircraft() = default;
    // Takes the model's size class and half wingspan from the type database (defined with it, in
    // liveries/type_queries.cpp).
    explicit Aircraft(const Flight& flight);
    // Same with the type facts given (the type database is not asked).
    Aircraft(const Flight& flight, SizeClass modelClass, double modelHalfWingspanNm);

    std::uint32_t sizeClass = SIZE_LARGE;   // replaced by the livery choice
    bool cargo = false;                     // set with the livery choice
    bool fsltlTitle = false;                // the chosen title contains "FSLTL_"
    double halfWingspanNm = 0.0;
    double staticCgHeight = 0.0;            // feet, from the simulator's reply
    double staticPitch = 0.0;               // radians, from the simulator's reply
    double rotationPitch = 0.0;             // table E with 2.5 % spread, radians
    double climbPitch = 0.0;                // table F with 5 % spread, radians
    double groundTurnRate = 0.0;            // radians per pass
    double maxClimbPerPass = 0.0;           // feet
    double pushBackSpeed = 0.0;             // knots, also the pull-out speed
    std::uint32_t aircraftId = 0;           // ICAO address (> 10000) or static id (0..9999)
    std::uint32_t touchdownPitchPasses = 0; // table A
    std::uint32_t afterTouchdownPasses = 0; // table B
    std::uint32_t rotationPasses = 0;       // table C
    std::uint32_t climbPitchPasses = 0;     // table D
    std::string_view liveryTitle;           // owned by the livery index; empty: none chosen
    std::uint32_t objectId = 0;             // simulator object id, 0 before creation
    LatLon standPosition;
    double standHeading = 0.0;              // radians
    DaySlot standTime = 0;
    int standId = 0;                        // 0: no stand
    int state = STATE_NEW;
    int throttleIndex = 5;                  // 0..4; 5: none sent yet
    int flapsIndex = 4;                     // 0..3; 4: none sent yet
    bool icaoValid = false;
    // Static parked aircraft only: the real aircraft (ICAO address) whose learned use it stands for.
    std::uint32_t representedHexid = 0;
    bool hexidValid = false;
    // The creation went out before a removal was asked: remove the object as soon as it arrives.
    bool removeWhenCreated = false;
};

// "{:3} {:4}" of airline and model.
std::string gf_airlineModelKey(const Flight& flight);
bool gf_sameAirlineModel(const Flight& a, const Flight& b);
// The airline/model key, a blank and the registration.
std::string gf_airlineModelRegText(const Flight& flight);
// True for a callsign of three upper-case letters and a digit (at least 4 characters); the airline is
// then set to the first three letters.
bool gf_isIcaoCallsign(Flight& flight);
// "{:3}->{:3}" of departure and destination, or 8 blanks when both are empty.
std::string gf_routeText(const std::string& departure, const std::string& destination);
std::string gf_callsignText(const Flight& flight);     // "{:8}"
// Callsign text, " {} {}" of registration and airline/model key.
std::string gf_flightPairText(const Flight& flight);
// The log name: callsign text, registration "{:8}", route text, airline/model key, blank-separated.
std::string gf_flightToText(const Flight& flight);

}  // namespace vrn
