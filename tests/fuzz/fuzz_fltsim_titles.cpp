// The simulated simulator's two readers of outside input: the [FLTSIM.N] titles of an aircraft.cfg
// and the JSON scenario. Any bytes give titles or nothing, and a scenario either is refused with a
// runtime_error or runs a few frames of its world without failing.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/simconnect/simulated_simulator.h"

namespace {

using namespace vrn::simconnect;

void lf_ignore(SIMCONNECT_RECV*, DWORD, void*) {}

void lf_runScenario(SimScenario scenario) {
    // Nothing outside the process: no folder scan, no trace file.
    scenario.packagesFolder.clear();
    scenario.tracePath.clear();
    static SimulatedSimulator sim;
    sim.reset(scenario, ClockMode::Manual);
    HANDLE h = nullptr;
    if (sim.open(&h, "Varnel") != S_OK) return;
    sim.subscribe(h, 1, "Sim");
    sim.subscribe(h, 2, "Frame");
    sim.subscribe(h, 3, "ObjectAdded");
    for (const char* datum : {"Plane Latitude", "ZULU TIME", "ZULU DAY OF YEAR", "ZULU YEAR"})
        sim.addToDefinition(h, 403, datum, "", SIMCONNECT_DATATYPE_INT64);
    sim.addToDefinition(h, 407, "TITLE", "", SIMCONNECT_DATATYPE_STRINGV);
    sim.requestData(h, 109, 403, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_VISUAL_FRAME);
    sim.requestData(h, 106, 407, SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_ONCE);
    sim.requestDataByType(h, 101, 407, 200000, SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
    for (int i = 0; i < 3; ++i) {
        sim.step(1);
        sim.callDispatch(h, &lf_ignore, nullptr);
    }
    sim.close(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    for (const std::string& title : vrn::simconnect::gf_readFltsimTitles(bytes)) {
        if (title.empty()) __builtin_trap();
        if (title.find('\n') != std::string::npos) __builtin_trap();
    }

    SimScenario scenario;
    try {
        scenario = gf_parseSimScenario(bytes);
    } catch (const std::runtime_error&) {
        return 0;
    }
    if (!(scenario.frameRate >= 1.0 && scenario.frameRate <= 1000.0)) __builtin_trap();
    if (scenario.firstAiObjectId <= scenario.user.objectId) __builtin_trap();
    // Keep one run short: the world's size follows the input's.
    if (scenario.otherAircraft.size() > 200 || scenario.timeline.size() > 200) return 0;
    lf_runScenario(scenario);
    return 0;
}
