#include "records/flight_records.h"

#include <cctype>

#include "core/format.h"
#include "core/utilities.h"

namespace vrn {

const std::unordered_map<unsigned, std::uint32_t> g_touchdownPitchPasses{
    {0, 250}, {1, 300}, {2, 400}, {3, 450}, {4, 150}, {5, 100}};
const std::unordered_map<unsigned, std::uint32_t> g_afterTouchdownPasses{
    {0, 250}, {1, 300}, {2, 350}, {3, 450}, {4, 150}, {5, 100}};
const std::unordered_map<unsigned, std::uint32_t> g_rotationPasses{
    {0, 100}, {1, 200}, {2, 200}, {3, 250}, {4, 100}, {5, 100}};
const std::unordered_map<unsigned, std::uint32_t> g_climbPitchPasses{
    {0, 200}, {1, 250}, {2, 300}, {3, 400}, {4, 200}, {5, 100}};
const std::unordered_map<unsigned, double> g_rotationPitchDeg{
    {0, -9.0}, {1, -8.0}, {2, -6.0}, {3, -5.0}, {4, -6.0}, {5, -20.0}};
const std::unordered_map<unsigned, double> g_climbPitchDeg{
    {0, -15.0}, {1, -18.0}, {2, -16.5}, {3, -12.5}, {4, -20.0}, {5, -30.0}};

Aircraft::Aircraft(const Flight& flight, SizeClass modelClass, double modelHalfWingspanNm)
    : Flight(flight), halfWingspanNm(modelHalfWingspanNm) {
    // The size class itself stays Large until the livery choice; the per-class values follow the model.
    const unsigned c = modelClass;
    rotationPitch = gf_jitterByPercent(g_rotationPitchDeg.at(c), 2.5) * kDeg2Rad;
    climbPitch = gf_jitterByPercent(g_climbPitchDeg.at(c), 5.0) * kDeg2Rad;
    touchdownPitchPasses = g_touchdownPitchPasses.at(c);
    afterTouchdownPasses = g_afterTouchdownPasses.at(c);
    rotationPasses = g_rotationPasses.at(c);
    climbPitchPasses = g_climbPitchPasses.at(c);
}

std::string gf_airlineModelKey(const Flight& flight) {
    return vrn::format("{:3} {:4}", flight.airline, flight.model);
}

bool gf_sameAirlineModel(const Flight& a, const Flight& b) {
    return a.airline == b.airline && a.model == b.model;
}

std::string gf_airlineModelRegText(const Flight& flight) {
    return gf_airlineModelKey(flight) + " " + flight.registration;
}

bool gf_isIcaoCallsign(Flight& flight) {
    const std::string& cs = flight.callsign;
    if (cs.size() < 4) return false;
    for (int i = 0; i < 3; ++i) {
        if (cs[i] < 'A' || cs[i] > 'Z') return false;
    }
    if (cs[3] < '0' || cs[3] > '9') return false;
    flight.airline = cs.substr(0, 3);
    return true;
}

std::string gf_routeText(const std::string& departure, const std::string& destination) {
    if (departure.empty() && destination.empty()) return std::string(8, ' ');
    return vrn::format("{:3}->{:3}", departure, destination);
}

std::string gf_callsignText(const Flight& flight) { return vrn::format("{:8}", flight.callsign); }

std::string gf_flightPairText(const Flight& flight) {
    return gf_callsignText(flight) + vrn::format(" {} {}", flight.registration, gf_airlineModelKey(flight));
}

std::string gf_flightToText(const Flight& flight) {
    return vrn::format("{} {:8} {} {}", gf_callsignText(flight), flight.registration,
                       gf_routeText(flight.departure, flight.destination), gf_airlineModelKey(flight));
}

}  // namespace vrn
