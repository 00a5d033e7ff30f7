// The UDP readers over loopback, the QNH rules, the flow check, and the TCP server and RealTraffic
// line protocol with a client socket of the test's own.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <deque>
#include <future>
#include <limits>
#include <random>
#include <string>
#include <thread>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/time_of_week.h"
#include "display/window_state.h"
#include "feed/realtraffic_link.h"
#include "feed/tcp_server.h"
#include "feed/udp_readers.h"
#include "platform/net/sockets.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn {
namespace {

using test::eventually;

#ifdef _WIN32
constexpr int kShutWrite = SD_SEND;
#else
constexpr int kShutWrite = SHUT_WR;
#endif

int openDescriptorCount() {
#ifdef _WIN32
    DWORD n = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &n);
    return static_cast<int>(n);
#else
    int n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
#endif
}

// Room for the many connections a test holds open (a process may have 1024 descriptors by default).
void raiseDescriptorLimit(unsigned long wanted) {
#ifndef _WIN32
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= wanted) return;
    limit.rlim_cur = std::min(static_cast<rlim_t>(wanted), limit.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &limit);
#else
    (void)wanted;
#endif
}

// A reader whose processed datagrams are recorded.
class RecordingReader : public UdpReader {
public:
    RecordingReader() : UdpReader("Test Reader") {}
    std::vector<std::string> seen;
    std::atomic<int> processed{0}, stops{0};

protected:
    void process() override {
        seen.emplace_back(datagram);
        ++processed;
    }
    void stopped() override { ++stops; }
};

void sendTo(std::uint16_t port, std::string_view text) {
    int error = 0;
    const int fd = net::gf_udpSocket(error);
    EXPECT_TRUE(net::gf_sendDatagramToLoopback(fd, port, text));
    net::gf_closeSocket(fd);
}

TEST(UdpReaderTest, OverrunZeroByteAndRepeatFilter) {
    RecordingReader reader;
    reader.realTrafficLocal = false;   // remote: repeats are filtered
    reader.loopbackBindForTests = true;
    reader.open();
    reader.bind(0);
    std::thread t([&] { reader.receiveLoop(); });
    for (const std::string& d : {std::string(16384, 'x'), std::string(16383, 'y'), std::string("A\0tail", 6),
                                 std::string("A"), std::string("B"), std::string("A")})
        sendTo(reader.boundPort(), d);   // the overrun is skipped; the second "A" repeats the cut one
    ASSERT_TRUE(eventually([&] { return reader.processed.load() == 4; }));
    EXPECT_EQ(reader.datagramCount.load(), 5u) << "repeats are counted";
    reader.requestStop();
    t.join();
    EXPECT_EQ(reader.stops.load(), 1);
    EXPECT_EQ(reader.seen, (std::vector<std::string>{std::string(16383, 'y'), "A", "B", "A"}));
}

TEST(UdpReaderTest, StopAndRestartHundredTimesOnTheSamePort) {
    const int before = openDescriptorCount();
    RecordingReader reader;
    // In the tests' own ports (test_support.h), so a port freed between two rounds is never handed to
    // another test's bind to port 0 meanwhile, and above the ones other suites draw while this runs.
    std::uint16_t port = 0;
    const unsigned first = test::kDrawnPortLast + 1, count = test::kTestPortLast - test::kDrawnPortLast;
    for (unsigned p = first + std::random_device{}() % (count - 60); port == 0 && p <= test::kTestPortLast; ++p) {
        reader.open();
        try {
            reader.bind(static_cast<std::uint16_t>(p));
            port = reader.boundPort();
        } catch (const SysErrorException&) {
        }
    }
    ASSERT_NE(port, 0);
    reader.requestStop();
    reader.stopRequested = 0;
    for (int i = 0; i < 100; ++i) {
        std::thread t([&] { reader.run(port); });   // throws (and the test aborts) on a failed bind
        ASSERT_TRUE(eventually([&] { return reader.boundPort() == port; }));
        sendTo(port, "ping");
        ASSERT_TRUE(eventually([&] { return reader.processed.load() == i + 1; })) << "round " << i;
        reader.requestStop();
        t.join();
        reader.stopRequested = 0;
    }
    EXPECT_EQ(reader.stops.load(), 100);
    EXPECT_EQ(openDescriptorCount(), before);
}

TEST(UdpReaderTest, BindFailureIsReportedAndAStopBeforeBindIsNoError) {
    RecordingReader holder, second, early;
    holder.open();
    holder.bind(0);
    g_readerError = false;
    const int threads = g_runningThreads.load();
    gf_runReaderThread(second, false, holder.boundPort());
    EXPECT_TRUE(g_readerError.load());
    EXPECT_EQ(g_runningThreads.load(), threads);
    EXPECT_EQ(second.stops.load(), 0);
    holder.requestStop();
    early.open();
    early.requestStop();
    EXPECT_NO_THROW(early.bind(0));
    early.receiveLoop();   // ends at once
    EXPECT_EQ(early.stops.load(), 1);
    EXPECT_EQ(early.processed.load(), 0);
}

