#include "core/exceptions.h"

#include "core/format.h"

namespace vrn {

namespace {

std::string lf_userErrorMessage(int code, const std::string& text) {
    // Code 99 carries a message meant to be shown as it stands.
    if (code == 99) return text;
    return vrn::format("{}: ", code) + text;
}

}  // namespace

UserErrorException::UserErrorException(int code, const std::string& text)
    : std::runtime_error(lf_userErrorMessage(code, text)) {}

SysErrorException::SysErrorException(int code, const std::string& text)
    : std::runtime_error(vrn::format("sys error {}: ", code) + text) {}

}  // namespace vrn

namespace win32 {

Utf8ConversionException::Utf8ConversionException(const char* message, std::uint32_t errorCode,
                                                 std::uint32_t direction)
    : std::runtime_error(message), m_errorCode(errorCode), m_direction(direction) {}

}  // namespace win32
