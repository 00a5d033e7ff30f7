#pragma once
// The program's own exception types. Every thread's top catches them (see the exception reporter).
#include <cstdint>
#include <stdexcept>
#include <string>

namespace vrn {

// A failure the user can act on; message "{code}: {text}", or the text alone for code 99.
class UserErrorException : public std::runtime_error {
public:
    UserErrorException(int code, const std::string& text);
};

// A system or protocol failure; message "sys error {code}: {text}".
class SysErrorException : public std::runtime_error {
public:
    SysErrorException(int code, const std::string& text);
};

}  // namespace vrn

namespace win32 {

// A failed conversion between UTF-8 and UTF-16. The error code keeps the Windows numbering
// (1113 = ERROR_NO_UNICODE_TRANSLATION) so messages and callers read as on Windows.
class Utf8ConversionException : public std::runtime_error {
public:
    enum Direction : std::uint32_t { FromUtf8ToUtf16 = 0, FromUtf16ToUtf8 = 1 };
    static constexpr std::uint32_t ErrorNoUnicodeTranslation = 1113;

    Utf8ConversionException(const char* message, std::uint32_t errorCode, std::uint32_t direction);
    Utf8ConversionException(const Utf8ConversionException&) = default;
    ~Utf8ConversionException() override = default;

    std::uint32_t errorCode() const noexcept { return m_errorCode; }
    std::uint32_t direction() const noexcept { return m_direction; }

private:
    std::uint32_t m_errorCode;
    std::uint32_t m_direction;
};

}  // namespace win32
