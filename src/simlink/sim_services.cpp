// The program's own services behind the link's seams.
#include "simlink/sim_services.h"

#include <atomic>
#include <mutex>

#include "airports/airport_list.h"
#include "airports/park_airports.h"
#include "airports/stand_search.h"
#include "core/format.h"
#include "core/log.h"
#include "feed/realtraffic_link.h"
#include "liveries/type_database.h"
#include "liveries/type_queries.h"

namespace vrn {

namespace {

// Until the exit procedure is wired in, an exit request is remembered here and logged, so the link
// still stops asking for more work.
std::atomic<bool> l_exitRequested{false};

SimLinkServices lf_defaults() {
    SimLinkServices s;
    s.requestExit = [](int reason, int argument) {
        if (l_exitRequested.exchange(true)) return;
        gf_logLine(vrn::format("Exit requested by the simulator link: reason {}, argument {}", reason, argument));
    };
    s.exitRequested = [] { return l_exitRequested.load(); };
    s.standNameAt = [](const LatLon& position) { return gf_standNameAt(position); };
    s.storeUserStand = [](const std::string& stand) {
        const std::string parkCode = gf_parkAirportCopy().code;
        std::lock_guard lock(g_parkAirportListMutex);
        if (g_parkAirportList.empty() || parkCode.empty()) return;
        auto& first = g_parkAirportList.front();
        if (first.code != parkCode || first.stand == stand) return;
        first.stand = stand;
        gf_writeParkAirports();
    };
    s.halfWingspanNm = [](const std::string& model) { return gf_halfWingspanNm(model); };
    s.isValidModel = [](const std::string& model) { return gf_isValidModel(model); };
    s.sizeClass = [](const std::string& model) { return gf_sizeClass(model); };
    s.maxHalfWingspan = [] { return g_maxHalfWingspan; };
    s.professionalEdition = [] { return g_professionalEdition.load(); };
    return s;
}

SimLinkServices& lf_services() {
    static SimLinkServices services = lf_defaults();
    return services;
}

}  // namespace

SimLinkServices& gf_simLinkServices() { return lf_services(); }

void gf_resetSimLinkServices() {
    l_exitRequested = false;
    lf_services() = lf_defaults();
}

}  // namespace vrn
