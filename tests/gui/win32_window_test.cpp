// Windows: the window model shown as a real Win32 window (under Wine on an X server of its own). A
// second thread acts as the user through the controls' own messages; the model, the check box and the
// edit on screen, the stay-on-top style and the painted status band must follow.
#if defined(_WIN32)
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/ui/win32_backend.h"

namespace vrn::ui {
namespace {

constexpr std::uint16_t kBox = 0x800B, kEdit = 0x8034, kButton = 0x8046;
constexpr Colour kRed = 0x0000FF, kGreen = 0x32CD32;

// Polls up to `seconds`: the GUI thread answers asynchronously.
template <typename F>
bool lf_eventually(F condition, int seconds = 10) {
    for (int i = 0; i < seconds * 100; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// Width in pixels of the icon the window class keeps in `slot` (GCLP_HICON or GCLP_HICONSM).
int lf_classIconWidth(HWND hwnd, int slot) {
    ICONINFO info{};
    if (!GetIconInfo(reinterpret_cast<HICON>(GetClassLongPtrW(hwnd, slot)), &info)) return 0;
    BITMAP bitmap{};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

std::wstring lf_text(HWND hwnd) {
    wchar_t buffer[64] = {};
    GetWindowTextW(hwnd, buffer, 64);
    return buffer;
}

TEST(Win32Window, ControlsPaintingAndCloseGoThroughTheModel) {
    // A desktop of this test's own: under Wine a new desktop is shown on this process's X display even
    // when the prefix's default desktop was made without one, and windows of other processes stay apart.
    const std::string title = "VarnelWindowTest" + std::to_string(GetCurrentProcessId());
    const std::wstring wideTitle(title.begin(), title.end());
    const HDESK desktop = CreateDesktopW(wideTitle.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    ASSERT_NE(desktop, nullptr);
    ASSERT_TRUE(SetThreadDesktop(desktop));
    Window window;
    window.create(title, 40, 30, 880, 516);
    window.createControl(ControlKind::CheckBox, kBox, {652, 177, 664, 189}, "", true);
    window.createControl(ControlKind::Edit, kEdit, {217, 287, 317, 303}, "", true);
    window.createControl(ControlKind::Button, kButton, {758, 369, 848, 389}, "Re-read", true);
    std::vector<std::string> entered;
    window.setEditKeyHandler(kEdit, [&entered](Window& w, std::uint16_t id, Key key) {
        if (key != Key::Enter) return false;
        entered.push_back(w.text(id));
        w.setText(id, "EGLL");   // what the program shows after applying a value
        return true;
    });
    std::atomic<bool> error{false};
    const auto paint = [&error](PaintSurface& surface, const Rect&) {
        surface.fillRect({0, 448, 880, 476}, error ? kRed : kGreen);
        surface.textOut(3, 455, "status \xC3\xBC", 0x00FFFF);
    };

    const std::thread::id gui = std::this_thread::get_id();
    std::vector<std::uint32_t> commands;
    std::atomic<bool> commandOffGuiThread{false};
    std::atomic<int> buttonClicks{0}, closes{0};
    const auto wndProc = [&](const Message& m) {
        if (m.kind == MessageKind::Command) {
            if (std::this_thread::get_id() != gui) commandOffGuiThread = true;
            if (m.code == kBox) window.setChecked(kBox, !window.isChecked(kBox));
            if (m.code == kButton) ++buttonClicks;
        }
        if (m.kind == MessageKind::Close && ++closes == 1) window.post(Message{MessageKind::Quit, 0, 7});
    };

    struct Seen {
        HWND main = nullptr;
        LRESULT checkAfterClick = -1;
        std::wstring editShown;
        bool topMost = false;
        COLORREF before = CLR_INVALID, after = CLR_INVALID;
        int largeIcon = 0, smallIcon = 0;
    } seen;
    std::atomic<bool> loopEnded{false};
    std::thread user([&] {
        SetThreadDesktop(desktop);
        lf_eventually([&] {
            return loopEnded || (seen.main = FindWindowW(nullptr, wideTitle.c_str())) != nullptr;
        });
        if (!seen.main) {
            window.post(Message{MessageKind::Quit, 0, -1});
            return;
        }
        // The status band on screen. The first paint waits for Wine's fonts, which may take a while.
        const auto pixel = [&] {
            const HDC dc = GetDC(seen.main);
            const COLORREF c = GetPixel(dc, 600, 470);
            ReleaseDC(seen.main, dc);
            return c;
        };
        lf_eventually([&] { return pixel() == kGreen; }, 120);
        seen.before = pixel();

        seen.largeIcon = lf_classIconWidth(seen.main, GCLP_HICON);
        seen.smallIcon = lf_classIconWidth(seen.main, GCLP_HICONSM);
        const HWND box = GetDlgItem(seen.main, kBox), edit = GetDlgItem(seen.main, kEdit);
        // What a button tells its parent when it is clicked (a simulated mouse click depends on focus).
        const auto click = [&](std::uint16_t id) {
            SendMessageW(seen.main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(seen.main, id)));
        };
        click(kButton);
        click(kBox);
        lf_eventually([&] { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; });
        seen.checkAfterClick = SendMessageW(box, BM_GETCHECK, 0, 0);
        for (wchar_t c : std::wstring(L"egll")) SendMessageW(edit, WM_CHAR, c, 0);
        SendMessageW(edit, WM_CHAR, VK_RETURN, 0);
        lf_eventually([&] { return lf_text(edit) == L"EGLL"; });
        seen.editShown = lf_text(edit);

        window.setTopMost(true);
        lf_eventually([&] { return (GetWindowLongW(seen.main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; });
        seen.topMost = (GetWindowLongW(seen.main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;

        // Repainted when the model invalidates it with a new colour.
        error = true;
        window.invalidate({0, 448, 880, 476}, true);
        lf_eventually([&] { return pixel() == kRed; });
        seen.after = pixel();

        PostMessageW(seen.main, WM_CLOSE, 0, 0);   // the title bar's close button
    });
    const std::optional<int> rc = gf_runWin32MessageLoop(window, wndProc, paint);
    loopEnded = true;
    user.join();
    CloseDesktop(desktop);
    if (!rc) GTEST_SKIP() << "no window could be created (no display)";

    ASSERT_NE(seen.main, nullptr);
    EXPECT_EQ(*rc, 7);
    EXPECT_EQ(closes.load(), 1);
    EXPECT_EQ(buttonClicks.load(), 1);
    EXPECT_FALSE(commandOffGuiThread.load());
    EXPECT_TRUE(window.isChecked(kBox));
    EXPECT_EQ(seen.checkAfterClick, BST_CHECKED);
    EXPECT_EQ(entered, std::vector<std::string>{"egll"});
    EXPECT_EQ(window.text(kEdit), "EGLL");
    EXPECT_EQ(seen.editShown, L"EGLL");
    EXPECT_TRUE(seen.topMost);
    EXPECT_EQ(seen.before, kGreen);
    EXPECT_EQ(seen.after, kRed);
    EXPECT_EQ(window.frame().left, 40);   // the window where the model put it
    // The title bar's icon is the program icon's own small image, not the large one shrunk.
    EXPECT_EQ(seen.largeIcon, GetSystemMetrics(SM_CXICON));
    EXPECT_EQ(seen.smallIcon, GetSystemMetrics(SM_CXSMICON));
}

}  // namespace
}  // namespace vrn::ui
#endif
