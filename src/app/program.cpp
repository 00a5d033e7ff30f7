#include "app/program.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string_view>
#include <system_error>
#include <thread>

#include "app/exit_procedure.h"
#include "app/main_window.h"
#include "app/painting.h"
#include "app/run_thread.h"
#include "app/traffic_start.h"
#include "app/window_procedure.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utilities.h"
#include "core/version.h"
#include "platform/sys/sleep.h"

namespace vrn {
namespace {

// VARNEL_RUN_SECONDS: unset or empty runs until closed; otherwise a positive whole number of seconds.
// Anything else is refused rather than read as "forever" or as its first digits.
std::optional<int> lf_runSeconds() {
    const char* text = std::getenv("VARNEL_RUN_SECONDS");
    if (!text || !*text) return 0;
    const std::string_view value(text);
    int seconds = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), seconds);
    if (ec != std::errc() || end != value.data() + value.size() || seconds <= 0)
        return std::nullopt;
    return seconds;
}

std::uint16_t lf_port(const char* name, std::uint16_t fallback) {
    const char* text = std::getenv(name);
    if (!text || !*text) return fallback;
    try {
        const int port = std::stoi(text);
        return port > 0 && port < 65536 ? static_cast<std::uint16_t>(port) : fallback;
    } catch (const std::exception&) {
        return fallback;
    }
}

// The message loop without a window: the status line and the top band printed as they change.
int lf_runHeadless(const ProgramEntry& entry, ui::Window& window, const ui::WindowProcedure& proc, int runSeconds) {
    entry.attachOutput();
    ui::HeadlessOptions options;
    options.statusText = [] {
        const std::string error = g_mainWindow.g_errorText.get();
        return error.empty() ? g_mainWindow.g_statusText.get() : "Error " + error;
    };
    options.paint = [](ui::PaintSurface& surface, const ui::Rect& area) { gf_paint(surface, area); };
    options.bandLines = [] { return gf_topBandLines(); };
    options.runSeconds = runSeconds;
    options.handleSignals = true;
    return ui::gf_runHeadlessMessageLoop(window, proc, options);
}

}  // namespace

bool gf_headlessAsked() {
    const char* headless = std::getenv("VARNEL_HEADLESS");
    return headless && *headless && std::string_view(headless) != "0";
}

int gf_runProgram(const ProgramEntry& entry) {
    const std::optional<int> runSecondsSet = lf_runSeconds();
    if (!runSecondsSet) {
        entry.attachOutput();
        std::cerr << g_programName << ": VARNEL_RUN_SECONDS must be a positive whole number of seconds, not \""
                  << gf_excerpt(std::getenv("VARNEL_RUN_SECONDS")) << "\"" << std::endl;
        return kExitStatusUsage;
    }
    // Started from another folder, the run stops with user error 41 and the window says so; a
    // Log.txt there would be a stray file in the user's folder, and moving its Log.txt to Log0.txt
    // would clobber files of theirs. The log's lines are dropped in that case.
    bool inProgramFolder = false;
    try {
        inProgramFolder = gf_runsFromProgramFolder();
    } catch (const std::exception&) {
        // The run thread's own check raises the same failure where the user sees it.
    }
    try {
        if (inProgramFolder) gf_startLog();
    } catch (const std::exception& e) {
        entry.attachOutput();
        std::cerr << g_programName << ": " << e.what() << std::endl;
        return 1;
    }
    if (entry.afterLogStart) entry.afterLogStart();
    gf_installRunHooks();
    // Other reader ports for a run beside another instance's feed (the end-to-end test).
    ReaderPorts ports;
    ports.weather = lf_port("VARNEL_WEATHER_PORT", ports.weather);
    ports.traffic = lf_port("VARNEL_TRAFFIC_PORT", ports.traffic);
    gf_setReaderPortsForTests(ports);

    const int runSeconds = *runSecondsSet;
    const bool windowWanted = entry.windowWanted && entry.windowLoop;
    MessageLoop loop = [&entry, runSeconds, windowWanted](ui::Window& window, const ui::WindowProcedure& proc) {
        if (windowWanted) {
            if (runSeconds > 0) {
                std::thread([&window, runSeconds] {
                    platform::sys::gf_sleepFor(std::chrono::seconds(runSeconds));
                    window.post({ui::MessageKind::Close, ui::CLOSE_RUN_TIME_OVER, 0});
                }).detach();
            }
            if (const std::optional<int> rc = entry.windowLoop(window, proc)) return *rc;
            return lf_runHeadless(entry, window, proc, 0);   // no window after all; the timer above still closes
        }
        return lf_runHeadless(entry, window, proc, runSeconds);
    };

    static ui::Window window;   // outlives any thread that still posts to it
    int rc = 0;
    try {
        rc = gf_initInstanceAndRun(window, loop, entry.classAndTitle);
    } catch (const std::exception& e) {
        entry.attachOutput();
        gf_logLine(format("{}: {}", g_programName, e.what()));
        std::cerr << g_programName << ": " << e.what() << std::endl;
        rc = 1;
    }
    gf_endRunThread();
    // An exit thread still at work (the loop was cut short by a second signal) would run on while the
    // program's objects are destroyed: give it a moment, else leave without destroying them.
    if (!gf_waitForExitDone(std::chrono::seconds(2))) {
        gf_flushLog();
        std::cout.flush();
        std::_Exit(rc);
    }
    return rc;
}

}  // namespace vrn
