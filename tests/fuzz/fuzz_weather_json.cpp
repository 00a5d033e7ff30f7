// Weather datagrams of any content: the QNH Reader publishes a plausible QNH or logs and goes on.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "app/main_window.h"
#include "feed/udp_readers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static vrn::QnhReader reader;
    reader.processDatagram(std::string_view(reinterpret_cast<const char*>(data), size));
    const int qnh = vrn::g_currentQnh.load();
    if (qnh < 930 || qnh > 1080) std::abort();   // only plausible values are ever published
    return 0;
}
