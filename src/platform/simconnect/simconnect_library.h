#pragma once
// Windows: the simulator's client library, SimConnect.dll, loaded at run time and put behind the
// calls of simconnect_api.h. The library is not shipped with the program: the user copies it from
// the simulator's SDK beside Varnel.exe. It is looked for there first, then on the normal DLL search
// path; what was tried is said in the error text, so a missing or wrong library is a message in the
// window, never a crash.
#if defined(_WIN32)
#include <filesystem>
#include <string>

#include "platform/simconnect/simconnect_api.h"

namespace vrn::simconnect {

inline constexpr const wchar_t* kClientLibraryName = L"SimConnect.dll";

struct ClientLibrary {
    bool loaded = false;
    std::string path;            // UTF-8: the library loaded, or the one that failed; empty when none was found
    std::string error;           // UTF-8 text for the user; empty when loaded
    ClientFunctions functions{};  // every entry set when loaded
};

// Loads SimConnect.dll from `programFolder`, else from the DLL search path, and resolves every call.
// The library stays loaded for the rest of the process.
ClientLibrary gf_loadClientLibrary(const std::filesystem::path& programFolder);

// The folder of the running executable.
std::filesystem::path gf_executableFolder();

}  // namespace vrn::simconnect
#endif