// Less granted than asked: the log line names the system's limit (and, where there is one, the
// setting that raises it); as much as asked: nothing more.
TEST(UdpReaderTest, TheReceiveBufferLineNamesTheLimitThatHeldItBack) {
    for (const int asked : {4096, 1 << 30}) {
        RecordingReader reader;
        reader.receiveBufferAsked = asked;
        reader.open();
        const int granted = reader.receiveBufferGranted.load();
        const std::string setting = net::gf_receiveBufferLimitSetting();
        const std::string limit = setting.empty() ? " (the system's limit)" : " (the system's limit: raise " + setting + ")";
        EXPECT_EQ(reader.receiveBufferText(), vrn::format("Test Reader receive buffer: {} KB granted, {} KB asked{}",
                                                          granted / 1024, asked / 1024, granted < asked ? limit : ""));
#ifdef __linux__
        EXPECT_EQ(granted < asked, asked > 4096) << "Linux caps a gigabyte";
        EXPECT_EQ(setting, "net.core.rmem_max");
#endif
        reader.requestStop();
    }
}

// An airborne record near 51.47, -0.45.
std::string trafficRecord(std::uint32_t hexid, const std::string& stamp = "1717000000.5") {
    return "RTTFC," + std::to_string(hexid) + ",51.50,-0.40,5000,1500,0,270.5,250,BAW12AB,A320,G-EUUA,LHR,CDG," + stamp +
           ",X2,BA12,adsb_icao,"
           "5100,240,260,0.4,0.0,5.0,268,271.0,1400,none,A3,1013.2,35008,-1,70.0,lnav,0.0,-21.9,223,24,-30,0,1,170124";
}

// A reader that counts what it processed, and the datagrams "last" among them.
class CountingReader : public UdpReader {
public:
    CountingReader() : UdpReader("Test Reader") {}
    std::atomic<int> processed{0}, lasts{0};
    std::atomic<bool> holding{false}, held{false};   // "hold" keeps the reader busy while holding is set

protected:
    void process() override {
        ++processed;
        if (datagram == "last") ++lasts;
        if (datagram != "hold") return;
        held = true;
        while (holding.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        held = false;
    }
    void stopped() override {}
};

// A reader on loopback with Log.txt open and the wall clock standing still.
class FloodTest : public ::testing::Test {
protected:
    void SetUp() override {
        gf_setWallClockForTests([this] { return now.load(); });
        gf_startLog(dir.path() / "Log.txt");
    }
    void TearDown() override {
        for (auto& [reader, thread] : running) {
            reader->requestStop();
            thread.join();
        }
        gf_closeLog();
        gf_setWallClockForTests({});
    }
    void start(UdpReader& reader) {
        reader.open();
        reader.bind(0);
        running.emplace_back(&reader, std::thread([&reader] { reader.receiveLoop(); }));
    }
    // Sends the datagrams in order; returns once the reader has counted the last one.
    void send(UdpReader& reader, const std::vector<std::string>& datagrams) {
        const std::uint32_t before = reader.datagramCount.load();
        for (const std::string& d : datagrams) sendTo(reader.boundPort(), d);
        ASSERT_TRUE(eventually([&] { return reader.datagramCount.load() > before; }));
    }
    // Returns once the reader has handled (queued, logged or dropped) every datagram sent before: it
    // counts a datagram before it handles it and handles one at a time, so a datagram it passes over
    // without a trace, counted after them, means they are done, however slowly its thread runs.
    void settle(UdpReader& reader) { send(reader, {&reader == &qnhReader ? R"({"QNH":1013})" : "RTTFC VEH"}); }
    std::vector<std::string> logLines() {
        gf_flushLog();
        return test::readLinesOf(dir.path() / "Log.txt");
    }

    test::TempDir dir;
    std::atomic<std::time_t> now{1733356800};
    QnhReader qnhReader;
    TrafficReader trafficReader;
    CountingReader countingReader;
    std::vector<std::pair<UdpReader*, std::thread>> running;
};

TEST_F(FloodTest, BadWeatherDatagramsAndOverrunsLeaveABoundedLog) {
    start(qnhReader);
    const std::string bad = R"({"QNH":)" + std::string(16000, 'x');
    for (int i = 0; i < 40; ++i) send(qnhReader, {std::string(16384, 'o'), bad});   // the overrun is never counted
    settle(qnhReader);
    auto lines = logLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                  return l.rfind("buffer overrun: ", 0) == 0 || l.rfind("Exception ", 0) == 0;
              }),
              10);
    for (const std::string& line : lines) EXPECT_LT(line.size(), 600u) << line.substr(0, 80);
    now += 60;
    send(qnhReader, {bad});
    settle(qnhReader);
    lines = logLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "70 more QNH Reader lines were not logged");
}

