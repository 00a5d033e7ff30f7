// The program's entry point: one instance per user, Log.txt, the main window and its message loop
// (a real window when a display is there, else the headless loop that prints the status line).
#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string>
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
#include "core/utf8_paths.h"
#include "core/utilities.h"
#include "platform/sys/single_instance.h"
#include "platform/ui/headless_backend.h"
#include "settings/settings_catalogue.h"
#ifdef VARNEL_HAVE_FLTK
#include "platform/ui/fltk/fltk_backend.h"
#endif
#if defined(_WIN32)
#include "platform/simconnect/simconnect_library.h"
#include "platform/ui/win32_backend.h"
#endif

namespace {

// Exit statuses of a start that is refused before any run (a run's own are in exit_procedure.h).
constexpr int kExitStatusUsage = 2;            // an environment value that cannot be used
constexpr int kExitStatusSecondInstance = 3;   // another instance runs for this user

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

bool lf_displayPresent() {
    const char* headless = std::getenv("VARNEL_HEADLESS");
    if (headless && *headless && std::string(headless) != "0") return false;
#if defined(_WIN32)
    return true;   // Windows has its desktop; a window that cannot be made falls back to headless
#else
    const char* display = std::getenv("DISPLAY");
    return display && *display;
#endif
}

// The real window's message loop: FLTK on Linux, Win32 on Windows. Nothing when this build has no
// window backend or the window could not be made; the caller then runs headless.
std::optional<int> lf_runWindowLoop(vrn::ui::Window& window, const vrn::ui::WindowProcedure& proc) {
#if defined(_WIN32)
    return vrn::ui::gf_runWin32MessageLoop(window, proc, vrn::gf_paint);
#elif defined(VARNEL_HAVE_FLTK)
    return vrn::gf_runFltkMessageLoop(window, proc, vrn::gf_paint);
#else
    (void)window, (void)proc;
    return std::nullopt;
#endif
}

#if defined(_WIN32)
// The simulator's client library, loaded once before any run. Without it every call fails, the link
// keeps waiting, and the red status line says where SimConnect.dll was looked for.
void lf_loadSimConnect() {
    using namespace vrn;
    static const simconnect::ClientLibrary library = simconnect::gf_loadClientLibrary(simconnect::gf_executableFolder());
    if (library.loaded) {
        simconnect::gf_useClientFunctions(library.functions);
        gf_logLine(format("SimConnect.dll loaded from {}", library.path));
    } else {
        simconnect::gf_useClientFunctions(simconnect::gf_unavailableClientFunctions());
        gf_showError(library.error);
    }
}
#endif

// Another instance holds the lock: say so before leaving, on the status line of a window of our own
// or on standard error without a display. Nothing of the running instance is touched (not even its
// Log.txt), and no run starts here.
int lf_refuseSecondInstance(const std::filesystem::path& lockFile) {
    using namespace vrn;
    const std::string text = format("{} is already running (it holds {}): this second start ends", "Varnel",
                                    gf_utf8Of(lockFile));
    if (lf_displayPresent()) {
        static ui::Window window;
        MainWindow& w = g_mainWindow;
        window.create("Varnel", MAIN_WINDOW_X.defaultValue, MAIN_WINDOW_Y.defaultValue, kWindowWidth,
                      kWindowHeight);
        w.g_hMainWindow = &window;
        gf_showError(text);
        const auto shown = lf_runWindowLoop(window, [](const ui::Message& m) {
            if (m.kind == ui::MessageKind::Close) window.post({ui::MessageKind::Quit, 0, 0});
        });
        w.g_hMainWindow = nullptr;
        if (shown) return kExitStatusSecondInstance;
    }
    std::cerr << text << std::endl;
    return kExitStatusSecondInstance;
}

// The message loop without a window: the status line and the top band printed as they change.
int lf_runHeadless(vrn::ui::Window& window, const vrn::ui::WindowProcedure& proc, int runSeconds) {
    using namespace vrn;
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

int main() {
    using namespace vrn;
    const std::optional<int> runSecondsSet = lf_runSeconds();
    if (!runSecondsSet) {
        std::cerr << "Varnel: VARNEL_RUN_SECONDS must be a positive whole number of seconds, not \""
                  << gf_excerpt(std::getenv("VARNEL_RUN_SECONDS")) << "\"" << std::endl;
        return kExitStatusUsage;
    }
    platform::sys::SingleInstanceLock instance("Local\\$Varnel$");
    if (instance.acquire() == platform::sys::SingleInstanceLock::Result::HeldElsewhere)
        return lf_refuseSecondInstance(instance.lockFile());
    try {
        gf_startLog();
    } catch (const std::exception& e) {
        std::cerr << "Varnel: " << e.what() << std::endl;
        return 1;
    }
#if defined(_WIN32)
    lf_loadSimConnect();
#endif
    gf_installRunHooks();
    // Other reader ports for a run beside another instance's feed (the end-to-end test).
    ReaderPorts ports;
    ports.weather = lf_port("VARNEL_WEATHER_PORT", ports.weather);
    ports.traffic = lf_port("VARNEL_TRAFFIC_PORT", ports.traffic);
    gf_setReaderPortsForTests(ports);

    const int runSeconds = *runSecondsSet;
    const bool windowWanted = lf_displayPresent();
    MessageLoop loop = [runSeconds, windowWanted](ui::Window& window, const ui::WindowProcedure& proc) {
        if (windowWanted) {
            if (runSeconds > 0) {
                std::thread([&window, runSeconds] {
                    std::this_thread::sleep_for(std::chrono::seconds(runSeconds));
                    window.post({ui::MessageKind::Close, 0, 0});
                }).detach();
            }
            if (const std::optional<int> rc = lf_runWindowLoop(window, proc)) return *rc;
            return lf_runHeadless(window, proc, 0);   // no window after all; the timer above still closes
        }
        return lf_runHeadless(window, proc, runSeconds);
    };

    static ui::Window window;   // outlives any thread that still posts to it
    int rc = 0;
    try {
        rc = gf_initInstanceAndRun(window, loop);
    } catch (const std::exception& e) {
        std::cerr << "Varnel: " << e.what() << std::endl;
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
