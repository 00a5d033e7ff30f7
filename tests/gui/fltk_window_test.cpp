// The real window on a private X server: the painted status band has the right colour on screen, a
// click posted through the model reaches the window procedure on the GUI thread, and only the close
// button (never the Escape key) asks the program to close.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
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
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:libX11\nleak:libXft\nleak:libfltk\n";
}

namespace vrn::test {
namespace {

bool lf_inPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');)
        if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    return false;
}

pid_t lf_spawn(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    return pid;
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
        if (!number.empty()) m_display = ":" + number;
    }
    ~XServer() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    const std::string& display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

std::uint32_t lf_be32(const std::string& d, std::size_t at) {
    return (std::uint32_t(std::uint8_t(d[at])) << 24) | (std::uint32_t(std::uint8_t(d[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(d[at + 2])) << 8) | std::uint32_t(std::uint8_t(d[at + 3]));
}

int lf_shift(std::uint32_t mask) {
    int s = 0;
    while (mask != 0 && (mask & 1u) == 0) {
        mask >>= 1;
        ++s;
    }
    return s;
}

// The screen's colour (0xRRGGBB) at (x, y), read from an xwd dump of the root window.
std::optional<std::uint32_t> lf_screenPixel(const std::string& display, const std::filesystem::path& file, int x,
                                            int y) {
    const pid_t pid = lf_spawn({"xwd", "-root", "-silent", "-display", display, "-out", file.string()});
    int status = 0;
    if (pid <= 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    const std::string d = readFile(file);
    if (d.size() < 100) return std::nullopt;
    const std::uint32_t headerSize = lf_be32(d, 0), byteOrder = lf_be32(d, 28), bitsPerPixel = lf_be32(d, 44),
                        bytesPerLine = lf_be32(d, 48), red = lf_be32(d, 56), green = lf_be32(d, 60),
                        blue = lf_be32(d, 64), colours = lf_be32(d, 76);
    if (bitsPerPixel != 32) return std::nullopt;
    const std::size_t at = headerSize + colours * 12 + std::size_t(y) * bytesPerLine + std::size_t(x) * 4;
    if (at + 4 > d.size()) return std::nullopt;
    std::uint32_t pixel = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint32_t byte = std::uint8_t(d[at + i]);
        pixel |= byteOrder == 0 ? byte << (8 * i) : byte << (8 * (3 - i));   // 0: least significant first
    }
    auto channel = [pixel](std::uint32_t mask) { return ((pixel & mask) >> lf_shift(mask)) & 0xFF; };
    return (channel(red) << 16) | (channel(green) << 8) | channel(blue);
}

using FltkWindow = WindowTest;

TEST_F(FltkWindow, PaintsTheStatusBandAndDeliversClicksOnTheGuiThread) {
#ifndef VARNEL_HAVE_FLTK
    GTEST_SKIP() << "built without FLTK";
#else
    if (!lf_inPath("Xvfb") || !lf_inPath("xwd")) GTEST_SKIP() << "Xvfb or xwd is not installed";
    XServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    ScopedEnv display("DISPLAY", server.display());
    ASSERT_TRUE(gf_fltkDisplayAvailable());

    const ui::Rect frame = window.frame();
    const int probeX = frame.left + 600, probeY = frame.top + 470;   // inside the status band, right of any text
    const std::filesystem::path shot = dir() / "screen.xwd";
    gf_showError("gui test error");
    const bool logWas = LOG.get();

    std::optional<std::uint32_t> redSeen, greenSeen;
    std::thread::id commandThread;
    // Timer messages the driver posts to act on the GUI thread: an Escape key, then the close button.
    constexpr std::uint32_t kEscapeProbe = 1, kCloseProbe = 2;
    std::atomic<int> closes{0};
    int closesAfterEscape = -1;
    std::thread driver([&] {
        auto waitFor = [&](std::uint32_t colour) -> std::optional<std::uint32_t> {
            std::optional<std::uint32_t> last;
            for (int i = 0; i < 150 && last != colour; ++i) {   // the X server needs its time to show it
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                last = lf_screenPixel(server.display(), shot, probeX, probeY);
            }
            return last;
        };
        redSeen = waitFor(0xFF0000);
        window.userClicks(LOG.controlId);
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
            // An Escape key that no widget takes, as FLTK delivers it to the window.
            Fl::e_keysym = FL_Escape;
            Fl::e_text = const_cast<char*>("\x1b");
            Fl::e_length = 1;
            Fl::handle(FL_KEYBOARD, Fl::first_window());
            window.post(ui::Message{ui::MessageKind::Timer, kCloseProbe, 0});   // after any Close it posted
        } else if (m.kind == ui::MessageKind::Timer && m.code == kCloseProbe) {
            closesAfterEscape = closes.load();
            Fl::e_number = FL_CLOSE;   // the window manager's close button
            Fl::first_window()->do_callback();
        }
        if (m.kind != ui::MessageKind::Command) return;
        commandThread = std::this_thread::get_id();
        gf_onCommand(window, static_cast<std::uint16_t>(m.code));
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
