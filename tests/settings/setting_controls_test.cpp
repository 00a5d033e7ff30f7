// The catalogue's invariants and the controls that the setting objects own.
#include <set>

#include "settings/settings_test_fixture.h"

namespace vrn::test {
namespace {

TEST(SettingCatalogue, ControlIdsAreUnique) {
    std::set<std::uint16_t> ids;
    for (const GuiControl* c : AllSettings().controls) {
        EXPECT_TRUE(ids.insert(c->controlId).second && c->controlId >= 0x8003 && c->controlId <= 0x8058) << c->controlId;
    }
    EXPECT_EQ(ids.size(), 40u);   // 36 settings and 4 buttons
}

TEST(SettingCatalogue, DataFolderFollowsTheConfigFolderUnlessOverridden) {
    TempDir home;
    ScopedEnv config(test::kRoamingFolderVariable, home.path().string());
    gf_setDataFolderForTests({});
    EXPECT_EQ(gf_parametersPath(), home.path() / "Varnel" / "parameters.xml");
    gf_setDataFolderForTests(home / "elsewhere");
    EXPECT_EQ(gf_parametersPath(), home / "elsewhere" / "parameters.xml");
    gf_setDataFolderForTests({});
}

TEST(SettingCatalogue, LateralRangeKeepsItsDerivedValuesInStepAndInRange) {
    for (auto [nm, range] : {std::pair{8, 8}, {1, 2}, {150, 100}, {40, 40}}) {
        gf_setLateralRange(nm);
        EXPECT_EQ(LATERAL_RANGE.get(), range) << nm;
        EXPECT_TRUE(g_lateralRangeNm.load() == range && g_lateralRangeMetres.load() == range * 1852) << nm;
    }
}

class SettingControls : public SettingsTest {
protected:
    void SetUp() override { SettingsTest::SetUp(), g_mainWindow.g_hMainWindow = &window; }
    static bool noKeys(ui::Window&, std::uint16_t, ui::Key) { return false; }
    ui::Window window;
};

TEST_F(SettingControls, ToggleActsOnlyOnItsOwnIdAndSavesAtOnce) {
    LOG.createControl(window, 652);
    EXPECT_FALSE(gf_toggleCheckbox(window, ALWAYS_ON_TOP.controlId, LOG));
    EXPECT_TRUE(LOG.get() && !std::filesystem::exists(paramsPath())) << "a refused toggle must not save";

    for (bool expected : {false, true}) {
        EXPECT_TRUE(gf_toggleCheckbox(window, LOG.controlId, LOG));
        EXPECT_TRUE(window.isChecked(LOG.controlId) == expected && LOG.get() == expected);
        EXPECT_EQ(storedValue("LOG"), expected ? "true" : "false");
    }
}

TEST_F(SettingControls, ShowValueWritesTheFieldTextAndRedrawsTheSettingsBand) {
    MAX_LIVE.createEdit(window, 576, 34, 0, noKeys);
    BLOCK_CALLSIGN.createEdit(window, 217, 100, 0, noKeys);
    MAX_LIVE.set(42);
    window.takeInvalidated();
    MAX_LIVE.showValue();
    EXPECT_EQ(window.text(MAX_LIVE.controlId), "42");
    EXPECT_EQ(window.takeInvalidated(), std::vector<ui::Rect>{gf_bandRect(Band::Settings)});

    BLOCK_CALLSIGN.set("DLH4AB");
    BLOCK_CALLSIGN.showValue();
    BLOCK_CALLSIGN.set("bad \xC3\x28 text");   // not UTF-8: the field keeps its text
    BLOCK_CALLSIGN.showValue();
    EXPECT_EQ(window.text(BLOCK_CALLSIGN.controlId), "DLH4AB");
}

}  // namespace
}  // namespace vrn::test
