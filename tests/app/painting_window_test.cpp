// What the painter draws for given window states: texts, positions and colours.
#include <optional>

#include "airports/airport_list.h"
#include "airports/airport_scan.h"
#include "airports/stand_records.h"
#include "app/painting.h"
#include "controls_test_fixture.h"
#include "traffic/traffic_lists.h"

namespace vrn::test {
namespace {

class Painting : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        resetMembers();
    }
    void TearDown() override {
        setParkAirport(Airport{});
        resetMembers();
        WindowTest::TearDown();
    }
    static void resetMembers() {
        MainWindow& w = g_mainWindow;
        w.g_simConnected = w.g_simFlightRunning = w.g_realTrafficLinkUp = w.g_parkAirportOk = false;
        w.g_linkBoxOff = w.g_userAircraftKnown = true;
        for (auto* text : {&w.g_userAircraftText, &w.g_userStandText, &w.g_simVersionText}) text->set("");
        w.g_trafficStatus = w.g_weatherStatus = 3;
        w.g_qnh = w.g_maxParkCount = 0;
        w.g_liveAverageFit = w.g_staticAverageFit = -1.0f;
    }
    static void setParkAirport(const Airport& a) {
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = a;
    }
    // The colour of a drawn text, nothing when it was not drawn.
    std::optional<ui::Colour> colourOf(const std::string& text) const {
        for (const auto& t : surface.texts)
            if (t.text == text) return t.colour;
        return std::nullopt;
    }
    bool drawn(const std::string& text) const { return colourOf(text).has_value(); }
    std::optional<ui::Colour> fillOf(const ui::Rect& r) const {
        std::optional<ui::Colour> last;
        for (const auto& f : surface.fills)
            if (f.rect == r) last = f.colour;
        return last;
    }
    std::optional<std::string> textAt(int x, int y) const {
        for (const auto& t : surface.texts)
            if (t.x == x && t.y == y) return t.text;
        return std::nullopt;
    }
    void paint() {
        surface.clear();
        gf_paint(surface, gf_bandRect(Band::Title));
    }
    ui::RecordingSurface surface;
};

TEST_F(Painting, SimulatorBoxFollowsConnectionFlightAndTitle) {
    const ui::Rect simBox{397, 30, 425, 112};
    struct Case {
        bool connected, flight;
        std::string title;
        ui::Colour box;
    };
    for (const Case& c : {Case{false, true, "A320", kRed}, Case{true, false, "A320", kYellow},
                          Case{true, true, "", kYellow}, Case{true, true, "A320", kGreen}}) {
        g_mainWindow.g_simConnected = c.connected;
        g_mainWindow.g_simFlightRunning = c.flight;
        g_mainWindow.g_userAircraftText.set(c.title);
        g_mainWindow.g_simVersionText.set("MSFS 2020");
        paint();
        EXPECT_EQ(fillOf(simBox), c.box);
        EXPECT_EQ(textAt(5, 35).has_value(), c.connected) << "the simulator lines need a connection";
        if (c.connected) {
            EXPECT_EQ(colourOf("MSFS 2020"), c.box);
        }
    }
    g_mainWindow.g_userStandText.set("A12");
    g_mainWindow.g_userAircraftKnown = false;
    paint();
    EXPECT_TRUE(drawn("MSFS 2020, user stand A12"));
    EXPECT_EQ(colourOf("A320"), kYellow) << "an unrecognised title is yellow";
}

