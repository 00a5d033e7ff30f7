// Real recorded traffic end to end: excerpts of the shared ADS-B recordings are replayed by the
// RealTraffic stand-in to the real program and the simulated simulator, with the parking file of the
// excerpt's airport staged (Zurich, Dulles, Reagan National), and the simulator's trace is scored
// against the real paths by the shared scorer and held, second by second, to what no aircraft does:
// a hard turn on the ground, moving against its nose (on the ground and in the air), three quarters
// of a circle on the ground (beyond its records' own turning), turning round at a crawl within 8 s, speeding up a taxi faster than 4 kn
// a second, standing while its records taxi, leaving its records' ground path, being removed while
// its records still come, lifting off late, rolling faster than its records ever went, banking
// beyond 35 degrees, standing on the ground under records that fly, sinking below its records or much
// faster than they descend, and, where its records end, a made-up flight that drops a hovering
// helicopter or levels off a climb; and in the air, every second, its distance from where its own
// records put it then (enforced where an excerpt is held to it).
//
// Some excerpts are made at test time from the shared recordings (never typed in): a rejected
// take-off (a real roll continued by a real landing's braking), a feed that sends every record a
// second time 45 s late, a whole feed whose time stamps go back ten minutes, helicopters whose
// records are computed from a steady deceleration to a hover, a taxi whose every other record reads
// 600 ft up; and generated: records that shuttle.
//
// The program's engine counts 10 ms passes on the real clock, so each excerpt plays in real time.
// To stay within a few minutes excerpts run side by side, each with its own program, stage and ports;
// each excerpt is a part of its recording chosen for what it shows (taxi, stand, take-off, landing,
// go-around, turns at altitude), at most 180 s long. VARNEL_E2E_ONLY=word[,word] plays only the
// excerpts whose recording or label contains one of the words.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "core/format.h"
#include "core/geodesy.h"
#include "core/utilities.h"
#include "support/test_support.h"

