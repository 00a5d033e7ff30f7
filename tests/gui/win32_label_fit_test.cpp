// Windows: the program's own window under Wine (on an X server of its own), measured in the font its
// controls carry. Every label the painter draws must end before the next control, label or line on its
// row, and every button's caption must fit inside the button, with the longest texts each can show.
#if defined(_WIN32)
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "airports/airport_list.h"
#include "airports/airport_scan.h"
#include "app/controls_test_fixture.h"
#include "app/main_window.h"
#include "app/painting.h"
#include "app/scan_drivers.h"
#include "core/exceptions.h"
#include "platform/ui/win32_backend.h"
#include "records/stand_records.h"
#include "support/test_support.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {
namespace {

constexpr int kGap = 2;   // a label that touches its neighbour reads as one word with it

struct Obstacle {
    ui::Rect rect;
    std::string what;
};

std::wstring lf_wide(const std::string& s) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

class LabelFit : public WindowTest {
protected:
    void TearDown() override {
        MainWindow& w = g_mainWindow;
        w.g_realTrafficLinkUp = w.g_parkAirportOk = w.g_staticSwitchPending = false;
        w.g_trafficStatus = w.g_weatherStatus = 3;
        w.g_qnh = w.g_maxParkCount = w.g_liveryCount = w.g_simaddonCount = w.g_thirdpartyCount = 0;
        w.g_liveAverageFit = w.g_staticAverageFit = -1.0f;
        g_parkingBusy = false;
        g_apfLoaded = false;
        g_offlineLearningCount = 0;
        g_reservedStand.set("");
        {
            std::lock_guard lock(g_standsMutex);
            g_parkAirport = Airport{};
        }
        gf_clearError();
        WindowTest::TearDown();
    }

    // The texts of the errors whose lines name the user's guide: they are the longest the status line shows.
    std::vector<std::string> folderErrors() {
        std::vector<std::string> errors;
        const std::function<void()> raise[] = {
            [] { LIG_AUTOMATIC.set(false), gf_scanLiveriesStep(true); },
            [] { AFG_AUTOMATIC.set(false), gf_scanAirportsStep(); },
            [] { AFG_AUTOMATIC.set(false), afolder9.set("D:/fs-base-genericairports"), gf_scanAirportsStep(); },
        };
        for (const auto& f : raise) {
            try {
                f();
            } catch (const UserErrorException& e) {
                errors.emplace_back(e.what());
            }
        }
        return errors;
    }

