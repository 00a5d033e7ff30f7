// The Win32 window of the model. The model stays the one truth: controls report what the user does
// through userTypes/userPressesKey/userClicks, and every change of the model (from any thread) posts
// one wake-up message, on which the GUI thread delivers the queued messages, brings the child windows
// in line with the model and invalidates what the model invalidated.
#if defined(_WIN32)
#include <windows.h>

#include "platform/ui/win32_backend.h"

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vrn::ui {
namespace {

constexpr UINT kWakeMessage = WM_APP + 16;   // the model changed; not one of the program's own 0x8001/0x8002
constexpr COLORREF kControlBackground = 0xFFCC99;
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU;   // fixed size: no sizing border, no min/max box
constexpr WORD kProgramIconResource = 100;   // ICON 100 in the program's resource script

// The image of the program's icon closest to the size the system uses for `widthMetric` and
// `heightMetric`; the system's program icon where the program has none. Not shared: a shared load
// hands back the first size loaded whatever size is asked. The class keeps both for the program's life.
HICON lf_programIcon(HINSTANCE instance, int widthMetric, int heightMetric) {
    if (HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconResource), IMAGE_ICON,
                                 GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR))
        return static_cast<HICON>(icon);
    return LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
}

// The font of dialogs, for the controls and the painted texts alike: the system's message font
// (Segoe UI 9 pt on Windows 10 and 11), or the stock GUI font where the system gives none. A window
// whose DC keeps its own default draws in the bold System font, in which the labels do not fit their
// places beside the controls. Made once; it lives as long as the program.
HFONT lf_dialogFont() {
    static const HFONT font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof(metrics);
        if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0))
            if (const HFONT message = CreateFontIndirectW(&metrics.lfMessageFont)) return message;
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }();
    return font;
}

std::wstring lf_wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string lf_windowText(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int n = GetWindowTextW(hwnd, text.data(), length + 1);
    if (n <= 0) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), n, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text.data(), n, out.data(), size, nullptr, nullptr);
    return out;
}

// The painter's surface on a paint DC; brushes and pens are made once per colour by the backend.
class GdiSurface : public PaintSurface {
public:
    GdiSurface(HDC dc, std::map<Colour, HBRUSH>& brushes, std::map<Colour, HPEN>& pens)
        : m_dc(dc), m_brushes(brushes), m_pens(pens), m_oldFont(SelectObject(dc, lf_dialogFont())) {
        SetBkMode(m_dc, TRANSPARENT);
    }
    ~GdiSurface() override { SelectObject(m_dc, m_oldFont); }
    GdiSurface(const GdiSurface&) = delete;
    GdiSurface& operator=(const GdiSurface&) = delete;
    void fillRect(const Rect& r, Colour c) override {
        const RECT rc{r.left, r.top, r.right, r.bottom};
        FillRect(m_dc, &rc, brush(c));
    }
    void polyline(const std::vector<Point>& points, Colour pen) override {
        if (points.size() < 2) return;
        std::vector<POINT> p;
        p.reserve(points.size());
        for (const Point& q : points) p.push_back(POINT{q.x, q.y});
        const HGDIOBJ old = SelectObject(m_dc, this->pen(pen));
        Polyline(m_dc, p.data(), static_cast<int>(p.size()));
        SelectObject(m_dc, old);
    }
    void textOut(int x, int y, const std::string& utf8, Colour c) override {
        const std::wstring text = lf_wide(utf8);   // text that is not UTF-8 is not drawn
        if (text.empty()) return;
        SetTextColor(m_dc, c);
        TextOutW(m_dc, x, y, text.c_str(), static_cast<int>(text.size()));
    }

private:
    HBRUSH brush(Colour c) {
        HBRUSH& b = m_brushes[c];
        if (!b) b = CreateSolidBrush(c);
        return b;
    }
    HPEN pen(Colour c) {
        HPEN& p = m_pens[c];
        if (!p) p = CreatePen(PS_SOLID, 1, c);
        return p;
    }
    HDC m_dc;
    std::map<Colour, HBRUSH>& m_brushes;
    std::map<Colour, HPEN>& m_pens;
    HGDIOBJ m_oldFont;
};

