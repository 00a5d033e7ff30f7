// The aircraft.cfg reader: any bytes, as a standard or an IVAO file, must give liveries or nothing.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "liveries/aircraft_cfg_lines.h"
#include "liveries/fixes_file.h"
#include "liveries/livery_search.h"
#include "liveries/type_database.h"

namespace {

std::filesystem::path g_root;

void lf_setUp() {
    using namespace vrn;
    // Below the run folder, which the test runner makes for each target.
    g_root = std::filesystem::current_path() / "fuzz_aircraft_cfg_files";
    std::filesystem::create_directories(g_root / "IVAO_MTL" / "SimObjects" / "Airplanes" / "IVAO_A320" / "texture.DLH");
    std::filesystem::create_directories(g_root / "plain");
    g_validModels = {"A320", "B738", "B38M", "C172", "C25C", "A20N"};
    g_largeTypes = {"A320", "B738"};
    g_bizJetTypes = {"C25C"};
    g_icaoAirlines = {"DLH", "KLM", "ZZZ", "PVT"};
    g_modelFixes = {{"B38", "B38M"}};
    g_pvtFixes = {"NJE"};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (lf_setUp(), true);
    (void)ready;
    if (size == 0) return 0;
    const bool ivao = data[0] & 1;
    const std::filesystem::path file = ivao ? g_root / "IVAO_MTL" / "SimObjects" / "Airplanes" / "IVAO_A320" / "aircraft.cfg"
                                            : g_root / "plain" / "aircraft.cfg";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    vrn::gf_clearScanReports();
    try {
        if (ivao) vrn::gf_searchLiveriesinIvaoFile(1, file.string());
        else vrn::gf_searchLiveriesinFile(1, file.string());
    } catch (const std::exception&) {
        // A section that breaks a reader ends the file; the scan logs it and goes on.
    }
    return 0;
}
