// The status line, the drawing of texts and the window's saved position.
#include <atomic>
#include <thread>
#include <tuple>

#include "app/main_window.h"
#include "settings/settings_test_fixture.h"

namespace vrn::test {
namespace {

class StatusLine : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        g_mainWindow.g_hMainWindow = &window;
    }
    std::string status() const { return g_mainWindow.g_statusText.get(); }
    static void tick(int n) {
        while (n-- > 0) gf_statusSecondTick();
    }
    ui::Window window;
};

TEST_F(StatusLine, ShowsAndLogsOnlyWhatIsAskedAndNotEmpty) {
    gf_showStatus("first", true);
    EXPECT_EQ(status(), "first");
    EXPECT_EQ(g_mainWindow.g_statusShownAt.load(), 1) << "shown at second 0 counts as 1";
    gf_showStatus("quiet", false);
    EXPECT_EQ(status(), "quiet");
    const auto lines = logLines().size();
    gf_showStatus("", true);
    EXPECT_EQ(status(), "");
    EXPECT_EQ(g_mainWindow.g_statusShownAt.load(), 0);
    EXPECT_EQ(logLines().size(), lines) << "an empty text is never logged";
    EXPECT_EQ(logCount("first"), 1);
    EXPECT_EQ(logCount("quiet"), 0);
    EXPECT_EQ(window.takeInvalidated(), std::vector<ui::Rect>{gf_bandRect(Band::Status)});
}

TEST_F(StatusLine, AnErrorHoldsTheLineUntilItIsCleared) {
    gf_showStatus("working", false);
    gf_showError("disk full");
    EXPECT_EQ(status(), "");
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "disk full");
    EXPECT_EQ(logCount("Error disk full"), 1);

    gf_showStatus("ignored", true);
    gf_clearStatus();
    tick(100);   // an error is never cleared by time
    EXPECT_EQ(status(), "");
    EXPECT_EQ(g_mainWindow.g_errorText.get(), "disk full");
    EXPECT_EQ(logCount("ignored"), 0);

    gf_clearError();
    gf_clearStatus();
    gf_showStatus("back", false);
    EXPECT_EQ(status(), "back");
}

TEST_F(StatusLine, ATextStaysTwentyFiveSeconds) {
    for (int second : {0, 1, 100}) {
        g_mainWindow.g_statusSeconds = second;
        gf_showStatus("hello", false);
        const int shownAt = std::max(1, second);
        tick(shownAt + 24 - second);
        EXPECT_EQ(status(), "hello") << "at second " << g_mainWindow.g_statusSeconds.load();
        tick(1);
        EXPECT_EQ(g_mainWindow.g_statusSeconds.load(), shownAt + 25);
        EXPECT_EQ(status(), "") << "shown at " << second;
    }
}

TEST_F(StatusLine, ConcurrentWritersNeverBreakThePaintersView) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([t, &stop] {
            for (int i = 0; !stop.load(); ++i) {
                if (i % 7 == 0)
                    gf_clearStatus();
                else
                    gf_showStatus("writer " + std::to_string(t), false);
                gf_statusSecondTick();
            }
        });
    int inconsistent = 0;
    for (int paint = 0; paint < 2000; ++paint) {
        std::lock_guard lock(g_mainWindow.g_statusMutex);   // as the painter holds it
        const bool shown = !g_mainWindow.g_statusText.empty();
        inconsistent += shown != (g_mainWindow.g_statusShownAt.load() >= 1);
    }
    stop = true;
    for (auto& w : writers) w.join();
    EXPECT_EQ(inconsistent, 0);
}

TEST_F(StatusLine, TextOutDrawsValidTextAndLogsTheRest) {
    ui::RecordingSurface surface;
    lf_textOut(surface, 3, 455, "Zürich", kYellow);
    ASSERT_EQ(surface.texts.size(), 1u);
    EXPECT_EQ((std::tuple{surface.texts[0].x, surface.texts[0].y, surface.texts[0].colour}),
              (std::tuple{3, 455, kYellow}));

    lf_textOut(surface, 3, 455, "bad \xC0\xAF", kYellow);
    EXPECT_EQ(surface.textList(), std::vector<std::string>{"Zürich"});
    EXPECT_TRUE(logContains("conversion exception"));
}

using WindowPosition = SettingsTest;

TEST_F(WindowPosition, EdgeValuesAreReplacedAtStartAndAtExit) {
    struct Case {
        const char* storedX;
        const char* storedY;
        int x, y;
        const char* savedX;   // what the file holds afterwards
    };
    const Case cases[] = {
        {"-30000", "55", 400, 55, "400"},     // saved while minimised
        {"-32000", "30000", 400, 20, "400"},  // clamped onto the edge, then replaced
        {"17", "-5", 17, -5, "17"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.storedX);
        resetAllSettings();
        writeParams({{"MAIN_WINDOW_X", c.storedX}, {"MAIN_WINDOW_Y", c.storedY}});
        ui::Window window;
        ASSERT_TRUE(initInstance(window, "Varnel"));
        EXPECT_EQ(window.frame(), (ui::Rect{c.x, c.y, c.x + 880, c.y + 516}));
        EXPECT_EQ(window.title(), "Varnel");
        EXPECT_EQ(storedValue("MAIN_WINDOW_X"), c.savedX);
        EXPECT_EQ(g_mainWindow.g_hMainWindow, &window);
        g_mainWindow.g_hMainWindow = nullptr;
    }

    // At exit: a minimised window's edge gives way to the position of the previous exit.
    MAIN_WINDOW_X.set(MAIN_WINDOW_X.clamp(-32000));
    MAIN_WINDOW_X.save();
    MAIN_WINDOW_Y.set(300);
    MAIN_WINDOW_Y.save();
    lf_setWindowPos(250, 999);
    EXPECT_EQ(MAIN_WINDOW_X.get(), 250);
    EXPECT_EQ(storedValue("MAIN_WINDOW_X"), "250");
    EXPECT_EQ(MAIN_WINDOW_Y.get(), 300);
}

}  // namespace
}  // namespace vrn::test
