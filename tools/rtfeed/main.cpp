// rtfeed: a RealTraffic stand-in. Connects to Varnel's TCP port like RealTraffic, answers the version
// request, prints the lines it receives, and sends traffic (UDP 49005) and weather (UDP 49004)
// datagrams, either replaying a recording or generating aircraft around a point. `rtfeed --help`
// prints its options (kUsage below).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "core/format.h"
#include "core/geodesy.h"
#include "core/text_files.h"
#include "feed/realtraffic_link.h"
#include "platform/net/sockets.h"
#include "rtfeed.h"
#include "scene.h"

namespace {

using namespace vrn;
using Clock = std::chrono::steady_clock;

struct Options {
    int tcpPort = 10747;
    bool tcp = true;
    std::uint16_t trafficPort = 49005;
    std::uint16_t weatherPort = 49004;
    std::string version = "10.0.200";
    int level = 2;
    bool emptyAnswer = false;
    std::string replayFile;
    double speed = 1.0;
    bool loop = false;
    double windowFrom = 0.0, windowTo = 1e12;
    std::string type;
    bool afterPosition = false;
    bool help = false;
    std::string parkAirportLog;
    int generate = 0;
    bool haveCenter = false;
    LatLon center;
    double elevation = 0.0;
    double radius = 0.0;   // nm, 0: the generator's own layout
    rtfeed::Generator::Layout layout = rtfeed::Generator::Layout::Circuits;
    std::string qnh = "1013";
    std::string sceneFile;
    int malformed = 0;
    std::vector<double> dropLinkAt;
    std::string recordFile;
    double duration = 0.0;   // 0: until stopped
    bool createMarker = false;
};

std::atomic<bool> g_stop{false};
std::atomic<bool> g_senderDone{false};
std::mutex g_centerMutex;
bool g_centerKnown = false;
LatLon g_center;

void lf_onSignal(int) { g_stop = true; }

// What was sent, for a later replay or a comparison with what the program made of it.
std::mutex g_recordMutex;
std::ofstream g_record;
const Clock::time_point g_started = Clock::now();

void lf_sendTraffic(const Options& o, int udp, const std::string& datagram) {
    net::gf_sendDatagramToLoopback(udp, o.trafficPort, datagram);
    std::lock_guard lock(g_recordMutex);
    if (!g_record.is_open()) return;
    g_record << vrn::format("{:.3f} {}\n", std::chrono::duration<double>(Clock::now() - g_started).count(), datagram);
    g_record.flush();
}

double lf_nowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// The options, as --help prints them.
constexpr const char* kUsage = R"(usage: rtfeed [options]
  --tcp-port N | --no-tcp   connect to Varnel's TCP port N (default 10747), or not at all
  --traffic-port N          traffic datagrams to UDP port N (default 49005)
  --weather-port N          weather datagrams to UDP port N (default 49004)
  --version TEXT            the answer to "Qs999=version"; --empty-answer answers an empty line
  --level N | --no-level    the edition level sent with the version, or none
  --replay FILE             replay a recording: one datagram a line, each after its send-time offset
                            in seconds and a blank ("12.5 RTTFC,..."), or bare datagrams played by
                            their own time stamps; time stamps (field 14) are re-based to now
    --speed F               play F times as fast
    --loop                  start again at the end
    --window FROM,TO        only that span (seconds of the recording)
    --type CODE             records without an aircraft type get CODE
    --after-position        hold the replay back until Varnel has sent its first user position
  --after-park-airport LOG  hold the traffic back (after that position, when both are given) until LOG,
                            Varnel's Log.txt, says its park airport's parking file was read: before
                            that it takes no ground record
  --generate N              N aircraft around a centre: --center LAT,LON, else the first position
                            Varnel sends ("Qs121=")
    --elevation FT          the ground's elevation there
    --radius NM             keep every aircraft within NM of the centre
    --disperse              fly out from the centre (renewed at the radius when one is given)
    --flood                 appear at once 3 to 35 nm around the centre, each flying straight on
  --scene FILE              arrivals, departures and overflights at one airport (data/demo/traffic_scene.txt)
  --qnh VALUE               the weather datagrams' QNH
  --duration SECONDS        end after that long
  --create-marker           create the file by which Varnel finds RealTraffic on this computer
  --malformed N             add N broken datagrams a second
  --drop-link-at S[,S...]   close the TCP link at those seconds after the start
  --record FILE             write every traffic datagram sent, in the format --replay reads
  --help                    this text
)";

