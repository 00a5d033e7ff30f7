// The Traffic Reader's record parser: one comma-separated datagram per aircraft becomes one checked
// TrafficUpdate in the traffic queue. Malformed fields raise SysErrorException with the field's code,
// which drops the record without a log line.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <utility>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "core/time_of_week.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {

// The last field index the parser reads is 28, and the checksum comes after it.
constexpr std::size_t kMinimumFieldCount = 30;
constexpr double kMillisecondStampLimit = 171644617100.79;
constexpr std::size_t kMaxRegistrationLength = 12;
// Beyond these no aircraft flies: such a value is damage, and moving an aircraft by it would throw
// it across the globe.
constexpr double kMaxRollDeg = 180.0;
constexpr double kMaxTrueAirspeedKn = 2000.0;
// No runway lies lower than some 1,300 ft below the sea (by the Dead Sea), and a pressure altitude on
// a day of high pressure reads a few hundred feet below the ground: a record lower still is damage,
// whatever its speed. Taking it as on the ground (the rule for 0 and below) would show it taxiing.
constexpr double kLowestAltitudeFt = -2000.0;
// No take-off or landing roll is faster: a record below 0 ft that is flies at an altitude that is
// not there (0 itself is how a feed marks the ground, whatever it says of the speed).
constexpr double kFastestGroundRollKn = 200.0;
constexpr double kSlowFlightAboveFieldFt = 300.0;
// The last second a clock text shows (the year 9999): a damaged stamp is told as a time within it.
constexpr double kLastUtcText = 253402300799.0;

// Seconds as a whole number; a damaged stamp's figure as a few digits and a power of ten, not the
// hundreds of digits of a whole number.
std::string lf_secondsText(double seconds) {
    return std::fabs(seconds) < 1.0e9 ? vrn::format("{:.0f}", seconds) : vrn::format("{:.3g}", seconds);
}

enum Field : std::size_t {
    F_HEXID = 1,
    F_LAT = 2,
    F_LON = 3,
    F_ALTITUDE = 4,
    F_VS = 5,
    F_ON_GROUND = 6,
    F_TRACK = 7,
    F_GS = 8,
    F_CALLSIGN = 9,
    F_TYPE = 10,
    F_REGISTRATION = 11,
    F_DEPARTURE = 12,
    F_DESTINATION = 13,
    F_TIMESTAMP = 14,
    F_MARK = 15,
    F_SOURCE = 17,
    F_TAS = 20,
    F_ROLL = 23,
    F_TRUE_HEADING = 25,
    F_CATEGORY = 28,
};

// from_chars in general format; no blanks or '+' before the number, anything after it ignored.
// Non-finite values ("nan", "inf") are malformed.
bool lf_toDouble(std::string_view text, double& value) {
    if (text.empty()) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
    return result.ec == std::errc() && std::isfinite(value);
}

bool lf_toU32(std::string_view text, std::uint32_t& value) {
    if (text.empty()) return false;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, 10);
    return result.ec == std::errc();
}

double lf_number(std::string_view text, int code, const char* label) {
    double value = 0.0;
    if (!lf_toDouble(text, value)) throw SysErrorException(code, vrn::format("{}{}", label, text));
    return value;
}

std::string_view lf_nullIsEmpty(std::string_view text) { return text == "null" ? std::string_view{} : text; }

std::string_view lf_registrationOf(std::string_view text) {
    if (text == "null" || text.size() > kMaxRegistrationLength) return {};
    return text;
}

bool lf_categoryAllowed(std::string_view category, const std::string& model) {
    if (category == "B1" || category == "B2" || category == "B4" || category == "C1" || category == "C2") return false;
    if (category.empty() || model.empty()) return true;
    if (model.size() > 4) return false;
    return !(model == "GRND" || model == "GLID" || model == "SERV" || model == "BALL" || model == "PARA" ||
             model == "SHIP");
}