namespace vrn::test {
namespace {

namespace fs = std::filesystem;

constexpr double kPlayDelaySeconds = 30.0;   // every sample is played 30 s after it arrived
// A run ends a fixed time after its feed: this bounds the program's start and its wait for the park
// airport before the feed starts (some 20 s; a run that hits it fails as a run without its end).
constexpr int kStartAllowanceSeconds = 180;

// How an excerpt's feed is made from its recording (kPlain: the recording's window as it is).
enum class Feed {
    kPlain,
    kRejectedTakeOff,       // the window's roll, then a real landing's braking turned onto its runway
    kRejectedTakeOff2s,     // the same with a record every 2 s
    kLateSender,            // the window, and every record again 45 s later with its old time stamp
    kRewind,                // several aircraft; from the middle of the window on, every stamp 600 s back
    kHelicopters,           // two EC45s slowing to a hover, one of them with a 60 s pause of its records
    kFlickeringTaxi,        // a taxi whose every other record reads 600 ft up at taxi speed
    kFlickeringTaxiUpFirst, // the same from its first taxi record on: it is first seen up there
    kHoverPause,            // an H145 slowing to a hover over Washington, its records pausing 60 s there
    kShuttle,               // records that shuttle 0.35 nm back and forth, reversing every 10 s
    kOrbitsLateSender,      // six aircraft circling, every record again 45 s later with its old stamp
    kOverThePole,           // three airliners at 35,000 ft crossing the north pole or passing beside it
    kCircleRewound,         // a circle flown at the steepest bank, drifting; the feed 600 s back at 60 s
    kOrbitsRewound,         // thirty aircraft circling; from 60 s every stamp 600 s back, positions going on
    kPause,                 // the window with its records from pauseFrom for pauseSeconds cut out
    kOnAnotherDay,          // the window's records as a receiver reads them on a day of another QNH
    kThinned,               // the window with a record every pauseSeconds from pauseFrom on (low-level coverage)
};

// What a made-up flight after its records end is held to (kNone: nothing beyond the rules of any
// flight). kHover: a helicopter keeps its records' height; kClimb: a departure keeps climbing.
enum class MadeUp { kNone, kHover, kClimb };

struct Excerpt {
    const char* label;
    const char* recording;
    double from, to;        // seconds of the recording
    const char* park;       // the airport whose parking file is staged (ground traffic only there)
    double userLat, userLon, userAlt;
    bool userOnGround;
    bool groundExpected;    // the excerpt has ground records the program must show on the ground
    int liftsOff = -1;      // 1: an aircraft on the ground must lift off, 0: none may, -1: either
    // Its records pause at touch-down or taxiing, or come 10-20 s apart: the made-up motion cannot know where
    // the real aircraft turned off, or was between them, so its ground positions are held to the rules of the
    // trace, not to the real path's distance.
    bool pausesOnGround = false;
    Feed feed = Feed::kPlain;
    MadeUp madeUp = MadeUp::kNone;
    // Held to the distance rule (within 0.15 nm of where its records put it, 30 s after anything put
    // them away from it); the others' figures are printed.
    bool heldToRecords = false;
    double mostOffNm = 0.0;   // that rule's distance where records cannot be flown (0: its own 0.15 nm)
    double pauseFrom = -1.0, pauseSeconds = 0.0;   // Feed::kPause, kThinned: seconds of the recording
    // How much later than the play delay it may run on the ground (median while moving): a second where
    // records come a second or two apart.
    double groundLateS = 1.0;
    // The objects each aircraft may be shown as, one after another: one removed and created again where
    // its records are, when it cannot fly back to them, is not removed early.
    int objects = 1;
    // The weather's QNH, as RealTraffic sends it; 0: the recording's own day's. (Feed::kOnAnotherDay:
    // the day its records are sent as on.)
    int qnh = 0;
};

// The user stands at Zurich (the park airport) except where the traffic is elsewhere; there the user
// flies well below the traffic so nothing waits for it.
const Excerpt kExcerpts[] = {
    // Pushed back and manoeuvred beside its stand at 2-6 kn, its records up to 5 s apart and scattered
    // by several knots: it runs a second or two late there.
    {"stand and taxi", "lszh-dep-ent57bw", 0, 160, "LSZH", 47.4647, 8.5492, 1416, true, true, 0, false, Feed::kPlain,
     MadeUp::kNone, false, 0.0, -1.0, 0.0, 2.0},
    {"stand, taxi, stop", "lszh-dep-aee5zh", 0, 160, "LSZH", 47.4647, 8.5492, 1416, true, true, 0},
    {"hold, line-up, take-off", "lszh-dep-swr137h", 340, 500, "LSZH", 47.4647, 8.5492, 1416, true, true, 1},
    {"take-off roll, records end at 51 kn", "lszh-dep-swr137h", 340, 424, "LSZH", 47.4647, 8.5492, 1416, true, true, 1},
    {"final, landing, roll-out", "lszh-arr-cai3208", 0, 160, "LSZH", 47.4647, 8.5492, 1416, true, true, 0},
    {"approach and landing", "lszh-arr-swr5220", 910, 1070, "LSZH", 47.4647, 8.5492, 1416, true, true, 0},
    {"landing, records end taxiing at 8 kn", "lszh-arr-swr5220", 980, 1089, "LSZH", 47.4647, 8.5492, 1416, true, true, 0},
    {"low approach, go-around", "yssy-goaround-ada4", 200, 360, "LSZH", -33.9461, 151.177, 21, true, false},
    {"turn at altitude", "swr5220-racetracks", 150, 310, "LSZH", 48.55, 8.62, 5000, false, false},
    // Dulles and Reagan National: the user stands on the ground some 2 nm off the airport's reference
    // point, clear of every recorded position, so that no aircraft waits for it.
    {"landing 1R, roll-out, turn-off, taxi with a 34 s pause", "kiad-arr-ual2398", 470, 650, "KIAD", 38.965, -77.42, 313,
     true, true, 0},
    {"landing 1R, roll-out, records end turning off", "kiad-arr-cmp443", 610, 705, "KIAD", 38.965, -77.42, 313, true,
     true, 0},
    {"short final 1R, roll-out, slow taxi and turn", "kiad-arr-rpa5677", 0, 180, "KIAD", 38.965, -77.42, 313, true, true,
     0},
    {"hold, taxi, line-up 30, take-off", "kiad-dep-ual2098", 150, 330, "KIAD", 38.965, -77.42, 313, true, true, 1},
    {"sets off after a stop, taxi west and south to 26 kn", "kiad-taxi-ual1230", 650, 830, "KIAD", 38.965, -77.42, 313,
     true, true, 0},
    // Its records come back 1 km on, beyond a taxi's reach within half a minute: created again there.
    {"landing 1, records pause 18 s at touch-down and 77 s taxiing", "kdca-arr-swa1174", 370, 543, "KDCA", 38.8521,
     -77.08, 14, true, true, 0, true, Feed::kPlain, MadeUp::kNone, false, 0.0, -1.0, 0.0, 1.0, 2},
    // The records end 21 s after lift-off, climbing some 2,800 ft/min at 2,725 ft.
    {"roll, lift-off, records end climbing", "lszh-dep-swr137h", 400, 468, "LSZH", 47.4647, 8.5492, 1416, true, true, 1,
     false, Feed::kPlain, MadeUp::kClimb},
    // The records end 6.7 nm out at 3,950 ft climbing some 2,000 ft/min, as a feed whose range is smaller
    // than the program's ends them: its made-up flight climbs on and carries it out of the user's
    // automatic range (8 nm on the ground).
    {"take-off 30, records end leaving the range climbing", "kiad-dep-ual2098", 282, 405, "KIAD", 38.965, -77.42, 313,
     true, true, 1, false, Feed::kPlain, MadeUp::kClimb},
    {"rejected take-off at 81 kn, 1 s records", "lszh-dep-ent57bw", 790, 832, "LSZH", 47.4647, 8.5492, 1416, true, true, 0,
     false, Feed::kRejectedTakeOff},
    {"rejected take-off at 81 kn, 2 s records", "lszh-dep-ent57bw", 790, 832, "LSZH", 47.4647, 8.5492, 1416, true, true, 0,
     false, Feed::kRejectedTakeOff2s},
    {"late second sender, turn at altitude", "swr5220-racetracks", 160, 280, "LSZH", 48.55, 8.62, 5000, false, false, -1,
     false, Feed::kLateSender, MadeUp::kNone, true},
    // The user flies 14 nm north of Zurich, below and within the automatic range (17 nm) of all four.
    {"whole feed 600 s back, four aircraft", "lszh-arr-swr5220", 480, 600, "LSZH", 47.70, 8.60, 2000, false, false, -1,
     false, Feed::kRewind, MadeUp::kNone, true},
    {"helicopters slowing to a hover", "generated", 0, 150, "LSZH", 47.4647, 8.5492, 1416, true, false, -1, false,
     Feed::kHelicopters, MadeUp::kHover},
    {"taxi in, every other record 600 ft up", "lszh-arr-swr5220", 1000, 1089, "LSZH", 47.4647, 8.5492, 1416, true, true, 0,
     false, Feed::kFlickeringTaxi, MadeUp::kNone, true},
    // First seen taxiing at 15 kn, and up there; a record a second.
    {"taxi at 15 kn, every other record 600 ft up from the first", "kiad-taxi-ual1230", 700, 830, "KIAD", 38.965, -77.42, 313,
     true, true, 0, false, Feed::kFlickeringTaxiUpFirst, MadeUp::kNone, true},
    {"helicopter slowing to a hover over Washington, records pause 60 s in it", "generated", 0, 280, "KDCA", 38.8521, -77.08,
     14, true, false, 0, false, Feed::kHoverPause, MadeUp::kHover},
    // The user flies 15 nm north of Zurich, below it. No aircraft turns round every 10 s: it stays
    // near its records, circling about them.
    {"records shuttling 0.35 nm", "generated", 0, 180, "LSZH", 47.7147, 8.5492, 5000, false, false, -1, false, Feed::kShuttle,
     MadeUp::kNone, true, 0.8},
    // Created one after another (the simulator takes one creation at a time), each is where its records
    // put it from its first pass; the copies of a second sender 45 s late are never followed.
    {"six orbits, each repeated 45 s late", "generated", 0, 150, "LSZH", 47.7147, 8.5492, 5000, false, false, -1, false,
     Feed::kOrbitsLateSender, MadeUp::kNone, true},
    // The user flies 6 nm from the north pole, 2,000 ft below them (not in their way).
    {"over the north pole at 35,000 ft", "generated", 0, 150, "LSZH", 89.9, 0.0, 33000, false, false, -1, false,
     Feed::kOverThePole},
    // Pauses cut into the recordings: at touch-down (SWR5220 touches down at 1,012 s) and around a
    // lift-off (SWR137H lifts off at 447 s). (Their day's QNH was 1001 hPa: their records read pressure
    // altitude, and their last in the air before the runway, or first after it, 334-359 ft above the field.)
    {"landing, records pause 30 s from just before touch-down", "lszh-arr-swr5220", 960, 1120, "LSZH", 47.4647, 8.5492,
     1416, true, true, 0, true, Feed::kPause, MadeUp::kNone, false, 0.0, 1008, 30},
    {"landing, records pause 60 s from just before touch-down", "lszh-arr-swr5220", 960, 1130, "LSZH", 47.4647, 8.5492,
     1416, true, true, 0, true, Feed::kPause, MadeUp::kNone, false, 0.0, 1008, 60},
    {"landing, records pause 90 s from just before touch-down", "lszh-arr-swr5220", 960, 1140, "LSZH", 47.4647, 8.5492,
     1416, true, true, 0, true, Feed::kPause, MadeUp::kNone, false, 0.0, 1008, 90},
    {"take-off, records pause 15 s around lift-off", "lszh-dep-swr137h", 340, 500, "LSZH", 47.4647, 8.5492, 1416, true,
     true, 1, false, Feed::kPause, MadeUp::kNone, false, 0.0, 440, 15},
    // The user flies 15 nm north of Zurich, below it. Its circle asks for the steepest bank it may fly,
    // and after the feed goes back its records lie on the circle it drifted from, 0.8 nm ahead of it
    // along its turn: it flies after them, cannot close on them, and is created again where they are.
    // (Where the wind speeds it over the ground it may fall off its circle once more: a third object.)
    {"circle at 3 degrees a second, the feed 600 s back", "generated", 0, 180, "LSZH", 47.7147, 8.5492, 5000, false, false, -1,
     false, Feed::kCircleRewound, MadeUp::kNone, true, 0.15, -1.0, 0.0, 1.0, 3},
    // The user flies 15 nm north of Zurich, below them. The feed's clock jumps back and its records go
    // on: every aircraft plays on with them, none is created again.
    {"thirty orbits, stamps 600 s back from 60 s", "generated", 0, 150, "LSZH", 47.7147, 8.5492, 5000, false, false, -1, false,
     Feed::kOrbitsRewound, MadeUp::kNone, true},
    // A taxi whose records pause at 15 kn on a straight way west and come back in its turn south (60 s)
    // or after it (90 s).
    {"taxi, records pause 60 s at 15 kn", "kiad-taxi-ual1230", 650, 830, "KIAD", 38.965, -77.42, 313, true, true, 0, true,
     Feed::kPause, MadeUp::kNone, false, 0.0, 720, 60},
    {"taxi, records pause 90 s at 15 kn", "kiad-taxi-ual1230", 650, 830, "KIAD", 38.965, -77.42, 313, true, true, 0, true,
     Feed::kPause, MadeUp::kNone, false, 0.0, 720, 90},
    // A landing and a take-off as receivers read them on days of high and of standard pressure (their
    // own was 1001 hPa): on a day of 1027 hPa the landing's records reach the field's elevation 1.8 km
    // before the runway, and the take-off's read below it for its first seconds of flight.
    {"approach and landing, 1027 hPa", "lszh-arr-swr5220", 910, 1070, "LSZH", 47.4647, 8.5492, 1416, true, true, 0, false,
     Feed::kOnAnotherDay, MadeUp::kNone, false, 0.0, -1.0, 0.0, 1.0, 1, 1027},
    {"approach and landing, 1013 hPa", "lszh-arr-swr5220", 910, 1070, "LSZH", 47.4647, 8.5492, 1416, true, true, 0, false,
     Feed::kOnAnotherDay, MadeUp::kNone, false, 0.0, -1.0, 0.0, 1.0, 1, 1013},
    {"hold, line-up, take-off, 1027 hPa", "lszh-dep-swr137h", 340, 500, "LSZH", 47.4647, 8.5492, 1416, true, true, 1, false,
     Feed::kOnAnotherDay, MadeUp::kNone, false, 0.0, -1.0, 0.0, 1.0, 1, 1027},
    {"hold, line-up, take-off, 1013 hPa", "lszh-dep-swr137h", 340, 500, "LSZH", 47.4647, 8.5492, 1416, true, true, 1, false,
     Feed::kOnAnotherDay, MadeUp::kNone, false, 0.0, -1.0, 0.0, 1.0, 1, 1013},
    // Take-offs seen only every 10-20 s from their roll on, as where coverage is thin near the ground:
    // the roll keeps up with its records and lifts off as they fly (SWR137H at 447 s, AEE5ZH at 691 s,
    // UAL2098, whose receiver flags its roll airborne from 84.5 kn, at some 324 s).
    {"take-off, a record every 15 s from the roll", "lszh-dep-swr137h", 340, 500, "LSZH", 47.4647, 8.5492, 1416, true, true, 1,
     true, Feed::kThinned, MadeUp::kNone, false, 0.0, 415, 15},
    {"take-off, a record every 20 s from the roll, records end climbing", "lszh-dep-aee5zh", 540, 711, "LSZH", 47.4647, 8.5492,
     1416, true, true, 1, true, Feed::kThinned, MadeUp::kClimb, false, 0.0, 655, 20},
    {"take-off 30, a record every 10 s from the roll", "kiad-dep-ual2098", 230, 405, "KIAD", 38.965, -77.42, 313, true, true,
     1, true, Feed::kThinned, MadeUp::kClimb, false, 0.0, 285, 10},
};

// The rules every second of the trace is held to, for the excerpt's aircraft (every object but the
// user's), each object against the records of its own aircraft (by its callsign). Each keeps how
// often it was broken and its worst value with the simulator second.
enum Rule {
    kSideways,
    kBackwards,
    kFullTurn,
    kStanding,
    kOffPath,
    kRemovedEarly,
    kLateLiftOff,
    kGroundSpeed,
    kBank,
    kGroundUnderFlight,
    kBelowRecords,
    kSinking,
    kMadeUpClimb,
    kOffRecords,
    kSawTooth,
    kPivot,
    kTaxiSpeedUp,
    kRace,
    kRollSpeedUp,
    kRuleCount
};

struct Tally {
    int broken = 0;
    double worst = 0.0, at = -1.0;   // at < 0: never measured
    void measure(double value, double t, bool breaks) {
        if (breaks) ++broken;
        if (at < 0.0 || value > worst) worst = value, at = t;
    }
};

struct Judgement {
    Tally rules[kRuleCount];
    int heldSeconds = 0, seconds = 0;   // trace seconds a busy machine held back, of all
    std::string summary;
};

constexpr double kKnot = 1852.0 / 3600.0;          // m/s
constexpr double kGravity = 9.80665;               // m/s2
constexpr double kSidewaysLimitG = 0.3;            // on the ground above 10 kn
constexpr double kBackwardsLimitKnots = 20.0;      // moving more than 90 degrees off the nose, on the ground or in the air
constexpr double kOffPathLimitMetres = 150.0;      // from the records' ground path
// A full turn on the ground: three quarters of a circle net one way within a minute (a turn round
// onto a stand behind it takes some 180 degrees), or a quarter more than its records' own tracks turn
// over that minute and the 10 s before (ENT57BW's, pushed back and manoeuvred beside its stand, turn
// some 330 degrees within a minute).
constexpr double kFullTurnLimitDegrees = 270.0, kFullTurnBeyondRecordsDegrees = 90.0, kFullTurnRecordsLeadSeconds = 10.0;
// A pivot: below 8 kn an airliner turns round in 20-40 s, never more than 90 degrees within 8 s.
constexpr double kPivotDegrees = 90.0, kPivotSeconds = 8.0, kPivotBelowKnots = 8.0;
// Taxiing (below a take-off roll's 43 kn) it speeds up no more than 4 kn in a second where its
// records do not speed up (by a knot a second or more within 10 s), a take-off roll aside.
constexpr double kTaxiSpeedUpKnots = 4.0, kRecordsSpeedUpKnPerS = 1.0, kSpeedUpWindowSeconds = 10.0, kRollWithinSeconds = 15.0,
                 kRolledWithinSeconds = 3.0;
// At 10-40 kn on the ground never faster than 1.5 times its records' speed and 5 kn (a take-off roll aside,
// and a landing roll's last seconds braking through 43 kn).
constexpr double kRaceShare = 1.5, kRaceMarginKnots = 5.0, kRaceFromKnots = 10.0, kRaceToKnots = 40.0;
// Elsewhere on the ground (a take-off roll, records that speed up) never more than 8 kn in a second:
// take-off thrust gives an airliner some 5.
constexpr double kRollSpeedUpKnots = 8.0;
// In the air its vertical speed does not flip between climb and descent above 600 ft/min a second apart.
constexpr double kSawToothFpm = 600.0;
// After a pause of its records of more than 30 s (15 s from the air to the ground: its roll-out ran on
// past where the real one turned off), made-up motion took it on: it drives back onto their path as a
// real aircraft would, and is held to the path once there, or two minutes after they came again.
constexpr double kPauseSeconds = 30.0;
constexpr double kTouchdownPauseSeconds = 15.0;   // from the last record in the air to the first on the ground
constexpr double kSettlingSeconds = 3.0;
constexpr double kRejoinSeconds = 120.0;
constexpr double kTurnWindowSeconds = 60.0;
constexpr double kLiftOffLateSeconds = 5.0;       // after its records' first airborne record plays
constexpr double kOnGroundWithinFeet = 30.0;       // a record this little above the field is at the runway
constexpr double kOverTheThresholdFeet = 50.0;     // a record this little above the field may be past it
constexpr double kLeastLiftOffKnots = 100.0;       // an A320 lifts off no slower
constexpr double kTaxiAtMostKnots = 40.0;          // no aeroplane flies this slowly
constexpr double kTakeoffRollMps = 43.0 * 1852.0 / 3600.0;   // a roll for take-off, not a taxi
// On the ground never faster than this share of its records' highest ground speed and this margin.
constexpr double kGroundSpeedShare = 1.1, kGroundSpeedMarginKnots = 5.0;
constexpr double kBankLimitDegrees = 35.0, kBankFromKnots = 100.0;   // airborne faster than that
constexpr double kFlyingFeet = 200.0;             // records this far above the field fly
constexpr double kBelowRecordsFeet = 300.0;
// No aircraft sinks this much faster than records that descend slower than kSlowDescentFpm, over 5 s
// (a helicopter's records descend at up to 450 ft/min while it slows to a hover), nor a helicopter ever
// faster than this.
constexpr double kSinkLimitFpm = 1000.0, kSlowDescentFpm = 600.0, kSinkWindowSeconds = 5.0;
// After records that end climbing: for a minute, their last altitude extended by the vertical speed
// they report over their last 10 s.
constexpr double kMadeUpClimbSeconds = 60.0, kClimbRateSeconds = 10.0, kMadeUpClimbFeet = 300.0;
// In the air, within this of where its own records put it at play time, 30 s after anything put them
// away from it (between two of its records at most 30 s apart).
constexpr double kOffRecordsNm = 0.15, kBackOnRecordsSeconds = 30.0, kRecordsSayWhereSeconds = 30.0;
constexpr double kCreatedAgainSeconds = 10.0;   // a removal and a creation of one aircraft this close: created again

// A record as the feed sent it, placed at the simulator second at which the program plays it.
struct PlayedRecord {
    double play, x, y;
    bool ground;
    double knots, track;
    double alt = 0.0;       // true feet, read at the day's QNH (0 on the ground)
    double fpm = 0.0;       // the vertical speed it reports
    std::string callsign{};
};

// An object at a trace second, `t` on the wall clock (the clock its program's passes and the feed
// run on; the simulator's second of the trace line where the trace has no wall clock).
struct Snapshot {
    double t, x, y, heading;
    bool ground;
    double alt = 0.0;
    double sim = -1.0;     // the trace line's simulator second (-1: as t)
    double updates = -1;   // position updates the object had from its program by then (-1: not traced)
};

double lf_wrap180(double degrees) { return std::remainder(degrees, 360.0); }

double lf_simOf(const Snapshot& s) { return s.sim >= 0.0 ? s.sim : s.t; }

// A busy machine that held the simulator's clock or the program's passes back makes a trace second
// that is not a second of the program's motion: its span on the wall clock is more than this off the
// simulator's, or its object missed the position updates of two of the simulator's frames or more (the
// program ran no passes to send them, and its position stood while the wall clock went on: at 20 kn
// two frames make a second's speed read 1.3 kn slow and the next one's as fast). A well machine misses
// one now and then.
constexpr double kHeldSeconds = 0.15, kFrameRate = 30.0;
bool lf_held(const Snapshot& a, const Snapshot& b) {
    const double simSpan = lf_simOf(b) - lf_simOf(a);
    return std::abs(b.t - a.t - simSpan) > kHeldSeconds ||
           (a.updates >= 0.0 && b.updates >= 0.0 && b.updates - a.updates < simSpan * kFrameRate - 1.5);
}

// Metres east and north of a centre, on the plane touching the earth there (true over the few tens of
// kilometres an excerpt spans, and near a pole, where degrees of longitude shrink to nothing).
struct LocalFrame {
    static constexpr double kRadiusM = 111132.95 / kDeg2Rad;   // a degree of latitude is 111,132.95 m
    double lat0 = 0.0, lon0 = 0.0;
    void x_y(double lat, double lon, double& x, double& y) const {
        const double p = lat * kDeg2Rad, p0 = lat0 * kDeg2Rad, dl = lf_wrap180(lon - lon0) * kDeg2Rad;
        x = kRadiusM * std::cos(p) * std::sin(dl);
        y = kRadiusM * (std::cos(p0) * std::sin(p) - std::sin(p0) * std::cos(p) * std::cos(dl));
    }
    // The way north at a place, in degrees clockwise from the frame's north (meridians converge on a pole).
    double northDeg(double lat, double lon) const {
        double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
        x_y(lat - 0.001, lon, x0, y0);
        x_y(lat, lon, x1, y1);
        return std::atan2(x1 - x0, y1 - y0) * kRad2Deg;
    }
    void lat_lon(double x, double y, double& lat, double& lon) const {
        const double u = x / kRadiusM, v = y / kRadiusM, rho = std::hypot(u, v), p0 = lat0 * kDeg2Rad;
        if (rho == 0.0) {
            lat = lat0, lon = lon0;
            return;
        }
        const double c = std::asin(std::min(rho, 1.0));
        lat = std::asin(std::cos(c) * std::sin(p0) + v * std::sin(c) * std::cos(p0) / rho) * kRad2Deg;
        lon = lon0 + std::atan2(u * std::sin(c), rho * std::cos(c) * std::cos(p0) - v * std::sin(c) * std::sin(p0)) * kRad2Deg;
    }
};

// The records the feed sent (its recording of them, each with the second it was sent), each played 30 s
// after it was sent, on the wall clock (the first record's stamp against its second of sending gives
// it). A record stamped no later than its aircraft's newest that repeats an earlier position of it (a
// late copy) tells nothing new of where the aircraft was: the trace is held to the others. One stamped
// back with the whole feed's clock, at a new position, is where its aircraft is then; a newer one at a
// position it held before (a hold, a stand's jitter) says it is there again.
// Their altitudes read at the day's QNH, as the program reads them.
std::vector<PlayedRecord> lf_playedRecords(const fs::path& feedRecording, double clockStart, LocalFrame& frame, int qnh) {
    std::vector<PlayedRecord> out;
    std::map<std::string, std::set<std::pair<std::string, std::string>>> seen;
    std::map<std::string, double> newest;
    double sentToWall = 0.0;
    bool first = true;
    for (const std::string& line : readLinesOf(feedRecording)) {
        const std::vector<std::string> f = gf_splitAtComma(line.substr(line.find(' ') + 1));
        if (f.size() < 15 || f[0] != "RTTFC") continue;
        const double lat = std::stod(f[2]), lon = std::stod(f[3]), stamp = std::stod(f[14]), sent = std::stod(line.substr(0, line.find(' ')));
        if (std::exchange(first, false)) sentToWall = stamp - sent;
        const bool repeated = !seen[f[1]].insert({f[2], f[3]}).second;
        const auto [it, firstOfIt] = newest.try_emplace(f[1], stamp);
        if (!firstOfIt && stamp <= it->second && repeated) continue;
        it->second = std::max(it->second, stamp);
        if (out.empty()) frame = {lat, lon};
        PlayedRecord r{sent + sentToWall - clockStart + kPlayDelaySeconds, 0.0, 0.0, f[6] == "1", std::stod(f[8]), std::stod(f[7]),
                       trueAltitudeOnDay(std::stod(f[4]), qnh), std::stod(f[5]), f[9]};
        frame.x_y(lat, lon, r.x, r.y);
        out.push_back(r);
    }
    std::stable_sort(out.begin(), out.end(), [](const PlayedRecord& a, const PlayedRecord& b) { return a.play < b.play; });
    return out;
}

double lf_distanceToPolyline(double x, double y, const std::vector<std::pair<double, double>>& line) {
    double best = 1e18;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto [ax, ay] = line[i];
        const auto [bx, by] = i + 1 < line.size() ? line[i + 1] : line[i];
        const double dx = bx - ax, dy = by - ay, len = dx * dx + dy * dy;
        const double u = len > 0 ? std::clamp(((x - ax) * dx + (y - ay) * dy) / len, 0.0, 1.0) : 0.0;
        best = std::min(best, std::hypot(x - ax - u * dx, y - ay - u * dy));
    }
    return best;
}

// The records' ground path: their ground positions in order and a take-off roll's records flagged
// airborne below lift-off speed with those reading no higher (Dulles flags its rolls airborne from 84.5 kn
// on, at 425 ft in 25-ft steps until they climb); the airborne ones next to those or within 20 s of a
// ground record, however far apart (the aircraft meets or leaves the ground between them, where the
// records may pause or come 20 s apart); and those within the 50 ft an airliner crosses the threshold at
// (past them it may be on the runway: Dulles flags a roll-out airborne down to 44 kn, Reagan's records
// pause 18 s from 8 ft up). Where the records end on the ground the path goes on straight for 10 s at
// their last speed: an aircraft a few seconds ahead of its records there has not left their path; so it
// goes on from their first record off a roll for the 5 s a lift-off may be late.
std::vector<std::pair<double, double>> lf_groundPath(const std::vector<PlayedRecord>& records, double groundFt) {
    std::vector<std::pair<double, double>> path;
    // On the runway or a taxiway: ground records and a roll's records flagged airborne.
    std::vector<bool> rolling(records.size());
    double rollReads = std::numeric_limits<double>::quiet_NaN();
    for (std::size_t k = 0; k < records.size(); ++k) {
        const PlayedRecord& r = records[k];
        if (k > 0 && records[k - 1].ground && !r.ground) rollReads = r.knots < kLeastLiftOffKnots ? r.alt : std::numeric_limits<double>::quiet_NaN();
        if (r.ground || !(r.alt <= rollReads)) rollReads = std::numeric_limits<double>::quiet_NaN();
        rolling[k] = r.ground || !std::isnan(rollReads);
    }
    for (std::size_t k = 0; k < records.size(); ++k) {
        const PlayedRecord& r = records[k];
        const bool near = rolling[k] || r.alt <= groundFt + kOverTheThresholdFeet || (k > 0 && rolling[k - 1]) ||
                          (k + 1 < records.size() && rolling[k + 1]) || std::any_of(records.begin(), records.end(), [&](const PlayedRecord& g) {
                              return g.ground && std::abs(g.play - r.play) <= 20.0;
                          });
        if (near) path.emplace_back(r.x, r.y);
        // Its first record off the roll says it may still roll for the seconds a lift-off may be late.
        if (k > 0 && rolling[k - 1] && !rolling[k]) {
            const double ahead = r.knots * kKnot * kLiftOffLateSeconds;
            path.emplace_back(r.x + ahead * std::sin(r.track * kDeg2Rad), r.y + ahead * std::cos(r.track * kDeg2Rad));
        }
    }
    if (!records.empty() && records.back().ground) {
        const PlayedRecord& last = records.back();
        const double ahead = last.knots * kKnot * 10.0;
        path.emplace_back(last.x + ahead * std::sin(last.track * kDeg2Rad), last.y + ahead * std::cos(last.track * kDeg2Rad));
    }
    return path;
}

// The object's altitude and ground flag at simulator second t, between the snapshots around it
// (false where it was not shown then, or the trace has a gap there).
bool lf_snapshotAt(const std::vector<Snapshot>& snaps, double t, double& alt, bool& ground) {
    const auto b = std::lower_bound(snaps.begin(), snaps.end(), t, [](const Snapshot& s, double u) { return s.t < u; });
    if (b == snaps.end()) return false;
    const Snapshot& a = b == snaps.begin() ? *b : *(b - 1);
    if (a.t > t || lf_simOf(*b) - lf_simOf(a) > 1.5) return false;
    const double u = b->t > a.t ? (t - a.t) / (b->t - a.t) : 0.0;
    alt = a.alt + u * (b->alt - a.alt);
    ground = u < 0.5 ? a.ground : b->ground;
    return true;
}

// One trace second of an object: the way it went and how far its nose turned since the snapshot before.
struct Step {
    double t, dt, metres, turned;   // turned: degrees, either way
    bool ground, air;               // on the ground, or in the air, at both ends
    bool follows;                   // the step before ends where this one starts
};

// `value` of step k read over two trace seconds: over it and the step before, and over it and the step
// after, each pair taken as one step (their distance, turn and time summed), the smaller of the two
// (only pairs on the ground, or in the air, as `ground` says; step k alone without either). A
// position a frame or more stale at one trace second makes the second before it slower and the one
// after it faster; over the two together its way and turn are exact, so no second crosses a limit by
// it, while a hard turn or a rush that holds for two seconds or more still does. (`most`: the larger
// of the two, for a limit from below.)
double lf_overTwoSeconds(const std::vector<Step>& steps, std::size_t k, bool ground,
                         const std::function<double(const Step&)>& value, bool most = false) {
    const auto pairable = [&](std::size_t i) {
        return steps[i].follows && (ground ? steps[i].ground && steps[i - 1].ground : steps[i].air && steps[i - 1].air);
    };
    const auto joined = [&](std::size_t i) {   // steps i-1 and i as one
        const Step& a = steps[i - 1];
        const Step& b = steps[i];
        return value(Step{b.t, a.dt + b.dt, a.metres + b.metres, a.turned + b.turned, b.ground, b.air, a.follows});
    };
    double chosen = -1.0;   // (every value is 0 or more)
    if (k > 0 && pairable(k)) chosen = joined(k);
    if (k + 1 < steps.size() && pairable(k + 1))
        chosen = chosen < 0.0 ? joined(k + 1) : most ? std::max(chosen, joined(k + 1)) : std::min(chosen, joined(k + 1));
    return chosen < 0.0 ? value(steps[k]) : chosen;
}

// Holds the trace, second by second, to the rules; `groundFt` is the simulator's ground elevation
// (the field's), `madeUp` what a flight after its records end is held to, and `feedStart` only names
// the seconds of the recording in the summary.
Judgement lf_judge(const fs::path& trace, const std::vector<PlayedRecord>& all, const LocalFrame& frame, double feedStart,
                   double groundFt = 1416.0, MadeUp madeUp = MadeUp::kNone, double mostOffNm = kOffRecordsNm) {
    Judgement j;
    std::map<long, std::vector<Snapshot>> series;
    std::map<long, std::string> callsigns;
    std::vector<std::pair<long, double>> removals;
    std::map<long, double> createdAt;
    // Each line's simulator second is read on the wall clock, which the records' play times are on too:
    // a busy machine holds the simulator's clock back and it catches up in a burst, while the program's
    // passes keep to the wall clock. (An event line has no wall clock: the latest frame's lead goes.)
    double clockStart = -1.0, wallLead = 0.0;
    for (const std::string& line : readLinesOf(trace)) {
        const nlohmann::json d = nlohmann::json::parse(line, nullptr, false);
        if (!d.is_object()) continue;
        if (d.value("event", "") == "clockStart") clockStart = std::stod(d.value("text", "0"));
        const double sim = d.value("t", 0.0);
        if (clockStart > 0.0 && d.contains("wall")) wallLead = d["wall"].get<double>() - clockStart - sim;
        const double t = sim + wallLead;
        if (d.value("event", "") == "removed") removals.emplace_back(d.value("id", 0L), t);
        if (d.value("event", "") == "created") {
            const std::string text = d.value("text", "");
            callsigns[d.value("id", 0L)] = text.substr(0, text.find(' '));
            createdAt[d.value("id", 0L)] = t;
        }
        if (!d.contains("objects")) continue;
        for (const nlohmann::json& o : d["objects"]) {
            if (o.value("user", false)) continue;
            const double lat = o["lat"].get<double>(), lon = o["lon"].get<double>();
            Snapshot s{t, 0.0, 0.0, o.value("heading", 0.0) + frame.northDeg(lat, lon), o.value("onGround", false), o.value("alt", 0.0), sim,
                       o.value("positionUpdates", -1.0)};
            frame.x_y(lat, lon, s.x, s.y);
            series[o["id"].get<long>()].push_back(s);
        }
    }
    std::map<std::string, std::vector<PlayedRecord>> byAircraft;
    for (const PlayedRecord& r : all) byAircraft[r.callsign].push_back(r);
    const auto recordsOf = [&](long id) -> const std::vector<PlayedRecord>& {
        const auto c = callsigns.find(id);
        const auto a = c == callsigns.end() ? byAircraft.end() : byAircraft.find(c->second);
        return a == byAircraft.end() ? all : a->second;
    };

    for (auto& [id, snaps] : series) {
        const std::vector<PlayedRecord>& records = recordsOf(id);
        const double lastPlay = records.empty() ? -1.0 : records.back().play;
        const std::vector<std::pair<double, double>> groundPath = lf_groundPath(records, groundFt);

        // True when records play around `t` (within 5 s) and every one of them is a ground record
        // reporting 5 kn or more.
        const auto recordsTaxi = [&](double t) {
            bool any = false;
            for (const PlayedRecord& r : records) {
                if (std::abs(r.play - t) > 5.0) continue;
                if (!r.ground || r.knots < 5.0) return false;
                any = true;
            }
            return any;
        };
        // The records' speed on the ground about t: the fastest within 5 s, else (a pause) the faster of
        // the last before it and the first after it; negative where they fly.
        const auto recordsKnots = [&](double t) {
            double most = -1.0, before = -1.0, after = -1.0;
            for (const PlayedRecord& r : records) {
                if (std::abs(r.play - t) <= 5.0) most = std::max(most, r.ground ? r.knots : 1e9);
                if (r.play <= t) before = r.ground ? r.knots : 1e9;
                if (r.play > t && after < 0.0) after = r.ground ? r.knots : 1e9;
            }
            const double k = most >= 0.0 ? most : std::max(before, after);
            return k >= 1e9 ? -1.0 : k;
        };
        // The most the records' own tracks turn net one way on the ground within the minute before t and
        // the lead before that (tracks of moving ground records, unwrapped from one to the next).
        std::vector<std::pair<double, double>> recordsTurn;   // (play, cumulative track)
        for (const PlayedRecord& r : records) {
            if (!r.ground || r.knots < 1.0 || r.track < 0.0) continue;
            const double cumulative = recordsTurn.empty() ? r.track
                                                          : recordsTurn.back().second + lf_wrap180(r.track - std::fmod(recordsTurn.back().second + 720.0, 360.0));
            recordsTurn.emplace_back(r.play, cumulative);
        }
        const auto recordsTurnBefore = [&](double t) {
            double low = 1e9, high = -1e9;
            for (const auto& [play, cumulative] : recordsTurn)
                if (play <= t && play >= t - kTurnWindowSeconds - kFullTurnRecordsLeadSeconds)
                    low = std::min(low, cumulative), high = std::max(high, cumulative);
            return high >= low ? high - low : 0.0;
        };
        const auto recordsSpeedUp = [&](double t) {
            for (std::size_t k = 1; k < records.size(); ++k) {
                const PlayedRecord &p = records[k - 1], &q = records[k];
                if (std::abs(q.play - t) > kSpeedUpWindowSeconds || q.play <= p.play) continue;
                if ((q.knots - p.knots) / (q.play - p.play) >= kRecordsSpeedUpKnPerS) return true;
            }
            return false;
        };
        // Records k-1 and k pause: their path meanwhile is not known.
        const auto pauseBefore = [&](std::size_t k) {
            const double gap = records[k].play - records[k - 1].play;
            return gap > kPauseSeconds || (gap > kTouchdownPauseSeconds && !records[k - 1].ground && records[k].ground);
        };
        const auto pausedAt = [&](double t) {
            for (std::size_t k = 1; k < records.size(); ++k)
                if (records[k - 1].play <= t && records[k].play > t) return pauseBefore(k);
            return false;
        };
        // The play time of the first record after the latest pause at or before t, or -1.
        const auto resumedAt = [&](double t) {
            double at = -1.0;
            for (std::size_t k = 1; k < records.size() && records[k].play <= t; ++k)
                if (pauseBefore(k)) at = records[k].play;
            return at;
        };
        double fastest = 0.0;
        for (const PlayedRecord& r : records) fastest = std::max(fastest, r.knots);
        const double groundSpeedLimit = kGroundSpeedShare * fastest + kGroundSpeedMarginKnots;
        // The records' lift-off: their first airborne record after one on the ground (some receivers flag
        // a roll airborne from 80 kn on, where no airliner flies: from the first at a speed it lifts off at).
        double liftOff = -1.0;
        for (std::size_t k = 1; k < records.size() && liftOff < 0.0; ++k) {
            // (An airborne record at a taxi's speed is a receiver's glitching altitude, not a lift-off.)
            if (!records[k - 1].ground || records[k].ground || records[k].knots < kTaxiAtMostKnots) continue;
            // (Nor is one whose true altitude lies within what a trace is on the ground at, or that reads no
            // higher than a roll flagged airborne below lift-off speed: Dulles flags its rolls airborne from
            // 84.5 kn on, and their records read 425 ft in 25-ft steps until they climb, 20-30 ft above the
            // field on the day's QNH as far as a recording tells it. However far apart they come: seen every
            // 10 s, its first flying record may follow 20 s on.)
            std::size_t up = k;
            const double rollReads = records[k].knots < kLeastLiftOffKnots ? records[k].alt : std::numeric_limits<double>::quiet_NaN();
            while (up + 1 < records.size() &&
                   (records[up].knots < kLeastLiftOffKnots || records[up].alt <= groundFt + kOnGroundWithinFeet || records[up].alt <= rollReads) &&
                   !records[up + 1].ground)
                ++up;
            liftOff = records[up].play;
        }

        double resumed = -1.0, lastFpm = 0.0, slowSince = -1.0;
        bool backOnPath = true;
        std::vector<Step> steps;
        std::vector<std::pair<double, double>> turn;   // (t, cumulative heading) of the current ground stretch
        for (std::size_t i = 0; i < snaps.size(); ++i) {
            const Snapshot& b = snaps[i];
            if (b.ground && b.t <= lastPlay && !groundPath.empty() && !pausedAt(b.t)) {   // after that its motion is made up
                const double d = lf_distanceToPolyline(b.x, b.y, groundPath);
                if (const double at = resumedAt(b.t); at != resumed) std::tie(resumed, backOnPath) = std::tuple{at, false};
                if (d <= kOffPathLimitMetres) backOnPath = true;
                if (backOnPath || b.t > resumed + kRejoinSeconds) j.rules[kOffPath].measure(d, b.t, d > kOffPathLimitMetres);
            }
            if (i == 0) continue;
            const Snapshot& a = snaps[i - 1];
            const double dt = b.t - a.t;
            if (dt <= 0.0 || lf_simOf(b) - lf_simOf(a) > 1.5) {   // a gap in the trace: nothing is measured across it
                turn.clear();
                lastFpm = 0.0;
                slowSince = -1.0;
                continue;
            }
            const double dx = b.x - a.x, dy = b.y - a.y, knots = std::hypot(dx, dy) / dt / kKnot;
            const double turned = lf_wrap180(b.heading - a.heading);
            const bool ground = a.ground && b.ground;
            ++j.seconds;
            j.heldSeconds += lf_held(a, b) ? 1 : 0;
            steps.push_back({b.t, dt, std::hypot(dx, dy), std::abs(turned), ground, !a.ground && !b.ground,
                             !steps.empty() && steps.back().t == a.t});
            if (knots > 1.0) {
                const double course = std::atan2(dx, dy) * kRad2Deg;
                if (std::abs(lf_wrap180(course - (a.heading + turned / 2.0))) > 90.0)
                    j.rules[kBackwards].measure(knots, b.t, knots > kBackwardsLimitKnots);
            }
            const bool settled = b.t > snaps.front().t + kSettlingSeconds;
            // (A take-off roll aside: it rolls at 43 kn within 15 s; and for the race, the last seconds of a
            // landing roll that braked through 43 kn within 3 s, its brakes at their best.)
            const auto rollsAt = [&at = snaps](std::size_t n) {
                return at[n].t > at[n - 1].t && std::hypot(at[n].x - at[n - 1].x, at[n].y - at[n - 1].y) / (at[n].t - at[n - 1].t) >= kTakeoffRollMps;
            };
            bool rolls = false, rolled = false;
            for (std::size_t n = i + 1; n < snaps.size() && snaps[n].t <= b.t + kRollWithinSeconds && snaps[n].ground && !rolls; ++n)
                rolls = rollsAt(n);
            for (std::size_t n = i; n > 0 && snaps[n].t >= b.t - kRolledWithinSeconds && snaps[n].ground && !rolled; --n)
                rolled = rollsAt(n);
            // Speeds over two seconds: a second in which the program's positions stalled and the next that
            // caught up (a busy computer) are one even step.
            const auto pace = [](const Snapshot& p, const Snapshot& q) { return std::hypot(q.x - p.x, q.y - p.y) / (q.t - p.t) / kKnot; };
            const bool even = i >= 4 && lf_simOf(b) - lf_simOf(snaps[i - 4]) <= 4.5 && snaps[i - 4].ground && snaps[i - 3].ground && snaps[i - 2].ground && ground;
            const double twoSeconds = even ? pace(snaps[i - 2], b) : knots;
            // A taxi's speed-up: the change of the middle one of three seconds' speeds from one second to
            // the next (a stalled second and the one that caught up read as neither).
            const auto middleKnots = [&pace](const std::vector<Snapshot>& at, std::size_t k) {
                double v[3];
                for (std::size_t n = 0; n < 3; ++n) v[n] = pace(at[k - 2 + n], at[k - 1 + n]);
                std::sort(v, v + 3);
                return v[1];
            };
            // (Not where a busy machine held a second of it back: the speeds either side of it are not the
            // program's.)
            bool held = false;
            for (std::size_t n = i - 3; even && n <= i + 1 && n < snaps.size(); ++n) held = held || lf_held(snaps[n - 1], snaps[n]);
            const bool steady = even && !held && i + 1 < snaps.size() && snaps[i + 1].ground && snaps[i + 1].t - b.t > 0.0 &&
                                lf_simOf(snaps[i + 1]) - lf_simOf(b) <= 1.5;
            if (steady && settled && knots < kTakeoffRollMps / kKnot && !recordsSpeedUp(b.t) && !rolls) {
                const double gain = (middleKnots(snaps, i) - middleKnots(snaps, i - 1)) / (b.t - a.t);
                j.rules[kTaxiSpeedUp].measure(gain, b.t, gain > kTaxiSpeedUpKnots);
            } else if (steady && settled) {
                // (Over two seconds' speeds: at a take-off roll's speeds a frame's jitter reads several knots
                // in one second's.)
                const double gain = (twoSeconds - pace(snaps[i - 4], snaps[i - 2])) / ((b.t - snaps[i - 4].t) / 2.0);
                j.rules[kRollSpeedUp].measure(gain, b.t, gain > kRollSpeedUpKnots);
            }
            if (const double theirs = ground && !held && !rolls && !rolled && twoSeconds >= kRaceFromKnots && twoSeconds <= kRaceToKnots ? recordsKnots(b.t) : -1.0;
                theirs >= 0.0 && theirs <= kRaceToKnots) {
                const double over = twoSeconds - (kRaceShare * theirs + kRaceMarginKnots);
                j.rules[kRace].measure(over, b.t, over > 0.0);
            }
            const double fpm = !a.ground && !b.ground ? (b.alt - a.alt) / dt * 60.0 : 0.0;
            if (std::abs(fpm) > kSawToothFpm && std::abs(lastFpm) > kSawToothFpm)
                j.rules[kSawTooth].measure(std::min(std::abs(fpm), std::abs(lastFpm)), b.t, fpm * lastFpm < 0.0);
            lastFpm = fpm;
            if (!ground) {
                turn.clear();
                slowSince = -1.0;
                continue;
            }
            if (turn.empty()) turn.emplace_back(a.t, 0.0);
            turn.emplace_back(b.t, turn.back().second + turned);
            double most = 0.0, pivot = 0.0;
            slowSince = knots >= kPivotBelowKnots ? -1.0 : slowSince < 0.0 ? a.t : slowSince;
            for (const auto& [t, h] : turn) {
                if (b.t - t <= kTurnWindowSeconds) most = std::max(most, std::abs(turn.back().second - h));
                if (slowSince >= 0.0 && t >= slowSince && b.t - t <= kPivotSeconds) pivot = std::max(pivot, std::abs(turn.back().second - h));
            }
            j.rules[kFullTurn].measure(most, b.t, most > std::max(kFullTurnLimitDegrees, recordsTurnBefore(b.t) + kFullTurnBeyondRecordsDegrees));
            if (slowSince >= 0.0) j.rules[kPivot].measure(pivot, b.t, pivot > kPivotDegrees);
        }

        // Sideways g, ground speed, bank and standing, each second read over two (lf_overTwoSeconds).
        double standingSince = -1.0;
        for (std::size_t k = 0; k < steps.size(); ++k) {
            const Step& step = steps[k];
            const double knots = step.metres / step.dt / kKnot;
            if (step.ground && knots > 10.0) {
                const double g = lf_overTwoSeconds(steps, k, true, [](const Step& w) {
                    return w.metres * w.turned * kDeg2Rad / (w.dt * w.dt) / kGravity;
                });
                j.rules[kSideways].measure(g, step.t, g > kSidewaysLimitG);
            }
            if (step.ground && step.t <= lastPlay) {
                const double over = lf_overTwoSeconds(steps, k, true, [](const Step& w) { return w.metres / w.dt / kKnot; });
                j.rules[kGroundSpeed].measure(over, step.t, over > groundSpeedLimit);
            }
            if (step.air && knots > kBankFromKnots) {
                const double bank = lf_overTwoSeconds(steps, k, false, [](const Step& w) {
                    return std::atan(w.metres * w.turned * kDeg2Rad / (w.dt * w.dt) / kGravity) * kRad2Deg;
                });
                j.rules[kBank].measure(bank, step.t, bank > kBankLimitDegrees);
            }
            // Standing while its records taxi, the faster pair of seconds (not in its first seconds: a new
            // object is placed, then sets off): a second the program's position stood still under a busy
            // computer is no stop.
            const bool stands = step.ground && recordsTaxi(step.t) && step.t > snaps.front().t + kSettlingSeconds &&
                                lf_overTwoSeconds(steps, k, true, [](const Step& w) { return w.metres / w.dt / kKnot; },
                                                  true) < 1.0;
            if (!stands || !step.follows) standingSince = -1.0;
            if (!stands) continue;
            if (standingSince < 0.0) standingSince = step.t - step.dt;
            j.rules[kStanding].broken++;
            if (step.t - standingSince > j.rules[kStanding].worst || j.rules[kStanding].at < 0.0)
                j.rules[kStanding].worst = step.t - standingSince, j.rules[kStanding].at = standingSince;
        }

        // Lifted off within 5 s of its records' first airborne record (an object first shown in the air
        // has nothing to lift off from), and as many seconds later as it ran behind them when it set off
        // on its roll (from its taxi, which catches up at a taxi's pace at most): the time it first rolls
        // at 43 kn against the records' time where their ground path passes it.
        const auto onGround = [](const Snapshot& s) { return s.ground; };
        if (liftOff >= 0.0 && std::any_of(snaps.begin(), snaps.end(), [&](const Snapshot& s) {
                return s.ground && s.t <= liftOff + kLiftOffLateSeconds;
            })) {
            double carried = 0.0;
            for (std::size_t k = 1; k < snaps.size(); ++k) {
                const Snapshot& a = snaps[k - 1];
                const Snapshot& b = snaps[k];
                if (!a.ground || !b.ground || b.t - a.t <= 0.0 || std::hypot(b.x - a.x, b.y - a.y) / (b.t - a.t) < kTakeoffRollMps)
                    continue;
                // (The records' time where their ground path passes nearest to it.)
                double best = 1e18, played = b.t;
                for (std::size_t i = 0; i + 1 < records.size(); ++i) {
                    const PlayedRecord& p = records[i];
                    const PlayedRecord& q = records[i + 1];
                    if (!p.ground || !q.ground) continue;
                    const double dx = q.x - p.x, dy = q.y - p.y, len = dx * dx + dy * dy;
                    const double u = len > 0.0 ? std::clamp(((b.x - p.x) * dx + (b.y - p.y) * dy) / len, 0.0, 1.0) : 0.0;
                    const double d = std::hypot(b.x - p.x - u * dx, b.y - p.y - u * dy);
                    if (d < best) best = d, played = p.play + u * (q.play - p.play);
                }
                carried = std::max(0.0, b.t - played);
                break;
            }
            const auto firstGround = std::find_if(snaps.begin(), snaps.end(), onGround);
            const auto off = std::find_if_not(firstGround, snaps.end(), onGround);
            const double at = off == snaps.end() ? snaps.back().t : off->t;
            const double late = at - liftOff - carried;
            j.rules[kLateLiftOff].measure(late, at, off == snaps.end() || late > kLiftOffLateSeconds);
        }

        // Where each record plays, the object is in the air under records that fly 200 ft or more above
        // the field, and never more than 300 ft below an airborne record. Not in the 5 s after the
        // records' lift-off: the object may lift off that much later.
        // (Nor under a record at a taxi's speed within 10 s of a ground one: a receiver's flickering height.)
        const auto flickers = [&](const PlayedRecord& r) {
            return r.knots < kTaxiAtMostKnots && std::any_of(records.begin(), records.end(), [&](const PlayedRecord& g) {
                       return g.ground && std::abs(g.play - r.play) <= 10.0;
                   });
        };
        const auto judgeHeight = [&](const PlayedRecord& r, double t, double alt, bool ground) {
            if (r.ground || flickers(r) || (liftOff >= 0.0 && r.play >= liftOff && r.play <= liftOff + kLiftOffLateSeconds)) return;
            const double feet = r.alt;
            if (feet >= groundFt + kFlyingFeet) j.rules[kGroundUnderFlight].measure(ground ? feet - groundFt : 0.0, t, ground);
            j.rules[kBelowRecords].measure(feet - alt, t, feet - alt > kBelowRecordsFeet);
        };
        if (madeUp != MadeUp::kHover) {
            for (const PlayedRecord& r : records) {
                double alt = 0.0;
                bool ground = false;
                if (lf_snapshotAt(snaps, r.play, alt, ground)) judgeHeight(r, r.play, alt, ground);
            }
        } else {
            // A helicopter is held to the latest record played at every second, also where its records
            // pause or have ended: it hovers, it does not come down.
            for (const Snapshot& s : snaps) {
                const auto latest = std::upper_bound(records.begin(), records.end(), s.t,
                                                     [](double t, const PlayedRecord& r) { return t < r.play; });
                if (latest != records.begin()) judgeHeight(*(latest - 1), s.t, s.alt, s.ground);
            }
        }
        // In the air no aircraft sinks 1,000 ft/min faster than records that descend slower than 600 ft/min
        // (their height where they play; a helicopter's held after their last, where it hovers), and a
        // helicopter never sinks faster than 1,000 ft/min in the air, under any records or in its made-up
        // hover. After an aeroplane's records end its made-up approach may descend as it must.
        const bool hover = madeUp == MadeUp::kHover;
        const auto recordsFeetAt = [&](double t, bool& flying) {
            const auto next = std::upper_bound(records.begin(), records.end(), t, [](double x, const PlayedRecord& r) { return x < r.play; });
            if (next == records.begin()) return flying = false, 0.0;
            const PlayedRecord& a = *(next - 1);
            flying = !a.ground && (next == records.end() || !next->ground);
            if (next == records.end() || next->play <= a.play) return a.alt;
            return a.alt + (next->alt - a.alt) * (t - a.play) / (next->play - a.play);
        };
        for (std::size_t i = 0, k = 0; i < snaps.size(); ++i) {
            while (snaps[i].t - snaps[k].t > kSinkWindowSeconds + 0.5) ++k;
            const Snapshot &a = snaps[k], &b = snaps[i];
            bool fromFlying = false, toFlying = false;
            const double recordsFpm = (recordsFeetAt(a.t, fromFlying) - recordsFeetAt(b.t, toFlying)) / std::max(b.t - a.t, 0.1) * 60.0;
            // (A helicopter is held to 1,000 ft/min in every window of its flight, whatever its records do.)
            const bool slowRecords = fromFlying && toFlying && recordsFpm < kSlowDescentFpm && (hover || b.t <= records.back().play);
            if (b.t - a.t < kSinkWindowSeconds - 0.5 || a.ground || b.ground || (!slowRecords && !hover)) continue;
            const double fpm = (a.alt - b.alt) / (b.t - a.t) * 60.0, beyond = fpm - std::max(recordsFpm, 0.0);
            j.rules[kSinking].measure(slowRecords ? beyond : fpm, b.t, (slowRecords && beyond > kSinkLimitFpm) || (hover && fpm > kSinkLimitFpm));
        }

        // In the air, where its records put it at each second they play (between two airborne ones at most
        // 30 s apart): 30 s after anything put it off them, it is back within reach of them.
        double offSince = -1.0;
        for (const Snapshot& s : snaps) {
            const auto next = std::upper_bound(records.begin(), records.end(), s.t, [](double t, const PlayedRecord& r) { return t < r.play; });
            const bool judged = !s.ground && next != records.begin() && next != records.end() && !next->ground && !(next - 1)->ground &&
                                next->play - (next - 1)->play <= kRecordsSayWhereSeconds;
            if (!judged) {
                offSince = -1.0;
                continue;
            }
            const PlayedRecord& a = *(next - 1);
            const double u = next->play > a.play ? (s.t - a.play) / (next->play - a.play) : 0.0;
            const double nm = std::hypot(s.x - a.x - u * (next->x - a.x), s.y - a.y - u * (next->y - a.y)) / 1852.0;
            if (nm <= mostOffNm) {
                offSince = -1.0;
            } else if (offSince < 0.0) {
                offSince = s.t;
            }
            j.rules[kOffRecords].measure(nm, s.t, offSince >= 0.0 && s.t - offSince > kBackOnRecordsSeconds);
        }

        // After records that end climbing, a minute of made-up flight keeps climbing as they did.
        if (madeUp == MadeUp::kClimb && !records.empty() && !records.back().ground) {
            const PlayedRecord& last = records.back();
            double sum = 0.0;
            int n = 0;
            for (const PlayedRecord& r : records)
                if (last.play - r.play <= kClimbRateSeconds) sum += r.fpm, ++n;
            const double fpm = sum / n;
            for (const Snapshot& s : snaps) {
                if (s.t <= last.play || s.t > last.play + kMadeUpClimbSeconds) continue;
                const double off = std::abs(s.alt - (last.alt + fpm * (s.t - last.play) / 60.0));
                j.rules[kMadeUpClimb].measure(off, s.t, off > kMadeUpClimbFeet);
            }
            if (snaps.back().t < last.play + kMadeUpClimbSeconds - 1.0) {
                j.rules[kMadeUpClimb].broken++;
                j.summary += vrn::format("removed {:.0f} s after its climbing records ended; ",
                                         std::max(0.0, snaps.back().t - last.play));
            }
        }
    }
    for (const auto& [id, t] : removals) {
        // (Created again within seconds under the same callsign: taken where its records are.)
        const long gone = id;
        const double at = t;
        const bool again = std::any_of(createdAt.begin(), createdAt.end(), [&](const auto& c) {
            return c.first != gone && callsigns[c.first] == callsigns[gone] && c.second >= at - 1.0 && c.second <= at + kCreatedAgainSeconds;
        });
        if (again) continue;
        const std::vector<PlayedRecord>& records = recordsOf(id);
        const double due = (records.empty() ? -1.0 : records.back().play) - t;   // seconds of records still to play
        j.rules[kRemovedEarly].measure(std::max(0.0, due), t, due > 1.0);
    }

    static const char* const names[kRuleCount] = {
        "sideways>0.3g", "backwards>20kn", "full-turn>270deg", "standing", "off-path>150m", "removed-early",
        "lift-off>5s-late", "ground>1.1x+5kn", "bank>35deg", "ground-under-flight", "below-records>300ft",
        "sinking>1000fpm", "made-up-climb>300ft", "off-records>30s", "saw-tooth>600fpm", "pivot>90deg/8s",
        "taxi-speed-up>4kn/s", "race>1.5x+5kn", "roll-speed-up>8kn/s"};
    static const char* const units[kRuleCount] = {"g", "kn", "deg", "s", "m", "s", "s", "kn", "deg", "ft", "ft", "fpm", "ft",
                                                  "nm", "fpm", "deg", "kn/s", "kn", "kn/s"};
    for (int r = 0; r < kRuleCount; ++r) {
        const Tally& t = j.rules[r];
        j.summary += vrn::format("{}{} {}", r ? " | " : vrn::format("held {} s of {} | ", j.heldSeconds, j.seconds), names[r], t.broken);
        if (t.at >= 0.0)
            j.summary += vrn::format(" (worst {:.{}f} {} at {:.0f} s, rec {:.0f})", t.worst, r == kSideways || r == kOffRecords ? 2 : 0,
                                     units[r], t.at, t.at - feedStart - kPlayDelaySeconds);
    }
    return j;
}

struct Outcome {
    int exitStatus = -1;
    double feedStart = 0.0;   // simulator second at which the recording's first record was sent
    double feedEnd = 0.0;     // simulator second of the last record sent
    nlohmann::json score;
    std::vector<double> behindGround, behindAir;   // seconds behind the real aircraft while moving
    int liftOffs = 0;   // aircraft seen on the ground, then off it or more than 30 ft above it, until removed
    int aircraft = 0;   // aircraft (callsigns) in the records
    std::string output;
    Judgement judgement;
};

int lf_liftOffs(const fs::path& trace) {
    std::map<long, double> groundAlt;
    std::set<long> lifted;
    for (const std::string& line : readLinesOf(trace)) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (!j.is_object() || !j.contains("objects")) continue;
        for (const nlohmann::json& o : j["objects"]) {
            if (o.value("user", false)) continue;
            const long id = o["id"];
            const double alt = o["alt"];
            if (o.value("onGround", false) && !groundAlt.count(id)) groundAlt[id] = alt;
            if (groundAlt.count(id) && (alt > groundAlt[id] + 30.0 || !o.value("onGround", false))) lifted.insert(id);
        }
    }
    return static_cast<int>(lifted.size());
}

