#include "platform/sys/text_line_end.h"

namespace vrn::platform::sys {

// Notepad and the other tools a user opens the logs and lists with expect CR LF here.
std::string_view gf_textLineEnd() { return "\r\n"; }

}  // namespace vrn::platform::sys
