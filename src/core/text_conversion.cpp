#include "core/text_conversion.h"

#include <climits>
#include <stdexcept>

#include "core/exceptions.h"

namespace vrn {

namespace {

constexpr const char* kTooLong = "Input string too long: size_t-length doesn't fit into int.";
constexpr const char* kInvalidUtf8 = "Invalid UTF-8 sequence found in input string.";
constexpr const char* kInvalidUtf16 = "Invalid UTF-16 sequence found in input string.";

inline bool lf_isContinuation(unsigned char c) { return (c & 0xC0u) == 0x80u; }

// Decodes one code point at text[i] and advances i past it. Only well-formed sequences are
// accepted: no overlong forms, no encoded surrogates, nothing above U+10FFFF, no truncation.
bool lf_decodeUtf8(std::string_view text, std::size_t& i, char32_t& cp) {
    const std::size_t n = text.size();
    const auto b0 = static_cast<unsigned char>(text[i]);
    if (b0 < 0x80u) {
        cp = b0;
        ++i;
        return true;
    }
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;   // allowed range of the second byte
    if (b0 >= 0xC2u && b0 <= 0xDFu) {
        length = 2;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0u && b0 <= 0xEFu) {
        length = 3;
        cp = b0 & 0x0Fu;
        if (b0 == 0xE0u) low = 0xA0;          // overlong below U+0800
        else if (b0 == 0xEDu) high = 0x9F;    // U+D800..U+DFFF are not characters
    } else if (b0 >= 0xF0u && b0 <= 0xF4u) {
        length = 4;
        cp = b0 & 0x07u;
        if (b0 == 0xF0u) low = 0x90;          // overlong below U+10000
        else if (b0 == 0xF4u) high = 0x8F;    // above U+10FFFF
    } else {
        return false;   // continuation byte, C0/C1 (always overlong) or F5..FF
    }
    if (n - i < length) return false;
    const auto b1 = static_cast<unsigned char>(text[i + 1]);
    if (b1 < low || b1 > high) return false;
    cp = (cp << 6) | (b1 & 0x3Fu);
    for (std::size_t k = 2; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if (!lf_isContinuation(b)) return false;
        cp = (cp << 6) | (b & 0x3Fu);
    }
    i += length;
    return true;
}

void lf_appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80u) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800u) {
        out.push_back(static_cast<char>(0xC0u | (cp >> 6)));
        out.push_back(static_cast<char>(0x80u | (cp & 0x3Fu)));
    } else if (cp < 0x10000u) {
        out.push_back(static_cast<char>(0xE0u | (cp >> 12)));
        out.push_back(static_cast<char>(0x80u | ((cp >> 6) & 0x3Fu)));
        out.push_back(static_cast<char>(0x80u | (cp & 0x3Fu)));
    } else {
        out.push_back(static_cast<char>(0xF0u | (cp >> 18)));
        out.push_back(static_cast<char>(0x80u | ((cp >> 12) & 0x3Fu)));
        out.push_back(static_cast<char>(0x80u | ((cp >> 6) & 0x3Fu)));
        out.push_back(static_cast<char>(0x80u | (cp & 0x3Fu)));
    }
}

}  // namespace

std::u16string gf_utf8ToUtf16(const std::string& utf8) {
    if (utf8.empty()) return {};
    if (utf8.size() > static_cast<std::size_t>(INT_MAX)) throw std::overflow_error(kTooLong);

    std::u16string out;
    out.reserve(utf8.size());
    const std::string_view text(utf8);
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        if (!lf_decodeUtf8(text, i, cp)) {
            throw win32::Utf8ConversionException(kInvalidUtf8,
                                                 win32::Utf8ConversionException::ErrorNoUnicodeTranslation,
                                                 win32::Utf8ConversionException::FromUtf8ToUtf16);
        }
        if (cp < 0x10000u) {
            out.push_back(static_cast<char16_t>(cp));
        } else {
            cp -= 0x10000u;
            out.push_back(static_cast<char16_t>(0xD800u + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00u + (cp & 0x3FFu)));
        }
    }
    return out;
}

std::string gf_utf16ToUtf8(std::u16string_view utf16) {
    if (utf16.empty()) return {};
    if (utf16.size() > static_cast<std::size_t>(INT_MAX)) throw std::overflow_error(kTooLong);

    std::string out;
    out.reserve(utf16.size() + utf16.size() / 2);
    const std::size_t n = utf16.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char16_t u = utf16[i];
        char32_t cp = u;
        if (u >= 0xD800u && u <= 0xDFFFu) {
            const bool pairFollows = u <= 0xDBFFu && i + 1 < n && utf16[i + 1] >= 0xDC00u && utf16[i + 1] <= 0xDFFFu;
            if (!pairFollows) {
                throw win32::Utf8ConversionException(kInvalidUtf16,
                                                     win32::Utf8ConversionException::ErrorNoUnicodeTranslation,
                                                     win32::Utf8ConversionException::FromUtf16ToUtf8);
            }
            cp = 0x10000u + ((static_cast<char32_t>(u) - 0xD800u) << 10) + (utf16[i + 1] - 0xDC00u);
            ++i;
        }
        lf_appendUtf8(out, cp);
    }
    return out;
}

bool gf_isValidUtf8(std::string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        if (!lf_decodeUtf8(text, i, cp)) return false;
    }
    return true;
}

namespace {

// The length of the shown character at text[i], 0 when its bytes are to be escaped.
std::size_t lf_printableLength(std::string_view text, std::size_t i) noexcept {
    std::size_t next = i;
    char32_t cp = 0;
    if (!lf_decodeUtf8(text, next, cp)) return 0;
    if (cp < 0x20u || (cp >= 0x7Fu && cp <= 0x9Fu) || cp == 0xFFFEu || cp == 0xFFFFu) return 0;
    return next - i;
}

}  // namespace

std::string gf_printable(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t length = lf_printableLength(text, i)) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        // A character made of several bytes that is not shown (a C1 control, U+FFFE) goes byte by byte too.
        std::size_t next = i;
        char32_t cp = 0;
        const std::size_t end = lf_decodeUtf8(text, next, cp) ? next : i + 1;
        for (; i < end; ++i) {
            const auto b = static_cast<unsigned char>(text[i]);
            out += "\\x";
            out += kHex[b >> 4];
            out += kHex[b & 0xFu];
        }
    }
    return out;
}

bool gf_isPrintable(std::string_view text) noexcept {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = lf_printableLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace vrn
