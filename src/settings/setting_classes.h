#pragma once
// The setting class family. Every user setting is one global object named after its key in
// parameters.xml (see settings_catalogue.h). Values are read from every thread: numbers and flags are
// atomics and texts SharedStrings, read with get() (or `value` directly) and written with set().
#include <atomic>
#include <concepts>
#include <cstdint>
#include <string>

#include "core/shared_value.h"
#include "platform/ui/window.h"

namespace vrn {

class NamedItem {
public:
    explicit NamedItem(std::string n) : name(std::move(n)) {}
    virtual ~NamedItem() = default;
    std::string name;   // the key in parameters.xml; a push button's caption
};

template <typename T>
class NumericParameter : public NamedItem {
public:
    NumericParameter(std::string n, T def, T min, T max)
        : NamedItem(std::move(n)), defaultValue(def), minimum(min), maximum(max), value(def) {}

    T get() const { return value.load(std::memory_order_relaxed); }
    void set(T v) { value.store(v, std::memory_order_relaxed); }
    T clamp(T v) const { return v < minimum ? minimum : (v > maximum ? maximum : v); }
    // Writes this one setting into parameters.xml. Floats are never stored, so they have no save.
    void save() const
        requires std::same_as<T, int>;

    const T defaultValue;
    const T minimum;
    const T maximum;
    std::atomic<T> value;
};

class BoolParameter : public NamedItem {
public:
    BoolParameter(std::string n, bool def)
        : NamedItem(std::move(n)), defaultValue(def), minimum(def), maximum(def), value(def) {}

    bool get() const { return value.load(std::memory_order_relaxed); }
    void set(bool v) { value.store(v, std::memory_order_relaxed); }
    void save() const;

    const bool defaultValue;
    const bool minimum;
    const bool maximum;
    std::atomic<bool> value;
};

class StringParameter : public NamedItem {
public:
    StringParameter(std::string n, const std::string& def)
        : NamedItem(std::move(n)), defaultValue(def), minimum(def), maximum(def), value(def) {}

    std::string get() const { return value.get(); }
    void set(std::string v) { value.set(std::move(v)); }
    void save() const;
    void setAndSave(std::string text);

    const std::string defaultValue;
    const std::string minimum;
    const std::string maximum;
    SharedString value;
};

// Second base of every object that owns a child control of the main window.
class GuiControl {
public:
    GuiControl(std::uint16_t id, std::uint32_t row) : controlId(id), y(row) {}
    virtual ~GuiControl() = default;

    // Edit field: created disabled and empty; `subclassProc` sees its keys first (Enter applies it).
    void createEdit(ui::Window& parent, int x, int width, std::uint64_t reserved, ui::EditKeyHandler subclassProc);

    const std::uint16_t controlId;   // 0x8003..0x8058
    const std::uint32_t y;           // row in client pixels
    ui::ControlHandle hwnd{};        // null until created
    std::uint64_t previousProc = 0;
};

class CheckBoxParameter : public BoolParameter, public GuiControl {
public:
    CheckBoxParameter(std::string n, bool def, std::uint16_t id, std::uint32_t row)
        : BoolParameter(std::move(n), def), GuiControl(id, row) {}
    void createControl(ui::Window& parent, int x);   // 12 x 12 at (x, y + 2), enabled, checked = value
    void setChecked(bool checked);                   // value and the box
};

template <typename T>
class NumericEditParameter : public NumericParameter<T>, public GuiControl {
public:
    NumericEditParameter(std::string n, T def, T min, T max, std::uint16_t id, std::uint32_t row)
        : NumericParameter<T>(std::move(n), def, min, max), GuiControl(id, row) {}
    void showValue() const;   // "{}" for int, gf_floatText for float, into the edit field
};

class StringEditParameter : public StringParameter, public GuiControl {
public:
    StringEditParameter(std::string n, const std::string& def, std::uint16_t id, std::uint32_t row)
        : StringParameter(std::move(n), def), GuiControl(id, row) {}
    void showValue() const;
};

class PushButton : public NamedItem, public GuiControl {
public:
    PushButton(std::string caption, std::uint16_t id, std::uint32_t row)
        : NamedItem(std::move(caption)), GuiControl(id, row) {}
    void createControl(ui::Window& parent, int x, int width);   // disabled until its owner enables it
};

// The WM_COMMAND handling of one check box: false (nothing changed) when `id` is not its control id;
// otherwise flips the box, stores and saves the new value and returns true.
bool gf_toggleCheckbox(ui::Window& parent, std::uint16_t id, CheckBoxParameter& setting);

extern template class NumericParameter<int>;
extern template class NumericParameter<float>;
extern template class NumericEditParameter<int>;
extern template class NumericEditParameter<float>;

}  // namespace vrn