// False when the record is dropped; the callsign is stored otherwise.
bool lf_callsignAllowed(std::string_view field, std::string& callsign) {
    const std::string_view cs = lf_nullIsEmpty(field);
    if (cs.substr(0, 4) == "TOW ") return false;
    if (cs == "ERARMTR0") return false;
    if (cs.find('@') != std::string_view::npos) {
        callsign.clear();
    } else {
        callsign.assign(cs);
    }
    return true;
}

double lf_defaultTas(double altitude) {
    if (altitude <= 2000) return 180;
    if (altitude <= 5000) return 220;
    if (altitude <= 10000) return 250;
    if (altitude <= 20000) return 350;
    return 430;
}

}  // namespace

TrafficReader::TrafficReader() : UdpReader("Traffic Reader") { fields.reserve(64); }

void TrafficReader::processDatagram(std::string_view text) {
    datagram = text;
    process();
}

void TrafficReader::setReferencePosition(const LatLon& position) {
    std::lock_guard lock(m_situationMutex);
    m_situation.reference = position;
    ++m_situationVersion;
}

void TrafficReader::setFieldElevation(std::optional<double> feet) {
    std::lock_guard lock(m_situationMutex);
    m_situation.fieldElevation = feet;
    ++m_situationVersion;
}

void TrafficReader::setParkAirport(std::optional<LatLon> position) {
    std::lock_guard lock(m_situationMutex);
    m_situation.parkAirport = position;
    ++m_situationVersion;
}

LatLon TrafficReader::referencePosition() const {
    std::lock_guard lock(m_situationMutex);
    return m_situation.reference;
}

std::optional<double> TrafficReader::fieldElevation() const {
    std::lock_guard lock(m_situationMutex);
    return m_situation.fieldElevation;
}

void TrafficReader::refreshSituation() {
    // The settings of other threads change rarely: copy them only when their version moved.
    const std::uint32_t version = m_situationVersion.load(std::memory_order_acquire);
    if (version == m_seenVersion) return;
    std::lock_guard lock(m_situationMutex);
    m_local = m_situation;
    m_seenVersion = m_situationVersion.load(std::memory_order_relaxed);
}

void TrafficReader::clearSeenCallsigns() {
    std::lock_guard lock(m_callsignMutex);
    m_seenCallsigns.clear();
}

std::set<std::string> TrafficReader::takeSeenCallsigns() {
    std::lock_guard lock(m_callsignMutex);
    return std::exchange(m_seenCallsigns, {});
}

std::size_t TrafficReader::seenCallsignCount() const {
    std::lock_guard lock(m_callsignMutex);
    return m_seenCallsigns.size();
}

void TrafficReader::resetFeedClock() {
    std::lock_guard lock(m_feedClock.mutex);
    m_feedClock.clock.reset();
    m_feedClock.accepted = 0;
    m_feedClock.differenceShown = false;
}

void TrafficReader::setSteadyClockForTests(std::function<double()> seconds) { m_steadySeconds = std::move(seconds); }