double lf_median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

// How far behind the real aircraft each moving snapshot of the trace runs, on the ground and in the
// air: simulator time minus the time at which the real aircraft was nearest to it. (Where an aircraft
// stands, the real one stood there at many times: standing snapshots say nothing.)
constexpr double kSamePlaceMetres = 5.0;   // passes of the real path this near count as the same place

void lf_measureBehind(const fs::path& trace, const fs::path& truth, double until, const std::string& callsign,
                      Outcome& out) {
    struct P { double t, x, y; };
    std::vector<P> path;
    LocalFrame frame;
    std::vector<std::string> rows = readLinesOf(truth);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> f = gf_splitAtComma(rows[i]);
        const double lat = std::stod(f[1]), lon = std::stod(f[2]);
        if (path.empty()) frame = {lat, lon};
        P p{std::stod(f[0]), 0.0, 0.0};
        frame.x_y(lat, lon, p.x, p.y);
        path.push_back(p);
    }
    if (path.size() < 2) return;
    const double t0 = path.front().t;
    std::map<long, P> previous;
    std::set<long> others;   // objects of other aircraft than `callsign`
    for (const std::string& line : readLinesOf(trace)) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_object() && j.value("event", "") == "created" && !callsign.empty() &&
            !j.value("text", "").starts_with(callsign + " "))
            others.insert(j.value("id", 0L));
        if (!j.is_object() || !j.contains("objects") || j["t"].get<double>() > until) continue;
        const double t = j["t"];
        for (const nlohmann::json& o : j["objects"]) {
            if (o.value("user", false) || others.count(o.value("id", 0L))) continue;
            P p{t, 0.0, 0.0};
            frame.x_y(o["lat"].get<double>(), o["lon"].get<double>(), p.x, p.y);
            const auto before = previous.find(o["id"]);
            const bool moving = before != previous.end() && t > before->second.t &&
                                std::hypot(p.x - before->second.x, p.y - before->second.y) / (t - before->second.t) > 1.5;
            previous[o["id"]] = p;
            if (!moving) continue;
            // Where the real path passes the same place more than once (a push-back, then a taxi out
            // over the same ground), the nearest pass in time is the one it follows.
            std::vector<std::pair<double, double>> near;   // (distance, the real aircraft's time there)
            for (std::size_t i = 0; i + 1 < path.size(); ++i) {
                const P& a = path[i];
                const P& b = path[i + 1];
                const double dx = b.x - a.x, dy = b.y - a.y, len = dx * dx + dy * dy;
                const double u = len > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len, 0.0, 1.0) : 0.0;
                near.emplace_back(std::hypot(p.x - a.x - u * dx, p.y - a.y - u * dy), a.t + u * (b.t - a.t) - t0);
            }
            const double best = std::min_element(near.begin(), near.end())->first;
            const double due = t - out.feedStart - kPlayDelaySeconds;
            double when = 0.0, closest = 1e18;
            for (const auto& [d, at] : near)
                if (d <= best + kSamePlaceMetres && std::abs(at - due) < closest) closest = std::abs(at - due), when = at;
            (o.value("onGround", false) ? out.behindGround : out.behindAir).push_back(t - out.feedStart - when);
        }
    }
}

