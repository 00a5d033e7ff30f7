#pragma once
// The two UDP readers of the RealTraffic feed: the "Traffic Reader" (one aircraft per datagram,
// turned into TrafficUpdates by processLine) and the "QNH Reader" (weather JSON with the QNH).
// Each runs on its own detached thread; the exit procedure stops them with requestStop().
//
// Hand-over: every accepted record is queued (gf_queueTrafficUpdate, one record per aircraft) under
// g_trafficMutex while g_mainLoopRunning is set; the traffic pass takes the whole queue under the same mutex.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/geodesy.h"
#include "core/log.h"
#include "feed/feed_clock.h"
#include "platform/net/sockets.h"
#include "records/flight_records.h"
#include "records/live_aircraft.h"

namespace vrn {

// One validated feed record.
struct TrafficUpdate {
    Flight flight;
    PositionSample sample;
    double timeStamp = 0.0;      // seconds since 1970 (UTC)
    std::uint32_t hexid = 0;     // ICAO address as the feed gives it (decimal), > 10000 when queued
    std::uint32_t checksum = 0;  // last field, passed on, never verified
    // The airborne positions of this aircraft's records it replaced in the queue (a pass that ran late),
    // the newest kPassedOverKept, oldest first: flown all the same, so that a second sender's late copy of
    // one is known for one when it comes.
    static constexpr std::size_t kPassedOverKept = 16;
    std::array<LatLon, kPassedOverKept> passedOver{};
    std::uint8_t passedOverCount = 0;
};

// The records waiting for the traffic pass, at most one per aircraft: the engine always works on
// the freshest data, whatever the load.
extern std::deque<TrafficUpdate> g_trafficQueue;
extern std::mutex g_trafficMutex;      // guards g_trafficQueue and g_mainLoopRunning
extern bool g_mainLoopRunning;
// One record per aircraft keeps the queue below the number of aircraft in range, drained every 10 ms:
// only a stalled traffic pass reaches the bound, and then the oldest record gives way.
inline constexpr std::size_t kTrafficQueueLimit = 4096;
extern std::atomic<std::uint64_t> g_trafficQueueDropped;
// Records stamped further ahead of the feed's own clock than kFutureStampToleranceS are dropped
// (counted here): a record from the future would hold back every later one of its aircraft. The
// computer's clock is no judge: it may be wrong by minutes.
inline constexpr double kFutureStampToleranceS = FeedClock::kAheadToleranceS;
extern std::atomic<std::uint64_t> g_futureStampsDropped;
// Per aircraft, how many of its records were dropped so since it was last asked to forget them: the
// engine says so when it removes an aircraft whose records it never got (the reader thread counts,
// the run thread reads and forgets; a mutex inside). At most kStampedAheadRemembered aircraft.
void gf_countStampedAhead(std::uint32_t hexid);
std::uint32_t gf_stampedAheadCount(std::uint32_t hexid);
void gf_forgetStampedAhead(std::uint32_t hexid);
inline constexpr std::size_t kStampedAheadRemembered = 4096;
// A UDP reader stopped with an error (set by gf_reportReaderStop; the main loop and traffic start act on it).
extern std::atomic<bool> g_readerError;
// Queues a record while the main loop runs (else nothing), due kPlayDelayPasses from now. A queued
// record of the same aircraft is replaced in its place, unless it is the newer one; at the bound the
// oldest record is dropped and counted, and its aircraft id returned.
std::optional<std::uint32_t> gf_queueTrafficUpdate(const TrafficUpdate& record);
// The traffic pass takes every waiting record at once; the queue starts afresh, so the memory of a
// burst is given back with the taken records.
std::deque<TrafficUpdate> gf_takeTrafficUpdates();
// The traffic-pass count; written by the run thread, read by the Traffic Reader for due passes.
extern std::atomic<int> g_tickCounter;
// Sets g_mainLoopRunning under the mutex; clearing it also empties the queue (nothing stale is left
// for the next run).
void gf_setMainLoopRunning(bool running);

// The QNH in hPa that the traffic engine reads (1013 when none was received).
extern std::atomic<int> g_currentQnh;

inline constexpr std::uint16_t kTrafficPort = 49005;
inline constexpr std::uint16_t kWeatherPort = 49004;
inline constexpr std::size_t kDatagramBufferSize = 16384;
// The receive buffer asked for on each socket: a relay sends a second's traffic in one burst, and a
// few thousand datagrams must wait there while the reader works through them. Linux grants up to
// its limit (net.core.rmem_max), Windows what is asked.
inline constexpr int kReceiveBufferAsked = 8 << 20;
// Datagrams the system dropped for a full receive buffer are logged at most this often.
inline constexpr int kDropReportSeconds = 60;
inline constexpr double kGroundRecordRadiusNm = 5.0;
inline constexpr int kPlayDelayPasses = 3000;   // a record is played 30 s after it arrived

class UdpReader {
public:
    explicit UdpReader(const char* name);
    virtual ~UdpReader() = default;
    UdpReader(const UdpReader&) = delete;
    UdpReader& operator=(const UdpReader&) = delete;

