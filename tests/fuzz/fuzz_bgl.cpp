// BGL scenery files as the add-on airport scan reads them: any bytes, as the words of one file.
#include <cstdint>
#include <cstring>
#include <set>
#include <stdexcept>

#include "airports/bgl_reader.h"
#include "airports/manifest_publisher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vrn::BglWords words((size + 3) / 4, 0u);
    if (size > 0) std::memcpy(words.data(), data, size);
    const vrn::BglAirportSteps steps{
        [](vrn::ApfAirport&, const std::string&) { return std::pair<bool, int>{false, 0}; },
        [](vrn::ApfAirport& airport, int helipads) {
            // Every stand leaves with a final, unique id; helipads are counted right.
            std::set<std::string> ids;
            int heli = 0;
            for (const auto& s : airport.stands) {
                if (s.generatorMark != 0 || !ids.insert(s.id).second) __builtin_trap();
                heli += s.heli;
            }
            if (heli != helipads || airport.code.size() != 4) __builtin_trap();
        }};
    try {
        vrn::gf_readBglAirports(words, "fuzz.bgl", steps);
    } catch (const std::out_of_range&) {
        // A record that runs past the end of the file ends the reading.
    }
    std::lock_guard lock(vrn::g_scanLogMutex);
    vrn::g_scanLogLines.clear();
    return 0;
}