// The simulator's ground elevation: the field's where the user stands on it.
double lf_groundElevation(const Excerpt& e) { return e.userOnGround ? e.userAlt : 1416.0; }

std::string lf_scenario(const Excerpt& e) {
    return vrn::format(R"({{"version": 2020, "frameRate": 30, "simulatorRunning": true, "flightRunning": false,
 "packagesFolder": "../config/Microsoft Flight Simulator/Packages", "groundElevation": {},
 "user": {{"title": "Airbus A320 Neo Asobo", "atcModel": "ATCCOM.AC_MODEL_A20N.0.text", "lat": {}, "lon": {},
  "altitude": {}, "heading": 270, "groundSpeed": 0, "onGround": {}}},
 "timeline": [{{"t": 3, "event": "flightStart"}}]}})",
                       lf_groundElevation(e), e.userLat, e.userLon, e.userAlt,
                       e.userOnGround ? "true" : "false");
}

// The data sources of the staged program: the project's own, with the excerpt's park airport's parking
// file in place of the demo airports' ones.
void lf_stageSources(const fs::path& root, const fs::path& source, const std::string& park) {
    fs::create_directories(source / "airports" / "parking");
    fs::create_directory_symlink(root / "data" / "liveries", source / "liveries");
    fs::create_symlink(root / "data" / "airports" / "airports.csv", source / "airports" / "airports.csv");
    fs::copy_file(testDataPath("replay/airports/parking/" + park + ".txt"), source / "airports" / "parking" / (park + ".txt"));
}