    const char* name() const { return m_name; }

    // Creates the socket (SysErrorException 31 on failure).
    void open();
    // Binds it (SysErrorException 32). Port 0 binds a free port (tests); boundPort() tells which.
    void bind(std::uint16_t port);
    std::uint16_t boundPort() const { return m_boundPort.load(); }
    // Receives until stopped; process() per datagram, stopped() at the end. Closes the socket.
    void receiveLoop();
    // From another thread: ends the receive loop (wakes a blocked receive).
    void requestStop();
    bool stopIsRequested() const { return stopRequested.load() != 0; }
    // Binds and runs: the thread body without the thread's bookkeeping (tests call it on a thread).
    void run(std::uint16_t port);
    // On the reader thread once the socket is bound, before the receive loop: what a start means to
    // this reader (nothing unless it says).
    virtual void started() {}

    // Whether RealTraffic runs on this computer: bind to loopback only, and no repeat filter.
    // Taken once when the loop starts; the global readers' thread bodies copy g_realTrafficLocal here.
    std::atomic<bool> realTrafficLocal{true};
    // Tests bind to loopback even in the remote mode.
    std::atomic<bool> loopbackBindForTests{false};

    std::atomic<std::uint32_t> stopRequested{0};
    std::atomic<std::uint32_t> datagramCount{0};
    std::atomic<std::uint32_t> countAtLastCheck{0};
    std::atomic<bool> raised{true};   // the flow check already raised the indicator to 1
    // The receive buffer to ask for at the next open (tests ask for a small one), and the size the
    // system granted (as it reports it; 0 when unknown).
    std::atomic<int> receiveBufferAsked{kReceiveBufferAsked};
    std::atomic<int> receiveBufferGranted{0};
    // The log line on the receive buffer: granted and asked, and, when less was granted, the system
    // setting that raises it.
    std::string receiveBufferText() const;
    // Datagrams the system dropped on this reader's sockets, where it counts them.
    std::atomic<std::uint64_t> droppedDatagrams{0};

    // The current datagram (a view into the receive buffer, or into a test's text).
    std::string_view datagram;

protected:
    virtual void process() = 0;
    virtual void stopped() = 0;

    // Every line a datagram causes goes through here: a flood of bad datagrams cannot fill the disk.
    LogLimiter m_log;

private:
    const char* m_name;
    std::array<char, kDatagramBufferSize + 1> m_buffer{};
    std::string m_previousDatagram;
    net::SocketHandle m_socket;
    bool m_dropsCounted = false;   // the system counts this socket's drops
    // Reader thread only: the system's drop count, and what of it was logged, when.
    std::uint32_t m_drops = 0, m_dropsReported = 0;
    std::time_t m_dropReportAt = 0;
    void lf_reportDrops(bool stopping);
    std::atomic<std::uint16_t> m_boundPort{0};
};

class TrafficReader : public UdpReader {
public:
    TrafficReader();

    // Parses one datagram as the receive loop would (tests, fuzzing, benchmarks).
    void processDatagram(std::string_view text);

    // The record being built; its time stamp is on the feed's continuous time base.
    TrafficUpdate record;
    std::vector<std::string_view> fields;

    // Where the lateral range is measured from (run thread).
    void setReferencePosition(const LatLon& position);
    // Elevation of the park airport in feet, or none (airports).
    void setFieldElevation(std::optional<double> feet);
    // The park airport's position, or none when no park airport is set (airports).
    void setParkAirport(std::optional<LatLon> position);
    LatLon referencePosition() const;
    std::optional<double> fieldElevation() const;

    // Callsign collection for the static-parking renewal.
    std::atomic<bool> collectCallsigns{false};
    void clearSeenCallsigns();
    std::set<std::string> takeSeenCallsigns();
    std::size_t seenCallsignCount() const;
    // The aircraft taken in since the last reset, in the order they first came: a static parking
    // calculation empties the table, and the reader takes the feed's aircraft in afresh (the reset
    // flag stays raised until the first one is taken in).
    struct KnownAircraft {
        std::uint32_t hexid = 0;
        std::string callsign;   // the latest one the feed gave
    };
    void requestKnownAircraftReset();
    bool knownAircraftResetPending() const { return m_knownAircraftReset.load(); }
    std::size_t knownAircraftCount() const { return m_knownCount.load(); }
    std::vector<KnownAircraft> knownAircraft() const;

    void processLine();

