#include "platform/sys/single_instance.h"

namespace vrn::platform::sys {

std::string SingleInstanceLock::lockFileName(const std::string& name) {
    std::string base = name;
    if (auto slash = base.find_last_of("\\/"); slash != std::string::npos) base.erase(0, slash + 1);
    std::string kept;
    for (char c : base) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                           c == '_' || c == '-';
        if (plain) kept.push_back(c);
    }
    if (kept.empty()) kept = "instance";
    return kept + ".lock";
}

}  // namespace vrn::platform::sys
