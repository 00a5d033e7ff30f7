// The window model: its message queue across threads and the user's actions on controls.
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
    std::vector<std::int64_t> seen, expected;
    for (auto m = window.waitGet(-1); m && m->kind != MessageKind::Private; m = window.waitGet(-1)) seen.push_back(m->param);
    producer.join();
    for (int i = 0; i < kCount; ++i) expected.push_back(i);
    EXPECT_EQ(seen, expected);
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
    ASSERT_TRUE(m && m->kind == MessageKind::Command);
    EXPECT_EQ(m->code, 0x800Bu);
    EXPECT_FALSE(window.isChecked(0x800B)) << "the owner toggles the box, not the click";

    for (std::uint16_t id : {0x8046, 0x9999, 0x8034}) window.userClicks(id);   // disabled, missing, an edit field
    EXPECT_FALSE(next());

    window.enable(0x8046, true);
    window.userClicks(0x8046);
    EXPECT_EQ(next().value_or(Message{}).code, 0x8046u);
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
    EXPECT_FALSE(window.userPressesKey(0x8034, Key::Enter));
    EXPECT_EQ(window.text(0x8034), "") << "a disabled field takes no typing";
    window.enable(0x8034, true);
    window.userTypes(0x8034, "120");
    EXPECT_TRUE(window.control(0x8034)->focused);
    EXPECT_FALSE(window.userPressesKey(0x8034, Key::Tab));
    EXPECT_TRUE(window.userPressesKey(0x8034, Key::Enter));
    EXPECT_EQ(window.text(0x8034), "applied 120");
    EXPECT_EQ(keys, (std::vector<Key>{Key::Tab, Key::Enter})) << "none while disabled";
    EXPECT_FALSE(window.userPressesKey(0x800B, Key::Enter)) << "a check box has no key handler";
}

TEST_F(UiWindowControls, EveryShownChangeWakesTheListenerOutsideTheLock) {
    std::vector<std::string> seen;   // the listener reads the model: it must not be called under its lock
    window.setChangeListener([&] { seen.push_back(window.text(0x8034)); });
    window.setText(0x8034, "12");
    window.setChecked(0x800B, true);
    window.enable(0x8046, true);
    window.setTopMost(true);
    window.invalidate({0, 448, 880, 476}, true);
    window.post(Message{MessageKind::Private, WM_START_RUN, 0});
    window.createControl(ControlKind::Edit, 0x8035, {217, 259, 251, 275}, "40", false);
    EXPECT_EQ(seen, std::vector<std::string>(7, "12"));
    window.setChangeListener({});
    window.setText(0x8034, "13");
    EXPECT_EQ(seen.size(), 7u);
}

}  // namespace
}  // namespace vrn::ui