double TrafficReader::lf_now() const {
    if (m_steadySeconds) return m_steadySeconds();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::size_t TrafficReader::feedClockVoterCount() {
    std::lock_guard lock(m_feedClock.mutex);
    return m_feedClock.clock.voterCount();
}

bool TrafficReader::admitStamp(double stamp, std::optional<std::uint32_t> aircraft, double& timeStamp) {
    FeedClockState& c = m_feedClock;
    std::lock_guard lock(c.mutex);
    const double now = lf_now();
    std::optional<FeedClock::Jump> jump;
    const FeedClock::Verdict verdict = c.clock.judge(stamp, aircraft, now, jump);
    if (jump) {
        // RealTraffic's playback started again, or went from a replay to live: its aircraft go on.
        m_timeBaseLog.log(vrn::format("the feed's time moved {} s {}: taken as a new time base, the aircraft stay",
                               lf_secondsText(std::fabs(jump->seconds)), jump->seconds > 0 ? "ahead" : "back"));
    }
    if (!verdict.taken) {
        ++g_futureStampsDropped;
        if (aircraft) gf_countStampedAhead(*aircraft);
        m_log.log(vrn::format("record of {} stamped {} s ahead of the feed, dropped",
                              aircraft ? std::to_string(*aircraft) : std::string("?"), lf_secondsText(verdict.ahead)));
        return false;
    }
    timeStamp = verdict.timeStamp;
    ++c.accepted;
    // The day and half hour of the stands go by the clock the feed agrees on, never by a lone record.
    if (c.clock.backed()) g_feedTimeStamp.store(now + *c.clock.offset());
    showClockDifferenceOnce(now);
    return true;
}

bool TrafficReader::lf_possibleStamp(double stamp) {
    // RealTraffic's stamps are of this century and never far ahead of this computer's clock: a
    // computer a year wrong is no computer the feed would work with anyway, and a clock minutes off
    // is judged by the feed's own clock.
    constexpr double kEarliestStamp = 946684800.0;   // Sat Jan  1 00:00:00 2000
    constexpr double kLatestAheadS = 366.0 * 86400.0;
    if (stamp >= kEarliestStamp && stamp <= static_cast<double>(gf_wallClock()) + kLatestAheadS) return true;
    const std::uint64_t count = ++m_impossibleStamps;
    m_stampLog.log(vrn::format("record of {} stamped {} ({}) is no time RealTraffic sends, dropped ({} so far)",
                               gf_excerpt(fields[F_HEXID], kMaxRegistrationLength), lf_secondsText(stamp),
                               gf_utcTimeText(static_cast<std::time_t>(std::clamp(stamp, 0.0, kLastUtcText))), count));
    return false;
}

void TrafficReader::showClockDifferenceOnce(double now) {
    // A computer whose clock is wrong misplaces the day's half hours of the stands: say it once,
    // when enough records of enough aircraft have shown the feed's time.
    FeedClockState& c = m_feedClock;
    constexpr int kRecordsBeforeJudging = 20;
    constexpr double kShownDifferenceS = 60.0;
    constexpr int kDifferenceHeldSeconds = 8;
    const std::optional<double> offset = c.clock.offset();
    if (c.differenceShown || c.accepted < kRecordsBeforeJudging || !offset || !c.clock.backed()) return;
    const double difference = now + *offset - static_cast<double>(gf_wallClock());
    if (std::fabs(difference) > kShownDifferenceS) {
        c.differenceShown = true;
        gf_showStatusFor(vrn::format("RealTraffic's clock is {} s {} this computer's clock", lf_secondsText(std::fabs(difference)),
                                     difference > 0 ? "ahead of" : "behind"),
                         kDifferenceHeldSeconds);
    }
}

void TrafficReader::started() {
    // Each start learns the feed's clock anew.
    resetFeedClock();
    g_mainWindow.g_trafficStatus = 1;
    gf_invalidateBand(Band::Counters);
}

void TrafficReader::stopped() {
    g_mainWindow.g_trafficStatus = 3;
    gf_invalidateBand(Band::Counters);
    m_timeBaseLog.flushDropped();
    m_stampLog.flushDropped();
    gf_logLine("Traffic Reader has stopped");
}

void TrafficReader::lf_splitFields() {
    fields.clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = datagram.find(',', start);
        if (comma == std::string_view::npos) {
            if (start < datagram.size()) fields.push_back(datagram.substr(start));
            return;
        }
        fields.push_back(datagram.substr(start, comma - start));
        start = comma + 1;
    }
}

std::vector<TrafficReader::KnownAircraft> TrafficReader::knownAircraft() const {
    std::lock_guard lock(m_knownMutex);
    return m_knownList;
}

void TrafficReader::requestKnownAircraftReset() {
    std::lock_guard lock(m_knownMutex);
    std::unordered_map<std::uint32_t, KnownPlace>().swap(m_known);
    std::vector<KnownAircraft>().swap(m_knownList);
    m_knownCount.store(0);
    m_knownAircraftReset.store(true);
}

std::size_t TrafficReader::rememberedIdCount() const {
    std::lock_guard lock(m_knownMutex);
    return m_known.size();
}

