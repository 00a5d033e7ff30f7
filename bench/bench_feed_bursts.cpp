// The feed under load. UDP bursts: a relay sends a second's traffic in one burst; the Traffic Reader
// (its real parser and queue, drained every 10 ms as the traffic pass does) receives bursts of 300,
// 1,000 and 3,000 datagrams once a second, with the system's default receive buffer (/0) and with the
// one it asks for (/1); the counters give the datagrams sent, received and dropped (and, where the
// system counts them, its own count of drops). VARNEL_BURST_SECONDS sets the seconds per case (60).
// Serving under churn: local clients connect and close in a loop on four threads while the server is
// served once per 10 ms pass, RealTraffic linked (/1) or away (/0); the counters give the longest and
// the mean serve and the longest pass period.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/format.h"
#include "feed/realtraffic_link.h"
#include "feed/tcp_server.h"
#include "feed/udp_readers.h"
#include "platform/net/sockets.h"
#include "quick_check.h"
#include "settings/settings_catalogue.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string lf_datagram(int i, double stamp) {
    return vrn::format(
        "RTTFC,{},{:.5f},{:.5f},{},1200,0,{:.2f},250,BAW{},A320,G-{:04d},LHR,CDG,{:.1f},X2,BA{},adsb_icao,5000,-1,"
        "260,0.780,0.0,{},78.93,{:.2f},1280,none,A3,1012.8,35008,-1,71.02,lnav,0.0,-21.9,223,24,-30,0,1,{}",
        4000000 + i, 51.47 + (i % 60) * 0.004, -0.4543 + (i / 60) * 0.004, 3000 + i % 300 * 100, (i * 7) % 360 + 0.5, i,
        i % 10000, stamp, i, (i % 10) - 5, (i * 7) % 360 + 0.5, 170000 + i);
}

int lf_seconds() {
    const char* text = std::getenv("VARNEL_BURST_SECONDS");
    return text ? std::max(1, std::atoi(text)) : static_cast<int>(benchIterations(60));
}

void BM_UdpBursts(benchmark::State& state) {
    const int burst = static_cast<int>(state.range(0));
    vrn::TrafficReader reader;
    vrn::g_lateralRangeNm = 100.0;
    reader.setReferencePosition({51.47, -0.4543});
    reader.receiveBufferAsked = state.range(1) != 0 ? vrn::kReceiveBufferAsked : 0;
    vrn::gf_setMainLoopRunning(true);
    reader.open();
    reader.bind(0);
    std::thread loop([&] { reader.receiveLoop(); });
    std::atomic<bool> stop{false};
    std::thread pass([&] {   // takes the queue every 10 ms, as the traffic pass does
        while (!stop.load()) {
            (void)vrn::gf_takeTrafficUpdates();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    int error = 0;
    const int sender = vrn::net::gf_udpSocket(error);
    std::uint64_t sent = 0;
    const std::uint32_t before = reader.datagramCount.load();
    const double start = 1717000000.0;
    int second = 0;
    Clock::time_point next = Clock::now();
    for (auto _ : state) {
        std::vector<std::string> datagrams;
        datagrams.reserve(static_cast<std::size_t>(burst));
        for (int i = 0; i < burst; ++i) datagrams.push_back(lf_datagram(i, start + second));
        for (const std::string& d : datagrams) sent += vrn::net::gf_sendDatagramToLoopback(sender, reader.boundPort(), d) ? 1 : 0;
        ++second;
        next += std::chrono::seconds(1);
        std::this_thread::sleep_until(next);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const std::uint64_t received = reader.datagramCount.load() - before;
    reader.requestStop();
    loop.join();
    stop = true;
    pass.join();
    vrn::net::gf_closeSocket(sender);
    vrn::gf_setMainLoopRunning(false);
    state.counters["sent"] = static_cast<double>(sent);
    state.counters["received"] = static_cast<double>(received);
    state.counters["dropped"] = static_cast<double>(sent - std::min<std::uint64_t>(sent, received));
    state.counters["system_drops"] = static_cast<double>(reader.droppedDatagrams.load());
    state.counters["rcvbuf_KB"] = reader.receiveBufferGranted.load() / 1024.0;
}
BENCHMARK(BM_UdpBursts)
    ->ArgsProduct({{300, 1000, 3000}, {0, 1}})
    ->Iterations(lf_seconds())
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_ServeUnderChurn(benchmark::State& state) {
    const bool linked = state.range(0) != 0;
    vrn::g_realTrafficLocal = true;
    vrn::gf_startServer("0");
    const std::uint16_t port = vrn::gf_serverPort();
    int rt = -1;
    if (linked) {
        int error = 0;
        rt = vrn::net::gf_connectLoopback(port, error);
        std::thread answer([rt] {
            char buffer[256];
            int e = 0;
            vrn::net::gf_receiveSome(rt, buffer, sizeof buffer, e);
            vrn::net::gf_sendAll(rt, R"({"version":"10.0.200","level":2})" "\r\n");
        });
        std::string line;
        vrn::waitForClient("Qs999=version\r\n", vrn::gf_judgeRtVersion, line, [] { return true; });
        answer.join();
    }
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> connections{0};
    std::vector<std::thread> churn;
    for (int t = 0; t < 4; ++t)
        churn.emplace_back([&] {
            while (!stop.load()) {
                int error = 0;
                const int fd = vrn::net::gf_connectLoopback(port, error);
                if (fd >= 0) vrn::net::gf_closeSocket(fd);
                ++connections;
            }
        });
    double longestServe = 0.0, totalServe = 0.0, longestPeriod = 0.0;
    std::uint64_t passes = 0;
    Clock::time_point next = Clock::now(), last = next;
    for (auto _ : state) {
        const Clock::time_point begin = Clock::now();
        vrn::gf_serveRealTraffic();
        const double served = std::chrono::duration<double, std::milli>(Clock::now() - begin).count();
        longestServe = std::max(longestServe, served);
        totalServe += served;
        if (passes++ > 0) longestPeriod = std::max(longestPeriod, std::chrono::duration<double, std::milli>(begin - last).count());
        last = begin;
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
    }
    stop = true;
    for (std::thread& t : churn) t.join();
    vrn::gf_stopServer();
    if (rt >= 0) vrn::net::gf_closeSocket(rt);
    state.counters["serve_max_ms"] = longestServe;
    state.counters["serve_mean_ms"] = totalServe / static_cast<double>(std::max<std::uint64_t>(1, passes));
    state.counters["period_max_ms"] = longestPeriod;
    state.counters["connections"] = static_cast<double>(connections.load());
}
BENCHMARK(BM_ServeUnderChurn)->Arg(0)->Arg(1)->Iterations(benchIterations(1000))->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
