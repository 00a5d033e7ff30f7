#include "update/data_updates.h"

#include <pugixml.hpp>

#include <filesystem>
#include <string>

#include "core/format.h"
#include "core/log.h"
#include "core/text_files.h"
#include "core/utf8_paths.h"
#include "core/version.h"
#include "liveries/type_queries.h"
#include "platform/sys/file_replace.h"
#include "settings/settings_catalogue.h"
#include "update/downloads.h"
#include "update/zip_archive.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

const fs::path g_input{"input"};
const fs::path g_airports{"airports"};
const fs::path g_archive{"archive"};
const fs::path g_stock{"stock"};
const fs::path g_simaddon{"simaddon"};
const fs::path g_thirdparty{"thirdparty"};
const fs::path g_mySimaddon2024{"my_simaddon2024"};
const fs::path g_regcodesAig{"regcodesAIG"};
const fs::path g_dbaseFile{"dbase.xml"};
const fs::path g_aigFile{"AIG-regcodes.xml"};
const fs::path g_mySimaddonZip{"my_simaddon2024.zip"};
const fs::path g_archiveZip{"archive.zip"};
const fs::path g_docs{"docs"};

// Progress of a big archive goes to the status line only every so many files.
constexpr int kProgressEvery = 300;

void lf_removeIfExists(const fs::path& file) {
    if (fs::exists(file)) fs::remove(file);
}

// Copies the downloaded file over the installed one through a neighbour file and a rename, so a
// failure part-way never leaves a half-written installed file. False when nothing was copied.
bool lf_installCopy(const fs::path& downloaded, const fs::path& installed) {
    fs::path next = installed;
    next += ".new";
    // A neighbour file left by an earlier failure is replaced, also on Windows, whose copy_file refuses to.
    std::error_code ec;
    if (!platform::sys::gf_copyFileReplacing(downloaded, next, ec)) {
        if (ec) throw fs::filesystem_error("copy_file", downloaded, next, ec);
        return false;
    }
    fs::rename(next, installed);
    return true;
}

// A single XML package (type database or AIG list): download, check, install, record the version.
void lf_updateXmlPackage(const std::string& package, const fs::path& fileName, StringParameter& versionSetting,
                         const std::string& noVersionText, bool aigFolders) {
    const Version remote = gf_fetchPackageVersion(package);
    if (remote == Version{}) {
        gf_logArrowLine(noVersionText);
        return;
    }
    const fs::path installed = g_input / fileName;
    const Version current(versionSetting.get());
    if (!remote.isNewerThan(current) && fs::exists(installed)) return;

    gf_updateStatus(format("Downloading {} version {} ...", gf_utf8Of(fileName), remote.toString()), true);
    bool downloaded = false;
    {
        DownloadHandle http;
        downloaded = gf_downloadToFile(http, gf_downloadBase() + package + "/" + gf_utf8Of(fileName), fileName, false);
    }
    if (downloaded) {
        // A package that does not parse would break every later start; the installed one stays.
        pugi::xml_document doc;
        const pugi::xml_parse_result parsed = gf_loadXmlFile(doc, fileName);
        if (!parsed) {
            gf_logArrowLine(format("downloaded {} is no valid XML: {}", gf_utf8Of(fileName), parsed.description()));
        } else {
            if (!fs::exists(g_input)) fs::create_directory(g_input);
            if (aigFolders && !fs::exists(g_input / g_regcodesAig)) fs::create_directory(g_input / g_regcodesAig);
            if (lf_installCopy(fileName, installed))
                versionSetting.setAndSave(remote.toString());
            else
                gf_logLine(format("writing {} failed?", gf_utf8Of(installed)));
        }
    } else {
        gf_logLine(format("downloading {} failed?", gf_utf8Of(installed)));
    }
    lf_removeIfExists(fileName);
    if (aigFolders) {
        lf_removeIfExists(g_input / g_regcodesAig / g_aigFile);
        lf_removeIfExists(g_input / g_regcodesAig);
    }
}

