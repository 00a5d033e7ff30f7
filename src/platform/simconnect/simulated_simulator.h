#pragma once
// The simulated simulator behind our SimConnect calls: a world of aircraft objects (the user's and
// every AI aircraft created), a frame clock that tests step by hand or that runs in real time for a
// demo, data requests (once, per frame, per second, by type within a radius), system events, AI
// creation with object ids, refused creations for titles that are not installed, flight plans checked
// for existence and form, pause/stop/quit, failure injection, a JSON scenario and a JSON-lines trace.
// Thread-safe: one thread dispatches while others send.
// Files: simulated_simulator.cpp (object world, frame clock, control), simulated_requests.cpp
// (connections, events, data requests), simulated_ai_creation.cpp (AI objects), sim_scenario.cpp and
// simulated_trace.cpp (scenario in, trace out).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/simconnect/simconnect_api.h"

namespace vrn::simconnect {

// LIGHT STATES / Light On States bits.
enum LightBits : DWORD {
    LIGHT_NAV = 0x0001,
    LIGHT_BEACON = 0x0002,
    LIGHT_LANDING = 0x0004,
    LIGHT_TAXI = 0x0008,
    LIGHT_STROBE = 0x0010,
    LIGHT_LOGO = 0x0100,
    LIGHT_CABIN = 0x0200,
};

struct PathPoint {
    double t = 0.0;   // simulator seconds since the scenario started
    double lat = 0.0;
    double lon = 0.0;
    double altitude = 0.0;      // feet
    double headingDeg = 0.0;
    double groundSpeed = 0.0;   // knots
    bool onGround = true;
};

struct UserAircraftSpec {
    DWORD objectId = 1;
    std::string title = "Asobo A320 Neo";
    std::string atcModel = "ATCCOM.AC_MODEL_A20N.0.text";
    PathPoint start{0.0, 47.4647, 8.5492, 1416.0, 160.0, 0.0, true};   // LSZH
    std::vector<PathPoint> path;   // when given, the user moves along it (linear between points)
    DWORD lightStates = LIGHT_NAV | LIGHT_BEACON;
};

// An aircraft of another client or of the simulator's own traffic, present from the start.
struct OtherAircraftSpec {
    std::string title;
    std::string atcId;
    double lat = 0.0;
    double lon = 0.0;
    double altitude = 0.0;
    bool onGround = true;
};

struct TimelineEvent {
    double t = 0.0;
    std::string event;   // flightStart, flightStop, pause, unpause, quit, flightLoaded, newFile
    std::string file;    // for flightLoaded / newFile
};

struct FailureSpec {
    std::set<std::string> refuseTitles;   // creation answered with exception 22 although installed
    int failCreateCalls = 0;              // the next N AICreateNonATCAircraft calls return E_FAIL
    int failRemoveCalls = 0;
    int failTransmitCalls = 0;
    int failRequestCalls = 0;             // RequestDataOnSimObject(Type)
    int failPacketIdCalls = 0;
    int failDispatchCalls = 0;            // CallDispatch returns E_FAIL, as on a broken connection
    std::vector<std::pair<DWORD, DWORD>> exceptionsAfterOpen;   // (exception, index) sent after OPEN
};

struct SimScenario {
    int version = 2024;                   // 2020 or 2024; any other number names an unknown simulator
    std::string applicationName;          // empty: taken from the version
    DWORD appVersion[4] = {1, 2, 3, 4};
    double frameRate = 30.0;
    int openFailures = 0;                 // Open fails this often before it succeeds
    bool simulatorRunning = true;
    bool flightRunning = true;            // "Sim" state at the start
    std::filesystem::path packagesFolder; // installed titles from its Community and Official folders
    std::vector<std::string> installedTitles;   // more installed titles
    bool anyTitleInstalled = false;       // accept every title (demo without packages)
    UserAircraftSpec user;
    double groundElevation = 1416.0;      // feet; flat terrain
    int zuluYear = 2025;
    int zuluDayOfYear = 1;
    double zuluSeconds = 43200.0;
    std::vector<TimelineEvent> timeline;
    FailureSpec failures;
    std::vector<OtherAircraftSpec> otherAircraft;
    double staticCgToGround = 6.5;
    double staticPitch = 0.01;
    DWORD firstAiObjectId = 3;
    std::size_t maxObjects = 1000;
    std::filesystem::path tracePath;      // empty: no trace
};

// Reads a scenario from JSON text; throws std::runtime_error with the reason when it is malformed.
SimScenario gf_parseSimScenario(const std::string& jsonText, const std::filesystem::path& baseFolder = {});
SimScenario gf_loadSimScenario(const std::filesystem::path& file);

// [FLTSIM.N] titles of one aircraft.cfg text (UTF-8, UTF-8 with BOM or UTF-16 with BOM).
std::vector<std::string> gf_readFltsimTitles(const std::string& bytes);
// The titles of every aircraft.cfg under packagesFolder/Community and packagesFolder/Official.
std::set<std::string> gf_scanInstalledTitles(const std::filesystem::path& packagesFolder);

struct SimObjectState {
    DWORD id = 0;
    bool isUser = false;
    int ownerConnection = 0;   // 0: not created by a client
    std::string title;
    std::string atcId;
    std::string atcModel;
    double lat = 0.0, lon = 0.0, altitude = 0.0;          // degrees, feet
    double pitch = 0.0, bank = 0.0, heading = 0.0;        // radians
    double verticalSpeed = 0.0, airspeed = 0.0, groundSpeed = 0.0;
    double groundAltitude = 0.0;
    bool onGround = true;
    DWORD lights = 0;
    bool engineRunning = false;
    bool gearDown = true;
    DWORD throttleEvent = 0, flapsEvent = 0, spoilersEvent = 0;
    double throttlePercent = 0.0, spoilersPercent = 0.0;
    bool freezeLatLon = false, freezeAltitude = false, freezeAttitude = false;
    bool released = false;
    std::string planDeparture, planDestination;
    double staticCg = 0.0, staticPitch = 0.0;
    std::uint64_t positionUpdates = 0;
    bool added = false;      // ObjectAdded has been reported
    bool removing = false;   // removal asked; ObjectRemoved follows on the next frame
    double altitudeAboveGround() const { return altitude - groundAltitude; }
};

// One call as the simulator saw it (recorded while call recording is on).
struct CallRecord {
    int connection = 0;
    std::string call;
    DWORD a = 0, b = 0, c = 0, d = 0;
    std::string text;
};

enum class ClockMode { Manual, RealTime };

class SimulatedSimulator {
public:
    SimulatedSimulator();
    ~SimulatedSimulator();
    SimulatedSimulator(const SimulatedSimulator&) = delete;
    SimulatedSimulator& operator=(const SimulatedSimulator&) = delete;

