// Enter in the edit fields: parsing, limits, saving, the value shown again, and the requests raised.
#include <cmath>

#include "app/edit_fields.h"
#include "controls_test_fixture.h"

namespace vrn::test {
namespace {

using EditFields = WindowTest;

TEST_F(EditFields, IntegerFieldsParseClampSaveAndShowTheValueInForce) {
    struct Case {
        NumericEditParameter<int>* setting;
        int before;
        std::string typed;
        int after;
        // Status, text in the field afterwards, parameters.xml value ("<missing>" when nothing was saved).
        std::string statusText, field, stored;
    };
    const Case cases[] = {
        {&MAX_LIVE, 250, "abc", 250, "invalid input: abc", "250", "<missing>"},
        {&MAX_LIVE, 250, "120abc", 120, "The new MAX_LIVE is 120", "120", "120"},
        {&MAX_LIVE, 250, "500", 300, "The new MAX_LIVE is 300", "", "300"},
        {&MAX_LIVE, 300, "300", 300, "Same MAX_LIVE value 300, no changes made", "", "<missing>"},
        {&AIRPORT_RANGE, 20, " +9", 9, "The new AIRPORT_RANGE is 9", "9", "9"},
        {&AIRPORT_RANGE, 20, "99999999999", 20, "", "20", "<missing>"},
        {&AIRPORT_HEIGHT, 5000, "", 18000, "The new AIRPORT_HEIGHT is 18000", "18000", "18000"},
        {&parking_percentage, 30, "", 0, "The new parking_percentage is 0", "0", "<missing>"},
        {&parking_percentage, 30, "55", 55, "The new parking_percentage is 55", "55", "<missing>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting->name + " <- '" + c.typed + "'");
        std::filesystem::remove(paramsPath());
        c.setting->set(c.before);
        g_mainWindow.g_statusText.set("");
        EXPECT_TRUE(enter(c.setting->controlId, c.typed));
        EXPECT_EQ(c.setting->get(), c.after);
        EXPECT_EQ(status(), c.statusText);
        EXPECT_EQ(window.text(c.setting->controlId), c.field);
        if (c.stored == "<missing>")
            EXPECT_FALSE(std::filesystem::exists(paramsPath()));
        else
            EXPECT_EQ(storedValue(c.setting->name), c.stored);
    }
    EXPECT_TRUE(logContains("procesTbInt exception")) << "an out-of-range number goes to the log";
    EXPECT_EQ(logCount("invalid input: abc"), 1);
}

TEST_F(EditFields, SettingsWithFollowUpsRaiseTheirRequests) {
    MATCHING_DEPTH.set(2);
    enter(MATCHING_DEPTH.controlId, "3");
    EXPECT_TRUE(g_clearRefusedRequest.exchange(false)) << "a deeper search may now find refused flights";
    enter(MATCHING_DEPTH.controlId, "1");
    EXPECT_FALSE(g_clearRefusedRequest.load());

    enter(LATERAL_RANGE.controlId, "8");
    EXPECT_EQ(g_lateralRangeMetres.load(), 14816);
    EXPECT_EQ(g_lateralRangeNm.load(), 8.0);
    EXPECT_TRUE(g_parkSettingsChanged.exchange(false));

    enter(MAX_LIVE.controlId, "100");
    EXPECT_EQ(g_userMaxLive.load(), 100) << "without a parking file the user's own maximum follows";
    EXPECT_TRUE(g_enforceMaxCountRequest.exchange(false));
    EXPECT_FALSE(g_parkSettingsChanged.load());
    g_apfLoaded = true;
    enter(MAX_LIVE.controlId, "90");
    EXPECT_EQ(g_userMaxLive.load(), 100);
    EXPECT_TRUE(g_parkSettingsChanged.load());
    EXPECT_TRUE(g_enforceMaxCountRequest.load());
}

TEST_F(EditFields, FitHoursAreStoredAsHalfHourSlots) {
    g_apfLoaded = true;
    struct Case {
        std::string typed;
        int slots;
        float hours;
        std::string field;
    };
    for (const Case& c : {Case{"7.3", 14, 7.5f, "7.5"}, Case{"0.75", 1, 1.0f, "1"}, Case{"0.1", 0, 0.5f, "0.5"},
                          Case{"30", 47, 24.0f, "24"}, Case{"", 47, 24.0f, "24"}}) {
        SCOPED_TRACE(c.typed);
        MAX_FIT_FL.set(3.0f);
        MAX_FIT.set(5);
        enter(MAX_FIT_FL.controlId, c.typed);
        EXPECT_EQ(MAX_FIT.get(), c.slots);
        EXPECT_EQ(MAX_FIT_FL.get(), c.hours);
        EXPECT_EQ(window.text(MAX_FIT_FL.controlId), c.field);
        EXPECT_EQ(storedValue("MAX_FIT"), std::to_string(c.slots));
        EXPECT_TRUE(g_staticRenew.exchange(false));
    }
    EXPECT_EQ(status(), "Varnel will respond in 15 seconds ...");

    // Not numbers at all, NaN included: logged, value and slots unchanged.
    for (const char* typed : {"abc", "nan"}) {
        MAX_FIT_FL.set(3.0f);
        MAX_FIT.set(5);
        enter(MAX_FIT_FL.controlId, typed);
        EXPECT_EQ(MAX_FIT_FL.get(), 3.0f) << typed;
        EXPECT_EQ(MAX_FIT.get(), 5) << typed;
        EXPECT_EQ(window.text(MAX_FIT_FL.controlId), "3");
    }
    EXPECT_TRUE(logContains("procesTbFloat exception"));

    g_apfLoaded = false;   // without a parking file the typed text stays and nothing changes
    enter(MAX_FIT_FL.controlId, "5");
    EXPECT_EQ(MAX_FIT_FL.get(), 3.0f);
    EXPECT_EQ(window.text(MAX_FIT_FL.controlId), "5");
}

TEST_F(EditFields, RenewalAnnouncementCountsToTheNextFifteenSecondStep) {
    struct Case {
        bool fileLoaded, initialLoadOnly;
        int second;
        std::string text;
        bool renew;
    };
    for (const Case& c : {Case{true, false, 29, "Varnel will respond in 1 second ...", true},
                          Case{true, false, 30, "Varnel will respond in 15 seconds ...", true},
                          Case{true, false, 17, "Varnel will respond in 13 seconds ...", true},
                          Case{true, true, 29, "", false}, Case{false, false, 29, "untouched", false}}) {
        g_apfLoaded = c.fileLoaded;
        INITIAL_LOAD_ONLY.set(c.initialLoadOnly);
        g_secondCounter = c.second;
        g_parkSettingsChanged = false;
        g_mainWindow.g_statusText.set("untouched");
        gf_respondIn();
        EXPECT_EQ(status(), c.text) << c.second;
        EXPECT_EQ(g_staticRenew.exchange(false), c.renew);
        EXPECT_EQ(g_parkSettingsChanged.load(), c.fileLoaded);
    }
}

TEST_F(EditFields, CallsignLookupIsUpperCasedAndRequested) {
    enter(CALLSIGN_2_OBJECTID.controlId, "baw12x");
    EXPECT_EQ(CALLSIGN_2_OBJECTID.get(), "BAW12X");
    EXPECT_EQ(window.text(CALLSIGN_2_OBJECTID.controlId), "BAW12X");
    EXPECT_TRUE(g_callsignLookupRequest.exchange(false));
    enter(CALLSIGN_2_OBJECTID.controlId, "");
    EXPECT_EQ(CALLSIGN_2_OBJECTID.get(), "");
    EXPECT_FALSE(g_callsignLookupRequest.load());
    EXPECT_FALSE(std::filesystem::exists(paramsPath())) << "the lookup is never saved";
}

}  // namespace
}  // namespace vrn::test
