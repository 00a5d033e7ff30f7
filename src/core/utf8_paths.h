#pragma once
// Paths and UTF-8 text. The program holds every text as UTF-8, but a std::string handed to
// std::filesystem::path is read in the system's code page on Windows (and path::string() writes
// in it), so a user folder such as "C:\Users\Jürgen Müller" would not survive. These two convert
// through char8_t, which is UTF-8 everywhere; on Linux they change no byte.
#include <filesystem>
#include <string>
#include <string_view>

namespace vrn {

// The path named by UTF-8 text; text that is no UTF-8 is taken as the system's narrow encoding.
std::filesystem::path gf_pathFromUtf8(std::string_view utf8);
// The path as UTF-8 text, for logs, messages, settings and files.
std::string gf_utf8Of(const std::filesystem::path& path);
// The same with '/' between the folders, as generic_string() gives it.
std::string gf_genericUtf8Of(const std::filesystem::path& path);

}  // namespace vrn
