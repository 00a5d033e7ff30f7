#include "core/utf8_paths.h"

#include "core/text_conversion.h"

namespace vrn {

std::filesystem::path gf_pathFromUtf8(std::string_view utf8) {
    if (!gf_isValidUtf8(utf8)) return std::filesystem::path(std::string(utf8));
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

namespace {

std::string lf_utf8Text(const std::filesystem::path& path, bool generic) {
    try {
        const std::u8string text = generic ? path.generic_u8string() : path.u8string();
        return std::string(reinterpret_cast<const char*>(text.data()), text.size());
    } catch (const std::exception&) {
        // A Windows file name may hold a lone UTF-16 surrogate, which has no UTF-8 form.
        try {
            return generic ? path.generic_string() : path.string();
        } catch (const std::exception&) {
            return "?";
        }
    }
}

}  // namespace

std::string gf_utf8Of(const std::filesystem::path& path) { return lf_utf8Text(path, false); }

std::string gf_genericUtf8Of(const std::filesystem::path& path) { return lf_utf8Text(path, true); }

}  // namespace vrn
