#include "platform/sys/thread_name.h"

namespace vrn::platform::sys {

std::string gf_cutThreadName(std::string_view name) {
    std::size_t length = name.size() < kMaxThreadNameBytes ? name.size() : kMaxThreadNameBytes;
    // Do not leave half of a UTF-8 sequence at the end.
    if (length < name.size()) {
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0u) == 0x80u) --length;
    }
    return std::string(name.substr(0, length));
}

}  // namespace vrn::platform::sys
