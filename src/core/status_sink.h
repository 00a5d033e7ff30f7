#pragma once
// Where core's few messages for the user go. The status line lives above core (display/), so core
// owns this sink and the display fills it when its window state is built; without one the message
// is only logged when asked to.
#include <string>

namespace vrn {

using StatusSink = void (*)(const std::string& text, bool log);

// Set once, before the threads that report start.
void gf_setStatusSink(StatusSink sink);
// Shows `text` on the status line through the sink.
void gf_reportStatus(const std::string& text, bool log);

}  // namespace vrn