// Seconds of the recording at which the first record of the excerpt lies.
double lf_firstRecordOffset(const Excerpt& e) {
    std::ifstream in(realDataPath(vrn::format("tracks/{}.rttfc", e.recording)));
    double first = -1.0;
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> f = gf_splitAtComma(line);
        if (f.size() < 15) continue;
        const double stamp = std::stod(f[14]);
        if (first < 0) first = stamp;
        if (stamp - first >= e.from) return stamp - first;
    }
    return e.from;
}

// A feed made at test time: each record with the second of the feed at which it is sent (its time
// stamp, field 14, may tell another time), in the recording format the stand-in replays.
struct Derived {
    std::vector<std::pair<double, std::vector<std::string>>> sent;
    std::vector<std::vector<std::string>> path;   // the real path the scorer follows; empty: the recording's
    std::string callsign;                          // the scorer follows this aircraft only (empty: every one)
};

using Records = std::vector<std::pair<double, std::vector<std::string>>>;   // (second, fields)

// The records of a recording whose seconds (from its first record) lie within [from, to].
Records lf_recordsOf(const std::string& recording, double from, double to) {
    Records out;
    double first = -1.0;
    for (const std::string& line : readLinesOf(realDataPath(vrn::format("tracks/{}.rttfc", recording)))) {
        std::vector<std::string> f = gf_splitAtComma(line);
        if (f.size() < 15 || f[0] != "RTTFC") continue;
        const double stamp = std::stod(f[14]);
        if (first < 0.0) first = stamp;
        if (stamp - first >= from && stamp - first <= to) out.emplace_back(stamp - first, std::move(f));
    }
    return out;
}

std::string lf_joined(const std::vector<std::string>& f) {
    std::string s;
    for (const std::string& x : f) s += (s.empty() ? "" : ",") + x;
    return s;
}

double lf_field(const std::vector<std::string>& f, std::size_t i) { return std::stod(f[i]); }
LatLon lf_position(const std::vector<std::string>& f) { return {lf_field(f, 2), lf_field(f, 3)}; }
void lf_setPosition(std::vector<std::string>& f, const LatLon& p) {
    f[2] = vrn::format("{:.6f}", p.lat);
    f[3] = vrn::format("{:.6f}", p.lon);
}

// The course over the records' last 12 s (a track field is a coarse single reading).
double lf_courseInto(const Records& records, std::size_t last) {
    std::size_t from = last;
    while (from > 0 && records[from - 1].first >= records[last].first - 12.0) --from;
    return gf_initialBearing(lf_position(records[from].second), lf_position(records[last].second));
}

// ENT57BW's real roll on runway 28 up to its record at 81 kn (the window's end), then SWR5220's real
// braking on runway 14 from its first ground record no faster than that down to 50 kn, its positions
// moved and turned to go on along ENT57BW's roll: the records of a take-off abandoned at 81 kn, sent
// one a second, or (`step` 2) one every 2 s.
Derived lf_rejectedTakeOff(const Excerpt& e, double step) {
    const Records roll = lf_recordsOf(e.recording, e.from, e.to);
    const Records landing = lf_recordsOf("lszh-arr-swr5220", 1000.0, 1100.0);
    const std::vector<std::string>& last = roll.back().second;
    std::size_t k = 0;
    while (k < landing.size() && (landing[k].second[6] != "1" || lf_field(landing[k].second, 8) > lf_field(last, 8))) ++k;
    const std::pair<double, std::vector<std::string>>& anchor = landing.at(k);
    const double turn = lf_courseInto(roll, roll.size() - 1) - lf_courseInto(landing, k);

    Records records = roll;
    for (std::size_t i = k + 1; i < landing.size() && lf_field(landing[i].second, 8) >= 50.0; ++i) {
        const std::vector<std::string>& b = landing[i].second;
        const LatLon from = lf_position(anchor.second), to = lf_position(b);
        const double after = landing[i].first - anchor.first;
        std::vector<std::string> f = last;
        lf_setPosition(f, gf_destinationPoint(lf_position(last), gf_initialBearing(from, to) + turn,
                                              gf_distanceNm(from, to) * 6076.12));
        f[7] = vrn::format("{:.1f}", std::fmod(lf_field(b, 7) + turn * kRad2Deg + 720.0, 360.0));
        f[8] = b[8];
        f[14] = vrn::format("{:.3f}", lf_field(last, 14) + after);
        records.emplace_back(roll.back().first + after, std::move(f));
    }
    Derived d;
    for (const auto& [t, f] : records) {
        if (!d.sent.empty() && t - records.front().first - d.sent.back().first < step - 0.01) continue;
        d.sent.emplace_back(t - records.front().first, f);
        d.path.push_back(f);
    }
    return d;
}

// The window's records, and each again 45 s later with its old time stamp (a second, late sender).
Derived lf_lateSender(const Excerpt& e) {
    Derived d;
    const Records records = lf_recordsOf(e.recording, e.from, e.to);
    for (const auto& [t, f] : records) d.sent.emplace_back(t - records.front().first, f);
    for (const auto& [t, f] : records) d.sent.emplace_back(t - records.front().first + 45.0, f);
    return d;
}

// Four aircraft at once north of Zurich, each a real airborne stretch of 120 s of SWR5220's descent
// from 28 nm: the window's under its own id, the three after it under other ids and callsigns. From
// the feed's 60th second on every time stamp is 600 s back: the whole feed's clock went back, as when
// a source restarts with an old time.
constexpr double kRewindAt = 60.0, kRewindSeconds = 600.0;

Derived lf_rewind(const Excerpt& e) {
    struct Stretch { const char* hexid; const char* callsign; };
    const Stretch stretches[] = {{nullptr, nullptr}, {"4920901", "SWR5221"}, {"4920902", "SWR5222"}, {"4920903", "SWR5223"}};
    Derived d;
    double base = -1.0, from = e.from;
    for (const Stretch& s : stretches) {
        const Records records = lf_recordsOf(e.recording, from, from + (e.to - e.from));
        from += e.to - e.from;
        for (auto [t, f] : records) {
            const double at = t - records.front().first;
            if (base < 0.0) base = lf_field(f, 14);
            f[14] = vrn::format("{:.3f}", base + at - (at >= kRewindAt ? kRewindSeconds : 0.0));
            if (s.hexid != nullptr) f[1] = s.hexid, f[9] = s.callsign;
            if (d.callsign.empty()) d.callsign = f[9];   // the window's aircraft is scored on its real path
            d.sent.emplace_back(at, std::move(f));
        }
    }
    return d;
}

// Two EC45 helicopters near Zurich, records computed from a steady deceleration: from 120 kn at
// 1,500 ft above the field down to 22 kn in 150 s while descending at 190 ft/min rising to 260,
// where their records end some 940 ft above the field. HBZHA sends a record a second and flies
// south from 5 nm north of the field; HBZHB sends one every 2 s, flies east from 5 nm west of it and
// its records pause from 50 s to 110 s.
Derived lf_helicopters(const Excerpt& e, double groundFt) {
    std::vector<std::string> model = lf_recordsOf("swr5220-racetracks", 0.0, 0.0).front().second;
    const LatLon field{e.userLat, e.userLon};
    struct Helicopter { const char* hexid; const char* callsign; double bearingFromField, track, step, pauseFrom, pauseTo; };
    const Helicopter helicopters[] = {{"4915201", "HBZHA", 0.0, 180.0, 1.0, 1e9, 1e9},
                                      {"4915202", "HBZHB", 270.0, 90.0, 2.0, 50.0, 110.0}};
    const double seconds = e.to - e.from, stamp0 = lf_field(model, 14);
    Derived d;
    d.callsign = helicopters[0].callsign;
    for (const Helicopter& h : helicopters) {
        const LatLon start = gf_destinationPoint(field, h.bearingFromField * kDeg2Rad, 5.0 * 6076.12);
        for (double t = 0.0; t <= seconds + 0.01; t += h.step) {
            if (t > h.pauseFrom && t < h.pauseTo) continue;
            const double knots = 120.0 - 98.0 * t / seconds, fpm = 190.0 + 70.0 * t / seconds;
            const double nm = (120.0 * t - 49.0 * t * t / seconds) / 3600.0;
            const double feet = groundFt + 1500.0 - (190.0 * t + 35.0 * t * t / seconds) / 60.0;
            std::vector<std::string> f = model;
            f[1] = h.hexid, f[9] = h.callsign, f[10] = "EC45";
            lf_setPosition(f, gf_destinationPoint(start, h.track * kDeg2Rad, nm * 6076.12));
            f[4] = vrn::format("{:.0f}", feet), f[5] = vrn::format("{:.0f}", -fpm), f[6] = "0";
            f[7] = vrn::format("{:.1f}", h.track), f[8] = vrn::format("{:.1f}", knots);
            f[14] = vrn::format("{:.3f}", stamp0 + t);
            if (h.callsign == d.callsign) d.path.push_back(f);
            d.sent.emplace_back(t, std::move(f));
        }
    }
    return d;
}

// An H145 over Washington, 4 nm north-east of Reagan National, flying south-west: a record a second
// slowing from 110 kn to a 2 kn hover in 150 s while its descent eases from 450 to 250 ft/min, from
// 1,300 ft to 425 ft above the field (heights in the 25 ft steps receivers give), then hovering there
// with its records pausing from 170 s to 230 s.
Derived lf_hoverPause(const Excerpt& e, double groundFt) {
    std::vector<std::string> model = lf_recordsOf("swr5220-racetracks", 0.0, 0.0).front().second;
    const LatLon start = gf_destinationPoint({38.8521, -77.0377}, 45.0 * kDeg2Rad, 4.0 * 6076.12);
    constexpr double kSlowing = 150.0, kPauseFrom = 170.0, kPauseTo = 230.0, kTrack = 225.0;
    const double stamp0 = lf_field(model, 14);
    Derived d;
    d.callsign = "N145DC";
    for (double t = 0.0; t <= e.to - e.from + 0.01; t += 1.0) {
        if (t > kPauseFrom && t < kPauseTo) continue;
        const double u = std::min(t, kSlowing);
        const double knots = t < kSlowing ? 110.0 - 108.0 * t / kSlowing : 2.0;
        const double nm = (110.0 * u - 54.0 * u * u / kSlowing + 2.0 * (t - u)) / 3600.0;
        const double fpm = t < kSlowing ? 450.0 - 200.0 * t / kSlowing : 0.0;
        const double above = 1300.0 - (450.0 * u - 100.0 * u * u / kSlowing) / 60.0;
        std::vector<std::string> f = model;
        f[1] = "10518613", f[9] = d.callsign, f[10] = "H145";
        lf_setPosition(f, gf_destinationPoint(start, kTrack * kDeg2Rad, nm * 6076.12));
        f[4] = vrn::format("{:.0f}", 25.0 * std::round((groundFt + above) / 25.0)), f[5] = vrn::format("{:.0f}", -fpm), f[6] = "0";
        f[7] = vrn::format("{:.1f}", kTrack), f[8] = vrn::format("{:.1f}", knots);
        f[14] = vrn::format("{:.3f}", stamp0 + t);
        d.path.push_back(f);
        d.sent.emplace_back(t, std::move(f));
    }
    return d;
}

// The records a second apart along the recording's, each between the two around it.
Records lf_everySecond(const Records& records) {
    Records out;
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        const auto& [t0, a] = records[i];
        const auto& [t1, b] = records[i + 1];
        for (double t = t0; t < t1 - 0.01; t += 1.0) {
            const double u = (t - t0) / (t1 - t0);
            std::vector<std::string> f = a;
            const LatLon p = lf_position(a), q = lf_position(b);
            lf_setPosition(f, gf_destinationPoint(p, gf_initialBearing(p, q), u * gf_distanceNm(p, q) * 6076.12));
            f[8] = vrn::format("{:.1f}", lf_field(a, 8) + u * (lf_field(b, 8) - lf_field(a, 8)));
            f[14] = vrn::format("{:.3f}", lf_field(a, 14) + (t - t0));
            out.emplace_back(t, std::move(f));
        }
    }
    out.push_back(records.back());
    return out;
}

// The window's taxi, every other record at taxi speed read 600 ft above the field and flagged airborne
// (from its second taxi record, or from its first when `upFirst`); 600 ft as a receiver reads it on the
// recording's day.
Derived lf_flickeringTaxi(const Excerpt& e, double groundFt, int qnh, bool upFirst) {
    Derived d;
    const std::string high = vrn::format("{:.0f}", gf_pressureAltitudeFt(groundFt + 600.0, qnh + 0.25));
    Records records = lf_recordsOf(e.recording, e.from, e.to);
    // (From its first: a record a second, between the recording's, as the receivers that flicker send.)
    if (upFirst) records = lf_everySecond(records);
    bool up = !upFirst;
    for (auto [t, f] : records) {
        if (f[6] == "1" && lf_field(f, 8) >= 5.0 && lf_field(f, 8) <= 30.0 && (up = !up)) f[6] = "0", f[4] = high;
        d.sent.emplace_back(t - records.front().first, std::move(f));
    }
    return d;
}

