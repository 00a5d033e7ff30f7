#include "feed/feed_hooks.h"

#include "core/format.h"
#include "display/window_state.h"

namespace vrn {

FeedHooks g_feedHooks;
std::atomic<int> g_feedThreads{0};
std::atomic<bool> g_feedReaderError{false};

void gf_feedThreadStarted() {
    if (g_feedHooks.threadStarted) {
        g_feedHooks.threadStarted();
    } else {
        ++g_feedThreads;
    }
}

void gf_feedThreadEnded() {
    if (g_feedHooks.threadEnded) {
        g_feedHooks.threadEnded();
    } else {
        --g_feedThreads;
    }
}

void gf_feedReportReaderStop(bool traffic, const std::string& error) {
    if (g_feedHooks.reportReaderStop) {
        g_feedHooks.reportReaderStop(traffic, error);
        return;
    }
    gf_showStatus(vrn::format("The {} has stopped with an error: {}", traffic ? "TrafficReader " : "WeatherReader",
                              error),
                  true);
    g_feedReaderError.exchange(true);
}

bool gf_feedExitUnderWay() { return g_feedHooks.exitUnderWay ? g_feedHooks.exitUnderWay() : false; }

}  // namespace vrn