    // Starts over with a scenario: no connections, a new world, the clock at 0.
    void reset(const SimScenario& scenario, ClockMode mode);
    // Advances the frame clock by n frames (Manual mode; RealTime runs it by itself).
    void step(int frames = 1);
    void stepSeconds(double seconds);
    // Waits until every connection's messages have been dispatched, at most `timeout`.
    bool waitIdle(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));

    // Control of the world from outside (tests, scenario timeline).
    void setFlightRunning(bool running);
    void setPaused(bool paused);
    void quit();
    void loadFlight(const std::string& file, bool asNewFile);
    void moveUser(const PathPoint& p);
    // Flat terrain at another height (feet), for the user and every object from now on.
    void setGroundElevation(double feet);
    void setUserTitleAndModel(const std::string& title, const std::string& atcModel);
    DWORD addOtherAircraft(const OtherAircraftSpec& spec);

    // Inspection.
    std::vector<SimObjectState> objects() const;
    std::optional<SimObjectState> object(DWORD id) const;
    std::optional<SimObjectState> objectByAtcId(const std::string& atcId) const;
    std::size_t aiObjectCount() const;
    bool isTitleInstalled(const std::string& title) const;
    std::size_t installedTitleCount() const;
    int connectionCount() const;
    bool isRunning() const;
    std::uint64_t frameNumber() const;
    double clockSeconds() const;
    void recordCalls(bool on);
    std::vector<CallRecord> calls() const;
    // CallDispatch calls so far, of every connection: how often the client's loop turns.
    std::uint64_t dispatchCalls() const { return m_dispatchCalls.load(); }
    void clearCalls();
    void setFailures(const FailureSpec& failures);
    // Made from VARNEL_SIM_SCENARIO and VARNEL_SIM_TRACE with a real-time clock, unless reset()
    // has been called before; the first SimConnect_Open calls it.
    void ensureConfigured();

    // The client API (called by the SimConnect_* functions).
    HRESULT open(HANDLE* handle, const char* name);
    HRESULT close(HANDLE handle);
    HRESULT callDispatch(HANDLE handle, DispatchProc proc, void* context);
    HRESULT lastSentPacketId(HANDLE handle, DWORD* id);
    HRESULT subscribe(HANDLE handle, DWORD eventId, const char* name);
    HRESULT unsubscribe(HANDLE handle, DWORD eventId);
    HRESULT addToDefinition(HANDLE handle, DWORD defineId, const char* datum, const char* units, SIMCONNECT_DATATYPE type);
    HRESULT clearDefinition(HANDLE handle, DWORD defineId);
    HRESULT mapClientEvent(HANDLE handle, DWORD eventId, const char* name);
    HRESULT addToGroup(HANDLE handle, DWORD groupId, DWORD eventId);
    HRESULT setGroupPriority(HANDLE handle, DWORD groupId, DWORD priority);
    HRESULT transmitClientEvent(HANDLE handle, DWORD objectId, DWORD eventId, DWORD data, DWORD groupId);
    HRESULT requestData(HANDLE handle, DWORD requestId, DWORD defineId, DWORD objectId, SIMCONNECT_PERIOD period);
    HRESULT requestDataByType(HANDLE handle, DWORD requestId, DWORD defineId, DWORD radius, SIMCONNECT_SIMOBJECT_TYPE type);
    HRESULT setData(HANDLE handle, DWORD defineId, DWORD objectId, DWORD arrayCount, DWORD unitSize, const void* data);
    HRESULT createAircraft(HANDLE handle, const char* title, const char* tail, const SIMCONNECT_DATA_INITPOSITION& pos,
                           DWORD requestId);
    HRESULT removeObject(HANDLE handle, DWORD objectId, DWORD requestId);
    HRESULT releaseControl(HANDLE handle, DWORD objectId, DWORD requestId);
    HRESULT setFlightPlan(HANDLE handle, DWORD objectId, const char* path, DWORD requestId);