// A burst larger than a small receive buffer: where the system counts the datagrams it dropped, the
// log gives their number, at most once a minute (what came meanwhile in the next line); where it
// counts none, it says nothing.
TEST_F(FloodTest, DatagramsLostToAFullReceiveBufferAreLoggedAtMostOnceAMinute) {
    CountingReader& reader = countingReader;
    reader.receiveBufferAsked = 4096;
    reader.open();
    reader.bind(0);
    EXPECT_LT(reader.receiveBufferGranted.load(), 64 * 1024) << "the size asked for is applied";
    const std::string datagram(200, 'd');
    const auto burst = [&] {
        for (int i = 0; i < 300; ++i) sendTo(reader.boundPort(), datagram);
    };
    burst();   // sent before the reader reads: most find no room
    running.emplace_back(&reader, std::thread([&reader] { reader.receiveLoop(); }));
    // Returns once the reader has taken a datagram sent after everything before (sent again while
    // it finds no room).
    const auto settled = [&] {
        const int before = reader.lasts.load();
        ASSERT_TRUE(eventually([&] {
            sendTo(reader.boundPort(), "last");
            return reader.lasts.load() > before;
        }));
    };
    settled();
    const auto lostLines = [&] {
        std::vector<std::string> lost;
        for (const std::string& line : logLines())
            if (line.rfind("Test Reader: ", 0) == 0 && line.find(" lost, more came at once than its receive buffer of ") != std::string::npos)
                lost.push_back(line);
        return lost;
    };
#ifdef _WIN32
    EXPECT_TRUE(lostLines().empty());
    EXPECT_EQ(reader.droppedDatagrams.load(), 0u);
#else
    ASSERT_EQ(lostLines().size(), 1u);
    const std::uint64_t first = reader.droppedDatagrams.load();
    EXPECT_GE(first, 200u) << "a few datagrams fit";
    EXPECT_EQ(lostLines()[0].rfind(vrn::format("Test Reader: {} datagrams lost", first), 0), 0u);
    // Another burst while the reader is busy, in the same minute: counted, not logged; a minute on,
    // the next datagram brings the line with the new number.
    reader.holding = true;
    sendTo(reader.boundPort(), "hold");
    ASSERT_TRUE(eventually([&] { return reader.held.load(); }));
    burst();
    reader.holding = false;
    settled();
    EXPECT_EQ(lostLines().size(), 1u);
    now += 60;
    settled();
    const auto lines = lostLines();
    ASSERT_EQ(lines.size(), 2u);
    const std::uint64_t second = reader.droppedDatagrams.load() - first;
    EXPECT_GE(second, 200u);
    EXPECT_EQ(lines[1].rfind(vrn::format("Test Reader: {} datagrams lost", second), 0), 0u);
#endif
}

// Through the socket: one record per aircraft (the newer replaces the queued one in its place, an
// older one is ignored), the oldest dropped and counted at the bound, records from the future refused.
TEST_F(FloodTest, TheTrafficQueueKeepsTheNewestRecordPerAircraftAndDropsTheOldestAtItsBound) {
    g_lateralRangeNm = 100.0;
    trafficReader.setReferencePosition({51.47, -0.45});
    gf_setMainLoopRunning(true);
    {
        std::lock_guard lock(g_trafficMutex);
        g_trafficQueue.resize(kTrafficQueueLimit - 1);
        for (std::size_t i = 0; i < g_trafficQueue.size(); ++i) g_trafficQueue[i].hexid = 100000 + static_cast<std::uint32_t>(i);
    }
    const std::uint64_t droppedBefore = g_trafficQueueDropped.load(), futureBefore = g_futureStampsDropped.load();
    g_feedTimeStamp = 0.0;
    start(trafficReader);
    // The feed's newest stamp is its clock: an hour beyond it is from the future.
    const std::string newest = std::to_string(now.load() + 10), ahead = std::to_string(now.load() + 10 + 3600);
    for (const std::string& d : {trafficRecord(4001234, "1733356770"), trafficRecord(4001234, "1733356790"),
                                 trafficRecord(4001234, "1733356750"), trafficRecord(4001235, newest),
                                 trafficRecord(4001236, ahead), trafficRecord(4001236, ahead + "000")}) {
        const std::uint32_t before = trafficReader.datagramCount.load();
        sendTo(trafficReader.boundPort(), d);
        ASSERT_TRUE(eventually([&] { return trafficReader.datagramCount.load() > before; }));
    }
    settle(trafficReader);
    EXPECT_EQ(g_futureStampsDropped.load() - futureBefore, 2u);
    EXPECT_EQ(g_trafficQueueDropped.load() - droppedBefore, 1u);
    EXPECT_EQ(g_feedTimeStamp.load(), 0.0) << "two aircraft's first moments are no clock the feed agrees on, and a stamp "
                                              "from the future is never taken as the feed's time";
    const auto lines = logLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "traffic queue full (4096 records waiting), record of 100000 dropped"), 1);
    // An hour ahead of the feed's clock, which has moved on by the moments the test took.
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
                  return l.rfind("record of 4001236 stamped 3", 0) == 0 && l.ends_with(" s ahead of the feed, dropped");
              }),
              2);
    const std::deque<TrafficUpdate> taken = gf_takeTrafficUpdates();
    ASSERT_EQ(taken.size(), kTrafficQueueLimit);
    EXPECT_EQ(taken.front().hexid, 100001u);
    EXPECT_EQ(taken[kTrafficQueueLimit - 2].hexid, 4001234u);
    EXPECT_EQ(taken[kTrafficQueueLimit - 2].timeStamp, 1733356790.0);
    EXPECT_EQ(taken.back().hexid, 4001235u);
    std::lock_guard lock(g_trafficMutex);
    EXPECT_TRUE(g_trafficQueue.empty());
    g_mainLoopRunning = false;
}

// A record that replaces its aircraft's waiting one carries the airborne positions passed over, the newest
// 16 oldest first; a ground one's is none, and an older record replaces nothing.
TEST(TrafficQueueTest, ARecordThatReplacesAnotherCarriesThePositionsPassedOver) {
    gf_setMainLoopRunning(true);
    for (int k = 0; k < 20; ++k) {
        TrafficUpdate u{};
        u.hexid = 4001240;
        u.timeStamp = 1000.0 + k;
        u.sample.latitude = 50.0 + k;
        u.sample.longitude = 8.0;
        u.sample.airborne = k == 17 ? 0 : 1;
        gf_queueTrafficUpdate(u);
    }
    TrafficUpdate older{};
    std::tie(older.hexid, older.timeStamp, older.sample.latitude, older.sample.airborne) = std::tuple{4001240u, 990.0, 40.0, std::uint8_t{1}};
    gf_queueTrafficUpdate(older);
    const std::deque<TrafficUpdate> taken = gf_takeTrafficUpdates();
    gf_setMainLoopRunning(false);
    ASSERT_EQ(taken.size(), 1u);
    EXPECT_EQ(taken[0].timeStamp, 1019.0);
    std::vector<double> passed;
    for (std::size_t i = 0; i < taken[0].passedOverCount; ++i) passed.push_back(taken[0].passedOver[i].lat);
    EXPECT_EQ(passed, (std::vector<double>{52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 68}));
}

