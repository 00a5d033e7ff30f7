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

}  // namespace vrn