// A generated airliner's record at 8,000 ft: `hexid`/`callsign`, at `p` flying `track` at `knots`, sent
// at second `t` of the feed.
std::vector<std::string> lf_generatedRecord(const char* hexid, const char* callsign, const LatLon& p, double track, double knots, double t) {
    std::vector<std::string> f = lf_recordsOf("swr5220-racetracks", 0.0, 0.0).front().second;
    const double stamp0 = lf_field(f, 14);
    f[1] = hexid, f[9] = callsign;
    lf_setPosition(f, p);
    f[4] = "8000", f[5] = "0", f[6] = "0";
    f[7] = vrn::format("{:.1f}", std::fmod(track + 720.0, 360.0)), f[8] = vrn::format("{:.1f}", knots);
    f[14] = vrn::format("{:.3f}", stamp0 + t);
    return f;
}

// One aircraft flying east at 126 kn for a minute, then its records shuttle 0.35 nm east and west,
// reversing every 10 s, drifting north a metre a second (no record repeats an earlier position).
// `count` aircraft circling at 250 kn and 2 degrees a second round centres 2-7 nm from the user spread
// evenly round it, a record a second, each handed to `send` with the second it is sent (its stamp that
// second's); `bothWays`: every other one turns left, `stacked`: each 100 ft above the one before from
// 7,000 ft (else all at 8,000 ft). The scorer follows the first.
struct Orbits {
    int count, firstHexid;
    const char* callsign;
    bool bothWays, stacked;
};
Derived lf_orbits(const Excerpt& e, const Orbits& o, const std::function<void(Derived&, int, double, std::vector<std::string>)>& send) {
    Derived d;
    const LatLon user{e.userLat, e.userLon};
    const double radiusFt = 250.0 / 3600.0 / (2.0 * kDeg2Rad) * 6076.12, apart = 360.0 / o.count;
    for (int i = 0; i < o.count; ++i) {
        const std::string hexid = vrn::format("{}", o.firstHexid + i), callsign = vrn::format("{}{}", o.callsign, i + 1);
        const LatLon centre = gf_destinationPoint(user, apart * i * kDeg2Rad, (2.0 + i % 6) * 6076.12);
        const double side = o.bothWays && i % 2 == 1 ? -1.0 : 1.0;
        for (double t = 0.0; t <= e.to - e.from + 0.01; t += 1.0) {
            const double round = apart * i + side * 2.0 * t;   // bearing from the centre; it flies 90 degrees to its turn's side
            std::vector<std::string> f = lf_generatedRecord(hexid.c_str(), callsign.c_str(), gf_destinationPoint(centre, round * kDeg2Rad, radiusFt),
                                                            round + side * 90.0, 250.0, t);
            if (o.stacked) f[4] = vrn::format("{}", 7000 + 100 * i);
            send(d, i, t, std::move(f));
        }
    }
    d.callsign = vrn::format("{}1", o.callsign);
    return d;
}

// Six aircraft circling; a second sender repeats every record 45 s later with its old time stamp.
Derived lf_orbitsLateSender(const Excerpt& e) {
    return lf_orbits(e, {6, 4930001, "ORB", false, false}, [](Derived& d, int i, double t, std::vector<std::string> f) {
        if (i == 0) d.path.push_back(f);
        d.sent.emplace_back(t, f);
        d.sent.emplace_back(t + 45.0, std::move(f));
    });
}

// Thirty aircraft circling, every other one to the left, each at a height of its own; from the feed's
// 60th second on every stamp is 600 s back while the positions go on (a feed clock that jumps back).
Derived lf_orbitsRewound(const Excerpt& e) {
    return lf_orbits(e, {30, 4930301, "RWO", true, true}, [](Derived& d, int i, double t, std::vector<std::string> f) {
        if (i == 0) d.path.push_back(f);   // (the scorer's path keeps the time the positions go on with)
        f[14] = vrn::format("{:.3f}", lf_field(f, 14) - (t >= kRewindAt ? kRewindSeconds : 0.0));
        d.sent.emplace_back(t, std::move(f));
    });
}

// One aircraft circling at 250 kn and 3 degrees a second 3 nm north of the user, drifting east with a
// 5-kn wind, a record a second. From its 60th second the feed is 600 s back, stamps and positions: five
// circles earlier, 1.5 km west of where it flew.
Derived lf_circleRewound(const Excerpt& e) {
    Derived d;
    const LatLon centre0 = gf_destinationPoint({e.userLat, e.userLon}, 0.0, 3.0 * 6076.12);
    const double kn = 250.0, degPerS = 3.0, windKn = 5.0;
    const double radiusFt = kn / 3600.0 / (degPerS * kDeg2Rad) * 6076.12;
    for (double t = 0.0; t <= e.to - e.from + 0.01; t += 1.0) {
        const double at = t < kRewindAt ? t + kRewindSeconds : t;
        const LatLon centre = gf_destinationPoint(centre0, kPi / 2.0, windKn / 3600.0 * at * 6076.12);
        const double round = degPerS * at;   // bearing from the centre; it flies 90 degrees right of it
        const double east = kn * std::sin((round + 90.0) * kDeg2Rad) + windKn, north = kn * std::cos((round + 90.0) * kDeg2Rad);
        std::vector<std::string> f = lf_generatedRecord("4930201", "RWD1", gf_destinationPoint(centre, round * kDeg2Rad, radiusFt),
                                                        std::atan2(east, north) * kRad2Deg, std::hypot(east, north), at);
        d.path.push_back(f);
        d.sent.emplace_back(t, std::move(f));
    }
    d.callsign = "RWD1";
    return d;
}


Derived lf_shuttle(const Excerpt& e) {
    Derived d;
    const LatLon start = gf_destinationPoint({e.userLat, e.userLon}, 0.0, 3.0 * 6076.12);
    const double nm = 0.35, every = 10.0, knots = nm / every * 3600.0;
    for (double t = 0.0; t <= e.to - e.from + 0.01; t += 1.0) {
        const double leg = t < 60.0 ? 0.0 : std::fmod(t - 60.0, 2.0 * every);
        const bool east = t < 60.0 || leg < every;
        const double x = t < 60.0 ? (t - 60.0) / every * nm : east ? leg / every * nm : (2.0 * every - leg) / every * nm;
        const LatLon p = gf_destinationPoint(gf_destinationPoint(start, 0.0, t * 3.28084), kPi / 2.0, x * 6076.12);
        std::vector<std::string> f = lf_generatedRecord("4930101", "SHT1", p, east ? 90.0 : 270.0, knots, t);
        d.path.push_back(f);
        d.sent.emplace_back(t, std::move(f));
    }
    d.callsign = "SHT1";
    return d;
}

// Three airliners at 35,000 ft, a record a second: one over the pole along the meridians 0 and 180 at
// 450 kn (a record on the pole itself at 60 s), one 2 nm beside it at 450 kn, one over it at 250 kn on
// other meridians (on it at 90 s). Each record's track is the way its great circle goes on from there.
Derived lf_overThePole(const Excerpt& e) {
    Derived d;
    const LatLon pole{90.0, 0.0}, beside = gf_destinationPoint(pole, kPi / 2.0, 2.0 * 6076.12);
    struct Crossing { const char* hexid; const char* callsign; LatLon at; double bearingDeg, knots, atSecond; };
    const Crossing crossings[] = {{"4930201", "POL1", pole, 180.0, 450.0, 60.0},
                                  {"4930202", "POL2", beside, 270.0, 450.0, 60.0},
                                  {"4930203", "POL3", pole, 280.0, 250.0, 90.0}};
    for (const Crossing& c : crossings) {
        // Where it is `t` s into the feed: along its great circle through `at`, reached at `atSecond`.
        const auto where = [&](double t) {
            const double feet = (t - c.atSecond) * c.knots / 3600.0 * 6076.12;
            return feet >= 0.0 ? gf_destinationPoint(c.at, c.bearingDeg * kDeg2Rad, feet)
                               : gf_destinationPoint(c.at, c.bearingDeg * kDeg2Rad + kPi, -feet);
        };
        for (double t = 0.0; t <= e.to - e.from + 0.01; t += 1.0) {
            const LatLon p = where(t);
            std::vector<std::string> f =
                lf_generatedRecord(c.hexid, c.callsign, p, gf_initialBearing(p, where(t + 1.0)) * kRad2Deg, c.knots, t);
            f[4] = "35000";
            if (c.callsign == std::string("POL2")) d.path.push_back(f);
            d.sent.emplace_back(t, std::move(f));
        }
    }
    // (The scorer measures in degrees: it is given the one whose longitude never wraps.)
    d.callsign = "POL2";
    return d;
}

// The window's records but those from pauseFrom for pauseSeconds: coverage lost a while.
Derived lf_paused(const Excerpt& e) {
    Derived d;
    const Records records = lf_recordsOf(e.recording, e.from, e.to);
    for (const auto& [t, f] : records)
        if (t < e.pauseFrom || t >= e.pauseFrom + e.pauseSeconds) d.sent.emplace_back(t - records.front().first, f);
    return d;
}

// The window's records, from pauseFrom on one every pauseSeconds.
Derived lf_thinned(const Excerpt& e) {
    Derived d;
    const Records records = lf_recordsOf(e.recording, e.from, e.to);
    double kept = -1e9;
    for (const auto& [t, f] : records) {
        if (t >= e.pauseFrom && t < kept + e.pauseSeconds) continue;
        if (t >= e.pauseFrom) kept = t;
        d.sent.emplace_back(t - records.front().first, f);
    }
    return d;
}

// The window's records as a receiver reads them on a day of e.qnh: each airborne altitude the true one of
// the recording's own day read at the other day's QNH, in the 25-ft steps transponders report.
Derived lf_onAnotherDay(const Excerpt& e, int ownQnh) {
    Derived d;
    const Records records = lf_recordsOf(e.recording, e.from, e.to);
    for (auto [t, f] : records) {
        if (const double feet = lf_field(f, 4); feet != 0.0)
            f[4] = vrn::format("{:.0f}", 25.0 * std::round(gf_pressureAltitudeFt(trueAltitudeOnDay(feet, ownQnh), e.qnh + 0.25) / 25.0));
        d.sent.emplace_back(t - records.front().first, std::move(f));
    }
    return d;
}

Derived lf_derived(const Excerpt& e, double groundFt, int ownQnh) {
    switch (e.feed) {
        case Feed::kOnAnotherDay: return lf_onAnotherDay(e, ownQnh);
        case Feed::kRejectedTakeOff: return lf_rejectedTakeOff(e, 1.0);
        case Feed::kRejectedTakeOff2s: return lf_rejectedTakeOff(e, 2.0);
        case Feed::kLateSender: return lf_lateSender(e);
        case Feed::kRewind: return lf_rewind(e);
        case Feed::kHelicopters: return lf_helicopters(e, groundFt);
        case Feed::kFlickeringTaxi: return lf_flickeringTaxi(e, groundFt, ownQnh, false);
        case Feed::kFlickeringTaxiUpFirst: return lf_flickeringTaxi(e, groundFt, ownQnh, true);
        case Feed::kHoverPause: return lf_hoverPause(e, groundFt);
        case Feed::kShuttle: return lf_shuttle(e);
        case Feed::kOrbitsLateSender: return lf_orbitsLateSender(e);
        case Feed::kOverThePole: return lf_overThePole(e);
        case Feed::kCircleRewound: return lf_circleRewound(e);
        case Feed::kOrbitsRewound: return lf_orbitsRewound(e);
        case Feed::kPause: return lf_paused(e);
        case Feed::kThinned: return lf_thinned(e);
        case Feed::kPlain: break;
    }
    return {};
}

// Whether the user stands within 5 nm of the excerpt's park airport: the program then makes it its park
// airport, and takes ground records only once its parking file is read.
bool lf_userAtParkAirport(const Excerpt& e, const fs::path& root) {
    for (const std::string& line : readLinesOf(root / "data" / "airports" / "airports.csv")) {
        const std::vector<std::string> f = gf_splitAtComma(line);
        if (f.size() >= 4 && f[0] == e.park)
            return e.userOnGround && gf_distanceNm({e.userLat, e.userLon}, {std::stod(f[2]), std::stod(f[3])}) < 5.0;
    }
    return false;
}