// An aircraft not reported for an hour has left: no rule looks back that far, and a feed of ever
// new ids would otherwise hold on to each of them for the run. The caller holds m_knownMutex.
void TrafficReader::lf_forgetOldIds(double now) {
    constexpr double kForgottenAfterS = 3600.0;
    constexpr double kForgettingIntervalS = 60.0;
    if (now - m_lastForgetting < kForgettingIntervalS) return;
    m_lastForgetting = now;
    const auto old = [&](const auto& entry) { return now - entry.second.lastSeen > kForgottenAfterS; };
    if (std::none_of(m_known.begin(), m_known.end(), old)) return;   // the usual case: nothing to rebuild
    std::vector<KnownAircraft> kept;
    std::unordered_map<std::uint32_t, KnownPlace> places;
    for (const KnownAircraft& k : m_knownList) {
        const KnownPlace& place = m_known.at(k.hexid);
        if (now - place.lastSeen > kForgottenAfterS) continue;
        places.emplace(k.hexid, KnownPlace{kept.size(), place.lastSeen});
        kept.push_back(k);
    }
    m_knownList.swap(kept);
    m_known.swap(places);
    m_knownCount.store(m_knownList.size());
}

void TrafficReader::lf_takeIn() {
    const double now = lf_now();
    std::lock_guard lock(m_knownMutex);
    m_knownAircraftReset.store(false);
    const auto [it, added] = m_known.try_emplace(record.hexid, KnownPlace{m_knownList.size(), now});
    if (added) {
        m_knownList.push_back({record.hexid, record.flight.callsign});
    } else {
        m_knownList[it->second.index].callsign = record.flight.callsign;
        it->second.lastSeen = now;
    }
    lf_forgetOldIds(now);
    m_knownCount.store(m_knownList.size());
}

void TrafficReader::process() {
    if (datagram.find(" VEH") != std::string_view::npos) return;
    lf_splitFields();
    processLine();
}

double TrafficReader::lf_qnhForRecords(double now) {
    // RealTraffic gives whole hectopascals, and its 1013 is the standard atmosphere: no QNH, no change.
    constexpr double kEasingHpaPerSecond = 0.1;   // some 3 ft a second
    const int received = g_mainWindow.g_qnh.load(std::memory_order_relaxed);   // 0: none this run
    const double target = g_currentQnh.load(std::memory_order_relaxed) + (kStandardPressureHpa - 1013.0);
    if (received == 0 || !m_qnhHeld) {
        m_qnhApplied = received == 0 ? kStandardPressureHpa : target;
        m_qnhHeld = received != 0;
    } else {
        const double step = std::max(0.0, now - m_qnhEasedAt) * kEasingHpaPerSecond;
        m_qnhApplied = std::clamp(target, m_qnhApplied - step, m_qnhApplied + step);
    }
    m_qnhEasedAt = now;
    return m_qnhApplied;
}

