#pragma once
// The last stage of a run before the main loop: the simulator link, the wait for a flight, the park
// airports, RealTraffic, the two UDP readers and the wait for the first traffic. Returns when the
// main loop has ended, when the start was given up for an exit, or after a failure it handled.
#include <cstdint>

namespace vrn {

void gf_startTraffic();
// True when a flight runs and the user aircraft's position is known; false once an exit is under way.
bool gf_waitForFlight();

// Ports of the two readers (tests use free ones).
struct ReaderPorts {
    std::uint16_t weather = 49004;
    std::uint16_t traffic = 49005;
};
void gf_setReaderPortsForTests(ReaderPorts ports);   // also a run on other ports

}  // namespace vrn
