#pragma once
// What the simulator link asks of the rest of the program, gathered in one place. The defaults call
// the program's own services; the run control fills the exit entries and tests replace single
// entries. Every entry is called from the SimConnect thread unless said otherwise.
#include <functional>
#include <string>

#include "core/geodesy.h"

namespace vrn {

// Exit reasons the link requests.
inline constexpr int EXIT_SIM_WAS_CLOSED = 1;
inline constexpr int EXIT_RESTART = 2;

struct SimLinkServices {
    // A seam because the exit procedure lives in app/: gf_requestExit(reason, argument).
    std::function<void(int reason, int argument)> requestExit;
    // A seam so tests can stop the link without the exit procedure: gf_exitUnderWay().
    std::function<bool()> exitRequested;
    // The stand of the park airport at a position (empty when none or the user is airborne); a seam
    // so the link's tests name stands of their own.
    std::function<std::string(const LatLon& position)> standNameAt;
    // Stores the stand as the first park-airport entry's stand when that entry is the park airport
    // and the stand differs, then writes my_park_airports.txt.
    std::function<void(const std::string& stand)> storeUserStand;
    // The type database; a seam so the link's tests bring a small table of their own.
    std::function<double(const std::string& model)> halfWingspanNm;
    std::function<bool(const std::string& model)> isValidModel;
    std::function<unsigned(const std::string& model)> sizeClass;
    std::function<double()> maxHalfWingspan;
    // RealTraffic's professional edition supplies the simulator time.
    std::function<bool()> professionalEdition;
};

SimLinkServices& gf_simLinkServices();
// Puts every entry back to the program's own service.
void gf_resetSimLinkServices();

}  // namespace vrn
