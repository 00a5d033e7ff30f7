// Names and keys of flights, and the values a new Aircraft and LiveAircraft start with.
#include <gtest/gtest.h>

#include <cmath>

#include "core/utilities.h"
#include "records/flight_records.h"
#include "records/live_aircraft.h"

namespace vrn {
namespace {

Flight flight(std::string airline, std::string model, std::string callsign = "", std::string reg = "",
              std::string dep = "", std::string dest = "") {
    return Flight{airline, model, dep, dest, callsign, "", "", reg};
}

TEST(FlightTextTest, KeysAndNames) {
    EXPECT_EQ(gf_airlineModelKey(flight("BAW", "A320")), "BAW A320");
    EXPECT_EQ(gf_airlineModelKey(flight("BAW", "C2")), "BAW C2  ");
    EXPECT_EQ(gf_airlineModelRegText(flight("BAW", "A320", "", "G-EUUA")), "BAW A320 G-EUUA");
    EXPECT_EQ(gf_routeText("", "EGLL"), "   ->EGLL");
    EXPECT_EQ(gf_flightToText(flight("BAW", "A320", "BAW12", "G-EUUA", "LHR", "CDG")),
              "BAW12    G-EUUA   LHR->CDG BAW A320");
    EXPECT_TRUE(gf_sameAirlineModel(flight("BAW", "A320", "X"), flight("BAW", "A320", "Y")));
    EXPECT_FALSE(gf_sameAirlineModel(flight("BAW", "A320"), flight("BAW", "A321")));
}

TEST(FlightTextTest, IcaoCallsigns) {
    const std::pair<const char*, bool> cases[] = {{"BAW12AB", true}, {"DLH4", true}, {"bAW12", false},
                                                  {"BAWX12", false}, {"BAW", false}, {"N123AB", false},
                                                  {"EZ1234", false}};
    for (const auto& [cs, icao] : cases) {
        Flight f = flight("", "A320", cs);
        EXPECT_EQ(gf_isIcaoCallsign(f), icao) << cs;
        EXPECT_EQ(f.airline, icao ? std::string(cs).substr(0, 3) : "") << cs;
    }
}

TEST(AircraftTest, PerClassValuesWithSpreadAndLargeUntilTheLiveryChoice) {
    gf_seedRandomForTests(7);
    const Aircraft heavy(flight("BAW", "B77W"), SIZE_HEAVY, 0.017);
    EXPECT_EQ(heavy.sizeClass, SIZE_LARGE);
    EXPECT_EQ(heavy.touchdownPitchPasses, 450u);
    EXPECT_NEAR(std::fabs(heavy.rotationPitch), 5.0 * kDeg2Rad, 5.0 * 0.025 * kDeg2Rad + 1e-12);
    EXPECT_NEAR(std::fabs(heavy.climbPitch), 12.5 * kDeg2Rad, 12.5 * 0.05 * kDeg2Rad + 1e-12);
    EXPECT_LT(heavy.rotationPitch, 0) << "nose up is negative";
    EXPECT_THROW(Aircraft(flight("", "X"), static_cast<SizeClass>(6), 0.0), std::out_of_range);
}

}  // namespace
}  // namespace vrn
