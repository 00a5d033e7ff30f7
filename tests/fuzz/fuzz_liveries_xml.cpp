// The XML readers of the liveries: the first byte chooses dbase.xml, fixes.xml, AIG-regcodes.xml or
// LiveriesScanned.xml; the rest is the file. A damaged file gives a user error, never a crash.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/exceptions.h"
#include "liveries/fixes_file.h"
#include "liveries/livery_data.h"
#include "liveries/livery_index.h"
#include "liveries/regcodes.h"
#include "liveries/type_database.h"

namespace {

std::filesystem::path g_root;

void lf_setUp() {
    // Below the run folder, which the test runner makes for each target.
    g_root = std::filesystem::current_path() / "fuzz_liveries_xml_files";
    std::filesystem::create_directories(g_root / "input");
    std::filesystem::create_directories(g_root / "output" / "info");
    std::filesystem::current_path(g_root);
}

void lf_write(const char* path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (lf_setUp(), true);
    (void)ready;
    if (size == 0) return 0;
    using namespace vrn;
    const int selector = data[0] % 4;
    ++data;
    --size;
    try {
        switch (selector) {
            case 0:
                gf_clearTypeDatabase();
                lf_write(kDbasePath, data, size);
                gf_readDbase();
                break;
            case 1:
                gf_clearFixes();
                g_validModels = {"A320", "B38M"};
                g_icaoAirlines = {"DLH"};
                lf_write(kFixesPath, data, size);
                gf_readFixes();
                break;
            case 2:
                lf_write(kAigRegcodesPath, data, size);
                g_liveries = {LiveryData{"DLH", "A320", "Title A", "D-ABCD", 0, false},
                              LiveryData{"ZZZ", "A320", "Title B", "", 0, false}};
                gf_processScannedLiveries();
                gf_readDontUseTitlesAig();
                break;
            default:
                lf_write(kLiveriesScannedPath, data, size);
                gf_readLiveriesScanned();
                gf_processScannedLiveries();
                break;
        }
    } catch (const UserErrorException&) {
    } catch (const SysErrorException&) {
    } catch (const std::runtime_error&) {
        // A stored airline code of a wrong length stops the reading of dbase.xml.
    }
    g_liveries.clear();
    return 0;
}
