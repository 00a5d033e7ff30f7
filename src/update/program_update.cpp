#include "update/program_update.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/utf8_paths.h"
#include "core/version.h"
#include "settings/settings_catalogue.h"
#include "update/downloads.h"
#include "update/zip_archive.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

const fs::path g_installerFile{"install_new_version.exe"};

struct InstallerContext {
    bool extracted = false;
    fs::path package;
};

// Every entry replaces install_new_version.exe, so the flag tells about the last one written: a
// failed entry leaves no partial installer behind and no success.
void lf_extractInstallerEntry(InstallerContext& context, const zip::ZipArchive& archive, const zip::ZipEntry& entry) {
    if (entry.isDirectory()) return;   // a folder would leave an empty installer
    if (fs::exists(g_installerFile)) fs::remove(g_installerFile);
    context.extracted = false;
    int result = zip::READ_OK;
    {
        std::ofstream out(g_installerFile, std::ios::binary | std::ios::trunc);
        result = out ? archive.readContent(entry, out, 0x80000) : zip::READ_WRITE_FAILED;
        out.close();
        if (result == zip::READ_OK && !out) result = zip::READ_WRITE_FAILED;
    }
    if (result != zip::READ_OK) {
        gf_logArrowLine(format("extracting error code : {}", result));
        gf_logLine(archive.error());
        std::error_code ignored;
        fs::remove(g_installerFile, ignored);
        return;
    }
    gf_logLine(format("{} extracted to {}", gf_utf8Of(context.package), gf_utf8Of(g_installerFile)));
    context.extracted = true;
}

bool lf_downloadProgramInstaller(const Version& version) {
    const std::string packageName = format("setup_{}_v{}.zip", g_programName, version.toString());
    {
        DownloadHandle http;
        if (!gf_downloadToFile(http, gf_downloadBase() + "release/" + packageName, packageName, true)) {
            gf_updateStatus(format("Downloading program installer file version {} failed", version.toString()), true);
            return false;
        }
    }
    gf_logLine(format("downloaded {}", packageName));
    InstallerContext context{false, fs::path(packageName)};
    {
        zip::ZipArchive archive(packageName);
        if (!archive.open()) {
            gf_logArrowLine(format("could not open {}", packageName));
            gf_logLine(format("{}: {}", packageName, archive.error()));
        } else {
            for (const zip::ZipEntry& entry : archive.getEntries()) lf_extractInstallerEntry(context, archive, entry);
            archive.close();
        }
    }
    if (fs::exists(packageName)) fs::remove(packageName);
    return context.extracted;
}

}  // namespace

bool gf_checkProgramVersion() {
    const Version remote = gf_fetchProgramVersion();
    if (remote == Version{}) {
        gf_logArrowLine("Program Version file not found?");
        return false;
    }
    if (!remote.isNewerThan(g_programVersion)) return true;
    if (lf_downloadProgramInstaller(remote)) {
        const fs::path installer = gf_pathFromUtf8(PROGRAM_INSTALL_PATH.get()) / g_installerFile;
        throw UserErrorException(99, format("New version {} available. Exit here, and run as administrator:   \"{}\"",
                                            remote.toString(), gf_utf8Of(installer)));
    }
    gf_updateStatus("download/extract of the new version failed? Try manually via my website", true);
    return true;
}

AvailableUpdates gf_listAvailableUpdates() {
    // The button waits on the GUI thread: all five version files together get twice the time of
    // one, so a stalled server costs that at most and the files it never sent count as not newer.
    const VersionFileDeadline deadline(std::chrono::steady_clock::now() + 2 * gf_versionFileTimeLimit());
    std::vector<std::string> items;
    AvailableUpdates result;
    auto consider = [&](const Version& remote, const Version& installed, const std::string& name) {
        if (remote != Version{}) result.checked = true;
        if (remote.isNewerThan(installed)) items.push_back(format("{} ({})", name, remote.toString()));
    };
    consider(gf_fetchProgramVersion(), g_programVersion, g_programName);
    consider(gf_fetchPackageVersion("dbase"), Version(DBASE_VERSION.get()), "dbase");
    consider(gf_fetchArchiveVersion(), Version(ARCHIVE_VERSION.get()), "archive");
    consider(gf_fetchPackageVersion("aig"), Version(AIG_VERSION.get()), "AIG-regcodes");
    consider(gf_fetchPackageVersion("mysimaddon24"), Version(MYSIMADDON24_VERSION.get()), "MySimAddon2024");
    if (!result.checked) result.failure = format("no version file could be read from {}", gf_downloadBase());
    if (items.empty()) return result;
    std::string joined;
    for (const std::string& item : items) joined += (joined.empty() ? "" : ", ") + item;
    result.newer = format("New version{} for: {}", items.size() > 1 ? g_pluralS : std::string(), joined);
    return result;
}

}  // namespace vrn