// A value of `option` read whole as a number (std::stod and std::stoi alone name neither the option
// nor the value, and take "12abc" for 12).
double lf_numberOf(const std::string& option, const std::string& value) {
    std::size_t used = 0;
    double v = 0.0;
    try {
        v = std::stod(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != value.size() || !std::isfinite(v))
        throw std::invalid_argument(option + " wants a number, not \"" + value + "\"");
    return v;
}

int lf_integerOf(const std::string& option, const std::string& value, int least, int most) {
    const double v = lf_numberOf(option, value);
    if (v != std::floor(v) || v < least || v > most)
        throw std::invalid_argument(vrn::format("{} wants a whole number from {} to {}, not \"{}\"", option, least, most, value));
    return static_cast<int>(v);
}

bool lf_parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto next = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument("missing value after " + a);
            return argv[++i];
        };
        const auto number = [&] { return lf_numberOf(a, next()); };
        const auto integer = [&](int least, int most) { return lf_integerOf(a, next(), least, most); };
        const auto port = [&] { return static_cast<std::uint16_t>(integer(0, 65535)); };
        if (a == "--tcp-port") o.tcpPort = port();
        else if (a == "--no-tcp") o.tcp = false;
        else if (a == "--traffic-port") o.trafficPort = port();
        else if (a == "--weather-port") o.weatherPort = port();
        else if (a == "--version") o.version = next();
        else if (a == "--level") o.level = integer(0, 1000);
        else if (a == "--no-level") o.level = -1;
        else if (a == "--empty-answer") o.emptyAnswer = true;
        else if (a == "--replay") o.replayFile = next();
        else if (a == "--speed") o.speed = number();
        else if (a == "--loop") o.loop = true;
        else if (a == "--type") o.type = next();
        else if (a == "--after-position") o.afterPosition = true;
        else if (a == "--after-park-airport") o.parkAirportLog = next();
        else if (a == "--window") {
            const std::string v = next();
            const auto comma = v.find(',');
            if (comma == std::string::npos) throw std::invalid_argument("--window wants FROM,TO");
            o.windowFrom = lf_numberOf(a, v.substr(0, comma));
            o.windowTo = lf_numberOf(a, v.substr(comma + 1));
        }
        else if (a == "--generate") o.generate = integer(0, 100000);
        else if (a == "--center") {
            const std::string v = next();
            const auto comma = v.find(',');
            if (comma == std::string::npos) throw std::invalid_argument("--center wants LAT,LON");
            o.center = {lf_numberOf(a, v.substr(0, comma)), lf_numberOf(a, v.substr(comma + 1))};
            o.haveCenter = true;
        } else if (a == "--elevation") o.elevation = number();
        else if (a == "--radius") o.radius = number();
        else if (a == "--disperse") o.layout = rtfeed::Generator::Layout::Dispersing;
        else if (a == "--flood") o.layout = rtfeed::Generator::Layout::Flood;
        else if (a == "--qnh") o.qnh = next();
        else if (a == "--scene") o.sceneFile = next();
        else if (a == "--malformed") o.malformed = integer(0, 100000);
        else if (a == "--record") o.recordFile = next();
        else if (a == "--drop-link-at") {
            std::istringstream list(next());
            for (std::string t; std::getline(list, t, ',');) o.dropLinkAt.push_back(lf_numberOf(a, t));
        }
        else if (a == "--duration") o.duration = number();
        else if (a == "--create-marker") o.createMarker = true;
        else if (a == "--help" || a == "-h") {
            o.help = true;
            return true;
        } else {
            std::cerr << "unknown option " << a << " (rtfeed --help lists them)\n";
            return false;
        }
    }
    if (o.speed <= 0) o.speed = 1.0;
    return true;
}

// The TCP side: connect, answer "Qs999=version", print every line; reconnect when the link drops.
// Whether the link is to be dropped now (each time once).
bool lf_dropLinkNow(const Options& o, std::size_t& next, Clock::time_point start) {
    if (next >= o.dropLinkAt.size()) return false;
    if (Clock::now() - start < std::chrono::duration<double>(o.dropLinkAt[next])) return false;
    ++next;
    return true;
}

