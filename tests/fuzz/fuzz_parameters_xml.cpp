// parameters.xml of any content: reading never fails, every number ends inside its limits, and the
// file left behind loads and holds our root element (or the stranger's file was kept aside).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include <pugixml.hpp>

#include "app/main_window.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"

namespace {

// A scratch data folder for this process, removed when the fuzzer exits.
struct ScratchFolder {
    std::filesystem::path path =
        std::filesystem::temp_directory_path() / ("varnel-fuzz-params-" + std::to_string(::getpid()));
    ScratchFolder() {
        std::filesystem::create_directories(path);
        vrn::gf_setDataFolderForTests(path);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

const std::filesystem::path& lf_folder() {
    static const ScratchFolder folder;
    return folder.path;
}

template <typename P>
void lf_checkRange(const P& p) {
    if (p.get() < p.minimum || p.get() > p.maximum) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = lf_folder() / "parameters.xml";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    vrn::gf_updateParameters();

    for (const auto* p : {&vrn::MATCHING_DEPTH, &vrn::LATERAL_RANGE, &vrn::MAX_LIVE, &vrn::AIRPORT_RANGE,
                          &vrn::AIRPORT_HEIGHT, &vrn::MAX_FIT})
        lf_checkRange(*p);
    for (const auto* p : {&vrn::CUSTOM_PARKING_PERCENTAGE, &vrn::LAST_EPOCH_TIME, &vrn::MAIN_WINDOW_X,
                          &vrn::MAIN_WINDOW_Y})
        lf_checkRange(*p);
    if (vrn::PROGRAM_VERSION.get() != "9.4.0") std::abort();

    pugi::xml_document doc;
    if (!doc.load_file(path.c_str())) std::abort();   // whatever came in, a loadable file is left

    // A later single save keeps the file loadable too.
    vrn::MAX_LIVE.save();
    if (!doc.load_file(path.c_str())) std::abort();
    std::error_code ec;
    std::filesystem::remove(path.string() + ".bad", ec);
    return 0;
}
