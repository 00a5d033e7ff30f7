#pragma once
// What the main window shows, kept below the subsystems so that every thread can write it and the
// window side (app/) only reads it: the colours and bands, the texts and counters the painter shows,
// the window handle and the status line. Texts are SharedStrings and numbers atomics, because every
// thread writes some of them while the GUI thread paints. Open this header first in display/.
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "core/shared_value.h"
#include "platform/ui/window.h"

namespace vrn {

inline constexpr ui::Colour kRed = 0x0000FF;
inline constexpr ui::Colour kLightBlue = 0xFFCC99;
inline constexpr ui::Colour kBlack = 0x000000;
inline constexpr ui::Colour kGreen = 0x32CD32;
inline constexpr ui::Colour kYellow = 0x00FFFF;
inline constexpr ui::Colour kGrey = 0xA0A0A0;
inline constexpr ui::Colour kWhite = 0xFFFFFF;

inline constexpr int kWindowWidth = 880;
inline constexpr int kWindowHeight = 516;

// The five bands of the window, used as invalidation rectangles.
enum class Band { Title, Counters, Settings, Park, Status };
ui::Rect gf_bandRect(Band band);

struct SeparatorLine {
    ui::Point from;
    ui::Point to;
};

class MainWindow {
public:
    MainWindow();
    virtual ~MainWindow();

    const std::array<ui::Colour, 5> brushes{kRed, kLightBlue, kBlack, kGreen, kYellow};
    const std::array<ui::Colour, 2> pens{kBlack, kWhite};
    const std::array<SeparatorLine, 8> separators;

    std::mutex g_statusMutex;           // status and error texts, shown-at, painting of the status band
    ui::Window* g_hMainWindow = nullptr;

    SharedString g_statusText;
    SharedString g_errorText;
    SharedString g_userAircraftText;
    SharedString g_parkAirportName;
    SharedString g_parkFileSource;
    SharedString g_parkQualityText;
    SharedString g_simVersionText;
    SharedString g_realTrafficText;
    SharedString g_userStandText;
    SharedString g_objectIdText;
    std::atomic<float> g_staticAverageFit{-1.0f};
    std::atomic<float> g_liveAverageFit{-1.0f};
    std::atomic<std::int64_t> g_liveryCount{-1};
    std::atomic<int> g_parkRowY{399};
    std::atomic<int> g_statusSeconds{0};
    std::atomic<int> g_statusShownAt{0};
    std::atomic<int> g_updateCount{0};
    std::atomic<int> g_liveCount{0};
    std::atomic<int> g_simaddonCount{0};
    std::atomic<int> g_thirdpartyCount{0};
    std::atomic<int> g_maxParkCount{0};
    std::atomic<int> g_parkedLiveCount{0};
    std::atomic<int> g_parkedStaticCount{0};
    std::atomic<int> g_qnh{0};
    std::atomic<int> g_standCount{0};
    std::atomic<int> g_renewalMinutes{0};
    std::atomic<bool> g_parkFileHandmade{false};
    std::atomic<bool> g_linkBoxOff{true};
    std::atomic<bool> g_realTrafficLinkUp{false};
    std::atomic<bool> g_parkAirportOk{false};
    std::atomic<bool> g_simConnected{false};
    std::atomic<bool> g_simFlightRunning{false};
    std::atomic<bool> g_userAircraftKnown{true};
    std::atomic<bool> g_simaddonOk{true};
    std::atomic<bool> g_staticSwitchPending{false};
    std::atomic<bool> g_reservedStandOk{false};
    std::atomic<bool> g_staticParkingActive{true};
    std::atomic<bool> g_mainWindowReady{false};
    std::atomic<int> g_trafficStatus{3};   // 1 receiving, 2 no data, 3 stopped
    std::atomic<int> g_weatherStatus{3};
};

extern MainWindow g_mainWindow;

// The room for a text on the status line, in pixels of the window's font: the client area of the
// 880-pixel window less its frame and the text's left margin, with some to spare.
inline constexpr int kStatusLinePixels = 850;
// The width of a text on the status line, measured with the widest the font's characters come out.
int gf_statusTextPixels(std::string_view text);
// What the status line shows of a text: all of it where it fits, else its beginning and a pointer
// to Log.txt, which gets the whole text. Texts the user must read put what matters first.
std::string gf_statusLineForm(std::string_view text);

// Status line, from any thread. Lock order: the status mutex, then the log mutex. A text that is
// logged is flushed to Log.txt at once.
void gf_showStatus(const std::string& text, bool log);
// Shows `text` (logged) and keeps it for `seconds` status seconds: what is shown meanwhile is
// logged at once and comes on the status line when the time is up (the newest of it, which a clear
// meanwhile does not take away); each line goes to Log.txt once. A second
// such text while one is kept is logged at once and waits its turn to be kept as long.
void gf_showStatusFor(const std::string& text, int seconds);
// How long a warning the user must act on is kept: the life of a status text.
inline constexpr int kWarningSeconds = 25;
// Ends such a wait at once (the run stops: its status seconds stop too).
void gf_releaseStatus();
void gf_clearStatus();
void gf_showError(std::string_view text);
// Clears the error hold (new simulator path, static-parking switch); the caller then clears the status.
// A lasting error comes back.
void gf_clearError();
// An error that stays on the status line for the rest of the process, over every later error (which
// then goes to Log.txt only) and every restart: what must be mended before any run can work.
void gf_showLastingError(std::string_view text);
void gf_forgetLastingErrorForTests();
// The per-second step of the status line: counts seconds and clears a status text after 25 s.
void gf_statusSecondTick();

// InvalidateRect of one band of the main window with erase; nothing before the window exists.
void gf_invalidateBand(Band band);

// Empties the text of one child control of the main window (any thread).
void gf_clearControlText(std::uint16_t controlId);

}  // namespace vrn
