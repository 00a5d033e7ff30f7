// Windows: SimConnect.dll found and resolved at run time. A library that is missing or is not the
// client library is refused with a text naming where it was looked for or what it lacks; the stand-in
// library beside the program serves the calls through the table, its records intact.
#if defined(_WIN32)
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/simconnect/simconnect_library.h"
#include "support/test_support.h"

namespace vrn::simconnect {
namespace {

namespace fs = std::filesystem;

std::string lf_utf8(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}

TEST(SimConnectLibrary, MissingOrForeignLibraryIsRefusedWithWhereAndWhat) {
    test::TempDir dir;
    const ClientLibrary missing = gf_loadClientLibrary(dir.path());
    EXPECT_FALSE(missing.loaded);
    EXPECT_EQ(missing.error, "SimConnect.dll was not found beside Varnel.exe: copy it there from the simulator's SDK");
    EXPECT_NE(missing.details.find("not found beside Varnel.exe (" + lf_utf8(dir.path()) + ")"), std::string::npos)
        << missing.details;
    EXPECT_NE(missing.details.find("DLL search path"), std::string::npos);

    // A real library of another kind under the client library's name.
    wchar_t system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
    fs::copy_file(fs::path(system) / L"version.dll", dir / "SimConnect.dll");
    const ClientLibrary foreign = gf_loadClientLibrary(dir.path());
    EXPECT_FALSE(foreign.loaded);
    EXPECT_NE(foreign.details.find("has no entry point SimConnect_Open"), std::string::npos) << foreign.details;
    EXPECT_NE(foreign.details.find(lf_utf8(dir / "SimConnect.dll")), std::string::npos) << foreign.details;

    // What the status line shows fits it, however long the folder's path: the path is in the details.
    test::TempDir deep;
    const fs::path longFolder = deep / std::string(100, 'g'), longEmpty = longFolder / "none";
    fs::create_directories(longEmpty);
    fs::copy_file(dir / "SimConnect.dll", longFolder / "SimConnect.dll");
    for (const fs::path& folder : {longFolder, longEmpty}) {
        const ClientLibrary refused = gf_loadClientLibrary(folder);
        EXPECT_FALSE(refused.loaded);
        EXPECT_LE(refused.error.size(), kClientLibraryErrorChars) << refused.error;
        EXPECT_EQ(refused.error.find(std::string(100, 'g')), std::string::npos) << refused.error;
        EXPECT_NE(refused.details.find(std::string(100, 'g')), std::string::npos) << refused.details;
    }
}

struct Received {
    std::string application;
    DWORD openSize = 0;
    DWORD exception = 0, exceptionSendId = 0;
};

void SIMCONNECT_STDCALL lf_collect(SIMCONNECT_RECV* record, DWORD size, void* context) {
    auto* seen = static_cast<Received*>(context);
    if (record->dwID == SIMCONNECT_RECV_ID_OPEN) {
        seen->application = static_cast<SIMCONNECT_RECV_OPEN*>(record)->szApplicationName;
        seen->openSize = size;
    } else if (record->dwID == SIMCONNECT_RECV_ID_EXCEPTION) {
        const auto* e = static_cast<SIMCONNECT_RECV_EXCEPTION*>(record);
        seen->exception = e->dwException;
        seen->exceptionSendId = e->dwSendID;
    }
}

TEST(SimConnectLibrary, StandInBesideTheProgramServesTheCallsThroughTheTable) {
    test::TempDir dir;
    fs::copy_file(VARNEL_STANDIN_DLL, dir / "SimConnect.dll");
    const ClientLibrary library = gf_loadClientLibrary(dir.path());
    ASSERT_TRUE(library.loaded) << library.error;
    EXPECT_TRUE(fs::equivalent(fs::u8path(library.path), dir / "SimConnect.dll"));

    gf_useClientFunctions(library.functions);
    HANDLE h = nullptr;
    ASSERT_EQ(SimConnect_Open(&h, "Varnel", nullptr, 0, nullptr, 0), S_OK);
    // An object that does not exist: refused with the packet id of the call.
    EXPECT_EQ(SimConnect_AIRemoveObject(h, 9999, 7), S_OK);
    DWORD packet = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(h, &packet), S_OK);
    Received seen;
    for (int i = 0; i < 500 && (seen.application.empty() || seen.exception == 0); ++i) {
        SimConnect_CallDispatch(h, lf_collect, &seen);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(SimConnect_Close(h), S_OK);
    gf_useClientFunctions(gf_simulatedClientFunctions());

    EXPECT_FALSE(seen.application.empty());
    EXPECT_EQ(seen.openSize, sizeof(SIMCONNECT_RECV_OPEN));
    EXPECT_EQ(seen.exception, static_cast<DWORD>(SIMCONNECT_EXCEPTION_UNRECOGNIZED_ID));
    EXPECT_EQ(seen.exceptionSendId, packet);
}

}  // namespace
}  // namespace vrn::simconnect
#endif