// One file of the add-on airport package: flattened to airports/my_simaddon2024/<stem>.txt.
// False when a file entry could not be read or written.
bool lf_extractMySimAddonEntry(int& count, const zip::ZipArchive& archive, const zip::ZipEntry& entry) {
    if (entry.isDirectory()) return true;
    ++count;
    const fs::path stem = gf_pathFromUtf8(entry.name).filename().stem();
    if (stem.empty() || stem == "." || stem == "..") {
        gf_logArrowLine(format("skipped entry {}", entry.name));
        return true;
    }
    const fs::path target = g_airports / g_mySimaddon2024 / gf_pathFromUtf8(gf_utf8Of(stem) + ".txt");
    const auto text = archive.readAsText(entry);
    if (!text || !gf_writeTextFile(*text, target, false)) {
        gf_logArrowLine(format("writing {} failed?", gf_utf8Of(target)));
        return false;
    }
    return true;
}

// One file of the archive: ".xml" entries go to airports/<entry name>; an entry whose folder does not
// exist (a third-party publisher unknown here) is left out on purpose. False when an entry whose
// folder exists could not be read or written.
bool lf_extractArchiveEntry(int& count, const zip::ZipArchive& archive, const zip::ZipEntry& entry) {
    const std::string& name = entry.name;
    if (entry.isDirectory()) return true;
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xml") != 0) return true;
    if (!zip::isSafeEntryName(name)) {
        gf_logArrowLine(format("entry {} leaves the airports folder, skipped", name));
        return true;
    }
    if (name.find("thirdparty") != std::string::npos) {
        const std::string publisher = gf_matchPublisher(name);
        if (publisher == "unknown") {
            gf_logArrowLine(format("pub {} not found", name));
        } else if (zip::isSafeEntryName(publisher) && gf_pathFromUtf8(publisher).filename() == gf_pathFromUtf8(publisher)) {
            const fs::path folder = g_airports / g_archive / g_thirdparty / gf_pathFromUtf8(publisher);
            if (!fs::exists(folder)) fs::create_directory(folder);
        }
    }
    ++count;
    if (count % kProgressEvery == 0)
        gf_updateStatus(format("Extracting {} ...  {} files", gf_utf8Of(g_archiveZip), count), false);
    const fs::path target = g_airports / gf_pathFromUtf8(name);
    if (!fs::is_directory(target.parent_path())) return true;
    const auto text = archive.readAsText(entry);
    if (!text || !gf_writeTextFile(*text, target, true)) {
        gf_logArrowLine(format("writing {} failed?", gf_utf8Of(target)));
        return false;
    }
    return true;
}

bool lf_downloadArchiveZip() {
    DownloadHandle http;
    return gf_downloadToFile(http, gf_downloadBase() + "archive/" + "msfs" + "/archive.zip", g_archiveZip, true);
}

void lf_downloadArchiveDocs(const std::string& extension) {
    const std::string name = std::string("MSFS") + "_archive." + extension;
    const fs::path installed = g_docs / name;
    bool downloaded = false;
    {
        DownloadHandle http;
        downloaded = gf_downloadToFile(http, gf_downloadBase() + "docs/" + name, name, false);
    }
    if (!downloaded) {
        gf_logArrowLine(format("downloading {} failed?", gf_utf8Of(installed)));
        return;
    }
    if (!fs::exists(g_docs)) fs::create_directory(g_docs);
    if (!lf_installCopy(name, installed))
        gf_logArrowLine(format("writing {} failed?", gf_utf8Of(installed)));
    else
        gf_logLine(format("{} downloaded", name));
    lf_removeIfExists(name);
}

}  // namespace

void gf_updateDbase() {
    lf_updateXmlPackage("dbase", g_dbaseFile, DBASE_VERSION, "No dbase version info found at the VRNL server?", false);
}

void gf_updateAigRegcodes() {
    lf_updateXmlPackage("aig", g_aigFile, AIG_VERSION, "No AIG regcodes version info found at the VRNL server?", true);
}

bool gf_mySimAddon2024FolderMissing() { return !fs::exists(g_airports / g_mySimaddon2024); }

bool gf_archiveFoldersMissing() {
    const fs::path archive = g_airports / g_archive;
    for (const fs::path& folder : {archive, archive / g_stock, archive / g_simaddon, archive / g_thirdparty})
        if (!fs::exists(folder)) return true;
    return false;
}

