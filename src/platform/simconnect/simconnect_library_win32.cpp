// Loading SimConnect.dll: LoadLibraryExW on the copy beside the program (its own dependencies found
// from its folder), else LoadLibraryW by name through the normal search path; then GetProcAddress for
// each call of the table. Failures become texts naming the places searched and the entry point missing.
#if defined(_WIN32)
#include <windows.h>

#include "platform/simconnect/simconnect_library.h"

#include <system_error>

namespace vrn::simconnect {
namespace {

std::string lf_utf8(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, nullptr, nullptr);
    return out;
}

std::string lf_systemMessage(DWORD code) {
    return std::system_category().message(static_cast<int>(code));
}

std::wstring lf_moduleFile(HMODULE module) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return buffer.substr(0, n);
        buffer.resize(buffer.size() * 2);
    }
}

// Resolves every entry point; the name of the first missing one, or empty.
template <typename F>
bool lf_resolve(HMODULE module, const char* name, F& slot, std::string& missing) {
    FARPROC address = GetProcAddress(module, name);
    if (!address) {
        if (missing.empty()) missing = name;
        return false;
    }
    slot = reinterpret_cast<F>(reinterpret_cast<void*>(address));
    return true;
}

std::string lf_resolveAll(HMODULE module, ClientFunctions& f) {
    std::string missing;
    lf_resolve(module, "SimConnect_Open", f.open, missing);
    lf_resolve(module, "SimConnect_Close", f.close, missing);
    lf_resolve(module, "SimConnect_CallDispatch", f.callDispatch, missing);
    lf_resolve(module, "SimConnect_GetLastSentPacketID", f.getLastSentPacketId, missing);
    lf_resolve(module, "SimConnect_SubscribeToSystemEvent", f.subscribeToSystemEvent, missing);
    lf_resolve(module, "SimConnect_UnsubscribeFromSystemEvent", f.unsubscribeFromSystemEvent, missing);
    lf_resolve(module, "SimConnect_AddToDataDefinition", f.addToDataDefinition, missing);
    lf_resolve(module, "SimConnect_ClearDataDefinition", f.clearDataDefinition, missing);
    lf_resolve(module, "SimConnect_MapClientEventToSimEvent", f.mapClientEventToSimEvent, missing);
    lf_resolve(module, "SimConnect_AddClientEventToNotificationGroup", f.addClientEventToNotificationGroup, missing);
    lf_resolve(module, "SimConnect_SetNotificationGroupPriority", f.setNotificationGroupPriority, missing);
    lf_resolve(module, "SimConnect_TransmitClientEvent", f.transmitClientEvent, missing);
    lf_resolve(module, "SimConnect_RequestDataOnSimObject", f.requestDataOnSimObject, missing);
    lf_resolve(module, "SimConnect_RequestDataOnSimObjectType", f.requestDataOnSimObjectType, missing);
    lf_resolve(module, "SimConnect_SetDataOnSimObject", f.setDataOnSimObject, missing);
    lf_resolve(module, "SimConnect_AICreateNonATCAircraft", f.aiCreateNonAtcAircraft, missing);
    lf_resolve(module, "SimConnect_AIRemoveObject", f.aiRemoveObject, missing);
    lf_resolve(module, "SimConnect_AIReleaseControl", f.aiReleaseControl, missing);
    lf_resolve(module, "SimConnect_AISetAircraftFlightPlan", f.aiSetAircraftFlightPlan, missing);
    return missing;
}

void lf_loadFailure(ClientLibrary& library, const std::string& path, DWORD code) {
    library.details = "SimConnect.dll at " + path + " could not be loaded (Windows error " + std::to_string(code) +
                      ": " + lf_systemMessage(code) + ")";
    library.error = "SimConnect.dll could not be loaded (Windows error " + std::to_string(code) + ")";
    if (code == ERROR_BAD_EXE_FORMAT)
        library.error += ": use the x64 SimConnect.dll of the simulator's SDK";
    else if (code == ERROR_MOD_NOT_FOUND)
        library.error += ": a library it needs is missing, see Log.txt";
    else
        library.error += ", see Log.txt";
}

}  // namespace

std::filesystem::path gf_executableFolder() {
    return std::filesystem::path(lf_moduleFile(nullptr)).parent_path();
}

ClientLibrary gf_loadClientLibrary(const std::filesystem::path& programFolder) {
    ClientLibrary library;
    const std::filesystem::path beside = programFolder / kClientLibraryName;
    HMODULE module = nullptr;
    std::error_code ec;
    if (std::filesystem::exists(beside, ec)) {
        library.path = lf_utf8(beside.wstring());
        module = LoadLibraryExW(beside.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) {
            lf_loadFailure(library, library.path, GetLastError());
            return library;
        }
    } else {
        module = LoadLibraryW(kClientLibraryName);
        if (!module) {
            const DWORD code = GetLastError();
            if (code != ERROR_MOD_NOT_FOUND) {
                lf_loadFailure(library, "the DLL search path", code);
            } else {
                library.details = "SimConnect.dll was not found beside Varnel.exe (" + lf_utf8(programFolder.wstring()) +
                                  ") nor on the Windows DLL search path";
                library.error = "SimConnect.dll was not found beside Varnel.exe: copy it there from the simulator's SDK";
            }
            return library;
        }
        library.path = lf_utf8(lf_moduleFile(module));
    }
    const std::string missing = lf_resolveAll(module, library.functions);
    if (!missing.empty()) {
        library.details = "SimConnect.dll at " + library.path + " has no entry point " + missing +
                          ": it is not the simulator's client library, or too old a version of it";
        library.error = "SimConnect.dll is not the simulator's client library: use the one of its SDK";
        library.functions = {};
        FreeLibrary(module);
        return library;
    }
    library.loaded = true;
    return library;
}

}  // namespace vrn::simconnect
#endif
