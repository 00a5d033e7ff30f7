#include "platform/sys/text_line_end.h"

namespace vrn::platform::sys {

std::string_view gf_textLineEnd() { return "\n"; }

}  // namespace vrn::platform::sys
