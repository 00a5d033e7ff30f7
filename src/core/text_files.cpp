#include "core/text_files.h"

#include <atomic>
#include <charconv>
#include <cstring>
#include <fstream>
#include <pugixml.hpp>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/status_sink.h"
#include "core/text_conversion.h"
#include "core/utf8_paths.h"
#include "platform/sys/file_replace.h"
#include "platform/sys/known_folders.h"
#include "platform/sys/text_line_end.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Opens a file for reading, in binary mode so that a carriage return reaches the caller on Windows
// too; a folder, a device or a file of absurd size counts as a file that cannot be opened (reading
// one would never end or exhaust the memory).
bool lf_openInput(std::ifstream& in, const fs::path& file, std::ios::openmode mode = std::ios::in | std::ios::binary) {
    if (!gf_unreadableFileReason(file).empty()) return false;
    in.open(file, mode);
    return in.is_open();
}

// Files are read in binary mode, so a line written on Windows still ends in its carriage return.
void lf_dropCarriageReturn(std::string& line) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
}

void lf_appendLines(std::istream& in, std::vector<std::string>& lines) {
    std::string line;
    while (std::getline(in, line)) {
        lf_dropCarriageReturn(line);
        lines.push_back(line);
    }
}

bool lf_readWholeFile(const fs::path& file, std::string& bytes) {
    std::ifstream in;
    if (!lf_openInput(in, file, std::ios::in | std::ios::binary)) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// UTF-16 lines to UTF-8, byte order from the byte-order mark (big-endian without one). A line ends
// at a line feed; a carriage return before it is removed, nothing else. An unconvertible line, or a
// dangling odd byte at the end, stops the reading with the lines before it kept.
bool lf_readUtf16Lines(const std::string& bytes, std::vector<std::string>& lines) {
    std::size_t pos = 0;
    bool bigEndian = true;
    if (bytes.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(bytes[0]);
        const auto b1 = static_cast<unsigned char>(bytes[1]);
        if (b0 == 0xFF && b1 == 0xFE) {
            bigEndian = false;
            pos = 2;
        } else if (b0 == 0xFE && b1 == 0xFF) {
            pos = 2;
        }
    }
    auto emit = [&lines](std::u16string& line) {
        if (!line.empty() && line.back() == u'\r') line.pop_back();
        lines.push_back(gf_utf16ToUtf8(line));
        line.clear();
    };
    try {
        std::u16string line;
        for (; pos + 1 < bytes.size(); pos += 2) {
            const auto hi = static_cast<unsigned char>(bytes[bigEndian ? pos : pos + 1]);
            const auto lo = static_cast<unsigned char>(bytes[bigEndian ? pos + 1 : pos]);
            const auto unit = static_cast<char16_t>((hi << 8) | lo);
            if (unit == u'\n')
                emit(line);
            else
                line.push_back(unit);
        }
        if (pos < bytes.size()) {
            // Half a code unit cannot be read: the last, incomplete line is not taken.
            throw win32::Utf8ConversionException("Invalid UTF-16 sequence found in input string.",
                                                 win32::Utf8ConversionException::ErrorNoUnicodeTranslation,
                                                 win32::Utf8ConversionException::FromUtf16ToUtf8);
        }
        if (!line.empty()) emit(line);
    } catch (const win32::Utf8ConversionException& e) {
        gf_reportStatus(vrn::format("conversion from error from utf16 to utf8, code: {}", e.errorCode()), true);
        return false;
    } catch (const std::runtime_error& e) {
        gf_reportStatus(std::string("conversion from error from utf16 to utf8: ") + e.what(), true);
        return false;
    }
    return true;
}

void lf_appendWithLineEnds(std::string& out, std::string_view text, std::string_view lineEnd) {
    if (lineEnd == "\n") {
        out += text;
        return;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A line end the text already carries in full stays as it is (never CR CR LF).
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r'))
            out += lineEnd;
        else
            out += text[i];
    }
}

class StringWriter : public pugi::xml_writer {
public:
    void write(const void* data, size_t size) override { text.append(static_cast<const char*>(data), size); }
    std::string text;
};

}  // namespace

