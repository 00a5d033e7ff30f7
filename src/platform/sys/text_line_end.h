#pragma once
// The line end of the system's text files: what a text-mode stream writes for '\n'.
#include <string_view>

namespace vrn::platform::sys {

// "\r\n" on Windows, "\n" elsewhere.
std::string_view gf_textLineEnd();

}  // namespace vrn::platform::sys
