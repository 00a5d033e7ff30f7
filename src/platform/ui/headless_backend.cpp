#include "platform/ui/headless_backend.h"

#include <atomic>
#include <chrono>
#include <iostream>

#include "platform/sys/stop_request.h"

namespace vrn::ui {
namespace {

std::atomic<int> g_signals{0};

void lf_onStop() { g_signals.fetch_add(1); }

}  // namespace

std::string gf_statusLineOutput(const std::string& text) { return "[status] " + text; }

int gf_runHeadlessMessageLoop(Window& window, const WindowProcedure& wndProc, const HeadlessOptions& options) {
    std::ostream& out = options.out ? *options.out : std::cout;
    if (options.handleSignals) {
        g_signals.store(0);
        platform::sys::gf_onStopRequest(lf_onStop);
    }
    const auto started = std::chrono::steady_clock::now();
    bool closePosted = false;
    std::string shown;
    std::vector<std::string> bandShown;
    RecordingSurface surface;
    while (true) {
        const int signals = options.handleSignals ? g_signals.load() : 0;
        if (signals >= 2) return 130;
        const bool timeUp = options.runSeconds > 0 &&
                            std::chrono::steady_clock::now() - started >= std::chrono::seconds(options.runSeconds);
        if (!closePosted && (signals == 1 || timeUp)) {
            window.post({MessageKind::Close, signals == 1 ? CLOSE_STOP_REQUEST : CLOSE_RUN_TIME_OVER, 0});
            closePosted = true;
        }
        if (const auto message = window.waitGet(options.pollMilliseconds)) {
            if (message->kind == MessageKind::Quit) {
                out.flush();
                return static_cast<int>(message->param);
            }
            wndProc(*message);
        }
        const auto invalid = window.takeInvalidated();
        if (options.paint) {
            for (const Rect& area : invalid) {
                surface.clear();
                options.paint(surface, area);
            }
        }
        if (options.statusText) {
            std::string text = options.statusText();
            if (text != shown) {
                shown = std::move(text);
                if (!shown.empty()) out << gf_statusLineOutput(shown) << std::endl;
            }
        }
        if (options.bandLines) {
            std::vector<std::string> lines = options.bandLines();
            bandShown.resize(lines.size());
            for (std::size_t i = 0; i < lines.size(); ++i) {
                if (lines[i] == bandShown[i]) continue;
                bandShown[i] = std::move(lines[i]);
                if (!bandShown[i].empty()) out << bandShown[i] << std::endl;
            }
        }
    }
}

}  // namespace vrn::ui