    // Forgets the feed's clock (a new run or a new link may bring another one).
    void resetFeedClock();
    // The steady clock in seconds that the feed clock and the aircraft table go by (tests); an
    // empty function gives back the real one.
    void setSteadyClockForTests(std::function<double()> seconds);
    // Aircraft ids the table of taken-in aircraft holds (the ones not reported for an hour are forgotten).
    std::size_t rememberedIdCount() const;
    std::size_t feedClockVoterCount();

protected:
    void started() override;
    void process() override;
    void stopped() override;

private:
    // The feed's clock (guarded by its mutex: the reset comes from other threads), with what the
    // reader says about it.
    struct FeedClockState {
        std::mutex mutex;
        FeedClock clock;
        int accepted = 0;      // stamps taken since the clock was reset
        bool differenceShown = false;
    };
    // False when the stamp lies too far ahead of the feed's clock; else the stamp on the feed's
    // continuous time base in `timeStamp`.
    bool admitStamp(double stamp, std::optional<std::uint32_t> aircraft, double& timeStamp);
    // Once per clock, when enough stamps came in: the status line says how far the feed's clock
    // is from this computer's. The caller holds m_feedClock.mutex.
    void showClockDifferenceOnce(double now);
    FeedClockState m_feedClock;
    // A new time base is rare and explains what follows, so it is not held back with the dropped
    // records' lines; a feed that keeps jumping still gets only a few lines, then their count.
    static constexpr int kTimeBaseLinesPerMinute = 3;
    LogLimiter m_timeBaseLog{"feed time base", kTimeBaseLinesPerMinute};
    // False for a stamp no RealTraffic sends (before 2000, or a year ahead of this computer's clock):
    // such a record is dropped before it counts for anything, the feed's clock above all. Counted in
    // Log.txt through a limiter of its own.
    bool lf_possibleStamp(double stamp);
    LogLimiter m_stampLog{"impossible time stamp", kTimeBaseLinesPerMinute};
    std::uint64_t m_impossibleStamps = 0;   // reader thread only
    std::function<double()> m_steadySeconds;   // the steady clock in seconds (tests set their own)
    double lf_now() const;

    // The QNH (hPa) the records' pressure altitudes are read at, reader thread only. One a run receives
    // before its first record holds at once; later, a new one eases in, so that no aircraft shown (or
    // queued to be) moves by a step when the day's pressure changes or first comes after the traffic.
    double lf_qnhForRecords(double now);
    double m_qnhApplied = kStandardPressureHpa;
    double m_qnhEasedAt = 0.0;
    double m_qnhTarget = kStandardPressureHpa;
    double m_qnhRate = 0.0;         // hPa a second, set when the target changes
    bool m_qnhHeld = false;         // a QNH was received this run
    bool m_qnhRecordsRead = false;  // a record was read this run

    struct Situation {
        LatLon reference;
        std::optional<double> fieldElevation;
        std::optional<LatLon> parkAirport;
    };
    void lf_splitFields();
    void refreshSituation();

    mutable std::mutex m_situationMutex;
    Situation m_situation;                     // guarded by m_situationMutex
    std::atomic<std::uint32_t> m_situationVersion{1};
    std::uint32_t m_seenVersion = 0;           // reader thread only
    Situation m_local;                         // reader thread's copy

    mutable std::mutex m_callsignMutex;
    std::set<std::string> m_seenCallsigns;
    void lf_takeIn();
    mutable std::mutex m_knownMutex;           // the reader writes, other threads copy
    struct KnownPlace {
        std::size_t index = 0;   // place in m_knownList
        double lastSeen = 0.0;   // steady seconds
    };
    std::unordered_map<std::uint32_t, KnownPlace> m_known;   // ICAO address -> place
    std::vector<KnownAircraft> m_knownList;
    double m_lastForgetting = 0.0;
    void lf_forgetOldIds(double now);
    std::atomic<std::size_t> m_knownCount{0};
    std::atomic<bool> m_knownAircraftReset{false};
};

class QnhReader : public UdpReader {
public:
    QnhReader();
    void processDatagram(std::string_view text);
    std::atomic<int> lastQnh{1013};

protected:
    void started() override;
    void process() override;
    void stopped() override;
};

extern TrafficReader g_trafficReader;
extern QnhReader g_qnhReader;

// Thread bodies, started detached by the traffic start (port 49005 and 49004).
void gf_trafficReaderThread(std::uint16_t port);
void gf_qnhReaderThread(std::uint16_t port);
// The thread body on any reader (the two above use the global readers).
void gf_runReaderThread(UdpReader& reader, bool traffic, std::uint16_t port);
// Starts a reader thread detached.
void gf_startTrafficReader(std::uint16_t port = kTrafficPort);
void gf_startQnhReader(std::uint16_t port = kWeatherPort);
// Stops both readers (exit procedure): QNH Reader first, then the Traffic Reader.
void gf_stopReaders();

// The flow check (every 59th second, and when an indicator shows "no data").
void gf_checkTrafficFlow();
// Resets the feed state before waiting for RealTraffic, on a lost link and on a restart.
void gf_resetRealTraffic();

}  // namespace vrn