class Backend {
public:
    Backend(Window& model, const std::function<void(const Message&)>& wndProc, PaintProcedure paint)
        : m_model(model), m_wndProc(wndProc), m_paint(std::move(paint)) {}

    ~Backend() {
        m_model.setChangeListener({});
        if (m_hwnd) DestroyWindow(m_hwnd);
        for (auto& [colour, brush] : m_brushes) DeleteObject(brush);
        for (auto& [colour, pen] : m_pens) DeleteObject(pen);
    }

    std::optional<int> run() {
        if (!create()) return std::nullopt;
        // The listener may still run on another thread while this object ends: it holds only what it
        // needs (a message to a gone window is dropped by Windows).
        HWND hwnd = m_hwnd;
        std::shared_ptr<std::atomic<bool>> pending = m_wakePending;
        m_model.setChangeListener([pending, hwnd] {
            if (!pending->exchange(true)) PostMessageW(hwnd, kWakeMessage, 0, 0);
        });
        turn();
        ShowWindow(m_hwnd, SW_SHOW);
        UpdateWindow(m_hwnd);
        MSG msg;
        while (!m_quit) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got == 0 || got == -1) {   // WM_QUIT: the window was destroyed by other means
                m_exitCode = got == 0 ? static_cast<int>(msg.wParam) : 1;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return m_exitCode;
    }

private:
    bool create() {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        m_className = lf_wide(m_model.title());
        if (m_className.empty()) m_className = L"Window";
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = &Backend::windowProc;
        wc.hInstance = instance;
        // The program's icon, resource 100 of Varnel.exe, in its own image of each size: the small one
        // for the title bar and the taskbar, not the large one shrunk. A program without one (a test)
        // shows the system's.
        wc.hIcon = lf_programIcon(instance, SM_CXICON, SM_CYICON);
        wc.hIconSm = lf_programIcon(instance, SM_CXSMICON, SM_CYSMICON);
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = m_className.c_str();
        RegisterClassExW(&wc);   // a second run in the same process finds the class registered
        const Rect frame = m_model.frame();
        m_hwnd = CreateWindowExW(0, m_className.c_str(), m_className.c_str(), kWindowStyle, frame.left, frame.top,
                                 frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr, instance, this);
        return m_hwnd != nullptr;
    }

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* cs = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
        }
        auto* self = reinterpret_cast<Backend*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        return self ? self->handle(hwnd, message, wParam, lParam) : DefWindowProcW(hwnd, message, wParam, lParam);
    }

    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case kWakeMessage:
            turn();
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT ps;
            const HDC dc = BeginPaint(hwnd, &ps);
            if (m_paint) {
                GdiSurface surface(dc, m_brushes, m_pens);
                m_paint(surface, Rect{ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right, ps.rcPaint.bottom});
            }
            EndPaint(hwnd, &ps);
            return 0;
        }
        case WM_CLOSE:   // asks the program; it ends (or not) through its own messages
            m_model.post(Message{MessageKind::Close, 0, 0});
            return 0;
        case WM_DESTROY:
            m_hwnd = nullptr;
            if (!m_quit) PostQuitMessage(0);
            return 0;
        case WM_MOVE: {
            RECT r;
            if (GetWindowRect(hwnd, &r)) m_model.move(r.left, r.top);   // a minimised window reports -32000
            return 0;
        }
        case WM_COMMAND:
            if (lParam != 0 && onControl(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC: {
            const HDC dc = reinterpret_cast<HDC>(wParam);
            SetBkMode(dc, OPAQUE);
            SetBkColor(dc, kControlBackground);
            return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
        }
        default:
            break;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    bool onControl(WORD id, WORD code, HWND control) {
        const auto state = m_model.control(id);
        if (!state) return false;
        if (state->kind == ControlKind::Edit) {
            if (code != EN_CHANGE || m_syncing) return false;
            std::string text = lf_windowText(control);
            m_shownText[id] = text;
            m_model.userTypes(id, text);
            return true;
        }
        if (code != BN_CLICKED) return false;
        m_model.userClicks(id);   // a check box does not toggle itself: its command does, through the model
        return true;
    }

    // Enter in an edit field goes to the field's handler and never reaches the edit (no beep).
    static LRESULT CALLBACK editProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Backend*>(GetWindowLongPtrW(edit, GWLP_USERDATA));
        const auto previous = self->m_previousProcs[edit];
        if (message == WM_CHAR && wParam == VK_RETURN) {
            self->m_model.userPressesKey(static_cast<std::uint16_t>(GetDlgCtrlID(edit)), Key::Enter);
            return 0;
        }
        return CallWindowProcW(previous, edit, message, wParam, lParam);
    }

    void turn() {
        m_wakePending->store(false);
        while (!m_quit) {
            const std::optional<Message> m = m_model.tryGet();
            if (!m) break;
            if (m->kind == MessageKind::Quit) {
                m_quit = true;
                m_exitCode = static_cast<int>(m->param);
                break;
            }
            m_wndProc(*m);
        }
        if (!m_hwnd) return;
        syncControls();
        const bool topMost = m_model.isTopMost();
        if (topMost != m_topMost) {
            m_topMost = topMost;
            SetWindowPos(m_hwnd, topMost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
        for (const Rect& r : m_model.takeInvalidated()) {
            const RECT rc{r.left, r.top, r.right, r.bottom};
            InvalidateRect(m_hwnd, &rc, TRUE);
        }
    }

    // Child windows follow the model: new controls appear; texts, checks and enabled states are copied.
    void syncControls() {
        m_syncing = true;
        for (const ControlState& c : m_model.controls()) {
            HWND& control = m_controls[c.id];
            if (!control) control = makeControl(c);
            if (!control) continue;
            if (c.kind != ControlKind::CheckBox) {
                auto shown = m_shownText.find(c.id);
                if (shown == m_shownText.end() || shown->second != c.text) {
                    SetWindowTextW(control, lf_wide(c.text).c_str());
                    m_shownText[c.id] = c.text;
                }
            } else if ((SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) != c.checked) {
                SendMessageW(control, BM_SETCHECK, c.checked ? BST_CHECKED : BST_UNCHECKED, 0);
            }
            if ((IsWindowEnabled(control) != FALSE) != c.enabled) EnableWindow(control, c.enabled ? TRUE : FALSE);
        }
        m_syncing = false;
    }

    HWND makeControl(const ControlState& c) {
        const wchar_t* cls = L"button";
        DWORD style = WS_CHILD | WS_VISIBLE;
        std::wstring caption;
        switch (c.kind) {
        case ControlKind::CheckBox:
            style |= BS_CHECKBOX;
            break;
        case ControlKind::Button:
            style |= BS_DEFPUSHBUTTON;
            caption = lf_wide(c.text);
            break;
        case ControlKind::Edit:
            cls = L"Edit";
            style |= WS_BORDER;
            break;
        }
        const HWND control = CreateWindowExW(0, cls, caption.c_str(), style, c.rect.left, c.rect.top,
                                             c.rect.right - c.rect.left, c.rect.bottom - c.rect.top, m_hwnd,
                                             reinterpret_cast<HMENU>(static_cast<UINT_PTR>(c.id)),
                                             GetModuleHandleW(nullptr), nullptr);
        if (!control) return nullptr;
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(lf_dialogFont()), FALSE);
        if (c.kind == ControlKind::Button) m_shownText[c.id] = c.text;
        if (c.kind == ControlKind::Edit) {
            SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
            m_previousProcs[control] = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Backend::editProc)));
        }
        return control;
    }

    Window& m_model;
    const std::function<void(const Message&)>& m_wndProc;
    PaintProcedure m_paint;
    std::wstring m_className;
    HWND m_hwnd = nullptr;
    std::map<std::uint16_t, HWND> m_controls;
    std::map<std::uint16_t, std::string> m_shownText;
    std::map<HWND, WNDPROC> m_previousProcs;
    std::map<Colour, HBRUSH> m_brushes;
    std::map<Colour, HPEN> m_pens;
    std::shared_ptr<std::atomic<bool>> m_wakePending = std::make_shared<std::atomic<bool>>(false);
    bool m_syncing = false;
    bool m_topMost = false;
    bool m_quit = false;
    int m_exitCode = 0;
};

}  // namespace

std::optional<int> gf_runWin32MessageLoop(Window& window, const std::function<void(const Message&)>& wndProc,
                                          PaintProcedure paint) {
    Backend backend(window, wndProc, std::move(paint));
    return backend.run();
}

}  // namespace vrn::ui
#endif
