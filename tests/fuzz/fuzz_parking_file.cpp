// Airport parking files from outside: the stand reader, the learned-file merge and the writer must
// take any bytes without crashing, and what was read must write and read back.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "airports/airport_files.h"
#include "airports/airport_list.h"
#include "core/exceptions.h"

namespace {

namespace fs = std::filesystem;

void writeBytes(const fs::path& file, const std::uint8_t* data, std::size_t size) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vrn;
    // The first half is the archived file, the rest the learned file.
    const std::size_t half = size / 2;
    writeBytes("airports/archive/stock/FUZZ.xml", data, half);
    writeBytes("airports/learned/stock/FUZZ.xml", data + half, size - half);
    {
        std::lock_guard lock(g_standsMutex);
        g_parkAirport = Airport{"FUZZ", "", 0, 0, 0};
        g_stands.clear();
    }
    std::uint64_t quality = 0;
    try {
        gf_readApf("airports/archive/stock/FUZZ.xml", quality);
    } catch (const UserErrorException&) {
    }
    std::string id;
    gf_readDestApfForClosestStand("FUZZ", {0, 0}, id);
    gf_readApfForGateCheck("FUZZ", "1");
    lf_checkUnknownPublisher("airports/archive/stock/FUZZ.xml");
    gf_countHalfHours();
    g_apfUpdates.store(1);
    gf_closeParkAirport();   // saves the learned file when the load succeeded

    pugi::xml_document doc;
    if (doc.load_buffer(data, size)) {
        std::vector<Stand> stands;
        try {
            lf_readParkPositions(doc, stands, UseOrigin::Learned);
        } catch (const UserErrorException&) {
            return 0;
        }
        ApfAirport airport;
        airport.code = "FUZZ";
        airport.publisher = "unknown";
        airport.stands = std::move(stands);
        if (gf_writeApf(airport, "roundtrip.xml", true, true)) {
            pugi::xml_document back;
            if (!back.load_file("roundtrip.xml")) __builtin_trap();
            std::vector<Stand> again;
            lf_readParkPositions(back, again, UseOrigin::Learned);
            if (again.size() != airport.stands.size()) __builtin_trap();
        }
    }
    return 0;
}
