// FLTK backend of the window model. The model stays the one truth: widgets report what the user does
// through userTypes/userPressesKey/userClicks, and a short timer on the GUI thread delivers queued
// messages, brings the widgets in line with the model and repaints what was invalidated.
#include "platform/ui/fltk/fltk_backend.h"

#include <FL/Fl.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Widget.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>

namespace vrn {

namespace {

constexpr double kPollSeconds = 0.02;
constexpr int kFontSize = 12;

Fl_Color lf_colour(ui::Colour c) {
    // COLORREF keeps red in the low byte.
    return fl_rgb_color(static_cast<uchar>(c & 0xFF), static_cast<uchar>((c >> 8) & 0xFF),
                        static_cast<uchar>((c >> 16) & 0xFF));
}

// The painter's surface on the current FLTK drawing context.
class FltkSurface : public ui::PaintSurface {
public:
    void fillRect(const ui::Rect& r, ui::Colour c) override {
        fl_rectf(r.left, r.top, r.right - r.left, r.bottom - r.top, lf_colour(c));
    }
    void polyline(const std::vector<ui::Point>& points, ui::Colour pen) override {
        fl_color(lf_colour(pen));
        fl_line_style(FL_SOLID, 1);
        for (std::size_t i = 1; i < points.size(); ++i)
            fl_line(points[i - 1].x, points[i - 1].y, points[i].x, points[i].y);
    }
    void textOut(int x, int y, const std::string& utf8, ui::Colour c) override {
        fl_font(FL_HELVETICA, kFontSize);
        fl_color(lf_colour(c));
        // The painter gives the top-left corner; FLTK draws on the baseline.
        fl_draw(utf8.c_str(), x, y + fl_height() - fl_descent());
    }
};

// Below every control: the hand-painted window.
class PaintArea : public Fl_Widget {
public:
    PaintArea(int w, int h, PaintProcedure paint) : Fl_Widget(0, 0, w, h), m_paint(std::move(paint)) {}
    void draw() override {
        FltkSurface surface;
        fl_push_clip(x(), y(), w(), h());
        fl_rectf(x(), y(), w(), h(), FL_BLACK);   // the window's own background, below the bands
        if (m_paint) m_paint(surface, ui::Rect{x(), y(), x() + w(), y() + h()});
        fl_pop_clip();
    }

private:
    PaintProcedure m_paint;
};

// An edit field: typing goes to the model; Enter, Tab and Escape go first to the field's handler.
class EditWidget : public Fl_Input {
public:
    EditWidget(ui::Window& model, std::uint16_t id, const ui::Rect& r)
        : Fl_Input(r.left, r.top, r.right - r.left, r.bottom - r.top), m_model(model), m_id(id) {
        when(FL_WHEN_CHANGED);
        callback([](Fl_Widget* w, void*) {
            auto* self = static_cast<EditWidget*>(w);
            self->m_model.userTypes(self->m_id, self->value());
        });
    }
    int handle(int event) override {
        if (event == FL_KEYBOARD) {
            std::optional<ui::Key> key;
            switch (Fl::event_key()) {
                case FL_Enter:
                case FL_KP_Enter: key = ui::Key::Enter; break;
                case FL_Escape: key = ui::Key::Escape; break;
                case FL_Tab: key = ui::Key::Tab; break;
                default: break;
            }
            if (key) {
                m_model.userTypes(m_id, value());
                if (m_model.userPressesKey(m_id, *key)) return 1;   // taken: the edit never sees it
            }
        }
        return Fl_Input::handle(event);
    }

private:
    ui::Window& m_model;
    std::uint16_t m_id;
};

class Backend {
public:
    Backend(ui::Window& model, std::function<void(const ui::Message&)> wndProc, PaintProcedure paint)
        : m_model(model), m_wndProc(std::move(wndProc)) {
        const ui::Rect frame = model.frame();
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        m_window = std::make_unique<Fl_Double_Window>(frame.left, frame.top, width, height);
        m_window->copy_label(model.title().c_str());
        m_window->size_range(width, height, width, height);   // fixed size, as the painter expects
        new PaintArea(width, height, std::move(paint));   // first child: drawn below every control
        m_window->end();
        // Closing asks the program; it quits (or not) through its own messages. FLTK also calls this
        // for an Escape key that no widget took; a plain window ignores Escape, and closing would
        // start the exit of the whole program.
        m_window->callback(
            [](Fl_Widget*, void* data) {
                if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
                static_cast<Backend*>(data)->m_model.post(ui::Message{ui::MessageKind::Close, 0, 0});
            },
            this);
    }

    int run() {
        Fl::visual(FL_RGB);
        syncControls();
        m_window->show();
        Fl::add_timeout(kPollSeconds, &Backend::onTimer, this);
        while (!m_quit && Fl::first_window() != nullptr) Fl::wait(0.1);
        Fl::remove_timeout(&Backend::onTimer, this);
        m_window->hide();
        Fl::flush();
        return m_exitCode;
    }

private:
    static void onTimer(void* data) {
        auto* self = static_cast<Backend*>(data);
        self->turn();
        if (!self->m_quit) Fl::repeat_timeout(kPollSeconds, &Backend::onTimer, data);
    }

