// The window model shared by both backends. Every operation takes the model's lock for its own
// short work only; handlers of edit fields are called without it, since they talk to the window.
#include "platform/ui/window.h"

#include <chrono>

namespace vrn::ui {

std::vector<std::string> RecordingSurface::textList() const {
    std::vector<std::string> out;
    out.reserve(texts.size());
    for (const Text& t : texts) out.push_back(t.text);
    return out;
}

void Window::create(const std::string& title, int x, int y, int width, int height) {
    std::lock_guard lock(m_mutex);
    m_created = true;
    m_title = title;
    m_frame = Rect{x, y, x + width, y + height};
}

bool Window::isCreated() const {
    std::lock_guard lock(m_mutex);
    return m_created;
}

std::string Window::title() const {
    std::lock_guard lock(m_mutex);
    return m_title;
}

Rect Window::frame() const {
    std::lock_guard lock(m_mutex);
    return m_frame;
}

void Window::move(int x, int y) {
    std::lock_guard lock(m_mutex);
    const int width = m_frame.right - m_frame.left;
    const int height = m_frame.bottom - m_frame.top;
    m_frame = Rect{x, y, x + width, y + height};
}

void Window::setTopMost(bool on) {
    {
        std::lock_guard lock(m_mutex);
        m_topMost = on;
    }
    notifyChange();
}

bool Window::isTopMost() const {
    std::lock_guard lock(m_mutex);
    return m_topMost;
}

ControlHandle Window::createControl(ControlKind kind, std::uint16_t id, const Rect& rect, const std::string& text,
                                    bool enabled) {
    if (id == 0) return ControlHandle{};   // 0 is the "no control" handle
    {
        std::lock_guard lock(m_mutex);
        ControlState state;
        state.kind = kind;
        state.id = id;
        state.rect = rect;
        state.text = text;
        state.enabled = enabled;
        m_controls[id] = std::move(state);   // a second creation with the same id replaces the first
        m_editHandlers.erase(id);
    }
    notifyChange();
    return ControlHandle{id};
}

bool Window::hasControl(std::uint16_t id) const {
    std::lock_guard lock(m_mutex);
    return m_controls.count(id) != 0;
}

std::optional<ControlState> Window::control(std::uint16_t id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    if (it == m_controls.end()) return std::nullopt;
    return it->second;
}

std::vector<ControlState> Window::controls() const {
    std::lock_guard lock(m_mutex);
    std::vector<ControlState> out;
    out.reserve(m_controls.size());
    for (const auto& [id, state] : m_controls) out.push_back(state);
    return out;
}

void Window::setText(std::uint16_t id, const std::string& text) {
    {
        std::lock_guard lock(m_mutex);
        auto it = m_controls.find(id);
        if (it != m_controls.end()) it->second.text = text;
    }
    notifyChange();
}

std::string Window::text(std::uint16_t id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it == m_controls.end() ? std::string() : it->second.text;
}

void Window::setChecked(std::uint16_t id, bool checked) {
    {
        std::lock_guard lock(m_mutex);
        auto it = m_controls.find(id);
        if (it != m_controls.end() && it->second.kind == ControlKind::CheckBox) it->second.checked = checked;
    }
    notifyChange();
}

bool Window::isChecked(std::uint16_t id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it != m_controls.end() && it->second.checked;
}

void Window::enable(std::uint16_t id, bool enabled) {
    {
        std::lock_guard lock(m_mutex);
        auto it = m_controls.find(id);
        if (it == m_controls.end()) return;
        it->second.enabled = enabled;
        if (!enabled) it->second.focused = false;   // a disabled control cannot keep the focus
    }
    notifyChange();
}

bool Window::isEnabled(std::uint16_t id) const {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    return it != m_controls.end() && it->second.enabled;
}

void Window::setFocus(std::uint16_t id) {
    {
        std::lock_guard lock(m_mutex);
        auto target = m_controls.find(id);
        if (target == m_controls.end() || !target->second.enabled) return;
        for (auto& [otherId, state] : m_controls) state.focused = false;
        target->second.focused = true;
    }
    notifyChange();
}

void Window::setEditKeyHandler(std::uint16_t id, EditKeyHandler handler) {
    std::lock_guard lock(m_mutex);
    if (handler)
        m_editHandlers[id] = std::move(handler);
    else
        m_editHandlers.erase(id);
}

void Window::userTypes(std::uint16_t id, const std::string& text) {
    std::lock_guard lock(m_mutex);
    auto it = m_controls.find(id);
    // Only an enabled edit field takes typing, as on the real desktop.
    if (it == m_controls.end() || it->second.kind != ControlKind::Edit || !it->second.enabled) return;
    it->second.text = text;
    for (auto& [otherId, state] : m_controls) state.focused = false;
    it->second.focused = true;
}

bool Window::userPressesKey(std::uint16_t id, Key key) {
    EditKeyHandler handler;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_controls.find(id);
        if (it == m_controls.end() || it->second.kind != ControlKind::Edit || !it->second.enabled) return false;
        auto h = m_editHandlers.find(id);
        if (h == m_editHandlers.end()) return false;   // the edit's own handling: nothing to model
        handler = h->second;
    }
    // Called without the lock: the handler reads and writes controls of this window.
    return handler(*this, id, key);
}

void Window::userClicks(std::uint16_t id) {
    {
        std::lock_guard lock(m_mutex);
        auto it = m_controls.find(id);
        if (it == m_controls.end() || !it->second.enabled) return;
        if (it->second.kind == ControlKind::Edit) {
            for (auto& [otherId, state] : m_controls) state.focused = false;
            it->second.focused = true;
            return;
        }
    }
    // A check box does not toggle by itself: its owner does that when the command arrives.
    post(Message{MessageKind::Command, id, 0});
}

void Window::post(const Message& m) {
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(m);
    }
    m_cv.notify_one();
    notifyChange();
}

std::optional<Message> Window::tryGet() {
    std::lock_guard lock(m_mutex);
    if (m_queue.empty()) return std::nullopt;
    Message m = m_queue.front();
    m_queue.pop_front();
    return m;
}

std::optional<Message> Window::waitGet(int timeoutMs) {
    std::unique_lock lock(m_mutex);
    auto ready = [this] { return !m_queue.empty(); };
    if (timeoutMs < 0) {
        m_cv.wait(lock, ready);
    } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return std::nullopt;
    }
    Message m = m_queue.front();
    m_queue.pop_front();
    return m;
}

void Window::invalidate(const Rect& r, bool /*erase*/) {
    {
        std::lock_guard lock(m_mutex);
        ++m_invalidations;
        // The painter redraws each waiting rectangle once, however often it was invalidated.
        for (const Rect& waiting : m_invalid)
            if (waiting == r) return;
        m_invalid.push_back(r);
    }
    notifyChange();
}

std::vector<Rect> Window::takeInvalidated() {
    std::lock_guard lock(m_mutex);
    std::vector<Rect> out;
    out.swap(m_invalid);
    return out;
}

std::uint64_t Window::invalidationCount() const {
    std::lock_guard lock(m_mutex);
    return m_invalidations;
}

void Window::setChangeListener(std::function<void()> listener) {
    std::lock_guard lock(m_mutex);
    m_changeListener = std::move(listener);
}

void Window::notifyChange() {
    std::function<void()> listener;
    {
        std::lock_guard lock(m_mutex);
        listener = m_changeListener;
    }
    if (listener) listener();
}

}  // namespace vrn::ui
