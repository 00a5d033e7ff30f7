// Brings the stored settings of an older version up to date on its first start-up.
#include <array>
#include <filesystem>
#include <system_error>

#include "core/format.h"
#include "core/log.h"
#include "core/version.h"
#include "settings/parameters_file.h"
#include "settings/settings_catalogue.h"

namespace vrn {

namespace {

constexpr const char* kInstallerFileName = "install_new_version.exe";

// Keys of earlier versions that this one no longer reads, removed in this order.
constexpr std::array<const char*, 7> kObsoleteKeys{"TIME_COMPRESSION_CHECK", "SECONDS_DELAY", "FLIGHTPLANS_FOLDER",
                                                   "CALLSIGN_OBJECTID",      "DESTINATION_AIRPORT",
                                                   "DESTINATION_GATE",       "MAX_FIT_WEEK"};

// The installer an update left behind. It may still be running; then it stays, and the migration goes on.
void lf_removeInstaller() {
    std::error_code ec;
    if (!std::filesystem::exists(kInstallerFileName, ec)) return;
    std::filesystem::remove(kInstallerFileName, ec);
    if (ec) gf_logLine(format("could not delete {}: {}", kInstallerFileName, ec.message()));
}

}  // namespace

void gf_migrateParameters() {
    const std::string ownText = g_programVersion.toString();
    const std::string storedText = PROGRAM_VERSION.get();
    if (storedText == PROGRAM_VERSION.defaultValue) {   // first run: nothing to migrate
        PROGRAM_VERSION.set(ownText);
        PROGRAM_VERSION.save();
        return;
    }
    const Version stored(storedText);
    if (!(stored == g_programVersion)) {
        PROGRAM_VERSION.set(ownText);
        PROGRAM_VERSION.save();
    }
    if (!g_programVersion.isNewerThan(stored)) return;   // same version or a downgrade

    gf_logLine(format("This is a version update from {} -> {}", stored.toString(), ownText));
    lf_removeInstaller();
    for (const char* key : kObsoleteKeys) gf_removeParameter(NamedItem(key));
    MAX_FIT.set(MAX_FIT.clamp(MAX_FIT.get()));
    MAX_FIT.save();
    DATA_CHECKED_AT_DATE.set("");   // in memory only: the start-up then runs its daily work
    LAST_EPOCH_TIME.set(LAST_EPOCH_TIME.clamp(0));
    LAST_EPOCH_TIME.save();
}

}  // namespace vrn
