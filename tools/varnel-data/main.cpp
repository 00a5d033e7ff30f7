// varnel-data: builds the data files the program reads from the plain sources under data/.
//   varnel-data [liveries|airports|all] --source DIR --program DIR [--packages DIR]
#include <cstring>
#include <iostream>
#include <string>

#include "builders.h"

namespace {

int usage() {
    std::cerr << "usage: varnel-data [liveries|airports|all] --source DIR --program DIR [--packages DIR]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string what = "all";
    vrn::data::BuildOptions options;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto next = [&](std::filesystem::path& target) {
            if (i + 1 >= argc) return false;
            target = argv[++i];
            return true;
        };
        if (arg == "--source") {
            if (!next(options.sourceFolder)) return usage();
        } else if (arg == "--program") {
            if (!next(options.programFolder)) return usage();
        } else if (arg == "--packages") {
            if (!next(options.packagesFolder)) return usage();
        } else if (arg == "liveries" || arg == "airports" || arg == "all") {
            what = arg;
        } else {
            return usage();
        }
    }
    if (options.sourceFolder.empty() || options.programFolder.empty()) return usage();
    if (options.packagesFolder.empty()) options.packagesFolder = options.programFolder / "packages";

    try {
        int rc = 0;
        if (what == "liveries" || what == "all") rc = vrn::data::buildLiveryData(options);
        if (rc == 0 && (what == "airports" || what == "all")) rc = vrn::data::buildAirportData(options);
        return rc;
    } catch (const std::exception& e) {
        std::cerr << "varnel-data: " << e.what() << "\n";
        return 1;
    }
}
