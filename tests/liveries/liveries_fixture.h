#pragma once
// Liveries tests' set-up: a scratch program folder, a readable log, and a small scrambled type database.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "app/main_window.h"
#include "core/log.h"
#include "core/utilities.h"
#include "liveries/aircraft_cfg_lines.h"
#include "liveries/code_scrambling.h"
#include "liveries/fixes_file.h"
#include "liveries/livery_data.h"
#include "liveries/livery_index.h"
#include "liveries/livery_matching.h"
#include "liveries/type_database.h"
#include "settings/settings_catalogue.h"
#include "support/test_support.h"

namespace vrn::test {

inline std::string scrambledList(const std::vector<std::string>& codes, std::string (*scramble)(const std::string&)) {
    std::string out;
    for (const auto& c : codes) out += (out.empty() ? "" : ",") + scramble(c);
    return out;
}
inline std::string scrambledTypes(const std::vector<std::string>& t) { return scrambledList(t, gf_scrambleTypeCode); }
inline std::string scrambledAirlines(const std::vector<std::string>& c) { return scrambledList(c, gf_scrambleAirline); }

struct DbRow { std::string reg, airline, type, op; bool cargo = false; };

// A type database with a few types of every class, wingspans and registrations.
inline pugi::xml_document makeDbase(const std::vector<DbRow>& rows = {}) {
    pugi::xml_document doc;
    auto list = [&](const char* section, const char* element, const char* attr, const std::string& value) {
        doc.append_child(section).append_child(element).append_attribute(attr).set_value(value.c_str());
    };
    list("aircrafts", "aircraft", "types",
         scrambledTypes({"A319", "A320", "A321", "A20N", "B738", "B38M", "B77W", "B744", "A388", "C172", "C152", "SR22",
                         "C25C", "C700", "H145", "EC35", "E300", "PTS2", "DH8D", "A5"}));
    list("high_performance", "hpf", "types", scrambledTypes({"E300", "PTS2"}));
    list("heavy", "hvy", "types", scrambledTypes({"B77W", "B744", "A388", "A321"}));
    list("large", "lar", "types", scrambledTypes({"A319", "A320", "A321", "A20N", "B738", "B38M"}));
    list("buzjet", "bzj", "types", scrambledTypes({"C25C", "C700"}));
    list("rotorcraft", "rot", "types", scrambledTypes({"H145", "EC35"}));
    list("cargo_types", "cargo_type", "types", scrambledTypes({"B744"}));
    auto similar = doc.append_child("similar_types");
    for (const auto& group : {scrambledTypes({"A320", "A319", "A321"}), scrambledTypes({"B738", "B38M"}), scrambledTypes({"C172", "C152"})})
        similar.append_child("similar").append_attribute("types").set_value(group.c_str());
    list("ICAO_airlines", "ICAO", "codes",
         scrambledAirlines({"DLH", "EWG", "KLM", "BAW", "ZZZ", "PVT", "BOX", "RYR", "UAE"}) + ",AFR");
    list("cargo_operators", "ICAO", "codes", scrambledAirlines({"BOX"}));
    auto pubs = doc.append_child("publishers");
    for (const char* names : {"GroupB, Spaced,pub.*two", "GroupA,PublisherOne,ab[c", "GroupA,PublisherOne,ab[c"})
        pubs.append_child("pub").append_attribute("names").set_value(names);
    auto spans = doc.append_child("wingspans");
    // A320's second entry is not stored but raises the maximum; QQQQ is no valid model.
    for (auto [type, metres] : {std::pair{"A320", "36"}, {"A320", "99"}, {"C172", "40"}, {"C152", "60"}, {"QQQQ", "80"}, {"E300", "7.5"}}) {
        auto w = spans.append_child("wingspan");
        w.append_attribute("type").set_value(gf_scrambleTypeCode(type).c_str());
        w.append_attribute("meters").set_value(metres);
    }
    auto dbase = doc.append_child("dbase");
    for (const DbRow& r : rows) {
        auto db = dbase.append_child("db");
        for (auto [attr, value] : {std::pair{"reg", gf_scrambleCode(r.reg)}, {"airl", r.airline.empty() ? "" : gf_scrambleAirline(r.airline)},
                                   {"type", r.type.empty() ? "" : gf_scrambleTypeCode(r.type)}, {"opr", r.op.empty() ? "" : gf_scrambleAirline(r.op)}})
            db.append_attribute(attr).set_value(value.c_str());
        if (r.cargo) db.append_attribute("cargo").set_value("true");
    }
    return doc;
}

inline void saveDoc(const pugi::xml_document& doc, const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    ASSERT_TRUE(doc.save_file(file.c_str()));
}

// Scratch program folder, log and settings; every container of the subsystem emptied.
class LiveriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* sub : {"output/info", "appdata"}) std::filesystem::create_directories(m_dir.path() / sub);
        m_cwd = std::make_unique<ScopedCurrentDir>(m_dir.path());
        gf_setDataFolderForTests(m_dir.path() / "appdata");
        gf_startLog(m_dir.path() / "Log.txt");
        clearAll();
        gf_resetLiveryMatching(), gf_clearError(), gf_clearStatus();
        RANDOM.set(false), MATCHING_DEPTH.set(4);
        for (auto* p : {&LOG, &SUPPRESS_STUB, &LIGHT_AIRCRAFT, &HIGH_PERF_AIRCRAFT, &HELICOPTERS}) p->set(true);
    }
    static void clearAll() { g_liveries.clear(), gf_clearLiveryIndex(), gf_clearScanReports(), gf_clearTypeDatabase(), gf_clearFixes(); }
    void TearDown() override {
        gf_closeLog(), clearAll();
        gf_setDataFolderForTests({});
        m_cwd.reset();
    }
    void readDbase(const std::vector<DbRow>& rows = {}) {
        saveDoc(makeDbase(rows), m_dir.path() / "input" / "dbase.xml");
        ASSERT_TRUE(gf_readDbase());
    }
    std::string logText() { return gf_flushLog(), readText(m_dir.path() / "Log.txt"); }
    const std::filesystem::path& dir() const { return m_dir.path(); }

private:
    TempDir m_dir;
    std::unique_ptr<ScopedCurrentDir> m_cwd;
};

}  // namespace vrn::test
