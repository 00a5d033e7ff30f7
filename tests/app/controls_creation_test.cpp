// The controls of the settings band and the Enter handling of edit fields.
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
