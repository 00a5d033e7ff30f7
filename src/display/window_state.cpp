// The main window's state and the status line.
#include "display/window_state.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "core/format.h"
#include "core/log.h"
#include "core/status_sink.h"
#include "core/utilities.h"

namespace vrn {

MainWindow g_mainWindow;

MainWindow::MainWindow()
    : separators{{{{0, 140}, {880, 140}},
                  {{0, 168}, {880, 168}},
                  {{0, 196}, {642, 196}},
                  {{0, 224}, {642, 224}},
                  {{0, 252}, {642, 252}},
                  {{0, 280}, {642, 280}},
                  {{0, 308}, {642, 308}},
                  {{0, 336}, {642, 336}}}} {
    gf_setStatusSink(gf_showStatus);
    gf_setErrorSink(gf_showError);
    g_mainWindowReady.store(true);   // last: initInstance waits for it
}

MainWindow::~MainWindow() = default;

ui::Rect gf_bandRect(Band band) {
    switch (band) {
        case Band::Title: return {0, 0, 880, 28};
        case Band::Counters: return {0, 28, 880, 112};
        case Band::Settings: return {0, 112, 880, 392};
        case Band::Park: return {0, 392, 880, 448};
        case Band::Status: return {0, 448, 880, 476};
    }
    return {};
}

void gf_invalidateBand(Band band) {
    if (ui::Window* window = g_mainWindow.g_hMainWindow) window->invalidate(gf_bandRect(band), true);
}

void gf_clearControlText(std::uint16_t controlId) {
    if (ui::Window* window = g_mainWindow.g_hMainWindow) window->setText(controlId, std::string());
}

namespace {

// One line of the window; a text that echoes a value from outside may be of any length.
constexpr std::size_t kStatusTextBytes = 400;

// An error no run can mend (the simulator's client library is missing): it stays on the status line
// for the life of the process, and later errors go to Log.txt only. Guarded by g_statusMutex.
std::string l_lastingError;

// A text kept for a while (status seconds still to come; 0: none), and what is to follow it.
// Guarded by g_statusMutex.
int l_keptFor = 0;
std::optional<std::string> l_following;

// The status line's one writer; the caller holds g_statusMutex.
void lf_showStatusLocked(const std::string& fullText, bool log) {
    MainWindow& w = g_mainWindow;
    if (!w.g_errorText.empty()) return;   // an error holds the status line
    const std::string text = gf_excerpt(fullText, kStatusTextBytes);
    if (l_keptFor != 0) {
        if (log && !text.empty()) gf_logLineOfString(text);
        l_following = text;
        return;
    }
    w.g_statusText.set(text);
    w.g_statusShownAt.store(text.empty() ? 0 : std::max(1, w.g_statusSeconds.load()));
    if (log && !text.empty()) gf_logLineOfString(text);
    gf_invalidateBand(Band::Status);
}

}  // namespace

void gf_showStatus(const std::string& text, bool log) {
    std::lock_guard lock(g_mainWindow.g_statusMutex);
    lf_showStatusLocked(text, log);
}

void gf_showStatusFor(const std::string& text, int seconds) {
    MainWindow& w = g_mainWindow;
    std::lock_guard lock(w.g_statusMutex);
    l_keptFor = 0;
    lf_showStatusLocked(text, true);
    if (w.g_statusText.get().empty()) return;   // an error holds the line, or nothing to show
    l_keptFor = std::max(1, seconds);
    l_following.reset();
}

void gf_releaseStatus() {
    std::lock_guard lock(g_mainWindow.g_statusMutex);
    l_keptFor = 0;
    if (l_following) lf_showStatusLocked(*std::exchange(l_following, std::nullopt), false);
}

void gf_clearStatus() { gf_showStatus(std::string(), true); }

void gf_showError(std::string_view text) {
    MainWindow& w = g_mainWindow;
    std::lock_guard lock(w.g_statusMutex);
    if (!l_lastingError.empty()) {
        gf_logLine(format("Error {}", gf_excerpt(text, kStatusTextBytes)));
        return;
    }
    w.g_statusText.set(std::string());
    w.g_statusShownAt.store(0);
    const std::string shown = gf_excerpt(text, kStatusTextBytes);
    w.g_errorText.set(shown);
    gf_logLine(format("Error {}", shown));
    gf_invalidateBand(Band::Status);
}

void gf_clearError() {
    MainWindow& w = g_mainWindow;
    std::lock_guard lock(w.g_statusMutex);
    w.g_errorText.set(l_lastingError);
    gf_invalidateBand(Band::Status);
}

void gf_showLastingError(std::string_view text) {
    {
        std::lock_guard lock(g_mainWindow.g_statusMutex);
        l_lastingError.clear();
    }
    gf_showError(text);
    std::lock_guard lock(g_mainWindow.g_statusMutex);
    l_lastingError = g_mainWindow.g_errorText.get();
}

void gf_forgetLastingErrorForTests() {
    std::lock_guard lock(g_mainWindow.g_statusMutex);
    l_lastingError.clear();
}

void gf_statusSecondTick() {
    MainWindow& w = g_mainWindow;
    // Counting and clearing under one hold, so a text shown meanwhile is never cleared early.
    std::lock_guard lock(w.g_statusMutex);
    const int seconds = w.g_statusSeconds.fetch_add(1) + 1;
    if (l_keptFor != 0 && --l_keptFor == 0) {
        if (l_following) lf_showStatusLocked(*std::exchange(l_following, std::nullopt), false);
    }
    const int shownAt = w.g_statusShownAt.load();
    if (shownAt >= 1 && seconds - shownAt >= 25) lf_showStatusLocked(std::string(), true);
}

}  // namespace vrn
