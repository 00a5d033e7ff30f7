// The program's feed side against the RealTraffic stand-in over loopback: handshake, position
// lines, traffic and weather datagrams, the loss of RealTraffic and its reconnection, and "exit".
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "core/format.h"
#include "core/geodesy.h"
#include "core/utilities.h"
#include "feed/realtraffic_link.h"
#include "feed/tcp_server.h"
#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"
#include "support/process.h"
#include "support/test_support.h"

namespace vrn {
namespace {

const LatLon kCenter{51.4700, -0.4543};

using test::eventually;

class RtFeed {
public:
    RtFeed(const std::vector<std::string>& args, const std::filesystem::path& out)
        : m_process(test::builtProgram("tools/rtfeed"), args, outputTo(out)) {
        EXPECT_TRUE(m_process.started()) << test::builtProgram("tools/rtfeed");
    }
    bool endsWithin(int seconds) {
        m_status = m_process.waitFor(seconds);
        return m_status.has_value();
    }
    std::optional<int> status() const { return m_status; }
    void stop() { m_process.stop(); }

private:
    static test::ChildProcess::Options outputTo(const std::filesystem::path& out) {
        test::ChildProcess::Options options;
        options.output = out;
        return options;
    }
    test::ChildProcess m_process;
    std::optional<int> m_status;
};

// --help lists the options and ends well; an option it does not know, or a value it cannot read,
// ends it with status 2, naming the option (and the value) and where the list is.
TEST(RtFeedOptions, HelpListsTheOptionsAndAnUnknownOneIsNamed) {
    test::TempDir dir;
    const struct { std::vector<std::string> args; int status; const char* says; } cases[] = {
        {{"--help"}, 0, "--replay FILE"},
        {{"--replay", "x.rec", "--bogus"}, 2, "unknown option --bogus (rtfeed --help lists them)"},
        {{"--window"}, 2, "missing value after --window"},
        {{"--tcp-port", "abc"}, 2, "--tcp-port wants a number, not \"abc\""},
        {{"--traffic-port", "70000"}, 2, "--traffic-port wants a whole number from 0 to 65535, not \"70000\""},
        {{"--window", "10,2x"}, 2, "--window wants a number, not \"2x\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const auto out = dir.path() / "out.txt";
        RtFeed feed(c.args, out);
        ASSERT_TRUE(feed.endsWithin(10));
        EXPECT_EQ(feed.status(), c.status);
        EXPECT_NE(test::readFile(out).find(c.says), std::string::npos) << test::readFile(out);
    }
}

// Both datagram readers running on free ports.
class FeedWithRtFeed : public ::testing::Test {
protected:
    void SetUp() override {
        g_lateralRangeNm = 60.0;
        g_trafficReader.setReferencePosition(kCenter);
        traffic = std::thread([] { gf_runReaderThread(g_trafficReader, true, 0); });
        weather = std::thread([] { gf_runReaderThread(g_qnhReader, false, 0); });
        ASSERT_TRUE(eventually([] { return g_trafficReader.boundPort() != 0 && g_qnhReader.boundPort() != 0; }));
        gf_setMainLoopRunning(true);
    }
    void TearDown() override {
        gf_setMainLoopRunning(false);
        gf_stopReaders();
        traffic.join();
        weather.join();
        g_trafficReader.stopRequested = 0;
        g_qnhReader.stopRequested = 0;
    }
    std::vector<std::string> udpPorts() const {
        return {"--traffic-port", std::to_string(g_trafficReader.boundPort()), "--weather-port",
                std::to_string(g_qnhReader.boundPort())};
    }
    // The time stamps of the aircraft the reader queues, by address, once `count` came (or a generous
    // while passed).
    static std::map<std::uint32_t, double> queuedStamps(std::size_t count) {
        std::map<std::uint32_t, double> stamps;
        eventually([&] {
            std::lock_guard lock(g_trafficMutex);
            for (const auto& u : g_trafficQueue) stamps[u.hexid] = u.timeStamp;
            g_trafficQueue.clear();
            return stamps.size() >= count;
        });
        return stamps;
    }
    test::TempDir dir;
    std::thread traffic, weather;
};

TEST_F(FeedWithRtFeed, HandshakePositionsDatagramsAndReconnection) {
    g_realTrafficLocal = true;
    gf_startServer("0");
    g_trafficReader.setParkAirport(kCenter);
    g_trafficReader.setFieldElevation(83.0);

    std::vector<std::string> args{"--tcp-port", std::to_string(gf_serverPort()), "--generate", "12", "--level", "1",
                                  "--version", "9.0.1", "--qnh", "1022", "--elevation", "83"};
    for (const auto& a : udpPorts()) args.push_back(a);
    const auto out1 = dir.path() / "rtfeed1.txt", out2 = dir.path() / "rtfeed2.txt";
    auto feed = std::make_unique<RtFeed>(args, out1);

    gf_waitForRealTraffic();   // blocks until the stand-in connects and answers
    ASSERT_TRUE(g_mainWindow.g_realTrafficLinkUp.load());
    EXPECT_FALSE(g_professionalEdition.load());
    EXPECT_EQ(g_mainWindow.g_realTrafficText.get().rfind("RT stnd edition: 9.0.1", 0), 0u);

    UserAircraftState user;
    user.latitude = kCenter.lat;
    user.longitude = kCenter.lon;
    user.altitude = 83;
    gf_sendUserPosition(user);   // the generator centres its traffic on this position

    std::set<std::uint32_t> ids;
    std::set<bool> airborne;
    ASSERT_TRUE(eventually([&] {
        std::lock_guard lock(g_trafficMutex);
        for (const auto& u : g_trafficQueue) {
            ids.insert(u.hexid);
            airborne.insert(u.sample.airborne != 0);
        }
        g_trafficQueue.clear();
        return ids.size() >= 10;
    })) << ids.size();
    EXPECT_EQ(airborne.size(), 2u) << "aircraft in the air and on the ground";
    ASSERT_TRUE(eventually([] { return g_currentQnh.load() == 1022; }));
    // RealTraffic goes away: the next reports notice it and the link waits without blocking.
    feed->stop();
    ASSERT_TRUE(eventually([&] {
        gf_sendUserPosition(user);
        return !g_mainWindow.g_realTrafficLinkUp.load();
    }));
    feed = std::make_unique<RtFeed>(args, out2);
    ASSERT_TRUE(eventually([&] {
        gf_serveRealTraffic();   // as every traffic pass does
        return g_mainWindow.g_realTrafficLinkUp.load();
    }));
    gf_sendUserPosition(user);
    gf_stopServer();
    ASSERT_TRUE(eventually([&] { return test::readFile(out2).find("<< exit") != std::string::npos; }));
    feed->stop();

    EXPECT_NE(test::readFile(out1).find("<< Qs121=0;0;0.000000;83000;0;0.898321;-0.007929"), std::string::npos);
    EXPECT_NE(test::readFile(out2).find("<< Qs999=version"), std::string::npos) << "a returning RealTraffic answers again";
}

// A replay without TCP: time stamps re-based to now and compressed by the speed factor (milliseconds
// recognised), weather beside it, and the stand-in ends with the recording.
TEST_F(FeedWithRtFeed, ReplayRebasesTimeStampsAndEnds) {
    const auto record = [](int hexid, const char* stamp) {
        return vrn::format("RTTFC,{},51.50,-0.40,5000,1500,0,270.5,250,BAW{},A320,G-EUU{},LHR,CDG,{},X2,BA12,adsb_icao,"
                           "5100,240,260,0.4,0.0,5.0,268,271.0,1400,none,A3,1013.2,35008,-1,70.0,lnav,0.0,-21.9,223,"
                           "24,-30,0,1,170124",
                           hexid, hexid, hexid % 10, stamp);
    };
    const auto recording = dir.path() / "recording.txt";
    test::writeFile(recording, "# offset datagram\n0.0 " + record(400001, "1600000000.0") + "\n0.4 " +
                                   record(400002, "1600000002.0") + "\n0.8 " + record(400003, "1600000004000") + "\n");
    std::vector<std::string> args{"--no-tcp", "--replay", recording.string(), "--speed", "2", "--qnh", "1005"};
    for (const auto& a : udpPorts()) args.push_back(a);
    RtFeed feed(args, dir.path() / "rtfeed.txt");

    const std::map<std::uint32_t, double> stamps = queuedStamps(3);
    ASSERT_EQ(stamps.size(), 3u);
    EXPECT_NEAR(stamps.at(400002) - stamps.at(400001), 1.0, 0.11);
    EXPECT_NEAR(stamps.at(400003) - stamps.at(400001), 2.0, 0.11);
    EXPECT_NEAR(stamps.at(400001), static_cast<double>(std::time(nullptr)), 86400.0) << "re-based to now";
    EXPECT_TRUE(eventually([] { return g_currentQnh.load() == 1005; }));
    EXPECT_TRUE(feed.endsWithin(20)) << "a finished replay without TCP ends the stand-in";
}

// A replay held back until the program's Log.txt says its park airport's parking file was read (before
// that the program takes no ground record): its first record is stamped, and so sent, no earlier; the
// stand-in says when it has sent its last.
TEST_F(FeedWithRtFeed, AReplayWaitsForTheParkAirportsParkingFile) {
    const auto recording = dir.path() / "recording.txt";
    std::string text;
    for (int i = 0; i < 3; ++i)
        text += vrn::format("{:.1f} RTTFC,{},51.50,-0.40,5000,1500,0,270.5,250,BAW{},A320,G-EUU{},LHR,CDG,1600000000.0,X2,BA12,"
                            "adsb_icao,5100,240,260,0.4,0.0,5.0,268,271.0,1400,none,A3,1013.2,35008,-1,70.0,lnav,0.0,"
                            "-21.9,223,24,-30,0,1,170124\n",
                            i * 0.2, 400001 + i, i, i);
    test::writeFile(recording, text);
    const auto log = dir.path() / "Log.txt", out = dir.path() / "rtfeed.txt";
    test::writeFile(log, "read_apf: airports/archive/stock/EGLL.xml\n");
    std::vector<std::string> args{"--no-tcp", "--replay", recording.string(), "--after-park-airport", log.string()};
    for (const auto& a : udpPorts()) args.push_back(a);
    RtFeed feed(args, out);
    std::this_thread::sleep_for(std::chrono::seconds(1));   // time enough to send, were it not held back
    const double read = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    test::writeFile(log, "read_apf: airports/archive/stock/EGLL.xml\nAirport file read from \"EGLL.xml\" for Heathrow\n");

    const std::map<std::uint32_t, double> stamps = queuedStamps(3);
    ASSERT_EQ(stamps.size(), 3u);
    EXPECT_GE(stamps.at(400001), read - 0.05) << "sent before the parking file was read";
    EXPECT_TRUE(feed.endsWithin(20));
    EXPECT_NE(test::readFile(out).find("replay sent: 3 records"), std::string::npos) << test::readFile(out);
}

// A real recording (bare datagrams, played by their own time stamps): a window of it, with a type
// given to records that have none.
TEST_F(FeedWithRtFeed, ReplayOfARealRecordingPlaysItsWindowWithAType) {
    std::string text;
    for (int i = 0; i < 5; ++i)
        text += vrn::format("RTTFC,{},51.50,-0.40,1600,-384,0,137.7,121.8,CAI3208,null,null,null,null,{}.000,X,null,"
                            "adsb_icao,-1,-1,-1,-1,-1,-1,-1,-1,-1,null,null,-1,-1,-1,-1,null,0,-1,-1,-1,-1,-1,1,0,1\n",
                            33731 + i, 1570260821 + i);
    const auto recording = dir.path() / "real.rttfc";
    test::writeFile(recording, text);
    std::vector<std::string> args{"--no-tcp", "--replay", recording.string(), "--window", "1,3", "--type", "B738"};
    for (const auto& a : udpPorts()) args.push_back(a);
    RtFeed feed(args, dir.path() / "rtfeed.txt");
    std::map<std::uint32_t, TrafficUpdate> got;
    EXPECT_TRUE(feed.endsWithin(20));
    {
        std::lock_guard lock(g_trafficMutex);
        for (const auto& u : g_trafficQueue) got[u.hexid] = u;
        g_trafficQueue.clear();
    }
    ASSERT_EQ(got.size(), 3u) << "seconds 1 to 3 of the recording";
    EXPECT_TRUE(got.count(33732) && got.count(33734));
    EXPECT_EQ(got[33732].flight.model, "B738");
    EXPECT_NEAR(got[33734].timeStamp - got[33732].timeStamp, 2.0, 0.11);
}

// A flood appears at once 3 to 35 nm around the centre (some 5 in 32 within 8 nm), six types of ten
// airlines, each at its own speed and level.
TEST_F(FeedWithRtFeed, AFloodAppearsAtOnceAroundTheCentre) {
    const auto file = dir.path() / "flood.rec";
    std::vector<std::string> args{"--no-tcp", "--generate", "600", "--flood", "--center", "51.47,-0.49",
                                  "--duration", "1.5", "--record", file.string()};
    for (const auto& a : udpPorts()) args.push_back(a);
    ASSERT_TRUE(RtFeed(args, dir.path() / "rtfeed.txt").endsWithin(20));
    std::istringstream lines(test::readFile(file));
    std::set<std::string> kinds, ids;
    int count = 0, within8 = 0;
    for (std::string line; count < 600 && std::getline(lines, line); ++count) {
        const auto f = gf_splitAtComma(line.substr(line.find(' ') + 1));
        const double nm = gf_distanceNm({51.47, -0.49}, {std::stod(f[2]), std::stod(f[3])});
        for (auto [value, low, high] :
             {std::tuple{nm, 2.8, 35.2}, {std::stod(f[4]), 3000.0, 38000.0}, {std::stod(f[8]), 200.0, 480.0}})
            EXPECT_TRUE(value >= low && value <= high) << value << " of " << f[9];
        within8 += nm <= 8.0;
        kinds.insert({f[10], f[9].substr(0, 3)});
        ids.insert(f[1]);
    }
    EXPECT_EQ(ids.size(), 600u) << "all in the first second";
    EXPECT_EQ(kinds.size(), 16u) << "six types, ten airlines";
    EXPECT_NEAR(within8, 600 * 5 / 32, 30) << "even in distance";
}

}  // namespace
}  // namespace vrn