    void turn() {
        while (!m_quit) {
            std::optional<ui::Message> m = m_model.tryGet();
            if (!m) break;
            if (m->kind == ui::MessageKind::Quit) {
                m_quit = true;
                m_exitCode = static_cast<int>(m->param);
                break;
            }
            m_wndProc(*m);
        }
        syncControls();
        syncPosition();
        if (!m_model.takeInvalidated().empty()) m_window->redraw();
    }

    // Widgets follow the model: new controls appear, texts, checks and enabled states are copied.
    void syncControls() {
        for (const ui::ControlState& c : m_model.controls()) {
            Fl_Widget*& widget = m_widgets[c.id];
            if (widget == nullptr) widget = makeWidget(c);
            if (c.kind == ui::ControlKind::Edit) {
                auto* input = static_cast<Fl_Input*>(widget);
                if (c.text != input->value()) input->value(c.text.c_str());
            } else if (c.kind == ui::ControlKind::CheckBox) {
                auto* box = static_cast<Fl_Check_Button*>(widget);
                if ((box->value() != 0) != c.checked) box->value(c.checked ? 1 : 0);
            }
            if ((widget->active() != 0) != c.enabled) {
                if (c.enabled)
                    widget->activate();
                else
                    widget->deactivate();
            }
        }
    }

    Fl_Widget* makeWidget(const ui::ControlState& c) {
        const int x = c.rect.left, y = c.rect.top, w = c.rect.right - c.rect.left, h = c.rect.bottom - c.rect.top;
        Fl_Widget* widget = nullptr;
        m_window->begin();
        switch (c.kind) {
            case ui::ControlKind::CheckBox: {
                auto* box = new Fl_Check_Button(x, y, w, h);
                box->when(FL_WHEN_CHANGED);
                // The box does not toggle itself: the command does, and the model then shows it.
                box->callback(
                    [](Fl_Widget* wd, void* data) {
                        auto* self = static_cast<Backend*>(data);
                        const std::uint16_t id = self->idOf(wd);
                        static_cast<Fl_Check_Button*>(wd)->value(self->m_model.isChecked(id) ? 1 : 0);
                        self->m_model.userClicks(id);
                    },
                    this);
                widget = box;
                break;
            }
            case ui::ControlKind::Edit: {
                auto* input = new EditWidget(m_model, c.id, c.rect);
                input->textsize(kFontSize);
                widget = input;
                break;
            }
            case ui::ControlKind::Button: {
                auto* button = new Fl_Button(x, y, w, h);
                button->copy_label(c.text.c_str());
                button->labelsize(kFontSize);
                button->callback(
                    [](Fl_Widget* wd, void* data) {
                        auto* self = static_cast<Backend*>(data);
                        self->m_model.userClicks(self->idOf(wd));
                    },
                    this);
                widget = button;
                break;
            }
        }
        m_window->end();
        m_ids[widget] = c.id;
        return widget;
    }

    std::uint16_t idOf(Fl_Widget* widget) const {
        auto it = m_ids.find(widget);
        return it == m_ids.end() ? 0 : it->second;
    }

    void syncPosition() {
        if (!m_window->shown()) return;
        const ui::Rect frame = m_model.frame();
        if (m_window->x() != frame.left || m_window->y() != frame.top) m_model.move(m_window->x(), m_window->y());
        const bool topMost = m_model.isTopMost();
        if (topMost != m_topMost) {
            m_topMost = topMost;
            lf_setAbove(fl_xid(m_window.get()), topMost);
        }
    }

    // "Stay on top": asks the window manager to keep the window above the others.
    static void lf_setAbove(::Window xid, bool on) {
        if (xid == 0 || fl_display == nullptr) return;
        XEvent e{};
        e.xclient.type = ClientMessage;
        e.xclient.window = xid;
        e.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
        e.xclient.format = 32;
        e.xclient.data.l[0] = on ? 1 : 0;   // add or remove
        e.xclient.data.l[1] = static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False));
        e.xclient.data.l[3] = 1;            // from a normal application
        XSendEvent(fl_display, DefaultRootWindow(fl_display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &e);
        XFlush(fl_display);
    }

    ui::Window& m_model;
    std::function<void(const ui::Message&)> m_wndProc;
    std::unique_ptr<Fl_Double_Window> m_window;
    std::map<std::uint16_t, Fl_Widget*> m_widgets;
    std::map<const Fl_Widget*, std::uint16_t> m_ids;
    bool m_topMost = false;
    bool m_quit = false;
    int m_exitCode = 0;
};

}  // namespace

int gf_runFltkMessageLoop(ui::Window& window, const std::function<void(const ui::Message&)>& wndProc,
                          PaintProcedure paint) {
    Backend backend(window, wndProc, std::move(paint));
    return backend.run();
}

bool gf_fltkDisplayAvailable() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') return false;
    Display* d = XOpenDisplay(display);
    if (d == nullptr) return false;
    XCloseDisplay(d);
    return true;
}

}  // namespace vrn
