// The window procedure's own messages: the close button, the final exit's window position, and the
// headless message loop that prints the status line.
#include <sstream>

#include "app/window_procedure.h"
#include "platform/ui/headless_backend.h"
#include "run_test_fixture.h"

namespace vrn::test {
namespace {

using WindowProcedure = RunTest;

TEST_F(WindowProcedure, CloseShowsTheTextAndAsksForOneExit) {
    gf_wndProc(window, {ui::MessageKind::Close, 0, 0});
    EXPECT_EQ(status(), "Close window button clicked, closing Varnel ...");
    gf_wndProc(window, {ui::MessageKind::Close, 0, 0});   // a second click while the exit runs
    ASSERT_EQ(awaitPrivate(), ui::WM_FINAL_EXIT);
    ASSERT_TRUE(gf_waitForExitDone(std::chrono::seconds(20)));
    EXPECT_EQ(logCount("Exiting: USER CLOSED SIM"), 1);
}

TEST_F(WindowProcedure, FinalExitSavesTheWindowPositionUnlessItIsAtALimit) {
    struct Case {
        int left, top, storedX, storedY;
        std::string savedX, savedY;
    };
    const Case cases[] = {
        {250, 30, 120, 20, "250", "30"},
        {-35000, 40, 120, 20, "120", "40"},     // beyond the limit: the previous value stays
        {-32000, -32000, 300, 50, "300", "50"},  // minimised
    };
    for (const Case& c : cases) {
        MAIN_WINDOW_X.set(c.storedX);
        MAIN_WINDOW_Y.set(c.storedY);
        window.move(c.left, c.top);
        gf_startLog(dir() / "Log.txt");
        gf_wndProc(window, {ui::MessageKind::Private, ui::WM_FINAL_EXIT, 0});
        EXPECT_EQ(storedValue("MAIN_WINDOW_X"), c.savedX) << c.left;
        EXPECT_EQ(storedValue("MAIN_WINDOW_Y"), c.savedY) << c.top;
        EXPECT_FALSE(gf_logIsOpen());
        bool quit = false;
        while (const auto m = window.tryGet()) quit = quit || m->kind == ui::MessageKind::Quit;
        EXPECT_TRUE(quit);
    }
    gf_startLog(dir() / "Log.txt");
}

TEST(HeadlessLoop, PrintsEachNewStatusOnceAndEndsOnQuit) {
    ui::Window window;
    window.create("Varnel", 0, 0, 10, 10);
    std::ostringstream out;
    std::vector<std::string> statuses{"", "Waiting", "Waiting", "Connected", ""};
    std::size_t polls = 0;
    int commands = 0;
    ui::HeadlessOptions options;
    options.out = &out;
    options.pollMilliseconds = 1;
    options.statusText = [&] {
        const std::string s = statuses[std::min(polls, statuses.size() - 1)];
        if (++polls == statuses.size()) window.post({ui::MessageKind::Quit, 0, 7});
        return s;
    };
    window.post({ui::MessageKind::Command, 0x8010, 0});
    const int rc = ui::gf_runHeadlessMessageLoop(window, [&](const ui::Message& m) { commands += m.kind == ui::MessageKind::Command; },
                                                 options);
    EXPECT_EQ(rc, 7);
    EXPECT_EQ(commands, 1);
    EXPECT_EQ(out.str(), "[status] Waiting\n[status] Connected\n");
}

}  // namespace
}  // namespace vrn::test