void lf_play(const Excerpt& e, const fs::path& stage, unsigned salt, Outcome& out) {
    const fs::path root = fs::path(VARNEL_TEST_DATA).parent_path().parent_path();
    lf_stageSources(root, stage / "src", e.park);
    writeFile(stage / "scenario.json", lf_scenario(e));
    const double groundFt = lf_groundElevation(e);
    // The recording's own day's QNH, and the one its feed is sent with.
    const bool recorded = std::string_view(e.recording) != "generated";
    const int ownQnh = recorded ? recordedDayQnh(realDataPath(vrn::format("tracks/{}.rttfc", e.recording)), groundFt) : 1013;
    const int qnh = e.qnh != 0 ? e.qnh : ownQnh;
    const Derived derived = lf_derived(e, groundFt, ownQnh);
    // The feed starts once the program runs (its first user position) and, at the park airport, once
    // it has read the airport's parking file, so that no record is sent before it is taken.
    std::string wait = "--after-position";
    if (lf_userAtParkAirport(e, root)) wait += " --after-park-airport " + (stage / "stage" / "program" / "Log.txt").string();
    std::string feed = vrn::format("--replay {} --window {},{} --type A320 {}",
                                   realDataPath(vrn::format("tracks/{}.rttfc", e.recording)).string(), e.from, e.to, wait);
    double feedSeconds = e.to - e.from;
    if (e.feed != Feed::kPlain) {
        auto sent = derived.sent;
        std::stable_sort(sent.begin(), sent.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::string text;
        for (const auto& [t, f] : sent) text += vrn::format("{:.3f} {}\n", t, lf_joined(f));
        writeFile(stage / "feed.rttfc", text);
        feed = vrn::format("--replay {} --type A320 {}", (stage / "feed.rttfc").string(), wait);
        feedSeconds = sent.back().first;
    }
    feed += vrn::format(" --qnh {}", qnh);
    // The run ends this long after the last record was sent: it is played, then there is time for a
    // made-up take-off roll to lift off and climb away, or for the minute of a made-up climb. (The run
    // is bounded by its start and the feed's length with some minutes to spare.)
    const int afterFeed = static_cast<int>(kPlayDelaySeconds + (e.madeUp == MadeUp::kClimb ? 70.0 : 45.0));
    const int bound = static_cast<int>(feedSeconds) + afterFeed + kStartAllowanceSeconds;
    for (unsigned attempt = 0;; ++attempt) {
        const int base = freeLoopbackPortBase(salt + 1000u * attempt);
        const std::string command =
            "VARNEL_FEED='" + feed + "' VARNEL_RUN_AFTER_FEED=" + std::to_string(afterFeed) +
            " VARNEL_RUN_SECONDS=" + std::to_string(bound) + " VARNEL_HEADLESS=1 VARNEL_STAGE_DIR=" + shellQuote(stage / "stage") + " VARNEL_PORT_BASE=" +
            std::to_string(base) + " XDG_RUNTIME_DIR=" + shellQuote(stage) + " VARNEL_DATA_SOURCE=" +
            shellQuote(stage / "src") + " VARNEL_SCENARIO=" + shellQuote(stage / "scenario.json") + " " +
            shellQuote(root / "scripts" / "run-program") + " " + shellQuote(VARNEL_BINARY_DIR) + " > " +
            shellQuote(stage / "run.out") + " 2>&1";
        const int status = std::system(command.c_str());
        out.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        out.output = readFile(stage / "run.out");
        if (attempt < 2 && portTakenMeanwhile(out.exitStatus, out.output, stage / "stage" / "program" / "Log.txt")) continue;
        break;
    }
    if (out.exitStatus != 0)   // what went wrong is in Log.txt, which goes with the stage
        for (const std::string& line : readLinesOf(stage / "stage" / "program" / "Log.txt"))
            if (line.find("error") != std::string::npos || line.find("Error") != std::string::npos) out.output += "Log.txt: " + line + "\n";

    // The trace's frame 0 on the wall clock, and the wall clock stamps of what the feed sent.
    const fs::path trace = stage / "stage" / "sim" / "trace.jsonl";
    double clockStart = 0.0;
    for (const std::string& line : readLinesOf(trace)) {
        const nlohmann::json j = nlohmann::json::parse(line, nullptr, false);
        if (j.is_object() && j.value("event", "") == "clockStart") clockStart = std::stod(j["text"].get<std::string>());
    }
    // (The newest stamp: after a rewind of the feed's clock the last records sent are older.)
    double firstSent = -1.0, lastSent = 0.0;
    for (const std::string& line : readLinesOf(stage / "stage" / "feed.rec")) {
        const std::vector<std::string> f = gf_splitAtComma(line.substr(line.find(' ') + 1));
        if (f.size() < 15) continue;
        lastSent = std::max(lastSent, std::stod(f[14]));
        if (firstSent < 0) firstSent = std::stod(f[14]);
    }
    if (clockStart <= 0.0 || firstSent < 0.0) return;
    // A made-up feed's own path starts with its first record; a recording's with the recording.
    const bool ownPath = !derived.path.empty();
    out.feedStart = firstSent - clockStart - (ownPath ? 0.0 : lf_firstRecordOffset(e));
    out.feedEnd = lastSent - clockStart;
    LocalFrame frame;
    const std::vector<PlayedRecord> records = lf_playedRecords(stage / "stage" / "feed.rec", clockStart, frame, qnh);
    out.judgement = lf_judge(trace, records, frame, out.feedStart, groundFt, e.madeUp, e.mostOffNm > 0.0 ? e.mostOffNm : kOffRecordsNm);
    std::set<std::string> callsigns;
    for (const PlayedRecord& r : records) callsigns.insert(r.callsign);
    out.aircraft = static_cast<int>(callsigns.size());

    const fs::path tracks = realDataPath("tracks");
    fs::path truth = tracks / "truth" / (std::string(e.recording) + ".csv");
    std::string where = vrn::format("--index {} --name {}", shellQuote(tracks / "index.json"), e.recording);
    if (ownPath) {
        truth = stage / "path.csv";
        std::string rows = "t,lat,lon,alt_ft,gs_kt,track_deg,vs_fpm,on_ground\n";
        for (const auto& f : derived.path)
            rows += vrn::format("{},{},{},{},{},{},{},{}\n", f[14], f[2], f[3], f[4], f[8], f[7], f[5], f[6]);
        writeFile(truth, rows);
        where = vrn::format("--lat {} --lon {} --elev {}", e.userLat, e.userLon, groundFt);
    }
    if (!derived.callsign.empty()) where += " --callsign " + derived.callsign;
    const std::string score =
        vrn::format("python3 {} --trace {} --truth {} {} --feed-start {:.2f} --until {:.2f} > {}",
                    shellQuote(realDataPath("../tools/score_track.py")), shellQuote(trace), shellQuote(truth), where,
                    out.feedStart, out.feedEnd + kPlayDelaySeconds, shellQuote(stage / "score.json"));
    if (std::system(score.c_str()) != 0) return;
    out.score = nlohmann::json::parse(readFile(stage / "score.json"), nullptr, false);
    lf_measureBehind(trace, truth, out.feedEnd + kPlayDelaySeconds, derived.callsign, out);
    out.liftOffs = lf_liftOffs(trace);
    // VARNEL_E2E_KEEP=folder keeps each excerpt's trace, feed recording, log and score for a closer look.
    if (const char* keep = std::getenv("VARNEL_E2E_KEEP"); keep != nullptr && *keep != '\0') {
        std::string label = e.label;   // (excerpts of one window and feed differ by their label)
        std::replace_if(label.begin(), label.end(), [](unsigned char c) { return std::isalnum(c) == 0; }, '-');
        const fs::path to = fs::path(keep) / vrn::format("{}-{:.0f}-{:.0f}-{}", e.recording, e.from, e.to, label);
        std::error_code ignored;
        fs::create_directories(to, ignored);
        for (const fs::path& file : {trace, stage / "stage" / "feed.rec", stage / "score.json", stage / "run.out", stage / "stage" / "program" / "Log.txt"})
            fs::copy_file(file, to / file.filename(), fs::copy_options::overwrite_existing, ignored);
    }
}

bool lf_toolsBuilt() {
    const fs::path build = VARNEL_BINARY_DIR;
    for (const char* tool : {"src/varnel", "tools/varnel-data", "tools/rtfeed"})
        if (!fs::exists(build / tool)) return false;
    return true;
}

double lf_number(const nlohmann::json& j, const char* group, const char* key) {
    const nlohmann::json& v = j[group][key];
    return v.is_number() ? v.get<double>() : 0.0;
}

// Object 7's trace, second by second from 0 to `until` (removed at `removedAt` when that is 0 or
// more), judged against `records`. A snapshot that names its simulator second (sim >= 0) has its
// line written at its t on the wall clock, with its position updates where it names them.
Judgement lf_judgeTrace(const std::function<Snapshot(int)>& at, const std::vector<PlayedRecord>& records, int until,
                        double removedAt, MadeUp madeUp) {
    const LocalFrame frame{47.0, 8.0};
    TempDir dir;
    constexpr double kClockStart = 1000.0;
    std::string trace = nlohmann::json{{"t", 0}, {"event", "clockStart"}, {"text", std::to_string(kClockStart)}}.dump() + "\n";
    for (int t = 0; t <= until && (removedAt < 0.0 || t <= removedAt); ++t) {
        const Snapshot s = at(t);
        nlohmann::json o{{"id", 7}, {"user", false}, {"heading", s.heading}, {"onGround", s.ground}, {"alt", s.alt}};
        double lat = 0.0, lon = 0.0;
        frame.lat_lon(s.x, s.y, lat, lon);
        o["lat"] = lat, o["lon"] = lon;
        if (s.updates >= 0.0) o["positionUpdates"] = s.updates;
        nlohmann::json line{{"t", t}, {"objects", {o}}};
        if (s.sim >= 0.0) line["wall"] = kClockStart + s.t;
        trace += line.dump() + "\n";
    }
    if (removedAt >= 0.0) trace += nlohmann::json{{"t", removedAt}, {"event", "removed"}, {"id", 7}}.dump() + "\n";
    writeFile(dir / "trace.jsonl", trace);
    return lf_judge(dir / "trace.jsonl", records, frame, 0.0, 1416.0, madeUp);
}

struct RuleCase {
    const char* what;
    std::function<Snapshot(int)> at;   // the aircraft at second t; its own t is not used
    Rule rule;                          // kRuleCount: none broken
    int broken;
    double removedAt = -1.0;
    MadeUp madeUp = MadeUp::kNone;
    int until = 60;                     // the trace's last second
    Rule also = kRuleCount;             // a second rule the same fault breaks (a jump in height)
    int alsoBroken = 0;
    Rule third = kRuleCount;            // and a third (a drop in height sinks, too)
    int thirdBroken = 0;
};

void lf_expectOnlyTheirRule(const std::vector<PlayedRecord>& records, const std::vector<RuleCase>& cases) {
    for (const RuleCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Judgement j = lf_judgeTrace(c.at, records, c.until, c.removedAt, c.madeUp);
        for (int r = 0; r < kRuleCount; ++r)
            EXPECT_EQ(j.rules[r].broken, r == c.rule ? c.broken : r == c.also ? c.alsoBroken : r == c.third ? c.thirdBroken : 0) << r << ": " << j.summary;
    }
}

// A trace that goes at `mps` along `headingAt(t)` (degrees) from `from` (x, y at second 0), moved
// frame by frame at 30 frames a second; its snapshot at second `staleAt` shows the frame before, as
// when the program's position came a frame late to that trace second.
std::function<Snapshot(int)> lf_steered(double mps, std::function<double(double)> headingAt, std::pair<double, double> from,
                                        std::function<Snapshot(int)> base, int staleAt) {
    return [=](int t) {
        const int frames = t * 30 - (t == staleAt ? 1 : 0);
        double x = from.first, y = from.second;
        for (int f = 0; f < frames; ++f) {
            const double h = headingAt((f + 0.5) / 30.0) * kDeg2Rad;
            x += mps / 30.0 * std::sin(h), y += mps / 30.0 * std::cos(h);
        }
        Snapshot s = base(t);
        s.x = x, s.y = y, s.heading = headingAt(frames / 30.0);
        return s;
    };
}

// The rules themselves, on made-up traces beside records that taxi north at 10 m/s (19 kn) for a
// minute: each fault is counted by its own rule only, and a trace that follows the records breaks none.
TEST(ReplayEndToEnd, TraceRulesCountWhatNoAircraftDoes) {
    std::vector<PlayedRecord> records;
    for (int i = 0; i <= 30; ++i) records.push_back({2.0 * i, 0.0, 20.0 * i, true, 10.0 / kKnot, 0.0});
    const auto follows = [](int t) { return Snapshot{double(t), 0.0, 10.0 * t, 0.0, true}; };
    lf_expectOnlyTheirRule(records, {
        {"follows its records", follows, kRuleCount, 0},
        // 0.52 g for four seconds: the seconds either side of each of the middle two cross the limit.
        {"swerves 60 degrees off its way in 2 s at 19 kn, and back in 2 s",
         lf_steered(10.0, [](double t) { return t < 20.0 ? 0.0 : 30.0 * (t < 22.0 ? t - 20.0 : std::max(0.0, 24.0 - t)); },
                    {0.0, 0.0}, follows, -1),
         kSideways, 2},
        // 0.29 g weaving right, left and right; one snapshot a frame old reads 0.31 g in the second after it.
        {"weaves at 0.29 g, one snapshot a frame stale",
         lf_steered(10.0, [](double t) {
             const double rate = 0.29 * kGravity / 10.0 * kRad2Deg;   // 16.3 degrees a second
             return rate * (t < 20.0 ? 0.0 : t < 23.0 ? t - 20.0 : t < 29.0 ? 26.0 - t : std::min(0.0, t - 32.0));
         }, {0.0, 0.0}, follows, 26),
         kRuleCount, 0},
        {"steps 12 m back, then taxis on",
         [&](int t) { return t < 20 ? follows(t) : Snapshot{double(t), 0.0, 10.0 * t - 22.0, 0.0, true}; }, kBackwards, 1},
        {"circles at 4 kn, 10 degrees a second",
         [](int t) {
             const double a = 10.0 * t * kDeg2Rad, r = 2.0 / (10.0 * kDeg2Rad);
             return Snapshot{double(t), r * (1.0 - std::cos(a)), r * std::sin(a), 10.0 * t, true};
         },
         kFullTurn, 33},   // seconds 28 to 60: more than three quarters of a circle within the minute
        {"stands for 10 s while they taxi, then is at 19 kn within a second",
         [&](int t) { return follows(t < 20 ? t : t <= 30 ? 20 : t - 10); }, kStanding, 8, -1.0, MadeUp::kNone, 60,
         kTaxiSpeedUp, 1},   // not its first and last second, each read with a second at 19 kn
        {"stands still for a second while they taxi, then catches up",
         [&](int t) { return t == 20 ? follows(19) : follows(t); }, kRuleCount, 0},
        {"drives 200 m beside them", [](int t) { return Snapshot{double(t), 200.0, 10.0 * t, 0.0, true}; }, kOffPath,
         61},
        {"is removed with 30 s of records to come", follows, kRemovedEarly, 1, 30.0},
        {"taxis at 30 kn for 10 s (its records' limit: 26 kn)",
         [](int t) {
             const double y = t < 10 ? 10.0 * t : t < 20 ? 100.0 + 15.4 * (t - 10) : 254.0 + 10.0 * (t - 20);
             return Snapshot{double(t), 0.0, y, 0.0, true};
         },
         kGroundSpeed, 8, -1.0, MadeUp::kNone, 60, kTaxiSpeedUp, 1},   // not its first and last second, each read with a second at 19 kn
        {"slows to 10 kn for 3 s, then is back at 19 kn within a second",
         [](int t) { return Snapshot{double(t), 0.0, t < 20 ? 10.0 * t : t < 23 ? 200.0 + 5.0 * (t - 20) : 10.0 * t - 15.0, 0.0, true}; },
         kTaxiSpeedUp, 1},
    });
    // Records that taxi north at 10 m/s for 30 s, then at 2 m/s (4 kn) for 30 s: at a crawl an aircraft
    // neither swings its nose round nor races its slow records.
    std::vector<PlayedRecord> slowing;
    for (int i = 0; i <= 30; ++i) slowing.push_back({2.0 * i, 0.0, i <= 15 ? 20.0 * i : 300.0 + 4.0 * (i - 15), true, i <= 15 ? 19.4 : 3.9, 0.0});
    const auto crawls = [](int t) { return Snapshot{double(t), 0.0, t <= 30 ? 10.0 * t : 300.0 + 2.0 * (t - 30), 0.0, true}; };
    lf_expectOnlyTheirRule(slowing, {
        {"follows its records", crawls, kRuleCount, 0},
        {"swings its nose 120 degrees in 6 s at 4 kn and back",
         [&](int t) {
             Snapshot s = crawls(t);
             s.heading = t <= 40 ? 0.0 : t <= 46 ? 20.0 * (t - 40) : t <= 52 ? 120.0 - 20.0 * (t - 46) : 0.0;
             return s;
         },
         kPivot, 8},
        {"goes on at 19 kn for 10 s as they crawl",
         [&](int t) { return Snapshot{double(t), 0.0, t <= 40 ? 10.0 * t : 400.0 + 2.0 * (t - 40), 0.0, true}; }, kRace, 6},
    });
    // Records that turn 330 degrees in a minute at 4 kn, manoeuvred beside a stand: it may turn with
    // them, not a quarter of a circle more.
    const double radius = 2.0 / (5.5 * kDeg2Rad);
    const auto circling = [=](double degreesPerS) {
        return [=](int t) {
            const double a = degreesPerS * t * kDeg2Rad;
            return Snapshot{double(t), radius * (1.0 - std::cos(a)), radius * std::sin(a), degreesPerS * t, true};
        };
    };
    std::vector<PlayedRecord> round;
    for (int t = 0; t <= 60; t += 2) {
        const Snapshot s = circling(5.5)(t);
        round.push_back({double(t), s.x, s.y, true, 2.0 / kKnot, std::fmod(s.heading, 360.0)});
    }
    lf_expectOnlyTheirRule(round, {
        {"turns with them", circling(5.5), kRuleCount, 0},
        {"turns 450 degrees as they turn 330", circling(7.5), kFullTurn, 17},   // from 44 s, 90 degrees ahead of their turn
    });
}

// The rules of flight, on made-up traces beside the records of a take-off at the field's 1,416 ft:
// north at 80 m/s (155 kn), a record every 2 s, on the ground until 20 s, then climbing 2,100 ft/min
// until their end at 60 s.
TEST(ReplayEndToEnd, TraceRulesCountWhatNoAircraftDoesInTheAir) {
    std::vector<PlayedRecord> records;
    const auto height = [](double t) { return t < 20.0 ? 1416.0 : 1416.0 + 35.0 * (t - 20.0); };
    for (int i = 0; i <= 30; ++i) {
        const double t = 2.0 * i;
        records.push_back({t, 0.0, 80.0 * t, t < 20.0, 80.0 / kKnot, 0.0, t < 20.0 ? 0.0 : height(t), t < 20.0 ? 0.0 : 2100.0});
    }
    // It lifts off a second after the first airborne record, and climbs on after their end.
    const auto follows = [&](int t) { return Snapshot{double(t), 0.0, 80.0 * t, 0.0, t < 21, height(t)}; };
    const auto holds = [&](int t) { return Snapshot{double(t), 0.0, 80.0 * t, 0.0, false, height(std::min(t, 60))}; };
    const double r = 80.0 / (7.5 * kDeg2Rad);   // a turn of 7.5 degrees a second at 80 m/s: a 47-degree bank
    lf_expectOnlyTheirRule(records, {
        {"follows its records", follows, kRuleCount, 0},
        // (Their first airborne record lies at the field: the lift-off is their next, 22 s.)
        {"lifts off 6 s after them",
         [&](int t) { return Snapshot{double(t), 0.0, 80.0 * t, 0.0, t < 28, t < 28 ? 1416.0 : height(t - 8.0)}; },
         kLateLiftOff, 1},
        {"rolls at 200 kn for 5 s",
         [&](int t) {
             const double y = t < 10 ? 80.0 * t : t < 15 ? 800.0 + 103.0 * (t - 10) : 1315.0 + 80.0 * (t - 15);
             return Snapshot{double(t), 0.0, y, 0.0, t < 21, height(t)};
         },
         kGroundSpeed, 5, -1.0, MadeUp::kNone, 60, kRollSpeedUp, 3},   // at 200 kn within a second, read over two
        {"rolls at 100 kn for 5 s, then at 155 within a second",
         [&](int t) {
             const double y = t < 10 ? 80.0 * t : t < 15 ? 800.0 + 51.4 * (t - 10) : 1057.0 + 80.0 * (t - 15);
             return Snapshot{double(t), 0.0, y, 0.0, t < 21, height(t)};
         },
         kRollSpeedUp, 3},   // the three pairs of two seconds' speeds about the step
        // A busy machine: what it held back is not the program's motion, while its motion is still judged.
        {"rolls on while the simulator's clock is held 0.4 s at its 10th second",
         [&](int t) { Snapshot s = follows(t); s.sim = t, s.t = t + (t == 10 ? 0.4 : 0.0), s.y = 80.0 * s.t; return s; },
         kRuleCount, 0},
        {"rolls on while its program's passes stand 0.3 s before its 10th second, then catch up",
         [&](int t) { Snapshot s = follows(t); s.sim = t, s.y -= t == 10 ? 24.0 : 0.0, s.updates = 30.0 * t - (t == 10 ? 9.0 : 0.0); return s; },
         kRuleCount, 0},
        {"rolls at 100 kn for 5 s, then at 155 within a second, its trace on the wall clock",
         [&](int t) {
             Snapshot s{double(t), 0.0, t < 10 ? 80.0 * t : t < 15 ? 800.0 + 51.4 * (t - 10) : 1057.0 + 80.0 * (t - 15), 0.0, t < 21, height(t), double(t), 30.0 * t};
             return s;
         },
         kRollSpeedUp, 3},
        {"flies 600 m beside them from 25 s", [&](int t) { Snapshot s = follows(t); s.x = t >= 25 ? 600.0 : 0.0; return s; },
         kOffRecords, 4},
        {"turns at 7.5 degrees a second from 30 s",
         [&](int t) {
             if (t <= 30) return follows(t);
             const double a = 7.5 * (t - 30) * kDeg2Rad;
             return Snapshot{double(t), r * (1.0 - std::cos(a)), 2400.0 + r * std::sin(a), 7.5 * (t - 30), false, height(t)};
         },
         kBank, 29},   // not its first second, read with the straight second before it
        // A 34-degree bank: one snapshot a frame old reads 35.8 degrees in the second after it.
        {"turns at a 34-degree bank from 30 s, one snapshot a frame stale",
         lf_steered(80.0, [](double t) { return t < 30.0 ? 0.0 : (t - 30.0) * kGravity * std::tan(34.0 * kDeg2Rad) / 80.0 * kRad2Deg; },
                    {0.0, 0.0}, follows, 45),
         kRuleCount, 0},
        {"is shown on the ground at 36-38 s under records 530-600 ft up",
         [&](int t) { return Snapshot{double(t), 0.0, 80.0 * t, 0.0, t < 21 || (t >= 36 && t <= 38), height(t)}; },
         kGroundUnderFlight, 2},
        {"flies 400 ft below them from 30 s, dropping there within a second",
         [&](int t) { return Snapshot{double(t), 0.0, 80.0 * t, 0.0, t < 21, height(t) - (t >= 30 ? 400.0 : 0.0)}; },
         kBelowRecords, 16, -1.0, MadeUp::kNone, 60, kSawTooth, 2, kSinking, 5},
        {"bobs 60 ft each second from 30 s to 40 s",
         [&](int t) { return Snapshot{double(t), 0.0, 80.0 * t, 0.0, t < 21, height(t) + (t >= 30 && t <= 40 && t % 2 ? 60.0 : 0.0)}; },
         kSawTooth, 10},
        {"flies tail first from 40 s",
         [&](int t) { return Snapshot{double(t), 0.0, 80.0 * (t < 40 ? t : t - 1), t < 40 ? 0.0 : 180.0, t < 21, height(t)}; },
         kBackwards, 20},
        // After their end, made-up flight: a departure climbs on, a helicopter holds its height.
        {"climbs on for a minute", follows, kRuleCount, 0, -1.0, MadeUp::kClimb, 120},
        {"levels off when they end", holds, kMadeUpClimb, 52, -1.0, MadeUp::kClimb, 120},
        {"is removed 30 s after they end", follows, kMadeUpClimb, 1, 90.0, MadeUp::kClimb, 120},
        {"hovers when they end", holds, kRuleCount, 0, -1.0, MadeUp::kHover, 120},
        {"sinks 600 ft/min when they end",
         [&](int t) { return Snapshot{double(t), 0.0, 80.0 * t, 0.0, t < 21, height(std::min(t, 60)) - 10.0 * std::max(0, t - 60)}; },
         kBelowRecords, 30, -1.0, MadeUp::kHover, 120},
        {"drops 200 ft at 1,500 ft/min when they end",
         [&](int t) {
             return Snapshot{double(t), 0.0, 80.0 * t, 0.0, t < 21, height(std::min(t, 60)) - 25.0 * std::clamp(t - 60, 0, 8)};
         },
         kSinking, 5, -1.0, MadeUp::kHover, 120, kSawTooth, 1},
        {"is shown on the ground from 90 s", [&](int t) { Snapshot s = holds(t); s.ground = t < 21 || t >= 90; return s; },
         kGroundUnderFlight, 31, -1.0, MadeUp::kHover, 120},
    });
    // The same records reading 350 ft high from their lift-off on, as on a day of low pressure read at the
    // standard atmosphere's: they are judged as given (the day's QNH reads them true), and a trace at its
    // true height flies below them.
    for (PlayedRecord& r : records) r.alt += r.ground ? 0.0 : 350.0;
    lf_expectOnlyTheirRule(records, {
        {"follows its true height, 350 ft below them", follows, kBelowRecords, 18},
    });
    // A helicopter slowing to a hover: north at 20 m/s, a record every 2 s descending 450 ft/min from
    // 2,000 ft for 60 s, then level. It may sink 900 ft/min under level ones, not 1,100; nor 1,650 under
    // descending ones (each second whose 5 s before sink faster than 1,000 ft/min).
    std::vector<PlayedRecord> hover;
    const auto hoverFeet = [](double t) { return 2000.0 - 7.5 * std::min(t, 60.0); };
    for (int i = 0; i <= 45; ++i) hover.push_back({2.0 * i, 0.0, 40.0 * i, false, 20.0 / kKnot, 0.0, hoverFeet(2.0 * i), i < 30 ? -450.0 : 0.0});
    const auto sinking = [&](double from, double seconds, double feetPerS) {
        return [=](int t) { return Snapshot{double(t), 0.0, 20.0 * t, 0.0, false, hoverFeet(t) - feetPerS * std::clamp(t - from, 0.0, seconds)}; };
    };
    lf_expectOnlyTheirRule(hover, {
        {"follows them down to its hover", sinking(0.0, 0.0, 0.0), kRuleCount, 0, -1.0, MadeUp::kHover, 90},
        {"sinks 900 ft/min for 8 s in its hover", sinking(70.0, 8.0, 15.0), kRuleCount, 0, -1.0, MadeUp::kHover, 90},
        {"sinks 1,100 ft/min for 8 s in its hover", sinking(70.0, 8.0, 18.4), kSinking, 4, -1.0, MadeUp::kHover, 90},
        {"sinks 1,650 ft/min for 8 s", sinking(20.0, 8.0, 20.0), kSinking, 8, -1.0, MadeUp::kHover, 90},
        {"an aeroplane sinks 1,100 ft/min for 8 s under level ones", sinking(70.0, 8.0, 18.4), kSinking, 4, -1.0, MadeUp::kNone, 90},
        {"an aeroplane goes on down at 1,500 ft/min after their end", sinking(92.0, 28.0, 25.0), kRuleCount, 0, -1.0, MadeUp::kNone, 120},
    });
}

// The excerpts play in kReplayGroups tests of their own, excerpt i in group i % kReplayGroups, each group
// VARNEL_E2E_AT_ONCE of them at a time (three a core where it is not set): ctest gives each group as many of its
// processors (tests/CMakeLists.txt), and runs the groups side by side as its jobs allow, so that the
// suite never starts more programs than the machine has cores to run them in real time.
constexpr std::size_t kReplayGroups = 4;

std::size_t lf_excerptsAtOnce() {
    constexpr std::size_t kProgramsPerCore = 3;   // each takes some 0.3 of a core
    const char* v = std::getenv("VARNEL_E2E_AT_ONCE");
    const long n = v != nullptr ? std::strtol(v, nullptr, 10) : 0;
    return n > 0 ? static_cast<std::size_t>(n) : std::max(1u, std::thread::hardware_concurrency()) * kProgramsPerCore;
}

// VARNEL_E2E_ONLY=a,b plays only the excerpts whose recording or label contains one of the words.
std::vector<std::size_t> lf_chosenExcerpts() {
    std::vector<std::size_t> chosen;
    const char* only = std::getenv("VARNEL_E2E_ONLY");
    for (std::size_t i = 0; i < std::size(kExcerpts); ++i) {
        bool wanted = only == nullptr || *only == '\0';
        for (const std::string& word : gf_splitAtComma(only ? only : ""))
            wanted = wanted || (!word.empty() && (std::string(kExcerpts[i].recording).find(word) != std::string::npos ||
                                                  std::string(kExcerpts[i].label).find(word) != std::string::npos));
        if (wanted) chosen.push_back(i);
    }
    return chosen;
}

class RealRecordings : public ::testing::TestWithParam<std::size_t> {};

TEST_P(RealRecordings, AreFollowedClosely) {
    if (!realDataAvailable()) GTEST_SKIP() << "../shared/realdata is absent";
    if (!lf_toolsBuilt()) GTEST_SKIP() << "the program and its tools are not built";
    if (std::system("python3 -c pass") != 0) GTEST_SKIP() << "python3 is not installed";

    std::vector<std::size_t> chosen = lf_chosenExcerpts();
    ASSERT_FALSE(chosen.empty()) << "VARNEL_E2E_ONLY matches no excerpt";
    std::erase_if(chosen, [](std::size_t i) { return i % kReplayGroups != GetParam(); });
    // The longest first: the group ends soonest when it plays fewer at a time than it has.
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](std::size_t x, std::size_t y) { return kExcerpts[x].to - kExcerpts[x].from > kExcerpts[y].to - kExcerpts[y].from; });
    if (chosen.empty()) GTEST_SKIP() << "VARNEL_E2E_ONLY matches no excerpt of this group";
    const std::size_t n = chosen.size();
    std::vector<std::unique_ptr<TempDir>> stages;
    std::vector<Outcome> outcomes(n);
    for (std::size_t i = 0; i < n; ++i) stages.push_back(std::make_unique<TempDir>());
    std::atomic<std::size_t> nextToPlay{0};
    std::vector<std::thread> runs;
    for (std::size_t k = 0; k < std::min(n, lf_excerptsAtOnce()); ++k)
        runs.emplace_back([&] {
            for (std::size_t i; (i = nextToPlay++) < n;)
                lf_play(kExcerpts[chosen[i]], stages[i]->path(), 7u + static_cast<unsigned>(chosen[i]) * 13u, outcomes[i]);
        });
    for (std::thread& t : runs) t.join();

    for (std::size_t i = 0; i < n; ++i) {
        const Excerpt& e = kExcerpts[chosen[i]];
        const Outcome& o = outcomes[i];
        SCOPED_TRACE(vrn::format("{} ({} {:.0f}-{:.0f} s)", e.label, e.recording, e.from, e.to));
        ASSERT_EQ(o.exitStatus, 0) << o.output;
        EXPECT_EQ(o.output.find("Run time over"), std::string::npos) << "the run ended at its bound, not after its feed";
        ASSERT_TRUE(o.score.is_object()) << "no score";
        const nlohmann::json& s = o.score;
        std::cout << e.recording << " " << e.from << "-" << e.to << ": " << s.dump() << "\n";

        // Each aircraft is shown as one object (none twice, none never), or as many as its excerpt says.
        EXPECT_GE(s["created"].get<int>(), o.aircraft);
        EXPECT_LE(s["created"].get<int>(), o.aircraft * e.objects);
        EXPECT_EQ(s["below_ground"].get<int>(), 0);
        // (Records no aircraft can fly, as a shuttle reversing every 10 s, are held to the distance from
        // where they put it instead: no path lies within 30 m of them.)
        if (lf_number(s, "air", "n") > 0 && e.mostOffNm == 0.0) {
            EXPECT_LE(lf_number(s, "air", "median"), 30.0);
            EXPECT_LE(lf_number(s, "air", "p95"), 150.0);
        }
        if (e.groundExpected) {
            EXPECT_GT(lf_number(s, "ground", "n"), 0.0) << "no ground traffic shown";
        }
        if (e.groundExpected && !e.pausesOnGround) {
            EXPECT_LE(lf_number(s, "ground", "median"), 5.0);
            EXPECT_LE(lf_number(s, "ground", "p95"), 15.0);
        }
        EXPECT_LE(s["sideways"].get<double>(), 0.01 * s["ground_moving"].get<double>());
        const double ground = lf_median(o.behindGround), air = lf_median(o.behindAir);
        std::cout << vrn::format("  behind while moving (median s): ground {:.1f} ({} snapshots), air {:.1f} ({}); lift-offs {}\n",
                                 ground, o.behindGround.size(), air, o.behindAir.size(), o.liftOffs);
        // On the ground within a second of the play delay (its excerpt may say more). In the air within
        // two seconds of it, and within two records' interval where records come two seconds apart with
        // positions to some 10 m (Dulles, Reagan National).
        const double late = std::string(e.recording).starts_with("lszh") || std::string(e.recording).starts_with("yssy") ||
                                    std::string(e.recording).starts_with("swr")
                                ? 2.0
                                : 4.0;
        if (!e.pausesOnGround) {
            EXPECT_LE(ground, kPlayDelaySeconds + e.groundLateS);
        }
        EXPECT_LE(air, kPlayDelaySeconds + late);

        // A landed or taxiing aircraft never lifts off; one on its take-off roll does, also when its records end.
        if (e.liftsOff == 0) {
            EXPECT_EQ(o.liftOffs, 0) << "aircraft lifted off after being on the ground";
        }
        if (e.liftsOff == 1) {
            EXPECT_GE(o.liftOffs, 1) << "the departure never lifted off";
        }

        // What no aircraft does, second by second.
        const Judgement& j = o.judgement;
        std::cout << vrn::format("  rules {} {:.0f}-{:.0f}: {}\n", e.recording, e.from, e.to, j.summary);
        static const char* const faults[kRuleCount] = {
            "turned harder on the ground than tyres take", "moved against its nose", "turned three quarters of a circle on the ground",
            "stood while its records taxied", "left its records' ground path", "removed while its records came",
            "lifted off more than 5 s after its records", "rolled faster than its records ever went",
            "banked beyond 35 degrees", "on the ground under records that fly", "more than 300 ft below its records",
            "it sank above 1,000 ft/min faster than records descending slower than 600", "its made-up flight did not climb on",
            "more than 30 s off where its records put it", "its vertical speed flipped between climb and descent",
            "turned more than 90 degrees within 8 s at a crawl", "sped up taxiing faster than 4 kn a second",
            "taxied faster than 1.5 times its records and 5 kn", "sped up more than 8 kn in a second on the ground"};
        const auto held = [&](int r) { return r != kOffRecords || e.heldToRecords; };
        for (int r = 0; r < kRuleCount; ++r) {
            if (held(r)) {
                EXPECT_EQ(j.rules[r].broken, 0) << faults[r] << ": " << j.summary;
            }
        }

        // Nothing left behind at the exit.
        EXPECT_EQ(s["removed"].get<int>(), s["created"].get<int>());
        EXPECT_EQ(s["removed_with_client"].get<int>(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(ReplayEndToEnd, RealRecordings, ::testing::Range<std::size_t>(0, kReplayGroups),
                         [](const ::testing::TestParamInfo<std::size_t>& group) { return vrn::format("Group{}", group.param); });

}  // namespace
}  // namespace vrn::test
