// The Windows program's entry point. Varnel.exe is a GUI program: no console window of its own, whose
// closing or Ctrl+C would end the process without its exit procedure. First the single-instance
// mutex (a second start ends at once with -1: no message, no log line, no window), then the program's
// start (app/program.h) with the Win32 window, whose class name and title are string resource 101
// and whose icon is resource 100 (resources/varnel.rc).
#include <windows.h>

#include <cstdio>
#include <mutex>
#include <optional>
#include <string>

#include "app/painting.h"
#include "app/program.h"
#include "core/format.h"
#include "core/log.h"
#include "core/version.h"
#include "display/window_state.h"
#include "platform/simconnect/simconnect_library.h"
#include "platform/sys/single_instance.h"
#include "platform/sys/wide_text_win32.h"
#include "platform/ui/win32_backend.h"

namespace {

constexpr UINT kProgramNameResource = 101;
constexpr int kProgramNameChars = 100;

std::string lf_programName(HINSTANCE instance) {
    wchar_t name[kProgramNameChars] = {};
    const int n = ::LoadStringW(instance, kProgramNameResource, name, kProgramNameChars);
    if (n <= 0) return vrn::g_programName;
    return vrn::platform::sys::gf_narrow(std::wstring_view(name, static_cast<std::size_t>(n)));
}

bool lf_usable(DWORD which) {
    const HANDLE h = ::GetStdHandle(which);
    return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// What the program prints (the headless status line, a start that is refused) goes where its starter
// can read it: to the file or pipe it was started with, else to the console of the program that
// started it. Started from the Explorer there is neither, and nothing is written.
void lf_attachParentConsole() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (lf_usable(STD_OUTPUT_HANDLE) && lf_usable(STD_ERROR_HANDLE)) return;
        if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
        if (!lf_usable(STD_OUTPUT_HANDLE)) std::freopen("CONOUT$", "w", stdout);
        if (!lf_usable(STD_ERROR_HANDLE)) std::freopen("CONOUT$", "w", stderr);
    });
}

// The simulator's client library, loaded once before any run. Without it every call fails and the
// link keeps waiting: the status line says what to do for as long as the program runs (no later
// error hides it), and Log.txt where it was looked for.
void lf_loadSimConnect() {
    using namespace vrn;
    static const simconnect::ClientLibrary library = simconnect::gf_loadClientLibrary(simconnect::gf_executableFolder());
    if (library.loaded) {
        simconnect::gf_useClientFunctions(library.functions);
        gf_logLine(format("SimConnect.dll loaded from {}", library.path));
    } else {
        simconnect::gf_useClientFunctions(simconnect::gf_unavailableClientFunctions());
        gf_logLine(library.details);
        gf_showLastingError(library.error);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/) {
    using namespace vrn;
    // Held for the life of the process; the system drops it at the end.
    static platform::sys::SingleInstanceLock single("Local\\$Varnel$");
    if (single.acquire() == platform::sys::SingleInstanceLock::Result::HeldElsewhere) return -1;
    ProgramEntry entry;
    entry.classAndTitle = lf_programName(instance);
    entry.windowLoop = [](ui::Window& window, const ui::WindowProcedure& proc) {
        return ui::gf_runWin32MessageLoop(window, proc, gf_paint);
    };
    entry.windowWanted = !gf_headlessAsked();
    entry.attachOutput = lf_attachParentConsole;
    entry.afterLogStart = lf_loadSimConnect;
    return gf_runProgram(entry);
}
