// The real window on a private X server: the status band's colour on screen, clicks handled on the GUI
// thread, and only the close button (never the Escape key) asks the program to close.
#include <gtest/gtest.h>

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <bit>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

#include "app/button_commands.h"
#include "app/controls_test_fixture.h"
#include "app/painting.h"
#ifdef VARNEL_HAVE_FLTK
#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include "platform/ui/fltk/fltk_backend.h"
#endif

extern char** environ;

// Font and X libraries keep caches until the process ends; they are not this program's leaks.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\nleak:libX11\nleak:libXft\nleak:libfltk\n"; }

namespace vrn::test {
namespace {

bool lf_inPath(const std::string& program) { return std::system(("command -v " + program + " >/dev/null").c_str()) == 0; }

pid_t lf_spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 ? pid : -1;
}

// An Xvfb of our own; it tells its display number through a pipe.
class XServer {
public:
    XServer() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = lf_spawn({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1400x800x24", "-nolisten",
                          "tcp", "-noreset"});
        ::close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        while (m_pid > 0 && ::poll(&p, 1, 15000) == 1) {
            char c = 0;
            if (::read(fds[0], &c, 1) != 1 || c == '\n') break;
            number.push_back(c);
        }
        ::close(fds[0]);
        if (!number.empty()) display = ":" + number;
    }
    ~XServer() {
        if (m_pid > 0 && ::kill(m_pid, SIGTERM) == 0) ::waitpid(m_pid, nullptr, 0);
    }
    pid_t m_pid = -1;
    std::string display;
};

std::uint32_t lf_be32(const std::string& d, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = v << 8 | std::uint8_t(d[at + i]);
    return v;
}

// The screen's colour (0xRRGGBB) at (x, y), read from an xwd dump of the root window.
std::optional<std::uint32_t> lf_screenPixel(const std::string& display, const std::filesystem::path& file, int x,
                                            int y) {
    const pid_t pid = lf_spawn({"xwd", "-root", "-silent", "-display", display, "-out", file.string()});
    int status = 0;
    const std::string d = pid > 0 && ::waitpid(pid, &status, 0) == pid && status == 0 ? readFile(file) : "";
    if (d.size() < 100 || lf_be32(d, 44) != 32) return std::nullopt;   // 32 bits per pixel
    const std::uint32_t headerSize = lf_be32(d, 0), byteOrder = lf_be32(d, 28), bytesPerLine = lf_be32(d, 48),
                        red = lf_be32(d, 56), green = lf_be32(d, 60), blue = lf_be32(d, 64), colours = lf_be32(d, 76);
    const std::size_t at = headerSize + colours * 12 + std::size_t(y) * bytesPerLine + std::size_t(x) * 4;
    if (at + 4 > d.size()) return std::nullopt;
    const std::uint32_t be = lf_be32(d, at), pixel = byteOrder != 0 ? be   // 0: least significant byte first
        : (be >> 24) | ((be >> 8) & 0xFF00) | ((be << 8) & 0xFF0000) | (be << 24);
    auto channel = [pixel](std::uint32_t mask) { return mask ? ((pixel & mask) >> std::countr_zero(mask)) & 0xFF : 0; };
    return (channel(red) << 16) | (channel(green) << 8) | channel(blue);
}

using FltkWindow = WindowTest;

TEST_F(FltkWindow, PaintsTheStatusBandAndDeliversClicksOnTheGuiThread) {
#ifndef VARNEL_HAVE_FLTK
    GTEST_SKIP() << "built without FLTK";
#else
    if (!lf_inPath("Xvfb") || !lf_inPath("xwd")) GTEST_SKIP() << "Xvfb or xwd is not installed";
    XServer server;
    ASSERT_FALSE(server.display.empty()) << "Xvfb did not start";
    ScopedEnv display("DISPLAY", server.display);
    ASSERT_TRUE(gf_fltkDisplayAvailable());

    const int probeX = window.frame().left + 600, probeY = window.frame().top + 470;   // in the status band, past any text
    const std::filesystem::path shot = dir() / "screen.xwd";
    gf_showError("gui test error");
    const bool logWas = LOG.get();

    std::optional<std::uint32_t> redSeen, greenSeen;
    std::thread::id commandThread;
    constexpr std::uint32_t kEscapeProbe = 1, kCloseProbe = 2;   // timers: an Escape key, then the close button
    std::atomic<int> closes{0};
    int closesAfterEscape = -1;
    std::thread driver([&] {
        auto waitFor = [&](std::uint32_t colour) -> std::optional<std::uint32_t> {
            std::optional<std::uint32_t> last;
            for (int i = 0; i < 150 && last != colour; ++i) {   // the X server needs its time to show it
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                last = lf_screenPixel(server.display, shot, probeX, probeY);
            }
            return last;
        };
        redSeen = waitFor(0xFF0000);
        window.userClicks(LOG.controlId);   // toggles LOG on the GUI thread
        gf_clearError();
        gf_showStatus("all well", false);
        greenSeen = waitFor(0x32CD32);
        window.post(ui::Message{ui::MessageKind::Timer, kEscapeProbe, 0});
        for (int i = 0; i < 1500 && closes.load() == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        window.post(ui::Message{ui::MessageKind::Quit, 0, 7});
    });
    const int rc = gf_runFltkMessageLoop(window, [&](const ui::Message& m) {
        if (m.kind == ui::MessageKind::Close) ++closes;
        if (m.kind == ui::MessageKind::Timer && m.code == kEscapeProbe) {
            Fl::e_keysym = FL_Escape;   // a key no widget takes, as FLTK delivers it to the window
            Fl::e_text = const_cast<char*>("\x1b");
            Fl::e_length = 1;
            Fl::handle(FL_KEYBOARD, Fl::first_window());
            window.post(ui::Message{ui::MessageKind::Timer, kCloseProbe, 0});   // after any Close it posted
        } else if (m.kind == ui::MessageKind::Timer && m.code == kCloseProbe) {
            closesAfterEscape = closes.load();
            Fl::e_number = FL_CLOSE;   // the window manager's close button
            Fl::first_window()->do_callback();
        }
        if (m.kind == ui::MessageKind::Command) commandThread = std::this_thread::get_id();
        if (m.kind == ui::MessageKind::Command) gf_onCommand(window, static_cast<std::uint16_t>(m.code));
    }, gf_paint);
    driver.join();

    EXPECT_EQ(closesAfterEscape, 0) << "Escape does not close the window";
    EXPECT_EQ(closes.load(), 1) << "the close button does";
    EXPECT_EQ(rc, 7) << "the Quit message's code";
    EXPECT_EQ(redSeen, std::optional<std::uint32_t>(0xFF0000)) << "an error paints the status band red";
    EXPECT_EQ(greenSeen, std::optional<std::uint32_t>(0x32CD32)) << "a status text on the green band";
    EXPECT_EQ(commandThread, std::this_thread::get_id()) << "commands run on the GUI thread";
    EXPECT_NE(LOG.get(), logWas) << "the click toggled the box";
#endif
}

}  // namespace
}  // namespace vrn::test
