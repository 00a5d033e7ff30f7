#include "core/text_files.h"

#include <cstring>
#include <fstream>
#include <pugixml.hpp>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/status_sink.h"
#include "core/text_conversion.h"
#include "platform/sys/file_replace.h"
#include "platform/sys/known_folders.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Opens a file for reading, in binary mode so that a carriage return reaches the caller on Windows
// too; a folder counts as a file that cannot be opened.
bool lf_openInput(std::ifstream& in, const fs::path& file, std::ios::openmode mode = std::ios::in | std::ios::binary) {
    std::error_code ec;
    if (fs::is_directory(file, ec)) return false;
    in.open(file, mode);
    return in.is_open();
}

void lf_appendLines(std::istream& in, std::vector<std::string>& lines) {
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
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
    while (std::getline(in, line)) lines.push_back(line);
    in.clear();
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
    return platform::sys::gf_replaceFile(target, bytes);
}

bool gf_writeTextFile(const std::string& text, const fs::path& file, bool lineEnd) {
    if (!lineEnd) return gf_writeFileAtomically(file, text);
    std::string bytes;
    bytes.reserve(text.size() + 1);
    bytes += text;
    bytes.push_back('\n');
    return gf_writeFileAtomically(file, bytes);
}

bool gf_writeLinesFile(const std::vector<std::string>& lines, const fs::path& file) {
    std::size_t size = 0;
    for (const auto& line : lines) size += line.size() + 1;
    std::string bytes;
    bytes.reserve(size);
    for (const auto& line : lines) {
        bytes += line;
        bytes.push_back('\n');
    }
    return gf_writeFileAtomically(file, bytes);
}

bool gf_saveXmlFile(const pugi::xml_document& doc, const fs::path& file) {
    StringWriter writer;
    doc.save(writer);   // pugixml's defaults, as save_file uses them
    const bool saved = gf_writeFileAtomically(file, writer.text);
    if (saved)
        gf_logLine(vrn::format("\"{}\" saved", file.string()));
    else
        gf_logLine(vrn::format("could not save to \"{}\"", file.string()));
    return saved;
}

int gf_detectTextEncoding(const fs::path& file) {
    unsigned char head[2] = {0, 0};
    int error = 0;
    const long got = platform::sys::gf_readFileHead(file, head, sizeof head, error);
    if (got < 0) {
        gf_logLine(vrn::format("cannot open file {} for character encoding, err: {}", file.string(), error));
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
