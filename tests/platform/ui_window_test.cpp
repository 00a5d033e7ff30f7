// The window model: its message queue across threads, the user's actions on controls, invalidation.
#include <gtest/gtest.h>

#include <thread>

#include "platform/ui/window.h"

namespace vrn::ui {
namespace {

TEST(UiWindowQueue, DeliversInOrderAcrossThreads) {
    Window window;
    EXPECT_FALSE(window.tryGet());
    EXPECT_FALSE(window.waitGet(0));

    constexpr int kCount = 500;
    std::thread producer([&window] {
        for (int i = 0; i < kCount; ++i) window.post(Message{MessageKind::Command, 0x8003, i});
        window.post(Message{MessageKind::Private, WM_FINAL_EXIT, 0});
    });
    std::vector<std::int64_t> seen;
    for (;;) {
        auto m = window.waitGet(-1);
        ASSERT_TRUE(m);
        if (m->kind == MessageKind::Private) {
            EXPECT_EQ(m->code, WM_FINAL_EXIT);
            break;
        }
        seen.push_back(m->param);
    }
    producer.join();
    ASSERT_EQ(seen.size(), static_cast<std::size_t>(kCount));
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(seen[i], i);
}

class UiWindowControls : public ::testing::Test {
protected:
    void SetUp() override {
        window.create("Varnel", 400, 20, 880, 516);
        window.createControl(ControlKind::CheckBox, 0x800B, {652, 177, 664, 189}, "", true);
        window.createControl(ControlKind::Button, 0x8046, {758, 369, 848, 389}, "Re-read", false);
        window.createControl(ControlKind::Edit, 0x8034, {576, 259, 610, 275}, "", false);
    }
    std::optional<Message> next() { return window.tryGet(); }
    Window window;
};

TEST_F(UiWindowControls, ClicksPostCommandsOnlyForEnabledBoxesAndButtons) {
    window.userClicks(0x800B);
    auto m = next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->kind, MessageKind::Command);
    EXPECT_EQ(m->code, 0x800Bu);
    EXPECT_FALSE(window.isChecked(0x800B)) << "the owner toggles the box, not the click";

    window.userClicks(0x8046);   // disabled button
    window.userClicks(0x9999);   // no such control
    window.userClicks(0x8034);   // an edit field takes no command
    EXPECT_FALSE(next());

    window.enable(0x8046, true);
    window.userClicks(0x8046);
    m = next();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->code, 0x8046u);
}

TEST_F(UiWindowControls, KeysReachTheEditHandlerFirstAndOnlyWhenEnabled) {
    std::vector<Key> keys;
    window.setEditKeyHandler(0x8034, [&keys](Window& w, std::uint16_t id, Key key) {
        keys.push_back(key);
        if (key != Key::Enter) return false;
        w.setText(id, "applied " + w.text(id));   // the handler talks back to the window
        return true;
    });
    window.userTypes(0x8034, "120");
    EXPECT_EQ(window.text(0x8034), "") << "a disabled field takes no typing";
    EXPECT_FALSE(window.userPressesKey(0x8034, Key::Enter));
    EXPECT_TRUE(keys.empty());

    window.enable(0x8034, true);
    window.userTypes(0x8034, "120");
    EXPECT_TRUE(window.control(0x8034)->focused);
    EXPECT_FALSE(window.userPressesKey(0x8034, Key::Tab));
    EXPECT_TRUE(window.userPressesKey(0x8034, Key::Enter));
    EXPECT_EQ(window.text(0x8034), "applied 120");
    EXPECT_EQ(keys, (std::vector<Key>{Key::Tab, Key::Enter}));
    EXPECT_FALSE(window.userPressesKey(0x800B, Key::Enter)) << "a check box has no key handler";
}

TEST(UiWindowInvalidation, EachRectangleWaitsOnceAndEveryCallCounts) {
    Window window;
    const Rect status{0, 448, 880, 476};
    const Rect settings{0, 112, 880, 392};
    window.invalidate(status, true);
    window.invalidate(settings, true);
    window.invalidate(status, true);
    EXPECT_EQ(window.invalidationCount(), 3u);
    EXPECT_EQ(window.takeInvalidated(), (std::vector<Rect>{status, settings}));
    EXPECT_TRUE(window.takeInvalidated().empty());
}

}  // namespace
}  // namespace vrn::ui
