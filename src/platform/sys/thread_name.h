#pragma once
// Names the calling thread for debuggers and ps/top (SetThreadDescription on Windows) ("Traffic Reader", "SimConnect", ...).
#include <string>
#include <string_view>

namespace vrn::platform::sys {

// The kernel keeps at most 15 bytes; a longer name is cut at a character boundary. False when the
// name could not be set.
bool gf_setThreadName(std::string_view name);
inline constexpr std::size_t kMaxThreadNameBytes = 15;
// The name as it is kept: at most kMaxThreadNameBytes, cut at a character boundary.
std::string gf_cutThreadName(std::string_view name);
// The calling thread's name as the kernel holds it (empty when it cannot be read).
std::string gf_threadName();

}  // namespace vrn::platform::sys
