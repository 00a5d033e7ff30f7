#pragma once
// A scratch world for settings and main-window tests: own data folder, current folder and Log.txt, all defaults.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "app/main_window.h"
#include "core/log.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn::test {

// Every setting object of the program, by class, and every owner of a control.
struct AllSettings {
    std::vector<BoolParameter*> bools{&RANDOM};
    std::vector<NumericParameter<int>*> ints{&CUSTOM_PARKING_PERCENTAGE, &LAST_EPOCH_TIME,
                                             &MAIN_WINDOW_X, &MAIN_WINDOW_Y};
    std::vector<StringParameter*> strings{&PROGRAM_VERSION, &PORT_NUMBER, &PROGRAM_INSTALL_PATH, &ARCHIVE_VERSION,
                                          &MYSIMADDON24_VERSION, &DBASE_VERSION, &AIG_VERSION, &DATA_CHECKED_AT_DATE};
    std::vector<GuiControl*> controls{&CHECK_VERSION_BUTTON, &UNBLOCK_BUTTON, &FLUSH_STATIC_BUTTON, &REREAD_BUTTON,
                                      &MAX_FIT_FL};

    AllSettings() {
        for (CheckBoxParameter* p :
             {&MSFS_2020, &SCAN_LIVERIES, &LIG_AUTOMATIC, &LIG_PRIORITIZE, &SUPPRESS_STUB, &LOG, &ALWAYS_ON_TOP,
              &SCAN_AIRPORTS, &AFG_AUTOMATIC, &NAV_LIGHTS_WHILE_PARKED, &LEARN_SOFT, &LIGHT_AIRCRAFT, &HELICOPTERS,
              &HIGH_PERF_AIRCRAFT, &AEROWINX, &GUID_CHANGES, &AUTO_RANGE, &COLLISION_USER_GND, &COLLISION_USER_AIR,
              &COLLISION_LIVE_PARKED_GND, &PARK_FAKE, &WEEK, &PARK_SOFT, &INITIAL_LOAD_ONLY})
            add(p, bools);
        for (NumericEditParameter<int>* p : {&MATCHING_DEPTH, &LATERAL_RANGE, &MAX_LIVE, &AIRPORT_RANGE,
                                             &AIRPORT_HEIGHT, &parking_percentage, &MAX_FIT})
            add(p, ints);
        for (StringEditParameter* p :
             {&MSFS_INSTALL_PATH, &MSFS_2024_INSTALL_PATH, &BLOCK_CALLSIGN, &CALLSIGN_2_OBJECTID})
            add(p, strings);
        for (int i = 0; i < 10; ++i) strings.insert(strings.end(), {gf_liveryFolderSetting(i), gf_airportFolderSetting(i)});
    }
    template <typename P, typename List>
    void add(P* p, List& list) { list.push_back(p), controls.push_back(p); }
};

inline void resetAllSettings() {
    AllSettings a;
    for (auto* p : a.bools) p->set(p->defaultValue);
    for (auto* p : a.ints) p->set(p->defaultValue);
    for (auto* p : a.strings) p->set(p->defaultValue);
    for (auto* c : a.controls) c->hwnd = ui::ControlHandle{};
    MAX_FIT_FL.set(MAX_FIT_FL.defaultValue);
    gf_setLateralRange(LATERAL_RANGE.defaultValue);
}

inline void resetMainWindow() {
    g_mainWindow.g_hMainWindow = nullptr;
    g_mainWindow.g_statusText.set("");
    g_mainWindow.g_errorText.set("");
    g_mainWindow.g_statusSeconds = g_mainWindow.g_statusShownAt = 0;
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dataFolder());
        gf_setDataFolderForTests(dataFolder());
        m_cwd = std::make_unique<ScopedCurrentDir>(m_dir.path());
        gf_startLog(m_dir / "Log.txt");
        resetAllSettings(), resetMainWindow();
    }
    void TearDown() override {
        gf_closeLog(), resetMainWindow(), resetAllSettings();
        gf_setDataFolderForTests({});
        m_cwd.reset();
    }

    std::filesystem::path dataFolder() const { return m_dir / "Varnel"; }
    std::filesystem::path paramsPath() const { return dataFolder() / "parameters.xml"; }
    std::filesystem::path dir() const { return m_dir.path(); }

    void writeParams(const std::string& xml) const { writeFile(paramsPath(), xml); }
    void writeParams(const std::vector<std::pair<std::string, std::string>>& keys) const {
        std::string xml = "<?xml version=\"1.0\"?>\n<parameters>\n";
        for (const auto& [k, v] : keys) xml += "\t<parameter name=\"" + k + "\" value=\"" + v + "\" />\n";
        writeParams(xml + "</parameters>\n");
    }

    std::vector<std::string> logLines() const { return gf_flushLog(), readLinesOf(m_dir / "Log.txt"); }
    int logCount(const std::string& line) const { auto l = logLines(); return int(std::count(l.begin(), l.end(), line)); }
    bool logContains(const std::string& part) const {
        auto l = logLines();
        return std::any_of(l.begin(), l.end(), [&](auto& x) { return x.find(part) != std::string::npos; });
    }

    // The file's (name, value) pairs in file order; storedValue gives "<missing>" for an absent key.
    std::vector<std::pair<std::string, std::string>> stored() const {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file(paramsPath().c_str())) << "parameters.xml does not load";
        std::vector<std::pair<std::string, std::string>> out;
        for (pugi::xml_node root : doc.children("parameters"))
            for (pugi::xml_node n : root.children("parameter"))
                out.emplace_back(n.attribute("name").value(), n.attribute("value").value());
        return out;
    }
    std::vector<std::string> storedNames() const {
        std::vector<std::string> names;
        for (auto& e : stored()) names.push_back(e.first);
        return names;
    }
    std::string storedValue(const std::string& key) const {
        for (auto& [n, v] : stored()) if (n == key) return v;
        return "<missing>";
    }

private:
    TempDir m_dir;
    std::unique_ptr<ScopedCurrentDir> m_cwd;
};

}  // namespace vrn::test