const char* gf_encodingName(int encoding) {
    switch (encoding) {
    case ENCODING_ANSI: return "ANSI";
    case ENCODING_UNICODE: return "Unicode";
    case ENCODING_UNICODE_BIG_ENDIAN: return "Unicode_big_endian";
    case ENCODING_UTF8_WITH_BOM: return "UTF8_with_BOM";
    case ENCODING_UTF8_WITHOUT_BOM: return "UTF8_without_BOM";
    default: return "none_found";
    }
}

std::vector<std::string>* TextFile::readLines(int reserve) {
    std::ifstream in;
    if (!lf_openInput(in, path)) return nullptr;
    if (reserve > 0 && lines.capacity() < static_cast<std::size_t>(reserve)) lines.reserve(static_cast<std::size_t>(reserve));
    lf_appendLines(in, lines);
    return lines.empty() ? nullptr : &lines;
}

void gf_readLines(std::istream& in, std::list<std::string>& lines) {
    std::string line;
    while (std::getline(in, line)) {
        lf_dropCarriageReturn(line);
        lines.push_back(line);
    }
    in.clear();
}

std::string_view gf_textLineEnd() { return platform::sys::gf_textLineEnd(); }

std::string gf_withLineEnds(std::string_view text, std::string_view lineEnd) {
    std::string out;
    out.reserve(text.size());
    lf_appendWithLineEnds(out, text, lineEnd);
    return out;
}

std::string gf_unreadableFileReason(const fs::path& file) {
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (!fs::exists(status)) return {};
    if (fs::is_directory(status)) return "a folder";
    if (!fs::is_regular_file(status)) return "not a regular file";
    const std::uintmax_t size = fs::file_size(file, ec);
    if (ec) return ec.message();
    if (size > kMaxReadFileBytes) return vrn::format("{} bytes, more than {}", size, kMaxReadFileBytes);
    return {};
}

pugi::xml_parse_result gf_loadXmlFile(pugi::xml_document& doc, const fs::path& file) {
    const std::string reason = gf_unreadableFileReason(file);
    if (reason.empty()) return doc.load_file(file.c_str());
    doc.reset();
    gf_logLine(vrn::format("\"{}\" not loaded: {}", gf_utf8Of(file), reason));
    pugi::xml_parse_result result;
    result.status = pugi::status_io_error;
    return result;
}

std::string gf_tempFileName(const std::string& targetName, std::uint64_t pid, unsigned number) {
    return vrn::format(".{}.tmp-{}-{}", targetName, pid, number);
}

bool gf_isTempFileName(std::string_view name, std::uint64_t& pid) {
    // From the end: digits, '-', digits, ".tmp-", then a dot-led target name of at least one character.
    auto digitsBefore = [&name](std::size_t end) {
        std::size_t start = end;
        while (start > 0 && name[start - 1] >= '0' && name[start - 1] <= '9') --start;
        return start;
    };
    const std::size_t numberStart = digitsBefore(name.size());
    if (numberStart == name.size() || numberStart == 0 || name[numberStart - 1] != '-') return false;
    const std::size_t pidEnd = numberStart - 1;
    const std::size_t pidStart = digitsBefore(pidEnd);
    constexpr std::string_view kMarker = ".tmp-";
    if (pidStart == pidEnd || pidStart < kMarker.size() + 2) return false;
    if (name.substr(pidStart - kMarker.size(), kMarker.size()) != kMarker || name.front() != '.') return false;
    const auto parsed = std::from_chars(name.data() + pidStart, name.data() + pidEnd, pid);
    return parsed.ec == std::errc() && parsed.ptr == name.data() + pidEnd;
}

std::size_t gf_removeStaleTempFiles(const fs::path& folder, bool recursive) {
    const auto own = static_cast<std::uint64_t>(platform::sys::gf_processId());
    std::size_t removed = 0;
    auto consider = [&](const fs::directory_entry& entry) {
        std::error_code ec;
        std::uint64_t pid = 0;
        // Our own process may be writing one right now; a link or folder of that name is not ours.
        if (!gf_isTempFileName(gf_utf8Of(entry.path().filename()), pid) || pid == own) return;
        if (!entry.is_regular_file(ec) || entry.is_symlink(ec)) return;
        if (fs::remove(entry.path(), ec)) {
            ++removed;
            gf_logLine(vrn::format("stale temporary file \"{}\" removed", gf_utf8Of(entry.path())));
        }
    };
    std::error_code ec;
    if (recursive) {
        for (fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end; it.increment(ec))
            consider(*it);
    } else {
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) consider(*it);
    }
    return removed;
}

