// The Linux program's entry point: one instance per user (its lock file), then the program's start
// (app/program.h) with the FLTK window when a display is there, else the headless loop that prints
// the status line. The Windows entry is main_win32.cpp.
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "app/main_window.h"
#include "app/painting.h"
#include "app/program.h"
#include "core/format.h"
#include "core/utf8_paths.h"
#include "core/version.h"
#include "platform/sys/single_instance.h"
#include "settings/settings_catalogue.h"
#ifdef VARNEL_HAVE_FLTK
#include "platform/ui/fltk/fltk_backend.h"
#endif

namespace {

bool lf_displayPresent() {
    const char* display = std::getenv("DISPLAY");
    return !vrn::gf_headlessAsked() && display && *display;
}

// The FLTK window's message loop; nothing when this build has no window backend.
std::optional<int> lf_runWindowLoop(vrn::ui::Window& window, const vrn::ui::WindowProcedure& proc) {
#ifdef VARNEL_HAVE_FLTK
    return vrn::gf_runFltkMessageLoop(window, proc, vrn::gf_paint);
#else
    (void)window, (void)proc;
    return std::nullopt;
#endif
}

// Another instance holds the lock: say so before leaving, on the status line of a window of our own
// or on standard error without a display, and end with a status of its own (./run reports it).
// Nothing of the running instance is touched (not even its Log.txt), and no run starts here.
int lf_refuseSecondInstance(const std::filesystem::path& lockFile) {
    using namespace vrn;
    const std::string text = format("{} is already running (it holds {}): this second start ends", g_programName,
                                    gf_utf8Of(lockFile));
    if (lf_displayPresent()) {
        static ui::Window window;
        MainWindow& w = g_mainWindow;
        window.create(g_programName, MAIN_WINDOW_X.defaultValue, MAIN_WINDOW_Y.defaultValue, kWindowWidth,
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

}  // namespace

int main() {
    using namespace vrn;
    platform::sys::SingleInstanceLock instance("Local\\$Varnel$");
    if (instance.acquire() == platform::sys::SingleInstanceLock::Result::HeldElsewhere)
        return lf_refuseSecondInstance(instance.lockFile());
    ProgramEntry entry;
    entry.windowLoop = lf_runWindowLoop;
    entry.windowWanted = lf_displayPresent();
    return gf_runProgram(entry);
}
