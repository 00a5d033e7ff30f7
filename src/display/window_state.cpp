// The main window's state and the status line.
#include "display/window_state.h"

#include <algorithm>
#include <deque>
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
// What Log.txt gets of a status or error text: the whole of it, ten folders' paths included.
constexpr std::size_t kLoggedTextBytes = 4096;
constexpr std::string_view kCutTail = " ... (the rest in Log.txt)";

// Advance widths in pixels of the printable ASCII characters in the window's font, the system's
// message font (Segoe UI 9 pt), each rounded up; one character each, '0' plus the width (':' is 10,
// ';' 11, '<' 12), a row for ' ' to '/', '0' to '?', '@' to 'O', 'P' to '_', '`' to 'o', 'p' to '~'.
// Any other character counts as a full em.
constexpr std::string_view kAsciiPixels =
    "44587::344693535"
    "7777777777339996"
    "<878976994586;::"
    "7:87798<87745496"
    "4786875873373;78"
    "8856576:6664349";
constexpr int kOtherCharacterPixels = 12;

int lf_characterPixels(unsigned char c) {
    if (c >= 0x20 && c < 0x7F) return kAsciiPixels[c - 0x20] - '0';
    return kOtherCharacterPixels;
}

// An error no run can mend (the simulator's client library is missing): it stays on the status line
// for the life of the process, and later errors go to Log.txt only. Guarded by g_statusMutex.
std::string l_lastingError;

// A text kept for a while (status seconds still to come; 0: none), the kept texts waiting their turn
// behind it, and the routine text that is to follow them. Guarded by g_statusMutex.
int l_keptFor = 0;
std::deque<std::pair<std::string, int>> l_keptWaiting;
std::optional<std::string> l_following;

// Whether the status line's writer logs a text: as asked, or never (a text that waited its turn was
// logged, whole, when it came).
enum class Logging { AsAsked, AlreadyDone };

// The status line's one writer; the caller holds g_statusMutex. True when it wrote a line to Log.txt,
// which the caller flushes once it has let go of the mutex (a failed write is shown as an error).
bool lf_showStatusLocked(const std::string& fullText, bool log, Logging logging = Logging::AsAsked) {
    MainWindow& w = g_mainWindow;
    if (!w.g_errorText.empty()) return false;   // an error holds the status line
    const std::string text = gf_statusLineForm(fullText);
    // A text cut to the window's width sends the user to Log.txt, so it is logged whole.
    const bool cut = text.ends_with(kCutTail) && !fullText.ends_with(kCutTail);
    const bool logged = (log || cut) && !text.empty() && logging == Logging::AsAsked;
    if (logged) gf_logLineOfString(gf_excerpt(fullText, kLoggedTextBytes));
    if (l_keptFor != 0) {
        // The newest text that came shows when the kept one's time is up; a clear meanwhile does
        // not take it away, or the line would stand empty after the warning while statuses came.
        if (!text.empty()) l_following = text;
        return logged;
    }
    w.g_statusText.set(text);
    w.g_statusShownAt.store(text.empty() ? 0 : std::max(1, w.g_statusSeconds.load()));
    gf_invalidateBand(Band::Status);
    return logged;
}

void lf_showFollowing() {
    if (l_following) lf_showStatusLocked(*std::exchange(l_following, std::nullopt), false, Logging::AlreadyDone);
}

void lf_showNextKept() {
    if (l_keptWaiting.empty()) {
        lf_showFollowing();
        return;
    }
    auto [text, seconds] = std::move(l_keptWaiting.front());
    l_keptWaiting.pop_front();
    lf_showStatusLocked(text, false, Logging::AlreadyDone);
    l_keptFor = seconds;
}

}  // namespace

int gf_statusTextPixels(std::string_view text) {
    int pixels = 0;
    for (const char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) pixels += lf_characterPixels(static_cast<unsigned char>(c));
    return pixels;
}

std::string gf_statusLineForm(std::string_view fullText) {
    std::string text = gf_excerpt(fullText, kStatusTextBytes);
    if (gf_statusTextPixels(text) <= kStatusLinePixels) return text;
    const int room = kStatusLinePixels - gf_statusTextPixels(kCutTail);
    int pixels = 0;
    std::size_t cut = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if ((c & 0xC0) == 0x80) continue;
        pixels += lf_characterPixels(c);
        if (pixels > room) break;
        cut = i + 1;
        while (cut < text.size() && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) ++cut;
    }
    // Whole items of a list or parts of a sentence where that leaves most of the room used (a list
    // of folders whose first item is long must still name that one), else a whole word unless it is
    // a long one or a quoted name (a path, whose beginning says more than nothing).
    constexpr std::size_t kLongWordBytes = 24;
    const std::size_t comma = text.rfind(", ", cut), semicolon = text.rfind("; ", cut);
    const std::size_t part = comma == std::string::npos ? semicolon
                             : semicolon == std::string::npos ? comma
                                                              : std::max(comma, semicolon);
    const std::size_t blank = text.rfind(' ', cut);
    if (part != std::string::npos && part >= cut * 3 / 4)
        cut = part;
    else if (blank != std::string::npos && cut - blank <= kLongWordBytes && text[blank + 1] != '"')
        cut = blank;
    text.resize(cut);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text + std::string(kCutTail);
}

void gf_showStatus(const std::string& text, bool log) {
    bool logged = false;
    {
        std::lock_guard lock(g_mainWindow.g_statusMutex);
        logged = lf_showStatusLocked(text, log);
    }
    // What the window says is in Log.txt at once, not only when the program ends.
    if (logged) gf_flushLog();
}

void gf_showStatusFor(const std::string& text, int seconds) {
    MainWindow& w = g_mainWindow;
    bool logged = false;
    {
        std::lock_guard lock(w.g_statusMutex);
        if (l_keptFor != 0 && w.g_errorText.empty() && !text.empty()) {
            // Each text the user must read gets its own time, in turn.
            logged = true;
            gf_logLineOfString(gf_excerpt(text, kLoggedTextBytes));
            l_keptWaiting.emplace_back(text, std::max(1, seconds));
        } else {
            logged = lf_showStatusLocked(text, true);
            if (!w.g_statusText.get().empty()) {   // else an error holds the line, or nothing to show
                l_keptFor = std::max(1, seconds);
                l_following.reset();
            }
        }
    }
    if (logged) gf_flushLog();
}

void gf_releaseStatus() {
    std::lock_guard lock(g_mainWindow.g_statusMutex);
    l_keptFor = 0;
    l_keptWaiting.clear();
    lf_showFollowing();
}

void gf_clearStatus() { gf_showStatus(std::string(), true); }

void gf_showError(std::string_view text) {
    MainWindow& w = g_mainWindow;
    {
        std::lock_guard lock(w.g_statusMutex);
        gf_logLine(format("Error {}", gf_excerpt(text, kLoggedTextBytes)));
        if (l_lastingError.empty()) {
            w.g_statusText.set(std::string());
            w.g_statusShownAt.store(0);
            w.g_errorText.set(gf_statusLineForm(text));
            gf_invalidateBand(Band::Status);
        }
    }
    // The user is sent to Log.txt: it holds the error now, not only when the program ends.
    gf_flushLog();
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
    if (l_keptFor != 0 && --l_keptFor == 0) lf_showNextKept();
    const int shownAt = w.g_statusShownAt.load();
    if (shownAt >= 1 && seconds - shownAt >= 25) lf_showStatusLocked(std::string(), true);
}

}  // namespace vrn
