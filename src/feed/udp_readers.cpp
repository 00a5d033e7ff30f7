#include "feed/udp_readers.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <nlohmann/json.hpp>
#include <thread>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/run_state.h"
#include "core/time_of_week.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "feed/feed_hooks.h"
#include "feed/realtraffic_link.h"

namespace vrn {

std::deque<TrafficUpdate> g_trafficQueue;
std::mutex g_trafficMutex;
bool g_mainLoopRunning = false;
std::atomic<int> g_tickCounter{0};
std::atomic<int> g_currentQnh{1013};

TrafficReader g_trafficReader;
QnhReader g_qnhReader;

std::atomic<std::uint64_t> g_trafficQueueDropped{0};
std::atomic<std::uint64_t> g_futureStampsDropped{0};

namespace {
std::mutex l_stampedAheadMutex;
std::unordered_map<std::uint32_t, std::uint32_t> l_stampedAhead;
}  // namespace

void gf_countStampedAhead(std::uint32_t hexid) {
    std::lock_guard lock(l_stampedAheadMutex);
    if (l_stampedAhead.size() >= kStampedAheadRemembered && !l_stampedAhead.count(hexid)) l_stampedAhead.clear();
    ++l_stampedAhead[hexid];
}

std::uint32_t gf_stampedAheadCount(std::uint32_t hexid) {
    std::lock_guard lock(l_stampedAheadMutex);
    const auto it = l_stampedAhead.find(hexid);
    return it == l_stampedAhead.end() ? 0 : it->second;
}

void gf_forgetStampedAhead(std::uint32_t hexid) {
    std::lock_guard lock(l_stampedAheadMutex);
    l_stampedAhead.erase(hexid);
}
std::atomic<bool> g_readerError{false};

void gf_setMainLoopRunning(bool running) {
    std::deque<TrafficUpdate> stale;
    std::lock_guard lock(g_trafficMutex);
    g_mainLoopRunning = running;
    if (!running) stale.swap(g_trafficQueue);
}

std::optional<std::uint32_t> gf_queueTrafficUpdate(const TrafficUpdate& record) {
    std::optional<std::uint32_t> dropped;
    TrafficUpdate oldest;   // released outside the lock
    std::lock_guard lock(g_trafficMutex);
    if (!g_mainLoopRunning) return dropped;
    for (auto it = g_trafficQueue.rbegin(); it != g_trafficQueue.rend(); ++it) {
        if (it->hexid != record.hexid) continue;
        if (it->timeStamp <= record.timeStamp) {
            auto passed = it->passedOver;
            std::size_t count = it->passedOverCount;
            if (it->sample.airborne) {
                if (count == passed.size()) std::move(passed.begin() + 1, passed.end(), passed.begin()), --count;
                passed[count++] = {it->sample.latitude, it->sample.longitude};
            }
            *it = record;
            it->sample.duePass = g_tickCounter.load(std::memory_order_relaxed) + kPlayDelayPasses;
            it->passedOver = passed;
            it->passedOverCount = static_cast<std::uint8_t>(count);
        }
        return dropped;
    }
    if (g_trafficQueue.size() >= kTrafficQueueLimit) {
        oldest = std::move(g_trafficQueue.front());
        g_trafficQueue.pop_front();
        dropped = oldest.hexid;
        ++g_trafficQueueDropped;
    }
    g_trafficQueue.push_back(record);
    g_trafficQueue.back().sample.duePass = g_tickCounter.load(std::memory_order_relaxed) + kPlayDelayPasses;
    return dropped;
}

std::deque<TrafficUpdate> gf_takeTrafficUpdates() {
    std::deque<TrafficUpdate> taken;
    std::lock_guard lock(g_trafficMutex);
    taken.swap(g_trafficQueue);
    return taken;
}

UdpReader::UdpReader(const char* name) : m_log(name), m_name(name) {}

void UdpReader::open() {
    m_boundPort = 0;
    int error = 0;
    const int fd = net::gf_udpSocket(error);
    if (fd < 0) {
        throw SysErrorException(31, vrn::format("failed to create the socket with error: {}", gf_wsaErrorText(error)));
    }
    m_socket.reset(fd);
    // Asking for nothing keeps the system's default (benchmarks compare the two).
    receiveBufferGranted = net::gf_setReceiveBuffer(fd, receiveBufferAsked.load());
    m_dropsCounted = net::gf_countDrops(fd);
    m_drops = m_dropsReported = 0;
    m_dropReportAt = 0;
}

std::string UdpReader::receiveBufferText() const {
    const int granted = receiveBufferGranted.load(), asked = receiveBufferAsked.load();
    std::string text = vrn::format("{} receive buffer: {} KB granted, {} KB asked", m_name, granted / 1024, asked / 1024);
    if (granted > 0 && granted < asked) {
        const std::string setting = net::gf_receiveBufferLimitSetting();
        text += setting.empty() ? " (the system's limit)" : vrn::format(" (the system's limit: raise {})", setting);
    }
    return text;
}

void UdpReader::lf_reportDrops(bool stopping) {
    if (m_drops == m_dropsReported) return;
    const std::time_t now = gf_wallClock();
    if (!stopping && m_dropReportAt != 0 && now - m_dropReportAt < kDropReportSeconds) return;
    const std::uint32_t lost = m_drops - m_dropsReported;   // the system's count wraps at 2^32
    droppedDatagrams += lost;
    m_dropsReported = m_drops;
    m_dropReportAt = now;
    gf_logLine(vrn::format("{}: {} datagram{} lost, more came at once than its receive buffer of {} KB holds", m_name,
                           lost, lost == 1 ? "" : "s", receiveBufferGranted.load() / 1024));
}

void UdpReader::bind(std::uint16_t port) {
    int error = 0;
    {
        // Held for the call, so that a stop from another thread cannot close the descriptor under it.
        net::SocketUse use(m_socket);
        if (!use) {
            // Stopped between open and bind (an exit right after the start): not an error, the
            // receive loop ends at once.
            if (stopIsRequested()) return;
            error = 10038;   // not a socket
        } else {
            error = net::gf_bindIpv4(use.fd(), realTrafficLocal.load() || loopbackBindForTests.load(), port);
            if (error == 0) m_boundPort = net::gf_boundPort(use.fd());
        }
    }
    if (error != 0) {
        m_socket.close();
        throw SysErrorException(32, vrn::format("bind to stream socket failed with error: {}", gf_wsaErrorText(error)));
    }
}

void UdpReader::requestStop() {
    stopRequested = 1;
    m_boundPort = 0;
    m_socket.shutdownAndClose();
}

void UdpReader::receiveLoop() {
    const bool local = realTrafficLocal.load();
    while (stopRequested.load() == 0) {
        net::SocketUse use(m_socket);
        if (!use) break;   // stopped (the socket is gone)
        int error = 0;
        const long n = net::gf_receiveDatagram(use.fd(), m_buffer.data(), kDatagramBufferSize, error,
                                               m_dropsCounted ? &m_drops : nullptr);
        if (n <= 0) continue;
        if (m_drops != m_dropsReported) lf_reportDrops(false);
        if (static_cast<std::size_t>(n) >= kDatagramBufferSize) {
            m_log.log(vrn::format("buffer overrun: {} bytes", n));
            continue;
        }
        m_buffer[static_cast<std::size_t>(n)] = '\0';
        datagram = std::string_view(m_buffer.data(), std::strlen(m_buffer.data()));
        ++datagramCount;
        if (!local) {
            if (datagram == m_previousDatagram) continue;
            m_previousDatagram.assign(datagram);
        }
        process();
    }
    m_socket.close();
    m_boundPort = 0;
    lf_reportDrops(true);
    m_log.flushDropped();
    stopped();
}

void UdpReader::run(std::uint16_t port) {
    open();
    bind(port);
    receiveLoop();
}

void gf_runReaderThread(UdpReader& reader, bool traffic, std::uint16_t port) {
    ++g_runningThreads;
    try {
        reader.open();
        reader.bind(port);
        reader.started();
        gf_logIndentedLine(vrn::format("{} connected", reader.name()));
        gf_logIndentedLine(reader.receiveBufferText());
        reader.receiveLoop();
    } catch (const std::exception& e) {
        gf_logIndentedLine(vrn::format("{} disconnected", reader.name()));
        gf_reportReaderStop(traffic, e.what());
    }
    --g_runningThreads;
}

// The global readers bind to loopback and skip the repeat filter exactly when RealTraffic runs on
// this computer.
void gf_trafficReaderThread(std::uint16_t port) {
    g_trafficReader.realTrafficLocal = g_realTrafficLocal.load();
    gf_runReaderThread(g_trafficReader, true, port);
}

void gf_qnhReaderThread(std::uint16_t port) {
    g_qnhReader.realTrafficLocal = g_realTrafficLocal.load();
    gf_runReaderThread(g_qnhReader, false, port);
}

void gf_startTrafficReader(std::uint16_t port) { std::thread(gf_trafficReaderThread, port).detach(); }
void gf_startQnhReader(std::uint16_t port) { std::thread(gf_qnhReaderThread, port).detach(); }

void gf_stopReaders() {
    g_qnhReader.requestStop();
    g_trafficReader.requestStop();
}

// ---- QNH Reader ----

QnhReader::QnhReader() : UdpReader("QNH Reader") {}

void QnhReader::processDatagram(std::string_view text) {
    datagram = text;
    process();
}

void QnhReader::process() {
    try {
        const auto json = nlohmann::json::parse(datagram);
        const auto it = json.is_object() ? json.find("QNH") : json.end();
        if (it == json.end() || it->is_null()) {
            m_log.log(vrn::format("no QNH {}", gf_excerpt(datagram)));
            return;
        }
        // Held as a double until it is known to lie in the QNH range: a number from outside may be
        // far beyond what an int holds.
        double value = 1013;
        if (it->is_number_unsigned()) {
            value = static_cast<double>(it->get<std::uint64_t>());
        } else if (it->is_number_integer()) {
            value = static_cast<double>(it->get<std::int64_t>());
        } else if (it->is_number_float()) {
            value = std::round(it->get<double>());
        } else if (it->is_string()) {
            value = std::stoi(it->get<std::string>());
        } else {
            // A QNH of another type is malformed: keep the QNH already published.
            m_log.log(vrn::format("no QNH {}", gf_excerpt(datagram)));
            return;
        }
        if (value > 1080) value = std::round(value * 0.33865307);
        if (value >= 930 && value <= 1080) {
            const int qnh = static_cast<int>(value);
            if (qnh != lastQnh.load() || qnh == 1013) {
                lastQnh = qnh;
                g_currentQnh = qnh;
                g_mainWindow.g_qnh = qnh;
                int expected = 2;
                g_mainWindow.g_weatherStatus.compare_exchange_strong(expected, 1);
                gf_invalidateBand(Band::Counters);
            }
        } else {
            m_log.log(vrn::format("? Strange QNH {} found in {}", value, gf_excerpt(datagram)));
        }
    } catch (const std::invalid_argument& e) {
        m_log.log(g_arrow + vrn::format("QNH string invalid arg: {}", e.what()));
    } catch (const std::out_of_range& e) {
        m_log.log(g_arrow + vrn::format("QNH string out of range: {}", e.what()));
    } catch (const std::exception& e) {
        m_log.log(vrn::format("Exception {}, in {}", gf_excerpt(e.what()), gf_excerpt(datagram)));
    }
}

void QnhReader::started() {
    g_mainWindow.g_weatherStatus = 1;
    gf_invalidateBand(Band::Counters);
}

void QnhReader::stopped() { gf_logLine("QNH Reader has stopped"); }

// ---- flow check and reset ----

namespace {

void lf_checkFlow(UdpReader& reader, std::atomic<int>& status) {
    const std::uint32_t count = reader.datagramCount.load();
    const bool changed = count != reader.countAtLastCheck.load();
    reader.countAtLastCheck = count;
    if (!changed) {
        status = 2;
        gf_invalidateBand(Band::Counters);
        reader.raised = false;
    } else if (!reader.raised.load()) {
        reader.raised = true;
        status = 1;
        gf_invalidateBand(Band::Counters);
    }
}

}  // namespace

void gf_checkTrafficFlow() {
    if (!g_mainWindow.g_realTrafficLinkUp.load()) return;
    lf_checkFlow(g_qnhReader, g_mainWindow.g_weatherStatus);
    lf_checkFlow(g_trafficReader, g_mainWindow.g_trafficStatus);
}

void gf_resetRealTraffic() {
    // The record itself belongs to the reader thread; other threads see the feed time here.
    g_feedTimeStamp = 0.0;
    g_trafficReader.resetFeedClock();
    g_trafficReader.clearSeenCallsigns();
    g_trafficReader.stopRequested = 0;
    g_qnhReader.stopRequested = 0;
    g_qnhReader.datagramCount = 0;
    g_qnhReader.countAtLastCheck = 0;
    g_qnhReader.raised = true;
    g_trafficReader.raised = true;
    g_qnhReader.lastQnh = 1013;
}

}  // namespace vrn
