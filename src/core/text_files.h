#pragma once
// Whole-file text helpers shared by every subsystem.
#include <cstdint>
#include <filesystem>
#include <istream>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace pugi { class xml_document; struct xml_parse_result; }

namespace vrn {

// Encoding codes of gf_detectTextEncoding.
enum TextEncoding : int {
    ENCODING_ANSI = 0,
    ENCODING_UNICODE = 1,             // UTF-16 little-endian
    ENCODING_UNICODE_BIG_ENDIAN = 2,
    ENCODING_UTF8_WITH_BOM = 3,
    ENCODING_UTF8_WITHOUT_BOM = 4,
    ENCODING_NONE_FOUND = 5,
};
// "ANSI", "Unicode", "Unicode_big_endian", "UTF8_with_BOM", "UTF8_without_BOM", "none_found".
const char* gf_encodingName(int encoding);

struct TextFile {
    std::filesystem::path path;
    std::vector<std::string> lines;

    // Appends every line of `path` (line feed removed, and one carriage return before it, so that
    // files written on Windows read the same). Null when the file cannot be opened or `lines` is
    // still empty afterwards.
    std::vector<std::string>* readLines(int reserve);
};

// The line end of this system's text files ("\r\n" on Windows, "\n" elsewhere): what the log,
// the reports and the lists are written with.
std::string_view gf_textLineEnd();
// `text` with every line feed that has no carriage return before it written as `lineEnd`.
std::string gf_withLineEnds(std::string_view text, std::string_view lineEnd);

// No file the program reads whole is larger than this; anything larger is damage, not data.
constexpr std::uintmax_t kMaxReadFileBytes = 256u * 1024 * 1024;
// Why `file` must not be read whole: empty when it is a regular file of at most kMaxReadFileBytes,
// and when nothing is there (a missing file is each caller's own case); else "a folder", "not a
// regular file", or its size.
std::string gf_unreadableFileReason(const std::filesystem::path& file);
// pugixml's load_file with its default parsing, for a regular file of sane size only. Anything else
// is not opened: status_io_error and the line "\"{}\" not loaded: {}" with the reason.
pugi::xml_parse_result gf_loadXmlFile(pugi::xml_document& doc, const std::filesystem::path& file);

// Appends every line of the stream to the list (one carriage return before a line feed removed),
// then clears the stream's error state.
void gf_readLines(std::istream& in, std::list<std::string>& lines);

// Written to a temporary file and renamed into place, every line end as gf_textLineEnd; false when
// anything failed (nothing replaced).
bool gf_writeTextFile(const std::string& text, const std::filesystem::path& file, bool lineEnd);
bool gf_writeLinesFile(const std::vector<std::string>& lines, const std::filesystem::path& file);
// The whole file replaced by `bytes` through a temporary file in the same folder and a rename, so
// readers see the old or the new file, never half of one. False when any step failed; the old file
// is then untouched and no temporary file is left. A symbolic link is followed, not replaced.
bool gf_writeFileAtomically(const std::filesystem::path& file, std::string_view bytes);
// Saves with pugixml's default formatting (temporary file + rename) and logs
// "\"{}\" saved" or "could not save to \"{}\"".
bool gf_saveXmlFile(const pugi::xml_document& doc, const std::filesystem::path& file);
// The name of gf_writeFileAtomically's temporary files: ".NAME.tmp-PID-N" beside the target.
std::string gf_tempFileName(const std::string& targetName, std::uint64_t pid, unsigned number);
// Whether a file name is one of those; the writing process's id in `pid`.
bool gf_isTempFileName(std::string_view name, std::uint64_t& pid);
// Removes the temporary files that another process left in `folder` (and its subfolders when
// `recursive`): a save cut short by a kill. Each removal is logged; returns their number.
std::size_t gf_removeStaleTempFiles(const std::filesystem::path& folder, bool recursive);

// From the first two bytes: FF FE -> 1, FE FF -> 2, EF BB -> 3, anything else -> 0;
// 5 (logged "cannot open file {} for character encoding, err: {}") when the file cannot be opened.
int gf_detectTextEncoding(const std::filesystem::path& file);
// Reads the file in the given encoding and appends its lines as UTF-8. False when it cannot be
// opened (nothing appended) or a UTF-16 line cannot be converted (lines so far kept).
bool gf_readWideTextFile(int encoding, const std::filesystem::path& file, std::vector<std::string>& lines);

// Known folders by their Windows CSIDL numbers, mapped to the XDG folders.
constexpr int CSIDL_APPDATA = 26;
constexpr int CSIDL_LOCAL_APPDATA = 28;
std::filesystem::path gf_getFolderPath(int csidl);

}  // namespace vrn
