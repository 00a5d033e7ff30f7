#pragma once
// Windows: the simulator's client library, SimConnect.dll, loaded at run time and put behind the
// calls of simconnect_api.h. The library is not shipped with the program: the user copies it from
// the simulator's SDK beside Varnel.exe. It is looked for there first, then on the normal DLL search
// path. A missing or wrong library is a message in the window, never a crash: a short text that fits
// the status line says what to do, and the details (where it was looked for, the system's message)
// are for Log.txt.
#if defined(_WIN32)
#include <filesystem>
#include <string>

#include "platform/simconnect/simconnect_api.h"

namespace vrn::simconnect {

inline constexpr const wchar_t* kClientLibraryName = L"SimConnect.dll";
// What the 880-pixel status line shows of the window's font without cutting.
inline constexpr std::size_t kClientLibraryErrorChars = 100;

struct ClientLibrary {
    bool loaded = false;
    std::string path;            // UTF-8: the library loaded, or the one that failed; empty when none was found
    std::string error;           // UTF-8, for the status line (at most kClientLibraryErrorChars); empty when loaded
    std::string details;         // UTF-8, for Log.txt: paths and the system's message; empty when loaded
    ClientFunctions functions{};  // every entry set when loaded
};

// Loads SimConnect.dll from `programFolder`, else from the DLL search path, and resolves every call.
// The library stays loaded for the rest of the process.
ClientLibrary gf_loadClientLibrary(const std::filesystem::path& programFolder);

// The folder of the running executable.
std::filesystem::path gf_executableFolder();

}  // namespace vrn::simconnect
#endif
