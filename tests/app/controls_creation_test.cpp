// The controls of the settings band and the Enter handling of edit fields.
#include <array>
#include <map>

#include "app/controls.h"
#include "controls_test_fixture.h"

namespace vrn::test {
namespace {

using Controls = WindowTest;

TEST_F(Controls, AllThirtyNineExistWithTheirSettingsIdsAndStartingStates) {
    const auto controls = window.controls();
    ASSERT_EQ(controls.size(), static_cast<std::size_t>(kControlCount));
    std::map<ui::ControlKind, int> kinds;
    for (const ui::ControlState& c : controls) {
        ++kinds[c.kind];
        // Check boxes work at once; edits and buttons wait for the run's start.
        EXPECT_EQ(c.enabled, c.kind == ui::ControlKind::CheckBox) << c.id;
    }
    EXPECT_EQ(kinds, (std::map<ui::ControlKind, int>{
                         {ui::ControlKind::CheckBox, 24}, {ui::ControlKind::Edit, 11}, {ui::ControlKind::Button, 4}}));
    EXPECT_FALSE(window.hasControl(MAX_FIT.controlId)) << "MAX_FIT follows MAX_FIT_FL and has no field";
    EXPECT_EQ(window.isChecked(GUID_CHANGES.controlId), GUID_CHANGES.get());
    EXPECT_EQ(window.isChecked(MSFS_2020.controlId), MSFS_2020.get());

    // Controls whose place is not the usual check-box or edit row: buttons sit 2 pixels higher, the
    // install paths are wider than the window (clipped at its right edge).
    struct Place {
        const GuiControl* control;
        int x, y, width;
    };
    for (const Place& p : {Place{&CHECK_VERSION_BUTTON, 692, 257, 120}, Place{&UNBLOCK_BUTTON, 323, 285, 70},
                           Place{&FLUSH_STATIC_BUTTON, 642, 369, 90}, Place{&REREAD_BUTTON, 758, 369, 90},
                           Place{&MSFS_INSTALL_PATH, 111, 119, 1200}, Place{&MSFS_2024_INSTALL_PATH, 111, 147, 1200},
                           Place{&MAX_FIT_FL, 460, 371, 24}, Place{&AIRPORT_HEIGHT, 586, 343, 50}}) {
        const auto c = window.control(p.control->controlId);
        ASSERT_TRUE(c.has_value()) << p.control->controlId;
        EXPECT_EQ((std::array{c->rect.left, c->rect.top, c->rect.right - c->rect.left}),
                  (std::array{p.x, p.y, p.width}))
            << p.control->controlId;
    }
}

TEST_F(Controls, EnterIsTakenByEveryFieldAndOtherKeysAreLeftToTheEdit) {
    for (const ui::ControlState& c : window.controls()) {
        if (c.kind != ui::ControlKind::Edit) continue;
        window.enable(c.id, true);
        EXPECT_FALSE(window.userPressesKey(c.id, ui::Key::Tab)) << c.id;
        EXPECT_FALSE(window.userPressesKey(c.id, ui::Key::Other)) << c.id;
        EXPECT_TRUE(window.userPressesKey(c.id, ui::Key::Enter)) << c.id;
    }
}

}  // namespace
}  // namespace vrn::test