// The started reader follows where RealTraffic runs (elsewhere a repeat is parsed once); the flow
// check shows "no data", then "receiving"; a stop shows "stopped".
TEST(TrafficReaderTest, StartedReaderRealTrafficLocationFlowCheckAndStop) {
    TrafficReader& reader = g_trafficReader;
    g_lateralRangeNm = 100.0;
    reader.setReferencePosition({51.47, -0.45});
    reader.loopbackBindForTests = true;
    gf_setMainLoopRunning(true);
    g_mainWindow.g_realTrafficLinkUp = true;
    for (const bool local : {false, true}) {
        g_realTrafficLocal = local;
        const int threads = g_runningThreads.load();
        g_mainWindow.g_weatherStatus = 3;
        gf_startTrafficReader(0);
        ASSERT_TRUE(eventually([&] { return reader.boundPort() != 0 && g_mainWindow.g_trafficStatus.load() == 1; }));
        EXPECT_EQ(g_mainWindow.g_weatherStatus.load(), 3) << "the weather reader's status is its own";
        gf_resetRealTraffic();
        reader.datagramCount = 0;
        reader.countAtLastCheck = 0;   // the reset leaves the counters alone
        gf_checkTrafficFlow();
        EXPECT_EQ(g_mainWindow.g_trafficStatus.load(), 2);
        EXPECT_EQ(g_mainWindow.g_weatherStatus.load(), 2);
        // The queue keeps one record per aircraft: a repeat that is parsed replaces it with a later due pass.
        g_tickCounter = 0;
        sendTo(reader.boundPort(), trafficRecord(4001234));
        ASSERT_TRUE(eventually([&] {
            std::lock_guard lock(g_trafficMutex);
            return g_trafficQueue.size() == 1;
        }));
        g_tickCounter = 7;
        sendTo(reader.boundPort(), trafficRecord(4001234));
        const int due = local ? 3007 : 3000;
        ASSERT_TRUE(eventually([&] {
            std::lock_guard lock(g_trafficMutex);
            return reader.datagramCount.load() == 2 && g_trafficQueue.front().sample.duePass == due;
        }));
        gf_checkTrafficFlow();
        EXPECT_EQ(g_mainWindow.g_trafficStatus.load(), 1);
        EXPECT_EQ(g_mainWindow.g_weatherStatus.load(), 2);
        reader.requestStop();
        ASSERT_TRUE(eventually([&] { return g_runningThreads.load() == threads; }));
        EXPECT_EQ(g_mainWindow.g_trafficStatus.load(), 3);
        reader.stopRequested = 0;
        std::lock_guard lock(g_trafficMutex);
        EXPECT_EQ(g_trafficQueue.size(), 1u) << local;
        g_trafficQueue.clear();
    }
    // The weather reader's own start shows it receiving.
    const int threads = g_runningThreads.load();
    g_qnhReader.loopbackBindForTests = true;
    gf_startQnhReader(0);
    EXPECT_TRUE(eventually([] { return g_qnhReader.boundPort() != 0 && g_mainWindow.g_weatherStatus.load() == 1; }));
    g_qnhReader.requestStop();
    ASSERT_TRUE(eventually([&] { return g_runningThreads.load() == threads; }));
    g_qnhReader.stopRequested = 0;
}

// A strange number is logged as the number it is, never as a wrapped or clamped one.
TEST_F(FloodTest, QnhValuesUnitsAndStrangeValues) {
    const std::tuple<const char*, int, const char*> cases[] = {
        {R"({"QNH":1020})", 1020, ""}, {R"({"QNH":-1e308})", 1020, "-1e+308"},
        {R"({"QNH":18446744073709551615})", 1020, "6.247046512066046e+18"}, {R"({"QNH":1081})", 1020, "366"}, {R"({"QNH":1013.4})", 1013, ""}, {R"({"QNH":2992})", 1013, ""},   // inHg/100
        {R"({"ICAO":"KJFK","QNH":2996,"METAR":"A2996"})", 1015, ""}, {R"({"QNH":"1009"})", 1009, ""},
        {R"({"QNH":"2990"})", 1013, ""}, {R"({"QNH":1081})", 1013, ""}, {R"({"QNH":1030})", 1030, ""},
        {R"({"QNH":929})", 1030, ""}, {R"({"QNH":"abc"})", 1030, ""}, {R"({"QNH":true})", 1030, ""},
        {R"({"METAR":"x"})", 1030, ""}, {R"({"QNH":null})", 1030, ""}, {R"({"QNH":1e300})", 1030, ""},
        {R"({"QNH":"99999999999"})", 1030, ""}, {R"(not json)", 1030, ""}, {R"([1020])", 1030, ""},
        {R"({"QNH":18446744073709551615})", 1030, ""},
        {R"({"QNH":-5})", 1030, ""}, {R"({"QNH":930})", 930, ""}, {R"({"QNH":1080})", 1080, ""}};
    for (const auto& [json, expected, strange] : cases) {
        qnhReader.processDatagram(json);
        EXPECT_EQ(g_currentQnh.load(), expected) << json;
        EXPECT_EQ(g_mainWindow.g_qnh.load(), expected) << json;
        if (*strange) {
            EXPECT_EQ(logLines().back(), std::string("? Strange QNH ") + strange + " found in " + json);
        }
    }
    // Only "no data" turns into "receiving" with a new QNH.
    for (const auto& [status, after] : {std::pair{2, 1}, {3, 3}}) {
        g_mainWindow.g_weatherStatus = status;
        qnhReader.processDatagram(R"({"QNH":1001})");
        EXPECT_EQ(g_mainWindow.g_weatherStatus.load(), after);
    }
}

