#pragma once
// Strict UTF-8 <-> UTF-16 conversion, written by hand: wchar_t is 32 bits on this platform, so
// UTF-16 text is held in std::u16string. Both throw win32::Utf8ConversionException (error 1113)
// on invalid input and std::overflow_error for inputs longer than INT_MAX units; never a partial result.
#include <string>
#include <string_view>

namespace vrn {

std::u16string gf_utf8ToUtf16(const std::string& utf8);
std::string gf_utf16ToUtf8(std::u16string_view utf16);

// True when the text is well-formed UTF-8 (what gf_utf8ToUtf16 would accept).
bool gf_isValidUtf8(std::string_view text) noexcept;

// Text from outside (the network, a file) as it may be shown, logged or written into an XML file:
// control characters (C0, DEL, C1), the noncharacters U+FFFE and U+FFFF and every byte that is not
// part of well-formed UTF-8 become "\xNN", one per byte; the rest stays. Applied twice it changes
// nothing more, so a text read back from a file keeps its form.
std::string gf_printable(std::string_view text);
// True when gf_printable would leave the text as it is.
bool gf_isPrintable(std::string_view text) noexcept;

}  // namespace vrn
