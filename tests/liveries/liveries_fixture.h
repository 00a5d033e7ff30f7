#pragma once
// Shared set-up of the liveries tests: a scratch program folder as the current folder, a log file
// the tests can read, settings saved into the scratch folder, and a small type database written
// with the project's scrambling.
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

inline std::string scrambledTypes(const std::vector<std::string>& types) {
    std::string out;
    for (const auto& t : types) out += (out.empty() ? "" : ",") + gf_scrambleTypeCode(t);
    return out;
}

inline std::string scrambledAirlines(const std::vector<std::string>& codes) {
    std::string out;
    for (const auto& c : codes) out += (out.empty() ? "" : ",") + gf_scrambleAirline(c);
    return out;
}

struct DbRow {
    std::string reg, airline, type, op;
    bool cargo = false;
};

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
    similar.append_child("similar").append_attribute("types").set_value(scrambledTypes({"A320", "A319", "A321"}).c_str());
    similar.append_child("similar").append_attribute("types").set_value(scrambledTypes({"B738", "B38M"}).c_str());
    similar.append_child("similar").append_attribute("types").set_value(scrambledTypes({"C172", "C152"}).c_str());
    list("ICAO_airlines", "ICAO", "codes",
         scrambledAirlines({"DLH", "EWG", "KLM", "BAW", "ZZZ", "PVT", "BOX", "RYR", "UAE"}) + ",AFR");
    list("cargo_operators", "ICAO", "codes", scrambledAirlines({"BOX"}));
    auto pubs = doc.append_child("publishers");
    pubs.append_child("pub").append_attribute("names").set_value("GroupB, Spaced,pub.*two");
    pubs.append_child("pub").append_attribute("names").set_value("GroupA,PublisherOne,ab[c");
    pubs.append_child("pub").append_attribute("names").set_value("GroupA,PublisherOne,ab[c");
    auto spans = doc.append_child("wingspans");
    auto span = [&](const std::string& type, const char* metres) {
        auto w = spans.append_child("wingspan");
        w.append_attribute("type").set_value(gf_scrambleTypeCode(type).c_str());
        w.append_attribute("meters").set_value(metres);
    };
    span("A320", "36");
    span("A320", "99");   // second entry: not stored, but raises the maximum
    span("C172", "40");
    span("C152", "60");
    span("QQQQ", "80");   // no valid model
    span("E300", "7.5");
    auto dbase = doc.append_child("dbase");
    for (const DbRow& r : rows) {
        auto db = dbase.append_child("db");
        db.append_attribute("reg").set_value(gf_scrambleCode(r.reg).c_str());
        db.append_attribute("airl").set_value(r.airline.empty() ? "" : gf_scrambleAirline(r.airline).c_str());
        db.append_attribute("type").set_value(r.type.empty() ? "" : gf_scrambleTypeCode(r.type).c_str());
        db.append_attribute("opr").set_value(r.op.empty() ? "" : gf_scrambleAirline(r.op).c_str());
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
        std::filesystem::create_directories(m_dir.path() / "output" / "info");
        std::filesystem::create_directories(m_dir.path() / "appdata");
        m_cwd = std::make_unique<ScopedCurrentDir>(m_dir.path());
        gf_setDataFolderForTests(m_dir.path() / "appdata");
        gf_startLog(m_dir.path() / "Log.txt");
        gf_clearTypeDatabase();
        gf_clearFixes();
        gf_clearLiveryIndex();
        gf_clearScanReports();
        gf_resetLiveryMatching();
        g_liveries.clear();
        gf_clearError();
        gf_clearStatus();
        RANDOM.set(false);
        LOG.set(true);
        MATCHING_DEPTH.set(4);
        SUPPRESS_STUB.set(true);
        LIGHT_AIRCRAFT.set(true);
        HIGH_PERF_AIRCRAFT.set(true);
        HELICOPTERS.set(true);
    }
    void TearDown() override {
        gf_closeLog();
        g_liveries.clear();
        gf_clearLiveryIndex();
        gf_clearScanReports();
        gf_clearTypeDatabase();
        gf_clearFixes();
        gf_setDataFolderForTests({});
        m_cwd.reset();
    }
    void readDbase(const std::vector<DbRow>& rows = {}) {
        saveDoc(makeDbase(rows), m_dir.path() / "input" / "dbase.xml");
        ASSERT_TRUE(gf_readDbase());
    }
    std::string logText() {
        gf_flushLog();
        return readFile(m_dir.path() / "Log.txt");
    }
    const std::filesystem::path& dir() const { return m_dir.path(); }

private:
    TempDir m_dir;
    std::unique_ptr<ScopedCurrentDir> m_cwd;
};

}  // namespace vrn::test