class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        gf_startLog(dir.path() / "Log.txt");
        gf_startServer("0");
        ASSERT_NE(gf_serverPort(), 0);
        g_realTrafficLocal = true;
        // Long enough for a busy machine's peer thread to answer; a test of the deadline sets its own.
        g_handshakeDeadlineMs = 20000;
    }
    void TearDown() override {
        gf_stopServer();
        for (int fd : clients) net::gf_closeSocket(fd);
        g_feedHooks = FeedHooks{};
        g_handshakeDeadlineMs = 3000;
        gf_closeLog();
    }
    int connect() {
        int error = 0;
        const int fd = net::gf_connectLoopback(gf_serverPort(), error);
        EXPECT_GE(fd, 0) << error;
        clients.push_back(fd);
        return fd;
    }
    // What the server sent next; "" when it closed. A server that sends nothing fails the test here
    // instead of holding it in recv() for good.
    static std::string readSome(int fd) {
        if (!net::gf_waitReadable(fd, 20000)) {
            ADD_FAILURE() << "nothing to read within 20 s";
            return "<nothing within 20 s>";
        }
        char buffer[9000];
        int error = 0;
        const long n = net::gf_receiveSome(fd, buffer, sizeof buffer, error);
        return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
    }
    // gf_waitForRealTraffic on a thread of its own. join() stops the server when no client was taken
    // within 20 s, which ends the wait: a handshake that never completes fails the test, not holds it.
    class RealTrafficWait {
    public:
        RealTrafficWait() : m_thread([this] { gf_waitForRealTraffic(), m_done.set_value(); }) {}
        ~RealTrafficWait() { join(); }
        void join() {
            if (!m_thread.joinable()) return;
            if (m_ended.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
                ADD_FAILURE() << "RealTraffic was not taken within 20 s";
                gf_stopServer();
            }
            m_thread.join();
        }

    private:
        std::promise<void> m_done;
        std::future<void> m_ended = m_done.get_future();
        std::thread m_thread;
    };
    static void waitForRealTraffic() { RealTrafficWait().join(); }
    // RealTraffic on this client answers the version request, and the link is up.
    void linkRealTraffic(int fd) {
        std::thread rt = realTraffic(fd);
        waitForRealTraffic();
        rt.join();
    }
    // A client that answers the version request as RealTraffic does.
    std::thread realTraffic(int fd, const std::string& answer = R"({"version":"10.0.200","level":1})" "\r\n") {
        return std::thread([fd, answer] {
            EXPECT_EQ(readSome(fd), "Qs999=version\r\n");
            net::gf_sendAll(fd, answer);
        });
    }
    std::string log() {
        gf_flushLog();
        return test::readFile(dir.path() / "Log.txt");
    }
    test::TempDir dir;
    std::vector<int> clients;
};

// The handshake, Qs123 and Qs121 lines, a lost client noticed on a position report (live aircraft
// dropped, link down), the next client taken after its own handshake, and "exit" when the server stops.
TEST_F(ServerTest, HandshakeLinesLostClientReconnectionAndExit) {
    const int c1 = connect();
    linkRealTraffic(c1);
    EXPECT_TRUE(g_mainWindow.g_realTrafficLinkUp.load());
    EXPECT_EQ(g_mainWindow.g_realTrafficText.get().rfind("RT stnd edition: 10.0.200, archive: week", 0), 0u);
    gf_sendQs123(0);
    gf_sendQs123(std::numeric_limits<std::int64_t>::max() / 1000 + 1);   // no time: nothing sent
    gf_sendQs123(1700000000);
    EXPECT_EQ(readSome(c1), "Qs123=1700000000000\r\n");
    UserAircraftState user;
    user.latitude = 0.0001;
    user.longitude = 0.01;
    gf_sendUserPosition(user);   // unset position: nothing
    user.latitude = 51.0;
    user.longitude = -1.0;
    gf_sendUserPosition(user);
    EXPECT_EQ(readSome(c1), "Qs121=0;0;0.000000;0;0;0.890118;-0.017453\r\n");

    int dropped = 0;
    g_feedHooks.dropLiveAircraft = [&] { ++dropped; };
    net::gf_closeSocket(c1);
    clients.clear();
    for (int i = 0; i < 50 && g_clientConnected.load(); ++i) gf_sendUserPosition(user);
    EXPECT_FALSE(g_clientConnected.load());
    EXPECT_FALSE(g_mainWindow.g_realTrafficLinkUp.load());
    EXPECT_EQ(dropped, 1);
    EXPECT_FALSE(sendDataPacket("Qs123=1\r\n"));

    const int c2 = connect();
    std::thread back = realTraffic(c2, R"({"version":"10.0.201"})" "\r\n");
    ASSERT_TRUE(eventually([&] {
        gf_serveRealTraffic();
        return g_mainWindow.g_realTrafficLinkUp.load();
    }));
    back.join();
    EXPECT_EQ(g_mainWindow.g_realTrafficText.get().rfind("RT prof edition: 10.0.201", 0), 0u);
    gf_sendUserPosition(user);
    EXPECT_EQ(readSome(c2).rfind("Qs121=", 0), 0u);
    gf_stopServer();
    const std::string rest = readSome(c2);
    EXPECT_EQ(rest.substr(rest.size() < 6 ? 0 : rest.size() - 6), "exit\r\n");
}

