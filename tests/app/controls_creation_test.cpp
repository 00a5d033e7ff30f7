// The controls of the settings band and the Enter handling of edit fields.
#include "app/controls.h"
#include "controls_test_fixture.h"

namespace vrn::test {
namespace {

using Controls = WindowTest;

TEST_F(Controls, AllThirtyNineExistWithTheirSettingsIdsAndStartingStates) {
    const auto controls = window.controls();
    ASSERT_EQ(controls.size(), static_cast<std::size_t>(kControlCount));
    int boxes = 0, edits = 0, buttons = 0;
    for (const ui::ControlState& c : controls) {
        switch (c.kind) {
            case ui::ControlKind::CheckBox:
                ++boxes;
                EXPECT_TRUE(c.enabled) << c.id;
                break;
            case ui::ControlKind::Edit:
                ++edits;
                EXPECT_FALSE(c.enabled) << "edits wait for the run's start: " << c.id;
                break;
            case ui::ControlKind::Button:
                ++buttons;
                EXPECT_FALSE(c.enabled) << c.id;
                break;
        }
    }
    EXPECT_EQ(boxes, 24);
    EXPECT_EQ(edits, 11);
    EXPECT_EQ(buttons, 4);
    EXPECT_FALSE(window.hasControl(MAX_FIT.controlId)) << "MAX_FIT follows MAX_FIT_FL and has no field";
    EXPECT_EQ(window.isChecked(GUID_CHANGES.controlId), GUID_CHANGES.get());
    EXPECT_EQ(window.isChecked(MSFS_2020.controlId), MSFS_2020.get());
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