TEST_F(Painting, RealTrafficBoxWeatherAndTraffic) {
    const ui::Rect rtBox{425, 30, 453, 112};
    g_mainWindow.g_realTrafficLinkUp = true;
    g_mainWindow.g_trafficStatus = 1;
    paint();
    EXPECT_EQ(fillOf(rtBox), kBlack) << "black until the traffic starts, whatever the link";

    g_mainWindow.g_linkBoxOff = false;
    g_mainWindow.g_weatherStatus = 1;
    g_mainWindow.g_liveCount = 7;
    paint();
    EXPECT_EQ(fillOf(rtBox), kGreen);
    EXPECT_EQ(textAt(642, 63), std::optional<std::string>("")) << "no QNH yet: an empty text";
    EXPECT_EQ(colourOf("live:   7"), kGreen);
    EXPECT_EQ(colourOf("Weather"), kGreen);

    g_mainWindow.g_qnh = 1013;
    g_mainWindow.g_trafficStatus = 2;
    g_mainWindow.g_weatherStatus = 3;
    paint();
    EXPECT_EQ(fillOf(rtBox), kYellow);
    EXPECT_FALSE(drawn("qnh: 1013")) << "a stopped weather reader shows no QNH";
    EXPECT_FALSE(drawn("Weather"));
    EXPECT_EQ(colourOf("Traffic"), kYellow);

    g_mainWindow.g_realTrafficLinkUp = false;
    paint();
    EXPECT_EQ(fillOf(rtBox), kRed);
}

TEST_F(Painting, LabelsFollowSettingsAndControlStates) {
    g_offlineLearningCount = 1;
    SCAN_LIVERIES.set(true);
    window.enable(HELICOPTERS.controlId, false);
    paint();
    EXPECT_TRUE(drawn("1 airport in TBLO folder"));
    EXPECT_EQ(colourOf("Scan for liveries:"), kRed);
    EXPECT_EQ(colourOf("Helicopters"), kGrey);
    EXPECT_EQ(colourOf("Light aircraft"), kBlack);

    g_offlineLearningCount = 2;
    g_mainWindow.g_renewalMinutes = 12;
    paint();
    EXPECT_TRUE(drawn("2 airports in TBLO folder"));
    EXPECT_FALSE(drawn("(in 12 min)")) << "no renewal without a parking file";
    g_apfLoaded = true;
    paint();
    EXPECT_TRUE(drawn("(in 12 min)"));
    g_parkingBusy = true;
    paint();
    g_parkingBusy = false;
    EXPECT_FALSE(drawn("(in 12 min)"));
    EXPECT_EQ(colourOf("Airport static parking active:"), kYellow);

    g_offlineLearningCount = 0;
    paint();
    for (const auto& t : surface.texts) EXPECT_EQ(t.text.find("TBLO"), std::string::npos) << t.text;
}

TEST_F(Painting, ParkBandShowsTheParkAirport) {
    auto parkTexts = [this] {
        return std::count_if(surface.texts.begin(), surface.texts.end(),
                             [](const auto& t) { return t.y >= 392 && t.y < 448; });
    };
    paint();
    EXPECT_EQ(parkTexts(), 0) << "no park airport, nothing drawn";

    setParkAirport(Airport{"EGLL", "LHR", 51.47, -0.45, 83});
    paint();
    EXPECT_EQ(parkTexts(), 1);
    EXPECT_EQ(colourOf("EGLL (LHR)"), kYellow) << "a file that failed: only the code";

    g_mainWindow.g_parkAirportOk = true;
    g_mainWindow.g_maxParkCount = 40;
    g_mainWindow.g_parkedStaticCount = 12;
    g_mainWindow.g_staticAverageFit = 3.5f;
    paint();
    EXPECT_EQ(colourOf("EGLL (LHR)"), kGreen);
    for (const char* text : {"parked static:  12", "max park:  40 (=30% )", "average fit: 3.5"})
        EXPECT_TRUE(drawn(text)) << text;
    EXPECT_FALSE(textAt(249, 427).has_value()) << "live average -1: not drawn";
    WEEK.set(true);
    paint();
    EXPECT_FALSE(drawn("average fit: 3.5")) << "the week view hides the static average";
}

TEST_F(Painting, StatusBandIsGreenOrRedWithTheText) {
    gf_showStatus("hello", false);
    paint();
    EXPECT_EQ(surface.fills.back().colour, kGreen);
    EXPECT_EQ(surface.texts.back().text, "hello");
    EXPECT_EQ(surface.texts.back().colour, kYellow);
    gf_showError("mainLoop: boom");
    paint();
    EXPECT_EQ(surface.fills.back().rect, gf_bandRect(Band::Status));
    EXPECT_EQ(surface.fills.back().colour, kRed);
    EXPECT_EQ(surface.texts.back().text, "mainLoop: boom");
}

}  // namespace
}  // namespace vrn::test
