#pragma once
// The line protocol with RealTraffic over the TCP server: the "Qs999=version" handshake at the
// traffic start, the user position ("Qs121=") and the simulator time ("Qs123=").
//
// A connection counts as RealTraffic only once it has answered the version request, at the start
// and after a lost link alike.
//
// Main-loop use (none of these ever blocks the 10 ms pass):
//   every traffic pass        gf_serveRealTraffic()
//   every 100th traffic pass  gf_sendUserPosition()   (also takes a lost RealTraffic back once it has
//                                                       reconnected and answered, without waiting)
//   every 15th second         gf_sendQs123(simulator time) while g_professionalEdition is set,
//                             g_trafficReader.setReferencePosition(user position)
//   every 59th second         gf_checkTrafficFlow()
// Only gf_waitForRealTraffic, called once by the traffic start, blocks until RealTraffic connects
// (the exit procedure's gf_stopServer releases it).
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>

#include "feed/feed_hooks.h"

namespace vrn {

// RealTraffic is installed on this computer (its RealTraffic.jar exists).
extern std::atomic<bool> g_realTrafficLocal;
// RealTraffic reported the professional edition (level 2, or no level).
extern std::atomic<bool> g_professionalEdition;
// The archive week shown with RealTraffic's version (set by the start-up checks).
extern std::atomic<int> g_rtArchiveWeek;

// <application data>/InsideSystems/RealTraffic.jar
std::filesystem::path gf_realTrafficMarkerPath();
// Sets g_realTrafficLocal from the marker file; shows and logs "RealTraffic {}detected at this PC".
bool gf_detectRealTraffic();

void gf_setProfessionalEdition(bool professional);

// Handshake at the traffic start (only when RealTraffic runs on this computer).
void gf_waitForRealTraffic();
// Reads RealTraffic's answer to "Qs999=version".
void gf_decodeRtVersion(const std::string& answer);
// Whether a connection's answer line is one gf_decodeRtVersion takes: empty when it is, else why not.
std::string gf_judgeRtVersion(const std::string& answer);

// "Qs121=..." with the user aircraft (whole numbers for the scaled values).
std::string gf_qs121Line(const UserAircraftState& user);
// Sends the user position (the simulator link's user block) while RealTraffic is linked, and notices
// a link that was lost; gf_serveRealTraffic looks for RealTraffic coming back.
void gf_sendUserPosition();
void gf_sendUserPosition(const UserAircraftState& user);
// Every traffic pass, within a bounded time: while RealTraffic is linked, notices a link it closed and
// closes the connections that wait; while it is gone (from this pass on), greets new connections and
// takes it back once it has answered.
void gf_serveRealTraffic();
// "Qs123=<ms since 1970>" when a client is connected and seconds >= 1.
void gf_sendQs123(std::int64_t seconds);

}  // namespace vrn