void lf_tcpLoop(const Options& o) {
    const auto start = Clock::now();
    std::size_t nextDrop = 0;
    while (!g_stop) {
        int error = 0;
        const int fd = net::gf_connectLoopback(static_cast<std::uint16_t>(o.tcpPort), error);
        if (fd < 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            continue;
        }
        std::cout << "connected to port " << o.tcpPort << std::endl;
        std::string pending;
        char buffer[4096];
        bool open = true;
        while (open && !g_stop) {
            if (lf_dropLinkNow(o, nextDrop, start)) {
                std::cout << "dropping the link" << std::endl;
                break;
            }
            if (!net::gf_waitReadable(fd, 100)) continue;
            const long n = net::gf_receiveSome(fd, buffer, sizeof buffer, error);
            if (n <= 0) break;
            pending.append(buffer, static_cast<std::size_t>(n));
            std::size_t end;
            while ((end = pending.find("\r\n")) != std::string::npos) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                std::cout << "<< " << line << std::endl;
                if (line == "Qs999=version") {
                    if (o.emptyAnswer) {
                        open = false;
                        break;
                    }
                    net::gf_sendAll(fd, rtfeed::versionAnswer(o.version, o.level));
                } else if (line.rfind("Qs121=", 0) == 0) {
                    if (const auto p = rtfeed::positionOfQs121(line)) {
                        std::lock_guard lock(g_centerMutex);
                        if (!g_centerKnown) g_center = *p;
                        g_centerKnown = true;
                    }
                } else if (line == "exit") {
                    open = false;
                    break;
                }
            }
        }
        ::close(fd);
        std::cout << "disconnected" << std::endl;
        if (o.emptyAnswer) return;
        // After a dropped link RealTraffic comes back a little later.
        std::this_thread::sleep_for(std::chrono::milliseconds(o.dropLinkAt.empty() ? 200 : 3000));
    }
}

void lf_sleepUntil(Clock::time_point t) {
    while (!g_stop && Clock::now() < t) {
        std::this_thread::sleep_until(std::min(t, Clock::now() + std::chrono::milliseconds(100)));
    }
}

