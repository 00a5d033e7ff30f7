// Traffic datagrams of any content: the parser drops or queues them, never crashes or leaks.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "feed/udp_readers.h"
#include "settings/settings_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vrn::TrafficReader* reader = [] {
        auto* r = new vrn::TrafficReader();
        vrn::g_lateralRangeNm = 100.0;
        r->setReferencePosition({51.47, -0.45});
        r->setParkAirport(vrn::LatLon{51.47, -0.45});
        r->setFieldElevation(83.0);
        r->collectCallsigns = true;
        vrn::gf_setMainLoopRunning(true);
        return r;
    }();
    if (size > vrn::kDatagramBufferSize) return 0;
    reader->processDatagram(std::string_view(reinterpret_cast<const char*>(data), size));
    {
        std::lock_guard lock(vrn::g_trafficMutex);
        vrn::g_trafficQueue.clear();
    }
    if (reader->seenCallsignCount() > 1000) reader->clearSeenCallsigns();
    return 0;
}