// Whatever a connection does with the version request, the run goes on: a bad or missing answer is
// logged and the connection dropped; RealTraffic connecting meanwhile (even after idle connections
// that never answer) is taken. An answer may come in pieces.
TEST_F(ServerTest, OnlyAConnectionThatAnswersTheVersionBecomesTheClient) {
    struct Case {
        std::vector<std::string> segments;   // what the first connection sends, piece by piece
        const char* logged;                  // empty: the first connection is RealTraffic
    };
    const Case cases[] = {
        {{R"({"versi)", R"(on":"9.9","level":2})" "\r\n"}, ""},
        {{R"({"version":"9.9"})" "\n"}, ""},
        {{std::string(9000, 'x')}, "answer longer than 8192 bytes"},
        {{R"({"version")", std::string("\0:\"9.9\"}\r\n", 10)}, "not a version: {\"version\""},
        {{"[1,2]\r\n"}, "not a version: [1,2]"},
        {{"\r\n"}, "empty answer"},
        {{std::string("\0{\"version\":\"9.9\"}\r\n", 20)}, "empty answer"},   // the text ends at its first byte
        {{"Qs999=version\r\n"}, "not a version: Qs999=version"},
        // Of a long answer a short excerpt, its control bytes escaped.
        {{"\x1b[31m" + std::string(150, 'y') + "\r\n"}, "not a version: \\x1B[31myyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyyy... (155 bytes)"},
        {{}, "connection closed before an answer"},
        {{"no line end"}, "no answer within 200 ms"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.logged);
        // Only the case that misses the deadline has a short one.
        g_handshakeDeadlineMs = std::string_view(c.logged).starts_with("no answer within") ? 200 : 20000;
        RealTrafficWait waiter;
        const int first = connect();
        std::thread peer([&] {
            EXPECT_EQ(readSome(first), "Qs999=version\r\n");
            for (const std::string& piece : c.segments) {
                net::gf_sendAll(first, piece);
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            if (c.segments.empty()) ::shutdown(first, kShutWrite);
        });
        peer.join();
        int second = -1;
        std::thread rt;
        if (*c.logged) {
            // RealTraffic comes once the first connection was refused, so it cannot have been taken instead.
            EXPECT_TRUE(eventually([&] { return log().find(c.logged) != std::string::npos; }));
            second = connect();
            rt = realTraffic(second);
        }
        waiter.join();
        if (rt.joinable()) rt.join();
        ASSERT_TRUE(g_clientConnected.load());
        EXPECT_TRUE(g_mainWindow.g_realTrafficLinkUp.load());
        const int client = *c.logged ? second : first;
        ASSERT_TRUE(sendDataPacket("Qs123=1000\r\n"));
        EXPECT_EQ(readSome(client), "Qs123=1000\r\n");
        if (*c.logged) {
            EXPECT_EQ(readSome(first), "") << "the refused connection is closed";
            EXPECT_NE(log().find(std::string("RealTraffic handshake failed, connection dropped: ") + c.logged),
                      std::string::npos);
        }
        g_clientConnected = false;
        g_tcpClientSocket.shutdownAndClose();
    }

    // Many connections that never answer, then RealTraffic: it is taken without waiting out their deadlines.
    g_handshakeDeadlineMs = 60000;
    for (int i = 0; i < 100; ++i) connect();
    const int rtFd = connect();
    linkRealTraffic(rtFd);
    ASSERT_TRUE(sendDataPacket("Qs123=1000\r\n"));
    EXPECT_EQ(readSome(rtFd), "Qs123=1000\r\n");
}

// A local client that connects and closes in a loop while RealTraffic is away, served by the
// position report once a second as the main loop does: every report gets through what waits, so
// RealTraffic is greeted about one report after the churn stops, whatever came before it.
TEST_F(ServerTest, AChurningLocalClientDoesNotKeepRealTrafficOut) {
    g_mainWindow.g_realTrafficLinkUp = false;
    UserAircraftState user;
    user.latitude = 51.0;
    user.longitude = -1.0;
    std::atomic<int> reports{0};
    // The server's time moves 10 ms a pass: what one pass serves is bounded by its count then.
    std::atomic<std::int64_t> ms{0};
    gf_setServerClockForTests([&] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms.load())); });
    // Ended however the test ends: an early return must not leave it serving.
    std::jthread mainLoop([&](const std::stop_token& stop) {
        for (int pass = 0; !stop.stop_requested(); ++pass, ms += 10) {
            gf_serveRealTraffic();
            if (pass % 100 == 0) gf_sendUserPosition(user);
            ++reports;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    // More connections than the reports could take 64 at a time within the bound below.
    for (int i = 0; i < 1000; ++i) {
        int error = 0;
        const int fd = net::gf_connectLoopback(gf_serverPort(), error);
        if (fd >= 0) net::gf_closeSocket(fd);
    }
    // Counted in passes, not seconds, so that a slow machine cannot fail it: what waits when the
    // churn ends takes a few passes at most.
    const int reportsAtChurnEnd = reports.load();
    const int rtFd = connect();
    const bool greeted = net::gf_waitReadable(rtFd, 60000);
    const int reportsToGreeting = reports.load() - reportsAtChurnEnd;
    ASSERT_TRUE(greeted);
    EXPECT_LE(reportsToGreeting, 10) << "passes";
    EXPECT_EQ(readSome(rtFd), "Qs999=version\r\n");
    net::gf_sendAll(rtFd, R"({"version":"10.0.200","level":1})" "\r\n");
    EXPECT_TRUE(eventually([] { return g_mainWindow.g_realTrafficLinkUp.load(); }));
    mainLoop.request_stop();
    mainLoop.join();
    gf_setServerClockForTests({});
    // Closed, or on Windows often reset, before an answer.
    EXPECT_NE(log().find("RealTraffic handshake failed, connection dropped: "), std::string::npos);
}

// Connections that are held open and never answer, more than there are places for them: served
// every pass as the traffic pass does, RealTraffic connecting after them is greeted within 5 s. The
// server's clock moves 10 ms a pass, so the count of passes is what is judged, however slow the machine.
TEST_F(ServerTest, HeldConnectionsDoNotKeepRealTrafficOut) {
    raiseDescriptorLimit(6000);
    g_handshakeDeadlineMs = 3000;
    std::atomic<std::int64_t> ms{0};
    gf_setServerClockForTests([&] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms.load())); });
    g_mainWindow.g_realTrafficLinkUp = false;
    for (int i = 0; i < 2000; ++i) connect();
    const int rtFd = connect();
    int greetedAt = -1;
    for (int pass = 0; pass < 1000 && greetedAt < 0; ++pass, ms += 10) {
        gf_serveRealTraffic();
        if (net::gf_waitReadable(rtFd, 0)) greetedAt = pass;
    }
    EXPECT_GE(greetedAt, 0);
    EXPECT_LE(greetedAt, 500) << "passes of 10 ms";
    EXPECT_EQ(readSome(rtFd), "Qs999=version\r\n");
    net::gf_sendAll(rtFd, R"({"version":"10.0.200","level":1})" "\r\n");
    ASSERT_TRUE(eventually([] {
        gf_serveRealTraffic();
        return g_mainWindow.g_realTrafficLinkUp.load();
    }));
    ASSERT_TRUE(sendDataPacket("Qs123=1000\r\n"));
    EXPECT_EQ(readSome(rtFd), "Qs123=1000\r\n");
    gf_setServerClockForTests({});
}