    struct Field {
        std::string datum;
        std::string units;
        SIMCONNECT_DATATYPE type;
        int writable = -1;   // which state a SetData of this field writes (-1: none)
    };

private:
    struct Message {
        std::vector<std::uint64_t> storage;   // 8-byte aligned record
        DWORD size = 0;
    };
    struct PeriodicRequest {
        DWORD requestId, defineId, objectId;
        SIMCONNECT_PERIOD period;
    };
    struct Connection {
        int id = 0;
        std::string name;
        std::deque<Message> queue;
        DWORD lastPacket = 0;
        std::map<DWORD, std::string> subscriptions;      // client event id -> system event name
        std::map<DWORD, std::vector<Field>> definitions;
        std::map<DWORD, std::string> clientEvents;       // client event id -> simulator event name
        std::map<DWORD, std::set<DWORD>> groups;
        std::map<DWORD, DWORD> groupPriorities;
        std::vector<PeriodicRequest> periodic;
        bool quitSent = false;
    };

    // Queues a fixed-size record for the connection; its size and version are filled in here.
    template <typename Record>
    static void lf_post(Connection& c, Record rec);
    Connection* lf_connection(HANDLE handle);
    DWORD lf_packet(Connection& c, const char* call, DWORD a = 0, DWORD b = 0, DWORD cc = 0, DWORD d = 0,
                    const std::string& text = {});
    void lf_queueException(Connection& c, DWORD exception, DWORD sendId, DWORD index);
    // The shared start of the data requests: the connection, an injected failure, the recorded packet and
    // a known definition. Null when the request ends here; `result` then holds what to return.
    Connection* lf_startDataRequest(HANDLE handle, const char* call, DWORD requestId, DWORD defineId, DWORD c3,
                                    DWORD c4, DWORD& packet, HRESULT& result);
    void lf_queueSystemEvent(const std::string& name, DWORD data);
    void lf_queueFileEvent(const std::string& name, const std::string& file);
    void lf_queueObjectData(Connection& c, DWORD recvId, DWORD requestId, DWORD defineId, const SimObjectState& o,
                            DWORD entry, DWORD outOf);
    std::vector<std::uint8_t> lf_encode(const std::vector<Field>& fields, const SimObjectState& o) const;
    SimObjectState* lf_object(DWORD id);
    const SimObjectState* lf_userObject() const;
    void lf_stepOne();
    void lf_applyTimeline();
    void lf_moveUserAlongPath();
    void lf_writeTrace();
    void lf_traceEvent(const std::string& what, DWORD id, const std::string& text);
    void lf_stopRealTime();
    void lf_quitLocked();
    void lf_setFlightRunningLocked(bool running);

    mutable std::mutex m_mutex;
    std::condition_variable m_idle;
    SimScenario m_scenario;
    std::set<std::string> m_installedTitles;
    std::map<int, Connection> m_connections;
    int m_nextConnection = 1;
    std::map<DWORD, SimObjectState> m_objects;
    DWORD m_nextObjectId = 3;
    bool m_running = true;
    bool m_flightRunning = true;
    bool m_paused = false;
    int m_openFailuresLeft = 0;
    std::uint64_t m_frame = 0;
    double m_simSeconds = 0.0;     // advances while not paused
    std::size_t m_timelineNext = 0;
    int m_dispatching = 0;
    std::atomic<std::uint64_t> m_dispatchCalls{0};
    bool m_recordCalls = false;
    bool m_configured = false;
    std::vector<CallRecord> m_calls;
    std::ofstream m_trace;

    ClockMode m_mode = ClockMode::Manual;
    std::thread m_clockThread;
    std::atomic<bool> m_clockStop{false};
};

// The one simulator of this process. Made on first use from VARNEL_SIM_SCENARIO (or the built-in
// default scenario) with its clock running in real time and the trace going to VARNEL_SIM_TRACE;
// tests call reset() with their own scenario and a manual clock.
SimulatedSimulator& gf_simulator();

}  // namespace vrn::simconnect
