#pragma once
// The program's one window, as a model the rest of the code talks to: a thread-safe message queue,
// child controls addressed by id (check box, edit field, push button) and invalidated rectangles
// that the painter redraws on the GUI thread. A backend (headless, or a real FLTK window) shows it.
// Calls from non-GUI threads only change the model or post; they never wait for the GUI thread.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vrn::ui {

using Colour = std::uint32_t;   // 0x00BBGGRR, as the Windows COLORREF

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const Rect&) const = default;
};
struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};

enum class ControlKind { CheckBox, Edit, Button };

struct ControlState {
    ControlKind kind = ControlKind::Button;
    std::uint16_t id = 0;
    Rect rect;
    std::string text;      // caption of a button, text of an edit field (UTF-8)
    bool checked = false;
    bool enabled = false;
    bool focused = false;
};

// A child control as its owner holds it: its id in the window, 0 until created.
struct ControlHandle {
    std::uint16_t id = 0;
    explicit operator bool() const { return id != 0; }
};

// Messages of the queue. Commands carry a control id; private messages 0x8001/0x8002 start a run
// and end the program.
enum class MessageKind { Command, Private, Close, Timer, Quit };
struct Message {
    MessageKind kind = MessageKind::Command;
    std::uint32_t code = 0;   // control id or private message number
    std::int64_t param = 0;
};
// What asked a Close message to close the window (its code): the window's own close button, the
// user's stop request to a console program (Ctrl-C, a stop signal), or the run time given running out.
inline constexpr std::uint32_t CLOSE_BUTTON = 0;
inline constexpr std::uint32_t CLOSE_STOP_REQUEST = 1;
inline constexpr std::uint32_t CLOSE_RUN_TIME_OVER = 2;
inline constexpr std::uint32_t WM_START_RUN = 0x8001;
inline constexpr std::uint32_t WM_FINAL_EXIT = 0x8002;

// Keys an edit field's subclass handler sees first; return true when handled.
enum class Key { Enter, Tab, Escape, Other };
class Window;
using EditKeyHandler = std::function<bool(Window& window, std::uint16_t controlId, Key key)>;

// Everything the painter can draw.
class PaintSurface;
// Paints the whole window on a surface; `area` is the part to be redrawn (the surface clips to it).
// The program's painter is handed to a backend, because it lives above the platform layer.
using PaintProcedure = std::function<void(PaintSurface& surface, const Rect& area)>;

class PaintSurface {
public:
    virtual ~PaintSurface() = default;
    virtual void fillRect(const Rect& r, Colour c) = 0;
    virtual void polyline(const std::vector<Point>& points, Colour pen) = 0;
    virtual void textOut(int x, int y, const std::string& utf8, Colour c) = 0;
};

// A surface that records every call, for tests and for the headless backend.
class RecordingSurface : public PaintSurface {
public:
    struct Fill { Rect rect; Colour colour; };
    struct Line { std::vector<Point> points; Colour colour; };
    struct Text { int x; int y; std::string text; Colour colour; };

    void fillRect(const Rect& r, Colour c) override { fills.push_back({r, c}); }
    void polyline(const std::vector<Point>& p, Colour c) override { lines.push_back({p, c}); }
    void textOut(int x, int y, const std::string& t, Colour c) override { texts.push_back({x, y, t, c}); }
    void clear() { fills.clear(); lines.clear(); texts.clear(); }
    // The texts drawn, in order; handy for assertions.
    std::vector<std::string> textList() const;

    std::vector<Fill> fills;
    std::vector<Line> lines;
    std::vector<Text> texts;
};

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Creation and geometry.
    void create(const std::string& title, int x, int y, int width, int height);
    bool isCreated() const;
    std::string title() const;
    Rect frame() const;
    void move(int x, int y);
    void setTopMost(bool on);
    bool isTopMost() const;

    // Child controls.
    ControlHandle createControl(ControlKind kind, std::uint16_t id, const Rect& rect, const std::string& text,
                                bool enabled);
    bool hasControl(std::uint16_t id) const;
    std::optional<ControlState> control(std::uint16_t id) const;
    std::vector<ControlState> controls() const;
    void setText(std::uint16_t id, const std::string& text);
    std::string text(std::uint16_t id) const;
    void setChecked(std::uint16_t id, bool checked);
    bool isChecked(std::uint16_t id) const;
    void enable(std::uint16_t id, bool enabled);
    bool isEnabled(std::uint16_t id) const;
    void setFocus(std::uint16_t id);
    void setEditKeyHandler(std::uint16_t id, EditKeyHandler handler);
    // What the user does (backends and tests): typing replaces the text, a key goes to the
    // subclass handler first, a click posts the command.
    void userTypes(std::uint16_t id, const std::string& text);
    bool userPressesKey(std::uint16_t id, Key key);
    void userClicks(std::uint16_t id);

    // Message queue.
    void post(const Message& m);
    std::optional<Message> tryGet();
    // Waits at most `timeoutMs` for a message (negative: forever).
    std::optional<Message> waitGet(int timeoutMs);

    // Invalidation: rectangles waiting to be repainted, and the count of invalidations made.
    void invalidate(const Rect& r, bool erase);
    std::vector<Rect> takeInvalidated();
    std::uint64_t invalidationCount() const;

    // Called after every change a backend shows (a message posted, an invalidation, a control created
    // or changed, the stay-on-top state), on the changing thread and without the model's lock, so a
    // backend can wake its GUI thread instead of polling. Empty: none.
    void setChangeListener(std::function<void()> listener);

private:
    void notifyChange();

    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_created = false;
    bool m_topMost = false;
    std::string m_title;
    Rect m_frame;
    std::map<std::uint16_t, ControlState> m_controls;
    std::map<std::uint16_t, EditKeyHandler> m_editHandlers;
    std::deque<Message> m_queue;
    std::vector<Rect> m_invalid;
    std::uint64_t m_invalidations = 0;
    std::function<void()> m_changeListener;
};

}  // namespace vrn::ui