    // Every text the painter draws, paint by paint, in the states that draw the longest variant of each.
    std::vector<std::vector<ui::RecordingSurface::Text>> paintedTexts() {
        MainWindow& w = g_mainWindow;
        w.g_liveryCount = 123456;
        w.g_simaddonCount = w.g_thirdpartyCount = 9999;
        w.g_simaddonOk = true;
        w.g_realTrafficLinkUp = true;
        w.g_realTrafficText.set("");
        w.g_trafficStatus = w.g_weatherStatus = 2;
        w.g_qnh = 1013;
        w.g_liveCount = 300;
        g_offlineLearningCount = 88;
        {
            std::lock_guard lock(g_standsMutex);
            g_parkAirport = Airport{};
            g_parkAirport.code = "EGLL";
            g_parkAirport.iata = "LHR";
        }
        w.g_parkAirportOk = w.g_staticSwitchPending = true;
        w.g_parkAirportName.set(""), w.g_parkFileSource.set("");   // names are the airport's, of any length
        w.g_parkQualityText.set("100/100");
        g_reservedStand.set("512R");
        w.g_updateCount = 9999;
        w.g_standCount = w.g_parkedLiveCount = w.g_parkedStaticCount = w.g_maxParkCount = 999;
        w.g_liveAverageFit = w.g_staticAverageFit = 23.5f;
        parking_percentage.set(100);
        WEEK.set(false);

        std::vector<std::vector<ui::RecordingSurface::Text>> paints;
        const auto paint = [&paints] {
            ui::RecordingSurface s;
            gf_paint(s, gf_bandRect(Band::Settings));
            paints.emplace_back();
            for (const auto& t : s.texts)
                if (!t.text.empty()) paints.back().push_back(t);
        };
        g_parkingBusy = true;   // "Airport static parking active:"
        paint();
        g_parkingBusy = false;   // "Airport parking:" and "(in 19 min)"
        g_apfLoaded = true;
        INITIAL_LOAD_ONLY.set(false);
        w.g_renewalMinutes = 19;
        paint();
        for (const std::string& error : folderErrors()) {
            gf_showError(error);
            paint();
            gf_clearError();
        }
        return paints;
    }
};

TEST_F(LabelFit, EveryLabelFitsItsPlaceInTheFontOfTheWindowsControls) {
    const std::vector<std::vector<ui::RecordingSurface::Text>> paints = paintedTexts();
    ASSERT_EQ(paints.size(), 5u);
    ASSERT_GT(paints.front().size(), 60u);

    const std::string title = "Varnel";   // the fixture's window; alone on a desktop of this test's own
    const std::wstring desktopName = L"VarnelLabelFit" + std::to_wstring(GetCurrentProcessId());
    const HDESK desktop = CreateDesktopW(desktopName.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(desktop, nullptr);
    ASSERT_TRUE(SetThreadDesktop(desktop));

    struct Found {
        bool window = false;
        int controlsWithoutTheFont = -1;
        int fontHeight = 0;
        std::vector<std::string> misfits;
        int clientRight = 0;
        int leastRoom = 1 << 20;
        std::string tightest;
    } found;
    const auto wndProc = [this](const ui::Message& m) {
        if (m.kind == ui::MessageKind::Close) window.post(ui::Message{ui::MessageKind::Quit, 0, 0});
    };
    std::atomic<bool> loopEnded{false};
    std::thread user([&] {
        SetThreadDesktop(desktop);
        HWND main = nullptr;
        const HWND lastControl = [&] {
            HWND control = nullptr;
            eventually([&] {
                main = FindWindowW(nullptr, lf_wide(title).c_str());
                control = main ? GetDlgItem(main, REREAD_BUTTON.controlId) : nullptr;
                return loopEnded || control != nullptr;
            });
            return control;
        }();
        if (!lastControl) {
            window.post(ui::Message{ui::MessageKind::Quit, 0, -1});
            return;
        }
        found.window = true;
        const auto font = reinterpret_cast<HFONT>(SendMessageW(lastControl, WM_GETFONT, 0, 0));
        found.controlsWithoutTheFont = 0;
        for (const ui::ControlState& c : window.controls())
            if (reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(main, c.id), WM_GETFONT, 0, 0)) != font || !font)
                ++found.controlsWithoutTheFont;
        RECT client{};
        GetClientRect(main, &client);
        found.clientRight = client.right;

        const HDC dc = GetDC(main);
        const HGDIOBJ old = SelectObject(dc, font);
        const auto extent = [dc](const std::string& text) {
            const std::wstring w = lf_wide(text);
            SIZE size{};
            GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
            return size;
        };
        found.fontHeight = extent("Xg").cy;

        // What a label must not run into: the controls, the starts of the other labels of the same paint,
        // the settings band's vertical line and the two link boxes.
        std::vector<Obstacle> fixed;
        for (const ui::ControlState& c : window.controls()) fixed.push_back({c.rect, "control " + std::to_string(c.id)});
        fixed.push_back({{642, 168, 643, 364}, "the settings band's line"});
        fixed.push_back({{397, 30, 425, 112}, "the Sim box"});
        fixed.push_back({{425, 30, 453, 112}, "the RT box"});
        for (const auto& texts : paints) {
            std::vector<Obstacle> obstacles = fixed;
            for (const auto& t : texts) obstacles.push_back({{t.x, t.y, t.x + 1, t.y + found.fontHeight}, "\"" + t.text + "\""});
            for (const auto& t : texts) {
                const SIZE size = extent(t.text);
                int limit = client.right;
                std::string next = "the window's edge";
                for (const Obstacle& o : obstacles) {
                    const bool sameRow = o.rect.top < t.y + size.cy && t.y < o.rect.bottom;
                    if (sameRow && o.rect.left > t.x && o.rect.left < limit) limit = o.rect.left, next = o.what;
                }
                if (limit - t.x - size.cx < found.leastRoom)
                    found.leastRoom = limit - t.x - size.cx, found.tightest = t.text + " before " + next;
                if (t.x + size.cx + kGap > limit)
                    found.misfits.push_back("\"" + t.text + "\" at " + std::to_string(t.x) + " is " + std::to_string(size.cx) +
                                            " wide and runs into " + next + " at " + std::to_string(limit));
            }
        }
        for (const ui::ControlState& c : window.controls()) {
            if (c.kind != ui::ControlKind::Button) continue;
            const SIZE size = extent(c.text);
            // A push button keeps a few pixels of frame and focus mark around its caption.
            if (size.cx + 8 > c.rect.right - c.rect.left || size.cy + 4 > c.rect.bottom - c.rect.top)
                found.misfits.push_back("button \"" + c.text + "\" needs " + std::to_string(size.cx + 8) + " x " +
                                        std::to_string(size.cy + 4));
        }
        SelectObject(dc, old);
        ReleaseDC(main, dc);
        PostMessageW(main, WM_CLOSE, 0, 0);
    });
    const std::optional<int> rc = ui::gf_runWin32MessageLoop(window, wndProc, &gf_paint);
    loopEnded = true;
    user.join();
    CloseDesktop(desktop);
    if (!rc) GTEST_SKIP() << "no window could be created (no display)";
    ASSERT_TRUE(found.window);
    EXPECT_EQ(found.controlsWithoutTheFont, 0) << "every control carries the window's font";
    // The bold System font a window has by default is 16 pixels high: the labels' rows leave 28.
    EXPECT_GT(found.fontHeight, 0);
    EXPECT_LT(found.fontHeight, 16);
    EXPECT_GT(found.clientRight, 860);
    for (const std::string& misfit : found.misfits) ADD_FAILURE() << misfit;
    std::printf("font %d px high; least room %d px: \"%s\"\n", found.fontHeight, found.leastRoom, found.tightest.c_str());
}

}  // namespace
}  // namespace vrn::test
#endif
