#include "feed/feed_hooks.h"

#include "core/format.h"
#include "display/window_state.h"
#include "feed/udp_readers.h"

namespace vrn {

FeedHooks g_feedHooks;

void gf_reportReaderStop(bool traffic, const std::string& error) {
    gf_showStatus(vrn::format("The {} has stopped with an error: {}", traffic ? "TrafficReader " : "WeatherReader",
                              error),
                  true);
    g_readerError.exchange(true);
}

}  // namespace vrn
