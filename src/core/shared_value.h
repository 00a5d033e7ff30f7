#pragma once
// Values read and written by several threads. Numbers and flags are atomics; a text is replaced
// whole under its own small lock and read as a copy, so a reader never sees a half-written string.
#include <mutex>
#include <string>
#include <string_view>

namespace vrn {

class SharedString {
public:
    SharedString() = default;
    SharedString(std::string text) : m_text(std::move(text)) {}   // NOLINT: implicit on purpose
    SharedString(const char* text) : m_text(text) {}                // NOLINT
    SharedString(const SharedString& other) : m_text(other.get()) {}
    SharedString& operator=(const SharedString& other) {
        if (this != &other) set(other.get());
        return *this;
    }
    SharedString& operator=(std::string text) {
        set(std::move(text));
        return *this;
    }

    std::string get() const {
        std::lock_guard lock(m_mutex);
        return m_text;
    }
    void set(std::string text) {
        std::lock_guard lock(m_mutex);
        m_text.swap(text);
    }
    operator std::string() const { return get(); }   // NOLINT: reads like the plain field it replaces
    bool empty() const {
        std::lock_guard lock(m_mutex);
        return m_text.empty();
    }
    bool operator==(std::string_view other) const {
        std::lock_guard lock(m_mutex);
        return m_text == other;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_text;
};

}  // namespace vrn
