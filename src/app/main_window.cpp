// The main window's creation at the saved position.
#include "app/main_window.h"

#include <chrono>
#include <stdexcept>
#include <thread>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/text_conversion.h"
#include "platform/sys/sleep.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {

// A window position on the edge of its range comes from a minimised or lost window: take `fallback`.
void lf_replaceEdgePosition(NumericParameter<int>& position, int fallback) {
    const int v = position.get();
    if (v != position.minimum && v != position.maximum) return;
    position.set(position.clamp(fallback));
    position.save();
}

}  // namespace

bool initInstance(ui::Window& window, const std::string& classAndTitle) {
    MainWindow& w = g_mainWindow;
    for (int waits = 0; !w.g_mainWindowReady.load(); ++waits) {
        if (waits == 18) return false;
        platform::sys::gf_sleepFor(std::chrono::milliseconds(50));
    }
    if (gf_readWindowPosition()) {
        lf_replaceEdgePosition(MAIN_WINDOW_X, MAIN_WINDOW_X.defaultValue);
        lf_replaceEdgePosition(MAIN_WINDOW_Y, MAIN_WINDOW_Y.defaultValue);
    }
    window.create(classAndTitle, MAIN_WINDOW_X.get(), MAIN_WINDOW_Y.get(), kWindowWidth, kWindowHeight);
    w.g_hMainWindow = &window;
    return window.isCreated();
}

void lf_textOut(ui::PaintSurface& surface, int x, int y, const std::string& text, ui::Colour colour) {
    try {
        (void)gf_utf8ToUtf16(text);   // what cannot be shown is not drawn at all
        surface.textOut(x, y, text, colour);
    } catch (const win32::Utf8ConversionException& e) {
        gf_logLine(format("{} conversion exception {}, error code: {}", text, e.what(), e.errorCode()));
    } catch (const std::overflow_error& e) {
        gf_logLine(format("{} {}", text, e.what()));
    }
}

void lf_setWindowPos(int previousX, int previousY) {
    lf_replaceEdgePosition(MAIN_WINDOW_X, previousX);
    lf_replaceEdgePosition(MAIN_WINDOW_Y, previousY);
}

}  // namespace vrn
