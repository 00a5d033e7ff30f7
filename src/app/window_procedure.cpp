#include "app/window_procedure.h"

#include <ctime>
#include <filesystem>
#include <mutex>
#include <thread>

#include "app/button_commands.h"
#include "app/controls.h"
#include "app/exception_reporter.h"
#include "app/exit_procedure.h"
#include "app/main_window.h"
#include "app/run_thread.h"
#include "core/format.h"
#include "core/log.h"
#include "core/time_of_week.h"
#include "core/version.h"
#include "feed/tcp_server.h"
#include "settings/settings_catalogue.h"

namespace vrn {
namespace fs = std::filesystem;

namespace {


// Only the GUI thread starts run threads; the mutex keeps the process end apart from it.
std::mutex g_runThreadMutex;
std::jthread g_runThread;

void lf_startRun() {
    std::lock_guard lock(g_runThreadMutex);
    // The previous run thread is stopped and joined first: two runs never share the program's state.
    g_runThread = std::jthread([] { gf_startUpVRNL(); });
}

void lf_finalExit(ui::Window& window, std::int64_t exitStatus) {
    const ui::Rect rect = window.frame();
    const int oldX = MAIN_WINDOW_X.get();
    const int oldY = MAIN_WINDOW_Y.get();
    MAIN_WINDOW_X.set(MAIN_WINDOW_X.clamp(rect.left));
    MAIN_WINDOW_X.save();
    MAIN_WINDOW_Y.set(MAIN_WINDOW_Y.clamp(rect.top));
    MAIN_WINDOW_Y.save();
    lf_setWindowPos(oldX, oldY);   // a minimised window keeps the previous position
    gf_logLine(gf_utcTimeText(std::time(nullptr)));
    gf_closeLog();
    window.post({ui::MessageKind::Quit, 0, exitStatus});
}

}  // namespace

void gf_wndProc(ui::Window& window, const ui::Message& message) {
    // Nothing escapes into the message loop: an error is reported and the window stays usable.
    try {
        switch (message.kind) {
        case ui::MessageKind::Command:
            gf_onCommand(window, static_cast<std::uint16_t>(message.code));
            break;
        case ui::MessageKind::Close:
            // Said as it happened: a headless run has no close button to click.
            gf_showStatus(format("{}, closing {} ...",
                                 message.code == ui::CLOSE_STOP_REQUEST   ? "Stop requested (Ctrl-C)"
                                 : message.code == ui::CLOSE_RUN_TIME_OVER ? "Run time over"
                                                                           : "Close window button clicked",
                                 g_programName),
                          false);
            gf_requestExit(EXIT_USER_CLOSED_SIM, 0);
            break;
        case ui::MessageKind::Private:
            if (message.code == ui::WM_START_RUN)
                lf_startRun();
            else if (message.code == ui::WM_FINAL_EXIT)
                lf_finalExit(window, message.param);
            break;
        case ui::MessageKind::Timer:
        case ui::MessageKind::Quit:
            break;
        }
    } catch (...) {
        gf_reportException("gf_wndProc");
    }
}

int gf_initInstanceAndRun(ui::Window& window, const MessageLoop& messageLoop, const std::string& classAndTitle) {
    if (!initInstance(window, classAndTitle)) {
        gf_logLine("initInstance failed");
        return 0;
    }
    gf_createControls(window);
    const fs::path dataFolder = gf_dataFolder();
    std::error_code ec;
    const bool exists = fs::exists(dataFolder, ec);
    if (ec) throw fs::filesystem_error("exists", dataFolder, ec);
    if (!exists) {
        fs::create_directory(dataFolder, ec);
        if (ec) throw fs::filesystem_error("create_directory", dataFolder, ec);
    }
    window.post({ui::MessageKind::Private, ui::WM_START_RUN, 0});
    return messageLoop(window, [&window](const ui::Message& m) { gf_wndProc(window, m); });
}

void gf_endRunThread() {
    gf_setProcessEnding();
    // A run still waiting for RealTraffic to connect is released by the server's stop.
    try {
        gf_stopServer();
    } catch (...) {
    }
    std::lock_guard lock(g_runThreadMutex);
    if (g_runThread.joinable()) {
        g_runThread.request_stop();
        g_runThread.join();
    }
}

bool gf_runThreadJoinable() {
    std::lock_guard lock(g_runThreadMutex);
    return g_runThread.joinable();
}

}  // namespace vrn