bool gf_writeFileAtomically(const fs::path& file, std::string_view bytes) {
    std::error_code ec;
    fs::path target = file;
    // Replace what a link points to, not the link (settings folders are often links into dotfiles).
    if (fs::is_symlink(fs::symlink_status(file, ec))) {
        auto resolved = fs::weakly_canonical(file, ec);
        if (ec) return false;
        target = resolved;
    }
    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const fs::path temp = folder / gf_pathFromUtf8(gf_tempFileName(gf_utf8Of(target.filename()),
                                                                   static_cast<std::uint64_t>(platform::sys::gf_processId()),
                                                                   counter.fetch_add(1)));
    return platform::sys::gf_replaceFile(target, temp, bytes);
}

bool gf_writeTextFile(const std::string& text, const fs::path& file, bool lineEnd) {
    const std::string_view end = gf_textLineEnd();
    std::string bytes;
    bytes.reserve(text.size() + end.size());
    lf_appendWithLineEnds(bytes, text, end);
    if (lineEnd) bytes += end;
    return gf_writeFileAtomically(file, bytes);
}

bool gf_writeLinesFile(const std::vector<std::string>& lines, const fs::path& file) {
    const std::string_view end = gf_textLineEnd();
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + end.size();
    std::string bytes;
    bytes.reserve(size);
    for (const auto& line : lines) {
        lf_appendWithLineEnds(bytes, line, end);
        bytes += end;
    }
    return gf_writeFileAtomically(file, bytes);
}

bool gf_saveXmlFile(const pugi::xml_document& doc, const fs::path& file) {
    StringWriter writer;
    doc.save(writer);   // pugixml's defaults, as save_file uses them
    const bool saved = gf_writeFileAtomically(file, writer.text);
    if (saved)
        gf_logLine(vrn::format("\"{}\" saved", gf_utf8Of(file)));
    else
        gf_logLine(vrn::format("could not save to \"{}\"", gf_utf8Of(file)));
    return saved;
}

int gf_detectTextEncoding(const fs::path& file) {
    unsigned char head[2] = {0, 0};
    int error = 0;
    const long got = platform::sys::gf_readFileHead(file, head, sizeof head, error);
    if (got < 0) {
        gf_logLine(vrn::format("cannot open file {} for character encoding, err: {}", gf_utf8Of(file), error));
        return ENCODING_NONE_FOUND;
    }
    if (got < 2) return ENCODING_ANSI;   // too short for any byte-order mark
    if (head[0] == 0xFF && head[1] == 0xFE) return ENCODING_UNICODE;
    if (head[0] == 0xFE && head[1] == 0xFF) return ENCODING_UNICODE_BIG_ENDIAN;
    if (head[0] == 0xEF && head[1] == 0xBB) return ENCODING_UTF8_WITH_BOM;
    return ENCODING_ANSI;
}

bool gf_readWideTextFile(int encoding, const fs::path& file, std::vector<std::string>& lines) {
    if (encoding == ENCODING_UNICODE || encoding == ENCODING_UNICODE_BIG_ENDIAN) {
        std::string bytes;
        if (!lf_readWholeFile(file, bytes)) return false;
        return lf_readUtf16Lines(bytes, lines);
    }
    std::ifstream in;
    if (!lf_openInput(in, file)) return false;
    const std::size_t first = lines.size();
    lf_appendLines(in, lines);
    // The byte-order mark belongs to this file's first line only, and only when it is really there.
    if (encoding == ENCODING_UTF8_WITH_BOM && lines.size() > first && lines[first].starts_with(kUtf8Bom)) {
        lines[first].erase(0, kUtf8Bom.size());
    }
    return true;
}

fs::path gf_getFolderPath(int csidl) { return platform::sys::gf_knownFolder(csidl); }

}  // namespace vrn