// Until the program has sent its first user position (its main loop runs).
void lf_waitForPosition() {
    while (!g_stop) {
        {
            std::lock_guard lock(g_centerMutex);
            if (g_centerKnown) return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// Holds the sender back until the program is as far as the options ask: its first user position,
// then its park airport's parking file read (the line its Log.txt writes once the traffic reader
// knows the airport; a log of an earlier run is moved aside before the program sends a position).
void lf_waitForTheProgram(const Options& o) {
    if (o.afterPosition) lf_waitForPosition();
    if (o.parkAirportLog.empty()) return;
    while (!g_stop) {
        std::ifstream log(o.parkAirportLog, std::ios::binary);
        for (std::string line; std::getline(log, line);) {
            if (line.rfind(rtfeed::kParkFileReadLine, 0) != 0) continue;
            std::cout << "park airport loaded: " << line << std::endl;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

void lf_replay(const Options& o, int udp) {
    std::ifstream in(o.replayFile);
    if (!in) {
        std::cerr << "cannot read " << o.replayFile << "\n";
        return;
    }
    lf_waitForTheProgram(o);
    const auto recording = rtfeed::window(rtfeed::readRecording(in), o.windowFrom, o.windowTo);
    if (recording.empty()) return;
    // Stamped as sent: the first record's stamp is the moment it goes out (a window's first record
    // comes some seconds after the window's start), the others keep their spacing from it.
    const double firstStamp = recording.front().timeStamp, firstOffset = recording.front().offset;
    do {
        // Each pass is re-based to the moment it starts.
        const auto start = Clock::now();
        const double startWall = lf_nowSeconds();
        for (const auto& d : recording) {
            if (g_stop) return;
            lf_sleepUntil(start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(d.offset / o.speed)));
            const double stamp = startWall + (firstOffset + d.timeStamp - firstStamp) / o.speed;
            const std::string text = o.type.empty() ? d.text : rtfeed::withType(d.text, o.type);
            lf_sendTraffic(o, udp, rtfeed::withTimeStamp(text, stamp));
        }
    } while (o.loop && !g_stop);
    // (A line a script can wait for: the run that plays the feed may end a while after it.)
    if (!g_stop) std::cout << rtfeed::kReplaySentLine << " " << recording.size() << " records" << std::endl;
}

void lf_generate(const Options& o, int udp) {
    if (!o.haveCenter) lf_waitForPosition();
    lf_waitForTheProgram(o);
    LatLon center = o.center;
    if (!o.haveCenter) {
        std::lock_guard lock(g_centerMutex);
        center = g_center;
    }
    rtfeed::Generator generator(center, o.elevation, o.generate, o.radius, o.layout);
    auto next = Clock::now();
    while (!g_stop) {
        const double now = lf_nowSeconds();
        for (const auto& line : generator.step(now)) lf_sendTraffic(o, udp, line);
        next += std::chrono::seconds(1);
        lf_sleepUntil(next);
    }
}

void lf_playScene(const Options& o, int udp) {
    std::ifstream in(o.sceneFile);
    if (!in) {
        std::cerr << "cannot read " << o.sceneFile << "\n";
        return;
    }
    lf_waitForTheProgram(o);
    std::optional<rtfeed::SceneGenerator> made;
    try {
        made.emplace(rtfeed::readScene(in), lf_nowSeconds());
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return;
    }
    rtfeed::SceneGenerator& scene = *made;
    auto next = Clock::now();
    while (!g_stop) {
        for (const auto& line : scene.step(lf_nowSeconds())) lf_sendTraffic(o, udp, line);
        next += std::chrono::seconds(1);
        lf_sleepUntil(next);
    }
}

// Broken datagrams beside the traffic: cut, garbled and oversized ones.
void lf_sendMalformed(const Options& o, int udp) {
    const std::string broken[] = {"RTTFC,1,2,3", "RTTFC,abc,nan,inf,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30",
                                  std::string(3000, ','), "\x01\x02garbage", std::string(9000, 'X')};
    std::size_t k = 0;
    while (!g_stop && !g_senderDone) {
        for (int i = 0; i < o.malformed; ++i) net::gf_sendDatagramToLoopback(udp, o.trafficPort, broken[k++ % std::size(broken)]);
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
}

// Weather every 10 s beside the traffic, whichever way the traffic is made.
void lf_sendWeather(const Options& o, int udp) {
    auto next = Clock::now();
    while (!g_stop && !g_senderDone) {
        net::gf_sendDatagramToLoopback(udp, o.weatherPort, vrn::format(R"({{"ICAO":"ZZZZ","QNH":{}}})", o.qnh));
        next += std::chrono::seconds(10);
        while (!g_stop && !g_senderDone && Clock::now() < next) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    try {
        if (!lf_parseOptions(argc, argv, o)) return 2;
    } catch (const std::exception& e) {
        std::cerr << e.what() << " (rtfeed --help lists the options)\n";
        return 2;
    }
    if (o.help) {
        std::cout << kUsage;
        return 0;
    }
    std::signal(SIGINT, lf_onSignal);
    std::signal(SIGTERM, lf_onSignal);
    if (o.createMarker) {
        const auto marker = gf_realTrafficMarkerPath();
        std::filesystem::create_directories(marker.parent_path());
        std::ofstream(marker, std::ios::binary) << "stand-in\n";
        std::cout << "marker " << marker.string() << std::endl;
    }
    if (o.haveCenter) {
        g_center = o.center;
    }
    if (!o.recordFile.empty()) {
        g_record.open(o.recordFile, std::ios::binary);
        if (!g_record) {
            std::cerr << "cannot write " << o.recordFile << "\n";
            return 2;
        }
    }
    int error = 0;
    const int udp = net::gf_udpSocket(error);
    std::thread tcp;
    if (o.tcp) tcp = std::thread(lf_tcpLoop, std::cref(o));
    std::thread sender;
    const auto sendThenFinish = [&o, udp](void (*send)(const Options&, int)) {
        send(o, udp);
        g_senderDone = true;
    };
    if (!o.replayFile.empty()) sender = std::thread(sendThenFinish, lf_replay);
    else if (!o.sceneFile.empty()) sender = std::thread(sendThenFinish, lf_playScene);
    else if (o.generate > 0) sender = std::thread(sendThenFinish, lf_generate);
    std::thread weather;
    if (sender.joinable()) weather = std::thread(lf_sendWeather, std::cref(o), udp);
    std::thread malformed;
    if (sender.joinable() && o.malformed > 0) malformed = std::thread(lf_sendMalformed, std::cref(o), udp);
    const auto start = Clock::now();
    while (!g_stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (o.duration > 0 && Clock::now() - start > std::chrono::duration<double>(o.duration)) g_stop = true;
        // Without the TCP side the program ends with its traffic (a replay without --loop).
        if (!o.tcp && (g_senderDone || !sender.joinable())) g_stop = true;
    }
    if (sender.joinable()) sender.join();
    if (weather.joinable()) weather.join();
    if (malformed.joinable()) malformed.join();
    if (tcp.joinable()) tcp.join();
    ::close(udp);
    return 0;
}