void TrafficReader::processLine() {
    try {
        // 1. A fresh record, reusing the capacity of its texts.
        Flight& flight = record.flight;
        flight.airline.clear();
        flight.model.clear();
        flight.departure.clear();
        flight.destination.clear();
        flight.callsign.clear();
        flight.knownCallsign.clear();
        flight.coupledCallsign.clear();
        flight.registration.clear();
        flight.coupledSearchDone = false;
        record.sample = PositionSample{};
        record.timeStamp = 0.0;
        record.hexid = 0;
        record.checksum = 0;
        PositionSample& sample = record.sample;

        // Shorter datagrams are outside the format.
        if (fields.size() < kMinimumFieldCount) return;
        refreshSituation();

        // 2. Time stamp, in seconds or milliseconds. A stamp no RealTraffic sends is counted and
        // goes no further.
        double stamp = lf_number(fields[F_TIMESTAMP], 741, "timestamp:");
        if (stamp > kMillisecondStampLimit) stamp /= 1000.0;
        if (!lf_possibleStamp(stamp)) return;

        // 3. Every field is checked before the record counts for anything: a broken record neither
        // moves the feed's clock (the day and half hour of the stands) nor reaches the engine.
        // The texts go on to the simulator's objects, Log.txt and the learned stand files: a control
        // character or broken UTF-8 in any of them is damage (no callsign or code holds one).
        for (std::size_t i = F_CALLSIGN; i <= F_DESTINATION; ++i) {
            if (!gf_isPrintable(fields[i])) throw SysErrorException(751, vrn::format("text:{}", gf_excerpt(fields[i])));
        }
        sample.latitude = lf_number(fields[F_LAT], 742, "lat:");
        sample.longitude = lf_number(fields[F_LON], 743, "lon:");
        const LatLon position{sample.latitude, sample.longitude};
        if (sample.latitude < -90 || sample.latitude > 90 || sample.longitude < -180 || sample.longitude > 180 ||
            (sample.latitude >= 0 && sample.latitude <= 0.0009 && sample.longitude >= 0 && sample.longitude <= 0.05)) {
            throw SysErrorException(744, vrn::format("lalo:{}", gf_latLonText(position)));
        }
        // True heading, only from ADS-B sources.
        if (fields[F_SOURCE] == "adsb_icao") {
            const double trueHeading = lf_number(fields[F_TRUE_HEADING], 745, "true heading:");
            if (trueHeading > 360) throw SysErrorException(746, vrn::format("true heading:{:.2F}", trueHeading));
            if (trueHeading == 0) {
                sample.heading = kTwoPi;
                sample.headingGiven = sample.headingKnown = 1;
            } else if (trueHeading > 0) {
                sample.heading = trueHeading * kPi / 180.0;
                sample.headingGiven = sample.headingKnown = 1;
            }
        }
        // ICAO address.
        if (!lf_toU32(fields[F_HEXID], record.hexid)) {
            throw SysErrorException(640, vrn::format("hexid incorrect{}", fields[F_HEXID]));
        }
        // Ground speed, altitude and the ground rules.
        sample.groundSpeed = lf_number(fields[F_GS], 747, "gs:");
        double altitude = 0.0;
        if (!lf_toDouble(fields[F_ALTITUDE], altitude)) {
            throw SysErrorException(641, vrn::format("altitude {} incorrect, from: {}", fields[F_ALTITUDE], gf_excerpt(datagram)));
        }
        const double gs = sample.groundSpeed;
        if (altitude < kLowestAltitudeFt) {
            throw SysErrorException(641, vrn::format("altitude {} incorrect, from: {}", fields[F_ALTITUDE], gf_excerpt(datagram)));
        }
        // Transponders report pressure altitude; the simulator places aircraft at their true altitude,
        // and the field's elevation the ground rules compare with is a true one too. (0 marks the ground.)
        if (const double qnh = lf_qnhForRecords(lf_now()); altitude != 0 && qnh != kStandardPressureHpa) {
            altitude = gf_trueAltitudeFt(altitude, qnh);
        }
        if (altitude < 0 && gs > kFastestGroundRollKn) {
            throw SysErrorException(641, vrn::format("altitude {} incorrect, from: {}", fields[F_ALTITUDE], gf_excerpt(datagram)));
        }
        if (altitude <= 0) {
            altitude = 0;
        } else if (altitude < 14000) {
            const double height = altitude - m_local.fieldElevation.value_or(-1000.0);
            if (height <= 0 || (height <= 45 && gs <= 120) || (height <= 90 && gs <= 80) || (height <= 120 && gs <= 43)) {
                altitude = 0;
            }
        }
        // Slow is on the ground, unless the record says it flies and it is well above the field: a
        // helicopter slowing to a hover there is no aircraft on a taxiway. (Which type it is the traffic
        // pass knows: it takes an aeroplane's such record below 500 ft for a ground one.)
        const bool fliesHigh = fields[F_ON_GROUND] == "0" && altitude - m_local.fieldElevation.value_or(-1000.0) >= kSlowFlightAboveFieldFt;
        if (gs <= 35 && !fliesHigh) altitude = 0;
        sample.altitude = altitude;
        sample.airborne = altitude != 0 ? 1 : 0;
        // Track; 0 is replaced by the heading when there is one.
        if (!fields[F_TRACK].empty()) {
            if (!lf_toDouble(fields[F_TRACK], sample.track)) {
                throw SysErrorException(648, vrn::format("track incorrect {}", fields[F_TRACK]));
            }
        }
        if (sample.track == 0 && sample.headingGiven) sample.track = sample.heading * kRad2Deg;
        sample.verticalSpeed = lf_number(fields[F_VS], 748, "vs:");
        if (!lf_toU32(fields.back(), record.checksum)) {
            throw SysErrorException(749, vrn::format("checksum:{}", fields.back()));
        }
        // Bank from the roll (the simulator's sign is the opposite), in the air only.
        if (sample.airborne) {
            const double roll = lf_number(fields[F_ROLL], 750, "roll:");
            if (std::abs(roll) > kMaxRollDeg) throw SysErrorException(750, vrn::format("roll:{}", fields[F_ROLL]));
            if (roll != -1 && roll != 0) {
                sample.bank = -roll * kPi / 180.0;
                sample.bankGiven = 1;
            }
        }
        // True airspeed; -1 means not given.
        double tas = 0.0;
        if (!lf_toDouble(fields[F_TAS], tas) || std::abs(tas) > kMaxTrueAirspeedKn)
            throw SysErrorException(691, vrn::format("TAS incorrect{}", fields[F_TAS]));
        sample.trueAirspeed = tas == -1 ? lf_defaultTas(altitude) : tas;

        // 4. The feed's clock: each whole record votes with its stamp, its aircraft counted once by
        // its address as a number, whatever the rules below make of the record.
        if (!admitStamp(stamp, record.hexid, record.timeStamp)) return;

        // 5. Registration.
        flight.registration.assign(lf_registrationOf(fields[F_REGISTRATION]));
        if (flight.registration.empty() && fields[F_MARK] == "F") return;

        // 6. Lateral range.
        if (gf_distanceNm(m_local.reference, position) > g_lateralRangeNm.load(std::memory_order_relaxed)) return;

        // 7. Callsigns of the feed, while the static-parking renewal collects them.
        const std::string_view rawCallsign = fields[F_CALLSIGN];
        if (collectCallsigns.load(std::memory_order_relaxed) && !rawCallsign.empty() && rawCallsign != "null" &&
            rawCallsign.find('@') == std::string_view::npos) {
            std::lock_guard lock(m_callsignMutex);
            if (collectCallsigns.load()) m_seenCallsigns.emplace(rawCallsign);
        }

        // 8-9. Type and category.
        const std::string_view type = fields[F_TYPE];
        if (!(type == "null" || type == "0" || type == "ZZZZ")) flight.model.assign(type);
        if (!lf_categoryAllowed(fields[F_CATEGORY], flight.model)) return;

        // 10. Ids up to 10000 belong to static parked aircraft.
        if (record.hexid <= 10000) return;

        // 11. Callsign; a record needs a registration or a callsign.
        if (!lf_callsignAllowed(fields[F_CALLSIGN], flight.callsign)) return;
        if (flight.registration.empty() && flight.callsign.empty()) return;

        // 12. Ground records only near the park airport.
        if (!sample.airborne) {
            if (!m_local.parkAirport || gf_distanceNm(*m_local.parkAirport, position) > kGroundRecordRadiusNm) return;
        }

        // 13.
        flight.departure.assign(lf_nullIsEmpty(fields[F_DEPARTURE]));
        flight.destination.assign(lf_nullIsEmpty(fields[F_DESTINATION]));
        sample.standing = 0;
        lf_takeIn();
        if (const auto dropped = gf_queueTrafficUpdate(record)) {
            m_log.log(vrn::format("traffic queue full ({} records waiting), record of {} dropped", kTrafficQueueLimit,
                                  *dropped));
        }
    } catch (const SysErrorException&) {
        // A malformed field: the record is dropped without a trace.
    } catch (const std::exception& e) {
        m_log.log(vrn::format("exception in processLine: {}", gf_excerpt(e.what())));
    }
}

}  // namespace vrn
