#pragma once
// The system calls under the whole-file writes of core/text_files: a file's contents replaced through
// a temporary file and a rename, and the first bytes of a file read.
#include <cstddef>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace vrn::platform::sys {

// Writes `bytes` to a new temporary file ".<name>.tmp-<process id>-<n>" beside `target` and renames
// it over `target` (MoveFileExW with MOVEFILE_REPLACE_EXISTING on Windows), keeping an existing
// file's permissions. The bytes are written as they are (no line-end translation). False when
// `target` is a folder or cannot be written, or any step failed: the old file is then untouched and
// the temporary file removed.
bool gf_replaceFile(const std::filesystem::path& target, std::string_view bytes);

// Copies `from` onto `to`, replacing an existing file (which std::filesystem::copy_file with
// overwrite_existing refuses on Windows). False with the reason in `ec` when it failed.
bool gf_copyFileReplacing(const std::filesystem::path& from, const std::filesystem::path& to, std::error_code& ec);

// Reads up to `size` first bytes of a file into `head`; the count, or -1 with the system's error
// number in `error` when the file cannot be opened or read.
long gf_readFileHead(const std::filesystem::path& file, unsigned char* head, std::size_t size, int& error);

}  // namespace vrn::platform::sys
