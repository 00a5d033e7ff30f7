// Controls of the setting objects and the operations that put a value back into them.
#include "settings/setting_classes.h"

#include <type_traits>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "core/utilities.h"
#include "display/window_state.h"
#include "settings/parameters_file.h"

namespace vrn {

namespace {

// The main window, or null while it does not exist yet (settings read before it, tests).
ui::Window* lf_mainWindow() { return g_mainWindow.g_hMainWindow; }

// Puts a text into an edit field of the main window. Text that is not valid UTF-8 is logged and the
// field keeps its old text.
void lf_showText(std::uint16_t controlId, const std::string& text) {
    ui::Window* window = lf_mainWindow();
    if (window == nullptr) return;
    try {
        (void)gf_utf8ToUtf16(text);
    } catch (const win32::Utf8ConversionException& e) {
        gf_logLine(e.what());
        return;
    }
    window->setText(controlId, text);
    gf_invalidateBand(Band::Settings);
}

}  // namespace

void GuiControl::createEdit(ui::Window& parent, int x, int width, std::uint64_t /*reserved*/,
                            ui::EditKeyHandler subclassProc) {
    const int top = static_cast<int>(y);
    hwnd = parent.createControl(ui::ControlKind::Edit, controlId, ui::Rect{x, top, x + width, top + 16}, "", false);
    parent.setEditKeyHandler(controlId, std::move(subclassProc));
    previousProc = 0;   // keys the handler does not take stay with the edit itself
}

void CheckBoxParameter::createControl(ui::Window& parent, int x) {
    const int top = static_cast<int>(y) + 2;
    hwnd = parent.createControl(ui::ControlKind::CheckBox, controlId, ui::Rect{x, top, x + 12, top + 12}, "", true);
    parent.setChecked(controlId, get());
}

void CheckBoxParameter::setChecked(bool checked) {
    set(checked);
    ui::Window* window = lf_mainWindow();
    if (window != nullptr && hwnd) window->setChecked(controlId, checked);
}

void PushButton::createControl(ui::Window& parent, int x, int width) {
    const int top = static_cast<int>(y);
    hwnd = parent.createControl(ui::ControlKind::Button, controlId, ui::Rect{x, top, x + width, top + 20}, name,
                                false);
}

template <typename T>
void NumericEditParameter<T>::showValue() const {
    if constexpr (std::is_same_v<T, float>)
        lf_showText(controlId, gf_floatText(this->get()));
    else
        lf_showText(controlId, format("{}", this->get()));
}

void StringEditParameter::showValue() const { lf_showText(controlId, get()); }

template <typename T>
void NumericParameter<T>::save() const
    requires std::same_as<T, int>
{
    gf_saveParameterText(*this, format("{}", get()));
}

void BoolParameter::save() const { gf_saveParameterText(*this, get() ? "true" : "false"); }

void StringParameter::save() const { gf_saveParameterText(*this, get()); }

void StringParameter::setAndSave(std::string text) {
    set(std::move(text));
    save();
}

bool gf_toggleCheckbox(ui::Window& parent, std::uint16_t id, CheckBoxParameter& setting) {
    if (id != setting.controlId) return false;
    const bool checked = !parent.isChecked(id);
    parent.setChecked(id, checked);
    setting.set(checked);
    setting.save();
    return true;
}

template class NumericParameter<int>;
template class NumericParameter<float>;
template class NumericEditParameter<int>;
template class NumericEditParameter<float>;

}  // namespace vrn