// While RealTraffic is linked, connections that wait (closed by their peer or held open) are closed
// at once, pass by pass, so that none are left when the link drops: the next RealTraffic is greeted
// at the next pass.
TEST_F(ServerTest, ConnectionsWaitingWhileLinkedAreClosedAtOnceAndRealTrafficIsGreetedAfterALinkDrop) {
    raiseDescriptorLimit(6000);
    // A minute of its own for the log's rate limit (earlier tests may have used up theirs).
    gf_setWallClockForTests([] { return std::time_t{4000000000}; });
    std::atomic<std::int64_t> ms{0};
    gf_setServerClockForTests([&] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(ms.load())); });
    const int first = connect();
    linkRealTraffic(first);
    ASSERT_TRUE(g_clientConnected.load());
    for (int i = 0; i < 2000; ++i) {
        int error = 0;
        const int fd = net::gf_connectLoopback(gf_serverPort(), error);
        ASSERT_GE(fd, 0) << error;
        net::gf_closeSocket(fd);
    }
    const int held = connect();
    int passes = 0;
    while (passes < 100 && net::gf_waitReadable(g_tcpListenSocket.peek(), 0)) {
        gf_serveRealTraffic();
        ++passes;
        ms += 10;
    }
    EXPECT_LE(passes, 20) << "nothing waits any more";
    EXPECT_EQ(readSome(held), "") << "closed without a greeting";
    EXPECT_NE(log().find("connections closed at once: RealTraffic is connected"), std::string::npos);

    UserAircraftState user;
    user.latitude = 51.0;
    user.longitude = -1.0;
    net::gf_closeSocket(first);
    for (int i = 0; i < 50 && g_clientConnected.load(); ++i) gf_sendUserPosition(user);
    ASSERT_FALSE(g_clientConnected.load());
    const int next = connect();
    int greetedAt = -1;
    for (int pass = 0; pass < 1000 && greetedAt < 0; ++pass, ms += 10) {
        gf_serveRealTraffic();
        if (pass % 100 == 0) gf_sendUserPosition(user);
        if (net::gf_waitReadable(next, 0)) greetedAt = pass;
    }
    EXPECT_GE(greetedAt, 0);
    EXPECT_LE(greetedAt, 500) << "passes of 10 ms";
    gf_setServerClockForTests({});
    gf_setWallClockForTests({});
}

// The handshake lines' rate limit starts afresh with each start of the server: a run (or a test) after
// one whose refusals used up the minute still has its refusals logged.
TEST_F(ServerTest, EachStartOfTheServerHasAMinuteOfHandshakeLinesOfItsOwn) {
    gf_setWallClockForTests([] { return std::time_t{4000000000}; });   // one minute throughout
    const auto refusals = [&] {
        const std::string text = log();
        std::size_t n = 0;
        for (std::size_t at = text.find("closed before an answer"); at != std::string::npos;
             at = text.find("closed before an answer", at + 1))
            ++n;
        return n;
    };
    for (const std::size_t closing : {10u, 1u}) {   // ten use up the minute
        const std::size_t before = refusals();
        for (std::size_t i = 0; i < closing; ++i) ::shutdown(connect(), kShutWrite);
        std::string answer;
        EXPECT_TRUE(eventually([&] {
            gf_serveNewClients("Qs999=version\r\n", gf_judgeRtVersion, answer);
            return refusals() == before + closing;
        })) << closing;
        gf_stopServer();
        gf_startServer("0");
    }
    gf_setWallClockForTests({});
}

