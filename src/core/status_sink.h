#pragma once
// Where core's few messages for the user go. The status line lives above core (display/), so core
// owns this sink and the display fills it when its window state is built; without one the message
// is only logged when asked to.
#include <string>
#include <string_view>

namespace vrn {

using StatusSink = void (*)(const std::string& text, bool log);
// A lasting error line (the user has to act), not a passing status message.
using ErrorSink = void (*)(std::string_view text);

// Set once, before the threads that report start.
void gf_setStatusSink(StatusSink sink);
// Shows `text` on the status line through the sink.
void gf_reportStatus(const std::string& text, bool log);
// Returns the sink it replaces.
ErrorSink gf_setErrorSink(ErrorSink sink);
// Shows `text` as the status line's error through the sink; without one it is only logged.
void gf_reportError(const std::string& text);

}  // namespace vrn