void gf_updateMySimAddon2024() {
    const Version remote = gf_fetchPackageVersion("mysimaddon24");
    if (remote == Version{}) {
        gf_logArrowLine("No mysimaddon version info found at the VRNL server?");
        return;
    }
    const Version current(MYSIMADDON24_VERSION.get());
    if (!remote.isNewerThan(current) && !gf_mySimAddon2024FolderMissing()) return;

    {
        DownloadHandle http;
        if (!gf_downloadToFile(http, gf_downloadBase() + "mysimaddon24/my_simaddon2024.zip", g_mySimaddonZip, true))
            return;
    }
    if (!fs::exists(g_airports)) fs::create_directory(g_airports);
    if (gf_mySimAddon2024FolderMissing()) fs::create_directory(g_airports / g_mySimaddon2024);
    bool complete = true;
    int count = 0;
    {
        zip::ZipArchive archive(g_mySimaddonZip);
        if (!archive.open()) {
            gf_logArrowLine(format("could not open {}", gf_utf8Of(g_mySimaddonZip)));
            gf_logLine(format("{}: {}", gf_utf8Of(g_mySimaddonZip), archive.error()));
            return;
        }
        for (const zip::ZipEntry& entry : archive.getEntries())
            if (!lf_extractMySimAddonEntry(count, archive, entry)) complete = false;
        archive.close();
    }
    gf_updateStatus(format("{} extracted {} files", gf_utf8Of(g_mySimaddonZip), count), true);
    lf_removeIfExists(g_mySimaddonZip);
    // A partly installed package is not recorded, so the next check installs it again.
    if (!complete) return;
    MYSIMADDON24_VERSION.setAndSave(remote.toString());
    gf_updateStatus(format("MySimadon2024 has been updated to version {}", remote.toString()), true);
}

bool gf_updateArchive() {
    const Version remote = gf_fetchArchiveVersion();
    if (remote == Version{}) {
        gf_logArrowLine("No archive version info found at the VRNL server?");
        return false;
    }
    const Version current(ARCHIVE_VERSION.get());
    // A server version of exactly 1.0.0 or 0.1.0 below the installed one is a reset of the archive.
    const bool reset = (remote == Version{1, 0, 0} || remote == Version{0, 1, 0}) && current.isNewerThan(remote);
    const bool due = remote.isNewerThan(current) || reset || current.major == 0 || gf_archiveFoldersMissing();
    if (!due) return false;

    const std::string remoteText = remote.toString();
    gf_updateStatus(format("Downloading archive files version {} ...", remoteText), true);
    if (!lf_downloadArchiveZip()) {
        gf_updateStatus(format("Downloading archive files version {} failed", remoteText), true);
        return false;
    }
    const fs::path archiveFolder = g_airports / g_archive;
    if (!fs::exists(g_airports)) fs::create_directory(g_airports);
    for (const fs::path& folder :
         {archiveFolder, archiveFolder / g_stock, archiveFolder / g_simaddon, archiveFolder / g_thirdparty})
        if (!fs::exists(folder)) fs::create_directory(folder);

    bool complete = true;
    int count = 0;
    {
        zip::ZipArchive archive(g_archiveZip);
        if (!archive.open()) {
            gf_logArrowLine(format("could not open {}", gf_utf8Of(g_archiveZip)));
            gf_logLine(format("{}: {}", gf_utf8Of(g_archiveZip), archive.error()));
            return false;
        }
        for (const zip::ZipEntry& entry : archive.getEntries())
            if (!lf_extractArchiveEntry(count, archive, entry)) complete = false;
        archive.close();
    }
    gf_updateStatus(format("{} extracted {} files", gf_utf8Of(g_archiveZip), count), true);
    lf_removeIfExists(g_archiveZip);
    if (!complete) return false;

    ARCHIVE_VERSION.setAndSave(remoteText);
    gf_updateStatus(format("Archive has been updated to version {}", remoteText), true);
    lf_downloadArchiveDocs("txt");
    lf_downloadArchiveDocs("csv");
    return true;
}

}  // namespace vrn