// RealTraffic closes the link and connects again: the close is noticed on the next pass (not on
// a failed position report a second or two later), and the new connection is greeted at once.
TEST_F(ServerTest, ALinkClosedByRealTrafficIsNoticedAndItsReturnGreetedAtOnce) {
    const int first = connect();
    linkRealTraffic(first);
    ASSERT_TRUE(g_mainWindow.g_realTrafficLinkUp.load());
    int dropped = 0;
    g_feedHooks.dropLiveAircraft = [&] { ++dropped; };
    net::gf_closeSocket(first);
    clients.clear();
    const int next = connect();
    std::thread back = realTraffic(next, R"({"version":"10.0.201"})" "\r\n");
    EXPECT_TRUE(eventually([] {
        gf_serveRealTraffic();   // no position report on the way
        return g_mainWindow.g_realTrafficLinkUp.load();
    }, 5));
    back.join();
    EXPECT_EQ(dropped, 1);
    EXPECT_EQ(g_mainWindow.g_realTrafficText.get().rfind("RT prof edition: 10.0.201", 0), 0u);
    EXPECT_NE(log().find("RealTraffic closed the link"), std::string::npos);
}

TEST_F(ServerTest, StopWakesAWaitForTheClient) {
    std::atomic<bool> result{true};
    std::thread t([&] {
        std::string answer;
        result = waitForClient("Qs999=version\r\n", gf_judgeRtVersion, answer, [] { return true; });
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));   // usually waiting by now; either way it ends
    gf_stopServer();
    t.join();
    EXPECT_FALSE(result.load());
}

TEST(ServerStartTest, TheServerListensOnLoopbackOnly) {
    gf_startServer("0");
    // The server is for a RealTraffic on this computer: no other address reaches it.
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(g_tcpListenSocket.peek(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    EXPECT_EQ(address.sin_addr.s_addr, htonl(INADDR_LOOPBACK));
    gf_stopServer();
}

TEST(ServerStartTest, FailuresCarryTheirCodes) {
    // A port number beyond 16 bits is refused, not taken modulo 65536.
    const net::ListenResult holder = net::gf_tcpListen("0");
    ASSERT_GE(holder.fd, 0);
    const std::string held = std::to_string(net::gf_boundPort(holder.fd));
    for (const std::string port : {"no-such-service-name", "99999", "4294967297", held.c_str()}) {
        try {
            gf_startServer(port);
            ADD_FAILURE() << port;
        } catch (const SysErrorException& e) {
            EXPECT_EQ(std::string(e.what()).rfind(port == held ? "sys error 5: Bind failed at port " + held
                                                               : "sys error 1: getaddrinfo failed",
                                                  0),
                      0u)
                << e.what();
        }
    }
    net::gf_closeSocket(holder.fd);
    gf_stopServer();
}

TEST(RealTrafficVersionTest, Answers) {
    const std::tuple<const char*, bool, const char*> cases[] = {
        {R"({"version":"9.1"})", true, "RT prof edition: 9.1"}, {R"({"version":"9.1","level":2})", true, "RT prof edition: 9.1"},
        {R"({"version":"9.1","level":null})", true, "RT prof edition: 9.1"},
        {R"({"version":"9.1","level":1})", false, "RT stnd edition: 9.1"}, {R"({"level":1})", false, "RT stnd edition: ?"},
        {R"({"version":7,"level":"2"})", true, "RT prof edition: ?"}};   // wrongly typed keys count as absent
    for (const auto& [answer, professional, text] : cases) {
        gf_decodeRtVersion(answer);
        EXPECT_EQ(g_professionalEdition.load(), professional) << answer;
        EXPECT_EQ(g_feedTimeIsProgramTime.load(), professional);
        EXPECT_EQ(g_mainWindow.g_realTrafficText.get().rfind(text, 0), 0u) << answer;
    }
    gf_decodeRtVersion("");
    EXPECT_FALSE(g_professionalEdition.load());
    EXPECT_THROW(gf_decodeRtVersion("garbage"), std::exception);
    // Only an answer with a version text, and a level that is absent, null or a number, is RealTraffic's.
    const std::pair<const char*, bool> judged[] = {
        {R"({"version":"10.0.200","level":2})", true}, {R"({"version":"9.1"})", true},
        {R"({"version":"9.1","level":null})", true}, {R"({"version":10,"level":"x"})", false},
        {R"({"version":"10.0.200","level":"2"})", false}, {R"({"level":2})", false}, {R"({"version":""})", false},
        {R"({"version":null,"level":2})", false}};
    for (const auto& [answer, taken] : judged) EXPECT_EQ(gf_judgeRtVersion(answer).empty(), taken) << answer;
}

TEST(Qs121Test, ScaledValuesAreWholeNumbers) {
    // RealTraffic's documented example line, rebuilt from its values.
    UserAircraftState u;
    u.pitch = 0.06747;
    u.bank = 0.00289;
    u.heading = 5.449771266137578;
    u.altitude = 37988.724;
    u.groundVelocity = 501.908;
    u.latitude = 0.6564195830703577 * kRad2Deg;
    u.longitude = -2.1443275933742236 * kRad2Deg;
    EXPECT_EQ(gf_qs121Line(u), "Qs121=6747;289;5.449771;37988724;501908;0.656420;-2.144328\r\n");
}

}  // namespace
}  // namespace vrn
