#include "core/text_files.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <pugixml.hpp>
#include <sys/stat.h>
#include <unistd.h>

#include "core/exceptions.h"
#include "core/format.h"
#include "core/log.h"
#include "core/status_sink.h"
#include "core/text_conversion.h"
#include "core/utf8_paths.h"
#include "platform/sys/known_folders.h"

namespace vrn {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Opens a file for reading; a folder counts as a file that cannot be opened.
bool lf_openInput(std::ifstream& in, const fs::path& file, std::ios::openmode mode = std::ios::in) {
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

bool lf_writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
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
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && (S_ISDIR(existing.st_mode) || ::access(target.c_str(), W_OK) != 0)) return false;

    static std::atomic<unsigned> counter{0};
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const std::string tempName = vrn::format(".{}.tmp-{}-{}", gf_utf8Of(target.filename()), ::getpid(), counter.fetch_add(1));
    const fs::path temp = folder / gf_pathFromUtf8(tempName);
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = lf_writeAll(fd, bytes);
    if (ok && exists) ok = ::fchmod(fd, existing.st_mode & 07777) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temp.c_str());
    return ok;
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
        gf_logLine(vrn::format("\"{}\" saved", gf_utf8Of(file)));
    else
        gf_logLine(vrn::format("could not save to \"{}\"", gf_utf8Of(file)));
    return saved;
}

int gf_detectTextEncoding(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    unsigned char head[2] = {0, 0};
    ssize_t got = -1;
    int error = 0;
    if (fd >= 0) {
        do {
            got = ::read(fd, head, sizeof head);
        } while (got < 0 && errno == EINTR);
        if (got < 0) error = errno;   // a folder opens but cannot be read
        if (got == 1) {
            // Ask once more for the second byte (a short read is allowed).
            ssize_t more;
            do {
                more = ::read(fd, head + 1, 1);
            } while (more < 0 && errno == EINTR);
            if (more == 1) got = 2;
        }
        ::close(fd);
    } else {
        error = errno;
    }
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
